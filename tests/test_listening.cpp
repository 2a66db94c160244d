// The listening test's core: the modulated-noise anchors (their Q measured on
// speech, silence kept silent, the band-pass against a direct DFT, the noise
// fixed by its seed), the order of each trial, the ratings file (round trip,
// whole trials only, a write cut short) and the results (means and intervals
// computed by hand, Student's t against printed tables, the screening rule at
// its edges).
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <set>
#include <vector>

#include "files/FileError.h"
#include "listening/ListeningResults.h"
#include "listening/ModulatedNoise.h"
#include "listening/Ratings.h"
#include "listening/TrialOrder.h"
#include "sound/SpeechInput.h"
#include "tests/TestSupport.h"

namespace zorvel {
namespace {

// The bundled sample, `copies` times over: about 5.7 s each.
std::vector<double> speech(int copies) {
    const FileSamples read = readFileSamples(test::samplePath());
    EXPECT_EQ(read.outcome, ReadOutcome::read);
    std::vector<double> x;
    for (int i = 0; i < copies; ++i) x.insert(x.end(), read.samples.begin(), read.samples.end());
    return x;
}

// 10 log10 of the band-limited speech's energy over that of what the unit added.
double measuredQ(std::span<const double> input, std::span<const double> output) {
    const std::vector<double> x = mnruBandLimited(input);
    long double speechEnergy = 0, noiseEnergy = 0;
    for (std::size_t n = 0; n < x.size(); ++n) {
        speechEnergy += static_cast<long double>(x[n]) * x[n];
        const long double d = static_cast<long double>(output[n]) - x[n];
        noiseEnergy += d * d;
    }
    return static_cast<double>(10.0L * std::log10(speechEnergy / noiseEnergy));
}

TEST(ModulatedNoise, NoiseLiesQDecibelsBelowTheSpeech) {
    // 28 s of speech: the ratio of 224,000 noise values' energy to its
    // expectation has a spread of about 0.03 dB on speech this uneven.
    const std::vector<double> x = speech(5);
    for (const double q : {kLowAnchorQ, kHighAnchorQ, 0.0, 40.0}) {
        const std::vector<double> y = modulatedNoise(x, q, 20261208);
        ASSERT_EQ(y.size(), x.size());
        EXPECT_NEAR(measuredQ(x, y), q, 0.1) << "Q " << q;
    }
}

TEST(ModulatedNoise, SameSeedSameAnchorAndSilenceStaysSilent) {
    std::vector<double> x = speech(1);
    // A second of digital silence in the middle: the noise is modulated by
    // the speech, so beyond the filters' reach (two half-lengths) none is added.
    const std::size_t quiet = x.size() / 2;
    std::fill(x.begin() + static_cast<std::ptrdiff_t>(quiet),
              x.begin() + static_cast<std::ptrdiff_t>(quiet + 8000), 0.0);
    const std::vector<double> a = modulatedNoise(x, 10.0, 7);
    const std::vector<double> b = modulatedNoise(x, 10.0, 7);
    const std::vector<double> c = modulatedNoise(x, 10.0, 8);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
    const std::size_t reach = kMnruFilterTaps - 1;
    for (std::size_t n = quiet + reach; n < quiet + 8000 - reach; ++n)
        ASSERT_EQ(a[n], 0.0) << "sample " << n;
    // Another seed gives other noise of the same strength.
    EXPECT_NEAR(measuredQ(x, c), measuredQ(x, a), 0.3);
}

TEST(ModulatedNoise, BandPassPassesTheSpeechBandAndStopsDirectCurrent) {
    const std::vector<double> h = mnruBandPass();
    ASSERT_EQ(static_cast<int>(h.size()), kMnruFilterTaps);
    const auto gain = [&h](double hz) {  // |H(f)| by a direct DFT in long double
        long double re = 0, im = 0;
        for (std::size_t n = 0; n < h.size(); ++n) {
            const long double phase = 2.0L * std::numbers::pi_v<long double> * hz * n / 8000.0L;
            re += h[n] * std::cos(phase);
            im -= h[n] * std::sin(phase);
        }
        return static_cast<double>(std::sqrt(re * re + im * im));
    };
    for (const double hz : {300.0, 1000.0, 2000.0, 3000.0, 3400.0})
        EXPECT_NEAR(gain(hz), 1.0, 0.01) << hz << " Hz";
    EXPECT_LT(gain(0.0), 0.01);
    EXPECT_LT(gain(4000.0), 0.01);
    for (std::size_t n = 0; n < h.size(); ++n)  // linear phase: symmetric taps
        EXPECT_EQ(h[n], h[h.size() - 1 - n]) << n;
}

TEST(TrialOrder, EachTrialAPermutationOfItsOwnRepeatableByTheSeed) {
    constexpr int kStimuli = kMostStimuli;
    std::set<std::vector<int>> seen;
    for (int trial = 1; trial <= 20; ++trial) {
        const std::vector<int> order = trialOrder(kStimuli, 1234, trial);
        EXPECT_EQ(order, trialOrder(kStimuli, 1234, trial));
        std::vector<int> sorted = order;
        std::sort(sorted.begin(), sorted.end());
        for (int i = 0; i < kStimuli; ++i) ASSERT_EQ(sorted[static_cast<std::size_t>(i)], i);
        seen.insert(order);
    }
    EXPECT_EQ(seen.size(), 20u);  // 11! orders: twenty trials never repeat one
    EXPECT_NE(trialOrder(kStimuli, 1234, 1), trialOrder(kStimuli, 1235, 1));

    // Each stimulus comes first equally often: 11,000 trials, 1000 each, with
    // a standard deviation of 30.
    std::vector<int> first(kStimuli, 0);
    for (int trial = 1; trial <= 11000; ++trial) ++first[trialOrder(kStimuli, 99, trial)[0]];
    for (int i = 0; i < kStimuli; ++i)
        EXPECT_NEAR(first[static_cast<std::size_t>(i)], 1000, 150) << i;
    EXPECT_EQ(neutralLetter(0), "A");
    EXPECT_EQ(neutralLetter(kMostStimuli - 1), "K");
}

Rating rating(const std::string& listener, int trial, const std::string& condition, int score) {
    return {.listener = listener,
            .trial = trial,
            .input = "mowa" + std::to_string(trial) + ".wav",
            .condition = condition,
            .settings = condition == "12.2 kb/s" ? "gamma1=0.9" : "",
            .letter = "B",
            .score = score,
            .time = "2026-12-08T10:41:07Z"};
}

TEST(Ratings, TrialsAppendedWholeAndReadBack) {
    test::TempDir dir;
    const auto file = dir / "wyniki.jsonl";
    const std::vector<Rating> first{rating("ala", 1, kHiddenReferenceCondition, 100),
                                    rating("ala \"Ł\"", 1, "12.2 kb/s", 73)};
    const std::vector<Rating> second{rating("ala", 2, anchorCondition(10.0), 12)};
    appendTrial(file, first);
    appendTrial(file, second);
    const RatingsFile read = readRatings(file);
    EXPECT_EQ(read.cutLines, 0);
    ASSERT_EQ(read.ratings.size(), 3u);
    EXPECT_EQ(read.ratings[0], first[0]);
    EXPECT_EQ(read.ratings[1], first[1]);
    EXPECT_EQ(read.ratings[2], second[0]);
    EXPECT_EQ(ratingLine(first[0]),
              "{\"listener\":\"ala\",\"trial\":1,\"input\":\"mowa1.wav\",\"condition\":"
              "\"reference\",\"settings\":\"\",\"letter\":\"B\",\"score\":100,\"time\":"
              "\"2026-12-08T10:41:07Z\"}\n");
    EXPECT_EQ(anchorCondition(25.0), "MNRU Q=25 dB");
    EXPECT_EQ(ratingTime().size(), 20u);
}

TEST(Ratings, AWriteCutShortLeavesTheFileAsItWas) {
    test::TempDir dir;
    const auto file = dir / "wyniki.jsonl";
    appendTrial(file, std::vector<Rating>{rating("ala", 1, kHiddenReferenceCondition, 100)});
    const std::vector<std::uint8_t> before = test::readBytes(file);
    std::vector<Rating> trial;
    for (int i = 0; i < 11; ++i) trial.push_back(rating("ala", 2, "12.2 kb/s", i));
    {
        // Room for two more lines, not eleven: the first lines reach the file.
        const test::FileSizeLimit limit(before.size() + 2 * ratingLine(trial[0]).size());
        EXPECT_THROW(appendTrial(file, trial), FileError);
    }
    EXPECT_EQ(test::readBytes(file), before);
    EXPECT_EQ(readRatings(file).ratings.size(), 1u);
}

TEST(Ratings, ACutLastLineIsLeftOutAndABadLineNamed) {
    const std::string whole = ratingLine(rating("ala", 1, kHiddenReferenceCondition, 100));
    const RatingsFile cut = parseRatings(whole + "\n" + whole.substr(0, 30));
    EXPECT_EQ(cut.ratings.size(), 1u);
    EXPECT_EQ(cut.cutLines, 1);
    std::string tooHigh = whole;
    tooHigh.replace(tooHigh.find("\"score\":100"), 11, "\"score\":101");
    for (const std::string& bad :
         {std::string("{\"listener\":\"ala\"}\n"), std::string("[1,2]\n"), tooHigh}) {
        try {
            parseRatings(whole + bad);
            ADD_FAILURE() << "accepted: " << bad;
        } catch (const FileError& error) {
            EXPECT_EQ(std::string(error.what()).rfind("line 2 is not a rating", 0), 0u)
                << error.what();
        }
    }
}

TEST(ListeningResults, StudentQuantilesAsTabulated) {
    // Two-sided 95 % points of printed tables, to their five decimals.
    const std::vector<std::pair<int, double>> table{{1, 12.70620}, {2, 4.30265},  {3, 3.18245},
                                                    {4, 2.77645},  {10, 2.22814}, {30, 2.04227},
                                                    {120, 1.97993}};
    for (const auto& [degrees, t] : table) EXPECT_NEAR(studentT975(degrees), t, 1e-5) << degrees;
}

TEST(ListeningResults, MeansAndIntervalsOfTheListenersKept) {
    const std::string ref = kHiddenReferenceCondition;
    const std::string q10 = anchorCondition(10.0), q25 = anchorCondition(25.0);
    // The anchors come first in the file; the results put them last.
    const std::vector<Rating> ratings{
        rating("ala", 1, q10, 10),
        rating("ala", 1, q25, 40),
        rating("ala", 1, ref, 100),
        rating("ala", 1, "12.2 kb/s", 80),
        rating("ala", 2, ref, 95),
        rating("ala", 2, "12.2 kb/s", 70),
        rating("ala", 2, q25, 30),
        rating("ala", 2, q10, 20),
        // Exactly 90 is not below 90: bartek is kept.
        rating("bartek", 1, ref, 90),
        rating("bartek", 1, "12.2 kb/s", 90),
        rating("bartek", 1, q25, 35),
        rating("bartek", 1, q10, 15),
        rating("bartek", 2, ref, 100),
        rating("bartek", 2, "12.2 kb/s", 75),
        rating("bartek", 2, q25, 45),
        rating("bartek", 2, q10, 5),
        // celina rates the reference 60 in one trial of two: left out.
        rating("celina", 1, ref, 60),
        rating("celina", 1, "12.2 kb/s", 20),
        rating("celina", 1, "4.75 kb/s", 5),
        rating("celina", 2, ref, 100),
    };
    const ListeningResults results = aggregateRatings(ratings);
    EXPECT_EQ(results.ratings, 20);
    EXPECT_EQ(results.ratingsKept, 16);
    ASSERT_EQ(results.listeners.size(), 3u);
    EXPECT_FALSE(results.listeners[0].excluded);
    EXPECT_FALSE(results.listeners[1].excluded);
    EXPECT_EQ(results.listeners[1].referenceBelow, 0);
    EXPECT_TRUE(results.listeners[2].excluded);
    EXPECT_EQ(results.listeners[2].trials, 2);
    EXPECT_EQ(results.listeners[2].referenceBelow, 1);

    // By hand: n = 4, t(3) = 3.18245, half = t s / 2.
    struct Expected {
        std::string condition;
        double mean;
        double squares;  // the sum of squared deviations from the mean
    };
    const std::vector<Expected> expected{
        {ref, 96.25, 3.75 * 3.75 + 1.25 * 1.25 + 6.25 * 6.25 + 3.75 * 3.75},
        {"12.2 kb/s", 78.75, 1.25 * 1.25 + 8.75 * 8.75 + 11.25 * 11.25 + 3.75 * 3.75},
        {q25, 37.5, 2.5 * 2.5 + 7.5 * 7.5 + 2.5 * 2.5 + 7.5 * 7.5},
        {q10, 12.5, 2.5 * 2.5 + 7.5 * 7.5 + 2.5 * 2.5 + 7.5 * 7.5},
    };
    ASSERT_EQ(results.conditions.size(), expected.size());  // 4.75: only celina rated it
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const ConditionResult& c = results.conditions[i];
        EXPECT_EQ(c.condition, expected[i].condition);
        EXPECT_EQ(c.count, 4);
        EXPECT_DOUBLE_EQ(c.mean, expected[i].mean);
        const double s = std::sqrt(expected[i].squares / 3.0);
        EXPECT_NEAR(c.standardDeviation, s, 1e-12);
        ASSERT_TRUE(c.halfInterval.has_value());
        EXPECT_NEAR(*c.halfInterval, 3.18245 * s / 2.0, 1e-4) << c.condition;
    }
    EXPECT_EQ(results.conditions[1].settings, "gamma1=0.9");
    EXPECT_NEAR(*results.conditions[1].halfInterval, 13.5876, 1e-4);  // 3.18245 * 8.53913 / 2
}

TEST(ListeningResults, ScreeningAtFifteenPercentOfTrials) {
    // 20 trials: 3 below 90 is 15 %, kept; 4 is more, left out.
    for (const int below : {3, 4}) {
        std::vector<Rating> ratings;
        for (int trial = 1; trial <= 20; ++trial) {
            ratings.push_back(
                rating("dawid", trial, kHiddenReferenceCondition, trial <= below ? 89 : 100));
            ratings.push_back(rating("dawid", trial, "12.2 kb/s", 50));
        }
        const ListeningResults results = aggregateRatings(ratings);
        ASSERT_EQ(results.listeners.size(), 1u);
        EXPECT_EQ(results.listeners[0].trials, 20);
        EXPECT_EQ(results.listeners[0].referenceBelow, below);
        EXPECT_EQ(results.listeners[0].excluded, below == 4);
        EXPECT_EQ(results.conditions.size(), below == 4 ? 0u : 2u);
    }
    // A single rating has a mean and no interval.
    const ListeningResults one =
        aggregateRatings(std::vector<Rating>{rating("ewa", 1, "12.2 kb/s", 61)});
    ASSERT_EQ(one.conditions.size(), 1u);
    EXPECT_EQ(one.conditions[0].mean, 61.0);
    EXPECT_FALSE(one.conditions[0].halfInterval.has_value());
}

}  // namespace
}  // namespace zorvel
