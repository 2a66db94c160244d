// Plot drawing on QImages: the canvas's pixel rules, the value-to-pixel
// mappings, and the time and spectrum images rendered from hand-made frame
// records in the chart window's image sizes.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QPainter>
#include <cmath>
#include <numbers>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "plots/Canvas.h"
#include "plots/Plots.h"
#include "tests/OffscreenQt.h"
#include "tests/TestSupport.h"

// Readable QStrings in failure messages.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

namespace zorvel {
namespace {

constexpr int W = kTimeImageWidth;        // 977
constexpr int H = kTimeImageHeight;       // 233
constexpr int SW = kSpectrumImageWidth;   // 598
constexpr int SH = kSpectrumImageHeight;  // 329
const double kGain100 = 233.0 / 65536.0;  // timeGain at scale 100

FrameRecord clearedRecord() {
    FrameRecord r;
    clearFrameRecord(r);
    return r;
}

Signal constantSignal(double v) {
    Signal s;
    s.fill(v);
    return s;
}

std::string hex(QRgb c) {
    char text[16];
    std::snprintf(text, sizeof text, "#%06X", c & 0xFFFFFFu);
    return text;
}

// Pixels of `image` within `rect` that have colour `c`.
int countColour(const QImage& image, QRgb c, QRect rect) {
    rect = rect.intersected(image.rect());
    int n = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) n += image.pixel(x, y) == c;
    }
    return n;
}

int countColour(const QImage& image, QRgb c) { return countColour(image, c, image.rect()); }

// Options with every trace and curve off.
PlotOptions nothingShown() {
    PlotOptions o;
    o.traces = {false, false, false, false, false, false, false, false, false, false, false};
    o.spectra = {false, false, false, false, false, false, false, false};
    o.timeGain = kGain100;
    return o;
}

QImage renderTime(const FrameRecord& previous, const FrameRecord& current,
                  const PlotOptions& options, int width = W, int height = H) {
    QImage image = newChartImage(width, height);
    renderTimeImage(image, previous, current, options);
    return image;
}

QImage renderSpectrum(const FrameRecord& current, const PlotOptions& options) {
    QImage image = newChartImage(SW, SH);
    renderSpectrumImage(image, current, options);
    return image;
}

// ---------------------------------------------------------------------------
// Canvas

struct LineCase {
    int x0, y0, x1, y1;
};

class CanvasLine : public ::testing::TestWithParam<LineCase> {};

