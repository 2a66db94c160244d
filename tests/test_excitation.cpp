// Excitation with pitch enhancement, and the synthesis of the subframes,
// against direct computations written in the test.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "coder/SpeechCoder.h"
#include "tests/TestSupport.h"

namespace zorvel {
namespace {

constexpr int L = kSubframeSamples;
using test::kNoInput;

struct EnhancementCase {
    int mode;
    double gp;
    double f;  // the factor the enhancement must use
};

class Enhancement : public ::testing::TestWithParam<EnhancementCase> {};

TEST_P(Enhancement, FactorAndKeptEnergy) {
    const EnhancementCase tc = GetParam();
    const std::uint32_t seed = test::testSeed();
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-500.0, 500.0);
    SpeechCoder coder(kNoInput, test::modeNumbered(tc.mode));
    FrameRecord& fr = coder.currentFrame();
    const int a = 2;
    for (int n = 40 * a; n < 40 * a + L; ++n) {
        fr.adaptiveExcitation[n] = tc.gp * u(rng);  // gp * v
        fr.algebraicExcitation[n] = u(rng);         // gc * c
    }
    fr.pitchGain[a] = tc.gp;
    fr.pitchGainApplied[a] = tc.gp;
    coder.buildExcitation(a);

    long double E1 = 0.0L, E2 = 0.0L;
    std::vector<long double> enhanced(L);
    for (int n = 0; n < L; ++n) {
        const long double un = static_cast<long double>(fr.adaptiveExcitation[40 * a + n]) +
                               fr.algebraicExcitation[40 * a + n];
        EXPECT_DOUBLE_EQ(fr.excitation[40 * a + n], static_cast<double>(un)) << "n " << n;
        enhanced[n] =
            un + static_cast<long double>(tc.f) * tc.gp * fr.adaptiveExcitation[40 * a + n];
        E1 += un * un;
        E2 += enhanced[n] * enhanced[n];
    }
    const long double g = std::sqrt(E1 / E2);
    long double kept = 0.0L;
    for (int n = 0; n < L; ++n) {
        EXPECT_NEAR(fr.enhancedExcitation[40 * a + n], static_cast<double>(g * enhanced[n]), 1e-9)
            << "n " << n << " seed " << seed;
        kept += static_cast<long double>(fr.enhancedExcitation[40 * a + n]) *
                fr.enhancedExcitation[40 * a + n];
    }
    EXPECT_NEAR(static_cast<double>(kept / E1), 1.0, 1e-12);
    // Nothing outside the subframe.
    for (int n = 0; n < kFrameSamples; ++n) {
        if (n / L != a) {
            ASSERT_EQ(fr.enhancedExcitation[n], 0.0);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Factors, Enhancement,
    ::testing::Values(EnhancementCase{1, 1.2, 0.3}, EnhancementCase{1, 0.9, 0.25},
                      EnhancementCase{1, 1.0, 0.25}, EnhancementCase{3, 0.9, 0.45},
                      EnhancementCase{3, 0.6, 0.4}, EnhancementCase{3, 0.8, 0.4},
                      EnhancementCase{7, 1.2, 0.6}, EnhancementCase{2, 0.51, 0.4}));

TEST(Enhancement, NotAppliedAtOrBelowHalfGain) {
    std::mt19937 rng(test::testSeed());
    std::uniform_real_distribution<double> u(-500.0, 500.0);
    for (double gp : {0.5, 0.3, 0.0}) {
        SpeechCoder coder(kNoInput, CoderMode::rate7_95);
        FrameRecord& fr = coder.currentFrame();
        for (int n = 0; n < L; ++n) {
            fr.adaptiveExcitation[n] = gp * u(rng);
            fr.algebraicExcitation[n] = u(rng);
        }
        fr.pitchGain[0] = gp;
        coder.buildExcitation(0);
        for (int n = 0; n < L; ++n) {
            EXPECT_EQ(fr.excitation[n], fr.adaptiveExcitation[n] + fr.algebraicExcitation[n]);
            EXPECT_EQ(fr.enhancedExcitation[n], fr.excitation[n]) << "gp " << gp << " n " << n;
        }
    }
}

// ---------------------------------------------------------------------------
// Synthesis: subframe by subframe with the record histories equals one
// direct recursion over the whole frame (set I for 0..79, set II for 80..159).

using test::stableCoefficients;

TEST(Synthesis, SubframesEqualDirectFilteringOfTheFrame) {
    const std::uint32_t seed = test::testSeed();
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-2000.0, 2000.0);
    SpeechCoder coder(kNoInput, CoderMode::rate12_2);
    FrameRecord& prev = coder.previousFrame();
    FrameRecord& cur = coder.currentFrame();
    stableCoefficients(rng, cur.lpCoeffsI);
    stableCoefficients(rng, cur.lpCoeffsII);
    for (double& v : prev.synthesizedSpeech) v = u(rng);
    for (double& v : prev.weightedSynthesizedSpeech) v = u(rng);
    for (double& v : cur.enhancedExcitation) v = u(rng);
    for (int a = 0; a < kSubframes; ++a) coder.synthesizeSubframe(a);

    // Timeline index t = 160 + n.
    std::vector<long double> s(2 * kFrameSamples), sw(2 * kFrameSamples);
    for (int n = 0; n < kFrameSamples; ++n) {
        s[n] = prev.synthesizedSpeech[n];
        sw[n] = prev.weightedSynthesizedSpeech[n];
    }
    for (int n = 0; n < kFrameSamples; ++n) {
        const LpCoeffs& a = n < 80 ? cur.lpCoeffsI : cur.lpCoeffsII;
        const int t = kFrameSamples + n;
        long double y = cur.enhancedExcitation[n];
        for (int j = 1; j <= kLpOrder; ++j) y -= a[j] * s[t - j];
        s[t] = y;
        long double w = s[t];
        for (int j = 1; j <= kLpOrder; ++j)
            w += std::pow(0.94L, j) * a[j] * s[t - j] - std::pow(0.6L, j) * a[j] * sw[t - j];
        sw[t] = w;
    }
    for (int n = 0; n < kFrameSamples; ++n) {
        const long double tol = 1e-9L * (1.0L + std::fabs(s[kFrameSamples + n]));
        EXPECT_NEAR(cur.synthesizedSpeech[n], static_cast<double>(s[kFrameSamples + n]),
                    static_cast<double>(tol))
            << "n " << n << " seed " << seed;
        EXPECT_NEAR(cur.weightedSynthesizedSpeech[n], static_cast<double>(sw[kFrameSamples + n]),
                    static_cast<double>(1e-9L * (1.0L + std::fabs(sw[kFrameSamples + n]))))
            << "n " << n;
    }
}

TEST(Synthesis, ZeroHistoryAndZeroExcitationGiveSilence) {
    std::mt19937 rng(test::testSeed());
    SpeechCoder coder(kNoInput, CoderMode::rate7_40);
    FrameRecord& cur = coder.currentFrame();
    stableCoefficients(rng, cur.lpCoeffsI);
    stableCoefficients(rng, cur.lpCoeffsII);
    for (int a = 0; a < kSubframes; ++a) coder.synthesizeSubframe(a);
    for (int n = 0; n < kFrameSamples; ++n) {
        EXPECT_EQ(cur.synthesizedSpeech[n], 0.0);
        EXPECT_EQ(cur.weightedSynthesizedSpeech[n], 0.0);
    }
}

}  // namespace
}  // namespace zorvel
