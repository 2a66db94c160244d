// The cost of the spectral distances (coder/FrameDistances.h) beside the
// coding they measure. Over the bundled sample in modes 12.2 and 4.75:
//   BM_Frames             every frame coded, as frames walks the input;
//   BM_FramesWithMeasures the same and the six distances of every frame;
//   BM_MeasureFrame       the six distances of one frame alone;
//   BM_EncodeMeasures     what encode --measures adds to the coding, of the
//                         output as written: the six distances of every frame
//                         (second argument 0), and with them the file figures
//                         (1): the 30 ms distances, STOI and ESTOI;
//   BM_FileFigures        STOI and ESTOI (0) or the 30 ms distances (1) of the
//                         coded sample alone;
//   BM_EncodeMeasuresRatio the share of each file figure in that: STOI and
//                         ESTOI may cost at most 10 % more than the
//                         distances alone (stoi_ratio <= 1.10);
//   BM_FramePass          the chart window's background pass over the sample
//                         repeated four times, without (0) and with (1) the
//                         distances asked for from the start.
// frames --measures may cost at most 1.15 times frames: compare the first
// two. They leave out frames' text, which both pay alike, so their ratio
// is the larger one. The pass without distances codes as fast as BM_Frames:
// the only work it adds per frame is the summary.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "coder/FrameDistances.h"
#include "coder/FramePass.h"
#include "coder/Intelligibility.h"
#include "coder/PublishedDistances.h"
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

void BM_EncodeMeasures(benchmark::State& state) {
    const bool fileFigures = state.range(1) == 1;
    int frames = 0;
    for (auto _ : state) {
        SpeechCoder coder(ZORVEL_SAMPLE, modeOf(state));
        coder.setCheckpoints(nullptr);
        RunMeasures run(SaveOption::synthesized);
        MeasureMeans means;
        while (coder.nextFrame() == FrameStep::coded) {
            if (fileFigures)
                run.add(coder.currentFrame());
            else
                means.add(measureWrittenRecord(coder.currentFrame(), SaveOption::synthesized));
            ++frames;
        }
        if (fileFigures) means = run.finish();
        benchmark::DoNotOptimize(means);
    }
    state.counters["frames/s"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
}

// The processor time of the whole process (libsoxr may work on threads of
// its own), so that the ratios hold on a machine others are using too.
std::chrono::nanoseconds processorTime() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
}

// What each kind of file figure adds to encode --measures, as ratios of
// processor times of one and the same iteration: the sample coded with the
// distances of every frame (as written) and its signals kept, then
//   stoi_ratio  (that + STOI and ESTOI) / that,          at most 1.10;
//   hl_ratio    (that + the 30 ms distances) / that;
//   all_ratio   (that + both, encode --measures) / that.
void BM_EncodeMeasuresRatio(benchmark::State& state) {
    std::chrono::nanoseconds base{}, stoi{}, hl{};
    for (auto _ : state) {
        const auto start = processorTime();
        SpeechCoder coder(ZORVEL_SAMPLE, modeOf(state));
        coder.setCheckpoints(nullptr);
        MeasureMeans means;
        std::vector<double> x, y;
        while (coder.nextFrame() == FrameStep::coded) {
            const FrameRecord& record = coder.currentFrame();
            const Signal written = writtenOutput(record, SaveOption::synthesized);
            means.add(measureWrittenRecord(record, SaveOption::synthesized));
            x.insert(x.end(), record.speech.begin(), record.speech.end());
            y.insert(y.end(), written.begin(), written.end());
        }
        const auto coded = processorTime();
        benchmark::DoNotOptimize(intelligibility(x, y));
        const auto intelligible = processorTime();
        benchmark::DoNotOptimize(publishedDistances(x, y));
        const auto published = processorTime();
        benchmark::DoNotOptimize(means);
        base += coded - start;
        stoi += intelligible - coded;
        hl += published - intelligible;
    }
    const auto share = [&](std::chrono::nanoseconds extra) {
        return static_cast<double>((base + extra).count()) / static_cast<double>(base.count());
    };
    state.counters["stoi_ratio"] = share(stoi);
    state.counters["hl_ratio"] = share(hl);
    state.counters["all_ratio"] = share(stoi + hl);
}

// The file figures alone, of the sample against its output in mode 12.2:
// STOI and ESTOI (0), the 30 ms distances (1).
void BM_FileFigures(benchmark::State& state) {
    SpeechCoder coder(ZORVEL_SAMPLE, CoderMode::rate12_2);
    std::vector<double> x, y;
    while (coder.nextFrame() == FrameStep::coded) {
        const Signal written = writtenOutput(coder.currentFrame(), SaveOption::synthesized);
        x.insert(x.end(), coder.currentFrame().speech.begin(), coder.currentFrame().speech.end());
        y.insert(y.end(), written.begin(), written.end());
    }
    for (auto _ : state) {
        if (state.range(0) == 0)
            benchmark::DoNotOptimize(intelligibility(x, y));
        else
            benchmark::DoNotOptimize(publishedDistances(x, y));
    }
}

// The sample's frames four times over, removed when the program ends.
class FourSamples {
  public:
    FourSamples()
        : path_(std::filesystem::temp_directory_path() /
                ("zorvel-bench-measures-" + std::to_string(::getpid()) + ".wav")) {
        std::ifstream sample(ZORVEL_SAMPLE, std::ios::binary);
        const std::vector<char> bytes((std::istreambuf_iterator<char>(sample)),
                                      std::istreambuf_iterator<char>());
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), kSampleDataOffset);
        for (int copy = 0; copy < 4; ++copy)
            out.write(bytes.data() + kSampleDataOffset,
                      static_cast<std::streamsize>(bytes.size() - kSampleDataOffset));
    }
    ~FourSamples() {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    FourSamples(const FourSamples&) = delete;
    FourSamples& operator=(const FourSamples&) = delete;
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

void BM_FramePass(benchmark::State& state) {
    static const FourSamples input;
    int frames = 0;
    for (auto _ : state) {
        FramePass pass(input.path(), CoderMode::rate12_2);
        if (state.range(0) == 1) pass.measureFrames();
        pass.start();
        while (!pass.done() || pass.measuring())
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        pass.stop();
        frames += pass.totalFrames();
    }
    state.counters["frames/s"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_FramePass)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Frames)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FramesWithMeasures)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MeasureFrame)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FileFigures)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeMeasuresRatio)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeMeasures)
    ->Args({1, 0})
    ->Args({1, 1})
    ->Args({8, 0})
    ->Args({8, 1})
    ->Unit(benchmark::kMillisecond);
