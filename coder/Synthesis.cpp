// Speech synthesis, one subframe. Reads `enhancedExcitation` u' and the
// subframe's LP coefficients of currentFrame and the preceding blocks of
// `synthesizedSpeech` and `weightedSynthesizedSpeech`; writes
// `synthesizedSpeech` s' = u' through 1/A(z) and `weightedSynthesizedSpeech`
// = s' through W(z) for the subframe. These two arrays are this synthesis's
// own filter memory, apart from the adaptive-contribution synthesis that
// forms the next target.
#include "coder/Filters.h"
#include "coder/SpeechCoder.h"
#include "coder/Subframe.h"

namespace zorvel {

void SpeechCoder::synthesizeSubframe(int a) {
    checkSubframe(a);
    FrameRecord& frame = *currentFrame_;
    const FrameRecord& previous = *previousFrame_;
    const LpCoeffs& lp = subframeLpCoeffs(frame, a);
    const ConstSubframeSpan pastSpeech =
        precedingBlock(frame.synthesizedSpeech, previous.synthesizedSpeech, a);
    const ConstSubframeSpan pastWeighted =
        precedingBlock(frame.weightedSynthesizedSpeech, previous.weightedSynthesizedSpeech, a);
    const SubframeSpan speech = subframeOf(frame.synthesizedSpeech, a);

    synthesizeAndWeight(lp, pastSpeech, pastWeighted, subframeOf(frame.enhancedExcitation, a),
                        speech, subframeOf(frame.weightedSynthesizedSpeech, a));
}

}  // namespace zorvel
