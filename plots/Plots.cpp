// The two renderers: everything the chart window draws on each image, in the
// window's order, on a fresh canvas with pen width 1.
#include "plots/Plots.h"

namespace zorvel {

QImage newChartImage(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::black);
    return image;
}

Picture describeTimePicture(int width, int height, const FrameRecord& previous,
                            const FrameRecord& current, const PlotOptions& options) {
    Picture picture{width, height, {}};
    Canvas canvas(picture);
    clearImage(canvas, options.colours);
    drawTimeGrid(canvas, options.twoFrames, options.timeGain, options.colours);
    drawTimeTraces(canvas, previous, current, options);
    return picture;
}

Picture describeSpectrumPicture(int width, int height, const FrameRecord& current,
                                const PlotOptions& options) {
    Picture picture{width, height, {}};
    Canvas canvas(picture);
    clearImage(canvas, options.colours);
    drawSpectrumGrid(canvas, options.colours);
    drawSpectra(canvas, current, options);
    return picture;
}

void renderTimeImage(QImage& image, const FrameRecord& previous, const FrameRecord& current,
                     const PlotOptions& options) {
    paintPicture(describeTimePicture(image.width(), image.height(), previous, current, options),
                 image);
}

void renderSpectrumImage(QImage& image, const FrameRecord& current, const PlotOptions& options) {
    paintPicture(describeSpectrumPicture(image.width(), image.height(), current, options), image);
}

}  // namespace zorvel
