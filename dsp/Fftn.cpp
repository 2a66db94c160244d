// Mixed-radix FFT. Reads and writes the caller's real and imaginary arrays in
// place; keeps, per thread, the general butterfly's temporaries and tables and
// the permutation list between calls.
//
// The idea (decimation in frequency): a length n = p1 p2 ... pK is transformed
// by K passes. A pass of factor p splits every block of L = p m points into p
// interleaved sequences x[j + m t], t = 0..p-1, combines each such set with a
// p-point butterfly and turns output t by the twiddle factor w^(j t),
// w = exp(sigma 2 pi i / L). That leaves p contiguous blocks of m points for the
// next pass. After the last pass X[k] lies at the position whose mixed-radix
// digits are those of k in reverse order; a swap pass over the mirrored square
// factors and a cycle-following permutation of the square-free middle put the
// result in natural order.
#include "dsp/Fftn.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <new>
#include <numbers>
#include <optional>
#include <span>
#include <string>
#include <utility>

namespace zorvel {
namespace {

constexpr double kSin60 = 0.8660254037844386;
constexpr double kCos72 = 0.3090169943749474;
constexpr double kSin72 = 0.9510565162951535;

// ---------------------------------------------------------------- complex arithmetic

struct Complex {
    double re;
    double im;
};

Complex operator+(Complex a, Complex b) { return {a.re + b.re, a.im + b.im}; }
Complex operator-(Complex a, Complex b) { return {a.re - b.re, a.im - b.im}; }
Complex operator*(Complex a, double f) { return {a.re * f, a.im * f}; }
Complex operator*(Complex a, Complex b) {
    return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
}
Complex timesI(Complex a) { return {-a.im, a.re}; }

// The caller's two arrays; indices are in array units (point index times stride).
struct DataView {
    double* re;
    double* im;

    Complex get(std::size_t k) const { return {re[k], im[k]}; }
    void set(std::size_t k, Complex z) const {
        re[k] = z.re;
        im[k] = z.im;
    }
    void swap(std::size_t a, std::size_t b) const {
        std::swap(re[a], re[b]);
        std::swap(im[a], im[b]);
    }
};

// Where the points of the dimension being transformed lie, in array units.
struct Layout {
    std::size_t end;        // total * s, one past the last point of the array
    std::size_t stride;     // s, the next point of the innermost dimension
    std::size_t pointStep;  // (span / length) * s, the next point along this dimension
    std::size_t length;     // n, points along this dimension
};

// ---------------------------------------------------------------- work buffers

// General-butterfly temporaries and tables (each `factorCapacity` doubles) and
// the permutation list of the square-free middle. They only grow.
struct WorkBuffers {
    std::unique_ptr<double[]> tempRe;
    std::unique_ptr<double[]> tempIm;
    std::unique_ptr<double[]> cosTable;
    std::unique_ptr<double[]> sinTable;
    std::size_t factorCapacity = 0;
    std::unique_ptr<std::size_t[]> permutation;
    std::size_t permutationCapacity = 0;
};

thread_local WorkBuffers workBuffers;

// Grows the buffers to the asked sizes; throws std::bad_alloc when memory is short.
void secureBuffers(WorkBuffers& buffers, std::size_t maxFactor, std::size_t maxPermutation) {
    if (buffers.factorCapacity < maxFactor) {
        buffers.factorCapacity = 0;
        buffers.tempRe = std::make_unique_for_overwrite<double[]>(maxFactor);
        buffers.tempIm = std::make_unique_for_overwrite<double[]>(maxFactor);
        buffers.cosTable = std::make_unique_for_overwrite<double[]>(maxFactor);
        buffers.sinTable = std::make_unique_for_overwrite<double[]>(maxFactor);
        buffers.factorCapacity = maxFactor;
    }
    if (buffers.permutationCapacity < maxPermutation) {
        buffers.permutationCapacity = 0;
        buffers.permutation = std::make_unique_for_overwrite<std::size_t[]>(maxPermutation);
        buffers.permutationCapacity = maxPermutation;
    }
}

[[noreturn]] void refuse(FftFailure kind, std::size_t length) {
    fftrelease();
    throw FftError(kind, length);
}

std::string failureText(FftFailure kind, std::size_t length) {
    switch (kind) {
        case FftFailure::dimensions:
            return "FFT: sizes, stride or spans out of their ranges";
        case FftFailure::tooManyFactors:
            return "FFT: length " + std::to_string(length) + " needs more than " +
                   std::to_string(kMaxFftFactors) + " factors";
        case FftFailure::buffers:
            return "FFT: work buffers smaller than length " + std::to_string(length) + " needs";
    }
    return "FFT: refused";
}

// ---------------------------------------------------------------- factor list views

std::span<const std::size_t> middleFactors(const FftFactors& f) {
    return std::span<const std::size_t>(f.factor).subspan(
        f.squareCount, static_cast<std::size_t>(f.count - 2 * f.squareCount));
}

std::size_t product(std::span<const std::size_t> factors) {
    std::size_t result = 1;
    for (std::size_t p : factors) result *= p;
    return result;
}

std::size_t largestGeneralFactor(const FftFactors& f) {
    std::size_t largest = 0;
    for (int i = 0; i < f.count; ++i)
        if (f.factor[i] > 5) largest = std::max(largest, f.factor[i]);
    return largest;
}

// Entries of the permutation list the middle needs (its product less one), 0
// when the middle has fewer than two factors and needs no permutation.
std::size_t permutationNeed(const FftFactors& f) {
    const auto middle = middleFactors(f);
    return middle.size() < 2 ? 0 : product(middle) - 1;
}

// ---------------------------------------------------------------- passes

// The twiddle factors w^j of the groups j = 0, 1, 2, ... of a pass,
// w = exp(i theta): (c, s) advanced by c' = c - (cd c + sd s),
// s' = s + (sd c - cd s) with cd = 2 sin^2(theta/2), sd = sin theta, each step
// after the first renormalised by the factor 2 - (c'^2 + s'^2).
class TwiddleWalk {
  public:
    explicit TwiddleWalk(double theta)
        : cd_(2.0 * std::sin(theta / 2) * std::sin(theta / 2)), sd_(std::sin(theta)) {}

