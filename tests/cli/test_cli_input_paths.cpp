// Every subcommand that codes speech takes its input by one path: a 48 kHz
// stereo recording is refused with the same reason and nothing written,
// coded with --resample exactly as its conversion is (the bundled sample's
// 283 frames, its first 80 under the sanitizers), and with --as-is as a raw
// file of the same bytes. And every option a subcommand, or a mode of it,
// would not honour is refused with its reason (exit code 2) before anything
// is read or written.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "cli/CorpusRecords.h"
#include "sound/Conversion.h"
#include "sound/SpeechInput.h"
#include "tests/TestSupport.h"
#include "tests/cli/CliRun.h"

namespace zorvel {
namespace {

using test::arg;
using test::readText;
using test::runCli;

// Whether this zorvel-cli draws pictures (built with the chart drawing).
#if __has_include(<QGuiApplication>)
constexpr bool kPlots = true;
#else
constexpr bool kPlots = false;
#endif

constexpr const char* kInput = "rec.wav";
// The frames of the recording: the whole sample, or under the sanitizers,
// where each of the suite's hundred runs costs ten times as much, its first
// 80 frames (every subcommand and option still takes them).
constexpr std::int64_t kRecordingFrames = test::kSanitizedBuild ? 80 : test::kSampleFrames;
constexpr const char* kRefusal =
    "zorvel-cli: rec.wav: 48000 Hz, 2 channels, 16-bit; the coder takes 8000 Hz mono 16-bit: "
    "convert it with 'zorvel-cli import' or pass --resample\n";

struct CodingCommand {
    const char* name;
    std::vector<std::string> args;  // with kInput, run in the input's directory
    bool tableIsExact;              // standard output is the same bytes run after run
    bool needsPlots = false;
};

enum class InputChoice { none, resample, asIs };

struct GuardCase {
    CodingCommand command;
    InputChoice choice;
};

void PrintTo(const GuardCase& c, std::ostream* out) {
    const char* choices[] = {"none", "--resample", "--as-is"};
    *out << c.command.name << " " << choices[static_cast<int>(c.choice)];
}

const CodingCommand kCodingCommands[] = {
    {"encode", {"encode", kInput, "-m", "5.90", "-o", "out.wav"}, false},
    {"encode-jsonl",
     {"encode", kInput, "-m", "7.40", "-o", "out.wav", "--jsonl", "r.jsonl"},
     false},
    {"frames", {"frames", kInput, "-m", "10.2"}, true},
    {"frames-json", {"frames", kInput, "--format", "json", "-o", "frames.json"}, true},
    {"plot", {"plot", kInput, "--frame", "40", "-o", "pic", "--svg"}, true, true},
    {"sweep", {"sweep", kInput, "--csv"}, true},
    {"sweep-jsonl", {"sweep", kInput, "--jsonl", "r.jsonl"}, false},
    {"ablation", {"sweep", kInput, "--ablation", "-m", "7.95", "--csv"}, true},
    {"ablation-jsonl", {"sweep", kInput, "--ablation", "-m", "12.2", "--jsonl", "r.jsonl"}, false},
    {"vary", {"sweep", kInput, "--vary", "gamma1=0.8:0.9:0.05", "-m", "4.75", "--csv"}, true},
};

std::vector<GuardCase> guardCases() {
    std::vector<GuardCase> cases;
    for (const CodingCommand& command : kCodingCommands)
        for (const InputChoice choice :
             {InputChoice::none, InputChoice::resample, InputChoice::asIs})
            cases.push_back({command, choice});
    return cases;
}

std::string sortedLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line + '\n');
    std::sort(lines.begin(), lines.end());
    std::string sorted;
    for (const std::string& line : lines) sorted += line;
    return sorted;
}

