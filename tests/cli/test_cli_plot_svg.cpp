// zorvel-cli plot --svg, run as a process: the two SVG files are the figures
// of the chart window's pictures of the frame as vectors, the same
// description its PNG files are painted from, read back for their title,
// axes and legend.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/OffscreenQt.h"
#include "tests/TestSupport.h"
#include "tests/cli/CliRun.h"

#if __has_include(<QGuiApplication>)
#include <QGuiApplication>
#include <QSvgRenderer>
#include <QXmlStreamReader>

#include "coder/SpeechCoder.h"
#include "plots/Figure.h"
#include "plots/Plots.h"

namespace zorvel {
namespace {

using test::arg;
using test::runCli;
using test::TempDir;

int polylines(const QByteArray& svg) {
    QXmlStreamReader xml(svg);
    int count = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        count += xml.isStartElement() && xml.name() == QLatin1String("polyline");
    }
    EXPECT_FALSE(xml.hasError());
    return count;
}

TEST(PlotSvg, WritesBothPicturesAsTheirVectorDescription) {
    const TempDir dir;
    const test::CliResult result =
        runCli({"plot", arg(test::samplePath()), "--frame", "42", "--svg", "-o", arg(dir / "f42")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(test::directoryNames(dir.path()),
              (std::vector<std::string>{"f42-spectrum.svg", "f42-time.svg"}));
    const QByteArray time = QByteArray::fromStdString(test::readText(dir / "f42-time.svg"));
    const QByteArray spectrum = QByteArray::fromStdString(test::readText(dir / "f42-spectrum.svg"));
    EXPECT_TRUE(QSvgRenderer(time).isValid());
    EXPECT_TRUE(QSvgRenderer(spectrum).isValid());
    // Grid 7 + 3 and the traces s'(n), s(n); ticks of 9 times and 3
    // amplitudes; the legend's 2 lines. Grid 3 + 8, two responses of 40
    // dashes and |S(f)|; ticks of 5 frequencies and 9 levels; the legend's
    // line of |S(f)| and two dashes of each response.
    EXPECT_EQ(polylines(time), 12 + 12 + 2);
    EXPECT_EQ(polylines(spectrum), 92 + 14 + 5);

    SpeechCoder coder(test::samplePath(), CoderMode::rate12_2);
    ASSERT_EQ(coder.goToFrame(42), FrameStep::coded);
    PlotOptions options;
    options.timeGain = timeGainForScale(100.0, kTimeImageHeight);
    const FigureSubject subject{
        QString::fromStdString(test::samplePath().string()), CoderMode::rate12_2, {}, 42};
    EXPECT_EQ(time, pictureSvg(describeTimeFigure(kTimeImageWidth, kTimeImageHeight,
                                                  coder.previousFrame(), coder.currentFrame(),
                                                  options, subject)));
    EXPECT_EQ(spectrum, pictureSvg(describeSpectrumFigure(kSpectrumImageWidth, kSpectrumImageHeight,
                                                          coder.currentFrame(), options, subject)));
}

// The texts of an SVG document in order, each with its x and the stroke of
// the last line drawn before it (a legend entry's line precedes its name).
struct SvgTexts {
    QStringList texts;
    QStringList strokes;
    std::vector<double> xs;

    // The `count` texts from the first `first` on.
    QStringList run(const QString& first, int count) const {
        return texts.mid(texts.indexOf(first), count);
    }
    // The texts among `names` with the colours of their lines.
    QStringList legend(const QStringList& names) const {
        QStringList entries;
        for (qsizetype i = 0; i < texts.size(); ++i)
            if (names.contains(texts[i])) entries << texts[i] + " " + strokes[i];
        return entries;
    }
};

SvgTexts svgTexts(const std::filesystem::path& file) {
    SvgTexts svg;
    QString stroke;
    QXmlStreamReader xml(QByteArray::fromStdString(test::readText(file)));
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        if (xml.name() == QLatin1String("polyline"))
            stroke = xml.attributes().value("stroke").toString();
        if (xml.name() == QLatin1String("text")) {
            svg.xs.push_back(xml.attributes().value("x").toDouble());
            svg.strokes << stroke;
            svg.texts << xml.readElementText();
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return svg;
}

QString colourName(QRgb colour) { return QColor::fromRgb(colour).name(); }

TEST(PlotSvg, FiguresHaveATitleNumberedAxesWithUnitsAndALegendOfTheShownTraces) {
    const TempDir dir;
    const test::CliResult result =
        runCli({"plot", arg(test::samplePath()), "--frame", "57", "-m", "7.95", "--light", "--svg",
                "--time", "sw,s,gcc,resLTP", "--spectra", "aII,Sw,S'", "-o", arg(dir / "f")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const SvgTexts time = svgTexts(dir / "f-time.svg");
    const SvgTexts spectrum = svgTexts(dir / "f-spectrum.svg");
    const QString title = "mowa.wav - tryb: 7.95 [kb/s] - ramka 57";
    ASSERT_FALSE(time.texts.isEmpty());
    ASSERT_FALSE(spectrum.texts.isEmpty());
    EXPECT_EQ(time.texts.front(), title);
    EXPECT_EQ(spectrum.texts.front(), title);

    // Time: -20..20 ms left to right under the two frames, the current frame
    // starting at 0, then the grid lines' amplitudes left of the plot.
    EXPECT_EQ(time.run("-20", 12), QStringList({"-20", "-15", "-10", "-5", "0", "5", "10", "15",
                                                "20", "16313", "0", "-16313"}));
    const qsizetype first = time.texts.indexOf("-20");
    for (qsizetype i = first + 1; i < first + 9; ++i) EXPECT_GT(time.xs[i], time.xs[i - 1]);
    EXPECT_LT(time.xs[first + 9], time.xs[time.texts.indexOf("16313")]);  // the plot's own label
    EXPECT_FALSE(time.texts.contains("-0"));
    EXPECT_TRUE(time.texts.contains("czas [ms]"));
    EXPECT_TRUE(time.texts.contains("amplituda"));

    // The legend: the shown traces in the window's order, in the light colours.
    const ChartColours light = lightColours();
    EXPECT_EQ(
        time.legend({"s(n)", "s'(n)", "sp(n)", "sw(n)", "sw'(n)", "v(n)", "gp*y(n)", "gc*c(n)",
                     "u(n)", "resLP", "resLTP"}),
        QStringList({"s(n) " + colourName(light.speech), "sw(n) " + colourName(light.weighted),
                     "gc*c(n) " + colourName(light.algebraic),
                     "resLTP " + colourName(light.ltpResidual)}));

    // Spectrum: 0..4 kHz, levels every 40 dB from 0 up, and its three curves.
    EXPECT_EQ(spectrum.run("0", 14), QStringList({"0", "1", "2", "3", "4", "0", "40", "80", "120",
                                                  "160", "200", "240", "280", "320"}));
    EXPECT_TRUE(spectrum.texts.contains("częstotliwość [kHz]"));
    EXPECT_TRUE(spectrum.texts.contains("poziom [dB]"));
    EXPECT_EQ(spectrum.legend({"|S(f)|", "|S'(f)|", "|Sp(f)|", "|Sw(f)|", "|H(f)| <- a2",
                               "|H(f)| <- a4", "|ResLP(f)|", "|ResLTP(f)|"}),
              QStringList({"|S'(f)| " + colourName(light.synthesized),
                           "|Sw(f)| " + colourName(light.weighted),
                           "|H(f)| <- a4 " + colourName(light.responseII)}));
}

// The coding error and its spectrum, by their short names, in the legends.
TEST(PlotSvg, TheErrorTracesAndSpectraAreDrawnAndNamed) {
    const TempDir dir;
    const test::CliResult result =
        runCli({"plot", arg(test::samplePath()), "--frame", "40", "--svg", "--time", "s,e,ep",
                "--spectra", "E,Ep", "-o", arg(dir / "f")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const ChartColours dark = darkColours();
    const QStringList names{"s(n)", "e(n) = s(n) - s'(n)", "ep(n) = s(n) - sp(n)", "|E(f)|",
                            "|Ep(f)|"};
    EXPECT_EQ(svgTexts(dir / "f-time.svg").legend(names),
              QStringList({"s(n) " + colourName(dark.speech),
                           "e(n) = s(n) - s'(n) " + colourName(dark.error),
                           "ep(n) = s(n) - sp(n) " + colourName(dark.postProcessedError)}));
    EXPECT_EQ(svgTexts(dir / "f-spectrum.svg").legend(names),
              QStringList({"|E(f)| " + colourName(dark.error),
                           "|Ep(f)| " + colourName(dark.postProcessedError)}));
}

}  // namespace
}  // namespace zorvel
#endif
