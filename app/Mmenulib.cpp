#include "app/Mmenulib.h"

#include <array>
#include <utility>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QRadioButton>

#include "app/Infoformlib.h"
#include "app/ZorvelApplication.h"
#include "charts/FormFont.h"
#include "charts/Testformlib.h"
#include "coder/Zorvellib.h"
#include "ui_Mmenulib.h"

namespace {

const QString kMissingInput = QStringLiteral("Plik wejsciowy nie istnieje!");
const QString kOverwriteQuestion = QStringLiteral("Plik wyjsciowy istnieje.\n\nNadpisac?");
const QString kEncodingFailed = QStringLiteral(
    "Kodowanie nie powiodło się: nie można odczytać pliku wejściowego lub zapisać pliku "
    "wyjściowego.");

// The form's type size; Qt Designer forms can state sizes only in points.
constexpr int kFormFontPixels = 11;
// Where the window opens; the form gives only its size to Qt.
constexpr QPoint kWindowPosition{261, 191};

QString noticeText(int mode) {
    const std::string_view rate = zorvel::coderModeName(mode).rate;
    return QStringLiteral("Kodowanie w trybie ") +
           QString::fromUtf8(rate.data(), static_cast<qsizetype>(rate.size())) +
           QStringLiteral(" [kb/s] trwa. Proszę czekac...");
}

// A plain file (not a directory) at `name`.
bool fileExists(const QString& name) {
    const QFileInfo info(name);
    return !name.isEmpty() && info.exists() && !info.isDir();
}

std::filesystem::path toPath(const QString& name) {
    return std::filesystem::path(QFile::encodeName(name).toStdString());
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

TMMenu::TMMenu(zorvel::UserDialogs& dialogs, zorvel::EncodeRun encode, QWidget* parent)
    : QMainWindow(parent), ui(new Ui::TMMenu), dialogs_(dialogs), encode_(std::move(encode)) {
    ui->setupUi(this);
    setFont(zorvel::formFont(font(), kFormFontPixels));
    move(kWindowPosition);

    OpenDialog1.defaultSuffix = QStringLiteral("wav");
    OpenDialog1.fileMustExist = true;
    OpenDialog1.nameFilter = QStringLiteral("Wave files (*.wav)");
    connectHandlers();
}

TMMenu::~TMMenu() = default;

void TMMenu::setForms(TTestForm* testForm, TInfoForm* infoForm) {
    TestForm = testForm;
    InfoForm = infoForm;
    if (TestForm) connect(TestForm, &TTestForm::closed, this, [this] { show(); });
}

void TMMenu::connectHandlers() {
    connect(ui->Open1, &QAction::triggered, this, [this] { runHandler(&TMMenu::Open1Click); });
    connect(ui->Exit1, &QAction::triggered, this, [this] { runHandler(&TMMenu::Exit1Click); });
    connect(ui->BT_Wykresy, &QPushButton::clicked, this,
            [this] { runHandler(&TMMenu::BT_WykresyClick); });
    connect(ui->BT_Kodowanie, &QPushButton::clicked, this,
            [this] { runHandler(&TMMenu::BT_KodowanieClick); });

    // A radio button's handler runs when the button becomes checked.
    const std::array<std::pair<QRadioButton*, Handler>, 12> radioHandlers{{
        {ui->RadioButton1, &TMMenu::RadioButton1Click},
        {ui->RadioButton2, &TMMenu::RadioButton2Click},
        {ui->RadioButton3, &TMMenu::RadioButton3Click},
        {ui->RadioButton4, &TMMenu::RadioButton4Click},
        {ui->RadioButton5, &TMMenu::RadioButton5Click},
        {ui->RadioButton6, &TMMenu::RadioButton6Click},
        {ui->RadioButton7, &TMMenu::RadioButton7Click},
        {ui->RadioButton8, &TMMenu::RadioButton8Click},
        {ui->RB_sout, &TMMenu::RB_soutClick},
        {ui->RB_soutp, &TMMenu::RB_soutpClick},
        {ui->RB_adapt, &TMMenu::RB_adaptClick},
        {ui->RB_noadapt, &TMMenu::RB_noadaptClick},
    }};
    for (const auto& [button, handler] : radioHandlers) {
        connect(button, &QRadioButton::toggled, this, [this, handler](bool checked) {
            if (checked) runHandler(handler);
        });
    }
}

void TMMenu::runHandler(Handler handler) {
    try {
        (this->*handler)();
    } catch (const std::exception& error) {
        zorvel::reportEscapedException(error);
    }
}

std::array<const QRadioButton*, zorvel::kModeCount> TMMenu::modeButtons() const {
    return {ui->RadioButton1, ui->RadioButton2, ui->RadioButton3, ui->RadioButton4,
            ui->RadioButton5, ui->RadioButton6, ui->RadioButton7, ui->RadioButton8};
}

int TMMenu::selectedMode() const {
    const auto buttons = modeButtons();
    int mode = 1;
    for (int k = 1; k <= zorvel::kModeCount; ++k) {
        if (buttons[k - 1]->isChecked()) mode = k;
    }
    return mode;
}

void TMMenu::updateOutputName() {
    const std::string suffix = zorvel::outputNameSuffix(
        selectedMode(), ui->RB_soutp->isChecked(), ui->RB_noadapt->isChecked());
    ui->Edit1->setText(OpenDialog1.fileName);
    ui->Edit2->setText(OpenDialog1.fileName + QString::fromStdString(suffix));
}

void TMMenu::Open1Click() {
    if (const auto chosen = dialogs_.openFileName(this, OpenDialog1)) {
        OpenDialog1.fileName = *chosen;
        updateOutputName();
    }
}

void TMMenu::Exit1Click() { close(); }

void TMMenu::RadioButton1Click() { updateOutputName(); }
void TMMenu::RadioButton2Click() { updateOutputName(); }
void TMMenu::RadioButton3Click() { updateOutputName(); }
void TMMenu::RadioButton4Click() { updateOutputName(); }
void TMMenu::RadioButton5Click() { updateOutputName(); }
void TMMenu::RadioButton6Click() { updateOutputName(); }
void TMMenu::RadioButton7Click() { updateOutputName(); }
void TMMenu::RadioButton8Click() { updateOutputName(); }
void TMMenu::RB_soutClick() { updateOutputName(); }
void TMMenu::RB_soutpClick() { updateOutputName(); }
void TMMenu::RB_adaptClick() { updateOutputName(); }
void TMMenu::RB_noadaptClick() { updateOutputName(); }

void TMMenu::BT_WykresyClick() {
    const int mode = selectedMode();
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

void TMMenu::BT_KodowanieClick() {
    const QString inputName = ui->Edit1->text();
    if (!fileExists(inputName)) {
        dialogs_.information(this, kMissingInput);
        return;
    }
    const QString outputName = ui->Edit2->text();
    if (fileExists(outputName) && !dialogs_.confirm(this, kOverwriteQuestion)) return;

    zorvel::EncodeRequest request;
    request.mode = selectedMode();
    request.inputName = toPath(inputName);
    request.outputName = toPath(outputName);
    request.noAdaptiveCodebook = ui->RB_noadapt->isChecked();
    request.saveOption = ui->RB_sout->isChecked() ? zorvel::kSaveSynthesized
                                                  : zorvel::kSavePostProcessed;
    if (runEncoding(request) != 0) dialogs_.information(this, kEncodingFailed);
}

int TMMenu::runEncoding(const zorvel::EncodeRequest& request) {
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
    const zorvel::BusyCursor busy(dialogs_);  // restored first when the run ends
    const int result = encode_(request);
    // Clicks and keys given during the run reach the still disabled window
    // now and are dropped, instead of acting once it is enabled again.
    QCoreApplication::processEvents();
    return result;
}
