// zorvel-cli over a corpus, run as a process: inputs from list files (lines
// or NUL bytes, blank entries left out, missing files reported and counted
// in the summary), the JSONL records against the tables of the same runs,
// aggregate over shards byte for byte equal to aggregate over one run, and a
// run killed half-way and started again with --skip-existing ending with the
// outputs and the table of a run that was never stopped.
#include <gtest/gtest.h>
#include <signal.h>

#include <charconv>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <tuple>

#include "tests/TestSupport.h"
#include "tests/cli/CliRun.h"

namespace zorvel {
namespace {

namespace fs = std::filesystem;
using test::arg;
using test::CsvRow;
using test::csvRows;
using test::runCli;
using test::TempDir;
using Json = nlohmann::ordered_json;

void writeText(const fs::path& file, const std::string& text) {
    test::writeBytes(file, std::vector<std::uint8_t>(text.begin(), text.end()));
}

// The sample cut to its first `frames` frames, as `name` in `dir`.
fs::path cutSample(const TempDir& dir, int frames, const std::string& name) {
    std::vector<std::uint8_t> bytes = test::readBytes(test::samplePath());
    bytes.resize(60 + frames * 2 * kFrameSamples);
    const fs::path path = dir / name;
    test::writeBytes(path, bytes);
    return path;
}

// Three inputs of different lengths, named in sorted order.
std::vector<fs::path> threeInputs(const TempDir& dir) {
    return {cutSample(dir, 40, "a.wav"), cutSample(dir, 90, "b.wav"),
            cutSample(dir, test::kSampleFrames, "c.wav")};
}

std::string lineList(const std::vector<fs::path>& paths) {
    std::string text;
    for (const fs::path& path : paths) text += arg(path) + "\n";
    return text;
}

std::vector<Json> jsonLines(const fs::path& file) {
    std::vector<Json> lines;
    std::istringstream in(test::readText(file));
    for (std::string line; std::getline(in, line);) lines.push_back(Json::parse(line));
    return lines;
}

double number(const std::string& text) {
    double value = 0.0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

std::string aggregateCsv(const std::vector<fs::path>& records) {
    std::vector<std::string> args{"aggregate", "--csv"};
    for (const fs::path& file : records) args.push_back(arg(file));
    const test::CliResult result = runCli(args);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    return result.out;
}

TEST(CorpusLists, NulSeparatedListWithBlankEntriesAndAMissingFile) {
    const TempDir dir;
    const std::vector<fs::path> inputs = threeInputs(dir);
    const std::string missing = arg(dir / "brak.wav");
    const std::string list = arg(inputs[0]) + '\0' + '\0' + missing + '\0' + arg(inputs[2]) + '\0';
    writeText(dir / "list0", list);
    const test::CliResult result = runCli(
        {"encode", "--files-from", arg(dir / "list0"), "-0", "-d", arg(dir / "out"), "--csv"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "zorvel-cli: " + missing +
                              ": input file not found\n"
                              "zorvel-cli: 1 of 3 files failed:\n"
                              "  1 file: input file not found\n");
    const std::vector<CsvRow> rows = csvRows(result.out);
    ASSERT_EQ(rows.size(), 3u) << result.out;
    EXPECT_EQ(rows[1][0], arg(inputs[0]));
    EXPECT_EQ(rows[1][1], "40");
    EXPECT_EQ(rows[2][0], arg(inputs[2]));
    EXPECT_EQ(test::directoryNames(dir / "out"),
              (std::vector<std::string>{"a.wav_12.20_sout.wav", "c.wav_12.20_sout.wav"}));
}

TEST(CorpusLists, LinesFollowTheNamedInputsInEveryCommand) {
    const TempDir dir;
    const std::vector<fs::path> inputs = threeInputs(dir);
    writeText(dir / "list", "\n" + arg(inputs[1]) + "\n\n" + arg(inputs[2]));
    const std::string list = arg(dir / "list");

    const test::CliResult sweep = runCli({"sweep", arg(inputs[0]), "--files-from", list, "--csv"});
    ASSERT_EQ(sweep.exitCode, 0) << sweep.err;
    const std::vector<CsvRow> rows = csvRows(sweep.out);
    ASSERT_EQ(rows.size(), 1u + 3 * 8 + 8);
    EXPECT_EQ(rows[1][0], arg(inputs[0]));
    EXPECT_EQ(rows[9][0], arg(inputs[1]));
    EXPECT_EQ(rows[17][0], arg(inputs[2]));

    const test::CliResult frames = runCli({"frames", "--files-from", list, "-d", arg(dir / "fr")});
    ASSERT_EQ(frames.exitCode, 0) << frames.err;
    EXPECT_EQ(test::directoryNames(dir / "fr"),
              (std::vector<std::string>{"b.wav_12.20_frames.csv", "c.wav_12.20_frames.csv"}));
    const test::CliResult alone = runCli({"frames", arg(inputs[1])});
    EXPECT_EQ(test::readText(dir / "fr" / "b.wav_12.20_frames.csv"), alone.out);

    const test::CliResult import = runCli({"import", "--files-from", list, "-d", arg(dir / "im")});
    ASSERT_EQ(import.exitCode, 0) << import.err;
    EXPECT_EQ(test::directoryNames(dir / "im"),
              (std::vector<std::string>{"b.wav_8k.wav", "c.wav_8k.wav"}));
}

// Output of a shell command line (standard error with it).
std::string shellOutput(const std::string& command) {
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return "popen failed";
    std::string seen;
    char buffer[4096];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) seen.append(buffer, n);
    const int status = pclose(pipe);
    return seen + "(exit " + std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + ")";
}

TEST(CorpusLists, AListOnStandardInput) {
    const TempDir dir;
    const std::vector<fs::path> inputs = threeInputs(dir);
    const std::string listed =
        shellOutput("printf '%s\\0%s\\0' " + arg(inputs[2]) + " " + arg(inputs[0]) + " | " +
                    ZORVEL_CLI + " import --files-from - -0 -d " + arg(dir / "im"));
    EXPECT_TRUE(listed.ends_with("(exit 0)")) << listed;
    EXPECT_EQ(test::directoryNames(dir / "im"),
              (std::vector<std::string>{"a.wav_8k.wav", "c.wav_8k.wav"}));
    EXPECT_LT(listed.find(arg(inputs[2]) + " -> "), listed.find(arg(inputs[0]) + " -> ")) << listed;
}

TEST(CorpusLists, AListThatCannotBeReadOrNoInputAtAll) {
    const TempDir dir;
    const test::CliResult missing = runCli({"encode", "--files-from", arg(dir / "none")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, "zorvel-cli encode: cannot read the list '" + arg(dir / "none") +
                               "': No such file or directory\n");
    const test::CliResult nothing = runCli({"sweep", "--csv"});
    EXPECT_EQ(nothing.exitCode, 2);
    EXPECT_EQ(nothing.err, "INPUT is required\nRun with --help for more information.\n");
    const test::CliResult badShard = runCli({"encode", arg(dir / "x"), "--shard", "5/4"});
    EXPECT_EQ(badShard.exitCode, 2);
    // An empty part of a list is no failure: there are more parts than files.
    writeText(dir / "one", arg(test::samplePath()) + "\n");
    const test::CliResult empty =
        runCli({"sweep", "--files-from", arg(dir / "one"), "--shard", "2/2", "--csv"});
    EXPECT_EQ(empty.exitCode, 0) << empty.err;
    EXPECT_EQ(empty.out, "");
}

TEST(CorpusRecords, EncodeRecordsHoldTheFiguresOfItsTable) {
    const TempDir dir;
    const std::vector<fs::path> inputs = threeInputs(dir);
    const fs::path jsonl = dir / "r.jsonl";
    const test::CliResult result =
        runCli({"encode", arg(inputs[0]), arg(inputs[1]), "-m", "5.15", "--no-adaptive", "-d",
                arg(dir / "out"), "--csv", "--jsonl", arg(jsonl), "-j", "1"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::vector<CsvRow> rows = csvRows(result.out);
    const std::vector<Json> lines = jsonLines(jsonl);
    ASSERT_EQ(lines.size(), 2u);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Json& line = lines[i];
        std::vector<std::string> keys;
        for (const auto& item : line.items()) keys.push_back(item.key());
        EXPECT_EQ(keys,
                  (std::vector<std::string>{"file", "command", "mode", "bit_rate_kbps", "setting",
                                            "status", "frames", "signal_energy", "noise_energy",
                                            "segmental_snr_db", "overall_snr_db", "output"}));
        EXPECT_EQ(line["file"], arg(inputs[i]));  // -j 1: in the order of the inputs
        EXPECT_EQ(line["command"], "encode");
        EXPECT_EQ(line["mode"], 7);
        EXPECT_EQ(line["bit_rate_kbps"], 5.15);
        EXPECT_EQ(line["setting"], "adaptive-codebook=off");
        EXPECT_EQ(line["status"], "ok");
        EXPECT_EQ(line["output"],
                  arg(dir / "out" / (inputs[i].filename().string() + "_05.15_sout_noadapt.wav")));
        EXPECT_EQ(std::to_string(line["frames"].get<int>()), rows[i + 1][1]);
        EXPECT_EQ(line["segmental_snr_db"].get<double>(), number(rows[i + 1][2]));
        EXPECT_EQ(line["overall_snr_db"].get<double>(), number(rows[i + 1][3]));
        const double s = line["signal_energy"].get<double>();
        const double n = line["noise_energy"].get<double>();
        EXPECT_NEAR(line["overall_snr_db"].get<double>(), 10.0 * std::log10(s / n), 1e-12);
    }
}

TEST(CorpusRecords, AFailureIsRecordedWithItsReason) {
    const TempDir dir;
    const fs::path jsonl = dir / "r.jsonl";
    writeText(dir / "list", arg(dir / "brak.wav") + "\n");
    const test::CliResult result =
        runCli({"sweep", "--files-from", arg(dir / "list"), "--jsonl", arg(jsonl)});
    EXPECT_EQ(result.exitCode, 1);
    const std::vector<Json> lines = jsonLines(jsonl);
    ASSERT_EQ(lines.size(), 8u);
    for (int mode = 1; mode <= 8; ++mode) {
        EXPECT_EQ(lines[mode - 1]["mode"], mode);
        EXPECT_EQ(lines[mode - 1]["status"], "failed");
        EXPECT_EQ(lines[mode - 1]["reason"], "input file not found");
    }
    const test::CliResult table = runCli({"aggregate", arg(jsonl), "--csv"});
    ASSERT_EQ(table.exitCode, 0) << table.err;
    const std::vector<CsvRow> rows = csvRows(table.out);
    ASSERT_EQ(rows.size(), 9u);
    EXPECT_EQ(rows[1], (CsvRow{"default", "1", "12.2", "0", "1", "0", "0", "0", "0", "0"}));
}

TEST(CorpusAggregate, SweepShardsEqualOneRunAndItsTotals) {
    const TempDir dir;
    const std::vector<fs::path> inputs = threeInputs(dir);
    writeText(dir / "list", lineList(inputs));
    const std::string list = arg(dir / "list");
    const test::CliResult whole =
        runCli({"sweep", "--files-from", list, "--csv", "--jsonl", arg(dir / "whole.jsonl")});
    ASSERT_EQ(whole.exitCode, 0) << whole.err;
    std::vector<fs::path> parts;
    for (int i = 1; i <= 3; ++i) {
        parts.push_back(dir / ("part" + std::to_string(i) + ".jsonl"));
        const test::CliResult part =
            runCli({"sweep", "--files-from", list, "--shard", std::to_string(i) + "/3", "--jsonl",
                    arg(parts.back())});
        ASSERT_EQ(part.exitCode, 0) << part.err;
    }
    const std::string merged = aggregateCsv({parts[2], parts[0], parts[1]});
    EXPECT_EQ(merged, aggregateCsv({dir / "whole.jsonl"}));

    // The names are sorted in the list, so the sums run in sweep's own order.
    const std::vector<CsvRow> totals = csvRows(merged);
    const std::vector<CsvRow> sweepRows = csvRows(whole.out);
    ASSERT_EQ(totals.size(), 9u);
    ASSERT_EQ(sweepRows.size(), 1u + 24 + 8);
    for (int m = 0; m < 8; ++m) {
        const CsvRow& total = totals[1 + m];
        const CsvRow& sweep = sweepRows[25 + m];
        ASSERT_EQ(sweep[0], "(total)");
        EXPECT_EQ(total[1], sweep[1]);  // mode
        EXPECT_EQ(total[2], sweep[2]);  // kbit/s
        EXPECT_EQ(total[3], "3");       // files
        EXPECT_EQ(total[4], "0");       // failed
        EXPECT_EQ(total[5], sweep[3]);  // frames
        EXPECT_EQ(total[6], sweep[4]) << "segmental SNR, mode " << m + 1;
        EXPECT_EQ(total[7], sweep[5]) << "overall SNR, mode " << m + 1;
    }
}

TEST(CorpusAggregate, EncodeShardsEqualOneRun) {
    const TempDir dir;
    std::vector<fs::path> inputs = threeInputs(dir);
    inputs.push_back(cutSample(dir, 7, "d.wav"));
    inputs.push_back(cutSample(dir, 150, "e.wav"));
    writeText(dir / "list", lineList(inputs));
    const std::string list = arg(dir / "list");
    ASSERT_EQ(runCli({"encode", "--files-from", list, "-d", arg(dir / "whole"), "--jsonl",
                      arg(dir / "whole.jsonl")})
                  .exitCode,
              0);
    std::vector<fs::path> parts;
    for (int i = 1; i <= 4; ++i) {
        parts.push_back(dir / ("part" + std::to_string(i) + ".jsonl"));
        const test::CliResult part =
            runCli({"encode", "--files-from", list, "--shard", std::to_string(i) + "/4", "-d",
                    arg(dir / "parts"), "--jsonl", arg(parts.back())});
        ASSERT_EQ(part.exitCode, 0) << part.err;
    }
    EXPECT_EQ(jsonLines(parts[0]).size(), 2u);  // files 0 and 4
    EXPECT_EQ(aggregateCsv(parts), aggregateCsv({dir / "whole.jsonl"}));
    EXPECT_EQ(test::directoryNames(dir / "parts"), test::directoryNames(dir / "whole"));
}

std::size_t outputsIn(const fs::path& directory) {
    std::size_t outputs = 0;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(directory, error))
        if (entry.path().string().ends_with("_sout.wav")) ++outputs;
    return outputs;
}

// A run killed once its first output is there, started again with
// --skip-existing, gives the outputs and the aggregate table of a run that was
// never stopped; the temporary file of the run that was killed is gone.
TEST(CorpusResume, ARunKilledHalfWayFinishesTheRest) {
    const TempDir dir;
    const fs::path longInput = test::repeatedSample(dir, 10);
    std::vector<fs::path> inputs;
    for (int i = 0; i < 6; ++i) {
        inputs.push_back(dir / ("in" + std::to_string(i) + ".wav"));
        fs::copy_file(longInput, inputs.back());
    }
    writeText(dir / "list", lineList(inputs));
    const std::vector<std::string> run{"encode", "--files-from", arg(dir / "list"), "-j",
                                       "1",      "--jsonl"};
    fs::create_directory(dir / "out");

    std::vector<std::string> killed = run;
    killed.insert(killed.end(), {arg(dir / "r.jsonl"), "-d", arg(dir / "out")});
    const TempDir scratch;
    const test::CliProcess process = test::startCli(killed, scratch);
    // Looked at every millisecond; a run that never writes gives up after a minute.
    for (int look = 0; look < 60000 && outputsIn(dir / "out") == 0; ++look)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    kill(process.pid, SIGKILL);
    const test::CliResult stopped = test::finishCli(process);
    ASSERT_EQ(stopped.signal, SIGKILL) << stopped.err;
    const std::size_t done = outputsIn(dir / "out");
    ASSERT_GE(done, 1u);
    ASSERT_LT(done, inputs.size()) << "the run ended before it was killed";

    std::vector<std::string> resumed = killed;
    resumed.push_back("--skip-existing");
    const test::CliResult rest = runCli(resumed);
    ASSERT_EQ(rest.exitCode, 0) << rest.err;
    EXPECT_NE(rest.err.find(" of 6 files skipped: their outputs exist\n"), std::string::npos)
        << rest.err;

    std::vector<std::string> fresh = run;
    fresh.insert(fresh.end(), {arg(dir / "fresh.jsonl"), "-d", arg(dir / "fresh")});
    ASSERT_EQ(runCli(fresh).exitCode, 0);
    EXPECT_EQ(aggregateCsv({dir / "r.jsonl"}), aggregateCsv({dir / "fresh.jsonl"}));
    const std::vector<std::string> names = test::directoryNames(dir / "fresh");
    ASSERT_EQ(names.size(), inputs.size());
    EXPECT_EQ(test::directoryNames(dir / "out"), names);
    for (const std::string& name : names)
        EXPECT_EQ(test::readBytes(dir / "out" / name), test::readBytes(dir / "fresh" / name))
            << name;
}

// frames and import over a list leave out what is there and make what is
// missing again, to the byte.
TEST(CorpusResume, FramesAndImportSkipTheOutputsThere) {
    const TempDir dir;
    const std::vector<fs::path> inputs = threeInputs(dir);
    writeText(dir / "list", lineList(inputs));
    const std::string list = arg(dir / "list");
    struct Case {
        std::vector<std::string> run;
        std::string removed;
    };
    const std::vector<Case> cases{
        {{"frames", "--files-from", list, "--format", "json", "-d", arg(dir / "fr")},
         "b.wav_12.20_frames.json"},
        {{"import", "--files-from", list, "-d", arg(dir / "im")}, "c.wav_8k.wav"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(runCli(c.run).exitCode, 0) << c.run[0];
        const fs::path directory = c.run.back();
        const std::vector<std::uint8_t> whole = test::readBytes(directory / c.removed);
        fs::remove(directory / c.removed);
        std::vector<std::string> again = c.run;
        again.push_back("--skip-existing");
        const test::CliResult rest = runCli(again);
        ASSERT_EQ(rest.exitCode, 0) << rest.err;
        EXPECT_NE(rest.err.find("zorvel-cli: 2 of 3 files skipped: their outputs exist\n"),
                  std::string::npos)
            << c.run[0] << ": " << rest.err;
        EXPECT_EQ(test::directoryNames(directory).size(), 3u) << c.run[0];
        EXPECT_EQ(test::readBytes(directory / c.removed), whole) << c.run[0];
    }
}

TEST(CorpusResume, SweepSkipsTheFilesItsRecordsHoldInAllModes) {
    const TempDir dir;
    const std::vector<fs::path> inputs = threeInputs(dir);
    const fs::path jsonl = dir / "r.jsonl";
    ASSERT_EQ(runCli({"sweep", arg(inputs[0]), arg(inputs[2]), "--jsonl", arg(jsonl)}).exitCode, 0);
    writeText(dir / "list", lineList(inputs));
    const test::CliResult rest = runCli({"sweep", "--files-from", arg(dir / "list"), "--jsonl",
                                         arg(jsonl), "--skip-existing", "--csv"});
    ASSERT_EQ(rest.exitCode, 0) << rest.err;
    EXPECT_EQ(rest.err, "zorvel-cli: 2 of 3 files skipped: their records exist\n");
    EXPECT_EQ(csvRows(rest.out).size(), 1u + 8 + 8);  // b.wav alone
    ASSERT_EQ(
        runCli({"sweep", "--files-from", arg(dir / "list"), "--jsonl", arg(dir / "whole.jsonl")})
            .exitCode,
        0);
    EXPECT_EQ(aggregateCsv({jsonl}), aggregateCsv({dir / "whole.jsonl"}));
}

TEST(CorpusAggregate, ALineThatIsNoRecordIsReportedAndLeftOut) {
    const TempDir dir;
    const fs::path jsonl = dir / "r.jsonl";
    ASSERT_EQ(runCli({"encode", arg(cutSample(dir, 30, "a.wav")), "-d", arg(dir / "out"), "--jsonl",
                      arg(jsonl)})
                  .exitCode,
              0);
    const std::string good = test::readText(jsonl);
    writeText(dir / "broken.jsonl", good + good.substr(0, 20) + "\n");
    const test::CliResult result = runCli({"aggregate", arg(dir / "broken.jsonl"), "--csv"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "zorvel-cli: " + arg(dir / "broken.jsonl") + ":2: not a JSON object\n");
    EXPECT_EQ(result.out, aggregateCsv({jsonl}));
}

// A record that cannot be written fails the file: encode names no output
// whose record is missing, and sweep ends with exit code 1.
TEST(CorpusRecords, ARecordThatCannotBeWrittenFailsTheRun) {
    const TempDir dir;
    const fs::path input = cutSample(dir, 12, "a.wav");
    const test::CliResult encode =
        runCli({"encode", arg(input), "-d", arg(dir / "out"), "--jsonl", "/dev/full"});
    EXPECT_EQ(encode.exitCode, 1);
    EXPECT_EQ(encode.err, "zorvel-cli: " + arg(input) +
                              ": could not write to '/dev/full': No space left on device\n");
    EXPECT_TRUE(test::directoryNames(dir / "out").empty());
    const test::CliResult sweep = runCli({"sweep", arg(input), "--jsonl", "/dev/full", "-j", "1"});
    EXPECT_EQ(sweep.exitCode, 1);
    EXPECT_EQ(sweep.err, "zorvel-cli: could not write to '/dev/full': No space left on device\n");
}

TEST(CorpusRecords, TheRecordFileIsNeitherAnInputNorADirectory) {
    const TempDir dir;
    const fs::path input = cutSample(dir, 12, "a.wav");
    const std::vector<std::uint8_t> before = test::readBytes(input);
    fs::create_symlink(input, dir / "link.jsonl");
    for (const std::string command : {"encode", "sweep"}) {
        std::vector<std::string> args{command, arg(input), "--jsonl", arg(dir / "link.jsonl")};
        if (command == "encode") args.insert(args.end(), {"-d", arg(dir / "out")});
        const test::CliResult asInput = runCli(args);
        EXPECT_EQ(asInput.exitCode, 1) << command;
        EXPECT_EQ(asInput.err, "zorvel-cli: the results file '" + arg(dir / "link.jsonl") +
                                   "' is the input '" + arg(input) + "'\n")
            << command;
        const test::CliResult directory = runCli({command, arg(input), "--jsonl", arg(dir.path())});
        EXPECT_EQ(directory.exitCode, 1) << command;
        EXPECT_EQ(directory.err,
                  "zorvel-cli: the results file '" + arg(dir.path()) + "' is a directory\n")
            << command;
    }
    EXPECT_EQ(test::readBytes(input), before);
    EXPECT_FALSE(fs::exists(dir / "out"));
}

// On a terminal (here the one `script` gives it) sweep draws encode's bar
// over the frames of all files in all modes and erases it before the table;
// elsewhere standard error stays empty.
TEST(CorpusProgress, SweepShowsTheBarOnATerminalOnly) {
    const TempDir dir;
    const std::vector<fs::path> inputs = threeInputs(dir);
    const std::string command = std::string("script -qec '") + ZORVEL_CLI + " sweep " +
                                arg(inputs[0]) + " " + arg(inputs[1]) + " --csv' /dev/null";
    const std::string seen = shellOutput(command);
    EXPECT_TRUE(seen.ends_with("(exit 0)")) << seen;
    EXPECT_TRUE(seen.starts_with("\r[")) << seen;
    EXPECT_NE(seen.find("/2 files"), std::string::npos) << seen;
    EXPECT_NE(seen.find("\r\033[Kfile,mode,bit_rate_kbps,"), std::string::npos) << seen;

    const test::CliResult plain = runCli({"sweep", arg(inputs[0]), arg(inputs[1]), "--csv"});
    ASSERT_EQ(plain.exitCode, 0);
    EXPECT_EQ(plain.err, "");
}

// The records of today's runs equal, field for field and number for number,
// those the same runs wrote before the coder settings had one table
// (records_before_settings_table.jsonl): an encode that worked and one that
// failed, with the spectral distances, with settings, and a sweep of every
// mode, also of a missing file. Only the adaptive codebook's name changed,
// from "no-adaptive" to "adaptive-codebook=off", the name it has beside any
// other setting; and the distances of the runs with --measures, which are
// taken of the output as written since, followed by "stoi" and "estoi".
TEST(CorpusRecords, RecordsOfEachKindAreThoseWrittenBefore) {
    const TempDir dir;
    fs::copy_file(test::samplePath(), dir / "mowa.wav");
    const auto run = [&](std::vector<std::string> args) {
        const test::CliResult result = runCli(args, test::inDirectory(dir.path()));
        EXPECT_EQ(result.signal, 0) << result.err;
    };
    run({"encode", "mowa.wav", "missing.wav", "-m", "7.95", "-d", "out", "--jsonl",
         "encode.jsonl"});
    run({"encode", "mowa.wav", "-m", "5.15", "--no-adaptive", "-d", "out", "--jsonl",
         "encode.jsonl"});
    run({"encode", "mowa.wav", "-m", "12.2", "--set", "gamma1=0.9", "--set",
         "adaptive-codebook=off", "-d", "out", "--jsonl", "encode.jsonl"});
    run({"encode", "mowa.wav", "-m", "4.75", "--measures", "-d", "out2", "--jsonl",
         "encode.jsonl"});
    run({"sweep", "mowa.wav", "missing.wav", "--jsonl", "sweep.jsonl"});
    run({"sweep", "mowa.wav", "--set", "pitch-resolution=1/3", "--measures", "--jsonl",
         "sweep.jsonl"});

    // Records by what they describe: the order of a sweep's lines is the
    // order in which its threads finished.
    using Key = std::tuple<std::string, std::string, int, std::string>;
    const auto byKey = [](const std::string& text) {
        std::map<Key, Json> records;
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);) {
            Json record = Json::parse(line);
            if (record["setting"] == "no-adaptive") record["setting"] = "adaptive-codebook=off";
            const Key key{record["file"], record["command"], record["mode"], record["setting"]};
            EXPECT_TRUE(records.emplace(key, std::move(record)).second) << line;
        }
        return records;
    };
    const auto before = byKey(
        test::readText(fs::path(ZORVEL_CLI_TEST_DATA) / "records_before_settings_table.jsonl"));
    const auto now =
        byKey(test::readText(dir / "encode.jsonl") + test::readText(dir / "sweep.jsonl"));
    ASSERT_EQ(before.size(), 29u);
    ASSERT_EQ(now.size(), before.size());
    for (const auto& [key, record] : before) {
        const auto found = now.find(key);
        ASSERT_NE(found, now.end()) << record.dump();
        EXPECT_EQ(found->second, record)
            << "now:    " << found->second.dump() << "\nbefore: " << record.dump();
    }
}

}  // namespace
}  // namespace zorvel
