#include "numlib/routines1/f02wef.h"

#include <algorithm>
#include <cstddef>

#include "numlib/array_args.h"
#include "numlib/blas_lapack.h"
#include "numlib/routines1/errexit.h"
#include "numlib/routines1/f01qcf.h"
#include "numlib/routines1/f02wuf.h"
#include "numlib/routines1/svd_detail.h"

namespace orv::num1 {

namespace {

using numlib::element;
using numlib::matrix_extent;
using numlib::require_length;

constexpr std::size_t kRecordWidth = 47;
constexpr int kOne = 1;
constexpr double kPlus = 1.0;
constexpr double kZero = 0.0;

// Work of F02WUF for a triangle of order K.
long long triangle_work(long long k) { return k <= 0 ? 0 : (k == 1 ? 2 : 5 * k - 4); }

}  // namespace

namespace detail {

long long f02wef_work_size(int m, int n, int ncolb, bool wantq, bool wantp) {
    if (m <= 0 || n <= 0) return 0;
    const long long mm = m, nn = n, nb = std::max(ncolb, 0);
    if (m >= n) {
        const long long w = triangle_work(nn);
        if (!wantq) return std::max(nn + nb, w);
        if (!wantp) return std::max(nn * nn, nb) + nn + std::max(w, 2 * nn);
        return std::max(nn + nb, nn * nn + std::max(w, 2 * nn));
    }
    const long long w = triangle_work(mm);
    if (!wantp) return std::max(mm, w);
    return mm * mm + std::max(w, 2 * mm);
}

}  // namespace detail

void F02WEF(int m, int n, std::span<double> a, int lda, int ncolb, std::span<double> b, int ldb, bool wantq,
            std::span<double> q, int ldq, std::span<double> sv, bool wantp, std::span<double> pt, int ldpt,
            std::span<double> work, int& ifail) {
    static constexpr std::string_view name = "F02WEF";
    if (m == 0 || n == 0) {
        ifail = 0;
        return;
    }
    int nerr = 0;
    if (m < 0) PARERRI(m, "M", ifail, nerr, name);
    if (n < 0) PARERRI(n, "N", ifail, nerr, name);
    if (lda < m) PARERRI(lda, "LDA", ifail, nerr, name);
    if (ncolb < 0) PARERRI(ncolb, "NCOLB", ifail, nerr, name);
    if (ncolb > 0 && ldb < m) PARERRI(ldb, "LDB", ifail, nerr, name);
    if (wantq && m < n && ldq < m) PARERRI(ldq, "LDQ", ifail, nerr, name);
    if (wantp && wantq && m >= n && ldpt < n) PARERRI(ldpt, "LDPT", ifail, nerr, name);
    if (nerr > 0) {
        ifail = svd_detail::parameter_exit(ifail, nerr, name, kRecordWidth);
        return;
    }
    require_length(a.size(), matrix_extent(m, n, lda), name, "A");
    if (ncolb > 0) require_length(b.size(), matrix_extent(m, ncolb, ldb), name, "B");
    if (wantq && m < n) require_length(q.size(), matrix_extent(m, m, ldq), name, "Q");
    if (wantq && wantp && m >= n) require_length(pt.size(), matrix_extent(n, n, ldpt), name, "PT");
    require_length(sv.size(), std::min(m, n), name, "SV");
    require_length(work.size(), detail::f02wef_work_size(m, n, ncolb, wantq, wantp), name, "WORK");

    const std::size_t mm = static_cast<std::size_t>(m);
    const std::size_t nn = static_cast<std::size_t>(n);
    const std::size_t nb = static_cast<std::size_t>(ncolb);
    int status = 1;  // the callees are silent; a failure is reported here
    int status_wuf = 0;
    std::size_t wuf_start = 0;  // where the work of F02WUF began
    const int k = std::min(m, n);

    if (m >= n) {
        if (!wantq) {
            std::span<double> zeta = work.subspan(0, nn);
            F01QCF(m, n, a, lda, zeta, status);
            if (ncolb > 0) F01QDF("T", "S", m, n, a, lda, zeta, ncolb, b, ldb, work.subspan(nn, nb), status);
            status_wuf = 1;
            F02WUF(n, a, lda, ncolb, b, ldb, false, {}, 1, sv, wantp, work, status_wuf);
        } else {
            // Offsets of the layout: the zetas, U (N x N), the work of F02WUF
            // and a row buffer.
            const std::size_t lead = wantp ? 0 : std::max(nn * nn, nb);
            const std::size_t zeta_at = wantp ? 0 : lead;
            const std::size_t qd_at = wantp ? nn : 0;
            const std::size_t wuf_at = wantp ? nn * nn : lead + nn;
            const std::size_t buffer_at = wantp ? nn * nn + nn : lead + 2 * nn;
            std::span<double> zeta = work.subspan(zeta_at, nn);
            std::span<double> u = work.subspan(0, nn * nn);
            std::span<double> buffer = work.subspan(buffer_at, nn);
            F01QCF(m, n, a, lda, zeta, status);
            if (ncolb > 0) F01QDF("T", "S", m, n, a, lda, zeta, ncolb, b, ldb, work.subspan(qd_at, nb), status);
            status_wuf = 1;
            if (wantp) {
                dlacpy_("U", &n, &n, a.data(), &lda, pt.data(), &ldpt, 1);
                F01QEF("S", m, n, n, a, lda, zeta, work.subspan(qd_at, nn), status);
                F02WUF(n, pt, ldpt, ncolb, b, ldb, true, u, n, sv, true, work.subspan(wuf_at), status_wuf);
            } else {
                F02WUF(n, a, lda, ncolb, b, ldb, true, u, n, sv, false, work.subspan(wuf_at), status_wuf);
                F01QEF("S", m, n, n, a, lda, zeta, buffer, status);
            }
            // Q := Q U, row by row through the buffer.
            for (int i = 1; i <= m; ++i) {
                dcopy_(&n, &a[element(i, 1, lda)], &lda, buffer.data(), &kOne);
                dgemv_("T", &n, &n, &kPlus, u.data(), &n, buffer.data(), &kOne, &kZero, &a[element(i, 1, lda)], &lda,
                       1);
            }
            wuf_start = wuf_at;
        }
    } else {
        if (!wantp) {
            F01QJF(m, n, a, lda, work.subspan(0, mm), status);
            status_wuf = 1;
            F02WUF(m, a, lda, ncolb, b, ldb, wantq, q, ldq, sv, false, work, status_wuf);
        } else {
            // The triangle's copy (M x M), the zetas, the work of F01QKF, then
            // the work of F02WUF over the zetas and a column buffer.
            std::span<double> copy = work.subspan(0, mm * mm);
            std::span<double> zeta = work.subspan(mm * mm, mm);
            std::span<double> buffer = work.subspan(mm * mm + mm, mm);
            F01QJF(m, n, a, lda, zeta, status);
            dlacpy_("U", &m, &m, a.data(), &lda, copy.data(), &m, 1);
            F01QKF("S", m, n, m, a, lda, zeta, buffer, status);
            status_wuf = 1;
            F02WUF(m, copy, m, ncolb, b, ldb, wantq, q, ldq, sv, true, work.subspan(mm * mm), status_wuf);
            // P^T := (the triangle's P^T) P^T, column by column.
            for (int j = 1; j <= n; ++j) {
                dcopy_(&m, &a[element(1, j, lda)], &kOne, buffer.data(), &kOne);
                dgemv_("N", &m, &m, &kPlus, copy.data(), &m, buffer.data(), &kOne, &kZero, &a[element(1, j, lda)],
                       &kOne, 1);
            }
            wuf_start = mm * mm;
        }
    }
    if (wuf_start != 0) {
        const std::size_t kk = static_cast<std::size_t>(k);
        std::copy(work.begin() + static_cast<std::ptrdiff_t>(wuf_start),
                  work.begin() + static_cast<std::ptrdiff_t>(wuf_start + kk), work.begin());
    }
    if (status_wuf != 0) ifail = svd_detail::convergence_exit(ifail, status_wuf, name, kRecordWidth);
    else ifail = 0;
}

}  // namespace orv::num1
