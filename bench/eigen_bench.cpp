// The eigen routines of the extraction on one thread and on a team: DEVLRG
// (balancing, Hessenberg reduction, QR iteration) and DEVESF (tridiagonal
// reduction and the rest) on N x N correlation matrices with a few factors,
// for each N given (default 100 200 300 500 1000), timed at 1 thread and at
// THREADS threads (default: one per usable CPU), with the parallel path
// forced at every size.  The ratio column shows from which order the team
// pays; the results are checked to be the same bit for bit.
// Usage: orv_eigen_bench [-t THREADS] [N ...]
#include <algorithm>
#include <chrono>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "numlib/routines2/devesf.h"
#include "numlib/routines2/devlrg.h"
#include "numlib/routines2/eigen_team.h"

namespace {

struct Rng {
    std::uint64_t s = 88172645463325252ull;
    double uniform() {
        s ^= s << 13, s ^= s >> 7, s ^= s << 17;
        return static_cast<double>(s >> 11) * 0x1.0p-53;
    }
};

// A correlation matrix of N variables loading on 5 factors.
std::vector<double> correlations(int n) {
    Rng rng;
    const int k = 5;
    std::vector<double> l(static_cast<std::size_t>(n) * k);
    for (double& v : l) v = 0.6 * rng.uniform() - 0.1;
    std::vector<double> r(static_cast<std::size_t>(n) * n);
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
            double s = 0.0;
            for (int f = 0; f < k; ++f) s += l[static_cast<std::size_t>(i) * k + f] * l[static_cast<std::size_t>(j) * k + f];
            r[static_cast<std::size_t>(i) + static_cast<std::size_t>(j) * n] = i == j ? 1.0 : s;
        }
    }
    return r;
}

struct Times {
    double devlrg = 1e300, devesf = 1e300;
    std::vector<std::complex<double>> eval;
    std::vector<double> evec;
};

Times time_at(int n, const std::vector<double>& r, int threads, int runs) {
    orv::num2::set_eigen_threads(threads);
    Times t;
    for (int k = 0; k < runs; ++k) {
        std::vector<std::complex<double>> eval(static_cast<std::size_t>(n));
        auto start = std::chrono::steady_clock::now();
        orv::num2::DEVLRG(n, r, n, eval);
        t.devlrg = std::min(t.devlrg, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        std::vector<double> a = r, ev(10), evec(static_cast<std::size_t>(n) * 10);
        start = std::chrono::steady_clock::now();
        orv::num2::DEVESF(n, 10, a, n, false, ev, evec, n);
        t.devesf = std::min(t.devesf, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        t.eval = eval;
        t.evec = evec;
    }
    return t;
}

}  // namespace

int main(int argc, char** argv) {
    int threads = 0;
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-t") == 0 && i + 1 < argc) {
            threads = std::atoi(argv[++i]);
        } else {
            sizes.push_back(std::atoi(argv[i]));
        }
    }
    if (sizes.empty()) sizes = {100, 200, 300, 500, 1000};
    orv::num2::set_eigen_threads(threads);
    threads = orv::num2::eigen_threads();
    orv::num2::set_eigen_parallel_order(1);
    std::printf("%6s %12s %12s %7s %12s %12s %7s  (s, best of 3; %d threads)\n", "N", "DEVLRG 1", "DEVLRG n",
                "ratio", "DEVESF 1", "DEVESF n", "ratio", threads);
    for (int n : sizes) {
        const std::vector<double> r = correlations(n);
        const int runs = n >= 1000 ? 1 : 3;
        const Times one = time_at(n, r, 1, runs);
        const Times many = time_at(n, r, threads, runs);
        const bool same = std::memcmp(one.eval.data(), many.eval.data(), one.eval.size() * sizeof one.eval[0]) == 0 &&
                          std::memcmp(one.evec.data(), many.evec.data(), one.evec.size() * sizeof(double)) == 0;
        std::printf("%6d %12.4f %12.4f %7.2f %12.4f %12.4f %7.2f  %s\n", n, one.devlrg, many.devlrg,
                    one.devlrg / many.devlrg, one.devesf, many.devesf, one.devesf / many.devesf,
                    same ? "same bits" : "RESULTS DIFFER");
    }
    return 0;
}
