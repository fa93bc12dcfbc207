// The normal distribution and the error-function family: the messages
// around the arithmetic of dnordf_pure.h, and the inverse of erfc, which comes
// from a Chebyshev series for |1 - x| < 0.75 and from Newton's method on the
// scaled complement exp(x^2) erfc(x) in the tails.  The series are generated
// from their definitions by scripts/reference/erf_coefficients.py.
#include "numlib/routines2/dnordf.h"

#include <cmath>

#include "numlib/routines2/dcsevl.h"
#include "numlib/routines2/dnordf_pure.h"
#include "numlib/routines2/erf_coefficients.h"
#include "numlib/routines2/erset.h"
#include "numlib/routines2/umach.h"

namespace orv::num2 {

namespace {

using erf_series::kErfInverseNearZero;

constexpr double kSqrtPi = 1.7724538509055160273;

// Constants of DERFCI, fixed on its first call.
struct ErfciConstants {
    int terms;
    double xclose, tol;
};

}  // namespace

double DNORDF(double x) {
    static const double sqrt_half = std::sqrt(0.5);
    ErrorLevel frame("DNORDF");
    const double result = 0.5 * DERFC(-sqrt_half * x);
    // The underflow alert for very negative X is expected: the result 0 is
    // right, so the caller sees no error.
    if (N1RTY(1) == 2) E1MES(0, 0, " ");
    return result;
}

double DNORIN(double p) {
    static const double minus_sqrt2 = -std::sqrt(2.0);
    ErrorLevel frame("DNORIN");
    double result = DMACH(6);
    // Written so that a NaN P fails the check as well.
    if (!(p > 0.0 && p < 1.0)) {
        MSGDBL(1, p);
        E1MES(5, 1, "The argument to the function must be greater than 0.0 and less than 1.0.  P = %(D1).");
    } else {
        result = minus_sqrt2 * DERFCI(2.0 * p);
        // For P next to 1 the loss of half the precision is inherent in P
        // itself; the warning of DERFCI is dropped.
        if (N1RTY(1) == 3 && N1RCD(1) == 2) E1MES(0, 0, " ");
    }
    return result;
}

double DERFC(double x) {
    ErrorLevel frame("DERFC");
    const double xmax = erfc_limits().erfc_xmax;
    if (x > xmax) {
        MSGDBL(1, x);
        MSGDBL(2, xmax);
        E1MES(2, 1, "The function underflows because X = %(D1) is greater than %(D2). The result is set to zero.");
    }
    return DERFC_PURE(x);
}

double DERFCE(double x) {
    ErrorLevel frame("dERFCE");
    const ErfcLimits& k = erfc_limits();
    if (x < k.erfce_xmin) {
        MSGDBL(1, x);
        MSGDBL(2, k.erfce_xmin);
        E1MES(5, 4, "The function overflows because X = %(d1) is less than %(d2).");
    } else if (x > k.erfce_xmax) {
        MSGDBL(1, x);
        MSGDBL(2, k.erfce_xmax);
        E1MES(2, 1, "The function underflows because X = %(d1) is greater than %(d2). The result is set to zero.");
    }
    return DERFCE_PURE(x);
}

double DERFCI(double x) {
    static const ErfciConstants k = [] {
        ErfciConstants c{};
        c.terms = INITDS(kErfInverseNearZero, 44, erf_series_eta());
        const double h = std::sqrt(DMACH(4) / 12.566);
        const double u = -h / std::log(1.77 * h);
        const double v = std::log(1.77 * u);
        c.xclose = 2.0 - (u - (u * v + h) / (v + 1.0));
        c.tol = 10.0 * DMACH(4);
        return c;
    }();
    ErrorLevel frame("DERFCI");
    double result = DMACH(6);
    // Written so that a NaN X fails the first check.
    if (!(x > 0.0)) {
        MSGDBL(1, x);
        E1MES(5, 5, "X = %(D1) must be greater than zero.");
    } else if (x >= 2.0) {
        MSGDBL(1, x);
        E1MES(5, 6, "X = %(D1) must be less than 2.0.");
    } else {
        if (x > k.xclose) {
            MSGDBL(1, x);
            E1MES(3, 2,
                  "The result is accurate to less than one half precision because X = %(D1) is too close to 2.0.");
        }
        const double y = 1.0 - x;
        if (std::fabs(y) < 0.75) {
            result = y * (1.0 + DCSEVL(32.0 * y * y / 9.0 - 1.0, kErfInverseNearZero, k.terms));
        } else {
            const double xp = y >= 0.0 ? x : 2.0 - x;
            const double l = std::log(xp);
            const double a = -std::log(kSqrtPi * xp);
            const double b = std::log(a);
            double z = std::sqrt(a - 0.5 * b + (0.25 * b - 0.5) / a);
            bool converged = false;
            for (int iter = 0; iter < 100; ++iter) {
                const double s = 0.5 * kSqrtPi * (DERFCE(z) - std::exp(z * z + l));
                z += s;
                if (std::fabs(s) < z * k.tol) {
                    converged = true;
                    break;
                }
            }
            if (!converged) {
                E1MES(5, 7,
                      "Sufficiently accurate result was not achieved in a reasonable number of iterations. An "
                      "algorithmic problem exists.");
            }
            result = y >= 0.0 ? z : -z;
        }
    }
    return result;
}

}  // namespace orv::num2
