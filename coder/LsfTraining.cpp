#include "coder/LsfTraining.h"

#include <cstring>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <tuple>

#include "coder/SpeechCoder.h"
#include "coder/VectorTraining.h"
#include "coder/WorkPool.h"

namespace zorvel {
namespace {

constexpr int kPredictorSteps = 95;            // b = 0, 0.01, ..., 0.95
constexpr double kPredictorDivisions = 100.0;  // b = step / 100

// The first mode of the table with two LP analyses, or with one.
CoderMode modeWithAnalyses(bool two) {
    for (const CoderMode mode : kAllCoderModes)
        if (rulesOf(mode).twoLpAnalyses == two) return mode;
    throw std::logic_error("no mode with that LP analysis");
}

// One coder whose records take each frame, running only the stages up to
// the LP analysis.
class LpAnalysis {
  public:
    LpAnalysis(CoderMode mode, const CoderSettings& settings)
        : coder_(SpeechInput(std::make_unique<std::istringstream>()), mode, settings) {}

    void analyse(const Signal& samples) {
        FrameRecord& previous = coder_.previousFrame();
        FrameRecord& current = coder_.currentFrame();
        previous.speech = current.speech;
        previous.inputTail = current.inputTail;
        current.speech = samples;
        if (coder_.settings().highPass) coder_.highPassInput();
        coder_.analyseLp();
    }
    const FrameRecord& frame() const { return coder_.currentFrame(); }

