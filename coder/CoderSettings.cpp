#include "coder/CoderSettings.h"

#include <algorithm>
#include <array>
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

std::optional<double> parseNumber(std::string_view text) {
    double value = 0.0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size() ||
        !std::isfinite(value))
        return std::nullopt;
    return value;
}

// A choice setting over the enum values of `values`, in their order.
template <auto member, const auto& values>
int choiceIn(const CoderSettings& settings) {
    const auto found = std::ranges::find(values, settings.*member);
    return found == values.end() ? 0 : static_cast<int>(found - values.begin());
}

template <auto member, const auto& values>
void choose(CoderSettings& settings, int k) {
    settings.*member = values[static_cast<std::size_t>(k)];
}

constexpr std::array kResolutionValues{PitchResolution::whole, PitchResolution::third,
                                       PitchResolution::sixth};
constexpr SettingChoice kResolutionChoices[] = {
    {"1", "", "1"}, {"1/3", "frac3", "1/3"}, {"1/6", "frac6", "1/6"}};

constexpr std::array kInterpolationValues{LpInterpolation::off, LpInterpolation::lsf};
constexpr SettingChoice kInterpolationChoices[] = {{"off", "", "wył."}, {"lsf", "lsf", "LSF"}};

constexpr std::array kQuantisationValues{false, true};
constexpr SettingChoice kQuantisationChoices[] = {{"off", "", "wył."}, {"on", "q", "wł."}};

constexpr std::string_view kResolutionRows[] = {"1/3", "1/6"};
constexpr std::string_view kOnRow[] = {"on"};
constexpr std::string_view kLsfRow[] = {"lsf"};
constexpr std::string_view kOffRow[] = {"off"};

constexpr SettingRange kFactor{.lowest = 0.0, .highest = 1.0};

// The text of the program's own tables.
constexpr std::string_view kBuiltIn = "built-in";

