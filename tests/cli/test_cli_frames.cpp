// zorvel-cli frames, run as a process: JSON and CSV read back to exactly the
// values a coder stepped in the test holds for every frame.
#include <gtest/gtest.h>

#include <charconv>
#include <nlohmann/json.hpp>

#include "coder/SpeechCoder.h"
#include "tests/TestSupport.h"
#include "tests/cli/CliRun.h"

namespace zorvel {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::ordered_json;  // keeps the order of the keys as written
using test::arg;
using test::runCli;
using test::TempDir;

// What the CLI is expected to write for the current frame, named as the
// record and the coder name it, written here independently of the CLI.
struct Expected {
    std::string name;
    std::vector<double> values;  // one element for a scalar
    bool list;
};

template <class T, std::size_t N>
Expected listOf(const char* name, const std::array<T, N>& a) {
    return {name, std::vector<double>(a.begin(), a.end()), true};
}

Expected scalar(const char* name, double v) { return {name, {v}, false}; }

std::vector<Expected> expectedParameters(const SpeechCoder& c) {
    const FrameRecord& r = c.currentFrame();
    return {
        scalar("frameCount", c.frameCount()),     scalar("openLoopLagI", r.openLoopLagI),
        scalar("openLoopLagII", r.openLoopLagII), listOf("pitchLag", r.pitchLag),
        listOf("pitchGain", r.pitchGain),         listOf("pitchGainApplied", r.pitchGainApplied),
        listOf("codebookGain", r.codebookGain),   listOf("pulsePositions", r.pulsePositions),
        listOf("lpCoeffsI", r.lpCoeffsI),         scalar("lpErrorI", r.lpErrorI),
        listOf("lpCoeffsII", r.lpCoeffsII),       scalar("lpErrorII", r.lpErrorII),
        scalar("frameSnr", c.frameSnr()),         scalar("segmentalSnr", c.segmentalSnr()),
        scalar("overallSnr", c.overallSnr())};
}

std::vector<Expected> expectedSignals(const SpeechCoder& c) {
    const FrameRecord& r = c.currentFrame();
    return {listOf("speech", r.speech),
            listOf("weightedSpeech", r.weightedSpeech),
            listOf("formantPostFiltered", r.formantPostFiltered),
            listOf("postProcessedSpeech", r.postProcessedSpeech),
            listOf("postFilterImpulseResponse", r.postFilterImpulseResponse),
            listOf("openLoopCorrI", r.openLoopCorrI),
            listOf("openLoopCorrII", r.openLoopCorrII),
            listOf("lpResidual", r.lpResidual),
            listOf("ltpResidual", r.ltpResidual),
            listOf("targetSignal", r.targetSignal),
            listOf("zeroInputResponse", r.zeroInputResponse),
            listOf("adaptiveWeightedSynthesis", r.adaptiveWeightedSynthesis),
            listOf("adaptiveSynthesis", r.adaptiveSynthesis),
            listOf("adaptiveExcitation", r.adaptiveExcitation),
            listOf("excitation", r.excitation),
            listOf("codebookTarget", r.codebookTarget),
            listOf("backwardFilteredTarget", r.backwardFilteredTarget),
            listOf("signSelector", r.signSelector),
            listOf("pulseSign", r.pulseSign),
            listOf("algebraicExcitation", r.algebraicExcitation),
            listOf("enhancedExcitation", r.enhancedExcitation),
            listOf("synthesizedSpeech", r.synthesizedSpeech),
            listOf("weightedSynthesizedSpeech", r.weightedSynthesizedSpeech)};
}

void expectJsonMatches(const json& object, const std::vector<Expected>& expected, int frame) {
    for (const Expected& e : expected) {
        ASSERT_TRUE(object.contains(e.name)) << "frame " << frame << ": no " << e.name;
        const json& value = object.at(e.name);
        if (!e.list) {
            ASSERT_TRUE(value.is_number()) << e.name;
            EXPECT_EQ(value.get<double>(), e.values[0]) << "frame " << frame << " " << e.name;
            continue;
        }
        ASSERT_TRUE(value.is_array()) << e.name;
        ASSERT_EQ(value.size(), e.values.size()) << e.name;
        for (std::size_t i = 0; i < e.values.size(); ++i)
            ASSERT_EQ(value[i].get<double>(), e.values[i])
                << "frame " << frame << " " << e.name << "[" << i << "]";
    }
}

std::vector<std::string> keysOf(const json& object) {
    std::vector<std::string> keys;
    for (const auto& item : object.items()) keys.push_back(item.key());
    return keys;
}

std::vector<std::string> namesOf(const std::vector<Expected>& expected) {
    std::vector<std::string> names;
    for (const Expected& e : expected) names.push_back(e.name);
    return names;
}

struct FramesCase {
    int mode;
    const char* spelling;
    bool noAdaptive;
};

class FramesJson : public ::testing::TestWithParam<FramesCase> {};

TEST_P(FramesJson, EveryFrameHoldsTheCodersValuesInTheRecordsOrder) {
    const FramesCase c = GetParam();
    std::vector<std::string> args{"frames",  arg(test::samplePath()), "--format", "json", "-m",
                                  c.spelling};
    if (c.noAdaptive) args.push_back("--no-adaptive");
    const test::CliResult result = runCli(args);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const json frames = json::parse(result.out);
    ASSERT_TRUE(frames.is_array());

    SpeechCoder coder(test::samplePath(), test::modeNumbered(c.mode),
                      {.adaptiveCodebook = !c.noAdaptive});
    std::size_t n = 0;
    while (coder.nextFrame() == FrameStep::coded) {
        ASSERT_LT(n, frames.size());
        const json& frame = frames[n++];
        ASSERT_EQ(keysOf(frame), namesOf(expectedParameters(coder)));
        expectJsonMatches(frame, expectedParameters(coder), coder.frameCount());
    }
    EXPECT_EQ(n, frames.size());
    EXPECT_EQ(n, 283u);
}

INSTANTIATE_TEST_SUITE_P(Modes, FramesJson,
                         ::testing::Values(FramesCase{1, "12.2", false}, FramesCase{3, "3", true},
                                           FramesCase{7, "5.15", false},
                                           FramesCase{8, "4.75", true}));

TEST(FramesSignals, EverySignalArrayOfTheRecordIsAdded) {
    const TempDir dir;
    const test::CliResult result = runCli({"frames", arg(test::samplePath()), "--format", "json",
                                           "--signals", "-m", "7.40", "-o", arg(dir / "f.json")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "");
    const json frames = json::parse(test::readText(dir / "f.json"));
    SpeechCoder coder(test::samplePath(), CoderMode::rate7_40);
    std::size_t n = 0;
    while (coder.nextFrame() == FrameStep::coded) {
        ASSERT_LT(n, frames.size());
        std::vector<std::string> names = namesOf(expectedParameters(coder));
        const std::vector<std::string> signals = namesOf(expectedSignals(coder));
        names.insert(names.end(), signals.begin(), signals.end());
        ASSERT_EQ(keysOf(frames[n]), names);
        expectJsonMatches(frames[n], expectedSignals(coder), coder.frameCount());
        ++n;
    }
    EXPECT_EQ(n, frames.size());
}

// --- CSV -------------------------------------------------------------------------

std::vector<std::string> splitCommas(const std::string& line) {
    std::vector<std::string> cells;
    std::istringstream in(line);
    for (std::string cell; std::getline(in, cell, ',');) cells.push_back(cell);
    return cells;
}

std::vector<std::string> csvHeader(const std::vector<Expected>& expected) {
    std::vector<std::string> header;
    for (const Expected& e : expected) {
        if (!e.list) header.push_back(e.name);
        for (std::size_t i = 0; e.list && i < e.values.size(); ++i)
            header.push_back(e.name + "_" + std::to_string(i));
    }
    return header;
}

double readNumber(const std::string& cell) {
    double value = 0.0;
    const auto result = std::from_chars(cell.data(), cell.data() + cell.size(), value);
    EXPECT_TRUE(result.ec == std::errc() && result.ptr == cell.data() + cell.size()) << cell;
    return value;
}

TEST(FramesCsv, OneNamedColumnPerValueReadingBackExactly) {
    const test::CliResult result =
        runCli({"frames", arg(test::samplePath()), "-m", "10.2", "--no-adaptive"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::istringstream lines(result.out);
    std::string line;
    ASSERT_TRUE(std::getline(lines, line));

    SpeechCoder coder(test::samplePath(), CoderMode::rate10_2, {.adaptiveCodebook = false});
    EXPECT_EQ(splitCommas(line), csvHeader(expectedParameters(coder)));
    int frames = 0;
    while (coder.nextFrame() == FrameStep::coded) {
        ASSERT_TRUE(std::getline(lines, line)) << "missing frame " << coder.frameCount();
        const std::vector<std::string> cells = splitCommas(line);
        std::size_t column = 0;
        for (const Expected& e : expectedParameters(coder)) {
            for (double v : e.values) {
                ASSERT_LT(column, cells.size());
                ASSERT_EQ(readNumber(cells[column]), v)
                    << "frame " << coder.frameCount() << " column " << column << " (" << e.name
                    << ")";
                ++column;
            }
        }
        EXPECT_EQ(column, cells.size());
        ++frames;
    }
    EXPECT_FALSE(std::getline(lines, line)) << "extra line " << line;
    EXPECT_EQ(frames, 283);
}

// With quantisation on, each frame adds its quantised values, the spectral
// distortion of its sets and its code: in JSON the coder's indices, in CSV
// four cells a code, whose bits add up to the mode's in every row.
TEST(FramesQuantised, TheCodeAndTheQuantisedValuesAreWrittenAsTheCoderHasThem) {
    for (const CoderMode mode : {CoderMode::rate12_2, CoderMode::rate4_75}) {
        const std::string rate(rulesOf(mode).rate);
        const test::CliResult js = runCli({"frames", arg(test::samplePath()), "-m", rate, "--set",
                                           "quantisation=on", "--format", "json"});
        ASSERT_EQ(js.exitCode, 0) << js.err;
        const json frames = json::parse(js.out);
        SpeechCoder coder(test::samplePath(), mode, {.quantisation = true});
        for (const json& frame : frames) {
            ASSERT_EQ(coder.nextFrame(), FrameStep::coded);
            const FrameRecord& r = coder.currentFrame();
            const json& code = frame.at("code");
            ASSERT_EQ(code.size(), static_cast<std::size_t>(r.code.count)) << rate;
            for (int k = 0; k < r.code.count; ++k) {
                EXPECT_EQ(code[k].at("index").get<std::uint64_t>(), r.code.codes[k].index);
                EXPECT_EQ(code[k].at("bits").get<int>(), r.code.codes[k].bits);
                EXPECT_EQ(code[k].at("parameter").get<std::string>(),
                          codedParameterName(r.code.codes[k].parameter));
            }
            EXPECT_EQ(
                frame.at("codebookGainApplied").get<std::vector<double>>(),
                std::vector<double>(r.codebookGainApplied.begin(), r.codebookGainApplied.end()));
            EXPECT_EQ(frame.at("lsfQuantisedII").get<std::vector<double>>(),
                      std::vector<double>(r.lsfQuantisedII.begin(), r.lsfQuantisedII.end()));
            EXPECT_GE(frame.at("spectralDistortionII").get<double>(), 0.0);
        }
        EXPECT_EQ(frames.size(), 283u);

        const test::CliResult csv =
            runCli({"frames", arg(test::samplePath()), "-m", rate, "--set", "quantisation=on"});
        ASSERT_EQ(csv.exitCode, 0) << csv.err;
        std::istringstream lines(csv.out);
        std::string line;
        ASSERT_TRUE(std::getline(lines, line));
        const std::vector<std::string> header = splitCommas(line);
        std::vector<std::size_t> bitColumns;
        for (std::size_t c = 0; c < header.size(); ++c)
            if (header[c].starts_with("code_") && header[c].ends_with("_bits"))
                bitColumns.push_back(c);
        EXPECT_EQ(bitColumns.size(), static_cast<std::size_t>(codesPerFrame(mode)));
        int rows = 0;
        while (std::getline(lines, line)) {
            const std::vector<std::string> cells = splitCommas(line);
            ASSERT_EQ(cells.size(), header.size());
            double bits = 0.0;
            for (std::size_t c : bitColumns) bits += readNumber(cells[c]);
            EXPECT_EQ(bits, rulesOf(mode).frameBits) << "row " << rows;
            ++rows;
        }
        EXPECT_EQ(rows, 283);
    }
}

TEST(FramesCsv, FileAndStandardOutputAgree) {
    const TempDir dir;
    const test::CliResult toFile =
        runCli({"frames", arg(test::samplePath()), "-o", arg(dir / "f.csv")});
    const test::CliResult toOut = runCli({"frames", arg(test::samplePath())});
    ASSERT_EQ(toFile.exitCode, 0) << toFile.err;
    ASSERT_EQ(toOut.exitCode, 0) << toOut.err;
    EXPECT_EQ(test::readText(dir / "f.csv"), toOut.out);
    EXPECT_EQ(test::directoryNames(dir.path()), std::vector<std::string>{"f.csv"});
}

// --- Edge cases and refusals -----------------------------------------------------

TEST(FramesEdges, AnInputWithoutFramesGivesAnEmptyArrayOrOnlyTheHeader) {
    const TempDir dir;
    test::writeBytes(dir / "short.wav", std::vector<std::uint8_t>(300, 1));
    const test::CliResult asJson = runCli({"frames", arg(dir / "short.wav"), "--format", "json"});
    ASSERT_EQ(asJson.exitCode, 0) << asJson.err;
    EXPECT_EQ(json::parse(asJson.out), json::array());
    const test::CliResult asCsv = runCli({"frames", arg(dir / "short.wav")});
    ASSERT_EQ(asCsv.exitCode, 0) << asCsv.err;
    EXPECT_EQ(std::count(asCsv.out.begin(), asCsv.out.end(), '\n'), 1);
    EXPECT_EQ(asCsv.out.rfind("frameCount,openLoopLagI,", 0), 0u);
}

TEST(FramesEdges, RefusalsNameTheProblemAndTouchNothing) {
    const TempDir dir;
    fs::copy_file(test::samplePath(), dir / "in.wav");
    const auto original = test::readBytes(dir / "in.wav");

    const test::CliResult missing = runCli({"frames", arg(dir / "none.wav")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find(arg(dir / "none.wav") + ": input file not found"), std::string::npos)
        << missing.err;

    const test::CliResult signalsAsCsv = runCli({"frames", arg(dir / "in.wav"), "--signals"});
    EXPECT_EQ(signalsAsCsv.exitCode, 2);
    EXPECT_NE(signalsAsCsv.err.find("--signals needs --format json"), std::string::npos);

    const test::CliResult badFormat = runCli({"frames", arg(dir / "in.wav"), "--format", "xml"});
    EXPECT_EQ(badFormat.exitCode, 2);

    const test::CliResult ontoInput =
        runCli({"frames", arg(dir / "in.wav"), "-o", arg(dir / "in.wav")});
    EXPECT_EQ(ontoInput.exitCode, 1);
    EXPECT_NE(ontoInput.err.find("is the input file itself"), std::string::npos) << ontoInput.err;

    EXPECT_EQ(test::readBytes(dir / "in.wav"), original);
    EXPECT_EQ(test::directoryNames(dir.path()), std::vector<std::string>{"in.wav"});
}

// A file that opens but whose reads fail (a process's own memory file reads
// with an I/O error where nothing is mapped) is no input of zero frames.
TEST(FramesEdges, AnInputWhoseReadsFailIsAFailureNotAnEmptyResult) {
    const TempDir dir;
    for (const std::string format : {"csv", "json"}) {
        const test::CliResult toOut = runCli({"frames", "/proc/self/mem", "--format", format});
        EXPECT_EQ(toOut.exitCode, 1) << format << ": " << toOut.out;
        EXPECT_NE(toOut.err.find("zorvel-cli: /proc/self/mem: input cannot be read"),
                  std::string::npos)
            << toOut.err;
        EXPECT_EQ(toOut.out, "") << format;

        const test::CliResult toFile =
            runCli({"frames", "/proc/self/mem", "--format", format, "-o", arg(dir / "f.out")});
        EXPECT_EQ(toFile.exitCode, 1) << format;
        EXPECT_TRUE(test::directoryNames(dir.path()).empty()) << format;
    }
}

}  // namespace
}  // namespace zorvel
