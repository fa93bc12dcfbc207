#include "process/parallel.h"

#include <utility>

namespace orv::rt {

WorkerPool::WorkerPool(int helpers) {
    threads_.reserve(static_cast<std::size_t>(std::max(helpers, 0)));
    try {
        for (int i = 0; i < helpers; ++i) threads_.emplace_back([this, i] { serve(i); });
    } catch (...) {
        {
            std::lock_guard<std::mutex> hold(lock_);
            closing_ = true;
        }
        wake_.notify_all();
        for (auto& thread : threads_) thread.join();
        throw;
    }
}

WorkerPool::~WorkerPool() {
    {
        std::unique_lock<std::mutex> hold(lock_);
        done_.wait(hold, [this] { return running_ == 0; });
        closing_ = true;
    }
    wake_.notify_all();
    for (auto& thread : threads_) thread.join();
}

void WorkerPool::start(int n, std::function<void(int)> task) {
    {
        std::lock_guard<std::mutex> hold(lock_);
        task_ = std::move(task);
        active_ = std::clamp(n, 0, helpers());
        running_ = active_;
        error_ = nullptr;
        ++generation_;
    }
    if (active_ > 0) wake_.notify_all();
}

void WorkerPool::wait() {
    std::exception_ptr error;
    {
        std::unique_lock<std::mutex> hold(lock_);
        done_.wait(hold, [this] { return running_ == 0; });
        error = std::exchange(error_, nullptr);
    }
    if (error) std::rethrow_exception(error);
}

void WorkerPool::serve(int index) {
    std::uint64_t seen = 0;
    for (;;) {
        {
            std::unique_lock<std::mutex> hold(lock_);
            wake_.wait(hold, [&] { return closing_ || generation_ != seen; });
            if (closing_) return;
            seen = generation_;
            if (index >= active_) continue;
        }
        // The task is only read while this helper is counted as running.
        try {
            task_(index);
        } catch (...) {
            std::lock_guard<std::mutex> hold(lock_);
            if (!error_) error_ = std::current_exception();
        }
        std::lock_guard<std::mutex> hold(lock_);
        if (--running_ == 0) done_.notify_all();
    }
}

}  // namespace orv::rt
