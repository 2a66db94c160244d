#include "cli/FileChecks.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

#include "coder/Frame.h"
#include "sound/Wave.h"

namespace zorvel::cli {
namespace {

std::string quoted(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

}  // namespace

bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code error;
    const bool same = std::filesystem::equivalent(a, b, error);
    return same && !error;
}

void checkInput(const std::filesystem::path& input) {
    std::error_code error;
    const auto status = std::filesystem::status(input, error);
    if (!std::filesystem::exists(status)) throw FileError("input file not found");
    if (std::filesystem::is_directory(status)) throw FileError("input is a directory");
    if (!std::filesystem::is_regular_file(status)) throw FileError("input is not a regular file");
    std::ifstream stream(input, std::ios::binary);
    if (!stream.is_open())
        throw FileError("input cannot be read: " + std::generic_category().message(errno));
    // A file that opens but fails its first read (an I/O error, not the end
    // of the file) would otherwise pass for an input without frames.
    errno = 0;
    stream.peek();
    if (stream.bad()) {
        const int error = errno != 0 ? errno : EIO;
        throw FileError("input cannot be read: " + std::generic_category().message(error));
    }
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

std::int64_t expectedFrames(const std::filesystem::path& input) {
    std::error_code error;
    const auto size = static_cast<std::int64_t>(std::filesystem::file_size(input, error));
    if (error || size <= kSampleDataOffset) return 0;
    return (size - kSampleDataOffset) / (2 * kFrameSamples);
}

}  // namespace zorvel::cli