    Complex current() const { return w_; }

    void advance() {
        const double c = w_.re - (cd_ * w_.re + sd_ * w_.im);
        const double s = w_.im + (sd_ * w_.re - cd_ * w_.im);
        if (first_) {
            w_ = {c, s};  // exactly (1 - cd, sd)
            first_ = false;
            return;
        }
        const double r = 2.0 - (c * c + s * s);
        w_ = {c * r, s * r};
    }

  private:
    double cd_;
    double sd_;
    Complex w_{1.0, 0.0};
    bool first_ = true;
};

// The butterflies of one twiddle group: those whose first point lies `first`
// into a block, in every block and for every point of the other dimensions.
template <class Butterfly>
void runGroup(const Layout& layout, std::size_t first, std::size_t blockStep, std::size_t step,
              Complex w, bool turn, Butterfly& butterfly) {
    if (layout.pointStep == layout.stride) {  // innermost dimension: one point per place
        for (std::size_t k = first; k < layout.end; k += blockStep) butterfly(k, step, w, turn);
        return;
    }
    for (std::size_t block = first; block < layout.end; block += blockStep) {
        for (std::size_t k = block; k < block + layout.pointStep; k += layout.stride)
            butterfly(k, step, w, turn);
    }
}

// One pass of factor p over blocks of `blockLength` points:
// butterfly(k, step, w, turn) combines the points k, k + step, ... k + (p-1) step
// and, when `turn`, multiplies output t by w^t. All butterflies of one twiddle
// group j (same w^j) run together; group 0 needs no twiddle factor.
template <class Butterfly>
void runPass(const Layout& layout, std::size_t blockLength, std::size_t p, double signedPi,
             Butterfly butterfly) {
    const std::size_t m = blockLength / p;
    const std::size_t step = m * layout.pointStep;
    const std::size_t blockStep = blockLength * layout.pointStep;
    runGroup(layout, 0, blockStep, step, Complex{1.0, 0.0}, false, butterfly);
    TwiddleWalk twiddle(2.0 * signedPi / static_cast<double>(blockLength));
    for (std::size_t j = 1; j < m; ++j) {
        twiddle.advance();
        runGroup(layout, j * layout.pointStep, blockStep, step, twiddle.current(), true, butterfly);
    }
}

struct Radix2 {
    DataView d;
    void operator()(std::size_t k, std::size_t step, Complex w, bool turn) const {
        const Complex x0 = d.get(k);
        const Complex x1 = d.get(k + step);
        d.set(k, x0 + x1);
        d.set(k + step, turn ? (x0 - x1) * w : x0 - x1);
    }
};

// y1,2 = x0 - (x1 + x2)/2 +- i sigma sin60 (x1 - x2).
struct Radix3 {
    DataView d;
    double sin60;  // sigma sin 60
    void operator()(std::size_t k, std::size_t step, Complex w, bool turn) const {
        const Complex x0 = d.get(k);
        const Complex x1 = d.get(k + step);
        const Complex x2 = d.get(k + 2 * step);
        const Complex sum = x1 + x2;
        const Complex a = x0 - sum * 0.5;
        const Complex b = timesI(x1 - x2) * sin60;
        Complex y1 = a + b;
        Complex y2 = a - b;
        if (turn) {
            y1 = y1 * w;
            y2 = y2 * (w * w);
        }
        d.set(k, x0 + sum);
        d.set(k + step, y1);
        d.set(k + 2 * step, y2);
    }
};

// y0,2 = (x0 + x2) +- (x1 + x3); y1,3 = (x0 - x2) +- i sigma (x1 - x3).
struct Radix4 {
    DataView d;
    double sigma;
    void operator()(std::size_t k, std::size_t step, Complex w, bool turn) const {
        const Complex x0 = d.get(k);
        const Complex x1 = d.get(k + step);
        const Complex x2 = d.get(k + 2 * step);
        const Complex x3 = d.get(k + 3 * step);
        const Complex a0 = x0 + x2;
        const Complex a1 = x0 - x2;
        const Complex b0 = x1 + x3;
        const Complex b1 = timesI(x1 - x3) * sigma;
        Complex y1 = a1 + b1;
        Complex y2 = a0 - b0;
        Complex y3 = a1 - b1;
        if (turn) {
            const Complex w2 = w * w;
            y1 = y1 * w;
            y2 = y2 * w2;
            y3 = y3 * (w2 * w);
        }
        d.set(k, a0 + b0);
        d.set(k + step, y1);
        d.set(k + 2 * step, y2);
        d.set(k + 3 * step, y3);
    }
};

// With a1 = x1 + x4, b1 = x1 - x4, a2 = x2 + x3, b2 = x2 - x3:
// y1,4 = x0 + c72 a1 + c144 a2 +- i (s72 b1 + s144 b2),
// y2,3 = x0 + c144 a1 + c72 a2 +- i (s144 b1 - s72 b2), the sines signed by sigma.
struct Radix5 {
    DataView d;
    double sin72;  // sigma sin 72
    double cos144;
    double sin144;  // sigma sin 144
    void operator()(std::size_t k, std::size_t step, Complex w, bool turn) const {
        const Complex x0 = d.get(k);
        const Complex x1 = d.get(k + step);
        const Complex x2 = d.get(k + 2 * step);
        const Complex x3 = d.get(k + 3 * step);
        const Complex x4 = d.get(k + 4 * step);
        const Complex a1 = x1 + x4;
        const Complex b1 = x1 - x4;
        const Complex a2 = x2 + x3;
        const Complex b2 = x2 - x3;
        const Complex r1 = x0 + a1 * kCos72 + a2 * cos144;
        const Complex q1 = timesI(b1 * sin72 + b2 * sin144);
        const Complex r2 = x0 + a1 * cos144 + a2 * kCos72;
        const Complex q2 = timesI(b1 * sin144 - b2 * sin72);
        Complex y[5] = {x0 + a1 + a2, r1 + q1, r2 + q2, r2 - q2, r1 - q1};
        if (turn) {
            Complex wt = w;
            for (int t = 1; t < 5; ++t) {
                y[t] = y[t] * wt;
                wt = wt * w;
            }
        }
        for (int t = 0; t < 5; ++t) d.set(k + t * step, y[t]);
    }
};

// Any odd p: with a_j = x_j + x_(p-j), b_j = x_j - x_(p-j), j = 1..h, h = (p-1)/2,
// y_t, y_(p-t) = x0 + sum_j cos(2 pi j t / p) a_j +- i sum_j sigma sin(2 pi j t / p) b_j.
// The a_j and b_j go to the temporaries (a_j at j, b_j at p - j).
struct GeneralRadix {
    DataView d;
    std::size_t p;
    double* tempRe;
    double* tempIm;
    const double* cosTable;  // cos(2 pi t / p), t = 0..p-1
    const double* sinTable;  // sigma sin(2 pi t / p)

