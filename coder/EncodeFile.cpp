// The encoding run: codes the whole input frame by frame and writes the
// chosen output signal of every frame as 16-bit samples from byte 60, then
// the 44-byte WAV header. Reads `synthesizedSpeech` (SaveOption 1 and any
// value other than 2) or `postProcessedSpeech` (SaveOption 2) of each new
// current record.
//
// The run refuses to start (result 1) before it opens anything for writing
// when the input cannot be used (not a regular file, unreadable, a read error
// at its first sample) or when the output names the input file itself, by any
// path or link; it reports a failed write (a full disk, say) or a read error
// later in the input as 1 after closing both files. Given a name, the run
// writes into a staged file (files/StagedOutput.h) that takes the name only
// when the run has completed, so a failure never harms an existing output.
//
// Written front to back (encodeFileInOrder), the run sends the same bytes in
// file order: the bytes before the samples as the seeking run leaves them, for
// the whole frames the input holds at the start, then the samples. Those
// frames are all it codes; an input that ends earlier or holds more by then
// fails the run (inputChanged), since the header already sent states another
// length.
#include <algorithm>
#include <array>
#include <limits>
#include <sstream>
#include <string>

#include "coder/SpeechCoder.h"
#include "files/StagedOutput.h"
#include "sound/DescriptorStream.h"
#include "sound/Wave.h"

namespace zorvel {
namespace {

// The data size field holds 32 bits; a longer run keeps the largest size
// the header can state.
std::uint32_t headerDataSize(std::int64_t frames) {
    constexpr std::int64_t kMax = std::numeric_limits<std::uint32_t>::max() - 36;
    const std::int64_t bytes = frames * kFrameSamples * 2;
    return static_cast<std::uint32_t>(std::min(bytes, kMax));
}

// The bytes before the samples of an output of `frames` frames, as the
// seeking run leaves them (by the same header writer): the header over the
// zeros up to byte 60, or the header alone when no sample follows.
std::string bytesBeforeSamples(std::int64_t frames) {
    std::ostringstream bytes;
    bytes << std::string(kSampleDataOffset, '\0');
    writeWaveHeader(bytes, headerDataSize(frames));
    std::string before = bytes.str();
    before.resize(frames > 0 ? kSampleDataOffset : kWaveHeaderBytes);
    return before;
}

}  // namespace

bool SpeechCoder::codeFrameBytes(SaveOption saveOption,
                                 std::array<char, 2 * kFrameSamples>& bytes) {
    if (nextFrame() != FrameStep::coded) return false;
    const Signal& signal = saveOption == SaveOption::postProcessed
                               ? currentFrame_->postProcessedSpeech
                               : currentFrame_->synthesizedSpeech;
    for (int i = 0; i < kFrameSamples; ++i) {
        const auto sample = static_cast<std::uint16_t>(toSample(signal[i]));
        bytes[2 * i] = static_cast<char>(sample & 0xFF);
        bytes[2 * i + 1] = static_cast<char>(sample >> 8);
    }
    return true;
}

RunResult SpeechCoder::encodeFile(const std::filesystem::path& outputName, SaveOption saveOption) {
    runError_ = 0;
    runReadError_ = 0;
    if (!input.usable() || input.isFile(outputName)) return RunResult::failed;
    // A name is a file here, also "-", which the staging reads as standard output.
    const std::filesystem::path name = outputName == "-" ? "./-" : outputName;
    try {
        if (outputPlace(name) == OutputPlace::InPlace) {
            DescriptorStream stream(openInPlace(name, ReaderWait::refuse));
            const RunResult result = encodeFileInOrder(stream, saveOption);
            stream.flush();
            if (result == RunResult::failed) runError_ = stream.firstError();
            return result;
        }
        StagingArea area;
        StagedFile staged(area, name);
        DescriptorStream stream(staged.descriptor());
        const RunResult result = encodeFile(static_cast<std::ostream&>(stream), saveOption);
        if (result == RunResult::failed) runError_ = stream.firstError();
        if (result != RunResult::completed) return result;  // the staged file goes with `staged`
        staged.commit(true);
        return RunResult::completed;
    } catch (const FileError& error) {
        runError_ = error.error();
        input.close();
        return RunResult::failed;
    }
}

bool SpeechCoder::goesOn(std::int64_t framesWritten) const {
    return !frameWritten || frameWritten(framesWritten);
}

RunResult SpeechCoder::encodeFile(std::ostream& stream, SaveOption saveOption) {
    runReadError_ = 0;
    if (!input.usable()) return RunResult::failed;
    // Samples start at byte 60; the bytes before it read as zero until the
    // header is written over 0..43 at the end.
    stream.seekp(kSampleDataOffset);
    if (stream.fail()) {
        input.close();
        return RunResult::failed;
    }

    setCheckpoints(nullptr);  // one pass from start to end never jumps
    std::array<char, 2 * kFrameSamples> bytes{};
    std::int64_t framesWritten = 0;  // this run's frames, wherever the coder stood before it
    bool stopped = false;
    while (codeFrameBytes(saveOption, bytes)) {
        stream.write(bytes.data(), bytes.size());
        if (stream.fail()) break;  // nothing more can reach the file
        ++framesWritten;
        if (!goesOn(framesWritten)) {
            stopped = true;
            break;
        }
    }
    writeWaveHeader(stream, headerDataSize(framesWritten));
    stream.flush();
    const bool writeFailed = stream.fail();
    const bool readFailed = input.failed();  // the input ended in an error, not at its end
    runReadError_ = input.readError();
    input.close();
    if (writeFailed || readFailed) return RunResult::failed;
    return stopped ? RunResult::stopped : RunResult::completed;
}

RunResult SpeechCoder::encodeFileInOrder(std::ostream& stream, SaveOption saveOption) {
    runReadError_ = 0;
    if (!input.usable()) return RunResult::failed;
    const std::int64_t frames = input.framesLeft();
    const std::string header = bytesBeforeSamples(frames);
    stream.write(header.data(), static_cast<std::streamsize>(header.size()));
    stream.flush();  // a reader has the header at once, not after the first buffer

    setCheckpoints(nullptr);
    std::array<char, 2 * kFrameSamples> bytes{};
    std::int64_t framesWritten = 0;
    bool stopped = false;
    while (!stream.fail() && framesWritten < frames && codeFrameBytes(saveOption, bytes)) {
        stream.write(bytes.data(), bytes.size());
        if (stream.fail()) break;
        ++framesWritten;
        if (!goesOn(framesWritten)) {
            stopped = true;
            break;
        }
    }
    stream.flush();
    const bool writeFailed = stream.fail();
    const bool readFailed = input.failed();
    runReadError_ = input.readError();
    const bool changed = framesWritten < frames || input.framesLeft() > 0;
    input.close();
    if (writeFailed || readFailed) return RunResult::failed;
    if (stopped) return RunResult::stopped;
    return changed ? RunResult::inputChanged : RunResult::completed;
}

}  // namespace zorvel
