// The mixed-radix FFT against a direct DFT computed in long double, for many
// lengths, both signs and two strides; the factor lists through the code's own
// factoring; the limits and error messages; normalisation; several
// dimensions; per-thread work buffers.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <cstddef>
#include <iostream>
#include <numbers>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "dsp/Fftn.h"
#include "tests/TestSupport.h"

namespace zorvel {
namespace {

using LComplex = std::complex<long double>;
using Spectrum = std::vector<LComplex>;            // reference results, long double
using Points = std::vector<std::complex<double>>;  // transform inputs

// ---------------------------------------------------------------- references

LComplex times(LComplex a, LComplex b) {
    return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}

// exp(sign 2 pi i t / n), 0 <= t < n.
LComplex unitRoot(std::size_t t, std::size_t n, int sign) {
    const long double angle = sign * 2.0L * std::numbers::pi_v<long double> *
                              static_cast<long double>(t) / static_cast<long double>(n);
    return {std::cos(angle), std::sin(angle)};
}

// X[k] = sum_j x[j] exp(sign 2 pi i j k / n) in O(n): the root w^(jk) is
// advanced by multiplication and taken afresh from cos/sin every 64 terms.
template <class T>
LComplex directBin(const std::vector<std::complex<T>>& x, std::size_t k, int sign) {
    const std::size_t n = x.size();
    const std::size_t kk = k % n;
    const LComplex step = unitRoot(kk, n, sign);
    LComplex sum = 0;
    LComplex w = 1;
    std::size_t t = 0;  // j k mod n
    for (std::size_t j = 0; j < n; ++j) {
        if (j % 64 == 0) w = unitRoot(t, n, sign);
        sum += times(LComplex(x[j].real(), x[j].imag()), w);
        w = times(w, step);
        t += kk;
        if (t >= n) t -= n;
    }
    return sum;
}

template <class T>
Spectrum directDft(const std::vector<std::complex<T>>& x, int sign) {
    Spectrum result(x.size());
    for (std::size_t k = 0; k < x.size(); ++k) result[k] = directBin(x, k, sign);
    return result;
}

// The direct DFT of an array of several dimensions (first dimension fastest).
Spectrum directDftMulti(const Points& x, const std::vector<int>& dims, int sign) {
    const std::size_t total = x.size();
    std::vector<std::size_t> jIndex(dims.size());
    std::vector<std::size_t> kIndex(dims.size());
    const auto split = [&](std::size_t flat, std::vector<std::size_t>& index) {
        for (std::size_t d = 0; d < dims.size(); ++d) {
            index[d] = flat % dims[d];
            flat /= dims[d];
        }
    };
    Spectrum result(total);
    for (std::size_t k = 0; k < total; ++k) {
        split(k, kIndex);
        LComplex sum = 0;
        for (std::size_t j = 0; j < total; ++j) {
            split(j, jIndex);
            long double phase = 0;
            for (std::size_t d = 0; d < dims.size(); ++d)
                phase += static_cast<long double>(jIndex[d] * kIndex[d] % dims[d]) / dims[d];
            const long double angle = sign * 2.0L * std::numbers::pi_v<long double> * phase;
            sum += times(LComplex(x[j].real(), x[j].imag()),
                         LComplex(std::cos(angle), std::sin(angle)));
        }
        result[k] = sum;
    }
    return result;
}

Points randomPoints(std::mt19937& rng, std::size_t n) {
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    Points x(n);
    for (auto& v : x) {
        const double re = dist(rng);
        const double im = dist(rng);
        v = {re, im};
    }
    return x;
}

Spectrum toSpectrum(const Points& x) {
    Spectrum result(x.size());
    for (std::size_t k = 0; k < x.size(); ++k) result[k] = {x[k].real(), x[k].imag()};
    return result;
}

// ---------------------------------------------------------------- data in the caller's layout

// n complex points at stride s: either two separate arrays, or (s = 2) one
// interleaved array of (re, im) pairs. Unused places hold a marker that must
// survive.
class StridedData {
  public:
    static constexpr double kGapMarker = -12345.5;

