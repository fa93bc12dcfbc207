// Harris-Kaiser rotation: weighting and column scaling, an orthomax
// rotation of the scaled loadings, and the oblique transformation and factor
// correlations recovered from it.
#include "numlib/routines2/dfharr.h"

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

// Sum of x_l * y_l * z_l over N elements of three strided vectors; a
// negative stride runs from the far end, N <= 0 gives 0.0.
double triple_product(int n, const double* x, int incx, const double* y, int incy, const double* z, int incz) {
    if (n <= 0) return 0.0;
    auto start = [n](int inc) { return inc < 0 ? static_cast<std::ptrdiff_t>(n - 1) * -inc : 0; };
    std::ptrdiff_t ix = start(incx), iy = start(incy), iz = start(incz);
    double sum = 0.0;
    for (int l = 0; l < n; ++l, ix += incx, iy += incy, iz += incz) sum += x[ix] * y[iy] * z[iz];
    return sum;
}

// Divisor of row i: the square root of its weight, at least 1.0E-6.  A
// negative or NaN weight (a Heywood case gives 1 - communality < 0) takes
// the floor instead of turning the row into NaN.
double row_divisor(double weight) {
    const double root = std::sqrt(weight);
    return root > 1.0E-6 ? root : 1.0E-6;
}

}  // namespace

void DFHARR(int nvar, int nf, std::span<const double> a, int lda, int norm, int maxit, double w, double c,
            double eps, std::span<const double> wt, std::span<double> b, int ldb, std::span<double> t, int ldt,
            std::span<double> fcor, int ldfcor) {
    if (oblique::dimensions_valid(nvar, nf, lda, ldb, ldt, ldfcor)) {
        oblique::require_matrices("DFHARR", nvar, nf, a, lda, b, ldb, t, ldt, fcor, ldfcor);
        numlib::require_length(wt.size(), static_cast<std::size_t>(nvar), "DFHARR", "WT");
    }
    ErrorLevel frame("DFHARR");
    if (nf > nvar || nvar < 1 || nf < 1) {
        MSGINT(1, nvar);
        MSGINT(2, nf);
        E1MES(5, 1,
              "NVAR = %(I1) and NF = %(I2).  NVAR and NF must be greater than or equal to 1 and NF must be "
              "less than or equal to NVAR.");
        return;
    }
    std::vector<double> wk, wkv;
    try {
        wk.resize(2 * static_cast<std::size_t>(nf));
        wkv.resize(static_cast<std::size_t>(nvar));
    } catch (const std::bad_alloc&) {
        oblique::storage_failed(nvar, nf);
        return;
    }
    if (oblique::leading_dimensions_fit(nvar, nf, lda, ldb, ldt, ldfcor)) {
        DF2ARR(nvar, nf, a, lda, norm, maxit, w, c, eps, wt, b, ldb, t, ldt, fcor, ldfcor, wk, wkv);
    }
}

