// No figure zorvel-cli prints or writes is NaN or infinite, on four signals
// that push the measures to their edges: speech followed by digital silence
// (which a high-pass turns into values of 1e-15 .. 1e-300), silence alone, a
// full-scale square wave and clipped white noise; through encode, frames,
// sweep, its variation of the high-pass, the ablation and compare, as
// tables, CSV, JSON and records. Behind a high-pass, the frames that are silent as read count as
// silent in the segmental SNR.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "coder/QualityMeasures.h"
#include "coder/SpeechCoder.h"
#include "tests/TestSupport.h"
#include "tests/cli/CliRun.h"

namespace zorvel {
namespace {

using test::arg;
using test::runCli;
using test::TempDir;

constexpr int kSilentFrames = 50;  // one second

struct Signals {
    std::filesystem::path hiddenSilence, silence, square, noise;
    std::vector<std::string> all() const {
        return {arg(hiddenSilence), arg(silence), arg(square), arg(noise)};
    }
};

Signals makeSignals(const TempDir& dir) {
    Signals files{dir / "speech-then-silence.wav", dir / "silence.wav", dir / "square.wav",
                  dir / "noise.wav"};
    std::vector<std::int16_t> speech = test::sampleSamples();
    speech.resize(speech.size() / kFrameSamples * kFrameSamples);
    speech.resize(speech.size() + kSilentFrames * kFrameSamples, 0);
    test::writeSamples(files.hiddenSilence, speech);
    test::writeSamples(files.silence, std::vector<std::int16_t>(kSilentFrames * kFrameSamples, 0));
    std::vector<std::int16_t> square, noise;
    const std::uint32_t seed = test::testSeed();
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> u(-32768, 32767);
    for (int n = 0; n < kSilentFrames * kFrameSamples; ++n) {
        square.push_back((n / 25) % 2 == 0 ? 32767 : -32768);
        noise.push_back(static_cast<std::int16_t>(u(rng)));
    }
    test::writeSamples(files.square, square);
    test::writeSamples(files.noise, noise);
    return files;
}

// The words of a text between blanks, commas, colons, brackets and quotes.
std::vector<std::string> wordsOf(const std::string& text) {
    std::vector<std::string> words(1);
    for (const char c : text) {
        if (std::string_view(" \t\r\n,:;[]{}\"|()").find(c) != std::string_view::npos) {
            if (!words.back().empty()) words.emplace_back();
        } else {
            words.back().push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
        }
    }
    return words;
}

void expectNoNanOrInfinity(const std::string& text, const std::string& what) {
    for (const std::string& word : wordsOf(text)) {
        const std::string bare =
            word.starts_with('-') || word.starts_with('+') ? word.substr(1) : word;
        EXPECT_TRUE(bare != "nan" && bare != "inf" && bare != "infinity")
            << what << " writes '" << word << "':\n"
            << text;
    }
}

void expectFinite(const std::vector<std::string>& args) {
    std::string what;
    for (const std::string& a : args) what += a + ' ';
    const test::CliResult result = runCli(args);
    EXPECT_EQ(result.exitCode, 0) << what << '\n' << result.err;
    expectNoNanOrInfinity(result.out, what);
    expectNoNanOrInfinity(result.err, what);
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(FiniteFigures, EverySubcommandOnTheHardSignals) {
    const TempDir dir;
    const Signals signals = makeSignals(dir);
    const std::vector<std::string> highPass{"--set", "high-pass=300"};
    for (const std::vector<std::string>& format :
         {std::vector<std::string>{}, std::vector<std::string>{"--csv"}}) {
        expectFinite(
            std::vector<std::string>{"encode"} + signals.all() +
            std::vector<std::string>{"--measures", "-m", "4.75", "-d", arg(dir / "a"), "-y"} +
            format);
        expectFinite(std::vector<std::string>{"encode"} + signals.all() +
                     std::vector<std::string>{"--measures", "--post", "-d", arg(dir / "b"), "-y"} +
                     highPass + format);
        expectFinite(std::vector<std::string>{"sweep"} + signals.all() +
                     std::vector<std::string>{"--measures", "-j", "2"} + highPass + format);
        expectFinite(std::vector<std::string>{"sweep"} + signals.all() +
                     std::vector<std::string>{"--vary", "high-pass=100:300:100", "-m", "12.2",
                                              "--measures", "-j", "2"} +
                     format);
        expectFinite(std::vector<std::string>{"sweep"} + signals.all() +
                     std::vector<std::string>{"--ablation", "-m", "7.95", "--measures", "--post",
                                              "-j", "2"} +
                     format);
    }
    const std::string records = arg(dir / "runs.jsonl");
    expectFinite(std::vector<std::string>{"sweep"} + signals.all() +
                 std::vector<std::string>{"--vary", "high-pass=100:300:100", "-m", "12.2",
                                          "--measures", "-j", "2", "--jsonl", records});
    expectNoNanOrInfinity(test::readText(dir / "runs.jsonl"), "--jsonl");
    for (const std::string& file : signals.all()) {
        for (const char* format : {"csv", "json"})
            expectFinite({"frames", file, "--measures", "--format", format, "--set",
                          "high-pass=200", "-m", "5.15"});
        // Every pair of the four, each way, in every format.
        for (const std::string& other : signals.all())
            for (const std::vector<std::string>& format :
                 {std::vector<std::string>{}, {"--csv"}, {"--json"}, {"--align"}})
                expectFinite(std::vector<std::string>{"compare", file, other} + format);
    }
}

// The segmental SNR of a run behind a high-pass, redone here: every frame of
// speech its own SNR, every frame silent as read 0 dB, as without the filter.
double expectedSegmentalSnr(const std::filesystem::path& input, double hz) {
    CoderSettings settings;
    settings.highPass = hz;
    const std::vector<std::int16_t> samples = [&] {
        const std::vector<std::uint8_t> bytes = test::readBytes(input);
        std::vector<std::int16_t> v;
        for (std::size_t i = 60; i + 1 < bytes.size(); i += 2)
            v.push_back(static_cast<std::int16_t>(bytes[i] | (bytes[i + 1] << 8)));
        return v;
    }();
    SpeechCoder coder(input, CoderMode::rate12_2, settings);
    double sum = 0.0;
    while (coder.nextFrame() == FrameStep::coded) {
        const auto first = samples.begin() + (coder.frameCount() - 1) * kFrameSamples;
        const bool silent =
            std::all_of(first, first + kFrameSamples, [](auto v) { return v == 0; });
        const FrameRecord& f = coder.currentFrame();
        if (!silent) sum += computeSnr(f.speech, f.synthesizedSpeech);
    }
    return sum / coder.frameCount();
}

TEST(FiniteFigures, TheHighPassVariationCountsSilenceAsRead) {
    const TempDir dir;
    const Signals signals = makeSignals(dir);
    const test::CliResult result = runCli({"sweep", arg(signals.hiddenSilence), "--vary",
                                           "high-pass=100:300:100", "-m", "12.2", "--csv"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::istringstream lines(result.out);
    std::string line;
    ASSERT_TRUE(std::getline(lines, line));
    std::vector<std::string> header;
    for (std::istringstream cells(line); std::getline(cells, line, ',');) header.push_back(line);
    const auto column = [&](const std::string& name) {
        const auto at = std::find(header.begin(), header.end(), name);
        EXPECT_NE(at, header.end()) << name;
        return static_cast<std::size_t>(at - header.begin());
    };
    const std::size_t row = column("row"), snrseg = column("segmental_snr_db");
    int checked = 0;
    while (std::getline(lines, line)) {
        std::vector<std::string> cells;
        for (std::istringstream c(line); std::getline(c, line, ',');) cells.push_back(line);
        const std::string& name = cells.at(row);
        if (!name.starts_with("high-pass=")) continue;
        const double hz = std::stod(name.substr(name.find('=') + 1));
        EXPECT_NEAR(std::stod(cells.at(snrseg)), expectedSegmentalSnr(signals.hiddenSilence, hz),
                    1e-9)
            << name;
        ++checked;
    }
    EXPECT_EQ(checked, 3);
}

}  // namespace
}  // namespace zorvel
