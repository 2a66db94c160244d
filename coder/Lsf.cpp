#include "coder/Lsf.h"

#include <cmath>
#include <numbers>
#include <vector>

namespace zorvel {
namespace {

constexpr int kHalfOrder = kLpOrder / 2;  // zeros of P' and of Q' in (0, pi)
constexpr int kGridPoints = 4096;         // the search grid over (0, pi)
constexpr int kBisections = 64;           // more than a double's bits

// The symmetric polynomials P'(z) = P(z) / (1 + z^-1) and Q'(z) = Q(z) /
// (1 - z^-1), each of degree 10: f[k] = f[10 - k].
struct SymmetricPair {
    std::array<double, kLpOrder + 1> p{};
    std::array<double, kLpOrder + 1> q{};
};

SymmetricPair symmetricPair(const LpCoeffs& a) {
    // P and Q have degree 11: a_k +/- a_(11-k), with a_11 = 0.
    const auto coefficient = [&a](int k) { return k >= 0 && k <= kLpOrder ? a[k] : 0.0; };
    SymmetricPair pair;
    double p = 0.0;
    double q = 0.0;
    for (int k = 0; k <= kLpOrder; ++k) {
        p = coefficient(k) + coefficient(kLpOrder + 1 - k) - p;  // divided by 1 + z^-1
        q = coefficient(k) - coefficient(kLpOrder + 1 - k) + q;  // divided by 1 - z^-1
        pair.p[k] = p;
        pair.q[k] = q;
    }
    return pair;
}

// e^(j5w) F(e^jw) / 2 = f[5]/2 + sum_(m=1..5) f[5-m] T_m(cos w): real on the
// unit circle, evaluated by the Chebyshev recurrence.
double chebyshevForm(const std::array<double, kLpOrder + 1>& f, double w) {
    const double x = std::cos(w);
    double previous = 1.0;  // T_0
    double current = x;     // T_1
    double sum = f[kHalfOrder] / 2.0;
    for (int m = 1; m <= kHalfOrder; ++m) {
        sum += f[kHalfOrder - m] * current;
        const double next = 2.0 * x * current - previous;
        previous = current;
        current = next;
    }
    return sum;
}

// The zeros of the form in (0, pi), in increasing order: a cell of the grid
// whose ends differ in sign (zero counting as positive) holds one, found by
// bisection until the interval cannot shrink.
std::vector<double> zerosOf(const std::array<double, kLpOrder + 1>& f) {
    std::vector<double> zeros;
    double low = 0.0;
    bool lowNegative = chebyshevForm(f, low) < 0.0;
    for (int i = 1; i <= kGridPoints; ++i) {
        const double high = std::numbers::pi * i / kGridPoints;
        const bool highNegative = chebyshevForm(f, high) < 0.0;
        if (lowNegative != highNegative) {
            double a = low;
            double b = high;
            for (int n = 0; n < kBisections; ++n) {
                const double middle = 0.5 * (a + b);
                if (middle <= a || middle >= b) break;
                if ((chebyshevForm(f, middle) < 0.0) == lowNegative) {
                    a = middle;
                } else {
                    b = middle;
                }
            }
            zeros.push_back(0.5 * (a + b));
        }
        low = high;
        lowNegative = highNegative;
    }
    return zeros;
}

// The coefficients of the product of 1 - 2 cos(w_i) z^-1 + z^-2 over the
// frequencies w[first], w[first + 2], ...
std::array<double, kLpOrder + 1> productOfFactors(const LineSpectralFrequencies& w, int first) {
    std::array<double, kLpOrder + 1> f{};
    f[0] = 1.0;
    int degree = 0;
    for (int i = first; i < kLpOrder; i += 2) {
        const double c = -2.0 * std::cos(w[i]);
        for (int k = degree + 2; k >= 0; --k) {
            double v = f[k];
            if (k >= 1) v += c * f[k - 1];
            if (k >= 2) v += f[k - 2];
            f[k] = v;
        }
        degree += 2;
    }
    return f;
}

}  // namespace

std::optional<LineSpectralFrequencies> lpToLsf(const LpCoeffs& a) {
    const SymmetricPair pair = symmetricPair(a);
    const std::vector<double> p = zerosOf(pair.p);
    const std::vector<double> q = zerosOf(pair.q);
    if (p.size() != kHalfOrder || q.size() != kHalfOrder) return std::nullopt;
    LineSpectralFrequencies w{};
    for (int i = 0; i < kHalfOrder; ++i) {
        w[2 * i] = p[i];
        w[2 * i + 1] = q[i];
    }
    for (int i = 1; i < kLpOrder; ++i)
        if (!(w[i] > w[i - 1])) return std::nullopt;
    return w;
}

LpCoeffs lsfToLp(const LineSpectralFrequencies& w) {
    const std::array<double, kLpOrder + 1> p = productOfFactors(w, 0);
    const std::array<double, kLpOrder + 1> q = productOfFactors(w, 1);
    // P = P' (1 + z^-1), Q = Q' (1 - z^-1); their z^-11 terms cancel in the sum.
    LpCoeffs a{};
    for (int k = 0; k <= kLpOrder; ++k) {
        const double pk = p[k] + (k > 0 ? p[k - 1] : 0.0);
        const double qk = q[k] - (k > 0 ? q[k - 1] : 0.0);
        a[k] = 0.5 * (pk + qk);
    }
    return a;
}

LineSpectralFrequencies interpolateLsf(const LineSpectralFrequencies& from,
                                       const LineSpectralFrequencies& to, double t) {
    LineSpectralFrequencies w{};
    for (int i = 0; i < kLpOrder; ++i) w[i] = (1.0 - t) * from[i] + t * to[i];
    return w;
}

}  // namespace zorvel
