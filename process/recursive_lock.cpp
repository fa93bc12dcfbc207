#include "process/recursive_lock.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include "process/team.h"

namespace orv::proc {
namespace {

int this_thread_id() {
    thread_local const int id = static_cast<int>(::gettid());
    return id;
}

// Sleeps while WORD holds VALUE, until woken or for at most the time left to
// DEADLINE (none: without limit).
void sleep_on(std::atomic<std::uint32_t>& word, std::uint32_t value,
              const std::chrono::steady_clock::time_point* deadline) {
    timespec limit{};
    if (deadline != nullptr) {
        const auto left = *deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero()) return;
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        limit.tv_sec = static_cast<time_t>(ns / 1000000000);
        limit.tv_nsec = static_cast<long>(ns % 1000000000);
    }
    ::syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&word), FUTEX_WAIT_PRIVATE, value,
              deadline != nullptr ? &limit : nullptr, nullptr, 0);
}

void wake_one(std::atomic<std::uint32_t>& word) {
    ::syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&word), FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0);
}

}  // namespace

static_assert(sizeof(std::atomic<std::uint32_t>) == sizeof(std::uint32_t) &&
              std::atomic<std::uint32_t>::is_always_lock_free);

bool RecursiveLock::acquire(const std::chrono::steady_clock::time_point* deadline) {
    const int self = this_thread_id();
    if (owner_.load(std::memory_order_relaxed) == self) {
        ++depth_;
        return true;
    }
    std::uint32_t c = 0;
    if (!state_.compare_exchange_strong(c, 1, std::memory_order_acquire, std::memory_order_relaxed)) {
        Waiting waiting;
        for (;;) {
            if (!waiting.lasted()) {
                c = 0;
                if (state_.compare_exchange_weak(c, 1, std::memory_order_acquire, std::memory_order_relaxed)) break;
                continue;
            }
            // Marked as having a sleeper, so that the holder wakes one;
            // taken that way too, since others may still sleep.
            if (state_.exchange(2, std::memory_order_acquire) == 0) break;
            if (deadline != nullptr && std::chrono::steady_clock::now() >= *deadline) return false;
            sleep_on(state_, 2, deadline);
        }
    }
    owner_.store(self, std::memory_order_relaxed);
    depth_ = 1;
    return true;
}

void RecursiveLock::unlock() {
    if (--depth_ > 0) return;
    owner_.store(0, std::memory_order_relaxed);
    if (state_.exchange(0, std::memory_order_release) == 2) wake_one(state_);
}

}  // namespace orv::proc
