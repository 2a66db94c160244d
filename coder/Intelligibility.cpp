// STOI and ESTOI of Intelligibility.h. One pass serves both: resampling,
// dropping the silent frames, the short-time spectra and the one-third-octave
// envelopes; the two then differ only in how a segment of envelopes becomes
// a number.
//
// Symbols: x the clean reference, y the degraded signal; X_j(m), Y_j(m) the
// envelopes of band j in frame m; N = 30 frames a segment; J = 15 bands.
#include "coder/Intelligibility.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "dsp/Fftn.h"
#include "sound/Conversion.h"

namespace zorvel {
namespace {

// The power below which a frame is silent, relative to the loudest: -40 dB.
const double kSilencePowerRatio = std::pow(10.0, -kSilenceRange / 10.0);
// STOI's clipping: y' <= (1 + 10^(-beta/20)) x.
const double kClipFactor = 1.0 + std::pow(10.0, -kClipBeta / 20.0);

// The envelopes of one signal: X_j(m) at [j][m], each band's frames in a row.
using Envelopes = std::array<std::vector<double>, kThirdOctaveBands>;

// The Hann window of 256 points that is zero only beyond both ends:
// w(n) = 0.5 - 0.5 cos(2 pi (n + 1) / 257), n = 0..255.
const std::array<double, kIntelligibilityFrame>& window() {
    static const auto w = [] {
        std::array<double, kIntelligibilityFrame> v{};
        for (int n = 0; n < kIntelligibilityFrame; ++n)
            v[n] = 0.5 -
                   0.5 * std::cos(2.0 * std::numbers::pi * (n + 1) / (kIntelligibilityFrame + 1));
        return v;
    }();
    return w;
}

const std::array<BandBins, kThirdOctaveBands>& bands() {
    static const auto table = [] {
        std::array<BandBins, kThirdOctaveBands> b{};
        for (int j = 0; j < kThirdOctaveBands; ++j) b[j] = thirdOctaveBand(j);
        return b;
    }();
    return table;
}

// The frames starting at 0, 128, ... before the last 256 samples of a signal
// of `length` samples (a frame that would end exactly at the end is left out).
std::size_t frameCount(std::size_t length) {
    if (length <= static_cast<std::size_t>(kIntelligibilityFrame)) return 0;
    return (length - kIntelligibilityFrame - 1) / kIntelligibilityHop + 1;
}

double windowedPower(const std::vector<double>& x, std::size_t start) {
    const auto& w = window();
    double E = 0.0;
    for (int n = 0; n < kIntelligibilityFrame; ++n) {
        const double v = w[n] * x[start + n];
        E += v * v;
    }
    return E;
}

// The windowed frames of x and y whose reference power lies less than 40 dB
// below the loudest, overlap-added again at the same hop.
struct Voiced {
    std::vector<double> x;
    std::vector<double> y;
};

Voiced dropSilentFrames(const std::vector<double>& x, const std::vector<double>& y) {
    const std::size_t frames = frameCount(x.size());
    std::vector<double> power(frames);
    for (std::size_t m = 0; m < frames; ++m) power[m] = windowedPower(x, m * kIntelligibilityHop);
    const double loudest = frames > 0 ? *std::max_element(power.begin(), power.end()) : 0.0;
    std::vector<std::size_t> kept;
    for (std::size_t m = 0; m < frames; ++m)
        if (power[m] > loudest * kSilencePowerRatio) kept.push_back(m);
    Voiced voiced;
    if (kept.empty()) return voiced;
    const std::size_t length = (kept.size() - 1) * kIntelligibilityHop + kIntelligibilityFrame;
    voiced.x.assign(length, 0.0);
    voiced.y.assign(length, 0.0);
    const auto& w = window();
    for (std::size_t i = 0; i < kept.size(); ++i) {
        const std::size_t from = kept[i] * kIntelligibilityHop;
        const std::size_t to = i * kIntelligibilityHop;
        for (int n = 0; n < kIntelligibilityFrame; ++n) {
            voiced.x[to + n] += w[n] * x[from + n];
            voiced.y[to + n] += w[n] * y[from + n];
        }
    }
    return voiced;
}

constexpr int kHalfFft = kIntelligibilityFft / 2;  // the complex transform's length

// cos and sin of 2 pi k / 512, k = 0..256: the twiddles that join the
// transforms of the even and the odd samples.
const std::array<std::array<double, kIntelligibilityBins>, 2>& twiddles() {
    static const auto t = [] {
        std::array<std::array<double, kIntelligibilityBins>, 2> v{};
        for (int k = 0; k < kIntelligibilityBins; ++k) {
            v[0][k] = std::cos(2.0 * std::numbers::pi * k / kIntelligibilityFft);
            v[1][k] = std::sin(2.0 * std::numbers::pi * k / kIntelligibilityFft);
        }
        return v;
    }();
    return t;
}

// |V(k)|^2, k = 0..256, of the 512-point transform of the 256 real values v
// (zero-padded), by one complex transform of 256 points: with e and o the
// even and odd values and Z the transform of e + j o, E(k) = (Z(k) +
// Z*(-k)) / 2, O(k) = (Z(k) - Z*(-k)) / 2j and V(k) = E(k) + e^(-j 2 pi k /
// 512) O(k).
void powerSpectrum(std::span<const double, kIntelligibilityFrame> v,
                   std::array<double, kIntelligibilityBins>& power) {
    std::array<double, kHalfFft> re{};
    std::array<double, kHalfFft> im{};
    for (int n = 0; n < kIntelligibilityFrame / 2; ++n) {
        re[n] = v[2 * n];
        im[n] = v[2 * n + 1];
    }
    const int dims[] = {kHalfFft};
    fftn(1, dims, re.data(), im.data(), -1, 0.0);
    const auto& [c, sn] = twiddles();
    for (int k = 0; k < kIntelligibilityBins; ++k) {
        const int a = k % kHalfFft;
        const int b = (kHalfFft - k) % kHalfFft;
        const double Er = 0.5 * (re[a] + re[b]), Ei = 0.5 * (im[a] - im[b]);
        const double Or = 0.5 * (im[a] + im[b]), Oi = 0.5 * (re[b] - re[a]);
        const double Vr = Er + c[k] * Or + sn[k] * Oi;
        const double Vi = Ei + c[k] * Oi - sn[k] * Or;
        power[k] = Vr * Vr + Vi * Vi;
    }
}

// The one-third-octave envelopes of every frame of a signal: the windowed
// frame, zero-padded to 512 points, transformed, |X(k)|^2 summed per band.
Envelopes envelopesOf(const std::vector<double>& x) {
    const std::size_t frames = frameCount(x.size());
    Envelopes envelopes;
    for (auto& band : envelopes) band.resize(frames);
    const auto& w = window();
    std::array<double, kIntelligibilityFrame> windowed{};
    std::array<double, kIntelligibilityBins> power{};
    for (std::size_t m = 0; m < frames; ++m) {
        for (int n = 0; n < kIntelligibilityFrame; ++n)
            windowed[n] = w[n] * x[m * kIntelligibilityHop + n];
        powerSpectrum(windowed, power);
        for (int j = 0; j < kThirdOctaveBands; ++j) {
            double sum = 0.0;
            for (int k = bands()[j].low; k < bands()[j].high; ++k) sum += power[k];
            envelopes[j][m] = std::sqrt(sum);
        }
    }
    return envelopes;
}

// One segment of every band, frame by frame: [n][j], n the frame within the
// segment, j the band. Each band's (and each frame's) sums below are taken in
// the order of the frames (of the bands) as one vector alone would take
// them; the bands (frames) side by side only let the independent sums
// proceed together.
constexpr int J = kThirdOctaveBands;
constexpr int N = kSegmentFrames;
using Block = std::array<std::array<double, J>, N>;
using PerBand = std::array<double, J>;
using PerFrame = std::array<double, N>;

// Each band's row less its mean over the segment.
void removeBandMeans(Block& v) {
    PerBand sum{};
    for (int n = 0; n < N; ++n)
        for (int j = 0; j < J; ++j) sum[j] += v[n][j];
    PerBand m;
    for (int j = 0; j < J; ++j) m[j] = sum[j] / N;
    for (int n = 0; n < N; ++n)
        for (int j = 0; j < J; ++j) v[n][j] -= m[j];
}

// The correlation coefficient of each band's rows of a and b, their means
// already taken out: 1 for equal rows, 0 when either has a zero norm and
// they differ.
PerBand bandCorrelations(const Block& a, const Block& b) {
    std::array<bool, J> equal;
    equal.fill(true);
    PerBand ab{}, aa{}, bb{};
    for (int n = 0; n < N; ++n) {
        for (int j = 0; j < J; ++j) {
            equal[j] = equal[j] && a[n][j] == b[n][j];
            ab[j] += a[n][j] * b[n][j];
            aa[j] += a[n][j] * a[n][j];
            bb[j] += b[n][j] * b[n][j];
        }
    }
    PerBand d;
    for (int j = 0; j < J; ++j)
        d[j] = equal[j]                       ? 1.0
               : aa[j] == 0.0 || bb[j] == 0.0 ? 0.0
                                              : ab[j] / std::sqrt(aa[j] * bb[j]);
    return d;
}

// STOI's d_j(m) of every band: y scaled to the norm of x (left as it is when
// it has none), clipped at (1 + 10^(-beta/20)) x, correlated with x; 1 where
// the rows are equal.
PerBand stoiOfBands(const Block& x, const Block& y) {
    std::array<bool, J> equal;
    equal.fill(true);
    PerBand xx{}, yy{};
    for (int n = 0; n < N; ++n) {
        for (int j = 0; j < J; ++j) {
            equal[j] = equal[j] && x[n][j] == y[n][j];
            xx[j] += x[n][j] * x[n][j];
            yy[j] += y[n][j] * y[n][j];
        }
    }
    PerBand alpha;
    for (int j = 0; j < J; ++j) alpha[j] = yy[j] > 0.0 ? std::sqrt(xx[j]) / std::sqrt(yy[j]) : 1.0;
    Block xc = x;
    Block yc;
    for (int n = 0; n < N; ++n)
        for (int j = 0; j < J; ++j) yc[n][j] = std::min(alpha[j] * y[n][j], kClipFactor * x[n][j]);
    removeBandMeans(xc);
    removeBandMeans(yc);
    PerBand d = bandCorrelations(xc, yc);
    for (int j = 0; j < J; ++j)
        if (equal[j]) d[j] = 1.0;
    return d;
}

// Each band's row made zero-mean and unit-norm over the segment; a row
// without variation stays all zeros.
void normaliseRows(Block& v) {
    removeBandMeans(v);
    PerBand norm{};
    for (int n = 0; n < N; ++n)
        for (int j = 0; j < J; ++j) norm[j] += v[n][j] * v[n][j];
    PerBand scale;
    for (int j = 0; j < J; ++j) scale[j] = norm[j] > 0.0 ? 1.0 / std::sqrt(norm[j]) : 1.0;
    for (int n = 0; n < N; ++n)
        for (int j = 0; j < J; ++j)
            if (norm[j] > 0.0) v[n][j] *= scale[j];
}

// Each frame's column less its mean over the bands.
void removeFrameMeans(Block& v) {
    PerFrame sum{};
    for (int j = 0; j < J; ++j)
        for (int n = 0; n < N; ++n) sum[n] += v[n][j];
    for (int n = 0; n < N; ++n) {
        const double m = sum[n] / J;
        for (int j = 0; j < J; ++j) v[n][j] -= m;
    }
}

// The correlation coefficient of each frame's columns of a and b, their
// means already taken out (as bandCorrelations, over the bands).
PerFrame frameCorrelations(const Block& a, const Block& b) {
    std::array<bool, N> equal;
    equal.fill(true);
    PerFrame ab{}, aa{}, bb{};
    for (int j = 0; j < J; ++j) {
        for (int n = 0; n < N; ++n) {
            equal[n] = equal[n] && a[n][j] == b[n][j];
            ab[n] += a[n][j] * b[n][j];
            aa[n] += a[n][j] * a[n][j];
            bb[n] += b[n][j] * b[n][j];
        }
    }
    PerFrame d;
    for (int n = 0; n < N; ++n)
        d[n] = equal[n]                       ? 1.0
               : aa[n] == 0.0 || bb[n] == 0.0 ? 0.0
                                              : ab[n] / std::sqrt(aa[n] * bb[n]);
    return d;
}

}  // namespace

BandBins thirdOctaveBand(int j) {
    // The bin nearest to f (the lower one where two are as near).
    const auto nearestBin = [](double f) {
        int best = 0;
        double bestDistance = INFINITY;
        for (int k = 0; k < kIntelligibilityBins; ++k) {
            const double binHz = k * kIntelligibilityRate / kIntelligibilityFft;
            const double d = (binHz - f) * (binHz - f);
            if (d < bestDistance) {
                bestDistance = d;
                best = k;
            }
        }
        return best;
    };
    return {nearestBin(kLowestBandCentre * std::pow(2.0, (2.0 * j - 1.0) / 6.0)),
            nearestBin(kLowestBandCentre * std::pow(2.0, (2.0 * j + 1.0) / 6.0))};
}

Intelligibility intelligibility(std::span<const double> reference, std::span<const double> degraded,
                                double rate) {
    const std::size_t length = std::min(reference.size(), degraded.size());
    reference = reference.first(length);
    degraded = degraded.first(length);
    if (std::all_of(reference.begin(), reference.end(), [](double v) { return v == 0.0; }))
        return {};
    const std::vector<double> x = resample(reference, rate, kIntelligibilityRate);
    const std::vector<double> y = resample(degraded, rate, kIntelligibilityRate);
    const Voiced voiced = dropSilentFrames(x, y);
    const Envelopes X = envelopesOf(voiced.x);
    const Envelopes Y = envelopesOf(voiced.y);
    if (X[0].size() < static_cast<std::size_t>(kSegmentFrames)) return {};

    // Segment s holds frames s .. s + N - 1.
    double stoiSum = 0.0;
    double estoiSum = 0.0;
    const std::size_t segments = X[0].size() - kSegmentFrames + 1;
    Block xs, ys;
    for (std::size_t s = 0; s < segments; ++s) {
        for (int n = 0; n < N; ++n) {
            for (int j = 0; j < J; ++j) {
                xs[n][j] = X[j][s + static_cast<std::size_t>(n)];
                ys[n][j] = Y[j][s + static_cast<std::size_t>(n)];
            }
        }
        for (const double d : stoiOfBands(xs, ys)) stoiSum += d;
        normaliseRows(xs);
        normaliseRows(ys);
        removeFrameMeans(xs);
        removeFrameMeans(ys);
        double columns = 0.0;
        for (const double d : frameCorrelations(xs, ys)) columns += d;
        estoiSum += columns / kSegmentFrames;
    }
    return {stoiSum / static_cast<double>(segments * kThirdOctaveBands),
            estoiSum / static_cast<double>(segments)};
}

}  // namespace zorvel
