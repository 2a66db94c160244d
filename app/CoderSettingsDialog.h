// The dialog "Ustawienia kodera": one row per coder setting, made from the
// settings' table (settingDescriptors), each with its Polish label (the
// command line's name in its tool tip), its control by the setting's kind and
// its default beside it; a label turns bold while its setting differs from
// the default.
// "Przywróć domyślne" puts every control back to the default. A number typed
// outside its setting's range stays as typed (the arrows step within it).
// While the settings cannot be used (settingsProblem: a value out of its range,
// the gamma pair out of order) OK and "Zapisz..." are disabled and the dialog
// says why in Polish.
// "Wczytaj..." reads a settings file (coder/SettingsFile.h) into the controls;
// a setting the file does not name takes its default. A file with a bad line
// is refused whole, each bad line named with its number and reason, and the
// controls keep their values. "Zapisz..." writes the settings shown to a file
// that reads back as the same settings, staged until complete.
#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QString>
#include <optional>
#include <vector>

#include "coder/CoderSettings.h"
#include "coder/SettingsFile.h"

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QDoubleSpinBox;
class QGridLayout;
class QLabel;
class QSpinBox;

namespace zorvel {

class UserDialogs;

// Why `settings` cannot be used together, in Polish; nothing when they can.
std::optional<QString> polishSettingsProblem(const CoderSettings& settings);

// What is wrong with an assignment NAME=VALUE, in Polish, naming the setting
// as the assignment does and by its label.
QString polishSettingProblem(const SettingProblem& problem);
// Why a line of a settings file cannot be used: "Wiersz 3: ..." in Polish.
QString polishSettingsLineProblem(const SettingsLineProblem& problem);

class CoderSettingsDialog : public QDialog {
    Q_OBJECT
  public:
    // `dialogs` asks for the files of "Wczytaj..." and "Zapisz..." and tells
    // why one cannot be used.
    CoderSettingsDialog(const CoderSettings& settings, UserDialogs& dialogs,
                        QWidget* parent = nullptr);

    // The settings the controls show.
    CoderSettings settings() const;
    // Puts `settings` into the controls.
    void setSettings(const CoderSettings& settings);
    // "Przywróć domyślne".
    void restoreDefaults();
    // "Wczytaj..." and "Zapisz...".
    void loadFile();
    void saveFile();

    // For the tests: the OK, "Wczytaj..." and "Zapisz..." buttons, the
    // problem line and a row's label by the setting's name ("gamma1").
    QPushButton& okButton() const;
    QPushButton& loadButton() const { return *load_; }
    QPushButton& saveButton() const { return *save_; }
    const QLabel& problemLabel() const { return *problem_; }
    const QLabel* rowLabel(const QString& name) const;

  private:
    // One row of the settings' table: its label and its control(s).
    struct Row {
        const SettingDescriptor* setting;
        QLabel* label;
        QComboBox* choice = nullptr;       // a choice
        QDoubleSpinBox* number = nullptr;  // a number
        QCheckBox* toggle = nullptr;       // a switch, or an off-or-number's on
        QSpinBox* offOrNumber = nullptr;   // an off-or-number's value
        QLineEdit* file = nullptr;         // a file's path
    };

    // The row of `setting`, with its label, control(s) and default.
    Row addRow(const SettingDescriptor& setting);
    // Marks the changed rows, shows the problem and enables OK and "Zapisz...".
    void settingsChanged();
    // Writes the settings shown to `name`, replacing a file there only when
    // `replace` (one that appears meanwhile is kept); the reason when it
    // cannot.
    std::optional<QString> writeFile(const QString& name, bool replace) const;

    UserDialogs& dialogs_;
    QGridLayout* grid_;
    QLabel* problem_;
    QDialogButtonBox* buttons_;
    QPushButton* load_ = nullptr;
    QPushButton* save_ = nullptr;
    std::vector<Row> rows_;
    QString lastFile_;  // the settings file read or written last
};

}  // namespace zorvel
