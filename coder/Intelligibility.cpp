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

using Envelopes = std::vector<std::array<double, kThirdOctaveBands>>;  // [frame][band]

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

// The one-third-octave envelopes of every frame of a signal: the windowed
// frame, zero-padded to 512 points, transformed, |X(k)|^2 summed per band.
Envelopes envelopesOf(const std::vector<double>& x) {
    const std::size_t frames = frameCount(x.size());
    Envelopes envelopes(frames);
    const auto& w = window();
    const int dims[] = {kIntelligibilityFft};
    std::array<double, kIntelligibilityFft> re{};
    std::array<double, kIntelligibilityFft> im{};
    for (std::size_t m = 0; m < frames; ++m) {
        re.fill(0.0);
        im.fill(0.0);
        for (int n = 0; n < kIntelligibilityFrame; ++n)
            re[n] = w[n] * x[m * kIntelligibilityHop + n];
        fftn(1, dims, re.data(), im.data(), -1, 0.0);
        for (int j = 0; j < kThirdOctaveBands; ++j) {
            double sum = 0.0;
            for (int k = bands()[j].low; k < bands()[j].high; ++k)
                sum += re[k] * re[k] + im[k] * im[k];
            envelopes[m][j] = std::sqrt(sum);
        }
    }
    return envelopes;
}

using Segment = std::array<double, kSegmentFrames>;

double mean(const Segment& v) {
    double sum = 0.0;
    for (double x : v) sum += x;
    return sum / kSegmentFrames;
}

// The correlation coefficient of a and b, each with its mean already taken
// out: 1 for equal vectors, 0 when either has a zero norm and they differ.
template <std::size_t L>
double correlation(const std::array<double, L>& a, const std::array<double, L>& b) {
    if (a == b) return 1.0;
    double ab = 0.0, aa = 0.0, bb = 0.0;
    for (std::size_t i = 0; i < L; ++i) {
        ab += a[i] * b[i];
        aa += a[i] * a[i];
        bb += b[i] * b[i];
    }
    if (aa == 0.0 || bb == 0.0) return 0.0;
    return ab / std::sqrt(aa * bb);
}

void removeMean(Segment& v) {
    const double m = mean(v);
    for (double& x : v) x -= m;
}

// STOI's d_j(m) of one band's segment: y scaled to the norm of x (left as it
// is when it has none), clipped at (1 + 10^(-beta/20)) x, correlated with x.
double stoiOfBand(Segment x, Segment y) {
    if (x == y) return 1.0;
    double xx = 0.0, yy = 0.0;
    for (int n = 0; n < kSegmentFrames; ++n) {
        xx += x[n] * x[n];
        yy += y[n] * y[n];
    }
    const double alpha = yy > 0.0 ? std::sqrt(xx) / std::sqrt(yy) : 1.0;
    for (int n = 0; n < kSegmentFrames; ++n) y[n] = std::min(alpha * y[n], kClipFactor * x[n]);
    removeMean(x);
    removeMean(y);
    return correlation(x, y);
}

// A band's row made zero-mean and unit-norm over the segment; a row without
// variation stays all zeros.
Segment normalisedRow(Segment row) {
    removeMean(row);
    double norm = 0.0;
    for (double v : row) norm += v * v;
    norm = std::sqrt(norm);
    if (norm > 0.0)
        for (double& v : row) v /= norm;
    return row;
}

using Column = std::array<double, kThirdOctaveBands>;

void removeMean(Column& v) {
    double sum = 0.0;
    for (double x : v) sum += x;
    const double m = sum / kThirdOctaveBands;
    for (double& x : v) x -= m;
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
    if (X.size() < static_cast<std::size_t>(kSegmentFrames)) return {};

    // Segment m holds frames m - N + 1 .. m, for every m from N - 1 on.
    double stoiSum = 0.0;
    double estoiSum = 0.0;
    const std::size_t segments = X.size() - kSegmentFrames + 1;
    std::array<Segment, kThirdOctaveBands> xRows{}, yRows{};
    for (std::size_t s = 0; s < segments; ++s) {
        for (int j = 0; j < kThirdOctaveBands; ++j) {
            Segment xj{}, yj{};
            for (int n = 0; n < kSegmentFrames; ++n) {
                xj[n] = X[s + n][j];
                yj[n] = Y[s + n][j];
            }
            stoiSum += stoiOfBand(xj, yj);
            xRows[j] = normalisedRow(xj);
            yRows[j] = normalisedRow(yj);
        }
        double columns = 0.0;
        for (int n = 0; n < kSegmentFrames; ++n) {
            Column xn{}, yn{};
            for (int j = 0; j < kThirdOctaveBands; ++j) {
                xn[j] = xRows[j][n];
                yn[j] = yRows[j][n];
            }
            removeMean(xn);
            removeMean(yn);
            columns += correlation(xn, yn);
        }
        estoiSum += columns / kSegmentFrames;
    }
    return {stoiSum / static_cast<double>(segments * kThirdOctaveBands),
            estoiSum / static_cast<double>(segments)};
}

void IntelligibilityRecorder::add(std::span<const double, kFrameSamples> reference,
                                  std::span<const double, kFrameSamples> degraded) {
    reference_.insert(reference_.end(), reference.begin(), reference.end());
    degraded_.insert(degraded_.end(), degraded.begin(), degraded.end());
}

Intelligibility IntelligibilityRecorder::result() const {
    const std::vector<double> x(reference_.begin(), reference_.end());
    const std::vector<double> y(degraded_.begin(), degraded_.end());
    return intelligibility(x, y);
}

}  // namespace zorvel
