// The ablation chart: a header (caption, what the rows are compared with, the
// modes' legend), then two panels side by side, the overall SNR left and the
// segmental SNR right, each with its own numbered dB axis.
#include "plots/AblationChart.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

#include "plots/Canvas.h"

namespace zorvel {
namespace {

constexpr QRgb kBackground = 0xFFFFFFFF;
constexpr QRgb kAxisColour = 0xFF000000;
constexpr QRgb kGridColour = 0xFFD8D8D8;
constexpr QRgb kTextColour = 0xFF000000;

// One colour per mode, in the order of the mode table (12.2 first).
constexpr std::array<QRgb, kModeCount> kModeColours = {
    0xFF1F4FBF, 0xFFC0392B, 0xFF2E8B3E, 0xFFE08A1E, 0xFF7B3FA8, 0xFF8C5A3C, 0xFFD55FA8, 0xFF4A9FB5,
};

constexpr int kCaptionTop = 6;
constexpr int kReferenceTop = 24;
constexpr int kLegendTop = 46;
constexpr int kLegendSwatch = 12;  // the legend's squares, in pixels
constexpr int kLegendSpacing = 18;
constexpr int kPlotTop = 78;
constexpr int kRightMargin = 20;
constexpr int kPanelGap = 44;
constexpr int kTickLength = 5;
constexpr int kTickLabelGap = 8;
constexpr int kAxisLabelGap = 28;
constexpr int kBottomMargin = 54;   // under a panel: its numbers and its label
constexpr int kTextHalfHeight = 7;  // texts are placed this far above the line they belong to

// Bars: a group per row, a bar per mode.
constexpr int kNameGap = 10;  // between a row's name and its panel
constexpr int kLeastNameWidth = 80;
constexpr int kGroupGap = 10;   // between two groups
constexpr int kGroupBars = 48;  // pixels of bars a group has, shared by its modes
constexpr int kLeastBar = 4;
constexpr int kMostBar = 14;

// Lines: a panel of a fixed height, its numbers left of it.
constexpr int kLinePanelHeight = 300;
constexpr int kLineLeftMargin = 56;
constexpr int kLinePenWidth = 2;
constexpr int kMarkerHalf = 3;  // markers are 7 x 7 pixels

// Values given as decimals are no exact multiples of a binary step (0.7 / 0.05
// is 13.999999999999998): a quotient this close to a whole number is taken
// as that number, so that an axis does not start a step early.
constexpr double kWholeStepSlack = 1e-9;

void line(Canvas& canvas, int x0, int y0, int x1, int y1) {
    canvas.moveTo(x0, y0);
    canvas.lineTo(x1, y1);
}

void text(Canvas& canvas, int x, int y, const QString& words) {
    canvas.setFontColour(kTextColour);
    canvas.setBrushColour(kBackground);
    canvas.textOut(x, y, words);
}

QString levelText(const ChartAxis& axis, int i) {
    return QString::number(axis.level(i), 'f', axis.decimals());
}

// One panel: its pixels and the axes that map values into them.
struct Panel {
    int left, top, right, bottom;
    ChartAxis horizontal;
    ChartAxis vertical;  // unused by the bars' panels

