// A figure's page, top to bottom: the title, the vertical axis's caption, the
// plot with the vertical numbers on its left and the horizontal ones under it,
// the horizontal caption, and the legend in rows as wide as the plot.
#include "plots/Figure.h"

#include <QFileInfo>
#include <QFontMetrics>
#include <algorithm>
#include <cmath>

#include "plots/Canvas.h"
#include "plots/MeasureTexts.h"
#include "plots/OverviewColumns.h"
#include "plots/OverviewPicture.h"
#include "plots/TraceNames.h"

namespace zorvel {
namespace {

constexpr int kPadding = 8;       // around everything on the page
constexpr int kTickLength = 4;    // outside the plot
constexpr int kTickGap = 3;       // between a tick and its number
constexpr int kRowGap = 6;        // between rows of text
constexpr int kSampleWidth = 26;  // a legend entry's line, on the plot's background
constexpr int kSampleGap = 5;     // between that line and the name
constexpr int kEntryGap = 16;     // between legend entries
constexpr int kLegendPenWidth = 2;

int lineHeight() { return QFontMetrics(canvasFont()).height(); }

struct Layout {
    int left = 0;  // the plot's corner
    int top = 0;
    int width = 0;  // the page
    int legendTop = 0;
};

int widestTick(const FigureAxis& axis) {
    int widest = 0;
    for (const AxisTick& tick : axis.ticks) widest = std::max(widest, canvasTextWidth(tick.text));
    return widest;
}

// The legend's entries as rows of entries, each row no wider than `width`.
std::vector<std::vector<const LegendEntry*>> legendRows(const std::vector<LegendEntry>& legend,
                                                        int width) {
    std::vector<std::vector<const LegendEntry*>> rows;
    int used = 0;
    for (const LegendEntry& entry : legend) {
        const int entryWidth = kSampleWidth + kSampleGap + canvasTextWidth(entry.name);
        if (rows.empty() || (used > 0 && used + kEntryGap + entryWidth > width)) {
            rows.emplace_back();
            used = 0;
        }
        used += (used > 0 ? kEntryGap : 0) + entryWidth;
        rows.back().push_back(&entry);
    }
    return rows;
}

Layout layoutOf(const Picture& plot, const FigureFrame& frame) {
    const int h = lineHeight();
    Layout layout;
    layout.left = kPadding + widestTick(frame.vertical) + kTickGap + kTickLength;
    layout.top = kPadding + h + kRowGap + h + kRowGap;
    // Room on the right for half of a number centred on the right edge.
    const int lastHalf = frame.horizontal.ticks.empty()
                             ? 0
                             : canvasTextWidth(frame.horizontal.ticks.back().text) / 2;
    // And for a title wider than the plot.
    layout.width = std::max(layout.left + plot.width + kPadding + lastHalf,
                            canvasTextWidth(frame.title) + 2 * kPadding);
    layout.legendTop =
        layout.top + plot.height + kTickLength + kTickGap + h + kRowGap + h + kRowGap;
    return layout;
}

void line(Canvas& canvas, int x0, int y0, int x1, int y1) {
    canvas.moveTo(x0, y0);
    canvas.lineTo(x1, y1);
}

// The plot's items moved by `offset`, after what the figure holds.
void appendMoved(Picture& figure, const Picture& plot, QPoint offset) {
    for (PictureItem item : plot.items) {
        if (auto* polyline = std::get_if<PicturePolyline>(&item)) {
            for (QPoint& p : polyline->points) p += offset;
        } else if (auto* rectangle = std::get_if<PictureRectangle>(&item)) {
            rectangle->x1 += offset.x();
            rectangle->x2 += offset.x();
            rectangle->y1 += offset.y();
            rectangle->y2 += offset.y();
        } else if (auto* text = std::get_if<PictureText>(&item)) {
            text->x += offset.x();
            text->y += offset.y();
        }
        figure.items.push_back(std::move(item));
    }
}

void drawAxes(Canvas& canvas, const Layout& layout, const Picture& plot, const FigureFrame& frame) {
    const int h = lineHeight();
    const int bottom = layout.top + plot.height;
    canvas.setPenColour(kFigureTextColour);
    for (const AxisTick& tick : frame.horizontal.ticks) {
        const int x = layout.left + tick.at;
        line(canvas, x, bottom, x, bottom + kTickLength);
        canvas.textOut(x - canvasTextWidth(tick.text) / 2, bottom + kTickLength + kTickGap,
                       tick.text);
    }
    for (const AxisTick& tick : frame.vertical.ticks) {
        const int y = layout.top + tick.at;
        line(canvas, layout.left - kTickLength, y, layout.left, y);
        const int top = tick.placement == TickText::below   ? y
                        : tick.placement == TickText::above ? y - h + 1
                                                            : y - h / 2;
        canvas.textOut(layout.left - kTickLength - kTickGap - canvasTextWidth(tick.text), top,
                       tick.text);
    }
    const QString& below = frame.horizontal.caption;
    canvas.textOut(layout.left + (plot.width - canvasTextWidth(below)) / 2,
                   bottom + kTickLength + kTickGap + h + kRowGap, below);
    canvas.textOut(kPadding, kPadding + h + kRowGap, frame.vertical.caption);
}

// Returns the bottom of the legend.
int drawLegend(Canvas& canvas, const Layout& layout, int width, const FigureFrame& frame) {
    const int h = lineHeight();
    int y = layout.legendTop;
    for (const auto& row : legendRows(frame.legend, width)) {
        int x = layout.left;
        for (const LegendEntry* entry : row) {
            canvas.setPenColour(frame.plotBackground);
            canvas.setBrushColour(frame.plotBackground);
            canvas.rectangle(x, y, x + kSampleWidth, y + h);
            canvas.setPenColour(entry->colour);
            canvas.setPenWidth(kLegendPenWidth);
            const int middle = y + h / 2;
            if (entry->dashed) {
                // Two dashes, as the responses are drawn.
                const int dash = (kSampleWidth - 6) / 3;
                line(canvas, x + 3, middle, x + 3 + dash, middle);
                line(canvas, x + 3 + 2 * dash, middle, x + 3 + 3 * dash, middle);
            } else {
                line(canvas, x + 3, middle, x + kSampleWidth - 3, middle);
            }
            canvas.setPenWidth(1);
            canvas.setBrushColour(kFigurePageColour);
            canvas.textOut(x + kSampleWidth + kSampleGap, y, entry->name);
            x += kSampleWidth + kSampleGap + canvasTextWidth(entry->name) + kEntryGap;
        }
        y += h + kRowGap;
    }
    return y;
}

QString number(double value) {
    // Whole numbers without a fraction; others with one decimal.
    const double rounded = std::round(value);
    if (std::abs(value - rounded) < 1e-9) return QString::number(rounded + 0.0, 'f', 0);
    return QString::number(value, 'f', 1);
}

// The frame numbers of the strip's axis: multiples of 1, 2 or 5 times a power
// of ten, at most this many.
constexpr int kMostFrameTicks = 10;

int frameStep(int totalFrames) {
    for (int power = 1;; power *= 10) {
        for (int factor : {1, 2, 5}) {
            if (totalFrames / (factor * power) <= kMostFrameTicks) return factor * power;
        }
    }
}

}  // namespace

QPoint figurePlotOrigin(const Picture& plot, const FigureFrame& frame) {
    const Layout layout = layoutOf(plot, frame);
    return {layout.left, layout.top};
}

Picture describeFigure(const Picture& plot, const FigureFrame& frame) {
    const Layout layout = layoutOf(plot, frame);
    const int rows = static_cast<int>(legendRows(frame.legend, plot.width).size());
    const int height = layout.legendTop + rows * (lineHeight() + kRowGap) + kPadding;
    Picture figure{layout.width, height, {}};
    Canvas canvas(figure);
    canvas.setPenColour(kFigurePageColour);
    canvas.setBrushColour(kFigurePageColour);
    canvas.rectangle(0, 0, figure.width, figure.height);
    canvas.setFontColour(kFigureTextColour);
    // Centred over the plot, within the page.
    const int titleWidth = canvasTextWidth(frame.title);
    const int titleLeft = std::clamp(layout.left + (plot.width - titleWidth) / 2, kPadding,
                                     figure.width - kPadding - titleWidth);
    canvas.textOut(titleLeft, kPadding, frame.title);
    appendMoved(figure, plot, QPoint(layout.left, layout.top));
    drawAxes(canvas, layout, plot, frame);
    drawLegend(canvas, layout, plot.width, frame);
    return figure;
}

QString figureTitle(const FigureSubject& subject) {
    const std::string_view rate = rulesOf(subject.mode).rate;
    QString title = QStringLiteral("%1 - tryb: %2 [kb/s]")
                        .arg(QFileInfo(subject.fileName).fileName(),
                             QLatin1String(rate.data(), static_cast<qsizetype>(rate.size())));
    if (!subject.settings.adaptiveCodebook) title += QStringLiteral(" bez słownika adaptacyjnego");
    return title + QStringLiteral(" - ramka %1").arg(subject.frame);
}

std::vector<LegendEntry> timeLegend(const PlotOptions& options) {
    std::vector<LegendEntry> legend;
    for (const NamedTrace& trace : kNamedTraces) {
        if (!(options.traces.*trace.shown)) continue;
        legend.push_back({QString::fromUtf8(trace.name), options.colours.*trace.colour, false});
        // One frame of sp(n) comes with the formant post-filter's output.
        if (trace.shown == &TimeTraceSelection::postProcessed && !options.twoFrames)
            legend.push_back(
                {QString::fromUtf8(kPostFilterTraceName), kPostFilterTraceColour, false});
    }
    for (const NamedErrorTrace& trace : kNamedErrorTraces) {
        if (options.traces.*trace.shown)
            legend.push_back({QString::fromUtf8(trace.name), options.colours.*trace.colour, false});
    }
    return legend;
}

std::vector<LegendEntry> spectrumLegend(const PlotOptions& options, bool lpQuantised) {
    std::vector<LegendEntry> legend;
    for (const NamedSpectrum& spectrum : kNamedSpectra) {
        if (!(options.spectra.*spectrum.shown)) continue;
        legend.push_back(
            {QString::fromUtf8(spectrum.name), options.colours.*spectrum.colour, spectrum.dashed});
    }
    for (const NamedQuantisedResponse& response : kNamedQuantisedResponses) {
        if (lpQuantised && options.spectra.*response.shown)
            legend.push_back(
                {QString::fromUtf8(response.name), options.colours.*response.colour, false});
    }
    return legend;
}

std::vector<LegendEntry> overviewLegend(const ChartColours& colours,
                                        const std::optional<LaneMeasure>& measure) {
    std::vector<LegendEntry> legend{
        {QStringLiteral("E: średnia"), colours.overviewPower, false},
        {QStringLiteral("E: od najcichszej do najgłośniejszej ramki"), colours.overviewPowerRange,
         false},
        {QStringLiteral("SNR: średni"), colours.overviewSnr, false},
        {QStringLiteral("SNR: od najniższego do najwyższego"), colours.overviewSnrRange, false},
        {QStringLiteral("k: średnie opóźnienie podramek dźwięcznych"), colours.overviewLag, false},
    };
    if (measure) {
        // The measure's lane is drawn in the SNR's colours.
        const QString label = measureLaneScale(*measure).label;
        legend[2].name = label + QStringLiteral(": średnia ramek");
        legend[3].name = label + QStringLiteral(": od najmniejszej do największej wartości");
    }
    return legend;
}

FigureAxis timeAxis(int width, bool twoFrames) {
    FigureAxis axis{{}, QStringLiteral("czas [ms]")};
    const int columns = timeGridColumns(twoFrames);
    // Each grid column is one 40-sample subframe, 5 ms.
    const int firstMs = twoFrames ? -20 : 0;
    for (int k = 0; k <= columns; ++k)
        axis.ticks.push_back({std::min(timeGridX(k, width, twoFrames), width - 1),
                              QString::number(firstMs + 5 * k)});
    return axis;
}

FigureAxis amplitudeAxis(int height, double timeGain) {
    FigureAxis axis{{}, QStringLiteral("amplituda")};
    for (int j = 1; j <= 3; ++j) {
        const int y = timeGridY(j, height);
        axis.ticks.push_back({y, amplitudeLabel(y, height, timeGain)});
    }
    return axis;
}

FigureAxis frequencyAxis(int width) {
    FigureAxis axis{{}, QStringLiteral("częstotliwość [kHz]")};
    for (int k = 0; k <= 4; ++k)
        axis.ticks.push_back({std::min(spectrumGridX(k, width), width - 1), QString::number(k)});
    return axis;
}

FigureAxis levelAxis(int height, double spectrumGain) {
    FigureAxis axis{{}, QStringLiteral("poziom [dB]")};
    // The level lines the grid draws, from the bottom up.
    for (int n = 0; height - kSpectrumGridStep * n > 0; ++n) {
        const int y = std::min(height - kSpectrumGridStep * n, height - 1);
        axis.ticks.push_back({y, number(kSpectrumGridStep * n / spectrumGain)});
    }
    return axis;
}

FigureAxis frameAxis(int width, int totalFrames) {
    FigureAxis axis{{}, QStringLiteral("ramka")};
    if (totalFrames <= 0) return axis;
    axis.ticks.push_back({overviewXOfFrame(1, width, totalFrames), QStringLiteral("1")});
    const int step = frameStep(totalFrames);
    for (int frame = step; frame <= totalFrames; frame += step) {
        if (frame == 1) continue;
        axis.ticks.push_back({overviewXOfFrame(frame, width, totalFrames), QString::number(frame)});
    }
    return axis;
}

FigureAxis laneAxis(int height, const std::optional<LaneMeasure>& measure) {
    QString middle = QStringLiteral("SNR [dB]");
    if (measure) {
        const QString unit = measureUnit(*measure);
        middle = measureLaneScale(*measure).label;
        if (!unit.isEmpty()) middle += QStringLiteral(" [%1]").arg(unit);
    }
    FigureAxis axis{{}, QStringLiteral("E [dB], %1, k").arg(middle)};
    for (int lane = 0; lane < kOverviewLanes; ++lane) {
        const OverviewLane l = lane == 1 && measure ? overviewMeasureLane(*measure, height)
                                                    : overviewLane(lane, height);
        axis.ticks.push_back({l.y(l.high), number(l.high), TickText::below});
        axis.ticks.push_back({l.y(l.low), number(l.low), TickText::above});
    }
    return axis;
}

Picture describeTimeFigure(int width, int height, const FrameRecord& previous,
                           const FrameRecord& current, const PlotOptions& options,
                           const FigureSubject& subject) {
    const FigureFrame frame{figureTitle(subject), timeAxis(width, options.twoFrames),
                            amplitudeAxis(height, options.timeGain), timeLegend(options),
                            options.colours.background};
    return describeFigure(describeTimePicture(width, height, previous, current, options), frame);
}

Picture describeSpectrumFigure(int width, int height, const FrameRecord& current,
                               const PlotOptions& options, const FigureSubject& subject) {
    const FigureFrame frame{
        figureTitle(subject), frequencyAxis(width), levelAxis(height, options.spectrumGain),
        spectrumLegend(options, current.lpQuantised), options.colours.background};
    return describeFigure(describeSpectrumPicture(width, height, current, options), frame);
}

Picture describeOverviewFigure(const Picture& strip, int totalFrames, const ChartColours& colours,
                               const FigureSubject& subject,
                               const std::optional<LaneMeasure>& measure) {
    const FigureFrame frame{figureTitle(subject), frameAxis(strip.width, totalFrames),
                            laneAxis(strip.height, measure), overviewLegend(colours, measure),
                            colours.background};
    return describeFigure(strip, frame);
}

}  // namespace zorvel
