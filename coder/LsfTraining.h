// The training of the LSF quantisers (coder/LsfQuantiser.h) on speech, and
// their spectral distortion on other speech.
//
// The training vectors are the line spectral frequencies of the coder's own
// LP analysis of every frame (the stages of SpeechCoder, with the settings
// given): the one set of the modes with one LP analysis, and sets I and II
// of the mode with two. Frames whose filter gives no frequencies are left
// out. Of each kind:
// - m, the mean of every component over all frames;
// - b, per component the first-order MA coefficient in 0, 0.01, ..., 0.95
//   that gives the least energy of the residual e(n) = f(n) - m - b e(n-1)
//   over all files (e = 0 before each file's first frame); with two sets,
//   b of set II, which set I takes as well: both sets are predicted from
//   set II's e(n-1), and predicted alike their residuals stay alike, which
//   the split matrix codes together (a least-squares b of set I's own gives
//   set I less residual energy but codes it worse: 1.06 against 0.79 dB mean
//   spectral distortion on the held-out speech);
// - each split's codebook, trained by LBG (coder/VectorTraining.h) on the
//   split's part of e(n) under the weights c_i w_i of its frame. A split
//   shared by several designs is trained once, to the most bits any of them
//   gives it, the smaller codebooks taken from the same run: a codebook of
//   2^k codewords is the same whatever size the run goes on to, so a design
//   trained alone and trained beside others gets the same tables.
// Everything is summed in the order of the files and their frames: the same
// files in the same order give the same tables bit for bit.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "coder/CoderSettings.h"
#include "coder/LpDistortion.h"
#include "coder/Lsf.h"
#include "coder/LsfQuantiser.h"
#include "coder/QuantiserTables.h"
#include "sound/SpeechInput.h"

namespace zorvel {

// The frequencies of one file's frames.
struct LsfTrainingFile {
    std::vector<LineSpectralFrequencies> oneSet;                  // one LP analysis
    std::vector<std::array<LineSpectralFrequencies, 2>> twoSets;  // sets I and II
    std::int64_t frames = 0;                                      // frames read
};

// The LP analyses of every frame of `input`, read to its end. Throws
// FileError when the input cannot be used or its reading fails part-way.
LsfTrainingFile analyseLsfSets(SpeechInput input, const CoderSettings& settings = {});

// Trains the tables of every design of kLsfQuantiserDesigns into `tables`.
// Throws std::invalid_argument when the files hold no frame of a kind.
void trainLsfTables(std::span<const LsfTrainingFile> files, QuantiserTables& tables);

// Trains the tables of `designs` (of either kind, e.g. lsfBudgetDesign's)
// into `tables`, under the names of lsfMeanName and the rest: designs of one
// bit count and kind share them, so give each such design once. The splits'
// codebooks are trained on up to `threads` threads (0: one per core); the
// tables do not depend on it. `trained`, where given, hears of each split's
// run as it ends (on the thread that ran it): the split, with the most bits
// it was trained to. Throws std::invalid_argument when the files hold no
// frame of a kind the designs need.
using LsfSplitTrained = std::function<void(const LsfSplit& split, bool twoSets)>;
void trainLsfDesigns(std::span<const LsfTrainingFile> files,
                     std::span<const LsfQuantiserDesign> designs, QuantiserTables& tables,
                     unsigned threads = 1, const LsfSplitTrained& trained = {});

// The spectral distortion of one design over files, each file quantised
// from a zero memory, frame by frame; between the LP filters of the
// unquantised and the quantised frequencies.
struct LsfDistortion {
    LsfQuantiserDesign design;
    SpectralDistortionStatistics setI;  // two sets: set I; otherwise empty
    SpectralDistortionStatistics set;   // the (last) set
};

// Every design's, in the order of kLsfQuantiserDesigns.
std::vector<LsfDistortion> measureLsfQuantisers(const QuantiserTables& tables,
                                                std::span<const LsfTrainingFile> files);

// Those of `designs`, whose tables `tables` hold, in their order; the designs
// measured on up to `threads` threads at once (0: one per core).
std::vector<LsfDistortion> measureLsfDesigns(const QuantiserTables& tables,
                                             std::span<const LsfQuantiserDesign> designs,
                                             std::span<const LsfTrainingFile> files,
                                             unsigned threads = 1);

}  // namespace zorvel
