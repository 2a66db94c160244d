// The main window MMenu, driven through its real widgets: the start state of
// every control, the output-name rule, the encoding run with its questions,
// notice, cursor and restore steps, the chart button and the way out.
// Message boxes, the open dialog and the cursor go to a recording stand-in;
// the run is either the real coder or a stand-in that observes the window.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStyleOptionButton>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <functional>
#include <mutex>
#include <ostream>
#include <sstream>
#include <stdexcept>
#include <stop_token>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "app/FileMenuActions.h"
#include "app/MainWindow.h"
#include "app/ModeComparisonWindow.h"
#include "app/ProgressNotice.h"
#include "app/RecordingImport.h"
#include "app/UserDialogs.h"
#include "app/ZorvelApplication.h"
#include "charts/ChartWindow.h"
#include "charts/SystemReasons.h"
#include "coder/SpeechCoder.h"
#include "sound/Conversion.h"
#include "sound/SpeechInput.h"
#include "tests/TestSupport.h"
#include "tests/cli/CliRun.h"
#include "tests/gui/OffscreenScreen.h"

// Readable failure messages for Qt strings.
void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace {

using zorvel::ChartWindow;
using zorvel::EncodeOutcome;
using zorvel::EncodeRequest;
using zorvel::MainWindow;
using zorvel::OpenDialogSettings;
using zorvel::ProgressNotice;
using zorvel::RunControl;
using zorvel::RunResult;
namespace fs = std::filesystem;
namespace zt = zorvel::test;

const QString kMissingInput = QString::fromUtf8("Plik wejsciowy nie istnieje!");
const QString kOverwriteQuestion = QString::fromUtf8("Plik wyjsciowy istnieje.\n\nNadpisac?");
const QString kEncodingFailed = QString::fromUtf8(
    "Kodowanie nie powiodło się: nie można odczytać pliku wejściowego lub zapisać pliku "
    "wyjściowego.");

// Records every conversation with the user and answers from prepared values.
class RecordingDialogs : public zorvel::UserDialogs {
  public:
    std::vector<QString> informations;
    std::vector<QString> confirmations;
    std::vector<QString> errors;
    std::vector<OpenDialogSettings> openRequests;
    std::deque<std::optional<QString>> openAnswers;
    std::vector<QString> recordingQuestions;
    std::deque<zorvel::RecordingUse> recordingAnswers;
    std::vector<std::pair<QString, QString>> saveRequests;  // caption, suggested name
    std::deque<std::optional<QString>> saveAnswers;
    bool confirmAnswer = true;
    int busyDepth = 0;
    int busyCalls = 0;
    std::function<void()> onInformation;  // runs while an information box would be up
    std::function<void()> onError;        // runs while an error box would be up

    void information(QWidget*, const QString& text) override {
        informations.push_back(text);
        if (onInformation) onInformation();
    }
    bool confirm(QWidget*, const QString& text) override {
        confirmations.push_back(text);
        return confirmAnswer;
    }
    void showError(QWidget*, const QString& text) override {
        errors.push_back(text);
        if (onError) onError();
    }
    std::optional<QString> openFileName(QWidget*, const OpenDialogSettings& settings) override {
        openRequests.push_back(settings);
        if (openAnswers.empty()) return std::nullopt;
        auto answer = openAnswers.front();
        openAnswers.pop_front();
        return answer;
    }
    zorvel::RecordingUse askRecordingUse(QWidget*, const QString& text) override {
        recordingQuestions.push_back(text);
        if (recordingAnswers.empty()) return zorvel::RecordingUse::cancel;
        const auto answer = recordingAnswers.front();
        recordingAnswers.pop_front();
        return answer;
    }
    std::optional<QString> saveFileName(QWidget*, const QString& caption, const QString& suggested,
                                        const zorvel::SaveDialogTypes&) override {
        saveRequests.emplace_back(caption, suggested);
        if (saveAnswers.empty()) return std::nullopt;
        auto answer = saveAnswers.front();
        saveAnswers.pop_front();
        return answer;
    }
    void setBusyCursor() override {
        ++busyDepth;
        ++busyCalls;
    }
    void restoreCursor() override { --busyDepth; }
};

// The dialogs of the application object (its exception handler), set up by main().
RecordingDialogs& applicationDialogs() {
    static RecordingDialogs dialogs;
    return dialogs;
}

QString qPath(const fs::path& path) { return QFile::decodeName(path.string().c_str()); }

// What the window looked like while a run was going on.
struct RunObservation {
    EncodeRequest request;
    bool windowEnabled = true;
    bool noticeVisible = false;
    QString noticeText;
    int busyDepth = 0;
    bool offWindowThread = false;  // the run went on a thread of its own
};

class MainWindowTest : public ::testing::Test {
  protected:
    MainWindowTest()
        : window(dialogs,
                 [this](const EncodeRequest& r, RunControl& c) { return observeRun(r, c); }) {
        applicationDialogs() = RecordingDialogs{};
        window.setForms(&testForm, &infoForm);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    // The run goes on a thread of its own; the window is looked at from its
    // own thread, which serves the look while it waits for the run. (A run on
    // the window's thread would be refused the look and record nothing.)
    EncodeOutcome observeRun(const EncodeRequest& request, RunControl& control) {
        const bool offWindowThread = QThread::currentThread() != window.thread();
        QMetaObject::invokeMethod(
            &window,
            [&] {
                runs.push_back({request, window.isEnabled(), infoForm.isVisible(), infoForm.text(),
                                dialogs.busyDepth, offWindowThread});
            },
            Qt::BlockingQueuedConnection);
        return runAction ? runAction(request, control) : EncodeOutcome{RunResult::completed};
    }

    template <typename T>
    T& control(const char* name) {
        T* found = window.findChild<T*>(QString::fromUtf8(name));
        if (found == nullptr) throw std::runtime_error(std::string("no control ") + name);
        return *found;
    }

    void click(const char* name) {
        auto& button = control<QAbstractButton>(name);
        QPoint at = button.rect().center();
        if (auto* radio = qobject_cast<QRadioButton*>(&button)) {
            QStyleOptionButton option;
            option.initFrom(radio);
            at = radio->style()
                     ->subElementRect(QStyle::SE_RadioButtonIndicator, &option, radio)
                     .center();
        }
        QTest::mouseClick(&button, Qt::LeftButton, {}, at);
    }

    // Opens "&Plik" on the menu bar and clicks `item` in it.
    void clickMenuItem(const char* item) {
        QMenuBar* bar = window.menuBar();
        auto& menu = control<QMenu>("File1");
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu.menuAction()).center());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
        QTest::mouseClick(&menu, Qt::LeftButton, {},
                          menu.actionGeometry(&control<QAction>(item)).center());
    }

    void chooseFile(const QString& name) {
        dialogs.openAnswers.push_back(name);
        clickMenuItem("Open1");
    }

    QString edit1() { return control<QLineEdit>("Edit1").text(); }
    QString edit2() { return control<QLineEdit>("Edit2").text(); }

    // The last message is the report of a completed run.
    bool saidDone() const {
        return !dialogs.informations.empty() &&
               dialogs.informations.back().startsWith(QString::fromUtf8("Kodowanie zakończone."));
    }

    void expectIdleWindow() {
        EXPECT_TRUE(window.isEnabled());
        EXPECT_TRUE(window.isVisible());
        EXPECT_FALSE(infoForm.isVisible());
        EXPECT_EQ(dialogs.busyDepth, 0);
    }

    RecordingDialogs dialogs;
    std::vector<RunObservation> runs;
    std::function<EncodeOutcome(const EncodeRequest&, RunControl&)> runAction;
    ChartWindow testForm;
    ProgressNotice infoForm;
    MainWindow window;
};

// --- start state ---------------------------------------------------------------------------

struct ControlRow {
    const char* name;
    const char* className;
    const char* parentName;
    QRect geometry;
    const char* text;
    bool checked;
    bool shown;
    bool enabled;
};

