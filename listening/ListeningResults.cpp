#include "listening/ListeningResults.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <set>
#include <stdexcept>
#include <tuple>

namespace zorvel {
namespace {

// The regularised incomplete beta function I_x(a, b), by its continued
// fraction (modified Lentz), on the side of x where it converges fast.
double incompleteBeta(double a, double b, double x) {
    if (x <= 0.0) return 0.0;
    if (x >= 1.0) return 1.0;
    if (x > (a + 1.0) / (a + b + 2.0)) return 1.0 - incompleteBeta(b, a, 1.0 - x);
    const double front = std::exp(std::lgamma(a + b) - std::lgamma(a) - std::lgamma(b) +
                                  a * std::log(x) + b * std::log1p(-x)) /
                         a;
    constexpr double kTiny = 1e-300;  // keeps a denominator of the fraction away from 0
    double f = 1.0, c = 1.0, d = 0.0;
    for (int i = 0; i <= 400; ++i) {
        const int m = i / 2;
        double numerator = 1.0;
        if (i > 0) {
            numerator = i % 2 == 0
                            ? m * (b - m) * x / ((a + 2.0 * m - 1.0) * (a + 2.0 * m))
                            : -(a + m) * (a + b + m) * x / ((a + 2.0 * m) * (a + 2.0 * m + 1.0));
        }
        d = 1.0 + numerator * d;
        if (std::fabs(d) < kTiny) d = kTiny;
        d = 1.0 / d;
        c = 1.0 + numerator / c;
        if (std::fabs(c) < kTiny) c = kTiny;
        const double step = c * d;
        f *= step;
        if (std::fabs(1.0 - step) < 1e-15) break;
    }
    return front * (f - 1.0);
}

// P(T <= t) for t >= 0.
double studentCdf(double t, int degrees) {
    const double nu = degrees;
    return 1.0 - 0.5 * incompleteBeta(nu / 2.0, 0.5, nu / (nu + t * t));
}

struct ConditionKey {
    std::string condition;
    std::string settings;
    auto operator<=>(const ConditionKey&) const = default;
};

// Where a condition stands in the results: the reference, the others, the anchors.
int conditionGroup(const std::string& condition) {
    if (condition == kHiddenReferenceCondition) return 0;
    return anchorQ(condition) ? 2 : 1;
}

// The number a condition starts with: the rate of "12.2 kb/s".
std::optional<double> leadingRate(const std::string& condition) {
    char* end = nullptr;
    const double rate = std::strtod(condition.c_str(), &end);
    if (end == condition.c_str()) return std::nullopt;
    return rate;
}

}  // namespace

double studentT975(int degrees) {
    if (degrees < 1) throw std::invalid_argument("studentT975: fewer than 1 degree of freedom");
    // Bisection on [0, 1000]: t(1) = 12.7, and the CDF rises steadily.
    double low = 0.0, high = 1000.0;
    for (int i = 0; i < 200 && high - low > 1e-13; ++i) {
        const double middle = 0.5 * (low + high);
        (studentCdf(middle, degrees) < 0.975 ? low : high) = middle;
    }
    return 0.5 * (low + high);
}

std::optional<double> anchorQ(const std::string& condition) {
    for (const double q : {kLowAnchorQ, kHighAnchorQ})
        if (condition == anchorCondition(q)) return q;
    return std::nullopt;
}

ListeningResults aggregateRatings(std::span<const Rating> ratings) {
    ListeningResults results;
    results.ratings = static_cast<int>(ratings.size());

    // Screening: per listener, the trials (input and number) with their lowest
    // rating of the hidden reference.
    std::map<std::string, std::map<std::pair<std::string, int>, int>> reference;
    std::set<std::string> listeners;
    for (const Rating& r : ratings) {
        listeners.insert(r.listener);
        if (r.condition != kHiddenReferenceCondition) continue;
        auto [it, added] = reference[r.listener].try_emplace({r.input, r.trial}, r.score);
        if (!added) it->second = std::min(it->second, r.score);
    }
    std::set<std::string> excluded;
    for (const std::string& listener : listeners) {
        ListenerScreening screening;
        screening.listener = listener;
        for (const auto& [trial, score] : reference[listener]) {
            ++screening.trials;
            if (score < kScreeningScore) ++screening.referenceBelow;
        }
        screening.excluded = screening.referenceBelow > kScreeningShare * screening.trials;
        if (screening.excluded) excluded.insert(listener);
        results.listeners.push_back(screening);
    }

    // The kept scores of each condition, and the order conditions first appear in.
    std::map<ConditionKey, std::vector<int>> scores;
    std::vector<ConditionKey> order;  // each once
    for (const Rating& r : ratings) {
        if (excluded.contains(r.listener)) continue;
        ++results.ratingsKept;
        const ConditionKey key{r.condition, r.settings};
        auto [it, added] = scores.try_emplace(key);
        if (added) order.push_back(key);
        it->second.push_back(r.score);
    }
    std::sort(order.begin(), order.end(), [](const ConditionKey& a, const ConditionKey& b) {
        const int ga = conditionGroup(a.condition), gb = conditionGroup(b.condition);
        if (ga != gb) return ga < gb;
        if (ga == 2) return *anchorQ(a.condition) > *anchorQ(b.condition);
        const std::optional<double> ra = leadingRate(a.condition), rb = leadingRate(b.condition);
        if (ra.has_value() != rb.has_value()) return ra.has_value();
        if (ra && *ra != *rb) return *ra > *rb;
        return std::tie(a.condition, a.settings) < std::tie(b.condition, b.settings);
    });

    for (const ConditionKey& key : order) {
        const std::vector<int>& x = scores[key];
        ConditionResult c;
        c.condition = key.condition;
        c.settings = key.settings;
        c.count = static_cast<int>(x.size());
        double sum = 0.0;
        for (int v : x) sum += v;
        c.mean = sum / c.count;
        if (c.count > 1) {
            double squares = 0.0;
            for (int v : x) squares += (v - c.mean) * (v - c.mean);
            c.standardDeviation = std::sqrt(squares / (c.count - 1));
            c.halfInterval = studentT975(c.count - 1) * c.standardDeviation / std::sqrt(c.count);
        }
        results.conditions.push_back(c);
    }
    return results;
}

}  // namespace zorvel
