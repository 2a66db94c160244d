// LP analysis. Reads `speech` of previousFrame (samples 80..159) and of
// currentFrame (0..159); writes `lpCoeffsI`/`lpErrorI` from window I and
// `lpCoeffsII`/`lpErrorII` from window II of currentFrame.
//
// Each set: window the 240-sample buffer (last half of the previous frame,
// whole current frame), autocorrelation r[0..10], Gaussian lag window with
// white-noise correction, Levinson-Durbin of order 10. No look-ahead, no
// quantisation, no interpolation.
#include "coder/AnalyseLp.h"

#include <cmath>
#include <numbers>

#include "coder/SpeechCoder.h"
#include "sound/Wave.h"

namespace zorvel {
namespace {

constexpr double pi = std::numbers::pi;
constexpr double kWhiteNoiseCorrection = 1.0001;
constexpr double kLagWindowHz = 60.0;
constexpr double kSamplePeriod = 1.0 / kSampleRate;  // 0.000125 s

// Half Hamming window of l1 samples followed by a quarter cosine of l2 samples.
void hammingCosineWindow(int l1, int l2, LpWindow& w) {
    for (int n = 0; n < l1; ++n) w[n] = 0.54 - 0.46 * std::cos(2.0 * pi * n / (2 * l1 - 1));
    for (int n = l1; n < l1 + l2; ++n) w[n] = std::cos(2.0 * pi * (n - l1) / (4 * l2 - 1));
}

// Two Hamming halves: rising over l1 samples, falling over l2 samples.
void twoHalvesHammingWindow(int l1, int l2, LpWindow& w) {
    for (int n = 0; n < l1; ++n) w[n] = 0.54 - 0.46 * std::cos(pi * n / (l1 - 1));
    for (int n = l1; n < l1 + l2; ++n) w[n] = 0.54 + 0.46 * std::cos(pi * (n - l1) / (l2 - 1));
}

std::array<double, kLpCoeffs> makeLagWindow() {  // lambda
    std::array<double, kLpCoeffs> lambda{};
    lambda[0] = kWhiteNoiseCorrection;
    for (int k = 1; k < kLpCoeffs; ++k) {
        const double x = k * (2.0 * pi * kLagWindowHz) * kSamplePeriod;
        lambda[k] = std::exp(-0.5 * x * x);
    }
    return lambda;
}

void analyseWindow(const Signal& previousSpeech, const Signal& speech, const LpWindow& w,
                   bool lagWindowed, LpCoeffs& a, double& error) {
    const std::array<double, kLpCoeffs>& lambda = lagWindow();
    std::array<double, kLpWindowSamples> x{};
    for (int n = 0; n < kHalfFrameSamples; ++n) x[n] = previousSpeech[kHalfFrameSamples + n] * w[n];
    for (int n = kHalfFrameSamples; n < kLpWindowSamples; ++n)
        x[n] = speech[n - kHalfFrameSamples] * w[n];

    // All eleven lags in one pass over the window, each sum over increasing
    // n as a sum of its own: the sums no longer wait on one another.
    std::array<double, kLpCoeffs> sum{};
    for (int n = 0; n < kLpOrder; ++n)
        for (int k = 0; k <= n; ++k) sum[k] += x[n] * x[n - k];
    for (int n = kLpOrder; n < kLpWindowSamples; ++n)
        for (int k = 0; k < kLpCoeffs; ++k) sum[k] += x[n] * x[n - k];
    std::array<double, kLpCoeffs> r{};
    for (int k = 0; k < kLpCoeffs; ++k) r[k] = lagWindowed ? sum[k] * lambda[k] : sum[k];
    std::array<double, kLpCoeffs + 1> out{};
    levinsonDurbin(r, out);
    for (int j = 0; j < kLpCoeffs; ++j) a[j] = out[j];
    error = out[kLpCoeffs];
}

}  // namespace

const std::array<double, kLpCoeffs>& lagWindow() {
    static const std::array<double, kLpCoeffs> lambda = makeLagWindow();
    return lambda;
}

void buildLpWindows(CoderMode mode, LpWindow& windowI, LpWindow& windowII) {
    if (rulesOf(mode).twoLpAnalyses) {
        twoHalvesHammingWindow(160, 80, windowI);
        hammingCosineWindow(232, 8, windowII);
    } else {
        hammingCosineWindow(200, 40, windowI);
        windowII = windowI;
    }
}

// r = autocorrelation, a = predictor coefficients, k = reflection
// coefficient, E = prediction error.
void levinsonDurbin(std::span<const double, kLpCoeffs> r, std::span<double, kLpCoeffs + 1> out) {
    std::array<double, kLpCoeffs> a{};
    std::array<double, kLpCoeffs> previous{};
    a[0] = 1.0;
    double E = r[0];
    for (int i = 1; i <= kLpOrder; ++i) {
        previous = a;
        double acc = 0.0;
        for (int j = 0; j < i; ++j) acc += previous[j] * r[i - j];
        const double k = E != 0.0 ? -acc / E : -acc;
        a[i] = k;
        for (int j = 1; j < i; ++j) a[j] = previous[j] + k * previous[i - j];
        E = (1.0 - k * k) * E;
    }
    out[0] = 1.0;
    for (int j = 1; j < kLpCoeffs; ++j) out[j] = a[j];
    out[kLpCoeffs] = E;
}

void SpeechCoder::analyseLp() {
    FrameRecord& frame = *currentFrame_;
    const Signal& previousSpeech = previousFrame_->speech;
    analyseWindow(previousSpeech, frame.speech, lpWindowI_, settings_.lagWindow, frame.lpCoeffsI,
                  frame.lpErrorI);
    if (lpWindowII_ == lpWindowI_) {  // every mode but 12.2: one window, one analysis
        frame.lpCoeffsII = frame.lpCoeffsI;
        frame.lpErrorII = frame.lpErrorI;
        return;
    }
    analyseWindow(previousSpeech, frame.speech, lpWindowII_, settings_.lagWindow, frame.lpCoeffsII,
                  frame.lpErrorII);
}

}  // namespace zorvel
