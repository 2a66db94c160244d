// The interpolation table: b[i] = w(i) sin(pi i/6) / (pi i/6), with w a
// Hamming window over 60 steps of 1/6 sample.
#include "coder/InterpolationTable.h"

#include <cmath>
#include <numbers>

namespace zorvel {

std::array<double, kInterpolationTaps> buildInterpolationTable6() {
    constexpr double pi = std::numbers::pi;
    std::array<double, kInterpolationTaps> table{};
    table[0] = 1.0;
    for (int i = 1; i < kInterpolationTaps - 1; ++i) {
        const double hamming = 0.54 + 0.46 * std::cos(2.0 * pi * i / 60.0);
        const double x = pi * i / 6.0;
        table[i] = hamming * std::sin(x) / x;
    }
    table[kInterpolationTaps - 1] = 0.0;
    return table;
}

}  // namespace zorvel
