// The screened search on any processor: two candidates per vector with
// SSE2, which every x86-64 has, one elsewhere.
#if defined(__x86_64__)
#include <emmintrin.h>
#endif

#include "coder/ScreenedKernel.h"

namespace zorvel::screened {
namespace {

#if defined(__x86_64__)
struct PortableOps {
    using V = __m128d;
    static constexpr int kLanes = 2;
    static V load(const double* p) { return _mm_loadu_pd(p); }
    static void store(double* p, V v) { _mm_storeu_pd(p, v); }
    static V set1(double x) { return _mm_set1_pd(x); }
    static V add(V a, V b) { return _mm_add_pd(a, b); }
    static V mul(V a, V b) { return _mm_mul_pd(a, b); }
    static V abs(V a) { return _mm_andnot_pd(_mm_set1_pd(-0.0), a); }
    static V max(V a, V b) { return _mm_max_pd(a, b); }
    static unsigned greater(V a, V b) {
        return static_cast<unsigned>(_mm_movemask_pd(_mm_cmpgt_pd(a, b)));
    }
};
#else
struct PortableOps {
    using V = double;
    static constexpr int kLanes = 1;
    static V load(const double* p) { return *p; }
    static void store(double* p, V v) { *p = v; }
    static V set1(double x) { return x; }
    static V add(V a, V b) { return a + b; }
    static V mul(V a, V b) { return a * b; }
    static V abs(V a) { return __builtin_fabs(a); }
    static V max(V a, V b) { return a > b ? a : b; }
    static unsigned greater(V a, V b) { return a > b ? 1u : 0u; }
};
#endif

}  // namespace

bool screenablePortable(const double* d, const double* phi, double& margin) {
    return checkRange<PortableOps>(d, phi, margin);
}

void searchPortable(const Problem& p, Best& best) { Kernel<PortableOps>(p, best).run(); }

}  // namespace zorvel::screened
