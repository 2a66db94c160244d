// The input's high-pass: 3.01 dB down at the cut-off, flat in the band,
// nothing at DC, its time-domain filter agreeing with its response, and
// blocks filtered one after another as the whole signal.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "coder/HighPass.h"

namespace zorvel {
namespace {

double decibels(double gain) { return 20.0 * std::log10(gain); }

TEST(HighPass, ThreeDecibelsDownAtTheCutoffAndFlatAtOneKilohertz) {
    for (const double cutoff : {50.0, 80.0, 120.0, 200.0, 300.0}) {
        const Biquad f = butterworthHighPass(cutoff);
        EXPECT_NEAR(decibels(magnitudeAt(f, cutoff)), -3.0103, 1e-4) << cutoff;
        EXPECT_NEAR(magnitudeAt(f, cutoff), std::sqrt(0.5), 1e-12) << cutoff;
        EXPECT_LT(magnitudeAt(f, 0.0), 1e-12) << cutoff;
        EXPECT_NEAR(magnitudeAt(f, 4000.0), 1.0, 1e-12) << cutoff;
        // Butterworth: no peak above 0 dB anywhere.
        for (double hz = 10.0; hz < 4000.0; hz += 10.0) ASSERT_LE(magnitudeAt(f, hz), 1.0 + 1e-12);
    }
    EXPECT_NEAR(decibels(magnitudeAt(butterworthHighPass(80.0), 1000.0)), 0.0, 0.01);
    EXPECT_NEAR(decibels(magnitudeAt(butterworthHighPass(150.0), 1000.0)), 0.0, 0.01);
}

TEST(HighPass, TheFilterFollowsItsResponseAndBlocksEqualTheWhole) {
    constexpr int kLength = 16000;
    for (const double hz : {60.0, 80.0, 250.0, 1000.0}) {
        std::vector<double> x(kLength), whole(kLength), blocks(kLength);
        for (int n = 0; n < kLength; ++n) x[n] = std::sin(2 * std::numbers::pi * hz * n / 8000.0);
        HighPassFilter once(80.0);
        once.filter(x, whole);
        HighPassFilter inParts(80.0);
        for (int start = 0; start < kLength; start += 160)
            inParts.filter(std::span(x).subspan(start, 160), std::span(blocks).subspan(start, 160));
        EXPECT_EQ(whole, blocks) << hz;
        // The steady state's amplitude (sqrt 2 times the RMS over the last
        // second, whole periods of every tone here) is the response's magnitude.
        double energy = 0.0;
        for (int n = kLength / 2; n < kLength; ++n) energy += whole[n] * whole[n];
        const double amplitude = std::sqrt(2.0 * energy / (kLength / 2));
        EXPECT_NEAR(amplitude, magnitudeAt(once.coefficients(), hz), 1e-4) << hz;
    }
}

}  // namespace
}  // namespace zorvel
