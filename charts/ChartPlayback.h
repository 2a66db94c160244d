// Playback of the chart window: s(n), s'(n) or sp(n) of the frames the time
// image shows, or of the whole file from the current frame on. The frames
// shown come from the window's records; the rest of the file is coded by a
// coder of its own on a worker thread, so the window's coder never moves.
// Starting while something plays or is being prepared stops it instead (a
// second press stops).
#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <thread>
#include <vector>

#include "charts/ABListening.h"
#include "charts/AudioOutput.h"
#include "coder/CoderMode.h"
#include "coder/CoderSettings.h"
#include "coder/Frame.h"

namespace zorvel {

// s(n), s'(n), sp(n), and the coding error e(n) = s(n) - s'(n).
enum class PlaybackSignal { Speech, Synthesized, PostProcessed, Error };

// The signal of the frames shown, as 160 or 320 samples: the previous and
// then the current frame in the two-frame view, else the current frame.
std::vector<double> shownSamples(const FrameRecord& previous, const FrameRecord& current,
                                 PlaybackSignal signal, bool twoFrames);

// What a coder of its own gives for frames `firstFrame`.. to the end of the
// input (frames count from 1); nothing once `cancel` is set.
struct RestOfFile {
    std::filesystem::path input;
    CoderMode mode = CoderMode::rate12_2;
    CoderSettings settings{};
    int firstFrame = 1;
};
std::optional<std::vector<double>> restOfFileSamples(const RestOfFile& request,
                                                     PlaybackSignal signal,
                                                     const std::atomic<bool>* cancel = nullptr);
// The same for several signals in one pass, in the order asked.
std::optional<std::vector<std::vector<double>>> restOfFileSignals(
    const RestOfFile& request, std::span<const PlaybackSignal> wanted,
    const std::atomic<bool>* cancel = nullptr);

class ChartPlayback : public QObject {
    Q_OBJECT
  public:
    // `inform` shows a message to the user (the no-device message).
    ChartPlayback(std::unique_ptr<AudioSink> sink, std::function<void(const QString&)> inform,
                  QObject* parent = nullptr);
    ~ChartPlayback() override;

    void setSink(std::unique_ptr<AudioSink> sink);
    AudioSink& sink() { return *sink_; }

    // Plays the samples, or stops when active.
    void toggleSamples(const std::vector<double>& samples);
    // Prepares the rest of the file on the worker and plays it, or stops when active.
    void toggleRestOfFile(const RestOfFile& request, PlaybackSignal signal);
    void stop();

    // A/B listening of `original` against `coded` (charts/ABListening.h), or
    // stops when active.
    void toggleComparison(std::vector<double> original, std::vector<double> coded);
    // The same for s(n) against `coded` from a frame to the end of the file,
    // prepared on the worker.
    void toggleRestOfFileComparison(const RestOfFile& request, PlaybackSignal coded);
    // Switches the side an A/B playback plays; false when none plays.
    bool switchSide();
    // The side heard while an A/B playback plays.
    std::optional<ListeningSide> side() const;

    bool preparing() const { return worker_.joinable() && !workerDone_; }
    bool active() const { return preparing() || sink_->playing(); }

  signals:
    void activeChanged(bool active);
    // An A/B playback started, switched sides or ended.
    void sideChanged();

  private:
    void start(const QByteArray& pcm);
    void startComparison(std::vector<double> original, std::vector<double> coded);
    // Tells the user when no device could play, and says so.
    bool deviceToldMissing();
    // Runs `prepare` on the worker and `play` with its result on the window's
    // thread, unless the request was stopped or replaced meanwhile.
    template <typename Result>
    void prepareThenPlay(std::function<std::optional<Result>()> prepare,
                         std::function<void(Result)> play);
    void endWorker();

    std::unique_ptr<AudioSink> sink_;
    std::function<void(const QString&)> inform_;
    std::atomic<bool> cancel_{false};
    std::atomic<bool> workerDone_{true};
    std::jthread worker_;
    unsigned long request_ = 0;   // the prepared samples of an older request are dropped
    std::shared_ptr<ABMix> mix_;  // the A/B playback's, while one plays
};

}  // namespace zorvel
