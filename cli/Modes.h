// The coder modes as the command line names them: by rate in kbit/s, in any
// decimal spelling of it (7.4, 7.40, 07.40), or by number (1..8).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "coder/CoderMode.h"

namespace zorvel::cli {

// The mode a command-line word names, or nothing.
std::optional<CoderMode> modeFromText(std::string_view text);

// "12.2, 10.2, ..., 4.75 (kbit/s) or 1..8", for messages and help.
std::string acceptedModesText();

// "unknown mode 'TEXT': give 12.2, ... or 1..8": the refusal of a word that
// names no mode.
std::string unknownModeText(std::string_view text);

}  // namespace zorvel::cli
