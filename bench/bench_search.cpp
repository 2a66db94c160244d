// The pulse-position search alone, per subframe, literal and on every
// instruction set this processor runs: random targets through random weighted-synthesis-like
// responses, as the coder would present them (d and phi signed).
#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "coder/AlgebraicSearch.h"

namespace {

using namespace zorvel;

constexpr int L = kSubframeSamples;
constexpr int kSubframesInSet = 64;

struct Subframe {
    std::array<double, L> d;
    std::array<double, L * L> phi;
    std::array<double, L> b;
};

std::vector<Subframe> randomSubframes() {
    std::mt19937 rng(20261207u);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::vector<Subframe> set(kSubframesInSet);
    for (Subframe& s : set) {
        std::array<double, L> h{}, x2{}, sign{};
        h[0] = 1.0;
        for (int n = 1; n < L; ++n) h[n] = std::pow(0.85, n) * u(rng);
        for (double& v : x2) v = 1000.0 * u(rng);
        for (int n = 0; n < L; ++n) {
            double sum = 0.0;
            for (int i = n; i < L; ++i) sum += x2[i] * h[i - n];
            s.b[n] = sum;
            sign[n] = sum >= 0.0 ? 1.0 : -1.0;
            s.d[n] = sign[n] * sum;
        }
        for (int i = 0; i < L; ++i)
            for (int j = 0; j < L; ++j) {
                double sum = 0.0;
                for (int k = std::max(i, j); k < L; ++k) sum += h[k - i] * h[k - j];
                s.phi[i * L + j] = sign[i] * sign[j] * sum;
            }
    }
    return set;
}

void BM_Search(benchmark::State& state) {
    const CoderMode mode = *modeFromNumber(static_cast<int>(state.range(0)));
    // path 0: the literal search; 1..3: the instruction sets, slowest first.
    const bool literal = state.range(1) == 0;
    const simd::InstructionSet instructions =
        simd::kInstructionSets[literal ? 0 : state.range(1) - 1];
    if (!literal && !simd::instructionSetAvailable(instructions)) {
        state.SkipWithError("this processor cannot run the path");
        return;
    }
    state.SetLabel(literal ? "literal" : std::string(simd::instructionSetName(instructions)));
    static const std::vector<Subframe> set = randomSubframes();
    std::size_t k = 0;
    for (auto _ : state) {
        const Subframe& s = set[k++ % set.size()];
        benchmark::DoNotOptimize(
            literal ? searchPulsePositionsLiterally(mode, 1, s.d, s.phi, s.b)
                    : searchPulsePositions(mode, 1, s.d, s.phi, s.b, instructions));
    }
}

BENCHMARK(BM_Search)->ArgNames({"mode", "path"})->ArgsProduct({{1, 2, 3, 5, 6, 7}, {0, 1, 2, 3}});

}  // namespace
