// The ablation's rows and their computation: each row's totals equal those
// of the coder run row by row, file by file, in one thread; cells are
// reported once each, in row order on one thread; a cancel or a failing input
// ends the run.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <stdexcept>

#include "coder/Ablation.h"
#include "tests/TestSupport.h"

namespace zorvel {
namespace {

std::vector<std::string> namesOf(const std::vector<AblationRow>& rows) {
    std::vector<std::string> names;
    for (const AblationRow& row : rows) names.push_back(row.name);
    return names;
}

TEST(AblationRows, EachToolChangedAloneInOrder) {
    const std::vector<AblationRow> rows = ablationRows(CoderSettings{});
    EXPECT_EQ(namesOf(rows), (std::vector<std::string>{
                                 "default", "pitch-resolution=1/3", "pitch-resolution=1/6",
                                 "lp-interpolation=lsf", "high-pass=80", "enhancement=off",
                                 "lag-window=off", "adaptive-codebook=off", "quantisation=on"}));
    // Each row differs from the first in exactly the one setting it names.
    for (std::size_t r = 1; r < rows.size(); ++r) {
        CoderSettings expected;
        ASSERT_FALSE(applySetting(expected, rows[r].name)) << rows[r].name;
        EXPECT_EQ(rows[r].settings, expected) << rows[r].name;
        EXPECT_FALSE(rows[r].value.has_value());
    }
    EXPECT_EQ(rows[4].settings.highPass, findSetting("high-pass")->suggested);
    EXPECT_EQ(variedSetting(rows), "");
}

TEST(AblationRows, ARowEqualToTheFirstIsLeftOut) {
    CoderSettings base;
    base.lpInterpolation = LpInterpolation::lsf;
    base.adaptiveCodebook = false;
    const std::vector<AblationRow> rows = ablationRows(base);
    EXPECT_EQ(namesOf(rows), (std::vector<std::string>{
                                 "lp-interpolation=lsf, adaptive-codebook=off",
                                 "pitch-resolution=1/3", "pitch-resolution=1/6", "high-pass=80",
                                 "enhancement=off", "lag-window=off", "quantisation=on"}))
        << "the first row named by what differs from the defaults, the others from it";
    for (std::size_t r = 1; r < rows.size(); ++r) EXPECT_NE(rows[r].settings, base);
    // A high-pass at the row's own cut-off already: that row goes too.
    base.highPass = findSetting("high-pass")->suggested;
    EXPECT_EQ(ablationRows(base).size(), rows.size() - 1);
}

TEST(AblationRows, AVariationCarriesItsValues) {
    std::vector<AblationRow> rows;
    ASSERT_FALSE(variedRows(CoderSettings{}, "gamma2=0.3:0.5:0.1", rows));
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_FALSE(rows[0].value.has_value());
    const double values[] = {0.3, 0.4, 0.5};
    for (std::size_t k = 0; k < 3; ++k) {
        ASSERT_TRUE(rows[k + 1].value.has_value());
        EXPECT_EQ(*rows[k + 1].value, values[k]);
        EXPECT_EQ(rows[k + 1].settings.gamma2, values[k]);
    }
    EXPECT_EQ(variedSetting(rows), "gamma2");
    EXPECT_TRUE(variedRows(CoderSettings{}, "gamma2=0.5:0.3:0.1", rows));
}

// kMaxVariedRows values are made, one more is refused before any row is;
// a step that names no new value is refused whatever the count.
TEST(AblationRows, AVariationHasAtMostItsLimitOfValuesEachNew) {
    std::vector<AblationRow> rows;
    ASSERT_EQ(kMaxVariedRows, 1000);
    ASSERT_FALSE(variedRows(CoderSettings{}, "postfilter-tilt=0:0.999:0.001", rows));
    ASSERT_EQ(rows.size(), 1u + kMaxVariedRows);
    EXPECT_EQ(rows.back().name, "postfilter-tilt=0.999");
    EXPECT_EQ(*rows[500].value, 0.499);

    using Kind = VariationProblemKind;
    const struct {
        const char* vary;
        VariationProblem problem;
    } refused[] = {
        {"postfilter-tilt=0:1:0.001", {.kind = Kind::tooManyRows, .rows = 1001}},
        {"gamma1=0.9:0.9:1e-17", {.kind = Kind::stepTooSmall, .from = "0.9", .step = "1e-17"}},
        {"gamma1=0.9:0.9000000000004:1e-13",
         {.kind = Kind::noNewRow, .step = "1e-13", .row = "gamma1=0.9"}},
        {"gamma1=0.7:inf:0.1", {.kind = Kind::badBounds}},
        {"gamma1=nan:0.9:0.1", {.kind = Kind::badBounds}},
        {"gamma1=0.7:0.9:1e-300", {.kind = Kind::stepTooSmall, .from = "0.7", .step = "1e-300"}},
        {"gamma1=0.7:0.9", {.kind = Kind::notRange}},
        {"gamma2=0.9:1:0.05",
         {.kind = Kind::setting,
          .setting = SettingProblem{SettingProblemKind::notBelow, findSetting("gamma2"), "gamma2",
                                    "0.95", "0.94"}}},
    };
    for (const auto& c : refused) {
        rows.clear();
        const std::optional<VariationProblem> problem = variedRows(CoderSettings{}, c.vary, rows);
        ASSERT_TRUE(problem) << c.vary;
        EXPECT_EQ(problem->kind, c.problem.kind) << c.vary;
        EXPECT_EQ(problem->from, c.problem.from) << c.vary;
        EXPECT_EQ(problem->step, c.problem.step) << c.vary;
        EXPECT_EQ(problem->row, c.problem.row) << c.vary;
        EXPECT_EQ(problem->rows, c.problem.rows) << c.vary;
        EXPECT_EQ(problem->setting, c.problem.setting) << c.vary;
        EXPECT_TRUE(rows.empty()) << c.vary;
    }
    // A step of 1e-9 asks for 200,000,001 rows: refused before any is made.
    const auto huge = variedRows(CoderSettings{}, "gamma1=0.7:0.9:1e-9", rows);
    ASSERT_TRUE(huge);
    EXPECT_EQ(huge->kind, Kind::tooManyRows);
    EXPECT_EQ(huge->rows, 200000001.0);
}

// The totals of the coder run alone, row by row, file by file.
ModeFigures sequentialTotal(const std::vector<std::filesystem::path>& files, CoderMode mode,
                            const CoderSettings& settings) {
    std::vector<ModeFigures> each;
    for (const auto& file : files) {
        const auto figures = codeInMode(SpeechInput(file), mode, {.settings = settings});
        EXPECT_TRUE(figures);
        each.push_back(figures.value_or(ModeFigures{}));
    }
    ModeFigures total = totalFigures(each);
    total.mode = mode;
    return total;
}

void expectSameFigures(const ModeFigures& actual, const ModeFigures& expected,
                       const std::string& where) {
    EXPECT_EQ(actual.mode, expected.mode) << where;
    EXPECT_EQ(actual.frames, expected.frames) << where;
    EXPECT_EQ(actual.segmentalSnr, expected.segmentalSnr) << where;
    EXPECT_EQ(actual.overallSnr, expected.overallSnr) << where;
    EXPECT_EQ(actual.signalEnergy, expected.signalEnergy) << where;
    EXPECT_EQ(actual.noiseEnergy, expected.noiseEnergy) << where;
}

class AblationComputation : public ::testing::TestWithParam<unsigned> {};

TEST_P(AblationComputation, EqualsTheCoderRunRowByRow) {
    const test::TempDir dir;
    const std::vector<std::filesystem::path> files{test::samplePath(),
                                                   test::repeatedSample(dir, 2)};
    AblationRun run;
    run.inputs = files;
    run.rows = ablationRows(CoderSettings{});
    run.modes = {CoderMode::rate10_2, CoderMode::rate5_15};
    run.threads = GetParam();
    std::mutex mutex;
    std::vector<std::pair<std::size_t, std::size_t>> cells;
    std::vector<ModeFigures> reported;
    run.onCell = [&](std::size_t row, std::size_t mode, const ModeFigures& total) {
        const std::lock_guard lock(mutex);
        cells.emplace_back(row, mode);
        reported.push_back(total);
    };
    std::atomic<std::int64_t> frames{0};
    run.options.onFrame = [&] { ++frames; };
    const std::optional<AblationTable> table = computeAblation(run);
    ASSERT_TRUE(table);
    EXPECT_EQ(namesOf(table->rows), namesOf(run.rows));
    EXPECT_EQ(table->modes, run.modes);
    EXPECT_FALSE(table->measures);
    ASSERT_EQ(table->figures.size(), run.rows.size());
    std::int64_t expectedFrames = 0;
    for (std::size_t r = 0; r < run.rows.size(); ++r) {
        ASSERT_EQ(table->figures[r].size(), run.modes.size());
        for (std::size_t m = 0; m < run.modes.size(); ++m) {
            const ModeFigures expected = sequentialTotal(files, run.modes[m], run.rows[r].settings);
            const std::string where =
                run.rows[r].name + " in mode " + std::to_string(modeNumber(run.modes[m]));
            expectSameFigures(table->figures[r][m], expected, where);
            EXPECT_EQ(table->overallChange(r, m),
                      expected.overallSnr - table->figures[0][m].overallSnr);
            EXPECT_EQ(table->segmentalChange(r, m),
                      expected.segmentalSnr - table->figures[0][m].segmentalSnr);
            expectedFrames += expected.frames;
        }
    }
    EXPECT_EQ(frames, expectedFrames);
    // Every cell reported once, with the table's figures.
    ASSERT_EQ(cells.size(), run.rows.size() * run.modes.size());
    EXPECT_EQ(std::set(cells.begin(), cells.end()).size(), cells.size());
    for (std::size_t k = 0; k < cells.size(); ++k)
        expectSameFigures(reported[k], table->figures[cells[k].first][cells[k].second],
                          "cell " + std::to_string(k));
    // One thread codes the rows in order, each row's modes in order.
    if (GetParam() == 1)
        for (std::size_t k = 0; k < cells.size(); ++k) {
            EXPECT_EQ(cells[k].first, k / run.modes.size()) << k;
            EXPECT_EQ(cells[k].second, k % run.modes.size()) << k;
        }
}

INSTANTIATE_TEST_SUITE_P(Threads, AblationComputation, ::testing::Values(1u, 3u));

TEST(AblationComputation, CarriesTheSpectralDistancesWhenAsked) {
    AblationRun run;
    run.inputs = {test::samplePath()};
    run.rows = ablationRows(CoderSettings{});
    run.rows.resize(2);
    run.modes = {CoderMode::rate6_70};
    run.threads = 2;
    run.options.measured = SaveOption::postProcessed;
    const std::optional<AblationTable> table = computeAblation(run);
    ASSERT_TRUE(table);
    EXPECT_TRUE(table->measures);
    for (std::size_t r = 0; r < 2; ++r) {
        const CoderSettings& s = run.rows[r].settings;
        const auto expected = codeInMode(SpeechInput(test::samplePath()), CoderMode::rate6_70,
                                         {.settings = s, .measured = SaveOption::postProcessed});
        ASSERT_TRUE(expected && expected->measures && table->figures[r][0].measures);
        EXPECT_EQ(table->figures[r][0].measures->means(), expected->measures->means());
    }
}

TEST(AblationComputation, OpensEveryRunThroughTheOpener) {
    AblationRun run;
    run.inputs = {"not-read-by-path-1.wav", "not-read-by-path-2.wav"};
    run.rows = ablationRows(CoderSettings{});
    run.rows.resize(3);
    run.modes = {CoderMode::rate4_75};
    run.threads = 2;
    std::atomic<int> opened{0};
    run.open = [&](std::size_t) {
        ++opened;
        return SpeechInput(test::samplePath());
    };
    const std::optional<AblationTable> table = computeAblation(run);
    ASSERT_TRUE(table);
    EXPECT_EQ(opened, 3 * 1 * 2);
    const ModeFigures one =
        sequentialTotal({test::samplePath()}, CoderMode::rate4_75, run.rows[2].settings);
    EXPECT_EQ(table->figures[2][0].frames, 2 * one.frames);
    EXPECT_EQ(table->figures[2][0].signalEnergy, 2 * one.signalEnergy);
}

TEST(AblationComputation, ACancelEndsTheRunWithoutATable) {
    AblationRun run;
    run.inputs = {test::samplePath()};
    run.rows = ablationRows(CoderSettings{});
    run.modes.assign(kAllCoderModes.begin(), kAllCoderModes.end());
    run.threads = 1;
    std::atomic<bool> cancel{false};
    run.options.cancel = &cancel;
    int cells = 0;
    run.onCell = [&](std::size_t, std::size_t, const ModeFigures&) {
        ++cells;
        cancel = true;  // after the first cell
    };
    EXPECT_FALSE(computeAblation(run));
    EXPECT_EQ(cells, 1);
}

TEST(AblationComputation, AnInputThatFailsToOpenFailsTheRun) {
    AblationRun run;
    run.inputs = {test::samplePath(), test::samplePath()};
    run.rows = ablationRows(CoderSettings{});
    run.modes = {CoderMode::rate12_2};
    run.threads = 2;
    run.open = [](std::size_t file) {
        if (file == 1) throw std::runtime_error("cannot open the second file");
        return SpeechInput(test::samplePath());
    };
    EXPECT_THROW(computeAblation(run), std::runtime_error);
}

}  // namespace
}  // namespace zorvel
