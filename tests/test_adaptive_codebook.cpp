// Target signal, adaptive codebook search and LTP residual: single stages on
// prepared records, and invariants over real coding runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "coder/SpeechCoder.h"
#include "tests/TestSupport.h"

namespace zorvel {
namespace {

constexpr int L = kSubframeSamples;
using test::kNoInput;

// A monic, decaying impulse response with random detail.
void randomImpulseResponse(std::mt19937& rng, std::array<double, kImpulseResponseSamples>& h) {
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    h[0] = 1.0;
    for (int n = 1; n < kImpulseResponseSamples; ++n) h[n] = std::pow(0.8, n) * u(rng);
}

std::vector<long double> convolveRef(const std::vector<long double>& x, std::span<const double> h) {
    std::vector<long double> y(x.size(), 0.0L);
    for (std::size_t i = 0; i < x.size(); ++i)
        for (std::size_t j = 0; j <= i; ++j) y[i] += x[j] * static_cast<long double>(h[i - j]);
    return y;
}

// Excitation as one timeline: 160 samples of the previous frame, then the current frame.
long double pastExcitation(const FrameRecord& previous, const FrameRecord& current, int t) {
    return t < kFrameSamples ? previous.excitation[t] : current.excitation[t - kFrameSamples];
}

std::span<const double> responseOf(const FrameRecord& f, int a) {
    return std::span<const double>(a < 2 ? f.impulseResponseI : f.impulseResponseII).first(L);
}

int openLoopLagOf(const FrameRecord& f, int a) { return a < 2 ? f.openLoopLagI : f.openLoopLagII; }

// ---------------------------------------------------------------------------
// Silence: nothing to predict.

TEST(AdaptiveCodebook, SilentSubframeKeepsOpenLoopLagAndZeroGain) {
    const std::uint32_t seed = test::testSeed();
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-1000.0, 1000.0);
    SpeechCoder coder(kNoInput, CoderMode::rate12_2);
    FrameRecord& cur = coder.currentFrame();
    randomImpulseResponse(rng, cur.impulseResponseI);
    randomImpulseResponse(rng, cur.impulseResponseII);
    cur.openLoopLagI = 57;
    cur.openLoopLagII = 101;
    for (double& e : cur.lpResidual) e = u(rng);
    for (int a = 0; a < kSubframes; ++a) {
        coder.searchAdaptiveCodebook(a);
        coder.computeLtpResidual(a);
        EXPECT_EQ(cur.pitchLag[a], openLoopLagOf(cur, a)) << "subframe " << a;
        EXPECT_EQ(cur.pitchGain[a], 0.0) << "subframe " << a;
        EXPECT_EQ(cur.pitchGainApplied[a], 0.0) << "subframe " << a;
        for (int n = 40 * a; n < 40 * a + L; ++n) {
            EXPECT_EQ(cur.targetSignal[n], 0.0) << "n " << n;
            EXPECT_EQ(cur.codebookTarget[n], 0.0) << "n " << n;
            EXPECT_EQ(cur.ltpResidual[n], cur.lpResidual[n]) << "n " << n;
        }
    }
}

// ---------------------------------------------------------------------------
// Constant past excitation: every candidate lag sees the same vector, so all
// seven have the same R/E = c and the search's tie and sign rules decide.

struct ConstantCase {
    double c;       // weighted speech = c * (filtered all-ones vector)
    double gp;      // expected pitch gain
    int lagOffset;  // expected lag - L0
};

class ConstantExcitation : public ::testing::TestWithParam<ConstantCase> {};

TEST_P(ConstantExcitation, GainClippingAndFirstMaximum) {
    const ConstantCase tc = GetParam();
    SpeechCoder coder(kNoInput, CoderMode::rate7_95);
    FrameRecord& prev = coder.previousFrame();
    FrameRecord& cur = coder.currentFrame();
    // All-zero LP coefficients make 1/A(z) and W(z) identities; h = unit impulse.
    cur.impulseResponseI[0] = 1.0;
    cur.openLoopLagI = 100;  // all taps of the interpolation reach into the past
    prev.excitation.fill(1.0);
    for (int n = 0; n < L; ++n) cur.weightedSpeech[n] = tc.c;
    coder.searchAdaptiveCodebook(0);
    EXPECT_EQ(cur.pitchLag[0], 100 + tc.lagOffset);
    EXPECT_NEAR(cur.pitchGain[0], tc.gp, 1e-12);
    EXPECT_LE(cur.pitchGain[0], 1.2);
    EXPECT_GE(cur.pitchGain[0], 0.0);
    EXPECT_EQ(cur.pitchGainApplied[0], cur.pitchGain[0]);
    for (int n = 0; n < L; ++n) {
        EXPECT_NEAR(cur.adaptiveExcitation[n], cur.pitchGain[0], 1e-12) << "n " << n;
        EXPECT_NEAR(cur.codebookTarget[n], tc.c - cur.pitchGain[0], 1e-12) << "n " << n;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Gains, ConstantExcitation,
    ::testing::Values(ConstantCase{2.0, 1.2, -3},  // clipped, smallest lag on a tie
                      ConstantCase{1.3, 1.2, -3},  // just above the limit
                      ConstantCase{1.1, 1.1, -3},  // below: kept
                      ConstantCase{0.4, 0.4, -3},
                      ConstantCase{-1.0, 0.0, 0},   // all R < 0: lag stays L0, gp 0
                      ConstantCase{0.0, 0.0, 0}));  // R = 0 is not better than 0

TEST(AdaptiveCodebook, RawGainExactlyAtLimitGivesLimit) {
    SpeechCoder coder(kNoInput, CoderMode::rate7_95);
    FrameRecord& prev = coder.previousFrame();
    FrameRecord& cur = coder.currentFrame();
    cur.impulseResponseI[0] = 1.0;
    cur.openLoopLagI = 100;
    prev.excitation.fill(1.0);
    cur.weightedSpeech.fill(1.2);
    coder.searchAdaptiveCodebook(0);
    // Whatever the rounding of the raw ratio, 1.2 and above give exactly 1.2.
    EXPECT_LE(cur.pitchGain[0], 1.2);
    EXPECT_NEAR(cur.pitchGain[0], 1.2, 1e-12);
}

// ---------------------------------------------------------------------------
// A planted lag: the target is the filtered past excitation at lag T, scaled.

class PlantedLag : public ::testing::TestWithParam<int> {};

TEST_P(PlantedLag, SearchFindsLagAndGainAcrossBothRecords) {
    const int a = GetParam();
    const std::uint32_t seed = test::testSeed() + static_cast<std::uint32_t>(a);
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-3000.0, 3000.0);
    SpeechCoder coder(kNoInput, CoderMode::rate6_70);
    FrameRecord& prev = coder.previousFrame();
    FrameRecord& cur = coder.currentFrame();
    randomImpulseResponse(rng, cur.impulseResponseI);
    randomImpulseResponse(rng, cur.impulseResponseII);
    for (double& e : prev.excitation) e = u(rng);
    for (int n = 0; n < 40 * a; ++n) cur.excitation[n] = u(rng);
    for (double& e : cur.lpResidual) e = u(rng);
    const int L0 = 60;
    const int T = L0 + 2;
    cur.openLoopLagI = cur.openLoopLagII = L0;
    constexpr double kGain = 0.7;

    std::vector<long double> delayed(L);
    for (int n = 0; n < L; ++n)
        delayed[n] = pastExcitation(prev, cur, kFrameSamples + 40 * a + n - T);
    const std::vector<long double> y = convolveRef(delayed, responseOf(cur, a));
    for (int n = 0; n < L; ++n) cur.weightedSpeech[40 * a + n] = static_cast<double>(kGain * y[n]);

    coder.searchAdaptiveCodebook(a);
    EXPECT_EQ(cur.pitchLag[a], T) << "seed " << seed;
    EXPECT_NEAR(cur.pitchGain[a], kGain, 1e-9);
    long double scale = 0.0L;
    for (long double v : y) scale = std::max(scale, std::fabs(v));
    for (int n = 0; n < L; ++n) {
        EXPECT_NEAR(cur.adaptiveExcitation[40 * a + n], kGain * delayed[n], 1e-9 * 3000.0)
            << "n " << n;
        EXPECT_NEAR(cur.codebookTarget[40 * a + n], 0.0, 1e-9 * static_cast<double>(scale))
            << "n " << n;
    }
}

INSTANTIATE_TEST_SUITE_P(Subframes, PlantedLag, ::testing::Range(0, kSubframes));

// A lag shorter than the subframe repeats the vector; the search sees the LP
// residual where the delayed signal falls inside the subframe.
TEST(AdaptiveCodebook, ShortLagRepeatsTheVector) {
    const std::uint32_t seed = test::testSeed();
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-3000.0, 3000.0);
    SpeechCoder coder(kNoInput, CoderMode::rate10_2);
    FrameRecord& prev = coder.previousFrame();
    FrameRecord& cur = coder.currentFrame();
    randomImpulseResponse(rng, cur.impulseResponseI);
    for (double& e : prev.excitation) e = u(rng);
    constexpr int T = 20;
    cur.openLoopLagI = 21;  // candidates 18..24
    std::vector<long double> repeated(L);
    for (int n = 0; n < L; ++n)
        repeated[n] = n < T ? prev.excitation[kFrameSamples + n - T] : repeated[n - T];
    for (int n = 0; n < L; ++n) cur.lpResidual[n] = static_cast<double>(repeated[n]);
    const std::vector<long double> y = convolveRef(repeated, responseOf(cur, 0));
    constexpr double kGain = 0.9;
    for (int n = 0; n < L; ++n) cur.weightedSpeech[n] = static_cast<double>(kGain * y[n]);

