// Canvas: the drawing surface of a chart image, with the operations the
// plots are written in: pen colour and width, brush colour, move-to and
// line-to, a filled and outlined rectangle, and opaque text at a top-left
// position.
//
// Lines follow one fixed pixel rule, whatever the toolkit would do on its own:
// a line includes its start pixel and excludes its end pixel, the pixels in
// between are those of Bresenham's walk along the major axis (ties of the minor
// axis round away from the start), and a zero-length line draws nothing. A pen
// of width w paints each of those pixels as a w x w block whose top-left corner
// is (x - w div 2, y - w div 2). Everything outside the image is clipped.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QString>
#include <cstdint>

#include "plots/Picture.h"

namespace zorvel {

class Canvas {
  public:
    explicit Canvas(QImage& image);
    // Records every operation into `picture` instead of painting (see Picture).
    explicit Canvas(Picture& picture);
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    int width() const { return width_; }
    int height() const { return height_; }

    void setPenColour(QRgb colour) { penColour_ = colour; }
    void setPenWidth(int width) { penWidth_ = width < 1 ? 1 : width; }
    int penWidth() const { return penWidth_; }
    void setBrushColour(QRgb colour) { brushColour_ = colour; }
    void setFontColour(QRgb colour) { fontColour_ = colour; }

    void moveTo(std::int64_t x, std::int64_t y);
    void lineTo(std::int64_t x, std::int64_t y);

    // Fills (x1, y1)..(x2 - 1, y2 - 1) with the brush and outlines that area
    // with the pen, the outline lying inside it.
    void rectangle(int x1, int y1, int x2, int y2);

    // Text with its cell's top-left corner at (x, y), on the brush colour or,
    // after setOpaqueText(false), only its glyphs over what is there.
    void textOut(int x, int y, const QString& text);
    void setOpaqueText(bool opaque) { opaqueText_ = opaque; }

    // Text `scale` times the canvas font's size, for pictures painted larger.
    void setTextScale(int scale);

  private:
    void paintBlock(std::int64_t x, std::int64_t y);
    void line(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1);

    QPainter painter_;
    int width_;
    int height_;
    QRgb penColour_ = 0xFF000000;
    int penWidth_ = 1;
    QRgb brushColour_ = 0xFFFFFFFF;
    QRgb fontColour_ = 0xFF000000;
    bool opaqueText_ = true;
    std::int64_t penX_ = 0;
    std::int64_t penY_ = 0;
    Picture* picture_ = nullptr;  // recording, not painting
    int openPolyline_ = -1;       // the recorded polyline a lineTo continues
};

// The font of all text inside the chart images. It is fixed, not taken from
// the platform, so that the window and an offscreen renderer draw the same
// pixels; glyphs are not antialiased.
QFont canvasFont();

// The advance of a text in the canvas font: the width of its cell.
int canvasTextWidth(const QString& text);

}  // namespace zorvel
