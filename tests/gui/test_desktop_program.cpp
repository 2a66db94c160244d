// The desktop program as its user meets it, with the real message boxes and
// file dialog (answered by the test): the titles the window system is given,
// Qt's standard buttons and dialogs in Polish, the open dialog's filters, the
// readout boxes that show they are cut and carry their whole text as
// tooltip, the windows' fixed sizes, Escape in the chart window and the
// buttons' tooltips.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/MainWindow.h"
#include "app/ProgramWindows.h"
#include "app/ProgressNotice.h"
#include "app/Translations.h"
#include "app/UserDialogs.h"
#include "app/ZorvelApplication.h"
#include "charts/ChartWindow.h"
#include "charts/OverviewStrip.h"
#include "charts/ReadoutBox.h"
#include "coder/SpeechCoder.h"
#include "plots/Readouts.h"
#include "tests/TestSupport.h"
#include "tests/gui/OffscreenScreen.h"

// The window-system side of a window: what Qt makes of a title before it
// hands it to the window manager (the xcb platform sets WM_NAME and
// _NET_WM_NAME from it).
#include <qpa/qplatformwindow.h>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

namespace zorvel {
namespace {

namespace fs = std::filesystem;

class PlatformTitle : public QPlatformWindow {
  public:
    using QPlatformWindow::formatWindowTitle;
};

// The title the window manager shows for `widget` (the separator is xcb's).
QString shownTitle(const QWidget& widget) {
    if (widget.windowHandle() == nullptr) throw std::runtime_error("window not created");
    return PlatformTitle::formatWindowTitle(widget.windowHandle()->title(),
                                            QString::fromUtf8(" \u2014 "));
}

QString qPath(const fs::path& path) { return QFile::decodeName(path.string().c_str()); }

QString sample() { return qPath(test::samplePath()); }

// What a message box showed before the test answered it.
struct SeenBox {
    QString title;
    QString shownTitle;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    std::vector<QString> buttons;  // in the box's order
};

// Runs `open`, which shows a modal message box, and answers the box by
// clicking the button with the text `answer` (its mnemonic ignored).
SeenBox answerBox(const std::function<void()>& open, const QString& answer) {
    SeenBox seen;
    bool answered = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;  // the test then fails below
        seen.title = box->windowTitle();
        seen.shownTitle = shownTitle(*box);
        seen.text = box->text();
        seen.icon = box->icon();
        QAbstractButton* chosen = nullptr;
        for (QAbstractButton* button : box->findChild<QDialogButtonBox*>()->buttons()) {
            const QString text = button->text().remove(QLatin1Char('&'));
            seen.buttons.push_back(text);
            if (text == answer) chosen = button;
        }
        std::sort(seen.buttons.begin(), seen.buttons.end());
        if (chosen != nullptr) {
            chosen->click();
            answered = true;
        }
    });
    open();
    EXPECT_TRUE(answered) << "no box with the button " << answer.toStdString();
    return seen;
}

// ---------------------------------------------------------------------------
// Titles

TEST(WindowTitles, EveryWindowShowsExactlyItsCaption) {
    // Nothing is appended to a title: the program has no display name.
    EXPECT_EQ(PlatformTitle::formatWindowTitle("ZORVEL - Menu Główne", " \u2014 "),
              "ZORVEL - Menu Główne");

    QtUserDialogs dialogs;
    MainWindow main(dialogs);
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    EXPECT_EQ(main.windowHandle()->title(), "ZORVEL - Menu Główne");
    EXPECT_EQ(shownTitle(main), "ZORVEL - Menu Główne");

    ChartWindow chart;
    chart.openForFile(sample(), CoderMode::rate6_70);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&chart));
    EXPECT_EQ(shownTitle(chart), "ZORVEL - tryb: 6.70 [kb/s] - mowa.wav");

    ProgressNotice notice;
    notice.showNotice("Kodowanie w trybie 12.2 [kb/s] trwa. Proszę czekac...");
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&notice));
    EXPECT_EQ(shownTitle(notice), "Informacja");
}

