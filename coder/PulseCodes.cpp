#include "coder/PulseCodes.h"

#include <algorithm>
#include <bit>
#include <stdexcept>

#include "coder/Subframe.h"

namespace zorvel {
namespace {

constexpr int kSignStates = 2;

int signBit(int sign) { return sign < 0 ? 1 : 0; }
int signOfBit(std::uint64_t bit) { return bit != 0 ? -1 : 1; }

// Bits enough for `states` values.
int bitsFor(std::uint64_t states) { return std::bit_width(states - 1); }

// Pairwise layout: P positions a track, a track's state one of 2 P^2.
struct PairwiseTracks {
    int tracks;     // NT
    int positions;  // P

    std::uint64_t states() const { return 2ull * positions * positions; }
    int distinctPairs() const { return positions * (positions - 1) / 2; }

    // The rank of the pair i < j among the distinct pairs, lexicographically.
    int pairRank(int i, int j) const { return i * positions - i * (i + 1) / 2 + (j - i - 1); }

    std::uint64_t stateOf(int i, int signI, int j, int signJ) const {
        if (i > j) {
            std::swap(i, j);
            std::swap(signI, signJ);
        }
        if (i == j) return 4ull * distinctPairs() + 2ull * i + signBit(signI);
        return 4ull * pairRank(i, j) + 2ull * signBit(signI) + signBit(signJ);
    }

