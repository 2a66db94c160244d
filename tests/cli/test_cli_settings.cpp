// Coder settings on the command line: the list of them, --set on encode and
// sweep with the names of what differs in the outputs and records, the
// adaptive-codebook setting as --no-adaptive, and refusals as usage errors.
#include <gtest/gtest.h>

#include <sstream>

#include "coder/ModeSweep.h"
#include "coder/QuantiserTables.h"
#include "coder/SpeechCoder.h"
#include "tests/TestSupport.h"
#include "tests/cli/CliRun.h"

namespace zorvel::cli {
namespace {

using test::arg;
using test::readBytes;
using test::runCli;
using test::TempDir;

TEST(CliSettings, ListsEverySettingWithItsValuesAndDefault) {
    const test::CliResult result = runCli({"settings"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    for (const char* line :
         {"  gamma1=0 < gamma2 < gamma1 <= 1  (default 0.94)",
          "  gamma2=0 < gamma2 < gamma1 <= 1  (default 0.6)",
          "  postfilter-num=0..1  (default 0.7)", "  postfilter-den=0..1  (default 0.75)",
          "  postfilter-tilt=0..1  (default 0.8)", "  enhancement=on, off  (default on)",
          "  lag-window=on, off  (default on)", "  adaptive-codebook=on, off  (default on)"})
        EXPECT_NE(result.out.find(line), std::string::npos) << line << "\n" << result.out;
}

TEST(CliSettings, EncodeNamesTheOutputAfterWhatDiffersAndCodesWithIt) {
    const TempDir dir;
    ASSERT_EQ(runCli({"encode", arg(test::samplePath()), "-d", arg(dir.path())}).exitCode, 0);
    const test::CliResult changed =
        runCli({"encode", arg(test::samplePath()), "-d", arg(dir.path()), "--set", "gamma1=0.9",
                "--set", "enhancement=off"});
    ASSERT_EQ(changed.exitCode, 0) << changed.err;
    const auto plain = readBytes(dir / "mowa.wav_12.20_sout.wav");
    const auto other = readBytes(dir / "mowa.wav_12.20_sout_g1-0.9_noenh.wav");
    EXPECT_NE(other, plain);

    CoderSettings settings;
    settings.gamma1 = 0.9;
    settings.enhancement = false;
    SpeechCoder coder(test::samplePath(), CoderMode::rate12_2, settings);
    std::stringstream bytes(std::string(60, '\0'), std::ios::in | std::ios::out | std::ios::binary);
    ASSERT_EQ(coder.encodeFile(bytes, SaveOption::synthesized), RunResult::completed);
    const std::string expected = bytes.str();
    EXPECT_EQ(std::string(other.begin(), other.end()), expected);

    // adaptive-codebook=off is --no-adaptive: the same name and bytes.
    ASSERT_EQ(runCli({"encode", arg(test::samplePath()), "-d", arg(dir / "a"), "--set",
                      "adaptive-codebook=off"})
                  .exitCode,
              0);
    ASSERT_EQ(
        runCli({"encode", arg(test::samplePath()), "-d", arg(dir / "b"), "--no-adaptive"}).exitCode,
        0);
    EXPECT_EQ(readBytes(dir / "a" / "mowa.wav_12.20_sout_noadapt.wav"),
              readBytes(dir / "b" / "mowa.wav_12.20_sout_noadapt.wav"));
}

// Each kind of problem, worded from the setting's own description.
TEST(CliSettings, AWrongSettingIsAUsageErrorThatSaysWhyAndWritesNothing) {
    const TempDir dir;
    const std::pair<const char*, const char*> refused[] = {
        {"bogus=1", "unknown setting 'bogus' ('zorvel-cli settings' lists them)"},
        {"gamma1", "'gamma1' is not NAME=VALUE"},
        {"gamma2=0.95", "gamma2 (0.95) must lie below gamma1 (0.94): 0 < gamma2 < gamma1 <= 1"},
        {"gamma1=1.5", "gamma1: 1.5 lies outside 0 < gamma1 <= 1"},
        {"gamma2=0", "gamma2: 0 lies outside 0 < gamma2 < 1"},
        {"postfilter-den=2", "postfilter-den: 2 lies outside 0..1"},
        {"high-pass=20", "high-pass: 20 lies outside 50..300 Hz"},
        {"high-pass=on", "high-pass: 'on' is not off or a number in Hz"},
        {"lag-window=maybe", "lag-window: 'maybe' is not on or off"},
        {"gamma1=abc", "gamma1: 'abc' is not a number"},
        {"pitch-resolution=1/2", "pitch-resolution: '1/2' is not 1, 1/3 or 1/6"},
        {"lp-interpolation=on", "lp-interpolation: 'on' is not off or lsf"},
    };
    for (const auto& [setting, reason] : refused) {
        const test::CliResult result =
            runCli({"encode", arg(test::samplePath()), "-d", arg(dir.path()), "--set", setting});
        EXPECT_EQ(result.exitCode, 2) << setting;
        EXPECT_NE(result.err.find(std::string("--set: ") + reason), std::string::npos)
            << result.err;
    }
    EXPECT_TRUE(test::directoryNames(dir.path()).empty());
    // --no-adaptive wins over --set adaptive-codebook=on, wherever it stands.
    ASSERT_EQ(runCli({"encode", arg(test::samplePath()), "-d", arg(dir.path()), "--no-adaptive",
                      "--set", "adaptive-codebook=on"})
                  .exitCode,
              0);
    EXPECT_EQ(test::directoryNames(dir.path()),
              (std::vector<std::string>{"mowa.wav_12.20_sout_noadapt.wav"}));
}

// quantiser-tables codes with a user's tables: the built-in ones written to a
// file code the same bytes, other tables other bytes, under a name of their
// own; a file that is no tables is a usage error that writes nothing.
TEST(CliSettings, QuantiserTablesComeFromTheFileNamed) {
    const TempDir dir;
    const std::filesystem::path same = dir / "same.zvqt";
    const std::filesystem::path louder = dir / "louder.zvqt";
    test::writeBytes(same, [] {
        const std::string bytes = tablesBytes(defaultQuantiserTables());
        return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
    }());
    QuantiserTables changed = defaultQuantiserTables();
    Codebook gains = changed.codebook("gain7/codebook");
    for (std::size_t k = 1; k < gains.values.size(); k += 2) gains.values[k] *= 1.25;
    changed.setCodebook("gain7/codebook", gains);
    const std::string changedBytes = tablesBytes(changed);
    test::writeBytes(louder, std::vector<std::uint8_t>(changedBytes.begin(), changedBytes.end()));

    const auto encode = [&](const std::vector<std::string>& extra, const std::string& name) {
        std::vector<std::string> args{"encode", arg(test::samplePath()), "-m", "7.40",
                                      "--set",  "quantisation=on",       "-o", arg(dir / name)};
        args.insert(args.end(), extra.begin(), extra.end());
        return runCli(args);
    };
    ASSERT_EQ(encode({}, "built-in.wav").exitCode, 0);
    ASSERT_EQ(encode({"--set", "quantiser-tables=" + same.string()}, "same.wav").exitCode, 0);
    ASSERT_EQ(encode({"--set", "quantiser-tables=" + louder.string()}, "louder.wav").exitCode, 0);
    EXPECT_EQ(readBytes(dir / "same.wav"), readBytes(dir / "built-in.wav"));
    EXPECT_NE(readBytes(dir / "louder.wav"), readBytes(dir / "built-in.wav"));
    // Named after the tables where the name is the program's.
    const test::CliResult named =
        runCli({"encode", arg(test::samplePath()), "-m", "7.40", "-d", arg(dir.path()), "--set",
                "quantisation=on", "--set", "quantiser-tables=" + louder.string()});
    ASSERT_EQ(named.exitCode, 0) << named.err;
    EXPECT_TRUE(std::filesystem::exists(dir / "mowa.wav_07.40_sout_q_qt-louder.wav"));

    for (const std::string& bad :
         {(dir / "missing.zvqt").string(), test::samplePath().string(), std::string("/dev/null")}) {
        const test::CliResult refused = encode({"--set", "quantiser-tables=" + bad}, "bad.wav");
        EXPECT_EQ(refused.exitCode, 2) << bad;
        EXPECT_NE(refused.err.find("--set: quantiser-tables: " + bad + ": "), std::string::npos)
            << refused.err;
        EXPECT_FALSE(std::filesystem::exists(dir / "bad.wav"));
    }
}

// A configuration kept in a file codes as the same --set options do, and the
// command line applies --settings and --set in the order given; the pair of
// factors is judged once all are read, whatever their order.
TEST(CliSettings, SettingsFilesKeepAConfigurationAndAreReadInTheirPlace) {
    const TempDir dir;
    const std::string file = arg(dir / "chosen.txt");
    ASSERT_EQ(
        runCli({"settings", "--write", file, "--set", "gamma1=0.9", "--set", "enhancement=off"})
            .exitCode,
        0);
    EXPECT_EQ(runCli({"settings", "--write", file}).exitCode, 1) << "an existing file replaced";
    ASSERT_EQ(runCli({"encode", arg(test::samplePath()), "-d", arg(dir / "set"), "--set",
                      "gamma1=0.9", "--set", "enhancement=off"})
                  .exitCode,
              0);
    const test::CliResult fromFile =
        runCli({"encode", arg(test::samplePath()), "-d", arg(dir / "file"), "--settings", file});
    ASSERT_EQ(fromFile.exitCode, 0) << fromFile.err;
    const std::string name = "mowa.wav_12.20_sout_g1-0.9_noenh.wav";
    EXPECT_EQ(readBytes(dir / "file" / name), readBytes(dir / "set" / name));

    // The later wins: the file's gamma1 over an earlier --set, a later --set over the file's.
    const test::CliResult written = runCli({"settings", "--write", "-", "--set", "gamma1=0.8",
                                            "--settings", file, "--set", "gamma2=0.5"});
    ASSERT_EQ(written.exitCode, 0) << written.err;
    EXPECT_NE(written.out.find("gamma1=0.9 "), std::string::npos) << written.out;
    EXPECT_NE(written.out.find("gamma2=0.5 "), std::string::npos) << written.out;
    EXPECT_NE(runCli({"settings", "--write", "-", "--settings", file, "--set", "gamma1=0.8"})
                  .out.find("gamma1=0.8 "),
              std::string::npos);

    // gamma1=0.5 then gamma2=0.4 agree, as the reverse order does.
    for (const auto& order : {std::vector<std::string>{"gamma1=0.5", "gamma2=0.4"},
                              std::vector<std::string>{"gamma2=0.4", "gamma1=0.5"}}) {
        const test::CliResult result =
            runCli({"encode", arg(test::samplePath()), "-o", arg(dir / "pair.wav"), "-y", "--set",
                    order[0], "--set", order[1]});
        EXPECT_EQ(result.exitCode, 0) << order[0] << " " << order[1] << ": " << result.err;
    }
}

TEST(CliSettings, ABadSettingsFileNamesEveryLineAndCodesNothing) {
    const TempDir dir;
    const std::filesystem::path file = dir / "bad.txt";
    const std::string text =
        "# kept for the lecture\ngamma1=0.9\nhigh-pass=20\ngamma1=0.8\ncolour=red\n";
    test::writeBytes(file, {text.begin(), text.end()});
    const test::CliResult result = runCli(
        {"encode", arg(test::samplePath()), "-d", arg(dir / "out"), "--settings", arg(file)});
    EXPECT_EQ(result.exitCode, 2);
    for (const std::string& line :
         {arg(file) + ":3: high-pass: 20 lies outside 50..300 Hz",
          arg(file) + ":4: gamma1 is set again (first on line 2)",
          arg(file) + ":5: unknown setting 'colour' ('zorvel-cli settings' lists them)"})
        EXPECT_NE(result.err.find(line), std::string::npos) << line << "\n" << result.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "out"));
    const test::CliResult missing = runCli({"encode", arg(test::samplePath()), "-d",
                                            arg(dir / "out"), "--settings", arg(dir / "none")});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_NE(missing.err.find("No such file or directory"), std::string::npos) << missing.err;
}

// The settings are checked once all are read: an order in which a pair passes
// through a state the coder refuses (gamma1 below the default gamma2) is
// taken, codes as the other order does, and a pair that is wrong together is
// refused whichever way round it comes.
TEST(CliSettings, SettingsAreCheckedTogetherWhateverTheirOrder) {
    const TempDir dir;
    const test::CliResult lowerFirst =
        runCli({"encode", arg(test::samplePath()), "-d", arg(dir / "a"), "-m", "4.75", "--set",
                "gamma1=0.5", "--set", "gamma2=0.4"});
    ASSERT_EQ(lowerFirst.exitCode, 0) << lowerFirst.err;
    const test::CliResult upperFirst =
        runCli({"encode", arg(test::samplePath()), "-d", arg(dir / "b"), "-m", "4.75", "--set",
                "gamma2=0.4", "--set", "gamma1=0.5"});
    ASSERT_EQ(upperFirst.exitCode, 0) << upperFirst.err;
    const char* name = "mowa.wav_04.75_sout_g1-0.5_g2-0.4.wav";
    EXPECT_EQ(readBytes(dir / "a" / name), readBytes(dir / "b" / name));

    for (const auto& pair : {std::vector<std::string>{"gamma1=0.5", "gamma2=0.55"},
                             std::vector<std::string>{"gamma2=0.55", "gamma1=0.5"}}) {
        const test::CliResult result = runCli({"encode", arg(test::samplePath()), "-d",
                                               arg(dir / "c"), "--set", pair[0], "--set", pair[1]});
        EXPECT_EQ(result.exitCode, 2) << pair[0];
        EXPECT_NE(result.err.find("--set: gamma2 (0.55) must lie below gamma1 (0.5)"),
                  std::string::npos)
            << result.err;
    }
    // Of one setting given twice the later counts, and only the settings it
    // leaves are checked.
    const test::CliResult twice =
        runCli({"frames", arg(test::samplePath()), "-m", "4.75", "--set", "gamma2=0.95", "--set",
                "gamma2=0.5", "--set", "gamma1=0.9"});
    ASSERT_EQ(twice.exitCode, 0) << twice.err;
    const test::CliResult once = runCli({"frames", arg(test::samplePath()), "-m", "4.75", "--set",
                                         "gamma1=0.9", "--set", "gamma2=0.5"});
    ASSERT_EQ(once.exitCode, 0) << once.err;
    EXPECT_EQ(twice.out, once.out);
    EXPECT_FALSE(std::filesystem::exists(dir / "c"));
}

// With fractional lags, frames gives the fine lag beside the lag, as the
// coder's record has it; with whole lags the columns are as they always were.
TEST(CliSettings, FramesGivesTheFineLagWhereTheResolutionIsFiner) {
    const test::CliResult plain = runCli({"frames", arg(test::samplePath())});
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    EXPECT_EQ(plain.out.find("pitchLagFine"), std::string::npos);

    const test::CliResult fine =
        runCli({"frames", arg(test::samplePath()), "--set", "pitch-resolution=1/3"});
    ASSERT_EQ(fine.exitCode, 0) << fine.err;
    std::istringstream lines(fine.out);
    std::string header;
    std::getline(lines, header);
    const std::string lags =
        "pitchLag_3,pitchLagFine_0,pitchLagFine_1,pitchLagFine_2,pitchLagFine_3,";
    ASSERT_NE(header.find(lags), std::string::npos) << header;
    const auto column = [&header](const std::string& name) {
        int index = 0;
        for (std::size_t at = 0; at < header.find(name); ++at) index += header[at] == ',';
        return index;
    };
    const int first = column("pitchLagFine_0");

    CoderSettings settings;
    settings.pitchResolution = PitchResolution::third;
    SpeechCoder coder(test::samplePath(), CoderMode::rate12_2, settings);
    std::string line;
    int rows = 0;
    while (std::getline(lines, line) && coder.nextFrame() == FrameStep::coded) {
        std::vector<std::string> cells;
        std::istringstream row(line);
        for (std::string cell; std::getline(row, cell, ',');) cells.push_back(cell);
        for (int a = 0; a < 4; ++a)
            ASSERT_EQ(std::stod(cells[first + a]), coder.currentFrame().pitchLagFine[a]) << rows;
        ++rows;
    }
    EXPECT_EQ(rows, 283);
}

TEST(CliSettings, SweepCodesWithTheSettingsAndRecordsThem) {
    const TempDir dir;
    const test::CliResult result =
        runCli({"sweep", arg(test::samplePath()), "--set", "lag-window=off", "--csv", "--jsonl",
                arg(dir / "r.jsonl"), "-j", "2"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    CoderSettings settings;
    settings.lagWindow = false;
    const auto figures =
        codeInMode(SpeechInput(test::samplePath()), CoderMode::rate5_90, {.settings = settings});
    ASSERT_TRUE(figures);
    std::ostringstream overall;
    overall.precision(17);
    overall << figures->overallSnr;
    EXPECT_NE(result.out.find(overall.str()), std::string::npos) << result.out;
    const std::string records = test::readText(dir / "r.jsonl");
    EXPECT_NE(records.find("\"setting\":\"lag-window=off\""), std::string::npos) << records;
}

}  // namespace
}  // namespace zorvel::cli
