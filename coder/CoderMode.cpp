#include "coder/CoderMode.h"

namespace zorvel {

std::optional<CoderMode> modeFromNumber(int number) {
    if (number < 1 || number > kModeCount) return std::nullopt;
    return kAllCoderModes[number - 1];
}

std::string outputNameSuffix(CoderMode mode, bool postProcessed, bool noAdaptiveCodebook) {
    std::string suffix(rulesOf(mode).fileSuffix);
    suffix += postProcessed ? "_spout" : "_sout";
    if (noAdaptiveCodebook) suffix += "_noadapt";
    return suffix + ".wav";
}

}  // namespace zorvel
