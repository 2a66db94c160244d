// The type of the program's windows: "MS Sans Serif" at a pixel size, and,
// where that face is missing, a narrow face that keeps the captions within
// the controls' fixed widths.
#pragma once

#include <QFont>

namespace zorvel {

// The forms' type size. Qt Designer forms can state sizes only in points.
inline constexpr int kFormFontPixels = 11;

QFont formFont(const QFont& base, int pixels);

}  // namespace zorvel
