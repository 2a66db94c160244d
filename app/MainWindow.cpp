#include "app/MainWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QTimer>
#include <array>
#include <filesystem>
#include <system_error>
#include <utility>

#include "app/CoderSettingsDialog.h"
#include "app/FileMenuActions.h"
#include "app/FileNames.h"
#include "app/ModeComparisonWindow.h"
#include "app/OffTheWindowThread.h"
#include "app/ProgressNotice.h"
#include "app/RecordingImport.h"
#include "app/ZorvelApplication.h"
#include "charts/ChartWindow.h"
#include "charts/FormFont.h"
#include "charts/SystemReasons.h"
#include "coder/SpeechCoder.h"
#include "files/StagedOutput.h"
#include "plots/Readouts.h"
#include "sound/Recording.h"
#include "sound/SpeechInput.h"
#include "ui_MainWindow.h"

namespace zorvel {

namespace {

const QString kMissingInput = QStringLiteral("Plik wejsciowy nie istnieje!");
const QString kOverwriteQuestion = QStringLiteral("Plik wyjsciowy istnieje.\n\nNadpisac?");
const QString kStopEncodingQuestion = QStringLiteral(
    "Kodowanie jeszcze trwa.\n\nPrzerwać je i zakończyć program? Niedokończony plik wyjściowy "
    "nie zostanie zapisany.");
const QString kStopComparisonQuestion =
    QStringLiteral("Porównanie trybów jeszcze trwa.\n\nPrzerwać je i zakończyć program?");
const QString kEncodingFailed = QStringLiteral(
    "Kodowanie nie powiodło się: nie można odczytać pliku wejściowego lub zapisać pliku "
    "wyjściowego.");

// A run at least this long shows its progress and can be stopped: a minute of
// speech.
constexpr std::int64_t kFramesShowingProgress = 3000;
constexpr int kProgressUpdateMs = 100;

QString quotedName(const QString& name) { return QStringLiteral("„") + name + QStringLiteral("”"); }

QString decimal(double x) { return QString::number(x, 'f', 2); }

// Why `input` cannot be coded, or nothing: it holds `frames` whole frames.
std::optional<QString> inputProblem(const QString& input, std::int64_t& frames) {
    if (!QFileInfo(input).isFile())
        return QStringLiteral("Plik wejściowy nie jest zwykłym plikiem.");
    SpeechInput speech(toPath(input));
    if (!speech.usable()) return QStringLiteral("Nie można odczytać pliku wejściowego.");
    frames = speech.framesLeft();
    if (frames == 0)
        return QStringLiteral(
            "Plik wejściowy nie zawiera ani jednej pełnej ramki (160 próbek od bajtu 60): nie ma "
            "czego kodować.");
    return std::nullopt;
}

// Why the run could not write `output` for `input`, or nothing; told before
// anything is asked or written.
std::optional<QString> outputProblem(const QString& output, const QString& input) {
    if (output.isEmpty()) return QStringLiteral("Nie podano nazwy pliku wyjściowego.");
    const QFileInfo out(output);
    if (out.isDir())
        return QStringLiteral("Plik wyjściowy ") + quotedName(output) +
               QStringLiteral(" jest folderem.");
    std::error_code error;
    if (std::filesystem::equivalent(toPath(output), toPath(input), error))
        return QStringLiteral(
            "Plik wyjściowy jest plikiem wejściowym: wybierz inną nazwę pliku wyjściowego.");
    // A device or a FIFO is written where it is, not in its folder.
    if (out.exists() && !out.isFile()) return std::nullopt;
    const QString folder = out.absolutePath();
    if (!QFileInfo(folder).isDir())
        return QStringLiteral("Folder ") + quotedName(folder) + QStringLiteral(" nie istnieje.");
    if (const int refused = newFileError(toPath(folder)))
        return QStringLiteral("Nie można zapisać pliku w folderze ") + quotedName(folder) +
               QStringLiteral(": ") + polishReason(refused) + QStringLiteral(".");
    return std::nullopt;
}

QString resultText(const EncodeOutcome& outcome, const QString& output) {
    return QStringLiteral("Kodowanie zakończone.\n\nLiczba ramek: ") +
           QString::number(outcome.frames) + QStringLiteral(" (") +
           decimal(static_cast<double>(outcome.frames) * kFrameSamples / kSampleRate) +
           QStringLiteral(" s)\nSNRbr: ") + decimal(outcome.frameSnr) +
           QStringLiteral(" dB (ostatnia ramka)\nSNRseg: ") + decimal(outcome.segmentalSnr) +
           QStringLiteral(" dB\nSNRcalk: ") + decimal(outcome.overallSnr) +
           QStringLiteral(" dB\n\nPlik wyjściowy: ") + output;
}

// `outputExisted`: a file of the output's name was there before the run.
QString failureText(const EncodeOutcome& outcome, std::int64_t frames, bool outputExisted) {
    if (outcome.result == RunResult::stopped)
        return QStringLiteral("Kodowanie przerwano po ") + QString::number(outcome.frames) +
               QStringLiteral(" z ") + QString::number(frames) +
               (outputExisted ? QStringLiteral(" ramek; plik wyjściowy pozostał bez zmian.")
                              : QStringLiteral(" ramek; plik wyjściowy nie został zapisany."));
    if (outcome.readError != 0)
        return QStringLiteral(
                   "Kodowanie nie powiodło się: nie można odczytać pliku wejściowego: ") +
               polishReason(outcome.readError) + QStringLiteral(".");
    if (outcome.error != 0)
        return QStringLiteral("Kodowanie nie powiodło się: nie można zapisać pliku wyjściowego: ") +
               polishReason(outcome.error) + QStringLiteral(".");
    return kEncodingFailed;
}

const QString kAllFilesFilter = QStringLiteral("Wszystkie pliki (*)");

// "Nagrania dźwiękowe (*.aif *.aiff ... *.wav)": every recording the program
// reads, converted or as it stands.
QString recordingsFilter() {
    QStringList patterns;
    for (const std::string& extension : readableExtensions())
        patterns << QStringLiteral("*.") + QString::fromStdString(extension);
    return QStringLiteral("Nagrania dźwiękowe (") + patterns.join(QLatin1Char(' ')) +
           QStringLiteral(")");
}

// Where the window opens; the form gives only its size to Qt.
constexpr QPoint kWindowPosition{261, 191};

// Between "Wykresy" and "Kodowanie", in the form's free space, down to just
// above the line of A/B listening (FileMenuActions): four lines of the
// settings' Polish words.
constexpr QRect kSettingsLabelPlace{108, 367, 232, 62};

// The settings that differ from the defaults besides the adaptive codebook,
// which the radio buttons show, in the windows' words.
QStringList othersWords(const CoderSettings& settings) {
    return settingsWords(settings, CoderSettings{.adaptiveCodebook = settings.adaptiveCodebook});
}

// othersWords(settings) in the lines of `label`, broken only between settings
// ("poprawa pobudzenia: wył." is never split); the settings that do not fit are left out and "…"
// says so. The tooltip has them all.
QString fittedIndication(const QLabel& label, const CoderSettings& settings) {
    const QFontMetrics metrics = label.fontMetrics();
    const int lines = std::max(1, label.height() / metrics.lineSpacing());
    const QStringList items = othersWords(settings);
    QStringList pieces{QStringLiteral("Ustawienia kodera –")};
    for (qsizetype k = 0; k < items.size(); ++k)
        pieces << items[k] + (k + 1 < items.size() ? QStringLiteral(";") : QString());
    // The first `count` pieces, and "…" when that is not all, laid out line by
    // line; nothing when they need more lines than the label has.
    const auto laidOut = [&](qsizetype count) -> std::optional<QString> {
        QStringList shown = pieces.mid(0, count);
        if (count < pieces.size()) shown << QStringLiteral("…");
        QStringList text;
        QString line;
        for (const QString& piece : shown) {
            const QString longer = line.isEmpty() ? piece : line + QLatin1Char(' ') + piece;
            if (metrics.horizontalAdvance(longer) <= label.width()) {
                line = longer;
                continue;
            }
            text << line;
            line = piece;
            if (text.size() >= lines || metrics.horizontalAdvance(piece) > label.width())
                return std::nullopt;
        }
        text << line;
        return text.join(QLatin1Char('\n'));
    };
    for (qsizetype count = pieces.size(); count > 1; --count)
        if (const auto text = laidOut(count)) return *text;
    return pieces.front() + QStringLiteral(" …");
}

QString noticeText(CoderMode mode) {
    const std::string_view rate = rulesOf(mode).rate;
    return QStringLiteral("Kodowanie w trybie ") +
           QString::fromUtf8(rate.data(), static_cast<qsizetype>(rate.size())) +
           QStringLiteral(" [kb/s] trwa. Proszę czekac...");
}

// Calls its function when the scope ends, however it ends.
template <typename Function>
class OnScopeExit {
  public:
    explicit OnScopeExit(Function function) : function_(std::move(function)) {}
    ~OnScopeExit() { function_(); }
    OnScopeExit(const OnScopeExit&) = delete;
    OnScopeExit& operator=(const OnScopeExit&) = delete;

