#include "app/ModeComparisonWindow.h"

#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMetaObject>
#include <QPixmap>
#include <QProgressBar>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QStyle>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "app/AblationPanel.h"
#include "app/ChartSaving.h"
#include "charts/ScreenFit.h"
#include "coder/Ablation.h"
#include "coder/WorkPool.h"
#include "plots/AblationChart.h"
#include "plots/Readouts.h"
#include "plots/SweepChart.h"
#include "sound/SpeechInput.h"

namespace zorvel {
namespace {

constexpr int kProgressSteps = 1000;
constexpr int kProgressIntervalMs = 100;
// The height the ablation's page asks for above its chart's: a dozen lines of
// its table, the note, the progress bar and the frames around them (960 in
// all with the chart of the eight rows of the default ablation).
constexpr int kAblationPageRoom = 422;

const QStringList kColumns = {QStringLiteral("Tryb"), QStringLiteral("Przepływność [kb/s]"),
                              QStringLiteral("Ramki"), QStringLiteral("SNR segmentowy [dB]"),
                              QStringLiteral("SNR całkowity [dB]")};

QTableWidgetItem* cell(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

}  // namespace

ModeComparisonWindow::ModeComparisonWindow(QWidget* parent)
    : QWidget(parent, Qt::Window),
      fileLabel_(new QLabel(this)),
      progress_(new QProgressBar(this)),
      table_(new QTableWidget(kModeCount, static_cast<int>(kColumns.size()), this)),
      pages_(new QTabWidget(this)),
      chart_(new QLabel(this)),
      timer_(new QTimer(this)),
      chartMenu_(new QMenu(this)),
      ablation_(new AblationPanel),
      saveFileName_([](QWidget* parent, const QString& caption, const QString& suggested,
                       const QString& filter) {
          return QFileDialog::getSaveFileName(parent, caption, suggested, filter);
      }),
      inform_(
          [this](const QString& text) { QMessageBox::information(this, windowTitle(), text); }) {
    setWindowTitle(kModeComparisonTitle);
    progress_->setRange(0, kProgressSteps);
    table_->setHorizontalHeaderLabels(kColumns);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setMinimumHeight(table_->verticalHeader()->defaultSectionSize() * (kModeCount + 1) + 8);
    chart_->setFixedSize(kSweepChartWidth, kSweepChartHeight);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fileLabel_);
    layout->addWidget(progress_);
    auto* modes = new QWidget;
    body_ = new QBoxLayout(QBoxLayout::TopToBottom, modes);
    body_->setContentsMargins(0, 0, 0, 0);
    body_->addWidget(table_);
    body_->addWidget(chart_);
    pages_->addTab(modes, kModesPageTitle);
    pages_->addTab(ablation_, kAblationPageTitle);
    layout->addWidget(pages_);
    connect(pages_, &QTabWidget::currentChanged, this, [this](int page) {
        if (pages_->widget(page) == ablation_) widenForAblation();
    });
    timer_->setInterval(kProgressIntervalMs);
    connect(timer_, &QTimer::timeout, this, &ModeComparisonWindow::showProgress);

    addChartSaveMenu(
        *chart_, *chartMenu_, [this] { return figures_.has_value(); },
        [this](PictureFile format) { saveChart(format); });
    // The window closes from the keyboard too, also where no window manager
    // gives it a close box: as that box, it cancels a computation.
    for (const QKeySequence& keys :
         {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)})
        new QShortcut(keys, this, this, &QWidget::close);
}

void ModeComparisonWindow::saveChart(PictureFile format) {
    if (!figures_) return;
    saveChartPicture(this, saveFileName_, inform_, describeSweepChart(*figures_, caption_), format,
                     fileLabel_->text() + QStringLiteral("_snr"));
}

void ModeComparisonWindow::setSaveFileName(const ChartContextMenus::SaveFileName& saveFileName) {
    saveFileName_ = saveFileName;
    ablation_->setSaveFileName(saveFileName);
}

void ModeComparisonWindow::setInform(const std::function<void(const QString&)>& inform) {
    inform_ = inform;
    ablation_->setInform(inform);
}

ModeComparisonWindow::~ModeComparisonWindow() { endWorker(); }

QString ModeComparisonWindow::chartCaption(const QString& fileName, const CoderSettings& settings) {
    QString caption = QFileInfo(fileName).fileName();
    if (!settings.adaptiveCodebook) caption += QStringLiteral(" (bez słownika adaptacyjnego)");
    // The others than the adaptive codebook, which the words above name.
    const QString others =
        settingsWordsLine(settings, CoderSettings{.adaptiveCodebook = settings.adaptiveCodebook});
    if (!others.isEmpty()) caption += QStringLiteral(" – ") + others;
    return caption;
}

void ModeComparisonWindow::endWorker() {
    cancel_ = true;
    if (worker_.joinable()) worker_.join();
    cancel_ = false;
    done_ = true;
    ablationDone_ = true;
}

