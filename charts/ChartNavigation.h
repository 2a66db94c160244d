// ChartNavigation: the chart window's movement through long inputs. It keeps
// the background pass over the window's file and the overview strip below
// the form; it moves the window's coder through jump(), which waits for the
// pass when no checkpoint is near the frame yet (with progress in the strip,
// cancelled by Esc or "|<"); and it takes the keys (Left/Right one frame,
// PgUp/PgDn ten, Home/End first/last, Enter in "Ramka" or "Skala" as
// "Odśwież") and the wheel over the plots.
//
// A pass that fails is told once, in an information box: where it stopped and
// why, in Polish (charts/SystemReasons.h); the window goes on without the
// overview beyond that frame.
//
// Input given while a step runs is dropped, never turned into further steps:
// after each step the events that arrived meanwhile are processed with the
// navigation blocked, and while a jump waits for the pass only Esc, "|<" and
// closing the window act.
#pragma once

#include <QLineEdit>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <limits>
#include <memory>
#include <optional>

#include "charts/ChartDialogs.h"
#include "coder/CoderMode.h"
#include "coder/CoderSettings.h"

class QWidget;

namespace zorvel {

class ChartWindow;
class FramePass;
class OverviewStrip;
class SpeechCoder;

class ChartNavigation : public QObject {
    Q_OBJECT
  public:
    // A jump to the last frame of the input, whatever its number.
    static constexpr int kLastFrame = std::numeric_limits<int>::max();

    // Puts the strip below every control of `window`, which grows by it, and
    // watches the keys of the window and its controls and the wheel over the
    // two plots. `coder` and `dialogs` are the window's own, which each setup
    // and setDialogs replace.
    ChartNavigation(ChartWindow& window, QWidget& timePlot, QWidget& spectrumPlot,
                    const std::unique_ptr<SpeechCoder>& coder,
                    const std::unique_ptr<ChartDialogs>& dialogs);
    ~ChartNavigation() override;

    // The pass over a file, kept when it is the same file and settings as the
    // last one (it goes on from where it stopped), started or continued.
    void startPass(const QString& fileName, CoderMode mode, const CoderSettings& settings = {});
    // With the window: ends a wait and stops the pass.
    void stopPass();
    const FramePass* pass() const { return pass_.get(); }
    OverviewStrip& strip() const { return *strip_; }

    // Moves to a frame: at once when a checkpoint (or the current frame) is
    // near, else once the pass has reached one. `busy` shows the hourglass.
    void jump(int frame, bool busy);
    // As jump, for the strip's click and drag: given while a step runs, the
    // latest such frame is gone to after the step.
    void goToFrame(int frame);
    void stepFrames(int delta);
    // The frame a waiting jump goes to, if any.
    std::optional<int> waitingFor() const { return waitTarget_; }
    void cancelWaiting();
    // While the input given during a step is dropped.
    bool droppingInput() const { return droppingInput_; }
    // Steps and jumps are refused while input is dropped or a jump waits.
    bool blocked() const { return droppingInput_ || waitTarget_.has_value(); }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void step(int frame, bool busy);
    void pollPass();
    // Tells of a failed pass, once for each pass.
    void tellPassFailure();
    void dropInputGivenDuringStep();
    // Whether the key was a navigation key (acted on or dropped); the cursor
    // keys are left to a field that has them.
    bool handleNavigationKey(int key, bool inLineEdit, bool fieldHasCursorKeys);
    // Follows which field is being edited and routes its keys; true when the
    // event was dealt with here.
    bool routeFieldEvent(QLineEdit& field, QEvent& event);
    // The frame a jump to `frame` ends on, as far as the input is known.
    int targetOf(int frame) const;

    ChartWindow& window_;
    QWidget& timePlot_;
    QWidget& spectrumPlot_;
    const std::unique_ptr<SpeechCoder>& coder_;
    const std::unique_ptr<ChartDialogs>& dialogs_;
    std::unique_ptr<FramePass> pass_;
    OverviewStrip* strip_ = nullptr;  // a child of the window
    QTimer passTimer_;
    bool passFailureTold_ = false;
    std::optional<int> waitTarget_;
    bool waitBusy_ = false;
    bool droppingInput_ = false;
    std::optional<int> latestTarget_;  // goToFrame given during a step
    int wheelAngle_ = 0;
    QPointer<QLineEdit> editing_;   // the field being edited, if any
    QPointer<QLineEdit> scrolled_;  // the readout box clicked into, if any
};

}  // namespace zorvel
