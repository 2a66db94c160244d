// Frame record clearing and the frame reader.
// readFrame reads 160 signed 16-bit little-endian samples from the coder's
// input into record.speech; a frame that cannot be read whole is dropped.
#include "coder/Frame.h"

#include <algorithm>

#include "coder/SpeechCoder.h"

namespace zorvel {

void clearFrameRecord(FrameRecord& record) {
    record = FrameRecord{};  // value-initialisation zeroes every field
    record.pulsePositions.fill(kNoPulse);
}

int readFrame(FrameRecord& record, SpeechCoder& coder) {
    clearFrameRecord(record);
    std::array<char, 2 * kFrameSamples> bytes{};
    coder.input.read(bytes.data(), bytes.size());
    const auto got = static_cast<int>(coder.input.gcount());
    const int whole = got / 2;
    for (int i = 0; i < whole; ++i) {
        const auto lo = static_cast<std::uint8_t>(bytes[2 * i]);
        const auto hi = static_cast<std::uint8_t>(bytes[2 * i + 1]);
        record.speech[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(lo | (hi << 8)));
    }
    return got == static_cast<int>(bytes.size()) ? 0 : 1;
}

}  // namespace zorvel
