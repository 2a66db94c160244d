// The loops of VectorKernels.h, written once over a set of vector
// operations `Ops` (see ScreenedKernel.h; here also keepFrom(v, t): v in the
// lanes t.., +0 in the lanes before). Each instruction set's translation
// unit includes this file with its own Ops; everything here has internal
// linkage and calls nothing but Ops and compiler builtins.
#pragma once

#include <utility>

namespace zorvel::kernels {
namespace {

constexpr int kConvolutionBlocks = 40;  // the coder's convolutions: one subframe

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
template <class Ops>
void convolveWith(const double* x, const double* h, double* y, int count) {
    using V = typename Ops::V;
    constexpr int W = Ops::kLanes;
    constexpr int kLength = kConvolutionBlocks;
    static_assert(kLength % W == 0);
    constexpr int kBlocks = kLength / W;
    if (count != kLength) return convolvePlain(x, h, y, count);
    double padded[W + kLength];  // h with W zeros before it
    for (int n = 0; n < W; ++n) padded[n] = 0.0;
    for (int n = 0; n < kLength; ++n) padded[W + n] = h[n];
    const double* hp = padded + W;
    V acc[kBlocks];
    for (V& a : acc) a = Ops::set1(0.0);
    for (int j = 0; j < kLength; ++j) {
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
template <class Ops>
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

}  // namespace
}  // namespace zorvel::kernels
