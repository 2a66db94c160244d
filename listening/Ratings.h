// The ratings of a listening test as a file: one JSON object a line (JSONL),
// one line per rating:
//   {"listener":"ala","trial":2,"input":"mowa.wav","condition":"12.2 kb/s",
//    "settings":"gamma1=0.9","letter":"C","score":73,"time":"2026-12-08T10:41:07Z"}
// A trial's lines reach the file together, when the trial is complete: one
// write of all of them to the end of the file, then fsync. A write that fails
// cuts the file back to its length before, so the file holds whole trials
// only; a test that stops keeps the trials it finished.
#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace zorvel {

// The conditions a test adds to those it was given.
inline constexpr const char* kHiddenReferenceCondition = "reference";
inline constexpr double kLowAnchorQ = 10.0;   // dB
inline constexpr double kHighAnchorQ = 25.0;  // dB
// "MNRU Q=10 dB": an anchor's condition.
std::string anchorCondition(double qDb);

inline constexpr int kLowestScore = 0;
inline constexpr int kHighestScore = 100;

struct Rating {
    std::string listener;
    int trial = 0;          // 1, 2, ... in the order the test played them
    std::string input;      // the file the trial was made from
    std::string condition;  // "12.2 kb/s", kHiddenReferenceCondition, anchorCondition(q)
    std::string settings;   // the coder settings that differ from the defaults; empty: none
    std::string letter;     // the neutral letter the listener saw
    int score = 0;          // kLowestScore..kHighestScore
    std::string time;       // UTC, ISO 8601, when the trial was completed
    friend bool operator==(const Rating&, const Rating&) = default;
};

// The time now as "2026-12-08T10:41:07Z".
std::string ratingTime();

// One line, ending in '\n'.
std::string ratingLine(const Rating& rating);

// Appends the ratings of one complete trial to `file` (made when missing) as
// described above. Throws FileError, the file then as it was.
void appendTrial(const std::filesystem::path& file, std::span<const Rating> ratings);

// The ratings of a file. Empty lines are skipped; a last line without its
// end of line (a write cut short by a crash) is left out and counted in
// `cutLines`. Anything else that is not a rating throws FileError naming the
// line (the message completes "<file>: ...").
struct RatingsFile {
    std::vector<Rating> ratings;
    int cutLines = 0;
};
RatingsFile readRatings(const std::filesystem::path& file);
// The same from the file's text.
RatingsFile parseRatings(const std::string& text);

}  // namespace zorvel
