// The spectrum image: reads the six signals and the two LP coefficient sets
// (with their prediction errors) of the current frame record, takes plain
// 160-point transforms X(k) = sum x(n) e^(+j 2 pi k n / 160) of each (no window,
// 50 Hz per bin) and draws bins 0..79 at level 10 ln|X(k)|^2; the synthesis
// filter responses are drawn as E / |A(k)|^2, dashed, and where the frame's
// LP is quantised the quantised sets' responses E / |Aq(k)|^2 beside them, solid.
#include <QString>
#include <algorithm>

#include "dsp/Fftn.h"
#include "plots/Plots.h"
#include "plots/TraceNames.h"

namespace zorvel {

namespace {

struct Transform {
    std::array<double, kFrameSamples> re{};
    std::array<double, kFrameSamples> im{};
};

// Both scaling arguments the transforms are taken with leave them unscaled.
constexpr double kCoefficientScaling = 0.0;
constexpr double kSignalScaling = 1.0;

void transform(Transform& t, double scaling) {
    const int dims[] = {kFrameSamples};
    fftn(1, dims, t.re.data(), t.im.data(), +1, scaling);
}

Transform coefficientTransform(const LpCoeffs& a) {
    Transform t;
    std::copy(a.begin(), a.end(), t.re.begin());
    transform(t, kCoefficientScaling);
    return t;
}

Transform signalTransform(const Signal& x) {
    Transform t;
    t.re = x;
    transform(t, kSignalScaling);
    return t;
}

struct SpectrumEntry {
    bool SpectrumSelection::*shown;
    QRgb ChartColours::*colour;
    const Transform* transform;
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
    const Transform a = coefficientTransform(current.lpCoeffsI);
    const Transform b = coefficientTransform(current.lpCoeffsII);
    const Transform s = signalTransform(current.speech);
    const Transform sOut = signalTransform(current.synthesizedSpeech);
    const Transform sw = signalTransform(current.weightedSpeech);
    const Transform sp = signalTransform(current.postProcessedSpeech);
    const Transform resLp = signalTransform(current.lpResidual);
    const Transform resLtp = signalTransform(current.ltpResidual);
    const Transform e = signalTransform(codingError(current, &FrameRecord::synthesizedSpeech));
    const Transform ep = signalTransform(codingError(current, &FrameRecord::postProcessedSpeech));

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
    for (const NamedQuantisedResponse& response : kNamedQuantisedResponses) {
        if (!current.lpQuantised || !(shown.*response.shown)) continue;
        const Transform q = coefficientTransform(current.*response.coeffs);
        canvas.setPenColour(colours.*response.colour);
        plotQuantisedResponse(canvas, q.re, q.im, current.*response.error, options.spectrumGain);
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
    const auto level = [k](const Transform& t) { return spectrumLevel(t.re[k], t.im[k]); };
    const auto response = [k](const Transform& t, double error) {
        return filterResponseLevel(t.re[k], t.im[k], error);
    };
    return {level(signalTransform(current.speech)),
            level(signalTransform(current.synthesizedSpeech)),
            level(signalTransform(current.postProcessedSpeech)),
            level(signalTransform(current.weightedSpeech)),
            response(coefficientTransform(current.lpCoeffsI), current.lpErrorI),
            response(coefficientTransform(current.lpCoeffsII), current.lpErrorII),
            level(signalTransform(current.lpResidual)),
            level(signalTransform(current.ltpResidual)),
            level(signalTransform(codingError(current, &FrameRecord::synthesizedSpeech))),
            level(signalTransform(codingError(current, &FrameRecord::postProcessedSpeech)))};
}

double filterResponseLevelAtBin(const LpCoeffs& a, double error, int k) {
    const Transform t = coefficientTransform(a);
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
