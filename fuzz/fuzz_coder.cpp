// libFuzzer target: any bytes as an input file, coded from an in-memory
// stream. The first byte picks the mode (all eight) and the adaptive switch,
// the next two a walk back and forth through the frames, the fourth the
// signal the encoding run writes; the fifth is spare. The rest is the file,
// read from byte 60 on like any input, cut to at most two frames: for speed,
// and so that the coder's last two records are all its records.
//
// Checked on every input: the encoding run codes exactly the whole frames the
// size gives and writes a stream of 60 + 320 frames bytes whose header states
// them and whose samples are the chosen signal of its records; a frame reached
// by jumps back and forth has the run's record, byte for byte.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>

#include "coder/SpeechCoder.h"

namespace {

using zorvel::CoderMode;
using zorvel::FrameRecord;
using zorvel::FrameStep;
using zorvel::kAllCoderModes;
using zorvel::kModeCount;
using zorvel::RunResult;
using zorvel::SaveOption;
using zorvel::SpeechCoder;
using zorvel::SpeechInput;

constexpr std::size_t kControlBytes = 5;
constexpr std::size_t kMaxFileBytes = zorvel::kSampleDataOffset + 2 * zorvel::kFrameBytes;

void fail(const char* what) {
    std::fprintf(stderr, "fuzz_coder: %s\n", what);
    std::abort();
}

std::unique_ptr<SpeechCoder> makeCoder(const std::string& file, CoderMode mode, bool noAdaptive) {
    return std::make_unique<SpeechCoder>(SpeechInput(std::make_unique<std::istringstream>(file)),
                                         mode,
                                         zorvel::CoderSettings{.adaptiveCodebook = !noAdaptive});
}

bool sameRecord(const FrameRecord& a, const FrameRecord& b) {
    return std::memcmp(&a, &b, sizeof(FrameRecord)) == 0;
}

std::uint32_t littleEndian32(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<std::uint8_t>(bytes[at + i]);
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kControlBytes) return 0;
    const CoderMode mode = kAllCoderModes[data[0] % kModeCount];
    const bool noAdaptive = (data[0] & 0x08) != 0;
    const std::string file(reinterpret_cast<const char*>(data) + kControlBytes,
                           std::min(size - kControlBytes, kMaxFileBytes));
    const auto frames = static_cast<int>(zorvel::framesInBytes(static_cast<long>(file.size())));

    // The encoding run into memory. Afterwards the coder holds the records
    // of the last two frames, which with at most two frames are all of them.
    const bool postProcessed = (data[3] & 1) != 0;
    auto run = makeCoder(file, mode, noAdaptive);
    std::stringstream out(std::string(zorvel::kSampleDataOffset, '\0'));
    if (run->encodeFile(out, postProcessed ? SaveOption::postProcessed : SaveOption::synthesized) !=
        RunResult::completed)
        fail("the encoding run failed");
    if (run->frameCount() != frames) fail("frame count differs from the file size");
    const FrameRecord* records[2] = {&run->previousFrame(), &run->currentFrame()};
    if (frames == 1) records[0] = records[1];
    const std::string written = out.str();
    // The stream starts as 60 zero bytes, so even a run without frames fills them.
    const std::size_t expected = 60 + static_cast<std::size_t>(frames) * zorvel::kFrameBytes;
    if (written.size() != expected) fail("output length differs from the frames coded");
    if (written.compare(0, 4, "RIFF") != 0 || written.compare(36, 4, "data") != 0)
        fail("output header missing");
    if (littleEndian32(written, 40) != static_cast<std::uint32_t>(frames) * zorvel::kFrameBytes)
        fail("header data size differs from the frames coded");
    for (int f = 0; f < frames; ++f) {
        const FrameRecord& record = *records[f];
        const auto& signal = postProcessed ? record.postProcessedSpeech : record.synthesizedSpeech;
        for (int n = 0; n < zorvel::kFrameSamples; ++n) {
            const std::size_t at = 60 + static_cast<std::size_t>(f * zorvel::kFrameSamples + n) * 2;
            const auto sample = static_cast<std::int16_t>(
                static_cast<std::uint16_t>(static_cast<std::uint8_t>(written[at]) |
                                           static_cast<std::uint8_t>(written[at + 1]) << 8));
            if (sample != zorvel::toSample(signal[n])) fail("a written sample is not the record's");
        }
    }

    // The same run front to back, as into a pipe: the same bytes (without a
    // frame, the header alone).
    auto inOrder = makeCoder(file, mode, noAdaptive);
    std::ostringstream sent;
    if (inOrder->encodeFileInOrder(
            sent, postProcessed ? SaveOption::postProcessed : SaveOption::synthesized) !=
            RunResult::completed ||
        sent.str() != written.substr(0, frames > 0 ? written.size() : zorvel::kWaveHeaderBytes))
        fail("the run in order differs from the seeking run");

    // Back and forth on a second coder: every frame reached holds the record
    // of the run, byte for byte (going back recodes from frame 1).
    auto walker = makeCoder(file, mode, noAdaptive);
    for (std::size_t i = 1; i < 3 && frames > 0; ++i) {
        const int target = data[i] % (frames + 1);
        if (walker->goToFrame(target) != FrameStep::coded || walker->frameCount() != target)
            fail("goToFrame missed its frame");
        if (target > 0 && !sameRecord(walker->currentFrame(), *records[target - 1]))
            fail("a frame coded again differs from the run's");
    }
    return 0;
}
