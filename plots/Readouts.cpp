#include "plots/Readouts.h"

#include <QFileInfo>
#include <charconv>
#include <cmath>
#include <string>

#include "coder/CoderMode.h"
#include "coder/LpDistortion.h"

namespace zorvel {

namespace {

constexpr int kSignificantDigits = 15;
constexpr int kFixedFromExponent = -5;   // 0.00001
constexpr int kFixedBelowExponent = 15;  // 1e15

struct DecimalDigits {
    std::string digits;  // significant digits without trailing zeros, first one nonzero
    int exponent = 0;    // value = d.ddd * 10^exponent
};

// |value| rounded to 15 significant digits.
DecimalDigits roundedDigits(double value) {
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, std::fabs(value),
                                      std::chars_format::scientific, kSignificantDigits - 1);
    const std::string s(text, result.ptr);  // d.dddddddddddddde+XX
    const auto e = s.find('e');
    DecimalDigits d;
    d.digits = s.substr(0, 1) + s.substr(2, e - 2);
    d.exponent = std::stoi(s.substr(e + 1));
    while (d.digits.size() > 1 && d.digits.back() == '0') d.digits.pop_back();
    return d;
}

QString fixedNotation(const DecimalDigits& d, const QString& separator) {
    const auto count = static_cast<int>(d.digits.size());
    if (d.exponent < 0) {
        return QStringLiteral("0") + separator + QString(-d.exponent - 1, QLatin1Char('0')) +
               QString::fromStdString(d.digits);
    }
    QString integer = QString::fromStdString(d.digits.substr(0, d.exponent + 1));
    if (count <= d.exponent) integer += QString(d.exponent + 1 - count, QLatin1Char('0'));
    if (count <= d.exponent + 1) return integer;
    return integer + separator + QString::fromStdString(d.digits.substr(d.exponent + 1));
}

QString exponentNotation(const DecimalDigits& d, const QString& separator) {
    QString mantissa = QString::fromStdString(d.digits.substr(0, 1));
    if (d.digits.size() > 1) mantissa += separator + QString::fromStdString(d.digits.substr(1));
    return mantissa + QStringLiteral("E") + QString::number(d.exponent);
}

}  // namespace

QString formatInteger(int value) { return QString::number(value); }

QString pitchLagText(int lag, double fineLag, PitchResolution resolution) {
    if (resolution == PitchResolution::whole) return formatInteger(lag);
    // Every fine lag is a whole number of sixths of a sample.
    const int sixthsPerSample = stepsPerSample(PitchResolution::sixth);
    static const QString kSixths[] = {QString(),           QStringLiteral("⅙"),
                                      QStringLiteral("⅓"), QStringLiteral("½"),
                                      QStringLiteral("⅔"), QStringLiteral("⅚")};
    const long sixths = std::lround(fineLag * sixthsPerSample);
    return formatInteger(static_cast<int>(sixths / sixthsPerSample)) +
           kSixths[sixths % sixthsPerSample];
}

QString settingValueWords(const SettingDescriptor& setting, const CoderSettings& settings,
                          const QLocale& locale) {
    const auto text = [](std::string_view view) {
        return QString::fromUtf8(view.data(), static_cast<qsizetype>(view.size()));
    };
    const auto number = [&](double value) {
        QString shown = locale.toString(value);
        if (!setting.unit.empty()) shown += QLatin1Char(' ') + text(setting.unit);
        return shown;
    };
    switch (setting.kind) {
        case SettingKind::choice:
            return text(
                setting.choices[static_cast<std::size_t>(setting.choiceIn(settings))].label);
        case SettingKind::number:
            return number(settings.*setting.number);
        case SettingKind::offOrNumber: {
            const std::optional<double>& value = settings.*setting.offOrNumber;
            return value ? number(*value) : text(setting.shortOffWord);
        }
        case SettingKind::onOff:
            return text(settings.*setting.onOff ? setting.shortOnWord : setting.shortOffWord);
        case SettingKind::file: {
            const std::string& path = settings.*setting.file;
            if (path.empty()) return text(setting.shortOffWord);
            return text(path.substr(path.rfind('/') + 1));  // the name without its folder
        }
    }
    return {};
}

