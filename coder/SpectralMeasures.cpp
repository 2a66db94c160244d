// The spectral distances of SpectralMeasures.h. Two analyses serve all six:
//   the LP model of a frame: Hamming window w(n) = 0.54 - 0.46 cos(2 pi n / 159),
//     autocorrelation r(0..10), Levinson-Durbin giving A(z) = 1 + sum a_i z^-i
//     and the prediction error E (lsdLp, cepstralDistance, llr, itakuraSaito);
//   the spectrum of a frame: Hann window w(n) = 0.5 - 0.5 cos(2 pi n / 159),
//     zeros up to 256 samples, the FFT, bins 0..128 (lsdFft, fwSegSnr).
// The envelope |A(e^jw)|^2 at w_k = pi k / 256 is the 512-point FFT of the
// coefficients, bins 0..256.
#include "coder/SpectralMeasures.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "coder/AnalyseLp.h"
#include "dsp/Fftn.h"

namespace zorvel {
namespace {

constexpr double kDecibelsPerNeper = 10.0 / std::numbers::ln10;  // 10 / ln 10
constexpr int kEnvelopeFftLength = 2 * (kEnvelopePoints - 1);    // 512
constexpr double kSampleRateHz = 8000.0;
constexpr double kBinHz = kSampleRateHz / kMeasureFftLength;  // 31.25 Hz

// clang-format off
constexpr std::array<SpectralMeasureInfo, kSpectralMeasureCount> kInfo{{
    {"lsdLp",            "LSD-LP",   "dB", "lsd_lp_db"},
    {"cepstralDistance", "CD",       "dB", "cepstral_distance_db"},
    {"lsdFft",           "LSD-FFT",  "dB", "lsd_fft_db"},
    {"llr",              "LLR",      "",   "llr"},
    {"itakuraSaito",     "IS",       "",   "itakura_saito"},
    {"fwSegSnr",         "fwSNRseg", "dB", "fw_seg_snr_db"},
}};

// Centres and widths (Hz) of the critical bands below 4 kHz.
constexpr std::array<CriticalBand, kCriticalBands> kBandTable{{
    {50.0, 70.0},       {120.0, 70.0},      {190.0, 70.0},      {260.0, 70.0},
    {330.0, 70.0},      {400.0, 70.0},      {470.0, 70.0},      {540.0, 77.3724},
    {617.372, 86.0056}, {703.378, 95.3398}, {798.717, 105.411}, {904.128, 116.256},
    {1020.38, 127.914}, {1148.30, 140.423}, {1288.72, 153.823}, {1442.54, 168.154},
    {1610.70, 183.457}, {1794.16, 199.776}, {1993.93, 217.153}, {2211.08, 235.631},
    {2446.71, 255.255}, {2701.97, 276.072}, {2978.04, 298.126}, {3276.17, 321.465},
    {3597.63, 346.136},
}};
// clang-format on

using Autocorrelation = std::array<double, kLpCoeffs>;

// The LP model of one frame: r, a (a0 = 1) and E.
struct LpModel {
    Autocorrelation r{};
    LpCoeffs a{};
    double E = 0.0;
};

using Envelope = std::array<double, kEnvelopePoints>;       // 10 log10 P(w_k), dB
using PowerSpectrum = std::array<double, kMeasureFftBins>;  // |X(k)|^2

bool allZeros(MeasureFrame x) {
    return std::all_of(x.begin(), x.end(), [](double v) { return v == 0.0; });
}

double windowCosine(int n) { return std::cos(2.0 * std::numbers::pi * n / (kFrameSamples - 1)); }

// Nothing when the frame is all zeros or the recursion leaves no positive
// prediction error (a frame too regular for an order-10 model).
std::optional<LpModel> lpModel(MeasureFrame x) {
    if (allZeros(x)) return std::nullopt;
    Signal windowed;
    for (int n = 0; n < kFrameSamples; ++n) windowed[n] = (0.54 - 0.46 * windowCosine(n)) * x[n];
    LpModel model;
    for (int k = 0; k < kLpCoeffs; ++k) {
        double sum = 0.0;
        for (int n = k; n < kFrameSamples; ++n) sum += windowed[n] * windowed[n - k];
        model.r[k] = sum;
    }
    std::array<double, kLpCoeffs + 1> out{};
    levinsonDurbin(model.r, out);
    std::copy_n(out.begin(), kLpCoeffs, model.a.begin());
    model.E = out[kLpCoeffs];
    if (!(model.E > 0.0)) return std::nullopt;
    return model;
}

// 10 log10(E / |A(e^jw_k)|^2), k = 0..256.
Envelope envelopeOf(const LpModel& model) {
    std::array<double, kEnvelopeFftLength> re{};
    std::array<double, kEnvelopeFftLength> im{};
    std::copy(model.a.begin(), model.a.end(), re.begin());
    const int dims[] = {kEnvelopeFftLength};
    fftn(1, dims, re.data(), im.data(), -1, 0.0);
    Envelope envelope;
    const double gainDb = 10.0 * std::log10(model.E);
    for (int k = 0; k < kEnvelopePoints; ++k)
        envelope[k] = gainDb - 10.0 * std::log10(re[k] * re[k] + im[k] * im[k]);
    return envelope;
}

// c(1..16) of 1 / A(z): c(n) = -a(n) - sum_{k=1}^{n-1} (k / n) c(k) a(n - k), a(n) = 0 for n > 10.
std::array<double, kLpCepstrumLength + 1> cepstrumOf(const LpCoeffs& a) {
    std::array<double, kLpCepstrumLength + 1> c{};
    for (int n = 1; n <= kLpCepstrumLength; ++n) {
        double sum = n <= kLpOrder ? a[n] : 0.0;
        for (int k = std::max(1, n - kLpOrder); k < n; ++k)
            sum += static_cast<double>(k) / n * c[k] * a[n - k];
        c[n] = -sum;
    }
    return c;
}

// a R a^T with R the Toeplitz matrix of r.
double quadraticForm(const LpCoeffs& a, const Autocorrelation& r) {
    double sum = 0.0;
    for (int i = 0; i < kLpCoeffs; ++i)
        for (int j = 0; j < kLpCoeffs; ++j) sum += a[i] * a[j] * r[std::abs(i - j)];
    return sum;
}

// Nothing when the windowed frame is all zeros (the Hann window is zero at
// both ends, so a frame with samples only there counts as silent).
std::optional<PowerSpectrum> powerSpectrum(MeasureFrame x) {
    std::array<double, kMeasureFftLength> re{};
    std::array<double, kMeasureFftLength> im{};
    for (int n = 0; n < kFrameSamples; ++n) re[n] = (0.5 - 0.5 * windowCosine(n)) * x[n];
    if (allZeros(std::span<const double, kFrameSamples>(re.data(), kFrameSamples)))
        return std::nullopt;
    const int dims[] = {kMeasureFftLength};
    fftn(1, dims, re.data(), im.data(), -1, 0.0);
    PowerSpectrum power;
    for (int k = 0; k < kMeasureFftBins; ++k) power[k] = re[k] * re[k] + im[k] * im[k];
    return power;
}

template <std::size_t N>
double rmsDifference(const std::array<double, N>& x, const std::array<double, N>& y) {
    double sum = 0.0;
    for (std::size_t k = 0; k < N; ++k) sum += (x[k] - y[k]) * (x[k] - y[k]);
    return std::sqrt(sum / N);
}

// 10 log10 of the bins, each at least the peak times kPowerFloorRatio.
PowerSpectrum decibelsOf(const PowerSpectrum& power) {
    const double floor = *std::max_element(power.begin(), power.end()) * kPowerFloorRatio;
    PowerSpectrum db;
    for (int k = 0; k < kMeasureFftBins; ++k) db[k] = 10.0 * std::log10(std::max(power[k], floor));
    return db;
}

double lsdLpOf(const LpModel& s, const LpModel& out) {
    return rmsDifference(envelopeOf(s), envelopeOf(out));
}

double cepstralDistanceOf(const LpModel& s, const LpModel& out) {
    const auto cs = cepstrumOf(s.a);
    const auto co = cepstrumOf(out.a);
    double sum = 0.0;
    for (int k = 1; k <= kLpCepstrumLength; ++k) sum += (cs[k] - co[k]) * (cs[k] - co[k]);
    return kDecibelsPerNeper * std::sqrt(2.0 * sum);
}

double lsdFftOf(const PowerSpectrum& s, const PowerSpectrum& out) {
    return rmsDifference(decibelsOf(s), decibelsOf(out));
}

// a_out R_s a_out^T / a_s R_s a_s^T: at least 1, the clean frame's own
// predictor being the one that minimises the form.
double predictionRatio(const LpModel& s, const LpModel& out) {
    return quadraticForm(out.a, s.r) / quadraticForm(s.a, s.r);
}

double llrOf(const LpModel& s, const LpModel& out) {
    return std::clamp(std::log(predictionRatio(s, out)), 0.0, kLlrMax);
}

double itakuraSaitoOf(const LpModel& s, const LpModel& out) {
    const double gains = quadraticForm(s.a, s.r) / quadraticForm(out.a, out.r);  // E_s / E_out
    const double is = gains * predictionRatio(s, out) - std::log(gains) - 1.0;
    return std::clamp(is, 0.0, kItakuraSaitoMax);
}

using BandFilters = std::array<std::array<double, kMeasureFftBins>, kCriticalBands>;

// F_j(k) = exp(-11 ((f_k - centre_j) / width_j)^2), zero below kBandFloorRatio.
const BandFilters& bandFilters() {
    static const BandFilters filters = [] {
        BandFilters f{};
        for (int j = 0; j < kCriticalBands; ++j) {
            for (int k = 0; k < kMeasureFftBins; ++k) {
                const double x = (k * kBinHz - kBandTable[j].centre) / kBandTable[j].width;
                const double g = std::exp(-11.0 * x * x);
                f[j][k] = g >= kBandFloorRatio ? g : 0.0;
            }
        }
        return f;
    }();
    return filters;
}

// The magnitude spectrum, its bins summing to 1, in the critical bands.
std::array<double, kCriticalBands> bandMagnitudes(const PowerSpectrum& power) {
    PowerSpectrum magnitude;
    double total = 0.0;
    for (int k = 0; k < kMeasureFftBins; ++k) {
        magnitude[k] = std::sqrt(power[k]);
        total += magnitude[k];
    }
    const BandFilters& filters = bandFilters();
    std::array<double, kCriticalBands> bands{};
    for (int j = 0; j < kCriticalBands; ++j) {
        double sum = 0.0;
        for (int k = 0; k < kMeasureFftBins; ++k) sum += filters[j][k] * magnitude[k];
        bands[j] = sum / total;
    }
    return bands;
}

// SNR_j = 10 log10(X_j^2 / (X_j - Y_j)^2) in [-10, 35]; equal bands give the
// upper clamp, an empty clean band the lower one.
double bandSnr(double X, double Y) {
    if (X == Y) return kBandSnrMax;
    if (X == 0.0) return kBandSnrMin;
    const double snr = 10.0 * std::log10(X * X / ((X - Y) * (X - Y)));
    return std::clamp(snr, kBandSnrMin, kBandSnrMax);
}

// sum W_j SNR_j / sum W_j, W_j = X_j^0.2; a clean frame with nothing in any
// band (all of it above the last band, near 4 kHz) gets the lower clamp.
double fwSegSnrOf(const PowerSpectrum& s, const PowerSpectrum& out) {
    const auto X = bandMagnitudes(s);
    const auto Y = bandMagnitudes(out);
    double weighted = 0.0;
    double weights = 0.0;
    for (int j = 0; j < kCriticalBands; ++j) {
        const double W = std::pow(X[j], kBandWeightExponent);
        weighted += W * bandSnr(X[j], Y[j]);
        weights += W;
    }
    return weights > 0.0 ? weighted / weights : kBandSnrMin;
}

template <class Model, class Measure>
std::optional<double> between(const std::optional<Model>& s, const std::optional<Model>& out,
                              Measure measure) {
    if (!s || !out) return std::nullopt;
    return measure(*s, *out);
}

}  // namespace

const SpectralMeasureInfo& infoOf(SpectralMeasure measure) {
    return kInfo[static_cast<std::size_t>(measure)];
}

const std::array<CriticalBand, kCriticalBands>& criticalBands() { return kBandTable; }

std::optional<double> lsdLp(MeasureFrame s, MeasureFrame out) {
    return between(lpModel(s), lpModel(out), lsdLpOf);
}

std::optional<double> cepstralDistance(MeasureFrame s, MeasureFrame out) {
    return between(lpModel(s), lpModel(out), cepstralDistanceOf);
}

std::optional<double> lsdFft(MeasureFrame s, MeasureFrame out) {
    return between(powerSpectrum(s), powerSpectrum(out), lsdFftOf);
}

std::optional<double> llr(MeasureFrame s, MeasureFrame out) {
    return between(lpModel(s), lpModel(out), llrOf);
}

std::optional<double> itakuraSaito(MeasureFrame s, MeasureFrame out) {
    return between(lpModel(s), lpModel(out), itakuraSaitoOf);
}

std::optional<double> fwSegSnr(MeasureFrame s, MeasureFrame out) {
    return between(powerSpectrum(s), powerSpectrum(out), fwSegSnrOf);
}

FrameMeasures measureFrame(MeasureFrame s, MeasureFrame out) {
    FrameMeasures values;
    const std::optional<LpModel> lpS = lpModel(s);
    const std::optional<LpModel> lpOut = lpModel(out);
    const std::optional<PowerSpectrum> powerS = powerSpectrum(s);
    const std::optional<PowerSpectrum> powerOut = powerSpectrum(out);
    auto set = [&](SpectralMeasure measure, std::optional<double> value) {
        values[static_cast<std::size_t>(measure)] = value;
    };
    set(SpectralMeasure::lsdLp, between(lpS, lpOut, lsdLpOf));
    set(SpectralMeasure::cepstralDistance, between(lpS, lpOut, cepstralDistanceOf));
    set(SpectralMeasure::lsdFft, between(powerS, powerOut, lsdFftOf));
    set(SpectralMeasure::llr, between(lpS, lpOut, llrOf));
    set(SpectralMeasure::itakuraSaito, between(lpS, lpOut, itakuraSaitoOf));
    set(SpectralMeasure::fwSegSnr, between(powerS, powerOut, fwSegSnrOf));
    return values;
}

FrameMeasures measureRecord(const FrameRecord& record, SaveOption output) {
    const Signal& out =
        output == SaveOption::postProcessed ? record.postProcessedSpeech : record.synthesizedSpeech;
    return measureFrame(record.speech, out);
}

void MeasureMeans::add(const FrameMeasures& frame) {
    for (std::size_t i = 0; i < kSpectralMeasureCount; ++i) {
        if (!frame[i]) continue;
        sums_[i] += *frame[i];
        ++counts_[i];
    }
}

std::optional<double> MeasureMeans::mean(SpectralMeasure measure) const {
    const auto i = static_cast<std::size_t>(measure);
    if (counts_[i] == 0) return std::nullopt;
    return sums_[i] / counts_[i];
}

void MeasureMeans::merge(const MeasureMeans& other) {
    for (std::size_t i = 0; i < kSpectralMeasureCount; ++i) {
        sums_[i] += other.sums_[i];
        counts_[i] += other.counts_[i];
    }
}

FrameMeasures MeasureMeans::means() const {
    FrameMeasures values;
    for (SpectralMeasure measure : kAllSpectralMeasures)
        values[static_cast<std::size_t>(measure)] = mean(measure);
    return values;
}

}  // namespace zorvel
