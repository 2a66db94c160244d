// Helpers of the quality measures that end the frame pipeline.
#pragma once

namespace zorvel {

// The mean of `count` values whose first count - 1 had the mean `mean`,
// after adding `value`; a count below 1 counts as 1.
double runningMean(double mean, int count, double value);

}  // namespace zorvel
