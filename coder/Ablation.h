// The ablation: what each setting of the coder buys. The inputs are coded
// with the settings given (the design's coder by default) and with each
// setting changed alone from them, or with one numeric setting at a row of
// values; for each mode chosen, each row's figures over all the files
// (totals as the mode sweep makes them, from the summed energies and frame
// counts) and their differences from the first row.
//
// The rows are coded (row, mode, file) at a time on the pool, the rows in
// their order, so that a caller watching the cells sees the rows fill one
// after another.
#pragma once

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "coder/CoderSettings.h"
#include "coder/ModeSweep.h"

namespace zorvel {

struct AblationRow {
    std::string name;  // "default", or what differs from the first row
    CoderSettings settings;
    // The varied setting's value, in the rows of a variation after the first.
    std::optional<double> value{};
};

// The rows of an ablation: the settings themselves, then each setting
// changed alone to each of its ablation values, in the order of the settings'
// table (settingDescriptors): lags in thirds and sixths of a sample, LP
// interpolation in line spectral frequencies, the high-pass at its suggested
// cut-off, no enhancement, no lag window, no adaptive codebook. A row whose
// settings equal the first row's is left out.
std::vector<AblationRow> ablationRows(const CoderSettings& base);

// The most values a variation codes: each is a row coded in every mode.
inline constexpr long kMaxVariedRows = 1000;

// What is wrong with a variation.
enum class VariationProblemKind {
    notRange,      // the text is not NAME=FROM:TO:STEP
    badBounds,     // FROM, TO or STEP is no finite number, STEP not above 0 or TO below FROM
    stepTooSmall,  // FROM + STEP == FROM: `from`, `step`
    tooManyRows,   // more than kMaxVariedRows values: `rows` of them
    noNewRow,      // STEP gives a value named as the one before, `row`: `step`
    setting,       // a value of the rows cannot be set: see `setting`
};

struct VariationProblem {
    VariationProblemKind kind;
    std::optional<SettingProblem> setting{};
    std::string from{};  // FROM and STEP as given
    std::string step{};
    std::string row{};  // the row STEP does not leave
    double rows = 0.0;  // the values the variation would give
};

// The rows of a variation NAME=FROM:TO:STEP: the settings, then NAME at FROM,
// FROM + STEP, ... up to TO; what is wrong when the text or a value is, when
// STEP moves no value (FROM + STEP == FROM, or a row named as the one before
// it) or when there would be more than kMaxVariedRows values; `rows` is then
// left as it was.
std::optional<VariationProblem> variedRows(const CoderSettings& base, const std::string& vary,
                                           std::vector<AblationRow>& rows);

// The name of the setting the rows vary ("gamma1"); empty when they are an
// ablation's rows (no row after the first carries a value).
std::string variedSetting(const std::vector<AblationRow>& rows);

// Per row, the figures of each mode chosen, in total over the files.
struct AblationTable {
    std::vector<AblationRow> rows;
    std::vector<CoderMode> modes;
    std::vector<std::vector<ModeFigures>> figures;  // [row][mode]
    bool measures = false;  // the figures carry the means of the spectral distances

    // A row's change from the first row in one mode, in dB.
    double segmentalChange(std::size_t row, std::size_t mode) const {
        return figures[row][mode].segmentalSnr - figures.front()[mode].segmentalSnr;
    }
    double overallChange(std::size_t row, std::size_t mode) const {
        return figures[row][mode].overallSnr - figures.front()[mode].overallSnr;
    }
};

// Called once every file of a (row, mode) cell is coded, with the cell's
// total, from the thread that coded its last file.
using AblationCellDone =
    std::function<void(std::size_t row, std::size_t mode, const ModeFigures& total)>;

// Called with the figures of one file of a (row, mode) cell once it is
// coded, from the thread that coded it.
using AblationFileDone = std::function<void(std::size_t row, std::size_t mode, std::size_t file,
                                            const ModeFigures& figures)>;

// What an ablation codes, and how.
struct AblationRun {
    std::vector<std::filesystem::path> inputs;
    SweepInputOpener open;  // opens a run's input by file index; empty: by its path
    std::vector<AblationRow> rows;
    std::vector<CoderMode> modes;
    unsigned threads = 1;  // at least one is used
    // What watches every run and the output the distances measure; the
    // settings are each row's own.
    ModeRunOptions options{};
    AblationCellDone onCell;
    AblationFileDone onFile;
};

// Codes every (row, mode, file) of the run. Nothing is returned when the run
// was cancelled or an input could not be coded.
std::optional<AblationTable> computeAblation(const AblationRun& run);

}  // namespace zorvel
