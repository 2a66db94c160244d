#include "charts/ChartNavigation.h"

#include <QCoreApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScopedValueRollback>
#include <QWheelEvent>
#include <algorithm>
#include <exception>
#include <filesystem>
#include <utility>

#include "charts/ChartWindow.h"
#include "charts/OverviewStrip.h"
#include "charts/SystemReasons.h"
#include "coder/Checkpoints.h"
#include "coder/FramePass.h"
#include "coder/SpeechCoder.h"

namespace zorvel {

namespace {

constexpr int kPageFrames = 10;
constexpr int kWheelStepAngle = 120;  // one notch of a common mouse wheel, 1/8 degree units
constexpr int kPassPollMs = 40;
constexpr int kOverviewGap = 8;  // below the strip

// Why a pass stopped, completing "Przegląd całego pliku zatrzymał się ...".
QString passFailureText(const FramePass& pass) {
    try {
        std::rethrow_exception(pass.failure());
    } catch (const FramePassError& error) {
        const QString where =
            QStringLiteral("po ramce %1 z %2: ").arg(error.frame()).arg(error.totalFrames());
        if (error.kind() == PassFailure::inputUnreadable)
            return where + QStringLiteral("nie można odczytać pliku wejściowego (") +
                   polishReason(error.error()) + QStringLiteral(").");
        return where + QStringLiteral("plik wejściowy skrócił się w czasie kodowania.");
    } catch (const std::exception& error) {
        return QStringLiteral("po ramce %1: ").arg(pass.reached()) + polishFailure(error) +
               QStringLiteral(".");
    }
}

}  // namespace

ChartNavigation::ChartNavigation(ChartWindow& window, QWidget& timePlot, QWidget& spectrumPlot,
                                 const std::unique_ptr<SpeechCoder>& coder,
                                 const std::unique_ptr<ChartDialogs>& dialogs)
    : window_(window),
      timePlot_(timePlot),
      spectrumPlot_(spectrumPlot),
      coder_(coder),
      dialogs_(dialogs) {
    // The strip goes below every control of the form; the window grows by it.
    const int formHeight = window_.height();
    strip_ = new OverviewStrip(&window_);
    strip_->setGeometry(timePlot_.x(), formHeight, timePlot_.width(), OverviewStrip::kHeight);
    window_.resize(window_.width(), formHeight + OverviewStrip::kHeight + kOverviewGap);
    connect(strip_, &OverviewStrip::frameRequested, this, &ChartNavigation::goToFrame);
    connect(strip_, &OverviewStrip::measuresWanted, this, [this] {
        if (!pass_) return;
        pass_->measureFrames();
        passTimer_.start();
    });

    passTimer_.setInterval(kPassPollMs);
    connect(&passTimer_, &QTimer::timeout, this, &ChartNavigation::pollPass);

    // The keys act whatever widget of the window has them, also those made
    // after this (the scrolled form of a low screen, its scroll bars).
    QCoreApplication::instance()->installEventFilter(this);
}

ChartNavigation::~ChartNavigation() = default;

void ChartNavigation::startPass(const QString& fileName, CoderMode mode,
                                const CoderSettings& settings) {
    const std::filesystem::path input(QFile::encodeName(fileName).toStdString());
    cancelWaiting();
    if (!pass_ || !pass_->matches(input, mode, settings)) {
        strip_->setPass(nullptr);
        pass_ = std::make_unique<FramePass>(input, mode, settings);
        passFailureTold_ = false;
    }
    strip_->setPass(pass_.get());
    if (strip_->measure()) pass_->measureFrames();
    pass_->start();
    passTimer_.start();
}

void ChartNavigation::stopPass() {
    cancelWaiting();
    passTimer_.stop();
    if (pass_) pass_->stop();
}

void ChartNavigation::goToFrame(int frame) {
    if (!coder_) return;
    if (droppingInput_) {
        latestTarget_ = frame;
        return;
    }
    if (waitTarget_) return;
    jump(frame, true);
}

void ChartNavigation::stepFrames(int delta) {
    if (!coder_ || blocked()) return;
    jump(coder_->frameCount() + delta, delta < 0);
}

void ChartNavigation::cancelWaiting() {
    waitTarget_.reset();
    strip_->setProgress(QString(), 0.0);
}

int ChartNavigation::targetOf(int frame) const {
    return pass_ ? std::min(frame, pass_->totalFrames()) : frame;
}

void ChartNavigation::jump(int frame, bool busy) {
    if (pass_ && !pass_->done() &&
        !pass_->checkpoints()->codesAtMostInterval(coder_->frameCount(), targetOf(frame))) {
        waitTarget_ = frame;
        waitBusy_ = busy;
        passTimer_.start();
        pollPass();
        return;
    }
    step(frame, busy);
}

void ChartNavigation::step(int frame, bool busy) {
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
    window_.redrawCharts();
    dropInputGivenDuringStep();
    if (const std::optional<int> latest = std::exchange(latestTarget_, std::nullopt)) {
        if (*latest != coder_->frameCount())
            QTimer::singleShot(0, this, [this, frame = *latest] { goToFrame(frame); });
    }
}

void ChartNavigation::dropInputGivenDuringStep() {
    const QScopedValueRollback dropping(droppingInput_, true);
    QCoreApplication::processEvents();
}

void ChartNavigation::pollPass() {
    if (!pass_) {
        passTimer_.stop();
        return;
    }
    strip_->update();
    if (waitTarget_) {
        const int frame = *waitTarget_;
        const int from = coder_->frameCount();
        if (pass_->done() || pass_->checkpoints()->codesAtMostInterval(from, targetOf(frame))) {
            cancelWaiting();
            step(frame, waitBusy_);
        } else {
            const int shown = frame == kLastFrame ? pass_->totalFrames() : frame;
            const int c = CheckpointStore::snapshotForShortJump(from, targetOf(frame));
            const double fraction = static_cast<double>(pass_->reached()) / c;
            strip_->setProgress(QStringLiteral("Kodowanie do ramki %1: %2% (Esc lub |< przerywa)")
                                    .arg(shown)
                                    .arg(static_cast<int>(fraction * 100.0)),
                                fraction);
        }
    }
    // The distances may still come after the coding ended.
    if (pass_->measuring()) pass_->measureFrames();
    if (!waitTarget_ && !pass_->running() && !pass_->measuring()) {
        passTimer_.stop();
        strip_->update();
    }
    // Last: the box lets the timer run again while it is open.
    if (pass_->failed()) tellPassFailure();
}

void ChartNavigation::tellPassFailure() {
    if (std::exchange(passFailureTold_, true)) return;
    dialogs_->information(
        &window_, QStringLiteral("Przegląd całego pliku zatrzymał się ") + passFailureText(*pass_) +
                      QStringLiteral("\nOkno działa dalej, bez przeglądu dalszych ramek."));
}

bool ChartNavigation::eventFilter(QObject* watched, QEvent* event) {
    if (!watched->isWidgetType() || static_cast<QWidget*>(watched)->window() != &window_)
        return false;
    auto* field = qobject_cast<QLineEdit*>(watched);
    if (field != nullptr && routeFieldEvent(*field, *event)) return true;
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) return false;
        // Only a field being edited, or a readout box clicked into to scroll
        // its text, keeps the cursor keys.
        const bool fieldHasCursorKeys =
            field != nullptr && (field == editing_ || field == scrolled_);
        if (handleNavigationKey(key->key(), field != nullptr, fieldHasCursorKeys)) return true;
    } else if (event->type() == QEvent::Wheel &&
               (watched == &timePlot_ || watched == &spectrumPlot_)) {
        wheelAngle_ += static_cast<QWheelEvent*>(event)->angleDelta().y();
        const int notches = wheelAngle_ / kWheelStepAngle;
        wheelAngle_ -= notches * kWheelStepAngle;
        if (notches != 0) stepFrames(-notches);  // towards the user: later frames
        return true;
    }
    return QObject::eventFilter(watched, event);
}

