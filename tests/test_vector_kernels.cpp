// The vector kernels of every instruction set this processor runs against
// the plain sums they replace, bit for bit: each output of the convolution
// and each lag of the correlations summed term by term in increasing order.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "coder/VectorKernels.h"
#include "tests/TestSupport.h"

namespace zorvel {
namespace {

using namespace kernels;

struct KernelSet {
    std::string name;
    bool available;
    ConvolveFunction convolve;
    CorrelateFunction correlate;
};

std::vector<KernelSet> kernelSets() {
    std::vector<KernelSet> sets{{"portable", true, convolvePortable, correlatePortable}};
#if defined(__x86_64__)
    sets.push_back({"avx2", __builtin_cpu_supports("avx2") != 0, convolveAvx2, correlateAvx2});
    sets.push_back(
        {"avx512", __builtin_cpu_supports("avx512f") != 0, convolveAvx512, correlateAvx512});
#endif
    return sets;
}

class VectorKernelTest : public ::testing::TestWithParam<KernelSet> {
  protected:
    void SetUp() override {
        if (!GetParam().available)
            GTEST_SKIP() << "this processor cannot run the " << GetParam().name << " kernels";
    }
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
            GetParam().convolve(x.data(), h.data(), y.data(), count);
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
    GetParam().convolve(x.data(), h.data(), y.data(), 40);
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
            GetParam().correlate(w, length, lags, C.data());
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

INSTANTIATE_TEST_SUITE_P(AllSets, VectorKernelTest, ::testing::ValuesIn(kernelSets()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace zorvel
