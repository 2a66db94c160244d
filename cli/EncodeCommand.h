// zorvel-cli encode: the encoding run of the desktop program over many files,
// several at once, each file with a coder of its own.
#pragma once

#include <filesystem>

#include "cli/Arguments.h"
#include "coder/CoderSettings.h"

namespace zorvel::cli {

// The main window's output name: the input path as given + mode suffix +
// "_sout" or "_spout" + the settings' suffix (outputNameSuffix) + ".wav"; with
// a directory, that name of the input's file name inside it.
std::filesystem::path defaultOutputName(const std::filesystem::path& input, CoderMode mode,
                                        bool postProcessed, const std::filesystem::path& directory,
                                        const CoderSettings& settings = {});

int runEncode(const EncodeArguments& arguments);

}  // namespace zorvel::cli
