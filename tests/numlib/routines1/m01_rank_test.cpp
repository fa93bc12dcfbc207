// Ranking by sorted keys on threads against M01DAF's linked runs: the same
// ranks, ties, signed zeros, infinities and NaNs included, on 1, 2, 3, 8
// and 17 threads; and the five-point summary of G01ALF bit for bit.
// CTest label: threads
#include "numlib/routines1/m01_rank.h"

#include <gtest/gtest.h>

#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "numlib/routines1/g01alf.h"
#include "numlib/routines1/m01daf.h"
#include "numlib/routines1/m01zaf.h"
#include "num1_fixture.h"
#include "process/thread_policy.h"

namespace orv::num1 {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
const int kThreads[] = {1, 2, 3, 8, 17};

class KeyRank : public Num1Fixture {
protected:
    void TearDown() override {
        proc::set(proc::Setting::kRankThreads, 0);
        proc::set(proc::Setting::kKeyRankSize, 0);
        Num1Fixture::TearDown();
    }

    // M01DAF's ranks from its linked runs alone.
    static std::vector<int> linked_ranks(const std::vector<double>& v, int m1, int m2, const char* order) {
        proc::set(proc::Setting::kKeyRankSize, INT_MAX);
        std::vector<int> irank(v.size(), -9);
        int ifail = 0;
        M01DAF(v, m1, m2, order, irank, ifail);
        proc::set(proc::Setting::kKeyRankSize, 0);
        EXPECT_EQ(ifail, 0);
        return irank;
    }
};

// Values with few distinct keys (so long runs of ties), both zeros, the
// infinities and, where asked, NaNs of either sign.
std::vector<double> tied_values(std::size_t n, unsigned seed, bool nans) {
    std::mt19937 gen(seed);
    const double pool[] = {-0.0, 0.0, 1.5, -1.5, 0.25, -kInf, kInf, 1e-300, -1e-300, 3.0};
    std::vector<double> v(n);
    for (double& e : v) {
        const unsigned pick = gen() % 12;
        if (pick < 10)
            e = pool[pick];
        else if (nans)
            e = pick == 10 ? std::nan("") : -std::nan("7");
        else
            e = std::ldexp(static_cast<double>(gen() % 5), -2);  // more ties: 0, .25, .5, .75, 1
    }
    return v;
}

std::vector<std::vector<double>> data_sets() {
    std::vector<std::vector<double>> sets;
    for (std::size_t n : {1, 2, 3, 7, 16, 17, 33, 1000, 4099, 65537}) {
        sets.push_back(tied_values(n, static_cast<unsigned>(n), false));
        sets.push_back(tied_values(n, static_cast<unsigned>(n) + 1, true));
        std::vector<double> distinct(n);
        std::mt19937_64 gen(n);
        std::normal_distribution<double> normal;
        for (double& e : distinct) e = normal(gen);
        sets.push_back(distinct);
        sets.push_back(std::vector<double>(n, -0.0));  // one tie over all
    }
    return sets;
}

TEST_F(KeyRank, RanksAndOrderAreTheLinkedRunsOnAnyThreads) {
    for (const auto& v : data_sets()) {
        const int n = static_cast<int>(v.size());
        for (const bool descending : {false, true}) {
            const std::vector<int> expected = linked_ranks(v, 1, n, descending ? "D" : "A");
            std::vector<int> order = expected;
            int ifail = 0;
            M01ZAF(order, 1, n, ifail);
            for (const int threads : kThreads) {
                SCOPED_TRACE("n " + std::to_string(n) + (descending ? " D" : " A") + " threads " +
                             std::to_string(threads));
                std::vector<int> ranks(v.size(), -9), visit(v.size(), -9);
                m01::key_rank(v, descending, 1, m01::Output::kRanks, ranks, threads);
                m01::key_rank(v, descending, 1, m01::Output::kOrder, visit, threads);
                EXPECT_EQ(ranks, expected);
                EXPECT_EQ(visit, order);
            }
        }
    }
}

// M01DAF itself takes the keys for a long section, ranks from M1 and leaves
// IRANK outside the section alone.
TEST_F(KeyRank, SectionOfM01DAFOnThreads) {
    const std::vector<double> v = tied_values(70000, 5, false);
    const int m1 = 3, m2 = 69990;
    for (const char* order : {"A", "d"}) {
        const std::vector<int> expected = linked_ranks(v, m1, m2, order);
        for (const int threads : kThreads) {
            SCOPED_TRACE(std::string(order) + " threads " + std::to_string(threads));
            proc::set(proc::Setting::kRankThreads, threads);
            std::vector<int> irank(v.size(), -9);
            int ifail = 0;
            M01DAF(v, m1, m2, order, irank, ifail);
            EXPECT_EQ(ifail, 0);
            EXPECT_EQ(irank, expected);
        }
    }
}

TEST_F(KeyRank, ThreadsFollowTheSettingAndTheWork) {
    proc::set(proc::Setting::kRankThreads, 8);
    EXPECT_EQ(m01::key_rank_threads(1000), 1);
    EXPECT_EQ(m01::key_rank_threads(500000), 8);
    proc::set(proc::Setting::kRankThreads, 1);
    EXPECT_EQ(m01::key_rank_threads(500000), 1);
    proc::set(proc::Setting::kKeyRankSize, 5);
    EXPECT_EQ(m01::key_rank_size(), 5);
    proc::set(proc::Setting::kKeyRankSize, 0);
    EXPECT_GT(m01::key_rank_size(), 5);
}

// The summary picks values out of the order: at a hinge or the median that
// falls among tied zeros, only the exact order gives the right sign.
TEST_F(KeyRank, FivePointSummaryBitForBit) {
    for (const std::size_t n : {5, 6, 9, 1001, 50000, 123457}) {
        std::vector<double> v = tied_values(n, static_cast<unsigned>(n) * 3, false);
        for (std::size_t k = 0; k < n; k += 3) v[k] = k % 2 ? -0.0 : 0.0;
        const int size = static_cast<int>(n);
        proc::set(proc::Setting::kKeyRankSize, INT_MAX);
        std::vector<int> linked_order(n);
        std::vector<double> linked(5);
        int ifail = 0;
        G01ALF(size, v, linked_order, linked, ifail);
        ASSERT_EQ(ifail, 0);
        proc::set(proc::Setting::kKeyRankSize, 2);
        for (const int threads : kThreads) {
            SCOPED_TRACE("n " + std::to_string(n) + " threads " + std::to_string(threads));
            proc::set(proc::Setting::kRankThreads, threads);
            std::vector<int> keyed_order(n);
            std::vector<double> keyed(5);
            G01ALF(size, v, keyed_order, keyed, ifail);
            EXPECT_EQ(ifail, 0);
            EXPECT_EQ(keyed_order, linked_order);
            for (int r = 0; r < 5; ++r)
                EXPECT_EQ(std::bit_cast<std::uint64_t>(keyed[r]), std::bit_cast<std::uint64_t>(linked[r])) << r;
        }
    }
}

TEST_F(KeyRank, ShortOutputIsRefused) {
    const std::vector<double> v{1, 2, 3};
    std::vector<int> out(2);
    EXPECT_THROW(m01::key_rank(v, false, 1, m01::Output::kRanks, out, 2), std::length_error);
}

}  // namespace
}  // namespace orv::num1
