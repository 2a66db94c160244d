#include "coder/Filters.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "coder/VectorKernels.h"

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

// The coefficients g^j * a_j of A(z/g1) and A(z/g2), index j = 1..10.
struct PoleZeroCoeffs {
    std::array<double, kLpOrder + 1> num{};
    std::array<double, kLpOrder + 1> den{};
};

PoleZeroCoeffs poleZeroCoeffs(LpSpan a, const FilterFactors& g) {
    PoleZeroCoeffs c;
    for (int j = 1; j <= kLpOrder; ++j) {
        c.num[j] = g.num[j - 1] * a[j];
        c.den[j] = g.den[j - 1] * a[j];
    }
    return c;
}

// y[i] of A(z/g1)/A(z/g2) from x[i-10..i] and y[i-10..i-1].
inline double poleZeroStep(const PoleZeroCoeffs& c, const double* x, const double* y, int i) {
    double acc = x[i];
    for (int j = 1; j <= kLpOrder; ++j) {
        acc += c.num[j] * x[i - j];
        acc -= c.den[j] * y[i - j];
    }
    return acc;
}

// y[i] of 1/A(z) from its input and y[i-10..i-1].
inline double synthesisStep(LpSpan a, double input, const double* y, int i) {
    double acc = input;
    for (int j = 1; j <= kLpOrder; ++j) acc -= a[j] * y[i - j];
    return acc;
}

void checkPoleZeroBlock(std::span<const double> inputHistory, std::span<const double> outputHistory,
                        std::span<const double> input, std::span<double> output) {
    checkBlock(input, output);
    checkHistory(inputHistory);
    checkHistory(outputHistory);
}

