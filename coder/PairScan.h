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
// largest stands clear of the rest: with D > 0 and the operands in the
// normal range, the cross-multiplied test errs only for Q within a few
// units in the last place of each other. So the step first forms every
// pair's Q ~ N^2 / D (to within 2^-24). If exactly one pair lies above
// (1 - 2^-20) times the largest, the literal scan takes it, whatever it took
// before (all of that has a Q clearly below), and keeps it (all that follows
// too). Otherwise, and for operands outside the range, the step runs the
// literal test in order: it takes the first lane that beats the best as it
// stands and tests the lanes after it again. The pair taken is the literal
// one by construction.
//
// This header is shared by translation units compiled for different
// instruction sets: it holds plain data only.
#pragma once

namespace zorvel::pairs {

inline constexpr int kMaxTrackLength = 10;  // 40 positions on 4 tracks
inline constexpr int kPositions = 40;

// One step: the set's sums and cross(m), and the two tracks, track T of
// `tracks` holding the positions T, T + tracks, T + 2 tracks, ... below 40.
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

// Each instruction set has the same function: the best of one whole step.
PairBest scanPortable(const PairStep& step);
#if defined(__x86_64__)
PairBest scanAvx2(const PairStep& step);
PairBest scanAvx512(const PairStep& step);
#endif

}  // namespace zorvel::pairs
