// One pair step of the pairwise search of modes 1 and 2: every pair (p, q)
// of two tracks, p outer and q inner, scored exactly as the literal search
// scores it. For the set of pulses fixed so far, the pair has
//     N = (N_set + d(p)) + d(q)
//     D = ((diag_set + phi(p, p)) + phi(q, q))
//         + 2 (((cross_set + cross(p)) + cross(q)) + phi(p, q)),
// and it replaces the best (Q = 0 at the start) when N^2 * bestD > bestN2 * D.
// Vectors of q form these sums lane by lane with the same operations in the
// same order, so every lane holds the literal N^2 and D bit for bit.
//
// The literal scan keeps the first pair of the largest Q wherever the
// largest stands clear of the rest. So the step first forms every pair's
// Q' ~ N^2 / D (to within kRatioError, at most 2^-24, of N^2 / D; see
// PairScanKernel.h for why these two constants hold). If exactly one pair
// lies above (1 - 2^-20) times the largest Q', the literal scan takes it,
// whatever it took before (all of that has a Q clearly below), and keeps it
// (all that follows too). Otherwise, and for operands outside the range, the
// step runs the literal test in order: it takes the first lane that beats the
// best as it stands and tests the lanes after it again. The pair taken is the
// literal one by construction.
//
// This header is shared by translation units compiled for different
// instruction sets: it holds plain data only.
#pragma once

#include "coder/Lengths.h"

namespace zorvel::simd::pairs {

inline constexpr int kMinTracks = 4;
inline constexpr int kMaxTrackLength = kSubframeSamples / kMinTracks;

// One step: the set's sums and cross(m), and the two tracks, track T of
// `tracks` (4 or 5) holding the positions T, T + tracks, T + 2 tracks, ...
// of the subframe.
struct PairStep {
    const double* d;      // d(m), 40
    const double* phi;    // phi(i, j), 40 x 40, row-major
    const double* cross;  // cross(m) of the set, 40
    double N;             // N_set
    double diagonal;      // diag_set
    double crossSum;      // cross_set
    int trackA;           // p
    int trackB;           // q
    int tracks;
};

// The best of the step (N2 = 0, D = 1 at the start) and the row (index of
// p on its track) and column (of q) that gave it; row < 0 while no pair has
// Q > 0.
struct PairBest {
    double N2 = 0.0;
    double D = 1.0;
    int row = -1;
    int column = -1;
};

}  // namespace zorvel::simd::pairs
