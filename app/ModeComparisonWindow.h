// The window "Porównanie trybów": the input coded in all eight modes in the
// background, with a progress bar; then the table of mode, bit rate, frames,
// segmental and overall SNR, and the chart of SNR against bit rate drawn by
// the plot code. Closing the window cancels a computation in progress.
#pragma once

#include <QImage>
#include <QString>
#include <QWidget>
#include <atomic>
#include <memory>
#include <optional>
#include <thread>

#include "charts/ChartContextMenus.h"
#include "coder/ModeSweep.h"

class QBoxLayout;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QTimer;

namespace zorvel {

inline const QString kModeComparisonTitle = QStringLiteral("Porównanie trybów");

class ModeComparisonWindow : public QWidget {
    Q_OBJECT
  public:
    explicit ModeComparisonWindow(QWidget* parent = nullptr);
    ~ModeComparisonWindow() override;

    // Shows the window and starts coding the file in all modes; a computation
    // in progress is cancelled first.
    void compare(const QString& fileName, bool noAdaptiveCodebook);
    void cancel();

    bool running() const { return worker_.joinable() && !done_; }
    const std::optional<SweepRow>& figures() const { return figures_; }
    const QImage& chartImage() const { return chartImage_; }
    QTableWidget& table() { return *table_; }
    QProgressBar& progress() { return *progress_; }
    // The chart's context menu: the chart as PNG (1x, 2x) or SVG.
    QMenu& chartMenu() { return *chartMenu_; }
    void setSaveFileName(ChartContextMenus::SaveFileName saveFileName) {
        saveFileName_ = std::move(saveFileName);
    }
    // `inform` shows a message (a file that cannot be written).
    void setInform(std::function<void(const QString&)> inform) { inform_ = std::move(inform); }

    // The chart's caption for a file: its name, and the adaptive-codebook option.
    static QString chartCaption(const QString& fileName, bool noAdaptiveCodebook);

  signals:
    void finished();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void showProgress();
    // One mode's row of the table, as soon as the mode is coded.
    void showRow(const ModeFigures& figures);
    void showFigures(const SweepRow& figures);
    void endWorker();
    void saveChart(PictureFile format);

    QLabel* fileLabel_;
    QProgressBar* progress_;
    QTableWidget* table_;
    QBoxLayout* body_;  // the table and the chart
    QLabel* chart_;
    QTimer* timer_;
    QMenu* chartMenu_;
    ChartContextMenus::SaveFileName saveFileName_;
    std::function<void(const QString&)> inform_;
    QImage chartImage_;
    QString caption_;
    std::optional<SweepRow> figures_;
    std::atomic<bool> cancel_{false};
    std::atomic<bool> done_{true};
    std::atomic<std::int64_t> framesDone_{0};
    std::int64_t framesTotal_ = 0;
    unsigned long run_ = 0;  // the result of a cancelled run is dropped
    std::jthread worker_;
};

}  // namespace zorvel
