// The main window MMenu (class MainWindow): the input file, the output name, the
// coder mode, the output signal and the adaptive-codebook option; the
// encoding run with its progress notice, and the way to the chart window.
// The window keeps no state besides its controls, its open dialog and the
// coder settings chosen in "Ustawienia kodera" (the adaptive codebook among
// them stays with its radio buttons): every action reads them afresh.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <array>
#include <memory>
#include <optional>

#include "app/EncodeRun.h"
#include "app/UserDialogs.h"
#include "coder/CoderSettings.h"

namespace Ui {
class MainWindow;
}
class QAction;
class QLabel;
class QRadioButton;

namespace zorvel {

class ChartWindow;
class CoderSettingsDialog;
class FileMenuActions;
class ProgressNotice;
class RecordingImport;

class MainWindow : public QMainWindow {
    Q_OBJECT
  public:
    // `dialogs` must outlive the window; `encode` runs the coder (the real
    // one unless a test supplies another).
    explicit MainWindow(UserDialogs& dialogs, EncodeRun encode = runSpeechCoder,
                        QWidget* parent = nullptr);
    ~MainWindow() override;

    // The chart window and the progress notice, created after this window;
    // called once, by start-up.
    void setForms(ChartWindow* testForm, ProgressNotice* infoForm);

    // The mode of the checked mode button (12.2 when none is checked).
    CoderMode selectedMode() const;
    // Edit1 := the open dialog's file name; Edit2 := that name + mode suffix
    // + option suffix + the settings' suffix (none for the defaults) + ".wav".
    void updateOutputName();

    // The coder settings every run and the chart window use: those chosen in
    // "Ustawienia kodera", with the adaptive codebook as RB_adapt/RB_noadapt say.
    CoderSettings coderSettings() const;
    // Takes `settings` (the radio buttons take their adaptive codebook), and
    // shows the output name and the line of settings that differ that follow.
    void setCoderSettings(const CoderSettings& settings);
    // The line below the form's buttons naming the settings that differ from
    // the defaults; hidden while they are all default.
    const QLabel& settingsLabel() const { return *settingsLabel_; }
    // "Ustawienia kodera..." of the menu, and its dialog while it is open.
    QAction& settingsAction() { return *settingsAction_; }
    CoderSettingsDialog* settingsDialog() const;

    const OpenDialogSettings& openDialog() const { return OpenDialog1; }
    // Takes `file` as the input, as when it is chosen in the open dialog (a
    // recording of another format is asked about first).
    void openInput(const QString& file);
    // The menu's playback and mode comparison.
    FileMenuActions& fileMenuActions() { return *fileMenuActions_; }

    // Event handlers, connected to their controls by the constructor.
    void Open1Click();
    void Exit1Click();
    void RadioButton1Click();
    void RadioButton2Click();
    void RadioButton3Click();
    void RadioButton4Click();
    void RadioButton5Click();
    void RadioButton6Click();
    void RadioButton7Click();
    void RadioButton8Click();
    void RB_soutClick();
    void RB_soutpClick();
    void RB_adaptClick();
    void RB_noadaptClick();
    void BT_WykresyClick();
    void BT_KodowanieClick();
    void CoderSettings1Click();

  protected:
    // Closing the main window ends the program: every other window of it
    // closes too. While an encoding run or the mode comparison goes on the
    // user is asked first; stopping a run leaves no unfinished output.
    void closeEvent(QCloseEvent* event) override;

  private:
    using Handler = void (MainWindow::*)();

    // RadioButton1..RadioButton8, in the order of the mode table.
    std::array<const QRadioButton*, kModeCount> modeButtons() const;
    void connectHandlers();
    // Runs a handler; an exception it throws goes to the application's handler.
    void runHandler(Handler handler);
    // The window disabled, the notice shown and the hourglass cursor for the
    // length of the run, which goes on another thread while the event loop
    // paints; all three undone also when the run throws. A run of the input's
    // `frames` frames shows its progress and the button that stops it when it
    // is long. Returns what the run reported.
    EncodeOutcome runEncoding(const EncodeRequest& request, std::int64_t frames);
    // The input of a run: Edit1's file, or, for a recording of another format,
    // what the user makes of it (Edit1 then names the conversion); nothing
    // when the user cancels.
    std::optional<QString> inputToCode();
    // Adds "Ustawienia kodera..." to the menu and the line of settings to the form.
    void addSettingsControls();
    void showSettings();
    // Whether the work going on may be stopped for the program to end (the
    // user is asked); true when none goes on.
    bool workMayStop();
    void closeOtherWindows();

    std::unique_ptr<Ui::MainWindow> ui;
    OpenDialogSettings OpenDialog1;
    UserDialogs& dialogs_;
    EncodeRun encode_;
    QPointer<ChartWindow> TestForm;
    QPointer<ProgressNotice> InfoForm;
    std::unique_ptr<FileMenuActions> fileMenuActions_;
    std::unique_ptr<RecordingImport> recordings_;
    // Every coder setting; the radio buttons RB_adapt/RB_noadapt set its
    // adaptive codebook.
    CoderSettings settings_;
    QAction* settingsAction_ = nullptr;  // a child of the menu
    QLabel* settingsLabel_ = nullptr;    // a child of the form
    QPointer<CoderSettingsDialog> settingsDialog_;
    RunControl* run_ = nullptr;  // the encoding run going on, if any
    bool endAfterRun_ = false;   // the window was closed during the run and is to close after it
    bool closing_ = false;       // the program's windows are being closed
};

}  // namespace zorvel
