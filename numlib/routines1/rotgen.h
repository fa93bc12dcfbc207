// Generation of plane rotations.  A rotation (c, s) acts on a pair (x, y) as
// x' = c x + s y, y' = c y - s x; the generators return c >= 0 and keep the
// tangent t = s / c, from which ROTCS rebuilds (c, s).
#pragma once

#include <span>
#include <string_view>

namespace orv::num1 {

// (C, S) with C A + S B = r and C B - S A = 0; A := r, B := the tangent S / C.
// B = 0 gives C = 1, S = 0 and leaves A and B unchanged.
void ROTGEN(double& a, double& b, double& c, double& s);

// A / B without overflow.  FAIL tells that the true quotient is out of range
// (B = 0 included; 0 / 0 gives 0 with FAIL true); an out-of-range quotient
// saturates at FLMAX with its sign, an underflowing one gives 0.
double SAFDIV(double a, double b, bool& fail);

// Cosine (never negative) and sine of the rotation whose tangent is TANG.
void ROTCS(double tang, double& c, double& s);

// PIVOT "V", DIRECT "B" (the only combination provided): the rotations that
// annihilate X(1..N) (stride INCX) into ALPHA, from the far end inwards:
// for i = N-1 down to 1 the rotation (C(i+1), S(i+1)) of X(i), X(i+1), then
// (C(1), S(1)) of ALPHA, X(1).  ALPHA receives the combined value and each
// X(i) the tangent of the rotation that annihilated it.
void ROTSEQ(std::string_view pivot, std::string_view direct, int n, double& alpha, std::span<double> x, int incx,
            std::span<double> c, std::span<double> s);

// The largest and smallest magnitudes the rotation kernels produce.
inline constexpr double FLMIN = 2.22507385850721e-308;
inline constexpr double FLMAX = 4.4942328371558e+307;

}  // namespace orv::num1