const ControlRow kControls[] = {
    {"Label1", "QLabel", "centralwidget", {17, 7, 71, 13}, "Plik wejsciowy:", false, true, true},
    {"Edit1", "QLineEdit", "centralwidget", {16, 24, 417, 21}, "", false, true, false},
    {"Label2", "QLabel", "centralwidget", {16, 57, 70, 13}, "Plik wyjsciowy:", false, true, true},
    {"Edit2", "QLineEdit", "centralwidget", {16, 76, 417, 21}, "", false, true, true},
    {"GroupBox1",
     "QGroupBox",
     "centralwidget",
     {16, 114, 417, 95},
     " Tryb kodera: ",
     false,
     true,
     true},
    {"RadioButton1",
     "QRadioButton",
     "centralwidget",
     {53, 134, 113, 17},
     "~ 12.2 [kb/s]",
     true,
     true,
     true},
    {"RadioButton2",
     "QRadioButton",
     "centralwidget",
     {53, 157, 113, 17},
     "~ 10.2 [kb/s]",
     false,
     true,
     true},
    {"RadioButton3",
     "QRadioButton",
     "centralwidget",
     {53, 180, 113, 17},
     "~ 7.95 / 7.45 [kb/s]",
     false,
     true,
     true},
    {"RadioButton4",
     "QRadioButton",
     "centralwidget",
     {135, 389, 113, 17},
     "~ 7.40 kb/s",
     false,
     false,
     false},
    {"RadioButton5",
     "QRadioButton",
     "centralwidget",
     {209, 134, 113, 17},
     "~ 6.70 [kb/s]",
     false,
     true,
     true},
    {"RadioButton6",
     "QRadioButton",
     "centralwidget",
     {209, 157, 113, 17},
     "~ 5.90 [kb/s]",
     false,
     true,
     true},
    {"RadioButton7",
     "QRadioButton",
     "centralwidget",
     {209, 180, 113, 17},
     "~ 5.15 / 4.75 [kb/s]",
     false,
     true,
     true},
    {"RadioButton8",
     "QRadioButton",
     "centralwidget",
     {138, 367, 113, 17},
     "~ 4.75 kb/s",
     false,
     false,
     false},
    {"GroupBox2",
     "QGroupBox",
     "centralwidget",
     {16, 216, 417, 65},
     " Opcje zapisu: ",
     false,
     true,
     true},
    {"RB_sout",
     "QRadioButton",
     "GroupBox2",
     {37, 18, 175, 17},
     "Sygnal przed post-processingiem",
     true,
     true,
     true},
    {"RB_soutp",
     "QRadioButton",
     "GroupBox2",
     {37, 42, 185, 17},
     "Sygnal po post-processingu",
     false,
     true,
     true},
    {"GroupBox3",
     "QGroupBox",
     "centralwidget",
     {16, 288, 417, 65},
     " Opcje dodatkowe ",
     false,
     true,
     true},
    {"RB_adapt",
     "QRadioButton",
     "GroupBox3",
     {38, 20, 211, 17},
     "Używaj słownika adaptacyjnego",
     true,
     true,
     true},
    {"RB_noadapt",
     "QRadioButton",
     "GroupBox3",
     {38, 41, 243, 17},
     "NIE używaj słownika adaptacyjnego",
     false,
     true,
     true},
    {"BT_Wykresy", "QPushButton", "centralwidget", {16, 367, 85, 33}, "Wykresy", false, true, true},
    {"BT_Kodowanie",
     "QPushButton",
     "centralwidget",
     {347, 367, 85, 33},
     "Kodowanie",
     false,
     true,
     true},
};

QString captionOf(QWidget& widget) {
    if (auto* label = qobject_cast<QLabel*>(&widget)) return label->text();
    if (auto* edit = qobject_cast<QLineEdit*>(&widget)) return edit->text();
    if (auto* box = qobject_cast<QGroupBox*>(&widget)) return box->title();
    if (auto* button = qobject_cast<QAbstractButton*>(&widget)) return button->text();
    return "<no caption>";
}

TEST_F(MainWindowTest, EveryControlStartsWhereAndAsTheFormSays) {
    for (const ControlRow& row : kControls) {
        SCOPED_TRACE(row.name);
        auto& widget = control<QWidget>(row.name);
        EXPECT_STREQ(widget.metaObject()->className(), row.className);
        ASSERT_NE(widget.parentWidget(), nullptr);
        EXPECT_EQ(widget.parentWidget()->objectName(), QString(row.parentName));
        EXPECT_EQ(widget.geometry(), row.geometry);
        EXPECT_EQ(captionOf(widget), QString::fromUtf8(row.text));
        EXPECT_EQ(!widget.isHidden(), row.shown);
        EXPECT_EQ(widget.isEnabled(), row.enabled);
        if (auto* button = qobject_cast<QRadioButton*>(&widget)) {
            EXPECT_EQ(button->isChecked(), row.checked);
        }
    }
    EXPECT_FALSE(control<QLineEdit>("Edit2").isReadOnly());
}

TEST_F(MainWindowTest, WindowHasItsCaptionPlaceSizeAndFont) {
    EXPECT_EQ(window.objectName(), "MMenu");
    EXPECT_EQ(window.windowTitle(), QString::fromUtf8("ZORVEL - Menu Główne"));
    EXPECT_EQ(window.pos(), QPoint(261, 191));
    EXPECT_EQ(window.size(), QSize(459, 454));
    EXPECT_EQ(window.font().family(), "MS Sans Serif");
    EXPECT_EQ(window.font().pixelSize(), 11);
    EXPECT_EQ(control<QRadioButton>("RB_noadapt").font().pixelSize(), 11);
    // Controls sit in the client area under the menu bar.
    EXPECT_EQ(window.centralWidget()->objectName(), "centralwidget");
    EXPECT_GE(window.centralWidget()->height(), 400);
}

TEST_F(MainWindowTest, ModeButtonsAreOneGroupInFrontOfGroupBox1) {
    // Children are stacked in creation order: the group box is behind the buttons.
    const QObjectList order = window.centralWidget()->children();
    const auto indexOf = [&](const char* name) { return order.indexOf(&control<QWidget>(name)); };
    for (int k = 1; k <= 8; ++k) {
        const std::string name = "RadioButton" + std::to_string(k);
        EXPECT_LT(indexOf("GroupBox1"), indexOf(name.c_str())) << name;
    }
    EXPECT_TRUE(control<QGroupBox>("GroupBox1").findChildren<QRadioButton*>().isEmpty());
    auto& group = control<QButtonGroup>("ModeButtons");
    EXPECT_TRUE(group.exclusive());
    EXPECT_EQ(group.buttons().size(), 8);

    // Clicking the checked mode button leaves it checked.
    click("RadioButton1");
    EXPECT_TRUE(control<QRadioButton>("RadioButton1").isChecked());

    click("RadioButton6");
    int checked = 0;
    for (int k = 1; k <= 8; ++k) {
        const std::string name = "RadioButton" + std::to_string(k);
        checked += control<QRadioButton>(name.c_str()).isChecked() ? 1 : 0;
    }
    EXPECT_EQ(checked, 1);
    EXPECT_TRUE(control<QRadioButton>("RadioButton6").isChecked());
    // The other groups are untouched by a mode click.
    EXPECT_TRUE(control<QRadioButton>("RB_sout").isChecked());
    EXPECT_TRUE(control<QRadioButton>("RB_adapt").isChecked());
    click("RB_soutp");
    EXPECT_FALSE(control<QRadioButton>("RB_sout").isChecked());
    EXPECT_TRUE(control<QRadioButton>("RadioButton6").isChecked());
    click("RB_noadapt");
    EXPECT_FALSE(control<QRadioButton>("RB_adapt").isChecked());
    EXPECT_TRUE(control<QRadioButton>("RB_soutp").isChecked());
}

TEST_F(MainWindowTest, TabOrderFollowsTheForm) {
    const QStringList expected = {"Edit1",        "Edit2",        "RadioButton1", "RadioButton2",
                                  "RadioButton3", "RadioButton4", "RadioButton5", "RadioButton6",
                                  "RadioButton7", "RadioButton8", "BT_Wykresy",   "BT_Kodowanie",
                                  "RB_sout",      "RB_soutp",     "RB_adapt",     "RB_noadapt"};
    QStringList chain;
    QWidget* start = &control<QWidget>("Edit1");
    QWidget* widget = start;
    for (int step = 0; step < 500; ++step) {
        if (expected.contains(widget->objectName())) chain << widget->objectName();
        widget = widget->nextInFocusChain();
        if (widget == start) break;
    }
    EXPECT_EQ(chain, expected);
}

// Open first and Exit last; between them, each group between separators,
// playback, the listening test, and the mode comparison with the coder
// settings.
TEST_F(MainWindowTest, MenuHasPlikWithOpenPlaybackComparisonAndExit) {
    QMenuBar* bar = window.menuBar();
    EXPECT_EQ(bar->objectName(), "MainMenu1");
    ASSERT_EQ(bar->actions().size(), 1);
    auto& file = control<QMenu>("File1");
    EXPECT_EQ(bar->actions().front(), file.menuAction());
    EXPECT_EQ(file.title(), "&Plik");
    const QList<QAction*> actions = file.actions();
    ASSERT_EQ(actions.size(), 15);
    EXPECT_EQ(actions[0]->objectName(), "Open1");
    EXPECT_EQ(actions[0]->text(), "&Otworz...");
    const char* const texts[] = {"",
                                 "Odtwórz plik wejściowy",
                                 "Odtwórz plik wyjściowy",
                                 "Odsłuch A/B: plik wejściowy ↔ wyjściowy",
                                 "Przełącz A/B",
                                 "Zatrzymaj odtwarzanie",
                                 "",
                                 "Test odsłuchowy...",
                                 "Wyniki testu odsłuchowego...",
                                 "",
                                 "Porównanie trybów...",
                                 "Ustawienia kodera...",
                                 ""};
    for (int i = 0; i < 13; ++i) {
        EXPECT_EQ(actions[i + 1]->isSeparator(), *texts[i] == '\0') << i + 1;
        EXPECT_EQ(actions[i + 1]->text(), QString::fromUtf8(texts[i])) << i + 1;
    }
    EXPECT_EQ(actions[5]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_B));
    EXPECT_EQ(actions[12]->objectName(), "CoderSettings1");
    EXPECT_EQ(actions[14]->objectName(), "Exit1");
    EXPECT_EQ(actions[14]->text(), "&Wyjscie");
}

