// Recognising recordings with libsndfile and converting them to 8000 Hz mono
// 16-bit with libsoxr: inputs are made here with libsndfile, and the output is
// checked by its spectrum (dsp/Fftn), its level and its length.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <soxr.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

#include "dsp/Fftn.h"
#include "files/FileError.h"
#include "files/StagedOutput.h"
#include "sound/Conversion.h"
#include "sound/SpeechInput.h"
#include "tests/TestSupport.h"

namespace zorvel {
namespace {

using test::writeTone;

// The converted samples, read back through the coder's in-memory input.
std::vector<double> samplesOf(const ConvertedRecording& r) {
    SpeechInput input = convertedInput(r);
    EXPECT_TRUE(input.usable());
    std::vector<double> all;
    std::array<double, kFrameSamples> frame{};
    while (input.readSamples(frame)) all.insert(all.end(), frame.begin(), frame.end());
    return all;
}

double rms(const std::vector<double>& x, std::size_t from, std::size_t count) {
    double e = 0.0;
    for (std::size_t i = from; i < from + count; ++i) e += x[i] * x[i];
    return std::sqrt(e / count);
}

// The bin of the largest magnitude of 8000 Hann-windowed samples (1 Hz a bin).
int peakBin(const std::vector<double>& x, std::size_t from) {
    constexpr int n = 8000;
    std::vector<double> re(n), im(n, 0.0);
    for (int i = 0; i < n; ++i)
        re[i] = x[from + i] * (0.5 - 0.5 * std::cos(2 * std::numbers::pi * i / n));
    const int dims[] = {n};
    fftn(1, dims, re.data(), im.data(), 1, 0);
    int best = 0;
    for (int k = 1; k < n / 2; ++k)
        if (std::hypot(re[k], im[k]) > std::hypot(re[best], im[best])) best = k;
    return best;
}

struct ToneCase {
    int rate;
    int channels;
    int format;
    std::string description;
    friend void PrintTo(const ToneCase& c, std::ostream* out) { *out << c.description; }
};

class ToneConversion : public ::testing::TestWithParam<ToneCase> {};

TEST_P(ToneConversion, KeepsFrequencyLevelAndDuration) {
    const ToneCase& c = GetParam();
    SF_INFO wanted{};
    wanted.samplerate = c.rate;
    wanted.channels = c.channels;
    wanted.format = c.format;
    if (!sf_format_check(&wanted))
        GTEST_SKIP() << "libsndfile here does not write " << c.description;
    test::TempDir dir;
    const auto file = dir / "tone";
    constexpr double kAmplitude = 0.5;
    const sf_count_t frames = 2 * c.rate + 37;  // a length that does not divide evenly
    writeTone(file, c.format, c.rate, 1000.0, kAmplitude, frames,
              std::vector<double>(c.channels, 1.0));

    const RecordingFormat format = describeRecording(file);
    EXPECT_EQ(format.kind, RecordingKind::otherFormat);
    EXPECT_EQ(format.description, c.description);

    const ConvertedRecording r = convertRecording(file);
    ASSERT_TRUE(r.converted);
    EXPECT_EQ(r.samples, std::llround(frames * 8000.0 / c.rate));
    EXPECT_EQ(r.clipped, 0);
    // The tone starts and stops at once: the filter rings a little at both ends.
    EXPECT_GE(r.peak, kAmplitude * 0.999);
    EXPECT_LE(r.peak, kAmplitude * 1.05);
    const std::vector<double> y = samplesOf(r);
    ASSERT_EQ(static_cast<std::int64_t>(y.size()), r.samples / kFrameSamples * kFrameSamples);

    EXPECT_NEAR(peakBin(y, 4000), 1000, 1);
    const double levelDb =
        20 * std::log10(rms(y, 4000, 8000) / (kAmplitude * 32768 / std::sqrt(2.0)));
    EXPECT_NEAR(levelDb, 0.0, 0.1);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, ToneConversion,
    ::testing::Values(
        ToneCase{44100, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16, "44100 Hz, 1 channel, 16-bit"},
        ToneCase{48000, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_24, "48000 Hz, 2 channels, 24-bit"},
        ToneCase{44100, 2, SF_FORMAT_WAV | SF_FORMAT_FLOAT, "44100 Hz, 2 channels, float"},
        ToneCase{48000, 1, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, "48000 Hz, 1 channel, 16-bit, FLAC"},
        ToneCase{44100, 2, SF_FORMAT_FLAC | SF_FORMAT_PCM_24, "44100 Hz, 2 channels, 24-bit, FLAC"},
        // Written where libsndfile has an MP3 encoder (it reads MP3 gaplessly).
        ToneCase{44100, 2, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III,
                 "44100 Hz, 2 channels, MPEG Layer III"}));

TEST(Conversion, SixKilohertzAt48kDoesNotFoldIntoTheBand) {
    test::TempDir dir;
    writeTone(dir / "high.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 6000.0, 0.5, 96000);
    const ConvertedRecording r = convertRecording(dir / "high.wav");
    ASSERT_TRUE(r.converted);
    const std::vector<double> y = samplesOf(r);
    const double downDb = 20 * std::log10(rms(y, 2000, 12000) / (0.5 * 32768 / std::sqrt(2.0)));
    EXPECT_LE(downDb, -80.0);
}

TEST(Conversion, OppositeChannelsCancel) {
    test::TempDir dir;
    writeTone(dir / "opposite.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 440.0, 0.7, 44100,
              {1.0, -1.0});
    const ConvertedRecording r = convertRecording(dir / "opposite.wav");
    ASSERT_TRUE(r.converted);
    EXPECT_EQ(r.samples, 8000);
    EXPECT_EQ(r.peak, 0.0);
    for (double s : samplesOf(r)) ASSERT_EQ(s, 0.0);
}

TEST(Conversion, ClippedSamplesAreCountedAndHeldAtFullScale) {
    // At 8000 Hz nothing is resampled: the clipping is that of the rounding alone.
    std::vector<double> x(8000);
    std::int64_t beyond = 0;
    double peak = 0.0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        x[i] = 1.5 * std::sin(2 * std::numbers::pi * 1000.0 * i / 8000.0 + 0.3);
        const double v = std::round(x[i] * 32768);
        beyond += v > 32767 || v < -32768;
        peak = std::max(peak, std::fabs(x[i]));
    }
    const ConvertedRecording r = convertSamples(x, 1, 8000);
    ASSERT_TRUE(r.converted);
    EXPECT_GT(beyond, 0);
    EXPECT_EQ(r.clipped, beyond);
    EXPECT_DOUBLE_EQ(r.peak, peak);
    const std::vector<double> y = samplesOf(r);
    for (std::size_t i = 0; i < y.size(); ++i)
        ASSERT_EQ(y[i], std::clamp(std::round(x[i] * 32768), -32768.0, 32767.0)) << "sample " << i;
}

// The conversion runs block by block: however the recording is cut into
// blocks, the samples are those of the whole recording given at once, and
// what is written through a scratch file or staged reads as the same bytes.
TEST(Conversion, BlocksOfAnySizeGiveTheSamplesOfTheWhole) {
    std::mt19937 random(test::testSeed());
    std::normal_distribution<double> noise(0.0, 0.05);
    for (const double rate : {44100.0, 48000.0, 11025.0, 8000.0}) {
        std::vector<double> x(2 * static_cast<std::size_t>(rate * 1.3));
        for (std::size_t i = 0; i < x.size(); ++i)
            x[i] = 0.4 * std::sin(2 * std::numbers::pi * 440.0 * (i / 2) / rate) + noise(random);
        std::vector<double> whole;
        BlockConversion once(2, rate, [&](std::span<const double> block) {
            whole.insert(whole.end(), block.begin(), block.end());
        });
        once.feed(x);
        const std::int64_t length = once.finish();
        std::vector<double> pieces;
        BlockConversion cut(2, rate, [&](std::span<const double> block) {
            pieces.insert(pieces.end(), block.begin(), block.end());
        });
        std::uniform_int_distribution<std::size_t> frames(1, 30000);
        for (std::size_t at = 0; at < x.size();) {
            const std::size_t n = std::min(2 * frames(random), x.size() - at);
            cut.feed(std::span(x).subspan(at, n));
            at += n;
        }
        EXPECT_EQ(cut.finish(), length);
        EXPECT_EQ(length, std::llround(x.size() / 2 * 8000.0 / rate)) << rate;
        ASSERT_EQ(pieces.size(), whole.size()) << rate;
        for (std::size_t i = 0; i < whole.size(); ++i)
            ASSERT_EQ(pieces[i], whole[i]) << "rate " << rate << ", sample " << i;
    }
}

TEST(Conversion, StreamedOutputsAreTheBytesOfTheConversionInMemory) {
    test::TempDir dir;
    writeTone(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 44100, 700.0, 0.6, 3 * 44100 + 11,
              {1.0, 0.5});
    const ConvertedRecording inMemory = convertRecording(dir / "in.wav");
    StagingArea area;
    const ConvertedRecording written =
        writeConvertedRecording(dir / "in.wav", dir / "out.wav", area, false);
    EXPECT_EQ(written.samples, inMemory.samples);
    EXPECT_EQ(written.peak, inMemory.peak);
    EXPECT_EQ(test::readBytes(dir / "out.wav"),
              std::vector<std::uint8_t>(inMemory.bytes.begin(), inMemory.bytes.end()));
    SpeechInput scratch = convertedTemporaryInput(dir / "in.wav");
    SpeechInput memory = convertedInput(inMemory);
    std::array<double, kFrameSamples> a{}, b{};
    int frames = 0;
    for (;;) {
        const bool gotA = scratch.readSamples(a);
        ASSERT_EQ(gotA, memory.readSamples(b)) << "frame " << frames;
        if (!gotA) break;
        ASSERT_EQ(a, b) << "frame " << frames;
        ++frames;
    }
    EXPECT_EQ(frames, inMemory.samples / kFrameSamples);
}

TEST(Conversion, OutputCarriesTheCodersHeaderAndIsTakenAsItStands) {
    test::TempDir dir;
    writeTone(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 1000.0, 0.5, 4800);
    const ConvertedRecording r = convertRecording(dir / "in.wav");
    ASSERT_EQ(r.bytes.size(), kSampleDataOffset + 2u * 800);
    std::ostringstream header;
    writeWaveHeader(header, 2 * 800);
    EXPECT_EQ(r.bytes.substr(0, kWaveHeaderBytes), header.str());
    EXPECT_EQ(r.bytes.substr(kWaveHeaderBytes, 16), std::string(16, '\0'));
    test::writeBytes(dir / "out.wav", {r.bytes.begin(), r.bytes.end()});
    EXPECT_EQ(describeRecording(dir / "out.wav").kind, RecordingKind::coderFormat);
}

// libsoxr's own reason for refusing a rate, asked of it directly.
std::string soxrRefusal(double rate) {
    soxr_error_t error = nullptr;
    const soxr_t resampler = soxr_create(rate, 8000, 1, &error, nullptr, nullptr, nullptr);
    soxr_delete(resampler);
    return error == nullptr ? std::string() : std::string(error);
}

// Runs `call` and returns the message of the FileError it throws; empty when
// it throws none (or another exception, which fails the test).
template <typename Call>
std::string fileErrorOf(Call&& call) {
    try {
        call();
    } catch (const FileError& error) {
        return error.what();
    }
    return {};
}

// A rate libsoxr refuses reaches the caller with libsoxr's reason, whether
// the samples come to the resampler alone or to the whole conversion;
// nothing of a conversion is given.
class RefusedRate : public ::testing::TestWithParam<double> {};

TEST_P(RefusedRate, ThrowsWithLibsoxrsReason) {
    const double rate = GetParam();
    const std::string reason = soxrRefusal(rate);
    ASSERT_FALSE(reason.empty()) << "libsoxr here takes a rate of " << rate;
    const std::vector<double> x(4000, 0.25);
    EXPECT_EQ(fileErrorOf([&] { (void)resampleTo8k(x, rate); }), "cannot be resampled: " + reason);
    EXPECT_EQ(fileErrorOf([&] { (void)convertSamples(x, 2, rate); }),
              "cannot be resampled: " + reason);
}

INSTANTIATE_TEST_SUITE_P(ZeroAndNegative, RefusedRate, ::testing::Values(0.0, -1.0, -48000.0));

// Rates libsoxr would hang or crash on are refused before it sees them.
TEST(Conversion, RatesBeyondAnySoundFileAreRefusedBeforeTheResampler) {
    const std::vector<double> x(400, 0.25);
    for (const double rate : {std::numeric_limits<double>::infinity(),
                              std::numeric_limits<double>::quiet_NaN(), 1e300, 0.5, 1e-5}) {
        const std::string message = fileErrorOf([&] { (void)resampleTo8k(x, rate); });
        EXPECT_TRUE(message.starts_with("cannot be resampled: a sample rate of ") &&
                    message.ends_with(" Hz is out of range"))
            << rate << ": " << message;
    }
    // The rates at the ends of the range are resampled.
    EXPECT_EQ(resampleTo8k(std::vector<double>(16, 0.25), 1.0).size(), 128000u);
    EXPECT_EQ(resampleTo8k(x, 2147483647.0).size(), 0u);
}

// A sample that is NaN or infinite would spread over the resampler's whole
// filter: it is refused with the count and the place of the first, or taken
// as 0, when the conversion is that of a zero there and nothing is clipped.
TEST(Conversion, NonFiniteSamplesAreRefusedOrTakenAsZero) {
    constexpr int kRate = 48000;
    std::vector<double> x(2 * 4800);
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = 0.5 * std::sin(2 * std::numbers::pi * 440.0 * static_cast<double>(i / 2) / kRate);
    std::vector<double> zeros = x;
    zeros[2 * 1000 + 1] = zeros[2 * 2000] = 0.0;
    x[2 * 1000 + 1] = std::numeric_limits<double>::quiet_NaN();
    x[2 * 2000] = -std::numeric_limits<double>::infinity();
    try {
        (void)convertSamples(x, 2, kRate);
        ADD_FAILURE() << "non-finite samples were converted";
    } catch (const NonFiniteSamplesError& error) {
        EXPECT_EQ(error.count(), 2);
        EXPECT_EQ(std::string(error.what()),
                  "2 samples are NaN or infinite, the first at 0.021 s (frame 1000, channel 2)");
    }
    const ConvertedRecording zeroed = convertSamples(x, 2, kRate, NonFiniteSamples::zero);
    const ConvertedRecording expected = convertSamples(zeros, 2, kRate);
    EXPECT_EQ(zeroed.nonFinite, 2);
    EXPECT_EQ(expected.nonFinite, 0);
    EXPECT_EQ(zeroed.clipped, 0);
    EXPECT_EQ(zeroed.bytes, expected.bytes);
    // One alone, in the only channel.
    EXPECT_EQ(fileErrorOf([] {
                  (void)convertSamples(
                      std::vector<double>{0.0, std::numeric_limits<double>::infinity()}, 1, 8000);
              }),
              "1 sample is NaN or infinite, the first at 0.000 s (frame 1, channel 1)");
}

TEST(Conversion, NoChannelsIsRefused) {
    EXPECT_EQ(fileErrorOf([] { (void)convertSamples(std::vector<double>(80, 0.5), 0, 8000); }),
              "a recording without channels");
}

TEST(Conversion, WhatIsNoRecordingIsRefusedWithItsReason) {
    test::TempDir dir;
    test::writeSamples(dir / "raw.w60", std::vector<std::int16_t>(1600, 1000));
    EXPECT_EQ(fileErrorOf([&] { (void)convertRecording(dir / "raw.w60"); }),
              "not a recording libsndfile can read");
    EXPECT_EQ(fileErrorOf([&] { (void)convertRecording(dir / "missing.wav"); }),
              "not a recording libsndfile can read");
}

TEST(Recording, CoderFormatRawAndOtherContainersAreTold) {
    test::TempDir dir;
    EXPECT_EQ(describeRecording(test::samplePath()).kind, RecordingKind::coderFormat);
    test::writeSamples(dir / "raw.w60", std::vector<std::int16_t>(1600, 1000));
    EXPECT_EQ(describeRecording(dir / "raw.w60").kind, RecordingKind::unrecognised);
    EXPECT_EQ(describeRecording(dir / "missing.wav").kind, RecordingKind::unrecognised);
    writeTone(dir / "a.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 8000, 1000.0, 0.5, 800);
    const RecordingFormat aiff = describeRecording(dir / "a.aiff");
    EXPECT_EQ(aiff.kind, RecordingKind::otherFormat);
    EXPECT_EQ(aiff.description, "8000 Hz, 1 channel, 16-bit, AIFF");
    EXPECT_EQ(otherFormatProblem(aiff),
              "8000 Hz, 1 channel, 16-bit, AIFF; the coder takes 8000 Hz mono 16-bit");
}

}  // namespace
}  // namespace zorvel