void ModeComparisonWindow::cancel() {
    ++run_;
    endWorker();
    timer_->stop();
}

void ModeComparisonWindow::compare(const QString& fileName, const CoderSettings& settings) {
    cancel();
    figures_.reset();
    table_->clearContents();
    chartImage_ = QImage();
    chart_->clear();
    caption_ = chartCaption(fileName, settings);
    fileLabel_->setText(fileName);
    progress_->setValue(0);
    show();
    // It takes the keys (Esc, Ctrl+W) at once, also where no window manager
    // gives it the focus.
    raise();
    activateWindow();

    const std::filesystem::path input(QFile::encodeName(fileName).toStdString());
    framesTotal_ = framesInFile(input) * kModeCount;
    framesDone_ = 0;
    modesClock_.start();
    ablationClock_.invalidate();
    const std::vector<AblationRow> rows = ablationRows(settings);
    ablation_->start(rows, caption_);
    ablationFramesTotal_ =
        framesInFile(input) * kModeCount * static_cast<std::int64_t>(rows.size());
    ablationFramesDone_ = 0;
    done_ = false;
    ablationDone_ = false;
    const unsigned long run = ++run_;
    timer_->start();
    worker_ = std::jthread([this, input, settings, run] {
        // Each mode's row is shown as soon as that mode is coded.
        const auto rowDone = [this, run](std::size_t, const ModeFigures& figures) {
            QMetaObject::invokeMethod(
                this,
                [this, figures, run] {
                    if (run == run_) showRow(figures);
                },
                Qt::QueuedConnection);
        };
        SweepRun sweep;
        sweep.inputs = {input};
        sweep.threads = poolThreads(0, kModeCount);
        sweep.settings = settings;
        sweep.cancel = &cancel_;
        sweep.onFrame = [this](std::size_t) { ++framesDone_; };
        sweep.onRun = rowDone;
        const std::optional<SweepResult> result = sweepModes(sweep);
        if (!result) return;
        const SweepRow figures = result->files.front();
        QMetaObject::invokeMethod(
            this,
            [this, figures, run] {
                if (run != run_) return;
                done_ = true;
                showFigures(figures);
                emit finished();
            },
            Qt::QueuedConnection);
        computeAblation(input, settings, run);
    });
}

void ModeComparisonWindow::computeAblation(const std::filesystem::path& input,
                                           const CoderSettings& settings, unsigned long run) {
    AblationRun ablation;
    ablation.inputs = {input};
    ablation.rows = ablationRows(settings);
    ablation.modes.assign(kAllCoderModes.begin(), kAllCoderModes.end());
    ablation.threads = poolThreads(0, ablation.rows.size() * ablation.modes.size());
    ablation.options.cancel = &cancel_;
    ablation.options.onFrame = [this] { ++ablationFramesDone_; };
    // Each cell in the table as soon as it is coded.
    ablation.onCell = [this, run](std::size_t row, std::size_t mode, const ModeFigures& figures) {
        QMetaObject::invokeMethod(
            this,
            [this, row, mode, figures, run] {
                if (run == run_) ablation_->showCell(row, mode, figures);
            },
            Qt::QueuedConnection);
    };
    std::optional<AblationTable> table;
    QString failure;
    try {
        table = zorvel::computeAblation(ablation);
    } catch (const std::exception& error) {
        failure = QStringLiteral("Nie można policzyć ablacji: %1")
                      .arg(QString::fromLocal8Bit(error.what()));
    }
    if (!table && failure.isEmpty()) return;  // cancelled
    QMetaObject::invokeMethod(
        this,
        [this, table = std::move(table), failure, run] {
            if (run != run_) return;
            ablationDone_ = true;
            timer_->stop();
            if (table)
                ablation_->showTable(*table);
            else
                ablation_->showFailure(failure);
            emit ablationFinished();
        },
        Qt::QueuedConnection);
}

QString ModeComparisonWindow::progressFormat(std::int64_t elapsedMs, double fraction) {
    const QString percent = QStringLiteral("%p%");
    if (elapsedMs < kEstimateAfterMs || !(fraction > 0.0) || !(fraction < 1.0)) return percent;
    // As fast on as so far.
    const auto left = static_cast<std::int64_t>(
        std::llround(static_cast<double>(elapsedMs) * (1.0 - fraction) / fraction / 1000.0));
    const std::int64_t hours = left / 3600;
    const std::int64_t minutes = left / 60 % 60;
    const std::int64_t seconds = left % 60;
    const QString time =
        hours > 0 ? QStringLiteral("%1:%2:%3")
                        .arg(hours)
                        .arg(minutes, 2, 10, QLatin1Char('0'))
                        .arg(seconds, 2, 10, QLatin1Char('0'))
                  : QStringLiteral("%1:%2").arg(minutes).arg(seconds, 2, 10, QLatin1Char('0'));
    return percent + QStringLiteral(" – zostało ok. ") + time;
}

