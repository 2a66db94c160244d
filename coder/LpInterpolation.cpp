// LP interpolation between subframes, when the settings ask for it. Reads
// `lpCoeffsI` and `lpCoeffsII` of currentFrame and `lsfII` of previousFrame;
// writes `lpInterpolated`, `lpCoeffsInterpolated` and `lsfII` of
// currentFrame.
//
// The sets are interpolated in line spectral frequencies, in which
// interpolated sets stay ordered and so every filter stays stable. With two
// sets a frame (12.2 kbit/s): subframe 0 half-way between the previous
// frame's set II and set I, subframe 1 set I, subframe 2 half-way between I
// and II, subframe 3 set II. With one set: 3/4, 1/2, 1/4 and 0 of the
// previous frame's frequencies. Where a subframe's weight falls wholly on one
// analysed set, that set is used as analysed.
//
// Before the first frame the past is silent, A(z) = 1. Where a set has no
// frequencies (a filter the search cannot take apart), the frame keeps the
// sets as analysed and the next frame starts from its own set.
#include <optional>

#include "coder/Lsf.h"
#include "coder/SpeechCoder.h"

namespace zorvel {
namespace {

// The frequencies of A(z) = 1, the silent past: k pi / 11.
const LineSpectralFrequencies& silentPast() {
    static const LineSpectralFrequencies w = [] {
        LpCoeffs flat{};
        flat[0] = 1.0;
        return *lpToLsf(flat);
    }();
    return w;
}

}  // namespace

void SpeechCoder::interpolateLp() {
    FrameRecord& frame = *currentFrame_;
    const FrameRecord& previous = *previousFrame_;
    // The record comes cleared (readFrame): no interpolation and no
    // frequencies until they are found.
    const std::optional<LineSpectralFrequencies> second = lpToLsf(frame.lpCoeffsII);
    if (!second) return;
    frame.lsfII = *second;

    std::optional<LineSpectralFrequencies> past;
    if (frameCount_ == 1)
        past = silentPast();
    else if (previous.lsfII[0] > 0.0)
        past = previous.lsfII;

    auto& sets = frame.lpCoeffsInterpolated;
    if (rulesOf(mode_).twoLpAnalyses) {
        const std::optional<LineSpectralFrequencies> first = lpToLsf(frame.lpCoeffsI);
        if (!first) return;
        sets[0] = past ? lsfToLp(interpolateLsf(*past, *first, 0.5)) : frame.lpCoeffsI;
        sets[1] = frame.lpCoeffsI;
        sets[2] = lsfToLp(interpolateLsf(*first, *second, 0.5));
        sets[3] = frame.lpCoeffsII;
    } else {
        for (int a = 0; a < kSubframes - 1; ++a)
            sets[a] =
                past ? lsfToLp(interpolateLsf(*past, *second, (a + 1) / 4.0)) : frame.lpCoeffsII;
        sets[kSubframes - 1] = frame.lpCoeffsII;
    }
    frame.lpInterpolated = true;
}

}  // namespace zorvel
