// The spectrum image: reads the six signals and the two LP coefficient sets
// (with their prediction errors) of the current frame record, takes plain
// 160-point transforms X(k) = sum x(n) e^(+j 2 pi k n / 160) of each (no window,
// 50 Hz per bin) and draws bins 0..79 at level 10 ln|X(k)|^2; the synthesis
// filter responses are drawn as E / |A(k)|^2, dashed, and where the frame's
// LP is quantised the quantised sets' responses E / |Aq(k)|^2 beside them,
// solid. The transforms and their levels are the frame's spectra's
// (coder/FrameTransforms.h).
#include <QString>
#include <algorithm>

#include "plots/Plots.h"
#include "plots/TraceNames.h"

namespace zorvel {

namespace {

struct SpectrumEntry {
    bool SpectrumSelection::*shown;
    QRgb ChartColours::*colour;
    SpectrumCurve curve;
};

}  // namespace

void drawSpectrumGrid(Canvas& canvas, const ChartColours& colours) {
    const int W = canvas.width();
    const int H = canvas.height();
    canvas.setFontColour(colours.text);
    canvas.setPenColour(colours.grid);
    canvas.setBrushColour(colours.background);
    canvas.textOut(W - 40, H - 20, QStringLiteral("[kHz]"));
    for (int k = 1; k <= 3; ++k) {
        const int x = spectrumGridX(k, W);
        canvas.moveTo(x, 0);
        canvas.lineTo(x, H);
    }
    int n = 1;
    int y = H - kSpectrumGridStep;
    QString topLabel;
    int topLabelY = 0;
    do {
        canvas.moveTo(0, y);
        canvas.lineTo(W, y);
        topLabel = QString::number(kSpectrumGridStep * n);
        topLabelY = y + 3;
        canvas.textOut(3, topLabelY, topLabel);
        ++n;
        y = H - kSpectrumGridStep * n;
    } while (y > 0);
    // The unit follows the highest level label, below its line: there no grid
    // line runs through it and no label covers it.
    canvas.textOut(3 + canvasTextWidth(topLabel + QLatin1Char(' ')), topLabelY,
                   QStringLiteral("[dB]"));
}

void drawSpectra(Canvas& canvas, const FrameRecord& current, const PlotOptions& options) {
    const FrameTransforms t = frameTransforms(current);
    const SpectrumSelection& shown = options.spectra;
    const ChartColours& colours = options.colours;
    if (shown.responseI) {
        const FrameTransform& a = t.of(SpectrumCurve::responseI);
        canvas.setPenColour(colours.responseI);
        plotFilterResponse(canvas, a.re, a.im, t.errorI, options.spectrumGain);
    }
    if (shown.responseII) {
        const FrameTransform& b = t.of(SpectrumCurve::responseII);
        canvas.setPenColour(colours.responseII);
        plotFilterResponse(canvas, b.re, b.im, t.errorII, options.spectrumGain);
    }
    for (const NamedQuantisedResponse& response : kNamedQuantisedResponses) {
        if (!current.lpQuantised || !(shown.*response.shown)) continue;
        const FrameTransform q = coefficientTransform(current.*response.coeffs);
        canvas.setPenColour(colours.*response.colour);
        plotQuantisedResponse(canvas, q.re, q.im, current.*response.error, options.spectrumGain);
    }
    const SpectrumEntry spectra[] = {
        {&SpectrumSelection::lpResidual, &ChartColours::lpResidual, SpectrumCurve::lpResidual},
        {&SpectrumSelection::ltpResidual, &ChartColours::ltpResidual, SpectrumCurve::ltpResidual},
        {&SpectrumSelection::error, &ChartColours::error, SpectrumCurve::error},
        {&SpectrumSelection::postProcessedError, &ChartColours::postProcessedError,
         SpectrumCurve::postProcessedError},
        {&SpectrumSelection::weighted, &ChartColours::weighted, SpectrumCurve::weighted},
        {&SpectrumSelection::synthesized, &ChartColours::synthesized, SpectrumCurve::synthesized},
        {&SpectrumSelection::postProcessed, &ChartColours::postProcessed,
         SpectrumCurve::postProcessed},
        {&SpectrumSelection::speech, &ChartColours::speech, SpectrumCurve::speech},
    };
    for (const SpectrumEntry& entry : spectra) {
        if (!(shown.*entry.shown)) continue;
        const FrameTransform& x = t.of(entry.curve);
        canvas.setPenColour(colours.*entry.colour);
        plotSpectrum(canvas, x.re, x.im, options.spectrumGain);
    }
}

std::array<double, kSpectrumCurves> spectrumLevelsAtBin(const FrameRecord& current, int k) {
    const FrameTransforms transforms = frameTransforms(current);
    std::array<double, kSpectrumCurves> levels{};
    for (int curve = 0; curve < kSpectrumCurves; ++curve)
        levels[curve] = curveLevel(transforms, static_cast<SpectrumCurve>(curve), k);
    return levels;
}

double filterResponseLevelAtBin(const LpCoeffs& a, double error, int k) {
    const FrameTransform t = coefficientTransform(a);
    return filterResponseLevel(t.re[k], t.im[k], error);
}

void plotSpectrum(Canvas& canvas, std::span<const double, kFrameSamples> re,
                  std::span<const double, kFrameSamples> im, double spectrumGain) {
    const int W = canvas.width();
    const int H = canvas.height();
    for (int k = 0; k < kSpectrumBins; ++k) {
        const int x = spectrumX(k, W);
        const int y = spectrumY(spectrumLevel(re[k], im[k]), spectrumGain, H);
        if (k == 0) {
            canvas.moveTo(x, y);
        } else {
            canvas.lineTo(x, y);
        }
    }
}

void plotQuantisedResponse(Canvas& canvas, std::span<const double, kFrameSamples> re,
                           std::span<const double, kFrameSamples> im, double error,
                           double spectrumGain) {
    const int W = canvas.width();
    const int H = canvas.height();
    for (int k = 0; k < kSpectrumBins; ++k) {
        const int x = spectrumX(k, W);
        const int y = spectrumY(filterResponseLevel(re[k], im[k], error), spectrumGain, H);
        if (k == 0) {
            canvas.moveTo(x, y);
        } else {
            canvas.lineTo(x, y);
        }
    }
}

void plotFilterResponse(Canvas& canvas, std::span<const double, kFrameSamples> re,
                        std::span<const double, kFrameSamples> im, double error,
                        double spectrumGain) {
    const int W = canvas.width();
    const int H = canvas.height();
    for (int k = 0; k < kSpectrumBins; ++k) {
        const int x = spectrumX(k, W);
        const int y = spectrumY(filterResponseLevel(re[k], im[k], error), spectrumGain, H);
        if (k % 2 == 1) {
            canvas.lineTo(x, y);
        } else {
            canvas.moveTo(x, y);
        }
    }
}

}  // namespace zorvel
