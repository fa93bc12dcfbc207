#include "numlib/routines1/f02abf.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "numlib/array_args.h"
#include "numlib/blas_lapack.h"
#include "numlib/routines1/errexit.h"
#include "numlib/routines1/rotapply.h"

namespace orv::num1 {

namespace {

using numlib::matrix_extent;
using numlib::require_length;

void require_ld(const char* routine, int ld, int n, const char* name) {
    if (ld < n)
        throw std::length_error(std::string(routine) + ": leading dimension " + name +
                                " is smaller than the order N");
}

// Applies the rotations of positions K1..K2-1 (cosines C, sines S, one per
// position from K1 on) to columns K1..K2 of the N-row matrix Z from the
// right, the last position first.
void apply_backward(int nrow, int k1, int k2, const double* c, const double* s, std::span<double> z, int iz) {
    const int count = k2 - k1;
    if (count < 1) return;
    ROTAPPLY("R", "V", "B", nrow, count + 1, 1, count + 1, std::span<const double>(c, count),
             std::span<const double>(s, count), z.subspan(static_cast<std::size_t>(k1 - 1) * iz), iz);
}

}  // namespace

void F02AMZ(int n, double eps, std::span<double> d, std::span<double> e, std::span<double> z, int iz, int& ifail) {
    constexpr const char* kName = "F02AMZ";
    if (n < 1) {
        ifail = 0;
        return;
    }
    require_ld(kName, iz, n, "IZ");
    require_length(d.size(), n, kName, "D");
    require_length(e.size(), n, kName, "E");
    require_length(z.size(), matrix_extent(n, n, iz), kName, "Z");
    auto D = [&](int i) -> double& { return d[static_cast<std::size_t>(i - 1)]; };
    auto E = [&](int i) -> double& { return e[static_cast<std::size_t>(i - 1)]; };
    double* zcol = z.data();
    const std::ptrdiff_t ldz = iz;

    for (int i = 2; i <= n; ++i) E(i - 1) = E(i);
    E(n) = 0.0;
    double f = 0.0;
    double b = 0.0;
    long budget = 30L * n;

    // The rotations of one sweep go to these buffers and are applied to Z
    // block by block, in the order they were generated.
    constexpr int kBuffer = 128;
    std::array<double, kBuffer> cbuf{}, sbuf{};

    bool failed = false;
    for (int l = 1; l <= n && !failed; ++l) {
        double h = eps * (std::fabs(D(l)) + std::fabs(E(l)));
        b = std::max(b, h);
        int m = l;
        while (m < n && !(std::fabs(E(m)) <= b)) ++m;
        if (m > l) {
            do {
                if (budget <= 0) {
                    failed = true;
                    break;
                }
                --budget;
                // Shift from the leading 2 x 2 block.
                double g = D(l);
                double p = D(l + 1) - g;
                double t;
                if (std::fabs(E(l)) <= std::fabs(p)) {
                    t = 2.0 * E(l) / p;
                    D(l) = t * E(l) / (std::sqrt(1.0 + t * t) + 1.0);
                } else {
                    t = 0.5 * p / E(l);
                    const double r = std::sqrt(t * t + 1.0);
                    D(l) = t >= 0.0 ? E(l) / (t + r) : E(l) / (t - r);
                }
                h = g - D(l);
                for (int i = l + 1; i <= n; ++i) D(i) -= h;
                f += h;

                // QL sweep from the bottom of the block up to l.
                double c = 1.0;
                double s = 0.0;
                p = D(m);
                int hi = m;     // the pending rotations sit at positions hi-count..hi-1,
                int count = 0;  // the one at position i in buffer slot kBuffer-(hi-i)
                for (int i = m - 1; i >= l; --i) {
                    g = c * E(i);
                    h = c * p;
                    if (std::fabs(p) < std::fabs(E(i))) {
                        const double cr = p / E(i);
                        const double r = std::sqrt(cr * cr + 1.0);
                        E(i + 1) = s * E(i) * r;
                        s = 1.0 / r;
                        c = cr / r;
                    } else {
                        const double sr = E(i) / p;
                        const double r = std::sqrt(sr * sr + 1.0);
                        E(i + 1) = s * p * r;
                        s = sr / r;
                        c = 1.0 / r;
                    }
                    p = c * D(i) - s * g;
                    D(i + 1) = h + s * (c * g + s * D(i));
                    if (count == kBuffer) {
                        apply_backward(n, hi - count, hi, cbuf.data(), sbuf.data(), z, iz);
                        hi = i + 1;
                        count = 0;
                    }
                    cbuf[static_cast<std::size_t>(kBuffer - (hi - i))] = c;
                    sbuf[static_cast<std::size_t>(kBuffer - (hi - i))] = -s;
                    ++count;
                }
                apply_backward(n, hi - count, hi, cbuf.data() + (kBuffer - count), sbuf.data() + (kBuffer - count), z,
                               iz);
                E(l) = s * p;
                D(l) = c * p;
            } while (!(std::fabs(E(l)) <= b));
        }
        if (!failed) D(l) = D(l) + f;
    }

    if (failed) {
        ifail = ERREXIT(ifail, 1, kName, 0, {});
        return;
    }

    // Ascending order: selection of the smallest remaining value, the first
    // one met among equals.
    const int one = 1;
    for (int i = 1; i < n; ++i) {
        int k = i;
        double least = D(i);
        for (int j = i + 1; j <= n; ++j) {
            if (D(j) < least) {
                k = j;
                least = D(j);
            }
        }
        if (k != i) {
            D(k) = D(i);
            D(i) = least;
            dswap_(&n, zcol + (i - 1) * ldz, &one, zcol + (k - 1) * ldz, &one);
        }
    }
    ifail = 0;
}

}  // namespace orv::num1

