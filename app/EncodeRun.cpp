#include "app/EncodeRun.h"

#include "coder/SpeechCoder.h"

namespace zorvel {

int runSpeechCoder(const EncodeRequest& request) {
    SpeechCoder coder(request.inputName, request.mode);
    if (request.noAdaptiveCodebook) coder.noAdaptiveCodebook = 1;
    return coder.encodeFile(request.outputName, request.saveOption);
}

}  // namespace zorvel
