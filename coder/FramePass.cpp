// The background pass over an input.
#include "coder/FramePass.h"

#include <algorithm>
#include <limits>
#include <string>
#include <system_error>

#ifdef __linux__
#include <sys/resource.h>
#include <unistd.h>
#endif

#include "coder/LpDistortion.h"
#include "coder/SpeechCoder.h"
#include "sound/SpeechInput.h"
#include "sound/Wave.h"

namespace zorvel {

FrameSummary summarizeFrame(const FrameRecord& record, double frameSnr) {
    FrameSummary summary;
    summary.frameSnr = static_cast<float>(frameSnr);
    double E = 0.0;
    for (double s : record.speech) E += s * s;
    summary.energy = static_cast<float>(E);
    for (int a = 0; a < kSubframes; ++a) {
        summary.pitchLag[a] = static_cast<std::int16_t>(record.pitchLag[a]);
        summary.pitchGain[a] = static_cast<float>(record.pitchGain[a]);
        summary.codebookGain[a] = static_cast<float>(record.codebookGain[a]);
    }
    if (record.lpQuantised) {
        const double sdI = spectralDistortion(record.lpCoeffsI, record.lpCoeffsQuantisedI);
        const double sdII = spectralDistortion(record.lpCoeffsII, record.lpCoeffsQuantisedII);
        summary.lpDistortion = static_cast<float>((sdI + sdII) / 2.0);
    }
    return summary;
}

FrameMeasureValues frameMeasureValues(const FrameMeasures& values) {
    FrameMeasureValues out;
    for (std::size_t i = 0; i < kSpectralMeasureCount; ++i)
        out[i] =
            values[i] ? static_cast<float>(*values[i]) : std::numeric_limits<float>::quiet_NaN();
    return out;
}

namespace {

std::string passFailureText(PassFailure kind, int frame, int totalFrames, int error) {
    const std::string after =
        "after frame " + std::to_string(frame) + " of " + std::to_string(totalFrames);
    if (kind == PassFailure::inputUnreadable)
        return "the input could not be read " + after + ": " +
               std::generic_category().message(error);
    return "the input ended " + after + ": it was changed while it was coded";
}

}  // namespace

FramePassError::FramePassError(PassFailure kind, int frame, int totalFrames, int error)
    : FileError(passFailureText(kind, frame, totalFrames, error), error),
      kind_(kind),
      frame_(frame),
      totalFrames_(totalFrames) {}

int wholeFramesOf(const std::filesystem::path& input) {
    constexpr std::int64_t kMostFrames = 1 << 30;  // far beyond any recording
    return static_cast<int>(std::min(framesInFile(input), kMostFrames));
}

FramePass::FramePass(const std::filesystem::path& input, CoderMode mode,
                     const CoderSettings& settings)
    : input_(input), mode_(mode), settings_(settings) {
    std::error_code error;
    inputSize_ = std::filesystem::file_size(input, error);
    inputTime_ = std::filesystem::last_write_time(input, error);
    totalFrames_ = wholeFramesOf(input);
    coder_ = std::make_unique<SpeechCoder>(input, mode, settings_);
    checkpoints_ = std::make_shared<CheckpointStore>(coder_->mode(), settings_);
    coder_->setCheckpoints(checkpoints_);
    summaries_.resize(static_cast<std::size_t>(totalFrames_));
    measures_.resize(static_cast<std::size_t>(totalFrames_));
    if (totalFrames_ == 0) done_ = true;
}

FramePass::~FramePass() { stop(); }

bool FramePass::matches(const std::filesystem::path& input, CoderMode mode,
                        const CoderSettings& settings) const {
    std::error_code error;
    const auto size = std::filesystem::file_size(input, error);
    if (error) return false;
    const auto time = std::filesystem::last_write_time(input, error);
    if (error) return false;
    return input == input_ && mode == mode_ && settings == settings_ && size == inputSize_ &&
           time == inputTime_;
}

void FramePass::start() {
    if (worker_.joinable() || failed() || (done() && !measuring())) return;
    stopRequested_.store(false, std::memory_order_relaxed);
    workerActive_.store(true, std::memory_order_release);
    worker_ = std::thread([this] { run(); });
}

void FramePass::measureFrames() {
    measuresWanted_.store(true, std::memory_order_release);
    // A worker that ended (with the coding, or just before this call) is
    // started again for the distances; a stopped pass waits for start().
    if (worker_.joinable() && !workerActive_.load(std::memory_order_acquire) && measuring()) {
        worker_.join();
        start();
    }
}

void FramePass::publishMeasures(int frame, const FrameRecord& record) {
    measures_[static_cast<std::size_t>(frame - 1)] =
        frameMeasureValues(measureRecord(record, SaveOption::synthesized));
    measured_.store(frame, std::memory_order_release);
}

void FramePass::measureNextCodedFrame() {
    const int frame = measured_.load(std::memory_order_relaxed) + 1;
    if (!measureCoder_) {
        measureCoder_ = std::make_unique<SpeechCoder>(input_, mode_, settings_);
        measureCoder_->setCheckpoints(checkpoints_);
    }
    const FrameStep step = measureCoder_->frameCount() == frame - 1
                               ? measureCoder_->nextFrame()
                               : measureCoder_->goToFrame(frame);
    if (step == FrameStep::endOfInput || measureCoder_->frameCount() != frame) {
        if (const int error = measureCoder_->inputReadError(); error != 0)
            throw FramePassError(PassFailure::inputUnreadable, measureCoder_->frameCount(),
                                 totalFrames_, error);
        throw FramePassError(PassFailure::inputShortened, measureCoder_->frameCount(),
                             totalFrames_);
    }
    publishMeasures(frame, measureCoder_->currentFrame());
}

void FramePass::stop() {
    if (!worker_.joinable()) return;
    stopRequested_.store(true, std::memory_order_relaxed);
    worker_.join();
}

void FramePass::run() {
#ifdef __linux__
    // Below the window's own thread, which codes the steps the user waits for.
    constexpr int kBackgroundNice = 10;
    setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kBackgroundNice);
#endif
    try {
        codeAndMeasure();
    } catch (...) {
        // Handed to the window, which words it; its own coder still works,
        // only without the overview beyond this frame.
        failure_ = std::current_exception();
        failed_.store(true, std::memory_order_release);
        done_.store(true, std::memory_order_release);
    }
    measureCoder_.reset();  // its records are large; made again when needed
    workerActive_.store(false, std::memory_order_release);
}

void FramePass::codeAndMeasure() {
    int frame = reached_.load(std::memory_order_relaxed);
    while (frame < totalFrames_ && !stopRequested_.load(std::memory_order_relaxed)) {
        if (measuresWanted() && measured() < frame) {
            measureNextCodedFrame();
            continue;
        }
        if (coder_->nextFrame() == FrameStep::endOfInput) {
            if (const int error = coder_->inputReadError(); error != 0)
                throw FramePassError(PassFailure::inputUnreadable, frame, totalFrames_, error);
            throw FramePassError(PassFailure::inputShortened, frame, totalFrames_);
        }
        summaries_[frame] = summarizeFrame(coder_->currentFrame(), coder_->frameSnr());
        ++frame;
        reached_.store(frame, std::memory_order_release);
        if (measuresWanted() && measured() == frame - 1)
            publishMeasures(frame, coder_->currentFrame());
    }
    if (frame >= totalFrames_) done_.store(true, std::memory_order_release);
    // Asked for after the coding ended, or while it ended: the rest.
    while (measuresWanted() && measured() < frame &&
           !stopRequested_.load(std::memory_order_relaxed))
        measureNextCodedFrame();
}

}  // namespace zorvel
