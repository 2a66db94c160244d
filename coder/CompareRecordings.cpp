// The figures of CompareRecordings.h: frame by frame as a coding run takes
// them (computeSnr, measureFrame), and STOI and ESTOI of the whole; the
// alignment by one cross-correlation through the FFT.
#include "coder/CompareRecordings.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "coder/Intelligibility.h"
#include "coder/QualityMeasures.h"
#include "dsp/Fftn.h"

namespace zorvel {
namespace {

constexpr double kUndefinedSnr = 0.0;  // dB, as the coder gives it when S or N is not positive

// The smallest power of two not below n.
std::size_t powerOfTwoAtLeast(std::size_t n) {
    std::size_t p = 1;
    while (p < n) p *= 2;
    return p;
}

}  // namespace

RecordingComparison compareRecordings(std::span<const double> reference,
                                      std::span<const double> degraded, std::int64_t delay) {
    RecordingComparison result;
    result.delay = delay;
    const auto skip = [](std::span<const double> x, std::int64_t n) {
        return x.subspan(std::min(x.size(), static_cast<std::size_t>(n)));
    };
    if (delay > 0) degraded = skip(degraded, delay);
    if (delay < 0) reference = skip(reference, -delay);
    const std::size_t length = std::min(reference.size(), degraded.size());
    reference = reference.first(length);
    degraded = degraded.first(length);
    result.samples = static_cast<std::int64_t>(length);

    double S = 0.0;
    double N = 0.0;
    double frameSnrSum = 0.0;
    const std::size_t frames = length / kFrameSamples;
    for (std::size_t k = 0; k < frames; ++k) {
        const MeasureFrame s(reference.data() + k * kFrameSamples, kFrameSamples);
        const MeasureFrame out(degraded.data() + k * kFrameSamples, kFrameSamples);
        frameSnrSum += computeSnr(s, out);
        for (int n = 0; n < kFrameSamples; ++n) {
            S += s[n] * s[n];
            N += (s[n] - out[n]) * (s[n] - out[n]);
        }
        result.measures.add(measureFrame(s, out));
    }
    result.frames = static_cast<int>(frames);
    if (frames > 0) result.segmentalSnr = frameSnrSum / static_cast<double>(frames);
    const double ratio = S / N;
    result.overallSnr =
        S > 0.0 && N > 0.0 && std::isfinite(ratio) ? 10.0 * std::log10(ratio) : kUndefinedSnr;
    result.measures.addFile(fileFigures(reference, degraded));
    return result;
}

std::int64_t alignDelay(std::span<const double> reference, std::span<const double> degraded) {
    // A minute of each is plenty for a delay of at most a second, and keeps
    // the transforms small whatever the recordings' length.
    reference = reference.first(std::min<std::size_t>(reference.size(), kAlignSamples));
    degraded = degraded.first(std::min<std::size_t>(degraded.size(), kAlignSamples));
    const std::size_t shorter = std::min(reference.size(), degraded.size());
    if (shorter == 0) return 0;
    const auto maxLag =
        static_cast<std::int64_t>(std::min<std::size_t>(kMaxAlignDelay, shorter - 1));
    // r(d) = sum_n x(n) y(n + d) = IDFT(conj(X) Y)(d), linear once both are
    // padded to at least the sum of their lengths; d < 0 at P + d.
    const std::size_t P = powerOfTwoAtLeast(reference.size() + degraded.size());
    std::vector<double> xRe(P, 0.0), xIm(P, 0.0), yRe(P, 0.0), yIm(P, 0.0);
    std::copy(reference.begin(), reference.end(), xRe.begin());
    std::copy(degraded.begin(), degraded.end(), yRe.begin());
    const int dims[] = {static_cast<int>(P)};
    fftn(1, dims, xRe.data(), xIm.data(), -1, 0.0);
    fftn(1, dims, yRe.data(), yIm.data(), -1, 0.0);
    for (std::size_t k = 0; k < P; ++k) {
        const double re = xRe[k] * yRe[k] + xIm[k] * yIm[k];  // conj(X) Y
        const double im = xRe[k] * yIm[k] - xIm[k] * yRe[k];
        xRe[k] = re;
        xIm[k] = im;
    }
    fftn(1, dims, xRe.data(), xIm.data(), 1, 0.0);
    const auto r = [&](std::int64_t d) {
        return xRe[static_cast<std::size_t>(d >= 0 ? d : static_cast<std::int64_t>(P) + d)];
    };
    std::int64_t best = 0;
    double bestValue = r(0);
    for (std::int64_t lag = 1; lag <= maxLag; ++lag) {
        for (const std::int64_t d : {lag, -lag}) {
            if (r(d) > bestValue) {
                bestValue = r(d);
                best = d;
            }
        }
    }
    return bestValue > 0.0 ? best : 0;
}

}  // namespace zorvel
