// Work on several threads: loops on a kept pool of threads, and formatted
// statements written in order whatever the number of threads, also when a
// statement fails.
#include "runtime/parallel.h"

#include <gtest/gtest.h>

#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <numeric>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "runtime/format.h"
#include "runtime/units.h"
#include "support/files.h"

namespace orv::rt {
namespace {

namespace fs = std::filesystem;

constexpr int kUnit = 41;

class ParallelTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = (fs::temp_directory_path() / ("orv_parallel_" + std::to_string(::getpid()))).string();
        fs::create_directories(dir_);
    }
    void TearDown() override {
        rt::close_all_units();
        fs::remove_all(dir_);
    }
    std::string file() const { return dir_ + "/out.txt"; }
    std::string contents() const { return orv::testing::read_file(file()); }
    std::string dir_;
};

// Statement k: k % 4 records (none for some), of lengths that vary with k.
void statement(std::size_t k, HeldRecords& held) {
    static const rt::Format format = rt::parse_format("(I6,1X,A)");
    for (std::size_t r = 0; r < k % 4; ++r)
        write(held, format, static_cast<int>(k), std::string(k * 7 % 50 + r, 'x'));
}

std::string expected_text(std::size_t count, std::size_t failing = static_cast<std::size_t>(-1)) {
    HeldRecords held;
    for (std::size_t k = 0; k < count && k < failing; ++k) statement(k, held);
    return held.text;
}

TEST_F(ParallelTest, StatementsReachTheFileInOrderWhateverTheThreads) {
    for (std::size_t count : {0u, 1u, 2u, 5u, 130u, 5000u}) {
        for (int threads : {1, 2, 3, 8}) {
            SCOPED_TRACE("count " + std::to_string(count) + ", threads " + std::to_string(threads));
            rt::open_unit_or_fail(kUnit, file(), {rt::OpenStatus::Replace});
            write_in_order(kUnit, count, threads, statement);
            rt::close_unit(kUnit);
            EXPECT_EQ(contents(), expected_text(count));
        }
    }
    // One pool for several files in turn.
    WorkerPool pool(5);
    for (std::size_t count : {3000u, 17u, 2500u}) {
        rt::open_unit_or_fail(kUnit, file(), {rt::OpenStatus::Replace});
        write_in_order(pool, kUnit, count, statement);
        rt::close_unit(kUnit);
        EXPECT_EQ(contents(), expected_text(count));
    }
}

TEST_F(ParallelTest, FailingStatementEndsTheFileAfterTheStatementsBeforeIt) {
    // Statements 1203 and 3001 fail after writing one record; the file gets
    // everything before 1203 and its one record, and 1203's error comes out.
    auto failing = [](std::size_t k, HeldRecords& held) {
        statement(k, held);
        if (k == 1203 || k == 3001) {
            held.put_record("partial " + std::to_string(k));
            throw std::runtime_error("statement " + std::to_string(k));
        }
    };
    for (int threads : {1, 2, 8}) {
        SCOPED_TRACE(threads);
        rt::open_unit_or_fail(kUnit, file(), {rt::OpenStatus::Replace});
        try {
            write_in_order(kUnit, 4000, threads, failing);
            ADD_FAILURE() << "no error";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "statement 1203");
        }
        rt::close_unit(kUnit);
        HeldRecords held;
        statement(1203, held);
        EXPECT_EQ(contents(), expected_text(4000, 1203) + held.text + "partial 1203\n");
    }
}

TEST_F(ParallelTest, PoolRunsManyLoopsAndSurvivesAFailingOne) {
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

TEST_F(ParallelTest, PoolEndsOnlyAfterItsTask) {
    std::atomic<bool> done{false};
    {
        WorkerPool pool(2);
        pool.start(1, [&](int) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            done = true;
        });
    }
    EXPECT_TRUE(done.load());
}

TEST_F(ParallelTest, DefaultThreadsAreCappedByTheWorkButAGivenCountIsKept) {
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
TEST_F(ParallelTest, DefaultThreadsFollowTheAffinity) {
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
}  // namespace orv::rt
