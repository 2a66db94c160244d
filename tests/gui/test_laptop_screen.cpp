// The desktop program on a laptop: a 1366 x 768 screen with a 30-pixel panel
// leaves a free area of 1366 x 738 (tests/gui/screens/laptop.json). Started
// as "zorvel FILE", every window fits that area with room for a window
// manager's title bar; the chart window's overview strip stands whole beside
// its form, and every control of every window is in view at once. A form
// too wide for that scrolls above the strip instead.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>
#include <vector>

#include "app/AblationPanel.h"
#include "app/FileMenuActions.h"
#include "app/ModeComparisonWindow.h"
#include "app/ProgramWindows.h"
#include "app/UserDialogs.h"
#include "charts/ChartWindow.h"
#include "charts/OverviewStrip.h"
#include "charts/ScreenFit.h"
#include "tests/TestSupport.h"
#include "tests/gui/OffscreenScreen.h"
#include "tests/gui/QuietDialogs.h"

namespace zorvel {
namespace {

constexpr int kTitleBar = 30;  // the room a window manager's frame takes above a window

QRect globalRect(const QWidget& widget) {
    return {widget.mapToGlobal(QPoint(0, 0)), widget.size()};
}

// The window with its title bar above it lies inside the free area.
void expectWindowInside(const QWidget& window, const QRect& area) {
    SCOPED_TRACE(window.windowTitle().toStdString());
    EXPECT_LE(window.geometry().height() + kTitleBar, area.height());
    EXPECT_TRUE(area.contains(window.geometry()))
        << window.geometry().x() << "," << window.geometry().y() << " " << window.width() << "x"
        << window.height();
}

// Buttons, boxes, fields, labels and plots: what a user looks at or uses.
std::vector<QWidget*> controlsOf(const QWidget& window) {
    std::vector<QWidget*> controls;
    for (QWidget* child : window.findChildren<QWidget*>()) {
        if (!child->isVisibleTo(&window)) continue;
        if (qobject_cast<QAbstractButton*>(child) || qobject_cast<QLineEdit*>(child) ||
            qobject_cast<QLabel*>(child) || qobject_cast<QGroupBox*>(child) ||
            qobject_cast<QTableWidget*>(child))
            controls.push_back(child);
    }
    return controls;
}

TEST(LaptopScreen, EveryWindowControlAndTheWholeStripAreReachable) {
    const QRect area = QApplication::primaryScreen()->availableGeometry();
    ASSERT_EQ(area, QRect(0, 0, 1366, 738));

    test::QuietDialogs dialogs{false};
    test::TempDir dir;
    std::filesystem::copy_file(test::samplePath(), dir / "mowa.wav");
    ProgramWindows windows(dialogs, QString::fromStdString((dir / "mowa.wav").string()));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&windows.MMenu));
    expectWindowInside(windows.MMenu, area);
    for (QWidget* control : controlsOf(windows.MMenu))
        EXPECT_TRUE(area.contains(globalRect(*control))) << control->objectName().toStdString();

