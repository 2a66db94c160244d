// Texts of the chart window's readouts and caption, and where the subframe
// readouts go: number formats, the two-decimal rounding of the SNRs, parsing
// of the edit boxes, the caption of a mode.
#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>

#include "coder/CoderMode.h"
#include "coder/CoderSettings.h"
#include "coder/Frame.h"

namespace zorvel {

// Decimal integer: an optional minus sign and the digits.
QString formatInteger(int value);

// A subframe's pitch lag as its readout shows it: `lag` at whole-sample
// resolution, else `fineLag` with its fraction as one character ("57⅓",
// "57½", "56⅚", "57"), short enough for the 43-pixel box beside the gain.
QString pitchLagText(int lag, double fineLag, PitchResolution resolution);

// A setting's value in the words the windows use (from the settings'
// table): a choice's label ("LSF", "1/3"), a number with its unit in the
// locale's notation ("0,9", "80 Hz"), or the short word of a state ("wył.").
QString settingValueWords(const SettingDescriptor& setting, const CoderSettings& settings,
                          const QLocale& locale = QLocale());

// The settings that differ from `reference`, each "short name: value" in
// Polish ("γ1: 0,9", "poprawa pobudzenia: wył."), in the table's order.
QStringList settingsWords(const CoderSettings& settings,
                          const CoderSettings& reference = CoderSettings{},
                          const QLocale& locale = QLocale());
// Those joined into one line: "γ1: 0,9; poprawa pobudzenia: wył.".
QString settingsWordsLine(const CoderSettings& settings,
                          const CoderSettings& reference = CoderSettings{},
                          const QLocale& locale = QLocale());
inline const QString kSettingsWordsSeparator = QStringLiteral("; ");

// "Ustawienia kodera – rozdzielczość opóźnienia: 1/6; interpolacja LP: LSF":
// the settings that differ from the defaults; empty for the defaults.
QString settingsIndication(const CoderSettings& settings, const QLocale& locale = QLocale());

// "s(n) po filtrze górnoprzepustowym 80 Hz" when the input is high-pass
// filtered before coding; empty when it is not.
QString highPassNote(const CoderSettings& settings, const QLocale& locale = QLocale());

// The general number format: the double rounded to 15 significant digits,
// without trailing zeros or a trailing decimal separator; fixed notation for 0
// and for magnitudes from 0.00001 up to below 1e15, otherwise mantissa, "E"
// and the exponent ("1E15", "1.5E-6"). The decimal separator is the locale's.
QString formatGeneral(double value, const QLocale& locale = QLocale());

// round(x / 0.01) * 0.01, ties to even.
double roundToTwoDecimals(double x);

// Text of an edit box as a number with the locale's decimal separator;
// surrounding blanks are ignored. Nothing when the text is no number.
std::optional<double> parseNumber(const QString& text, const QLocale& locale = QLocale());

// Text of an edit box as a decimal integer; surrounding blanks are ignored.
std::optional<int> parseInteger(const QString& text);

// "ZORVEL - tryb: 12.2 [kb/s]" and so on, one for each mode.
QString modeCaption(CoderMode mode);

// The window caption for a mode and an input path: the mode caption, " - "
// and the file name without its directory.
QString windowCaption(CoderMode mode, const QString& fileName);

// The quantised frame's readouts (an empty text for a frame whose LP is not
// quantised). The spectral distortion of its quantised LP against the
// analysed, to 0.01 dB with a point as the measures' readout has it: "SD
// 1.02 dB", or with two LP sets each set's, "SD: a2 0.87 dB, a4 1.02 dB". Its
// bits by parameter, the gains' whether coded alone or jointly, and their sum:
// "Bity: LP 26, opóźnienia 26, impulsy 124, wzmocnienia 28 = 204".
QString lpDistortionText(const FrameRecord& record, bool twoSets);
QString frameBitsText(const FrameRecord& record);

// Left edges of Editk1..Editk4 under the start of each subframe of the current
// frame, for a time image at `imageLeft` that is `imageWidth` wide.
std::array<int, 4> subframeReadoutLefts(bool twoFrames, int imageLeft, int imageWidth);

}  // namespace zorvel
