// Excitation and its pitch enhancement, one subframe. Reads
// `adaptiveExcitation` (gp*v), `algebraicExcitation` (gc*c) and
// `pitchGainApplied` gp of currentFrame and the coder mode; writes `excitation` u and
// `enhancedExcitation` u' for the subframe.
//
// u = gp*v + gc*c is the adaptive codebook's memory. When gp > 0.5 the pitch
// part is emphasised, u' = u + f*gp*(gp*v), and u' is scaled back to the
// energy of u, so the enhancement changes the shape but not the level.
#include <algorithm>
#include <cmath>

#include "coder/SpeechCoder.h"
#include "coder/Subframe.h"

namespace zorvel {
namespace {

constexpr double kMinEnhancedGain = 0.5;  // no enhancement at or below this gp
constexpr double kGentleFactor = 0.25;
constexpr double kGentleGainKnee = 1.0;
constexpr double kFactor = 0.4;
constexpr double kGainKnee = 0.8;
constexpr double kHighGainFactor = 0.5;
constexpr double kNoScaling = 1.0;

// f: the gentle rule emphasises less, and both grow with gp above their knee.
double enhancementFactor(EnhancementRule rule, double gp) {
    if (rule == EnhancementRule::gentle)
        return gp > kGentleGainKnee ? kGentleFactor * gp : kGentleFactor;
    return gp > kGainKnee ? kHighGainFactor * gp : kFactor;
}

}  // namespace

void SpeechCoder::buildExcitation(int a) {
    checkSubframe(a);
    FrameRecord& frame = *currentFrame_;
    const ConstSubframeSpan adaptive = subframeOf(frame.adaptiveExcitation, a);
    const ConstSubframeSpan algebraic = subframeOf(frame.algebraicExcitation, a);
    const SubframeSpan u = subframeOf(frame.excitation, a);
    const SubframeSpan enhanced = subframeOf(frame.enhancedExcitation, a);

    for (int n = 0; n < kSubframeSamples; ++n) u[n] = adaptive[n] + algebraic[n];
    std::copy(u.begin(), u.end(), enhanced.begin());

    const double gp = frame.pitchGainApplied[a];
    if (!settings_.enhancement || gp <= kMinEnhancedGain) return;

    double E1 = 0.0;
    for (double x : u) E1 += x * x;
    const double f = enhancementFactor(rulesOf(mode_).enhancementRule, gp);
    double E2 = 0.0;
    for (int n = 0; n < kSubframeSamples; ++n) {
        enhanced[n] = u[n] + f * gp * adaptive[n];
        E2 += enhanced[n] * enhanced[n];
    }
    const double g = E2 > 0.0 ? std::sqrt(E1 / E2) : kNoScaling;
    for (double& x : enhanced) x *= g;
}

}  // namespace zorvel
