// The 1/6-sample interpolation filter of the fractional pitch search, built
// once by the coder's constructor.
#pragma once

#include <array>

namespace zorvel {

inline constexpr int kInterpolationTaps = 61;  // 1/6-sample resolution, 10 samples each side

// Hamming-windowed sinc at steps of 1/6 sample: b[0] = 1, b[60] = 0.
std::array<double, kInterpolationTaps> buildInterpolationTable6();

}  // namespace zorvel