TEST(MessageBoxes, InformationSpeaksPolishUnderTheProgramsName) {
    QtUserDialogs dialogs;
    const SeenBox seen =
        answerBox([&] { dialogs.information(nullptr, "Plik wejsciowy nie istnieje!"); }, "OK");
    EXPECT_EQ(seen.title, "ZORVEL");
    EXPECT_EQ(seen.shownTitle, "ZORVEL");
    EXPECT_EQ(seen.text, "Plik wejsciowy nie istnieje!");
    EXPECT_EQ(seen.icon, QMessageBox::Information);
    EXPECT_EQ(seen.buttons, std::vector<QString>{"OK"});
}

TEST(MessageBoxes, ConfirmationHasTakAndNieAndReturnsTheAnswer) {
    QtUserDialogs dialogs;
    const QString question = "Plik wyjsciowy istnieje.\n\nNadpisac?";
    bool answer = true;
    SeenBox seen = answerBox([&] { answer = dialogs.confirm(nullptr, question); }, "Nie");
    EXPECT_FALSE(answer);
    EXPECT_EQ(seen.shownTitle, "ZORVEL");
    EXPECT_EQ(seen.text, question);
    EXPECT_EQ(seen.icon, QMessageBox::Question);
    EXPECT_EQ(seen.buttons, (std::vector<QString>{"Nie", "Tak"}));

    seen = answerBox([&] { answer = dialogs.confirm(nullptr, question); }, "Tak");
    EXPECT_TRUE(answer);
}

TEST(MessageBoxes, ErrorsAndTheChartWindowsBoxesHaveTheSameTitle) {
    QtUserDialogs dialogs;
    SeenBox seen = answerBox([&] { dialogs.showError(nullptr, "błąd"); }, "OK");
    EXPECT_EQ(seen.shownTitle, "ZORVEL");
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_EQ(seen.buttons, std::vector<QString>{"OK"});

    QtChartDialogs chartDialogs;
    seen = answerBox(
        [&] { chartDialogs.information(nullptr, "Numer ramki musi być liczbą całkowitą."); }, "OK");
    EXPECT_EQ(seen.shownTitle, "ZORVEL");
    EXPECT_EQ(seen.text, "Numer ramki musi być liczbą całkowitą.");
}

TEST(MessageBoxes, QtsOwnTextsArePolish) {
    // The translations were loaded by the application object at start-up.
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Anuluj");
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Open"), "Otwórz");
    EXPECT_FALSE(qtTranslationsFolder().isEmpty());
    // Loading them a second time works as well.
    EXPECT_TRUE(installPolishQtTranslations(*QCoreApplication::instance()));
}

// ---------------------------------------------------------------------------
// The open dialog

