// The complementary error function, its scaled form and the standard
// normal distribution function without the error stack: the arithmetic of
// DERFC, DERFCE and DNORDF (erfc from its three Chebyshev series), with no
// message raised and no state changed after the first call, so that any
// number of threads may call them at once.  DERFC and DERFCE are built on
// them, so their values are the same bit for bit for every argument.
#pragma once

namespace orv::num2 {

// The range limits of DERFC and DERFCE, fixed on the first call of any of
// the functions below.
struct ErfcLimits {
    double xsml;        // erfc(X) = 2 for X at or below it
    double erfc_xmax;   // DERFC underflows above it
    double erfce_xmin;  // DERFCE overflows below it
    double erfce_xmax;  // DERFCE underflows above it
};
const ErfcLimits& erfc_limits();

// The accuracy asked of every series of the error-function family: a tenth
// of the rounding unit, in single precision.
float erf_series_eta();

// erfc(X) as DERFC gives it: 0 above erfc_xmax, where DERFC raises its
// underflow alert.
double DERFC_PURE(double x);
// exp(X^2) erfc(X) as DERFCE gives it: NaN below erfce_xmin and 0 above
// erfce_xmax, where DERFCE raises its overflow error and underflow alert.
double DERFCE_PURE(double x);
// Phi(X) = 0.5 erfc(-X / sqrt 2), exactly as DNORDF computes it.
double DNORDF_PURE(double x);

}  // namespace orv::num2
