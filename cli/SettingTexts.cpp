#include "cli/SettingTexts.h"

#include <cmath>

namespace zorvel::cli {
namespace {

// "1, 1/3 or 1/6".
std::string choicesText(const SettingDescriptor& setting) {
    std::string text;
    for (std::size_t k = 0; k < setting.choices.size(); ++k) {
        if (k > 0) text += k + 1 == setting.choices.size() ? " or " : ", ";
        text += setting.choices[k].text;
    }
    return text;
}

// What a value of the setting is: "a number", "on or off", ...
std::string valueKindText(const SettingDescriptor& setting) {
    switch (setting.kind) {
        case SettingKind::choice:
            return choicesText(setting);
        case SettingKind::number:
            return "a number";
        case SettingKind::offOrNumber:
            return setting.unit.empty() ? "off or a number"
                                        : "off or a number in " + std::string(setting.unit);
        case SettingKind::onOff:
            return "on or off";
        case SettingKind::file:
            return "a file's path on one line, or built-in";
    }
    return {};
}

// "50..300 Hz" for a closed range, "0 < gamma2 < 1" for one open at an end
// (appended: GCC 12 warns wrongly about "..." + std::string here).
std::string rangeText(const SettingDescriptor& setting) {
    const SettingRange& r = setting.range;
    std::string text = numberText(r.lowest);
    if (!r.lowestOpen && !r.highestOpen) {
        text.append("..").append(numberText(r.highest));
    } else {
        text.append(r.lowestOpen ? " < " : " <= ").append(setting.name);
        text.append(r.highestOpen ? " < " : " <= ").append(numberText(r.highest));
    }
    if (!setting.unit.empty()) text.append(" ").append(setting.unit);
    return text;
}

}  // namespace

std::string settingProblemText(const SettingProblem& p) {
    switch (p.kind) {
        case SettingProblemKind::notAssignment:
            return "'" + p.value + "' is not NAME=VALUE";
        case SettingProblemKind::unknownName:
            return "unknown setting '" + p.name + "' ('zorvel-cli settings' lists them)";
        case SettingProblemKind::notAValue:
            return p.name + ": '" + p.value + "' is not " + valueKindText(*p.setting);
        case SettingProblemKind::outOfRange:
            return p.name + ": " + p.value + " lies outside " + rangeText(*p.setting);
        case SettingProblemKind::notBelow:
            return p.name + " (" + p.value + ") must lie below " + std::string(p.setting->below) +
                   " (" + p.otherValue + "): " + std::string(p.setting->values);
    }
    return {};
}

std::string variationProblemText(const VariationProblem& problem, const std::string& vary) {
    std::string text = "--vary: ";
    switch (problem.kind) {
        case VariationProblemKind::notRange:
            return text.append("give NAME=FROM:TO:STEP");
        case VariationProblemKind::badBounds:
            return text.append(
                "FROM, TO and STEP are finite numbers, STEP above 0 and TO not below FROM");
        case VariationProblemKind::stepTooSmall:
            return text.append("STEP ")
                .append(problem.step)
                .append(" does not move FROM ")
                .append(problem.from)
                .append(" (FROM + STEP == FROM)");
        case VariationProblemKind::tooManyRows: {
            // A count that reads well however large.
            constexpr double kLargestCounted = 1e15;
            const std::string rows = problem.rows < kLargestCounted
                                         ? std::to_string(std::llround(problem.rows))
                                         : std::string("over 10^15");
            return text.append(vary)
                .append(" gives ")
                .append(rows)
                .append(" rows; at most ")
                .append(std::to_string(kMaxVariedRows))
                .append(" are coded: take a larger STEP");
        }
        case VariationProblemKind::noNewRow:
            return text.append("STEP ")
                .append(problem.step)
                .append(" gives no new row after ")
                .append(problem.row)
                .append(": the rows' values are named with 12 digits");
        case VariationProblemKind::setting:
            return text.append(settingProblemText(*problem.setting));
    }
    return text;
}

std::string settingsLineProblemText(const std::string& file, const SettingsLineProblem& problem) {
    const std::string where = file + ":" + std::to_string(problem.line) + ": ";
    switch (problem.kind) {
        case SettingsLineProblemKind::repeated:
            return where + problem.problem.name + " is set again (first on line " +
                   std::to_string(problem.firstLine) + ")";
        case SettingsLineProblemKind::together:
            if (problem.line == 0) return file + ": " + settingProblemText(problem.problem);
            return where + settingProblemText(problem.problem);
        case SettingsLineProblemKind::setting:
            break;
    }
    return where + settingProblemText(problem.problem);
}

void listSettings(std::ostream& out) {
    out << "Coder settings (--set NAME=VALUE on encode, frames, plot and sweep):\n";
    const CoderSettings defaults;
    for (const SettingDescriptor& setting : settingDescriptors()) {
        out << "  " << setting.name << '=' << setting.values << "  (default "
            << settingText(setting, defaults) << ")\n      " << setting.meaning << '\n';
    }
}

}  // namespace zorvel::cli
