#include "cli/InputList.h"

#include <charconv>
#include <cstring>
#include <fstream>
#include <iostream>
#include <system_error>

#include "files/FileError.h"

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
    std::vector<std::string> paths;
    std::string entry;
    while (std::getline(in, entry, nulSeparated ? '\0' : '\n'))
        if (!entry.empty()) paths.push_back(std::move(entry));
    return paths;
}

bool namesInputs(const InputSelection& selection) {
    return !selection.named.empty() || !selection.filesFrom.empty();
}

std::vector<std::string> selectInputs(const InputSelection& selection) {
    std::vector<std::string> all = selection.named;
    if (!selection.filesFrom.empty()) {
        std::vector<std::string> listed;
        if (selection.filesFrom == "-") {
            listed = readInputList(std::cin, selection.nulSeparated);
            if (std::cin.bad()) throw FileError("cannot read the list from standard input");
        } else {
            std::ifstream list(selection.filesFrom, std::ios::binary);
            if (!list)
                throw FileError("cannot read the list '" + selection.filesFrom +
                                "': " + std::strerror(errno));
            listed = readInputList(list, selection.nulSeparated);
            if (list.bad()) throw FileError("cannot read the list '" + selection.filesFrom + "'");
        }
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
