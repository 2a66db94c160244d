// Quality measures. Reads `speech` s, `inputSilent` and `synthesizedSpeech`
// s' (before post-processing) of currentFrame and the frame count; updates
// the frame, segmental and overall SNR and the signal and noise energy totals.
//
// SNR = 10 log10(S/N) with S = sum s^2 and N = sum (s - s')^2; a frame with
// no signal or no noise, or whose S/N is beyond the range of doubles, counts
// as 0 dB. A frame silent as read has s = 0, whatever filter follows. The
// segmental SNR is the mean of the frame values, the overall SNR the ratio of
// the totals since the last reset.
#include "coder/QualityMeasures.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "coder/SpeechCoder.h"

namespace zorvel {
namespace {

constexpr double kUndefinedSnr = 0.0;  // dB, when S or N is not positive

double decibels(double S, double N) { return 10.0 * std::log10(S / N); }

// S and N give a finite SNR.
bool defined(double S, double N) { return S > 0.0 && N > 0.0 && std::isfinite(S / N); }

// Adds sum s^2 to S and sum (s - s')^2 to N, sample by sample.
void addEnergies(std::span<const double> reference, std::span<const double> test, double& S,
                 double& N) {
    for (std::size_t n = 0; n < reference.size(); ++n) {
        const double error = reference[n] - test[n];
        S += reference[n] * reference[n];
        N += error * error;
    }
}

}  // namespace

double computeSnr(std::span<const double> reference, std::span<const double> test) {
    if (reference.size() != test.size())
        throw std::invalid_argument("computeSnr: signals of different lengths");
    double S = 0.0;
    double N = 0.0;
    addEnergies(reference, test, S, N);
    return defined(S, N) ? decibels(S, N) : kUndefinedSnr;
}

double runningMean(double mean, int count, double value) {
    const int n = std::max(count, 1);
    return ((n - 1) * mean + value) / n;
}

void SpeechCoder::updateQualityMeasures() {
    static constexpr Signal kSilence{};
    const Signal& s = currentFrame_->inputSilent ? kSilence : currentFrame_->speech;
    const Signal& synthesized = currentFrame_->synthesizedSpeech;
    frameSnr_ = computeSnr(s, synthesized);
    segmentalSnr_ = runningMean(segmentalSnr_, frameCount_, frameSnr_);
    addEnergies(s, synthesized, signalEnergySum_, noiseEnergySum_);
    if (defined(signalEnergySum_, noiseEnergySum_))
        overallSnr_ = decibels(signalEnergySum_, noiseEnergySum_);
}

}  // namespace zorvel
