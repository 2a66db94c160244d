// The chart window on a screen lower than its form: a laptop's 768 lines
// with a panel leave no room for the form's 712 lines, a title bar and the
// overview strip. At the form's size, where the screen has room, nothing
// changes. Where it has not:
// - on a screen wide enough (a laptop's 1366 columns leave some 350 beside
//   the form's 1009), the strip goes beside the form, at the top right, as
//   wide as the room there, and the form keeps its whole height, every
//   control and both plots in view at once;
// - on a narrower one the window becomes as tall as the screen's free area
//   allows (with room for a window manager's title bar): the strip stays
//   whole at its bottom, and the form above it scrolls, every control where
//   the form puts it within the scrolled area.
#pragma once

#include <QSize>

class QScrollArea;
class QWidget;

namespace zorvel {

// Whether a window of `size` (its frame left out) fits the free area of the
// screen `window` is on, with room for a window manager's title bar and
// border; true where no screen is known.
bool screenHasRoomFor(const QWidget& window, QSize size);

// The free area of `window`'s screen lower by that room: the most a window's
// client area can take.
QSize roomOnScreen(const QWidget& window);

class ScreenFit {
  public:
    // `window` has its form's size and children now; `pinned` is the child
    // kept whole at the bottom, as far above the window's lower edge as now.
    ScreenFit(QWidget& window, QWidget& pinned);

    // Fits the window to the free area of its screen; called before it shows.
    void fit();

    // The scrolled form, once the screen was too low and too narrow for the
    // strip beside the form; nothing before.
    QScrollArea* scrollArea() const { return scroll_; }
    // Whether the strip stands beside the form.
    bool stripBeside() const { return beside_; }

    // The narrowest strip put beside the form, and the space around it.
    static constexpr int kNarrowestStripBeside = 300;
    static constexpr int kStripBesideGap = 8;

  private:
    void makeScrolledForm();
    // The strip beside the form when the screen has the width and the height
    // for the form alone; false when it has not.
    bool putStripBeside();

    QWidget& window_;
    QWidget& pinned_;
    const int gap_;
    const QSize designSize_;
    QScrollArea* scroll_ = nullptr;
    bool beside_ = false;
};

}  // namespace zorvel
