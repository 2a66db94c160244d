// SpeechCoder: an unquantised, double-precision ACELP analysis-by-synthesis
// coder built for one input file and one bit-rate mode. It moves through the
// input one 20 ms frame at a time and runs the fixed pipeline of stages, each
// of which reads and writes arrays of the current record and takes all its
// history from the previous one.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <span>
#include <string>

#include "coder/AnalyseLp.h"
#include "coder/Checkpoints.h"
#include "coder/CoderMode.h"
#include "coder/CoderSettings.h"
#include "coder/Filters.h"
#include "coder/Frame.h"
#include "coder/GainQuantiser.h"
#include "coder/HighPass.h"
#include "coder/InterpolationTable.h"
#include "coder/LagCodes.h"
#include "coder/QuantiserTables.h"
#include "sound/SpeechInput.h"

namespace zorvel {

// Which signal an encoding run writes.
enum class SaveOption {
    synthesized,    // the synthesized speech before post-processing
    postProcessed,  // after it
};

// What a step through the input found.
enum class FrameStep {
    coded,       // the frame asked for is current
    endOfInput,  // the input ended first; the last complete frame stays current
};

// How an encoding run ended.
enum class RunResult {
    completed,
    failed,        // the input or output could not be used, or a read or write failed
    inputChanged,  // written front to back, the input's length changed after the header
    stopped,       // frameWritten asked the run to stop; a staged output is discarded
};

// The order in which codeFrame runs the stages; both give the same records
// bit for bit (FrameSchedule.cpp).
enum class FrameSchedule {
    stageOrder,  // one stage after another, as they are defined
    sideBySide,  // independent filters of neighbouring stages paired: faster
};

struct SynthesisBlock;
struct PostFilterBlocks;

// The tables the quantised coder of `settings` takes: those of the setting
// quantiser-tables, read and checked for every mode, or the built-in ones.
// Throws FileError (QuantiserTablesError when the file is no tables of every
// mode's quantisers) with a message that completes "<file>: ...".
std::shared_ptr<const QuantiserTables> quantiserTablesOf(const CoderSettings& settings);

// Why the quantised coder of `settings` cannot be made, "<file>: <reason>";
// nothing when it can or the settings do not quantise.
std::optional<std::string> quantiserTablesProblem(const CoderSettings& settings);

class SpeechCoder {
  public:
    // The input is read from byte 60 on; an input that is not a regular file
    // (or cannot be read) gives a coder without frames. The settings are the
    // coder's for its life; settings out of their ranges throw
    // InvalidSettings.
    SpeechCoder(const std::filesystem::path& inputName, CoderMode mode,
                const CoderSettings& settings = {});
    // The same on an input already opened, e.g. an in-memory stream. The
    // quantised coder takes `tables` where given, the built-in ones
    // otherwise; tables that lack one of the mode's throw
    // QuantiserTablesError.
    SpeechCoder(SpeechInput input, CoderMode mode, const CoderSettings& settings = {},
                std::shared_ptr<const QuantiserTables> tables = nullptr);
    ~SpeechCoder();
    SpeechCoder(const SpeechCoder&) = delete;
    SpeechCoder& operator=(const SpeechCoder&) = delete;

    void reset();
    FrameStep goToFrame(int n);
    [[nodiscard]] FrameStep nextFrame();
    void codeFrame();

    // The encoding run: codes the whole input and writes the chosen signal as
    // a WAV file with samples from byte 60. The file is staged beside
    // `outputName` and replaces whatever regular file had that name only once
    // complete: a run that fails leaves the old file (or none) and no
    // temporary. An existing output that is not a regular file (a device, a
    // FIFO) is written in place, front to back; a FIFO that no one reads
    // fails the run at once instead of waiting for a reader.
    [[nodiscard]] RunResult encodeFile(const std::filesystem::path& outputName,
                                       SaveOption saveOption);
    // The same run into `stream`, opened by the caller for writing and
    // seeking; the caller closes it. The input is closed at the end.
    [[nodiscard]] RunResult encodeFile(std::ostream& stream, SaveOption saveOption);
    // The same bytes written front to back into a stream that need not seek
    // (a pipe, a device): the header first, stating the whole frames the input
    // holds when the run starts, then the samples of every frame as it is
    // coded, so that only a frame's bytes are held. An input that is shorter
    // or longer by the end no longer matches the header already written: the
    // run stops at the header's frames and reports inputChanged.
    [[nodiscard]] RunResult encodeFileInOrder(std::ostream& stream, SaveOption saveOption);

