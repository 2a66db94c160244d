#include "cli/SweepOutputs.h"

#include <filesystem>
#include <iostream>

#include "cli/FileChecks.h"

namespace zorvel::cli {

std::optional<ChartFormat> chartFormat(const std::string& name) {
    if (name.empty()) return ChartFormat::None;
    const std::string extension = std::filesystem::path(name).extension().string();
    if (extension == ".png" || extension == ".PNG") return ChartFormat::Png;
    if (extension == ".svg" || extension == ".SVG") return ChartFormat::Svg;
    return std::nullopt;
}

bool outputsAccepted(const SweepArguments& a, bool chart) {
    for (const std::string& input : a.inputs) {
        try {
            checkStandardOutput(input);
            if (chart) checkOutput(input, a.plot, a.overwrite);
        } catch (const FileError& error) {
            std::cerr << "zorvel-cli: " << input << ": " << error.what() << '\n';
            return false;
        }
    }
    return true;
}

}  // namespace zorvel::cli
