#include "app/CoderSettingsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "charts/FormFont.h"

namespace zorvel {
namespace {

// The cut-off the high-pass takes when it is switched on: a common choice
// below the lowest voices' fundamental.
constexpr int kHighPassSuggestedHz = 80;
// The factors are shown with three decimals and step by hundredths.
constexpr int kFactorDecimals = 3;
constexpr double kFactorStep = 0.01;

const QString kDefaultPrefix = QStringLiteral("domyślnie: ");

QString onOff(bool on) { return on ? QStringLiteral("włączone") : QStringLiteral("wyłączone"); }

const PitchResolution kResolutions[] = {PitchResolution::whole, PitchResolution::third,
                                        PitchResolution::sixth};

}  // namespace

std::optional<QString> polishSettingsProblem(const CoderSettings& s) {
    const auto problem = settingsProblem(s);
    if (!problem) return std::nullopt;
    const QLocale locale;
    if (!(s.gamma2 > 0.0 && s.gamma2 < s.gamma1 && s.gamma1 <= 1.0))
        return QStringLiteral(
                   "Współczynniki filtru percepcyjnego muszą spełniać 0 < γ2 < γ1 ≤ 1 (teraz γ1 = "
                   "%1, γ2 = %2).")
            .arg(locale.toString(s.gamma1), locale.toString(s.gamma2));
    if (s.highPass && !(*s.highPass >= kHighPassLowestHz && *s.highPass <= kHighPassHighestHz))
        return QStringLiteral(
                   "Częstotliwość graniczna filtru górnoprzepustowego musi leżeć w "
                   "przedziale %1..%2 Hz.")
            .arg(kHighPassLowestHz)
            .arg(kHighPassHighestHz);
    for (const double factor : {s.postfilterNum, s.postfilterDen, s.postfilterTilt})
        if (!(factor >= 0.0 && factor <= 1.0))
            return QStringLiteral("Współczynniki postfiltru muszą leżeć w przedziale 0..1.");
    return QStringLiteral("Ustawienia nie mogą być użyte razem: ") +
           QString::fromStdString(*problem);
}

CoderSettingsDialog::CoderSettingsDialog(const CoderSettings& settings, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("CoderSettingsDialog"));
    setWindowTitle(QStringLiteral("Ustawienia kodera"));
    setFont(formFont(font(), kFormFontPixels));
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    grid_ = new QGridLayout;
    layout->addLayout(grid_);
    const CoderSettings defaults;

    pitchResolution_ = new QComboBox(this);
    pitchResolution_->addItems({QStringLiteral("1"), QStringLiteral("1/3"), QStringLiteral("1/6")});
    addRow(
        QStringLiteral("pitch-resolution"),
        QStringLiteral("Rozdzielczość opóźnienia (pitch-resolution)"), pitchResolution_,
        QStringLiteral("1"),
        QStringLiteral("Krok opóźnienia w pętli zamkniętej, w próbkach: 1 (całe próbki) albo "
                       "ułamki 1/3 i 1/6, które dokładają się do najlepszego całego opóźnienia."));

    lpInterpolation_ = new QComboBox(this);
    lpInterpolation_->addItems({QStringLiteral("off"), QStringLiteral("lsf")});
    addRow(QStringLiteral("lp-interpolation"), QStringLiteral("Interpolacja LP (lp-interpolation)"),
           lpInterpolation_, QStringLiteral("off"),
           QStringLiteral("off: podramki 0 i 1 używają zestawu I, 2 i 3 zestawu II; lsf: zestaw "
                          "każdej podramki interpolowany w częstotliwościach LSF."));

    auto* highPass = new QWidget(this);
    auto* highPassLayout = new QHBoxLayout(highPass);
    highPassLayout->setContentsMargins(0, 0, 0, 0);
    highPassOn_ = new QCheckBox(QStringLiteral("włączony"), highPass);
    highPassOn_->setObjectName(QStringLiteral("Setting_high-pass"));
    highPassCutOff_ = new QSpinBox(highPass);
    highPassCutOff_->setObjectName(QStringLiteral("Setting_high-pass-Hz"));
    highPassCutOff_->setRange(static_cast<int>(kHighPassLowestHz),
                              static_cast<int>(kHighPassHighestHz));
    highPassCutOff_->setSuffix(QStringLiteral(" Hz"));
    highPassCutOff_->setValue(kHighPassSuggestedHz);
    highPassLayout->addWidget(highPassOn_);
    highPassLayout->addWidget(highPassCutOff_);
    addRow(QStringLiteral("high-pass"), QStringLiteral("Filtr górnoprzepustowy (high-pass)"),
           highPass, QStringLiteral("wyłączony"),
           QStringLiteral("Butterworth 2. rzędu na sygnale wejściowym, przed całym kodowaniem; "
                          "częstotliwość graniczna %1..%2 Hz. Wykresy pokazują wtedy s(n) po "
                          "filtrze.")
               .arg(kHighPassLowestHz)
               .arg(kHighPassHighestHz));

