// The lengths of a subframe and of its pulse list. Plain constants only: the
// vector kernels, each built for its own instruction set, include this header
// too, and nothing here may become code shared between them.
#pragma once

namespace zorvel {

inline constexpr int kSubframeSamples = 40;  // 5 ms; phi is kSubframeSamples squared
inline constexpr int kSubframes = 4;         // per frame
inline constexpr int kPulsesPerSubframe = 10;
inline constexpr int kNoPulse = -1;  // an unused pulse or position

}  // namespace zorvel
