#include "cli/CompareCommand.h"

#include <fstream>
#include <iomanip>
#include <iostream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/FileChecks.h"
#include "cli/InputFormat.h"
#include "cli/MeasureColumns.h"
#include "cli/NumberText.h"
#include "coder/CompareRecordings.h"
#include "files/FileError.h"
#include "sound/Recording.h"
#include "sound/Wave.h"

namespace zorvel::cli {
namespace {

// The 16-bit little-endian samples of `bytes` from byte 60 (an odd last byte
// left out).
std::vector<double> samplesFrom60(const std::string& bytes) {
    std::vector<double> samples;
    for (std::size_t i = kSampleDataOffset; i + 1 < bytes.size(); i += 2) {
        const auto low = static_cast<unsigned char>(bytes[i]);
        const auto high = static_cast<unsigned char>(bytes[i + 1]);
        samples.push_back(static_cast<std::int16_t>(low | (high << 8)));
    }
    return samples;
}

// A recording as the coder would take it: a file of its own format from
// byte 60, any other converted in memory as --resample converts it.
std::vector<double> readRecording(const std::filesystem::path& file) {
    checkInput(file);
    if (convertsInput(file, {.resample = true}))
        return samplesFrom60(convertInput(file, false).bytes);
    std::ifstream in(file, std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) throw FileError("the recording could not be read");
    return samplesFrom60(bytes);
}

// The figures before the measures: their names, texts and values.
struct Figure {
    std::string label;    // in the list
    std::string csvName;  // CSV column and JSON key
    std::string text;     // in the list
    nlohmann::ordered_json value;
};

std::vector<Figure> leadingFigures(const CompareArguments& a, const RecordingComparison& c) {
    const auto fixed2 = [](double v) {
        std::ostringstream text;
        text << std::fixed << std::setprecision(2) << v;
        return text.str();
    };
    return {
        {"reference", "reference", tableText(a.reference), a.reference},
        {"degraded", "degraded", tableText(a.degraded), a.degraded},
        {"delay [samples]", "delay_samples", std::to_string(c.delay), c.delay},
        {"samples", "samples", std::to_string(c.samples), c.samples},
        {"frames", "frames", std::to_string(c.frames), c.frames},
        {"SNRseg [dB]", "segmental_snr_db", fixed2(c.segmentalSnr), c.segmentalSnr},
        {"SNR [dB]", "overall_snr_db", fixed2(c.overallSnr), c.overallSnr},
    };
}

void printList(std::ostream& out, const std::vector<Figure>& leading,
               const RecordingComparison& c) {
    std::vector<std::pair<std::string, std::string>> rows;
    for (const Figure& f : leading) rows.emplace_back(f.label, f.text);
    const std::vector<std::string> headers = measureHeaderTexts();
    const std::vector<std::string> cells = measureCellTexts(c.measures);
    for (std::size_t i = 0; i < headers.size(); ++i) rows.emplace_back(headers[i], cells[i]);
    std::size_t width = 0;
    for (const auto& row : rows) width = std::max(width, row.first.size());
    for (const auto& [label, text] : rows)
        out << std::left << std::setw(static_cast<int>(width + 2)) << label << text << '\n';
}

void printCsv(std::ostream& out, const std::vector<Figure>& leading, const RecordingComparison& c) {
    for (std::size_t i = 0; i < leading.size(); ++i) out << (i ? "," : "") << leading[i].csvName;
    printMeasureCsvHeaders(out);
    out << '\n'
        << csvField(leading[0].value.get<std::string>()) << ','
        << csvField(leading[1].value.get<std::string>()) << ',' << c.delay << ',' << c.samples
        << ',' << c.frames << ',' << numberText(c.segmentalSnr) << ',' << numberText(c.overallSnr);
    printMeasureCsvCells(out, c.measures);
    out << '\n';
}

void printJson(std::ostream& out, const std::vector<Figure>& leading,
               const RecordingComparison& c) {
    nlohmann::ordered_json object;
    for (const Figure& f : leading) object[f.csvName] = f.value;
    for (const auto& [name, value] : measureValues(c.measures))
        object[name] = value ? nlohmann::ordered_json(*value) : nlohmann::ordered_json(nullptr);
    out << object.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

}  // namespace

int runCompare(const CompareArguments& a) {
    std::vector<double> reference, degraded;
    for (const auto& [name, samples] :
         {std::pair{&a.reference, &reference}, std::pair{&a.degraded, &degraded}}) {
        try {
            *samples = readRecording(*name);
        } catch (const FileError& error) {
            std::cerr << "zorvel-cli: " << *name << ": " << error.what() << '\n';
            return kExitFailed;
        }
    }
    const std::int64_t delay = a.align ? alignDelay(reference, degraded) : a.delay.value_or(0);
    RecordingComparison comparison;
    try {
        comparison = compareRecordings(reference, degraded, delay);
    } catch (const FileError& error) {
        std::cerr << "zorvel-cli compare: " << error.what() << '\n';
        return kExitFailed;
    }
    const std::vector<Figure> leading = leadingFigures(a, comparison);
    if (a.json)
        printJson(std::cout, leading, comparison);
    else if (a.csv)
        printCsv(std::cout, leading, comparison);
    else
        printList(std::cout, leading, comparison);
    std::cout.flush();
    if (!std::cout) {
        std::cerr << "zorvel-cli: could not write the figures to standard output\n";
        return kExitFailed;
    }
    return kExitOk;
}

}  // namespace zorvel::cli
