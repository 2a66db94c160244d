// The coder object: construction, reset and movement through the input.
// codeFrame only orders the stages; each stage lives in its own file.
#include "coder/Zorvellib.h"

#include <cmath>
#include <numbers>
#include <utility>

#include "sound/Wave.h"

namespace zorvel {

std::array<double, kInterpolationTaps> buildInterpolationTable6() {
    constexpr double pi = std::numbers::pi;
    std::array<double, kInterpolationTaps> table{};
    table[0] = 1.0;
    for (int i = 1; i < kInterpolationTaps - 1; ++i) {
        const double hamming = 0.54 + 0.46 * std::cos(2.0 * pi * i / 60.0);
        const double x = pi * i / 6.0;
        table[i] = hamming * std::sin(x) / x;
    }
    table[kInterpolationTaps - 1] = 0.0;
    return table;
}

SpeechCoder::SpeechCoder(const std::filesystem::path& inputName, int mode)
    : mode_(mode >= 1 && mode <= kModeCount ? mode : 1), inputName_(inputName) {
    buildLpWindows(mode_, lpWindowI_, lpWindowII_);
    interpolationTable6_ = buildInterpolationTable6();
    previousFrame_ = std::make_unique<FrameRecord>();
    currentFrame_ = std::make_unique<FrameRecord>();
    spareFrame_ = std::make_unique<FrameRecord>();
    clearFrameRecord(*previousFrame_);
    clearFrameRecord(*currentFrame_);
    input.open(inputName, std::ios::binary);
    reset();
}

SpeechCoder::~SpeechCoder() = default;

void SpeechCoder::reset() {
    clearFrameRecord(*previousFrame_);
    clearFrameRecord(*currentFrame_);
    frameCount_ = 0;
    frameSnr_ = segmentalSnr_ = overallSnr_ = 0.0;
    signalEnergySum_ = noiseEnergySum_ = 0.0;
    zeroSignal_.fill(0.0);
    unitImpulse_.fill(0.0);
    unitImpulse_[0] = 1.0;
    input.clear();
    input.seekg(kSampleDataOffset, std::ios::beg);
}

int SpeechCoder::nextFrame() {
    // The record two frames back is no longer read: it takes the new frame,
    // so that coding allocates nothing frame by frame.
    if (readFrame(*spareFrame_, *this) != 0) return 1;
    std::swap(previousFrame_, currentFrame_);
    std::swap(currentFrame_, spareFrame_);
    ++frameCount_;
    codeFrame();
    return 0;
}

int SpeechCoder::goToFrame(int n) {
    if (n < frameCount_) reset();
    while (frameCount_ < n) {
        if (nextFrame() != 0) return 1;
    }
    return 0;
}

void SpeechCoder::codeFrame() {
    analyseLp();
    findOpenLoopLags();
    computeImpulseResponses();
    computeLpResidual();
    for (int a = 0; a < kSubframes; ++a) {
        searchAdaptiveCodebook(a);
        computeLtpResidual(a);
        searchAlgebraicCodebook(a);
        buildExcitation(a);
        synthesizeSubframe(a);
        postFilterSubframe(a);
    }
    updateQualityMeasures();
}

}  // namespace zorvel
