// The quantised coder (quantisation=on): every frame is exactly its mode's
// bits, in every mode and with the settings that shape what is sent; every
// parameter the coder used is rebuilt from the indices alone, as a decoder
// would rebuild it; the gain quantisers refuse tables that do not fit and
// train by steps that never raise their error; and quantising costs at most
// the segmental SNR it may.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "coder/GainQuantiser.h"
#include "coder/GainTraining.h"
#include "coder/LagCodes.h"
#include "coder/LsfQuantiser.h"
#include "coder/PulseCodes.h"
#include "coder/SpeechCoder.h"
#include "coder/Subframe.h"
#include "tests/TestSupport.h"

namespace zorvel {
namespace {

namespace fs = std::filesystem;

// Speech is not all a coder meets: full-scale noise, digital silence, a
// full-scale square wave and samples of +-1, one after another.
fs::path stressInput(const test::TempDir& dir) {
    std::vector<std::int16_t> samples;
    std::mt19937 rng(test::testSeed());
    std::uniform_int_distribution<int> full(-32768, 32767);
    for (int n = 0; n < 50 * kFrameSamples; ++n)
        samples.push_back(static_cast<std::int16_t>(full(rng)));
    samples.insert(samples.end(), 20 * kFrameSamples, 0);
    for (int n = 0; n < 30 * kFrameSamples; ++n) samples.push_back(n % 8 < 4 ? 32767 : -32768);
    for (int n = 0; n < 20 * kFrameSamples; ++n) samples.push_back(n % 3 == 0 ? 1 : -1);
    const fs::path file = dir / "stress.wav";
    test::writeSamples(file, samples);
    return file;
}

using CodeVector = std::array<double, kSubframeSamples>;

// What a decoder keeps from frame to frame.
struct DecoderMemory {
    LsfPredictorMemory lsf{};
    GainPredictorMemory gains{};
};

// The parameters of one frame rebuilt from its code alone, each compared with
// what the coder used.
void expectDecodable(CoderMode mode, const FrameRecord& frame, const GainQuantiser& quantiser,
                     DecoderMemory& memory, const std::string& where) {
    const CoderModeRules& rules = rulesOf(mode);
    const FrameCode& code = frame.code;
    ASSERT_EQ(code.bits(), rules.frameBits) << where;
    int k = 0;
    LsfIndices lsf{};
    for (; k < code.count && code.codes[k].parameter == CodedParameter::lsf; ++k)
        lsf[k] = {static_cast<std::int32_t>(code.codes[k].index), code.codes[k].bits};
    EXPECT_EQ(code.bitsOf(CodedParameter::lsf), rules.lsfBits) << where;
    const QuantisedLsf q = decodeLsf(defaultQuantiserTables(), mode, lsf, memory.lsf);
    EXPECT_EQ(q.setI, frame.lsfQuantisedI) << where;
    EXPECT_EQ(q.setII, frame.lsfQuantisedII) << where;
    EXPECT_EQ(memory.lsf.residual, frame.lsfPredictorResidual) << where;
    EXPECT_EQ(lsfToLp(q.setII), frame.lpCoeffsQuantisedII) << where;

    std::array<CodeVector, kSubframes> codeVectors{};
    int previousLag6 = 0;
    for (int a = 0; a < kSubframes; ++a) {
        const std::string at = where + " subframe " + std::to_string(a);
        ASSERT_LT(k + 1, code.count) << at;
        // The lag.
        const ParameterCode& lag = code.codes[k++];
        ASSERT_EQ(lag.parameter, CodedParameter::pitchLag) << at;
        const LagCode& lagCode = rules.lagCodes[a];
        const LagCodebook lags =
            lagCode.coding == LagCoding::absolute
                ? LagCodebook::absolute(lagCode.bits, PitchResolution::whole)
                : LagCodebook::relative(lagCode.bits, PitchResolution::whole, previousLag6);
        EXPECT_EQ(lag.bits, lagCode.bits) << at;
        previousLag6 = lags.lagOf(static_cast<int>(lag.index));
        EXPECT_EQ(previousLag6, std::lround(frame.pitchLagFine[a] * kLagSixths)) << at;
        // The pulses.
        const ParameterCode& pulses = code.codes[k++];
        ASSERT_EQ(pulses.parameter, CodedParameter::pulses) << at;
        EXPECT_EQ(pulses.bits, pulseCodeBits(mode)) << at;
        const CodedPulses sent = decodePulses(mode, a, pulses.index);
        for (int p = 0; p < kPulsesPerSubframe; ++p) {
            EXPECT_EQ(sent.positions[p], frame.pulsePositions[a * kPulsesPerSubframe + p]) << at;
            if (sent.positions[p] != kNoPulse) codeVectors[a][sent.positions[p]] += sent.signs[p];
        }
        // The gains.
        switch (rules.gainCoding) {
            case GainCoding::scalar: {
                const ParameterCode& gp = code.codes[k++];
                const ParameterCode& g = code.codes[k++];
                ASSERT_EQ(gp.parameter, CodedParameter::pitchGain) << at;
                ASSERT_EQ(g.parameter, CodedParameter::correction) << at;
                EXPECT_EQ(quantiser.pitchGain(static_cast<int>(gp.index)),
                          frame.pitchGainApplied[a])
                    << at;
                const double correction = quantiser.correction(static_cast<int>(g.index));
                EXPECT_EQ(correction * quantiser.predictedGain(memory.gains,
                                                               codeVectorEnergyDb(codeVectors[a])),
                          frame.codebookGainApplied[a])
                    << at;
                GainQuantiser::remember(memory.gains, correction);
                break;
            }
            case GainCoding::joint: {
                const ParameterCode& gains = code.codes[k++];
                ASSERT_EQ(gains.parameter, CodedParameter::gains) << at;
                const QuantisedGains decoded = quantiser.jointGains(
                    static_cast<int>(gains.index),
                    quantiser.predictedGain(memory.gains, codeVectorEnergyDb(codeVectors[a])));
                EXPECT_EQ(decoded.pitchGain, frame.pitchGainApplied[a]) << at;
                EXPECT_EQ(decoded.codebookGain, frame.codebookGainApplied[a]) << at;
                GainQuantiser::remember(memory.gains, decoded.correction);
                break;
            }
            case GainCoding::jointPair: {
                if (a % 2 == 0) break;
                const ParameterCode& gains = code.codes[k++];
                ASSERT_EQ(gains.parameter, CodedParameter::gains) << at;
                EXPECT_EQ(gains.subframe, a - 1) << at;
                for (int which = 0; which < 2; ++which) {
                    const int b = a - 1 + which;
                    const QuantisedGains decoded =
                        quantiser.pairGains(static_cast<int>(gains.index), which, memory.gains,
                                            codeVectorEnergyDb(codeVectors[b]));
                    EXPECT_EQ(decoded.pitchGain, frame.pitchGainApplied[b]) << at;
                    EXPECT_EQ(decoded.codebookGain, frame.codebookGainApplied[b]) << at;
                    GainQuantiser::remember(memory.gains, decoded.correction);
                }
                break;
            }
        }
    }
    EXPECT_EQ(k, code.count) << where;
    EXPECT_EQ(memory.gains, frame.gainPredictorErrors) << where;
}

// Mode 1..8, and the input: the sample or the stress signal.
class QuantisedFrames : public ::testing::TestWithParam<std::tuple<int, bool>> {};

TEST_P(QuantisedFrames, AreTheModesBitsAndDecodeToWhatTheCoderUsed) {
    const auto [number, stress] = GetParam();
    const CoderMode mode = test::modeNumbered(number);
    test::TempDir dir;
    const fs::path input = stress ? stressInput(dir) : test::samplePath();
    const GainQuantiser quantiser(defaultQuantiserTables(), mode);
    // The settings that change what is sent or how the synthesis is formed.
    const std::vector<std::vector<std::string>> variants{
        {}, {"lp-interpolation=lsf"}, {"high-pass=80", "adaptive-codebook=off"}};
    for (const std::vector<std::string>& variant : variants) {
        CoderSettings settings{.quantisation = true};
        ASSERT_FALSE(applySettings(settings, variant));
        SpeechCoder coder(input, mode, settings);
        coder.setCheckpoints(nullptr);
        DecoderMemory memory;
        while (coder.nextFrame() == FrameStep::coded) {
            const std::string where =
                settingsSummary(settings) + " frame " + std::to_string(coder.frameCount());
            expectDecodable(mode, coder.currentFrame(), quantiser, memory, where);
            const FrameRecord& frame = coder.currentFrame();
            for (double s : frame.synthesizedSpeech) ASSERT_TRUE(std::isfinite(s)) << where;
            if (::testing::Test::HasFailure()) return;
        }
        EXPECT_GT(coder.frameCount(), 100);
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, QuantisedFrames,
                         ::testing::Combine(::testing::Range(1, kModeCount + 1),
                                            ::testing::Bool()));

// With a finer pitch resolution the lags a code holds are its fractions: the
// search keeps to them, and the code sends every lag it chose.
TEST(QuantisedLags, FractionalLagsAreSentAsFound) {
    for (const PitchResolution resolution : {PitchResolution::third, PitchResolution::sixth}) {
        for (const CoderMode mode :
             {CoderMode::rate12_2, CoderMode::rate7_95, CoderMode::rate4_75}) {
            SpeechCoder coder(test::samplePath(), mode,
                              {.pitchResolution = resolution, .quantisation = true});
            coder.setCheckpoints(nullptr);
            int fractional = 0;
            while (coder.nextFrame() == FrameStep::coded) {
                const FrameRecord& frame = coder.currentFrame();
                int previous = 0;
                int k = 0;
                while (frame.code.codes[k].parameter == CodedParameter::lsf) ++k;
                for (int a = 0; a < kSubframes; ++a) {
                    while (frame.code.codes[k].parameter != CodedParameter::pitchLag) ++k;
                    const LagCode& lagCode = rulesOf(mode).lagCodes[a];
                    const LagCodebook lags =
                        lagCode.coding == LagCoding::absolute
                            ? LagCodebook::absolute(lagCode.bits, resolution)
                            : LagCodebook::relative(lagCode.bits, resolution, previous);
                    previous = lags.lagOf(static_cast<int>(frame.code.codes[k++].index));
                    ASSERT_EQ(previous, std::lround(frame.pitchLagFine[a] * kLagSixths));
                    fractional += previous % kLagSixths != 0 ? 1 : 0;
                }
            }
            // 4.75 sends fractions only in subframe 0: its relative codes are too
            // short for a fine grid.
            EXPECT_GT(fractional, mode == CoderMode::rate4_75 ? 20 : 100) << rulesOf(mode).rate;
        }
    }
}

// Quantising costs at most 1.5 dB of segmental SNR at 12.2 and 10.2 and
// 2.5 dB at the other rates, on the sample.
TEST(QuantisedCoder, CostsAtMostItsShareOfSegmentalSnr) {
    for (const CoderMode mode : kAllCoderModes) {
        const auto segmental = [&](bool quantised) {
            SpeechCoder coder(test::samplePath(), mode, {.quantisation = quantised});
            coder.setCheckpoints(nullptr);
            while (coder.nextFrame() == FrameStep::coded) {
            }
            return coder.segmentalSnr();
        };
        const double cost = segmental(false) - segmental(true);
        const double allowed = rulesOf(mode).frameBits >= 200 ? 1.5 : 2.5;
        EXPECT_LE(cost, allowed) << rulesOf(mode).rate;
        EXPECT_GT(cost, 0.0) << rulesOf(mode).rate << ": the bits cost nothing?";
    }
}

TEST(GainQuantiserTables, ATableMissingOrOfAnotherShapeIsRefusedWithItsName) {
    const QuantiserTables& tables = defaultQuantiserTables();
    for (const CoderMode mode : kAllCoderModes) EXPECT_NO_THROW(GainQuantiser(tables, mode));
    const auto problemWith = [](const QuantiserTables& t, CoderMode mode) {
        try {
            GainQuantiser quantiser(t, mode);
        } catch (const QuantiserTablesError& error) {
            return std::pair(error.problem(), std::string(error.what()));
        }
        return std::pair(TablesProblem::truncated, std::string("accepted"));
    };
    QuantiserTables missing = tables;
    missing = QuantiserTables{};
    for (const auto& [name, codebook] : tables.codebooks())
        if (name != "gain7/codebook") missing.setCodebook(name, codebook);
    for (const auto& [name, values] : tables.coefficientVectors())
        missing.setCoefficients(name, values);
    EXPECT_EQ(problemWith(missing, CoderMode::rate7_40).first, TablesProblem::missingTable);
    EXPECT_NO_THROW(GainQuantiser(missing, CoderMode::rate12_2));

    QuantiserTables shorter = tables;
    shorter.setCoefficients("gain9/predictor", {0.5, 0.5});
    const auto [problem, message] = problemWith(shorter, CoderMode::rate7_95);
    EXPECT_EQ(problem, TablesProblem::wrongShape);
    EXPECT_NE(message.find("gain9/predictor"), std::string::npos) << message;

    // A correction of zero would leave the memory its logarithm's -infinity.
    QuantiserTables zero = tables;
    Codebook pair = tables.codebook("gain8pair/codebook");
    pair.values[3] = 0.0;
    zero.setCodebook("gain8pair/codebook", pair);
    EXPECT_EQ(problemWith(zero, CoderMode::rate4_75).first, TablesProblem::wrongShape);

    // And a coder of such tables is never made.
    EXPECT_THROW(SpeechCoder(SpeechInput(test::samplePath()), CoderMode::rate4_75,
                             {.quantisation = true}, std::make_shared<QuantiserTables>(zero)),
                 QuantiserTablesError);
}

// The generalised Lloyd training of a joint codebook: no step raises the
// mean error, splitting included, and the codebook has its size.
TEST(GainTraining, NoStepRaisesTheErrorAndTheCodebookHasItsSize) {
    std::mt19937 rng(test::testSeed());
    std::normal_distribution<double> noise(0.0, 1.0);
    std::uniform_real_distribution<double> gain(0.0, 1.2);
    for (const int partsPerItem : {1, 2}) {
        std::vector<std::array<double, 5>> parts;
        for (int n = 0; n < 3000 * partsPerItem; ++n) {
            std::array<double, kSubframeSamples> x{}, y{}, z{};
            const double gp = gain(rng);
            const double gc = std::exp(noise(rng) * 0.5);
            for (int i = 0; i < kSubframeSamples; ++i) {
                y[i] = noise(rng);
                z[i] = noise(rng);
                x[i] = gp * y[i] + gc * z[i] + 0.3 * noise(rng);
            }
            const GainCorrelations r = gainCorrelations(x, y, z);
            parts.push_back({r.xy / r.xx, r.xz / r.xx, r.yy / r.xx, r.zz / r.xx, r.yz / r.xx});
        }
        const JointTraining trained = trainJointGains(parts, partsPerItem, 6);
        ASSERT_EQ(trained.codebook.size(), static_cast<std::size_t>(64 * 2 * partsPerItem));
        ASSERT_GT(trained.errors.size(), 12u);
        for (std::size_t k = 1; k < trained.errors.size(); ++k)
            EXPECT_LE(trained.errors[k], trained.errors[k - 1] * (1.0 + 1e-12)) << k;
        EXPECT_LT(trained.errors.back(), 0.5 * trained.errors.front());
        for (std::size_t k = 0; k < trained.codebook.size(); k += 2) {
            EXPECT_GE(trained.codebook[k], 0.0);
            EXPECT_LE(trained.codebook[k], kMaxQuantisedPitchGain);
            EXPECT_GT(trained.codebook[k + 1], 0.0);
        }
    }
}

}  // namespace
}  // namespace zorvel
