#include "coder/CoderMode.h"

namespace zorvel {

const CoderModeName& coderModeName(int mode) {
    return kCoderModeNames[(mode >= 1 && mode <= kModeCount ? mode : 1) - 1];
}

std::string outputNameSuffix(int mode, bool postProcessed, bool noAdaptiveCodebook) {
    std::string suffix(coderModeName(mode).fileSuffix);
    suffix += postProcessed ? "_spout" : "_sout";
    if (noAdaptiveCodebook) suffix += "_noadapt";
    return suffix + ".wav";
}

}  // namespace zorvel
