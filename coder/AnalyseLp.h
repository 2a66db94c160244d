// Helpers of the LP analysis stage: its windows, its lag window and the
// Levinson-Durbin recursion.
#pragma once

#include <array>
#include <span>

#include "coder/CoderMode.h"
#include "coder/Frame.h"

namespace zorvel {

inline constexpr int kLpWindowSamples = 240;

using LpWindow = std::array<double, kLpWindowSamples>;

// Levinson-Durbin, order 10: r[0..10] -> out[0..10] = a0..a10, out[11] = E10.
void levinsonDurbin(std::span<const double, kLpCoeffs> r, std::span<double, kLpCoeffs + 1> out);

// Lag window lambda[0..10]: white-noise correction 1.0001 and a 60 Hz Gaussian.
const std::array<double, kLpCoeffs>& lagWindow();

// The two analysis windows of a mode, built by the coder's constructor.
void buildLpWindows(CoderMode mode, LpWindow& windowI, LpWindow& windowII);

}  // namespace zorvel
