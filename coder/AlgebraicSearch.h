// Pulse-position search of the algebraic codebook: for one subframe, the
// positions m0..m(K-1) that maximise
//     Q = (sum_k d(mk))^2 / (sum_k phi(mk, mk) + 2 sum_{k<l} phi(mk, ml))
// over the pulse layout of the coder mode, where d is the backward-filtered
// target and phi the impulse-response correlation matrix, both already
// multiplied by the pulse signs. Candidates are taken in the layout's order
// and one replaces the best only when its Q is strictly greater; the best
// starts at Q = 0, so a candidate with Q <= 0 is never chosen.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "coder/CoderMode.h"
#include "coder/Frame.h"

namespace zorvel {

using PulseVector = std::array<std::int32_t, kPulsesPerSubframe>;  // kNoPulse = none
using SubframeVector = std::span<const double, kSubframeSamples>;
using CorrelationMatrix = std::span<const double, kSubframeSamples * kSubframeSamples>;

// The starting positions of the two step-5 track pairs searched in modes 7
// and 8 in subframe a: pair r takes p0 from track startTable[a][r] and p1
// from track startTable[a][r + 2].
inline constexpr std::array<std::array<int, 4>, kSubframes> startTable{{
    {0, 1, 2, 3},
    {0, 2, 3, 4},
    {0, 1, 2, 4},
    {0, 1, 3, 4},
}};

// The chosen positions of `mode` in subframe a (0..3), in pulse order;
// entries without a pulse are kNoPulse. phi is row-major (row i = positions
// 40i..40i+39). b, the sign selector, fixes the track maxima of modes 1, 2.
PulseVector searchPulsePositions(CoderMode mode, int a, SubframeVector d, CorrelationMatrix phi,
                                 SubframeVector b);

}  // namespace zorvel
