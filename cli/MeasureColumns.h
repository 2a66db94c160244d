// The columns of the spectral distances in zorvel-cli's result tables: one
// column per measure after the SNRs, in the order of the measure table, then
// the file figures: the distances as Hu and Loizou computed them (labels
// ending in " HL", CSV names in "_hl"), STOI and ESTOI. No value is "-" in the aligned table and
// an empty cell in CSV (null in JSON records).
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "coder/FrameDistances.h"

namespace zorvel::cli {

inline constexpr int kMeasureColumnWidth = 15;

// The aligned table's headers ("LSD-LP [dB]", "LLR", ...), each right-aligned
// in kMeasureColumnWidth characters.
void printMeasureHeaders(std::ostream& out);

// The aligned table's cells: dB to 0.01, the others to 0.001 (STOI and
// ESTOI to 0.0001); "-" where no frame (or file) had a value.
void printMeasureCells(std::ostream& out, const std::optional<MeasureMeans>& means);

// The same headers and cells as texts, one per column, unpadded.
std::vector<std::string> measureHeaderTexts();
std::vector<std::string> measureCellTexts(const std::optional<MeasureMeans>& means);

// The CSV header cells, each after a comma: ",lsd_lp_db,...".
void printMeasureCsvHeaders(std::ostream& out);

// The CSV cells, each after a comma, every number in full; empty where no
// frame had a value.
void printMeasureCsvCells(std::ostream& out, const std::optional<MeasureMeans>& means);

// The CSV column names with each value in full; nothing where no frame (or
// file) had a value. JSON writes these names, and null for nothing.
std::vector<std::pair<std::string, std::optional<double>>> measureValues(
    const std::optional<MeasureMeans>& means);

}  // namespace zorvel::cli
