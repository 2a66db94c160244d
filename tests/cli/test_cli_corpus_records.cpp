// The pieces of corpus runs, driven directly: input lists (lines, NUL bytes,
// blank entries), the shard split (every path in exactly one part), the JSONL
// records (read back to the same doubles, whole lines from many writers), the
// totals of aggregate (against sums made here, the same bytes however the
// records are ordered) and the failure summary.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <sstream>
#include <thread>

#include "cli/CorpusRecords.h"
#include "cli/FailureSummary.h"
#include "cli/InputList.h"
#include "cli/TextLines.h"
#include "files/FileError.h"
#include "tests/TestSupport.h"
#include "tests/cli/CliRun.h"

namespace zorvel::cli {
namespace {

using test::TempDir;

std::vector<std::string> listOf(const std::string& text, bool nul) {
    std::istringstream in(text);
    return readInputList(in, nul);
}

TEST(InputList, OnePathALineWithoutBlankLines) {
    EXPECT_EQ(listOf("a.wav\n\nb c.wav\n\n\nd.wav", false),
              (std::vector<std::string>{"a.wav", "b c.wav", "d.wav"}));
    EXPECT_EQ(listOf("a.wav\n", false), std::vector<std::string>{"a.wav"});
    EXPECT_TRUE(listOf("", false).empty());
    EXPECT_TRUE(listOf("\n\n", false).empty());
}

TEST(InputList, NulSeparatedPathsMayHoldLineBreaks) {
    constexpr char kText[] = "a.wav\0line\nbreak.wav\0\0 lead.wav\0";
    const std::string text(kText, sizeof kText - 1);
    EXPECT_EQ(listOf(text, true),
              (std::vector<std::string>{"a.wav", "line\nbreak.wav", " lead.wav"}));
    // Without -0 the same bytes are one line of names ending with NULs, which
    // no path holds: the list is refused, naming the line and -0.
    try {
        (void)listOf(text, false);
        ADD_FAILURE() << "a list of lines holding NUL bytes was read";
    } catch (const FileError& error) {
        EXPECT_STREQ(error.what(),
                     "line 1: a path holds a NUL byte; read a list of NUL-separated paths "
                     "(find -print0) with -0");
    }
    // In a list of lines, a line of exactly the longest length is still one;
    // a byte more is refused with its number, and so is a path of a -0 list.
    const std::string longest(kLongestLine, 'x');
    EXPECT_EQ(listOf("a\n" + longest + "\n", false), (std::vector<std::string>{"a", longest}));
    for (const bool nul : {false, true}) {
        const char end = nul ? '\0' : '\n';
        try {
            (void)listOf(std::string("a") + end + "b" + end + longest + "y" + end, nul);
            ADD_FAILURE() << "a line longer than the longest was read";
        } catch (const FileError& error) {
            EXPECT_EQ(std::string(error.what()),
                      std::string(nul ? "path" : "line") +
                          " 3: longer than 1048576 bytes, the most a line may hold");
        }
    }
}

TEST(InputList, ListFileFollowsTheNamedInputs) {
    const TempDir dir;
    test::writeBytes(dir / "list", {'x', '\n', '\n', 'y', '\n'});
    InputSelection selection;
    selection.named = {"first"};
    selection.filesFrom = (dir / "list").string();
    EXPECT_EQ(selectInputs(selection), (std::vector<std::string>{"first", "x", "y"}));
    selection.filesFrom = (dir / "absent").string();
    try {
        selectInputs(selection);
        FAIL() << "a missing list was read";
    } catch (const FileError& error) {
        EXPECT_NE(std::string(error.what()).find("absent"), std::string::npos) << error.what();
    }
}

TEST(ShardText, AcceptsOnlyIOfNWithOneToN) {
    const std::optional<Shard> shard = shardFromText("3/7");
    ASSERT_TRUE(shard);
    EXPECT_EQ(shard->index, 3u);
    EXPECT_EQ(shard->count, 7u);
    for (const char* text :
         {"0/4", "5/4", "1/0", "1/", "/4", "4", "1/4/2", "a/4", "1/4x", "-1/4", " 1/4", ""})
        EXPECT_FALSE(shardFromText(text)) << text;
    EXPECT_TRUE(shardFromText("1/1"));
}

// Every path of every list of 0..50 paths is in exactly one of N parts for
// N = 1..7, each part keeps the list's order, and the parts differ in size by
// at most one.
TEST(ShardSplit, EveryPathInExactlyOnePart) {
    for (std::size_t length = 0; length <= 50; ++length) {
        InputSelection selection;
        for (std::size_t k = 0; k < length; ++k) selection.named.push_back("f" + std::to_string(k));
        for (unsigned n = 1; n <= 7; ++n) {
            std::map<std::string, int> seen;
            std::size_t smallest = length;
            std::size_t largest = 0;
            for (unsigned i = 1; i <= n; ++i) {
                selection.shard = std::to_string(i) + "/" + std::to_string(n);
                const std::vector<std::string> part = selectInputs(selection);
                for (const std::string& path : part) ++seen[path];
                EXPECT_TRUE(std::ranges::is_sorted(part,
                                                   [](const auto& a, const auto& b) {
                                                       return std::stoi(a.substr(1)) <
                                                              std::stoi(b.substr(1));
                                                   }))
                    << "part " << i << "/" << n;
                smallest = std::min(smallest, part.size());
                largest = std::max(largest, part.size());
            }
            ASSERT_EQ(seen.size(), length) << "N = " << n << ", " << length << " paths";
            for (const auto& [path, times] : seen)
                ASSERT_EQ(times, 1) << path << " with N = " << n << ", " << length << " paths";
            EXPECT_LE(largest - std::min(smallest, largest), 1u) << n << " parts of " << length;
        }
    }
}

TEST(ShardSplit, PathKGoesToPartKModNPlusOne) {
    InputSelection selection;
    selection.named = {"p0", "p1", "p2", "p3", "p4", "p5", "p6"};
    selection.shard = "2/3";
    EXPECT_EQ(selectInputs(selection), (std::vector<std::string>{"p1", "p4"}));
    selection.shard = "3/3";
    EXPECT_EQ(selectInputs(selection), (std::vector<std::string>{"p2", "p5"}));
}

CorpusRecord codedRecord(std::string file, CoderMode mode, double s, double n, int frames,
                         double segmental) {
    CorpusRecord record;
    record.file = std::move(file);
    record.command = "encode";
    record.setting = settingName(CoderSettings{});
    record.figures = {mode, frames, segmental, 10.0 * std::log10(s / n), s, n, std::nullopt};
    return record;
}

TEST(CorpusRecordLine, ReadsBackToTheSameDoubles) {
    const std::uint32_t seed = test::testSeed();
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> energy(1.0, 1e12);
    std::uniform_real_distribution<double> snr(-10.0, 40.0);
    for (int i = 0; i < 1000; ++i) {
        CorpusRecord record =
            codedRecord("dir/plik " + std::to_string(i) + ".wav", kAllCoderModes[i % kModeCount],
                        energy(rng), energy(rng), i * 7, snr(rng));
        record.output = "out/" + record.file;
        const std::string line = recordLine(record);
        ASSERT_EQ(line.back(), '\n');
        ASSERT_EQ(std::ranges::count(line, '\n'), 1);
        std::string problem;
        const std::optional<CorpusRecord> back = parseRecord(line, problem);
        ASSERT_TRUE(back) << problem << " in " << line << " (seed " << seed << ")";
        EXPECT_EQ(back->file, record.file);
        EXPECT_EQ(back->output, record.output);
        EXPECT_EQ(back->figures.mode, record.figures.mode);
        EXPECT_EQ(back->figures.frames, record.figures.frames);
        EXPECT_EQ(back->figures.signalEnergy, record.figures.signalEnergy) << line;
        EXPECT_EQ(back->figures.noiseEnergy, record.figures.noiseEnergy) << line;
        EXPECT_EQ(back->figures.segmentalSnr, record.figures.segmentalSnr) << line;
        EXPECT_EQ(back->figures.overallSnr, record.figures.overallSnr) << line;
    }
}

TEST(CorpusRecordLine, FieldsInTheirOrder) {
    CorpusRecord coded = codedRecord("a.wav", CoderMode::rate7_95, 8.0, 2.0, 3, 1.5);
    EXPECT_EQ(recordLine(coded),
              "{\"file\":\"a.wav\",\"command\":\"encode\",\"mode\":3,\"bit_rate_kbps\":7.95,"
              "\"setting\":\"default\",\"status\":\"ok\",\"frames\":3,\"signal_energy\":8.0,"
              "\"noise_energy\":2.0,\"segmental_snr_db\":1.5,"
              "\"overall_snr_db\":6.020599913279624}\n");
    CorpusRecord failed;
    failed.file = "b.wav";
    failed.command = "sweep";
    failed.setting = settingName(CoderSettings{.adaptiveCodebook = false});
    failed.ok = false;
    failed.reason = "input file not found";
    failed.figures.mode = CoderMode::rate4_75;
    const std::string line = recordLine(failed);
    EXPECT_EQ(line,
              "{\"file\":\"b.wav\",\"command\":\"sweep\",\"mode\":8,\"bit_rate_kbps\":4.75,"
              "\"setting\":\"adaptive-codebook=off\",\"status\":\"failed\",\"reason\":\"input "
              "file not found\"}\n");
    std::string problem;
    const std::optional<CorpusRecord> back = parseRecord(line, problem);
    ASSERT_TRUE(back) << problem;
    EXPECT_FALSE(back->ok);
    EXPECT_EQ(back->reason, failed.reason);
    EXPECT_EQ(back->setting, "adaptive-codebook=off");
    // Records written before the switch had its setting's name said "no-adaptive":
    // read, they count with today's.
    std::string old = line;
    old.replace(old.find("adaptive-codebook=off"), 21, "no-adaptive");
    const std::optional<CorpusRecord> older = parseRecord(old, problem);
    ASSERT_TRUE(older) << problem;
    EXPECT_EQ(older->setting, "adaptive-codebook=off");
}

TEST(CorpusRecordLine, LinesThatAreNoRecordSaySo) {
    const std::string good = recordLine(codedRecord("a.wav", CoderMode::rate12_2, 4, 1, 2, 3));
    const std::vector<std::pair<std::string, std::string>> cases{
        {good.substr(0, good.size() / 2), "not a JSON object"},
        {"[1,2]", "not a JSON object"},
        {std::string(good).replace(good.find("\"mode\":1"), 8, "\"mode\":9"), "no mode number"},
        {std::string(good).replace(good.find("\"ok\""), 4, "\"done\""), "status"},
        {std::string(good).replace(good.find("\"frames\":2"), 10, "\"frames\":-2"),
         "no frame count"},
        {std::string(good).replace(good.find("\"noise_energy\""), 14, "\"noise\""), "noise_energy"},
    };
    for (const auto& [line, expected] : cases) {
        std::string problem;
        EXPECT_FALSE(parseRecord(line, problem)) << line;
        EXPECT_NE(problem.find(expected), std::string::npos) << problem << " for " << line;
    }
}

std::string csvOf(const std::vector<CorpusRecord>& records) {
    std::ostringstream out;
    printCorpusCsv(out, corpusTotals(records));
    return out.str();
}

TEST(CorpusTotals, FromSummedEnergiesAndAllFrames) {
    std::vector<CorpusRecord> records{
        codedRecord("b.wav", CoderMode::rate12_2, 100.0, 10.0, 10, 8.0),
        codedRecord("a.wav", CoderMode::rate12_2, 300.0, 1.0, 30, 20.0),
        codedRecord("a.wav", CoderMode::rate5_15, 50.0, 5.0, 30, 4.0),
    };
    CorpusRecord failed = records[0];
    failed.file = "c.wav";
    failed.ok = false;
    failed.reason = "input file not found";
    failed.figures = {CoderMode::rate12_2, 0, 0, 0, 0, 0, std::nullopt};
    records.push_back(failed);
    const std::vector<CorpusTotal> totals = corpusTotals(records);
    ASSERT_EQ(totals.size(), 2u);
    EXPECT_EQ(totals[0].figures.mode, CoderMode::rate12_2);
    EXPECT_EQ(totals[0].files, 2);
    EXPECT_EQ(totals[0].failed, 1);
    EXPECT_EQ(totals[0].figures.frames, 40);
    EXPECT_DOUBLE_EQ(totals[0].figures.overallSnr, 10.0 * std::log10(400.0 / 11.0));
    EXPECT_DOUBLE_EQ(totals[0].figures.segmentalSnr, (8.0 * 10 + 20.0 * 30) / 40.0);
    EXPECT_EQ(totals[1].figures.mode, CoderMode::rate5_15);
    EXPECT_EQ(totals[1].files, 1);
    EXPECT_EQ(totals[1].failed, 0);
    EXPECT_DOUBLE_EQ(totals[1].figures.overallSnr, 10.0);
}

TEST(CorpusTotals, AFileCodedAgainCountsOnceByItsLastRecord) {
    CorpusRecord first = codedRecord("a.wav", CoderMode::rate12_2, 100.0, 10.0, 10, 8.0);
    first.ok = false;
    first.reason = "killed";
    const CorpusRecord again = codedRecord("a.wav", CoderMode::rate12_2, 100.0, 1.0, 10, 8.0);
    const std::vector<CorpusTotal> totals = corpusTotals(std::vector{first, again, again});
    ASSERT_EQ(totals.size(), 1u);
    EXPECT_EQ(totals[0].files, 1);
    EXPECT_EQ(totals[0].failed, 0);
    EXPECT_EQ(totals[0].figures.frames, 10);
    EXPECT_DOUBLE_EQ(totals[0].figures.overallSnr, 20.0);
}

// Records of many files in any order, as shards write them, give the same
// bytes: the sums are made in the order of the names.
TEST(CorpusTotals, SameBytesInAnyOrder) {
    const std::uint32_t seed = test::testSeed();
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> energy(1e3, 1e11);
    std::uniform_real_distribution<double> snr(-5.0, 30.0);
    std::vector<CorpusRecord> records;
    for (int file = 0; file < 200; ++file) {
        for (const CoderMode mode : kAllCoderModes) {
            CorpusRecord record = codedRecord("f" + std::to_string(file) + ".wav", mode,
                                              energy(rng), energy(rng), 1 + file % 17, snr(rng));
            if (file % 3 == 0)
                record.setting = settingName(CoderSettings{.adaptiveCodebook = false});
            records.push_back(record);
        }
    }
    const std::string expected = csvOf(records);
    EXPECT_EQ(std::ranges::count(expected, '\n'), 1 + 2 * kModeCount);
    for (int round = 0; round < 5; ++round) {
        std::ranges::shuffle(records, rng);
        ASSERT_EQ(csvOf(records), expected) << "round " << round << " (seed " << seed << ")";
    }
}

TEST(RecordFile, LinesOfManyWritersStayWhole) {
    const TempDir dir;
    const std::filesystem::path path = dir / "r.jsonl";
    constexpr int kWriters = 8;
    constexpr int kLines = 500;
    {
        RecordFile file(path);
        std::vector<std::jthread> writers;
        for (int w = 0; w < kWriters; ++w) {
            writers.emplace_back([&file, w] {
                for (int i = 0; i < kLines; ++i)
                    file.append(codedRecord(
                        std::string(200, static_cast<char>('a' + w)) + std::to_string(i),
                        CoderMode::rate12_2, 2.0, 1.0, i, 0.5));
            });
        }
    }
    RecordFile(path).append(codedRecord("last", CoderMode::rate12_2, 2.0, 1.0, 1, 0.5));
    std::istringstream lines(test::readText(path));
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        std::string problem;
        ASSERT_TRUE(parseRecord(line, problem)) << problem << ": " << line;
        ++count;
    }
    EXPECT_EQ(count, kWriters * kLines + 1);  // appended to, never truncated
}

TEST(FailureSummary, ReasonsGroupedWithoutTheNames) {
    EXPECT_EQ(reasonKind("output 'x/a.wav' exists; use -y to overwrite it"),
              "output '...' exists; use -y to overwrite it");
    EXPECT_EQ(reasonKind("input file not found"), "input file not found");
    EXPECT_EQ(reasonKind("it's open"), "it'...");
    const std::vector<std::string> reasons{
        "input file not found", "output 'a' exists; use -y to overwrite it",
        "output 'b' exists; use -y to overwrite it", "output 'c' is a directory"};
    std::ostringstream out;
    printFailureSummary(out, reasons, 9);
    EXPECT_EQ(out.str(),
              "zorvel-cli: 4 of 9 files failed:\n"
              "  2 files: output '...' exists; use -y to overwrite it\n"
              "  1 file: input file not found\n"
              "  1 file: output '...' is a directory\n");
    std::ostringstream single;
    printFailureSummary(single, std::vector<std::string>{"input file not found"}, 1);
    EXPECT_EQ(single.str(), "");
}

}  // namespace
}  // namespace zorvel::cli
