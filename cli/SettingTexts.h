// The command line's words for what is wrong with a coder setting or a
// variation of one, and the listing of `zorvel-cli settings`.
#pragma once

#include <ostream>
#include <string>

#include "coder/Ablation.h"
#include "coder/CoderSettings.h"
#include "coder/SettingsFile.h"

namespace zorvel::cli {

// "gamma1: 'abc' is not a number", "high-pass: 40 lies outside 50..300 Hz", ...
std::string settingProblemText(const SettingProblem& problem);

// The same for the variation `vary` (NAME=FROM:TO:STEP) of --vary.
std::string variationProblemText(const VariationProblem& problem, const std::string& vary);

// "FILE:LINE: <the setting's problem>", "FILE:7: gamma1 is set again (first on
// line 3)": one problem of a settings file.
std::string settingsLineProblemText(const std::string& file, const SettingsLineProblem& problem);

// Every setting with its values, default and meaning.
void listSettings(std::ostream& out);

}  // namespace zorvel::cli
