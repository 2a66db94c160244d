// What the main window's "Plik" menu offers besides opening and leaving:
// playing the input file and the output file of a run, stopping the sound,
// and the window "Porównanie trybów" for the chosen input.
#pragma once

#include <QObject>
#include <QString>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "charts/ChartPlayback.h"

class QAction;
class QMenu;
class QWidget;

namespace zorvel {

class ModeComparisonWindow;

inline const QString kMissingOutput = QStringLiteral("Plik wyjściowy nie istnieje.");

// Every 16-bit sample of a file from byte 60 on; nothing when it cannot be read.
std::optional<std::vector<double>> fileSamples(const std::filesystem::path& file);

class MainWindowTools : public QObject {
    Q_OBJECT
  public:
    // What the tools read from the main window's controls when used.
    struct Controls {
        std::function<QString()> inputName;   // Edit1
        std::function<QString()> outputName;  // Edit2
        std::function<bool()> noAdaptiveCodebook;
    };

    // Adds the entries to `menu` before `before`; `inform` shows a message.
    MainWindowTools(QWidget& window, QMenu& menu, QAction* before, Controls controls,
                    std::function<void(const QString&)> inform);
    ~MainWindowTools() override;

    ChartPlayback& playback() { return *playback_; }
    ModeComparisonWindow* comparisonWindow() { return comparison_.get(); }
    QAction& playInputAction() { return *playInput_; }
    QAction& playOutputAction() { return *playOutput_; }
    QAction& stopAction() { return *stop_; }
    QAction& comparisonAction() { return *comparisonAction_; }

    void playInput();
    void playOutput();
    void openComparison();

  private:
    void playFile(const QString& name, const QString& missing);

    QWidget& window_;
    Controls controls_;
    std::function<void(const QString&)> inform_;
    std::unique_ptr<ChartPlayback> playback_;
    std::unique_ptr<ModeComparisonWindow> comparison_;
    QAction* playInput_;
    QAction* playOutput_;
    QAction* stop_;
    QAction* comparisonAction_;
};

}  // namespace zorvel
