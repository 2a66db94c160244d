// The order of a frame's stages, in the two schedules of FrameSchedule.
//
// In stage order the stages run as they are defined, one after another: the
// frame stages (the high-pass and the LP interpolation only when the
// settings have them), then subframe by subframe the adaptive codebook, the LTP
// residual, the algebraic codebook, the excitation, the synthesis and the
// post-filter, and last the SNRs.
//
// Side by side, the coder's default, the same stages run with some of their
// filters paired. Each of these filters is an order-10 recursion that waits
// on its own previous output sample, so two independent ones interleaved
// take little longer than one:
// - the synthesis of subframe a with the zero-input response of subframe
//   a + 1, which needs only the adaptive contribution's filter state of a;
// - the adaptive contribution's synthesis of subframe a + 1 with the
//   post-filter of subframe a, which needs nothing of a + 1.
// Every value is formed by the same operations in the same order as in stage
// order, so both schedules give the same records bit for bit.
//
// The quantised coder has an order of its own (QuantiseGains.cpp): the gains
// are quantised between the algebraic codebook and the excitation.
#include "coder/Filters.h"
#include "coder/SpeechCoder.h"
#include "coder/Subframe.h"

namespace zorvel {

void SpeechCoder::codeFrame() {
    if (quantising()) return codeFrameQuantised();
    switch (schedule) {
        case FrameSchedule::stageOrder:
            return codeFrameInStageOrder();
        case FrameSchedule::sideBySide:
            return codeFrameSideBySide();
    }
}

void SpeechCoder::analyseFrame() {
    if (settings_.highPass) highPassInput();
    analyseLp();
    if (quantising()) quantiseLp();
    if (settings_.lpInterpolation == LpInterpolation::lsf) interpolateLp();
    findOpenLoopLags();
    computeImpulseResponses();
    computeLpResidual();
}

void SpeechCoder::codeFrameInStageOrder() {
    analyseFrame();
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

void SpeechCoder::codeFrameSideBySide() {
    analyseFrame();
    for (int a = 0; a < kSubframes; ++a) {
        if (a == 0) {
            searchAdaptiveCodebook(a);
        } else {
            findAdaptiveContribution(a, ZeroInput::formed);
            filterAdaptiveContributionWithPostFilter(a);  // and post-filters subframe a - 1
        }
        computeLtpResidual(a);
        searchAlgebraicCodebook(a);
        buildExcitation(a);
        if (a + 1 < kSubframes)
            synthesizeSubframeWithNextZeroInput(a);
        else
            synthesizeSubframe(a);
    }
    postFilterSubframe(kSubframes - 1);
    updateQualityMeasures();
}

void SpeechCoder::synthesizeSubframeWithNextZeroInput(int a) {
    checkSubframe(a + 1);
    synthesizeAndWeightPair(synthesisBlock(a), zeroInputBlock(a + 1));
}

void SpeechCoder::filterAdaptiveContributionWithPostFilter(int a) {
    checkSubframe(a - 1);
    synthesizeAndWeightWithPostFilter(adaptiveContributionBlock(a), postFilterBlocks(a - 1));
    compensateTilt(a - 1);
}

}  // namespace zorvel
