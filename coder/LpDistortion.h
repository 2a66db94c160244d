// Spectral distortion: how far a quantised LP filter's spectrum lies from the
// unquantised one. With P(w) = 1 / |A(e^jw)|^2 (the gain left out: the line
// spectral frequencies do not carry it),
//   SD = sqrt(mean over k of (10 log10 P_a(w_k) - 10 log10 P_b(w_k))^2)  [dB]
// over the grid w_k = pi k / 256, k = 0..192: 0 to 3000 Hz in steps of
// 15.625 Hz, 193 points. A file is summed up by its mean and the shares of
// its frames with 2 < SD <= 4 dB and with SD > 4 dB, the outliers by which
// Paliwal and Atal (1993) judge LP quantisers ("transparent": a mean of about
// 1 dB, under 2 % of frames at 2-4 dB, almost none above 4 dB).
#pragma once

#include <cstdint>

#include "coder/Frame.h"

namespace zorvel {

inline constexpr int kSpectralDistortionPoints = 193;  // w_k, k = 0..192
inline constexpr double kSpectralDistortionTopHz = 3000.0;
inline constexpr double kOutlierDb = 2.0;       // above: an outlier
inline constexpr double kLargeOutlierDb = 4.0;  // above: a large one

// SD in dB between the spectra of A_a(z) and A_b(z), both of order 10.
double spectralDistortion(const LpCoeffs& a, const LpCoeffs& b);

// The statistics of the SDs of many frames.
class SpectralDistortionStatistics {
  public:
    void add(double sd);
    void add(const SpectralDistortionStatistics& other);

    std::int64_t frames() const { return frames_; }
    double mean() const;          // 0 without frames
    double outlierShare() const;  // of frames with 2 < SD <= 4 dB, 0..1
    double largeShare() const;    // of frames with SD > 4 dB, 0..1
    double maximum() const { return maximum_; }

  private:
    std::int64_t frames_ = 0;
    std::int64_t outliers_ = 0;
    std::int64_t large_ = 0;
    double sum_ = 0.0;
    double maximum_ = 0.0;
};

}  // namespace zorvel
