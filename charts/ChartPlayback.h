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
#include <thread>
#include <vector>

#include "charts/AudioOutput.h"
#include "coder/CoderMode.h"
#include "coder/Frame.h"

namespace zorvel {

enum class PlaybackSignal { Speech, Synthesized, PostProcessed };  // s(n), s'(n), sp(n)

// The signal of the frames shown, as 160 or 320 samples: the previous and
// then the current frame in the two-frame view, else the current frame.
std::vector<double> shownSamples(const FrameRecord& previous, const FrameRecord& current,
                                 PlaybackSignal signal, bool twoFrames);

// What a coder of its own gives for frames `firstFrame`.. to the end of the
// input (frames count from 1); nothing once `cancel` is set.
struct RestOfFile {
    std::filesystem::path input;
    CoderMode mode = CoderMode::rate12_2;
    bool noAdaptiveCodebook = false;
    int firstFrame = 1;
};
std::optional<std::vector<double>> restOfFileSamples(const RestOfFile& request,
                                                     PlaybackSignal signal,
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

    bool preparing() const { return worker_.joinable() && !workerDone_; }
    bool active() const { return preparing() || sink_->playing(); }

  signals:
    void activeChanged(bool active);

  private:
    void start(const QByteArray& pcm);
    void endWorker();

    std::unique_ptr<AudioSink> sink_;
    std::function<void(const QString&)> inform_;
    std::atomic<bool> cancel_{false};
    std::atomic<bool> workerDone_{true};
    std::jthread worker_;
    unsigned long request_ = 0;  // the prepared samples of an older request are dropped
};

}  // namespace zorvel
