#include "cli/FileChecks.h"

#include <sys/stat.h>

#include <cerrno>
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
    if (output == "-") return;
    struct stat status {};
    if (stat(output.c_str(), &status) != 0) {
        if (errno == ENOENT) return;  // a missing directory is reported when it is written
        throw FileError("cannot use the output " + quoted(output) + ": " +
                        std::generic_category().message(errno));
    }
    if (sameFile(input, output))
        throw FileError("output " + quoted(output) + " is the input file itself");
    if (S_ISDIR(status.st_mode)) throw FileError("output " + quoted(output) + " is a directory");
    if (!overwrite) throw FileError("output " + quoted(output) + " exists; use -y to overwrite it");
}

}  // namespace zorvel::cli
