#include "numlib/routines1/f02wuf.h"

#include <algorithm>
#include <cstddef>

#include "numlib/array_args.h"
#include "numlib/routines1/errexit.h"
#include "numlib/routines1/f02syz.h"
#include "numlib/routines1/rotapply.h"
#include "numlib/routines1/rotgen.h"
#include "numlib/routines1/svd_detail.h"
#include "numlib/routines1/vfill.h"

namespace orv::num1 {

namespace {

using numlib::element;
using numlib::matrix_extent;
using numlib::require_length;
using svd_detail::parameter_exit;

constexpr std::size_t kRecordWidth = 80;

}  // namespace

void F02SWZ(int n, std::span<double> a, int lda, std::span<double> d, std::span<double> e, int ncoly,
            std::span<double> y, int ldy, bool wantq, std::span<double> q, int ldq, int& ifail) {
    static constexpr std::string_view name = "F02SWZ";
    int nerr = 0;
    if (n < 0) PARERRI(n, "N", ifail, nerr, name);
    if (lda < n) PARERRI(lda, "LDA", ifail, nerr, name);
    if (ncoly < 0) PARERRI(ncoly, "NCOLY", ifail, nerr, name);
    if (ncoly > 0 && ldy < n) PARERRI(ldy, "LDY", ifail, nerr, name);
    if (wantq && ldq < n) PARERRI(ldq, "LDQ", ifail, nerr, name);
    if (nerr > 0) {
        ifail = parameter_exit(ifail, nerr, name, kRecordWidth);
        return;
    }
    if (n == 0) {
        ifail = 0;
        return;
    }
    require_length(a.size(), matrix_extent(n, n, lda), name, "A");
    require_length(d.size(), n, name, "D");
    require_length(e.size(), n - 1, name, "E");
    if (ncoly > 0) require_length(y.size(), matrix_extent(n, ncoly, ldy), name, "Y");
    if (wantq) require_length(q.size(), matrix_extent(n, n, ldq), name, "Q");

    for (int j = 1; j <= n - 2; ++j) {
        // Column rotations of the pairs (p, p+1), p = j+1..N-1, annihilate
        // A(j, j+2..N) into A(j, j+1) from the right end inwards; their
        // cosines and sines go to D(p), E(p), their tangents stay in row j.
        const int nrot = n - j - 1;
        std::span<double> c = d.subspan(static_cast<std::size_t>(j), static_cast<std::size_t>(nrot));
        std::span<double> s = e.subspan(static_cast<std::size_t>(j), static_cast<std::size_t>(nrot));
        ROTSEQ("V", "B", nrot, a[element(j, j + 1, lda)], a.subspan(element(j, j + 2, lda)), lda, c, s);
        // The same rotations on the trailing triangle; the row rotations that
        // restore it replace them in C, S.
        TRIROT("R", n - j, 1, n - j, c, s, a.subspan(element(j + 1, j + 1, lda)), lda);
        if (ncoly > 0) ROTAPPLY("L", "V", "B", n - j, ncoly, 1, n - j, c, s, y.subspan(element(j + 1, 1, ldy)), ldy);
        if (wantq) {
            // Saved for the end: cosines below the sub-diagonal of column j,
            // sines beyond the super-diagonal of row j.
            for (int m = 1; m <= nrot; ++m) {
                q[element(j + m + 1, j, ldq)] = c[m - 1];
                q[element(j, j + m + 1, ldq)] = s[m - 1];
            }
        }
    }

    if (wantq) {
        // Q = G^T = G(1)^T G(2)^T ... G(N-2)^T, formed from the identity by
        // multiplying from the left, last step first: step j works on rows and
        // columns j+1..N only, so the rotations of earlier steps, saved in row
        // and column j-1 and before, are still intact when they are read.
        for (int j = n; j >= 1; --j) {
            const int nrot = n - j - 1;
            for (int m = 1; m <= nrot; ++m) {
                d[static_cast<std::size_t>(j + m - 1)] = q[element(j + m + 1, j, ldq)];
                e[static_cast<std::size_t>(j + m - 1)] = -q[element(j, j + m + 1, ldq)];  // transposed rotation
            }
            if (j < n) {
                VFILL(n - j, 0.0, q.subspan(element(j + 1, j, ldq)), 1);
                VFILL(n - j, 0.0, q.subspan(element(j, j + 1, ldq)), ldq);
            }
            q[element(j, j, ldq)] = 1.0;
            if (nrot > 0) {
                ROTAPPLY("L", "V", "F", n - j, n - j, 1, n - j, d.subspan(static_cast<std::size_t>(j)),
                         e.subspan(static_cast<std::size_t>(j)), q.subspan(element(j + 1, j + 1, ldq)), ldq);
            }
        }
    }

    for (int i = 1; i <= n; ++i) d[i - 1] = a[element(i, i, lda)];
    for (int i = 1; i <= n - 1; ++i) e[i - 1] = a[element(i, i + 1, lda)];
    ifail = 0;
}

void F02SXZ(int n, std::span<double> a, int lda, int ncoly, std::span<double> y, int ldy, std::span<double> work,
            int& ifail) {
    static constexpr std::string_view name = "F02SXZ";
    int nerr = 0;
    if (n < 0) PARERRI(n, "N", ifail, nerr, name);
    if (lda < n) PARERRI(lda, "LDA", ifail, nerr, name);
    if (ncoly < 0) PARERRI(ncoly, "NCOLY", ifail, nerr, name);
    if (ncoly > 0 && ldy < n) PARERRI(ldy, "LDY", ifail, nerr, name);
    if (nerr > 0) {
        ifail = parameter_exit(ifail, nerr, name, kRecordWidth);
        return;
    }
    if (n == 0) {
        ifail = 0;
        return;
    }
    require_length(a.size(), matrix_extent(n, n, lda), name, "A");
    if (ncoly > 0) require_length(y.size(), matrix_extent(n, ncoly, ldy), name, "Y");
    const std::size_t half = static_cast<std::size_t>(std::max(n - 2, 0));
    require_length(work.size(), 2 * static_cast<long long>(half), name, "WORK");
    std::span<double> c = work.subspan(0, half);
    std::span<double> s = work.subspan(half, half);

    // The rotations of row j: the pairs (p, p+1), p = j+1..N-1, tangent in
    // A(j, p+1).  SIGN -1 rebuilds the transposed rotations.
    auto rebuild = [&](int j, double sign) {
        const int nrot = n - j - 1;
        for (int m = 1; m <= nrot; ++m) ROTCS(sign * a[element(j, j + m + 1, lda)], c[m - 1], s[m - 1]);
    };

    // P^T = P(N-2)^T ... P(1)^T with P(j) = G(N-1) ... G(j+1), the column
    // rotations of step j in the order they were applied.
    if (ncoly > 0) {
        for (int j = 1; j <= n - 2; ++j) {
            rebuild(j, 1.0);
            ROTAPPLY("L", "V", "B", n - j, ncoly, 1, n - j, c, s, y.subspan(element(j + 1, 1, ldy)), ldy);
        }
    }

    // A from the identity, growing from the bottom-right corner: step j
    // multiplies the block j+1..N from the right by P(j)^T.
    a[element(n, n, lda)] = 1.0;
    if (n >= 2) {
        a[element(n - 1, n - 1, lda)] = 1.0;
        a[element(n - 1, n, lda)] = 0.0;
        a[element(n, n - 1, lda)] = 0.0;
    }
    for (int j = n - 2; j >= 1; --j) {
        rebuild(j, -1.0);
        // Row and column j+1 enter the block as a unit row and column.
        VFILL(n - j - 1, 0.0, a.subspan(element(j + 1, j + 2, lda)), lda);
        VFILL(n - j - 1, 0.0, a.subspan(element(j + 2, j + 1, lda)), 1);
        a[element(j + 1, j + 1, lda)] = 1.0;
        ROTAPPLY("R", "V", "F", n - j, n - j, 1, n - j, c, s, a.subspan(element(j + 1, j + 1, lda)), lda);
    }
    if (n >= 2) {
        VFILL(n - 1, 0.0, a.subspan(element(1, 2, lda)), lda);
        VFILL(n - 1, 0.0, a.subspan(element(2, 1, lda)), 1);
    }
    a[element(1, 1, lda)] = 1.0;
    ifail = 0;
}

void F02WUF(int n, std::span<double> a, int lda, int ncolb, std::span<double> b, int ldb, bool wantq,
            std::span<double> q, int ldq, std::span<double> sv, bool wantp, std::span<double> work, int& ifail) {
    static constexpr std::string_view name = "F02WUF";
    int nerr = 0;
    if (n < 0) PARERRI(n, "N", ifail, nerr, name);
    if (lda < n) PARERRI(lda, "LDA", ifail, nerr, name);
    if (ncolb < 0) PARERRI(ncolb, "NCOLB", ifail, nerr, name);
    if (ncolb > 0 && ldb < n) PARERRI(ldb, "LDB", ifail, nerr, name);
    if (wantq && ldq < n) PARERRI(ldq, "LDQ", ifail, nerr, name);
    if (nerr > 0) {
        ifail = parameter_exit(ifail, nerr, name, kRecordWidth);
        return;
    }
    if (n == 0) {
        ifail = 0;
        return;
    }
    require_length(a.size(), matrix_extent(n, n, lda), name, "A");
    if (ncolb > 0) require_length(b.size(), matrix_extent(n, ncolb, ldb), name, "B");
    if (wantq) require_length(q.size(), matrix_extent(n, n, ldq), name, "Q");
    require_length(sv.size(), n, name, "SV");
    // E, one unused value, then the work of F02SXZ and F02SYZ: at most
    // 4 (N-1) values, and at least 1 (the sweep counter) when N = 1.
    require_length(work.size(), n == 1 ? 2 : 5LL * n - 4, name, "WORK");

    const std::size_t nn = static_cast<std::size_t>(n);
    std::span<double> e = work.subspan(0, nn - 1);
    std::span<double> rest = work.subspan(nn);
    int status = 1;
    F02SWZ(n, a, lda, sv, e, ncolb, b, ldb, wantq, q, ldq, status);
    if (wantp) {
        status = 1;
        F02SXZ(n, a, lda, 0, {}, 1, rest, status);
    }
    status = 1;
    F02SYZ(n, sv, e, ncolb, b, ldb, wantq ? n : 0, q, ldq, wantp ? n : 0, a, lda, rest, status);
    if (status != 0) ifail = svd_detail::convergence_exit(ifail, status, name, kRecordWidth);
    else ifail = 0;
}

}  // namespace orv::num1
