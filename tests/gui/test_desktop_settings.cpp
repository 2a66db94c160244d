// The coder settings in the desktop program: the dialog "Ustawienia kodera"
// (its controls against the settings both ways, the defaults it restores,
// the combinations it refuses), the main window that takes them (output
// name, encoding run, the line naming what differs, the adaptive-codebook
// radio buttons kept in step) and the chart window (its coder, the line below
// its form and the fine lag in its readouts).
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/CoderSettingsDialog.h"
#include "app/MainWindow.h"
#include "app/ProgressNotice.h"
#include "app/UserDialogs.h"
#include "charts/ChartPlayback.h"
#include "charts/ChartWindow.h"
#include "charts/ReadoutBox.h"
#include "coder/Checkpoints.h"
#include "coder/FramePass.h"
#include "coder/SpeechCoder.h"
#include "plots/Readouts.h"
#include "tests/TestSupport.h"
#include "tests/gui/QuietDialogs.h"

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

namespace zorvel {
namespace {

namespace fs = std::filesystem;

QString qPath(const fs::path& path) { return QString::fromStdString(path.string()); }
QString samplePath() { return qPath(test::samplePath()); }

template <typename T>
T& child(const QWidget& parent, const QString& name) {
    T* found = parent.findChild<T*>(name);
    if (found == nullptr) throw std::runtime_error("no control " + name.toStdString());
    return *found;
}

// A settings value with every field away from its default, within the ranges
// the dialog's controls offer.
// The built-in tables as a file of the source tree.
std::filesystem::path builtInTablesFile() {
    return test::samplePath().parent_path().parent_path() / "coder/tables/default-quantisers.zvqt";
}

CoderSettings everyFieldChanged() {
    CoderSettings s;
    s.pitchResolution = PitchResolution::third;
    s.lpInterpolation = LpInterpolation::lsf;
    s.highPass = 120.0;
    s.gamma1 = 0.9;
    s.gamma2 = 0.55;
    s.postfilterNum = 0.65;
    s.postfilterDen = 0.8;
    s.postfilterTilt = 0.5;
    s.enhancement = false;
    s.lagWindow = false;
    s.adaptiveCodebook = false;
    s.quantisation = true;
    s.quantiserTables = builtInTablesFile().string();
    return s;
}

// ---------------------------------------------------------------------------
// The dialog

// The file dialogs answered by the test: the names it puts in `openAnswer`
// and `saveAnswer` (nothing: cancelled), a confirmation as `confirmAnswer`
// says; what the dialog says is kept in `said`, the save dialogs' file types
// in `saveTypes`.
class FileDialogs final : public UserDialogs {
  public:
    void information(QWidget*, const QString& text) override { said.push_back(text); }
    bool confirm(QWidget*, const QString& text) override {
        asked.push_back(text);
        return confirmAnswer;
    }
    void showError(QWidget*, const QString& text) override { said.push_back(text); }
    std::optional<QString> openFileName(QWidget*, const OpenDialogSettings& settings) override {
        openFilters = settings.nameFilters;
        return openAnswer;
    }
    RecordingUse askRecordingUse(QWidget*, const QString&) override { return RecordingUse::cancel; }
    std::optional<QString> saveFileName(QWidget*, const QString&, const QString&,
                                        const SaveDialogTypes& types) override {
        saveTypes.push_back(types);
        return saveAnswer;
    }
    void setBusyCursor() override {}
    void restoreCursor() override {}

    std::optional<QString> openAnswer;
    std::optional<QString> saveAnswer;
    bool confirmAnswer = true;
    std::vector<QString> said;
    std::vector<QString> asked;
    QStringList openFilters;
    std::vector<SaveDialogTypes> saveTypes;
};

class DialogTest : public ::testing::Test {
  public:  // the cases' functions reach the controls too
    template <typename T>
    T& control(const char* name) {
        return child<T>(dialog, QString::fromUtf8(name));
    }
    QDoubleSpinBox& factor(const char* name) {
        return control<QDoubleSpinBox>((std::string("Setting_") + name).c_str());
    }
    bool bold(const char* name) { return dialog.rowLabel(QString::fromUtf8(name))->font().bold(); }

