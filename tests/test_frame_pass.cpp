// The background pass: its summaries are those of a plain sequential pass,
// its checkpoints serve another coder, stopping and starting again codes
// every frame once, an input without frames is done at once, and an input
// that is cut short meanwhile fails the pass with the frames it reached.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <optional>
#include <thread>

#include "coder/FrameDistances.h"
#include "coder/FramePass.h"
#include "coder/LpDistortion.h"
#include "coder/SpeechCoder.h"
#include "tests/TestSupport.h"

namespace zorvel {
namespace {

namespace fs = std::filesystem;

constexpr auto kLongestWait = std::chrono::minutes(2);  // the pass under the sanitizers is slow

// Waits until `done` holds or the longest wait has passed.
template <typename Done>
void waitUntil(Done done) {
    const auto end = std::chrono::steady_clock::now() + kLongestWait;
    while (!done() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

// Expects the summaries of frames 1..summaries.size() to be those of a plain coder.
void expectSequentialSummaries(const fs::path& file, CoderMode mode,
                               std::span<const FrameSummary> summaries,
                               const CoderSettings& settings = {}) {
    SpeechCoder plain(file, mode, settings);
    plain.setCheckpoints(nullptr);
    for (const FrameSummary& s : summaries) {
        ASSERT_EQ(plain.nextFrame(), FrameStep::coded);
        const FrameRecord& r = plain.currentFrame();
        const std::string where = "frame " + std::to_string(plain.frameCount());
        double E = 0.0;
        for (double v : r.speech) E += v * v;
        ASSERT_EQ(s.frameSnr, static_cast<float>(plain.frameSnr())) << where;
        ASSERT_EQ(s.energy, static_cast<float>(E)) << where;
        for (int a = 0; a < kSubframes; ++a) {
            ASSERT_EQ(s.pitchLag[a], r.pitchLag[a]) << where;
            ASSERT_EQ(s.pitchGain[a], static_cast<float>(r.pitchGain[a])) << where;
            ASSERT_EQ(s.codebookGain[a], static_cast<float>(r.codebookGain[a])) << where;
        }
        // The quantised LP's distortion: the mean of both sets' (one set:
        // its own), none where the coder does not quantise.
        ASSERT_EQ(r.lpQuantised, settings.quantisation) << where;
        if (!r.lpQuantised) {
            ASSERT_TRUE(std::isnan(s.lpDistortion)) << where;
            continue;
        }
        const double sdI = spectralDistortion(r.lpCoeffsI, r.lpCoeffsQuantisedI);
        const double sdII = spectralDistortion(r.lpCoeffsII, r.lpCoeffsQuantisedII);
        if (!rulesOf(mode).twoLpAnalyses) {
            ASSERT_EQ(sdI, sdII) << where;
        }
        ASSERT_EQ(s.lpDistortion, static_cast<float>((sdI + sdII) / 2)) << where;
    }
}

TEST(FramePass, SummariesAreThoseOfASequentialPass) {
    test::TempDir dir;
    const fs::path file = test::repeatedSample(dir, 2);
    FramePass pass(file, CoderMode::rate7_95);
    ASSERT_EQ(pass.totalFrames(), 2 * test::kSampleFrames);
    EXPECT_TRUE(pass.summaries().empty());
    pass.start();
    waitUntil([&] { return pass.done(); });
    ASSERT_TRUE(pass.done());
    pass.stop();
    ASSERT_EQ(pass.reached(), 2 * test::kSampleFrames);
    ASSERT_EQ(pass.summaries().size(), static_cast<std::size_t>(pass.reached()));
    EXPECT_EQ(&pass.summaries()[41], &pass.summary(42));
    EXPECT_EQ(pass.checkpoints()->count(), 2u);
    EXPECT_FALSE(pass.failed());
    EXPECT_EQ(pass.failure(), nullptr);
    expectSequentialSummaries(file, CoderMode::rate7_95, pass.summaries());
}

// A quantising pass sums up each frame's LP distortion: over speech most
// frames a little above zero, none without a value.
TEST(FramePass, QuantisedSummariesCarryTheDistortionOfTheQuantisedLp) {
    test::TempDir dir;
    const fs::path file = test::repeatedSample(dir, 1);
    CoderSettings settings;
    settings.quantisation = true;
    for (const CoderMode mode : {CoderMode::rate12_2, CoderMode::rate4_75}) {
        FramePass pass(file, mode, settings);
        pass.start();
        waitUntil([&] { return pass.done(); });
        pass.stop();
        ASSERT_EQ(pass.reached(), test::kSampleFrames);
        expectSequentialSummaries(file, mode, pass.summaries(), settings);
        SpectralDistortionStatistics statistics;
        for (const FrameSummary& s : pass.summaries()) statistics.add(s.lpDistortion);
        EXPECT_GT(statistics.mean(), 0.3) << rulesOf(mode).rate;
        EXPECT_LT(statistics.mean(), 3.0) << rulesOf(mode).rate;
    }
}

TEST(FramePass, StoppedAndStartedAgainItGoesOnWhereItStopped) {
    test::TempDir dir;
    const fs::path file = test::repeatedSample(dir, 3);
    FramePass pass(file, CoderMode::rate5_90);
    pass.start();
    waitUntil([&] { return pass.reached() >= 5; });
    pass.stop();
    const int stoppedAt = pass.reached();
    ASSERT_GE(stoppedAt, 5);
    EXPECT_FALSE(pass.running());
    pass.start();
    waitUntil([&] { return pass.done(); });
    ASSERT_TRUE(pass.done());
    pass.stop();
    EXPECT_EQ(pass.reached(), 3 * test::kSampleFrames);
    expectSequentialSummaries(file, CoderMode::rate5_90, pass.summaries());

    // Its store takes another coder of the same setting to frame 500 from snapshot 400.
    SpeechCoder user(file, CoderMode::rate5_90);
    user.setCheckpoints(pass.checkpoints());
    SpeechCoder plain(file, CoderMode::rate5_90);
    plain.setCheckpoints(nullptr);
    ASSERT_EQ(user.goToFrame(500), FrameStep::coded);
    ASSERT_EQ(plain.goToFrame(500), FrameStep::coded);
    EXPECT_EQ(user.overallSnr(), plain.overallSnr());
    EXPECT_EQ(user.segmentalSnr(), plain.segmentalSnr());
    EXPECT_TRUE(pass.matches(file, CoderMode::rate5_90));
    EXPECT_FALSE(pass.matches(file, CoderMode::rate5_90, {.adaptiveCodebook = false}));
    EXPECT_FALSE(pass.matches(file, CoderMode::rate6_70));
}

TEST(FramePass, AFileWithoutFramesIsDoneAtOnce) {
    test::TempDir dir;
    test::writeSamples(dir / "short.wav", std::vector<std::int16_t>(100));
    FramePass pass(dir / "short.wav", CoderMode::rate12_2);
    EXPECT_EQ(pass.totalFrames(), 0);
    EXPECT_TRUE(pass.done());
    pass.start();
    EXPECT_FALSE(pass.running());
    EXPECT_TRUE(pass.summaries().empty());
}

// The pass in the default settings of `mode`.
std::unique_ptr<FramePass> passOver(const fs::path& file, CoderMode mode) {
    return std::make_unique<FramePass>(file, mode);
}

// Cuts `file` to its first `frames` whole frames.
void keepFrames(const fs::path& file, int frames) {
    fs::resize_file(file, kSampleDataOffset + static_cast<std::uintmax_t>(frames) * kFrameBytes);
}

// The FramePassError that ended `pass`; fails the test when it is another
// exception or none.
std::optional<FramePassError> passError(const FramePass& pass) {
    if (!pass.failure()) return std::nullopt;
    try {
        std::rethrow_exception(pass.failure());
    } catch (const FramePassError& error) {
        return error;
    } catch (const std::exception& other) {
        ADD_FAILURE() << "the pass ended with " << other.what();
    }
    return std::nullopt;
}

struct ShortenedCase {
    std::string name;
    CoderMode mode;
    int keptFrames;  // of the three copies of the sample
};

class FramePassOnAShortenedInput : public ::testing::TestWithParam<ShortenedCase> {};

// The input loses its end after the pass has counted its frames: the pass
// codes what is left, then fails, saying where and why; it is done, does not
// start again, and keeps the summaries it made.
TEST_P(FramePassOnAShortenedInput, FailsAtItsEndWithTheReason) {
    const ShortenedCase& c = GetParam();
    test::TempDir dir;
    const fs::path file = test::repeatedSample(dir, 3);
    const auto pass = passOver(file, c.mode);
    ASSERT_EQ(pass->totalFrames(), 3 * test::kSampleFrames);
    keepFrames(file, c.keptFrames);
    pass->start();
    waitUntil([&] { return pass->done(); });
    ASSERT_TRUE(pass->done());
    EXPECT_TRUE(pass->failed());
    EXPECT_FALSE(pass->running());
    EXPECT_EQ(pass->reached(), c.keptFrames);
    const std::optional<FramePassError> error = passError(*pass);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->kind(), PassFailure::inputShortened);
    EXPECT_EQ(error->frame(), c.keptFrames);
    EXPECT_EQ(error->totalFrames(), 3 * test::kSampleFrames);
    EXPECT_EQ(error->error(), 0);
    EXPECT_EQ(std::string(error->what()),
              "the input ended after frame " + std::to_string(c.keptFrames) + " of " +
                  std::to_string(3 * test::kSampleFrames) + ": it was changed while it was coded");
    expectSequentialSummaries(file, c.mode, pass->summaries());

    // Neither a start nor the distances set it going again.
    pass->start();
    EXPECT_FALSE(pass->running());
    pass->measureFrames();
    EXPECT_FALSE(pass->measuring());
    EXPECT_FALSE(pass->running());
    pass->stop();
}

INSTANTIATE_TEST_SUITE_P(
    Cuts, FramePassOnAShortenedInput,
    ::testing::Values(ShortenedCase{"NoFrameLeft", CoderMode::rate12_2, 0},
                      ShortenedCase{"OneFrameLeft", CoderMode::rate4_75, 1},
                      ShortenedCase{"PastACheckpoint", CoderMode::rate7_95, 250}),
    [](const ::testing::TestParamInfo<ShortenedCase>& info) { return info.param.name; });

// Expects the distances of frames 1..values.size() to be those of a plain
// coder's records, s(n) against s'(n), NaN where a frame has none.
void expectSequentialMeasures(const fs::path& file, CoderMode mode,
                              std::span<const FrameMeasureValues> values,
                              const CoderSettings& settings = {}) {
    SpeechCoder plain(file, mode, settings);
    plain.setCheckpoints(nullptr);
    for (const FrameMeasureValues& v : values) {
        ASSERT_EQ(plain.nextFrame(), FrameStep::coded);
        const FrameMeasures expected = measureRecord(plain.currentFrame(), SaveOption::synthesized);
        for (std::size_t i = 0; i < kSpectralMeasureCount; ++i) {
            const std::string where =
                "frame " + std::to_string(plain.frameCount()) + " measure " + std::to_string(i);
            if (expected[i])
                ASSERT_EQ(v[i], static_cast<float>(*expected[i])) << where;
            else
                ASSERT_TRUE(std::isnan(v[i])) << where;
        }
    }
}

TEST(FramePassMeasures, NoneUnlessAskedFor) {
    test::TempDir dir;
    FramePass pass(test::repeatedSample(dir, 1), CoderMode::rate12_2);
    pass.start();
    waitUntil([&] { return pass.done(); });
    pass.stop();
    EXPECT_FALSE(pass.measuresWanted());
    EXPECT_EQ(pass.measured(), 0);
    EXPECT_TRUE(pass.measures().empty());
}

TEST(FramePassMeasures, AskedForBeforeTheStartEveryFrameIsMeasuredAsItIsCoded) {
    test::TempDir dir;
    const fs::path file = test::repeatedSample(dir, 1);
    FramePass pass(file, CoderMode::rate10_2);
    pass.measureFrames();
    pass.start();
    waitUntil([&] { return pass.done() && !pass.measuring(); });
    pass.stop();
    ASSERT_EQ(pass.measured(), test::kSampleFrames);
    expectSequentialMeasures(file, CoderMode::rate10_2, pass.measures());
}

TEST(FramePassMeasures, AskedForAfterTheCodingTheFramesAreMeasuredFromTheStart) {
    test::TempDir dir;
    const fs::path file = test::repeatedSample(dir, 2);
    FramePass pass(file, CoderMode::rate4_75, {.adaptiveCodebook = false});
    pass.start();
    waitUntil([&] { return pass.done(); });
    ASSERT_TRUE(pass.done());
    EXPECT_FALSE(pass.running());
    // The worker has ended (or is ending): asked again while measuring, as
    // the window's poll does, it starts for the distances.
    pass.measureFrames();
    waitUntil([&] {
        pass.measureFrames();
        return !pass.measuring();
    });
    pass.stop();
    ASSERT_EQ(pass.measured(), 2 * test::kSampleFrames);
    expectSequentialMeasures(file, CoderMode::rate4_75, pass.measures(),
                             {.adaptiveCodebook = false});
}

TEST(FramePassMeasures, AskedForHalfWayTheEarlierFramesAreMeasuredToo) {
    test::TempDir dir;
    const fs::path file = test::repeatedSample(dir, 3);
    FramePass pass(file, CoderMode::rate6_70);
    pass.start();
    waitUntil([&] { return pass.reached() >= 50; });
    pass.stop();  // stopped and started again around the request
    const int reachedBefore = pass.reached();
    pass.measureFrames();
    EXPECT_EQ(pass.measured(), 0);
    pass.start();
    waitUntil([&] { return pass.done() && !pass.measuring(); });
    pass.stop();
    EXPECT_GE(reachedBefore, 50);
    ASSERT_EQ(pass.measured(), 3 * test::kSampleFrames);
    expectSequentialMeasures(file, CoderMode::rate6_70, pass.measures());
    // The summaries are still those of the sequential pass.
    expectSequentialSummaries(file, CoderMode::rate6_70, pass.summaries());
}

TEST(FramePassMeasures, ValuesOfAFrameWithoutDistancesAreNaN) {
    FrameMeasures values{};
    values[static_cast<std::size_t>(SpectralMeasure::llr)] = 0.25;
    const FrameMeasureValues v = frameMeasureValues(values);
    for (std::size_t i = 0; i < kSpectralMeasureCount; ++i) {
        if (i == static_cast<std::size_t>(SpectralMeasure::llr))
            EXPECT_EQ(v[i], 0.25f);
        else
            EXPECT_TRUE(std::isnan(v[i])) << i;
    }
}

// Cut short after the coding, the input fails the distances asked for then:
// the second coder, going back over the frames, meets the new end.
TEST(FramePassMeasures, AnInputCutShortAfterTheCodingFailsTheDistances) {
    test::TempDir dir;
    const fs::path file = test::repeatedSample(dir, 1);
    const auto pass = passOver(file, CoderMode::rate12_2);
    pass->start();
    waitUntil([&] { return pass->done(); });
    ASSERT_TRUE(pass->done());
    ASSERT_FALSE(pass->failed());
    keepFrames(file, 40);
    waitUntil([&] {
        pass->measureFrames();
        return !pass->measuring();
    });
    pass->stop();
    EXPECT_TRUE(pass->failed());
    EXPECT_EQ(pass->measured(), 40);
    const std::optional<FramePassError> error = passError(*pass);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->kind(), PassFailure::inputShortened);
    EXPECT_EQ(error->frame(), 40);
    expectSequentialMeasures(file, CoderMode::rate12_2, pass->measures());
}

}  // namespace
}  // namespace zorvel
