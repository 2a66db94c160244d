// Algebraic codebook stage: correlations and signs against direct sums, the
// search of every mode against a brute-force evaluation of the criterion
// over the same candidates in the same order, the code vector and its gain.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "coder/AlgebraicSearch.h"
#include "coder/SpeechCoder.h"
#include "tests/TestSupport.h"

namespace zorvel {
namespace {

constexpr int L = kSubframeSamples;
using test::kNoInput;
using Positions = std::vector<int>;
using Reals = std::vector<long double>;

// Candidate position lists, written out as the pulse layouts define them.
const Positions kT0{0, 5, 10, 15, 20, 25, 30, 35};
const Positions kT1{1, 6, 11, 16, 21, 26, 31, 36};
const Positions kT2{2, 7, 12, 17, 22, 27, 32, 37};
const Positions kT3{3, 8, 13, 18, 23, 28, 33, 38};
const Positions kT4{4, 9, 14, 19, 24, 29, 34, 39};
const Positions kMode3P3{3, 4, 8, 9, 13, 14, 18, 19, 23, 24, 28, 29, 33, 34, 38, 39};
const Positions kOdd1{1, 3, 6, 8, 11, 13, 16, 18, 21, 23, 26, 28, 31, 33, 36, 38};
const Positions kOdd2{2, 4, 7, 9, 12, 14, 17, 19, 22, 24, 27, 29, 32, 34, 37, 39};
const Positions kMode6P1{0, 1, 3, 7, 8, 9, 11, 15, 16, 17, 19, 23, 24, 25, 27, 31, 32, 33, 35, 39};
const std::array<Positions, 5> kStep5{kT0, kT1, kT2, kT3, kT4};
const int kStart[4][4] = {{0, 1, 2, 3}, {0, 2, 3, 4}, {0, 1, 2, 4}, {0, 1, 3, 4}};

// Reference values of one subframe, computed directly in long double.
struct Reference {
    Reals d;    // signed
    Reals phi;  // signed, row-major
    Reals b;
    std::vector<double> s;
};

Reference directReference(int mode, std::span<const double> x2, std::span<const double> h,
                          std::span<const double> ltp) {
    Reference ref{Reals(L), Reals(L * L), Reals(L), std::vector<double>(L)};
    Reals d(L, 0.0L);
    for (int n = 0; n < L; ++n)
        for (int i = n; i < L; ++i) d[n] += static_cast<long double>(x2[i]) * h[i - n];
    for (int i = 0; i < L; ++i)
        for (int j = 0; j < L; ++j) {
            long double sum = 0.0L;
            for (int k = std::max(i, j); k < L; ++k)
                sum += static_cast<long double>(h[k - i]) * h[k - j];
            ref.phi[i * L + j] = sum;
        }
    if (mode == 1) {
        long double er = 0.0L, ed = 0.0L;
        for (int n = 0; n < L; ++n) {
            er += static_cast<long double>(ltp[n]) * ltp[n];
            ed += d[n] * d[n];
        }
        er = er != 0.0L ? std::sqrt(er) : 1.0L;
        ed = ed != 0.0L ? std::sqrt(ed) : 1.0L;
        for (int n = 0; n < L; ++n) ref.b[n] = ltp[n] / er + d[n] / ed;
    } else {
        ref.b = d;
    }
    for (int n = 0; n < L; ++n) ref.s[n] = ref.b[n] >= 0.0L ? 1.0 : -1.0;
    for (int i = 0; i < L; ++i) {
        ref.d[i] = ref.s[i] * d[i];
        for (int j = 0; j < L; ++j) ref.phi[i * L + j] *= ref.s[i] * ref.s[j];
    }
    return ref;
}

// Q as defined: numerator in pulse order, denominator diagonal then cross terms.
long double criterion(const Reals& d, const Reals& phi, const Positions& m) {
    long double num = 0.0L, diag = 0.0L, cross = 0.0L;
    for (int p : m) num += d[p];
    for (int p : m) diag += phi[p * L + p];
    for (std::size_t k = 0; k < m.size(); ++k)
        for (std::size_t l = k + 1; l < m.size(); ++l) cross += phi[m[k] * L + m[l]];
    return num * num / (diag + 2.0L * cross);
}

// "Strictly greater" as exact arithmetic has it: values equal up to the
// rounding of the sums (one set of pulses reached in two orders) are equal,
// and the candidate met first stays.
bool greater(long double Q, long double best) { return Q > best * (1.0L + 1e-12L); }

struct Winner {
    Positions m;
    long double Q = 0.0L;
};

void consider(const Reals& d, const Reals& phi, const Positions& m, Winner& w) {
    const long double Q = criterion(d, phi, m);
    if (greater(Q, w.Q)) {
        w.Q = Q;
        w.m = m;
    }
}

Winner bruteForceNested(const Reals& d, const Reals& phi, const std::vector<Positions>& lists) {
    Winner w;
    Positions m(lists.size());
    auto recurse = [&](auto&& self, std::size_t level) -> void {
        if (level == lists.size()) {
            consider(d, phi, m, w);
            return;
        }
        for (int p : lists[level]) {
            m[level] = p;
            self(self, level + 1);
        }
    };
    recurse(recurse, 0);
    return w;
}

// Modes 1 and 2: the pair-by-pair procedure with Q evaluated from scratch.
Winner bruteForcePairwise(const Reals& d, const Reals& phi, const Reals& b,
                          const std::vector<double>& s, int NT) {
    std::vector<long double> maxima(NT, 0.0L);
    std::vector<int> arg(NT);
    for (int t = 0; t < NT; ++t) arg[t] = t;
    for (int n = 0; n < L; ++n)
        if (s[n] * b[n] > maxima[n % NT]) {
            maxima[n % NT] = s[n] * b[n];
            arg[n % NT] = n;
        }
    int t0 = 0;
    for (int t = 1; t < NT; ++t)
        if (maxima[t] > maxima[t0]) t0 = t;
    Winner overall;
    for (int t1 = 0; t1 < NT; ++t1) {
        if (t1 == t0) continue;
        std::vector<int> order{t0, t1};
        for (int t = 0; t < NT; ++t)
            if (t != t0 && t != t1) order.push_back(t);
        Positions m{arg[t0], arg[t1]};
        long double pairBest = 0.0L;
        for (int X = 2; X < 2 * NT - 1; X += 2) {
            pairBest = 0.0L;
            int ca = 0, cb = 0;
            for (int p = order[X % NT]; p < L; p += NT)
                for (int q = order[(X + 1) % NT]; q < L; q += NT) {
                    Positions trial = m;
                    trial.push_back(p);
                    trial.push_back(q);
                    const long double Q = criterion(d, phi, trial);
                    if (greater(Q, pairBest)) {
                        pairBest = Q;
                        ca = p;
                        cb = q;
                    }
                }
            m.push_back(ca);
            m.push_back(cb);
        }
        if (greater(pairBest, overall.Q)) {
            overall.Q = pairBest;
            overall.m = m;
        }
    }
    return overall;
}

Winner bruteForce(int mode, int a, const Reference& ref) {
    switch (mode) {
        case 1:
            return bruteForcePairwise(ref.d, ref.phi, ref.b, ref.s, 5);
        case 2:
            return bruteForcePairwise(ref.d, ref.phi, ref.b, ref.s, 4);
        case 3:
        case 4:
            return bruteForceNested(ref.d, ref.phi, {kT0, kT1, kT2, kMode3P3});
        case 5:
            return bruteForceNested(ref.d, ref.phi, {kT0, kOdd1, kOdd2});
        case 6:
            return bruteForceNested(ref.d, ref.phi, {kOdd1, kMode6P1});
        default: {
            Winner w;
            for (int r = 0; r < 2; ++r)
                for (int p : kStep5[kStart[a][r]])
                    for (int q : kStep5[kStart[a][r + 2]]) consider(ref.d, ref.phi, {p, q}, w);
            return w;
        }
    }
}

std::span<const double> responseOf(const FrameRecord& f, int a) {
    return std::span<const double>(a < 2 ? f.impulseResponseI : f.impulseResponseII).first(L);
}

void randomResponse(std::mt19937& rng, std::array<double, kImpulseResponseSamples>& h) {
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    h[0] = 1.0;
    for (int n = 1; n < kImpulseResponseSamples; ++n) h[n] = std::pow(0.85, n) * u(rng);
}

// ---------------------------------------------------------------------------

struct ModeSubframe {
    int mode;
    int a;
};

class RandomTargets : public ::testing::TestWithParam<ModeSubframe> {};

TEST_P(RandomTargets, StageMatchesDirectSumsAndBruteForce) {
    const auto [mode, a] = GetParam();
    const std::uint32_t seed = test::testSeed() + static_cast<std::uint32_t>(10 * mode + a);
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-1000.0, 1000.0);
    constexpr int kTrials = 4;
    for (int trial = 0; trial < kTrials; ++trial) {
        SCOPED_TRACE("seed " + std::to_string(seed) + " trial " + std::to_string(trial));
        SpeechCoder coder(kNoInput, test::modeNumbered(mode));
        FrameRecord& f = coder.currentFrame();
        randomResponse(rng, f.impulseResponseI);
        randomResponse(rng, f.impulseResponseII);
        for (double& v : f.codebookTarget) v = u(rng);
        for (double& v : f.ltpResidual) v = u(rng);
        coder.searchAlgebraicCodebook(a);

        const auto x2 = std::span<const double>(f.codebookTarget).subspan(40 * a, L);
        const auto h = responseOf(f, a);
        const Reference ref =
            directReference(mode, x2, h, std::span<const double>(f.ltpResidual).subspan(40 * a, L));
        for (int n = 0; n < L; ++n) {
            ASSERT_EQ(f.pulseSign[40 * a + n], ref.s[n]) << "n " << n;
            EXPECT_NEAR(f.signSelector[40 * a + n], static_cast<double>(ref.b[n]),
                        1e-12 * (1.0 + std::fabs(static_cast<double>(ref.b[n]))));
            EXPECT_NEAR(f.backwardFilteredTarget[40 * a + n], static_cast<double>(ref.d[n]), 1e-8)
                << "n " << n;
        }
        for (int i = 0; i < L * L; ++i)
            ASSERT_NEAR(f.impulseCorrelation[i], static_cast<double>(ref.phi[i]), 1e-12)
                << "row " << i / L << " column " << i % L;

        const Winner w = bruteForce(mode, a, ref);
        const int K = rulesOf(test::modeNumbered(mode)).pulseLayout.pulses;
        Positions chosen;
        for (int k = 0; k < kPulsesPerSubframe; ++k) {
            const int p = f.pulsePositions[10 * a + k];
            if (k >= K) {
                EXPECT_EQ(p, kNoPulse) << "entry " << k;
            }
            if (p != kNoPulse) chosen.push_back(p);
        }
        ASSERT_EQ(static_cast<int>(chosen.size()), K);
        EXPECT_EQ(chosen, w.m);

        // Code vector, gain, scaled vector.
        Reals c(L, 0.0L);
        for (int p : chosen) c[p] += ref.s[p];
        Reals z(L, 0.0L);
        for (int n = 0; n < L; ++n)
            for (int j = 0; j <= n; ++j) z[n] += c[j] * h[n - j];
        long double xz = 0.0L, zz = 0.0L;
        for (int n = 0; n < L; ++n) {
            xz += x2[n] * z[n];
            zz += z[n] * z[n];
        }
        const long double gc = zz != 0.0L ? xz / zz : 1.0L;
        EXPECT_NEAR(f.codebookGain[a], static_cast<double>(gc), 1e-10 * (1.0 + std::fabs(gc)));
        for (int n = 0; n < L; ++n)
            EXPECT_NEAR(f.algebraicExcitation[40 * a + n], static_cast<double>(gc * c[n]),
                        1e-10 * (1.0 + std::fabs(gc)))
                << "n " << n;
        // Other subframes are left alone.
        for (int n = 0; n < kFrameSamples; ++n) {
            if (n / L != a) {
                ASSERT_EQ(f.algebraicExcitation[n], 0.0);
            }
        }
    }
}

std::vector<ModeSubframe> allModesAndSubframes() {
    std::vector<ModeSubframe> v;
    for (int mode = 1; mode <= kModeCount; ++mode)
        for (int a = 0; a < kSubframes; ++a) v.push_back({mode, a});
    return v;
}

INSTANTIATE_TEST_SUITE_P(AllModes, RandomTargets, ::testing::ValuesIn(allModesAndSubframes()),
                         [](const auto& info) {
                             return "mode" + std::to_string(info.param.mode) + "_subframe" +
                                    std::to_string(info.param.a);
                         });

// ---------------------------------------------------------------------------

class SilentTarget : public ::testing::TestWithParam<int> {};

TEST_P(SilentTarget, NoPulsesUnitGainZeroVector) {
    const int mode = GetParam();
    SpeechCoder coder(kNoInput, test::modeNumbered(mode));
    FrameRecord& f = coder.currentFrame();
    std::mt19937 rng(test::testSeed());
    randomResponse(rng, f.impulseResponseI);
    randomResponse(rng, f.impulseResponseII);
    for (int a = 0; a < kSubframes; ++a) {
        coder.searchAlgebraicCodebook(a);
        for (int k = 0; k < kPulsesPerSubframe; ++k)
            EXPECT_EQ(f.pulsePositions[10 * a + k], kNoPulse) << "subframe " << a;
        EXPECT_EQ(f.codebookGain[a], 1.0);
    }
    for (double v : f.algebraicExcitation) EXPECT_EQ(v, 0.0);
}

INSTANTIATE_TEST_SUITE_P(AllModes, SilentTarget, ::testing::Range(1, kModeCount + 1));

// Two pulses per track may land on one position: they add up. The target is
// a code vector of amplitude 2 on one position of every track, so the best
// code vector of mode 2 doubles each of them.
TEST(AlgebraicCodebook, CoincidingPulsesGiveAmplitudeTwo) {
    SpeechCoder coder(kNoInput, CoderMode::rate10_2);
    FrameRecord& f = coder.currentFrame();
    for (int n = 0; n < kImpulseResponseSamples; ++n) f.impulseResponseI[n] = std::pow(0.5, n);
    const std::array<int, 4> planted{28, 5, 10, 19};  // tracks 0, 1, 2, 3 of step 4
    const std::array<double, 4> sign{1.0, -1.0, 1.0, 1.0};
    for (int k = 0; k < 4; ++k)
        for (int n = planted[k]; n < L; ++n)
            f.codebookTarget[n] += 2.0 * sign[k] * 100.0 * f.impulseResponseI[n - planted[k]];
    coder.searchAlgebraicCodebook(0);
    std::array<int, L> count{};
    for (int k = 0; k < 8; ++k) {
        ASSERT_NE(f.pulsePositions[k], kNoPulse);
        ++count[f.pulsePositions[k]];
    }
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(count[planted[k]], 2) << "position " << planted[k];
        EXPECT_DOUBLE_EQ(f.pulseSign[planted[k]], sign[k]);
        EXPECT_NEAR(f.algebraicExcitation[planted[k]], 2.0 * sign[k] * f.codebookGain[0], 1e-12);
    }
    EXPECT_NEAR(f.codebookGain[0], 100.0, 1e-9);
}

