// Values under the pointer: the pixel-to-value inverses of the plots' scales
// against brute-force searches over the forward mappings (every column and
// row of the window's image sizes), the Polish texts for known pixels, and
// the chart window's tool tip over its images and its strip.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTest>
#include <QToolTip>
#include <cmath>
#include <cstdlib>
#include <numbers>

#include "charts/ChartDialogs.h"
#include "charts/ChartWindow.h"
#include "charts/OverviewStrip.h"
#include "charts/PointerReadout.h"
#include "coder/FramePass.h"
#include "coder/SpeechCoder.h"
#include "plots/OverviewColumns.h"
#include "plots/PointerValues.h"
#include "tests/TestSupport.h"

namespace zorvel {
namespace {

constexpr int W = kTimeImageWidth;        // 977
constexpr int H = kTimeImageHeight;       // 233
constexpr int SW = kSpectrumImageWidth;   // 598
constexpr int SH = kSpectrumImageHeight;  // 329

// ---------------------------------------------------------------------------
// The inverses, column by column and row by row

TEST(PointerScale, EachColumnReadsTheLastSampleDrawnAtOrLeftOfIt) {
    for (int across : {kFrameSamples, 2 * kFrameSamples}) {
        for (int x = -3; x < W + 3; ++x) {
            int expected = 0;
            for (int i = 0; i < across; ++i)
                if (traceX(i, W, across) <= x) expected = i;
            ASSERT_EQ(sampleAtX(x, W, across), expected) << "x " << x << " of " << across;
        }
        for (int i = 0; i < across; ++i) ASSERT_EQ(sampleAtX(traceX(i, W, across), W, across), i);
    }
    // Subframe 2 of the current frame begins on the grid line at 122 * 5.
    EXPECT_EQ(sampleAtX(610, W, 320), 200);
    EXPECT_EQ(sampleAtX(609, W, 320), 199);
}

TEST(PointerScale, EachRowReadsAValueTheTimePlotDrawsOnIt) {
    for (double scale : {100.0, 250.0, -50.0, 3.0}) {
        const double gain = timeGainForScale(scale, H);
        for (int y = 0; y < H; ++y) {
            const double v = timeValueAtY(y, gain, H);
            ASSERT_EQ(timeY(v, gain, H), y) << "scale " << scale << " row " << y;
        }
    }
    EXPECT_EQ(timeValueAtY(116, timeGainForScale(100, H), H), 0.0);
    // Row 58 at scale 100 holds 58 pixels above the zero line: 16313.4 up to 16594.
    const double v = timeValueAtY(58, timeGainForScale(100, H), H);
    EXPECT_GT(v, 58 * 65536.0 / 233);
    EXPECT_LT(v, 59 * 65536.0 / 233);
    EXPECT_TRUE(std::isnan(timeValueAtY(10, 0.0, H)));
}

TEST(PointerScale, EachColumnReadsTheNearestBin) {
    for (int x = -3; x < SW + 3; ++x) {
        int expected = 0;
        for (int k = 1; k < kSpectrumBins; ++k)
            if (std::abs(spectrumX(k, SW) - x) < std::abs(spectrumX(expected, SW) - x))
                expected = k;
        ASSERT_EQ(spectrumBinAtX(x, SW), expected) << "x " << x;
    }
    for (int k = 0; k < kSpectrumBins; ++k) ASSERT_EQ(spectrumBinAtX(spectrumX(k, SW), SW), k);
    // Bins 10 and 11 are drawn at 74 and 82: 78 lies as near to both, and reads the lower.
    EXPECT_EQ(spectrumBinAtX(78, SW), 10);
    EXPECT_EQ(spectrumBinAtX(79, SW), 11);
}

TEST(PointerScale, EachRowReadsALevelTheSpectrumDrawsOnIt) {
    for (double gain : {1.0, 0.5, 2.0}) {
        for (int y = 0; y < SH; ++y)
            ASSERT_EQ(spectrumY(spectrumLevelAtY(y, gain, SH), gain, SH), y)
                << "gain " << gain << " row " << y;
    }
    // The 40 dB line is row 289; the row holds the levels above 39 up to 40.
    EXPECT_GT(spectrumLevelAtY(289, 1.0, SH), 39.0);
    EXPECT_LE(spectrumLevelAtY(289, 1.0, SH), 40.0);
    EXPECT_TRUE(std::isnan(spectrumLevelAtY(10, 0.0, SH)));
}

// ---------------------------------------------------------------------------
// Texts

TEST(PointerText, TimeImageGivesTimeSampleAmplitudeAndTheShownTraces) {
    const double gain = timeGainForScale(100, H);
    const TimePointer current = timePointerAt(610, 116, W, H, true, gain);
    EXPECT_EQ(current.sample, 40);
    EXPECT_FALSE(current.previousFrame);
    EXPECT_EQ(current.milliseconds, 5.0);
    EXPECT_EQ(current.value, 0.0);
    const TimePointer previous = timePointerAt(0, 0, W, H, true, gain);
    EXPECT_EQ(previous.sample, 0);
    EXPECT_TRUE(previous.previousFrame);
    EXPECT_EQ(previous.milliseconds, -20.0);
    const TimePointer last = timePointerAt(W - 1, 116, W, H, false, gain);
    EXPECT_EQ(last.sample, 159);
    EXPECT_FALSE(last.previousFrame);
    EXPECT_EQ(last.milliseconds, 19.875);

    FrameRecord before;
    FrameRecord now;
    clearFrameRecord(before);
    clearFrameRecord(now);
    now.speech[40] = 1234.54;
    now.synthesizedSpeech[40] = -7.0;
    before.speech[40] = 99.0;
    PlotOptions options;  // s(n) and s'(n), as the window starts
    const QLocale c = QLocale::c();
    EXPECT_EQ(timePointerText(current, before, now, options, c).toStdString(),
              "t = 5.000 ms (n = 40, bieżąca ramka)\namplituda: 0\ns(n) = 1234.5\ns'(n) = -7.0");
    options.traces.synthesized = false;
    options.traces.ltpResidual = true;
    const TimePointer left = timePointerAt(122, 58, W, H, true, gain);
    EXPECT_EQ(timePointerText(left, before, now, options, c).toStdString(),
              "t = -15.000 ms (n = 40, poprzednia ramka)\namplituda: 16454\ns(n) = 99.0\n"
              "resLTP = 0.0");
    // One frame of sp(n) comes with the formant post-filter's output.
    now.postProcessedSpeech[159] = 5.5;
    now.formantPostFiltered[159] = -3.0;
    options.traces = {};
    options.traces.speech = false;
    options.traces.synthesized = false;
    options.traces.postProcessed = true;
    options.twoFrames = false;
    EXPECT_EQ(timePointerText(last, before, now, options, c).toStdString(),
              "t = 19.875 ms (n = 159, bieżąca ramka)\namplituda: 0\nsp(n) = 5.5\n"
              "sp(n) po filtrze formantowym = -3.0");
    // The window's locale writes its decimal separator, and no group separators.
    EXPECT_TRUE(timePointerText(current, before, now, options, QLocale(QLocale::Polish))
                    .startsWith("t = 5,000 ms"));
    const OverviewPointer late{5000, 99980.0, nullptr};
    EXPECT_TRUE(overviewPointerText(late, QLocale(QLocale::Polish))
                    .startsWith("ramka 5000 (t = 1:39,980)"));
}

// |X(k)|^2 of a frame signal by a direct DFT in long double, as a level.
double directLevel(const Signal& x, int k) {
    long double re = 0, im = 0;
    for (int n = 0; n < kFrameSamples; ++n) {
        const long double phase = 2.0L * std::numbers::pi_v<long double> * k * n / kFrameSamples;
        re += x[n] * std::cos(phase);
        im += x[n] * std::sin(phase);
    }
    return static_cast<double>(10.0L * std::log(re * re + im * im));
}

TEST(PointerText, SpectrumGivesTheBinsFrequencyTheRowsLevelAndTheShownCurves) {
    const SpectrumPointer p = spectrumPointerAt(74, 289, SW, SH, 1.0);
    EXPECT_EQ(p.bin, 10);
    EXPECT_EQ(p.hertz, 500.0);
    EXPECT_EQ(spectrumPointerAt(SW - 1, 0, SW, SH, 1.0).hertz, 3950.0);

    FrameRecord current;
    clearFrameRecord(current);
    for (int n = 0; n < kFrameSamples; ++n)
        current.speech[n] = 10000 * std::sin(2 * std::numbers::pi * n / 16);  // 500 Hz
    current.lpCoeffsI[0] = 1.0;
    current.lpErrorI = 2e9;  // a flat response at 10 ln(2e9)
    const auto levels = spectrumLevelsAtBin(current, 10);
    EXPECT_NEAR(levels[0], directLevel(current.speech, 10), 1e-9);  // 20 ln(800000)
    EXPECT_NEAR(levels[4], 10 * std::log(2e9), 1e-12);
    EXPECT_EQ(levels[7], kLevelFloor);  // no power
    PlotOptions options;
    options.spectra = {true, false, false, false, true, false, false, true};
    EXPECT_EQ(spectrumPointerText(p, current, options, QLocale::c()).toStdString(),
              "f = 500 Hz (prążek 10)\npoziom: 39.5 dB\n|S(f)| = 271.8 dB\n"
              "|H(f)| <- a2 = 214.2 dB\n|ResLTP(f)| = 0.0 dB");
}

TEST(PointerText, StripGivesTheFrameItsTimeAndFigures) {
    std::vector<FrameSummary> summaries(20);
    FrameSummary& seventh = summaries[6];
    seventh.energy = 160.0f * 100000.0f;  // 50 dB
    seventh.frameSnr = 12.5f;
    seventh.pitchLag = {40, 60, 80, 100};
    seventh.pitchGain = {0.9f, 0.2f, 0.5f, 0.1f};  // voiced: lags 40 and 80
    // Ten columns over 20 frames: two frames each, column 3 begins with frame 7.
    const OverviewPointer p = overviewPointerAt(3, 10, summaries, 20);
    ASSERT_EQ(p.frame, overviewFrameAtX(3, 10, 20));
    EXPECT_EQ(p.frame, 7);
    EXPECT_EQ(p.startMilliseconds, 120.0);
    EXPECT_EQ(overviewPointerText(p, QLocale::c()).toStdString(),
              "ramka 7 (t = 120 ms)\nE = 50.0 dB\nSNR = 12.50 dB\nk = 60.0");
    // A silent, unvoiced frame (a column per frame); a frame past the pass.
    EXPECT_EQ(
        overviewPointerText(overviewPointerAt(3, 20, summaries, 20), QLocale::c()).toStdString(),
        "ramka 4 (t = 60 ms)\nE = 20.0 dB\nSNR = 0.00 dB\nk: brak podramek dźwięcznych");
    const std::span<const FrameSummary> reached(summaries.data(), 8);
    EXPECT_EQ(
        overviewPointerText(overviewPointerAt(4, 10, reached, 20), QLocale::c()).toStdString(),
        "ramka 9 (t = 160 ms)\njeszcze nie zakodowana");
    EXPECT_EQ(overviewPointerText(overviewPointerAt(4, 10, {}, 0)), "");
    // Past a minute the time reads in minutes: half an hour, not "t = 522220 ms".
    EXPECT_EQ(
        overviewPointerText(overviewPointerAt(500, 977, {}, 90'000), QLocale::c()).toStdString(),
        "ramka 46060 (t = 15:21.180)\njeszcze nie zakodowana");
    EXPECT_EQ(overviewTimeText(59'980.0, QLocale::c()), "59980 ms");
    EXPECT_EQ(overviewTimeText(60'000.0, QLocale::c()), "1:00.000");
    EXPECT_EQ(overviewTimeText(522'220.0, QLocale(QLocale::Polish)), "8:42,220");
    EXPECT_EQ(overviewTimeText(3'605'020.0, QLocale::c()), "60:05.020");
}

// ---------------------------------------------------------------------------
// The chart window's tool tip

class NoDialogs final : public ChartDialogs {
  public:
    void information(QWidget*, const QString&) override {}
    bool confirm(QWidget*, const QString&) override { return true; }
    void setBusyCursor() override {}
    void restoreCursor() override {}
};

class PointerReadoutTest : public ::testing::Test {
  protected:
    PointerReadoutTest() {
        window.setDialogs(std::make_unique<NoDialogs>());
        window.openForFile(QString::fromStdString(test::samplePath().string()),
                           CoderMode::rate12_2);
        window.findChild<QLineEdit*>("Ed_frame")->setText("42");
        window.BT_refreshClick();
        readout = window.findChild<PointerReadout*>();
    }
    ~PointerReadoutTest() override { window.hide(); }

    void hover(QWidget& widget, QPoint at) {
        QMouseEvent move(QEvent::MouseMove, QPointF(at), QPointF(widget.mapToGlobal(at)),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&widget, &move);
    }

    QLabel& label(const char* name) { return *window.findChild<QLabel*>(name); }

    ChartWindow window;
    PointerReadout* readout = nullptr;
};

TEST_F(PointerReadoutTest, FollowsThePointerOverBothImagesAndTheStrip) {
    ASSERT_NE(readout, nullptr);
    for (int i = 0; i < 12'000 && !window.framePass()->done(); ++i) QTest::qWait(10);
    ASSERT_TRUE(window.framePass()->done());
    // Every control's place, which the tool tip must leave as it is.
    const auto controlPlaces = [&] {
        // The form's controls; the tool tip is a window of its own.
        std::vector<QRect> rects;
        for (const QWidget* child : window.findChildren<QWidget*>())
            if (!child->isWindow()) rects.push_back(child->geometry());
        return rects;
    };
    const std::vector<QRect> places = controlPlaces();

    const SpeechCoder& coder = *window.coder();
    QLabel& time = label("Im_time");
    hover(time, QPoint(610, 116));
    const QString expected =
        QStringLiteral("t = 5.000 ms (n = 40, bieżąca ramka)\namplituda: 0\n") +
        QStringLiteral("s(n) = %1\ns'(n) = %2")
            .arg(coder.currentFrame().speech[40], 0, 'f', 1)
            .arg(coder.currentFrame().synthesizedSpeech[40], 0, 'f', 1);
    EXPECT_EQ(readout->shownText().toStdString(), expected.toStdString());
    EXPECT_EQ(QToolTip::text(), expected);

    // Mode 12.2 starts with |S(f)| and both responses shown.
    hover(label("Im_freq"), QPoint(74, 289));
    const QStringList lines = readout->shownText().split('\n');
    ASSERT_EQ(lines.size(), 5) << readout->shownText().toStdString();
    EXPECT_EQ(lines[0], "f = 500 Hz (prążek 10)");
    EXPECT_EQ(lines[1], "poziom: 39.5 dB");
    EXPECT_EQ(lines[2], QStringLiteral("|S(f)| = %1 dB")
                            .arg(directLevel(coder.currentFrame().speech, 10), 0, 'f', 1));
    EXPECT_TRUE(lines[3].startsWith("|H(f)| <- a2 = "));
    EXPECT_TRUE(lines[4].startsWith("|H(f)| <- a4 = "));

    OverviewStrip& strip = *window.overviewStrip();
    const int x = strip.xOfFrame(100);
    hover(strip, QPoint(x, 10));
    const int frame = strip.frameAtX(x);
    EXPECT_TRUE(readout->shownText().startsWith(
        QStringLiteral("ramka %1 (t = %2 ms)\nE = ").arg(frame).arg((frame - 1) * 20)))
        << readout->shownText().toStdString();

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&strip, &leave);
    EXPECT_TRUE(readout->shownText().isEmpty());
    // Off the image (the label is no larger than it, so use a point left of it).
    EXPECT_TRUE(readout->textAt(&time, QPoint(-1, 5)).isEmpty());

    EXPECT_EQ(controlPlaces(), places);
}

}  // namespace
}  // namespace zorvel
