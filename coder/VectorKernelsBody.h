// The loops of VectorKernels.h, written once as plain loops over blocks of
// independent outputs. Each instruction set's translation unit includes this
// file and the compiler vectorises the blocks for it; everything here has
// internal linkage, so code built for one instruction set never stands in
// for another's.
#pragma once

namespace zorvel::kernels {
namespace {

// Outputs i..i+B-1 of the convolution per pass, then halves of B for what
// is left. Per output: the terms j = 0..i that all lanes share, then the
// lane's own later terms j = i+1..i+k.
template <int B>
void convolveBlocks(const double* x, const double* h, double* y, int i, int count) {
    for (; i + B <= count; i += B) {
        double acc[B] = {};
        for (int j = 0; j <= i; ++j) {
            const double xj = x[j];
            const double* hj = h + i - j;
            for (int k = 0; k < B; ++k) acc[k] += xj * hj[k];
        }
        for (int k = 1; k < B; ++k)
            for (int j = i + 1; j <= i + k; ++j) acc[k] += x[j] * h[i + k - j];
        for (int k = 0; k < B; ++k) y[i + k] = acc[k];
    }
    if constexpr (B > 1) convolveBlocks<B / 2>(x, h, y, i, count);
}

// Lags T..T+B-1 per pass over the signal, then halves of B. Lane k holds
// lag T + B-1-k, so that the lanes read w[n-T-B+1 ..] upwards.
template <int B>
void correlateBlocks(const double* w, int length, int T, int lags, double* C) {
    for (; T + B <= lags; T += B) {
        double acc[B] = {};
        for (int n = 0; n < length; ++n) {
            const double wn = w[n];
            const double* back = w + n - T - (B - 1);
            for (int k = 0; k < B; ++k) acc[k] += wn * back[k];
        }
        for (int k = 0; k < B; ++k) C[T + B - 1 - k] = acc[k];
    }
    if constexpr (B > 1) correlateBlocks<B / 2>(w, length, T, lags, C);
}

}  // namespace
}  // namespace zorvel::kernels
