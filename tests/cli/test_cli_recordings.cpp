// Recordings of another format in the coding subcommands: refused with what
// they are and what to do, converted in memory with --resample (as coding the
// converted file would), coded from byte 60 with --as-is (as a raw file of
// the same bytes is). Inputs are written here with libsndfile.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "sound/Conversion.h"
#include "sound/SpeechInput.h"
#include "tests/TestSupport.h"
#include "tests/cli/CliRun.h"

namespace zorvel {
namespace {

using test::arg;
using test::readText;
using test::runCli;

constexpr const char* kRefusal =
    "zorvel-cli: rec.wav: 48000 Hz, 2 channels, 24-bit; the coder takes 8000 Hz mono 16-bit: "
    "convert it with 'zorvel-cli import' or pass --resample\n";

// 1.5 s of a vowel-like sum of harmonics of 140 Hz, 48 kHz, stereo, 24-bit.
void writeRecording(const std::filesystem::path& file) {
    SF_INFO info{};
    info.samplerate = 48000;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
    SNDFILE* sound = sf_open(file.c_str(), SFM_WRITE, &info);
    ASSERT_NE(sound, nullptr) << sf_strerror(nullptr);
    std::vector<double> data(2 * 72000);
    for (std::size_t i = 0; i < 72000; ++i) {
        double x = 0.0;
        for (int h = 1; h <= 20; ++h)
            x += std::sin(2 * std::numbers::pi * 140.0 * h * i / 48000) / h;
        data[2 * i] = 0.2 * x;
        data[2 * i + 1] = 0.1 * x;
    }
    ASSERT_EQ(sf_writef_double(sound, data.data(), 72000), 72000);
    sf_close(sound);
}

class RecordingInput : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(dir / "rec");
        std::filesystem::create_directories(dir / "converted");
        writeRecording(dir / "rec" / "rec.wav");
        const ConvertedRecording r = convertRecording(dir / "rec" / "rec.wav");
        ASSERT_TRUE(r.converted);
        test::writeBytes(dir / "converted" / "rec.wav", {r.bytes.begin(), r.bytes.end()});
    }
    test::TempDir dir;
};

TEST_F(RecordingInput, EveryCodingCommandRefusesItAndWritesNothing) {
    const std::vector<std::vector<std::string>> commands = {{"encode", "rec.wav"},
                                                            {"frames", "rec.wav", "-o", "rec.csv"},
                                                            {"plot", "rec.wav", "--frame", "3"},
                                                            {"sweep", "rec.wav"}};
    for (const auto& command : commands) {
        const test::CliResult r = runCli(command, test::inDirectory(dir / "rec"));
        EXPECT_EQ(r.exitCode, 1) << command[0];
        EXPECT_EQ(r.err, kRefusal) << command[0];
        EXPECT_EQ(test::directoryNames(dir / "rec"), std::vector<std::string>{"rec.wav"})
            << command[0];
    }
}

TEST_F(RecordingInput, ResampleCodesAsTheConvertedFileDoes) {
    for (const char* place : {"rec", "converted"}) {
        const auto in = test::inDirectory(dir / place);
        const std::vector<std::string> resample = place == std::string("rec")
                                                      ? std::vector<std::string>{"--resample"}
                                                      : std::vector<std::string>{};
        auto with = [&](std::vector<std::string> args) {
            args.insert(args.end(), resample.begin(), resample.end());
            return args;
        };
        ASSERT_EQ(runCli(with({"encode", "rec.wav", "-m", "5.9", "-o", "out.wav"}), in).exitCode,
                  0);
        ASSERT_EQ(runCli(with({"frames", "rec.wav", "-o", "frames.csv"}), in).exitCode, 0);
        const test::CliResult sweep = runCli(with({"sweep", "rec.wav", "--csv"}), in);
        ASSERT_EQ(sweep.exitCode, 0) << sweep.err;
        test::writeBytes(dir / place / "sweep.csv", {sweep.out.begin(), sweep.out.end()});
    }
    for (const char* name : {"out.wav", "frames.csv", "sweep.csv"}) {
        const std::string converted = readText(dir / "converted" / name);
        EXPECT_GT(converted.size(), 100u) << name;
        EXPECT_EQ(readText(dir / "rec" / name), converted) << name;
    }
}

