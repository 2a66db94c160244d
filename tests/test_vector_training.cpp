// LBG training under a weighted squared distance: every step lowers the
// training distortion or keeps it, the distortions recorded are those of a
// brute-force nearest-neighbour search, the first codeword is the weighted
// centroid, runs repeat bit for bit; the nearest-codeword search against
// brute force.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <random>

#include "coder/VectorTraining.h"
#include "tests/TestSupport.h"

namespace zorvel {
namespace {

// Vectors around a few centres, with weights of 0.5..2 per component.
TrainingVectors clusteredVectors(int dimension, int count, std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0.0, 0.1);
    std::uniform_real_distribution<double> centre(-1.0, 1.0);
    std::uniform_real_distribution<double> weight(0.5, 2.0);
    std::vector<std::vector<double>> centres(7, std::vector<double>(dimension));
    for (auto& c : centres)
        for (double& v : c) v = centre(rng);
    TrainingVectors vectors(dimension);
    std::vector<double> x(dimension);
    std::vector<double> w(dimension);
    for (int n = 0; n < count; ++n) {
        const auto& c = centres[n % centres.size()];
        for (int i = 0; i < dimension; ++i) {
            x[i] = c[i] + noise(rng) * (1 + i);
            w[i] = weight(rng);
        }
        vectors.add(x, w);
    }
    return vectors;
}

// D of `codebook` by a search through every codeword.
double bruteForceDistortion(const TrainingVectors& training, const Codebook& codebook) {
    double sum = 0.0;
    for (std::size_t n = 0; n < training.count(); ++n) {
        double best = std::numeric_limits<double>::infinity();
        for (int k = 0; k < codebook.size(); ++k)
            best = std::min(best,
                            weightedDistance(training.vector(n), codebook[k], training.weights(n)));
        sum += best;
    }
    return sum / static_cast<double>(training.count());
}

class LbgTraining : public ::testing::TestWithParam<int> {};

TEST_P(LbgTraining, EveryStepLowersTheDistortionOfABruteForceAssignment) {
    const int dimension = GetParam();
    const std::uint32_t seed = test::testSeed();
    const TrainingVectors training = clusteredVectors(dimension, 3000, seed);
    const int bits = 7;
    const LbgResult result = trainLbg(training, bits);

    ASSERT_EQ(result.codebooks.size(), static_cast<std::size_t>(bits + 1));
    for (int b = 0; b <= bits; ++b) {
        EXPECT_EQ(result.codebooks[b].size(), 1 << b);
        EXPECT_EQ(result.codebooks[b].dimension, dimension);
    }
    ASSERT_GE(result.steps.size(), 2u);
    for (std::size_t s = 1; s < result.steps.size(); ++s) {
        EXPECT_LE(result.steps[s].distortion, result.steps[s - 1].distortion)
            << "step " << s << " (size " << result.steps[s].size << ")";
        // Within a size, a step that lowers D by more than the stop ratio
        // is followed by another; the last step of a size lowers it by less.
        if (result.steps[s].size == result.steps[s - 1].size && s + 1 < result.steps.size() &&
            result.steps[s + 1].size == result.steps[s].size) {
            EXPECT_GT(result.steps[s - 1].distortion - result.steps[s].distortion,
                      kStopRatio * result.steps[s - 1].distortion)
                << "step " << s;
        }
    }
    // The last step recorded of each size is the D of the codebook kept, and
    // the faster search found nearest codewords.
    for (std::size_t s = 0; s < result.steps.size(); ++s) {
        if (s + 1 < result.steps.size() && result.steps[s + 1].size == result.steps[s].size)
            continue;
        const int b = std::countr_zero(static_cast<unsigned>(result.steps[s].size));
        const double expected = bruteForceDistortion(training, result.codebooks[b]);
        EXPECT_NEAR(result.steps[s].distortion, expected, 1e-12 * expected) << "size " << (1 << b);
    }
    // More codewords, less distortion: clusters of seven centres are found.
    EXPECT_LT(result.steps.back().distortion, 0.2 * result.steps.front().distortion);

    // The same vectors give the same codebooks.
    const LbgResult again = trainLbg(training, bits);
    EXPECT_EQ(again.codebooks, result.codebooks);
}

INSTANTIATE_TEST_SUITE_P(Dimensions, LbgTraining, ::testing::Values(1, 2, 3, 4, 8));

TEST(LbgTraining, TheFirstCodewordIsTheWeightedCentroid) {
    const TrainingVectors training = clusteredVectors(3, 500, test::testSeed());
    const LbgResult result = trainLbg(training, 0);
    const Codebook& one = result.codebooks.at(0);
    for (int i = 0; i < 3; ++i) {
        long double wx = 0.0L;
        long double w = 0.0L;
        for (std::size_t n = 0; n < training.count(); ++n) {
            wx += static_cast<long double>(training.weights(n)[i]) * training.vector(n)[i];
            w += training.weights(n)[i];
        }
        EXPECT_NEAR(one[0][i], static_cast<double>(wx / w), 1e-13) << "component " << i;
    }
}

TEST(LbgTraining, FewerDistinctVectorsThanCodewordsEndAtNoDistortion) {
    TrainingVectors training(2);
    const std::vector<double> w{1.0, 3.0};
    for (int n = 0; n < 60; ++n) {
        const std::vector<double> x{static_cast<double>(n % 3), static_cast<double>(n % 5)};
        training.add(x, w);
    }
    const LbgResult result = trainLbg(training, 5);  // 32 codewords for 15 points
    for (std::size_t s = 1; s < result.steps.size(); ++s)
        EXPECT_LE(result.steps[s].distortion, result.steps[s - 1].distortion) << "step " << s;
    EXPECT_EQ(bruteForceDistortion(training, result.codebooks.back()), 0.0);
}

TEST(LbgTraining, RefusesWhatItCannotTrain) {
    TrainingVectors training(3);
    EXPECT_THROW(trainLbg(training, 2), std::invalid_argument);  // no vectors
    const std::vector<double> two{1.0, 2.0};
    const std::vector<double> three{1.0, 2.0, 3.0};
    EXPECT_THROW(training.add(two, three), std::invalid_argument);
    EXPECT_THROW(training.add(three, two), std::invalid_argument);
    training.add(three, three);
    EXPECT_THROW(trainLbg(training, 17), std::invalid_argument);
    EXPECT_THROW(trainLbg(training, -1), std::invalid_argument);
}

TEST(NearestCodeword, IsTheFirstOfTheNearestByBruteForce) {
    const std::uint32_t seed = test::testSeed();
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    std::uniform_real_distribution<double> weight(0.1, 3.0);
    for (int trial = 0; trial < 300; ++trial) {
        const int dimension = 1 + trial % 8;
        Codebook codebook{dimension, {}};
        for (int k = 0; k < 64 * dimension; ++k) codebook.values.push_back(value(rng));
        // A repeated codeword: the first of the two is the answer.
        for (int i = 0; i < dimension; ++i)
            codebook.values[40 * dimension + i] = codebook.values[9 * dimension + i];
        std::vector<double> x(dimension);
        std::vector<double> w(dimension);
        for (int i = 0; i < dimension; ++i) {
            x[i] = trial % 5 == 0 ? codebook[9][i] : value(rng);
            w[i] = weight(rng);
        }
        int expected = 0;
        for (int k = 1; k < codebook.size(); ++k)
            if (weightedDistance(x, codebook[k], w) < weightedDistance(x, codebook[expected], w))
                expected = k;
        EXPECT_EQ(nearestCodeword(codebook, x, w), expected) << "trial " << trial;
    }
}

}  // namespace
}  // namespace zorvel