    StridedData(const Points& x, std::size_t stride, bool interleaved)
        : stride_(stride), interleaved_(interleaved) {
        const std::size_t places = std::max<std::size_t>(x.size() * stride, 1);
        if (interleaved) {
            storage_.assign(places + 1, kGapMarker);
        } else {
            storage_.assign(2 * places, kGapMarker);
        }
        places_ = places;
        for (std::size_t k = 0; k < x.size(); ++k) {
            re()[k * stride] = x[k].real();
            im()[k * stride] = x[k].imag();
        }
    }

    double* re() { return storage_.data(); }
    double* im() { return interleaved_ ? storage_.data() + 1 : storage_.data() + places_; }
    LComplex at(std::size_t k) { return {re()[k * stride_], im()[k * stride_]}; }
    const std::vector<double>& raw() const { return storage_; }

    // Places that belong to no point still hold the marker (for interleaved
    // data, also the place after the last pair).
    bool gapsIntact(std::size_t points) {
        const std::size_t extent = interleaved_ ? storage_.size() : places_;
        for (std::size_t i = 0; i < extent; ++i) {
            if (i % stride_ == 0 && i / stride_ < points) continue;
            if (interleaved_ && i % stride_ == 1 && i / stride_ < points) continue;
            if (re()[i] != kGapMarker) return false;
            if (!interleaved_ && im()[i] != kGapMarker) return false;
        }
        return true;
    }

