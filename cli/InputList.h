// The inputs of a run: the files named on the command line, then those of a
// list file (--files-from, one path a line or NUL-separated as find -print0
// writes them), then, with --shard I/N, the I-th of N parts of that list.
//
// The split depends only on the list: the k-th path (counted from 0) belongs
// to part k mod N + 1. N jobs given the same list and the parts 1..N cover
// every path exactly once, whatever machines they run on, and each part
// holds files from all over the list (a sorted list of long and short
// recordings gives parts of about the same length).
#pragma once

#include <cstddef>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zorvel::cli {

struct Shard {
    unsigned index = 1;  // 1..count
    unsigned count = 1;
};

// "I/N" with whole numbers 1 <= I <= N; nothing for any other text.
std::optional<Shard> shardFromText(std::string_view text);

// True when the path at `position` (from 0) of a list belongs to `shard`.
bool inShard(std::size_t position, Shard shard);

// The paths of a list, in its order: one a line, or separated by NUL bytes.
// Empty entries (blank lines, a final line break) are left out; a path is
// taken as it stands otherwise (spaces and all). Throws FileError naming the
// line (its number from 1) for one longer than kLongestLine bytes
// (cli/TextLines.h) and, in a list of lines, for a NUL byte: such a list is
// NUL-separated and read with -0.
std::vector<std::string> readInputList(std::istream& in, bool nulSeparated);

// What the command line says about the inputs.
struct InputSelection {
    std::vector<std::string> named;  // INPUT arguments
    std::string filesFrom;           // --files-from; "-": standard input; empty: none
    bool nulSeparated = false;       // -0
    std::string shard;               // --shard I/N as given; empty: the whole list
    bool skipExisting = false;       // --skip-existing
};

// The named inputs, then the list's, then the shard's part of all of them.
// Throws FileError, naming the list, when it cannot be read or a line of it
// is refused.
std::vector<std::string> selectInputs(const InputSelection& selection);

// True when the command line names inputs at all (the list may still be empty).
bool namesInputs(const InputSelection& selection);

}  // namespace zorvel::cli
