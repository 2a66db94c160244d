// The chart window's movement through long inputs: the background pass and
// its overview strip, jumps that wait for the pass when no checkpoint is near
// yet (with progress in the strip, cancelled by Esc or "|<"), the keys
// (Left/Right one frame, PgUp/PgDn ten, Home/End first/last, Enter in "Ramka"
// or "Skala" as "Odśwież") and the wheel over the plots.
//
// Input given while a step runs is dropped, never turned into further steps:
// after each step the events that arrived meanwhile are processed with the
// navigation blocked, and while a jump waits for the pass only Esc, "|<" and
// closing the window act.
#include <QCoreApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScopedValueRollback>
#include <QWheelEvent>
#include <algorithm>
#include <filesystem>
#include <utility>

#include "charts/ChartWindow.h"
#include "charts/FramePass.h"
#include "charts/OverviewStrip.h"
#include "coder/SpeechCoder.h"
#include "ui_ChartWindow.h"

namespace zorvel {

namespace {

constexpr int kPageFrames = 10;
constexpr int kWheelStepAngle = 120;  // one notch of a common mouse wheel, 1/8 degree units
constexpr int kPassPollMs = 40;
constexpr int kOverviewGap = 8;  // below the strip

}  // namespace

void ChartWindow::setUpNavigation() {
    // The strip goes below every control of the form; the window grows by it.
    const int formHeight = height();
    strip_ = new OverviewStrip(this);
    strip_->setGeometry(ui_->Im_time->x(), formHeight, ui_->Im_time->width(),
                        OverviewStrip::kHeight);
    resize(width(), formHeight + OverviewStrip::kHeight + kOverviewGap);
    connect(strip_, &OverviewStrip::frameRequested, this, &ChartWindow::goToFrame);

    passTimer_.setInterval(kPassPollMs);
    connect(&passTimer_, &QTimer::timeout, this, &ChartWindow::pollPass);

    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
}

void ChartWindow::startPass(const QString& fileName, CoderMode mode, bool noAdaptiveCodebook) {
    const std::filesystem::path input(QFile::encodeName(fileName).toStdString());
    cancelWaiting();
    if (!pass_ || !pass_->matches(input, mode, noAdaptiveCodebook)) {
        strip_->setPass(nullptr);
        pass_ = std::make_unique<FramePass>(input, mode, noAdaptiveCodebook);
    }
    strip_->setPass(pass_.get());
    pass_->start();
    passTimer_.start();
}

bool ChartWindow::navigationBlocked() const { return droppingInput_ || waitTarget_.has_value(); }

void ChartWindow::goToFrame(int frame) {
    if (!coder_) return;
    if (droppingInput_) {
        latestTarget_ = frame;
        return;
    }
    if (waitTarget_) return;
    jump(frame, true);
}

void ChartWindow::stepFrames(int delta) {
    if (!coder_ || navigationBlocked()) return;
    jump(coder_->frameCount() + delta, delta < 0);
}

void ChartWindow::cancelWaiting() {
    waitTarget_.reset();
    if (strip_) strip_->setProgress(QString(), 0.0);
}

namespace {

// The checkpoint a jump from `from` to `frame` would start at, or 0 when it
// codes from where it is (a forward jump within one interval) or from frame 1.
int checkpointFor(int frame, int from, int totalFrames) {
    const int target = std::min(frame, totalFrames);
    if (target - from <= kCheckpointInterval) return 0;
    return (target - 1) / kCheckpointInterval * kCheckpointInterval;
}

}  // namespace

void ChartWindow::jump(int frame, bool busy) {
    if (pass_ && !pass_->done()) {
        const int c = checkpointFor(frame, coder_->frameCount(), pass_->totalFrames());
        if (c > 0 && !pass_->checkpoints()->has(c)) {
            waitTarget_ = frame;
            waitBusy_ = busy;
            passTimer_.start();
            pollPass();
            return;
        }
    }
    step(frame, busy);
}

void ChartWindow::step(int frame, bool busy) {
    {
        std::optional<BusyCursor> hourglass;
        if (busy) hourglass.emplace(*dialogs_);
        if (frame == kLastFrame) {
            if (pass_ && pass_->totalFrames() > coder_->frameCount())
                coder_->goToFrame(pass_->totalFrames());
            while (coder_->goToFrame(coder_->frameCount() + 1) == FrameStep::coded) {
            }
        } else {
            coder_->goToFrame(frame);
        }
    }
    strip_->setCurrentFrame(coder_->frameCount());
    redrawCharts();
    dropInputGivenDuringStep();
    if (const std::optional<int> latest = std::exchange(latestTarget_, std::nullopt)) {
        if (*latest != coder_->frameCount())
            QTimer::singleShot(0, this, [this, frame = *latest] { goToFrame(frame); });
    }
}

void ChartWindow::dropInputGivenDuringStep() {
    const QScopedValueRollback dropping(droppingInput_, true);
    QCoreApplication::processEvents();
}

void ChartWindow::pollPass() {
    if (!pass_) {
        passTimer_.stop();
        return;
    }
    strip_->update();
    if (waitTarget_) {
        const int frame = *waitTarget_;
        const int c = checkpointFor(frame, coder_->frameCount(), pass_->totalFrames());
        if (c == 0 || pass_->done() || pass_->checkpoints()->has(c)) {
            cancelWaiting();
            step(frame, waitBusy_);
        } else {
            const int shown = frame == kLastFrame ? pass_->totalFrames() : frame;
            const double fraction = static_cast<double>(pass_->reached()) / c;
            strip_->setProgress(QStringLiteral("Kodowanie do ramki %1: %2% (Esc lub |< przerywa)")
                                    .arg(shown)
                                    .arg(static_cast<int>(fraction * 100.0)),
                                fraction);
        }
    }
    if (!waitTarget_ && !pass_->running()) {
        passTimer_.stop();
        strip_->update();
    }
}

bool ChartWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) return false;
        const bool inLineEdit = qobject_cast<QLineEdit*>(watched) != nullptr;
        if (handleNavigationKey(key->key(), inLineEdit)) return true;
    } else if (event->type() == QEvent::Wheel &&
               (watched == ui_->Im_time || watched == ui_->Im_freq)) {
        wheelAngle_ += static_cast<QWheelEvent*>(event)->angleDelta().y();
        const int notches = wheelAngle_ / kWheelStepAngle;
        wheelAngle_ -= notches * kWheelStepAngle;
        if (notches != 0) stepFrames(-notches);  // towards the user: later frames
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

// Returns whether the key was a navigation key (acted on or dropped).
bool ChartWindow::handleNavigationKey(int key, bool inLineEdit) {
    switch (key) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (!inLineEdit) return false;
            BT_refreshClick();
            return true;
        case Qt::Key_Left:
        case Qt::Key_Right:
            if (inLineEdit) return false;  // the edit box's own cursor keys
            stepFrames(key == Qt::Key_Right ? 1 : -1);
            return true;
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            stepFrames(key == Qt::Key_PageDown ? kPageFrames : -kPageFrames);
            return true;
        case Qt::Key_Home:
            if (inLineEdit) return false;
            if (coder_ && !navigationBlocked()) jump(1, false);
            return true;
        case Qt::Key_End:
            if (inLineEdit) return false;
            if (coder_ && !navigationBlocked()) jump(kLastFrame, true);
            return true;
        default:
            return false;
    }
}

}  // namespace zorvel
