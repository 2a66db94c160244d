// Picture: one description of a chart image as the drawing primitives the
// plots are written in (polylines with a pen, filled and outlined rectangles,
// opaque texts), in drawing order. A Canvas built on a Picture records them;
// paintPicture rasterises them with the Canvas pixel rule, so a picture and
// the image drawn directly are the same pixels, and pictureSvg writes the same
// primitives as SVG vectors.
#pragma once

#include <QImage>
#include <QPoint>
#include <QRgb>
#include <QString>
#include <variant>
#include <vector>

namespace zorvel {

// Connected line segments drawn with one pen: moveTo(points[0]), then lineTo
// every further point.
struct PicturePolyline {
    QRgb colour = 0xFF000000;
    int width = 1;
    std::vector<QPoint> points;
};

// Fills (x1, y1)..(x2 - 1, y2 - 1) with the brush, outlined inside with the pen.
struct PictureRectangle {
    int x1 = 0;
    int y1 = 0;
    int x2 = 0;
    int y2 = 0;
    QRgb pen = 0xFF000000;
    int penWidth = 1;
    QRgb brush = 0xFFFFFFFF;
};

// A text whose cell (width x height, baseline `ascent` below the top) has its
// top-left corner at (x, y), on the background colour, or, not opaque, only
// its glyphs over what is there.
struct PictureText {
    int x = 0;
    int y = 0;
    QString text;
    QRgb colour = 0xFF000000;
    QRgb background = 0xFFFFFFFF;
    int cellWidth = 0;
    int cellHeight = 0;
    int ascent = 0;
    bool opaque = true;
};

using PictureItem = std::variant<PicturePolyline, PictureRectangle, PictureText>;

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<PictureItem> items;
};

// Paints the picture onto `image` with the Canvas pixel rule; at `scale` 2
// every coordinate, pen width and the text size are doubled.
void paintPicture(const Picture& picture, QImage& image, int scale = 1);

// A new image of the picture's size times `scale`, with the picture painted on it.
QImage pictureImage(const Picture& picture, int scale = 1);

// The picture as an SVG document of the picture's size: one <polyline> per
// polyline, a <rect> per rectangle, and a <rect> (when opaque) and a <text> per text, in
// drawing order and in the same colours. Lines run through the centres of the
// pixels Canvas paints for their points.
QByteArray pictureSvg(const Picture& picture);

// Counts of the picture's items by kind.
struct PictureCounts {
    int polylines = 0;
    int rectangles = 0;
    int texts = 0;
};
PictureCounts countItems(const Picture& picture);

}  // namespace zorvel
