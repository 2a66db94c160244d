// How the windows word a failure: in the program's Polish, from what the core
// threw. The core throws FileError (files/FileError.h) for what the user or
// the system caused, with the system's error number where it gave one: that
// number is worded here; what has none keeps the core's own (English) words
// after a Polish sentence of the window's that says what failed.
#pragma once

#include <QString>
#include <exception>

namespace zorvel {

// "brak miejsca na dysku" for ENOSPC, and so on; the system's own (English)
// text for a number without a Polish one.
QString polishReason(int error);

// The reason of a failure the core threw: polishReason of a FileError's error
// number, "brak pamięci" for memory that could not be had, else the
// exception's own words.
QString polishFailure(const std::exception& failure);

}  // namespace zorvel
