// Spectral and perceptually weighted distances between one 160-sample frame of
// the input s(n) and the same frame of an output (s'(n) or sp(n)). Each is a
// plain function of the two frames; none is part of the coder's run: the
// exports and displays that show them compute them from the records.
//
// A frame where either signal is all zeros has no value (std::nullopt), and
// such frames stay out of a file's mean (MeasureMeans).
//
//   lsdLp            dB, log-spectral distance of the order-10 LP envelopes
//                    E / |A(e^jw)|^2 of the Hamming-windowed frames, at
//                    w_k = pi k / 256, k = 0..256
//   cepstralDistance dB, (10 / ln 10) sqrt(2 sum_{k=1..16} (c_s(k) - c_out(k))^2)
//                    over the LP cepstra of the same filters, gain left out
//   lsdFft           dB, the log-spectral distance of the 256-point power
//                    spectra of the Hann-windowed frames, bins 0..128
//   llr              log-likelihood ratio ln(a_out R_s a_out^T / a_s R_s a_s^T),
//                    clamped to [0, 2]
//   itakuraSaito     (E_s / E_out)(a_out R_s a_out^T / a_s R_s a_s^T)
//                    + ln(E_out / E_s) - 1, clamped to [0, 100]
//   fwSegSnr         dB, frequency-weighted SNR over 25 critical bands up to
//                    4 kHz, band values clamped to [-10, 35], weights X_j^0.2
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

#include "coder/Frame.h"
#include "coder/SpeechCoder.h"

namespace zorvel {

enum class SpectralMeasure { lsdLp, cepstralDistance, lsdFft, llr, itakuraSaito, fwSegSnr };
inline constexpr std::size_t kSpectralMeasureCount = 6;

inline constexpr std::array kAllSpectralMeasures{
    SpectralMeasure::lsdLp, SpectralMeasure::cepstralDistance, SpectralMeasure::lsdFft,
    SpectralMeasure::llr,   SpectralMeasure::itakuraSaito,     SpectralMeasure::fwSegSnr};
static_assert(kAllSpectralMeasures.size() == kSpectralMeasureCount);

// What each measure is called where it is seen: its key in exports, a short
// label for tables and charts, and its unit ("" when it has none).
struct SpectralMeasureInfo {
    std::string_view key;      // lsdLp, cepstralDistance, ...: frames' keys and columns
    std::string_view label;    // LSD-LP, CD, ...
    std::string_view unit;     // "dB" or ""
    std::string_view csvName;  // the result tables' CSV columns: lsd_lp_db, ...
};
const SpectralMeasureInfo& infoOf(SpectralMeasure measure);

inline constexpr int kLpCepstrumLength = 16;   // c(1..16)
inline constexpr int kEnvelopePoints = 257;    // w_k = pi k / 256, k = 0..256
inline constexpr int kMeasureFftLength = 256;  // the power spectra of lsdFft and fwSegSnr
inline constexpr int kMeasureFftBins = 129;    // bins 0..128: 0 Hz .. 4 kHz
inline constexpr double kPowerFloorRatio =
    1e-10;  // lsdFft: bins below peak * ratio (-100 dB) count as that
inline constexpr double kLlrMax = 2.0;
inline constexpr double kItakuraSaitoMax = 100.0;
inline constexpr double kBandSnrMin = -10.0;  // dB, fwSegSnr's clamps of a band's SNR
inline constexpr double kBandSnrMax = 35.0;
inline constexpr double kBandWeightExponent = 0.2;  // gamma of the weights X_j^gamma
inline constexpr int kCriticalBands = 25;
inline constexpr double kBandFloorRatio = 1e-3;  // a band's filter is zero below -30 dB

// The critical bands of fwSegSnr: centre and width in Hz.
struct CriticalBand {
    double centre;
    double width;
};
const std::array<CriticalBand, kCriticalBands>& criticalBands();

using MeasureFrame = std::span<const double, kFrameSamples>;

std::optional<double> lsdLp(MeasureFrame s, MeasureFrame out);
std::optional<double> cepstralDistance(MeasureFrame s, MeasureFrame out);
std::optional<double> lsdFft(MeasureFrame s, MeasureFrame out);
std::optional<double> llr(MeasureFrame s, MeasureFrame out);
std::optional<double> itakuraSaito(MeasureFrame s, MeasureFrame out);
std::optional<double> fwSegSnr(MeasureFrame s, MeasureFrame out);

// The six values of one frame, indexed by SpectralMeasure.
using FrameMeasures = std::array<std::optional<double>, kSpectralMeasureCount>;

inline std::optional<double> valueOf(const FrameMeasures& values, SpectralMeasure measure) {
    return values[static_cast<std::size_t>(measure)];
}

// All six at once, each analysis made once; the same values as the single
// functions.
FrameMeasures measureFrame(MeasureFrame s, MeasureFrame out);

// The six between a record's input s(n) and the output a run would write:
// s'(n) (SaveOption::synthesized) or sp(n) (SaveOption::postProcessed).
FrameMeasures measureRecord(const FrameRecord& record, SaveOption output);

// Per file: the mean of each measure over the frames that have a value.
class MeasureMeans {
  public:
    void add(const FrameMeasures& frame);
    // Nothing when no frame had a value.
    std::optional<double> mean(SpectralMeasure measure) const;
    int count(SpectralMeasure measure) const { return counts_[static_cast<std::size_t>(measure)]; }
    FrameMeasures means() const;
    // Takes in the frames of another file: the means of both together.
    void merge(const MeasureMeans& other);

  private:
    std::array<double, kSpectralMeasureCount> sums_{};
    std::array<int, kSpectralMeasureCount> counts_{};
};

}  // namespace zorvel