    FileDialogs dialogs;
    CoderSettingsDialog dialog{CoderSettings{}, dialogs};
};

TEST_F(DialogTest, DefaultsShowAsTheDefaultSettingsExactly) {
    EXPECT_EQ(dialog.windowTitle(), "Ustawienia kodera");
    EXPECT_EQ(dialog.settings(), CoderSettings{});
    EXPECT_EQ(control<QComboBox>("Setting_pitch-resolution").currentText(), "1");
    EXPECT_EQ(control<QComboBox>("Setting_lp-interpolation").currentText(), "wył.");
    EXPECT_FALSE(control<QCheckBox>("Setting_high-pass").isChecked());
    EXPECT_FALSE(control<QSpinBox>("Setting_high-pass-Hz").isEnabled());
    EXPECT_DOUBLE_EQ(factor("gamma1").value(), 0.94);
    EXPECT_TRUE(dialog.okButton().isEnabled());
    EXPECT_TRUE(dialog.problemLabel().text().isEmpty());
    for (const SettingDescriptor& info : settingDescriptors()) {
        const QString name = QString::fromUtf8(info.name.data(), info.name.size());
        const QLabel* label = dialog.rowLabel(name);
        ASSERT_NE(label, nullptr) << info.name;
        // The Polish label alone, the command line's name in its tool tip, not marked.
        EXPECT_EQ(label->text(), QString::fromUtf8(info.label.data(), info.label.size()));
        EXPECT_TRUE(label->toolTip().endsWith("\nW zorvel-cli: --set " + name + "=…"))
            << label->toolTip().toStdString();
        EXPECT_FALSE(label->font().bold()) << info.name;
        EXPECT_TRUE(child<QLabel>(dialog, "Default_" + name).text().startsWith("domyślnie: "));
    }
    EXPECT_EQ(child<QLabel>(dialog, "Default_gamma2").text(), "domyślnie: 0.6");
    EXPECT_EQ(child<QLabel>(dialog, "Default_postfilter-den").text(), "domyślnie: 0.75");
    EXPECT_EQ(child<QLabel>(dialog, "Default_high-pass").text(), "domyślnie: wyłączony");
    // Each number's box steps within its setting's range (what is typed is
    // taken as typed); factors in 0..1 show three decimals and step by hundredths.
    for (const SettingDescriptor& setting : settingDescriptors()) {
        if (setting.kind != SettingKind::number) continue;
        QDoubleSpinBox& box = factor(std::string(setting.name).c_str());
        box.setValue(setting.range.highest);
        box.stepUp();
        EXPECT_EQ(box.value(), setting.range.highest) << setting.name;
        box.setValue(setting.range.lowest);
        box.stepDown();
        EXPECT_EQ(box.value(), setting.range.lowest) << setting.name;
        box.stepUp();
        EXPECT_DOUBLE_EQ(box.value(), setting.range.lowest + box.singleStep()) << setting.name;
        dialog.restoreDefaults();
        if (setting.range.lowest != 0.0 || setting.range.highest != 1.0) continue;
        EXPECT_EQ(box.decimals(), 3) << setting.name;
        EXPECT_DOUBLE_EQ(box.singleStep(), 0.01) << setting.name;
    }
}

TEST_F(DialogTest, EachControlSetsItsSettingAndMarksItsRow) {
    struct Case {
        const char* name;
        std::function<void(DialogTest&)> change;
        std::function<void(CoderSettings&)> expected;
    };
    const std::vector<Case> cases{
        {"pitch-resolution",
         [](DialogTest& t) { t.control<QComboBox>("Setting_pitch-resolution").setCurrentIndex(2); },
         [](CoderSettings& s) { s.pitchResolution = PitchResolution::sixth; }},
        {"lp-interpolation",
         [](DialogTest& t) { t.control<QComboBox>("Setting_lp-interpolation").setCurrentIndex(1); },
         [](CoderSettings& s) { s.lpInterpolation = LpInterpolation::lsf; }},
        {"high-pass",
         [](DialogTest& t) {
             t.control<QCheckBox>("Setting_high-pass").setChecked(true);
             t.control<QSpinBox>("Setting_high-pass-Hz").setValue(150);
         },
         [](CoderSettings& s) { s.highPass = 150.0; }},
        {"gamma1", [](DialogTest& t) { t.factor("gamma1").setValue(0.9); },
         [](CoderSettings& s) { s.gamma1 = 0.9; }},
        {"gamma2", [](DialogTest& t) { t.factor("gamma2").setValue(0.5); },
         [](CoderSettings& s) { s.gamma2 = 0.5; }},
        {"postfilter-num", [](DialogTest& t) { t.factor("postfilter-num").setValue(0.55); },
         [](CoderSettings& s) { s.postfilterNum = 0.55; }},
        {"postfilter-den", [](DialogTest& t) { t.factor("postfilter-den").setValue(0.85); },
         [](CoderSettings& s) { s.postfilterDen = 0.85; }},
        {"postfilter-tilt", [](DialogTest& t) { t.factor("postfilter-tilt").setValue(0.0); },
         [](CoderSettings& s) { s.postfilterTilt = 0.0; }},
        {"enhancement",
         [](DialogTest& t) { t.control<QCheckBox>("Setting_enhancement").setChecked(false); },
         [](CoderSettings& s) { s.enhancement = false; }},
        {"lag-window",
         [](DialogTest& t) { t.control<QCheckBox>("Setting_lag-window").setChecked(false); },
         [](CoderSettings& s) { s.lagWindow = false; }},
        {"adaptive-codebook",
         [](DialogTest& t) { t.control<QCheckBox>("Setting_adaptive-codebook").setChecked(false); },
         [](CoderSettings& s) { s.adaptiveCodebook = false; }},
        {"quantisation",
         [](DialogTest& t) { t.control<QComboBox>("Setting_quantisation").setCurrentIndex(1); },
         [](CoderSettings& s) { s.quantisation = true; }},
        {"quantiser-tables",
         [](DialogTest& t) {
             t.control<QLineEdit>("Setting_quantiser-tables")
                 .setText(QString::fromStdString(builtInTablesFile().string()));
         },
         [](CoderSettings& s) { s.quantiserTables = builtInTablesFile().string(); }},
    };
    ASSERT_EQ(cases.size(), settingDescriptors().size());
    for (const Case& c : cases) {
        dialog.restoreDefaults();
        c.change(*this);
        CoderSettings expected;
        c.expected(expected);
        EXPECT_EQ(dialog.settings(), expected) << c.name;
        EXPECT_EQ(settingsSummary(dialog.settings()), settingsSummary(expected)) << c.name;
        for (const Case& other : cases) EXPECT_EQ(bold(other.name), other.name == c.name) << c.name;
        EXPECT_TRUE(dialog.okButton().isEnabled()) << c.name;
    }
}

TEST_F(DialogTest, SettingsGoIntoTheControlsAndBack) {
    const CoderSettings changed = everyFieldChanged();
    dialog.setSettings(changed);
    EXPECT_EQ(dialog.settings(), changed);
    EXPECT_EQ(control<QComboBox>("Setting_pitch-resolution").currentText(), "1/3");
    EXPECT_EQ(control<QSpinBox>("Setting_high-pass-Hz").value(), 120);
    EXPECT_TRUE(control<QSpinBox>("Setting_high-pass-Hz").isEnabled());
    for (const SettingDescriptor& info : settingDescriptors())
        EXPECT_TRUE(bold(std::string(info.name).c_str())) << info.name;
    // A dialog made with them shows the same.
    const CoderSettingsDialog made(changed, dialogs);
    EXPECT_EQ(made.settings(), changed);
}

TEST_F(DialogTest, RestoreButtonGivesTheDefaultsBack) {
    dialog.setSettings(everyFieldChanged());
    QTest::mouseClick(&control<QPushButton>("BT_defaults"), Qt::LeftButton);
    EXPECT_EQ(dialog.settings(), CoderSettings{});
    EXPECT_EQ(control<QPushButton>("BT_defaults").text(), "Przywróć domyślne");
    for (const SettingDescriptor& info : settingDescriptors())
        EXPECT_FALSE(bold(std::string(info.name).c_str())) << info.name;
    // Switching the high-pass on again offers the usual cut-off, not 120 Hz.
    control<QCheckBox>("Setting_high-pass").setChecked(true);
    EXPECT_EQ(dialog.settings().highPass, std::optional<double>(80.0));
}

// A tables file the quantised coder cannot use is refused with the system's
// reason; without quantisation the file is not read.
TEST_F(DialogTest, ATablesFileThatCannotBeUsedDisablesOkAndSaysWhy) {
    control<QComboBox>("Setting_quantisation").setCurrentIndex(1);
    const std::string missing = "/nie/ma/takiego/pliku.zvqt";
    control<QLineEdit>("Setting_quantiser-tables").setText(QString::fromStdString(missing));
    EXPECT_FALSE(dialog.okButton().isEnabled());
    EXPECT_TRUE(dialog.problemLabel().text().contains(QString::fromStdString(missing)))
        << dialog.problemLabel().text().toStdString();
    control<QComboBox>("Setting_quantisation").setCurrentIndex(0);
    EXPECT_TRUE(dialog.okButton().isEnabled());
    control<QComboBox>("Setting_quantisation").setCurrentIndex(1);
    control<QLineEdit>("Setting_quantiser-tables")
        .setText(QString::fromStdString(builtInTablesFile().string()));
    EXPECT_TRUE(dialog.okButton().isEnabled());
    EXPECT_TRUE(dialog.problemLabel().text().isEmpty());
}

TEST_F(DialogTest, GammasOutOfOrderDisableOkAndSayWhy) {
    factor("gamma2").setValue(0.95);  // above gamma1 = 0.94
    EXPECT_FALSE(dialog.okButton().isEnabled());
    EXPECT_EQ(dialog.problemLabel().text(),
              "„Współczynnik γ2 filtru percepcyjnego” = 0.95 musi być mniejszy niż "
              "„Współczynnik γ1 filtru percepcyjnego” = 0.94.");
    factor("gamma2").setValue(0.94);  // equal is refused too
    EXPECT_FALSE(dialog.okButton().isEnabled());
    factor("gamma1").setValue(1.0);
    EXPECT_TRUE(dialog.okButton().isEnabled());
    EXPECT_TRUE(dialog.problemLabel().text().isEmpty());
    factor("gamma2").setValue(0.0);  // the spin box reaches 0, the coder refuses it
    EXPECT_FALSE(dialog.okButton().isEnabled());
    EXPECT_TRUE(settingsProblem(dialog.settings()).has_value());
    dialog.restoreDefaults();
    EXPECT_TRUE(dialog.okButton().isEnabled());
}

// A value typed outside its setting's range stays as typed; OK is disabled and
// the dialog says why, as for the gamma pair: nothing is changed silently.
// The arrows bring it back within the range.
TEST_F(DialogTest, ValuesTypedOutOfRangeStayAndAreRefusedWithTheReason) {
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    const auto type = [](QAbstractSpinBox& box, const char* text) {
        box.setFocus();
        box.selectAll();
        QTest::keyClicks(&box, text);
        QTest::keyClick(&box, Qt::Key_Tab);  // on to the next control
    };
    QDoubleSpinBox& numerator = factor("postfilter-num");
    type(numerator, "1.5");
    EXPECT_FALSE(numerator.hasFocus());
    EXPECT_DOUBLE_EQ(numerator.value(), 1.5);
    EXPECT_EQ(numerator.text(), "1.500");
    EXPECT_DOUBLE_EQ(dialog.settings().postfilterNum, 1.5);
    EXPECT_FALSE(dialog.okButton().isEnabled());
    EXPECT_EQ(dialog.problemLabel().text(),
              "„Licznik postfiltru formantowego” musi leżeć w przedziale 0..1.");
    EXPECT_TRUE(bold("postfilter-num"));
    numerator.stepDown();
    EXPECT_DOUBLE_EQ(numerator.value(), 1.0);
    EXPECT_TRUE(dialog.okButton().isEnabled());
    EXPECT_TRUE(dialog.problemLabel().text().isEmpty());

    control<QCheckBox>("Setting_high-pass").setChecked(true);
    auto& cutOff = control<QSpinBox>("Setting_high-pass-Hz");
    type(cutOff, "20");
    EXPECT_EQ(cutOff.value(), 20);
    EXPECT_EQ(dialog.settings().highPass, std::optional<double>(20.0));
    EXPECT_FALSE(dialog.okButton().isEnabled());
    EXPECT_EQ(dialog.problemLabel().text(),
              "„Filtr górnoprzepustowy” musi leżeć w przedziale 50..300 Hz.");
    cutOff.stepUp();
    EXPECT_EQ(cutOff.value(), 50);
    EXPECT_TRUE(dialog.okButton().isEnabled());
    type(cutOff, "400");
    EXPECT_EQ(cutOff.value(), 400);
    EXPECT_FALSE(dialog.okButton().isEnabled());
    dialog.hide();
}

// ---------------------------------------------------------------------------
// Settings files: "Wczytaj..." and "Zapisz..."

class SettingsFileTest : public DialogTest {
  public:
    void load(const fs::path& file) {
        dialogs.openAnswer = qPath(file);
        QTest::mouseClick(&dialog.loadButton(), Qt::LeftButton);
    }
    void save(const fs::path& file) {
        dialogs.saveAnswer = qPath(file);
        QTest::mouseClick(&dialog.saveButton(), Qt::LeftButton);
    }
    static std::string text(const fs::path& file) {
        const std::vector<std::uint8_t> bytes = test::readBytes(file);
        return {bytes.begin(), bytes.end()};
    }
    static void writeText(const fs::path& file, const std::string& text) {
        test::writeBytes(file, std::vector<std::uint8_t>(text.begin(), text.end()));
    }

