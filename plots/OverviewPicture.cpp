// The overview strip's primitives, lane by lane.
#include "plots/OverviewPicture.h"

#include <algorithm>
#include <cmath>

#include "plots/Canvas.h"
#include "plots/OverviewColumns.h"

namespace zorvel {
namespace {

constexpr int kLabelLeft = 3;
constexpr int kDotSpacing = 3;  // the SNR lane's 0 dB line: one pixel in three

// A lane whose bottom pixel row is `bottom` and whose values span `span` pixels above it.
struct Lane {
    int bottom;
    int span;
    double low;
    double high;
    int y(double v) const { return bottom - overviewLaneHeight(v, low, high, span); }
};

// A vertical run of pixels y1..y2 (either order) in column x.
void column(Canvas& canvas, int x, int y1, int y2) {
    canvas.moveTo(x, std::min(y1, y2));
    canvas.lineTo(x, std::max(y1, y2) + 1);
}

void pixel(Canvas& canvas, int x, int y) {
    canvas.moveTo(x, y);
    canvas.lineTo(x + 1, y);
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

// The lines between the lanes and the SNR lane's dotted 0 dB line.
void drawGrid(Canvas& canvas, int notCoded, int laneHeight, int snrZero,
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
    for (int x = 0; x < w; x += kDotSpacing) {
        canvas.setPenColour(x < notCoded ? colours.grid : colours.overviewNotCodedGrid);
        pixel(canvas, x, snrZero);
    }
}

void drawColumns(Canvas& canvas, std::span<const OverviewColumn> columns, const Lane& power,
                 const Lane& snr, const Lane& lag, const ChartColours& colours) {
    for (int x = 0; x < static_cast<int>(columns.size()); ++x) {
        const OverviewColumn& c = columns[static_cast<std::size_t>(x)];
        if (c.frames == 0) continue;
        // From the quietest to the loudest frame, dim; the mean, bright.
        canvas.setPenColour(colours.overviewPowerRange);
        column(canvas, x, power.y(c.powerLowDb), power.y(c.powerHighDb));
        canvas.setPenColour(colours.overviewPower);
        pixel(canvas, x, power.y(c.powerMeanDb));
        canvas.setPenColour(colours.overviewSnrRange);
        column(canvas, x, snr.y(c.snrLowDb), snr.y(c.snrHighDb));
        canvas.setPenColour(colours.overviewSnr);
        pixel(canvas, x, snr.y(c.snrMeanDb));
        if (c.voicedSubframes > 0) {
            // Two pixels high: the lag lane's pixel and the one above it.
            const int y = lag.y(c.meanVoicedLag);
            canvas.setPenColour(colours.overviewLag);
            column(canvas, x, y - 1, y);
        }
    }
}

void drawLabels(Canvas& canvas, int laneHeight, const ChartColours& colours) {
    static const char* const labels[kOverviewLanes] = {"E [dB]", "SNR", "k"};
    canvas.setFontColour(colours.text);
    canvas.setOpaqueText(false);  // over the columns, which stay visible around the glyphs
    for (int lane = 0; lane < kOverviewLanes; ++lane)
        canvas.textOut(kLabelLeft, lane * laneHeight, QString::fromLatin1(labels[lane]));
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

Picture describeOverviewPicture(int width, int height, std::span<const FrameSummary> summaries,
                                int totalFrames, const ChartColours& colours) {
    Picture picture{width, height, {}};
    Canvas canvas(picture);
    const int laneHeight = height / kOverviewLanes;
    const int reached = static_cast<int>(summaries.size());
    // Values run over every row of a lane but its top one (the outline or a
    // grid line); the lag, two pixels high, over one row less.
    const Lane power{laneHeight - 1, laneHeight - 2, kOverviewPowerFloorDb, kOverviewPowerTopDb};
    const Lane snr{2 * laneHeight - 1, laneHeight - 2, kOverviewSnrFloorDb, kOverviewSnrTopDb};
    const Lane lag{3 * laneHeight - 1, laneHeight - 3, kOverviewLagLow, kOverviewLagHigh};

    const int notCoded = firstColumnNotCoded(width, reached, totalFrames);
    drawBackground(canvas, notCoded, laneHeight, colours);
    drawGrid(canvas, notCoded, laneHeight, snr.y(0.0), colours);
    drawColumns(canvas, overviewColumns(summaries, totalFrames, width), power, snr, lag, colours);
    drawLabels(canvas, laneHeight, colours);
    drawOutline(canvas);
    return picture;
}

}  // namespace zorvel
