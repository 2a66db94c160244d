// Refuses a chart or a standard output that is an input before anything is
// read, then unreadable inputs (reported by name, the others still run);
// codes the rest, each file once, in all modes on a pool of threads
// (coder/ModeSweep), prints the table and writes the chart through a staged
// output. With --jsonl every file's figures in every mode are appended as
// records the moment they are known, so that a run killed half-way keeps
// what it finished, and --skip-existing leaves out the files whose eight
// records the file already holds.
#include "cli/SweepCommand.h"

#include <fstream>
#include <iostream>
#include <map>
#include <set>

#include "cli/Ablation.h"
#include "cli/CorpusRecords.h"
#include "cli/FailureSummary.h"
#include "cli/FileChecks.h"
#include "cli/InputFormat.h"
#include "cli/InterruptCleanup.h"
#include "cli/Progress.h"
#include "cli/StandardDescriptors.h"
#include "cli/SweepInputs.h"
#include "cli/SweepOutputs.h"
#include "cli/SweepTable.h"
#include "coder/ModeSweep.h"
#include "coder/WorkPool.h"
#include "files/StagedOutput.h"

#ifdef ZORVEL_CLI_PLOTS
#include "cli/PictureFiles.h"
#include "plots/SweepChart.h"
#endif

namespace zorvel::cli {
namespace {

#ifdef ZORVEL_CLI_PLOTS
QString chartCaption(const std::vector<SweepTableFile>& files, const CoderSettings& settings) {
    QString caption =
        files.size() == 1
            ? QString::fromStdString(std::filesystem::path(files.front().file).filename().string())
            : QStringLiteral("Pliki wejściowe: %1").arg(files.size());
    if (!settings.adaptiveCodebook) caption += QStringLiteral(" (bez słownika adaptacyjnego)");
    return caption;
}

#endif

// The files whose records in all eight modes with `setting` the JSONL file
// holds (as their last records, as aggregate counts them); none when it does
// not exist yet. Lines that are no record are passed over: aggregate reports
// them.
std::set<std::string> recordedFiles(const std::string& jsonl, const std::string& setting) {
    std::map<std::pair<std::string, int>, bool> last;  // (file, mode): ok
    std::ifstream in(jsonl, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        std::string problem;
        const std::optional<CorpusRecord> record = parseRecord(line, problem);
        if (record && record->setting == setting)
            last[{record->file, modeIndex(record->figures.mode)}] = record->ok;
    }
    std::map<std::string, int> modesDone;
    for (const auto& [key, ok] : last)
        if (ok) ++modesDone[key.first];
    std::set<std::string> files;
    for (const auto& [file, modes] : modesDone)
        if (modes == kModeCount) files.insert(file);
    return files;
}

// The output the spectral distances measure, when they are asked for.
std::optional<SaveOption> measuredOutput(const SweepArguments& a) {
    if (!a.measures) return std::nullopt;
    return a.postProcessed ? SaveOption::postProcessed : SaveOption::synthesized;
}

// Runs the sweep of the readable inputs with a progress bar, appending each
// run's record as it ends; `recordFailed` is set when a record could not be
// written (the first such error is reported, and no record follows it).
std::optional<SweepResult> sweepWithProgress(const SweepArguments& a, const SweepInputs& inputs,
                                             const std::string& setting, RecordFile* records,
                                             std::atomic<bool>& recordFailed) {
    std::vector<std::int64_t> expected;
    for (std::size_t i = 0; i < inputs.paths.size(); ++i)
        expected.push_back(kModeCount * inputs.frames(i));
    BatchProgress progress(std::move(expected));
    ProgressBar bar(progress, standardErrorIsTerminal());
    std::vector<std::atomic<int>> modesDone(inputs.paths.size());
    SweepRun run;
    run.inputs = inputs.paths;
    run.threads = poolThreads(a.jobs, inputs.paths.size() * kModeCount);
    run.settings = a.settings;
    run.measured = measuredOutput(a);
    run.onFrame = [&progress](std::size_t file) { progress.countFrame(file); };
    run.open = [&inputs](std::size_t file) { return inputs.open(file); };
    run.onRun = [&](std::size_t file, const ModeFigures& figures) {
        if (++modesDone[file] == kModeCount) progress.finish(file);
        if (records == nullptr || recordFailed) return;
        try {
            records->append({inputs.files[file].file, "sweep", setting, true, {}, figures, {}});
        } catch (const FileError& error) {
            if (!recordFailed.exchange(true))
                bar.message("zorvel-cli: " + std::string(error.what()));
        }
    };
    return sweepModes(run);
}

}  // namespace

int runSweep(const SweepArguments& arguments) {
    if (arguments.ablation || !arguments.vary.empty()) return runAblation(arguments);
    const std::optional<ChartFormat> format = chartFormat(arguments.plot);
    if (!format) return usageError("sweep", "--plot names a .png or an .svg file");
    if (!outputsAccepted(arguments, *format != ChartFormat::None)) return kExitFailed;

    const std::string setting = settingName(arguments.settings);
    std::vector<std::string> names = arguments.inputs;
    if (arguments.list.skipExisting) {
        const std::set<std::string> recorded = recordedFiles(arguments.jsonl, setting);
        std::erase_if(names, [&](const std::string& name) { return recorded.contains(name); });
        printSkipped(std::cerr, arguments.inputs.size() - names.size(), arguments.inputs.size(),
                     "records");
    }
    std::optional<RecordFile> records;
    // The chart is the one file the run writes besides the records.
    std::vector<std::filesystem::path> chart;
    if (!arguments.plot.empty()) chart.emplace_back(arguments.plot);
    if (!openRecordFile(arguments.jsonl, arguments.inputs, chart, records)) return kExitFailed;

    SweepInputs inputs = readableInputs(names, arguments.inputFormat);
    if (records) {
        try {
            recordRefusals(inputs, std::span(&setting, 1), kAllCoderModes, *records);
        } catch (const FileError& error) {
            std::cerr << "zorvel-cli: " << error.what() << '\n';
            return kExitFailed;
        }
    }
    const std::vector<std::string> reasons = inputs.reasons();
    // The run ends with the summary of its failures, under the table.
    auto finish = [&](int code) {
        printFailureSummary(std::cerr, reasons, names.size());
        return code;
    };
    // A part of a list may hold no file, or only files already coded: nothing to do.
    if (inputs.paths.empty()) return finish(inputs.refused ? kExitFailed : kExitOk);
    std::vector<SweepTableFile>& files = inputs.files;

    StagingArea area(kOverwriteAdvice);
    InterruptCleanup cleanup(area);  // before any thread starts
    std::atomic<bool> recordFailed{false};
    std::optional<SweepResult> result;
    try {
        result = sweepWithProgress(arguments, inputs, setting, records ? &*records : nullptr,
                                   recordFailed);
    } catch (const SweepFileError& error) {
        // No figures of a part of a file as if they were the whole file's.
        std::cerr << "zorvel-cli: " << files[error.file()].file << ": " << error.what() << '\n';
        return finish(kExitFailed);
    }
    if (!result) return kExitFailed;
    for (std::size_t i = 0; i < files.size(); ++i) files[i].figures = result->files[i];

    if (arguments.csv)
        printSweepCsv(std::cout, files, result->total, arguments.measures);
    else
        printSweepTable(std::cout, files, result->total, arguments.measures);
    if (standardOutputFailed()) return finish(kExitFailed);
#ifdef ZORVEL_CLI_PLOTS
    if (*format != ChartFormat::None) {
        try {
            writeChartFile(
                arguments.plot,
                *format == ChartFormat::Png ? PictureFormat::png : PictureFormat::svg,
                [&] {
                    return describeSweepChart(result->total,
                                              chartCaption(files, arguments.settings));
                },
                area, arguments.overwrite);
        } catch (const std::exception& error) {
            std::cerr << "zorvel-cli: " << arguments.plot << ": " << error.what() << '\n';
            return finish(kExitFailed);
        }
    }
#endif
    return finish(inputs.refused || recordFailed ? kExitFailed : kExitOk);
}

}  // namespace zorvel::cli
