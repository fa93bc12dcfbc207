// Chebyshev series of numerical routines II: how many terms reach an
// accuracy, and the value of a series at a point.
//
// A series CS(1..N) stands for sum over k of CS(k) T(k-1)(x) - CS(1)/2 on
// [-1, 1], T the Chebyshev polynomials.
#pragma once

#include <cstddef>
#include <span>

namespace orv::num2 {

// The number of leading terms of OS(1..NOS) whose dropped tail (summed in
// single precision from the back) stays within ETA; 0 after an error.
int INITDS(std::span<const double> os, int nos, float eta);
// The series CS(1..N) at X by Clenshaw's recurrence; NaN after an error.
double DCSEVL(double x, std::span<const double> cs, int n);

// INITDS without messages, for 1 <= NOS <= OS's size: the count, or 0 where
// INITDS raises the error that ETA asks too much (the last coefficient
// alone exceeds it).
int INITDS_PURE(std::span<const double> os, int nos, float eta);

// DCSEVL without checks or messages, for 1 <= N <= CS's size: Clenshaw's
// recurrence.
inline double DCSEVL_PURE(double x, std::span<const double> cs, int n) {
    double b0 = 0.0, b1 = 0.0, b2 = 0.0;
    const double twox = 2.0 * x;
    for (int i = n; i >= 1; --i) {
        b2 = b1;
        b1 = b0;
        b0 = twox * b1 - b2 + cs[static_cast<std::size_t>(i - 1)];
    }
    return 0.5 * (b0 - b2);
}

}  // namespace orv::num2
