// The executor of all parallel work: a team of the calling thread and
// helper threads that stay for the team's life and wait for the next run.
// Every parallel loop, the ordered writer, the eigen routines and DLINDS
// run on it (parallel.h builds the worker pool and the parallel loop on it).
//
// The caller starts what helpers the system lets it start when it makes the
// team; size() counts those alone, and a helper that cannot be started is
// not an error.  Every kind of run below is served correctly with any
// number of helpers, none included, and gives the same results.
//
// A run is cut into parts numbered 0 .. PARTS-1.  Each part is claimed by
// one thread, so it runs once whoever runs it; a thread takes its own parts
// first (helper H the parts H, H + size(), ...; the caller part 0), which
// keeps their data in its cache from one run to the next, then any part
// whose thread has not come yet.  Three kinds of run:
//   run(parts, body)      the caller waits until every part has ended; a
//                         part may wait only on lower-numbered parts;
//   run_together(body)    size() parts, no thread running two at once, so
//                         that the parts may wait on one another;
//   run_open(body)        body(index, n) on the caller and on the helpers
//                         that come in before the caller's own part has
//                         returned: the body shares the run's work out
//                         itself, and the caller does not wait for helpers
//                         that have not come (a busy machine).
// A part waits on another by wait_for(), which in debug and sanitizer
// builds checks those rules: a wait against them could hang a run.
//
// The caller starts every helper when it makes the team and goes on, so
// its first run need not wait for them and no helper waits on another's
// start.  The system places the helpers: a thread that waits for another
// on its CPU gives the core away after kSpinFor, and on 8 CPUs helpers
// pinned to CPUs of their own ran bench/extraction_bench.sh's job slower,
// alone and with two runs at once.  Runs are started from the thread that
// made the team.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <thread>

#include "process/sanitized.h"

#if !defined(NDEBUG) || ORV_SANITIZED
#define ORV_TEAM_CHECKS 1
#else
#define ORV_TEAM_CHECKS 0
#endif

namespace orv::proc {

// A pause inside a spin loop.
inline void cpu_pause() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

// The one wait policy of every thread that waits for another: it spins,
// pausing, for kSpinFor, then sleeps until the thread it waits for wakes
// it: on the word it waits for (await(), whose writer calls publish()),
// or on a Signal where no one word tells the wait is over.  A sleep costs
// a wake-up of some microseconds; a spin beyond that would keep a core
// from other work.
class Waiting {
public:
    static constexpr std::chrono::microseconds kSpinFor{100};

    // One more look that found nothing: pauses and returns false while the
    // wait is short, returns true once it has lasted kSpinFor.
    bool lasted() {
        if (long_) return true;
        if ((++spins_ & 63) == 0 && std::chrono::steady_clock::now() - since_ > kSpinFor) {
            long_ = true;
            return true;
        }
        cpu_pause();
        return false;
    }
    // How long the wait has lasted.
    std::chrono::steady_clock::duration elapsed() const { return std::chrono::steady_clock::now() - since_; }

private:
    bool long_ = false;
    int spins_ = 0;
    std::chrono::steady_clock::time_point since_ = std::chrono::steady_clock::now();
};

// Waits until done(WORD) holds and returns the value it held (acquiring
// what was stored before it).
template <typename T, typename Done>
T await(const std::atomic<T>& word, Done done) {
    Waiting waiting;
    for (;;) {
        const T v = word.load(std::memory_order_acquire);
        if (done(v)) return v;
        if (waiting.lasted()) word.wait(v, std::memory_order_acquire);
    }
}

// Stores VALUE (releasing what was stored before) and wakes its waiters.
template <typename T>
void publish(std::atomic<T>& word, T value) {
    word.store(value, std::memory_order_release);
    word.notify_all();
}

// The word to sleep on for a wait whose end no one word tells, as a thread
// looking for work that any of several others may make: wait_until() checks
// its condition under the wait policy, and notify(), called after every
// change that may end such a wait, wakes it.  notify() costs a fence while
// no thread sleeps.
class Signal {
public:
    void notify() {
        std::atomic_thread_fence(std::memory_order_seq_cst);
        if (sleepers_.load(std::memory_order_relaxed) == 0) return;
        count_.fetch_add(1, std::memory_order_release);
        count_.notify_all();
    }

    // Calls done(), which reads what the notifiers change, until it returns
    // true, and not after.
    template <typename Done>
    void wait_until(Done done) {
        Waiting waiting;
        while (!done()) {
            if (!waiting.lasted()) continue;
            sleepers_.fetch_add(1, std::memory_order_relaxed);
            std::atomic_thread_fence(std::memory_order_seq_cst);
            const std::uint32_t seen = count_.load(std::memory_order_acquire);
            // A change made before the fence is seen by done(); one made
            // after it is notified, and moves the count past SEEN.
            const bool over = done();
            if (!over) count_.wait(seen, std::memory_order_acquire);
            sleepers_.fetch_sub(1, std::memory_order_relaxed);
            if (over) return;
        }
    }

private:
    std::atomic<std::uint32_t> count_{0};
    std::atomic<int> sleepers_{0};
};

class Team {
public:
    // Parts a run may have at most; a team has at most half as many threads.
    static constexpr int kMaxParts = 256;

    // THREADS threads: the caller and THREADS - 1 helpers, or as many of
    // them as the system lets the caller start.
    explicit Team(int threads);
    ~Team();
    Team(const Team&) = delete;
    Team& operator=(const Team&) = delete;

