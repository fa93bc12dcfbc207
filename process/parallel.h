// Work spread over the cores: a pool of kept threads and a loop whose iterations are independent.  The ordered writer
// of formatted statements is built on it (runtime/ordered_writer.h).
#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "process/thread_policy.h"

namespace orv::rt {

// Threads kept for the parallel work of one stage.  Starting a thread
// costs about a tenth of a millisecond on some machines, so a stage that
// runs many parallel loops starts its threads once.  A pool for THREADS
// threads has THREADS - 1 helpers; the calling thread is the last.
class WorkerPool {
public:
    explicit WorkerPool(int helpers);
    ~WorkerPool();  // waits for a task still running, then ends the helpers
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    int helpers() const { return static_cast<int>(threads_.size()); }

    // Runs task(w) on the helpers w = 0 .. N-1 (N at most helpers()) while
    // the caller goes on; wait() returns when they are done and rethrows the
    // first exception a helper threw.  Each start is paired with a wait.
    void start(int n, std::function<void(int)> task);
    void wait();

private:
    void serve(int index);

    std::mutex lock_;
    std::condition_variable wake_;
    std::condition_variable done_;
    std::function<void(int)> task_;
    std::uint64_t generation_ = 0;  // one more at each start
    int active_ = 0;                // helpers given the current task
    int running_ = 0;               // of those, not yet done
    bool closing_ = false;
    std::exception_ptr error_;
    std::vector<std::thread> threads_;
};

// Runs body(k) for k = 0 .. COUNT-1 on the pool's helpers and the calling
// thread, CHUNK iterations at a time.  The first exception thrown stops the
// handing out of further iterations and is rethrown once all have ended.
template <typename Body>
void parallel_for(WorkerPool& pool, std::size_t count, Body body, std::size_t chunk = 1) {
    chunk = std::max<std::size_t>(chunk, 1);
    const std::size_t workers =
        std::min<std::size_t>(static_cast<std::size_t>(pool.helpers()) + 1, (count + chunk - 1) / chunk);
    if (workers <= 1) {
        for (std::size_t k = 0; k < count; ++k) body(k);
        return;
    }
    std::atomic<std::size_t> next{0};
    std::exception_ptr error;
    std::mutex error_lock;
    auto work = [&] {
        try {
            for (;;) {
                const std::size_t first = next.fetch_add(chunk);
                if (first >= count) return;
                const std::size_t last = std::min(count, first + chunk);
                for (std::size_t k = first; k < last; ++k) body(k);
            }
        } catch (...) {
            std::lock_guard<std::mutex> hold(error_lock);
            if (!error) error = std::current_exception();
            next = count;
        }
    };
    pool.start(static_cast<int>(workers - 1), [&](int) { work(); });
    work();
    pool.wait();
    if (error) std::rethrow_exception(error);
}

}  // namespace orv::rt
