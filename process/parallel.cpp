#include "process/parallel.h"

#include <sched.h>

#include <utility>

namespace orv::rt {

int usable_cpus() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

std::vector<int> helper_cpus(int helpers) {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (helpers <= 0 || sched_getaffinity(0, sizeof set, &set) != 0) return {};
    const int here = sched_getcpu();
    std::vector<int> after, before;
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
        if (!CPU_ISSET(cpu, &set) || cpu == here) continue;
        (cpu > here ? after : before).push_back(cpu);
    }
    after.insert(after.end(), before.begin(), before.end());
    if (static_cast<int>(after.size()) < helpers) return {};
    after.resize(static_cast<std::size_t>(helpers));
    return after;
}

bool keep_on_cpu(int cpu) {
    if (cpu < 0 || cpu >= CPU_SETSIZE) return false;
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(cpu, &set);
    return sched_setaffinity(0, sizeof set, &set) == 0;
}

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
