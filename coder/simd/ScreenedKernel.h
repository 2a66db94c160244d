// The screened search written once over the operations of Operations.h (see
// ScreenedSearch.h for the bound). Each instruction set's translation unit
// includes this file with its own Ops; everything here has internal linkage,
// so no code built for one instruction set can stand in for another's.
#pragma once

#include "coder/simd/Operations.h"
#include "coder/simd/ScreenedSearch.h"

namespace zorvel::simd::screened {
namespace {

// The range where the bound holds: every d and phi 0 or of magnitude
// 2^-100 <= |v| < 2^101. Then N (a sum of up to 4 values of d) and every
// partial sum of D (up to 16 terms of |phi|) stay below 2^106 and the
// products N^2 * bestD and bestN2 * D below 2^320; a non-zero sum of such
// values is at least 2^-152 (their spacing near 2^-100), so no product or
// quotient formed here comes near the subnormal range (2^-1022). Each step
// errs by one rounding of at most u = 2^-53 of its result.
constexpr double kSmallest = 0x1p-100;
constexpr double kBeyondLargest = 0x1p101;

// margin = 2^-40 M, M the largest |phi|. D is a sum of at most 10 terms
// (4 diagonal values and 6 doubled cross values) with sum |terms| <= 16 M.
// Summed in any order, each way of forming it lies within 9 u 16 M < 2^-45 M
// of the exact sum, and the screen's subtraction of the margin and addition
// of E(j) add two roundings of at most u (17 M) < 2^-47 M each. So the
// screen's Do - margin + E(j) lies below the literal D by at least
// margin - 2^-43 M > 0: the screen never overstates the energy.
constexpr double kMarginScale = 0x1p-40;

// tau = fl(fl(bestN2 / bestD) (1 - 2^-30)). The literal test
// fl(N2 bestD) > fl(bestN2 D) gives, for D > 0, N2 > (bestN2 / bestD) D
// (1 - 2u)(1 + u)^-1 >= (bestN2 / bestD) D (1 - 3u). The screen's right side
// fl(tau fl(low + E)) is at most (bestN2 / bestD)(1 - 2^-30)(1 + 4u) D, which
// is below that, as 2^-30 > 8u with ample room. For D <= 0 the screen's side
// is below zero and every N2 >= 0 passes. So each candidate the literal test
// takes passes the screen.
constexpr double kTauSlack = 1.0 - 0x1p-30;

// The range check of ScreenedSearch.h, W values at a time. In range: |v| = 0
// or 2^-100 <= |v| < 2^101; an infinity or NaN fails |v| < 2^101.
template <VectorOperations Ops>
bool checkRange(const double* d, const double* phi, double& margin) {
    using V = typename Ops::V;
    constexpr int W = Ops::kLanes;
    static_assert(kSubframeSamples % W == 0);
    constexpr unsigned kAll = (1u << W) - 1u;
    const V zero = Ops::set1(0.0);
    const V smallest = Ops::set1(kSmallest);
    const V beyond = Ops::set1(kBeyondLargest);
    unsigned outside = 0;
    const auto check = [&](const double* p) {
        const V a = Ops::abs(Ops::load(p));
        const unsigned belowBeyond = Ops::greater(beyond, a);
        const unsigned belowSmallest = Ops::greater(smallest, a);
        const unsigned aboveZero = Ops::greater(a, zero);
        outside |= kAll & ~(belowBeyond & (~belowSmallest | ~aboveZero));
        return a;
    };
    for (int n = 0; n < kSubframeSamples; n += W) check(d + n);
    // Four running maxima, so that no step waits for the one before.
    constexpr int kChains = 4;
    static_assert(kSubframeSamples * kSubframeSamples % (kChains * W) == 0);
    V largest[kChains] = {zero, zero, zero, zero};
    for (int n = 0; n < kSubframeSamples * kSubframeSamples; n += kChains * W)
        for (int k = 0; k < kChains; ++k) largest[k] = Ops::max(largest[k], check(phi + n + k * W));
    alignas(64) double lanes[kChains][W];
    for (int k = 0; k < kChains; ++k) Ops::store(lanes[k], largest[k]);
    double overall = 0.0;
    for (const auto& chain : lanes)
        for (double a : chain) overall = a > overall ? a : overall;
    margin = kMarginScale * overall;
    return outside == 0 && overall > 0.0;
}

template <VectorOperations Ops>
class Kernel {
  public:
    Kernel(const Problem& p, Best& best) : p_(p), best_(best) {
        for (int j = 0; j < kLastStride; ++j) E_[0][j] = p.lastE0[j];
        updateTau();
    }

    void run() {
        if (!best_.gaveUp) level<0>(0.0, 0.0, 0.0);
    }

  private:
    using V = typename Ops::V;
    static constexpr int W = Ops::kLanes;
    static_assert(kLastStride % W == 0);

    double phi(int i, int j) const { return p_.phi[i * kSubframeSamples + j]; }

    void updateTau() {
        if (best_.D <= 0.0) {
            best_.gaveUp = true;
            return;
        }
        tau_ = best_.N2 / best_.D * kTauSlack;
    }

