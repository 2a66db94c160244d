// The eight bit-rate modes and everything that differs between them: the rate
// each stands for, how an output file's name states it, and the coding rules
// that depend on the mode. Every per-mode decision of the coder, the windows
// and the command line reads this table; nothing else tests for a mode.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace zorvel {

enum class CoderMode {
    rate12_2,
    rate10_2,
    rate7_95,
    rate7_40,
    rate6_70,
    rate5_90,
    rate5_15,
    rate4_75
};

inline constexpr int kModeCount = 8;

// How the algebraic codebook places its pulses.
enum class PulseSearch {
    pairwise,    // pulse pairs one after another, on top of two pulses fixed from the track maxima
    nested,      // every combination of the position lists, in nested loops
    trackPairs,  // two track pairs, one after the other
};

// The pulse-sign selector b(n).
enum class SignRule {
    residualAndTarget,  // LTP residual and d, each divided by its norm
    targetOnly,         // d alone
};

// The excitation enhancement factor f against the pitch gain gp.
enum class EnhancementRule {
    gentle,    // 0.25, growing as 0.25 gp above gp = 1
    standard,  // 0.4, growing as 0.5 gp above gp = 0.8
};

struct CoderModeRules {
    std::string_view rate;        // kbit/s as the windows show it: "12.2", "7.40"
    std::string_view fileSuffix;  // the mode's part of an output name: "_12.20", "_07.40"
    bool twoLpAnalyses;           // LP sets I and II from differently windowed analyses
    bool oneOpenLoopLagPerFrame;  // the second half's open-loop lag repeats the first
    int pulses;                   // K, pulses per subframe
    PulseSearch pulseSearch;
    int pairwiseTracks;  // NT of the pairwise search (track of n = n mod NT)
    SignRule signRule;
    EnhancementRule enhancementRule;
};

inline constexpr std::array<CoderModeRules, kModeCount> kCoderModes{{
    {"12.2", "_12.20", true, false, 10, PulseSearch::pairwise, 5, SignRule::residualAndTarget,
     EnhancementRule::gentle},
    {"10.2", "_10.20", false, false, 8, PulseSearch::pairwise, 4, SignRule::targetOnly,
     EnhancementRule::standard},
    {"7.95", "_07.95", false, false, 4, PulseSearch::nested, 0, SignRule::targetOnly,
     EnhancementRule::standard},
    {"7.40", "_07.40", false, false, 4, PulseSearch::nested, 0, SignRule::targetOnly,
     EnhancementRule::standard},
    {"6.70", "_06.70", false, false, 3, PulseSearch::nested, 0, SignRule::targetOnly,
     EnhancementRule::standard},
    {"5.90", "_05.90", false, false, 2, PulseSearch::nested, 0, SignRule::targetOnly,
     EnhancementRule::standard},
    {"5.15", "_05.15", false, true, 2, PulseSearch::trackPairs, 0, SignRule::targetOnly,
     EnhancementRule::standard},
    {"4.75", "_04.75", false, true, 2, PulseSearch::trackPairs, 0, SignRule::targetOnly,
     EnhancementRule::standard},
}};

inline constexpr std::array<CoderMode, kModeCount> kAllCoderModes{
    CoderMode::rate12_2, CoderMode::rate10_2, CoderMode::rate7_95, CoderMode::rate7_40,
    CoderMode::rate6_70, CoderMode::rate5_90, CoderMode::rate5_15, CoderMode::rate4_75};

// 0..7, in the order of the table.
constexpr int modeIndex(CoderMode mode) { return static_cast<int>(mode); }

constexpr const CoderModeRules& rulesOf(CoderMode mode) { return kCoderModes[modeIndex(mode)]; }

// The numbers 1..8 by which the command line and the exported files name the
// modes, in the order of the table.
constexpr int modeNumber(CoderMode mode) { return modeIndex(mode) + 1; }
std::optional<CoderMode> modeFromNumber(int number);

// What an output file's name adds to the input path: the mode suffix, "_sout"
// (before post-processing) or "_spout" (after it), "_noadapt" when the
// adaptive codebook is off, and ".wav". /dane/mowa.wav in mode 12.2 with the
// defaults gives /dane/mowa.wav_12.20_sout.wav.
std::string outputNameSuffix(CoderMode mode, bool postProcessed, bool noAdaptiveCodebook);

}  // namespace zorvel
