// The file distances over 30 ms frames (coder/PublishedDistances.h) against a
// computation written here in long double straight from the formulas: the
// Hanning window, a direct DFT, the Gaussian band filters, a Levinson-Durbin
// of the test's own, the Toeplitz forms summed element by element, the frame
// clamps and the dropping of the worst 5 %. On the bundled speech and
// degraded versions of it, with checks that the clamps and the trimming
// change the figures there (so the agreement says something about them).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <numbers>
#include <optional>
#include <random>
#include <vector>

#include "coder/FrameDistances.h"
#include "coder/PublishedDistances.h"
#include "tests/TestSupport.h"

namespace zorvel {
namespace {

using Real = long double;
constexpr Real kPi = std::numbers::pi_v<long double>;
constexpr int kP = 10;      // LP order
constexpr int kL = 240;     // frame
constexpr int kHop = 60;    // 75 % overlap
constexpr int kN = 512;     // transform
constexpr int kBins = 257;  // 0 .. 4 kHz
constexpr int kBands = 25;

// How the reference treats its frames: the published rules, or one of them
// switched off to see that it matters.
struct Rules {
    bool frameClamp = true;  // fwSegSnr's [-10, 35] of a frame's value
    bool bandClamp = false;  // the same clamp of each band instead
    bool caps = true;        // cd <= 10, llr in [0, 2], is in [0, 100]
    bool trimming = true;    // llr and is: the worst 5 % dropped
};

struct Figures {
    std::optional<Real> fw, cd, llr, is;
};

struct Lp {
    std::vector<Real> r;  // r(0..10)
    std::vector<Real> a;  // 1, a1..a10
    Real E = 0;
};

// Levinson-Durbin written with the predictor alpha, A(z) = 1 - sum alpha_i z^-i.
std::optional<Lp> referenceLp(const std::vector<Real>& x) {
    Lp lp;
    lp.r.assign(kP + 1, 0);
    for (int k = 0; k <= kP; ++k)
        for (int n = 0; n + k < kL; ++n) lp.r[k] += x[n] * x[n + k];
    std::vector<Real> alpha(kP + 1, 0);
    Real E = lp.r[0];
    for (int i = 1; i <= kP; ++i) {
        Real acc = lp.r[i];
        for (int j = 1; j < i; ++j) acc -= alpha[j] * lp.r[i - j];
        const Real k = acc / E;
        std::vector<Real> next = alpha;
        next[i] = k;
        for (int j = 1; j < i; ++j) next[j] = alpha[j] - k * alpha[i - j];
        alpha = next;
        E *= 1 - k * k;
    }
    if (!(E > 0)) return std::nullopt;
    lp.a.assign(kP + 1, 0);
    lp.a[0] = 1;
    for (int i = 1; i <= kP; ++i) lp.a[i] = -alpha[i];
    lp.E = E;
    return lp;
}

// a R a^T, R the Toeplitz matrix of r, element by element.
Real form(const std::vector<Real>& a, const std::vector<Real>& r) {
    Real sum = 0;
    for (int i = 0; i <= kP; ++i)
        for (int j = 0; j <= kP; ++j) sum += a[i] * a[j] * r[std::abs(i - j)];
    return sum;
}

std::vector<Real> cepstrum(const std::vector<Real>& a) {
    std::vector<Real> c(kP + 1, 0);
    for (int n = 1; n <= kP; ++n) {
        Real sum = a[n];
        for (int k = 1; k < n; ++k) sum += Real(k) / n * c[k] * a[n - k];
        c[n] = -sum;
    }
    return c;
}

// The band values of |X(k)| (divided by its sum) of a windowed frame.
std::vector<Real> bandValues(const std::vector<Real>& x) {
    static const std::vector<Real> cosTable = [] {
        std::vector<Real> t(kN);
        for (int i = 0; i < kN; ++i) t[i] = std::cos(2 * kPi * i / kN);
        return t;
    }();
    std::vector<Real> magnitude(kBins);
    Real total = 0;
    for (int k = 0; k < kBins; ++k) {
        Real re = 0, im = 0;
        for (int n = 0; n < kL; ++n) {
            re += x[n] * cosTable[(k * n) & (kN - 1)];
            im -= x[n] * cosTable[(k * n + 3 * kN / 4) & (kN - 1)];  // sin = cos(. - pi/2)
        }
        magnitude[k] = std::sqrt(re * re + im * im);
        total += magnitude[k];
    }
    // F_j(k), zero below 10^-3.
    static const std::vector<std::vector<Real>> F = [] {
        std::vector<std::vector<Real>> f(kBands, std::vector<Real>(kBins, 0));
        for (int j = 0; j < kBands; ++j) {
            const CriticalBand& band = criticalBands()[j];
            for (int k = 0; k < kBins; ++k) {
                const Real d = (k * Real(15.625) - band.centre) / band.width;
                const Real g = std::exp(-11 * d * d);
                if (g >= Real(1e-3)) f[j][k] = g;
            }
        }
        return f;
    }();
    std::vector<Real> bands(kBands, 0);
    for (int j = 0; j < kBands; ++j)
        for (int k = 0; k < kBins; ++k) bands[j] += F[j][k] * magnitude[k] / total;
    return bands;
}

// What the figures need of one frame: the band values and LP models of both.
struct FrameAnalysis {
    std::vector<Real> X, Y;
    std::optional<Lp> ls, ly;
};

// The frames of both recordings that have a value, analysed.
std::vector<FrameAnalysis> analyse(const std::vector<double>& x, const std::vector<double>& y) {
    const std::size_t length = std::min(x.size(), y.size());
    std::vector<FrameAnalysis> frames;
    for (std::size_t start = 0; start + kL <= length; start += kHop) {
        std::vector<Real> s(kL), d(kL);
        bool sSilent = true, dSilent = true;
        for (int n = 0; n < kL; ++n) {
            const Real w = Real(0.5) - Real(0.5) * std::cos(2 * kPi * (n + 1) / (kL + 1));
            s[n] = w * x[start + n];
            d[n] = w * y[start + n];
            sSilent = sSilent && x[start + n] == 0;
            dSilent = dSilent && y[start + n] == 0;
        }
        if (sSilent || dSilent) continue;
        frames.push_back({bandValues(s), bandValues(d), referenceLp(s), referenceLp(d)});
    }
    return frames;
}

Real fwFrame(const FrameAnalysis& f, const Rules& rules) {
    Real num = 0, den = 0;
    for (int j = 0; j < kBands; ++j) {
        if (f.X[j] == 0) continue;
        const Real W = std::pow(f.X[j], Real(0.2));
        const Real e = f.X[j] - f.Y[j];
        Real snr = 10 * std::log10(f.X[j] * f.X[j] / (e * e));
        if (rules.bandClamp) snr = std::clamp<Real>(snr, -10, 35);
        num += W * snr;
        den += W;
    }
    const Real value = num / den;
    return rules.frameClamp ? std::clamp<Real>(value, -10, 35) : value;
}

std::optional<Real> meanOf(std::vector<Real> v, bool trim) {
    if (trim) {
        std::sort(v.begin(), v.end());
        v.resize(v.size() - v.size() / 20);
    }
    if (v.empty()) return std::nullopt;
    Real sum = 0;
    for (Real x : v) sum += x;
    return sum / v.size();
}

Figures figuresOf(const std::vector<FrameAnalysis>& frames, const Rules& rules = {}) {
    std::vector<Real> fw, cd, llr, is;
    const auto cap = [&](Real v, Real low, Real high) {
        return rules.caps ? std::clamp(v, low, high) : v;
    };
    for (const FrameAnalysis& f : frames) {
        fw.push_back(fwFrame(f, rules));
        if (!f.ls || !f.ly) continue;
        const std::vector<Real> cs = cepstrum(f.ls->a), cy = cepstrum(f.ly->a);
        Real sum = 0;
        for (int k = 1; k <= kP; ++k) sum += (cs[k] - cy[k]) * (cs[k] - cy[k]);
        const Real dB = 10 / std::log(Real(10));
        cd.push_back(cap(dB * std::sqrt(2 * sum), 0, 10));
        const Real ratio = form(f.ly->a, f.ls->r) / form(f.ls->a, f.ls->r);
        llr.push_back(cap(std::log(ratio), 0, 2));
        const Real gains = f.ls->E / f.ly->E;
        is.push_back(cap(gains * ratio - std::log(gains) - 1, 0, 100));
    }
    return {meanOf(fw, false), meanOf(cd, false), meanOf(llr, rules.trimming),
            meanOf(is, rules.trimming)};
}

Figures reference(const std::vector<double>& x, const std::vector<double>& y) {
    return figuresOf(analyse(x, y));
}

// ---- signals -------------------------------------------------------------------

std::vector<double> speech() {
    std::vector<double> x;
    for (std::int16_t s : test::sampleSamples()) x.push_back(s);
    return x;
}

// x through y(n) = (x(n) + x(n - 1)) / 2, white noise of `level` added
// (Gaussian, whole samples as a file would hold them), and the stretch
// [quietFrom, quietTo) turned down 40 dB.
std::vector<double> degraded(const std::vector<double>& x, double level, std::size_t quietFrom,
                             std::size_t quietTo, std::mt19937& rng) {
    std::normal_distribution<double> noise(0.0, level);
    std::vector<double> y(x.size());
    for (std::size_t n = 0; n < x.size(); ++n) {
        double v = 0.5 * (x[n] + (n > 0 ? x[n - 1] : 0.0)) + noise(rng);
        if (n >= quietFrom && n < quietTo) v *= 0.01;
        y[n] = std::round(v);
    }
    return y;
}

// A recording that gives every rule work: its first 1.5 s the input plus
// noise of one step (frames better than 35 dB), then 1 s of a 3 kHz tone
// instead of speech (frames worse than -10 dB, LP models far apart), then
// the rest as degraded() makes it with 1 s turned down 40 dB.
std::vector<double> harsh(const std::vector<double>& x, std::mt19937& rng) {
    std::vector<double> y = degraded(x, 60.0, 20000, 28000, rng);
    std::normal_distribution<double> noise(0.0, 1.0);
    for (std::size_t n = 0; n < 12000; ++n) y[n] = std::round(x[n] + noise(rng));
    for (std::size_t n = 12000; n < 20000; ++n)
        y[n] = std::round(3000.0 * std::sin(2.0 * std::numbers::pi * 3000.0 * n / 8000.0) +
                          noise(rng));
    return y;
}

void expectAgree(const PublishedDistances& actual, const Figures& expected) {
    const auto check = [](const std::optional<double>& a, const std::optional<Real>& e,
                          double tolerance, const char* name) {
        ASSERT_EQ(a.has_value(), e.has_value()) << name;
        if (a) {
            EXPECT_NEAR(*a, static_cast<double>(*e), tolerance) << name;
        }
    };
    check(actual.fwSegSnr, expected.fw, 1e-9, "fwSegSnr");
    check(actual.cepstralDistance, expected.cd, 1e-9, "cepstralDistance");
    check(actual.llr, expected.llr, 1e-10, "llr");
    check(actual.itakuraSaito, expected.is, 1e-8, "itakuraSaito");
}

// ---- tests ------------------------------------------------------------------------

TEST(PublishedDistances, FramesAreThirtyMillisecondsEveryFifteenHalves) {
    EXPECT_EQ(publishedFrameCount(0), 0u);
    EXPECT_EQ(publishedFrameCount(239), 0u);
    EXPECT_EQ(publishedFrameCount(240), 1u);
    EXPECT_EQ(publishedFrameCount(299), 1u);
    EXPECT_EQ(publishedFrameCount(300), 2u);
    EXPECT_EQ(publishedFrameCount(45296), (45296u - 240u) / 60u + 1u);
}

TEST(PublishedDistances, MatchTheReferenceOnDegradedSpeech) {
    // Under the sanitizers the first 3 s, the stretch turned down included.
    std::vector<double> x = speech();
    if (test::kSanitizedBuild) x.resize(24000);
    std::mt19937 rng(test::testSeed());
    for (const double level : {3.0, 60.0}) {
        SCOPED_TRACE(level);
        const std::vector<double> y = degraded(x, level, 20000, 24000, rng);
        expectAgree(publishedDistances(x, y), reference(x, y));
    }
    // Cut to the shorter: the degraded recording longer by a second of noise.
    std::vector<double> longer = degraded(x, 20.0, 0, 0, rng);
    const std::vector<double> tail = degraded(std::vector<double>(8000, 0.0), 20.0, 0, 0, rng);
    longer.insert(longer.end(), tail.begin(), tail.end());
    expectAgree(publishedDistances(x, longer), reference(x, longer));
}

// On this speech the frame clamps, the caps and the trimming all change the
// figures, and the clamp of each frame's weighted value differs from a clamp
// of each band: the agreement above covers them.
TEST(PublishedDistances, ClampsAndTrimmingBiteOnSpeech) {
    const std::vector<double> x = speech();
    std::mt19937 rng(test::testSeed());
    const std::vector<double> y = harsh(x, rng);
    const std::vector<FrameAnalysis> frames = analyse(x, y);
    const PublishedDistances actual = publishedDistances(x, y);
    expectAgree(actual, figuresOf(frames));
    const Figures unclamped = figuresOf(frames, {.frameClamp = false});
    const Figures perBand = figuresOf(frames, {.frameClamp = false, .bandClamp = true});
    const Figures uncapped = figuresOf(frames, {.caps = false});
    const Figures untrimmed = figuresOf(frames, {.trimming = false});
    ASSERT_TRUE(actual.fwSegSnr && actual.cepstralDistance && actual.llr && actual.itakuraSaito);
    const auto apart = [](std::optional<double> a, std::optional<Real> b) {
        return std::abs(*a - static_cast<double>(*b));
    };
    EXPECT_GT(apart(actual.fwSegSnr, unclamped.fw), 0.1);
    EXPECT_GT(apart(actual.fwSegSnr, perBand.fw), 0.02);
    EXPECT_GT(apart(actual.cepstralDistance, uncapped.cd), 0.01);
    EXPECT_GT(apart(actual.llr, uncapped.llr), 0.01);
    EXPECT_GT(apart(actual.itakuraSaito, uncapped.is), 1.0);
    EXPECT_GT(apart(actual.llr, untrimmed.llr), 0.01);
    EXPECT_GT(apart(actual.itakuraSaito, untrimmed.is), 1.0);
    std::cout << "fwSegSnr " << *actual.fwSegSnr << " (no frame clamp " << unclamped.fw.value()
              << ", band clamps " << perBand.fw.value() << "), CD " << *actual.cepstralDistance
              << " (uncapped " << uncapped.cd.value() << "), LLR " << *actual.llr << " (uncapped "
              << uncapped.llr.value() << ", untrimmed " << untrimmed.llr.value() << "), IS "
              << *actual.itakuraSaito << " (uncapped " << uncapped.is.value() << ", untrimmed "
              << untrimmed.is.value() << ")\n";
}

TEST(PublishedDistances, IdenticalRecordingsAndSilence) {
    const std::vector<double> x = speech();
    const PublishedDistances same = publishedDistances(x, x);
    EXPECT_EQ(same.fwSegSnr, kFrameSnrMax);
    EXPECT_EQ(same.cepstralDistance, 0.0);
    EXPECT_EQ(same.llr, 0.0);
    EXPECT_EQ(same.itakuraSaito, 0.0);
    // Silence has no frame with a value, nor has a recording shorter than a frame.
    const std::vector<double> silence(x.size(), 0.0);
    for (const PublishedDistances& none :
         {publishedDistances(silence, x), publishedDistances(x, silence),
          publishedDistances(std::span(x).first(239), std::span(x).first(239))}) {
        EXPECT_FALSE(none.fwSegSnr || none.cepstralDistance || none.llr || none.itakuraSaito);
    }
    // A silent stretch of the reference drops its frames, the rest are measured.
    std::vector<double> gap = x;
    std::fill(gap.begin() + 10000, gap.begin() + 20000, 0.0);
    std::mt19937 rng(test::testSeed());
    const std::vector<double> y = degraded(gap, 10.0, 0, 0, rng);
    expectAgree(publishedDistances(gap, y), reference(gap, y));
}

}  // namespace
}  // namespace zorvel