    void operator()(std::size_t k, std::size_t step, Complex w, bool turn) const {
        const std::size_t h = (p - 1) / 2;
        const Complex x0 = d.get(k);
        Complex sum = x0;
        for (std::size_t j = 1; j <= h; ++j) {
            const Complex xa = d.get(k + j * step);
            const Complex xb = d.get(k + (p - j) * step);
            const Complex a = xa + xb;
            const Complex b = xa - xb;
            tempRe[j] = a.re;
            tempIm[j] = a.im;
            tempRe[p - j] = b.re;
            tempIm[p - j] = b.im;
            sum = sum + a;
        }
        d.set(k, sum);
        for (std::size_t t = 1; t <= h; ++t) {
            Complex r = x0;
            Complex q{0.0, 0.0};
            std::size_t index = 0;
            for (std::size_t j = 1; j <= h; ++j) {
                index += t;
                if (index >= p) index -= p;
                r = r + Complex{tempRe[j], tempIm[j]} * cosTable[index];
                q = q + Complex{tempRe[p - j], tempIm[p - j]} * sinTable[index];
            }
            d.set(k + t * step, r + timesI(q));
            d.set(k + (p - t) * step, r - timesI(q));
        }
        if (turn) {
            Complex wt = w;
            for (std::size_t t = 1; t < p; ++t) {
                d.set(k + t * step, d.get(k + t * step) * wt);
                wt = wt * w;
            }
        }
    }
};

void fillGeneralTables(WorkBuffers& buffers, std::size_t p, double sigma) {
    const double angle = 2.0 * std::numbers::pi / static_cast<double>(p);
    for (std::size_t t = 0; t < p; ++t) {
        buffers.cosTable[t] = std::cos(angle * static_cast<double>(t));
        buffers.sinTable[t] = sigma * std::sin(angle * static_cast<double>(t));
    }
}

void runAllPasses(DataView d, const Layout& layout, const FftFactors& factors, double sigma,
                  WorkBuffers& buffers) {
    const double signedPi = sigma * std::numbers::pi;
    const double sin72 = sigma * kSin72;
    const double cos144 = kCos72 * kCos72 - kSin72 * kSin72;
    const double sin144 = 2.0 * kCos72 * sin72;
    std::size_t blockLength = layout.length;
    for (int i = 0; i < factors.count; ++i) {
        const std::size_t p = factors.factor[i];
        switch (p) {
            case 2:
                runPass(layout, blockLength, p, signedPi, Radix2{d});
                break;
            case 3:
                runPass(layout, blockLength, p, signedPi, Radix3{d, sigma * kSin60});
                break;
            case 4:
                runPass(layout, blockLength, p, signedPi, Radix4{d, sigma});
                break;
            case 5:
                runPass(layout, blockLength, p, signedPi, Radix5{d, sin72, cos144, sin144});
                break;
            default:
                fillGeneralTables(buffers, p, sigma);
                runPass(layout, blockLength, p, signedPi,
                        GeneralRadix{d, p, buffers.tempRe.get(), buffers.tempIm.get(),
                                     buffers.cosTable.get(), buffers.sinTable.get()});
                break;
        }
        blockLength /= p;
    }
}

// ---------------------------------------------------------------- reordering

// Exchanges the points at positions a and b of this dimension, for every point
// of the other dimensions.
void swapPositions(DataView d, const Layout& layout, std::size_t a, std::size_t b) {
    const std::size_t spanStep = layout.length * layout.pointStep;
    if (layout.pointStep == layout.stride && spanStep == layout.end) {  // one dimension only
        d.swap(a * layout.pointStep, b * layout.pointStep);
        return;
    }
    for (std::size_t block = 0; block < layout.end; block += spanStep) {
        for (std::size_t inner = 0; inner < layout.pointStep; inner += layout.stride)
            d.swap(block + a * layout.pointStep + inner, block + b * layout.pointStep + inner);
    }
}

// Counts through big-endian mixed-radix numbers (the last digit moving
// fastest) and keeps the value of the same digits read in reverse: digit i
// weighs the product of the radices before it.
class ReversedCounter {
  public:
    explicit ReversedCounter(std::span<const std::size_t> radix) : radix_(radix) {
        std::size_t weight = 1;
        for (std::size_t i = 0; i < radix_.size(); ++i) {
            weight_[i] = weight;
            weight *= radix_[i];
        }
    }

