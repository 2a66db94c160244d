// The window "Porównanie trybów": the input coded in all eight modes in the
// background, with a progress bar; then the table of mode, bit rate, frames,
// segmental and overall SNR, and the chart of SNR against bit rate drawn by
// the plot code. Its second page, "Ablacja" (app/AblationPanel), is computed
// after the modes on the same worker: the input coded with each tool of the
// coder changed alone, on every core, its table filling as cells are coded.
// Closing the window (its close box, Esc or Ctrl+W) cancels a computation in
// progress.
#pragma once

#include <QBoxLayout>
#include <QElapsedTimer>
#include <QImage>
#include <QString>
#include <QWidget>
#include <atomic>
#include <memory>
#include <optional>
#include <thread>

#include "charts/ChartContextMenus.h"
#include "coder/CoderSettings.h"
#include "coder/ModeSweep.h"

class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QTabWidget;
class QTimer;

namespace zorvel {

class AblationPanel;

inline const QString kModeComparisonTitle = QStringLiteral("Porównanie trybów");
inline const QString kModesPageTitle = QStringLiteral("Tryby");
inline const QString kAblationPageTitle = QStringLiteral("Ablacja");

class ModeComparisonWindow : public QWidget {
    Q_OBJECT
  public:
    explicit ModeComparisonWindow(QWidget* parent = nullptr);
    ~ModeComparisonWindow() override;

    // Shows the window and starts coding the file in all modes with the
    // coder's settings, then the ablation, each tool changed alone from them;
    // a computation in progress is cancelled first.
    void compare(const QString& fileName, const CoderSettings& settings);
    void cancel();

    // The mode comparison, and the ablation after it, still being computed.
    bool running() const { return worker_.joinable() && !done_; }
    bool ablationRunning() const { return worker_.joinable() && !ablationDone_; }
    AblationPanel& ablation() { return *ablation_; }
    QTabWidget& pages() { return *pages_; }
    const std::optional<SweepRow>& figures() const { return figures_; }
    const QImage& chartImage() const { return chartImage_; }
    QTableWidget& table() { return *table_; }
    QProgressBar& progress() { return *progress_; }
    // The chart's context menu: the chart as PNG (1x, 2x) or SVG.
    QMenu& chartMenu() { return *chartMenu_; }
    // The same for the ablation's chart.
    void setSaveFileName(const ChartContextMenus::SaveFileName& saveFileName);
    // `inform` shows a message (a file that cannot be written).
    void setInform(const std::function<void(const QString&)>& inform);

    // A progress bar's text: the percentage, and once the computation has
    // run a while, the time left at the speed so far ("%p% – zostało ok.
    // 2:05"); `fraction` of it done in `elapsedMs`.
    static QString progressFormat(std::int64_t elapsedMs, double fraction);
    static constexpr std::int64_t kEstimateAfterMs = 2000;

    // The chart's caption for a file: its name, the adaptive-codebook option
    // and the other settings that differ from the defaults.
    static QString chartCaption(const QString& fileName, const CoderSettings& settings);

  signals:
    void finished();
    void ablationFinished();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    // The table above the chart, or beside it.
    void layBody(QBoxLayout::Direction direction);
    // The window as large as its contents ask, within the free area of its
    // screen, and wholly inside that area; at every opening.
    void fitToScreen();
    // Grows the window to show the ablation's table and chart whole, as far
    // as the screen has room.
    void widenForAblation();
    void showProgress();
    // One mode's row of the table, as soon as the mode is coded.
    void showRow(const ModeFigures& figures);
    void showFigures(const SweepRow& figures);
    void endWorker();
    // On the worker, once the modes are shown: the ablation of `input`.
    void computeAblation(const std::filesystem::path& input, const CoderSettings& settings,
                         unsigned long run);
    void saveChart(PictureFile format);

    QLabel* fileLabel_;
    QProgressBar* progress_;
    QTableWidget* table_;
    QTabWidget* pages_;
    QBoxLayout* body_;  // the table and the chart
    QLabel* chart_;
    QTimer* timer_;
    QMenu* chartMenu_;
    AblationPanel* ablation_;
    ChartContextMenus::SaveFileName saveFileName_;
    std::function<void(const QString&)> inform_;
    QImage chartImage_;
    QString caption_;
    std::optional<SweepRow> figures_;
    std::atomic<bool> cancel_{false};
    std::atomic<bool> done_{true};
    std::atomic<bool> ablationDone_{true};
    QElapsedTimer modesClock_;     // since the modes began
    QElapsedTimer ablationClock_;  // since the ablation's first frame
    std::atomic<std::int64_t> framesDone_{0};
    std::int64_t framesTotal_ = 0;
    std::atomic<std::int64_t> ablationFramesDone_{0};
    std::int64_t ablationFramesTotal_ = 0;
    unsigned long run_ = 0;  // the result of a cancelled run is dropped
    std::jthread worker_;
};

}  // namespace zorvel
