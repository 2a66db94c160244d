// The loops of VectorKernels.h with AVX-512: registers of eight running sums.
// Compiled with -mavx512f; called only where the processor has it.
#include "coder/VectorKernels.h"
#include "coder/VectorKernelsBody.h"

namespace zorvel::kernels {

void convolveAvx512(const double* x, const double* h, double* y, int count) {
    convolveBlocks<32>(x, h, y, 0, count);
}

void correlateAvx512(const double* w, int length, int lags, double* C) {
    correlateBlocks<32>(w, length, 0, lags, C);
}

}  // namespace zorvel::kernels
