// Jumps in a long recording: a 1-hour input (180,000 frames, the bundled
// sample repeated, written to the temporary directory by the benchmark
// itself) is coded once to frame 179,990, which fills the checkpoints; then
// goToFrame to 179,989 (one step back), to 178,990 (a thousand back) and to
// 90,000 (the middle, the farthest from a checkpoint) is timed, each time
// from frame 179,990. Reports the checkpoints' memory and count.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "coder/SpeechCoder.h"
#include "sound/Wave.h"

namespace {

namespace fs = std::filesystem;

constexpr int kHourFrames = 180'000;  // 3600 s of 20 ms frames
constexpr int kStartFrame = 179'990;
constexpr zorvel::CoderMode kMode = zorvel::CoderMode::rate12_2;

// The hour-long input, removed when the program ends.
class HourInput {
  public:
    HourInput()
        : path_(fs::temp_directory_path() /
                ("zorvel-bench-hour-" + std::to_string(::getpid()) + ".wav")) {
        std::ifstream sample(ZORVEL_SAMPLE, std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(sample)),
                                std::istreambuf_iterator<char>());
        const std::size_t frameBytes = 2 * zorvel::kFrameSamples;
        const std::size_t sampleFrames = (bytes.size() - zorvel::kSampleDataOffset) / frameBytes;
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), zorvel::kSampleDataOffset);
        for (int frame = 0; frame < kHourFrames; ++frame) {
            const std::size_t from =
                zorvel::kSampleDataOffset + (frame % sampleFrames) * frameBytes;
            out.write(bytes.data() + from, static_cast<std::streamsize>(frameBytes));
        }
    }
    ~HourInput() {
        std::error_code ignored;
        fs::remove(path_, ignored);
    }
    HourInput(const HourInput&) = delete;
    HourInput& operator=(const HourInput&) = delete;
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

// One coder at frame 179,990 of the hour, shared by the benchmarks.
zorvel::SpeechCoder& coderNearTheEnd() {
    static HourInput input;
    static std::unique_ptr<zorvel::SpeechCoder> coder = [] {
        auto c = std::make_unique<zorvel::SpeechCoder>(input.path(), kMode);
        c->goToFrame(kStartFrame);
        return c;
    }();
    return *coder;
}

void BM_GoToFrame(benchmark::State& state) {
    const int target = static_cast<int>(state.range(0));
    zorvel::SpeechCoder& coder = coderNearTheEnd();
    if (coder.frameCount() != kStartFrame) {
        state.SkipWithError("the hour input did not reach frame 179,990");
        return;
    }
    for (auto _ : state) {
        if (coder.goToFrame(target) != zorvel::FrameStep::coded || coder.frameCount() != target) {
            state.SkipWithError("goToFrame did not reach its frame");
            break;
        }
        benchmark::DoNotOptimize(coder.overallSnr());
        state.PauseTiming();
        coder.goToFrame(kStartFrame);
        state.ResumeTiming();
    }
    const auto& store = *coder.checkpoints();
    state.counters["checkpointMB"] = static_cast<double>(store.memoryBytes()) / (1 << 20);
    state.counters["checkpoints"] = static_cast<double>(store.count());
    state.counters["interval"] = zorvel::kCheckpointInterval;
}

BENCHMARK(BM_GoToFrame)
    ->ArgName("to")
    ->Arg(179'989)
    ->Arg(178'990)
    ->Arg(90'000)
    ->Unit(benchmark::kMillisecond);

}  // namespace
