// The coder object: construction, reset, movement through the input, and the
// encoding run's files and failure cases.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <span>
#include <sstream>
#include <string>
#include <thread>
#include <utility>

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

TEST(CoderModes, OutputNameSuffixFollowsModeAndOptions) {
    const CoderSettings noAdaptive{.adaptiveCodebook = false};
    EXPECT_EQ(outputNameSuffix(CoderMode::rate12_2, false, {}), "_12.20_sout.wav");
    EXPECT_EQ(outputNameSuffix(CoderMode::rate5_15, true, noAdaptive), "_05.15_spout_noadapt.wav");
    EXPECT_EQ(outputNameSuffix(CoderMode::rate7_40, false, noAdaptive), "_07.40_sout_noadapt.wav");
    // The adaptive codebook's piece comes first, the other settings' after it.
    EXPECT_EQ(outputNameSuffix(CoderMode::rate7_40, false,
                               {.gamma1 = 0.9, .enhancement = false, .adaptiveCodebook = false}),
              "_07.40_sout_noadapt_g1-0.9_noenh.wav");
    EXPECT_EQ(rulesOf(CoderMode::rate7_95).rate, "7.95");
    EXPECT_EQ(rulesOf(CoderMode::rate4_75).fileSuffix, "_04.75");
}

// The numbers 1..8 seen outside name the modes in the order of the table.
TEST(CoderModes, NumbersOneToEightOnly) {
    const char* const rates[] = {"12.2", "10.2", "7.95", "7.40", "6.70", "5.90", "5.15", "4.75"};
    for (int number = 1; number <= kModeCount; ++number) {
        const std::optional<CoderMode> mode = modeFromNumber(number);
        ASSERT_TRUE(mode) << number;
        EXPECT_EQ(modeNumber(*mode), number);
        EXPECT_EQ(rulesOf(*mode).rate, rates[number - 1]);
    }
    for (int number : {0, 9, -3}) EXPECT_FALSE(modeFromNumber(number)) << number;
}

// The rules that set modes apart: 12.2 alone has two LP analyses, the
// gentle enhancement and signs from the LTP residual; 5.15 and 4.75 alone
// keep one open-loop lag per frame.
TEST(CoderModes, RulesOfTheTable) {
    for (const CoderMode mode : kAllCoderModes) {
        const CoderModeRules& rules = rulesOf(mode);
        const bool is122 = mode == CoderMode::rate12_2;
        EXPECT_EQ(rules.twoLpAnalyses, is122);
        EXPECT_EQ(rules.enhancementRule == EnhancementRule::gentle, is122);
        EXPECT_EQ(rules.signRule == SignRule::residualAndTarget, is122);
        EXPECT_EQ(rules.oneOpenLoopLagPerFrame,
                  mode == CoderMode::rate5_15 || mode == CoderMode::rate4_75);
    }
    const int pulses[] = {10, 8, 4, 4, 3, 2, 2, 2};
    for (int k = 0; k < kModeCount; ++k)
        EXPECT_EQ(kCoderModes[k].pulseLayout.pulses, pulses[k]) << k;
}

// Every mode's pulse layout places its pulses inside the subframe: the lists
// of the nested layouts ascend, one per pulse, and the step-5 tracks split
// the subframe; the track pairs take two different tracks; the pairwise
// layouts place two pulses per track.
TEST(CoderModes, PulseLayoutsLieInTheSubframe) {
    std::array<int, kSubframeSamples> onTrack{};
    for (int t = 0; t < tracks::kStep; ++t)
        for (int m : tracks::kOfStep5[t]) {
            ASSERT_EQ(m % tracks::kStep, t);
            ++onTrack[m];
        }
    for (int count : onTrack) EXPECT_EQ(count, 1);
    for (const CoderModeRules& rules : kCoderModes) {
        const PulseLayout& layout = rules.pulseLayout;
        SCOPED_TRACE(std::string(rules.rate));
        EXPECT_LE(layout.pulses, kPulsesPerSubframe);
        switch (layout.search) {
            case PulseSearch::pairwise:
                EXPECT_EQ(layout.pulses, 2 * layout.pairwiseTracks);
                EXPECT_EQ(kSubframeSamples % layout.pairwiseTracks, 0);
                break;
            case PulseSearch::nested:
                for (int k = 0; k < kMaxNestedPulses; ++k) {
                    const std::span<const int> list = layout.lists[k];
                    EXPECT_EQ(list.empty(), k >= layout.pulses) << "pulse " << k;
                    for (std::size_t i = 0; i < list.size(); ++i) {
                        EXPECT_TRUE(list[i] >= 0 && list[i] < kSubframeSamples) << list[i];
                        if (i > 0) {
                            EXPECT_LT(list[i - 1], list[i]);
                        }
                    }
                }
                break;
            case PulseSearch::trackPairs:
                EXPECT_EQ(layout.pulses, 2);
                for (const TrackPairRuns& runs : layout.trackPairs)
                    for (const TrackPair& pair : runs) {
                        EXPECT_NE(pair.first, pair.second);
                        EXPECT_TRUE(pair.first >= 0 && pair.first < tracks::kStep);
                        EXPECT_TRUE(pair.second >= 0 && pair.second < tracks::kStep);
                    }
                break;
        }
    }
}

