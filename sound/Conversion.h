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
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "files/FileError.h"
#include "sound/Recording.h"
#include "sound/Wave.h"

struct soxr;  // libsoxr's resampler

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

// What a conversion does with samples that are no numbers (NaN) or infinite,
// which a float recording may hold: no filter can take one (the resampler
// would spread it over its whole length), so they are the user's to decide.
enum class NonFiniteSamples {
    refuse,  // the conversion throws FileError: how many, and where the first is
    zero,    // each is taken as 0, and counted
};

// The refusal of a recording that holds non-finite samples; its message
// says how many and where the first is ("3 samples are NaN or infinite, the
// first at 0.500 s (frame 24000, channel 1)").
class NonFiniteSamplesError : public FileError {
  public:
    NonFiniteSamplesError(std::int64_t count, std::int64_t frame, int channel, double rate);
    std::int64_t count() const { return count_; }

  private:
    std::int64_t count_;
};

// The conversion as a stream: blocks of interleaved frames in, blocks of
// 8000 Hz samples (at 16-bit scale, not yet rounded) out to the sink, whose
// block is valid during the call. Only a block is held, whatever the
// length; the output is the same, sample for sample, whatever the blocks.
class BlockConversion {
  public:
    using ResampledSink = std::function<void(std::span<const double>)>;
    // Throws FileError for no channels and for a rate resampleTo8k refuses.
    BlockConversion(int channels, double rate, ResampledSink sink,
                    NonFiniteSamples nonFinite = NonFiniteSamples::refuse);
    // The same to `target` Hz instead of 8000.
    BlockConversion(int channels, double rate, double target, ResampledSink sink,
                    NonFiniteSamples nonFinite = NonFiniteSamples::refuse);
    ~BlockConversion();
    BlockConversion(const BlockConversion&) = delete;
    BlockConversion& operator=(const BlockConversion&) = delete;

    // Whole frames of `channels` samples, full scale 1: averaged and resampled.
    // Once a sample that is NaN or infinite is met and refused, the rest is
    // only counted.
    void feed(std::span<const double> interleaved);
    // Samples already averaged and at 16-bit scale.
    void feedMono(std::span<const double> mono);
    // The end of the input: the rest comes out, up to round(frames * target /
    // rate) samples in all. Returns that count. Throws NonFiniteSamplesError
    // when samples were NaN or infinite and refused.
    std::int64_t finish();
    // The samples NaN or infinite so far (of any channel).
    std::int64_t nonFinite() const { return nonFiniteCount_; }

    // Releases a libsoxr resampler.
    struct ResamplerDelete {
        void operator()(::soxr* resampler) const noexcept;
    };

  private:
    void resample(std::span<const double> mono);
    void deliver(std::span<const double> resampled);

    int channels_;
    double rate_;
    double target_;
    ResampledSink sink_;
    NonFiniteSamples nonFinite_;
    std::int64_t nonFiniteCount_ = 0;
    std::int64_t firstNonFinite_ = 0;                     // its index among the interleaved samples
    std::unique_ptr<::soxr, ResamplerDelete> resampler_;  // none at 8000 Hz
    std::vector<double> mono_;
    std::vector<double> out_ = std::vector<double>(kBlockSamples);
    std::int64_t framesIn_ = 0;
    std::int64_t samplesOut_ = 0;

    static constexpr std::size_t kBlockSamples = 16384;
};

// Rounds resampled samples to 16 bits, clipping beyond full scale: the
// bytes of the last block (little-endian), and the counts so far.
struct SampleRounding {
    std::string bytes;
    std::int64_t clipped = 0;  // samples beyond full scale, clipped
    double peak = 0.0;         // largest magnitude before clipping, 1 = full scale

    void round(std::span<const double> resampled);
};

// The frames libsndfile reads at a time.
inline constexpr std::int64_t kReadFrames = 16384;

// A recording converted whole; made only by the conversions below, which
// throw FileError (its message completes "<input>: ...") instead of giving
// a part of one.
struct ConvertedRecording {
    bool converted = false;  // true once it holds a conversion (a default one holds none)
    RecordingFormat source;
    std::int64_t samples = 0;    // 8000 Hz samples written
    std::int64_t clipped = 0;    // samples beyond full scale, clipped
    double peak = 0.0;           // largest magnitude before clipping, 1 = full scale
    std::int64_t nonFinite = 0;  // input samples (of any channel) NaN or infinite, taken as 0
    // The whole file: the 44-byte header, zeros up to byte 60, the samples
    // (16-bit little-endian).
    std::string bytes;

    double seconds() const { return static_cast<double>(samples) / kSampleRate; }
};

// Reads `file` with libsndfile (as doubles, full scale 1) and converts it.
// Throws FileError when the file is no recording libsndfile reads, cannot be
// opened or read, holds non-finite samples that `nonFinite` refuses
// (NonFiniteSamplesError), or cannot be resampled.
ConvertedRecording convertRecording(const std::filesystem::path& file,
                                    NonFiniteSamples nonFinite = NonFiniteSamples::refuse);

// The same for samples already read: `interleaved` holds frames of `channels`
// samples at `rate` Hz, full scale 1. Throws FileError for no channels, for
// non-finite samples that `nonFinite` refuses (NonFiniteSamplesError) and
// as resampleTo8k does.
ConvertedRecording convertSamples(std::span<const double> interleaved, int channels, double rate,
                                  NonFiniteSamples nonFinite = NonFiniteSamples::refuse);

// Where a conversion of `input` goes: INPUT + "_8k.wav"; with a directory,
// that name of the input's file name inside it.
std::filesystem::path convertedFileName(const std::filesystem::path& input,
                                        const std::filesystem::path& directory = {});

// Writes the converted file to `output`, staged in `area`: whole or not at
// all, and over an existing file only with `replace`. Throws FileError with
// the reason when it cannot.
void writeConvertedFile(const ConvertedRecording& recording, const std::filesystem::path& output,
                        StagingArea& area, bool replace);

// Converts `file` straight into `output`, block by block, staged as
// writeConvertedFile does; the result holds everything but the bytes. Its
// memory does not grow with the recording's length.
ConvertedRecording writeConvertedRecording(const std::filesystem::path& file,
                                           const std::filesystem::path& output, StagingArea& area,
                                           bool replace,
                                           NonFiniteSamples nonFinite = NonFiniteSamples::refuse);

// A coder's input that reads the converted bytes from memory.
SpeechInput convertedInput(const ConvertedRecording& recording);

// A coder's input that reads `file` converted into an anonymous scratch file
// (the system's temporary directory), block by block: a long recording
// takes disk, not memory. Throws FileError as convertRecording does, or when
// the scratch file cannot be written.
SpeechInput convertedTemporaryInput(const std::filesystem::path& file,
                                    NonFiniteSamples nonFinite = NonFiniteSamples::refuse);

}  // namespace zorvel
