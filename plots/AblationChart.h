// The chart of an ablation (coder/Ablation.h), in the light colours of the
// sweep chart, described as a Picture so that it is painted as PNG or written
// as SVG from the same primitives.
//
// Each tool changed alone: two panels of horizontal bars, the change of the
// overall SNR and of the segmental SNR from the first row, one group of bars
// per further row (named at the left), one bar per mode in the mode's colour,
// a dB axis with numbers under each panel and the modes' legend above.
//
// One setting varied: two panels of lines, the overall and the segmental SNR
// against the varied value, one line with markers per mode.
#pragma once

#include <QRgb>
#include <QString>

#include "coder/Ablation.h"
#include "plots/Picture.h"

namespace zorvel {

inline constexpr int kAblationChartWidth = 880;

// The texts of the chart.
inline const QString kAblationOverallChangeLabel = QStringLiteral("Zmiana SNR całkowitego [dB]");
inline const QString kAblationSegmentalChangeLabel = QStringLiteral("Zmiana SNR segmentowego [dB]");
inline const QString kAblationOverallLabel = QStringLiteral("SNR całkowity [dB]");
inline const QString kAblationSegmentalLabel = QStringLiteral("SNR segmentowy [dB]");
// "Zmiana względem: default"; "Zmieniane: gamma1, pozostałe: default".
QString ablationReferenceText(const AblationTable& table);
// "12.2 kb/s": a mode in the legend.
QString ablationModeLegend(CoderMode mode);

// The colour of a mode's bars and lines, the same in every chart.
QRgb ablationModeColour(CoderMode mode);

// An axis from `lowest` to `highest` in whole steps of 1, 2 or 5 times a
// power of ten: the finest such step with which at most kMostAxisSteps steps
// cover [low, high]; a span below kLeastAxisSpan is widened to it around its
// middle.
inline constexpr int kMostAxisSteps = 8;
inline constexpr double kLeastAxisSpan = 0.1;
struct ChartAxis {
    double lowest = 0.0;
    double highest = 0.0;
    double step = 0.0;
    int exponent = 0;  // step is 1, 2 or 5 times 10^exponent
    int steps() const;
    double level(int i) const;  // lowest + i * step, exactly 0 at 0
    int decimals() const;       // digits after the point of the numbers
};
ChartAxis chartAxis(double low, double high);

// The height of the chart of `table`: the bars' groups or the lines' panels.
int ablationChartHeight(const AblationTable& table);

// The chart of the table; `caption` names the inputs. A table whose rows
// carry values (a variation) is drawn as lines, any other as bars.
Picture describeAblationChart(const AblationTable& table, const QString& caption,
                              int width = kAblationChartWidth);

}  // namespace zorvel
