// The screened search with AVX-512: eight candidates per vector. This file
// is compiled with -mavx512f and runs only where the processor has it.
#include <immintrin.h>

#include "coder/ScreenedKernel.h"

namespace zorvel::screened {
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
    static V max(V a, V b) { return _mm512_max_pd(a, b); }
    static unsigned greater(V a, V b) { return _mm512_cmp_pd_mask(a, b, _CMP_GT_OQ); }
};

}  // namespace

bool screenableAvx512(const double* d, const double* phi, double& margin) {
    return checkRange<Avx512Ops>(d, phi, margin);
}

void searchAvx512(const Problem& p, Best& best) { Kernel<Avx512Ops>(p, best).run(); }

}  // namespace zorvel::screened
