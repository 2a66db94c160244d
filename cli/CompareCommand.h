// zorvel-cli compare: every file figure of a degraded recording against its
// clean reference (coder/CompareRecordings.h), for any two recordings: the
// coder's own inputs and outputs as the coder reads them (samples from byte
// 60), any other recording libsndfile reads converted as `import` converts
// it. Printed as a list of figures, as CSV (--csv) or as one JSON object
// (--json); no value is "-" in the list, an empty cell in CSV and null in
// JSON.
#pragma once

#include "cli/Arguments.h"

namespace zorvel::cli {

// A recording that cannot be read is reported on standard error with its
// name and the reason, and the command ends with kExitFailed.
int runCompare(const CompareArguments& arguments);

}  // namespace zorvel::cli
