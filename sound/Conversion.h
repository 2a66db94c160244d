// Conversion of a recording of any format libsndfile reads into what the coder
// takes: 8000 Hz, mono, 16-bit samples from byte 60, behind the header the
// coder's own outputs carry. The channels are averaged, the rate is changed by
// libsoxr at its very-high-quality setting (its anti-aliasing filter keeps
// everything above 4 kHz out of the band), and the samples are rounded to 16
// bits, clipped beyond full scale and counted. The output lasts as long as the
// input to within one sample: round(frames * 8000 / rate) samples.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "sound/Recording.h"
#include "sound/Wave.h"

namespace zorvel {

class SpeechInput;
class StagingArea;

// 8000 Hz samples of `mono` (at `rate` Hz, any scale), round(size * 8000 /
// rate) of them, by libsoxr's very-high-quality resampler; a copy when `rate`
// is 8000. The rate is libsoxr's to judge: when it refuses it (zero or
// negative) or fails while resampling, this throws FileError with libsoxr's
// reason. Rates libsoxr would never come back from (not finite, positive
// below 1 Hz, above 2^31 - 1 Hz, more than any sound file states) are refused
// before it sees them, with a FileError of their own.
std::vector<double> resampleTo8k(std::span<const double> mono, double rate);

// The same from `rate` to `target` Hz (a positive rate libsoxr takes):
// round(size * target / rate) samples, aligned with the input.
std::vector<double> resample(std::span<const double> mono, double rate, double target);

// A recording converted whole; made only by the conversions below, which
// throw FileError (its message completes "<input>: ...") instead of giving
// a part of one.
struct ConvertedRecording {
    bool converted = false;  // true once it holds a conversion (a default one holds none)
    RecordingFormat source;
    std::int64_t samples = 0;  // 8000 Hz samples written
    std::int64_t clipped = 0;  // samples beyond full scale, clipped
    double peak = 0.0;         // largest magnitude before clipping, 1 = full scale
    // The whole file: the 44-byte header, zeros up to byte 60, the samples
    // (16-bit little-endian).
    std::string bytes;

    double seconds() const { return static_cast<double>(samples) / kSampleRate; }
};

// Reads `file` with libsndfile (as doubles, full scale 1) and converts it.
// Throws FileError when the file is no recording libsndfile reads, cannot be
// opened or read, or cannot be resampled.
ConvertedRecording convertRecording(const std::filesystem::path& file);

// The same for samples already read: `interleaved` holds frames of `channels`
// samples at `rate` Hz, full scale 1. Throws FileError for no channels and
// as resampleTo8k does.
ConvertedRecording convertSamples(std::span<const double> interleaved, int channels, double rate);

// Where a conversion of `input` goes: INPUT + "_8k.wav"; with a directory,
// that name of the input's file name inside it.
std::filesystem::path convertedFileName(const std::filesystem::path& input,
                                        const std::filesystem::path& directory = {});

// Writes the converted file to `output`, staged in `area`: whole or not at
// all, and over an existing file only with `replace`. Throws FileError with
// the reason when it cannot.
void writeConvertedFile(const ConvertedRecording& recording, const std::filesystem::path& output,
                        StagingArea& area, bool replace);

// A coder's input that reads the converted bytes from memory.
SpeechInput convertedInput(const ConvertedRecording& recording);

}  // namespace zorvel
