// zorvel-cli import: the converted file (byte for byte the core's conversion),
// its name, the line it prints, and encode's output rules.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <utility>
#include <vector>

#include "sound/Conversion.h"
#include "tests/TestSupport.h"
#include "tests/cli/CliRun.h"

namespace zorvel {
namespace {

using test::arg;
using test::readText;
using test::runCli;

// 1.5 s of a 1 kHz tone at `amplitude`, 44.1 kHz stereo float.
void writeTone(const std::filesystem::path& file, double amplitude) {
    test::writeTone(file, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 1000.0, amplitude, 66150,
                    {1.0, 1.0});
}

TEST(Import, WritesTheConversionBesideTheInputAndReportsIt) {
    test::TempDir dir;
    writeTone(dir / "take.wav", 0.5);
    const test::CliResult r = runCli({"import", "take.wav"}, test::inDirectory(dir.path()));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              "take.wav -> take.wav_8k.wav: 44100 Hz, 2 channels, float, 1.500 s, peak -6.0 dBFS, "
              "0 samples clipped\n");
    const std::string bytes = convertRecording(dir / "take.wav").bytes;
    EXPECT_EQ(readText(dir / "take.wav_8k.wav"), bytes);
    EXPECT_EQ(describeRecording(dir / "take.wav_8k.wav").kind, RecordingKind::coderFormat);

    // An existing output is kept without -y.
    writeTone(dir / "take.wav", 2.0);
    const test::CliResult again = runCli({"import", arg(dir / "take.wav")});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_NE(again.err.find("use -y to overwrite it"), std::string::npos) << again.err;
    EXPECT_EQ(readText(dir / "take.wav_8k.wav"), bytes);

    const test::CliResult loud =
        runCli({"import", arg(dir / "take.wav"), "-d", arg(dir / "out"), "-y"});
    ASSERT_EQ(loud.exitCode, 0) << loud.err;
    const ConvertedRecording clipped = convertRecording(dir / "take.wav");
    EXPECT_GT(clipped.clipped, 0);
    EXPECT_NE(loud.out.find(", " + std::to_string(clipped.clipped) + " samples clipped\n"),
              std::string::npos)
        << loud.out;
    EXPECT_EQ(readText(dir / "out" / "take.wav_8k.wav"), clipped.bytes);
}

TEST(Import, RefusesRawFilesAndOneOutputForSeveralInputs) {
    test::TempDir dir;
    test::writeSamples(dir / "raw.w60", std::vector<std::int16_t>(1600, 100));
    const test::CliResult raw = runCli({"import", arg(dir / "raw.w60")});
    EXPECT_EQ(raw.exitCode, 1);
    EXPECT_EQ(raw.err, "zorvel-cli: " + arg(dir / "raw.w60") +
                           ": not a recording libsndfile recognises: the coder takes it as it "
                           "stands\n");
    EXPECT_EQ(test::directoryNames(dir.path()), std::vector<std::string>{"raw.w60"});
    EXPECT_EQ(runCli({"import", arg(dir / "a.wav"), arg(dir / "b.wav"), "-o", "x.wav"}).exitCode,
              2);
}

// 44.1 kHz stereo float: a 1 kHz tone, with `samples[k]` set at interleaved
// index k.
void writeFloatTone(const std::filesystem::path& file,
                    const std::vector<std::pair<std::size_t, double>>& samples) {
    constexpr int kRate = 44100;
    constexpr sf_count_t kFrames = 66150;
    std::vector<double> x(2 * kFrames);
    for (sf_count_t i = 0; i < kFrames; ++i)
        x[2 * i] = x[2 * i + 1] = 0.5 * std::sin(2 * std::numbers::pi * 1000.0 * i / kRate);
    for (const auto& [k, value] : samples) x[k] = value;
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* sound = sf_open(file.c_str(), SFM_WRITE, &info);
    ASSERT_NE(sound, nullptr) << sf_strerror(nullptr);
    EXPECT_EQ(sf_writef_double(sound, x.data(), kFrames), kFrames);
    sf_close(sound);
}

// Samples that are NaN or infinite are no sound any filter can take: import
// and --resample refuse them, saying how many there are and where the first
// is, and write nothing; --zero-non-finite takes them as 0, which converts
// and codes exactly as a recording with zeros there.
TEST(Import, NonFiniteSamplesAreRefusedUnlessTakenAsZero) {
    test::TempDir dir;
    constexpr double kInf = std::numeric_limits<double>::infinity();
    // Frame 30000 of channel 2, then frames 40000 and 40001 of channel 1.
    writeFloatTone(
        dir / "bad.wav",
        {{60001, std::numeric_limits<double>::quiet_NaN()}, {80000, kInf}, {80002, -kInf}});
    writeFloatTone(dir / "zeros.wav", {{60001, 0.0}, {80000, 0.0}, {80002, 0.0}});
    const std::string refusal =
        "zorvel-cli: bad.wav: 3 samples are NaN or infinite, the first at 0.680 s (frame 30000, "
        "channel 2): pass --zero-non-finite to take them as 0\n";
    const auto inDir = test::inDirectory(dir.path());
    const std::vector<std::string> names = test::directoryNames(dir.path());
    for (const std::vector<std::string>& refused :
         {std::vector<std::string>{"import", "bad.wav"},
          std::vector<std::string>{"encode", "bad.wav", "--resample"},
          std::vector<std::string>{"frames", "bad.wav", "--resample", "-o", "f.csv"},
          std::vector<std::string>{"sweep", "bad.wav", "--resample"}}) {
        const test::CliResult r = runCli(refused, inDir);
        EXPECT_EQ(r.exitCode, 1) << refused[0];
        EXPECT_TRUE(r.err.starts_with(refusal)) << refused[0] << ": " << r.err;
        EXPECT_EQ(test::directoryNames(dir.path()), names) << refused[0];
    }

    const test::CliResult zeroed =
        runCli({"import", "bad.wav", "-o", "bad.8k", "--zero-non-finite"}, inDir);
    ASSERT_EQ(zeroed.exitCode, 0) << zeroed.err;
    EXPECT_EQ(zeroed.out,
              "bad.wav -> bad.8k: 44100 Hz, 2 channels, float, 1.500 s, peak -5.9 dBFS, 0 samples "
              "clipped, 3 samples NaN or infinite taken as 0\n");
    EXPECT_EQ(readText(dir / "bad.8k"), convertRecording(dir / "zeros.wav").bytes);
    const test::CliResult coded =
        runCli({"encode", "bad.wav", "--resample", "--zero-non-finite", "-o", "-"}, inDir);
    ASSERT_EQ(coded.exitCode, 0) << coded.err;
    EXPECT_EQ(coded.out, runCli({"encode", "zeros.wav", "--resample", "-o", "-"}, inDir).out);
    // The choice is one of a conversion: without --resample there is none.
    EXPECT_EQ(runCli({"encode", "bad.wav", "--zero-non-finite"}, inDir).exitCode, 2);
}

}  // namespace
}  // namespace zorvel
