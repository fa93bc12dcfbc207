// The symmetric eigenproblem and the orthomax rotation at a realistic large
// size: F02FAF on an N x N correlation matrix (default 500) beside LAPACK's
// divide-and-conquer dsyevd on the same matrix, then G03BAF (Varimax with
// row normalisation) on the N x K principal-component loadings (default
// K = 10).  Prints the times and the largest eigenvalue difference.
// Usage: orv_f02faf_bench [N [K]]
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "numlib/blas_lapack.h"
#include "numlib/routines1/f02faf.h"
#include "numlib/routines1/g02baf.h"
#include "numlib/routines1/g03baf.h"

namespace {

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct Rng {
    std::uint64_t s = 88172645463325252ull;
    double uniform() {
        s ^= s << 13, s ^= s >> 7, s ^= s << 17;
        return static_cast<double>(s >> 11) * 0x1.0p-53;
    }
    double normal() {
        const double u = 1.0 - uniform(), v = uniform();
        return std::sqrt(-2.0 * std::log(u)) * std::cos(6.283185307179586 * v);
    }
};

}  // namespace

int main(int argc, char** argv) {
    const int n = argc > 1 ? std::atoi(argv[1]) : 500;
    const int k = argc > 2 ? std::atoi(argv[2]) : 10;
    if (n < 2 || k < 2 || k > n) {
        std::fprintf(stderr, "usage: %s [N >= 2 [2 <= K <= N]]\n", argv[0]);
        return 2;
    }
    // Scores of 4N subjects on N items driven by K common factors.
    const int subjects = 4 * n;
    Rng rng;
    std::vector<double> factors(static_cast<std::size_t>(subjects) * k), x(static_cast<std::size_t>(subjects) * n);
    for (double& f : factors) f = rng.normal();
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < subjects; ++i)
            x[i + static_cast<std::size_t>(j) * subjects] =
                0.7 * factors[i + static_cast<std::size_t>(j % k) * subjects] + 0.5 * rng.normal();
    std::vector<double> mean(n), sd(n), ssp(static_cast<std::size_t>(n) * n), r(ssp.size());
    int ifail = 0;
    orv::num1::G02BAF(subjects, n, x, subjects, mean, sd, ssp, n, r, n, ifail);

    std::vector<double> a = r, w(n), work(3 * static_cast<std::size_t>(n));
    auto start = std::chrono::steady_clock::now();
    orv::num1::F02FAF("V", "U", n, a, n, w, work, 3 * n, ifail);
    const double t_f02faf = seconds_since(start);

    std::vector<double> b = r, wd(n);
    int lwork = -1, liwork = -1, info = 0, iquery = 0;
    double query = 0.0;
    dsyevd_("V", "U", &n, b.data(), &n, wd.data(), &query, &lwork, &iquery, &liwork, &info, 1, 1);
    lwork = static_cast<int>(query);
    liwork = iquery;
    std::vector<double> dwork(static_cast<std::size_t>(lwork));
    std::vector<int> iwork(static_cast<std::size_t>(liwork));
    start = std::chrono::steady_clock::now();
    dsyevd_("V", "U", &n, b.data(), &n, wd.data(), dwork.data(), &lwork, iwork.data(), &liwork, &info, 1, 1);
    const double t_dsyevd = seconds_since(start);
    double diff = 0.0;
    for (int j = 0; j < n; ++j) diff = std::max(diff, std::fabs(w[j] - wd[j]));

    // Loadings of the K largest components, then Varimax.
    std::vector<double> fl(static_cast<std::size_t>(n) * k), flr(fl.size()), rot(static_cast<std::size_t>(k) * k);
    for (int j = 0; j < k; ++j) {
        const int col = n - 1 - j;
        const double s = std::sqrt(std::max(w[col], 0.0));
        for (int i = 0; i < n; ++i)
            fl[i + static_cast<std::size_t>(j) * n] = a[i + static_cast<std::size_t>(col) * n] * s;
    }
    std::vector<double> wk(2 * static_cast<std::size_t>(n) + static_cast<std::size_t>(k) * k + 5 * k - 4);
    int iter = 0;
    start = std::chrono::steady_clock::now();
    orv::num1::G03BAF("S", 1.0, n, k, fl, n, flr, rot, k, 0.0001, 200, iter, wk, ifail);
    const double t_g03baf = seconds_since(start);

    std::printf("F02FAF %d x %d: %.3f s   dsyevd: %.3f s   ratio F02FAF/dsyevd %.2f   max |eigenvalue diff| %.2e\n",
                n, n, t_f02faf, t_dsyevd, t_f02faf / t_dsyevd, diff);
    std::printf("G03BAF %d x %d: %.4f s   %d criterion evaluations, IFAIL %d\n", n, k, t_g03baf, iter, ifail);
    return info == 0 && ifail == 0 ? 0 : 1;
}
