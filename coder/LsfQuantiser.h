// The quantiser of the line spectral frequencies (LSF) of a frame's LP
// filter, with the mode's bit budget (CoderModeRules::lsfBits). Symbols:
// f the frequencies of the frame's set (two sets, I then II, where the mode
// has two LP analyses), m their trained mean, b the trained predictor,
// r~(n-1) the previous frame's quantised residual (the predictor memory),
//   e = f - m - b r~(n-1)           the prediction residual (first-order MA),
// e split into parts of a few neighbouring components (with two sets, each
// part holds the same components of set I and set II: a split matrix), each
// part coded by the nearest codeword of its codebook under the weighted
// distance of Paliwal and Atal (1993),
//   d = sum_i c_i w_i (e_i - e~_i)^2,  w_i = P(f_i)^0.15,
// P(f) = 1 / |A(e^jf)|^2 the LP power spectrum of the unquantised set at
// f_i, c_i = 1 for i = 1..8, 0.8 for i = 9 and 0.4 for i = 10. The decoded
// f~ = m + b r~(n-1) + e~ is sorted and spread to kLsfMinimumSpacingHz apart
// (and as far from 0 and pi), so every quantised filter is stable; e~ becomes
// the memory. quantiseLsf and decodeLsf rebuild f~ by the same code: a
// decoder given the indices gets the coder's sets bit for bit.
#pragma once

#include <array>
#include <cstdint>
#include <numbers>
#include <span>
#include <string>

#include "coder/CoderMode.h"
#include "coder/Lsf.h"
#include "coder/QuantiserTables.h"
#include "sound/Wave.h"

namespace zorvel {

inline constexpr int kMaxLsfSplits = 5;
inline constexpr double kLsfMinimumSpacingHz = 50.0;
inline constexpr double kLsfMinimumSpacing =
    2.0 * std::numbers::pi * kLsfMinimumSpacingHz / kSampleRate;  // radians
inline constexpr double kLsfWeightExponent = 0.15;                // r of w_i = P(f_i)^r

// One part of the residual: components first..first + dimension - 1 (of
// each set, with two sets), coded with `bits`.
struct LsfSplit {
    int first;
    int dimension;
    int bits;
    constexpr bool operator==(const LsfSplit&) const = default;
};

// The quantiser of one bit budget.
struct LsfQuantiserDesign {
    int bits;      // the sum of the splits' bits
    bool twoSets;  // sets I and II together
    int splitCount;
    std::array<LsfSplit, kMaxLsfSplits> splits;

    constexpr int setCount() const { return twoSets ? 2 : 1; }
    // Values of a codeword of split k.
    constexpr int codewordDimension(int k) const { return splits[k].dimension * setCount(); }
    // The splits beyond splitCount are all zero in every design.
    constexpr bool operator==(const LsfQuantiserDesign&) const = default;
};

inline constexpr std::array<LsfQuantiserDesign, 4> kLsfQuantiserDesigns{{
    {.bits = 38,
     .twoSets = true,
     .splitCount = 5,
     .splits = {{{0, 2, 8}, {2, 2, 8}, {4, 2, 8}, {6, 2, 8}, {8, 2, 6}}}},
    {.bits = 27, .twoSets = false, .splitCount = 3, .splits = {{{0, 3, 9}, {3, 3, 9}, {6, 4, 9}}}},
    {.bits = 26, .twoSets = false, .splitCount = 3, .splits = {{{0, 3, 8}, {3, 3, 9}, {6, 4, 9}}}},
    {.bits = 23, .twoSets = false, .splitCount = 3, .splits = {{{0, 3, 7}, {3, 3, 8}, {6, 4, 8}}}},
}};

// The design of a mode's budget.
const LsfQuantiserDesign& lsfDesignOf(CoderMode mode);

// A quantiser of one set in any budget of kLeastLsfBudgetBits..
// kMostLsfBudgetBits, to see what each further bit buys: the residual split
// as the one-set designs split it, components 0-2, 3-5 and 6-9, and the bits
// shared out as evenly as they go, each bit left over to the higher splits
// first (23 = 7 + 8 + 8, 26 = 8 + 9 + 9, 27 = 9 + 9 + 9: the designs of the
// modes). Throws std::invalid_argument outside the range.
inline constexpr int kLeastLsfBudgetBits = 18;  // 6 bits a split
inline constexpr int kMostLsfBudgetBits = 40;   // 13 + 13 + 14: codebooks of up to 2^14 codewords
LsfQuantiserDesign lsfBudgetDesign(int bits);

// The names of a design's tables in QuantiserTables: "lsf26/mean" (m, one
// value per component of each set, set I first), "lsf26/predictor" (b, the
// same layout), "lsf26/split0" ... (the codebooks, 2^bits codewords each:
// the split's components of set I, then those of set II).
std::string lsfMeanName(const LsfQuantiserDesign& design);
std::string lsfPredictorName(const LsfQuantiserDesign& design);
std::string lsfSplitName(const LsfQuantiserDesign& design, int k);

// Throws QuantiserTablesError (missingTable, wrongShape) unless `tables`
// hold every table of every design in its shape.
void checkLsfTables(const QuantiserTables& tables);

// r~(n-1): the quantised residual of the previous frame's (last) set; zero
// before the first frame.
struct LsfPredictorMemory {
    std::array<double, kLpOrder> residual{};
    bool operator==(const LsfPredictorMemory&) const = default;
};

// One index of a frame's code and its width.
struct LsfIndex {
    std::int32_t index = 0;
    std::int32_t bits = 0;  // 0: no part of the code
    bool operator==(const LsfIndex&) const = default;
};
// The indices of the splits in order; their bits add up to the budget.
using LsfIndices = std::array<LsfIndex, kMaxLsfSplits>;

struct QuantisedLsf {
    LineSpectralFrequencies setI;   // with two LP analyses set I; otherwise the one set again
    LineSpectralFrequencies setII;  // the frame's (last) set
    LsfIndices indices;
};

// The weights c_i w_i of the distance, from the unquantised set f.
std::array<double, kLpOrder> lsfWeights(const LineSpectralFrequencies& f);

// f sorted and spread: f_0 >= delta, f_i >= f_(i-1) + delta, f_9 <= pi -
// delta, with delta = kLsfMinimumSpacing; frequencies already so spaced are
// kept as they are.
LineSpectralFrequencies spacedLsf(LineSpectralFrequencies f);

// Quantises the frame's set(s) and moves the memory on. `setI` is set I
// where the mode has two LP analyses (and must be given there), ignored
// otherwise. Throws QuantiserTablesError when the tables lack the mode's.
QuantisedLsf quantiseLsf(const QuantiserTables& tables, CoderMode mode,
                         const LineSpectralFrequencies* setI, const LineSpectralFrequencies& set,
                         LsfPredictorMemory& memory);

// The same with a design of one's own (lsfBudgetDesign) whose tables
// `tables` hold.
QuantisedLsf quantiseLsf(const QuantiserTables& tables, const LsfQuantiserDesign& design,
                         const LineSpectralFrequencies* setI, const LineSpectralFrequencies& set,
                         LsfPredictorMemory& memory);

// The same sets, bit for bit, from the indices alone; moves the memory on as
// quantiseLsf did. Throws std::invalid_argument when the indices do not fit
// the mode's design.
QuantisedLsf decodeLsf(const QuantiserTables& tables, CoderMode mode, const LsfIndices& indices,
                       LsfPredictorMemory& memory);

}  // namespace zorvel
