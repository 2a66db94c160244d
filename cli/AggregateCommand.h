// zorvel-cli aggregate: the JSONL results of any number of encode and sweep
// runs (the shards of a corpus, runs started again) merged into one table of
// the corpus, per setting and mode (see CorpusRecords.h).
#pragma once

#include "cli/Arguments.h"

namespace zorvel::cli {

// A line that is no record is reported by file and line number and left
// out; the run then ends with kExitFailed after printing the table.
int runAggregate(const AggregateArguments& arguments);

}  // namespace zorvel::cli
