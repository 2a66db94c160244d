// Figures: a chart picture as a reader of a report needs it. The picture the
// window shows is placed unchanged inside a white page, with a title naming
// the file, the mode and the frame, numbered axes with their units (time in
// ms, frequency in kHz, level in dB, frames), and a legend of the traces shown
// in their colours under the names the window gives them. A figure is a
// Picture like any other, so the same description is painted as PNG and
// written as SVG.
#pragma once

#include <QString>
#include <optional>
#include <span>
#include <vector>

#include "coder/CoderMode.h"
#include "coder/FrameDistances.h"
#include "coder/FramePass.h"
#include "plots/OverviewColumns.h"
#include "plots/Picture.h"
#include "plots/Plots.h"

namespace zorvel {

// One trace of the legend: a short line in its colour on the plot's
// background, then its name.
struct LegendEntry {
    QString name;
    QRgb colour = 0xFF000000;
    bool dashed = false;  // the synthesis filter responses
    friend bool operator==(const LegendEntry&, const LegendEntry&) = default;
};

// Where a number of the vertical axis stands against its tick: centred on
// it, or with its cell's top or bottom on it (where lanes meet, the numbers of
// both stay apart).
enum class TickText { centred, below, above };

// A number on an axis at pixel `at` of the plot (a column or a row).
struct AxisTick {
    int at = 0;
    QString text;
    TickText placement = TickText::centred;
    friend bool operator==(const AxisTick&, const AxisTick&) = default;
};

struct FigureAxis {
    std::vector<AxisTick> ticks;
    QString caption;  // what the numbers are, with the unit: "czas [ms]"
};

// What a figure adds to its plot.
struct FigureFrame {
    QString title;
    FigureAxis horizontal;  // under the plot, its caption under the numbers
    FigureAxis vertical;    // left of the plot, its caption above it
    std::vector<LegendEntry> legend;
    QRgb plotBackground = 0xFF000000;  // behind each legend line, as on the plot
};

// The page and its text: light, for printed reports.
inline constexpr QRgb kFigurePageColour = 0xFFFFFFFF;
inline constexpr QRgb kFigureTextColour = 0xFF000000;

// Where the plot's top-left corner lies on the figure.
QPoint figurePlotOrigin(const Picture& plot, const FigureFrame& frame);

// The plot on its page with the title, the axes and the legend.
Picture describeFigure(const Picture& plot, const FigureFrame& frame);

// What a figure shows: "mowa.wav - tryb: 12.2 [kb/s] - ramka 42".
struct FigureSubject {
    QString fileName;  // a path; the title names the file only
    CoderMode mode = CoderMode::rate12_2;
    CoderSettings settings{};  // the title says when the adaptive codebook is off
    int frame = 0;
};
QString figureTitle(const FigureSubject& subject);

// The traces each plot shows, in the order of the window's boxes.
std::vector<LegendEntry> timeLegend(const PlotOptions& options);
// With `lpQuantised`, the quantised sets' responses follow the analysed ones.
std::vector<LegendEntry> spectrumLegend(const PlotOptions& options, bool lpQuantised = false);
// With a measure, the strip's middle lane shows it in place of the frame SNR.
std::vector<LegendEntry> overviewLegend(const ChartColours& colours,
                                        const std::optional<LaneMeasure>& measure = {});

// The axes of each plot, their numbers where the plot draws its grid.
FigureAxis timeAxis(int width, bool twoFrames);
FigureAxis amplitudeAxis(int height, double timeGain);
FigureAxis frequencyAxis(int width);
FigureAxis levelAxis(int height, double spectrumGain);
FigureAxis frameAxis(int width, int totalFrames);
FigureAxis laneAxis(int height, const std::optional<LaneMeasure>& measure = {});

// The figures of the chart window's three pictures.
Picture describeTimeFigure(int width, int height, const FrameRecord& previous,
                           const FrameRecord& current, const PlotOptions& options,
                           const FigureSubject& subject);
Picture describeSpectrumFigure(int width, int height, const FrameRecord& current,
                               const PlotOptions& options, const FigureSubject& subject);
// `strip` is the overview picture of a strip over `totalFrames` frames, its
// middle lane showing `measure` where one is given.
Picture describeOverviewFigure(const Picture& strip, int totalFrames, const ChartColours& colours,
                               const FigureSubject& subject,
                               const std::optional<LaneMeasure>& measure = {});

}  // namespace zorvel