// Three directories, each with its rec.wav: the recording, its conversion,
// and its bytes behind a header libsndfile does not know (the file --as-is
// codes).
class InputGuard : public ::testing::TestWithParam<GuardCase> {
  protected:
    void SetUp() override {
        if (GetParam().command.needsPlots && !kPlots)
            GTEST_SKIP() << "built without the chart drawing";
        for (const char* place : {"rec", "converted", "raw"})
            std::filesystem::create_directories(dir / place);
        test::writeSampleAt48kStereo(dir / "rec" / kInput, kRecordingFrames * kFrameSamples);
        const ConvertedRecording converted = convertRecording(dir / "rec" / kInput);
        ASSERT_TRUE(converted.converted);
        test::writeBytes(dir / "converted" / kInput,
                         {converted.bytes.begin(), converted.bytes.end()});
        ASSERT_EQ(framesInFile(dir / "converted" / kInput), kRecordingFrames);
        std::string raw = readText(dir / "rec" / kInput);
        raw.replace(0, 4, "ZZZZ");
        test::writeBytes(dir / "raw" / kInput, {raw.begin(), raw.end()});
        ASSERT_EQ(describeRecording(dir / "raw" / kInput).kind, RecordingKind::unrecognised);
    }

    test::CliResult run(const char* place, const std::vector<std::string>& extra) const {
        std::vector<std::string> args = GetParam().command.args;
        args.insert(args.end(), extra.begin(), extra.end());
        return runCli(args, test::inDirectory(dir / place));
    }

    // What a run wrote beside its input: the names and their bytes; the
    // lines of records in order, since runs on several threads append them
    // as they end.
    std::vector<std::pair<std::string, std::string>> written(const char* place) const {
        std::vector<std::pair<std::string, std::string>> files;
        for (const std::string& name : test::directoryNames(dir / place)) {
            if (name == kInput) continue;
            std::string bytes = readText(dir / place / name);
            if (name.ends_with(".jsonl")) bytes = sortedLines(bytes);
            files.emplace_back(name, bytes);
        }
        return files;
    }

    test::TempDir dir;
};

TEST_P(InputGuard, RefusesConvertsOrCodesTheBytesAsAsked) {
    const GuardCase& c = GetParam();
    if (c.choice == InputChoice::none) {
        const test::CliResult refused = run("rec", {});
        EXPECT_EQ(refused.exitCode, 1);
        EXPECT_EQ(refused.err, kRefusal);
        EXPECT_EQ(refused.out, "");
        // Nothing but the refusal's records, where the run keeps records.
        for (const auto& [name, text] : written("rec")) {
            EXPECT_TRUE(name.ends_with(".jsonl")) << name;
            std::istringstream lines(text);
            for (std::string line; std::getline(lines, line);) {
                std::string problem;
                const std::optional<cli::CorpusRecord> record = cli::parseRecord(line, problem);
                ASSERT_TRUE(record) << problem;
                EXPECT_FALSE(record->ok) << line;
                EXPECT_EQ("zorvel-cli: " + record->file + ": " + record->reason + "\n", kRefusal);
            }
        }
        return;
    }
    const bool resample = c.choice == InputChoice::resample;
    const char* plain = resample ? "converted" : "raw";
    const test::CliResult expected = run(plain, {});
    ASSERT_EQ(expected.exitCode, 0) << expected.err;
    const test::CliResult coded = run("rec", {resample ? "--resample" : "--as-is"});
    ASSERT_EQ(coded.exitCode, 0) << coded.err;
    const auto expectedFiles = written(plain);
    if (c.command.tableIsExact) {
        EXPECT_GT(expected.out.size() + expectedFiles.size(), 0u);
        EXPECT_EQ(coded.out, expected.out);
    }
    const auto files = written("rec");
    ASSERT_EQ(files.size(), expectedFiles.size());
    for (std::size_t k = 0; k < files.size(); ++k) {
        EXPECT_EQ(files[k].first, expectedFiles[k].first);
        EXPECT_GT(files[k].second.size(), 0u) << files[k].first;
        EXPECT_TRUE(files[k].second == expectedFiles[k].second) << files[k].first << " differs";
    }
}

