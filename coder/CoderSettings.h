// The coder's settings: the constants and tools of the coder that a student
// may vary, one at a time, to see and hear what each buys. The defaults are
// the design's coder, whose output they leave byte for byte as it is.
//
// Every setting has one descriptor (settingDescriptors): its name, where it
// lives in CoderSettings, its values and range, its file-name suffix, its
// meaning, the dialog's Polish label and its ablation rows. Reading NAME=VALUE,
// the listing, the summaries, the suffixes, the settings dialog and the
// ablation's rows are all derived from that one table; the defaults are the
// member initialisers of CoderSettings and nothing else.
#pragma once

#include <optional>
#include <span>
#include <stdexcept>
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
    bool adaptiveCodebook = true;      // the adaptive codebook (pitch) contribution
    // Every parameter quantised with the mode's bits, closed-loop, so that
    // the synthesis is what a decoder rebuilds from the bits alone.
    bool quantisation = false;
    // The quantisers' tables file (zorvel-cli train); empty: the built-in ones.
    std::string quantiserTables{};

    bool operator==(const CoderSettings&) const = default;
    bool isDefault() const { return *this == CoderSettings{}; }
};

// How a setting's value is written.
enum class SettingKind {
    choice,       // one of a few names: "1", "1/3", "1/6"
    number,       // a number within its range
    offOrNumber,  // "off", or a number within its range
    onOff,        // "on" or "off"
    file,         // a file's path, or "built-in" for the program's own
};

// A closed or open interval of a number's values.
struct SettingRange {
    double lowest = 0.0;
    double highest = 0.0;
    bool lowestOpen = false;  // the values lie above `lowest`, not at it
    bool highestOpen = false;

    bool holds(double value) const {
        return (lowestOpen ? value > lowest : value >= lowest) &&
               (highestOpen ? value < highest : value <= highest);
    }
};

// One value of a choice setting.
struct SettingChoice {
    std::string_view text;    // "1/3", as written in NAME=VALUE and in summaries
    std::string_view suffix;  // "frac3"; empty for the default's
    std::string_view label;   // in Polish, as the windows show it: the dialog's list, summaries
};

struct SettingDescriptor {
    std::string_view name{};  // "gamma1": NAME=VALUE, the listing, summaries and records
    SettingKind kind{};
    std::string_view values{};  // the values as the listing states them: "0 < gamma2 < gamma1 <= 1"
    std::string_view meaning{};  // a line of the listing
    // File-name piece: a number as "_g1-0.9", an off-or-number as "_hp80", a
    // switch that is off as "_noenh" (empty: no piece), a choice by its own.
    std::string_view suffix{};
    // The piece comes first, right after the signal's name, before those of
    // every other setting: the design's own "_noadapt".
    bool suffixLeads = false;

    // Where the value lives: the member that `kind` names.
    double CoderSettings::*number = nullptr;
    std::optional<double> CoderSettings::*offOrNumber = nullptr;
    bool CoderSettings::*onOff = nullptr;
    std::string CoderSettings::*file = nullptr;
    // A choice: the position of the value in `choices`, and setting it.
    int (*choiceIn)(const CoderSettings&) = nullptr;
    void (*choose)(CoderSettings&, int) = nullptr;
    std::span<const SettingChoice> choices{};

    SettingRange range{};     // number, offOrNumber
    std::string_view unit{};  // "Hz"
    // The value an off-or-number takes when it is switched on without one (the
    // dialog's check box, the ablation's row).
    double suggested = 0.0;
    // Must lie below this other number setting ("gamma1" for gamma2).
    std::string_view below{};

    // The ablation's rows: the values of this setting each coded alone (an
    // off-or-number's row is its suggested value; see ablationValues).
    std::span<const std::string_view> ablation{};

    // The settings dialog: the label, the tool tip, and for a switch or an
    // off-or-number the words of its two states in the label's gender. The
    // windows' short name of the setting (after the label), where what differs
    // from the defaults is listed (status lines, ablation rows, chart
    // captions), with the short words of its two states there.
    std::string_view label;
    std::string_view shortLabel;
    std::string_view tip;
    std::string_view onWord = "włączone";
    std::string_view offWord = "wyłączone";
    std::string_view shortOnWord = "wł.";
    std::string_view shortOffWord = "wył.";
};

// Every setting, in the order they are listed, summarised and named.
std::span<const SettingDescriptor> settingDescriptors();
// The descriptor of `name`, if there is one.
const SettingDescriptor* findSetting(std::string_view name);

// A setting's value in `settings`, as NAME=VALUE writes it: "0.9", "off",
// "1/3", "80".
std::string settingText(const SettingDescriptor& setting, const CoderSettings& settings);
// The values of a setting's ablation rows.
std::vector<std::string> ablationValues(const SettingDescriptor& setting);
// The shortest text that reads back as `value`.
std::string numberText(double value);

// What is wrong with an assignment or with settings, for the command line and
// the dialog to word.
enum class SettingProblemKind {
    notAssignment,  // the text has no '=': `value` holds the whole text
    unknownName,    // no setting is called `name`
    notAValue,      // `value` is not one of the setting's values
    outOfRange,     // `value` lies outside the setting's range
    notBelow,       // `value` does not lie below the setting `setting->below` at `otherValue`
};

struct SettingProblem {
    SettingProblemKind kind;
    const SettingDescriptor* setting = nullptr;  // none for notAssignment and unknownName
    std::string name;
    std::string value;
    std::string otherValue{};

    bool operator==(const SettingProblem&) const = default;
};

// Sets NAME=VALUE in `settings`, which are left as they were when the
// assignment has a problem.
std::optional<SettingProblem> applySetting(CoderSettings& settings, std::string_view assignment);

// The same, checking the setting alone: whether the settings agree with one
// another (gamma2 below gamma1) is left to settingsProblem once all are set,
// so that the order of the assignments does not matter.
std::optional<SettingProblem> assignSetting(CoderSettings& settings, std::string_view assignment);

// Sets every NAME=VALUE in its order (of one setting given twice, the later
// wins), then checks the settings together: the order never matters, so
// gamma1=0.5 then gamma2=0.4 is taken as the other way round is. The first
// problem is returned, an assignment's own (no such setting, not one of its
// values, out of its range) before one of the whole; `settings` are then left
// as they were.
std::optional<SettingProblem> applySettings(CoderSettings& settings,
                                            std::span<const std::string> assignments);

// Why the settings cannot be used: a value out of its range, or gamma2 not
// below gamma1.
std::optional<SettingProblem> settingsProblem(const CoderSettings& settings);

// Thrown by what takes settings that have a problem.
class InvalidSettings : public std::invalid_argument {
  public:
    explicit InvalidSettings(SettingProblem problem);
    const SettingProblem& problem() const { return problem_; }

  private:
    SettingProblem problem_;
};

// What differs from the defaults, as a short file-name suffix, e.g.
// "_noadapt_g1-0.9_noenh"; empty for the defaults.
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
// the order of settingDescriptors.
std::vector<SettingChange> settingChanges(const CoderSettings& settings,
                                          const CoderSettings& reference = CoderSettings{});

// "gamma1=0.9, enhancement=off": what differs from `reference` (the
// defaults unless given), with the values of `settings`; empty when nothing
// differs.
std::string settingsSummary(const CoderSettings& settings,
                            const CoderSettings& reference = CoderSettings{});

}  // namespace zorvel
