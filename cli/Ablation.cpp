#include "cli/Ablation.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <iomanip>
#include <iostream>
#include <mutex>
#include <thread>

#include "cli/FileChecks.h"
#include "cli/MeasureColumns.h"
#include "cli/NumberText.h"
#include "sound/SpeechInput.h"

namespace zorvel::cli {
namespace {

std::optional<double> number(std::string_view text) {
    double value = 0.0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return std::nullopt;
    return value;
}

std::string rowName(const CoderSettings& settings, const CoderSettings& base) {
    if (settings == base) return settings.isDefault() ? "default" : settingsSummary(settings);
    return settingsSummary(settings);
}

}  // namespace

std::vector<AblationRow> ablationRows(const CoderSettings& base) {
    std::vector<AblationRow> rows{{rowName(base, base), base}};
    const auto add = [&](auto change) {
        CoderSettings settings = base;
        change(settings);
        if (settings == base) return;
        rows.push_back({rowName(settings, base), settings});
    };
    add([](CoderSettings& s) { s.pitchResolution = PitchResolution::third; });
    add([](CoderSettings& s) { s.pitchResolution = PitchResolution::sixth; });
    add([](CoderSettings& s) { s.enhancement = false; });
    add([](CoderSettings& s) { s.lagWindow = false; });
    add([](CoderSettings& s) { s.adaptiveCodebook = false; });
    return rows;
}

std::optional<std::string> variedRows(const CoderSettings& base, const std::string& vary,
                                      std::vector<AblationRow>& rows) {
    const std::size_t equals = vary.find('=');
    const std::size_t first = vary.find(':', equals == std::string::npos ? 0 : equals);
    const std::size_t second = first == std::string::npos ? first : vary.find(':', first + 1);
    if (equals == std::string::npos || first == std::string::npos || second == std::string::npos)
        return "--vary takes NAME=FROM:TO:STEP";
    const std::string name = vary.substr(0, equals);
    const auto from = number(std::string_view(vary).substr(equals + 1, first - equals - 1));
    const auto to = number(std::string_view(vary).substr(first + 1, second - first - 1));
    const auto step = number(std::string_view(vary).substr(second + 1));
    if (!from || !to || !step || !(*step > 0.0) || *to < *from)
        return "--vary: FROM, TO and STEP are numbers, STEP above 0 and TO not below FROM";
    rows = {{rowName(base, base), base}};
    const long count = std::lround(std::floor((*to - *from) / *step + 1e-9)) + 1;
    for (long k = 0; k < count; ++k) {
        // Twelve digits: 0.9 + 2 * 0.02 is 0.94, not 0.9400000000000001.
        const double value = *from + static_cast<double>(k) * *step;
        char text[32];
        const auto written =
            std::to_chars(text, text + sizeof text, value, std::chars_format::general, 12);
        CoderSettings settings = base;
        const std::string assignment = name + "=" + std::string(text, written.ptr);
        if (auto problem = applySetting(settings, assignment)) return "--vary: " + *problem;
        rows.push_back({assignment, settings});
    }
    return std::nullopt;
}

void printAblationTable(std::ostream& out, const AblationTable& table) {
    std::size_t width = 8;
    for (const AblationRow& row : table.rows) width = std::max(width, row.name.size() + 2);
    out << std::left << std::setw(8) << "mode" << std::setw(static_cast<int>(width)) << "row"
        << std::right << std::setw(8) << "frames" << std::setw(14) << "SNRseg [dB]" << std::setw(10)
        << "change" << std::setw(12) << "SNR [dB]" << std::setw(10) << "change";
    if (table.measures) printMeasureHeaders(out);
    out << '\n';
    out << std::fixed << std::setprecision(2);
    for (std::size_t m = 0; m < table.modes.size(); ++m) {
        const ModeFigures& first = table.figures.front()[m];
        for (std::size_t r = 0; r < table.rows.size(); ++r) {
            const ModeFigures& f = table.figures[r][m];
            out << std::left << std::setw(8) << rulesOf(table.modes[m]).rate
                << std::setw(static_cast<int>(width)) << table.rows[r].name << std::right
                << std::setw(8) << f.frames << std::setw(14) << f.segmentalSnr << std::setw(10)
                << std::showpos << f.segmentalSnr - first.segmentalSnr << std::noshowpos
                << std::setw(12) << f.overallSnr << std::setw(10) << std::showpos
                << f.overallSnr - first.overallSnr << std::noshowpos;
            if (table.measures) printMeasureCells(out, f.measures);
            out << '\n';
        }
    }
    out.unsetf(std::ios::floatfield);
}

void printAblationCsv(std::ostream& out, const AblationTable& table) {
    out << "mode,rate_kbps,row,frames,segmental_snr_db,overall_snr_db,segmental_change_db,"
           "overall_change_db";
    if (table.measures) printMeasureCsvHeaders(out);
    out << '\n';
    for (std::size_t m = 0; m < table.modes.size(); ++m) {
        const ModeFigures& first = table.figures.front()[m];
        for (std::size_t r = 0; r < table.rows.size(); ++r) {
            const ModeFigures& f = table.figures[r][m];
            out << modeNumber(table.modes[m]) << ',' << rulesOf(table.modes[m]).rate << ','
                << csvField(table.rows[r].name) << ',' << f.frames << ','
                << numberText(f.segmentalSnr) << ',' << numberText(f.overallSnr) << ','
                << numberText(f.segmentalSnr - first.segmentalSnr) << ','
                << numberText(f.overallSnr - first.overallSnr);
            if (table.measures) printMeasureCsvCells(out, f.measures);
            out << '\n';
        }
    }
}

int runAblation(const SweepArguments& a) {
    CoderSettings base = a.settings;
    std::vector<AblationRow> rows;
    if (!a.vary.empty()) {
        if (auto problem = variedRows(base, a.vary, rows)) return usageError("sweep", *problem);
    } else {
        rows = ablationRows(base);
    }
    std::vector<std::filesystem::path> inputs;
    for (const std::string& input : a.inputs) {
        try {
            checkInput(input);
        } catch (const FileError& error) {
            std::cerr << "zorvel-cli: " << input << ": " << error.what() << '\n';
            return kExitFailed;
        }
        inputs.emplace_back(input);
    }
    AblationTable table;
    table.rows = rows;
    table.measures = a.measures;
    const std::optional<SaveOption> measured =
        a.measures
            ? std::optional(a.postProcessed ? SaveOption::postProcessed : SaveOption::synthesized)
            : std::nullopt;
    table.modes = a.modes.empty()
                      ? std::vector<CoderMode>(kAllCoderModes.begin(), kAllCoderModes.end())
                      : a.modes;
    // Every (row, mode, file) on the pool; totals per (row, mode) from the files.
    const std::size_t files = inputs.size();
    const std::size_t jobs = rows.size() * table.modes.size() * files;
    std::vector<ModeFigures> perFile(jobs);
    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    auto worker = [&] {
        for (std::size_t job = next++; job < jobs; job = next++) {
            const std::size_t file = job % files;
            const std::size_t m = (job / files) % table.modes.size();
            const std::size_t r = job / files / table.modes.size();
            const CoderSettings& s = rows[r].settings;
            const auto figures = codeInMode(SpeechInput(inputs[file]), table.modes[m],
                                            !s.adaptiveCodebook, nullptr, {}, measured, s);
            if (!figures) {
                failed = true;
                continue;
            }
            perFile[job] = *figures;
        }
    };
    {
        const unsigned wanted =
            a.jobs != 0 ? a.jobs : std::max(std::thread::hardware_concurrency(), 1u);
        std::vector<std::jthread> pool;
        for (unsigned t = 0; t < std::min<std::size_t>(wanted, std::max<std::size_t>(jobs, 1)); ++t)
            pool.emplace_back(worker);
    }
    if (failed) return kExitFailed;
    table.figures.assign(rows.size(), std::vector<ModeFigures>(table.modes.size()));
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (std::size_t m = 0; m < table.modes.size(); ++m) {
            const auto first =
                perFile.begin() + static_cast<std::ptrdiff_t>((r * table.modes.size() + m) * files);
            table.figures[r][m] =
                totalFigures(std::span(first, first + static_cast<std::ptrdiff_t>(files)));
            table.figures[r][m].mode = table.modes[m];
        }
    if (a.csv)
        printAblationCsv(std::cout, table);
    else
        printAblationTable(std::cout, table);
    std::cout.flush();
    return std::cout.fail() ? kExitFailed : kExitOk;
}

}  // namespace zorvel::cli
