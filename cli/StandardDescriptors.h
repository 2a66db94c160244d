// Descriptors 0, 1 and 2 are the standard streams; a program started with one
// of them closed would give that number to the next file it opens, and then
// write its standard output or its messages into that file.
//
// Standard output is written through a buffer that keeps the errno of the
// first write that failed, so that a run can say why (a full disk, a closed
// pipe) and exit with an error, whichever subcommand wrote, even --help.
#pragma once

#include <optional>
#include <string>

namespace zorvel::cli {

// Opens a stand-in on each of descriptors 0, 1 and 2 that is closed (in that
// order, so each gets the number it stands for): /dev/null for standard input
// and error, and for standard output a descriptor every write to fails, so
// that nothing written there is lost in silence. Then sends std::cout
// through the buffer on descriptor 1. Call before anything else opens a file.
void openClosedStandardDescriptors();

// Whether descriptor 0 or 1 was closed when openClosedStandardDescriptors ran:
// nothing can be read from standard input then, and nothing written to
// standard output.
bool standardInputWasClosed();
bool standardOutputWasClosed();

// Writes what std::cout holds. When anything written to standard output did
// not reach it, the first time: why ("could not write to standard output: No
// space left on device", or "standard output is closed"), for the caller to
// report; after that, and when all went out, nothing.
std::optional<std::string> takeStandardOutputProblem();

// Writes what std::cout holds; true when anything written to standard output
// did not reach it, which is then reported on standard error ("zorvel-cli:
// ...") unless it was taken before.
bool standardOutputFailed();

}  // namespace zorvel::cli
