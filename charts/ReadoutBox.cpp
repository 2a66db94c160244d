#include "charts/ReadoutBox.h"

#include <QEvent>
#include <QFontMetrics>
#include <QLineEdit>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

namespace zorvel {

namespace {

// The gap QLineEdit leaves between its contents' edge and the text, in pixels.
constexpr int kLineEditTextMargin = 2;

const QString kEllipsis = QString(QChar(kReadoutEllipsis));

// The style's view of the box, as QLineEdit builds it for its own painting.
QStyleOptionFrame frameOption(const QLineEdit& box) {
    QStyleOptionFrame option;
    option.initFrom(&box);
    option.rect = box.contentsRect();
    option.lineWidth =
        box.hasFrame() ? box.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &box) : 0;
    option.midLineWidth = 0;
    option.state |= QStyle::State_Sunken;
    if (box.isReadOnly()) option.state |= QStyle::State_ReadOnly;
    option.features = QStyleOptionFrame::None;
    return option;
}

// Keeps a readout's tooltip equal to its text and draws the ellipsis.
class ReadoutElision final : public QObject {
  public:
    explicit ReadoutElision(QLineEdit& box) : QObject(&box), box_(box) {
        box_.setToolTip(box_.text());
        connect(&box_, &QLineEdit::textChanged, &box_, &QWidget::setToolTip);
        box_.installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != &box_) return false;
        if (event->type() == QEvent::FocusOut) {
            // Unfocused, the box shows the beginning of its text again.
            box_.setCursorPosition(0);
            return false;
        }
        if (event->type() != QEvent::Paint || box_.hasFocus() || !readoutIsCut(box_)) {
            return false;
        }
        // The box paints itself first; the ellipsis goes over its right end.
        static_cast<QObject&>(box_).event(event);
        paintEllipsis();
        return true;
    }

  private:
    void paintEllipsis() {
        const QRect area = readoutTextArea(box_);
        const QFontMetrics metrics = box_.fontMetrics();
        const QString shown = readoutShownPart(box_.text(), metrics, area.width());
        // Where QLineEdit put the text: glyphs at fractional positions from the
        // area's left edge, the line centred vertically.
        const qreal left = area.left() + QFontMetricsF(box_.font()).horizontalAdvance(shown);
        const int lineTop = area.top() + (area.height() - metrics.height() + 1) / 2;
        QPainter painter(&box_);
        painter.setClipRect(area);
        // Over the rest of the line: the background, then the ellipsis.
        const int blankLeft = static_cast<int>(left);
        painter.fillRect(QRect(blankLeft, lineTop, area.right() - blankLeft + 1, metrics.height()),
                         box_.palette().brush(QPalette::Base));
        painter.setPen(box_.palette().color(QPalette::Text));
        painter.setFont(box_.font());
        painter.drawText(QPointF(left, lineTop + metrics.ascent()), kEllipsis);
    }

    QLineEdit& box_;
};

}  // namespace

QRect readoutTextArea(const QLineEdit& box) {
    const QStyleOptionFrame option = frameOption(box);
    QRect area = box.style()->subElementRect(QStyle::SE_LineEditContents, &option, &box);
    area = area.marginsRemoved(box.textMargins());
    area.setLeft(area.left() + kLineEditTextMargin);
    return area;
}

QString readoutShownPart(const QString& text, const QFontMetrics& metrics, int width) {
    if (metrics.horizontalAdvance(text) <= width) return text;
    const int room = width - metrics.horizontalAdvance(kEllipsis);
    qsizetype length = text.size();
    while (length > 0 && metrics.horizontalAdvance(text.left(length)) > room) --length;
    return text.left(length);
}

bool readoutIsCut(const QLineEdit& box) {
    return box.fontMetrics().horizontalAdvance(box.text()) > readoutTextArea(box).width();
}

void makeReadoutBox(QLineEdit& box) { new ReadoutElision(box); }

}  // namespace zorvel
