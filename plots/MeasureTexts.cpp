#include "plots/MeasureTexts.h"

namespace zorvel {

namespace {

const QString kLpDistortionLabel = QStringLiteral("SD");

}  // namespace

QString measureValueText(SpectralMeasure measure, std::optional<double> value) {
    const SpectralMeasureInfo& info = infoOf(measure);
    if (!value) return QStringLiteral("–");
    const int decimals = info.unit.empty() ? 3 : 2;
    QString text = QString::number(*value, 'f', decimals);
    if (!info.unit.empty()) text += QStringLiteral(" ") + QString::fromUtf8(info.unit);
    return text;
}

QString measureReadoutText(const FrameMeasures& values) {
    QString text;
    for (SpectralMeasure measure : kAllSpectralMeasures) {
        if (measure == SpectralMeasure::llr)
            text += QStringLiteral("\n");
        else if (!text.isEmpty())
            text += QStringLiteral("  ");
        text += QString::fromUtf8(infoOf(measure).label) + QStringLiteral(" ") +
                measureValueText(measure, valueOf(values, measure));
    }
    return text;
}

QString measureName(SpectralMeasure measure) {
    const QString label = QString::fromUtf8(infoOf(measure).label);
    switch (measure) {
        case SpectralMeasure::lsdLp:
            return QStringLiteral("odległość obwiedni LP (%1)").arg(label);
        case SpectralMeasure::cepstralDistance:
            return QStringLiteral("odległość cepstralna (%1)").arg(label);
        case SpectralMeasure::lsdFft:
            return QStringLiteral("odległość widm FFT (%1)").arg(label);
        case SpectralMeasure::llr:
            return QStringLiteral("logarytm ilorazu wiarygodności (%1)").arg(label);
        case SpectralMeasure::itakuraSaito:
            return QStringLiteral("miara Itakury-Saito (%1)").arg(label);
        case SpectralMeasure::fwSegSnr:
            return QStringLiteral("SNR ważone częstotliwościowo (%1)").arg(label);
    }
    return label;
}

MeasureLaneScale measureLaneScale(SpectralMeasure measure) {
    const QString label = QString::fromUtf8(infoOf(measure).label);
    switch (measure) {
        case SpectralMeasure::lsdLp:
            return {0.0, 20.0, label};
        case SpectralMeasure::cepstralDistance:
            return {0.0, 10.0, label};
        case SpectralMeasure::lsdFft:
            return {0.0, 25.0, label};
        case SpectralMeasure::llr:
            return {0.0, kLlrMax, label};
        case SpectralMeasure::itakuraSaito:
            return {0.0, 5.0, label};
        case SpectralMeasure::fwSegSnr:
            return {kBandSnrMin, kBandSnrMax, label};
    }
    return {0.0, 1.0, label};
}

MeasureLaneScale measureLaneScale(const LaneMeasure& measure) {
    if (const SpectralMeasure* distance = std::get_if<SpectralMeasure>(&measure))
        return measureLaneScale(*distance);
    return {0.0, kLpDistortionLaneTopDb, kLpDistortionLabel};
}

QString measureName(const LaneMeasure& measure) {
    if (const SpectralMeasure* distance = std::get_if<SpectralMeasure>(&measure))
        return measureName(*distance);
    return QStringLiteral("zniekształcenie widmowe kwantowanego LP (%1)").arg(kLpDistortionLabel);
}

QString measureValueText(const LaneMeasure& measure, std::optional<double> value) {
    if (const SpectralMeasure* distance = std::get_if<SpectralMeasure>(&measure))
        return measureValueText(*distance, value);
    if (!value) return QStringLiteral("–");
    return QString::number(*value, 'f', 2) + QStringLiteral(" dB");
}

QString measureUnit(const LaneMeasure& measure) {
    if (const SpectralMeasure* distance = std::get_if<SpectralMeasure>(&measure))
        return QString::fromUtf8(infoOf(*distance).unit);
    return QStringLiteral("dB");
}

}  // namespace zorvel
