// The chart window's playback and picture files. The PCM handed to the audio
// output goes through a recording sink (no sound device needed): the frames
// shown and the rest of the file, as s(n), s'(n) or sp(n), clipped as the
// output files are; a second press stops; without a device the user gets the
// Polish message. The context menus save the pictures the window shows,
// the overview strip's included.
#include <gtest/gtest.h>

#include <QApplication>
#include <QColor>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QSvgRenderer>
#include <QTest>
#include <QXmlStreamReader>
#include <cmath>
#include <limits>
#include <numbers>

#include "charts/ABListening.h"
#include "charts/AudioOutput.h"
#include "charts/ChartContextMenus.h"
#include "charts/ChartWindow.h"
#include "charts/OverviewStrip.h"
#include "coder/FramePass.h"
#include "coder/SpeechCoder.h"
#include "plots/Figure.h"
#include "sound/Wave.h"
#include "tests/TestSupport.h"

namespace zorvel {
namespace {

using Log = std::vector<QString>;

class RecordingDialogs final : public ChartDialogs {
  public:
    explicit RecordingDialogs(std::shared_ptr<Log> log) : log_(std::move(log)) {}
    void information(QWidget*, const QString& text) override { log_->push_back("info: " + text); }
    bool confirm(QWidget*, const QString& text) override {
        log_->push_back("confirm: " + text);
        return true;
    }
    void setBusyCursor() override {}
    void restoreCursor() override {}

  private:
    std::shared_ptr<Log> log_;
};

struct SinkLog {
    std::vector<QByteArray> played;
    std::unique_ptr<QIODevice> source;  // the stream of an A/B playback, read by the test
    int stops = 0;
    bool playing = false;
    std::function<void()> finished;
};

// Takes the PCM instead of a device, and plays until stopped or finished.
class RecordingSink final : public AudioSink {
  public:
    explicit RecordingSink(std::shared_ptr<SinkLog> log) : log_(std::move(log)) {}
    bool play(const QByteArray& pcm, std::function<void()> finished) override {
        log_->played.push_back(pcm);
        log_->playing = true;
        log_->finished = std::move(finished);
        return true;
    }
    bool playSource(std::unique_ptr<QIODevice> source, std::function<void()> finished) override {
        log_->source = std::move(source);
        log_->playing = true;
        log_->finished = std::move(finished);
        return true;
    }
    void stop() override {
        log_->playing = false;
        log_->finished = nullptr;
        log_->source.reset();
        ++log_->stops;
    }
    bool playing() const override { return log_->playing; }

