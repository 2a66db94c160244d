// Filter primitives against independent references: difference equations in
// long double, impulse responses convolved, and block-wise filtering.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <stdexcept>
#include <vector>

#include "coder/Filters.h"
#include "tests/TestSupport.h"

namespace zorvel {
namespace {

constexpr int kN = 160;

LpCoeffs stableCoeffs() {
    // A(z) of a resonant but stable 10th-order predictor (poles well inside the unit circle).
    return {1.0, -1.2, 0.9, -0.45, 0.2, -0.1, 0.05, -0.02, 0.01, -0.005, 0.002};
}

std::vector<double> randomSignal(std::mt19937& rng, int n, double scale) {
    std::normal_distribution<double> dist(0.0, scale);
    std::vector<double> x(n);
    for (double& v : x) v = dist(rng);
    return x;
}

// y(i) = x(i) + sum_j g1^j a_j x(i-j) - sum_j g2^j a_j y(i-j), zero past.
std::vector<long double> referencePoleZero(const LpCoeffs& a, double g1, double g2,
                                           const std::vector<double>& x) {
    std::vector<long double> y(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) {
        long double acc = x[i];
        for (int j = 1; j <= kLpOrder && j <= static_cast<int>(i); ++j) {
            acc += std::pow(static_cast<long double>(g1), j) * a[j] * x[i - j];
            acc -= std::pow(static_cast<long double>(g2), j) * a[j] * y[i - j];
        }
        y[i] = acc;
    }
    return y;
}

TEST(SynthesisFilter, ZerosInZerosOut) {
    const Signal zero{};
    Signal y;
    y.fill(7.0);
    synthesisFilter(stableCoeffs(), zero, zero, y);
    for (double v : y) EXPECT_EQ(v, 0.0);
}

TEST(SynthesisFilter, InvertedByTheInverseFilter) {
    std::mt19937 rng(test::testSeed());
    const auto x = randomSignal(rng, kN, 1000.0);
    const LpCoeffs a = stableCoeffs();
    const Signal zero{};
    Signal y{};
    synthesisFilter(a, zero, x, y);
    // A(z) applied to the output gives back the input.
    for (int n = 0; n < kN; ++n) {
        long double e = y[n];
        for (int j = 1; j <= kLpOrder && j <= n; ++j)
            e += static_cast<long double>(a[j]) * y[n - j];
        ASSERT_NEAR(static_cast<double>(e), x[n], 1e-9 * 1000.0) << "n=" << n;
    }
}

TEST(SynthesisFilter, OutputIsInputConvolvedWithImpulseResponse) {
    std::mt19937 rng(test::testSeed());
    const auto x = randomSignal(rng, kN, 100.0);
    const LpCoeffs a = stableCoeffs();
    const Signal zero{};
    Signal impulse{};
    impulse[0] = 1.0;
    Signal h{}, y{}, z{};
    synthesisFilter(a, zero, impulse, h);
    synthesisFilter(a, zero, x, y);
    convolve(x, h, z);
    for (int n = 0; n < kN; ++n) ASSERT_NEAR(y[n], z[n], 1e-9 * 100.0 * 40) << "n=" << n;
}

TEST(WeightingFilter, MatchesDifferenceEquation) {
    std::mt19937 rng(test::testSeed());
    const auto x = randomSignal(rng, kN, 3000.0);
    const LpCoeffs a = stableCoeffs();
    const Signal zero{};
    Signal y{};
    weightingFilter(a, zero, zero, x, y);
    const auto ref = referencePoleZero(a, 0.94, 0.6, x);
    for (int n = 0; n < kN; ++n)
        ASSERT_NEAR(y[n], static_cast<double>(ref[n]), 1e-10 * 3000.0) << "n=" << n;
}

TEST(WeightingFilter, ZeroCoefficientsCopyTheInput) {
    std::mt19937 rng(test::testSeed());
    const auto x = randomSignal(rng, 40, 500.0);
    LpCoeffs a{};
    a[0] = 1.0;
    const auto history = randomSignal(rng, 40, 500.0);
    std::array<double, 40> y{};
    weightingFilter(a, history, history, x, y);
    for (int n = 0; n < 40; ++n) EXPECT_EQ(y[n], x[n]);
}

TEST(FormantPostFilter, ImpulseResponseStart) {
    const LpCoeffs a = stableCoeffs();
    Signal impulse{};
    impulse[0] = 1.0;
    const Signal zero{};
    std::array<double, 40> h{};
    formantPostFilter(a, zero, zero, std::span(impulse).first(40), h);
    EXPECT_EQ(h[0], 1.0);
    EXPECT_NEAR(h[1], (0.7 - 0.75) * a[1], 1e-15);
    const auto ref =
        referencePoleZero(a, 0.7, 0.75, std::vector<double>(impulse.begin(), impulse.begin() + 40));
    for (int n = 0; n < 40; ++n) EXPECT_NEAR(h[n], static_cast<double>(ref[n]), 1e-13) << "n=" << n;
}

TEST(Convolve, UnitImpulseGivesTheResponse) {
    std::mt19937 rng(test::testSeed());
    const auto h = randomSignal(rng, 40, 1.0);
    std::array<double, 40> impulse{};
    impulse[0] = 1.0;
    std::array<double, 40> y{};
    convolve(impulse, h, y);
    for (int n = 0; n < 40; ++n) EXPECT_EQ(y[n], h[n]);
}

// Blocks the filters cannot serve are refused before anything is read or
// written: a history shorter than the filter order, an output of another
// length than the input, a block longer than the filters' working buffer, and
// a convolution whose input or response is shorter than its output.
TEST(FilterSizes, UnservableBlocksAreRefused) {
    const LpCoeffs a = stableCoeffs();
    const std::vector<double> shortHistory(kLpOrder - 1, 1.0);
    const std::vector<double> history(40, 1.0);
    const std::vector<double> x(40, 1.0);
    std::vector<double> y(40, 7.0);
    std::vector<double> shortOutput(39, 7.0);
    EXPECT_THROW(synthesisFilter(a, shortHistory, x, y), std::invalid_argument);
    EXPECT_THROW(weightingFilter(a, shortHistory, history, x, y), std::invalid_argument);
    EXPECT_THROW(weightingFilter(a, history, shortHistory, x, y), std::invalid_argument);
    EXPECT_THROW(formantPostFilter(a, shortHistory, shortHistory, x, y), std::invalid_argument);
    EXPECT_THROW(synthesisFilter(a, history, x, shortOutput), std::invalid_argument);
    EXPECT_THROW(weightingFilter(a, history, history, x, shortOutput), std::invalid_argument);
    for (double v : y) EXPECT_EQ(v, 7.0);
    for (double v : shortOutput) EXPECT_EQ(v, 7.0);

    const std::vector<double> longX(4 * kN, 1.0);
    std::vector<double> longY(4 * kN, 7.0);
    EXPECT_THROW(synthesisFilter(a, history, longX, longY), std::invalid_argument);
    EXPECT_THROW(formantPostFilter(a, history, history, longX, longY), std::invalid_argument);
    for (double v : longY) EXPECT_EQ(v, 7.0);

    const std::vector<double> h(40, 0.5);
    std::vector<double> z(41, 7.0);
    EXPECT_THROW(convolve(x, std::span(h).first(20), std::span(z).first(40)),
                 std::invalid_argument);
    EXPECT_THROW(convolve(std::span(x).first(20), h, std::span(z).first(40)),
                 std::invalid_argument);
    EXPECT_THROW(convolve(x, h, z), std::invalid_argument);
    for (double v : z) EXPECT_EQ(v, 7.0);
}

// Filtering block by block, each block with the blocks before it as history,
// gives exactly what one pass over the whole signal gives.
enum class Kind { Synthesis, Weighting, PostFilter };

class BlockFiltering : public ::testing::TestWithParam<std::tuple<Kind, int>> {};

void run(Kind kind, const LpCoeffs& a, std::span<const double> xHistory,
         std::span<const double> yHistory, std::span<const double> x, std::span<double> y) {
    switch (kind) {
        case Kind::Synthesis:
            synthesisFilter(a, yHistory, x, y);
            break;
        case Kind::Weighting:
            weightingFilter(a, xHistory, yHistory, x, y);
            break;
        case Kind::PostFilter:
            formantPostFilter(a, xHistory, yHistory, x, y);
            break;
    }
}

TEST_P(BlockFiltering, EqualsWholeSignal) {
    const auto [kind, block] = GetParam();
    std::mt19937 rng(test::testSeed());
    const auto x = randomSignal(rng, kN, 2000.0);
    const LpCoeffs a = stableCoeffs();
    // Whole signal with zero history of `block` samples in front.
    std::vector<double> xs(block, 0.0), ys(block, 0.0);
    xs.insert(xs.end(), x.begin(), x.end());
    ys.resize(xs.size(), 0.0);
    std::vector<double> whole(kN);
    run(kind, a, std::span(xs).first(block), std::span(ys).first(block), x, whole);
    // Block by block.
    std::vector<double> blocks(kN + block, 0.0);
    for (int start = 0; start < kN; start += block) {
        run(kind, a, std::span(xs).subspan(start, block), std::span(blocks).subspan(start, block),
            std::span(x).subspan(start, block), std::span(blocks).subspan(start + block, block));
    }
    for (int n = 0; n < kN; ++n) ASSERT_EQ(whole[n], blocks[n + block]) << "n=" << n;
}

INSTANTIATE_TEST_SUITE_P(AllFilters, BlockFiltering,
                         ::testing::Combine(::testing::Values(Kind::Synthesis, Kind::Weighting,
                                                              Kind::PostFilter),
                                            ::testing::Values(10, 40, 80)));

// The cascades and pairs run in one pass give, bit for bit, what the single
// filters give one after the other, histories included.
class FusedFilters : public ::testing::TestWithParam<int> {};

TEST_P(FusedFilters, SynthesisAndWeightingEqualTheTwoFilters) {
    const int count = GetParam();
    std::mt19937 rng(test::testSeed() + static_cast<std::uint32_t>(count));
    LpCoeffs a{};
    for (int trial = 0; trial < 50; ++trial) {
        test::stableCoefficients(rng, a);
        const auto input = randomSignal(rng, count, 1000.0);
        const auto speechHistory = randomSignal(rng, 40, 1000.0);
        const auto weightedHistory = randomSignal(rng, 40, 1000.0);
        std::vector<double> speech(count), weighted(count), speech2(count), weighted2(count);
        synthesisFilter(a, speechHistory, input, speech);
        weightingFilter(a, speechHistory, weightedHistory, speech, weighted);
        synthesizeAndWeight(a, speechHistory, weightedHistory, input, speech2, weighted2);
        for (int n = 0; n < count; ++n) {
            ASSERT_EQ(speech[n], speech2[n]) << "trial " << trial << " n " << n;
            ASSERT_EQ(weighted[n], weighted2[n]) << "trial " << trial << " n " << n;
        }
    }
}

TEST_P(FusedFilters, PostFilterPairEqualsTwoPostFilters) {
    const int count = GetParam();
    std::mt19937 rng(test::testSeed() + 1000u + static_cast<std::uint32_t>(count));
    LpCoeffs a{};
    for (int trial = 0; trial < 50; ++trial) {
        test::stableCoefficients(rng, a);
        const auto x1 = randomSignal(rng, count, 1000.0), x2 = randomSignal(rng, count, 1.0);
        const auto in1 = randomSignal(rng, 40, 1000.0), out1 = randomSignal(rng, 40, 1000.0);
        const auto in2 = randomSignal(rng, 10, 1.0), out2 = randomSignal(rng, 10, 1.0);
        std::vector<double> y1(count), y2(count), z1(count), z2(count);
        formantPostFilter(a, in1, out1, x1, y1);
        formantPostFilter(a, in2, out2, x2, y2);
        formantPostFilterPair(a, {in1, out1, x1, z1}, {in2, out2, x2, z2});
        for (int n = 0; n < count; ++n) {
            ASSERT_EQ(y1[n], z1[n]) << "trial " << trial << " n " << n;
            ASSERT_EQ(y2[n], z2[n]) << "trial " << trial << " n " << n;
        }
    }
}

// Two cascades with their own coefficients, one of them on a zero input as
// for a zero-input response.
TEST_P(FusedFilters, SynthesisPairEqualsTwoCascades) {
    const int count = GetParam();
    std::mt19937 rng(test::testSeed() + 2000u + static_cast<std::uint32_t>(count));
    LpCoeffs a1{}, a2{};
    for (int trial = 0; trial < 50; ++trial) {
        test::stableCoefficients(rng, a1);
        test::stableCoefficients(rng, a2);
        const auto x1 = randomSignal(rng, count, 1000.0);
        const std::vector<double> x2(count, 0.0);
        const auto s1History = randomSignal(rng, 40, 1000.0),
                   w1History = randomSignal(rng, 40, 1.0);
        const auto s2History = randomSignal(rng, 10, 1000.0),
                   w2History = randomSignal(rng, 40, 9.0);
        std::vector<double> s1(count), w1(count), s2(count), w2(count);
        std::vector<double> t1(count), v1(count), t2(count), v2(count);
        synthesizeAndWeight(a1, s1History, w1History, x1, s1, w1);
        synthesizeAndWeight(a2, s2History, w2History, x2, s2, w2);
        synthesizeAndWeightPair({a1, s1History, w1History, x1, t1, v1},
                                {a2, s2History, w2History, x2, t2, v2});
        for (int n = 0; n < count; ++n) {
            ASSERT_EQ(s1[n], t1[n]) << "trial " << trial << " n " << n;
            ASSERT_EQ(w1[n], v1[n]) << "trial " << trial << " n " << n;
            ASSERT_EQ(s2[n], t2[n]) << "trial " << trial << " n " << n;
            ASSERT_EQ(w2[n], v2[n]) << "trial " << trial << " n " << n;
        }
    }
}

// A synthesis cascade and a post-filter pair with their own coefficients.
TEST_P(FusedFilters, SynthesisWithPostFilterEqualsTheSeparateFilters) {
    const int count = GetParam();
    std::mt19937 rng(test::testSeed() + 3000u + static_cast<std::uint32_t>(count));
    LpCoeffs a1{}, a2{};
    for (int trial = 0; trial < 50; ++trial) {
        test::stableCoefficients(rng, a1);
        test::stableCoefficients(rng, a2);
        const auto x = randomSignal(rng, count, 1000.0);
        const auto sHistory = randomSignal(rng, 40, 1000.0), wHistory = randomSignal(rng, 40, 1.0);
        const auto p1 = randomSignal(rng, count, 1000.0), p2 = randomSignal(rng, count, 1.0);
        const auto in1 = randomSignal(rng, 40, 1000.0), out1 = randomSignal(rng, 40, 1000.0);
        const auto in2 = randomSignal(rng, 10, 1.0), out2 = randomSignal(rng, 10, 1.0);
        std::vector<double> s(count), w(count), y1(count), y2(count);
        synthesizeAndWeight(a1, sHistory, wHistory, x, s, w);
        formantPostFilterPair(a2, {in1, out1, p1, y1}, {in2, out2, p2, y2});
        std::vector<double> t(count), v(count), z1(count), z2(count);
        synthesizeAndWeightWithPostFilter({a1, sHistory, wHistory, x, t, v},
                                          {a2, {in1, out1, p1, z1}, {in2, out2, p2, z2}});
        for (int n = 0; n < count; ++n) {
            ASSERT_EQ(s[n], t[n]) << "trial " << trial << " n " << n;
            ASSERT_EQ(w[n], v[n]) << "trial " << trial << " n " << n;
            ASSERT_EQ(y1[n], z1[n]) << "trial " << trial << " n " << n;
            ASSERT_EQ(y2[n], z2[n]) << "trial " << trial << " n " << n;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Lengths, FusedFilters, ::testing::Values(1, 40, 80, 160));

TEST(FusedFilters, UnservableBlocksAreRefused) {
    const LpCoeffs a = stableCoeffs();
    const std::vector<double> history(40, 1.0), shortHistory(kLpOrder - 1, 1.0);
    const std::vector<double> x(40, 1.0);
    std::vector<double> y(40), z(40), shorter(20);
    EXPECT_THROW(synthesizeAndWeight(a, shortHistory, history, x, y, z), std::invalid_argument);
    EXPECT_THROW(synthesizeAndWeight(a, history, shortHistory, x, y, z), std::invalid_argument);
    EXPECT_THROW(synthesizeAndWeight(a, history, history, x, shorter, z), std::invalid_argument);
    EXPECT_THROW(synthesizeAndWeight(a, history, history, x, y, shorter), std::invalid_argument);
    EXPECT_THROW(formantPostFilterPair(a, {history, history, x, y},
                                       {history, history, std::span(x).first(20), shorter}),
                 std::invalid_argument);
    EXPECT_THROW(formantPostFilterPair(a, {history, shortHistory, x, y}, {history, history, x, z}),
                 std::invalid_argument);
    std::vector<double> u(40), v(40);
    EXPECT_THROW(synthesizeAndWeightPair({a, history, history, x, y, z},
                                         {a, history, shortHistory, x, u, v}),
                 std::invalid_argument);
    EXPECT_THROW(synthesizeAndWeightPair({a, history, history, x, y, z},
                                         {a, history, history, std::span(x).first(20),
                                          std::span(u).first(20), std::span(v).first(20)}),
                 std::invalid_argument);
    EXPECT_THROW(synthesizeAndWeightWithPostFilter(
                     {a, history, history, x, y, z},
                     {a,
                      {history, history, x, u},
                      {history, history, std::span(x).first(20), std::span(v).first(20)}}),
                 std::invalid_argument);
    EXPECT_THROW(synthesizeAndWeightWithPostFilter(
                     {a, history, history, x, y, z},
                     {a, {history, shortHistory, x, u}, {history, history, x, v}}),
                 std::invalid_argument);
}

}  // namespace
}  // namespace zorvel
