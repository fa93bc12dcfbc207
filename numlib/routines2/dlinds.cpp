// Inverse of a symmetric positive definite matrix: Cholesky factor R with
// a condition estimate, R inverted in place, R^-1 R^-T accumulated in the
// upper triangle and mirrored into the lower one.
#include "numlib/routines2/dlinds.h"

#include <cmath>
#include <cstddef>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "numlib/array_args.h"
#include "numlib/blas_lapack.h"
#include "numlib/routines2/dlinds_parallel.h"
#include "numlib/routines2/erset.h"
#include "numlib/routines2/umach.h"

namespace orv::num2 {
namespace {

using detail::safe_minimum;
using numlib::element;
using numlib::matrix_extent;
using numlib::require_length;

// The input of a kernel that writes OUT: A itself when the two are the
// same array or apart, else a copy of A's N x N elements (leading
// dimension N) in SCRATCH.
const double* kernel_input(const double* a, int& lda, const double* out, int ldout, int n,
                           std::vector<double>& scratch) {
    if (detail::same_or_apart(a, static_cast<std::size_t>(lda), out, static_cast<std::size_t>(ldout), n)) return a;
    scratch.resize(matrix_extent(n, n, n));
    for (int j = 1; j <= n; ++j) {
        for (int i = 1; i <= n; ++i) scratch[element(i, j, n)] = a[element(i, j, lda)];
    }
    lda = n;
    return scratch.data();
}

void not_positive_definite(int column) {
    MSGINT(1, column);
    E1MES(4, 2, "The leading %(I1) by %(I1) submatrix of the input matrix is not positive definite.");
}

// The arrays of ROUTINE, checked when N, LDA and LDB are sound (the order
// checks that follow report them otherwise): A and B (named B_NAME) hold
// N x N elements, and WK, where the routine takes one, N values.
void require_arrays(std::string_view routine, int n, std::size_t a_size, int lda, std::size_t b_size, int ldb,
                    std::string_view b_name, std::optional<std::size_t> wk_size = std::nullopt) {
    if (n < 1 || lda < n || ldb < n) return;
    require_length(a_size, matrix_extent(n, n, lda), routine, "A");
    require_length(b_size, matrix_extent(n, n, ldb), routine, b_name);
    if (wk_size) require_length(*wk_size, static_cast<std::size_t>(n), routine, "WK");
}

// The three argument checks shared by the factorisation routines, codes 1
// to 3; NAME2 names the second leading dimension.
void check_order(int n, int lda, int ld2, const char* name2) {
    if (n < 1) {
        MSGINT(1, n);
        E1MES(5, 1, "The order of the matrix must be positive while N = %(I1) is given.");
    }
    if (n > lda) {
        MSGINT(1, n);
        MSGINT(2, lda);
        E1MES(5, 2,
              "The order of the matrix must be less than or equal to its leading dimension while N = %(I1) "
              "and LDA = %(I2) are given.");
    }
    if (n > ld2) {
        MSGINT(1, n);
        MSGINT(2, ld2);
        E1MES(5, 3,
              std::string("The order of the matrix must be less than or equal to its leading dimension while N = "
                          "%(I1) and ") +
                  name2 + " = %(I2) are given.");
    }
}

}  // namespace

void DVFILL(int n, double da, std::span<double> dx, int incx) {
    if (n < 1 || incx < 1) return;
    require_length(dx.size(), static_cast<std::size_t>(n - 1) * static_cast<std::size_t>(incx) + 1, "DVFILL", "DX");
    for (std::size_t i = 0, k = 0; i < static_cast<std::size_t>(n); ++i, k += static_cast<std::size_t>(incx)) {
        dx[k] = da;
    }
}

namespace {

// The routines below on the kernels of dlinds_parallel.h, with the crew of
// threads that DL2NDS may give them (null: the calling thread alone).

void complete_symmetric(int n, std::span<double> a, int lda, detail::Crew* crew) {
    if (n >= 1 && lda >= n) require_length(a.size(), matrix_extent(n, n, lda), "DCSFRG", "A");
    ErrorLevel frame("DCSFRG");
    if (n < 1) {
        MSGINT(1, n);
        E1MES(5, 1, "N = %(I1).  The order of A, N, must be greater than 0.");
    } else if (lda < n) {
        MSGINT(1, n);
        MSGINT(2, lda);
        E1MES(5, 2,
              "N = %(I1) and LDA = %(I2).  The order of A, N, must be less than or equal to the leading "
              "dimension of A, LDA.");
    } else {
        detail::mirror_upper(crew, n, a.data(), static_cast<std::size_t>(lda));
    }
}

// SUMS (N doubles, or null) also receives the column sums of DL2CDS's L1
// norm of A (detail::factor_spd).
void factor(int n, std::span<const double> a, int lda, std::span<double> fac, int ldfac, detail::Crew* crew,
            double* sums) {
    require_arrays("DLFTDS", n, a.size(), lda, fac.size(), ldfac, "FAC");
    ErrorLevel frame("DLFTDS");
    check_order(n, lda, ldfac, "LDFAC");
    if (N1RTY(0) == 0) {
        std::vector<double> scratch;
        const double* in = kernel_input(a.data(), lda, fac.data(), ldfac, n, scratch);
        const int failed = detail::factor_spd(crew, n, in, static_cast<std::size_t>(lda), fac.data(),
                                              static_cast<std::size_t>(ldfac), sums);
        if (failed != 0) not_positive_definite(failed);
    }
}

void condition(int n, std::span<const double> a, int lda, std::span<double> fac, int ldfac, double& rcond,
               std::span<double> wk, detail::Crew* crew) {
    require_arrays("DL2CDS", n, a.size(), lda, fac.size(), ldfac, "FAC", wk.size());
    ErrorLevel frame("DL2CDS");
    check_order(n, lda, ldfac, "LDFAC");
    rcond = 1.0;
    int flag = 2;
    if (N1RTY(0) == 0) {
        const int opt[1] = {17};
        int vals[2] = {1, 2};
        IUMAG("MATH", 1, 1, 1, opt, vals);
        flag = vals[1];
        if (flag != 1 && flag != 2) {
            MSGINT(1, flag);
            E1MES(5, 4,
                  "The flag value for computing the matrix condition number must be 1 or 2 while %(I1) is given.");
        }
    }
    if (N1RTY(0) != 0) {
        return;
    }

    // L1 norm of the symmetric matrix seen through its upper triangle: the
    // factorisation's copy of A sums its columns into WK.
    factor(n, a, lda, fac, ldfac, crew, flag == 2 ? wk.data() : nullptr);
    if (N1RTY(1) != 0) {
        return;
    }
    double anorm = 0.0;
    if (flag == 2) {
        for (int j = 1; j <= n; ++j) {
            const double s = wk[static_cast<std::size_t>(j - 1)];
            if (s > anorm) anorm = s;
        }
    }

    if (flag == 2) {
        const double small = safe_minimum();
        auto r = [&](int i, int j) -> double { return fac[element(i, j, ldfac)]; };
        // R(I, J) from L = R' in the lower triangle (the same values): row I
        // of R read down column I of L.
        auto r_row = [&](int i, int j) -> double { return fac[element(j, i, ldfac)]; };
        std::span<double> z = wk.first(static_cast<std::size_t>(n));
        auto zk = [&](int k) -> double& { return z[static_cast<std::size_t>(k - 1)]; };
        auto scale_z = [&](double s) {
            for (double& v : z) v *= s;
        };
        auto sum_abs_z = [&]() {
            double s = 0.0;
            for (double v : z) s += std::fabs(v);
            return s;
        };
        DVFILL(n, 0.0, z, 1);

        // R'W = E with the signs of E chosen to make W grow.
        double ek = 1.0;
        for (int k = 1; k <= n; ++k) {
            const double rkk = r(k, k);
            if (zk(k) != 0.0) ek = std::copysign(std::fabs(ek), -zk(k));
            if (std::fabs(ek - zk(k)) > rkk) {
                const double s = rkk / std::fabs(ek - zk(k));
                scale_z(s);
                ek *= s;
            }
            double wkp = ek - zk(k);
            double wkm = -ek - zk(k);
            double s = std::fabs(wkp);
            double sm = std::fabs(wkm);
            if (std::fabs(rkk) > small) {
                wkp /= rkk;
                wkm /= rkk;
            }
            if (k < n) {
                for (int j = k + 1; j <= n; ++j) {
                    sm += std::fabs(zk(j) + wkm * r_row(k, j));
                    zk(j) += wkp * r_row(k, j);
                    s += std::fabs(zk(j));
                }
                if (s < sm) {
                    const double t = wkm - wkp;
                    wkp = wkm;
                    for (int j = k + 1; j <= n; ++j) zk(j) += t * r_row(k, j);
                }
            }
            zk(k) = wkp;
        }
        scale_z(1.0 / sum_abs_z());

        // R Y = Z, backwards; YNORM collects the scale factors.
        double ynorm = 1.0;
        auto back_solve = [&](bool track) {
            for (int k = n; k >= 1; --k) {
                const double rkk = r(k, k);
                if (std::fabs(zk(k)) > rkk) {
                    const double s = rkk / std::fabs(zk(k));
                    scale_z(s);
                    if (track) ynorm *= s;
                }
                if (std::fabs(rkk) > small) zk(k) /= rkk;
                const double t = -zk(k);
                for (int i = 1; i < k; ++i) zk(i) += t * r(i, k);
            }
            const double s = 1.0 / sum_abs_z();
            scale_z(s);
            if (track) ynorm *= s;
        };
        back_solve(false);
        ynorm = 1.0;

        // R'V = Y.
        for (int k = 1; k <= n; ++k) {
            const double rkk = r(k, k);
            double dot = 0.0;
            for (int i = 1; i < k; ++i) dot += r(i, k) * zk(i);
            zk(k) -= dot;
            if (std::fabs(zk(k)) > rkk) {
                const double s = rkk / std::fabs(zk(k));
                scale_z(s);
                ynorm *= s;
            }
            if (std::fabs(rkk) > small) zk(k) /= rkk;
        }
        {
            const double s = 1.0 / sum_abs_z();
            scale_z(s);
            ynorm *= s;
        }

        // R Z = V.
        back_solve(true);

        if (anorm != 0.0) rcond = ynorm / anorm;
    }

    if (rcond <= DMACH(4)) {
        MSGDBL(1, rcond);
        E1MES(3, 1,
              "The matrix is algorithmically singular.  An estimate of the reciprocal of its L1 condition "
              "number is RCOND = %(d1).");
    }
}

void invert_triangle(int n, std::span<const double> a, int lda, int ipath, std::span<double> ainv, int ldainv,
                     detail::Crew* crew) {
    require_arrays("DLINRT", n, a.size(), lda, ainv.size(), ldainv, "AINV");
    ErrorLevel frame("DLINRT");
    check_order(n, lda, ldainv, "LDAINV");
    if (ipath != 1 && ipath != 2) {
        MSGINT(1, ipath);
        E1MES(5, 4, "IPATH must be either 1 or 2 while a value of %(I1) is given.");
    }
    if (N1RTY(0) != 0) {
        return;
    }

    const double small = safe_minimum();
    auto t = [&](int i, int j) -> double& { return ainv[element(i, j, ldainv)]; };
    auto singular = [&](int j) {
        MSGINT(1, j);
        E1MES(5, 5,
              "The matrix to be inverted is singular.  The index of the first zero diagonal element of A is "
              "%(I1).");
    };
    if (ipath == 2) {
        std::vector<double> scratch;
        const double* in = kernel_input(a.data(), lda, ainv.data(), ldainv, n, scratch);
        const int failed = detail::invert_upper(crew, n, in, static_cast<std::size_t>(lda), ainv.data(),
                                                static_cast<std::size_t>(ldainv), small);
        if (failed != 0) singular(failed);
    } else {
        const int one = 1;
        for (int j = 1; j <= n; ++j) {
            for (int i = 1; i < j; ++i) t(i, j) = 0.0;
            for (int i = j; i <= n; ++i) t(i, j) = a[element(i, j, lda)];
        }
        for (int j = n; j >= 1; --j) {
            if (std::fabs(t(j, j)) <= small) {
                singular(j);
                break;
            }
            t(j, j) = 1.0 / t(j, j);
            const int below = n - j;
            const double neg = -t(j, j);
            if (below > 0) dscal_(&below, &neg, &t(j + 1, j), &one);
            if (j > 1) {
                const int left = j - 1;
                const double alpha = 1.0;
                if (below > 0) {
                    dger_(&below, &left, &alpha, &t(j + 1, j), &one, &t(j, 1), &ldainv, &t(j + 1, 1), &ldainv);
                }
                const double d = t(j, j);
                dscal_(&left, &d, &t(j, 1), &ldainv);
            }
        }
    }
}

}  // namespace

void DCSFRG(int n, std::span<double> a, int lda) { complete_symmetric(n, a, lda, nullptr); }

void DLFTDS(int n, std::span<const double> a, int lda, std::span<double> fac, int ldfac) {
    factor(n, a, lda, fac, ldfac, nullptr, nullptr);
}

void DL2CDS(int n, std::span<const double> a, int lda, std::span<double> fac, int ldfac, double& rcond,
            std::span<double> wk) {
    condition(n, a, lda, fac, ldfac, rcond, wk, nullptr);
}

void DLINRT(int n, std::span<const double> a, int lda, int ipath, std::span<double> ainv, int ldainv) {
    invert_triangle(n, a, lda, ipath, ainv, ldainv, nullptr);
}

void DL2NDS(int n, std::span<const double> a, int lda, std::span<double> ainv, int ldainv, std::span<double> wk) {
    require_arrays("DL2NDS", n, a.size(), lda, ainv.size(), ldainv, "AINV", wk.size());
    ErrorLevel frame("DL2NDS");
    check_order(n, lda, ldainv, "LDAINV");
    if (N1RTY(0) != 0) {
        return;
    }
    // From the parallel order on, one crew of threads for the whole call
    // (the caller alone below the order from which helpers pay).
    std::optional<detail::Crew> crew;
    const int threads = dlinds_threads(n);
    if (threads > 0) crew.emplace(threads);
    detail::Crew* const team = crew ? &*crew : nullptr;

    double rcond = 1.0;
    condition(n, a, lda, ainv, ldainv, rcond, wk, team);
    if (N1RTY(1) == 4) {
        // Not positive definite: AINV keeps the partial factor.
        return;
    }
    invert_triangle(n, ainv, ldainv, 2, ainv, ldainv, team);

    // A^-1 = T T' with T = R^-1, accumulated column by column in the upper
    // triangle.
    detail::multiply_by_transpose(team, n, ainv.data(), static_cast<std::size_t>(ldainv));
    if (rcond <= DMACH(4)) {
        MSGDBL(1, rcond);
        E1MES(3, 1,
              "The matrix is too ill-conditioned. An estimate of the reciprocal of its L1 condition number is "
              "RCOND = %(D1).  The inverse might not be accurate.");
    }
    complete_symmetric(n, ainv, ldainv, team);
}

void DLINDS(int n, std::span<const double> a, int lda, std::span<double> ainv, int ldainv) {
    require_arrays("DLINDS", n, a.size(), lda, ainv.size(), ldainv, "AINV");
    ErrorLevel frame("DLINDS");
    if (n < 1) {
        MSGINT(1, n);
        E1MES(5, 1, "The order of the matrix must be positive while N = %(i1) is given.");
    } else {
        std::unique_ptr<double[]> work(new (std::nothrow) double[static_cast<std::size_t>(n)]);
        if (!work) {
            MSGINT(1, n);
            E1MES(5, 2,
                  "The required storage cannot be allocated.  The workspace is based on N, where N = %(i1).");
        } else {
            DL2NDS(n, a, lda, ainv, ldainv, std::span<double>(work.get(), static_cast<std::size_t>(n)));
        }
    }
}

void DMRRRR(int nra, int nca, std::span<const double> a, int lda, int nrb, int ncb, std::span<const double> b,
            int ldb, int nrc, int ncc, std::span<double> c, int ldc) {
    const bool dims_ok = nra >= 1 && nca >= 1 && nrb >= 1 && ncb >= 1 && nrc >= 1 && ncc >= 1 && lda >= nra &&
                         ldb >= nrb && ldc >= nrc && nrb == nca && nrc == nra && ncc == ncb;
    if (dims_ok) {
        require_length(a.size(), matrix_extent(nra, nca, lda), "DMRRRR", "A");
        require_length(b.size(), matrix_extent(nrb, ncb, ldb), "DMRRRR", "B");
        require_length(c.size(), matrix_extent(nrc, ncc, ldc), "DMRRRR", "C");
    }
    ErrorLevel frame("DMRRRR");
    struct Shape {
        int nr, nc, ld;
        const char* count_text;
        const char* lead_text;
    };
    const Shape shapes[3] = {
        {nra, nca, lda,
         "Both the number of rows and the number of columns of a matrix have to be positive while NRA = %(I1) "
         "and NCA = %(I2) are given.",
         "The number of rows of the matrix must be less than or equal to its leading dimension while NRA = "
         "%(I1) and LDA = %(I2) are given."},
        {nrb, ncb, ldb,
         "Both the number of rows and the number of columns of a matrix have to be positive while NRB = %(I1) "
         "and NCB = %(I2) are given.",
         "The number of rows of the matrix must be less than or equal to its leading dimension while NRB = "
         "%(I1) and LDB = %(I2) are given."},
        {nrc, ncc, ldc,
         "Both the number of rows and the number of columns of a matrix have to be positive while NRC = %(I1) "
         "and NCC = %(I2) are given.",
         "The number of rows of the matrix must be less than or equal to its leading dimension while NRC = "
         "%(I1) and LDC = %(I2) are given."},
    };
    int code = 1;
    for (const Shape& s : shapes) {
        if (s.nr < 1 || s.nc < 1) {
            MSGINT(1, s.nr);
            MSGINT(2, s.nc);
            E1MES(5, code, s.count_text);
        }
        if (s.ld < s.nr) {
            MSGINT(1, s.nr);
            MSGINT(2, s.ld);
            E1MES(5, code + 1, s.lead_text);
        }
        code += 2;
    }
    if (N1RTY(0) == 0 && (nrb != nca || nrc != nra || ncc != ncb)) {
        MSGINT(1, nra);
        MSGINT(2, nca);
        MSGINT(3, nrb);
        MSGINT(4, ncb);
        MSGINT(5, nrc);
        MSGINT(6, ncc);
        E1MES(5, 7,
              "Some of the dimensions are not consistent.  The following must hold NRB = NCA, NRC = NRA and NCC "
              "= NCB while NRA = %(I1), NCA = %(I2), NRB = %(I3), NCB = %(I4), NRC = %(I5) and NCC = %(I6) are "
              "given.");
    }
    if (N1RTY(0) == 0) {
        const double one = 1.0, zero = 0.0;
        dgemm_("N", "N", &nrc, &ncc, &nca, &one, a.data(), &lda, b.data(), &ldb, &zero, c.data(), &ldc, 1, 1);
    }
}

}  // namespace orv::num2
