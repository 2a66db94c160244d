// zorvel-cli listening: the results of listening tests from their ratings
// files (listening/Ratings.h, as the desktop program's test writes them):
// per condition the number of ratings kept, the mean score and its 95 %
// confidence interval over the listeners and the items, after the screening
// of the listeners (listening/ListeningResults.h), whom the report names.
// Printed as an aligned table, as CSV (--csv; the screening then on standard
// error) or as one JSON object (--json); --plot writes the chart of bars with
// their intervals (plots/ListeningChart.h) as PNG or SVG by its extension.
#pragma once

#include "cli/Arguments.h"

namespace zorvel::cli {

int runListening(const ListeningArguments& arguments);

}  // namespace zorvel::cli