// Every line: one pixel per step of the major axis, starting on the start
// point, never on the end point, each within half a pixel of the ideal line.
TEST_P(CanvasLine, IncludesStartExcludesEndAndFollowsTheIdealLine) {
    const LineCase c = GetParam();
    QImage image = newChartImage(40, 30);
    image.fill(Qt::black);
    {
        Canvas canvas(image);
        canvas.setPenColour(qRgb(255, 255, 255));
        canvas.moveTo(c.x0, c.y0);
        canvas.lineTo(c.x1, c.y1);
    }
    const int dx = c.x1 - c.x0;
    const int dy = c.y1 - c.y0;
    const int n = std::max(std::abs(dx), std::abs(dy));
    const QRgb white = qRgb(255, 255, 255);
    EXPECT_EQ(countColour(image, white), n);
    if (n == 0) return;
    EXPECT_EQ(image.pixel(c.x0, c.y0), white) << "start pixel";
    EXPECT_NE(image.pixel(c.x1, c.y1), white) << "end pixel";
    const bool xMajor = std::abs(dx) >= std::abs(dy);
    for (int i = 0; i < n; ++i) {
        // The ideal minor coordinate at major step i, and the painted one.
        const double t = static_cast<double>(i) / n;
        const double ideal = xMajor ? c.y0 + t * dy : c.x0 + t * dx;
        int found = 0;
        for (int m = 0; m < (xMajor ? 30 : 40); ++m) {
            const int major = (xMajor ? c.x0 + (dx > 0 ? i : -i) : c.y0 + (dy > 0 ? i : -i));
            const QRgb p = xMajor ? image.pixel(major, m) : image.pixel(m, major);
            if (p != white) continue;
            ++found;
            EXPECT_LE(std::abs(m - ideal), 0.5) << "step " << i << " minor " << m;
        }
        EXPECT_EQ(found, 1) << "step " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Octants, CanvasLine,
    ::testing::Values(LineCase{2, 5, 8, 5}, LineCase{8, 5, 2, 5}, LineCase{5, 2, 5, 20},
                      LineCase{5, 20, 5, 2}, LineCase{1, 1, 30, 9}, LineCase{30, 9, 1, 1},
                      LineCase{1, 25, 30, 3}, LineCase{3, 1, 9, 28}, LineCase{9, 28, 3, 1},
                      LineCase{20, 3, 4, 27}, LineCase{0, 0, 29, 29}, LineCase{10, 10, 11, 11},
                      LineCase{10, 10, 11, 10}, LineCase{10, 10, 10, 10}, LineCase{0, 0, 39, 1}));

// A line clipped by a small image paints what the same line paints on a large
// image that holds it whole, cut to the small image.
TEST(Canvas, ClippingKeepsThePixelsOfTheWholeLine) {
    const std::uint32_t seed = test::testSeed();
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> coordinate(-200, 240);
    constexpr int kOffset = 200;
    for (int trial = 0; trial < 200; ++trial) {
        const int x0 = coordinate(random), y0 = coordinate(random);
        const int x1 = coordinate(random), y1 = coordinate(random);
        const int width = 1 + trial % 2;
        QImage small = newChartImage(40, 30);
        QImage large = newChartImage(440 + 2, 430 + 2);
        small.fill(Qt::black);
        large.fill(Qt::black);
        for (auto [image, shift] : {std::pair{&small, 0}, std::pair{&large, kOffset}}) {
            Canvas canvas(*image);
            canvas.setPenWidth(width);
            canvas.setPenColour(qRgb(255, 255, 255));
            canvas.moveTo(x0 + shift, y0 + shift);
            canvas.lineTo(x1 + shift, y1 + shift);
        }
        for (int y = 0; y < 30; ++y) {
            for (int x = 0; x < 40; ++x) {
                ASSERT_EQ(small.pixel(x, y), large.pixel(x + kOffset, y + kOffset))
                    << "seed " << seed << " line (" << x0 << "," << y0 << ")-(" << x1 << "," << y1
                    << ") width " << width << " at (" << x << "," << y << ")";
            }
        }
    }
}

TEST(Canvas, FarEndpointsAreClippedNotWrapped) {
    QImage image = newChartImage(40, 30);
    image.fill(Qt::black);
    {
        Canvas canvas(image);
        canvas.setPenColour(qRgb(255, 255, 255));
        canvas.moveTo(-3000000000LL, 5);
        canvas.lineTo(3000000000LL, 5);
        canvas.moveTo(7, 100000000);
        canvas.lineTo(7, -100000000);
    }
    const QRgb white = qRgb(255, 255, 255);
    EXPECT_EQ(countColour(image, white, QRect(0, 5, 40, 1)), 40);
    EXPECT_EQ(countColour(image, white, QRect(7, 0, 1, 30)), 30);
    EXPECT_EQ(countColour(image, white), 40 + 30 - 1);
}

TEST(Canvas, WidePenPaintsBlocksLeftOfAndAboveEachPixel) {
    QImage image = newChartImage(40, 30);
    image.fill(Qt::black);
    {
        Canvas canvas(image);
        canvas.setPenWidth(2);
        canvas.setPenColour(qRgb(255, 255, 255));
        canvas.moveTo(10, 20);
        canvas.lineTo(10, 10);
    }
    const QRgb white = qRgb(255, 255, 255);
    // Pixels y = 20..11 as 2 x 2 blocks covering x 9..10, y 10..20.
    EXPECT_EQ(countColour(image, white, QRect(9, 10, 2, 11)), 22);
    EXPECT_EQ(countColour(image, white), 22);
}

// Horizontal and vertical lines, clipped or not: exactly the w x w blocks of
// their steps, start included, end excluded.
TEST(Canvas, AxisParallelLinesPaintTheBlocksOfEveryStep) {
    struct Run {
        int x0, y0, x1, y1;
    };
    const Run runs[] = {{-5, 7, 50, 7}, {30, 7, 2, 7},    {10, -4, 10, 40}, {12, 25, 12, 3},
                        {0, 0, 40, 0},  {39, 29, 39, -1}, {5, -1, 20, -1},  {3, 30, 3, 35}};
    const QRgb white = qRgb(255, 255, 255);
    for (int width = 1; width <= 3; ++width) {
        for (const Run& r : runs) {
            QImage image = newChartImage(40, 30);
            image.fill(Qt::black);
            {
                Canvas canvas(image);
                canvas.setPenWidth(width);
                canvas.setPenColour(white);
                canvas.moveTo(r.x0, r.y0);
                canvas.lineTo(r.x1, r.y1);
            }
            QImage expected = newChartImage(40, 30);
            expected.fill(Qt::black);
            const int n = std::max(std::abs(r.x1 - r.x0), std::abs(r.y1 - r.y0));
            const int sx = (r.x1 > r.x0) - (r.x1 < r.x0);
            const int sy = (r.y1 > r.y0) - (r.y1 < r.y0);
            for (int i = 0; i < n; ++i) {
                const int cx = r.x0 + i * sx - width / 2;
                const int cy = r.y0 + i * sy - width / 2;
                for (int y = cy; y < cy + width; ++y)
                    for (int x = cx; x < cx + width; ++x)
                        if (expected.rect().contains(x, y)) expected.setPixel(x, y, white);
            }
            EXPECT_EQ(image, expected) << "width " << width << " (" << r.x0 << "," << r.y0 << ")-("
                                       << r.x1 << "," << r.y1 << ")";
        }
    }
}

TEST(Canvas, RectangleFillsWithBrushAndOutlinesWithPen) {
    QImage image = newChartImage(20, 10);
    image.fill(Qt::black);
    {
        Canvas canvas(image);
        canvas.setPenColour(qRgb(255, 255, 255));
        canvas.setBrushColour(qRgb(1, 2, 3));
        canvas.rectangle(2, 1, 12, 8);
    }
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 20; ++x) {
            const bool inside = x >= 2 && x < 12 && y >= 1 && y < 8;
            const bool edge = inside && (x == 2 || x == 11 || y == 1 || y == 7);
            const QRgb expected =
                edge ? qRgb(255, 255, 255) : (inside ? qRgb(1, 2, 3) : qRgb(0, 0, 0));
            ASSERT_EQ(image.pixel(x, y), expected) << "(" << x << "," << y << ")";
        }
    }
}

// Text lands with its cell's top-left corner at the given point, on the brush
// colour, exactly as a plain QPainter draws it with the canvas font.
void expectTextAt(const QImage& image, int x, int y, const QString& text, QRgb background,
                  QRgb ink) {
    const QFontMetrics metrics(canvasFont());
    const QRect cell(x, y, metrics.horizontalAdvance(text), metrics.height());
    QImage reference = newChartImage(image.width(), image.height());
    reference.fill(background);
    {
        QPainter painter(&reference);
        painter.setRenderHint(QPainter::TextAntialiasing, false);
        painter.setFont(canvasFont());
        painter.setPen(QColor::fromRgb(ink));
        painter.drawText(x, y + metrics.ascent(), text);
    }
    ASSERT_GT(countColour(reference, ink, cell), 0) << text.toStdString();
    for (int py = cell.top(); py <= cell.bottom(); ++py) {
        for (int px = cell.left(); px <= cell.right(); ++px) {
            ASSERT_EQ(hex(image.pixel(px, py)), hex(reference.pixel(px, py)))
                << "text \"" << text.toStdString() << "\" at (" << px << "," << py << ")";
        }
    }
}

TEST(Canvas, TextIsOpaqueOnTheBrushColour) {
    QImage image = newChartImage(100, 30);
    image.fill(qRgb(9, 9, 9));
    {
        Canvas canvas(image);
        canvas.setBrushColour(qRgb(0, 0, 0));
        canvas.setFontColour(qRgb(0x80, 0x80, 0x80));
        canvas.textOut(4, 5, "16313");
    }
    expectTextAt(image, 4, 5, "16313", qRgb(0, 0, 0), qRgb(0x80, 0x80, 0x80));
    EXPECT_EQ(image.pixel(3, 5), qRgb(9, 9, 9));
    EXPECT_EQ(image.pixel(4, 4), qRgb(9, 9, 9));
}

