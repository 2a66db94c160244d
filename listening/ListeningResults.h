// What the ratings of a listening test say: the mean score of each condition
// over the listeners and the items, with its 95 % confidence interval
// (Student's t with n - 1 degrees of freedom: mean +- t * s / sqrt(n), s the
// sample standard deviation), after the listeners are screened: one who rated
// the hidden reference below kScreeningScore in more than kScreeningShare of
// the trials is left out, and the results say who and why.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "listening/Ratings.h"

namespace zorvel {

inline constexpr int kScreeningScore = 90;
inline constexpr double kScreeningShare = 0.15;

struct ListenerScreening {
    std::string listener;
    int trials = 0;          // trials in which the listener rated the hidden reference
    int referenceBelow = 0;  // of them, with the reference below kScreeningScore
    bool excluded = false;   // referenceBelow > kScreeningShare * trials
};

struct ConditionResult {
    std::string condition;
    std::string settings;
    int count = 0;  // ratings of the listeners kept
    double mean = 0.0;
    // t * s / sqrt(n); nothing with a single rating.
    std::optional<double> halfInterval;
    double standardDeviation = 0.0;  // s; 0 with a single rating
};

struct ListeningResults {
    // The hidden reference first, then the coded conditions from the highest
    // rate down (a condition that names no rate after them, by name), the
    // same rate by its settings, then the anchors from the highest Q down.
    // Conditions only the excluded listeners rated are absent.
    std::vector<ConditionResult> conditions;
    std::vector<ListenerScreening> listeners;  // by name
    int ratings = 0;                           // all ratings read
    int ratingsKept = 0;                       // of the listeners kept
};

ListeningResults aggregateRatings(std::span<const Rating> ratings);

// t such that P(T <= t) = 0.975 for Student's t with `degrees` degrees of
// freedom (1 or more).
double studentT975(int degrees);

// Whether a condition is one of the anchors (anchorCondition) and its Q.
std::optional<double> anchorQ(const std::string& condition);

}  // namespace zorvel
