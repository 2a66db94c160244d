// The values under the pointer, each read back through the forward mapping's
// inverse in PlotScale or OverviewColumns.
#include "plots/PointerValues.h"

#include <QStringList>
#include <cmath>

#include "plots/MeasureTexts.h"
#include "plots/OverviewColumns.h"
#include "plots/TraceNames.h"

namespace zorvel {
namespace {

constexpr double kFrameMilliseconds = kFrameSamples * kSampleMilliseconds;  // 20 ms

// In the locale's decimal separator, without group separators; + 0.0 turns
// a negative zero into "0".
QString fixed(const QLocale& locale, double value, int decimals) {
    QLocale plain = locale;
    plain.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    return plain.toString(value + 0.0, 'f', decimals);
}

}  // namespace

TimePointer timePointerAt(int x, int y, int width, int height, bool twoFrames, double timeGain) {
    const int across = twoFrames ? 2 * kFrameSamples : kFrameSamples;
    const int i = sampleAtX(x, width, across);
    TimePointer pointer;
    pointer.previousFrame = twoFrames && i < kFrameSamples;
    pointer.sample = i % kFrameSamples;
    pointer.milliseconds = (twoFrames ? i - kFrameSamples : i) * kSampleMilliseconds;
    pointer.value = timeValueAtY(y, timeGain, height);
    return pointer;
}

QString timePointerText(const TimePointer& pointer, const FrameRecord& previous,
                        const FrameRecord& current, const PlotOptions& options,
                        const QLocale& locale) {
    QStringList lines;
    lines << QStringLiteral("t = %1 ms (n = %2, %3)")
                 .arg(fixed(locale, pointer.milliseconds, 3))
                 .arg(pointer.sample)
                 .arg(pointer.previousFrame ? QStringLiteral("poprzednia ramka")
                                            : QStringLiteral("bieżąca ramka"));
    lines << QStringLiteral("amplituda: %1").arg(fixed(locale, pointer.value, 0));
    const FrameRecord& frame = pointer.previousFrame ? previous : current;
    for (const NamedTrace& trace : kNamedTraces) {
        if (!(options.traces.*trace.shown)) continue;
        lines << QStringLiteral("%1 = %2").arg(
            QString::fromUtf8(trace.name), fixed(locale, (frame.*trace.signal)[pointer.sample], 1));
        // One frame of sp(n) is drawn with the formant post-filter's output.
        if (trace.shown == &TimeTraceSelection::postProcessed && !options.twoFrames)
            lines << QStringLiteral("%1 = %2").arg(
                QString::fromUtf8(kPostFilterTraceName),
                fixed(locale, frame.formantPostFiltered[pointer.sample], 1));
    }
    for (const NamedErrorTrace& trace : kNamedErrorTraces) {
        if (!(options.traces.*trace.shown)) continue;
        lines << QStringLiteral("%1 = %2").arg(
            QString::fromUtf8(trace.name),
            fixed(locale, codingError(frame, trace.output)[pointer.sample], 1));
    }
    return lines.join(QLatin1Char('\n'));
}

SpectrumPointer spectrumPointerAt(int x, int y, int width, int height, double spectrumGain) {
    SpectrumPointer pointer;
    pointer.bin = spectrumBinAtX(x, width);
    pointer.hertz = pointer.bin * kBinHertz;
    pointer.level = spectrumLevelAtY(y, spectrumGain, height);
    return pointer;
}

QString spectrumPointerText(const SpectrumPointer& pointer, const FrameRecord& current,
                            const PlotOptions& options, const QLocale& locale) {
    QStringList lines;
    lines << QStringLiteral("f = %1 Hz (prążek %2)")
                 .arg(fixed(locale, pointer.hertz, 0))
                 .arg(pointer.bin);
    lines << QStringLiteral("poziom: %1 dB").arg(fixed(locale, pointer.level, 1));
    const auto levels = spectrumLevelsAtBin(current, pointer.bin);
    for (std::size_t i = 0; i < levels.size(); ++i) {
        const NamedSpectrum& curve = kNamedSpectra[i];
        if (!(options.spectra.*curve.shown)) continue;
        lines << QStringLiteral("%1 = %2 dB")
                     .arg(QString::fromUtf8(curve.name), fixed(locale, levels[i], 1));
    }
    for (const NamedQuantisedResponse& response : kNamedQuantisedResponses) {
        if (!current.lpQuantised || !(options.spectra.*response.shown)) continue;
        const double level = filterResponseLevelAtBin(current.*response.coeffs,
                                                      current.*response.error, pointer.bin);
        lines << QStringLiteral("%1 = %2 dB")
                     .arg(QString::fromUtf8(response.name), fixed(locale, level, 1));
    }
    return lines.join(QLatin1Char('\n'));
}

QString overviewTimeText(double milliseconds, const QLocale& locale) {
    constexpr double kMinuteMs = 60'000.0;
    constexpr double kSecondMs = 1000.0;
    if (milliseconds < kMinuteMs) return fixed(locale, milliseconds, 0) + QStringLiteral(" ms");
    // Whole milliseconds: a frame starts at a multiple of 20 ms.
    const auto whole = static_cast<long long>(std::llround(milliseconds));
    const long long minutes = whole / static_cast<long long>(kMinuteMs);
    const double seconds =
        static_cast<double>(whole % static_cast<long long>(kMinuteMs)) / kSecondMs;
    QString secondsText = fixed(locale, seconds, 3);
    // Two digits of seconds: 8:02.220.
    if (seconds < 10.0) secondsText.prepend(QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(minutes).arg(secondsText);
}

OverviewPointer overviewPointerAt(int x, int width, std::span<const FrameSummary> summaries,
                                  int totalFrames, const std::optional<LaneMeasure>& measure,
                                  std::span<const FrameMeasureValues> measures) {
    OverviewPointer pointer;
    pointer.frame = overviewFrameAtX(x, width, totalFrames);
    if (pointer.frame < 1) return OverviewPointer{};
    pointer.startMilliseconds = (pointer.frame - 1) * kFrameMilliseconds;
    const auto index = static_cast<std::size_t>(pointer.frame - 1);
    if (index < summaries.size()) pointer.summary = &summaries[index];
    pointer.measure = measure;
    if (spectralMeasureOf(measure) && index < measures.size()) pointer.measures = &measures[index];
    return pointer;
}

QString overviewPointerText(const OverviewPointer& pointer, const QLocale& locale) {
    if (pointer.frame < 1) return {};
    QString text = QStringLiteral("ramka %1 (t = %2)")
                       .arg(pointer.frame)
                       .arg(overviewTimeText(pointer.startMilliseconds, locale));
    if (pointer.summary == nullptr) return text + QStringLiteral("\njeszcze nie zakodowana");
    const FrameSummary& s = *pointer.summary;
    text += QStringLiteral("\nE = %1 dB").arg(fixed(locale, overviewPowerDb(s.energy), 1));
    if (!pointer.measure) {
        text += QStringLiteral("\nSNR = %1 dB").arg(fixed(locale, s.frameSnr, 2));
    } else {
        const std::optional<SpectralMeasure> distance = spectralMeasureOf(pointer.measure);
        const QString label = measureLaneScale(*pointer.measure).label;
        if (distance && pointer.measures == nullptr) {
            text += QStringLiteral("\n%1: jeszcze nie obliczona").arg(label);
        } else {
            // A frame without a value (silence on either side, or LP not
            // quantised) has NaN.
            const float value = distance ? (*pointer.measures)[static_cast<std::size_t>(*distance)]
                                         : s.lpDistortion;
            text +=
                QStringLiteral("\n%1 = %2")
                    .arg(label, measureValueText(*pointer.measure,
                                                 std::isnan(value) ? std::nullopt
                                                                   : std::optional<double>(value)));
        }
    }
    int voiced = 0;
    double lagSum = 0.0;
    for (int a = 0; a < kSubframes; ++a) {
        if (s.pitchGain[a] < kVoicedPitchGain) continue;
        ++voiced;
        lagSum += s.pitchLag[a];
    }
    if (voiced == 0) return text + QStringLiteral("\nk: brak podramek dźwięcznych");
    return text + QStringLiteral("\nk = %1").arg(fixed(locale, lagSum / voiced, 1));
}

}  // namespace zorvel
