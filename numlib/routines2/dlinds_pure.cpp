// DLINDS without the error stack.  Each step is written as the reference
// BLAS routine DLINDS calls performs it (dger and dsyr skip a zero
// multiplier, dscal multiplies each element), so the rounding is the same.
#include "numlib/routines2/dlinds_pure.h"

#include <cmath>
#include <limits>
#include <stdexcept>

namespace orv::num2 {

bool DLINDS_PURE(int n, std::span<const double> a, int lda, std::span<double> ainv, int ldainv) {
    if (n < 1 || n > kPureInverseMaxOrder || lda < n || ldainv < n)
        throw std::invalid_argument("DLINDS_PURE: bad order or leading dimension");
    const auto need = [n](int ld) { return static_cast<std::size_t>(ld) * static_cast<std::size_t>(n - 1) + n; };
    if (a.size() < need(lda) || ainv.size() < need(ldainv))
        throw std::length_error("DLINDS_PURE: A or AINV is shorter than its dimensions");
    auto f = [&](int i, int j) -> double& {
        return ainv[static_cast<std::size_t>(i - 1) + static_cast<std::size_t>(j - 1) * ldainv];
    };
    auto in = [&](int i, int j) { return a[static_cast<std::size_t>(i - 1) + static_cast<std::size_t>(j - 1) * lda]; };

    // DLFTDS: a full symmetric copy of the upper triangle, then the
    // right-looking factorisation L L' in the lower triangle.
    for (int j = 1; j <= n; ++j)
        for (int i = 1; i <= n; ++i) f(i, j) = in(i, j);
    for (int j = 1; j < n; ++j)
        for (int i = j + 1; i <= n; ++i) f(i, j) = f(j, i);
    bool failed = false;
    for (int j = 1; j <= n; ++j) {
        const double pivot = f(j, j);
        if (!(pivot > 0.0)) {
            failed = true;
            break;
        }
        const double root = std::sqrt(pivot);
        f(j, j) = root;
        const double rec = 1.0 / root;
        for (int i = j + 1; i <= n; ++i) f(i, j) *= rec;
        for (int k = j + 1; k <= n; ++k) {
            const double lkj = f(k, j);
            for (int i = k; i <= n; ++i) f(i, k) -= f(i, j) * lkj;
        }
    }
    for (int j = 1; j < n; ++j)
        for (int i = j + 1; i <= n; ++i) f(j, i) = f(i, j);
    if (failed) return false;

    // DLINRT, upper path, in place.  The factor's diagonal is positive, so
    // the singularity test never fires.
    for (int j = 1; j <= n; ++j)
        for (int i = j + 1; i <= n; ++i) f(i, j) = 0.0;
    for (int j = 1; j <= n; ++j) {
        f(j, j) = 1.0 / f(j, j);
        const double neg = -f(j, j);
        for (int i = 1; i < j; ++i) f(i, j) = neg * f(i, j);  // dscal
        if (j < n) {
            for (int c = j + 1; c <= n; ++c) {  // dger with alpha 1
                if (f(j, c) != 0.0) {
                    const double temp = 1.0 * f(j, c);
                    for (int i = 1; i < j; ++i) f(i, c) += f(i, j) * temp;
                }
            }
            const double d = f(j, j);
            for (int c = j + 1; c <= n; ++c) f(j, c) = d * f(j, c);  // dscal
        }
    }

    // A^-1 = T T', T = R^-1, column by column in the upper triangle.
    for (int j = 1; j <= n; ++j) {
        for (int c = 1; c < j; ++c) {  // dsyr "U" with alpha 1 on x = T(1..j-1, j)
            if (f(c, j) != 0.0) {
                const double temp = 1.0 * f(c, j);
                for (int i = 1; i <= c; ++i) f(i, c) += f(i, j) * temp;
            }
        }
        const double d = f(j, j);
        for (int i = 1; i <= j; ++i) f(i, j) = d * f(i, j);  // dscal
    }
    // DCSFRG: the upper triangle mirrored.
    for (int j = 1; j < n; ++j)
        for (int i = j + 1; i <= n; ++i) f(i, j) = f(j, i);
    return true;
}

}  // namespace orv::num2
