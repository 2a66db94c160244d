// zorvel-cli encode, run as a process: the bytes of SpeechCoder::encodeFile
// under the main window's output name, parallel runs equal to sequential
// ones, the result table, and every refusal leaving existing files as they were.
#include <gtest/gtest.h>

#include <charconv>
#include <csignal>
#include <cstdio>
#include <random>

#include "coder/SpeechCoder.h"
#include "tests/TestSupport.h"
#include "tests/cli/CliRun.h"

namespace zorvel {
namespace {

namespace fs = std::filesystem;
using test::arg;
using test::directoryNames;
using test::readBytes;
using test::runCli;
using test::TempDir;

std::vector<std::uint8_t> encodeDirectly(const fs::path& input, int mode, bool post,
                                         bool noAdaptive) {
    const TempDir scratch;
    SpeechCoder coder(input, test::modeNumbered(mode), {.adaptiveCodebook = !noAdaptive});
    EXPECT_EQ(coder.encodeFile(scratch / "reference.wav",
                               post ? SaveOption::postProcessed : SaveOption::synthesized),
              RunResult::completed);
    return readBytes(scratch / "reference.wav");
}

fs::path copySample(const TempDir& dir, const std::string& name = "mowa.wav") {
    fs::copy_file(test::samplePath(), dir / name);
    return dir / name;
}

fs::path writeNoise(const fs::path& file, int frames, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> sample(-20000, 20000);
    std::vector<std::int16_t> samples(static_cast<std::size_t>(frames) * kFrameSamples);
    for (auto& s : samples) s = static_cast<std::int16_t>(sample(random));
    test::writeSamples(file, samples);
    return file;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

double parseDouble(const std::string& text) {
    double value = 0.0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    EXPECT_TRUE(result.ec == std::errc() && result.ptr == text.data() + text.size()) << text;
    return value;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> splitCommas(const std::string& line) {
    std::vector<std::string> cells;
    std::istringstream in(line);
    for (std::string cell; std::getline(in, cell, ',');) cells.push_back(cell);
    return cells;
}

// --- Same bytes as the desktop program's run, under its output name ------------------

struct EncodeCase {
    int mode;
    const char* spelling;  // how the mode is given
    bool post;
    bool noAdaptive;
    const char* suffix;  // what the main window appends to the input path
};

class EncodeRun : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(EncodeRun, WritesTheBytesOfEncodeFileUnderTheMainWindowsName) {
    const EncodeCase c = GetParam();
    const TempDir dir;
    const fs::path input = copySample(dir);
    std::vector<std::string> args{"encode", arg(input), "-m", c.spelling};
    if (c.post) args.push_back("--post");
    if (c.noAdaptive) args.push_back("--no-adaptive");

    const test::CliResult result = runCli(args);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "");  // no progress bar when standard error is no terminal
    const std::string outputName = std::string("mowa.wav") + c.suffix;
    EXPECT_EQ(directoryNames(dir.path()), (std::vector<std::string>{"mowa.wav", outputName}));
    EXPECT_EQ(readBytes(dir / outputName), encodeDirectly(input, c.mode, c.post, c.noAdaptive));
}

INSTANTIATE_TEST_SUITE_P(
    ModesAndOptions, EncodeRun,
    ::testing::Values(EncodeCase{1, "12.2", false, false, "_12.20_sout.wav"},
                      EncodeCase{1, "1", true, true, "_12.20_spout_noadapt.wav"},
                      EncodeCase{2, "10.2", true, false, "_10.20_spout.wav"},
                      EncodeCase{3, "7.95", false, true, "_07.95_sout_noadapt.wav"},
                      EncodeCase{4, "7.40", false, false, "_07.40_sout.wav"},
                      EncodeCase{5, "6.70", true, false, "_06.70_spout.wav"},
                      EncodeCase{6, "5.90", false, false, "_05.90_sout.wav"},
                      EncodeCase{7, "7", true, true, "_05.15_spout_noadapt.wav"},
                      EncodeCase{8, "4.75", false, true, "_04.75_sout_noadapt.wav"},
                      EncodeCase{8, "8", true, false, "_04.75_spout.wav"}));

TEST(EncodeModes, EveryRateAndNumberNamesItsMode) {
    const std::vector<std::pair<std::string, std::string>> spellings{
        {"12.2", "_12.20"},  {"12.20", "_12.20"}, {"1", "_12.20"},     {"10.2", "_10.20"},
        {"2", "_10.20"},     {"7.95", "_07.95"},  {"3", "_07.95"},     {"7.40", "_07.40"},
        {"7.4", "_07.40"},   {"4", "_07.40"},     {"6.70", "_06.70"},  {"6.7", "_06.70"},
        {"5", "_06.70"},     {"5.90", "_05.90"},  {"6", "_05.90"},     {"5.15", "_05.15"},
        {"7", "_05.15"},     {"4.75", "_04.75"},  {"8", "_04.75"},     {"10.20", "_10.20"},
        {"07.95", "_07.95"}, {"07.40", "_07.40"}, {"06.70", "_06.70"}, {"05.90", "_05.90"},
        {"05.15", "_05.15"}, {"04.75", "_04.75"}};  // the spellings of the file names too
    const TempDir dir;
    const fs::path input = writeNoise(dir / "in.wav", 2, test::testSeed());
    for (const auto& [spelling, suffix] : spellings) {
        const test::CliResult result = runCli({"encode", arg(input), "-m", spelling, "-y"});
        EXPECT_EQ(result.exitCode, 0) << spelling << ": " << result.err;
        EXPECT_TRUE(fs::exists(dir / ("in.wav" + suffix + "_sout.wav"))) << spelling;
    }
}

TEST(EncodeModes, AnythingElseIsAUsageErrorThatWritesNothing) {
    const TempDir dir;
    const fs::path input = copySample(dir);
    const std::vector<std::uint8_t> old{'o', 'l', 'd'};
    test::writeBytes(dir / "mowa.wav_12.20_sout.wav", old);
    for (const std::string bad :
         {"13", "0", "9", "12.3", "7.45", "fast", "", "nan", "inf", "7.95x", " 7.95"}) {
        const test::CliResult result = runCli({"encode", arg(input), "-m", bad, "-y"});
        EXPECT_EQ(result.exitCode, 2) << bad;
        EXPECT_TRUE(contains(result.err, "unknown mode '" + bad + "'")) << result.err;
        EXPECT_EQ(directoryNames(dir.path()),
                  (std::vector<std::string>{"mowa.wav", "mowa.wav_12.20_sout.wav"}))
            << bad;
        EXPECT_EQ(readBytes(dir / "mowa.wav_12.20_sout.wav"), old) << bad;
    }
}

// --- Where the output goes -------------------------------------------------------

TEST(EncodeOutput, DirectoryTakesTheInputsFileName) {
    const TempDir dir;
    const fs::path input = copySample(dir);
    fs::create_directory(dir / "out");
    const test::CliResult result = runCli({"encode", arg(input), "-d", arg(dir / "out"), "--post"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(directoryNames(dir / "out"), std::vector<std::string>{"mowa.wav_12.20_spout.wav"});
    EXPECT_EQ(readBytes(dir / "out" / "mowa.wav_12.20_spout.wav"),
              encodeDirectly(input, 1, true, false));
}

TEST(EncodeOutput, ExplicitNameAndRelativePaths) {
    const TempDir dir;
    copySample(dir);
    const test::CliResult result = runCli({"encode", "mowa.wav", "-o", "coded.wav", "-m", "5.15"},
                                          test::inDirectory(dir.path()));
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(readBytes(dir / "coded.wav"), encodeDirectly(dir / "mowa.wav", 7, false, false));
    EXPECT_EQ(directoryNames(dir.path()), (std::vector<std::string>{"coded.wav", "mowa.wav"}));
}

TEST(EncodeOutput, AFileWithoutAWholeFrameGivesTheBareHeader) {
    const TempDir dir;
    test::writeBytes(dir / "short.wav", std::vector<std::uint8_t>(379, 7));
    const test::CliResult result = runCli({"encode", arg(dir / "short.wav"), "--csv"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto bytes = readBytes(dir / "short.wav_12.20_sout.wav");
    EXPECT_EQ(bytes.size(), 44u);
    EXPECT_EQ(bytes, encodeDirectly(dir / "short.wav", 1, false, false));
    EXPECT_EQ(splitCommas(splitLines(result.out).at(1)).at(1), "0");
}

// --- Several files at once -------------------------------------------------------

TEST(EncodeBatch, TwoThreadsGiveTheFilesOfOneAtATime) {
    const TempDir dir;
    const fs::path a = copySample(dir);
    const fs::path b = writeNoise(dir / "noise.wav", 150, test::testSeed());
    fs::create_directory(dir / "parallel");
    fs::create_directory(dir / "single");

    const test::CliResult both = runCli(
        {"encode", arg(a), arg(b), "-j", "2", "-d", arg(dir / "parallel"), "-m", "6.70", "--csv"});
    ASSERT_EQ(both.exitCode, 0) << both.err;
    for (const fs::path& input : {a, b}) {
        const test::CliResult one =
            runCli({"encode", arg(input), "-j", "1", "-d", arg(dir / "single"), "-m", "6.70"});
        ASSERT_EQ(one.exitCode, 0) << one.err;
    }
    for (const std::string name : {"mowa.wav_06.70_sout.wav", "noise.wav_06.70_sout.wav"}) {
        const auto parallel = readBytes(dir / "parallel" / name);
        EXPECT_EQ(parallel, readBytes(dir / "single" / name)) << name;
        EXPECT_GT(parallel.size(), 60u) << name;
    }
    EXPECT_EQ(readBytes(dir / "parallel" / "noise.wav_06.70_sout.wav"),
              encodeDirectly(b, 5, false, false));
    // The table keeps the order of the command line.
    const auto lines = splitLines(both.out);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(splitCommas(lines[1]).at(0), arg(a));
    EXPECT_EQ(splitCommas(lines[2]).at(0), arg(b));
}

TEST(EncodeBatch, CsvTableHoldsTheCodersOwnNumbers) {
    const TempDir dir;
    const fs::path input = copySample(dir);
    const test::CliResult result = runCli({"encode", arg(input), "-m", "10.2", "--csv"});
    ASSERT_EQ(result.exitCode, 0) << result.err;

    SpeechCoder coder(input, CoderMode::rate10_2);
    while (coder.nextFrame() == FrameStep::coded) {
    }
    const auto lines = splitLines(result.out);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "file,frames,segmental_snr_db,overall_snr_db,times_real_time");
    const auto cells = splitCommas(lines[1]);
    ASSERT_EQ(cells.size(), 5u);
    EXPECT_EQ(cells[0], arg(input));
    EXPECT_EQ(cells[1], std::to_string(coder.frameCount()));
    EXPECT_EQ(parseDouble(cells[2]), coder.segmentalSnr());
    EXPECT_EQ(parseDouble(cells[3]), coder.overallSnr());
    EXPECT_GT(parseDouble(cells[4]), 0.0);
}

TEST(EncodeBatch, TableShowsFramesAndSnrsToTwoDecimals) {
    const TempDir dir;
    const fs::path input = copySample(dir);
    const test::CliResult result = runCli({"encode", arg(input)});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    SpeechCoder coder(input, CoderMode::rate12_2);
    while (coder.nextFrame() == FrameStep::coded) {
    }
    const auto lines = splitLines(result.out);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(contains(lines[0], "frames") && contains(lines[0], "SNRseg") &&
                contains(lines[0], "real time"))
        << lines[0];
    std::array<char, 64> seg{};
    std::array<char, 64> all{};
    std::snprintf(seg.data(), seg.size(), " %.2f ", coder.segmentalSnr());
    std::snprintf(all.data(), all.size(), " %.2f ", coder.overallSnr());
    EXPECT_TRUE(contains(lines[1], arg(input) + " ")) << lines[1];
    EXPECT_TRUE(contains(lines[1], std::to_string(coder.frameCount()) + " ")) << lines[1];
    EXPECT_TRUE(contains(lines[1], seg.data())) << lines[1] << " / " << seg.data();
    EXPECT_TRUE(contains(lines[1], all.data())) << lines[1] << " / " << all.data();
}

// --- Refusals and failures -------------------------------------------------------

TEST(EncodeFailure, MissingInputIsNamedAndTheOtherFilesStillRun) {
    const TempDir dir;
    const fs::path input = copySample(dir);
    const std::vector<std::uint8_t> old{'o', 'l', 'd'};
    test::writeBytes(dir / "missing.wav_12.20_sout.wav", old);
    const test::CliResult result =
        runCli({"encode", arg(dir / "missing.wav"), arg(input), "--csv", "-y"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(readBytes(dir / "missing.wav_12.20_sout.wav"), old);
    EXPECT_TRUE(
        contains(result.err, "zorvel-cli: " + arg(dir / "missing.wav") + ": input file not found"))
        << result.err;
    EXPECT_EQ(readBytes(dir / "mowa.wav_12.20_sout.wav"), encodeDirectly(input, 1, false, false));
    EXPECT_EQ(splitLines(result.out).size(), 2u);  // the header and the one coded file
}

TEST(EncodeFailure, DirectoryAsInputIsRefused) {
    const TempDir dir;
    fs::create_directory(dir / "sub.wav");
    const test::CliResult result = runCli({"encode", arg(dir / "sub.wav")});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(contains(result.err, arg(dir / "sub.wav") + ": input is a directory"))
        << result.err;
    EXPECT_EQ(directoryNames(dir.path()), std::vector<std::string>{"sub.wav"});
}

TEST(EncodeFailure, AnInputWhoseReadsFailIsNamedAsTheCause) {
    // A process's own memory file opens, but reads with an I/O error where
    // nothing is mapped: the input is at fault, not the output.
    const TempDir dir;
    const test::CliResult result = runCli({"encode", "/proc/self/mem", "-o", arg(dir / "out.wav")});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(contains(result.err, "zorvel-cli: /proc/self/mem: input cannot be read"))
        << result.err;
    EXPECT_FALSE(contains(result.err, "could not write")) << result.err;
    EXPECT_TRUE(directoryNames(dir.path()).empty());
}

TEST(EncodeFailure, UnwritableDirectoryIsReportedAndKeepsItsFiles) {
    const TempDir dir;
    fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::group_read |
                                    fs::perms::group_exec | fs::perms::others_read |
                                    fs::perms::others_exec);
    const fs::path input = copySample(dir);
    const fs::path locked = dir / "locked";
    fs::create_directory(locked);
    test::writeBytes(locked / "keep.wav", {1, 2, 3});
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read |
                                fs::perms::others_exec);

    // As root every directory is writable, so the tool runs as nobody then.
    const test::CliResult result =
        runCli({"encode", arg(input), "-d", arg(locked)}, test::asNobody());
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(contains(result.err, "zorvel-cli: " + arg(input) +
                                         ": cannot create the output in '" + arg(locked) +
                                         "': Permission denied"))
        << result.err;
    EXPECT_EQ(directoryNames(locked), std::vector<std::string>{"keep.wav"});
    EXPECT_EQ(readBytes(locked / "keep.wav"), (std::vector<std::uint8_t>{1, 2, 3}));
    fs::permissions(locked, fs::perms::owner_all);
}

// A missing directory is made with its parents, as mkdir -p makes it; one
// that cannot be made is reported with the system's reason.
TEST(EncodeOutput, MissingDirectoryIsMadeWithItsParents) {
    const TempDir dir;
    const fs::path input = copySample(dir);
    const test::CliResult result = runCli({"encode", arg(input), "-d", arg(dir / "a" / "b")});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(directoryNames(dir / "a" / "b"), std::vector<std::string>{"mowa.wav_12.20_sout.wav"});
    EXPECT_EQ(readBytes(dir / "a" / "b" / "mowa.wav_12.20_sout.wav"),
              encodeDirectly(input, 1, false, false));

    const test::CliResult underAFile =
        runCli({"encode", arg(input), "-d", arg(dir / "mowa.wav" / "sub")});
    EXPECT_EQ(underAFile.exitCode, 1);
    EXPECT_TRUE(contains(underAFile.err, "zorvel-cli: cannot create the directory '" +
                                             arg(dir / "mowa.wav" / "sub") + "': Not a directory"))
        << underAFile.err;
    EXPECT_EQ(directoryNames(dir.path()), (std::vector<std::string>{"a", "mowa.wav"}));
}

TEST(EncodeFailure, ExistingOutputNeedsYes) {
    const TempDir dir;
    const fs::path input = copySample(dir);
    const fs::path output = dir / "mowa.wav_12.20_sout.wav";
    const std::vector<std::uint8_t> old{'o', 'l', 'd'};
    test::writeBytes(output, old);

    const test::CliResult refused = runCli({"encode", arg(input)});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(contains(refused.err, "zorvel-cli: " + arg(input) + ": output '" + arg(output) +
                                          "' exists; use -y to overwrite it"))
        << refused.err;
    EXPECT_EQ(readBytes(output), old);
    EXPECT_EQ(directoryNames(dir.path()),
              (std::vector<std::string>{"mowa.wav", "mowa.wav_12.20_sout.wav"}));

    const test::CliResult replaced = runCli({"encode", arg(input), "-y"});
    EXPECT_EQ(replaced.exitCode, 0) << replaced.err;
    EXPECT_EQ(readBytes(output), encodeDirectly(input, 1, false, false));
}

TEST(EncodeFailure, OutputThatIsTheInputIsRefusedEvenWithYes) {
    const TempDir dir;
    const fs::path input = copySample(dir);
    fs::create_symlink(input, dir / "link.wav");
    const auto original = readBytes(input);
    for (const fs::path& output : {input, dir / "link.wav", dir / "." / "mowa.wav"}) {
        const test::CliResult result = runCli({"encode", arg(input), "-o", arg(output), "-y"});
        EXPECT_EQ(result.exitCode, 1) << output;
        EXPECT_TRUE(contains(result.err, "is the input file itself")) << result.err;
        EXPECT_EQ(readBytes(input), original);
    }
    EXPECT_EQ(directoryNames(dir.path()), (std::vector<std::string>{"link.wav", "mowa.wav"}));
}

TEST(EncodeFailure, OneOutputForSeveralInputsIsAUsageError) {
    const TempDir dir;
    const fs::path input = copySample(dir);
    const test::CliResult result =
        runCli({"encode", arg(input), arg(input), "-o", arg(dir / "x.wav")});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(contains(result.err, "use -d for several inputs")) << result.err;
    const test::CliResult both =
        runCli({"encode", arg(input), "-o", "a.wav", "-d", arg(dir.path())});
    EXPECT_EQ(both.exitCode, 2);
    EXPECT_EQ(directoryNames(dir.path()), std::vector<std::string>{"mowa.wav"});
}

TEST(EncodeFailure, TwoInputsWithOneOutputNameCodeOnlyTheFirst) {
    const TempDir dir;
    const fs::path input = copySample(dir);
    const test::CliResult result = runCli({"encode", arg(input), arg(dir / "." / "mowa.wav")});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(contains(result.err, "is also the output of '" + arg(input) + "'")) << result.err;
    EXPECT_EQ(readBytes(dir / "mowa.wav_12.20_sout.wav"), encodeDirectly(input, 1, false, false));
}

TEST(EncodeFailure, AFailedWriteLeavesNoOutput) {
    const TempDir dir;
    const fs::path input = copySample(dir);
    // Files of this process may not grow past 20000 bytes: the write of the
    // output fails part-way through the sample (90620 bytes).
    const test::CliResult result = runCli({"encode", arg(input)}, test::withFileSizeLimit(20000));
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(contains(result.err, "could not write the output")) << result.err;
    EXPECT_EQ(directoryNames(dir.path()), std::vector<std::string>{"mowa.wav"});
}

TEST(EncodeFailure, AnInterruptedRunLeavesNoOutput) {
    const TempDir dir;
    const TempDir scratch;
    const fs::path input = writeNoise(dir / "long.wav", 40000, test::testSeed());
    const test::CliProcess process = test::startCli({"encode", arg(input)}, scratch);
    // Wait until the output is being written (an anonymous file in the
    // directory, open in the process), then interrupt.
    bool writing = false;
    for (int wait = 0; wait < 4000 && !writing; ++wait) {
        writing = test::writesInto(process.pid, dir.path());
        if (!writing) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_TRUE(writing) << "no output was ever started";
    kill(process.pid, SIGINT);
    const test::CliResult result = test::finishCli(process);
    EXPECT_EQ(result.signal, SIGINT);
    EXPECT_TRUE(contains(result.err, "interrupted")) << result.err;
    EXPECT_EQ(directoryNames(dir.path()), std::vector<std::string>{"long.wav"});
}

// --- Help and version ------------------------------------------------------------

TEST(CommandLine, HelpOnEverySubcommandAndVersion) {
    for (const std::string command : {"encode", "frames", "plot"}) {
        const test::CliResult help = runCli({command, "--help"});
        EXPECT_EQ(help.exitCode, 0) << command;
        EXPECT_TRUE(contains(help.out, "Usage:") && contains(help.out, command)) << help.out;
    }
    const test::CliResult version = runCli({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("zorvel-cli ", 0), 0u) << version.out;
}

TEST(CommandLine, HelpNamesTheProgramNotThePathItWasStartedBy) {
    const test::CliResult top = runCli({"--help"});
    EXPECT_EQ(top.out.rfind("zorvel-cli", 0), 0u) << top.out;
    EXPECT_TRUE(contains(top.out, "Usage: zorvel-cli [OPTIONS] SUBCOMMAND")) << top.out;
    for (const std::string command : {"encode", "frames", "plot"}) {
        const test::CliResult help = runCli({command, "--help"});
        EXPECT_TRUE(contains(help.out, "Usage: zorvel-cli " + command + " [OPTIONS]")) << help.out;
        EXPECT_FALSE(contains(help.out, ZORVEL_CLI)) << help.out;
    }
}

TEST(CommandLine, NoSubcommandOrAnUnknownOptionIsAUsageError) {
    EXPECT_EQ(runCli({}).exitCode, 2);
    EXPECT_EQ(runCli({"encode"}).exitCode, 2);
    EXPECT_EQ(runCli({"encode", "x.wav", "--bogus"}).exitCode, 2);
    EXPECT_EQ(runCli({"encode", "x.wav", "-j", "0"}).exitCode, 2);
    EXPECT_EQ(runCli({"decode", "x.wav"}).exitCode, 2);
}

}  // namespace
}  // namespace zorvel
