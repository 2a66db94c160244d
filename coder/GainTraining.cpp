#include "coder/GainTraining.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "coder/SpeechCoder.h"
#include "coder/VectorTraining.h"
#include "files/FileError.h"

namespace zorvel {
namespace {

constexpr double kLeastCorrection = 1e-2;
constexpr double kMostCorrection = 1e2;
constexpr double kPredictorStep = 0.02;
constexpr int kPredictorSteps = 50;  // 0 .. 0.98
constexpr int kPredictorSweeps = 3;
constexpr int kJointIterations = 20;
constexpr double kJointStopRatio = 1e-4;
constexpr double kSplitGain = 0.03;
constexpr double kSplitCorrection = 1.08;

std::vector<double> evenly(int count, double first, double last) {
    std::vector<double> values(static_cast<std::size_t>(count));
    for (int k = 0; k < count; ++k) values[k] = first + (last - first) * k / (count - 1);
    return values;
}

// A codebook of `dimension` from its values.
Codebook codebookOf(int dimension, std::vector<double> values) {
    return Codebook{dimension, std::move(values)};
}

// The predicted gains of one file's subframes, the errors R run as the
// coder's memory runs, but with the optimal gains.
struct Prediction {
    double mean;
    std::array<double, kGainPredictorOrder> b;
};

// E(n) - Em within the range; a subframe without a positive gain at the
// range's foot.
double meanRemovedEnergy(const GainSample& s, double mean) {
    if (!(s.codebookGain > 0.0f)) return -kEnergyRange;
    const double e = 20.0 * std::log10(static_cast<double>(s.codebookGain)) + s.codeEnergyDb - mean;
    return std::clamp(e, -kEnergyRange, kEnergyRange);
}

// sum R(n)^2 over the files with predictor b.
double predictionErrorEnergy(const std::vector<std::vector<double>>& sequences,
                             const std::array<double, kGainPredictorOrder>& b) {
    double total = 0.0;
    for (const std::vector<double>& e : sequences) {
        std::array<double, kGainPredictorOrder> R{};
        for (double value : e) {
            double predicted = 0.0;
            for (int i = 0; i < kGainPredictorOrder; ++i) predicted += b[i] * R[i];
            const double error = value - predicted;
            total += error * error;
            for (int i = kGainPredictorOrder - 1; i > 0; --i) R[i] = R[i - 1];
            R[0] = error;
        }
    }
    return total;
}

Prediction trainPrediction(std::span<const GainTrainingFile> files, std::size_t coding) {
    double sum = 0.0;
    std::size_t count = 0;
    for (const GainTrainingFile& file : files)
        for (const GainSample& s : file.codings[coding])
            if (s.xx > kActiveTargetEnergy && s.codebookGain > 0.0f) {
                sum += 20.0 * std::log10(static_cast<double>(s.codebookGain)) + s.codeEnergyDb;
                ++count;
            }
    if (count == 0) throw std::invalid_argument("no active subframe to train the gains on");
    Prediction p{sum / static_cast<double>(count), {}};
    std::vector<std::vector<double>> sequences;
    for (const GainTrainingFile& file : files) {
        std::vector<double> e;
        e.reserve(file.codings[coding].size());
        for (const GainSample& s : file.codings[coding]) e.push_back(meanRemovedEnergy(s, p.mean));
        sequences.push_back(std::move(e));
    }
    double least = predictionErrorEnergy(sequences, p.b);
    for (int sweep = 0; sweep < kPredictorSweeps; ++sweep)
        for (int i = 0; i < kGainPredictorOrder; ++i) {
            std::array<double, kGainPredictorOrder> trial = p.b;
            for (int step = 0; step < kPredictorSteps; ++step) {
                trial[i] = step * kPredictorStep;
                const double energy = predictionErrorEnergy(sequences, trial);
                if (energy < least) {
                    least = energy;
                    p.b = trial;
                }
            }
        }
    return p;
}

// Each subframe's predicted gain g'c under the prediction, the errors R
// run with the optimal gains.
std::vector<double> predictedGains(const std::vector<GainSample>& samples, const Prediction& p) {
    std::vector<double> gains;
    gains.reserve(samples.size());
    std::array<double, kGainPredictorOrder> R{};
    for (const GainSample& s : samples) {
        double predicted = 0.0;
        for (int i = 0; i < kGainPredictorOrder; ++i) predicted += p.b[i] * R[i];
        gains.push_back(std::pow(10.0, (predicted + p.mean - s.codeEnergyDb) / 20.0));
        const double error = meanRemovedEnergy(s, p.mean) - predicted;
        for (int i = kGainPredictorOrder - 1; i > 0; --i) R[i] = R[i - 1];
        R[0] = error;
    }
    return gains;
}

// A subframe's part of a joint item: x normalised away, g'c folded into z.
std::array<double, 5> partOf(const GainSample& s, double predicted) {
    const double xx = s.xx;
    return {s.xy / xx, s.xz * predicted / xx, s.yy / xx, s.zz * predicted * predicted / xx,
            s.yz * predicted / xx};
}

enum { kXy, kXz, kYy, kZz, kYz };

double partError(const std::array<double, 5>& p, double gp, double g) {
    return 1.0 - 2.0 * gp * p[kXy] - 2.0 * g * p[kXz] + gp * gp * p[kYy] + g * g * p[kZz] +
           2.0 * gp * g * p[kYz];
}

// The (gp, g) of least summed error over parts with these sums.
std::array<double, 2> centroid(const std::array<double, 5>& sums, std::array<double, 2> old) {
    const double det = sums[kYy] * sums[kZz] - sums[kYz] * sums[kYz];
    if (!(std::abs(det) > 0.0)) return old;
    double gp = (sums[kXy] * sums[kZz] - sums[kXz] * sums[kYz]) / det;
    gp = std::clamp(gp, 0.0, kMaxQuantisedPitchGain);
    double g = sums[kZz] > 0.0 ? (sums[kXz] - gp * sums[kYz]) / sums[kZz] : old[1];
    g = std::clamp(g, kLeastCorrection, kMostCorrection);
    return {gp, g};
}

// The active subframes' items, at most kMaxGainTrainingItems, taken at an
// even stride; pair codings take subframes 0-1 and 2-3 of a frame.
std::vector<std::array<double, 5>> jointParts(std::span<const GainTrainingFile> files,
                                              std::size_t coding, int partsPerItem,
                                              const Prediction& p) {
    std::vector<std::array<double, 5>> parts;
    for (const GainTrainingFile& file : files) {
        const std::vector<GainSample>& samples = file.codings[coding];
        const std::vector<double> predicted = predictedGains(samples, p);
        for (std::size_t n = 0; n + partsPerItem <= samples.size(); n += partsPerItem) {
            bool active = true;
            for (int k = 0; k < partsPerItem; ++k)
                active = active && samples[n + k].xx > kActiveTargetEnergy;
            if (!active) continue;
            for (int k = 0; k < partsPerItem; ++k)
                parts.push_back(partOf(samples[n + k], predicted[n + k]));
        }
    }
    const std::size_t items = parts.size() / partsPerItem;
    if (items == 0) throw std::invalid_argument("no active subframe to train the gains on");
    if (items <= kMaxGainTrainingItems) return parts;
    std::vector<std::array<double, 5>> taken;
    for (std::size_t k = 0; k < kMaxGainTrainingItems; ++k) {
        const std::size_t item = k * items / kMaxGainTrainingItems;
        for (int j = 0; j < partsPerItem; ++j) taken.push_back(parts[item * partsPerItem + j]);
    }
    return taken;
}

// Scalar coding: gp under the weights yy / xx, g under zz g'c^2 / xx.
void trainScalar(std::span<const GainTrainingFile> files, std::size_t coding, const Prediction& p,
                 const std::string& prefix, QuantiserTables& tables) {
    TrainingVectors pitch(1);
    TrainingVectors correction(1);
    for (const GainTrainingFile& file : files) {
        const std::vector<GainSample>& samples = file.codings[coding];
        const std::vector<double> predicted = predictedGains(samples, p);
        for (std::size_t n = 0; n < samples.size(); ++n) {
            const GainSample& s = samples[n];
            if (!(s.xx > kActiveTargetEnergy)) continue;
            const double gp = s.pitchGain;
            const double wp = s.yy / s.xx;
            if (wp > 0.0) pitch.add(std::span(&gp, 1), std::span(&wp, 1));
            const double g = std::clamp(s.codebookGain / predicted[n], 0.0, kMostCorrection);
            const double wg = s.zz * predicted[n] * predicted[n] / s.xx;
            if (wg > 0.0) correction.add(std::span(&g, 1), std::span(&wg, 1));
        }
    }
    if (pitch.count() == 0 || correction.count() == 0)
        throw std::invalid_argument("no active subframe to train the gains on");
    Codebook gp = trainLbg(pitch, kScalarPitchGainBits).codebooks.back();
    Codebook g = trainLbg(correction, kScalarCorrectionBits).codebooks.back();
    for (double& value : gp.values) value = std::clamp(value, 0.0, kMaxQuantisedPitchGain);
    for (double& value : g.values) value = std::max(value, kLeastCorrection);
    tables.setCodebook(prefix + "pitch", std::move(gp));
    tables.setCodebook(prefix + "correction", std::move(g));
}

}  // namespace

std::vector<GainCodingOfModes> gainCodings() {
    std::vector<GainCodingOfModes> codings;
    for (CoderMode mode : kAllCoderModes) {
        const CoderModeRules& rules = rulesOf(mode);
        const bool known = std::ranges::any_of(codings, [&](const GainCodingOfModes& c) {
            return c.coding == rules.gainCoding && c.bits == rules.gainBits;
        });
        if (!known) codings.push_back({rules.gainCoding, rules.gainBits, mode});
    }
    return codings;
}

void addProvisionalGainTables(QuantiserTables& tables) {
    for (const GainCodingOfModes& c : gainCodings()) {
        const std::string prefix = gainTablePrefix(c.coding, c.bits);
        tables.setCoefficients(prefix + "mean", {0.0});
        tables.setCoefficients(prefix + "predictor", std::vector<double>(kGainPredictorOrder, 0.0));
        if (c.coding == GainCoding::scalar) {
            tables.setCodebook(prefix + "pitch",
                               codebookOf(1, evenly(1 << kScalarPitchGainBits, 0.0, 1.2)));
            tables.setCodebook(prefix + "correction",
                               codebookOf(1, evenly(1 << kScalarCorrectionBits, 0.05, 4.0)));
            continue;
        }
        const int parts = c.coding == GainCoding::jointPair ? 2 : 1;
        std::vector<double> values;
        for (int k = 0; k < (1 << c.bits); ++k)
            for (int j = 0; j < parts; ++j) {
                values.push_back(1.2 * (k % 8) / 7.0);
                values.push_back(0.05 + 4.0 * (k / 8) / ((1 << c.bits) / 8));
            }
        tables.setCodebook(prefix + "codebook", codebookOf(2 * parts, std::move(values)));
    }
}

GainTrainingFile observeGains(const std::function<SpeechInput()>& open,
                              const QuantiserTables& tables) {
    GainTrainingFile file;
    CoderSettings settings;
    settings.quantisation = true;
    const auto shared = std::make_shared<const QuantiserTables>(tables);
    for (const GainCodingOfModes& c : gainCodings()) {
        SpeechInput input = open();
        if (!input.usable()) throw FileError(input.problem());
        SpeechCoder coder(std::move(input), c.mode, settings, shared);
        coder.setCheckpoints(nullptr);
        std::vector<GainSample>& samples = file.codings.emplace_back();
        coder.gainObserver = [&](const GainObservation& o) {
            const GainCorrelations& r = o.correlations;
            samples.push_back({static_cast<float>(r.xx), static_cast<float>(r.xy),
                               static_cast<float>(r.xz), static_cast<float>(r.yy),
                               static_cast<float>(r.yz), static_cast<float>(r.zz),
                               static_cast<float>(o.codeEnergyDb), static_cast<float>(o.pitchGain),
                               static_cast<float>(o.codebookGain)});
        };
        while (coder.nextFrame() == FrameStep::coded) {
        }
        if (coder.inputReadError() != 0)
            throw FileError(std::string("reading failed: ") +
                            std::strerror(coder.inputReadError()));
    }
    return file;
}

JointTraining trainJointGains(std::span<const std::array<double, 5>> parts, int partsPerItem,
                              int bits) {
    const std::size_t items = parts.size() / partsPerItem;
    if (items == 0) throw std::invalid_argument("no training items");
    const int width = 2 * partsPerItem;
    JointTraining result;
    std::vector<double>& codebook = result.codebook;
    std::vector<int> cell(items, 0);

    // Moves every codeword to its cell's centroid; keeps the codeword of an
    // empty cell.
    const auto update = [&](int size) {
        std::vector<std::array<double, 5>> sums(static_cast<std::size_t>(size * partsPerItem));
        for (std::size_t n = 0; n < items; ++n)
            for (int j = 0; j < partsPerItem; ++j)
                for (int k = 0; k < 5; ++k)
                    sums[cell[n] * partsPerItem + j][k] += parts[n * partsPerItem + j][k];
        for (int c = 0; c < size; ++c)
            for (int j = 0; j < partsPerItem; ++j) {
                double* codeword = &codebook[c * width + 2 * j];
                const auto moved = centroid(sums[c * partsPerItem + j], {codeword[0], codeword[1]});
                codeword[0] = moved[0];
                codeword[1] = moved[1];
            }
    };
    // Assigns every item to its codeword of least error; the mean error.
    const auto assign = [&](int size) {
        double total = 0.0;
        for (std::size_t n = 0; n < items; ++n) {
            double least = std::numeric_limits<double>::infinity();
            for (int c = 0; c < size; ++c) {
                double e = 0.0;
                for (int j = 0; j < partsPerItem; ++j)
                    e += partError(parts[n * partsPerItem + j], codebook[c * width + 2 * j],
                                   codebook[c * width + 2 * j + 1]);
                if (e < least) {
                    least = e;
                    cell[n] = c;
                }
            }
            total += least;
        }
        return total / static_cast<double>(items);
    };

    codebook.assign(static_cast<std::size_t>(width), 0.0);
    for (int j = 0; j < partsPerItem; ++j) codebook[2 * j + 1] = 1.0;
    update(1);
    result.errors.push_back(assign(1));
    for (int size = 1; size < (1 << bits); size *= 2) {
        codebook.resize(static_cast<std::size_t>(2 * size * width));
        for (int c = 0; c < size; ++c)
            for (int j = 0; j < partsPerItem; ++j) {
                const double gp = codebook[c * width + 2 * j];
                const double g = codebook[c * width + 2 * j + 1];
                codebook[(size + c) * width + 2 * j] =
                    std::min(gp + kSplitGain, kMaxQuantisedPitchGain);
                codebook[(size + c) * width + 2 * j + 1] = g * kSplitCorrection;
            }
        double error = assign(2 * size);
        result.errors.push_back(error);
        for (int iteration = 0; iteration < kJointIterations; ++iteration) {
            update(2 * size);
            const double next = assign(2 * size);
            result.errors.push_back(next);
            const bool settled = error - next <= kJointStopRatio * error;
            error = next;
            if (settled) break;
        }
    }
    return result;
}

void trainGainTables(std::span<const GainTrainingFile> files, QuantiserTables& tables) {
    const std::vector<GainCodingOfModes> codings = gainCodings();
    for (std::size_t k = 0; k < codings.size(); ++k) {
        const GainCodingOfModes& c = codings[k];
        const std::string prefix = gainTablePrefix(c.coding, c.bits);
        const Prediction p = trainPrediction(files, k);
        tables.setCoefficients(prefix + "mean", {p.mean});
        tables.setCoefficients(prefix + "predictor", std::vector<double>(p.b.begin(), p.b.end()));
        if (c.coding == GainCoding::scalar) {
            trainScalar(files, k, p, prefix, tables);
            continue;
        }
        const int partsPerItem = c.coding == GainCoding::jointPair ? 2 : 1;
        const std::vector<std::array<double, 5>> parts = jointParts(files, k, partsPerItem, p);
        JointTraining trained = trainJointGains(parts, partsPerItem, c.bits);
        tables.setCodebook(prefix + "codebook",
                           codebookOf(2 * partsPerItem, std::move(trained.codebook)));
    }
}

}  // namespace zorvel
