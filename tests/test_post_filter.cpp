// Post-filter: formant post-filter and tilt compensation against a direct
// recursion over the whole frame written in the test.
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

using test::stableCoefficients;

// A(z/0.7)/A(z/0.75) over samples 160..319 of a timeline whose first 160
// samples are the history.
void formantReference(const LpCoeffs& aI, const LpCoeffs& aII, const std::vector<long double>& x,
                      std::vector<long double>& y) {
    for (int t = kFrameSamples; t < 2 * kFrameSamples; ++t) {
        const LpCoeffs& a = t - kFrameSamples < 80 ? aI : aII;
        long double v = x[t];
        for (int j = 1; j <= kLpOrder; ++j)
            v += std::pow(0.7L, j) * a[j] * x[t - j] - std::pow(0.75L, j) * a[j] * y[t - j];
        y[t] = v;
    }
}

std::vector<long double> impulseResponseRef(const LpCoeffs& a) {
    std::vector<long double> x(L + kLpOrder, 0.0L), y(L + kLpOrder, 0.0L);
    x[kLpOrder] = 1.0L;
    for (int t = kLpOrder; t < L + kLpOrder; ++t) {
        long double v = x[t];
        for (int j = 1; j <= kLpOrder; ++j)
            v += std::pow(0.7L, j) * a[j] * x[t - j] - std::pow(0.75L, j) * a[j] * y[t - j];
        y[t] = v;
    }
    return {y.begin() + kLpOrder, y.end()};
}

long double tiltMu(const std::vector<long double>& hf) {
    long double r0 = 0.0L, r1 = 0.0L;
    for (int j = 0; j < 22; ++j) r0 += hf[j] * hf[j];
    for (int j = 0; j < 21; ++j) r1 += hf[j] * hf[j + 1];
    return 0.8L * r1 / r0;
}

TEST(PostFilter, MatchesDirectFilteringAndTilt) {
    const std::uint32_t seed = test::testSeed();
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-3000.0, 3000.0);
    SpeechCoder coder(kNoInput, CoderMode::rate10_2);
    FrameRecord& prev = coder.previousFrame();
    FrameRecord& cur = coder.currentFrame();
    stableCoefficients(rng, cur.lpCoeffsI);
    stableCoefficients(rng, cur.lpCoeffsII);
    for (double& v : prev.synthesizedSpeech) v = u(rng);
    for (double& v : prev.formantPostFiltered) v = u(rng);
    for (double& v : cur.synthesizedSpeech) v = u(rng);
    for (int a = 0; a < kSubframes; ++a) coder.postFilterSubframe(a);

    std::vector<long double> x(2 * kFrameSamples), f(2 * kFrameSamples);
    for (int n = 0; n < kFrameSamples; ++n) {
        x[n] = prev.synthesizedSpeech[n];
        x[kFrameSamples + n] = cur.synthesizedSpeech[n];
        f[n] = prev.formantPostFiltered[n];
    }
    formantReference(cur.lpCoeffsI, cur.lpCoeffsII, x, f);
    for (int a = 0; a < kSubframes; ++a) {
        const LpCoeffs& lp = a < 2 ? cur.lpCoeffsI : cur.lpCoeffsII;
        const std::vector<long double> hf = impulseResponseRef(lp);
        const long double mu = tiltMu(hf);
        for (int n = 0; n < L; ++n) {
            const int i = 40 * a + n;
            const int t = kFrameSamples + i;
            EXPECT_NEAR(cur.postFilterImpulseResponse[i], static_cast<double>(hf[n]), 1e-13)
                << "subframe " << a << " n " << n;
            EXPECT_NEAR(cur.formantPostFiltered[i], static_cast<double>(f[t]), 1e-8)
                << "i " << i << " seed " << seed;
            EXPECT_NEAR(cur.postProcessedSpeech[i], static_cast<double>(f[t] - mu * f[t - 1]), 1e-8)
                << "i " << i << " seed " << seed;
        }
    }
}

// With only a1 set, h_f(1) = (0.7 - 0.75) a1 < 0 and the tilt factor comes
// out negative; it is used unchanged.
TEST(PostFilter, NegativeTiltFactorIsUsed) {
    SpeechCoder coder(kNoInput, CoderMode::rate12_2);
    FrameRecord& prev = coder.previousFrame();
    FrameRecord& cur = coder.currentFrame();
    cur.lpCoeffsI[0] = cur.lpCoeffsII[0] = 1.0;
    cur.lpCoeffsI[1] = cur.lpCoeffsII[1] = 0.9;
    prev.formantPostFiltered[kFrameSamples - 1] = 1000.0;  // f(-1)
    coder.postFilterSubframe(0);
    const double h1 = cur.postFilterImpulseResponse[1];
    EXPECT_EQ(cur.postFilterImpulseResponse[0], 1.0);
    EXPECT_NEAR(h1, (0.7 - 0.75) * 0.9, 1e-15);
    std::vector<long double> hf(L);
    for (int n = 0; n < L; ++n) hf[n] = cur.postFilterImpulseResponse[n];
    const long double mu = tiltMu(hf);
    ASSERT_LT(mu, 0.0L);
    // Zero input: f is the decay of the output history; sp(0) uses f(-1).
    const double f0 = cur.formantPostFiltered[0];
    EXPECT_NEAR(f0, -0.75 * 0.9 * 1000.0, 1e-9);
    EXPECT_NEAR(cur.postProcessedSpeech[0], static_cast<double>(f0 - mu * 1000.0L), 1e-9);
    EXPECT_GT(cur.postProcessedSpeech[0], f0);  // minus a negative mu times a positive sample
}

TEST(PostFilter, SilenceStaysSilent) {
    std::mt19937 rng(test::testSeed());
    SpeechCoder coder(kNoInput, CoderMode::rate6_70);
    FrameRecord& cur = coder.currentFrame();
    stableCoefficients(rng, cur.lpCoeffsI);
    stableCoefficients(rng, cur.lpCoeffsII);
    for (int a = 0; a < kSubframes; ++a) coder.postFilterSubframe(a);
    for (int n = 0; n < kFrameSamples; ++n) {
        EXPECT_EQ(cur.formantPostFiltered[n], 0.0);
        EXPECT_EQ(cur.postProcessedSpeech[n], 0.0);
    }
    for (int a = 0; a < kSubframes; ++a) EXPECT_EQ(cur.postFilterImpulseResponse[40 * a], 1.0);
}

}  // namespace
}  // namespace zorvel
