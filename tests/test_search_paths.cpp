// Every path of the pulse-position search against a division-based,
// strict-order enumeration written here, and against the literal path, on
// random subframes shaped as the coder shapes them, on subframes built to be
// full of exact ties, and on values outside the screened search's range.
//
// The reference forms each candidate's N and D with the coder's own sums
// (N = d(m0) + d(m1) + ..., the diagonal in pulse order, cross(mk) summed
// over the earlier pulses) and takes Q = N^2 / D when it is strictly greater
// than the best so far, starting from Q = 0; for modes 1 and 2 it follows
// the pair-by-pair procedure the same way.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "coder/AlgebraicSearch.h"
#include "coder/CoderMode.h"
#include "tests/TestSupport.h"

namespace zorvel {
namespace {

constexpr int L = kSubframeSamples;
using Positions = std::vector<int>;
using Lists = std::vector<Positions>;

// The candidate lists, written out from the pulse layouts.
Positions track(int offset, int step = 5) {
    Positions p;
    for (int n = offset; n < L; n += step) p.push_back(n);
    return p;
}

Positions merged(const Positions& a, const Positions& b) {
    Positions p = a;
    p.insert(p.end(), b.begin(), b.end());
    std::sort(p.begin(), p.end());
    return p;
}

const int kStart[4][4] = {{0, 1, 2, 3}, {0, 2, 3, 4}, {0, 1, 2, 4}, {0, 1, 3, 4}};

// The runs of a nested mode (3..8) in subframe a; one best spans the runs.
std::vector<Lists> runsOf(int mode, int a) {
    const Positions odd1 = merged(track(1), track(3));
    const Positions odd2 = merged(track(2), track(4));
    switch (mode) {
        case 3:
        case 4:
            return {{track(0), track(1), track(2), merged(track(3), track(4))}};
        case 5:
            return {{track(0), odd1, odd2}};
        case 6: {
            Positions second;
            for (int n = 0; n < L; ++n)
                if (n % 8 == 0 || n % 8 == 1 || n % 8 == 3 || n % 8 == 7) second.push_back(n);
            return {{odd1, second}};
        }
        default:
            return {{track(kStart[a][0]), track(kStart[a][2])},
                    {track(kStart[a][1]), track(kStart[a][3])}};
    }
}

struct Subframe {
    std::array<double, L> d{};
    std::array<double, L * L> phi{};
    std::array<double, L> b{};
};

// The reference enumeration: levels 0.. outermost first, strict first maximum.
PulseVector referenceSearch(int mode, int a, const Subframe& s) {
    PulseVector best;
    best.fill(kNoPulse);
    double bestQ = 0.0;
    const auto phi = [&](int i, int j) { return s.phi[i * L + j]; };
    for (const Lists& lists : runsOf(mode, a)) {
        const std::size_t K = lists.size();
        std::vector<std::size_t> index(K, 0);
        std::vector<int> m(K);
        while (true) {
            for (std::size_t k = 0; k < K; ++k) m[k] = lists[k][index[k]];
            double N = 0.0, diagonal = 0.0, cross = 0.0;
            for (std::size_t k = 0; k < K; ++k) {
                double crossAt = 0.0;
                for (std::size_t e = 0; e < k; ++e) crossAt += phi(m[e], m[k]);
                N += s.d[m[k]];
                diagonal += phi(m[k], m[k]);
                cross += crossAt;
            }
            const double D = diagonal + 2.0 * cross;
            const double Q = N * N / D;
            if (Q > bestQ) {
                bestQ = Q;
                std::copy(m.begin(), m.end(), best.begin());
            }
            std::size_t k = K;  // next candidate: the last level moves fastest
            while (k > 0 && ++index[k - 1] == lists[k - 1].size()) index[--k] = 0;
            if (k == 0) break;
        }
    }
    return best;
}

// Q of a set of pulses by division, its sums formed in ascending position order.
double setQ(std::vector<int> m, const Subframe& s) {
    std::sort(m.begin(), m.end());
    double N = 0.0, diagonal = 0.0, cross = 0.0;
    for (std::size_t k = 0; k < m.size(); ++k) {
        N += s.d[m[k]];
        diagonal += s.phi[m[k] * L + m[k]];
        for (std::size_t e = 0; e < k; ++e) cross += s.phi[m[e] * L + m[k]];
    }
    return N * N / (diagonal + 2.0 * cross);
}

// Modes 1 and 2 (T tracks of step T): m0 at the largest |b| of the track
// with the largest maximum, m1 at the maximum of each other track in turn,
// then pulse pairs on the remaining tracks in the order of the procedure,
// each pair the strict first maximum of Q by division over the pulses so
// far; of the sets for the choices of m1, the first of the largest Q.
PulseVector referencePairwise(int T, const Subframe& s) {
    std::vector<double> maxima(T, 0.0);
    std::vector<int> arg(T);
    for (int t = 0; t < T; ++t) arg[t] = t;
    for (int n = 0; n < L; ++n)
        if (std::abs(s.b[n]) > maxima[n % T]) {
            maxima[n % T] = std::abs(s.b[n]);
            arg[n % T] = n;
        }
    const int t0 =
        static_cast<int>(std::max_element(maxima.begin(), maxima.end()) - maxima.begin());
    PulseVector best;
    best.fill(kNoPulse);
    double bestQ = 0.0;
    for (int t1 = 0; t1 < T; ++t1) {
        if (t1 == t0) continue;
        std::vector<int> order{t0, t1};
        for (int t = 0; t < T; ++t)
            if (t != t0 && t != t1) order.push_back(t);
        std::vector<int> m{arg[t0], arg[t1]};
        double pairQ = 0.0;
        for (int X = 2; X < 2 * T - 1; X += 2) {
            pairQ = 0.0;
            int a = 0, b = 0;
            std::array<int, kPulsesPerSubframe> trial{};
            std::copy(m.begin(), m.end(), trial.begin());
            const std::size_t K = m.size() + 2;
            for (int p = order[X % T]; p < L; p += T)
                for (int q = order[(X + 1) % T]; q < L; q += T) {
                    trial[K - 2] = p;
                    trial[K - 1] = q;
                    double N = 0.0, diagonal = 0.0, cross = 0.0;
                    for (std::size_t k = 0; k < K; ++k) {
                        N += s.d[trial[k]];
                        diagonal += s.phi[trial[k] * L + trial[k]];
                        for (std::size_t e = 0; e < k; ++e) cross += s.phi[trial[e] * L + trial[k]];
                    }
                    const double Q = N * N / (diagonal + 2.0 * cross);
                    if (Q > pairQ) {
                        pairQ = Q;
                        a = p;
                        b = q;
                    }
                }
            m.push_back(a);
            m.push_back(b);
        }
        if (pairQ <= 0.0) continue;
        const double Q = setQ(m, s);
        if (Q > bestQ) {
            bestQ = Q;
            best.fill(kNoPulse);
            std::copy(m.begin(), m.end(), best.begin());
        }
    }
    return best;
}

// d and phi as the coder forms them: a monic response decaying as 0.85^n,
// a random target filtered backwards, the signs of d absorbed.
Subframe randomSubframe(std::mt19937& rng) {
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::array<double, L> h{}, x2{}, sign{};
    h[0] = 1.0;
    for (int n = 1; n < L; ++n) h[n] = std::pow(0.85, n) * u(rng);
    for (double& v : x2) v = 1000.0 * u(rng);
    Subframe s;
    for (int n = 0; n < L; ++n) {
        double sum = 0.0;
        for (int i = n; i < L; ++i) sum += x2[i] * h[i - n];
        s.b[n] = sum;
        sign[n] = sum >= 0.0 ? 1.0 : -1.0;
        s.d[n] = sign[n] * sum;
    }
    for (int delta = 0; delta < L; ++delta) {
        double sum = 0.0;
        for (int i = L - 1 - delta; i >= 0; --i) {
            sum += h[L - 1 - i] * h[L - 1 - i - delta];
            s.phi[i * L + i + delta] = s.phi[(i + delta) * L + i] = sign[i] * sign[i + delta] * sum;
        }
    }
    return s;
}

// Small integers: every sum is exact, and equal Q of different candidates
// are equal to the last bit, so the first of them must win. The diagonal
// outweighs the rows, so D > 0.
Subframe tiedSubframe(std::mt19937& rng) {
    std::uniform_int_distribution<int> dValue(0, 3);
    std::uniform_int_distribution<int> offDiagonal(-1, 1);
    std::uniform_int_distribution<int> diagonal(40, 42);
    Subframe s;
    for (int n = 0; n < L; ++n) s.d[n] = s.b[n] = dValue(rng);
    for (int i = 0; i < L; ++i)
        for (int j = i; j < L; ++j)
            s.phi[i * L + j] = s.phi[j * L + i] = i == j ? diagonal(rng) : offDiagonal(rng);
    return s;
}

std::string describe(const PulseVector& p) {
    std::string text;
    for (int m : p) text += std::to_string(m) + " ";
    return text;
}

// A way of running the search: the literal enumeration (no instruction
// set) or the kernels of one instruction set.
using SearchPath = std::optional<simd::InstructionSet>;
constexpr SearchPath kLiteral = std::nullopt;

std::string pathName(SearchPath path) {
    return path ? std::string(simd::instructionSetName(*path)) : "literal";
}

PulseVector searchOn(SearchPath path, int mode, int a, const Subframe& s) {
    return path ? searchPulsePositions(test::modeNumbered(mode), a, s.d, s.phi, s.b, *path)
                : searchPulsePositionsLiterally(test::modeNumbered(mode), a, s.d, s.phi, s.b);
}

struct ModePath {
    int mode;
    SearchPath path;
};

class SearchPathTest : public ::testing::TestWithParam<ModePath> {
  protected:
    void SetUp() override {
        const SearchPath path = GetParam().path;
        if (path && !simd::instructionSetAvailable(*path))
            GTEST_SKIP() << "this processor cannot run the " << pathName(path) << " path";
    }

