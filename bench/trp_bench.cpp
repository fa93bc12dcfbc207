// The triplet test on 60 items x 5,000 subjects (34,220 triplets): the
// tetrachoric correlations and the triplet stage on one thread and on all
// cores, and the floor of this computation, (statistic evaluations made) x
// 120 calls of the pure normal distribution function on one thread.  Prints
// the times and the ratios: targets speed-up >= 6 on 8 cores, one thread
// within 2 x the floor.  The output files go to a temporary folder.
// Usage: orv_trp_bench [ITEMS [SUBJECTS [RUNS]]]   (default 60 5000 1; the
// times are the best of RUNS runs)
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine/common/units.h"
#include "engine/control/jobset.h"
#include "engine/control/rundata.h"
#include "engine/control/stages.h"
#include "engine/stats/mvn_quadrature.h"
#include "engine/stats/mvntrp.h"
#include "engine/stats/tetcor.h"
#include "numlib/routines2/dnordf.h"
#include "numlib/routines2/dnordf_pure.h"
#include "runtime/host.h"
#include "runtime/units.h"

namespace {

using namespace orv;
using namespace orv::engine;

// A window host that keeps nothing.
class QuietHost : public rt::Host {
public:
    const std::vector<std::string>& arguments() const override { return args_; }
    void set_dialog_filter(std::string_view) override {}
    std::optional<std::string> choose_file(std::string_view) override { return std::nullopt; }
    bool ask_yes_no(std::string_view, std::string_view, bool) override { return true; }
    void write_record(std::string_view) override {}
    void pause() override {}
    void set_status(std::string_view) override {}
    void end_of_run(int) override {}

private:
    std::vector<std::string> args_;
};

// CPU time of the process so far, all its threads, in seconds.
double cpu_seconds() {
    rusage use{};
    ::getrusage(RUSAGE_SELF, &use);
    auto sec = [](const timeval& t) { return static_cast<double>(t.tv_sec) + 1e-6 * static_cast<double>(t.tv_usec); };
    return sec(use.ru_utime) + sec(use.ru_stime);
}

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// One-factor probit items with loadings 0.4 to 0.8 and thresholds -1 to 1.
std::vector<double> items(int nvar, int nsubj) {
    std::mt19937_64 gen(60);
    std::normal_distribution<double> z(0.0, 1.0);
    std::vector<double> x(static_cast<std::size_t>(nvar) * nsubj);
    for (int s = 0; s < nsubj; ++s) {
        const double f = z(gen);
        for (int v = 0; v < nvar; ++v) {
            const double l = 0.4 + 0.4 * (v % 11) / 10.0;
            const double t = -1.0 + 2.0 * (v % 13) / 12.0;
            x[s + static_cast<std::size_t>(v) * nsubj] = l * f + std::sqrt(1 - l * l) * z(gen) > t ? 1.0 : 0.0;
        }
    }
    return x;
}

// The wall-clock and CPU time of TETCOR and TRPSTG on THREADS threads.
struct Times {
    double wall = 1e300, cpu = 0.0;
};
Times run_job(const std::vector<double>& x, int nvar, int nsubj, int threads, const std::string& dir,
              std::vector<double>& r) {
    JOBSET job;
    job.DATTYP = "RAW ";
    job.MODTYP = "TRP ";
    job.METRIC = "DI";
    job.NVAR = nvar;
    job.NSUBJ = nsubj;
    job.OUTPUT = "T";
    job.OUTCOD[0] = "MVN";
    job.JOBDIR = dir + "/";
    job.JOBBAS = "bench.in       ";
    RUNDATA run;
    run.X.assign(x.begin(), x.end());
    run.R.assign(static_cast<std::size_t>(nvar) * nvar, 0.0);
    rt::open_unit_or_fail(LURPT, dir + "/bench.out", {rt::OpenStatus::Replace, false});
    const double cpu = cpu_seconds();
    const auto start = std::chrono::steady_clock::now();
    TETCOR(run.X, nsubj, nvar, run.R, LURPT, job.JOBDIR, job.JOBBAS, 0, {}, threads);
    TRPSTG(job, run, threads);
    const Times t{seconds_since(start), cpu_seconds() - cpu};
    rt::close_all_units();
    r = run.R;
    return t;
}

// The statistic evaluations the stage makes: every triplet fitted again
// from counts taken directly, on all cores.
std::int64_t evaluations(const std::vector<double>& x, int nvar, int nsubj, const std::vector<double>& r) {
    std::vector<double> tau(static_cast<std::size_t>(nvar));
    for (int v = 0; v < nvar; ++v) {
        const double* c = &x[static_cast<std::size_t>(v) * nsubj];
        tau[static_cast<std::size_t>(v)] =
            num2::DNORIN(static_cast<double>(std::count(c, c + nsubj, 1.0)) / static_cast<double>(nsubj));
    }
    std::vector<std::array<int, 3>> triplets;
    for (int i = 1; i <= nvar; ++i)
        for (int j = i + 1; j <= nvar; ++j)
            for (int k = j + 1; k <= nvar; ++k) triplets.push_back({i, j, k});
    std::atomic<std::size_t> next{0};
    std::atomic<std::int64_t> total{0};
    auto work = [&] {
        std::int64_t mine = 0;
        for (std::size_t t; (t = next++) < triplets.size();) {
            const auto [i, j, k] = triplets[t];
            const double* a = &x[static_cast<std::size_t>(i - 1) * nsubj];
            const double* b = &x[static_cast<std::size_t>(j - 1) * nsubj];
            const double* c = &x[static_cast<std::size_t>(k - 1) * nsubj];
            int o[8] = {};
            for (int s = 0; s < nsubj; ++s)
                for (int p = 0; p < 8; ++p)
                    if (a[s] == MVN_PATTERNS[p] && b[s] == MVN_PATTERNS[p + 8] && c[s] == MVN_PATTERNS[p + 16]) {
                        ++o[p];
                        break;
                    }
            auto rr = [&](int u, int v) { return r[static_cast<std::size_t>(u - 1) + static_cast<std::size_t>(v - 1) * nvar]; };
            const double tt[3] = {tau[static_cast<std::size_t>(i - 1)], tau[static_cast<std::size_t>(j - 1)],
                                  tau[static_cast<std::size_t>(k - 1)]};
            mine += mvn_fit(o, nsubj, tt, rr(i, j), rr(i, k), rr(j, k)).evaluations;
        }
        total += mine;
    };
    std::vector<std::thread> pool;
    for (unsigned h = 1; h < std::max(1u, std::thread::hardware_concurrency()); ++h) pool.emplace_back(work);
    work();
    for (auto& t : pool) t.join();
    return total;
}

// CALLS calls of the pure normal function over arguments like the fit's.
double floor_time(std::int64_t calls) {
    std::vector<double> args;
    for (double a : {0.3, 0.8, 1.4, -0.6})
        for (double b : {-1.2, -0.3, 0.4, 1.1})
            for (int k = 0; k < mvn::kNodes; ++k) args.push_back(-(a * mvn::kNodeQ[k] + b));
    double sink = 0.0;
    const auto start = std::chrono::steady_clock::now();
    std::size_t at = 0;
    for (std::int64_t c = 0; c < calls; ++c) {
        sink += num2::DNORDF_PURE(args[at]);
        if (++at == args.size()) at = 0;
    }
    const double t = seconds_since(start);
    if (sink == -1.0) std::puts("");
    return t;
}

}  // namespace

