// In-place complex discrete Fourier transform of any length and of arrays of
// several dimensions, by the mixed-radix algorithm: the length is split into
// at most 11 factors, radix-2, -3, -4 and -5 butterflies handle those factors,
// a general butterfly any other odd factor, and a two-stage permutation puts
// the result in natural order.
//
// Data: real parts and imaginary parts in two arrays; element k of the data is
// at index k*s of both, s >= 1 being the stride (s = 2 lets one interleaved
// array of (re, im) pairs be passed as re = pairs, im = pairs + 1). Several
// dimensions are stored first-dimension-fastest: element (i0, i1, ...) of
// dimensions d0, d1, ... is element i0 + d0*(i1 + d1*(...)).
//
// Along each dimension of length n the transform is
//   X[k] = sum_{j=0}^{n-1} x[j] exp(sigma 2 pi i j k / n),  sigma = sign of signAndStride,
// unscaled. Work buffers grow as needed and are kept between calls, one set per
// thread, so several threads may transform at once; fftrelease() gives back the
// calling thread's set.
//
// A call the transform cannot do (a size below 1, a length of more than 11
// factors, work buffers smaller than asked) breaks a precondition stated below:
// it throws FftError, which says which one, and releases the calling thread's
// buffers. Memory that cannot be had is std::bad_alloc, after the same release.
// Every argument check is made before the data is touched, so a call that
// throws leaves the data as it was. Nothing is printed.
#pragma once

#include <array>
#include <cstddef>
#include <stdexcept>

namespace zorvel {

inline constexpr int kMaxFftFactors = 11;

// Which precondition a refused call broke.
enum class FftFailure {
    dimensions,      // a size below 1, an empty list, a negative ndim, a point count that
                     // does not fit std::size_t, a zero signAndStride, a span or total
                     // that does not fit the length
    tooManyFactors,  // a length that needs more than kMaxFftFactors factors
    buffers,         // fftradix's maxFactor or maxPermutation below what the length needs
};

class FftError : public std::invalid_argument {
  public:
    // `length`: the length refused; 0 where the failure is not one length's.
    FftError(FftFailure kind, std::size_t length);
    FftFailure kind() const noexcept { return kind_; }
    std::size_t length() const noexcept { return length_; }

  private:
    FftFailure kind_;
    std::size_t length_;
};

// The ordered factor list of a length: the square factors (each j with j*j
// dividing the length: 4 for every 16, then odd j), a square-free middle
// (ascending: 2, 3, 5, 7, ...; a rest of 2, 3 or 4 stays one factor), then the
// square factors again in reverse order. Examples: 160 -> 4 2 5 4,
// 1000 -> 5 2 2 5 2 5, 36 -> 3 4 3.
struct FftFactors {
    std::array<std::size_t, kMaxFftFactors> factor{};
    int count = 0;        // entries in use
    int squareCount = 0;  // leading entries repeated, mirrored, at the end
};

// Fills `factors` for length n >= 2 and returns the count, or returns -1 when
// more than kMaxFftFactors factors would be needed. A length below 2 has no
// factors (count 0).
int fftFactors(std::size_t n, FftFactors& factors);

// Transforms every dimension of the array.
//   ndim, dims: the dimension sizes, each >= 1; when ndim is 0 or dims[0] is 0,
//     dims is a zero-terminated list, and it must hold at least one size.
//   signAndStride: nonzero; its sign is sigma, its magnitude the stride s.
//   normalisation: 0 or 1: no scaling; -1 <= v < 0: divide by N, the number of
//     points; v < -1: divide by sqrt(N); any other v > 0: divide by v. (NaN: no
//     scaling.)
// Throws FftError: `dimensions` for a size below 1, an empty list, a negative
// ndim, a point count that does not fit std::size_t or a zero signAndStride;
// `tooManyFactors` when a dimension needs more than 11 factors (fftFactors
// tells beforehand; no dimension is transformed then).
void fftn(int ndim, const int dims[], double re[], double im[], int signAndStride,
          double normalisation);

// Transforms along one dimension of an array of `total` points: `length` is its
// size, `span` the product of its size and the sizes of all dimensions before
// it. maxFactor and maxPermutation size the work buffers: the largest odd
// factor other than 3 and 5 must not exceed maxFactor, and when the square-free
// middle of the factor list has two or more factors, their product less one
// must not exceed maxPermutation (FftFailure::buffers otherwise). Buffers
// larger than asked for, left by an earlier call, count in full; a buffer that
// was never had (a maximum of 0 and nothing left) is FftFailure::buffers even
// where this length would not use it. A length below 2 returns at once. A span
// that is not a multiple of the length, or a total that is not a multiple of
// the span, is FftFailure::dimensions; a length of more than 11 factors
// FftFailure::tooManyFactors.
void fftradix(double re[], double im[], std::size_t total, std::size_t length, std::size_t span,
              int signAndStride, std::size_t maxFactor, std::size_t maxPermutation);

// Frees the calling thread's work buffers.
void fftrelease();

}  // namespace zorvel
