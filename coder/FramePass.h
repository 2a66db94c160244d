// FramePass: a background pass over one input. A worker thread codes the
// whole input once with its own coder, filling a checkpoint store that other
// coders of the same input and setting share (so that any jump codes at most
// one checkpoint interval) and a summary of every frame, from which the
// whole-file overview is drawn. The chart window runs one behind its coder.
//
// Threads: only the worker touches the pass's coder while it runs; stop()
// joins it, and a later start() continues where it stopped, so nothing is
// coded twice. The summaries are written by the worker before it publishes
// the number of frames done (release), and read by the window only below that
// number (acquire); the checkpoint store has its own lock.
//
// The spectral distances of every frame (coder/FrameDistances.h, s(n)
// against s'(n)) are computed only once asked for (measureFrames): the pass
// then measures each frame it codes, and with a second coder on the shared
// checkpoints goes back over the frames it coded before, from frame 1. They
// are published like the summaries, below a count of their own.
//
// A pass that fails ends there: it is done, failed() is true, and failure()
// holds what was thrown, for the window to word: a FramePassError when the
// input could not be read further or ended before the frames it had when the
// pass began, or whatever a stage threw. A failed pass is not started again.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <limits>
#include <memory>
#include <span>
#include <thread>
#include <vector>

#include "coder/Checkpoints.h"
#include "coder/Frame.h"
#include "coder/FrameDistances.h"
#include "files/FileError.h"

namespace zorvel {

class SpeechCoder;

// What the overview shows of one frame.
struct FrameSummary {
    float frameSnr = 0.0f;  // dB
    float energy = 0.0f;    // sum of s(n)^2 over the frame
    std::array<std::int16_t, kSubframes> pitchLag{};
    std::array<float, kSubframes> pitchGain{};
    std::array<float, kSubframes> codebookGain{};
    // The spectral distortion of the frame's quantised LP against the analysed
    // (coder/LpDistortion.h) in dB: the mean of the two sets' where the mode
    // analyses two (set I equals set II otherwise, and so does the mean); NaN
    // in a frame whose LP is not quantised.
    float lpDistortion = std::numeric_limits<float>::quiet_NaN();
};

FrameSummary summarizeFrame(const FrameRecord& record, double frameSnr);

// The six spectral distances of a frame, in the order of SpectralMeasure; NaN
// where the frame has none.
using FrameMeasureValues = std::array<float, kSpectralMeasureCount>;
FrameMeasureValues frameMeasureValues(const FrameMeasures& values);

// Whole frames of an input file: the bytes after byte 60, 320 per frame.
int wholeFramesOf(const std::filesystem::path& input);

// Why a pass could not code its input to the end.
enum class PassFailure {
    inputShortened,   // the input ended early: it was changed while it was coded
    inputUnreadable,  // reading the input failed (error() says why)
};

class FramePassError : public FileError {
  public:
    // `frame`: the last frame coded; `totalFrames`: the frames the input had
    // when the pass began; `error`: the system's error number of a failed read.
    FramePassError(PassFailure kind, int frame, int totalFrames, int error = 0);
    PassFailure kind() const noexcept { return kind_; }
    int frame() const noexcept { return frame_; }
    int totalFrames() const noexcept { return totalFrames_; }

  private:
    PassFailure kind_;
    int frame_;
    int totalFrames_;
};

class FramePass {
  public:
    FramePass(const std::filesystem::path& input, CoderMode mode,
              const CoderSettings& settings = {});
    ~FramePass();
    FramePass(const FramePass&) = delete;
    FramePass& operator=(const FramePass&) = delete;

    // Whether this pass codes that input (same path, size and time of change)
    // with that mode and those settings.
    bool matches(const std::filesystem::path& input, CoderMode mode,
                 const CoderSettings& settings = {}) const;

    // Starts the worker, or continues it after stop(); nothing when done.
    void start();
    // Asks the worker to stop and waits for it: it checks after every frame.
    void stop();
    bool running() const { return worker_.joinable() && !done_.load(std::memory_order_acquire); }
    // Done: coded to the end, or failed.
    bool done() const { return done_.load(std::memory_order_acquire); }
    bool failed() const { return failed_.load(std::memory_order_acquire); }
    // What ended a failed pass (a FileError, say); empty while failed() is false.
    std::exception_ptr failure() const { return failed() ? failure_ : nullptr; }

    // Whole frames of the input, known before coding.
    int totalFrames() const { return totalFrames_; }
    // Frames 1..reached() are coded and summarized.
    int reached() const { return reached_.load(std::memory_order_acquire); }
    // The summary of frame 1..reached().
    const FrameSummary& summary(int frame) const { return summaries_[frame - 1]; }
    // The summaries of frames 1..reached(), as far as the pass has come now.
    std::span<const FrameSummary> summaries() const {
        return {summaries_.data(), static_cast<std::size_t>(reached())};
    }

    const std::shared_ptr<CheckpointStore>& checkpoints() const { return checkpoints_; }

    // Asks for the spectral distances of every frame, and starts the worker
    // again for them if it has ended; from the window's thread, which calls
    // it again while measuring() (a worker may end just as they are asked for).
    void measureFrames();
    bool measuresWanted() const { return measuresWanted_.load(std::memory_order_acquire); }
    // Frames 1..measured() have their distances.
    int measured() const { return measured_.load(std::memory_order_acquire); }
    // Asked for and not yet all there, nor to come from a failed pass.
    bool measuring() const { return measuresWanted() && measured() < totalFrames_ && !failed(); }
    // The distances of frames 1..measured().
    std::span<const FrameMeasureValues> measures() const {
        return {measures_.data(), static_cast<std::size_t>(measured())};
    }

  private:
    void run();
    // One more frame measured by the second coder, which goes back over the
    // frames coded before the distances were asked for.
    void measureNextCodedFrame();
    void publishMeasures(int frame, const FrameRecord& record);
    // The coding and measuring, in run()'s worker; throws what ends it.
    void codeAndMeasure();

    std::filesystem::path input_;
    CoderMode mode_;
    CoderSettings settings_;
    std::uintmax_t inputSize_ = 0;
    std::filesystem::file_time_type inputTime_{};
    int totalFrames_ = 0;
    std::unique_ptr<SpeechCoder> coder_;
    std::shared_ptr<CheckpointStore> checkpoints_;
    std::vector<FrameSummary> summaries_;
    std::unique_ptr<SpeechCoder> measureCoder_;  // the worker's, made when needed
    std::vector<FrameMeasureValues> measures_;
    std::atomic<bool> measuresWanted_{false};
    std::atomic<int> measured_{0};
    std::atomic<bool> workerActive_{false};
    std::atomic<int> reached_{0};
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> done_{false};
    std::exception_ptr failure_;  // written before failed_ is set
    std::atomic<bool> failed_{false};
    std::thread worker_;
};

}  // namespace zorvel
