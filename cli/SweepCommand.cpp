// Refuses unreadable inputs (reported by name, the others still run), codes
// the rest in all modes on a pool of threads (coder/ModeSweep), prints the
// table and writes the chart through a staged output.
#include "cli/SweepCommand.h"

#include <iostream>
#include <thread>

#include "cli/FileChecks.h"
#include "cli/InterruptCleanup.h"
#include "cli/StagedOutput.h"
#include "cli/SweepTable.h"
#include "coder/ModeSweep.h"

#ifdef ZORVEL_CLI_PLOTS
#include "cli/PictureFiles.h"
#include "plots/SweepChart.h"
#endif

namespace zorvel::cli {
namespace {

enum class ChartFormat { None, Png, Svg };

// The chart's format by the name's extension; nothing for any other name.
std::optional<ChartFormat> chartFormat(const std::string& name) {
    if (name.empty()) return ChartFormat::None;
    const std::string extension = std::filesystem::path(name).extension().string();
    if (extension == ".png" || extension == ".PNG") return ChartFormat::Png;
    if (extension == ".svg" || extension == ".SVG") return ChartFormat::Svg;
    return std::nullopt;
}

#ifdef ZORVEL_CLI_PLOTS
QString chartCaption(const std::vector<SweepTableFile>& files, bool noAdaptiveCodebook) {
    QString caption =
        files.size() == 1
            ? QString::fromStdString(std::filesystem::path(files.front().file).filename().string())
            : QStringLiteral("Pliki wejściowe: %1").arg(files.size());
    if (noAdaptiveCodebook) caption += QStringLiteral(" (bez słownika adaptacyjnego)");
    return caption;
}

void writeChart(const std::filesystem::path& name, ChartFormat format, const SweepRow& total,
                const QString& caption, StagingArea& area, bool overwrite) {
    OffscreenApplication fonts;
    const Picture picture = describeSweepChart(total, caption);
    StagedFile staged(area, name);
    writePicture(picture, format == ChartFormat::Png ? PictureFormat::png : PictureFormat::svg,
                 staged);
    staged.commit(overwrite);
}
#endif

}  // namespace

int runSweep(const SweepArguments& arguments) {
    const std::optional<ChartFormat> format = chartFormat(arguments.plot);
    if (!format) return usageError("sweep", "--plot names a .png or an .svg file");

    std::vector<std::filesystem::path> inputs;
    std::vector<SweepTableFile> files;
    bool refused = false;
    for (const std::string& input : arguments.inputs) {
        try {
            checkInput(input);
            if (*format != ChartFormat::None)
                checkOutput(input, arguments.plot, arguments.overwrite);
        } catch (const FileError& error) {
            std::cerr << "zorvel-cli: " << input << ": " << error.what() << '\n';
            refused = true;
            continue;
        }
        inputs.emplace_back(input);
        files.push_back({input, {}});
    }
    if (inputs.empty()) return kExitFailed;

    StagingArea area;
    InterruptCleanup cleanup(area);  // before any thread starts
    const unsigned threads =
        arguments.jobs != 0 ? arguments.jobs : std::max(std::thread::hardware_concurrency(), 1u);
    const std::optional<SweepResult> result =
        sweepModes(inputs, arguments.noAdaptiveCodebook, threads);
    if (!result) return kExitFailed;
    for (std::size_t i = 0; i < files.size(); ++i) files[i].figures = result->files[i];

    if (arguments.csv)
        printSweepCsv(std::cout, files, result->total);
    else
        printSweepTable(std::cout, files, result->total);
    std::cout.flush();
    if (std::cout.fail()) {
        std::cerr << "zorvel-cli: could not write the table to standard output\n";
        return kExitFailed;
    }
#ifdef ZORVEL_CLI_PLOTS
    if (*format != ChartFormat::None) {
        try {
            writeChart(arguments.plot, *format, result->total,
                       chartCaption(files, arguments.noAdaptiveCodebook), area,
                       arguments.overwrite);
        } catch (const std::exception& error) {
            std::cerr << "zorvel-cli: " << arguments.plot << ": " << error.what() << '\n';
            return kExitFailed;
        }
    }
#endif
    return refused ? kExitFailed : kExitOk;
}

}  // namespace zorvel::cli
