// zorvel-cli frames: codes one file and writes one row per frame, as CSV
// columns or as a JSON array of objects. With --files-from, --shard or -d the
// inputs are a list, coded one after the other, each into a file of its own
// named by framesOutputName.
#pragma once

#include <filesystem>

#include "cli/Arguments.h"

namespace zorvel::cli {

// INPUT + the mode suffix + "_frames" + the settings' suffix ("_noadapt" when
// the adaptive codebook is off, see settingsSuffix) + ".csv" or ".json"; with a
// directory, that name of the input's file name inside it. /dane/mowa.wav in
// mode 12.2 as CSV gives /dane/mowa.wav_12.20_frames.csv.
std::filesystem::path framesOutputName(const std::filesystem::path& input, CoderMode mode,
                                       const std::string& format,
                                       const std::filesystem::path& directory,
                                       const CoderSettings& settings = {});

int runFrames(const FramesArguments& arguments);

}  // namespace zorvel::cli
