#include "cli/ResultTable.h"

#include <algorithm>
#include <iomanip>

#include "cli/MeasureColumns.h"
#include "cli/NumberText.h"

namespace zorvel::cli {

void printTable(std::ostream& out, std::span<const ResultRow> rows, bool measures) {
    std::size_t fileWidth = 4;
    for (const ResultRow& row : rows) fileWidth = std::max(fileWidth, tableText(row.file).size());
    const auto w = static_cast<int>(fileWidth);
    out << std::left << std::setw(w) << "file" << std::right << std::setw(8) << "frames"
        << std::setw(14) << "SNRseg [dB]" << std::setw(12) << "SNR [dB]";
    if (measures) printMeasureHeaders(out);
    out << std::setw(13) << "x real time" << '\n';
    out << std::fixed;
    for (const ResultRow& row : rows) {
        out << std::left << std::setw(w) << tableText(row.file) << std::right << std::setw(8)
            << row.frames << std::setprecision(2) << std::setw(14) << row.segmentalSnr
            << std::setw(12) << row.overallSnr;
        if (measures) printMeasureCells(out, row.measures);
        out << std::setprecision(1) << std::setw(13) << row.timesRealTime << '\n';
    }
    out << std::defaultfloat;
}

void printCsv(std::ostream& out, std::span<const ResultRow> rows, bool measures) {
    out << "file,frames,segmental_snr_db,overall_snr_db";
    if (measures) printMeasureCsvHeaders(out);
    out << ",times_real_time\n";
    for (const ResultRow& row : rows) {
        out << csvField(row.file) << ',' << row.frames << ',' << numberText(row.segmentalSnr) << ','
            << numberText(row.overallSnr);
        if (measures) printMeasureCsvCells(out, row.measures);
        out << ',' << numberText(row.timesRealTime) << '\n';
    }
}

}  // namespace zorvel::cli