    test::TempDir dir;
};

TEST_F(SettingsFileTest, SavedSettingsLoadBackExactly) {
    EXPECT_EQ(dialog.loadButton().text(), "Wczytaj...");
    EXPECT_EQ(dialog.saveButton().text(), "Zapisz...");
    const CoderSettings changed = everyFieldChanged();
    // Every setting is away from its default, so each one's way through the file counts.
    ASSERT_EQ(settingChanges(changed).size(), settingDescriptors().size());
    dialog.setSettings(changed);
    const fs::path file = dir / "wykład.txt";
    save(file);
    EXPECT_TRUE(dialogs.said.empty()) << dialogs.said.front().toStdString();
    ASSERT_EQ(dialogs.saveTypes.size(), 1u);
    EXPECT_EQ(dialogs.saveTypes[0].nameFilters,
              QStringList({"Ustawienia kodera (*.txt *.cfg)", "Wszystkie pliki (*)"}));
    EXPECT_EQ(dialogs.saveTypes[0].defaultSuffix, "txt");
    EXPECT_EQ(text(file), settingsFileText(changed));
    EXPECT_EQ(test::directoryNames(dir.path()), std::vector<std::string>{"wykład.txt"});

    // Into a dialog showing the defaults, and back to a file of the same bytes.
    dialog.restoreDefaults();
    load(file);
    EXPECT_TRUE(dialogs.said.empty()) << dialogs.said.front().toStdString();
    EXPECT_EQ(dialogs.openFilters,
              QStringList({"Ustawienia kodera (*.txt *.cfg)", "Wszystkie pliki (*)"}));
    EXPECT_EQ(dialog.settings(), changed);
    for (const SettingDescriptor& info : settingDescriptors())
        EXPECT_TRUE(bold(std::string(info.name).c_str())) << info.name;
    const fs::path again = dir / "again.cfg";
    save(again);
    EXPECT_EQ(text(again), text(file));

    // A setting the file does not name takes its default, whatever was shown.
    writeText(file, "# only one\ngamma1 = 0.9\n");
    load(file);
    CoderSettings expected;
    expected.gamma1 = 0.9;
    EXPECT_EQ(dialog.settings(), expected);

    // Cancelled dialogs change nothing.
    dialogs.openAnswer.reset();
    dialogs.saveAnswer.reset();
    QTest::mouseClick(&dialog.loadButton(), Qt::LeftButton);
    QTest::mouseClick(&dialog.saveButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.settings(), expected);
    EXPECT_EQ(test::directoryNames(dir.path()),
              (std::vector<std::string>{"again.cfg", "wykład.txt"}));
    EXPECT_TRUE(dialogs.said.empty());
}

TEST_F(SettingsFileTest, AnExistingFileIsReplacedOnlyWhenTheUserAgrees) {
    const fs::path file = dir / "ustawienia.txt";
    writeText(file, "gamma1=0.9\n");
    dialog.setSettings(everyFieldChanged());
    dialogs.confirmAnswer = false;
    save(file);
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_EQ(dialogs.asked[0], "Plik „" + qPath(file) + "” istnieje.\n\nNadpisać?");
    EXPECT_EQ(text(file), "gamma1=0.9\n");
    dialogs.confirmAnswer = true;
    save(file);
    EXPECT_EQ(text(file), settingsFileText(everyFieldChanged()));
    EXPECT_EQ(test::directoryNames(dir.path()), std::vector<std::string>{"ustawienia.txt"});
}

// Every bad line is named with its number and reason; the dialog keeps what it showed.
TEST_F(SettingsFileTest, AFileWithBadLinesIsRefusedAndTheDialogKeepsItsValues) {
    const fs::path file = dir / "zły.txt";
    writeText(file,
              "# a configuration\n"
              "gamma1 = 0.9\n"
              "high-pass=20\n"
              "gamma1=0.8   # again\n"
              "colour=red\n"
              "enhancement=maybe\n"
              "just words\n"
              "gamma2=0.95\n"
              "pitch-resolution=1/4\n"
              "\n");
    dialog.setSettings(everyFieldChanged());
    load(file);
    EXPECT_EQ(dialog.settings(), everyFieldChanged());
    ASSERT_EQ(dialogs.said.size(), 1u);
    EXPECT_EQ(dialogs.said[0],
              "Nie można wczytać ustawień z pliku „" + qPath(file) +
                  "”:\n"
                  "Wiersz 3: high-pass („Filtr górnoprzepustowy”) = 20 musi leżeć w przedziale "
                  "50..300 Hz.\n"
                  "Wiersz 4: ustawienie gamma1 podano ponownie (pierwszy raz w wierszu 2).\n"
                  "Wiersz 5: nie ma ustawienia „colour” (wymienia je „zorvel-cli settings”).\n"
                  "Wiersz 6: enhancement („Poprawa pobudzenia”): „maybe” nie jest słowem on "
                  "ani off.\n"
                  "Wiersz 7: „just words” nie ma postaci NAZWA=WARTOŚĆ.\n"
                  "Wiersz 8: „Współczynnik γ2 filtru percepcyjnego” = 0.95 musi być mniejszy "
                  "niż „Współczynnik γ1 filtru percepcyjnego” = 0.9.\n"
                  "Wiersz 9: pitch-resolution („Rozdzielczość opóźnienia”): „1/4” nie jest "
                  "żadną z wartości: 1, 1/3, 1/6.");

    // Each kind of value in its own words.
    const auto lineText = [](const char* assignment) {
        const SettingsFileContents contents = readSettingsText(assignment);
        return contents.problems.empty() ? QString()
                                         : polishSettingsLineProblem(contents.problems.front());
    };
    EXPECT_EQ(lineText("gamma2=dużo"),
              "Wiersz 1: gamma2 („Współczynnik γ2 filtru percepcyjnego”): „dużo” nie jest liczbą.");
    EXPECT_EQ(lineText("high-pass=yes"),
              "Wiersz 1: high-pass („Filtr górnoprzepustowy”): „yes” nie jest liczbą ani słowem "
              "off.");
    EXPECT_EQ(lineText("quantiser-tables="),
              "Wiersz 1: quantiser-tables („Tablice kwantyzatorów”): „” nie jest ścieżką pliku "
              "w jednym wierszu ani słowem built-in.");
    EXPECT_EQ(lineText("gamma1=1.5"),
              "Wiersz 1: gamma1 („Współczynnik γ1 filtru percepcyjnego”) = 1.5 musi leżeć w "
              "przedziale 0 < γ1 ≤ 1.");

    // A file that is no text, or is gone, is refused with the reason.
    dialogs.said.clear();
    const fs::path binary = dir / "binary.cfg";
    test::writeBytes(binary, {'g', 0, '='});
    load(binary);
    load(dir / "missing.txt");
    ASSERT_EQ(dialogs.said.size(), 2u);
    EXPECT_TRUE(
        dialogs.said[0].startsWith("Nie można wczytać ustawień z pliku „" + qPath(binary) + "”: "))
        << dialogs.said[0].toStdString();
    EXPECT_TRUE(dialogs.said[0].contains("NUL")) << dialogs.said[0].toStdString();
    EXPECT_EQ(dialogs.said[1], "Nie można wczytać ustawień z pliku „" + qPath(dir / "missing.txt") +
                                   "”: plik nie istnieje");
    EXPECT_EQ(dialog.settings(), everyFieldChanged());
}

// A file that cannot be written is reported with the reason, and nothing of
// it is left: no file, no half-written or temporary one.
TEST_F(SettingsFileTest, ASaveThatFailsSaysWhyAndLeavesNothing) {
    dialog.setSettings(everyFieldChanged());
    const auto failure = [](const fs::path& file, const char* reason) {
        return "Nie można zapisać ustawień w pliku „" + qPath(file) + "”: " + reason + ".";
    };
    const fs::path noFolder = dir / "brak" / "ustawienia.txt";
    save(noFolder);
    fs::create_directory(dir / "folder.txt");
    save(dir / "folder.txt");
    {
        const test::FileSizeLimit limit(100);  // the file holds more than 100 bytes
        save(dir / "duży.txt");
    }
    ASSERT_EQ(dialogs.said.size(), 3u);
    EXPECT_EQ(dialogs.said[0], failure(noFolder, "folder nie istnieje"));
    EXPECT_EQ(dialogs.said[1], failure(dir / "folder.txt", "to jest folder"));
    EXPECT_EQ(dialogs.said[2], failure(dir / "duży.txt", "plik jest za duży"));
    EXPECT_EQ(test::directoryNames(dir.path()), std::vector<std::string>{"folder.txt"});
    EXPECT_TRUE(test::directoryNames(dir / "folder.txt").empty());
    if (fs::exists("/dev/full")) {
        save("/dev/full");
        ASSERT_EQ(dialogs.said.size(), 4u);
        EXPECT_EQ(dialogs.said[3], failure("/dev/full", "brak miejsca na dysku"));
    }
    EXPECT_EQ(dialog.settings(), everyFieldChanged());
}

// What the coder refuses would not read back: it is not saved.
TEST_F(SettingsFileTest, SettingsWithAProblemCannotBeSaved) {
    EXPECT_TRUE(dialog.saveButton().isEnabled());
    factor("gamma2").setValue(0.95);
    EXPECT_FALSE(dialog.saveButton().isEnabled());
    EXPECT_TRUE(dialog.loadButton().isEnabled());
    factor("gamma2").setValue(0.5);
    EXPECT_TRUE(dialog.saveButton().isEnabled());
}

// The dialog, with its buttons in a row, fits a laptop's 1366 x 738 free area
// with a window manager's title bar.
TEST_F(SettingsFileTest, TheDialogFitsALaptopScreen) {
    constexpr QSize kLaptopRoom{1366, 738 - 30};
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_LE(dialog.width(), kLaptopRoom.width());
    EXPECT_LE(dialog.height(), kLaptopRoom.height());
    for (const QPushButton* button : dialog.findChildren<QPushButton*>()) {
        const QRect place(button->mapTo(&dialog, QPoint(0, 0)), button->size());
        EXPECT_TRUE(dialog.rect().contains(place)) << button->text().toStdString();
        EXPECT_GE(button->width(), button->sizeHint().width()) << button->text().toStdString();
    }
}

TEST(PolishSettingsProblem, NamesEachRuleOfTheCoder) {
    EXPECT_EQ(polishSettingsProblem(CoderSettings{}), std::nullopt);
    CoderSettings s;
    s.highPass = 40.0;
    EXPECT_EQ(polishSettingsProblem(s),
              "„Filtr górnoprzepustowy” musi leżeć w przedziale 50..300 Hz.");
    s = {};
    s.postfilterTilt = 1.5;
    EXPECT_EQ(polishSettingsProblem(s),
              "„Kompensacja nachylenia postfiltru” musi leżeć w przedziale 0..1.");
    s = {};
    s.gamma1 = 1.5;
    EXPECT_EQ(polishSettingsProblem(s),
              "„Współczynnik γ1 filtru percepcyjnego” musi leżeć w przedziale "
              "0 < γ1 ≤ 1.");
    // A problem for the coder is one for the dialog, and the other way round.
    for (const double gamma2 : {-0.1, 0.0, 0.3, 0.94, 1.0}) {
        s = {};
        s.gamma2 = gamma2;
        EXPECT_EQ(polishSettingsProblem(s).has_value(), settingsProblem(s).has_value()) << gamma2;
    }
}

// ---------------------------------------------------------------------------
// Texts of the windows

TEST(SettingsTexts, IndicationNamesWhatDiffersAndNothingForTheDefaults) {
    EXPECT_TRUE(settingsIndication(CoderSettings{}).isEmpty());
    CoderSettings s;
    s.pitchResolution = PitchResolution::sixth;
    s.lpInterpolation = LpInterpolation::lsf;
    EXPECT_EQ(settingsIndication(s),
              "Ustawienia kodera – rozdzielczość opóźnienia: 1/6; interpolacja LP: LSF");
    EXPECT_TRUE(highPassNote(s).isEmpty());
    // The words of each kind of setting, numbers in the locale's notation.
    CoderSettings t;
    t.highPass = 62.5;
    t.gamma1 = 0.9;
    t.enhancement = false;
    EXPECT_EQ(settingsWordsLine(t, CoderSettings{}, QLocale(QLocale::Polish)),
              "filtr górnoprzepustowy: 62,5 Hz; γ1: 0,9; poprawa pobudzenia: wył.");
    EXPECT_EQ(settingsWords(t, t), QStringList());
    // Against another reference, only what differs from it, with the values of `t`.
    CoderSettings reference = t;
    reference.enhancement = true;
    EXPECT_EQ(settingsWords(t, reference), QStringList{"poprawa pobudzenia: wył."});
    EXPECT_EQ(settingsWords(reference, t), QStringList{"poprawa pobudzenia: wł."});
    s.highPass = 80.0;
    EXPECT_EQ(highPassNote(s), "s(n) po filtrze górnoprzepustowym 80 Hz");
    s.highPass = 62.5;
    EXPECT_EQ(highPassNote(s, QLocale(QLocale::Polish)),
              "s(n) po filtrze górnoprzepustowym 62,5 Hz");
}

// The value a lag readout's text stands for: digits, then at most one
// fraction character.
double readLag(const QString& text) {
    static const std::map<QChar, double> fractions{{QChar(0x2159), 1.0 / 6},
                                                   {QChar(0x2153), 1.0 / 3},
                                                   {QChar(0x00BD), 1.0 / 2},
                                                   {QChar(0x2154), 2.0 / 3},
                                                   {QChar(0x215A), 5.0 / 6}};
    QString digits = text;
    double fraction = 0.0;
    if (!text.isEmpty() && fractions.count(text.back()) != 0) {
        fraction = fractions.at(text.back());
        digits.chop(1);
    }
    bool ok = false;
    const int whole = digits.toInt(&ok);
    if (!ok) throw std::runtime_error("no lag: " + text.toStdString());
    return whole + fraction;
}

TEST(SettingsTexts, LagTextIsWholeAtWholeResolutionAndExactInSixthsOtherwise) {
    EXPECT_EQ(pitchLagText(57, 57.0, PitchResolution::whole), "57");
    // At whole resolution the fine lag is not looked at.
    EXPECT_EQ(pitchLagText(143, 0.0, PitchResolution::whole), "143");
    EXPECT_EQ(pitchLagText(57, 57.0, PitchResolution::sixth), "57");
    EXPECT_EQ(pitchLagText(57, 57.0 + 2.0 / 6, PitchResolution::sixth), "57⅓");
    EXPECT_EQ(pitchLagText(57, 57.5, PitchResolution::sixth), "57½");
    EXPECT_EQ(pitchLagText(57, 57.0 - 1.0 / 6, PitchResolution::sixth), "56⅚");
    EXPECT_EQ(pitchLagText(20, 20.0 + 2.0 / 3, PitchResolution::third), "20⅔");
    // Every sixth from 17 to 144 reads back as itself.
    for (int sixths = 17 * 6; sixths <= 144 * 6; ++sixths) {
        const double lag = sixths / 6.0;
        EXPECT_NEAR(readLag(pitchLagText(sixths / 6, lag, PitchResolution::sixth)), lag, 1e-12)
            << sixths;
    }
}

// ---------------------------------------------------------------------------
// The main window

class MainWindowSettingsTest : public ::testing::Test {
  protected:
    MainWindowSettingsTest() {
        window.setForms(&testForm, &infoForm);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    template <typename T>
    T& control(const char* name) {
        return child<T>(window, QString::fromUtf8(name));
    }
    QString edit2() { return control<QLineEdit>("Edit2").text(); }
    // The window's pixels with no control focused (the dialog takes the focus
    // and the offscreen platform gives it back to no one).
    QImage unfocusedLook() {
        if (QWidget* focused = window.focusWidget()) focused->clearFocus();
        return window.grab().toImage();
    }

    // Opens the dialog from the menu, lets `change` work on it and presses OK.
    void chooseInDialog(const std::function<void(CoderSettingsDialog&)>& change) {
        window.settingsAction().trigger();
        CoderSettingsDialog* dialog = window.settingsDialog();
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(dialog->isVisible());
        EXPECT_EQ(dialog->settings(), window.coderSettings());
        change(*dialog);
        ASSERT_TRUE(dialog->okButton().isEnabled());
        QTest::mouseClick(&dialog->okButton(), Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return window.settingsDialog() == nullptr; }));
    }

