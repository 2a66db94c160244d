// LP residual e(n) = s(n) + sum_j a_j s(n-j). Reads `speech` and each
// subframe's LP set (`lpCoeffsI` for samples 0..79 and `lpCoeffsII` for
// 80..159, or the interpolated sets) of currentFrame and the last ten
// samples of `speech` of previousFrame; writes `lpResidual` of currentFrame.
#include "coder/SpeechCoder.h"
#include "coder/Subframe.h"

namespace zorvel {

void SpeechCoder::computeLpResidual() {
    FrameRecord& frame = *currentFrame_;
    const Signal& past = previousFrame_->speech;
    const Signal& s = frame.speech;
    for (int sf = 0; sf < kSubframes; ++sf) {
        const LpCoeffs& a = subframeLpCoeffs(frame, sf);
        for (int n = sf * kSubframeSamples; n < (sf + 1) * kSubframeSamples; ++n) {
            double e = s[n];
            for (int j = 1; j <= kLpOrder; ++j)
                e += a[j] * (n - j >= 0 ? s[n - j] : past[kFrameSamples + n - j]);
            frame.lpResidual[n] = e;
        }
    }
}

}  // namespace zorvel
