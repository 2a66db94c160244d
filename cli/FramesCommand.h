// zorvel-cli frames: codes one file and writes one row per frame, as CSV
// columns or as a JSON array of objects.
#pragma once

#include "cli/Arguments.h"

namespace zorvel::cli {

int runFrames(const FramesArguments& arguments);

}  // namespace zorvel::cli
