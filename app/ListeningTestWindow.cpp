#include "app/ListeningTestWindow.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QStackedWidget>
#include <QStyle>
#include <QVBoxLayout>

#include "app/ListeningResultsView.h"
#include "app/OffTheWindowThread.h"
#include "charts/ChartPlayback.h"
#include "charts/StimulusMix.h"
#include "files/FileError.h"
#include "listening/ListeningResults.h"
#include "listening/ModulatedNoise.h"
#include "listening/Ratings.h"
#include "listening/TrialOrder.h"
#include "plots/ListeningChart.h"
#include "sound/SpeechInput.h"
#include "sound/Wave.h"

namespace zorvel {
namespace {

constexpr int kSliderHeight = 320;
constexpr QSize kWindowSize{960, 660};
constexpr int kColumnWidth = 56;
constexpr int kScoreStep = 20;

// The scale beside the sliders: a line at every 20 and the quality word in
// the middle of each band, at the heights where `slider` puts those values.
class QualityScale final : public QWidget {
  public:
    explicit QualityScale(QWidget* parent) : QWidget(parent) {
        setMinimumWidth(fontMetrics().horizontalAdvance(kQualityWords[0]) + kNumbersWidth + 24);
    }
    void follow(QSlider* slider) {
        slider_ = slider;
        update();
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        if (!slider_) return;
        QPainter painter(this);
        const int handle = slider_->style()->pixelMetric(QStyle::PM_SliderLength, nullptr, slider_);
        const int offset =
            slider_->mapTo(window(), QPoint(0, 0)).y() - mapTo(window(), QPoint(0, 0)).y();
        const int span = slider_->height() - handle;
        const auto row = [&](int value) {
            return offset + handle / 2 +
                   QStyle::sliderPositionFromValue(kLowestScore, kHighestScore, value, span, true);
        };
        const int words = width() - kNumbersWidth - 14;  // the words' right edge
        for (int v = kLowestScore; v <= kHighestScore; v += kScoreStep) {
            painter.setPen(palette().color(QPalette::Mid));
            painter.drawLine(words + 4, row(v), width(), row(v));
            painter.setPen(palette().color(QPalette::WindowText));
            // Over its line, but for the top one, which stands under it.
            const int top = v == kHighestScore ? row(v) + 1 : row(v) - 14;
            painter.drawText(QRect(words + 4, top, kNumbersWidth, 13),
                             Qt::AlignRight | Qt::AlignVCenter, QString::number(v));
        }
        for (int v = kLowestScore; v < kHighestScore; v += kScoreStep)
            painter.drawText(QRect(0, row(v + kScoreStep / 2) - 10, words, 20),
                             Qt::AlignRight | Qt::AlignVCenter, qualityWord(v));
    }

