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
#include "coder/simd/Kernels.h"

namespace zorvel {

using PulseVector = std::array<std::int32_t, kPulsesPerSubframe>;  // kNoPulse = none
using SubframeVector = std::span<const double, kSubframeSamples>;
using CorrelationMatrix = std::span<const double, kSubframeSamples * kSubframeSamples>;

// The chosen positions of `mode` in subframe a (0..3), in pulse order, by
// the mode's pulse layout (CoderMode.h); entries without a pulse are
// kNoPulse. phi is row-major (row i = positions 40i..40i+39). b, the sign
// selector, fixes the track maxima of the pairwise search. The coder's own
// search runs the vector kernels of the fastest instruction set.
PulseVector searchPulsePositions(CoderMode mode, int a, SubframeVector d, CorrelationMatrix phi,
                                 SubframeVector b);

// The same search on the kernels of an available instruction set (the
// screened nested search, the vector pair steps). Every set chooses the
// positions of the literal search.
PulseVector searchPulsePositions(CoderMode mode, int a, SubframeVector d, CorrelationMatrix phi,
                                 SubframeVector b, simd::InstructionSet set);

// The literal enumeration in plain loops: the reference of the others.
PulseVector searchPulsePositionsLiterally(CoderMode mode, int a, SubframeVector d,
                                          CorrelationMatrix phi, SubframeVector b);

}  // namespace zorvel
