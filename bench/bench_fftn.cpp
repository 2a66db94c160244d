// Speed of the mixed-radix FFT: the 160-point transform of the chart window
// (factors 4 2 5 4), with 1024 points (4 4 4 4 4), 1000 points (5 2 2 5 2 5)
// and the prime 157 (general butterfly) for comparison. Each iteration copies a
// fixed random input into the work arrays and transforms it, so the values
// stay the same from one iteration to the next; the copy is a few percent of
// the time.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

#include "dsp/Fftn.h"

namespace {

void Fftn(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::mt19937 rng(160u);
    std::uniform_real_distribution<double> dist(-32767.0, 32767.0);
    std::vector<double> inputRe(n), inputIm(n, 0.0);
    for (double& v : inputRe) v = dist(rng);
    std::vector<double> re(n), im(n);
    const int dims[] = {n};
    for (auto _ : state) {
        std::copy(inputRe.begin(), inputRe.end(), re.begin());
        std::copy(inputIm.begin(), inputIm.end(), im.begin());
        zorvel::fftn(1, dims, re.data(), im.data(), 1, 0.0);
        benchmark::DoNotOptimize(re.data());
        benchmark::DoNotOptimize(im.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["points"] = n;
}

BENCHMARK(Fftn)->Arg(160)->Arg(1024)->Arg(1000)->Arg(157);

}  // namespace
