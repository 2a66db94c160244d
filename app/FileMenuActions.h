// What the main window's "Plik" menu offers besides opening and leaving:
// playing the input file and the output file of a run, stopping the sound,
// and the window "Porównanie trybów" for the chosen input. A file to play is
// read on a worker thread, so that a long file never holds the window, and
// through the sound layer, which refuses at once what is not a regular file
// (a FIFO, a device, a directory); the user is told why.
#pragma once

#include <QObject>
#include <QString>
#include <filesystem>
#include <functional>
#include <memory>
#include <stop_token>
#include <thread>

#include "charts/ChartPlayback.h"
#include "coder/CoderSettings.h"
#include "sound/SpeechInput.h"

class QAction;
class QLabel;
class QMenu;
class QWidget;

namespace zorvel {

class ListeningResultsView;
class ListeningTestWindow;
class ModeComparisonWindow;
struct ListeningTestPlan;

// Reads every sample of a file to play; readFileSamples unless a test
// supplies another.
using SampleReader = std::function<FileSamples(const std::filesystem::path&, std::stop_token)>;

class FileMenuActions : public QObject {
    Q_OBJECT
  public:
    // What the actions read from the main window's controls when used.
    struct Controls {
        std::function<QString()> inputName;       // Edit1
        std::function<QString()> outputName;      // Edit2
        std::function<CoderSettings()> settings;  // the coder settings chosen
    };

    // Adds the entries to `menu` before `before`; `inform` shows a message.
    FileMenuActions(QWidget& window, QMenu& menu, QAction* before, Controls controls,
                    std::function<void(const QString&)> inform);
    // Stops a read still going and waits for it (at most one block of the file).
    ~FileMenuActions() override;

    void setSampleReader(SampleReader reader) { reader_ = std::move(reader); }

    ChartPlayback& playback() { return *playback_; }
    ModeComparisonWindow* comparisonWindow() { return comparison_.get(); }
    QAction& playInputAction() { return *playInput_; }
    QAction& playOutputAction() { return *playOutput_; }
    QAction& stopAction() { return *stop_; }
    QAction& comparisonAction() { return *comparisonAction_; }
    // True from a press of play until its file has been read or refused.
    bool reading() const { return reading_; }

    // Reads the file on the worker and plays it, or stops when playing. A
    // press while an earlier file is still being read replaces that read.
    void playInput();
    void playOutput();
    // A/B listening of the input file against the output file, both read from
    // byte 60 (charts/ABListening.h); Ctrl+B or "Przełącz A/B" switches the
    // side heard, which a label of the window shows.
    void compareFiles();
    void switchSide();
    QAction& compareAction() { return *compare_; }
    QAction& switchAction() { return *switch_; }
    const QLabel& sideLabel() const { return *sideLabel_; }
    // Stops the sound, and drops a read still going.
    void stop();
    void openComparison();

    // "Test odsłuchowy...": the setup dialog, then the test's window
    // (app/ListeningTestWindow.h); "Wyniki testu odsłuchowego...": the
    // results of chosen ratings files.
    QAction& listeningAction() { return *listening_; }
    QAction& listeningResultsAction() { return *listeningResults_; }
    void openListeningTest();
    // Starts the test of `plan` in a window of its own (replacing one open).
    void startListeningTest(const ListeningTestPlan& plan);
    ListeningTestWindow* listeningWindow() { return listeningWindow_.get(); }
    void openListeningResults();
    // Shows the results of the ratings files; false (the user told why) when
    // one cannot be read.
    bool showListeningResults(const QStringList& files);
    ListeningResultsView* listeningResultsWindow() { return listeningResultsWindow_.get(); }

  private:
    // What the user is told when a file cannot be played.
    struct PlayMessages {
        QString missing;
        QString notRegularFile;
        QString unreadable;
    };

    static const PlayMessages& inputMessages();
    static const PlayMessages& outputMessages();
    void playFile(const QString& name, const PlayMessages& messages);
    // Back on the window's thread: plays the samples of the latest request,
    // or tells why there are none.
    void samplesRead(unsigned long request, const FileSamples& read);
    // Tells why `read` has no samples; false when it has them.
    bool toldWhyNot(const FileSamples& read, const PlayMessages& messages);
    void showSide();

    QWidget& window_;
    Controls controls_;
    std::function<void(const QString&)> inform_;
    std::unique_ptr<ChartPlayback> playback_;
    std::unique_ptr<ModeComparisonWindow> comparison_;
    QAction* playInput_;
    QAction* playOutput_;
    QAction* stop_;
    QAction* comparisonAction_;
    QAction* compare_;
    QAction* switch_;
    QLabel* sideLabel_;
    QAction* listening_;
    QAction* listeningResults_;
    std::unique_ptr<ListeningTestWindow> listeningWindow_;
    std::unique_ptr<ListeningResultsView> listeningResultsWindow_;
    SampleReader reader_ = readFileSamples;
    PlayMessages pending_;       // the messages of the file being read
    unsigned long request_ = 0;  // the samples of an older request are dropped
    bool reading_ = false;
    std::jthread worker_;  // last: stopped and joined before the members it reaches
};

}  // namespace zorvel