TEST_F(RecordingInput, AsIsCodesTheBytesFromSixtyAsARawFileOfThem) {
    std::string raw = readText(dir / "rec" / "rec.wav");
    raw.replace(0, 4, "ZZZZ");  // no longer a header libsndfile knows
    test::writeBytes(dir / "raw.w60", {raw.begin(), raw.end()});
    ASSERT_EQ(runCli({"encode", arg(dir / "raw.w60"), "-o", arg(dir / "raw_out.wav")}).exitCode, 0);
    const test::CliResult r =
        runCli({"encode", arg(dir / "rec" / "rec.wav"), "--as-is", "-o", arg(dir / "out.wav")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // Every whole frame of the file's bytes from 60, 1.5 s at 48 kHz stereo
    // 24-bit read as 27 s at 8 kHz.
    const auto frames = (raw.size() - kSampleDataOffset) / kFrameBytes;
    EXPECT_EQ(frames, 1349u);
    EXPECT_EQ(readText(dir / "out.wav").size(), kSampleDataOffset + frames * kFrameBytes);
    EXPECT_EQ(readText(dir / "out.wav"), readText(dir / "raw_out.wav"));
}

// An Ogg Vorbis file damaged past its first page: libsndfile recognises no
// recording in it, so it is coded as it stands and refused by import, in
// every subcommand alike. In the sanitizer build each of these runs ends with
// LeakSanitizer's report of what it leaked: only the codec setup libsndfile
// leaves behind on a failed open is suppressed (tests/lsan-suppressions.txt),
// so anything of the program's own on this path fails the run.
TEST(DamagedRecording, AnOggVorbisFileThatLibsndfileCannotOpenLeaksNothingOfOurs) {
    const test::TempDir dir;
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = 2;
    info.format = SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    if (!sf_format_check(&info)) GTEST_SKIP() << "libsndfile here writes no Ogg Vorbis";
    test::writeTone(dir / "take.ogg", info.format, info.samplerate, 440.0, 0.5, 44100, {1.0, 1.0});
    std::string bytes = readText(dir / "take.ogg");
    ASSERT_GT(bytes.size(), 4000u);
    // The identification page stays; what follows is noise of a fixed seed.
    std::mt19937 noise(20261208u);
    for (std::size_t i = 200; i < bytes.size(); ++i) bytes[i] = static_cast<char>(noise());
    test::writeBytes(dir / "bad.ogg", {bytes.begin(), bytes.end()});
    ASSERT_EQ(describeRecording(dir / "bad.ogg").kind, RecordingKind::unrecognised);

    const auto in = test::inDirectory(dir.path());
    const test::CliResult import = runCli({"import", "bad.ogg"}, in);
    EXPECT_EQ(import.exitCode, 1);
    EXPECT_EQ(import.err,
              "zorvel-cli: bad.ogg: not a recording libsndfile recognises: the coder takes it as "
              "it stands\n");
    for (const std::vector<std::string>& coding :
         {std::vector<std::string>{"encode", "bad.ogg", "--resample", "-o", "bad.out"},
          std::vector<std::string>{"frames", "bad.ogg", "--resample", "-o", "bad.csv"},
          std::vector<std::string>{"sweep", "bad.ogg", "--resample", "--csv"}}) {
        const test::CliResult r = runCli(coding, in);
        EXPECT_EQ(r.exitCode, 0) << coding[0] << ": " << r.err;
        EXPECT_EQ(r.err, "") << coding[0];
    }
    // Coded as it stands: the same as a raw file of its bytes.
    test::writeBytes(dir / "bad.w60", {bytes.begin(), bytes.end()});
    ASSERT_EQ(runCli({"encode", "bad.w60", "-o", "raw.out"}, in).exitCode, 0);
    EXPECT_EQ(readText(dir / "bad.out"), readText(dir / "raw.out"));
}

TEST(RecordingOptions, ResampleAndAsIsExcludeEachOther) {
    const test::CliResult r = runCli({"encode", arg(test::samplePath()), "--resample", "--as-is"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("--resample excludes --as-is"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace zorvel
