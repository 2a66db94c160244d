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
// The nested searches also run screened (simd/ScreenedSearch.h) and the pair
// steps in vectors (simd/PairScan.h), with the same winner; the literal form
// here stays the reference and the fallback. `kernels` below is the
// instruction set's kernels, or null for the literal search.
#include "coder/AlgebraicSearch.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>

#include "coder/Subframe.h"
#include "coder/simd/Kernels.h"

namespace zorvel {
namespace {

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
                diagonalC_[l][i] = phi_[list[i] * kSubframeSamples + list[i]];
                cross_[0][l][i] = 0.0;
            }
            for (int m = 0; m < kSubframeSamples; ++m) {
                const double* row = &phi_[m * kSubframeSamples];
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
    std::array<std::array<Compact, kSubframeSamples>, kMaxNestedPulses>
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

// The rows of the screen for one run over `lists` (levels 0..levels-1).
void prepareProblem(const PositionLists& lists, int levels, SubframeVector d, CorrelationMatrix phi,
                    simd::screened::Problem& p) {
    using simd::screened::kLastStride;
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
            p.diag[l][i] = inList ? phi[m * kSubframeSamples + m] : 0.0;
        }
    }
    const std::span<const int> lastList = lists[last];
    for (int j = 0; j < kLastStride; ++j)
        p.lastE0[j] =
            j < p.counts[last] ? p.diag[last][j] : std::numeric_limits<double>::infinity();
    for (int l = 0; l < last; ++l)
        for (int i = 0; i < p.counts[l]; ++i) {
            const double* row = &phi[lists[l][i] * kSubframeSamples];
            for (int j = 0; j < kLastStride; ++j)
                p.twoPhiLast[l][i][j] = j < p.counts[last] ? 2.0 * row[lastList[j]] : 0.0;
        }
}

