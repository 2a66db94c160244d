// The table an encoding run prints at its end: one row per coded file.
#pragma once

#include <optional>
#include <ostream>
#include <span>
#include <string>

#include "coder/FrameDistances.h"

namespace zorvel::cli {

struct ResultRow {
    std::string file;                      // the input as given
    int frames = 0;                        // frames coded
    double segmentalSnr = 0;               // dB, mean of the frame SNRs
    double overallSnr = 0;                 // dB, over the whole file
    double timesRealTime = 0;              // speech duration / coding time
    std::optional<MeasureMeans> measures;  // encode --measures: the spectral distances
};

// Aligned columns for people, SNRs to 0.01 dB; names as tableText shows them.
// With `measures`, the means of the spectral distances follow the SNRs.
void printTable(std::ostream& out, std::span<const ResultRow> rows, bool measures = false);

// A header line and one line per file, every number in full.
void printCsv(std::ostream& out, std::span<const ResultRow> rows, bool measures = false);

}  // namespace zorvel::cli