// --- open dialog and output-name rule ------------------------------------------------------

TEST_F(MainWindowTest, OpenDialogAsksForAnExistingWaveFile) {
    chooseFile("/dane/mowa.wav");
    ASSERT_EQ(dialogs.openRequests.size(), 1u);
    const OpenDialogSettings& asked = dialogs.openRequests.front();
    // WAV files first, then the recordings the program converts, then every
    // file: any file with samples from byte 60 is an input.
    ASSERT_EQ(asked.nameFilters.size(), 3);
    EXPECT_EQ(asked.nameFilters[0], "Wave files (*.wav)");
    EXPECT_TRUE(asked.nameFilters[1].startsWith(QString::fromUtf8("Nagrania dźwiękowe (")));
    EXPECT_EQ(asked.nameFilters[2], "Wszystkie pliki (*)");
    EXPECT_EQ(asked.defaultSuffix, "wav");
    EXPECT_TRUE(asked.fileMustExist);
    EXPECT_EQ(asked.fileName, "");
    EXPECT_EQ(edit1(), "/dane/mowa.wav");
    EXPECT_EQ(edit2(), "/dane/mowa.wav_12.20_sout.wav");

    // A cancelled dialog changes nothing and the next one starts at the last file.
    control<QLineEdit>("Edit2").setText("moje.wav");
    clickMenuItem("Open1");
    ASSERT_EQ(dialogs.openRequests.size(), 2u);
    EXPECT_EQ(dialogs.openRequests.back().fileName, "/dane/mowa.wav");
    EXPECT_EQ(edit1(), "/dane/mowa.wav");
    EXPECT_EQ(edit2(), "moje.wav");
}

TEST_F(MainWindowTest, NamedExamplesOfTheOutputName) {
    chooseFile("/dane/mowa.wav");
    EXPECT_EQ(edit2(), "/dane/mowa.wav_12.20_sout.wav");
    click("RadioButton7");
    click("RB_soutp");
    click("RB_noadapt");
    EXPECT_EQ(edit1(), "/dane/mowa.wav");
    EXPECT_EQ(edit2(), "/dane/mowa.wav_05.15_spout_noadapt.wav");
}

TEST_F(MainWindowTest, BeforeAnyFileTheOutputNameIsTheBareSuffixes) {
    control<QLineEdit>("Edit2").setText("cokolwiek.wav");
    click("RadioButton2");
    EXPECT_EQ(edit1(), "");
    EXPECT_EQ(edit2(), "_10.20_sout.wav");
    click("RB_noadapt");
    EXPECT_EQ(edit2(), "_10.20_sout_noadapt.wav");
}

TEST_F(MainWindowTest, ClickingTheCheckedButtonKeepsAnEditedName) {
    chooseFile("/dane/mowa.wav");
    control<QLineEdit>("Edit2").clear();
    QTest::keyClicks(&control<QLineEdit>("Edit2"), "/tmp/wlasna.wav");
    click("RadioButton1");  // already checked: it does not become checked, nothing runs
    EXPECT_EQ(edit2(), "/tmp/wlasna.wav");
}

// Mode number, button and suffix, written out independently of the window.
struct ModeCase {
    int mode;
    const char* button;
    const char* suffix;
    const char* noticeRate;
};
const ModeCase kModeCases[] = {
    {1, "RadioButton1", "_12.20", "12.2 [kb/s]"}, {2, "RadioButton2", "_10.20", "10.2 [kb/s]"},
    {3, "RadioButton3", "_07.95", "7.95 [kb/s]"}, {4, "RadioButton4", "_07.40", "7.40 [kb/s]"},
    {5, "RadioButton5", "_06.70", "6.70 [kb/s]"}, {6, "RadioButton6", "_05.90", "5.90 [kb/s]"},
    {7, "RadioButton7", "_05.15", "5.15 [kb/s]"}, {8, "RadioButton8", "_04.75", "4.75 [kb/s]"},
};

class OutputNameTest : public MainWindowTest,
                       public ::testing::WithParamInterface<std::tuple<int, bool, bool>> {};

TEST_P(OutputNameTest, FollowsModeAndOptions) {
    const auto [mode, postProcessed, noAdaptive] = GetParam();
    const ModeCase& mc = kModeCases[mode - 1];
    chooseFile("/dane/nagrania/zdanie 1.wav");
    auto& button = control<QRadioButton>(mc.button);
    if (button.isVisible()) {
        click(mc.button);
    } else {
        button.setChecked(true);  // modes 4 and 8 have no visible button to click
    }
    if (postProcessed) click("RB_soutp");
    if (noAdaptive) click("RB_noadapt");

    QString expected = QString("/dane/nagrania/zdanie 1.wav") + mc.suffix;
    expected += postProcessed ? "_spout" : "_sout";
    if (noAdaptive) expected += "_noadapt";
    expected += ".wav";
    EXPECT_EQ(edit1(), "/dane/nagrania/zdanie 1.wav");
    EXPECT_EQ(edit2(), expected);
    EXPECT_EQ(window.selectedMode(), zt::modeNumbered(mode));

    // Going back to the defaults puts the default option suffix back.
    if (postProcessed) click("RB_sout");
    if (noAdaptive) click("RB_adapt");
    EXPECT_EQ(edit2(), QString("/dane/nagrania/zdanie 1.wav") + mc.suffix + "_sout.wav");
}

INSTANTIATE_TEST_SUITE_P(AllModesAndOptions, OutputNameTest,
                         ::testing::Combine(::testing::Range(1, 9), ::testing::Bool(),
                                            ::testing::Bool()));

class EditedNameTest : public MainWindowTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(EditedNameTest, RadioClickReplacesEditedOutputName) {
    chooseFile("/dane/mowa.wav");
    auto& edit = control<QLineEdit>("Edit2");
    edit.clear();
    QTest::keyClicks(&edit, "/tmp/wlasna.wav");
    ASSERT_EQ(edit2(), "/tmp/wlasna.wav");
    click(GetParam());
    EXPECT_TRUE(edit2().startsWith("/dane/mowa.wav_")) << edit2().toStdString();
    EXPECT_TRUE(edit2().endsWith(".wav"));
}

INSTANTIATE_TEST_SUITE_P(EachGroup, EditedNameTest,
                         ::testing::Values("RadioButton5", "RB_soutp", "RB_noadapt"));

// --- recordings of another format -----------------------------------------------------------

// A half second of a 440 Hz tone, 48 kHz stereo 24-bit, chosen in "Otwórz...".
class OtherFormatTest : public MainWindowTest {
  protected:
    OtherFormatTest() {
        zt::writeTone(recording, SF_FORMAT_WAV | SF_FORMAT_PCM_24, 48000, 440.0, 0.5, 24000,
                      {1.0, 0.5});
    }
    QString question(const char* target) const {
        return QString::fromUtf8(
                   "Plik „rec.wav” to nagranie 48000 Hz, stereo, próbki 24-bitowe.\n"
                   "Koder przyjmuje nagrania 8000 Hz, mono, 16-bitowe: odczytane bez zmian, "
                   "to nagranie dałoby błędne wyniki.\n\n"
                   "Można je przekonwertować do pliku „") +
               QString::fromUtf8(target) + QString::fromUtf8("” i kodować ten plik.");
    }
    zt::TempDir dir;
    const fs::path recording = dir / "rec.wav";
    const fs::path converted = dir / "rec.wav_8k.wav";
};

TEST_F(OtherFormatTest, CancelLeavesEverythingAsItWas) {
    chooseFile(qPath(recording));
    EXPECT_EQ(dialogs.recordingQuestions, std::vector<QString>{question("rec.wav_8k.wav")});
    EXPECT_EQ(edit1(), "");
    EXPECT_EQ(edit2(), "");
    EXPECT_FALSE(fs::exists(converted));
    EXPECT_EQ(zt::directoryNames(dir.path()), std::vector<std::string>{"rec.wav"});
}

TEST_F(OtherFormatTest, CodeUnchangedTakesTheFileAndAsksNoMore) {
    dialogs.recordingAnswers = {zorvel::RecordingUse::codeUnchanged};
    chooseFile(qPath(recording));
    EXPECT_EQ(edit1(), qPath(recording));
    EXPECT_EQ(edit2(), qPath(recording) + "_12.20_sout.wav");
    click("BT_Kodowanie");
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].request.inputName, recording);
    EXPECT_EQ(dialogs.recordingQuestions.size(), 1u);
    EXPECT_FALSE(fs::exists(converted));
}