  private:
    static constexpr int kNumbersWidth = 28;  // "100" over its line
    QSlider* slider_ = nullptr;
};

QString fileName(const std::filesystem::path& path) {
    return QString::fromStdString(path.filename().string());
}

}  // namespace

TrialSamples makeTrialSamples(const std::filesystem::path& input,
                              const std::vector<Stimulus>& stimuli, std::uint64_t seed, int trial) {
    FileSamples read = readFileSamples(input);
    if (read.outcome != ReadOutcome::read)
        throw FileError(read.problem.empty() ? std::string("cannot be read") : read.problem);
    if (read.samples.empty()) throw FileError("holds no samples");
    TrialSamples samples;
    for (const Stimulus& s : stimuli) {
        switch (s.kind) {
            case StimulusKind::hiddenReference:
                samples.push_back(read.samples);
                break;
            case StimulusKind::coded: {
                std::optional<std::vector<double>> coded = restOfFileSamples(
                    {.input = input, .mode = s.mode, .settings = s.coderSettings, .firstFrame = 1},
                    PlaybackSignal::Synthesized);
                if (!coded || coded->empty()) throw FileError("could not be coded");
                samples.push_back(std::move(*coded));
                break;
            }
            case StimulusKind::anchor:
                samples.push_back(modulatedNoise(read.samples, s.q, anchorSeed(seed, trial, s.q)));
                break;
        }
    }
    return samples;
}

ListeningTestWindow::ListeningTestWindow(ListeningTestPlan plan, std::unique_ptr<AudioSink> sink,
                                         std::function<void(const QString&)> inform,
                                         QWidget* parent)
    : QWidget(parent),
      plan_(std::move(plan)),
      stimuli_(testStimuli(plan_.conditions)),
      sink_(std::move(sink)),
      inform_(std::move(inform)),
      pages_(new QStackedWidget(this)),
      trialPage_(new QWidget),
      title_(new QLabel),
      grid_(new QWidget),
      group_(new QButtonGroup(this)),
      play_(new QPushButton(QStringLiteral("Odtwórz"))),
      loop_(new QCheckBox(QStringLiteral("Zapętl fragment"))),
      from_(new QDoubleSpinBox),
      to_(new QDoubleSpinBox),
      status_(new QLabel),
      next_(new QPushButton),
      results_(new ListeningResultsView) {
    setWindowTitle(QStringLiteral("Test odsłuchowy – %1").arg(plan_.listener));
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(pages_);
    pages_->addWidget(trialPage_);
    pages_->addWidget(results_);

    auto* layout = new QVBoxLayout(trialPage_);
    QFont bold = title_->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    title_->setFont(bold);
    layout->addWidget(title_);
    auto* instructions = new QLabel(
        QStringLiteral("Posłuchaj wzorca i oceń każdy dźwięk A, B, ... w skali 0–100 względem "
                       "niego. Jeden z dźwięków jest ukrytym wzorcem. Przycisk (lub klawisz "
                       "litery, W dla wzorca) przełącza dźwięk w tym samym miejscu nagrania."));
    instructions->setWordWrap(true);
    layout->addWidget(instructions);
    layout->addWidget(grid_, 1);

    auto* spanRow = new QHBoxLayout;
    spanRow->addWidget(play_);
    spanRow->addSpacing(16);
    spanRow->addWidget(loop_);
    spanRow->addWidget(new QLabel(QStringLiteral("od")));
    spanRow->addWidget(from_);
    spanRow->addWidget(new QLabel(QStringLiteral("do")));
    spanRow->addWidget(to_);
    spanRow->addWidget(new QLabel(QStringLiteral("s")));
    spanRow->addStretch();
    layout->addLayout(spanRow);
    for (QDoubleSpinBox* box : {from_, to_}) {
        box->setDecimals(2);
        box->setSingleStep(0.25);
        connect(box, &QDoubleSpinBox::valueChanged, this, &ListeningTestWindow::applySpan);
    }
    loop_->setChecked(true);
    connect(loop_, &QCheckBox::toggled, this, &ListeningTestWindow::applySpan);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(status_, 1);
    auto* stop = new QPushButton(QStringLiteral("Przerwij test"));
    bottom->addWidget(stop);
    bottom->addWidget(next_);
    layout->addLayout(bottom);
    next_->setDefault(true);

    connect(play_, &QPushButton::clicked, this, &ListeningTestWindow::togglePlay);
    connect(next_, &QPushButton::clicked, this, &ListeningTestWindow::finishTrial);
    connect(stop, &QPushButton::clicked, this, &QWidget::close);
    buildTrialControls();
    resize(kWindowSize);
}

ListeningTestWindow::~ListeningTestWindow() { stopSound(); }

void ListeningTestWindow::buildTrialControls() {
    auto* grid = new QGridLayout(grid_);
    grid->setHorizontalSpacing(6);
    auto* scale = new QualityScale(grid_);
    reference_ = new QPushButton(QStringLiteral("Wzorzec"), grid_);
    reference_->setCheckable(true);
    reference_->setShortcut(QKeySequence(Qt::Key_W));
    group_->addButton(reference_, -1);
    grid->addWidget(reference_, 0, 0);
    grid->addWidget(scale, 1, 0);
    connect(reference_, &QPushButton::clicked, this, [this] { listenTo(-1); });
    for (int p = 0; p < static_cast<int>(stimuli_.size()); ++p) {
        const QString letter = QString::fromStdString(neutralLetter(p));
        auto* button = new QPushButton(letter, grid_);
        button->setCheckable(true);
        button->setShortcut(QKeySequence(letter));
        button->setFixedWidth(kColumnWidth);
        group_->addButton(button, p);
        auto* slider = new QSlider(Qt::Vertical, grid_);
        slider->setRange(kLowestScore, kHighestScore);
        slider->setTickPosition(QSlider::TicksBothSides);
        slider->setTickInterval(kScoreStep);
        slider->setPageStep(5);
        slider->setMinimumHeight(kSliderHeight);
        slider->setAccessibleName(QStringLiteral("Ocena %1").arg(letter));
        auto* value = new QLabel(QStringLiteral("–"), grid_);
        value->setAlignment(Qt::AlignCenter);
        grid->addWidget(button, 0, p + 1, Qt::AlignHCenter);
        grid->addWidget(slider, 1, p + 1, Qt::AlignHCenter);
        grid->addWidget(value, 2, p + 1, Qt::AlignHCenter);
        letters_.push_back(button);
        sliders_.push_back(slider);
        values_.push_back(value);
        connect(button, &QPushButton::clicked, this, [this, p] { listenTo(p); });
        const auto rate = [this, p] {
            rated_[static_cast<std::size_t>(p)] = true;
            values_[static_cast<std::size_t>(p)]->setText(
                QString::number(sliders_[static_cast<std::size_t>(p)]->value()));
            updateStatus();
        };
        connect(slider, &QSlider::valueChanged, this, rate);
        connect(slider, &QSlider::sliderPressed, this, rate);
    }
    grid->setRowStretch(1, 1);
    grid->setColumnStretch(static_cast<int>(stimuli_.size()) + 1, 1);
    scale->follow(sliders_.front());
}

bool ListeningTestWindow::start() {
    if (plan_.inputs.empty()) return false;
    return prepareTrial(1);
}

bool ListeningTestWindow::prepareTrial(int trial) {
    stopSound();
    const std::filesystem::path input = plan_.inputs[static_cast<std::size_t>(trial - 1)];
    TrialSamples samples;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        samples = runOffTheWindowThread(
            [&] { return makeTrialSamples(input, stimuli_, plan_.seed, trial); });
    } catch (const std::exception& error) {
        QApplication::restoreOverrideCursor();
        inform_(
            QStringLiteral("Nie można przygotować próby z pliku %1: %2")
                .arg(QString::fromStdString(input.string()), QString::fromStdString(error.what())));
        return false;
    }
    QApplication::restoreOverrideCursor();

