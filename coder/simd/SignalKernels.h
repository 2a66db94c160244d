// The loops of Kernels.h that run many independent sums side by side (the
// convolution, the correlations, d(n), phi, the lag candidates, the row
// addition), written once over the operations of Operations.h. Each
// instruction set's translation unit includes this file with its own Ops;
// everything here has internal linkage.
#pragma once

#include <utility>

#include "coder/Lengths.h"
#include "coder/simd/Kernels.h"
#include "coder/simd/Operations.h"

namespace zorvel::simd {
namespace {

// Each sum as a plain loop: the form for lengths the vector loop does not serve.
inline void convolvePlain(const double* x, const double* h, double* y, int count) {
    for (int i = 0; i < count; ++i) {
        double sum = 0.0;
        for (int j = 0; j <= i; ++j) sum += x[j] * h[i - j];
        y[i] = sum;
    }
}

// A 40-sample convolution in blocks of W outputs, all blocks running
// through j together: output i = bW + k sums its terms j = 0..i in order of
// j. At a given j, the blocks after j's own take a term in every lane; j's
// own block takes one in the lanes i >= j and +0 in the others, which leaves
// their sums as they are (a sum that starts from +0 is never -0).
template <VectorOperations Ops>
void convolveWith(const double* x, const double* h, double* y, int count) {
    using V = typename Ops::V;
    constexpr int W = Ops::kLanes;
    static_assert(kSubframeSamples % W == 0);
    constexpr int kBlocks = kSubframeSamples / W;
    if (count != kSubframeSamples) return convolvePlain(x, h, y, count);
    double padded[W + kSubframeSamples];  // h with W zeros before it
    for (int n = 0; n < W; ++n) padded[n] = 0.0;
    for (int n = 0; n < kSubframeSamples; ++n) padded[W + n] = h[n];
    const double* hp = padded + W;
    V acc[kBlocks];
    for (V& a : acc) a = Ops::set1(0.0);
    for (int j = 0; j < kSubframeSamples; ++j) {
        const V xj = Ops::set1(x[j]);
        const int own = j / W;
        const auto step = [&]<int... b>(std::integer_sequence<int, b...>) {
            ((b > own ? acc[b] = Ops::add(acc[b], Ops::mul(xj, Ops::load(hp + b * W - j)))
              : b == own
                  ? acc[b] = Ops::add(
                        acc[b], Ops::keepFrom(Ops::mul(xj, Ops::load(hp + b * W - j)), j - b * W))
                  : acc[b]),
             ...);
        };
        step(std::make_integer_sequence<int, kBlocks>{});
    }
    for (int b = 0; b < kBlocks; ++b) Ops::store(y + b * W, acc[b]);
}

// Lags in blocks of 4W: four vectors of running sums per pass over the
// signal. Lane k of the block starting at T holds lag T + 4W-1-k, so that
// the lanes read w[n-T-4W+1 ..] upwards; what is left runs lag by lag.
template <VectorOperations Ops>
void correlateWith(const double* w, int length, int lags, double* C) {
    using V = typename Ops::V;
    constexpr int W = Ops::kLanes;
    constexpr int kChains = 4;
    constexpr int B = kChains * W;
    int T = 0;
    for (; T + B <= lags; T += B) {
        V acc[kChains];
        for (V& a : acc) a = Ops::set1(0.0);
        for (int n = 0; n < length; ++n) {
            const V wn = Ops::set1(w[n]);
            const double* back = w + n - T - (B - 1);
            for (int q = 0; q < kChains; ++q)
                acc[q] = Ops::add(acc[q], Ops::mul(wn, Ops::load(back + q * W)));
        }
        double sums[B];
        for (int q = 0; q < kChains; ++q) Ops::store(sums + q * W, acc[q]);
        for (int k = 0; k < B; ++k) C[T + B - 1 - k] = sums[k];
    }
    for (; T < lags; ++T) {
        double sum = 0.0;
        for (int n = 0; n < length; ++n) sum += w[n] * w[n - T];
        C[T] = sum;
    }
}

// 40 values followed by W zeros, so that whole vectors read past the end.
template <int W>
void copyWithZerosAfter(const double* values, double (&padded)[kSubframeSamples + W]) {
    for (int n = 0; n < kSubframeSamples; ++n) padded[n] = values[n];
    for (int n = kSubframeSamples; n < kSubframeSamples + W; ++n) padded[n] = 0.0;
}

// d(n) = sum_{m=0..39-n} x2(n+m) h(m) for all n side by side, each sum
// over increasing m: step m adds a term in the lanes n < 40-m and +0 in
// the others.
template <VectorOperations Ops>
void backwardFilterWith(const double* x2, const double* h, double* d) {
    using V = typename Ops::V;
    constexpr int W = Ops::kLanes;
    constexpr int kBlocks = kSubframeSamples / W;
    double padded[kSubframeSamples + W];
    copyWithZerosAfter<W>(x2, padded);
    V acc[kBlocks];
    for (V& a : acc) a = Ops::set1(0.0);
    for (int m = 0; m < kSubframeSamples; ++m) {
        const V hm = Ops::set1(h[m]);
        const int live = kSubframeSamples - m;
        for (int b = 0; b * W < live; ++b) {
            const V term = Ops::mul(Ops::load(padded + b * W + m), hm);
            acc[b] =
                Ops::add(acc[b], (b + 1) * W <= live ? term : Ops::keepBelow(term, live - b * W));
        }
    }
    for (int b = 0; b < kBlocks; ++b) Ops::store(d + b * W, acc[b]);
}

// The upper triangle of a 40 x 40 row-major matrix from the lower one. With
// tile operations (eight lanes) the lower triangle goes in 8 x 8 tiles
// through the registers; otherwise value by value.
template <VectorOperations Ops>
void mirrorLowerTriangle(double* phi) {
    if constexpr (TileOperations<Ops>) {
        using V = typename Ops::V;
        static_assert(kSubframeSamples % 8 == 0);
        for (int R = 0; R < kSubframeSamples; R += 8)
            for (int C = 0; C <= R; C += 8) {
                V tile[8];
                for (int k = 0; k < 8; ++k)
                    tile[k] = Ops::load(phi + (R + k) * kSubframeSamples + C);
                V columns[8];
                for (int k = 0; k < 8; ++k) columns[k] = tile[k];
                Ops::transpose(columns);  // columns[k]: column C + k of the tile
                for (int k = 0; k < 8; ++k) {
                    if (C == R)  // a tile on the diagonal: row k keeps its lanes up to k
                        Ops::store(phi + (R + k) * kSubframeSamples + C,
                                   Ops::upperFrom(tile[k], columns[k], k));
                    else
                        Ops::store(phi + (C + k) * kSubframeSamples + R, columns[k]);
                }
            }
    } else {
        for (int r = 0; r < kSubframeSamples; ++r)
            for (int c = r + 1; c < kSubframeSamples; ++c)
                phi[r * kSubframeSamples + c] = phi[c * kSubframeSamples + r];
    }
}

// phi(i, j) s(i) s(j), i, j = 0..39, of phi(i, j) = sum_{k>=max(i,j)}
// h(k-i) h(k-j). Diagonal delta = j - i gains one term per step from the
// bottom right corner, in the order of a direct sum over k: step t adds
// h(t+delta) h(t) to every diagonal still running, and the partial sums
// after step t are row 39-t left of the main diagonal. The diagonals run
// side by side in reverse, lane k holding delta = 39-k, so that the row
// reads them upwards. The upper triangle is the mirror of the lower.
template <VectorOperations Ops>
void signedCorrelationWith(const double* h, const double* s, double* phi) {
    using V = typename Ops::V;
    constexpr int W = Ops::kLanes;
    constexpr int kBlocks = kSubframeSamples / W;
    double reversed[W + kSubframeSamples];  // W zeros, then h(39), h(38), ..., h(0)
    for (int n = 0; n < W; ++n) reversed[n] = 0.0;
    for (int n = 0; n < kSubframeSamples; ++n) reversed[W + n] = h[kSubframeSamples - 1 - n];
    const double* hr = reversed + W;
    // sums[t][k]: the sum of diagonal 39-k after step t; W zeros after each row.
    double sums[kSubframeSamples][kSubframeSamples + W];
    V acc[kBlocks];
    for (V& a : acc) a = Ops::set1(0.0);
    for (int t = 0; t < kSubframeSamples; ++t) {
        const V ht = Ops::set1(h[t]);
        for (int b = 0; b < kBlocks; ++b) {
            if ((b + 1) * W <= t) continue;  // diagonals that have ended
            const V term = Ops::mul(Ops::load(hr + b * W - t), ht);
            acc[b] = Ops::add(acc[b], b * W >= t ? term : Ops::keepFrom(term, t - b * W));
            Ops::store(sums[t] + b * W, acc[b]);
        }
        Ops::store(sums[t] + kSubframeSamples, Ops::set1(0.0));
    }
    double signs[kSubframeSamples + W];
    copyWithZerosAfter<W>(s, signs);
    for (int t = 0; t < kSubframeSamples; ++t) {
        const int r = kSubframeSamples - 1 - t;
        const V sr = Ops::set1(s[r]);
        // Columns 0..r; the lanes past r land in the upper triangle, which
        // the mirror below writes over.
        for (int c = 0; c <= r; c += W)
            Ops::store(phi + r * kSubframeSamples + c,
                       Ops::mul(Ops::mul(Ops::load(signs + c), sr), Ops::load(sums[t] + t + c)));
    }
    mirrorLowerTriangle<Ops>(phi);
}

// For lags l = 0..7, y_l = window[-l..39-l] convolved with h (40 outputs,
// each summed over increasing j as convolve sums it), R[l] = sum x(n) y_l(n)
// and E[l] = sum y_l(n)^2 over increasing n. The lags run in the lanes:
// step j of output i reads window[j-l] for all l at once from a reversed
// copy. Outputs go in blocks of W with 8/W vectors each, eight running sums
// that do not wait for each other.
template <VectorOperations Ops>
void lagCorrelationsWith(const double* window, const double* h, const double* x, double* R,
                         double* E) {
    using V = typename Ops::V;
    constexpr int W = Ops::kLanes;
    constexpr int kLags = kLagLanes;
    constexpr int G = kLags / W;  // vectors per output
    static_assert(kLags % W == 0 && kSubframeSamples % W == 0);
    // reversed[q] = window[39 - q]: step j reads lanes l at reversed[39 - j + l].
    double reversed[kSubframeSamples + kLags - 1];
    for (int q = 0; q < kSubframeSamples + kLags - 1; ++q)
        reversed[q] = window[kSubframeSamples - 1 - q];
    double y[kSubframeSamples][kLags];
    for (int i0 = 0; i0 < kSubframeSamples; i0 += W) {
        V acc[W][G];
        for (auto& output : acc)
            for (V& a : output) a = Ops::set1(0.0);
        for (int j = 0; j < i0 + W; ++j) {
            V xj[G];
            for (int g = 0; g < G; ++g)
                xj[g] = Ops::load(reversed + kSubframeSamples - 1 - j + g * W);
            for (int b = 0; b < W; ++b) {
                if (i0 + b < j) continue;
                const V hv = Ops::set1(h[i0 + b - j]);
                for (int g = 0; g < G; ++g) acc[b][g] = Ops::add(acc[b][g], Ops::mul(xj[g], hv));
            }
        }
        for (int b = 0; b < W; ++b)
            for (int g = 0; g < G; ++g) Ops::store(y[i0 + b] + g * W, acc[b][g]);
    }
    V r[G], e[G];
    for (int g = 0; g < G; ++g) r[g] = e[g] = Ops::set1(0.0);
    for (int n = 0; n < kSubframeSamples; ++n) {
        const V xn = Ops::set1(x[n]);
        for (int g = 0; g < G; ++g) {
            const V yn = Ops::load(y[n] + g * W);
            r[g] = Ops::add(r[g], Ops::mul(xn, yn));
            e[g] = Ops::add(e[g], Ops::mul(yn, yn));
        }
    }
    for (int g = 0; g < G; ++g) {
        Ops::store(R + g * W, r[g]);
        Ops::store(E + g * W, e[g]);
    }
}

template <VectorOperations Ops>
void accumulateWith(double* sum, const double* row) {
    constexpr int W = Ops::kLanes;
    static_assert(kSubframeSamples % W == 0);
    for (int k = 0; k < kSubframeSamples; k += W)
        Ops::store(sum + k, Ops::add(Ops::load(sum + k), Ops::load(row + k)));
}

}  // namespace
}  // namespace zorvel::simd
