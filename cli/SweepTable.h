// The table of zorvel-cli sweep: one row per file and mode, then one row per
// mode in total over all files (file column "(total)"; see coder/ModeSweep.h).
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "coder/ModeSweep.h"

namespace zorvel::cli {

inline constexpr const char* kTotalRowName = "(total)";

struct SweepTableFile {
    std::string file;  // the input as given
    SweepRow figures;
};

// Aligned columns for people: file (as tableText shows it), mode, kbit/s,
// frames, SNRseg, SNR (0.01 dB); with `measures`, the means of the spectral
// distances after them (cli/MeasureColumns.h).
void printSweepTable(std::ostream& out, const std::vector<SweepTableFile>& files,
                     const SweepRow& total, bool measures = false);

// A header line and the same rows, every number in full.
void printSweepCsv(std::ostream& out, const std::vector<SweepTableFile>& files,
                   const SweepRow& total, bool measures = false);

}  // namespace zorvel::cli