// The table. Its order is the order of the listing, the summaries, the file
// names' pieces and the ablation's rows.
const SettingDescriptor kSettings[] = {
    {
        .name = "pitch-resolution",
        .kind = SettingKind::choice,
        .values = "1, 1/3, 1/6",
        .meaning = "resolution of the closed-loop pitch lag, in samples (fractions refine the "
                   "whole lag)",
        .choiceIn = choiceIn<&CoderSettings::pitchResolution, kResolutionValues>,
        .choose = choose<&CoderSettings::pitchResolution, kResolutionValues>,
        .choices = kResolutionChoices,
        .ablation = kResolutionRows,
        .label = "Rozdzielczość opóźnienia",
        .shortLabel = "rozdzielczość opóźnienia",
        .tip = "Krok opóźnienia w pętli zamkniętej, w próbkach: 1 (całe próbki) albo ułamki 1/3 i "
               "1/6, które dokładają się do najlepszego całego opóźnienia.",
    },
    {
        .name = "lp-interpolation",
        .kind = SettingKind::choice,
        .values = "off, lsf",
        .meaning = "LP sets interpolated per subframe in line spectral frequencies",
        .choiceIn = choiceIn<&CoderSettings::lpInterpolation, kInterpolationValues>,
        .choose = choose<&CoderSettings::lpInterpolation, kInterpolationValues>,
        .choices = kInterpolationChoices,
        .ablation = kLsfRow,
        .label = "Interpolacja LP",
        .shortLabel = "interpolacja LP",
        .tip = "wył.: podramki 0 i 1 używają zestawu I, 2 i 3 zestawu II; LSF: zestaw każdej "
               "podramki interpolowany w częstotliwościach LSF.",
    },
    {
        .name = "high-pass",
        .kind = SettingKind::offOrNumber,
        .values = "off, 50..300 (Hz)",
        .meaning = "second-order Butterworth high-pass on the input, cut-off in Hz",
        .suffix = "hp",
        .offOrNumber = &CoderSettings::highPass,
        .range = {.lowest = 50.0, .highest = 300.0},
        .unit = "Hz",
        // A common choice below the lowest voices' fundamental.
        .suggested = 80.0,
        .label = "Filtr górnoprzepustowy",
        .shortLabel = "filtr górnoprzepustowy",
        .tip = "Butterworth 2. rzędu na sygnale wejściowym, przed całym kodowaniem; częstotliwość "
               "graniczna %1..%2 Hz. Wykresy pokazują wtedy s(n) po filtrze.",
        .onWord = "włączony",
        .offWord = "wyłączony",
    },
    {
        .name = "gamma1",
        .kind = SettingKind::number,
        .values = "0 < gamma2 < gamma1 <= 1",
        .meaning = "numerator factor of the perceptual weighting filter A(z/g1)/A(z/g2)",
        .suffix = "g1",
        .number = &CoderSettings::gamma1,
        .range = {.lowest = 0.0, .highest = 1.0, .lowestOpen = true},
        .label = "Współczynnik γ1 filtru percepcyjnego",
        .shortLabel = "γ1",
        .tip = "Licznik filtru percepcyjnego W(z) = A(z/γ1)/A(z/γ2); 0 < γ2 < γ1 ≤ 1.",
    },
    {
        .name = "gamma2",
        .kind = SettingKind::number,
        .values = "0 < gamma2 < gamma1 <= 1",
        .meaning = "denominator factor of the weighting filter",
        .suffix = "g2",
        .number = &CoderSettings::gamma2,
        .range = {.lowest = 0.0, .highest = 1.0, .lowestOpen = true, .highestOpen = true},
        .below = "gamma1",
        .label = "Współczynnik γ2 filtru percepcyjnego",
        .shortLabel = "γ2",
        .tip = "Mianownik filtru percepcyjnego W(z) = A(z/γ1)/A(z/γ2); 0 < γ2 < γ1 ≤ 1.",
    },
    {
        .name = "postfilter-num",
        .kind = SettingKind::number,
        .values = "0..1",
        .meaning = "numerator factor of the formant post-filter",
        .suffix = "pfn",
        .number = &CoderSettings::postfilterNum,
        .range = kFactor,
        .label = "Licznik postfiltru formantowego",
        .shortLabel = "licznik postfiltru",
        .tip = "Współczynnik licznika postfiltru, 0..1.",
    },
    {
        .name = "postfilter-den",
        .kind = SettingKind::number,
        .values = "0..1",
        .meaning = "denominator factor of the formant post-filter",
        .suffix = "pfd",
        .number = &CoderSettings::postfilterDen,
        .range = kFactor,
        .label = "Mianownik postfiltru formantowego",
        .shortLabel = "mianownik postfiltru",
        .tip = "Współczynnik mianownika postfiltru, 0..1.",
    },
    {
        .name = "postfilter-tilt",
        .kind = SettingKind::number,
        .values = "0..1",
        .meaning = "factor of the post-filter's tilt compensation",
        .suffix = "pft",
        .number = &CoderSettings::postfilterTilt,
        .range = kFactor,
        .label = "Kompensacja nachylenia postfiltru",
        .shortLabel = "nachylenie postfiltru",
        .tip = "Współczynnik kompensacji nachylenia widma w postfiltrze, 0..1.",
    },
    {
        .name = "enhancement",
        .kind = SettingKind::onOff,
        .values = "on, off",
        .meaning = "the excitation enhancement",
        .suffix = "noenh",
        .onOff = &CoderSettings::enhancement,
        .ablation = kOffRow,
        .label = "Poprawa pobudzenia",
        .shortLabel = "poprawa pobudzenia",
        .tip = "Poprawa pobudzenia algebraicznego przy dużym wzmocnieniu słownika adaptacyjnego.",
    },
    {
        .name = "lag-window",
        .kind = SettingKind::onOff,
        .values = "on, off",
        .meaning = "the lag window on the LP autocorrelations",
        .suffix = "nolagw",
        .onOff = &CoderSettings::lagWindow,
        .ablation = kOffRow,
        .label = "Okno na autokorelacjach LP",
        .shortLabel = "okno autokorelacji",
        .tip = "Okno nałożone na autokorelacje przed analizą LP.",
    },
    {
        .name = "adaptive-codebook",
        .kind = SettingKind::onOff,
        .values = "on, off",
        .meaning = "the adaptive codebook (pitch) contribution",
        .suffix = "noadapt",
        .suffixLeads = true,
        .onOff = &CoderSettings::adaptiveCodebook,
        .ablation = kOffRow,
        .label = "Słownik adaptacyjny",
        .shortLabel = "słownik adaptacyjny",
        .tip = "Udział słownika adaptacyjnego (wysokości tonu); to samo co „Opcje dodatkowe” okna "
               "głównego.",
    },
    {
        .name = "quantisation",
        .kind = SettingKind::choice,
        .values = "off, on",
        .meaning = "every parameter quantised with the mode's bits, as a decoder would receive it",
        .choiceIn = choiceIn<&CoderSettings::quantisation, kQuantisationValues>,
        .choose = choose<&CoderSettings::quantisation, kQuantisationValues>,
        .choices = kQuantisationChoices,
        .ablation = kOnRow,
        .label = "Kwantyzacja parametrów",
        .shortLabel = "kwantyzacja",
        .tip = "wł.: LSF, opóźnienia, impulsy i wzmocnienia kwantowane bitami trybu (244 bity na "
               "ramkę przy 12.2 kbit/s ... 95 przy 4.75); synteza jest wtedy tym, co odtworzy "
               "dekoder z samych bitów.",
    },
    {
        .name = "quantiser-tables",
        .kind = SettingKind::file,
        .values = "a tables file of zorvel-cli train, or built-in",
        .meaning = "the quantisers' tables the quantised coder takes",
        .suffix = "qt",
        .file = &CoderSettings::quantiserTables,
        .label = "Tablice kwantyzatorów",
        .shortLabel = "tablice kwantyzatorów",
        .tip = "Plik tablic z zorvel-cli train, którego używa koder z kwantyzacją; puste: tablice "
               "wbudowane.",
        .onWord = "z pliku",
        .offWord = "wbudowane",
        .shortOffWord = "wbudowane",
    },
};

