// Elementary reflectors P = I - u u^T, u = (zeta; z), that map (alpha; x)
// onto (beta; 0): beta = -sign(alpha) sqrt(alpha^2 + |x|^2) (beta > 0 when
// alpha = 0), zeta = sqrt(1 + |alpha| / |beta|) in [1, sqrt(2)] and
// z = -x / (beta zeta).  zeta = 0 marks the identity.
#pragma once

#include <span>

namespace orv::num1 {

// The reflector for (ALPHA; X(1..N)), X with stride INCX >= 1: ALPHA becomes
// beta and X becomes z.  X is negligible, and the reflector the identity
// (ZETA = 0, nothing changed), when its largest magnitude is 0 or at most
// max(MCEPS |ALPHA|, TOL).
void REFGEN(int n, double& alpha, std::span<double> x, int incx, double tol, double& zeta);

// The same for a vector held in two pieces, X(1..N1) and Y(1..N2); with
// N1 < 1 or N2 < 1 it is REFGEN on the other piece.
void REFGENR(int n1, int n2, double& alpha, std::span<double> x, int incx, std::span<double> y, int incy,
             double tol, double& zeta);

}  // namespace orv::num1
