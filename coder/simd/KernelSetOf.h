// Every kernel of one instruction set, gathered into its KernelSet. Each
// instruction set's translation unit includes this file once, with its own
// operations, and defines its set as a constant: no code runs to build it.
#pragma once

#include "coder/simd/Kernels.h"
#include "coder/simd/Operations.h"
#include "coder/simd/PairScanKernel.h"
#include "coder/simd/ScreenedKernel.h"
#include "coder/simd/SignalKernels.h"

namespace zorvel::simd {
namespace {

template <VectorOperations Ops>
constexpr KernelSet kernelSetOf() {
    return {&convolveWith<Ops>,          &correlateWith<Ops>,       &backwardFilterWith<Ops>,
            &signedCorrelationWith<Ops>, &lagCorrelationsWith<Ops>, &accumulateWith<Ops>,
            &screened::checkRange<Ops>,  &screened::search<Ops>,    &pairs::scan<Ops>};
}

}  // namespace
}  // namespace zorvel::simd
