// The order in which a trial of a listening test offers its stimuli (the
// coded conditions, the hidden reference and the anchors), under neutral
// letters: a new random order in every trial, made from the test's seed and
// the trial's number, so that a test can be repeated exactly.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zorvel {

// At most eight conditions, the hidden reference and two anchors.
inline constexpr int kMostTestConditions = 8;
inline constexpr int kMostStimuli = kMostTestConditions + 3;

// A permutation of 0..count-1: position p of the trial plays stimulus
// order[p]. Fisher-Yates over a 64-bit Mersenne twister seeded with the seed
// and the trial through std::seed_seq (both defined by the language).
std::vector<int> trialOrder(int count, std::uint64_t seed, int trial);

// "A", "B", ... for positions 0, 1, ... (up to kMostStimuli).
std::string neutralLetter(int position);

}  // namespace zorvel
