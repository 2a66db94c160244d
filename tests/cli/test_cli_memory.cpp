// The subcommands that code straight through keep no checkpoints and hold no
// whole output: their peak memory stays below 64 MB and does not grow with the
// input, and what they send to a pipe leaves as it is coded (the first bytes
// arrive while most of the input is unread). The long inputs are made here by
// repeating the sample. ZORVEL_MEMORY_MB=256 runs every case at that size
// (scripts/measure-memory.sh).
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iostream>
#include <numbers>
#include <sstream>

#include "sound/SpeechInput.h"
#include "tests/cli/CliRun.h"

namespace zorvel {
namespace {

namespace fs = std::filesystem;
using test::arg;

constexpr long kLimitKb = 64 * 1024;
constexpr long kGrowthKb = 2 * 1024;  // the checkpoints of 1 MB of input take 0.7 MB

fs::path longInput(const test::TempDir& d, int megabytes) {
    const auto body = fs::file_size(test::samplePath()) - kSampleDataOffset;
    return test::repeatedSample(d, static_cast<int>((std::uintmax_t{1} << 20) * megabytes / body));
}

// The number after `key` in a /proc file; -1 when there is none.
long procNumber(const fs::path& file, const std::string& key) {
    std::ifstream in(file);
    for (std::string word; in >> word;)
        if (word == key && in >> word) return std::stol(word);
    return -1;
}

struct Measured {
    long peakKb = 0;         // resident pages, and outputs staged in memory files
    long firstBytesAt = -1;  // the read position in the input when the first bytes arrived
    std::string head;        // the first bytes sent
    std::int64_t sent = 0;
    test::CliResult result;
};

// What the child holds now, and where it reads its input (-1: not open).
void look(pid_t pid, const fs::path& input, Measured& m) {
    const std::string proc = "/proc/" + std::to_string(pid);
    long held = procNumber(proc + "/status", "VmRSS:");
    for (const auto& fd : fs::directory_iterator(proc + "/fd")) {
        std::error_code error;
        const fs::path target = fs::read_symlink(fd.path(), error);
        if (target.string().starts_with("/memfd:"))
            held += static_cast<long>(fs::file_size(fd.path(), error) / 1024);
        if (target == input)
            m.firstBytesAt = procNumber(proc + "/fdinfo/" + fd.path().filename().string(), "pos:");
    }
    m.peakKb = std::max(m.peakKb, held);
}

// Runs zorvel-cli with its standard output into a pipe, drained here;
// `onFirstBytes` runs when they arrive, while the child waits on the pipe.
Measured measure(const std::vector<std::string>& args, const fs::path& input,
                 const std::function<void()>& onFirstBytes = {}) {
    const test::TempDir scratch;
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    const int err = open((scratch / "err").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    std::vector<std::string> words{ZORVEL_CLI};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        test::prepareChild({}, out[1], err);
        execv(ZORVEL_CLI, argv.data());
        _exit(127);
    }
    close(out[1]);
    close(err);
    Measured m;
    std::vector<char> buffer(1 << 16);
    for (ssize_t got; (got = read(out[0], buffer.data(), buffer.size())) > 0;) {
        if (m.sent == 0) look(pid, fs::canonical(input), m);
        if (m.sent == 0 && onFirstBytes) onFirstBytes();
        m.head.append(buffer.data(), std::min<std::size_t>(got, 60 - m.head.size()));
        m.sent += got;
    }
    close(out[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    m.peakKb = std::max(m.peakKb, usage.ru_maxrss);
    m.result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    m.result.err = test::readText(scratch / "err");
    return m;
}

struct Case {
    const char* words;  // IN: the input, LAST: its last frame
    int megabytes;      // of the long input; the short one has 2 MB
    bool streams;       // sends its output while it codes
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.words; }

class StraightThrough : public ::testing::TestWithParam<Case> {};

TEST_P(StraightThrough, HoldsLittleAndSendsAsItCodes) {
    const Case& c = GetParam();
    const char* sized = std::getenv("ZORVEL_MEMORY_MB");
    const int shortSize = test::kSanitizedBuild ? 1 : 2;
    const int longSize = test::kSanitizedBuild ? 2 : sized ? std::atoi(sized) : c.megabytes;
    if (test::kSanitizedBuild && !c.streams) GTEST_SKIP() << "measured in the release build";
    long peakKb[2] = {};
    for (const int size : {shortSize, longSize}) {
        const test::TempDir d;
        const fs::path input = longInput(d, size);
        const std::int64_t frames = framesInFile(input);
        std::vector<std::string> args;
        std::istringstream words(c.words);
        for (std::string word; words >> word;)
            args.push_back(word == "IN"     ? arg(input)
                           : word == "LAST" ? std::to_string(frames)
                                            : word);
        const Measured m = measure(args, input);
        ASSERT_EQ(m.result.exitCode, 0) << m.result.err;
        std::cout << c.words << " on " << size << " MB: peak " << m.peakKb / 1024 << " MB\n";
        peakKb[size == shortSize ? 0 : 1] = m.peakKb;
        if (!c.streams) continue;
        EXPECT_GE(m.firstBytesAt, 0) << "the input is still open when the first bytes arrive";
        EXPECT_LT(m.firstBytesAt, fs::file_size(input) / 2) << size << " MB";
        if (args[0] != "encode") continue;
        std::uint32_t dataSize = 0;  // what the header sent first says
        for (int i = 43; i >= 40; --i)
            dataSize = dataSize << 8 | static_cast<std::uint8_t>(m.head[i]);
        EXPECT_EQ(m.head.substr(0, 4), "RIFF");
        EXPECT_EQ(dataSize, frames * kFrameBytes);
        EXPECT_EQ(m.sent, 60 + frames * kFrameBytes);
    }
    if (test::kSanitizedBuild) return;  // its own bookkeeping grows with the work
    EXPECT_LT(peakKb[1], kLimitKb);
    EXPECT_LT(peakKb[1] - peakKb[0], kGrowthKb) << "memory grows with the input";
}

// The fastest mode; encode -o - on 256 MB is the slowest case, about 30 s.
INSTANTIATE_TEST_SUITE_P(Subcommands, StraightThrough,
                         ::testing::Values(Case{"encode IN -o - -m 5.90", 256, true},
                                           Case{"frames IN -m 5.90", 12, true},
                                           Case{"frames IN --format json -o - -m 5.90", 12, true},
                                           Case{"sweep IN -j 2", 6, false},
                                           Case{"plot IN --frame LAST -m 5.90 -y", 12, false}));

// A 16-bit WAV of `frames` frames of `channels` at `rate` Hz: a 997 Hz tone
// at half scale, whatever the rate states (a lying header's samples are
// only bytes).
fs::path wavFile(const fs::path& name, int rate, int channels, std::int64_t frames) {
    std::ofstream out(name, std::ios::binary);
    const auto put = [&](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) out.put(static_cast<char>(value >> (8 * i) & 0xFF));
    };
    const auto dataBytes = static_cast<std::uint32_t>(frames * channels * 2);
    out << "RIFF";
    put(36 + dataBytes, 4);
    out << "WAVEfmt ";
    put(16, 4);
    put(1, 2);
    put(static_cast<std::uint32_t>(channels), 2);
    put(static_cast<std::uint32_t>(rate), 4);
    put(static_cast<std::uint32_t>(rate * channels * 2), 4);
    put(static_cast<std::uint32_t>(channels * 2), 2);
    put(16, 2);
    out << "data";
    put(dataBytes, 4);
    std::vector<char> block;
    for (int n = 0; n < 48000; ++n)
        for (int c = 0; c < channels; ++c) {
            const auto sample = static_cast<std::int16_t>(
                std::lround(16384.0 * std::sin(2.0 * std::numbers::pi * 997.0 * n / 48000.0)));
            block.push_back(static_cast<char>(sample & 0xFF));
            block.push_back(static_cast<char>(sample >> 8 & 0xFF));
        }
    for (std::int64_t left = dataBytes; left > 0;) {
        const auto part = std::min<std::int64_t>(left, static_cast<std::int64_t>(block.size()));
        out.write(block.data(), part);
        left -= part;
    }
    return name;
}

struct ConversionCase {
    const char* words;  // IN: the input, OUT: an output file beside it
};

void PrintTo(const ConversionCase& c, std::ostream* out) { *out << c.words; }

class Conversions : public ::testing::TestWithParam<ConversionCase> {};

std::vector<std::string> conversionArgs(const ConversionCase& c, const fs::path& input,
                                        const fs::path& output) {
    std::vector<std::string> args;
    std::istringstream words(c.words);
    for (std::string word; words >> word;)
        args.push_back(word == "IN" ? arg(input) : word == "OUT" ? arg(output) : word);
    return args;
}

// Converted block by block: a recording of any length, and one whose header
// makes 48 KB of samples into 24,000 s of sound, take a bounded amount of
// memory. ZORVEL_MEMORY_SECONDS sets the long recording's length (600 in
// scripts/measure-memory.sh).
TEST_P(Conversions, HoldLittleWhateverTheRecordingsLength) {
    const ConversionCase& c = GetParam();
    if (test::kSanitizedBuild) GTEST_SKIP() << "measured in the release build";
    const char* sized = std::getenv("ZORVEL_MEMORY_SECONDS");
    const int longSeconds = sized ? std::atoi(sized) : 120;
    long peakKb[2] = {};
    for (const int seconds : {10, longSeconds}) {
        const test::TempDir d;
        const fs::path input = wavFile(d / "in.wav", 48000, 2, std::int64_t{48000} * seconds);
        const Measured m = measure(conversionArgs(c, input, d / "out.wav"), input);
        ASSERT_EQ(m.result.exitCode, 0) << m.result.err;
        std::cout << c.words << " on " << seconds << " s: peak " << m.peakKb / 1024 << " MB\n";
        peakKb[seconds == 10 ? 0 : 1] = m.peakKb;
    }
    EXPECT_LT(peakKb[1], kLimitKb);
    EXPECT_LT(peakKb[1] - peakKb[0], kGrowthKb) << "memory grows with the recording";

    // Coding the lying header's 24,000 s takes minutes: the measuring script's.
    if (!sized && !std::string_view(c.words).starts_with("import")) return;
    const test::TempDir d;
    const fs::path lying = wavFile(d / "lying.wav", 1, 1, 24000);  // 48 KB said to be at 1 Hz
    const Measured m = measure(conversionArgs(c, lying, d / "out.wav"), lying);
    ASSERT_EQ(m.result.exitCode, 0) << m.result.err;
    std::cout << c.words << " on a header of 1 Hz: peak " << m.peakKb / 1024 << " MB\n";
    EXPECT_LT(m.peakKb, kLimitKb);
}

INSTANTIATE_TEST_SUITE_P(Resampled, Conversions,
                         ::testing::Values(ConversionCase{"import IN -o OUT -y"},
                                           ConversionCase{"encode IN --resample -o - -m 4.75"},
                                           ConversionCase{
                                               "frames IN --resample -o OUT -y -m 4.75"}));

// The header sent first states the input's length at the start: an input cut
// short meanwhile fails the run, and says so.
TEST(StreamedEncode, AnInputCutShortMeanwhileFailsTheRun) {
    const test::TempDir d;
    const fs::path input = longInput(d, 2);
    const std::int64_t frames = framesInFile(input);
    const Measured m = measure({"encode", arg(input), "-o", "-", "-m", "4.75"}, input,
                               [&] { fs::resize_file(input, 1 << 20); });
    EXPECT_EQ(m.result.exitCode, 1);
    EXPECT_NE(m.result.err.find("the input changed its length while it was coded"),
              std::string::npos)
        << m.result.err;
    EXPECT_EQ(m.sent, 60 + framesInBytes(1 << 20) * kFrameBytes) << "of " << frames << " frames";
}

}  // namespace
}  // namespace zorvel