    coder.searchAdaptiveCodebook(0);
    ASSERT_EQ(cur.pitchLag[0], T) << "seed " << seed;
    const double gp = cur.pitchGain[0];
    EXPECT_NEAR(gp, kGain, 1e-9);
    for (int n = 0; n < L; ++n)
        EXPECT_NEAR(cur.adaptiveExcitation[n], gp * repeated[n], 1e-9 * 3000.0) << "n " << n;
}

// ---------------------------------------------------------------------------
// LTP residual: the LP residual minus gp times its own past at lag T.

TEST(LtpResidual, UsesTheResidualsOwnPastAcrossTheFrameBoundary) {
    const std::uint32_t seed = test::testSeed();
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-2000.0, 2000.0);
    SpeechCoder coder(kNoInput, CoderMode::rate12_2);
    FrameRecord& prev = coder.previousFrame();
    FrameRecord& cur = coder.currentFrame();
    for (double& e : prev.lpResidual) e = u(rng);
    for (double& e : cur.lpResidual) e = u(rng);
    cur.excitation.fill(12345.0);  // must not be read
    const std::array<int, kSubframes> lags{143, 100, 60, 30};
    const std::array<double, kSubframes> gains{0.3, 1.2, 0.0, 0.85};
    for (int a = 0; a < kSubframes; ++a) {
        cur.pitchLag[a] = lags[a];
        cur.pitchGain[a] = gains[a];
        coder.computeLtpResidual(a);
        for (int n = 40 * a; n < 40 * a + L; ++n) {
            const int m = n - lags[a];
            const double past = m >= 0 ? cur.lpResidual[m] : prev.lpResidual[kFrameSamples + m];
            EXPECT_DOUBLE_EQ(cur.ltpResidual[n], cur.lpResidual[n] - gains[a] * past)
                << "subframe " << a << " n " << n;
        }
    }
}

