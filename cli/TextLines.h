// Lines of the text files zorvel-cli reads: the lists of inputs
// (--files-from) and the JSONL records that aggregate merges. A line holds
// at most kLongestLine bytes, so that a file without line breaks (/dev/zero,
// a binary file given by mistake) is refused at that length with the line's
// number instead of filling memory.
#pragma once

#include <cstddef>
#include <istream>
#include <string>

namespace zorvel::cli {

// The most bytes a line may hold, without its line break: 1 MiB, far more
// than any path (the system takes at most 4,095 bytes) or any record needs.
inline constexpr std::size_t kLongestLine = std::size_t{1} << 20;

enum class LineRead {
    line,     // a line, maybe the last one without its line break
    end,      // nothing was left
    tooLong,  // kLongestLine bytes came without `delimiter`: the line is not read to its end
};

// Reads up to `delimiter`, which is taken out, or to the end of the input.
// A read error ends the input with the stream's badbit set.
LineRead readLine(std::istream& in, std::string& line, char delimiter = '\n');

// "line 12" (or "path 12" of a NUL-separated list): how messages name a line.
std::string lineName(std::size_t number, char delimiter = '\n');

// The end of the message that refuses a line over kLongestLine bytes.
std::string tooLongText();

}  // namespace zorvel::cli