  private:
    Function function_;
};

}  // namespace

MainWindow::MainWindow(UserDialogs& dialogs, EncodeRun encode, QWidget* parent)
    : QMainWindow(parent), ui(new Ui::MainWindow), dialogs_(dialogs), encode_(std::move(encode)) {
    ui->setupUi(this);
    setFont(formFont(font(), kFormFontPixels));
    move(kWindowPosition);
    // The controls sit where the form puts them and do not follow the window's
    // size: the window keeps the form's size.
    setFixedSize(size());

    OpenDialog1.defaultSuffix = QStringLiteral("wav");
    OpenDialog1.fileMustExist = true;
    // Beside the WAV files the dialog offers the recordings of other formats,
    // which are converted on the user's word, and all files (the coder reads
    // any file with samples from byte 60).
    OpenDialog1.nameFilters = {QStringLiteral("Wave files (*.wav)"), recordingsFilter(),
                               kAllFilesFilter};
    recordings_ = std::make_unique<RecordingImport>(*this, dialogs_);
    connectHandlers();
    fileMenuActions_ = std::make_unique<FileMenuActions>(
        *this, *ui->File1, ui->Exit1,
        FileMenuActions::Controls{[this] { return ui->Edit1->text(); },
                                  [this] { return ui->Edit2->text(); },
                                  [this] { return coderSettings(); }},
        [this](const QString& text) { dialogs_.information(this, text); });
    addSettingsControls();
}

MainWindow::~MainWindow() = default;

void MainWindow::addSettingsControls() {
    // In the group of the mode comparison, before the separator above "Wyjście".
    settingsAction_ = new QAction(QStringLiteral("Ustawienia kodera..."), ui->File1);
    settingsAction_->setObjectName(QStringLiteral("CoderSettings1"));
    const QList<QAction*> entries = ui->File1->actions();
    const qsizetype exit = entries.indexOf(ui->Exit1);
    ui->File1->insertAction(exit > 0 ? entries[exit - 1] : ui->Exit1, settingsAction_);
    connect(settingsAction_, &QAction::triggered, this,
            [this] { runHandler(&MainWindow::CoderSettings1Click); });

    settingsLabel_ = new QLabel(ui->centralwidget);
    settingsLabel_->setObjectName(QStringLiteral("Label_settings"));
    settingsLabel_->setGeometry(kSettingsLabelPlace);
    settingsLabel_->setAlignment(Qt::AlignCenter);
    settingsLabel_->hide();
}

CoderSettings MainWindow::coderSettings() const { return settings_; }

void MainWindow::setCoderSettings(const CoderSettings& settings) {
    settings_ = settings;
    // A radio button that becomes checked updates the output name itself.
    (settings.adaptiveCodebook ? ui->RB_adapt : ui->RB_noadapt)->setChecked(true);
    updateOutputName();
    showSettings();
}

void MainWindow::showSettings() {
    const QStringList words = othersWords(settings_);
    settingsLabel_->setVisible(!words.isEmpty());
    settingsLabel_->setText(fittedIndication(*settingsLabel_, settings_));
    settingsLabel_->setToolTip(words.isEmpty()
                                   ? QString()
                                   : QStringLiteral("Ustawienia kodera inne niż domyślne (Plik → "
                                                    "Ustawienia kodera...):\n") +
                                         words.join(QLatin1Char('\n')));
}

CoderSettingsDialog* MainWindow::settingsDialog() const { return settingsDialog_; }

void MainWindow::CoderSettings1Click() {
    if (settingsDialog_) {
        settingsDialog_->raise();
        settingsDialog_->activateWindow();
        return;
    }
    settingsDialog_ = new CoderSettingsDialog(coderSettings(), dialogs_, this);
    settingsDialog_->setAttribute(Qt::WA_DeleteOnClose);
    connect(settingsDialog_, &QDialog::accepted, this,
            [this, dialog = settingsDialog_.data()] { setCoderSettings(dialog->settings()); });
    settingsDialog_->open();
}

void MainWindow::setForms(ChartWindow* testForm, ProgressNotice* infoForm) {
    TestForm = testForm;
    InfoForm = infoForm;
    if (TestForm)
        connect(TestForm, &ChartWindow::closed, this, [this] {
            if (!closing_) show();
        });
}

bool MainWindow::workMayStop() {
    if (run_ != nullptr) return dialogs_.confirm(this, kStopEncodingQuestion);
    const ModeComparisonWindow* comparison = fileMenuActions_->comparisonWindow();
    if (comparison != nullptr && comparison->isVisible() &&
        (comparison->running() || comparison->ablationRunning()))
        return dialogs_.confirm(this, kStopComparisonQuestion);
    return true;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (endAfterRun_ && run_ != nullptr) {
        event->ignore();  // already stopping; the window closes once the run has ended
        return;
    }
    if (!workMayStop()) {
        event->ignore();
        return;
    }
    if (run_ != nullptr) {
        // The run ends at its next frame and removes its unfinished output;
        // the window closes then (runEncoding waits for it).
        run_->stop.request_stop();
        endAfterRun_ = true;
        event->ignore();
        return;
    }
    closeOtherWindows();
    QMainWindow::closeEvent(event);
}

void MainWindow::closeOtherWindows() {
    const QScopedValueRollback closing(closing_, true);
    fileMenuActions_->stop();
    if (ModeComparisonWindow* comparison = fileMenuActions_->comparisonWindow())
        comparison->close();  // cancels what it computes
    if (settingsDialog_) settingsDialog_->reject();
    if (TestForm) TestForm->close();
    if (InfoForm) InfoForm->hide();
}

void MainWindow::connectHandlers() {
    connect(ui->Open1, &QAction::triggered, this, [this] { runHandler(&MainWindow::Open1Click); });
    connect(ui->Exit1, &QAction::triggered, this, [this] { runHandler(&MainWindow::Exit1Click); });
    connect(ui->BT_Wykresy, &QPushButton::clicked, this,
            [this] { runHandler(&MainWindow::BT_WykresyClick); });
    connect(ui->BT_Kodowanie, &QPushButton::clicked, this,
            [this] { runHandler(&MainWindow::BT_KodowanieClick); });

    // A radio button's handler runs when the button becomes checked.
    const std::array<std::pair<QRadioButton*, Handler>, 12> radioHandlers{{
        {ui->RadioButton1, &MainWindow::RadioButton1Click},
        {ui->RadioButton2, &MainWindow::RadioButton2Click},
        {ui->RadioButton3, &MainWindow::RadioButton3Click},
        {ui->RadioButton4, &MainWindow::RadioButton4Click},
        {ui->RadioButton5, &MainWindow::RadioButton5Click},
        {ui->RadioButton6, &MainWindow::RadioButton6Click},
        {ui->RadioButton7, &MainWindow::RadioButton7Click},
        {ui->RadioButton8, &MainWindow::RadioButton8Click},
        {ui->RB_sout, &MainWindow::RB_soutClick},
        {ui->RB_soutp, &MainWindow::RB_soutpClick},
        {ui->RB_adapt, &MainWindow::RB_adaptClick},
        {ui->RB_noadapt, &MainWindow::RB_noadaptClick},
    }};
    for (const auto& [button, handler] : radioHandlers) {
        connect(button, &QRadioButton::toggled, this, [this, handler](bool checked) {
            if (checked) runHandler(handler);
        });
    }
}

void MainWindow::runHandler(Handler handler) {
    try {
        (this->*handler)();
    } catch (const std::exception& error) {
        reportEscapedException(error);
    }
}

std::array<const QRadioButton*, kModeCount> MainWindow::modeButtons() const {
    return {ui->RadioButton1, ui->RadioButton2, ui->RadioButton3, ui->RadioButton4,
            ui->RadioButton5, ui->RadioButton6, ui->RadioButton7, ui->RadioButton8};
}

CoderMode MainWindow::selectedMode() const {
    const auto buttons = modeButtons();
    CoderMode mode = CoderMode::rate12_2;
    for (int k = 0; k < kModeCount; ++k) {
        if (buttons[k]->isChecked()) mode = kAllCoderModes[k];
    }
    return mode;
}

void MainWindow::updateOutputName() {
    // Outputs of other settings never take the name of the defaults' output.
    const std::string suffix =
        outputNameSuffix(selectedMode(), ui->RB_soutp->isChecked(), settings_);
    ui->Edit1->setText(OpenDialog1.fileName);
    ui->Edit2->setText(QString::fromStdString(OpenDialog1.fileName.toStdString() + suffix));
}

void MainWindow::Open1Click() {
    if (const auto chosen = dialogs_.openFileName(this, OpenDialog1)) openInput(*chosen);
}

void MainWindow::openInput(const QString& file) {
    const auto input = recordings_->inputFor(file);
    if (!input) return;
    OpenDialog1.fileName = *input;
    updateOutputName();
}

void MainWindow::Exit1Click() { close(); }

void MainWindow::RadioButton1Click() { updateOutputName(); }
void MainWindow::RadioButton2Click() { updateOutputName(); }
void MainWindow::RadioButton3Click() { updateOutputName(); }
void MainWindow::RadioButton4Click() { updateOutputName(); }
void MainWindow::RadioButton5Click() { updateOutputName(); }
void MainWindow::RadioButton6Click() { updateOutputName(); }
void MainWindow::RadioButton7Click() { updateOutputName(); }
void MainWindow::RadioButton8Click() { updateOutputName(); }
void MainWindow::RB_soutClick() { updateOutputName(); }
void MainWindow::RB_soutpClick() { updateOutputName(); }
void MainWindow::RB_adaptClick() {
    settings_.adaptiveCodebook = true;
    updateOutputName();
}
void MainWindow::RB_noadaptClick() {
    settings_.adaptiveCodebook = false;
    updateOutputName();
}

void MainWindow::BT_WykresyClick() {
    const CoderMode mode = selectedMode();
    if (!fileExists(ui->Edit1->text())) {
        dialogs_.information(this, kMissingInput);
        return;
    }
    const auto inputName = inputToCode();
    if (!inputName) return;
    std::int64_t frames = 0;
    if (const auto problem = inputProblem(*inputName, frames)) {
        dialogs_.information(this, *problem);
        return;
    }
    hide();
    if (!TestForm) return;
    try {
        TestForm->openForFile(*inputName, mode, settings_);
    } catch (...) {
        // Never leave the program without a visible window.
        if (!TestForm->isVisible()) show();
        throw;
    }
}

std::optional<QString> MainWindow::inputToCode() {
    const auto input = recordings_->inputFor(ui->Edit1->text());
    if (input && *input != ui->Edit1->text()) ui->Edit1->setText(*input);
    return input;
}

void MainWindow::BT_KodowanieClick() {
    if (!fileExists(ui->Edit1->text())) {
        dialogs_.information(this, kMissingInput);
        return;
    }
    const auto inputName = inputToCode();
    if (!inputName) return;
    std::int64_t frames = 0;
    const QString outputName = ui->Edit2->text();
    auto problem = inputProblem(*inputName, frames);
    if (!problem) problem = outputProblem(outputName, *inputName);
    if (problem) {
        dialogs_.information(this, *problem);
        return;
    }
    const bool outputExisted = fileExists(outputName);
    if (outputExisted && !dialogs_.confirm(this, kOverwriteQuestion)) return;

    EncodeRequest request;
    request.mode = selectedMode();
    request.inputName = toPath(*inputName);
    request.outputName = toPath(outputName);
    request.settings = settings_;
    request.saveOption =
        ui->RB_sout->isChecked() ? SaveOption::synthesized : SaveOption::postProcessed;
    const EncodeOutcome outcome = runEncoding(request, frames);
    if (std::exchange(endAfterRun_, false)) {
        // Stopped because the window was closed: the program ends now.
        close();
        return;
    }
    dialogs_.information(this, outcome.result == RunResult::completed
                                   ? resultText(outcome, outputName)
                                   : failureText(outcome, frames, outputExisted));
}

EncodeOutcome MainWindow::runEncoding(const EncodeRequest& request, std::int64_t frames) {
    RunControl control;
    run_ = &control;
    const bool showsProgress = InfoForm && frames >= kFramesShowingProgress;
    setEnabled(false);
    const OnScopeExit restore([this] {
        run_ = nullptr;
        if (InfoForm) {
            InfoForm->hideProgress();
            InfoForm->hide();
        }
        setEnabled(true);
        show();
    });
    QTimer progress;
    if (InfoForm) {
        InfoForm->showNotice(noticeText(request.mode));
        if (showsProgress) {
            InfoForm->showProgress([&control] { control.stop.request_stop(); });
            connect(&progress, &QTimer::timeout, InfoForm.data(), [&] {
                const auto written = control.framesWritten.load(std::memory_order_relaxed);
                InfoForm->setProgress(static_cast<int>(100 * written / frames));
            });
            progress.start(kProgressUpdateMs);
        }
        InfoForm->paintNow();
    }
    const BusyCursor busy(dialogs_);  // restored first when the run ends
    // The window is disabled meanwhile; a long run takes the clicks that
    // reach the notice's "Przerwij".
    const EncodeOutcome outcome = runOffTheWindowThread(
        [&] { return encode_(request, control); },
        showsProgress ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
    // Clicks and keys given during the run reach the still disabled window
    // now and are dropped, instead of acting once it is enabled again.
    QCoreApplication::processEvents();
    return outcome;
}

}  // namespace zorvel
