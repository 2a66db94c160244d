// The table an encoding run prints at its end: one row per coded file.
#pragma once

#include <ostream>
#include <span>
#include <string>

namespace zorvel::cli {

struct ResultRow {
    std::string file;          // the input as given
    int frames = 0;            // frames coded
    double segmentalSnr = 0;   // dB, mean of the frame SNRs
    double overallSnr = 0;     // dB, over the whole file
    double timesRealTime = 0;  // speech duration / coding time
};

// Aligned columns for people, SNRs to 0.01 dB; names as tableText shows them.
void printTable(std::ostream& out, std::span<const ResultRow> rows);

// A header line and one line per file, every number in full.
void printCsv(std::ostream& out, std::span<const ResultRow> rows);

}  // namespace zorvel::cli
