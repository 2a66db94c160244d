// The screened search with AVX2: four candidates per vector. This file is
// compiled with -mavx2 and runs only where the processor has it.
#include <immintrin.h>

#include "coder/ScreenedKernel.h"

namespace zorvel::screened {
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
    static V max(V a, V b) { return _mm256_max_pd(a, b); }
    static unsigned greater(V a, V b) {
        return static_cast<unsigned>(_mm256_movemask_pd(_mm256_cmp_pd(a, b, _CMP_GT_OQ)));
    }
};

}  // namespace

bool screenableAvx2(const double* d, const double* phi, double& margin) {
    return checkRange<Avx2Ops>(d, phi, margin);
}

void searchAvx2(const Problem& p, Best& best) { Kernel<Avx2Ops>(p, best).run(); }

}  // namespace zorvel::screened
