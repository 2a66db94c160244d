// zorvel-cli sweep --ablation and --vary: what each tool of the coder buys.
// The files are coded with the settings given (--set; the design's coder by
// default) and with each tool changed alone from them, or with one numeric
// setting at a row of values; for each mode chosen, each row's SNRs over all
// the files (from the summed energies, as sweep's totals) and their
// differences from the first row.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/Arguments.h"
#include "coder/CoderSettings.h"
#include "coder/ModeSweep.h"

namespace zorvel::cli {

struct AblationRow {
    std::string name;  // "default", or what differs from the first row
    CoderSettings settings;
};

// The rows of --ablation: the settings themselves, then each tool changed
// alone: lags in thirds and sixths of a sample, no enhancement, no lag
// window, no adaptive codebook (a row equal to the first is left out).
std::vector<AblationRow> ablationRows(const CoderSettings& base);

// The rows of --vary NAME=FROM:TO:STEP: the settings, then NAME at FROM,
// FROM + STEP, ... up to TO; the reason when the text or a value is wrong.
std::optional<std::string> variedRows(const CoderSettings& base, const std::string& vary,
                                      std::vector<AblationRow>& rows);

// Per row, the figures of each mode chosen, in total over the files.
struct AblationTable {
    std::vector<AblationRow> rows;
    std::vector<CoderMode> modes;
    std::vector<std::vector<ModeFigures>> figures;  // [row][mode]
    bool measures = false;  // the means of the spectral distances after the SNRs
};

// Aligned columns: mode, row, SNRseg and SNR with their differences from
// the first row (0.01 dB), and with `measures` the means of the spectral
// distances (cli/MeasureColumns.h). As CSV: every number in full.
void printAblationTable(std::ostream& out, const AblationTable& table);
void printAblationCsv(std::ostream& out, const AblationTable& table);

int runAblation(const SweepArguments& arguments);

}  // namespace zorvel::cli
