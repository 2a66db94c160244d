#include "cli/FrameFields.h"

#include <array>
#include <type_traits>
#include <vector>

#include "coder/LpDistortion.h"

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

// The spectral distortion of set I or II of a quantised frame, in dB.
template <bool setII>
FieldValue spectralDistortionOf(const SpeechCoder& coder) {
    const FrameRecord& frame = coder.currentFrame();
    return setII ? spectralDistortion(frame.lpCoeffsII, frame.lpCoeffsQuantisedII)
                 : spectralDistortion(frame.lpCoeffsI, frame.lpCoeffsQuantisedI);
}

// Every index of the mode's frame (a cleared record's are zero).
FieldValue codeOf(const SpeechCoder& coder) {
    return std::span<const ParameterCode>(coder.currentFrame().code.codes.data(),
                                          static_cast<std::size_t>(codesPerFrame(coder.mode())));
}

// Which coders write a field.
enum class FieldUse { always, fineLag, quantised };

struct ListedField {
    FrameField field;
    FieldUse use;
};

// clang-format off
// The fields of the design's coder are those used always, in this order.
const std::array kListedFields{
    ListedField{{"frameCount",          coderValue<&SpeechCoder::frameCount>},                 FieldUse::always},
    ListedField{{"openLoopLagI",        recordValue<&FrameRecord::openLoopLagI>},              FieldUse::always},
    ListedField{{"openLoopLagII",       recordValue<&FrameRecord::openLoopLagII>},             FieldUse::always},
    ListedField{{"pitchLag",            recordValue<&FrameRecord::pitchLag>},                  FieldUse::always},
    ListedField{{"pitchLagFine",        recordValue<&FrameRecord::pitchLagFine>},              FieldUse::fineLag},
    ListedField{{"pitchGain",           recordValue<&FrameRecord::pitchGain>},                 FieldUse::always},
    ListedField{{"pitchGainApplied",    recordValue<&FrameRecord::pitchGainApplied>},          FieldUse::always},
    ListedField{{"codebookGain",        recordValue<&FrameRecord::codebookGain>},              FieldUse::always},
    ListedField{{"codebookGainApplied", recordValue<&FrameRecord::codebookGainApplied>},       FieldUse::quantised},
    ListedField{{"pulsePositions",      recordValue<&FrameRecord::pulsePositions>},            FieldUse::always},
    ListedField{{"lpCoeffsI",           recordValue<&FrameRecord::lpCoeffsI>},                 FieldUse::always},
    ListedField{{"lpErrorI",            recordValue<&FrameRecord::lpErrorI>},                  FieldUse::always},
    ListedField{{"lpCoeffsII",          recordValue<&FrameRecord::lpCoeffsII>},                FieldUse::always},
    ListedField{{"lpErrorII",           recordValue<&FrameRecord::lpErrorII>},                 FieldUse::always},
    ListedField{{"lsfQuantisedI",       recordValue<&FrameRecord::lsfQuantisedI>},             FieldUse::quantised},
    ListedField{{"lsfQuantisedII",      recordValue<&FrameRecord::lsfQuantisedII>},            FieldUse::quantised},
    ListedField{{"lpCoeffsQuantisedI",  recordValue<&FrameRecord::lpCoeffsQuantisedI>},        FieldUse::quantised},
    ListedField{{"lpCoeffsQuantisedII", recordValue<&FrameRecord::lpCoeffsQuantisedII>},       FieldUse::quantised},
    ListedField{{"spectralDistortionI", spectralDistortionOf<false>},                          FieldUse::quantised},
    ListedField{{"spectralDistortionII", spectralDistortionOf<true>},                          FieldUse::quantised},
    ListedField{{"frameSnr",            coderValue<&SpeechCoder::frameSnr>},                   FieldUse::always},
    ListedField{{"segmentalSnr",        coderValue<&SpeechCoder::segmentalSnr>},               FieldUse::always},
    ListedField{{"overallSnr",          coderValue<&SpeechCoder::overallSnr>},                 FieldUse::always},
    ListedField{{"code",                codeOf},                                               FieldUse::quantised},
};
// clang-format on

// The fields of a coder with or without the fine lag and quantisation.
std::vector<FrameField> fieldsFor(bool fineLag, bool quantised) {
    std::vector<FrameField> fields;
    for (const ListedField& listed : kListedFields)
        if (listed.use == FieldUse::always || (listed.use == FieldUse::fineLag && fineLag) ||
            (listed.use == FieldUse::quantised && quantised))
            fields.push_back(listed.field);
    return fields;
}

const std::array<std::vector<FrameField>, 4> kParameterFields{
    fieldsFor(false, false), fieldsFor(true, false), fieldsFor(false, true), fieldsFor(true, true)};

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
    const bool fineLag = coder.settings().pitchResolution != PitchResolution::whole;
    const bool quantised = coder.settings().quantisation;
    return kParameterFields[(fineLag ? 1 : 0) + (quantised ? 2 : 0)];
}
std::span<const FrameField> signalFields() { return kSignalFields; }

}  // namespace zorvel::cli
