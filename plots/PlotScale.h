// Value-to-pixel mappings of the chart images. W and H are the image's width
// and height in pixels, x grows to the right and y downwards from 0, and
// trunc() cuts toward zero. Results far outside the image are pinned to
// +-kCoordinateLimit so that they fit an int; anything there is clipped anyway.
#pragma once

#include <QString>
#include <array>

#include "coder/FrameTransforms.h"
#include "sound/SpeechInput.h"
#include "sound/Wave.h"

namespace zorvel {

inline constexpr int kCoordinateLimit = 1 << 28;
inline constexpr double kSampleRange = 65536.0;  // the 16-bit range -32768..32767
inline constexpr int kSpectrumGridStep = 40;     // pixels between level lines

// trunc(v) as an int, pinned to +-kCoordinateLimit; NaN gives 0.
int truncToPixel(double v);

// Time plot -----------------------------------------------------------------

// Pixels per sample unit for a scale in percent: at 100 the range +-32768
// spans the whole height.
double timeGainForScale(double scalePercent, int height);

// The zero line, H div 2.
int zeroLineY(int height);

// y0 - trunc(timeGain * value).
int timeY(double value, double timeGain, int height);

// Sample i of a polyline of `samplesAcross` samples: trunc(i * (W / samplesAcross)),
// the step being a floating-point quotient.
int traceX(int i, int width, int samplesAcross);

// Stem of sample i: trunc(i * W / samplesAcross), the product taken in integers.
int stemX(int i, int width, int samplesAcross);

// Vertical grid lines: k * (W div n) for k = 1..n-1, n = 8 for two frames, else 4.
int timeGridColumns(bool twoFrames);
int timeGridX(int k, int width, bool twoFrames);

// Horizontal grid line j = 1, 2, 3: H * j div 4.
int timeGridY(int j, int height);

// The amplitude at grid height y: trunc((H div 2 - y) / timeGain) in decimal,
// "0" on the zero line; empty when the gain is 0 (no amplitude maps to a pixel).
QString amplitudeLabel(int y, int height, double timeGain);

// Captions of the labels L1..L9 under the time plot.
std::array<QString, 9> timeAxisCaptions(bool twoFrames);

// The trace the algebraic stems stand on.
enum class PulseBase {
    zeroLine,
    filteredAdaptive,  // gp*y(n)
    adaptive,          // v(n)
};
PulseBase pulseBase(bool filteredAdaptiveShown, bool adaptiveShown);

// Spectrum plot -------------------------------------------------------------

// The levels themselves (spectrumLevel, filterResponseLevel) are the
// frame's spectra's: coder/FrameTransforms.h.

// trunc(H - level * spectrumGain).
int spectrumY(double level, double spectrumGain, int height);

// Bin k: trunc(k * (W / 80)), the step a floating-point quotient.
int spectrumX(int k, int width);

// Vertical grid lines at k * (W div 4), k = 1..3 (1, 2 and 3 kHz).
int spectrumGridX(int k, int width);

// From pixels back to values -------------------------------------------------
// The inverses of the mappings above, for what lies under the pointer. Each is
// written against its forward mapping, so that a pixel and the value read at
// it always agree with what is drawn there.

inline constexpr double kSampleMilliseconds = 1000.0 / kSampleRate;  // one sample: 0.125
inline constexpr double kBinHertz =
    static_cast<double>(kSampleRate) / kFrameSamples;  // the rate over 160 points: 50

// The sample drawn at column x of a polyline of `samplesAcross` samples: the
// last i with traceX(i) <= x, within 0..samplesAcross - 1.
int sampleAtX(int x, int width, int samplesAcross);

// A value timeY maps to row y: the middle of the values that land there, so
// timeY(timeValueAtY(y)) == y; 0 on the zero line. NaN when the gain is 0.
double timeValueAtY(int y, double timeGain, int height);

// The bin drawn nearest to column x (the lower one of two as near).
int spectrumBinAtX(int x, int width);

// A level spectrumY maps to row y: the middle of those that land there, so
// spectrumY(spectrumLevelAtY(y)) == y. NaN when the gain is 0.
double spectrumLevelAtY(int y, double spectrumGain, int height);

}  // namespace zorvel
