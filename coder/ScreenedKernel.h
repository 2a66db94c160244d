// The screened search written once over a set of vector operations `Ops`
// (see ScreenedSearch.h for the bound). Each instruction set's translation
// unit includes this file with its own Ops; everything here has internal
// linkage, so no code built for one instruction set can stand in for
// another's, and it calls nothing but Ops and compiler builtins.
//
// Ops provides: V (a vector of kLanes doubles), load, store, set1, add, mul,
// abs, max and greater (a bit mask of the lanes where a > b, false for NaN).
#pragma once

#include "coder/ScreenedSearch.h"

namespace zorvel::screened {
namespace {

constexpr double kTauSlack = 1.0 - 0x1p-30;
constexpr double kMarginScale = 0x1p-40;

constexpr double kSmallest = 0x1p-100;
constexpr double kBeyondLargest = 0x1p101;

// The range check of ScreenedSearch.h, W values at a time. In range: |v| = 0
// or 2^-100 <= |v| < 2^101; an infinity or NaN fails |v| < 2^101.
template <class Ops>
bool checkRange(const double* d, const double* phi, double& margin) {
    using V = typename Ops::V;
    constexpr int W = Ops::kLanes;
    static_assert(kPositions % W == 0);
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
    for (int n = 0; n < kPositions; n += W) check(d + n);
    // Four running maxima, so that no step waits for the one before.
    constexpr int kChains = 4;
    static_assert(kPositions * kPositions % (kChains * W) == 0);
    V largest[kChains] = {zero, zero, zero, zero};
    for (int n = 0; n < kPositions * kPositions; n += kChains * W)
        for (int k = 0; k < kChains; ++k) largest[k] = Ops::max(largest[k], check(phi + n + k * W));
    alignas(64) double lanes[kChains][W];
    for (int k = 0; k < kChains; ++k) Ops::store(lanes[k], largest[k]);
    double overall = 0.0;
    for (const auto& chain : lanes)
        for (double a : chain) overall = a > overall ? a : overall;
    margin = kMarginScale * overall;
    return outside == 0 && overall > 0.0;
}

template <class Ops>
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

    double phi(int i, int j) const { return p_.phi[i * kPositions + j]; }

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

}  // namespace
}  // namespace zorvel::screened