    windows.MMenu.BT_WykresyClick();
    ChartWindow& chart = windows.TestForm;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&chart));
    expectWindowInside(chart, area);
    EXPECT_TRUE(area.contains(chart.frameGeometry()));  // its title bar on the screen
    // The strip beside the form, whole; the form at its own height and
    // layout, every control and both plots in view at once, none under the strip.
    const OverviewStrip& strip = *chart.overviewStrip();
    EXPECT_TRUE(strip.isVisible());
    EXPECT_TRUE(chart.screenFit().stripBeside());
    EXPECT_EQ(chart.screenFit().scrollArea(), nullptr);
    EXPECT_GE(strip.width(), ScreenFit::kNarrowestStripBeside);
    EXPECT_EQ(strip.height(), OverviewStrip::kHeight);
    EXPECT_TRUE(area.contains(globalRect(strip)));
    EXPECT_TRUE(chart.geometry().contains(globalRect(strip)));
    const std::vector<QWidget*> controls = controlsOf(chart);
    EXPECT_GT(controls.size(), 60u);
    std::vector<QWidget*> inView(controls);
    for (const char* plot : {"Im_time", "Im_freq"}) {
        QWidget* found = chart.findChild<QWidget*>(plot);
        ASSERT_NE(found, nullptr) << plot;
        inView.push_back(found);
    }
    for (QWidget* control : inView) {
        if (control == &strip || strip.isAncestorOf(control)) continue;
        const QRect at = globalRect(*control);
        EXPECT_TRUE(chart.geometry().contains(at)) << control->objectName().toStdString();
        EXPECT_TRUE(area.contains(at)) << control->objectName().toStdString();
        EXPECT_FALSE(at.intersects(globalRect(strip))) << control->objectName().toStdString();
    }
    // The form keeps its layout: every control where the form puts it.
    const QWidget* next = chart.findChild<QWidget*>("BT_next");
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->pos(), QPoint(128, 656));

    windows.MMenu.fileMenuActions().comparisonAction().trigger();
    ModeComparisonWindow* comparison = windows.MMenu.fileMenuActions().comparisonWindow();
    ASSERT_NE(comparison, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(comparison));
    expectWindowInside(*comparison, area);
    for (QWidget* control : controlsOf(*comparison)) {
        EXPECT_TRUE(comparison->rect().contains(
            QRect(control->mapTo(comparison, QPoint(0, 0)), control->size())))
            << control->metaObject()->className();
        EXPECT_TRUE(area.contains(globalRect(*control))) << control->metaObject()->className();
    }
    // Every column of the table in view.
    const QTableWidget& table = comparison->table();
    EXPECT_GE(table.viewport()->width(), table.horizontalHeader()->length());
    comparison->cancel();
    EXPECT_TRUE(dialogs.said.empty());
}

// The frame keys act from the moment the chart window opens, whatever of it
// has the focus: the scrolled form, a readout, a check box; only a field
// being edited keeps its cursor keys.
TEST(LaptopScreen, TheFrameKeysActFromTheMomentTheChartWindowOpens) {
    test::QuietDialogs dialogs{false};
    test::TempDir dir;
    std::filesystem::copy_file(test::samplePath(), dir / "mowa.wav");
    ProgramWindows windows(dialogs, QString::fromStdString((dir / "mowa.wav").string()));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&windows.MMenu));
    windows.MMenu.BT_WykresyClick();
    ChartWindow& chart = windows.TestForm;
    ASSERT_TRUE(QTest::qWaitForWindowActive(&chart));
    const auto frame = [&] { return chart.coder()->frameCount(); };
    ASSERT_EQ(frame(), 1);
    // What has the focus as the window opens.
    QWidget* focused = QApplication::focusWidget();
    QWidget* first = focused != nullptr ? focused : &chart;
    for (int i = 0; i < 3; ++i) QTest::keyClick(first, Qt::Key_Right);
    EXPECT_EQ(frame(), 4) << first->metaObject()->className();
    QTest::keyClick(first, Qt::Key_PageDown);
    EXPECT_EQ(frame(), 14);
    QTest::keyClick(first, Qt::Key_End);
    for (int i = 0; i < 60'000 && frame() != test::kSampleFrames; i += 10) QTest::qWait(10);
    ASSERT_EQ(frame(), test::kSampleFrames);
    QTest::keyClick(first, Qt::Key_Left);
    EXPECT_EQ(frame(), test::kSampleFrames - 1);
    QTest::keyClick(first, Qt::Key_Home);
    EXPECT_EQ(frame(), 1);

    auto* readout = chart.findChild<QLineEdit*>("Ed_gp2");
    ASSERT_NE(readout, nullptr);
    int expected = 1;
    for (QWidget* target :
         {static_cast<QWidget*>(&chart), static_cast<QWidget*>(readout),
          chart.findChild<QWidget*>("CB1"), static_cast<QWidget*>(chart.overviewStrip())}) {
        ASSERT_NE(target, nullptr);
        target->setFocus();
        QTest::keyClick(target, Qt::Key_Right);
        EXPECT_EQ(frame(), ++expected) << target->metaObject()->className();
        QTest::keyClick(target, Qt::Key_PageDown);
        expected += 10;
        EXPECT_EQ(frame(), expected) << target->metaObject()->className();
    }
    // A field being edited keeps them.
    auto* frameBox = chart.findChild<QLineEdit*>("Ed_frame");
    QTest::mouseClick(frameBox, Qt::LeftButton);
    frameBox->setCursorPosition(0);
    QTest::keyClick(frameBox, Qt::Key_Right);
    EXPECT_EQ(frame(), expected);
    EXPECT_EQ(frameBox->cursorPosition(), 1);
    chart.close();
    EXPECT_TRUE(dialogs.said.empty());
}