QStringList settingsWords(const CoderSettings& settings, const CoderSettings& reference,
                          const QLocale& locale) {
    QStringList words;
    for (const SettingChange& change : settingChanges(settings, reference)) {
        const SettingDescriptor& setting = *findSetting(change.name);
        words << QString::fromUtf8(setting.shortLabel.data(),
                                   static_cast<qsizetype>(setting.shortLabel.size())) +
                     QStringLiteral(": ") + settingValueWords(setting, settings, locale);
    }
    return words;
}

QString settingsWordsLine(const CoderSettings& settings, const CoderSettings& reference,
                          const QLocale& locale) {
    return settingsWords(settings, reference, locale).join(kSettingsWordsSeparator);
}

QString settingsIndication(const CoderSettings& settings, const QLocale& locale) {
    const QString line = settingsWordsLine(settings, CoderSettings{}, locale);
    if (line.isEmpty()) return QString();
    return QStringLiteral("Ustawienia kodera – ") + line;
}

QString highPassNote(const CoderSettings& settings, const QLocale& locale) {
    if (!settings.highPass) return QString();
    return QStringLiteral("s(n) po filtrze górnoprzepustowym ") +
           locale.toString(*settings.highPass) + QStringLiteral(" Hz");
}

QString formatGeneral(double value, const QLocale& locale) {
    if (std::isnan(value)) return QStringLiteral("NAN");
    if (std::isinf(value)) return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    if (value == 0.0) return QStringLiteral("0");
    const DecimalDigits d = roundedDigits(value);
    const QString separator = locale.decimalPoint();
    const bool fixed = d.exponent >= kFixedFromExponent && d.exponent < kFixedBelowExponent;
    const QString magnitude = fixed ? fixedNotation(d, separator) : exponentNotation(d, separator);
    return value < 0 ? QStringLiteral("-") + magnitude : magnitude;
}

double roundToTwoDecimals(double x) {
    constexpr double kStep = 0.01;
    return std::nearbyint(x / kStep) * kStep;  // nearest, ties to even
}

std::optional<double> parseNumber(const QString& text, const QLocale& locale) {
    QLocale strict = locale;
    strict.setNumberOptions(locale.numberOptions() | QLocale::RejectGroupSeparator);
    bool ok = false;
    const double value = strict.toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<int> parseInteger(const QString& text) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok) return std::nullopt;
    return value;
}

QString modeCaption(CoderMode mode) {
    const std::string_view rate = rulesOf(mode).rate;
    return QStringLiteral("ZORVEL - tryb: %1 [kb/s]")
        .arg(QLatin1String(rate.data(), static_cast<qsizetype>(rate.size())));
}

QString windowCaption(CoderMode mode, const QString& fileName) {
    return modeCaption(mode) + QStringLiteral(" - ") + QFileInfo(fileName).fileName();
}

std::array<int, 4> subframeReadoutLefts(bool twoFrames, int imageLeft, int imageWidth) {
    std::array<int, 4> lefts{};
    for (int a = 0; a < 4; ++a) {
        lefts[a] = twoFrames ? imageWidth * (4 + a) / 8 + imageLeft + 10
                             : imageWidth * a / 4 + imageLeft + 20;
    }
    return lefts;
}

namespace {

QString decibelText(double sd) { return QString::number(sd, 'f', 2) + QStringLiteral(" dB"); }

}  // namespace

QString lpDistortionText(const FrameRecord& record, bool twoSets) {
    if (!record.lpQuantised) return {};
    const double sdII = spectralDistortion(record.lpCoeffsII, record.lpCoeffsQuantisedII);
    if (!twoSets) return QStringLiteral("SD ") + decibelText(sdII);
    const double sdI = spectralDistortion(record.lpCoeffsI, record.lpCoeffsQuantisedI);
    return QStringLiteral("SD: a2 %1, a4 %2").arg(decibelText(sdI), decibelText(sdII));
}

QString frameBitsText(const FrameRecord& record) {
    if (!record.lpQuantised) return {};
    const FrameCode& code = record.code;
    const int gains = code.bitsOf(CodedParameter::pitchGain) +
                      code.bitsOf(CodedParameter::correction) + code.bitsOf(CodedParameter::gains);
    return QStringLiteral("Bity: LP %1, opóźnienia %2, impulsy %3, wzmocnienia %4 = %5")
        .arg(code.bitsOf(CodedParameter::lsf))
        .arg(code.bitsOf(CodedParameter::pitchLag))
        .arg(code.bitsOf(CodedParameter::pulses))
        .arg(gains)
        .arg(code.bits());
}

}  // namespace zorvel
