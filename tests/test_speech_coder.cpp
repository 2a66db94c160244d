// The coder object: construction, reset, movement through the input, and the
// encoding run's files and failure cases.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <random>

#include "coder/SpeechCoder.h"
#include "sound/Wave.h"
#include "tests/TestSupport.h"

namespace zorvel {
namespace {

namespace fs = std::filesystem;

bool recordsEqual(const FrameRecord& a, const FrameRecord& b) {
    return std::memcmp(&a, &b, sizeof(FrameRecord)) == 0;
}

FrameRecord clearedRecord() {
    FrameRecord r;
    std::memset(&r, 0x5A, sizeof r);
    clearFrameRecord(r);
    return r;
}

std::vector<std::int16_t> randomSamples(int count, std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> dist(-12000, 12000);
    std::vector<std::int16_t> s(count);
    for (auto& v : s) v = static_cast<std::int16_t>(dist(rng));
    return s;
}

TEST(FrameRecord, ClearZeroesAndMarksNoPulses) {
    const FrameRecord r = clearedRecord();
    for (double v : r.speech) EXPECT_EQ(v, 0.0);
    for (double v : r.impulseCorrelation) EXPECT_EQ(v, 0.0);
    for (int p : r.pulsePositions) EXPECT_EQ(p, kNoPulse);
    EXPECT_EQ(r.openLoopLagI, 0);
    EXPECT_EQ(r.lpErrorII, 0.0);
}

TEST(CoderModeNames, OutputNameSuffixFollowsModeAndOptions) {
    EXPECT_EQ(outputNameSuffix(1, false, false), "_12.20_sout.wav");
    EXPECT_EQ(outputNameSuffix(7, true, true), "_05.15_spout_noadapt.wav");
    EXPECT_EQ(outputNameSuffix(4, false, true), "_07.40_sout_noadapt.wav");
    EXPECT_EQ(outputNameSuffix(9, true, false), "_12.20_spout.wav");  // coded as mode 1
    EXPECT_EQ(coderModeName(3).rate, "7.95");
    EXPECT_EQ(coderModeName(8).fileSuffix, "_04.75");
}

TEST(SpeechCoder, ModeOutsideRangeCodesAsMode1) {
    for (int mode : {0, 9, -3}) {
        SpeechCoder coder(test::samplePath(), mode);
        EXPECT_EQ(coder.mode(), 1);
        EXPECT_EQ(coder.noAdaptiveCodebook, 0);
        SpeechCoder mode1(test::samplePath(), 1);
        ASSERT_EQ(coder.goToFrame(30), 0);
        ASSERT_EQ(mode1.goToFrame(30), 0);
        EXPECT_TRUE(recordsEqual(coder.currentFrame(), mode1.currentFrame()));
    }
}

TEST(SpeechCoder, ResetStateAfterConstructionAndAfterCoding) {
    SpeechCoder coder(test::samplePath(), 2);
    const FrameRecord cleared = clearedRecord();
    for (int pass = 0; pass < 2; ++pass) {
        EXPECT_EQ(coder.frameCount(), 0);
        EXPECT_TRUE(recordsEqual(coder.previousFrame(), cleared));
        EXPECT_TRUE(recordsEqual(coder.currentFrame(), cleared));
        EXPECT_EQ(coder.frameSnr(), 0.0);
        EXPECT_EQ(coder.segmentalSnr(), 0.0);
        EXPECT_EQ(coder.overallSnr(), 0.0);
        EXPECT_EQ(coder.unitImpulse()[0], 1.0);
        for (int n = 1; n < kFrameSamples; ++n) EXPECT_EQ(coder.unitImpulse()[n], 0.0);
        for (double v : coder.zeroSignal()) EXPECT_EQ(v, 0.0);
        ASSERT_EQ(coder.goToFrame(20), 0);
        coder.reset();
    }
}

TEST(SpeechCoder, BackAndForthEqualsAFreshRun) {
    SpeechCoder coder(test::samplePath(), 1);
    ASSERT_EQ(coder.goToFrame(5), 0);
    ASSERT_EQ(coder.goToFrame(3), 0);
    SpeechCoder fresh(test::samplePath(), 1);
    ASSERT_EQ(fresh.goToFrame(3), 0);
    EXPECT_EQ(coder.frameCount(), 3);
    EXPECT_TRUE(recordsEqual(coder.previousFrame(), fresh.previousFrame()));
    EXPECT_TRUE(recordsEqual(coder.currentFrame(), fresh.currentFrame()));
    EXPECT_EQ(coder.frameSnr(), fresh.frameSnr());
    EXPECT_EQ(coder.segmentalSnr(), fresh.segmentalSnr());
    EXPECT_EQ(coder.overallSnr(), fresh.overallSnr());
}

TEST(SpeechCoder, PreviousRecordIsNotTouchedByTheNextFrame) {
    SpeechCoder coder(test::samplePath(), 5);
    ASSERT_EQ(coder.goToFrame(40), 0);
    const FrameRecord frame40 = coder.currentFrame();
    ASSERT_EQ(coder.nextFrame(), 0);
    EXPECT_TRUE(recordsEqual(coder.previousFrame(), frame40));
}

TEST(SpeechCoder, FirstFrameReadsFromByte60) {
    test::TempDir dir;
    const auto samples = randomSamples(2 * kFrameSamples, test::testSeed());
    test::writeSamples(dir / "in.wav", samples);
    SpeechCoder coder(dir / "in.wav", 1);
    ASSERT_EQ(coder.goToFrame(2), 0);
    for (int n = 0; n < kFrameSamples; ++n) {
        ASSERT_EQ(coder.previousFrame().speech[n], samples[n]) << n;
        ASSERT_EQ(coder.currentFrame().speech[n], samples[kFrameSamples + n]) << n;
    }
}

struct LengthCase {
    int samples;  // after byte 60
    int extraBytes;
    int frames;
};

class FrameCount : public ::testing::TestWithParam<LengthCase> {};

TEST_P(FrameCount, OnlyWholeFramesAreCoded) {
    const LengthCase c = GetParam();
    test::TempDir dir;
    const auto samples = randomSamples(c.samples, 7);
    test::writeSamples(dir / "in.wav", samples);
    if (c.extraBytes) {
        std::ofstream(dir / "in.wav", std::ios::binary | std::ios::app).write("\x01", c.extraBytes);
    }
    SpeechCoder coder(dir / "in.wav", 3);
    int frames = 0;
    while (coder.goToFrame(coder.frameCount() + 1) == 0) ++frames;
    EXPECT_EQ(frames, c.frames);
    EXPECT_EQ(coder.frameCount(), c.frames);
    EXPECT_EQ(coder.nextFrame(), 1);
    EXPECT_EQ(coder.frameCount(), c.frames);

    SpeechCoder run(dir / "in.wav", 3);
    ASSERT_EQ(run.encodeFile(dir / "out.wav", kSaveSynthesized), 0);
    const auto bytes = test::readBytes(dir / "out.wav");
    const std::uint32_t dataSize = 320u * c.frames;
    ASSERT_EQ(bytes.size(), c.frames > 0 ? 60u + dataSize : 44u);
    EXPECT_EQ(bytes[40] | bytes[41] << 8 | bytes[42] << 16 | bytes[43] << 24, dataSize);
    EXPECT_EQ(bytes[4] | bytes[5] << 8 | bytes[6] << 16 | bytes[7] << 24, dataSize + 36);
    for (std::size_t i = 44; i < std::min<std::size_t>(60, bytes.size()); ++i)
        EXPECT_EQ(bytes[i], 0) << i;
}

INSTANTIATE_TEST_SUITE_P(Lengths, FrameCount,
                         ::testing::Values(LengthCase{0, 0, 0}, LengthCase{159, 1, 0},
                                           LengthCase{160, 0, 1}, LengthCase{3 * 160, 0, 3},
                                           LengthCase{3 * 160 + 159, 0, 3},
                                           LengthCase{3 * 160 + 1, 1, 3},
                                           LengthCase{7 * 160, 0, 7}));

TEST(SpeechCoder, ShortFilesHaveNoFrames) {
    test::TempDir dir;
    for (int size : {0, 30, 60}) {
        test::writeBytes(dir / "short.wav", std::vector<std::uint8_t>(size, 0x11));
        SpeechCoder coder(dir / "short.wav", 1);
        EXPECT_EQ(coder.goToFrame(1), 1) << size;
        EXPECT_EQ(coder.frameCount(), 0);
    }
}

// The output holds, from byte 60, the chosen signal of every frame.
class SaveOptionTest : public ::testing::TestWithParam<int> {};

TEST_P(SaveOptionTest, WritesTheChosenSignal) {
    const int option = GetParam();
    test::TempDir dir;
    std::vector<std::int16_t> expected;
    SpeechCoder reference(test::samplePath(), 6);
    while (reference.nextFrame() == 0) {
        const FrameRecord& f = reference.currentFrame();
        const Signal& s = option == 2 ? f.postProcessedSpeech : f.synthesizedSpeech;
        for (double v : s) expected.push_back(toSample(v));
    }
    SpeechCoder coder(test::samplePath(), 6);
    ASSERT_EQ(coder.encodeFile(dir / "out.wav", option), 0);
    const auto bytes = test::readBytes(dir / "out.wav");
    ASSERT_EQ(bytes.size(), 60 + 2 * expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k) {
        const auto v = static_cast<std::int16_t>(bytes[60 + 2 * k] | bytes[61 + 2 * k] << 8);
        ASSERT_EQ(v, expected[k]) << "sample " << k;
    }
}

INSTANTIATE_TEST_SUITE_P(Options, SaveOptionTest, ::testing::Values(0, 1, 2, 3));

// The header counts the frames this run wrote, also on a coder that had
// already been moved into the file.
TEST(EncodingRun, HeaderCountsTheFramesOfThisRun) {
    test::TempDir dir;
    test::writeSamples(dir / "in.wav", randomSamples(5 * kFrameSamples, 9));
    SpeechCoder coder(dir / "in.wav", 1);
    ASSERT_EQ(coder.goToFrame(2), 0);
    ASSERT_EQ(coder.encodeFile(dir / "out.wav", 1), 0);
    const auto bytes = test::readBytes(dir / "out.wav");
    ASSERT_EQ(bytes.size(), 60u + 3u * 320u);
    EXPECT_EQ(bytes[40] | bytes[41] << 8 | bytes[42] << 16 | bytes[43] << 24, 3 * 320);
}

TEST(EncodingRun, ExistingOutputIsOverwrittenNotAppended) {
    test::TempDir dir;
    test::writeSamples(dir / "in.wav", randomSamples(2 * kFrameSamples, 3));
    test::writeBytes(dir / "out.wav", std::vector<std::uint8_t>(5000, 0x77));
    SpeechCoder coder(dir / "in.wav", 1);
    ASSERT_EQ(coder.encodeFile(dir / "out.wav", 1), 0);
    EXPECT_EQ(fs::file_size(dir / "out.wav"), 60u + 640u);
}

// Failures refuse before anything is written and leave every file as it was.
TEST(EncodingRun, MissingInputLeavesExistingOutputUntouched) {
    test::TempDir dir;
    const std::vector<std::uint8_t> old(1234, 0x42);
    test::writeBytes(dir / "out.wav", old);
    SpeechCoder coder(dir / "missing.wav", 1);
    EXPECT_EQ(coder.encodeFile(dir / "out.wav", 1), 1);
    EXPECT_EQ(test::readBytes(dir / "out.wav"), old);
}

// An input that opens but fails when read (an I/O error; /proc/self/mem fails
// so at byte 60, which no process maps) is not an empty input: the run is
// refused before the output is opened.
TEST(EncodingRun, InputWithReadErrorLeavesExistingOutputUntouched) {
    const fs::path unreadable = "/proc/self/mem";
    {
        std::ifstream probe(unreadable, std::ios::binary);
        probe.seekg(60);
        probe.get();
        if (!probe.bad()) GTEST_SKIP() << unreadable << " does not fail when read here";
    }
    test::TempDir dir;
    const std::vector<std::uint8_t> old(1234, 0x42);
    test::writeBytes(dir / "out.wav", old);
    SpeechCoder coder(unreadable, 1);
    EXPECT_EQ(coder.encodeFile(dir / "out.wav", 1), 1);
    EXPECT_EQ(test::readBytes(dir / "out.wav"), old);
    EXPECT_EQ(coder.frameCount(), 0);
}

TEST(EncodingRun, DirectoryAsInputIsRefused) {
    test::TempDir dir;
    fs::create_directory(dir / "folder.wav");
    SpeechCoder coder(dir / "folder.wav", 1);
    EXPECT_EQ(coder.encodeFile(dir / "out.wav", 1), 1);
    EXPECT_FALSE(fs::exists(dir / "out.wav"));
}

TEST(EncodingRun, UnwritableOutputIsReported) {
    test::TempDir dir;
    SpeechCoder coder(test::samplePath(), 1);
    EXPECT_EQ(coder.encodeFile(dir / "no-such-dir" / "out.wav", 1), 1);
}

TEST(EncodingRun, FullDiskIsReported) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this system";
    SpeechCoder coder(test::samplePath(), 7);
    EXPECT_EQ(coder.encodeFile("/dev/full", 1), 1);
}

TEST(EncodingRun, OutputNamingTheInputIsRefused) {
    test::TempDir dir;
    fs::create_directory(dir / "sub");
    test::writeSamples(dir / "in.wav", randomSamples(3 * kFrameSamples, 5));
    const auto original = test::readBytes(dir / "in.wav");
    fs::create_symlink(dir / "in.wav", dir / "link.wav");
    fs::create_hard_link(dir / "in.wav", dir / "hard.wav");
    const fs::path spellings[] = {dir / "in.wav", dir / "sub" / ".." / "in.wav",
                                  dir / "." / "in.wav", dir / "link.wav", dir / "hard.wav"};
    for (const auto& out : spellings) {
        SpeechCoder coder(dir / "in.wav", 1);
        EXPECT_EQ(coder.encodeFile(out, 1), 1) << out;
        EXPECT_EQ(test::readBytes(dir / "in.wav"), original) << out;
    }
    // And the other way round: coding through the link onto the real name.
    SpeechCoder viaLink(dir / "link.wav", 1);
    EXPECT_EQ(viaLink.encodeFile(dir / "in.wav", 1), 1);
    EXPECT_EQ(test::readBytes(dir / "in.wav"), original);
}

}  // namespace
}  // namespace zorvel
