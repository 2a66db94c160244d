// The sweep chart: a plot area with its grid, the rate axis from 4 to
// 13 kbit/s with a tick every 1 kbit/s, the SNR axis from snrAxis, and the
// two measures as polylines from the lowest to the highest rate.
#include "plots/SweepChart.h"

#include <QFontMetrics>
#include <algorithm>
#include <cmath>

#include "plots/Canvas.h"

namespace zorvel {
namespace {

constexpr QRgb kBackground = 0xFFFFFFFF;
constexpr QRgb kAxisColour = 0xFF000000;
constexpr QRgb kGridColour = 0xFFD8D8D8;
constexpr QRgb kTextColour = 0xFF000000;
constexpr QRgb kSegmentalColour = 0xFF1F4FBF;
constexpr QRgb kOverallColour = 0xFFC0392B;
constexpr int kLinePenWidth = 2;
constexpr int kMarkerHalf = 3;  // markers are 7 x 7 pixels

constexpr double kLowestRate = 4.0;    // kbit/s at the left edge
constexpr double kHighestRate = 13.0;  // kbit/s at the right edge
constexpr double kSmallSpan = 12.0;    // dB: up to this span the grid steps by 2 dB

constexpr int kLeftMargin = 60;
constexpr int kRightMargin = 24;
constexpr int kTopMargin = 44;
constexpr int kBottomMargin = 64;

struct PlotArea {
    int left, top, right, bottom;
    SnrAxis axis;

    int x(double rate) const {
        return left + static_cast<int>(std::lround((rate - kLowestRate) /
                                                   (kHighestRate - kLowestRate) * (right - left)));
    }
    int y(double snr) const {
        return bottom - static_cast<int>(std::lround(
                            (snr - axis.lowest) / (axis.highest - axis.lowest) * (bottom - top)));
    }
};

int textWidth(const QString& text) { return QFontMetrics(canvasFont()).horizontalAdvance(text); }

void line(Canvas& canvas, int x0, int y0, int x1, int y1) {
    canvas.moveTo(x0, y0);
    canvas.lineTo(x1, y1);
}

void drawGridAndAxes(Canvas& canvas, const PlotArea& area) {
    canvas.setFontColour(kTextColour);
    canvas.setBrushColour(kBackground);
    for (int rate = static_cast<int>(kLowestRate); rate <= static_cast<int>(kHighestRate); ++rate) {
        const int x = area.x(rate);
        canvas.setPenColour(kGridColour);
        line(canvas, x, area.top, x, area.bottom);
        canvas.setPenColour(kAxisColour);
        line(canvas, x, area.bottom, x, area.bottom + 5);
        const QString label = QString::number(rate);
        canvas.textOut(x - textWidth(label) / 2, area.bottom + 8, label);
    }
    const int steps =
        static_cast<int>(std::lround((area.axis.highest - area.axis.lowest) / area.axis.step));
    for (int i = 0; i <= steps; ++i) {
        const double level = area.axis.lowest + i * area.axis.step;
        const int y = area.y(level);
        canvas.setPenColour(kGridColour);
        line(canvas, area.left, y, area.right, y);
        canvas.setPenColour(kAxisColour);
        line(canvas, area.left - 5, y, area.left, y);
        const QString label = QString::number(level);
        canvas.textOut(area.left - 8 - textWidth(label), y - 7, label);
    }
    canvas.setPenColour(kAxisColour);
    line(canvas, area.left, area.top, area.left, area.bottom);
    line(canvas, area.left, area.bottom, area.right, area.bottom);
    canvas.textOut((area.left + area.right - textWidth(kSweepRateAxisLabel)) / 2, area.bottom + 30,
                   kSweepRateAxisLabel);
    canvas.textOut(area.left - 40, area.top - 22, kSweepSnrAxisLabel);
}

void drawMeasure(Canvas& canvas, const PlotArea& area, const SweepRow& figures,
                 double ModeFigures::*measure, QRgb colour) {
    canvas.setPenColour(colour);
    canvas.setBrushColour(colour);
    canvas.setPenWidth(kLinePenWidth);
    // The modes from the lowest rate (4.75) to the highest (12.2).
    for (int m = kModeCount - 1; m >= 0; --m) {
        const int x = area.x(modeBitRate(kAllCoderModes[m]));
        const int y = area.y(figures[m].*measure);
        if (m == kModeCount - 1) {
            canvas.moveTo(x, y);
        } else {
            canvas.lineTo(x, y);
        }
    }
    canvas.setPenWidth(1);
    for (int m = kModeCount - 1; m >= 0; --m) {
        const int x = area.x(modeBitRate(kAllCoderModes[m]));
        const int y = area.y(figures[m].*measure);
        canvas.rectangle(x - kMarkerHalf, y - kMarkerHalf, x + kMarkerHalf + 1,
                         y + kMarkerHalf + 1);
    }
}

void drawLegend(Canvas& canvas, const PlotArea& area) {
    const struct {
        const QString& text;
        QRgb colour;
    } entries[] = {{kSweepSegmentalLegend, kSegmentalColour},
                   {kSweepOverallLegend, kOverallColour}};
    int y = area.bottom - 40;
    const int x = area.right - 150;
    for (const auto& entry : entries) {
        canvas.setPenColour(entry.colour);
        canvas.setPenWidth(kLinePenWidth);
        line(canvas, x, y, x + 30, y);
        canvas.setPenWidth(1);
        canvas.setFontColour(kTextColour);
        canvas.setBrushColour(kBackground);
        canvas.textOut(x + 36, y - 7, entry.text);
        y += 18;
    }
}

}  // namespace

SnrAxis snrAxis(const SweepRow& figures) {
    double low = figures[0].segmentalSnr;
    double high = low;
    for (const ModeFigures& f : figures) {
        low = std::min({low, f.segmentalSnr, f.overallSnr});
        high = std::max({high, f.segmentalSnr, f.overallSnr});
    }
    SnrAxis axis;
    axis.step = high - low <= kSmallSpan ? 2.0 : 5.0;
    axis.lowest = std::floor(low / axis.step) * axis.step;
    axis.highest = std::ceil(high / axis.step) * axis.step;
    if (axis.highest <= axis.lowest) axis.highest = axis.lowest + axis.step;
    return axis;
}

Picture describeSweepChart(const SweepRow& figures, const QString& caption, int width, int height) {
    Picture picture{width, height, {}};
    Canvas canvas(picture);
    canvas.setPenColour(kBackground);
    canvas.setBrushColour(kBackground);
    canvas.rectangle(0, 0, width, height);
    const PlotArea area{kLeftMargin, kTopMargin, width - kRightMargin, height - kBottomMargin,
                        snrAxis(figures)};
    drawGridAndAxes(canvas, area);
    canvas.setFontColour(kTextColour);
    canvas.setBrushColour(kBackground);
    canvas.textOut((width - textWidth(caption)) / 2, 6, caption);
    drawMeasure(canvas, area, figures, &ModeFigures::segmentalSnr, kSegmentalColour);
    drawMeasure(canvas, area, figures, &ModeFigures::overallSnr, kOverallColour);
    drawLegend(canvas, area);
    return picture;
}

}  // namespace zorvel
