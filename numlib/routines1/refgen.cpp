#include "numlib/routines1/refgen.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <stdexcept>
#include <string>

#include "numlib/blas_lapack.h"
#include "numlib/routines1/dlassq_old.h"
#include "numlib/routines1/machine.h"

namespace orv::num1 {

namespace {

void check_vector(int n, std::size_t size, int incx, const char* name) {
    if (n <= 0) return;
    if (incx < 1) throw std::invalid_argument(std::string("REFGEN: ") + name + " must have a positive stride");
    if (static_cast<std::size_t>(n - 1) * static_cast<std::size_t>(incx) + 1 > size)
        throw std::length_error(std::string("REFGEN: ") + name + " is too small for its elements");
}

// X := X * (-1 / d), or X := -X / d when DIVIDE.  When 1/d is out of range
// (|d| below about 5.6e-309) the elements are divided as well, so that tiny
// vectors are not turned into infinities.
void scale_by_negative_reciprocal(int n, std::span<double> x, int incx, double d, bool divide) {
    if (n <= 0) return;
    const double factor = -1.0 / d;
    if (!divide && std::isfinite(factor)) {
        dscal_(&n, &factor, x.data(), &incx);
        return;
    }
    for (int i = 0; i < n; ++i) {
        double& v = x[static_cast<std::size_t>(i) * incx];
        v = -(v / d);
    }
}

// Steps shared by both generators once the scaled sum of squares of the
// whole vector is known.  Returns false when the vector is negligible.
bool make_reflector(double scale, double ssq, double& alpha, double tol, double& zeta, double& divisor,
                    bool& divide) {
    divide = false;
    if (scale == 0.0 || scale <= std::max(MCEPS() * std::fabs(alpha), tol)) {
        zeta = 0.0;
        return false;
    }
    if (alpha == 0.0) {
        zeta = 1.0;
        alpha = scale * std::sqrt(ssq);
        divisor = alpha;  // X := -X / |X|
        divide = true;
        return true;
    }
    const double absalpha = std::fabs(alpha);
    double absbeta = 0.0;
    if (scale < absalpha) {
        const double r = scale / alpha;
        absbeta = absalpha * std::sqrt(1.0 + ssq * (r * r));
    } else {
        const double r = alpha / scale;
        absbeta = scale * std::sqrt(ssq + r * r);
    }
    zeta = std::sqrt((absbeta + absalpha) / absbeta);
    const double beta = alpha > 0.0 ? -absbeta : absbeta;
    divisor = beta * zeta;
    alpha = beta;
    return true;
}

}  // namespace

void REFGEN(int n, double& alpha, std::span<double> x, int incx, double tol, double& zeta) {
    if (n < 1) {
        zeta = 0.0;
        return;
    }
    check_vector(n, x.size(), incx, "X");
    if (n == 1 && x[0] == 0.0) {
        zeta = 0.0;
        return;
    }
    double scale = 0.0;
    double ssq = 1.0;
    if (n == 1) scale = std::fabs(x[0]);
    else DLASSQ(n, x, incx, scale, ssq);
    double divisor = 0.0;
    bool divide = false;
    if (make_reflector(scale, ssq, alpha, tol, zeta, divisor, divide))
        scale_by_negative_reciprocal(n, x, incx, divisor, divide);
}

void REFGENR(int n1, int n2, double& alpha, std::span<double> x, int incx, std::span<double> y, int incy,
             double tol, double& zeta) {
    if (n1 < 1) {
        REFGEN(n2, alpha, y, incy, tol, zeta);
        return;
    }
    if (n2 < 1) {
        REFGEN(n1, alpha, x, incx, tol, zeta);
        return;
    }
    check_vector(n1, x.size(), incx, "X");
    check_vector(n2, y.size(), incy, "Y");
    double scale = 0.0;
    double ssq = 1.0;
    DLASSQ(n1, x, incx, scale, ssq);
    DLASSQ(n2, y, incy, scale, ssq);
    double divisor = 0.0;
    bool divide = false;
    if (make_reflector(scale, ssq, alpha, tol, zeta, divisor, divide)) {
        scale_by_negative_reciprocal(n1, x, incx, divisor, divide);
        scale_by_negative_reciprocal(n2, y, incy, divisor, divide);
    }
}

}  // namespace orv::num1
