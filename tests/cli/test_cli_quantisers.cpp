// zorvel-cli quantisers: the table, its CSV and its JSON carry the library's
// measures of the budgets and of the modes' designs; the chart is written and
// reads back as PNG and SVG; what it refuses, it refuses before reading.
#include <gtest/gtest.h>

#include <QImage>
#include <QSvgRenderer>
#include <nlohmann/json.hpp>

#include "coder/LsfQuantiser.h"
#include "coder/LsfTraining.h"
#include "tests/TestSupport.h"
#include "tests/cli/CliRun.h"

namespace zorvel {
namespace {

using test::arg;
using test::readText;
using test::runCli;

class CliQuantisers : public ::testing::Test {
  protected:
    void SetUp() override {
        second_ = test::repeatedSample(dir_, 2);
        held_ = dir_ / "held.txt";
        std::ofstream list(held_);
        list << test::samplePath().string() << '\n';
    }
    // The training inputs and the held-out list, then `more`.
    std::vector<std::string> command(std::vector<std::string> more) const {
        std::vector<std::string> args{"quantisers", arg(test::samplePath()), arg(second_),
                                      "--held-out", arg(held_)};
        args.insert(args.end(), more.begin(), more.end());
        return args;
    }

    test::TempDir dir_;
    std::filesystem::path second_;
    std::filesystem::path held_;
};

TEST_F(CliQuantisers, TableCsvAndJsonCarryTheLibrarysMeasures) {
    // What the library trains and measures from the same files.
    const std::vector<LsfTrainingFile> files{analyseLsfSets(SpeechInput(test::samplePath())),
                                             analyseLsfSets(SpeechInput(second_))};
    const std::vector<LsfTrainingFile> heldOut{files[0]};
    const std::vector<LsfQuantiserDesign> designs{lsfBudgetDesign(18), lsfBudgetDesign(22),
                                                  lsfBudgetDesign(26)};
    QuantiserTables budgetTables;
    trainLsfDesigns(files, designs, budgetTables);
    const std::vector<LsfDistortion> budgets = measureLsfDesigns(budgetTables, designs, heldOut);
    QuantiserTables modeTables;
    trainLsfTables(files, modeTables);
    const std::vector<LsfDistortion> modes = measureLsfQuantisers(modeTables, heldOut);

    const test::CliResult table = runCli(command({"--bits", "18:26:4", "-j", "2"}));
    ASSERT_EQ(table.exitCode, 0) << table.err;
    EXPECT_NE(table.err.find("analysed 2 training files (849 frames) and 1 held-out files"),
              std::string::npos)
        << table.err;
    std::istringstream lines(table.out);
    std::vector<std::string> rows;
    for (std::string line; std::getline(lines, line);) rows.push_back(line);
    // A header, three budgets, 12.2's two sets and the three one-set designs.
    ASSERT_EQ(rows.size(), 9u) << table.out;
    EXPECT_EQ(rows[0].rfind("quantiser  LSF bits  splits      modes", 0), 0u) << rows[0];
    EXPECT_EQ(rows[1].rfind("budget     18        6+6+6 ", 0), 0u) << rows[1];
    EXPECT_EQ(rows[2].rfind("budget     22        7+7+8 ", 0), 0u) << rows[2];
    EXPECT_EQ(rows[3].rfind("budget     26        8+9+9       10.2 7.40 6.70 5.90", 0), 0u)
        << rows[3];
    EXPECT_EQ(rows[4].rfind("mode       38        8+8+8+8+6   12.2                  I", 0), 0u)
        << rows[4];
    EXPECT_EQ(rows[8].rfind("mode       23        7+8+8       5.15 4.75", 0), 0u) << rows[8];

    const test::CliResult csv = runCli(command({"--bits", "18:26:4", "--csv"}));
    ASSERT_EQ(csv.exitCode, 0) << csv.err;
    const auto csvRows = test::csvRows(csv.out);
    ASSERT_EQ(csvRows.size(), 9u) << csv.out;  // with the header
    EXPECT_EQ(csvRows[0].at(6), "mean_sd_db");
    for (std::size_t j = 0; j < budgets.size(); ++j) {
        const auto& row = csvRows[j + 1];
        EXPECT_EQ(row.at(0), "budget");
        EXPECT_EQ(std::stoi(row.at(1)), designs[j].bits);
        EXPECT_EQ(std::stoll(row.at(5)), budgets[j].set.frames());
        EXPECT_EQ(std::stod(row.at(6)), budgets[j].set.mean()) << j;
        EXPECT_EQ(std::stod(row.at(7)), 100.0 * budgets[j].set.outlierShare()) << j;
        EXPECT_EQ(std::stod(row.at(8)), 100.0 * budgets[j].set.largeShare()) << j;
        EXPECT_EQ(std::stod(row.at(9)), budgets[j].set.maximum()) << j;
    }
    EXPECT_EQ(csvRows[4].at(0), "mode");
    EXPECT_EQ(csvRows[4].at(4), "I");
    EXPECT_EQ(std::stod(csvRows[4].at(6)), modes[0].setI.mean());
    EXPECT_EQ(std::stod(csvRows[5].at(6)), modes[0].set.mean());
    EXPECT_EQ(std::stod(csvRows[8].at(6)), modes[3].set.mean());
    EXPECT_EQ(csvRows[8].at(3), "5.15 4.75");
    // The 26-bit budget is the 26-bit design of the modes, trained alike.
    EXPECT_EQ(csvRows[3].at(6), csvRows[7].at(6));

    const test::CliResult json = runCli(command({"--bits", "18:26:4", "--json"}));
    ASSERT_EQ(json.exitCode, 0) << json.err;
    const nlohmann::json object = nlohmann::json::parse(json.out);
    EXPECT_EQ(object["training"]["files"], 2);
    EXPECT_EQ(object["training"]["frames"], 849);
    EXPECT_EQ(object["held_out"]["frames"], 283);
    ASSERT_EQ(object["budgets"].size(), 3u);
    ASSERT_EQ(object["modes"].size(), 5u);
    for (std::size_t j = 0; j < budgets.size(); ++j) {
        const nlohmann::json& b = object["budgets"][j];
        EXPECT_EQ(b["lsf_bits"], designs[j].bits);
        EXPECT_EQ(b["mean_sd_db"].get<double>(), budgets[j].set.mean());
        EXPECT_EQ(b["max_sd_db"].get<double>(), budgets[j].set.maximum());
        int bits = 0;
        for (const nlohmann::json& split : b["splits"]) bits += split.get<int>();
        EXPECT_EQ(bits, designs[j].bits);
    }
    EXPECT_EQ(object["modes"][1]["set"], "II");
    EXPECT_EQ(object["modes"][1]["mean_sd_db"].get<double>(), modes[0].set.mean());
    EXPECT_EQ(object["modes"][3]["modes"], nlohmann::json({"10.2", "7.40", "6.70", "5.90"}));
}

TEST_F(CliQuantisers, ChartReadsBackAsPngAndSvgAndIsReplacedOnlyWithYes) {
    const std::filesystem::path png = dir_ / "sd.png";
    const test::CliResult drawn = runCli(command({"--bits", "18:22:2", "--plot", arg(png)}));
    ASSERT_EQ(drawn.exitCode, 0) << drawn.err;
    QImage image;
    ASSERT_TRUE(image.load(QString::fromStdString(png.string())));
    EXPECT_EQ(image.width(), 880);
    EXPECT_EQ(image.height(), 640);
    // Not a blank page: the lines and markers are drawn.
    EXPECT_GT(image.pixelColor(0, 0).lightness(), 250);
    int coloured = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            coloured += image.pixel(x, y) == 0xFF1F4FBF ? 1 : 0;  // the mean SD's line
    EXPECT_GT(coloured, 100);

    const std::string before = readText(png);
    const test::CliResult again = runCli(command({"--bits", "18:22:2", "--plot", arg(png)}));
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_NE(again.err.find("use -y to overwrite it"), std::string::npos) << again.err;
    EXPECT_EQ(readText(png), before);
    EXPECT_EQ(runCli(command({"--bits", "20:24:2", "--plot", arg(png), "-y"})).exitCode, 0);
    EXPECT_NE(readText(png), before);

    const std::filesystem::path svg = dir_ / "sd.svg";
    const test::CliResult vector = runCli(command({"--bits", "18:22:4", "--plot", arg(svg)}));
    ASSERT_EQ(vector.exitCode, 0) << vector.err;
    const std::string text = readText(svg);
    EXPECT_TRUE(QSvgRenderer(QByteArray::fromStdString(text)).isValid());
    for (const char* words : {"Średnie SD [dB]", "1 dB: kwantyzacja przezroczysta", "SD 2-4 dB",
                              "5.15 4.75", "12.2 II", "held.txt (283 ramek)", "Bity LSF na ramkę"})
        EXPECT_NE(text.find(words), std::string::npos) << words;
}

TEST_F(CliQuantisers, RefusesBeforeReadingAndWritesNothing) {
    // The budgets: whole numbers within the range, rising, a step from 1.
    for (const char* bits : {"17:40", "18:41", "24:20", "18:40:0", "18:40:-2", "18", "a:b",
                             "18:40:2:1", "18.5:20", ""}) {
        const test::CliResult r = runCli(command({"--bits", bits}));
        EXPECT_EQ(r.exitCode, 2) << bits << ": " << r.err;
        EXPECT_NE(r.err.find("--bits takes FROM:TO"), std::string::npos) << bits << ": " << r.err;
    }
    const std::string sample = arg(test::samplePath());
    const std::string chart = arg(dir_ / "c.svg");
    // Options it would not honour, and a list it must have.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"quantisers", sample},
          std::vector<std::string>{"quantisers", "--held-out", arg(held_)},
          command({"--shard", "1/2"}), command({"--skip-existing"}), command({"-y"}),
          command({"--csv", "--json"}), command({"--plot", arg(dir_ / "c.jpg")})}) {
        const test::CliResult r = runCli(args);
        EXPECT_EQ(r.exitCode, 2) << args.back() << ": " << r.err;
    }
    { std::ofstream empty(dir_ / "empty.txt"); }
    const test::CliResult none =
        runCli({"quantisers", sample, "--held-out", arg(dir_ / "empty.txt"), "--plot", chart});
    EXPECT_EQ(none.exitCode, 2) << none.err;
    EXPECT_NE(none.err.find("--held-out: the list names no file"), std::string::npos) << none.err;

