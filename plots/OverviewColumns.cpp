#include "plots/OverviewColumns.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace zorvel {

int overviewFrameAtX(int x, int width, int totalFrames) {
    if (totalFrames <= 0 || width <= 0) return 0;
    const std::int64_t column = std::clamp(x, 0, width - 1);
    return static_cast<int>(column * totalFrames / width) + 1;
}

int overviewXOfFrame(int frame, int width, int totalFrames) {
    if (totalFrames <= 0 || width <= 0) return 0;
    const std::int64_t f = std::clamp(frame, 1, totalFrames);
    // The largest x with x * totalFrames / width < f, i.e. x * totalFrames < f * width.
    const std::int64_t x = (f * width - 1) / totalFrames;
    return static_cast<int>(std::min<std::int64_t>(x, width - 1));
}

double overviewPowerDb(float energy) {
    const double power = energy / kFrameSamples;
    return power > 0.0 ? std::max(10.0 * std::log10(power), kOverviewPowerFloorDb)
                       : kOverviewPowerFloorDb;
}

namespace {

// The measure's values of frames first..last (those with a value) in the column.
void addMeasure(OverviewColumn& column, const OverviewMeasure& measure,
                std::span<const FrameSummary> summaries, int first, int last) {
    const SpectralMeasure* distance = std::get_if<SpectralMeasure>(&measure.measure);
    const int known = static_cast<int>(distance ? measure.values.size() : summaries.size());
    double sum = 0.0;
    for (int f = first; f <= std::min(last, known); ++f) {
        const auto frame = static_cast<std::size_t>(f - 1);
        const double v = distance ? measure.values[frame][static_cast<std::size_t>(*distance)]
                                  : summaries[frame].lpDistortion;
        if (std::isnan(v)) continue;
        if (column.measuredFrames == 0) column.measureLow = column.measureHigh = v;
        column.measureLow = std::min(column.measureLow, v);
        column.measureHigh = std::max(column.measureHigh, v);
        sum += v;
        ++column.measuredFrames;
    }
    if (column.measuredFrames > 0) column.measureMean = sum / column.measuredFrames;
}

}  // namespace

std::vector<OverviewColumn> overviewColumns(std::span<const FrameSummary> summaries,
                                            int totalFrames, int width,
                                            const std::optional<OverviewMeasure>& measure) {
    std::vector<OverviewColumn> columns(static_cast<std::size_t>(std::max(width, 0)));
    const int reached = static_cast<int>(std::min<std::size_t>(
        summaries.size(), static_cast<std::size_t>(std::max(totalFrames, 0))));
    for (int x = 0; x < width && totalFrames > 0; ++x) {
        const int first = overviewFrameAtX(x, width, totalFrames);
        const int last = x + 1 < width
                             ? std::max(first, overviewFrameAtX(x + 1, width, totalFrames) - 1)
                             : totalFrames;
        OverviewColumn& column = columns[static_cast<std::size_t>(x)];
        double powerSum = 0.0;
        double snrSum = 0.0;
        double lagSum = 0.0;
        for (int f = first; f <= std::min(last, reached); ++f) {
            const FrameSummary& s = summaries[static_cast<std::size_t>(f - 1)];
            const double dB = overviewPowerDb(s.energy);
            const double snr = s.frameSnr;
            if (column.frames == 0) {
                column.powerLowDb = column.powerHighDb = dB;
                column.snrLowDb = column.snrHighDb = snr;
            }
            column.powerLowDb = std::min(column.powerLowDb, dB);
            column.powerHighDb = std::max(column.powerHighDb, dB);
            column.snrLowDb = std::min(column.snrLowDb, snr);
            column.snrHighDb = std::max(column.snrHighDb, snr);
            powerSum += dB;
            snrSum += snr;
            ++column.frames;
            for (int a = 0; a < kSubframes; ++a) {
                if (s.pitchGain[a] >= kVoicedPitchGain) {
                    lagSum += s.pitchLag[a];
                    ++column.voicedSubframes;
                }
            }
        }
        if (column.frames > 0) {
            column.powerMeanDb = powerSum / column.frames;
            column.snrMeanDb = snrSum / column.frames;
        }
        if (column.voicedSubframes > 0) column.meanVoicedLag = lagSum / column.voicedSubframes;
        if (measure) addMeasure(column, *measure, summaries, first, last);
    }
    return columns;
}

}  // namespace zorvel
