// Views of one 40-sample subframe of the frame record, shared by the subframe
// stages. Subframe a (0..3) is samples 40a..40a+39 of a 160-sample array; its
// preceding block is the 40 samples before it, taken from the previous
// frame's record for subframe 0. Subframes 0 and 1 use the first-half
// parameters (set I), subframes 2 and 3 the second-half ones (set II); with
// LP interpolation each subframe has its own LP set and impulse response.
#pragma once

#include <span>
#include <stdexcept>

#include "coder/Filters.h"
#include "coder/Frame.h"

namespace zorvel {

using SubframeSpan = std::span<double, kSubframeSamples>;
using ConstSubframeSpan = std::span<const double, kSubframeSamples>;

// Every subframe stage starts here: a subframe number outside 0..3 is a
// programming error that must not turn into an access outside the record.
inline void checkSubframe(int a) {
    if (a < 0 || a >= kSubframes) throw std::out_of_range("subframe number must be 0..3");
}

inline SubframeSpan subframeOf(Signal& s, int a) {
    return SubframeSpan(s.data() + a * kSubframeSamples, kSubframeSamples);
}

inline ConstSubframeSpan subframeOf(const Signal& s, int a) {
    return ConstSubframeSpan(s.data() + a * kSubframeSamples, kSubframeSamples);
}

// The block before subframe a of one array, `current` and `previous` being
// the same array of the two records.
inline ConstSubframeSpan precedingBlock(const Signal& current, const Signal& previous, int a) {
    return a == 0 ? subframeOf(previous, kSubframes - 1) : subframeOf(current, a - 1);
}

// sum p(n) q(n), n ascending.
inline double dot(std::span<const double> p, std::span<const double> q) {
    double sum = 0.0;
    for (std::size_t n = 0; n < p.size(); ++n) sum += p[n] * q[n];
    return sum;
}

inline bool inFirstHalf(int a) { return a * kSubframeSamples < kHalfFrameSamples; }

// The LP set of subframe a's synthesis filter 1/A(z): the synthesis, the
// zero-input response, the impulse response's poles and the post-filter.
inline const LpCoeffs& subframeLpCoeffs(const FrameRecord& frame, int a) {
    if (frame.lpQuantised) {
        if (frame.lpQuantisedInterpolated) return frame.lpCoeffsQuantisedInterpolated[a];
        return inFirstHalf(a) ? frame.lpCoeffsQuantisedI : frame.lpCoeffsQuantisedII;
    }
    if (frame.lpInterpolated) return frame.lpCoeffsInterpolated[a];
    return inFirstHalf(a) ? frame.lpCoeffsI : frame.lpCoeffsII;
}

// The LP set of subframe a's weighting filter W(z) = A(z/g1)/A(z/g2), which
// shapes the error the searches minimise: the analysed set, also where the
// synthesis filter's is another (a quantised one).
inline const LpCoeffs& subframeWeightingLpCoeffs(const FrameRecord& frame, int a) {
    if (frame.lpInterpolated) return frame.lpCoeffsInterpolated[a];
    return inFirstHalf(a) ? frame.lpCoeffsI : frame.lpCoeffsII;
}

// The synthesizeAndWeight block of subframe a that filters `input` into the
// subframe of `speech` and `weighted` of the current record, with the blocks
// before as the histories, W(z) with the factors `weighting`.
// W(z) with the subframe's weighting set (subframeWeightingLpCoeffs of
// `frame`), 1/A(z) with `lp`.
inline SynthesisBlock synthesisBlockOf(const FrameRecord& frame, const LpCoeffs& lp,
                                       std::span<const double> input, Signal& speech,
                                       const Signal& previousSpeech, Signal& weighted,
                                       const Signal& previousWeighted, int a,
                                       const FilterFactors& weighting) {
    return {lp,
            precedingBlock(speech, previousSpeech, a),
            precedingBlock(weighted, previousWeighted, a),
            input,
            subframeOf(speech, a),
            subframeOf(weighted, a),
            &weighting,
            &subframeWeightingLpCoeffs(frame, a)};
}

// h(0..39): the first 40 samples of the weighted synthesis filter's response.
// Whether each subframe has its own LP sets, and so its own impulse response.
inline bool subframesHaveOwnLp(const FrameRecord& frame) {
    return frame.lpInterpolated || frame.lpQuantisedInterpolated;
}

inline ConstSubframeSpan subframeImpulseResponse(const FrameRecord& frame, int a) {
    const ImpulseResponse& h = subframesHaveOwnLp(frame) ? frame.impulseResponseInterpolated[a]
                               : inFirstHalf(a)          ? frame.impulseResponseI
                                                         : frame.impulseResponseII;
    return ConstSubframeSpan(h.data(), kSubframeSamples);
}

inline int subframeOpenLoopLag(const FrameRecord& frame, int a) {
    return inFirstHalf(a) ? frame.openLoopLagI : frame.openLoopLagII;
}

}  // namespace zorvel
