// The coder's vector kernels with AVX-512: eight doubles per vector. This
// file is compiled with -mavx512f and runs only where the processor has it.
#include <immintrin.h>

#include "coder/simd/KernelSetOf.h"

namespace zorvel::simd {
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
    // The 14-bit reciprocal and one Newton step: within 2^-27 of 1/b, so the
    // ratio is within 2^-26 for b of moderate size.
    static constexpr double kRatioError = 0x1p-26;
    static V ratio(V a, V b) {
        const V r0 = _mm512_maskz_rcp14_pd(0xFF, b);
        const V r1 = _mm512_mul_pd(r0, _mm512_sub_pd(_mm512_set1_pd(2.0), _mm512_mul_pd(b, r0)));
        return _mm512_mul_pd(a, r1);
    }
    static unsigned atLeast(V a, V b) { return _mm512_cmp_pd_mask(a, b, _CMP_GE_OQ); }
    static V strided(const double* base, int stride, int count) {
        const auto at = [&](int k) { return base[(k < count ? k : count - 1) * stride]; };
        return _mm512_set_pd(at(7), at(6), at(5), at(4), at(3), at(2), at(1), at(0));
    }
    static V lane(V a, int k) { return _mm512_maskz_permutexvar_pd(0xFF, _mm512_set1_epi64(k), a); }
    static double first(V a) { return _mm512_cvtsd_f64(a); }
    // rows[k] becomes column k of the 8 x 8 matrix the rows held.
    static void transpose(V (&rows)[8]) {
        V t[8], u[8];
        for (int k = 0; k < 8; k += 2) {
            t[k] = _mm512_maskz_unpacklo_pd(0xFF, rows[k], rows[k + 1]);
            t[k + 1] = _mm512_maskz_unpackhi_pd(0xFF, rows[k], rows[k + 1]);
        }
        for (int k = 0; k < 8; k += 4) {
            u[k] = _mm512_maskz_shuffle_f64x2(0xFF, t[k], t[k + 2], 0x88);
            u[k + 1] = _mm512_maskz_shuffle_f64x2(0xFF, t[k + 1], t[k + 3], 0x88);
            u[k + 2] = _mm512_maskz_shuffle_f64x2(0xFF, t[k], t[k + 2], 0xDD);
            u[k + 3] = _mm512_maskz_shuffle_f64x2(0xFF, t[k + 1], t[k + 3], 0xDD);
        }
        for (int k = 0; k < 4; ++k) {
            rows[k] = _mm512_maskz_shuffle_f64x2(0xFF, u[k], u[k + 4], 0x88);
            rows[k + 4] = _mm512_maskz_shuffle_f64x2(0xFF, u[k], u[k + 4], 0xDD);
        }
    }
    // a in the lanes up to k, b in the lanes after.
    static V upperFrom(V a, V b, int k) {
        return _mm512_mask_blend_pd(static_cast<__mmask8>(0xFFu << (k + 1)), a, b);
    }
    static V keepBelow(V a, int t) {
        const unsigned keep = t <= 0 ? 0u : t >= kLanes ? 0xFFu : (1u << t) - 1u;
        return _mm512_maskz_mov_pd(static_cast<__mmask8>(keep), a);
    }
    static V keepFrom(V a, int t) {
        return _mm512_maskz_mov_pd(static_cast<__mmask8>(0xFFu << t), a);
    }
    static V max(V a, V b) { return _mm512_maskz_max_pd(0xFF, a, b); }
    static unsigned greater(V a, V b) { return _mm512_cmp_pd_mask(a, b, _CMP_GT_OQ); }
};

}  // namespace

constinit const KernelSet kAvx512Kernels = kernelSetOf<Avx512Ops>();

}  // namespace zorvel::simd