TEST(Canvas, TextThatIsNotOpaqueLeavesItsCellAsItWas) {
    QImage image = newChartImage(100, 30);
    image.fill(qRgb(9, 9, 9));
    {
        Canvas canvas(image);
        canvas.setBrushColour(qRgb(0, 0, 0));
        canvas.setFontColour(qRgb(0x80, 0x80, 0x80));
        canvas.setOpaqueText(false);
        canvas.textOut(4, 5, "E [dB]");
    }
    expectTextAt(image, 4, 5, "E [dB]", qRgb(9, 9, 9), qRgb(0x80, 0x80, 0x80));
}

// ---------------------------------------------------------------------------
// Value-to-pixel mappings

TEST(PlotScale, TimeGainAtScale100SpansTheHeight) {
    EXPECT_EQ(timeGainForScale(100, 233), 233.0 / 65536.0);
    EXPECT_EQ(timeGainForScale(100, 233), 0.0035552978515625);
    EXPECT_EQ(timeGainForScale(200, 233), 2 * 233.0 / 65536.0);
    EXPECT_EQ(zeroLineY(233), 116);
    EXPECT_EQ(timeY(32767, kGain100, H), 0);
    EXPECT_EQ(timeY(-32768, kGain100, H), 232);
    EXPECT_EQ(timeY(0, kGain100, H), 116);
    // trunc cuts toward zero on both sides of the zero line.
    EXPECT_EQ(timeY(20000, kGain100, H), 116 - 71);
    EXPECT_EQ(timeY(-20000, kGain100, H), 116 + 71);
}

TEST(PlotScale, ExtremeValuesArePinnedOutsideTheImage) {
    EXPECT_EQ(timeY(1e300, 1.0, H), 116 - kCoordinateLimit);
    EXPECT_EQ(timeY(-1e300, 1.0, H), 116 + kCoordinateLimit);
    EXPECT_EQ(timeY(std::nan(""), 1.0, H), 116);
    EXPECT_EQ(spectrumY(std::numeric_limits<double>::infinity(), 1.0, SH), -kCoordinateLimit);
}

TEST(PlotScale, AmplitudeLabels) {
    EXPECT_EQ(amplitudeLabel(58, H, kGain100), "16313");
    EXPECT_EQ(amplitudeLabel(116, H, kGain100), "0");
    EXPECT_EQ(amplitudeLabel(174, H, kGain100), "-16313");
    const double gain200 = timeGainForScale(200, H);
    EXPECT_EQ(amplitudeLabel(58, H, gain200), "8156");
    EXPECT_EQ(amplitudeLabel(174, H, gain200), "-8156");
    const double mirrored = timeGainForScale(-100, H);
    EXPECT_EQ(amplitudeLabel(58, H, mirrored), "-16313");
    EXPECT_EQ(amplitudeLabel(58, H, 0.0), "");
    // A quotient between -1 and 0 reads "0", not "-0".
    EXPECT_EQ(amplitudeLabel(117, H, 2.0), "0");
}

TEST(PlotScale, SampleColumns) {
    EXPECT_EQ(traceX(160, W, 320), 488);  // sample 0 of the current frame, two frames
    EXPECT_EQ(traceX(80, W, 160), 488);   // sample 80, one frame
    EXPECT_EQ(traceX(159, W, 160), 970);  // one step short of the right edge
    EXPECT_EQ(traceX(319, W, 320), 973);
    EXPECT_EQ(stemX(160, W, 320), 488);
    EXPECT_EQ(stemX(50, W, 160), 305);
    // trunc(i * (W / n)) and trunc(i * W / n) part where W / n is inexact:
    // 90 * 0.7 is 62.99999999999999, 90 * 112 / 160 is 63.
    EXPECT_EQ(traceX(90, 112, 160), 62);
    EXPECT_EQ(stemX(90, 112, 160), 63);
}

TEST(PlotScale, TimeGrid) {
    std::vector<int> two, one;
    for (int k = 1; k < timeGridColumns(true); ++k) two.push_back(timeGridX(k, W, true));
    for (int k = 1; k < timeGridColumns(false); ++k) one.push_back(timeGridX(k, W, false));
    EXPECT_EQ(two, (std::vector<int>{122, 244, 366, 488, 610, 732, 854}));
    EXPECT_EQ(one, (std::vector<int>{244, 488, 732}));
    EXPECT_EQ(timeGridY(1, H), 58);
    EXPECT_EQ(timeGridY(2, H), 116);
    EXPECT_EQ(timeGridY(3, H), 174);
}

TEST(PlotScale, TimeAxisCaptions) {
    const auto two = timeAxisCaptions(true);
    const auto one = timeAxisCaptions(false);
    // The start of the current frame is 0 ms, unsigned.
    const std::array<QString, 9> twoExpected = {"-20", "-15", "-10", "-5", "0",
                                                "5",   "10",  "15",  "20"};
    const std::array<QString, 9> oneExpected = {"0", "", "5", "", "10", "", "15", "", "20"};
    EXPECT_EQ(two, twoExpected);
    EXPECT_EQ(one, oneExpected);
}

TEST(PlotScale, StemsStandOnTheAdaptiveTraceThatIsShown) {
    EXPECT_EQ(pulseBase(false, false), PulseBase::zeroLine);
    EXPECT_EQ(pulseBase(true, false), PulseBase::filteredAdaptive);
    EXPECT_EQ(pulseBase(false, true), PulseBase::adaptive);
    EXPECT_EQ(pulseBase(true, true), PulseBase::adaptive);
}

