#include "app/AblationPanel.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPixmap>
#include <QProgressBar>
#include <QScrollArea>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "app/ChartSaving.h"
#include "plots/AblationChart.h"
#include "plots/Readouts.h"

namespace zorvel {
namespace {

enum Column { kMode, kRate, kRow, kSegmental, kSegmentalChange, kOverall, kOverallChange };

const QStringList kColumns = {QStringLiteral("Tryb"),        QStringLiteral("Przepływność [kb/s]"),
                              QStringLiteral("Wariant"),     QStringLiteral("SNR segmentowy [dB]"),
                              QStringLiteral("Zmiana [dB]"), QStringLiteral("SNR całkowity [dB]"),
                              QStringLiteral("Zmiana [dB]")};

const QString kNote =
    QStringLiteral("Każde narzędzie kodera zmienione osobno; zmiana SNR względem wiersza „%1”.");

// The table and the chart share the room below the note: the table's lines
// above, at least this many of them in view.
constexpr int kLeastLinesInView = 5;

QTableWidgetItem* cell(const QString& text, Qt::Alignment alignment = Qt::AlignRight) {
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(alignment | Qt::AlignVCenter);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

QString decibels(double value) { return QString::number(value, 'f', 2); }

QString change(double value) {
    return (value >= 0.0 ? QStringLiteral("+") : QString()) + decibels(value);
}

// A row as the windows name it: the first by what differs from the defaults
// ("domyślne" for none), each other by what differs from the first, in the
// settings' Polish words.
QString rowText(const std::vector<AblationRow>& rows, std::size_t index) {
    const CoderSettings& settings = rows[index].settings;
    if (index == 0)
        return settings.isDefault() ? kAblationDefaultRowText : settingsWordsLine(settings);
    return settingsWordsLine(settings, rows.front().settings);
}

}  // namespace

AblationPanel::AblationPanel(QWidget* parent)
    : QWidget(parent),
      note_(new QLabel(this)),
      progress_(new QProgressBar(this)),
      table_(new QTableWidget(0, static_cast<int>(kColumns.size()), this)),
      chart_(new QLabel),
      chartMenu_(new QMenu(this)),
      saveFileName_([](QWidget* parent, const QString& caption, const QString& suggested,
                       const QString& filter) {
          return QFileDialog::getSaveFileName(parent, caption, suggested, filter);
      }),
      inform_([this](const QString& text) {
          QMessageBox::information(this, window()->windowTitle(), text);
      }) {
    note_->setWordWrap(true);
    progress_->setRange(0, kProgressSteps);
    table_->setHorizontalHeaderLabels(kColumns);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setMinimumHeight(table_->verticalHeader()->defaultSectionSize() *
                             (kLeastLinesInView + 1));
    auto* scroll = new QScrollArea;
    scroll->setWidget(chart_);
    scroll->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    split_ = new QSplitter(Qt::Vertical, this);
    auto* split = split_;
    split->addWidget(table_);
    split->addWidget(scroll);
    split->setChildrenCollapsible(false);
    // The chart takes the larger share; the table scrolls.
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 2);
    split->setSizes({1, 2});
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(note_);
    layout->addWidget(progress_);
    layout->addWidget(split, 1);

