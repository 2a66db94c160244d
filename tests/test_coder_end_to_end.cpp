// The complete coder on the bundled sample in every mode: encoding runs read
// back with libsndfile, finite records, quality, the order of the modes, the
// adaptive codebook's share, reproducibility; silence; stage arguments.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstring>
#include <map>
#include <stdexcept>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

#include "coder/SpeechCoder.h"
#include "tests/TestSupport.h"

namespace zorvel {
namespace {

namespace fs = std::filesystem;

std::vector<short> readWithSndfile(const fs::path& file, SF_INFO& info) {
    info = SF_INFO{};
    SNDFILE* sf = sf_open(file.c_str(), SFM_READ, &info);
    if (sf == nullptr) throw std::runtime_error("libsndfile cannot open " + file.string());
    std::vector<short> samples(static_cast<std::size_t>(info.frames * info.channels));
    const sf_count_t got =
        sf_read_short(sf, samples.data(), static_cast<sf_count_t>(samples.size()));
    sf_close(sf);
    samples.resize(static_cast<std::size_t>(got));
    return samples;
}

bool allFinite(std::span<const double> v) {
    for (double x : v)
        if (!std::isfinite(x)) return false;
    return true;
}

struct RunSummary {
    int frames = 0;
    double overallSnr = 0.0;
    double segmentalSnr = 0.0;
};

// Codes the whole sample, checking every record on the way.
RunSummary codeSample(int mode, bool noAdaptive) {
    SpeechCoder coder(test::samplePath(), test::modeNumbered(mode),
                      {.adaptiveCodebook = !noAdaptive});
    while (coder.nextFrame() == FrameStep::coded) {
        const FrameRecord& f = coder.currentFrame();
        const int k = coder.frameCount();
        EXPECT_TRUE(allFinite(f.synthesizedSpeech)) << "frame " << k;
        EXPECT_TRUE(allFinite(f.postProcessedSpeech)) << "frame " << k;
        EXPECT_TRUE(allFinite(f.excitation)) << "frame " << k;
        EXPECT_TRUE(allFinite(f.enhancedExcitation)) << "frame " << k;
        EXPECT_TRUE(allFinite(f.algebraicExcitation)) << "frame " << k;
        EXPECT_TRUE(allFinite(f.codebookTarget)) << "frame " << k;
        EXPECT_TRUE(allFinite(f.codebookGain)) << "frame " << k;
        EXPECT_TRUE(allFinite(f.impulseCorrelation)) << "frame " << k;
        for (int a = 0; a < kSubframes; ++a) {
            EXPECT_GE(f.pitchGain[a], 0.0);
            EXPECT_LE(f.pitchGain[a], 1.2);
            EXPECT_GE(f.pitchLag[a], 15);
            EXPECT_LE(f.pitchLag[a], 146);
        }
        EXPECT_TRUE(std::isfinite(coder.frameSnr())) << "frame " << k;
        if (::testing::Test::HasFailure()) break;
    }
    return {coder.frameCount(), coder.overallSnr(), coder.segmentalSnr()};
}

const RunSummary& summaryOf(int mode, bool noAdaptive) {
    static std::map<std::pair<int, bool>, RunSummary> cache;
    const auto key = std::make_pair(mode, noAdaptive);
    auto it = cache.find(key);
    if (it == cache.end()) it = cache.emplace(key, codeSample(mode, noAdaptive)).first;
    return it->second;
}

class EveryMode : public ::testing::TestWithParam<int> {};

TEST_P(EveryMode, CodesTheSampleWell) {
    const RunSummary& run = summaryOf(GetParam(), false);
    EXPECT_GT(run.frames, 280);
    EXPECT_GT(run.overallSnr, 6.0);
    EXPECT_GT(run.segmentalSnr, 4.0);
}

TEST_P(EveryMode, SwitchingOffTheAdaptiveCodebookCostsQuality) {
    const int mode = GetParam();
    const RunSummary& with = summaryOf(mode, false);
    const RunSummary& without = summaryOf(mode, true);
    EXPECT_GT(without.overallSnr, 0.0);
    EXPECT_GT(with.overallSnr, without.overallSnr + 2.0);
    EXPECT_GT(with.segmentalSnr, without.segmentalSnr);
}

TEST_P(EveryMode, EncodingRunsAreReadableAndReproducible) {
    const int mode = GetParam();
    test::TempDir dir;
    SF_INFO in{};
    const std::vector<short> input = readWithSndfile(test::samplePath(), in);
    for (const SaveOption option : {SaveOption::synthesized, SaveOption::postProcessed}) {
        const std::string name = option == SaveOption::synthesized ? "sout" : "spout";
        SCOPED_TRACE("SaveOption " + name);
        const fs::path first = dir / ("first-" + name + ".wav");
        const fs::path second = dir / ("second-" + name + ".wav");
        {
            SpeechCoder coder(test::samplePath(), test::modeNumbered(mode));
            ASSERT_EQ(coder.encodeFile(first, option), RunResult::completed);
        }
        {
            SpeechCoder coder(test::samplePath(), test::modeNumbered(mode));
            ASSERT_EQ(coder.encodeFile(second, option), RunResult::completed);
        }
        EXPECT_EQ(test::readBytes(first), test::readBytes(second));

        SF_INFO info{};
        const std::vector<short> out = readWithSndfile(first, info);
        EXPECT_EQ(info.samplerate, 8000);
        EXPECT_EQ(info.channels, 1);
        ASSERT_EQ(static_cast<int>(out.size()), summaryOf(mode, false).frames * kFrameSamples);
        // Both files hold a 44-byte header, and the coder reads and writes
        // samples from byte 60 on: a reader's sample i >= 8 of the output is
        // the coded version of its sample i of the input.
        long double S = 0.0L, N = 0.0L;
        long double energy = 0.0L;
        for (std::size_t i = 8; i < out.size(); ++i) {
            const long double s = input[i];
            const long double e = s - out[i];
            S += s * s;
            N += e * e;
            energy += static_cast<long double>(out[i]) * out[i];
        }
        EXPECT_GT(energy, 0.0L);
        const double snr = static_cast<double>(10.0L * std::log10(S / N));
        if (option == SaveOption::synthesized) {
            EXPECT_NEAR(snr, summaryOf(mode, false).overallSnr, 0.5);
        } else {
            EXPECT_GT(snr, 0.0);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, EveryMode, ::testing::Range(1, kModeCount + 1));

TEST(CoderEndToEnd, MorePulsesCodeBetter) {
    EXPECT_GT(summaryOf(1, false).overallSnr, summaryOf(3, false).overallSnr);
    EXPECT_GT(summaryOf(3, false).overallSnr, summaryOf(7, false).overallSnr);
    EXPECT_GT(summaryOf(3, false).overallSnr, summaryOf(5, false).overallSnr);
}

// Silence codes to silence: lag = open-loop lag, gp = 0, no pulses, gc = 1.
TEST(CoderEndToEnd, SilenceCodesToSilence) {
    test::TempDir dir;
    const fs::path file = dir / "silence.wav";
    test::writeSamples(file, std::vector<std::int16_t>(3 * kFrameSamples, 0));
    for (int mode = 1; mode <= kModeCount; ++mode) {
        SpeechCoder coder(file, test::modeNumbered(mode));
        for (int k = 1; k <= 3; ++k) {
            ASSERT_EQ(coder.goToFrame(k), FrameStep::coded);
            const FrameRecord& f = coder.currentFrame();
            for (int a = 0; a < kSubframes; ++a) {
                EXPECT_EQ(f.pitchLag[a], a < 2 ? f.openLoopLagI : f.openLoopLagII);
                EXPECT_EQ(f.pitchGain[a], 0.0);
                EXPECT_EQ(f.codebookGain[a], 1.0);
            }
            for (int p : f.pulsePositions) EXPECT_EQ(p, kNoPulse) << "mode " << mode;
            for (int n = 0; n < kFrameSamples; ++n) {
                EXPECT_EQ(f.algebraicExcitation[n], 0.0);
                EXPECT_EQ(f.synthesizedSpeech[n], 0.0);
                EXPECT_EQ(f.postProcessedSpeech[n], 0.0);
            }
            EXPECT_EQ(coder.frameSnr(), 0.0);
            EXPECT_EQ(coder.overallSnr(), 0.0);
        }
    }
}

// The stages driven one by one on a frame's own records give the record
// that the frame's run gave, bit for bit: a stage run alone forms for itself
// what the run forms ahead (the next subframe's zero-input response).
TEST(CoderEndToEnd, StagesRunOneByOneGiveTheRecordOfTheRun) {
    static_assert(std::is_trivially_copyable_v<FrameRecord>);
    for (int mode : {1, 3, 8}) {
        SpeechCoder coder(test::samplePath(), test::modeNumbered(mode));
        for (int k = 1; k <= 60; ++k) {
            ASSERT_EQ(coder.nextFrame(), FrameStep::coded);
            if (k % 20 != 0) continue;
            const FrameRecord ran = coder.currentFrame();
            coder.analyseLp();
            coder.findOpenLoopLags();
            coder.computeImpulseResponses();
            coder.computeLpResidual();
            for (int a = 0; a < kSubframes; ++a) {
                coder.searchAdaptiveCodebook(a);
                coder.computeLtpResidual(a);
                coder.searchAlgebraicCodebook(a);
                coder.buildExcitation(a);
                coder.synthesizeSubframe(a);
                coder.postFilterSubframe(a);
            }
            EXPECT_EQ(std::memcmp(&ran, &coder.currentFrame(), sizeof(FrameRecord)), 0)
                << "mode " << mode << ", frame " << k;
        }
    }
}

// The two schedules of codeFrame give the same records and SNRs frame by
// frame over the whole sample, in every mode, with the adaptive codebook on
// and off; checkpoints and jumps taken in either serve the other.
class ScheduleTest : public ::testing::TestWithParam<std::tuple<int, bool>> {};

TEST_P(ScheduleTest, StageOrderAndSideBySideGiveIdenticalRecords) {
    const auto [mode, noAdaptive] = GetParam();
    const CoderSettings settings{.adaptiveCodebook = !noAdaptive};
    SpeechCoder sideBySide(test::samplePath(), test::modeNumbered(mode), settings);
    SpeechCoder stageOrder(test::samplePath(), test::modeNumbered(mode), settings);
    stageOrder.schedule = FrameSchedule::stageOrder;
    ASSERT_EQ(sideBySide.schedule, FrameSchedule::sideBySide);  // the coder's default
    int frames = 0;
    while (sideBySide.nextFrame() == FrameStep::coded) {
        ASSERT_EQ(stageOrder.nextFrame(), FrameStep::coded);
        ++frames;
        ASSERT_EQ(std::memcmp(&sideBySide.currentFrame(), &stageOrder.currentFrame(),
                              sizeof(FrameRecord)),
                  0)
            << "frame " << frames;
        ASSERT_EQ(sideBySide.frameSnr(), stageOrder.frameSnr()) << "frame " << frames;
        ASSERT_EQ(sideBySide.noiseEnergySum(), stageOrder.noiseEnergySum()) << "frame " << frames;
    }
    EXPECT_EQ(stageOrder.nextFrame(), FrameStep::endOfInput);
    EXPECT_GT(frames, 100);
}

INSTANTIATE_TEST_SUITE_P(EveryMode, ScheduleTest,
                         ::testing::Combine(::testing::Range(1, kModeCount + 1), ::testing::Bool()),
                         [](const auto& info) {
                             return "mode" + std::to_string(std::get<0>(info.param)) +
                                    (std::get<1>(info.param) ? "_noAdaptive" : "");
                         });

TEST(CoderEndToEnd, SubframeStagesRejectAnInvalidSubframe) {
    SpeechCoder coder("/nonexistent/zorvel/none.wav", CoderMode::rate12_2);
    for (int a : {-1, 4}) {
        EXPECT_THROW(coder.searchAdaptiveCodebook(a), std::out_of_range);
        EXPECT_THROW(coder.computeLtpResidual(a), std::out_of_range);
        EXPECT_THROW(coder.searchAlgebraicCodebook(a), std::out_of_range);
        EXPECT_THROW(coder.buildExcitation(a), std::out_of_range);
        EXPECT_THROW(coder.synthesizeSubframe(a), std::out_of_range);
        EXPECT_THROW(coder.postFilterSubframe(a), std::out_of_range);
    }
}

}  // namespace
}  // namespace zorvel
