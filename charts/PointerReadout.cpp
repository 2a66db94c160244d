#include "charts/PointerReadout.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QStyle>
#include <QToolTip>

#include "charts/ChartWindow.h"
#include "charts/OverviewStrip.h"
#include "coder/FramePass.h"
#include "coder/SpeechCoder.h"
#include "plots/PointerValues.h"

namespace zorvel {

PointerReadout::PointerReadout(ChartWindow& window, QLabel& timeImage, QLabel& spectrumImage,
                               OverviewStrip& strip)
    : QObject(&window),
      window_(window),
      timeImage_(timeImage),
      spectrumImage_(spectrumImage),
      strip_(strip) {
    for (QWidget* widget : {static_cast<QWidget*>(&timeImage),
                            static_cast<QWidget*>(&spectrumImage), static_cast<QWidget*>(&strip)}) {
        widget->setMouseTracking(true);
        widget->installEventFilter(this);
    }
}

QPoint PointerReadout::imageOrigin(const QLabel& label, QSize imageSize) {
    // As QLabel places its pixmap: aligned within the contents rectangle.
    return QStyle::alignedRect(label.layoutDirection(), label.alignment(), imageSize,
                               label.contentsRect())
        .topLeft();
}

QString PointerReadout::textAt(const QObject* widget, QPoint position) const {
    const SpeechCoder* coder = window_.coder();
    if (coder == nullptr) return {};
    if (widget == &timeImage_ || widget == &spectrumImage_) {
        const bool time = widget == &timeImage_;
        const QImage& image = time ? window_.timeImage() : window_.spectrumImage();
        const QPoint p = position - imageOrigin(time ? timeImage_ : spectrumImage_, image.size());
        if (!image.rect().contains(p)) return {};
        const PlotOptions options = window_.plotOptions();
        if (time) {
            const TimePointer pointer = timePointerAt(p.x(), p.y(), image.width(), image.height(),
                                                      options.twoFrames, options.timeGain);
            return timePointerText(pointer, coder->previousFrame(), coder->currentFrame(), options);
        }
        return spectrumPointerText(
            spectrumPointerAt(p.x(), p.y(), image.width(), image.height(), options.spectrumGain),
            coder->currentFrame(), options);
    }
    if (widget == &strip_) {
        const FramePass* pass = window_.framePass();
        if (pass == nullptr || !strip_.rect().contains(position)) return {};
        return overviewPointerText(overviewPointerAt(position.x(), strip_.width(),
                                                     pass->summaries(), pass->totalFrames(),
                                                     strip_.laneMeasure(), pass->measures()));
    }
    return {};
}

bool PointerReadout::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseMove: {
            auto* widget = static_cast<QWidget*>(watched);
            const auto* move = static_cast<QMouseEvent*>(event);
            shownText_ = textAt(watched, move->position().toPoint());
            if (shownText_.isEmpty()) {
                QToolTip::hideText();
            } else {
                QToolTip::showText(move->globalPosition().toPoint(), shownText_, widget);
            }
            break;
        }
        case QEvent::Leave:
            shownText_.clear();
            QToolTip::hideText();
            break;
        case QEvent::ToolTip:
            // The values follow the pointer instead of the widget's fixed help.
            return !shownText_.isEmpty();
        default:
            break;
    }
    return false;
}

}  // namespace zorvel