TEST_F(OtherFormatTest, ConvertWritesTheConversionBesideItAndTakesIt) {
    dialogs.recordingAnswers = {zorvel::RecordingUse::convert};
    chooseFile(qPath(recording));
    EXPECT_EQ(edit1(), qPath(converted));
    EXPECT_EQ(edit2(), qPath(converted) + "_12.20_sout.wav");
    // The file is the command-line import's, byte for byte.
    const zorvel::ConvertedRecording expected = zorvel::convertRecording(recording);
    ASSERT_TRUE(expected.converted);
    EXPECT_EQ(zt::readBytes(converted),
              std::vector<std::uint8_t>(expected.bytes.begin(), expected.bytes.end()));
    EXPECT_EQ(zorvel::describeRecording(converted).kind, zorvel::RecordingKind::coderFormat);
    EXPECT_TRUE(dialogs.informations.empty());  // nothing clipped: nothing to say
    EXPECT_GT(dialogs.busyCalls, 0);
    EXPECT_EQ(dialogs.busyDepth, 0);

    // The conversion is coded without a further question.
    click("BT_Kodowanie");
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].request.inputName, converted);
    EXPECT_EQ(dialogs.recordingQuestions.size(), 1u);
}

TEST_F(OtherFormatTest, AnExistingConversionIsReplacedOnlyWhenTheUserSaysSo) {
    const std::vector<std::uint8_t> old = {'o', 'l', 'd'};
    zt::writeBytes(converted, old);
    dialogs.recordingAnswers = {zorvel::RecordingUse::convert, zorvel::RecordingUse::convert};
    dialogs.confirmAnswer = false;
    chooseFile(qPath(recording));
    EXPECT_EQ(
        dialogs.confirmations,
        std::vector<QString>{QString::fromUtf8("Plik „rec.wav_8k.wav” istnieje.\n\nNadpisać?")});
    EXPECT_EQ(edit1(), "");
    EXPECT_EQ(zt::readBytes(converted), old);

    dialogs.confirmAnswer = true;
    chooseFile(qPath(recording));
    EXPECT_EQ(edit1(), qPath(converted));
    EXPECT_EQ(zorvel::describeRecording(converted).kind, zorvel::RecordingKind::coderFormat);
}

// A file reached through a directory that takes no new files (here the
// process's open descriptors, which refuse even the superuser): the user is
// asked where the conversion goes.
TEST_F(OtherFormatTest, ConvertAsksWhereWhenTheFolderTakesNoFiles) {
    const int fd = ::open(recording.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    const QString throughDescriptor = QString("/proc/self/fd/%1").arg(fd);
    const fs::path elsewhere = dir / "gdzie indziej.wav";
    dialogs.recordingAnswers = {zorvel::RecordingUse::convert, zorvel::RecordingUse::convert};
    dialogs.saveAnswers = {std::nullopt, qPath(elsewhere)};

    chooseFile(throughDescriptor);  // the save dialog is cancelled
    ASSERT_EQ(dialogs.saveRequests.size(), 1u);
    EXPECT_EQ(dialogs.saveRequests[0].first, QString::fromUtf8("Zapisz przekonwertowane nagranie"));
    EXPECT_EQ(dialogs.saveRequests[0].second, QDir::home().filePath(QString("%1_8k.wav").arg(fd)));
    EXPECT_EQ(edit1(), "");

    chooseFile(throughDescriptor);
    ::close(fd);
    EXPECT_EQ(edit1(), qPath(elsewhere));
    EXPECT_EQ(zorvel::describeRecording(elsewhere).kind, zorvel::RecordingKind::coderFormat);
    EXPECT_EQ(zorvel::describeRecording(elsewhere).frames, 4000);  // 0.5 s at 8000 Hz
}

TEST_F(OtherFormatTest, ClippedSamplesAndFailuresAreTold) {
    const fs::path loud = dir / "glosno.wav";
    zt::writeTone(loud, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 8000, 1000.0, 1.5, 800);
    const zorvel::ConvertedRecording expected = zorvel::convertRecording(loud);
    ASSERT_GT(expected.clipped, 0);
    dialogs.recordingAnswers = {zorvel::RecordingUse::convert, zorvel::RecordingUse::convert};
    chooseFile(qPath(loud));
    EXPECT_EQ(edit1(), qPath(dir / "glosno.wav_8k.wav"));
    EXPECT_EQ(
        dialogs.informations,
        std::vector<QString>{QString::fromUtf8("Nagranie zapisano w pliku „glosno.wav_8k.wav”.\n"
                                               "Próbki przycięte do pełnej skali: ") +
                             QString::number(expected.clipped) + "."});

    // A conversion whose name is taken by a directory fails and says why.
    fs::create_directory(dir / "rec.wav_8k.wav");
    dialogs.informations.clear();
    chooseFile(qPath(recording));
    EXPECT_EQ(edit1(), qPath(dir / "glosno.wav_8k.wav"));
    ASSERT_EQ(dialogs.informations.size(), 1u);
    // The system's reason, in Polish.
    EXPECT_EQ(dialogs.informations[0].toStdString(),
              "Nie można przekonwertować nagrania „rec.wav”:\n" +
                  zorvel::polishReason(EISDIR).toStdString());
}

// A recording typed into Edit1 is asked about when it is to be coded.
TEST_F(OtherFormatTest, TypedRecordingIsAskedAboutBeforeItIsCoded) {
    control<QLineEdit>("Edit1").setText(qPath(recording));
    control<QLineEdit>("Edit2").setText(qPath(dir / "wynik.wav"));
    click("BT_Kodowanie");  // cancelled
    EXPECT_TRUE(runs.empty());
    dialogs.recordingAnswers = {zorvel::RecordingUse::convert};
    click("BT_Kodowanie");
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].request.inputName, converted);
    EXPECT_EQ(runs[0].request.outputName, dir / "wynik.wav");
    EXPECT_EQ(edit1(), qPath(converted));
    EXPECT_EQ(dialogs.recordingQuestions.size(), 2u);
}

TEST(PolishDescription, NamesRateChannelsSamplesAndContainer) {
    zorvel::RecordingFormat f;
    f.sampleRate = 44100;
    f.channels = 1;
    f.sampleType = zorvel::SampleType::float32;
    f.container = "FLAC";
    EXPECT_EQ(zorvel::polishDescription(f),
              QString::fromUtf8("44100 Hz, mono, próbki zmiennoprzecinkowe 32-bitowe, FLAC"));
    f.container.clear();
    f.sampleType = zorvel::SampleType::other;
    f.sampleName = "Vorbis";
    const std::pair<int, const char*> channels[] = {
        {2, "stereo"},      {3, "3 kanały"},    {4, "4 kanały"},   {5, "5 kanałów"},
        {12, "12 kanałów"}, {14, "14 kanałów"}, {22, "22 kanały"}, {25, "25 kanałów"}};
    for (const auto& [count, text] : channels) {
        f.channels = count;
        EXPECT_EQ(zorvel::polishDescription(f), QString::fromUtf8("44100 Hz, ") +
                                                    QString::fromUtf8(text) +
                                                    QString::fromUtf8(", kodowanie Vorbis"));
    }
}

// --- the encoding run ----------------------------------------------------------------------

// A small input file: `frames` frames of a ramp after a 60-byte header.
fs::path makeInput(const zt::TempDir& dir, const char* name, int frames) {
    std::vector<std::int16_t> samples(static_cast<std::size_t>(frames) * 160);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<std::int16_t>(static_cast<int>(i % 200) * 50 - 5000);
    }
    const fs::path file = dir / name;
    zt::writeSamples(file, samples);
    return file;
}

TEST_F(MainWindowTest, KodowanieWithoutInputSaysSoAndRunsNothing) {
    click("BT_Kodowanie");
    EXPECT_EQ(dialogs.informations, std::vector<QString>{kMissingInput});
    EXPECT_TRUE(runs.empty());
    expectIdleWindow();

    zt::TempDir dir;
    chooseFile(qPath(dir / "nie_ma.wav"));
    click("BT_Kodowanie");
    chooseFile(qPath(dir.path()));  // a directory is no input file
    click("BT_Kodowanie");
    EXPECT_EQ(dialogs.informations, std::vector<QString>(3, kMissingInput));
    EXPECT_TRUE(dialogs.confirmations.empty());
    EXPECT_TRUE(runs.empty());
    EXPECT_EQ(dialogs.busyCalls, 0);
}

TEST_F(MainWindowTest, NoToOverwriteLeavesTheOldFileAlone) {
    zt::TempDir dir;
    chooseFile(qPath(makeInput(dir, "a.wav", 3)));
    const fs::path output = dir / "a.wav_12.20_sout.wav";
    const std::vector<std::uint8_t> old = {'s', 't', 'a', 'r', 'y', 0, 1, 2, 255};
    zt::writeBytes(output, old);
    ASSERT_EQ(edit2(), qPath(output));

    dialogs.confirmAnswer = false;
    click("BT_Kodowanie");
    EXPECT_EQ(dialogs.confirmations, std::vector<QString>{kOverwriteQuestion});
    EXPECT_TRUE(runs.empty());
    EXPECT_TRUE(dialogs.informations.empty());
    EXPECT_EQ(zt::readBytes(output), old);
    expectIdleWindow();
}

