// The choice of instruction set for the loops of VectorKernels.h.
#include "coder/VectorKernels.h"

namespace zorvel::kernels {

const VectorKernels& vectorKernels() {
    static const VectorKernels chosen = []() -> VectorKernels {
#if defined(__x86_64__)
        if (__builtin_cpu_supports("avx512f"))
            return {convolveAvx512,          correlateAvx512,       backwardFilterAvx512,
                    signedCorrelationAvx512, lagCorrelationsAvx512, accumulateAvx512};
        if (__builtin_cpu_supports("avx2"))
            return {convolveAvx2,          correlateAvx2,       backwardFilterAvx2,
                    signedCorrelationAvx2, lagCorrelationsAvx2, accumulateAvx2};
#endif
        return {convolvePortable,          correlatePortable,       backwardFilterPortable,
                signedCorrelationPortable, lagCorrelationsPortable, accumulatePortable};
    }();
    return chosen;
}

}  // namespace zorvel::kernels