  private:
    SpeechCoder coder_;
};

// The frames of one kind: set s of frame n of file k.
struct SetsOfKind {
    int sets;
    std::vector<std::vector<std::array<LineSpectralFrequencies, 2>>> files;
};

SetsOfKind setsOfKind(std::span<const LsfTrainingFile> files, bool twoSets) {
    SetsOfKind kind{twoSets ? 2 : 1, {}};
    for (const LsfTrainingFile& file : files) {
        auto& frames = kind.files.emplace_back();
        if (twoSets) {
            frames = file.twoSets;
        } else {
            for (const LineSpectralFrequencies& f : file.oneSet) frames.push_back({f, f});
        }
    }
    return kind;
}

using Values = std::vector<double>;  // one per component of each set, set I first

Values meanOf(const SetsOfKind& kind) {
    Values m(static_cast<std::size_t>(kLpOrder * kind.sets), 0.0);
    std::int64_t count = 0;
    for (const auto& file : kind.files)
        for (const auto& frame : file) {
            for (int s = 0; s < kind.sets; ++s)
                for (int i = 0; i < kLpOrder; ++i) m[s * kLpOrder + i] += frame[s][i];
            ++count;
        }
    if (count == 0) throw std::invalid_argument("no frames to train the LSF quantisers on");
    for (double& v : m) v /= static_cast<double>(count);
    return m;
}

// The component's value minus its mean: x(n).
double centred(const std::array<LineSpectralFrequencies, 2>& frame, const Values& m, int s, int i) {
    return frame[s][i] - m[s * kLpOrder + i];
}

// The residual energy of component i of the last set with coefficient b.
double lastSetEnergy(const SetsOfKind& kind, const Values& m, int i, double b) {
    const int last = kind.sets - 1;
    double energy = 0.0;
    for (const auto& file : kind.files) {
        double e = 0.0;
        for (const auto& frame : file) {
            e = centred(frame, m, last, i) - b * e;
            energy += e * e;
        }
    }
    return energy;
}

// The coefficient of the grid with the least energy (the first of equals).
template <class Energy>
double bestCoefficient(Energy energy) {
    double best = 0.0;
    double least = energy(0.0);
    for (int step = 1; step <= kPredictorSteps; ++step) {
        const double b = step / kPredictorDivisions;
        const double E = energy(b);
        if (E < least) {
            least = E;
            best = b;
        }
    }
    return best;
}

Values predictorOf(const SetsOfKind& kind, const Values& m) {
    Values b(m.size(), 0.0);
    const int last = kind.sets - 1;
    for (int i = 0; i < kLpOrder; ++i) {
        const double bLast =
            bestCoefficient([&](double c) { return lastSetEnergy(kind, m, i, c); });
        b[last * kLpOrder + i] = bLast;
        if (kind.sets == 2) b[i] = bLast;  // set I predicted alike
    }
    return b;
}

// e(n) of every frame, and its weights, in the layout of the mean.
struct Residuals {
    std::vector<Values> e;
    std::vector<Values> w;
};

Residuals residualsOf(const SetsOfKind& kind, const Values& m, const Values& b) {
    Residuals r;
    const int last = kind.sets - 1;
    for (const auto& file : kind.files) {
        std::array<double, kLpOrder> memory{};  // e of the last set, frame n - 1
        for (const auto& frame : file) {
            Values e(m.size());
            Values w(m.size());
            for (int s = 0; s < kind.sets; ++s) {
                const std::array<double, kLpOrder> weights = lsfWeights(frame[s]);
                for (int i = 0; i < kLpOrder; ++i) {
                    const int j = s * kLpOrder + i;
                    e[j] = centred(frame, m, s, i) - b[j] * memory[i];
                    w[j] = weights[i];
                }
            }
            for (int i = 0; i < kLpOrder; ++i) memory[i] = e[last * kLpOrder + i];
            r.e.push_back(std::move(e));
            r.w.push_back(std::move(w));
        }
    }
    return r;
}

// The split's part of every frame's residual as training vectors.
TrainingVectors splitVectors(const Residuals& r, int sets, const LsfSplit& split) {
    TrainingVectors vectors(split.dimension * sets);
    std::vector<double> x(static_cast<std::size_t>(split.dimension * sets));
    std::vector<double> w(x.size());
    for (std::size_t n = 0; n < r.e.size(); ++n) {
        for (int s = 0; s < sets; ++s)
            for (int j = 0; j < split.dimension; ++j) {
                x[s * split.dimension + j] = r.e[n][s * kLpOrder + split.first + j];
                w[s * split.dimension + j] = r.w[n][s * kLpOrder + split.first + j];
            }
        vectors.add(x, w);
    }
    return vectors;
}

void trainKind(std::span<const LsfTrainingFile> files, bool twoSets,
               std::span<const LsfQuantiserDesign> designs, QuantiserTables& tables,
               unsigned threads, const LsfSplitTrained& splitTrained) {
    bool needed = false;
    for (const LsfQuantiserDesign& design : designs) needed = needed || design.twoSets == twoSets;
    if (!needed) return;
    const SetsOfKind kind = setsOfKind(files, twoSets);
    const Values m = meanOf(kind);
    const Values b = predictorOf(kind, m);
    const Residuals r = residualsOf(kind, m, b);
    // Each split (first, dimension) of the kind's designs, to its most bits.
    std::map<std::pair<int, int>, int> mostBits;
    for (const LsfQuantiserDesign& design : designs) {
        if (design.twoSets != twoSets) continue;
        for (int k = 0; k < design.splitCount; ++k) {
            const LsfSplit& split = design.splits[k];
            int& bits = mostBits[{split.first, split.dimension}];
            bits = std::max(bits, split.bits);
        }
    }
    // The runs are independent of each other: each on a thread of its own.
    const std::vector<std::pair<std::pair<int, int>, int>> runs(mostBits.begin(), mostBits.end());
    std::vector<LbgResult> results(runs.size());
    runOnPool(runs.size(), poolThreads(threads, runs.size()), [&](std::size_t j) {
        const auto& [key, bits] = runs[j];
        const LsfSplit split{key.first, key.second, bits};
        results[j] = trainLbg(splitVectors(r, kind.sets, split), bits);
        if (splitTrained) splitTrained(split, twoSets);
        return true;
    });
    std::map<std::pair<int, int>, LbgResult> trained;
    for (std::size_t j = 0; j < runs.size(); ++j) trained[runs[j].first] = std::move(results[j]);
    for (const LsfQuantiserDesign& design : designs) {
        if (design.twoSets != twoSets) continue;
        tables.setCoefficients(lsfMeanName(design), m);
        tables.setCoefficients(lsfPredictorName(design), b);
        for (int k = 0; k < design.splitCount; ++k) {
            const LsfSplit& split = design.splits[k];
            tables.setCodebook(lsfSplitName(design, k),
                               trained.at({split.first, split.dimension}).codebooks[split.bits]);
        }
    }
}

}  // namespace

LsfTrainingFile analyseLsfSets(SpeechInput input, const CoderSettings& settings) {
    if (!input.usable()) throw FileError(input.problem());
    LpAnalysis two(modeWithAnalyses(true), settings);
    LpAnalysis one(modeWithAnalyses(false), settings);
    LsfTrainingFile file;
    Signal samples{};
    while (input.readSamples(samples)) {
        ++file.frames;
        two.analyse(samples);
        one.analyse(samples);
        const auto setI = lpToLsf(two.frame().lpCoeffsI);
        const auto setII = lpToLsf(two.frame().lpCoeffsII);
        if (setI && setII) file.twoSets.push_back({*setI, *setII});
        if (const auto f = lpToLsf(one.frame().lpCoeffsII)) file.oneSet.push_back(*f);
    }
    if (input.failed())
        throw FileError(
            std::string("the input could not be read: ") + std::strerror(input.readError()),
            input.readError());
    return file;
}

void trainLsfTables(std::span<const LsfTrainingFile> files, QuantiserTables& tables) {
    trainLsfDesigns(files, kLsfQuantiserDesigns, tables);
}

void trainLsfDesigns(std::span<const LsfTrainingFile> files,
                     std::span<const LsfQuantiserDesign> designs, QuantiserTables& tables,
                     unsigned threads, const LsfSplitTrained& trained) {
    trainKind(files, true, designs, tables, threads, trained);
    trainKind(files, false, designs, tables, threads, trained);
}

std::vector<LsfDistortion> measureLsfQuantisers(const QuantiserTables& tables,
                                                std::span<const LsfTrainingFile> files) {
    return measureLsfDesigns(tables, kLsfQuantiserDesigns, files);
}

std::vector<LsfDistortion> measureLsfDesigns(const QuantiserTables& tables,
                                             std::span<const LsfQuantiserDesign> designs,
                                             std::span<const LsfTrainingFile> files,
                                             unsigned threads) {
    std::vector<LsfDistortion> result(designs.size());
    runOnPool(designs.size(), poolThreads(threads, designs.size()), [&](std::size_t j) {
        const LsfQuantiserDesign& design = designs[j];
        LsfDistortion d{design, {}, {}};
        for (const LsfTrainingFile& file : files) {
            LsfPredictorMemory memory;
            if (design.twoSets) {
                for (const auto& frame : file.twoSets) {
                    const QuantisedLsf q = quantiseLsf(tables, design, &frame[0], frame[1], memory);
                    d.setI.add(spectralDistortion(lsfToLp(frame[0]), lsfToLp(q.setI)));
                    d.set.add(spectralDistortion(lsfToLp(frame[1]), lsfToLp(q.setII)));
                }
            } else {
                for (const LineSpectralFrequencies& f : file.oneSet) {
                    const QuantisedLsf q = quantiseLsf(tables, design, nullptr, f, memory);
                    d.set.add(spectralDistortion(lsfToLp(f), lsfToLp(q.setII)));
                }
            }
        }
        result[j] = d;
        return true;
    });
    return result;
}

}  // namespace zorvel
