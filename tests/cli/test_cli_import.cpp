// zorvel-cli import: the converted file (byte for byte the core's conversion),
// its name, the line it prints, and encode's output rules.
#include <gtest/gtest.h>
#include <sndfile.h>

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

}  // namespace
}  // namespace zorvel
