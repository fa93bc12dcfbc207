// Direct oblimin rotation by plane steps whose step parameter is the best
// real root of a cubic.
#include "numlib/routines2/dfdobl.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "numlib/array_args.h"
#include "numlib/blas_lapack.h"
#include "numlib/routines2/dlinds.h"
#include "numlib/routines2/erset.h"
#include "numlib/routines2/oblique_args.h"

namespace orv::num2 {
namespace {

// |x|^(1/3) carrying the sign of x; a negative zero counts as negative.
double signed_cube_root(double x) {
    const double third = 0.3333333333333333;
    return std::signbit(x) ? -std::pow(-x, third) : std::pow(x, third);
}

// Sizes of the arrays the rotation reads and writes, for dimensions that
// have passed the count and leading-dimension checks.
}  // namespace

double oblimin_cubic_root(double a, double b, double c0) {
    const double p3 = (3.0 * b - a * a) / 3.0;
    const double q3 = (2.0 * a * a - 9.0 * b) * a / 27.0 + c0;
    const double disc = q3 * q3 * 0.25 + p3 * p3 * p3 / 27.0;
    if (disc < 0.0) {
        // Three real roots; p3 < 0 here.  The cosine argument lies inside
        // [-1, 1] in exact arithmetic; rounding must not push it out.
        const double arg = std::clamp(-q3 / (2.0 * std::sqrt(-(p3 * p3 * p3) / 27.0)), -1.0, 1.0);
        const double theta = std::acos(arg) / 3.0;
        const double m = 2.0 * std::sqrt(-p3 / 3.0);
        const double c1 = std::cos(theta);
        const double c2 = std::cos(theta + 4.1887902);
        const double c3 = std::cos(theta + 2.0943951);
        const double lo = m * std::min({c1, c2, c3}) - a / 3.0;
        const double hi = m * std::max({c1, c2, c3}) - a / 3.0;
        // The antiderivative of the cubic decides between the two minima.
        auto g = [&](double r) { return (((0.25 * r + a / 3.0) * r + 0.5 * b) * r + c0) * r; };
        return g(lo) <= g(hi) ? lo : hi;
    }
    const double u = std::sqrt(disc) - 0.5 * q3;
    const double v = -(q3 + u);
    return signed_cube_root(u) + signed_cube_root(v) - a / 3.0;
}

void DFDOBL(int nvar, int nf, std::span<const double> a, int lda, int norm, double w, int maxit, double eps,
            std::span<double> b, int ldb, std::span<double> t, int ldt, std::span<double> fcor, int ldfcor) {
    if (oblique::dimensions_valid(nvar, nf, lda, ldb, ldt, ldfcor)) {
        oblique::require_matrices("DFDOBL", nvar, nf, a, lda, b, ldb, t, ldt, fcor, ldfcor);
    }
    ErrorLevel frame("DFDOBL");
    if (nf < 1 || nvar < nf) {
        MSGINT(1, nf);
        MSGINT(2, nvar);
        E1MES(5, 1,
              "NF = %(I1) and NVAR = %(I2).  NF must be greater than or equal to 1 and NVAR must be greater "
              "than or equal to NF.");
        return;
    }
    std::vector<double> h, d, r;
    try {
        h.resize(static_cast<std::size_t>(nvar));
        d.resize(static_cast<std::size_t>(nf));
        r.resize(static_cast<std::size_t>(nvar));
    } catch (const std::bad_alloc&) {
        oblique::storage_failed(nvar, nf);
        return;
    }
    if (oblique::leading_dimensions_fit(nvar, nf, lda, ldb, ldt, ldfcor)) {
        DF2OBL(nvar, nf, a, lda, norm, w, maxit, eps, b, ldb, t, ldt, fcor, ldfcor, h, d, r);
    }
}

void DF2OBL(int nvar, int nf, std::span<const double> a, int lda, int norm, double w, int maxit, double eps,
            std::span<double> b, int ldb, std::span<double> t, int ldt, std::span<double> fcor, int ldfcor,
            std::span<double> h, std::span<double> d, std::span<double> r) {
    if (!oblique::dimensions_valid(nvar, nf, lda, ldb, ldt, ldfcor)) {
        throw std::length_error("DF2OBL: NF or a leading dimension does not fit NVAR and NF");
    }
    oblique::require_matrices("DF2OBL", nvar, nf, a, lda, b, ldb, t, ldt, fcor, ldfcor);
    numlib::require_length(h.size(), static_cast<std::size_t>(nvar), "DF2OBL", "H");
    numlib::require_length(d.size(), static_cast<std::size_t>(nf), "DF2OBL", "D");
    numlib::require_length(r.size(), static_cast<std::size_t>(nvar), "DF2OBL", "R");

    ErrorLevel frame("DF2OBL");
    if (nvar < 2) {
        MSGINT(1, nvar);
        E1MES(5, 1, "NVAR = %(I1).  NVAR must be 2 or more.");
    }
    if (w > 0.0) {
        MSGDBL(1, w);
        E1MES(5, 7, "W = %(D1). W must be nonpositive.");
    }
    if (maxit < 0) {
        MSGINT(1, maxit);
        E1MES(5, 8, "MAXIT = %(I1).  MAXIT must be 0 or more.");
    }
    if (eps < 0.0) {
        MSGDBL(1, eps);
        E1MES(5, 9, "EPS = %(D1).  EPS must be greater than or equal to 0.");
    }
    if (N1RCD(0) != 0) {
        return;
    }

    // The sweep limit and tolerance of this call.
    const int limit = maxit == 0 ? 30 : maxit;
    const double tolerance = eps == 0.0 ? 0.0001 : eps;
    const double wn = w / nvar;
    const int one = 1;

    auto B = [&](int i, int j) -> double& { return b[numlib::element(i, j, ldb)]; };
    auto T = [&](int i, int j) -> double& { return t[numlib::element(i, j, ldt)]; };
    auto F = [&](int i, int j) -> double& { return fcor[numlib::element(i, j, ldfcor)]; };
    auto H = [&](int i) -> double& { return h[static_cast<std::size_t>(i - 1)]; };
    auto D = [&](int j) -> double& { return d[static_cast<std::size_t>(j - 1)]; };
    auto R = [&](int i) -> double& { return r[static_cast<std::size_t>(i - 1)]; };

    if (nf == 1) {
        E1MES(4, 1, "NF = 1.  No rotation is possible.");
        dcopy_(&nvar, a.data(), &one, b.data(), &one);
        T(1, 1) = 1.0;
        return;
    }

    // Start from T = FCOR = I and B = A.
    for (int j = 1; j <= nf; ++j) {
        DVFILL(nf, 0.0, t.subspan(numlib::element(1, j, ldt)), 1);
        T(j, j) = 1.0;
        DVFILL(nf, 0.0, fcor.subspan(numlib::element(1, j, ldfcor)), 1);
        F(j, j) = 1.0;
    }
    DMRRRR(nvar, nf, a, lda, nf, nf, t, ldt, nvar, nf, b, ldb);

    if (norm == 1) {
        // A row of zeros has no direction: it is left as it is rather than
        // divided by its zero length.
        for (int i = 1; i <= nvar; ++i) {
            H(i) = dnrm2_(&nf, &a[numlib::element(i, 1, lda)], &lda);
            if (H(i) != 0.0) {
                const double scale = 1.0 / H(i);
                dscal_(&nf, &scale, &B(i, 1), &ldb);
            }
        }
    }

    double total = 0.0;
    for (int j = 1; j <= nf; ++j) {
        D(j) = ddot_(&nvar, &B(1, j), &one, &B(1, j), &one);
        total += D(j);
    }
    for (int i = 1; i <= nvar; ++i) R(i) = ddot_(&nf, &B(i, 1), &ldb, &B(i, 1), &ldb) - wn * total;

    double f_old = 1.0E30;
    bool converged = false;
    for (int iter = 1; iter <= limit; ++iter) {
        double crit = 0.0;
        for (int k = 2; k <= nf; ++k) {
            for (int j = 1; j <= k - 1; ++j) {
                for (int i = 1; i <= nvar; ++i) {
                    crit += (B(i, j) * B(i, j) - wn * D(j)) * (B(i, k) * B(i, k));
                }
            }
        }
        if (crit <= 0.0 || std::fabs((crit - f_old) / crit) < tolerance) {
            converged = true;
            break;
        }
        f_old = crit;

        for (int p = 1; p <= nf; ++p) {
            for (int q = 1; q <= nf; ++q) {
                if (q == p) continue;
                double s1 = 0.0, s2 = 0.0, s3 = 0.0, s4 = 0.0, s5 = 0.0;
                for (int i = 1; i <= nvar; ++i) {
                    const double bp = B(i, p);
                    const double bq = B(i, q);
                    const double bp2 = bp * bp;
                    const double bq2 = bq * bq;
                    const double v = R(i) - bp2 - bq2 + wn * (D(p) + D(q));
                    R(i) = v;
                    const double u = bq2 - wn * D(q);
                    s1 += u * bp2;
                    s2 += u * bp * bq;
                    s3 += u * bq2;
                    s4 += bq2 * v;
                    s5 += bp * bq * v;
                }
                const double phi = F(p, q);
                double step = 0.0;
                double s = 1.0;
                if (std::fabs(s3) > 0.0) {
                    const double ca = 0.75 * (2.0 * phi - 2.0 * s2 / s3);
                    const double cb = 0.5 * ((s1 - 4.0 * phi * s2 + 2.0 * s4) / s3 + 1.0);
                    const double cc = 0.25 * (2.0 * phi * (s1 + s4) - 2.0 * s2 - 2.0 * s5) / s3;
                    step = oblimin_cubic_root(ca, cb, cc);
                    s = std::sqrt((2.0 * phi + step) * step + 1.0);
                }
                if (!(step == 0.0 && s == 1.0)) {
                    // Factor q becomes (f_q + t f_p)/s: the pattern and the
                    // transformation change contragrediently.
                    const double minus_t = -step;
                    daxpy_(&nvar, &minus_t, &B(1, q), &one, &B(1, p), &one);
                    dscal_(&nvar, &s, &B(1, q), &one);
                    daxpy_(&nf, &minus_t, &T(1, q), &one, &T(1, p), &one);
                    dscal_(&nf, &s, &T(1, q), &one);
                    for (int k = 1; k <= nf; ++k) {
                        const double g = (step * F(p, k) + F(q, k)) / s;
                        F(q, k) = g;
                        F(k, q) = g;
                    }
                    F(q, q) = 1.0;
                    D(p) = ddot_(&nvar, &B(1, p), &one, &B(1, p), &one);
                    D(q) = s * s * D(q);
                }
                for (int i = 1; i <= nvar; ++i) {
                    R(i) = B(i, p) * B(i, p) + B(i, q) * B(i, q) + R(i) - wn * (D(p) + D(q));
                }
            }
        }
    }
    if (!converged) {
        MSGINT(1, limit);
        E1MES(3, 1, "%(I1) iterations with no convergence.  Convergence assumed.");
    }

    if (norm == 1) {
        for (int i = 1; i <= nvar; ++i) {
            if (H(i) != 0.0) dscal_(&nf, &H(i), &B(i, 1), &ldb);
        }
    }
}

}  // namespace orv::num2
