// The conversion of a recording to what the coder takes: ten seconds of
// 48 kHz stereo 16-bit speech-like sound (two tones and noise, at 16-bit
// levels as libsndfile gives them) averaged, resampled to 8 kHz by libsoxr's
// very-high-quality filter, rounded and clipped. Reports how many times faster
// than real time it runs on one core.
#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "sound/Conversion.h"

namespace {

constexpr double kRate = 48000.0;
constexpr int kChannels = 2;
constexpr double kSeconds = 10.0;

std::vector<double> stereoRecording() {
    std::mt19937 rng(20261207u);
    std::uniform_real_distribution<double> noise(-0.05, 0.05);
    const auto frames = static_cast<std::size_t>(kRate * kSeconds);
    std::vector<double> interleaved(frames * kChannels);
    for (std::size_t n = 0; n < frames; ++n) {
        const double t = static_cast<double>(n) / kRate;
        const double left = 0.4 * std::sin(2.0 * std::numbers::pi * 220.0 * t) + noise(rng);
        const double right = 0.3 * std::sin(2.0 * std::numbers::pi * 1300.0 * t) + noise(rng);
        // 16-bit levels, as a 16-bit file reads.
        interleaved[kChannels * n] = std::round(left * 32768.0) / 32768.0;
        interleaved[kChannels * n + 1] = std::round(right * 32768.0) / 32768.0;
    }
    return interleaved;
}

void BM_ConvertStereo48k(benchmark::State& state) {
    static const std::vector<double> recording = stereoRecording();
    std::int64_t runs = 0;
    for (auto _ : state) {
        const zorvel::ConvertedRecording converted =
            zorvel::convertSamples(recording, kChannels, kRate);
        benchmark::DoNotOptimize(converted.bytes.data());
        ++runs;
    }
    // Seconds of recording converted per second of CPU time.
    state.counters["realtime"] =
        benchmark::Counter(static_cast<double>(runs) * kSeconds, benchmark::Counter::kIsRate);
}

BENCHMARK(BM_ConvertStereo48k)->Unit(benchmark::kMillisecond);

}  // namespace
