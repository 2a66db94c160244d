// zorvel-cli listening: the results of ratings files as a table, CSV and
// JSON, with means and intervals computed by hand and the screened-out
// listener named; the chart as SVG and PNG read back; files that are not
// ratings, a cut last line and a chart name of another kind.
#include <gtest/gtest.h>

#include <QImage>
#include <QSvgRenderer>
#include <cmath>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "listening/Ratings.h"
#include "tests/TestSupport.h"
#include "tests/cli/CliRun.h"

namespace zorvel {
namespace {

using test::runCli;

void trial(const std::filesystem::path& file, const std::string& listener, int number,
           std::vector<std::pair<std::string, int>> scores) {
    std::vector<Rating> ratings;
    for (const auto& [condition, score] : scores)
        ratings.push_back({.listener = listener,
                           .trial = number,
                           .input = "item" + std::to_string(number) + ".wav",
                           .condition = condition,
                           .settings = condition == "4.75 kb/s" ? "gamma1=0.9" : "",
                           .letter = "A",
                           .score = score,
                           .time = "2026-12-08T10:00:00Z"});
    appendTrial(file, ratings);
}

class CliListening : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string ref = kHiddenReferenceCondition;
        const std::string q10 = anchorCondition(10), q25 = anchorCondition(25);
        // Two files; celina (reference 60 in one trial of two) is screened out.
        trial(first_, "ala", 1,
              {{q10, 10}, {"4.75 kb/s", 50}, {ref, 100}, {"12.2 kb/s", 80}, {q25, 40}});
        trial(first_, "ala", 2,
              {{ref, 95}, {"12.2 kb/s", 70}, {"4.75 kb/s", 60}, {q25, 30}, {q10, 20}});
        trial(second_, "bartek", 1,
              {{ref, 90}, {"12.2 kb/s", 90}, {"4.75 kb/s", 40}, {q25, 35}, {q10, 15}});
        trial(second_, "celina", 1,
              {{ref, 60}, {"12.2 kb/s", 5}, {"4.75 kb/s", 5}, {q25, 90}, {q10, 90}});
        trial(second_, "celina", 2,
              {{ref, 100}, {"12.2 kb/s", 5}, {"4.75 kb/s", 5}, {q25, 90}, {q10, 90}});
    }
    test::TempDir dir_;
    std::filesystem::path first_ = dir_ / "ala.jsonl";
    std::filesystem::path second_ = dir_ / "inni.jsonl";
};

// By hand, n = 3, t(2) = 4.30265: means and standard deviations.
struct Expected {
    std::string condition;
    double mean;
    double s;
};
const std::vector<Expected> kExpected{{"reference", 95, 5},
                                      {"12.2 kb/s", 80, 10},
                                      {"4.75 kb/s", 50, 10},
                                      {"MNRU Q=25 dB", 35, 5},
                                      {"MNRU Q=10 dB", 15, 5}};

