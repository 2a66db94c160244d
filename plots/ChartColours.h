// The drawing colours of the chart images and the two colour schemes.
#pragma once

#include <QColor>

namespace zorvel {

enum class ColourScheme {
    dark,   // "Ciemne"
    light,  // "Jasne"
};

struct ChartColours {
    QRgb speech;               // s(n) and |S(f)|
    QRgb synthesized;          // s'(n) and |S'(f)|
    QRgb postProcessed;        // sp(n) and |Sp(f)|
    QRgb weighted;             // sw(n) and |Sw(f)|
    QRgb weightedSynthesized;  // sw'(n)
    QRgb adaptive;             // v(n)
    QRgb filteredAdaptive;     // gp*y(n)
    QRgb algebraic;            // gc*c(n) stems
    QRgb excitation;           // u(n)
    QRgb lpResidual;           // resLP and its spectrum
    QRgb ltpResidual;          // resLTP and its spectrum
    QRgb responseI;            // synthesis filter from set I
    QRgb responseII;           // synthesis filter from set II
    QRgb background;           // fill of both images
    QRgb grid;                 // grid lines
    QRgb text;                 // captions and labels inside the images
};

// Colours that belong to no scheme.
inline constexpr QRgb kOutlineColour = 0xFFFFFFFF;          // outline of a cleared image
inline constexpr QRgb kPostFilterTraceColour = 0xFFFF0000;  // formant post-filter output

ChartColours darkColours();
ChartColours lightColours();

ChartColours schemeColours(ColourScheme scheme);

}  // namespace zorvel
