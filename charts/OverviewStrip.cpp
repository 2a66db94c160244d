// The whole-file overview strip.
#include "charts/OverviewStrip.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "plots/OverviewPicture.h"

namespace zorvel {

OverviewStrip::OverviewStrip(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("OverviewStrip"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
    setToolTip(
        QStringLiteral("Cały plik: energia s(n) [dB], SNR ramek [dB] i opóźnienie "
                       "tonu k; kliknięcie lub przeciągnięcie przechodzi do ramki"));
}

void OverviewStrip::setPass(const FramePass* pass) {
    pass_ = pass;
    imageStale_ = true;
    update();
}

void OverviewStrip::setMeasure(std::optional<LaneMeasure> measure) {
    measure_ = measure;
    imageStale_ = true;
    update();
    if (this->measure()) emit measuresWanted();
}

std::optional<OverviewMeasure> OverviewStrip::shownMeasure() const {
    if (!measure_) return std::nullopt;
    return OverviewMeasure{*measure_,
                           pass_ ? pass_->measures() : std::span<const FrameMeasureValues>()};
}

void OverviewStrip::setColours(const ChartColours& colours) {
    colours_ = colours;
    imageStale_ = true;
    update();
}

void OverviewStrip::setCurrentFrame(int frame) {
    currentFrame_ = frame;
    update();
}

void OverviewStrip::setProgress(const QString& text, double fraction) {
    progressText_ = text;
    progressFraction_ = std::clamp(fraction, 0.0, 1.0);
    update();
}

int OverviewStrip::totalFrames() const { return pass_ ? pass_->totalFrames() : 0; }

std::span<const FrameSummary> OverviewStrip::summaries() const {
    return pass_ ? pass_->summaries() : std::span<const FrameSummary>();
}

Picture OverviewStrip::pictureOf(std::span<const FrameSummary> summaries) const {
    return describeOverviewPicture(width(), height(), summaries, totalFrames(), colours_,
                                   shownMeasure());
}

void OverviewStrip::paintEvent(QPaintEvent*) {
    const std::span<const FrameSummary> reached = summaries();
    const std::size_t measured = measure() && pass_ ? pass_->measures().size() : 0;
    if (imageStale_ || reached.size() != imageFrames_ || measured != imageMeasured_ ||
        image_.size() != size()) {
        image_ = pictureImage(pictureOf(reached));
        imageFrames_ = reached.size();
        imageMeasured_ = measured;
        imageStale_ = false;
    }
    QPainter painter(this);
    painter.drawImage(0, 0, image_);
    const int total = totalFrames();
    if (total > 0 && currentFrame_ >= 1) {
        const int x = xOfFrame(currentFrame_);
        painter.setPen(QColor::fromRgb(kOverviewMarkerColour));
        painter.drawLine(x, 0, x, height() - 1);
    }
    if (!progressText_.isEmpty()) {
        // Inside the outline, as far as the pass has come towards the frame waited for.
        const QRect bar(0, 0, static_cast<int>(width() * progressFraction_), height());
        painter.fillRect(bar.intersected(rect().adjusted(1, 1, -1, -1)),
                         QColor::fromRgba(kOverviewProgressColour));
        const bool darkBackground = qGray(colours_.background) < 128;
        painter.setPen(darkBackground ? QColor(Qt::white) : QColor(Qt::black));
        QFont bold = painter.font();
        bold.setBold(true);
        painter.setFont(bold);
        painter.drawText(rect(), Qt::AlignCenter, progressText_);
    }
}

void OverviewStrip::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    lastRequested_ = -1;
    request(static_cast<int>(event->position().x()));
}

void OverviewStrip::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton) request(static_cast<int>(event->position().x()));
}

void OverviewStrip::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) request(static_cast<int>(event->position().x()));
}

void OverviewStrip::request(int x) {
    const int frame = frameAtX(x);
    if (frame < 1 || frame == lastRequested_) return;
    lastRequested_ = frame;
    emit frameRequested(frame);
}

}  // namespace zorvel
