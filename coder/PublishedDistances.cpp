// The distances of PublishedDistances.h, frame by frame: one LP model of each
// windowed frame serves the cepstral distance, llr and itakuraSaito; one
// complex FFT of z = s_w + j y_w gives both magnitude spectra of fwSegSnr.
// A file's figure is then the mean of its frames, or of the best 95 %.
//
// Symbols: s the reference frame, y the degraded one; r the autocorrelation,
// a = (1, a1..a10) and E of the LP model; X_j, Y_j the band values, W_j
// their weights.
#include "coder/PublishedDistances.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <vector>

#include "coder/AnalyseLp.h"
#include "coder/FrameDistances.h"
#include "dsp/Fftn.h"

namespace zorvel {
namespace {

constexpr double kDecibelsPerNeper = 10.0 / std::numbers::ln10;
constexpr double kBinHz = static_cast<double>(kSampleRate) / kPublishedFft;  // 15.625 Hz

using Frame = std::span<const double, kPublishedFrame>;
using Windowed = std::array<double, kPublishedFrame>;
using Magnitudes = std::array<double, kPublishedBins>;
using Bands = std::array<double, kCriticalBands>;

struct BandFilter {
    int first = kPublishedBins;  // bins first..last carry the filter
    int last = -1;
    Magnitudes F{};
};

struct Tables {
    Windowed hanning{};
    std::array<BandFilter, kCriticalBands> bands{};
};

const Tables& tables() {
    static const Tables t = [] {
        Tables m;
        for (int n = 0; n < kPublishedFrame; ++n)
            m.hanning[n] =
                0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * (n + 1) / (kPublishedFrame + 1));
        for (int j = 0; j < kCriticalBands; ++j) {
            const CriticalBand& band = criticalBands()[j];
            BandFilter& filter = m.bands[j];
            for (int k = 0; k < kPublishedBins; ++k) {
                const double x = (k * kBinHz - band.centre) / band.width;
                const double g = std::exp(-11.0 * x * x);
                if (g < kBandFloorRatio) continue;
                filter.F[k] = g;
                filter.first = std::min(filter.first, k);
                filter.last = k;
            }
        }
        return m;
    }();
    return t;
}

// a R a^T = rho(0) r(0) + 2 sum_m rho(m) r(m).
double quadraticForm(const LpModel& model, const std::array<double, kLpCoeffs>& r) {
    double sum = 0.0;
    for (int m = 0; m < kLpCoeffs; ++m) sum += model.rho[m] * r[m];
    return sum;
}

// c(1..10) of 1 / A(z): c(n) = -a(n) - sum_{k=1}^{n-1} (k / n) c(k) a(n - k).
std::array<double, kPublishedCepstrum + 1> cepstrumOf(const LpCoeffs& a) {
    std::array<double, kPublishedCepstrum + 1> c{};
    for (int n = 1; n <= kPublishedCepstrum; ++n) {
        double sum = a[n];
        for (int k = 1; k < n; ++k) sum += static_cast<double>(k) / n * c[k] * a[n - k];
        c[n] = -sum;
    }
    return c;
}

double cepstralDistanceOf(const LpModel& s, const LpModel& y) {
    const auto cs = cepstrumOf(s.a);
    const auto cy = cepstrumOf(y.a);
    double sum = 0.0;
    for (int k = 1; k <= kPublishedCepstrum; ++k) sum += (cs[k] - cy[k]) * (cs[k] - cy[k]);
    return std::min(kDecibelsPerNeper * std::sqrt(2.0 * sum), kPublishedCepstralMax);
}

double llrOf(const LpModel& s, const LpModel& y) {
    return std::clamp(std::log(quadraticForm(y, s.r) / quadraticForm(s, s.r)), 0.0, kLlrMax);
}

double itakuraSaitoOf(const LpModel& s, const LpModel& y) {
    const double gains = quadraticForm(s, s.r) / quadraticForm(y, y.r);  // E_s / E_y
    const double ratio = quadraticForm(y, s.r) / quadraticForm(s, s.r);
    return std::clamp(gains * ratio - std::log(gains) - 1.0, 0.0, kItakuraSaitoMax);
}

// The band values of a magnitude spectrum whose bins sum to 1.
Bands bandValues(const Magnitudes& magnitude) {
    double total = 0.0;
    for (double m : magnitude) total += m;
    Bands values{};
    for (int j = 0; j < kCriticalBands; ++j) {
        const BandFilter& filter = tables().bands[j];
        double sum = 0.0;
        for (int k = filter.first; k <= filter.last; ++k) sum += filter.F[k] * magnitude[k];
        values[j] = sum / total;
    }
    return values;
}

// Both magnitude spectra from one complex FFT of z = s_w + j y_w: with Z(k)
// its transform, S(k) = (Z(k) + Z*(N - k)) / 2 and Y(k) = (Z(k) - Z*(N - k)) / 2j.
double fwSegSnrOf(const Windowed& s, const Windowed& y) {
    std::array<double, kPublishedFft> re{};
    std::array<double, kPublishedFft> im{};
    std::copy(s.begin(), s.end(), re.begin());
    std::copy(y.begin(), y.end(), im.begin());
    const int dims[] = {kPublishedFft};
    fftn(1, dims, re.data(), im.data(), -1, 0.0);
    Magnitudes S{}, Y{};
    for (int k = 0; k < kPublishedBins; ++k) {
        const int mirror = (kPublishedFft - k) % kPublishedFft;
        const double sRe = re[k] + re[mirror], sIm = im[k] - im[mirror];  // 2 S(k)
        const double yRe = im[k] + im[mirror], yIm = re[mirror] - re[k];  // 2 Y(k)
        S[k] = 0.5 * std::sqrt(sRe * sRe + sIm * sIm);
        Y[k] = 0.5 * std::sqrt(yRe * yRe + yIm * yIm);
    }
    if (s == y) Y = S;  // equal frames: one spectrum, so that every band is equal
    const Bands X = bandValues(S);
    const Bands Yb = bandValues(Y);
    double weighted = 0.0;
    double weights = 0.0;
    for (int j = 0; j < kCriticalBands; ++j) {
        if (X[j] == 0.0) continue;
        if (X[j] == Yb[j]) return kFrameSnrMax;
        const double W = std::pow(X[j], kBandWeightExponent);
        const double d = X[j] - Yb[j];
        weighted += W * 10.0 * std::log10(X[j] * X[j] / (d * d));
        weights += W;
    }
    if (!(weights > 0.0)) return kFrameSnrMin;
    return std::clamp(weighted / weights, kFrameSnrMin, kFrameSnrMax);
}

// The values one figure gathers over the frames.
struct FrameValues {
    std::vector<double> values;
    void add(double value) {
        if (std::isfinite(value)) values.push_back(value);
    }
    std::optional<double> mean() const {
        if (values.empty()) return std::nullopt;
        double sum = 0.0;
        for (double v : values) sum += v;
        return sum / static_cast<double>(values.size());
    }
    // The mean of the lowest M - M / 20.
    std::optional<double> trimmedMean() {
        std::sort(values.begin(), values.end());
        values.resize(values.size() - values.size() / kTrimmedShare);
        return mean();
    }
};

bool allZeros(Frame x) {
    return std::all_of(x.begin(), x.end(), [](double v) { return v == 0.0; });
}

}  // namespace

