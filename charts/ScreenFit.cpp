#include "charts/ScreenFit.h"

#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QWidget>
#include <algorithm>
#include <vector>

namespace zorvel {
namespace {

// Room kept for a window manager's title bar and border: the frame is not
// known before the window is first shown.
constexpr int kFrameAllowance = 30;
// Room kept for a window manager's border left and right of a window.
constexpr int kBorderAllowance = 8;

int frameHeight(const QWidget& window) {
    return std::max(kFrameAllowance, window.frameGeometry().height() - window.geometry().height());
}

}  // namespace

QSize roomOnScreen(const QWidget& window) {
    const QScreen* screen = window.screen();
    if (screen == nullptr) return {QWIDGETSIZE_MAX, QWIDGETSIZE_MAX};
    const QRect area = screen->availableGeometry();
    return {area.width(), area.height() - frameHeight(window)};
}

bool screenHasRoomFor(const QWidget& window, QSize size) {
    const QSize room = roomOnScreen(window);
    return size.width() <= room.width() && size.height() <= room.height();
}

ScreenFit::ScreenFit(QWidget& window, QWidget& pinned)
    : window_(window),
      pinned_(pinned),
      gap_(window.height() - pinned.y() - pinned.height()),
      designSize_(window.size()) {}

void ScreenFit::fit() {
    const QScreen* screen = window_.screen();
    if (screen == nullptr) return;
    const QRect area = screen->availableGeometry();
    const int frame = frameHeight(window_);
    const bool roomy = designSize_.height() <= roomOnScreen(window_).height();
    if (roomy && scroll_ == nullptr && !beside_) return;  // as the form has it
    if (!roomy && scroll_ == nullptr && putStripBeside()) return;

    if (scroll_ == nullptr) makeScrolledForm();
    const int height = roomy ? designSize_.height() : roomOnScreen(window_).height();
    const int pinnedTop = height - gap_ - pinned_.height();
    const int scrollBar = roomy ? 0 : scroll_->verticalScrollBar()->sizeHint().width();
    window_.setFixedSize(designSize_.width() + scrollBar, height);
    scroll_->setGeometry(0, 0, window_.width(), pinnedTop);
    pinned_.move(pinned_.x(), pinnedTop);
    if (!roomy) {
        // At the top of the free area, the title bar on the screen too. Until
        // the window has been shown once, the window system takes its position
        // as that of the client area, the frame going above it.
        const bool frameKnown = window_.frameGeometry() != window_.geometry();
        window_.move(window_.x(), frameKnown ? area.top() : area.top() + frame);
    }
}

bool ScreenFit::putStripBeside() {
    const QScreen* screen = window_.screen();
    const QSize room = roomOnScreen(window_);
    const int formWidth = designSize_.width();
    // The form's height: down to the lowest of its controls, the strip aside.
    int formHeight = 0;
    for (QWidget* child : window_.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (child != &pinned_ && !child->isWindow())
            formHeight = std::max(formHeight, child->geometry().bottom() + 1);
    const int border =
        std::max(kBorderAllowance, window_.frameGeometry().width() - window_.geometry().width());
    const int stripWidth = room.width() - border - formWidth - 2 * kStripBesideGap;
    if (formHeight > room.height() || stripWidth < kNarrowestStripBeside) return false;
    beside_ = true;
    const int height = std::min(room.height(), designSize_.height());
    window_.setFixedSize(formWidth + stripWidth + 2 * kStripBesideGap, height);
    pinned_.setGeometry(formWidth + kStripBesideGap, kStripBesideGap, stripWidth, pinned_.height());
    const QRect area = screen->availableGeometry();
    const bool frameKnown = window_.frameGeometry() != window_.geometry();
    window_.move(area.left(), frameKnown ? area.top() : area.top() + frameHeight(window_));
    return true;
}

void ScreenFit::makeScrolledForm() {
    auto* form = new QWidget;
    form->setFixedSize(designSize_.width(), pinned_.y());
    std::vector<QWidget*> children;
    for (QWidget* child : window_.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (child != &pinned_ && !child->isWindow()) children.push_back(child);
    for (QWidget* child : children) {
        const bool shown = !child->isHidden();
        const QPoint at = child->pos();
        child->setParent(form);
        child->move(at);
        if (shown) child->show();
    }
    scroll_ = new QScrollArea(&window_);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroll_->setWidget(form);
    scroll_->show();
}

}  // namespace zorvel
