// The thread team: every part of a run once, whoever comes; parts that wait
// on lower parts, or on one another, with a helper held up at every
// handshake; open runs finished by whoever comes in; teams ending at any
// point of their helpers' start; and, in debug and sanitizer builds, waits
// against the rules stopped.
#include "process/team.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace orv::proc {
namespace {

using std::chrono::microseconds;

// Holds helper HELPER up at each handshake while in scope.
struct Delay {
    Delay(int helper, microseconds delay) { Team::set_helper_delay(helper, delay); }
    ~Delay() { Team::set_helper_delay(0, microseconds(0)); }
};

TEST(Team, EveryPartRunsOnceInEveryRun) {
    for (const int delayed : {0, 1, 7}) {
        const Delay delay(delayed, microseconds(delayed == 0 ? 0 : 50));
        Team team(8);
        ASSERT_EQ(team.size(), 8);
        for (int parts : {1, 2, 3, 7, 16, 100}) {
            std::vector<std::atomic<int>> count(static_cast<std::size_t>(parts));
            std::atomic<int> wrong_total{0};
            auto body = [&](int k, int n) {
                if (n != parts) ++wrong_total;
                ++count[static_cast<std::size_t>(k)];
            };
            const int runs = delayed == 0 ? 2000 : 200;
            for (int r = 0; r < runs; ++r) team.run(parts, body);
            EXPECT_EQ(wrong_total.load(), 0);
            for (int k = 0; k < parts; ++k)
                EXPECT_EQ(count[static_cast<std::size_t>(k)].load(), runs) << parts << " parts, part " << k;
        }
    }
}

// Items claimed one at a time: each is done once, by whichever threads
// come in, the caller included; and helpers do come in while the caller's
// part lasts.
TEST(Team, OpenRunsAreFinishedWhoeverComesIn) {
    for (int threads : {1, 2, 3, 8}) {
        for (const int delayed : {0, 1}) {
            const Delay delay(delayed, microseconds(delayed == 0 ? 0 : 50));
            Team team(threads);
            ASSERT_EQ(team.size(), threads);
            for (int run = 0; run < 200; ++run) {
                const int items = 1 + run % 37;
                std::atomic<int> next{0};
                std::vector<std::atomic<int>> done(static_cast<std::size_t>(items));
                std::atomic<bool> bad_index{false};
                auto body = [&](int index, int size) {
                    if (index < 0 || index >= size || size != threads) bad_index = true;
                    for (int k; (k = next.fetch_add(1)) < items;) ++done[static_cast<std::size_t>(k)];
                };
                team.run_open(body);
                EXPECT_FALSE(bad_index.load());
                for (int k = 0; k < items; ++k) EXPECT_EQ(done[static_cast<std::size_t>(k)].load(), 1);
            }
            if (threads == 1) continue;
            std::atomic<bool> helped{false};
            auto body = [&](int index, int) {
                if (index > 0) helped = true;
                const auto start = std::chrono::steady_clock::now();
                while (index == 0 && !helped && std::chrono::steady_clock::now() - start < std::chrono::seconds(20)) {
                }
            };
            team.run_open(body);
            EXPECT_TRUE(helped.load()) << threads << " threads";
        }
    }
}

// Helpers may start after the team has run or even after it has ended.
TEST(Team, TeamsEndWhateverTheirHelpersHaveSeen) {
    std::atomic<int> done{0};
    auto body = [&](int, int) { ++done; };
    for (int k = 0; k < 200; ++k) {
        { Team unused(8); }
        Team once(8);
        once.run(4, body);
        Team open(8);
        open.run_open(body);
    }
    EXPECT_GE(done.load(), 200 * 5);
}

// Each part of a chain waits on the one before it and then adds its
// number: the sum comes out in part order whoever took which part, with
// more parts than threads and a helper held up.
TEST(Team, PartsWaitOnLowerParts) {
    for (const int delayed : {0, 1, 2}) {
        const Delay delay(delayed, microseconds(delayed == 0 ? 0 : 100));
        Team team(3);
        for (int parts : {2, 3, 6}) {
            for (int run = 0; run < 100; ++run) {
                std::vector<std::atomic<int>> finished(static_cast<std::size_t>(parts));
                std::vector<int> order;
                auto body = [&](int k, int) {
                    if (k > 0) Team::wait_for(k - 1, finished[static_cast<std::size_t>(k - 1)], 1);
                    order.push_back(k);
                    publish(finished[static_cast<std::size_t>(k)], 1);
                };
                team.run(parts, body);
                std::vector<int> want(static_cast<std::size_t>(parts));
                for (int k = 0; k < parts; ++k) want[static_cast<std::size_t>(k)] = k;
                ASSERT_EQ(order, want) << parts << " parts, helper " << delayed << " held up";
            }
        }
    }
}

// Parts of a run together wait on one another: each waits until every
// part has started, so only parts running at the same time get through.
TEST(Team, TogetherEveryPartHasAThreadOfItsOwn) {
    for (int threads : {2, 3, 8}) {
        for (const int delayed : {0, 1}) {
            const Delay delay(delayed, microseconds(delayed == 0 ? 0 : 100));
            Team team(threads);
            for (int run = 0; run < 50; ++run) {
                std::vector<std::atomic<int>> started(static_cast<std::size_t>(threads));
                std::vector<int> seen(static_cast<std::size_t>(threads), 0);
                auto body = [&](int k, int n) {
                    publish(started[static_cast<std::size_t>(k)], 1);
                    for (int other = 0; other < n; ++other) {
                        if (other != k) Team::wait_for(other, started[static_cast<std::size_t>(other)], 1);
                    }
                    seen[static_cast<std::size_t>(k)] += 1;
                };
                ASSERT_TRUE(team.run_together(body));
                EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), threads);
            }
        }
    }
    Team alone(1);
    auto nothing = [](int, int) {};
    EXPECT_FALSE(alone.run_together(nothing));
}

