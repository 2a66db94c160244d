// Spectral and perceptually weighted distances between one 160-sample frame of
// the input s(n) and the same frame of an output (s'(n) or sp(n)). Each is a
// plain function of the two frames; none is part of the coder's run: the
// exports and displays that show them compute them from the records.
//
// A frame where either signal is all zeros has no value (std::nullopt), and
// such frames stay out of a file's mean (MeasureMeans); so has a frame whose
// input as read was silent (FrameRecord::inputSilent), whatever filter
// followed, and a measure whose value would not be a finite number (spectra
// too faint for lsdFft's floor, which underflows to zero below a peak of
// about 5e-314, or ratios beyond the range of doubles). No value is never NaN
// or an infinity.
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
#include <vector>

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

// The order-10 LP model of a windowed frame: its autocorrelations r(0..10)
// (each summed over n ascending), A(z) and the prediction error E by the
// Levinson-Durbin recursion, and rho(0), 2 rho(1), ..., 2 rho(10), rho the
// autocorrelation of a0..a10, so that a R a^T = sum rho(m) r(m). Nothing
// when E is not positive. Shared by the 20 ms distances and the published
// 30 ms ones.
struct LpModel {
    std::array<double, kLpCoeffs> r{};
    LpCoeffs a{};
    double E = 0.0;
    std::array<double, kLpCoeffs> rho{};
};
std::optional<LpModel> lpModelOfWindowed(std::span<const double> windowed);

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
// s'(n) (SaveOption::synthesized) or sp(n) (SaveOption::postProcessed), as
// doubles. None when the input as read was silent.
FrameMeasures measureRecord(const FrameRecord& record, SaveOption output);

// The output of a record as the WAV file holds it: s'(n) or sp(n), each
// sample truncated and clipped to 16 bits as the encoding run writes it.
Signal writtenOutput(const FrameRecord& record, SaveOption output);

// The six between a record's input s(n) and its output as written
// (writtenOutput): what a run's file figures are taken from, so that they
// can be redone from the output file. None when the input as read was silent.
FrameMeasures measureWrittenRecord(const FrameRecord& record, SaveOption output);

// The figures of a whole file, once it is in: the four distances as Hu and
// Loizou computed them (PublishedDistances.h; labelled " HL"), then STOI and
// ESTOI (Intelligibility.h).
enum class FileMeasure { fwSegSnrHl, cepstralDistanceHl, llrHl, itakuraSaitoHl, stoi, estoi };
inline constexpr std::size_t kFileMeasureCount = 6;
inline constexpr std::array kAllFileMeasures{
    FileMeasure::fwSegSnrHl, FileMeasure::cepstralDistanceHl,
    FileMeasure::llrHl,      FileMeasure::itakuraSaitoHl,
    FileMeasure::stoi,       FileMeasure::estoi};
static_assert(kAllFileMeasures.size() == kFileMeasureCount);

// A file measure's key in exports, label in tables, unit ("" when it has
// none), CSV column, and the decimals of the aligned tables.
struct FileMeasureInfo {
    std::string_view key;      // fwSegSnrHl, ..., stoi, estoi
    std::string_view label;    // fwSNRseg HL, ..., STOI, ESTOI
    std::string_view unit;     // "dB" or ""
    std::string_view csvName;  // fw_seg_snr_hl_db, ..., stoi, estoi
    int decimals;
};
const FileMeasureInfo& infoOf(FileMeasure measure);

// The file figures of one recording, indexed by FileMeasure.
using FileFigures = std::array<std::optional<double>, kFileMeasureCount>;

// All of them between two recordings at 8 kHz, cut to the shorter. Throws
// FileError when libsoxr cannot resample them (intelligibility).
FileFigures fileFigures(std::span<const double> reference, std::span<const double> degraded);

// Per file: the mean of each measure over the frames that have a value, and
// the file figures. Over several files (merge): the means over all their
// frames, and each file figure's mean over the files that have one.
class MeasureMeans {
  public:
    void add(const FrameMeasures& frame);
    void addFile(const FileFigures& file);
    // Nothing when no frame had a value.
    std::optional<double> mean(SpectralMeasure measure) const;
    int count(SpectralMeasure measure) const { return counts_[static_cast<std::size_t>(measure)]; }
    FrameMeasures means() const;
    // Nothing when no file had a value.
    std::optional<double> mean(FileMeasure measure) const;
    // Takes in the frames of another file: the means of both together.
    void merge(const MeasureMeans& other);

  private:
    std::array<double, kSpectralMeasureCount> sums_{};
    std::array<int, kSpectralMeasureCount> counts_{};
    std::array<double, kFileMeasureCount> fileSums_{};
    std::array<int, kFileMeasureCount> fileCounts_{};
};

// What --measures reports of one run, gathered from each record as the run
// writes its frame: the distances of every frame against the output as
// written, and both signals for the file figures (the input counted as zeros
// where it was silent as read). Both are held as 32-bit floats (8 bytes per
// sample pair, 64 kB per second at 8 kHz): the silent frames STOI drops are
// known only once the loudest is.
class RunMeasures {
  public:
    explicit RunMeasures(SaveOption output) : output_(output) {}
    void add(const FrameRecord& record);
    // The means and the file figures, computed at the first call.
    const MeasureMeans& finish();

  private:
    SaveOption output_;
    MeasureMeans means_;
    std::vector<float> reference_;
    std::vector<float> degraded_;
    bool finished_ = false;
};

}  // namespace zorvel
