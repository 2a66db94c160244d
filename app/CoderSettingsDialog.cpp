#include "app/CoderSettingsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <memory>
#include <type_traits>

#include "app/FileNames.h"
#include "app/UserDialogs.h"
#include "charts/FormFont.h"
#include "charts/SystemReasons.h"
#include "coder/SpeechCoder.h"
#include "files/FileError.h"
#include "files/StagedOutput.h"

namespace zorvel {
namespace {

// A number steps by a hundredth of its range's decade (0.01 for 0..1, 1 for
// 0..300) and shows one decimal more than its step: three for 0..1.
constexpr double kStepsPerDecade = 100.0;

double numberStep(const SettingRange& range) {
    return std::pow(10.0, std::floor(std::log10(range.highest - range.lowest))) / kStepsPerDecade;
}

int numberDecimals(double step) {
    return std::max(0, 1 - static_cast<int>(std::floor(std::log10(step))));
}

const QString kDefaultPrefix = QStringLiteral("domyślnie: ");

QString fromView(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// "„Filtr górnoprzepustowy”".
QString quotedName(const SettingDescriptor& setting) {
    return QStringLiteral("„%1”").arg(fromView(setting.label));
}

// A number as the dialog's spin boxes show it.
QString localNumber(double value) { return QLocale().toString(value); }

// "50..300 Hz", or "0 < γ1 ≤ 1" for a range open at an end.
QString polishRange(const SettingDescriptor& setting) {
    const SettingRange& r = setting.range;
    QString text = localNumber(r.lowest);
    if (!r.lowestOpen && !r.highestOpen) {
        text += QStringLiteral("..") + localNumber(r.highest);
    } else {
        text += (r.lowestOpen ? QStringLiteral(" < ") : QStringLiteral(" ≤ ")) +
                fromView(setting.shortLabel) +
                (r.highestOpen ? QStringLiteral(" < ") : QStringLiteral(" ≤ ")) +
                localNumber(r.highest);
    }
    if (!setting.unit.empty()) text += QLatin1Char(' ') + fromView(setting.unit);
    return text;
}

// The default's text: a choice's label, a number, or the word of a state.
QString defaultText(const SettingDescriptor& setting) {
    const CoderSettings defaults;
    switch (setting.kind) {
        case SettingKind::choice:
            return fromView(
                setting.choices[static_cast<std::size_t>(setting.choiceIn(defaults))].label);
        case SettingKind::number:
            return localNumber(defaults.*setting.number);
        case SettingKind::offOrNumber: {
            const std::optional<double>& value = defaults.*setting.offOrNumber;
            return value ? localNumber(*value) : fromView(setting.offWord);
        }
        case SettingKind::onOff:
            return fromView(defaults.*setting.onOff ? setting.onWord : setting.offWord);
        case SettingKind::file:
            return fromView(setting.offWord);
    }
    return {};
}

// The largest magnitude a number's box takes as typed: a hundred times its
// range's decade (100 for 0..1, 10000 for 50..300 Hz). A value typed outside
// the setting's range stays as typed, and the dialog refuses it with the
// reason; it is never changed behind the user's back.
double typedLimit(const SettingRange& range) {
    return numberStep(range) * kStepsPerDecade * kStepsPerDecade;
}

// A spin box that takes any number typed up to typedLimit, while its arrows
// (and the keys and the wheel that step) stay within the setting's range.
template <class Box>
class SettingBox final : public Box {
  public:
    SettingBox(const SettingRange& range, QWidget* parent) : Box(parent), range_(range) {
        const double limit = typedLimit(range);
        this->setRange(static_cast<decltype(this->value())>(-limit),
                       static_cast<decltype(this->value())>(limit));
    }

    void stepBy(int steps) override {
        const double next =
            std::clamp(static_cast<double>(this->value() + steps * this->singleStep()),
                       range_.lowest, range_.highest);
        if constexpr (std::is_same_v<decltype(this->value()), int>) {
            this->setValue(static_cast<int>(std::lround(next)));
        } else {
            this->setValue(next);
        }
    }

  protected:
    QAbstractSpinBox::StepEnabled stepEnabled() const override {
        QAbstractSpinBox::StepEnabled enabled = QAbstractSpinBox::StepNone;
        if (this->value() < range_.highest) enabled |= QAbstractSpinBox::StepUpEnabled;
        if (this->value() > range_.lowest) enabled |= QAbstractSpinBox::StepDownEnabled;
        return enabled;
    }

  private:
    SettingRange range_;
};

// "„Współczynnik γ2 filtru percepcyjnego” = 0.95 musi być mniejszy niż
// „Współczynnik γ1 filtru percepcyjnego” = 0.94."
QString notBelowText(const SettingDescriptor& setting, const QString& value,
                     const QString& upperValue) {
    return QStringLiteral("%1 = %2 musi być mniejszy niż %3 = %4.")
        .arg(quotedName(setting), value, quotedName(*findSetting(setting.below)), upperValue);
}

// What a value of the setting is, after "nie jest": "liczbą", ...
QString polishValueKind(const SettingDescriptor& setting) {
    switch (setting.kind) {
        case SettingKind::choice: {
            QStringList texts;
            for (const SettingChoice& choice : setting.choices) texts << fromView(choice.text);
            return QStringLiteral("żadną z wartości: ") + texts.join(QStringLiteral(", "));
        }
        case SettingKind::number:
            return QStringLiteral("liczbą");
        case SettingKind::offOrNumber:
            return QStringLiteral("liczbą ani słowem off");
        case SettingKind::onOff:
            return QStringLiteral("słowem on ani off");
        case SettingKind::file:
            return QStringLiteral("ścieżką pliku w jednym wierszu ani słowem built-in");
    }
    return {};
}

// Settings files: what the file dialogs offer and how a file is named.
const QString kSettingsFilesFilter = QStringLiteral("Ustawienia kodera (*.txt *.cfg)");
const QString kAllFilesFilter = QStringLiteral("Wszystkie pliki (*)");
const QString kSettingsFileSuffix = QStringLiteral("txt");
const QString kSuggestedSettingsFile = QStringLiteral("ustawienia-kodera.txt");

QString quotedFile(const QString& name) { return QStringLiteral("„%1”").arg(name); }

}  // namespace

QString polishSettingProblem(const SettingProblem& p) {
    const QString name = QString::fromStdString(p.name);
    const QString value = QString::fromStdString(p.value);
    if (p.setting == nullptr) {
        if (p.kind == SettingProblemKind::unknownName)
            return QStringLiteral("nie ma ustawienia %1 (wymienia je „zorvel-cli settings”).")
                .arg(quotedFile(name));
        return QStringLiteral("%1 nie ma postaci NAZWA=WARTOŚĆ.").arg(quotedFile(value));
    }
    const SettingDescriptor& setting = *p.setting;
    // The name as the file writes it, then the dialog's label.
    const QString named = QStringLiteral("%1 (%2)").arg(name, quotedName(setting));
    switch (p.kind) {
        case SettingProblemKind::notAValue:
            return QStringLiteral("%1: %2 nie jest %3.")
                .arg(named, quotedFile(value), polishValueKind(setting));
        case SettingProblemKind::outOfRange:
            return QStringLiteral("%1 = %2 musi leżeć w przedziale %3.")
                .arg(named, value, polishRange(setting));
        case SettingProblemKind::notBelow:
            return notBelowText(setting, value, QString::fromStdString(p.otherValue));
        case SettingProblemKind::notAssignment:
        case SettingProblemKind::unknownName:
            break;
    }
    return QStringLiteral("%1: %2.").arg(named, value);
}

QString polishSettingsLineProblem(const SettingsLineProblem& problem) {
    const QString where = QStringLiteral("Wiersz %1: ").arg(problem.line);
    switch (problem.kind) {
        case SettingsLineProblemKind::repeated:
            return where + QStringLiteral(
                               "ustawienie %1 podano ponownie (pierwszy raz w "
                               "wierszu %2).")
                               .arg(QString::fromStdString(problem.problem.name),
                                    QString::number(problem.firstLine));
        case SettingsLineProblemKind::together:
            // Settings that disagree, none of them set in the file.
            if (problem.line == 0) return polishSettingProblem(problem.problem);
            break;
        case SettingsLineProblemKind::setting:
            break;
    }
    return where + polishSettingProblem(problem.problem);
}

std::optional<QString> polishSettingsProblem(const CoderSettings& s) {
    const auto problem = settingsProblem(s);
    if (!problem) {
        // A tables file that cannot be read, in the system's words.
        if (const auto tables = quantiserTablesProblem(s))
            return QStringLiteral("%1: nie można użyć pliku %2")
                .arg(quotedName(*findSetting("quantiser-tables")), QString::fromStdString(*tables));
        return std::nullopt;
    }
    const SettingDescriptor& setting = *problem->setting;
    if (problem->kind == SettingProblemKind::notBelow)
        return notBelowText(setting, localNumber(s.*setting.number),
                            localNumber(s.*findSetting(setting.below)->number));
    // The settings' own checks find values out of range only.
    return QStringLiteral("%1 musi leżeć w przedziale %2.")
        .arg(quotedName(setting), polishRange(setting));
}

CoderSettingsDialog::CoderSettingsDialog(const CoderSettings& settings, UserDialogs& dialogs,
                                         QWidget* parent)
    : QDialog(parent), dialogs_(dialogs) {
    setObjectName(QStringLiteral("CoderSettingsDialog"));
    setWindowTitle(QStringLiteral("Ustawienia kodera"));
    setFont(formFont(font(), kFormFontPixels));
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    grid_ = new QGridLayout;
    layout->addLayout(grid_);
    for (const SettingDescriptor& setting : settingDescriptors()) rows_.push_back(addRow(setting));

    problem_ = new QLabel(this);
    problem_->setObjectName(QStringLiteral("Label_problem"));
    problem_->setWordWrap(true);
    problem_->setStyleSheet(QStringLiteral("color: #b00000;"));
    // Room for two lines whether or not there is a problem: the rows never move.
    problem_->setMinimumHeight(2 * problem_->fontMetrics().lineSpacing());
    problem_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    layout->addWidget(problem_);

    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons_->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons_->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Anuluj"));
    QPushButton* restore =
        buttons_->addButton(QStringLiteral("Przywróć domyślne"), QDialogButtonBox::ResetRole);
    restore->setObjectName(QStringLiteral("BT_defaults"));
    connect(restore, &QPushButton::clicked, this, &CoderSettingsDialog::restoreDefaults);
    load_ = buttons_->addButton(QStringLiteral("Wczytaj..."), QDialogButtonBox::ActionRole);
    load_->setObjectName(QStringLiteral("BT_load"));
    connect(load_, &QPushButton::clicked, this, &CoderSettingsDialog::loadFile);
    save_ = buttons_->addButton(QStringLiteral("Zapisz..."), QDialogButtonBox::ActionRole);
    save_->setObjectName(QStringLiteral("BT_save"));
    connect(save_, &QPushButton::clicked, this, &CoderSettingsDialog::saveFile);
    connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons_);

