// The sound input: frames from byte 60 out of a file or an in-memory stream,
// the frame count from a size, and the inputs it refuses without waiting on
// them (devices, FIFOs, directories), each with the operating system's reason.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <random>
#include <sstream>

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

}  // namespace
}  // namespace zorvel
