// LP analysis: windows, lag window, Levinson-Durbin against a direct solve of
// the normal equations, and the stage on prepared records.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "coder/AnalyseLp.h"
#include "coder/InterpolationTable.h"
#include "coder/SpeechCoder.h"
#include "tests/TestSupport.h"

namespace zorvel {
namespace {

// Solves the normal equations sum_j a_j r[|i-j|] = -r[i], i = 1..10, by
// Gaussian elimination in long double; returns a0..a10 and E = sum_j a_j r[j].
std::array<long double, kLpCoeffs + 1> solveNormalEquations(
    const std::array<double, kLpCoeffs>& r) {
    long double m[kLpOrder][kLpOrder + 1];
    for (int i = 0; i < kLpOrder; ++i) {
        for (int j = 0; j < kLpOrder; ++j) m[i][j] = r[std::abs(i - j)];
        m[i][kLpOrder] = -static_cast<long double>(r[i + 1]);
    }
    for (int c = 0; c < kLpOrder; ++c) {
        int pivot = c;
        for (int i = c + 1; i < kLpOrder; ++i)
            if (std::fabs(m[i][c]) > std::fabs(m[pivot][c])) pivot = i;
        for (int j = 0; j <= kLpOrder; ++j) std::swap(m[c][j], m[pivot][j]);
        for (int i = 0; i < kLpOrder; ++i) {
            if (i == c) continue;
            const long double f = m[i][c] / m[c][c];
            for (int j = c; j <= kLpOrder; ++j) m[i][j] -= f * m[c][j];
        }
    }
    std::array<long double, kLpCoeffs + 1> out{};
    out[0] = 1.0L;
    long double E = r[0];
    for (int j = 1; j <= kLpOrder; ++j) {
        out[j] = m[j - 1][kLpOrder] / m[j - 1][j - 1];
        E += out[j] * r[j];
    }
    out[kLpCoeffs] = E;
    return out;
}

std::array<double, kLpCoeffs> autocorrelation(const std::vector<double>& x) {
    std::array<double, kLpCoeffs> r{};
    for (int k = 0; k < kLpCoeffs; ++k)
        for (std::size_t n = k; n < x.size(); ++n) r[k] += x[n] * x[n - k];
    return r;
}

TEST(LpWindows, Mode1EndValuesAndPeaks) {
    LpWindow w1{}, w2{};
    buildLpWindows(CoderMode::rate12_2, w1, w2);
    EXPECT_NEAR(w1[0], 0.08, 1e-15);
    EXPECT_NEAR(w1[159], 1.0, 1e-15);
    EXPECT_NEAR(w1[160], 1.0, 1e-15);
    EXPECT_NEAR(w1[239], 0.08, 1e-15);
    EXPECT_NEAR(w2[0], 0.08, 1e-15);
    EXPECT_EQ(w2[232], 1.0);
    EXPECT_NEAR(w2[231], 0.54 - 0.46 * std::cos(2 * std::numbers::pi * 231 / 463), 1e-15);
    EXPECT_NEAR(w2[239], 0.15143, 5e-6);
    for (int n = 0; n < kLpWindowSamples; ++n) ASSERT_LE(w1[n], 1.0 + 1e-15) << n;
}

TEST(LpWindows, OtherModesShareOneWindow) {
    for (int mode = 2; mode <= 8; ++mode) {
        LpWindow w1{}, w2{};
        buildLpWindows(test::modeNumbered(mode), w1, w2);
        EXPECT_EQ(w1, w2) << "mode " << mode;
        EXPECT_NEAR(w1[0], 0.08, 1e-15);
        EXPECT_EQ(w1[200], 1.0);
        EXPECT_NEAR(w1[239], 0.029633, 5e-7);
    }
}

TEST(LagWindow, WhiteNoiseCorrectionAndGaussian) {
    const auto& lambda = lagWindow();
    EXPECT_EQ(lambda[0], 1.0001);
    const double expected[] = {0.998890, 0.995569, 0.990057, 0.982392, 0.972623,
                               0.960816, 0.947047, 0.931405, 0.913989, 0.894909};
    for (int k = 1; k <= kLpOrder; ++k) EXPECT_NEAR(lambda[k], expected[k - 1], 1e-6) << "k=" << k;
}

TEST(InterpolationTable, Entries) {
    const auto t = buildInterpolationTable6();
    EXPECT_EQ(t[0], 1.0);
    EXPECT_NEAR(t[1], 0.95252, 1e-5);
    EXPECT_NEAR(t[2], 0.81868, 1e-5);
    EXPECT_NEAR(t[3], 0.62229, 1e-5);
    EXPECT_NEAR(t[59], -0.016144, 1e-6);
    EXPECT_EQ(t[60], 0.0);
    for (int i = 6; i <= 54; i += 6) EXPECT_NEAR(t[i], 0.0, 1e-15) << "i=" << i;
}

TEST(LevinsonDurbin, SilenceNeedsNoDivision) {
    const std::array<double, kLpCoeffs> r{};
    std::array<double, kLpCoeffs + 1> out;
    out.fill(99.0);
    levinsonDurbin(r, out);
    EXPECT_EQ(out[0], 1.0);
    for (int j = 1; j <= kLpOrder; ++j) EXPECT_EQ(out[j], 0.0) << j;
    EXPECT_EQ(out[kLpCoeffs], 0.0);
}

TEST(LevinsonDurbin, SolvesTheNormalEquations) {
    std::mt19937 rng(test::testSeed());
    std::normal_distribution<double> noise(0.0, 1000.0);
    for (int trial = 0; trial < 20; ++trial) {
        // A coloured signal: white noise through a two-pole resonator.
        std::vector<double> x(240);
        double y1 = 0.0, y2 = 0.0;
        for (double& v : x) {
            v = noise(rng) + 1.6 * y1 - 0.8 * y2;
            y2 = y1;
            y1 = v;
        }
        auto r = autocorrelation(x);
        r[0] *= 1.0001;
        std::array<double, kLpCoeffs + 1> out{};
        levinsonDurbin(r, out);
        const auto ref = solveNormalEquations(r);
        for (int j = 0; j <= kLpOrder; ++j)
            ASSERT_NEAR(out[j], static_cast<double>(ref[j]), 1e-9)
                << "trial " << trial << " j=" << j;
        ASSERT_NEAR(out[kLpCoeffs], static_cast<double>(ref[kLpCoeffs]), 1e-9 * r[0]) << trial;
    }
}

class AnalyseLpTest : public ::testing::TestWithParam<int> {};

TEST_P(AnalyseLpTest, MatchesWindowedAutocorrelationSolve) {
    const int mode = GetParam();
    SpeechCoder coder("/nonexistent/zorvel-input.wav", test::modeNumbered(mode));
    std::mt19937 rng(test::testSeed());
    std::normal_distribution<double> noise(0.0, 3000.0);
    for (double& v : coder.previousFrame().speech) v = std::trunc(noise(rng));
    for (double& v : coder.currentFrame().speech) v = std::trunc(noise(rng));
    coder.analyseLp();

    const FrameRecord& frame = coder.currentFrame();
    const auto check = [&](const LpWindow& w, const LpCoeffs& a, double E) {
        std::vector<double> x(kLpWindowSamples);
        for (int n = 0; n < kLpWindowSamples; ++n) {
            const double b = n < 80 ? coder.previousFrame().speech[80 + n] : frame.speech[n - 80];
            x[n] = b * w[n];
        }
        auto r = autocorrelation(x);
        double energy = r[0];
        for (int k = 0; k < kLpCoeffs; ++k) r[k] *= lagWindow()[k];
        EXPECT_DOUBLE_EQ(r[0], 1.0001 * energy);  // E0 is 1.0001 times the windowed energy
        const auto ref = solveNormalEquations(r);
        EXPECT_EQ(a[0], 1.0);
        for (int j = 1; j <= kLpOrder; ++j)
            EXPECT_NEAR(a[j], static_cast<double>(ref[j]), 1e-8) << j;
        EXPECT_NEAR(E, static_cast<double>(ref[kLpCoeffs]), 1e-9 * r[0]);
    };
    check(coder.lpWindowI(), frame.lpCoeffsI, frame.lpErrorI);
    check(coder.lpWindowII(), frame.lpCoeffsII, frame.lpErrorII);
    if (mode == 1) {
        EXPECT_NE(frame.lpCoeffsI, frame.lpCoeffsII);
    } else {
        EXPECT_EQ(frame.lpCoeffsI, frame.lpCoeffsII);
        EXPECT_EQ(frame.lpErrorI, frame.lpErrorII);
    }
}

TEST_P(AnalyseLpTest, SilenceGivesTheTrivialPredictor) {
    SpeechCoder coder("/nonexistent/zorvel-input.wav", test::modeNumbered(GetParam()));
    coder.analyseLp();
    const FrameRecord& frame = coder.currentFrame();
    for (const LpCoeffs* a : {&frame.lpCoeffsI, &frame.lpCoeffsII}) {
        EXPECT_EQ((*a)[0], 1.0);
        for (int j = 1; j <= kLpOrder; ++j) EXPECT_EQ((*a)[j], 0.0);
    }
    EXPECT_EQ(frame.lpErrorI, 0.0);
    EXPECT_EQ(frame.lpErrorII, 0.0);
}

INSTANTIATE_TEST_SUITE_P(Modes, AnalyseLpTest, ::testing::Range(1, 9));

}  // namespace
}  // namespace zorvel
