// How the windows fail: they catch what the core throws (files/FileError.h)
// where the user's action began (a handler, work off the window's thread, the
// poll of a background pass) and tell it in an information box, a Polish
// sentence of the window's that says what failed, then the reason worded
// here: the system's error number a FileError carries, in Polish; what has
// none keeps the core's own (English) words. A failure whose kind and values
// a window knows (FramePassError) it words whole.
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
