// What the coding subcommands do with a recording the coder cannot take as
// it stands (another rate, more channels, other samples or another container,
// as libsndfile recognises it): refuse it by default, convert it with
// --resample (block by block, into a scratch file), or code its bytes from 60 with --as-is. Raw
// files and 8000 Hz mono 16-bit WAV are coded as they stand either way. A conversion refuses
// samples that are NaN or infinite unless --zero-non-finite takes them as 0.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "sound/Conversion.h"
#include "sound/SpeechInput.h"

namespace zorvel::cli {

struct InputFormatChoice {
    bool resample = false;  // --resample: convert first (into a scratch file)
    bool asIs = false;      // --as-is: the bytes from 60, whatever the file is
    // --zero-non-finite: a conversion takes samples that are NaN or infinite
    // as 0 instead of refusing the recording
    bool zeroNonFinite = false;
};

// The option that takes non-finite samples as 0, as the refusal names it.
inline constexpr const char* kZeroNonFiniteOption = "--zero-non-finite";

// True when `input` is to be converted before it is coded. Throws FileError
// with the refusal ("<format>; the coder takes 8000 Hz mono 16-bit: convert
// it with 'zorvel-cli import' or pass --resample") when it is of another
// format and neither option was given.
bool convertsInput(const std::filesystem::path& input, const InputFormatChoice& choice);

// The conversion's treatment of NaN and infinite samples that
// --zero-non-finite asks for.
NonFiniteSamples nonFiniteSamples(bool zeroNonFinite);

// What `convert` gives; a refusal of non-finite samples says how to take
// them instead ("...: pass --zero-non-finite to take them as 0").
template <class Conversion>
auto withNonFiniteAdvice(Conversion convert) -> decltype(convert()) {
    try {
        return convert();
    } catch (const NonFiniteSamplesError& error) {
        // A decision left to the user: the refusal says how to make it.
        throw FileError(std::string(error.what()) + ": pass " + kZeroNonFiniteOption +
                        " to take them as 0");
    }
}

// The recording converted; throws FileError when it cannot be read, and
// when it holds samples that are NaN or infinite unless `zeroNonFinite`
// ("...: pass --zero-non-finite to take them as 0").
ConvertedRecording convertInput(const std::filesystem::path& input, bool zeroNonFinite);

// The coder's input: the file itself, or its conversion in a scratch file.
SpeechInput openCoderInput(const std::filesystem::path& input, bool convert,
                           const InputFormatChoice& choice);

// Whole frames the coder will read: of the file, or of its conversion.
std::int64_t framesToCode(const std::filesystem::path& input, bool convert);

}  // namespace zorvel::cli
