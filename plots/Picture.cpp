// Rasterising a picture through Canvas, and writing it as SVG elements.
#include "plots/Picture.h"

#include <QBuffer>
#include <QXmlStreamWriter>

#include "plots/Canvas.h"

namespace zorvel {
namespace {

template <class... Ts>
struct Overloaded : Ts... {
    using Ts::operator()...;
};
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

QString colourText(QRgb colour) { return QColor::fromRgb(colour).name(QColor::HexRgb); }

// The centre of the w x w block Canvas paints for pixel c: its top-left
// corner lies at c - w div 2.
double blockCentre(int c, int width) { return c - width / 2 + width / 2.0; }

QString number(double value) { return QString::number(value, 'g', 12); }

void writePolyline(QXmlStreamWriter& xml, const PicturePolyline& line) {
    QString points;
    for (const QPoint& p : line.points) {
        if (!points.isEmpty()) points += QLatin1Char(' ');
        points += number(blockCentre(p.x(), line.width)) + QLatin1Char(',') +
                  number(blockCentre(p.y(), line.width));
    }
    xml.writeEmptyElement(QStringLiteral("polyline"));
    xml.writeAttribute(QStringLiteral("points"), points);
    xml.writeAttribute(QStringLiteral("fill"), QStringLiteral("none"));
    xml.writeAttribute(QStringLiteral("stroke"), colourText(line.colour));
    xml.writeAttribute(QStringLiteral("stroke-width"), QString::number(line.width));
}

void writeRectangle(QXmlStreamWriter& xml, const PictureRectangle& r) {
    // The outline lies inside the area: the stroke's centre is half a pen in.
    const double t = r.penWidth;
    xml.writeEmptyElement(QStringLiteral("rect"));
    xml.writeAttribute(QStringLiteral("x"), number(r.x1 + t / 2));
    xml.writeAttribute(QStringLiteral("y"), number(r.y1 + t / 2));
    xml.writeAttribute(QStringLiteral("width"), number(r.x2 - r.x1 - t));
    xml.writeAttribute(QStringLiteral("height"), number(r.y2 - r.y1 - t));
    xml.writeAttribute(QStringLiteral("fill"), colourText(r.brush));
    xml.writeAttribute(QStringLiteral("stroke"), colourText(r.pen));
    xml.writeAttribute(QStringLiteral("stroke-width"), QString::number(r.penWidth));
}

void writeText(QXmlStreamWriter& xml, const PictureText& t) {
    if (t.opaque) {
        xml.writeEmptyElement(QStringLiteral("rect"));
        xml.writeAttribute(QStringLiteral("x"), QString::number(t.x));
        xml.writeAttribute(QStringLiteral("y"), QString::number(t.y));
        xml.writeAttribute(QStringLiteral("width"), QString::number(t.cellWidth));
        xml.writeAttribute(QStringLiteral("height"), QString::number(t.cellHeight));
        xml.writeAttribute(QStringLiteral("fill"), colourText(t.background));
    }
    xml.writeStartElement(QStringLiteral("text"));
    xml.writeAttribute(QStringLiteral("x"), QString::number(t.x));
    xml.writeAttribute(QStringLiteral("y"), QString::number(t.y + t.ascent));
    xml.writeAttribute(QStringLiteral("fill"), colourText(t.colour));
    xml.writeCharacters(t.text);
    xml.writeEndElement();
}

}  // namespace

void paintPicture(const Picture& picture, QImage& image, int scale) {
    Canvas canvas(image);
    canvas.setTextScale(scale);
    for (const PictureItem& item : picture.items) {
        std::visit(Overloaded{
                       [&](const PicturePolyline& line) {
                           canvas.setPenColour(line.colour);
                           canvas.setPenWidth(line.width * scale);
                           // The scaled block covers the scaled area of the
                           // original block (see Canvas for a block's corner).
                           const std::int64_t shift =
                               (line.width * scale) / 2 - scale * (line.width / 2);
                           const auto at = [&](int c) { return std::int64_t{c} * scale + shift; };
                           canvas.moveTo(at(line.points.front().x()), at(line.points.front().y()));
                           for (std::size_t i = 1; i < line.points.size(); ++i)
                               canvas.lineTo(at(line.points[i].x()), at(line.points[i].y()));
                       },
                       [&](const PictureRectangle& r) {
                           canvas.setPenColour(r.pen);
                           canvas.setPenWidth(r.penWidth * scale);
                           canvas.setBrushColour(r.brush);
                           canvas.rectangle(r.x1 * scale, r.y1 * scale, r.x2 * scale, r.y2 * scale);
                       },
                       [&](const PictureText& t) {
                           canvas.setFontColour(t.colour);
                           canvas.setBrushColour(t.background);
                           canvas.setOpaqueText(t.opaque);
                           canvas.textOut(t.x * scale, t.y * scale, t.text);
                       },
                   },
                   item);
    }
}

QImage pictureImage(const Picture& picture, int scale) {
    QImage image(picture.width * scale, picture.height * scale, QImage::Format_RGB32);
    image.fill(Qt::black);
    paintPicture(picture, image, scale);
    return image;
}

QByteArray pictureSvg(const Picture& picture) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QXmlStreamWriter xml(&buffer);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("svg"));
    xml.writeDefaultNamespace(QStringLiteral("http://www.w3.org/2000/svg"));
    xml.writeAttribute(QStringLiteral("version"), QStringLiteral("1.1"));
    xml.writeAttribute(QStringLiteral("width"), QString::number(picture.width));
    xml.writeAttribute(QStringLiteral("height"), QString::number(picture.height));
    xml.writeAttribute(QStringLiteral("viewBox"),
                       QStringLiteral("0 0 %1 %2").arg(picture.width).arg(picture.height));
    // The canvas font, and no smoothing of the axis-parallel grid.
    xml.writeAttribute(QStringLiteral("font-family"), canvasFont().family());
    xml.writeAttribute(QStringLiteral("font-size"), QString::number(canvasFont().pixelSize()));
    xml.writeAttribute(QStringLiteral("stroke-linejoin"), QStringLiteral("round"));
    for (const PictureItem& item : picture.items) {
        std::visit(Overloaded{
                       [&](const PicturePolyline& line) { writePolyline(xml, line); },
                       [&](const PictureRectangle& r) { writeRectangle(xml, r); },
                       [&](const PictureText& t) { writeText(xml, t); },
                   },
                   item);
    }
    xml.writeEndElement();
    xml.writeEndDocument();
    return bytes;
}

PictureCounts countItems(const Picture& picture) {
    PictureCounts counts;
    for (const PictureItem& item : picture.items) {
        if (std::holds_alternative<PicturePolyline>(item)) ++counts.polylines;
        if (std::holds_alternative<PictureRectangle>(item)) ++counts.rectangles;
        if (std::holds_alternative<PictureText>(item)) ++counts.texts;
    }
    return counts;
}

}  // namespace zorvel