    test::QuietDialogs dialogs{true};
    ChartWindow testForm;
    ProgressNotice infoForm;
    MainWindow window{dialogs};
};

TEST_F(MainWindowSettingsTest, DefaultsShowNothingNewAndTheOldOutputName) {
    window.openInput(samplePath());
    EXPECT_EQ(window.coderSettings(), CoderSettings{});
    EXPECT_FALSE(window.settingsLabel().isVisible());
    EXPECT_EQ(edit2(), samplePath() + "_12.20_sout.wav");
    EXPECT_EQ(window.settingsAction().text(), "Ustawienia kodera...");
}

TEST_F(MainWindowSettingsTest, ChosenSettingsNameTheOutputAndShowOnALine) {
    window.openInput(samplePath());
    const QImage before = unfocusedLook();
    const QString title = window.windowTitle();
    chooseInDialog([](CoderSettingsDialog& d) {
        CoderSettings s;
        s.pitchResolution = PitchResolution::sixth;
        s.lpInterpolation = LpInterpolation::lsf;
        d.setSettings(s);
    });
    EXPECT_EQ(window.coderSettings().pitchResolution, PitchResolution::sixth);
    EXPECT_EQ(edit2(), samplePath() + "_12.20_sout_frac6_lsf.wav");
    EXPECT_TRUE(window.settingsLabel().isVisible());
    // On the lines between the buttons, broken only between settings.
    EXPECT_EQ(window.settingsLabel().text(),
              "Ustawienia kodera –\nrozdzielczość opóźnienia: 1/6;\ninterpolacja LP: LSF");
    EXPECT_EQ(window.windowTitle(), title);
    // A mode chosen afterwards keeps the settings' part of the name.
    control<QRadioButton>("RadioButton8").setChecked(true);
    EXPECT_TRUE(edit2().endsWith("_frac6_lsf.wav")) << edit2().toStdString();
    control<QRadioButton>("RadioButton1").setChecked(true);

    // Back to the defaults: the window looks as it did, pixel for pixel.
    chooseInDialog([](CoderSettingsDialog& d) { d.restoreDefaults(); });
    EXPECT_FALSE(window.settingsLabel().isVisible());
    EXPECT_EQ(edit2(), samplePath() + "_12.20_sout.wav");
    EXPECT_EQ(unfocusedLook(), before);
}

TEST_F(MainWindowSettingsTest, ALongListIsCutWithAnEllipsisAndWholeInTheTooltip) {
    CoderSettings s = everyFieldChanged();
    window.setCoderSettings(s);
    const QLabel& label = window.settingsLabel();
    const QStringList lines = label.text().split('\n');
    EXPECT_EQ(lines.size(), 4) << label.text().toStdString();
    for (const QString& line : lines)
        EXPECT_LE(label.fontMetrics().horizontalAdvance(line), label.width()) << line.toStdString();
    EXPECT_LE(lines.size() * label.fontMetrics().lineSpacing(), label.height());
    // The first settings whole, in their order, then the ellipsis.
    QString shown = QString(label.text()).replace('\n', ' ');
    ASSERT_TRUE(shown.endsWith("; …")) << shown.toStdString();
    shown.chop(3);
    CoderSettings tools = s;
    tools.adaptiveCodebook = true;
    EXPECT_TRUE(settingsIndication(tools).startsWith(shown + "; ")) << shown.toStdString();
    EXPECT_TRUE(shown.startsWith(
        "Ustawienia kodera – rozdzielczość opóźnienia: 1/3; interpolacja LP: LSF"));
    // Every setting but the adaptive codebook (the radio buttons show it) in
    // the tooltip, a line each, in the windows' words.
    const QStringList tipLines = label.toolTip().split('\n');
    for (const SettingDescriptor& info : settingDescriptors()) {
        const QString name = QString::fromUtf8(info.shortLabel.data(), info.shortLabel.size());
        const bool listed = std::ranges::any_of(
            tipLines, [&](const QString& line) { return line.startsWith(name + ": "); });
        EXPECT_EQ(listed, info.name != "adaptive-codebook") << info.name;
    }
    EXPECT_TRUE(tipLines.contains("poprawa pobudzenia: wył."));
    EXPECT_TRUE(tipLines.contains("filtr górnoprzepustowy: 120 Hz"));
}

TEST_F(MainWindowSettingsTest, AdaptiveCodebookStaysWithTheRadioButtons) {
    auto& adapt = control<QRadioButton>("RB_adapt");
    auto& noAdapt = control<QRadioButton>("RB_noadapt");
    noAdapt.setChecked(true);
    EXPECT_FALSE(window.coderSettings().adaptiveCodebook);
    window.settingsAction().trigger();
    ASSERT_NE(window.settingsDialog(), nullptr);
    EXPECT_FALSE(
        child<QCheckBox>(*window.settingsDialog(), "Setting_adaptive-codebook").isChecked());
    window.settingsDialog()->reject();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.settingsDialog() == nullptr; }));

    chooseInDialog([](CoderSettingsDialog& d) {
        child<QCheckBox>(d, "Setting_adaptive-codebook").setChecked(true);
    });
    EXPECT_TRUE(adapt.isChecked());
    EXPECT_TRUE(window.coderSettings().adaptiveCodebook);
    chooseInDialog([](CoderSettingsDialog& d) {
        child<QCheckBox>(d, "Setting_adaptive-codebook").setChecked(false);
    });
    EXPECT_TRUE(noAdapt.isChecked());
    // The radio buttons' own suffix names it; the line does not.
    EXPECT_EQ(edit2(), QString::fromStdString(outputNameSuffix(CoderMode::rate12_2, false,
                                                               {.adaptiveCodebook = false})));
    EXPECT_FALSE(window.settingsLabel().isVisible());
}

