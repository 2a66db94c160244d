#include "plots/PlotScale.h"

#include <cmath>
#include <cstdlib>

namespace zorvel {

int truncToPixel(double v) {
    if (std::isnan(v)) return 0;
    const double t = std::trunc(v);
    if (t >= kCoordinateLimit) return kCoordinateLimit;
    if (t <= -kCoordinateLimit) return -kCoordinateLimit;
    return static_cast<int>(t);
}

double timeGainForScale(double scalePercent, int height) {
    return scalePercent * 0.01 * height / kSampleRange;
}

int zeroLineY(int height) { return height / 2; }

int timeY(double value, double timeGain, int height) {
    return zeroLineY(height) - truncToPixel(timeGain * value);
}

int traceX(int i, int width, int samplesAcross) {
    const double step = static_cast<double>(width) / samplesAcross;
    return truncToPixel(i * step);
}

int stemX(int i, int width, int samplesAcross) {
    return truncToPixel(static_cast<double>(static_cast<long long>(i) * width) / samplesAcross);
}

int timeGridColumns(bool twoFrames) { return twoFrames ? 8 : 4; }

int timeGridX(int k, int width, bool twoFrames) { return k * (width / timeGridColumns(twoFrames)); }

int timeGridY(int j, int height) { return height * j / 4; }

QString amplitudeLabel(int y, int height, double timeGain) {
    const int fromZero = zeroLineY(height) - y;
    if (fromZero == 0) return QStringLiteral("0");
    if (timeGain == 0.0) return QString();
    // + 0.0 turns a negative zero into "0".
    return QString::number(std::trunc(fromZero / timeGain) + 0.0, 'f', 0);
}

std::array<QString, 9> timeAxisCaptions(bool twoFrames) {
    if (twoFrames) {
        return {"-20", "-15", "-10", "-5", "0", "5", "10", "15", "20"};
    }
    return {"0", "", "5", "", "10", "", "15", "", "20"};
}

PulseBase pulseBase(bool filteredAdaptiveShown, bool adaptiveShown) {
    if (adaptiveShown) return PulseBase::adaptive;
    if (filteredAdaptiveShown) return PulseBase::filteredAdaptive;
    return PulseBase::zeroLine;
}

int spectrumY(double level, double spectrumGain, int height) {
    return truncToPixel(height - level * spectrumGain);
}

int spectrumX(int k, int width) {
    const double step = static_cast<double>(width) / kSpectrumBins;
    return truncToPixel(k * step);
}

int spectrumGridX(int k, int width) { return k * (width / 4); }

int sampleAtX(int x, int width, int samplesAcross) {
    // traceX grows with i: the last sample at or left of x, found by bisection.
    int low = 0;
    int high = samplesAcross - 1;
    while (low < high) {
        const int middle = (low + high + 1) / 2;
        if (traceX(middle, width, samplesAcross) <= x) {
            low = middle;
        } else {
            high = middle - 1;
        }
    }
    return low;
}

double timeValueAtY(int y, double timeGain, int height) {
    if (timeGain == 0.0) return std::nan("");
    // timeY cuts timeGain * value toward zero: row y holds the values whose
    // product lies in [d, d + 1) above the zero line and in (d - 1, d] below it.
    const int d = zeroLineY(height) - y;
    if (d == 0) return 0.0;
    return (d > 0 ? d + 0.5 : d - 0.5) / timeGain;
}

int spectrumBinAtX(int x, int width) {
    int nearest = 0;
    for (int k = 1; k < kSpectrumBins; ++k) {
        if (std::abs(spectrumX(k, width) - x) < std::abs(spectrumX(nearest, width) - x))
            nearest = k;
    }
    return nearest;
}

double spectrumLevelAtY(int y, double spectrumGain, int height) {
    if (spectrumGain == 0.0) return std::nan("");
    // spectrumY cuts height - level * gain toward zero: inside the image, row y
    // holds the levels whose product lies in (height - y - 1, height - y].
    return (height - y - 0.5) / spectrumGain;
}

}  // namespace zorvel
