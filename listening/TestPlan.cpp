#include "listening/TestPlan.h"

#include <array>
#include <random>
#include <stdexcept>
#include <utility>

#include "listening/Ratings.h"
#include "listening/TrialOrder.h"

namespace zorvel {

ConditionSettings conditionSettings(const std::string& text) {
    std::vector<std::string> assignments;
    std::string word;
    for (const char c : text + ' ') {
        if (c == ',' || c == ' ' || c == '\t') {
            if (!word.empty()) assignments.push_back(std::exchange(word, {}));
        } else {
            word += c;
        }
    }
    ConditionSettings result;
    result.problem = applySettings(result.settings, assignments);
    return result;
}

std::string modeCondition(CoderMode mode) { return std::string(rulesOf(mode).rate) + " kb/s"; }

std::vector<Stimulus> testStimuli(const std::vector<TestCondition>& conditions) {
    if (conditions.size() > static_cast<std::size_t>(kMostTestConditions))
        throw std::out_of_range("testStimuli: more than eight conditions");
    std::vector<Stimulus> stimuli;
    Stimulus reference;
    reference.kind = StimulusKind::hiddenReference;
    reference.condition = kHiddenReferenceCondition;
    stimuli.push_back(reference);
    for (const TestCondition& c : conditions) {
        const ConditionSettings read = conditionSettings(c.settings);
        if (read.problem) throw std::invalid_argument("testStimuli: settings with a problem");
        Stimulus coded;
        coded.kind = StimulusKind::coded;
        coded.condition = modeCondition(c.mode);
        coded.settings = settingsSummary(read.settings);
        coded.mode = c.mode;
        coded.coderSettings = read.settings;
        stimuli.push_back(coded);
    }
    for (const double q : {kLowAnchorQ, kHighAnchorQ}) {
        Stimulus anchor;
        anchor.kind = StimulusKind::anchor;
        anchor.condition = anchorCondition(q);
        anchor.q = q;
        stimuli.push_back(anchor);
    }
    return stimuli;
}

std::uint64_t anchorSeed(std::uint64_t testSeed, int trial, double q) {
    std::seed_seq sequence{static_cast<std::uint32_t>(testSeed),
                           static_cast<std::uint32_t>(testSeed >> 32),
                           static_cast<std::uint32_t>(trial), static_cast<std::uint32_t>(q * 1000)};
    std::array<std::uint32_t, 2> words{};
    sequence.generate(words.begin(), words.end());
    return (static_cast<std::uint64_t>(words[0]) << 32) | words[1];
}

}  // namespace zorvel
