// The quantiser chart: two plot areas one above the other sharing the bits
// axis, each with its own level axis from chartAxis, the budgets as
// polylines with filled markers and the modes' designs as open markers.
#include "plots/QuantiserChart.h"

#include <QRect>
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

#include "plots/AblationChart.h"
#include "plots/Canvas.h"

namespace zorvel {
namespace {

constexpr QRgb kBackground = 0xFFFFFFFF;
constexpr QRgb kAxisColour = 0xFF000000;
constexpr QRgb kGridColour = 0xFFD8D8D8;
constexpr QRgb kTextColour = 0xFF000000;
constexpr QRgb kMeanColour = 0xFF1F4FBF;
constexpr QRgb kModeColour = 0xFF1E8449;
constexpr QRgb kLimitColour = 0xFF808080;
constexpr QRgb kOutlierColour = 0xFFD68910;
constexpr QRgb kLargeColour = 0xFFC0392B;
constexpr int kLinePenWidth = 2;
constexpr int kMarkerHalf = 3;      // markers are 7 x 7 pixels
constexpr int kModeMarkerHalf = 5;  // open markers 11 x 11
constexpr int kBitsStep = 2;        // a number every 2 bits

constexpr int kLeftMargin = 70;
constexpr int kRightMargin = 30;
constexpr int kTopMargin = 56;
constexpr int kPanelGap = 70;
constexpr int kBottomMargin = 60;
constexpr double kMeanPanelShare = 0.58;  // of the height both panels take

struct Panel {
    int left, top, right, bottom;
    BitsAxis bits;
    ChartAxis level;

