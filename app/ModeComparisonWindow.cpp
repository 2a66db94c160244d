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
#include <QScrollBar>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "charts/ScreenFit.h"
#include "plots/SweepChart.h"
#include "sound/SpeechInput.h"

namespace zorvel {
namespace {

constexpr int kProgressSteps = 1000;
constexpr int kProgressIntervalMs = 100;

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
      chart_(new QLabel(this)),
      timer_(new QTimer(this)),
      chartMenu_(new QMenu(this)),
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
    body_ = new QBoxLayout(QBoxLayout::TopToBottom);
    body_->addWidget(table_);
    body_->addWidget(chart_);
    layout->addLayout(body_);
    timer_->setInterval(kProgressIntervalMs);
    connect(timer_, &QTimer::timeout, this, &ModeComparisonWindow::showProgress);

    const std::pair<QString, PictureFile> saves[] = {
        {QStringLiteral("Zapisz wykres jako PNG..."), PictureFile::Png},
        {QStringLiteral("Zapisz wykres jako PNG (2x)..."), PictureFile::Png2x},
        {QStringLiteral("Zapisz wykres jako SVG..."), PictureFile::Svg},
    };
    for (const auto& [text, format] : saves)
        connect(chartMenu_->addAction(text), &QAction::triggered, this,
                [this, format] { saveChart(format); });
    chart_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(chart_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        if (figures_) chartMenu_->popup(chart_->mapToGlobal(at));
    });
}

void ModeComparisonWindow::saveChart(PictureFile format) {
    if (!figures_) return;
    const bool svg = format == PictureFile::Svg;
    const QString name = saveFileName_(
        this, QStringLiteral("Zapisz wykres"),
        fileLabel_->text() + (svg ? QStringLiteral("_snr.svg") : QStringLiteral("_snr.png")),
        svg ? QStringLiteral("Obrazy SVG (*.svg)") : QStringLiteral("Obrazy PNG (*.png)"));
    if (name.isEmpty()) return;
    if (!savePictureFile(describeSweepChart(*figures_, caption_), format, name))
        inform_(QStringLiteral("Nie można zapisać pliku %1.").arg(name));
}

ModeComparisonWindow::~ModeComparisonWindow() { endWorker(); }

QString ModeComparisonWindow::chartCaption(const QString& fileName, bool noAdaptiveCodebook) {
    QString caption = QFileInfo(fileName).fileName();
    if (noAdaptiveCodebook) caption += QStringLiteral(" (bez słownika adaptacyjnego)");
    return caption;
}

void ModeComparisonWindow::endWorker() {
    cancel_ = true;
    if (worker_.joinable()) worker_.join();
    cancel_ = false;
    done_ = true;
}

void ModeComparisonWindow::cancel() {
    ++run_;
    endWorker();
    timer_->stop();
}

void ModeComparisonWindow::compare(const QString& fileName, bool noAdaptiveCodebook) {
    cancel();
    figures_.reset();
    table_->clearContents();
    chartImage_ = QImage();
    chart_->clear();
    caption_ = chartCaption(fileName, noAdaptiveCodebook);
    fileLabel_->setText(fileName);
    progress_->setValue(0);
    show();
    raise();

    const std::filesystem::path input(QFile::encodeName(fileName).toStdString());
    framesTotal_ = framesInFile(input) * kModeCount;
    framesDone_ = 0;
    done_ = false;
    const unsigned long run = ++run_;
    timer_->start();
    worker_ = std::jthread([this, input, noAdaptiveCodebook, run] {
        const unsigned threads = std::max(std::thread::hardware_concurrency(), 1u);
        // Each mode's row is shown as soon as that mode is coded.
        const auto rowDone = [this, run](std::size_t, const ModeFigures& figures) {
            QMetaObject::invokeMethod(
                this,
                [this, figures, run] {
                    if (run == run_) showRow(figures);
                },
                Qt::QueuedConnection);
        };
        const std::optional<SweepResult> result = sweepModes(
            {input}, noAdaptiveCodebook, threads, &cancel_, [this] { ++framesDone_; }, {}, rowDone);
        if (!result) return;
        const SweepRow figures = result->files.front();
        QMetaObject::invokeMethod(
            this,
            [this, figures, run] {
                if (run != run_) return;
                done_ = true;
                timer_->stop();
                showFigures(figures);
                emit finished();
            },
            Qt::QueuedConnection);
    });
}

void ModeComparisonWindow::showProgress() {
    if (framesTotal_ <= 0) return;
    progress_->setValue(static_cast<int>(
        std::min<std::int64_t>(framesDone_ * kProgressSteps / framesTotal_, kProgressSteps)));
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
    for (const ModeFigures& f : figures) showRow(f);
    chartImage_ = pictureImage(describeSweepChart(figures, caption_));
    chart_->setPixmap(QPixmap::fromImage(chartImage_));
}

void ModeComparisonWindow::showEvent(QShowEvent* event) {
    // The chart beside the table where the screen is too low for one under
    // the other.
    const QBoxLayout::Direction wanted = screenHasRoomFor(*this, layout()->totalSizeHint())
                                             ? QBoxLayout::TopToBottom
                                             : QBoxLayout::LeftToRight;
    if (body_->direction() != wanted) {
        body_->setDirection(wanted);
        // Beside the chart the table keeps every column in view.
        const bool beside = wanted == QBoxLayout::LeftToRight;
        table_->setMinimumWidth(beside ? table_->horizontalHeader()->length() +
                                             2 * table_->frameWidth() +
                                             table_->verticalScrollBar()->sizeHint().width()
                                       : 0);
        layout()->activate();
        resize(layout()->totalSizeHint());
    }
    QWidget::showEvent(event);
}

void ModeComparisonWindow::closeEvent(QCloseEvent* event) {
    cancel();
    QWidget::closeEvent(event);
}

}  // namespace zorvel
