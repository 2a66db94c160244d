// Four spectral distances of a whole recording at 8 kHz against its clean
// reference, as Hu and Loizou computed them to compare speech enhancement
// methods (Y. Hu and P. C. Loizou, "Evaluation of objective quality measures
// for speech enhancement", IEEE Trans. Audio, Speech, Lang. Process. 16(1),
// 2008), so that they can be set beside published tables. They differ from
// the per-frame distances of FrameDistances.h (20 ms frames, plain means) in
// the frames and in how a file's figure is made of them:
//
//   frames   240 samples (30 ms), one starting every 60 samples (75 %
//            overlap), every frame that fits in the shorter recording; each
//            times the Hanning window w(n) = 0.5 - 0.5 cos(2 pi (n + 1) / 241),
//            n = 0..239, which is zero only beyond both ends;
//   LP model of a windowed frame: r(0..10), Levinson-Durbin, A(z) and E;
//   fwSegSnr dB, frequency-weighted segmental SNR: |X(k)|, k = 0..256, of the
//            frame zero-padded to 512 points, divided by its sum over k; band
//            values X_j = sum_k F_j(k) |X(k)| over the 25 Gaussian critical
//            band filters F_j(k) = exp(-11 ((15.625 k - f_j) / b_j)^2) of
//            FrameDistances.h (zero below 10^-3); per frame
//            sum_j W_j 10 log10(X_j^2 / (X_j - Y_j)^2) / sum_j W_j with
//            W_j = X_j^0.2 (bands where X_j = 0 weigh nothing), then clamped
//            to [-10, 35] dB: the clamp is of the frame's weighted value, not
//            of each band. A band where X_j = Y_j > 0 makes the frame 35; a
//            frame with nothing in any band, -10. The file figure: the mean
//            over the frames;
//   cepstralDistance dB, (10 / ln 10) sqrt(2 sum_{k=1..10} (c_s(k) - c_y(k))^2)
//            over the cepstra of 1 / A of either frame, capped at 10; the mean
//            over the frames;
//   llr      ln(a_y R_s a_y^T / a_s R_s a_s^T) clamped to [0, 2];
//   itakuraSaito (E_s / E_y)(a_y R_s a_y^T / a_s R_s a_s^T) + ln(E_y / E_s) - 1
//            clamped to [0, 100]; of these two the file figure is the mean of
//            the frames left when the worst 5 % are dropped: of M frames with
//            a value, the M / 20 (rounded down) largest.
//
// As everywhere in this system, a frame where either recording is all zeros
// has no value, nor has one whose LP recursion leaves no positive prediction
// error (for the LP measures), nor a value that is not a finite number; a
// recording with no frame of value has no figure (std::nullopt).
#pragma once

#include <cstddef>
#include <optional>
#include <span>

namespace zorvel {

inline constexpr int kPublishedFrame = 240;  // samples, 30 ms at 8 kHz
inline constexpr int kPublishedHop = 60;     // samples: 75 % overlap
inline constexpr int kPublishedFft = 512;
inline constexpr int kPublishedBins = kPublishedFft / 2 + 1;  // 0 Hz .. 4 kHz
inline constexpr int kPublishedCepstrum = 10;                 // c(1..10)
inline constexpr double kPublishedCepstralMax = 10.0;         // dB
inline constexpr double kFrameSnrMin = -10.0;  // dB, fwSegSnr's clamps of a frame's value
inline constexpr double kFrameSnrMax = 35.0;
inline constexpr std::size_t kTrimmedShare = 20;  // llr, itakuraSaito: 1 frame in 20 dropped

struct PublishedDistances {
    std::optional<double> fwSegSnr;
    std::optional<double> cepstralDistance;
    std::optional<double> llr;
    std::optional<double> itakuraSaito;
};

// The four figures of `degraded` against `reference`, both at 8 kHz, cut to
// the shorter of the two.
PublishedDistances publishedDistances(std::span<const double> reference,
                                      std::span<const double> degraded);

// The frames of a recording of `length` samples.
std::size_t publishedFrameCount(std::size_t length);

}  // namespace zorvel