// The runs one after the other with one best, screened where the bound
// holds, literal otherwise.
PulseVector nestedSearch(std::span<const PositionLists> runs, int levels, SubframeVector d,
                         CorrelationMatrix phi, const simd::KernelSet* kernels) {
    if (!kernels) return literalNestedSearch(runs, levels, d, phi);
    simd::screened::Problem problem;
    if (!kernels->screenable(d.data(), phi.data(), problem.margin))
        return literalNestedSearch(runs, levels, d, phi);
    simd::screened::Best best{0.0, 1.0, {kNoPulse, kNoPulse, kNoPulse, kNoPulse}, false};
    for (const PositionLists& lists : runs) {
        prepareProblem(lists, levels, d, phi, problem);
        kernels->screenedSearch(problem, best);
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
    PulseSet(SubframeVector d, CorrelationMatrix phi, simd::AccumulateFunction accumulate)
        : d_(d), phi_(phi), accumulate_(accumulate) {}
    double N() const { return N_; }
    double diagonal() const { return diagonal_; }
    double cross() const { return crossSum_; }
    double d(int m) const { return d_[m]; }
    double cross(int m) const { return cross_[m]; }
    const double* crossData() const { return cross_.data(); }
    double phi(int i, int j) const { return phi_[i * kSubframeSamples + j]; }

    void add(int m) {
        N_ += d_[m];
        diagonal_ += phi(m, m);
        crossSum_ += cross_[m];
        const double* row = &phi_[m * kSubframeSamples];
        if (accumulate_)
            accumulate_(cross_.data(), row);
        else
            for (int k = 0; k < kSubframeSamples; ++k) cross_[k] += row[k];
    }

  private:
    SubframeVector d_;
    CorrelationMatrix phi_;
    simd::AccumulateFunction accumulate_;
    std::array<double, kSubframeSamples> cross_{};
    double N_ = 0.0;
    double diagonal_ = 0.0;
    double crossSum_ = 0.0;
};

// Q of a whole set with its sums formed in ascending position order, so
// that one set reached in different pulse orders scores exactly alike.
Best scoreOfSet(const PulseVector& m, SubframeVector d, CorrelationMatrix phi) {
    // The positions in ascending order, each as often as the set holds it.
    std::array<std::uint8_t, kSubframeSamples> held{};
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
        diagonal += phi[sorted[k] * kSubframeSamples + sorted[k]];
    }
    for (int k = 0; k < count; ++k)
        for (int l = k + 1; l < count; ++l) cross += phi[sorted[k] * kSubframeSamples + sorted[l]];
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
    PairwiseSearch(int trackCount, SubframeVector d, CorrelationMatrix phi, SubframeVector b,
                   const simd::KernelSet* kernels)
        : NT_(trackCount), d_(d), phi_(phi), kernels_(kernels) {
        findTrackMaxima(b);
    }

    PulseVector run() {
        PulseVector positions;
        positions.fill(kNoPulse);
        Best overall;
        int t0 = 0;
        for (int t = 1; t < NT_; ++t)
            if (maxima_[t] > maxima_[t0]) t0 = t;
        PulseSet first(d_, phi_, kernels_ ? kernels_->accumulate : nullptr);
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
        for (int n = 0, t = 0; n < kSubframeSamples; ++n, t = t + 1 == NT_ ? 0 : t + 1) {
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
                kernels_ ? vectorPair(set, trackA, trackB) : literalPair(set, trackA, trackB);
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
        for (int p = trackA; p < kSubframeSamples; p += NT_) {
            const double Np = set.N() + set.d(p);
            const double diagonalP = set.diagonal() + set.phi(p, p);
            const double crossP = set.cross() + set.cross(p);
            for (int q = trackB; q < kSubframeSamples; q += NT_) {
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
        const simd::pairs::PairStep step{d_.data(), phi_.data(),    set.crossData(),
                                         set.N(),   set.diagonal(), set.cross(),
                                         trackA,    trackB,         NT_};
        const simd::pairs::PairBest best = kernels_->scanPairs(step);
        if (best.row < 0) return {};
        return {trackA + best.row * NT_, trackB + best.column * NT_, true};
    }

    static constexpr int kMaxTracks = 5;
    int NT_;
    SubframeVector d_;
    CorrelationMatrix phi_;
    const simd::KernelSet* kernels_;
    std::array<double, kMaxTracks> maxima_{};
    std::array<int, kMaxTracks> arg_{};
};

// The search of the mode's layout on the given kernels (null: literal).
PulseVector searchLayout(CoderMode mode, int a, SubframeVector d, CorrelationMatrix phi,
                         SubframeVector b, const simd::KernelSet* kernels) {
    checkSubframe(a);
    const PulseLayout& layout = rulesOf(mode).pulseLayout;
    switch (layout.search) {
        case PulseSearch::pairwise:
            return PairwiseSearch(layout.pairwiseTracks, d, phi, b, kernels).run();
        case PulseSearch::nested:
            return nestedSearch(std::span(&layout.lists, 1), layout.pulses, d, phi, kernels);
        case PulseSearch::trackPairs: {
            std::array<PositionLists, 2> runs{};
            for (int r = 0; r < 2; ++r) {
                const TrackPair pair = layout.trackPairs[a][r];
                runs[r] = {tracks::kOfStep5[pair.first], tracks::kOfStep5[pair.second]};
            }
            return nestedSearch(runs, layout.pulses, d, phi, kernels);
        }
    }
    return {};
}

}  // namespace

PulseVector searchPulsePositions(CoderMode mode, int a, SubframeVector d, CorrelationMatrix phi,
                                 SubframeVector b) {
    return searchLayout(mode, a, d, phi, b, &simd::fastestKernels());
}

PulseVector searchPulsePositions(CoderMode mode, int a, SubframeVector d, CorrelationMatrix phi,
                                 SubframeVector b, simd::InstructionSet set) {
    return searchLayout(mode, a, d, phi, b, &simd::kernelsFor(set));
}

PulseVector searchPulsePositionsLiterally(CoderMode mode, int a, SubframeVector d,
                                          CorrelationMatrix phi, SubframeVector b) {
    return searchLayout(mode, a, d, phi, b, nullptr);
}

}  // namespace zorvel
