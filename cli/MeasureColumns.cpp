#include "cli/MeasureColumns.h"

#include <iomanip>
#include <sstream>
#include <string>

#include "cli/NumberText.h"

namespace zorvel::cli {
namespace {

template <class Measure>
std::optional<double> meanOf(const std::optional<MeasureMeans>& means, Measure measure) {
    return means ? means->mean(measure) : std::nullopt;
}

std::string fixedText(double value, int decimals) {
    std::ostringstream text;
    text << std::fixed << std::setprecision(decimals) << value;
    return text.str();
}

// Each text right-aligned in its column; the stream's flags left as they were.
void printColumns(std::ostream& out, const std::vector<std::string>& texts) {
    const auto flags = out.flags();
    out << std::right;
    for (const std::string& text : texts) out << std::setw(kMeasureColumnWidth) << text;
    out.flags(flags);
}

}  // namespace

std::vector<std::string> measureHeaderTexts() {
    std::vector<std::string> headers;
    for (SpectralMeasure measure : kAllSpectralMeasures) {
        const SpectralMeasureInfo& info = infoOf(measure);
        std::string header(info.label);
        if (!info.unit.empty()) header += " [" + std::string(info.unit) + "]";
        headers.push_back(header);
    }
    for (FileMeasure measure : kAllFileMeasures) {
        const FileMeasureInfo& info = infoOf(measure);
        std::string header(info.label);
        if (!info.unit.empty()) header += " [" + std::string(info.unit) + "]";
        headers.push_back(header);
    }
    return headers;
}

std::vector<std::string> measureCellTexts(const std::optional<MeasureMeans>& means) {
    std::vector<std::string> cells;
    auto add = [&cells](std::optional<double> value, int decimals) {
        cells.push_back(value ? fixedText(*value, decimals) : "-");
    };
    for (SpectralMeasure measure : kAllSpectralMeasures)
        add(meanOf(means, measure), infoOf(measure).unit.empty() ? 3 : 2);
    for (FileMeasure measure : kAllFileMeasures)
        add(meanOf(means, measure), infoOf(measure).decimals);
    return cells;
}

void printMeasureHeaders(std::ostream& out) { printColumns(out, measureHeaderTexts()); }

void printMeasureCells(std::ostream& out, const std::optional<MeasureMeans>& means) {
    printColumns(out, measureCellTexts(means));
}

std::vector<std::pair<std::string, std::optional<double>>> measureValues(
    const std::optional<MeasureMeans>& means) {
    std::vector<std::pair<std::string, std::optional<double>>> values;
    for (SpectralMeasure measure : kAllSpectralMeasures)
        values.emplace_back(std::string(infoOf(measure).csvName), meanOf(means, measure));
    for (FileMeasure measure : kAllFileMeasures)
        values.emplace_back(std::string(infoOf(measure).csvName), meanOf(means, measure));
    return values;
}

void printMeasureCsvHeaders(std::ostream& out) {
    for (const auto& [name, value] : measureValues(std::nullopt)) out << ',' << name;
}

void printMeasureCsvCells(std::ostream& out, const std::optional<MeasureMeans>& means) {
    for (const auto& [name, value] : measureValues(means))
        out << ',' << (value ? numberText(*value) : std::string());
}

}  // namespace zorvel::cli
