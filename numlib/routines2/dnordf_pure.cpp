// erfc from its three Chebyshev series (|x| <= 1, 1 < |x| <= 2, |x| > 2),
// with the term counts and range limits that DERFC and DERFCE fix on their
// first call.
#include "numlib/routines2/dnordf_pure.h"

#include <algorithm>
#include <cmath>

#include "numlib/routines2/dcsevl.h"
#include "numlib/routines2/erf_coefficients.h"
#include "numlib/routines2/umach.h"

namespace orv::num2 {

namespace {

using erf_series::kErfcAboveTwo;
using erf_series::kErfcOneToTwo;
using erf_series::kErfNearZero;

constexpr double kSqrtPi = 1.7724538509055160273;

struct Constants {
    ErfcLimits limits;
    int near_zero, one_to_two, above_two;  // terms of the three series
    double sqeps;                          // the first-order formula below it
    double sqrt_erfce_xmax;                // DERFCE's series argument -1 above it
};

Constants make_constants() {
    const float eta = erf_series_eta();
    Constants c{};
    c.near_zero = INITDS_PURE(kErfNearZero, 21, eta);
    c.one_to_two = INITDS_PURE(kErfcOneToTwo, 49, eta);
    c.above_two = INITDS_PURE(kErfcAboveTwo, 59, eta);
    c.limits.xsml = -std::sqrt(-std::log(kSqrtPi * DMACH(3)));
    const double txmax = std::sqrt(-std::log(kSqrtPi * DMACH(1)));
    c.limits.erfc_xmax = txmax - 0.5 * std::log(txmax) / txmax - 0.01;
    c.limits.erfce_xmin = 0.01 - std::sqrt(std::log(0.5 * DMACH(2)));
    c.limits.erfce_xmax = std::exp(std::min(-std::log(kSqrtPi * DMACH(1)), std::log(DMACH(2))) - 0.01);
    c.sqeps = std::sqrt(2.0 * DMACH(3));
    c.sqrt_erfce_xmax = std::sqrt(c.limits.erfce_xmax);
    return c;
}

// The helpers below are inlined into every function of the family:
// DNORDF_PURE is the inner loop of the triplet test.
[[gnu::always_inline]] inline const Constants& constants() {
    static const Constants k = make_constants();
    return k;
}

// erfc(X) for |X| < sqeps.
[[gnu::always_inline]] inline double erfc_first_order(double x) { return 1.0 - 2.0 * x / kSqrtPi; }

// erfc(X) for sqeps <= |X| <= 1.
[[gnu::always_inline]] inline double erfc_near_zero(double x, const Constants& k) {
    return 1.0 - x * (1.0 + DCSEVL_PURE(2.0 * x * x - 1.0, kErfNearZero, k.near_zero));
}

// exp(Y) |X| erfc(|X|) for |X| > 1, Y = X^2: 0.5 plus the series of
// 1 < |X| <= 2 or that of |X| > 2, the latter at -1 when FAR.
[[gnu::always_inline]] inline double erfc_tail(double y, bool far, const Constants& k) {
    if (y <= 4.0) return 0.5 + DCSEVL_PURE((8.0 / y - 5.0) / 3.0, kErfcOneToTwo, k.one_to_two);
    return 0.5 + DCSEVL_PURE(far ? -1.0 : 8.0 / y - 1.0, kErfcAboveTwo, k.above_two);
}

// DERFC_PURE's arithmetic.
[[gnu::always_inline]] inline double erfc_value(double x, const Constants& k) {
    if (x <= k.limits.xsml) return 2.0;
    if (x > k.limits.erfc_xmax) return 0.0;
    const double ax = std::fabs(x);
    if (ax <= 1.0) return ax < k.sqeps ? erfc_first_order(x) : erfc_near_zero(x, k);
    const double y = x * x;
    const double result = std::exp(-y) / ax * erfc_tail(y, false, k);
    return x < 0.0 ? 2.0 - result : result;
}

}  // namespace

float erf_series_eta() { return 0.1f * static_cast<float>(DMACH(3)); }

const ErfcLimits& erfc_limits() { return constants().limits; }

double DERFC_PURE(double x) { return erfc_value(x, constants()); }

double DERFCE_PURE(double x) {
    const Constants& k = constants();
    if (x < k.limits.erfce_xmin) return DMACH(6);
    if (x <= k.limits.xsml) return 2.0 * std::exp(x * x);
    if (x > k.limits.erfce_xmax) return 0.0;
    const double ax = std::fabs(x);
    if (ax <= 1.0) return ax < k.sqeps ? erfc_first_order(x) : std::exp(x * x) * erfc_near_zero(x, k);
    const double y = x * x;
    const double result = erfc_tail(y, ax > k.sqrt_erfce_xmax, k) / ax;
    return x < 0.0 ? 2.0 * std::exp(y) - result : result;
}

double DNORDF_PURE(double x) {
    static const double sqrt_half = std::sqrt(0.5);
    const Constants& k = constants();
    return 0.5 * erfc_value(-sqrt_half * x, k);
}

}  // namespace orv::num2