// The visible names in the dialog's file list.
std::vector<QString> listedNames(QFileDialog& dialog) {
    auto* list = dialog.findChild<QTreeView*>("treeView");
    std::vector<QString> names;
    if (list == nullptr) return names;
    const QModelIndex root = list->rootIndex();
    for (int row = 0; row < list->model()->rowCount(root); ++row) {
        names.push_back(list->model()->index(row, 0, root).data().toString());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(OpenDialog, OffersWaveFilesThenRecordingsThenAllFiles) {
    test::TempDir dir;
    test::writeSamples(dir / "mowa.wav", std::vector<std::int16_t>(320, 100));
    test::writeSamples(dir / "nagranie.raw", std::vector<std::int16_t>(320, 100));
    test::writeTone(dir / "glos.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 440.0, 0.3, 4410);
    test::writeSamples(dir / "notatki.txt", std::vector<std::int16_t>(4, 0));
    QtUserDialogs dialogs;
    MainWindow main(dialogs);
    OpenDialogSettings settings = main.openDialog();
    settings.fileName = qPath(dir / "mowa.wav");

    struct Seen {
        QString title;
        QString shownTitle;
        QStringList filters;
        QString selectedFilter;
        std::vector<QString> wavList;
        std::vector<QString> recordingList;
        std::vector<QString> allList;
        QString cancelText;
        bool listed = false;
    } seen;
    bool inspected = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) return;
        seen.title = dialog->windowTitle();
        seen.shownTitle = shownTitle(*dialog);
        seen.filters = dialog->nameFilters();
        seen.selectedFilter = dialog->selectedNameFilter();
        // The file list is filled by a thread of its own.
        seen.listed = QTest::qWaitFor([&] { return !listedNames(*dialog).empty(); }, 5000);
        seen.wavList = listedNames(*dialog);
        dialog->selectNameFilter(settings.nameFilters.at(1));
        seen.listed =
            seen.listed && QTest::qWaitFor([&] { return listedNames(*dialog).size() == 3; }, 5000);
        seen.recordingList = listedNames(*dialog);
        dialog->selectNameFilter("Wszystkie pliki (*)");
        seen.listed =
            seen.listed && QTest::qWaitFor([&] { return listedNames(*dialog).size() == 4; }, 5000);
        seen.allList = listedNames(*dialog);
        auto* buttons = dialog->findChild<QDialogButtonBox*>();
        QAbstractButton* open = nullptr;
        for (QAbstractButton* button : buttons->buttons()) {
            if (buttons->buttonRole(button) == QDialogButtonBox::RejectRole) {
                seen.cancelText = button->text();
            }
            if (buttons->buttonRole(button) == QDialogButtonBox::AcceptRole) open = button;
        }
        // The user picks the raw file under "all files" by its name.
        if (auto* name = dialog->findChild<QLineEdit*>("fileNameEdit"))
            name->setText("nagranie.raw");
        if (open != nullptr) open->click();
        inspected = true;
    });
    const std::optional<QString> chosen = dialogs.openFileName(&main, settings);
    ASSERT_TRUE(inspected);
    EXPECT_TRUE(seen.listed);
    EXPECT_EQ(seen.title, "Otwórz");
    EXPECT_EQ(seen.shownTitle, "Otwórz");
    ASSERT_EQ(seen.filters.size(), 3);
    EXPECT_EQ(seen.filters[0], "Wave files (*.wav)");
    EXPECT_EQ(seen.filters[2], "Wszystkie pliki (*)");
    // The recordings: every container libsndfile reads here, and the raw files.
    const QString recordings = seen.filters[1];
    EXPECT_TRUE(recordings.startsWith(QString::fromUtf8("Nagrania dźwiękowe (*.")));
    for (const char* pattern : {"*.wav", "*.flac", "*.ogg", "*.aiff", "*.aif", "*.raw", "*.w60"})
        EXPECT_TRUE(recordings.split(QRegularExpression("[ ()]")).contains(pattern)) << pattern;
    EXPECT_EQ(seen.selectedFilter, "Wave files (*.wav)");
    EXPECT_EQ(seen.wavList, std::vector<QString>{"mowa.wav"});
    EXPECT_EQ(seen.recordingList, (std::vector<QString>{"glos.flac", "mowa.wav", "nagranie.raw"}));
    EXPECT_EQ(seen.allList,
              (std::vector<QString>{"glos.flac", "mowa.wav", "nagranie.raw", "notatki.txt"}));
    EXPECT_EQ(seen.cancelText, "Anuluj");
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(*chosen, qPath(dir / "nagranie.raw"));

    // Opened again, the dialog keeps the filter chosen last (FLAC and raw
    // files stay in view), also after a cancel.
    for (int opening = 0; opening < 2; ++opening) {
        QString selected;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr) return;
            selected = dialog->selectedNameFilter();
            dialog->reject();
        });
        EXPECT_FALSE(dialogs.openFileName(&main, settings).has_value());
        EXPECT_EQ(selected, "Wszystkie pliki (*)") << opening;
    }
}

