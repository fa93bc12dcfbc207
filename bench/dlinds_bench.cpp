// DLINDS, the inverse of a symmetric positive definite matrix, on N x N
// correlation matrices with a few factors for each N given (default 200 500
// 1000 2000): its kernels without a crew ("sequential", as below the
// parallel order), on a crew of one thread and on THREADS threads (default:
// one per usable CPU), the best of RUNS runs each (default 5), taken in turn
// in the same run.  The ratios (sequential / one thread, sequential /
// THREADS, one thread / THREADS) show from which order a crew and its
// threads pay; the inverses are checked to be the same bit for bit.
// Usage: orv_dlinds_bench [-t THREADS] [-r RUNS] [N ...]
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "numlib/routines2/dlinds.h"
#include "numlib/routines2/dlinds_parallel.h"
#include "numlib/routines2/eigen_team.h"
#include "best_time.h"
#include "correlation_matrix.h"
#include "process/thread_policy.h"

namespace {

struct Timed {
    double seconds = 1e300;
    std::vector<double> inverse;
};

// The best of RUNS calls with the order setting ORDER and THREADS threads.
Timed time_at(int n, const std::vector<double>& r, int order, int threads, int runs) {
    orv::proc::set(orv::proc::Setting::kDlindsOrder, order);
    orv::proc::set(orv::proc::Setting::kEigenThreads, threads);
    Timed t;
    t.inverse.assign(r.size(), 0.0);
    t.seconds = orv::bench::best_seconds(runs, [&] { orv::num2::DLINDS(n, r, n, t.inverse, n); });
    return t;
}

}  // namespace

int main(int argc, char** argv) {
    int threads = 0, runs = 5;
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-t") == 0 && i + 1 < argc) {
            threads = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "-r") == 0 && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else {
            sizes.push_back(std::atoi(argv[i]));
        }
    }
    if (sizes.empty()) sizes = {200, 500, 1000, 2000};
    orv::proc::set(orv::proc::Setting::kEigenThreads, threads);
    threads = orv::num2::eigen_threads();
    std::printf("%6s | %10s %10s %10s | %8s %8s %8s  (s, best of %d; %d threads)\n", "N", "sequential",
                "1 thread", "threads", "seq/1", "seq/T", "1/T", runs, threads);
    for (int n : sizes) {
        // Loadings below 0.4 on 5 factors: communalities below 0.8, so the
        // matrix is positive definite.
        const std::vector<double> r = orv::bench::correlations(n, 0.4, 0.0);
        const Timed plain = time_at(n, r, 1 << 30, 1, runs);
        const Timed one = time_at(n, r, 1, 1, runs);
        const Timed many = time_at(n, r, 1, threads, runs);
        auto same = [&](const Timed& t) {
            return std::memcmp(plain.inverse.data(), t.inverse.data(), plain.inverse.size() * sizeof(double)) == 0;
        };
        std::printf("%6d | %10.4f %10.4f %10.4f | %8.2f %8.2f %8.2f  %s\n", n, plain.seconds, one.seconds,
                    many.seconds, plain.seconds / one.seconds, plain.seconds / many.seconds,
                    one.seconds / many.seconds, same(one) && same(many) ? "same bits" : "RESULTS DIFFER");
    }
    return 0;
}