    addChartSaveMenu(
        *chart_, *chartMenu_, [this] { return result_.has_value(); },
        [this](PictureFile format) { saveChart(format); });
}

void AblationPanel::start(const std::vector<AblationRow>& rows, const QString& caption) {
    rows_ = rows;
    caption_ = caption;
    cells_.assign(rows.size(), std::vector<std::optional<ModeFigures>>(kModeCount));
    chartRows_ = 0;
    chartRoomGiven_ = false;
    result_.reset();
    chartImage_ = QImage();
    chart_->clear();
    chart_->resize(0, 0);
    progress_->setValue(0);
    note_->setText(kNote.arg(rows.empty() ? QString() : rowText(rows, 0)));
    table_->clearContents();
    table_->setRowCount(static_cast<int>(rows.size()) * kModeCount);
    // Every line named from the start; its figures come as they are coded.
    for (int m = 0; m < kModeCount; ++m)
        for (std::size_t r = 0; r < rows.size(); ++r) {
            const int line = m * static_cast<int>(rows.size()) + static_cast<int>(r);
            const std::string_view rate = rulesOf(kAllCoderModes[m]).rate;
            table_->setItem(line, kMode, cell(QString::number(modeNumber(kAllCoderModes[m]))));
            table_->setItem(
                line, kRate,
                cell(QString::fromUtf8(rate.data(), static_cast<qsizetype>(rate.size()))));
            table_->setItem(line, kRow, cell(rowText(rows, r), Qt::AlignLeft));
        }
}

void AblationPanel::showLine(std::size_t row, std::size_t mode) {
    const std::optional<ModeFigures>& f = cells_[row][mode];
    if (!f) return;
    const int line = static_cast<int>(mode * rows_.size() + row);
    table_->setItem(line, kSegmental, cell(decibels(f->segmentalSnr)));
    table_->setItem(line, kOverall, cell(decibels(f->overallSnr)));
    // The changes once the first row of the mode is known.
    const std::optional<ModeFigures>& first = cells_.front()[mode];
    if (!first) return;
    table_->setItem(line, kSegmentalChange, cell(change(f->segmentalSnr - first->segmentalSnr)));
    table_->setItem(line, kOverallChange, cell(change(f->overallSnr - first->overallSnr)));
}

int AblationPanel::wholeChartHeight() const {
    return ablationChartHeight(knownTable(rows_.size()));
}

AblationTable AblationPanel::knownTable(std::size_t rows) const {
    AblationTable table;
    table.rows.assign(rows_.begin(), rows_.begin() + static_cast<std::ptrdiff_t>(rows));
    table.modes.assign(kAllCoderModes.begin(), kAllCoderModes.end());
    for (std::size_t r = 0; r < rows; ++r) {
        std::vector<ModeFigures> line;
        for (int m = 0; m < kModeCount; ++m) line.push_back(cells_[r][m].value_or(ModeFigures{}));
        table.figures.push_back(std::move(line));
    }
    return table;
}

void AblationPanel::showCell(std::size_t row, std::size_t mode, const ModeFigures& figures) {
    if (row >= cells_.size() || mode >= static_cast<std::size_t>(kModeCount)) return;
    cells_[row][mode] = figures;
    if (row == 0)
        for (std::size_t r = 0; r < rows_.size(); ++r) showLine(r, mode);
    else
        showLine(row, mode);
    // The chart grows by the rows whose modes are all known, from the first on.
    std::size_t known = 0;
    while (known < cells_.size() &&
           std::ranges::all_of(cells_[known], [](const auto& c) { return c.has_value(); }))
        ++known;
    if (known >= 2 && known > chartRows_) {
        chartRows_ = known;
        drawChart(knownTable(known));
    }
}

void AblationPanel::showTable(const AblationTable& table) {
    for (std::size_t r = 0; r < table.rows.size() && r < cells_.size(); ++r)
        for (std::size_t m = 0; m < table.modes.size(); ++m) {
            cells_[r][static_cast<std::size_t>(modeIndex(table.modes[m]))] = table.figures[r][m];
            showLine(r, static_cast<std::size_t>(modeIndex(table.modes[m])));
        }
    result_ = table;
    showProgress(kProgressSteps);
    chartRows_ = table.rows.size();
    drawChart(*result_);
}

void AblationPanel::showFailure(const QString& reason) { note_->setText(reason); }

void AblationPanel::showProgress(int steps, const QString& format) {
    progress_->setValue(steps);
    progress_->setFormat(format);
}

AblationTable AblationPanel::shownTable(const AblationTable& table) const {
    AblationTable shown = table;
    for (std::size_t r = 0; r < shown.rows.size() && r < rows_.size(); ++r)
        shown.rows[r].name = rowText(rows_, r).toStdString();
    return shown;
}

void AblationPanel::drawChart(const AblationTable& table) {
    chartImage_ = pictureImage(describeAblationChart(shownTable(table), caption_));
    chart_->setPixmap(QPixmap::fromImage(chartImage_));
    chart_->resize(chartImage_.size());
    giveChartRoom();
}

void AblationPanel::giveChartRoom() {
    // The first chart of a run, once the page is on screen, gets the height
    // it needs, as far as the table keeps its least lines; after that the
    // splitter stays where the user puts it.
    if (chartRoomGiven_ || chartImage_.isNull() || !isVisible()) return;
    const QList<int> sizes = split_->sizes();
    const int total = sizes.value(0) + sizes.value(1);
    if (total <= table_->minimumHeight()) return;
    chartRoomGiven_ = true;
    const int frame = split_->widget(1)->height() - chart_->parentWidget()->height();
    const int chartRoom = std::min(chartImage_.height() + frame, total - table_->minimumHeight());
    if (chartRoom > sizes.value(1)) split_->setSizes({total - chartRoom, chartRoom});
}

void AblationPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    giveChartRoom();
}

void AblationPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    giveChartRoom();
}

void AblationPanel::saveChart(PictureFile format) {
    if (!result_) return;
    saveChartPicture(this, saveFileName_, inform_,
                     describeAblationChart(shownTable(*result_), caption_), format,
                     caption_ + QStringLiteral("_ablacja"));
}

}  // namespace zorvel
