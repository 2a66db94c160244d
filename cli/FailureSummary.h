// The summary that ends a run over several files when some failed: how many,
// and why, the reasons grouped with the file names taken out, so that a
// corpus of thousands shows "212 files: output '...' exists; use -y to
// overwrite it" instead of leaving the count to the reader of the per-file
// lines above it.
#pragma once

#include <ostream>
#include <span>
#include <string>
#include <string_view>

namespace zorvel::cli {

// The reason with every part in single quotes (a name) written '...'.
std::string reasonKind(std::string_view reason);

// "zorvel-cli: F of T files failed:" and one line per kind of reason, the
// most frequent first ("  N file(s): kind"). Nothing when fewer than two
// files were run (a single file's line is its own summary) or none failed.
void printFailureSummary(std::ostream& out, std::span<const std::string> reasons,
                         std::size_t files);

// "zorvel-cli: S of T files skipped: their <what> exist" (--skip-existing;
// `what`: "outputs", or "records" for a sweep).
void printSkipped(std::ostream& out, std::size_t skipped, std::size_t files,
                  std::string_view what = "outputs");

}  // namespace zorvel::cli
