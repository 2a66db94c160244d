// The spectral distances against references computed here in long double
// straight from their formulas (a Levinson-Durbin of the test's own, a direct
// DFT instead of the FFT, the cepstrum from the log spectrum, the band sums),
// and their invariants: identical frames, scaled copies, symmetry, clamps and
// frames without a value.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "coder/FrameDistances.h"
#include "coder/SpeechCoder.h"
#include "tests/TestSupport.h"

namespace zorvel {
namespace {

using Real = long double;
constexpr Real kPi = std::numbers::pi_v<long double>;
constexpr int kP = 10;  // LP order

// ---- references ------------------------------------------------------------

struct ReferenceLp {
    std::vector<Real> r;  // r(0..10)
    std::vector<Real> a;  // A(z) = 1 + sum a_i z^-i, a[0] = 1
    Real E = 0;
};

// Hamming window, autocorrelation, and Levinson-Durbin written with the
// predictor alpha (A(z) = 1 - sum alpha_i z^-i).
ReferenceLp referenceLp(const Signal& x) {
    std::vector<Real> w(kFrameSamples);
    for (int n = 0; n < kFrameSamples; ++n)
        w[n] = (0.54L - 0.46L * std::cos(2 * kPi * n / 159)) * x[n];
    ReferenceLp lp;
    lp.r.assign(kP + 1, 0);
    for (int k = 0; k <= kP; ++k)
        for (int n = 0; n + k < kFrameSamples; ++n) lp.r[k] += w[n] * w[n + k];
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
    lp.a.assign(kP + 1, 0);
    lp.a[0] = 1;
    for (int i = 1; i <= kP; ++i) lp.a[i] = -alpha[i];
    lp.E = E;
    return lp;
}

Real magnitudeSquared(const std::vector<Real>& a, Real omega) {
    Real re = 0, im = 0;
    for (int i = 0; i <= kP; ++i) {
        re += a[i] * std::cos(omega * i);
        im -= a[i] * std::sin(omega * i);
    }
    return re * re + im * im;
}

Real referenceLsdLp(const Signal& s, const Signal& out) {
    const ReferenceLp ls = referenceLp(s), lo = referenceLp(out);
    Real sum = 0;
    for (int k = 0; k <= 256; ++k) {
        const Real omega = kPi * k / 256;
        const Real ps = 10 * std::log10(ls.E / magnitudeSquared(ls.a, omega));
        const Real po = 10 * std::log10(lo.E / magnitudeSquared(lo.a, omega));
        sum += (ps - po) * (ps - po);
    }
    return std::sqrt(sum / 257);
}

// c(n) of 1 / A(z) for a minimum-phase A: twice the real cepstrum, the
// cosine transform of -ln |A| sampled at 4096 points.
std::vector<Real> referenceCepstrum(const std::vector<Real>& a) {
    constexpr int N = 4096;
    std::vector<Real> logMagnitude(N);
    for (int m = 0; m < N; ++m)
        logMagnitude[m] = -0.5L * std::log(magnitudeSquared(a, 2 * kPi * m / N));
    std::vector<Real> c(17, 0);
    for (int n = 1; n <= 16; ++n) {
        Real sum = 0;
        for (int m = 0; m < N; ++m) sum += logMagnitude[m] * std::cos(2 * kPi * m * n / N);
        c[n] = 2 * sum / N;
    }
    return c;
}

Real referenceCepstralDistance(const Signal& s, const Signal& out) {
    const auto cs = referenceCepstrum(referenceLp(s).a);
    const auto co = referenceCepstrum(referenceLp(out).a);
    Real sum = 0;
    for (int k = 1; k <= 16; ++k) sum += (cs[k] - co[k]) * (cs[k] - co[k]);
    return 10 / std::log(10.0L) * std::sqrt(2 * sum);
}

// |X(k)|^2, k = 0..128, of the Hann-windowed frame zero-padded to 256, by the DFT.
std::vector<Real> referencePower(const Signal& x) {
    std::vector<Real> power(129);
    for (int k = 0; k <= 128; ++k) {
        Real re = 0, im = 0;
        for (int n = 0; n < kFrameSamples; ++n) {
            const Real v = (0.5L - 0.5L * std::cos(2 * kPi * n / 159)) * x[n];
            re += v * std::cos(2 * kPi * k * n / 256);
            im -= v * std::sin(2 * kPi * k * n / 256);
        }
        power[k] = re * re + im * im;
    }
    return power;
}

Real referenceLsdFft(const Signal& s, const Signal& out) {
    const auto ps = referencePower(s), po = referencePower(out);
    Real sum = 0;
    for (int k = 0; k <= 128; ++k) {
        const Real d = 10 * std::log10(ps[k]) - 10 * std::log10(po[k]);
        sum += d * d;
    }
    return std::sqrt(sum / 129);
}

Real toeplitzForm(const std::vector<Real>& a, const std::vector<Real>& r) {
    Real sum = 0;
    for (int i = 0; i <= kP; ++i)
        for (int j = 0; j <= kP; ++j) sum += a[i] * r[std::abs(i - j)] * a[j];
    return sum;
}

Real unclampedLlr(const Signal& s, const Signal& out) {
    const ReferenceLp ls = referenceLp(s), lo = referenceLp(out);
    return std::log(toeplitzForm(lo.a, ls.r) / toeplitzForm(ls.a, ls.r));
}

Real unclampedItakuraSaito(const Signal& s, const Signal& out) {
    const ReferenceLp ls = referenceLp(s), lo = referenceLp(out);
    const Real ratio = ls.E / lo.E;
    return ratio * toeplitzForm(lo.a, ls.r) / toeplitzForm(ls.a, ls.r) - std::log(ratio) - 1;
}

// The same two as integrals over the model spectra P = E / |A|^2 (rectangle
// rule, exact to rounding for these smooth periodic integrands):
//   IS  = mean of P_s / P_out - ln(P_s / P_out) - 1
//   LLR = ln mean of |A_out|^2 / |A_s|^2
Real spectralItakuraSaito(const Signal& s, const Signal& out) {
    const ReferenceLp ls = referenceLp(s), lo = referenceLp(out);
    constexpr int N = 8192;
    Real sum = 0;
    for (int m = 0; m < N; ++m) {
        const Real omega = 2 * kPi * m / N;
        const Real q =
            (ls.E / magnitudeSquared(ls.a, omega)) / (lo.E / magnitudeSquared(lo.a, omega));
        sum += q - std::log(q) - 1;
    }
    return sum / N;
}

Real spectralLlr(const Signal& s, const Signal& out) {
    const ReferenceLp ls = referenceLp(s), lo = referenceLp(out);
    constexpr int N = 8192;
    Real sum = 0;
    for (int m = 0; m < N; ++m) {
        const Real omega = 2 * kPi * m / N;
        sum += magnitudeSquared(lo.a, omega) / magnitudeSquared(ls.a, omega);
    }
    return std::log(sum / N);
}

// Band magnitudes of a frame: |X(k)| summing to 1, weighted by the Gaussian
// exp(-11 ((31.25 k - centre) / width)^2) where it is at least 10^-3.
std::vector<Real> referenceBands(const Signal& x) {
    const auto power = referencePower(x);
    std::vector<Real> magnitude(129);
    Real total = 0;
    for (int k = 0; k <= 128; ++k) total += magnitude[k] = std::sqrt(power[k]);
    std::vector<Real> bands;
    for (const CriticalBand& band : criticalBands()) {
        Real sum = 0;
        for (int k = 0; k <= 128; ++k) {
            const Real z = (31.25L * k - band.centre) / band.width;
            const Real g = std::exp(-11 * z * z);
            if (g >= 0.001L) sum += g * magnitude[k] / total;
        }
        bands.push_back(sum);
    }
    return bands;
}

Real referenceFwSegSnr(const Signal& s, const Signal& out, bool clamp = true) {
    const auto X = referenceBands(s), Y = referenceBands(out);
    Real weighted = 0, weights = 0;
    for (std::size_t j = 0; j < X.size(); ++j) {
        Real snr = 10 * std::log10(X[j] * X[j] / ((X[j] - Y[j]) * (X[j] - Y[j])));
        if (clamp) snr = std::clamp<Real>(snr, -10, 35);
        const Real W = std::pow(X[j], 0.2L);
        weighted += W * snr;
        weights += W;
    }
    return weighted / weights;
}

// ---- frames ----------------------------------------------------------------

// An AR(2) resonance at `hz` driven by seeded white noise, plus a tone.
Signal resonance(std::mt19937& rng, double hz, double radius, double amplitude) {
    std::normal_distribution<double> noise(0.0, amplitude);
    const double a1 = 2.0 * radius * std::cos(2.0 * std::numbers::pi * hz / 8000.0);
    const double a2 = -radius * radius;
    Signal x{};
    double y1 = 0.0, y2 = 0.0;
    for (int n = 0; n < kFrameSamples; ++n) {
        const double y = noise(rng) + a1 * y1 + a2 * y2;
        x[n] = y + 0.3 * amplitude * std::sin(0.05 * n);
        y2 = y1;
        y1 = y;
    }
    return x;
}

// Pairs (s, out) of distinct kinds: coded speech of the bundled sample in
// two modes, and seeded random resonances with noisy or shifted copies.
struct FramePair {
    Signal s, out;
};

std::vector<FramePair> codedPairs(CoderMode mode, int first, int count) {
    SpeechCoder coder(test::samplePath(), mode);
    std::vector<FramePair> pairs;
    while (coder.nextFrame() == FrameStep::coded && coder.frameCount() < first + count) {
        if (coder.frameCount() < first) continue;
        pairs.push_back({coder.currentFrame().speech, coder.currentFrame().synthesizedSpeech});
    }
    return pairs;
}

std::vector<FramePair> testPairs() {
    std::vector<FramePair> pairs = codedPairs(CoderMode::rate12_2, 60, 6);
    for (const FramePair& p : codedPairs(CoderMode::rate4_75, 120, 6)) pairs.push_back(p);
    std::mt19937 rng(test::testSeed());
    std::normal_distribution<double> noise(0.0, 1.0);
    for (int i = 0; i < 6; ++i) {
        FramePair p;
        p.s = resonance(rng, 300.0 + 400.0 * i, 0.95, 500.0);
        for (int n = 0; n < kFrameSamples; ++n) p.out[n] = p.s[n] + 40.0 * noise(rng);
        pairs.push_back(p);
        pairs.push_back({p.s, resonance(rng, 3300.0 - 400.0 * i, 0.9, 300.0)});
    }
    return pairs;
}

MeasureFrame frame(const Signal& x) { return MeasureFrame(x.data(), kFrameSamples); }

// ---- against the references ------------------------------------------------

TEST(SpectralMeasures, LsdLpMatchesTheEnvelopeFormula) {
    for (const FramePair& p : testPairs()) {
        const Real expected = referenceLsdLp(p.s, p.out);
        const std::optional<double> value = lsdLp(frame(p.s), frame(p.out));
        ASSERT_TRUE(value);
        EXPECT_NEAR(*value, static_cast<double>(expected), 1e-7 * (1 + expected));
    }
}

TEST(SpectralMeasures, CepstralDistanceMatchesTheLogSpectrumCepstrum) {
    for (const FramePair& p : testPairs()) {
        const Real expected = referenceCepstralDistance(p.s, p.out);
        const std::optional<double> value = cepstralDistance(frame(p.s), frame(p.out));
        ASSERT_TRUE(value);
        EXPECT_NEAR(*value, static_cast<double>(expected), 1e-6 * (1 + expected));
    }
}

TEST(SpectralMeasures, LsdFftMatchesTheDirectDft) {
    for (const FramePair& p : testPairs()) {
        const Real expected = referenceLsdFft(p.s, p.out);
        const std::optional<double> value = lsdFft(frame(p.s), frame(p.out));
        ASSERT_TRUE(value);
        EXPECT_NEAR(*value, static_cast<double>(expected), 1e-8 * (1 + expected));
    }
}

TEST(SpectralMeasures, LlrMatchesTheQuadraticFormAndTheSpectralIntegral) {
    for (const FramePair& p : testPairs()) {
        const Real form = unclampedLlr(p.s, p.out);
        EXPECT_NEAR(static_cast<double>(form), static_cast<double>(spectralLlr(p.s, p.out)),
                    1e-6 * (1 + form));
        const std::optional<double> value = llr(frame(p.s), frame(p.out));
        ASSERT_TRUE(value);
        EXPECT_NEAR(*value, std::clamp(static_cast<double>(form), 0.0, 2.0), 1e-7 * (1 + form));
    }
}

TEST(SpectralMeasures, ItakuraSaitoMatchesTheQuadraticFormAndTheSpectralIntegral) {
    for (const FramePair& p : testPairs()) {
        const Real form = unclampedItakuraSaito(p.s, p.out);
        EXPECT_NEAR(static_cast<double>(form),
                    static_cast<double>(spectralItakuraSaito(p.s, p.out)), 1e-6 * (1 + form));
        const std::optional<double> value = itakuraSaito(frame(p.s), frame(p.out));
        ASSERT_TRUE(value);
        EXPECT_NEAR(*value, std::clamp(static_cast<double>(form), 0.0, 100.0), 1e-7 * (1 + form));
    }
}

TEST(SpectralMeasures, FwSegSnrMatchesTheBandSums) {
    for (const FramePair& p : testPairs()) {
        const Real expected = referenceFwSegSnr(p.s, p.out);
        const std::optional<double> value = fwSegSnr(frame(p.s), frame(p.out));
        ASSERT_TRUE(value);
        EXPECT_NEAR(*value, static_cast<double>(expected), 1e-8 * (1 + std::abs(expected)));
    }
}

TEST(SpectralMeasures, AllAtOnceGiveTheSingleValues) {
    for (const FramePair& p : testPairs()) {
        const FrameMeasures all = measureFrame(frame(p.s), frame(p.out));
        EXPECT_EQ(valueOf(all, SpectralMeasure::lsdLp), lsdLp(frame(p.s), frame(p.out)));
        EXPECT_EQ(valueOf(all, SpectralMeasure::cepstralDistance),
                  cepstralDistance(frame(p.s), frame(p.out)));
        EXPECT_EQ(valueOf(all, SpectralMeasure::lsdFft), lsdFft(frame(p.s), frame(p.out)));
        EXPECT_EQ(valueOf(all, SpectralMeasure::llr), llr(frame(p.s), frame(p.out)));
        EXPECT_EQ(valueOf(all, SpectralMeasure::itakuraSaito),
                  itakuraSaito(frame(p.s), frame(p.out)));
        EXPECT_EQ(valueOf(all, SpectralMeasure::fwSegSnr), fwSegSnr(frame(p.s), frame(p.out)));
    }
}

// ---- invariants ------------------------------------------------------------

TEST(SpectralMeasures, IdenticalFramesGiveEachMeasuresZero) {
    for (const FramePair& p : testPairs()) {
        const FrameMeasures same = measureFrame(frame(p.s), frame(p.s));
        EXPECT_EQ(valueOf(same, SpectralMeasure::lsdLp), 0.0);
        EXPECT_EQ(valueOf(same, SpectralMeasure::cepstralDistance), 0.0);
        EXPECT_EQ(valueOf(same, SpectralMeasure::lsdFft), 0.0);
        EXPECT_NEAR(*valueOf(same, SpectralMeasure::llr), 0.0, 1e-12);
        EXPECT_NEAR(*valueOf(same, SpectralMeasure::itakuraSaito), 0.0, 1e-12);
        EXPECT_NEAR(*valueOf(same, SpectralMeasure::fwSegSnr), kBandSnrMax,
                    1e-12);  // every band equal
    }
}

TEST(SpectralMeasures, ScaledCopies) {
    for (const double g : {0.5, 2.0, 10.0, 0.01, 3.7}) {
        for (const FramePair& p : testPairs()) {
            Signal scaled;
            for (int n = 0; n < kFrameSamples; ++n) scaled[n] = g * p.s[n];
            const double level = std::abs(20.0 * std::log10(g));
            const FrameMeasures m = measureFrame(frame(p.s), frame(scaled));
            SCOPED_TRACE(g);
            // The envelope and the spectrum move by 20 log10 g at every point.
            EXPECT_NEAR(*valueOf(m, SpectralMeasure::lsdLp), level, 1e-9);
            EXPECT_NEAR(*valueOf(m, SpectralMeasure::lsdFft), level, 1e-9);
            // The shape measures do not see the gain.
            EXPECT_NEAR(*valueOf(m, SpectralMeasure::cepstralDistance), 0.0, 1e-9);
            EXPECT_NEAR(*valueOf(m, SpectralMeasure::llr), 0.0, 1e-9);
            EXPECT_NEAR(*valueOf(m, SpectralMeasure::fwSegSnr), kBandSnrMax, 1e-12);
            // IS of the gain alone: 1/g^2 + ln g^2 - 1.
            const double is = 1.0 / (g * g) + std::log(g * g) - 1.0;
            EXPECT_NEAR(*valueOf(m, SpectralMeasure::itakuraSaito), std::min(is, 100.0),
                        1e-9 * (1.0 + is));
        }
    }
}

TEST(SpectralMeasures, DistancesAreSymmetric) {
    for (const FramePair& p : testPairs()) {
        EXPECT_NEAR(*lsdLp(frame(p.s), frame(p.out)), *lsdLp(frame(p.out), frame(p.s)), 1e-12);
        EXPECT_NEAR(*cepstralDistance(frame(p.s), frame(p.out)),
                    *cepstralDistance(frame(p.out), frame(p.s)), 1e-12);
        // The order of s and out in the shared transform moves the last digits.
        const double fft = *lsdFft(frame(p.s), frame(p.out));
        EXPECT_NEAR(fft, *lsdFft(frame(p.out), frame(p.s)), 1e-12 * fft);
    }
}

TEST(SpectralMeasures, ClampsHold) {
    std::mt19937 rng(test::testSeed());
    bool llrClamped = false, isClamped = false, bandClamped = false;
    for (int i = 0; i < 20; ++i) {
        // A low resonance against a quiet high one: far apart in every sense.
        const Signal s = resonance(rng, 250.0 + 20.0 * i, 0.98, 1000.0);
        const Signal out = resonance(rng, 3500.0 - 20.0 * i, 0.98, 10.0);
        const double llrValue = *llr(frame(s), frame(out));
        const double isValue = *itakuraSaito(frame(s), frame(out));
        const double fw = *fwSegSnr(frame(s), frame(out));
        EXPECT_GE(llrValue, 0.0);
        EXPECT_LE(llrValue, kLlrMax);
        EXPECT_GE(isValue, 0.0);
        EXPECT_LE(isValue, kItakuraSaitoMax);
        EXPECT_GE(fw, kBandSnrMin);
        EXPECT_LE(fw, kBandSnrMax);
        if (unclampedLlr(s, out) > kLlrMax) {
            llrClamped = true;
            EXPECT_EQ(llrValue, kLlrMax);
        }
        if (unclampedItakuraSaito(s, out) > kItakuraSaitoMax) {
            isClamped = true;
            EXPECT_EQ(isValue, kItakuraSaitoMax);
        }
        // Some bands below -10 dB: the clamped mean lies above the raw one.
        const Real raw = referenceFwSegSnr(s, out, false);
        if (raw < fw - 1e-6) bandClamped = true;
    }
    EXPECT_TRUE(llrClamped);  // the frames reached the limits they test
    EXPECT_TRUE(isClamped);
    EXPECT_TRUE(bandClamped);
}

TEST(SpectralMeasures, SilentFramesHaveNoValue) {
    const Signal zeros{};
    std::mt19937 rng(test::testSeed());
    const Signal s = resonance(rng, 500.0, 0.9, 100.0);
    for (const FrameMeasures& m :
         {measureFrame(frame(zeros), frame(s)), measureFrame(frame(s), frame(zeros)),
          measureFrame(frame(zeros), frame(zeros))}) {
        for (SpectralMeasure measure : kAllSpectralMeasures)
            EXPECT_FALSE(valueOf(m, measure)) << infoOf(measure).key;
    }
    EXPECT_FALSE(lsdLp(frame(zeros), frame(s)));
    EXPECT_FALSE(cepstralDistance(frame(s), frame(zeros)));
    EXPECT_FALSE(lsdFft(frame(zeros), frame(s)));
    EXPECT_FALSE(llr(frame(s), frame(zeros)));
    EXPECT_FALSE(itakuraSaito(frame(zeros), frame(s)));
    EXPECT_FALSE(fwSegSnr(frame(s), frame(zeros)));
    // Samples only where the Hann window is zero: silent to the spectra, not
    // to the Hamming-windowed LP model.
    Signal ends{};
    ends[0] = 100.0;
    ends[kFrameSamples - 1] = -50.0;
    EXPECT_FALSE(lsdFft(frame(ends), frame(s)));
    EXPECT_FALSE(fwSegSnr(frame(s), frame(ends)));
    EXPECT_TRUE(lsdLp(frame(ends), frame(s)));
}

// Frames so faint that 10^-10 of their spectrum's peak underflows to zero,
// or whose power spectrum is subnormal: each measure either has a value that
// is a finite number or none at all, never NaN or an infinity.
TEST(SpectralMeasures, FaintFramesGiveFiniteValuesOrNone) {
    std::mt19937 rng(test::testSeed());
    const Signal s = resonance(rng, 500.0, 0.9, 100.0);
    const Signal t = resonance(rng, 1200.0, 0.8, 100.0);
    for (const double scale : {1e-140, 1e-155, 1e-160, 1e-170, 1e-200, 1e-300, 1e-320}) {
        Signal faint{};
        for (int n = 0; n < kFrameSamples; ++n) faint[n] = scale * t[n];
        using Pair = std::pair<const Signal*, const Signal*>;
        for (const Pair& p : {Pair{&faint, &s}, Pair{&s, &faint}, Pair{&faint, &faint}}) {
            const FrameMeasures m = measureFrame(frame(*p.first), frame(*p.second));
            for (SpectralMeasure measure : kAllSpectralMeasures) {
                const std::optional<double> value = valueOf(m, measure);
                if (value) {
                    EXPECT_TRUE(std::isfinite(*value))
                        << infoOf(measure).key << " at scale " << scale << ": " << *value;
                }
            }
        }
    }
    // Power spectra whose peaks lie below 5e-314: their floors underflow to
    // zero, so the log-spectral distance has no value. (Beside a loud frame a
    // faint one is not subnormal: both come out of one transform.)
    Signal faintT{}, faintS{};
    for (int n = 0; n < kFrameSamples; ++n) {
        faintT[n] = 1e-165 * t[n];
        faintS[n] = 1e-165 * s[n];
    }
    EXPECT_FALSE(lsdFft(frame(faintT), frame(faintS)));
    EXPECT_FALSE(lsdFft(frame(faintS), frame(faintT)));
    EXPECT_FALSE(valueOf(measureFrame(frame(faintT), frame(faintS)), SpectralMeasure::lsdFft));
}

TEST(MeasureMeans, AverageOnlyTheFramesWithAValue) {
    MeasureMeans means;
    for (SpectralMeasure measure : kAllSpectralMeasures) EXPECT_FALSE(means.mean(measure));
    FrameMeasures a{}, b{}, none{};
    a[static_cast<std::size_t>(SpectralMeasure::lsdLp)] = 2.0;
    a[static_cast<std::size_t>(SpectralMeasure::llr)] = 0.5;
    b[static_cast<std::size_t>(SpectralMeasure::lsdLp)] = 5.0;
    means.add(a);
    means.add(none);
    means.add(b);
    means.add(none);
    EXPECT_EQ(means.mean(SpectralMeasure::lsdLp), 3.5);
    EXPECT_EQ(means.count(SpectralMeasure::lsdLp), 2);
    EXPECT_EQ(means.mean(SpectralMeasure::llr), 0.5);
    EXPECT_FALSE(means.mean(SpectralMeasure::fwSegSnr));
    EXPECT_EQ(means.means()[static_cast<std::size_t>(SpectralMeasure::lsdLp)], 3.5);
}

TEST(MeasureMeans, SilentFramesOfARunStayOut) {
    // Ten coded frames of the sample, then silence on both sides.
    const std::vector<FramePair> coded = codedPairs(CoderMode::rate7_95, 40, 10);
    MeasureMeans withSilence, without;
    double sum = 0.0;
    for (const FramePair& p : coded) {
        const FrameMeasures m = measureFrame(frame(p.s), frame(p.out));
        withSilence.add(m);
        without.add(m);
        sum += *valueOf(m, SpectralMeasure::lsdLp);
    }
    const Signal zeros{};
    for (int i = 0; i < 5; ++i) withSilence.add(measureFrame(frame(zeros), frame(zeros)));
    EXPECT_EQ(withSilence.means(), without.means());
    EXPECT_NEAR(*withSilence.mean(SpectralMeasure::lsdLp), sum / coded.size(), 1e-12);
}

TEST(CriticalBands, TwentyFiveBandsBelowFourKilohertz) {
    const auto& bands = criticalBands();
    EXPECT_EQ(bands.front().centre, 50.0);
    for (std::size_t j = 1; j < bands.size(); ++j) {
        EXPECT_GT(bands[j].centre, bands[j - 1].centre);
        EXPECT_GE(bands[j].width, bands[j - 1].width);
    }
    EXPECT_LT(bands.back().centre + bands.back().width / 2, 4000.0);
}

}  // namespace
}  // namespace zorvel
