// Coding speed: the bundled sample coded from its first to its last frame in
// each of the eight modes, with and without the adaptive codebook, and with
// each coder setting changed alone. Reports
// frames per second and how many times faster than real time (20 ms of
// speech per frame) the coder runs on one core.
#include <benchmark/benchmark.h>

#include "coder/SpeechCoder.h"

namespace {

constexpr double kFrameSeconds = 0.02;  // 160 samples at 8000 Hz

void BM_CodeSample(benchmark::State& state) {
    const zorvel::CoderMode mode = *zorvel::modeFromNumber(static_cast<int>(state.range(0)));
    const bool noAdaptive = state.range(1) != 0;
    std::int64_t frames = 0;
    for (auto _ : state) {
        zorvel::SpeechCoder coder(ZORVEL_SAMPLE, mode, {.adaptiveCodebook = !noAdaptive});
        while (coder.nextFrame() == zorvel::FrameStep::coded) {
        }
        if (coder.frameCount() == 0) {
            state.SkipWithError("the bundled sample has no frames");
            return;
        }
        frames += coder.frameCount();
        benchmark::DoNotOptimize(coder.overallSnr());
    }
    // Rates per second of CPU time: frames coded, and seconds of speech coded
    // (the factor by which the coder outruns real time).
    const auto perSecond = benchmark::Counter::kIsRate;
    state.counters["frames"] = benchmark::Counter(static_cast<double>(frames), perSecond);
    state.counters["realtime"] =
        benchmark::Counter(static_cast<double>(frames) * kFrameSeconds, perSecond);
}

BENCHMARK(BM_CodeSample)
    ->ArgNames({"mode", "noAdaptive"})
    ->ArgsProduct({{1, 2, 3, 4, 5, 6, 7, 8}, {0}})
    ->Args({3, 1})
    ->Unit(benchmark::kMillisecond);

// The same with each coder setting changed alone from the defaults.
const char* const kSettings[] = {
    "pitch-resolution=1/3", "pitch-resolution=1/6",  "gamma1=0.9",           "gamma2=0.5",
    "postfilter-num=0.6",   "postfilter-den=0.85",   "postfilter-tilt=0.4",  "enhancement=off",
    "lag-window=off",       "adaptive-codebook=off", "lp-interpolation=lsf", "high-pass=80",
    "quantisation=on",
};

void BM_CodeSampleWithSetting(benchmark::State& state) {
    const zorvel::CoderMode mode = *zorvel::modeFromNumber(static_cast<int>(state.range(0)));
    const char* const assignment = kSettings[state.range(1)];
    zorvel::CoderSettings settings;
    if (zorvel::applySetting(settings, assignment)) {
        state.SkipWithError("a setting of this benchmark is refused");
        return;
    }
    state.SetLabel(assignment);
    std::int64_t frames = 0;
    for (auto _ : state) {
        zorvel::SpeechCoder coder(ZORVEL_SAMPLE, mode, settings);
        while (coder.nextFrame() == zorvel::FrameStep::coded) {
        }
        frames += coder.frameCount();
        benchmark::DoNotOptimize(coder.overallSnr());
    }
    state.counters["realtime"] = benchmark::Counter(static_cast<double>(frames) * kFrameSeconds,
                                                    benchmark::Counter::kIsRate);
}

BENCHMARK(BM_CodeSampleWithSetting)
    ->ArgNames({"mode", "setting"})
    ->ArgsProduct({{1, 2, 3, 4, 5, 6, 7, 8}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