TEST_F(MainWindowSettingsTest, CancelLeavesTheSettingsAsTheyWere) {
    window.openInput(samplePath());
    window.settingsAction().trigger();
    CoderSettingsDialog* dialog = window.settingsDialog();
    ASSERT_NE(dialog, nullptr);
    child<QComboBox>(*dialog, "Setting_pitch-resolution").setCurrentIndex(1);
    dialog->reject();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.settingsDialog() == nullptr; }));
    EXPECT_EQ(window.coderSettings(), CoderSettings{});
    EXPECT_EQ(edit2(), samplePath() + "_12.20_sout.wav");
}

// "Wykresy" opens the chart window with the settings, and names them there.
TEST_F(MainWindowSettingsTest, ChartWindowTakesTheSettings) {
    window.openInput(samplePath());
    CoderSettings chosen;
    chosen.lagWindow = false;
    window.setCoderSettings(chosen);
    control<QRadioButton>("RB_noadapt").setChecked(true);
    QTest::mouseClick(&control<QPushButton>("BT_Wykresy"), Qt::LeftButton);
    ASSERT_TRUE(testForm.isVisible());
    ASSERT_NE(testForm.coder(), nullptr);
    chosen.adaptiveCodebook = false;
    EXPECT_EQ(testForm.coder()->settings(), chosen);
    EXPECT_EQ(testForm.settingsLine().text(),
              "Ustawienia kodera – okno autokorelacji: wył.; słownik adaptacyjny: wył.");
    testForm.close();
}

