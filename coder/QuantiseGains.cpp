// Gain quantisation, where the coder quantises: one subframe, or with the
// pair coding of gains two (GainQuantiser.h). Reads of currentFrame the
// subframe's `targetSignal` x, `pitchGain` and `codebookGain` (the optimal
// gains) and `gainPredictorErrors`, and the coder's unscaled vectors of the
// subframe (v, y = v * h, c and z = c * h, kept by the searches); writes
// `pitchGainApplied`, `codebookGainApplied`, `gainPredictorErrors` and the
// gain indices of `code`.
//
// Where gp is sent alone (the scalar coding) it is quantised as soon as the
// adaptive codebook has found it, and the algebraic codebook searches the
// target that the quantised gp leaves; gc's correction follows the search.
// The joint codings quantise both gains after the search, which took the
// optimal gp. finishSubframe then forms the excitation and every filter
// memory with the gains as sent; with the pair coding the first subframe of
// a pair is finished twice: with its optimal gains, for the second
// subframe's search, and with the quantised ones, after which the second
// subframe's adaptive vector is formed again from the excitation as sent.
#include <algorithm>

#include "coder/GainQuantiser.h"
#include "coder/SpeechCoder.h"
#include "coder/Subframe.h"

namespace zorvel {
namespace {

// The corrections a training pass keeps in the memory, for a gain of zero
// or of the other sign.
constexpr double kLeastRememberedCorrection = 1e-2;
constexpr double kMostRememberedCorrection = 1e2;

}  // namespace

double SpeechCoder::pitchGainBeforeCodebook(int a, double gp) {
    if (gainObserver || gainQuantiser_->coding() != GainCoding::scalar) return gp;
    const int index = gainQuantiser_->pitchIndex(gp);
    unscaled_.pitchIndex[a] = index;
    return gainQuantiser_->pitchGain(index);
}

void SpeechCoder::keepUnscaledAdaptive(int a, ConstSubframeSpan v, ConstSubframeSpan y) {
    std::copy(v.begin(), v.end(), unscaled_.adaptive[a].begin());
    std::copy(y.begin(), y.end(), unscaled_.adaptiveFiltered[a].begin());
}

void SpeechCoder::keepUnscaledCode(int a, ConstSubframeSpan c, ConstSubframeSpan z) {
    std::copy(c.begin(), c.end(), unscaled_.code[a].begin());
    std::copy(z.begin(), z.end(), unscaled_.codeFiltered[a].begin());
}

void SpeechCoder::quantiseGains(int a) {
    checkSubframe(a);
    FrameRecord& frame = *currentFrame_;
    GainPredictorMemory& memory = frame.gainPredictorErrors;
    const auto correlationsOf = [&](int b) {
        return gainCorrelations(subframeOf(frame.targetSignal, b), unscaled_.adaptiveFiltered[b],
                                unscaled_.codeFiltered[b]);
    };
    const auto energyOf = [&](int b) { return codeVectorEnergyDb(unscaled_.code[b]); };
    const GainQuantiser& quantiser = *gainQuantiser_;
    const int bits = rulesOf(mode_).gainBits;

    if (gainObserver) {
        // A training pass: the optimal gains are kept, and told.
        const int first = quantiser.coding() == GainCoding::jointPair ? a - 1 : a;
        for (int b = first; b <= a; ++b) {
            const double energy = energyOf(b);
            const double predicted = quantiser.predictedGain(memory, energy);
            gainObserver(GainObservation{b, correlationsOf(b), energy, frame.pitchGain[b],
                                         frame.codebookGain[b]});
            GainQuantiser::remember(
                memory, std::clamp(frame.codebookGain[b] / predicted, kLeastRememberedCorrection,
                                   kMostRememberedCorrection));
        }
        return;
    }
    switch (quantiser.coding()) {
        case GainCoding::scalar: {
            const double predicted = quantiser.predictedGain(memory, energyOf(a));
            const int index = quantiser.correctionIndex(frame.codebookGain[a], predicted);
            const double g = quantiser.correction(index);
            frame.codebookGainApplied[a] = g * predicted;
            GainQuantiser::remember(memory, g);
            frame.code.add(CodedParameter::pitchGain, a,
                           static_cast<std::uint64_t>(unscaled_.pitchIndex[a]),
                           kScalarPitchGainBits);
            frame.code.add(CodedParameter::correction, a, static_cast<std::uint64_t>(index),
                           kScalarCorrectionBits);
            return;
        }
        case GainCoding::joint: {
            const double predicted = quantiser.predictedGain(memory, energyOf(a));
            const int index = quantiser.jointIndex(correlationsOf(a), predicted);
            const QuantisedGains gains = quantiser.jointGains(index, predicted);
            frame.pitchGainApplied[a] = gains.pitchGain;
            frame.codebookGainApplied[a] = gains.codebookGain;
            GainQuantiser::remember(memory, gains.correction);
            frame.code.add(CodedParameter::gains, a, static_cast<std::uint64_t>(index), bits);
            return;
        }
        case GainCoding::jointPair: {
            checkSubframe(a - 1);
            const int index = quantiser.pairIndex(correlationsOf(a - 1), energyOf(a - 1),
                                                  correlationsOf(a), energyOf(a), memory);
            for (int which = 0; which < 2; ++which) {
                const int b = a - 1 + which;
                const QuantisedGains gains = quantiser.pairGains(index, which, memory, energyOf(b));
                frame.pitchGainApplied[b] = gains.pitchGain;
                frame.codebookGainApplied[b] = gains.codebookGain;
                GainQuantiser::remember(memory, gains.correction);
            }
            frame.code.add(CodedParameter::gains, a - 1, static_cast<std::uint64_t>(index), bits);
            return;
        }
    }
}

void SpeechCoder::finishSubframe(int a) {
    checkSubframe(a);
    FrameRecord& frame = *currentFrame_;
    const SubframeSpan v = subframeOf(frame.adaptiveExcitation, a);
    const SubframeSpan c = subframeOf(frame.algebraicExcitation, a);
    for (int n = 0; n < kSubframeSamples; ++n) {
        v[n] = frame.pitchGainApplied[a] * unscaled_.adaptive[a][n];
        c[n] = frame.codebookGainApplied[a] * unscaled_.code[a][n];
    }
    synthesizeAndWeight(adaptiveContributionBlock(a));
    buildExcitation(a);
    synthesizeSubframe(a);
    postFilterSubframe(a);
}

void SpeechCoder::codeFrameQuantised() {
    analyseFrame();
    FrameRecord& frame = *currentFrame_;
    frame.gainPredictorErrors = previousFrame_->gainPredictorErrors;
    const bool pairs = rulesOf(mode_).gainCoding == GainCoding::jointPair;
    for (int a = 0; a < kSubframes; ++a) {
        findAdaptiveContribution(a, ZeroInput::toForm);
        computeLtpResidual(a);
        searchAlgebraicCodebook(a);
        if (pairs && a % 2 == 0) {
            finishSubframe(a);  // with the optimal gains, for now
            continue;
        }
        quantiseGains(a);
        if (pairs && !gainObserver) {
            finishSubframe(a - 1);
            rebuildAdaptiveVector(a);
        }
        finishSubframe(a);
    }
    updateQualityMeasures();
}

}  // namespace zorvel
