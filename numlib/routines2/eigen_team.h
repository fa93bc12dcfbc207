// The eigen routines' team of threads for one call of a reduction or QR
// sweeps: the executor's team (process/team.h), whose helpers are started
// once per call and serve its runs, with a pace that gives the runs to the
// caller alone when the team keeps being no faster.
//
// Those loops hand work out once per reflector or per block of reflectors,
// thousands of times a call, each time for a few tens of microseconds of
// arithmetic.  Every part of a run is a fixed set of elements that gets
// the same operations in the same order as in the sequential loop, so
// results do not depend on the number of threads or on who did which part.
//
// Library-internal: the engine does not call this.
#pragma once

#include <chrono>
#include <cstdint>

#include "process/team.h"

namespace orv::num2 {

// Threads the eigen routines may use: the setting kEigenThreads when
// positive (process/thread_policy.h), else the CPUs of the process's
// affinity mask.
int eigen_threads();

// Smallest order at which the reductions and QR sweeps run on threads;
// smaller matrices take the sequential loops.  The setting kEigenOrder
// when positive, else policy::kEigenOrder.
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

// THREADS threads for the duration of one routine call (proc::Team), its
// runs given to the caller alone or to the team as the pace says.
class Team {
public:
    explicit Team(int threads) : team_(threads) {}

    int size() const { return team_.size(); }

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

    // Runs body(k, PARTS) for k = 0 .. PARTS-1 on the team (proc::Team::run)
    // or on the caller alone, and returns when all have ended.  A part may
    // wait (proc::Team::wait_for) only on lower-numbered parts.
    template <typename Body>
    void run(int parts, Body& body) {
        if (parts <= 1 || size() == 1) {
            team_.run_here(parts, body);
            return;
        }
        const auto start = std::chrono::steady_clock::now();
        if (pace_.alone()) {
            team_.run_here(parts, body);
        } else {
            team_.run(parts, body);
        }
        pace_.record(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }

    // Runs body(k, size()) for k = 0 .. size()-1 on threads of their own
    // whatever the pace says, for parts that wait on one another
    // (proc::Team::run_together); false, and nothing run, without helpers.
    template <typename Body>
    bool run_together(Body& body) {
        return team_.run_together(body);
    }

private:
    proc::Team team_;
    Pace pace_;
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
