// SpeechCoder: an unquantised, double-precision ACELP analysis-by-synthesis
// coder built for one input file and one bit-rate mode. It moves through the
// input one 20 ms frame at a time and runs the fixed pipeline of stages, each
// of which reads and writes arrays of the current record and takes all its
// history from the previous one.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <span>

#include "coder/CoderMode.h"
#include "coder/Frame.h"

namespace zorvel {

inline constexpr int kInterpolationTaps = 61;  // 1/6-sample resolution, 10 samples each side
inline constexpr int kLpWindowSamples = 240;

// SaveOption: which signal an encoding run writes.
inline constexpr int kSaveSynthesized = 1;
inline constexpr int kSavePostProcessed = 2;

using LpWindow = std::array<double, kLpWindowSamples>;

class SpeechCoder {
  public:
    SpeechCoder(const std::filesystem::path& inputName, int mode);
    ~SpeechCoder();
    SpeechCoder(const SpeechCoder&) = delete;
    SpeechCoder& operator=(const SpeechCoder&) = delete;

    void reset();
    int goToFrame(int n);
    int nextFrame();
    void codeFrame();

    // The encoding run: codes the whole input and writes the chosen signal as
    // a WAV file with samples from byte 60. Returns 0 on success, 1 when the
    // input or output cannot be used or a read or write failed.
    int encodeFile(const std::filesystem::path& outputName, int saveOption);

    // 1 switches the adaptive codebook contribution off.
    std::uint8_t noAdaptiveCodebook = 0;

    int mode() const { return mode_; }
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

    // Frame stages, in pipeline order.
    void analyseLp();
    void findOpenLoopLags();
    void computeImpulseResponses();
    void computeLpResidual();
    // Subframe stages (a = 0..3), in pipeline order.
    void searchAdaptiveCodebook(int a);
    void computeLtpResidual(int a);
    void searchAlgebraicCodebook(int a);
    void buildExcitation(int a);
    void synthesizeSubframe(int a);
    void postFilterSubframe(int a);
    // Closing stage.
    void updateQualityMeasures();

    friend int readFrame(FrameRecord& record, SpeechCoder& coder);

  private:
    std::ifstream input;
    std::ofstream output;
    std::array<double, kInterpolationTaps> interpolationTable6_{};
    LpWindow lpWindowI_{};
    LpWindow lpWindowII_{};
    double signalEnergySum_ = 0.0;
    double noiseEnergySum_ = 0.0;
    int mode_ = 1;
    std::unique_ptr<FrameRecord> previousFrame_;
    std::unique_ptr<FrameRecord> currentFrame_;
    std::unique_ptr<FrameRecord> spareFrame_;  // where the next frame is read
    int frameCount_ = 0;
    double frameSnr_ = 0.0;
    double segmentalSnr_ = 0.0;
    double overallSnr_ = 0.0;
    Signal zeroSignal_{};
    Signal unitImpulse_{};
    std::filesystem::path inputName_;  // kept to refuse an output that is the input itself
};

// Levinson-Durbin, order 10: r[0..10] -> out[0..10] = a0..a10, out[11] = E10.
void levinsonDurbin(std::span<const double, kLpCoeffs> r, std::span<double, kLpCoeffs + 1> out);

// SNR in dB of `test` against `reference`; 0 when either energy is not positive.
double computeSnr(std::span<const double> reference, std::span<const double> test);

// Lag window lambda[0..10]: white-noise correction 1.0001 and a 60 Hz Gaussian.
const std::array<double, kLpCoeffs>& lagWindow();

// Analysis windows and interpolation table built by the constructor.
void buildLpWindows(int mode, LpWindow& windowI, LpWindow& windowII);
std::array<double, kInterpolationTaps> buildInterpolationTable6();

}  // namespace zorvel
