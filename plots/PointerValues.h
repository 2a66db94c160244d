// What lies under the pointer on the chart images and the overview strip:
// the pixel mapped back to values through the very mappings the pictures are
// drawn with (PlotScale, the strip's columns), and the Polish texts the
// window shows for them.
#pragma once

#include <QLocale>
#include <QString>
#include <optional>
#include <span>

#include "coder/FramePass.h"
#include "plots/OverviewColumns.h"
#include "plots/Plots.h"

namespace zorvel {

// A point of the time image.
struct TimePointer {
    int sample = 0;              // the sample drawn at the column, 0..159 of its frame
    bool previousFrame = false;  // in the left half of the two-frame view
    double milliseconds = 0.0;   // on the time axis: 0 at the current frame's start
    double value = 0.0;          // the amplitude drawn at the row
};
TimePointer timePointerAt(int x, int y, int width, int height, bool twoFrames, double timeGain);

// "t = -3,125 ms (n = 135, poprzednia ramka)", the amplitude at the row, and
// the value at that sample of every trace shown.
QString timePointerText(const TimePointer& pointer, const FrameRecord& previous,
                        const FrameRecord& current, const PlotOptions& options,
                        const QLocale& locale = QLocale());

// A point of the spectrum image.
struct SpectrumPointer {
    int bin = 0;         // the bin drawn nearest to the column
    double hertz = 0.0;  // its frequency
    double level = 0.0;  // the level drawn at the row, in dB
};
SpectrumPointer spectrumPointerAt(int x, int y, int width, int height, double spectrumGain);
// "f = 500 Hz (prążek 10)", the level at the row, and the level at that bin
// of every curve shown.
QString spectrumPointerText(const SpectrumPointer& pointer, const FrameRecord& current,
                            const PlotOptions& options, const QLocale& locale = QLocale());

// A column of the overview strip: its first frame, where that frame starts,
// and its figures once the background pass has reached it. Where the strip's
// middle lane shows a measure in place of the frame SNR, the frame's value of
// it: a spectral distance once the pass has measured the frame, the quantised
// LP's distortion from its summary.
struct OverviewPointer {
    int frame = 0;  // 0: no frames
    double startMilliseconds = 0.0;
    const FrameSummary* summary = nullptr;  // none: not coded yet
    std::optional<LaneMeasure> measure{};
    const FrameMeasureValues* measures = nullptr;  // none: not measured yet
};
OverviewPointer overviewPointerAt(int x, int width, std::span<const FrameSummary> summaries,
                                  int totalFrames, const std::optional<LaneMeasure>& measure = {},
                                  std::span<const FrameMeasureValues> measures = {});
// Where a frame starts, as the strip's tool tip gives it: "2440 ms" below a
// minute, minutes, seconds and milliseconds past it ("8:42.220").
QString overviewTimeText(double milliseconds, const QLocale& locale = QLocale());

// "ramka 123 (t = 2440 ms)", then E [dB], SNR [dB] (or the lane's measure:
// "LSD-LP = 2.78 dB") and the mean lag k of the voiced subframes, or that
// the frame is not coded yet.
QString overviewPointerText(const OverviewPointer& pointer, const QLocale& locale = QLocale());

}  // namespace zorvel
