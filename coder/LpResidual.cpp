// LP residual e(n) = s(n) + sum_j a_j s(n-j). Reads `speech`, `lpCoeffsI`
// (samples 0..79) and `lpCoeffsII` (80..159) of currentFrame and the last ten
// samples of `speech` of previousFrame; writes `lpResidual` of currentFrame.
#include "coder/SpeechCoder.h"

namespace zorvel {

void SpeechCoder::computeLpResidual() {
    FrameRecord& frame = *currentFrame_;
    const Signal& past = previousFrame_->speech;
    const Signal& s = frame.speech;
    for (int n = 0; n < kFrameSamples; ++n) {
        const LpCoeffs& a = n < kHalfFrameSamples ? frame.lpCoeffsI : frame.lpCoeffsII;
        double e = s[n];
        for (int j = 1; j <= kLpOrder; ++j)
            e += a[j] * (n - j >= 0 ? s[n - j] : past[kFrameSamples + n - j]);
        frame.lpResidual[n] = e;
    }
}

}  // namespace zorvel
