// zorvel-cli train: the tables file it writes (the library's own tables,
// read back), the held-out table, the output rules and the refusals.
#include <gtest/gtest.h>

#include "coder/GainTraining.h"
#include "coder/LsfQuantiser.h"
#include "coder/LsfTraining.h"
#include "coder/QuantiserTables.h"
#include "tests/TestSupport.h"
#include "tests/cli/CliRun.h"

namespace zorvel {
namespace {

using test::arg;
using test::readText;
using test::runCli;

TEST(Train, WritesTheTablesTheLibraryTrainsAndMeasuresTheHeldOutList) {
    test::TempDir dir;
    const std::filesystem::path second = test::repeatedSample(dir, 2);
    {
        std::ofstream list(dir / "held.txt");
        list << test::samplePath().string() << '\n';
    }
    const test::CliResult r = runCli({"train", arg(test::samplePath()), arg(second), "-o",
                                      arg(dir / "t.zvqt"), "--held-out", arg(dir / "held.txt")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("zorvel-cli train: 2 files, 849 frames"), std::string::npos) << r.err;

    // The same tables as the library trains from the same files.
    const std::vector<LsfTrainingFile> files{analyseLsfSets(SpeechInput(test::samplePath())),
                                             analyseLsfSets(SpeechInput(second))};
    QuantiserTables expected;
    trainLsfTables(files, expected);
    // The gains, observed in the coder quantising with those LSF quantisers.
    addProvisionalGainTables(expected);
    const std::vector<GainTrainingFile> gains{
        observeGains([] { return SpeechInput(test::samplePath()); }, expected),
        observeGains([&] { return SpeechInput(second); }, expected)};
    trainGainTables(gains, expected);
    expected.setText("provenance", "zorvel-cli train: 2 files, 849 frames");
    EXPECT_EQ(readText(dir / "t.zvqt"), tablesBytes(expected));
    EXPECT_NO_THROW(checkLsfTables(readQuantiserTables(dir / "t.zvqt")));
    for (CoderMode mode : kAllCoderModes)
        EXPECT_NO_THROW(GainQuantiser(readQuantiserTables(dir / "t.zvqt"), mode));

    // One row per set of each budget, in the order of the designs.
    std::istringstream table(r.out);
    std::string line;
    std::vector<std::string> rows;
    while (std::getline(table, line)) rows.push_back(line);
    ASSERT_EQ(rows.size(), 6u) << r.out;
    EXPECT_EQ(rows[0].rfind("LSF bits  modes", 0), 0u) << rows[0];
    EXPECT_EQ(rows[1].rfind("38        12.2                  I", 0), 0u) << rows[1];
    EXPECT_EQ(rows[3].rfind("27        7.95", 0), 0u) << rows[3];
    EXPECT_EQ(rows[4].rfind("26        10.2 7.40 6.70 5.90", 0), 0u) << rows[4];
    EXPECT_EQ(rows[5].rfind("23        5.15 4.75", 0), 0u) << rows[5];

    // As CSV, the mean of the 26-bit quantiser on the held-out file is the
    // library's measure.
    const test::CliResult csv =
        runCli({"train", arg(test::samplePath()), arg(second), "-o", arg(dir / "t.zvqt"), "-y",
                "--held-out", arg(dir / "held.txt"), "--csv"});
    ASSERT_EQ(csv.exitCode, 0) << csv.err;
    const auto csvRows = test::csvRows(csv.out);
    ASSERT_EQ(csvRows.size(), 6u) << csv.out;
    EXPECT_EQ(csvRows[4].at(0), "26");
    const std::vector<LsfDistortion> measured =
        measureLsfQuantisers(expected, std::span(files).first(1));
    EXPECT_EQ(std::stod(csvRows[4].at(4)), measured[2].set.mean());
    EXPECT_EQ(std::stoll(csvRows[4].at(3)), measured[2].set.frames());
}

TEST(Train, KeepsAnExistingFileAndNeverWritesOverAnInput) {
    test::TempDir dir;
    test::writeBytes(dir / "t.zvqt", {'o', 'l', 'd'});
    const test::CliResult r = runCli({"train", arg(test::samplePath()), "-o", arg(dir / "t.zvqt")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("use -y to overwrite it"), std::string::npos) << r.err;
    EXPECT_EQ(readText(dir / "t.zvqt"), "old");

    const std::filesystem::path input = test::repeatedSample(dir, 1);
    const std::string before = readText(input);
    const test::CliResult same = runCli({"train", arg(input), "-o", arg(input), "-y"});
    EXPECT_EQ(same.exitCode, 1);
    EXPECT_EQ(readText(input), before);
}

TEST(Train, AnInputThatCannotBeReadWritesNothing) {
    test::TempDir dir;
    const test::CliResult r = runCli(
        {"train", arg(test::samplePath()), arg(dir / "absent.wav"), "-o", arg(dir / "t.zvqt")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("absent.wav: "), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "t.zvqt"));

    {
        std::ofstream list(dir / "held.txt");
        list << (dir / "absent.wav").string() << '\n';
    }
    const test::CliResult held = runCli({"train", arg(test::samplePath()), "-o",
                                         arg(dir / "t.zvqt"), "--held-out", arg(dir / "held.txt")});
    EXPECT_EQ(held.exitCode, 1);
    EXPECT_FALSE(std::filesystem::exists(dir / "t.zvqt"));
}

TEST(Train, OptionsItWouldNotHonourAreUsageErrors) {
    test::TempDir dir;
    const std::string input = arg(test::samplePath());
    const std::string output = arg(dir / "t.zvqt");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"train", input},
          std::vector<std::string>{"train", input, "-o", output, "--csv"},
          std::vector<std::string>{"train", input, "-o", output, "--shard", "1/2"},
          std::vector<std::string>{"train", input, "-o", output, "--skip-existing"},
          std::vector<std::string>{"train", "-o", output}}) {
        const test::CliResult r = runCli(args);
        EXPECT_EQ(r.exitCode, 2) << args.back() << ": " << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "t.zvqt"));
}

}  // namespace
}  // namespace zorvel
