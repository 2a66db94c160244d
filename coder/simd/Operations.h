// The operations every vector kernel is written in, and all it may rely on.
// Each instruction set supplies one struct of static functions over its own
// vector type (KernelsBaseline.cpp, KernelsAvx2.cpp, KernelsAvx512.cpp); the
// kernels (SignalKernels.h, ScreenedKernel.h, PairScanKernel.h) are written
// once over it and call nothing else but compiler builtins.
//
// Exactness: add and mul are single IEEE-754 double operations in every lane
// (one rounding each, never fused), so a kernel that adds its terms in the
// order of the plain loop gives the plain loop's bits. A lane a kernel does
// not use is filled with +0 (keepBelow, keepFrom) and added: x + (+0) = x for
// every x but -0, and no sum here starts from -0. The comparisons are quiet
// and false for NaN.
//
// This header, like every header the kernels include, holds only constants,
// types and templates: the kernels are compiled once per instruction set, and
// no inline function may be shared between those translation units.
#pragma once

#include <concepts>

namespace zorvel::simd {

// Lanes are numbered 0..kLanes-1; a "mask" is an unsigned whose bit k stands
// for lane k.
template <class Ops>
concept VectorOperations = requires(const double* p, double* q, typename Ops::V a,
                                    typename Ops::V b, double x, int t) {
    typename Ops::V;
    { Ops::kLanes } -> std::convertible_to<int>;        // doubles per vector: 2, 4 or 8
    { Ops::load(p) } -> std::same_as<typename Ops::V>;  // kLanes values from p, unaligned
    Ops::store(q, a);                                   // kLanes values to q, unaligned
    { Ops::set1(x) } -> std::same_as<typename Ops::V>;  // x in every lane
    { Ops::add(a, b) } -> std::same_as<typename Ops::V>;
    { Ops::mul(a, b) } -> std::same_as<typename Ops::V>;
    { Ops::abs(a) } -> std::same_as<typename Ops::V>;           // the sign bit cleared
    { Ops::max(a, b) } -> std::same_as<typename Ops::V>;        // lane by lane, of non-NaN values
    { Ops::greater(a, b) } -> std::same_as<unsigned>;           // mask of a > b
    { Ops::atLeast(a, b) } -> std::same_as<unsigned>;           // mask of a >= b
    { Ops::keepBelow(a, t) } -> std::same_as<typename Ops::V>;  // a in lanes < t, +0 in the rest
    { Ops::keepFrom(a, t) } -> std::same_as<typename Ops::V>;   // a in lanes >= t, +0 below
    // Lane k = base[k * stride] for k < count; lanes k >= count repeat
    // base[(count - 1) * stride]. count >= 1.
    { Ops::strided(p, t, t) } -> std::same_as<typename Ops::V>;
    { Ops::lane(a, t) } -> std::same_as<typename Ops::V>;  // lane t of a in every lane
    { Ops::first(a) } -> std::same_as<double>;             // lane 0
    // a / b within a relative error of kRatioError, for 2^-200 <= b <= 2^200
    // and a = 0 or 2^-200 <= a <= 2^200; the only operation that may be
    // inexact beyond one rounding, and used only where PairScan.h allows it.
    { Ops::kRatioError } -> std::convertible_to<double>;
    { Ops::ratio(a, b) } -> std::same_as<typename Ops::V>;
};

// With eight lanes, an 8 x 8 tile of doubles goes through the registers.
template <class Ops>
concept TileOperations = VectorOperations<Ops> &&
    requires(typename Ops::V (&rows)[8], typename Ops::V a, typename Ops::V b, int k) {
    Ops::transpose(rows);  // rows[k] becomes column k of the tile the rows held
    { Ops::upperFrom(a, b, k) } -> std::same_as<typename Ops::V>;  // a in lanes <= k, b after
};

}  // namespace zorvel::simd
