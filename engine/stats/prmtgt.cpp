#include "engine/stats/prmtgt.h"

#include <cmath>
#include <cstddef>
#include <string>
#include <vector>

#include "engine/common/fatal.h"
#include "engine/stats/spdinv.h"
#include "numlib/routines1/f04aef.h"

namespace orv::engine {

namespace {

// x**n for an integer n by square-and-multiply, the way the Fortran run-time
// raises a real to an integer power; x**0 is 1, also for x = 0.
double ipow(double x, int n) {
    unsigned m = n < 0 ? 0u - static_cast<unsigned>(n) : static_cast<unsigned>(n);
    double y = (m % 2u) != 0u ? x : 1.0;
    while ((m >>= 1u) != 0u) {
        x = x * x;
        if ((m % 2u) != 0u) y = y * x;
    }
    return n < 0 ? 1.0 / y : y;
}

// C := A' B for the n x k matrices A and B (leading dimension n); C is k x k.
void cross(const std::vector<double>& a, const std::vector<double>& b, std::size_t n, std::size_t k,
           std::vector<double>& c) {
    for (std::size_t j = 0; j < k; ++j) {
        for (std::size_t i = 0; i < k; ++i) {
            double s = 0.0;
            for (std::size_t m = 0; m < n; ++m) s = s + a[m + n * i] * b[m + n * j];
            c[i + k * j] = s;
        }
    }
}

// C := A B for A (r x k, leading dimension r) and B (k x k); C is r x k.
void product(const std::vector<double>& a, const std::vector<double>& b, std::size_t r, std::size_t k,
             std::vector<double>& c) {
    for (std::size_t j = 0; j < k; ++j) {
        for (std::size_t i = 0; i < r; ++i) {
            double s = 0.0;
            for (std::size_t m = 0; m < k; ++m) s = s + a[i + r * m] * b[m + k * j];
            c[i + r * j] = s;
        }
    }
}

}  // namespace

void PRMTGT(std::span<const double> A, std::span<double> P, std::span<double> PHI, int NVAR, int NFAC,
            int POWER) {
    const std::size_t n = static_cast<std::size_t>(NVAR < 0 ? 0 : NVAR);
    const std::size_t k = static_cast<std::size_t>(NFAC < 0 ? 0 : NFAC);
    std::vector<double> a(A.begin(), A.begin() + static_cast<std::ptrdiff_t>(n * k));
    std::vector<double> g(n * k);

    // Rows normalised to unit length; a variable without loadings stays 0.
    for (std::size_t i = 0; i < n; ++i) {
        double ss = 0.0;
        for (std::size_t j = 0; j < k; ++j) ss = ss + a[i + n * j] * a[i + n * j];
        const double h = std::sqrt(ss);
        for (std::size_t j = 0; j < k; ++j) g[i + n * j] = h == 0.0 ? 0.0 : a[i + n * j] / h;
    }

    // Columns scaled to a largest absolute value of 1.
    for (std::size_t j = 0; j < k; ++j) {
        double m = 0.0;
        for (std::size_t i = 0; i < n; ++i) m = std::fabs(g[i + n * j]) > m ? std::fabs(g[i + n * j]) : m;
        if (m == 0.0) {
            FATAL("FATAL ERROR: Promax factor " + std::to_string(j + 1) +
                  " has no non-zero loading; no target can be built");
        }
        for (std::size_t i = 0; i < n; ++i) g[i + n * j] = g[i + n * j] / m;
    }

    // Target: x**p / |x**q|.  An exact zero, and an element whose |x**q|
    // underflows, are zero (sign(x) |x|**k of them is zero or below the
    // smallest double).
    int p = POWER, q = 0;
    switch (POWER) {
        case 2: p = 3; q = 1; break;
        case 3: p = 5; q = 2; break;
        case 4: p = 5; q = 1; break;
        case 5: p = 7; q = 2; break;
        case 6: p = 7; q = 1; break;
        default: break;
    }
    for (double& x : g) {
        const double den = std::fabs(ipow(x, q));
        x = den == 0.0 ? 0.0 : ipow(x, p) / den;
    }

    // Least-squares transformation L = (A'A)^-1 A'G.
    std::vector<double> ata(k * k), atai(k * k), atg(k * k), l(k * k);
    cross(a, a, n, k, ata);
    cross(a, g, n, k, atg);
    SPDINV(ata, NFAC, atai);
    product(atai, atg, k, k, l);

    // U = L D with D(j, j) = sqrt of the diagonal of (L'L)^-1.
    std::vector<double> ltl(k * k), b(k * k), u(k * k);
    cross(l, l, k, k, ltl);
    SPDINV(ltl, NFAC, b);
    for (std::size_t j = 0; j < k; ++j) {
        const double d = std::sqrt(b[j + k * j]);
        for (std::size_t i = 0; i < k; ++i) u[i + k * j] = l[i + k * j] * d;
    }

    // Pattern P = A U.
    std::vector<double> pattern(n * k);
    product(a, u, n, k, pattern);
    for (std::size_t e = 0; e < n * k; ++e) P[e] = pattern[e];

    // Factor correlations PHI = X X' with U X = I.
    std::vector<double> ident(k * k, 0.0), x(k * k), wk(k), aa(k * k), bb(k * k);
    for (std::size_t j = 0; j < k; ++j) ident[j + k * j] = 1.0;
    int ifail = 0;
    num1::F04AEF(u, NFAC, ident, NFAC, NFAC, NFAC, x, NFAC, wk, aa, NFAC, bb, NFAC, ifail);
    for (std::size_t j = 0; j < k; ++j) {
        for (std::size_t i = 0; i < k; ++i) {
            double s = 0.0;
            for (std::size_t m = 0; m < k; ++m) s = s + x[i + k * m] * x[j + k * m];
            PHI[i + k * j] = s;
        }
    }
}

}  // namespace orv::engine
