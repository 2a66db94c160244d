// The conversion of a recording to what the coder takes: ten seconds of
// 48 kHz stereo 16-bit speech-like sound (two tones and noise, at 16-bit
// levels as libsndfile gives them) averaged, resampled to 8 kHz by libsoxr's
// very-high-quality filter, rounded and clipped. Reports how many times faster
// than real time it runs on one core.
//
// BM_ImportAgainstSox runs `zorvel-cli import` and `sox IN -r 8000 -c 1 -b 16
// OUT rate -v` (libsoxr underneath both, at the same very-high quality) one
// after the other on a minute of 48 kHz stereo in a file, and reports the
// CPU time (user + system) of each and their ratio, sox's over ours: above 1
// is faster than sox. Skipped where sox is not installed.
#include <benchmark/benchmark.h>
#include <sndfile.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "sound/Conversion.h"
#include "sound/SoundFile.h"

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

// CPU seconds (user + system) of the children that ended so far.
double childrenCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Runs a program quietly; true when it exits with 0.
bool run(std::vector<std::string> words) {
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        freopen("/dev/null", "w", stdout);
        freopen("/dev/null", "w", stderr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void BM_ImportAgainstSox(benchmark::State& state) {
    namespace fs = std::filesystem;
    const fs::path dir =
        fs::temp_directory_path() / ("zorvel-bench-import-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const fs::path input = dir / "in.wav";
    {
        // A minute: the recording above, six times over, as a 16-bit WAV.
        static const std::vector<double> recording = stereoRecording();
        SF_INFO info{};
        info.samplerate = static_cast<int>(kRate);
        info.channels = kChannels;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        const zorvel::SoundFile file(sf_open(input.c_str(), SFM_WRITE, &info));
        if (!file) {
            state.SkipWithError("the recording could not be written");
            return;
        }
        for (int k = 0; k < 6; ++k)
            sf_writef_double(file.get(), recording.data(),
                             static_cast<sf_count_t>(recording.size() / kChannels));
    }
    if (!run({"sox", "--version"})) {
        fs::remove_all(dir);
        state.SkipWithError("sox is not installed");
        return;
    }
    double soxSeconds = 0.0;
    double zorvelSeconds = 0.0;
    for (auto _ : state) {
        double before = childrenCpuSeconds();
        run({"sox", input.string(), "-r", "8000", "-c", "1", "-b", "16", (dir / "sox.wav").string(),
             "rate", "-v"});
        soxSeconds += childrenCpuSeconds() - before;
        before = childrenCpuSeconds();
        if (!run({ZORVEL_CLI, "import", input.string(), "-o", (dir / "zorvel.wav").string(), "-y"}))
            state.SkipWithError("zorvel-cli import failed");
        zorvelSeconds += childrenCpuSeconds() - before;
    }
    fs::remove_all(dir);
    state.counters["sox_cpu_s"] = soxSeconds / static_cast<double>(state.iterations());
    state.counters["zorvel_cpu_s"] = zorvelSeconds / static_cast<double>(state.iterations());
    state.counters["speed_vs_sox"] = zorvelSeconds > 0.0 ? soxSeconds / zorvelSeconds : 0.0;
}
BENCHMARK(BM_ImportAgainstSox)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
