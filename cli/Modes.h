// The coder modes as the command line names them: by rate (12.2 ... 4.75
// kbit/s) or by number (1..8), and the mode part of output file names.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace zorvel::cli {

struct ModeName {
    int mode;                                  // CoderMode 1..8
    std::string_view rate;                     // kbit/s, as the main window shows it
    std::string_view fileSuffix;               // mode part of an output name
    std::array<std::string_view, 4> accepted;  // spellings taken on the command line
};

// Each mode by its rate, by the spelling of its file-name suffix, by the
// shortest decimal and by its number.
inline constexpr std::array<ModeName, 8> kModeNames{{
    {1, "12.2", "_12.20", {"12.2", "12.20", "12.2", "1"}},
    {2, "10.2", "_10.20", {"10.2", "10.20", "10.2", "2"}},
    {3, "7.95", "_07.95", {"7.95", "07.95", "7.95", "3"}},
    {4, "7.40", "_07.40", {"7.40", "07.40", "7.4", "4"}},
    {5, "6.70", "_06.70", {"6.70", "06.70", "6.7", "5"}},
    {6, "5.90", "_05.90", {"5.90", "05.90", "5.9", "6"}},
    {7, "5.15", "_05.15", {"5.15", "05.15", "5.15", "7"}},
    {8, "4.75", "_04.75", {"4.75", "04.75", "4.75", "8"}},
}};

// The mode a command-line word names, or nothing.
std::optional<int> modeFromText(std::string_view text);

// The entry of a mode 1..8.
const ModeName& modeName(int mode);

// "12.2, 10.2, ..., 4.75 or 1..8", for messages and help.
std::string acceptedModesText();

}  // namespace zorvel::cli
