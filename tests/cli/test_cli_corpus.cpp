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

// A list of lines holds no NUL byte: one that does was written by find
// -print0 and is refused, naming the line and -0, before anything is coded.
TEST(CorpusLists, ANulByteInAListOfLinesIsRefusedSuggestingMinus0) {
    const TempDir dir;
    const std::vector<fs::path> inputs = threeInputs(dir);
    writeText(dir / "list0", arg(inputs[0]) + '\0' + arg(inputs[1]) + '\0');
    writeText(dir / "mixed", arg(inputs[0]) + "\n" + arg(inputs[1]) + '\0' + "\n");
    const std::string advice =
        ": a path holds a NUL byte; read a list of NUL-separated paths (find -print0) with -0\n";
    for (const char* command : {"encode", "frames", "import", "sweep"}) {
        std::vector<std::string> args{command, "--files-from", arg(dir / "list0")};
        if (std::string(command) != "sweep") args.insert(args.end(), {"-d", arg(dir / "out")});
        const test::CliResult result = runCli(args);
        EXPECT_EQ(result.exitCode, 1) << command;
        EXPECT_EQ(result.err, "zorvel-cli " + std::string(command) + ": the list '" +
                                  arg(dir / "list0") + "', line 1" + advice)
            << command;
        EXPECT_EQ(result.out, "") << command;
    }
    const test::CliResult mixed =
        runCli({"encode", "--files-from", arg(dir / "mixed"), "-d", arg(dir / "out")});
    EXPECT_EQ(mixed.exitCode, 1);
    EXPECT_EQ(mixed.err,
              "zorvel-cli encode: the list '" + arg(dir / "mixed") + "', line 2" + advice);
    const std::string piped =
        shellOutput("printf '%s\\0%s\\0' " + arg(inputs[0]) + " " + arg(inputs[1]) + " | " +
                    ZORVEL_CLI + " encode --files-from - -d " + arg(dir / "out"));
    EXPECT_EQ(piped,
              "zorvel-cli encode: the list from standard input, line 1" + advice + "(exit 1)");
    EXPECT_FALSE(fs::exists(dir / "out"));
    // With -0 the same list is coded whole.
    EXPECT_EQ(runCli({"encode", "--files-from", arg(dir / "list0"), "-0", "-d", arg(dir / "out")})
                  .exitCode,
              0);
    EXPECT_EQ(test::directoryNames(dir / "out"),
              (std::vector<std::string>{"a.wav_12.20_sout.wav", "b.wav_12.20_sout.wav"}));
}

// Lines hold at most 1 MiB: a list or a records file without line breaks
// (/dev/zero) is refused at that length with the line's number, in bounded
// memory, and a line of exactly 1 MiB is still a line. The limit binds the
// child's address space so that reading on would fail instead of passing.
TEST(CorpusLists, ALineOverOneMebibyteIsRefusedWithItsNumber) {
    const TempDir dir;
    const std::vector<fs::path> inputs = threeInputs(dir);
    const std::string longest(std::size_t{1} << 20, 'x');
    writeText(dir / "list", arg(inputs[0]) + "\n" + longest + "\n" + longest + "y\n");
    const test::CliResult list =
        runCli({"encode", "--files-from", arg(dir / "list"), "-d", arg(dir / "out")});
    EXPECT_EQ(list.exitCode, 1);
    EXPECT_EQ(list.err, "zorvel-cli encode: the list '" + arg(dir / "list") +
                            "', line 3: longer than 1048576 bytes, the most a line may hold\n");
    EXPECT_FALSE(fs::exists(dir / "out"));

#ifdef ZORVEL_SANITIZED_BUILD
    const std::string bounded;  // AddressSanitizer reserves more than any such bound
#else
    const std::string bounded = "ulimit -v 1000000; ";  // 1 GB of address space
#endif
    const std::string endlessList =
        shellOutput(bounded + ZORVEL_CLI + " encode --files-from /dev/zero -d " + arg(dir / "o"));
    EXPECT_EQ(endlessList,
              "zorvel-cli encode: the list '/dev/zero', line 1: longer than 1048576 bytes, the "
              "most a line may hold\n(exit 1)");
    const std::string endlessRecords =
        shellOutput(bounded + ZORVEL_CLI + " aggregate --csv /dev/zero");
    EXPECT_TRUE(endlessRecords.starts_with(
        "zorvel-cli: /dev/zero:1: longer than 1048576 bytes, the most a line may hold; the rest "
        "of the file is left out\n"))
        << endlessRecords.substr(0, 400);
    EXPECT_TRUE(endlessRecords.ends_with("(exit 1)")) << endlessRecords.substr(0, 400);

    // A records file: the lines before the long one count, the rest is left out.
    const fs::path jsonl = dir / "r.jsonl";
    ASSERT_EQ(runCli({"encode", arg(inputs[0]), "-d", arg(dir / "coded"), "--jsonl", arg(jsonl)})
                  .exitCode,
              0);
    const std::string good = test::readText(jsonl);
    writeText(dir / "long.jsonl", good + longest + "z\n" + good);
    const test::CliResult records = runCli({"aggregate", "--csv", arg(dir / "long.jsonl")});
    EXPECT_EQ(records.exitCode, 1);
    EXPECT_EQ(records.err, "zorvel-cli: " + arg(dir / "long.jsonl") +
                               ":2: longer than 1048576 bytes, the most a line may hold; the rest "
                               "of the file is left out\n");
    EXPECT_EQ(records.out, aggregateCsv({jsonl}));
}

