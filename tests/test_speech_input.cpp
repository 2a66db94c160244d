// The sound input: frames from byte 60 out of a file or an in-memory stream,
// the frame count from a size, and the inputs it refuses without waiting on
// them (devices, FIFOs, directories), each with the operating system's reason;
// and the whole file's samples at once, for playback, with the same refusals.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <random>
#include <sstream>
#include <stop_token>

#include "coder/Ablation.h"
#include "coder/ModeSweep.h"
#include "coder/SpeechCoder.h"
#include "sound/SpeechInput.h"
#include "tests/TestSupport.h"

namespace zorvel {
namespace {

namespace fs = std::filesystem;

std::string fileText(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::unique_ptr<std::istream> memoryStream(const std::string& bytes) {
    return std::make_unique<std::istringstream>(bytes);
}

TEST(FrameLayout, WholeFramesAfterByte60) {
    EXPECT_EQ(framesInBytes(-1), 0);
    EXPECT_EQ(framesInBytes(0), 0);
    EXPECT_EQ(framesInBytes(60), 0);
    EXPECT_EQ(framesInBytes(60 + 319), 0);
    EXPECT_EQ(framesInBytes(60 + 320), 1);
    EXPECT_EQ(framesInBytes(60 + 3 * 320 + 319), 3);
    EXPECT_EQ(framesInBytes(60 + 1000000LL * 320), 1000000);
    EXPECT_EQ(framesInFile("/nonexistent/zorvel/none.wav"), 0);
    EXPECT_EQ(framesInFile(test::samplePath()), framesInBytes(fs::file_size(test::samplePath())));
}

TEST(SpeechInput, ReadsSignedLittleEndianSamplesFromByte60) {
    std::string bytes(60, '\x7f');  // header bytes are never samples
    bytes += std::string("\x01\x00\xff\xff\x00\x80\xff\x7f", 8);
    bytes += std::string(2 * 156, '\0');
    bytes += "\x05";  // an odd last byte is not a sample
    SpeechInput input(memoryStream(bytes));
    ASSERT_TRUE(input.usable()) << input.problem();
    std::array<double, kFrameSamples> speech{};
    ASSERT_TRUE(input.readSamples(speech));
    EXPECT_EQ(speech[0], 1.0);
    EXPECT_EQ(speech[1], -1.0);
    EXPECT_EQ(speech[2], -32768.0);
    EXPECT_EQ(speech[3], 32767.0);
    speech.fill(9.0);
    EXPECT_FALSE(input.readSamples(speech));
    for (double v : speech) EXPECT_EQ(v, 0.0);  // nothing read, nothing left over
    EXPECT_FALSE(input.failed());
    input.rewind();
    EXPECT_TRUE(input.readSamples(speech));
    EXPECT_EQ(speech[3], 32767.0);
}

// An in-memory input codes to exactly what the file codes to, in every mode.
TEST(SpeechInput, MemoryStreamCodesAsTheFile) {
    const std::string bytes = fileText(test::samplePath()).substr(0, 60 + 12 * 320 + 7);
    for (const CoderMode mode : kAllCoderModes) {
        test::TempDir dir;
        test::writeBytes(dir / "in.wav", std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
        SpeechCoder fromFile(dir / "in.wav", mode);
        ASSERT_EQ(fromFile.encodeFile(dir / "file.wav", SaveOption::synthesized),
                  RunResult::completed);
        SpeechCoder fromMemory(SpeechInput(memoryStream(bytes)), mode);
        std::stringstream out(std::string(60, '\0'));  // a string stream cannot seek past its end
        ASSERT_EQ(fromMemory.encodeFile(out, SaveOption::synthesized), RunResult::completed);
        EXPECT_EQ(fromMemory.frameCount(), 12);
        EXPECT_EQ(out.str(), fileText(dir / "file.wav")) << "mode " << modeNumber(mode);
    }
}

TEST(SpeechInput, IsFileKnowsItsOwnFileByAnyName) {
    test::TempDir dir;
    test::writeSamples(dir / "in.wav", std::vector<std::int16_t>(400, 3));
    fs::create_symlink(dir / "in.wav", dir / "link.wav");
    fs::create_hard_link(dir / "in.wav", dir / "hard.wav");
    test::writeSamples(dir / "other.wav", std::vector<std::int16_t>(400, 3));
    const SpeechInput input(dir / "in.wav");
    EXPECT_TRUE(input.isFile(dir / "in.wav"));
    EXPECT_TRUE(input.isFile(dir / "link.wav"));
    EXPECT_TRUE(input.isFile(dir / "hard.wav"));
    EXPECT_FALSE(input.isFile(dir / "other.wav"));
    EXPECT_FALSE(input.isFile(dir / "missing.wav"));
    EXPECT_FALSE(SpeechInput(memoryStream("")).isFile(dir / "in.wav"));
}

// Every refusal comes at once, with its reason, and a coder on such an input
// has no frames and refuses its encoding run.
TEST(SpeechInput, RefusesWhatIsNotARegularFileWithoutWaiting) {
    test::TempDir dir;
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    fs::create_directory(dir / "sub");
    fs::create_symlink(dir / "loop", dir / "loop");
    const std::string longName = std::string(300, 'n');
    struct Case {
        fs::path input;
        std::string problem;
    };
    const std::vector<Case> cases = {
        {dir / "missing.wav", "input file not found"},
        {dir / "sub", "input is a directory"},
        {dir / "fifo", "input is not a regular file"},
        {"/dev/zero", "input is not a regular file"},
        {dir / "loop", "input cannot be opened: Too many levels of symbolic links"},
        {dir / longName, "input cannot be opened: File name too long"},
    };
    for (const Case& c : cases) {
        const auto start = std::chrono::steady_clock::now();
        SpeechCoder coder(c.input, CoderMode::rate12_2);
        const SpeechInput input(c.input);
        EXPECT_FALSE(input.usable()) << c.input;
        EXPECT_EQ(input.problem(), c.problem) << c.input;
        EXPECT_EQ(coder.nextFrame(), FrameStep::endOfInput) << c.input;
        EXPECT_EQ(coder.encodeFile(dir / "out.wav", SaveOption::synthesized), RunResult::failed)
            << c.input;
        EXPECT_FALSE(fs::exists(dir / "out.wav")) << c.input;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << c.input;
    }
}

TEST(SpeechInput, AReadErrorIsNotTheEndOfTheInput) {
    // /proc/self/mem is a regular file whose reads at low offsets fail.
    const SpeechInput input("/proc/self/mem");
    if (input.usable()) GTEST_SKIP() << "/proc/self/mem reads here";
    EXPECT_EQ(input.problem(), "input cannot be read: Input/output error");
}

// An in-memory input whose reads fail from byte `failAt` on, as a disk's read
// error does: the buffer throws, and the stream takes that for a read error.
class FailingBuffer : public std::streambuf {
  public:
    FailingBuffer(std::string bytes, std::size_t failAt)
        : bytes_(std::move(bytes)), failAt_(static_cast<off_type>(failAt)) {
        place(0);
    }

  protected:
    int_type underflow() override {
        if (egptr() - eback() >= size()) return traits_type::eof();
        throw std::ios::failure("read failed");
    }
    pos_type seekoff(off_type offset, std::ios::seekdir direction, std::ios::openmode) override {
        const off_type base = direction == std::ios::beg   ? 0
                              : direction == std::ios::cur ? gptr() - eback()
                                                           : size();
        return place(base + offset);
    }
    pos_type seekpos(pos_type position, std::ios::openmode) override {
        return place(off_type(position));
    }

  private:
    off_type size() const { return static_cast<off_type>(bytes_.size()); }
    pos_type place(off_type position) {
        if (position < 0 || position > size()) return pos_type(off_type(-1));
        char* begin = bytes_.data();
        setg(begin, begin + position, begin + std::max(position, std::min(failAt_, size())));
        return pos_type(position);
    }

    std::string bytes_;
    off_type failAt_;
};

class FailingStream : public std::istream {
  public:
    FailingStream(std::string bytes, std::size_t failAt)
        : std::istream(nullptr), buffer_(std::move(bytes), failAt) {
        rdbuf(&buffer_);
    }

  private:
    FailingBuffer buffer_;
};

// The sample, whose reads fail in the middle of frame 11.
SpeechInput inputFailingInFrame11() {
    constexpr std::size_t kFailAt = kSampleDataOffset + 10 * kFrameBytes + 17;
    return SpeechInput(std::make_unique<FailingStream>(fileText(test::samplePath()), kFailAt));
}

TEST(SpeechInput, AReadErrorMidWayIsTold) {
    SpeechInput input = inputFailingInFrame11();
    ASSERT_TRUE(input.usable());
    std::array<double, kFrameSamples> frame{};
    int frames = 0;
    while (input.readSamples(frame)) ++frames;
    EXPECT_EQ(frames, 10);
    EXPECT_TRUE(input.failed());
    EXPECT_EQ(input.readError(), EIO);  // no system error behind it: EIO

    SpeechInput whole(memoryStream(fileText(test::samplePath())));
    while (whole.readSamples(frame)) {
    }
    EXPECT_FALSE(whole.failed());
    EXPECT_EQ(whole.readError(), 0);
}

// A sweep or an ablation never gives the figures of the frames before a read
// error as the file's: the run stops, naming the file and the system's reason.
TEST(SpeechInput, ARunOverManyFilesStopsAtAReadErrorAndNamesTheFile) {
    try {
        codeInMode(inputFailingInFrame11(), CoderMode::rate7_95);
        ADD_FAILURE() << "the figures of 10 frames were given as the file's";
    } catch (const FileError& error) {
        EXPECT_EQ(std::string(error.what()), "the input could not be read: Input/output error");
        EXPECT_EQ(error.error(), EIO);
    }
    SweepRun sweep;
    sweep.inputs = {test::samplePath(), "fails.wav", test::samplePath()};
    sweep.threads = 2;
    sweep.open = [&](std::size_t file) {
        return file == 1 ? inputFailingInFrame11() : SpeechInput(sweep.inputs[file]);
    };
    try {
        sweepModes(sweep);
        ADD_FAILURE() << "the sweep ended with figures";
    } catch (const SweepFileError& error) {
        EXPECT_EQ(error.file(), 1u);
        EXPECT_EQ(error.error(), EIO);
    }
    AblationRun ablation;
    ablation.inputs = sweep.inputs;
    ablation.open = sweep.open;
    ablation.rows = ablationRows(CoderSettings{});
    ablation.modes = {CoderMode::rate12_2};
    ablation.threads = 2;
    try {
        computeAblation(ablation);
        ADD_FAILURE() << "the ablation ended with figures";
    } catch (const SweepFileError& error) {
        EXPECT_EQ(error.file(), 1u);
    }
}

// An encoding run whose input fails to read fails on its input, not its
// output, whether it seeks or writes front to back.
TEST(SpeechInput, AnEncodingRunTellsAReadErrorOfItsInput) {
    for (const bool inOrder : {false, true}) {
        SCOPED_TRACE(inOrder ? "front to back" : "seeking");
        SpeechCoder coder(inputFailingInFrame11(), CoderMode::rate7_95);
        std::stringstream out(std::string(60, '\0'));  // a string stream cannot seek past its end
        const RunResult result = inOrder ? coder.encodeFileInOrder(out, SaveOption::synthesized)
                                         : coder.encodeFile(out, SaveOption::synthesized);
        EXPECT_EQ(result, RunResult::failed);
        EXPECT_EQ(coder.frameCount(), 10);
        EXPECT_EQ(coder.runReadError(), EIO);
        EXPECT_EQ(coder.runError(), 0);

        SpeechCoder sound(SpeechInput(memoryStream(fileText(test::samplePath()))),
                          CoderMode::rate7_95);
        std::stringstream soundOut(std::string(60, '\0'));
        EXPECT_EQ(inOrder ? sound.encodeFileInOrder(soundOut, SaveOption::synthesized)
                          : sound.encodeFile(soundOut, SaveOption::synthesized),
                  RunResult::completed);
        EXPECT_EQ(sound.runReadError(), 0);
    }
}

// --- every sample of a file at once ----------------------------------------------------------

// The bytes of a file in the system's layout: a header of `fill` bytes, then
// the samples as 16-bit little-endian values.
std::vector<std::uint8_t> layout(const std::vector<std::int16_t>& samples, std::uint8_t fill) {
    std::vector<std::uint8_t> bytes(kSampleDataOffset, fill);
    for (const std::int16_t s : samples) {
        const auto u = static_cast<std::uint16_t>(s);
        bytes.push_back(static_cast<std::uint8_t>(u & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(u >> 8));
    }
    return bytes;
}

TEST(FileSamples, AreTheSixteenBitValuesFromByte60) {
    test::TempDir dir;
    const std::vector<std::int16_t> values{0, 1, -1, 32767, -32768, 256, -256, 12345};
    std::vector<std::uint8_t> bytes = layout(values, 0x7f);  // header bytes are never samples
    bytes.push_back(0x05);                                   // an odd last byte is not a sample
    test::writeBytes(dir / "x.wav", bytes);
    const FileSamples read = readFileSamples(dir / "x.wav");
    EXPECT_EQ(read.outcome, ReadOutcome::read);
    EXPECT_EQ(read.problem, "");
    EXPECT_EQ(read.samples, std::vector<double>(values.begin(), values.end()));

    // No whole sample after the header: nothing to play, and no refusal.
    for (const int size : {0, 1, 59, 60, 61}) {
        test::writeBytes(dir / "short.wav",
                         std::vector<std::uint8_t>(static_cast<std::size_t>(size), 0x11));
        const FileSamples none = readFileSamples(dir / "short.wav");
        EXPECT_EQ(none.outcome, ReadOutcome::read) << size;
        EXPECT_TRUE(none.samples.empty()) << size;
    }
}

// Files of random samples around the reader's block size (32768 samples),
// each with and without an odd last byte, read back exactly.
class FileSamplesLength : public ::testing::TestWithParam<int> {};

TEST_P(FileSamplesLength, ReadBackExactly) {
    const std::uint32_t seed = test::testSeed() + static_cast<std::uint32_t>(GetParam());
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> value(-32768, 32767);
    std::vector<std::int16_t> samples(static_cast<std::size_t>(GetParam()));
    for (std::int16_t& s : samples) s = static_cast<std::int16_t>(value(rng));
    test::TempDir dir;
    for (const bool oddByte : {false, true}) {
        std::vector<std::uint8_t> bytes = layout(samples, 0xAB);
        if (oddByte) bytes.push_back(0xFF);
        test::writeBytes(dir / "x.wav", bytes);
        const FileSamples read = readFileSamples(dir / "x.wav");
        ASSERT_EQ(read.outcome, ReadOutcome::read) << read.problem;
        ASSERT_EQ(read.samples.size(), samples.size()) << "odd byte " << oddByte;
        for (std::size_t i = 0; i < samples.size(); ++i) {
            ASSERT_EQ(read.samples[i], samples[i])
                << "seed " << seed << ", index " << i << ", odd byte " << oddByte;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AroundTheBlock, FileSamplesLength,
                         ::testing::Values(1, 160, 32767, 32768, 32769, 3 * 32768 + 5));

// The whole-file reader and the frame reader see the same samples.
TEST(FileSamples, EqualTheFramesOfASpeechInput) {
    const FileSamples read = readFileSamples(test::samplePath());
    ASSERT_EQ(read.outcome, ReadOutcome::read) << read.problem;
    const std::int64_t frames = framesInFile(test::samplePath());
    ASSERT_GT(frames, 0);
    EXPECT_EQ(static_cast<std::int64_t>(read.samples.size()) / kFrameSamples, frames);
    SpeechInput input(test::samplePath());
    std::array<double, kFrameSamples> speech{};
    for (std::int64_t f = 0; f < frames; ++f) {
        ASSERT_TRUE(input.readSamples(speech)) << "frame " << f;
        for (int i = 0; i < kFrameSamples; ++i) {
            ASSERT_EQ(read.samples[static_cast<std::size_t>(f * kFrameSamples + i)], speech[i])
                << "frame " << f << ", sample " << i;
        }
    }
}

TEST(FileSamples, FollowLinksAndRefuseWhatIsNotARegularFile) {
    test::TempDir dir;
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);  // no writer ever comes
    fs::create_directory(dir / "sub");
    fs::create_symlink(dir / "fifo", dir / "fifo-link");
    fs::create_symlink("/dev/zero", dir / "zero-link");
    fs::create_symlink(dir / "loop", dir / "loop");
    test::writeSamples(dir / "in.wav", {7, -7});
    fs::create_symlink(dir / "in.wav", dir / "in-link.wav");

    const FileSamples linked = readFileSamples(dir / "in-link.wav");
    EXPECT_EQ(linked.outcome, ReadOutcome::read);
    EXPECT_EQ(linked.samples, (std::vector<double>{7, -7}));

    struct Case {
        fs::path input;
        ReadOutcome outcome;
        std::string problem;
    };
    const std::vector<Case> cases = {
        {dir / "missing.wav", ReadOutcome::notFound, "input file not found"},
        {dir / "sub", ReadOutcome::notRegularFile, "input is a directory"},
        {dir / "fifo", ReadOutcome::notRegularFile, "input is not a regular file"},
        {dir / "fifo-link", ReadOutcome::notRegularFile, "input is not a regular file"},
        {"/dev/zero", ReadOutcome::notRegularFile, "input is not a regular file"},
        {dir / "zero-link", ReadOutcome::notRegularFile, "input is not a regular file"},
        {dir / "loop", ReadOutcome::unreadable,
         "input cannot be opened: Too many levels of symbolic links"},
    };
    for (const Case& c : cases) {
        const FileSamples read = readFileSamples(c.input);
        EXPECT_EQ(read.outcome, c.outcome) << c.input;
        EXPECT_EQ(read.problem, c.problem) << c.input;
        EXPECT_TRUE(read.samples.empty()) << c.input;
        // The frame reader refuses it in the same words.
        EXPECT_EQ(SpeechInput(c.input).problem(), c.problem) << c.input;
    }
}

TEST(FileSamples, AReadErrorIsReportedNotTakenForTheEnd) {
    const FileSamples read = readFileSamples("/proc/self/mem");
    if (read.outcome == ReadOutcome::read) GTEST_SKIP() << "/proc/self/mem reads here";
    EXPECT_EQ(read.outcome, ReadOutcome::unreadable);
    EXPECT_EQ(read.problem, "input cannot be read: Input/output error");
    EXPECT_TRUE(read.samples.empty());
}

TEST(FileSamples, AStopRequestEndsTheRead) {
    std::stop_source source;
    source.request_stop();
    const FileSamples read = readFileSamples(test::samplePath(), source.get_token());
    EXPECT_EQ(read.outcome, ReadOutcome::stopped);
    EXPECT_TRUE(read.samples.empty());
}

}  // namespace
}  // namespace zorvel
