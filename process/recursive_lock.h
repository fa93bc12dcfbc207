// A recursive lock whose waiters follow the executor's wait policy
// (team.h): they spin for Waiting::kSpinFor, then sleep until the holder
// lets the lock go, or until a deadline.  For the run-time's transfers,
// which a stop from outside waits for with a limit.  Made of atomics, so
// that ThreadSanitizer sees what it orders.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

namespace orv::proc {

class RecursiveLock {
public:
    RecursiveLock() = default;
    RecursiveLock(const RecursiveLock&) = delete;
    RecursiveLock& operator=(const RecursiveLock&) = delete;

    void lock() { (void)acquire(nullptr); }
    // False, and the lock not taken, when another thread still held it at
    // DEADLINE.
    bool try_lock_until(std::chrono::steady_clock::time_point deadline) { return acquire(&deadline); }
    // Lets the lock go once as many unlocks as locks have come.
    void unlock();

private:
    bool acquire(const std::chrono::steady_clock::time_point* deadline);

    // 0 free, 1 held, 2 held with a thread that may sleep on it.
    std::atomic<std::uint32_t> state_{0};
    // The holder (its kernel thread id), read by others only to see that
    // they are not it; and how many locks it holds.
    std::atomic<int> owner_{0};
    int depth_ = 0;
};

}  // namespace orv::proc
