// Objective intelligibility of a degraded recording against its clean
// reference, as two file figures:
//
//   stoi   short-time objective intelligibility (C. H. Taal, R. C. Hendriks,
//          R. Heusdens, J. Jensen, "An algorithm for intelligibility
//          prediction of time-frequency weighted noisy speech", IEEE Trans.
//          Audio, Speech, Lang. Process. 19(7), 2011);
//   estoi  its extended form (J. Jensen, C. H. Taal, "An algorithm for
//          predicting the intelligibility of speech masked by modulated noise
//          maskers", IEEE/ACM Trans. Audio, Speech, Lang. Process. 24(11), 2016).
//
// Both signals are resampled to 10 kHz (libsoxr) and cut into 256-sample
// frames with 50 % overlap under a Hann window; the frames whose reference
// energy lies 40 dB or more below the loudest reference frame are dropped
// from both and the rest overlap-added again. Their 512-point spectra are
// summed in 15 one-third-octave bands from 150 Hz (band j centred on
// 150 * 2^(j/3) Hz) into envelopes X_j(m) = sqrt(sum |X(k, m)|^2), taken in
// segments of N = 30 frames (384 ms), one ending at every frame from the 30th.
//   STOI: per band and segment, y scaled to the energy of x and clipped to
//     (1 + 10^(-beta/20)) x with beta = -15 dB, then the correlation
//     coefficient of the two; the mean over bands and segments.
//   ESTOI: per segment, each band's row of either signal made zero-mean and
//     unit-norm over time, then each frame's column zero-mean and unit-norm
//     over the bands, without clipping; the mean over the columns of the
//     inner products of x's and y's columns, and over the segments.
// Identical signals give exactly 1. A pair of vectors that are equal
// correlates 1; a pair where one vector has no variation (a zero norm once
// its mean is gone) and the other differs from it counts 0.
//
// A recording has no value ("no value", std::nullopt) when the reference is
// all zeros or fewer than 30 frames remain after the silent ones are dropped.
#pragma once

#include <optional>
#include <span>
#include <vector>

#include "coder/Frame.h"

namespace zorvel {

inline constexpr double kIntelligibilityRate = 10000.0;  // Hz, the rate both are taken at
inline constexpr int kIntelligibilityFrame = 256;        // samples at 10 kHz
inline constexpr int kIntelligibilityHop = kIntelligibilityFrame / 2;
inline constexpr int kIntelligibilityFft = 512;
inline constexpr int kIntelligibilityBins = kIntelligibilityFft / 2 + 1;  // 0..5 kHz
inline constexpr int kThirdOctaveBands = 15;
inline constexpr double kLowestBandCentre = 150.0;  // Hz
inline constexpr int kSegmentFrames = 30;           // N
inline constexpr double kClipBeta = -15.0;          // dB, STOI's lower bound of the SDR
inline constexpr double kSilenceRange = 40.0;       // dB below the loudest frame

struct Intelligibility {
    std::optional<double> stoi;
    std::optional<double> estoi;
};

// Both figures of `degraded` against `reference`, two recordings at `rate` Hz
// cut to the shorter of the two. Throws FileError when libsoxr cannot
// resample them.
Intelligibility intelligibility(std::span<const double> reference, std::span<const double> degraded,
                                double rate = kSampleRate);

// The [low, high) bins of one-third-octave band j of the 512-point spectrum
// at 10 kHz: the bins nearest to the band's edges 150 * 2^((2j -+ 1)/6) Hz.
struct BandBins {
    int low;
    int high;
};
BandBins thirdOctaveBand(int j);

}  // namespace zorvel
