#include "python/Encoding.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <type_traits>

#include "cli/FrameFields.h"
#include "sound/Wave.h"

namespace zorvel::python {
namespace {

// The column of `field`, typed and sized by its value in the current frame.
FieldColumn emptyColumn(const cli::FrameField& field, const SpeechCoder& coder) {
    FieldColumn column{std::string(field.name), 0, {}};
    std::visit(
        [&](const auto& value) {
            using T = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<T, std::int32_t>) {
                column.values = std::vector<std::int32_t>();
            } else if constexpr (std::is_same_v<T, double>) {
                column.values = std::vector<double>();
            } else if constexpr (std::is_same_v<T, std::span<const ParameterCode>>) {
                // The quantised coder's code: its indices, exact as doubles
                // (below 2^53); their parameters and widths are the mode's.
                column.width = value.size();
                column.values = std::vector<double>();
            } else {
                column.width = value.size();
                column.values = std::vector<typename T::value_type>();
            }
        },
        field.read(coder));
    return column;
}

void append(FieldColumn& column, const cli::FieldValue& value) {
    std::visit(
        [&](auto& values) {
            using Element = typename std::decay_t<decltype(values)>::value_type;
            std::visit(
                [&](const auto& v) {
                    using T = std::decay_t<decltype(v)>;
                    if constexpr (std::is_arithmetic_v<T>) {
                        values.push_back(static_cast<Element>(v));
                    } else if constexpr (std::is_same_v<T, std::span<const ParameterCode>>) {
                        for (const ParameterCode& code : v)
                            values.push_back(static_cast<Element>(code.index));
                    } else
                        values.insert(values.end(), v.begin(), v.end());
                },
                value);
        },
        column.values);
}

// The samples of `out` as the encoding run writes them (writtenOutput).
void appendWritten(std::vector<std::int16_t>& to, const Signal& out) {
    for (const double x : out) to.push_back(toSample(x));
}

// Room for `frames` rows, so that the columns grow without moving.
void reserveRows(FieldColumn& column, std::size_t frames) {
    std::visit(
        [&](auto& values) { values.reserve(frames * std::max<std::size_t>(column.width, 1)); },
        column.values);
}

}  // namespace

std::string inputBytes(std::span<const std::int16_t> samples) {
    std::string bytes(kSampleDataOffset + 2 * samples.size(), '\0');
    char* out = bytes.data() + kSampleDataOffset;
    for (const std::int16_t sample : samples) {
        const auto u = static_cast<std::uint16_t>(sample);
        *out++ = static_cast<char>(u & 0xff);
        *out++ = static_cast<char>(u >> 8);
    }
    return bytes;
}

SpeechInput memoryInput(std::string bytes) {
    return SpeechInput(std::make_unique<std::istringstream>(std::move(bytes)));
}

std::unique_ptr<EncodeResult> encodeBytes(std::string bytes, CoderMode mode,
                                          const CoderSettings& settings,
                                          const EncodeOptions& options) {
    auto result = std::make_unique<EncodeResult>();
    const std::size_t samples = (bytes.size() - kSampleDataOffset) / 2;
    result->coder = std::make_unique<SpeechCoder>(memoryInput(std::move(bytes)), mode, settings);
    SpeechCoder& coder = *result->coder;

    // The fields' list lengths are fixed, so the cleared coder sizes them.
    for (const cli::FrameField& field : cli::parameterFields(coder))
        result->frames.push_back(emptyColumn(field, coder));
    const std::size_t parameterColumns = result->frames.size();
    std::optional<RunMeasures> run;
    if (options.measures) {
        for (SpectralMeasure measure : kAllSpectralMeasures)
            result->frames.push_back({std::string(infoOf(measure).key), 0, std::vector<double>()});
        run.emplace(options.measured);
    }
    const std::size_t frames = samples / kFrameSamples;
    for (FieldColumn& column : result->frames) reserveRows(column, frames);
    result->synthesis.reserve(frames * kFrameSamples);
    result->post.reserve(frames * kFrameSamples);
    result->synthesisFloat.reserve(frames * kFrameSamples);
    result->postFloat.reserve(frames * kFrameSamples);

    while (coder.nextFrame() == FrameStep::coded) {
        const FrameRecord& record = coder.currentFrame();
        appendWritten(result->synthesis, record.synthesizedSpeech);
        appendWritten(result->post, record.postProcessedSpeech);
        result->synthesisFloat.insert(result->synthesisFloat.end(),
                                      record.synthesizedSpeech.begin(),
                                      record.synthesizedSpeech.end());
        result->postFloat.insert(result->postFloat.end(), record.postProcessedSpeech.begin(),
                                 record.postProcessedSpeech.end());
        const auto fields = cli::parameterFields(coder);
        for (std::size_t i = 0; i < parameterColumns; ++i)
            append(result->frames[i], fields[i].read(coder));
        if (run) {
            // Against the output as computed, as the frames export measures.
            const FrameMeasures values = measureRecord(record, options.measured);
            for (std::size_t m = 0; m < kSpectralMeasureCount; ++m)
                append(result->frames[parameterColumns + m],
                       values[m].value_or(std::numeric_limits<double>::quiet_NaN()));
            run->add(record);
        }
    }
    if (run) result->measures = run->finish();
    result->frameCount = coder.frameCount();
    result->segmentalSnr = coder.segmentalSnr();
    result->overallSnr = coder.overallSnr();
    return result;
}

std::string waveFileBytes(std::span<const std::int16_t> samples) {
    std::ostringstream file;
    const std::string bytes = inputBytes(samples);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.seekp(0);
    // The data size field holds 32 bits: a longer run states the largest
    // size the header can.
    constexpr std::uint64_t kLargestSize = std::numeric_limits<std::uint32_t>::max() - 36;
    writeWaveHeader(file, static_cast<std::uint32_t>(
                              std::min<std::uint64_t>(2 * samples.size(), kLargestSize)));
    return file.str();
}

FrameSignals frameSignals(EncodeResult& result, int frame) {
    const std::lock_guard lock(result.coderInUse);
    SpeechCoder& coder = *result.coder;
    if (frame < 1 || frame > result.frameCount || coder.goToFrame(frame) != FrameStep::coded)
        throw std::out_of_range("frame " + std::to_string(frame) + " is not among frames 1.." +
                                std::to_string(result.frameCount));
    FrameSignals signals;
    for (const cli::FrameField& field : cli::signalFields()) {
        const auto values = std::get<std::span<const double>>(field.read(coder));
        signals.signals.emplace_back(std::string(field.name),
                                     std::vector<double>(values.begin(), values.end()));
    }
    signals.spectra = frameSpectrumLevels(coder.currentFrame());
    return signals;
}

}  // namespace zorvel::python