TEST(SpeechCoder, ResetStateAfterConstructionAndAfterCoding) {
    SpeechCoder coder(test::samplePath(), CoderMode::rate10_2);
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
        ASSERT_EQ(coder.goToFrame(20), FrameStep::coded);
        coder.reset();
    }
}

TEST(SpeechCoder, BackAndForthEqualsAFreshRun) {
    SpeechCoder coder(test::samplePath(), CoderMode::rate12_2);
    ASSERT_EQ(coder.goToFrame(5), FrameStep::coded);
    ASSERT_EQ(coder.goToFrame(3), FrameStep::coded);
    SpeechCoder fresh(test::samplePath(), CoderMode::rate12_2);
    ASSERT_EQ(fresh.goToFrame(3), FrameStep::coded);
    EXPECT_EQ(coder.frameCount(), 3);
    EXPECT_TRUE(recordsEqual(coder.previousFrame(), fresh.previousFrame()));
    EXPECT_TRUE(recordsEqual(coder.currentFrame(), fresh.currentFrame()));
    EXPECT_EQ(coder.frameSnr(), fresh.frameSnr());
    EXPECT_EQ(coder.segmentalSnr(), fresh.segmentalSnr());
    EXPECT_EQ(coder.overallSnr(), fresh.overallSnr());
}

TEST(SpeechCoder, PreviousRecordIsNotTouchedByTheNextFrame) {
    SpeechCoder coder(test::samplePath(), CoderMode::rate6_70);
    ASSERT_EQ(coder.goToFrame(40), FrameStep::coded);
    const FrameRecord frame40 = coder.currentFrame();
    ASSERT_EQ(coder.nextFrame(), FrameStep::coded);
    EXPECT_TRUE(recordsEqual(coder.previousFrame(), frame40));
}

TEST(SpeechCoder, FirstFrameReadsFromByte60) {
    test::TempDir dir;
    const auto samples = randomSamples(2 * kFrameSamples, test::testSeed());
    test::writeSamples(dir / "in.wav", samples);
    SpeechCoder coder(dir / "in.wav", CoderMode::rate12_2);
    ASSERT_EQ(coder.goToFrame(2), FrameStep::coded);
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
    SpeechCoder coder(dir / "in.wav", CoderMode::rate7_95);
    int frames = 0;
    while (coder.goToFrame(coder.frameCount() + 1) == FrameStep::coded) ++frames;
    EXPECT_EQ(frames, c.frames);
    EXPECT_EQ(coder.frameCount(), c.frames);
    EXPECT_EQ(coder.nextFrame(), FrameStep::endOfInput);
    EXPECT_EQ(coder.frameCount(), c.frames);

    SpeechCoder run(dir / "in.wav", CoderMode::rate7_95);
    ASSERT_EQ(run.encodeFile(dir / "out.wav", SaveOption::synthesized), RunResult::completed);
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
        SpeechCoder coder(dir / "short.wav", CoderMode::rate12_2);
        EXPECT_EQ(coder.goToFrame(1), FrameStep::endOfInput) << size;
        EXPECT_EQ(coder.frameCount(), 0);
    }
}

