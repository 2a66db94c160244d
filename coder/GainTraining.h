// The training of the gain quantisers (coder/GainQuantiser.h) on speech.
//
// The training observations come from the quantised coder itself, run with
// the LSF quantisers already trained (and provisional gain tables, which a
// training pass does not use: its gains stay optimal) on every file, in the
// first mode of each gain coding in the mode table. Of each coding:
// - Em, the mean of the innovation energy 20 log10 gc + E_c over the active
//   subframes (a target of more than kActiveTargetEnergy);
// - b_1..b_4, the moving-average predictor of the mean-removed energy: each
//   coefficient in turn, three times over, the value of 0, 0.02, ..., 0.98
//   that gives the least energy of the prediction error R(n) = E(n) - Em -
//   sum b_i R(n-i) over all files (R = 0 before each file's first subframe,
//   energies kept within kEnergyRange of Em);
// - the codebooks, on the active subframes, each weighed by its own target
//   energy (so that quiet subframes count as much as loud ones, as the
//   segmental SNR counts them), with the predicted gain of the error
//   sequence above: the scalar coding's gp and correction by LBG under the
//   weights of their errors (VectorTraining.h); the joint and pair codings'
//   codewords by the generalised Lloyd algorithm with splitting under the
//   error |x - gp y - gc z|^2 itself, whose centroid in a cell is the
//   solution of two linear equations per subframe.
// Everything runs in the order of the files and their subframes: the same
// files in the same order give the same tables bit for bit.
#pragma once

#include <array>
#include <functional>
#include <span>
#include <vector>

#include "coder/CoderMode.h"
#include "coder/GainQuantiser.h"
#include "coder/QuantiserTables.h"
#include "sound/SpeechInput.h"

namespace zorvel {

inline constexpr double kActiveTargetEnergy = 40.0 * 10.0 * 10.0;  // an RMS of 10
inline constexpr double kEnergyRange = 30.0;                       // dB
inline constexpr int kMaxGainTrainingItems = 60000;

// The gain codings of the mode table, each with the first mode that has it.
struct GainCodingOfModes {
    GainCoding coding;
    int bits;
    CoderMode mode;
};
std::vector<GainCodingOfModes> gainCodings();

// One subframe's observation, kept small.
struct GainSample {
    float xx, xy, xz, yy, yz, zz;
    float codeEnergyDb;
    float pitchGain;
    float codebookGain;
};

// One file's observations: per gain coding (in the order of gainCodings),
// its subframes in order.
struct GainTrainingFile {
    std::vector<std::vector<GainSample>> codings;
};

// Gain tables that let a training pass run: gp and corrections spread evenly,
// no prediction.
void addProvisionalGainTables(QuantiserTables& tables);

// The observations of one file, coding it in every training mode with
// `tables` (which must hold the LSF quantisers); `open` gives the file's
// input anew for each. Throws FileError when the input cannot be used.
GainTrainingFile observeGains(const std::function<SpeechInput()>& open,
                              const QuantiserTables& tables);

// Trains every gain coding's tables into `tables`. Throws
// std::invalid_argument when the files hold no active subframe of a coding.
void trainGainTables(std::span<const GainTrainingFile> files, QuantiserTables& tables);

// The generalised Lloyd training of a joint codebook on items of `parts`
// subframes (1 or 2), each part (xy, xz, yy, zz, yz) of x normalised to
// |x| = 1 and with the predicted gain folded into z: the codewords (gp, g)
// per part, 2^bits of them, and the mean error of every iteration in order.
struct JointTraining {
    std::vector<double> codebook;
    std::vector<double> errors;
};
JointTraining trainJointGains(std::span<const std::array<double, 5>> parts, int partsPerItem,
                              int bits);

}  // namespace zorvel
