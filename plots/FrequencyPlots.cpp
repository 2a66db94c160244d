// The spectrum image: reads the six signals and the two LP coefficient sets
// (with their prediction errors) of the current frame record, takes plain
// 160-point transforms X(k) = sum x(n) e^(+j 2 pi k n / 160) of each (no window,
// 50 Hz per bin) and draws bins 0..79 at level 10 ln|X(k)|^2; the synthesis
// filter responses are drawn as E / |A(k)|^2, dashed. The transforms and
// their levels are the frame's spectra's (coder/FrameSpectra.h).
#include <QString>
#include <algorithm>

#include "plots/Plots.h"

namespace zorvel {

namespace {

struct SpectrumEntry {
    bool SpectrumSelection::*shown;
    QRgb ChartColours::*colour;
    const FrameTransform* transform;
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
    const FrameTransform a = coefficientTransform(current.lpCoeffsI);
    const FrameTransform b = coefficientTransform(current.lpCoeffsII);
    const FrameTransform s = signalTransform(current.speech);
    const FrameTransform sOut = signalTransform(current.synthesizedSpeech);
    const FrameTransform sw = signalTransform(current.weightedSpeech);
    const FrameTransform sp = signalTransform(current.postProcessedSpeech);
    const FrameTransform resLp = signalTransform(current.lpResidual);
    const FrameTransform resLtp = signalTransform(current.ltpResidual);
    const FrameTransform e = signalTransform(codingError(current, &FrameRecord::synthesizedSpeech));
    const FrameTransform ep =
        signalTransform(codingError(current, &FrameRecord::postProcessedSpeech));

    const SpectrumSelection& shown = options.spectra;
    const ChartColours& colours = options.colours;
    if (shown.responseI) {
        canvas.setPenColour(colours.responseI);
        plotFilterResponse(canvas, a.re, a.im, current.lpErrorI, options.spectrumGain);
    }
    if (shown.responseII) {
        canvas.setPenColour(colours.responseII);
        plotFilterResponse(canvas, b.re, b.im, current.lpErrorII, options.spectrumGain);
    }
    const SpectrumEntry spectra[] = {
        {&SpectrumSelection::lpResidual, &ChartColours::lpResidual, &resLp},
        {&SpectrumSelection::ltpResidual, &ChartColours::ltpResidual, &resLtp},
        {&SpectrumSelection::error, &ChartColours::error, &e},
        {&SpectrumSelection::postProcessedError, &ChartColours::postProcessedError, &ep},
        {&SpectrumSelection::weighted, &ChartColours::weighted, &sw},
        {&SpectrumSelection::synthesized, &ChartColours::synthesized, &sOut},
        {&SpectrumSelection::postProcessed, &ChartColours::postProcessed, &sp},
        {&SpectrumSelection::speech, &ChartColours::speech, &s},
    };
    for (const SpectrumEntry& entry : spectra) {
        if (!(shown.*entry.shown)) continue;
        canvas.setPenColour(colours.*entry.colour);
        plotSpectrum(canvas, entry.transform->re, entry.transform->im, options.spectrumGain);
    }
}

std::array<double, kSpectrumCurves> spectrumLevelsAtBin(const FrameRecord& current, int k) {
    const FrameSpectrumLevels levels = frameSpectrumLevels(current);
    std::array<double, kSpectrumCurves> atBin{};
    for (int curve = 0; curve < kSpectrumCurves; ++curve) atBin[curve] = levels[curve][k];
    return atBin;
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
