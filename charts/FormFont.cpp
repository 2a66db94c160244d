#include "charts/FormFont.h"

#include <QStringList>

namespace zorvel {

constexpr double kLetterSpacingPercent = 94.0;

QFont formFont(const QFont& base, int pixels) {
    QFont font = base;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("DejaVu Sans Condensed")});
    font.setPixelSize(pixels);
    // The controls were laid out for a face narrower still.
    font.setLetterSpacing(QFont::PercentageSpacing, kLetterSpacingPercent);
    return font;
}

}  // namespace zorvel