    int x(double b) const {
        return left + static_cast<int>(std::lround((b - bits.lowest) /
                                                   (bits.highest - bits.lowest) * (right - left)));
    }
    int y(double v) const {
        return bottom - static_cast<int>(std::lround(
                            (v - level.lowest) / (level.highest - level.lowest) * (bottom - top)));
    }
};

void line(Canvas& canvas, int x0, int y0, int x1, int y1) {
    canvas.moveTo(x0, y0);
    canvas.lineTo(x1, y1);
}

void text(Canvas& canvas, int x, int y, const QString& t) {
    canvas.setFontColour(kTextColour);
    canvas.setBrushColour(kBackground);
    canvas.textOut(x, y, t);
}

void drawPanelAxes(Canvas& canvas, const Panel& p, const QString& levelLabel, bool bitsNumbers) {
    for (int b = p.bits.lowest; b <= p.bits.highest; ++b) {
        if (b % kBitsStep != 0) continue;
        const int x = p.x(b);
        canvas.setPenColour(kGridColour);
        line(canvas, x, p.top, x, p.bottom);
        canvas.setPenColour(kAxisColour);
        line(canvas, x, p.bottom, x, p.bottom + 5);
        if (bitsNumbers) {
            const QString label = QString::number(b);
            text(canvas, x - canvasTextWidth(label) / 2, p.bottom + 8, label);
        }
    }
    for (int i = 0; i <= p.level.steps(); ++i) {
        const double level = p.level.level(i);
        const int y = p.y(level);
        canvas.setPenColour(kGridColour);
        line(canvas, p.left, y, p.right, y);
        canvas.setPenColour(kAxisColour);
        line(canvas, p.left - 5, y, p.left, y);
        const QString label = QString::number(level, 'f', p.level.decimals());
        text(canvas, p.left - 8 - canvasTextWidth(label), y - 7, label);
    }
    canvas.setPenColour(kAxisColour);
    line(canvas, p.left, p.top, p.left, p.bottom);
    line(canvas, p.left, p.bottom, p.right, p.bottom);
    text(canvas, p.left - 50, p.top - 24, levelLabel);
}

// A level across the whole panel.
void drawLimit(Canvas& canvas, const Panel& p, double level) {
    canvas.setPenColour(kLimitColour);
    canvas.setPenWidth(kLinePenWidth);
    line(canvas, p.left, p.y(level), p.right, p.y(level));
    canvas.setPenWidth(1);
}

void marker(Canvas& canvas, int x, int y, int half, QRgb pen, QRgb brush) {
    canvas.setPenColour(pen);
    canvas.setBrushColour(brush);
    canvas.rectangle(x - half, y - half, x + half + 1, y + half + 1);
}

template <class Value>
void drawBudgets(Canvas& canvas, const Panel& p, std::span<const LsfDistortion> budgets,
                 Value value, QRgb colour) {
    if (budgets.empty()) return;
    canvas.setPenColour(colour);
    canvas.setPenWidth(kLinePenWidth);
    canvas.moveTo(p.x(budgets[0].design.bits), p.y(value(budgets[0].set)));
    for (const LsfDistortion& d : budgets.subspan(1))
        canvas.lineTo(p.x(d.design.bits), p.y(value(d.set)));
    canvas.setPenWidth(1);
    for (const LsfDistortion& d : budgets)
        marker(canvas, p.x(d.design.bits), p.y(value(d.set)), kMarkerHalf, colour, colour);
}

// Each mode design's sets, with their labels where `labelled`.
template <class Value>
void drawModes(Canvas& canvas, const Panel& p, std::span<const LsfDistortion> modes, Value value,
               QRgb colour, bool labelled) {
    struct Mark {
        QPoint at;
        QString label;
    };
    std::vector<Mark> marks;
    for (const LsfDistortion& d : modes)
        for (const bool setI : {true, false}) {
            if (setI && !d.design.twoSets) continue;
            const SpectralDistortionStatistics& s = setI ? d.setI : d.set;
            marks.push_back(
                {QPoint(p.x(d.design.bits), p.y(value(s))), quantiserModeLabel(d, setI)});
        }
    // Every marker first, then each label where it covers no marker and no
    // label placed before it: below right, above right, below left, above
    // left of its marker, in that order of choice (the first where none is free).
    std::vector<QRect> taken;
    for (const Mark& m : marks) {
        marker(canvas, m.at.x(), m.at.y(), kModeMarkerHalf, colour, kBackground);
        taken.emplace_back(m.at.x() - kModeMarkerHalf, m.at.y() - kModeMarkerHalf,
                           2 * kModeMarkerHalf + 1, 2 * kModeMarkerHalf + 1);
    }
    if (!labelled) return;
    constexpr int kGap = kModeMarkerHalf + 3;
    constexpr int kLabelHeight = 16;
    for (const Mark& m : marks) {
        const int width = canvasTextWidth(m.label);
        const int right = m.at.x() + kGap;
        const int left = m.at.x() - kGap - width;
        const int below = m.at.y() + 4;
        const int above = m.at.y() - 4 - kLabelHeight;
        std::optional<QRect> chosen;
        for (const QPoint corner : {QPoint(right, below), QPoint(right, above), QPoint(left, below),
                                    QPoint(left, above)}) {
            const QRect cell(corner, QSize(width, kLabelHeight));
            if (cell.right() > p.right || cell.left() < p.left) continue;
            const bool free = std::none_of(taken.begin(), taken.end(),
                                           [&](const QRect& r) { return r.intersects(cell); });
            if (free) {
                chosen = cell;
                break;
            }
            if (!chosen) chosen = cell;  // the fallback: the first that fits the panel
        }
        if (!chosen) chosen = QRect(QPoint(left, below), QSize(width, kLabelHeight));
        taken.push_back(*chosen);
        text(canvas, chosen->left(), chosen->top(), m.label);
    }
}

struct LegendItem {
    const QString& text;
    QRgb colour;
    bool open;  // an open marker instead of a line
};

void drawLegend(Canvas& canvas, const Panel& p, std::initializer_list<LegendItem> items) {
    int width = 0;
    for (const LegendItem& item : items) width = std::max(width, canvasTextWidth(item.text));
    const int x = p.right - width - 50;
    int y = p.top + 12;
    // On a box of its own over the lines it may cross.
    canvas.setPenColour(kGridColour);
    canvas.setBrushColour(kBackground);
    canvas.rectangle(x - 8, y - 10, p.right - 4, y - 10 + 18 * static_cast<int>(items.size()) + 4);
    for (const LegendItem& item : items) {
        if (item.open) {
            marker(canvas, x + 15, y, kModeMarkerHalf, item.colour, kBackground);
        } else {
            canvas.setPenColour(item.colour);
            canvas.setPenWidth(kLinePenWidth);
            line(canvas, x, y, x + 30, y);
            canvas.setPenWidth(1);
        }
        text(canvas, x + 36, y - 7, item.text);
        y += 18;
    }
}

// The least and the most of a value over the budgets and the modes' sets.
template <class Value>
std::pair<double, double> extent(std::span<const LsfDistortion> budgets,
                                 std::span<const LsfDistortion> modes, Value value) {
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    const auto take = [&](const SpectralDistortionStatistics& s) {
        low = std::min(low, value(s));
        high = std::max(high, value(s));
    };
    for (const LsfDistortion& d : budgets) take(d.set);
    for (const LsfDistortion& d : modes) {
        take(d.set);
        if (d.design.twoSets) take(d.setI);
    }
    return {low, high};
}

}  // namespace

QString quantiserModeLabel(const LsfDistortion& design, bool setI) {
    QString label;
    for (const CoderMode mode : kAllCoderModes) {
        if (lsfDesignOf(mode) != design.design) continue;
        if (!label.isEmpty()) label += QLatin1Char(' ');
        label += QString::fromUtf8(rulesOf(mode).rate);
    }
    if (design.design.twoSets) label += setI ? QStringLiteral(" I") : QStringLiteral(" II");
    return label;
}

BitsAxis bitsAxis(std::span<const LsfDistortion> budgets, std::span<const LsfDistortion> modes) {
    int fewest = std::numeric_limits<int>::max();
    int most = std::numeric_limits<int>::min();
    for (const auto* group : {&budgets, &modes})
        for (const LsfDistortion& d : *group) {
            fewest = std::min(fewest, d.design.bits);
            most = std::max(most, d.design.bits);
        }
    if (fewest > most) fewest = most = kLeastLsfBudgetBits;  // nothing measured
    return {fewest - 1, most + 1};
}

Picture describeQuantiserChart(std::span<const LsfDistortion> budgets,
                               std::span<const LsfDistortion> modes, const QString& caption,
                               int width, int height) {
    Picture picture{width, height, {}};
    Canvas canvas(picture);
    canvas.setPenColour(kBackground);
    canvas.setBrushColour(kBackground);
    canvas.rectangle(0, 0, width, height);
    text(canvas, (width - canvasTextWidth(caption)) / 2, 8, caption);

    const auto mean = [](const SpectralDistortionStatistics& s) { return s.mean(); };
    const auto outliers = [](const SpectralDistortionStatistics& s) {
        return 100.0 * s.outlierShare();
    };
    const auto large = [](const SpectralDistortionStatistics& s) { return 100.0 * s.largeShare(); };

    const BitsAxis bits = bitsAxis(budgets, modes);
    const int panels = height - kTopMargin - kPanelGap - kBottomMargin;
    const int meanBottom = kTopMargin + static_cast<int>(std::lround(kMeanPanelShare * panels));
    // Both levels of transparency always in sight, and 0 as the floor.
    const double meanHigh = extent(budgets, modes, mean).second;
    const Panel top{
        kLeftMargin, kTopMargin, width - kRightMargin,
        meanBottom,  bits,       chartAxis(0.0, std::max(meanHigh, kTransparentMeanDb))};
    const double outlierHigh =
        std::max(extent(budgets, modes, outliers).second, extent(budgets, modes, large).second);
    const Panel bottom{kLeftMargin,
                       meanBottom + kPanelGap,
                       width - kRightMargin,
                       height - kBottomMargin,
                       bits,
                       chartAxis(0.0, std::max(outlierHigh, kTransparentOutlierPercent))};

    drawPanelAxes(canvas, top, kQuantiserMeanLabel, true);
    drawLimit(canvas, top, kTransparentMeanDb);
    drawBudgets(canvas, top, budgets, mean, kMeanColour);
    drawModes(canvas, top, modes, mean, kModeColour, true);
    drawLegend(canvas, top,
               {{kQuantiserBudgetLegend, kMeanColour, false},
                {kQuantiserModesLegend, kModeColour, true},
                {kQuantiserTransparentLegend, kLimitColour, false}});

    drawPanelAxes(canvas, bottom, kQuantiserShareLabel, true);
    drawLimit(canvas, bottom, kTransparentOutlierPercent);
    drawBudgets(canvas, bottom, budgets, outliers, kOutlierColour);
    drawBudgets(canvas, bottom, budgets, large, kLargeColour);
    drawModes(canvas, bottom, modes, outliers, kOutlierColour, false);
    drawModes(canvas, bottom, modes, large, kLargeColour, false);
    drawLegend(canvas, bottom,
               {{kQuantiserOutlierLegend, kOutlierColour, false},
                {kQuantiserLargeLegend, kLargeColour, false},
                {kQuantiserOutlierLimitLegend, kLimitColour, false}});
    text(canvas, (top.left + top.right - canvasTextWidth(kQuantiserBitsLabel)) / 2,
         height - kBottomMargin + 30, kQuantiserBitsLabel);
    return picture;
}

}  // namespace zorvel