TEST_F(CliListening, JsonCsvAndTableOfTheListenersKept) {
    const auto json = runCli({"listening", first_.string(), second_.string(), "--json"});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    const nlohmann::json object = nlohmann::json::parse(json.out);
    EXPECT_EQ(object["ratings"], 25);
    EXPECT_EQ(object["ratings_kept"], 15);
    ASSERT_EQ(object["conditions"].size(), kExpected.size());
    for (std::size_t i = 0; i < kExpected.size(); ++i) {
        const nlohmann::json& c = object["conditions"][i];
        EXPECT_EQ(c["condition"], kExpected[i].condition);
        EXPECT_EQ(c["ratings"], 3);
        EXPECT_DOUBLE_EQ(c["mean"].get<double>(), kExpected[i].mean);
        EXPECT_NEAR(c["half_interval"].get<double>(), 4.30265 * kExpected[i].s / std::sqrt(3.0),
                    1e-4);
    }
    EXPECT_EQ(object["conditions"][2]["settings"], "gamma1=0.9");
    ASSERT_EQ(object["listeners"].size(), 3u);
    EXPECT_EQ(object["listeners"][2]["listener"], "celina");
    EXPECT_EQ(object["listeners"][2]["excluded"], true);
    EXPECT_EQ(object["listeners"][2]["reference_below_90"], 1);
    EXPECT_EQ(object["listeners"][1]["excluded"], false);  // 90 is not below 90

    const auto csv = runCli({"listening", first_.string(), second_.string(), "--csv"});
    ASSERT_EQ(csv.exitCode, 0) << csv.err;
    std::istringstream lines(csv.out);
    std::string header, reference, coded;
    std::getline(lines, header);
    std::getline(lines, reference);
    std::getline(lines, coded);
    EXPECT_EQ(header, "condition,settings,ratings,mean,half_interval,low,high");
    EXPECT_EQ(coded.rfind("12.2 kb/s,,3,80,24.84", 0), 0u) << coded;
    EXPECT_NE(csv.err.find("excluded celina: the hidden reference below 90 in 1 of 2 trials"),
              std::string::npos)
        << csv.err;

    const auto table = runCli({"listening", first_.string(), second_.string()});
    ASSERT_EQ(table.exitCode, 0) << table.err;
    EXPECT_NE(table.out.find("±24.84"), std::string::npos) << table.out;
    EXPECT_NE(table.out.find("listeners: 3, kept 2, excluded 1"), std::string::npos) << table.out;
    EXPECT_NE(table.out.find("excluded celina"), std::string::npos);
}

TEST_F(CliListening, ChartAsSvgAndPng) {
    const auto svgName = dir_ / "wyniki.svg", pngName = dir_ / "wyniki.png";
    const auto svg =
        runCli({"listening", first_.string(), second_.string(), "--plot", svgName.string()});
    ASSERT_EQ(svg.exitCode, 0) << svg.err;
    const std::string text = test::readText(svgName);
    EXPECT_TRUE(QSvgRenderer(QByteArray::fromStdString(text)).isValid());
    for (const char* words : {"Doskonała", "Zła", "ukryty wzorzec", "12.2 kb/s", "80.0 ± 24.8"})
        EXPECT_NE(text.find(words), std::string::npos) << words;
    const auto png = runCli({"listening", first_.string(), "--plot", pngName.string()});
    ASSERT_EQ(png.exitCode, 0) << png.err;
    QImage image;
    ASSERT_TRUE(image.load(QString::fromStdString(pngName.string())));
    EXPECT_EQ(image.width(), 880);
    EXPECT_EQ(image.height(), 520);
    // An existing chart is replaced only with -y.
    const auto again = runCli({"listening", first_.string(), "--plot", pngName.string()});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_EQ(runCli({"listening", first_.string(), "--plot", pngName.string(), "-y"}).exitCode, 0);
    EXPECT_EQ(runCli({"listening", first_.string(), "--plot", (dir_ / "w.txt").string()}).exitCode,
              2);
}

TEST_F(CliListening, FilesThatAreNotRatings) {
    const auto bad = dir_ / "zle.jsonl";
    test::writeBytes(bad, {'{', '}', '\n'});
    const auto refused = runCli({"listening", first_.string(), bad.string()});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find(bad.string() + ": line 1 is not a rating"), std::string::npos)
        << refused.err;
    EXPECT_EQ(runCli({"listening", (dir_ / "brak.jsonl").string()}).exitCode, 1);
    // A last line cut short is left out with a word.
    std::string text = test::readText(first_);
    text += text.substr(0, 40);
    const auto cut = dir_ / "cut.jsonl";
    test::writeBytes(cut, std::vector<std::uint8_t>(text.begin(), text.end()));
    const auto read = runCli({"listening", cut.string(), "--json"});
    ASSERT_EQ(read.exitCode, 0) << read.err;
    EXPECT_EQ(nlohmann::json::parse(read.out)["ratings"], 10);
    EXPECT_NE(read.err.find("cut short"), std::string::npos);
}

}  // namespace
}  // namespace zorvel
