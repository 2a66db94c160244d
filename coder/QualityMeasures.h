// Helpers of the quality measures that end the frame pipeline.
#pragma once

#include <span>

namespace zorvel {

// SNR in dB of `test` against `reference`; 0 when either energy is not positive.
double computeSnr(std::span<const double> reference, std::span<const double> test);

// The mean of `count` values whose first count - 1 had the mean `mean`,
// after adding `value`; a count below 1 counts as 1.
double runningMean(double mean, int count, double value);

}  // namespace zorvel
