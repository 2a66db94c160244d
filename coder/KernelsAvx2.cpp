// The coder's vector kernels with AVX2: four doubles per vector. This file
// is compiled with -mavx2 and runs only where the processor has it.
#include <immintrin.h>

#include "coder/ScreenedKernel.h"
#include "coder/VectorKernels.h"
#include "coder/VectorKernelsBody.h"

namespace zorvel {
namespace {

struct Avx2Ops {
    using V = __m256d;
    static constexpr int kLanes = 4;
    static V load(const double* p) { return _mm256_loadu_pd(p); }
    static void store(double* p, V v) { _mm256_storeu_pd(p, v); }
    static V set1(double x) { return _mm256_set1_pd(x); }
    static V add(V a, V b) { return _mm256_add_pd(a, b); }
    static V mul(V a, V b) { return _mm256_mul_pd(a, b); }
    static V abs(V a) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), a); }
    static V keepFrom(V a, int t) {
        const __m256i lane = _mm256_set_epi64x(3, 2, 1, 0);
        return _mm256_and_pd(
            a, _mm256_castsi256_pd(_mm256_cmpgt_epi64(lane, _mm256_set1_epi64x(t - 1))));
    }
    static V max(V a, V b) { return _mm256_max_pd(a, b); }
    static unsigned greater(V a, V b) {
        return static_cast<unsigned>(_mm256_movemask_pd(_mm256_cmp_pd(a, b, _CMP_GT_OQ)));
    }
};

}  // namespace

namespace screened {

bool screenableAvx2(const double* d, const double* phi, double& margin) {
    return checkRange<Avx2Ops>(d, phi, margin);
}

void searchAvx2(const Problem& p, Best& best) { Kernel<Avx2Ops>(p, best).run(); }

}  // namespace screened

namespace kernels {

void convolveAvx2(const double* x, const double* h, double* y, int count) {
    convolveWith<Avx2Ops>(x, h, y, count);
}

void correlateAvx2(const double* w, int length, int lags, double* C) {
    correlateWith<Avx2Ops>(w, length, lags, C);
}

}  // namespace kernels
}  // namespace zorvel
