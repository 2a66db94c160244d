// Filter primitives of the coder: fixed-order-10 block filters built from a
// set of LP coefficients a0..a10 (a0 = 1, not read), and a truncated
// convolution. None keeps state: the past of a block comes from a history
// block, the `count` samples that precede it in time, of which only the last
// ten are read (history[count - k] is the sample k steps before the block).
//
// The output must not overlap the input or a history; the two histories of
// one call may be the same array. A block the filters cannot serve (output
// and input of different lengths, more than 320 samples, a history shorter
// than ten samples, a convolution input or response shorter than its output)
// is refused with std::invalid_argument before anything is written.
#pragma once

#include <array>
#include <span>

#include "coder/Frame.h"

namespace zorvel {

inline constexpr double kGamma1 = 0.94;         // numerator factor of W(z)
inline constexpr double kGamma2 = 0.6;          // denominator factor of W(z)
inline constexpr double kPostFilterNum = 0.7;   // numerator factor of the formant post-filter
inline constexpr double kPostFilterDen = 0.75;  // denominator factor of the formant post-filter

using LpSpan = std::span<const double, kLpCoeffs>;

// g^1..g^10 from the power function, index j-1 holding g^j.
using PowerTable = std::array<double, kLpOrder>;
struct FilterFactors {
    PowerTable num;  // powers of the numerator factor
    PowerTable den;  // powers of the denominator factor
};
// The factors of A(z/num)/A(z/den), each power from the power function.
FilterFactors filterFactors(double num, double den);
const FilterFactors& weightingFactors();   // 0.94, 0.6
const FilterFactors& postFilterFactors();  // 0.7, 0.75

// 1/A(z): y(i) = x(i) - sum_j a_j y(i-j).
void synthesisFilter(LpSpan a, std::span<const double> outputHistory, std::span<const double> input,
                     std::span<double> output);

// W(z) = A(z/0.94)/A(z/0.6), or with the coder settings' factors.
void weightingFilter(LpSpan a, std::span<const double> inputHistory,
                     std::span<const double> outputHistory, std::span<const double> input,
                     std::span<double> output, const FilterFactors& factors = weightingFactors());

// A(z/0.7)/A(z/0.75), or with the coder settings' factors.
void formantPostFilter(LpSpan a, std::span<const double> inputHistory,
                       std::span<const double> outputHistory, std::span<const double> input,
                       std::span<double> output,
                       const FilterFactors& factors = postFilterFactors());

// Cascades and pairs in one pass. Each output is exactly what the single
// filters above give, every sum in the same order: a recursion of order 10
// waits on its own last output, so two independent recursions in one loop
// run in about the time of one.

// speech = 1/A(z) input, then weighted = W(z) speech, the speech history
// serving both filters (synthesisFilter followed by weightingFilter).
void synthesizeAndWeight(LpSpan a, std::span<const double> speechHistory,
                         std::span<const double> weightedHistory, std::span<const double> input,
                         std::span<double> speech, std::span<double> weighted);

// One synthesizeAndWeight call.
struct SynthesisBlock {
    LpSpan a;
    std::span<const double> speechHistory;
    std::span<const double> weightedHistory;
    std::span<const double> input;
    std::span<double> speech;
    std::span<double> weighted;
    const FilterFactors* weighting = &weightingFactors();  // W(z)'s
    // W(z)'s LP set where it differs from the synthesis filter's (a
    // quantised 1/A(z) weighted with the analysed set); null: `a`.
    const LpCoeffs* weightingLp = nullptr;
};
void synthesizeAndWeight(const SynthesisBlock& block);

// synthesizeAndWeight on two independent blocks of equal length.
void synthesizeAndWeightPair(const SynthesisBlock& first, const SynthesisBlock& second);

// One block of a pole-zero filter: its input, the histories and the output.
struct PoleZeroBlock {
    std::span<const double> inputHistory;
    std::span<const double> outputHistory;
    std::span<const double> input;
    std::span<double> output;
};

// formantPostFilter on two independent blocks of equal length.
void formantPostFilterPair(LpSpan a, const PoleZeroBlock& first, const PoleZeroBlock& second,
                           const FilterFactors& factors = postFilterFactors());

// The post-filter of a subframe: the speech and the impulse response.
struct PostFilterBlocks {
    LpSpan a;
    PoleZeroBlock speech;
    PoleZeroBlock response;
    const FilterFactors* factors = &postFilterFactors();
};

// synthesizeAndWeight(block) and formantPostFilterPair on independent
// blocks, all of one length, in one pass.
void synthesizeAndWeightWithPostFilter(const SynthesisBlock& block, const PostFilterBlocks& post);

// y(i) = sum_{j=0..i} x(j) h(i-j) for i < output.size(); nothing before the block.
void convolve(std::span<const double> input, std::span<const double> impulseResponse,
              std::span<double> output);

}  // namespace zorvel
