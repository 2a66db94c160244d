// The dialog "Ustawienia kodera": one row per coder setting, made from the
// settings' table (settingDescriptors), each with its Polish label (the
// command line's name in its tool tip), its control by the setting's kind and
// its default beside it; a label turns bold while its setting differs from
// the default.
// "Przywróć domyślne" puts every control back to the default. A number typed
// outside its setting's range stays as typed (the arrows step within it).
// While the settings cannot be used (settingsProblem: a value out of its range,
// the gamma pair out of order) OK is disabled and the dialog says why in
// Polish.
#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QString>
#include <optional>
#include <vector>

#include "coder/CoderSettings.h"

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QDoubleSpinBox;
class QGridLayout;
class QLabel;
class QSpinBox;

namespace zorvel {

// Why `settings` cannot be used together, in Polish; nothing when they can.
std::optional<QString> polishSettingsProblem(const CoderSettings& settings);

class CoderSettingsDialog : public QDialog {
    Q_OBJECT
  public:
    explicit CoderSettingsDialog(const CoderSettings& settings, QWidget* parent = nullptr);

    // The settings the controls show.
    CoderSettings settings() const;
    // Puts `settings` into the controls.
    void setSettings(const CoderSettings& settings);
    // "Przywróć domyślne".
    void restoreDefaults();

    // For the tests: the OK button, the problem line and a row's label by
    // the setting's name ("gamma1").
    QPushButton& okButton() const;
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
    // Marks the changed rows, shows the problem and enables OK.
    void settingsChanged();

    QGridLayout* grid_;
    QLabel* problem_;
    QDialogButtonBox* buttons_;
    std::vector<Row> rows_;
};

}  // namespace zorvel
