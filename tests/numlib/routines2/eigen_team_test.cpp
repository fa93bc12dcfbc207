// The eigen routines' team of threads, and the routines that use it: the
// same bits with the row-ordered loops on one thread and with the
// column-ordered loops on 1, 3 and 8 threads (the Hessenberg reduction on
// 2 as well), taken at every order where they can run, on general and
// symmetric matrices of orders 1, 2, 3, 50, 161 and 500; the benchmark's
// order 1000 is run through the whole job.
// CTest label: threads
#include "numlib/routines2/eigen_team.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <complex>
#include <cstdint>
#include <thread>
#include <vector>

#include "numlib/routines2/devesf.h"
#include "numlib/routines2/devlrg.h"
#include "eigen_threads.h"
#include "process/parallel.h"
#include "process/team.h"
#include "process/thread_policy.h"

namespace orv::num2 {
namespace {

// A window alone, a window on the team, then a stretch the faster way, and
// the comparison again.
TEST(EigenTeam, PaceGivesTheStretchToTheFasterWay) {
    for (const double team_time : {0.5, 0.95, 2.0}) {
        team::Pace pace;
        for (int round = 0; round < 2; ++round) {
            for (int k = 0; k < team::Pace::kWindow; ++k) {
                ASSERT_TRUE(pace.alone());
                pace.record(1.0);
            }
            for (int k = 0; k < team::Pace::kWindow; ++k) {
                ASSERT_FALSE(pace.alone());
                pace.record(team_time);
            }
            // The team must beat nine tenths of the time alone.
            const bool alone = team_time > 0.9;
            for (int k = 0; k < team::Pace::kStretchRuns; ++k) {
                ASSERT_EQ(pace.alone(), alone) << team_time << ", run " << k;
                pace.record(alone ? 1.0 : team_time);
            }
        }
    }
}

// A team trusted from the start takes its first run on the team, where
// the pace would have taken it alone.
TEST(EigenTeam, TrustedTeamTakesItsFirstRunOnTheTeam) {
    for (bool trusted : {false, true}) {
        team::Team crew(2);
        if (trusted) crew.trust_team();
        const std::thread::id caller = std::this_thread::get_id();
        std::atomic<bool> helped{false};
        auto body = [&](int k, int) {
            if (std::this_thread::get_id() != caller) helped = true;
            if (k != 0) return;
            // The caller's part waits a while for the helper to take the other.
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(trusted ? 120 : 0);
            while (!helped && std::chrono::steady_clock::now() < until) std::this_thread::yield();
        };
        crew.run(2, body);
        EXPECT_EQ(helped.load(), trusted);
    }
}

TEST(EigenTeam, PartsCoverTheRangeInOrder) {
    for (bool triangle : {false, true}) {
        for (int len : {0, 1, 2, 5, 64, 999}) {
            for (int parts : {1, 2, 3, 8, 16}) {
                int next = 10;
                std::int64_t heaviest = 0;
                for (int k = 0; k < parts; ++k) {
                    const team::Range r = team::part(10, 9 + len, k, parts, triangle);
                    if (r.first > r.last) continue;
                    EXPECT_EQ(r.first, next) << len << " " << parts << " " << triangle;
                    std::int64_t work = 0;
                    for (int i = r.first; i <= r.last; ++i) work += triangle ? 10 + len - i : 1;
                    heaviest = std::max(heaviest, work);
                    next = r.last + 1;
                }
                EXPECT_EQ(next, 10 + len);
                // No part carries much more than its share.
                const std::int64_t total = triangle ? static_cast<std::int64_t>(len) * (len + 1) / 2 : len;
                EXPECT_LE(heaviest, total / parts + len + 1) << len << " " << parts << " " << triangle;
            }
        }
    }
}

// A general matrix with complex eigenvalues: random entries plus a skew part.
std::vector<double> general_matrix(int n, std::uint64_t seed) {
    std::vector<double> a(static_cast<std::size_t>(n) * n);
    for (double& v : a) v = static_cast<double>(next_random(seed)) * 0x1.0p-53 - 0.5;
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < j; ++i) {
            a[static_cast<std::size_t>(i) + static_cast<std::size_t>(j) * n] += 0.3;
            a[static_cast<std::size_t>(j) + static_cast<std::size_t>(i) * n] -= 0.3;
        }
    }
    return a;
}

