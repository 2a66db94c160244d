// The chart of what the bits of an LSF quantiser buy: the spectral
// distortion on held-out speech against the bits of the quantiser, in the
// light colours of the sweep chart, described as a Picture so that it is
// painted as PNG or written as SVG from the same primitives.
//
// Two panels over one axis of bits: above, the mean SD of the quantisers of
// every budget as a line with markers, the modes' designs as open markers
// labelled with their modes, and the 1 dB line of transparent quantisation;
// below, the shares of frames with SD of 2-4 dB and above 4 dB, with the 2 %
// line the first share stays under in transparent quantisation.
#pragma once

#include <QString>
#include <span>

#include "coder/LsfTraining.h"
#include "plots/Picture.h"

namespace zorvel {

inline constexpr int kQuantiserChartWidth = 880;
inline constexpr int kQuantiserChartHeight = 640;

// The texts of the chart.
inline const QString kQuantiserBitsLabel = QStringLiteral("Bity LSF na ramkę");
inline const QString kQuantiserMeanLabel = QStringLiteral("Średnie SD [dB]");
inline const QString kQuantiserShareLabel = QStringLiteral("Udział ramek [%]");
inline const QString kQuantiserBudgetLegend = QStringLiteral("podział 3+3+4, budżety");
inline const QString kQuantiserModesLegend = QStringLiteral("projekty trybów");
inline const QString kQuantiserTransparentLegend =
    QStringLiteral("1 dB: kwantyzacja przezroczysta");
inline const QString kQuantiserOutlierLegend = QStringLiteral("SD 2-4 dB");
inline const QString kQuantiserLargeLegend = QStringLiteral("SD > 4 dB");
inline const QString kQuantiserOutlierLimitLegend = QStringLiteral("2 %");

inline constexpr double kTransparentMeanDb = 1.0;          // the mean SD of transparency
inline constexpr double kTransparentOutlierPercent = 2.0;  // its share of frames at 2-4 dB

// The label of a mode design's marker: its modes, and with two sets the set:
// "10.2 7.40 6.70 5.90", "12.2 I".
QString quantiserModeLabel(const LsfDistortion& design, bool setI);

// The bits axis: from one bit below the fewest to one above the most of the
// budgets and the designs, a number on every even bit (at most 13 numbers
// over the budgets' range).
struct BitsAxis {
    int lowest = 0;
    int highest = 0;
};
BitsAxis bitsAxis(std::span<const LsfDistortion> budgets, std::span<const LsfDistortion> modes);

// The chart of the budgets' distortions (in rising bits) and of the modes'
// designs; `caption` names the speech measured.
Picture describeQuantiserChart(std::span<const LsfDistortion> budgets,
                               std::span<const LsfDistortion> modes, const QString& caption,
                               int width = kQuantiserChartWidth,
                               int height = kQuantiserChartHeight);

}  // namespace zorvel