TEST_F(MainWindowTest, YesToOverwriteRunsTheCoderOverTheOldFile) {
    zt::TempDir dir;
    const fs::path input = makeInput(dir, "a.wav", 3);
    chooseFile(qPath(input));
    const fs::path output = dir / "a.wav_12.20_sout.wav";
    zt::writeBytes(output, std::vector<std::uint8_t>(5000, 0x77));
    runAction = zorvel::runSpeechCoder;

    dialogs.confirmAnswer = true;
    click("BT_Kodowanie");
    EXPECT_EQ(dialogs.confirmations, std::vector<QString>{kOverwriteQuestion});
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_TRUE(saidDone());
    const auto written = zt::readBytes(output);
    EXPECT_EQ(written.size(), 60u + 3u * 320u);
    ASSERT_GE(written.size(), 4u);
    EXPECT_EQ(std::string(written.begin(), written.begin() + 4), "RIFF");
    expectIdleWindow();
}

TEST_F(MainWindowTest, RunIsGivenTheControlsOfTheWindow) {
    zt::TempDir dir;
    const fs::path input = makeInput(dir, "b.wav", 1);
    chooseFile(qPath(input));
    click("RadioButton6");
    click("BT_Kodowanie");
    click("RB_soutp");
    click("RB_noadapt");
    control<QLineEdit>("Edit2").setText(qPath(dir / "inna nazwa.wav"));
    click("BT_Kodowanie");

    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].request.inputName, input);
    EXPECT_EQ(runs[0].request.outputName, dir / "b.wav_05.90_sout.wav");
    EXPECT_EQ(runs[0].request.mode, zorvel::CoderMode::rate5_90);
    EXPECT_EQ(runs[0].request.saveOption, zorvel::SaveOption::synthesized);
    EXPECT_TRUE(runs[0].request.settings.adaptiveCodebook);
    EXPECT_EQ(runs[1].request.outputName, dir / "inna nazwa.wav");
    EXPECT_EQ(runs[1].request.mode, zorvel::CoderMode::rate5_90);
    EXPECT_EQ(runs[1].request.saveOption, zorvel::SaveOption::postProcessed);
    EXPECT_FALSE(runs[1].request.settings.adaptiveCodebook);
    EXPECT_EQ(dialogs.informations.size(), 2u);  // each run says what it did
    EXPECT_TRUE(saidDone());
}

// An impatient second click on "Kodowanie" while the run goes on must not
// start another run once the window is enabled again.
TEST_F(MainWindowTest, ClicksDuringTheRunAreDropped) {
    zt::TempDir dir;
    chooseFile(qPath(makeInput(dir, "c.wav", 1)));
    auto& button = control<QAbstractButton>("BT_Kodowanie");
    runAction = [&button](const EncodeRequest&, RunControl&) {
        QPointF at;
        QPointF global;
        QMetaObject::invokeMethod(
            &button,
            [&] {
                at = button.rect().center();
                global = button.mapToGlobal(at);
            },
            Qt::BlockingQueuedConnection);
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QCoreApplication::postEvent(
                &button,
                new QMouseEvent(type, at, global, Qt::LeftButton,
                                type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                                Qt::NoModifier));
        }
        return EncodeOutcome{RunResult::completed};
    };
    click("BT_Kodowanie");
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    EXPECT_EQ(runs.size(), 1u);
    expectIdleWindow();
}

class NoticeTest : public MainWindowTest, public ::testing::WithParamInterface<int> {};

TEST_P(NoticeTest, RunShowsTheModeTextWithTheWindowDisabledAndBusy) {
    const ModeCase& mc = kModeCases[GetParam() - 1];
    zt::TempDir dir;
    chooseFile(qPath(makeInput(dir, "c.wav", 1)));
    click(mc.button);
    click("BT_Kodowanie");

    ASSERT_EQ(runs.size(), 1u);
    const RunObservation& seen = runs.front();
    EXPECT_EQ(seen.request.mode, zt::modeNumbered(mc.mode));
    EXPECT_FALSE(seen.windowEnabled);
    EXPECT_TRUE(seen.noticeVisible);
    EXPECT_EQ(seen.noticeText, QString::fromUtf8("Kodowanie w trybie ") + mc.noticeRate +
                                   QString::fromUtf8(" trwa. Proszę czekac..."));
    EXPECT_EQ(seen.busyDepth, 1);
    EXPECT_TRUE(seen.offWindowThread);
    expectIdleWindow();
}

INSTANTIATE_TEST_SUITE_P(VisibleModes, NoticeTest, ::testing::Values(1, 2, 3, 5, 6, 7));

TEST_F(MainWindowTest, NoticeNamesTheRateNotTheButtonCaption) {
    zt::TempDir dir;
    chooseFile(qPath(makeInput(dir, "d.wav", 1)));
    click("RadioButton3");
    click("BT_Kodowanie");
    click("RadioButton7");
    click("BT_Kodowanie");
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].noticeText,
              QString::fromUtf8("Kodowanie w trybie 7.95 [kb/s] trwa. Proszę czekac..."));
    EXPECT_EQ(runs[1].noticeText,
              QString::fromUtf8("Kodowanie w trybie 5.15 [kb/s] trwa. Proszę czekac..."));
}

TEST_F(MainWindowTest, ThrowingRunRestoresTheWindowAndReachesTheApplicationHandler) {
    zt::TempDir dir;
    chooseFile(qPath(makeInput(dir, "e.wav", 1)));
    runAction = [](const EncodeRequest&, RunControl&) -> EncodeOutcome {
        throw std::runtime_error("Brak pamięci w trakcie kodowania");
    };
    bool restoredAtMessage = false;
    applicationDialogs().onError = [&] {
        restoredAtMessage = window.isEnabled() && !infoForm.isVisible() && dialogs.busyDepth == 0;
    };
    click("BT_Kodowanie");
    applicationDialogs().onError = nullptr;
    EXPECT_TRUE(restoredAtMessage);

    ASSERT_EQ(runs.size(), 1u);
    EXPECT_FALSE(runs.front().windowEnabled);
    EXPECT_EQ(applicationDialogs().errors,
              std::vector<QString>{QString::fromUtf8("Brak pamięci w trakcie kodowania")});
    EXPECT_TRUE(dialogs.informations.empty());
    expectIdleWindow();

    // The window goes on working after the failure.
    runAction = nullptr;
    click("BT_Kodowanie");
    EXPECT_EQ(runs.size(), 2u);
    expectIdleWindow();
}

TEST_F(MainWindowTest, FailedRunIsReportedAfterTheWindowIsRestored) {
    zt::TempDir dir;
    chooseFile(qPath(makeInput(dir, "f.wav", 1)));
    runAction = [](const EncodeRequest&, RunControl&) { return EncodeOutcome{RunResult::failed}; };
    bool enabledAtMessage = false;
    bool noticeAtMessage = true;
    int busyAtMessage = -1;
    dialogs.onInformation = [&] {
        enabledAtMessage = window.isEnabled();
        noticeAtMessage = infoForm.isVisible();
        busyAtMessage = dialogs.busyDepth;
    };
    click("BT_Kodowanie");
    EXPECT_EQ(dialogs.informations, std::vector<QString>{kEncodingFailed});
    EXPECT_TRUE(enabledAtMessage);
    EXPECT_FALSE(noticeAtMessage);
    EXPECT_EQ(busyAtMessage, 0);
    expectIdleWindow();
}

// A run whose input could not be read says so, with the system's reason.
TEST_F(MainWindowTest, AReadErrorOfTheInputIsToldAsSuch) {
    zt::TempDir dir;
    chooseFile(qPath(makeInput(dir, "r.wav", 1)));
    runAction = [](const EncodeRequest&, RunControl&) {
        EncodeOutcome outcome{RunResult::failed};
        outcome.readError = EIO;
        return outcome;
    };
    click("BT_Kodowanie");
    EXPECT_EQ(dialogs.informations,
              std::vector<QString>{QString::fromUtf8(
                  "Kodowanie nie powiodło się: nie można odczytać pliku wejściowego: błąd "
                  "wejścia-wyjścia.")});
    expectIdleWindow();
}

TEST_F(MainWindowTest, AnOutputInAMissingFolderIsRefusedBeforeTheRun) {
    zt::TempDir dir;
    chooseFile(qPath(makeInput(dir, "g.wav", 2)));
    runAction = zorvel::runSpeechCoder;
    control<QLineEdit>("Edit2").setText(qPath(dir / "brak_katalogu" / "wynik.wav"));
    click("BT_Kodowanie");
    EXPECT_EQ(dialogs.informations,
              std::vector<QString>{QString::fromUtf8("Folder „") + qPath(dir / "brak_katalogu") +
                                   QString::fromUtf8("” nie istnieje.")});
    EXPECT_TRUE(runs.empty());
    EXPECT_FALSE(fs::exists(dir / "brak_katalogu"));
    expectIdleWindow();
}

