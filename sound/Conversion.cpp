// Averaging the channels, libsoxr's resampling, rounding to 16 bits, and the
// file the coder reads.
#include "sound/Conversion.h"

#include <fcntl.h>
#include <sndfile.h>
#include <soxr.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <system_error>
#include <type_traits>

#include "files/Descriptor.h"
#include "files/FileError.h"
#include "files/StagedOutput.h"
#include "sound/DescriptorStream.h"
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

// The one owner of a libsoxr resampler.
using Resampler = std::unique_ptr<::soxr, BlockConversion::ResamplerDelete>;

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

// "3 samples are NaN or infinite, the first at 0.500 s (frame 24000, channel 1)".
// The time only at a rate that gives one (a rate of no use is refused later).
std::string nonFiniteText(std::int64_t count, std::int64_t frame, int channel, double rate) {
    std::string text =
        (count == 1 ? std::string("1 sample is") : std::to_string(count) + " samples are") +
        " NaN or infinite, the first at ";
    if (std::isfinite(rate) && rate > 0.0) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.3f s (", static_cast<double>(frame) / rate);
        text += seconds;
    } else {
        text += "(";
    }
    return text + "frame " + std::to_string(frame) + ", channel " + std::to_string(channel) + ")";
}

}  // namespace

NonFiniteSamplesError::NonFiniteSamplesError(std::int64_t count, std::int64_t frame, int channel,
                                             double rate)
    : FileError(nonFiniteText(count, frame, channel, rate)), count_(count) {}

void BlockConversion::ResamplerDelete::operator()(::soxr* resampler) const noexcept {
    soxr_delete(resampler);
}

std::vector<double> resampleTo8k(std::span<const double> mono, double rate) {
    return resample(mono, rate, kSampleRate);
}

std::vector<double> resample(std::span<const double> mono, double rate, double target) {
    std::vector<double> out;
    BlockConversion conversion(1, rate, target, [&](std::span<const double> block) {
        out.insert(out.end(), block.begin(), block.end());
    });
    conversion.feedMono(mono);
    conversion.finish();
    return out;
}

BlockConversion::BlockConversion(int channels, double rate, ResampledSink sink,
                                 NonFiniteSamples nonFinite)
    : BlockConversion(channels, rate, kSampleRate, std::move(sink), nonFinite) {}

BlockConversion::BlockConversion(int channels, double rate, double target, ResampledSink sink,
                                 NonFiniteSamples nonFinite)
    : channels_(channels),
      rate_(rate),
      target_(target),
      sink_(std::move(sink)),
      nonFinite_(nonFinite) {
    if (channels < 1) throw FileError("a recording without channels");
    if (rate != target) resampler_ = resamplerFrom(rate, target);
}

BlockConversion::~BlockConversion() = default;

void BlockConversion::feed(std::span<const double> interleaved) {
    const std::size_t frames = interleaved.size() / static_cast<std::size_t>(channels_);
    const std::int64_t before = framesIn_ * channels_;  // samples of earlier blocks
    mono_.resize(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        double sum = 0.0;
        for (int c = 0; c < channels_; ++c) {
            const double x = interleaved[i * channels_ + c];
            if (std::isfinite(x)) {
                sum += x;
            } else if (nonFiniteCount_++ == 0) {
                firstNonFinite_ = before + static_cast<std::int64_t>(i * channels_ + c);
            }
        }
        mono_[i] = sum / channels_ * kFullScale;
    }
    if (nonFiniteCount_ > 0 && nonFinite_ == NonFiniteSamples::refuse) {
        framesIn_ += static_cast<std::int64_t>(frames);  // counted, not resampled
        return;
    }
    resample(mono_);
}

void BlockConversion::feedMono(std::span<const double> mono) { resample(mono); }

void BlockConversion::resample(std::span<const double> mono) {
    framesIn_ += static_cast<std::int64_t>(mono.size());
    if (!resampler_) {
        deliver(mono);
        return;
    }
    std::size_t done = 0;
    while (done < mono.size()) {
        std::size_t used = 0;
        std::size_t made = 0;
        const soxr_error_t error =
            soxr_process(resampler_.get(), mono.data() + done, mono.size() - done, &used,
                         out_.data(), out_.size(), &made);
        if (error != nullptr) resamplerFailed(error);
        done += used;
        deliver(std::span(out_).first(made));
    }
}

void BlockConversion::deliver(std::span<const double> resampled) {
    samplesOut_ += static_cast<std::int64_t>(resampled.size());
    if (!resampled.empty()) sink_(resampled);
}

std::int64_t BlockConversion::finish() {
    if (nonFiniteCount_ > 0 && nonFinite_ == NonFiniteSamples::refuse)
        throw NonFiniteSamplesError(nonFiniteCount_, firstNonFinite_ / channels_,
                                    static_cast<int>(firstNonFinite_ % channels_) + 1, rate_);
    const std::int64_t length = std::llround(static_cast<double>(framesIn_) * target_ / rate_);
    // The end of input (a null buffer) until the filter's delay has come
    // out, up to the rounded length: the output stays aligned with the input.
    while (resampler_ && samplesOut_ < length) {
        std::size_t made = 0;
        const std::size_t room =
            std::min(out_.size(), static_cast<std::size_t>(length - samplesOut_));
        const soxr_error_t error =
            soxr_process(resampler_.get(), nullptr, 0, nullptr, out_.data(), room, &made);
        if (error != nullptr) resamplerFailed(error);
        if (made == 0) break;  // drained
        deliver(std::span(out_).first(made));
    }
    // libsoxr's count of the output may fall short of the rounded length by
    // the one sample the rounding added, which stays silent; never by more.
    const std::int64_t missing = length - samplesOut_;
    if (missing > 1)
        throw FileError("cannot be resampled: libsoxr ended " + std::to_string(missing) +
                        " samples short");
    if (missing == 1) {
        const double silence = 0.0;
        deliver(std::span(&silence, 1));
    }
    return samplesOut_;
}

