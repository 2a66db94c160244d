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

SynthesisBlock SpeechCoder::synthesisBlock(int a) {
    checkSubframe(a);
    FrameRecord& frame = *currentFrame_;
    const FrameRecord& previous = *previousFrame_;
    return synthesisBlockOf(frame, subframeLpCoeffs(frame, a),
                            subframeOf(frame.enhancedExcitation, a), frame.synthesizedSpeech,
                            previous.synthesizedSpeech, frame.weightedSynthesizedSpeech,
                            previous.weightedSynthesizedSpeech, a, weighting_);
}

void SpeechCoder::synthesizeSubframe(int a) { synthesizeAndWeight(synthesisBlock(a)); }

}  // namespace zorvel
