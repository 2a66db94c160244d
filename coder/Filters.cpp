#include "coder/Filters.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace zorvel {
namespace {

PowerTable makePowers(double g) {
    PowerTable p{};
    for (int j = 1; j <= kLpOrder; ++j) p[j - 1] = std::pow(g, j);
    return p;
}

// The last ten history samples followed by the block, so that the filter
// loops read one array without testing for the block start.
constexpr int kMaxBlock = 2 * kFrameSamples;
using Extended = std::array<double, kLpOrder + kMaxBlock>;

// A block these filters cannot serve is refused before anything is read or
// written: the output must match the input, the block must fit the working
// buffer and each history must reach the filter order back.
void checkBlock(std::span<const double> input, std::span<double> output) {
    if (output.size() != input.size())
        throw std::invalid_argument("filter output and input differ in length");
    if (input.size() > static_cast<std::size_t>(kMaxBlock))
        throw std::invalid_argument("filter block longer than 320 samples");
}

void checkHistory(std::span<const double> history) {
    if (history.size() < static_cast<std::size_t>(kLpOrder))
        throw std::invalid_argument("filter history shorter than the filter order");
}

void loadHistory(std::span<const double> history, Extended& buffer) {
    std::copy(history.end() - kLpOrder, history.end(), buffer.begin());
}

// Pole-zero filter A(z/g1)/A(z/g2), shared by the weighting and post-filters.
void poleZeroFilter(LpSpan a, const FilterFactors& g, std::span<const double> inputHistory,
                    std::span<const double> outputHistory, std::span<const double> input,
                    std::span<double> output) {
    checkBlock(input, output);
    checkHistory(inputHistory);
    checkHistory(outputHistory);
    const int count = static_cast<int>(input.size());
    std::array<double, kLpOrder + 1> num{}, den{};  // g^j * a_j
    for (int j = 1; j <= kLpOrder; ++j) {
        num[j] = g.num[j - 1] * a[j];
        den[j] = g.den[j - 1] * a[j];
    }
    Extended x, y;
    loadHistory(inputHistory, x);
    loadHistory(outputHistory, y);
    std::copy(input.begin(), input.end(), x.begin() + kLpOrder);
    for (int i = kLpOrder; i < kLpOrder + count; ++i) {
        double acc = x[i];
        for (int j = 1; j <= kLpOrder; ++j) {
            acc += num[j] * x[i - j];
            acc -= den[j] * y[i - j];
        }
        y[i] = acc;
    }
    std::copy(y.begin() + kLpOrder, y.begin() + kLpOrder + count, output.begin());
}

}  // namespace

const FilterFactors& weightingFactors() {
    static const FilterFactors factors{makePowers(kGamma1), makePowers(kGamma2)};
    return factors;
}

const FilterFactors& postFilterFactors() {
    static const FilterFactors factors{makePowers(kPostFilterNum), makePowers(kPostFilterDen)};
    return factors;
}

void synthesisFilter(LpSpan a, std::span<const double> outputHistory, std::span<const double> input,
                     std::span<double> output) {
    checkBlock(input, output);
    checkHistory(outputHistory);
    const int count = static_cast<int>(input.size());
    Extended y;
    loadHistory(outputHistory, y);
    for (int i = 0; i < count; ++i) {
        const int at = kLpOrder + i;
        double acc = input[i];
        for (int j = 1; j <= kLpOrder; ++j) acc -= a[j] * y[at - j];
        y[at] = acc;
    }
    std::copy(y.begin() + kLpOrder, y.begin() + kLpOrder + count, output.begin());
}

void weightingFilter(LpSpan a, std::span<const double> inputHistory,
                     std::span<const double> outputHistory, std::span<const double> input,
                     std::span<double> output) {
    poleZeroFilter(a, weightingFactors(), inputHistory, outputHistory, input, output);
}

void formantPostFilter(LpSpan a, std::span<const double> inputHistory,
                       std::span<const double> outputHistory, std::span<const double> input,
                       std::span<double> output) {
    poleZeroFilter(a, postFilterFactors(), inputHistory, outputHistory, input, output);
}

void convolve(std::span<const double> input, std::span<const double> impulseResponse,
              std::span<double> output) {
    if (input.size() < output.size() || impulseResponse.size() < output.size())
        throw std::invalid_argument("convolution input or response shorter than its output");
    const int count = static_cast<int>(output.size());
    const auto x = input.data();
    const auto h = impulseResponse.data();
    // Four outputs per pass, each still summed over increasing j: the terms
    // all four share first, then the later terms of the longer sums.
    constexpr int kLanes = 4;
    int i = 0;
    for (; i + kLanes <= count; i += kLanes) {
        std::array<double, kLanes> y{};
        for (int j = 0; j <= i; ++j)
            for (int k = 0; k < kLanes; ++k) y[k] += x[j] * h[i + k - j];
        for (int k = 1; k < kLanes; ++k)
            for (int j = i + 1; j <= i + k; ++j) y[k] += x[j] * h[i + k - j];
        std::copy(y.begin(), y.end(), output.begin() + i);
    }
    for (; i < count; ++i) {
        double y = 0.0;
        for (int j = 0; j <= i; ++j) y += x[j] * h[i - j];
        output[i] = y;
    }
}

}  // namespace zorvel