    trial_ = trial;
    order_ = trialOrder(static_cast<int>(stimuli_.size()), plan_.seed, trial);
    // The stream: the open reference first, then the stimuli by position.
    std::vector<std::vector<double>> streams{samples.front()};
    for (const int index : order_) streams.push_back(samples[static_cast<std::size_t>(index)]);
    mix_ = std::make_shared<StimulusMix>(std::move(streams));

    rated_.assign(stimuli_.size(), false);
    for (std::size_t p = 0; p < sliders_.size(); ++p) {
        const QSignalBlocker quiet(sliders_[p]);
        sliders_[p]->setValue(kLowestScore);
        values_[p]->setText(QStringLiteral("–"));
    }
    const double seconds = static_cast<double>(mix_->length()) / kSampleRate;
    for (QDoubleSpinBox* box : {from_, to_}) {
        const QSignalBlocker quiet(box);
        box->setRange(0.0, seconds);
    }
    {
        const QSignalBlocker quietFrom(from_), quietTo(to_);
        from_->setValue(0.0);
        to_->setValue(seconds);
    }
    applySpan();
    reference_->setChecked(true);
    title_->setText(
        QStringLiteral("Próba %1 z %2   (plik: %3)").arg(trial).arg(trials()).arg(fileName(input)));
    next_->setText(trial == trials() ? QStringLiteral("Zakończ test")
                                     : QStringLiteral("Następna próba"));
    updateStatus();
    return true;
}

std::vector<Stimulus> ListeningTestWindow::presented() const {
    std::vector<Stimulus> shown;
    for (const int index : order_) shown.push_back(stimuli_[static_cast<std::size_t>(index)]);
    return shown;
}

