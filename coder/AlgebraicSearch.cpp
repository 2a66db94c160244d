// The pulse-position searches of the eight modes. Modes 3 to 6 search their
// position lists exhaustively in nested loops (p0 outermost), modes 7 and 8
// two track pairs one after the other, modes 1 and 2 pulse pairs one after
// another on top of two pulses fixed from the track maxima.
//
// The sums of Q are formed incrementally. A set of pulses carries its sum
// N = sum d(mk), its diagonal sum sum phi(mk, mk) and its cross sum
// sum_{k<l} phi(mk, ml); the energy is D = diagonal + 2 * cross. Adding pulse m
// adds d(m), phi(m, m) and cross(m), where cross(m) = sum over the pulses
// already in the set of phi(mk, m) is kept per position and updated once per
// fixed pulse. For two pulses this is exactly Q's own arithmetic, so two
// orders of one pair score alike and the first one stays.
//
// Candidates are compared cross-multiplied, N^2 * bestD > bestN2 * D (D > 0
// for a monic impulse response), which is Q > bestQ without a division.
//
// The nested searches also run screened (ScreenedSearch.h), with the same
// winner; the literal form here stays the reference and the fallback.
#include "coder/AlgebraicSearch.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>

#include "coder/PairScan.h"
#include "coder/ScreenedSearch.h"
#include "coder/SearchPaths.h"
#include "coder/SpeechCoder.h"
#include "coder/Subframe.h"
#include "coder/VectorKernels.h"

namespace zorvel {
namespace {

constexpr int L = kSubframeSamples;

// Positions step*k + offset for k = 0.., ascending.
template <int Step, std::size_t N>
constexpr std::array<int, (kSubframeSamples / Step) * N> interleavedTracks(
    std::array<int, N> offsets) {
    std::array<int, (kSubframeSamples / Step) * N> p{};
    std::size_t i = 0;
    for (int k = 0; k < kSubframeSamples / Step; ++k)
        for (int offset : offsets) p[i++] = Step * k + offset;
    return p;
}

constexpr int kTrackStep = 5;
constexpr auto kTrack0 = interleavedTracks<kTrackStep>(std::array{0});
constexpr auto kTrack1 = interleavedTracks<kTrackStep>(std::array{1});
constexpr auto kTrack2 = interleavedTracks<kTrackStep>(std::array{2});
constexpr auto kTrack3 = interleavedTracks<kTrackStep>(std::array{3});
constexpr auto kTrack4 = interleavedTracks<kTrackStep>(std::array{4});
constexpr auto kTracks3And4 = interleavedTracks<kTrackStep>(std::array{3, 4});
constexpr auto kTracks1And3 = interleavedTracks<kTrackStep>(std::array{1, 3});
constexpr auto kTracks2And4 = interleavedTracks<kTrackStep>(std::array{2, 4});
constexpr auto kMode6Second = interleavedTracks<8>(std::array{0, 1, 3, 7});
constexpr std::array<std::span<const int>, kTrackStep> kStep5Tracks{kTrack0, kTrack1, kTrack2,
                                                                    kTrack3, kTrack4};

constexpr int kMaxNestedPulses = 4;
using PositionLists = std::array<std::span<const int>, kMaxNestedPulses>;

// The position lists of the nested search, p0 first; empty for the other searches.
constexpr std::array<PositionLists, kModeCount> kNestedLists{{
    {},
    {},
    {kTrack0, kTrack1, kTrack2, kTracks3And4},
    {kTrack0, kTrack1, kTrack2, kTracks3And4},
    {kTrack0, kTracks1And3, kTracks2And4, {}},
    {kTracks1And3, kMode6Second, {}, {}},
    {},
    {},
}};

// The best Q so far as numerator and denominator; Q = 0 at the start.
struct Best {
    double N2 = 0.0;  // (sum d)^2 of the best
    double D = 1.0;   // its energy

    // Q of a candidate with sum Nc and energy Dc strictly greater than the best.
    bool improvedBy(double Nc, double Dc) const { return Nc * Nc * D > N2 * Dc; }
    bool improvedBy(const Best& other) const { return other.N2 * D > N2 * other.D; }
    void take(double Nc, double Dc) {
        N2 = Nc * Nc;
        D = Dc;
    }
};

double energy(double diagonal, double cross) { return diagonal + 2.0 * cross; }

// Exhaustive search over nested position lists: level 0 outermost, the
// last level innermost. One Best may be carried across several runs (modes
// 7, 8). The arrays are compact per list: entry i belongs to position
// lists[l][i], so the inner loops run over contiguous memory.
class NestedSearch {
  public:
    NestedSearch(SubframeVector d, CorrelationMatrix phi, Best& best, PulseVector& positions)
        : d_(d), phi_(phi), best_(best), positions_(positions) {}