    // Told, when set, of every frame an encoding run has written (the count
    // so far); a false answer stops the run (RunResult::stopped).
    std::function<bool(std::int64_t framesWritten)> frameWritten;
    // The system's error number behind the last run's failure (ENOSPC,
    // EACCES, ...), 0 when it gave none or the run did not fail.
    int runError() const { return runError_; }
    // The system's error number of the input's failed read in the last run
    // (EIO, ...): the run failed on its input, not its output. 0 when the
    // run read its input to the end.
    int runReadError() const { return runReadError_; }
    // The system's error number of a failed read of the input (EIO, ...); 0
    // when reading has not failed (an end of input is no failure).
    int inputReadError() const { return input.readError(); }

    // The quantised coder (quantisation on) runs its own order of the stages
    // whatever the schedule.
    FrameSchedule schedule = FrameSchedule::sideBySide;

    // Set before the first frame, a training pass of the quantised coder:
    // its gains stay unquantised, and each subframe's are told here.
    std::function<void(const GainObservation&)> gainObserver;

    // The checkpoints kept while coding and used by goToFrame. By default the
    // coder keeps its own; a store given here (for instance one filled by
    // another coder of the same input, mode and setting) is used instead, and
    // none (nullptr) keeps none. A store made for other settings is replaced
    // by a fresh one of the coder's own.
    void setCheckpoints(std::shared_ptr<CheckpointStore> store);
    const std::shared_ptr<CheckpointStore>& checkpoints() const { return checkpoints_; }

    CoderMode mode() const { return mode_; }
    // The settings the coder was made with.
    const CoderSettings& settings() const { return settings_; }
    int frameCount() const { return frameCount_; }
    const FrameRecord& previousFrame() const { return *previousFrame_; }
    const FrameRecord& currentFrame() const { return *currentFrame_; }
    double frameSnr() const { return frameSnr_; }
    double segmentalSnr() const { return segmentalSnr_; }
    double overallSnr() const { return overallSnr_; }
    double signalEnergySum() const { return signalEnergySum_; }
    double noiseEnergySum() const { return noiseEnergySum_; }
    const std::array<double, kInterpolationTaps>& interpolationTable6() const {
        return interpolationTable6_;
    }
    const LpWindow& lpWindowI() const { return lpWindowI_; }
    const LpWindow& lpWindowII() const { return lpWindowII_; }
    const Signal& zeroSignal() const { return zeroSignal_; }
    const Signal& unitImpulse() const { return unitImpulse_; }

    // Writable records, for driving single stages on prepared data.
    FrameRecord& previousFrame() { return *previousFrame_; }
    FrameRecord& currentFrame() { return *currentFrame_; }

    // Frame stages, in pipeline order. The high-pass and the LP
    // interpolation run only when the settings ask for them.
    void highPassInput();
    void analyseLp();
    void interpolateLp();
    void findOpenLoopLags();
    void computeImpulseResponses();
    void computeLpResidual();
    // Where the coder quantises, after analyseLp.
    void quantiseLp();
    // Subframe stages (a = 0..3), in pipeline order.
    void searchAdaptiveCodebook(int a);
    void computeLtpResidual(int a);
    void searchAlgebraicCodebook(int a);
    void buildExcitation(int a);
    void synthesizeSubframe(int a);
    void postFilterSubframe(int a);
    // Where the coder quantises, after the algebraic codebook (with the
    // pair coding of gains, after that of the pair's second subframe).
    void quantiseGains(int a);
    // Closing stage.
    void updateQualityMeasures();

