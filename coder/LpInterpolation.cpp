// LP interpolation between subframes, when the settings ask for it. Reads
// `lpCoeffsI` and `lpCoeffsII` of currentFrame and `lsfII` of previousFrame;
// writes `lpInterpolated`, `lpCoeffsInterpolated` and `lsfII` of
// currentFrame. Where the coder quantises, the quantised sets are
// interpolated alike for the synthesis filter (`lsfQuantisedI`/`II` of
// currentFrame and `lsfQuantisedII` of previousFrame into
// `lpCoeffsQuantisedInterpolated`), the analysed ones for the weighting
// filter.
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

// Each subframe's set from the previous frame's last set `past` and the
// frame's sets (I and II; one set: II), as the comment above describes;
// `asSetI` and `asSetII` are the LP sets of `first` and `second`.
void interpolateSets(bool twoSets, const LineSpectralFrequencies* past,
                     const LineSpectralFrequencies& first, const LineSpectralFrequencies& second,
                     const LpCoeffs& asSetI, const LpCoeffs& asSetII,
                     std::array<LpCoeffs, kSubframes>& sets) {
    if (twoSets) {
        sets[0] = past ? lsfToLp(interpolateLsf(*past, first, 0.5)) : asSetI;
        sets[1] = asSetI;
        sets[2] = lsfToLp(interpolateLsf(first, second, 0.5));
        sets[3] = asSetII;
    } else {
        for (int a = 0; a < kSubframes - 1; ++a)
            sets[a] = past ? lsfToLp(interpolateLsf(*past, second, (a + 1) / 4.0)) : asSetII;
        sets[kSubframes - 1] = asSetII;
    }
}

}  // namespace

void SpeechCoder::interpolateLp() {
    FrameRecord& frame = *currentFrame_;
    const FrameRecord& previous = *previousFrame_;
    // The quantised sets always have frequencies; the first frame starts
    // from the silent past.
    if (frame.lpQuantised) {
        const LineSpectralFrequencies& past =
            frameCount_ == 1 ? silentLsf() : LineSpectralFrequencies(previous.lsfQuantisedII);
        interpolateSets(rulesOf(mode_).twoLpAnalyses, &past, frame.lsfQuantisedI,
                        frame.lsfQuantisedII, frame.lpCoeffsQuantisedI, frame.lpCoeffsQuantisedII,
                        frame.lpCoeffsQuantisedInterpolated);
        frame.lpQuantisedInterpolated = true;
    }
    // The record comes cleared (readFrame): no interpolation and no
    // frequencies until they are found.
    const std::optional<LineSpectralFrequencies> second = lpToLsf(frame.lpCoeffsII);
    if (!second) return;
    frame.lsfII = *second;

    std::optional<LineSpectralFrequencies> past;
    if (frameCount_ == 1)
        past = silentLsf();
    else if (previous.lsfII[0] > 0.0)
        past = previous.lsfII;

    std::optional<LineSpectralFrequencies> first = second;
    if (rulesOf(mode_).twoLpAnalyses) {
        first = lpToLsf(frame.lpCoeffsI);
        if (!first) return;
    }
    interpolateSets(rulesOf(mode_).twoLpAnalyses, past ? &*past : nullptr, *first, *second,
                    frame.lpCoeffsI, frame.lpCoeffsII, frame.lpCoeffsInterpolated);
    frame.lpInterpolated = true;
}

}  // namespace zorvel
