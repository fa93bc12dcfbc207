#include "numlib/routines2/eigen_team.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "process/parallel.h"

namespace orv::num2 {
namespace {

// Below this order the hand-offs cost more than the threads gain in the
// reductions and QR sweeps of the general eigenvalues: on an 8-core
// machine their teams gained nothing at orders 500 to 700, and at 1000 the
// Hessenberg reduction took 0.55 to 0.6 and the QR sweeps 0.7 to 0.85 of
// the one-thread time.  Routines that pay earlier pass an order of their
// own.
constexpr int kDefaultParallelOrder = 800;
// The column-ordered loops on one thread beat the row-ordered ones from
// about this order on (bench/eigen_bench.cpp).
constexpr int kDefaultBlockedOrder = 200;

std::atomic<int> threads_setting{0};
std::atomic<int> order_setting{0};

// Parts a run may have at most.
constexpr int kMaxParts = 256;

// How long a helper spins for the next run before it sleeps, and how long
// the caller spins for the helpers' last parts before it sleeps.
constexpr auto kSpinFor = std::chrono::microseconds(50);
constexpr auto kWaitSpinFor = std::chrono::microseconds(200);

}  // namespace

void set_eigen_threads(int threads) { threads_setting.store(std::max(threads, 0)); }

int eigen_threads() { return rt::thread_count(threads_setting.load()); }

void set_eigen_parallel_order(int order) { order_setting.store(std::max(order, 0)); }

int eigen_parallel_order() {
    const int order = order_setting.load();
    return order > 0 ? order : kDefaultParallelOrder;
}

int eigen_blocked_order() {
    const int order = order_setting.load();
    return order > 0 ? order : kDefaultBlockedOrder;
}

int eigen_team_size(int n, int min_share) { return eigen_team_size(n, min_share, kDefaultParallelOrder); }

int eigen_team_size(int n, int min_share, int default_order) {
    const int set = order_setting.load();
    const int order = set > 0 ? set : default_order;
    if (n < order) return 1;
    // A parallel order set below the share (for tests) lowers the share too.
    const int share = std::max(1, std::min(min_share, order));
    const int by_work = std::max(1, n / share);
    return std::clamp(eigen_threads(), 1, by_work);
}

namespace team {

void wait_at_least(const std::atomic<int>& flag, int value) {
    for (int spin = 0; flag.load(std::memory_order_acquire) < value; ++spin) {
        if (spin < 4096) {
            cpu_pause();
        } else {
            std::this_thread::yield();
        }
    }
}

Team::Team(int threads) : claims_(new std::atomic<std::uint64_t>[kMaxParts]) {
    for (int k = 0; k < kMaxParts; ++k) claims_[k].store(0, std::memory_order_relaxed);
    const int helpers = std::min(threads, kMaxParts / 2) - 1;
    if (helpers <= 0) return;
    // The helpers start from the run id before the first run, so that a
    // helper that starts late still sees every later change of the word
    // (the end of the team included).
    const std::uint64_t first = word_.load(std::memory_order_relaxed) >> 32;
    try {
        // Each helper on a CPU of its own, away from the caller's: the runs
        // of a chase wait on every part.
        std::vector<int> cpus = rt::helper_cpus(helpers);
        pool_ = std::make_unique<rt::WorkerPool>(helpers);
        pool_->start(pool_->helpers(), [this, first, cpus = std::move(cpus)](int w) {
            if (static_cast<std::size_t>(w) < cpus.size()) rt::keep_on_cpu(cpus[static_cast<std::size_t>(w)]);
            serve(first, w + 1);
        });
        helpers_ = pool_->helpers();
    } catch (...) {
        pool_.reset();
        helpers_ = 0;
    }
}

Team::~Team() {
    if (helpers_ == 0) return;
    closing_.store(true, std::memory_order_relaxed);
    word_.fetch_add(std::uint64_t{1} << 32, std::memory_order_release);
    word_.notify_all();
    pool_->wait();
}

int Team::parts(std::int64_t work, std::int64_t min_work) const {
    if (helpers_ == 0) return 1;
    return static_cast<int>(std::clamp<std::int64_t>(work / std::max<std::int64_t>(min_work, 1), 1, 2 * size()));
}

void Team::run_raw(int parts, void (*body)(void*, int, int), void* context, bool together) {
    parts = std::min(parts, kMaxParts);
    const auto start = std::chrono::steady_clock::now();
    const bool alone = !together && pace_.alone();
    if (alone) {
        for (int k = 0; k < parts; ++k) body(context, k, parts);
    } else {
        body_ = body;
        context_ = context;
        done_.store(0, std::memory_order_relaxed);
        const std::uint64_t id = (word_.load(std::memory_order_relaxed) >> 32) + 1;
        word_.store(id << 32 | static_cast<std::uint64_t>(parts), std::memory_order_release);
        word_.notify_all();
        work_on(id, parts, 0);
        // Spin for the parts still running, then sleep until the last ends:
        // a yield would hand the core to another process for a time slice.
        int done = 0;
        for (int spin = 0; (done = done_.load(std::memory_order_acquire)) != parts; ++spin) {
            if ((spin & 63) == 63 && std::chrono::steady_clock::now() - start > kWaitSpinFor) {
                done_.wait(done, std::memory_order_acquire);
            } else {
                team::cpu_pause();
            }
        }
    }
    if (!together) pace_.record(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
}

bool Pace::alone() const { return phase == kProbeAlone || (phase == kStretch && stretch_alone); }

void Pace::record(double seconds) {
    ++runs;
    if (phase == kProbeAlone) {
        alone_seconds += seconds;
        if (runs == kWindow) {
            phase = kProbeTeam;
            runs = 0;
        }
    } else if (phase == kProbeTeam) {
        team_seconds += seconds;
        if (runs == kWindow) {
            stretch_alone = team_seconds > kGain * alone_seconds;
            phase = kStretch;
            runs = 0;
            alone_seconds = team_seconds = 0.0;
        }
    } else if (runs == kStretchRuns) {
        phase = kProbeAlone;
        runs = 0;
    }
}

bool Team::claim(int k, std::uint64_t id) {
    std::atomic<std::uint64_t>& c = claims_[k];
    std::uint64_t v = c.load(std::memory_order_relaxed);
    while (v < id) {
        if (c.compare_exchange_weak(v, id, std::memory_order_acq_rel, std::memory_order_relaxed)) return true;
    }
    return false;
}

void Team::work_on(std::uint64_t id, int parts, int index) {
    auto take = [&](int k) {
        if (!claim(k, id)) return;
        body_(context_, k, parts);
        if (done_.fetch_add(1, std::memory_order_acq_rel) + 1 == parts) done_.notify_one();
    };
    const int n = size();
    for (int k = index; k < parts; k += n) take(k);
    for (int k = 0; k < parts; ++k) {
        if (k % n != index) take(k);
    }
}

void Team::serve(std::uint64_t seen, int index) {
    for (;;) {
        std::uint64_t word = 0;
        const auto start = std::chrono::steady_clock::now();
        for (int spin = 0; ((word = word_.load(std::memory_order_acquire)) >> 32) == seen; ++spin) {
            if ((spin & 63) == 63 && std::chrono::steady_clock::now() - start > kSpinFor) {
                word_.wait(word, std::memory_order_acquire);
            } else {
                team::cpu_pause();
            }
        }
        seen = word >> 32;
        if (closing_.load(std::memory_order_relaxed)) return;
        work_on(seen, static_cast<int>(word & 0xffffffffu), index);
    }
}

Range part(int first, int last, int t, int threads, bool triangle) {
    const int len = last - first + 1;
    if (len <= 0 || threads <= 1) return t == 0 ? Range{first, last} : Range{first, first - 1};
    auto bound = [&](int k) -> int {  // indices in parts 0 .. k-1
        if (k <= 0) return 0;
        if (k >= threads) return len;
        const double share = static_cast<double>(k) / threads;
        const double b = triangle ? len * (1.0 - std::sqrt(1.0 - share)) : len * share;
        return std::clamp(static_cast<int>(b + 0.5), 0, len);
    };
    return {first + bound(t), first + bound(t + 1) - 1};
}

}  // namespace team
}  // namespace orv::num2
