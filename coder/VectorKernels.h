// Loops of the coder that run many independent sums side by side: the
// truncated convolution (40 outputs) and the open-loop correlations (160
// lags). Every output keeps its own sum in its own order; the outputs only
// share the steps of a loop, so the loop runs on the widest vectors the
// processor has. The instruction set is chosen once, as for the search.
#pragma once

namespace zorvel::kernels {

// y(i) = sum_{j=0..i} x(j) h(i-j), i = 0..count-1, each sum over increasing j.
using ConvolveFunction = void (*)(const double* x, const double* h, double* y, int count);

// C[T] = sum_{n=0..length-1} w[n] w[n-T], T = 0..lags-1, each sum over
// increasing n; w reaches back `lags` - 1 samples before w[0].
using CorrelateFunction = void (*)(const double* w, int length, int lags, double* C);

struct VectorKernels {
    ConvolveFunction convolve;
    CorrelateFunction correlate;
};

const VectorKernels& vectorKernels();  // the fastest set this processor runs

void convolvePortable(const double* x, const double* h, double* y, int count);
void correlatePortable(const double* w, int length, int lags, double* C);
#if defined(__x86_64__)
void convolveAvx2(const double* x, const double* h, double* y, int count);
void correlateAvx2(const double* w, int length, int lags, double* C);
void convolveAvx512(const double* x, const double* h, double* y, int count);
void correlateAvx512(const double* w, int length, int lags, double* C);
#endif

}  // namespace zorvel::kernels
