#include "cli/SweepInputs.h"

#include <sys/stat.h>

#include <iostream>
#include <map>

#include "cli/FileChecks.h"

namespace zorvel::cli {

SpeechInput SweepInputs::open(std::size_t file) const {
    return converted[file].converted ? convertedInput(converted[file]) : SpeechInput(paths[file]);
}

std::int64_t SweepInputs::frames(std::size_t file) const {
    return framesToCode(paths[file], converted[file].converted);
}

std::vector<std::string> SweepInputs::reasons() const {
    std::vector<std::string> reasons;
    for (const auto& refusal : refusals) reasons.push_back(refusal.second);
    return reasons;
}

SweepInputs readableInputs(const std::vector<std::string>& names, const InputFormatChoice& choice) {
    SweepInputs inputs;
    std::map<std::pair<dev_t, ino_t>, std::string> named;
    for (const std::string& input : names) {
        ConvertedRecording converted;
        try {
            checkInput(input);
            if (convertsInput(input, choice)) converted = convertInput(input, choice.zeroNonFinite);
        } catch (const FileError& error) {
            std::cerr << "zorvel-cli: " << input << ": " << error.what() << '\n';
            inputs.refusals.emplace_back(input, error.what());
            inputs.refused = true;
            continue;
        }
        struct stat status {};
        if (stat(input.c_str(), &status) == 0) {
            const auto [first, added] =
                named.emplace(std::pair(status.st_dev, status.st_ino), input);
            if (!added) {
                std::cerr << "zorvel-cli: " << input << ": the same file as '" << first->second
                          << "'; counted once\n";
                continue;
            }
        }
        inputs.paths.emplace_back(input);
        inputs.files.push_back({input, {}});
        inputs.converted.push_back(std::move(converted));
    }
    return inputs;
}

void recordRefusals(const SweepInputs& inputs, std::span<const std::string> settings,
                    std::span<const CoderMode> modes, RecordFile& records) {
    for (const auto& [input, reason] : inputs.refusals) {
        for (const std::string& setting : settings) {
            for (const CoderMode mode : modes) {
                ModeFigures figures;
                figures.mode = mode;
                records.append({input, "sweep", setting, false, reason, figures, {}});
            }
        }
    }
}

}  // namespace zorvel::cli
