// The codes of the pulses and the pitch lags: exactly the bits the modes
// have, every code decoded to what was coded, and every choice of the
// searches codable.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "coder/AlgebraicSearch.h"
#include "coder/CoderMode.h"
#include "coder/LagCodes.h"
#include "coder/PulseCodes.h"
#include "tests/TestSupport.h"

namespace zorvel {
namespace {

using SignVector = std::array<double, kSubframeSamples>;

// (position, sign) of every pulse, sorted: what the decoder adds up.
std::multiset<std::pair<int, int>> pulsesOf(const PulseVector& positions, const SignVector& sign) {
    std::multiset<std::pair<int, int>> pulses;
    for (int p : positions)
        if (p != kNoPulse) pulses.insert({p, sign[p] < 0.0 ? -1 : 1});
    return pulses;
}

std::multiset<std::pair<int, int>> pulsesOf(const CodedPulses& coded) {
    std::multiset<std::pair<int, int>> pulses;
    for (int k = 0; k < kPulsesPerSubframe; ++k)
        if (coded.positions[k] != kNoPulse) pulses.insert({coded.positions[k], coded.signs[k]});
    return pulses;
}

// A random set of positions the layout can send in subframe a.
PulseVector codableSet(CoderMode mode, int a, std::mt19937& random) {
    const PulseLayout& layout = rulesOf(mode).pulseLayout;
    PulseVector positions;
    positions.fill(kNoPulse);
    const auto pick = [&](std::span<const int> list) {
        return list[std::uniform_int_distribution<std::size_t>(0, list.size() - 1)(random)];
    };
    if (layout.search == PulseSearch::pairwise) {
        const int NT = layout.pairwiseTracks;
        std::uniform_int_distribution<int> place(0, kSubframeSamples / NT - 1);
        for (int k = 0; k < layout.pulses; ++k) positions[k] = place(random) * NT + k % NT;
    } else if (layout.search == PulseSearch::nested) {
        for (int k = 0; k < layout.pulses; ++k) positions[k] = pick(layout.lists[k]);
    } else {
        const TrackPair pair =
            layout.trackPairs[a][std::uniform_int_distribution<int>(0, 1)(random)];
        positions[0] = pick(tracks::kOfStep5[pair.first]);
        positions[1] = pick(tracks::kOfStep5[pair.second]);
    }
    return positions;
}

SignVector randomSigns(std::mt19937& random) {
    SignVector sign{};
    for (double& s : sign) s = std::bernoulli_distribution(0.5)(random) ? 1.0 : -1.0;
    return sign;
}

class PulseCodeTest : public ::testing::TestWithParam<CoderMode> {};

TEST_P(PulseCodeTest, CodedSetsComeBackWithTheirSignsInTheLayoutsBits) {
    const CoderMode mode = GetParam();
    const int bits = pulseCodeBits(mode);
    std::mt19937 random(test::testSeed());
    for (int trial = 0; trial < 2000; ++trial) {
        const int a = trial % kSubframes;
        const PulseVector positions = codableSet(mode, a, random);
        const SignVector sign = randomSigns(random);
        const auto index = encodePulses(mode, a, positions, sign);
        ASSERT_TRUE(index.has_value()) << "trial " << trial;
        ASSERT_EQ(*index >> bits, 0u) << "trial " << trial;
        EXPECT_EQ(pulsesOf(decodePulses(mode, a, *index)), pulsesOf(positions, sign))
            << "trial " << trial;
    }
}

// Every index that names a set decodes to a set that codes to it again: the
// code wastes no state it could use, and no two indices share a set.
TEST_P(PulseCodeTest, IndicesAndSetsCorrespondOneToOne) {
    const CoderMode mode = GetParam();
    const int bits = pulseCodeBits(mode);
    std::mt19937 random(test::testSeed());
    const bool exhaustive = bits <= 17;
    const std::uint64_t count = exhaustive ? std::uint64_t{1} << bits : 20000;
    std::uint64_t named = 0;
    for (std::uint64_t k = 0; k < count; ++k) {
        const std::uint64_t index = exhaustive ? k
                                               : std::uniform_int_distribution<std::uint64_t>(
                                                     0, (1ull << bits) - 1)(random);
        for (int a = 0; a < kSubframes; ++a) {
            CodedPulses coded;
            try {
                coded = decodePulses(mode, a, index);
            } catch (const std::invalid_argument&) {
                continue;
            }
            ++named;
            // The signs follow the positions; two pulses at one position
            // with opposite signs (5.90's lists share positions) are states
            // the coder never sends.
            SignVector sign{};
            std::fill(sign.begin(), sign.end(), 0.0);
            bool oneSignEach = true;
            for (int j = 0; j < kPulsesPerSubframe; ++j) {
                const int p = coded.positions[j];
                if (p == kNoPulse) continue;
                oneSignEach = oneSignEach && sign[p] != -coded.signs[j];
                sign[p] = coded.signs[j];
            }
            if (!oneSignEach) continue;
            ASSERT_EQ(encodePulses(mode, a, coded.positions, sign), index)
                << "index " << index << " subframe " << a;
        }
    }
    EXPECT_GT(named, 0u);
    EXPECT_THROW(decodePulses(mode, 0, std::uint64_t{1} << bits), std::invalid_argument);
}

TEST_P(PulseCodeTest, WhatTheSearchChoosesIsCodable) {
    const CoderMode mode = GetParam();
    std::mt19937 random(test::testSeed());
    std::normal_distribution<double> gauss;
    for (int trial = 0; trial < 200; ++trial) {
        const int a = trial % kSubframes;
        // A decaying impulse response, the target and the signs as the coder forms them.
        std::array<double, kSubframeSamples> h{}, x2{}, d{}, b{};
        for (int n = 0; n < kSubframeSamples; ++n) {
            h[n] = gauss(random) * std::exp(-0.1 * n) + (n == 0 ? 1.0 : 0.0);
            x2[n] = gauss(random);
        }
        SignVector sign{};
        for (int n = 0; n < kSubframeSamples; ++n) {
            for (int i = n; i < kSubframeSamples; ++i) d[n] += x2[i] * h[i - n];
            b[n] = d[n];
            sign[n] = d[n] >= 0.0 ? 1.0 : -1.0;
            d[n] *= sign[n];
        }
        std::vector<double> phi(kSubframeSamples * kSubframeSamples);
        for (int i = 0; i < kSubframeSamples; ++i)
            for (int j = 0; j < kSubframeSamples; ++j) {
                double sum = 0.0;
                for (int k = std::max(i, j); k < kSubframeSamples; ++k) sum += h[k - i] * h[k - j];
                phi[i * kSubframeSamples + j] = sign[i] * sign[j] * sum;
            }
        const PulseVector positions =
            searchPulsePositions(mode, a, SubframeVector(d),
                                 CorrelationMatrix(phi.data(), phi.size()), SubframeVector(b));
        const auto index = encodePulses(mode, a, positions, sign);
        ASSERT_TRUE(index.has_value()) << "trial " << trial;
        EXPECT_EQ(pulsesOf(decodePulses(mode, a, *index)), pulsesOf(positions, sign));
    }
}

INSTANTIATE_TEST_SUITE_P(EveryMode, PulseCodeTest, ::testing::ValuesIn(kAllCoderModes));

TEST(PulseCodes, TheLayoutsHaveTheModesPulseBits) {
    const std::map<CoderMode, int> published{{CoderMode::rate12_2, 35}, {CoderMode::rate10_2, 31},
                                             {CoderMode::rate7_95, 17}, {CoderMode::rate7_40, 17},
                                             {CoderMode::rate6_70, 14}, {CoderMode::rate5_90, 11},
                                             {CoderMode::rate5_15, 9},  {CoderMode::rate4_75, 9}};
    for (const auto& [mode, bits] : published)
        EXPECT_EQ(pulseCodeBits(mode), bits) << rulesOf(mode).rate;
}

TEST(PulseCodes, SetsOutsideTheLayoutAreRefused) {
    SignVector sign;
    sign.fill(1.0);
    PulseVector positions;
    positions.fill(kNoPulse);
    // 12.2: three pulses on track 0 and one on track 4.
    positions = {0, 5, 1, 6, 2, 7, 3, 8, 4, 9};
    ASSERT_TRUE(encodePulses(CoderMode::rate12_2, 0, positions, sign).has_value());
    positions[9] = 15;
    EXPECT_FALSE(encodePulses(CoderMode::rate12_2, 0, positions, sign).has_value());
    // 7.95: a missing pulse, and p0 off its track.
    positions.fill(kNoPulse);
    positions = {0, 1, 2, kNoPulse, kNoPulse, kNoPulse, kNoPulse, kNoPulse, kNoPulse, kNoPulse};
    EXPECT_FALSE(encodePulses(CoderMode::rate7_95, 0, positions, sign).has_value());
    positions[3] = 3;
    EXPECT_TRUE(encodePulses(CoderMode::rate7_95, 0, positions, sign).has_value());
    positions[0] = 1;
    EXPECT_FALSE(encodePulses(CoderMode::rate7_95, 0, positions, sign).has_value());
    // 4.75, subframe 0: tracks 0 and 2, or 1 and 3; not 0 and 1.
    positions.fill(kNoPulse);
    positions[0] = 5;
    positions[1] = 12;
    EXPECT_TRUE(encodePulses(CoderMode::rate4_75, 0, positions, sign).has_value());
    positions[1] = 11;
    EXPECT_FALSE(encodePulses(CoderMode::rate4_75, 0, positions, sign).has_value());
}

TEST(LagCodes, TheModesSpendTheirLagBits) {
    const std::map<CoderMode, int> published{{CoderMode::rate12_2, 30}, {CoderMode::rate10_2, 26},
                                             {CoderMode::rate7_95, 28}, {CoderMode::rate7_40, 26},
                                             {CoderMode::rate6_70, 24}, {CoderMode::rate5_90, 24},
                                             {CoderMode::rate5_15, 20}, {CoderMode::rate4_75, 20}};
    for (const auto& [mode, bits] : published) {
        int sum = 0;
        for (const LagCode& code : rulesOf(mode).lagCodes) sum += code.bits;
        EXPECT_EQ(sum, bits) << rulesOf(mode).rate;
        EXPECT_EQ(rulesOf(mode).lagCodes[0].coding, LagCoding::absolute);
    }
}

// Each index names one lag and the lag gives the index back; at most 2^bits
// lags; all lags inside the search's reach.
void expectOneToOne(const LagCodebook& code, int& held) {
    const int lowest = kLowestCodedLag * kLagSixths - (kLagSixths - 1);
    const int highest = kHighestCodedLag * kLagSixths + (kLagSixths - 1);
    held = 0;
    for (int lag6 = lowest - 12; lag6 <= highest + 12; ++lag6) {
        if (!code.holds(lag6)) continue;
        ASSERT_GE(lag6, lowest);
        ASSERT_LE(lag6, highest);
        const int index = code.indexOf(lag6);
        ASSERT_GE(index, 0);
        ASSERT_LT(index, 1 << code.bits());
        ASSERT_EQ(code.lagOf(index), lag6);
        ++held;
    }
    for (int index = 0; index < held; ++index) EXPECT_TRUE(code.holds(code.lagOf(index)));
    EXPECT_THROW(code.lagOf(held), std::invalid_argument);
    EXPECT_LE(held, 1 << code.bits());
}

TEST(LagCodes, AbsoluteCodesHoldEveryWholeLagAndTheFractionsBelowTheirBound) {
    for (const int bits : {8, 9})
        for (const PitchResolution resolution :
             {PitchResolution::whole, PitchResolution::third, PitchResolution::sixth}) {
            SCOPED_TRACE(testing::Message() << bits << " bits, resolution " << int(resolution));
            const LagCodebook code = LagCodebook::absolute(bits, resolution);
            int held = 0;
            expectOneToOne(code, held);
            for (int T = kLowestCodedLag; T <= kHighestCodedLag; ++T)
                EXPECT_TRUE(code.holds(T * kLagSixths)) << T;
            const int step = kLagSixths / stepsPerSample(resolution);
            for (int lag6 = 0; lag6 < 150 * kLagSixths; ++lag6)
                if (code.holds(lag6)) {
                    EXPECT_EQ(lag6 % step, 0) << lag6;
                }
            // The fine part reaches as far as the bits allow: moving its bound
            // up by a lag costs kLagSixths / step - 1 codes more.
            if (!code.holds(kHighestCodedLag * kLagSixths - step)) {
                EXPECT_GT(held + kLagSixths / step - 1, 1 << bits) << "codes left unused";
            }
        }
    // 9 bits at 1/6: fractions up to 89 5/6, whole lags from 90.
    const LagCodebook code = LagCodebook::absolute(9, PitchResolution::sixth);
    EXPECT_TRUE(code.holds(89 * 6 + 5));
    EXPECT_FALSE(code.holds(90 * 6 + 1));
    EXPECT_TRUE(code.holds(14 * 6 + 1));
}

TEST(LagCodes, RelativeCodesSurroundThePreviousLag) {
    for (const int bits : {4, 5, 6})
        for (const PitchResolution resolution :
             {PitchResolution::whole, PitchResolution::third, PitchResolution::sixth})
            for (int previous = 14 * 6 + 1; previous <= 146 * 6 + 5; previous += 7) {
                SCOPED_TRACE(testing::Message() << bits << " bits, resolution " << int(resolution)
                                                << ", previous lag " << previous);
                const LagCodebook code = LagCodebook::relative(bits, resolution, previous);
                int held = 0;
                expectOneToOne(code, held);
                EXPECT_EQ(held, 1 << bits);  // every index names a lag
                EXPECT_GE(code.highestWhole() - code.lowestWhole() + 1, kRelativeSpanLags);
                const int centre =
                    std::clamp(wholeLagOf(previous), kLowestCodedLag + 4, kHighestCodedLag - 4);
                EXPECT_TRUE(code.holds(centre * kLagSixths));
                EXPECT_TRUE(code.holds((centre - 4) * kLagSixths));
                EXPECT_TRUE(code.holds((centre + 4) * kLagSixths));
            }
    // 6 bits at 1/6 keep the sixths; 5 bits fall back to thirds; 4 to whole lags.
    EXPECT_TRUE(LagCodebook::relative(6, PitchResolution::sixth, 60 * 6).holds(60 * 6 + 1));
    EXPECT_FALSE(LagCodebook::relative(5, PitchResolution::sixth, 60 * 6).holds(60 * 6 + 1));
    EXPECT_TRUE(LagCodebook::relative(5, PitchResolution::sixth, 60 * 6).holds(60 * 6 + 2));
    EXPECT_FALSE(LagCodebook::relative(4, PitchResolution::sixth, 60 * 6).holds(60 * 6 + 2));
    EXPECT_EQ(wholeLagOf(57 * 6 + 3), 58);
    EXPECT_EQ(wholeLagOf(57 * 6 + 2), 57);
    EXPECT_EQ(wholeLagOf(57 * 6 - 3), 57);
}

}  // namespace
}  // namespace zorvel
