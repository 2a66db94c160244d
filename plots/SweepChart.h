// The chart of a mode sweep: SNR against bit rate, one line per measure
// (segmental and overall SNR), a marker at every mode, labelled axes and a
// legend, in light colours for printed reports. Described as a Picture, so it
// is painted as PNG or written as SVG from the same primitives.
#pragma once

#include <QString>

#include "coder/ModeSweep.h"
#include "plots/Picture.h"

namespace zorvel {

inline constexpr int kSweepChartWidth = 640;
inline constexpr int kSweepChartHeight = 420;

// The texts of the chart.
inline const QString kSweepRateAxisLabel = QStringLiteral("Przepływność [kb/s]");
inline const QString kSweepSnrAxisLabel = QStringLiteral("SNR [dB]");
inline const QString kSweepSegmentalLegend = QStringLiteral("SNR segmentowy");
inline const QString kSweepOverallLegend = QStringLiteral("SNR całkowity");

// The lowest and highest level of the SNR axis and the step of its grid:
// whole steps of 2 dB (a span up to 12 dB) or 5 dB around every value.
struct SnrAxis {
    double lowest = 0.0;
    double highest = 0.0;
    double step = 0.0;
};
SnrAxis snrAxis(const SweepRow& figures);

// The chart of the figures of the eight modes; `caption` names the inputs.
Picture describeSweepChart(const SweepRow& figures, const QString& caption,
                           int width = kSweepChartWidth, int height = kSweepChartHeight);

}  // namespace zorvel
