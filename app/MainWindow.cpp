#include "app/MainWindow.h"

#include <pthread.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QRadioButton>
#include <array>
#include <csignal>
#include <exception>
#include <optional>
#include <thread>
#include <utility>

#include "app/FileMenuActions.h"
#include "app/FileNames.h"
#include "app/ProgressNotice.h"
#include "app/ZorvelApplication.h"
#include "charts/ChartWindow.h"
#include "charts/FormFont.h"
#include "coder/SpeechCoder.h"
#include "ui_MainWindow.h"

namespace zorvel {

namespace {

const QString kMissingInput = QStringLiteral("Plik wejsciowy nie istnieje!");
const QString kOverwriteQuestion = QStringLiteral("Plik wyjsciowy istnieje.\n\nNadpisac?");
const QString kEncodingFailed = QStringLiteral(
    "Kodowanie nie powiodło się: nie można odczytać pliku wejściowego lub zapisać pliku "
    "wyjściowego.");

const QString kAllFilesFilter = QStringLiteral("Wszystkie pliki (*)");

// Where the window opens; the form gives only its size to Qt.
constexpr QPoint kWindowPosition{261, 191};

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

// Runs `encode` on a thread of its own while this thread's event loop goes on
// without user input: the windows are painted and timers run however long the
// writes take (a FIFO whose reader is slow), and the input given meanwhile
// waits, as before, for the window to drop it. An exception of the run is
// thrown here. Should the program be told to quit meanwhile, the loop ends
// early and this waits for the run.
RunResult runOffTheWindowThread(const EncodeRun& encode, const EncodeRequest& request) {
    QEventLoop loop;
    std::optional<RunResult> result;
    std::exception_ptr failure;
    std::thread worker([&] {
        // A FIFO whose reader leaves fails the write (EPIPE) instead of ending
        // the program; the signal, blocked here, dies with this thread.
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
        try {
            result = encode(request);
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
    if (failure) std::rethrow_exception(failure);
    return *result;
}

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
    // The coder reads any file with samples from byte 60, so beside the WAV
    // files the dialog offers all files (.w60, .raw, .pcm inputs).
    OpenDialog1.nameFilters = {QStringLiteral("Wave files (*.wav)"), kAllFilesFilter};
    connectHandlers();
    fileMenuActions_ = std::make_unique<FileMenuActions>(
        *this, *ui->File1, ui->Exit1,
        FileMenuActions::Controls{[this] { return ui->Edit1->text(); },
                                  [this] { return ui->Edit2->text(); },
                                  [this] { return ui->RB_noadapt->isChecked(); }},
        [this](const QString& text) { dialogs_.information(this, text); });
}

MainWindow::~MainWindow() = default;

void MainWindow::setForms(ChartWindow* testForm, ProgressNotice* infoForm) {
    TestForm = testForm;
    InfoForm = infoForm;
    if (TestForm) connect(TestForm, &ChartWindow::closed, this, [this] { show(); });
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
    const std::string suffix =
        outputNameSuffix(selectedMode(), ui->RB_soutp->isChecked(), ui->RB_noadapt->isChecked());
    ui->Edit1->setText(OpenDialog1.fileName);
    ui->Edit2->setText(OpenDialog1.fileName + QString::fromStdString(suffix));
}

void MainWindow::Open1Click() {
    if (const auto chosen = dialogs_.openFileName(this, OpenDialog1)) {
        OpenDialog1.fileName = *chosen;
        updateOutputName();
    }
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
void MainWindow::RB_adaptClick() { updateOutputName(); }
void MainWindow::RB_noadaptClick() { updateOutputName(); }

void MainWindow::BT_WykresyClick() {
    const CoderMode mode = selectedMode();
    const bool noAdaptiveCodebook = ui->RB_noadapt->isChecked();
    const QString inputName = ui->Edit1->text();
    if (!fileExists(inputName)) {
        dialogs_.information(this, kMissingInput);
        return;
    }
    hide();
    if (!TestForm) return;
    try {
        TestForm->openForFile(inputName, mode, noAdaptiveCodebook);
    } catch (...) {
        // Never leave the program without a visible window.
        if (!TestForm->isVisible()) show();
        throw;
    }
}

void MainWindow::BT_KodowanieClick() {
    const QString inputName = ui->Edit1->text();
    if (!fileExists(inputName)) {
        dialogs_.information(this, kMissingInput);
        return;
    }
    const QString outputName = ui->Edit2->text();
    if (fileExists(outputName) && !dialogs_.confirm(this, kOverwriteQuestion)) return;

    EncodeRequest request;
    request.mode = selectedMode();
    request.inputName = toPath(inputName);
    request.outputName = toPath(outputName);
    request.noAdaptiveCodebook = ui->RB_noadapt->isChecked();
    request.saveOption =
        ui->RB_sout->isChecked() ? SaveOption::synthesized : SaveOption::postProcessed;
    if (runEncoding(request) != RunResult::completed) dialogs_.information(this, kEncodingFailed);
}

RunResult MainWindow::runEncoding(const EncodeRequest& request) {
    setEnabled(false);
    const OnScopeExit restore([this] {
        if (InfoForm) InfoForm->hide();
        setEnabled(true);
        show();
    });
    if (InfoForm) {
        InfoForm->showNotice(noticeText(request.mode));
        InfoForm->paintNow();
    }
    const BusyCursor busy(dialogs_);  // restored first when the run ends
    const RunResult result = runOffTheWindowThread(encode_, request);
    // Clicks and keys given during the run reach the still disabled window
    // now and are dropped, instead of acting once it is enabled again.
    QCoreApplication::processEvents();
    return result;
}

}  // namespace zorvel