void DF2ARR(int nvar, int nf, std::span<const double> a, int lda, int norm, int maxit, double w, double c,
            double eps, std::span<const double> wt, std::span<double> b, int ldb, std::span<double> t, int ldt,
            std::span<double> fcor, int ldfcor, std::span<double> wk, std::span<double> wkv) {
    if (!oblique::dimensions_valid(nvar, nf, lda, ldb, ldt, ldfcor)) {
        throw std::length_error("DF2ARR: NF or a leading dimension does not fit NVAR and NF");
    }
    oblique::require_matrices("DF2ARR", nvar, nf, a, lda, b, ldb, t, ldt, fcor, ldfcor);
    numlib::require_length(wt.size(), static_cast<std::size_t>(nvar), "DF2ARR", "WT");
    numlib::require_length(wk.size(), 2 * static_cast<std::size_t>(nf), "DF2ARR", "WK");
    numlib::require_length(wkv.size(), static_cast<std::size_t>(nvar), "DF2ARR", "WKV");

    ErrorLevel frame("DF2ARR");
    if (maxit < 1) {
        MSGINT(1, maxit);
        E1MES(5, 7, "MAXIT = %(I1).  MAXIT must be 1 or more.");
    }
    if (w < 0.0) {
        MSGDBL(1, w);
        E1MES(5, 8, "W = %(D1).  W must be 0.0 or more.");
    }
    if (c < 0.0 || c > 1.0) {
        MSGDBL(1, c);
        E1MES(5, 9, "C = %(D1).  C must be greater than or equal 0.0 and less than or equal to 1.0.");
    }
    if (N1RCD(0) != 0) {
        return;
    }
    const double eps_used = eps > 0.0 ? eps : 0.0001;
    const int one = 1;

    auto A = [&](int i, int j) { return a[numlib::element(i, j, lda)]; };
    auto B = [&](int i, int j) -> double& { return b[numlib::element(i, j, ldb)]; };
    auto T = [&](int i, int j) -> double& { return t[numlib::element(i, j, ldt)]; };
    auto F = [&](int i, int j) -> double& { return fcor[numlib::element(i, j, ldfcor)]; };
    auto WK = [&](int j) -> double& { return wk[static_cast<std::size_t>(j - 1)]; };
    auto WKV = [&](int j) -> double& { return wkv[static_cast<std::size_t>(j - 1)]; };

    // Weighted loadings.
    for (int i = 1; i <= nvar; ++i) {
        const double u = row_divisor(wt[static_cast<std::size_t>(i - 1)]);
        for (int j = 1; j <= nf; ++j) B(i, j) = A(i, j) / u;
    }
    // Column j scaled by s_j^((C-1)/2).  A column with a zero sum of squares
    // has no length to scale; it is left as it is, which the back
    // transformation then sees as s_j = 1.
    for (int j = 1; j <= nf; ++j) {
        const double sj = ddot_(&nvar, &B(1, j), &one, &B(1, j), &one);
        if (sj != 0.0) {
            WK(j) = 1.0 / std::sqrt(sj);
            WK(nf + j) = std::pow(sj, c / 2.0);
        } else {
            WK(j) = 1.0;
            WK(nf + j) = 1.0;
        }
        const double scale = WK(j) * WK(nf + j);
        dscal_(&nvar, &scale, &B(1, j), &one);
    }

    DF2OTA(nvar, nf, b, ldb, norm, maxit, w, eps_used, b, ldb, t, ldt, wkv);

    const double e = 2.0 * (c - 1.0);
    for (int j = 1; j <= nf; ++j) {
        WKV(j) = WK(j) * WK(nf + j);
        WK(j) = std::pow(WK(j), e);
    }
    // Upper triangle of T' diag(s^(1-C)) T.
    for (int k = 1; k <= nf; ++k) {
        for (int i = 1; i <= k; ++i) F(i, k) = triple_product(nf, &T(1, i), 1, &T(1, k), 1, &WK(1), 1);
    }
    for (int j = 1; j <= nf; ++j) {
        dscal_(&nf, &WKV(j), &T(j, 1), &ldt);
        const double dj = 1.0 / std::sqrt(F(j, j));
        const double inv = 1.0 / dj;
        dscal_(&nf, &inv, &T(1, j), &one);
        WK(j) = dj;
        for (int l = 1; l <= j; ++l) F(l, j) = dj * F(l, j) * WK(l);
    }
    DCSFRG(nf, fcor, ldfcor);
    for (int i = 1; i <= nvar; ++i) {
        const double u = row_divisor(wt[static_cast<std::size_t>(i - 1)]);
        for (int j = 1; j <= nf; ++j) B(i, j) = u * B(i, j) / WK(j);
    }
}