  private:
    std::shared_ptr<SinkLog> log_;
};

std::vector<std::int16_t> pcmSamples(const QByteArray& pcm) {
    std::vector<std::int16_t> samples(pcm.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(static_cast<std::uint8_t>(pcm[2 * i]) |
                                               (static_cast<std::uint8_t>(pcm[2 * i + 1]) << 8));
    return samples;
}

std::vector<std::int16_t> clipped(const std::vector<const Signal*>& frames) {
    std::vector<std::int16_t> samples;
    for (const Signal* frame : frames)
        for (double v : *frame) samples.push_back(toSample(v));
    return samples;
}

// The bytes of whole frames first..last (from 1) of the sample file.
QByteArray fileFrames(int first, int last) {
    const std::vector<std::uint8_t> bytes = test::readBytes(test::samplePath());
    const std::size_t begin = kSampleDataOffset + (first - 1) * 2 * kFrameSamples;
    const std::size_t end = kSampleDataOffset + last * 2 * kFrameSamples;
    return QByteArray(reinterpret_cast<const char*>(bytes.data()) + begin,
                      static_cast<qsizetype>(end - begin));
}

QAction* menuAction(QMenu& menu, const QString& start) {
    for (QAction* action : menu.actions())
        if (action->text().startsWith(start)) return action;
    throw std::runtime_error("no menu entry " + start.toStdString());
}

TEST(PlaybackPcm, ClipsAsTheOutputFilesDo) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<double> values{0.0,    1.9, -1.9, 32766.99, 32767.0, 40000.0, -40000.0,
                                     -32768, nan, inf,  -inf,     255.5,   256.0};
    const std::vector<std::int16_t> expected{0,      1, -1,    32766,  32767, 32767, -32767,
                                             -32767, 0, 32767, -32767, 255,   256};
    const QByteArray pcm = playbackPcm(values);
    ASSERT_EQ(pcm.size(), 2 * static_cast<qsizetype>(values.size()));
    EXPECT_EQ(pcmSamples(pcm), expected);
    // Little-endian: 256 is the bytes 00 01.
    EXPECT_EQ(pcm[24], '\0');
    EXPECT_EQ(pcm[25], '\1');
}

// --- A/B listening ---------------------------------------------------------------------

std::vector<std::int16_t> readMix(ABMix& mix, std::size_t count) {
    std::vector<std::int16_t> out(count);
    out.resize(mix.read(out));
    return out;
}

// A switch goes through a linear crossfade of 5 ms: from +10000 to -10000 in
// steps of 20000/40, never the one step of 20000 a hard switch would make.
TEST(ABMix, ASwitchCrossfadesWithoutAStep) {
    ABMix mix(std::vector<double>(800, 10000.0), std::vector<double>(800, -10000.0));
    EXPECT_EQ(mix.codedGain(), 1.0);
    const auto onA = readMix(mix, 200);
    EXPECT_EQ(onA, std::vector<std::int16_t>(200, 10000));
    mix.setSide(ListeningSide::coded);
    const auto across = readMix(mix, 200);
    int previous = onA.back();
    for (std::size_t n = 0; n < across.size(); ++n) {
        const double w = static_cast<double>(std::min<std::size_t>(n + 1, kCrossfadeSamples)) /
                         kCrossfadeSamples;
        EXPECT_EQ(across[n], toSample(10000.0 + w * (-20000.0))) << n;
        ASSERT_LE(std::abs(across[n] - previous), 20000 / kCrossfadeSamples + 1) << n;
        previous = across[n];
    }
    EXPECT_EQ(across[kCrossfadeSamples - 1], -10000);
    mix.setSide(ListeningSide::original);
    const auto back = readMix(mix, 1000);
    EXPECT_EQ(back.size(), 400u);  // the span ends where it ends, whatever was switched
    EXPECT_EQ(back[kCrossfadeSamples - 1], 10000);
    EXPECT_EQ(mix.position(), 800u);
    EXPECT_TRUE(readMix(mix, 10).empty());
}

// Both sides at the loudness of s(n): the coded side is scaled by the ratio
// of the RMS values over the span; and a switch keeps the sample position.
TEST(ABMix, BothSidesPlayAtTheLoudnessOfTheInput) {
    constexpr std::size_t kLength = 16000;
    std::vector<double> a(kLength), b(kLength);
    for (std::size_t n = 0; n < kLength; ++n) {
        a[n] = 8000.0 * std::sin(2 * std::numbers::pi * 200.0 * n / 8000.0);
        b[n] = 2000.0 * std::sin(2 * std::numbers::pi * 300.0 * n / 8000.0);
    }
    ABMix mix(a, b);
    EXPECT_NEAR(mix.codedGain(), 4.0, 1e-9);
    const auto rms = [](const std::vector<std::int16_t>& x) {
        double e = 0.0;
        for (double v : x) e += v * v;
        return std::sqrt(e / static_cast<double>(x.size()));
    };
    const double onA = rms(readMix(mix, 4000));
    mix.setSide(ListeningSide::coded);
    readMix(mix, kCrossfadeSamples);
    const double onB = rms(readMix(mix, 4000));
    EXPECT_NEAR(onB / onA, 1.0, 1e-3);

    // B = A / 2: scaled, B is A; switching back and forth changes no sample.
    std::vector<double> half(a);
    for (double& v : half) v /= 2;
    ABMix same(a, half);
    std::vector<std::int16_t> heard;
    for (int k = 0; k < 40; ++k) {
        same.setSide(k % 2 == 0 ? ListeningSide::coded : ListeningSide::original);
        const auto part = readMix(same, 37 + k);
        heard.insert(heard.end(), part.begin(), part.end());
    }
    ASSERT_GT(heard.size(), 1000u);
    for (std::size_t n = 0; n < heard.size(); ++n) ASSERT_EQ(heard[n], toSample(a[n])) << n;
}

class ChartPlaybackTest : public ::testing::Test {
  protected:
    ChartPlaybackTest() {
        window = std::make_unique<ChartWindow>();
        window->setDialogs(std::make_unique<RecordingDialogs>(log));
        window->contextMenus().playback().setSink(std::make_unique<RecordingSink>(sink));
        window->openForFile(QString::fromStdString(test::samplePath().string()),
                            CoderMode::rate12_2);
        window->findChild<QLineEdit*>("Ed_frame")->setText("42");
        window->BT_refreshClick();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    const SpeechCoder& coder() const { return *window->coder(); }

    // Frames first.. to the end of the sample coded afresh.
    static std::vector<std::int16_t> codedFrom(int first, Signal FrameRecord::*signal) {
        SpeechCoder fresh(test::samplePath(), CoderMode::rate12_2);
        std::vector<std::int16_t> samples;
        while (fresh.nextFrame() == FrameStep::coded)
            if (fresh.frameCount() >= first)
                for (double v : fresh.currentFrame().*signal) samples.push_back(toSample(v));
        return samples;
    }

    std::shared_ptr<Log> log = std::make_shared<Log>();
    std::shared_ptr<SinkLog> sink = std::make_shared<SinkLog>();
    std::unique_ptr<ChartWindow> window;
};

// The stream handed to the sound device: s(n) of the frames shown, then, after
// the key A, the coded side at s(n)'s loudness from the same sample on; the
// window says which side plays, and nothing once the playback ends.
TEST_F(ChartPlaybackTest, ABListeningSwitchesWithTheKeyAndShowsTheSide) {
    const QLabel& side = window->contextMenus().sideLabel();
    EXPECT_FALSE(side.isVisibleTo(window.get()));
    menuAction(window->contextMenus().timeMenu(), "Odsłuch A/B: s(n) ↔ s'(n) – pokazane")
        ->trigger();
    ASSERT_NE(sink->source, nullptr);
    EXPECT_TRUE(side.isVisibleTo(window.get()));
    EXPECT_TRUE(side.text().startsWith(QString::fromUtf8("Słychać: A – s(n)")));
    const std::vector<std::int16_t> a =
        clipped({&coder().previousFrame().speech, &coder().currentFrame().speech});
    // The two sides as the coder has them.
    std::vector<double> speech, b;
    for (const FrameRecord* frame : {&coder().previousFrame(), &coder().currentFrame()}) {
        speech.insert(speech.end(), frame->speech.begin(), frame->speech.end());
        b.insert(b.end(), frame->synthesizedSpeech.begin(), frame->synthesizedSpeech.end());
    }

    const std::vector<std::int16_t> first = pcmSamples(sink->source->read(2 * 100));
    EXPECT_EQ(first, std::vector<std::int16_t>(a.begin(), a.begin() + 100));
    QTest::keyClick(window.get(), Qt::Key_A);
    EXPECT_TRUE(side.text().startsWith(QString::fromUtf8("Słychać: B – s'(n)")));
    const std::vector<std::int16_t> rest = pcmSamples(sink->source->readAll());
    ASSERT_EQ(rest.size(), 220u);
    double ea = 0.0, eb = 0.0;
    for (std::size_t n = 0; n < speech.size(); ++n) {
        ea += speech[n] * speech[n];
        eb += b[n] * b[n];
    }
    const double gain = std::sqrt(ea / eb);
    for (std::size_t n = kCrossfadeSamples; n < rest.size(); ++n)
        ASSERT_EQ(rest[n], toSample(gain * b[100 + n])) << n;

    window->contextMenus().playback().stop();
    EXPECT_FALSE(side.isVisibleTo(window.get()));
}

// The error traces and spectra come from the context menus, as the window's
// boxes' traces do from the boxes: drawn at once, and off again.
TEST_F(ChartPlaybackTest, TheMenusShowTheCodingErrorAndItsSpectrum) {
    const auto errorPixels = [](const QImage& image, QRgb colour) {
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) n += image.pixel(x, y) == colour;
        return n;
    };
    const ChartColours colours = window->plotOptions().colours;
    EXPECT_EQ(errorPixels(window->timeImage(), colours.error), 0);
    QAction* trace = menuAction(window->contextMenus().timeMenu(), "Pokaż błąd e(n)");
    QAction* spectrum =
        menuAction(window->contextMenus().spectrumMenu(), "Pokaż widmo błędu |E(f)|");
    trace->trigger();
    spectrum->trigger();
    EXPECT_TRUE(window->plotOptions().traces.error);
    EXPECT_TRUE(window->plotOptions().spectra.error);
    EXPECT_GT(errorPixels(window->timeImage(), colours.error), 160);
    EXPECT_GT(errorPixels(window->spectrumImage(), colours.error), 80);
    // On screen the trace is named in its colour over the time image.
    const QLabel& legend = window->errorLegend();
    EXPECT_TRUE(legend.isVisibleTo(window.get()));
    EXPECT_NE(legend.text().indexOf("e(n) = s(n) - s'(n)"), -1) << legend.text().toStdString();
    EXPECT_NE(legend.text().indexOf(QColor(colours.error).name()), -1);
    EXPECT_EQ(legend.text().indexOf("ep(n)"), -1);
    menuAction(window->contextMenus().timeMenu(), "Pokaż błąd ep(n)")->trigger();
    EXPECT_NE(legend.text().indexOf("ep(n) = s(n) - sp(n)"), -1) << legend.text().toStdString();
    EXPECT_NE(legend.text().indexOf(QColor(colours.postProcessedError).name()), -1);
    menuAction(window->contextMenus().timeMenu(), "Pokaż błąd ep(n)")->trigger();
    trace->trigger();
    spectrum->trigger();
    EXPECT_EQ(errorPixels(window->timeImage(), colours.error), 0);
    EXPECT_EQ(errorPixels(window->spectrumImage(), colours.error), 0);
    EXPECT_FALSE(legend.isVisibleTo(window.get()));
}

// Space in "Ramka": a space while the field is edited; after Enter the frames
// it went to play.
TEST_F(ChartPlaybackTest, SpaceInTheFrameFieldPlaysOnceEnterHasBeenPressed) {
    auto* frameBox = window->findChild<QLineEdit*>("Ed_frame");
    frameBox->setFocus();
    frameBox->selectAll();
    QTest::keyClicks(frameBox, "50 ");
    EXPECT_EQ(frameBox->text(), "50 ");
    EXPECT_TRUE(sink->played.empty());
    QTest::keyClick(frameBox, Qt::Key_Return);
    ASSERT_EQ(coder().frameCount(), 50);
    QTest::keyClick(frameBox, Qt::Key_Space);
    ASSERT_EQ(sink->played.size(), 1u);
    EXPECT_EQ(pcmSamples(sink->played[0]), clipped({&coder().previousFrame().synthesizedSpeech,
                                                    &coder().currentFrame().synthesizedSpeech}));
    EXPECT_EQ(frameBox->text(), "50");
}

TEST_F(ChartPlaybackTest, SpacePlaysTheShownFramesAsSynthesizedSpeechAndASecondPressStops) {
    ASSERT_EQ(coder().frameCount(), 42);
    QTest::keyClick(window.get(), Qt::Key_Space);
    ASSERT_EQ(sink->played.size(), 1u);
    EXPECT_EQ(pcmSamples(sink->played[0]), clipped({&coder().previousFrame().synthesizedSpeech,
                                                    &coder().currentFrame().synthesizedSpeech}));
    EXPECT_TRUE(window->contextMenus().playback().active());

    const int stops = sink->stops;
    QTest::keyClick(window.get(), Qt::Key_Space);
    EXPECT_EQ(sink->played.size(), 1u) << "a second press plays nothing";
    EXPECT_GT(sink->stops, stops);
    EXPECT_FALSE(window->contextMenus().playback().active());
    EXPECT_TRUE(log->empty());
}

TEST_F(ChartPlaybackTest, ShiftSpacePlaysTheInputSamplesOfTheShownFrames) {
    QTest::keyClick(window.get(), Qt::Key_Space, Qt::ShiftModifier);
    ASSERT_EQ(sink->played.size(), 1u);
    // s(n) of frames 41 and 42 are the file's own bytes.
    EXPECT_EQ(sink->played[0], fileFrames(41, 42));
}

TEST_F(ChartPlaybackTest, TheOneFrameViewPlaysTheCurrentFrame) {
    window->findChild<QRadioButton*>("RB1")->click();
    menuAction(window->contextMenus().timeMenu(), "Odtwórz sp(n) – pokazane")->trigger();
    ASSERT_EQ(sink->played.size(), 1u);
    EXPECT_EQ(pcmSamples(sink->played[0]), clipped({&coder().currentFrame().postProcessedSpeech}));
}

TEST_F(ChartPlaybackTest, FinishedPlaybackLetsTheNextPressPlayAgain) {
    QTest::keyClick(window.get(), Qt::Key_Space);
    ASSERT_TRUE(sink->finished);
    sink->playing = false;
    sink->finished();
    EXPECT_FALSE(window->contextMenus().playback().active());
    QTest::keyClick(window.get(), Qt::Key_Space);
    EXPECT_EQ(sink->played.size(), 2u);
}

TEST_F(ChartPlaybackTest, TheRestOfTheFileIsCodedAsideAndTheWindowsCoderStays) {
    menuAction(window->contextMenus().timeMenu(), "Odtwórz s'(n) – od bieżącej")->trigger();
    EXPECT_TRUE(window->contextMenus().playback().active());
    QTRY_VERIFY_WITH_TIMEOUT(sink->played.size() == 1, 30000);
    EXPECT_EQ(pcmSamples(sink->played[0]), codedFrom(42, &FrameRecord::synthesizedSpeech));
    EXPECT_EQ(coder().frameCount(), 42);

    // s(n) from frame 42 on: the rest of the file's whole frames.
    menuAction(window->contextMenus().timeMenu(), "Zatrzymaj")->trigger();
    EXPECT_FALSE(window->contextMenus().playback().active());
    menuAction(window->contextMenus().timeMenu(), "Odtwórz s(n) – od bieżącej")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(sink->played.size() == 2, 30000);
    const auto frames = static_cast<int>((test::readBytes(test::samplePath()).size() - 60) / 320);
    EXPECT_EQ(sink->played[1], fileFrames(42, frames));
}

TEST_F(ChartPlaybackTest, StoppingWhilePreparingPlaysNothing) {
    menuAction(window->contextMenus().timeMenu(), "Odtwórz sp(n) – od bieżącej")->trigger();
    QTest::keyClick(window.get(), Qt::Key_Space);  // the second press
    EXPECT_FALSE(window->contextMenus().playback().active());
    QTest::qWait(300);
    EXPECT_TRUE(sink->played.empty());
}

TEST_F(ChartPlaybackTest, ClosingTheWindowStopsTheSound) {
    QTest::keyClick(window.get(), Qt::Key_Space);
    ASSERT_TRUE(sink->playing);
    window->close();
    EXPECT_FALSE(sink->playing);
}

TEST_F(ChartPlaybackTest, WithoutASoundDeviceTheUserIsTold) {
    const QString message = "info: Brak urządzenia dźwiękowego: nie można odtworzyć dźwięku.";
    window->contextMenus().playback().setSink(
        std::make_unique<QtAudioSink>([] { return QList<QAudioDevice>{}; }));
    QTest::keyClick(window.get(), Qt::Key_Space);
    EXPECT_EQ(*log, Log{message});
    EXPECT_FALSE(window->contextMenus().playback().active());

    // The rest of the file, alone or for A/B listening, is not coded first:
    // the user is told at once (a 30-minute file took 265 MB and minutes
    // before the answer came).
    menuAction(window->contextMenus().timeMenu(), "Odtwórz s'(n) – od bieżącej")->trigger();
    ASSERT_EQ(log->size(), 2u);
    EXPECT_EQ(log->back(), message);
    EXPECT_FALSE(window->contextMenus().playback().active());
    menuAction(window->contextMenus().timeMenu(), "Odsłuch A/B: s(n) ↔ s'(n) – od bieżącej")
        ->trigger();
    ASSERT_EQ(log->size(), 3u);
    EXPECT_EQ(log->back(), message);
    EXPECT_FALSE(window->contextMenus().playback().active());
}

// ---------------------------------------------------------------------------
// Picture files from the context menus

TEST_F(ChartPlaybackTest, TheMenusSaveTheShownPicturesAsPngAndSvg) {
    const test::TempDir dir;
    QString asked;
    QString answer;
    window->contextMenus().setSaveFileName(
        [&](QWidget*, const QString&, const QString& suggested, const QString&) {
            asked = suggested;
            return answer;
        });
    // The figures of what the window shows: frame 42 of the sample in mode 12.2.
    const FigureSubject subject{
        QString::fromStdString(test::samplePath().string()), CoderMode::rate12_2, {}, 42};
    const QImage& time = window->timeImage();
    const Picture timeFigure =
        describeTimeFigure(time.width(), time.height(), coder().previousFrame(),
                           coder().currentFrame(), window->plotOptions(), subject);
    answer = QString::fromStdString((dir / "czas.png").string());
    menuAction(window->contextMenus().timeMenu(), "Zapisz obraz jako PNG...")->trigger();
    EXPECT_TRUE(asked.endsWith("_ramka42-czas.png")) << asked.toStdString();
    QImage png;
    ASSERT_TRUE(png.load(answer, "PNG"));
    png = png.convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(png, pictureImage(timeFigure));
    // The window's image, pixel for pixel, inside the figure.
    const QPoint origin = figurePlotOrigin(
        describeTimePicture(time.width(), time.height(), coder().previousFrame(),
                            coder().currentFrame(), window->plotOptions()),
        FigureFrame{figureTitle(subject), timeAxis(time.width(), true),
                    amplitudeAxis(time.height(), window->timeGain()),
                    timeLegend(window->plotOptions()), window->chartColours().background});
    EXPECT_EQ(png.copy(QRect(origin, time.size())), time);

    answer = QString::fromStdString((dir / "widmo2x.png").string());
    menuAction(window->contextMenus().spectrumMenu(), "Zapisz obraz jako PNG (2x)...")->trigger();
    // Its own name, not the 1x picture's.
    EXPECT_TRUE(asked.endsWith("_ramka42-widmo_2x.png")) << asked.toStdString();
    ASSERT_TRUE(png.load(answer, "PNG"));
    const QImage& spectrum = window->spectrumImage();
    EXPECT_EQ(
        png.convertToFormat(QImage::Format_RGB32),
        pictureImage(describeSpectrumFigure(spectrum.width(), spectrum.height(),
                                            coder().currentFrame(), window->plotOptions(), subject),
                     2));

    answer = QString::fromStdString((dir / "czas.svg").string());
    menuAction(window->contextMenus().timeMenu(), "Zapisz obraz jako SVG...")->trigger();
    const std::vector<std::uint8_t> svgBytes = test::readBytes(dir / "czas.svg");
    const QByteArray svg(reinterpret_cast<const char*>(svgBytes.data()),
                         static_cast<qsizetype>(svgBytes.size()));
    EXPECT_TRUE(QSvgRenderer(svg).isValid());
    QXmlStreamReader xml(svg);
    int polylines = 0;
    while (!xml.atEnd())
        polylines += xml.readNext() == QXmlStreamReader::StartElement &&
                     xml.name() == QLatin1String("polyline");
    // The grid, s'(n) and s(n); the ticks of -20..20 ms and of three
    // amplitudes; the legend's two lines.
    EXPECT_EQ(polylines, 7 + 3 + 2 + 9 + 3 + 2);
    EXPECT_EQ(svg, pictureSvg(timeFigure));

    // A file that cannot be written is told with the reason.
    answer = QString::fromStdString((dir / "brak" / "x.svg").string());
    menuAction(window->contextMenus().timeMenu(), "Zapisz obraz jako SVG...")->trigger();
    ASSERT_EQ(log->size(), 1u);
    EXPECT_EQ(log->front(), "info: Nie można zapisać pliku " + answer + ": folder „" +
                                QString::fromStdString((dir / "brak").string()) +
                                "” nie istnieje.");
    answer = QString::fromStdString(dir.path().string());
    menuAction(window->contextMenus().timeMenu(), "Zapisz obraz jako PNG...")->trigger();
    ASSERT_EQ(log->size(), 2u);
    EXPECT_EQ(log->back(), "info: Nie można zapisać pliku " + answer + ": to jest folder.");

    answer.clear();  // cancelled
    menuAction(window->contextMenus().timeMenu(), "Zapisz obraz jako PNG...")->trigger();
    EXPECT_EQ(log->size(), 2u);
}

TEST_F(ChartPlaybackTest, TheStripsMenuSavesItsPictureAsPngAndSvg) {
    for (int i = 0; i < 120'000 && !window->framePass()->done(); i += 10) QTest::qWait(10);
    ASSERT_TRUE(window->framePass()->done());
    const test::TempDir dir;
    QString asked;
    QString answer;
    window->contextMenus().setSaveFileName(
        [&](QWidget*, const QString&, const QString& suggested, const QString&) {
            asked = suggested;
            return answer;
        });
    const Picture strip = window->overviewStrip()->picture();
    const Picture picture = describeOverviewFigure(
        strip, test::kSampleFrames, window->chartColours(),
        FigureSubject{
            QString::fromStdString(test::samplePath().string()), CoderMode::rate12_2, {}, 42});
    QMenu& menu = window->contextMenus().overviewMenu();
    answer = QString::fromStdString((dir / "przeglad.png").string());
    menuAction(menu, "Zapisz obraz jako PNG...")->trigger();
    EXPECT_TRUE(asked.endsWith("mowa.wav_przeglad.png")) << asked.toStdString();
    QImage png;
    ASSERT_TRUE(png.load(answer, "PNG"));
    EXPECT_EQ(png.convertToFormat(QImage::Format_RGB32), pictureImage(picture));

    answer = QString::fromStdString((dir / "przeglad2x.png").string());
    menuAction(menu, "Zapisz obraz jako PNG (2x)...")->trigger();
    EXPECT_TRUE(asked.endsWith("mowa.wav_przeglad_2x.png")) << asked.toStdString();
    ASSERT_TRUE(png.load(answer, "PNG"));
    EXPECT_EQ(png.convertToFormat(QImage::Format_RGB32), pictureImage(picture, 2));

    answer = QString::fromStdString((dir / "przeglad.svg").string());
    menuAction(menu, "Zapisz obraz jako SVG...")->trigger();
    EXPECT_TRUE(asked.endsWith("_przeglad.svg")) << asked.toStdString();
    const std::vector<std::uint8_t> svgBytes = test::readBytes(dir / "przeglad.svg");
    const QByteArray svg(reinterpret_cast<const char*>(svgBytes.data()),
                         static_cast<qsizetype>(svgBytes.size()));
    EXPECT_EQ(svg, pictureSvg(picture));
    EXPECT_TRUE(QSvgRenderer(svg).isValid());
    // A column per frame for 283 frames: four polylines each, and the voiced ones' lags.
    EXPECT_GT(countItems(strip).polylines, 4 * test::kSampleFrames);
    EXPECT_TRUE(log->empty());
}

}  // namespace
}  // namespace zorvel