    // The path against the literal path, and the literal path against the
    // division-based reference: every path of a mode sees the same
    // subframes, so each agrees with the reference when the literal one
    // does, which its own instance checks. Where Q of candidates lie within
    // rounding of each other, the division-based reference may rank them
    // otherwise than the cross-multiplied test; there the literal path alone
    // is the reference.
    void expectAgreement(const Subframe& s, int a, int index, bool divisionDecides = true) {
        const auto [mode, path] = GetParam();
        const PulseVector got = searchOn(path, mode, a, s);
        const PulseVector literal = searchOn(kLiteral, mode, a, s);
        ASSERT_EQ(got, literal) << "subframe " << index << " (a = " << a << "): expected "
                                << describe(literal) << "got " << describe(got);
        if (divisionDecides && path == kLiteral) {
            const PulseVector reference =
                mode >= 3 ? referenceSearch(mode, a, s) : referencePairwise(mode == 1 ? 5 : 4, s);
            ASSERT_EQ(got, reference) << "subframe " << index << " (a = " << a << "): expected "
                                      << describe(reference) << "got " << describe(got);
        }
    }
};

constexpr int kRandomSubframes = test::loopLength(10000);

TEST_P(SearchPathTest, RandomSubframesPickTheReferenceWinner) {
    const std::uint32_t seed = test::testSeed() + static_cast<std::uint32_t>(GetParam().mode);
    std::mt19937 rng(seed);
    SCOPED_TRACE("seed " + std::to_string(seed));
    for (int i = 0; i < kRandomSubframes; ++i) expectAgreement(randomSubframe(rng), i % 4, i);
}

constexpr int kTiedSubframes = test::loopLength(2000);

TEST_P(SearchPathTest, ExactTiesKeepTheFirstCandidate) {
    const std::uint32_t seed =
        test::testSeed() + 100u + static_cast<std::uint32_t>(GetParam().mode);
    std::mt19937 rng(seed);
    SCOPED_TRACE("seed " + std::to_string(seed));
    for (int i = 0; i < kTiedSubframes; ++i) expectAgreement(tiedSubframe(rng), i % 4, i);
}

// Near ties: d and phi a constant each plus noise of 1e-13 relative, so
// that many candidates have Q within a few units in the last place of each
// other and the order of the literal comparisons decides the winner.
TEST_P(SearchPathTest, NearTiesFollowTheLiteralComparisons) {
    const std::uint32_t seed =
        test::testSeed() + 300u + static_cast<std::uint32_t>(GetParam().mode);
    std::mt19937 rng(seed);
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::uniform_real_distribution<double> noise(-1e-13, 1e-13);
    for (int i = 0; i < test::loopLength(2000); ++i) {
        Subframe s;
        for (int n = 0; n < L; ++n) s.d[n] = s.b[n] = 3.0 * (1.0 + noise(rng));
        for (int r = 0; r < L; ++r)
            for (int c = r; c < L; ++c)
                s.phi[r * L + c] = s.phi[c * L + r] = (r == c ? 41.0 : 0.5) * (1.0 + noise(rng));
        expectAgreement(s, i % 4, i, false);
    }
}

// All candidates alike: every one ties with the first, which must stay.
TEST_P(SearchPathTest, UniformSubframeKeepsTheVeryFirstCandidate) {
    Subframe s;
    s.d.fill(1.0);
    s.b.fill(1.0);
    for (int i = 0; i < L; ++i) s.phi[i * L + i] = 1.0;
    for (int a = 0; a < kSubframes; ++a) {
        expectAgreement(s, a, a);
        if (GetParam().mode < 3) continue;
        const PulseVector got = searchOn(GetParam().path, GetParam().mode, a, s);
        const Lists first = runsOf(GetParam().mode, a).front();
        for (std::size_t k = 0; k < first.size(); ++k)
            EXPECT_EQ(got[k], first[k].front()) << "pulse " << k << ", subframe " << a;
    }
}

// Values the screened search does not take (tiny, huge, infinite) and a
// matrix under which candidates reach D <= 0 go to the literal search.
TEST_P(SearchPathTest, ValuesOutsideTheScreenedRangeFollowTheLiteralSearch) {
    std::mt19937 rng(test::testSeed() + 200u + static_cast<std::uint32_t>(GetParam().mode));
    const auto [mode, path] = GetParam();
    const std::array<double, 4> odd{1e-200, 1e200, INFINITY, 0x1p-101};
    int index = 0;
    for (double value : odd)
        for (bool inPhi : {false, true}) {
            Subframe s = randomSubframe(rng);
            (inPhi ? s.phi[3 * L + 7] : s.d[12]) = value;
            EXPECT_EQ(searchOn(path, mode, 1, s), searchOn(kLiteral, mode, 1, s))
                << "value " << value << (inPhi ? " in phi" : " in d");
            ++index;
        }
    // Off-diagonal terms of -20 beside a diagonal of 1: most candidates have
    // D < 0, which the cross-multiplied test of the literal search may take.
    for (int i = 0; i < 50; ++i) {
        Subframe s = tiedSubframe(rng);
        for (int n = 0; n < L * L; ++n) s.phi[n] = n % (L + 1) == 0 ? 1.0 : -20.0;
        EXPECT_EQ(searchOn(path, mode, i % 4, s), searchOn(kLiteral, mode, i % 4, s))
            << "negative energies, subframe " << i;
    }
}

std::vector<ModePath> allModesAndPaths() {
    std::vector<ModePath> v;
    for (int mode = 1; mode <= kModeCount; ++mode) {
        v.push_back({mode, kLiteral});
        for (simd::InstructionSet set : simd::kInstructionSets) v.push_back({mode, set});
    }
    return v;
}

INSTANTIATE_TEST_SUITE_P(AllModes, SearchPathTest, ::testing::ValuesIn(allModesAndPaths()),
                         [](const auto& info) {
                             return "mode" + std::to_string(info.param.mode) + "_" +
                                    pathName(info.param.path);
                         });

// The coder's own search runs on the fastest instruction set: it picks the
// winner of that set's search (and so the literal one).
TEST(SearchPaths, CoderSearchesOnTheFastestInstructionSet) {
    std::mt19937 rng(test::testSeed() + 400u);
    for (int mode = 1; mode <= kModeCount; ++mode)
        for (int i = 0; i < 20; ++i) {
            const Subframe s = randomSubframe(rng);
            EXPECT_EQ(searchPulsePositions(test::modeNumbered(mode), i % 4, s.d, s.phi, s.b),
                      searchOn(simd::fastestInstructionSet(), mode, i % 4, s))
                << "mode " << mode << ", subframe " << i;
        }
}

}  // namespace
}  // namespace zorvel
