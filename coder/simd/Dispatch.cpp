// The choice of instruction set: the one place that asks the processor what
// it runs.
#include <stdexcept>
#include <string>

#include "coder/simd/Kernels.h"

namespace zorvel::simd {

std::string_view instructionSetName(InstructionSet set) {
    switch (set) {
        case InstructionSet::baseline:
            return "baseline";
        case InstructionSet::avx2:
            return "avx2";
        case InstructionSet::avx512:
            return "avx512";
    }
    return "?";
}

bool instructionSetAvailable(InstructionSet set) {
    switch (set) {
        case InstructionSet::baseline:
            return true;
#if defined(__x86_64__)
        case InstructionSet::avx2:
            return __builtin_cpu_supports("avx2");
        case InstructionSet::avx512:
            return __builtin_cpu_supports("avx512f");
#endif
        default:
            return false;
    }
}

InstructionSet fastestInstructionSet() {
    static const InstructionSet fastest = [] {
        for (InstructionSet set : {InstructionSet::avx512, InstructionSet::avx2})
            if (instructionSetAvailable(set)) return set;
        return InstructionSet::baseline;
    }();
    return fastest;
}

const KernelSet& kernelsFor(InstructionSet set) {
    if (!instructionSetAvailable(set))
        throw std::invalid_argument("this processor cannot run the " +
                                    std::string(instructionSetName(set)) + " kernels");
    switch (set) {
#if defined(__x86_64__)
        case InstructionSet::avx2:
            return kAvx2Kernels;
        case InstructionSet::avx512:
            return kAvx512Kernels;
#endif
        default:
            return kBaselineKernels;
    }
}

const KernelSet& fastestKernels() {
    static const KernelSet& fastest = kernelsFor(fastestInstructionSet());
    return fastest;
}

}  // namespace zorvel::simd
