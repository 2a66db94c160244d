// The quantising coder in the chart window: the quantised synthesis filters'
// responses drawn beside the analysed ones and named in a legend, the frame's
// LP distortion and its bits by parameter, and the overview strip's lane of
// the LP distortion; with quantisation off none of it shows.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QRegularExpression>
#include <QTest>
#include <cmath>
#include <memory>
#include <numbers>

#include "charts/ChartContextMenus.h"
#include "charts/ChartDialogs.h"
#include "charts/ChartWindow.h"
#include "charts/OverviewStrip.h"
#include "coder/FramePass.h"
#include "coder/LpDistortion.h"
#include "coder/SpeechCoder.h"
#include "plots/Figure.h"
#include "plots/MeasureTexts.h"
#include "plots/OverviewPicture.h"
#include "plots/PointerValues.h"
#include "plots/Readouts.h"
#include "plots/TraceNames.h"
#include "tests/TestSupport.h"

namespace zorvel {
namespace {

namespace fs = std::filesystem;

constexpr int kWaitMs = 120'000;  // the pass under the sanitizers is slow
// Between the distortion and the bits in the window's readout.
const QString kGap = QStringLiteral("     ");

CoderSettings quantising() {
    CoderSettings settings;
    settings.quantisation = true;
    return settings;
}

int countColour(const QImage& image, QRgb colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) n += image.pixel(x, y) == colour;
    return n;
}

// The frame's LP distortion as the window words it, from spectralDistortion.
QString expectedDistortionText(const FrameRecord& r, CoderMode mode) {
    const auto dB = [](double sd) { return QString::number(sd, 'f', 2) + QStringLiteral(" dB"); };
    const QString II = dB(spectralDistortion(r.lpCoeffsII, r.lpCoeffsQuantisedII));
    if (!rulesOf(mode).twoLpAnalyses) return QStringLiteral("SD ") + II;
    return QStringLiteral("SD: a2 ") + dB(spectralDistortion(r.lpCoeffsI, r.lpCoeffsQuantisedI)) +
           QStringLiteral(", a4 ") + II;
}

// ---------------------------------------------------------------------------
// The readouts' texts, in every mode

class QuantisedReadouts : public ::testing::TestWithParam<CoderMode> {};

// Over the first 40 frames of the sample: the bits read out by parameter are
// those of the frame's code, each index counted once, and they add up to the
// mode's bits per frame; the distortion is spectralDistortion's.
TEST_P(QuantisedReadouts, BitsAddUpToTheModesFrameBitsAndTheDistortionIsTheCores) {
    const CoderMode mode = GetParam();
    SpeechCoder coder(test::samplePath(), mode, quantising());
    coder.setCheckpoints(nullptr);
    const QRegularExpression words(QStringLiteral(
        "^Bity: LP (\\d+), opóźnienia (\\d+), impulsy (\\d+), wzmocnienia (\\d+) = (\\d+)$"));
    for (int n = 1; n <= 40; ++n) {
        ASSERT_EQ(coder.nextFrame(), FrameStep::coded);
        const FrameRecord& r = coder.currentFrame();
        ASSERT_TRUE(r.lpQuantised) << "frame " << n;
        const QRegularExpressionMatch m = words.match(frameBitsText(r));
        ASSERT_TRUE(m.hasMatch()) << frameBitsText(r).toStdString();
        int lp = 0, lags = 0, pulses = 0, gains = 0;
        for (int k = 0; k < r.code.count; ++k) {
            const ParameterCode& c = r.code.codes[k];
            ASSERT_GT(c.bits, 0);
            switch (c.parameter) {
                case CodedParameter::lsf:
                    lp += c.bits;
                    break;
                case CodedParameter::pitchLag:
                    lags += c.bits;
                    break;
                case CodedParameter::pulses:
                    pulses += c.bits;
                    break;
                default:
                    gains += c.bits;
                    break;
            }
        }
        EXPECT_EQ(m.captured(1).toInt(), lp) << "frame " << n;
        EXPECT_EQ(m.captured(1).toInt(), rulesOf(mode).lsfBits) << "frame " << n;
        EXPECT_EQ(m.captured(2).toInt(), lags) << "frame " << n;
        EXPECT_EQ(m.captured(3).toInt(), pulses) << "frame " << n;
        EXPECT_EQ(m.captured(4).toInt(), gains) << "frame " << n;
        EXPECT_EQ(m.captured(5).toInt(), rulesOf(mode).frameBits) << "frame " << n;
        EXPECT_EQ(lp + lags + pulses + gains, rulesOf(mode).frameBits) << "frame " << n;
        EXPECT_EQ(lpDistortionText(r, rulesOf(mode).twoLpAnalyses), expectedDistortionText(r, mode))
            << "frame " << n;
    }
    // An unquantised frame has neither.
    SpeechCoder plain(test::samplePath(), mode);
    plain.setCheckpoints(nullptr);
    ASSERT_EQ(plain.nextFrame(), FrameStep::coded);
    EXPECT_TRUE(lpDistortionText(plain.currentFrame(), true).isEmpty());
    EXPECT_TRUE(frameBitsText(plain.currentFrame()).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(EveryMode, QuantisedReadouts, ::testing::ValuesIn(kAllCoderModes),
                         [](const ::testing::TestParamInfo<CoderMode>& info) {
                             std::string rate(rulesOf(info.param).rate);
                             for (char& c : rate) c = c == '.' ? '_' : c;
                             return "rate" + rate;
                         });

// ---------------------------------------------------------------------------
// The quantised responses in the spectrum image

// The record of frame `n` of the sample, coded with quantisation at `mode`.
FrameRecord quantisedFrame(CoderMode mode, int n) {
    SpeechCoder coder(test::samplePath(), mode, quantising());
    coder.setCheckpoints(nullptr);
    coder.goToFrame(n);
    return coder.currentFrame();
}

// The level of E / |Aq(e^jw)|^2 at w = 2 pi k / 160, from a direct sum in
// long double, and its row in the image.
double quantisedResponseLevel(const LpCoeffs& a, double error, int k) {
    long double re = 0.0L, im = 0.0L;
    for (int n = 0; n < kLpCoeffs; ++n) {
        const long double w = 2.0L * std::numbers::pi_v<long double> * k * n / kFrameSamples;
        re += a[n] * std::cos(w);
        im += a[n] * std::sin(w);
    }
    return filterResponseLevel(static_cast<double>(re), static_cast<double>(im), error);
}

int quantisedResponseY(const LpCoeffs& a, double error, int k, const PlotOptions& options) {
    return spectrumY(quantisedResponseLevel(a, error, k), options.spectrumGain,
                     kSpectrumImageHeight);
}

TEST(QuantisedSpectra, EachQuantisedResponseIsDrawnWithItsBoxInItsColour) {
    const FrameRecord r = quantisedFrame(CoderMode::rate12_2, 60);
    ASSERT_TRUE(r.lpQuantised);
    PlotOptions options;
    options.spectra = {.speech = false, .responseI = true, .responseII = true};
    QImage image = newChartImage(kSpectrumImageWidth, kSpectrumImageHeight);
    renderSpectrumImage(image, r, options);
    // Set II's quantised response is drawn last: every bin's vertex lies on it
    // (but the last, as a line leaves out its end point).
    int onCurve = 0;
    for (int k = 0; k + 1 < kSpectrumBins; ++k) {
        const int y = quantisedResponseY(r.lpCoeffsQuantisedII, r.lpErrorII, k, options);
        if (y < 0 || y >= kSpectrumImageHeight) continue;
        EXPECT_EQ(image.pixel(spectrumX(k, kSpectrumImageWidth), y),
                  options.colours.quantisedResponseII)
            << "bin " << k;
        ++onCurve;
    }
    EXPECT_GT(onCurve, kSpectrumBins / 2);
    // The values under the pointer name both, each at its level at the bin.
    const SpectrumPointer pointer =
        spectrumPointerAt(spectrumX(17, kSpectrumImageWidth), 100, kSpectrumImageWidth,
                          kSpectrumImageHeight, options.spectrumGain);
    ASSERT_EQ(pointer.bin, 17);
    const QString pointed = spectrumPointerText(pointer, r, options, QLocale::c());
    EXPECT_TRUE(pointed.contains(
        QStringLiteral("|Hq(f)| <- a2 kwantowane = %1 dB")
            .arg(quantisedResponseLevel(r.lpCoeffsQuantisedI, r.lpErrorI, 17), 0, 'f', 1)))
        << pointed.toStdString();
    EXPECT_TRUE(pointed.contains(
        QStringLiteral("|Hq(f)| <- a4 kwantowane = %1 dB")
            .arg(quantisedResponseLevel(r.lpCoeffsQuantisedII, r.lpErrorII, 17), 0, 'f', 1)))
        << pointed.toStdString();
    EXPECT_GT(countColour(image, options.colours.quantisedResponseI), 0);
    // A saved figure's legend names them after the analysed responses, solid.
    const std::vector<LegendEntry> legend = spectrumLegend(options, r.lpQuantised);
    ASSERT_EQ(legend.size(), 4u);
    EXPECT_EQ(spectrumLegend(options).size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        const NamedQuantisedResponse& response = kNamedQuantisedResponses[i];
        EXPECT_EQ(legend[2 + i].name, QString::fromUtf8(response.name));
        EXPECT_EQ(legend[2 + i].colour, options.colours.*response.colour);
        EXPECT_FALSE(legend[2 + i].dashed);
    }
    // Each follows its box.
    options.spectra.responseI = false;
    renderSpectrumImage(image, r, options);
    EXPECT_EQ(countColour(image, options.colours.quantisedResponseI), 0);
    EXPECT_GT(countColour(image, options.colours.quantisedResponseII), 0);
    // A frame whose LP is not quantised draws neither, and its image is the
    // picture without them.
    options.spectra.responseI = true;
    FrameRecord unquantised = r;
    unquantised.lpQuantised = false;
    renderSpectrumImage(image, unquantised, options);
    EXPECT_EQ(countColour(image, options.colours.quantisedResponseI), 0);
    EXPECT_EQ(countColour(image, options.colours.quantisedResponseII), 0);
    EXPECT_FALSE(spectrumPointerText(pointer, unquantised, options).contains(QStringLiteral("Hq")));
    const QImage plain = image;
    unquantised.lpCoeffsQuantisedI = unquantised.lpCoeffsQuantisedII = LpCoeffs{};
    renderSpectrumImage(image, unquantised, options);
    EXPECT_EQ(image, plain);
}

// ---------------------------------------------------------------------------
// The strip's lane of the LP distortion

TEST(LpDistortionLane, ColumnsTakeTheSummariesValuesAndItsScaleAndNamesAreSd) {
    const float none = std::nanf("");
    std::vector<FrameSummary> summaries(6);  // of 8 frames; 7 and 8 not reached
    const float sd[] = {1.0f, none, 3.0f, 5.0f, 0.5f, none};
    for (std::size_t f = 0; f < summaries.size(); ++f) summaries[f].lpDistortion = sd[f];
    const LaneMeasure distortion = QuantisedLpDistortion{};
    const auto columns = overviewColumns(summaries, 8, 4, OverviewMeasure{distortion, {}});
    ASSERT_EQ(columns.size(), 4u);  // frames 1-2, 3-4, 5-6, 7-8
    EXPECT_EQ(columns[0].measuredFrames, 1);
    EXPECT_EQ(columns[0].measureMean, 1.0);
    EXPECT_EQ(columns[1].measuredFrames, 2);
    EXPECT_EQ(columns[1].measureLow, 3.0);
    EXPECT_EQ(columns[1].measureHigh, 5.0);
    EXPECT_EQ(columns[1].measureMean, 4.0);
    EXPECT_EQ(columns[2].measuredFrames, 1);
    EXPECT_EQ(columns[2].measureMean, 0.5);
    EXPECT_EQ(columns[3].measuredFrames, 0);
    // 0 to 4 dB over the middle lane's 30 rows; 5 dB drawn at the top.
    const OverviewLane lane = overviewMeasureLane(distortion, 96);
    EXPECT_EQ(lane.y(0.0), 63);
    EXPECT_EQ(lane.y(kLargeOutlierDb), 63 - 30);
    EXPECT_EQ(lane.y(5.0), 63 - 30);
    EXPECT_EQ(measureLaneScale(distortion).label, QStringLiteral("SD"));
    EXPECT_EQ(measureValueText(distortion, 1.234), QStringLiteral("1.23 dB"));
    EXPECT_EQ(measureValueText(distortion, std::nullopt), QStringLiteral("–"));
    EXPECT_EQ(measureName(distortion),
              QStringLiteral("zniekształcenie widmowe kwantowanego LP (SD)"));
    EXPECT_EQ(laneAxis(96, distortion).caption, QStringLiteral("E [dB], SD [dB], k"));
    EXPECT_EQ(overviewLegend(darkColours(), distortion)[2].name,
              QStringLiteral("SD: średnia ramek"));
    // The tool tip over a frame without a value, and over one with.
    EXPECT_TRUE(overviewPointerText(overviewPointerAt(0, 8, summaries, 8, distortion))
                    .contains(QStringLiteral("\nSD = 1.00 dB")));
    EXPECT_TRUE(overviewPointerText(overviewPointerAt(1, 8, summaries, 8, distortion))
                    .contains(QStringLiteral("\nSD = –")));
}

// ---------------------------------------------------------------------------
// The window and its strip

class SilentDialogs final : public ChartDialogs {
  public:
    void information(QWidget*, const QString&) override {}
    bool confirm(QWidget*, const QString&) override { return true; }
    void setBusyCursor() override {}
    void restoreCursor() override {}
};

class QuantisedWindow : public ::testing::Test {
  protected:
    QuantisedWindow() {
        window.setDialogs(std::make_unique<SilentDialogs>());
        QApplication::setActiveWindow(&window);
    }
    ~QuantisedWindow() override { window.hide(); }

    void open(CoderMode mode, const CoderSettings& settings) {
        window.openForFile(QString::fromStdString(test::samplePath().string()), mode, settings);
    }
    void waitForPass() {
        for (int i = 0; i < kWaitMs && !window.framePass()->done(); i += 10) QTest::qWait(10);
        ASSERT_TRUE(window.framePass()->done());
    }
    void goTo(int n) {
        window.goToFrame(n);
        for (int i = 0; i < kWaitMs && window.coder()->frameCount() != n; i += 10) QTest::qWait(10);
        ASSERT_EQ(window.coder()->frameCount(), n);
    }
    QAction* laneAction(const char* key) {
        return window.contextMenus().overviewMenu().findChild<QAction*>(
            QStringLiteral("OverviewLane_") + QLatin1String(key));
    }
    QCheckBox* box(const char* name) { return window.findChild<QCheckBox*>(name); }

    ChartWindow window;
};

TEST_F(QuantisedWindow, ShowsTheQuantisedResponsesTheDistortionAndTheBitsOfEachFrame) {
    open(CoderMode::rate12_2, quantising());
    const QLabel& readout = window.quantisationReadout();
    const QLabel& legend = window.quantisedLegend();
    for (const int n : {1, 45, 120}) {
        goTo(n);
        const FrameRecord& r = window.coder()->currentFrame();
        EXPECT_TRUE(readout.isVisible()) << "frame " << n;
        EXPECT_EQ(readout.text(),
                  expectedDistortionText(r, CoderMode::rate12_2) + kGap + frameBitsText(r));
        EXPECT_TRUE(readout.text().endsWith(QStringLiteral(" = 244"))) << "frame " << n;
        EXPECT_GT(countColour(window.spectrumImage(), window.chartColours().quantisedResponseII),
                  0);
    }
    // The legend names both sets' quantised responses, each in its colour.
    EXPECT_TRUE(legend.isVisible());
    for (const NamedQuantisedResponse& response : kNamedQuantisedResponses) {
        EXPECT_TRUE(legend.text().contains(QString::fromUtf8(response.name).toHtmlEscaped()));
        EXPECT_TRUE(legend.text().contains(QColor(window.chartColours().*response.colour).name()));
    }
    // Inside the spectrum image; the readout in the form, clear of every other control.
    EXPECT_TRUE(QRect(QPoint(0, 0), legend.parentWidget()->size()).contains(legend.geometry()));
    const QRect place = readout.geometry();
    EXPECT_TRUE(QRect(0, 0, window.width(), window.overviewStrip()->y()).contains(place));
    for (const QWidget* other : window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (other == &readout || !other->isVisibleTo(&window)) continue;
        EXPECT_FALSE(other->geometry().intersects(place)) << other->objectName().toStdString();
    }
    // The whole readout fits its place: one line.
    const QFontMetrics metrics(readout.font());
    EXPECT_LE(metrics.horizontalAdvance(readout.text()), place.width());
    EXPECT_LE(metrics.height(), place.height());
    // Set II's box off: only set I's quantised response stays, and its name.
    box("CB_aII")->click();
    EXPECT_EQ(countColour(window.spectrumImage(), window.chartColours().quantisedResponseII), 0);
    EXPECT_GT(countColour(window.spectrumImage(), window.chartColours().quantisedResponseI), 0);
    EXPECT_FALSE(legend.text().contains(QStringLiteral("a4")));
    box("CB_aI")->click();
    EXPECT_FALSE(legend.isVisible());
}

TEST_F(QuantisedWindow, OneSetModesReadOutOneDistortion) {
    open(CoderMode::rate7_95, quantising());
    goTo(30);
    const FrameRecord& r = window.coder()->currentFrame();
    EXPECT_EQ(window.quantisationReadout().text(),
              expectedDistortionText(r, CoderMode::rate7_95) + kGap + frameBitsText(r));
    EXPECT_TRUE(window.quantisationReadout().text().endsWith(QStringLiteral(" = 159")));
    EXPECT_TRUE(window.quantisedLegend().isVisible());
    EXPECT_FALSE(window.quantisedLegend().text().contains(QStringLiteral("a2")));
}

TEST_F(QuantisedWindow, TheStripShowsEachFramesLpDistortion) {
    open(CoderMode::rate10_2, quantising());
    waitForPass();
    OverviewStrip* strip = window.overviewStrip();
    QAction* lane = laneAction("lpDistortion");
    ASSERT_NE(lane, nullptr);
    EXPECT_TRUE(lane->isVisible());
    lane->trigger();
    ASSERT_TRUE(strip->laneMeasure());
    EXPECT_TRUE(std::holds_alternative<QuantisedLpDistortion>(*strip->laneMeasure()));
    EXPECT_FALSE(strip->measure());
    // The summaries hold it: the pass computes no spectral distances for it.
    const FramePass* pass = window.framePass();
    EXPECT_FALSE(pass->measuresWanted());
    // With a column or more per frame, a frame's column shows its own value,
    // the core's figure of a plain coder's record.
    ASSERT_GE(strip->width(), pass->totalFrames());
    const OverviewMeasure measure{QuantisedLpDistortion{}, {}};
    const std::vector<OverviewColumn> columns =
        overviewColumns(pass->summaries(), pass->totalFrames(), strip->width(), measure);
    SpeechCoder plain(test::samplePath(), CoderMode::rate10_2, quantising());
    plain.setCheckpoints(nullptr);
    for (int f = 1; f <= pass->totalFrames(); ++f) {
        ASSERT_EQ(plain.nextFrame(), FrameStep::coded);
        const FrameRecord& r = plain.currentFrame();
        const auto sd = static_cast<float>(
            spectralDistortion(r.lpCoeffsII, r.lpCoeffsQuantisedII));  // set I is set II
        const int x = strip->xOfFrame(f);
        ASSERT_EQ(columns[static_cast<std::size_t>(x)].measuredFrames, 1) << "frame " << f;
        ASSERT_EQ(columns[static_cast<std::size_t>(x)].measureMean, sd) << "frame " << f;
        if (f == 50) {
            EXPECT_TRUE(
                overviewPointerText(overviewPointerAt(x, strip->width(), pass->summaries(),
                                                      pass->totalFrames(), strip->laneMeasure()),
                                    QLocale::c())
                    .contains(QStringLiteral("\nSD = %1 dB").arg(sd, 0, 'f', 2)));
        }
    }
    // The picture is that of the lane, not the SNR's.
    const QImage shown = pictureImage(strip->picture());
    EXPECT_EQ(shown, pictureImage(describeOverviewPicture(strip->width(), strip->height(),
                                                          pass->summaries(), pass->totalFrames(),
                                                          window.chartColours(), measure)));
    EXPECT_NE(shown, pictureImage(describeOverviewPicture(strip->width(), strip->height(),
                                                          pass->summaries(), pass->totalFrames(),
                                                          window.chartColours())));

    // Opened again without quantisation: the lane is not offered, the strip
    // goes back to the frame SNR.
    open(CoderMode::rate10_2, CoderSettings{});
    EXPECT_FALSE(lane->isVisible());
    EXPECT_TRUE(laneAction("frameSnr")->isChecked());
    EXPECT_FALSE(strip->laneMeasure());
}

TEST_F(QuantisedWindow, WithoutQuantisationNothingOfItShows) {
    open(CoderMode::rate12_2, CoderSettings{});
    for (const int n : {1, 45}) {
        goTo(n);
        EXPECT_FALSE(window.quantisationReadout().isVisible());
        EXPECT_FALSE(window.quantisedLegend().isVisible());
        EXPECT_EQ(countColour(window.spectrumImage(), window.chartColours().quantisedResponseI), 0);
        EXPECT_EQ(countColour(window.spectrumImage(), window.chartColours().quantisedResponseII),
                  0);
    }
    EXPECT_FALSE(laneAction("lpDistortion")->isVisible());
}

}  // namespace
}  // namespace zorvel