TEST(PlotScale, SpectrumLevelsAndColumns) {
    EXPECT_DOUBLE_EQ(spectrumLevel(160, 0), 10 * std::log(25600.0));
    EXPECT_EQ(spectrumY(spectrumLevel(160, 0), 1.0, SH), 227);
    EXPECT_EQ(spectrumLevel(0, 0), kLevelFloor);
    EXPECT_EQ(spectrumY(kLevelFloor, 1.0, SH), SH - 1);
    EXPECT_DOUBLE_EQ(spectrumLevel(3, 4), 10 * std::log(25.0));
    EXPECT_EQ(filterResponseLevel(0, 0, 5.0), kLevelFloor);
    EXPECT_EQ(filterResponseLevel(1, 0, 0.0), kLevelFloor);
    EXPECT_EQ(filterResponseLevel(1, 0, -2.0), kLevelFloor);
    EXPECT_DOUBLE_EQ(filterResponseLevel(0, 2, 100.0), 10 * std::log(25.0));
    EXPECT_EQ(spectrumX(10, SW), 74);
    EXPECT_EQ(spectrumX(79, SW), 590);
    EXPECT_EQ(spectrumGridX(1, SW), 149);
    EXPECT_EQ(spectrumGridX(2, SW), 298);
    EXPECT_EQ(spectrumGridX(3, SW), 447);
}

// ---------------------------------------------------------------------------
// Colours

TEST(ChartColours, Schemes) {
    const ChartColours darkScheme = schemeColours(ColourScheme::dark);
    const ChartColours lightScheme = schemeColours(ColourScheme::light);
    const ChartColours* const dark = &darkScheme;
    const ChartColours* const light = &lightScheme;
    EXPECT_EQ(dark->speech, qRgb(0x00, 0xFF, 0xFF));
    EXPECT_EQ(dark->background, qRgb(0, 0, 0));
    EXPECT_EQ(dark->grid, qRgb(0x80, 0x80, 0x80));
    EXPECT_EQ(light->speech, qRgb(0x00, 0x77, 0xAA));
    EXPECT_EQ(light->algebraic, qRgb(0x22, 0x22, 0x22));
    EXPECT_EQ(light->background, qRgb(0xEE, 0xEE, 0xEE));
    EXPECT_EQ(light->grid, qRgb(0xBB, 0xBB, 0xBB));
    EXPECT_EQ(light->text, dark->text);
}

// ---------------------------------------------------------------------------
// Time image

class TimeImage : public ::testing::TestWithParam<ColourScheme> {
  protected:
    ChartColours colours() const { return schemeColours(GetParam()); }
    PlotOptions options(bool twoFrames) const {
        PlotOptions o = nothingShown();
        o.twoFrames = twoFrames;
        o.colours = colours();
        return o;
    }
};

TEST_P(TimeImage, ClearedImageHasAWhiteOutline) {
    const ChartColours c = colours();
    QImage image = newChartImage(W, H);
    {
        Canvas canvas(image);
        clearImage(canvas, c);
    }
    for (int x = 0; x < W; ++x) {
        ASSERT_EQ(image.pixel(x, 0), kOutlineColour) << x;
        ASSERT_EQ(image.pixel(x, H - 1), kOutlineColour) << x;
    }
    for (int y = 0; y < H; ++y) {
        ASSERT_EQ(image.pixel(0, y), kOutlineColour) << y;
        ASSERT_EQ(image.pixel(W - 1, y), kOutlineColour) << y;
    }
    EXPECT_EQ(image.pixel(300, 100), c.background);
}

TEST_P(TimeImage, GridLinesOfBothViews) {
    const ChartColours c = colours();
    const QImage two = renderTime(clearedRecord(), clearedRecord(), options(true));
    const QImage one = renderTime(clearedRecord(), clearedRecord(), options(false));
    const std::set<int> twoColumns = {122, 244, 366, 488, 610, 732, 854};
    const std::set<int> oneColumns = {244, 488, 732};
    for (int x = 1; x < W - 1; ++x) {
        ASSERT_EQ(two.pixel(x, 150) == c.grid, twoColumns.count(x) == 1) << "x " << x;
        ASSERT_EQ(one.pixel(x, 150) == c.grid, oneColumns.count(x) == 1) << "x " << x;
    }
    // Vertical lines run from the top row (over the outline) to the bottom one.
    EXPECT_EQ(two.pixel(122, 0), c.grid);
    EXPECT_EQ(two.pixel(122, H - 1), c.grid);
    for (int y = 1; y < H - 1; ++y) {
        const bool line = y == 58 || y == 116 || y == 174;
        ASSERT_EQ(two.pixel(400, y) == c.grid, line) << "y " << y;
    }
    // Horizontal lines run from the left edge to the right one.
    EXPECT_EQ(two.pixel(0, 58), c.grid);
    EXPECT_EQ(two.pixel(W - 1, 58), c.grid);
}

TEST_P(TimeImage, AmplitudeLabelsFrameCaptionsAndUnit) {
    const ChartColours c = colours();
    const QImage two = renderTime(clearedRecord(), clearedRecord(), options(true));
    expectTextAt(two, 3, 61, "16313", c.background, c.text);
    expectTextAt(two, 3, 119, "0", c.background, c.text);
    expectTextAt(two, 3, 177, "-16313", c.background, c.text);
    expectTextAt(two, 3, 3, "Poprzednia ramka", c.background, c.text);
    expectTextAt(two, W / 2 + 3, 3, "Bieżąca ramka", c.background, c.text);
    expectTextAt(two, W - 30, H - 20, "[ms]", c.background, c.text);
    const QImage one = renderTime(clearedRecord(), clearedRecord(), options(false));
    expectTextAt(one, 3, 3, "Bieżąca ramka", c.background, c.text);
    PlotOptions doubled = options(false);
    doubled.timeGain = timeGainForScale(200, H);
    expectTextAt(renderTime(clearedRecord(), clearedRecord(), doubled), 3, 61, "8156", c.background,
                 c.text);
}

TEST_P(TimeImage, FullScaleSamplesLandOnTheTopAndBottomRows) {
    PlotOptions o = options(false);
    o.traces.speech = true;
    FrameRecord current = clearedRecord();
    current.speech = constantSignal(32767);
    const QImage top = renderTime(clearedRecord(), current, o);
    const QRgb speech = colours().speech;
    // 0..969 drawn; the last point (970) is the end of the last segment.
    EXPECT_EQ(countColour(top, speech, QRect(0, 0, W, 1)), 970);
    EXPECT_EQ(top.pixel(969, 0), speech);
    EXPECT_EQ(top.pixel(970, 0), kOutlineColour);
    EXPECT_EQ(countColour(top, speech), 970);
    current.speech = constantSignal(-32768);
    const QImage bottom = renderTime(clearedRecord(), current, o);
    EXPECT_EQ(countColour(bottom, speech, QRect(0, H - 1, W, 1)), 970);
    EXPECT_EQ(countColour(bottom, speech), 970);
}

