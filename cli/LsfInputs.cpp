#include "cli/LsfInputs.h"

#include <fstream>
#include <iostream>

#include "cli/InputList.h"
#include "cli/SweepInputs.h"
#include "coder/WorkPool.h"

namespace zorvel::cli {

std::optional<std::vector<std::string>> readHeldOutList(const std::string& list) {
    std::ifstream in(list, std::ios::binary);
    if (!in) {
        std::cerr << "zorvel-cli: " << list << ": the held-out list cannot be read\n";
        return std::nullopt;
    }
    return readInputList(in, false);
}

std::optional<std::vector<LsfTrainingFile>> analyseLsfInputs(const std::vector<std::string>& names,
                                                             const InputFormatChoice& format,
                                                             unsigned jobs) {
    const SweepInputs inputs = readableInputs(names, format);
    if (inputs.refused) return std::nullopt;
    std::vector<LsfTrainingFile> files(inputs.paths.size());
    std::vector<std::string> failures(inputs.paths.size());
    runOnPool(inputs.paths.size(), poolThreads(jobs, inputs.paths.size()), [&](std::size_t k) {
        try {
            files[k] = analyseLsfSets(inputs.open(k));
        } catch (const FileError& error) {
            failures[k] = error.what();
        }
        return true;
    });
    bool failed = false;
    for (std::size_t k = 0; k < failures.size(); ++k) {
        if (failures[k].empty()) continue;
        std::cerr << "zorvel-cli: " << inputs.paths[k].string() << ": " << failures[k] << '\n';
        failed = true;
    }
    if (failed) return std::nullopt;
    return files;
}

std::int64_t framesOf(const std::vector<LsfTrainingFile>& files) {
    std::int64_t frames = 0;
    for (const LsfTrainingFile& file : files) frames += file.frames;
    return frames;
}

std::vector<std::string> modesOf(const LsfQuantiserDesign& design) {
    std::vector<std::string> modes;
    for (const CoderMode mode : kAllCoderModes)
        if (lsfDesignOf(mode) == design) modes.emplace_back(rulesOf(mode).rate);
    return modes;
}

std::string modesText(const LsfQuantiserDesign& design) {
    std::string text;
    for (const std::string& mode : modesOf(design)) {
        if (!text.empty()) text += ' ';
        text += mode;
    }
    return text;
}

}  // namespace zorvel::cli
