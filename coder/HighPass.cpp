#include "coder/HighPass.h"

#include <cmath>
#include <complex>
#include <numbers>

#include "sound/Wave.h"

namespace zorvel {

Biquad butterworthHighPass(double cutoffHz) {
    const double k = std::tan(std::numbers::pi * cutoffHz / kSampleRate);
    const double k2 = k * k;
    const double norm = 1.0 / (1.0 + std::numbers::sqrt2 * k + k2);
    Biquad f;
    f.b0 = norm;
    f.b1 = -2.0 * norm;
    f.b2 = norm;
    f.a1 = 2.0 * (k2 - 1.0) * norm;
    f.a2 = (1.0 - std::numbers::sqrt2 * k + k2) * norm;
    return f;
}

double magnitudeAt(const Biquad& f, double hz) {
    const std::complex<double> z1 = std::polar(1.0, -2.0 * std::numbers::pi * hz / kSampleRate);
    const std::complex<double> z2 = z1 * z1;
    return std::abs((f.b0 + f.b1 * z1 + f.b2 * z2) / (1.0 + f.a1 * z1 + f.a2 * z2));
}

void HighPassFilter::filter(std::span<const double> in, std::span<double> out) {
    for (std::size_t n = 0; n < in.size(); ++n) {
        const double x = in[n];
        const double y = filter_.b0 * x + filter_.b1 * x1_ + filter_.b2 * x2_ - filter_.a1 * y1_ -
                         filter_.a2 * y2_;
        x2_ = x1_;
        x1_ = x;
        y2_ = y1_;
        y1_ = y;
        out[n] = y;
    }
}

}  // namespace zorvel
