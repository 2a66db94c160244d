// sweep --ablation and --vary: the rows' figures are those of the coder with
// each row's settings, totalled over the files from the summed energies, and
// the differences are from the first row.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "coder/ModeSweep.h"
#include "tests/TestSupport.h"
#include "tests/cli/CliRun.h"

namespace zorvel::cli {
namespace {

using test::arg;
using test::runCli;

std::vector<std::vector<std::string>> csvRows(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> cells;
        std::istringstream row(line);
        for (std::string cell; std::getline(row, cell, ',');) cells.push_back(cell);
        rows.push_back(cells);
    }
    return rows;
}

ModeFigures total(const std::vector<std::filesystem::path>& files, CoderMode mode,
                  const CoderSettings& settings) {
    std::vector<ModeFigures> each;
    for (const auto& file : files)
        each.push_back(*codeInMode(SpeechInput(file), mode, {.settings = settings}));
    return totalFigures(each);
}

TEST(CliAblation, EachToolChangedAloneOverTwoFiles) {
    const test::TempDir dir;
    const auto second = test::repeatedSample(dir, 2);
    const std::vector<std::filesystem::path> files{test::samplePath(), second};
    const test::CliResult result = runCli({"sweep", arg(files[0]), arg(files[1]), "--ablation",
                                           "-m", "7.95", "-m", "4.75", "--csv", "-j", "2"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto rows = csvRows(result.out);
    ASSERT_EQ(rows.size(), 1u + 2u * 8u);
    EXPECT_EQ(rows[0][2], "row");
    const std::vector<std::string> names{
        "default",      "pitch-resolution=1/3", "pitch-resolution=1/6", "lp-interpolation=lsf",
        "high-pass=80", "enhancement=off",      "lag-window=off",       "adaptive-codebook=off"};
    for (std::size_t m = 0; m < 2; ++m) {
        const CoderMode mode = m == 0 ? CoderMode::rate7_95 : CoderMode::rate4_75;
        const ModeFigures base = total(files, mode, CoderSettings{});
        for (std::size_t r = 0; r < names.size(); ++r) {
            const auto& row = rows[1 + m * names.size() + r];
            EXPECT_EQ(row[2], names[r]);
            CoderSettings settings;
            if (r > 0) {
                ASSERT_FALSE(applySetting(settings, names[r]));
            }
            const ModeFigures expected = total(files, mode, settings);
            EXPECT_EQ(std::stoi(row[3]), expected.frames);
            EXPECT_EQ(std::stod(row[4]), expected.segmentalSnr) << names[r];
            EXPECT_EQ(std::stod(row[5]), expected.overallSnr) << names[r];
            EXPECT_EQ(std::stod(row[6]), expected.segmentalSnr - base.segmentalSnr) << names[r];
            EXPECT_EQ(std::stod(row[7]), expected.overallSnr - base.overallSnr) << names[r];
        }
    }
}

// With --measures each row carries the means of the spectral distances, as
// the coder with that row's settings gives them.
TEST(CliAblation, RowsCarryTheSpectralDistancesWhenAsked) {
    const test::CliResult result = runCli(
        {"sweep", arg(test::samplePath()), "--ablation", "-m", "6.70", "--measures", "--csv"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto rows = csvRows(result.out);
    ASSERT_EQ(rows.size(), 9u);
    ASSERT_EQ(rows[0].size(), 8u + kSpectralMeasureCount);
    for (std::size_t r = 1; r < rows.size(); ++r) {
        CoderSettings settings;
        if (r > 1) {
            ASSERT_FALSE(applySetting(settings, rows[r][2]));
        }
        const auto figures =
            codeInMode(SpeechInput(test::samplePath()), CoderMode::rate6_70,
                       {.settings = settings, .measured = SaveOption::synthesized});
        ASSERT_TRUE(figures && figures->measures);
        const FrameMeasures means = figures->measures->means();
        for (std::size_t k = 0; k < kSpectralMeasureCount; ++k) {
            ASSERT_TRUE(means[k].has_value());
            EXPECT_EQ(std::stod(rows[r][8 + k]), *means[k]) << rows[r][2] << " measure " << k;
        }
    }
}

TEST(CliAblation, VaryGoesFromToInStepsAndRefusesWhatIsWrong) {
    const test::CliResult result = runCli({"sweep", arg(test::samplePath()), "--vary",
                                           "postfilter-tilt=0.2:0.6:0.2", "-m", "12.2", "--csv"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto rows = csvRows(result.out);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[1][2], "default");
    EXPECT_EQ(rows[2][2], "postfilter-tilt=0.2");
    EXPECT_EQ(rows[3][2], "postfilter-tilt=0.4");
    EXPECT_EQ(rows[4][2], "postfilter-tilt=0.6");
    // The tilt acts on sp(n) only: s'(n)'s SNRs stay.
    for (std::size_t r = 2; r < rows.size(); ++r) EXPECT_EQ(rows[r][5], rows[1][5]);

    for (const char* wrong :
         {"gamma1", "gamma1=0.9:0.8:0.1", "gamma1=0.8:0.9:0", "nope=1:2:1", "gamma1=0.5:0.7:0.1"}) {
        const test::CliResult refused = runCli({"sweep", arg(test::samplePath()), "--vary", wrong});
        EXPECT_EQ(refused.exitCode, 2) << wrong;
        EXPECT_NE(refused.err.find("--vary"), std::string::npos) << refused.err;
    }
}

}  // namespace
}  // namespace zorvel::cli
