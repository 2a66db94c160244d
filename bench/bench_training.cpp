// The training of every mode's quantisers on 30 minutes of speech, on one
// core, as zorvel-cli train does it: the LP analysis of every frame and the
// training of the LSF means, predictors and codebooks (coder/LsfTraining.h),
// then the gains observed in the quantising coder and their predictors and
// codebooks trained (coder/GainTraining.h). The speech is the first 30
// minutes of the training prompts in the order scripts/train-tables.sh
// takes them (English, then Spanish); without the asterisk-core-sounds
// prompts the benchmark is skipped. The budget is 60 s.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "coder/GainTraining.h"
#include "coder/LsfTraining.h"

namespace {

constexpr std::int64_t kFrames = 30 * 60 * 50;  // 30 minutes of 20 ms frames

// The prompts of one language, leaving out its silence/ folder, by path.
std::vector<std::filesystem::path> prompts(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        const std::filesystem::path& path = it->path();
        if (path.extension() == ".wav" && path.parent_path().filename() != "silence")
            files.push_back(path);
    }
    std::sort(files.begin(), files.end());
    return files;
}

// The first 30 minutes of the training prompts.
std::vector<std::filesystem::path> thirtyMinutes() {
    const std::filesystem::path sounds = "/usr/share/asterisk/sounds";
    std::vector<std::filesystem::path> chosen;
    std::int64_t frames = 0;
    for (const char* language : {"en_US_f_Allison", "es_MX_f_Allison"}) {
        for (const std::filesystem::path& file : prompts(sounds / language)) {
            if (frames >= kFrames) return chosen;
            frames += zorvel::SpeechInput(file).framesLeft();
            chosen.push_back(file);
        }
    }
    return frames >= kFrames ? chosen : std::vector<std::filesystem::path>{};
}

void BM_TrainQuantisers30Minutes(benchmark::State& state) {
    const std::vector<std::filesystem::path> files = thirtyMinutes();
    if (files.empty()) {
        state.SkipWithError(
            "the asterisk-core-sounds-en-wav and -es-wav prompts are not installed");
        return;
    }
    std::int64_t frames = 0;
    for (auto _ : state) {
        std::vector<zorvel::LsfTrainingFile> sets;
        frames = 0;
        for (const std::filesystem::path& file : files) {
            sets.push_back(zorvel::analyseLsfSets(zorvel::SpeechInput(file)));
            frames += sets.back().frames;
        }
        zorvel::QuantiserTables tables;
        zorvel::trainLsfTables(sets, tables);
        zorvel::addProvisionalGainTables(tables);
        std::vector<zorvel::GainTrainingFile> gains;
        for (const std::filesystem::path& file : files)
            gains.push_back(
                zorvel::observeGains([&] { return zorvel::SpeechInput(file); }, tables));
        zorvel::trainGainTables(gains, tables);
        benchmark::DoNotOptimize(tables);
    }
    state.counters["frames"] = static_cast<double>(frames);
    state.counters["files"] = static_cast<double>(files.size());
}
BENCHMARK(BM_TrainQuantisers30Minutes)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace
