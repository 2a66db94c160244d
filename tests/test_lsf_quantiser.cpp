// The LSF quantiser on the speech sample in every mode: the mode's bits
// exactly, the decoder's sets bit for bit, stable filters at the stated
// spacing, every split's index the nearest codeword by a brute-force search
// of the test's own, a spectral distortion near transparency; the spacing
// rule, the weights against a long-double spectrum, refusals; the
// training's tables and determinism; the budgets' designs, exactly their
// bits, and what their bits buy on speech.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>

#include "coder/LpDistortion.h"
#include "coder/LsfQuantiser.h"
#include "coder/LsfTraining.h"
#include "tests/TestSupport.h"

namespace zorvel {
namespace {

const LsfTrainingFile& sampleSets() {
    static const LsfTrainingFile sets = analyseLsfSets(SpeechInput(test::samplePath()));
    return sets;
}

// The frames of the sample as the mode quantises them: (set I, set).
std::vector<std::array<LineSpectralFrequencies, 2>> framesOf(CoderMode mode) {
    if (rulesOf(mode).twoLpAnalyses) return sampleSets().twoSets;
    std::vector<std::array<LineSpectralFrequencies, 2>> frames;
    for (const LineSpectralFrequencies& f : sampleSets().oneSet) frames.push_back({f, f});
    return frames;
}

void expectSpaced(const LineSpectralFrequencies& f, int frame) {
    // delta added to a frequency may round by an ulp of it.
    const double slack = 4.0 * std::numeric_limits<double>::epsilon() * std::numbers::pi;
    EXPECT_GE(f[0], kLsfMinimumSpacing - slack) << "frame " << frame;
    for (int i = 1; i < kLpOrder; ++i)
        EXPECT_GE(f[i] - f[i - 1], kLsfMinimumSpacing - slack) << "frame " << frame << " i " << i;
    EXPECT_LE(f[kLpOrder - 1], std::numbers::pi - kLsfMinimumSpacing + slack) << "frame " << frame;
    EXPECT_TRUE(lpToLsf(lsfToLp(f)).has_value()) << "frame " << frame << ": not minimum phase";
}

// The split's index by brute force: e from the tables' mean and predictor,
// the weights c_i w_i, the distance to every codeword.
void expectNearest(const QuantiserTables& tables, const LsfQuantiserDesign& design,
                   const std::array<LineSpectralFrequencies, 2>& frame,
                   const LsfPredictorMemory& memory, const LsfIndices& indices, int n) {
    const std::vector<double>& m = tables.coefficients(lsfMeanName(design));
    const std::vector<double>& b = tables.coefficients(lsfPredictorName(design));
    const int sets = design.twoSets ? 2 : 1;
    for (int k = 0; k < design.splitCount; ++k) {
        const LsfSplit& split = design.splits[k];
        const Codebook& codebook = tables.codebook(lsfSplitName(design, k));
        double least = std::numeric_limits<double>::infinity();
        int expected = -1;
        for (int c = 0; c < codebook.size(); ++c) {
            double d = 0.0;
            for (int s = 0; s < sets; ++s) {
                const LineSpectralFrequencies& f = frame[design.twoSets ? s : 1];
                const std::array<double, kLpOrder> w = lsfWeights(f);
                for (int j = 0; j < split.dimension; ++j) {
                    const int i = split.first + j;
                    const double e =
                        f[i] - m[s * kLpOrder + i] - b[s * kLpOrder + i] * memory.residual[i];
                    const double diff = e - codebook[c][s * split.dimension + j];
                    d += w[i] * diff * diff;
                }
            }
            if (d < least) {
                least = d;
                expected = c;
            }
        }
        EXPECT_EQ(indices[k].index, expected) << "frame " << n << " split " << k;
    }
}

class LsfQuantiserModes : public ::testing::TestWithParam<int> {};

TEST_P(LsfQuantiserModes, CodesTheSampleInTheModesBitsAndDecodesBitForBit) {
    const CoderMode mode = test::modeNumbered(GetParam());
    const QuantiserTables& tables = defaultQuantiserTables();
    const LsfQuantiserDesign& design = lsfDesignOf(mode);
    EXPECT_EQ(design.bits, rulesOf(mode).lsfBits);
    EXPECT_EQ(design.twoSets, rulesOf(mode).twoLpAnalyses);
    const auto frames = framesOf(mode);
    ASSERT_GT(frames.size(), 250u);

    LsfPredictorMemory coder;
    LsfPredictorMemory decoder;
    SpectralDistortionStatistics sd;
    for (std::size_t n = 0; n < frames.size(); ++n) {
        const auto& frame = frames[n];
        const LsfPredictorMemory before = coder;
        const QuantisedLsf q = quantiseLsf(tables, mode, &frame[0], frame[1], coder);
        int bits = 0;
        for (int k = 0; k < kMaxLsfSplits; ++k) {
            bits += q.indices[k].bits;
            EXPECT_GE(q.indices[k].index, 0);
            EXPECT_LT(q.indices[k].index, 1 << q.indices[k].bits);
        }
        ASSERT_EQ(bits, rulesOf(mode).lsfBits) << "frame " << n;
        if (n % 7 == 0)
            expectNearest(tables, design, frame, before, q.indices, static_cast<int>(n));

        const QuantisedLsf d = decodeLsf(tables, mode, q.indices, decoder);
        ASSERT_EQ(d.setI, q.setI) << "frame " << n;
        ASSERT_EQ(d.setII, q.setII) << "frame " << n;
        ASSERT_EQ(decoder, coder) << "frame " << n;
        expectSpaced(q.setII, static_cast<int>(n));
        if (design.twoSets) {
            expectSpaced(q.setI, static_cast<int>(n));
            sd.add(spectralDistortion(lsfToLp(frame[0]), lsfToLp(q.setI)));
        } else {
            EXPECT_EQ(q.setI, q.setII);
        }
        sd.add(spectralDistortion(lsfToLp(frame[1]), lsfToLp(q.setII)));
    }
    // Polish speech the tables never heard, frames of silence included.
    EXPECT_LT(sd.mean(), design.bits >= 26 ? 1.3 : 1.5);
    EXPECT_LT(sd.largeShare(), 0.01);
}

INSTANTIATE_TEST_SUITE_P(Modes, LsfQuantiserModes, ::testing::Range(1, kModeCount + 1));

TEST(LsfQuantiser, SpacingSortsSpreadsAndKeepsWhatIsSpaced) {
    const double delta = kLsfMinimumSpacing;
    EXPECT_DOUBLE_EQ(delta, 2.0 * std::numbers::pi * 50.0 / 8000.0);
    LineSpectralFrequencies spaced{};
    for (int i = 0; i < kLpOrder; ++i) spaced[i] = 0.25 * (i + 1);
    EXPECT_EQ(spacedLsf(spaced), spaced);

    LineSpectralFrequencies reversed = spaced;
    std::reverse(reversed.begin(), reversed.end());
    EXPECT_EQ(spacedLsf(reversed), spaced);

    LineSpectralFrequencies crowded{};
    crowded.fill(1.0);
    crowded[0] = -0.5;  // below 0
    crowded[9] = 4.0;   // above pi
    const LineSpectralFrequencies f = spacedLsf(crowded);
    expectSpaced(f, 0);
    EXPECT_EQ(f[0], delta);
    EXPECT_EQ(f[1], 1.0);
    EXPECT_EQ(f[9], std::numbers::pi - delta);

    LineSpectralFrequencies top{};
    top.fill(3.14);
    const LineSpectralFrequencies g = spacedLsf(top);
    expectSpaced(g, 1);
    EXPECT_EQ(g[9], std::numbers::pi - delta);
}

TEST(LsfQuantiser, WeightsArePowersOfTheLpSpectrumAtEachFrequency) {
    std::mt19937 rng(test::testSeed());
    for (int trial = 0; trial < 50; ++trial) {
        LpCoeffs a{};
        test::stableCoefficients(rng, a);
        const std::optional<LineSpectralFrequencies> f = lpToLsf(a);
        ASSERT_TRUE(f.has_value());
        const std::array<double, kLpOrder> w = lsfWeights(*f);
        for (int i = 0; i < kLpOrder; ++i) {
            std::complex<long double> value = 0.0L;
            const std::complex<long double> z =
                std::polar(1.0L, -static_cast<long double>((*f)[i]));
            for (int n = kLpOrder; n >= 0; --n) value = value * z + static_cast<long double>(a[n]);
            const long double c = i < 8 ? 1.0L : (i == 8 ? 0.8L : 0.4L);
            const long double expected = c * std::pow(1.0L / std::norm(value), 0.15L);
            EXPECT_NEAR(w[i], static_cast<double>(expected), 1e-9 * expected)
                << "trial " << trial << " i " << i;
        }
    }
}

TEST(LsfQuantiser, RefusesTablesAndIndicesThatDoNotFit) {
    const QuantiserTables& tables = defaultQuantiserTables();
    const LineSpectralFrequencies f = sampleSets().oneSet.at(100);
    LsfPredictorMemory memory;
    EXPECT_THROW(quantiseLsf(tables, CoderMode::rate12_2, nullptr, f, memory),
                 std::invalid_argument);

    QuantiserTables lacking = tables;
    QuantiserTables partial;
    for (const auto& [name, codebook] : tables.codebooks())
        if (name != "lsf23/split2") partial.setCodebook(name, codebook);
    for (const auto& [name, values] : tables.coefficientVectors())
        partial.setCoefficients(name, values);
    try {
        quantiseLsf(partial, CoderMode::rate4_75, nullptr, f, memory);
        ADD_FAILURE();
    } catch (const QuantiserTablesError& error) {
        EXPECT_EQ(error.problem(), TablesProblem::missingTable);
    }
    EXPECT_THROW(checkLsfTables(partial), QuantiserTablesError);
    EXPECT_NO_THROW(quantiseLsf(partial, CoderMode::rate10_2, nullptr, f, memory));

    Codebook small = tables.codebook("lsf26/split1");
    small.values.resize(small.values.size() / 2);
    lacking.setCodebook("lsf26/split1", small);
    try {
        quantiseLsf(lacking, CoderMode::rate10_2, nullptr, f, memory);
        ADD_FAILURE();
    } catch (const QuantiserTablesError& error) {
        EXPECT_EQ(error.problem(), TablesProblem::wrongShape);
        EXPECT_NE(std::string(error.what()).find("512 codewords of dimension 3"), std::string::npos)
            << error.what();
    }

    LsfPredictorMemory decoder;
    const LsfPredictorMemory untouched = decoder;
    LsfIndices indices = quantiseLsf(tables, CoderMode::rate5_15, nullptr, f, memory).indices;
    indices[1].index = 1 << indices[1].bits;
    EXPECT_THROW(decodeLsf(tables, CoderMode::rate5_15, indices, decoder), std::invalid_argument);
    indices[1].index = 0;
    indices[1].bits += 1;
    EXPECT_THROW(decodeLsf(tables, CoderMode::rate5_15, indices, decoder), std::invalid_argument);
    EXPECT_EQ(decoder, untouched);
}

TEST(LsfTraining, TrainsEveryTableOnceAndTheSameTwice) {
    const std::vector<LsfTrainingFile> files{sampleSets(), sampleSets()};
    QuantiserTables first;
    trainLsfTables(files, first);
    EXPECT_NO_THROW(checkLsfTables(first));
    QuantiserTables second;
    trainLsfTables(files, second);
    EXPECT_EQ(tablesBytes(first), tablesBytes(second));

    // The predictor's coefficients lie on their grid; the designs of one kind share the mean and
    // the predictor, and 26 and 27 bits the codebooks of the splits they code alike.
    for (const LsfQuantiserDesign& design : kLsfQuantiserDesigns) {
        const std::vector<double>& b = first.coefficients(lsfPredictorName(design));
        for (std::size_t j = 0; j < b.size(); ++j) {
            EXPECT_GE(b[j], 0.0);
            EXPECT_LE(b[j], 0.95);
            EXPECT_EQ(b[j], std::round(b[j] * 100.0) / 100.0) << j;
        }
    }
    // Set I is predicted as set II is.
    const std::vector<double>& b38 = first.coefficients("lsf38/predictor");
    EXPECT_EQ(std::vector<double>(b38.begin(), b38.begin() + kLpOrder),
              std::vector<double>(b38.begin() + kLpOrder, b38.end()));
    EXPECT_EQ(first.coefficients("lsf26/mean"), first.coefficients("lsf23/mean"));
    EXPECT_EQ(first.codebook("lsf26/split2"), first.codebook("lsf27/split2"));
    // The 256-codeword codebook of split 0 is the 512-codeword run's.
    EXPECT_EQ(first.codebook("lsf26/split0").size(), 256);
    EXPECT_EQ(first.codebook("lsf27/split0").size(), 512);

    // The mean is the frames' mean.
    std::array<long double, kLpOrder> mean{};
    for (const LineSpectralFrequencies& f : sampleSets().oneSet)
        for (int i = 0; i < kLpOrder; ++i) mean[i] += f[i];
    for (int i = 0; i < kLpOrder; ++i)
        EXPECT_NEAR(first.coefficients("lsf26/mean")[i],
                    static_cast<double>(mean[i] / sampleSets().oneSet.size()), 1e-12);

    EXPECT_THROW(trainLsfTables(std::vector<LsfTrainingFile>(1), first), std::invalid_argument);
}

TEST(LsfBudgets, EveryBudgetCodesTheTenComponentsInExactlyItsBits) {
    for (int bits = kLeastLsfBudgetBits; bits <= kMostLsfBudgetBits; ++bits) {
        const LsfQuantiserDesign design = lsfBudgetDesign(bits);
        EXPECT_EQ(design.bits, bits);
        EXPECT_FALSE(design.twoSets);
        ASSERT_EQ(design.splitCount, 3) << bits;
        int sum = 0;
        int next = 0;
        for (int k = 0; k < design.splitCount; ++k) {
            const LsfSplit& split = design.splits[k];
            EXPECT_EQ(split.first, next) << bits << " split " << k;
            next += split.dimension;
            sum += split.bits;
            // As even as whole bits go, the higher splits never fewer.
            EXPECT_TRUE(split.bits == bits / 3 || split.bits == bits / 3 + 1) << bits;
            if (k > 0) {
                EXPECT_GE(split.bits, design.splits[k - 1].bits) << bits;
            }
        }
        EXPECT_EQ(next, kLpOrder) << bits;
        EXPECT_EQ(sum, bits);
        EXPECT_EQ(design.splits[0].dimension, 3);
        EXPECT_EQ(design.splits[2].dimension, 4);
    }
    // The rule gives the modes' one-set designs.
    EXPECT_EQ(lsfBudgetDesign(23), lsfDesignOf(CoderMode::rate4_75));
    EXPECT_EQ(lsfBudgetDesign(26), lsfDesignOf(CoderMode::rate10_2));
    EXPECT_EQ(lsfBudgetDesign(27), lsfDesignOf(CoderMode::rate7_95));
    EXPECT_THROW(lsfBudgetDesign(kLeastLsfBudgetBits - 1), std::invalid_argument);
    EXPECT_THROW(lsfBudgetDesign(kMostLsfBudgetBits + 1), std::invalid_argument);
}

TEST(LsfBudgets, MoreBitsLessDistortionOnSpeechAndEachBudgetAsIfTrainedAlone) {
    // Trained on the first two thirds of the sample as framed from its
    // start and from 40, 80 and 120 samples in (other LP analyses of the same
    // speech: four times the training vectors) and measured on the last
    // third as the coder frames it.
    test::TempDir dir;
    const std::vector<std::int16_t> samples = test::sampleSamples();
    const auto firstThirds = [](const LsfTrainingFile& file) {
        LsfTrainingFile head;
        const auto cut = static_cast<std::ptrdiff_t>(2 * file.oneSet.size() / 3);
        head.oneSet.assign(file.oneSet.begin(), file.oneSet.begin() + cut);
        head.twoSets.assign(
            file.twoSets.begin(),
            file.twoSets.begin() + std::min(cut, static_cast<std::ptrdiff_t>(file.twoSets.size())));
        head.frames = cut;
        return head;
    };
    std::vector<LsfTrainingFile> training;
    for (const int shift : {0, 40, 80, 120}) {
        const std::filesystem::path file = dir / ("shifted" + std::to_string(shift) + ".raw");
        test::writeSamples(file, std::vector<std::int16_t>(samples.begin() + shift, samples.end()));
        training.push_back(firstThirds(analyseLsfSets(SpeechInput(file))));
    }
    const std::vector<LineSpectralFrequencies>& frames = sampleSets().oneSet;
    LsfTrainingFile tail;
    tail.oneSet.assign(frames.begin() + static_cast<std::ptrdiff_t>(2 * frames.size() / 3),
                       frames.end());
    tail.frames = static_cast<std::int64_t>(tail.oneSet.size());
    const std::vector<LsfTrainingFile> heldOut{tail};

    std::vector<LsfQuantiserDesign> designs;
    for (int bits = kLeastLsfBudgetBits; bits <= 24; bits += 2)
        designs.push_back(lsfBudgetDesign(bits));
    QuantiserTables tables;
    trainLsfDesigns(training, designs, tables, 2);
    const std::vector<LsfDistortion> held = measureLsfDesigns(tables, designs, heldOut, 2);
    const std::vector<LsfDistortion> trained = measureLsfDesigns(tables, designs, training);
    ASSERT_EQ(held.size(), designs.size());
    for (std::size_t j = 0; j < designs.size(); ++j) {
        EXPECT_EQ(held[j].design, designs[j]);
        EXPECT_EQ(held[j].set.frames(), static_cast<std::int64_t>(tail.oneSet.size()));
        EXPECT_EQ(held[j].setI.frames(), 0);
        EXPECT_GT(held[j].set.mean(), 0.0);
        if (j == 0) continue;
        EXPECT_LT(held[j].set.mean(), held[j - 1].set.mean()) << designs[j].bits << " bits";
        EXPECT_LT(trained[j].set.mean(), trained[j - 1].set.mean()) << designs[j].bits << " bits";
    }
    // Speech it was not trained on is coded worse than the speech it was.
    EXPECT_GT(held.back().set.mean(), trained.back().set.mean());

    // A budget trained alone gets the tables it got beside the others (the
    // smaller codebooks of a run do not depend on its end), and one thread
    // measures what two did.
    QuantiserTables alone;
    const std::array<LsfQuantiserDesign, 1> one{lsfBudgetDesign(22)};
    trainLsfDesigns(training, one, alone);
    for (int k = 0; k < one[0].splitCount; ++k)
        EXPECT_EQ(alone.codebook(lsfSplitName(one[0], k)), tables.codebook(lsfSplitName(one[0], k)))
            << k;
    EXPECT_EQ(alone.coefficients(lsfPredictorName(one[0])),
              tables.coefficients(lsfPredictorName(one[0])));
    const LsfDistortion single = measureLsfDesigns(alone, one, heldOut).front();
    EXPECT_EQ(single.set.mean(), held[2].set.mean());
    EXPECT_EQ(single.set.maximum(), held[2].set.maximum());

    // The mode designs, measured through the budget's path, are measured
    // as the modes' own.
    QuantiserTables modes;
    trainLsfTables(training, modes);
    const std::array<LsfQuantiserDesign, 1> budget26{lsfBudgetDesign(26)};
    const std::vector<LsfDistortion> viaModes = measureLsfQuantisers(modes, heldOut);
    EXPECT_EQ(measureLsfDesigns(modes, budget26, heldOut).front().set.mean(),
              viaModes[2].set.mean());
}

}  // namespace
}  // namespace zorvel
