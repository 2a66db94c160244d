// The traces and curves of the chart images as the window's boxes name them,
// in the boxes' order: what the legends of the figures and the values under
// the pointer call them, with the box that shows each, its colour and, for
// the time traces, the signal of the frame record it draws.
#pragma once

#include <iterator>

#include "coder/Frame.h"
#include "plots/Plots.h"

namespace zorvel {

struct NamedTrace {
    const char* name;
    bool TimeTraceSelection::*shown;
    QRgb ChartColours::*colour;
    Signal FrameRecord::*signal;
};

inline constexpr NamedTrace kNamedTraces[] = {
    {"s(n)", &TimeTraceSelection::speech, &ChartColours::speech, &FrameRecord::speech},
    {"s'(n)", &TimeTraceSelection::synthesized, &ChartColours::synthesized,
     &FrameRecord::synthesizedSpeech},
    {"sp(n)", &TimeTraceSelection::postProcessed, &ChartColours::postProcessed,
     &FrameRecord::postProcessedSpeech},
    {"sw(n)", &TimeTraceSelection::weighted, &ChartColours::weighted, &FrameRecord::weightedSpeech},
    {"sw'(n)", &TimeTraceSelection::weightedSynthesized, &ChartColours::weightedSynthesized,
     &FrameRecord::weightedSynthesizedSpeech},
    {"v(n)", &TimeTraceSelection::adaptive, &ChartColours::adaptive,
     &FrameRecord::adaptiveExcitation},
    {"gp*y(n)", &TimeTraceSelection::filteredAdaptive, &ChartColours::filteredAdaptive,
     &FrameRecord::adaptiveWeightedSynthesis},
    {"gc*c(n)", &TimeTraceSelection::algebraic, &ChartColours::algebraic,
     &FrameRecord::algebraicExcitation},
    {"u(n)", &TimeTraceSelection::excitation, &ChartColours::excitation, &FrameRecord::excitation},
    {"resLP", &TimeTraceSelection::lpResidual, &ChartColours::lpResidual, &FrameRecord::lpResidual},
    {"resLTP", &TimeTraceSelection::ltpResidual, &ChartColours::ltpResidual,
     &FrameRecord::ltpResidual},
};

// The coding error: s(n) minus an output of the coder (plots/Plots.h,
// codingError), from the time image's context menu.
struct NamedErrorTrace {
    const char* name;
    bool TimeTraceSelection::*shown;
    QRgb ChartColours::*colour;
    const Signal FrameRecord::*output;
};

inline constexpr NamedErrorTrace kNamedErrorTraces[] = {
    {"e(n) = s(n) - s'(n)", &TimeTraceSelection::error, &ChartColours::error,
     &FrameRecord::synthesizedSpeech},
    {"ep(n) = s(n) - sp(n)", &TimeTraceSelection::postProcessedError,
     &ChartColours::postProcessedError, &FrameRecord::postProcessedSpeech},
};

// One frame of sp(n) is drawn with the formant post-filter's output beside it.
inline constexpr const char* kPostFilterTraceName = "sp(n) po filtrze formantowym";

struct NamedSpectrum {
    const char* name;
    bool SpectrumSelection::*shown;
    QRgb ChartColours::*colour;
    bool dashed;  // the synthesis filter responses
};

inline constexpr NamedSpectrum kNamedSpectra[] = {
    {"|S(f)|", &SpectrumSelection::speech, &ChartColours::speech, false},
    {"|S'(f)|", &SpectrumSelection::synthesized, &ChartColours::synthesized, false},
    {"|Sp(f)|", &SpectrumSelection::postProcessed, &ChartColours::postProcessed, false},
    {"|Sw(f)|", &SpectrumSelection::weighted, &ChartColours::weighted, false},
    {"|H(f)| <- a2", &SpectrumSelection::responseI, &ChartColours::responseI, true},
    {"|H(f)| <- a4", &SpectrumSelection::responseII, &ChartColours::responseII, true},
    {"|ResLP(f)|", &SpectrumSelection::lpResidual, &ChartColours::lpResidual, false},
    {"|ResLTP(f)|", &SpectrumSelection::ltpResidual, &ChartColours::ltpResidual, false},
    {"|E(f)|", &SpectrumSelection::error, &ChartColours::error, false},
    {"|Ep(f)|", &SpectrumSelection::postProcessedError, &ChartColours::postProcessedError, false},
};

// Where a frame's LP is quantised, each box of a synthesis filter's response
// shows the quantised set's response beside the analysed one, solid, at the
// analysed set's prediction error E (the quantised set carries no gain).
struct NamedQuantisedResponse {
    const char* name;
    bool SpectrumSelection::*shown;
    QRgb ChartColours::*colour;
    LpCoeffs FrameRecord::*coeffs;
    double FrameRecord::*error;
};

inline constexpr NamedQuantisedResponse kNamedQuantisedResponses[] = {
    {"|Hq(f)| <- a2 kwantowane", &SpectrumSelection::responseI, &ChartColours::quantisedResponseI,
     &FrameRecord::lpCoeffsQuantisedI, &FrameRecord::lpErrorI},
    {"|Hq(f)| <- a4 kwantowane", &SpectrumSelection::responseII, &ChartColours::quantisedResponseII,
     &FrameRecord::lpCoeffsQuantisedII, &FrameRecord::lpErrorII},
};

static_assert(std::size(kNamedSpectra) == kSpectrumCurves,
              "one name for each curve of spectrumLevelsAtBin, in its order");

}  // namespace zorvel
