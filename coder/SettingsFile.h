// A configuration of the coder kept in a file: one NAME=VALUE a line, as
// --set takes them, with '#' beginning a comment that runs to the end of its
// line; blank lines and the spaces around names and values are ignored. The
// file written names every setting, so that it states the whole
// configuration even when the defaults change, and reads back as the same
// settings.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "coder/CoderSettings.h"

namespace zorvel {

// A settings file is read whole; a larger one is no settings file.
inline constexpr std::size_t kMaxSettingsFileBytes = 64 * 1024;

enum class SettingsLineProblemKind {
    setting,   // the assignment itself: `problem` says what
    repeated,  // the setting was set on an earlier line, `firstLine`
    together,  // the settings disagree once all are read (`problem`, notBelow)
};

struct SettingsLineProblem {
    int line = 0;  // 1 for the first line
    SettingsLineProblemKind kind = SettingsLineProblemKind::setting;
    SettingProblem problem{};
    int firstLine = 0;  // repeated: where the setting was set first

    bool operator==(const SettingsLineProblem&) const = default;
};

struct SettingsFileContents {
    CoderSettings settings;  // `base` with every good line applied
    std::vector<SettingsLineProblem> problems;
};

// The lines of `text` applied in order onto `base`; every line with a
// problem is listed and left out. The settings are checked together once
// all lines are read: a disagreement is listed at the line that set the
// lower of the pair (or the higher, when the lower was not in the file).
SettingsFileContents readSettingsText(std::string_view text, const CoderSettings& base = {});

// The same for a file. Throws FileError when it cannot be read, or holds
// more than kMaxSettingsFileBytes or a NUL byte (it is no text).
SettingsFileContents readSettingsFile(const std::filesystem::path& file,
                                      const CoderSettings& base = {});

// Every setting of `settings`, one a line with its meaning as a comment,
// under a heading that says how the file reads.
std::string settingsFileText(const CoderSettings& settings);

}  // namespace zorvel