// Sets `setting` from its text; false when the text is not one of its values.
bool assign(const SettingDescriptor& setting, CoderSettings& settings, std::string_view text) {
    switch (setting.kind) {
        case SettingKind::choice:
            for (std::size_t k = 0; k < setting.choices.size(); ++k) {
                if (setting.choices[k].text != text) continue;
                setting.choose(settings, static_cast<int>(k));
                return true;
            }
            return false;
        case SettingKind::number:
            if (const auto value = parseNumber(text)) {
                settings.*setting.number = *value;
                return true;
            }
            return false;
        case SettingKind::offOrNumber:
            if (text == "off") {
                (settings.*setting.offOrNumber).reset();
                return true;
            }
            if (const auto value = parseNumber(text)) {
                settings.*setting.offOrNumber = *value;
                return true;
            }
            return false;
        case SettingKind::onOff:
            if (text != "on" && text != "off") return false;
            settings.*setting.onOff = text == "on";
            return true;
        case SettingKind::file:
            // A path on one line, as a settings file holds it.
            if (text.empty() ||
                text.find_first_of(std::string_view("\n\r\0", 3)) != std::string_view::npos)
                return false;
            settings.*setting.file = text == kBuiltIn ? std::string() : std::string(text);
            return true;
    }
    return false;
}

// The setting's file-name piece in `settings`, empty when it has none.
std::string suffixPiece(const SettingDescriptor& setting, const CoderSettings& settings) {
    const CoderSettings defaults;
    if (settingText(setting, settings) == settingText(setting, defaults)) return {};
    switch (setting.kind) {
        case SettingKind::choice: {
            const std::string_view suffix =
                setting.choices[static_cast<std::size_t>(setting.choiceIn(settings))].suffix;
            return suffix.empty() ? std::string() : joined({"_", suffix});
        }
        case SettingKind::number:
            return joined({"_", setting.suffix, "-", settingText(setting, settings)});
        case SettingKind::offOrNumber:
            return (settings.*setting.offOrNumber)
                       ? joined({"_", setting.suffix, settingText(setting, settings)})
                       : std::string();
        case SettingKind::onOff:
            return settings.*setting.onOff || setting.suffix.empty()
                       ? std::string()
                       : joined({"_", setting.suffix});
        case SettingKind::file: {
            // The file's name without its folder and extension.
            const std::string& path = settings.*setting.file;
            const std::size_t slash = path.rfind('/');
            std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
            if (const std::size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0)
                name.resize(dot);
            return joined({"_", setting.suffix, "-", name});
        }
    }
    return {};
}

SettingProblem problemOf(SettingProblemKind kind, const SettingDescriptor& setting,
                         const CoderSettings& settings) {
    return {kind, &setting, std::string(setting.name), settingText(setting, settings)};
}

// A number outside the setting's own range.
std::optional<SettingProblem> rangeProblem(const SettingDescriptor& setting,
                                           const CoderSettings& settings) {
    const bool outside =
        (setting.kind == SettingKind::number && !setting.range.holds(settings.*setting.number)) ||
        (setting.kind == SettingKind::offOrNumber && settings.*setting.offOrNumber &&
         !setting.range.holds(*(settings.*setting.offOrNumber)));
    if (!outside) return std::nullopt;
    return problemOf(SettingProblemKind::outOfRange, setting, settings);
}

