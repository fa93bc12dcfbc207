// Chebyshev series of numerical routines II: how many terms reach an
// accuracy, and the value of a series at a point.
//
// A series CS(1..N) stands for sum over k of CS(k) T(k-1)(x) - CS(1)/2 on
// [-1, 1], T the Chebyshev polynomials.
#pragma once

#include <span>

namespace orv::num2 {

// The number of leading terms of OS(1..NOS) whose dropped tail (summed in
// single precision from the back) stays within ETA; 0 after an error.
int INITDS(std::span<const double> os, int nos, float eta);
// The series CS(1..N) at X by Clenshaw's recurrence; NaN after an error.
double DCSEVL(double x, std::span<const double> cs, int n);

}  // namespace orv::num2
