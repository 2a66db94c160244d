#include "cli/FileChecks.h"

#include <system_error>

#include "sound/SpeechInput.h"

namespace zorvel::cli {
namespace {

std::string quoted(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

}  // namespace

void checkInput(const std::filesystem::path& input) {
    const SpeechInput opened(input);
    if (!opened.usable()) throw FileError(opened.problem());
}

void checkOutput(const std::filesystem::path& input, const std::filesystem::path& output,
                 bool overwrite) {
    std::error_code error;
    const auto status = std::filesystem::status(output, error);
    if (!std::filesystem::exists(status)) return;
    if (sameFile(input, output))
        throw FileError("output " + quoted(output) + " is the input file itself");
    if (std::filesystem::is_directory(status))
        throw FileError("output " + quoted(output) + " is a directory");
    if (!overwrite) throw FileError("output " + quoted(output) + " exists; use -y to overwrite it");
}

}  // namespace zorvel::cli
