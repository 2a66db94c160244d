// zorvel-cli sweep: every input coded in all eight modes at once, the table of
// their SNRs per file and in total, and optionally the chart of SNR against
// bit rate as PNG or SVG.
#pragma once

#include "cli/Arguments.h"

namespace zorvel::cli {

int runSweep(const SweepArguments& arguments);

}  // namespace zorvel::cli
