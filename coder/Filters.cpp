#include "coder/Filters.h"

#include <cassert>
#include <cmath>

namespace zorvel {
namespace {

PowerTable makePowers(double g) {
    PowerTable p{};
    for (int j = 1; j <= kLpOrder; ++j) p[j - 1] = std::pow(g, j);
    return p;
}

// Pole-zero filter A(z/g1)/A(z/g2), shared by the weighting and post-filters.
void poleZeroFilter(LpSpan a, const FilterFactors& g, std::span<const double> inputHistory,
                    std::span<const double> outputHistory, std::span<const double> input,
                    std::span<double> output) {
    const int count = static_cast<int>(input.size());
    assert(output.size() == input.size());
    assert(inputHistory.size() >= kLpOrder && outputHistory.size() >= kLpOrder);
    const PowerTable& p1 = g.num;
    const PowerTable& p2 = g.den;
    const int xh = static_cast<int>(inputHistory.size());
    const int yh = static_cast<int>(outputHistory.size());
    for (int i = 0; i < count; ++i) {
        double y = input[i];
        for (int j = 1; j <= kLpOrder; ++j) {
            const double x = i - j >= 0 ? input[i - j] : inputHistory[xh + i - j];
            const double yPast = i - j >= 0 ? output[i - j] : outputHistory[yh + i - j];
            y += p1[j - 1] * a[j] * x;
            y -= p2[j - 1] * a[j] * yPast;
        }
        output[i] = y;
    }
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

void synthesisFilter(LpSpan a, std::span<const double> outputHistory,
                     std::span<const double> input, std::span<double> output) {
    const int count = static_cast<int>(input.size());
    assert(output.size() == input.size());
    assert(outputHistory.size() >= kLpOrder);
    const int yh = static_cast<int>(outputHistory.size());
    for (int i = 0; i < count; ++i) {
        double y = input[i];
        for (int j = 1; j <= kLpOrder; ++j) {
            const double yPast = i - j >= 0 ? output[i - j] : outputHistory[yh + i - j];
            y -= a[j] * yPast;
        }
        output[i] = y;
    }
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
    const int count = static_cast<int>(output.size());
    assert(input.size() >= output.size() && impulseResponse.size() >= output.size());
    for (int i = 0; i < count; ++i) {
        double y = 0.0;
        for (int j = 0; j <= i; ++j) y += input[j] * impulseResponse[i - j];
        output[i] = y;
    }
}

}  // namespace zorvel
