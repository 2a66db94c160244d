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

// The filter with its memory: blocks filtered one after another give what
// the whole signal filtered at once gives.
class HighPassFilter {
  public:
    explicit HighPassFilter(double cutoffHz) : filter_(butterworthHighPass(cutoffHz)) {}
    void filter(std::span<const double> in, std::span<double> out);
    void reset() { x1_ = x2_ = y1_ = y2_ = 0.0; }
    const Biquad& coefficients() const { return filter_; }

  private:
    Biquad filter_;
    double x1_ = 0.0, x2_ = 0.0, y1_ = 0.0, y2_ = 0.0;  // direct form I memory
};

}  // namespace zorvel
