// The pulses of one subframe as the index a decoder reads: the positions
// and signs that the mode's pulse layout allows, in exactly the layout's
// bits (35, 31, 17, 17, 14, 11, 9 and 9 for the eight modes).
//
// The layouts are coded as follows; every count comes from the layout in
// the mode table.
// - Pairwise (two pulses on each of NT interleaved tracks of P = 40 / NT
//   positions): a track's pair of pulses is one of 2 P^2 states, the
//   unordered pairs of distinct positions with their two signs (4 each) and
//   the pairs at one position with their one sign (2 each). The tracks'
//   states form one number of base 2 P^2, track 0 the most significant:
//   5 x 7 = 35 bits at 12.2 (128^5 = 2^35), 31 bits at 10.2 (200^4 < 2^31).
// - Nested (one pulse per position list): the list indices form one number
//   of mixed radix (the lists' sizes, p0 the most significant), followed by
//   one sign bit per pulse, p0's first.
// - Track pairs (two pulses in one of two track pairs): one bit for the run,
//   then the two pulses' indices in their tracks and their two sign bits.
// A sign bit is 1 for a negative pulse.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "coder/AlgebraicSearch.h"
#include "coder/CoderMode.h"
#include "coder/Lengths.h"

namespace zorvel {

// A subframe's pulses as its positions (kNoPulse for unused entries) and the
// sign of each pulse, +1 or -1.
struct CodedPulses {
    PulseVector positions{};
    std::array<int, kPulsesPerSubframe> signs{};
};

// The bits of the layout's index, computed from the layout.
int pulseCodeBits(CoderMode mode);

// The index of `pulses` in subframe a; nothing when the positions are not a
// set the layout can send (a track of the pairwise layout without exactly
// two pulses, a position outside its list, a missing pulse). `sign` gives
// the sign of a pulse at each position (+1 or -1).
std::optional<std::uint64_t> encodePulses(CoderMode mode, int a, const PulseVector& positions,
                                          std::span<const double, kSubframeSamples> sign);

// The pulses of an index of subframe a, in the layout's order (pairwise:
// track by track, the lower position first). An index of more bits than the
// layout's, or one that names no state, throws std::invalid_argument.
CodedPulses decodePulses(CoderMode mode, int a, std::uint64_t index);

}  // namespace zorvel
