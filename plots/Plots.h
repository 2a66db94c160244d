// Plot drawing of the chart window: paints the signals of frame records onto
// any QImage. Needs Qt Gui only, so an offscreen renderer draws exactly the
// pictures the window shows.
//
// The time image shows the current frame over the whole width, or the
// previous and the current frame side by side; the spectrum image shows the
// current frame from 0 to 4 kHz on a natural-log level axis, one pixel per
// level unit, level 0 at the bottom edge.
#pragma once

#include <QImage>
#include <array>
#include <span>

#include "coder/Frame.h"
#include "coder/FrameTransforms.h"
#include "plots/Canvas.h"
#include "plots/ChartColours.h"
#include "plots/PlotScale.h"

namespace zorvel {

// The images' sizes in the chart window.
inline constexpr int kTimeImageWidth = 977;
inline constexpr int kTimeImageHeight = 233;
inline constexpr int kSpectrumImageWidth = 598;
inline constexpr int kSpectrumImageHeight = 329;

// Which traces the time image shows (the window's time-signal boxes).
struct TimeTraceSelection {
    bool speech = true;                // CB1, s(n)
    bool synthesized = true;           // CB6, s'(n)
    bool postProcessed = false;        // CB_spn, sp(n)
    bool weighted = false;             // CB2, sw(n)
    bool weightedSynthesized = false;  // CB4, sw'(n)
    bool adaptive = false;             // CB_v, v(n)
    bool filteredAdaptive = false;     // CB5, gp*y(n)
    bool algebraic = false;            // CB7, gc*c(n) stems
    bool excitation = false;           // CB_un, u(n)
    bool lpResidual = false;           // CB_resLP
    bool ltpResidual = false;          // CB_resLTP
    // The coding error, from the time image's context menu.
    bool error = false;               // e(n) = s(n) - s'(n)
    bool postProcessedError = false;  // ep(n) = s(n) - sp(n)
};

// Which curves the spectrum image shows (the window's spectrum boxes).
struct SpectrumSelection {
    bool speech = true;          // CB_S, |S(f)|
    bool synthesized = false;    // CB_Sout, |S'(f)|
    bool postProcessed = false;  // CB_Sp, |Sp(f)|
    bool weighted = false;       // CB_Sw, |Sw(f)|
    bool responseI = true;       // CB_aI, synthesis filter from set I
    bool responseII = true;      // CB_aII, synthesis filter from set II
    bool lpResidual = false;     // CB_RLP, |ResLP(f)|
    bool ltpResidual = false;    // CB_RLTP, |ResLTP(f)|
    // The spectra of the coding error, from the spectrum image's context menu.
    bool error = false;               // |E(f)|
    bool postProcessedError = false;  // |Ep(f)|
};

struct PlotOptions {
    TimeTraceSelection traces;
    SpectrumSelection spectra;
    bool twoFrames = true;      // previous and current frame side by side
    double timeGain = 1.0;      // pixels per sample unit
    double spectrumGain = 1.0;  // pixels per level unit
    ChartColours colours = darkColours();
};

// A blank chart image of the given size, in the format the plots draw on.
QImage newChartImage(int width, int height);

// The descriptions of the two images of a given size: the primitives the
// renderers below paint (see Picture).
Picture describeTimePicture(int width, int height, const FrameRecord& previous,
                            const FrameRecord& current, const PlotOptions& options);
Picture describeSpectrumPicture(int width, int height, const FrameRecord& current,
                                const PlotOptions& options);

// Everything the window draws on its time image: cleared, grid, traces.
void renderTimeImage(QImage& image, const FrameRecord& previous, const FrameRecord& current,
                     const PlotOptions& options);

// Everything the window draws on its spectrum image: cleared, grid, curves.
void renderSpectrumImage(QImage& image, const FrameRecord& current, const PlotOptions& options);

// The steps of the two renderers -------------------------------------------

// Background fill with a one-pixel white outline.
void clearImage(Canvas& canvas, const ChartColours& colours);

// Subframe grid, amplitude lines and labels, frame captions, "[ms]".
void drawTimeGrid(Canvas& canvas, bool twoFrames, double timeGain, const ChartColours& colours);

// The selected traces, in a fixed order; the input speech ends on top.
void drawTimeTraces(Canvas& canvas, const FrameRecord& previous, const FrameRecord& current,
                    const PlotOptions& options);

// 160 samples of one frame across the whole width.
void plotSignal(Canvas& canvas, std::span<const double, kFrameSamples> values, double timeGain);

// The same signal of two frames as one polyline, the previous frame on the left.
void plotSignalPair(Canvas& canvas, std::span<const double, kFrameSamples> previousValues,
                    std::span<const double, kFrameSamples> currentValues, double timeGain);

// gc*c(n) stems standing on the trace chosen by `base` (see pulseBase).
void plotPulses(Canvas& canvas, const FrameRecord& current, PulseBase base, double timeGain);
void plotPulsePair(Canvas& canvas, const FrameRecord& previous, const FrameRecord& current,
                   PulseBase base, double timeGain);

// 1, 2 and 3 kHz lines, level lines every 40 pixels with labels, "[dB]", "[kHz]".
void drawSpectrumGrid(Canvas& canvas, const ChartColours& colours);

// The 160-point transforms of the current frame and the selected curves.
void drawSpectra(Canvas& canvas, const FrameRecord& current, const PlotOptions& options);

// The levels of the curves at bin k as drawSpectra draws them, in the order
// of the window's spectrum boxes: |S|, |S'|, |Sp|, |Sw|, the responses from
// sets I and II, |ResLP|, |ResLTP|; then the error spectra |E|, |Ep|
// (SpectrumCurve, kSpectrumCurves).
std::array<double, kSpectrumCurves> spectrumLevelsAtBin(const FrameRecord& current, int k);

// The level of the response E / |A(k)|^2 of a synthesis filter at bin k, as
// drawSpectra draws a quantised set's.
double filterResponseLevelAtBin(const LpCoeffs& a, double error, int k);

// Level curve of bins 0..79 of one transform.
void plotSpectrum(Canvas& canvas, std::span<const double, kFrameSamples> re,
                  std::span<const double, kFrameSamples> im, double spectrumGain);

// Dashed power response error / |A(k)|^2 of a synthesis filter 1/A(z): only the
// segments from bin 0 to 1, 2 to 3, ..., 78 to 79.
void plotFilterResponse(Canvas& canvas, std::span<const double, kFrameSamples> re,
                        std::span<const double, kFrameSamples> im, double error,
                        double spectrumGain);

// Solid power response error / |Aq(k)|^2 of a quantised synthesis filter, bins 0..79.
void plotQuantisedResponse(Canvas& canvas, std::span<const double, kFrameSamples> re,
                           std::span<const double, kFrameSamples> im, double error,
                           double spectrumGain);

}  // namespace zorvel
