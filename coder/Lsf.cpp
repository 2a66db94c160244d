#include "coder/Lsf.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace zorvel {
namespace {

constexpr int kHalfOrder = kLpOrder / 2;  // zeros of P' and of Q' in (0, pi)
constexpr int kCoarseGridPoints = 128;    // the search grids over (0, pi)
constexpr int kFineGridPoints = 4096;
constexpr int kRefinements = 200;  // a bound; refining ends long before
// A bracket this narrow in x is settled: near a zero the series' values are
// mostly rounding, and the frequencies are far more exact than any use of
// them needs (A(z) back from them within 1e-12).
constexpr double kSettled = 1e-14;

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

// e^(j5w) F(e^jw) / 2 = f[5]/2 + sum_(m=1..5) f[5-m] T_m(x), x = cos w: real
// on the unit circle, a Chebyshev series in x.
using ChebyshevSeries = std::array<double, kHalfOrder + 1>;

ChebyshevSeries chebyshevSeries(const std::array<double, kLpOrder + 1>& f) {
    ChebyshevSeries c{};
    c[0] = f[kHalfOrder] / 2.0;
    for (int m = 1; m <= kHalfOrder; ++m) c[m] = f[kHalfOrder - m];
    return c;
}

// The series at x by Clenshaw's recurrence.
double valueAt(const ChebyshevSeries& c, double x) {
    double next = 0.0;     // b(m + 2)
    double current = 0.0;  // b(m + 1)
    for (int m = kHalfOrder; m >= 1; --m) {
        const double b = c[m] + 2.0 * x * current - next;
        next = current;
        current = b;
    }
    return c[0] + x * current - next;
}

// cos(pi i / points), i = 0..points: the search grid, increasing in w.
template <int points>
const std::array<double, points + 1>& gridOf() {
    static const std::array<double, points + 1> grid = [] {
        std::array<double, points + 1> x{};
        for (int i = 0; i <= points; ++i) x[i] = std::cos(std::numbers::pi * i / points);
        return x;
    }();
    return grid;
}

// A zero being refined: the series changes sign between `a` and `b`, its
// values there `fa` and `fb`.
struct Bracket {
    const ChebyshevSeries* series;
    double a;
    double b;
    double fa;
    double fb;
};

// Every cell of the grid whose ends differ in sign (zero counting as
// positive) holds one zero of the series; the brackets in increasing w.
template <int points>
void bracketZeros(const ChebyshevSeries& c, std::vector<Bracket>& brackets) {
    const auto& grid = gridOf<points>();
    double low = valueAt(c, grid[0]);
    for (int i = 1; i <= points; ++i) {
        const double high = valueAt(c, grid[i]);
        if ((low < 0.0) != (high < 0.0)) brackets.push_back({&c, grid[i - 1], grid[i], low, high});
        low = high;
    }
}

// Each bracket shrunk until it is settled: the Illinois form of regula
// falsi (the end kept twice in a row has its value halved, so both ends
// move), with a bisection wherever the secant falls outside. The brackets
// are independent and are refined side by side.
void refine(std::vector<Bracket>& brackets) {
    std::array<int, 2 * kLpOrder> keptEnd{};  // -1: a kept last time, +1: b, 0: neither
    for (int n = 0; n < kRefinements; ++n) {
        bool moved = false;
        for (std::size_t k = 0; k < brackets.size(); ++k) {
            Bracket& z = brackets[k];
            double x = z.b - z.fb * (z.b - z.a) / (z.fb - z.fa);
            if (!(x > std::min(z.a, z.b) && x < std::max(z.a, z.b))) x = 0.5 * (z.a + z.b);
            if (std::abs(z.b - z.a) <= kSettled || x == z.a || x == z.b || z.fa == 0.0 ||
                z.fb == 0.0)
                continue;
            moved = true;
            const double fx = valueAt(*z.series, x);
            if ((fx < 0.0) == (z.fa < 0.0)) {
                z.a = x;
                z.fa = fx;
                if (keptEnd[k] == 1) z.fb *= 0.5;
                keptEnd[k] = 1;
            } else {
                z.b = x;
                z.fb = fx;
                if (keptEnd[k] == -1) z.fa *= 0.5;
                keptEnd[k] = -1;
            }
        }
        if (!moved) break;
    }
}

// The zero a refined bracket holds: the end nearer it.
double zeroOf(const Bracket& z) { return std::abs(z.fa) <= std::abs(z.fb) ? z.a : z.b; }

// The frequencies of the zeros of P' and Q' in (0, pi) on one grid; nothing
// unless each has five and they alternate, the first a zero of P'.
template <int points>
std::optional<LineSpectralFrequencies> frequenciesOn(const ChebyshevSeries& p,
                                                     const ChebyshevSeries& q) {
    std::vector<Bracket> brackets;
    brackets.reserve(2 * kLpOrder);
    bracketZeros<points>(p, brackets);
    const std::size_t zerosOfP = brackets.size();
    bracketZeros<points>(q, brackets);
    if (zerosOfP != kHalfOrder || brackets.size() != kLpOrder) return std::nullopt;
    refine(brackets);
    LineSpectralFrequencies w{};
    for (int i = 0; i < kHalfOrder; ++i) {
        w[2 * i] = std::acos(zeroOf(brackets[i]));
        w[2 * i + 1] = std::acos(zeroOf(brackets[kHalfOrder + i]));
    }
    for (int i = 1; i < kLpOrder; ++i)
        if (!(w[i] > w[i - 1])) return std::nullopt;
    return w;
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
    const ChebyshevSeries p = chebyshevSeries(pair.p);
    const ChebyshevSeries q = chebyshevSeries(pair.q);
    // A coarse grid finds the zeros of nearly every filter; zeros closer than
    // its cells (a very sharp resonance) are looked for on the fine one.
    if (auto w = frequenciesOn<kCoarseGridPoints>(p, q)) return w;
    return frequenciesOn<kFineGridPoints>(p, q);
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

const LineSpectralFrequencies& silentLsf() {
    static const LineSpectralFrequencies w = [] {
        LpCoeffs flat{};
        flat[0] = 1.0;
        return *lpToLsf(flat);
    }();
    return w;
}

LineSpectralFrequencies interpolateLsf(const LineSpectralFrequencies& from,
                                       const LineSpectralFrequencies& to, double t) {
    LineSpectralFrequencies w{};
    for (int i = 0; i < kLpOrder; ++i) w[i] = (1.0 - t) * from[i] + t * to[i];
    return w;
}

}  // namespace zorvel