// The comparison window fits the free area every time it opens, its least
// size too, whatever it showed when it was closed (its ablation page among it).
TEST(LaptopScreen, TheComparisonWindowFitsTheScreenEveryTimeItOpens) {
    const QRect area = QApplication::primaryScreen()->availableGeometry();
    test::QuietDialogs dialogs{false};
    test::TempDir dir;
    std::filesystem::copy_file(test::samplePath(), dir / "mowa.wav");
    ProgramWindows windows(dialogs, QString::fromStdString((dir / "mowa.wav").string()));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&windows.MMenu));
    FileMenuActions& actions = windows.MMenu.fileMenuActions();
    for (int opening = 1; opening <= 3; ++opening) {
        SCOPED_TRACE(opening);
        actions.comparisonAction().trigger();
        ModeComparisonWindow* comparison = actions.comparisonWindow();
        ASSERT_NE(comparison, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(comparison));
        QApplication::processEvents();
        expectWindowInside(*comparison, area);
        EXPECT_LE(comparison->minimumSize().height() + kTitleBar, area.height());
        EXPECT_LE(comparison->minimumSize().width(), area.width());
        EXPECT_LE(comparison->minimumSizeHint().height() + kTitleBar, area.height());
        if (opening == 2) {
            comparison->pages().setCurrentWidget(&comparison->ablation());
            QApplication::processEvents();
            expectWindowInside(*comparison, area);
        }
        comparison->close();
    }
    EXPECT_TRUE(dialogs.said.empty());
}

// The design form and its strip need more than the room a laptop leaves.
// A form too wide for the strip beside it on this screen (1200 columns of
// 1366) scrolls instead: the window as tall as the room, the strip whole at
// its bottom, every control of the form reachable by scrolling.
TEST(LaptopScreen, AFormTooWideForTheStripBesideScrollsAboveIt) {
    const QRect area = QApplication::primaryScreen()->availableGeometry();
    QWidget window;
    window.setFixedSize(1200, 900);
    auto* low = new QLabel(QStringLiteral("na dole"), &window);
    low->setGeometry(10, 760, 200, 20);
    auto* strip = new QWidget(&window);
    strip->setGeometry(10, 792, 1180, 96);
    ScreenFit fit(window, *strip);
    fit.fit();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_FALSE(fit.stripBeside());
    QScrollArea* form = fit.scrollArea();
    ASSERT_NE(form, nullptr);
    EXPECT_LE(window.height() + kTitleBar, area.height());
    EXPECT_EQ(strip->size(), QSize(1180, 96));
    EXPECT_TRUE(area.contains(globalRect(*strip)));
    EXPECT_FALSE(globalRect(*form->viewport()).intersects(globalRect(*strip)));
    form->ensureWidgetVisible(low);
    QApplication::processEvents();
    EXPECT_TRUE(globalRect(*form->viewport()).contains(globalRect(*low)));
    EXPECT_EQ(low->pos(), QPoint(10, 760));  // where its form puts it
}

TEST(LaptopScreen, TheRoomIsTheFreeAreaLessATitleBar) {
    EXPECT_TRUE(screenHasRoomFor(QWidget(), QSize(1366, 738 - kTitleBar)));
    EXPECT_FALSE(screenHasRoomFor(QWidget(), QSize(1009, 824)));
    EXPECT_EQ(roomOnScreen(QWidget()), QSize(1366, 738 - kTitleBar));
}

}  // namespace
}  // namespace zorvel

int main(int argc, char** argv) {
    zorvel::test::useOffscreenScreen(ZORVEL_LAPTOP_SCREEN);
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale::c());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
