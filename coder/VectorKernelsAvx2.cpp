// The loops of VectorKernels.h with AVX2: four registers of four running
// sums. Compiled with -mavx2; called only where the processor has it.
#include "coder/VectorKernels.h"
#include "coder/VectorKernelsBody.h"

namespace zorvel::kernels {

void convolveAvx2(const double* x, const double* h, double* y, int count) {
    convolveBlocks<16>(x, h, y, 0, count);
}

void correlateAvx2(const double* w, int length, int lags, double* C) {
    correlateBlocks<16>(w, length, 0, lags, C);
}

}  // namespace zorvel::kernels
