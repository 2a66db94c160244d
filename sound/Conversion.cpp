// Averaging the channels, libsoxr's resampling, rounding to 16 bits, and the
// file the coder reads.
#include "sound/Conversion.h"

#include <fcntl.h>
#include <sndfile.h>
#include <soxr.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <sstream>

#include "files/StagedOutput.h"
#include "sound/SpeechInput.h"
#include "sound/Wave.h"

namespace zorvel {
namespace {

constexpr double kFullScale = 32768.0;  // a 16-bit sample of 1.0 at full scale
constexpr double kLargestSample = 32767.0;
constexpr double kSmallestSample = -32768.0;

std::int64_t outputLength(std::size_t inputFrames, double rate) {
    return std::llround(static_cast<double>(inputFrames) * kSampleRate / rate);
}

}  // namespace

std::vector<double> resampleTo8k(std::span<const double> mono, double rate) {
    const std::int64_t wanted = outputLength(mono.size(), rate);
    if (rate == kSampleRate) return {mono.begin(), mono.end()};
    std::vector<double> out(static_cast<std::size_t>(wanted), 0.0);
    if (wanted == 0) return out;

    soxr_error_t error = nullptr;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT64_I, SOXR_FLOAT64_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, 0);
    soxr_t resampler = soxr_create(rate, kSampleRate, 1, &error, &io, &quality, nullptr);
    if (resampler == nullptr || error != nullptr) return out;

    // The whole input, then the end of input (a null buffer) until the
    // filter's delay has come out: the output stays aligned with the input.
    std::size_t inputDone = 0;
    std::size_t outputDone = 0;
    while (outputDone < out.size()) {
        const bool inputLeft = inputDone < mono.size();
        std::size_t used = 0;
        std::size_t made = 0;
        error = soxr_process(resampler, inputLeft ? mono.data() + inputDone : nullptr,
                             inputLeft ? mono.size() - inputDone : 0, &used,
                             out.data() + outputDone, out.size() - outputDone, &made);
        inputDone += used;
        outputDone += made;
        if (error != nullptr || (!inputLeft && made == 0)) break;  // the rest stays silent
    }
    soxr_delete(resampler);
    return out;
}

ConvertedRecording convertSamples(std::span<const double> interleaved, int channels, double rate) {
    ConvertedRecording result;
    if (channels < 1 || !(rate > 0.0)) {
        result.problem = "no channels or no sample rate";
        return result;
    }
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
    ConvertedRecording result;
    result.source = describeRecording(file);
    if (result.source.kind == RecordingKind::unrecognised) {
        result.problem = "not a recording libsndfile can read";
        return result;
    }
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        result.problem = "input file cannot be opened";
        return result;
    }
    SF_INFO info{};
    SNDFILE* sound = sf_open_fd(fd, SFM_READ, &info, SF_FALSE);
    if (sound == nullptr) {
        ::close(fd);
        result.problem = "not a recording libsndfile can read";
        return result;
    }
    std::vector<double> interleaved;
    constexpr sf_count_t kBlockFrames = 65536;
    std::vector<double> block(static_cast<std::size_t>(kBlockFrames) * info.channels);
    for (;;) {
        const sf_count_t got = sf_readf_double(sound, block.data(), kBlockFrames);
        if (got <= 0) break;
        interleaved.insert(interleaved.end(), block.begin(), block.begin() + got * info.channels);
    }
    const bool readFailed = sf_error(sound) != SF_ERR_NO_ERROR;
    sf_close(sound);
    ::close(fd);
    if (readFailed) {
        result.problem = "input file could not be read";
        return result;
    }
    const RecordingFormat source = result.source;
    result = convertSamples(interleaved, info.channels, info.samplerate);
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