int main(int argc, char** argv) {
    const int nvar = argc > 1 ? std::atoi(argv[1]) : 60;
    const int nsubj = argc > 2 ? std::atoi(argv[2]) : 5000;
    const int runs = argc > 3 ? std::atoi(argv[3]) : 1;
    if (nvar < 3 || nsubj < 2 || runs < 1) {
        std::fprintf(stderr, "usage: %s [ITEMS >= 3 [SUBJECTS >= 2 [RUNS >= 1]]]\n", argv[0]);
        return 2;
    }
    QuietHost host;
    rt::set_host(&host);
    char name[] = "/tmp/orv_trp_bench_XXXXXX";
    if (::mkdtemp(name) == nullptr) return 1;
    const std::string dir = name;
    const std::vector<double> x = items(nvar, nsubj);

    // Best of RUNS runs for each thread count, alternating, so that other
    // work on a shared machine weighs on both alike.
    std::vector<double> r;
    Times all, one;
    auto keep_best = [](Times& best, const Times& t) {
        if (t.wall < best.wall) best = t;
    };
    for (int k = 0; k < runs; ++k) {
        keep_best(all, run_job(x, nvar, nsubj, 0, dir, r));
        keep_best(one, run_job(x, nvar, nsubj, 1, dir, r));
    }
    const std::int64_t evals = evaluations(x, nvar, nsubj, r);
    const double floor = floor_time(evals * 120);
    std::filesystem::remove_all(dir);

    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    std::printf("triplet test, %d items x %d subjects, %lld triplets, best of %d runs\n", nvar, nsubj,
                static_cast<long long>(triplet_count(nvar)), runs);
    // The CPU time shows what other work on a shared machine hides: a run
    // on all cores that needs little more CPU time than the one-thread run
    // loses its speed-up to the cores it could not have.
    std::printf("  1 thread          %8.3f s   CPU %8.3f s\n", one.wall, one.cpu);
    std::printf("  %2u threads        %8.3f s   CPU %8.3f s   speed-up %.2f (target >= 6 on 8 cores)\n", cores,
                all.wall, all.cpu, one.wall / all.wall);
    std::printf("  floor             %8.3f s   %lld evaluations x 120 normal calls\n", floor,
                static_cast<long long>(evals));
    std::printf("  1 thread / floor  %8.3f     (target <= 2)\n", one.wall / floor);
    return 0;
}
