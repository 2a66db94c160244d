// The eight bit-rate modes and everything that differs between them: the rate
// each stands for, how an output file's name states it, and the coding rules
// that depend on the mode. Every per-mode decision of the coder, the windows
// and the command line reads this table; nothing else tests for a mode.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "coder/CoderSettings.h"
#include "coder/Lengths.h"

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

// The positions of the subframe that lie on interleaved tracks: Step k +
// offset for k = 0.. below kSubframeSamples, in ascending order.
template <int Step, std::size_t N>
constexpr std::array<int, (kSubframeSamples / Step) * N> interleavedTracks(
    std::array<int, N> offsets) {
    std::array<int, (kSubframeSamples / Step) * N> positions{};
    std::size_t i = 0;
    for (int k = 0; k < kSubframeSamples / Step; ++k)
        for (int offset : offsets) positions[i++] = Step * k + offset;
    return positions;
}

// The position lists the layouts below are made of: the five tracks of step
// 5, unions of two of them, and the four offsets of step 8 of mode 5.90.
namespace tracks {
inline constexpr int kStep = 5;
inline constexpr auto k0 = interleavedTracks<kStep>(std::array{0});
inline constexpr auto k1 = interleavedTracks<kStep>(std::array{1});
inline constexpr auto k2 = interleavedTracks<kStep>(std::array{2});
inline constexpr auto k3 = interleavedTracks<kStep>(std::array{3});
inline constexpr auto k4 = interleavedTracks<kStep>(std::array{4});
inline constexpr auto k3And4 = interleavedTracks<kStep>(std::array{3, 4});
inline constexpr auto k1And3 = interleavedTracks<kStep>(std::array{1, 3});
inline constexpr auto k2And4 = interleavedTracks<kStep>(std::array{2, 4});
inline constexpr auto kStep8 = interleavedTracks<8>(std::array{0, 1, 3, 7});
inline constexpr std::array<std::span<const int>, kStep> kOfStep5{k0, k1, k2, k3, k4};
}  // namespace tracks

inline constexpr int kMaxNestedPulses = 4;
using PositionLists = std::array<std::span<const int>, kMaxNestedPulses>;

// One run of the track-pair search: p0 on track `first`, p1 on track
// `second` of the step-5 tracks.
struct TrackPair {
    int first;
    int second;
};
using TrackPairRuns = std::array<TrackPair, 2>;

// Where the pulses of a subframe may go, and how they are searched.
struct PulseLayout {
    PulseSearch search;
    int pulses;                // K, pulses per subframe
    int pairwiseTracks = 0;    // pairwise: NT, the track of position n is n mod NT
    PositionLists lists = {};  // nested: the list of each pulse, p0 (the outermost loop) first
    std::array<TrackPairRuns, kSubframes> trackPairs = {};  // trackPairs: the runs of subframe a
};

// How a subframe's pitch lag is sent (LagCodes.h).
enum class LagCoding {
    absolute,  // on its own
    relative,  // as a step from the previous subframe's lag
};

struct LagCode {
    LagCoding coding;
    int bits;
};
using LagCodes = std::array<LagCode, kSubframes>;

// How a subframe's gains gp and gc are sent (GainQuantiser.h).
enum class GainCoding {
    scalar,     // gp and gc's correction factor each on its own: 4 + 5 bits
    joint,      // the pair (gp, correction) as one vector of `gainBits`
    jointPair,  // the pairs of two subframes, 0 with 1 and 2 with 3, as one vector of `gainBits`
};

struct CoderModeRules {
    std::string_view rate;        // kbit/s as the windows show it: "12.2", "7.40"
    std::string_view fileSuffix;  // the mode's part of an output name: "_12.20", "_07.40"
    bool twoLpAnalyses;           // LP sets I and II from differently windowed analyses
    bool oneOpenLoopLagPerFrame;  // the second half's open-loop lag repeats the first
    // Bits of the quantised line spectral frequencies per frame: of the
    // frame's one set, or with two LP analyses of sets I and II together.
    int lsfBits;
    PulseLayout pulseLayout;
    LagCodes lagCodes;  // subframes 0..3, when the parameters are quantised
    GainCoding gainCoding;
    int gainBits;   // joint: per subframe; jointPair: per pair of subframes; scalar: 4 + 5
    int frameBits;  // every parameter of a quantised frame together
    SignRule signRule;
    EnhancementRule enhancementRule;
};

// The track pairs of modes 5.15 and 4.75, subframe by subframe.
inline constexpr std::array<TrackPairRuns, kSubframes> kStep5TrackPairs{{
    {{{0, 2}, {1, 3}}},
    {{{0, 3}, {2, 4}}},
    {{{0, 2}, {1, 4}}},
    {{{0, 3}, {1, 4}}},
}};

