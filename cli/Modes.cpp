#include "cli/Modes.h"

#include <charconv>

#include "coder/CoderMode.h"

namespace zorvel::cli {
namespace {

std::optional<double> decimal(std::string_view text) {
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace

std::optional<CoderMode> modeFromText(std::string_view text) {
    for (const CoderMode mode : kAllCoderModes)
        if (text == std::to_string(modeNumber(mode))) return mode;
    const std::optional<double> rate = decimal(text);
    if (!rate) return std::nullopt;
    for (const CoderMode mode : kAllCoderModes)
        if (*rate == decimal(rulesOf(mode).rate)) return mode;
    return std::nullopt;
}

std::string acceptedModesText() {
    std::string text;
    for (const CoderModeRules& rules : kCoderModes) {
        if (!text.empty()) text += ", ";
        text += rules.rate;
    }
    return text + " (kbit/s) or 1..8";
}

std::string unknownModeText(std::string_view text) {
    return "unknown mode '" + std::string(text) + "': give " + acceptedModesText();
}

}  // namespace zorvel::cli