// The output holds, from byte 60, the chosen signal of every frame.
class SaveOptionTest : public ::testing::TestWithParam<SaveOption> {};

TEST_P(SaveOptionTest, WritesTheChosenSignal) {
    const SaveOption option = GetParam();
    test::TempDir dir;
    std::vector<std::int16_t> expected;
    SpeechCoder reference(test::samplePath(), CoderMode::rate5_90);
    while (reference.nextFrame() == FrameStep::coded) {
        const FrameRecord& f = reference.currentFrame();
        const Signal& s =
            option == SaveOption::postProcessed ? f.postProcessedSpeech : f.synthesizedSpeech;
        for (double v : s) expected.push_back(toSample(v));
    }
    SpeechCoder coder(test::samplePath(), CoderMode::rate5_90);
    ASSERT_EQ(coder.encodeFile(dir / "out.wav", option), RunResult::completed);
    const auto bytes = test::readBytes(dir / "out.wav");
    ASSERT_EQ(bytes.size(), 60 + 2 * expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k) {
        const auto v = static_cast<std::int16_t>(bytes[60 + 2 * k] | bytes[61 + 2 * k] << 8);
        ASSERT_EQ(v, expected[k]) << "sample " << k;
    }
}

INSTANTIATE_TEST_SUITE_P(Options, SaveOptionTest,
                         ::testing::Values(SaveOption::synthesized, SaveOption::postProcessed));

// The header counts the frames this run wrote, also on a coder that had
// already been moved into the file.
TEST(EncodingRun, HeaderCountsTheFramesOfThisRun) {
    test::TempDir dir;
    test::writeSamples(dir / "in.wav", randomSamples(5 * kFrameSamples, 9));
    SpeechCoder coder(dir / "in.wav", CoderMode::rate12_2);
    ASSERT_EQ(coder.goToFrame(2), FrameStep::coded);
    ASSERT_EQ(coder.encodeFile(dir / "out.wav", SaveOption::synthesized), RunResult::completed);
    const auto bytes = test::readBytes(dir / "out.wav");
    ASSERT_EQ(bytes.size(), 60u + 3u * 320u);
    EXPECT_EQ(bytes[40] | bytes[41] << 8 | bytes[42] << 16 | bytes[43] << 24, 3 * 320);
}

TEST(EncodingRun, ExistingOutputIsOverwrittenNotAppended) {
    test::TempDir dir;
    test::writeSamples(dir / "in.wav", randomSamples(2 * kFrameSamples, 3));
    test::writeBytes(dir / "out.wav", std::vector<std::uint8_t>(5000, 0x77));
    SpeechCoder coder(dir / "in.wav", CoderMode::rate12_2);
    ASSERT_EQ(coder.encodeFile(dir / "out.wav", SaveOption::synthesized), RunResult::completed);
    EXPECT_EQ(fs::file_size(dir / "out.wav"), 60u + 640u);
}

// A stream that cannot seek, as a pipe; `onFlush` runs at its first flush,
// which the run in order makes right after the header.
struct PipeLikeBuffer : std::stringbuf {
    std::function<void()> onFlush;
    pos_type seekoff(off_type, std::ios::seekdir, std::ios::openmode) override { return -1; }
    pos_type seekpos(pos_type, std::ios::openmode) override { return -1; }
    int sync() override {
        if (onFlush) std::exchange(onFlush, nullptr)();
        return 0;
    }
};

// Written front to back, the run gives the bytes of the seeking run: whole
// and part frames, either signal, and a coder already moved into its input.
TEST(EncodingInOrder, GivesTheBytesOfTheSeekingRunWithoutSeeking) {
    test::TempDir dir;
    for (const int samples : {0, 100, 7 * kFrameSamples, 9 * kFrameSamples + 77}) {
        test::writeSamples(dir / "in.wav", randomSamples(samples, 11));
        for (const SaveOption option : {SaveOption::synthesized, SaveOption::postProcessed}) {
            for (const int startFrame : {0, 2}) {
                SpeechCoder seeking(dir / "in.wav", CoderMode::rate7_40);
                SpeechCoder inOrder(dir / "in.wav", CoderMode::rate7_40);
                (void)seeking.goToFrame(startFrame);
                (void)inOrder.goToFrame(startFrame);
                ASSERT_EQ(seeking.encodeFile(dir / "out.wav", option), RunResult::completed);
                PipeLikeBuffer buffer;
                std::ostream stream(&buffer);
                ASSERT_EQ(inOrder.encodeFileInOrder(stream, option), RunResult::completed);
                const auto expected = test::readBytes(dir / "out.wav");
                EXPECT_EQ(buffer.str(), std::string(expected.begin(), expected.end()))
                    << samples << " samples from frame " << startFrame;
                EXPECT_EQ(inOrder.frameCount(), seeking.frameCount());
            }
        }
    }
}

