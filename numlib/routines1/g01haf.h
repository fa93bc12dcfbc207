// Lower-tail probability of the standard bivariate normal distribution.
#pragma once

namespace orv::num1 {

// Prob(U <= X, V <= Y) for standard normal U, V with correlation RHO, by a
// polar-coordinate method (a polynomial series in the distance d of the
// corner, scaled by exp(-d^2 / 2)), with closed forms for RHO = 0,
// X = Y = 0 and the degenerate cases (|RHO| = 1, or a corner so far out
// that the series term vanishes).  Never negative.  A NaN in X or Y gives
// a NaN.  Error 1: RHO < -1, RHO > 1 or RHO a NaN; the result is then 0.
double G01HAF(double x, double y, double rho, int& ifail);

namespace detail {

// The complementary error function of G01HAF: exp(-X^2) times a polynomial
// of degree 22 in (|X| - 3.75) / (|X| + 3.75).  Exactly 0 from 26.6 on and
// exactly 2 from -6.25 down.  IFAIL is always set to 0.
double bivariate_erfc(double x, int& ifail);

// The term of a corner coordinate X that does not depend on RHO:
// bivariate_erfc(|X| / sqrt 2).
double corner_tail(double x);

// G01HAF's value for |RHO| <= 1 (no checks, no error number), with the
// corner terms of X and Y given by corner_tail: for callers that evaluate
// one grid of corners at many values of RHO.
double bivariate_with_tails(double x, double y, double rho, double tail_x, double tail_y);

}  // namespace detail

}  // namespace orv::num1
