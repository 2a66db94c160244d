#include "coder/LsfQuantiser.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

namespace zorvel {
namespace {

constexpr int kMaxSets = 2;
constexpr int kMaxCodewordDimension = 8;
// c_i: the highest two frequencies count less (Paliwal and Atal).
constexpr std::array<double, kLpOrder> kComponentWeights{1.0, 1.0, 1.0, 1.0, 1.0,
                                                         1.0, 1.0, 1.0, 0.8, 0.4};

constexpr bool designFits(const LsfQuantiserDesign& design) {
    int bits = 0;
    int next = 0;
    for (int k = 0; k < design.splitCount; ++k) {
        if (design.splits[k].first != next) return false;
        if (design.codewordDimension(k) > kMaxCodewordDimension) return false;
        next += design.splits[k].dimension;
        bits += design.splits[k].bits;
    }
    return next == kLpOrder && bits == design.bits;
}

constexpr bool designsFit() {
    for (const LsfQuantiserDesign& design : kLsfQuantiserDesigns)
        if (!designFits(design)) return false;
    return true;
}
static_assert(designsFit(), "each design's splits cover the ten components once, in its bits");

// The splits of the one-set budgets: components 0-2, 3-5, 6-9.
constexpr std::array<LsfSplit, 3> kBudgetSplits{{{0, 3, 0}, {3, 3, 0}, {6, 4, 0}}};

constexpr LsfQuantiserDesign budgetDesign(int bits) {
    LsfQuantiserDesign design{.bits = bits, .twoSets = false, .splitCount = 3, .splits = {}};
    const int splits = static_cast<int>(kBudgetSplits.size());
    for (int k = 0; k < splits; ++k) {
        design.splits[k] = kBudgetSplits[k];
        // The bits left over after bits / 3 each go to the last splits.
        design.splits[k].bits = bits / splits + (k >= splits - bits % splits ? 1 : 0);
    }
    return design;
}

constexpr bool budgetsFit() {
    for (int bits = kLeastLsfBudgetBits; bits <= kMostLsfBudgetBits; ++bits)
        if (!designFits(budgetDesign(bits))) return false;
    // The rule gives the one-set designs of the modes.
    for (const LsfQuantiserDesign& design : kLsfQuantiserDesigns)
        if (!design.twoSets && design != budgetDesign(design.bits)) return false;
    return true;
}
static_assert(budgetsFit());

constexpr bool everyModeHasADesign() {
    for (const CoderModeRules& rules : kCoderModes) {
        bool found = false;
        for (const LsfQuantiserDesign& design : kLsfQuantiserDesigns)
            found =
                found || (design.bits == rules.lsfBits && design.twoSets == rules.twoLpAnalyses);
        if (!found) return false;
    }
    return true;
}
static_assert(everyModeHasADesign());

// The tables of one design, looked up and checked.
struct DesignTables {
    const std::vector<double>* mean;
    const std::vector<double>* predictor;
    std::array<const Codebook*, kMaxLsfSplits> splits{};
};

[[noreturn]] void wrongShape(const std::string& name, const std::string& expected) {
    throw QuantiserTablesError(TablesProblem::wrongShape,
                               "the quantiser table '" + name + "' is not " + expected);
}

DesignTables tablesOf(const QuantiserTables& tables, const LsfQuantiserDesign& design) {
    DesignTables t{};
    const std::size_t values = static_cast<std::size_t>(kLpOrder * design.setCount());
    const std::string meanName = lsfMeanName(design);
    const std::string predictorName = lsfPredictorName(design);
    t.mean = &tables.coefficients(meanName);
    t.predictor = &tables.coefficients(predictorName);
    if (t.mean->size() != values) wrongShape(meanName, std::to_string(values) + " values");
    if (t.predictor->size() != values)
        wrongShape(predictorName, std::to_string(values) + " values");
    for (int k = 0; k < design.splitCount; ++k) {
        const std::string name = lsfSplitName(design, k);
        t.splits[k] = &tables.codebook(name);
        const int dimension = design.codewordDimension(k);
        const int size = 1 << design.splits[k].bits;
        if (t.splits[k]->dimension != dimension || t.splits[k]->size() != size)
            wrongShape(name, "a codebook of " + std::to_string(size) + " codewords of dimension " +
                                 std::to_string(dimension));
    }
    return t;
}

// Component i of set s in the layout of the mean and the predictor.
constexpr int slot(int s, int i) { return s * kLpOrder + i; }

// f~ from the indices: m + b r~(n-1) + e~, each set spaced; the memory
// becomes e~ of the last set.
QuantisedLsf rebuild(const LsfQuantiserDesign& design, const DesignTables& t,
                     const LsfIndices& indices, LsfPredictorMemory& memory) {
    std::array<std::array<double, kLpOrder>, kMaxSets> residual{};  // e~
    for (int k = 0; k < design.splitCount; ++k) {
        const LsfSplit& split = design.splits[k];
        const std::span<const double> codeword = (*t.splits[k])[indices[k].index];
        for (int s = 0; s < design.setCount(); ++s)
            for (int j = 0; j < split.dimension; ++j)
                residual[s][split.first + j] = codeword[s * split.dimension + j];
    }
    std::array<LineSpectralFrequencies, kMaxSets> sets{};
    for (int s = 0; s < design.setCount(); ++s) {
        for (int i = 0; i < kLpOrder; ++i)
            sets[s][i] = (*t.mean)[slot(s, i)] + (*t.predictor)[slot(s, i)] * memory.residual[i] +
                         residual[s][i];
        sets[s] = spacedLsf(sets[s]);
    }
    const int last = design.setCount() - 1;
    memory.residual = residual[last];
    return {sets[0], sets[last], indices};
}

// |A(e^jw)|^2 of A(z) of order 10.
double squaredMagnitude(const LpCoeffs& a, double w) {
    double re = 0.0;
    double im = 0.0;
    for (int n = 0; n < kLpCoeffs; ++n) {
        re += a[n] * std::cos(n * w);
        im -= a[n] * std::sin(n * w);
    }
    return re * re + im * im;
}

}  // namespace

const LsfQuantiserDesign& lsfDesignOf(CoderMode mode) {
    const CoderModeRules& rules = rulesOf(mode);
    for (const LsfQuantiserDesign& design : kLsfQuantiserDesigns)
        if (design.bits == rules.lsfBits && design.twoSets == rules.twoLpAnalyses) return design;
    throw std::logic_error("a mode without an LSF quantiser");  // excluded by everyModeHasADesign
}

LsfQuantiserDesign lsfBudgetDesign(int bits) {
    if (bits < kLeastLsfBudgetBits || bits > kMostLsfBudgetBits)
        throw std::invalid_argument("an LSF quantiser of " + std::to_string(bits) +
                                    " bits: the budgets run from " +
                                    std::to_string(kLeastLsfBudgetBits) + " to " +
                                    std::to_string(kMostLsfBudgetBits) + " bits");
    return budgetDesign(bits);
}

std::string lsfMeanName(const LsfQuantiserDesign& design) {
    return "lsf" + std::to_string(design.bits) + "/mean";
}

std::string lsfPredictorName(const LsfQuantiserDesign& design) {
    return "lsf" + std::to_string(design.bits) + "/predictor";
}

std::string lsfSplitName(const LsfQuantiserDesign& design, int k) {
    return "lsf" + std::to_string(design.bits) + "/split" + std::to_string(k);
}

void checkLsfTables(const QuantiserTables& tables) {
    for (const LsfQuantiserDesign& design : kLsfQuantiserDesigns) tablesOf(tables, design);
}

std::array<double, kLpOrder> lsfWeights(const LineSpectralFrequencies& f) {
    const LpCoeffs a = lsfToLp(f);
    std::array<double, kLpOrder> w{};
    for (int i = 0; i < kLpOrder; ++i)  // P(f_i)^r = |A|^(-2r)
        w[i] = kComponentWeights[i] * std::pow(squaredMagnitude(a, f[i]), -kLsfWeightExponent);
    return w;
}

LineSpectralFrequencies spacedLsf(LineSpectralFrequencies f) {
    std::sort(f.begin(), f.end());
    // Upwards from delta, then downwards from pi - delta: with 11 delta far
    // below pi the second pass keeps what the first made.
    f[0] = std::max(f[0], kLsfMinimumSpacing);
    for (int i = 1; i < kLpOrder; ++i) f[i] = std::max(f[i], f[i - 1] + kLsfMinimumSpacing);
    f[kLpOrder - 1] = std::min(f[kLpOrder - 1], std::numbers::pi - kLsfMinimumSpacing);
    for (int i = kLpOrder - 2; i >= 0; --i) f[i] = std::min(f[i], f[i + 1] - kLsfMinimumSpacing);
    return f;
}

QuantisedLsf quantiseLsf(const QuantiserTables& tables, CoderMode mode,
                         const LineSpectralFrequencies* setI, const LineSpectralFrequencies& set,
                         LsfPredictorMemory& memory) {
    return quantiseLsf(tables, lsfDesignOf(mode), setI, set, memory);
}

QuantisedLsf quantiseLsf(const QuantiserTables& tables, const LsfQuantiserDesign& design,
                         const LineSpectralFrequencies* setI, const LineSpectralFrequencies& set,
                         LsfPredictorMemory& memory) {
    const DesignTables t = tablesOf(tables, design);
    if (design.twoSets && setI == nullptr)
        throw std::invalid_argument("a mode with two LP analyses quantises set I as well");
    const std::array<const LineSpectralFrequencies*, kMaxSets> f{design.twoSets ? setI : &set,
                                                                 &set};
    // e and c_i w_i of each set.
    std::array<std::array<double, kLpOrder>, kMaxSets> e{};
    std::array<std::array<double, kLpOrder>, kMaxSets> w{};
    for (int s = 0; s < design.setCount(); ++s) {
        const LineSpectralFrequencies& fs = *f[s];
        w[s] = lsfWeights(fs);
        for (int i = 0; i < kLpOrder; ++i)
            e[s][i] =
                fs[i] - (*t.mean)[slot(s, i)] - (*t.predictor)[slot(s, i)] * memory.residual[i];
    }
    LsfIndices indices{};
    for (int k = 0; k < design.splitCount; ++k) {
        const LsfSplit& split = design.splits[k];
        std::array<double, kMaxCodewordDimension> x{};
        std::array<double, kMaxCodewordDimension> weights{};
        for (int s = 0; s < design.setCount(); ++s)
            for (int j = 0; j < split.dimension; ++j) {
                x[s * split.dimension + j] = e[s][split.first + j];
                weights[s * split.dimension + j] = w[s][split.first + j];
            }
        const auto n = static_cast<std::size_t>(design.codewordDimension(k));
        indices[k] = {
            nearestCodeword(*t.splits[k], std::span(x).first(n), std::span(weights).first(n)),
            split.bits};
    }
    return rebuild(design, t, indices, memory);
}

QuantisedLsf decodeLsf(const QuantiserTables& tables, CoderMode mode, const LsfIndices& indices,
                       LsfPredictorMemory& memory) {
    const LsfQuantiserDesign& design = lsfDesignOf(mode);
    const DesignTables t = tablesOf(tables, design);
    for (int k = 0; k < kMaxLsfSplits; ++k) {
        const int bits = k < design.splitCount ? design.splits[k].bits : 0;
        if (indices[k].bits != bits || indices[k].index < 0 || indices[k].index >= (1 << bits))
            throw std::invalid_argument("LSF index " + std::to_string(k) +
                                        " does not fit the mode's quantiser");
    }
    return rebuild(design, t, indices, memory);
}

}  // namespace zorvel
