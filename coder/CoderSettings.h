// The coder's settings: the constants and tools of the coder that a student
// may vary, one at a time, to see and hear what each buys. The defaults are
// the design's coder, whose output they leave byte for byte as it is.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zorvel {

// The resolution of the closed-loop pitch lag.
enum class PitchResolution {
    whole,  // "1": whole samples, as the design has it
    third,  // "1/3"
    sixth,  // "1/6"
};

// Steps of the lag per sample: 1, 3 or 6.
int stepsPerSample(PitchResolution resolution);

// The LP set each subframe's filters use.
enum class LpInterpolation {
    off,  // set I for subframes 0 and 1, set II for 2 and 3, as the design has it
    lsf,  // interpolated per subframe in line spectral frequencies
};

// The range of the high-pass pre-filter's cut-off, in Hz.
inline constexpr double kHighPassLowestHz = 50.0;
inline constexpr double kHighPassHighestHz = 300.0;

struct CoderSettings {
    PitchResolution pitchResolution = PitchResolution::whole;
    LpInterpolation lpInterpolation = LpInterpolation::off;
    std::optional<double> highPass{};  // cut-off in Hz of the input's high-pass; none: off
    double gamma1 = 0.94;              // numerator factor of the weighting filter W(z)
    double gamma2 = 0.6;               // denominator factor of W(z)
    double postfilterNum = 0.7;        // numerator factor of the formant post-filter
    double postfilterDen = 0.75;       // denominator factor of the formant post-filter
    double postfilterTilt = 0.8;       // factor of the post-filter's tilt compensation
    bool enhancement = true;           // the excitation enhancement
    bool lagWindow = true;             // the lag window on the LP autocorrelations
    bool adaptiveCodebook = true;

    bool operator==(const CoderSettings&) const = default;
    bool isDefault() const { return *this == CoderSettings{}; }
};

// One setting as the command line and the dialogs name it.
struct SettingInfo {
    std::string_view name;         // "gamma1"
    std::string_view values;       // "0 < gamma2 < gamma1 <= 1"
    std::string_view defaultText;  // "0.94"
    std::string_view meaning;
};

// Every setting, in the order they are listed.
const std::vector<SettingInfo>& settingsInfo();

// Sets NAME=VALUE in `settings`; the reason when the name is unknown, the
// value does not parse or the settings would be out of their ranges.
std::optional<std::string> applySetting(CoderSettings& settings, std::string_view assignment);

// Why the settings cannot be used together, if they cannot: 0 < gamma2 <
// gamma1 <= 1, the post-filter's factors in [0, 1].
std::optional<std::string> settingsProblem(const CoderSettings& settings);

// What differs from the defaults, as a short file-name suffix, e.g.
// "_g1-0.9_noenh"; empty for the defaults. The adaptive codebook is named by
// the mode's own "_noadapt" and is left out here.
std::string settingsSuffix(const CoderSettings& settings);

// `name` with settingsSuffix before its extension (the last '.' of its last
// component): "mowa.wav_12.20_sout.wav" becomes "mowa.wav_12.20_sout_g1-0.9.wav".
std::string withSettingsSuffix(const std::string& name, const CoderSettings& settings);

// One setting that differs from a reference: its name and its value there.
struct SettingChange {
    std::string_view name;  // "gamma1"
    std::string value;      // "0.9"
};

// The settings that differ from `reference` (the defaults unless given), in
// the order settingsInfo lists them.
std::vector<SettingChange> settingChanges(const CoderSettings& settings,
                                          const CoderSettings& reference = CoderSettings{});

// "gamma1=0.9, enhancement=off": what differs from `reference` (the
// defaults unless given), with the values of `settings`; empty when nothing
// differs.
std::string settingsSummary(const CoderSettings& settings,
                            const CoderSettings& reference = CoderSettings{});

}  // namespace zorvel
