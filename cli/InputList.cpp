#include "cli/InputList.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <system_error>

#include "cli/TextLines.h"
#include "files/Descriptor.h"
#include "files/FileError.h"
#include "sound/DescriptorStream.h"

namespace zorvel::cli {
namespace {

std::optional<unsigned> wholeNumber(std::string_view text) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

}  // namespace

std::optional<Shard> shardFromText(std::string_view text) {
    const std::size_t slash = text.find('/');
    if (slash == std::string_view::npos) return std::nullopt;
    const std::optional<unsigned> index = wholeNumber(text.substr(0, slash));
    const std::optional<unsigned> count = wholeNumber(text.substr(slash + 1));
    if (!index || !count || *index < 1 || *index > *count) return std::nullopt;
    return Shard{*index, *count};
}

bool inShard(std::size_t position, Shard shard) {
    return position % shard.count + 1 == shard.index;
}

std::vector<std::string> readInputList(std::istream& in, bool nulSeparated) {
    const char delimiter = nulSeparated ? '\0' : '\n';
    std::vector<std::string> paths;
    std::string entry;
    for (std::size_t number = 1;; ++number) {
        const LineRead read = readLine(in, entry, delimiter);
        if (read == LineRead::end) break;
        if (read == LineRead::tooLong)
            throw FileError(lineName(number, delimiter) + ": " + tooLongText());
        // No path holds a NUL byte: the list's paths end with one, as
        // find -print0 writes them.
        if (!nulSeparated && entry.find('\0') != std::string::npos)
            throw FileError(lineName(number) +
                            ": a path holds a NUL byte; read a list of NUL-separated paths "
                            "(find -print0) with -0");
        if (!entry.empty()) paths.push_back(std::move(entry));
    }
    return paths;
}

bool namesInputs(const InputSelection& selection) {
    return !selection.named.empty() || !selection.filesFrom.empty();
}

std::vector<std::string> selectInputs(const InputSelection& selection) {
    std::vector<std::string> all = selection.named;
    if (!selection.filesFrom.empty()) {
        const bool standardInput = selection.filesFrom == "-";
        const std::string name = standardInput ? "the list from standard input"
                                               : "the list '" + selection.filesFrom + "'";
        Descriptor owned;
        if (!standardInput) {
            owned = Descriptor(open(selection.filesFrom.c_str(), O_RDONLY | O_CLOEXEC));
            if (!owned)
                throw FileError("cannot read " + name + ": " +
                                std::generic_category().message(errno));
        }
        DescriptorStream list =
            standardInput ? DescriptorStream(STDIN_FILENO) : DescriptorStream(std::move(owned));
        std::vector<std::string> listed;
        try {
            listed = readInputList(list, selection.nulSeparated);
        } catch (const FileError& error) {
            throw FileError(name + ", " + error.what());
        }
        if (list.bad())
            throw FileError("cannot read " + name + ": " +
                            std::generic_category().message(list.firstError()));
        all.insert(all.end(), std::make_move_iterator(listed.begin()),
                   std::make_move_iterator(listed.end()));
    }
    if (selection.shard.empty()) return all;
    const Shard shard = shardFromText(selection.shard).value_or(Shard{});
    std::vector<std::string> part;
    for (std::size_t k = 0; k < all.size(); ++k)
        if (inShard(k, shard)) part.push_back(std::move(all[k]));
    return part;
}

}  // namespace zorvel::cli
