// Pearson correlations of a large data matrix: G02BAF against one call of
// the reference BLAS dsyrk on the same centred data (the cross-products
// alone, without means, deviations or correlations).  Prints both times,
// their ratio, and checks a sample of SSP bit for bit against plain running
// sums in observation order.
// Usage: orv_g02baf_bench [N [M]]   (default 100000 x 200)
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "numlib/blas_lapack.h"
#include "numlib/routines1/g02baf.h"

namespace {

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    const int n = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int m = argc > 2 ? std::atoi(argv[2]) : 200;
    if (n < 2 || m < 2) {
        std::fprintf(stderr, "usage: %s [N >= 2 [M >= 2]]\n", argv[0]);
        return 2;
    }
    const std::size_t cells = static_cast<std::size_t>(n) * m;
    std::vector<double> x(cells);
    std::uint64_t s = 88172645463325252ull;
    for (std::size_t c = 0; c < cells; ++c) {
        s ^= s << 13, s ^= s >> 7, s ^= s << 17;
        // Item-like scores: a common part per subject plus noise.
        const std::size_t i = c % n;
        x[c] = static_cast<double>(s >> 11) * 0x1.0p-53 * 4.0 + static_cast<double>(i % 7);
    }
    std::vector<double> xbar(m), sd(m), ssp(static_cast<std::size_t>(m) * m), r(ssp.size());

    int ifail = 0;
    auto start = std::chrono::steady_clock::now();
    orv::num1::G02BAF(n, m, x, n, xbar, sd, ssp, m, r, m, ifail);
    const double ours = seconds_since(start);

    std::vector<double> centred(cells);
    for (int j = 0; j < m; ++j)
        for (int i = 0; i < n; ++i)
            centred[i + static_cast<std::size_t>(j) * n] = x[i + static_cast<std::size_t>(j) * n] - xbar[j];
    std::vector<double> c(ssp.size(), 0.0);
    const double one = 1.0, zero = 0.0;
    start = std::chrono::steady_clock::now();
    dsyrk_("U", "T", &m, &n, &one, centred.data(), &n, &zero, c.data(), &m, 1, 1);
    const double blas = seconds_since(start);

    // A sample of SSP against plain running sums in observation order.
    int checked = 0, differ = 0;
    for (int j = 0; j < m; j += 7) {
        for (int k = 0; k <= j; k += 5) {
            double sum = 0.0;
            const double* a = &centred[static_cast<std::size_t>(j) * n];
            const double* b = &centred[static_cast<std::size_t>(k) * n];
            for (int i = 0; i < n; ++i) sum = sum + a[i] * b[i];
            const double got = ssp[k + static_cast<std::size_t>(j) * m];
            ++checked;
            if (std::memcmp(&sum, &got, sizeof sum) != 0) ++differ;
        }
    }
    std::printf("G02BAF %d x %d: %.3f s   dsyrk: %.3f s   ratio G02BAF/dsyrk %.2f\n", n, m, ours, blas,
                ours / blas);
    std::printf("SSP sample: %d of %d elements differ from plain running sums\n", differ, checked);
    return differ == 0 ? 0 : 1;
}
