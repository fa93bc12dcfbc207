// The recursive lock of the run-time's transfers: held as often as taken,
// one holder at a time under contention, and a wait with a limit that ends
// without the lock while another thread holds it and with it once that
// thread lets it go.
#include "process/recursive_lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace orv::proc {
namespace {

using Clock = std::chrono::steady_clock;

TEST(RecursiveLock, OneHolderAtATimeHoweverOftenItTakesTheLock) {
    RecursiveLock lock;
    long count = 0;  // not atomic: the lock orders every change
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int k = 0; k < 20000; ++k) {
                std::lock_guard<RecursiveLock> outer(lock);
                std::lock_guard<RecursiveLock> inner(lock);
                count = count + 1;
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(count, 80000);
}

TEST(RecursiveLock, ALimitedWaitEndsWithTheLockOnlyOnceTheHolderLetsItGo) {
    RecursiveLock lock;
    std::atomic<int> stage{0};  // 1: held (twice); 2: the waiter gave up
    std::thread holder([&] {
        lock.lock();
        lock.lock();
        stage = 1;
        stage.notify_all();
        for (int s = stage.load(); s != 2; s = stage.load()) stage.wait(s);
        lock.unlock();
        lock.unlock();
    });
    for (int s = stage.load(); s != 1; s = stage.load()) stage.wait(s);
    EXPECT_FALSE(lock.try_lock_until(Clock::now() + std::chrono::milliseconds(20)));
    stage = 2;
    stage.notify_all();
    // Whether the holder has let go yet or not, the wait gets the lock.
    EXPECT_TRUE(lock.try_lock_until(Clock::now() + std::chrono::seconds(60)));
    lock.unlock();
    holder.join();
}

}  // namespace
}  // namespace orv::proc
