// The inputs of a sweep and of its ablation, taken as every coding command
// takes its input: checked, and a recording of another format refused,
// converted in memory (--resample) or coded from byte 60 (--as-is) by the one
// guard of cli/InputFormat.h. A file named twice (by any path or link) is
// taken once, with a note: twice in the totals it would weigh double.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "cli/CorpusRecords.h"
#include "cli/InputFormat.h"
#include "cli/SweepTable.h"
#include "sound/Conversion.h"
#include "sound/SpeechInput.h"

namespace zorvel::cli {

struct SweepInputs {
    std::vector<std::filesystem::path> paths;
    std::vector<SweepTableFile> files;  // the table's names, figures to come
    // The conversions of the recordings of another format (--resample), one
    // per input; empty for the inputs coded as they stand.
    std::vector<ConvertedRecording> converted;
    std::vector<std::pair<std::string, std::string>> refusals;  // input, reason
    bool refused = false;                                       // an input could not be read

    // The coder's input of file `file`: the file itself or its conversion.
    SpeechInput open(std::size_t file) const;
    // Whole frames the coder will read of file `file`.
    std::int64_t frames(std::size_t file) const;
    // The reasons of the refusals, for the run's failure summary.
    std::vector<std::string> reasons() const;
};

// The inputs of `names` that can be read, each refusal reported on standard
// error ("zorvel-cli: INPUT: reason") and kept.
SweepInputs readableInputs(const std::vector<std::string>& names, const InputFormatChoice& choice);

// A failed record of each input that could not be read, in every mode of
// `modes` with every setting of `settings`; throws FileError when one
// cannot be written.
void recordRefusals(const SweepInputs& inputs, std::span<const std::string> settings,
                    std::span<const CoderMode> modes, RecordFile& records);

}  // namespace zorvel::cli
