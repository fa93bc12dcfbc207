#include "numlib/routines1/g03baf.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "numlib/array_args.h"
#include "numlib/blas_lapack.h"
#include "numlib/routines1/errexit.h"
#include "numlib/routines1/f02wef.h"
#include "numlib/routines1/machine.h"
#include "numlib/routines1/rotgen.h"
#include "runtime/formatted_io.h"

namespace orv::num1 {

namespace {

constexpr const char* kName = "G03BAF";

using numlib::matrix_extent;
using numlib::require_length;

// The first failing argument check, its message in RECORD; 0 when all pass.
int check_arguments(std::string_view stand, double g, int nvar, int k, int ldf, int ldr, double acc, int maxit,
                    std::vector<std::string>& record) {
    const char s = stand.empty() ? ' ' : stand.front();
    if (k < 2) {
        static const rt::Format f = rt::parse_format("(A,I16)");
        rt::write_internal(record, 80, f, " ** On entry, K.lt.2: K = ", k);
    } else if (nvar < k) {
        static const rt::Format f = rt::parse_format("(A,I16,A,I16)");
        rt::write_internal(record, 80, f, " ** On entry, NVAR.lt.K: NVAR = ", nvar, " K = ", k);
    } else if (ldf < nvar) {
        static const rt::Format f = rt::parse_format("(A,I16,A,I16)");
        rt::write_internal(record, 80, f, " ** On entry, LDF.lt.NVAR: LDF = ", ldf, " NVAR = ", nvar);
    } else if (ldr < k) {
        static const rt::Format f = rt::parse_format("(A,I16,A,I16)");
        rt::write_internal(record, 80, f, " ** On entry, LDR.lt.K: LDR = ", ldr, " K = ", k);
    } else if (s != 'S' && s != 's' && s != 'U' && s != 'u') {
        static const rt::Format f = rt::parse_format("(A,A1)");
        rt::write_internal(record, 80, f, " ** On entry, STAND is not a valid character: STAND = ",
                           std::string(1, s));
    } else if (!(g >= 0.0)) {
        static const rt::Format f = rt::parse_format("(A,D13.5)");
        rt::write_internal(record, 80, f, " ** On entry, G.lt.0.0: G = ", g);
    } else if (!(acc >= 0.0)) {
        static const rt::Format f = rt::parse_format("(A,D13.5)");
        rt::write_internal(record, 80, f, " ** On entry, ACC.lt.0.0: ACC = ", acc);
    } else if (maxit < 1) {
        static const rt::Format f = rt::parse_format("(A,I16)");
        rt::write_internal(record, 80, f, " ** On entry, MAXIT.le.0: MAXIT = ", maxit);
    } else {
        return 0;
    }
    return 1;
}

}  // namespace

void G03BAF(std::string_view stand, double g, int nvar, int k, std::span<double> fl, int ldf, std::span<double> flr,
            std::span<double> r, int ldr, double acc, int maxit, int& iter, std::span<double> wk, int& ifail) {
    std::vector<std::string> record(1);
    int ierror = check_arguments(stand, g, nvar, k, ldf, ldr, acc, maxit, record);
    if (ierror != 0) {
        ifail = ERREXIT(ifail, ierror, kName, 1, record);
        return;
    }
    const std::size_t matrix = matrix_extent(nvar, k, ldf);
    require_length(fl.size(), matrix, kName, "FL");
    require_length(flr.size(), matrix, kName, "FLR");
    require_length(r.size(), matrix_extent(k, k, ldr), kName, "R");
    const std::int64_t work = 2 * static_cast<std::int64_t>(nvar) + static_cast<std::int64_t>(k) * k + 5 * k - 4;
    require_length(wk.size(), work, kName, "WK");

    const std::ptrdiff_t ld = ldf;
    auto L = [&](int i, int j) -> double& { return flr[static_cast<std::size_t>((i - 1) + (j - 1) * ld)]; };
    auto col = [&](std::span<double> m, int j, std::ptrdiff_t ldm) { return m.data() + (j - 1) * ldm; };
    const int one = 1;
    const double zero = 0.0, unit = 1.0;
    const bool standardise = stand.front() == 'S' || stand.front() == 's';

    const double c45 = 1.0 / std::sqrt(2.0);
    const double eps = MCEPS();
    const double tol = (acc > eps && acc < 1.0) ? acc : eps;
    const double gn = g / nvar;

    // Kaiser normalisation: each row to unit length, its length kept in
    // WK(1..NVAR).  A row of zeros has no direction and stays as it is (its
    // length 0 brings it back to zero at the end); a row so short that the
    // reciprocal of its length overflows is divided instead.
    if (standardise) {
        for (int i = 1; i <= nvar; ++i) {
            double* row = fl.data() + (i - 1);
            const double h = dnrm2_(&k, row, &ldf);
            wk[static_cast<std::size_t>(i - 1)] = h;
            if (h == 0.0) continue;
            const double inverse = 1.0 / h;
            if (std::isfinite(inverse)) {
                dscal_(&k, &inverse, row, &ldf);
            } else {
                for (int j = 0; j < k; ++j) row[j * ld] /= h;
            }
        }
    }

    int ldf_copy = ldf;
    dlacpy_("G", &nvar, &k, fl.data(), &ldf_copy, flr.data(), &ldf_copy, 1);
    iter = 0;
    double vold = 0.0;
    bool converged = false;
    do {
        ++iter;
        double v = 0.0;
        for (int j = 1; j <= k; ++j) {
            double fourth = 0.0, square = 0.0;
            for (int i = 1; i <= nvar; ++i) {
                const double x2 = L(i, j) * L(i, j);
                fourth += x2 * x2;
                square += x2;
            }
            v += fourth + gn * square;
        }
        if (std::fabs(v - vold) <= tol * std::max(vold, 1.0)) {
            converged = true;
            break;
        }
        vold = std::fabs(v);

        // One sweep of plane rotations over every pair of factors.
        for (int j1 = 1; j1 < k; ++j1) {
            for (int j2 = j1 + 1; j2 <= k; ++j2) {
                double a = 0.0, b = 0.0, c = 0.0, d = 0.0;
                for (int i = 1; i <= nvar; ++i) {
                    const double x = L(i, j1), y = L(i, j2);
                    const double u = x * x - y * y;
                    const double w = 2.0 * x * y;
                    a += u;
                    b += w;
                    c += u * u - w * w;
                    d += 2.0 * u * w;
                }
                double num = d - gn * 2.0 * a * b;
                double den = c - gn * (a * a - b * b);
                // The angle atan2(NUM, DEN) / 4 through half-angle formulas.
                const bool num_negative = std::signbit(num);
                const bool den_negative = den < 0.0;
                double c4 = 0.0, s4 = 0.0;
                ROTGEN(den, num, c4, s4);
                const double c2 = std::sqrt((1.0 + c4) * 0.5);
                const double c1 = std::sqrt((1.0 + c2) * 0.5);
                const double s1 = s4 / (4.0 * c1 * c2);
                double cs = c1, sn = s1;
                if (den_negative) {
                    if (!num_negative) {
                        cs = (c1 - s1) * c45;
                        sn = (s1 + c1) * c45;
                    } else {
                        cs = (c1 + s1) * c45;
                        sn = (s1 - c1) * c45;
                    }
                }
                for (int i = 1; i <= nvar; ++i) {
                    const double x = L(i, j1), y = L(i, j2);
                    L(i, j1) = cs * x + sn * y;
                    L(i, j2) = cs * y - sn * x;
                }
            }
        }
    } while (iter <= maxit);

    if (!converged) {
        static const rt::Format f = rt::parse_format("(A,I16)");
        rt::write_internal(record, 80, f, " ** Procedure failed to converge in MAXIT iterations: MAXIT =", maxit);
        ierror = 3;
    }

    // M = FL' t column by column, t the orthomax target of the last iterate,
    // into the top K x K block of FLR.
    double* target = wk.data() + nvar;
    for (int j = 1; j <= k; ++j) {
        double* lj = col(flr, j, ld);
        const double h = ddot_(&nvar, lj, &one, lj, &one);
        for (int i = 0; i < nvar; ++i) target[i] = lj[i] * lj[i] * lj[i];
        const double factor = -gn * h;
        daxpy_(&nvar, &factor, lj, &one, target, &one);
        dgemv_("T", &nvar, &k, &unit, fl.data(), &ldf_copy, target, &one, &zero, lj, &one, 1);
    }

    // R = U P' from the singular value decomposition M = U S P'.
    int svd = 1;
    std::span<double> sv = wk.subspan(static_cast<std::size_t>(nvar), static_cast<std::size_t>(k));
    std::span<double> svd_work = wk.subspan(2 * static_cast<std::size_t>(nvar));
    F02WEF(k, k, flr, ldf, 0, {}, 1, true, {}, 1, sv, true, r, ldr, svd_work, svd);
    if (svd != 0) {
        record[0] = " ** SVD failed to converge";
        ierror = 2;
    } else {
        const std::ptrdiff_t ldrr = ldr;
        double* copy = wk.data() + nvar;
        for (int j = 1; j <= k; ++j) {
            dcopy_(&k, col(r, j, ldrr), &one, copy, &one);
            dgemv_("N", &k, &k, &unit, flr.data(), &ldf_copy, copy, &one, &zero, col(r, j, ldrr), &one, 1);
        }
        for (int j = 1; j <= k; ++j)
            dgemv_("N", &nvar, &k, &unit, fl.data(), &ldf_copy, col(r, j, ldrr), &one, &zero, col(flr, j, ld), &one,
                   1);
    }

    // Back to the row lengths of the loadings given.
    if (standardise) {
        for (int i = 1; i <= nvar; ++i) {
            const double h = wk[static_cast<std::size_t>(i - 1)];
            dscal_(&k, &h, fl.data() + (i - 1), &ldf_copy);
            dscal_(&k, &h, flr.data() + (i - 1), &ldf_copy);
        }
    }
    ifail = ERREXIT(ifail, ierror, kName, 1, record);
}

}  // namespace orv::num1
