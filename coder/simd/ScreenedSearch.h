// The screened form of the nested pulse search (modes 3 to 8): the same
// candidates in the same order as the literal search, the same winner, but
// most candidates are rejected by a vector screen before the literal
// criterion is ever evaluated.
//
// For every node of the outer levels (p0, p1, ... but the last) the screen
// holds a row E(j) over the last list: phi(mj, mj) plus 2 phi(mk, mj) for
// every pulse k already placed, built one row addition per level. With Do the
// energy of the outer pulses, a candidate j has the energy
//     D ~ Do + E(j)
// and N = N_outer + d(j) exactly as the literal search forms it. The literal
// test N^2 * bestD > bestN2 * D is then bounded from the outside by
//     N^2 > tau * (Do - margin + E(j)),   tau = (bestN2 / bestD) (1 - 2^-30),
// where margin is 2^-40 of the largest |phi|: every rounding difference
// between the two ways of summing D is far below margin / 2 and the factor
// of tau covers the roundings of the products. A candidate the literal test
// would take therefore always passes the screen; the lanes that pass go, in
// enumeration order, to the literal test itself. The winner is the literal
// one by construction.
//
// The bound needs finite values of moderate size (no overflow, no result
// below the normal range) and a best energy above zero; a search that does
// not meet this is reported, and the caller runs the literal search instead.
//
// This header is shared by translation units compiled for different
// instruction sets: it holds plain data only.
#pragma once

#include "coder/Lengths.h"

namespace zorvel::simd::screened {

inline constexpr int kMaxLevels = 4;      // pulses of the nested layouts
inline constexpr int kMaxOuterList = 16;  // longest list of an outer level
inline constexpr int kLastStride = 24;    // longest last list (20) padded to whole vectors

struct Problem {
    int levels;              // 2..4, level 0 outermost
    int counts[kMaxLevels];  // list sizes
    int positions[kMaxLevels][kLastStride];
    const double* phi;                                 // 40 x 40, row-major, signed
    double margin;                                     // 2^-40 max |phi|
    alignas(64) double d[kMaxLevels][kLastStride];     // d at the list positions, 0 in padding
    alignas(64) double diag[kMaxLevels][kLastStride];  // phi(m, m) at the list positions
    alignas(64) double lastE0[kLastStride];  // phi(mj, mj) of the last list, +inf in padding
    // 2 phi(list_l[i], list_last[j]) for the outer levels l, 0 in padding
    alignas(64) double twoPhiLast[kMaxLevels - 1][kMaxOuterList][kLastStride];
};

// The best Q so far as in the literal search (N2 = 0, D = 1 at the start)
// and the positions that gave it.
struct Best {
    double N2;
    double D;
    int positions[kMaxLevels];
    bool gaveUp;  // the best energy dropped to zero or below: the bound no longer holds
};

}  // namespace zorvel::simd::screened
