// sweep --ablation and --vary: the rows' figures are those of the coder with
// each row's settings, totalled over the files from the summed energies, and
// the differences are from the first row.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cli/CorpusRecords.h"
#include "coder/Ablation.h"
#include "coder/ModeSweep.h"
#include "sound/Conversion.h"
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

std::vector<std::string> rowNames(const std::vector<AblationRow>& rows) {
    std::vector<std::string> names;
    for (const AblationRow& row : rows) names.push_back(row.name);
    return names;
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
    // The rows of the settings' table (their names and order: the ablation's suite).
    const std::vector<std::string> names = rowNames(ablationRows(CoderSettings{}));
    ASSERT_EQ(rows.size(), 1u + 2u * names.size());
    EXPECT_EQ(rows[0][2], "row");
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
    ASSERT_EQ(rows.size(), 1u + ablationRows(CoderSettings{}).size());
    ASSERT_EQ(rows[0].size(), 8u + kSpectralMeasureCount + kFileMeasureCount);
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
        for (FileMeasure measure : kAllFileMeasures) {
            const std::size_t k = kSpectralMeasureCount + static_cast<std::size_t>(measure);
            ASSERT_TRUE(figures->measures->mean(measure));
            EXPECT_EQ(std::stod(rows[r][8 + k]), *figures->measures->mean(measure))
                << rows[r][2] << " " << infoOf(measure).key;
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

// A 48 kHz stereo recording is refused as encode and a plain sweep refuse
// it; with --resample the rows are those of its conversion (the sample's 283
// frames), not of its bytes read as 8 kHz speech.
TEST(CliAblation, RecordingsTakeTheCodingCommandsInputPath) {
    const test::TempDir dir;
    std::filesystem::create_directories(dir / "rec");
    std::filesystem::create_directories(dir / "converted");
    test::writeSampleAt48kStereo(dir / "rec" / "rec.wav");
    const ConvertedRecording conversion = convertRecording(dir / "rec" / "rec.wav");
    ASSERT_TRUE(conversion.converted);
    test::writeBytes(dir / "converted" / "rec.wav",
                     {conversion.bytes.begin(), conversion.bytes.end()});
    const std::string refusal =
        "zorvel-cli: rec.wav: 48000 Hz, 2 channels, 16-bit; the coder takes 8000 Hz mono 16-bit: "
        "convert it with 'zorvel-cli import' or pass --resample\n";
    for (const std::vector<std::string>& rows :
         {std::vector<std::string>{"--ablation"}, {"--vary", "gamma1=0.8:0.9:0.1"}}) {
        std::vector<std::string> args{"sweep", "rec.wav", "-m", "5.15", "--csv"};
        args.insert(args.end(), rows.begin(), rows.end());
        const test::CliResult refused = runCli(args, test::inDirectory(dir / "rec"));
        EXPECT_EQ(refused.exitCode, 1) << rows[0];
        EXPECT_EQ(refused.err, refusal) << rows[0];
        EXPECT_EQ(refused.out, "") << rows[0];

        const test::CliResult converted = runCli(args, test::inDirectory(dir / "converted"));
        ASSERT_EQ(converted.exitCode, 0) << converted.err;
        args.emplace_back("--resample");
        const test::CliResult resampled = runCli(args, test::inDirectory(dir / "rec"));
        ASSERT_EQ(resampled.exitCode, 0) << resampled.err;
        EXPECT_EQ(resampled.out, converted.out) << rows[0];
        const auto table = csvRows(resampled.out);
        ASSERT_GE(table.size(), 3u) << resampled.out;
        for (std::size_t r = 1; r < table.size(); ++r)
            EXPECT_EQ(table[r][3], std::to_string(test::kSampleFrames)) << rows[0] << " row " << r;
    }
}

// --jsonl: one record per file, mode and row, named by the row's settings as
// every record names them, with the figures of that file coded so.
TEST(CliAblation, RecordsEveryFileModeAndRow) {
    const test::TempDir dir;
    const auto second = test::repeatedSample(dir, 2);
    const std::vector<std::filesystem::path> files{test::samplePath(), second};
    const auto jsonl = dir / "abl.jsonl";
    const test::CliResult result = runCli({"sweep", arg(files[0]), arg(files[1]), "--ablation",
                                           "-m", "4.75", "--jsonl", arg(jsonl), "-j", "2"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::map<std::pair<std::string, std::string>, CorpusRecord> records;  // (file, setting)
    std::istringstream lines(test::readText(jsonl));
    for (std::string line; std::getline(lines, line);) {
        std::string problem;
        const std::optional<CorpusRecord> record = parseRecord(line, problem);
        ASSERT_TRUE(record) << problem << ": " << line;
        EXPECT_EQ(record->command, "sweep");
        EXPECT_TRUE(record->ok);
        EXPECT_EQ(record->figures.mode, CoderMode::rate4_75);
        EXPECT_TRUE(records.emplace(std::pair(record->file, record->setting), *record).second)
            << line;
    }
    const std::vector<std::string> settings = rowNames(ablationRows(CoderSettings{}));
    EXPECT_EQ(records.size(), files.size() * settings.size());
    for (const auto& file : files) {
        for (const std::string& name : settings) {
            CoderSettings s;
            if (name != "default") {
                ASSERT_FALSE(applySetting(s, name));
            }
            ASSERT_EQ(settingName(s), name);
            const auto found = records.find({arg(file), name});
            ASSERT_NE(found, records.end()) << arg(file) << " " << name;
            const ModeFigures expected =
                *codeInMode(SpeechInput(file), CoderMode::rate4_75, {.settings = s});
            const ModeFigures& f = found->second.figures;
            EXPECT_EQ(f.frames, expected.frames) << name;
            EXPECT_EQ(f.signalEnergy, expected.signalEnergy) << name;
            EXPECT_EQ(f.noiseEnergy, expected.noiseEnergy) << name;
            EXPECT_EQ(f.segmentalSnr, expected.segmentalSnr) << name;
            EXPECT_EQ(f.overallSnr, expected.overallSnr) << name;
        }
    }
}

// An input that cannot be read is reported and left out as a sweep leaves
// it out: the rows are those of the others, and with --jsonl it has a failed
// record in every mode and row (exit code 1).
TEST(CliAblation, AnUnreadableInputIsLeftOutAndRecordedAsFailed) {
    const test::TempDir dir;
    const auto missing = dir / "missing.wav";
    const auto jsonl = dir / "abl.jsonl";
    const test::CliResult alone = runCli(
        {"sweep", arg(test::samplePath()), "--vary", "gamma2=0.5:0.6:0.1", "-m", "6.70", "--csv"});
    ASSERT_EQ(alone.exitCode, 0) << alone.err;
    const test::CliResult result =
        runCli({"sweep", arg(missing), arg(test::samplePath()), "--vary", "gamma2=0.5:0.6:0.1",
                "-m", "6.70", "-m", "12.2", "--csv", "--jsonl", arg(jsonl)});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("zorvel-cli: " + arg(missing) + ": input file not found\n"),
              std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("1 of 2 files failed"), std::string::npos) << result.err;
    const auto rows = csvRows(result.out);
    ASSERT_EQ(rows.size(), 1u + 2u * 3u);
    const auto aloneRows = csvRows(alone.out);
    for (std::size_t r = 0; r < aloneRows.size(); ++r) EXPECT_EQ(rows[r], aloneRows[r]);
    std::map<std::string, int> failed;  // setting: failed records
    int coded = 0;
    std::istringstream lines(test::readText(jsonl));
    for (std::string line; std::getline(lines, line);) {
        std::string problem;
        const std::optional<CorpusRecord> record = parseRecord(line, problem);
        ASSERT_TRUE(record) << problem;
        if (record->ok) {
            EXPECT_EQ(record->file, arg(test::samplePath()));
            ++coded;
            continue;
        }
        EXPECT_EQ(record->file, arg(missing));
        EXPECT_EQ(record->reason, "input file not found");
        ++failed[record->setting];
    }
    EXPECT_EQ(coded, 3 * 2);
    // gamma2=0.6 is the design's value: that row's records are named "default".
    const std::map<std::string, int> expected{{"default", 4}, {"gamma2=0.5", 2}};
    EXPECT_EQ(failed, expected);
}

// A step that moves nothing, or a row count no table could hold, is a usage
// error before anything is coded: never one default row, never an exhausted
// memory.
TEST(CliAblation, VaryRefusesStepsThatGiveNoRowsAndTooManyRows) {
    const struct {
        const char* vary;
        const char* reason;
    } cases[] = {
        {"gamma1=0.7:0.9:1e-300", "sweep: --vary: STEP 1e-300 does not move FROM 0.7"},
        {"gamma1=0.7:0.9:1e-9", "gives 200000001 rows; at most 1000 are coded"},
        {"gamma1=0.7:0.7000000000005:1e-13", "gives no new row after gamma1=0.7"},
        {"gamma1=-1e308:1e308:1e300", "gives over 10^15 rows; at most 1000 are coded"},
    };
    for (const auto& c : cases) {
        const test::CliResult r =
            runCli({"sweep", arg(test::samplePath()), "--vary", c.vary, "-m", "12.2"});
        EXPECT_EQ(r.exitCode, 2) << c.vary << ": " << r.err;
        EXPECT_NE(r.err.find(c.reason), std::string::npos) << c.vary << ": " << r.err;
        EXPECT_EQ(r.out, "") << c.vary;
    }
}

}  // namespace
}  // namespace zorvel::cli
