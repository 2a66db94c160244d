// The two renderers: everything the chart window draws on each image, in the
// window's order, on a fresh canvas with pen width 1.
#include "plots/Plots.h"

namespace zorvel {

QImage newChartImage(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::black);
    return image;
}

void renderTimeImage(QImage& image, const FrameRecord& previous, const FrameRecord& current,
                     const PlotOptions& options) {
    Canvas canvas(image);
    clearImage(canvas, options.colours);
    drawTimeGrid(canvas, options.twoFrames, options.timeGain, options.colours);
    drawTimeTraces(canvas, previous, current, options);
}

void renderSpectrumImage(QImage& image, const FrameRecord& current, const PlotOptions& options) {
    Canvas canvas(image);
    clearImage(canvas, options.colours);
    drawSpectrumGrid(canvas, options.colours);
    drawSpectra(canvas, current, options);
}

}  // namespace zorvel
