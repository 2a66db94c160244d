#include "app/ListeningSetupDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/FileNames.h"
#include "listening/TrialOrder.h"

namespace zorvel {
namespace {

constexpr int kModeColumn = 0;
constexpr int kSettingsColumn = 1;

QString fromView(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

std::optional<QString> planProblem(const ListeningTestPlan& plan) {
    if (plan.listener.trimmed().isEmpty()) return QStringLiteral("Podaj nazwę słuchacza.");
    if (plan.results.empty()) return QStringLiteral("Wybierz plik wyników.");
    if (plan.inputs.empty()) return QStringLiteral("Dodaj co najmniej jeden plik wejściowy.");
    if (plan.conditions.empty()) return QStringLiteral("Dodaj co najmniej jeden warunek.");
    if (plan.conditions.size() > static_cast<std::size_t>(kMostTestConditions))
        return QStringLiteral("Najwyżej %1 warunków.").arg(kMostTestConditions);
    for (std::size_t i = 0; i < plan.conditions.size(); ++i) {
        const ConditionSettings read = conditionSettings(plan.conditions[i].settings);
        if (read.problem)
            return QStringLiteral("Warunek %1: błędne ustawienie „%2”.")
                .arg(i + 1)
                .arg(QString::fromStdString(read.problem->name.empty()
                                                ? read.problem->value
                                                : read.problem->name + "=" + read.problem->value));
    }
    return std::nullopt;
}

ListeningSetupDialog::ListeningSetupDialog(QWidget* parent)
    : QDialog(parent),
      listener_(new QLineEdit(this)),
      results_(new QLineEdit(this)),
      seed_(new QSpinBox(this)),
      inputs_(new QListWidget(this)),
      conditions_(new QTableWidget(0, 2, this)),
      addCondition_(new QPushButton(QStringLiteral("Dodaj warunek"), this)),
      problem_(new QLabel(this)),
      start_(nullptr) {
    setWindowTitle(QStringLiteral("Test odsłuchowy"));
    auto* layout = new QVBoxLayout(this);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Słuchacz:"), listener_);
    auto* resultsRow = new QHBoxLayout;
    resultsRow->addWidget(results_, 1);
    auto* chooseResults = new QPushButton(QStringLiteral("Wybierz..."), this);
    resultsRow->addWidget(chooseResults);
    form->addRow(QStringLiteral("Plik wyników (JSONL):"), resultsRow);
    seed_->setRange(1, 2147483647);
    seed_->setValue(static_cast<int>(QRandomGenerator::global()->bounded(1, 1000000)));
    seed_->setToolTip(QStringLiteral("To samo ziarno daje te same kolejności i kotwice"));
    form->addRow(QStringLiteral("Ziarno losowania:"), seed_);
    layout->addLayout(form);

    auto* inputsBox = new QGroupBox(QStringLiteral("Pliki wejściowe (jedna próba na plik)"), this);
    auto* inputsLayout = new QHBoxLayout(inputsBox);
    inputs_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    inputsLayout->addWidget(inputs_, 1);
    auto* inputButtons = new QVBoxLayout;
    auto* addInputs = new QPushButton(QStringLiteral("Dodaj..."), this);
    auto* removeInputs = new QPushButton(QStringLiteral("Usuń"), this);
    inputButtons->addWidget(addInputs);
    inputButtons->addWidget(removeInputs);
    inputButtons->addStretch();
    inputsLayout->addLayout(inputButtons);
    layout->addWidget(inputsBox, 1);

    auto* conditionsBox = new QGroupBox(
        QStringLiteral("Warunki (najwyżej %1: tryb i ustawienia kodera)").arg(kMostTestConditions),
        this);
    auto* conditionsLayout = new QVBoxLayout(conditionsBox);
    auto* tableRow = new QHBoxLayout;
    conditions_->setHorizontalHeaderLabels(
        {QStringLiteral("Tryb [kb/s]"), QStringLiteral("Ustawienia (NAZWA=WARTOŚĆ, ...)")});
    conditions_->horizontalHeader()->setSectionResizeMode(kSettingsColumn, QHeaderView::Stretch);
    conditions_->verticalHeader()->setVisible(true);
    conditions_->setSelectionBehavior(QAbstractItemView::SelectRows);
    tableRow->addWidget(conditions_, 1);
    auto* conditionButtons = new QVBoxLayout;
    auto* removeCondition = new QPushButton(QStringLiteral("Usuń warunek"), this);
    conditionButtons->addWidget(addCondition_);
    conditionButtons->addWidget(removeCondition);
    conditionButtons->addStretch();
    tableRow->addLayout(conditionButtons);
    conditionsLayout->addLayout(tableRow);
    auto* note = new QLabel(
        QStringLiteral("Każda próba dodaje ukryty wzorzec i dwie kotwice MNRU (Q = 10 dB i "
                       "Q = 25 dB). Głośność wszystkich dźwięków jest wyrównana do wartości "
                       "skutecznej (RMS) wzorca."),
        this);
    note->setWordWrap(true);
    conditionsLayout->addWidget(note);
    layout->addWidget(conditionsBox, 1);

    problem_->setStyleSheet(QStringLiteral("color: #B00000"));
    layout->addWidget(problem_);
    auto* buttons = new QDialogButtonBox(this);
    start_ = buttons->addButton(QStringLiteral("Rozpocznij test"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Anuluj"), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    resize(640, 560);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(chooseResults, &QPushButton::clicked, this, &ListeningSetupDialog::chooseResultsFile);
    connect(addInputs, &QPushButton::clicked, this, &ListeningSetupDialog::chooseInputs);
    connect(removeInputs, &QPushButton::clicked, this, [this] {
        qDeleteAll(inputs_->selectedItems());
        check();
    });
    connect(addCondition_, &QPushButton::clicked, this,
            [this] { addCondition(CoderMode::rate12_2, QString()); });
    connect(removeCondition, &QPushButton::clicked, this,
            &ListeningSetupDialog::removeSelectedCondition);
    connect(listener_, &QLineEdit::textChanged, this, &ListeningSetupDialog::check);
    connect(results_, &QLineEdit::textChanged, this, &ListeningSetupDialog::check);
    connect(conditions_, &QTableWidget::cellChanged, this, &ListeningSetupDialog::check);
    check();
}

ListeningTestPlan ListeningSetupDialog::plan() const {
    ListeningTestPlan plan;
    plan.listener = listener_->text().trimmed();
    plan.results = toPath(results_->text().trimmed());
    plan.seed = static_cast<std::uint64_t>(seed_->value());
    for (int i = 0; i < inputs_->count(); ++i)
        plan.inputs.push_back(toPath(inputs_->item(i)->text()));
    for (int row = 0; row < conditions_->rowCount(); ++row) {
        const auto* mode = qobject_cast<QComboBox*>(conditions_->cellWidget(row, kModeColumn));
        const QTableWidgetItem* settings = conditions_->item(row, kSettingsColumn);
        plan.conditions.push_back(
            {kAllCoderModes[static_cast<std::size_t>(mode->currentIndex())],
             settings ? settings->text().trimmed().toStdString() : std::string()});
    }
    return plan;
}

void ListeningSetupDialog::setListener(const QString& name) { listener_->setText(name); }
void ListeningSetupDialog::setResultsFile(const QString& name) { results_->setText(name); }
void ListeningSetupDialog::setSeed(int seed) { seed_->setValue(seed); }

void ListeningSetupDialog::addInput(const QString& name) {
    inputs_->addItem(name);
    check();
}

void ListeningSetupDialog::addCondition(CoderMode mode, const QString& settings) {
    if (conditionCount() >= kMostTestConditions) return;
    const int row = conditions_->rowCount();
    conditions_->insertRow(row);
    auto* modes = new QComboBox(conditions_);
    for (const CoderMode m : kAllCoderModes) modes->addItem(fromView(rulesOf(m).rate));
    modes->setCurrentIndex(modeIndex(mode));
    conditions_->setCellWidget(row, kModeColumn, modes);
    conditions_->setItem(row, kSettingsColumn, new QTableWidgetItem(settings));
    check();
}

void ListeningSetupDialog::removeSelectedCondition() {
    const int row = conditions_->currentRow();
    if (row >= 0) conditions_->removeRow(row);
    check();
}

int ListeningSetupDialog::conditionCount() const { return conditions_->rowCount(); }

void ListeningSetupDialog::chooseInputs() {
    const QStringList names = QFileDialog::getOpenFileNames(
        this, QStringLiteral("Pliki wejściowe"), QString(),
        QStringLiteral("Pliki dźwiękowe (*.wav);;Wszystkie pliki (*)"));
    for (const QString& name : names) addInput(name);
}

void ListeningSetupDialog::chooseResultsFile() {
    QFileDialog dialog(this, QStringLiteral("Plik wyników"), QString(),
                       QStringLiteral("Wyniki (*.jsonl);;Wszystkie pliki (*)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);  // the trials are appended
    dialog.setDefaultSuffix(QStringLiteral("jsonl"));
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        setResultsFile(dialog.selectedFiles().front());
}

void ListeningSetupDialog::check() {
    const std::optional<QString> problem = planProblem(plan());
    problem_->setText(problem.value_or(QString()));
    start_->setEnabled(!problem);
    addCondition_->setEnabled(conditionCount() < kMostTestConditions);
}

}  // namespace zorvel
