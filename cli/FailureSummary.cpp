#include "cli/FailureSummary.h"

#include <algorithm>
#include <map>
#include <vector>

namespace zorvel::cli {

std::string reasonKind(std::string_view reason) {
    std::string kind;
    bool quoted = false;
    for (const char c : reason) {
        if (c == '\'') {
            kind += quoted ? "...'" : "'";
            quoted = !quoted;
        } else if (!quoted) {
            kind += c;
        }
    }
    if (quoted) kind += "...";  // an apostrophe with no closing one
    return kind;
}

void printFailureSummary(std::ostream& out, std::span<const std::string> reasons,
                         std::size_t files) {
    if (files < 2 || reasons.empty()) return;
    std::map<std::string, std::size_t> counts;
    for (const std::string& reason : reasons) ++counts[reasonKind(reason)];
    std::vector<std::pair<std::string, std::size_t>> kinds(counts.begin(), counts.end());
    std::ranges::stable_sort(kinds,
                             [](const auto& a, const auto& b) { return a.second > b.second; });
    out << "zorvel-cli: " << reasons.size() << " of " << files << " files failed:\n";
    for (const auto& [kind, count] : kinds)
        out << "  " << count << (count == 1 ? " file: " : " files: ") << kind << '\n';
}

void printSkipped(std::ostream& out, std::size_t skipped, std::size_t files,
                  std::string_view what) {
    out << "zorvel-cli: " << skipped << " of " << files << " files skipped: their " << what
        << " exist\n";
}

}  // namespace zorvel::cli
