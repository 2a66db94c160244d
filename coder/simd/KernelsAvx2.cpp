// The coder's vector kernels with AVX2: four doubles per vector. This file
// is compiled with -mavx2 and runs only where the processor has it.
#include <immintrin.h>

#include "coder/simd/KernelSetOf.h"

namespace zorvel::simd {
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
    static constexpr double kRatioError = 0x1p-52;
    static V ratio(V a, V b) { return _mm256_div_pd(a, b); }
    static unsigned atLeast(V a, V b) {
        return static_cast<unsigned>(_mm256_movemask_pd(_mm256_cmp_pd(a, b, _CMP_GE_OQ)));
    }
    static V strided(const double* base, int stride, int count) {
        const auto at = [&](int k) { return base[(k < count ? k : count - 1) * stride]; };
        return _mm256_set_pd(at(3), at(2), at(1), at(0));
    }
    static V lane(V a, int k) {
        const __m256i pair = _mm256_set_epi32(2 * k + 1, 2 * k, 2 * k + 1, 2 * k, 2 * k + 1, 2 * k,
                                              2 * k + 1, 2 * k);
        return _mm256_castps_pd(_mm256_permutevar8x32_ps(_mm256_castpd_ps(a), pair));
    }
    static double first(V a) { return _mm256_cvtsd_f64(a); }
    static V keepBelow(V a, int t) {
        const __m256i lane = _mm256_set_epi64x(3, 2, 1, 0);
        return _mm256_and_pd(a,
                             _mm256_castsi256_pd(_mm256_cmpgt_epi64(_mm256_set1_epi64x(t), lane)));
    }
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

constinit const KernelSet kAvx2Kernels = kernelSetOf<Avx2Ops>();

}  // namespace zorvel::simd
