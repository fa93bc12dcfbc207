// Chebyshev series: term counts and evaluation.
#include "numlib/routines2/dcsevl.h"

#include <cfloat>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "numlib/routines2/erset.h"
#include "numlib/routines2/umach.h"

namespace orv::num2 {

int INITDS_PURE(std::span<const double> os, int nos, float eta) {
    float err = 0.0f;
    int i = nos;
    for (; i >= 1; --i) {
        // Magnitudes beyond the single-precision range count as infinite.
        const double mag = std::fabs(os[static_cast<std::size_t>(i - 1)]);
        err += mag > FLT_MAX ? std::numeric_limits<float>::infinity() : static_cast<float>(mag);
        if (err > eta) break;
    }
    if (i == nos) return 0;
    return i < 1 ? 1 : i;
}

int INITDS(std::span<const double> os, int nos, float eta) {
    if (nos >= 1 && os.size() < static_cast<std::size_t>(nos))
        throw std::length_error("INITDS: OS is shorter than NOS");
    ErrorLevel frame("INITDS");
    int result = 0;
    if (nos < 1) {
        MSGINT(1, nos);
        E1MES(5, 5, "The number of coefficients is less than 1. NOS = %(I1).");
    } else {
        result = INITDS_PURE(os, nos, eta);
        if (result == 0) E1MES(5, 6, "Too much accuracy may be requested. ETA should be increased.");
    }
    return result;
}

double DCSEVL(double x, std::span<const double> cs, int n) {
    if (n >= 1 && n <= 1000 && cs.size() < static_cast<std::size_t>(n))
        throw std::length_error("DCSEVL: CS is shorter than N");
    ErrorLevel frame("DCSEVL");
    double result = DMACH(6);
    if (n < 1) {
        MSGINT(1, n);
        E1MES(5, 5, "The number of terms in the series is not positive. N = %(I1).");
    } else if (n > 1000) {
        MSGINT(1, n);
        E1MES(5, 6, "The number of terms in the series is greater than 1000. N = %(I1).");
    } else {
        if (x < -1.1 || x > 1.1) {
            MSGDBL(1, x);
            E1MES(3, 7, "The argument X = %(D1) is outside the interval (-1.1,+1.1).");
        }
        result = DCSEVL_PURE(x, cs, n);
    }
    return result;
}

}  // namespace orv::num2
