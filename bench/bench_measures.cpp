// The cost of the spectral distances (coder/SpectralMeasures.h) beside the
// coding they measure. Over the bundled sample in modes 12.2 and 4.75:
//   BM_Frames             every frame coded, as frames walks the input;
//   BM_FramesWithMeasures the same and the six distances of every frame;
//   BM_MeasureFrame       the six distances of one frame alone.
// frames --measures may cost at most 1.15 times frames: compare the first
// two. They leave out frames' text, which both pay alike, so their ratio
// is the larger one.
#include <benchmark/benchmark.h>

#include <vector>

#include "coder/SpectralMeasures.h"
#include "coder/SpeechCoder.h"

namespace {

using namespace zorvel;

CoderMode modeOf(const benchmark::State& state) {
    return state.range(0) == 1 ? CoderMode::rate12_2 : CoderMode::rate4_75;
}

void codeSample(benchmark::State& state, bool measures) {
    int frames = 0;
    for (auto _ : state) {
        SpeechCoder coder(ZORVEL_SAMPLE, modeOf(state));
        coder.setCheckpoints(nullptr);
        MeasureMeans means;
        while (coder.nextFrame() == FrameStep::coded) {
            if (measures) means.add(measureRecord(coder.currentFrame(), SaveOption::synthesized));
            ++frames;
        }
        benchmark::DoNotOptimize(means);
    }
    state.counters["frames/s"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
}

void BM_Frames(benchmark::State& state) { codeSample(state, false); }
void BM_FramesWithMeasures(benchmark::State& state) { codeSample(state, true); }

void BM_MeasureFrame(benchmark::State& state) {
    std::vector<FrameRecord> records;
    SpeechCoder coder(ZORVEL_SAMPLE, modeOf(state));
    while (coder.nextFrame() == FrameStep::coded) records.push_back(coder.currentFrame());
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(measureRecord(records[i], SaveOption::synthesized));
        i = (i + 1) % records.size();
    }
    state.SetItemsProcessed(state.iterations());
}

}  // namespace

BENCHMARK(BM_Frames)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FramesWithMeasures)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MeasureFrame)->Arg(1)->Unit(benchmark::kMicrosecond);
