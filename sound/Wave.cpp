// WAV header writer and the output sample conversion.
#include "sound/Wave.h"

#include <array>
#include <cmath>

namespace zorvel {
namespace {

void putLe(std::array<char, kWaveHeaderBytes>& bytes, int offset, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

void putText(std::array<char, kWaveHeaderBytes>& bytes, int offset, const char (&text)[5]) {
    for (int i = 0; i < 4; ++i) bytes[offset + i] = text[i];
}

}  // namespace

void writeWaveHeader(std::ostream& stream, std::uint32_t dataSize) {
    constexpr std::uint32_t kFmtChunkBytes = 16;
    constexpr std::uint32_t kPcm = 1;
    constexpr std::uint32_t kChannels = 1;
    constexpr std::uint32_t kBitsPerSample = 16;
    constexpr std::uint32_t kBlockAlign = kChannels * kBitsPerSample / 8;
    constexpr std::uint32_t kBytesPerSecond = kSampleRate * kBlockAlign;

    std::array<char, kWaveHeaderBytes> bytes{};
    putText(bytes, 0, "RIFF");
    putLe(bytes, 4, dataSize + 36, 4);
    putText(bytes, 8, "WAVE");
    putText(bytes, 12, "fmt ");
    putLe(bytes, 16, kFmtChunkBytes, 4);
    putLe(bytes, 20, kPcm, 2);
    putLe(bytes, 22, kChannels, 2);
    putLe(bytes, 24, kSampleRate, 4);
    putLe(bytes, 28, kBytesPerSecond, 4);
    putLe(bytes, 32, kBlockAlign, 2);
    putLe(bytes, 34, kBitsPerSample, 2);
    putText(bytes, 36, "data");
    putLe(bytes, 40, dataSize, 4);

    const auto position = stream.tellp();
    if (position == std::ostream::pos_type(-1)) {
        // The stream cannot say where it stands (its pending bytes failed to
        // be written, say): there is no position to come back to.
        stream.setstate(std::ios::badbit);
        return;
    }
    stream.seekp(0, std::ios::beg);
    stream.write(bytes.data(), bytes.size());
    stream.seekp(position);
}

std::int16_t toSample(double x) {
    constexpr double kLimit = 32767.0;
    if (std::isnan(x)) return 0;
    const double t = std::trunc(x);
    if (std::fabs(t) >= kLimit) return static_cast<std::int16_t>(x >= 0.0 ? kLimit : -kLimit);
    return static_cast<std::int16_t>(t);
}

}  // namespace zorvel
