#include "coder/FrameSpectra.h"

#include <algorithm>
#include <cmath>

#include "dsp/Fftn.h"

namespace zorvel {
namespace {

// Both scaling arguments the transforms are taken with leave them unscaled.
constexpr double kCoefficientScaling = 0.0;
constexpr double kSignalScaling = 1.0;

void transform(FrameTransform& t, double scaling) {
    const int dims[] = {kFrameSamples};
    fftn(1, dims, t.re.data(), t.im.data(), +1, scaling);
}

constexpr std::array<std::string_view, kSpectrumCurves> kCurveKeys{
    "speech",     "synthesized", "postProcessed", "weighted", "responseI",
    "responseII", "lpResidual",  "ltpResidual",   "error",    "postProcessedError"};

}  // namespace

FrameTransform signalTransform(const Signal& x) {
    FrameTransform t;
    t.re = x;
    transform(t, kSignalScaling);
    return t;
}

FrameTransform coefficientTransform(const LpCoeffs& a) {
    FrameTransform t;
    std::copy(a.begin(), a.end(), t.re.begin());
    transform(t, kCoefficientScaling);
    return t;
}

double spectrumLevel(double re, double im) {
    const double power = re * re + im * im;
    return power > 0.0 ? 10.0 * std::log(power) : kLevelFloor;
}

double filterResponseLevel(double re, double im, double error) {
    if ((re == 0.0 && im == 0.0) || !(error > 0.0)) return kLevelFloor;
    return 10.0 * std::log(error / (re * re + im * im));
}

Signal codingError(const FrameRecord& frame, const Signal FrameRecord::*output) {
    Signal e{};
    for (int n = 0; n < kFrameSamples; ++n) e[n] = frame.speech[n] - (frame.*output)[n];
    return e;
}

std::string_view curveKey(SpectrumCurve curve) { return kCurveKeys[static_cast<int>(curve)]; }

FrameSpectrumLevels frameSpectrumLevels(const FrameRecord& current) {
    FrameSpectrumLevels levels{};
    auto spectrum = [&](SpectrumCurve curve, const Signal& x) {
        const FrameTransform t = signalTransform(x);
        for (int k = 0; k < kSpectrumBins; ++k)
            levels[static_cast<int>(curve)][k] = spectrumLevel(t.re[k], t.im[k]);
    };
    auto response = [&](SpectrumCurve curve, const LpCoeffs& a, double error) {
        const FrameTransform t = coefficientTransform(a);
        for (int k = 0; k < kSpectrumBins; ++k)
            levels[static_cast<int>(curve)][k] = filterResponseLevel(t.re[k], t.im[k], error);
    };
    spectrum(SpectrumCurve::speech, current.speech);
    spectrum(SpectrumCurve::synthesized, current.synthesizedSpeech);
    spectrum(SpectrumCurve::postProcessed, current.postProcessedSpeech);
    spectrum(SpectrumCurve::weighted, current.weightedSpeech);
    response(SpectrumCurve::responseI, current.lpCoeffsI, current.lpErrorI);
    response(SpectrumCurve::responseII, current.lpCoeffsII, current.lpErrorII);
    spectrum(SpectrumCurve::lpResidual, current.lpResidual);
    spectrum(SpectrumCurve::ltpResidual, current.ltpResidual);
    spectrum(SpectrumCurve::error, codingError(current, &FrameRecord::synthesizedSpeech));
    spectrum(SpectrumCurve::postProcessedError,
             codingError(current, &FrameRecord::postProcessedSpeech));
    return levels;
}

}  // namespace zorvel