    void run(std::span<const std::span<const int>> lists) {
        levels_ = lists.size();
        std::copy(lists.begin(), lists.end(), lists_.begin());
        for (std::size_t l = 0; l < levels_; ++l) {
            const std::span<const int> list = lists_[l];
            for (std::size_t i = 0; i < list.size(); ++i) {
                dC_[l][i] = d_[list[i]];
                diagonalC_[l][i] = phi_[list[i] * L + list[i]];
                cross_[0][l][i] = 0.0;
            }
            for (int m = 0; m < L; ++m) {
                const double* row = &phi_[m * L];
                for (std::size_t i = 0; i < list.size(); ++i) phiC_[l][m][i] = row[list[i]];
            }
        }
        level<0>(0.0, 0.0, 0.0);
    }

  private:
    static constexpr std::size_t kMaxListSize = 20;
    using Compact = std::array<double, kMaxListSize>;

    // N, diagonal and cross: the sums of the pulses of levels 0..l-1.
    template <std::size_t l>
    void level(double N, double diagonal, double cross) {
        if (l + 1 == levels_) {
            lastLevel(N, diagonal, cross);
            return;
        }
        if constexpr (l + 1 < kMaxNestedPulses) {
            const std::span<const int> list = lists_[l];
            for (std::size_t i = 0; i < list.size(); ++i) {
                const int m = list[i];
                chosen_[l] = m;
                for (std::size_t later = l + 1; later < levels_; ++later) {
                    const Compact& c = cross_[l][later];
                    const Compact& row = phiC_[later][m];
                    Compact& next = cross_[l + 1][later];
                    const std::size_t count = lists_[later].size();
                    for (std::size_t k = 0; k < count; ++k) next[k] = c[k] + row[k];
                }
                level<l + 1>(N + dC_[l][i], diagonal + diagonalC_[l][i], cross + cross_[l][l][i]);
            }
        }
    }

    void lastLevel(double N, double diagonal, double cross) {
        const std::size_t l = levels_ - 1;
        const std::span<const int> list = lists_[l];
        const Compact& d = dC_[l];
        const Compact& diag = diagonalC_[l];
        const Compact& c = cross_[l][l];
        const std::size_t count = list.size();
        // Most inner loops hold no candidate better than the best as it
        // stands, that is with N^2*bestD - bestN2*D > 0. One sweep ANDs the
        // bit patterns of these differences: a set sign bit in the result
        // means every difference is negative, and the loop can be skipped;
        // otherwise it is walked in order.
        const double bestD = best_.D;
        const double bestN2 = best_.N2;
        std::uint64_t allNegative = ~std::uint64_t{0};
        for (std::size_t i = 0; i < count; ++i) {
            const double Nc = N + d[i];
            const double difference =
                Nc * Nc * bestD - bestN2 * energy(diagonal + diag[i], cross + c[i]);
            allNegative &= std::bit_cast<std::uint64_t>(difference);
        }
        if ((allNegative >> 63) != 0) return;
        for (std::size_t i = 0; i < count; ++i) {
            const double Nc = N + d[i];
            const double Dc = energy(diagonal + diag[i], cross + c[i]);
            if (best_.improvedBy(Nc, Dc)) {
                best_.take(Nc, Dc);
                chosen_[l] = list[i];
                std::copy(chosen_.begin(), chosen_.begin() + levels_, positions_.begin());
            }
        }
    }

