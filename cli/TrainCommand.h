// zorvel-cli train: the quantiser tables trained on speech files (the LSF
// quantisers of every mode's budget, coder/LsfTraining.h) and written as a
// tables file (coder/QuantiserTables.h) through a staged output; with
// --held-out, the spectral distortion of the trained quantisers on the
// speech of another list.
#pragma once

#include "cli/Arguments.h"

namespace zorvel::cli {

int runTrain(const TrainArguments& arguments);

}  // namespace zorvel::cli
