#include "cli/SweepTable.h"

#include <algorithm>
#include <iomanip>

#include "cli/MeasureColumns.h"
#include "cli/NumberText.h"

namespace zorvel::cli {
namespace {

// Every row of the table: the files' rows, then the totals.
template <class Row>
void forEachRow(const std::vector<SweepTableFile>& files, const SweepRow& total, Row row) {
    for (const SweepTableFile& file : files)
        for (const ModeFigures& figures : file.figures) row(file.file, figures);
    for (const ModeFigures& figures : total) row(std::string(kTotalRowName), figures);
}

}  // namespace

void printSweepTable(std::ostream& out, const std::vector<SweepTableFile>& files,
                     const SweepRow& total, bool measures) {
    std::size_t fileWidth = std::string_view(kTotalRowName).size();
    for (const SweepTableFile& file : files)
        fileWidth = std::max(fileWidth, tableText(file.file).size());
    const auto w = static_cast<int>(fileWidth);
    out << std::left << std::setw(w) << "file" << std::right << std::setw(6) << "mode"
        << std::setw(8) << "kbit/s" << std::setw(8) << "frames" << std::setw(14) << "SNRseg [dB]"
        << std::setw(12) << "SNR [dB]";
    if (measures) printMeasureHeaders(out);
    out << '\n';
    out << std::fixed;
    forEachRow(files, total, [&](const std::string& file, const ModeFigures& f) {
        out << std::left << std::setw(w) << tableText(file) << std::right << std::setw(6)
            << modeNumber(f.mode) << std::setw(8) << rulesOf(f.mode).rate << std::setw(8)
            << f.frames << std::setprecision(2) << std::setw(14) << f.segmentalSnr << std::setw(12)
            << f.overallSnr;
        if (measures) printMeasureCells(out, f.measures);
        out << '\n';
    });
    out << std::defaultfloat;
}

void printSweepCsv(std::ostream& out, const std::vector<SweepTableFile>& files,
                   const SweepRow& total, bool measures) {
    out << "file,mode,bit_rate_kbps,frames,segmental_snr_db,overall_snr_db";
    if (measures) printMeasureCsvHeaders(out);
    out << '\n';
    forEachRow(files, total, [&](const std::string& file, const ModeFigures& f) {
        out << csvField(file) << ',' << modeNumber(f.mode) << ',' << rulesOf(f.mode).rate << ','
            << f.frames << ',' << numberText(f.segmentalSnr) << ',' << numberText(f.overallSnr);
        if (measures) printMeasureCsvCells(out, f.measures);
        out << '\n';
    });
}

}  // namespace zorvel::cli
