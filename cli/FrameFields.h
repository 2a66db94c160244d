// The values `frames` writes for each coded frame, by the names the frame
// record and the coder give them: one table drives both the JSON objects and
// the CSV columns.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <variant>

#include "coder/SpeechCoder.h"

namespace zorvel::cli {

// One number, or a fixed-length list of numbers read from the coder's record.
// The quantised coder's code: its indices, each named by its parameter.
using FieldValue = std::variant<std::int32_t, double, std::span<const std::int32_t>,
                                std::span<const double>, std::span<const ParameterCode>>;

struct FrameField {
    std::string_view name;
    FieldValue (*read)(const SpeechCoder& coder);
};

// Frame number, lags, gains, pulse positions, LP coefficients and errors,
// SNRs; with the fine lag (pitchLagFine) where `coder`'s pitch resolution is
// finer than a sample; where it quantises, the quantised values (LSF and LP
// sets, the applied gains), each set's spectral distortion and the frame's
// code.
std::span<const FrameField> parameterFields(const SpeechCoder& coder);

// Every 160-sample array of the current frame's record.
std::span<const FrameField> signalFields();

}  // namespace zorvel::cli