// The header is sent before the input is read: an input that is shorter or
// longer by the end than it was then fails the run. A longer one gets no
// frame past the header's; a shorter one leaves the output short.
TEST(EncodingInOrder, AnInputThatChangesLengthMeanwhileFailsTheRun) {
    test::TempDir dir;
    const fs::path input = dir / "in.wav";
    const auto samples = randomSamples(12 * kFrameSamples, 13);
    struct Change {
        int framesAfter;
        int framesSent;
    };
    for (const Change change : {Change{7, 7}, Change{15, 12}}) {
        test::writeSamples(input, samples);
        SpeechCoder seeking(input, CoderMode::rate5_15);
        ASSERT_EQ(seeking.encodeFile(dir / "out.wav", SaveOption::synthesized),
                  RunResult::completed);
        SpeechCoder inOrder(input, CoderMode::rate5_15);
        PipeLikeBuffer buffer;
        buffer.onFlush = [&] { fs::resize_file(input, 60 + change.framesAfter * kFrameBytes); };
        std::ostream stream(&buffer);
        EXPECT_EQ(inOrder.encodeFileInOrder(stream, SaveOption::synthesized),
                  RunResult::inputChanged)
            << change.framesAfter;
        const auto expected = test::readBytes(dir / "out.wav");
        EXPECT_EQ(buffer.str(), std::string(expected.begin(), expected.end())
                                    .substr(0, 60 + change.framesSent * kFrameBytes))
            << "the frames sent are those of the input as it was, " << change.framesAfter;
    }
}

// The run tells of every frame it writes, in order, without changing a byte;
// a false answer stops it there and leaves the old output (or none), in both
// the staged run and the front-to-back one.
TEST(EncodingRun, FrameWrittenCountsEveryFrameAndStopsTheRun) {
    test::TempDir dir;
    SpeechCoder plain(test::samplePath(), CoderMode::rate7_95);
    ASSERT_EQ(plain.encodeFile(dir / "plain.wav", SaveOption::synthesized), RunResult::completed);

    SpeechCoder told(test::samplePath(), CoderMode::rate7_95);
    std::vector<std::int64_t> counts;
    told.frameWritten = [&](std::int64_t frames) {
        counts.push_back(frames);
        return true;
    };
    ASSERT_EQ(told.encodeFile(dir / "told.wav", SaveOption::synthesized), RunResult::completed);
    EXPECT_EQ(test::readBytes(dir / "told.wav"), test::readBytes(dir / "plain.wav"));
    ASSERT_EQ(static_cast<int>(counts.size()), plain.frameCount());
    for (std::size_t i = 0; i < counts.size(); ++i) ASSERT_EQ(counts[i], std::int64_t(i) + 1);

    const std::vector<std::uint8_t> old(777, 0x33);
    test::writeBytes(dir / "old.wav", old);
    SpeechCoder stopped(test::samplePath(), CoderMode::rate7_95);
    stopped.frameWritten = [](std::int64_t frames) { return frames < 10; };
    EXPECT_EQ(stopped.encodeFile(dir / "old.wav", SaveOption::synthesized), RunResult::stopped);
    EXPECT_EQ(stopped.frameCount(), 10);
    EXPECT_EQ(stopped.runError(), 0);
    EXPECT_EQ(test::readBytes(dir / "old.wav"), old);
    EXPECT_EQ(test::directoryNames(dir.path()),
              (std::vector<std::string>{"old.wav", "plain.wav", "told.wav"}));

    SpeechCoder inOrder(test::samplePath(), CoderMode::rate7_95);
    inOrder.frameWritten = [](std::int64_t frames) { return frames < 3; };
    std::stringstream stream;
    EXPECT_EQ(inOrder.encodeFileInOrder(stream, SaveOption::synthesized), RunResult::stopped);
    EXPECT_EQ(stream.str().size(), 60u + 3u * 320u);
}