    setSettings(settings);
}

CoderSettingsDialog::Row CoderSettingsDialog::addRow(const SettingDescriptor& setting) {
    const QString name = fromView(setting.name);
    const QString text = fromView(setting.label);
    Row row{&setting, new QLabel(text, this)};
    QWidget* control = nullptr;
    switch (setting.kind) {
        case SettingKind::choice:
            row.choice = new QComboBox(this);
            for (const SettingChoice& choice : setting.choices)
                row.choice->addItem(fromView(choice.label));
            connect(row.choice, &QComboBox::currentIndexChanged, this,
                    &CoderSettingsDialog::settingsChanged);
            control = row.choice;
            break;
        case SettingKind::number:
            row.number = new SettingBox<QDoubleSpinBox>(setting.range, this);
            row.number->setDecimals(numberDecimals(numberStep(setting.range)));
            row.number->setSingleStep(numberStep(setting.range));
            if (!setting.unit.empty())
                row.number->setSuffix(QLatin1Char(' ') + fromView(setting.unit));
            connect(row.number, &QDoubleSpinBox::valueChanged, this,
                    &CoderSettingsDialog::settingsChanged);
            control = row.number;
            break;
        case SettingKind::onOff:
            row.toggle = new QCheckBox(fromView(setting.onWord), this);
            connect(row.toggle, &QCheckBox::toggled, this, &CoderSettingsDialog::settingsChanged);
            control = row.toggle;
            break;
        case SettingKind::offOrNumber: {
            // A check box that switches it on, and the value beside it.
            control = new QWidget(this);
            auto* pair = new QHBoxLayout(control);
            pair->setContentsMargins(0, 0, 0, 0);
            row.toggle = new QCheckBox(fromView(setting.onWord), control);
            row.toggle->setObjectName(QStringLiteral("Setting_") + name);
            row.offOrNumber = new SettingBox<QSpinBox>(setting.range, control);
            row.offOrNumber->setObjectName(
                QStringLiteral("Setting_%1-%2").arg(name, fromView(setting.unit)));
            if (!setting.unit.empty())
                row.offOrNumber->setSuffix(QLatin1Char(' ') + fromView(setting.unit));
            row.offOrNumber->setValue(static_cast<int>(std::lround(setting.suggested)));
            pair->addWidget(row.toggle);
            pair->addWidget(row.offOrNumber);
            QSpinBox* value = row.offOrNumber;
            connect(row.toggle, &QCheckBox::toggled, this, [this, value](bool on) {
                value->setEnabled(on);
                settingsChanged();
            });
            connect(row.offOrNumber, &QSpinBox::valueChanged, this,
                    &CoderSettingsDialog::settingsChanged);
            break;
        }
        case SettingKind::file:
            row.file = new QLineEdit(this);
            row.file->setPlaceholderText(fromView(setting.offWord));
            row.file->setClearButtonEnabled(true);
            connect(row.file, &QLineEdit::textChanged, this, &CoderSettingsDialog::settingsChanged);
            control = row.file;
            break;
    }
    if (control->objectName().isEmpty()) control->setObjectName(QStringLiteral("Setting_") + name);

    const int place = grid_->rowCount();
    row.label->setObjectName(QStringLiteral("Label_") + name);
    // As wide as when bold: marking a change does not move the controls.
    QFont bold = row.label->font();
    bold.setBold(true);
    row.label->setMinimumWidth(QFontMetrics(bold).horizontalAdvance(text));
    row.label->setBuddy(control);
    const QString byDefault = kDefaultPrefix + defaultText(setting);
    auto* marked = new QLabel(byDefault, this);
    marked->setObjectName(QStringLiteral("Default_") + name);
    marked->setEnabled(false);  // the default, in the style's grey
    QString tip = fromView(setting.tip);
    if (tip.contains(QStringLiteral("%1")))
        tip = tip.arg(localNumber(setting.range.lowest), localNumber(setting.range.highest));
    // The command line's name of the setting, for zorvel-cli's --set.
    const QString fullTip = tip + QStringLiteral("\n") + byDefault +
                            QStringLiteral("\nW zorvel-cli: --set %1=…").arg(name);
    row.label->setToolTip(fullTip);
    control->setToolTip(fullTip);
    grid_->addWidget(row.label, place, 0);
    grid_->addWidget(control, place, 1);
    grid_->addWidget(marked, place, 2);
    return row;
}

CoderSettings CoderSettingsDialog::settings() const {
    CoderSettings s;
    for (const Row& row : rows_) {
        const SettingDescriptor& setting = *row.setting;
        switch (setting.kind) {
            case SettingKind::choice:
                setting.choose(s, row.choice->currentIndex());
                break;
            case SettingKind::number:
                s.*setting.number = row.number->value();
                break;
            case SettingKind::onOff:
                s.*setting.onOff = row.toggle->isChecked();
                break;
            case SettingKind::offOrNumber:
                s.*setting.offOrNumber =
                    row.toggle->isChecked()
                        ? std::optional<double>(static_cast<double>(row.offOrNumber->value()))
                        : std::nullopt;
                break;
            case SettingKind::file:
                s.*setting.file = row.file->text().trimmed().toStdString();
                break;
        }
    }
    return s;
}

void CoderSettingsDialog::setSettings(const CoderSettings& s) {
    // Each control's signal would mark the rows once per control: once, at the end.
    std::vector<std::unique_ptr<QSignalBlocker>> blockers;
    for (const Row& row : rows_)
        for (QObject* control :
             {static_cast<QObject*>(row.choice), static_cast<QObject*>(row.number),
              static_cast<QObject*>(row.toggle), static_cast<QObject*>(row.offOrNumber),
              static_cast<QObject*>(row.file)})
            if (control) blockers.push_back(std::make_unique<QSignalBlocker>(control));
    for (const Row& row : rows_) {
        const SettingDescriptor& setting = *row.setting;
        switch (setting.kind) {
            case SettingKind::choice:
                row.choice->setCurrentIndex(setting.choiceIn(s));
                break;
            case SettingKind::number:
                row.number->setValue(s.*setting.number);
                break;
            case SettingKind::onOff:
                row.toggle->setChecked(s.*setting.onOff);
                break;
            case SettingKind::offOrNumber: {
                const std::optional<double>& value = s.*setting.offOrNumber;
                row.toggle->setChecked(value.has_value());
                row.offOrNumber->setEnabled(value.has_value());
                row.offOrNumber->setValue(
                    static_cast<int>(std::lround(value.value_or(setting.suggested))));
                break;
            }
            case SettingKind::file:
                row.file->setText(QString::fromStdString(s.*setting.file));
                break;
        }
    }
    settingsChanged();
}

void CoderSettingsDialog::restoreDefaults() { setSettings(CoderSettings{}); }

void CoderSettingsDialog::loadFile() {
    const OpenDialogSettings open{
        {kSettingsFilesFilter, kAllFilesFilter}, kSettingsFileSuffix, true, lastFile_};
    const std::optional<QString> chosen = dialogs_.openFileName(this, open);
    if (!chosen) return;
    lastFile_ = *chosen;
    const QString refusal =
        QStringLiteral("Nie można wczytać ustawień z pliku %1").arg(quotedFile(*chosen));
    SettingsFileContents contents;
    try {
        contents = readSettingsFile(toPath(*chosen));
    } catch (const FileError& error) {
        // The system's ENOENT speaks of a folder where an output is made.
        const QString reason =
            error.error() == ENOENT ? QStringLiteral("plik nie istnieje") : polishFailure(error);
        dialogs_.information(this, refusal + QStringLiteral(": ") + reason);
        return;
    } catch (const std::exception& error) {
        dialogs_.information(this, refusal + QStringLiteral(": ") + polishFailure(error));
        return;
    }
    if (!contents.problems.empty()) {
        // In the file's order, the settings' disagreement at its line too.
        std::ranges::stable_sort(contents.problems, {}, &SettingsLineProblem::line);
        QStringList lines;
        for (const SettingsLineProblem& problem : contents.problems)
            lines << polishSettingsLineProblem(problem);
        dialogs_.information(this, refusal + QStringLiteral(":\n") + lines.join(QLatin1Char('\n')));
        return;
    }
    setSettings(contents.settings);
}

void CoderSettingsDialog::saveFile() {
    const QString suggested =
        lastFile_.isEmpty() ? QDir::home().filePath(kSuggestedSettingsFile) : lastFile_;
    const SaveDialogTypes types{{kSettingsFilesFilter, kAllFilesFilter}, kSettingsFileSuffix};
    const std::optional<QString> chosen =
        dialogs_.saveFileName(this, QStringLiteral("Zapisz ustawienia kodera"), suggested, types);
    if (!chosen) return;
    const bool replace = fileExists(*chosen);
    if (replace &&
        !dialogs_.confirm(
            this, QStringLiteral("Plik %1 istnieje.\n\nNadpisać?").arg(quotedFile(*chosen))))
        return;
    if (const std::optional<QString> reason = writeFile(*chosen, replace)) {
        dialogs_.information(this, QStringLiteral("Nie można zapisać ustawień w pliku %1: %2.")
                                       .arg(quotedFile(*chosen), *reason));
        return;
    }
    lastFile_ = *chosen;
}

std::optional<QString> CoderSettingsDialog::writeFile(const QString& name, bool replace) const {
    if (QFileInfo(name).isDir()) return polishReason(EISDIR);
    const std::filesystem::path path = toPath(name);
    try {
        const std::string text = settingsFileText(settings());
        StagingArea area;
        StagedFile staged(area, path);
        writeAll(staged.descriptor(), text.data(), text.size(), path);
        staged.commit(replace);
    } catch (const std::exception& error) {
        return polishFailure(error);
    }
    return std::nullopt;
}

void CoderSettingsDialog::settingsChanged() {
    const CoderSettings now = settings();
    const std::vector<SettingChange> changes = settingChanges(now);
    for (const Row& row : rows_) {
        const bool changed = std::ranges::any_of(changes, [&row](const SettingChange& change) {
            return change.name == row.setting->name;
        });
        QFont font = row.label->font();
        font.setBold(changed);
        row.label->setFont(font);
    }
    const std::optional<QString> problem = polishSettingsProblem(now);
    problem_->setText(problem.value_or(QString()));
    okButton().setEnabled(!problem);
    // What the coder cannot use would not read back.
    save_->setEnabled(!problem);
}

QPushButton& CoderSettingsDialog::okButton() const {
    return *buttons_->button(QDialogButtonBox::Ok);
}

const QLabel* CoderSettingsDialog::rowLabel(const QString& name) const {
    for (const Row& row : rows_)
        if (fromView(row.setting->name) == name) return row.label;
    return nullptr;
}

}  // namespace zorvel
