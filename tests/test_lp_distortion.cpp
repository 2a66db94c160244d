// Spectral distortion between LP filters, against a spectrum of the test's
// own in long double (A(e^jw) by Horner's rule in complex numbers, on a grid
// written in hertz), and the statistics of a file.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <random>

#include "coder/LpDistortion.h"
#include "tests/TestSupport.h"

namespace zorvel {
namespace {

// 10 log10 of the LP power spectrum 1 / |A(e^j 2 pi f / 8000)|^2.
long double powerDb(const LpCoeffs& a, long double hz) {
    const long double w = 2.0L * std::numbers::pi_v<long double> * hz / 8000.0L;
    const std::complex<long double> z = std::polar(1.0L, -w);  // e^-jw
    std::complex<long double> value = 0.0L;
    for (int n = kLpOrder; n >= 0; --n) value = value * z + static_cast<long double>(a[n]);
    return -10.0L * std::log10(std::norm(value));
}

// RMS over 0, 15.625, ..., 3000 Hz.
long double referenceSd(const LpCoeffs& a, const LpCoeffs& b) {
    long double sum = 0.0L;
    int points = 0;
    for (long double hz = 0.0L; hz <= 3000.0L; hz += 15.625L, ++points) {
        const long double d = powerDb(a, hz) - powerDb(b, hz);
        sum += d * d;
    }
    EXPECT_EQ(points, kSpectralDistortionPoints);
    return std::sqrt(sum / points);
}

TEST(SpectralDistortion, EqualsTheRmsDifferenceOfLongDoubleSpectra) {
    std::mt19937 rng(test::testSeed());
    for (int trial = 0; trial < 200; ++trial) {
        LpCoeffs a{};
        LpCoeffs b{};
        test::stableCoefficients(rng, a);
        test::stableCoefficients(rng, b);
        const long double expected = referenceSd(a, b);
        const double sd = spectralDistortion(a, b);
        // Each of 193 differences of logs of sums of eleven terms.
        EXPECT_NEAR(sd, static_cast<double>(expected), 1e-11 * (1.0 + expected))
            << "trial " << trial;
        EXPECT_EQ(sd, spectralDistortion(b, a)) << "trial " << trial;
    }
}

TEST(SpectralDistortion, OfSharpResonancesAndOfAFilterWithItself) {
    // Two poles at radius 0.99, at 1000 and at 1100 Hz: peaks of about 40 dB.
    const auto resonance = [](double hz) {
        const double r = 0.99;
        LpCoeffs a{};
        a[0] = 1.0;
        a[1] = -2.0 * r * std::cos(2.0 * std::numbers::pi * hz / 8000.0);
        a[2] = r * r;
        return a;
    };
    const LpCoeffs a = resonance(1000.0);
    const LpCoeffs b = resonance(1100.0);
    const long double expected = referenceSd(a, b);
    EXPECT_GT(expected, 3.0L);  // far beyond the differences of random smooth filters
    EXPECT_NEAR(spectralDistortion(a, b), static_cast<double>(expected), 1e-10 * expected);
    EXPECT_EQ(spectralDistortion(a, a), 0.0);
}

TEST(SpectralDistortion, StatisticsCountTheOutliersOfEachKind) {
    SpectralDistortionStatistics none;
    EXPECT_EQ(none.frames(), 0);
    EXPECT_EQ(none.mean(), 0.0);
    EXPECT_EQ(none.outlierShare(), 0.0);
    EXPECT_EQ(none.largeShare(), 0.0);

    SpectralDistortionStatistics first;
    for (const double sd : {1.0, 2.0, 2.5}) first.add(sd);  // 2 dB itself is no outlier
    SpectralDistortionStatistics second;
    for (const double sd : {4.0, 4.5}) second.add(sd);  // 4 dB is of the 2-4 dB band
    first.add(second);
    EXPECT_EQ(first.frames(), 5);
    EXPECT_DOUBLE_EQ(first.mean(), 14.0 / 5.0);
    EXPECT_DOUBLE_EQ(first.outlierShare(), 2.0 / 5.0);
    EXPECT_DOUBLE_EQ(first.largeShare(), 1.0 / 5.0);
    EXPECT_EQ(first.maximum(), 4.5);
}

}  // namespace
}  // namespace zorvel