// Pole-zero filter A(z/g1)/A(z/g2), shared by the weighting and post-filters.
void poleZeroFilter(LpSpan a, const FilterFactors& g, std::span<const double> inputHistory,
                    std::span<const double> outputHistory, std::span<const double> input,
                    std::span<double> output) {
    checkPoleZeroBlock(inputHistory, outputHistory, input, output);
    const int count = static_cast<int>(input.size());
    const PoleZeroCoeffs c = poleZeroCoeffs(a, g);
    Extended x, y;
    loadHistory(inputHistory, x);
    loadHistory(outputHistory, y);
    std::copy(input.begin(), input.end(), x.begin() + kLpOrder);
    for (int i = kLpOrder; i < kLpOrder + count; ++i) y[i] = poleZeroStep(c, x.data(), y.data(), i);
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
    for (int i = 0; i < count; ++i)
        y[kLpOrder + i] = synthesisStep(a, input[i], y.data(), kLpOrder + i);
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

void synthesizeAndWeight(LpSpan a, std::span<const double> speechHistory,
                         std::span<const double> weightedHistory, std::span<const double> input,
                         std::span<double> speech, std::span<double> weighted) {
    checkBlock(input, speech);
    checkPoleZeroBlock(speechHistory, weightedHistory, input, weighted);
    const int count = static_cast<int>(input.size());
    const PoleZeroCoeffs c = poleZeroCoeffs(a, weightingFactors());
    Extended s, w;
    loadHistory(speechHistory, s);
    loadHistory(weightedHistory, w);
    // Sample i of the weighting waits only on sample i of the synthesis, so
    // the two recursions overlap.
    for (int i = kLpOrder; i < kLpOrder + count; ++i) {
        s[i] = synthesisStep(a, input[i - kLpOrder], s.data(), i);
        w[i] = poleZeroStep(c, s.data(), w.data(), i);
    }
    std::copy(s.begin() + kLpOrder, s.begin() + kLpOrder + count, speech.begin());
    std::copy(w.begin() + kLpOrder, w.begin() + kLpOrder + count, weighted.begin());
}

void synthesizeAndWeight(const SynthesisBlock& b) {
    synthesizeAndWeight(b.a, b.speechHistory, b.weightedHistory, b.input, b.speech, b.weighted);
}

void synthesizeAndWeightPair(const SynthesisBlock& first, const SynthesisBlock& second) {
    for (const SynthesisBlock* b : {&first, &second}) {
        checkBlock(b->input, b->speech);
        checkPoleZeroBlock(b->speechHistory, b->weightedHistory, b->input, b->weighted);
    }
    if (first.input.size() != second.input.size())
        throw std::invalid_argument("paired filter blocks differ in length");
    const int count = static_cast<int>(first.input.size());
    const PoleZeroCoeffs c1 = poleZeroCoeffs(first.a, weightingFactors());
    const PoleZeroCoeffs c2 = poleZeroCoeffs(second.a, weightingFactors());
    Extended s1, w1, s2, w2;
    loadHistory(first.speechHistory, s1);
    loadHistory(first.weightedHistory, w1);
    loadHistory(second.speechHistory, s2);
    loadHistory(second.weightedHistory, w2);
    for (int i = kLpOrder; i < kLpOrder + count; ++i) {
        s1[i] = synthesisStep(first.a, first.input[i - kLpOrder], s1.data(), i);
        s2[i] = synthesisStep(second.a, second.input[i - kLpOrder], s2.data(), i);
        w1[i] = poleZeroStep(c1, s1.data(), w1.data(), i);
        w2[i] = poleZeroStep(c2, s2.data(), w2.data(), i);
    }
    std::copy(s1.begin() + kLpOrder, s1.begin() + kLpOrder + count, first.speech.begin());
    std::copy(w1.begin() + kLpOrder, w1.begin() + kLpOrder + count, first.weighted.begin());
    std::copy(s2.begin() + kLpOrder, s2.begin() + kLpOrder + count, second.speech.begin());
    std::copy(w2.begin() + kLpOrder, w2.begin() + kLpOrder + count, second.weighted.begin());
}

void formantPostFilterPair(LpSpan a, const PoleZeroBlock& first, const PoleZeroBlock& second) {
    checkPoleZeroBlock(first.inputHistory, first.outputHistory, first.input, first.output);
    checkPoleZeroBlock(second.inputHistory, second.outputHistory, second.input, second.output);
    if (first.input.size() != second.input.size())
        throw std::invalid_argument("paired filter blocks differ in length");
    const int count = static_cast<int>(first.input.size());
    const PoleZeroCoeffs c = poleZeroCoeffs(a, postFilterFactors());
    Extended x1, y1, x2, y2;
    loadHistory(first.inputHistory, x1);
    loadHistory(first.outputHistory, y1);
    loadHistory(second.inputHistory, x2);
    loadHistory(second.outputHistory, y2);
    std::copy(first.input.begin(), first.input.end(), x1.begin() + kLpOrder);
    std::copy(second.input.begin(), second.input.end(), x2.begin() + kLpOrder);
    for (int i = kLpOrder; i < kLpOrder + count; ++i) {
        y1[i] = poleZeroStep(c, x1.data(), y1.data(), i);
        y2[i] = poleZeroStep(c, x2.data(), y2.data(), i);
    }
    std::copy(y1.begin() + kLpOrder, y1.begin() + kLpOrder + count, first.output.begin());
    std::copy(y2.begin() + kLpOrder, y2.begin() + kLpOrder + count, second.output.begin());
}

void synthesizeAndWeightWithPostFilter(const SynthesisBlock& b, const PostFilterBlocks& post) {
    checkBlock(b.input, b.speech);
    checkPoleZeroBlock(b.speechHistory, b.weightedHistory, b.input, b.weighted);
    for (const PoleZeroBlock* p : {&post.speech, &post.response})
        checkPoleZeroBlock(p->inputHistory, p->outputHistory, p->input, p->output);
    if (post.speech.input.size() != b.input.size() || post.response.input.size() != b.input.size())
        throw std::invalid_argument("fused filter blocks differ in length");
    const int count = static_cast<int>(b.input.size());
    const PoleZeroCoeffs weighting = poleZeroCoeffs(b.a, weightingFactors());
    const PoleZeroCoeffs postFilter = poleZeroCoeffs(post.a, postFilterFactors());
    Extended s, w, x1, y1, x2, y2;
    loadHistory(b.speechHistory, s);
    loadHistory(b.weightedHistory, w);
    loadHistory(post.speech.inputHistory, x1);
    loadHistory(post.speech.outputHistory, y1);
    loadHistory(post.response.inputHistory, x2);
    loadHistory(post.response.outputHistory, y2);
    std::copy(post.speech.input.begin(), post.speech.input.end(), x1.begin() + kLpOrder);
    std::copy(post.response.input.begin(), post.response.input.end(), x2.begin() + kLpOrder);
    for (int i = kLpOrder; i < kLpOrder + count; ++i) {
        s[i] = synthesisStep(b.a, b.input[i - kLpOrder], s.data(), i);
        y1[i] = poleZeroStep(postFilter, x1.data(), y1.data(), i);
        y2[i] = poleZeroStep(postFilter, x2.data(), y2.data(), i);
        w[i] = poleZeroStep(weighting, s.data(), w.data(), i);
    }
    std::copy(s.begin() + kLpOrder, s.begin() + kLpOrder + count, b.speech.begin());
    std::copy(w.begin() + kLpOrder, w.begin() + kLpOrder + count, b.weighted.begin());
    std::copy(y1.begin() + kLpOrder, y1.begin() + kLpOrder + count, post.speech.output.begin());
    std::copy(y2.begin() + kLpOrder, y2.begin() + kLpOrder + count, post.response.output.begin());
}

void convolve(std::span<const double> input, std::span<const double> impulseResponse,
              std::span<double> output) {
    if (input.size() < output.size() || impulseResponse.size() < output.size())
        throw std::invalid_argument("convolution input or response shorter than its output");
    kernels::vectorKernels().convolve(input.data(), impulseResponse.data(), output.data(),
                                      static_cast<int>(output.size()));
}

}  // namespace zorvel