// ---------------------------------------------------------------------------
// Real coding runs.

TEST(AdaptiveCodebook, SwitchedOffLeavesOnlyTheTarget) {
    SpeechCoder coder(test::samplePath(), CoderMode::rate12_2, {.adaptiveCodebook = false});
    int frames = 0;
    while (coder.nextFrame() == FrameStep::coded && frames < 80) {
        ++frames;
        const FrameRecord& f = coder.currentFrame();
        for (int n = 0; n < kFrameSamples; ++n) {
            ASSERT_EQ(f.adaptiveExcitation[n], 0.0) << "frame " << frames << " n " << n;
            ASSERT_EQ(f.adaptiveSynthesis[n], 0.0) << "frame " << frames << " n " << n;
            ASSERT_EQ(f.adaptiveWeightedSynthesis[n], 0.0) << "frame " << frames << " n " << n;
            ASSERT_EQ(f.zeroInputResponse[n], 0.0) << "frame " << frames << " n " << n;
            ASSERT_EQ(f.targetSignal[n], f.weightedSpeech[n]) << "frame " << frames << " n " << n;
            ASSERT_EQ(f.codebookTarget[n], f.weightedSpeech[n]) << "frame " << frames << " n " << n;
            ASSERT_EQ(f.ltpResidual[n], f.lpResidual[n]) << "frame " << frames << " n " << n;
        }
        for (int a = 0; a < kSubframes; ++a) {
            ASSERT_EQ(f.pitchGain[a], 0.0);
            ASSERT_LE(std::abs(f.pitchLag[a] - openLoopLagOf(f, a)), 3);
        }
    }
    EXPECT_EQ(frames, 80);
}

