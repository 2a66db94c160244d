// Target signal and adaptive codebook, one subframe.
// Reads of currentFrame: `weightedSpeech`, `lpResidual`, the subframe's LP
// coefficients, impulse response h and open-loop lag L0, `excitation` of the
// earlier subframes; of previousFrame: `excitation`; of either record the
// preceding blocks of `adaptiveSynthesis` and `adaptiveWeightedSynthesis`.
// Writes for the subframe: `zeroInputResponse`, `targetSignal`, `pitchLag`,
// `adaptiveExcitation`, `pitchGain`, `pitchGainApplied`, `codebookTarget`,
// `adaptiveSynthesis` and `adaptiveWeightedSynthesis`.
//
// Symbols: x = target, v = adaptive vector, y = v filtered by h,
// R = sum x*y, E = sum y*y, gp = pitch gain, x2 = x - gp*y.
// The lag is the integer among L0-3..L0+3 with the largest optimal gain R/E
// (first maximum, only positive values count). The filter state from which
// the next subframe's zero-input response is computed is that of the
// adaptive contribution alone.
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <optional>
#include <type_traits>

#include "coder/Filters.h"
#include "coder/LagCodes.h"
#include "coder/SpeechCoder.h"
#include "coder/Subframe.h"
#include "coder/simd/Kernels.h"

