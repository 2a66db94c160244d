#include "plots/Canvas.h"

#include <QFontMetrics>
#include <algorithm>
#include <cstdlib>

namespace zorvel {

namespace {

// Coordinates beyond this lie far outside any image; pinning them here keeps
// the line arithmetic in 64-bit integers without changing a visible pixel.
constexpr std::int64_t kCoordinateLimit = std::int64_t{1} << 28;

std::int64_t pinned(std::int64_t c) { return std::clamp(c, -kCoordinateLimit, kCoordinateLimit); }

int signOf(std::int64_t v) { return v > 0 ? 1 : (v < 0 ? -1 : 0); }

}  // namespace

QFont canvasFont() {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    font.setStyleStrategy(QFont::NoAntialias);
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

int canvasTextWidth(const QString& text) {
    return QFontMetrics(canvasFont()).horizontalAdvance(text);
}

Canvas::Canvas(QImage& image) : painter_(&image), width_(image.width()), height_(image.height()) {
    painter_.setRenderHint(QPainter::Antialiasing, false);
    painter_.setRenderHint(QPainter::TextAntialiasing, false);
    painter_.setFont(canvasFont());
}

Canvas::Canvas(Picture& picture)
    : width_(picture.width), height_(picture.height), picture_(&picture) {}

void Canvas::setTextScale(int scale) {
    if (picture_ != nullptr) return;
    QFont font = canvasFont();
    font.setPixelSize(font.pixelSize() * std::max(scale, 1));
    painter_.setFont(font);
}

void Canvas::moveTo(std::int64_t x, std::int64_t y) {
    penX_ = pinned(x);
    penY_ = pinned(y);
    openPolyline_ = -1;
}

void Canvas::lineTo(std::int64_t x, std::int64_t y) {
    x = pinned(x);
    y = pinned(y);
    if (picture_ != nullptr) {
        // A lineTo continues the polyline it follows while the pen stays the same.
        const QPoint to(static_cast<int>(x), static_cast<int>(y));
        auto* open = openPolyline_ >= 0
                         ? std::get_if<PicturePolyline>(&picture_->items[openPolyline_])
                         : nullptr;
        if (open != nullptr && open->colour == penColour_ && open->width == penWidth_) {
            open->points.push_back(to);
        } else {
            openPolyline_ = static_cast<int>(picture_->items.size());
            picture_->items.emplace_back(
                PicturePolyline{penColour_,
                                penWidth_,
                                {QPoint(static_cast<int>(penX_), static_cast<int>(penY_)), to}});
        }
    } else {
        line(penX_, penY_, x, y);
    }
    penX_ = x;
    penY_ = y;
}

void Canvas::paintBlock(std::int64_t x, std::int64_t y) {
    const int half = penWidth_ / 2;
    painter_.fillRect(
        QRect(static_cast<int>(x) - half, static_cast<int>(y) - half, penWidth_, penWidth_),
        QColor::fromRgb(penColour_));
}

// Bresenham's walk from (x0, y0) up to but excluding (x1, y1). Step i of n
// along the major axis puts the minor coordinate at the start plus
// round(i * dMinor / n), halves rounding away from the start. Only the steps
// whose block can touch the image are visited.
void Canvas::line(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1) {
    const std::int64_t dx = x1 - x0;
    const std::int64_t dy = y1 - y0;
    const std::int64_t n = std::max(std::abs(dx), std::abs(dy));
    if (n == 0) return;
    const bool xMajor = std::abs(dx) >= std::abs(dy);
    const std::int64_t major0 = xMajor ? x0 : y0;
    const std::int64_t minor0 = xMajor ? y0 : x0;
    const int majorStep = signOf(xMajor ? dx : dy);
    const int minorStep = signOf(xMajor ? dy : dx);
    const std::int64_t minorDelta = std::abs(xMajor ? dy : dx);
    const std::int64_t majorSize = xMajor ? width_ : height_;
    const std::int64_t minorSize = xMajor ? height_ : width_;

    // A block at c covers c - w div 2 .. c - w div 2 + w - 1.
    const std::int64_t half = penWidth_ / 2;
    const std::int64_t lowest = half - penWidth_ + 1;
    const std::int64_t highestMajor = majorSize - 1 + half;
    const std::int64_t highestMinor = minorSize - 1 + half;

    std::int64_t first = majorStep > 0 ? lowest - major0 : major0 - highestMajor;
    std::int64_t last = majorStep > 0 ? highestMajor - major0 : major0 - lowest;
    first = std::max<std::int64_t>(first, 0);
    last = std::min<std::int64_t>(last, n - 1);
    if (minorDelta == 0) {
        // Axis-parallel: the blocks of the visited steps form one rectangle.
        if (first > last || minor0 < lowest || minor0 > highestMinor) return;
        const std::int64_t a = major0 + majorStep * first;
        const std::int64_t b = major0 + majorStep * last;
        const auto low = static_cast<int>(std::min(a, b) - half);
        const auto length = static_cast<int>(std::abs(b - a) + penWidth_);
        const auto across = static_cast<int>(minor0 - half);
        painter_.fillRect(
            xMajor ? QRect(low, across, length, penWidth_) : QRect(across, low, penWidth_, length),
            QColor::fromRgb(penColour_));
        return;
    }
    for (std::int64_t i = first; i <= last; ++i) {
        const std::int64_t major = major0 + majorStep * i;
        const std::int64_t minor = minor0 + minorStep * ((2 * i * minorDelta + n) / (2 * n));
        if (minor < lowest || minor > highestMinor) continue;
        if (xMajor) {
            paintBlock(major, minor);
        } else {
            paintBlock(minor, major);
        }
    }
}

void Canvas::rectangle(int x1, int y1, int x2, int y2) {
    const int w = x2 - x1;
    const int h = y2 - y1;
    if (w <= 0 || h <= 0) return;
    if (picture_ != nullptr) {
        openPolyline_ = -1;
        picture_->items.emplace_back(
            PictureRectangle{x1, y1, x2, y2, penColour_, penWidth_, brushColour_});
        return;
    }
    painter_.fillRect(QRect(x1, y1, w, h), QColor::fromRgb(brushColour_));
    const QColor pen = QColor::fromRgb(penColour_);
    const int t = penWidth_;
    painter_.fillRect(QRect(x1, y1, w, t), pen);
    painter_.fillRect(QRect(x1, y2 - t, w, t), pen);
    painter_.fillRect(QRect(x1, y1, t, h), pen);
    painter_.fillRect(QRect(x2 - t, y1, t, h), pen);
}

void Canvas::textOut(int x, int y, const QString& text) {
    if (picture_ != nullptr) {
        const QFontMetrics metrics(canvasFont());
        openPolyline_ = -1;
        picture_->items.emplace_back(PictureText{x, y, text, fontColour_, brushColour_,
                                                 metrics.horizontalAdvance(text), metrics.height(),
                                                 metrics.ascent(), opaqueText_});
        return;
    }
    const QFontMetrics metrics(painter_.font());
    if (opaqueText_) {
        painter_.fillRect(QRect(x, y, metrics.horizontalAdvance(text), metrics.height()),
                          QColor::fromRgb(brushColour_));
    }
    painter_.setPen(QColor::fromRgb(fontColour_));
    painter_.drawText(x, y + metrics.ascent(), text);
}

}  // namespace zorvel
