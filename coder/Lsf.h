// Line spectral frequencies: another form of the LP filter A(z), in which
// filters can be interpolated and stay stable. The sum and difference
// polynomials P(z) = A(z) + z^-11 A(1/z) and Q(z) = A(z) - z^-11 A(1/z) of a
// minimum-phase A(z) have their zeros on the unit circle, alternately; their
// angles in (0, pi), in increasing order, are the ten frequencies (the first
// a zero of P). Ordered frequencies always give a minimum-phase A(z) back.
#pragma once

#include <array>
#include <optional>

#include "coder/Frame.h"

namespace zorvel {

using LineSpectralFrequencies = std::array<double, kLpOrder>;  // radians, increasing

// The frequencies of A(z): the zeros of P and Q, with the trivial ones at
// z = -1 and z = 1 divided out, are found by a sign-change search of their
// Chebyshev series in x = cos(w) over a grid of w (a coarse one, then a fine
// one if the coarse one does not find them all) and refined in x, by
// regula falsi in its Illinois form, to within 1e-14. Nothing when fewer
// than five zeros of each are found or they do not alternate (A(z) not
// minimum phase).
std::optional<LineSpectralFrequencies> lpToLsf(const LpCoeffs& a);

// A(z) of ordered frequencies: P and Q as products of their second-order
// factors 1 - 2 cos(w) z^-1 + z^-2 and the trivial zeros, A = (P + Q) / 2.
LpCoeffs lsfToLp(const LineSpectralFrequencies& w);

// The frequencies of A(z) = 1, the silent past before a first frame: k pi / 11.
const LineSpectralFrequencies& silentLsf();

// (1 - t) from + t to, frequency by frequency; ordered sets stay ordered.
LineSpectralFrequencies interpolateLsf(const LineSpectralFrequencies& from,
                                       const LineSpectralFrequencies& to, double t);

}  // namespace zorvel
