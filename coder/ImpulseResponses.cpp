// Impulse responses of the weighted synthesis filter W(z)/A(z) =
// A(z/0.94) / (A(z/0.6) A(z)), 80 samples. Reads `lpCoeffsI` and
// `lpCoeffsII`; writes `impulseResponseI` and `impulseResponseII` of
// currentFrame. A pole-zero pass gives A(z/0.94)/A(z/0.6), an all-pole pass
// in place adds 1/A(z).
#include "coder/Filters.h"
#include "coder/SpeechCoder.h"

namespace zorvel {
namespace {

void weightedSynthesisResponse(const LpCoeffs& a, std::array<double, kImpulseResponseSamples>& h) {
    const FilterFactors& g = weightingFactors();
    h.fill(0.0);
    h[0] += 1.0;
    for (int i = 0; i < kImpulseResponseSamples; ++i) {
        const double num = i >= 1 && i <= kLpOrder ? g.num[i - 1] * a[i] : 0.0;
        double den = 0.0;
        for (int j = 1; j <= kLpOrder && j <= i; ++j) den += g.den[j - 1] * a[j] * h[i - j];
        h[i] += num - den;
    }
    for (int i = 0; i < kImpulseResponseSamples; ++i)
        for (int j = 1; j <= kLpOrder && j <= i; ++j) h[i] -= a[j] * h[i - j];
}

}  // namespace

void SpeechCoder::computeImpulseResponses() {
    FrameRecord& frame = *currentFrame_;
    weightedSynthesisResponse(frame.lpCoeffsI, frame.impulseResponseI);
    weightedSynthesisResponse(frame.lpCoeffsII, frame.impulseResponseII);
}

}  // namespace zorvel
