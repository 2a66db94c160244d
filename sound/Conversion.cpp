// Averaging the channels, libsoxr's resampling, rounding to 16 bits, and the
// file the coder reads.
#include "sound/Conversion.h"

#include <fcntl.h>
#include <sndfile.h>
#include <soxr.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <sstream>
#include <system_error>
#include <type_traits>

#include "files/Descriptor.h"
#include "files/FileError.h"
#include "files/StagedOutput.h"
#include "sound/SoundFile.h"
#include "sound/SpeechInput.h"
#include "sound/Wave.h"

namespace zorvel {
namespace {

constexpr double kFullScale = 32768.0;  // a 16-bit sample of 1.0 at full scale
constexpr double kLargestSample = 32767.0;
constexpr double kSmallestSample = -32768.0;
// The rates libsoxr is trusted with: below 1 Hz it crashes and far above
// any sound file's rate it never returns. A sound file states a rate as a
// positive 32-bit integer.
constexpr double kLowestRate = 1.0;
constexpr double kHighestRate = 2147483647.0;

std::int64_t outputLength(std::size_t inputFrames, double rate, double target) {
    return std::llround(static_cast<double>(inputFrames) * target / rate);
}

struct ResamplerDelete {
    void operator()(soxr_t resampler) const noexcept { soxr_delete(resampler); }
};

// The one owner of a libsoxr resampler.
using Resampler = std::unique_ptr<std::remove_pointer_t<soxr_t>, ResamplerDelete>;

[[noreturn]] void resamplerFailed(soxr_error_t error) {
    throw FileError(std::string("cannot be resampled: ") + error);
}

// libsoxr's very-high-quality resampler from `rate` to `target` Hz, one
// channel of doubles.
Resampler resamplerFrom(double rate, double target) {
    const bool ratePositive = rate > 0.0;  // zero and below are libsoxr's to refuse
    if (!std::isfinite(rate) || (ratePositive && (rate < kLowestRate || rate > kHighestRate)))
        throw FileError("cannot be resampled: a sample rate of " + std::to_string(rate) +
                        " Hz is out of range");
    soxr_error_t error = nullptr;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT64_I, SOXR_FLOAT64_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, 0);
    Resampler resampler(soxr_create(rate, target, 1, &error, &io, &quality, nullptr));
    if (error != nullptr) resamplerFailed(error);
    if (!resampler) resamplerFailed("no resampler");
    return resampler;
}

}  // namespace

std::vector<double> resampleTo8k(std::span<const double> mono, double rate) {
    return resample(mono, rate, kSampleRate);
}

std::vector<double> resample(std::span<const double> mono, double rate, double target) {
    if (rate == target) return {mono.begin(), mono.end()};
    const Resampler resampler = resamplerFrom(rate, target);
    std::vector<double> out(static_cast<std::size_t>(outputLength(mono.size(), rate, target)), 0.0);

    // The whole input, then the end of input (a null buffer) until the
    // filter's delay has come out: the output stays aligned with the input.
    std::size_t inputDone = 0;
    std::size_t outputDone = 0;
    while (outputDone < out.size()) {
        const bool inputLeft = inputDone < mono.size();
        std::size_t used = 0;
        std::size_t made = 0;
        const soxr_error_t error =
            soxr_process(resampler.get(), inputLeft ? mono.data() + inputDone : nullptr,
                         inputLeft ? mono.size() - inputDone : 0, &used, out.data() + outputDone,
                         out.size() - outputDone, &made);
        if (error != nullptr) resamplerFailed(error);
        inputDone += used;
        outputDone += made;
        if (!inputLeft && made == 0) break;  // drained
    }
    // libsoxr's count of the output may fall short of the rounded length by
    // the one sample the rounding added, which stays silent; never by more.
    if (const std::size_t missing = out.size() - outputDone; missing > 1)
        throw FileError("cannot be resampled: libsoxr ended " + std::to_string(missing) +
                        " samples short");
    return out;
}

ConvertedRecording convertSamples(std::span<const double> interleaved, int channels, double rate) {
    if (channels < 1) throw FileError("a recording without channels");
    ConvertedRecording result;
    const std::size_t frames = interleaved.size() / static_cast<std::size_t>(channels);
    std::vector<double> mono(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        double sum = 0.0;
        for (int c = 0; c < channels; ++c) sum += interleaved[i * channels + c];
        mono[i] = sum / channels * kFullScale;
    }
    const std::vector<double> resampled = resampleTo8k(mono, rate);

    std::string samples(resampled.size() * 2, '\0');
    for (std::size_t i = 0; i < resampled.size(); ++i) {
        const double y = std::round(resampled[i]);
        result.peak = std::max(result.peak, std::fabs(resampled[i]) / kFullScale);
        double s = y;
        if (!(y <= kLargestSample) || !(y >= kSmallestSample)) {
            ++result.clipped;
            s = std::isnan(y) ? 0.0 : std::clamp(y, kSmallestSample, kLargestSample);
        }
        const auto bits = static_cast<std::uint16_t>(static_cast<std::int16_t>(s));
        samples[2 * i] = static_cast<char>(bits & 0xFF);
        samples[2 * i + 1] = static_cast<char>(bits >> 8);
    }

    std::ostringstream file;
    file << std::string(kSampleDataOffset, '\0');
    writeWaveHeader(file, static_cast<std::uint32_t>(samples.size()));
    file << samples;
    result.bytes = std::move(file).str();
    result.samples = static_cast<std::int64_t>(resampled.size());
    result.converted = true;
    return result;
}

ConvertedRecording convertRecording(const std::filesystem::path& file) {
    const RecordingFormat source = describeRecording(file);
    if (source.kind == RecordingKind::unrecognised)
        throw FileError("not a recording libsndfile can read");
    const Descriptor fd(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd) {
        const int error = errno;
        throw FileError("input file cannot be opened: " + std::generic_category().message(error),
                        error);
    }
    SF_INFO info{};
    const SoundFile sound = openSoundFile(fd.get(), info);
    if (!sound) throw FileError("not a recording libsndfile can read");
    std::vector<double> interleaved;
    constexpr sf_count_t kBlockFrames = 65536;
    std::vector<double> block(static_cast<std::size_t>(kBlockFrames) * info.channels);
    for (;;) {
        const sf_count_t got = sf_readf_double(sound.get(), block.data(), kBlockFrames);
        if (got <= 0) break;
        interleaved.insert(interleaved.end(), block.begin(), block.begin() + got * info.channels);
    }
    if (sf_error(sound.get()) != SF_ERR_NO_ERROR)
        throw FileError(std::string("input file could not be read: ") + sf_strerror(sound.get()));
    ConvertedRecording result = convertSamples(interleaved, info.channels, info.samplerate);
    result.source = source;
    return result;
}

SpeechInput convertedInput(const ConvertedRecording& recording) {
    return SpeechInput(std::make_unique<std::istringstream>(recording.bytes));
}

void writeConvertedFile(const ConvertedRecording& recording, const std::filesystem::path& output,
                        StagingArea& area, bool replace) {
    StagedFile staged(area, output);
    writeAll(staged.descriptor(), recording.bytes.data(), recording.bytes.size(), output);
    staged.commit(replace);
}

std::filesystem::path convertedFileName(const std::filesystem::path& input,
                                        const std::filesystem::path& directory) {
    const std::filesystem::path base = directory.empty() ? input : directory / input.filename();
    return base.string() + "_8k.wav";
}

}  // namespace zorvel
