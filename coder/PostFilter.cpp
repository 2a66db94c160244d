// Post-processing, one subframe. Reads `synthesizedSpeech` and the
// subframe's LP coefficients of currentFrame, the preceding blocks of
// `synthesizedSpeech` and `formantPostFiltered`; writes
// `formantPostFiltered` f, `postFilterImpulseResponse` h_f and
// `postProcessedSpeech` sp for the subframe.
//
// f = A(z/gn)/A(z/gd) applied to the synthesized speech; then a first-order
// tilt compensation sp(n) = f(n) - mu*f(n-1) with mu = gt*r1/r0, r0 and r1
// the lag-0 and lag-1 autocorrelations of 22 samples of h_f. gn, gd and gt
// are the settings postfilter-num, postfilter-den and postfilter-tilt (0.7,
// 0.75 and 0.8 by default).
#include "coder/Filters.h"
#include "coder/SpeechCoder.h"
#include "coder/Subframe.h"

namespace zorvel {
namespace {

constexpr int kTiltResponseSamples = 22;

// k = r1 / r0 of the first 22 samples of h_f; 0 when r0 is 0.
double tiltCoefficient(ConstSubframeSpan hf) {
    double r0 = 0.0;
    double r1 = 0.0;
    for (int j = 0; j < kTiltResponseSamples; ++j) r0 += hf[j] * hf[j];
    for (int j = 0; j + 1 < kTiltResponseSamples; ++j) r1 += hf[j] * hf[j + 1];
    return r0 != 0.0 ? r1 / r0 : 0.0;
}

}  // namespace

PostFilterBlocks SpeechCoder::postFilterBlocks(int a) {
    checkSubframe(a);
    FrameRecord& frame = *currentFrame_;
    const FrameRecord& previous = *previousFrame_;
    const auto zeros = std::span(zeroSignal_).first(kSubframeSamples);
    return {subframeLpCoeffs(frame, a),
            {precedingBlock(frame.synthesizedSpeech, previous.synthesizedSpeech, a),
             precedingBlock(frame.formantPostFiltered, previous.formantPostFiltered, a),
             subframeOf(frame.synthesizedSpeech, a), subframeOf(frame.formantPostFiltered, a)},
            {zeros, zeros, std::span(unitImpulse_).first(kSubframeSamples),
             subframeOf(frame.postFilterImpulseResponse, a)},
            &postFilter_};
}

void SpeechCoder::compensateTilt(int a) {
    checkSubframe(a);
    FrameRecord& frame = *currentFrame_;
    const FrameRecord& previous = *previousFrame_;
    const SubframeSpan f = subframeOf(frame.formantPostFiltered, a);
    const SubframeSpan sp = subframeOf(frame.postProcessedSpeech, a);
    const double mu =
        settings_.postfilterTilt * tiltCoefficient(subframeOf(frame.postFilterImpulseResponse, a));
    double before = precedingBlock(frame.formantPostFiltered, previous.formantPostFiltered,
                                   a)[kSubframeSamples - 1];
    for (int n = 0; n < kSubframeSamples; ++n) {
        sp[n] = f[n] - mu * before;
        before = f[n];
    }
}

void SpeechCoder::postFilterSubframe(int a) {
    // The speech and the filter's impulse response, side by side.
    const PostFilterBlocks blocks = postFilterBlocks(a);
    formantPostFilterPair(blocks.a, blocks.speech, blocks.response, *blocks.factors);
    compensateTilt(a);
}

}  // namespace zorvel
