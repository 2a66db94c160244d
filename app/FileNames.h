// File names as the main window's line edits hold them, and as the core takes
// them.
#pragma once

#include <QString>
#include <filesystem>

namespace zorvel {

// Something that is not a directory exists at `name` (an empty name names nothing).
bool fileExists(const QString& name);

// `name` in the file system's own encoding.
std::filesystem::path toPath(const QString& name);

}  // namespace zorvel
