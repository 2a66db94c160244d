#include "cli/Modes.h"

#include <algorithm>
#include <stdexcept>

namespace zorvel::cli {

std::optional<int> modeFromText(std::string_view text) {
    for (const ModeName& name : kModeNames) {
        if (std::ranges::find(name.accepted, text) != name.accepted.end()) return name.mode;
    }
    return std::nullopt;
}

const ModeName& modeName(int mode) {
    if (mode < 1 || mode > static_cast<int>(kModeNames.size()))
        throw std::out_of_range("no coder mode " + std::to_string(mode));
    return kModeNames[static_cast<std::size_t>(mode - 1)];
}

std::string acceptedModesText() {
    std::string text;
    for (const ModeName& name : kModeNames) {
        text += std::string(name.rate);
        text += name.mode < static_cast<int>(kModeNames.size()) ? ", " : "";
    }
    return text + " (kbit/s) or 1..8";
}

}  // namespace zorvel::cli
