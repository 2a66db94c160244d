#include "app/EncodeRun.h"

#include "coder/SpeechCoder.h"

namespace zorvel {

RunResult runSpeechCoder(const EncodeRequest& request) {
    SpeechCoder coder(request.inputName, request.mode);
    coder.noAdaptiveCodebook = request.noAdaptiveCodebook;
    return coder.encodeFile(request.outputName, request.saveOption);
}

}  // namespace zorvel
