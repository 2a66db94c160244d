// Long inputs in the chart window: the overview strip's frame mapping, what
// it shows (its picture and the marker), the background pass (stopping with
// the window, going on when the same file opens again), jumps that wait for
// the pass and their cancelling, the keys, the wheel, a click or drag on the
// strip, and input given during a step that must not turn into further steps.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QWheelEvent>
#include <QXmlStreamReader>
#include <cmath>
#include <cstring>
#include <memory>
#include <thread>

#include "charts/ChartContextMenus.h"
#include "charts/ChartDialogs.h"
#include "charts/ChartWindow.h"
#include "charts/OverviewStrip.h"
#include "charts/PointerReadout.h"
#include "coder/FrameDistances.h"
#include "coder/FramePass.h"
#include "coder/SpeechCoder.h"
#include "plots/MeasureTexts.h"
#include "plots/OverviewPicture.h"
#include "plots/Picture.h"
#include "sound/Wave.h"
#include "tests/TestSupport.h"

namespace zorvel {
namespace {

namespace fs = std::filesystem;

using test::kSampleFrames;
using test::repeatedSample;
constexpr int kWaitMs = 120'000;  // the pass under the sanitizers is slow

class SilentDialogs final : public ChartDialogs {
  public:
    void information(QWidget*, const QString& text) override {
        ++messages;
        said.push_back(text);
    }
    bool confirm(QWidget*, const QString& text) override {
        asked.push_back(text);
        return answer;
    }
    void setBusyCursor() override {}
    void restoreCursor() override {}
    int messages = 0;
    std::vector<QString> said;
    std::vector<QString> asked;
    bool answer = true;
};

// ---------------------------------------------------------------------------
// The strip's mapping between columns and frames

struct StripSize {
    int width;
    int frames;
};

class OverviewMapping : public ::testing::TestWithParam<StripSize> {};

TEST_P(OverviewMapping, ColumnsCoverEveryFrameOnceInOrder) {
    const auto [w, total] = GetParam();
    EXPECT_EQ(overviewFrameAtX(0, w, total), 1);
    EXPECT_EQ(overviewFrameAtX(-50, w, total), 1);
    EXPECT_EQ(overviewFrameAtX(w + 50, w, total), overviewFrameAtX(w - 1, w, total));
    int previous = 0;
    for (int x = 0; x < w; ++x) {
        const int f = overviewFrameAtX(x, w, total);
        ASSERT_GE(f, std::max(previous, 1)) << "x " << x;
        ASSERT_LE(f, total) << "x " << x;
        if (total >= w) {
            ASSERT_GT(f, previous) << "x " << x;  // no frame in two columns
        }
        previous = f;
    }
    for (int f = 1; f <= total; ++f) {
        const int x = overviewXOfFrame(f, w, total);
        ASSERT_GE(x, 0);
        ASSERT_LT(x, w);
        // Column x holds frame f: it starts at or before f, the next after it.
        ASSERT_LE(overviewFrameAtX(x, w, total), f) << "frame " << f;
        if (x + 1 < w) {
            ASSERT_GT(overviewFrameAtX(x + 1, w, total), f) << "frame " << f;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, OverviewMapping,
                         ::testing::Values(StripSize{977, 90'000}, StripSize{977, 180'000},
                                           StripSize{977, 977}, StripSize{977, 978},
                                           StripSize{977, 976}, StripSize{977, 5},
                                           StripSize{977, 1}, StripSize{7, 100}));

TEST(OverviewMapping, ExactColumnsOfHalfAnHour) {
    // x * 90000 / 977 + 1
    EXPECT_EQ(overviewFrameAtX(1, 977, 90'000), 93);
    EXPECT_EQ(overviewFrameAtX(488, 977, 90'000), 44'954);
    EXPECT_EQ(overviewFrameAtX(976, 977, 90'000), 89'908);
    EXPECT_EQ(overviewXOfFrame(90'000, 977, 90'000), 976);
    EXPECT_EQ(overviewXOfFrame(92, 977, 90'000), 0);
    EXPECT_EQ(overviewXOfFrame(93, 977, 90'000), 1);
    EXPECT_EQ(overviewFrameAtX(10, 977, 0), 0);
    EXPECT_EQ(overviewXOfFrame(10, 977, 0), 0);
}

// ---------------------------------------------------------------------------
// The window

class OverviewWindow : public ::testing::Test {
  protected:
    OverviewWindow() {
        auto silent = std::make_unique<SilentDialogs>();
        dialogs = silent.get();
        window.setDialogs(std::move(silent));
        QApplication::setActiveWindow(&window);
    }
    ~OverviewWindow() override { window.hide(); }

    void open(const fs::path& file, CoderMode mode = CoderMode::rate12_2) {
        window.openForFile(QString::fromStdString(file.string()), mode);
    }
    int frame() const { return window.coder()->frameCount(); }
    template <typename T>
    T* control(const char* name) {
        T* c = window.findChild<T*>(name);
        if (c == nullptr) throw std::runtime_error(std::string("no control ") + name);
        return c;
    }
    void waitForPass() {
        for (int i = 0; i < kWaitMs && !window.framePass()->done(); i += 10) QTest::qWait(10);
        ASSERT_TRUE(window.framePass()->done());
    }
    void waitForFrame(int n) {
        for (int i = 0; i < kWaitMs && frame() != n; i += 10) QTest::qWait(10);
        ASSERT_EQ(frame(), n);
    }

    test::TempDir dir;
    ChartWindow window;
    SilentDialogs* dialogs = nullptr;  // the window's
};

TEST_F(OverviewWindow, KeysStepAndEnterRefreshes) {
    open(repeatedSample(dir, 1));
    QWidget* box = control<QWidget>("CB1");
    QTest::keyClick(box, Qt::Key_Right);
    EXPECT_EQ(frame(), 2);
    QTest::keyClick(box, Qt::Key_PageDown);
    EXPECT_EQ(frame(), 12);
    QTest::keyClick(&window, Qt::Key_Left);
    EXPECT_EQ(frame(), 11);
    QTest::keyClick(control<QWidget>("BT_next"), Qt::Key_PageUp);
    EXPECT_EQ(frame(), 1);
    QTest::keyClick(box, Qt::Key_End);  // waits for the pass while it is short of frame 200
    waitForFrame(kSampleFrames);
    EXPECT_EQ(control<QLineEdit>("Ed_frame")->text(), QString::number(kSampleFrames));
    QTest::keyClick(box, Qt::Key_Home);
    EXPECT_EQ(frame(), 1);

    // In a field being edited Left and Right move its cursor; Enter acts as
    // "Odśwież", and after it the keys act on the frames again.
    auto* frameBox = control<QLineEdit>("Ed_frame");
    frameBox->setFocus();
    frameBox->selectAll();
    QTest::keyClicks(frameBox, "40");
    frameBox->setCursorPosition(0);
    QTest::keyClick(frameBox, Qt::Key_Right);
    EXPECT_EQ(frame(), 1);
    EXPECT_EQ(frameBox->cursorPosition(), 1);
    QTest::keyClick(frameBox, Qt::Key_Return);
    EXPECT_EQ(frame(), 40);
    QTest::keyClick(frameBox, Qt::Key_Left);
    EXPECT_EQ(frame(), 39);
    QTest::keyClick(frameBox, Qt::Key_Home);
    EXPECT_EQ(frame(), 1);
    frameBox->setText("7");
    QTest::keyClick(control<QLineEdit>("Ed_scale"), Qt::Key_Enter);
    EXPECT_EQ(frame(), 7);

    // A click into a field starts its editing too; leaving it ends it.
    QTest::mouseClick(frameBox, Qt::LeftButton);
    QTest::keyClick(frameBox, Qt::Key_End);
    EXPECT_EQ(frame(), 7);
    EXPECT_EQ(frameBox->cursorPosition(), frameBox->text().size());
    control<QWidget>("BT_next")->setFocus();
    frameBox->setFocus();
    QTest::keyClick(frameBox, Qt::Key_Right);
    EXPECT_EQ(frame(), 8);
}

// Escape in a field being edited puts back what it showed and closes
// nothing; the next Escape asks to leave the window. Space types a space while the
// field is edited and plays once it is not.
TEST_F(OverviewWindow, EscapeAndSpaceBelongToAFieldOnlyWhileItIsEdited) {
    open(repeatedSample(dir, 1));
    window.BT_nextClick();
    auto* frameBox = control<QLineEdit>("Ed_frame");
    frameBox->setFocus();
    frameBox->end(false);
    QTest::keyClicks(frameBox, "5 ");
    EXPECT_EQ(frameBox->text(), "25 ");
    EXPECT_FALSE(window.contextMenus().playback().active());
    QTest::keyClick(frameBox, Qt::Key_Escape);
    EXPECT_EQ(frameBox->text(), "2");
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(dialogs->asked.empty());
    QTest::keyClick(frameBox, Qt::Key_Escape);
    EXPECT_EQ(dialogs->asked.size(), 1u);
    EXPECT_FALSE(window.isVisible());
}

// Escape has one meaning at a time: while a jump waits for the pass it
// cancels that jump and nothing else; with nothing waiting it asks before it
// closes the window, and "No" keeps the window open.
TEST_F(OverviewWindow, EscapeCancelsAWaitingJumpElseAsksBeforeClosing) {
    open(repeatedSample(dir, 60));
    const int target = 60 * kSampleFrames - 5;
    control<QLineEdit>("Ed_frame")->setText(QString::number(target));
    control<QPushButton>("BT_refresh")->click();
    ASSERT_EQ(window.waitingFor(), target);
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_FALSE(window.waitingFor());
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(dialogs->asked.empty());

    dialogs->answer = false;
    QTest::keyClick(control<QWidget>("CB1"), Qt::Key_Escape);
    EXPECT_EQ(
        dialogs->asked,
        std::vector<QString>{QStringLiteral("Zamknąć okno wykresów i wrócić do okna głównego?")});
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(frame(), 1);

    dialogs->answer = true;
    QTest::keyClick(control<QWidget>("CB1"), Qt::Key_Escape);
    EXPECT_EQ(dialogs->asked.size(), 2u);
    EXPECT_FALSE(window.isVisible());
}

TEST_F(OverviewWindow, TheWheelOverThePlotsStepsFrames) {
    open(repeatedSample(dir, 1));
    QWidget* plot = control<QWidget>("Im_time");
    const QPointF at(100, 100);
    auto wheel = [&](QWidget* target, int angle) {
        QWheelEvent event(at, plot->mapToGlobal(at), QPoint(), QPoint(0, angle), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &event);
    };
    wheel(plot, -240);  // two notches towards the user
    EXPECT_EQ(frame(), 3);
    wheel(control<QWidget>("Im_freq"), 120);
    EXPECT_EQ(frame(), 2);
    wheel(plot, -60);  // half a notch: nothing yet
    EXPECT_EQ(frame(), 2);
    wheel(plot, -60);
    EXPECT_EQ(frame(), 3);
}

TEST_F(OverviewWindow, AClickOrDragOnTheStripGoesToTheFrameUnderThePointer) {
    const fs::path file = repeatedSample(dir, 4);
    open(file, CoderMode::rate10_2);
    waitForPass();
    OverviewStrip* strip = window.overviewStrip();
    const int total = 4 * kSampleFrames;
    ASSERT_EQ(strip->totalFrames(), total);
    for (int x : {0, 1, 300, 488, 976}) {
        QTest::mouseClick(strip, Qt::LeftButton, Qt::NoModifier, QPoint(x, 40));
        const int expected = overviewFrameAtX(x, strip->width(), total);
        EXPECT_EQ(frame(), expected) << "x " << x;
        EXPECT_EQ(strip->currentFrame(), expected);
        EXPECT_EQ(control<QLineEdit>("Ed_frame")->text(), QString::number(expected));
    }
    // A drag from column 100 to column 700 ends on the frame of column 700.
    QTest::mousePress(strip, Qt::LeftButton, Qt::NoModifier, QPoint(100, 30));
    EXPECT_EQ(frame(), overviewFrameAtX(100, strip->width(), total));
    for (int x : {250, 500, 700}) {
        QMouseEvent move(QEvent::MouseMove, QPointF(x, 30), strip->mapToGlobal(QPointF(x, 30)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(strip, &move);
        EXPECT_EQ(frame(), overviewFrameAtX(x, strip->width(), total)) << "x " << x;
    }
    QTest::mouseRelease(strip, Qt::LeftButton, Qt::NoModifier, QPoint(700, 30));

    // Moves that arrive while a step codes: the drag ends where the last one
    // points, in one jump after the step.
    QTest::mousePress(strip, Qt::LeftButton, Qt::NoModifier, QPoint(200, 30));
    for (int x : {220, 240, 260}) {
        QApplication::postEvent(
            strip,
            new QMouseEvent(QEvent::MouseMove, QPointF(x, 30), strip->mapToGlobal(QPointF(x, 30)),
                            Qt::NoButton, Qt::LeftButton, Qt::NoModifier));
    }
    control<QPushButton>("BT_prev")->click();  // the step during which they arrive
    waitForFrame(overviewFrameAtX(260, strip->width(), total));
    QTest::mouseRelease(strip, Qt::LeftButton, Qt::NoModifier, QPoint(260, 30));
    EXPECT_EQ(frame(), overviewFrameAtX(260, strip->width(), total));
    QTest::mouseMove(strip, QPoint(700, 30));

    // The frame reached equals a plain pass's.
    SpeechCoder plain(file, CoderMode::rate10_2);
    plain.setCheckpoints(nullptr);
    ASSERT_EQ(plain.goToFrame(frame()), FrameStep::coded);
    EXPECT_EQ(window.coder()->overallSnr(), plain.overallSnr());
    EXPECT_EQ(window.coder()->segmentalSnr(), plain.segmentalSnr());
}

// The strip shows its picture, painted with the Canvas rule, and the marker
// on the current frame, in both colour schemes.
TEST_F(OverviewWindow, TheStripShowsItsPictureAndTheMarker) {
    open(repeatedSample(dir, 4), CoderMode::rate7_40);
    waitForPass();
    window.goToFrame(700);
    ASSERT_EQ(frame(), 700);
    OverviewStrip* strip = window.overviewStrip();
    const int marker = strip->xOfFrame(700);
    for (const char* scheme : {"RadioButton1", "RadioButton2"}) {
        control<QRadioButton>(scheme)->click();
        const QImage shown = strip->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QImage picture = pictureImage(strip->picture());
        ASSERT_EQ(shown.size(), QSize(977, OverviewStrip::kHeight));
        ASSERT_EQ(picture.size(), shown.size());
        int differences = 0;
        for (int y = 0; y < shown.height(); ++y) {
            for (int x = 0; x < shown.width(); ++x) {
                const QRgb expected = x == marker ? kOverviewMarkerColour : picture.pixel(x, y);
                differences += shown.pixel(x, y) != expected;
            }
        }
        EXPECT_EQ(differences, 0) << scheme;
        // Every column holds frames: each has its mean power drawn.
        const QRgb power = window.chartColours().overviewPower;
        int powerColumns = 0;
        for (int x = 1; x + 1 < shown.width(); ++x) {
            bool found = false;
            for (int y = 1; y < OverviewStrip::kHeight / 3 && !found; ++y)
                found = picture.pixel(x, y) == power;
            powerColumns += found;
        }
        EXPECT_GT(powerColumns, 900) << scheme;
    }
}

TEST_F(OverviewWindow, ClosingTheWindowStopsThePassAndOpeningAgainGoesOn) {
    const fs::path file = repeatedSample(dir, 60);  // 16,980 frames
    open(file);
    const FramePass* pass = window.framePass();
    for (int i = 0; i < kWaitMs && pass->reached() == 0; i += 5) QTest::qWait(5);
    ASSERT_TRUE(pass->running());
    window.close();
    EXPECT_FALSE(pass->running());
    const int stoppedAt = pass->reached();
    EXPECT_LT(stoppedAt, pass->totalFrames());
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(pass->reached(), stoppedAt);

    // The same file again: the same pass continues from where it stopped.
    open(file);
    EXPECT_EQ(window.framePass(), pass);
    EXPECT_GE(pass->reached(), stoppedAt);
    EXPECT_TRUE(pass->running() || pass->done());
    // Another mode: a new pass; the old one is stopped and gone.
    open(file, CoderMode::rate4_75);
    EXPECT_NE(window.framePass(), nullptr);
    EXPECT_EQ(window.framePass()->checkpoints()->mode(), CoderMode::rate4_75);
    window.close();
    EXPECT_FALSE(window.framePass()->running());
}

// The input is cut to one frame while the pass codes it: the pass fails, and
// the window says once, in Polish, where the overview stopped and why.
TEST_F(OverviewWindow, APassThatFailsIsToldOnceWithItsReason) {
    const fs::path file = repeatedSample(dir, 60);  // far more than the pass codes meanwhile
    open(file);
    fs::resize_file(file, kSampleDataOffset + kFrameBytes);
    const FramePass* pass = window.framePass();
    for (int i = 0; i < kWaitMs && dialogs->said.empty(); i += 10) QTest::qWait(10);
    ASSERT_TRUE(pass->failed());
    ASSERT_EQ(dialogs->said.size(), 1u);
    EXPECT_EQ(dialogs->said[0].toStdString(),
              QString::fromUtf8("Przegląd całego pliku zatrzymał się po ramce %1 z %2: plik "
                                "wejściowy skrócił się w czasie kodowania.\nOkno działa dalej, "
                                "bez przeglądu dalszych ramek.")
                  .arg(pass->reached())
                  .arg(pass->totalFrames())
                  .toStdString());
    // Told once: neither the polls after it nor a jump tell it again.
    QTest::qWait(200);
    QTest::keyClick(&window, Qt::Key_End);
    QTest::qWait(50);
    EXPECT_EQ(dialogs->said.size(), 1u);
}

TEST_F(OverviewWindow, AJumpPastThePassWaitsWithProgressAndEscOrStartCancel) {
    const fs::path file = repeatedSample(dir, 60);
    open(file);
    const int total = 60 * kSampleFrames;
    const int target = total - 5;
    auto* frameBox = control<QLineEdit>("Ed_frame");
    frameBox->setText(QString::number(target));
    control<QPushButton>("BT_refresh")->click();
    ASSERT_EQ(window.waitingFor(), target);
    EXPECT_EQ(frame(), 1);
    QTest::qWait(50);
    EXPECT_FALSE(window.overviewStrip()->progressText().isEmpty());
    // Steps given while waiting are dropped, not queued.
    control<QPushButton>("BT_next")->click();
    QTest::keyClick(control<QWidget>("CB1"), Qt::Key_Right);
    EXPECT_EQ(window.waitingFor(), target);
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_FALSE(window.waitingFor());
    EXPECT_TRUE(window.overviewStrip()->progressText().isEmpty());
    EXPECT_EQ(frame(), 1);
    EXPECT_TRUE(window.framePass()->running() || window.framePass()->done());

    frameBox->setText(QString::number(target));
    control<QPushButton>("BT_refresh")->click();
    if (window.waitingFor()) {
        control<QPushButton>("BT_start")->click();  // "|<" ends the wait, at frame 1
        EXPECT_FALSE(window.waitingFor());
        EXPECT_EQ(frame(), 1);
    }
    frameBox->setText(QString::number(target));
    control<QPushButton>("BT_refresh")->click();
    waitForFrame(target);
    EXPECT_FALSE(window.waitingFor());
    EXPECT_TRUE(window.overviewStrip()->progressText().isEmpty());
    EXPECT_EQ(frameBox->text(), QString::number(target));
    SpeechCoder plain(file, CoderMode::rate12_2);
    plain.setCheckpoints(nullptr);
    ASSERT_EQ(plain.goToFrame(target), FrameStep::coded);
    EXPECT_EQ(window.coder()->overallSnr(), plain.overallSnr());
    EXPECT_EQ(window.coder()->segmentalSnr(), plain.segmentalSnr());
    EXPECT_EQ(
        std::memcmp(&window.coder()->currentFrame(), &plain.currentFrame(), sizeof(FrameRecord)),
        0);
}

// Clicks and keys that arrive while a step codes reach the window after it;
// they are dropped instead of running as further steps.
TEST_F(OverviewWindow, InputQueuedDuringAStepAddsNoSteps) {
    open(repeatedSample(dir, 1));
    window.goToFrame(10);
    ASSERT_EQ(frame(), 10);
    for (int i = 0; i < 2; ++i) {
        QApplication::postEvent(control<QWidget>("CB1"),
                                new QKeyEvent(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier));
    }
    QMetaObject::invokeMethod(control<QPushButton>("BT_next"), "click", Qt::QueuedConnection);
    QWidget* plot = control<QWidget>("Im_time");
    QApplication::postEvent(plot, new QWheelEvent(QPointF(5, 5), plot->mapToGlobal(QPointF(5, 5)),
                                                  QPoint(), QPoint(0, -120), Qt::NoButton,
                                                  Qt::NoModifier, Qt::NoScrollPhase, false));
    control<QPushButton>("BT_prev")->click();  // the step; the input above waits meanwhile
    QApplication::processEvents();
    EXPECT_EQ(frame(), 9);
    // Afterwards the same input acts again.
    QTest::keyClick(control<QWidget>("CB1"), Qt::Key_Right);
    EXPECT_EQ(frame(), 10);
}

// ---------------------------------------------------------------------------
// The spectral distances in the window

TEST_F(OverviewWindow, TheReadoutShowsTheCurrentFramesDistancesInFreeSpace) {
    open(repeatedSample(dir, 1), CoderMode::rate5_15);
    const QLabel& readout = window.measureReadout();
    for (const int n : {1, 37, 200}) {
        window.goToFrame(n);
        waitForFrame(n);
        EXPECT_EQ(readout.text(), measureReadoutText(measureRecord(window.coder()->currentFrame(),
                                                                   SaveOption::synthesized)))
            << "frame " << n;
        EXPECT_FALSE(readout.text().contains(QStringLiteral("–"))) << "frame " << n;
    }
    // Inside the form, clear of every other control of the window.
    const QRect place = readout.geometry();
    EXPECT_TRUE(QRect(0, 0, window.width(), window.overviewStrip()->y()).contains(place));
    for (const QWidget* other : window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (other == &readout || !other->isVisibleTo(&window)) continue;
        EXPECT_FALSE(other->geometry().intersects(place)) << other->objectName().toStdString();
    }
}

TEST_F(OverviewWindow, TheStripCanShowAnyMeasureAndTheSnrAgain) {
    open(repeatedSample(dir, 2), CoderMode::rate7_95);
    waitForPass();
    OverviewStrip* strip = window.overviewStrip();
    QMenu& menu = window.contextMenus().overviewMenu();
    auto action = [&](const QString& name) {
        QAction* a = menu.findChild<QAction*>(name);
        if (a == nullptr) throw std::runtime_error("no action " + name.toStdString());
        return a;
    };
    EXPECT_TRUE(action(QStringLiteral("OverviewLane_frameSnr"))->isChecked());
    EXPECT_FALSE(strip->measure());
    const QImage snrPicture = pictureImage(strip->picture());

    action(QStringLiteral("OverviewLane_fwSegSnr"))->trigger();
    EXPECT_EQ(strip->measure(), SpectralMeasure::fwSegSnr);
    EXPECT_TRUE(action(QStringLiteral("OverviewLane_fwSegSnr"))->isChecked());
    // The pass goes back over the file for the distances.
    const FramePass* pass = window.framePass();
    for (int i = 0; i < kWaitMs && pass->measured() < pass->totalFrames(); i += 10)
        QTest::qWait(10);
    ASSERT_EQ(pass->measured(), 2 * kSampleFrames);
    QTest::qWait(100);  // a poll of the pass paints the strip
    const QImage shown = strip->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage measurePicture = pictureImage(strip->picture());
    const OverviewMeasure measure{SpectralMeasure::fwSegSnr, pass->measures()};
    EXPECT_EQ(measurePicture, pictureImage(describeOverviewPicture(
                                  strip->width(), strip->height(), pass->summaries(),
                                  pass->totalFrames(), window.chartColours(), measure)));
    EXPECT_NE(measurePicture, snrPicture);
    // Away from the marker the strip on screen is the picture.
    const int marker = strip->xOfFrame(frame());
    int differences = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            differences += x != marker && shown.pixel(x, y) != measurePicture.pixel(x, y);
    EXPECT_EQ(differences, 0);

    action(QStringLiteral("OverviewLane_frameSnr"))->trigger();
    EXPECT_FALSE(strip->measure());
    EXPECT_EQ(pictureImage(strip->picture()), snrPicture);
}

// The strip saved as a figure and its tool tip name and scale what its middle
// lane shows: a measure chosen in its menu replaces the SNR's title, numbers
// and legend, and the tool tip gives the frame's value of it.
TEST_F(OverviewWindow, TheSavedStripAndItsToolTipNameAndScaleTheMeasureShown) {
    open(repeatedSample(dir, 1), CoderMode::rate7_95);
    waitForPass();
    OverviewStrip* strip = window.overviewStrip();
    QMenu& menu = window.contextMenus().overviewMenu();
    menu.findChild<QAction*>(QStringLiteral("OverviewLane_lsdLp"))->trigger();
    const FramePass* pass = window.framePass();
    for (int i = 0; i < kWaitMs && pass->measured() < pass->totalFrames(); i += 10)
        QTest::qWait(10);
    ASSERT_EQ(pass->measured(), kSampleFrames);

    const QString file = QString::fromStdString((dir / "strip.svg").string());
    window.contextMenus().setSaveFileName(
        [&](QWidget*, const QString&, const QString&, const QString&) { return file; });
    QAction* saveSvg = nullptr;
    for (QAction* action : menu.actions())
        if (action->text() == QStringLiteral("Zapisz obraz jako SVG...")) saveSvg = action;
    ASSERT_NE(saveSvg, nullptr);
    saveSvg->trigger();
    QFile saved(file);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    QStringList texts;
    QXmlStreamReader xml(saved.readAll());
    while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("text"))
            texts << xml.readElementText();
    ASSERT_FALSE(xml.hasError());
    EXPECT_TRUE(texts.contains(QStringLiteral("E [dB], LSD-LP [dB], k")))
        << texts.join('|').toStdString();
    EXPECT_TRUE(texts.contains(QStringLiteral("LSD-LP: średnia ramek")));
    EXPECT_TRUE(texts.contains(QStringLiteral("0")));  // the bottom of the LSD-LP lane
    for (const char* snr : {"E [dB], SNR [dB], k", "SNR: średni", "35", "-5"})
        EXPECT_FALSE(texts.contains(QString::fromUtf8(snr))) << snr;

    const int x = strip->xOfFrame(100);
    const int frame = strip->frameAtX(x);
    const PointerReadout* readout = window.findChild<PointerReadout*>();
    ASSERT_NE(readout, nullptr);
    const QString tip = readout->textAt(strip, QPoint(x, 10));
    const float value = pass->measures()[static_cast<std::size_t>(frame - 1)]
                                        [static_cast<std::size_t>(SpectralMeasure::lsdLp)];
    ASSERT_FALSE(std::isnan(value));
    EXPECT_TRUE(tip.contains(QStringLiteral("\nLSD-LP = ") +
                             measureValueText(SpectralMeasure::lsdLp, value)))
        << tip.toStdString();
    EXPECT_FALSE(tip.contains(QStringLiteral("SNR"))) << tip.toStdString();
}

}  // namespace
}  // namespace zorvel