// A failed run keeps the system's reason: a full disk (a file-size limit
// here), a folder that is missing.
TEST(EncodingRun, FailureKeepsTheSystemsErrorNumber) {
    test::TempDir dir;
    SpeechCoder missingFolder(test::samplePath(), CoderMode::rate12_2);
    EXPECT_EQ(missingFolder.encodeFile(dir / "nie_ma" / "out.wav", SaveOption::synthesized),
              RunResult::failed);
    EXPECT_EQ(missingFolder.runError(), ENOENT);

    SpeechCoder full(test::samplePath(), CoderMode::rate12_2);
    {
        const test::FileSizeLimit limit(20000);
        EXPECT_EQ(full.encodeFile(dir / "out.wav", SaveOption::synthesized), RunResult::failed);
    }
    EXPECT_EQ(full.runError(), EFBIG);
    EXPECT_FALSE(fs::exists(dir / "out.wav"));

    SpeechCoder fine(test::samplePath(), CoderMode::rate12_2);
    EXPECT_EQ(fine.encodeFile(dir / "out.wav", SaveOption::synthesized), RunResult::completed);
    EXPECT_EQ(fine.runError(), 0);
}

// Failures refuse before anything is written and leave every file as it was.
TEST(EncodingRun, MissingInputLeavesExistingOutputUntouched) {
    test::TempDir dir;
    const std::vector<std::uint8_t> old(1234, 0x42);
    test::writeBytes(dir / "out.wav", old);
    SpeechCoder coder(dir / "missing.wav", CoderMode::rate12_2);
    EXPECT_EQ(coder.encodeFile(dir / "out.wav", SaveOption::synthesized), RunResult::failed);
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
    SpeechCoder coder(unreadable, CoderMode::rate12_2);
    EXPECT_EQ(coder.encodeFile(dir / "out.wav", SaveOption::synthesized), RunResult::failed);
    EXPECT_EQ(test::readBytes(dir / "out.wav"), old);
    EXPECT_EQ(coder.frameCount(), 0);
}

TEST(EncodingRun, DirectoryAsInputIsRefused) {
    test::TempDir dir;
    fs::create_directory(dir / "folder.wav");
    SpeechCoder coder(dir / "folder.wav", CoderMode::rate12_2);
    EXPECT_EQ(coder.encodeFile(dir / "out.wav", SaveOption::synthesized), RunResult::failed);
    EXPECT_FALSE(fs::exists(dir / "out.wav"));
}

TEST(EncodingRun, UnwritableOutputIsReported) {
    test::TempDir dir;
    SpeechCoder coder(test::samplePath(), CoderMode::rate12_2);
    EXPECT_EQ(coder.encodeFile(dir / "no-such-dir" / "out.wav", SaveOption::synthesized),
              RunResult::failed);
}

TEST(EncodingRun, FullDiskIsReported) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this system";
    SpeechCoder coder(test::samplePath(), CoderMode::rate5_15);
    EXPECT_EQ(coder.encodeFile("/dev/full", SaveOption::synthesized), RunResult::failed);
}

// The bytes of the seeking run on the sample, made in memory: no file, no staging.
std::string sampleEncodedInMemory(CoderMode mode) {
    SpeechCoder coder(test::samplePath(), mode);
    // The seeking run over a stream that holds the bytes before the samples.
    std::stringstream bytes(std::string(60, '\0'), std::ios::in | std::ios::out | std::ios::binary);
    EXPECT_EQ(coder.encodeFile(bytes, SaveOption::synthesized), RunResult::completed);
    return bytes.str();
}

std::string fileText(const fs::path& file) {
    const auto bytes = test::readBytes(file);
    return {bytes.begin(), bytes.end()};
}

