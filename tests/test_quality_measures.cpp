// Quality measures: the SNR rules, the running segmental mean and the
// bookkeeping of a real coding run against sums formed in the test.
#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <vector>

#include "coder/FrameDistances.h"
#include "coder/QualityMeasures.h"
#include "coder/SpeechCoder.h"
#include "tests/TestSupport.h"

namespace zorvel {
namespace {

TEST(ComputeSnr, Rules) {
    std::vector<double> s(160), half(160), zero(160, 0.0), noisy(160);
    for (int n = 0; n < 160; ++n) {
        s[n] = 1000.0 * ((n % 2) != 0 ? 1.0 : -1.0);
        half[n] = 0.5 * s[n];
        noisy[n] = s[n] + 0.1 * s[n];
    }
    EXPECT_EQ(computeSnr(s, s), 0.0);  // perfect match: no noise, 0 dB by rule
    EXPECT_NEAR(computeSnr(s, half), 10.0 * std::log10(4.0), 1e-12);
    EXPECT_NEAR(computeSnr(s, half), 6.0206, 1e-4);
    EXPECT_NEAR(computeSnr(s, noisy), 20.0, 1e-9);
    EXPECT_EQ(computeSnr(zero, s), 0.0);  // no signal
    EXPECT_EQ(computeSnr(zero, zero), 0.0);
    EXPECT_NEAR(computeSnr(s, zero), 0.0, 1e-12);  // all noise: S = N
    EXPECT_THROW(computeSnr(s, std::span<const double>(half).first(80)), std::invalid_argument);
}

TEST(SegmentalSnr, RunningMeanOfFrameValues) {
    double mean = 0.0;
    mean = runningMean(mean, 1, 10.0);
    EXPECT_EQ(mean, 10.0);
    mean = runningMean(mean, 2, 20.0);
    EXPECT_EQ(mean, 15.0);
    mean = runningMean(mean, 3, 0.0);
    EXPECT_EQ(mean, 10.0);
}

// Step through the sample frame by frame and redo every measure from the records.
TEST(QualityMeasures, RealRunBookkeeping) {
    SpeechCoder coder(test::samplePath(), CoderMode::rate6_70);
    long double S = 0.0L, N = 0.0L, sumOfSnr = 0.0L;
    int frames = 0;
    while (coder.nextFrame() == FrameStep::coded) {
        ++frames;
        const FrameRecord& f = coder.currentFrame();
        for (int n = 0; n < kFrameSamples; ++n) {
            const long double e = static_cast<long double>(f.speech[n]) - f.synthesizedSpeech[n];
            S += static_cast<long double>(f.speech[n]) * f.speech[n];
            N += e * e;
        }
        ASSERT_DOUBLE_EQ(coder.frameSnr(), computeSnr(f.speech, f.synthesizedSpeech));
        sumOfSnr += coder.frameSnr();
        ASSERT_NEAR(coder.segmentalSnr(), static_cast<double>(sumOfSnr / frames), 1e-9)
            << "frame " << frames;
        ASSERT_NEAR(coder.signalEnergySum(), static_cast<double>(S), 1e-9 * static_cast<double>(S));
        ASSERT_NEAR(coder.noiseEnergySum(), static_cast<double>(N), 1e-9 * static_cast<double>(N));
        if (S > 0 && N > 0) {
            ASSERT_NEAR(coder.overallSnr(), static_cast<double>(10.0L * std::log10(S / N)), 1e-9);
        }
    }
    EXPECT_EQ(frames, coder.frameCount());
    EXPECT_GT(frames, 200);
}

// Silent frames count 0 dB in the mean and leave the overall value at 0
// until there is signal and noise.
TEST(QualityMeasures, SilentFramesBeforeSpeech) {
    test::TempDir dir;
    std::vector<std::int16_t> samples(2 * kFrameSamples, 0);
    const std::vector<std::uint8_t> speech = test::readBytes(test::samplePath());
    for (std::size_t i = 60 + 2 * 4000; i + 1 < speech.size() && samples.size() < 6 * 160; i += 2)
        samples.push_back(static_cast<std::int16_t>(speech[i] | (speech[i + 1] << 8)));
    const auto file = dir / "silence-then-speech.wav";
    test::writeSamples(file, samples);
    SpeechCoder coder(file, CoderMode::rate7_95);
    for (int k = 1; k <= 2; ++k) {
        ASSERT_EQ(coder.goToFrame(k), FrameStep::coded);
        EXPECT_EQ(coder.frameSnr(), 0.0);
        EXPECT_EQ(coder.segmentalSnr(), 0.0);
        EXPECT_EQ(coder.overallSnr(), 0.0);
        EXPECT_EQ(coder.signalEnergySum(), 0.0);
    }
    ASSERT_EQ(coder.goToFrame(3), FrameStep::coded);
    EXPECT_NE(coder.frameSnr(), 0.0);
    EXPECT_NEAR(coder.segmentalSnr(), coder.frameSnr() / 3.0, 1e-12);
    EXPECT_NEAR(coder.overallSnr(), coder.frameSnr(), 1e-9);  // only frame 3 has energy
}

// With a high-pass the filtered input never returns to exactly zero after
// speech (it decays through 1e-15 .. 1e-300); a frame whose input as read is
// silent stays silent whatever the filter: 0 dB in the segmental SNR, no
// signal energy, and no spectral distance.
TEST(QualityMeasures, FramesSilentAsReadStaySilentBehindTheHighPass) {
    test::TempDir dir;
    constexpr int kSpeechFrames = 30, kSilentFrames = 40;
    std::vector<std::int16_t> samples;
    const std::vector<std::uint8_t> speech = test::readBytes(test::samplePath());
    for (std::size_t i = 60 + 2 * 8000; samples.size() < kSpeechFrames * kFrameSamples; i += 2)
        samples.push_back(static_cast<std::int16_t>(speech.at(i) | (speech.at(i + 1) << 8)));
    samples.resize((kSpeechFrames + kSilentFrames) * kFrameSamples, 0);
    const auto file = dir / "speech-then-silence.wav";
    test::writeSamples(file, samples);
    for (const double hz : {100.0, 300.0}) {
        SCOPED_TRACE(hz);
        CoderSettings settings;
        settings.highPass = hz;
        SpeechCoder coder(file, CoderMode::rate12_2, settings);
        long double sumOfSnr = 0.0L, S = 0.0L, N = 0.0L;
        bool filteredNonZero = false;
        while (coder.nextFrame() == FrameStep::coded) {
            const FrameRecord& f = coder.currentFrame();
            const int frame = coder.frameCount();
            if (frame > kSpeechFrames) {
                for (double v : f.speech) filteredNonZero = filteredNonZero || v != 0.0;
                EXPECT_EQ(coder.frameSnr(), 0.0) << "frame " << frame;
                for (const SaveOption output : {SaveOption::synthesized, SaveOption::postProcessed})
                    for (SpectralMeasure measure : kAllSpectralMeasures)
                        EXPECT_FALSE(valueOf(measureRecord(f, output), measure))
                            << "frame " << frame << " " << infoOf(measure).key;
                for (double v : f.synthesizedSpeech) N += static_cast<long double>(v) * v;
            } else {
                for (int n = 0; n < kFrameSamples; ++n) {
                    const long double e =
                        static_cast<long double>(f.speech[n]) - f.synthesizedSpeech[n];
                    S += static_cast<long double>(f.speech[n]) * f.speech[n];
                    N += e * e;
                }
            }
            sumOfSnr += coder.frameSnr();
        }
        EXPECT_TRUE(filteredNonZero);  // the case the test is about did arise
        ASSERT_EQ(coder.frameCount(), kSpeechFrames + kSilentFrames);
        EXPECT_NEAR(coder.segmentalSnr(), static_cast<double>(sumOfSnr / coder.frameCount()), 1e-9);
        EXPECT_NEAR(coder.signalEnergySum(), static_cast<double>(S), 1e-9 * static_cast<double>(S));
        EXPECT_NEAR(coder.noiseEnergySum(), static_cast<double>(N), 1e-9 * static_cast<double>(N));
    }
}

}  // namespace
}  // namespace zorvel