namespace orv::num1 {

void F02ABF(std::span<const double> a, int ia, int n, std::span<double> r, std::span<double> v, int iv,
            std::span<double> e, int& ifail) {
    constexpr const char* kName = "F02ABF";
    const int caller_ifail = ifail;
    if (n < 1) {
        ifail = 0;
        return;
    }
    require_ld(kName, ia, n, "IA");
    require_ld(kName, iv, n, "IV");
    require_length(a.size(), matrix_extent(n, n, ia), kName, "A");
    require_length(r.size(), n, kName, "R");
    require_length(v.size(), matrix_extent(n, n, iv), kName, "V");
    require_length(e.size(), n, kName, "E");

    const std::ptrdiff_t lda = ia;
    const std::ptrdiff_t ldv = iv;
    auto A = [&](int i, int j) { return a[static_cast<std::size_t>((i - 1) + (j - 1) * lda)]; };
    auto V = [&](int i, int j) -> double& { return v[static_cast<std::size_t>((i - 1) + (j - 1) * ldv)]; };
    auto D = [&](int i) -> double& { return r[static_cast<std::size_t>(i - 1)]; };
    auto E = [&](int i) -> double& { return e[static_cast<std::size_t>(i - 1)]; };
    const double safmin = 2.2250738585072014e-308;
    const int one = 1;
    const double zero = 0.0, unit = 1.0, minus = -1.0;

    // Householder reduction of the lower triangle (tred2), the transformation
    // kept in V.
    for (int j = 1; j <= n; ++j) {
        for (int i = j; i <= n; ++i) V(i, j) = A(i, j);
        D(j) = A(n, j);
    }
    for (int i = n; i >= 2; --i) {
        const int l = i - 1;
        double h = 0.0;
        const double scale = std::fabs(D(idamax_(&l, &D(1), &one)));
        if (l == 1 || scale < safmin) {
            E(i) = D(l);
            for (int j = 1; j <= l; ++j) {
                V(j, i) = 0.0;
                D(j) = V(l, j);
                V(i, j) = 0.0;
            }
        } else {
            for (int k = 1; k <= l; ++k) D(k) /= scale;
            for (int k = 1; k <= l; ++k) h += D(k) * D(k);
            const double f = D(l);
            double g = std::sqrt(h);
            if (f >= 0.0) g = -g;
            E(i) = scale * g;
            h -= f * g;
            D(l) = f - g;
            for (int k = 1; k <= l; ++k) V(k, i) = D(k);
            const int ldvi = iv;
            dsymv_("L", &l, &unit, &V(1, 1), &ldvi, &D(1), &one, &zero, &E(1), &one, 1);
            for (int k = 1; k <= l; ++k) E(k) /= h;
            const double hh = ddot_(&l, &E(1), &one, &D(1), &one) / (h + h);
            const double minus_hh = -hh;
            daxpy_(&l, &minus_hh, &D(1), &one, &E(1), &one);
            dsyr2_("L", &l, &minus, &D(1), &one, &E(1), &one, &V(1, 1), &ldvi, 1);
            for (int j = 1; j <= l; ++j) {
                D(j) = V(l, j);
                V(i, j) = 0.0;
            }
        }
        D(i) = h;
    }

    // Accumulate the transformations.
    for (int i = 2; i <= n; ++i) {
        const int l = i - 1;
        V(n, l) = V(l, l);
        V(l, l) = 1.0;
        const double h = D(i);
        if (h != 0.0) {
            const int ldvi = iv;
            dgemv_("T", &l, &l, &unit, &V(1, 1), &ldvi, &V(1, i), &one, &zero, &D(1), &one, 1);
            for (int k = 1; k <= l; ++k) D(k) /= h;
            dger_(&l, &l, &minus, &V(1, i), &one, &D(1), &one, &V(1, 1), &ldvi);
        }
        for (int k = 1; k <= l; ++k) V(k, i) = 0.0;
    }
    for (int k = 1; k <= n; ++k) {
        D(k) = V(n, k);
        V(n, k) = 0.0;
    }
    V(n, n) = 1.0;
    E(1) = 0.0;

    int worker = 1;
    F02AMZ(n, 0x1.0p-53, r, e, v, iv, worker);
    ifail = worker != 0 ? ERREXIT(caller_ifail, 1, kName, 0, {}) : 0;
}

}  // namespace orv::num1
