// What the commands that train LSF quantisers share: the held-out list read
// before anything else, the analyses of a list of inputs on a pool of
// threads (every input readable, or none taken: quantisers trained or
// measured on a part of a list would pass for the whole), and the modes that
// code with a design.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/InputFormat.h"
#include "coder/LsfTraining.h"

namespace zorvel::cli {

// The paths of the list file `list`, one a line; nothing when it cannot be
// read (reported on standard error).
std::optional<std::vector<std::string>> readHeldOutList(const std::string& list);

// The analyses of every input, in the order of the list, on up to `jobs`
// threads (0: one per core); nothing when an input was refused or failed
// (each reported by name on standard error).
std::optional<std::vector<LsfTrainingFile>> analyseLsfInputs(const std::vector<std::string>& names,
                                                             const InputFormatChoice& format,
                                                             unsigned jobs);

// The frames read from the files (those without frequencies included).
std::int64_t framesOf(const std::vector<LsfTrainingFile>& files);

// The modes that code with `design`, as the windows name them; as a text,
// separated by spaces: "10.2 7.40 6.70 5.90". None when no mode does.
std::vector<std::string> modesOf(const LsfQuantiserDesign& design);
std::string modesText(const LsfQuantiserDesign& design);

}  // namespace zorvel::cli
