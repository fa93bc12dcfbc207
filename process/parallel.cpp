#include "process/parallel.h"

#include <utility>

namespace orv::proc {

WorkerPool::~WorkerPool() {
    if (pending_) {
        try {
            wait();
        } catch (...) {
            // A task's error nobody waited for ends with the pool.
        }
    }
}

void WorkerPool::start(int n, std::function<void(int)> task) {
    n = std::clamp(n, 0, helpers());
    if (n == 0) return;
    task_ = std::move(task);
    failed_.store(false, std::memory_order_relaxed);
    error_ = nullptr;
    pending_ = true;
    // Part 0 is the caller's and holds no task; part w + 1 is task w.
    auto step = [](void* pool, int k, int) {
        if (k > 0) static_cast<WorkerPool*>(pool)->end_task(k - 1);
    };
    begin(Mode::kParts, n + 1, step, this);
}

void WorkerPool::end_task(int w) {
    try {
        task_(w);
    } catch (...) {
        if (!failed_.exchange(true)) error_ = std::current_exception();
    }
}

void WorkerPool::wait() {
    if (!pending_) return;
    pending_ = false;
    finish();
    if (failed_.load(std::memory_order_relaxed)) std::rethrow_exception(std::exchange(error_, nullptr));
}

}  // namespace orv::proc
