// A second-order Butterworth high-pass for the coder's 8000 Hz input: the
// analog prototype's cut-off pre-warped (tan(pi fc / fs)), then the bilinear
// transform, so that the digital filter is 3.01 dB down exactly at the
// cut-off.
#pragma once

#include <span>

namespace zorvel {

// H(z) = (b0 + b1 z^-1 + b2 z^-2) / (1 + a1 z^-1 + a2 z^-2).
struct Biquad {
    double b0 = 1.0;
    double b1 = 0.0;
    double b2 = 0.0;
    double a1 = 0.0;
    double a2 = 0.0;
};

Biquad butterworthHighPass(double cutoffHz);

// |H(e^jw)| at `hz`.
double magnitudeAt(const Biquad& filter, double hz);

// The memory of the direct form I between blocks: the last two inputs and
// outputs (x1 the latest).
struct BiquadMemory {
    double x1 = 0.0, x2 = 0.0, y1 = 0.0, y2 = 0.0;
};

// Filters `in` into `out` (which may be `in`) from `memory` and leaves the
// memory after the block there.
void filterBlock(const Biquad& filter, BiquadMemory& memory, std::span<const double> in,
                 std::span<double> out);

// The filter with its memory: blocks filtered one after another give what
// the whole signal filtered at once gives.
class HighPassFilter {
  public:
    explicit HighPassFilter(double cutoffHz) : filter_(butterworthHighPass(cutoffHz)) {}
    void filter(std::span<const double> in, std::span<double> out) {
        filterBlock(filter_, memory_, in, out);
    }
    void reset() { memory_ = {}; }
    const Biquad& coefficients() const { return filter_; }

  private:
    Biquad filter_;
    BiquadMemory memory_;
};

}  // namespace zorvel
