// The whole-file overview's columns. A strip `width` pixels wide over
// `totalFrames` frames gives each pixel column a run of consecutive frames
// (one frame spans several columns when there are fewer frames than pixels),
// and each column the figures the strip draws of those of its frames that the
// background pass has summarised: the range and the mean of the frame powers
// of s(n) and of the frame SNRs, and the mean pitch lag of its voiced
// subframes.
#pragma once

#include <optional>
#include <span>
#include <variant>
#include <vector>

#include "coder/FramePass.h"

namespace zorvel {

// Column x covers frames overviewFrameAtX(x) .. overviewFrameAtX(x + 1) - 1
// (the last column up to totalFrames; a frame spanning several columns is the
// first frame of each). x is clamped to the strip; 0 when there are no frames.
int overviewFrameAtX(int x, int width, int totalFrames);
// The last column x whose first frame is at or before `frame` (the column
// that holds it); frames are clamped to 1..totalFrames.
int overviewXOfFrame(int frame, int width, int totalFrames);

// A subframe is voiced when its pitch gain gp is at least this.
inline constexpr double kVoicedPitchGain = 0.5;
// Frame powers below this (silence included) count as this, in dB re 1 (16-bit units).
inline constexpr double kOverviewPowerFloorDb = 20.0;

// The mean power of a frame whose s(n) has energy E = sum of s(n)^2:
// 10 log10(E / 160) dB, at least kOverviewPowerFloorDb.
double overviewPowerDb(float energy);

struct OverviewColumn {
    int frames = 0;            // summarised frames; none: the column is empty
    double powerLowDb = 0.0;   // of the quietest frame
    double powerHighDb = 0.0;  // of the loudest frame
    double powerMeanDb = 0.0;  // the mean of the frame powers in dB
    double snrLowDb = 0.0;     // frame SNRs: the lowest, the highest, the mean
    double snrHighDb = 0.0;
    double snrMeanDb = 0.0;
    int voicedSubframes = 0;
    double meanVoicedLag = 0.0;  // the mean pitch lag k of the voiced subframes, 0 without any
    // A lane measure, when the strip shows one: its frames with a value (among
    // frames 1..values.size() for a spectral distance, among the summarised
    // frames for the quantised LP's distortion), and their lowest, highest and
    // mean value.
    int measuredFrames = 0;
    double measureLow = 0.0;
    double measureHigh = 0.0;
    double measureMean = 0.0;
};

// The spectral distortion of each frame's quantised LP against the analysed
// (FrameSummary::lpDistortion): what a quantised pass's summaries carry.
struct QuantisedLpDistortion {
    bool operator==(const QuantisedLpDistortion&) const = default;
};

// What the strip's middle lane can show in place of the frame SNR: a spectral
// distance of s'(n) against s(n), which the pass computes once asked, or the
// quantised LP's spectral distortion.
using LaneMeasure = std::variant<SpectralMeasure, QuantisedLpDistortion>;

// The spectral distance a lane measure is, if it is one.
inline std::optional<SpectralMeasure> spectralMeasureOf(const std::optional<LaneMeasure>& lane) {
    if (!lane) return std::nullopt;
    if (const SpectralMeasure* measure = std::get_if<SpectralMeasure>(&*lane)) return *measure;
    return std::nullopt;
}

// The measure a strip shows in place of the frame SNR: which, and the values
// of frames 1..values.size() (of a spectral distance; the distortion of the
// quantised LP is in the summaries).
struct OverviewMeasure {
    LaneMeasure measure = SpectralMeasure::lsdLp;
    std::span<const FrameMeasureValues> values;
};

// The `width` columns of a strip over `totalFrames` frames, from the summaries
// of frames 1..summaries.size() (the frames the pass has reached), and the
// measure's values when one is given.
std::vector<OverviewColumn> overviewColumns(std::span<const FrameSummary> summaries,
                                            int totalFrames, int width,
                                            const std::optional<OverviewMeasure>& measure = {});

}  // namespace zorvel