// The lag of a real run against a brute-force evaluation of R/E from the
// records, and the target bookkeeping: by linearity of the filters,
// x2 = sw - (weighted adaptive contribution including its zero-input part).
TEST(AdaptiveCodebook, RealRunMatchesBruteForceLagAndLinearity) {
    SpeechCoder coder(test::samplePath(), CoderMode::rate7_95);
    int frames = 0;
    int positiveGains = 0;
    while (coder.nextFrame() == FrameStep::coded && frames < 120) {
        ++frames;
        const FrameRecord& prev = coder.previousFrame();
        const FrameRecord& f = coder.currentFrame();
        long double scale = 1.0L;
        for (double v : f.weightedSpeech)
            scale = std::max(scale, std::fabs(static_cast<long double>(v)));
        for (int a = 0; a < kSubframes; ++a) {
            const int L0 = openLoopLagOf(f, a);
            std::vector<long double> x(f.targetSignal.begin() + 40 * a,
                                       f.targetSignal.begin() + 40 * a + L);
            int bestLag = L0;
            long double best = 0.0L;
            long double chosenValue = 0.0L;
            for (int j = L0 - 3; j <= L0 + 3; ++j) {
                std::vector<long double> delayed(L);
                for (int n = 0; n < L; ++n) {
                    const int t = kFrameSamples + 40 * a + n - j;
                    delayed[n] = t < kFrameSamples + 40 * a ? pastExcitation(prev, f, t)
                                                            : f.lpResidual[t - kFrameSamples];
                }
                const std::vector<long double> y = convolveRef(delayed, responseOf(f, a));
                long double R = 0.0L, E = 0.0L;
                for (int n = 0; n < L; ++n) {
                    R += x[n] * y[n];
                    E += y[n] * y[n];
                }
                const long double value = E != 0.0L ? R / E : 0.0L;
                if (E != 0.0L && value > best) {
                    best = value;
                    bestLag = j;
                }
                if (j == f.pitchLag[a]) chosenValue = value;
            }
            // Near-ties may fall either way between double and long double.
            if (std::fabs(best - chosenValue) > 1e-9L * std::max(1.0L, std::fabs(best))) {
                EXPECT_EQ(f.pitchLag[a], bestLag) << "frame " << frames << " subframe " << a;
            }
            EXPECT_GE(f.pitchGain[a], 0.0);
            EXPECT_LE(f.pitchGain[a], 1.2);
            positiveGains += f.pitchGain[a] > 0.0;
            for (int n = 40 * a; n < 40 * a + L; ++n) {
                const double expected = f.weightedSpeech[n] - f.adaptiveWeightedSynthesis[n];
                ASSERT_NEAR(f.codebookTarget[n], expected, 1e-9 * static_cast<double>(scale))
                    << "frame " << frames << " n " << n;
                ASSERT_DOUBLE_EQ(f.targetSignal[n], f.weightedSpeech[n] - f.zeroInputResponse[n]);
            }
        }
    }
    EXPECT_EQ(frames, 120);
    EXPECT_GT(positiveGains, 100);  // voiced speech does use the adaptive codebook
}

}  // namespace
}  // namespace zorvel
