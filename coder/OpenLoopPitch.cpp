// Weighted speech and open-loop pitch. Reads `speech` and `lpCoeffsI` (with
// LP interpolation each subframe's set) of currentFrame, `speech`
// (80..159) and `weightedSpeech` of previousFrame;
// writes `weightedSpeech`, `openLoopCorrI`, `openLoopCorrII`,
// `openLoopLagI` and `openLoopLagII` of currentFrame.
//
// The weighted speech is one continuous output of W(z) with set I, or with
// LP interpolation with each subframe's own set. For each
// half frame the lag is chosen among the winners of three lag ranges by
// normalised correlation, favouring shorter lags (factor 0.85).
#include <cmath>
#include <span>

#include "coder/Filters.h"
#include "coder/SpeechCoder.h"
#include "coder/Subframe.h"
#include "coder/simd/Kernels.h"

namespace zorvel {
namespace {

struct LagRange {
    int first;
    int last;
};
// Searched from the longest range down, so that shorter lags are preferred.
constexpr std::array<LagRange, 3> kLagRanges{{{72, 143}, {36, 71}, {18, 35}}};
constexpr double kShortLagPreference = 0.85;

// w(n) for n = -160..159: previous frame's weighted speech, then the current one.
class WeightedHistory {
  public:
    WeightedHistory(const Signal& previous, const Signal& current) {
        std::copy(previous.begin(), previous.end(), w_.begin());
        std::copy(current.begin(), current.end(), w_.begin() + kFrameSamples);
    }
    const double& operator()(int n) const { return w_[kFrameSamples + n]; }

  private:
    std::array<double, 2 * kFrameSamples> w_{};
};

// C[T] = sum_{n=n0..n0+79} w(n) w(n-T) for T = 0..159, each sum over
// increasing n; many lags share one pass over the signal.
void correlate(const WeightedHistory& w, int n0, Signal& C) {
    simd::fastestKernels().correlate(&w(n0), kHalfFrameSamples, kFrameSamples, C.data());
}

double normalised(const WeightedHistory& w, int n0, const Signal& C, int T) {
    double energy = 0.0;
    for (int n = n0; n < n0 + kHalfFrameSamples; ++n) energy += w(n - T) * w(n - T);
    const double root = std::sqrt(energy);
    return C[T] / (root != 0.0 ? root : 1.0);
}

std::int32_t searchLag(const WeightedHistory& w, int n0, const Signal& C) {
    std::int32_t lag = 0;
    double best = 0.0;
    for (std::size_t range = 0; range < kLagRanges.size(); ++range) {
        int winner = kLagRanges[range].first;
        for (int T = winner + 1; T <= kLagRanges[range].last; ++T)
            if (C[T] > C[winner]) winner = T;
        const double v = normalised(w, n0, C, winner);
        if (range == 0 || v > kShortLagPreference * best) {
            best = v;
            lag = winner;
        }
    }
    return lag;
}

}  // namespace

void SpeechCoder::findOpenLoopLags() {
    FrameRecord& frame = *currentFrame_;
    const FrameRecord& previous = *previousFrame_;
    const std::span<const double> speech(frame.speech);
    const std::span<double> sw(frame.weightedSpeech);
    constexpr int half = kHalfFrameSamples;

    if (frame.lpInterpolated) {
        constexpr int L = kSubframeSamples;
        for (int a = 0; a < kSubframes; ++a) {
            const auto in = a == 0 ? std::span<const double>(previous.speech).last(L)
                                   : speech.subspan((a - 1) * L, L);
            const auto out = a == 0 ? std::span<const double>(previous.weightedSpeech).last(L)
                                    : std::span<const double>(sw.subspan((a - 1) * L, L));
            weightingFilter(subframeWeightingLpCoeffs(frame, a), in, out, speech.subspan(a * L, L),
                            sw.subspan(a * L, L), weighting_);
        }
    } else {
        weightingFilter(frame.lpCoeffsI, std::span(previous.speech).subspan(half),
                        std::span(previous.weightedSpeech).subspan(half), speech.first(half),
                        sw.first(half), weighting_);
        weightingFilter(frame.lpCoeffsI, speech.first(half), sw.first(half), speech.subspan(half),
                        sw.subspan(half), weighting_);
    }

    const WeightedHistory w(previous.weightedSpeech, frame.weightedSpeech);
    correlate(w, 0, frame.openLoopCorrI);
    correlate(w, half, frame.openLoopCorrII);
    frame.openLoopLagI = searchLag(w, 0, frame.openLoopCorrI);
    frame.openLoopLagII = searchLag(w, half, frame.openLoopCorrII);
    if (rulesOf(mode_).oneOpenLoopLagPerFrame) frame.openLoopLagII = frame.openLoopLagI;
}

}  // namespace zorvel
