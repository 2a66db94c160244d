// The chart of a listening test's results (listening/ListeningResults.h): one
// bar per condition, its mean score, with the 95 % confidence interval drawn
// as a whisker over it; the score axis 0..100 with the five quality words in
// their bands. Described as a Picture, painted as PNG or written as SVG.
#pragma once

#include <QString>
#include <array>

#include "listening/ListeningResults.h"
#include "plots/Picture.h"

namespace zorvel {

inline constexpr int kListeningChartWidth = 880;
inline constexpr int kListeningChartHeight = 520;

// The quality words of the scale, from the top band (80..100) down.
inline const std::array<QString, 5> kQualityWords{
    QStringLiteral("Doskonała"), QStringLiteral("Dobra"), QStringLiteral("Średnia"),
    QStringLiteral("Słaba"), QStringLiteral("Zła")};
// The word of a score's band: 80..100 "Doskonała", 60..79 "Dobra", ...,
// 0..19 "Zła".
QString qualityWord(int score);

inline const QString kListeningScoreLabel =
    QStringLiteral("Ocena (średnia, 95% przedział ufności)");

// "ukryty wzorzec" for the hidden reference, the condition as recorded else.
QString conditionName(const ConditionResult& condition);

// The pixel row of a score on a plot from `top` (100) to `bottom` (0).
int scoreRow(double score, int top, int bottom);

Picture describeListeningChart(const ListeningResults& results, const QString& caption,
                               int width = kListeningChartWidth,
                               int height = kListeningChartHeight);

}  // namespace zorvel