// The run of "Kodowanie" with other settings: an output of its own name, with
// the bytes of a coder made with those settings and not those of the defaults.
TEST_F(MainWindowSettingsTest, EncodingRunUsesTheSettings) {
    const test::TempDir dir;
    const fs::path input = dir.path() / "mowa.wav";
    fs::copy_file(test::samplePath(), input);
    window.openInput(qPath(input));
    CoderSettings chosen;
    chosen.gamma1 = 0.9;
    chosen.pitchResolution = PitchResolution::third;
    window.setCoderSettings(chosen);
    const fs::path output = dir.path() / "mowa.wav_12.20_sout_frac3_g1-0.9.wav";
    EXPECT_EQ(edit2(), qPath(output));
    QTest::mouseClick(&control<QPushButton>("BT_Kodowanie"), Qt::LeftButton);
    ASSERT_FALSE(dialogs.said.empty());
    EXPECT_TRUE(dialogs.said.back().startsWith("Kodowanie zakończone."))
        << dialogs.said.back().toStdString();

    const fs::path expected = dir.path() / "expected.wav";
    const fs::path defaults = dir.path() / "defaults.wav";
    {
        SpeechCoder coder(input, CoderMode::rate12_2, chosen);
        ASSERT_EQ(coder.encodeFile(expected, SaveOption::synthesized), RunResult::completed);
        SpeechCoder plain(input, CoderMode::rate12_2);
        ASSERT_EQ(plain.encodeFile(defaults, SaveOption::synthesized), RunResult::completed);
    }
    const auto bytes = test::readBytes(output);
    EXPECT_EQ(bytes, test::readBytes(expected));
    EXPECT_NE(bytes, test::readBytes(defaults));
    EXPECT_FALSE(fs::exists(dir.path() / "mowa.wav_12.20_sout.wav"));
}

