// Descriptors 0, 1 and 2 are the standard streams; a program started with one
// of them closed would give that number to the next file it opens, and then
// write its standard output or its messages into that file.
#pragma once

namespace zorvel::cli {

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed (in that
// order, so each gets the number it stands for). Call before anything else
// opens a file.
void openClosedStandardDescriptors();

// Whether descriptor 1 was closed when openClosedStandardDescriptors ran:
// whatever is written to standard output then goes nowhere.
bool standardOutputWasClosed();

}  // namespace zorvel::cli