  private:
    // The next frame's samples of the chosen signal as 16-bit little-endian
    // bytes; false at the end of the input.
    bool codeFrameBytes(SaveOption saveOption, std::array<char, 2 * kFrameSamples>& bytes);
    // Whether a run goes on after `framesWritten` frames: frameWritten's answer.
    bool goesOn(std::int64_t framesWritten) const;
    // The frame stages, up to the subframes'.
    void analyseFrame();
    void codeFrameInStageOrder();
    void codeFrameSideBySide();
    // The quantised coder's frame (QuantiseGains.cpp).
    void codeFrameQuantised();
    bool quantising() const { return settings_.quantisation; }
    // The code of subframe a's lag: absolute, or relative to the lag of
    // subframe a - 1 of the current record.
    LagCodebook lagCodebook(int a) const;
    // The gain gp takes before the algebraic codebook: quantised where it is
    // sent alone.
    double pitchGainBeforeCodebook(int a, double gp);
    void keepUnscaledAdaptive(int a, std::span<const double, kSubframeSamples> v,
                              std::span<const double, kSubframeSamples> y);
    void keepUnscaledCode(int a, std::span<const double, kSubframeSamples> c,
                          std::span<const double, kSubframeSamples> z);
    // The adaptive vector of subframe a formed again from the excitation
    // before it (its lag as found).
    void rebuildAdaptiveVector(int a);
    // The excitation with the applied gains, the adaptive contribution's
    // filter memory, the synthesis and the post-filter of subframe a.
    void finishSubframe(int a);
    void useQuantiserTables(std::shared_ptr<const QuantiserTables> tables);
    // The synthesis of subframe a (< 3) and the next subframe's zero-input
    // response side by side.
    void synthesizeSubframeWithNextZeroInput(int a);
    SynthesisBlock synthesisBlock(int a);
    SynthesisBlock zeroInputBlock(int a);
    // searchAdaptiveCodebook up to the filtering of the adaptive
    // contribution, and that filtering's block. The zero-input response of
    // subframe a is formed here, or was formed with the previous subframe's
    // synthesis.
    enum class ZeroInput { toForm, formed };
    void findAdaptiveContribution(int a, ZeroInput zeroInputResponse);
    SynthesisBlock adaptiveContributionBlock(int a);
    // The adaptive contribution of subframe a (>= 1) filtered side by side
    // with the post-filter of subframe a - 1, which needs nothing of a.
    void filterAdaptiveContributionWithPostFilter(int a);
    // postFilterSubframe's formant filter blocks, and its tilt compensation.
    PostFilterBlocks postFilterBlocks(int a);
    void compensateTilt(int a);

    CheckpointStore* checkpointsForSettings();
    void keepCheckpoint();
    void restoreNearestCheckpoint(int n);
    std::int64_t inputPosition();
    void seekInput(std::int64_t position);

  private:
    SpeechInput input;
    std::array<double, kInterpolationTaps> interpolationTable6_{};
    LpWindow lpWindowI_{};
    LpWindow lpWindowII_{};
    double signalEnergySum_ = 0.0;
    double noiseEnergySum_ = 0.0;
    CoderMode mode_;
    CoderSettings settings_;
    FilterFactors weighting_;   // W(z) = A(z/gamma1)/A(z/gamma2)
    FilterFactors postFilter_;  // the formant post-filter's
    Biquad highPass_;           // the input's high-pass, when the settings have one
    std::unique_ptr<FrameRecord> previousFrame_;
    std::unique_ptr<FrameRecord> currentFrame_;
    std::unique_ptr<FrameRecord> spareFrame_;  // where the next frame is read
    int frameCount_ = 0;
    int runError_ = 0;
    int runReadError_ = 0;
    double frameSnr_ = 0.0;
    double segmentalSnr_ = 0.0;
    double overallSnr_ = 0.0;
    Signal zeroSignal_{};
    Signal unitImpulse_{};
    bool keepsCheckpoints_ = true;
    std::shared_ptr<CheckpointStore> checkpoints_;

    // The quantised coder's tables and gain quantiser; none otherwise.
    std::shared_ptr<const QuantiserTables> quantiserTables_;
    std::unique_ptr<GainQuantiser> gainQuantiser_;
    // Each subframe's vectors before their gains, kept by the searches of
    // the frame being coded for the gains as sent.
    using SubframeVector = std::array<double, kSubframeSamples>;
    struct UnscaledVectors {
        std::array<SubframeVector, kSubframes> adaptive;          // v
        std::array<SubframeVector, kSubframes> adaptiveFiltered;  // y = v * h
        std::array<SubframeVector, kSubframes> code;              // c
        std::array<SubframeVector, kSubframes> codeFiltered;      // z = c * h
        std::array<int, kSubframes> pitchIndex;                   // the scalar coding's gp
    };
    UnscaledVectors unscaled_{};
};

}  // namespace zorvel
