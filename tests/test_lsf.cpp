// Line spectral frequencies: the conversion both ways on random stable
// filters, against the zeros of P(z) and Q(z) found by a root finder of the
// test's own (Durand-Kerner in long double), and interpolation that keeps
// every filter minimum phase.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <vector>

#include "coder/Lsf.h"
#include "tests/TestSupport.h"

namespace zorvel {
namespace {

using Complex = std::complex<long double>;

// All roots of z^n + c[1] z^(n-1) + ... + c[n] (c[0] = 1) by Durand-Kerner.
std::vector<Complex> roots(const std::vector<long double>& c) {
    const std::size_t n = c.size() - 1;
    std::vector<Complex> z(n);
    for (std::size_t i = 0; i < n; ++i) z[i] = std::pow(Complex(0.4L, 0.9L), static_cast<int>(i));
    const auto value = [&c](Complex x) {
        Complex v = 1.0L;
        for (std::size_t k = 1; k < c.size(); ++k) v = v * x + c[k];
        return v;
    };
    for (int iteration = 0; iteration < 2000; ++iteration) {
        long double change = 0.0L;
        for (std::size_t i = 0; i < n; ++i) {
            Complex denominator = 1.0L;
            for (std::size_t j = 0; j < n; ++j)
                if (j != i) denominator *= z[i] - z[j];
            const Complex step = value(z[i]) / denominator;
            z[i] -= step;
            change = std::max(change, std::abs(step));
        }
        if (change < 1e-30L) break;
    }
    return z;
}

// The angles in (0, pi) of the zeros of A(z) + sign z^-11 A(1/z), leaving out
// the trivial zero at z = -sign.
std::vector<long double> unitCircleAngles(const LpCoeffs& a, int sign) {
    std::vector<long double> c(kLpOrder + 2);
    for (int k = 0; k <= kLpOrder + 1; ++k) {
        const long double forward = k <= kLpOrder ? a[k] : 0.0L;
        const long double backward = kLpOrder + 1 - k <= kLpOrder ? a[kLpOrder + 1 - k] : 0.0L;
        c[k] = forward + sign * backward;
    }
    std::vector<long double> angles;
    for (const Complex& z : roots(c)) {
        const long double angle = std::arg(z);
        if (angle > 1e-9L && angle < std::numbers::pi_v<long double> - 1e-9L)
            angles.push_back(angle);
    }
    std::sort(angles.begin(), angles.end());
    return angles;
}

// Minimum phase: every reflection coefficient of the step-down recursion
// lies inside (-1, 1).
bool minimumPhase(const LpCoeffs& a) {
    std::vector<long double> c(a.begin(), a.end());
    for (int m = kLpOrder; m >= 1; --m) {
        const long double k = c[m];
        if (std::fabs(k) >= 1.0L) return false;
        std::vector<long double> lower(m);
        for (int i = 0; i < m; ++i) lower[i] = (c[i] - k * c[m - i]) / (1.0L - k * k);
        c.assign(lower.begin(), lower.end());
    }
    return true;
}

TEST(LineSpectralFrequencies, OfTheFlatFilterAreEquallySpaced) {
    LpCoeffs flat{};
    flat[0] = 1.0;
    const auto w = lpToLsf(flat);
    ASSERT_TRUE(w);
    for (int i = 0; i < kLpOrder; ++i)
        EXPECT_NEAR((*w)[i], (i + 1) * std::numbers::pi / (kLpOrder + 1), 1e-14) << i;
}

TEST(LineSpectralFrequencies, RoundTripAndTheZerosOfPAndQ) {
    std::mt19937 rng(test::testSeed());
    for (int trial = 0; trial < test::loopLength(300); ++trial) {
        LpCoeffs a{};
        test::stableCoefficients(rng, a);
        ASSERT_TRUE(minimumPhase(a));
        const auto w = lpToLsf(a);
        ASSERT_TRUE(w) << trial;
        for (int i = 0; i < kLpOrder; ++i) {
            EXPECT_GT((*w)[i], i == 0 ? 0.0 : (*w)[i - 1]) << trial;
            EXPECT_LT((*w)[i], std::numbers::pi) << trial;
        }
        const std::vector<long double> p = unitCircleAngles(a, +1);
        const std::vector<long double> q = unitCircleAngles(a, -1);
        ASSERT_EQ(p.size(), 5u) << trial;
        ASSERT_EQ(q.size(), 5u) << trial;
        for (int i = 0; i < 5; ++i) {
            EXPECT_NEAR((*w)[2 * i], static_cast<double>(p[i]), 1e-10) << trial;
            EXPECT_NEAR((*w)[2 * i + 1], static_cast<double>(q[i]), 1e-10) << trial;
        }
        const LpCoeffs back = lsfToLp(*w);
        for (int k = 0; k <= kLpOrder; ++k) ASSERT_NEAR(back[k], a[k], 1e-10) << trial << " " << k;
    }
}

TEST(LineSpectralFrequencies, InterpolatedSetsStayOrderedAndStable) {
    std::mt19937 rng(test::testSeed());
    for (int trial = 0; trial < test::loopLength(100); ++trial) {
        LpCoeffs a{}, b{};
        test::stableCoefficients(rng, a);
        test::stableCoefficients(rng, b);
        const auto wa = lpToLsf(a);
        const auto wb = lpToLsf(b);
        ASSERT_TRUE(wa && wb);
        for (const double t : {0.0, 0.25, 0.5, 0.75, 1.0}) {
            const LineSpectralFrequencies w = interpolateLsf(*wa, *wb, t);
            for (int i = 1; i < kLpOrder; ++i) ASSERT_GT(w[i], w[i - 1]);
            const LpCoeffs c = lsfToLp(w);
            EXPECT_TRUE(minimumPhase(c)) << trial << " t=" << t;
            EXPECT_EQ(c[0], 1.0);
        }
    }
}

TEST(LineSpectralFrequencies, AFilterThatIsNotMinimumPhaseHasNone) {
    LpCoeffs a{};
    a[0] = 1.0;
    a[1] = -2.5;  // a zero at z = 2.5... outside the unit circle
    a[2] = 1.0;
    EXPECT_FALSE(minimumPhase(a));
    EXPECT_FALSE(lpToLsf(a).has_value());
}

}  // namespace
}  // namespace zorvel