// The question about a recording of another format: Polish buttons, the
// convert button the default, and Escape (as closing the box) cancels.
TEST(RecordingQuestion, EachButtonGivesItsAnswer) {
    QtUserDialogs dialogs;
    QWidget parent;
    const std::vector<std::string> expected{"Anuluj", "Koduj bez zmian", "Konwertuj"};
    const std::pair<const char*, RecordingUse> answers[] = {
        {"Konwertuj", RecordingUse::convert},
        {"Koduj bez zmian", RecordingUse::codeUnchanged},
        {"Anuluj", RecordingUse::cancel},
    };
    for (const auto& [button, use] : answers) {
        RecordingUse answer{};
        const SeenBox seen = answerBox(
            [&] { answer = dialogs.askRecordingUse(&parent, "Plik to nagranie 48000 Hz."); },
            QString::fromUtf8(button));
        EXPECT_EQ(answer, use) << button;
        EXPECT_EQ(seen.title, "ZORVEL");
        EXPECT_EQ(seen.text, "Plik to nagranie 48000 Hz.");
        EXPECT_EQ(seen.icon, QMessageBox::Question);
        std::vector<std::string> shown;
        for (const QString& b : seen.buttons) shown.push_back(b.toStdString());
        EXPECT_EQ(shown, expected);
    }

    bool escaped = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        EXPECT_EQ(box->defaultButton()->text(), "Konwertuj");
        QTest::keyClick(box, Qt::Key_Escape);
        escaped = true;
    });
    EXPECT_EQ(dialogs.askRecordingUse(&parent, "?"), RecordingUse::cancel);
    EXPECT_TRUE(escaped);
}

// ---------------------------------------------------------------------------
// Readout boxes

class ReadoutTest : public ::testing::Test {
  protected:
    ReadoutTest() {
        chart.openForFile(sample(), CoderMode::rate12_2);
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&chart));
    }
    QLineEdit& box(const char* name) {
        auto* found = chart.findChild<QLineEdit*>(name);
        if (found == nullptr) throw std::runtime_error(std::string("no box ") + name);
        return *found;
    }
    // Moves on until the gain of subframe `a` needs more than its box.
    void stepToACutGain(int a) {
        for (int frame = 0; frame < 50; ++frame) {
            const double gp = chart.coder()->currentFrame().pitchGain[a];
            if (formatGeneral(gp).size() > 4) return;
            chart.BT_nextClick();
        }
        FAIL() << "no frame with a long gain";
    }
    ChartWindow chart;
};

TEST_F(ReadoutTest, EveryReadoutsTooltipIsItsWholeText) {
    stepToACutGain(0);
    const FrameRecord& current = chart.coder()->currentFrame();
    for (int a = 0; a < 4; ++a) {
        const std::string gp = "Ed_gp" + std::to_string(a + 1);
        const std::string k = "Editk" + std::to_string(a + 1);
        const QString gain = QString("gp%1=").arg(a + 1) + formatGeneral(current.pitchGain[a]);
        EXPECT_EQ(box(gp.c_str()).text(), gain);
        EXPECT_EQ(box(gp.c_str()).toolTip(), gain);
        EXPECT_EQ(box(k.c_str()).toolTip(),
                  QString("k%1=").arg(a + 1) + formatInteger(current.pitchLag[a]));
    }
    EXPECT_EQ(box("EdSNR").toolTip(), formatGeneral(roundToTwoDecimals(chart.coder()->frameSnr())));
    EXPECT_EQ(box("EdSNRseg").toolTip(), box("EdSNRseg").text());
    EXPECT_EQ(box("EdSNRall").toolTip(), box("EdSNRall").text());
    // A long gain is more than its 51-pixel box shows.
    EXPECT_EQ(box("Ed_gp1").width(), 51);
    EXPECT_TRUE(readoutIsCut(box("Ed_gp1")));

    // The tooltip follows the next redraw.
    chart.BT_startClick();
    chart.BT_prevClick();  // frame 0: every readout is zero
    EXPECT_EQ(box("Ed_gp1").toolTip(), "gp1=0");
    EXPECT_EQ(box("EdSNR").toolTip(), "0");
    EXPECT_FALSE(readoutIsCut(box("Ed_gp1")));
}

