// The coder's vector kernels on any processor: two doubles per vector with
// SSE2, which every x86-64 has, one elsewhere. The fallback where nothing
// faster runs, not a reference: the tests hold every set against plain loops.
#if defined(__x86_64__)
#include <emmintrin.h>
#endif

#include "coder/simd/KernelSetOf.h"

namespace zorvel::simd {
namespace {

#if defined(__x86_64__)
struct BaselineOps {
    using V = __m128d;
    static constexpr int kLanes = 2;
    static V load(const double* p) { return _mm_loadu_pd(p); }
    static void store(double* p, V v) { _mm_storeu_pd(p, v); }
    static V set1(double x) { return _mm_set1_pd(x); }
    static V add(V a, V b) { return _mm_add_pd(a, b); }
    static V mul(V a, V b) { return _mm_mul_pd(a, b); }
    static V abs(V a) { return _mm_andnot_pd(_mm_set1_pd(-0.0), a); }
    static constexpr double kRatioError = 0x1p-52;
    static V ratio(V a, V b) { return _mm_div_pd(a, b); }
    static unsigned atLeast(V a, V b) {
        return static_cast<unsigned>(_mm_movemask_pd(_mm_cmpge_pd(a, b)));
    }
    static V strided(const double* base, int stride, int count) {
        return _mm_set_pd(base[(count > 1 ? 1 : 0) * stride], base[0]);
    }
    static V lane(V a, int k) { return k == 0 ? _mm_unpacklo_pd(a, a) : _mm_unpackhi_pd(a, a); }
    static double first(V a) { return _mm_cvtsd_f64(a); }
    static V keepBelow(V a, int t) {
        const __m128i keep = _mm_set_epi64x(t > 1 ? -1 : 0, t > 0 ? -1 : 0);
        return _mm_and_pd(a, _mm_castsi128_pd(keep));
    }
    static V keepFrom(V a, int t) {  // lane 0 only while t <= 0, lane 1 while t <= 1
        const __m128i keep = _mm_set_epi64x(t <= 1 ? -1 : 0, t <= 0 ? -1 : 0);
        return _mm_and_pd(a, _mm_castsi128_pd(keep));
    }
    static V max(V a, V b) { return _mm_max_pd(a, b); }
    static unsigned greater(V a, V b) {
        return static_cast<unsigned>(_mm_movemask_pd(_mm_cmpgt_pd(a, b)));
    }
};
#else
struct BaselineOps {
    using V = double;
    static constexpr int kLanes = 1;
    static V load(const double* p) { return *p; }
    static void store(double* p, V v) { *p = v; }
    static V set1(double x) { return x; }
    static V add(V a, V b) { return a + b; }
    static V mul(V a, V b) { return a * b; }
    static V abs(V a) { return __builtin_fabs(a); }
    static constexpr double kRatioError = 0x1p-52;
    static V ratio(V a, V b) { return a / b; }
    static unsigned atLeast(V a, V b) { return a >= b ? 1u : 0u; }
    static V strided(const double* base, int, int) { return base[0]; }
    static V lane(V a, int) { return a; }
    static double first(V a) { return a; }
    static V keepBelow(V a, int t) { return t > 0 ? a : 0.0; }
    static V keepFrom(V a, int t) { return t <= 0 ? a : 0.0; }
    static V max(V a, V b) { return a > b ? a : b; }
    static unsigned greater(V a, V b) { return a > b ? 1u : 0u; }
};
#endif

}  // namespace

constinit const KernelSet kBaselineKernels = kernelSetOf<BaselineOps>();

}  // namespace zorvel::simd