TEST_P(TimeImage, CurrentFrameStartsOnTheCentreLineInTheTwoFrameView) {
    PlotOptions o = options(true);
    o.traces.speech = true;
    FrameRecord current = clearedRecord();
    current.speech[0] = 20000;  // y = 116 - 71 = 45
    const QImage image = renderTime(clearedRecord(), current, o);
    const QRgb speech = colours().speech;
    EXPECT_EQ(image.pixel(488, 45), speech);
    // The spike rises from the previous point (x 485) and falls to the next (x 491).
    EXPECT_EQ(traceX(159, W, 320), 485);
    EXPECT_EQ(traceX(161, W, 320), 491);
    int highest = H;
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) {
            if (image.pixel(x, y) == speech) highest = std::min(highest, y);
        }
    }
    EXPECT_EQ(highest, 45);
    EXPECT_EQ(countColour(image, speech, QRect(0, 45, W, 1)), 1);
    // The same frame alone puts sample 0 on the left edge.
    o.twoFrames = false;
    EXPECT_EQ(renderTime(clearedRecord(), current, o).pixel(0, 45), speech);
}

TEST_P(TimeImage, PreviousAndCurrentFrameFormOnePolyline) {
    PlotOptions o = options(true);
    o.traces.speech = true;
    FrameRecord previous = clearedRecord();
    FrameRecord current = clearedRecord();
    previous.speech = constantSignal(10000);  // y = 116 - 35 = 81
    current.speech = constantSignal(-10000);  // y = 151
    const QImage image = renderTime(previous, current, o);
    const QRgb speech = colours().speech;
    // Left half on y 81 up to the last previous point (x 485), right half on 151
    // from x 488 up to the last point 973 (excluded); the joining segment goes
    // from (485, 81) to (488, 151).
    EXPECT_EQ(countColour(image, speech, QRect(0, 81, 485, 1)), 485);
    EXPECT_EQ(countColour(image, speech, QRect(488, 151, 973 - 488, 1)), 973 - 488);
    EXPECT_EQ(image.pixel(973, 151), o.colours.background);
    EXPECT_EQ(countColour(image, speech, QRect(485, 82, 4, 69)), 69);
    EXPECT_EQ(image.pixel(485, 81), speech);
    EXPECT_EQ(countColour(image, speech), 485 + 70 + 485);
}

// A cleared record (frame 0) draws every trace flat on the zero line and no
// stems; the input speech, drawn last, covers the others.
TEST_P(TimeImage, ClearedFramesDrawEveryTraceOnTheZeroLineAndNoStems) {
    for (bool twoFrames : {true, false}) {
        PlotOptions o = options(twoFrames);
        o.traces = {true, true, true, true, true, true, true, true, true, true, true};
        const QImage image = renderTime(clearedRecord(), clearedRecord(), o);
        const ChartColours c = colours();
        const int last = twoFrames ? traceX(319, W, 320) : traceX(159, W, 160);
        EXPECT_EQ(countColour(image, c.speech, QRect(0, 116, W, 1)), last);
        EXPECT_EQ(countColour(image, c.speech), last);
        EXPECT_EQ(countColour(image, c.algebraic), 0);
        for (QRgb hidden : {c.synthesized, c.postProcessed, c.weighted, c.adaptive,
                            c.filteredAdaptive, c.excitation, c.lpResidual, c.ltpResidual,
                            c.weightedSynthesized, kPostFilterTraceColour}) {
            if (hidden == c.grid || hidden == c.text) continue;
            EXPECT_EQ(countColour(image, hidden), 0) << hex(hidden);
        }
    }
}

// Traces are drawn in a fixed order, later ones over earlier ones.
TEST_P(TimeImage, LaterTracesCoverEarlierOnes) {
    struct Step {
        bool TimeTraceSelection::*box;
        QRgb ChartColours::*colour;
    };
    const Step order[] = {
        {&TimeTraceSelection::lpResidual, &ChartColours::lpResidual},
        {&TimeTraceSelection::ltpResidual, &ChartColours::ltpResidual},
        {&TimeTraceSelection::filteredAdaptive, &ChartColours::filteredAdaptive},
        {&TimeTraceSelection::adaptive, &ChartColours::adaptive},
        {&TimeTraceSelection::excitation, &ChartColours::excitation},
        {&TimeTraceSelection::weighted, &ChartColours::weighted},
        {&TimeTraceSelection::weightedSynthesized, &ChartColours::weightedSynthesized},
        {&TimeTraceSelection::error, &ChartColours::error},
        {&TimeTraceSelection::postProcessedError, &ChartColours::postProcessedError},
        {&TimeTraceSelection::synthesized, &ChartColours::synthesized},
        {&TimeTraceSelection::postProcessed, &ChartColours::postProcessed},
        {&TimeTraceSelection::speech, &ChartColours::speech},
    };
    PlotOptions o = options(true);
    for (const Step& step : order) {
        o.traces.*step.box = true;
        const QImage image = renderTime(clearedRecord(), clearedRecord(), o);
        EXPECT_EQ(hex(image.pixel(300, 116)), hex(o.colours.*step.colour));
    }
}

