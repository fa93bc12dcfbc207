// The worker pool and the parallel loop, both on the executor (team.h).  The
// ordered writer of formatted statements is built on them as well
// (runtime/ordered_writer.h).
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <functional>

#include "process/team.h"
#include "process/thread_policy.h"

namespace orv::proc {

// The team of a stage that runs many parallel loops, counted by its helpers:
// starting a thread costs about a tenth of a millisecond on some machines,
// so the stage starts its threads once.  A pool for THREADS threads has
// THREADS - 1 helpers, or fewer when the system starts no more; the calling
// thread is the last.
class WorkerPool : public Team {
public:
    explicit WorkerPool(int helpers) : Team(std::max(helpers, 0) + 1) {}
    ~WorkerPool();  // waits for a task started and not yet waited for

    int helpers() const { return size() - 1; }

    // Runs task(w) for w = 0 .. N-1 (N at most helpers()) on the helpers
    // while the caller goes on; wait() runs those no helper has taken yet
    // on the caller, returns when all are done and rethrows the first
    // exception a task threw.  Each start is paired with a wait.
    void start(int n, std::function<void(int)> task);
    void wait();

private:
    void end_task(int k);

    std::function<void(int)> task_;
    bool pending_ = false;
    std::atomic<bool> failed_{false};
    std::exception_ptr error_;  // the first, written by the thread that set failed_
};

// Runs body(k) for k = 0 .. COUNT-1 on the team's threads, the calling
// thread included, CHUNK iterations at a time.  The first exception thrown
// stops the handing out of further iterations and is rethrown once all
// have ended.
template <typename Body>
void parallel_for(Team& team, std::size_t count, Body body, std::size_t chunk = 1) {
    chunk = std::max<std::size_t>(chunk, 1);
    const std::size_t workers = std::min<std::size_t>(static_cast<std::size_t>(team.size()), (count + chunk - 1) / chunk);
    if (workers <= 1) {
        for (std::size_t k = 0; k < count; ++k) body(k);
        return;
    }
    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    std::exception_ptr error;  // written by the thread that set FAILED
    auto work = [&](int, int) {
        try {
            for (;;) {
                const std::size_t first = next.fetch_add(chunk);
                if (first >= count) return;
                const std::size_t last = std::min(count, first + chunk);
                for (std::size_t k = first; k < last; ++k) body(k);
            }
        } catch (...) {
            if (!failed.exchange(true)) error = std::current_exception();
            next = count;
        }
    };
    team.run_open(work, static_cast<int>(workers));
    if (error) std::rethrow_exception(error);
}

}  // namespace orv::proc
