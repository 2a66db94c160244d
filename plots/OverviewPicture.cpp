// The overview strip's primitives, lane by lane.
#include "plots/OverviewPicture.h"

#include <QFontMetrics>
#include <QRect>
#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "plots/Canvas.h"
#include "plots/MeasureTexts.h"
#include "plots/OverviewColumns.h"

namespace zorvel {
namespace {

constexpr int kLabelLeft = 3;
constexpr int kDotSpacing = 3;  // the SNR lane's 0 dB line: one pixel in three

// The cells of the lanes' labels: the columns leave them free, so that no
// trace runs through a label's glyphs.
struct LabelCells {
    std::vector<QRect> cells;

    // The rows y1..y2 of column x outside every cell, as at most two runs
    // (a cell lies within one lane).
    template <class Draw>
    void eachFreeRun(int x, int y1, int y2, Draw draw) const {
        for (const QRect& cell : cells) {
            if (x < cell.left() || x > cell.right() || y2 < cell.top() || y1 > cell.bottom())
                continue;
            if (y1 < cell.top()) draw(y1, cell.top() - 1);
            if (y2 > cell.bottom()) draw(cell.bottom() + 1, y2);
            return;
        }
        draw(y1, y2);
    }
};

using LaneLabels = std::array<QString, kOverviewLanes>;

LaneLabels laneLabels(const std::optional<OverviewMeasure>& measure) {
    LaneLabels labels{kOverviewLaneLabels[0], kOverviewLaneLabels[1], kOverviewLaneLabels[2]};
    if (measure) labels[1] = measureLaneScale(measure->measure).label;
    return labels;
}

LabelCells labelCells(int laneHeight, const LaneLabels& texts) {
    const QFontMetrics metrics(canvasFont());
    LabelCells labels;
    for (int lane = 0; lane < kOverviewLanes; ++lane) {
        // One free column after the glyphs.
        labels.cells.emplace_back(kLabelLeft, lane * laneHeight,
                                  metrics.horizontalAdvance(texts[lane]) + 1, metrics.height());
    }
    return labels;
}

// A vertical run of pixels y1..y2 (either order) in column x, around the labels.
void column(Canvas& canvas, const LabelCells& labels, int x, int y1, int y2) {
    labels.eachFreeRun(x, std::min(y1, y2), std::max(y1, y2), [&](int top, int bottom) {
        canvas.moveTo(x, top);
        canvas.lineTo(x, bottom + 1);
    });
}

void pixel(Canvas& canvas, int x, int y) {
    canvas.moveTo(x, y);
    canvas.lineTo(x + 1, y);
}

void pixel(Canvas& canvas, const LabelCells& labels, int x, int y) {
    column(canvas, labels, x, y, y);
}

// The first column of frames the pass has not reached: the width when there is none.
int firstColumnNotCoded(int width, int reached, int totalFrames) {
    if (totalFrames <= 0 || reached >= totalFrames) return width;
    return reached == 0 ? 0 : overviewXOfFrame(reached, width, totalFrames) + 1;
}

void drawBackground(Canvas& canvas, int notCoded, int laneHeight, const ChartColours& colours) {
    const int w = canvas.width();
    canvas.setPenColour(colours.background);
    canvas.setBrushColour(colours.background);
    canvas.rectangle(0, 0, w, canvas.height());
    canvas.setPenColour(colours.overviewNotCoded);
    canvas.setBrushColour(colours.overviewNotCoded);
    canvas.rectangle(notCoded, 0, w, kOverviewLanes * laneHeight);
}

// The lines between the lanes and, when `dotted`, the SNR lane's dotted
// line at 0 (row snrZero).
void drawGrid(Canvas& canvas, int notCoded, int laneHeight, bool dotted, int snrZero,
              const ChartColours& colours) {
    const int w = canvas.width();
    for (int lane = 1; lane < kOverviewLanes; ++lane) {
        const int y = lane * laneHeight;
        if (notCoded > 0) {
            canvas.setPenColour(colours.grid);
            canvas.moveTo(0, y);
            canvas.lineTo(notCoded, y);
        }
        if (notCoded < w) {
            canvas.setPenColour(colours.overviewNotCodedGrid);
            canvas.moveTo(notCoded, y);
            canvas.lineTo(w, y);
        }
    }
    for (int x = 0; x < w && dotted; x += kDotSpacing) {
        canvas.setPenColour(x < notCoded ? colours.grid : colours.overviewNotCodedGrid);
        pixel(canvas, x, snrZero);
    }
}

void drawColumns(Canvas& canvas, std::span<const OverviewColumn> columns, int height,
                 const LabelCells& labels, const ChartColours& colours,
                 const std::optional<OverviewMeasure>& measure) {
    const OverviewLane power = overviewLane(0, height);
    const OverviewLane snr =
        measure ? overviewMeasureLane(measure->measure, height) : overviewLane(1, height);
    const OverviewLane lag = overviewLane(2, height);
    for (int x = 0; x < static_cast<int>(columns.size()); ++x) {
        const OverviewColumn& c = columns[static_cast<std::size_t>(x)];
        if (c.frames == 0) continue;
        // From the quietest to the loudest frame, dim; the mean, bright.
        canvas.setPenColour(colours.overviewPowerRange);
        column(canvas, labels, x, power.y(c.powerLowDb), power.y(c.powerHighDb));
        canvas.setPenColour(colours.overviewPower);
        pixel(canvas, labels, x, power.y(c.powerMeanDb));
        if (!measure) {
            canvas.setPenColour(colours.overviewSnrRange);
            column(canvas, labels, x, snr.y(c.snrLowDb), snr.y(c.snrHighDb));
            canvas.setPenColour(colours.overviewSnr);
            pixel(canvas, labels, x, snr.y(c.snrMeanDb));
        } else if (c.measuredFrames > 0) {
            canvas.setPenColour(colours.overviewSnrRange);
            column(canvas, labels, x, snr.y(c.measureLow), snr.y(c.measureHigh));
            canvas.setPenColour(colours.overviewSnr);
            pixel(canvas, labels, x, snr.y(c.measureMean));
        }
        if (c.voicedSubframes > 0) {
            // Two pixels high: the lag lane's pixel and the one above it.
            const int y = lag.y(c.meanVoicedLag);
            canvas.setPenColour(colours.overviewLag);
            column(canvas, labels, x, y - 1, y);
        }
    }
}

void drawLabels(Canvas& canvas, int laneHeight, const ChartColours& colours,
                const LaneLabels& texts) {
    canvas.setFontColour(colours.text);
    // Only the glyphs: the grid stays visible around them, the columns leave their cells free.
    canvas.setOpaqueText(false);
    for (int lane = 0; lane < kOverviewLanes; ++lane)
        canvas.textOut(kLabelLeft, lane * laneHeight, texts[lane]);
    canvas.setOpaqueText(true);
}

void drawOutline(Canvas& canvas) {
    const int right = canvas.width() - 1;
    const int bottom = canvas.height() - 1;
    canvas.setPenColour(kOutlineColour);
    canvas.moveTo(0, 0);
    canvas.lineTo(right, 0);
    canvas.lineTo(right, bottom);
    canvas.lineTo(0, bottom);
    canvas.lineTo(0, 0);
}

}  // namespace

int overviewLaneHeight(double v, double low, double high, int span) {
    const double t = std::clamp((v - low) / (high - low), 0.0, 1.0);
    return static_cast<int>(std::lround(t * span));
}

double OverviewLane::valueAt(int row) const {
    const int above = std::clamp(bottom - row, 0, span);
    return low + (high - low) * above / span;
}

OverviewLane overviewLane(int lane, int height) {
    const int laneHeight = height / kOverviewLanes;
    const int bottom = (lane + 1) * laneHeight - 1;
    switch (lane) {
        case 0:
            return {bottom, laneHeight - 2, kOverviewPowerFloorDb, kOverviewPowerTopDb};
        case 1:
            return {bottom, laneHeight - 2, kOverviewSnrFloorDb, kOverviewSnrTopDb};
        default:
            return {bottom, laneHeight - 3, kOverviewLagLow, kOverviewLagHigh};
    }
}

OverviewLane overviewMeasureLane(const LaneMeasure& measure, int height) {
    const MeasureLaneScale scale = measureLaneScale(measure);
    OverviewLane lane = overviewLane(1, height);
    lane.low = scale.low;
    lane.high = scale.high;
    return lane;
}

Picture describeOverviewPicture(int width, int height, std::span<const FrameSummary> summaries,
                                int totalFrames, const ChartColours& colours,
                                const std::optional<OverviewMeasure>& measure) {
    Picture picture{width, height, {}};
    Canvas canvas(picture);
    const int laneHeight = height / kOverviewLanes;
    const int reached = static_cast<int>(summaries.size());
    const int notCoded = firstColumnNotCoded(width, reached, totalFrames);
    drawBackground(canvas, notCoded, laneHeight, colours);
    const OverviewLane lane1 =
        measure ? overviewMeasureLane(measure->measure, height) : overviewLane(1, height);
    drawGrid(canvas, notCoded, laneHeight, lane1.low < 0.0 && lane1.high > 0.0, lane1.y(0.0),
             colours);
    const LaneLabels texts = laneLabels(measure);
    drawColumns(canvas, overviewColumns(summaries, totalFrames, width, measure), height,
                labelCells(laneHeight, texts), colours, measure);
    drawLabels(canvas, laneHeight, colours, texts);
    drawOutline(canvas);
    return picture;
}

}  // namespace zorvel