    SubframeVector d_;
    CorrelationMatrix phi_;
    Best& best_;
    PulseVector& positions_;
    std::size_t levels_ = 0;
    std::array<std::span<const int>, kMaxNestedPulses> lists_;
    std::array<Compact, kMaxNestedPulses> dC_;         // d at list l's positions
    std::array<Compact, kMaxNestedPulses> diagonalC_;  // phi(m, m) at list l's positions
    std::array<std::array<Compact, L>, kMaxNestedPulses>
        phiC_;  // phiC_[l][m][i] = phi(m, list_l[i])
    // cross_[k][l][i]: cross at list l's position i with the pulses of levels 0..k-1 fixed.
    std::array<std::array<Compact, kMaxNestedPulses>, kMaxNestedPulses> cross_;
    std::array<int, kMaxNestedPulses> chosen_{};
};

PulseVector literalNestedSearch(std::span<const PositionLists> runs, int levels, SubframeVector d,
                                CorrelationMatrix phi) {
    PulseVector positions;
    positions.fill(kNoPulse);
    Best best;
    NestedSearch search(d, phi, best, positions);
    for (const PositionLists& lists : runs)
        search.run(std::span(lists).first(static_cast<std::size_t>(levels)));
    return positions;
}

// The vector searches of one instruction set.
struct ScreenedKernels {
    bool (*screenable)(const double* d, const double* phi, double& margin);
    void (*search)(const screened::Problem& p, screened::Best& best);
    pairs::PairBest (*scanPairs)(const pairs::PairStep& step);
};

ScreenedKernels screenedKernels(SearchPath path) {
    switch (path) {
#if defined(__x86_64__)
        case SearchPath::avx2:
            return {screened::screenableAvx2, screened::searchAvx2, pairs::scanAvx2};
        case SearchPath::avx512:
            return {screened::screenableAvx512, screened::searchAvx512, pairs::scanAvx512};
#endif
        default:
            return {screened::screenablePortable, screened::searchPortable, pairs::scanPortable};
    }
}

// The rows of the screen for one run over `lists` (levels 0..levels-1).
void prepareProblem(const PositionLists& lists, int levels, SubframeVector d, CorrelationMatrix phi,
                    screened::Problem& p) {
    using screened::kLastStride;
    p.levels = levels;
    p.phi = phi.data();
    const int last = levels - 1;
    for (int l = 0; l < levels; ++l) {
        const std::span<const int> list = lists[l];
        p.counts[l] = static_cast<int>(list.size());
        for (int i = 0; i < kLastStride; ++i) {
            const bool inList = i < p.counts[l];
            const int m = inList ? list[i] : 0;
            p.positions[l][i] = inList ? m : kNoPulse;
            p.d[l][i] = inList ? d[m] : 0.0;
            p.diag[l][i] = inList ? phi[m * L + m] : 0.0;
        }
    }
    const std::span<const int> lastList = lists[last];
    for (int j = 0; j < kLastStride; ++j)
        p.lastE0[j] =
            j < p.counts[last] ? p.diag[last][j] : std::numeric_limits<double>::infinity();
    for (int l = 0; l < last; ++l)
        for (int i = 0; i < p.counts[l]; ++i) {
            const double* row = &phi[lists[l][i] * L];
            for (int j = 0; j < kLastStride; ++j)
                p.twoPhiLast[l][i][j] = j < p.counts[last] ? 2.0 * row[lastList[j]] : 0.0;
        }
}

// The runs one after the other with one best, screened where the bound
// holds, literal otherwise.
PulseVector nestedSearch(std::span<const PositionLists> runs, int levels, SubframeVector d,
                         CorrelationMatrix phi, SearchPath path) {
    if (path == SearchPath::literal) return literalNestedSearch(runs, levels, d, phi);
    const ScreenedKernels kernels = screenedKernels(path);
    screened::Problem problem;
    if (!kernels.screenable(d.data(), phi.data(), problem.margin))
        return literalNestedSearch(runs, levels, d, phi);
    screened::Best best{0.0, 1.0, {kNoPulse, kNoPulse, kNoPulse, kNoPulse}, false};
    for (const PositionLists& lists : runs) {
        prepareProblem(lists, levels, d, phi, problem);
        kernels.search(problem, best);
        if (best.gaveUp) return literalNestedSearch(runs, levels, d, phi);
    }
    PulseVector positions;
    positions.fill(kNoPulse);
    std::copy(std::begin(best.positions), std::end(best.positions), positions.begin());
    return positions;
}

// A set of pulses being built for the pairwise search: its sums and cross(m)
// for every position.
class PulseSet {
  public:
    // accumulate: the vector row addition, or null for the plain loop.
    PulseSet(SubframeVector d, CorrelationMatrix phi, kernels::AccumulateFunction accumulate)
        : d_(d), phi_(phi), accumulate_(accumulate) {}
    double N() const { return N_; }
    double diagonal() const { return diagonal_; }
    double cross() const { return crossSum_; }
    double d(int m) const { return d_[m]; }
    double cross(int m) const { return cross_[m]; }
    const double* crossData() const { return cross_.data(); }
    double phi(int i, int j) const { return phi_[i * L + j]; }

