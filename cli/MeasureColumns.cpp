#include "cli/MeasureColumns.h"

#include <iomanip>
#include <string>

#include "cli/NumberText.h"

namespace zorvel::cli {
namespace {

std::optional<double> meanOf(const std::optional<MeasureMeans>& means, SpectralMeasure measure) {
    return means ? means->mean(measure) : std::nullopt;
}

}  // namespace

void printMeasureHeaders(std::ostream& out) {
    for (SpectralMeasure measure : kAllSpectralMeasures) {
        const SpectralMeasureInfo& info = infoOf(measure);
        std::string header(info.label);
        if (!info.unit.empty()) header += " [" + std::string(info.unit) + "]";
        out << std::setw(kMeasureColumnWidth) << header;
    }
}

void printMeasureCells(std::ostream& out, const std::optional<MeasureMeans>& means) {
    const auto flags = out.flags();
    const auto precision = out.precision();
    out << std::right << std::fixed;
    for (SpectralMeasure measure : kAllSpectralMeasures) {
        const std::optional<double> mean = meanOf(means, measure);
        if (!mean) {
            out << std::setw(kMeasureColumnWidth) << "-";
            continue;
        }
        out << std::setprecision(infoOf(measure).unit.empty() ? 3 : 2)
            << std::setw(kMeasureColumnWidth) << *mean;
    }
    out.flags(flags);
    out.precision(precision);
}

void printMeasureCsvHeaders(std::ostream& out) {
    for (SpectralMeasure measure : kAllSpectralMeasures) out << ',' << infoOf(measure).csvName;
}

void printMeasureCsvCells(std::ostream& out, const std::optional<MeasureMeans>& means) {
    for (SpectralMeasure measure : kAllSpectralMeasures) {
        const std::optional<double> mean = meanOf(means, measure);
        out << ',' << (mean ? numberText(*mean) : std::string());
    }
}

}  // namespace zorvel::cli
