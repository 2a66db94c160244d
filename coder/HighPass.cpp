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

void filterBlock(const Biquad& f, BiquadMemory& m, std::span<const double> in,
                 std::span<double> out) {
    for (std::size_t n = 0; n < in.size(); ++n) {
        const double x = in[n];
        const double y = f.b0 * x + f.b1 * m.x1 + f.b2 * m.x2 - f.a1 * m.y1 - f.a2 * m.y2;
        m.x2 = m.x1;
        m.x1 = x;
        m.y2 = m.y1;
        m.y1 = y;
        out[n] = y;
    }
}

}  // namespace zorvel
