#include "coder/LpDistortion.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "sound/Wave.h"

namespace zorvel {
namespace {

constexpr int kGridDivisions = 256;  // w_k = pi k / 256

// The grid's last point is the top of the band: 192 steps of 4000 / 256 Hz.
static_assert((kSpectralDistortionPoints - 1) * (kSampleRate / 2) ==
              kSpectralDistortionTopHz * kGridDivisions);

// cos(n w_k) and sin(n w_k), n = 0..10, for every point of the grid.
struct GridTerms {
    std::array<std::array<double, kLpCoeffs>, kSpectralDistortionPoints> cosine;
    std::array<std::array<double, kLpCoeffs>, kSpectralDistortionPoints> sine;
};

const GridTerms& gridTerms() {
    static const GridTerms terms = [] {
        GridTerms t{};
        for (int k = 0; k < kSpectralDistortionPoints; ++k) {
            const double w = std::numbers::pi * k / kGridDivisions;
            for (int n = 0; n < kLpCoeffs; ++n) {
                t.cosine[k][n] = std::cos(n * w);
                t.sine[k][n] = std::sin(n * w);
            }
        }
        return t;
    }();
    return terms;
}

// |A(e^jw_k)|^2.
double squaredMagnitude(const LpCoeffs& a, int k) {
    const GridTerms& t = gridTerms();
    double re = 0.0;
    double im = 0.0;
    for (int n = 0; n < kLpCoeffs; ++n) {
        re += a[n] * t.cosine[k][n];
        im -= a[n] * t.sine[k][n];
    }
    return re * re + im * im;
}

}  // namespace

double spectralDistortion(const LpCoeffs& a, const LpCoeffs& b) {
    double sum = 0.0;
    for (int k = 0; k < kSpectralDistortionPoints; ++k) {
        // 10 log10 P_a - 10 log10 P_b with P = 1 / |A|^2.
        // (a difference of two logarithms: SD(a, b) is SD(b, a) exactly).
        const double d =
            10.0 * (std::log10(squaredMagnitude(b, k)) - std::log10(squaredMagnitude(a, k)));
        sum += d * d;
    }
    return std::sqrt(sum / kSpectralDistortionPoints);
}

void SpectralDistortionStatistics::add(double sd) {
    ++frames_;
    sum_ += sd;
    maximum_ = std::max(maximum_, sd);
    if (sd > kLargeOutlierDb)
        ++large_;
    else if (sd > kOutlierDb)
        ++outliers_;
}

void SpectralDistortionStatistics::add(const SpectralDistortionStatistics& other) {
    frames_ += other.frames_;
    outliers_ += other.outliers_;
    large_ += other.large_;
    sum_ += other.sum_;
    maximum_ = std::max(maximum_, other.maximum_);
}

double SpectralDistortionStatistics::mean() const {
    return frames_ > 0 ? sum_ / static_cast<double>(frames_) : 0.0;
}

double SpectralDistortionStatistics::outlierShare() const {
    return frames_ > 0 ? static_cast<double>(outliers_) / static_cast<double>(frames_) : 0.0;
}

double SpectralDistortionStatistics::largeShare() const {
    return frames_ > 0 ? static_cast<double>(large_) / static_cast<double>(frames_) : 0.0;
}

}  // namespace zorvel