std::size_t publishedFrameCount(std::size_t length) {
    if (length < static_cast<std::size_t>(kPublishedFrame)) return 0;
    return (length - kPublishedFrame) / kPublishedHop + 1;
}

PublishedDistances publishedDistances(std::span<const double> reference,
                                      std::span<const double> degraded) {
    const std::size_t frames = publishedFrameCount(std::min(reference.size(), degraded.size()));
    FrameValues fw, cd, llr, is;
    const Windowed& w = tables().hanning;
    Windowed s{}, y{};
    for (std::size_t m = 0; m < frames; ++m) {
        const Frame sFrame(reference.data() + m * kPublishedHop, kPublishedFrame);
        const Frame yFrame(degraded.data() + m * kPublishedHop, kPublishedFrame);
        if (allZeros(sFrame) || allZeros(yFrame)) continue;
        for (int n = 0; n < kPublishedFrame; ++n) {
            s[n] = w[n] * sFrame[n];
            y[n] = w[n] * yFrame[n];
        }
        fw.add(fwSegSnrOf(s, y));
        const std::optional<LpModel> lpS = lpModelOfWindowed(s);
        const std::optional<LpModel> lpY = lpModelOfWindowed(y);
        if (!lpS || !lpY) continue;
        cd.add(cepstralDistanceOf(*lpS, *lpY));
        llr.add(llrOf(*lpS, *lpY));
        is.add(itakuraSaitoOf(*lpS, *lpY));
    }
    return {fw.mean(), cd.mean(), llr.trimmedMean(), is.trimmedMean()};
}

}  // namespace zorvel