    int x(double value) const {
        return left + static_cast<int>(std::lround((value - horizontal.lowest) /
                                                   (horizontal.highest - horizontal.lowest) *
                                                   (right - left)));
    }
    int y(double value) const {
        return bottom -
               static_cast<int>(std::lround((value - vertical.lowest) /
                                            (vertical.highest - vertical.lowest) * (bottom - top)));
    }
};

void drawFrame(Canvas& canvas, const Panel& panel) {
    canvas.setPenWidth(1);
    canvas.setPenColour(kAxisColour);
    canvas.setBrushColour(kBackground);
    canvas.rectangle(panel.left, panel.top, panel.right + 1, panel.bottom + 1);
}

// The horizontal axis's grid, ticks and numbers, and its label under them.
void drawHorizontalAxis(Canvas& canvas, const Panel& panel, const QString& label) {
    const ChartAxis& axis = panel.horizontal;
    for (int i = 0; i <= axis.steps(); ++i) {
        const int x = panel.x(axis.level(i));
        canvas.setPenColour(axis.level(i) == 0.0 ? kAxisColour : kGridColour);
        line(canvas, x, panel.top + 1, x, panel.bottom);
        canvas.setPenColour(kAxisColour);
        line(canvas, x, panel.bottom, x, panel.bottom + kTickLength);
        const QString number = levelText(axis, i);
        text(canvas, x - canvasTextWidth(number) / 2, panel.bottom + kTickLabelGap, number);
    }
    text(canvas, (panel.left + panel.right - canvasTextWidth(label)) / 2,
         panel.bottom + kAxisLabelGap, label);
}

void drawVerticalAxis(Canvas& canvas, const Panel& panel, const QString& label) {
    const ChartAxis& axis = panel.vertical;
    for (int i = 0; i <= axis.steps(); ++i) {
        const int y = panel.y(axis.level(i));
        canvas.setPenColour(kGridColour);
        line(canvas, panel.left + 1, y, panel.right, y);
        canvas.setPenColour(kAxisColour);
        line(canvas, panel.left - kTickLength, y, panel.left, y);
        const QString number = levelText(axis, i);
        text(canvas, panel.left - kTickLabelGap - canvasTextWidth(number), y - kTextHalfHeight,
             number);
    }
    text(canvas, panel.left - kLineLeftMargin + 4, panel.top - 2 * kTextHalfHeight - 8, label);
}

void drawHeader(Canvas& canvas, const AblationTable& table, const QString& caption, int width) {
    text(canvas, (width - canvasTextWidth(caption)) / 2, kCaptionTop, caption);
    const QString reference = ablationReferenceText(table);
    text(canvas, (width - canvasTextWidth(reference)) / 2, kReferenceTop, reference);
    int legendWidth = 0;
    for (const CoderMode mode : table.modes)
        legendWidth +=
            kLegendSwatch + 4 + canvasTextWidth(ablationModeLegend(mode)) + kLegendSpacing;
    int x = std::max(0, (width - legendWidth + kLegendSpacing) / 2);
    for (const CoderMode mode : table.modes) {
        canvas.setPenColour(ablationModeColour(mode));
        canvas.setBrushColour(ablationModeColour(mode));
        canvas.rectangle(x, kLegendTop + 1, x + kLegendSwatch, kLegendTop + 1 + kLegendSwatch);
        const QString name = ablationModeLegend(mode);
        text(canvas, x + kLegendSwatch + 4, kLegendTop, name);
        x += kLegendSwatch + 4 + canvasTextWidth(name) + kLegendSpacing;
    }
}

int barHeight(const AblationTable& table) {
    const int modes = std::max<int>(static_cast<int>(table.modes.size()), 1);
    return std::clamp(kGroupBars / modes, kLeastBar, kMostBar);
}

int groupHeight(const AblationTable& table) {
    return static_cast<int>(table.modes.size()) * barHeight(table) + kGroupGap;
}

// The rows drawn as bars: those after the first; room for one when there is none.
int barGroups(const AblationTable& table) {
    return std::max<int>(static_cast<int>(table.rows.size()) - 1, 1);
}

bool drawnAsLines(const AblationTable& table) { return !variedSetting(table.rows).empty(); }

using Change = double (AblationTable::*)(std::size_t, std::size_t) const;

ChartAxis changeAxis(const AblationTable& table, Change change) {
    double low = 0.0;
    double high = 0.0;
    for (std::size_t r = 1; r < table.rows.size(); ++r)
        for (std::size_t m = 0; m < table.modes.size(); ++m) {
            low = std::min(low, (table.*change)(r, m));
            high = std::max(high, (table.*change)(r, m));
        }
    return chartAxis(low, high);
}

void drawBarPanel(Canvas& canvas, const AblationTable& table, const Panel& panel, Change change,
                  const QString& label) {
    drawFrame(canvas, panel);
    const int group = groupHeight(table);
    const int bar = barHeight(table);
    canvas.setPenColour(kGridColour);
    for (int g = 1; g < barGroups(table); ++g)
        line(canvas, panel.left + 1, panel.top + g * group, panel.right, panel.top + g * group);
    drawHorizontalAxis(canvas, panel, label);
    const int zero = panel.x(0.0);
    for (std::size_t r = 1; r < table.rows.size(); ++r) {
        const int groupTop = panel.top + static_cast<int>(r - 1) * group + kGroupGap / 2;
        for (std::size_t m = 0; m < table.modes.size(); ++m) {
            const int end = panel.x((table.*change)(r, m));
            const int y = groupTop + static_cast<int>(m) * bar;
            // A bar of no change is one pixel wide, so that it is still seen.
            const int x1 = std::min(zero, end);
            const int x2 = std::max({zero, end, x1 + 1});
            canvas.setPenColour(ablationModeColour(table.modes[m]));
            canvas.setBrushColour(ablationModeColour(table.modes[m]));
            canvas.rectangle(x1, y, x2, y + bar - 1);
        }
    }
}

void drawBars(Canvas& canvas, const AblationTable& table, int width) {
    int nameWidth = kLeastNameWidth;
    for (std::size_t r = 1; r < table.rows.size(); ++r)
        nameWidth =
            std::max(nameWidth, canvasTextWidth(QString::fromStdString(table.rows[r].name)));
    const int left = nameWidth + 2 * kNameGap;
    const int panelWidth = (width - left - kRightMargin - kPanelGap) / 2;
    const int bottom = kPlotTop + barGroups(table) * groupHeight(table);
    const Panel overall{
        left, kPlotTop, left + panelWidth, bottom, changeAxis(table, &AblationTable::overallChange),
        {}};
    const Panel segmental{left + panelWidth + kPanelGap,
                          kPlotTop,
                          left + 2 * panelWidth + kPanelGap,
                          bottom,
                          changeAxis(table, &AblationTable::segmentalChange),
                          {}};
    drawBarPanel(canvas, table, overall, &AblationTable::overallChange,
                 kAblationOverallChangeLabel);
    drawBarPanel(canvas, table, segmental, &AblationTable::segmentalChange,
                 kAblationSegmentalChangeLabel);
    for (std::size_t r = 1; r < table.rows.size(); ++r) {
        const QString name = QString::fromStdString(table.rows[r].name);
        const int centre =
            kPlotTop + static_cast<int>(r - 1) * groupHeight(table) + groupHeight(table) / 2;
        text(canvas, left - kNameGap - canvasTextWidth(name), centre - kTextHalfHeight, name);
    }
}

using Measure = double ModeFigures::*;

void drawLinePanel(Canvas& canvas, const AblationTable& table, Panel panel, Measure measure,
                   const QString& label) {
    double low = table.figures[1].front().*measure;
    double high = low;
    for (std::size_t r = 1; r < table.rows.size(); ++r)
        for (const ModeFigures& f : table.figures[r]) {
            low = std::min(low, f.*measure);
            high = std::max(high, f.*measure);
        }
    panel.vertical = chartAxis(low, high);
    drawFrame(canvas, panel);
    drawVerticalAxis(canvas, panel, label);
    drawHorizontalAxis(canvas, panel, QString::fromStdString(variedSetting(table.rows)));
    for (std::size_t m = 0; m < table.modes.size(); ++m) {
        const QRgb colour = ablationModeColour(table.modes[m]);
        canvas.setPenColour(colour);
        canvas.setBrushColour(colour);
        canvas.setPenWidth(kLinePenWidth);
        for (std::size_t r = 1; r < table.rows.size(); ++r) {
            const int x = panel.x(*table.rows[r].value);
            const int y = panel.y(table.figures[r][m].*measure);
            if (r == 1)
                canvas.moveTo(x, y);
            else
                canvas.lineTo(x, y);
        }
        canvas.setPenWidth(1);
        for (std::size_t r = 1; r < table.rows.size(); ++r) {
            const int x = panel.x(*table.rows[r].value);
            const int y = panel.y(table.figures[r][m].*measure);
            canvas.rectangle(x - kMarkerHalf, y - kMarkerHalf, x + kMarkerHalf + 1,
                             y + kMarkerHalf + 1);
        }
    }
}

void drawLines(Canvas& canvas, const AblationTable& table, int width) {
    double low = *table.rows[1].value;
    double high = low;
    for (std::size_t r = 1; r < table.rows.size(); ++r) {
        low = std::min(low, *table.rows[r].value);
        high = std::max(high, *table.rows[r].value);
    }
    const ChartAxis values = chartAxis(low, high);
    const int panelWidth = (width - 2 * kLineLeftMargin - kRightMargin - kPanelGap) / 2;
    const int top = kPlotTop + 2 * kTextHalfHeight + 8;
    const int bottom = top + kLinePanelHeight;
    int left = kLineLeftMargin;
    drawLinePanel(canvas, table, {left, top, left + panelWidth, bottom, values, {}},
                  &ModeFigures::overallSnr, kAblationOverallLabel);
    left += panelWidth + kPanelGap + kLineLeftMargin;
    drawLinePanel(canvas, table, {left, top, left + panelWidth, bottom, values, {}},
                  &ModeFigures::segmentalSnr, kAblationSegmentalLabel);
}

}  // namespace

QString ablationReferenceText(const AblationTable& table) {
    const QString first =
        table.rows.empty() ? QString() : QString::fromStdString(table.rows.front().name);
    const std::string varied = variedSetting(table.rows);
    if (!varied.empty())
        return QStringLiteral("Zmieniane: %1, pozostałe: %2")
            .arg(QString::fromStdString(varied), first);
    return QStringLiteral("Zmiana względem: %1").arg(first);
}

QString ablationModeLegend(CoderMode mode) {
    const std::string_view rate = rulesOf(mode).rate;
    return QString::fromUtf8(rate.data(), static_cast<qsizetype>(rate.size())) +
           QStringLiteral(" kb/s");
}

QRgb ablationModeColour(CoderMode mode) {
    return kModeColours[static_cast<std::size_t>(modeIndex(mode))];
}

int ChartAxis::steps() const { return static_cast<int>(std::lround((highest - lowest) / step)); }

double ChartAxis::level(int i) const {
    const double value = lowest + i * step;
    // Whole steps from a multiple of the step: a level that is no step from
    // zero is zero itself, not a rounding's -1e-17.
    return std::fabs(value) < step / 2 ? 0.0 : value;
}

int ChartAxis::decimals() const { return std::max(0, -exponent); }

ChartAxis chartAxis(double low, double high) {
    if (high - low < kLeastAxisSpan) {
        const double middle = (low + high) / 2;
        low = middle - kLeastAxisSpan / 2;
        high = middle + kLeastAxisSpan / 2;
    }
    const double rough = (high - low) / kMostAxisSteps;
    ChartAxis axis;
    const int exponent = static_cast<int>(std::floor(std::log10(rough)));
    // Past 5 the multiples are those of the next powers: 10 is 1 x 10^(e+1).
    for (const auto& [multiple, power] :
         {std::pair(1.0, exponent), std::pair(2.0, exponent), std::pair(5.0, exponent),
          std::pair(1.0, exponent + 1), std::pair(2.0, exponent + 1)}) {
        axis.exponent = power;
        axis.step = multiple * std::pow(10.0, power);
        axis.lowest = std::floor(low / axis.step + kWholeStepSlack) * axis.step;
        axis.highest = std::ceil(high / axis.step - kWholeStepSlack) * axis.step;
        if (axis.steps() <= kMostAxisSteps) break;
    }
    return axis;
}

int ablationChartHeight(const AblationTable& table) {
    if (drawnAsLines(table))
        return kPlotTop + 2 * kTextHalfHeight + 8 + kLinePanelHeight + kBottomMargin;
    return kPlotTop + barGroups(table) * groupHeight(table) + kBottomMargin;
}

Picture describeAblationChart(const AblationTable& table, const QString& caption, int width) {
    const int height = ablationChartHeight(table);
    Picture picture{width, height, {}};
    Canvas canvas(picture);
    canvas.setPenColour(kBackground);
    canvas.setBrushColour(kBackground);
    canvas.rectangle(0, 0, width, height);
    drawHeader(canvas, table, caption, width);
    if (drawnAsLines(table))
        drawLines(canvas, table, width);
    else
        drawBars(canvas, table, width);
    return picture;
}

}  // namespace zorvel
