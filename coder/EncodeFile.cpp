// The encoding run: codes the whole input frame by frame and writes the
// chosen output signal of every frame as 16-bit samples from byte 60, then
// the 44-byte WAV header. Reads `synthesizedSpeech` (SaveOption 1 and any
// value other than 2) or `postProcessedSpeech` (SaveOption 2) of each new
// current record.
//
// The run refuses to start (result 1) before it opens anything for writing
// when the input cannot be read (missing, unreadable, a directory, a read
// error at its first sample) or when the output names the input file itself,
// by any path or link; it reports a failed write (a full disk, say) or a
// read error later in the input as 1 after closing both files.
#include <algorithm>
#include <array>
#include <limits>
#include <system_error>

#include "coder/SpeechCoder.h"
#include "sound/Wave.h"

namespace zorvel {
namespace {

bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code error;
    if (!std::filesystem::exists(b, error)) return false;
    const bool same = std::filesystem::equivalent(a, b, error);
    return same && !error;
}

// Whether the input yields data: a first read that fails with an error (not
// with the end of the file) means nothing can be coded. The stream is put
// back where it was either way.
bool inputReadable(std::ifstream& input) {
    const auto position = input.tellg();
    input.peek();
    const bool readable = !input.bad();
    input.clear();
    input.seekg(position);
    return readable && !input.fail();
}

// The data size field holds 32 bits; a longer run keeps the largest size
// the header can state.
std::uint32_t headerDataSize(std::int64_t frames) {
    constexpr std::int64_t kMax = std::numeric_limits<std::uint32_t>::max() - 36;
    const std::int64_t bytes = frames * kFrameSamples * 2;
    return static_cast<std::uint32_t>(std::min(bytes, kMax));
}

}  // namespace

int SpeechCoder::encodeFile(const std::filesystem::path& outputName, int saveOption) {
    std::error_code error;
    if (!input.is_open() || input.fail() || std::filesystem::is_directory(inputName_, error))
        return 1;
    if (!inputReadable(input)) return 1;
    if (sameFile(inputName_, outputName)) return 1;

    output.open(outputName, std::ios::binary | std::ios::trunc);
    if (!output.is_open()) return 1;
    // Samples start at byte 60; the bytes before it read as zero until the
    // header is written over 0..43 at the end.
    output.seekp(kSampleDataOffset);
    if (output.fail()) {
        output.close();
        input.close();
        return 1;
    }

    setCheckpoints(nullptr);  // one pass from start to end never jumps
    const bool postProcessed = saveOption == kSavePostProcessed;
    std::array<char, 2 * kFrameSamples> bytes{};
    std::int64_t framesWritten = 0;  // this run's frames, wherever the coder stood before it
    while (nextFrame() == 0) {
        const Signal& signal =
            postProcessed ? currentFrame_->postProcessedSpeech : currentFrame_->synthesizedSpeech;
        for (int i = 0; i < kFrameSamples; ++i) {
            const auto sample = static_cast<std::uint16_t>(toSample(signal[i]));
            bytes[2 * i] = static_cast<char>(sample & 0xFF);
            bytes[2 * i + 1] = static_cast<char>(sample >> 8);
        }
        output.write(bytes.data(), bytes.size());
        if (output.fail()) break;  // nothing more can reach the file
        ++framesWritten;
    }
    writeWaveHeader(output, headerDataSize(framesWritten));
    output.flush();
    const bool writeFailed = output.fail();
    output.close();
    const bool closeFailed = output.fail();
    const bool readFailed = input.bad();  // the input ended in an error, not at its end
    input.close();
    return writeFailed || closeFailed || readFailed ? 1 : 0;
}

}  // namespace zorvel
