#include "coder/CoderMode.h"

namespace zorvel {

std::optional<CoderMode> modeFromNumber(int number) {
    if (number < 1 || number > kModeCount) return std::nullopt;
    return kAllCoderModes[number - 1];
}

std::string outputNameSuffix(CoderMode mode, bool postProcessed, const CoderSettings& settings) {
    std::string suffix(rulesOf(mode).fileSuffix);
    suffix += postProcessed ? "_spout" : "_sout";
    return suffix + settingsSuffix(settings) + ".wav";
}

}  // namespace zorvel
