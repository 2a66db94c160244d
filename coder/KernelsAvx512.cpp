// The coder's vector kernels with AVX-512: eight doubles per vector. This
// file is compiled with -mavx512f and runs only where the processor has it.
#include <immintrin.h>

#include "coder/ScreenedKernel.h"
#include "coder/VectorKernels.h"
#include "coder/VectorKernelsBody.h"

namespace zorvel {
namespace {

struct Avx512Ops {
    using V = __m512d;
    static constexpr int kLanes = 8;
    static V load(const double* p) { return _mm512_loadu_pd(p); }
    static void store(double* p, V v) { _mm512_storeu_pd(p, v); }
    static V set1(double x) { return _mm512_set1_pd(x); }
    static V add(V a, V b) { return _mm512_add_pd(a, b); }
    static V mul(V a, V b) { return _mm512_mul_pd(a, b); }
    static V abs(V a) { return _mm512_abs_pd(a); }
    static V keepFrom(V a, int t) {
        return _mm512_maskz_mov_pd(static_cast<__mmask8>(0xFFu << t), a);
    }
    static V max(V a, V b) { return _mm512_maskz_max_pd(0xFF, a, b); }
    static unsigned greater(V a, V b) { return _mm512_cmp_pd_mask(a, b, _CMP_GT_OQ); }
};

}  // namespace

namespace screened {

bool screenableAvx512(const double* d, const double* phi, double& margin) {
    return checkRange<Avx512Ops>(d, phi, margin);
}

void searchAvx512(const Problem& p, Best& best) { Kernel<Avx512Ops>(p, best).run(); }

}  // namespace screened

namespace kernels {

void convolveAvx512(const double* x, const double* h, double* y, int count) {
    convolveWith<Avx512Ops>(x, h, y, count);
}

void correlateAvx512(const double* w, int length, int lags, double* C) {
    correlateWith<Avx512Ops>(w, length, lags, C);
}

}  // namespace kernels
}  // namespace zorvel
