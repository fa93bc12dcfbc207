// The standard normal distribution function and its inverse, built on the
// complementary error function and its inverse.
#pragma once

namespace orv::num2 {

// Phi(X) = 0.5 erfc(-X / sqrt 2); 0 without any error for very negative X.
double DNORDF(double x);
// Phi^-1(P) for 0 < P < 1; NaN after an error.
double DNORIN(double p);
// erfc(X); 0 (with an alert) when it underflows.
double DERFC(double x);
// exp(X^2) erfc(X).
double DERFCE(double x);
// erfc^-1(X) for 0 < X < 2; NaN after an argument error.
double DERFCI(double x);

}  // namespace orv::num2