TEST(ReadoutShownPart, LongestBeginningThatLeavesRoomForTheEllipsis) {
    QFont font("DejaVu Sans");
    font.setPixelSize(11);
    const QFontMetrics metrics(font);
    const QString text = "gp3=0.439318265";
    const int ellipsis = metrics.horizontalAdvance(QChar(kReadoutEllipsis));
    for (int width = 0; width < metrics.horizontalAdvance(text) + 5; ++width) {
        SCOPED_TRACE(width);
        const QString shown = readoutShownPart(text, metrics, width);
        ASSERT_TRUE(text.startsWith(shown));
        if (metrics.horizontalAdvance(text) <= width) {
            EXPECT_EQ(shown, text);
            continue;
        }
        ASSERT_LT(shown.size(), text.size());
        if (!shown.isEmpty()) {
            EXPECT_LE(metrics.horizontalAdvance(shown) + ellipsis, width);
        }
        // One character more would not leave room for the ellipsis.
        EXPECT_GT(metrics.horizontalAdvance(text.left(shown.size() + 1)) + ellipsis, width);
    }
    EXPECT_EQ(readoutShownPart("", metrics, 0), "");
}

// The box as drawn on the screen (colours only: a grab's unused alpha byte may differ).
QImage drawn(QLineEdit& box) { return box.grab().toImage().convertToFormat(QImage::Format_RGB888); }

// A free-standing box like `model` showing `text` as Qt itself draws it.
QImage drawnByQt(const QLineEdit& model, const QString& text) {
    QLineEdit plain;
    plain.setReadOnly(true);
    plain.setFont(model.font());
    plain.setPalette(model.palette());
    plain.resize(model.size());
    plain.setText(text);
    plain.setCursorPosition(0);
    return drawn(plain);
}

TEST_F(ReadoutTest, CutTextEndsInAnEllipsisUntilTheBoxIsFocused) {
    stepToACutGain(2);
    QLineEdit& gain = box("Ed_gp3");
    gain.clearFocus();
    ASSERT_TRUE(readoutIsCut(gain));
    const QString shown =
        readoutShownPart(gain.text(), gain.fontMetrics(), readoutTextArea(gain).width());
    ASSERT_FALSE(shown.isEmpty());
    // Drawn exactly as Qt draws the shortened text with an ellipsis.
    EXPECT_EQ(drawn(gain), drawnByQt(gain, shown + QChar(kReadoutEllipsis)));
    EXPECT_NE(drawn(gain), drawnByQt(gain, gain.text()));

    // Clicked into, the box shows its text as it is, and the user can scroll
    // in it (its cursor keys are its own, not the frames', until it is left).
    QApplication::setActiveWindow(&chart);
    QTest::mouseClick(&gain, Qt::LeftButton, {}, QPoint(2, gain.height() / 2));
    ASSERT_TRUE(QTest::qWaitFor([&] { return gain.hasFocus(); }, 2000));
    const int frame = chart.coder()->frameCount();
    QTest::keyClick(&gain, Qt::Key_End);
    EXPECT_EQ(gain.cursorPosition(), gain.text().size());
    EXPECT_EQ(chart.coder()->frameCount(), frame);
    const QRect area = readoutTextArea(gain);
    const QImage focused = drawn(gain).copy(area);
    gain.clearFocus();
    // Leaving the box shows its beginning and the ellipsis again.
    EXPECT_EQ(gain.cursorPosition(), 0);
    EXPECT_NE(focused, drawn(gain).copy(area));
    EXPECT_EQ(drawn(gain), drawnByQt(gain, shown + QChar(kReadoutEllipsis)));

    // A text that fits is left as Qt draws it.
    chart.BT_startClick();
    chart.BT_prevClick();
    EXPECT_EQ(drawn(gain), drawnByQt(gain, "gp3=0"));
}

// ---------------------------------------------------------------------------
// Sizes, Escape and tooltips

