// libFuzzer target: the mixed-radix FFT on random lengths (1..512), both
// signs, strides 1..3 and random data, against a direct DFT in long double.
// The tolerance grows with the length and the data's size, as rounding does:
// a butterfly pass adds about one rounding per element, and a length has at
// most 11 passes.
#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <vector>

#include "dsp/Fftn.h"

namespace {

// Bytes taken from the front of the input.
class Reader {
  public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint32_t next(int bytes) {
        std::uint32_t value = 0;
        for (int i = 0; i < bytes; ++i) value = value << 8 | (at_ < size_ ? data_[at_++] : 0);
        return value;
    }
    bool more() const { return at_ < size_; }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Reader in(data, size);
    const std::size_t n = in.next(2) % 512 + 1;
    const std::uint32_t shape = in.next(1);
    const int sign = (shape & 1) != 0 ? 1 : -1;
    const int stride = static_cast<int>(shape >> 1 & 3) % 3 + 1;

    std::vector<std::complex<double>> x(n);
    double largest = 0.0;
    for (auto& v : x) {
        // Values from -1024 to 1024 in steps of 1/32, as the bytes say.
        const double re = static_cast<std::int16_t>(in.next(2)) / 32.0;
        const double im = static_cast<std::int16_t>(in.next(2)) / 32.0;
        v = {re, im};
        largest = std::max({largest, std::abs(re), std::abs(im)});
    }
    std::vector<double> re(n * stride, 12345.0);
    std::vector<double> im(n * stride, -12345.0);
    for (std::size_t j = 0; j < n; ++j) {
        re[j * stride] = x[j].real();
        im[j * stride] = x[j].imag();
    }
    const int dims[1] = {static_cast<int>(n)};
    // A refused length throws FftError, which ends the run as a finding.
    zorvel::fftn(1, dims, re.data(), im.data(), sign * stride, 0.0);

    // The n-th roots of unity, once: X[k] = sum_j x[j] w[jk mod n].
    const long double pi = std::numbers::pi_v<long double>;
    std::vector<std::complex<long double>> w(n);
    for (std::size_t t = 0; t < n; ++t) {
        const long double angle =
            sign * 2.0L * pi * static_cast<long double>(t) / static_cast<long double>(n);
        w[t] = {std::cos(angle), std::sin(angle)};
    }
    const double tolerance = 1e-12 * static_cast<double>(n) * (largest + 1.0) * 11.0;
    for (std::size_t k = 0; k < n; ++k) {
        std::complex<long double> sum = 0;
        std::size_t t = 0;  // j k mod n
        for (std::size_t j = 0; j < n; ++j) {
            sum += std::complex<long double>(x[j].real(), x[j].imag()) * w[t];
            t += k;
            if (t >= n) t -= n;
        }
        const double dr = std::fabs(static_cast<double>(sum.real()) - re[k * stride]);
        const double di = std::fabs(static_cast<double>(sum.imag()) - im[k * stride]);
        if (!(dr <= tolerance && di <= tolerance)) {
            std::fprintf(stderr, "fuzz_fft: n %zu sign %d stride %d bin %zu off by %g, %g\n", n,
                         sign, stride, k, dr, di);
            std::abort();
        }
    }
    // The points between the strided elements are not touched.
    for (std::size_t i = 0; i < re.size(); ++i) {
        if (i % stride != 0 && (re[i] != 12345.0 || im[i] != -12345.0)) {
            std::fprintf(stderr, "fuzz_fft: element %zu between the points was written\n", i);
            std::abort();
        }
    }
    return 0;
}