// A field ("Ramka", "Skala") is being edited from a click into it or a key
// that changes its text until Enter, Escape or the focus leaves it. Meanwhile
// it has every key it takes (the cursor keys, Space); otherwise those act on
// the frames and the window's shortcuts, as in a readout box, which cannot be
// edited: its cursor keys scroll its text only once it was clicked into, until
// the focus leaves it. Escape ends the editing and puts
// back what the field showed, before it closes anything.
bool ChartNavigation::routeFieldEvent(QLineEdit& field, QEvent& event) {
    const bool editing = &field == editing_;
    switch (event.type()) {
        case QEvent::MouseButtonPress:
            if (field.isReadOnly()) {
                scrolled_ = &field;
            } else {
                editing_ = &field;
            }
            return false;
        case QEvent::FocusOut:
            if (editing) editing_ = nullptr;
            if (&field == scrolled_) scrolled_ = nullptr;
            return false;
        case QEvent::ShortcutOverride: {
            const int key = static_cast<QKeyEvent&>(event).key();
            // Space plays, A switches an A/B playback, Escape leaves.
            if (key != Qt::Key_Space && key != Qt::Key_Escape && key != Qt::Key_A) return false;
            if (editing) {
                event.accept();  // the field's: typed, or the end of the editing
            } else {
                event.ignore();  // the window's shortcut
            }
            return true;
        }
        case QEvent::KeyPress: {
            const auto& key = static_cast<QKeyEvent&>(event);
            if (editing && key.key() == Qt::Key_Escape) {
                while (field.isUndoAvailable()) field.undo();
                editing_ = nullptr;
                return true;
            }
            if (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) {
                editing_ = nullptr;
                return false;  // and "Odśwież"
            }
            const bool changesText = !key.text().isEmpty() && key.text().at(0).isPrint();
            const bool erases = key.key() == Qt::Key_Backspace || key.key() == Qt::Key_Delete;
            if (!field.isReadOnly() && (changesText || erases)) editing_ = &field;
            return false;
        }
        default:
            return false;
    }
}

bool ChartNavigation::handleNavigationKey(int key, bool inLineEdit, bool fieldHasCursorKeys) {
    switch (key) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (!inLineEdit) return false;
            window_.BT_refreshClick();
            return true;
        case Qt::Key_Left:
        case Qt::Key_Right:
            if (fieldHasCursorKeys) return false;  // the field's own cursor keys
            stepFrames(key == Qt::Key_Right ? 1 : -1);
            return true;
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            stepFrames(key == Qt::Key_PageDown ? kPageFrames : -kPageFrames);
            return true;
        case Qt::Key_Home:
            if (fieldHasCursorKeys) return false;
            if (coder_ && !blocked()) jump(1, false);
            return true;
        case Qt::Key_End:
            if (fieldHasCursorKeys) return false;
            if (coder_ && !blocked()) jump(kLastFrame, true);
            return true;
        default:
            return false;
    }
}

}  // namespace zorvel
