// Impulse responses of the weighted synthesis filter W(z)/A(z) =
// A(z/g1) / (A(z/g2) A(z)), 80 samples, with g1 and g2 the settings gamma1
// and gamma2 (0.94 and 0.6 by default). Reads `lpCoeffsI` and `lpCoeffsII`
// (and with LP interpolation `lpCoeffsInterpolated`); writes
// `impulseResponseI` and `impulseResponseII` (and
// `impulseResponseInterpolated`) of currentFrame. A pole-zero pass gives
// A(z/g1)/A(z/g2), an all-pole pass over it adds 1/A(z).
#include "coder/Filters.h"
#include "coder/SpeechCoder.h"
#include "coder/Subframe.h"

namespace zorvel {
namespace {

using Response = ImpulseResponse;

// The two passes of one response as recursions sample by sample: p is the
// pole-zero pass, h the all-pole pass over p. Sample i of h waits only on
// sample i of p, and the two sets of coefficients run side by side, so four
// recursions overlap. Each sum keeps the order of the pass it comes from.
class ResponseRecursion {
  public:
    // `a` the synthesis filter's set, `w` the weighting filter's.
    ResponseRecursion(const LpCoeffs& a, const LpCoeffs& w, const FilterFactors& g, Response& h)
        : a_(a), h_(h) {
        for (int j = 1; j <= kLpOrder; ++j) {
            num_[j] = g.num[j - 1] * w[j];
            den_[j] = g.den[j - 1] * w[j];
        }
    }

    void step(int i) {
        const double num = i >= 1 && i <= kLpOrder ? num_[i] : 0.0;
        double den = 0.0;
        for (int j = 1; j <= kLpOrder && j <= i; ++j) den += den_[j] * p_[i - j];
        p_[i] = (i == 0 ? 1.0 : 0.0) + (num - den);
        double value = p_[i];
        for (int j = 1; j <= kLpOrder && j <= i; ++j) value -= a_[j] * h_[i - j];
        h_[i] = value;
    }

  private:
    const LpCoeffs& a_;
    Response& h_;
    std::array<double, kLpOrder + 1> num_{};  // 0.94^j a_j
    std::array<double, kLpOrder + 1> den_{};  // 0.6^j a_j
    Response p_{};
};

// The responses of two sets side by side; each pole set with its weighting
// set (the same one unless the poles are quantised).
void computePair(const LpCoeffs& a, const LpCoeffs& wa, Response& h, const LpCoeffs& b,
                 const LpCoeffs& wb, Response& g, const FilterFactors& weighting) {
    ResponseRecursion first(a, wa, weighting, h);
    ResponseRecursion second(b, wb, weighting, g);
    for (int i = 0; i < kImpulseResponseSamples; ++i) {
        first.step(i);
        second.step(i);
    }
}

}  // namespace

void SpeechCoder::computeImpulseResponses() {
    FrameRecord& frame = *currentFrame_;
    // The poles are the synthesis filter's sets (the quantised ones where the
    // coder quantises), the zeros the weighting filter's (the analysed ones).
    const LpCoeffs& polesI = frame.lpQuantised ? frame.lpCoeffsQuantisedI : frame.lpCoeffsI;
    const LpCoeffs& polesII = frame.lpQuantised ? frame.lpCoeffsQuantisedII : frame.lpCoeffsII;
    computePair(polesI, frame.lpCoeffsI, frame.impulseResponseI, polesII, frame.lpCoeffsII,
                frame.impulseResponseII, weighting_);
    if (!subframesHaveOwnLp(frame)) return;
    // Each subframe's own response: that of a subframe whose sets are set
    // I's or set II's is there already, the others are computed two by two.
    std::array<int, kSubframes> pending{};
    int count = 0;
    for (int a = 0; a < kSubframes; ++a) {
        const LpCoeffs& poles = subframeLpCoeffs(frame, a);
        const LpCoeffs& zeros = subframeWeightingLpCoeffs(frame, a);
        Response& h = frame.impulseResponseInterpolated[a];
        if (poles == polesI && zeros == frame.lpCoeffsI)
            h = frame.impulseResponseI;
        else if (poles == polesII && zeros == frame.lpCoeffsII)
            h = frame.impulseResponseII;
        else
            pending[count++] = a;
    }
    int k = 0;
    for (; k + 1 < count; k += 2) {
        const int a = pending[k];
        const int b = pending[k + 1];
        computePair(subframeLpCoeffs(frame, a), subframeWeightingLpCoeffs(frame, a),
                    frame.impulseResponseInterpolated[a], subframeLpCoeffs(frame, b),
                    subframeWeightingLpCoeffs(frame, b), frame.impulseResponseInterpolated[b],
                    weighting_);
    }
    if (k < count) {
        const int a = pending[k];
        ResponseRecursion alone(subframeLpCoeffs(frame, a), subframeWeightingLpCoeffs(frame, a),
                                weighting_, frame.impulseResponseInterpolated[a]);
        for (int i = 0; i < kImpulseResponseSamples; ++i) alone.step(i);
    }
}

}  // namespace zorvel