  private:
    std::size_t stride_;
    bool interleaved_;
    std::size_t places_ = 0;
    std::vector<double> storage_;
};

long double largestMagnitude(const Spectrum& x) {
    long double largest = 0;
    for (const auto& v : x) largest = std::max(largest, std::abs(v));
    return largest;
}

// Largest |actual - expected| over the points, relative to the largest
// expected magnitude; reports the worst point.
::testing::AssertionResult matchesReference(StridedData& data, const Spectrum& expected,
                                            double tolerance) {
    const long double scale = std::max(largestMagnitude(expected), 1e-300L);
    long double worst = 0;
    std::size_t worstIndex = 0;
    for (std::size_t k = 0; k < expected.size(); ++k) {
        const long double error = std::abs(data.at(k) - expected[k]) / scale;
        if (error > worst || std::isnan(error)) {
            worst = std::isnan(error) ? INFINITY : error;
            worstIndex = k;
        }
    }
    if (worst < tolerance) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "relative error " << static_cast<double>(worst) << " at index " << worstIndex
           << ": expected " << expected[worstIndex] << ", actual " << data.at(worstIndex);
}

// Runs `call` and checks that it throws FftError of `kind` and `length`.
template <typename Call>
::testing::AssertionResult refusedAs(FftFailure kind, std::size_t length, Call&& call) {
    try {
        call();
    } catch (const FftError& error) {
        if (error.kind() == kind && error.length() == length) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
               << "refused as kind " << static_cast<int>(error.kind()) << " of length "
               << error.length() << " (" << error.what() << "), expected kind "
               << static_cast<int>(kind) << " of length " << length;
    }
    return ::testing::AssertionFailure() << "not refused";
}

void fft1d(int n, StridedData& data, int signAndStride, double normalisation = 0.0) {
    const int dims[] = {n};
    fftn(1, dims, data.re(), data.im(), signAndStride, normalisation);
}

// ---------------------------------------------------------------- against the direct DFT

constexpr double kTolerance = 1e-9;
constexpr std::uint32_t kLengthSeed = 5151u;  // draws the extra composite lengths

bool isComposite(int n) {
    for (int j = 2; j * j <= n; ++j)
        if (n % j == 0) return true;
    return false;
}

std::vector<int> testedLengths() {
    std::vector<int> lengths;
    for (int n = 1; n <= 64; ++n) lengths.push_back(n);
    for (int n : {160, 320, 1000, 1024, 121, 243, 625}) lengths.push_back(n);  // 7, 13, 49 above
    // Several square-free factors, with and without square factors around them.
    for (int n : {1260, 2310, 4620}) lengths.push_back(n);
    std::mt19937 rng(kLengthSeed);
    std::uniform_int_distribution<int> pick(65, 5000);
    for (int drawn = 0; drawn < 4;) {
        const int n = pick(rng);
        if (!isComposite(n) || std::find(lengths.begin(), lengths.end(), n) != lengths.end())
            continue;
        lengths.push_back(n);
        ++drawn;
    }
    return lengths;
}

// One length per test, both signs and the strides 1 (separate arrays) and 2
// (interleaved pairs) inside it.
class FftAgainstDirectDft : public ::testing::TestWithParam<int> {};

TEST_P(FftAgainstDirectDft, MatchesWithinTolerance) {
    const int n = GetParam();
    std::mt19937 rng(test::testSeed() + static_cast<std::uint32_t>(n));
    const Points x = randomPoints(rng, n);
    for (int sign : {1, -1}) {
        const Spectrum expected = directDft(x, sign);
        for (int stride : {1, 2}) {
            SCOPED_TRACE(::testing::Message()
                         << "n=" << n << " sign=" << sign << " stride=" << stride);
            StridedData data(x, stride, stride == 2);
            ASSERT_NO_THROW(fft1d(n, data, sign * stride));
            EXPECT_TRUE(matchesReference(data, expected, kTolerance));
            EXPECT_TRUE(data.gapsIntact(n));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Lengths, FftAgainstDirectDft, ::testing::ValuesIn(testedLengths()),
                         [](const ::testing::TestParamInfo<int>& info) {
                             std::ostringstream name;
                             name << "n" << info.param;
                             return name.str();
                         });

TEST(Fftn, StrideThreeInSeparateArraysTouchesOnlyThePoints) {
    std::mt19937 rng(test::testSeed());
    const int n = 60;
    const Points x = randomPoints(rng, n);
    StridedData data(x, 3, false);
    ASSERT_NO_THROW(fft1d(n, data, -3));
    EXPECT_TRUE(matchesReference(data, directDft(x, -1), kTolerance));
    EXPECT_TRUE(data.gapsIntact(n));
}

TEST(Fftn, ForwardThenInverseWithNormalisationGivesTheInput) {
    std::mt19937 rng(test::testSeed());
    const int n = 1000;
    const Points x = randomPoints(rng, n);
    StridedData data(x, 1, false);
    ASSERT_NO_THROW(fft1d(n, data, 1));
    ASSERT_NO_THROW(fft1d(n, data, -1, -1.0));
    EXPECT_TRUE(matchesReference(data, toSpectrum(x), 1e-13));
}

// ---------------------------------------------------------------- factor lists

struct FactorCase {
    std::size_t n;
    std::vector<std::size_t> factors;
};

class FactorList : public ::testing::TestWithParam<FactorCase> {};

TEST_P(FactorList, IsAsDesigned) {
    const auto& [n, expected] = GetParam();
    FftFactors factors;
    ASSERT_EQ(fftFactors(n, factors), static_cast<int>(expected.size())) << "n=" << n;
    const std::vector<std::size_t> actual(factors.factor.begin(),
                                          factors.factor.begin() + factors.count);
    EXPECT_EQ(actual, expected) << "n=" << n;
}

INSTANTIATE_TEST_SUITE_P(
    Examples, FactorList,
    ::testing::Values(FactorCase{160, {4, 2, 5, 4}}, FactorCase{1000, {5, 2, 2, 5, 2, 5}},
                      FactorCase{8, {2, 2, 2}}, FactorCase{36, {3, 4, 3}}, FactorCase{7, {7}},
                      FactorCase{236196, {3, 3, 3, 3, 3, 4, 3, 3, 3, 3, 3}},
                      FactorCase{1u << 22, {4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4}}, FactorCase{2, {2}},
                      FactorCase{4, {4}}, FactorCase{16, {4, 4}},
                      FactorCase{2310, {2, 3, 5, 7, 11}}, FactorCase{1, {}}));

TEST(FactorList, TooManyFactorsIsRefused) {
    for (std::size_t n : {std::size_t{157464}, std::size_t{1} << 23, std::size_t{1} << 24}) {
        FftFactors factors;
        EXPECT_EQ(fftFactors(n, factors), -1) << "n=" << n;
    }
}

// For every length up to 5000: the factors multiply to the length, the square
// factors stand mirrored at both ends, and the middle is square-free and ascending.
TEST(FactorList, InvariantsUpTo5000) {
    for (std::size_t n = 2; n <= 5000; ++n) {
        FftFactors f;
        const int count = fftFactors(n, f);
        ASSERT_GT(count, 0) << "n=" << n;
        ASSERT_EQ(count, f.count);
        std::size_t product = 1;
        for (int i = 0; i < count; ++i) product *= f.factor[i];
        EXPECT_EQ(product, n);
        const int q = f.squareCount;
        for (int i = 0; i < q; ++i) EXPECT_EQ(f.factor[i], f.factor[count - 1 - i]) << "n=" << n;
        for (int i = q + 1; i < count - q; ++i)
            EXPECT_LT(f.factor[i - 1], f.factor[i]) << "n=" << n;
    }
}

// ---------------------------------------------------------------- limits and errors

// X[k] at a few bins against direct sums, for lengths too long for a full direct DFT.
void expectSampledBinsMatch(const Points& x, StridedData& data, int sign, std::mt19937& rng) {
    std::uniform_int_distribution<std::size_t> pick(0, x.size() - 1);
    std::vector<std::size_t> bins = {0, 1, x.size() - 1};
    for (int i = 0; i < 5; ++i) bins.push_back(pick(rng));
    const long double scale = std::sqrt(static_cast<long double>(x.size()));  // |X| of noise
    for (std::size_t k : bins) {
        const LComplex expected = directBin(x, k, sign);
        const long double error = std::abs(data.at(k) - expected) / scale;
        EXPECT_LT(error, kTolerance)
            << "bin " << k << ": expected " << expected << ", actual " << data.at(k);
    }
}

TEST(FftLimits, ElevenFactorsSucceed) {
    std::mt19937 rng(test::testSeed());
    // Under the sanitizers the four million points of 2^22 only take time:
    // their passes of two and four run in 1024 and 4620 points as well, and
    // the eleven factors are reached by the 236196 points of 2^2 3^10.
    const std::vector<int> lengths =
        test::kSanitizedBuild ? std::vector<int>{236196} : std::vector<int>{236196, 1 << 22};
    for (int n : lengths) {
        const Points x = randomPoints(rng, n);
        StridedData data(x, 1, false);
        ASSERT_NO_THROW(fft1d(n, data, -1)) << "n=" << n;
        expectSampledBinsMatch(x, data, -1, rng);
        fftrelease();
    }
}

TEST(FftLimits, TwelveOrMoreFactorsAreRefusedAndTouchNothing) {
    for (int n : {157464, 1 << 23}) {
        std::vector<double> re(n), im(n);
        for (int k = 0; k < n; ++k) {
            re[k] = k;
            im[k] = -k;
        }
        const int dims[] = {n};
        EXPECT_TRUE(refusedAs(FftFailure::tooManyFactors, static_cast<std::size_t>(n),
                              [&] { fftn(1, dims, re.data(), im.data(), 1, 0.0); }))
            << "n=" << n;
        bool untouched = true;
        for (int k = 0; k < n; ++k) untouched = untouched && re[k] == k && im[k] == -k;
        EXPECT_TRUE(untouched) << "n=" << n;
    }
}

TEST(FftLimits, FftradixRefusesTooManyFactorsToo) {
    const std::size_t n = 157464;
    std::vector<double> re(n, 1.0), im(n, 2.0);
    EXPECT_TRUE(refusedAs(FftFailure::tooManyFactors, n,
                          [&] { fftradix(re.data(), im.data(), n, n, n, 1, n, n); }));
    EXPECT_TRUE(std::all_of(re.begin(), re.end(), [](double v) { return v == 1.0; }));
    EXPECT_TRUE(std::all_of(im.begin(), im.end(), [](double v) { return v == 2.0; }));
}

// A later dimension with too many factors leaves the earlier ones untransformed.
TEST(FftLimits, FailingSecondDimensionLeavesTheFirstAsItWas) {
    const int dims[] = {4, 157464};
    const std::size_t total = 4 * 157464;
    std::vector<double> re(total), im(total, 0.5);
    for (std::size_t k = 0; k < total; ++k) re[k] = static_cast<double>(k % 7);
    const std::vector<double> reBefore = re;
    const std::vector<double> imBefore = im;
    EXPECT_TRUE(refusedAs(FftFailure::tooManyFactors, 157464,
                          [&] { fftn(2, dims, re.data(), im.data(), 1, 0.0); }));
    EXPECT_EQ(re, reBefore);
    EXPECT_EQ(im, imBefore);
}

struct BadDimensionCase {
    std::string name;
    int ndim;
    std::vector<int> dims;
    int signAndStride;
};

class FftDimensionError : public ::testing::TestWithParam<BadDimensionCase> {};

TEST_P(FftDimensionError, ReportedAndNothingTouched) {
    const auto& c = GetParam();
    std::vector<double> re(64), im(64);
    for (int k = 0; k < 64; ++k) {
        re[k] = 1.0 + k;
        im[k] = 2.0 * k;
    }
    const std::vector<double> reBefore = re;
    const std::vector<double> imBefore = im;
    EXPECT_TRUE(refusedAs(FftFailure::dimensions, 0, [&] {
        fftn(c.ndim, c.dims.data(), re.data(), im.data(), c.signAndStride, 2.0);
    }));
    EXPECT_EQ(re, reBefore);
    EXPECT_EQ(im, imBefore);
}

INSTANTIATE_TEST_SUITE_P(
    BadArguments, FftDimensionError,
    ::testing::Values(BadDimensionCase{"ZeroInGivenCount", 2, {4, 0}, 1},
                      BadDimensionCase{"NegativeInGivenCount", 2, {4, -3}, 1},
                      BadDimensionCase{"NegativeFirst", 1, {-8}, 1},
                      BadDimensionCase{"NegativeInTerminatedList", 0, {4, -3, 0}, 1},
                      BadDimensionCase{"EmptyTerminatedList", 0, {0}, 1},
                      BadDimensionCase{"ZeroFirstSizeMakesAnEmptyList", 2, {0, 5}, 1},
                      BadDimensionCase{"NegativeDimensionCount", -1, {4}, 1},
                      BadDimensionCase{"ZeroStride", 1, {4}, 0}),
    [](const ::testing::TestParamInfo<BadDimensionCase>& info) { return info.param.name; });

TEST(FftLimits, FftradixRefusesInconsistentSpans) {
    std::vector<double> re(12, 1.0), im(12, 1.0);
    for (auto [total, length, span] :
         {std::array<std::size_t, 3>{12, 4, 6}, std::array<std::size_t, 3>{12, 4, 8},
          std::array<std::size_t, 3>{12, 4, 0}}) {
        EXPECT_TRUE(
            refusedAs(FftFailure::dimensions, length,
                      [&] { fftradix(re.data(), im.data(), total, length, span, 1, 4, 4); }))
            << total << " " << length << " " << span;
    }
    EXPECT_TRUE(std::all_of(re.begin(), re.end(), [](double v) { return v == 1.0; }));
}

// ---------------------------------------------------------------- work buffers

TEST(FftBuffers, GeneralFactorAboveTheBuffersIsRefused) {
    fftrelease();
    std::vector<double> re(13, 1.0), im(13, 0.0);
    EXPECT_TRUE(refusedAs(FftFailure::buffers, 13,
                          [&] { fftradix(re.data(), im.data(), 13, 13, 13, 1, 12, 13); }));
    EXPECT_TRUE(std::all_of(re.begin(), re.end(), [](double v) { return v == 1.0; }));
}

TEST(FftBuffers, PermutationAboveTheBuffersIsRefused) {
    fftrelease();
    std::vector<double> re(30, 1.0), im(30, 0.0);  // middle 2 3 5 needs 29 entries
    EXPECT_TRUE(refusedAs(FftFailure::buffers, 30,
                          [&] { fftradix(re.data(), im.data(), 30, 30, 30, 1, 30, 28); }));
    EXPECT_NO_THROW(fftradix(re.data(), im.data(), 30, 30, 30, 1, 30, 29));
}

// Buffers grown by one call serve later calls that ask for less, until released.
TEST(FftBuffers, GrownBuffersAreKeptUntilReleased) {
    fftrelease();
    std::mt19937 rng(test::testSeed());
    const Points x = randomPoints(rng, 13);
    StridedData first(x, 1, false);
    ASSERT_NO_THROW(fftradix(first.re(), first.im(), 13, 13, 13, 1, 13, 13));
    StridedData second(x, 1, false);
    ASSERT_NO_THROW(fftradix(second.re(), second.im(), 13, 13, 13, 1, 2, 2));
    EXPECT_TRUE(matchesReference(second, directDft(x, 1), kTolerance));
    EXPECT_EQ(first.raw(), second.raw());
    fftrelease();
    StridedData third(x, 1, false);
    EXPECT_TRUE(refusedAs(FftFailure::buffers, 13,
                          [&] { fftradix(third.re(), third.im(), 13, 13, 13, 1, 2, 2); }));
}

// Maxima of 0 on released buffers leave arrays missing: refused even
// for a length that would need none of them; buffers left by an earlier call
// count in full, so the same call then succeeds.
TEST(FftBuffers, MissingBuffersAreRefused) {
    for (const auto& [maxFactor, maxPermutation] :
         {std::pair<std::size_t, std::size_t>{0, 0}, {0, 8}, {8, 0}}) {
        fftrelease();
        std::vector<double> re(8, 1.0), im(8, 2.0);
        EXPECT_TRUE(refusedAs(
            FftFailure::buffers, 8,
            [&] { fftradix(re.data(), im.data(), 8, 8, 8, 1, maxFactor, maxPermutation); }))
            << maxFactor << " " << maxPermutation;
        EXPECT_TRUE(std::all_of(re.begin(), re.end(), [](double v) { return v == 1.0; }));
        EXPECT_TRUE(std::all_of(im.begin(), im.end(), [](double v) { return v == 2.0; }));
    }
    fftrelease();
    std::vector<double> re(8, 1.0), im(8, 0.0);
    ASSERT_NO_THROW(fftradix(re.data(), im.data(), 8, 8, 8, 1, 1, 1));
    EXPECT_EQ(re[0], 8.0);
    EXPECT_NO_THROW(fftradix(re.data(), im.data(), 8, 8, 8, 1, 0, 0));
    fftrelease();
}

TEST(FftBuffers, EachThreadHasItsOwnBuffers) {
    fftrelease();
    std::vector<double> re(13, 1.0), im(13, 0.0);
    ASSERT_NO_THROW(fftradix(re.data(), im.data(), 13, 13, 13, 1, 13, 13));
    ::testing::AssertionResult otherThreadRefused = ::testing::AssertionFailure();
    std::thread other([&] {
        std::vector<double> re2(13, 1.0), im2(13, 0.0);
        otherThreadRefused = refusedAs(FftFailure::buffers, 13, [&] {
            fftradix(re2.data(), im2.data(), 13, 13, 13, 1, 2, 2);
        });
        fftrelease();
    });
    other.join();
    EXPECT_TRUE(otherThreadRefused);  // that thread never grew its buffers
    EXPECT_NO_THROW(fftradix(re.data(), im.data(), 13, 13, 13, 1, 2, 2));  // this one kept its own
}

// One thread transforms a prime length (general butterfly tables), the other a
// length with three general factors and a middle permutation, releasing its
// buffers after every transform. Shared buffers would be overwritten or freed
// under the first thread.
TEST(FftBuffers, TwoThreadsTransformAtOnce) {
    std::mt19937 rng(test::testSeed());
    struct Job {
        int n;
        int sign;
        bool release;
        Points x;
        Spectrum expected;
        int failures = 0;
    };
    std::array<Job, 2> jobs = {Job{1009, 1, false, {}, {}}, Job{1001, -1, true, {}, {}}};
    for (Job& job : jobs) {
        job.x = randomPoints(rng, job.n);
        job.expected = directDft(job.x, job.sign);
    }
    const auto work = [](Job& job) {
        for (int round = 0; round < 40; ++round) {
            StridedData data(job.x, 1, false);
            fft1d(job.n, data, job.sign);
            if (!matchesReference(data, job.expected, kTolerance)) ++job.failures;
            if (job.release) fftrelease();
        }
    };
    std::thread first(work, std::ref(jobs[0]));
    std::thread second(work, std::ref(jobs[1]));
    first.join();
    second.join();
    EXPECT_EQ(jobs[0].failures, 0);
    EXPECT_EQ(jobs[1].failures, 0);
}

// ---------------------------------------------------------------- edge cases

TEST(FftEdgeCases, LengthOneIsUnchanged) {
    StridedData data(Points{{0.25, -3.5}}, 1, false);
    EXPECT_NO_THROW(fft1d(1, data, 1));
    EXPECT_EQ(data.at(0), LComplex(0.25L, -3.5L));
}

TEST(FftEdgeCases, LengthTwoIsSumAndDifference) {
    StridedData data(Points{{3, 1}, {5, -2}}, 1, false);
    EXPECT_NO_THROW(fft1d(2, data, -1));
    EXPECT_EQ(data.at(0), LComplex(8, -1));
    EXPECT_EQ(data.at(1), LComplex(-2, 3));
}

TEST(FftEdgeCases, Length160ImpulseAndConstant) {
    Points impulse(160, 0);
    impulse[0] = 1;
    StridedData a(impulse, 1, false);
    ASSERT_NO_THROW(fft1d(160, a, 1));
    EXPECT_TRUE(matchesReference(a, Spectrum(160, 1), 1e-15));

    StridedData b(Points(160, 1), 1, false);
    ASSERT_NO_THROW(fft1d(160, b, 1));
    Spectrum expected(160, 0);
    expected[0] = 160;
    EXPECT_TRUE(matchesReference(b, expected, 1e-14));
}

TEST(FftEdgeCases, Length8ToneLandsInOneBinPerSign) {
    Points tone(8);
    for (int j = 0; j < 8; ++j) tone[j] = std::polar(1.0, 2.0 * std::numbers::pi * j / 8);
    for (auto [sign, bin] : {std::pair{1, 7}, std::pair{-1, 1}}) {
        StridedData data(tone, 1, false);
        ASSERT_NO_THROW(fft1d(8, data, sign));
        Spectrum expected(8, 0);
        expected[bin] = 8;
        EXPECT_TRUE(matchesReference(data, expected, 1e-14)) << "sign " << sign;
    }
}

struct NormalisationCase {
    double normalisation;
    double expectedDc;  // of a length-4 constant 1
};

class FftNormalisation : public ::testing::TestWithParam<NormalisationCase> {};

TEST_P(FftNormalisation, ScalesTheWholeResult) {
    const auto [normalisation, expectedDc] = GetParam();
    StridedData data(Points(4, 1), 1, false);
    ASSERT_NO_THROW(fft1d(4, data, 1, normalisation));
    Spectrum expected(4, 0);
    expected[0] = expectedDc;
    for (std::size_t k = 0; k < 4; ++k)
        EXPECT_EQ(data.at(k), expected[k]) << "normalisation " << normalisation << " k=" << k;
}

INSTANTIATE_TEST_SUITE_P(Cases, FftNormalisation,
                         ::testing::Values(NormalisationCase{0.0, 4.0}, NormalisationCase{1.0, 4.0},
                                           NormalisationCase{-1.0, 1.0},
                                           NormalisationCase{-0.5, 1.0},
                                           NormalisationCase{-4.0, 2.0},
                                           NormalisationCase{4.0, 1.0}, NormalisationCase{2.0, 2.0},
                                           NormalisationCase{0.5, 8.0},
                                           NormalisationCase{NAN, 4.0}));

TEST(FftEdgeCases, NormalisationCoversEveryStridedPoint) {
    std::mt19937 rng(test::testSeed());
    const std::size_t n = 6;
    const Points x = randomPoints(rng, n);
    StridedData data(x, 2, true);
    ASSERT_NO_THROW(fft1d(n, data, 2, -2.0));  // divide by sqrt(6)
    Spectrum expected = directDft(x, 1);
    for (auto& v : expected) v /= std::sqrt(6.0L);
    EXPECT_TRUE(matchesReference(data, expected, 1e-14));
    EXPECT_TRUE(data.gapsIntact(n));
}

// ---------------------------------------------------------------- several dimensions

TEST(FftMultiDimensional, FourByTwoIsRowsThenColumns) {
    std::mt19937 rng(test::testSeed());
    const Points x = randomPoints(rng, 8);
    // Direct DFT of each row (4 points along the first dimension), then of each column.
    Spectrum expected = toSpectrum(x);
    for (int row = 0; row < 2; ++row) {
        const Spectrum line(expected.begin() + 4 * row, expected.begin() + 4 * row + 4);
        const Spectrum transformed = directDft(line, 1);
        std::copy(transformed.begin(), transformed.end(), expected.begin() + 4 * row);
    }
    for (int column = 0; column < 4; ++column) {
        const Spectrum transformed = directDft(Spectrum{expected[column], expected[column + 4]}, 1);
        expected[column] = transformed[0];
        expected[column + 4] = transformed[1];
    }
    const int dims[] = {4, 2};
    StridedData data(x, 1, false);
    ASSERT_NO_THROW(fftn(2, dims, data.re(), data.im(), 1, 0.0));
    EXPECT_TRUE(matchesReference(data, expected, 1e-14));

    const int terminated[] = {4, 2, 0};
    StridedData viaList(x, 1, false);
    ASSERT_NO_THROW(fftn(0, terminated, viaList.re(), viaList.im(), 1, 0.0));
    EXPECT_EQ(viaList.raw(), data.raw());
}

struct MultiCase {
    std::vector<int> dims;
    int signAndStride;
};

void PrintTo(const MultiCase& c, std::ostream* os) {
    *os << "dims";
    for (int d : c.dims) *os << " " << d;
    *os << ", signAndStride " << c.signAndStride;
}

class FftMultiDimensional : public ::testing::TestWithParam<MultiCase> {};

TEST_P(FftMultiDimensional, MatchesDirectMultiDimensionalDft) {
    const auto& [dims, signAndStride] = GetParam();
    std::size_t total = 1;
    for (int d : dims) total *= d;
    std::mt19937 rng(test::testSeed() + static_cast<std::uint32_t>(total));
    const Points x = randomPoints(rng, total);
    const int sign = signAndStride > 0 ? 1 : -1;
    const std::size_t stride = std::abs(signAndStride);
    StridedData data(x, stride, stride == 2);
    ASSERT_NO_THROW(
        fftn(static_cast<int>(dims.size()), dims.data(), data.re(), data.im(), signAndStride, 0.0));
    EXPECT_TRUE(matchesReference(data, directDftMulti(x, dims, sign), kTolerance));
    EXPECT_TRUE(data.gapsIntact(total));
}

INSTANTIATE_TEST_SUITE_P(Shapes, FftMultiDimensional,
                         ::testing::Values(MultiCase{{4, 2}, -1}, MultiCase{{6, 5, 4}, 2},
                                           MultiCase{{10, 12}, -2}, MultiCase{{3, 30}, 1},
                                           MultiCase{{30, 3}, -1}, MultiCase{{7, 1, 4}, 1},
                                           MultiCase{{2, 36, 2}, -3}, MultiCase{{13, 9}, 2}),
                         [](const ::testing::TestParamInfo<MultiCase>& info) {
                             std::ostringstream name;
                             for (std::size_t d = 0; d < info.param.dims.size(); ++d)
                                 name << (d == 0 ? "" : "x") << info.param.dims[d];
                             const int s = info.param.signAndStride;
                             name << (s > 0 ? "_plus" : "_minus") << "_stride" << std::abs(s);
                             return name.str();
                         });

}  // namespace
}  // namespace zorvel
