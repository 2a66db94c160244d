// Hidden temporary names, for outputs staged where the file system has no
// anonymous files, and the removal of the ones a process that is gone left
// behind. A name is ".zv-PID-N-" followed by the final name and cut to the
// final name's length, but never into its own unique prefix: it fits in the
// directory wherever the final name fits. Earlier versions of this program
// named them ".NAME.part-PID-N"; those are recognised as well.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

namespace zorvel {

// The `serial`-th temporary name of process `owner` for the final name
// `finalLeaf` (a name in a directory, no slash).
std::string temporaryName(std::string_view finalLeaf, pid_t owner, unsigned long serial);

// The process id in a temporary name of this program, or 0 when `name` is
// not one.
pid_t temporaryOwner(std::string_view name);

// Removes from the open directory `directory` every temporary file of a
// process that is gone. Kept: this process's own, those of a living process,
// those that are not regular files, and those locked by their process (one
// on another machine sharing the directory). Nothing else is touched; a
// directory that cannot be read is left alone.
void removeLeftoverTemporaries(int directory);

}  // namespace zorvel
