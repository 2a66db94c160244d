// The band-pass is the difference of two windowed-sinc low-passes (Blackman
// window), so its pass band is flat and its phase linear; the noise is
// Box-Muller from 64-bit Mersenne twister words.
#include "listening/ModulatedNoise.h"

#include <cmath>
#include <numbers>
#include <random>

#include "sound/Wave.h"

namespace zorvel {
namespace {

using std::numbers::pi;

// h(n) of an ideal low-pass at `cutoffHz`, centred on the middle tap.
double sincTap(double cutoffHz, int offset) {
    const double fc = cutoffHz / kSampleRate;  // cycles per sample
    if (offset == 0) return 2.0 * fc;
    return std::sin(2.0 * pi * fc * offset) / (pi * offset);
}

double blackman(int n, int taps) {
    const double phase = 2.0 * pi * n / (taps - 1);
    return 0.42 - 0.5 * std::cos(phase) + 0.08 * std::cos(2.0 * phase);
}

// out(n) = sum_k h(k) in(n + centre - k): the filter without its delay.
std::vector<double> filterCentred(std::span<const double> in, std::span<const double> h,
                                  double gain) {
    const auto length = static_cast<std::ptrdiff_t>(in.size());
    const auto taps = static_cast<std::ptrdiff_t>(h.size());
    const std::ptrdiff_t centre = taps / 2;
    std::vector<double> out(in.size());
    for (std::ptrdiff_t n = 0; n < length; ++n) {
        double sum = 0.0;
        for (std::ptrdiff_t k = 0; k < taps; ++k) {
            const std::ptrdiff_t i = n + centre - k;
            if (i >= 0 && i < length)
                sum += h[static_cast<std::size_t>(k)] * in[static_cast<std::size_t>(i)];
        }
        out[static_cast<std::size_t>(n)] = gain * sum;
    }
    return out;
}

// Unit-variance Gaussian values: Box-Muller, two values per pair of uniforms
// in (0, 1].
class GaussianNoise {
  public:
    explicit GaussianNoise(std::uint64_t seed) : words_(seed) {}
    double next() {
        if (spare_) {
            spare_ = false;
            return second_;
        }
        const double u1 = uniform();
        const double u2 = uniform();
        const double r = std::sqrt(-2.0 * std::log(u1));
        second_ = r * std::sin(2.0 * pi * u2);
        spare_ = true;
        return r * std::cos(2.0 * pi * u2);
    }

  private:
    // 53 random bits, never 0: (k + 1) / 2^53.
    double uniform() { return static_cast<double>((words_() >> 11) + 1) * 0x1.0p-53; }

    std::mt19937_64 words_;
    double second_ = 0.0;
    bool spare_ = false;
};

}  // namespace

std::vector<double> mnruBandPass() {
    // Each low-pass is scaled to a gain of exactly 1 at 0 Hz, so that the
    // band-pass stops direct current; the taps are mirrored, so that the phase
    // is exactly linear.
    const int centre = kMnruFilterTaps / 2;
    const auto lowPass = [centre](double cutoffHz) {
        std::vector<double> h(kMnruFilterTaps);
        double sum = 0.0;
        for (int n = 0; n <= centre; ++n) {
            const double tap = sincTap(cutoffHz, centre - n) * blackman(n, kMnruFilterTaps);
            h[static_cast<std::size_t>(n)] = tap;
            h[static_cast<std::size_t>(kMnruFilterTaps - 1 - n)] = tap;
        }
        for (double tap : h) sum += tap;
        for (double& tap : h) tap /= sum;
        return h;
    };
    const std::vector<double> high = lowPass(kMnruHighHz), low = lowPass(kMnruLowHz);
    std::vector<double> h(kMnruFilterTaps);
    for (std::size_t n = 0; n < h.size(); ++n) h[n] = high[n] - low[n];
    return h;
}

std::vector<double> mnruBandLimited(std::span<const double> input) {
    return filterCentred(input, mnruBandPass(), 1.0);
}

std::vector<double> modulatedNoise(std::span<const double> input, double qDb, std::uint64_t seed) {
    const std::vector<double> h = mnruBandPass();
    double energy = 0.0;  // of h: the power white noise keeps through it
    for (double tap : h) energy += tap * tap;

    std::vector<double> y = filterCentred(input, h, 1.0);
    GaussianNoise noise(seed);
    std::vector<double> modulated(y.size());
    for (std::size_t n = 0; n < y.size(); ++n) modulated[n] = y[n] * noise.next();
    const double level = std::pow(10.0, -qDb / 20.0);
    const std::vector<double> term = filterCentred(modulated, h, level / std::sqrt(energy));
    for (std::size_t n = 0; n < y.size(); ++n) y[n] += term[n];
    return y;
}

}  // namespace zorvel
