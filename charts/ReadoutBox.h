// Readout boxes whose text can be longer than the box (a pitch gain such as
// "gp3=0.439318..." in a 51-pixel box). The box keeps its size and the number
// keeps its format; the whole text is the box's tooltip, and while the box is
// not focused an ellipsis at its right edge shows that the text goes on. A
// click into the box still lets the user scroll through the whole text;
// leaving it shows the beginning again.
#pragma once

#include <QObject>
#include <QRect>
#include <QString>

class QFontMetrics;
class QLineEdit;

namespace zorvel {

// The ellipsis drawn where a readout is cut.
inline constexpr char16_t kReadoutEllipsis = u'\u2026';

// The box's area the text is drawn into (between the left text margin and
// the right edge of the contents), in the box's coordinates.
QRect readoutTextArea(const QLineEdit& box);

// The part of `text` shown before the ellipsis, when `text` is wider than
// `width` pixels: the longest beginning that leaves room for the ellipsis.
// The whole text when it fits.
QString readoutShownPart(const QString& text, const QFontMetrics& metrics, int width);

// True when the box's text is wider than its text area.
bool readoutIsCut(const QLineEdit& box);

// Turns `box` into such a readout: its tooltip follows its text, and the
// ellipsis is drawn over a cut text while the box has no focus. The helper is
// a child of the box and goes with it.
void makeReadoutBox(QLineEdit& box);

}  // namespace zorvel
