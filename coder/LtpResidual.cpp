// Long-term prediction residual, one subframe. Reads `pitchLag` T and
// `pitchGain` gp of the subframe and `lpResidual` of currentFrame and, where
// the lag reaches before the frame, of previousFrame; writes `ltpResidual`
// for the subframe:
//     ltpResidual(n) = lpResidual(n) - gp * lpResidual(n - T).
// The prediction works on the LP residual's own past, not on the excitation.
#include <stdexcept>

#include "coder/SpeechCoder.h"
#include "coder/Subframe.h"

namespace zorvel {

void SpeechCoder::computeLtpResidual(int a) {
    checkSubframe(a);
    FrameRecord& frame = *currentFrame_;
    const Signal& past = previousFrame_->lpResidual;
    const Signal& e = frame.lpResidual;
    const int T = frame.pitchLag[a];
    const double gp = frame.pitchGain[a];
    // The lag search yields 15..146; anything beyond one frame of history
    // would read outside the records.
    if (T < 0 || T > kFrameSamples) throw std::out_of_range("pitch lag outside 0..160");
    for (int n = a * kSubframeSamples; n < (a + 1) * kSubframeSamples; ++n) {
        const int m = n - T;
        const double delayed = m >= 0 ? e[m] : past[kFrameSamples + m];
        frame.ltpResidual[n] = e[n] - gp * delayed;
    }
}

}  // namespace zorvel