// Sets NAME=VALUE in `settings` when the text names a setting and one of its
// values within its own range; how the value goes with the other settings is
// the caller's to check, once all are set.
std::optional<SettingProblem> assignAlone(CoderSettings& settings, std::string_view assignment) {
    const std::size_t equals = assignment.find('=');
    if (equals == std::string_view::npos)
        return SettingProblem{
            SettingProblemKind::notAssignment, nullptr, {}, std::string(assignment)};
    const std::string_view name = assignment.substr(0, equals);
    const std::string_view value = assignment.substr(equals + 1);
    const SettingDescriptor* setting = findSetting(name);
    if (!setting)
        return SettingProblem{SettingProblemKind::unknownName, nullptr, std::string(name),
                              std::string(value)};
    if (!assign(*setting, settings, value))
        return SettingProblem{SettingProblemKind::notAValue, setting, std::string(name),
                              std::string(value)};
    return rangeProblem(*setting, settings);
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

std::span<const SettingDescriptor> settingDescriptors() { return kSettings; }

const SettingDescriptor* findSetting(std::string_view name) {
    for (const SettingDescriptor& setting : kSettings)
        if (setting.name == name) return &setting;
    return nullptr;
}

std::vector<std::string> ablationValues(const SettingDescriptor& setting) {
    if (setting.kind == SettingKind::offOrNumber) return {numberText(setting.suggested)};
    return {setting.ablation.begin(), setting.ablation.end()};
}

std::string numberText(double value) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

std::string settingText(const SettingDescriptor& setting, const CoderSettings& settings) {
    switch (setting.kind) {
        case SettingKind::choice:
            return std::string(
                setting.choices[static_cast<std::size_t>(setting.choiceIn(settings))].text);
        case SettingKind::number:
            return numberText(settings.*setting.number);
        case SettingKind::offOrNumber: {
            const std::optional<double>& value = settings.*setting.offOrNumber;
            return value ? numberText(*value) : std::string("off");
        }
        case SettingKind::onOff:
            return settings.*setting.onOff ? "on" : "off";
        case SettingKind::file:
            return (settings.*setting.file).empty() ? std::string(kBuiltIn)
                                                    : settings.*setting.file;
    }
    return {};
}

std::optional<SettingProblem> settingsProblem(const CoderSettings& settings) {
    for (const SettingDescriptor& setting : kSettings) {
        if (auto problem = rangeProblem(setting, settings)) return problem;
        if (setting.below.empty()) continue;
        const SettingDescriptor& upper = *findSetting(setting.below);
        if (!(settings.*setting.number < settings.*upper.number)) {
            SettingProblem problem = problemOf(SettingProblemKind::notBelow, setting, settings);
            problem.otherValue = settingText(upper, settings);
            return problem;
        }
    }
    return std::nullopt;
}

InvalidSettings::InvalidSettings(SettingProblem problem)
    : std::invalid_argument(joined(
          {"coder setting ", problem.name, "=", problem.value,
           " cannot be used: ", problem.setting ? problem.setting->values : "unknown setting"})),
      problem_(std::move(problem)) {}

std::optional<SettingProblem> assignSetting(CoderSettings& settings, std::string_view assignment) {
    CoderSettings changed = settings;
    if (auto problem = assignAlone(changed, assignment)) return problem;
    settings = changed;
    return std::nullopt;
}

std::optional<SettingProblem> applySetting(CoderSettings& settings, std::string_view assignment) {
    const std::string text(assignment);
    return applySettings(settings, std::span(&text, 1));
}

std::optional<SettingProblem> applySettings(CoderSettings& settings,
                                            std::span<const std::string> assignments) {
    CoderSettings changed = settings;
    for (const std::string& assignment : assignments)
        if (auto problem = assignAlone(changed, assignment)) return problem;
    if (auto problem = settingsProblem(changed)) return problem;
    settings = changed;
    return std::nullopt;
}

std::string settingsSuffix(const CoderSettings& settings) {
    std::string leading;
    std::string others;
    for (const SettingDescriptor& setting : kSettings)
        (setting.suffixLeads ? leading : others) += suffixPiece(setting, settings);
    return leading + others;
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
    for (const SettingDescriptor& setting : kSettings) {
        std::string value = settingText(setting, settings);
        if (value != settingText(setting, reference)) changes.push_back({setting.name, value});
    }
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
