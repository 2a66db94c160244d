#include "cli/FrameFields.h"

#include <array>

namespace zorvel::cli {
namespace {

template <std::size_t N>
std::span<const double> values(const std::array<double, N>& array) {
    return {array.data(), array.size()};
}

template <std::size_t N>
std::span<const std::int32_t> values(const std::array<std::int32_t, N>& array) {
    return {array.data(), array.size()};
}

// A field of the current record, named as in the record.
#define ZORVEL_RECORD_FIELD(name) \
    FrameField { #name, [](const SpeechCoder& c) -> FieldValue { return values(c.currentFrame().name); } }
#define ZORVEL_RECORD_SCALAR(name) \
    FrameField { #name, [](const SpeechCoder& c) -> FieldValue { return c.currentFrame().name; } }
#define ZORVEL_CODER_VALUE(name) \
    FrameField { #name, [](const SpeechCoder& c) -> FieldValue { return c.name(); } }

const std::array kParameterFields{
    ZORVEL_CODER_VALUE(frameCount),
    ZORVEL_RECORD_SCALAR(openLoopLagI),
    ZORVEL_RECORD_SCALAR(openLoopLagII),
    ZORVEL_RECORD_FIELD(pitchLag),
    ZORVEL_RECORD_FIELD(pitchGain),
    ZORVEL_RECORD_FIELD(pitchGainApplied),
    ZORVEL_RECORD_FIELD(codebookGain),
    ZORVEL_RECORD_FIELD(pulsePositions),
    ZORVEL_RECORD_FIELD(lpCoeffsI),
    ZORVEL_RECORD_SCALAR(lpErrorI),
    ZORVEL_RECORD_FIELD(lpCoeffsII),
    ZORVEL_RECORD_SCALAR(lpErrorII),
    ZORVEL_CODER_VALUE(frameSnr),
    ZORVEL_CODER_VALUE(segmentalSnr),
    ZORVEL_CODER_VALUE(overallSnr),
};

const std::array kSignalFields{
    ZORVEL_RECORD_FIELD(speech),
    ZORVEL_RECORD_FIELD(weightedSpeech),
    ZORVEL_RECORD_FIELD(formantPostFiltered),
    ZORVEL_RECORD_FIELD(postProcessedSpeech),
    ZORVEL_RECORD_FIELD(postFilterImpulseResponse),
    ZORVEL_RECORD_FIELD(openLoopCorrI),
    ZORVEL_RECORD_FIELD(openLoopCorrII),
    ZORVEL_RECORD_FIELD(lpResidual),
    ZORVEL_RECORD_FIELD(ltpResidual),
    ZORVEL_RECORD_FIELD(targetSignal),
    ZORVEL_RECORD_FIELD(zeroInputResponse),
    ZORVEL_RECORD_FIELD(adaptiveWeightedSynthesis),
    ZORVEL_RECORD_FIELD(adaptiveSynthesis),
    ZORVEL_RECORD_FIELD(adaptiveExcitation),
    ZORVEL_RECORD_FIELD(excitation),
    ZORVEL_RECORD_FIELD(codebookTarget),
    ZORVEL_RECORD_FIELD(backwardFilteredTarget),
    ZORVEL_RECORD_FIELD(signSelector),
    ZORVEL_RECORD_FIELD(pulseSign),
    ZORVEL_RECORD_FIELD(algebraicExcitation),
    ZORVEL_RECORD_FIELD(enhancedExcitation),
    ZORVEL_RECORD_FIELD(synthesizedSpeech),
    ZORVEL_RECORD_FIELD(weightedSynthesizedSpeech),
};

#undef ZORVEL_RECORD_FIELD
#undef ZORVEL_RECORD_SCALAR
#undef ZORVEL_CODER_VALUE

}  // namespace

std::span<const FrameField> parameterFields() { return kParameterFields; }
std::span<const FrameField> signalFields() { return kSignalFields; }

}  // namespace zorvel::cli
