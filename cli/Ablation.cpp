#include "cli/Ablation.h"

#include <algorithm>
#include <atomic>
#include <iomanip>
#include <iostream>

#include "cli/CorpusRecords.h"
#include "cli/FailureSummary.h"
#include "cli/FileChecks.h"
#include "cli/InterruptCleanup.h"
#include "cli/MeasureColumns.h"
#include "cli/NumberText.h"
#include "cli/SettingTexts.h"
#include "cli/StandardDescriptors.h"
#include "cli/SweepInputs.h"
#include "cli/SweepOutputs.h"
#include "coder/WorkPool.h"
#include "files/StagedOutput.h"

#ifdef ZORVEL_CLI_PLOTS
#include "cli/PictureFiles.h"
#include "plots/AblationChart.h"
#endif

namespace zorvel::cli {
namespace {

#ifdef ZORVEL_CLI_PLOTS
// The chart's caption names the input coded, or how many there are.
QString chartCaption(const std::vector<SweepTableFile>& inputs) {
    return inputs.size() == 1 ? QString::fromStdString(
                                    std::filesystem::path(inputs.front().file).filename().string())
                              : QStringLiteral("Pliki wejściowe: %1").arg(inputs.size());
}
#endif

// Appends each file's record in each mode and row as it is coded, named by
// the row's settings as every record names them; the first record that
// cannot be written is reported, sets `failed`, and no record follows it.
AblationFileDone fileRecorder(std::vector<std::string> settings, std::vector<CoderMode> modes,
                              const SweepInputs& inputs, RecordFile& records,
                              std::atomic<bool>& failed) {
    return [settings = std::move(settings), modes = std::move(modes), &inputs, &records, &failed](
               std::size_t row, std::size_t mode, std::size_t file, const ModeFigures& figures) {
        if (failed) return;
        ModeFigures recorded = figures;
        recorded.mode = modes[mode];
        try {
            records.append(
                {inputs.files[file].file, "sweep", settings[row], true, {}, recorded, {}});
        } catch (const FileError& error) {
            if (!failed.exchange(true)) std::cerr << "zorvel-cli: " << error.what() << '\n';
        }
    };
}

}  // namespace

void printAblationTable(std::ostream& out, const AblationTable& table) {
    std::size_t width = 8;
    for (const AblationRow& row : table.rows) width = std::max(width, row.name.size() + 2);
    out << std::left << std::setw(8) << "mode" << std::setw(static_cast<int>(width)) << "row"
        << std::right << std::setw(8) << "frames" << std::setw(14) << "SNRseg [dB]" << std::setw(10)
        << "change" << std::setw(12) << "SNR [dB]" << std::setw(10) << "change";
    if (table.measures) printMeasureHeaders(out);
    out << '\n';
    out << std::fixed << std::setprecision(2);
    for (std::size_t m = 0; m < table.modes.size(); ++m) {
        const ModeFigures& first = table.figures.front()[m];
        for (std::size_t r = 0; r < table.rows.size(); ++r) {
            const ModeFigures& f = table.figures[r][m];
            out << std::left << std::setw(8) << rulesOf(table.modes[m]).rate
                << std::setw(static_cast<int>(width)) << table.rows[r].name << std::right
                << std::setw(8) << f.frames << std::setw(14) << f.segmentalSnr << std::setw(10)
                << std::showpos << f.segmentalSnr - first.segmentalSnr << std::noshowpos
                << std::setw(12) << f.overallSnr << std::setw(10) << std::showpos
                << f.overallSnr - first.overallSnr << std::noshowpos;
            if (table.measures) printMeasureCells(out, f.measures);
            out << '\n';
        }
    }
    out.unsetf(std::ios::floatfield);
}

void printAblationCsv(std::ostream& out, const AblationTable& table) {
    out << "mode,rate_kbps,row,frames,segmental_snr_db,overall_snr_db,segmental_change_db,"
           "overall_change_db";
    if (table.measures) printMeasureCsvHeaders(out);
    out << '\n';
    for (std::size_t m = 0; m < table.modes.size(); ++m) {
        const ModeFigures& first = table.figures.front()[m];
        for (std::size_t r = 0; r < table.rows.size(); ++r) {
            const ModeFigures& f = table.figures[r][m];
            out << modeNumber(table.modes[m]) << ',' << rulesOf(table.modes[m]).rate << ','
                << csvField(table.rows[r].name) << ',' << f.frames << ','
                << numberText(f.segmentalSnr) << ',' << numberText(f.overallSnr) << ','
                << numberText(f.segmentalSnr - first.segmentalSnr) << ','
                << numberText(f.overallSnr - first.overallSnr);
            if (table.measures) printMeasureCsvCells(out, f.measures);
            out << '\n';
        }
    }
}

int runAblation(const SweepArguments& a) {
    const std::optional<ChartFormat> format = chartFormat(a.plot);
    if (!format) return usageError("sweep", "--plot names a .png or an .svg file");
    AblationRun run;
    if (!a.vary.empty()) {
        if (auto problem = variedRows(a.settings, a.vary, run.rows))
            return usageError("sweep", variationProblemText(*problem, a.vary));
    } else {
        run.rows = ablationRows(a.settings);
    }
    if (!outputsAccepted(a, *format != ChartFormat::None)) return kExitFailed;
    std::optional<RecordFile> records;
    // The chart is the one file the run writes besides the records.
    std::vector<std::filesystem::path> chart;
    if (!a.plot.empty()) chart.emplace_back(a.plot);
    if (!openRecordFile(a.jsonl, a.inputs, chart, records)) return kExitFailed;
    run.modes = a.modes.empty()
                    ? std::vector<CoderMode>(kAllCoderModes.begin(), kAllCoderModes.end())
                    : a.modes;
    std::vector<std::string> settings;
    for (const AblationRow& row : run.rows) settings.push_back(settingName(row.settings));

    // An input that cannot be read is reported and left out, as by a sweep.
    const SweepInputs inputs = readableInputs(a.inputs, a.inputFormat);
    if (records) {
        try {
            recordRefusals(inputs, settings, run.modes, *records);
        } catch (const FileError& error) {
            std::cerr << "zorvel-cli: " << error.what() << '\n';
            return kExitFailed;
        }
    }
    // The run ends with the summary of its failures, under the table.
    const auto finish = [&](int code) {
        printFailureSummary(std::cerr, inputs.reasons(), a.inputs.size());
        return code;
    };
    // A part of a list may hold no file: nothing to do.
    if (inputs.paths.empty()) return finish(inputs.refused ? kExitFailed : kExitOk);
    run.inputs = inputs.paths;
    run.open = [&inputs](std::size_t file) { return inputs.open(file); };
    run.threads = poolThreads(a.jobs, run.rows.size() * run.modes.size() * run.inputs.size());
    if (a.measures)
        run.options.measured =
            a.postProcessed ? SaveOption::postProcessed : SaveOption::synthesized;
    std::atomic<bool> recordFailed{false};
    if (records) run.onFile = fileRecorder(settings, run.modes, inputs, *records, recordFailed);

    StagingArea area(kOverwriteAdvice);
    InterruptCleanup cleanup(area);  // before any thread starts
    std::optional<AblationTable> table;
    try {
        table = computeAblation(run);
    } catch (const SweepFileError& error) {
        std::cerr << "zorvel-cli: " << inputs.files[error.file()].file << ": " << error.what()
                  << '\n';
        return finish(kExitFailed);
    } catch (const std::exception& error) {
        std::cerr << "zorvel-cli: " << error.what() << '\n';
        return finish(kExitFailed);
    }
    if (!table) return finish(kExitFailed);
    if (a.csv)
        printAblationCsv(std::cout, *table);
    else
        printAblationTable(std::cout, *table);
    if (standardOutputFailed()) return finish(kExitFailed);
#ifdef ZORVEL_CLI_PLOTS
    if (*format != ChartFormat::None) {
        try {
            writeChartFile(
                a.plot, *format == ChartFormat::Png ? PictureFormat::png : PictureFormat::svg,
                [&] { return describeAblationChart(*table, chartCaption(inputs.files)); }, area,
                a.overwrite);
        } catch (const std::exception& error) {
            std::cerr << "zorvel-cli: " << a.plot << ": " << error.what() << '\n';
            return finish(kExitFailed);
        }
    }
#endif
    return finish(inputs.refused || recordFailed ? kExitFailed : kExitOk);
}

}  // namespace zorvel::cli
