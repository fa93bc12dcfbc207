// How many threads each threaded routine runs on, in one place: the rules,
// the sizes from which the threads pay, and the measurements that set them.
//
// Why a run used N threads, in this order:
//  1. A count the caller gives (a test, a benchmark, a stage that hands its
//     own on) is used as it is.
//  2. Below the routine's threshold (below) the routine runs on one thread.
//  3. Else one thread per CPU that the process may run on (its affinity, as
//     taskset or a container's CPU set leaves it), but no more than the
//     routine has items of work to share out.
// For the eigen routines, DLINDS and the ranking, the settings below, which
// tests and benchmarks override, stand for 1 and 2.  Reports and files are
// the same whatever the count, and whatever number of threads the system
// lets the executor start (process/team.h).
//
// "N times" below is the speed of 8 threads over one on the project's
// 8-core machine, quiet, in the benchmark named.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>

namespace orv::proc {

// The CPUs the process may run on: its affinity (at least 1).
int usable_cpus();

// THREADS when positive, else one per usable CPU, but no more than there
// are ITEMS of work to share (a thread costs more to start than a small item).
inline int thread_count(int threads, std::size_t items = std::numeric_limits<std::size_t>::max()) {
    if (threads > 0) return threads;
    const std::size_t cores = static_cast<std::size_t>(usable_cpus());
    return static_cast<int>(std::clamp<std::size_t>(items, 1, cores));
}

// THREADS when positive; else 1 when SIZE is below FROM, and from there
// thread_count(0, ITEMS).
inline int threads_from(int threads, std::size_t size, std::size_t from,
                        std::size_t items = std::numeric_limits<std::size_t>::max()) {
    if (threads > 0) return threads;
    return size < from ? 1 : thread_count(0, items);
}

// A team of THREADS for loops of order N: no more than one thread per
// SHARE of N.
inline int team_size(int threads, int n, int share) {
    return std::clamp(threads, 1, std::max(1, n / std::max(share, 1)));
}

// The settings that tests and benchmarks override, each read at every call
// of the routines it serves; 0 leaves it to the rule of those routines.
enum class Setting {
    kEigenThreads,  // threads of the eigen routines and DLINDS (else the usable CPUs)
    kEigenOrder,    // order from which the eigen routines run on threads (kEigenOrder)
    kDlindsOrder,   // order from which DLINDS takes its blocked loops (kDlindsBlockedOrder)
    kRankThreads,   // threads of the ranking by sorted keys (else the usable CPUs)
    kKeyRankSize,   // values from which a ranking goes by sorted keys (kKeyRankSize)
};
inline constexpr int kSettings = 5;
void set(Setting setting, int value);  // a negative VALUE counts as 0
int setting(Setting setting);

namespace policy {

// Reading a correlation matrix (engine/control/rdcor.cpp), from this order:
// bench/fit_bench.cpp had 0.9 times at order 200, 1.6 at 300, 2.7 at 500.
inline constexpr std::size_t kCorrelationReadOrder = 300;

// The model fit (engine/control/fitstg.cpp), from this order, and L L' from
// this many products: bench/fit_bench.cpp had 1.0 times for the SHORT fit
// at order 300 and 1.2 at 500; L L' of 1,000 x 10 at 1.2 times, of 500 x 5
// at 0.3.
inline constexpr int kFitOrder = 400;
inline constexpr std::size_t kFitProducts = std::size_t{1} << 23;

// Raw data (engine/control/rdraw.cpp): fewer records than this are read
// subject by subject.  Not measured: a window of records is worth sharing
// only when it is more than a few pages.
inline constexpr std::size_t kRawRecords = 4096;

// Cross-products and correlations of raw data (numlib G02BAF): below this
// N x M x M, one thread.  Not measured: some milliseconds of arithmetic.
inline constexpr double kCrossProductWork = 1 << 22;

// The .fsc records (engine/control/scrstg.cpp): a thread per so many
// subjects at most.  Not measured: a few records are not worth a thread.
inline constexpr std::size_t kScoreRecordsPerThread = 64;

// Pairs of items (tetrachoric and polychoric correlations,
// engine/stats/tetcor.cpp and polcor.cpp), blocks of subjects (scores,
// engine/stats/regscr.cpp) and triplets (engine/control/trpstg.cpp): one
// thread per item of work at most; each item is long enough to pay.

// Eigen routines (numlib/routines2): the reductions and QR sweeps of the
// general eigenvalues on threads from this order: their teams gained
// nothing at orders 500 to 700, and at 1000 the Hessenberg reduction took
// 0.55 to 0.6 and the QR sweeps 0.7 to 0.85 of the one-thread time.
inline constexpr int kEigenOrder = 800;
// A part of a Hessenberg reduction step takes so many columns at least.
inline constexpr int kEigenStepColumns = 24;
// The bulge chase of the QR sweeps runs on the team from this active order:
// below it the owners' slices are too narrow to keep them busy.
inline constexpr int kChaseTeamOrder = 160;
// Their column-ordered loops, on one thread as on a team, from this order:
// they beat the row-ordered ones from about there (bench/eigen_bench.cpp).
inline constexpr int kEigenBlockedOrder = 200;
// The Hessenberg reduction and the QR sweeps: a thread for every so many
// columns at most.
inline constexpr int kEigenShare = 64;
// The tridiagonal reduction of the symmetric eigenvalues (DEVESF) from this
// order, a thread for every kTridiagonalShare columns at most, its steps
// shared out while the trailing order is at least kSharedStepOrder.
inline constexpr int kTridiagonalOrder = 350;
inline constexpr int kTridiagonalShare = 64;
inline constexpr int kSharedStepOrder = 128;

// DLINDS (numlib/routines2/dlinds_parallel.h), bench/dlinds_bench.cpp: the
// blocked loops beat the sequential ones on one thread from about order 64
// (1.05 times as fast; 0.8 at 32, 1.9 at 200), and helpers beat the caller
// alone from about order 350 (4 threads 1.2 to 1.4 times as fast there, 0.9
// to 1.05 at 300; 8 threads 0.4 at 200), with a thread for every so many
// columns at most.
inline constexpr int kDlindsBlockedOrder = 64;
inline constexpr int kDlindsHelpersOrder = 350;
inline constexpr int kDlindsColumnsPerThread = 80;

// Ranking (numlib/routines1/m01_rank.cpp), bench/rank_bench.cpp on
// residuals with many ties: the sorted keys on one thread beat the linked
// runs from about 50 values on (2.5 times at 500, 3 times at 500,000); a
// thread pays for itself from about 10,000 values (2 threads 2.5 and 8
// threads 12 times the linked runs' speed at 10,000 and 500,000 values,
// against 1.8 and 3.1 for one thread).  Threads from twice kRankShare
// values, one per kRankShare at most.
inline constexpr int kKeyRankSize = 64;
inline constexpr std::size_t kRankShare = 16384;

// The rules of the routines above, THREADS standing for a count given.
inline int correlation_read(int threads, std::size_t n) { return threads_from(threads, n, kCorrelationReadOrder, n); }
inline int fit(int threads, std::size_t nvar) {
    return threads_from(threads, nvar, static_cast<std::size_t>(kFitOrder), nvar);
}
inline int fit_products(int threads, std::size_t n, std::size_t nfac) {
    return threads_from(threads, n * n * nfac, kFitProducts, n);
}
// PER records a subject (0: not known before the read).
inline int raw_read(int threads, std::size_t nsubj, std::size_t per) {
    if (threads > 0) return threads;
    return per == 0 || nsubj * std::min(per, kRawRecords) < kRawRecords ? 1 : thread_count(0);
}
inline int cross_products(int threads, int n, int m) {
    if (threads > 0) return threads;
    return static_cast<double>(n) * m * m < kCrossProductWork ? 1 : thread_count(0);
}
inline int score_records(int threads, std::size_t nsubj) {
    return thread_count(threads, nsubj / kScoreRecordsPerThread + 1);
}
inline int pairs(int threads, std::size_t nvar) { return thread_count(threads, nvar * nvar / 2); }
inline int score_blocks(int threads, std::size_t blocks) { return thread_count(threads, blocks); }
inline int triplets(int threads, std::int64_t triplets) {
    return thread_count(threads, static_cast<std::size_t>(std::min<std::int64_t>(triplets, 1 << 20)));
}

}  // namespace policy
}  // namespace orv::proc
