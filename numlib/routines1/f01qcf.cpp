#include "numlib/routines1/f01qcf.h"

#include <algorithm>
#include <cstddef>

#include "numlib/array_args.h"
#include "numlib/blas_lapack.h"
#include "numlib/routines1/errexit.h"
#include "numlib/routines1/refgen.h"
#include "numlib/routines1/svd_detail.h"
#include "numlib/routines1/vfill.h"

namespace orv::num1 {

namespace {

using numlib::matrix_extent;
using numlib::require_length;
using svd_detail::option;
using svd_detail::option_text;
using svd_detail::parameter_exit;

// The factorisation routines write their records 46 characters wide.
constexpr std::size_t kRecordWidth = 46;

constexpr int kOne = 1;
constexpr double kPlus = 1.0;
constexpr double kMinus = -1.0;
constexpr double kZero = 0.0;

// 1-based element (i, j) of a column-major matrix.
struct Matrix {
    double* base;
    int ld;
    double& operator()(int i, int j) const {
        return base[static_cast<std::size_t>(i - 1) + static_cast<std::size_t>(j - 1) * static_cast<std::size_t>(ld)];
    }
    double* ptr(int i, int j) const { return &(*this)(i, j); }
};

bool valid_wheret(std::string_view wheret) {
    const char w = option(wheret);
    return w == 'S' || w == 'I';
}

// Applies the row reflector u (held in row K of A: columns 1..K with zeta at
// (K, K), and columns M+1..M+N2) from the right to COUNT rows from START:
// rows := rows (I - u u^T).  W: COUNT values.
void apply_row_reflector(const Matrix& a, int k, int m, int n2, int start, int count, double* w) {
    if (count <= 0) return;
    const int lda = a.ld;
    dgemv_("N", &count, &k, &kPlus, a.ptr(start, 1), &lda, a.ptr(k, 1), &lda, &kZero, w, &kOne, 1);
    if (n2 > 0) dgemv_("N", &count, &n2, &kPlus, a.ptr(start, m + 1), &lda, a.ptr(k, m + 1), &lda, &kPlus, w, &kOne, 1);
    dger_(&count, &k, &kMinus, w, &kOne, a.ptr(k, 1), &lda, a.ptr(start, 1), &lda);
    if (n2 > 0) dger_(&count, &n2, &kMinus, w, &kOne, a.ptr(k, m + 1), &lda, a.ptr(start, m + 1), &lda);
}

}  // namespace

void F01QCF(int m, int n, std::span<double> a, int lda, std::span<double> zeta, int& ifail) {
    static constexpr std::string_view name = "F01QCF";
    int nerr = 0;
    if (m < n) PARERRI(m, "M", ifail, nerr, name);
    if (n < 0) PARERRI(n, "N", ifail, nerr, name);
    if (lda < m) PARERRI(lda, "LDA", ifail, nerr, name);
    if (nerr > 0) {
        ifail = parameter_exit(ifail, nerr, name, kRecordWidth);
        return;
    }
    require_length(a.size(), matrix_extent(m, n, lda), name, "A");
    require_length(zeta.size(), n, name, "ZETA");

    const Matrix am{a.data(), lda};
    for (int k = 1; k <= std::min(m - 1, n); ++k) {
        double& akk = am(k, k);
        const std::size_t below = static_cast<std::size_t>(am.ptr(k + 1, k) - a.data());
        REFGEN(m - k, akk, a.subspan(below), 1, 0.0, zeta[k - 1]);
        if (k < n && zeta[k - 1] > 0.0) {
            // P(k) on columns k+1..N: w = A^T u into ZETA(k+1..N), not yet
            // used, then A -= u w^T, with zeta standing in A(k, k).
            const double beta = akk;
            akk = zeta[k - 1];
            const int rows = m - k + 1;
            const int cols = n - k;
            double* w = zeta.data() + k;
            dgemv_("T", &rows, &cols, &kPlus, am.ptr(k, k + 1), &lda, &akk, &kOne, &kZero, w, &kOne, 1);
            dger_(&rows, &cols, &kMinus, &akk, &kOne, w, &kOne, am.ptr(k, k + 1), &lda);
            akk = beta;
        }
    }
    if (m == n && n > 0) zeta[n - 1] = 0.0;
    ifail = 0;
}

void F01QDF(std::string_view trans, std::string_view wheret, int m, int n, std::span<const double> a, int lda,
            std::span<const double> zeta, int ncolb, std::span<double> b, int ldb, std::span<double> work,
            int& ifail) {
    static constexpr std::string_view name = "F01QDF";
    const char tr = option(trans);
    int nerr = 0;
    if (tr != 'N' && tr != 'T' && tr != 'C') PARERRC(option_text(trans), "TRANS", ifail, nerr, name);
    if (!valid_wheret(wheret)) PARERRC(option_text(wheret), "WHERET", ifail, nerr, name);
    if (m < n) PARERRI(m, "M", ifail, nerr, name);
    if (n < 0) PARERRI(n, "N", ifail, nerr, name);
    if (lda < m) PARERRI(lda, "LDA", ifail, nerr, name);
    if (ncolb < 0) PARERRI(ncolb, "NCOLB", ifail, nerr, name);
    if (ldb < m) PARERRI(ldb, "LDB", ifail, nerr, name);
    if (nerr > 0) {
        ifail = parameter_exit(ifail, nerr, name, kRecordWidth);
        return;
    }
    if (n == 0 || ncolb == 0) {
        ifail = 0;
        return;
    }
    const bool separate = option(wheret) == 'S';
    require_length(a.size(), matrix_extent(m, n, lda), name, "A");
    if (separate) require_length(zeta.size(), n, name, "ZETA");
    require_length(b.size(), matrix_extent(m, ncolb, ldb), name, "B");
    require_length(work.size(), ncolb, name, "WORK");

    auto aat = [&](int i, int j) {
        return a.data() + static_cast<std::size_t>(i - 1) + static_cast<std::size_t>(j - 1) * lda;
    };
    const Matrix bm{b.data(), ldb};
    double* w = work.data();
    for (int step = 0; step < n; ++step) {
        // Q^T B = P(N) ... P(1) B takes P(1) first; Q B takes P(N) first.
        const int k = tr == 'N' ? n - step : step + 1;
        const double z = separate ? zeta[k - 1] : *aat(k, k);
        if (!(z > 0.0)) continue;
        // w = B(k..M, :)^T u with u = (zeta; A(k+1..M, k)), then B -= u w^T.
        const int below = m - k;
        if (below > 0) {
            dgemv_("T", &below, &ncolb, &kPlus, bm.ptr(k + 1, 1), &ldb, aat(k + 1, k), &kOne, &kZero, w, &kOne, 1);
        } else {
            std::fill(w, w + ncolb, 0.0);
        }
        daxpy_(&ncolb, &z, bm.ptr(k, 1), &ldb, w, &kOne);
        const double minus_z = -z;
        daxpy_(&ncolb, &minus_z, w, &kOne, bm.ptr(k, 1), &ldb);
        if (below > 0) dger_(&below, &ncolb, &kMinus, aat(k + 1, k), &kOne, w, &kOne, bm.ptr(k + 1, 1), &ldb);
    }
    ifail = 0;
}

void F01QEF(std::string_view wheret, int m, int n, int ncolq, std::span<double> a, int lda,
            std::span<const double> zeta, std::span<double> work, int& ifail) {
    static constexpr std::string_view name = "F01QEF";
    int nerr = 0;
    if (!valid_wheret(wheret)) PARERRC(option_text(wheret), "WHERET", ifail, nerr, name);
    if (m < n) PARERRI(m, "M", ifail, nerr, name);
    if (n < 0) PARERRI(n, "N", ifail, nerr, name);
    if (ncolq < 0 || ncolq > m) PARERRI(ncolq, "NCOLQ", ifail, nerr, name);
    if (lda < m) PARERRI(lda, "LDA", ifail, nerr, name);
    if (nerr > 0) {
        ifail = parameter_exit(ifail, nerr, name, kRecordWidth);
        return;
    }
    if (ncolq == 0) {
        ifail = 0;
        return;
    }
    const bool separate = option(wheret) == 'S';
    require_length(a.size(), matrix_extent(m, std::max(n, ncolq), lda), name, "A");
    if (separate) require_length(zeta.size(), n, name, "ZETA");
    require_length(work.size(), ncolq, name, "WORK");

    const Matrix am{a.data(), lda};
    const int nk = std::min(n, ncolq);
    for (int j = 2; j <= nk; ++j) VFILL(j - 1, 0.0, a.subspan(am.ptr(1, j) - a.data()), 1);
    for (int j = n + 1; j <= ncolq; ++j) {
        VFILL(m, 0.0, a.subspan(am.ptr(1, j) - a.data()), 1);
        am(j, j) = 1.0;
    }
    for (int k = nk; k >= 1; --k) {
        const double z = separate ? zeta[k - 1] : am(k, k);
        if (!(z > 0.0)) {
            am(k, k) = 1.0;
            if (m > k) VFILL(m - k, 0.0, a.subspan(am.ptr(k + 1, k) - a.data()), 1);
            continue;
        }
        am(k, k) = z;
        const int rows = m - k + 1;
        const int cols = ncolq - k;
        if (cols > 0) {
            dgemv_("T", &rows, &cols, &kPlus, am.ptr(k, k + 1), &lda, am.ptr(k, k), &kOne, &kZero, work.data(),
                   &kOne, 1);
            dger_(&rows, &cols, &kMinus, am.ptr(k, k), &kOne, work.data(), &kOne, am.ptr(k, k + 1), &lda);
        }
        // Column k becomes P(k) e_k = e_k - zeta u.
        const double minus_z = -z;
        dscal_(&rows, &minus_z, am.ptr(k, k), &kOne);
        am(k, k) += 1.0;
    }
    ifail = 0;
}

void F01QJF(int m, int n, std::span<double> a, int lda, std::span<double> zeta, int& ifail) {
    static constexpr std::string_view name = "F01QJF";
    int nerr = 0;
    if (m < 0) PARERRI(m, "M", ifail, nerr, name);
    if (n < m) PARERRI(n, "N", ifail, nerr, name);
    if (lda < m) PARERRI(lda, "LDA", ifail, nerr, name);
    if (nerr > 0) {
        ifail = parameter_exit(ifail, nerr, name, kRecordWidth);
        return;
    }
    require_length(a.size(), matrix_extent(m, n, lda), name, "A");
    require_length(zeta.size(), m, name, "ZETA");

    const Matrix am{a.data(), lda};
    const int n2 = n - m;
    for (int k = m; k >= 1; --k) {
        double& akk = am(k, k);
        std::span<double> left = a.subspan(am.ptr(k, 1) - a.data());
        std::span<double> right = n2 > 0 ? a.subspan(am.ptr(k, m + 1) - a.data()) : std::span<double>();
        REFGENR(k - 1, n2, akk, left, lda, right, lda, 0.0, zeta[k - 1]);
        if (k > 1 && zeta[k - 1] > 0.0) {
            // Rows 1..k-1 := rows (I - u u^T); w goes to ZETA(1..k-1), not yet used.
            const double beta = akk;
            akk = zeta[k - 1];
            apply_row_reflector(am, k, m, n2, 1, k - 1, zeta.data());
            akk = beta;
        }
    }
    ifail = 0;
}

void F01QKF(std::string_view wheret, int m, int n, int nrowp, std::span<double> a, int lda,
            std::span<const double> zeta, std::span<double> work, int& ifail) {
    static constexpr std::string_view name = "F01QKF";
    int nerr = 0;
    if (!valid_wheret(wheret)) PARERRC(option_text(wheret), "WHERET", ifail, nerr, name);
    if (m < 0) PARERRI(m, "M", ifail, nerr, name);
    if (n < m) PARERRI(n, "N", ifail, nerr, name);
    if (nrowp < 0 || nrowp > n) PARERRI(nrowp, "NROWP", ifail, nerr, name);
    if (lda < std::max(m, nrowp)) PARERRI(lda, "LDA", ifail, nerr, name);
    if (nerr > 0) {
        ifail = parameter_exit(ifail, nerr, name, kRecordWidth);
        return;
    }
    if (nrowp == 0) {
        ifail = 0;
        return;
    }
    const bool separate = option(wheret) == 'S';
    require_length(a.size(), matrix_extent(std::max(m, nrowp), n, lda), name, "A");
    if (separate) require_length(zeta.size(), m, name, "ZETA");
    require_length(work.size(), nrowp, name, "WORK");

    const Matrix am{a.data(), lda};
    const int n2 = n - m;
    // Rows beyond M start as unit rows; every reflector acts on them.
    for (int i = m + 1; i <= nrowp; ++i) {
        VFILL(n, 0.0, a.subspan(am.ptr(i, 1) - a.data()), lda);
        am(i, i) = 1.0;
    }
    // P^T = P(1) P(2) ... P(M), and row k of it is e_k^T P(k) ... P(M):
    // at step k, P(k) is applied from the right to the rows already formed
    // (1..k-1) and to the rows beyond M, and row k becomes e_k^T P(k).
    for (int k = 1; k <= m; ++k) {
        const double z = separate ? zeta[k - 1] : am(k, k);
        if (!(z > 0.0)) {
            if (k <= nrowp) {
                VFILL(n, 0.0, a.subspan(am.ptr(k, 1) - a.data()), lda);
                am(k, k) = 1.0;
            }
            continue;
        }
        am(k, k) = z;
        apply_row_reflector(am, k, m, n2, 1, std::min(k - 1, nrowp), work.data());
        apply_row_reflector(am, k, m, n2, m + 1, nrowp - m, work.data());
        if (k <= nrowp) {
            const double minus_z = -z;
            dscal_(&k, &minus_z, am.ptr(k, 1), &lda);
            if (n2 > 0) dscal_(&n2, &minus_z, am.ptr(k, m + 1), &lda);
            am(k, k) += 1.0;
            if (m > k) VFILL(m - k, 0.0, a.subspan(am.ptr(k, k + 1) - a.data()), lda);
        }
    }
    ifail = 0;
}

}  // namespace orv::num1