void ModeComparisonWindow::showProgress() {
    if (framesTotal_ > 0) {
        const std::int64_t done = framesDone_;
        progress_->setValue(static_cast<int>(
            std::min<std::int64_t>(done * kProgressSteps / framesTotal_, kProgressSteps)));
        progress_->setFormat(progressFormat(
            modesClock_.elapsed(), static_cast<double>(done) / static_cast<double>(framesTotal_)));
    }
    if (ablationFramesTotal_ > 0) {
        const std::int64_t done = ablationFramesDone_;
        // The ablation's time counts from its first frame, after the modes.
        if (done > 0 && !ablationClock_.isValid()) ablationClock_.start();
        const double fraction =
            static_cast<double>(done) / static_cast<double>(ablationFramesTotal_);
        ablation_->showProgress(
            static_cast<int>(
                std::min<std::int64_t>(done * AblationPanel::kProgressSteps / ablationFramesTotal_,
                                       AblationPanel::kProgressSteps)),
            progressFormat(ablationClock_.isValid() ? ablationClock_.elapsed() : 0, fraction));
    }
}

void ModeComparisonWindow::showRow(const ModeFigures& f) {
    const int m = modeIndex(f.mode);
    const std::string_view rate = rulesOf(f.mode).rate;
    table_->setItem(m, 0, cell(QString::number(modeNumber(f.mode))));
    table_->setItem(m, 1,
                    cell(QString::fromUtf8(rate.data(), static_cast<qsizetype>(rate.size()))));
    table_->setItem(m, 2, cell(QString::number(f.frames)));
    table_->setItem(m, 3, cell(QString::number(f.segmentalSnr, 'f', 2)));
    table_->setItem(m, 4, cell(QString::number(f.overallSnr, 'f', 2)));
}

void ModeComparisonWindow::showFigures(const SweepRow& figures) {
    figures_ = figures;
    progress_->setValue(kProgressSteps);
    progress_->setFormat(progressFormat(0, 1.0));
    for (const ModeFigures& f : figures) showRow(f);
    chartImage_ = pictureImage(describeSweepChart(figures, caption_));
    chart_->setPixmap(QPixmap::fromImage(chartImage_));
}

void ModeComparisonWindow::showEvent(QShowEvent* event) {
    fitToScreen();
    QWidget::showEvent(event);
}

void ModeComparisonWindow::layBody(QBoxLayout::Direction direction) {
    if (body_->direction() == direction) return;
    body_->setDirection(direction);
    // Beside the chart the table keeps every column in view.
    const bool beside = direction == QBoxLayout::LeftToRight;
    table_->setMinimumWidth(beside
                                ? table_->horizontalHeader()->length() + 2 * table_->frameWidth() +
                                      table_->verticalScrollBar()->sizeHint().width()
                                : 0);
    // The page's new size reaches the window's layout only through the
    // pages' size, which the window's layout keeps until told.
    body_->activate();
    pages_->updateGeometry();
    layout()->activate();
}

void ModeComparisonWindow::fitToScreen() {
    // The chart under the table where the screen has room for both, beside it
    // where it has not: judged afresh at every opening, from the table above
    // the chart, whatever the window showed before.
    layBody(QBoxLayout::TopToBottom);
    if (!screenHasRoomFor(*this, layout()->totalSizeHint())) layBody(QBoxLayout::LeftToRight);
    const QSize room = roomOnScreen(*this);
    resize(layout()->totalSizeHint().boundedTo(room));
    if (pages_->currentWidget() == ablation_) widenForAblation();
    // Wholly inside the screen's free area, with room for a title bar (the
    // position is that of the frame).
    if (const QScreen* screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        const int frame = area.height() - room.height();
        const int left =
            std::clamp(x(), area.left(), std::max(area.left(), area.right() + 1 - width()));
        const int top =
            std::clamp(y(), area.top(), std::max(area.top(), area.bottom() + 1 - frame - height()));
        if (left != x() || top != y()) move(left, top);
    }
}

void ModeComparisonWindow::widenForAblation() {
    // The ablation's table has more columns than the modes' and its chart is
    // wider than the SNR chart: the window grows to show both whole, as far
    // as its screen has room.
    QTableWidget& table = ablation_->table();
    const int tableWidth = table.horizontalHeader()->length() + 2 * table.frameWidth() +
                           table.verticalScrollBar()->sizeHint().width();
    const int chartWidth =
        kAblationChartWidth + 2 * style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const int margins = width() - ablation_->table().width();
    const QSize room = roomOnScreen(*this);
    const int wanted =
        std::min(std::max({width(), tableWidth + margins, chartWidth + margins}), room.width());
    const int tall = std::min(std::max(height(), kAblationPageRoom + ablation_->wholeChartHeight()),
                              room.height());
    if (wanted > width() || tall > height())
        resize(std::max(wanted, width()), std::max(tall, height()));
}

void ModeComparisonWindow::closeEvent(QCloseEvent* event) {
    cancel();
    QWidget::closeEvent(event);
}

}  // namespace zorvel