    gamma1_ =
        addFactor(QStringLiteral("gamma1"),
                  QStringLiteral("Współczynnik γ1 filtru percepcyjnego (gamma1)"), defaults.gamma1,
                  QStringLiteral("Licznik filtru percepcyjnego W(z) = A(z/γ1)/A(z/γ2); "
                                 "0 < γ2 < γ1 ≤ 1."));
    gamma2_ =
        addFactor(QStringLiteral("gamma2"),
                  QStringLiteral("Współczynnik γ2 filtru percepcyjnego (gamma2)"), defaults.gamma2,
                  QStringLiteral("Mianownik filtru percepcyjnego W(z) = A(z/γ1)/A(z/γ2); "
                                 "0 < γ2 < γ1 ≤ 1."));
    postfilterNum_ = addFactor(QStringLiteral("postfilter-num"),
                               QStringLiteral("Licznik postfiltru formantowego (postfilter-num)"),
                               defaults.postfilterNum,
                               QStringLiteral("Współczynnik licznika postfiltru, 0..1."));
    postfilterDen_ = addFactor(QStringLiteral("postfilter-den"),
                               QStringLiteral("Mianownik postfiltru formantowego (postfilter-den)"),
                               defaults.postfilterDen,
                               QStringLiteral("Współczynnik mianownika postfiltru, 0..1."));
    postfilterTilt_ =
        addFactor(QStringLiteral("postfilter-tilt"),
                  QStringLiteral("Kompensacja nachylenia postfiltru (postfilter-tilt)"),
                  defaults.postfilterTilt,
                  QStringLiteral("Współczynnik kompensacji nachylenia widma w postfiltrze, 0..1."));

    enhancement_ =
        addSwitch(QStringLiteral("enhancement"), QStringLiteral("Poprawa pobudzenia (enhancement)"),
                  QStringLiteral("Poprawa pobudzenia algebraicznego przy dużym "
                                 "wzmocnieniu słownika adaptacyjnego."));
    lagWindow_ = addSwitch(QStringLiteral("lag-window"),
                           QStringLiteral("Okno na autokorelacjach LP (lag-window)"),
                           QStringLiteral("Okno nałożone na autokorelacje przed analizą LP."));
    adaptiveCodebook_ = addSwitch(QStringLiteral("adaptive-codebook"),
                                  QStringLiteral("Słownik adaptacyjny (adaptive-codebook)"),
                                  QStringLiteral("Udział słownika adaptacyjnego (wysokości tonu); "
                                                 "to samo co „Opcje dodatkowe” okna głównego."));

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
    connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons_);

    connect(pitchResolution_, &QComboBox::currentIndexChanged, this,
            &CoderSettingsDialog::settingsChanged);
    connect(lpInterpolation_, &QComboBox::currentIndexChanged, this,
            &CoderSettingsDialog::settingsChanged);
    connect(highPassOn_, &QCheckBox::toggled, this, [this](bool on) {
        highPassCutOff_->setEnabled(on);
        settingsChanged();
    });
    connect(highPassCutOff_, &QSpinBox::valueChanged, this, &CoderSettingsDialog::settingsChanged);
    for (QDoubleSpinBox* factor :
         {gamma1_, gamma2_, postfilterNum_, postfilterDen_, postfilterTilt_})
        connect(factor, &QDoubleSpinBox::valueChanged, this, &CoderSettingsDialog::settingsChanged);
    for (QCheckBox* toggle : {enhancement_, lagWindow_, adaptiveCodebook_})
        connect(toggle, &QCheckBox::toggled, this, &CoderSettingsDialog::settingsChanged);

    setSettings(settings);
}

void CoderSettingsDialog::addRow(const QString& name, const QString& text, QWidget* control,
                                 const QString& defaultText, const QString& tip) {
    const int row = grid_->rowCount();
    auto* label = new QLabel(text, this);
    label->setObjectName(QStringLiteral("Label_") + name);
    // As wide as when bold: marking a change does not move the controls.
    QFont bold = label->font();
    bold.setBold(true);
    label->setMinimumWidth(QFontMetrics(bold).horizontalAdvance(text));
    label->setBuddy(control);
    if (control->objectName().isEmpty()) control->setObjectName(QStringLiteral("Setting_") + name);
    auto* marked = new QLabel(kDefaultPrefix + defaultText, this);
    marked->setObjectName(QStringLiteral("Default_") + name);
    marked->setEnabled(false);  // the default, in the style's grey
    const QString fullTip = tip + QStringLiteral("\n") + kDefaultPrefix + defaultText;
    label->setToolTip(fullTip);
    control->setToolTip(fullTip);
    grid_->addWidget(label, row, 0);
    grid_->addWidget(control, row, 1);
    grid_->addWidget(marked, row, 2);
    rows_.push_back({name, label});
}