// Standard input closed (<&-) holds no list: the run fails and says so
// rather than coding nothing.
TEST(CorpusLists, AClosedStandardInputIsNoEmptyList) {
    const TempDir dir;
    const std::string closed = shellOutput(std::string(ZORVEL_CLI) + " encode --files-from - -d " +
                                           arg(dir / "out") + " <&-");
    EXPECT_EQ(closed,
              "zorvel-cli encode: cannot read the list from standard input: standard input is "
              "closed\n(exit 1)");
    const std::string directory =
        shellOutput(std::string(ZORVEL_CLI) + " encode --files-from - -d " + arg(dir / "out") +
                    " < " + arg(dir.path()));
    EXPECT_EQ(
        directory,
        "zorvel-cli encode: cannot read the list from standard input: Is a directory\n(exit 1)");
    EXPECT_FALSE(fs::exists(dir / "out"));
}

// Over a list, frames (as encode and import) plans every output before it
// writes one: an output that is an input of the run is refused, and so is
// one that another input writes too, naming it; the other files are written.
TEST(CorpusLists, NoOutputOfAListIsAnInputOrAnotherInputsOutput) {
    const TempDir dir;
    const fs::path input = cutSample(dir, 40, "in.wav");
    const fs::path second = cutSample(dir, 30, "in.wav_12.20_frames.csv");
    const std::vector<std::uint8_t> before = test::readBytes(second);
    writeText(dir / "list", arg(input) + "\n" + arg(second) + "\n");
    const test::CliResult replacing = runCli({"frames", "--files-from", arg(dir / "list"), "-y"});
    EXPECT_EQ(replacing.exitCode, 1);
    EXPECT_EQ(replacing.err, "zorvel-cli: " + arg(input) + ": output '" + arg(second) +
                                 "' would replace the input '" + arg(second) +
                                 "' of this run\n"
                                 "zorvel-cli: 1 of 2 files failed:\n"
                                 "  1 file: output '...' would replace the input '...' of this "
                                 "run\n");
    EXPECT_EQ(test::readBytes(second), before);
    EXPECT_EQ(test::readText(dir / "in.wav_12.20_frames.csv_12.20_frames.csv"),
              runCli({"frames", arg(second)}).out);

    // Two inputs of one name in -d: the first is written, the second refused
    // as the first one's output, with -y and without.
    fs::create_directories(dir / "a");
    fs::create_directories(dir / "b");
    const fs::path first = cutSample(dir, 20, "a/x.wav");
    const fs::path other = cutSample(dir, 25, "b/x.wav");
    writeText(dir / "same", arg(first) + "\n" + arg(other) + "\n");
    for (const char* command : {"frames", "import", "encode"}) {
        for (const bool overwrite : {true, false}) {
            const fs::path out = dir / (std::string(command) + (overwrite ? "-y" : ""));
            std::vector<std::string> args{command, "--files-from", arg(dir / "same"), "-d",
                                          arg(out)};
            if (overwrite) args.push_back("-y");
            const test::CliResult result = runCli(args);
            EXPECT_EQ(result.exitCode, 1) << command;
            const std::vector<std::string> written = test::directoryNames(out);
            ASSERT_EQ(written.size(), 1u) << command;
            EXPECT_EQ(result.err, "zorvel-cli: " + arg(other) + ": output '" +
                                      arg(out / written[0]) + "' is also the output of '" +
                                      arg(first) +
                                      "'\n"
                                      "zorvel-cli: 1 of 2 files failed:\n"
                                      "  1 file: output '...' is also the output of '...'\n")
                << command;
        }
    }
    EXPECT_EQ(test::readText(dir / "frames" / "x.wav_12.20_frames.csv"),
              runCli({"frames", arg(first)}).out);
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

// The records go to a file that is none of the run's outputs, nor standard
// output, and aggregate's table to a standard output that is none of the
// files it reads: each is refused before anything is made or written.
TEST(CorpusRecords, RecordsAndTablesNeverGoIntoAFileOfTheSameRun) {
    const TempDir dir;
    const fs::path input = cutSample(dir, 12, "a.wav");
    const std::vector<std::string> names = test::directoryNames(dir.path());
    const test::CliResult output =
        runCli({"encode", arg(input), "-o", arg(dir / "o.wav"), "--jsonl", arg(dir / "o.wav")});
    EXPECT_EQ(output.exitCode, 1);
    EXPECT_EQ(output.err, "zorvel-cli: the results file '" + arg(dir / "o.wav") +
                              "' is the output '" + arg(dir / "o.wav") + "'\n");
    const test::CliResult named = runCli({"encode", arg(input), "-d", arg(dir / "out"), "--jsonl",
                                          arg(dir / "out" / "a.wav_12.20_sout.wav")});
    EXPECT_EQ(named.exitCode, 1);
    const test::CliResult chart =
        runCli({"sweep", arg(input), "--plot", arg(dir / "c.svg"), "--jsonl", arg(dir / "c.svg")});
    EXPECT_EQ(chart.exitCode, 1);
    EXPECT_EQ(chart.err, "zorvel-cli: the results file '" + arg(dir / "c.svg") +
                             "' is the output '" + arg(dir / "c.svg") + "'\n");
    EXPECT_EQ(test::directoryNames(dir.path()), names);

    const fs::path jsonl = dir / "r.jsonl";
    ASSERT_EQ(
        runCli({"encode", arg(input), "-o", arg(dir / "a.out"), "--jsonl", arg(jsonl)}).exitCode,
        0);
    const std::string records = test::readText(jsonl);
    // (In braces, so that standard error goes to the pipe, not into the file.)
    const std::string appended = shellOutput("{ " + std::string(ZORVEL_CLI) + " aggregate " +
                                             arg(jsonl) + " >> " + arg(jsonl) + "; }");
    EXPECT_EQ(appended,
              "zorvel-cli: " + arg(jsonl) + ": standard output is the input file itself\n(exit 1)");
    const std::string intoRecords =
        shellOutput("{ " + std::string(ZORVEL_CLI) + " encode " + arg(input) + " -o " +
                    arg(dir / "b.out") + " --jsonl " + arg(jsonl) + " >> " + arg(jsonl) + "; }");
    EXPECT_EQ(intoRecords,
              "zorvel-cli: the results file '" + arg(jsonl) + "' is standard output\n(exit 1)");
    EXPECT_EQ(test::readText(jsonl), records);
    EXPECT_FALSE(fs::exists(dir / "b.out"));
}

// Under a limit of the file size (ulimit -f) a write past it fails with the
// system's reason for that file alone: the others are coded, and the summary
// counts the one that failed.
TEST(CorpusRecords, AFileOverTheSizeLimitFailsAloneWithItsReason) {
    const TempDir dir;
    const fs::path shortOne = cutSample(dir, 30, "a.wav");
    const fs::path longOne = cutSample(dir, test::kSampleFrames, "b.wav");
    const fs::path other = cutSample(dir, 40, "c.wav");
    // 30,000 bytes: the short outputs fit, the long one (90,620 bytes) does not.
    const test::CliResult result = runCli({"encode", arg(shortOne), arg(longOne), arg(other), "-d",
                                           arg(dir / "out"), "-j", "2", "--csv"},
                                          test::withFileSizeLimit(30000));
    EXPECT_EQ(result.signal, 0);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "zorvel-cli: " + arg(longOne) + ": could not write the output '" +
                              arg(dir / "out" / "b.wav_12.20_sout.wav") +
                              "': File too large\n"
                              "zorvel-cli: 1 of 3 files failed:\n"
                              "  1 file: could not write the output '...': File too large\n");
    EXPECT_EQ(test::directoryNames(dir / "out"),
              (std::vector<std::string>{"a.wav_12.20_sout.wav", "c.wav_12.20_sout.wav"}));
    EXPECT_EQ(csvRows(result.out).size(), 3u) << result.out;

    const test::CliResult frames =
        runCli({"frames", arg(longOne), "-o", arg(dir / "b.csv")}, test::withFileSizeLimit(30000));
    EXPECT_EQ(frames.signal, 0);
    EXPECT_EQ(frames.exitCode, 1);
    EXPECT_EQ(frames.err, "zorvel-cli: " + arg(longOne) + ": could not write '" +
                              arg(dir / "b.csv") + "': File too large\n");
    const test::CliResult import =
        runCli({"import", arg(longOne), arg(shortOne), "-d", arg(dir / "im")},
               test::withFileSizeLimit(30000));
    EXPECT_EQ(import.signal, 0);
    EXPECT_EQ(import.exitCode, 1);
    EXPECT_EQ(test::directoryNames(dir / "im"), std::vector<std::string>{"a.wav_8k.wav"});
    EXPECT_NE(import.err.find("File too large\n"), std::string::npos) << import.err;
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
// taken of the output as written since, followed by the 30 ms distances
// ("fw_seg_snr_hl_db" ... "itakura_saito_hl"), "stoi" and "estoi".
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