inline constexpr std::array<CoderModeRules, kModeCount> kCoderModes{{
    {.rate = "12.2",
     .fileSuffix = "_12.20",
     .twoLpAnalyses = true,
     .oneOpenLoopLagPerFrame = false,
     .lsfBits = 38,
     .pulseLayout = {.search = PulseSearch::pairwise, .pulses = 10, .pairwiseTracks = 5},
     .lagCodes = {{{LagCoding::absolute, 9},
                   {LagCoding::relative, 6},
                   {LagCoding::absolute, 9},
                   {LagCoding::relative, 6}}},
     .gainCoding = GainCoding::scalar,
     .gainBits = 9,
     .frameBits = 244,
     .signRule = SignRule::residualAndTarget,
     .enhancementRule = EnhancementRule::gentle},
    {.rate = "10.2",
     .fileSuffix = "_10.20",
     .twoLpAnalyses = false,
     .oneOpenLoopLagPerFrame = false,
     .lsfBits = 26,
     .pulseLayout = {.search = PulseSearch::pairwise, .pulses = 8, .pairwiseTracks = 4},
     .lagCodes = {{{LagCoding::absolute, 8},
                   {LagCoding::relative, 5},
                   {LagCoding::absolute, 8},
                   {LagCoding::relative, 5}}},
     .gainCoding = GainCoding::joint,
     .gainBits = 7,
     .frameBits = 204,
     .signRule = SignRule::targetOnly,
     .enhancementRule = EnhancementRule::standard},
    {.rate = "7.95",
     .fileSuffix = "_07.95",
     .twoLpAnalyses = false,
     .oneOpenLoopLagPerFrame = false,
     .lsfBits = 27,
     .pulseLayout = {.search = PulseSearch::nested,
                     .pulses = 4,
                     .lists = {tracks::k0, tracks::k1, tracks::k2, tracks::k3And4}},
     .lagCodes = {{{LagCoding::absolute, 8},
                   {LagCoding::relative, 6},
                   {LagCoding::absolute, 8},
                   {LagCoding::relative, 6}}},
     .gainCoding = GainCoding::scalar,
     .gainBits = 9,
     .frameBits = 159,
     .signRule = SignRule::targetOnly,
     .enhancementRule = EnhancementRule::standard},
    {.rate = "7.40",
     .fileSuffix = "_07.40",
     .twoLpAnalyses = false,
     .oneOpenLoopLagPerFrame = false,
     .lsfBits = 26,
     .pulseLayout = {.search = PulseSearch::nested,
                     .pulses = 4,
                     .lists = {tracks::k0, tracks::k1, tracks::k2, tracks::k3And4}},
     .lagCodes = {{{LagCoding::absolute, 8},
                   {LagCoding::relative, 5},
                   {LagCoding::absolute, 8},
                   {LagCoding::relative, 5}}},
     .gainCoding = GainCoding::joint,
     .gainBits = 7,
     .frameBits = 148,
     .signRule = SignRule::targetOnly,
     .enhancementRule = EnhancementRule::standard},
    {.rate = "6.70",
     .fileSuffix = "_06.70",
     .twoLpAnalyses = false,
     .oneOpenLoopLagPerFrame = false,
     .lsfBits = 26,
     .pulseLayout = {.search = PulseSearch::nested,
                     .pulses = 3,
                     .lists = {tracks::k0, tracks::k1And3, tracks::k2And4}},
     .lagCodes = {{{LagCoding::absolute, 8},
                   {LagCoding::relative, 4},
                   {LagCoding::absolute, 8},
                   {LagCoding::relative, 4}}},
     .gainCoding = GainCoding::joint,
     .gainBits = 7,
     .frameBits = 134,
     .signRule = SignRule::targetOnly,
     .enhancementRule = EnhancementRule::standard},
    {.rate = "5.90",
     .fileSuffix = "_05.90",
     .twoLpAnalyses = false,
     .oneOpenLoopLagPerFrame = false,
     .lsfBits = 26,
     .pulseLayout = {.search = PulseSearch::nested,
                     .pulses = 2,
                     .lists = {tracks::k1And3, tracks::kStep8}},
     .lagCodes = {{{LagCoding::absolute, 8},
                   {LagCoding::relative, 4},
                   {LagCoding::absolute, 8},
                   {LagCoding::relative, 4}}},
     .gainCoding = GainCoding::joint,
     .gainBits = 6,
     .frameBits = 118,
     .signRule = SignRule::targetOnly,
     .enhancementRule = EnhancementRule::standard},
    {.rate = "5.15",
     .fileSuffix = "_05.15",
     .twoLpAnalyses = false,
     .oneOpenLoopLagPerFrame = true,
     .lsfBits = 23,
     .pulseLayout = {.search = PulseSearch::trackPairs,
                     .pulses = 2,
                     .trackPairs = kStep5TrackPairs},
     .lagCodes = {{{LagCoding::absolute, 8},
                   {LagCoding::relative, 4},
                   {LagCoding::relative, 4},
                   {LagCoding::relative, 4}}},
     .gainCoding = GainCoding::joint,
     .gainBits = 6,
     .frameBits = 103,
     .signRule = SignRule::targetOnly,
     .enhancementRule = EnhancementRule::standard},
    {.rate = "4.75",
     .fileSuffix = "_04.75",
     .twoLpAnalyses = false,
     .oneOpenLoopLagPerFrame = true,
     .lsfBits = 23,
     .pulseLayout = {.search = PulseSearch::trackPairs,
                     .pulses = 2,
                     .trackPairs = kStep5TrackPairs},
     .lagCodes = {{{LagCoding::absolute, 8},
                   {LagCoding::relative, 4},
                   {LagCoding::relative, 4},
                   {LagCoding::relative, 4}}},
     .gainCoding = GainCoding::jointPair,
     .gainBits = 8,
     .frameBits = 95,
     .signRule = SignRule::targetOnly,
     .enhancementRule = EnhancementRule::standard},
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
// (before post-processing) or "_spout" (after it), the suffix of the settings
// that differ from the defaults ("_noadapt" when the adaptive codebook is off,
// see settingsSuffix), and ".wav". /dane/mowa.wav in mode 12.2 with the
// defaults gives /dane/mowa.wav_12.20_sout.wav.
std::string outputNameSuffix(CoderMode mode, bool postProcessed, const CoderSettings& settings);

}  // namespace zorvel