// ---------------------------------------------------------------------------
// The chart window

class ChartSettingsTest : public ::testing::Test {
  protected:
    ChartSettingsTest() { form.setDialogs(std::make_unique<Silent>()); }

    struct Silent final : ChartDialogs {
        void information(QWidget*, const QString&) override {}
        bool confirm(QWidget*, const QString&) override { return true; }
        void setBusyCursor() override {}
        void restoreCursor() override {}
    };

    QString lagText(int a) {
        return child<QLineEdit>(form, QStringLiteral("Editk%1").arg(a + 1)).text();
    }

    ChartWindow form;
};

TEST_F(ChartSettingsTest, DefaultsShowNoLineAndTheTitleStaysAsItWas) {
    form.openForFile(samplePath(), CoderMode::rate10_2);
    EXPECT_FALSE(form.settingsLine().isVisible());
    EXPECT_EQ(form.windowTitle(), windowCaption(CoderMode::rate10_2, samplePath()));
    ASSERT_NE(form.coder(), nullptr);
    EXPECT_EQ(form.coder()->settings(), CoderSettings{});
}

TEST_F(ChartSettingsTest, OtherSettingsReachTheCoderThePassAndTheLine) {
    CoderSettings settings;
    settings.gamma2 = 0.5;
    settings.highPass = 80.0;
    settings.adaptiveCodebook = false;
    form.openForFile(samplePath(), CoderMode::rate7_40, settings);
    ASSERT_NE(form.coder(), nullptr);
    EXPECT_EQ(form.coder()->settings(), settings);
    EXPECT_EQ(form.framePass()->checkpoints()->settings(), settings);
    EXPECT_TRUE(form.settingsLine().isVisible());
    EXPECT_EQ(form.settingsLine().text(),
              "Ustawienia kodera – filtr górnoprzepustowy: 80 Hz; γ2: 0.5; słownik adaptacyjny: "
              "wył.   |   s(n) po filtrze górnoprzepustowym 80 Hz");
    EXPECT_EQ(form.windowTitle(), windowCaption(CoderMode::rate7_40, samplePath()));
    // Opened again with the defaults, the line goes.
    form.openForFile(samplePath(), CoderMode::rate7_40);
    EXPECT_FALSE(form.settingsLine().isVisible());
    EXPECT_EQ(form.coder()->settings(), CoderSettings{});
}

