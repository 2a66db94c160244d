// The time image: reads the 160-sample signals of the previous and the current
// frame record and draws them against time, -20..20 ms (two frames) or
// 0..20 ms (one frame), zero line at H div 2, timeGain pixels per sample unit.
// The algebraic contribution gc*c(n) is drawn as stems standing on the
// adaptive trace that is shown.
#include <QString>

#include "plots/Plots.h"

namespace zorvel {

namespace {

constexpr int kSamplesAcrossTwoFrames = 2 * kFrameSamples;
constexpr int kStemPenWidth = 2;

struct TraceEntry {
    bool TimeTraceSelection::*shown;
    QRgb ChartColours::*colour;
    Signal FrameRecord::*signal;
};

// Traces under the stems, in drawing order.
constexpr TraceEntry kTracesUnderStems[] = {
    {&TimeTraceSelection::lpResidual, &ChartColours::lpResidual, &FrameRecord::lpResidual},
    {&TimeTraceSelection::ltpResidual, &ChartColours::ltpResidual, &FrameRecord::ltpResidual},
    {&TimeTraceSelection::filteredAdaptive, &ChartColours::filteredAdaptive,
     &FrameRecord::adaptiveWeightedSynthesis},
    {&TimeTraceSelection::adaptive, &ChartColours::adaptive, &FrameRecord::adaptiveExcitation},
    {&TimeTraceSelection::excitation, &ChartColours::excitation, &FrameRecord::excitation},
    {&TimeTraceSelection::weighted, &ChartColours::weighted, &FrameRecord::weightedSpeech},
    {&TimeTraceSelection::weightedSynthesized, &ChartColours::weightedSynthesized,
     &FrameRecord::weightedSynthesizedSpeech},
};

constexpr TraceEntry kSynthesizedTrace = {
    &TimeTraceSelection::synthesized, &ChartColours::synthesized, &FrameRecord::synthesizedSpeech};
constexpr TraceEntry kPostProcessedTrace = {&TimeTraceSelection::postProcessed,
                                            &ChartColours::postProcessed,
                                            &FrameRecord::postProcessedSpeech};
constexpr TraceEntry kSpeechTrace = {&TimeTraceSelection::speech, &ChartColours::speech,
                                     &FrameRecord::speech};

// The coding error traces, drawn over the coder's signals and under s'(n).
struct ErrorEntry {
    bool TimeTraceSelection::*shown;
    QRgb ChartColours::*colour;
    const Signal FrameRecord::*output;
};

constexpr ErrorEntry kErrorTraces[] = {
    {&TimeTraceSelection::error, &ChartColours::error, &FrameRecord::synthesizedSpeech},
    {&TimeTraceSelection::postProcessedError, &ChartColours::postProcessedError,
     &FrameRecord::postProcessedSpeech},
};

void drawErrorTrace(Canvas& canvas, const ErrorEntry& entry, const FrameRecord& previous,
                    const FrameRecord& current, const PlotOptions& options) {
    if (!(options.traces.*entry.shown)) return;
    canvas.setPenColour(options.colours.*entry.colour);
    const Signal now = codingError(current, entry.output);
    if (options.twoFrames) {
        plotSignalPair(canvas, codingError(previous, entry.output), now, options.timeGain);
    } else {
        plotSignal(canvas, now, options.timeGain);
    }
}

// Draws one trace if its box is on; true when drawn.
bool drawTrace(Canvas& canvas, const TraceEntry& entry, const FrameRecord& previous,
               const FrameRecord& current, const PlotOptions& options) {
    if (!(options.traces.*entry.shown)) return false;
    canvas.setPenColour(options.colours.*entry.colour);
    if (options.twoFrames) {
        plotSignalPair(canvas, previous.*entry.signal, current.*entry.signal, options.timeGain);
    } else {
        plotSignal(canvas, current.*entry.signal, options.timeGain);
    }
    return true;
}

// The array the stems of `base` stand on, or none.
const Signal* stemBase(const FrameRecord& frame, PulseBase base) {
    switch (base) {
        case PulseBase::filteredAdaptive:
            return &frame.adaptiveWeightedSynthesis;
        case PulseBase::adaptive:
            return &frame.adaptiveExcitation;
        case PulseBase::zeroLine:
            break;
    }
    return nullptr;
}

// Stems of one frame whose sample i stands at stemX(firstSample + i, W, samplesAcross).
void plotFrameStems(Canvas& canvas, const FrameRecord& frame, PulseBase base, double timeGain,
                    int firstSample, int samplesAcross) {
    const Signal* baseValues = stemBase(frame, base);
    const int H = canvas.height();
    for (int i = 0; i < kFrameSamples; ++i) {
        const double p = frame.algebraicExcitation[i];
        if (p == 0.0) continue;
        const double b = baseValues != nullptr ? (*baseValues)[i] : 0.0;
        const int x = stemX(firstSample + i, canvas.width(), samplesAcross);
        canvas.moveTo(x, timeY(b, timeGain, H));
        canvas.lineTo(x, timeY(p + b, timeGain, H));
    }
}

void drawStems(Canvas& canvas, const FrameRecord& previous, const FrameRecord& current,
               const PlotOptions& options) {
    const int savedWidth = canvas.penWidth();
    canvas.setPenWidth(kStemPenWidth);
    canvas.setPenColour(options.colours.algebraic);
    const PulseBase base = pulseBase(options.traces.filteredAdaptive, options.traces.adaptive);
    if (options.twoFrames) {
        plotPulsePair(canvas, previous, current, base, options.timeGain);
    } else {
        plotPulses(canvas, current, base, options.timeGain);
    }
    canvas.setPenWidth(savedWidth);
}

}  // namespace

void clearImage(Canvas& canvas, const ChartColours& colours) {
    canvas.setPenColour(kOutlineColour);
    canvas.setBrushColour(colours.background);
    canvas.rectangle(0, 0, canvas.width(), canvas.height());
}

void drawTimeGrid(Canvas& canvas, bool twoFrames, double timeGain, const ChartColours& colours) {
    const int W = canvas.width();
    const int H = canvas.height();
    canvas.setPenColour(colours.grid);
    canvas.setFontColour(colours.text);
    canvas.setBrushColour(colours.background);

    for (int k = 1; k < timeGridColumns(twoFrames); ++k) {
        const int x = timeGridX(k, W, twoFrames);
        canvas.moveTo(x, 0);
        canvas.lineTo(x, H);
    }
    for (int j = 1; j <= 3; ++j) {
        const int y = timeGridY(j, H);
        canvas.moveTo(0, y);
        canvas.lineTo(W, y);
        canvas.textOut(3, y + 3, amplitudeLabel(y, H, timeGain));
    }
    if (twoFrames) {
        canvas.textOut(3, 3, QStringLiteral("Poprzednia ramka"));
        canvas.textOut(W / 2 + 3, 3, QStringLiteral("Bieżąca ramka"));
    } else {
        canvas.textOut(3, 3, QStringLiteral("Bieżąca ramka"));
    }
    canvas.textOut(W - 30, H - 20, QStringLiteral("[ms]"));
}

void drawTimeTraces(Canvas& canvas, const FrameRecord& previous, const FrameRecord& current,
                    const PlotOptions& options) {
    for (const TraceEntry& entry : kTracesUnderStems) {
        drawTrace(canvas, entry, previous, current, options);
    }
    if (options.traces.algebraic) drawStems(canvas, previous, current, options);
    for (const ErrorEntry& entry : kErrorTraces) {
        drawErrorTrace(canvas, entry, previous, current, options);
    }
    drawTrace(canvas, kSynthesizedTrace, previous, current, options);
    if (drawTrace(canvas, kPostProcessedTrace, previous, current, options) && !options.twoFrames) {
        canvas.setPenColour(kPostFilterTraceColour);
        plotSignal(canvas, current.formantPostFiltered, options.timeGain);
    }
    drawTrace(canvas, kSpeechTrace, previous, current, options);
}

void plotSignal(Canvas& canvas, std::span<const double, kFrameSamples> values, double timeGain) {
    const int W = canvas.width();
    const int H = canvas.height();
    canvas.moveTo(0, timeY(values[0], timeGain, H));
    for (int i = 1; i < kFrameSamples; ++i) {
        canvas.lineTo(traceX(i, W, kFrameSamples), timeY(values[i], timeGain, H));
    }
}

void plotSignalPair(Canvas& canvas, std::span<const double, kFrameSamples> previousValues,
                    std::span<const double, kFrameSamples> currentValues, double timeGain) {
    const int W = canvas.width();
    const int H = canvas.height();
    canvas.moveTo(0, timeY(previousValues[0], timeGain, H));
    for (int i = 1; i < kFrameSamples; ++i) {
        canvas.lineTo(traceX(i, W, kSamplesAcrossTwoFrames), timeY(previousValues[i], timeGain, H));
    }
    for (int i = 0; i < kFrameSamples; ++i) {
        canvas.lineTo(traceX(kFrameSamples + i, W, kSamplesAcrossTwoFrames),
                      timeY(currentValues[i], timeGain, H));
    }
}

void plotPulses(Canvas& canvas, const FrameRecord& current, PulseBase base, double timeGain) {
    plotFrameStems(canvas, current, base, timeGain, 0, kFrameSamples);
}

void plotPulsePair(Canvas& canvas, const FrameRecord& previous, const FrameRecord& current,
                   PulseBase base, double timeGain) {
    plotFrameStems(canvas, previous, base, timeGain, 0, kSamplesAcrossTwoFrames);
    plotFrameStems(canvas, current, base, timeGain, kFrameSamples, kSamplesAcrossTwoFrames);
}

}  // namespace zorvel
