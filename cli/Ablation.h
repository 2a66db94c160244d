// zorvel-cli sweep --ablation and --vary: what each tool of the coder buys.
// The rows and their computation are the core's (coder/Ablation.h); here the
// arguments become a run over the inputs a sweep takes (cli/SweepInputs.h),
// its table is printed and drawn, and with --jsonl each file's figures in
// each mode and row are appended as records the moment they are known.
#pragma once

#include <ostream>

#include "cli/Arguments.h"
#include "coder/Ablation.h"

namespace zorvel::cli {

// Aligned columns: mode, row, SNRseg and SNR with their differences from
// the first row (0.01 dB), and with `measures` the means of the spectral
// distances (cli/MeasureColumns.h). As CSV: every number in full.
void printAblationTable(std::ostream& out, const AblationTable& table);
void printAblationCsv(std::ostream& out, const AblationTable& table);

// The rows (each tool alone, or the variation of --vary) coded on -j threads;
// the table on standard output, and with --plot the chart of the changes
// (plots/AblationChart.h).
int runAblation(const SweepArguments& arguments);

}  // namespace zorvel::cli