void DF2OTA(int nvar, int nf, std::span<const double> a, int lda, int norm, int maxit, double w, double eps,
            std::span<double> b, int ldb, std::span<double> t, int ldt, std::span<double> wkv) {
    if (nf < 1 || nvar < 1 || lda < nvar || ldb < nvar || ldt < nf) {
        throw std::length_error("DF2OTA: a count or leading dimension is not valid");
    }
    numlib::require_length(a.size(), numlib::matrix_extent(nvar, nf, lda), "DF2OTA", "A");
    numlib::require_length(b.size(), numlib::matrix_extent(nvar, nf, ldb), "DF2OTA", "B");
    numlib::require_length(t.size(), numlib::matrix_extent(nf, nf, ldt), "DF2OTA", "T");
    if (norm == 1) numlib::require_length(wkv.size(), static_cast<std::size_t>(nvar), "DF2OTA", "WKV");

    ErrorLevel frame("DF2OTA");
    const double eps2 = eps > 0.0 ? eps : 0.0001;
    const double angle_min = 0.25 * eps2;
    const double g = w / nvar;
    const int one = 1;

    auto B = [&](int i, int j) -> double& { return b[numlib::element(i, j, ldb)]; };
    auto T = [&](int i, int j) -> double& { return t[numlib::element(i, j, ldt)]; };

    for (int j = 1; j <= nf; ++j) {
        DVFILL(nf, 0.0, t.subspan(numlib::element(1, j, ldt)), 1);
        T(j, j) = 1.0;
    }
    // B and A may share their storage; copying a column onto itself is
    // harmless.
    for (int j = 1; j <= nf; ++j) {
        if (a.data() + numlib::element(1, j, lda) != &B(1, j)) dcopy_(&nvar, &a[numlib::element(1, j, lda)], &one, &B(1, j), &one);
    }
    if (nf == 1) {
        return;
    }

    if (norm == 1) {
        // A row of zeros stays zero instead of being divided by its length.
        for (int i = 1; i <= nvar; ++i) {
            const double* row = &a[numlib::element(i, 1, lda)];
            wkv[static_cast<std::size_t>(i - 1)] = std::sqrt(ddot_(&nf, row, &lda, row, &lda));
            const double len = wkv[static_cast<std::size_t>(i - 1)];
            if (len != 0.0) {
                const double scale = 1.0 / len;
                dscal_(&nf, &scale, &B(i, 1), &ldb);
            }
        }
    }

    const int pairs = nf * (nf - 1) / 2;
    const double dn = nvar;
    double v_old = 0.0;
    int converged_count = 0;
    int skipped = 0;
    bool done = false;
    for (int iter = 1; iter <= maxit && !done; ++iter) {
        double v = 0.0;
        for (int j = 1; j <= nf; ++j) {
            double s4 = 0.0, s2 = 0.0;
            for (int i = 1; i <= nvar; ++i) {
                const double x2 = B(i, j) * B(i, j);
                s4 += x2 * x2;
                s2 += x2;
            }
            v += dn * s4 - w * (s2 * s2);
        }
        v = v / (dn * dn);
        if (v - v_old <= eps2 * v_old) {
            ++converged_count;
            if (converged_count >= 2) {
                done = true;
                break;
            }
        }
        v_old = v;

        for (int j = 1; j <= nf - 1 && !done; ++j) {
            for (int k = j + 1; k <= nf; ++k) {
                double sa = 0.0, sb = 0.0, sc = 0.0, suv = 0.0;
                for (int i = 1; i <= nvar; ++i) {
                    const double x = B(i, j);
                    const double y = B(i, k);
                    const double u = x * x - y * y;
                    const double vv = 2.0 * x * y;
                    sa += u;
                    sb += vv;
                    sc += u * u - vv * vv;
                    suv += u * vv;
                }
                const double sd = 2.0 * suv;
                const double num = sd - 2.0 * sa * sb * g;
                const double den = sc - (sa * sa - sb * sb) * g;
                const double phi = 0.25 * std::atan2(num, den);
                if (std::fabs(phi) < angle_min || std::fabs(num) + std::fabs(den) <= eps2) {
                    ++skipped;
                    if (skipped >= pairs) {
                        done = true;
                        break;
                    }
                    continue;
                }
                skipped = 0;
                const double cs = std::cos(phi);
                const double sn = std::sin(phi);
                for (int i = 1; i <= nvar; ++i) {
                    const double x = B(i, j);
                    const double y = B(i, k);
                    B(i, j) = cs * x + sn * y;
                    B(i, k) = cs * y - sn * x;
                }
                for (int i = 1; i <= nf; ++i) {
                    const double x = T(i, j);
                    const double y = T(i, k);
                    T(i, j) = cs * x + sn * y;
                    T(i, k) = cs * y - sn * x;
                }
            }
        }
    }
    if (!done) {
        MSGINT(1, maxit);
        E1MES(3, 1, "%(I1) iterations without convergence.  Convergence assumed.");
    }

    if (norm == 1) {
        for (int i = 1; i <= nvar; ++i) {
            const double len = wkv[static_cast<std::size_t>(i - 1)];
            if (len != 0.0) dscal_(&nf, &len, &B(i, 1), &ldb);
        }
    }
}

}  // namespace orv::num2