    void add(int m) {
        N_ += d_[m];
        diagonal_ += phi(m, m);
        crossSum_ += cross_[m];
        const double* row = &phi_[m * L];
        if (accumulate_)
            accumulate_(cross_.data(), row);
        else
            for (int k = 0; k < L; ++k) cross_[k] += row[k];
    }

  private:
    SubframeVector d_;
    CorrelationMatrix phi_;
    kernels::AccumulateFunction accumulate_;
    std::array<double, L> cross_{};
    double N_ = 0.0;
    double diagonal_ = 0.0;
    double crossSum_ = 0.0;
};

// Q of a whole set with its sums formed in ascending position order, so
// that one set reached in different pulse orders scores exactly alike.
Best scoreOfSet(const PulseVector& m, SubframeVector d, CorrelationMatrix phi) {
    // The positions in ascending order, each as often as the set holds it.
    std::array<std::uint8_t, L> held{};
    std::uint64_t occupied = 0;
    for (int p : m) {
        if (p == kNoPulse) continue;
        ++held[p];
        occupied |= std::uint64_t{1} << p;
    }
    std::array<int, kPulsesPerSubframe> sorted{};
    int count = 0;
    for (; occupied != 0; occupied &= occupied - 1) {
        const int p = std::countr_zero(occupied);
        for (int k = 0; k < held[p]; ++k) sorted[count++] = p;
    }
    double N = 0.0;
    double diagonal = 0.0;
    double cross = 0.0;
    for (int k = 0; k < count; ++k) {
        N += d[sorted[k]];
        diagonal += phi[sorted[k] * L + sorted[k]];
    }
    for (int k = 0; k < count; ++k)
        for (int l = k + 1; l < count; ++l) cross += phi[sorted[k] * L + sorted[l]];
    Best score;
    score.take(N, energy(diagonal, cross));
    return score;
}

// Modes 1 and 2: the first pulse on the track with the largest |b|, the
// second on each other track in turn, then the remaining pulses pair by pair.
// The same set of pulses may come out for two choices of the second track;
// the overall comparison then scores them alike and keeps the first.
class PairwiseSearch {
  public:
    // scanPairs: the vector pair step, or null for the literal loops.
    using ScanPairs = pairs::PairBest (*)(const pairs::PairStep& step);
    PairwiseSearch(int trackCount, SubframeVector d, CorrelationMatrix phi, SubframeVector b,
                   ScanPairs scanPairs)
        : NT_(trackCount), d_(d), phi_(phi), scanPairs_(scanPairs) {
        findTrackMaxima(b);
    }

    PulseVector run() {
        PulseVector positions;
        positions.fill(kNoPulse);
        Best overall;
        int t0 = 0;
        for (int t = 1; t < NT_; ++t)
            if (maxima_[t] > maxima_[t0]) t0 = t;
        PulseSet first(d_, phi_, scanPairs_ ? kernels::vectorKernels().accumulate : nullptr);
        first.add(arg_[t0]);
        for (int t1 = 0; t1 < NT_; ++t1) {
            if (t1 == t0) continue;
            PulseVector m;
            m.fill(kNoPulse);
            if (!searchPairs(first, t0, t1, m)) continue;  // the last pair found no Q > 0
            const Best last = scoreOfSet(m, d_, phi_);
            if (overall.improvedBy(last)) {
                overall = last;
                positions = m;
            }
        }
        return positions;
    }

  private:
    void findTrackMaxima(SubframeVector b) {
        for (int t = 0; t < NT_; ++t) {
            maxima_[t] = 0.0;
            arg_[t] = t;
        }
        for (int n = 0, t = 0; n < L; ++n, t = t + 1 == NT_ ? 0 : t + 1) {
            const double magnitude = std::abs(b[n]);  // s(n) * b(n)
            if (magnitude > maxima_[t]) {
                maxima_[t] = magnitude;
                arg_[t] = n;
            }
        }
    }

    // Fixes m0, m1 from the track maxima and m2.. pair by pair, starting
    // from `first`, the set of m0 alone. Returns whether the last pair
    // reached Q > 0.
    bool searchPairs(const PulseSet& first, int t0, int t1, PulseVector& m) {
        std::array<int, kMaxTracks> trackOrder{};
        int count = 0;
        trackOrder[count++] = t0;
        trackOrder[count++] = t1;
        for (int t = 0; t < NT_; ++t)
            if (t != t0 && t != t1) trackOrder[count++] = t;

        PulseSet set = first;
        m[0] = arg_[t0];
        m[1] = arg_[t1];
        set.add(m[1]);
        bool found = false;
        for (int X = 2; X < 2 * NT_ - 1; X += 2) {
            const int trackA = trackOrder[X % NT_];
            const int trackB = trackOrder[(X + 1) % NT_];
            const Pair pair =
                scanPairs_ ? vectorPair(set, trackA, trackB) : literalPair(set, trackA, trackB);
            found = pair.found;
            m[X] = pair.a;
            m[X + 1] = pair.b;
            if (X + 2 < 2 * NT_ - 1) {  // no pair follows the last
                set.add(pair.a);
                set.add(pair.b);
            }
        }
        return found;
    }