TEST(WindowSizes, BothWindowsKeepTheFormsSize) {
    QtUserDialogs dialogs;
    MainWindow main(dialogs);
    ChartWindow chart;
    // The chart window: the form's 1009 x 712 and the overview strip below it.
    const QSize chartSize(1009, 712 + OverviewStrip::kHeight + 8);
    const std::pair<QWidget*, QSize> windows[] = {{&main, {459, 454}}, {&chart, chartSize}};
    for (const auto& [window, size] : windows) {
        SCOPED_TRACE(window->objectName().toStdString());
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        EXPECT_EQ(window->minimumSize(), size);
        EXPECT_EQ(window->maximumSize(), size);
        window->resize(300, 200);
        EXPECT_EQ(window->size(), size);
        window->resize(1600, 1000);
        EXPECT_EQ(window->size(), size);
        window->close();
    }
}

// Answers the open dialog with the bundled sample and leaves the rest to Qt.
class SampleDialogs final : public UserDialogs {
  public:
    void information(QWidget*, const QString& text) override { informations.push_back(text); }
    bool confirm(QWidget*, const QString&) override { return false; }
    void showError(QWidget*, const QString&) override {}
    std::optional<QString> openFileName(QWidget*, const OpenDialogSettings&) override {
        return sample();
    }
    RecordingUse askRecordingUse(QWidget*, const QString&) override { return RecordingUse::cancel; }
    std::optional<QString> saveFileName(QWidget*, const QString&, const QString&,
                                        const SaveDialogTypes&) override {
        return std::nullopt;
    }
    void setBusyCursor() override {}
    void restoreCursor() override {}
    std::vector<QString> informations;
};

// "zorvel FILE": the file is the input, named in full, and the output name
// follows from it as when the file is chosen in "Otwórz...".
TEST(StartUp, AFileOnTheCommandLineIsTheInput) {
    EXPECT_EQ(inputArgument({"zorvel"}), "");
    EXPECT_EQ(inputArgument({"zorvel", "nagranie.wav"}), "nagranie.wav");
    EXPECT_EQ(inputArgument({"zorvel", "--", "-dziwna.wav"}), "-dziwna.wav");

    test::TempDir dir;
    fs::copy_file(test::samplePath(), dir / "mowa.wav");
    const QString previous = QDir::currentPath();
    QDir::setCurrent(qPath(dir.path()));
    SampleDialogs dialogs;
    const ProgramWindows windows(dialogs, "mowa.wav");
    QDir::setCurrent(previous);
    EXPECT_TRUE(windows.MMenu.isVisible());
    EXPECT_FALSE(windows.TestForm.isVisible());
    EXPECT_EQ(windows.MMenu.findChild<QLineEdit*>("Edit1")->text(), qPath(dir / "mowa.wav"));
    EXPECT_EQ(windows.MMenu.findChild<QLineEdit*>("Edit2")->text(),
              qPath(dir / "mowa.wav") + "_12.20_sout.wav");
    EXPECT_TRUE(dialogs.informations.empty());
}

// Escape asks first (the chart window's own dialogs), then goes back to the
// main window as the close box does.
// A missing file or a folder named on the command line is told at start, and
// the main window starts without an input.
TEST(StartUp, AMissingFileOrAFolderOnTheCommandLineIsTold) {
    test::TempDir dir;
    SampleDialogs dialogs;
    const QString missing = qPath(dir / "brak.wav");
    {
        const ProgramWindows windows(dialogs, missing);
        EXPECT_TRUE(windows.MMenu.isVisible());
        EXPECT_EQ(windows.MMenu.findChild<QLineEdit*>("Edit1")->text(), "");
        EXPECT_EQ(dialogs.informations,
                  std::vector<QString>{QStringLiteral("Plik wejściowy „") + missing +
                                       QStringLiteral("” podany przy uruchomieniu nie istnieje.")});
    }
    dialogs.informations.clear();
    fs::create_directory(dir / "nagrania");
    const QString folder = qPath(dir / "nagrania");
    const ProgramWindows windows(dialogs, folder);
    EXPECT_EQ(windows.MMenu.findChild<QLineEdit*>("Edit1")->text(), "");
    EXPECT_EQ(dialogs.informations,
              std::vector<QString>{QStringLiteral("„") + folder +
                                   QStringLiteral("” podany przy uruchomieniu jest folderem, a "
                                                  "nie plikiem wejściowym.")});
}

