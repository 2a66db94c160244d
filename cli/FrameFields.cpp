#include "cli/FrameFields.h"

#include <array>
#include <type_traits>
#include <vector>

namespace zorvel::cli {
namespace {

template <class T>
struct IsArray : std::false_type {};
template <class T, std::size_t N>
struct IsArray<std::array<T, N>> : std::true_type {};

// A field of the current frame's record: the number, or a view of the array.
template <auto member>
FieldValue recordValue(const SpeechCoder& coder) {
    const auto& value = coder.currentFrame().*member;
    if constexpr (IsArray<std::decay_t<decltype(value)>>::value)
        return std::span(value.data(), value.size());
    else
        return value;
}

// A value the coder itself keeps (frame number, SNRs).
template <auto getter>
FieldValue coderValue(const SpeechCoder& coder) {
    return (coder.*getter)();
}

// clang-format off
// The fine lag (pitchLagFine) is written only where the pitch resolution is
// finer than a sample: kParameterFields without it is the list of the
// design's coder.
const std::array kParameterFieldsWithFineLag{
    FrameField{"frameCount",       coderValue<&SpeechCoder::frameCount>},
    FrameField{"openLoopLagI",     recordValue<&FrameRecord::openLoopLagI>},
    FrameField{"openLoopLagII",    recordValue<&FrameRecord::openLoopLagII>},
    FrameField{"pitchLag",         recordValue<&FrameRecord::pitchLag>},
    FrameField{"pitchLagFine",     recordValue<&FrameRecord::pitchLagFine>},
    FrameField{"pitchGain",        recordValue<&FrameRecord::pitchGain>},
    FrameField{"pitchGainApplied", recordValue<&FrameRecord::pitchGainApplied>},
    FrameField{"codebookGain",     recordValue<&FrameRecord::codebookGain>},
    FrameField{"pulsePositions",   recordValue<&FrameRecord::pulsePositions>},
    FrameField{"lpCoeffsI",        recordValue<&FrameRecord::lpCoeffsI>},
    FrameField{"lpErrorI",         recordValue<&FrameRecord::lpErrorI>},
    FrameField{"lpCoeffsII",       recordValue<&FrameRecord::lpCoeffsII>},
    FrameField{"lpErrorII",        recordValue<&FrameRecord::lpErrorII>},
    FrameField{"frameSnr",         coderValue<&SpeechCoder::frameSnr>},
    FrameField{"segmentalSnr",     coderValue<&SpeechCoder::segmentalSnr>},
    FrameField{"overallSnr",       coderValue<&SpeechCoder::overallSnr>},
};
// clang-format on

const std::vector<FrameField> kParameterFields = [] {
    std::vector<FrameField> fields;
    for (const FrameField& field : kParameterFieldsWithFineLag)
        if (field.name != "pitchLagFine") fields.push_back(field);
    return fields;
}();

// clang-format off
const std::array kSignalFields{
    FrameField{"speech",                    recordValue<&FrameRecord::speech>},
    FrameField{"weightedSpeech",            recordValue<&FrameRecord::weightedSpeech>},
    FrameField{"formantPostFiltered",       recordValue<&FrameRecord::formantPostFiltered>},
    FrameField{"postProcessedSpeech",       recordValue<&FrameRecord::postProcessedSpeech>},
    FrameField{"postFilterImpulseResponse", recordValue<&FrameRecord::postFilterImpulseResponse>},
    FrameField{"openLoopCorrI",             recordValue<&FrameRecord::openLoopCorrI>},
    FrameField{"openLoopCorrII",            recordValue<&FrameRecord::openLoopCorrII>},
    FrameField{"lpResidual",                recordValue<&FrameRecord::lpResidual>},
    FrameField{"ltpResidual",               recordValue<&FrameRecord::ltpResidual>},
    FrameField{"targetSignal",              recordValue<&FrameRecord::targetSignal>},
    FrameField{"zeroInputResponse",         recordValue<&FrameRecord::zeroInputResponse>},
    FrameField{"adaptiveWeightedSynthesis", recordValue<&FrameRecord::adaptiveWeightedSynthesis>},
    FrameField{"adaptiveSynthesis",         recordValue<&FrameRecord::adaptiveSynthesis>},
    FrameField{"adaptiveExcitation",        recordValue<&FrameRecord::adaptiveExcitation>},
    FrameField{"excitation",                recordValue<&FrameRecord::excitation>},
    FrameField{"codebookTarget",            recordValue<&FrameRecord::codebookTarget>},
    FrameField{"backwardFilteredTarget",    recordValue<&FrameRecord::backwardFilteredTarget>},
    FrameField{"signSelector",              recordValue<&FrameRecord::signSelector>},
    FrameField{"pulseSign",                 recordValue<&FrameRecord::pulseSign>},
    FrameField{"algebraicExcitation",       recordValue<&FrameRecord::algebraicExcitation>},
    FrameField{"enhancedExcitation",        recordValue<&FrameRecord::enhancedExcitation>},
    FrameField{"synthesizedSpeech",         recordValue<&FrameRecord::synthesizedSpeech>},
    FrameField{"weightedSynthesizedSpeech", recordValue<&FrameRecord::weightedSynthesizedSpeech>},
};
// clang-format on

}  // namespace

std::span<const FrameField> parameterFields(const SpeechCoder& coder) {
    if (coder.settings().pitchResolution != PitchResolution::whole)
        return kParameterFieldsWithFineLag;
    return kParameterFields;
}
std::span<const FrameField> signalFields() { return kSignalFields; }

}  // namespace zorvel::cli
