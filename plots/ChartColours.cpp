#include "plots/ChartColours.h"

namespace zorvel {

ChartColours darkColours() {
    return ChartColours{
        .speech = qRgb(0x00, 0xFF, 0xFF),
        .synthesized = qRgb(0xFF, 0xFF, 0x00),
        .postProcessed = qRgb(0x00, 0x99, 0xFF),
        .weighted = qRgb(0xFF, 0x00, 0x00),
        .weightedSynthesized = qRgb(0xFF, 0x99, 0x00),
        .adaptive = qRgb(0xFF, 0x99, 0x99),
        .filteredAdaptive = qRgb(0x00, 0xFF, 0x99),
        .algebraic = qRgb(0xCC, 0xCC, 0xCC),
        .excitation = qRgb(0xFF, 0x00, 0xFF),
        .lpResidual = qRgb(0x99, 0x99, 0x99),
        .ltpResidual = qRgb(0xCC, 0x66, 0x00),
        .responseI = qRgb(0xBB, 0xAA, 0xBB),
        .responseII = qRgb(0xFF, 0x88, 0x88),
        .background = qRgb(0x00, 0x00, 0x00),
        .grid = qRgb(0x80, 0x80, 0x80),
        .text = qRgb(0x80, 0x80, 0x80),
    };
}

ChartColours lightColours() {
    return ChartColours{
        .speech = qRgb(0x00, 0x77, 0xAA),
        .synthesized = qRgb(0xDD, 0xAA, 0x00),
        .postProcessed = qRgb(0x22, 0xAA, 0xFF),
        .weighted = qRgb(0xFF, 0x00, 0x00),
        .weightedSynthesized = qRgb(0xFF, 0x99, 0x00),
        .adaptive = qRgb(0xFF, 0x99, 0x99),
        .filteredAdaptive = qRgb(0x00, 0xCC, 0x55),
        .algebraic = qRgb(0x22, 0x22, 0x22),
        .excitation = qRgb(0xFF, 0x00, 0xFF),
        .lpResidual = qRgb(0x99, 0x99, 0x99),
        .ltpResidual = qRgb(0xCC, 0x66, 0x00),
        .responseI = qRgb(0xBB, 0xAA, 0xBB),
        .responseII = qRgb(0xFF, 0x88, 0x88),
        .background = qRgb(0xEE, 0xEE, 0xEE),
        .grid = qRgb(0xBB, 0xBB, 0xBB),
        .text = qRgb(0x80, 0x80, 0x80),
    };
}

std::optional<ChartColours> schemeColours(int scheme) {
    switch (scheme) {
        case kDarkScheme:
            return darkColours();
        case kLightScheme:
            return lightColours();
        default:
            return std::nullopt;
    }
}

}  // namespace zorvel
