// The ablation's rows and their computation: one coder per (row, mode, file),
// run as the mode sweep runs it (codeInMode), the files of a cell totalled
// by totalFigures once the last of them is coded.
#include "coder/Ablation.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>
#include <utility>

#include "coder/WorkPool.h"

namespace zorvel {
namespace {

std::optional<double> number(std::string_view text) {
    double value = 0.0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return std::nullopt;
    return value;
}

// The first row by what it differs from the defaults in; the others by what
// they differ from the first in.
std::string rowName(const CoderSettings& settings, const CoderSettings& base) {
    if (settings == base) return settings.isDefault() ? "default" : settingsSummary(settings);
    return settingsSummary(settings, base);
}

bool cancelled(const std::atomic<bool>* cancel) {
    return cancel != nullptr && cancel->load(std::memory_order_relaxed);
}

// The steps of FROM..TO are counted with this much of a step to spare, so
// that 0.2:0.6:0.2 ends at 0.6 although (0.6 - 0.2) / 0.2 is 1.9999999999999998.
constexpr double kStepCountSlack = 1e-9;

}  // namespace

std::vector<AblationRow> ablationRows(const CoderSettings& base) {
    std::vector<AblationRow> rows{{rowName(base, base), base}};
    for (const SettingDescriptor& setting : settingDescriptors()) {
        for (const std::string& value : ablationValues(setting)) {
            CoderSettings settings = base;
            if (applySetting(settings, std::string(setting.name) + "=" + value) || settings == base)
                continue;
            rows.push_back({rowName(settings, base), settings});
        }
    }
    return rows;
}

std::optional<VariationProblem> variedRows(const CoderSettings& base, const std::string& vary,
                                           std::vector<AblationRow>& rows) {
    const std::size_t equals = vary.find('=');
    const std::size_t first = vary.find(':', equals == std::string::npos ? 0 : equals);
    const std::size_t second = first == std::string::npos ? first : vary.find(':', first + 1);
    if (equals == std::string::npos || first == std::string::npos || second == std::string::npos)
        return VariationProblem{VariationProblemKind::notRange};
    const std::string name = vary.substr(0, equals);
    const std::string fromText = vary.substr(equals + 1, first - equals - 1);
    const std::string stepText = vary.substr(second + 1);
    const auto from = number(fromText);
    const auto to = number(std::string_view(vary).substr(first + 1, second - first - 1));
    const auto step = number(stepText);
    if (!from || !to || !step || !std::isfinite(*from) || !std::isfinite(*to) ||
        !std::isfinite(*step) || !(*step > 0.0) || *to < *from)
        return VariationProblem{VariationProblemKind::badBounds};
    if (*from + *step == *from)
        return VariationProblem{
            .kind = VariationProblemKind::stepTooSmall, .from = fromText, .step = stepText};
    // Counted before anything is made: (TO - FROM) / STEP may exceed every integer.
    const double steps = std::floor((*to - *from) / *step + kStepCountSlack);
    if (!(steps < static_cast<double>(kMaxVariedRows)))
        return VariationProblem{.kind = VariationProblemKind::tooManyRows, .rows = steps + 1};
    std::vector<AblationRow> made{{rowName(base, base), base}};
    const long count = std::lround(steps) + 1;
    for (long k = 0; k < count; ++k) {
        // Twelve digits: 0.9 + 2 * 0.02 is 0.94, not 0.9400000000000001.
        const double value = *from + static_cast<double>(k) * *step;
        char text[32];
        const auto written =
            std::to_chars(text, text + sizeof text, value, std::chars_format::general, 12);
        const std::string valueText(text, written.ptr);
        CoderSettings settings = base;
        const std::string assignment = name + "=" + valueText;
        if (k > 0 && assignment == made.back().name)
            return VariationProblem{
                .kind = VariationProblemKind::noNewRow, .step = stepText, .row = assignment};
        if (auto problem = applySetting(settings, assignment))
            return VariationProblem{VariationProblemKind::setting, std::move(problem)};
        made.push_back({assignment, settings, number(valueText)});
    }
    rows = std::move(made);
    return std::nullopt;
}

std::string variedSetting(const std::vector<AblationRow>& rows) {
    for (std::size_t r = 1; r < rows.size(); ++r)
        if (rows[r].value) return rows[r].name.substr(0, rows[r].name.find('='));
    return {};
}

std::optional<AblationTable> computeAblation(const AblationRun& run) {
    AblationTable table;
    table.rows = run.rows;
    table.modes = run.modes;
    table.measures = run.options.measured.has_value();
    const std::size_t files = run.inputs.size();
    const std::size_t modes = run.modes.size();
    const std::size_t cells = run.rows.size() * modes;
    const std::size_t jobs = cells * files;
    // Job j is file j % files of cell j / files; cell c is mode c % modes of row c / modes.
    std::vector<ModeFigures> perFile(jobs);
    std::vector<std::atomic<std::size_t>> filesDone(cells);
    table.figures.assign(run.rows.size(), std::vector<ModeFigures>(modes));
    for (auto& row : table.figures)
        for (std::size_t m = 0; m < modes; ++m) row[m].mode = run.modes[m];
    const bool completed = runOnPool(jobs, run.threads, [&](std::size_t job) {
        const std::size_t file = job % files;
        const std::size_t cell = job / files;
        const std::size_t m = cell % modes;
        const std::size_t r = cell / modes;
        ModeRunOptions options = run.options;
        options.settings = run.rows[r].settings;
        std::optional<ModeFigures> figures;
        try {
            SpeechInput input = run.open ? run.open(file) : SpeechInput(run.inputs[file]);
            figures = codeInMode(std::move(input), run.modes[m], options);
        } catch (const FileError& error) {
            throw SweepFileError(file, error);
        }
        if (!figures) return false;
        perFile[job] = *figures;
        if (run.onFile) run.onFile(r, m, file, *figures);
        // The thread that codes a cell's last file totals the cell: the
        // others' figures are visible to it through the counter.
        if (filesDone[cell].fetch_add(1, std::memory_order_acq_rel) + 1 != files) return true;
        const auto begin = perFile.begin() + static_cast<std::ptrdiff_t>(cell * files);
        ModeFigures total = totalFigures(std::span(begin, files));
        total.mode = run.modes[m];
        table.figures[r][m] = total;
        if (run.onCell) run.onCell(r, m, total);
        return true;
    });
    if (!completed || cancelled(run.options.cancel)) return std::nullopt;
    return table;
}

}  // namespace zorvel