// The finished output takes the old one's name at once: the old file itself
// is never written into (a second link to it keeps its bytes).
TEST(EncodingRun, CompletedRunReplacesTheOldFileWhole) {
    test::TempDir dir;
    const std::vector<std::uint8_t> old(150000, 0x42);  // longer than the new output
    test::writeBytes(dir / "out.wav", old);
    fs::create_hard_link(dir / "out.wav", dir / "old.wav");
    SpeechCoder coder(test::samplePath(), CoderMode::rate6_70);
    ASSERT_EQ(coder.encodeFile(dir / "out.wav", SaveOption::synthesized), RunResult::completed);
    EXPECT_EQ(fileText(dir / "out.wav"), sampleEncodedInMemory(CoderMode::rate6_70));
    EXPECT_EQ(test::readBytes(dir / "old.wav"), old);
    EXPECT_EQ(test::directoryNames(dir.path()), (std::vector<std::string>{"old.wav", "out.wav"}));
}

// A write that fails half-way (the file may not grow past 20000 bytes of the
// run's 90620) leaves the old output as it was and nothing else.
TEST(EncodingRun, FailureHalfWayLeavesTheOldOutputAndNoTemporary) {
    test::TempDir dir;
    const std::vector<std::uint8_t> old(1234, 0x42);
    test::writeBytes(dir / "out.wav", old);
    for (const bool oldExists : {true, false}) {
        if (!oldExists) fs::remove(dir / "out.wav");
        SpeechCoder coder(test::samplePath(), CoderMode::rate12_2);
        RunResult result = RunResult::completed;
        {
            const test::FileSizeLimit limit(20000);
            result = coder.encodeFile(dir / "out.wav", SaveOption::synthesized);
        }
        EXPECT_EQ(result, RunResult::failed) << oldExists;
        if (oldExists) {
            EXPECT_EQ(test::readBytes(dir / "out.wav"), old);
            EXPECT_EQ(test::directoryNames(dir.path()), std::vector<std::string>{"out.wav"});
        } else {
            EXPECT_TRUE(test::directoryNames(dir.path()).empty());
        }
    }
}

// A FIFO no one reads fails the run at once rather than wait for a reader;
// it stays a FIFO. With a reader, it gets the file's bytes front to back.
TEST(EncodingRun, FifoIsWrittenInPlaceOnlyWhenItHasAReader) {
    test::TempDir dir;
    const fs::path fifo = dir / "out.wav";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    SpeechCoder unread(test::samplePath(), CoderMode::rate4_75);
    EXPECT_EQ(unread.encodeFile(fifo, SaveOption::synthesized), RunResult::failed);
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_EQ(test::directoryNames(dir.path()), std::vector<std::string>{"out.wav"});

    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    ASSERT_EQ(fcntl(reader, F_SETFL, 0), 0);
    // A writer of the test's own until the run is over: the reader sees the
    // end only after the run's writes, whenever the run opens the FIFO.
    const int holder = open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    std::string received;
    std::thread reading([&] {
        std::array<char, 4096> buffer{};
        for (ssize_t got; (got = read(reader, buffer.data(), buffer.size())) > 0;)
            received.append(buffer.data(), static_cast<std::size_t>(got));
    });
    SpeechCoder withReader(test::samplePath(), CoderMode::rate4_75);
    EXPECT_EQ(withReader.encodeFile(fifo, SaveOption::synthesized), RunResult::completed);
    close(holder);
    reading.join();
    close(reader);
    EXPECT_EQ(received, sampleEncodedInMemory(CoderMode::rate4_75));
    EXPECT_TRUE(fs::is_fifo(fifo));
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
        SpeechCoder coder(dir / "in.wav", CoderMode::rate12_2);
        EXPECT_EQ(coder.encodeFile(out, SaveOption::synthesized), RunResult::failed) << out;
        EXPECT_EQ(test::readBytes(dir / "in.wav"), original) << out;
    }
    // And the other way round: coding through the link onto the real name.
    SpeechCoder viaLink(dir / "link.wav", CoderMode::rate12_2);
    EXPECT_EQ(viaLink.encodeFile(dir / "in.wav", SaveOption::synthesized), RunResult::failed);
    EXPECT_EQ(test::readBytes(dir / "in.wav"), original);
}

}  // namespace
}  // namespace zorvel