bool ListeningTestWindow::showingResults() const { return pages_->currentWidget() == results_; }

QSlider& ListeningTestWindow::slider(int position) const {
    return *sliders_.at(static_cast<std::size_t>(position));
}

QPushButton& ListeningTestWindow::letterButton(int position) const {
    return *letters_.at(static_cast<std::size_t>(position));
}

void ListeningTestWindow::listenTo(int position) {
    if (!mix_) return;
    mix_->select(position + 1);
    (position < 0 ? reference_ : letters_[static_cast<std::size_t>(position)])->setChecked(true);
    if (!sink_->playing()) togglePlay();
}

void ListeningTestWindow::togglePlay() {
    if (!mix_) return;
    if (sink_->playing()) {
        stopSound();
        return;
    }
    mix_->rewind();
    const bool started = sink_->playSource(std::make_unique<StimulusStream>(mix_),
                                           [this] { play_->setText(QStringLiteral("Odtwórz")); });
    if (!started) {
        inform_(kNoSoundDevice);
        return;
    }
    play_->setText(QStringLiteral("Zatrzymaj"));
}

void ListeningTestWindow::stopSound() {
    if (sink_) sink_->stop();
    if (play_) play_->setText(QStringLiteral("Odtwórz"));
}

void ListeningTestWindow::applySpan() {
    if (!mix_) return;
    const auto sample = [](double seconds) {
        return static_cast<std::size_t>(std::llround(seconds * kSampleRate));
    };
    std::size_t begin = sample(from_->value()), end = sample(to_->value());
    if (end <= begin) end = mix_->length();  // an empty span plays the whole item
    mix_->setSpan(begin, end);
    mix_->setLooping(loop_->isChecked());
}

void ListeningTestWindow::updateStatus() {
    const auto done = std::count(rated_.begin(), rated_.end(), true);
    status_->setText(QStringLiteral("Ocenione: %1 z %2").arg(done).arg(rated_.size()));
    next_->setEnabled(done == static_cast<long>(rated_.size()));
}

void ListeningTestWindow::finishTrial() {
    if (std::count(rated_.begin(), rated_.end(), false) > 0 || trial_ == 0) return;
    const std::filesystem::path input = plan_.inputs[static_cast<std::size_t>(trial_ - 1)];
    const std::string time = ratingTime();
    std::vector<Rating> ratings;
    for (std::size_t p = 0; p < order_.size(); ++p) {
        const Stimulus& s = stimuli_[static_cast<std::size_t>(order_[p])];
        ratings.push_back({.listener = plan_.listener.toStdString(),
                           .trial = trial_,
                           .input = input.filename().string(),
                           .condition = s.condition,
                           .settings = s.settings,
                           .letter = neutralLetter(static_cast<int>(p)),
                           .score = sliders_[p]->value(),
                           .time = time});
    }
    try {
        appendTrial(plan_.results, ratings);
    } catch (const FileError& error) {
        inform_(QStringLiteral("Nie można zapisać ocen w pliku %1: %2")
                    .arg(QString::fromStdString(plan_.results.string()),
                         QString::fromStdString(error.what())));
        return;
    }
    if (trial_ < trials()) {
        if (!prepareTrial(trial_ + 1)) close();
        return;
    }
    showResults();
}

void ListeningTestWindow::showResults() {
    stopSound();
    mix_.reset();
    try {
        const RatingsFile read = readRatings(plan_.results);
        results_->showResults(aggregateRatings(read.ratings),
                              QStringLiteral("Wyniki: %1").arg(fileName(plan_.results)));
    } catch (const FileError& error) {
        inform_(QStringLiteral("Nie można odczytać pliku wyników %1: %2")
                    .arg(QString::fromStdString(plan_.results.string()),
                         QString::fromStdString(error.what())));
    }
    pages_->setCurrentWidget(results_);
}

void ListeningTestWindow::closeEvent(QCloseEvent* event) {
    // The trial in progress is not saved; the finished ones are in the file.
    stopSound();
    event->accept();
}

}  // namespace zorvel
