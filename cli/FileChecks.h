// Checks made before a file is coded, so that a run refuses with a reason
// instead of failing half-way. Each throws FileError with a message that
// completes "zorvel-cli: <input>: ...".
#pragma once

#include <filesystem>
#include <stdexcept>

namespace zorvel::cli {

class FileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The input exists, is a regular file, can be opened for reading and its
// first read does not fail with an error: the coder's own test of its input.
void checkInput(const std::filesystem::path& input);

// The output is not the input itself and not a directory; an existing output
// (also a device or a FIFO, which is then written in place) is refused unless
// `overwrite`. "-" (standard output) always passes; a name the system cannot
// look up is refused with the system's reason.
void checkOutput(const std::filesystem::path& input, const std::filesystem::path& output,
                 bool overwrite);

}  // namespace zorvel::cli
