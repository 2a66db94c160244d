// The overview strip's picture: its columns against a direct computation on
// small synthetic summaries (frames grouped into columns, silent frames,
// frames not reached yet, more columns than frames), its lanes' value-to-pixel
// mapping, its colours, and its primitives as painted and as SVG.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QSvgRenderer>
#include <QXmlStreamReader>
#include <algorithm>
#include <cmath>
#include <numeric>

#include "plots/Canvas.h"
#include "plots/MeasureTexts.h"
#include "plots/OverviewColumns.h"
#include "plots/OverviewPicture.h"
#include "tests/OffscreenQt.h"

namespace zorvel {
namespace {

// A frame of mean power `powerDb`, frame SNR `snr`, and subframes with the
// given lags and pitch gains.
FrameSummary frame(double powerDb, float snr, std::array<std::int16_t, kSubframes> lags,
                   std::array<float, kSubframes> gains) {
    FrameSummary s;
    s.energy = static_cast<float>(kFrameSamples * std::pow(10.0, powerDb / 10.0));
    s.frameSnr = snr;
    s.pitchLag = lags;
    s.pitchGain = gains;
    return s;
}

// Seven frames, of which 1, 4 and 6 have voiced subframes (gp >= 0.5; 0.5 itself counts).
std::vector<FrameSummary> sevenFrames() {
    return {
        frame(40.0, 10.0f, {40, 41, 42, 43}, {0.9f, 0.2f, 0.5f, 0.49f}),
        frame(60.0, 12.5f, {50, 60, 70, 80}, {0.0f, 0.1f, 0.2f, 0.3f}),
        frame(30.0, -2.0f, {20, 20, 20, 20}, {0.4f, 0.4f, 0.4f, 0.4f}),
        frame(75.0, 20.0f, {100, 110, 120, 130}, {1.0f, 1.0f, 0.6f, 0.7f}),
        frame(55.0, 7.25f, {30, 30, 30, 30}, {0.0f, 0.0f, 0.0f, 0.0f}),
        frame(45.0, 3.0f, {143, 18, 90, 60}, {0.8f, 0.8f, 0.1f, 0.1f}),
        frame(50.0, 8.0f, {33, 33, 33, 33}, {0.2f, 0.2f, 0.2f, 0.2f}),
    };
}

// The column of the given frames (1-based), computed directly.
OverviewColumn expectedColumn(const std::vector<FrameSummary>& all, std::vector<int> frames) {
    OverviewColumn c;
    std::vector<double> power;
    std::vector<double> snr;
    double lagSum = 0.0;
    for (int f : frames) {
        const FrameSummary& s = all[static_cast<std::size_t>(f - 1)];
        // The mean power as the summary's float energy gives it, floored at 20 dB.
        const double meanPower = s.energy / 160.0f;
        power.push_back(std::max(10.0 * std::log10(meanPower), 20.0));
        snr.push_back(s.frameSnr);
        for (int a = 0; a < kSubframes; ++a) {
            if (s.pitchGain[a] < 0.5f) continue;
            lagSum += s.pitchLag[a];
            ++c.voicedSubframes;
        }
    }
    c.frames = static_cast<int>(frames.size());
    if (c.frames == 0) return c;
    c.powerLowDb = *std::min_element(power.begin(), power.end());
    c.powerHighDb = *std::max_element(power.begin(), power.end());
    c.powerMeanDb = std::accumulate(power.begin(), power.end(), 0.0) / c.frames;
    c.snrLowDb = *std::min_element(snr.begin(), snr.end());
    c.snrHighDb = *std::max_element(snr.begin(), snr.end());
    c.snrMeanDb = std::accumulate(snr.begin(), snr.end(), 0.0) / c.frames;
    c.meanVoicedLag = c.voicedSubframes > 0 ? lagSum / c.voicedSubframes : 0.0;
    return c;
}

void expectColumn(const OverviewColumn& expected, const OverviewColumn& actual, int x) {
    EXPECT_EQ(actual.frames, expected.frames) << "column " << x;
    EXPECT_EQ(actual.voicedSubframes, expected.voicedSubframes) << "column " << x;
    if (expected.frames == 0) return;
    // The same few values summed in frame order: equal to the last bit.
    EXPECT_EQ(actual.powerLowDb, expected.powerLowDb) << "column " << x;
    EXPECT_EQ(actual.powerHighDb, expected.powerHighDb) << "column " << x;
    EXPECT_EQ(actual.powerMeanDb, expected.powerMeanDb) << "column " << x;
    EXPECT_EQ(actual.snrLowDb, expected.snrLowDb) << "column " << x;
    EXPECT_EQ(actual.snrHighDb, expected.snrHighDb) << "column " << x;
    EXPECT_EQ(actual.snrMeanDb, expected.snrMeanDb) << "column " << x;
    EXPECT_EQ(actual.meanVoicedLag, expected.meanVoicedLag) << "column " << x;
}

// ---------------------------------------------------------------------------
// Columns

TEST(OverviewColumns, SevenFramesIntoThreeColumns) {
    const std::vector<FrameSummary> all = sevenFrames();
    const auto columns = overviewColumns(all, 7, 3);
    ASSERT_EQ(columns.size(), 3u);
    // x * 7 / 3 + 1: columns start at frames 1, 3 and 5.
    const std::vector<std::vector<int>> groups = {{1, 2}, {3, 4}, {5, 6, 7}};
    for (int x = 0; x < 3; ++x) expectColumn(expectedColumn(all, groups[x]), columns[x], x);
    // Frame 1: lags 40 and 42 voiced; frame 4: all four.
    EXPECT_EQ(columns[0].voicedSubframes, 2);
    EXPECT_EQ(columns[0].meanVoicedLag, 41.0);
    EXPECT_EQ(columns[1].meanVoicedLag, (100.0 + 110 + 120 + 130) / 4);
    EXPECT_NEAR(columns[0].powerLowDb, 40.0, 1e-5);
    EXPECT_NEAR(columns[2].powerHighDb, 55.0, 1e-5);
    EXPECT_EQ(columns[2].snrLowDb, 3.0);
}

TEST(OverviewColumns, FramesNotReachedLeaveTheirColumnsEmpty) {
    const std::vector<FrameSummary> all = sevenFrames();
    const std::span<const FrameSummary> summaries(all);
    for (int reached = 0; reached <= 7; ++reached) {
        const auto columns = overviewColumns(summaries.first(reached), 7, 3);
        const std::vector<std::vector<int>> groups = {{1, 2}, {3, 4}, {5, 6, 7}};
        for (int x = 0; x < 3; ++x) {
            std::vector<int> coded;
            for (int f : groups[x])
                if (f <= reached) coded.push_back(f);
            expectColumn(expectedColumn(all, coded), columns[x], x);
        }
    }
    EXPECT_EQ(overviewColumns(summaries.first(5), 7, 3)[2].frames, 1);
    EXPECT_EQ(overviewColumns(summaries.first(0), 7, 3)[0].frames, 0);
}

TEST(OverviewColumns, SilentFramesSitOnThePowerFloorAndAreUnvoiced) {
    std::vector<FrameSummary> silent(4);  // energy 0, SNR 0, gains 0
    silent[2].energy = 1e-3f;             // far below the floor
    const auto columns = overviewColumns(silent, 4, 2);
    for (const OverviewColumn& c : columns) {
        EXPECT_EQ(c.frames, 2);
        EXPECT_EQ(c.powerLowDb, kOverviewPowerFloorDb);
        EXPECT_EQ(c.powerHighDb, kOverviewPowerFloorDb);
        EXPECT_EQ(c.powerMeanDb, kOverviewPowerFloorDb);
        EXPECT_EQ(c.snrMeanDb, 0.0);
        EXPECT_EQ(c.voicedSubframes, 0);
        EXPECT_EQ(c.meanVoicedLag, 0.0);
    }
    EXPECT_EQ(overviewPowerDb(0.0f), kOverviewPowerFloorDb);
    EXPECT_NEAR(overviewPowerDb(160.0f * 1e6f), 60.0, 1e-9);
}

TEST(OverviewColumns, MoreColumnsThanFramesRepeatEachFrame) {
    const std::vector<FrameSummary> all = sevenFrames();
    const std::span<const FrameSummary> three = std::span<const FrameSummary>(all).first(3);
    const auto columns = overviewColumns(three, 3, 7);
    ASSERT_EQ(columns.size(), 7u);
    // x * 3 / 7 + 1: frame 1 in columns 0..2, frame 2 in 3..4, frame 3 in 5..6.
    const int frameOf[7] = {1, 1, 1, 2, 2, 3, 3};
    for (int x = 0; x < 7; ++x) {
        expectColumn(expectedColumn(all, {frameOf[x]}), columns[x], x);
        EXPECT_EQ(overviewFrameAtX(x, 7, 3), frameOf[x]);
    }
    EXPECT_TRUE(overviewColumns(three, 0, 7)[0].frames == 0);
    EXPECT_TRUE(overviewColumns(three, 3, 0).empty());
}

// ---------------------------------------------------------------------------
// Lanes and colours

TEST(OverviewPicture, LaneHeightsAreClampedAndRounded) {
    EXPECT_EQ(overviewLaneHeight(20.0, 20.0, 90.0, 30), 0);
    EXPECT_EQ(overviewLaneHeight(55.0, 20.0, 90.0, 30), 15);
    EXPECT_EQ(overviewLaneHeight(90.0, 20.0, 90.0, 30), 30);
    EXPECT_EQ(overviewLaneHeight(500.0, 20.0, 90.0, 30), 30);
    EXPECT_EQ(overviewLaneHeight(-7.0, -5.0, 35.0, 30), 0);
    EXPECT_EQ(overviewLaneHeight(0.0, -5.0, 35.0, 30), 4);     // 3.75
    EXPECT_EQ(overviewLaneHeight(80.5, 18.0, 143.0, 29), 15);  // 14.5, away from zero
}

// The dim colours are the bright ones at 90/255 over the background, the
// not-coded fill a mid grey at 60/255 over the background (and over the grid),
// each channel rounded.
TEST(OverviewPicture, ColoursOfBothSchemes) {
    const auto over = [](QRgb top, QRgb under, int alpha) {
        const auto mix = [&](int t, int u) {
            return static_cast<int>(std::lround(t * alpha / 255.0) +
                                    std::lround(u * (255 - alpha) / 255.0));
        };
        return qRgb(mix(qRed(top), qRed(under)), mix(qGreen(top), qGreen(under)),
                    mix(qBlue(top), qBlue(under)));
    };
    for (const ChartColours& c : {darkColours(), lightColours()}) {
        EXPECT_EQ(c.overviewPower, c.speech);
        EXPECT_EQ(c.overviewSnr, c.synthesized);
        EXPECT_EQ(c.overviewLag, qRgb(0xFF, 0, 0));
        EXPECT_EQ(c.overviewPowerRange, over(c.overviewPower, c.background, 90));
        EXPECT_EQ(c.overviewSnrRange, over(c.overviewSnr, c.background, 90));
        EXPECT_EQ(c.overviewNotCoded, over(qRgb(128, 128, 128), c.background, 60));
        EXPECT_EQ(c.overviewNotCodedGrid, over(qRgb(128, 128, 128), c.grid, 60));
    }
    EXPECT_EQ(darkColours().overviewPowerRange, qRgb(0, 90, 90));
    EXPECT_EQ(lightColours().overviewNotCoded, qRgb(212, 212, 212));
}

// ---------------------------------------------------------------------------
// The picture

// Ten frames in ten columns of a strip 96 pixels high (lanes of 32), six of
// them reached: frame 2 (column 1, clear of the outline) at 55 dB and 15 dB
// SNR with every subframe voiced at lag 143, the others silent.
class SmallStrip : public ::testing::Test {
  protected:
    SmallStrip() {
        summaries.resize(6);
        summaries[1] = frame(55.0, 15.0f, {143, 143, 143, 143}, {1.0f, 1.0f, 1.0f, 1.0f});
        picture = describeOverviewPicture(10, 96, summaries, 10, colours);
    }
    std::vector<FrameSummary> summaries;
    ChartColours colours = darkColours();
    Picture picture;
};

TEST_F(SmallStrip, PaintsEachLaneAtItsValue) {
    const QImage image = pictureImage(picture);
    ASSERT_EQ(image.size(), QSize(10, 96));
    // Power 55 dB: half of the 30 rows above row 31. SNR 15 dB: half of the
    // rows above row 63. Lag 143: the top of 29 rows above row 95, two pixels.
    EXPECT_EQ(image.pixel(1, 31 - 15), colours.overviewPower);
    EXPECT_EQ(image.pixel(1, 63 - 15), colours.overviewSnr);
    EXPECT_EQ(image.pixel(1, 95 - 29), colours.overviewLag);
    EXPECT_EQ(image.pixel(1, 95 - 30), colours.overviewLag);
    EXPECT_EQ(image.pixel(1, 95 - 31), colours.grid);  // the line above the lag lane
    EXPECT_EQ(image.pixel(1, 95 - 28), colours.background);
    // Silent frames: power on the floor, SNR 0 dB (0.125 of 30 rows: 4).
    EXPECT_EQ(image.pixel(3, 31), colours.overviewPower);
    EXPECT_EQ(image.pixel(3, 63 - 4), colours.overviewSnr);
    EXPECT_EQ(image.pixel(4, 63 - 4), colours.overviewSnr);
    // Columns 6..9 are not coded yet; the lines between lanes and the outline.
    EXPECT_EQ(image.pixel(7, 10), colours.overviewNotCoded);
    EXPECT_EQ(image.pixel(7, 32), colours.overviewNotCodedGrid);
    EXPECT_EQ(image.pixel(5, 32), colours.grid);
    EXPECT_EQ(image.pixel(5, 10), colours.background);
    EXPECT_EQ(image.pixel(0, 50), kOutlineColour);
    EXPECT_EQ(image.pixel(9, 95), kOutlineColour);
    // Twice the size: every pixel a 2 x 2 block away from the labels.
    const QImage twice = pictureImage(picture, 2);
    ASSERT_EQ(twice.size(), QSize(20, 192));
    EXPECT_EQ(twice.pixel(3, 2 * 16 + 1), colours.overviewPower);
}

TEST_F(SmallStrip, SvgHoldsTheStripsElements) {
    const QByteArray svg = pictureSvg(picture);
    int rects = 0;
    int polylines = 0;
    int lagLines = 0;
    QStringList texts;
    QXmlStreamReader xml(svg);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        if (xml.name() == QLatin1String("rect")) ++rects;
        if (xml.name() == QLatin1String("text")) texts << xml.readElementText();
        if (xml.name() == QLatin1String("polyline")) {
            ++polylines;
            if (xml.attributes().value("stroke") == QColor::fromRgb(colours.overviewLag).name()) {
                ++lagLines;
                // Column 1, rows 65..66: through the pixel centres.
                EXPECT_EQ(xml.attributes().value("points").toString(),
                          QStringLiteral("1.5,65.5 1.5,67.5"));
            }
        }
    }
    ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    // The background and the not-coded fill; the labels have no cells.
    EXPECT_EQ(rects, 2);
    EXPECT_EQ(texts, QStringList({"E [dB]", "SNR", "k"}));
    // Two lines between lanes, each in two parts; dots at x 0, 3, 6, 9; four
    // lines per reached column; one lag; the outline.
    EXPECT_EQ(polylines, 2 * 2 + 4 + 6 * 4 + 1 + 1);
    EXPECT_EQ(lagLines, 1);
    EXPECT_EQ(countItems(picture).polylines, polylines);
    QSvgRenderer renderer(svg);
    EXPECT_TRUE(renderer.isValid());
    EXPECT_EQ(renderer.defaultSize(), QSize(10, 96));
}

// Columns that fill every lane from bottom to top: each pair of frames spans
// the whole power and SNR range, and the lag sits at the top of its lane.
TEST(OverviewPicture, ColumnsLeaveTheLabelsCellsFree) {
    std::vector<FrameSummary> frames;
    for (int i = 0; i < 120; ++i)
        frames.push_back(i % 2 == 0 ? frame(10.0, -10.0f, {143, 143, 143, 143}, {1, 1, 1, 1})
                                    : frame(95.0, 40.0f, {143, 143, 143, 143}, {1, 1, 1, 1}));
    const ChartColours colours = darkColours();
    const QImage image = pictureImage(describeOverviewPicture(60, 96, frames, 120, colours));
    const QFontMetrics metrics(canvasFont());
    const QStringList labels{"E [dB]", "SNR", "k"};
    const QRgb traces[] = {colours.overviewPower, colours.overviewPowerRange, colours.overviewSnr,
                           colours.overviewSnrRange, colours.overviewLag};
    for (int lane = 0; lane < 3; ++lane) {
        const QRect cell(3, lane * 32, metrics.horizontalAdvance(labels[lane]) + 1,
                         metrics.height());
        int glyphs = 0;
        for (int y = cell.top(); y <= cell.bottom(); ++y) {
            for (int x = cell.left(); x <= cell.right(); ++x) {
                for (QRgb trace : traces)
                    ASSERT_NE(image.pixel(x, y), trace)
                        << labels[lane].toStdString() << " " << x << "," << y;
                glyphs += image.pixel(x, y) == colours.text;
            }
        }
        EXPECT_GT(glyphs, 3) << labels[lane].toStdString();
        // Beside the cell, the column runs through the same rows.
        EXPECT_EQ(image.pixel(1, lane * 32 + 6),
                  lane == 2 ? colours.background
                            : (lane == 0 ? colours.overviewPowerRange : colours.overviewSnrRange));
        EXPECT_EQ(image.pixel(cell.right() + 1, lane * 32 + 6), image.pixel(1, lane * 32 + 6));
    }
    // The lag, two pixels at the top of its lane, cut where "k" stands.
    EXPECT_EQ(image.pixel(1, 66), colours.overviewLag);
    EXPECT_NE(image.pixel(4, 66), colours.overviewLag);
}

TEST(OverviewPicture, WithoutFramesOnlyTheGridLabelsAndOutline) {
    const Picture picture = describeOverviewPicture(40, 96, {}, 0, lightColours());
    const PictureCounts counts = countItems(picture);
    EXPECT_EQ(counts.rectangles, 1);
    EXPECT_EQ(counts.texts, 3);
    EXPECT_EQ(counts.polylines, 2 + 14 + 1);  // lines between lanes, dots, outline
    const QImage image = pictureImage(picture);
    EXPECT_EQ(image.pixel(20, 10), lightColours().background);
    EXPECT_EQ(image.pixel(20, 64), lightColours().grid);
}

// ---------------------------------------------------------------------------
// A spectral distance in the middle lane

// The values of `count` frames: measure m of frame f is f + m / 10, with
// frames 3 and 5 (1-based) without any value.
std::vector<FrameMeasureValues> measureValues(int count) {
    std::vector<FrameMeasureValues> values(static_cast<std::size_t>(count));
    for (int f = 1; f <= count; ++f) {
        for (std::size_t m = 0; m < kSpectralMeasureCount; ++m)
            values[static_cast<std::size_t>(f - 1)][m] =
                f == 3 || f == 5 ? std::nanf("") : static_cast<float>(f + m / 10.0);
    }
    return values;
}

TEST(OverviewColumns, AMeasureGivesRangeAndMeanOfTheFramesWithAValue) {
    const std::vector<FrameSummary> all = sevenFrames();
    const std::vector<FrameMeasureValues> values = measureValues(6);  // frame 7 not measured
    const OverviewMeasure measure{SpectralMeasure::llr, values};
    const auto columns = overviewColumns(all, 7, 3, measure);
    ASSERT_EQ(columns.size(), 3u);
    const double m = static_cast<double>(SpectralMeasure::llr) / 10.0;
    auto v = [&](int f) { return static_cast<double>(static_cast<float>(f + m)); };
    // Columns of frames 1-2, 3-4 and 5-7 (as SevenFramesIntoThreeColumns).
    EXPECT_EQ(columns[0].measuredFrames, 2);
    EXPECT_EQ(columns[0].measureLow, v(1));
    EXPECT_EQ(columns[0].measureHigh, v(2));
    EXPECT_DOUBLE_EQ(columns[0].measureMean, (v(1) + v(2)) / 2);
    EXPECT_EQ(columns[1].measuredFrames, 1);  // frame 3 has no value
    EXPECT_EQ(columns[1].measureLow, v(4));
    EXPECT_EQ(columns[1].measureMean, v(4));
    EXPECT_EQ(columns[2].measuredFrames, 1);  // 5 has none, 7 is not measured yet
    EXPECT_EQ(columns[2].measureMean, v(6));
    // The other figures are those of the strip without a measure.
    const auto plain = overviewColumns(all, 7, 3);
    for (std::size_t x = 0; x < 3; ++x) {
        EXPECT_EQ(columns[x].snrMeanDb, plain[x].snrMeanDb);
        EXPECT_EQ(columns[x].powerMeanDb, plain[x].powerMeanDb);
        EXPECT_EQ(plain[x].measuredFrames, 0);
    }
}

TEST_F(SmallStrip, AMeasureReplacesOnlyTheMiddleLane) {
    // Frame 2 measured at the middle of the LSD-LP range, the rest without values.
    std::vector<FrameMeasureValues> values(6);
    for (auto& v : values) v.fill(std::nanf(""));
    const MeasureLaneScale scale = measureLaneScale(SpectralMeasure::lsdLp);
    values[1][0] = static_cast<float>((scale.low + scale.high) / 2);
    const Picture withMeasure = describeOverviewPicture(
        10, 96, summaries, 10, colours, OverviewMeasure{SpectralMeasure::lsdLp, values});
    const QImage a = pictureImage(picture);
    const QImage b = pictureImage(withMeasure);
    ASSERT_EQ(a.size(), b.size());
    // Lanes 0 and 2 (rows 0..31 and 64..95), their labels included, are unchanged.
    int compared = 0;
    for (int y = 0; y < 96; ++y) {
        if (y >= 32 && y < 64) continue;
        for (int x = 0; x < 10; ++x, ++compared)
            ASSERT_EQ(a.pixel(x, y), b.pixel(x, y)) << x << "," << y;
    }
    EXPECT_EQ(compared, 640);
    // The middle lane: the measure's mean at half of 30 rows above row 63, no
    // SNR trace at 0 dB for the silent frames, and no dotted zero line (the
    // range starts at 0).
    EXPECT_EQ(b.pixel(1, 63 - 15), colours.overviewSnr);
    EXPECT_NE(b.pixel(3, 63 - 4), colours.overviewSnr);
    EXPECT_EQ(overviewMeasureLane(SpectralMeasure::fwSegSnr, 96).y(kBandSnrMin), 63);
    EXPECT_EQ(overviewMeasureLane(SpectralMeasure::fwSegSnr, 96).y(kBandSnrMax), 63 - 30);
}

TEST(MeasureTexts, ReadoutAndScales) {
    FrameMeasures values{};
    values[static_cast<std::size_t>(SpectralMeasure::lsdLp)] = 2.784;
    values[static_cast<std::size_t>(SpectralMeasure::cepstralDistance)] = 1.9666;
    values[static_cast<std::size_t>(SpectralMeasure::llr)] = 0.14621;
    values[static_cast<std::size_t>(SpectralMeasure::itakuraSaito)] = 12.0;
    values[static_cast<std::size_t>(SpectralMeasure::fwSegSnr)] = -3.5;
    EXPECT_EQ(measureReadoutText(values),
              QStringLiteral("LSD-LP 2.78 dB  CD 1.97 dB  LSD-FFT –\n"
                             "LLR 0.146  IS 12.000  fwSNRseg -3.50 dB"));
    EXPECT_EQ(measureReadoutText(FrameMeasures{}),
              QStringLiteral("LSD-LP –  CD –  LSD-FFT –\nLLR –  IS –  fwSNRseg –"));
    for (SpectralMeasure m : kAllSpectralMeasures) {
        const MeasureLaneScale scale = measureLaneScale(m);
        EXPECT_LT(scale.low, scale.high);
        EXPECT_EQ(scale.label, QString::fromUtf8(infoOf(m).label));
        EXPECT_TRUE(
            measureName(m).endsWith(QStringLiteral("(") + scale.label + QStringLiteral(")")));
    }
    EXPECT_EQ(measureLaneScale(SpectralMeasure::llr).high, kLlrMax);
    EXPECT_EQ(measureLaneScale(SpectralMeasure::fwSegSnr).low, kBandSnrMin);
}

}  // namespace
}  // namespace zorvel