// The coding error e(n) = s(n) - s'(n) is drawn where s'(n) of that value
// would be, in the error's colour; ep(n) likewise with sp(n).
TEST_P(TimeImage, TheErrorTraceIsTheDifferenceOfInputAndOutput) {
    FrameRecord previous = clearedRecord();
    FrameRecord current = clearedRecord();
    for (int n = 0; n < kFrameSamples; ++n) {
        current.speech[n] = 6000.0 * std::sin(0.05 * n);
        current.synthesizedSpeech[n] = 4000.0 * std::sin(0.05 * n + 0.3);
        current.postProcessedSpeech[n] = 0.5 * current.speech[n];
        previous.speech[n] = 1000.0;
        previous.synthesizedSpeech[n] = -2000.0;
    }
    const Signal e = codingError(current, &FrameRecord::synthesizedSpeech);
    for (int n = 0; n < kFrameSamples; ++n)
        ASSERT_EQ(e[n], current.speech[n] - current.synthesizedSpeech[n]);

    for (const bool two : {false, true}) {
        PlotOptions withError = options(two);
        withError.traces.error = true;
        FrameRecord asOutputPrevious = clearedRecord();
        FrameRecord asOutput = clearedRecord();
        asOutputPrevious.synthesizedSpeech = codingError(previous, &FrameRecord::synthesizedSpeech);
        asOutput.synthesizedSpeech = e;
        PlotOptions withOutput = options(two);
        withOutput.traces.synthesized = true;
        const QImage error = renderTime(previous, current, withError);
        const QImage output = renderTime(asOutputPrevious, asOutput, withOutput);
        int drawn = 0;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                const bool isError = error.pixel(x, y) == withError.colours.error;
                ASSERT_EQ(isError, output.pixel(x, y) == withOutput.colours.synthesized)
                    << x << "," << y << (two ? " two frames" : " one frame");
                drawn += isError;
            }
        EXPECT_GT(drawn, 160);

        PlotOptions withPostError = options(two);
        withPostError.traces.postProcessedError = true;
        // sp(n) = s(n)/2: ep(n) is s(n)/2 too, drawn as s'(n) of it would be.
        FrameRecord half = clearedRecord();
        for (int n = 0; n < kFrameSamples; ++n) half.synthesizedSpeech[n] = 0.5 * current.speech[n];
        const QImage postError = renderTime(clearedRecord(), current, withPostError);
        const QImage asHalf = renderTime(clearedRecord(), half, withOutput);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                ASSERT_EQ(postError.pixel(x, y) == withPostError.colours.postProcessedError,
                          asHalf.pixel(x, y) == withOutput.colours.synthesized)
                    << x << "," << y;
    }
}

// The error spectra are those of the differences: with s(n) = 2 s'(n) and
// sp(n) = 0, |E(f)| is |S'(f)| and |Ep(f)| is |S(f)| at every bin.
TEST(ErrorSpectra, AreTheSpectraOfTheDifferences) {
    FrameRecord current = clearedRecord();
    for (int n = 0; n < kFrameSamples; ++n) {
        current.synthesizedSpeech[n] = 3000.0 * std::cos(0.3 * n) + 10.0 * n;
        current.speech[n] = 2.0 * current.synthesizedSpeech[n];
    }
    for (int k = 0; k <= kFrameSamples / 2; ++k) {
        const auto levels = spectrumLevelsAtBin(current, k);
        EXPECT_EQ(levels[8], levels[1]) << k;
        EXPECT_EQ(levels[9], levels[0]) << k;
    }
    PlotOptions o = nothingShown();
    o.spectra.error = true;
    PlotOptions same = nothingShown();
    same.spectra.synthesized = true;
    const QImage error = renderSpectrum(current, o);
    const QImage synthesized = renderSpectrum(current, same);
    EXPECT_GT(countColour(error, o.colours.error), 0);
    EXPECT_EQ(countColour(error, o.colours.error),
              countColour(synthesized, same.colours.synthesized));
}

struct StemCase {
    bool filteredAdaptive;
    bool adaptive;
    int base;  // y of the trace the stem stands on
    int tip;   // y of the stem's top
};

class StemBase : public ::testing::TestWithParam<StemCase> {};

// A pulse of 8000 at sample 50 (x 305 in the one-frame view, 152 and 640 in
// the two-frame view) over v(n) = 10000 and gp*y(n) = -10000, at scale 100:
// on v(n) the stem spans y 81 (10000) to 53 (18000), on gp*y(n) 151 (-10000)
// to 123 (-2000), on the zero line 116 to 88 (8000).
TEST_P(StemBase, StemsStandOnTheShownAdaptiveTrace) {
    const StemCase c = GetParam();
    FrameRecord previous = clearedRecord();
    FrameRecord current = clearedRecord();
    for (FrameRecord* f : {&previous, &current}) {
        f->adaptiveExcitation = constantSignal(10000);
        f->adaptiveWeightedSynthesis = constantSignal(-10000);
        f->algebraicExcitation[50] = 8000;
    }
    for (bool twoFrames : {false, true}) {
        PlotOptions o = nothingShown();
        o.twoFrames = twoFrames;
        o.traces.algebraic = true;
        o.traces.filteredAdaptive = c.filteredAdaptive;
        o.traces.adaptive = c.adaptive;
        const QImage image = renderTime(previous, current, o);
        const QRgb stem = o.colours.algebraic;
        const std::vector<int> columns =
            twoFrames ? std::vector<int>{stemX(50, W, 320), stemX(210, W, 320)}
                      : std::vector<int>{stemX(50, W, 160)};
        for (int x : columns) {
            for (int y = 1; y < H - 1; ++y) {
                const bool onStem = y >= c.tip && y <= c.base;
                ASSERT_EQ(image.pixel(x, y) == stem, onStem)
                    << "two frames " << twoFrames << " x " << x << " y " << y;
                ASSERT_EQ(image.pixel(x - 1, y) == stem, onStem) << "x " << x - 1 << " y " << y;
                ASSERT_NE(image.pixel(x + 1, y), stem) << "x " << x + 1 << " y " << y;
            }
        }
        EXPECT_EQ(countColour(image, stem), 2 * (c.base - c.tip + 1) * int(columns.size()));
    }
}

INSTANTIATE_TEST_SUITE_P(Bases, StemBase,
                         ::testing::Values(StemCase{false, false, 116, 88},
                                           StemCase{true, false, 151, 123},
                                           StemCase{false, true, 81, 53},
                                           StemCase{true, true, 81, 53}));