    // The caller and the helpers that were started.
    int size() const { return helpers_ + 1; }

    // Runs body(k, PARTS) for k = 0 .. PARTS-1 (PARTS at most kMaxParts) and
    // returns when all have ended.  BODY must not throw.
    template <typename Body>
    void run(int parts, Body& body) {
        parts = std::clamp(parts, 1, kMaxParts);
        if (parts == 1 || helpers_ == 0) {
            run_here(parts, body);
            return;
        }
        begin(Mode::kParts, parts, thunk<Body>, &body);
        finish();
    }

    // The same on the calling thread alone, the parts in order.
    template <typename Body>
    void run_here(int parts, Body& body) {
        parts = std::clamp(parts, 1, kMaxParts);
        for (int k = 0; k < parts; ++k) {
            const Part part(Mode::kParts, k, parts);
            body(k, parts);
        }
    }

    // Runs body(k, size()) for k = 0 .. size()-1, each part on a thread of
    // its own, and returns true when all have ended; false, and nothing run,
    // when the team has no helpers.  BODY must not throw.
    template <typename Body>
    bool run_together(Body& body) {
        if (helpers_ == 0) return false;
        begin(Mode::kTogether, size(), thunk<Body>, &body);
        finish();
        return true;
    }

    // Runs body(index, N), N = min(THREADS, size()), on the caller (index 0)
    // and on the helpers 1 .. N-1 that come in before the caller's call has
    // returned, and returns when those have returned too.  BODY must not
    // throw, and must do all of the run's work whichever of the indices run
    // it.
    template <typename Body>
    void run_open(Body& body, int threads = kMaxParts) {
        const int n = std::clamp(threads, 1, size());
        if (n == 1) {
            const Part part(Mode::kOpen, 0, 1);
            body(0, 1);
            return;
        }
        begin(Mode::kOpen, n, thunk<Body>, &body);
        {
            const Part part(Mode::kOpen, 0, n);
            body(0, n);
        }
        close_open();
    }

    // The part running on this thread waits until FLAG, which part ON
    // publishes, holds at least VALUE.  In a run() part ON must come before
    // the waiting part, in run_together() be another part of it; parts of
    // run_open() do not wait on one another.
    static void wait_for(int on, const std::atomic<int>& flag, int value);

    // For tests, read when a team is made: helper HELPER (1 .. size()-1)
    // sleeps DELAY at each handshake of a run: when it sees the run, before
    // it claims a part and before it reports one done.  A zero DELAY ends
    // that.
    static void set_helper_delay(int helper, std::chrono::microseconds delay);
    // For tests, read when a team is made: the start of helper HELPER and of
    // every later one fails as the system's does when it refuses a thread.
    // 0 ends that.
    static void set_failing_start(int helper);

protected:
    enum class Mode : std::uint32_t { kParts, kTogether, kOpen };

    // A run of PARTS parts published to the helpers; finish() has the caller
    // take the parts left and returns once all have ended.  Between the two
    // the caller may do other work.
    void begin(Mode mode, int parts, void (*body)(void*, int, int), void* context);
    void finish();

    // The part a thread runs, for the checks of wait_for(), and on its end
    // the part of an outer team's run that called this one's; nothing in
    // builds without the checks.
    struct Part {
#if ORV_TEAM_CHECKS
        Part(Mode mode, int part, int parts);
        ~Part();
        Part(const Part&) = delete;
        Part& operator=(const Part&) = delete;
        int outer[3];
#else
        Part(Mode, int, int) {}
#endif
    };

    template <typename Body>
    static void thunk(void* context, int k, int parts) {
        (*static_cast<Body*>(context))(k, parts);
    }

private:
    // The caller's part of an open run has returned: the parts not claimed
    // yet are closed to their helpers, and the caller waits for the others.
    void close_open();
    // Claims part K for run ID: false when another thread has it.
    bool claim(int k, std::uint64_t id);
    // Thread INDEX runs the parts of run ID it can claim: its own first,
    // then any left by late threads; a DELAYED helper sleeps at each
    // handshake.
    template <bool Delayed>
    void work_on(std::uint64_t id, Mode mode, int parts, int index);
    void end_part(int parts);
    template <bool Delayed>
    void serve(int index);
    void handshake() const;

    int helpers_ = 0;
    // threads_[h] is helper h + 1, started by the caller.
    std::unique_ptr<std::thread[]> threads_;
    // The helper held up at each handshake (0: none), and for how long.
    int delayed_ = 0;
    std::chrono::microseconds delay_{0};
    // The run's id in the upper 32 bits, its mode in bits 16..31 and its
    // number of parts in bits 0..15, stored once all else about the run is
    // in place.
    std::atomic<std::uint64_t> word_{0};
    // The current run, as the caller published it.
    std::uint64_t id_ = 0;
    Mode mode_ = Mode::kParts;
    int parts_ = 0;
    // claims_[k]: the last run whose part k a thread has taken.  Claims only
    // ever move to a later run, so a helper that comes late to a run already
    // over claims nothing.
    std::unique_ptr<std::atomic<std::uint64_t>[]> claims_;
    // Parts of the run ended (or closed to latecomers, in run_open).
    std::atomic<int> done_{0};
    std::atomic<bool> closing_{false};
    // Written by the caller before the run's word is stored, read by a
    // thread after it has claimed a part of that run.
    void (*body_)(void*, int, int) = nullptr;
    void* context_ = nullptr;
};

}  // namespace orv::proc
