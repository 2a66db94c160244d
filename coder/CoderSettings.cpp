#include "coder/CoderSettings.h"

#include <charconv>
#include <cmath>
#include <initializer_list>

namespace zorvel {
namespace {

// The pieces one after another (appended: GCC 12 warns wrongly about
// std::string + ... here).
std::string joined(std::initializer_list<std::string_view> pieces) {
    std::string text;
    for (const std::string_view piece : pieces) text.append(piece);
    return text;
}

// The shortest text that reads back as `value`.
std::string numberText(double value) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

std::optional<double> parseNumber(std::string_view text) {
    double value = 0.0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size() ||
        !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<bool> parseSwitch(std::string_view text) {
    if (text == "on") return true;
    if (text == "off") return false;
    return std::nullopt;
}

struct NumberSetting {
    std::string_view name;
    double CoderSettings::*field;
    std::string_view suffix;
};

constexpr NumberSetting kNumbers[] = {
    {"gamma1", &CoderSettings::gamma1, "g1"},
    {"gamma2", &CoderSettings::gamma2, "g2"},
    {"postfilter-num", &CoderSettings::postfilterNum, "pfn"},
    {"postfilter-den", &CoderSettings::postfilterDen, "pfd"},
    {"postfilter-tilt", &CoderSettings::postfilterTilt, "pft"},
};

struct SwitchSetting {
    std::string_view name;
    bool CoderSettings::*field;
    std::string_view offSuffix;  // empty: named elsewhere
};

constexpr SwitchSetting kSwitches[] = {
    {"enhancement", &CoderSettings::enhancement, "noenh"},
    {"lag-window", &CoderSettings::lagWindow, "nolagw"},
    {"adaptive-codebook", &CoderSettings::adaptiveCodebook, ""},
};

struct ResolutionName {
    PitchResolution resolution;
    std::string_view text;
    std::string_view suffix;
};

constexpr ResolutionName kResolutions[] = {
    {PitchResolution::whole, "1", ""},
    {PitchResolution::third, "1/3", "frac3"},
    {PitchResolution::sixth, "1/6", "frac6"},
};

const ResolutionName& nameOf(PitchResolution resolution) {
    for (const ResolutionName& name : kResolutions)
        if (name.resolution == resolution) return name;
    return kResolutions[0];
}

}  // namespace

int stepsPerSample(PitchResolution resolution) {
    switch (resolution) {
        case PitchResolution::third:
            return 3;
        case PitchResolution::sixth:
            return 6;
        case PitchResolution::whole:
            break;
    }
    return 1;
}

const std::vector<SettingInfo>& settingsInfo() {
    static const std::vector<SettingInfo> info{
        {"pitch-resolution", "1, 1/3, 1/6", "1",
         "resolution of the closed-loop pitch lag, in samples (fractions refine the whole lag)"},
        {"lp-interpolation", "off, lsf", "off",
         "LP sets interpolated per subframe in line spectral frequencies"},
        {"high-pass", "off, 50..300 (Hz)", "off",
         "second-order Butterworth high-pass on the input, cut-off in Hz"},
        {"gamma1", "0 < gamma2 < gamma1 <= 1", "0.94",
         "numerator factor of the perceptual weighting filter A(z/g1)/A(z/g2)"},
        {"gamma2", "0 < gamma2 < gamma1 <= 1", "0.6", "denominator factor of the weighting filter"},
        {"postfilter-num", "0..1", "0.7", "numerator factor of the formant post-filter"},
        {"postfilter-den", "0..1", "0.75", "denominator factor of the formant post-filter"},
        {"postfilter-tilt", "0..1", "0.8", "factor of the post-filter's tilt compensation"},
        {"enhancement", "on, off", "on", "the excitation enhancement"},
        {"lag-window", "on, off", "on", "the lag window on the LP autocorrelations"},
        {"adaptive-codebook", "on, off", "on", "the adaptive codebook (pitch) contribution"},
    };
    return info;
}

std::optional<std::string> settingsProblem(const CoderSettings& s) {
    if (!(s.gamma2 > 0.0 && s.gamma2 < s.gamma1 && s.gamma1 <= 1.0))
        return "gamma1 and gamma2 must satisfy 0 < gamma2 < gamma1 <= 1";
    if (s.highPass && !(*s.highPass >= kHighPassLowestHz && *s.highPass <= kHighPassHighestHz))
        return "the high-pass cut-off lies in 50..300 Hz";
    for (const double factor : {s.postfilterNum, s.postfilterDen, s.postfilterTilt})
        if (!(factor >= 0.0 && factor <= 1.0)) return "the post-filter's factors lie in 0..1";
    return std::nullopt;
}

std::optional<std::string> applySetting(CoderSettings& settings, std::string_view assignment) {
    const std::size_t equals = assignment.find('=');
    if (equals == std::string_view::npos) return joined({"'", assignment, "' is not NAME=VALUE"});
    const std::string_view name = assignment.substr(0, equals);
    const std::string_view value = assignment.substr(equals + 1);
    CoderSettings changed = settings;
    bool known = false;
    if (name == "pitch-resolution") {
        known = true;
        bool parsed = false;
        for (const ResolutionName& resolution : kResolutions) {
            if (value != resolution.text) continue;
            changed.pitchResolution = resolution.resolution;
            parsed = true;
        }
        if (!parsed) return joined({name, ": '", value, "' is not 1, 1/3 or 1/6"});
    }
    if (name == "lp-interpolation") {
        known = true;
        if (value == "off")
            changed.lpInterpolation = LpInterpolation::off;
        else if (value == "lsf")
            changed.lpInterpolation = LpInterpolation::lsf;
        else
            return joined({name, ": '", value, "' is not off or lsf"});
    }
    if (name == "high-pass") {
        known = true;
        if (value == "off") {
            changed.highPass.reset();
        } else {
            const auto parsed = parseNumber(value);
            if (!parsed) return joined({name, ": '", value, "' is not off or a cut-off in Hz"});
            changed.highPass = *parsed;
        }
    }
    for (const NumberSetting& number : kNumbers) {
        if (name != number.name) continue;
        known = true;
        const auto parsed = parseNumber(value);
        if (!parsed) return joined({name, ": '", value, "' is not a number"});
        changed.*number.field = *parsed;
    }
    for (const SwitchSetting& toggle : kSwitches) {
        if (name != toggle.name) continue;
        known = true;
        const auto parsed = parseSwitch(value);
        if (!parsed) return joined({name, ": '", value, "' is not on or off"});
        changed.*toggle.field = *parsed;
    }
    if (!known) return joined({"unknown setting '", name, "' ('zorvel-cli settings' lists them)"});
    if (const auto problem = settingsProblem(changed)) return *problem;
    settings = changed;
    return std::nullopt;
}

std::string settingsSuffix(const CoderSettings& settings) {
    const CoderSettings defaults;
    std::string suffix;
    if (settings.pitchResolution != defaults.pitchResolution)
        suffix += joined({"_", nameOf(settings.pitchResolution).suffix});
    if (settings.lpInterpolation == LpInterpolation::lsf) suffix += "_lsf";
    if (settings.highPass) suffix += joined({"_hp", numberText(*settings.highPass)});
    for (const NumberSetting& number : kNumbers)
        if (settings.*number.field != defaults.*number.field)
            suffix += joined({"_", number.suffix, "-", numberText(settings.*number.field)});
    for (const SwitchSetting& toggle : kSwitches)
        if (!(settings.*toggle.field) && !toggle.offSuffix.empty())
            suffix += joined({"_", toggle.offSuffix});
    return suffix;
}

std::string withSettingsSuffix(const std::string& name, const CoderSettings& settings) {
    const std::string suffix = settingsSuffix(settings);
    const std::size_t slash = name.rfind('/');
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return name + suffix;
    return std::string(name).insert(dot, suffix);
}

std::vector<SettingChange> settingChanges(const CoderSettings& settings,
                                          const CoderSettings& reference) {
    std::vector<SettingChange> changes;
    if (settings.pitchResolution != reference.pitchResolution)
        changes.push_back({"pitch-resolution", std::string(nameOf(settings.pitchResolution).text)});
    if (settings.lpInterpolation != reference.lpInterpolation)
        changes.push_back(
            {"lp-interpolation", settings.lpInterpolation == LpInterpolation::lsf ? "lsf" : "off"});
    if (settings.highPass != reference.highPass)
        changes.push_back(
            {"high-pass", settings.highPass ? numberText(*settings.highPass) : "off"});
    for (const NumberSetting& number : kNumbers)
        if (settings.*number.field != reference.*number.field)
            changes.push_back({number.name, numberText(settings.*number.field)});
    for (const SwitchSetting& toggle : kSwitches)
        if (settings.*toggle.field != reference.*toggle.field)
            changes.push_back({toggle.name, settings.*toggle.field ? "on" : "off"});
    return changes;
}

std::string settingsSummary(const CoderSettings& settings, const CoderSettings& reference) {
    std::string summary;
    for (const SettingChange& change : settingChanges(settings, reference)) {
        if (!summary.empty()) summary += ", ";
        summary += joined({change.name, "=", change.value});
    }
    return summary;
}

}  // namespace zorvel