    // Lists and inputs that cannot be read.
    const test::CliResult noList =
        runCli({"quantisers", sample, "--held-out", arg(dir_ / "absent.txt"), "--plot", chart});
    EXPECT_EQ(noList.exitCode, 1);
    EXPECT_NE(noList.err.find("absent.txt: the held-out list cannot be read"), std::string::npos)
        << noList.err;
    const test::CliResult noInput = runCli({"quantisers", sample, arg(dir_ / "absent.wav"),
                                            "--held-out", arg(held_), "--plot", chart});
    EXPECT_EQ(noInput.exitCode, 1);
    EXPECT_NE(noInput.err.find("absent.wav: "), std::string::npos) << noInput.err;
    EXPECT_TRUE(noInput.out.empty()) << noInput.out;

    // The chart may be no input (of either list) and no list.
    const std::filesystem::path input = dir_ / "input.svg";
    std::filesystem::copy_file(test::samplePath(), input);
    const std::string before = readText(input);
    const std::filesystem::path list = dir_ / "list.svg";
    std::filesystem::copy_file(held_, list);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"quantisers", arg(input), "--held-out", arg(held_), "--plot",
                                   arg(input), "-y"},
          std::vector<std::string>{"quantisers", sample, "--held-out", arg(list), "--plot",
                                   arg(list), "-y"},
          std::vector<std::string>{"quantisers", "--files-from", arg(list), "--held-out",
                                   arg(held_), "--plot", arg(list), "-y"}}) {
        const test::CliResult r = runCli(args);
        EXPECT_EQ(r.exitCode, 1) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
    }
    EXPECT_EQ(readText(input), before);
    EXPECT_EQ(readText(list), readText(held_));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "c.svg"));
}

}  // namespace
}  // namespace zorvel