// In mode 1 the sign follows b, which mixes in the LTP residual: where the
// residual outweighs d, the stored d is negative.
TEST(AlgebraicCodebook, Mode1SignComesFromSelectorNotFromTarget) {
    SpeechCoder coder(kNoInput, CoderMode::rate12_2);
    FrameRecord& f = coder.currentFrame();
    f.impulseResponseI[0] = 1.0;  // d = x2
    for (int n = 0; n < L; ++n) {
        f.codebookTarget[n] = n == 7 ? -10.0 : 100.0;
        f.ltpResidual[n] = n == 7 ? 1000.0 : 0.0;
    }
    coder.searchAlgebraicCodebook(0);
    EXPECT_GT(f.signSelector[7], 0.0);
    EXPECT_EQ(f.pulseSign[7], 1.0);
    EXPECT_EQ(f.backwardFilteredTarget[7], -10.0);
    EXPECT_EQ(f.pulseSign[8], 1.0);
    EXPECT_EQ(f.backwardFilteredTarget[8], 100.0);
}

TEST(AlgebraicCodebook, ModesWithFewerPulsesLeaveTheRestEmpty) {
    std::mt19937 rng(test::testSeed());
    std::uniform_real_distribution<double> u(-1000.0, 1000.0);
    for (int mode = 1; mode <= kModeCount; ++mode) {
        SpeechCoder coder(kNoInput, test::modeNumbered(mode));
        FrameRecord& f = coder.currentFrame();
        randomResponse(rng, f.impulseResponseI);
        for (double& v : f.codebookTarget) v = u(rng);
        coder.searchAlgebraicCodebook(1);
        const int K = rulesOf(test::modeNumbered(mode)).pulseLayout.pulses;
        constexpr std::array<int, kModeCount> kPulses{10, 8, 4, 4, 3, 2, 2, 2};
        EXPECT_EQ(K, kPulses[mode - 1]);
        for (int k = 0; k < kPulsesPerSubframe; ++k) {
            const int p = f.pulsePositions[10 + k];
            if (k < K) {
                EXPECT_GE(p, 0) << "mode " << mode << " entry " << k;
                EXPECT_LT(p, L);
            } else {
                EXPECT_EQ(p, kNoPulse) << "mode " << mode << " entry " << k;
            }
        }
        for (int k = 0; k < kPulsesPerSubframe; ++k) EXPECT_EQ(f.pulsePositions[k], kNoPulse);
    }
}

}  // namespace
}  // namespace zorvel
