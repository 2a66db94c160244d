// The WAV header of the system's output files. Sample data always begins at
// byte 60: the 44-byte header sits at bytes 0..43 and bytes 44..59 are zero.
#pragma once

#include <cstdint>
#include <ostream>

namespace zorvel {

inline constexpr int kWaveHeaderBytes = 44;
inline constexpr int kSampleDataOffset = 60;
inline constexpr int kSampleRate = 8000;

// Writes bytes 0..43 (RIFF/WAVE, PCM, mono, 8000 Hz, 16 bits, the given data
// size) and leaves the stream's write position where it was. A stream that
// cannot tell its position is left failed (badbit) and nothing is written.
void writeWaveHeader(std::ostream& stream, std::uint32_t dataSize);

// The 16-bit sample of an output value: truncated toward zero, clipped to
// +/-32767; NaN gives 0, the infinities +/-32767.
std::int16_t toSample(double x);

}  // namespace zorvel
