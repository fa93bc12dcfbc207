// The eigen routines of the extraction on one thread and on a team: DEVLRG
// (balancing, Hessenberg reduction, QR iteration) and DEVESF (tridiagonal
// reduction and the rest) on N x N correlation matrices with a few factors,
// for each N given (default 100 200 300 500 1000): with the row-ordered
// loops, with the column-ordered (blocked) loops on one thread, and with
// those on THREADS threads (default: one per usable CPU), the last two
// taken at every order.  The ratios to the first column show from which
// order each pays; the results are checked to be the same bit for bit.
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
#include "correlation_matrix.h"
#include "process/thread_policy.h"

namespace {

struct Times {
    double devlrg = 1e300, devesf = 1e300;
    std::vector<std::complex<double>> eval;
    std::vector<double> evec;
};

Times time_at(int n, const std::vector<double>& r, int threads, int runs) {
    orv::proc::set(orv::proc::Setting::kEigenThreads, threads);
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
    orv::proc::set(orv::proc::Setting::kEigenThreads, threads);
    threads = orv::num2::eigen_threads();
    std::printf("%6s | %9s %9s %9s | %9s %9s %9s  (s; ratios to row-ordered; %d threads)\n", "N", "DEVLRG", "blocked",
                "team", "DEVESF", "blocked", "team", threads);
    for (int n : sizes) {
        const std::vector<double> r = orv::bench::correlations(n, 0.6, -0.1);
        const int runs = n >= 1000 ? 1 : 3;
        orv::proc::set(orv::proc::Setting::kEigenOrder, 1 << 30);
        const Times plain = time_at(n, r, 1, runs);
        orv::proc::set(orv::proc::Setting::kEigenOrder, 1);
        const Times one = time_at(n, r, 1, runs);
        const Times many = time_at(n, r, threads, runs);
        auto same = [&](const Times& t) {
            return std::memcmp(plain.eval.data(), t.eval.data(), plain.eval.size() * sizeof plain.eval[0]) == 0 &&
                   std::memcmp(plain.evec.data(), t.evec.data(), plain.evec.size() * sizeof(double)) == 0;
        };
        std::printf("%6d | %9.4f %9.2f %9.2f | %9.4f %9.2f %9.2f  %s\n", n, plain.devlrg, plain.devlrg / one.devlrg,
                    plain.devlrg / many.devlrg, plain.devesf, plain.devesf / one.devesf, plain.devesf / many.devesf,
                    same(one) && same(many) ? "same bits" : "RESULTS DIFFER");
    }
    return 0;
}
