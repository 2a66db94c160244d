// The modulated-noise reference unit (MNRU), narrowband: a degradation of
// known strength that a listening test offers as its anchors. The input is
// band-limited to kMnruLowHz..kMnruHighHz (x below), multiplied by white
// Gaussian noise N(n) of unit variance, and the product is band-limited by the
// same filter and added at Q dB below the speech:
//     y(n) = x(n) + 10^(-Q/20) * b[x N](n)
// The band-pass b is scaled so that white noise keeps its power through it;
// x(n)N(n) is white with the power of x, so the noise term lies Q dB below
// x(n) whatever the speech (Q is the ratio of speech to modulated noise).
// N(n) comes from a seeded generator whose sequence the language defines, so
// an anchor is the same on every machine.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace zorvel {

inline constexpr double kMnruLowHz = 100.0;
inline constexpr double kMnruHighHz = 3800.0;
inline constexpr int kMnruFilterTaps = 257;  // odd: a centre tap, no half-sample delay

// The band-pass's taps: linear phase, applied centred (no delay).
std::vector<double> mnruBandPass();

// x band-limited by the band-pass: the part of the input the unit passes.
std::vector<double> mnruBandLimited(std::span<const double> input);

// y(n) of `input` (8 kHz samples) at `qDb`, with the noise of `seed`.
std::vector<double> modulatedNoise(std::span<const double> input, double qDb, std::uint64_t seed);

}  // namespace zorvel
