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
    // The quantised coder's synthesis filters, from the quantised sets.
    QRgb quantisedResponseI;
    QRgb quantisedResponseII;
    QRgb error;               // e(n) = s(n) - s'(n) and |E(f)|
    QRgb postProcessedError;  // ep(n) = s(n) - sp(n) and |Ep(f)|
    QRgb background;          // fill of both images
    QRgb grid;                // grid lines
    QRgb text;                // captions and labels inside the images
    // The overview strip (see plots/OverviewPicture.h), on the background with
    // its grid lines and labels in the colours above.
    QRgb overviewPower;         // mean power of s(n) of a column's frames
    QRgb overviewPowerRange;    // their quietest to their loudest
    QRgb overviewSnr;           // mean frame SNR of a column's frames
    QRgb overviewSnrRange;      // their lowest to their highest
    QRgb overviewLag;           // mean pitch lag of the voiced subframes
    QRgb overviewNotCoded;      // fill of the frames the background pass has not reached
    QRgb overviewNotCodedGrid;  // grid lines over that fill
};

// Colours that belong to no scheme.
inline constexpr QRgb kOutlineColour = 0xFFFFFFFF;          // outline of a cleared image
inline constexpr QRgb kPostFilterTraceColour = 0xFFFF0000;  // formant post-filter output
inline constexpr QRgb kOverviewMarkerColour = 0xFFFFFFFF;   // the current frame in the strip
// Over the strip while a jump waits for the pass, as far as it has come (translucent).
inline constexpr QRgb kOverviewProgressColour = 0x8C50A0FF;

ChartColours darkColours();
ChartColours lightColours();

ChartColours schemeColours(ColourScheme scheme);

}  // namespace zorvel
