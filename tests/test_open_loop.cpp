// Weighted speech and open-loop pitch; weighted-filter impulse responses and
// the LP residual.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "coder/Filters.h"
#include "coder/SpeechCoder.h"
#include "tests/TestSupport.h"

namespace zorvel {
namespace {

using test::kNoInput;

LpCoeffs trivialPredictor() {
    LpCoeffs a{};
    a[0] = 1.0;
    return a;
}

// Prepares a coder whose weighted speech equals the given 320 samples
// (previous frame, then current frame): with A(z) = 1 the weighting filter
// copies its input.
void prepareWeighted(SpeechCoder& coder, const std::vector<double>& w) {
    for (int n = 0; n < kFrameSamples; ++n) {
        coder.previousFrame().speech[n] = w[n];
        coder.previousFrame().weightedSpeech[n] = w[n];
        coder.currentFrame().speech[n] = w[kFrameSamples + n];
    }
    coder.currentFrame().lpCoeffsI = trivialPredictor();
}

std::vector<double> repeatedPattern(int period, int length, std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> dist(-8000.0, 8000.0);
    std::vector<double> pattern(period);
    for (double& v : pattern) v = dist(rng);
    std::vector<double> w(length);
    for (int n = 0; n < length; ++n) w[n] = pattern[n % period];
    return w;
}

TEST(OpenLoopPitch, SilenceGivesLag72AndZeroArrays) {
    for (int mode = 1; mode <= 8; ++mode) {
        SpeechCoder coder(kNoInput, test::modeNumbered(mode));
        coder.analyseLp();
        coder.findOpenLoopLags();
        const FrameRecord& f = coder.currentFrame();
        EXPECT_EQ(f.openLoopLagI, 72);
        EXPECT_EQ(f.openLoopLagII, 72);
        for (int n = 0; n < kFrameSamples; ++n) {
            ASSERT_EQ(f.weightedSpeech[n], 0.0);
            ASSERT_EQ(f.openLoopCorrI[n], 0.0);
            ASSERT_EQ(f.openLoopCorrII[n], 0.0);
        }
    }
}

TEST(OpenLoopPitch, ShortLagPreferredOnPeriodicSignal) {
    // Period 40: lags 40, 80 and 120 correlate equally; 80 wins 72..143 as the
    // smaller of two equal maxima, and 40 replaces it because it exceeds 0.85 times it.
    SpeechCoder coder(kNoInput, CoderMode::rate12_2);
    prepareWeighted(coder, repeatedPattern(40, 2 * kFrameSamples, test::testSeed()));
    coder.findOpenLoopLags();
    const FrameRecord& f = coder.currentFrame();
    EXPECT_EQ(f.openLoopCorrI[80], f.openLoopCorrI[120]);
    EXPECT_EQ(f.openLoopLagI, 40);
    EXPECT_EQ(f.openLoopLagII, 40);
}

TEST(OpenLoopPitch, CorrelationsMatchTheirDefinition) {
    SpeechCoder coder(kNoInput, CoderMode::rate7_95);
    const auto w = repeatedPattern(57, 2 * kFrameSamples, test::testSeed());
    prepareWeighted(coder, w);
    coder.findOpenLoopLags();
    const FrameRecord& f = coder.currentFrame();
    for (int T = 0; T < kFrameSamples; ++T) {
        long double c1 = 0, c2 = 0;
        for (int n = 0; n < 80; ++n) c1 += static_cast<long double>(w[160 + n]) * w[160 + n - T];
        for (int n = 80; n < 160; ++n) c2 += static_cast<long double>(w[160 + n]) * w[160 + n - T];
        ASSERT_NEAR(f.openLoopCorrI[T], static_cast<double>(c1),
                    1e-9 * std::fabs(static_cast<double>(c1)) + 1e-3)
            << T;
        ASSERT_NEAR(f.openLoopCorrII[T], static_cast<double>(c2),
                    1e-9 * std::fabs(static_cast<double>(c2)) + 1e-3)
            << T;
    }
    EXPECT_EQ(f.openLoopLagI, 57);
}

// First half periodic with 47 samples, second half with 61.
std::vector<double> twoPeriods() {
    auto w = repeatedPattern(47, 240, 11);
    const auto tail = repeatedPattern(61, 80, 12);
    w.insert(w.end(), tail.begin(), tail.end());
    return w;
}

TEST(OpenLoopPitch, HalvesAreIndependentExceptInModes7And8) {
    for (int mode = 1; mode <= 8; ++mode) {
        SpeechCoder coder(kNoInput, test::modeNumbered(mode));
        prepareWeighted(coder, twoPeriods());
        coder.currentFrame().lpCoeffsII = trivialPredictor();
        coder.findOpenLoopLags();
        const FrameRecord& f = coder.currentFrame();
        EXPECT_EQ(f.openLoopLagI, 47) << "mode " << mode;
        if (mode == 7 || mode == 8) {
            EXPECT_EQ(f.openLoopLagII, f.openLoopLagI) << "mode " << mode;
        } else {
            EXPECT_NE(f.openLoopLagII, f.openLoopLagI) << "mode " << mode;
        }
    }
}

// The weighted speech of a whole run is one continuous output of W(z) with
// each frame's set I: a long-double difference equation over the whole file
// agrees with the records frame after frame.
TEST(WeightedSpeech, ContinuousAcrossFramesWithSetI) {
    SpeechCoder coder(test::samplePath(), CoderMode::rate12_2);
    std::vector<double> x(10, 0.0);
    std::vector<long double> y(10, 0.0L);
    double maxError = 0.0, maxValue = 0.0;
    for (int frame = 0; frame < 40 && coder.nextFrame() == FrameStep::coded; ++frame) {
        const FrameRecord& f = coder.currentFrame();
        for (int n = 0; n < kFrameSamples; ++n) {
            x.push_back(f.speech[n]);
            const std::size_t i = x.size() - 1;
            long double acc = x[i];
            for (int j = 1; j <= kLpOrder; ++j) {
                acc += std::pow(0.94L, j) * f.lpCoeffsI[j] * x[i - j];
                acc -= std::pow(0.6L, j) * f.lpCoeffsI[j] * y[i - j];
            }
            y.push_back(acc);
            maxError =
                std::max(maxError, std::fabs(f.weightedSpeech[n] - static_cast<double>(acc)));
            maxValue = std::max(maxValue, std::fabs(f.weightedSpeech[n]));
        }
    }
    ASSERT_GT(maxValue, 100.0);
    EXPECT_LT(maxError, 1e-8 * maxValue);
}

TEST(ImpulseResponses, StartValuesAndComposition) {
    SpeechCoder coder(kNoInput, CoderMode::rate12_2);
    FrameRecord& f = coder.currentFrame();
    f.lpCoeffsI = {1.0, -1.2, 0.9, -0.45, 0.2, -0.1, 0.05, -0.02, 0.01, -0.005, 0.002};
    f.lpCoeffsII = {1.0, -0.8, 0.3, -0.1, 0.05, 0.0, 0.0, 0.01, 0.0, 0.0, -0.01};
    coder.computeImpulseResponses();
    for (auto [a, h] : {std::pair{&f.lpCoeffsI, &f.impulseResponseI},
                        std::pair{&f.lpCoeffsII, &f.impulseResponseII}}) {
        EXPECT_EQ((*h)[0], 1.0);
        EXPECT_NEAR((*h)[1], -0.66 * (*a)[1], 1e-15);
        // W(z) then 1/A(z) applied to a unit impulse by the block filters.
        std::array<double, 80> impulse{}, w{}, ref{};
        impulse[0] = 1.0;
        const std::array<double, 80> zero{};
        weightingFilter(*a, zero, zero, impulse, w);
        synthesisFilter(*a, zero, w, ref);
        for (int n = 0; n < 80; ++n) ASSERT_NEAR((*h)[n], ref[n], 1e-12) << n;
    }
}

TEST(ImpulseResponses, TrivialPredictorGivesImpulse) {
    SpeechCoder coder(kNoInput, CoderMode::rate10_2);
    FrameRecord& f = coder.currentFrame();
    f.lpCoeffsI = f.lpCoeffsII = trivialPredictor();
    for (int n = 0; n < kFrameSamples; ++n) f.speech[n] = n * 3.0 - 100.0;
    coder.computeImpulseResponses();
    coder.computeLpResidual();
    for (int n = 0; n < 80; ++n) {
        EXPECT_EQ(f.impulseResponseI[n], n == 0 ? 1.0 : 0.0);
        EXPECT_EQ(f.impulseResponseII[n], n == 0 ? 1.0 : 0.0);
    }
    for (int n = 0; n < kFrameSamples; ++n) EXPECT_EQ(f.lpResidual[n], f.speech[n]);
}

TEST(LpResidual, SwitchesSetAtSample80AndReadsPreviousSpeech) {
    SpeechCoder coder(kNoInput, CoderMode::rate12_2);
    std::mt19937 rng(test::testSeed());
    std::uniform_real_distribution<double> dist(-5000, 5000);
    for (double& v : coder.previousFrame().speech) v = std::trunc(dist(rng));
    FrameRecord& f = coder.currentFrame();
    for (double& v : f.speech) v = std::trunc(dist(rng));
    f.lpCoeffsI = {1.0, -1.2, 0.9, -0.45, 0.2, -0.1, 0.05, -0.02, 0.01, -0.005, 0.002};
    f.lpCoeffsII = {1.0, -0.8, 0.3, -0.1, 0.05, 0.0, 0.0, 0.01, 0.0, 0.0, -0.01};
    coder.computeLpResidual();
    const auto s = [&](int n) {
        return n >= 0 ? f.speech[n] : coder.previousFrame().speech[160 + n];
    };
    for (int n : {0, 5, 79, 80, 85, 159}) {
        const LpCoeffs& a = n < 80 ? f.lpCoeffsI : f.lpCoeffsII;
        long double e = s(n);
        for (int j = 1; j <= 10; ++j) e += static_cast<long double>(a[j]) * s(n - j);
        EXPECT_NEAR(f.lpResidual[n], static_cast<double>(e), 1e-9) << n;
    }
}

TEST(ImpulseResponses, IdenticalOutsideMode1OnRealSpeech) {
    for (int mode : {1, 2, 5, 8}) {
        SpeechCoder coder(test::samplePath(), test::modeNumbered(mode));
        ASSERT_EQ(coder.goToFrame(60), FrameStep::coded);
        const FrameRecord& f = coder.currentFrame();
        if (mode == 1) {
            EXPECT_NE(f.impulseResponseI, f.impulseResponseII);
        } else {
            EXPECT_EQ(f.impulseResponseI, f.impulseResponseII) << "mode " << mode;
        }
    }
}

}  // namespace
}  // namespace zorvel
