// The file figures between any two recordings at 8 kHz, a clean reference
// and a degraded version of it (another codec's output, say), as a coding
// run with --measures reports them of its input and output: the segmental
// and overall SNR and the six spectral distances over 160-sample frames, and
// STOI and ESTOI of the whole recordings.
//
// The two are first lined up: the degraded one delayed by `delay` samples
// (its first `delay` samples dropped; a negative delay drops the reference's
// first -delay samples instead), then both cut to the shorter length. The
// frame figures take the whole frames of that length (a partial last frame
// is left out), with the coder's rules: a frame whose reference is all zeros
// counts 0 dB in the segmental SNR and has no distances; STOI and ESTOI take
// every sample.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "coder/FrameDistances.h"

namespace zorvel {

struct RecordingComparison {
    std::int64_t delay = 0;     // samples, as applied
    std::int64_t samples = 0;   // compared, after the cut
    int frames = 0;             // whole 160-sample frames among them
    double segmentalSnr = 0.0;  // dB, the mean of the frame SNRs
    double overallSnr = 0.0;    // dB, from the energy totals
    MeasureMeans measures;      // the distances' means and STOI, ESTOI
};

RecordingComparison compareRecordings(std::span<const double> reference,
                                      std::span<const double> degraded, std::int64_t delay = 0);

// The longest delay alignDelay looks for: one second either way.
inline constexpr std::int64_t kMaxAlignDelay = kSampleRate;

// The samples of each recording alignDelay looks at: the first minute.
inline constexpr std::size_t kAlignSamples = 60 * kSampleRate;

// The delay of `degraded` behind `reference` (negative: ahead of it) that
// maximises their cross-correlation sum_n reference(n) degraded(n + delay)
// over the first kAlignSamples of each, within +-kMaxAlignDelay and the
// shorter length; the smallest such delay in magnitude where several are
// equal, 0 for signals without energy.
std::int64_t alignDelay(std::span<const double> reference, std::span<const double> degraded);

}  // namespace zorvel
