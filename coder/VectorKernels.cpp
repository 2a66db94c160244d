// The portable loops of VectorKernels.h and the choice of instruction set.
#include "coder/VectorKernels.h"

#include "coder/VectorKernelsBody.h"

namespace zorvel::kernels {

// Eight outputs per pass: four SSE2 registers of running sums.
void convolvePortable(const double* x, const double* h, double* y, int count) {
    convolveBlocks<8>(x, h, y, 0, count);
}

void correlatePortable(const double* w, int length, int lags, double* C) {
    correlateBlocks<8>(w, length, 0, lags, C);
}

const VectorKernels& vectorKernels() {
    static const VectorKernels chosen = []() -> VectorKernels {
#if defined(__x86_64__)
        if (__builtin_cpu_supports("avx512f")) return {convolveAvx512, correlateAvx512};
        if (__builtin_cpu_supports("avx2")) return {convolveAvx2, correlateAvx2};
#endif
        return {convolvePortable, correlatePortable};
    }();
    return chosen;
}

}  // namespace zorvel::kernels