    // The best pair of one step; (0, 0) when no pair reached Q > 0.
    struct Pair {
        int a = 0;
        int b = 0;
        bool found = false;
    };

    Pair literalPair(const PulseSet& set, int trackA, int trackB) const {
        Best pairBest;
        Pair pair;
        for (int p = trackA; p < L; p += NT_) {
            const double Np = set.N() + set.d(p);
            const double diagonalP = set.diagonal() + set.phi(p, p);
            const double crossP = set.cross() + set.cross(p);
            for (int q = trackB; q < L; q += NT_) {
                const double N = Np + set.d(q);
                const double D =
                    energy(diagonalP + set.phi(q, q), crossP + set.cross(q) + set.phi(p, q));
                if (pairBest.improvedBy(N, D)) {
                    pairBest.take(N, D);
                    pair = {p, q, true};
                }
            }
        }
        return pair;
    }

    Pair vectorPair(const PulseSet& set, int trackA, int trackB) const {
        const pairs::PairStep step{d_.data(), phi_.data(),    set.crossData(),
                                   set.N(),   set.diagonal(), set.cross(),
                                   trackA,    trackB,         NT_};
        const pairs::PairBest best = scanPairs_(step);
        if (best.row < 0) return {};
        return {trackA + best.row * NT_, trackB + best.column * NT_, true};
    }

    static constexpr int kMaxTracks = 5;
    int NT_;
    SubframeVector d_;
    CorrelationMatrix phi_;
    ScanPairs scanPairs_;
    std::array<double, kMaxTracks> maxima_{};
    std::array<int, kMaxTracks> arg_{};
};

}  // namespace

std::string_view searchPathName(SearchPath path) {
    switch (path) {
        case SearchPath::literal:
            return "literal";
        case SearchPath::portable:
            return "portable";
        case SearchPath::avx2:
            return "avx2";
        case SearchPath::avx512:
            return "avx512";
    }
    return "?";
}

bool searchPathAvailable(SearchPath path) {
    switch (path) {
        case SearchPath::literal:
        case SearchPath::portable:
            return true;
#if defined(__x86_64__)
        case SearchPath::avx2:
            return __builtin_cpu_supports("avx2");
        case SearchPath::avx512:
            return __builtin_cpu_supports("avx512f");
#endif
        default:
            return false;
    }
}

SearchPath fastestSearchPath() {
    static const SearchPath fastest = [] {
        for (SearchPath path : {SearchPath::avx512, SearchPath::avx2})
            if (searchPathAvailable(path)) return path;
        return SearchPath::portable;
    }();
    return fastest;
}

PulseVector searchPulsePositions(CoderMode mode, int a, SubframeVector d, CorrelationMatrix phi,
                                 SubframeVector b, SearchPath path) {
    checkSubframe(a);
    const CoderModeRules& rules = rulesOf(mode);
    switch (rules.pulseSearch) {
        case PulseSearch::pairwise:
            return PairwiseSearch(
                       rules.pairwiseTracks, d, phi, b,
                       path == SearchPath::literal ? nullptr : screenedKernels(path).scanPairs)
                .run();
        case PulseSearch::nested:
            return nestedSearch(std::span(&kNestedLists[modeIndex(mode)], 1), rules.pulses, d, phi,
                                path);
        case PulseSearch::trackPairs: {
            std::array<PositionLists, 2> runs{};
            for (int r = 0; r < 2; ++r)
                runs[r] = {kStep5Tracks[startTable[a][r]], kStep5Tracks[startTable[a][r + 2]]};
            return nestedSearch(runs, 2, d, phi, path);
        }
    }
    return {};
}

PulseVector searchPulsePositions(CoderMode mode, int a, SubframeVector d, CorrelationMatrix phi,
                                 SubframeVector b) {
    return searchPulsePositions(mode, a, d, phi, b, fastestSearchPath());
}

}  // namespace zorvel
