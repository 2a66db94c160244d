// The coder's vector kernels: the loops that run many independent sums side
// by side (the truncated convolution, the open-loop correlations, d(n), phi,
// the lag candidates) and the two searches that screen their candidates in
// vectors (the nested pulse search, the pair steps of the pairwise search).
// Every output keeps its own sum in its own order and every search its
// literal winner, so each instruction set gives the bytes of the plain loops.
//
// Each instruction set compiles the same kernels over its own operations
// (Operations.h) into one KernelSet; Dispatch.cpp alone asks the processor
// what it runs and chooses the fastest set once.
#pragma once

#include <array>
#include <string_view>

#include "coder/simd/PairScan.h"
#include "coder/simd/ScreenedSearch.h"

namespace zorvel::simd {

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

// Whether d (40) and phi (40 x 40) lie in the range where the screen's bound
// holds (ScreenedSearch.h); sets the margin.
using ScreenableFunction = bool (*)(const double* d, const double* phi, double& margin);
// One run of the screened search over the problem's lists, from and into best.
using ScreenedSearchFunction = void (*)(const screened::Problem& p, screened::Best& best);
// The best pair of one pair step (PairScan.h).
using ScanPairsFunction = pairs::PairBest (*)(const pairs::PairStep& step);

struct KernelSet {
    ConvolveFunction convolve;
    CorrelateFunction correlate;
    BackwardFilterFunction backwardFilter;
    SignedCorrelationFunction signedCorrelation;
    LagCorrelationsFunction lagCorrelations;
    AccumulateFunction accumulate;
    ScreenableFunction screenable;
    ScreenedSearchFunction screenedSearch;
    ScanPairsFunction scanPairs;
};

// The instruction sets the kernels are built for, slowest first. The
// baseline is SSE2 (two lanes) on x86-64, which every such processor has,
// and one lane elsewhere.
enum class InstructionSet { baseline, avx2, avx512 };

inline constexpr std::array<InstructionSet, 3> kInstructionSets{
    InstructionSet::baseline, InstructionSet::avx2, InstructionSet::avx512};

std::string_view instructionSetName(InstructionSet set);

// Whether this build has the set and this processor runs it.
bool instructionSetAvailable(InstructionSet set);

// The fastest available set, chosen once; the coder runs its kernels.
InstructionSet fastestInstructionSet();

// The kernels of an available set.
const KernelSet& kernelsFor(InstructionSet set);

// The kernels of the fastest set.
const KernelSet& fastestKernels();

// Each set's kernels, defined in its own translation unit.
extern const KernelSet kBaselineKernels;
#if defined(__x86_64__)
extern const KernelSet kAvx2Kernels;
extern const KernelSet kAvx512Kernels;
#endif

}  // namespace zorvel::simd
