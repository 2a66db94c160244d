// The spectral distances of FrameDistances.h. Two analyses serve all six:
//   the LP model of a frame: Hamming window w(n) = 0.54 - 0.46 cos(2 pi n / 159),
//     autocorrelation r(0..10), Levinson-Durbin giving A(z) = 1 + sum a_i z^-i
//     and the prediction error E (lsdLp, cepstralDistance, llr, itakuraSaito);
//   the spectrum of a frame: Hann window w(n) = 0.5 - 0.5 cos(2 pi n / 159),
//     zeros up to 256 samples, the FFT, bins 0..128 (lsdFft, fwSegSnr).
// The envelope |A(e^jw)|^2 at w_k = pi k / 256 comes from the autocorrelation
// of the coefficients and a table of cosines; the two power spectra from one
// complex FFT. Log-spectral distances take the log of each ratio.
#include "coder/FrameDistances.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "coder/AnalyseLp.h"
#include "coder/Intelligibility.h"
#include "coder/PublishedDistances.h"
#include "dsp/Fftn.h"
#include "sound/Wave.h"

namespace zorvel {
namespace {

constexpr double kDecibelsPerNeper = 10.0 / std::numbers::ln10;                  // 10 / ln 10
constexpr double kBinHz = static_cast<double>(kSampleRate) / kMeasureFftLength;  // 31.25 Hz

// clang-format off
constexpr std::array<SpectralMeasureInfo, kSpectralMeasureCount> kInfo{{
    {"lsdLp",            "LSD-LP",   "dB", "lsd_lp_db"},
    {"cepstralDistance", "CD",       "dB", "cepstral_distance_db"},
    {"lsdFft",           "LSD-FFT",  "dB", "lsd_fft_db"},
    {"llr",              "LLR",      "",   "llr"},
    {"itakuraSaito",     "IS",       "",   "itakura_saito"},
    {"fwSegSnr",         "fwSNRseg", "dB", "fw_seg_snr_db"},
}};

// Centres and widths (Hz) of the 25 critical bands below 4 kHz of the
// frequency-weighted segmental SNR as Hu and Loizou evaluate it (Y. Hu and
// P. C. Loizou, "Evaluation of objective quality measures for speech
// enhancement", IEEE Trans. Audio, Speech, Lang. Process. 16(1), 2008; P. C.
// Loizou, "Speech Enhancement: Theory and Practice", CRC Press, 2007): 70 Hz
// wide up to 470 Hz, then each about 10 % wider than the last.
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

using Envelope = std::array<double, kEnvelopePoints>;       // |A(e^jw_k)|^2
using PowerSpectrum = std::array<double, kMeasureFftBins>;  // |X(k)|^2

struct BandFilter {
    int first = 0;  // bins first..last carry the filter
    int last = -1;
    std::array<double, kMeasureFftBins> F{};
};

// The constant tables of the analyses, made once.
struct MeasureTables {
    Signal hamming{};  // 0.54 - 0.46 cos(2 pi n / 159)
    Signal hann{};     // 0.5 - 0.5 cos(2 pi n / 159)
    // cos(m w_k), m = 0..10, k = 0..256: |A|^2 from the autocorrelation of a.
    std::array<std::array<double, kEnvelopePoints>, kLpCoeffs> envelopeCos{};
    // F_j(k) = exp(-11 ((f_k - centre_j) / width_j)^2), zero below kBandFloorRatio:
    // the Gaussian band filters of the same measure (the sources above).
    std::array<BandFilter, kCriticalBands> bands{};
};

const MeasureTables& tables() {
    static const MeasureTables t = [] {
        MeasureTables m;
        for (int n = 0; n < kFrameSamples; ++n) {
            const double c = std::cos(2.0 * std::numbers::pi * n / (kFrameSamples - 1));
            m.hamming[n] = 0.54 - 0.46 * c;
            m.hann[n] = 0.5 - 0.5 * c;
        }
        for (int i = 0; i < kLpCoeffs; ++i)
            for (int k = 0; k < kEnvelopePoints; ++k)
                m.envelopeCos[i][k] = std::cos(i * std::numbers::pi * k / (kEnvelopePoints - 1));
        for (int j = 0; j < kCriticalBands; ++j) {
            BandFilter& band = m.bands[j];
            band.first = kMeasureFftBins;
            for (int k = 0; k < kMeasureFftBins; ++k) {
                const double x = (k * kBinHz - kBandTable[j].centre) / kBandTable[j].width;
                const double g = std::exp(-11.0 * x * x);
                if (g < kBandFloorRatio) continue;
                band.F[k] = g;
                band.first = std::min(band.first, k);
                band.last = k;
            }
        }
        return m;
    }();
    return t;
}

bool allZeros(std::span<const double> x) {
    return std::all_of(x.begin(), x.end(), [](double v) { return v == 0.0; });
}

// Nothing when the frame is all zeros or the recursion leaves no positive
// prediction error (a frame too regular for an order-10 model).
std::optional<LpModel> lpModel(MeasureFrame x) {
    if (allZeros(x)) return std::nullopt;
    const Signal& w = tables().hamming;
    std::array<double, kFrameSamples> windowed{};
    for (int n = 0; n < kFrameSamples; ++n) windowed[n] = w[n] * x[n];
    return lpModelOfWindowed(windowed);
}

// |A(e^jw_k)|^2 = rho(0) + 2 sum_{m=1}^{10} rho(m) cos(m w_k).
Envelope inverseEnvelopeOf(const LpModel& model) {
    const auto& cosines = tables().envelopeCos;
    Envelope A2;
    A2.fill(model.rho[0]);
    for (int m = 1; m < kLpCoeffs; ++m)
        for (int k = 0; k < kEnvelopePoints; ++k) A2[k] += model.rho[m] * cosines[m][k];
    return A2;
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

// a R a^T with R the Toeplitz matrix of r: sum_i sum_j a_i a_j r(|i - j|)
// = rho(0) r(0) + 2 sum_{m=1}^{10} rho(m) r(m), with a and rho of `model`.
double quadraticForm(const LpModel& model, const Autocorrelation& r) {
    double sum = 0.0;
    for (int m = 0; m < kLpCoeffs; ++m) sum += model.rho[m] * r[m];
    return sum;
}

// The power spectra of both frames.
struct SpectrumPair {
    PowerSpectrum s;
    PowerSpectrum out;
};

// Both spectra from one complex FFT of z = s_w + j out_w: with Z(k) its
// transform, S(k) = (Z(k) + Z*(N - k)) / 2 and O(k) = (Z(k) - Z*(N - k)) / 2j.
// Nothing when either windowed frame is all zeros (the Hann window is zero
// at both ends, so a frame with samples only there counts as silent).
std::optional<SpectrumPair> spectraOf(MeasureFrame s, MeasureFrame out) {
    std::array<double, kMeasureFftLength> re{};
    std::array<double, kMeasureFftLength> im{};
    const Signal& w = tables().hann;
    for (int n = 0; n < kFrameSamples; ++n) {
        re[n] = w[n] * s[n];
        im[n] = w[n] * out[n];
    }
    if (allZeros(std::span(re).first(kFrameSamples)) ||
        allZeros(std::span(im).first(kFrameSamples)))
        return std::nullopt;
    const int dims[] = {kMeasureFftLength};
    fftn(1, dims, re.data(), im.data(), -1, 0.0);
    SpectrumPair pair;
    if (std::equal(s.begin(), s.end(), out.begin())) {
        // Equal frames: one spectrum, so that their distances are exactly zero.
        for (int k = 0; k < kMeasureFftBins; ++k) pair.s[k] = 0.5 * (re[k] * re[k] + im[k] * im[k]);
        pair.out = pair.s;
        return pair;
    }
    for (int k = 0; k < kMeasureFftBins; ++k) {
        const int mirror = (kMeasureFftLength - k) % kMeasureFftLength;
        const double sRe = re[k] + re[mirror], sIm = im[k] - im[mirror];  // 2 S(k)
        const double oRe = im[k] + im[mirror], oIm = re[mirror] - re[k];  // 2 O(k)
        pair.s[k] = 0.25 * (sRe * sRe + sIm * sIm);
        pair.out[k] = 0.25 * (oRe * oRe + oIm * oIm);
    }
    return pair;
}

// sqrt(mean over k of (10 log10 x_k - 10 log10 y_k)^2), the log of each ratio.
template <std::size_t N>
double logSpectralDistance(const std::array<double, N>& x, const std::array<double, N>& y) {
    double sum = 0.0;
    for (std::size_t k = 0; k < N; ++k) {
        const double d = kDecibelsPerNeper * std::log(x[k] / y[k]);
        sum += d * d;
    }
    return std::sqrt(sum / N);
}

// The bins, each at least the spectrum's peak times kPowerFloorRatio.
PowerSpectrum floored(const PowerSpectrum& power) {
    const double floor = *std::max_element(power.begin(), power.end()) * kPowerFloorRatio;
    PowerSpectrum bins;
    for (int k = 0; k < kMeasureFftBins; ++k) bins[k] = std::max(power[k], floor);
    return bins;
}

// P_s / P_out = (E_s |A_out|^2) / (E_out |A_s|^2) at every w_k.
double lsdLpOf(const LpModel& s, const LpModel& out) {
    Envelope Ps = inverseEnvelopeOf(out);  // E_s |A_out|^2
    Envelope Pout = inverseEnvelopeOf(s);  // E_out |A_s|^2
    for (int k = 0; k < kEnvelopePoints; ++k) {
        Ps[k] *= s.E;
        Pout[k] *= out.E;
    }
    return logSpectralDistance(Ps, Pout);
}

double cepstralDistanceOf(const LpModel& s, const LpModel& out) {
    const auto cs = cepstrumOf(s.a);
    const auto co = cepstrumOf(out.a);
    double sum = 0.0;
    for (int k = 1; k <= kLpCepstrumLength; ++k) sum += (cs[k] - co[k]) * (cs[k] - co[k]);
    return kDecibelsPerNeper * std::sqrt(2.0 * sum);
}

// No value when either spectrum's floor underflows to zero: its empty bins
// have no logarithm.
std::optional<double> lsdFftOf(const SpectrumPair& spectra) {
    const PowerSpectrum s = floored(spectra.s);
    const PowerSpectrum out = floored(spectra.out);
    if (*std::min_element(s.begin(), s.end()) == 0.0 ||
        *std::min_element(out.begin(), out.end()) == 0.0)
        return std::nullopt;
    return logSpectralDistance(s, out);
}

// a_out R_s a_out^T / a_s R_s a_s^T: at least 1, the clean frame's own
// predictor being the one that minimises the form.
double predictionRatio(const LpModel& s, const LpModel& out) {
    return quadraticForm(out, s.r) / quadraticForm(s, s.r);
}

double llrOf(const LpModel& s, const LpModel& out) {
    return std::clamp(std::log(predictionRatio(s, out)), 0.0, kLlrMax);
}

double itakuraSaitoOf(const LpModel& s, const LpModel& out) {
    const double gains = quadraticForm(s, s.r) / quadraticForm(out, out.r);  // E_s / E_out
    const double is = gains * predictionRatio(s, out) - std::log(gains) - 1.0;
    return std::clamp(is, 0.0, kItakuraSaitoMax);
}

// The magnitude spectrum, its bins summing to 1, in the critical bands.
std::array<double, kCriticalBands> bandMagnitudes(const PowerSpectrum& power) {
    PowerSpectrum magnitude;
    for (int k = 0; k < kMeasureFftBins; ++k) magnitude[k] = std::sqrt(power[k]);
    double total = 0.0;
    for (double m : magnitude) total += m;
    std::array<double, kCriticalBands> bands{};
    for (int j = 0; j < kCriticalBands; ++j) {
        const BandFilter& band = tables().bands[j];
        double sum = 0.0;
        for (int k = band.first; k <= band.last; ++k) sum += band.F[k] * magnitude[k];
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
double fwSegSnrOf(const SpectrumPair& spectra) {
    const auto X = bandMagnitudes(spectra.s);
    const auto Y = bandMagnitudes(spectra.out);
    double weighted = 0.0;
    double weights = 0.0;
    for (int j = 0; j < kCriticalBands; ++j) {
        const double W = std::pow(X[j], kBandWeightExponent);
        weighted += W * bandSnr(X[j], Y[j]);
        weights += W;
    }
    return weights > 0.0 ? weighted / weights : kBandSnrMin;
}

// A value that is no finite number is no value.
std::optional<double> finite(std::optional<double> value) {
    if (value && !std::isfinite(*value)) return std::nullopt;
    return value;
}

template <class Model, class Measure>
std::optional<double> between(const std::optional<Model>& s, const std::optional<Model>& out,
                              Measure measure) {
    if (!s || !out) return std::nullopt;
    return finite(measure(*s, *out));
}

template <class Measure>
std::optional<double> ofSpectra(const std::optional<SpectrumPair>& spectra, Measure measure) {
    if (!spectra) return std::nullopt;
    return finite(measure(*spectra));
}

// clang-format off
constexpr std::array<FileMeasureInfo, kFileMeasureCount> kFileInfo{{
    {"fwSegSnrHl",         "fwSNRseg HL", "dB", "fw_seg_snr_hl_db",        2},
    {"cepstralDistanceHl", "CD HL",       "dB", "cepstral_distance_hl_db", 2},
    {"llrHl",              "LLR HL",      "",   "llr_hl",                  3},
    {"itakuraSaitoHl",     "IS HL",       "",   "itakura_saito_hl",        3},
    {"stoi",               "STOI",        "",   "stoi",                    4},
    {"estoi",              "ESTOI",       "",   "estoi",                   4},
}};
// clang-format on

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
    return ofSpectra(spectraOf(s, out), lsdFftOf);
}

std::optional<double> llr(MeasureFrame s, MeasureFrame out) {
    return between(lpModel(s), lpModel(out), llrOf);
}

std::optional<double> itakuraSaito(MeasureFrame s, MeasureFrame out) {
    return between(lpModel(s), lpModel(out), itakuraSaitoOf);
}

std::optional<double> fwSegSnr(MeasureFrame s, MeasureFrame out) {
    return ofSpectra(spectraOf(s, out), fwSegSnrOf);
}

FrameMeasures measureFrame(MeasureFrame s, MeasureFrame out) {
    FrameMeasures values;
    const std::optional<LpModel> lpS = lpModel(s);
    const std::optional<LpModel> lpOut = lpModel(out);
    const std::optional<SpectrumPair> spectra = spectraOf(s, out);
    auto set = [&](SpectralMeasure measure, std::optional<double> value) {
        values[static_cast<std::size_t>(measure)] = value;
    };
    set(SpectralMeasure::lsdLp, between(lpS, lpOut, lsdLpOf));
    set(SpectralMeasure::cepstralDistance, between(lpS, lpOut, cepstralDistanceOf));
    set(SpectralMeasure::lsdFft, ofSpectra(spectra, lsdFftOf));
    set(SpectralMeasure::llr, between(lpS, lpOut, llrOf));
    set(SpectralMeasure::itakuraSaito, between(lpS, lpOut, itakuraSaitoOf));
    set(SpectralMeasure::fwSegSnr, ofSpectra(spectra, fwSegSnrOf));
    return values;
}

FrameMeasures measureRecord(const FrameRecord& record, SaveOption output) {
    if (record.inputSilent) return {};
    const Signal& out =
        output == SaveOption::postProcessed ? record.postProcessedSpeech : record.synthesizedSpeech;
    return measureFrame(record.speech, out);
}

Signal writtenOutput(const FrameRecord& record, SaveOption output) {
    const Signal& out =
        output == SaveOption::postProcessed ? record.postProcessedSpeech : record.synthesizedSpeech;
    Signal written;
    for (int n = 0; n < kFrameSamples; ++n) written[n] = toSample(out[n]);
    return written;
}

FrameMeasures measureWrittenRecord(const FrameRecord& record, SaveOption output) {
    if (record.inputSilent) return {};
    return measureFrame(record.speech, writtenOutput(record, output));
}

const FileMeasureInfo& infoOf(FileMeasure measure) {
    return kFileInfo[static_cast<std::size_t>(measure)];
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

void MeasureMeans::addFile(const FileFigures& file) {
    for (std::size_t i = 0; i < kFileMeasureCount; ++i) {
        if (!file[i]) continue;
        fileSums_[i] += *file[i];
        ++fileCounts_[i];
    }
}

std::optional<double> MeasureMeans::mean(FileMeasure measure) const {
    const auto i = static_cast<std::size_t>(measure);
    if (fileCounts_[i] == 0) return std::nullopt;
    return fileSums_[i] / fileCounts_[i];
}

void MeasureMeans::merge(const MeasureMeans& other) {
    for (std::size_t i = 0; i < kSpectralMeasureCount; ++i) {
        sums_[i] += other.sums_[i];
        counts_[i] += other.counts_[i];
    }
    for (std::size_t i = 0; i < kFileMeasureCount; ++i) {
        fileSums_[i] += other.fileSums_[i];
        fileCounts_[i] += other.fileCounts_[i];
    }
}

void RunMeasures::add(const FrameRecord& record) {
    const Signal written = writtenOutput(record, output_);
    static constexpr Signal kSilence{};
    means_.add(record.inputSilent ? FrameMeasures{} : measureFrame(record.speech, written));
    const Signal& reference = record.inputSilent ? kSilence : record.speech;
    reference_.insert(reference_.end(), reference.begin(), reference.end());
    degraded_.insert(degraded_.end(), written.begin(), written.end());
}

const MeasureMeans& RunMeasures::finish() {
    if (!finished_) {
        const std::vector<double> x(reference_.begin(), reference_.end());
        const std::vector<double> y(degraded_.begin(), degraded_.end());
        means_.addFile(fileFigures(x, y));
    }
    finished_ = true;
    return means_;
}

FileFigures fileFigures(std::span<const double> reference, std::span<const double> degraded) {
    const PublishedDistances hl = publishedDistances(reference, degraded);
    const Intelligibility i = intelligibility(reference, degraded);
    return {hl.fwSegSnr, hl.cepstralDistance, hl.llr, hl.itakuraSaito, i.stoi, i.estoi};
}

FrameMeasures MeasureMeans::means() const {
    FrameMeasures values;
    for (SpectralMeasure measure : kAllSpectralMeasures)
        values[static_cast<std::size_t>(measure)] = mean(measure);
    return values;
}

std::optional<LpModel> lpModelOfWindowed(std::span<const double> windowed) {
    // All lags at once, sample by sample: eleven independent sums (the terms
    // before the frame's start are zero and left out).
    LpModel model;
    const int length = static_cast<int>(windowed.size());
    for (int n = 0; n < length; ++n)
        for (int k = 0; k < kLpCoeffs && k <= n; ++k) model.r[k] += windowed[n] * windowed[n - k];
    std::array<double, kLpCoeffs + 1> out{};
    levinsonDurbin(model.r, out);
    std::copy_n(out.begin(), kLpCoeffs, model.a.begin());
    model.E = out[kLpCoeffs];
    if (!(model.E > 0.0)) return std::nullopt;
    for (int m = 0; m < kLpCoeffs; ++m) {
        for (int i = 0; i + m < kLpCoeffs; ++i) model.rho[m] += model.a[i] * model.a[i + m];
        if (m > 0) model.rho[m] *= 2.0;
    }
    return model;
}

}  // namespace zorvel
