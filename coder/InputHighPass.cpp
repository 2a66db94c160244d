// The input's high-pass, the first stage when the settings have one. Reads
// `speech` of currentFrame as read and `inputTail` and `speech` of
// previousFrame (the filter's memory); writes `inputTail` and the filtered
// `speech` of currentFrame, which every later stage and the SNRs take as the
// input.
#include "coder/SpeechCoder.h"

namespace zorvel {

void SpeechCoder::highPassInput() {
    FrameRecord& frame = *currentFrame_;
    const FrameRecord& previous = *previousFrame_;
    BiquadMemory memory{previous.inputTail[1], previous.inputTail[0],
                        previous.speech[kFrameSamples - 1], previous.speech[kFrameSamples - 2]};
    frame.inputTail = {frame.speech[kFrameSamples - 2], frame.speech[kFrameSamples - 1]};
    filterBlock(highPass_, memory, frame.speech, frame.speech);
}

}  // namespace zorvel
