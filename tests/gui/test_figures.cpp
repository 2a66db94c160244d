// Figures: the plot placed unchanged on the page, the axes' numbers where the
// plots draw their grids, the legends of the shown traces in the window's
// order and colours, the title, and the overview strip's figure read back
// from its SVG.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QXmlStreamReader>

#include "plots/Canvas.h"
#include "plots/Figure.h"
#include "plots/OverviewColumns.h"
#include "plots/OverviewPicture.h"

namespace zorvel {
namespace {

FrameRecord clearedRecord() {
    FrameRecord r;
    clearFrameRecord(r);
    return r;
}

std::vector<int> positions(const FigureAxis& axis) {
    std::vector<int> at;
    for (const AxisTick& tick : axis.ticks) at.push_back(tick.at);
    return at;
}

QStringList numbers(const FigureAxis& axis) {
    QStringList texts;
    for (const AxisTick& tick : axis.ticks) texts << tick.text;
    return texts;
}

TEST(FigureAxes, TimeInMillisecondsOnTheSubframeGrid) {
    const FigureAxis two = timeAxis(kTimeImageWidth, true);
    EXPECT_EQ(two.caption, "czas [ms]");
    EXPECT_EQ(positions(two), (std::vector<int>{0, 122, 244, 366, 488, 610, 732, 854, 976}));
    EXPECT_EQ(numbers(two), QStringList({"-20", "-15", "-10", "-5", "0", "5", "10", "15", "20"}));
    const FigureAxis one = timeAxis(kTimeImageWidth, false);
    EXPECT_EQ(positions(one), (std::vector<int>{0, 244, 488, 732, 976}));
    EXPECT_EQ(numbers(one), QStringList({"0", "5", "10", "15", "20"}));
    const FigureAxis amplitude = amplitudeAxis(kTimeImageHeight, timeGainForScale(200, 233));
    EXPECT_EQ(positions(amplitude), (std::vector<int>{58, 116, 174}));
    EXPECT_EQ(numbers(amplitude), QStringList({"8156", "0", "-8156"}));
}

TEST(FigureAxes, FrequencyInKilohertzAndLevelInDecibelsOnTheSpectrumGrid) {
    const FigureAxis frequency = frequencyAxis(kSpectrumImageWidth);
    EXPECT_EQ(frequency.caption, "częstotliwość [kHz]");
    EXPECT_EQ(positions(frequency), (std::vector<int>{0, 149, 298, 447, 596}));
    EXPECT_EQ(numbers(frequency), QStringList({"0", "1", "2", "3", "4"}));
    const FigureAxis level = levelAxis(kSpectrumImageHeight, 1.0);
    EXPECT_EQ(level.caption, "poziom [dB]");
    EXPECT_EQ(positions(level), (std::vector<int>{328, 289, 249, 209, 169, 129, 89, 49, 9}));
    EXPECT_EQ(numbers(level),
              QStringList({"0", "40", "80", "120", "160", "200", "240", "280", "320"}));
    // Each number is the level spectrumY draws on its row.
    const FigureAxis doubled = levelAxis(kSpectrumImageHeight, 2.0);
    EXPECT_EQ(numbers(doubled).mid(1, 3), QStringList({"20", "40", "60"}));
    for (const AxisTick& tick : doubled.ticks) {
        if (tick.at < kSpectrumImageHeight - 1) {
            EXPECT_EQ(spectrumY(tick.text.toDouble(), 2.0, kSpectrumImageHeight), tick.at);
        }
    }
}

TEST(FigureAxes, FramesAndLanesOfTheStrip) {
    const FigureAxis frames = frameAxis(993, 283);
    EXPECT_EQ(frames.caption, "ramka");
    EXPECT_EQ(numbers(frames), QStringList({"1", "50", "100", "150", "200", "250"}));
    for (const AxisTick& tick : frames.ticks)
        EXPECT_EQ(overviewFrameAtX(tick.at, 993, 283), tick.text.toInt()) << tick.at;
    EXPECT_EQ(numbers(frameAxis(100, 7)), QStringList({"1", "2", "3", "4", "5", "6", "7"}));
    EXPECT_TRUE(frameAxis(100, 0).ticks.empty());
    // Each lane's top and bottom value, the numbers of neighbouring lanes apart.
    const FigureAxis lanes = laneAxis(96);
    EXPECT_EQ(lanes.ticks, (std::vector<AxisTick>{{1, "90", TickText::below},
                                                  {31, "20", TickText::above},
                                                  {33, "35", TickText::below},
                                                  {63, "-5", TickText::above},
                                                  {66, "143", TickText::below},
                                                  {95, "18", TickText::above}}));
    // A measure in the middle lane: its name, unit and range in place of the SNR's.
    const FigureAxis lsd = laneAxis(96, SpectralMeasure::lsdLp);
    EXPECT_EQ(lsd.caption, "E [dB], LSD-LP [dB], k");
    EXPECT_EQ(lsd.ticks[2], (AxisTick{33, "20", TickText::below}));
    EXPECT_EQ(lsd.ticks[3], (AxisTick{63, "0", TickText::above}));
    EXPECT_EQ(laneAxis(96, SpectralMeasure::llr).caption, "E [dB], LLR, k");
    const std::vector<LegendEntry> legend =
        overviewLegend(darkColours(), SpectralMeasure::cepstralDistance);
    EXPECT_EQ(legend[2].name, "CD: średnia ramek");
    EXPECT_EQ(legend[3].name, "CD: od najmniejszej do największej wartości");
    for (int lane = 0; lane < kOverviewLanes; ++lane) {
        const OverviewLane l = overviewLane(lane, 96);
        for (int row = l.bottom - l.span; row <= l.bottom; ++row)
            ASSERT_EQ(l.y(l.valueAt(row)), row) << "lane " << lane << " row " << row;
    }
}

TEST(FigureLegend, ShownTracesInTheWindowsOrderAndColours) {
    PlotOptions options;
    options.colours = lightColours();
    options.traces = {};
    options.traces.speech = false;
    options.traces.synthesized = false;
    options.traces.ltpResidual = true;
    options.traces.weighted = true;
    options.traces.postProcessed = true;
    const ChartColours& c = options.colours;
    options.twoFrames = true;
    EXPECT_EQ(timeLegend(options), (std::vector<LegendEntry>{{"sp(n)", c.postProcessed, false},
                                                             {"sw(n)", c.weighted, false},
                                                             {"resLTP", c.ltpResidual, false}}));
    // One frame of sp(n) shows the formant post-filter's output beside it, in red.
    options.twoFrames = false;
    EXPECT_EQ(timeLegend(options)[1],
              (LegendEntry{"sp(n) po filtrze formantowym", kPostFilterTraceColour, false}));
    options.spectra = {};
    options.spectra.speech = false;
    options.spectra.responseII = false;
    options.spectra.responseI = true;
    options.spectra.ltpResidual = true;
    EXPECT_EQ(spectrumLegend(options),
              (std::vector<LegendEntry>{{"|H(f)| <- a2", c.responseI, true},
                                        {"|ResLTP(f)|", c.ltpResidual, false}}));
    EXPECT_EQ(overviewLegend(c).size(), 5u);
    EXPECT_EQ(overviewLegend(c)[4].colour, c.overviewLag);
}

TEST(FigureTitle, NamesTheFileTheModeAndTheFrame) {
    EXPECT_EQ(figureTitle({"/tmp/x/mowa.wav", CoderMode::rate5_15, {}, 7}),
              "mowa.wav - tryb: 5.15 [kb/s] - ramka 7");
    EXPECT_EQ(figureTitle({"a.wav", CoderMode::rate12_2, {.adaptiveCodebook = false}, 0}),
              "a.wav - tryb: 12.2 [kb/s] bez słownika adaptacyjnego - ramka 0");
}

TEST(Figure, HoldsThePlotUnchangedOnAWhitePage) {
    PlotOptions options;
    options.timeGain = timeGainForScale(100, 101);
    FrameRecord current = clearedRecord();
    for (int n = 0; n < kFrameSamples; ++n) current.speech[n] = 300.0 * n - 20000.0;
    const Picture plot = describeTimePicture(320, 101, clearedRecord(), current, options);
    const FigureFrame frame{"tytuł", timeAxis(320, true), amplitudeAxis(101, options.timeGain),
                            timeLegend(options), options.colours.background};
    const Picture figure = describeFigure(plot, frame);
    const QImage image = pictureImage(figure);
    const QPoint origin = figurePlotOrigin(plot, frame);
    EXPECT_EQ(image.copy(QRect(origin, QSize(320, 101))), pictureImage(plot));
    // Room for the title and the caption above, the widest number on the left.
    const int line = QFontMetrics(canvasFont()).height();
    EXPECT_GT(origin.y(), 2 * line);
    for (const AxisTick& tick : frame.vertical.ticks)
        EXPECT_GT(origin.x(), canvasTextWidth(tick.text)) << tick.text.toStdString();
    EXPECT_EQ(image.pixel(1, 1), kFigurePageColour);
    EXPECT_EQ(image.pixel(image.width() - 1, image.height() - 1), kFigurePageColour);
    // The tick of "0" under the plot, four pixels down from its bottom edge.
    const int zeroX = origin.x() + timeGridX(4, 320, true);
    for (int dy = 0; dy < 4; ++dy)
        EXPECT_EQ(image.pixel(zeroX, origin.y() + 101 + dy), kFigureTextColour) << dy;
    // The 2x picture of the same description.
    EXPECT_EQ(pictureImage(figure, 2).size(), image.size() * 2);
}

TEST(Figure, ATitleWiderThanThePlotWidensThePageAndStaysOnIt) {
    const Picture plot{40, 30, {}};
    const QString title = "bardzo_dluga_nazwa_pliku.wav - tryb: 12.2 [kb/s] - ramka 100";
    const Picture figure = describeFigure(plot, FigureFrame{title, {}, {}, {}, 0xFF000000});
    const auto* text = std::get_if<PictureText>(&figure.items[1]);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->text, title);
    EXPECT_GE(text->x, 8);
    EXPECT_LE(text->x + text->cellWidth, figure.width - 8);
}

TEST(Figure, LegendWrapsIntoRowsAsWideAsThePlot) {
    PlotOptions options;
    options.traces = {true, true, true, true, true, true, true, true, true, true, true};
    const Picture narrow = describeTimePicture(200, 60, clearedRecord(), clearedRecord(), options);
    const Picture wide = describeTimePicture(977, 60, clearedRecord(), clearedRecord(), options);
    const auto frameOf = [&](int width) {
        return FigureFrame{"t", timeAxis(width, true), amplitudeAxis(60, 1.0), timeLegend(options),
                           options.colours.background};
    };
    const int line = QFontMetrics(canvasFont()).height();
    // Eleven entries: one row beside 977 pixels, several beside 200.
    const int extra =
        describeFigure(narrow, frameOf(200)).height - describeFigure(wide, frameOf(977)).height;
    EXPECT_GE(extra, 2 * line);
    // Every name lies under the plot, within its width.
    const Picture figure = describeFigure(narrow, frameOf(200));
    const QPoint origin = figurePlotOrigin(narrow, frameOf(200));
    QStringList names;
    for (const LegendEntry& entry : timeLegend(options)) names << entry.name;
    int legendTexts = 0;
    for (const PictureItem& item : figure.items) {
        const auto* text = std::get_if<PictureText>(&item);
        if (text == nullptr || !names.contains(text->text)) continue;
        ++legendTexts;
        EXPECT_GT(text->y, origin.y() + 60) << text->text.toStdString();
        EXPECT_GE(text->x, origin.x()) << text->text.toStdString();
        EXPECT_LE(text->x + text->cellWidth, origin.x() + 200) << text->text.toStdString();
    }
    EXPECT_EQ(legendTexts, 11);
}

TEST(Figure, OverviewSvgHasItsTitleAxesAndLegend) {
    std::vector<FrameSummary> summaries(30);
    const ChartColours colours = darkColours();
    const Picture strip = describeOverviewPicture(300, 96, summaries, 30, colours);
    const QByteArray svg = pictureSvg(
        describeOverviewFigure(strip, 30, colours, {"m.wav", CoderMode::rate7_40, {}, 12}));
    QStringList texts;
    QStringList strokes;  // of the last line before each text
    QString stroke;
    QXmlStreamReader xml(svg);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        if (xml.name() == QLatin1String("polyline"))
            stroke = xml.attributes().value("stroke").toString();
        if (xml.name() == QLatin1String("text")) {
            texts << xml.readElementText();
            strokes << stroke;
        }
    }
    ASSERT_FALSE(xml.hasError());
    ASSERT_FALSE(texts.isEmpty());
    EXPECT_EQ(texts.front(), "m.wav - tryb: 7.40 [kb/s] - ramka 12");
    for (const char* expected : {"E [dB]", "SNR", "k", "ramka", "E [dB], SNR [dB], k", "1", "5",
                                 "30", "90", "20", "35", "-5", "143", "18"})
        EXPECT_TRUE(texts.contains(expected)) << expected;
    const int lag = static_cast<int>(texts.indexOf("k: średnie opóźnienie podramek dźwięcznych"));
    ASSERT_GE(lag, 0);
    EXPECT_EQ(strokes[lag], QColor::fromRgb(colours.overviewLag).name());
    const int power = static_cast<int>(texts.indexOf("E: średnia"));
    ASSERT_GE(power, 0);
    EXPECT_EQ(strokes[power], QColor::fromRgb(colours.overviewPower).name());
}

}  // namespace
}  // namespace zorvel