QDoubleSpinBox* CoderSettingsDialog::addFactor(const QString& name, const QString& text,
                                               double defaultValue, const QString& tip) {
    auto* box = new QDoubleSpinBox(this);
    box->setDecimals(kFactorDecimals);
    box->setRange(0.0, 1.0);
    box->setSingleStep(kFactorStep);
    addRow(name, text, box, QLocale().toString(defaultValue), tip);
    return box;
}

QCheckBox* CoderSettingsDialog::addSwitch(const QString& name, const QString& text,
                                          const QString& tip) {
    auto* box = new QCheckBox(QStringLiteral("włączone"), this);
    addRow(name, text, box, onOff(true), tip);
    return box;
}

CoderSettings CoderSettingsDialog::settings() const {
    CoderSettings s;
    s.pitchResolution = kResolutions[pitchResolution_->currentIndex()];
    s.lpInterpolation =
        lpInterpolation_->currentIndex() == 1 ? LpInterpolation::lsf : LpInterpolation::off;
    if (highPassOn_->isChecked()) s.highPass = static_cast<double>(highPassCutOff_->value());
    s.gamma1 = gamma1_->value();
    s.gamma2 = gamma2_->value();
    s.postfilterNum = postfilterNum_->value();
    s.postfilterDen = postfilterDen_->value();
    s.postfilterTilt = postfilterTilt_->value();
    s.enhancement = enhancement_->isChecked();
    s.lagWindow = lagWindow_->isChecked();
    s.adaptiveCodebook = adaptiveCodebook_->isChecked();
    return s;
}

void CoderSettingsDialog::setSettings(const CoderSettings& s) {
    // Each control's signal would mark the rows once per control: once, at the end.
    const QSignalBlocker blockers[] = {
        QSignalBlocker(pitchResolution_), QSignalBlocker(lpInterpolation_),
        QSignalBlocker(highPassOn_),      QSignalBlocker(highPassCutOff_),
        QSignalBlocker(gamma1_),          QSignalBlocker(gamma2_),
        QSignalBlocker(postfilterNum_),   QSignalBlocker(postfilterDen_),
        QSignalBlocker(postfilterTilt_),  QSignalBlocker(enhancement_),
        QSignalBlocker(lagWindow_),       QSignalBlocker(adaptiveCodebook_)};
    for (int k = 0; k < static_cast<int>(std::size(kResolutions)); ++k)
        if (kResolutions[k] == s.pitchResolution) pitchResolution_->setCurrentIndex(k);
    lpInterpolation_->setCurrentIndex(s.lpInterpolation == LpInterpolation::lsf ? 1 : 0);
    highPassOn_->setChecked(s.highPass.has_value());
    highPassCutOff_->setEnabled(s.highPass.has_value());
    highPassCutOff_->setValue(s.highPass ? static_cast<int>(std::lround(*s.highPass))
                                         : kHighPassSuggestedHz);
    gamma1_->setValue(s.gamma1);
    gamma2_->setValue(s.gamma2);
    postfilterNum_->setValue(s.postfilterNum);
    postfilterDen_->setValue(s.postfilterDen);
    postfilterTilt_->setValue(s.postfilterTilt);
    enhancement_->setChecked(s.enhancement);
    lagWindow_->setChecked(s.lagWindow);
    adaptiveCodebook_->setChecked(s.adaptiveCodebook);
    settingsChanged();
}

void CoderSettingsDialog::restoreDefaults() { setSettings(CoderSettings{}); }

void CoderSettingsDialog::settingsChanged() {
    const CoderSettings now = settings();
    const std::vector<SettingChange> changes = settingChanges(now);
    for (const Row& row : rows_) {
        const bool changed = std::ranges::any_of(changes, [&row](const SettingChange& change) {
            return row.name == QLatin1String(change.name.data(), change.name.size());
        });
        QFont font = row.label->font();
        font.setBold(changed);
        row.label->setFont(font);
    }
    const std::optional<QString> problem = polishSettingsProblem(now);
    problem_->setText(problem.value_or(QString()));
    okButton().setEnabled(!problem);
}

QPushButton& CoderSettingsDialog::okButton() const {
    return *buttons_->button(QDialogButtonBox::Ok);
}

const QLabel* CoderSettingsDialog::rowLabel(const QString& name) const {
    for (const Row& row : rows_)
        if (row.name == name) return row.label;
    return nullptr;
}

}  // namespace zorvel
