// The vector kernels of every instruction set this processor runs against
// the plain sums they replace, bit for bit: each output of the convolution,
// each lag of the correlations, d(n), phi(i, j) and the lag candidates' sums
// summed term by term in increasing order.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "coder/simd/Kernels.h"
#include "tests/TestSupport.h"

namespace zorvel {
namespace {

using namespace simd;

class VectorKernelTest : public ::testing::TestWithParam<InstructionSet> {
  protected:
    void SetUp() override {
        if (!instructionSetAvailable(GetParam()))
            GTEST_SKIP() << "this processor cannot run the " << instructionSetName(GetParam())
                         << " kernels";
    }
    const KernelSet& kernels() const { return kernelsFor(GetParam()); }
};

std::vector<double> randomSignal(std::mt19937& rng, int n) {
    std::uniform_real_distribution<double> u(-1000.0, 1000.0);
    std::vector<double> v(n);
    for (double& x : v) x = u(rng);
    return v;
}

// Equal to the bit: +0 and -0 are told apart.
void expectSameBits(double expected, double actual, const std::string& where) {
    EXPECT_TRUE(expected == actual && std::signbit(expected) == std::signbit(actual))
        << where << ": expected " << expected << ", got " << actual;
}

TEST_P(VectorKernelTest, ConvolutionEqualsThePlainSums) {
    std::mt19937 rng(test::testSeed());
    for (int count : {40, 1, 7, 39, 41, 80}) {
        for (int trial = 0; trial < 200; ++trial) {
            const auto x = randomSignal(rng, count);
            auto h = randomSignal(rng, count);
            if (trial % 4 == 1) std::fill(h.begin() + count / 2, h.end(), 0.0);  // exact zeros
            std::vector<double> y(count, 7.0);
            kernels().convolve(x.data(), h.data(), y.data(), count);
            for (int i = 0; i < count; ++i) {
                double sum = 0.0;
                for (int j = 0; j <= i; ++j) sum += x[j] * h[i - j];
                expectSameBits(sum, y[i],
                               "length " + std::to_string(count) + " trial " +
                                   std::to_string(trial) + " output " + std::to_string(i));
            }
        }
    }
}

// Terms that cancel to zero give +0, as in the plain sums; an infinite
// input sample reaches only the outputs at and after it.
TEST_P(VectorKernelTest, ConvolutionKeepsZerosAndLocalisesInfinities) {
    std::array<double, 40> x{}, h{}, y{};
    h[0] = 1.0;
    h[1] = -1.0;
    x[0] = 3.0;
    x[1] = 3.0;  // y = 3, 3*(-1) + 3*1 = +0, -3, then +0 (terms like 0*(-1) = -0 included)
    x[20] = INFINITY;
    kernels().convolve(x.data(), h.data(), y.data(), 40);
    EXPECT_EQ(y[0], 3.0);
    expectSameBits(0.0, y[1], "output 1");
    EXPECT_EQ(y[2], -3.0);
    for (int i = 3; i < 20; ++i) expectSameBits(0.0, y[i], "output " + std::to_string(i));
    EXPECT_EQ(y[20], INFINITY);
    EXPECT_EQ(y[21], -INFINITY);                                                    // inf * h(1)
    for (int i = 22; i < 40; ++i) EXPECT_TRUE(std::isnan(y[i])) << "output " << i;  // inf * 0
}

TEST_P(VectorKernelTest, CorrelationsEqualThePlainSums) {
    std::mt19937 rng(test::testSeed() + 1u);
    for (const auto& [length, lags] : {std::pair{80, 160}, std::pair{80, 37}, std::pair{13, 5}}) {
        for (int trial = 0; trial < 50; ++trial) {
            const auto signal = randomSignal(rng, lags + length);
            const double* w = signal.data() + lags;  // w[-lags..length-1]
            std::vector<double> C(lags, 7.0);
            kernels().correlate(w, length, lags, C.data());
            for (int T = 0; T < lags; ++T) {
                double sum = 0.0;
                for (int n = 0; n < length; ++n) sum += w[n] * w[n - T];
                expectSameBits(sum, C[T],
                               "length " + std::to_string(length) + " lag " + std::to_string(T) +
                                   " trial " + std::to_string(trial));
            }
        }
    }
}

constexpr int L = 40;

// d(n) = sum_{m=0..39-n} x2(n+m) h(m) in order of m.
void plainBackwardFilter(const double* x2, const double* h, double* d) {
    for (int n = 0; n < L; ++n) {
        double sum = 0.0;
        for (int m = 0; n + m < L; ++m) sum += x2[n + m] * h[m];
        d[n] = sum;
    }
}

// phi(i, j) s(i) s(j) with phi(i, j) = sum over k = max(i, j).. of
// h(k-i) h(k-j), k increasing; lower triangle formed, upper mirrored.
void plainSignedCorrelation(const double* h, const double* s, double* phi) {
    for (int i = 0; i < L; ++i)
        for (int j = 0; j <= i; ++j) {
            double sum = 0.0;
            for (int k = i; k < L; ++k) sum += h[k - j] * h[k - i];
            phi[i * L + j] = phi[j * L + i] = s[j] * s[i] * sum;
        }
}

TEST_P(VectorKernelTest, CodebookCorrelationsEqualThePlainSums) {
    std::mt19937 rng(test::testSeed() + 2u);
    for (int trial = 0; trial < 100; ++trial) {
        const auto x2 = randomSignal(rng, L);
        auto h = randomSignal(rng, L);
        if (trial % 4 == 1) std::fill(h.begin() + 25, h.end(), 0.0);  // exact zeros
        if (trial % 4 == 2) h[trial % L] = INFINITY;                  // reaches only some sums
        std::vector<double> s(L);
        for (double& v : s) v = rng() % 2 ? 1.0 : -1.0;
        std::vector<double> d(L, 7.0), expectedD(L);
        kernels().backwardFilter(x2.data(), h.data(), d.data());
        plainBackwardFilter(x2.data(), h.data(), expectedD.data());
        std::vector<double> phi(L * L, 7.0), expectedPhi(L * L);
        kernels().signedCorrelation(h.data(), s.data(), phi.data());
        plainSignedCorrelation(h.data(), s.data(), expectedPhi.data());
        for (int n = 0; n < L; ++n) {
            if (std::isnan(expectedD[n])) {
                EXPECT_TRUE(std::isnan(d[n])) << "trial " << trial << " d(" << n << ")";
                continue;
            }
            expectSameBits(expectedD[n], d[n],
                           "trial " + std::to_string(trial) + " d(" + std::to_string(n) + ")");
        }
        for (int n = 0; n < L * L; ++n) {
            if (std::isnan(expectedPhi[n])) {
                EXPECT_TRUE(std::isnan(phi[n])) << "trial " << trial << " phi " << n;
                continue;
            }
            expectSameBits(expectedPhi[n], phi[n],
                           "trial " + std::to_string(trial) + " phi(" + std::to_string(n / L) +
                               ", " + std::to_string(n % L) + ")");
        }
    }
}

TEST_P(VectorKernelTest, LagCandidatesEqualThePlainConvolutionsAndSums) {
    std::mt19937 rng(test::testSeed() + 3u);
    for (int trial = 0; trial < 100; ++trial) {
        const auto buffer = randomSignal(rng, kLagLanes - 1 + L);
        const double* window = buffer.data() + kLagLanes - 1;  // window[-7..39]
        const auto h = randomSignal(rng, L);
        const auto x = randomSignal(rng, L);
        std::array<double, kLagLanes> R{}, E{};
        kernels().lagCorrelations(window, h.data(), x.data(), R.data(), E.data());
        for (int l = 0; l < kLagLanes; ++l) {
            std::array<double, L> y{};
            for (int i = 0; i < L; ++i) {
                double sum = 0.0;
                for (int j = 0; j <= i; ++j) sum += window[j - l] * h[i - j];
                y[i] = sum;
            }
            double expectedR = 0.0, expectedE = 0.0;
            for (int n = 0; n < L; ++n) expectedR += x[n] * y[n];
            for (int n = 0; n < L; ++n) expectedE += y[n] * y[n];
            const std::string where =
                "trial " + std::to_string(trial) + " lag " + std::to_string(l);
            expectSameBits(expectedR, R[l], where + " R");
            expectSameBits(expectedE, E[l], where + " E");
        }
    }
}

TEST_P(VectorKernelTest, AccumulationAddsEachRowValueOnce) {
    std::mt19937 rng(test::testSeed() + 4u);
    auto sum = randomSignal(rng, L);
    const auto row = randomSignal(rng, L + 8);  // values past 40 must stay unread
    std::vector<double> expected = sum;
    for (int k = 0; k < L; ++k) expected[k] += row[k];
    sum.push_back(7.0);
    kernels().accumulate(sum.data(), row.data());
    for (int k = 0; k < L; ++k) expectSameBits(expected[k], sum[k], "value " + std::to_string(k));
    EXPECT_EQ(sum[L], 7.0);
}

INSTANTIATE_TEST_SUITE_P(AllSets, VectorKernelTest, ::testing::ValuesIn(kInstructionSets),
                         [](const auto& info) {
                             return std::string(instructionSetName(info.param));
                         });

// The coder runs the fastest set the processor has, and asking for a set it
// cannot run is an error, not a crash.
TEST(InstructionSets, TheCoderRunsTheFastestAvailableSet) {
    const InstructionSet fastest = fastestInstructionSet();
    EXPECT_TRUE(instructionSetAvailable(fastest));
    EXPECT_EQ(&fastestKernels(), &kernelsFor(fastest));
    for (InstructionSet set : kInstructionSets) {
        if (set > fastest) {
            EXPECT_FALSE(instructionSetAvailable(set)) << instructionSetName(set);
            EXPECT_THROW(kernelsFor(set), std::invalid_argument) << instructionSetName(set);
        }
    }
    EXPECT_TRUE(instructionSetAvailable(InstructionSet::baseline));
}

}  // namespace
}  // namespace zorvel
