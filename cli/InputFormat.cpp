#include "cli/InputFormat.h"

#include <cmath>

#include "files/FileError.h"

namespace zorvel::cli {

bool convertsInput(const std::filesystem::path& input, const InputFormatChoice& choice) {
    if (choice.asIs) return false;
    const RecordingFormat format = describeRecording(input);
    if (format.kind != RecordingKind::otherFormat) return false;
    if (choice.resample) return true;
    throw FileError(otherFormatProblem(format) +
                    ": convert it with 'zorvel-cli import' or pass --resample");
}

NonFiniteSamples nonFiniteSamples(bool zeroNonFinite) {
    return zeroNonFinite ? NonFiniteSamples::zero : NonFiniteSamples::refuse;
}

ConvertedRecording convertInput(const std::filesystem::path& input, bool zeroNonFinite) {
    return withNonFiniteAdvice(
        [&] { return convertRecording(input, nonFiniteSamples(zeroNonFinite)); });
}

SpeechInput openCoderInput(const std::filesystem::path& input, bool convert,
                           const InputFormatChoice& choice) {
    if (!convert) return SpeechInput(input);
    return withNonFiniteAdvice(
        [&] { return convertedTemporaryInput(input, nonFiniteSamples(choice.zeroNonFinite)); });
}

std::int64_t framesToCode(const std::filesystem::path& input, bool convert) {
    if (!convert) return framesInFile(input);
    const RecordingFormat format = describeRecording(input);
    if (format.sampleRate <= 0) return 0;
    const std::int64_t samples =
        std::llround(static_cast<double>(format.frames) * kSampleRate / format.sampleRate);
    return samples / kFrameSamples;
}

}  // namespace zorvel::cli