// What cannot work is said, with its reason, before anything is asked.
TEST_F(MainWindowTest, OutputThatIsTheInputAndInputWithoutAFrameAreRefusedFirst) {
    zt::TempDir dir;
    const fs::path input = makeInput(dir, "h.wav", 2);
    chooseFile(qPath(input));
    fs::create_symlink(input, dir / "link.wav");
    for (const fs::path& same : {input, dir / "link.wav"}) {
        control<QLineEdit>("Edit2").setText(qPath(same));
        click("BT_Kodowanie");
    }
    EXPECT_EQ(dialogs.informations,
              std::vector<QString>(2, QString::fromUtf8("Plik wyjściowy jest plikiem wejściowym: "
                                                        "wybierz inną nazwę pliku wyjściowego.")));
    EXPECT_TRUE(dialogs.confirmations.empty());

    // 60 bytes and 159 samples: not one whole frame.
    const fs::path shortInput = dir / "krotki.wav";
    zt::writeSamples(shortInput, std::vector<std::int16_t>(159, 1000));
    chooseFile(qPath(shortInput));
    dialogs.informations.clear();
    click("BT_Kodowanie");
    click("BT_Wykresy");
    EXPECT_EQ(dialogs.informations,
              std::vector<QString>(2, QString::fromUtf8("Plik wejściowy nie zawiera ani jednej "
                                                        "pełnej ramki (160 próbek od bajtu 60): "
                                                        "nie ma czego kodować.")));
    EXPECT_TRUE(runs.empty());
    EXPECT_FALSE(fs::exists(dir / "krotki.wav_12.20_sout.wav"));
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(testForm.isVisible());

    control<QLineEdit>("Edit2").setText(qPath(dir.path()));
    chooseFile(qPath(input));
    dialogs.informations.clear();
    control<QLineEdit>("Edit2").setText(qPath(dir.path()));
    click("BT_Kodowanie");
    EXPECT_EQ(dialogs.informations,
              std::vector<QString>{QString::fromUtf8("Plik wyjściowy „") + qPath(dir.path()) +
                                   QString::fromUtf8("” jest folderem.")});
    EXPECT_TRUE(runs.empty());
    expectIdleWindow();
}

// A minute of speech or more: the notice shows the run's progress, and
// "Przerwij" stops it; the old output stays as it was.
TEST_F(MainWindowTest, LongRunShowsProgressAndStopsOnRequest) {
    zt::TempDir dir;
    const fs::path input = makeInput(dir, "dlugi.wav", 3000);
    chooseFile(qPath(input));
    const fs::path output = dir / "dlugi.wav_12.20_sout.wav";
    const std::vector<std::uint8_t> old(100, 0x11);
    zt::writeBytes(output, old);

    std::vector<int> barValues;
    bool buttonShown = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (!infoForm.isVisible()) return;
        buttonShown = buttonShown || infoForm.stopButton().isVisible();
        barValues.push_back(infoForm.progressBar().value());
        if (infoForm.progressBar().value() >= 10)
            QTest::mouseClick(&infoForm.stopButton(), Qt::LeftButton);
    });
    watch.start(20);
    // The real coder, slowed so that the notice is seen at work.
    runAction = [](const EncodeRequest& request, RunControl& control) {
        zorvel::SpeechCoder coder(request.inputName, request.mode);
        const std::stop_token stop = control.stop.get_token();
        coder.frameWritten = [&](std::int64_t frames) {
            control.framesWritten = frames;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            return !stop.stop_requested();
        };
        EncodeOutcome outcome{coder.encodeFile(request.outputName, request.saveOption)};
        outcome.frames = coder.frameCount();
        return outcome;
    };
    click("BT_Kodowanie");
    watch.stop();

    EXPECT_TRUE(buttonShown);
    EXPECT_EQ(infoForm.stopButton().text(), "Przerwij");
    ASSERT_FALSE(barValues.empty());
    EXPECT_TRUE(std::is_sorted(barValues.begin(), barValues.end()));
    ASSERT_EQ(dialogs.informations.size(), 1u);
    const QString said = dialogs.informations[0];
    EXPECT_TRUE(said.startsWith(QString::fromUtf8("Kodowanie przerwano po ")))
        << said.toStdString();
    EXPECT_TRUE(
        said.endsWith(QString::fromUtf8(" z 3000 ramek; plik wyjściowy pozostał bez zmian.")))
        << said.toStdString();
    EXPECT_EQ(zt::readBytes(output), old);
    EXPECT_FALSE(infoForm.stopButton().isVisible());
    expectIdleWindow();

    // Stopped where there was no output before, the window says none was written.
    fs::remove(output);
    watch.start(20);
    click("BT_Kodowanie");
    watch.stop();
    ASSERT_EQ(dialogs.informations.size(), 2u);
    EXPECT_TRUE(dialogs.informations[1].endsWith(
        QString::fromUtf8(" z 3000 ramek; plik wyjściowy nie został zapisany.")));
    EXPECT_FALSE(fs::exists(output));

    // A short run shows neither.
    const fs::path shortInput = makeInput(dir, "krotki.wav", 5);
    chooseFile(qPath(shortInput));
    buttonShown = false;
    runAction = nullptr;
    watch.start(1);
    click("BT_Kodowanie");
    watch.stop();
    EXPECT_FALSE(buttonShown);
}

// The window's event loop goes on during the run: the run ends only once the
// window's thread has served a call it posted (bounded, so that a run that
// held the loop fails instead of hanging).
TEST_F(MainWindowTest, EventLoopGoesOnDuringTheRun) {
    zt::TempDir dir;
    chooseFile(qPath(makeInput(dir, "j.wav", 1)));
    std::mutex mutex;
    std::condition_variable served;
    bool called = false;
    bool servedDuringRun = false;
    runAction = [&](const EncodeRequest&, RunControl&) {
        QMetaObject::invokeMethod(
            &window,
            [&] {
                const std::lock_guard lock(mutex);
                called = true;
                served.notify_all();
            },
            Qt::QueuedConnection);
        std::unique_lock lock(mutex);
        servedDuringRun = served.wait_for(lock, std::chrono::seconds(10), [&] { return called; });
        return EncodeOutcome{RunResult::completed};
    };
    click("BT_Kodowanie");
    EXPECT_TRUE(servedDuringRun);
    EXPECT_TRUE(saidDone());
    expectIdleWindow();
}

// The sample's bytes, coded in memory: no file, no staging.
std::string sampleEncodedInMemory(zorvel::CoderMode mode) {
    zorvel::SpeechCoder coder(zt::samplePath(), mode);
    // The seeking run over a stream that holds the bytes before the samples.
    std::stringstream bytes(std::string(60, '\0'), std::ios::in | std::ios::out | std::ios::binary);
    EXPECT_EQ(coder.encodeFile(bytes, zorvel::SaveOption::synthesized), RunResult::completed);
    return bytes.str();
}

// A run whose writes fail half-way (no file may grow past 20000 bytes of the
// 90620) is reported and leaves the old output as it was and nothing beside it.
TEST_F(MainWindowTest, RealRunThatFailsHalfWayLeavesTheOldOutput) {
    zt::TempDir dir;
    fs::copy_file(zt::samplePath(), dir / "mowa.wav");
    chooseFile(qPath(dir / "mowa.wav"));
    const fs::path output = dir / "mowa.wav_12.20_sout.wav";
    const std::vector<std::uint8_t> old(4321, 0x5A);
    zt::writeBytes(output, old);
    runAction = zorvel::runSpeechCoder;
    {
        const zt::FileSizeLimit limit(20000);
        click("BT_Kodowanie");
    }
    EXPECT_EQ(dialogs.informations,
              std::vector<QString>{QString::fromUtf8(
                  "Kodowanie nie powiodło się: nie można zapisać pliku wyjściowego: plik jest za "
                  "duży.")});
    EXPECT_EQ(zt::readBytes(output), old);
    EXPECT_EQ(zt::directoryNames(dir.path()),
              (std::vector<std::string>{"mowa.wav", "mowa.wav_12.20_sout.wav"}));
    expectIdleWindow();

    // Without the limit the same run replaces it with the coder's bytes.
    click("BT_Kodowanie");
    EXPECT_EQ(dialogs.informations.size(), 2u);
    EXPECT_TRUE(saidDone());
    const auto written = zt::readBytes(output);
    EXPECT_TRUE(std::string(written.begin(), written.end()) ==
                sampleEncodedInMemory(zorvel::CoderMode::rate12_2));
}

// A FIFO as the output that no one reads is refused at once with the run's
// message; it stays a FIFO. Were the run to wait for a reader, a reader that
// comes and goes from the window's loop after 5 s lets it end, and the test
// fails instead of hanging.
TEST_F(MainWindowTest, RealRunIntoAFifoWithoutAReaderIsRefusedAtOnce) {
    zt::TempDir dir;
    chooseFile(qPath(makeInput(dir, "k.wav", 2)));
    const fs::path fifo = dir / "fifo.wav";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    control<QLineEdit>("Edit2").setText(qPath(fifo));
    runAction = zorvel::runSpeechCoder;
    bool rescued = false;
    QTimer rescue;
    rescue.setSingleShot(true);
    QObject::connect(&rescue, &QTimer::timeout, [&] {
        rescued = true;
        const int fd = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) close(fd);
    });
    rescue.start(5000);
    click("BT_Kodowanie");
    EXPECT_FALSE(rescued);
    EXPECT_EQ(dialogs.confirmations, std::vector<QString>{kOverwriteQuestion});
    EXPECT_EQ(dialogs.informations,
              std::vector<QString>{QString::fromUtf8("Kodowanie nie powiodło się: nie można "
                                                     "zapisać pliku wyjściowego: nikt nie czyta "
                                                     "z potoku.")});
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_EQ(zt::directoryNames(dir.path()), (std::vector<std::string>{"fifo.wav", "k.wav"}));
    expectIdleWindow();
}

