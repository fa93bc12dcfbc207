// DNORDF without the error stack.  The term counts of the series and the
// range limits are those DERFC fixes on its first call, found here by the
// same single-precision tail sum as INITDS; the series are summed by the
// same Clenshaw recurrence as DCSEVL.  DERFC's one message on this path, the
// underflow alert for very negative X, is one DNORDF clears again, so the
// twin simply returns 0 there.
#include "numlib/routines2/dnordf_pure.h"

#include <cfloat>
#include <cmath>
#include <limits>

#include "numlib/routines2/erf_coefficients.h"

namespace orv::num2 {

namespace {

using erf_series::kErfcAboveTwo;
using erf_series::kErfcOneToTwo;
using erf_series::kErfNearZero;

constexpr double kSqrtPi = 1.7724538509055160273;

// INITDS: the leading terms whose dropped tail stays within ETA.
int term_count(const double* os, int nos, float eta) {
    float err = 0.0f;
    int i = nos;
    for (; i >= 1; --i) {
        const double mag = std::fabs(os[i - 1]);
        err += mag > FLT_MAX ? std::numeric_limits<float>::infinity() : static_cast<float>(mag);
        if (err > eta) break;
    }
    return i < 1 ? 1 : i;
}

// DCSEVL for an argument inside [-1.1, 1.1].
inline double series(double x, const double* cs, int n) {
    double b0 = 0.0, b1 = 0.0, b2 = 0.0;
    const double twox = 2.0 * x;
    for (int i = n; i >= 1; --i) {
        b2 = b1;
        b1 = b0;
        b0 = twox * b1 - b2 + cs[i - 1];
    }
    return 0.5 * (b0 - b2);
}

struct Constants {
    int near_zero, one_to_two, above_two;
    double xsml, xmax, sqeps;
};

Constants make_constants() {
    using L = std::numeric_limits<double>;
    const double eps_half = L::epsilon() / 2.0;  // DMACH(3)
    const float eta = 0.1f * static_cast<float>(eps_half);
    Constants c{};
    c.near_zero = term_count(kErfNearZero, 21, eta);
    c.one_to_two = term_count(kErfcOneToTwo, 49, eta);
    c.above_two = term_count(kErfcAboveTwo, 59, eta);
    c.xsml = -std::sqrt(-std::log(kSqrtPi * eps_half));
    const double txmax = std::sqrt(-std::log(kSqrtPi * L::min()));  // DMACH(1)
    c.xmax = txmax - 0.5 * std::log(txmax) / txmax - 0.01;
    c.sqeps = std::sqrt(2.0 * eps_half);
    return c;
}

double erfc_pure(double x) {
    static const Constants k = make_constants();
    if (x <= k.xsml) return 2.0;
    if (x > k.xmax) return 0.0;
    const double ax = std::fabs(x);
    if (ax <= 1.0) {
        if (ax < k.sqeps) return 1.0 - 2.0 * x / kSqrtPi;
        return 1.0 - x * (1.0 + series(2.0 * x * x - 1.0, kErfNearZero, k.near_zero));
    }
    const double y = x * x;
    double result;
    if (y <= 4.0) {
        result = std::exp(-y) / ax * (0.5 + series((8.0 / y - 5.0) / 3.0, kErfcOneToTwo, k.one_to_two));
    } else {
        result = std::exp(-y) / ax * (0.5 + series(8.0 / y - 1.0, kErfcAboveTwo, k.above_two));
    }
    if (x < 0.0) result = 2.0 - result;
    return result;
}

}  // namespace

double DNORDF_PURE(double x) {
    static const double sqrt_half = std::sqrt(0.5);
    return 0.5 * erfc_pure(-sqrt_half * x);
}

}  // namespace orv::num2
