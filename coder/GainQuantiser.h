// The quantiser of a subframe's gains: the pitch gain gp and the algebraic
// codebook's gain gc, with the mode's coding (CoderModeRules::gainCoding).
//
// gc is not sent itself but as a correction factor g on a predicted gain:
//   E_c = 10 log10(sum c(n)^2 / 40)      the energy of the unscaled code vector (dB)
//   E~  = sum_i b_i R(n-i), i = 1..4      the predicted mean-removed energy (dB), a
//                                         fourth-order moving average of the
//                                         quantised prediction errors R
//   g'c = 10^((E~ + Em - E_c) / 20)      the predicted gain, Em the trained mean energy
//   gc  = g g'c,   R(n) = 20 log10 g     the correction, and the error the memory keeps.
// The scalar coding sends gp (4 bits, in 0..1.2) and g (5 bits) each by the
// nearest value of its codebook; the joint codings send (gp, g) as one
// codeword of (gp, g) pairs, and the pair coding (gp0, g0, gp1, g1) of two
// subframes, chosen by the least weighted error
//   e(gp, gc) = |x - gp y - gc z|^2
// of the subframe's target x, its filtered adaptive vector y and filtered
// code vector z, summed over the pair. In the pair, the second subframe's
// prediction holds the first's chosen error: each codeword predicts it anew.
// A decoder given the indices and the code vectors rebuilds the same gains
// bit for bit through the same functions.
#pragma once

#include <array>
#include <span>
#include <string>
#include <vector>

#include "coder/CoderMode.h"
#include "coder/Lengths.h"
#include "coder/QuantiserTables.h"

namespace zorvel {

inline constexpr int kGainPredictorOrder = 4;
inline constexpr int kScalarPitchGainBits = 4;
inline constexpr int kScalarCorrectionBits = 5;
inline constexpr double kMaxQuantisedPitchGain = 1.2;

// The quantised prediction errors R(n-1), R(n-2), ... in dB, the latest
// first; 0 before the first subframe.
using GainPredictorMemory = std::array<double, kGainPredictorOrder>;

// The correlations of a subframe's target x, filtered adaptive vector y
// (unscaled) and filtered code vector z (unscaled) that the error needs.
struct GainCorrelations {
    double xx = 0.0, xy = 0.0, xz = 0.0, yy = 0.0, yz = 0.0, zz = 0.0;
};

GainCorrelations gainCorrelations(std::span<const double, kSubframeSamples> x,
                                  std::span<const double, kSubframeSamples> y,
                                  std::span<const double, kSubframeSamples> z);

// What a training pass tells of a subframe: its correlations, its code
// vector's energy and its optimal gains.
struct GainObservation {
    int subframe = 0;
    GainCorrelations correlations;
    double codeEnergyDb = 0.0;
    double pitchGain = 0.0;
    double codebookGain = 0.0;
};

// |x - gp y - gc z|^2 from the correlations.
double gainError(const GainCorrelations& r, double gp, double gc);

// E_c of an unscaled code vector; a vector without energy counts as one
// unit pulse.
double codeVectorEnergyDb(std::span<const double, kSubframeSamples> c);

// The names of a coding's tables in QuantiserTables, "gain9/..." for the
// scalar coding, "gain7/...", "gain6/..." for the joint ones and "gain8pair/..."
// for the pair coding: "mean" (Em, one value), "predictor" (b_1..b_4),
// "pitch" (scalar: 16 values of gp), "correction" (scalar: 32 values of g),
// "codebook" (joint: (gp, g) pairs; pair: (gp0, g0, gp1, g1)).
std::string gainTablePrefix(GainCoding coding, int bits);

// The gains a subframe uses and the index of their code.
struct QuantisedGains {
    double pitchGain = 0.0;
    double codebookGain = 0.0;
    double correction = 1.0;  // g
};

class GainQuantiser {
  public:
    // The mode's coding from `tables`; throws QuantiserTablesError when they
    // lack a table of it or hold one of another shape.
    GainQuantiser(const QuantiserTables& tables, CoderMode mode);

    GainCoding coding() const { return coding_; }
    // g'c for a code vector of energy `codeEnergyDb` after `memory`.
    double predictedGain(const GainPredictorMemory& memory, double codeEnergyDb) const;
    // The memory after a subframe whose correction was g.
    static void remember(GainPredictorMemory& memory, double correction);

    // Scalar coding: gp's index and value, then g's given gc and g'c.
    int pitchIndex(double gp) const;
    double pitchGain(int index) const;
    int correctionIndex(double gc, double predictedGain) const;
    double correction(int index) const;

    // Joint coding: the codeword of least error; its gains.
    int jointIndex(const GainCorrelations& r, double predictedGain) const;
    QuantisedGains jointGains(int index, double predictedGain) const;

    // Pair coding: the codeword of least summed error over subframes a and
    // a + 1, each with its code vector's energy, after `memory` (before a).
    int pairIndex(const GainCorrelations& first, double firstCodeEnergyDb,
                  const GainCorrelations& second, double secondCodeEnergyDb,
                  const GainPredictorMemory& memory) const;
    // Subframe `which` (0 or 1) of the pair's codeword; the memory must be
    // the one before that subframe.
    QuantisedGains pairGains(int index, int which, const GainPredictorMemory& memory,
                             double codeEnergyDb) const;

    int codewords() const { return static_cast<int>(codebook_.size() / dimension_); }

  private:
    GainCoding coding_;
    double mean_ = 0.0;
    std::array<double, kGainPredictorOrder> predictor_{};
    std::vector<double> pitch_;       // scalar
    std::vector<double> correction_;  // scalar
    std::vector<double> codebook_;    // joint and pair, `dimension_` values a codeword
    int dimension_ = 1;
    std::vector<double> firstCorrectionPower_;  // pair: g0^b1 of every codeword
};

}  // namespace zorvel