TEST(ChartWindowKeys, EscapeAsksThenGoesBackToTheMainWindowAsTheCloseBoxDoes) {
    struct Yes final : ChartDialogs {
        void information(QWidget*, const QString&) override {}
        bool confirm(QWidget*, const QString& text) override {
            asked->push_back(text);
            return true;
        }
        void setBusyCursor() override {}
        void restoreCursor() override {}
        std::shared_ptr<std::vector<QString>> asked = std::make_shared<std::vector<QString>>();
    };
    SampleDialogs dialogs;
    MainWindow main(dialogs);
    ChartWindow chart;
    auto chartDialogs = std::make_unique<Yes>();
    const std::shared_ptr<std::vector<QString>> asked = chartDialogs->asked;
    chart.setDialogs(std::move(chartDialogs));
    ProgressNotice notice;
    main.setForms(&chart, &notice);
    main.show();
    main.Open1Click();
    QSignalSpy closed(&chart, &ChartWindow::closed);

    for (const char* focus : {"BT_next", "Ed_frame", "Ed_gp1"}) {
        SCOPED_TRACE(focus);
        main.BT_WykresyClick();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&chart));
        EXPECT_FALSE(main.isVisible());
        chart.BT_nextClick();
        auto* control = chart.findChild<QWidget*>(focus);
        ASSERT_NE(control, nullptr);
        control->setFocus();
        QTest::keyClick(control, Qt::Key_Escape);
        EXPECT_FALSE(chart.isVisible());
        EXPECT_TRUE(main.isVisible());
        // Hidden, not destroyed: the coder stays where it was.
        ASSERT_NE(chart.coder(), nullptr);
        EXPECT_EQ(chart.coder()->frameCount(), 2);
    }
    EXPECT_EQ(closed.count(), 3);
    EXPECT_EQ(*asked, std::vector<QString>(
                          3, QStringLiteral("Zamknąć okno wykresów i wrócić do okna głównego?")));
    EXPECT_TRUE(dialogs.informations.empty());
}

TEST(ChartWindowHints, ButtonsNameWhatTheyDoAndTheirKeys) {
    ChartWindow chart;
    const std::pair<const char*, const char*> hints[] = {
        {"BT_start", "Pierwsza ramka (Home)"},
        {"BT_prev", "Poprzednia ramka (←); o 10 ramek wstecz: PgUp"},
        {"BT_next", "Następna ramka (→); o 10 ramek dalej: PgDn"},
        {"BT_end", "Ostatnia ramka (End)"},
        {"BT_refresh",
         "Odśwież: przejdź do ramki z pola Ramka i przerysuj wykresy w skali z pola "
         "Skala (Enter w polu Ramka lub Skala)"},
        {"RadioButton1", "Wykresy na ciemnym tle"},
        {"RadioButton2", "Wykresy na jasnym tle"},
    };
    for (const auto& [name, hint] : hints) {
        auto* control = chart.findChild<QAbstractButton*>(name);
        ASSERT_NE(control, nullptr) << name;
        EXPECT_EQ(control->toolTip(), QString::fromUtf8(hint)) << name;
    }
    // The check boxes keep the hints of the form.
    EXPECT_EQ(chart.findChild<QAbstractButton*>("CB1")->toolTip(), "sygnał wejściowy");
}

}  // namespace
}  // namespace zorvel

int main(int argc, char** argv) {
    // Windows are tested offscreen, also when the build lists the tests.
    zorvel::test::useOffscreenScreen();
    qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext& context, const QString& text) {
            if (type != QtWarningMsg || !text.startsWith("This plugin does not support")) {
                std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
            }
        });
    zorvel::QtUserDialogs dialogs;
    zorvel::ZorvelApplication application(argc, argv, dialogs);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
