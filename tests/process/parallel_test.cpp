// Work on several threads: loops on a kept pool of threads, the default
// thread count and the placement of helpers on CPUs.
// CTest label: threads
#include "process/parallel.h"

#include <gtest/gtest.h>

#include <sched.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <numeric>
#include <stdexcept>
#include <thread>
#include <vector>

namespace orv::proc {
namespace {

TEST(ParallelTest, PoolRunsManyLoopsAndSurvivesAFailingOne) {
    WorkerPool pool(7);
    EXPECT_EQ(pool.helpers(), 7);
    std::vector<long> values(10000);
    for (int round = 0; round < 50; ++round) {
        parallel_for(pool, values.size(), [&](std::size_t k) { values[k] = static_cast<long>(k) * round; }, 16);
        ASSERT_EQ(std::accumulate(values.begin(), values.end(), 0L), 49995000L * round) << round;
    }

    std::atomic<int> ran{0};
    EXPECT_THROW(parallel_for(pool, 1000,
                              [&](std::size_t k) {
                                  ++ran;
                                  if (k == 10) throw std::logic_error("ten");
                              }),
                 std::logic_error);
    EXPECT_LT(ran.load(), 1000 + 8);  // the handing out stopped (at most one in hand per thread)

    // A loop of fewer iterations than threads, one of none, and a pool
    // without helpers: all run on what there is.
    std::vector<int> few(3, 0);
    parallel_for(pool, few.size(), [&](std::size_t k) { few[k] = static_cast<int>(k) + 1; });
    EXPECT_EQ(few, (std::vector<int>{1, 2, 3}));
    parallel_for(pool, 0, [&](std::size_t) { ADD_FAILURE(); });
    WorkerPool none(0);
    parallel_for(none, few.size(), [&](std::size_t k) { few[k] = -static_cast<int>(k); });
    EXPECT_EQ(few, (std::vector<int>{0, -1, -2}));

    // A helper's error comes out of wait(); the pool goes on.
    pool.start(3, [](int w) {
        if (w == 2) throw std::runtime_error("helper");
    });
    EXPECT_THROW(pool.wait(), std::runtime_error);
    pool.start(7, [&](int) { ++ran; });
    pool.wait();
}

// A task started and not waited for ends before its pool, whether its
// helper has taken it (held up at each handshake) or the pool's end runs it.
TEST(ParallelTest, PoolEndsOnlyAfterItsTask) {
    for (const int delayed : {0, 1}) {
        Team::set_helper_delay(delayed, std::chrono::microseconds(delayed == 0 ? 0 : 2000));
        std::atomic<bool> done{false};
        {
            WorkerPool pool(2);
            pool.start(1, [&](int) { done = true; });
        }
        Team::set_helper_delay(0, std::chrono::microseconds(0));
        EXPECT_TRUE(done.load());
    }
}

// Helpers that cannot be started: the loops, and the tasks started on the
// pool, are done by the threads there are, the caller alone included.
TEST(ParallelTest, PoolOfHelpersThatCannotStartDoesTheWorkWithTheOthers) {
    for (const int failing : {1, 2, 4}) {
        Team::set_failing_start(failing);
        WorkerPool pool(7);
        Team::set_failing_start(0);
        ASSERT_EQ(pool.helpers(), failing - 1);
        std::vector<long> values(5000, 0);
        parallel_for(pool, values.size(), [&](std::size_t k) { values[k] += static_cast<long>(k); }, 8);
        EXPECT_EQ(std::accumulate(values.begin(), values.end(), 0L), 12497500L) << failing;
        std::atomic<int> tasks{0};
        pool.start(7, [&](int) { ++tasks; });
        pool.wait();
        EXPECT_EQ(tasks.load(), pool.helpers()) << failing;
    }
}

TEST(ParallelTest, DefaultThreadsAreCappedByTheWorkButAGivenCountIsKept) {
    cpu_set_t set;
    CPU_ZERO(&set);
    ASSERT_EQ(sched_getaffinity(0, sizeof set, &set), 0);
    const int cores = CPU_COUNT(&set);
    EXPECT_EQ(thread_count(0), cores);
    EXPECT_EQ(thread_count(0, 0), 1);
    EXPECT_EQ(thread_count(0, 1), 1);
    EXPECT_EQ(thread_count(0, 2), std::min(2, cores));
    EXPECT_EQ(thread_count(0, 1000000), cores);
    EXPECT_EQ(thread_count(5, 1), 5);  // tests and callers that ask for threads get them
}

// The default follows the CPUs the process may use, not the machine's count:
// under a one-CPU affinity (as taskset -c 0 gives) it is one thread.
TEST(ParallelTest, DefaultThreadsFollowTheAffinity) {
    cpu_set_t all;
    CPU_ZERO(&all);
    ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
    int first = 0;
    while (!CPU_ISSET(first, &all)) ++first;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(first, &one);
    ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
    const int pinned = usable_cpus();
    const int threads = thread_count(0);
    ASSERT_EQ(sched_setaffinity(0, sizeof all, &all), 0);
    EXPECT_EQ(pinned, 1);
    EXPECT_EQ(threads, 1);
    EXPECT_EQ(usable_cpus(), CPU_COUNT(&all));
}

}  // namespace
}  // namespace orv::proc
