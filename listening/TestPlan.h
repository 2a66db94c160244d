// What a listening test plays: the inputs, one trial each, and the conditions
// the user chose (a coder mode with its settings, at most kMostTestConditions),
// to which every trial adds the hidden reference (the input itself) and the
// two anchors of the modulated-noise unit (listening/ModulatedNoise.h). A
// condition's settings are text, "gamma1=0.9, enhancement=off", read by the
// settings' table, so that a setting added there is a condition here too.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "coder/CoderMode.h"
#include "coder/CoderSettings.h"

namespace zorvel {

struct TestCondition {
    CoderMode mode = CoderMode::rate12_2;
    std::string settings;  // NAME=VALUE separated by commas or spaces; empty: the defaults
    friend bool operator==(const TestCondition&, const TestCondition&) = default;
};

// The settings of a condition's text, or the problem of its first bad
// assignment (coder/CoderSettings.h words it).
struct ConditionSettings {
    CoderSettings settings;
    std::optional<SettingProblem> problem;
};
ConditionSettings conditionSettings(const std::string& text);

// "12.2 kb/s": the condition of a mode, as the ratings record it.
std::string modeCondition(CoderMode mode);

enum class StimulusKind { hiddenReference, coded, anchor };

// One stimulus of a trial before its order is drawn.
struct Stimulus {
    StimulusKind kind = StimulusKind::coded;
    std::string condition;  // as recorded (listening/Ratings.h)
    std::string settings;   // what differs from the defaults, as settingsSummary words it
    CoderMode mode = CoderMode::rate12_2;
    CoderSettings coderSettings{};
    double q = 0.0;  // an anchor's Q, dB
};

// The hidden reference, the conditions in their order, the anchors (Q = 10
// and 25 dB). The conditions' settings must have no problem
// (std::invalid_argument otherwise), and there are at most
// kMostTestConditions of them (std::out_of_range).
std::vector<Stimulus> testStimuli(const std::vector<TestCondition>& conditions);

// The seed of an anchor's noise in a trial: drawn from the test's seed, so the
// same test gives the same anchors.
std::uint64_t anchorSeed(std::uint64_t testSeed, int trial, double q);

}  // namespace zorvel
