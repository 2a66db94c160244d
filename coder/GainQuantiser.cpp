#include "coder/GainQuantiser.h"

#include <cmath>
#include <stdexcept>

namespace zorvel {
namespace {

constexpr double kSubframeLength = kSubframeSamples;

[[noreturn]] void wrongShape(const std::string& name, const std::string& expected) {
    throw QuantiserTablesError(TablesProblem::wrongShape,
                               "the quantiser table '" + name + "' is not " + expected);
}

const std::vector<double>& coefficientsOf(const QuantiserTables& tables, const std::string& name,
                                          std::size_t count) {
    const std::vector<double>& values = tables.coefficients(name);
    if (values.size() != count) wrongShape(name, std::to_string(count) + " values");
    return values;
}

std::vector<double> codebookOf(const QuantiserTables& tables, const std::string& name,
                               int dimension, int bits) {
    const Codebook& codebook = tables.codebook(name);
    if (codebook.dimension != dimension || codebook.size() != (1 << bits))
        wrongShape(name, "a codebook of " + std::to_string(1 << bits) + " codewords of dimension " +
                             std::to_string(dimension));
    // A correction must be positive: the memory keeps its logarithm.
    for (int k = 0; k < codebook.size(); ++k)
        for (int i = 1; i < dimension; i += 2)
            if (!(codebook[k][i] > 0.0) || !std::isfinite(codebook[k][i - 1]))
                wrongShape(name, "a codebook of positive corrections");
    return codebook.values;
}

int nearestValue(const std::vector<double>& values, double target) {
    int best = 0;
    for (int k = 1; k < static_cast<int>(values.size()); ++k)
        if (std::abs(values[k] - target) < std::abs(values[best] - target)) best = k;
    return best;
}

}  // namespace

GainCorrelations gainCorrelations(std::span<const double, kSubframeSamples> x,
                                  std::span<const double, kSubframeSamples> y,
                                  std::span<const double, kSubframeSamples> z) {
    GainCorrelations r;
    for (int n = 0; n < kSubframeSamples; ++n) {
        r.xx += x[n] * x[n];
        r.xy += x[n] * y[n];
        r.xz += x[n] * z[n];
        r.yy += y[n] * y[n];
        r.yz += y[n] * z[n];
        r.zz += z[n] * z[n];
    }
    return r;
}

double gainError(const GainCorrelations& r, double gp, double gc) {
    return r.xx - 2.0 * gp * r.xy - 2.0 * gc * r.xz + gp * gp * r.yy + gc * gc * r.zz +
           2.0 * gp * gc * r.yz;
}

double codeVectorEnergyDb(std::span<const double, kSubframeSamples> c) {
    double energy = 0.0;
    for (double value : c) energy += value * value;
    if (energy == 0.0) energy = 1.0;
    return 10.0 * std::log10(energy / kSubframeLength);
}

std::string gainTablePrefix(GainCoding coding, int bits) {
    switch (coding) {
        case GainCoding::scalar:
            return "gain" + std::to_string(bits) + "/";
        case GainCoding::joint:
            return "gain" + std::to_string(bits) + "/";
        case GainCoding::jointPair:
            return "gain" + std::to_string(bits) + "pair/";
    }
    return {};
}

GainQuantiser::GainQuantiser(const QuantiserTables& tables, CoderMode mode)
    : coding_(rulesOf(mode).gainCoding) {
    const int bits = rulesOf(mode).gainBits;
    const std::string prefix = gainTablePrefix(coding_, bits);
    mean_ = coefficientsOf(tables, prefix + "mean", 1)[0];
    const std::vector<double>& b =
        coefficientsOf(tables, prefix + "predictor", kGainPredictorOrder);
    std::copy(b.begin(), b.end(), predictor_.begin());
    switch (coding_) {
        case GainCoding::scalar:
            if (bits != kScalarPitchGainBits + kScalarCorrectionBits)
                throw std::logic_error("the scalar gain coding takes 4 + 5 bits");
            pitch_ = codebookOf(tables, prefix + "pitch", 1, kScalarPitchGainBits);
            correction_ = codebookOf(tables, prefix + "correction", 1, kScalarCorrectionBits);
            for (double g : correction_)
                if (!(g > 0.0)) wrongShape(prefix + "correction", "a list of positive corrections");
            break;
        case GainCoding::joint:
            dimension_ = 2;
            codebook_ = codebookOf(tables, prefix + "codebook", 2, bits);
            break;
        case GainCoding::jointPair:
            dimension_ = 4;
            codebook_ = codebookOf(tables, prefix + "codebook", 4, bits);
            for (int k = 0; k < codewords(); ++k)
                firstCorrectionPower_.push_back(std::pow(codebook_[k * 4 + 1], predictor_[0]));
            break;
    }
}

double GainQuantiser::predictedGain(const GainPredictorMemory& memory, double codeEnergyDb) const {
    double predicted = 0.0;
    for (int i = 0; i < kGainPredictorOrder; ++i) predicted += predictor_[i] * memory[i];
    return std::pow(10.0, (predicted + mean_ - codeEnergyDb) / 20.0);
}

void GainQuantiser::remember(GainPredictorMemory& memory, double correction) {
    for (int i = kGainPredictorOrder - 1; i > 0; --i) memory[i] = memory[i - 1];
    memory[0] = 20.0 * std::log10(correction);
}

int GainQuantiser::pitchIndex(double gp) const { return nearestValue(pitch_, gp); }

double GainQuantiser::pitchGain(int index) const { return pitch_.at(index); }

int GainQuantiser::correctionIndex(double gc, double predictedGain) const {
    return nearestValue(correction_, gc / predictedGain);
}

double GainQuantiser::correction(int index) const { return correction_.at(index); }

int GainQuantiser::jointIndex(const GainCorrelations& r, double predictedGain) const {
    int best = 0;
    double least = 0.0;
    for (int k = 0; k < codewords(); ++k) {
        const double e = gainError(r, codebook_[2 * k], codebook_[2 * k + 1] * predictedGain);
        if (k == 0 || e < least) {
            least = e;
            best = k;
        }
    }
    return best;
}

QuantisedGains GainQuantiser::jointGains(int index, double predictedGain) const {
    if (index < 0 || index >= codewords()) throw std::invalid_argument("gain index names no gains");
    const double g = codebook_[2 * index + 1];
    return {codebook_[2 * index], g * predictedGain, g};
}

int GainQuantiser::pairIndex(const GainCorrelations& first, double firstCodeEnergyDb,
                             const GainCorrelations& second, double secondCodeEnergyDb,
                             const GainPredictorMemory& memory) const {
    const double firstPredicted = predictedGain(memory, firstCodeEnergyDb);
    // The second subframe's prediction without the first's error: b_1 R0
    // enters as the factor g0^b1 of the codeword.
    GainPredictorMemory shifted{};
    for (int i = 1; i < kGainPredictorOrder; ++i) shifted[i] = memory[i - 1];
    const double secondPredictedRest = predictedGain(shifted, secondCodeEnergyDb);
    int best = 0;
    double least = 0.0;
    for (int k = 0; k < codewords(); ++k) {
        const double* c = &codebook_[4 * k];
        const double e =
            gainError(first, c[0], c[1] * firstPredicted) +
            gainError(second, c[2], c[3] * secondPredictedRest * firstCorrectionPower_[k]);
        if (k == 0 || e < least) {
            least = e;
            best = k;
        }
    }
    return best;
}

QuantisedGains GainQuantiser::pairGains(int index, int which, const GainPredictorMemory& memory,
                                        double codeEnergyDb) const {
    if (index < 0 || index >= codewords()) throw std::invalid_argument("gain index names no gains");
    const double gp = codebook_[4 * index + 2 * which];
    const double g = codebook_[4 * index + 2 * which + 1];
    return {gp, g * predictedGain(memory, codeEnergyDb), g};
}

}  // namespace zorvel
