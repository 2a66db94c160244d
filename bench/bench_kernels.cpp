// The vector kernels of the coder alone, in every instruction set this
// processor runs: one 40-sample convolution, one half frame of open-loop
// correlations (80 samples, 160 lags).
#include <benchmark/benchmark.h>

#include <array>
#include <random>
#include <string>

#include "coder/simd/Kernels.h"

namespace {

using namespace zorvel::simd;

std::array<double, 320> randomSignal() {
    std::mt19937 rng(20261207u);
    std::uniform_real_distribution<double> u(-1000.0, 1000.0);
    std::array<double, 320> s{};
    for (double& v : s) v = u(rng);
    return s;
}

void BM_Convolve(benchmark::State& state) {
    const InstructionSet set = kInstructionSets[state.range(0)];
    if (!instructionSetAvailable(set))
        return state.SkipWithError("this processor cannot run the kernels");
    state.SetLabel(std::string(instructionSetName(set)));
    const KernelSet& kernels = kernelsFor(set);
    const auto x = randomSignal();
    std::array<double, 40> y{};
    for (auto _ : state) {
        kernels.convolve(x.data(), x.data() + 100, y.data(), 40);
        benchmark::DoNotOptimize(y);
    }
}

void BM_Correlate(benchmark::State& state) {
    const InstructionSet set = kInstructionSets[state.range(0)];
    if (!instructionSetAvailable(set))
        return state.SkipWithError("this processor cannot run the kernels");
    state.SetLabel(std::string(instructionSetName(set)));
    const KernelSet& kernels = kernelsFor(set);
    const auto w = randomSignal();
    std::array<double, 160> C{};
    for (auto _ : state) {
        kernels.correlate(w.data() + 160, 80, 160, C.data());
        benchmark::DoNotOptimize(C);
    }
}

BENCHMARK(BM_Convolve)->DenseRange(0, 2);
BENCHMARK(BM_Correlate)->DenseRange(0, 2);

}  // namespace