std::vector<std::complex<double>> general_values(int n, const std::vector<double>& a, int threads) {
    proc::set(proc::Setting::kEigenThreads, threads);
    std::vector<std::complex<double>> eval(static_cast<std::size_t>(n));
    DEVLRG(n, a, n, eval);
    return eval;
}

const int kOrders[] = {1, 2, 3, 50, 161, 500};

TEST_F(EigenThreads, GeneralEigenvaluesHaveTheSameBitsOnOneAndEightThreads) {
    for (int n : kOrders) {
        for (const std::vector<double>& a : {general_matrix(n, 7), correlation_matrix(n, 11)}) {
            proc::set(proc::Setting::kEigenOrder, kNever);
            const auto plain = general_values(n, a, 1);
            proc::set(proc::Setting::kEigenOrder, 2);
            for (int threads : {1, 3, 8}) {
                EXPECT_TRUE(same_bits(plain, general_values(n, a, threads))) << "order " << n << ", " << threads;
            }
            EXPECT_EQ(LSTERR(), 0) << "order " << n;
        }
    }
    // The complex pairs of the general matrix were met.
    const auto values = general_values(50, general_matrix(50, 7), 8);
    EXPECT_TRUE(std::any_of(values.begin(), values.end(), [](const auto& v) { return v.imag() != 0.0; }));
}

// The reduced matrix, its multipliers and the pivot rows.
struct Reduced {
    std::vector<double> a;
    std::vector<int> pivots;
};

Reduced hessenberg_form(int n, const std::vector<double>& a, int threads) {
    proc::set(proc::Setting::kEigenThreads, threads);
    Reduced out{a, std::vector<int>(static_cast<std::size_t>(n))};
    std::vector<double> scale(static_cast<std::size_t>(n));
    int low = 0, igh = 0;
    DE9CRG(n, low, igh, out.a, n, scale);
    DE4LRG(n, n, low, igh, out.a, out.pivots);
    return out;
}

TEST_F(EigenThreads, HessenbergReductionHasTheSameBitsOnEveryTeam) {
    for (int n : {3, 50, 161, 500}) {
        for (const std::vector<double>& a : {general_matrix(n, 5), correlation_matrix(n, 19)}) {
            proc::set(proc::Setting::kEigenOrder, kNever);
            const Reduced plain = hessenberg_form(n, a, 1);
            proc::set(proc::Setting::kEigenOrder, 2);
            for (int threads : {1, 2, 3, 8}) {
                const Reduced r = hessenberg_form(n, a, threads);
                EXPECT_TRUE(same_bits(plain.a, r.a)) << "order " << n << ", " << threads;
                EXPECT_EQ(plain.pivots, r.pivots) << "order " << n << ", " << threads;
            }
            // Rows were exchanged: the pivoting paths ran.
            int exchanged = 0;
            for (int i = 0; i < n; ++i) exchanged += plain.pivots[static_cast<std::size_t>(i)] != i + 1;
            if (n > 3) {
                EXPECT_GT(exchanged, 0);
            }
        }
    }
}

struct Pairs {
    std::vector<double> eval, evec, a;
};

Pairs symmetric_pairs(int n, int nevec, const std::vector<double>& r, int threads) {
    proc::set(proc::Setting::kEigenThreads, threads);
    Pairs p{std::vector<double>(static_cast<std::size_t>(nevec)), std::vector<double>(static_cast<std::size_t>(n) * nevec), r};
    // The upper triangle is not read; a changed copy shows that.
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < j; ++i) p.a[static_cast<std::size_t>(i) + static_cast<std::size_t>(j) * n] *= 0.5;
    }
    DEVESF(n, nevec, p.a, n, false, p.eval, p.evec, n);
    return p;
}

