#include "app/EncodeRun.h"

#include "coder/SpeechCoder.h"

namespace zorvel {

EncodeOutcome runSpeechCoder(const EncodeRequest& request, RunControl& control) {
    SpeechCoder coder(request.inputName, request.mode, request.settings);
    const std::stop_token stop = control.stop.get_token();
    coder.frameWritten = [&](std::int64_t frames) {
        control.framesWritten.store(frames, std::memory_order_relaxed);
        return !stop.stop_requested();
    };
    EncodeOutcome outcome;
    outcome.result = coder.encodeFile(request.outputName, request.saveOption);
    outcome.frames = coder.frameCount();
    outcome.frameSnr = coder.frameSnr();
    outcome.segmentalSnr = coder.segmentalSnr();
    outcome.overallSnr = coder.overallSnr();
    outcome.error = coder.runError();
    outcome.readError = coder.runReadError();
    return outcome;
}

}  // namespace zorvel
