// LP quantisation, when the coder quantises. Reads `lpCoeffsI` and
// `lpCoeffsII` of currentFrame and `lsfQuantisedII` and
// `lsfPredictorResidual` of previousFrame; writes `lpQuantised`,
// `lsfQuantisedI`/`II`, `lpCoeffsQuantisedI`/`II`, `lsfPredictorResidual`
// and the LSF indices of `code` of currentFrame.
//
// The frame's set (with two LP analyses, sets I and II together) is
// quantised with the mode's bits (LsfQuantiser.h); the synthesis filter of
// every subframe then uses the quantised sets, which are stable by their
// construction. A set the conversion cannot take apart into frequencies is
// sent as the previous frame's quantised set II, and that of a first frame
// as the silent past.
#include "coder/Lsf.h"
#include "coder/LsfQuantiser.h"
#include "coder/SpeechCoder.h"

namespace zorvel {

void SpeechCoder::quantiseLp() {
    FrameRecord& frame = *currentFrame_;
    const FrameRecord& previous = *previousFrame_;
    const LineSpectralFrequencies fallback =
        frameCount_ == 1 ? silentLsf() : LineSpectralFrequencies(previous.lsfQuantisedII);
    const LineSpectralFrequencies second = lpToLsf(frame.lpCoeffsII).value_or(fallback);
    const bool twoSets = rulesOf(mode_).twoLpAnalyses;
    const LineSpectralFrequencies first =
        twoSets ? lpToLsf(frame.lpCoeffsI).value_or(fallback) : second;

    LsfPredictorMemory memory{previous.lsfPredictorResidual};
    const QuantisedLsf q =
        quantiseLsf(*quantiserTables_, mode_, twoSets ? &first : nullptr, second, memory);
    frame.lpQuantised = true;
    frame.lsfQuantisedI = q.setI;
    frame.lsfQuantisedII = q.setII;
    frame.lpCoeffsQuantisedI = lsfToLp(q.setI);
    frame.lpCoeffsQuantisedII = twoSets ? lsfToLp(q.setII) : frame.lpCoeffsQuantisedI;
    frame.lsfPredictorResidual = memory.residual;
    for (int k = 0; k < kMaxLsfSplits; ++k)
        if (q.indices[k].bits > 0)
            frame.code.add(CodedParameter::lsf, k, static_cast<std::uint64_t>(q.indices[k].index),
                           q.indices[k].bits);
}

}  // namespace zorvel