    // The two pulses of a state: index in the track and sign, lower first.
    std::array<std::array<int, 2>, 2> pulsesOf(std::uint64_t state) const {
        const std::uint64_t distinct = 4ull * distinctPairs();
        if (state >= distinct) {
            const int i = static_cast<int>((state - distinct) / kSignStates);
            const int sign = signOfBit((state - distinct) % kSignStates);
            return {{{i, sign}, {i, sign}}};
        }
        int rank = static_cast<int>(state / 4);
        int i = 0;
        while (rank >= positions - 1 - i) {
            rank -= positions - 1 - i;
            ++i;
        }
        const int j = i + 1 + rank;
        return {{{i, signOfBit((state >> 1) & 1u)}, {j, signOfBit(state & 1u)}}};
    }
};

PairwiseTracks pairwiseOf(const PulseLayout& layout) {
    return {layout.pairwiseTracks, kSubframeSamples / layout.pairwiseTracks};
}

// The states of all tracks together: the pairwise index's range.
std::uint64_t pairwiseStates(const PairwiseTracks& tracks) {
    std::uint64_t states = 1;
    for (int t = 0; t < tracks.tracks; ++t) states *= tracks.states();
    return states;
}

// The position lists each pulse of subframe a may take: the nested layout's
// lists, or one run's tracks of the track-pair layout.
std::array<std::span<const int>, kMaxNestedPulses> runLists(const PulseLayout& layout, int a,
                                                            int run) {
    if (layout.search == PulseSearch::nested) return layout.lists;
    const TrackPair pair = layout.trackPairs[a][run];
    return {tracks::kOfStep5[pair.first], tracks::kOfStep5[pair.second]};
}

std::uint64_t listStates(std::span<const std::span<const int>> lists) {
    std::uint64_t states = 1;
    for (const std::span<const int> list : lists) states *= list.size();
    return states;
}

int runCount(const PulseLayout& layout) { return layout.search == PulseSearch::trackPairs ? 2 : 1; }

std::optional<std::uint64_t> encodePairwise(const PulseLayout& layout, const PulseVector& positions,
                                            std::span<const double, kSubframeSamples> sign) {
    const PairwiseTracks tracks = pairwiseOf(layout);
    constexpr int kMaxTracks = 5;
    std::array<std::array<int, 2>, kMaxTracks> held{};  // per track: its two positions
    std::array<int, kMaxTracks> count{};
    for (int k = 0; k < layout.pulses; ++k) {
        const int p = positions[k];
        if (p < 0 || p >= kSubframeSamples) return std::nullopt;
        const int t = p % tracks.tracks;
        if (count[t] == 2) return std::nullopt;
        held[t][count[t]++] = p;
    }
    std::uint64_t index = 0;
    for (int t = 0; t < tracks.tracks; ++t) {
        if (count[t] != 2) return std::nullopt;
        const int p = held[t][0];
        const int q = held[t][1];
        const auto signOf = [&](int position) { return sign[position] < 0.0 ? -1 : 1; };
        index = index * tracks.states() +
                tracks.stateOf(p / tracks.tracks, signOf(p), q / tracks.tracks, signOf(q));
    }
    return index;
}

CodedPulses decodePairwise(const PulseLayout& layout, std::uint64_t index) {
    const PairwiseTracks tracks = pairwiseOf(layout);
    if (index >= pairwiseStates(tracks))
        throw std::invalid_argument("pulse index names no set of positions");
    CodedPulses pulses;
    pulses.positions.fill(kNoPulse);
    for (int t = tracks.tracks - 1; t >= 0; --t) {
        const auto pair = tracks.pulsesOf(index % tracks.states());
        index /= tracks.states();
        for (int k = 0; k < 2; ++k) {
            pulses.positions[2 * t + k] = pair[k][0] * tracks.tracks + t;
            pulses.signs[2 * t + k] = pair[k][1];
        }
    }
    return pulses;
}

std::optional<std::uint64_t> encodeInLists(const PulseLayout& layout, int a,
                                           const PulseVector& positions,
                                           std::span<const double, kSubframeSamples> sign) {
    const int runs = runCount(layout);
    for (int run = 0; run < runs; ++run) {
        const auto all = runLists(layout, a, run);
        const auto lists = std::span(all).first(layout.pulses);
        std::uint64_t index = 0;
        bool inLists = true;
        for (int k = 0; k < layout.pulses && inLists; ++k) {
            const auto found = std::ranges::find(lists[k], positions[k]);
            inLists = found != lists[k].end();
            if (inLists) index = index * lists[k].size() + (found - lists[k].begin());
        }
        if (!inLists) continue;
        // The run stands above the positions' mixed-radix number.
        index += static_cast<std::uint64_t>(run) * listStates(lists);
        for (int k = 0; k < layout.pulses; ++k)
            index = (index << 1) | static_cast<std::uint64_t>(sign[positions[k]] < 0.0 ? 1 : 0);
        return index;
    }
    return std::nullopt;
}

}  // namespace

int pulseCodeBits(CoderMode mode) {
    const PulseLayout& layout = rulesOf(mode).pulseLayout;
    if (layout.search == PulseSearch::pairwise) {
        return bitsFor(pairwiseStates(pairwiseOf(layout)));
    }
    const auto all = runLists(layout, 0, 0);
    const auto lists = std::span(all).first(layout.pulses);
    return bitsFor(runCount(layout) * listStates(lists)) + layout.pulses;
}

std::optional<std::uint64_t> encodePulses(CoderMode mode, int a, const PulseVector& positions,
                                          std::span<const double, kSubframeSamples> sign) {
    checkSubframe(a);
    const PulseLayout& layout = rulesOf(mode).pulseLayout;
    if (layout.search == PulseSearch::pairwise) return encodePairwise(layout, positions, sign);
    return encodeInLists(layout, a, positions, sign);
}

CodedPulses decodePulses(CoderMode mode, int a, std::uint64_t index) {
    checkSubframe(a);
    if (index >> pulseCodeBits(mode) != 0)
        throw std::invalid_argument("pulse index has more bits than its layout");
    const PulseLayout& layout = rulesOf(mode).pulseLayout;
    if (layout.search == PulseSearch::pairwise) return decodePairwise(layout, index);

    CodedPulses pulses;
    pulses.positions.fill(kNoPulse);
    for (int k = layout.pulses - 1; k >= 0; --k) {
        pulses.signs[k] = signOfBit(index & 1u);
        index >>= 1;
    }
    const int runs = runCount(layout);
    const auto first = runLists(layout, a, 0);
    const std::uint64_t states = listStates(std::span(first).first(layout.pulses));
    const int run = static_cast<int>(index / states);
    if (run >= runs) throw std::invalid_argument("pulse index names no set of positions");
    index %= states;
    const auto all = runLists(layout, a, run);
    const auto lists = std::span(all).first(layout.pulses);
    for (int k = layout.pulses - 1; k >= 0; --k) {
        pulses.positions[k] = lists[k][index % lists[k].size()];
        index /= lists[k].size();
    }
    return pulses;
}

}  // namespace zorvel