    std::size_t value() const { return value_; }

    void advance() {
        for (std::size_t i = radix_.size(); i-- > 0;) {
            if (++digit_[i] < radix_[i]) {
                value_ += weight_[i];
                return;
            }
            digit_[i] = 0;
            value_ -= (radix_[i] - 1) * weight_[i];
        }
    }

  private:
    std::span<const std::size_t> radix_;
    std::array<std::size_t, kMaxFftFactors> weight_{};
    std::array<std::size_t, kMaxFftFactors> digit_{};
    std::size_t value_ = 0;
};

// First stage: with the square-free middle taken as one digit, the factor list
// reads the same from both ends, so reversing the digits of a position is its
// own inverse and is done by exchanging pairs. Afterwards X[k] sits at k except
// that its middle digit still has its sub-digits in reverse order.
void reverseSquareDigits(DataView d, const Layout& layout, const FftFactors& factors) {
    const int q = factors.squareCount;
    std::array<std::size_t, kMaxFftFactors> radix{};
    int digits = 0;
    for (int i = 0; i < q; ++i) radix[digits++] = factors.factor[i];
    const auto middle = middleFactors(factors);
    if (!middle.empty()) radix[digits++] = product(middle);
    for (int i = q - 1; i >= 0; --i) radix[digits++] = factors.factor[i];

    // Position digits are big-endian (the last digit has weight 1); the reversed
    // position gives digit i the weight of the radices before it.
    ReversedCounter reversed(
        std::span<const std::size_t>(radix.data(), static_cast<std::size_t>(digits)));
    for (std::size_t position = 0; position < layout.length; ++position) {
        if (reversed.value() > position) swapPositions(d, layout, position, reversed.value());
        reversed.advance();
    }
}

// Fills permutation[D] with the slot where the value at middle slot D belongs:
// D read as big-endian digits over the middle factors, rewritten little-endian.
// The last slot (all digits at their maximum) stays and is not listed.
void buildMiddlePermutation(std::span<const std::size_t> middle,
                            std::span<std::size_t> permutation) {
    ReversedCounter target(middle);
    for (std::size_t slot = 0; slot < permutation.size(); ++slot) {
        permutation[slot] = target.value();
        target.advance();
    }
}

constexpr std::size_t kCycleDone = std::numeric_limits<std::size_t>::max();

// Moves the values of the slots base + x slotStep along the cycle of x0.
void followCycle(DataView d, std::span<const std::size_t> permutation, std::size_t base,
                 std::size_t slotStep, std::size_t x0) {
    Complex carried = d.get(base + x0 * slotStep);
    std::size_t x = x0;
    do {
        x = permutation[x];
        const std::size_t index = base + x * slotStep;
        const Complex displaced = d.get(index);
        d.set(index, carried);
        carried = displaced;
    } while (x != x0);
}

// Second stage: puts the sub-digits of the middle digit in natural order, for
// every value of the other digits and every point of the other dimensions.
void permuteMiddleDigits(DataView d, const Layout& layout, const FftFactors& factors,
                         std::span<std::size_t> permutation) {
    const auto middle = middleFactors(factors);
    buildMiddlePermutation(middle, permutation);
    std::size_t squareProduct = 1;
    for (int i = 0; i < factors.squareCount; ++i) squareProduct *= factors.factor[i];
    const std::size_t slotStep = squareProduct * layout.pointStep;
    const std::size_t groupStep = slotStep * product(middle);
    for (std::size_t x0 = 0; x0 < permutation.size(); ++x0) {
        if (permutation[x0] == kCycleDone) continue;
        if (permutation[x0] != x0) {
            for (std::size_t group = 0; group < layout.end; group += groupStep) {
                for (std::size_t low = 0; low < slotStep; low += layout.stride)
                    followCycle(d, permutation, group + low, slotStep, x0);
            }
        }
        std::size_t x = x0;
        do {
            const std::size_t next = permutation[x];
            permutation[x] = kCycleDone;
            x = next;
        } while (x != x0);
    }
}

// ---------------------------------------------------------------- fftn helpers

// The dimension sizes as a span, or nothing when the list is unusable (no
// list, a negative count, no dimension at all).
std::optional<std::span<const int>> dimensionList(int ndim, const int dims[]) {
    if (dims == nullptr || ndim < 0) return std::nullopt;
    std::size_t count = static_cast<std::size_t>(ndim);
    if (ndim == 0 || dims[0] == 0) {
        count = 0;
        while (dims[count] != 0) ++count;
    }
    if (count == 0) return std::nullopt;
    return std::span<const int>(dims, count);
}

// The number of points, or nothing when a size is below 1 or the product
// overflows.
std::optional<std::size_t> pointCount(std::span<const int> sizes) {
    std::size_t total = 1;
    for (int size : sizes) {
        if (size < 1) return std::nullopt;
        const auto n = static_cast<std::size_t>(size);
        if (total > std::numeric_limits<std::size_t>::max() / n) return std::nullopt;
        total *= n;
    }
    return total;
}

std::size_t strideOf(int signAndStride) {
    const auto magnitude = static_cast<std::size_t>(signAndStride);
    return signAndStride < 0 ? std::size_t{0} - magnitude : magnitude;
}

// The divisor the normalisation argument asks for, or nothing for no scaling.
std::optional<double> normalisationDivisor(double normalisation, std::size_t total) {
    if (normalisation == 0.0 || normalisation == 1.0 || std::isnan(normalisation))
        return std::nullopt;
    if (normalisation >= -1.0 && normalisation < 0.0) return static_cast<double>(total);
    if (normalisation < -1.0) return std::sqrt(static_cast<double>(total));
    return normalisation;
}

void scale(double re[], double im[], std::size_t total, std::size_t stride, double factor) {
    for (std::size_t k = 0; k < total * stride; k += stride) {
        re[k] *= factor;
        im[k] *= factor;
    }
}

}  // namespace

// ---------------------------------------------------------------- public functions

FftError::FftError(FftFailure kind, std::size_t length)
    : std::invalid_argument(failureText(kind, length)), kind_(kind), length_(length) {}

int fftFactors(std::size_t n, FftFactors& factors) {
    factors = {};
    if (n < 2) return 0;
    std::array<std::size_t, kMaxFftFactors> square{};
    std::array<std::size_t, kMaxFftFactors> middle{};
    int squares = 0;
    int middles = 0;
    const auto fitsWith = [&](int moreSquares, int moreMiddles) {
        return 2 * (squares + moreSquares) + middles + moreMiddles <= kMaxFftFactors;
    };

    std::size_t rest = n;
    while (rest % 16 == 0) {
        if (!fitsWith(1, 0)) return -1;
        square[squares++] = 4;
        rest /= 16;
    }
    for (std::size_t j = 3; j <= rest / j; j += 2) {
        while (rest % (j * j) == 0) {
            if (!fitsWith(1, 0)) return -1;
            square[squares++] = j;
            rest /= j * j;
        }
    }
    if (rest <= 4) {
        if (rest > 1) {
            if (!fitsWith(0, 1)) return -1;
            middle[middles++] = rest;
        }
    } else {
        if (rest % 4 == 0) {
            if (!fitsWith(1, 0)) return -1;
            square[squares++] = 2;
            rest /= 4;
        }
        // The rest is square-free: trial division by 2, 3, 5, 7, ... up to its
        // square root; what remains above 1 is its largest prime factor.
        for (std::size_t j = 2; j <= rest / j; j = (j == 2) ? 3 : j + 2) {
            if (rest % j == 0) {
                if (!fitsWith(0, 1)) return -1;
                middle[middles++] = j;
                rest /= j;
            }
        }
        if (rest > 1) {
            if (!fitsWith(0, 1)) return -1;
            middle[middles++] = rest;
        }
    }

    int count = 0;
    for (int i = 0; i < squares; ++i) factors.factor[count++] = square[i];
    for (int i = 0; i < middles; ++i) factors.factor[count++] = middle[i];
    for (int i = squares - 1; i >= 0; --i) factors.factor[count++] = square[i];
    factors.count = count;
    factors.squareCount = squares;
    return count;
}

void fftradix(double re[], double im[], std::size_t total, std::size_t length, std::size_t span,
              int signAndStride, std::size_t maxFactor, std::size_t maxPermutation) {
    if (length < 2) return;
    const std::size_t stride = strideOf(signAndStride);
    if (re == nullptr || im == nullptr || stride == 0 || span == 0 || span % length != 0 ||
        total % span != 0 || total > std::numeric_limits<std::size_t>::max() / stride)
        refuse(FftFailure::dimensions, length);

    FftFactors factors;
    if (fftFactors(length, factors) < 0) refuse(FftFailure::tooManyFactors, length);

    WorkBuffers& buffers = workBuffers;
    try {
        secureBuffers(buffers, maxFactor, maxPermutation);
    } catch (const std::bad_alloc&) {
        fftrelease();
        throw;
    }
    // Buffers that were never had (maxima of 0 on released buffers) fail even
    // where this length would not use them.
    if (!buffers.tempRe || !buffers.permutation ||
        largestGeneralFactor(factors) > buffers.factorCapacity ||
        permutationNeed(factors) > buffers.permutationCapacity)
        refuse(FftFailure::buffers, length);

    const DataView d{re, im};
    const Layout layout{total * stride, stride, (span / length) * stride, length};
    const double sigma = signAndStride < 0 ? -1.0 : 1.0;
    runAllPasses(d, layout, factors, sigma, buffers);
    if (factors.squareCount > 0) reverseSquareDigits(d, layout, factors);
    if (const std::size_t need = permutationNeed(factors); need > 0)
        permuteMiddleDigits(d, layout, factors, std::span(buffers.permutation.get(), need));
}

void fftn(int ndim, const int dims[], double re[], double im[], int signAndStride,
          double normalisation) {
    const auto sizes = dimensionList(ndim, dims);
    const auto total = sizes ? pointCount(*sizes) : std::nullopt;
    const std::size_t stride = strideOf(signAndStride);
    if (!total || stride == 0 || re == nullptr || im == nullptr ||
        *total > std::numeric_limits<std::size_t>::max() / stride)
        refuse(FftFailure::dimensions, 0);

    // Every dimension is checked before any is transformed, so that a length
    // with too many factors leaves the data as it was.
    std::size_t largest = 1;
    for (int size : *sizes) {
        FftFactors factors;
        if (fftFactors(static_cast<std::size_t>(size), factors) < 0)
            refuse(FftFailure::tooManyFactors, static_cast<std::size_t>(size));
        largest = std::max(largest, static_cast<std::size_t>(size));
    }

    std::size_t span = 1;
    for (int size : *sizes) {
        const auto n = static_cast<std::size_t>(size);
        span *= n;
        fftradix(re, im, *total, n, span, signAndStride, largest, largest);
    }
    if (const auto divisor = normalisationDivisor(normalisation, *total))
        scale(re, im, *total, stride, 1.0 / *divisor);
}

void fftrelease() { workBuffers = WorkBuffers{}; }

}  // namespace zorvel
