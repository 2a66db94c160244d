// The spectral distances where zorvel-cli shows them, run as a process:
// frames --measures (JSON and CSV, before and after post-processing) against
// a coder stepped in the test, silent frames left empty, and the file means
// of encode --measures and sweep --measures against means formed here.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cctype>
#include <charconv>
#include <cmath>
#include <memory>
#include <nlohmann/json.hpp>
#include <random>

#include "coder/FrameDistances.h"
#include "coder/PublishedDistances.h"
#include "coder/QualityMeasures.h"
#include "coder/SpeechCoder.h"
#include "sound/Wave.h"
#include "tests/TestSupport.h"
#include "tests/cli/CliRun.h"

namespace zorvel {
namespace {

using json = nlohmann::ordered_json;
using test::arg;
using test::runCli;
using test::TempDir;

const std::vector<std::string> kKeys{"lsdLp", "cepstralDistance", "lsdFft",
                                     "llr",   "itakuraSaito",     "fwSegSnr"};

double readNumber(const std::string& cell) {
    double value = 0.0;
    const auto result = std::from_chars(cell.data(), cell.data() + cell.size(), value);
    EXPECT_TRUE(result.ec == std::errc() && result.ptr == cell.data() + cell.size()) << cell;
    return value;
}

bool allZeros(const Signal& x) {
    return std::all_of(x.begin(), x.end(), [](double v) { return v == 0.0; });
}

// A frame of the output as the WAV file holds it: each value truncated and
// clipped to 16 bits.
Signal writtenFrame(const FrameRecord& record, SaveOption output) {
    const Signal& out =
        output == SaveOption::postProcessed ? record.postProcessedSpeech : record.synthesizedSpeech;
    Signal written{};
    for (int n = 0; n < kFrameSamples; ++n) written[n] = toSample(out[n]);
    return written;
}

// The means over the frames with a value, formed here frame by frame from the
// input and the output as written.
std::vector<std::optional<double>> expectedMeans(const std::filesystem::path& input, CoderMode mode,
                                                 SaveOption output) {
    SpeechCoder coder(input, mode);
    std::vector<double> sums(kKeys.size(), 0.0);
    std::vector<int> counts(kKeys.size(), 0);
    while (coder.nextFrame() == FrameStep::coded) {
        const FrameMeasures m =
            measureFrame(coder.currentFrame().speech, writtenFrame(coder.currentFrame(), output));
        for (std::size_t i = 0; i < kKeys.size(); ++i) {
            if (!m[i]) continue;
            sums[i] += *m[i];
            ++counts[i];
        }
    }
    std::vector<std::optional<double>> means;
    for (std::size_t i = 0; i < kKeys.size(); ++i)
        means.push_back(counts[i] > 0 ? std::optional(sums[i] / counts[i]) : std::nullopt);
    return means;
}

struct MeasuresCase {
    const char* mode;
    int number;
    bool post;
};

class FramesMeasuresJson : public ::testing::TestWithParam<MeasuresCase> {};

TEST_P(FramesMeasuresJson, EveryFrameCarriesTheDistancesOfItsRecord) {
    const MeasuresCase c = GetParam();
    std::vector<std::string> args{
        "frames", arg(test::samplePath()), "--format", "json", "--measures", "-m", c.mode};
    if (c.post) args.push_back("--post");
    const test::CliResult result = runCli(args);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const json frames = json::parse(result.out);
    const SaveOption output = c.post ? SaveOption::postProcessed : SaveOption::synthesized;
    SpeechCoder coder(test::samplePath(), test::modeNumbered(c.number));
    std::size_t n = 0;
    while (coder.nextFrame() == FrameStep::coded) {
        ASSERT_LT(n, frames.size());
        const json& frame = frames[n++];
        const FrameMeasures expected = measureRecord(coder.currentFrame(), output);
        // The distances follow the SNRs, in their order.
        std::vector<std::string> keys;
        for (const auto& item : frame.items()) keys.push_back(item.key());
        ASSERT_GE(keys.size(), kKeys.size());
        EXPECT_EQ(std::vector(keys.end() - 6, keys.end()), kKeys);
        EXPECT_EQ(keys[keys.size() - 7], "overallSnr");
        for (std::size_t i = 0; i < kKeys.size(); ++i) {
            // The bundled sample has no silent frame: every value is there.
            ASSERT_TRUE(expected[i]) << "frame " << n << " " << kKeys[i];
            ASSERT_TRUE(frame.at(kKeys[i]).is_number()) << "frame " << n << " " << kKeys[i];
            const double value = frame.at(kKeys[i]).get<double>();
            EXPECT_TRUE(std::isfinite(value));
            EXPECT_EQ(value, *expected[i]) << "frame " << n << " " << kKeys[i];
        }
    }
    EXPECT_EQ(n, frames.size());
    EXPECT_EQ(n, 283u);
}

INSTANTIATE_TEST_SUITE_P(Modes, FramesMeasuresJson,
                         ::testing::Values(MeasuresCase{"12.2", 1, false},
                                           MeasuresCase{"12.2", 1, true},
                                           MeasuresCase{"4.75", 8, false},
                                           MeasuresCase{"6.7", 5, true}));

TEST(FramesMeasures, PostProcessedOutputGivesOtherValues) {
    const test::CliResult before =
        runCli({"frames", arg(test::samplePath()), "--format", "json", "--measures"});
    const test::CliResult after =
        runCli({"frames", arg(test::samplePath()), "--format", "json", "--measures", "--post"});
    ASSERT_EQ(before.exitCode, 0) << before.err;
    ASSERT_EQ(after.exitCode, 0) << after.err;
    const json a = json::parse(before.out), b = json::parse(after.out);
    ASSERT_EQ(a.size(), b.size());
    int differing = 0;
    for (std::size_t n = 0; n < a.size(); ++n) differing += a[n]["lsdLp"] != b[n]["lsdLp"];
    EXPECT_GT(differing, 200);
}

TEST(FramesMeasures, WithTheSignalsTheDistancesComeBetweenSnrsAndArrays) {
    const test::CliResult result = runCli({"frames", arg(test::samplePath()), "--format", "json",
                                           "--signals", "--measures", "-m", "7.40"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const json frames = json::parse(result.out);
    ASSERT_EQ(frames.size(), 283u);
    SpeechCoder coder(test::samplePath(), CoderMode::rate7_40);
    for (const json& frame : frames) {
        ASSERT_EQ(coder.nextFrame(), FrameStep::coded);
        std::vector<std::string> keys;
        for (const auto& item : frame.items()) keys.push_back(item.key());
        const auto snr = std::find(keys.begin(), keys.end(), "overallSnr");
        ASSERT_NE(snr, keys.end());
        EXPECT_EQ(std::vector(snr + 1, snr + 7), kKeys);
        ASSERT_NE(snr + 7, keys.end());
        EXPECT_EQ(*(snr + 7), "speech");
        const FrameMeasures expected = measureRecord(coder.currentFrame(), SaveOption::synthesized);
        for (std::size_t i = 0; i < kKeys.size(); ++i)
            EXPECT_EQ(frame.at(kKeys[i]).get<double>(), *expected[i]);
        // The arrays are the record's.
        const FrameRecord& r = coder.currentFrame();
        EXPECT_EQ(frame.at("synthesizedSpeech").get<std::vector<double>>(),
                  std::vector<double>(r.synthesizedSpeech.begin(), r.synthesizedSpeech.end()));
    }
}

TEST(FramesMeasures, PostNeedsMeasures) {
    const test::CliResult result = runCli({"frames", arg(test::samplePath()), "--post"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("--measures"), std::string::npos) << result.err;
}

// Ten frames of a tone, five of silence, ten of the tone again.
std::filesystem::path toneWithSilence(const TempDir& dir) {
    std::vector<std::int16_t> samples;
    for (int block = 0; block < 3; ++block) {
        for (int n = 0; n < (block == 1 ? 5 : 10) * kFrameSamples; ++n)
            samples.push_back(block == 1
                                  ? 0
                                  : static_cast<std::int16_t>(3000.0 * std::sin(0.31 * n) +
                                                              1000.0 * std::sin(1.7 * n + 0.2)));
    }
    const std::filesystem::path file = dir / "tone.wav";
    test::writeSamples(file, samples);
    return file;
}

TEST(FramesMeasures, SilentFramesAreEmptyCellsAndNulls) {
    const TempDir dir;
    const std::filesystem::path input = toneWithSilence(dir);
    const test::CliResult csv = runCli({"frames", arg(input), "--measures", "-m", "7.95"});
    const test::CliResult js =
        runCli({"frames", arg(input), "--measures", "-m", "7.95", "--format", "json"});
    ASSERT_EQ(csv.exitCode, 0) << csv.err;
    ASSERT_EQ(js.exitCode, 0) << js.err;
    const json frames = json::parse(js.out);

    SpeechCoder coder(input, CoderMode::rate7_95);
    std::istringstream lines(csv.out);
    std::string line;
    ASSERT_TRUE(std::getline(lines, line));
    const std::vector<std::string> header = test::csvCells(line);
    ASSERT_GE(header.size(), kKeys.size());
    EXPECT_EQ(std::vector(header.end() - 6, header.end()), kKeys);
    int silent = 0;
    while (coder.nextFrame() == FrameStep::coded) {
        ASSERT_TRUE(std::getline(lines, line));
        const std::vector<std::string> cells = test::csvCells(line);
        ASSERT_EQ(cells.size(), header.size());
        const json& frame = frames.at(coder.frameCount() - 1);
        const FrameMeasures expected = measureRecord(coder.currentFrame(), SaveOption::synthesized);
        const bool quiet = allZeros(coder.currentFrame().speech);
        silent += quiet;
        for (std::size_t i = 0; i < kKeys.size(); ++i) {
            const std::string& cell = cells[header.size() - 6 + i];
            if (quiet) {
                EXPECT_EQ(cell, "") << "frame " << coder.frameCount() << " " << kKeys[i];
                EXPECT_TRUE(frame.at(kKeys[i]).is_null());
            } else {
                ASSERT_TRUE(expected[i]);
                EXPECT_EQ(readNumber(cell), *expected[i]);
                EXPECT_EQ(frame.at(kKeys[i]).get<double>(), *expected[i]);
            }
        }
    }
    EXPECT_EQ(silent, 5);
}

TEST(FramesMeasures, WithoutTheOptionNoKeyIsAdded) {
    const test::CliResult result =
        runCli({"frames", arg(test::samplePath()), "--format", "json", "-m", "5.9"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const json frames = json::parse(result.out);
    for (const std::string& key : kKeys) EXPECT_FALSE(frames.at(0).contains(key)) << key;
}

// --- encode and sweep ------------------------------------------------------------

const std::vector<std::string> kCsvNames{"lsd_lp_db", "cepstral_distance_db", "lsd_fft_db",
                                         "llr",       "itakura_saito",        "fw_seg_snr_db"};

// The cells of a CSV line under the named columns.
std::vector<std::string> columns(const std::vector<std::string>& header,
                                 const std::vector<std::string>& cells,
                                 const std::vector<std::string>& names) {
    std::vector<std::string> picked;
    for (const std::string& name : names) {
        const auto at = std::find(header.begin(), header.end(), name);
        EXPECT_NE(at, header.end()) << name;
        if (at == header.end()) return picked;
        picked.push_back(cells.at(static_cast<std::size_t>(at - header.begin())));
    }
    return picked;
}

void expectMeanCells(const std::vector<std::string>& cells,
                     const std::vector<std::optional<double>>& means) {
    ASSERT_EQ(cells.size(), means.size());
    for (std::size_t i = 0; i < means.size(); ++i) {
        ASSERT_TRUE(means[i]);
        EXPECT_EQ(readNumber(cells[i]), *means[i]) << kCsvNames[i];
    }
}

TEST(EncodeMeasures, TheCsvCarriesTheFileMeansOfTheWrittenOutput) {
    const TempDir dir;
    for (const bool post : {false, true}) {
        std::vector<std::string> args{
            "encode", arg(test::samplePath()), "-m", "5.9", "--csv", "--measures",
            "-d",     arg(dir.path()),         "-y"};
        if (post) args.push_back("--post");
        const test::CliResult result = runCli(args);
        ASSERT_EQ(result.exitCode, 0) << result.err;
        std::istringstream lines(result.out);
        std::string header, row;
        ASSERT_TRUE(std::getline(lines, header));
        ASSERT_TRUE(std::getline(lines, row));
        EXPECT_EQ(header,
                  "file,frames,segmental_snr_db,overall_snr_db,lsd_lp_db,cepstral_distance_db,"
                  "lsd_fft_db,llr,itakura_saito,fw_seg_snr_db,fw_seg_snr_hl_db,"
                  "cepstral_distance_hl_db,llr_hl,itakura_saito_hl,stoi,estoi,times_real_time");
        expectMeanCells(columns(test::csvCells(header), test::csvCells(row), kCsvNames),
                        expectedMeans(test::samplePath(), CoderMode::rate5_90,
                                      post ? SaveOption::postProcessed : SaveOption::synthesized));
    }
}

// The number of samples a WAV file's header states, as libsndfile reads it.
sf_count_t waveFrames(const std::filesystem::path& file) {
    SF_INFO info{};
    const std::unique_ptr<SNDFILE, int (*)(SNDFILE*)> sound(sf_open(file.c_str(), SFM_READ, &info),
                                                            sf_close);
    EXPECT_TRUE(sound) << file;
    return sound ? info.frames : 0;
}

// The 16-bit samples of a file in the system's layout, from byte 60 (where
// the coder reads its input and writes its output).
std::vector<std::int16_t> samplesFrom60(const std::filesystem::path& file) {
    const std::vector<std::uint8_t> bytes = test::readBytes(file);
    std::vector<std::int16_t> samples;
    for (std::size_t i = 60; i + 1 < bytes.size(); i += 2)
        samples.push_back(static_cast<std::int16_t>(bytes[i] | (bytes[i + 1] << 8)));
    return samples;
}

// What encode --measures prints can be redone from the two files alone: the
// input and the output read back, frame by frame.
TEST(EncodeMeasures, TheMeansAreReproducibleFromTheFiles) {
    const TempDir dir;
    const std::vector<std::int16_t> input = samplesFrom60(test::samplePath());
    for (const bool post : {false, true}) {
        SCOPED_TRACE(post ? "--post" : "s'(n)");
        const std::filesystem::path output = dir / (post ? "post.wav" : "out.wav");
        std::vector<std::string> args{
            "encode",   arg(test::samplePath()), "-m", "12.2", "--csv", "--measures", "-o",
            arg(output)};
        if (post) args.push_back("--post");
        const test::CliResult result = runCli(args);
        ASSERT_EQ(result.exitCode, 0) << result.err;
        const std::vector<std::int16_t> written = samplesFrom60(output);
        ASSERT_EQ(written.size(), static_cast<std::size_t>(test::kSampleFrames * kFrameSamples));
        EXPECT_EQ(waveFrames(output), test::kSampleFrames * kFrameSamples);
        MeasureMeans means;
        for (std::size_t k = 0; k < static_cast<std::size_t>(test::kSampleFrames); ++k) {
            Signal s{}, out{};
            for (int n = 0; n < kFrameSamples; ++n) {
                s[n] = input.at(k * kFrameSamples + n);
                out[n] = written.at(k * kFrameSamples + n);
            }
            means.add(measureFrame(s, out));
        }
        std::istringstream lines(result.out);
        std::string header, row;
        ASSERT_TRUE(std::getline(lines, header));
        ASSERT_TRUE(std::getline(lines, row));
        const std::vector<std::string> cells =
            columns(test::csvCells(header), test::csvCells(row), kCsvNames);
        ASSERT_EQ(cells.size(), kSpectralMeasureCount);
        for (SpectralMeasure measure : kAllSpectralMeasures) {
            const auto i = static_cast<std::size_t>(measure);
            ASSERT_TRUE(means.mean(measure));
            EXPECT_EQ(readNumber(cells[i]), *means.mean(measure)) << kCsvNames[i];
        }
        // The file figures of the 30 ms frames, of the same two recordings.
        const std::vector<double> x(input.begin(),
                                    input.begin() + static_cast<std::ptrdiff_t>(written.size()));
        const std::vector<double> y(written.begin(), written.end());
        const PublishedDistances hl = publishedDistances(x, y);
        const std::vector<std::string> hlCells =
            columns(test::csvCells(header), test::csvCells(row),
                    {"fw_seg_snr_hl_db", "cepstral_distance_hl_db", "llr_hl", "itakura_saito_hl"});
        const std::array<std::optional<double>, 4> expected{hl.fwSegSnr, hl.cepstralDistance,
                                                            hl.llr, hl.itakuraSaito};
        for (std::size_t i = 0; i < expected.size(); ++i) {
            ASSERT_TRUE(expected[i]) << i;
            EXPECT_EQ(readNumber(hlCells.at(i)), *expected[i]) << i;
        }
    }
}

TEST(EncodeMeasures, TheOutputIsThatOfARunWithoutThem) {
    const TempDir dir;
    const test::CliResult with = runCli({"encode", arg(test::samplePath()), "-m", "10.2",
                                         "--measures", "-o", arg(dir / "with.wav")});
    const test::CliResult without =
        runCli({"encode", arg(test::samplePath()), "-m", "10.2", "-o", arg(dir / "without.wav")});
    ASSERT_EQ(with.exitCode, 0) << with.err;
    ASSERT_EQ(without.exitCode, 0) << without.err;
    EXPECT_EQ(test::readBytes(dir / "with.wav"), test::readBytes(dir / "without.wav"));
    // The aligned table names the columns and shows the means.
    EXPECT_NE(with.out.find("LSD-LP [dB]"), std::string::npos) << with.out;
    EXPECT_NE(with.out.find("fwSNRseg [dB]"), std::string::npos) << with.out;
    EXPECT_EQ(without.out.find("LSD-LP"), std::string::npos) << without.out;
}

TEST(SweepMeasures, EveryModeCarriesTheMeansBesideTheSnrs) {
    const test::CliResult result =
        runCli({"sweep", arg(test::samplePath()), "--csv", "--measures", "-j", "2"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::istringstream lines(result.out);
    std::string line;
    ASSERT_TRUE(std::getline(lines, line));
    const std::vector<std::string> header = test::csvCells(line);
    EXPECT_EQ(line,
              "file,mode,bit_rate_kbps,frames,segmental_snr_db,overall_snr_db,lsd_lp_db,"
              "cepstral_distance_db,lsd_fft_db,llr,itakura_saito,fw_seg_snr_db,fw_seg_snr_hl_db,"
              "cepstral_distance_hl_db,llr_hl,itakura_saito_hl,stoi,estoi");
    int rows = 0;
    while (std::getline(lines, line)) {
        const std::vector<std::string> cells = test::csvCells(line);
        const int mode = std::stoi(columns(header, cells, {"mode"}).at(0));
        SCOPED_TRACE(line);
        expectMeanCells(
            columns(header, cells, kCsvNames),
            expectedMeans(test::samplePath(), test::modeNumbered(mode), SaveOption::synthesized));
        ++rows;
    }
    EXPECT_EQ(rows, 16);  // eight modes of the file, eight totals
}

TEST(RecordsMeasures, EncodeAndSweepRecordsCarryTheMeansAndAggregateReadsThem) {
    const TempDir dir;
    const std::string records = arg(dir / "runs.jsonl");
    const test::CliResult encode =
        runCli({"encode", arg(test::samplePath()), "-m", "12.2", "--measures", "-d",
                arg(dir.path()), "--jsonl", records});
    ASSERT_EQ(encode.exitCode, 0) << encode.err;
    const test::CliResult sweep = runCli(
        {"sweep", arg(test::samplePath()), "--measures", "--post", "-j", "2", "--jsonl", records});
    ASSERT_EQ(sweep.exitCode, 0) << sweep.err;
    std::istringstream lines(test::readText(dir / "runs.jsonl"));
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        const json record = json::parse(line);
        const bool fromEncode = record.at("command") == "encode";
        const CoderMode mode = test::modeNumbered(record.at("mode").get<int>());
        const auto means =
            expectedMeans(test::samplePath(), mode,
                          fromEncode ? SaveOption::synthesized : SaveOption::postProcessed);
        for (std::size_t i = 0; i < kCsvNames.size(); ++i) {
            ASSERT_TRUE(means[i]);
            EXPECT_EQ(record.at(kCsvNames[i]).get<double>(), *means[i]) << line;
        }
        ++count;
    }
    EXPECT_EQ(count, 9);
    const test::CliResult aggregate = runCli({"aggregate", records, "--csv"});
    EXPECT_EQ(aggregate.exitCode, 0) << aggregate.err;
}

}  // namespace
}  // namespace zorvel
