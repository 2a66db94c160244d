// Pictures: a chart image described once as primitives and given two outputs.
// Painting the description gives exactly the pixels of drawing on the image
// directly; the SVG output holds the same polylines, rectangles and texts, in
// the same colours, and reads back through an XML parser and Qt's SVG
// renderer; the 2x output doubles every coordinate and pen.
#include <gtest/gtest.h>

#include <QSvgRenderer>
#include <QXmlStreamReader>
#include <random>

#include "coder/SpeechCoder.h"
#include "plots/Canvas.h"
#include "plots/Picture.h"
#include "plots/Plots.h"
#include "plots/QuantiserChart.h"
#include "plots/SweepChart.h"
#include "tests/OffscreenQt.h"
#include "tests/TestSupport.h"

namespace zorvel {
namespace {

// The elements of an SVG document as an XML parser reads them.
struct SvgElement {
    QString name;
    QXmlStreamAttributes attributes;
    QString text;  // of a <text>
};

std::vector<SvgElement> svgElements(const QByteArray& svg) {
    std::vector<SvgElement> elements;
    QXmlStreamReader xml(svg);
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            elements.push_back({xml.name().toString(), xml.attributes(), {}});
            if (xml.name() == QLatin1String("text")) elements.back().text = xml.readElementText();
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return elements;
}

int countNamed(const std::vector<SvgElement>& elements, const char* name) {
    return static_cast<int>(std::count_if(elements.begin(), elements.end(),
                                          [&](const SvgElement& e) { return e.name == name; }));
}

// Both direct drawing and the picture path for the chart images.
QImage drawTimeDirectly(const FrameRecord& previous, const FrameRecord& current,
                        const PlotOptions& options) {
    QImage image = newChartImage(kTimeImageWidth, kTimeImageHeight);
    Canvas canvas(image);
    clearImage(canvas, options.colours);
    drawTimeGrid(canvas, options.twoFrames, options.timeGain, options.colours);
    drawTimeTraces(canvas, previous, current, options);
    return image;
}

QImage drawSpectrumDirectly(const FrameRecord& current, const PlotOptions& options) {
    QImage image = newChartImage(kSpectrumImageWidth, kSpectrumImageHeight);
    Canvas canvas(image);
    clearImage(canvas, options.colours);
    drawSpectrumGrid(canvas, options.colours);
    drawSpectra(canvas, current, options);
    return image;
}

PlotOptions everything(bool twoFrames, bool light, double scalePercent) {
    PlotOptions o;
    o.traces = {true, true, true, true, true, true, true, true, true, true, true};
    o.spectra = {true, true, true, true, true, true, true, true};
    o.twoFrames = twoFrames;
    o.timeGain = timeGainForScale(scalePercent, kTimeImageHeight);
    o.colours = light ? lightColours() : darkColours();
    return o;
}

// ---------------------------------------------------------------------------
// One description, painted: the same pixels as drawing directly

TEST(PicturePainting, RandomPrimitivesPaintAsOnTheCanvas) {
    const std::uint32_t seed = test::testSeed();
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> coordinate(-30, 130);
    std::uniform_int_distribution<int> small(1, 4);
    std::uniform_int_distribution<QRgb> colour(0, 0xFFFFFF);
    for (int round = 0; round < 20; ++round) {
        QImage direct = newChartImage(100, 80);
        Picture picture{100, 80, {}};
        {
            Canvas a(direct);
            Canvas b(picture);
            for (int step = 0; step < 60; ++step) {
                const int kind = small(rng);
                const QRgb c = 0xFF000000 | colour(rng);
                const int x = coordinate(rng);
                const int y = coordinate(rng);
                for (Canvas* canvas : {&a, &b}) {
                    canvas->setPenColour(c);
                    canvas->setBrushColour(~c | 0xFF000000);
                    canvas->setFontColour(c);
                }
                const int w = small(rng);
                if (kind == 1) {
                    a.moveTo(x, y), b.moveTo(x, y);
                } else if (kind == 2) {
                    a.setPenWidth(w), b.setPenWidth(w);
                    a.lineTo(x, y), b.lineTo(x, y);
                } else if (kind == 3) {
                    a.rectangle(x, y, x + 5 * w, y + 3 * w),
                        b.rectangle(x, y, x + 5 * w, y + 3 * w);
                } else {
                    a.setOpaqueText(w % 2 == 0), b.setOpaqueText(w % 2 == 0);
                    a.textOut(x, y, QStringLiteral("%1 dB").arg(x)),
                        b.textOut(x, y, QStringLiteral("%1 dB").arg(x));
                }
            }
        }
        EXPECT_EQ(pictureImage(picture), direct) << "seed " << seed << ", round " << round;
    }
}

class ChartPictures : public ::testing::TestWithParam<int> {};

// Frames of the sample in one mode, every box on, both views, both schemes.
TEST_P(ChartPictures, PaintAsTheDirectDrawingOfTheWindow) {
    SpeechCoder coder(test::samplePath(), test::modeNumbered(GetParam()));
    for (int frame : {1, 2, 42, 120}) {
        ASSERT_EQ(coder.goToFrame(frame), FrameStep::coded);
        for (bool two : {true, false}) {
            const PlotOptions o = everything(two, frame % 2 == 0, frame == 42 ? 400.0 : 100.0);
            const Picture time = describeTimePicture(
                kTimeImageWidth, kTimeImageHeight, coder.previousFrame(), coder.currentFrame(), o);
            EXPECT_EQ(pictureImage(time),
                      drawTimeDirectly(coder.previousFrame(), coder.currentFrame(), o))
                << "frame " << frame << (two ? ", two frames" : ", one frame");
            const Picture spectrum = describeSpectrumPicture(
                kSpectrumImageWidth, kSpectrumImageHeight, coder.currentFrame(), o);
            EXPECT_EQ(pictureImage(spectrum), drawSpectrumDirectly(coder.currentFrame(), o))
                << "frame " << frame;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, ChartPictures, ::testing::Values(1, 5, 8));

// ---------------------------------------------------------------------------
// The SVG output

// Frame 42 of the sample in mode 12.2 with the window's start state.
class Frame42 : public ::testing::Test {
  protected:
    Frame42() : coder(test::samplePath(), CoderMode::rate12_2) {
        EXPECT_EQ(coder.goToFrame(42), FrameStep::coded);
        options.timeGain = timeGainForScale(100.0, kTimeImageHeight);
    }
    SpeechCoder coder;
    PlotOptions options;  // s, s'; S, aI, aII; two frames; dark
};

TEST_F(Frame42, TimeSvgHoldsTheGridAndOnePolylinePerTrace) {
    const Picture picture = describeTimePicture(
        kTimeImageWidth, kTimeImageHeight, coder.previousFrame(), coder.currentFrame(), options);
    const QByteArray svg = pictureSvg(picture);
    const std::vector<SvgElement> elements = svgElements(svg);
    // 7 subframe lines, 3 amplitude lines, s'(n) and s(n) over both frames.
    EXPECT_EQ(countNamed(elements, "polyline"), 7 + 3 + 2);
    // The outline, then a cell behind each of 3 labels, 2 captions and "[ms]".
    EXPECT_EQ(countNamed(elements, "rect"), 1 + 6);
    EXPECT_EQ(countNamed(elements, "text"), 6);
    EXPECT_EQ(countItems(picture).polylines, 12);

    std::vector<QString> texts;
    for (const SvgElement& e : elements)
        if (e.name == "text") texts.push_back(e.text);
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Poprzednia ramka"), texts.end());
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Bieżąca ramka"), texts.end());
    EXPECT_NE(std::find(texts.begin(), texts.end(), "[ms]"), texts.end());

    // The last polyline is s(n): 320 points through the pixel centres of the
    // window's mapping, in the trace's colour.
    const SvgElement* speech = nullptr;
    for (const SvgElement& e : elements)
        if (e.name == "polyline") speech = &e;
    ASSERT_NE(speech, nullptr);
    EXPECT_EQ(speech->attributes.value("stroke").toString(),
              QColor::fromRgb(options.colours.speech).name());
    const QStringList points = speech->attributes.value("points").toString().split(' ');
    ASSERT_EQ(points.size(), 2 * kFrameSamples);
    for (int i : {0, 1, 159, 160, 161, 319}) {
        const double value = i < kFrameSamples ? coder.previousFrame().speech[i]
                                               : coder.currentFrame().speech[i - kFrameSamples];
        const QString expected = QStringLiteral("%1,%2")
                                     .arg(traceX(i, kTimeImageWidth, 2 * kFrameSamples) + 0.5)
                                     .arg(timeY(value, options.timeGain, kTimeImageHeight) + 0.5);
        EXPECT_EQ(points[i], expected) << "point " << i;
    }
    QSvgRenderer renderer(svg);
    EXPECT_TRUE(renderer.isValid());
    EXPECT_EQ(renderer.defaultSize(), QSize(kTimeImageWidth, kTimeImageHeight));
}

TEST_F(Frame42, SpectrumSvgHoldsTheGridTheDashedResponsesAndTheCurve) {
    const Picture picture = describeSpectrumPicture(kSpectrumImageWidth, kSpectrumImageHeight,
                                                    coder.currentFrame(), options);
    const QByteArray svg = pictureSvg(picture);
    const std::vector<SvgElement> elements = svgElements(svg);
    // 1, 2, 3 kHz; level lines at 40, 80, ..., 320 pixels (H = 329); two
    // responses of 40 dashes each; |S(f)| as one polyline of 80 points.
    EXPECT_EQ(countNamed(elements, "polyline"), 3 + 8 + 40 + 40 + 1);
    int dashes = 0;
    for (const SvgElement& e : elements) {
        if (e.name != "polyline") continue;
        const auto n = e.attributes.value("points").toString().split(' ').size();
        if (e.attributes.value("stroke").toString() ==
            QColor::fromRgb(options.colours.speech).name()) {
            EXPECT_EQ(n, kSpectrumBins);
        }
        if (e.attributes.value("stroke").toString() ==
            QColor::fromRgb(options.colours.responseI).name()) {
            EXPECT_EQ(n, 2);
            ++dashes;
        }
    }
    EXPECT_EQ(dashes, 40);
    EXPECT_TRUE(QSvgRenderer(svg).isValid());
}

TEST_F(Frame42, SvgDrawsWhatThePngShows) {
    // Qt's renderer paints the SVG antialiased: most pixels that the exact
    // rasteriser paints in the trace colour are near that colour there too.
    options.traces = {true, false, false, false, false, false, false, false, false, false, false};
    const Picture picture = describeTimePicture(
        kTimeImageWidth, kTimeImageHeight, coder.previousFrame(), coder.currentFrame(), options);
    const QImage exact = pictureImage(picture);
    QImage rendered(kTimeImageWidth, kTimeImageHeight, QImage::Format_RGB32);
    rendered.fill(Qt::black);
    {
        QPainter painter(&rendered);
        QSvgRenderer(pictureSvg(picture)).render(&painter);
    }
    const QColor speech = QColor::fromRgb(options.colours.speech);
    int painted = 0;
    int near = 0;
    for (int y = 1; y < kTimeImageHeight - 1; ++y)
        for (int x = 1; x < kTimeImageWidth - 1; ++x) {
            if (exact.pixel(x, y) != options.colours.speech) continue;
            ++painted;
            const QColor c = QColor::fromRgb(rendered.pixel(x, y));
            near += std::abs(c.red() - speech.red()) + std::abs(c.green() - speech.green()) +
                        std::abs(c.blue() - speech.blue()) <
                    200;
        }
    ASSERT_GT(painted, 300);
    EXPECT_GT(near, painted * 7 / 10) << near << " of " << painted;
}

TEST(PictureSvg, OnlyOpaqueTextsHaveACell) {
    Picture picture{60, 40, {}};
    {
        Canvas canvas(picture);
        canvas.setBrushColour(0xFF102030);
        canvas.setFontColour(0xFF808080);
        canvas.textOut(2, 3, QStringLiteral("SNR"));
        canvas.setOpaqueText(false);
        canvas.textOut(2, 20, QStringLiteral("k"));
    }
    const std::vector<SvgElement> elements = svgElements(pictureSvg(picture));
    std::vector<QString> names;
    for (const SvgElement& e : elements) names.push_back(e.name);
    EXPECT_EQ(names, (std::vector<QString>{"svg", "rect", "text", "text"}));
    EXPECT_EQ(elements[1].attributes.value("fill").toString(), "#102030");
    EXPECT_EQ(elements[3].text, "k");
    EXPECT_EQ(elements[3].attributes.value("fill").toString(), "#808080");
}

// ---------------------------------------------------------------------------
// 2x

TEST(PictureScale, DoublesCoordinatesAndPens) {
    Picture picture{20, 10, {}};
    {
        Canvas canvas(picture);
        canvas.setPenColour(0xFFFF0000);
        canvas.moveTo(2, 3);
        canvas.lineTo(12, 3);
        canvas.setPenColour(0xFF00FF00);
        canvas.setBrushColour(0xFF0000FF);
        canvas.rectangle(14, 2, 19, 8);
    }
    const QImage once = pictureImage(picture, 1);
    const QImage twice = pictureImage(picture, 2);
    ASSERT_EQ(twice.size(), QSize(40, 20));
    // Every pixel of the picture becomes a 2 x 2 block of the same colour,
    // except that the last 2-pixel block of the doubled line (its walk has 20
    // steps) reaches into the left half of the excluded end pixel.
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x)
            for (int dy : {0, 1})
                for (int dx : {0, 1}) {
                    const bool lineEnd = x == 12 && y == 3 && dx == 0;
                    EXPECT_EQ(twice.pixel(2 * x + dx, 2 * y + dy),
                              lineEnd ? 0xFFFF0000 : once.pixel(x, y))
                        << "(" << x << ", " << y << ") + (" << dx << ", " << dy << ")";
                }
}

// ---------------------------------------------------------------------------
// The sweep chart

SweepRow sweepFigures() {
    SweepRow row;
    for (int m = 1; m <= kModeCount; ++m)
        row[m - 1] = {kAllCoderModes[m - 1], 100, 3.0 + m, 6.5 + 0.5 * m, 1.0, 1.0, std::nullopt};
    return row;
}

TEST(SweepChart, HasLabelledAxesALegendAndOneLinePerMeasure) {
    const SweepRow figures = sweepFigures();
    const std::vector<SvgElement> elements =
        svgElements(pictureSvg(describeSweepChart(figures, QStringLiteral("mowa.wav"))));
    std::vector<QString> texts;
    for (const SvgElement& e : elements)
        if (e.name == "text") texts.push_back(e.text);
    for (const QString& label :
         {kSweepRateAxisLabel, kSweepSnrAxisLabel, kSweepSegmentalLegend, kSweepOverallLegend,
          QStringLiteral("mowa.wav"), QStringLiteral("4"), QStringLiteral("13")})
        EXPECT_NE(std::find(texts.begin(), texts.end(), label), texts.end()) << label.toStdString();
    int eightPointLines = 0;
    for (const SvgElement& e : elements)
        if (e.name == "polyline" && e.attributes.value("points").toString().split(' ').size() == 8)
            ++eightPointLines;
    EXPECT_EQ(eightPointLines, 2);
}

TEST(SweepChart, SnrAxisCoversEveryValueInWholeSteps) {
    const SnrAxis small = snrAxis(sweepFigures());  // 4.0 .. 11.0 dB
    EXPECT_EQ(small.step, 2.0);
    EXPECT_EQ(small.lowest, 4.0);
    EXPECT_EQ(small.highest, 12.0);
    SweepRow wide = sweepFigures();
    wide[0].overallSnr = 21.3;
    wide[7].segmentalSnr = -1.2;
    const SnrAxis large = snrAxis(wide);
    EXPECT_EQ(large.step, 5.0);
    EXPECT_EQ(large.lowest, -5.0);
    EXPECT_EQ(large.highest, 25.0);
    SweepRow flat{};
    const SnrAxis none = snrAxis(flat);
    EXPECT_LT(none.lowest, none.highest);
}

// ---------------------------------------------------------------------------
// The quantiser chart

// A budget's or a design's statistics over `frames` frames of which `outliers`
// lie at 3 dB and `large` at 5 dB, the rest at `sd` dB.
LsfDistortion distortion(const LsfQuantiserDesign& design, double sd, int outliers, int large) {
    LsfDistortion d{design, {}, {}};
    for (SpectralDistortionStatistics* s : {&d.setI, &d.set}) {
        if (s == &d.setI && !design.twoSets) continue;
        for (int n = 0; n < 100 - outliers - large; ++n) s->add(sd);
        for (int n = 0; n < outliers; ++n) s->add(3.0);
        for (int n = 0; n < large; ++n) s->add(5.0);
    }
    return d;
}

TEST(QuantiserChart, DrawsEachBudgetLineTheModesAndTheTransparencyLines) {
    std::vector<LsfDistortion> budgets;
    for (int bits = 20; bits <= 32; bits += 4)
        budgets.push_back(distortion(lsfBudgetDesign(bits), 2.0 - bits / 32.0, 5, 1));
    std::vector<LsfDistortion> modes;
    for (const LsfQuantiserDesign& design : kLsfQuantiserDesigns)
        modes.push_back(distortion(design, 0.9, 1, 0));
    const std::vector<SvgElement> elements =
        svgElements(pictureSvg(describeQuantiserChart(budgets, modes, QStringLiteral("held.txt"))));
    std::vector<QString> texts;
    for (const SvgElement& e : elements)
        if (e.name == "text") texts.push_back(e.text);
    for (const QString& label :
         {kQuantiserBitsLabel, kQuantiserMeanLabel, kQuantiserShareLabel, kQuantiserBudgetLegend,
          kQuantiserModesLegend, kQuantiserTransparentLegend, kQuantiserOutlierLegend,
          kQuantiserLargeLegend, QStringLiteral("held.txt"), QStringLiteral("12.2 I"),
          QStringLiteral("12.2 II"), QStringLiteral("10.2 7.40 6.70 5.90"),
          QStringLiteral("5.15 4.75"), QStringLiteral("7.95"), QStringLiteral("20"),
          QStringLiteral("36")})
        EXPECT_NE(std::find(texts.begin(), texts.end(), label), texts.end()) << label.toStdString();
    // The mean and the two shares, one line of the four budgets each.
    int fourPointLines = 0;
    for (const SvgElement& e : elements)
        if (e.name == "polyline" && e.attributes.value("points").toString().split(' ').size() == 4)
            ++fourPointLines;
    EXPECT_EQ(fourPointLines, 3);

    // The bits axis: a bit beyond the fewest and the most, budgets and
    // designs alike.
    const BitsAxis axis = bitsAxis(budgets, modes);
    EXPECT_EQ(axis.lowest, 19);
    EXPECT_EQ(axis.highest, 39);
    const std::vector<LsfDistortion> wide{distortion(lsfBudgetDesign(18), 1.0, 0, 0),
                                          distortion(lsfBudgetDesign(40), 0.5, 0, 0)};
    const BitsAxis wideAxis = bitsAxis(wide, modes);
    EXPECT_EQ(wideAxis.lowest, 17);
    EXPECT_EQ(wideAxis.highest, 41);
}

}  // namespace
}  // namespace zorvel
