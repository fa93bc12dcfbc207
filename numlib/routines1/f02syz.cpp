#include "numlib/routines1/f02syz.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>

#include "numlib/array_args.h"
#include "numlib/routines1/errexit.h"
#include "numlib/routines1/machine.h"
#include "numlib/routines1/rotapply.h"
#include "numlib/routines1/rotgen.h"
#include "numlib/routines1/svd_detail.h"
#include "numlib/routines1/vfill.h"

namespace orv::num1 {

namespace {

using numlib::matrix_extent;
using numlib::require_length;

constexpr std::size_t kRecordWidth = 80;

// Checks the index range of a kernel against its arrays.
void require_kernel(const char* routine, bool ok) {
    if (!ok) throw std::length_error(std::string(routine) + ": index range outside D, E, C or S");
}

}  // namespace

void BDSPLIT(double tol, int k, std::span<const double> d, std::span<const double> e, bool& zero, int& l) {
    require_kernel("BDSPLIT", k >= 1 && d.size() >= static_cast<std::size_t>(k) &&
                                  e.size() >= static_cast<std::size_t>(k - 1));
    const double eps = MCEPS();
    const double thresh = MCSAFE() / eps;
    const double atol = eps * tol;
    auto negligible = [&](double x, double n1, double n2) {
        x = std::fabs(x);
        if (tol > 0.0) return x <= atol;
        n1 = std::fabs(n1);
        n2 = std::fabs(n2);
        return x <= eps * std::max(n1, n2) || (x < thresh && n1 < thresh && n2 < thresh);
    };
    zero = false;
    l = 0;
    if (k == 1) {
        if (tol > 0.0 ? std::fabs(d[0]) <= atol : std::fabs(d[0]) < thresh) {
            zero = true;
            l = 1;
        }
        return;
    }
    if (negligible(d[k - 1], e[k - 2], e[k - 2])) {
        zero = true;
        l = k;
        return;
    }
    for (int j = k - 1; j >= 1; --j) {
        if (negligible(e[j - 1], d[j - 1], d[j])) {
            l = j;
            return;
        }
        const double above = j > 1 ? e[j - 2] : e[j - 1];
        if (negligible(d[j - 1], above, e[j - 1])) {
            zero = true;
            l = j;
            return;
        }
    }
}

void BDZBOT(int k, std::span<double> d, std::span<double> e, bool want, std::span<double> c, std::span<double> s) {
    if (k < 2) return;
    const std::size_t kk = static_cast<std::size_t>(k);
    require_kernel("BDZBOT", d.size() >= kk && e.size() >= kk - 1 && (!want || (c.size() >= kk - 1 && s.size() >= kk - 1)));
    double f = e[k - 2];
    e[k - 2] = 0.0;
    double cc = 1.0, ss = 0.0;
    ROTGEN(d[k - 2], f, cc, ss);
    if (want) c[k - 2] = cc, s[k - 2] = ss;
    for (int i = k - 2; i >= 1; --i) {
        f = -ss * e[i - 1];
        e[i - 1] = cc * e[i - 1];
        ROTGEN(d[i - 1], f, cc, ss);
        if (want) c[i - 1] = cc, s[i - 1] = ss;
    }
}

void BDZMID(int l, int k, std::span<double> d, std::span<double> e, bool want, std::span<double> c,
            std::span<double> s) {
    if (l < 1 || l >= k) return;
    const std::size_t kk = static_cast<std::size_t>(k);
    require_kernel("BDZMID", d.size() >= kk && e.size() >= kk - 1 && (!want || (c.size() >= kk - 1 && s.size() >= kk - 1)));
    double f = e[l - 1];
    e[l - 1] = 0.0;
    double cc = 1.0, ss = 0.0;
    ROTGEN(d[l], f, cc, ss);
    if (want) c[l - 1] = cc, s[l - 1] = -ss;
    for (int i = l + 1; i <= k - 1; ++i) {
        f = -ss * e[i - 1];
        e[i - 1] = cc * e[i - 1];
        ROTGEN(d[i], f, cc, ss);
        if (want) c[i - 1] = cc, s[i - 1] = -ss;
    }
}

void BDSHIFT(int mode, double d1, double e1, double dkm1, double dk, double ekm2, double ekm1, double& cs,
             double& sn) {
    (void)ekm2;  // not used by the shift of mode -1
    if (mode != -1) throw std::invalid_argument("BDSHIFT: only MODE -1 is provided");
    const double t = dk;
    const double f = ekm1;
    const double tf = t * f;
    const double x = tf * tf;
    double mu = 0.0;
    if (x != 0.0) {
        const double z = ((dkm1 - t) * (dkm1 + t) + f * f) * 0.5;
        const double root = std::sqrt(z * z + x);
        const double w = std::signbit(z) ? z - root : z + root;
        bool fail = false;
        mu = SAFDIV(x, w, fail);
    }
    double g = 0.0;
    double h = 0.0;
    if (d1 == 0.0) {
        g = mu;
    } else {
        g = mu / d1 + (d1 + t) * (1.0 - t / d1);
        h = e1;
    }
    ROTGEN(g, h, cs, sn);
}

void BDSWEEP(std::string_view shift, int l, int k, std::span<double> d, std::span<double> e, double cs, double sn,
             bool wantl, std::span<double> cl, std::span<double> sl, bool wantr, std::span<double> cr,
             std::span<double> sr) {
    if (svd_detail::option(shift) != 'N') throw std::invalid_argument("BDSWEEP: only SHIFT \"N\" is provided");
    if (l < 1 || l >= k) return;
    const std::size_t kk = static_cast<std::size_t>(k);
    require_kernel("BDSWEEP", d.size() >= kk && e.size() >= kk - 1 &&
                                  (!wantl || (cl.size() >= kk - 1 && sl.size() >= kk - 1)) &&
                                  (!wantr || (cr.size() >= kk - 1 && sr.size() >= kk - 1)));
    double c = cs, s = sn;
    double bulge = 0.0;
    for (int i = l; i <= k - 1; ++i) {
        // Right rotation of columns i, i+1; past the first it removes the
        // bulge at (i-1, i+1).
        if (i > l) ROTGEN(e[i - 2], bulge, c, s);
        double x = d[i - 1], y = e[i - 1];
        d[i - 1] = c * x + s * y;
        e[i - 1] = c * y - s * x;
        bulge = s * d[i];  // now at (i+1, i)
        d[i] = c * d[i];
        if (wantr) cr[i - 1] = c, sr[i - 1] = s;
        // Left rotation of rows i, i+1 removes it, leaving one at (i, i+2).
        ROTGEN(d[i - 1], bulge, c, s);
        x = e[i - 1];
        y = d[i];
        e[i - 1] = c * x + s * y;
        d[i] = c * y - s * x;
        if (i < k - 1) {
            bulge = s * e[i];
            e[i] = c * e[i];
        }
        if (wantl) cl[i - 1] = c, sl[i - 1] = s;
    }
}

void F02SYZ(int n, std::span<double> d, std::span<double> e, int ncolb, std::span<double> b, int ldb, int nrowy,
            std::span<double> y, int ldy, int ncolz, std::span<double> z, int ldz, std::span<double> work,
            int& ifail) {
    static constexpr std::string_view name = "F02SYZ";
    int nerr = 0;
    if (n < 0) PARERRI(n, "N", ifail, nerr, name);
    if (ncolb < 0) PARERRI(ncolb, "NCOLB", ifail, nerr, name);
    if (ncolb > 0 && ldb < n) PARERRI(ldb, "LDB", ifail, nerr, name);
    if (nrowy < 0) PARERRI(nrowy, "NROWY", ifail, nerr, name);
    if (nrowy > 0 && ldy < nrowy) PARERRI(ldy, "LDY", ifail, nerr, name);
    if (ncolz < 0) PARERRI(ncolz, "NCOLZ", ifail, nerr, name);
    if (ncolz > 0 && ldz < n) PARERRI(ldz, "LDZ", ifail, nerr, name);
    if (nerr > 0) {
        ifail = svd_detail::parameter_exit(ifail, nerr, name, kRecordWidth);
        return;
    }
    const bool left = ncolb > 0 || nrowy > 0;
    const bool right = ncolz > 0;
    const long long nm1 = std::max(n - 1, 0);
    require_length(work.size(), std::max<long long>({1, n, nm1 * (2 * left + 2 * right)}), name, "WORK");
    work[0] = 0.0;
    if (n == 0) {
        ifail = 0;
        return;
    }
    require_length(d.size(), n, name, "D");
    require_length(e.size(), nm1, name, "E");
    if (ncolb > 0) require_length(b.size(), matrix_extent(n, ncolb, ldb), name, "B");
    if (nrowy > 0) require_length(y.size(), matrix_extent(nrowy, n, ldy), name, "Y");
    if (ncolz > 0) require_length(z.size(), matrix_extent(n, ncolz, ldz), name, "Z");

    // Cosines and sines of the left rotations, then of the right ones.
    const std::size_t len = static_cast<std::size_t>(nm1);
    std::span<double> cl, sl, cr, sr;
    std::size_t next = 0;
    if (left) {
        cl = work.subspan(0, len);
        sl = work.subspan(len, len);
        next = 2 * len;
    }
    if (right) {
        cr = work.subspan(next, len);
        sr = work.subspan(next + len, len);
    }
    std::span<double> ee = e.subspan(0, len);

    // Scale into [0, 1].  1/BIG overflows for a subnormal BIG; then divide.
    double big = 0.0;
    for (int i = 0; i < n; ++i) big = std::max(big, std::fabs(d[i]));
    for (std::size_t i = 0; i < len; ++i) big = std::max(big, std::fabs(e[i]));
    const bool scaled = big > 0.0;
    const double inverse = scaled ? 1.0 / big : 1.0;
    const bool divide = scaled && !std::isfinite(inverse);
    if (scaled) {
        for (int i = 0; i < n; ++i) d[i] = divide ? d[i] / big : d[i] * inverse;
        for (std::size_t i = 0; i < len; ++i) e[i] = divide ? e[i] / big : e[i] * inverse;
    }

    // The sweep limit 50 N and the counter are 64-bit: no N overflows them.
    const std::int64_t limit = 50 * static_cast<std::int64_t>(n);
    std::int64_t sweep = 1;
    int k = n;
    while (k > 1 && sweep <= limit) {
        bool zero = false;
        int l = 0;
        BDSPLIT(0.0, k, d, ee, zero, l);
        if (zero && l == k) {
            BDZBOT(k, d, ee, right, cr, sr);
            if (right) ROTAPPLY("L", "B", "B", n, ncolz, 1, k, cr, sr, z, ldz);
        } else if (zero) {
            BDZMID(l, k, d, ee, left, cl, sl);
            if (ncolb > 0) ROTAPPLY("L", "T", "F", n, ncolb, l, k, cl, sl, b, ldb);
            if (nrowy > 0) ROTAPPLY("R", "T", "F", nrowy, n, l, k, cl, sl, y, ldy);
        }
        if (l + 1 < k) {
            double cs = 1.0, sn = 0.0;
            BDSHIFT(-1, d[l], ee[l], d[k - 2], d[k - 1], l + 2 < k ? ee[k - 3] : 0.0, ee[k - 2], cs, sn);
            BDSWEEP("N", l + 1, k, d, ee, cs, sn, left, cl, sl, right, cr, sr);
            if (ncolb > 0) ROTAPPLY("L", "V", "F", n, ncolb, l + 1, k, cl, sl, b, ldb);
            if (nrowy > 0) ROTAPPLY("R", "V", "F", nrowy, n, l + 1, k, cl, sl, y, ldy);
            if (right) ROTAPPLY("L", "V", "F", n, ncolz, l + 1, k, cr, sr, z, ldz);
            ++sweep;
        } else {
            --k;
        }
    }

    if (scaled) {
        for (int i = 0; i < n; ++i) d[i] *= big;
        for (std::size_t i = 0; i < len; ++i) e[i] *= big;
    }

    // Signs: the converged values are made non-negative, the left vectors
    // following them.
    for (int i = k; i <= n; ++i) {
        if (d[i - 1] < 0.0) {
            d[i - 1] = -d[i - 1];
            if (ncolb > 0) VNEG(ncolb, b.subspan(static_cast<std::size_t>(i - 1)), ldb);
            if (nrowy > 0) VNEG(nrowy, y.subspan(static_cast<std::size_t>(i - 1) * ldy), 1);
        }
    }
    // Order: a selection sort into descending order, the first of equal
    // values kept first; the interchanges follow the vectors.
    for (int i = 1; i < k; ++i) work[i - 1] = i + 0.25;
    for (int i = k; i <= n; ++i) {
        int best = i;
        for (int j = i + 1; j <= n; ++j)
            if (d[j - 1] > d[best - 1]) best = j;
        work[i - 1] = best + 0.25;
        std::swap(d[i - 1], d[best - 1]);
    }
    if (ncolb > 0) PERMAPP("L", "N", n, work, ncolb, b, ldb);
    if (nrowy > 0) PERMAPP("R", "N", n, work, nrowy, y, ldy);
    if (ncolz > 0) PERMAPP("L", "N", n, work, ncolz, z, ldz);
    work[0] = static_cast<double>(sweep);

    if (k == 1) ifail = 0;
    else ifail = svd_detail::convergence_exit(ifail, k, name, kRecordWidth);
}

}  // namespace orv::num1
