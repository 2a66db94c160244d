// The system's reasons for a failed file operation, in the program's Polish.
#pragma once

#include <QString>

namespace zorvel {

// "brak miejsca na dysku" for ENOSPC, and so on; the system's own (English)
// text for a number without a Polish one.
QString polishReason(int error);

}  // namespace zorvel
