#include "numlib/routines1/f04aef.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "numlib/array_args.h"
#include "numlib/blas_lapack.h"
#include "numlib/routines1/errexit.h"
#include "runtime/formatted_io.h"

namespace orv::num1 {

namespace {

using numlib::matrix_extent;
using numlib::require_length;

void require_ld(int ld, int rows, const char* routine, const char* name) {
    if (ld < std::max(1, rows))
        throw std::invalid_argument(std::string(routine) + ": leading dimension " + name + " is below the row count");
}

// A span's length as an INTEGER size argument.
int size_limit(std::size_t size) { return static_cast<int>(std::min<std::size_t>(size, INT_MAX)); }

// Double-double arithmetic: pairs (hi, lo) whose sum is held exactly.
// Splitting a double into two halves of 26 bits makes every partial product
// exact, so no fused multiply-add is needed.
struct Split {
    double hi, lo;
};
Split split(double a) {
    constexpr double factor = 134217729.0;  // 2^27 + 1
    const double t = a * factor;
    const double hi = (a - t) + t;
    return {hi, a - hi};
}

// The rounding error of the product p = a * b (Dekker's exact product).
double product_error(double a, double b, double p) {
    const Split x = split(a);
    const Split y = split(b);
    const double e = ((x.hi * y.hi - p) + x.hi * y.lo + x.lo * y.hi) + x.lo * y.lo;
    // Halves of numbers beyond 2^996 overflow: keep the rounded product.
    return std::isfinite(e) ? e : 0.0;
}

}  // namespace

void X03AAF(std::span<const double> a, int isizea, std::span<const double> b, int isizeb, int n, int istepa,
            int istepb, double c1, double c2, double& d1, double& d2, int sw, int& ifail) {
    int code = 0;
    if (istepa < 1 || istepb < 1) code = 1;
    const std::int64_t needa = static_cast<std::int64_t>(istepa) * (static_cast<std::int64_t>(n) - 1) + 1;
    const std::int64_t needb = static_cast<std::int64_t>(istepb) * (static_cast<std::int64_t>(n) - 1) + 1;
    if (isizea < needa || isizeb < needb) code = 2;  // replaces code 1
    if (code != 0) {
        ifail = ERREXIT(ifail, code, "X03AAF", 0, {});
        return;
    }
    if (n > 0) {
        require_length(a.size(), needa, "X03AAF", "A");
        require_length(b.size(), needb, "X03AAF", "B");
    }
    const std::size_t sa = static_cast<std::size_t>(istepa);
    const std::size_t sb = static_cast<std::size_t>(istepb);
    if (sw % 2 == 0) {
        double sum = c1;
        for (int k = 0; k < n; ++k) sum += a[k * sa] * b[k * sb];
        d1 = sum;
        d2 = 0.0;
    } else {
        double s = c1 + c2;
        double c = (c1 - s) + c2;
        for (int k = 0; k < n; ++k) {
            const double x = a[k * sa];
            const double y = b[k * sb];
            const double p = x * y;
            const double e = product_error(x, y, p);
            const double t = s + p;
            const double r = std::abs(s) < std::abs(p) ? ((p - t) + s) + c + e : ((s - t) + p) + e + c;
            s = t + r;
            c = (t - s) + r;
        }
        d1 = c + s;
        d2 = (s - d1) + c;
    }
    ifail = 0;
}

namespace detail {

int lu_factorise(int n, std::span<double> a, int lda, std::span<double> w, int block) {
    require_ld(lda, n, "F04AEF", "IAA");
    require_length(a.size(), matrix_extent(n, n, lda), "F04AEF", "AA");
    require_length(w.size(), n, "F04AEF", "WKSPCE");
    auto at = [&](int i, int j) -> double& { return a[(i - 1) + static_cast<std::size_t>(j - 1) * lda]; };

    // Implicit row scaling: w(i) = 1 / ||row i||.  The plain sum of squares
    // is used whenever it is a normal number; rows whose squares overflow or
    // underflow are measured relative to their largest element instead.
    for (int i = 1; i <= n; ++i) {
        double amax = 0.0;
        double sum = 0.0;
        bool finite = true;
        for (int j = 1; j <= n; ++j) {
            const double v = std::abs(at(i, j));
            if (!std::isfinite(v)) finite = false;
            amax = std::max(amax, v);
            sum += v * v;
        }
        if (!finite || amax == 0.0) return i;
        double norm;
        if (sum >= DBL_MIN && sum <= DBL_MAX) {
            norm = std::sqrt(sum);
        } else {
            double ssq = 0.0;
            for (int j = 1; j <= n; ++j) ssq += (at(i, j) / amax) * (at(i, j) / amax);
            norm = amax * std::sqrt(ssq);
        }
        const double scale = 1.0 / norm;
        if (!std::isfinite(scale)) return i;
        w[i - 1] = scale;
    }

    const double tiny = 8.0 * std::ldexp(1.0, -53);
    const int nb = block < 2 ? std::max(n, 1) : block;
    const int one = 1;
    for (int jb = 1; jb <= n; jb += nb) {
        const int je = std::min(jb + nb - 1, n);
        // The panel, column by column: pivot, exchange whole rows, scale the
        // pivot row to a unit diagonal, update the rest of the panel.
        for (int j = jb; j <= je; ++j) {
            int p = j;
            double big = std::abs(at(j, j)) * w[j - 1];
            for (int i = j + 1; i <= n; ++i) {
                const double v = std::abs(at(i, j)) * w[i - 1];
                if (v > big) {
                    big = v;
                    p = i;
                }
            }
            if (!(big >= tiny)) return j;
            w[p - 1] = w[j - 1];
            w[j - 1] = p;
            if (p != j) dswap_(&n, &at(j, 1), &lda, &at(p, 1), &lda);
            const int right = je - j;
            if (right > 0) {
                const double inv = 1.0 / at(j, j);
                for (int k = j + 1; k <= je; ++k) at(j, k) *= inv;
                const int below = n - j;
                if (below > 0) {
                    const double minus = -1.0;
                    dger_(&below, &right, &minus, &at(j + 1, j), &one, &at(j, j + 1), &lda, &at(j + 1, j + 1), &lda);
                }
            }
        }
        // The rows of U to the right of the panel, then the trailing matrix.
        const int rest = n - je;
        if (rest > 0) {
            const int kb = je - jb + 1;
            const double plus = 1.0;
            const double minus = -1.0;
            dtrsm_("L", "L", "N", "N", &kb, &rest, &plus, &at(jb, jb), &lda, &at(jb, je + 1), &lda, 1, 1, 1, 1);
            dgemm_("N", "N", &rest, &rest, &kb, &minus, &at(je + 1, jb), &lda, &at(jb, je + 1), &lda, &plus,
                   &at(je + 1, je + 1), &lda, 1, 1);
        }
    }
    return 0;
}

void lu_solve(int n, int m, std::span<const double> aa, int iaa, std::span<const double> p, std::span<double> bb,
              int ibb) {
    if (n <= 0 || m <= 0) return;
    require_ld(iaa, n, "F04AHF", "IAA");
    require_ld(ibb, n, "F04AHF", "IBB");
    require_length(aa.size(), matrix_extent(n, n, iaa), "F04AHF", "AA");
    require_length(p.size(), n, "F04AHF", "P");
    require_length(bb.size(), matrix_extent(n, m, ibb), "F04AHF", "BB");
    for (int i = 1; i <= n; ++i) {
        const double pv = p[i - 1] + 0.5;
        if (!(pv >= 1.0 && pv < n + 1.0))
            throw std::out_of_range("F04AHF: interchange P(" + std::to_string(i) + ") is not a row number");
        const int row = static_cast<int>(pv);
        if (row != i) dswap_(&m, &bb[i - 1], &ibb, &bb[row - 1], &ibb);
    }
    const int one = 1;
    for (int j = 0; j < m; ++j) {
        double* col = &bb[static_cast<std::size_t>(j) * ibb];
        dtrsv_("L", "N", "N", &n, aa.data(), &iaa, col, &one, 1, 1, 1);
        dtrsv_("U", "N", "U", &n, aa.data(), &iaa, col, &one, 1, 1, 1);
    }
}

}  // namespace detail

void F04AHF(int n, int ir, std::span<const double> a, int ia, std::span<const double> aa, int iaa,
            std::span<const double> p, std::span<const double> b, int ib, double eps, std::span<double> x, int ix,
            std::span<double> bb, int ibb, int& k, int& ifail) {
    if (n < 0 || ir < 0) throw std::invalid_argument("F04AHF: N and IR must not be negative");
    require_ld(ia, n, "F04AHF", "IA");
    require_ld(iaa, n, "F04AHF", "IAA");
    require_ld(ib, n, "F04AHF", "IB");
    require_ld(ix, n, "F04AHF", "IX");
    require_ld(ibb, n, "F04AHF", "IBB");
    require_length(a.size(), matrix_extent(n, n, ia), "F04AHF", "A");
    require_length(aa.size(), matrix_extent(n, n, iaa), "F04AHF", "AA");
    require_length(p.size(), n, "F04AHF", "P");
    require_length(b.size(), matrix_extent(n, ir, ib), "F04AHF", "B");
    require_length(x.size(), matrix_extent(n, ir, ix), "F04AHF", "X");
    require_length(bb.size(), matrix_extent(n, ir, ibb), "F04AHF", "BB");

    auto el = [](auto& s, int ld, int i, int j) -> auto& { return s[(i - 1) + static_cast<std::size_t>(j - 1) * ld]; };
    for (int j = 1; j <= ir; ++j)
        for (int i = 1; i <= n; ++i) {
            el(x, ix, i, j) = 0.0;
            el(bb, ibb, i, j) = el(b, ib, i, j);
        }
    k = 0;
    double eta0 = 0.0;
    // Each iteration either at least halves the largest relative correction
    // or fails, so the count stays far below any integer limit.
    for (;;) {
        detail::lu_solve(n, ir, aa, iaa, p, bb, ibb);
        ++k;
        for (int j = 1; j <= ir; ++j)
            for (int i = 1; i <= n; ++i) el(x, ix, i, j) += el(bb, ibb, i, j);

        double eta = 0.0;
        bool unconverged = false;
        bool nonfinite = false;
        for (int j = 1; j <= ir; ++j) {
            double xmax = 0.0;
            double dmax = 0.0;
            const std::size_t col = static_cast<std::size_t>(j - 1) * ix;
            for (int i = 1; i <= n; ++i) {
                const double xi = el(x, ix, i, j);
                const double di = el(bb, ibb, i, j);
                if (!std::isfinite(xi) || !std::isfinite(di)) nonfinite = true;
                xmax = std::max(xmax, std::abs(xi));
                dmax = std::max(dmax, std::abs(di));
                double d1 = 0.0;
                double d2 = 0.0;
                int xfail = 1;
                const std::size_t row = static_cast<std::size_t>(i - 1);
                X03AAF(a.subspan(row), size_limit(a.size() - row), x.subspan(col), size_limit(x.size() - col), n, ia, 1,
                       -el(b, ib, i, j), 0.0, d1, d2, -1, xfail);
                el(bb, ibb, i, j) = -d1;
            }
            if (dmax > eta * xmax) eta = dmax / xmax;
            if (dmax > 2.0 * eps * xmax) unconverged = true;
        }
        // A NaN or infinity in the iterates can never converge: it counts as
        // divergence (a NaN would otherwise slip through every comparison).
        if (nonfinite) unconverged = true;
        if (k >= 2 && (eta > 0.5 * eta0 || nonfinite)) {
            ifail = ERREXIT(ifail, 1, "F04AHF", 0, {});
            return;
        }
        eta0 = eta;
        if (!unconverged) {
            ifail = 0;
            return;
        }
    }
}

void F04AEF(std::span<const double> a, int ia, std::span<const double> b, int ib, int n, int m,
            std::span<double> c, int ic, std::span<double> wkspce, std::span<double> aa, int iaa,
            std::span<double> bb, int ibb, int& ifail) {
    static const rt::Format count = rt::parse_format("(1X,A,I10)");
    static const rt::Format dimension = rt::parse_format("(1X,A,I10,A,I10)");
    std::vector<std::string> rec(1);  // the one message record
    int ierror = 0;
    const int nmin = std::max(1, n);
    if (n < 0) {
        ierror = 3;
        rt::write_internal(rec, 80, count, "** On entry, N.lt.0: N =", n);
    } else if (m < 0) {
        ierror = 3;
        rt::write_internal(rec, 80, count, "** On entry, M.lt.0: M =", m);
    } else {
        const struct {
            int value;
            const char* text;
        } dims[] = {
            {ia, "** On entry, IA.lt.max(1,N): IA ="},   {ib, "** On entry, IB.lt.max(1,N): IB ="},
            {ic, "** On entry, IC.lt.max(1,N): IC ="},   {iaa, "** On entry, IAA.lt.max(1,N): IAA ="},
            {ibb, "** On entry, IBB.lt.max(1,N): IBB ="},
        };
        for (const auto& d : dims) {
            if (d.value < nmin) {
                ierror = 3;
                rt::write_internal(rec, 80, dimension, d.text, d.value, ", N =", n);
                break;
            }
        }
    }

    if (ierror == 0) {
        require_length(a.size(), matrix_extent(n, n, ia), "F04AEF", "A");
        require_length(b.size(), matrix_extent(n, m, ib), "F04AEF", "B");
        require_length(c.size(), matrix_extent(n, m, ic), "F04AEF", "C");
        require_length(wkspce.size(), n, "F04AEF", "WKSPCE");
        require_length(aa.size(), matrix_extent(n, n, iaa), "F04AEF", "AA");
        require_length(bb.size(), matrix_extent(n, m, ibb), "F04AEF", "BB");

        for (int j = 0; j < n; ++j)
            for (int i = 0; i < n; ++i)
                aa[i + static_cast<std::size_t>(j) * iaa] = a[i + static_cast<std::size_t>(j) * ia];
        if (detail::lu_factorise(n, aa, iaa, wkspce, detail::kLuBlockSize) != 0) {
            ierror = 1;
            rec[0] = " ** Matrix A is approximately singular.";
        } else if (n > 0 && m > 0) {
            int k = 0;
            int refine = 1;
            F04AHF(n, m, a, ia, aa, iaa, wkspce, b, ib, std::ldexp(1.0, -53), c, ic, bb, ibb, k, refine);
            if (refine != 0) {
                ierror = 2;
                rec[0] = " ** Matrix A is too ill-conditioned.";
            }
        }
    }
    ifail = ERREXIT(ifail, ierror, "F04AEF", ierror == 0 ? 0 : 1, rec);
}

}  // namespace orv::num1
