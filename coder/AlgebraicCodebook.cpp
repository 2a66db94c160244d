// Algebraic codebook, one subframe. Reads of currentFrame: `codebookTarget`
// x2, the subframe's impulse response h and, in mode 1, `ltpResidual`.
// Writes for the subframe: `backwardFilteredTarget` d, `impulseCorrelation`
// phi (whole matrix), `signSelector` b, `pulseSign` s, `pulsePositions`,
// `algebraicExcitation` (gc*c), `codebookGain` gc and `codebookGainApplied`
// (gc too; the quantised gain replaces it later where the coder quantises,
// and then the pulses' index joins the frame's `code`).
//
// d(n) = sum_{i>=n} x2(i) h(i-n) and phi(i, j) = sum_{k>=max(i,j)} h(k-i) h(k-j),
// each sum over increasing i or k, formed side by side (simd/Kernels.h).
// The sign of b(n) fixes the sign of a pulse at n; d and phi absorb the signs,
// so the search sees only unit pulses. The code vector c holds the chosen
// pulses (two at one position add up); gc = <x2, z> / <z, z> with z = c * h.
#include <algorithm>
#include <cmath>
#include <optional>

#include "coder/AlgebraicSearch.h"
#include "coder/Filters.h"
#include "coder/PulseCodes.h"
#include "coder/SpeechCoder.h"
#include "coder/Subframe.h"
#include "coder/simd/Kernels.h"

namespace zorvel {
namespace {

constexpr double kZeroNormReplacement = 1.0;
constexpr double kSilentCodeGain = 1.0;  // gc when the filtered code vector has no energy

double rootOrOne(std::span<const double> v) {
    double energy = 0.0;
    for (double x : v) energy += x * x;
    const double root = std::sqrt(energy);
    return root != 0.0 ? root : kZeroNormReplacement;
}

// b(n) from the LTP residual and d weighed by their norms, or from d alone.
void selectSigns(SignRule rule, ConstSubframeSpan ltpResidual, ConstSubframeSpan d, SubframeSpan b,
                 SubframeSpan s) {
    if (rule == SignRule::residualAndTarget) {
        const double Er = rootOrOne(ltpResidual);
        const double Ed = rootOrOne(d);
        for (int n = 0; n < kSubframeSamples; ++n) b[n] = ltpResidual[n] / Er + d[n] / Ed;
    } else {
        std::copy(d.begin(), d.end(), b.begin());
    }
    for (int n = 0; n < kSubframeSamples; ++n) s[n] = b[n] >= 0.0 ? 1.0 : -1.0;
}

}  // namespace

void SpeechCoder::searchAlgebraicCodebook(int a) {
    checkSubframe(a);
    FrameRecord& frame = *currentFrame_;
    const ConstSubframeSpan h = subframeImpulseResponse(frame, a);
    const ConstSubframeSpan x2 = subframeOf(frame.codebookTarget, a);
    const SubframeSpan d = subframeOf(frame.backwardFilteredTarget, a);
    const SubframeSpan b = subframeOf(frame.signSelector, a);
    const SubframeSpan s = subframeOf(frame.pulseSign, a);
    const SubframeSpan c = subframeOf(frame.algebraicExcitation, a);
    auto& phi = frame.impulseCorrelation;

    const simd::KernelSet& vector = simd::fastestKernels();
    vector.backwardFilter(x2.data(), h.data(), d.data());
    selectSigns(rulesOf(mode_).signRule, subframeOf(frame.ltpResidual, a), d, b, s);
    for (int n = 0; n < kSubframeSamples; ++n) d[n] *= s[n];
    vector.signedCorrelation(h.data(), s.data(), phi.data());

    PulseVector positions = searchPulsePositions(mode_, a, d, phi, b);
    std::fill(c.begin(), c.end(), 0.0);
    if (quantising()) {
        // The pulses as sent: the search's choice is always codable; were it
        // not, the code's first pulses would be sent and used instead.
        const std::optional<std::uint64_t> index = encodePulses(mode_, a, positions, s);
        const CodedPulses sent = decodePulses(mode_, a, index.value_or(0));
        positions = sent.positions;
        for (int k = 0; k < kPulsesPerSubframe; ++k)
            if (positions[k] != kNoPulse) c[positions[k]] += sent.signs[k];
        frame.code.add(CodedParameter::pulses, a, index.value_or(0), pulseCodeBits(mode_));
    } else {
        for (std::int32_t p : positions)
            if (p != kNoPulse) c[p] += s[p];
    }
    std::copy(positions.begin(), positions.end(),
              frame.pulsePositions.begin() + a * kPulsesPerSubframe);

    std::array<double, kSubframeSamples> z{};
    convolve(c, h, z);
    const double energy = dot(z, z);
    const double gc = energy != 0.0 ? dot(x2, z) / energy : kSilentCodeGain;
    frame.codebookGain[a] = gc;
    frame.codebookGainApplied[a] = gc;
    if (quantising()) keepUnscaledCode(a, c, z);
    for (double& value : c) value *= gc;
}

}  // namespace zorvel
