// Moves a fresh coder to the frame as the chart window does (goToFrame from
// frame 0), builds the window's plot options from the command line and lets
// the window's own renderers paint the two images offscreen.
#include "cli/PlotCommand.h"

#include <array>
#include <iostream>
#include <string_view>

#include "cli/FileChecks.h"
#include "cli/InputFormat.h"
#include "cli/InterruptCleanup.h"
#include "cli/PictureFiles.h"
#include "coder/SpeechCoder.h"
#include "files/StagedOutput.h"
#include "plots/Figure.h"
#include "plots/Plots.h"

namespace zorvel::cli {
namespace {

template <class Selection>
struct BoxName {
    std::string_view name;
    bool Selection::*box;
};

// The window's time-signal boxes, in the window's order, then the error traces.
constexpr std::array<BoxName<TimeTraceSelection>, 13> kTraceBoxes{{
    {"s", &TimeTraceSelection::speech},
    {"s'", &TimeTraceSelection::synthesized},
    {"sp", &TimeTraceSelection::postProcessed},
    {"sw", &TimeTraceSelection::weighted},
    {"sw'", &TimeTraceSelection::weightedSynthesized},
    {"v", &TimeTraceSelection::adaptive},
    {"gpy", &TimeTraceSelection::filteredAdaptive},
    {"gcc", &TimeTraceSelection::algebraic},
    {"u", &TimeTraceSelection::excitation},
    {"resLP", &TimeTraceSelection::lpResidual},
    {"resLTP", &TimeTraceSelection::ltpResidual},
    // The coding error, as the time image's context menu adds it.
    {"e", &TimeTraceSelection::error},
    {"ep", &TimeTraceSelection::postProcessedError},
}};

// The window's spectrum boxes, in the window's order, then the error spectra.
constexpr std::array<BoxName<SpectrumSelection>, 10> kSpectrumBoxes{{
    {"S", &SpectrumSelection::speech},
    {"S'", &SpectrumSelection::synthesized},
    {"Sp", &SpectrumSelection::postProcessed},
    {"Sw", &SpectrumSelection::weighted},
    {"aI", &SpectrumSelection::responseI},
    {"aII", &SpectrumSelection::responseII},
    {"ResLP", &SpectrumSelection::lpResidual},
    {"ResLTP", &SpectrumSelection::ltpResidual},
    {"E", &SpectrumSelection::error},
    {"Ep", &SpectrumSelection::postProcessedError},
}};

template <class Selection, std::size_t N>
std::vector<std::string> namesOf(const std::array<BoxName<Selection>, N>& boxes) {
    std::vector<std::string> names;
    for (const auto& box : boxes) names.emplace_back(box.name);
    return names;
}

// The boxes named on the command line, or the window's start state when
// none are named ("none" names no box).
template <class Selection, std::size_t N>
Selection selection(const std::array<BoxName<Selection>, N>& boxes,
                    const std::vector<std::string>& names) {
    if (names.empty()) return Selection{};
    Selection chosen{};
    for (const auto& box : boxes) chosen.*box.box = false;
    for (const std::string& name : names)
        for (const auto& box : boxes)
            if (box.name == name) chosen.*box.box = true;
    return chosen;
}

std::filesystem::path defaultPrefix(const PlotArguments& a) {
    std::string prefix = a.input;
    prefix += rulesOf(a.coder.mode).fileSuffix;
    return prefix + settingsSuffix(a.coder.settings) + "_frame" + std::to_string(a.frame);
}

// The two picture files of a prefix.
struct PictureNames {
    std::filesystem::path time;
    std::filesystem::path spectrum;
};

PictureNames pictureNames(const std::filesystem::path& prefix, bool svg) {
    const std::string extension = svg ? ".svg" : ".png";
    return {prefix.string() + "-time" + extension, prefix.string() + "-spectrum" + extension};
}

// The chart window's images of the coder's two records, each as a figure
// with its title, axes and legend. Both are written in full before either
// takes its name, so a failure leaves the old files.
void drawAndSave(const SpeechCoder& coder, const PlotOptions& options, const FigureSubject& subject,
                 const PictureNames& names, PictureFormat format, StagingArea& area,
                 bool overwrite) {
    const Picture time =
        describeTimeFigure(kTimeImageWidth, kTimeImageHeight, coder.previousFrame(),
                           coder.currentFrame(), options, subject);
    const Picture spectrum = describeSpectrumFigure(kSpectrumImageWidth, kSpectrumImageHeight,
                                                    coder.currentFrame(), options, subject);
    StagedFile stagedTime(area, names.time);
    StagedFile stagedSpectrum(area, names.spectrum);
    writePicture(time, format, stagedTime);
    writePicture(spectrum, format, stagedSpectrum);
    stagedTime.commit(overwrite);
    stagedSpectrum.commit(overwrite);
}

PlotOptions plotOptions(const PlotArguments& a) {
    PlotOptions options;
    options.traces = selection(kTraceBoxes, a.traces);
    options.spectra = selection(kSpectrumBoxes, a.spectra);
    // Outside mode 12.2 both LP analyses use one window: the window unchecks
    // and disables the set-I response.
    if (a.spectra.empty()) options.spectra.responseI = rulesOf(a.coder.mode).twoLpAnalyses;
    options.twoFrames = !a.oneFrame;
    options.timeGain = timeGainForScale(a.scalePercent, kTimeImageHeight);
    options.spectrumGain = 1.0;
    options.colours = a.light ? lightColours() : darkColours();
    return options;
}

int plotFrame(const PlotArguments& a) {
    checkInput(a.input);
    const bool convert = convertsInput(a.input, a.inputFormat);
    const std::filesystem::path prefix =
        a.prefix.empty() ? defaultPrefix(a) : std::filesystem::path(a.prefix);
    // Both names are refused or accepted before anything is coded or written.
    const PictureNames names = pictureNames(prefix, a.svg);
    checkOutput(a.input, names.time, a.overwrite);
    checkOutput(a.input, names.spectrum, a.overwrite);
    const PlotOptions options = plotOptions(a);
    StagingArea area(kOverwriteAdvice);
    InterruptCleanup cleanup(area);  // before Qt starts any thread
    OffscreenApplication application;
    SpeechCoder coder(openCoderInput(a.input, convert, a.inputFormat), a.coder.mode,
                      a.coder.settings);
    coder.setCheckpoints(nullptr);  // from frame 0 straight to the frame: none would be used
    if (coder.goToFrame(a.frame) != FrameStep::coded)
        throw FileError("frame " + std::to_string(a.frame) + " does not exist: the input has " +
                        std::to_string(coder.frameCount()) + " frames");
    const FigureSubject subject{QString::fromLocal8Bit(a.input), a.coder.mode, a.coder.settings,
                                a.frame};
    drawAndSave(coder, options, subject, names, a.svg ? PictureFormat::svg : PictureFormat::png,
                area, a.overwrite);
    return kExitOk;
}

}  // namespace

const std::vector<std::string>& traceNames() {
    static const std::vector<std::string> names = namesOf(kTraceBoxes);
    return names;
}

const std::vector<std::string>& spectrumNames() {
    static const std::vector<std::string> names = namesOf(kSpectrumBoxes);
    return names;
}

int runPlot(const PlotArguments& arguments) {
    const auto named = [&](std::string_view name) {
        return std::ranges::find(arguments.spectra, name) != arguments.spectra.end();
    };
    if (arguments.prefix == "-")
        return usageError("plot",
                          "-o - (standard output) takes one file, and plot writes two: give a "
                          "prefix");
    if (named("aI") && !rulesOf(arguments.coder.mode).twoLpAnalyses)
        return usageError("plot",
                          "the set-I response aI is shown in mode 12.2 only (in every "
                          "other mode both LP analyses use one window)");
    try {
        return plotFrame(arguments);
    } catch (const std::exception& error) {
        std::cerr << "zorvel-cli: " << arguments.input << ": " << error.what() << '\n';
        return kExitFailed;
    }
}

}  // namespace zorvel::cli
