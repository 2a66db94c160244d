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

// d(n) = sum_{m=0..39-n} x2(n+m) h(m), n = 0..39, each sum over increasing m.
using BackwardFilterFunction = void (*)(const double* x2, const double* h, double* d);

// phi(i, j) s(i) s(j), i, j = 0..39, row-major, with phi(i, j) =
// sum_{k=max(i,j)..39} h(k-i) h(k-j) summed over increasing k.
using SignedCorrelationFunction = void (*)(const double* h, const double* s, double* phi);

// The candidates of the integer lag search, up to kLagLanes of them: for
// l = 0..7, y_l(i) = sum_{j=0..i} window[j-l] h(i-j) over increasing j,
// R[l] = sum_n x(n) y_l(n) and E[l] = sum_n y_l(n)^2 over increasing n;
// window[-7..39] must be readable.
inline constexpr int kLagLanes = 8;
using LagCorrelationsFunction = void (*)(const double* window, const double* h, const double* x,
                                         double* R, double* E);

// sum(k) += row(k), k = 0..39.
using AccumulateFunction = void (*)(double* sum, const double* row);

struct VectorKernels {
    ConvolveFunction convolve;
    CorrelateFunction correlate;
    BackwardFilterFunction backwardFilter;
    SignedCorrelationFunction signedCorrelation;
    LagCorrelationsFunction lagCorrelations;
    AccumulateFunction accumulate;
};

const VectorKernels& vectorKernels();  // the fastest set this processor runs

void convolvePortable(const double* x, const double* h, double* y, int count);
void correlatePortable(const double* w, int length, int lags, double* C);
void backwardFilterPortable(const double* x2, const double* h, double* d);
void signedCorrelationPortable(const double* h, const double* s, double* phi);
void lagCorrelationsPortable(const double* window, const double* h, const double* x, double* R,
                             double* E);
void accumulatePortable(double* sum, const double* row);
#if defined(__x86_64__)
void convolveAvx2(const double* x, const double* h, double* y, int count);
void correlateAvx2(const double* w, int length, int lags, double* C);
void backwardFilterAvx2(const double* x2, const double* h, double* d);
void signedCorrelationAvx2(const double* h, const double* s, double* phi);
void lagCorrelationsAvx2(const double* window, const double* h, const double* x, double* R,
                         double* E);
void accumulateAvx2(double* sum, const double* row);
void convolveAvx512(const double* x, const double* h, double* y, int count);
void correlateAvx512(const double* w, int length, int lags, double* C);
void backwardFilterAvx512(const double* x2, const double* h, double* d);
void signedCorrelationAvx512(const double* h, const double* s, double* phi);
void lagCorrelationsAvx512(const double* window, const double* h, const double* x, double* R,
                           double* E);
void accumulateAvx512(double* sum, const double* row);
#endif

}  // namespace zorvel::kernels