TEST_F(ChartSettingsTest, ALineLongerThanTheFormEndsInAnEllipsis) {
    const CoderSettings tools = everyFieldChanged();
    form.openForFile(samplePath(), CoderMode::rate12_2, tools);
    const QLabel& line = form.settingsLine();
    const QString whole = settingsIndication(tools) + "   |   " + highPassNote(tools);
    EXPECT_EQ(line.toolTip(), whole);
    EXPECT_TRUE(line.text().endsWith("…")) << line.text().toStdString();
    EXPECT_TRUE(whole.startsWith(line.text().chopped(1)));
    EXPECT_LE(line.fontMetrics().horizontalAdvance(line.text()), line.width());
}

TEST_F(ChartSettingsTest, LagReadoutsShowTheFineLag) {
    CoderSettings tools;
    tools.pitchResolution = PitchResolution::sixth;
    form.openForFile(samplePath(), CoderMode::rate12_2, tools);
    int fractional = 0;
    for (int frame = 1; frame <= 60; ++frame) {
        const FrameRecord& record = form.coder()->currentFrame();
        for (int a = 0; a < kSubframes; ++a) {
            const QString text = lagText(a);
            const QString prefix = QStringLiteral("k%1=").arg(a + 1);
            ASSERT_TRUE(text.startsWith(prefix)) << text.toStdString();
            EXPECT_NEAR(readLag(text.mid(prefix.size())), record.pitchLagFine[a], 1e-9)
                << "frame " << frame << " subframe " << a;
            if (record.pitchLagFine[a] != record.pitchLag[a]) ++fractional;
            // The whole readout shows in its box, never cut.
            EXPECT_FALSE(readoutIsCut(child<QLineEdit>(form, QStringLiteral("Editk%1").arg(a + 1))))
                << text.toStdString();
        }
        form.BT_nextClick();
    }
    EXPECT_GT(fractional, 20);
    // The longest lag and fraction fit the box as well.
    auto& box = child<QLineEdit>(form, "Editk4");
    box.setText("k4=143⅚");
    EXPECT_FALSE(readoutIsCut(box));
}

// The wider k readouts keep clear of the gp readouts and, in the two-frame
// view, of the next subframe's caption ("5", "10", "15", "20"); at whole
// resolution they have the form's places and sizes.
TEST_F(ChartSettingsTest, WiderLagReadoutsLeaveTheCaptionsClear) {
    const auto geometry = [this](const QString& name) {
        return child<QWidget>(form, name).geometry();
    };
    form.openForFile(samplePath(), CoderMode::rate12_2);
    EXPECT_EQ(geometry("Editk1"), QRect(509, 246, 43, 21));
    EXPECT_EQ(geometry("Ed_gp1"), QRect(557, 246, 51, 21));
    CoderSettings tools;
    tools.pitchResolution = PitchResolution::third;
    form.openForFile(samplePath(), CoderMode::rate12_2, tools);
    for (int a = 0; a < kSubframes; ++a) {
        const QRect lag = geometry(QStringLiteral("Editk%1").arg(a + 1));
        const QRect gain = geometry(QStringLiteral("Ed_gp%1").arg(a + 1));
        const QRect caption = geometry(QStringLiteral("L%1").arg(a + 6));
        EXPECT_EQ(lag.width(), 50) << a;
        EXPECT_LT(lag.right(), gain.left()) << a;
        EXPECT_LT(gain.right(), caption.left()) << a;
    }
    form.openForFile(samplePath(), CoderMode::rate12_2);
    EXPECT_EQ(geometry("Editk4").width(), 43);
    EXPECT_EQ(geometry("Ed_gp4").width(), 51);
}

TEST_F(ChartSettingsTest, LagReadoutsAreWholeAtWholeResolution) {
    form.openForFile(samplePath(), CoderMode::rate12_2);
    for (int frame = 1; frame <= 20; ++frame) {
        for (int a = 0; a < kSubframes; ++a)
            EXPECT_EQ(lagText(a), QStringLiteral("k%1=%2").arg(a + 1).arg(
                                      form.coder()->currentFrame().pitchLag[a]));
        form.BT_nextClick();
    }
}

// The rest of the file that playback codes on its worker comes from a coder
// of the window's settings.
TEST(RestOfFileSettings, PlaybackCodesWithTheSettings) {
    CoderSettings tools;
    tools.gamma1 = 0.9;
    tools.enhancement = false;
    RestOfFile request{test::samplePath(), CoderMode::rate5_15, tools, 200};
    const auto played = restOfFileSamples(request, PlaybackSignal::Synthesized);
    ASSERT_TRUE(played.has_value());

    SpeechCoder coder(test::samplePath(), CoderMode::rate5_15, tools);
    std::vector<double> expected;
    while (coder.nextFrame() != FrameStep::endOfInput) {
        if (coder.frameCount() < request.firstFrame) continue;
        const auto frame = shownSamples(coder.previousFrame(), coder.currentFrame(),
                                        PlaybackSignal::Synthesized, false);
        expected.insert(expected.end(), frame.begin(), frame.end());
    }
    ASSERT_EQ(played->size(), static_cast<std::size_t>(test::kSampleFrames - 199) * kFrameSamples);
    EXPECT_EQ(*played, expected);
    request.settings = {};
    EXPECT_NE(restOfFileSamples(request, PlaybackSignal::Synthesized), played);
}

}  // namespace
}  // namespace zorvel
