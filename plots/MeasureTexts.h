// Texts and scales of the spectral distances (coder/FrameDistances.h) in
// the chart window: the compact readout of the current frame and the range
// the overview strip gives each measure when its lane shows one in place of
// the frame SNR.
#pragma once

#include <QString>
#include <optional>

#include "coder/FrameDistances.h"
#include "coder/LpDistortion.h"
#include "plots/OverviewColumns.h"

namespace zorvel {

// One measure's value as the readout shows it: dB to 0.01, the others to
// 0.001, "–" without a value. The decimal separator is a point, as in the
// tables of zorvel-cli.
QString measureValueText(SpectralMeasure measure, std::optional<double> value);

// The readout: two lines, the three distances of the spectra in dB, then
// LLR, IS and fwSNRseg: "LSD-LP 2.78 dB  CD 1.97 dB  LSD-FFT 9.32 dB\n
// LLR 0.146  IS 0.299  fwSNRseg 15.78 dB".
QString measureReadoutText(const FrameMeasures& values);

// The measure's name in menus: "odległość cepstralna (CD)" and so on.
QString measureName(SpectralMeasure measure);

// The overview lane of a measure: from `low` at the bottom to `high` at the
// top, under the caption `label`; values outside are drawn at the edge.
struct MeasureLaneScale {
    double low;
    double high;
    QString label;
};
MeasureLaneScale measureLaneScale(SpectralMeasure measure);

// The same for any lane measure. The quantised LP's distortion is "SD", in dB
// to 0.01, on a lane from 0 to kLpDistortionLaneTopDb; in menus
// "zniekształcenie widmowe kwantowanego LP (SD)". The lane's top is the
// threshold of a large outlier: every frame at the top is one.
inline constexpr double kLpDistortionLaneTopDb = kLargeOutlierDb;
MeasureLaneScale measureLaneScale(const LaneMeasure& measure);
QString measureName(const LaneMeasure& measure);
QString measureValueText(const LaneMeasure& measure, std::optional<double> value);
// "dB", or "" for a measure without a unit.
QString measureUnit(const LaneMeasure& measure);

}  // namespace zorvel