// With a reader, the FIFO gets the whole file front to back; the sample's
// output is larger than a pipe holds, so the run waits on the reader.
TEST_F(MainWindowTest, RealRunIntoAFifoWithAReaderSendsTheCodersBytes) {
    zt::TempDir dir;
    fs::copy_file(zt::samplePath(), dir / "mowa.wav");
    chooseFile(qPath(dir / "mowa.wav"));
    const fs::path fifo = dir / "fifo.wav";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    control<QLineEdit>("Edit2").setText(qPath(fifo));
    runAction = zorvel::runSpeechCoder;
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    ASSERT_EQ(fcntl(reader, F_SETFL, 0), 0);
    // A writer of the test's own until the run is over: the reader sees the
    // end only after the run's writes, whenever the run opens the FIFO.
    const int holder = open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    std::string received;
    std::thread reading([&] {
        std::array<char, 4096> buffer{};
        for (ssize_t got; (got = read(reader, buffer.data(), buffer.size())) > 0;)
            received.append(buffer.data(), static_cast<std::size_t>(got));
    });
    click("BT_Kodowanie");
    close(holder);
    reading.join();
    close(reader);
    EXPECT_TRUE(saidDone());
    EXPECT_TRUE(received == sampleEncodedInMemory(zorvel::CoderMode::rate12_2))
        << "received " << received.size() << " bytes";
    EXPECT_TRUE(fs::is_fifo(fifo));
    expectIdleWindow();
}

// The bundled sample through the window gives the bytes of a direct coder run.
class SampleRunTest : public MainWindowTest,
                      public ::testing::WithParamInterface<std::tuple<int, bool, bool>> {};

TEST_P(SampleRunTest, WindowRunEqualsDirectCoderRun) {
    const auto [mode, postProcessed, noAdaptive] = GetParam();
    const ModeCase& mc = kModeCases[mode - 1];
    zt::TempDir dir;
    const fs::path input = dir / "mowa.wav";
    fs::copy_file(zt::samplePath(), input);

    zorvel::SpeechCoder direct(input, zt::modeNumbered(mode), {.adaptiveCodebook = !noAdaptive});
    const zorvel::SaveOption saveOption =
        postProcessed ? zorvel::SaveOption::postProcessed : zorvel::SaveOption::synthesized;
    ASSERT_EQ(direct.encodeFile(dir / "direct.wav", saveOption), RunResult::completed);

    runAction = zorvel::runSpeechCoder;
    chooseFile(qPath(input));
    click(mc.button);
    if (postProcessed) click("RB_soutp");
    if (noAdaptive) click("RB_noadapt");
    click("BT_Kodowanie");

    ASSERT_EQ(runs.size(), 1u);
    // The frames and the two file SNRs are those of zorvel-cli's table.
    std::vector<std::string> arguments{
        "encode", input.string(), "-m", std::to_string(mode), "-o", (dir / "cli.wav").string(),
        "--csv"};
    if (noAdaptive) arguments.push_back("--no-adaptive");
    if (postProcessed) arguments.push_back("--post");
    const auto table = zt::runCli(arguments);
    ASSERT_EQ(table.exitCode, 0) << table.err;
    const QStringList row = QString::fromStdString(table.out).split('\n')[1].split(',');
    ASSERT_EQ(row.size(), 5);
    EXPECT_EQ(row[1].toInt(), direct.frameCount());
    EXPECT_EQ(row[2].toDouble(), direct.segmentalSnr());
    EXPECT_EQ(row[3].toDouble(), direct.overallSnr());
    // The window says what the coder measured, as the chart window rounds it.
    const auto twoDecimals = [](double x) { return QString::number(x, 'f', 2); };
    EXPECT_EQ(
        dialogs.informations,
        std::vector<QString>{QString::fromUtf8("Kodowanie zakończone.\n\nLiczba ramek: ") +
                             QString::number(direct.frameCount()) + " (" +
                             twoDecimals(direct.frameCount() * 0.02) +
                             " s)\nSNRbr: " + twoDecimals(direct.frameSnr()) +
                             " dB (ostatnia ramka)\nSNRseg: " + twoDecimals(direct.segmentalSnr()) +
                             " dB\nSNRcalk: " + twoDecimals(direct.overallSnr()) +
                             QString::fromUtf8(" dB\n\nPlik wyjściowy: ") + edit2()});
    const std::string expectedName = std::string("mowa.wav") + mc.suffix +
                                     (postProcessed ? "_spout" : "_sout") +
                                     (noAdaptive ? "_noadapt" : "") + ".wav";
    const fs::path output = dir / expectedName;
    ASSERT_TRUE(fs::exists(output)) << output;
    const auto expected = zt::readBytes(dir / "direct.wav");
    const auto actual = zt::readBytes(output);
    ASSERT_GT(expected.size(), 60u + 100u * 320u);  // the 5.66 s sample gives 282 frames
    EXPECT_TRUE(actual == expected) << "sizes " << actual.size() << " and " << expected.size();
    expectIdleWindow();
}

INSTANTIATE_TEST_SUITE_P(TwoSettings, SampleRunTest,
                         ::testing::Values(std::make_tuple(1, false, false),
                                           std::make_tuple(7, true, true)));

// --- playing the input and the output file -------------------------------------------------

// Where the main window's playback read its files: the thread of each read.
struct ReadThreads {
    std::mutex mutex;
    std::vector<std::thread::id> threads;
};

// A FIFO without a writer, a device, a directory or a missing file given to
// "Odtwórz plik ..." is refused with a message within a second, and every read
// runs off the window's thread.
TEST_F(MainWindowTest, PlayingWhatIsNotARegularFileIsRefusedOffTheWindowThread) {
    zt::TempDir dir;
    const fs::path fifo = dir / "fifo.wav";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    fs::create_directory(dir / "katalog");
    // Were the FIFO opened blocking on a worker, a writer coming and going at
    // the end lets that open return, so the test fails instead of hanging.
    struct WriterAtTheEnd {
        fs::path fifo;
        ~WriterAtTheEnd() {
            const int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) close(fd);
        }
    } writer{fifo};

    auto reads = std::make_shared<ReadThreads>();
    window.fileMenuActions().setSampleReader([reads](const fs::path& file, std::stop_token stop) {
        {
            const std::lock_guard lock(reads->mutex);
            reads->threads.push_back(std::this_thread::get_id());
        }
        return zorvel::readFileSamples(file, stop);
    });
    const auto informedWithin1s = [this](std::size_t count) {
        return QTest::qWaitFor([&] { return dialogs.informations.size() >= count; }, 1000);
    };

    chooseFile(qPath(fifo));
    window.fileMenuActions().playInputAction().trigger();
    EXPECT_TRUE(dialogs.informations.empty());  // the answer comes from the worker
    ASSERT_TRUE(informedWithin1s(1));

    const std::pair<fs::path, const char*> outputs[] = {
        {"/dev/zero", "Plik wyjściowy nie jest zwykłym plikiem."},
        {fifo, "Plik wyjściowy nie jest zwykłym plikiem."},
        {dir / "katalog", "Plik wyjściowy nie jest zwykłym plikiem."},
        {dir / "brak.wav", "Plik wyjściowy nie istnieje."},
    };
    std::size_t count = 1;
    for (const auto& [output, message] : outputs) {
        control<QLineEdit>("Edit2").setText(qPath(output));
        window.fileMenuActions().playOutputAction().trigger();
        ASSERT_TRUE(informedWithin1s(++count)) << output;
        EXPECT_EQ(dialogs.informations.back(), QString::fromUtf8(message)) << output;
    }
    chooseFile(qPath(dir / "brak.wav"));
    window.fileMenuActions().playInputAction().trigger();
    ASSERT_TRUE(informedWithin1s(++count));

    EXPECT_EQ(dialogs.informations.front(), "Plik wejściowy nie jest zwykłym plikiem.");
    EXPECT_EQ(dialogs.informations.back(), kMissingInput);
    EXPECT_EQ(dialogs.informations.size(), count);
    EXPECT_FALSE(window.fileMenuActions().reading());
    EXPECT_FALSE(window.fileMenuActions().playback().active());
    const std::lock_guard lock(reads->mutex);
    ASSERT_EQ(reads->threads.size(), count);
    for (const std::thread::id thread : reads->threads) {
        EXPECT_NE(thread, std::this_thread::get_id());
    }
}

// --- chart window and way out --------------------------------------------------------------

