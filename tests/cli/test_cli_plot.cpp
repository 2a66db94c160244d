// zorvel-cli plot, run as a process: its PNG files are figures holding
// exactly the images the chart window's renderers paint for the same frame
// and options, which the test builds here from the window's start state and
// the named boxes.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <memory>

#include "tests/OffscreenQt.h"
#include "tests/TestSupport.h"
#include "tests/cli/CliRun.h"

#if __has_include(<QGuiApplication>)
#include <QGuiApplication>
#include <QImage>

#include "coder/SpeechCoder.h"
#include "plots/Figure.h"
#include "plots/Plots.h"

namespace zorvel {
namespace {

namespace fs = std::filesystem;
using test::arg;
using test::runCli;
using test::TempDir;

// The window's boxes, written out in full: s, s', sp, sw, sw', v, gpy, gcc, u, resLP, resLTP.
TimeTraceSelection traces(bool s, bool s1, bool sp, bool sw, bool sw1, bool v, bool gpy, bool gcc,
                          bool u, bool resLP, bool resLTP) {
    TimeTraceSelection t;
    t.speech = s;
    t.synthesized = s1;
    t.postProcessed = sp;
    t.weighted = sw;
    t.weightedSynthesized = sw1;
    t.adaptive = v;
    t.filteredAdaptive = gpy;
    t.algebraic = gcc;
    t.excitation = u;
    t.lpResidual = resLP;
    t.ltpResidual = resLTP;
    return t;
}

// S, S', Sp, Sw, aI, aII, ResLP, ResLTP.
SpectrumSelection spectra(bool S, bool S1, bool Sp, bool Sw, bool aI, bool aII, bool ResLP,
                          bool ResLTP) {
    SpectrumSelection s;
    s.speech = S;
    s.synthesized = S1;
    s.postProcessed = Sp;
    s.weighted = Sw;
    s.responseI = aI;
    s.responseII = aII;
    s.lpResidual = ResLP;
    s.ltpResidual = ResLTP;
    return s;
}

struct PlotCase {
    const char* label;
    std::vector<std::string> args;  // after INPUT and -o PREFIX
    int mode;
    bool noAdaptive;
    int frame;
    TimeTraceSelection traces;
    SpectrumSelection spectra;
    bool twoFrames;
    double scalePercent;
    bool light;
};

std::ostream& operator<<(std::ostream& out, const PlotCase& c) { return out << c.label; }

// Where two images first differ, or "" when they are equal.
std::string firstDifference(const QImage& actual, const QImage& expected) {
    if (actual.size() != expected.size())
        return "size " + std::to_string(actual.width()) + "x" + std::to_string(actual.height()) +
               ", expected " + std::to_string(expected.width()) + "x" +
               std::to_string(expected.height());
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width(); ++x)
            if (actual.pixel(x, y) != expected.pixel(x, y))
                return "pixel (" + std::to_string(x) + ", " + std::to_string(y) +
                       "): " + std::to_string(actual.pixel(x, y)) + ", expected " +
                       std::to_string(expected.pixel(x, y));
    return {};
}

QImage loadPng(const fs::path& file) {
    QImage image;
    EXPECT_TRUE(image.load(QString::fromStdString(file.string()), "PNG")) << file;
    return image.convertToFormat(QImage::Format_RGB32);
}

class PlotImages : public ::testing::TestWithParam<PlotCase> {};

TEST_P(PlotImages, AreTheWindowsRenderingOfTheFrame) {
    const PlotCase c = GetParam();
    const TempDir dir;
    std::vector<std::string> args{"plot", arg(test::samplePath()), "-o", arg(dir / "p")};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const test::CliResult result = runCli(args);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(test::directoryNames(dir.path()),
              (std::vector<std::string>{"p-spectrum.png", "p-time.png"}));

    const CoderSettings settings{.adaptiveCodebook = !c.noAdaptive};
    SpeechCoder coder(test::samplePath(), test::modeNumbered(c.mode), settings);
    ASSERT_EQ(coder.goToFrame(c.frame), FrameStep::coded);
    PlotOptions options;
    options.traces = c.traces;
    options.spectra = c.spectra;
    options.twoFrames = c.twoFrames;
    options.timeGain = c.scalePercent * 0.01 * kTimeImageHeight / 65536.0;
    options.spectrumGain = 1.0;
    options.colours = c.light ? lightColours() : darkColours();
    QImage time = newChartImage(kTimeImageWidth, kTimeImageHeight);
    renderTimeImage(time, coder.previousFrame(), coder.currentFrame(), options);
    QImage spectrum = newChartImage(kSpectrumImageWidth, kSpectrumImageHeight);
    renderSpectrumImage(spectrum, coder.currentFrame(), options);

    // Each file is a figure: the window's image, unchanged, on a page with a
    // title, numbered axes and a legend.
    const FigureSubject subject{QString::fromStdString(test::samplePath().string()),
                                test::modeNumbered(c.mode), settings, c.frame};
    const FigureFrame timeFrame{figureTitle(subject), timeAxis(kTimeImageWidth, c.twoFrames),
                                amplitudeAxis(kTimeImageHeight, options.timeGain),
                                timeLegend(options), options.colours.background};
    const FigureFrame spectrumFrame{figureTitle(subject), frequencyAxis(kSpectrumImageWidth),
                                    levelAxis(kSpectrumImageHeight, 1.0), spectrumLegend(options),
                                    options.colours.background};
    const QImage timeFile = loadPng(dir / "p-time.png");
    const QImage spectrumFile = loadPng(dir / "p-spectrum.png");
    const Picture timePlot = describeTimePicture(
        kTimeImageWidth, kTimeImageHeight, coder.previousFrame(), coder.currentFrame(), options);
    const Picture spectrumPlot = describeSpectrumPicture(kSpectrumImageWidth, kSpectrumImageHeight,
                                                         coder.currentFrame(), options);
    EXPECT_EQ(
        firstDifference(timeFile.copy(QRect(figurePlotOrigin(timePlot, timeFrame), time.size())),
                        time.convertToFormat(QImage::Format_RGB32)),
        "");
    EXPECT_EQ(firstDifference(spectrumFile.copy(QRect(figurePlotOrigin(spectrumPlot, spectrumFrame),
                                                      spectrum.size())),
                              spectrum.convertToFormat(QImage::Format_RGB32)),
              "");
    EXPECT_EQ(firstDifference(timeFile, pictureImage(describeFigure(timePlot, timeFrame))), "");
    EXPECT_EQ(
        firstDifference(spectrumFile, pictureImage(describeFigure(spectrumPlot, spectrumFrame))),
        "");
}

const TimeTraceSelection kStartTraces =
    traces(true, true, false, false, false, false, false, false, false, false, false);
const SpectrumSelection kStartSpectraMode1 =
    spectra(true, false, false, false, true, true, false, false);
const SpectrumSelection kStartSpectraOtherModes =
    spectra(true, false, false, false, false, true, false, false);
const TimeTraceSelection kNoTraces =
    traces(false, false, false, false, false, false, false, false, false, false, false);
const SpectrumSelection kNoSpectra =
    spectra(false, false, false, false, false, false, false, false);

INSTANTIATE_TEST_SUITE_P(
    FramesAndOptions, PlotImages,
    ::testing::Values(
        PlotCase{"start state, mode 12.2",
                 {"--frame", "42"},
                 1,
                 false,
                 42,
                 kStartTraces,
                 kStartSpectraMode1,
                 true,
                 100.0,
                 false},
        PlotCase{"start state, mode 6.70: no set-I response",
                 {"--frame", "42", "-m", "6.70"},
                 5,
                 false,
                 42,
                 kStartTraces,
                 kStartSpectraOtherModes,
                 true,
                 100.0,
                 false},
        PlotCase{"frame 0, the cleared records",
                 {"--frame", "0"},
                 1,
                 false,
                 0,
                 kStartTraces,
                 kStartSpectraMode1,
                 true,
                 100.0,
                 false},
        PlotCase{"every box, one frame, light, scale 250",
                 {"--frame", "1", "--one-frame", "--light", "--scale", "250", "--time",
                  "s,s',sp,sw,sw',v,gpy,gcc,u,resLP,resLTP", "--spectra",
                  "S,S',Sp,Sw,aI,aII,ResLP,ResLTP"},
                 1,
                 false,
                 1,
                 traces(true, true, true, true, true, true, true, true, true, true, true),
                 spectra(true, true, true, true, true, true, true, true),
                 false,
                 250.0,
                 true},
        PlotCase{"stems on gp*y, residual spectra, no adaptive codebook, mirrored",
                 {"--frame", "100", "-m", "5.15", "--no-adaptive", "--scale", "-50", "--time",
                  "gcc,gpy", "--spectra", "ResLP,ResLTP"},
                 7,
                 true,
                 100,
                 traces(false, false, false, false, false, false, true, true, false, false, false),
                 spectra(false, false, false, false, false, false, true, true),
                 true,
                 -50.0,
                 false},
        PlotCase{"stems on v, post-processed with the red trace",
                 {"--frame", "57", "-m", "4", "--one-frame", "--time", "v,gcc,sp", "--spectra",
                  "Sp,aII"},
                 4,
                 false,
                 57,
                 traces(false, false, true, false, false, true, false, true, false, false, false),
                 spectra(false, false, true, false, false, true, false, false),
                 false,
                 100.0,
                 false},
        PlotCase{"last frame, nothing but the grids",
                 {"--frame", "283", "--time", "none", "--spectra", "none"},
                 1,
                 false,
                 283,
                 kNoTraces,
                 kNoSpectra,
                 true,
                 100.0,
                 false}));

TEST(PlotNames, DefaultPrefixFollowsTheInputModeAndFrame) {
    const TempDir dir;
    fs::copy_file(test::samplePath(), dir / "mowa.wav");
    const test::CliResult result =
        runCli({"plot", arg(dir / "mowa.wav"), "--frame", "7", "-m", "7.95", "--no-adaptive"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(test::directoryNames(dir.path()),
              (std::vector<std::string>{"mowa.wav", "mowa.wav_07.95_noadapt_frame7-spectrum.png",
                                        "mowa.wav_07.95_noadapt_frame7-time.png"}));
}

TEST(PlotRefusals, BadNamesFramesAndScalesWriteNothing) {
    const TempDir dir;
    const std::string input = arg(test::samplePath());
    const std::string prefix = arg(dir / "p");
    struct Refusal {
        std::vector<std::string> args;
        int exitCode;
        std::string message;
    };
    const std::vector<Refusal> refusals{
        {{"plot", input, "--frame", "3", "-o", prefix, "--time", "s,x"}, 2, "x"},
        {{"plot", input, "--frame", "3", "-o", prefix, "--spectra", "s"}, 2, "s"},
        {{"plot", input, "--frame", "3", "-o", prefix, "-m", "5", "--spectra", "S,aI"},
         2,
         "mode 12.2 only"},
        {{"plot", input, "--frame", "3", "-o", prefix, "--scale", "0"}, 2, "other than 0"},
        {{"plot", input, "--frame", "-1", "-o", prefix}, 2, "--frame"},
        {{"plot", input, "-o", prefix}, 2, "--frame"},
        {{"plot", input, "--frame", "284", "-o", prefix},
         1,
         "frame 284 does not exist: the input has 283 frames"},
        {{"plot", arg(dir / "none.wav"), "--frame", "1", "-o", prefix}, 1, "input file not found"},
        // Opens, but reads with an I/O error: no input of zero frames.
        {{"plot", "/proc/self/mem", "--frame", "1", "-o", prefix}, 1, "input cannot be read"},
    };
    for (const Refusal& r : refusals) {
        const test::CliResult result = runCli(r.args);
        EXPECT_EQ(result.exitCode, r.exitCode) << r.message << ": " << result.err;
        EXPECT_NE(result.err.find(r.message), std::string::npos) << result.err;
        EXPECT_TRUE(test::directoryNames(dir.path()).empty()) << r.message;
    }
}

// A refused second picture must not cost the first one: both names are
// checked before either file is written.
TEST(PlotRefusals, AnUnusableSecondNameLeavesTheFirstFileAsItWas) {
    const TempDir dir;
    const std::vector<std::uint8_t> old{'s', 't', 'a', 'r', 'y'};
    for (const std::string refused : {"spectrum", "time"}) {
        SCOPED_TRACE(refused);
        const std::string kept = refused == "spectrum" ? "time" : "spectrum";
        const fs::path keptFile = dir / ("p-" + kept + ".png");
        const fs::path refusedFile = dir / ("p-" + refused + ".png");
        test::writeBytes(keptFile, old);
        fs::create_directory(refusedFile);

        const test::CliResult result =
            runCli({"plot", arg(test::samplePath()), "--frame", "3", "-o", arg(dir / "p"), "-y"});
        EXPECT_EQ(result.exitCode, 1) << result.err;
        EXPECT_NE(result.err.find("output '" + arg(refusedFile) + "' is a directory"),
                  std::string::npos)
            << result.err;
        EXPECT_EQ(test::readBytes(keptFile), old);
        EXPECT_EQ(test::directoryNames(dir.path()),
                  (std::vector<std::string>{"p-spectrum.png", "p-time.png"}));
        fs::remove(refusedFile);
        fs::remove(keptFile);
    }
}

}  // namespace
}  // namespace zorvel

#else  // built without the chart drawing

TEST(Plot, IsReportedAsUnavailable) {
    const zorvel::test::CliResult result = zorvel::test::runCli(
        {"plot", zorvel::test::arg(zorvel::test::samplePath()), "--frame", "1"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("built without the chart drawing"), std::string::npos) << result.err;
}

#endif
