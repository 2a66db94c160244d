// Refuses a chart or a standard output that is an input before anything is
// read, then unreadable inputs (reported by name, the others still run);
// codes the rest, each file once, in all modes on a pool of threads
// (coder/ModeSweep), prints the table and writes the chart through a staged
// output.
#include "cli/SweepCommand.h"

#include <sys/stat.h>

#include <iostream>
#include <map>
#include <thread>

#include "cli/FileChecks.h"
#include "cli/InputFormat.h"
#include "cli/InterruptCleanup.h"
#include "cli/SweepTable.h"
#include "coder/ModeSweep.h"
#include "files/StagedOutput.h"

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

// The table goes to standard output and the chart to its file: neither may
// be an input, and the chart may replace a file only with -y. Checked before
// any input is read, so that a refusal writes nothing at all.
bool outputsAccepted(const SweepArguments& a, bool chart) {
    for (const std::string& input : a.inputs) {
        try {
            checkStandardOutput(input);
            if (chart) checkOutput(input, a.plot, a.overwrite);
        } catch (const FileError& error) {
            std::cerr << "zorvel-cli: " << input << ": " << error.what() << '\n';
            return false;
        }
    }
    return true;
}

// The inputs that can be read, each file once however often it is named (by
// any path or link): twice in the totals it would weigh double.
struct SweepInputs {
    std::vector<std::filesystem::path> paths;
    std::vector<SweepTableFile> files;
    // The conversions of the recordings of another format (--resample), one
    // per input; empty for the inputs coded as they stand.
    std::vector<ConvertedRecording> converted;
    bool refused = false;  // an input could not be read
};

SweepInputs readableInputs(const std::vector<std::string>& names, const InputFormatChoice& choice) {
    SweepInputs inputs;
    std::map<std::pair<dev_t, ino_t>, std::string> named;
    for (const std::string& input : names) {
        ConvertedRecording converted;
        try {
            checkInput(input);
            if (convertsInput(input, choice)) converted = convertInput(input);
        } catch (const FileError& error) {
            std::cerr << "zorvel-cli: " << input << ": " << error.what() << '\n';
            inputs.refused = true;
            continue;
        }
        struct stat status {};
        if (stat(input.c_str(), &status) == 0) {
            const auto [first, added] =
                named.emplace(std::pair(status.st_dev, status.st_ino), input);
            if (!added) {
                std::cerr << "zorvel-cli: " << input << ": the same file as '" << first->second
                          << "'; counted once\n";
                continue;
            }
        }
        inputs.paths.emplace_back(input);
        inputs.files.push_back({input, {}});
        inputs.converted.push_back(std::move(converted));
    }
    return inputs;
}

}  // namespace

int runSweep(const SweepArguments& arguments) {
    const std::optional<ChartFormat> format = chartFormat(arguments.plot);
    if (!format) return usageError("sweep", "--plot names a .png or an .svg file");
    if (!outputsAccepted(arguments, *format != ChartFormat::None)) return kExitFailed;

    SweepInputs inputs = readableInputs(arguments.inputs, arguments.inputFormat);
    if (inputs.paths.empty()) return kExitFailed;
    std::vector<SweepTableFile>& files = inputs.files;

    StagingArea area(kOverwriteAdvice);
    InterruptCleanup cleanup(area);  // before any thread starts
    const unsigned threads =
        arguments.jobs != 0 ? arguments.jobs : std::max(std::thread::hardware_concurrency(), 1u);
    const std::optional<SweepResult> result =
        sweepModes(inputs.paths, arguments.noAdaptiveCodebook, threads, nullptr, {},
                   [&inputs](std::size_t file) {
                       const ConvertedRecording& converted = inputs.converted[file];
                       return converted.converted ? convertedInput(converted)
                                                  : SpeechInput(inputs.paths[file]);
                   });
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
    return inputs.refused ? kExitFailed : kExitOk;
}

}  // namespace zorvel::cli
