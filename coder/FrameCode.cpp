#include "coder/FrameCode.h"

#include "coder/LsfQuantiser.h"

namespace zorvel {

std::string_view codedParameterName(CodedParameter parameter) {
    switch (parameter) {
        case CodedParameter::lsf:
            return "lsf";
        case CodedParameter::pitchLag:
            return "pitchLag";
        case CodedParameter::pulses:
            return "pulses";
        case CodedParameter::pitchGain:
            return "pitchGain";
        case CodedParameter::correction:
            return "correction";
        case CodedParameter::gains:
            return "gains";
    }
    return "";
}

int codesPerFrame(CoderMode mode) {
    const CoderModeRules& rules = rulesOf(mode);
    const int gainCodes = rules.gainCoding == GainCoding::scalar      ? 2 * kSubframes
                          : rules.gainCoding == GainCoding::jointPair ? kSubframes / 2
                                                                      : kSubframes;
    return lsfDesignOf(mode).splitCount + 2 * kSubframes + gainCodes;
}

}  // namespace zorvel