// Helpers that cannot be started (from the first on, from the third, or the
// last alone): the team is the threads that run, and every kind of run
// comes out as it would on a full team; a chain of parts more than the
// threads, each waiting on the one before, ends too.
TEST(Team, HelpersThatCannotStartLeaveATeamOfTheOthers) {
    for (const int failing : {1, 3, 7}) {
        SCOPED_TRACE(failing);
        Team::set_failing_start(failing);
        Team team(8);
        Team::set_failing_start(0);
        ASSERT_EQ(team.size(), failing);
        for (int run = 0; run < 50; ++run) {
            std::vector<std::atomic<int>> finished(12);
            std::vector<int> order;
            auto chain = [&](int k, int) {
                if (k > 0) Team::wait_for(k - 1, finished[static_cast<std::size_t>(k - 1)], 1);
                order.push_back(k);
                publish(finished[static_cast<std::size_t>(k)], 1);
            };
            team.run(12, chain);
            ASSERT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));

            std::vector<std::atomic<int>> started(static_cast<std::size_t>(team.size()));
            std::atomic<int> ran{0};
            auto together = [&](int k, int n) {
                publish(started[static_cast<std::size_t>(k)], 1);
                for (int other = 0; other < n; ++other) {
                    if (other != k) Team::wait_for(other, started[static_cast<std::size_t>(other)], 1);
                }
                ++ran;
            };
            EXPECT_EQ(team.run_together(together), team.size() > 1);
            EXPECT_EQ(ran.load(), team.size() > 1 ? team.size() : 0);

            std::atomic<int> next{0}, items{0};
            auto open = [&](int index, int n) {
                if (index >= n || n > team.size()) ADD_FAILURE() << index << " of " << n;
                while (next.fetch_add(1) < 100) ++items;
            };
            team.run_open(open);
            EXPECT_EQ(items.load(), 100);
        }
    }
}

// A part that runs a team of its own (a parallel loop inside it) is still
// that part when the inner run has ended, and may wait as its run allows.
TEST(Team, APartKeepsItsRulesAfterAnInnerTeamsRun) {
    Team outer(2);
    for (int run = 0; run < 20; ++run) {
        std::atomic<int> first{0}, inner_items{0};
        auto body = [&](int k, int) {
            if (k == 0) {
                publish(first, 1);
                return;
            }
            Team inner(2);
            auto count = [&](int, int) { ++inner_items; };
            inner.run_open(count);
            Team::wait_for(0, first, 1);
        };
        outer.run(2, body);
        EXPECT_GE(inner_items.load(), 1);
    }
}

// A part of a run that waits on a later part, a part that waits on
// itself, and a part of an open run that waits at all could hang: debug
// and sanitizer builds stop there, naming the parts.
TEST(TeamDeathTest, WaitsAgainstTheRulesStop) {
    if (!ORV_TEAM_CHECKS) GTEST_SKIP() << "the rules are checked in debug and sanitizer builds";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    std::atomic<int> flag{0};
    EXPECT_DEATH(
        {
            Team team(2);
            auto body = [&](int k, int) {
                if (k == 0) Team::wait_for(1, flag, 1);
            };
            team.run(2, body);
        },
        "part 0 of a run waits on the later part 1");
    EXPECT_DEATH(
        {
            Team team(2);
            auto body = [&](int k, int) { Team::wait_for(k, flag, 1); };
            team.run_together(body);
        },
        "part [01] waits on part [01]");
    EXPECT_DEATH(
        {
            Team team(2);
            auto body = [&](int k, int) { Team::wait_for(1 - k, flag, 1); };
            team.run_open(body);
        },
        "part [01] of an open run waits on part [01]");
    EXPECT_DEATH(Team::wait_for(0, flag, 1), "outside a run");
}

}  // namespace
}  // namespace orv::proc
