// The pair step of PairScan.h written once over the operations of
// Operations.h. Each instruction set's translation unit includes this file
// with its own Ops; everything here has internal linkage.
#pragma once

#include "coder/simd/Operations.h"
#include "coder/simd/PairScan.h"

namespace zorvel::simd::pairs {
namespace {

// The operands that keep every product of the test and every ratio in the
// normal range: 2^-200 <= D <= 2^200 and N^2 = 0 or 2^-200 <= N^2 <= 2^200.
// Then N^2 * D' and N'^2 * D lie within 2^-400..2^400, far from underflow
// and overflow, and every operation below errs by its rounding alone.
constexpr double kLeast = 0x1p-200;
constexpr double kMost = 0x1p200;

// How far below the largest Q' a pair must lie to be decided by division.
// With u = 2^-53 and e = kRatioError <= 2^-24:
// - the literal test fl(N2b * Da) > fl(N2a * Db) orders two pairs as their
//   exact Q do whenever Qb / Qa lies outside [1 - 3u, 1 + 3u]: each side
//   carries one rounding of at most u;
// - if only the pair p has Q' above t = fl(Q'max (1 - 2^-20)), then Q'p =
//   Q'max, and any other pair q has Q'q <= t <= Q'max (1 - 2^-20)(1 + u).
//   With Q = Q' (1 +- e) on both: Qq / Qp <= (1 - 2^-20)(1 + u)(1 + e) /
//   (1 - e) < 1 - 2^-20 + 2^-22 < 1 - 3u;
// - so every comparison of p with another pair goes as the exact one: p
//   beats the best before it (whose Q is below, or Q = 0, which p beats as
//   N2p > 0), and no later pair beats p. The literal scan ends on p.
constexpr double kSeparation = 1.0 - 0x1p-20;
constexpr double kLargestRatioError = 0x1p-24;

template <VectorOperations Ops, int T>
PairBest scanWith(const PairStep& s) {
    using V = typename Ops::V;
    constexpr int W = Ops::kLanes;
    constexpr int kTrackLength = kSubframeSamples / T;
    constexpr int rows = kTrackLength;     // p
    constexpr int columns = kTrackLength;  // q
    constexpr int G = (columns + W - 1) / W;
    static_assert(kTrackLength <= kMaxTrackLength);
    static_assert(Ops::kRatioError <= kLargestRatioError);
    constexpr auto lanesOf = [](int g) { return columns - g * W < W ? columns - g * W : W; };
    // Group g of a track's values: lanes k = g W.. of base[k * stride], the
    // last value repeated in the lanes past the track.
    const auto group = [&](const double* base, int stride, int g) {
        return Ops::strided(base + g * W * stride, stride, columns - g * W);
    };
    V dQ[G], phiQQ[G], crossQ[G];
    for (int g = 0; g < G; ++g) {
        dQ[g] = group(s.d + s.trackB, T, g);
        phiQQ[g] = group(s.phi + s.trackB * (kSubframeSamples + 1), T * (kSubframeSamples + 1), g);
        crossQ[g] = group(s.cross + s.trackB, T, g);
    }

    // Every pair's N^2, D and Q ~ N^2 / D, Q +0 in the padding lanes (which
    // otherwise repeat the track's last pair).
    const V two = Ops::set1(2.0);
    const V zero = Ops::set1(0.0);
    const V least = Ops::set1(kLeast);
    V N2s[rows][G], Ds[rows][G], Qs[rows][G];
    V largest = zero;
    const V most = Ops::set1(kMost);
    constexpr unsigned kAll = (1u << W) - 1u;
    unsigned inRange = kAll;
    for (int r = 0; r < rows; ++r) {
        const int p = s.trackA + r * T;
        const V Np = Ops::set1(s.N + s.d[p]);
        const V diagonalP = Ops::set1(s.diagonal + s.phi[p * (kSubframeSamples + 1)]);
        const V crossP = Ops::set1(s.crossSum + s.cross[p]);
        const double* row = s.phi + p * kSubframeSamples + s.trackB;
        for (int g = 0; g < G; ++g) {
            const V N = Ops::add(Np, dQ[g]);
            const V diagonal = Ops::add(diagonalP, phiQQ[g]);
            const V cross = Ops::add(Ops::add(crossP, crossQ[g]), group(row, T, g));
            const V D = Ops::add(diagonal, Ops::mul(two, cross));
            const V N2 = Ops::mul(N, N);
            inRange &= Ops::atLeast(D, least) & Ops::atLeast(most, D) & Ops::atLeast(most, N2) &
                       (Ops::atLeast(N2, least) | Ops::atLeast(zero, N2));
            N2s[r][g] = N2;
            Ds[r][g] = D;
            const V Q = Ops::ratio(N2, D);
            Qs[r][g] = lanesOf(g) == W ? Q : Ops::keepBelow(Q, lanesOf(g));
            largest = Ops::max(largest, Qs[r][g]);
        }
    }
    PairBest best;
    if (inRange == kAll) {
        double lanesOfLargest[W];
        Ops::store(lanesOfLargest, largest);
        double Qmax = 0.0;
        for (double value : lanesOfLargest) Qmax = value > Qmax ? value : Qmax;
        if (Qmax == 0.0) return best;  // every N^2 = 0: no pair beats Q = 0
        const V threshold = Ops::set1(Qmax * kSeparation);
        int near = 0;
        for (int r = 0; r < rows; ++r)
            for (int g = 0; g < G; ++g) {
                const unsigned mask = Ops::greater(Qs[r][g], threshold);
                if (mask == 0) continue;
                near += __builtin_popcount(mask);
                best.row = r;
                best.column = g * W + __builtin_ctz(mask);
            }
        if (near == 1) {
            const int g = best.column / W;
            const int k = best.column % W;
            best.N2 = Ops::first(Ops::lane(N2s[best.row][g], k));
            best.D = Ops::first(Ops::lane(Ds[best.row][g], k));
            return best;
        }
        best = PairBest{};
    }

    // Near ties, or operands outside the range: the literal test in order.
    V bestD = Ops::set1(best.D);
    V bestN2 = Ops::set1(best.N2);
    for (int r = 0; r < rows; ++r)
        for (int g = 0; g < G; ++g) {
            const V N2 = N2s[r][g];
            const V D = Ds[r][g];
            unsigned candidates = (1u << lanesOf(g)) - 1u;
            // Each pass takes the first lane that beats the best as it stands
            // and tests the lanes after it again against the new best.
            for (;;) {
                const unsigned passed =
                    candidates & Ops::greater(Ops::mul(N2, bestD), Ops::mul(bestN2, D));
                if (passed == 0) break;
                const int k = __builtin_ctz(passed);
                bestN2 = Ops::lane(N2, k);
                bestD = Ops::lane(D, k);
                best.row = r;
                best.column = g * W + k;
                candidates &= ~((2u << k) - 1u);
            }
        }
    best.N2 = Ops::first(bestN2);
    best.D = Ops::first(bestD);
    return best;
}

// The step of either track count.
template <VectorOperations Ops>
PairBest scan(const PairStep& step) {
    return step.tracks == 4 ? scanWith<Ops, 4>(step) : scanWith<Ops, 5>(step);
}

}  // namespace
}  // namespace zorvel::simd::pairs