void SampleRounding::round(std::span<const double> resampled) {
    bytes.resize(resampled.size() * 2);
    for (std::size_t i = 0; i < resampled.size(); ++i) {
        const double y = std::round(resampled[i]);
        peak = std::max(peak, std::fabs(resampled[i]) / kFullScale);
        double s = y;
        if (!(y <= kLargestSample) || !(y >= kSmallestSample)) {
            ++clipped;
            s = std::isnan(y) ? 0.0 : std::clamp(y, kSmallestSample, kLargestSample);
        }
        const auto bits = static_cast<std::uint16_t>(static_cast<std::int16_t>(s));
        bytes[2 * i] = static_cast<char>(bits & 0xFF);
        bytes[2 * i + 1] = static_cast<char>(bits >> 8);
    }
}

namespace {

// The file's first 60 bytes for `samples` samples: the header, then zeros.
std::string headerBytes(std::int64_t samples) {
    std::ostringstream file;
    file << std::string(kSampleDataOffset, '\0');
    file.seekp(0);
    writeWaveHeader(file, static_cast<std::uint32_t>(samples * 2));
    std::string header = std::move(file).str();
    header.resize(kSampleDataOffset, '\0');
    return header;
}

// Runs `file` through a conversion block by block, handing the rounded
// samples' bytes to `sink`; only a block is held at a time.
ConvertedRecording convertInBlocks(const std::filesystem::path& file,
                                   const std::function<void(std::string_view)>& sink,
                                   NonFiniteSamples nonFinite) {
    ConvertedRecording result;
    result.source = describeRecording(file);
    if (result.source.kind == RecordingKind::unrecognised)
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
    SampleRounding rounding;
    BlockConversion conversion(
        info.channels, info.samplerate,
        [&](std::span<const double> resampled) {
            rounding.round(resampled);
            sink(rounding.bytes);
        },
        nonFinite);
    std::vector<double> block(static_cast<std::size_t>(kReadFrames) * info.channels);
    for (;;) {
        const sf_count_t got = sf_readf_double(sound.get(), block.data(), kReadFrames);
        if (got <= 0) break;
        conversion.feed(std::span(block).first(static_cast<std::size_t>(got) * info.channels));
    }
    if (sf_error(sound.get()) != SF_ERR_NO_ERROR)
        throw FileError(std::string("input file could not be read: ") + sf_strerror(sound.get()));
    result.samples = conversion.finish();
    result.clipped = rounding.clipped;
    result.peak = rounding.peak;
    result.nonFinite = conversion.nonFinite();
    result.converted = true;
    return result;
}

}  // namespace

ConvertedRecording convertSamples(std::span<const double> interleaved, int channels, double rate,
                                  NonFiniteSamples nonFinite) {
    ConvertedRecording result;
    std::string samples;
    SampleRounding rounding;
    BlockConversion conversion(
        channels, rate,
        [&](std::span<const double> resampled) {
            rounding.round(resampled);
            samples += rounding.bytes;
        },
        nonFinite);
    conversion.feed(interleaved);
    result.samples = conversion.finish();
    result.nonFinite = conversion.nonFinite();
    result.clipped = rounding.clipped;
    result.peak = rounding.peak;
    result.bytes = headerBytes(result.samples) + samples;
    result.converted = true;
    return result;
}

ConvertedRecording convertRecording(const std::filesystem::path& file, NonFiniteSamples nonFinite) {
    std::string samples;
    ConvertedRecording result = convertInBlocks(
        file, [&](std::string_view bytes) { samples += bytes; }, nonFinite);
    result.bytes = headerBytes(result.samples) + samples;
    return result;
}

namespace {

// Converts `file` into the open file `fd` (`name` in messages): the samples
// from byte 60 as they come, then the header, once the length is known.
ConvertedRecording convertIntoFile(const std::filesystem::path& file, int fd,
                                   const std::filesystem::path& name, NonFiniteSamples nonFinite) {
    const std::string placeholder(kSampleDataOffset, '\0');
    writeAll(fd, placeholder.data(), placeholder.size(), name);
    ConvertedRecording result = convertInBlocks(
        file, [&](std::string_view bytes) { writeAll(fd, bytes.data(), bytes.size(), name); },
        nonFinite);
    const std::string header = headerBytes(result.samples);
    if (::pwrite(fd, header.data(), header.size(), 0) != static_cast<ssize_t>(header.size())) {
        const int error = errno;
        throw FileError("'" + name.string() +
                            "' could not be written: " + std::generic_category().message(error),
                        error);
    }
    return result;
}

}  // namespace

ConvertedRecording writeConvertedRecording(const std::filesystem::path& file,
                                           const std::filesystem::path& output, StagingArea& area,
                                           bool replace, NonFiniteSamples nonFinite) {
    StagedFile staged(area, output);
    ConvertedRecording result = convertIntoFile(file, staged.descriptor(), output, nonFinite);
    staged.commit(replace);
    return result;
}

SpeechInput convertedTemporaryInput(const std::filesystem::path& file, NonFiniteSamples nonFinite) {
    Descriptor fd = scratchFile();
    convertIntoFile(file, fd.get(), file.string() + " (converted)", nonFinite);
    if (::lseek(fd.get(), 0, SEEK_SET) != 0) {
        const int error = errno;
        throw FileError(
            "the converted samples could not be read: " + std::generic_category().message(error),
            error);
    }
    return SpeechInput(std::make_unique<DescriptorStream>(std::move(fd)));
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
