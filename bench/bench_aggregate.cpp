// zorvel-cli aggregate's work over 100,000 records (12,500 files in the eight
// modes, as the shards of a corpus write them): every line read from a JSONL
// file and parsed, the totals made per setting and mode, the CSV table
// written. Reports the records merged per second; the whole should take well
// under 2 s.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "cli/CorpusRecords.h"

namespace {

constexpr int kFiles = 12500;
constexpr int kRecords = kFiles * zorvel::kModeCount;

// The records in a file under the temporary directory, written once and
// removed when the program ends.
struct GeneratedRecords {
    std::filesystem::path path;
    GeneratedRecords();
    ~GeneratedRecords() {
        std::error_code error;
        std::filesystem::remove(path, error);
    }
};

GeneratedRecords::GeneratedRecords()
    : path(std::filesystem::temp_directory_path() /
           ("zorvel-bench-" + std::to_string(getpid()) + ".jsonl")) {
    {
        const std::filesystem::path& file = path;
        std::mt19937_64 rng(20261207u);
        std::uniform_real_distribution<double> energy(1e8, 1e12);
        std::uniform_real_distribution<double> snr(0.0, 20.0);
        std::uniform_int_distribution<int> frames(100, 2000);
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        for (int f = 0; f < kFiles; ++f) {
            for (const zorvel::CoderMode mode : zorvel::kAllCoderModes) {
                zorvel::cli::CorpusRecord record;
                record.file = "corpus/speaker" + std::to_string(f % 100) + "/utt" +
                              std::to_string(f) + ".wav";
                record.command = "sweep";
                record.setting = zorvel::cli::settingName(zorvel::CoderSettings{});
                const double s = energy(rng);
                const double n = s / (10.0 + snr(rng));
                record.figures = {mode, frames(rng), snr(rng),    10.0 * std::log10(s / n),
                                  s,    n,           std::nullopt};
                out << zorvel::cli::recordLine(record);
            }
        }
    }
}

const std::filesystem::path& recordFile() {
    static const GeneratedRecords records;
    return records.path;
}

void BM_Aggregate100kRecords(benchmark::State& state) {
    const std::filesystem::path& file = recordFile();
    for (auto _ : state) {
        std::vector<zorvel::cli::CorpusRecord> records;
        records.reserve(kRecords);
        std::ifstream in(file, std::ios::binary);
        std::string line;
        std::string problem;
        while (std::getline(in, line))
            if (auto record = zorvel::cli::parseRecord(line, problem))
                records.push_back(std::move(*record));
        const std::vector<zorvel::cli::CorpusTotal> totals = zorvel::cli::corpusTotals(records);
        std::ostringstream table;
        zorvel::cli::printCorpusCsv(table, totals);
        benchmark::DoNotOptimize(table.str());
        if (records.size() != kRecords) state.SkipWithError("records lost");
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_Aggregate100kRecords)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
