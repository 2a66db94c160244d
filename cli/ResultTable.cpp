#include "cli/ResultTable.h"

#include <algorithm>
#include <iomanip>

#include "cli/NumberText.h"

namespace zorvel::cli {

void printTable(std::ostream& out, std::span<const ResultRow> rows) {
    std::size_t fileWidth = 4;
    for (const ResultRow& row : rows) fileWidth = std::max(fileWidth, tableText(row.file).size());
    const auto w = static_cast<int>(fileWidth);
    out << std::left << std::setw(w) << "file" << std::right << std::setw(8) << "frames"
        << std::setw(14) << "SNRseg [dB]" << std::setw(12) << "SNR [dB]" << std::setw(13)
        << "x real time" << '\n';
    out << std::fixed;
    for (const ResultRow& row : rows) {
        out << std::left << std::setw(w) << tableText(row.file) << std::right << std::setw(8)
            << row.frames << std::setprecision(2) << std::setw(14) << row.segmentalSnr
            << std::setw(12) << row.overallSnr << std::setprecision(1) << std::setw(13)
            << row.timesRealTime << '\n';
    }
    out << std::defaultfloat;
}

void printCsv(std::ostream& out, std::span<const ResultRow> rows) {
    out << "file,frames,segmental_snr_db,overall_snr_db,times_real_time\n";
    for (const ResultRow& row : rows) {
        out << csvField(row.file) << ',' << row.frames << ',' << numberText(row.segmentalSnr) << ','
            << numberText(row.overallSnr) << ',' << numberText(row.timesRealTime) << '\n';
    }
}

}  // namespace zorvel::cli