TEST_F(EigenThreads, SymmetricEigenpairsHaveTheSameBitsOnOneAndEightThreads) {
    for (int n : kOrders) {
        const std::vector<double> r = correlation_matrix(n, 13);
        for (int nevec : {1, std::min(n, 10), n}) {
            proc::set(proc::Setting::kEigenOrder, kNever);
            const Pairs one = symmetric_pairs(n, nevec, r, 1);
            proc::set(proc::Setting::kEigenOrder, 2);
            const Pairs eight = symmetric_pairs(n, nevec, r, 8);
            EXPECT_TRUE(same_bits(one.eval, eight.eval)) << "order " << n << ", " << nevec << " pairs";
            EXPECT_TRUE(same_bits(one.evec, eight.evec)) << "order " << n << ", " << nevec << " pairs";
            EXPECT_TRUE(same_bits(one.a, eight.a)) << "order " << n << ", " << nevec << " pairs";
        }
    }
}

// A helper held up at every handshake of its team (seeing a run, claiming
// a part, reporting it done): the others take its parts or wait for it;
// helpers that cannot be started (from the first on, or the last alone):
// the team is the threads that run.  The results keep their bits.
TEST_F(EigenThreads, HelpersHeldUpOrNotStartedLeaveTheBitsAlone) {
    const int n = 300;
    const std::vector<double> a = general_matrix(n, 3);
    const std::vector<double> r = correlation_matrix(n, 23);
    proc::set(proc::Setting::kEigenOrder, kNever);
    const auto values = general_values(n, a, 1);
    const Reduced reduced = hessenberg_form(n, a, 1);
    const Pairs pairs = symmetric_pairs(n, 5, r, 1);
    proc::set(proc::Setting::kEigenOrder, 2);
    for (int threads : {3, 8}) {
        for (int helper : {1, threads - 1}) {
            proc::Team::set_helper_delay(helper, std::chrono::microseconds(50));
            const auto v = general_values(n, a, threads);
            const Reduced h = hessenberg_form(n, a, threads);
            const Pairs p = symmetric_pairs(n, 5, r, threads);
            proc::Team::set_helper_delay(0, std::chrono::microseconds(0));
            EXPECT_TRUE(same_bits(values, v)) << threads << " threads, helper " << helper;
            EXPECT_TRUE(same_bits(reduced.a, h.a)) << threads << " threads, helper " << helper;
            EXPECT_TRUE(same_bits(pairs.eval, p.eval)) << threads << " threads, helper " << helper;
            EXPECT_TRUE(same_bits(pairs.evec, p.evec)) << threads << " threads, helper " << helper;
            proc::Team::set_failing_start(helper);
            const auto fv = general_values(n, a, threads);
            const Reduced fh = hessenberg_form(n, a, threads);
            const Pairs fp = symmetric_pairs(n, 5, r, threads);
            proc::Team::set_failing_start(0);
            EXPECT_TRUE(same_bits(values, fv)) << threads << " threads, from helper " << helper << " on";
            EXPECT_TRUE(same_bits(reduced.a, fh.a)) << threads << " threads, from helper " << helper << " on";
            EXPECT_TRUE(same_bits(pairs.eval, fp.eval)) << threads << " threads, from helper " << helper << " on";
            EXPECT_TRUE(same_bits(pairs.evec, fp.evec)) << threads << " threads, from helper " << helper << " on";
        }
    }
}

// The default order keeps small matrices on the sequential loops, and the
// threaded loops agree with them there too.
TEST_F(EigenThreads, DefaultOrderAndForcedThreadsAgree) {
    const int n = 600;
    const std::vector<double> r = correlation_matrix(n, 17);
    proc::set(proc::Setting::kEigenThreads, 8);
    EXPECT_EQ(eigen_team_size(n, 64), 1);  // below the default order: the one-thread loops
    const auto by_default = general_values(n, r, 8);
    const Pairs pairs_default = symmetric_pairs(n, 5, r, 8);
    proc::set(proc::Setting::kEigenOrder, 2);
    EXPECT_TRUE(same_bits(by_default, general_values(n, r, 8)));
    const Pairs forced = symmetric_pairs(n, 5, r, 8);
    EXPECT_TRUE(same_bits(pairs_default.evec, forced.evec));
    EXPECT_TRUE(same_bits(pairs_default.eval, forced.eval));
}

}  // namespace
}  // namespace orv::num2
