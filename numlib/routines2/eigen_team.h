// A team of threads for one call of an eigen routine's reduction or QR
// sweeps.
//
// Those loops hand work out once per reflector or per block of reflectors,
// thousands of times a call, each time for a few tens of microseconds of
// arithmetic; so the team's helpers are started once per call and spin
// briefly between runs before they sleep.  A run is cut into parts that
// the calling thread and the helpers claim one at a time, each thread its
// own parts first: when helpers are late (a loaded machine), the others do
// their parts instead of waiting for them to be scheduled, and when the
// team keeps being no faster than the caller alone, the caller does the
// next runs by itself.  Every part is a fixed set of elements that gets
// the same operations in the same order as in the sequential loop, so
// results do not depend on the number of threads or on who did which part.
//
// Library-internal: the engine does not call this.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace orv::rt {
class WorkerPool;
}  // namespace orv::rt

namespace orv::num2 {

// Threads the eigen routines may use: THREADS when positive, else the CPUs
// of the process's affinity mask (the default, 0).  A library-wide setting
// for tests and benchmarks; read at every call.
void set_eigen_threads(int threads);
int eigen_threads();

// Smallest order at which the reductions and QR sweeps run on threads;
// smaller matrices take the sequential loops.  0 restores the default.
void set_eigen_parallel_order(int order);
int eigen_parallel_order();

// Smallest order at which the Hessenberg reduction and the QR sweeps take
// their column-ordered loops, on one thread as on a team: the parallel
// order when one is set, else a default well below it (those loops keep
// the matrix in cache better than the row-ordered ones, with the same
// arithmetic).
int eigen_blocked_order();

// The threads to use for loops of order N: 1 below the parallel order,
// else eigen_threads(), but no more than one per MIN_SHARE of N (or per
// parallel order, when that is smaller).
int eigen_team_size(int n, int min_share);
// The same for loops that pay on threads from DEFAULT_ORDER on: that order
// stands for the parallel order unless one has been set.
int eigen_team_size(int n, int min_share, int default_order);

namespace team {

// A pause inside a spin loop.
inline void cpu_pause() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

// Waits until FLAG holds at least VALUE (acquiring what was stored before
// it): spins briefly, then gives the core away at each look, so that a
// thread another process has preempted gets to finish what is waited for.
void wait_at_least(const std::atomic<int>& flag, int value);

// Whether runs go to the team or to the caller alone: a window of runs
// alone, a window on the team, then a stretch of runs the faster way
// (the same parts in the same order either way, so the same results).
// On a machine whose other work keeps the helpers from their parts the
// caller is faster alone.
struct Pace {
    // Runs over which the caller alone and then the team are timed, the
    // share of the caller's time the team must beat, and the runs that
    // then go the faster way before the next comparison.  The runs of one
    // call change in size only slowly, so neighbouring windows compare like
    // with like.
    static constexpr int kWindow = 16;
    static constexpr double kGain = 0.9;
    static constexpr int kStretchRuns = 512;

    enum Phase { kProbeAlone, kProbeTeam, kStretch };
    Phase phase = kProbeAlone;
    int runs = 0;
    double alone_seconds = 0.0;
    double team_seconds = 0.0;
    bool stretch_alone = false;
    bool alone() const;
    void record(double seconds);
};

// THREADS threads for the duration of one routine call: the calling thread
// and THREADS - 1 helpers of a run-time worker pool, which serve the team's
// runs until it ends (no helpers when the pool cannot be started).  Runs
// are started from the thread that made the team.
class Team {
public:
    explicit Team(int threads);
    ~Team();
    Team(const Team&) = delete;
    Team& operator=(const Team&) = delete;

    int size() const { return helpers_ + 1; }

    // Parts to cut WORK into, at least MIN_WORK each: 1 .. 2 size().
    int parts(std::int64_t work, std::int64_t min_work) const;

    // Starts the pace with a stretch of runs on the team, for loops known to
    // pay on it whose first runs are their largest (a window alone would
    // take those).
    void trust_team() {
        pace_.phase = Pace::kStretch;
        pace_.stretch_alone = false;
        pace_.runs = 0;
    }

    // Runs body(k, PARTS) for k = 0 .. PARTS-1 on the calling thread and
    // the helpers, and returns when all have ended.  BODY must not throw.
    template <typename Body>
    void run(int parts, Body& body) {
        if (parts <= 1 || helpers_ == 0) {
            for (int k = 0; k < std::max(parts, 1); ++k) body(k, std::max(parts, 1));
            return;
        }
        run_raw(
            parts, [](void* c, int k, int n) { (*static_cast<Body*>(c))(k, n); }, &body);
    }

    // Runs body(k, size()) for k = 0 .. size()-1 whatever the pace says,
    // for parts that wait on one another: every thread takes its own part
    // first (the caller part 0), and a thread done with its part takes a
    // part whose thread has not come yet; no thread runs two parts at once.
    // False, and nothing run, when the team has no helpers.  BODY must not
    // throw.
    template <typename Body>
    bool run_together(Body& body) {
        if (helpers_ == 0) return false;
        run_raw(
            size(), [](void* c, int k, int n) { (*static_cast<Body*>(c))(k, n); }, &body, true);
        return true;
    }

private:
    void run_raw(int parts, void (*body)(void*, int, int), void* context, bool together = false);
    // Claims part K for run ID: false when another thread has it.
    bool claim(int k, std::uint64_t id);
    // Thread INDEX runs the parts of run ID it can claim: its own first
    // (INDEX, INDEX + size(), ...), which keep their rows in its cache from
    // one run to the next, then any left by late threads.
    void work_on(std::uint64_t id, int parts, int index);
    void serve(std::uint64_t seen, int index);

    std::unique_ptr<rt::WorkerPool> pool_;
    int helpers_ = 0;
    Pace pace_;
    // The run's id in the upper 32 bits and its number of parts in the
    // lower 32, stored once all else about the run is in place.
    std::atomic<std::uint64_t> word_{0};
    // claims_[k]: the last run whose part k a thread has taken.  Claims only
    // ever move to a later run, so a helper that comes late to a run already
    // over claims nothing.
    std::unique_ptr<std::atomic<std::uint64_t>[]> claims_;
    std::atomic<int> done_{0};
    std::atomic<bool> closing_{false};
    // Written by the caller before the run's word is stored, read by a
    // thread after it has claimed a part of that run.
    void (*body_)(void*, int, int) = nullptr;
    void* context_ = nullptr;
};

// Bounds of part T of THREADS of the range FIRST .. LAST (inclusive), so
// that the parts carry about equal work where the work on index i grows
// like LAST - i + 1 (TRIANGLE true) or is the same for all (false).  An
// empty part has first > last.
struct Range {
    int first;
    int last;
};
Range part(int first, int last, int t, int threads, bool triangle = false);

}  // namespace team
}  // namespace orv::num2