    // cross(m) with the pulses of levels 0..l-1, summed in level order.
    double crossWithChosen(int l, int m) const {
        double sum = 0.0;
        for (int k = 0; k < l; ++k) sum += phi(chosen_[k], m);
        return sum;
    }

    // N, diagonal and cross: the literal sums of the pulses of levels 0..l-1.
    // The last two levels run in one loop nest.
    template <int l>
    void level(double N, double diagonal, double cross) {
        if (l + 2 == p_.levels) {
            lastTwoLevels(N, diagonal, cross);
            return;
        }
        if constexpr (l + 2 < kMaxLevels) {
            const int count = p_.counts[l];
            const int lastVectors = kLastStride / W;
            for (int i = 0; i < count && !best_.gaveUp; ++i) {
                const int m = p_.positions[l][i];
                chosen_[l] = m;
                const double* row = p_.twoPhiLast[l][i];
                for (int v = 0; v < lastVectors; ++v)
                    Ops::store(&E_[l + 1][v * W],
                               Ops::add(Ops::load(&E_[l][v * W]), Ops::load(row + v * W)));
                level<l + 1>(N + p_.d[l][i], diagonal + p_.diag[l][i],
                             cross + crossWithChosen(l, m));
            }
        }
    }

    void lastTwoLevels(double N, double diagonal, double cross) {
        switch (p_.counts[p_.levels - 1]) {
            case 8:
                return lastTwoLevels<(8 + W - 1) / W>(N, diagonal, cross);
            case 16:
                return lastTwoLevels<(16 + W - 1) / W>(N, diagonal, cross);
            case 20:
                return lastTwoLevels<(20 + W - 1) / W>(N, diagonal, cross);
            default:  // any other list: the padding lanes never pass
                return lastTwoLevels<kLastStride / W>(N, diagonal, cross);
        }
    }

    // Level l = levels - 2 over its list i, the last level in vectors of W
    // candidates j. The sums of the pulses up to level l are formed first,
    // in the literal order, for every i.
    template <int Vectors>
    void lastTwoLevels(double N, double diagonal, double cross) {
        const int l = p_.levels - 2;
        const int count = p_.counts[l];
        double Ni[kMaxOuterList], diagonalI[kMaxOuterList], crossI[kMaxOuterList],
            lowI[kMaxOuterList];
        for (int i = 0; i < count; ++i) {
            Ni[i] = N + p_.d[l][i];
            diagonalI[i] = diagonal + p_.diag[l][i];
            crossI[i] = cross + crossWithChosen(l, p_.positions[l][i]);
            lowI[i] = (diagonalI[i] + 2.0 * crossI[i]) - p_.margin;
        }
        const double* d = p_.d[l + 1];
        V E[Vectors];
        for (int v = 0; v < Vectors; ++v) E[v] = Ops::load(&E_[l][v * W]);
        for (int i = 0; i < count && !best_.gaveUp; ++i) {
            const double* row = p_.twoPhiLast[l][i];
            const V vN = Ops::set1(Ni[i]);
            const V low = Ops::set1(lowI[i]);
            const V tau = Ops::set1(tau_);
            unsigned lanes[Vectors];
            unsigned any = 0;
            for (int v = 0; v < Vectors; ++v) {
                const V Nc = Ops::add(vN, Ops::load(d + v * W));
                const V Ei = Ops::add(E[v], Ops::load(row + v * W));
                const V reach = Ops::mul(tau, Ops::add(low, Ei));
                lanes[v] = Ops::greater(Ops::mul(Nc, Nc), reach);
                any |= lanes[v];
            }
            if (any == 0) continue;
            chosen_[l] = p_.positions[l][i];
            for (int v = 0; v < Vectors; ++v)
                if (lanes[v] != 0) literal(v * W, lanes[v], Ni[i], diagonalI[i], crossI[i]);
        }
    }

    // The literal criterion for the last-level lanes that passed the screen,
    // in order; N, diagonal and cross hold the pulses of the outer levels.
    void literal(int first, unsigned lanes, double N, double diagonal, double cross) {
        const int l = p_.levels - 1;
        for (int k = 0; k < W && !best_.gaveUp; ++k) {
            const int j = first + k;
            if ((lanes >> k & 1u) == 0 || j >= p_.counts[l]) continue;
            const int m = p_.positions[l][j];
            const double c = crossWithChosen(l, m);
            const double Nc = N + p_.d[l][j];
            const double Dc = (diagonal + p_.diag[l][j]) + 2.0 * (cross + c);
            if (Nc * Nc * best_.D > best_.N2 * Dc) {
                best_.N2 = Nc * Nc;
                best_.D = Dc;
                chosen_[l] = m;
                for (int e = 0; e <= l; ++e) best_.positions[e] = chosen_[e];
                updateTau();
            }
        }
    }

    const Problem& p_;
    Best& best_;
    double tau_ = 0.0;
    int chosen_[kMaxLevels] = {};
    alignas(64) double E_[kMaxLevels][kLastStride];  // E_[l]: the row with levels 0..l-1 placed
};

// One run of the search over p's lists, from and into best.
template <VectorOperations Ops>
void search(const Problem& p, Best& best) {
    Kernel<Ops>(p, best).run();
}

}  // namespace
}  // namespace zorvel::simd::screened