TEST_F(MainWindowTest, WykresyWithoutInputSaysSoAndStays) {
    click("BT_Wykresy");
    EXPECT_EQ(dialogs.informations, std::vector<QString>{kMissingInput});
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(testForm.isVisible());
}

TEST_F(MainWindowTest, WykresyHandsFileModeAndOptionToTheChartWindowUntilItCloses) {
    zt::TempDir dir;
    chooseFile(qPath(makeInput(dir, "h.wav", 4)));
    click("RadioButton5");
    click("RB_noadapt");
    click("BT_Wykresy");
    EXPECT_TRUE(dialogs.informations.empty());
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(testForm.isVisible());
    EXPECT_EQ(testForm.windowTitle(), "ZORVEL - tryb: 6.70 [kb/s] - h.wav");
    ASSERT_NE(testForm.coder(), nullptr);
    EXPECT_EQ(testForm.coder()->mode(), zorvel::CoderMode::rate6_70);
    EXPECT_FALSE(testForm.coder()->settings().adaptiveCodebook);
    EXPECT_EQ(testForm.coder()->frameCount(), 1);

    testForm.close();
    EXPECT_FALSE(testForm.isVisible());
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.isEnabled());

    // The next opening uses the window's controls afresh.
    click("RB_adapt");
    click("RadioButton1");
    click("BT_Wykresy");
    EXPECT_FALSE(window.isVisible());
    ASSERT_NE(testForm.coder(), nullptr);
    EXPECT_EQ(testForm.coder()->mode(), zorvel::CoderMode::rate12_2);
    EXPECT_TRUE(testForm.coder()->settings().adaptiveCodebook);
    testForm.close();
    EXPECT_TRUE(window.isVisible());
}

// Runs the event loop as the program does, does `action` in it and returns the
// loop's exit code; kStillRunning when the loop was still going after 10 s.
constexpr int kStillRunning = 99;
int exitCodeAfter(const std::function<void()>& action) {
    QTimer start;
    start.setSingleShot(true);
    QObject::connect(&start, &QTimer::timeout, action);
    QTimer giveUp;
    giveUp.setSingleShot(true);
    QObject::connect(&giveUp, &QTimer::timeout, [] { QCoreApplication::exit(kStillRunning); });
    start.start(0);
    giveUp.start(10000);
    return QApplication::exec();
}

TEST_F(MainWindowTest, ExitEndsTheProgram) {
    EXPECT_EQ(exitCodeAfter([this] { clickMenuItem("Exit1"); }), 0);
    EXPECT_FALSE(window.isVisible());
}

TEST_F(MainWindowTest, CloseBoxEndsTheProgram) {
    EXPECT_EQ(exitCodeAfter([this] { window.close(); }), 0);
    EXPECT_FALSE(window.isVisible());
}

TEST_F(MainWindowTest, HidingForTheChartWindowDoesNotEndTheProgram) {
    zt::TempDir dir;
    chooseFile(qPath(makeInput(dir, "i.wav", 2)));
    const int code = exitCodeAfter([this] {
        click("BT_Wykresy");
        testForm.close();
        QCoreApplication::exit(7);
    });
    EXPECT_EQ(code, 7);
    EXPECT_TRUE(window.isVisible());
}

// "Wyjście" ends the program also while the window "Porównanie trybów" is
// open: it closes with the main window. While it still computes the user is
// asked first, and "No" leaves both windows and the computation as they were.
TEST_F(MainWindowTest, ExitClosesTheComparisonWindowAskingWhileItComputes) {
    zt::TempDir dir;
    chooseFile(qPath(makeInput(dir, "p.wav", 3000)));
    window.fileMenuActions().comparisonAction().trigger();
    zorvel::ModeComparisonWindow* comparison = window.fileMenuActions().comparisonWindow();
    ASSERT_NE(comparison, nullptr);
    ASSERT_TRUE(comparison->running());
    dialogs.confirmAnswer = false;
    window.close();
    EXPECT_EQ(dialogs.confirmations,
              std::vector<QString>{QString::fromUtf8(
                  "Porównanie trybów jeszcze trwa.\n\nPrzerwać je i zakończyć program?")});
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(comparison->isVisible());
    EXPECT_TRUE(comparison->running());

    dialogs.confirmAnswer = true;
    EXPECT_EQ(exitCodeAfter([this] { clickMenuItem("Exit1"); }), 0);
    EXPECT_EQ(dialogs.confirmations.size(), 2u);
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(comparison->isVisible());
    EXPECT_FALSE(comparison->running());
    EXPECT_FALSE(comparison->ablationRunning());
}

TEST_F(MainWindowTest, ExitWithTheFinishedComparisonOpenEndsTheProgramWithoutAsking) {
    zt::TempDir dir;
    chooseFile(qPath(makeInput(dir, "q.wav", 3)));
    window.fileMenuActions().comparisonAction().trigger();
    zorvel::ModeComparisonWindow* comparison = window.fileMenuActions().comparisonWindow();
    ASSERT_NE(comparison, nullptr);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !comparison->running() && !comparison->ablationRunning(); }, 60000));
    ASSERT_TRUE(comparison->isVisible());
    EXPECT_EQ(exitCodeAfter([this] { clickMenuItem("Exit1"); }), 0);
    EXPECT_TRUE(dialogs.confirmations.empty());
    EXPECT_FALSE(comparison->isVisible());
}

// Closing the main window during "Kodowanie" asks whether to stop the run.
// "No": the run goes on to its report. "Yes": the run stops, no unfinished
// output is left, and the program ends without a report.
TEST_F(MainWindowTest, ClosingDuringARunAsksAndStoppingLeavesNoOutput) {
    zt::TempDir dir;
    chooseFile(qPath(makeInput(dir, "d.wav", 3000)));
    const fs::path output = dir / "d.wav_12.20_sout.wav";
    std::atomic<std::int64_t> written{0};
    // The real coder, slowed so that the window is closed during the run.
    runAction = [&written](const EncodeRequest& request, RunControl& control) {
        zorvel::SpeechCoder coder(request.inputName, request.mode);
        const std::stop_token stop = control.stop.get_token();
        coder.frameWritten = [&](std::int64_t frames) {
            control.framesWritten = frames;
            written = frames;
            std::this_thread::sleep_for(std::chrono::microseconds(300));
            return !stop.stop_requested();
        };
        EncodeOutcome outcome{coder.encodeFile(request.outputName, request.saveOption)};
        outcome.frames = coder.frameCount();
        return outcome;
    };
    const QString question = QString::fromUtf8(
        "Kodowanie jeszcze trwa.\n\nPrzerwać je i zakończyć program? Niedokończony plik "
        "wyjściowy nie zostanie zapisany.");
    QTimer closer;
    closer.setSingleShot(true);
    QObject::connect(&closer, &QTimer::timeout, [&] { window.close(); });

    dialogs.confirmAnswer = false;
    closer.start(100);
    click("BT_Kodowanie");
    EXPECT_EQ(dialogs.confirmations, std::vector<QString>{question});
    EXPECT_TRUE(saidDone());
    EXPECT_TRUE(fs::exists(output));
    expectIdleWindow();

    fs::remove(output);
    dialogs.informations.clear();
    dialogs.confirmAnswer = true;
    written = 0;
    const int code = exitCodeAfter([&] {
        closer.start(100);
        click("BT_Kodowanie");
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(dialogs.confirmations, (std::vector<QString>{question, question}));
    EXPECT_GT(written.load(), 0);
    EXPECT_LT(written.load(), 3000);
    EXPECT_FALSE(fs::exists(output));
    EXPECT_EQ(zt::directoryNames(dir.path()), std::vector<std::string>{"d.wav"});
    EXPECT_TRUE(dialogs.informations.empty());
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(infoForm.isVisible());
}

// --- the application's exception handler ---------------------------------------------------

class ThrowingWidget : public QWidget {
  public:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::User) throw std::runtime_error("zdarzenie nie powiodło się");
        return QWidget::event(event);
    }
};

TEST(ApplicationTest, ExceptionFromAnEventHandlerIsShownAndTheLoopGoesOn) {
    applicationDialogs() = RecordingDialogs{};
    ThrowingWidget widget;
    QEvent event(QEvent::User);
    EXPECT_FALSE(QCoreApplication::sendEvent(&widget, &event));
    EXPECT_EQ(applicationDialogs().errors,
              std::vector<QString>{QString::fromUtf8("zdarzenie nie powiodło się")});
    // Later events reach the widget as before.
    widget.setWindowTitle("dalej");
    EXPECT_EQ(widget.windowTitle(), "dalej");
    EXPECT_EQ(applicationDialogs().errors.size(), 1u);
}

}  // namespace

int main(int argc, char** argv) {
    // Windows are tested offscreen, also when the build lists the tests.
    zorvel::test::useOffscreenScreen();
    // The offscreen platform lacks the keyboard grab and raising that menus ask for.
    qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext& context, const QString& text) {
            if (type != QtWarningMsg || !text.startsWith("This plugin does not support")) {
                std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
            }
        });
    zorvel::ZorvelApplication application(argc, argv, applicationDialogs());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
