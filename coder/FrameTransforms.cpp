#include "coder/FrameTransforms.h"

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

FrameTransforms frameTransforms(const FrameRecord& current) {
    FrameTransforms t;
    auto set = [&t](SpectrumCurve curve, FrameTransform transform) {
        t.curves[static_cast<int>(curve)] = transform;
    };
    set(SpectrumCurve::speech, signalTransform(current.speech));
    set(SpectrumCurve::synthesized, signalTransform(current.synthesizedSpeech));
    set(SpectrumCurve::postProcessed, signalTransform(current.postProcessedSpeech));
    set(SpectrumCurve::weighted, signalTransform(current.weightedSpeech));
    set(SpectrumCurve::responseI, coefficientTransform(current.lpCoeffsI));
    set(SpectrumCurve::responseII, coefficientTransform(current.lpCoeffsII));
    set(SpectrumCurve::lpResidual, signalTransform(current.lpResidual));
    set(SpectrumCurve::ltpResidual, signalTransform(current.ltpResidual));
    set(SpectrumCurve::error,
        signalTransform(codingError(current, &FrameRecord::synthesizedSpeech)));
    set(SpectrumCurve::postProcessedError,
        signalTransform(codingError(current, &FrameRecord::postProcessedSpeech)));
    t.errorI = current.lpErrorI;
    t.errorII = current.lpErrorII;
    return t;
}

double curveLevel(const FrameTransforms& transforms, SpectrumCurve curve, int k) {
    const FrameTransform& t = transforms.of(curve);
    if (curve == SpectrumCurve::responseI)
        return filterResponseLevel(t.re[k], t.im[k], transforms.errorI);
    if (curve == SpectrumCurve::responseII)
        return filterResponseLevel(t.re[k], t.im[k], transforms.errorII);
    return spectrumLevel(t.re[k], t.im[k]);
}

FrameSpectrumLevels frameSpectrumLevels(const FrameRecord& current) {
    const FrameTransforms transforms = frameTransforms(current);
    FrameSpectrumLevels levels{};
    for (int curve = 0; curve < kSpectrumCurves; ++curve)
        for (int k = 0; k < kSpectrumBins; ++k)
            levels[curve][k] = curveLevel(transforms, static_cast<SpectrumCurve>(curve), k);
    return levels;
}

}  // namespace zorvel
