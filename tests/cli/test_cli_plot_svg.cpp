// zorvel-cli plot --svg, run as a process: the two SVG files are the figures
// of the chart window's pictures of the frame as vectors, the same
// description its PNG files are painted from, read back for their title,
// axes and legend.
#include <gtest/gtest.h>

#include <algorithm>
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
    const FigureSubject subject{QString::fromStdString(test::samplePath().string()),
                                CoderMode::rate12_2, false, 42};
    EXPECT_EQ(time, pictureSvg(describeTimeFigure(kTimeImageWidth, kTimeImageHeight,
                                                  coder.previousFrame(), coder.currentFrame(),
                                                  options, subject)));
    EXPECT_EQ(spectrum, pictureSvg(describeSpectrumFigure(kSpectrumImageWidth, kSpectrumImageHeight,
                                                          coder.currentFrame(), options, subject)));
}

// The texts of an SVG document in order, each with the stroke of the last
// line drawn before it (a legend entry's line precedes its name).
struct SvgText {
    QString text;
    QString strokeBefore;
    double x = 0.0;
};

std::vector<SvgText> svgTexts(const QByteArray& svg) {
    std::vector<SvgText> texts;
    QString stroke;
    QXmlStreamReader xml(svg);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        if (xml.name() == QLatin1String("polyline"))
            stroke = xml.attributes().value("stroke").toString();
        if (xml.name() == QLatin1String("text")) {
            const double x = xml.attributes().value("x").toDouble();
            texts.push_back({xml.readElementText(), stroke, x});
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return texts;
}

std::vector<QString> textsOf(const std::vector<SvgText>& texts) {
    std::vector<QString> all;
    for (const SvgText& t : texts) all.push_back(t.text);
    return all;
}

bool has(const std::vector<QString>& texts, const QString& text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

// The legend's entries: the texts among `names`, with the colour of their line.
std::vector<std::pair<QString, QString>> legendOf(const std::vector<SvgText>& texts,
                                                  const std::vector<QString>& names) {
    std::vector<std::pair<QString, QString>> legend;
    for (const SvgText& t : texts)
        if (has(names, t.text)) legend.emplace_back(t.text, t.strokeBefore);
    return legend;
}

QString colourName(QRgb colour) { return QColor::fromRgb(colour).name(); }

const std::vector<QString> kTraceNames{"s(n)",    "s'(n)",   "sp(n)", "sw(n)", "sw'(n)", "v(n)",
                                       "gp*y(n)", "gc*c(n)", "u(n)",  "resLP", "resLTP"};
const std::vector<QString> kSpectrumNames{"|S(f)|",     "|S'(f)|",      "|Sp(f)|",
                                          "|Sw(f)|",    "|H(f)| <- a2", "|H(f)| <- a4",
                                          "|ResLP(f)|", "|ResLTP(f)|"};

TEST(PlotSvg, FiguresHaveATitleNumberedAxesWithUnitsAndALegendOfTheShownTraces) {
    const TempDir dir;
    const test::CliResult result =
        runCli({"plot", arg(test::samplePath()), "--frame", "57", "-m", "7.95", "--light", "--svg",
                "--time", "sw,s,gcc,resLTP", "--spectra", "aII,Sw,S'", "-o", arg(dir / "f")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto time = svgTexts(QByteArray::fromStdString(test::readText(dir / "f-time.svg")));
    const auto spectrum =
        svgTexts(QByteArray::fromStdString(test::readText(dir / "f-spectrum.svg")));
    const QString title = "mowa.wav - tryb: 7.95 [kb/s] - ramka 57";
    ASSERT_FALSE(time.empty());
    ASSERT_FALSE(spectrum.empty());
    EXPECT_EQ(time.front().text, title);
    EXPECT_EQ(spectrum.front().text, title);

    // Time: -20..20 ms under the two frames, the current frame starting at 0,
    // and the amplitudes of the grid lines left of the plot.
    const std::vector<QString> timeTexts = textsOf(time);
    for (const char* ms : {"-20", "-15", "-10", "-5", "0", "5", "10", "15", "20"})
        EXPECT_TRUE(has(timeTexts, ms)) << ms;
    EXPECT_FALSE(has(timeTexts, "-0"));
    EXPECT_TRUE(has(timeTexts, "czas [ms]"));
    EXPECT_TRUE(has(timeTexts, "amplituda"));
    // 16313 twice: inside the plot (as the window shows it) and on the axis, further left.
    std::vector<double> amplitudeXs;
    for (const SvgText& t : time)
        if (t.text == "16313") amplitudeXs.push_back(t.x);
    ASSERT_EQ(amplitudeXs.size(), 2u);
    EXPECT_LT(amplitudeXs[1], amplitudeXs[0]);

    // The legend: the shown traces in the window's order, in the light colours.
    const ChartColours light = lightColours();
    EXPECT_EQ(legendOf(time, kTraceNames), (std::vector<std::pair<QString, QString>>{
                                               {"s(n)", colourName(light.speech)},
                                               {"sw(n)", colourName(light.weighted)},
                                               {"gc*c(n)", colourName(light.algebraic)},
                                               {"resLTP", colourName(light.ltpResidual)}}));

    // Spectrum: 0..4 kHz, levels every 40 dB from 0, and its three curves.
    const std::vector<QString> spectrumTexts = textsOf(spectrum);
    for (const char* kHz : {"0", "1", "2", "3", "4"}) EXPECT_TRUE(has(spectrumTexts, kHz)) << kHz;
    for (int level = 0; level <= 320; level += 40)
        EXPECT_TRUE(has(spectrumTexts, QString::number(level))) << level;
    EXPECT_FALSE(has(spectrumTexts, "360"));
    EXPECT_TRUE(has(spectrumTexts, "częstotliwość [kHz]"));
    EXPECT_TRUE(has(spectrumTexts, "poziom [dB]"));
    EXPECT_EQ(
        legendOf(spectrum, kSpectrumNames),
        (std::vector<std::pair<QString, QString>>{{"|S'(f)|", colourName(light.synthesized)},
                                                  {"|Sw(f)|", colourName(light.weighted)},
                                                  {"|H(f)| <- a4", colourName(light.responseII)}}));
}

}  // namespace
}  // namespace zorvel
#endif