std::string guardCaseName(const ::testing::TestParamInfo<GuardCase>& info) {
    std::string name = info.param.command.name;
    std::replace(name.begin(), name.end(), '-', '_');
    const char* choices[] = {"Refused", "Resampled", "AsIs"};
    return name + "_" + choices[static_cast<int>(info.param.choice)];
}

INSTANTIATE_TEST_SUITE_P(EveryCodingCommand, InputGuard, ::testing::ValuesIn(guardCases()),
                         guardCaseName);

// An option given where it is honoured, or refused with its reason.
struct OptionCase {
    const char* name;
    std::vector<std::string> args;  // the sample is the input; run in an empty directory
    int exitCode;
    std::string said;                    // in standard error when refused
    std::vector<std::string> written{};  // the files an accepted run writes there
    bool needsPlots = false;
};

void PrintTo(const OptionCase& c, std::ostream* out) { *out << c.name; }

class CommandOptions : public ::testing::TestWithParam<OptionCase> {};

TEST_P(CommandOptions, AreHonouredOrRefusedWithTheirReason) {
    const OptionCase& c = GetParam();
    if (c.needsPlots && !kPlots) GTEST_SKIP() << "built without the chart drawing";
    const test::TempDir dir;
    std::vector<std::string> args{c.args.front(), arg(test::samplePath())};
    args.insert(args.end(), c.args.begin() + 1, c.args.end());
    const test::CliResult r = runCli(args, test::inDirectory(dir.path()));
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
    if (c.exitCode == 2) {
        EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(test::directoryNames(dir.path()), c.written);
}

const std::string kEveryMode =
    "-m: a sweep codes every file in all eight modes; -m chooses the "
    "modes of --ablation and --vary";
const std::string kNoSkip =
    "--skip-existing: it leaves out the files whose eight records of a sweep the --jsonl file "
    "holds; --ablation and --vary code every file in every row";
const std::string kPostWithoutMeasures =
    "--post: the SNRs compare s'(n) with s(n) either way; it changes only what --measures "
    "measures";
const std::string kNoChart = "-y: it lets --plot replace an existing chart, and no chart is drawn";

INSTANTIATE_TEST_SUITE_P(
    EverySubcommand, CommandOptions,
    ::testing::Values(
        OptionCase{"sweep_modes", {"sweep", "-m", "12.2"}, 2, kEveryMode},
        OptionCase{"ablation_modes", {"sweep", "--ablation", "-m", "12.2"}, 0, {}},
        OptionCase{"vary_modes", {"sweep", "--vary", "gamma2=0.5:0.6:0.1", "-m", "4.75"}, 0, {}},
        OptionCase{
            "sweep_skip", {"sweep", "--skip-existing", "--jsonl", "r.jsonl"}, 0, {}, {"r.jsonl"}},
        OptionCase{"ablation_skip",
                   {"sweep", "--ablation", "--skip-existing", "--jsonl", "r.jsonl"},
                   2,
                   kNoSkip},
        OptionCase{
            "vary_skip",
            {"sweep", "--vary", "gamma1=0.8:0.9:0.1", "--skip-existing", "--jsonl", "r.jsonl"},
            2,
            kNoSkip},
        OptionCase{"sweep_skip_without_records",
                   {"sweep", "--skip-existing"},
                   2,
                   "--skip-existing requires --jsonl"},
        OptionCase{"ablation_records",
                   {"sweep", "--ablation", "-m", "5.15", "--jsonl", "r.jsonl"},
                   0,
                   {},
                   {"r.jsonl"}},
        OptionCase{"vary_records",
                   {"sweep", "--vary", "gamma1=0.8:0.9:0.1", "-m", "5.15", "--jsonl", "r.jsonl"},
                   0,
                   {},
                   {"r.jsonl"}},
        OptionCase{"sweep_post", {"sweep", "--post"}, 2, kPostWithoutMeasures},
        OptionCase{"ablation_post", {"sweep", "--ablation", "--post"}, 2, kPostWithoutMeasures},
        OptionCase{"sweep_post_measures", {"sweep", "--post", "--measures"}, 0, {}},
        OptionCase{"ablation_post_measures",
                   {"sweep", "--ablation", "-m", "6.70", "--post", "--measures"},
                   0,
                   {}},
        OptionCase{"sweep_yes", {"sweep", "-y"}, 2, kNoChart, {}, true},
        OptionCase{
            "vary_yes", {"sweep", "--vary", "gamma1=0.8:0.9:0.1", "-y"}, 2, kNoChart, {}, true},
        OptionCase{"sweep_yes_chart", {"sweep", "--plot", "c.svg", "-y"}, 0, {}, {"c.svg"}, true},
        OptionCase{"ablation_yes_chart",
                   {"sweep", "--ablation", "-m", "7.40", "--plot", "c.png", "-y"},
                   0,
                   {},
                   {"c.png"},
                   true},
        OptionCase{"ablation_and_vary",
                   {"sweep", "--ablation", "--vary", "gamma1=0.8:0.9:0.1"},
                   2,
                   "--ablation excludes --vary"},
        OptionCase{"vary_too_many_rows",
                   {"sweep", "--vary", "gamma1=0.7:0.9:1e-9"},
                   2,
                   "gives 200000001 rows; at most 1000 are coded: take a larger STEP"},
        OptionCase{"sweep_resample_as_is",
                   {"sweep", "--resample", "--as-is"},
                   2,
                   "--resample excludes --as-is"},
        OptionCase{"ablation_resample_as_is",
                   {"sweep", "--ablation", "--resample", "--as-is"},
                   2,
                   "--resample excludes --as-is"},
        OptionCase{"encode_resample_as_is",
                   {"encode", "--resample", "--as-is", "-o", "o.wav"},
                   2,
                   "--resample excludes --as-is"},
        OptionCase{"frames_resample_as_is",
                   {"frames", "--resample", "--as-is"},
                   2,
                   "--resample excludes --as-is"},
        OptionCase{"plot_resample_as_is",
                   {"plot", "--frame", "2", "--resample", "--as-is", "-o", "p"},
                   2,
                   "--resample excludes --as-is",
                   {},
                   true},
        OptionCase{"encode_yes_to_standard_output",
                   {"encode", "-o", "-", "-y"},
                   2,
                   "-y: -o - writes to standard output, which replaces no file"},
        OptionCase{"encode_yes", {"encode", "-o", "o.wav", "-y"}, 0, {}, {"o.wav"}},
        OptionCase{"frames_yes_to_standard_output",
                   {"frames", "-y"},
                   2,
                   "-y: the frames go to standard output, which replaces no file"},
        OptionCase{"frames_yes", {"frames", "-o", "f.csv", "-y"}, 0, {}, {"f.csv"}},
        OptionCase{"frames_post", {"frames", "--post"}, 2, "--post requires --measures"},
        OptionCase{
            "frames_signals_csv", {"frames", "--signals"}, 2, "--signals needs --format json"},
        OptionCase{"plot_set_one_response",
                   {"plot", "--frame", "2", "-m", "4.75", "--spectra", "aI", "-o", "p"},
                   2,
                   "the set-I response aI is shown in mode 12.2 only",
                   {},
                   true},
        OptionCase{"plot_yes",
                   {"plot", "--frame", "2", "-o", "p", "-y"},
                   0,
                   {},
                   {"p-spectrum.png", "p-time.png"},
                   true}),
    [](const ::testing::TestParamInfo<OptionCase>& info) { return info.param.name; });

}  // namespace
}  // namespace zorvel
