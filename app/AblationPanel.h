// The part "Ablacja" of the mode comparison window: what each tool of the
// coder buys on the input. Its table has a line per (mode, row), the rows of
// coder/Ablation's ablationRows, with SNRseg, SNR and their changes from the
// first row; under it the ablation chart drawn by the plot code. The panel
// only shows: the window computes and hands it each cell as it is coded, and
// the whole table at the end.
#pragma once

#include <QImage>
#include <QString>
#include <QWidget>
#include <optional>
#include <vector>

#include "charts/ChartContextMenus.h"
#include "coder/Ablation.h"

class QLabel;
class QSplitter;
class QMenu;
class QProgressBar;
class QTableWidget;

namespace zorvel {

// The name of the first row when it has the default settings, as the window
// shows it.
inline const QString kAblationDefaultRowText = QStringLiteral("domyślne");

class AblationPanel : public QWidget {
    Q_OBJECT
  public:
    explicit AblationPanel(QWidget* parent = nullptr);

    // Empties the panel and lays out the table's lines for `rows` in every
    // mode, their figures still to come; `caption` names the input.
    void start(const std::vector<AblationRow>& rows, const QString& caption);
    // One cell's figures as soon as they are known; the chart shows every row
    // from the first on whose modes are all known.
    void showCell(std::size_t row, std::size_t mode, const ModeFigures& figures);
    // The whole table: the computation has ended.
    void showTable(const AblationTable& table);
    // The computation could not be done: `reason` in place of the figures.
    void showFailure(const QString& reason);
    // 0..1000 of the computation done; `format` the bar's text.
    void showProgress(int steps, const QString& format = QStringLiteral("%p%"));

    // The figures of the finished computation, nothing before.
    const std::optional<AblationTable>& result() const { return result_; }
    const QImage& chartImage() const { return chartImage_; }
    // The height of the chart once every row of the run is coded.
    int wholeChartHeight() const;
    const QLabel& chartLabel() const { return *chart_; }
    QTableWidget& table() { return *table_; }
    QProgressBar& progress() { return *progress_; }
    QLabel& note() { return *note_; }
    // The chart's context menu: the chart as PNG (1x, 2x) or SVG.
    QMenu& chartMenu() { return *chartMenu_; }
    void setSaveFileName(ChartContextMenus::SaveFileName saveFileName) {
        saveFileName_ = std::move(saveFileName);
    }
    // `inform` shows a message (a file that cannot be written).
    void setInform(std::function<void(const QString&)> inform) { inform_ = std::move(inform); }

    static constexpr int kProgressSteps = 1000;

  protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    // The chart's height for the splitter's lower part, once per run.
    void giveChartRoom();
    // The table as far as it is known: cells not yet coded hold zero figures.
    AblationTable knownTable(std::size_t rows) const;
    void showLine(std::size_t row, std::size_t mode);
    // `table` with its rows named in the windows' words (the chart on screen
    // and saved).
    AblationTable shownTable(const AblationTable& table) const;
    void drawChart(const AblationTable& table);
    void saveChart(PictureFile format);

    QLabel* note_;
    QProgressBar* progress_;
    QTableWidget* table_;
    QLabel* chart_;
    QSplitter* split_;
    bool chartRoomGiven_ = false;  // the chart had its room in this run
    QMenu* chartMenu_;
    ChartContextMenus::SaveFileName saveFileName_;
    std::function<void(const QString&)> inform_;
    QString caption_;
    std::vector<AblationRow> rows_;
    std::vector<std::vector<std::optional<ModeFigures>>> cells_;  // [row][mode]
    std::size_t chartRows_ = 0;                                   // the rows the chart shows
    std::optional<AblationTable> result_;
    QImage chartImage_;
};

}  // namespace zorvel
