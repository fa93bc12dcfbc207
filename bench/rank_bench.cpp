// Ranking N residual-like values (many ties, signed zeros): M01DAF's linked
// runs against the sorted keys on 1, 2, 4 and 8 threads, each the best of
// several calls, with the ranks checked equal.  The smallest section for
// the keys and the share of work per thread come from these figures.
// Usage: orv_rank_bench [N...]   (default 1000 ... 500000)
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "best_time.h"
#include "numlib/routines1/m01_rank.h"
#include "numlib/routines1/m01daf.h"
#include "process/thread_policy.h"

namespace {

using orv::bench::best_seconds;
using orv::num1::m01::Output;

}  // namespace

int main(int argc, char** argv) {
    std::vector<int> sizes;
    for (int a = 1; a < argc; ++a) sizes.push_back(std::atoi(argv[a]));
    if (sizes.empty()) sizes = {1000, 2000, 5000, 10000, 20000, 50000, 100000, 500000};

    std::printf("%9s %12s %12s  %s\n", "N", "linked (ms)", "keys 1 (ms)", "linked / keys on 1, 2, 4, 8 threads");
    bool same = true;
    for (const int n : sizes) {
        std::mt19937_64 gen(static_cast<unsigned>(n));
        std::normal_distribution<double> normal(0.0, 0.01);
        std::vector<double> v(static_cast<std::size_t>(n));
        for (double& e : v) e = std::round(normal(gen) * 1e5) * 1e-5;  // residuals to 5 places: ties
        const int reps = n < 100000 ? 20 : 5;

        std::vector<int> linked(v.size()), keyed(v.size());
        int ifail = 0;
        orv::proc::set(orv::proc::Setting::kKeyRankSize, INT_MAX);
        const double t_linked = best_seconds(reps, [&] { orv::num1::M01DAF(v, 1, n, "A", linked, ifail); });
        orv::proc::set(orv::proc::Setting::kKeyRankSize, 0);
        std::printf("%9d %12.3f", n, t_linked * 1e3);
        for (const int threads : {1, 2, 4, 8}) {
            const double t = best_seconds(
                reps, [&] { orv::num1::m01::key_rank(v, false, 1, Output::kRanks, keyed, threads); });
            if (threads == 1) std::printf(" %12.3f ", t * 1e3);
            std::printf(" %6.2f", t_linked / t);
            same = same && keyed == linked;
        }
        std::printf("\n");
    }
    std::printf("ranks %s\n", same ? "identical" : "DIFFERENT");
    return same ? 0 : 1;
}