TEST(TimeImageStems, ZeroPulsesDrawNothingAndThePenWidthComesBack) {
    FrameRecord current = clearedRecord();
    current.algebraicExcitation[10] = 5000;
    PlotOptions o = nothingShown();
    o.twoFrames = false;
    o.traces.algebraic = true;
    o.traces.speech = true;
    current.speech = constantSignal(-20000);  // y 187, drawn after the stems
    const QImage image = renderTime(clearedRecord(), current, o);
    // One stem (2 columns, 116 down to 99); the speech trace stays one pixel thick.
    EXPECT_EQ(countColour(image, o.colours.algebraic), 2 * (116 - 99 + 1));
    EXPECT_EQ(countColour(image, o.colours.speech), traceX(159, W, 160));
}

TEST(TimeImageRedTrace, PostFilterOutputOnlyInTheOneFrameView) {
    FrameRecord previous = clearedRecord();
    FrameRecord current = clearedRecord();
    current.formantPostFiltered = constantSignal(5000);  // y 116 - 17 = 99
    previous.formantPostFiltered = constantSignal(5000);
    current.postProcessedSpeech = constantSignal(-5000);  // y 133
    PlotOptions o = nothingShown();
    o.traces.postProcessed = true;
    o.twoFrames = false;
    const QImage one = renderTime(previous, current, o);
    EXPECT_EQ(countColour(one, kPostFilterTraceColour), traceX(159, W, 160));
    EXPECT_EQ(countColour(one, kPostFilterTraceColour, QRect(0, 99, W, 1)), traceX(159, W, 160));
    EXPECT_EQ(countColour(one, o.colours.postProcessed, QRect(0, 133, W, 1)), traceX(159, W, 160));
    o.twoFrames = true;
    const QImage two = renderTime(previous, current, o);
    EXPECT_EQ(countColour(two, kPostFilterTraceColour), 0);
    EXPECT_GT(countColour(two, o.colours.postProcessed), 0);
    // Without sp(n) there is no red trace either.
    o.twoFrames = false;
    o.traces.postProcessed = false;
    EXPECT_EQ(countColour(renderTime(previous, current, o), kPostFilterTraceColour), 0);
}

TEST(TimeImageScale, DoubleScaleDoublesTheHeightAndNegativeMirrors) {
    FrameRecord current = clearedRecord();
    current.speech = constantSignal(10000);
    PlotOptions o = nothingShown();
    o.twoFrames = false;
    o.traces.speech = true;
    o.timeGain = timeGainForScale(200, H);  // trunc(71.1) = 71
    EXPECT_EQ(countColour(renderTime(clearedRecord(), current, o), o.colours.speech,
                          QRect(0, 116 - 71, W, 1)),
              970);
    o.timeGain = timeGainForScale(-100, H);  // mirrored: 116 + 35
    EXPECT_EQ(
        countColour(renderTime(clearedRecord(), current, o), o.colours.speech, QRect(0, 151, W, 1)),
        970);
}

TEST(TimeImageSize, PlotsScaleToTheImage) {
    FrameRecord current = clearedRecord();
    current.speech = constantSignal(32767);
    PlotOptions o = nothingShown();
    o.twoFrames = false;
    o.traces.speech = true;
    o.timeGain = timeGainForScale(100, 101);
    const QImage image = renderTime(clearedRecord(), current, o, 320, 101);
    EXPECT_EQ(countColour(image, o.colours.speech, QRect(0, 0, 320, 1)), traceX(159, 320, 160));
    EXPECT_EQ(image.pixel(80, 30), o.colours.grid);  // 320 div 4
}

INSTANTIATE_TEST_SUITE_P(BothSchemes, TimeImage,
                         ::testing::Values(ColourScheme::dark, ColourScheme::light));

// ---------------------------------------------------------------------------
// Spectrum image

// Level of bin k of x by a direct DFT in long double, as the plot maps it.
int referenceSpectrumY(const Signal& x, int k) {
    long double re = 0, im = 0;
    for (int n = 0; n < kFrameSamples; ++n) {
        const long double phase = 2.0L * std::numbers::pi_v<long double> * k * n / kFrameSamples;
        re += x[n] * std::cos(phase);
        im += x[n] * std::sin(phase);
    }
    const long double power = re * re + im * im;
    const double level = power > 1e-6L ? static_cast<double>(10.0L * std::log(power)) : kLevelFloor;
    return spectrumY(level, 1.0, SH);
}

class SpectrumImage : public ::testing::TestWithParam<ColourScheme> {
  protected:
    PlotOptions options() const {
        PlotOptions o = nothingShown();
        o.colours = schemeColours(GetParam());
        return o;
    }
};

TEST_P(SpectrumImage, GridLabelsAndUnits) {
    const PlotOptions o = options();
    const QImage image = renderSpectrum(clearedRecord(), o);
    const ChartColours& c = o.colours;
    const std::set<int> columns = {149, 298, 447};
    for (int x = 1; x < SW - 1; ++x) {
        ASSERT_EQ(image.pixel(x, 150) == c.grid, columns.count(x) == 1) << "x " << x;
    }
    const std::set<int> rows = {289, 249, 209, 169, 129, 89, 49, 9};
    for (int y = 1; y < SH - 1; ++y) {
        ASSERT_EQ(image.pixel(500, y) == c.grid, rows.count(y) == 1) << "y " << y;
    }
    int label = 40;
    for (int y = 289; y > 0; y -= 40, label += 40) {
        expectTextAt(image, 3, y + 3, QString::number(label), c.background, c.text);
    }
    EXPECT_EQ(label, 360);
    expectTextAt(image, SW - 40, SH - 20, "[kHz]", c.background, c.text);
}

// "[dB]" follows the highest level label on its row, below that label's grid
// line: every pixel of its cell is the background or a glyph, and the top
// rows, where it stood before, hold nothing of it.
TEST_P(SpectrumImage, DecibelUnitStandsClearOfTheGridAndTheLabels) {
    const PlotOptions o = options();
    const QImage image = renderSpectrum(clearedRecord(), o);
    const ChartColours& c = o.colours;
    const QFontMetrics metrics(canvasFont());
    const int x = 3 + metrics.horizontalAdvance("320 ");
    expectTextAt(image, x, 12, "[dB]", c.background, c.text);
    expectTextAt(image, 3, 12, "320", c.background, c.text);
    for (int y = 1; y < 9; ++y)
        for (int px = 1; px < 60; ++px)
            ASSERT_EQ(image.pixel(px, y), c.background) << px << "," << y;
}

