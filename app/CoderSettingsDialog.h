// The dialog "Ustawienia kodera": one control per coder setting, each with
// its Polish label, the setting's name in parentheses and its default beside
// it; a label turns bold while its setting differs from the default.
// "Przywróć domyślne" puts every control back to the default. While the
// settings cannot be used together (settingsProblem) OK is disabled and the
// dialog says why in Polish.
#pragma once

#include <QDialog>
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
    // One row: the setting's name and its label, beside its control(s) and
    // the default's text.
    struct Row {
        QString name;
        QLabel* label;
    };

    void addRow(const QString& name, const QString& text, QWidget* control,
                const QString& defaultText, const QString& tip);
    QDoubleSpinBox* addFactor(const QString& name, const QString& text, double defaultValue,
                              const QString& tip);
    QCheckBox* addSwitch(const QString& name, const QString& text, const QString& tip);
    // Marks the changed rows, shows the problem and enables OK.
    void settingsChanged();

    QComboBox* pitchResolution_;
    QComboBox* lpInterpolation_;
    QCheckBox* highPassOn_;
    QSpinBox* highPassCutOff_;
    QDoubleSpinBox* gamma1_;
    QDoubleSpinBox* gamma2_;
    QDoubleSpinBox* postfilterNum_;
    QDoubleSpinBox* postfilterDen_;
    QDoubleSpinBox* postfilterTilt_;
    QCheckBox* enhancement_;
    QCheckBox* lagWindow_;
    QCheckBox* adaptiveCodebook_;
    QGridLayout* grid_;
    QLabel* problem_;
    QDialogButtonBox* buttons_;
    std::vector<Row> rows_;
};

}  // namespace zorvel
