// STOI and ESTOI against a reference written here in long double straight
// from the papers (a direct DFT instead of the FFT, the silent frames found
// by their level in dB, each segment normalised as matrices), the band table
// against its edges, and the scores' order on speech made identical,
// scaled, noisy, band-limited and delayed. The alignment of two recordings
// and their comparison frame by frame.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "coder/CompareRecordings.h"
#include "coder/Intelligibility.h"
#include "coder/QualityMeasures.h"
#include "tests/TestSupport.h"

namespace zorvel {
namespace {

using Real = long double;
constexpr Real kPi = std::numbers::pi_v<long double>;

// ---- reference ---------------------------------------------------------------

struct Reference {
    bool valid = false;
    Real stoi = 0;
    Real estoi = 0;
};

using Matrix = std::vector<std::vector<Real>>;  // [band][frame]

// The one-third-octave envelopes of a signal at 10 kHz, by a direct DFT.
Matrix referenceEnvelopes(const std::vector<Real>& x, const std::vector<Real>& w) {
    constexpr int L = 256, K = 512, hop = 128, J = 15;
    std::vector<Real> c(K), s(K);
    for (int i = 0; i < K; ++i) {
        c[i] = std::cos(2 * kPi * i / K);
        s[i] = std::sin(2 * kPi * i / K);
    }
    std::vector<int> low(J), high(J);
    for (int j = 0; j < J; ++j) {
        // The bins nearest to the edges 150 * 2^((2j -+ 1)/6) Hz, 10000/512 Hz apart.
        low[j] =
            static_cast<int>(std::lround(150.0L * std::pow(2.0L, (2 * j - 1) / 6.0L) / 19.53125L));
        high[j] =
            static_cast<int>(std::lround(150.0L * std::pow(2.0L, (2 * j + 1) / 6.0L) / 19.53125L));
    }
    Matrix E(J);
    for (std::size_t start = 0; start + L < x.size(); start += hop) {
        std::vector<Real> power(K / 2 + 1);
        for (int k = 0; k <= K / 2; ++k) {
            Real re = 0, im = 0;
            for (int n = 0; n < L; ++n) {
                const Real v = w[n] * x[start + n];
                re += v * c[(k * n) % K];
                im -= v * s[(k * n) % K];
            }
            power[k] = re * re + im * im;
        }
        for (int j = 0; j < J; ++j) {
            Real sum = 0;
            for (int k = low[j]; k < high[j]; ++k) sum += power[k];
            E[j].push_back(std::sqrt(sum));
        }
    }
    return E;
}

// x and y at 10 kHz, of equal length.
Reference referenceIntelligibility(const std::vector<double>& xd, const std::vector<double>& yd) {
    constexpr int L = 256, hop = 128, J = 15, N = 30;
    std::vector<Real> x(xd.begin(), xd.end()), y(yd.begin(), yd.end());
    std::vector<Real> w(L);
    for (int n = 0; n < L; ++n) w[n] = 0.5L - 0.5L * std::cos(2 * kPi * (n + 1) / (L + 1));
    // Frame levels in dB; a frame 40 dB or more below the loudest is dropped.
    std::vector<Real> level;
    for (std::size_t start = 0; start + L < x.size(); start += hop) {
        Real e = 0;
        for (int n = 0; n < L; ++n) e += (w[n] * x[start + n]) * (w[n] * x[start + n]);
        level.push_back(10 * std::log10(e));
    }
    const Real loudest = *std::max_element(level.begin(), level.end());
    std::vector<Real> xs, ys;
    std::size_t kept = 0;
    for (std::size_t m = 0; m < level.size(); ++m) {
        if (!(level[m] > loudest - 40)) continue;
        xs.resize(kept * hop + L, 0);
        ys.resize(kept * hop + L, 0);
        for (int n = 0; n < L; ++n) {
            xs[kept * hop + n] += w[n] * x[m * hop + n];
            ys[kept * hop + n] += w[n] * y[m * hop + n];
        }
        ++kept;
    }
    const Matrix X = referenceEnvelopes(xs, w);
    const Matrix Y = referenceEnvelopes(ys, w);
    const std::size_t frames = X[0].size();
    Reference r;
    if (frames < static_cast<std::size_t>(N)) return r;
    r.valid = true;
    const Real clip = 1 + std::pow(10.0L, 15.0L / 20);
    Real stoi = 0, estoi = 0;
    const std::size_t segments = frames - N + 1;
    for (std::size_t m = 0; m < segments; ++m) {
        Matrix xr(J, std::vector<Real>(N)), yr(J, std::vector<Real>(N));
        for (int j = 0; j < J; ++j) {
            std::vector<Real> a(X[j].begin() + m, X[j].begin() + m + N);
            std::vector<Real> b(Y[j].begin() + m, Y[j].begin() + m + N);
            // STOI: scale, clip, correlate.
            Real na = 0, nb = 0;
            for (int n = 0; n < N; ++n) {
                na += a[n] * a[n];
                nb += b[n] * b[n];
            }
            std::vector<Real> yp(N);
            for (int n = 0; n < N; ++n)
                yp[n] = std::min(b[n] * std::sqrt(na) / std::sqrt(nb), clip * a[n]);
            Real ma = 0, mp = 0;
            for (int n = 0; n < N; ++n) {
                ma += a[n] / N;
                mp += yp[n] / N;
            }
            Real ab = 0, aa = 0, bb = 0;
            for (int n = 0; n < N; ++n) {
                ab += (a[n] - ma) * (yp[n] - mp);
                aa += (a[n] - ma) * (a[n] - ma);
                bb += (yp[n] - mp) * (yp[n] - mp);
            }
            stoi += ab / std::sqrt(aa * bb);
            // ESTOI: rows zero-mean and unit-norm.
            for (auto [v, out] : {std::pair{&a, &xr[j]}, std::pair{&b, &yr[j]}}) {
                Real mean = 0, norm = 0;
                for (int n = 0; n < N; ++n) mean += (*v)[n] / N;
                for (int n = 0; n < N; ++n) norm += ((*v)[n] - mean) * ((*v)[n] - mean);
                for (int n = 0; n < N; ++n) (*out)[n] = ((*v)[n] - mean) / std::sqrt(norm);
            }
        }
        // Then columns zero-mean and unit-norm; the mean of their inner products.
        Real sum = 0;
        for (int n = 0; n < N; ++n) {
            std::vector<Real> cx(J), cy(J);
            Real mx = 0, my = 0;
            for (int j = 0; j < J; ++j) {
                mx += xr[j][n] / J;
                my += yr[j][n] / J;
            }
            Real nx = 0, ny = 0;
            for (int j = 0; j < J; ++j) {
                cx[j] = xr[j][n] - mx;
                cy[j] = yr[j][n] - my;
                nx += cx[j] * cx[j];
                ny += cy[j] * cy[j];
            }
            for (int j = 0; j < J; ++j) sum += cx[j] / std::sqrt(nx) * cy[j] / std::sqrt(ny);
        }
        estoi += sum / N;
    }
    r.stoi = stoi / (segments * J);
    r.estoi = estoi / segments;
    return r;
}

// ---- signals -----------------------------------------------------------------

// The bundled sample's samples from byte 60.
std::vector<double> speech() {
    const std::vector<std::uint8_t> bytes = test::readBytes(test::samplePath());
    std::vector<double> samples;
    for (std::size_t i = 60; i + 1 < bytes.size(); i += 2)
        samples.push_back(static_cast<std::int16_t>(bytes[i] | (bytes[i + 1] << 8)));
    return samples;
}

double energy(const std::vector<double>& x) {
    double e = 0.0;
    for (double v : x) e += v * v;
    return e;
}

// x plus white Gaussian noise at `snr` dB.
std::vector<double> noisy(const std::vector<double>& x, double snr, std::mt19937& rng) {
    std::normal_distribution<double> g(
        0.0, std::sqrt(energy(x) / x.size() / std::pow(10.0, snr / 10.0)));
    std::vector<double> y = x;
    for (double& v : y) v += g(rng);
    return y;
}

// x through a second-order Butterworth low-pass at `hz` (8 kHz, bilinear).
std::vector<double> lowPassed(const std::vector<double>& x, double hz) {
    const double K = std::tan(std::numbers::pi * hz / 8000.0);
    const double norm = 1.0 / (1.0 + std::numbers::sqrt2 * K + K * K);
    const double b0 = K * K * norm, b1 = 2.0 * b0, b2 = b0;
    const double a1 = 2.0 * (K * K - 1.0) * norm,
                 a2 = (1.0 - std::numbers::sqrt2 * K + K * K) * norm;
    std::vector<double> y(x.size());
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    for (std::size_t n = 0; n < x.size(); ++n) {
        y[n] = b0 * x[n] + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x[n];
        y2 = y1;
        y1 = y[n];
    }
    return y;
}

// x delayed by d samples (zeros before it), of the same length.
std::vector<double> delayed(const std::vector<double>& x, std::size_t d) {
    std::vector<double> y(x.size(), 0.0);
    std::copy(x.begin(), x.end() - static_cast<std::ptrdiff_t>(d),
              y.begin() + static_cast<std::ptrdiff_t>(d));
    return y;
}

// ---- tests -------------------------------------------------------------------

TEST(Intelligibility, MatchesTheReferenceComputation) {
    // Speech taken as a signal at 10 kHz, so that nothing is resampled.
    std::vector<double> x = speech();
    x.resize(16000);
    std::mt19937 rng(test::testSeed());
    for (const std::vector<double>& y : {noisy(x, 5.0, rng), lowPassed(x, 1200.0), delayed(x, 3),
                                         noisy(lowPassed(x, 700.0), 15.0, rng)}) {
        const Reference expected = referenceIntelligibility(x, y);
        const Intelligibility actual = intelligibility(x, y, kIntelligibilityRate);
        ASSERT_TRUE(expected.valid);
        ASSERT_TRUE(actual.stoi && actual.estoi);
        EXPECT_NEAR(*actual.stoi, static_cast<double>(expected.stoi), 1e-9);
        EXPECT_NEAR(*actual.estoi, static_cast<double>(expected.estoi), 1e-9);
    }
}

TEST(Intelligibility, BandsAreTheBinsNearestToTheThirdOctaveEdges) {
    constexpr double kBinHz = kIntelligibilityRate / kIntelligibilityFft;  // 19.53125 Hz
    for (int j = 0; j < kThirdOctaveBands; ++j) {
        const double centre = kLowestBandCentre * std::pow(2.0, j / 3.0);
        const BandBins band = thirdOctaveBand(j);
        // The edges lie a sixth of an octave either side of the centre.
        EXPECT_LE(std::abs(band.low * kBinHz - centre / std::pow(2.0, 1.0 / 6.0)), kBinHz / 2) << j;
        EXPECT_LE(std::abs(band.high * kBinHz - centre * std::pow(2.0, 1.0 / 6.0)), kBinHz / 2)
            << j;
        if (j > 0) {
            EXPECT_EQ(band.low, thirdOctaveBand(j - 1).high) << j;
        }
    }
    EXPECT_EQ(thirdOctaveBand(0).low, 7);      // 133.6 Hz
    EXPECT_EQ(thirdOctaveBand(14).high, 219);  // 4277 Hz
}

TEST(Intelligibility, IdenticalSignalsGiveExactlyOne) {
    const std::vector<double> x = speech();
    const Intelligibility same = intelligibility(x, x);
    ASSERT_TRUE(same.stoi && same.estoi);
    EXPECT_EQ(*same.stoi, 1.0);
    EXPECT_EQ(*same.estoi, 1.0);
    // A scaled copy scores as the signal itself, to rounding.
    std::vector<double> half = x;
    for (double& v : half) v *= 0.5;
    const Intelligibility scaled = intelligibility(x, half);
    EXPECT_NEAR(*scaled.stoi, 1.0, 1e-12);
    EXPECT_NEAR(*scaled.estoi, 1.0, 1e-12);
}

// The scores fall as the degradation grows: more noise, a narrower band, a
// longer delay.
TEST(Intelligibility, ScoresFallWithTheDegradation) {
    const std::vector<double> x = speech();
    std::mt19937 rng(test::testSeed());
    auto expectDescending = [&](const std::vector<std::vector<double>>& ys,
                                const char* what) -> std::vector<Intelligibility> {
        std::vector<Intelligibility> scores;
        for (const auto& y : ys) scores.push_back(intelligibility(x, y));
        for (std::size_t i = 0; i < scores.size(); ++i) {
            if (!scores[i].stoi || !scores[i].estoi) {
                ADD_FAILURE() << what << " " << i << " has no value";
                return {};
            }
            EXPECT_LT(*scores[i].stoi, 1.0) << what << " " << i;
            EXPECT_LT(*scores[i].estoi, 1.0) << what << " " << i;
            if (i == 0) continue;
            EXPECT_LT(*scores[i].stoi, *scores[i - 1].stoi) << what << " " << i;
            EXPECT_LT(*scores[i].estoi, *scores[i - 1].estoi) << what << " " << i;
        }
        return scores;
    };
    const auto noise = expectDescending(
        {noisy(x, 20.0, rng), noisy(x, 10.0, rng), noisy(x, 0.0, rng), noisy(x, -10.0, rng)},
        "noise");
    const auto band = expectDescending(
        {lowPassed(x, 3000.0), lowPassed(x, 1500.0), lowPassed(x, 800.0), lowPassed(x, 400.0)},
        "band");
    const auto delay = expectDescending(
        {delayed(x, 1), delayed(x, 16), delayed(x, 80), delayed(x, 2000)}, "delay");
    // Speech in -10 dB of white noise, and speech a quarter of a second
    // late, are hardly intelligible as the reference.
    ASSERT_FALSE(noise.empty() || band.empty() || delay.empty());
    EXPECT_LT(*noise.back().stoi, 0.6);
    EXPECT_LT(*delay.back().stoi, 0.3);
    EXPECT_LT(*delay.back().estoi, 0.1);
    EXPECT_GT(*band.front().stoi, 0.99);
}

TEST(Intelligibility, WithoutEnoughSpeechThereIsNoValue) {
    const std::vector<double> silence(8000, 0.0);
    const std::vector<double> x = speech();
    const Intelligibility none = intelligibility(silence, x);
    EXPECT_FALSE(none.stoi);
    EXPECT_FALSE(none.estoi);
    // Fewer than 30 frames of 12.8 ms at 10 kHz: 0.3 s.
    const std::vector<double> shortSpeech(x.begin() + 8000, x.begin() + 8000 + 2400);
    EXPECT_FALSE(intelligibility(shortSpeech, shortSpeech).stoi);
    // A silent degraded signal has a value, the lowest there is.
    const Intelligibility lost = intelligibility(x, std::vector<double>(x.size(), 0.0));
    ASSERT_TRUE(lost.stoi && lost.estoi);
    EXPECT_EQ(*lost.stoi, 0.0);
    EXPECT_EQ(*lost.estoi, 0.0);
    // Only the common length is compared.
    std::vector<double> longer = x;
    longer.insert(longer.end(), 4000, 1000.0);
    EXPECT_EQ(*intelligibility(x, longer).stoi, 1.0);
}

TEST(CompareRecordings, AlignmentFindsTheDelayBothWays) {
    const std::vector<double> x = speech();
    for (const std::int64_t d : {0, 1, 37, 800}) {
        std::vector<double> late(static_cast<std::size_t>(d), 0.0);
        late.insert(late.end(), x.begin(), x.end());
        EXPECT_EQ(alignDelay(x, late), d);
        EXPECT_EQ(alignDelay(late, x), -d);
        const RecordingComparison c = compareRecordings(x, late, alignDelay(x, late));
        EXPECT_EQ(c.samples, static_cast<std::int64_t>(x.size()));
        EXPECT_EQ(c.measures.mean(FileMeasure::stoi), 1.0);
        EXPECT_EQ(c.measures.mean(FileMeasure::estoi), 1.0);
        EXPECT_EQ(c.overallSnr, 0.0);  // no noise: 0 dB by rule
    }
    EXPECT_EQ(alignDelay(std::vector<double>(100, 0.0), x), 0);
}

// Beyond a minute only the first minute of each is correlated.
TEST(CompareRecordings, AlignmentOfLongRecordingsLooksAtTheirFirstMinute) {
    const std::vector<double> x = speech();
    std::vector<double> reference;
    while (reference.size() < kAlignSamples + 2 * x.size())
        reference.insert(reference.end(), x.begin(), x.end());
    std::vector<double> late(250, 0.0);
    late.insert(late.end(), reference.begin(), reference.end());
    EXPECT_EQ(alignDelay(reference, late), 250);
    EXPECT_EQ(alignDelay(late, reference), -250);
}

TEST(CompareRecordings, FrameFiguresAreThoseOfTheFrames) {
    const std::vector<double> x = speech();
    const std::vector<double> y = lowPassed(x, 1000.0);
    const RecordingComparison c = compareRecordings(x, y);
    ASSERT_EQ(c.frames, static_cast<int>(x.size() / kFrameSamples));
    double snrSum = 0.0, S = 0.0, N = 0.0;
    MeasureMeans means;
    for (int k = 0; k < c.frames; ++k) {
        const std::span<const double> s(x.data() + k * kFrameSamples, kFrameSamples);
        const std::span<const double> out(y.data() + k * kFrameSamples, kFrameSamples);
        snrSum += computeSnr(s, out);
        for (int n = 0; n < kFrameSamples; ++n) {
            S += s[n] * s[n];
            N += (s[n] - out[n]) * (s[n] - out[n]);
        }
        means.add(measureFrame(MeasureFrame(s.data(), kFrameSamples),
                               MeasureFrame(out.data(), kFrameSamples)));
    }
    EXPECT_DOUBLE_EQ(c.segmentalSnr, snrSum / c.frames);
    EXPECT_DOUBLE_EQ(c.overallSnr, 10.0 * std::log10(S / N));
    EXPECT_EQ(c.measures.means(), means.means());
    EXPECT_EQ(c.measures.mean(FileMeasure::stoi), intelligibility(x, y).stoi);
}

}  // namespace
}  // namespace zorvel