TEST_P(SpectrumImage, ClearedFrameDrawsEveryCurveOnTheBottomRow) {
    PlotOptions o = options();
    o.spectra = {true, true, true, true, true, true, true, true};
    const QImage image = renderSpectrum(clearedRecord(), o);
    const ChartColours& c = o.colours;
    // Bins 0..79 at x 0..590; the last point ends the last segment.
    EXPECT_EQ(countColour(image, c.speech, QRect(0, SH - 1, SW, 1)), 590);
    EXPECT_EQ(countColour(image, c.speech), 590);
    EXPECT_EQ(image.pixel(590, SH - 1), kOutlineColour);
    for (QRgb hidden : {c.synthesized, c.postProcessed, c.weighted, c.responseI, c.responseII,
                        c.lpResidual, c.ltpResidual}) {
        EXPECT_EQ(countColour(image, hidden), 0) << hex(hidden);
    }
}

TEST_P(SpectrumImage, ConstantSignalPutsBinZeroAtItsLevel) {
    PlotOptions o = options();
    o.spectra.speech = true;
    FrameRecord current = clearedRecord();
    current.speech = constantSignal(1.0);
    const QImage image = renderSpectrum(current, o);
    ASSERT_EQ(referenceSpectrumY(current.speech, 0), 227);
    EXPECT_EQ(image.pixel(0, 227), o.colours.speech);
    // Nothing of the curve above bin 0's level.
    EXPECT_EQ(countColour(image, o.colours.speech, QRect(0, 0, SW, 227)), 0);
}

TEST_P(SpectrumImage, SineOf500HzPeaksAtBin10) {
    PlotOptions o = options();
    o.spectra.weighted = true;
    FrameRecord current = clearedRecord();
    for (int n = 0; n < kFrameSamples; ++n) {
        current.weightedSpeech[n] = 10000 * std::sin(2 * std::numbers::pi * n / 16);
    }
    const QImage image = renderSpectrum(current, o);
    const int peak = referenceSpectrumY(current.weightedSpeech, 10);
    ASSERT_EQ(peak, 57);  // 10 ln((10000 * 80)^2) = 271.8
    EXPECT_EQ(image.pixel(74, peak), o.colours.weighted);
    EXPECT_EQ(countColour(image, o.colours.weighted, QRect(0, 0, SW, peak)), 0);
    EXPECT_EQ(countColour(image, o.colours.weighted, QRect(0, peak, SW, 1)), 1);
}

TEST_P(SpectrumImage, EveryBinAgreesWithADirectTransform) {
    const std::uint32_t seed = test::testSeed();
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> sample(-20000, 20000);
    FrameRecord current = clearedRecord();
    for (double& v : current.lpResidual) v = sample(random);
    PlotOptions o = options();
    o.spectra.lpResidual = true;
    const QImage image = renderSpectrum(current, o);
    for (int k = 0; k < kSpectrumBins; ++k) {
        const int x = spectrumX(k, SW);
        const int y = referenceSpectrumY(current.lpResidual, k);
        if (k == kSpectrumBins - 1) break;  // the last point is an end point
        ASSERT_EQ(image.pixel(x, y), o.colours.lpResidual) << "seed " << seed << " bin " << k;
    }
}

TEST_P(SpectrumImage, FlatFilterResponseIsDashedAtTheErrorLevel) {
    PlotOptions o = options();
    o.spectra.responseI = true;
    o.spectra.responseII = true;
    FrameRecord current = clearedRecord();
    current.lpCoeffsI[0] = 1.0;
    current.lpErrorI = 2e9;  // 10 ln(2e9) = 214.29: y = 114
    current.lpCoeffsII[0] = 1.0;
    current.lpErrorII = 0.0;  // no positive error: the floor
    const QImage image = renderSpectrum(current, o);
    const int y = spectrumY(10 * std::log(2e9), 1.0, SH);
    ASSERT_EQ(y, 114);
    int drawn = 0;
    for (int k = 0; k < kSpectrumBins; k += 2) {
        // Segment k -> k + 1 drawn, k + 1 -> k + 2 left out.
        for (int x = spectrumX(k, SW); x < spectrumX(k + 1, SW); ++x) {
            ASSERT_EQ(image.pixel(x, y), o.colours.responseI) << "x " << x;
            ++drawn;
        }
    }
    EXPECT_EQ(countColour(image, o.colours.responseI), drawn);
    EXPECT_EQ(image.pixel(spectrumX(1, SW), y), o.colours.background);
    EXPECT_EQ(image.pixel(spectrumX(2, SW) - 1, y), o.colours.background);
    EXPECT_EQ(countColour(image, o.colours.responseII, QRect(0, SH - 1, SW, 1)), drawn);
}

TEST_P(SpectrumImage, FlatSpectrumEndsOnePixelBeforeItsLastPoint) {
    PlotOptions o = options();
    o.spectra.synthesized = true;
    FrameRecord current = clearedRecord();
    current.synthesizedSpeech[0] = 1000;  // |X(k)| = 1000 for every k: y = 190
    const QImage image = renderSpectrum(current, o);
    const int y = spectrumY(10 * std::log(1e6), 1.0, SH);
    ASSERT_EQ(y, 190);
    EXPECT_EQ(countColour(image, o.colours.synthesized, QRect(0, y, SW, 1)), 590);
    EXPECT_EQ(image.pixel(589, y), o.colours.synthesized);
    EXPECT_NE(image.pixel(590, y), o.colours.synthesized);
}

TEST_P(SpectrumImage, TimeScaleLeavesTheSpectraAlone) {
    PlotOptions o = options();
    o.spectra = {true, true, true, true, true, true, true, true};
    FrameRecord current = clearedRecord();
    for (int n = 0; n < kFrameSamples; ++n) current.speech[n] = 3000 * std::cos(0.3 * n);
    const QImage before = renderSpectrum(current, o);
    o.timeGain *= 3;
    EXPECT_EQ(renderSpectrum(current, o), before);
}

INSTANTIATE_TEST_SUITE_P(BothSchemes, SpectrumImage,
                         ::testing::Values(ColourScheme::dark, ColourScheme::light));

}  // namespace
}  // namespace zorvel
