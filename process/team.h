// A team of threads for the short, frequent runs of one numerical routine
// call: the calling thread and helpers that stay for the whole call and
// wait for the next run by spinning briefly, then sleeping.
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
//   run_open(body)        body(index, size()) on the caller and on the
//                         helpers that come in before the caller's own part
//                         has returned: the body shares the run's work out
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

namespace orv::rt {

// A pause inside a spin loop.
inline void cpu_pause() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

// How every thread of a team waits: it spins, pausing, for kSpinFor, then
// gives its core away at each look, sleeping on the word it waits for
// (whose writer notifies: publish()), or yielding where there is no one
// word to sleep on.  A sleep costs a wake-up of some microseconds; a yield
// in a long wait would hand the core to another process for a time slice.
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
    // The same for a wait with no word to sleep on: yields once it is long.
    void idle() {
        if (lasted()) std::this_thread::yield();
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

class Team {
public:
    // Parts a run may have at most; a team has at most half as many threads.
    static constexpr int kMaxParts = 256;

    // THREADS threads: the caller and THREADS - 1 helpers (fewer when the
    // first cannot be started: then size() is 1 and runs go on the caller).
    explicit Team(int threads);
    ~Team();
    Team(const Team&) = delete;
    Team& operator=(const Team&) = delete;

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
        start(Mode::kParts, parts, thunk<Body>, &body);
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
    // when the team has no helpers or not all of them could be started.
    // BODY must not throw.
    template <typename Body>
    bool run_together(Body& body) {
        if (helpers_ == 0 || !all_started()) return false;
        start(Mode::kTogether, size(), thunk<Body>, &body);
        return true;
    }

    // Runs body(index, size()) on the caller (index 0) and on the helpers
    // that come in before the caller's call has returned, and returns when
    // those have returned too.  BODY must not throw, and must do all of the
    // run's work whichever of the indices run it.
    template <typename Body>
    void run_open(Body& body) {
        if (helpers_ == 0) {
            const Part part(Mode::kOpen, 0, 1);
            body(0, 1);
            return;
        }
        start(Mode::kOpen, size(), thunk<Body>, &body);
    }

    // The part running on this thread waits until FLAG, which part ON
    // publishes, holds at least VALUE.  In a run() part ON must come before
    // the waiting part, in run_together() be another part of it; parts of
    // run_open() do not wait on one another.
    static void wait_for(int on, const std::atomic<int>& flag, int value);

    // For tests: helper HELPER (1 .. size()-1) of every team sleeps DELAY
    // at each handshake of a run: when it sees the run, before it claims a
    // part and before it reports one done.  A zero DELAY ends that.
    static void set_helper_delay(int helper, std::chrono::microseconds delay);

private:
    enum class Mode : std::uint32_t { kParts, kTogether, kOpen };

    // The part a thread runs, for the checks of wait_for(); nothing in
    // builds without the checks.
    struct Part {
#if ORV_TEAM_CHECKS
        Part(Mode mode, int part, int parts);
        ~Part();
        Part(const Part&) = delete;
        Part& operator=(const Part&) = delete;
#else
        Part(Mode, int, int) {}
#endif
    };

    template <typename Body>
    static void thunk(void* context, int k, int parts) {
        (*static_cast<Body*>(context))(k, parts);
    }

    void start(Mode mode, int parts, void (*body)(void*, int, int), void* context);
    bool all_started();
    // Claims part K for run ID: false when another thread has it.
    bool claim(int k, std::uint64_t id);
    // Thread INDEX runs the parts of run ID it can claim: its own first,
    // then any left by late threads.
    void work_on(std::uint64_t id, Mode mode, int parts, int index);
    void end_part(int parts);
    void serve(int index);

    int helpers_ = 0;
    // threads_[h] is helper h + 1, started by the caller.
    std::unique_ptr<std::thread[]> threads_;
    // Helpers that have started, plus kIncomplete once one could not be
    // started.
    static constexpr int kIncomplete = 1 << 20;
    std::atomic<int> started_{0};
    // The run's id in the upper 32 bits, its mode in bits 16..31 and its
    // number of parts in bits 0..15, stored once all else about the run is
    // in place.
    std::atomic<std::uint64_t> word_{0};
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

}  // namespace orv::rt
