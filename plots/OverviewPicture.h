// The overview strip as a picture: the whole input at a glance. Three lanes
// over the full width, one column per run of frames (see OverviewColumns.h):
// the mean power of s(n) in dB and the frame SNR, each as the range of the
// column's frames, dim, with their mean, bright; and the mean pitch lag k of
// the voiced subframes. Frames the background pass has not reached yet are
// empty, on the not-coded fill. Described as primitives like the chart images
// (see Picture.h), so that the window paints it with the Canvas rule and it
// saves as PNG or SVG the same way.
#pragma once

#include <QString>
#include <span>

#include "coder/FramePass.h"
#include "plots/ChartColours.h"
#include "plots/OverviewColumns.h"
#include "plots/Picture.h"

namespace zorvel {

inline constexpr int kOverviewLanes = 3;  // power, SNR, pitch lag, top to bottom
// The value at the bottom and at the top of each lane.
inline constexpr double kOverviewPowerTopDb = 90.0;  // bottom: kOverviewPowerFloorDb
inline constexpr double kOverviewSnrFloorDb = -5.0;
inline constexpr double kOverviewSnrTopDb = 35.0;
inline constexpr double kOverviewLagLow = 18.0;  // the coder's pitch lag range, in samples
inline constexpr double kOverviewLagHigh = 143.0;

// Value v of [low, high] as a height in 0..span pixels: clamped to the range
// and rounded to the nearest pixel.
int overviewLaneHeight(double v, double low, double high, int span);

// A lane whose bottom pixel row is `bottom` and whose values span `span`
// pixels above it, from `low` at the bottom to `high` at the top.
struct OverviewLane {
    int bottom = 0;
    int span = 0;
    double low = 0.0;
    double high = 0.0;
    int y(double v) const { return bottom - overviewLaneHeight(v, low, high, span); }
    // The value y() maps to row y, for rows of the lane: y(valueAt(r)) == r.
    double valueAt(int row) const;
};

// Lane 0 (power in dB), 1 (SNR in dB) or 2 (pitch lag) of a strip `height` high.
// Values run over every row of a lane but its top one (the outline or a grid
// line); the lag, drawn two pixels high, over one row less.
OverviewLane overviewLane(int lane, int height);
// Lane 1 when it shows a lane measure: its range (plots/MeasureTexts.h).
OverviewLane overviewMeasureLane(const LaneMeasure& measure, int height);

// The lanes' captions inside the strip, top to bottom.
inline const QString kOverviewLaneLabels[kOverviewLanes] = {
    QStringLiteral("E [dB]"), QStringLiteral("SNR"), QStringLiteral("k")};

// The strip `width` x `height` over `totalFrames` frames, of which frames
// 1..summaries.size() are summarised. The current frame's marker is not part
// of it (the window draws it over the picture). With a measure, lane 1 shows
// it in place of the frame SNR, in the SNR's colours, under its own caption
// (the dotted line at 0 where its range holds 0).
Picture describeOverviewPicture(int width, int height, std::span<const FrameSummary> summaries,
                                int totalFrames, const ChartColours& colours,
                                const std::optional<OverviewMeasure>& measure = {});

}  // namespace zorvel
