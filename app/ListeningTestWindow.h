// The window of a listening test, trial by trial: each trial is one input,
// its stimuli (the conditions, the hidden reference, the two anchors) under
// the letters A, B, ... in the trial's own random order (listening/TrialOrder.h)
// beside the open reference "Wzorzec", each with a slider 0..100 beside the
// scale of the five quality words. A letter or "Wzorzec" switches what plays
// at the same sample position (charts/StimulusMix.h, loudness matched by RMS);
// a span of the item plays once or in a loop. A trial's ratings are appended
// to the ratings file when the listener goes on from a trial where every
// slider was set, and only then: a test left midway keeps the trials it
// finished. The last trial ends on the results of the ratings file.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "app/ListeningSetupDialog.h"
#include "charts/AudioOutput.h"
#include "listening/TestPlan.h"

class QButtonGroup;
class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QSlider;
class QStackedWidget;

namespace zorvel {

class ListeningResultsView;
class StimulusMix;

// The samples of a trial's stimuli in the order of testStimuli, the first
// one also the open reference.
using TrialSamples = std::vector<std::vector<double>>;
// Reads the input, codes it under each condition and makes the anchors;
// throws FileError when the input cannot be read.
TrialSamples makeTrialSamples(const std::filesystem::path& input,
                              const std::vector<Stimulus>& stimuli, std::uint64_t seed, int trial);

class ListeningTestWindow : public QWidget {
    Q_OBJECT
  public:
    // `inform` shows a message to the user.
    ListeningTestWindow(ListeningTestPlan plan, std::unique_ptr<AudioSink> sink,
                        std::function<void(const QString&)> inform, QWidget* parent = nullptr);
    ~ListeningTestWindow() override;

    // Prepares the first trial; false (the user told why) when it cannot.
    bool start();

    int trial() const { return trial_; }  // 1, 2, ...; 0 before the start
    int trials() const { return static_cast<int>(plan_.inputs.size()); }
    // The stimuli as lettered in this trial: position p plays presented()[p].
    std::vector<Stimulus> presented() const;
    bool showingResults() const;

    // The controls, for the tests.
    QSlider& slider(int position) const;
    QPushButton& letterButton(int position) const;
    QPushButton& referenceButton() const { return *reference_; }
    QPushButton& playButton() const { return *play_; }
    QPushButton& nextButton() const { return *next_; }
    QCheckBox& loopBox() const { return *loop_; }
    QDoubleSpinBox& spanFrom() const { return *from_; }
    QDoubleSpinBox& spanTo() const { return *to_; }
    const QLabel& status() const { return *status_; }
    const ListeningResultsView& results() const { return *results_; }
    // The stream of the trial; nothing before the start.
    StimulusMix* mix() const { return mix_.get(); }

    // Plays the open reference (-1) or the stimulus at `position`, from where
    // the stream is, starting the sound when silent.
    void listenTo(int position);
    void togglePlay();
    // Appends the trial's ratings and goes to the next trial or the results.
    void finishTrial();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    bool prepareTrial(int trial);
    void buildTrialControls();
    void updateStatus();
    void applySpan();
    void showResults();
    void stopSound();

    ListeningTestPlan plan_;
    std::vector<Stimulus> stimuli_;  // in the order of testStimuli
    std::unique_ptr<AudioSink> sink_;
    std::function<void(const QString&)> inform_;
    int trial_ = 0;
    std::vector<int> order_;  // position -> index into stimuli_
    std::vector<bool> rated_;
    std::shared_ptr<StimulusMix> mix_;

    QStackedWidget* pages_;
    QWidget* trialPage_;
    QLabel* title_;
    QWidget* grid_;  // the buttons and sliders of the trial
    QButtonGroup* group_;
    QPushButton* reference_ = nullptr;
    std::vector<QPushButton*> letters_;
    std::vector<QSlider*> sliders_;
    std::vector<QLabel*> values_;
    QPushButton* play_;
    QCheckBox* loop_;
    QDoubleSpinBox* from_;
    QDoubleSpinBox* to_;
    QLabel* status_;
    QPushButton* next_;
    ListeningResultsView* results_;
};

}  // namespace zorvel
