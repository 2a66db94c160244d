#include "coder/Filters.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "coder/simd/Kernels.h"

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

// One block of a pole-zero filter A(z/g1)/A(z/g2) in progress: the input
// and the output each with their history in front, so that the steps read
// one array each. The block is checked before anything is written.
class PoleZeroRun {
  public:
    PoleZeroRun(LpSpan a, const FilterFactors& g, const PoleZeroBlock& block)
        : c_(poleZeroCoeffs(a, g)), output_(block.output) {
        checkPoleZeroBlock(block.inputHistory, block.outputHistory, block.input, block.output);
        loadHistory(block.inputHistory, x_);
        loadHistory(block.outputHistory, y_);
        std::copy(block.input.begin(), block.input.end(), x_.begin() + kLpOrder);
    }
    std::size_t size() const { return output_.size(); }
    void step(int i) { y_[i] = poleZeroStep(c_, x_.data(), y_.data(), i); }
    void store() const {
        std::copy(y_.begin() + kLpOrder, y_.begin() + kLpOrder + size(), output_.begin());
    }

  private:
    PoleZeroCoeffs c_;
    std::span<double> output_;
    Extended x_, y_;
};

// One block of 1/A(z) followed by W(z): sample i of the weighting waits only
// on sample i of the synthesis, so the two recursions overlap.
class SynthesisRun {
  public:
    explicit SynthesisRun(const SynthesisBlock& block)
        : a_(block.a),
          c_(poleZeroCoeffs(block.weightingLp ? LpSpan(*block.weightingLp) : block.a,
                            *block.weighting)),
          block_(block) {
        checkBlock(block.input, block.speech);
        checkPoleZeroBlock(block.speechHistory, block.weightedHistory, block.input, block.weighted);
        loadHistory(block.speechHistory, s_);
        loadHistory(block.weightedHistory, w_);
    }
    std::size_t size() const { return block_.input.size(); }
    void step(int i) {
        s_[i] = synthesisStep(a_, block_.input[i - kLpOrder], s_.data(), i);
        w_[i] = poleZeroStep(c_, s_.data(), w_.data(), i);
    }
    void store() const {
        std::copy(s_.begin() + kLpOrder, s_.begin() + kLpOrder + size(), block_.speech.begin());
        std::copy(w_.begin() + kLpOrder, w_.begin() + kLpOrder + size(), block_.weighted.begin());
    }

  private:
    LpSpan a_;
    PoleZeroCoeffs c_;
    const SynthesisBlock& block_;
    Extended s_, w_;
};

// Independent runs of one length side by side, sample by sample: each
// recursion waits on its own last output only, so they overlap.
template <class... Runs>
void runSideBySide(Runs&&... runs) {
    const std::size_t count = (runs.size(), ...);
    if (((runs.size() != count) || ...))
        throw std::invalid_argument("filter blocks run together differ in length");
    for (int i = kLpOrder; i < kLpOrder + static_cast<int>(count); ++i) (runs.step(i), ...);
    (runs.store(), ...);
}

}  // namespace

FilterFactors filterFactors(double num, double den) { return {makePowers(num), makePowers(den)}; }

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
                     std::span<double> output, const FilterFactors& factors) {
    runSideBySide(PoleZeroRun(a, factors, {inputHistory, outputHistory, input, output}));
}

void formantPostFilter(LpSpan a, std::span<const double> inputHistory,
                       std::span<const double> outputHistory, std::span<const double> input,
                       std::span<double> output, const FilterFactors& factors) {
    runSideBySide(PoleZeroRun(a, factors, {inputHistory, outputHistory, input, output}));
}

void synthesizeAndWeight(LpSpan a, std::span<const double> speechHistory,
                         std::span<const double> weightedHistory, std::span<const double> input,
                         std::span<double> speech, std::span<double> weighted) {
    synthesizeAndWeight({a, speechHistory, weightedHistory, input, speech, weighted});
}

void synthesizeAndWeight(const SynthesisBlock& block) { runSideBySide(SynthesisRun(block)); }

void synthesizeAndWeightPair(const SynthesisBlock& first, const SynthesisBlock& second) {
    runSideBySide(SynthesisRun(first), SynthesisRun(second));
}

void formantPostFilterPair(LpSpan a, const PoleZeroBlock& first, const PoleZeroBlock& second,
                           const FilterFactors& factors) {
    runSideBySide(PoleZeroRun(a, factors, first), PoleZeroRun(a, factors, second));
}

void synthesizeAndWeightWithPostFilter(const SynthesisBlock& block, const PostFilterBlocks& post) {
    runSideBySide(SynthesisRun(block), PoleZeroRun(post.a, *post.factors, post.speech),
                  PoleZeroRun(post.a, *post.factors, post.response));
}

void convolve(std::span<const double> input, std::span<const double> impulseResponse,
              std::span<double> output) {
    if (input.size() < output.size() || impulseResponse.size() < output.size())
        throw std::invalid_argument("convolution input or response shorter than its output");
    simd::fastestKernels().convolve(input.data(), impulseResponse.data(), output.data(),
                                    static_cast<int>(output.size()));
}

}  // namespace zorvel