namespace zorvel {
namespace {

constexpr int kLagSearchHalfWidth = 3;  // candidates L0-3..L0+3
constexpr int kLagCandidates = 2 * kLagSearchHalfWidth + 1;
static_assert(kLagCandidates <= simd::kLagLanes);
constexpr int kMinOpenLoopLag = 18;
constexpr int kMaxOpenLoopLag = 143;
constexpr double kMaxPitchGain = 1.2;
constexpr int kInterpolationStep = 6;  // interpolationTable6 resolution: 1/6 sample
constexpr int kInterpolationHalfTaps = 10;
constexpr int kPastSamples = kFrameSamples;  // past excitation held before the subframe

// Positions 0..159: the 160 excitation samples before the subframe;
// position 160 + n: sample n of the subframe.
using ExcitationBuffer = std::array<double, kPastSamples + kSubframeSamples>;
// The lag search reads every lane's window, down to kLagLanes - 1 samples
// before the longest lag's.
static_assert(kPastSamples - (kMaxOpenLoopLag + kLagSearchHalfWidth) - (simd::kLagLanes - 1) >= 0);

void fillPastExcitation(const FrameRecord& previous, const FrameRecord& current, int a,
                        ExcitationBuffer& buffer) {
    const int start = a * kSubframeSamples;
    const auto next =
        std::copy(previous.excitation.begin() + start, previous.excitation.end(), buffer.begin());
    std::copy(current.excitation.begin(), current.excitation.begin() + start, next);
}

// The whole lags the integer search weighs: kLagCandidates from `first`,
// those `allowed`, and the lag taken when none has a positive gain.
struct LagCandidates {
    int first;
    std::array<bool, kLagCandidates> allowed;
    int fallback;
};

// L0-3..L0+3, as the design searches them.
LagCandidates around(int L0) {
    LagCandidates candidates{L0 - kLagSearchHalfWidth, {}, L0};
    candidates.allowed.fill(true);
    return candidates;
}

// Of L0-3..L0+3, those the subframe's code can send; where it can send none
// of them, the seven codable whole lags nearest to them. The fallback is the
// allowed lag nearest to L0, the lower of two.
LagCandidates codableAround(int L0, const LagCodebook& code) {
    LagCandidates candidates = around(L0);
    const auto allow = [&] {
        bool any = false;
        for (int l = 0; l < kLagCandidates; ++l) {
            candidates.allowed[l] = code.holds((candidates.first + l) * kLagSixths);
            any = any || candidates.allowed[l];
        }
        return any;
    };
    if (!allow()) {
        candidates.first = std::clamp(candidates.first, code.lowestWhole(),
                                      code.highestWhole() - (kLagCandidates - 1));
        allow();
    }
    int nearest = -1;
    for (int l = 0; l < kLagCandidates; ++l) {
        const int lag = candidates.first + l;
        if (candidates.allowed[l] && (nearest < 0 || std::abs(lag - L0) < std::abs(nearest - L0)))
            nearest = lag;
    }
    candidates.fallback = nearest;
    return candidates;
}

// The integer lag with the largest R/E among the candidates; the LP residual
// stands in for the not yet known excitation of the subframe.
int searchIntegerLag(ExcitationBuffer& buffer, ConstSubframeSpan lpResidual, ConstSubframeSpan x,
                     ConstSubframeSpan h, const LagCandidates& candidates) {
    std::copy(lpResidual.begin(), lpResidual.end(), buffer.begin() + kPastSamples);
    // y, R and E of all candidates at once; candidate l is lag first + l.
    const int first = candidates.first;
    std::array<double, simd::kLagLanes> R, E;
    simd::fastestKernels().lagCorrelations(&buffer[kPastSamples - first], h.data(), x.data(),
                                           R.data(), E.data());
    int lag = candidates.fallback;
    double best = 0.0;
    for (int l = 0; l < kLagCandidates; ++l) {
        if (candidates.allowed[l] && E[l] != 0.0 && R[l] / E[l] > best) {
            best = R[l] / E[l];
            lag = first + l;
        }
    }
    return lag;
}

// Where u(n - D) lies for the delay D = T + phase/6 (phase -5..5): the whole
// sample m = n - shift at or before it and the fraction alpha/6 after m.
struct Delay {
    int shift;
    int alpha;  // sixths, 0..5
};

Delay delayOf(int T, int phase) {
    // n - T - phase/6 is (n - T - 1) + (6 - phase)/6 for a positive phase.
    return phase > 0 ? Delay{T + 1, kInterpolationStep - phase} : Delay{T, -phase};
}

// u(n - D) of the samples before `t` and from t + 1 on, from the 1/6-sample
// interpolation filter, all 20 taps: u(m - k) b(alpha + k) and u(m + 1 + k)
// b(1 - alpha + k), b at steps of 1/6. At phase 0 the taps are b(k) and
// b(k + 1), the whole-sample interpolation.
// `alpha` is an int, or a std::integral_constant where it is known when
// compiled.
template <typename Alpha>
double interpolatedAt(const ExcitationBuffer& buffer,
                      const std::array<double, kInterpolationTaps>& I, int t, Alpha alpha) {
    double sum = 0.0;
    for (int k = 0; k < kInterpolationHalfTaps; ++k) {
        sum += buffer[t - k] * I[alpha + kInterpolationStep * k];
        sum += buffer[t + 1 + k] * I[kInterpolationStep - alpha + kInterpolationStep * k];
    }
    return sum;
}

// v(n) at the delay T + phase/6; each v(n) enters the buffer before v(n+1)
// is formed, so a lag shorter than the subframe repeats the vector.
void interpolateAdaptiveVector(ExcitationBuffer& buffer,
                               const std::array<double, kInterpolationTaps>& I, int T, int phase,
                               SubframeSpan v) {
    const Delay d = delayOf(T, phase);
    std::fill(buffer.begin() + kPastSamples, buffer.end(), 0.0);
    const auto run = [&](auto alpha) {
        for (int n = 0; n < kSubframeSamples; ++n) {
            const double sum = interpolatedAt(buffer, I, kPastSamples + n - d.shift, alpha);
            v[n] = sum;
            buffer[kPastSamples + n] = sum;
        }
    };
    // A whole lag, the design's, with the taps' places known when compiled.
    if (d.alpha == 0) {
        run(std::integral_constant<int, 0>{});
    } else {
        run(d.alpha);
    }
}

// The fraction of the lag in sixths: among the delays T + j/steps, j =
// -(steps-1)..steps-1, the first with the largest normalised correlation
// R / sqrt(E) of the target with the past excitation (the LP residual
// standing in for the subframe's own, as in the whole-lag search)
// interpolated at that delay and filtered by h.
// Where the lag is sent, only the fractions its `code` holds are weighed.
int searchFraction(const ExcitationBuffer& buffer, const std::array<double, kInterpolationTaps>& I,
                   ConstSubframeSpan x, ConstSubframeSpan h, int T, int steps,
                   const LagCodebook* code) {
    const int sixthsPerStep = kInterpolationStep / steps;
    int bestPhase = 0;
    double best = -std::numeric_limits<double>::infinity();
    std::array<double, kSubframeSamples> v{};
    std::array<double, kSubframeSamples> y{};
    for (int j = -(steps - 1); j <= steps - 1; ++j) {
        const int phase = j * sixthsPerStep;
        if (code && !code->holds(T * kLagSixths + phase)) continue;
        const Delay d = delayOf(T, phase);
        for (int n = 0; n < kSubframeSamples; ++n)
            v[n] = interpolatedAt(buffer, I, kPastSamples + n - d.shift, d.alpha);
        convolve(v, h, y);
        const double E = dot(y, y);
        if (E <= 0.0) continue;
        const double correlation = dot(x, y) / std::sqrt(E);
        if (correlation > best) {
            best = correlation;
            bestPhase = phase;
        }
    }
    return bestPhase;
}

double pitchGainOf(ConstSubframeSpan x, ConstSubframeSpan y) {
    const double R = dot(x, y);
    const double E = dot(y, y);
    if (E == 0.0) return 0.0;
    double gp = R / E;
    if (gp < 0.0) gp = 0.0;
    if (gp >= kMaxPitchGain) gp = kMaxPitchGain;
    return gp;
}

}  // namespace

SynthesisBlock SpeechCoder::zeroInputBlock(int a) {
    FrameRecord& frame = *currentFrame_;
    const FrameRecord& previous = *previousFrame_;
    return {subframeLpCoeffs(frame, a),
            precedingBlock(frame.adaptiveSynthesis, previous.adaptiveSynthesis, a),
            precedingBlock(frame.adaptiveWeightedSynthesis, previous.adaptiveWeightedSynthesis, a),
            std::span(zeroSignal_).first(kSubframeSamples),
            subframeOf(frame.targetSignal, a),
            subframeOf(frame.zeroInputResponse, a),
            &weighting_,
            &subframeWeightingLpCoeffs(frame, a)};
}

// The adaptive contribution through 1/A(z) and W(z): the filter state of
// the next subframe's zero-input response (y is replaced).
SynthesisBlock SpeechCoder::adaptiveContributionBlock(int a) {
    checkSubframe(a);
    FrameRecord& frame = *currentFrame_;
    const FrameRecord& previous = *previousFrame_;
    return synthesisBlockOf(frame, subframeLpCoeffs(frame, a),
                            subframeOf(frame.adaptiveExcitation, a), frame.adaptiveSynthesis,
                            previous.adaptiveSynthesis, frame.adaptiveWeightedSynthesis,
                            previous.adaptiveWeightedSynthesis, a, weighting_);
}

void SpeechCoder::searchAdaptiveCodebook(int a) {
    findAdaptiveContribution(a, ZeroInput::toForm);
    synthesizeAndWeight(adaptiveContributionBlock(a));
}

void SpeechCoder::findAdaptiveContribution(int a, ZeroInput zeroInputResponse) {
    checkSubframe(a);
    FrameRecord& frame = *currentFrame_;
    const FrameRecord& previous = *previousFrame_;
    const ConstSubframeSpan h = subframeImpulseResponse(frame, a);
    const SubframeSpan x = subframeOf(frame.targetSignal, a);
    const SubframeSpan zeroInput = subframeOf(frame.zeroInputResponse, a);
    const SubframeSpan v = subframeOf(frame.adaptiveExcitation, a);
    const SubframeSpan y = subframeOf(frame.adaptiveWeightedSynthesis, a);
    const SubframeSpan x2 = subframeOf(frame.codebookTarget, a);
    const ConstSubframeSpan sw = subframeOf(frame.weightedSpeech, a);

    // Zero-input response of the weighted synthesis filter (x holds the
    // unweighted part for a moment), unless the previous subframe's
    // synthesis formed it already, then the target.
    if (zeroInputResponse == ZeroInput::toForm) synthesizeAndWeight(zeroInputBlock(a));
    for (int n = 0; n < kSubframeSamples; ++n) x[n] = sw[n] - zeroInput[n];

    // A lag outside 18..143 cannot come from the open-loop search; clamping
    // keeps every read of the search inside its buffer.
    const int L0 = std::clamp(subframeOpenLoopLag(frame, a), kMinOpenLoopLag, kMaxOpenLoopLag);
    // Where the lag is sent, the search weighs only lags its code holds.
    std::optional<LagCodebook> code;
    if (quantising()) code = lagCodebook(a);
    ExcitationBuffer buffer{};
    fillPastExcitation(previous, frame, a, buffer);
    const int T = searchIntegerLag(buffer, subframeOf(frame.lpResidual, a), x, h,
                                   code ? codableAround(L0, *code) : around(L0));
    frame.pitchLag[a] = T;
    const int steps = stepsPerSample(settings_.pitchResolution);
    const int phase = steps > 1 ? searchFraction(buffer, interpolationTable6_, x, h, T, steps,
                                                 code ? &*code : nullptr)
                                : 0;
    frame.pitchLagFine[a] = T + static_cast<double>(phase) / kInterpolationStep;
    if (code)
        frame.code.add(CodedParameter::pitchLag, a, code->indexOf(T * kLagSixths + phase),
                       code->bits());

    interpolateAdaptiveVector(buffer, interpolationTable6_, T, phase, v);
    if (!settings_.adaptiveCodebook) std::fill(v.begin(), v.end(), 0.0);

    convolve(v, h, y);
    const double gp = pitchGainOf(x, y);
    frame.pitchGain[a] = gp;
    frame.pitchGainApplied[a] = quantising() ? pitchGainBeforeCodebook(a, gp) : gp;
    if (quantising()) keepUnscaledAdaptive(a, v, y);

    for (int n = 0; n < kSubframeSamples; ++n) {
        v[n] *= frame.pitchGainApplied[a];
        x2[n] = x[n] - frame.pitchGainApplied[a] * y[n];
    }
}

LagCodebook SpeechCoder::lagCodebook(int a) const {
    const LagCode& lagCode = rulesOf(mode_).lagCodes[a];
    if (lagCode.coding == LagCoding::absolute)
        return LagCodebook::absolute(lagCode.bits, settings_.pitchResolution);
    checkSubframe(a - 1);
    const int previousLag6 =
        static_cast<int>(std::lround(currentFrame_->pitchLagFine[a - 1] * kLagSixths));
    return LagCodebook::relative(lagCode.bits, settings_.pitchResolution, previousLag6);
}

void SpeechCoder::rebuildAdaptiveVector(int a) {
    checkSubframe(a);
    FrameRecord& frame = *currentFrame_;
    ExcitationBuffer buffer{};
    fillPastExcitation(*previousFrame_, frame, a, buffer);
    const int lag6 = static_cast<int>(std::lround(frame.pitchLagFine[a] * kLagSixths));
    const int T = frame.pitchLag[a];
    const SubframeSpan v = subframeOf(frame.adaptiveExcitation, a);
    interpolateAdaptiveVector(buffer, interpolationTable6_, T, lag6 - T * kLagSixths, v);
    if (!settings_.adaptiveCodebook) std::fill(v.begin(), v.end(), 0.0);
    convolve(v, subframeImpulseResponse(frame, a), subframeOf(frame.adaptiveWeightedSynthesis, a));
    keepUnscaledAdaptive(a, v, subframeOf(frame.adaptiveWeightedSynthesis, a));
}

}  // namespace zorvel
