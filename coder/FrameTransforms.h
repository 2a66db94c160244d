// The spectra of one frame as the chart window draws them: plain 160-point
// transforms X(k) = sum x(n) e^(+j 2 pi k n / 160) of the frame's signals (no
// window, 50 Hz per bin), bins 0..79 at level 10 ln|X(k)|^2, and the
// synthesis filters' power responses E / |A(k)|^2 of LP sets I and II with
// their prediction errors E. The windows paint these levels; the Python
// module hands them out as arrays.
#pragma once

#include <array>
#include <string_view>

#include "coder/Frame.h"

namespace zorvel {

inline constexpr int kSpectrumBins = 80;        // bins 0..79, 0 to 3950 Hz
inline constexpr double kLevelFloor = 0.00001;  // level of a bin with no power

// A transform's real and imaginary parts.
struct FrameTransform {
    std::array<double, kFrameSamples> re{};
    std::array<double, kFrameSamples> im{};
};

FrameTransform signalTransform(const Signal& x);
// Of the coefficients a(0..10), zero-padded to 160.
FrameTransform coefficientTransform(const LpCoeffs& a);

// 10 ln(re^2 + im^2), or kLevelFloor when there is no power.
double spectrumLevel(double re, double im);

// 10 ln(error / (re^2 + im^2)), or kLevelFloor when re and im are both 0 or
// the error is not positive.
double filterResponseLevel(double re, double im, double error);

// The coding error of a frame: s(n) minus `output` (s'(n) or sp(n)).
Signal codingError(const FrameRecord& frame, const Signal FrameRecord::*output);

// The curves, in the order of the window's spectrum boxes: |S|, |S'|, |Sp|,
// |Sw|, the responses from sets I and II, |ResLP|, |ResLTP|; then the error
// spectra |E|, |Ep|.
enum class SpectrumCurve {
    speech,
    synthesized,
    postProcessed,
    weighted,
    responseI,
    responseII,
    lpResidual,
    ltpResidual,
    error,
    postProcessedError,
};
inline constexpr int kSpectrumCurves = 10;

// The curve's name where it is exported: "speech", "responseI", ...
std::string_view curveKey(SpectrumCurve curve);

// The transform behind every curve, indexed by SpectrumCurve: of the signal,
// or for a response of the LP coefficients, with the prediction error.
struct FrameTransforms {
    std::array<FrameTransform, kSpectrumCurves> curves;
    double errorI = 0.0;
    double errorII = 0.0;

    const FrameTransform& of(SpectrumCurve curve) const { return curves[static_cast<int>(curve)]; }
};
FrameTransforms frameTransforms(const FrameRecord& current);

// A curve's level at bin k (0..159): spectrumLevel, or filterResponseLevel
// for the responses.
double curveLevel(const FrameTransforms& transforms, SpectrumCurve curve, int k);

// Every curve's levels at bins 0..79, indexed by SpectrumCurve.
using FrameSpectrumLevels = std::array<std::array<double, kSpectrumBins>, kSpectrumCurves>;
FrameSpectrumLevels frameSpectrumLevels(const FrameRecord& current);

}  // namespace zorvel
