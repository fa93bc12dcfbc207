// Sorting, ranking and permutation inversion: M01CAF, M01DAF, M01ZAF.
#include "numlib/routines1/m01caf.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <numeric>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "numlib/routines1/errexit.h"
#include "numlib/routines1/m01daf.h"
#include "numlib/routines1/m01zaf.h"
#include "runtime/io_error.h"
#include "runtime/units.h"
#include "num1_fixture.h"

namespace orv::num1 {
namespace {

class Sorting : public Num1Fixture {};

// Data sets with many ties, runs and lopsided partitions, of sizes around
// the insertion-pass threshold and the run limit of the ranking.
std::vector<std::vector<double>> data_sets() {
    std::vector<std::vector<double>> sets;
    std::mt19937 gen(20240601);
    for (int n : {2, 3, 9, 10, 11, 15, 16, 17, 31, 100, 257, 1000, 5000}) {
        std::vector<double> v(static_cast<std::size_t>(n));
        std::uniform_int_distribution<int> few(0, 4);
        for (double& e : v) e = (few(gen) - 2) * 0.5 * (gen() % 2 ? -1.0 : 1.0);  // ties, signed zeros
        sets.push_back(v);
        std::normal_distribution<double> normal;
        for (double& e : v) e = normal(gen);
        sets.push_back(v);
        std::iota(v.begin(), v.end(), 0.0);  // sorted
        sets.push_back(v);
        std::reverse(v.begin(), v.end());  // reversed
        sets.push_back(v);
        std::fill(v.begin(), v.end(), 3.25);  // all equal
        sets.push_back(v);
        for (std::size_t i = 0; i < v.size(); ++i) v[i] = (i % 2 ? -1.0 : 1.0) * static_cast<double>(i % 7);
        sets.push_back(v);  // saw tooth, signed zeros
        for (std::size_t i = 0; i < v.size(); ++i) v[i] = i < v.size() / 2 ? i : v.size() - i;
        sets.push_back(v);  // organ pipe
    }
    return sets;
}

TEST_F(Sorting, SortsAndRanksAgreeWithStableSort) {
    for (const auto& data : data_sets()) {
        const int n = static_cast<int>(data.size());
        for (const char* order : {"A", "D", "a", "d", "Descending"}) {
            SCOPED_TRACE(std::to_string(n) + " " + order);
            const bool down = order[0] == 'D' || order[0] == 'd';
            std::vector<int> index(data.size());
            std::iota(index.begin(), index.end(), 0);
            std::stable_sort(index.begin(), index.end(), [&](int a, int b) {
                return down ? data[a] > data[b] : data[a] < data[b];
            });
            // Stable ranks, counted from M1, for a section placed at M1 = 4.
            std::vector<double> rv(3, -99.0);
            rv.insert(rv.end(), data.begin(), data.end());
            rv.push_back(99.0);
            std::vector<int> irank(rv.size(), -7);
            int ifail = 0;
            M01DAF(rv, 4, n + 3, order, irank, ifail);
            EXPECT_EQ(ifail, 0);
            std::vector<int> expected(rv.size(), -7);
            for (int r = 0; r < n; ++r) expected[index[r] + 3] = r + 4;
            EXPECT_EQ(irank, expected);

            // The sorted values, with the elements outside the section kept.
            std::vector<double> sorted = rv;
            ifail = 0;
            M01CAF(sorted, 4, n + 3, order, ifail);
            EXPECT_EQ(ifail, 0);
            std::vector<double> want = rv;
            for (int r = 0; r < n; ++r) want[r + 3] = data[index[r]];
            EXPECT_EQ(sorted, want);

            // Ranks inverted give the order of visit: M01ZAF(ranks) pairs
            // with the sorted values.
            ifail = 0;
            M01ZAF(irank, 4, n + 3, ifail);
            EXPECT_EQ(ifail, 0);
            for (int r = 4; r <= n + 3; ++r) EXPECT_EQ(rv[irank[r - 1] - 1], sorted[r - 1]);
        }
    }
}

TEST_F(Sorting, SameInputSameSwaps) {
    // A median-of-three killer forces lopsided partitions and so random
    // pivots; its smallest keys are zeros of both signs, whose final places
    // show the swaps made.  The generator restarts at every call, so
    // repeated sorts agree bit for bit.
    const int k = 500;
    std::vector<double> v(2 * k);
    for (int i = 1; i <= k; ++i) {
        v[i - 1] = i % 2 ? i : k + i - 1;
        v[k + i - 1] = 2 * i;
    }
    for (std::size_t i = 0; i < v.size(); ++i)
        if (v[i] <= 50) v[i] = i % 2 ? -0.0 : 0.0;
    std::vector<double> a = v, b = v;
    int ifail = 0;
    M01CAF(a, 1, 2 * k, "A", ifail);
    M01CAF(b, 1, 2 * k, "A", ifail);
    EXPECT_TRUE(std::is_sorted(a.begin(), a.end()));
    for (std::size_t i = 0; i < a.size(); ++i) ASSERT_EQ(std::signbit(a[i]), std::signbit(b[i])) << i;
}

TEST_F(Sorting, ListedCases) {
    std::vector<double> v{3, 1, 2};
    int ifail = 0;
    M01CAF(v, 1, 3, "d", ifail);
    EXPECT_EQ(v, (std::vector<double>{3, 2, 1}));

    const std::vector<double> rv{5, 3, 5, 1};
    std::vector<int> irank(4);
    M01DAF(rv, 1, 4, "A", irank, ifail);
    EXPECT_EQ(irank, (std::vector<int>{3, 2, 4, 1}));
    M01DAF(rv, 1, 4, "D", irank, ifail);
    EXPECT_EQ(irank, (std::vector<int>{1, 3, 2, 4}));

    const std::vector<double> tail{0, 0, 9, 7, 8};
    std::vector<int> r5{-1, -1, 0, 0, 0};
    M01DAF(tail, 3, 5, "A", r5, ifail);
    EXPECT_EQ(r5, (std::vector<int>{-1, -1, 5, 3, 4}));
    // A one-element section ranks itself.
    M01DAF(tail, 2, 2, "A", r5, ifail);
    EXPECT_EQ(r5[1], 2);

    std::vector<int> p{3, 1, 2};
    M01ZAF(p, 1, 3, ifail);
    EXPECT_EQ(p, (std::vector<int>{2, 3, 1}));
    std::vector<int> q{7, 3, 5, 2, 4, 9};  // inverts M1 = 2 .. M2 = 5 only
    M01ZAF(q, 2, 5, ifail);
    EXPECT_EQ(q, (std::vector<int>{7, 4, 2, 5, 3, 9}));
    EXPECT_TRUE(host_.records.empty());
}

// The window records of failing calls with IFAIL = -1.
TEST_F(Sorting, ErrorRecords) {
    const std::string soft = " ** NUM soft failure - control returned";
    auto exit_line = [](const char* routine, int code) {
        return std::string(" ** ABNORMAL EXIT from NUM Library routine ") + routine + ": IFAIL =     " +
               std::to_string(code);
    };
    const std::string illegal = " ** On entry, one or more of the following parameter values is illegal";
    const std::string perm = " ** IPERM(M1:M2) does not contain a permutation of the integers M1 to M2";
    std::vector<double> rv{4, 3, 2};
    const std::vector<double> before = rv;
    std::vector<int> irank{-5, -5, -5};
    std::vector<int> ip;
    struct Run {
        std::function<int()> call;
        int ifail;
        std::vector<std::string> records;
    };
    int ifail = 0;
    const std::vector<Run> runs{
        {[&] { ifail = -1; M01CAF(rv, 0, 2, "A", ifail); return ifail; }, 1,
         {illegal, "    M1 =               0  M2 =               2", exit_line("M01CAF", 1), soft}},
        {[&] { ifail = -1; M01CAF(rv, 3, 2, "A", ifail); return ifail; }, 1,
         {illegal, "    M1 =               3  M2 =               2", exit_line("M01CAF", 1), soft}},
        {[&] { ifail = -1; M01CAF(rv, 1, 3, "x", ifail); return ifail; }, 2,
         {" ** On entry, ORDER has an illegal value: ORDER = x", exit_line("M01CAF", 2), soft}},
        {[&] { ifail = -1; M01DAF(rv, 0, 3, "A", irank, ifail); return ifail; }, 1,
         {illegal, "    M1 =               0  M2 =               3", exit_line("M01DAF", 1), soft}},
        {[&] { ifail = -1; M01DAF(rv, 1, 3, "Up", irank, ifail); return ifail; }, 2,
         {" ** On entry, ORDER has an illegal value: ORDER = U", exit_line("M01DAF", 2), soft}},
        {[&] { ifail = -1; M01DAF(rv, 1, 3, "", irank, ifail); return ifail; }, 2,
         {" ** On entry, ORDER has an illegal value: ORDER =", exit_line("M01DAF", 2), soft}},
        {[&] { ip = {1, 2}; ifail = -1; M01ZAF(ip, 0, 2, ifail); return ifail; }, 1,
         {illegal, "    M1 =               0  M2 =               2", exit_line("M01ZAF", 1), soft}},
        {[&] { ip = {1, 2}; ifail = -1; M01ZAF(ip, 2, -1, ifail); return ifail; }, 1,
         {illegal, "    M1 =               2  M2 =              -1", exit_line("M01ZAF", 1), soft}},
        {[&] { ip = {2, 2}; ifail = -1; M01ZAF(ip, 1, 2, ifail); return ifail; }, 3,
         {perm, "    IPERM contains a repeated value               2", exit_line("M01ZAF", 3), soft}},
        {[&] { ip = {3, 1, 3, 2}; ifail = -1; M01ZAF(ip, 1, 4, ifail); return ifail; }, 3,
         {perm, "    IPERM contains a repeated value               3", exit_line("M01ZAF", 3), soft}},
        {[&] { ip = {1, 4}; ifail = -1; M01ZAF(ip, 1, 2, ifail); return ifail; }, 2,
         {perm, "    IPERM(     2) contains an out-of-range value               4", exit_line("M01ZAF", 2), soft}},
        {[&] { ip = {2, 1, 0}; ifail = -1; M01ZAF(ip, 1, 3, ifail); return ifail; }, 2,
         {perm, "    IPERM(     3) contains an out-of-range value               0", exit_line("M01ZAF", 2), soft}},
    };
    for (std::size_t i = 0; i < runs.size(); ++i) {
        SCOPED_TRACE(i);
        host_.records.clear();
        EXPECT_EQ(runs[i].call(), runs[i].ifail);
        EXPECT_EQ(host_.records, runs[i].records);
    }
    // Sort and rank change nothing on an error.
    EXPECT_EQ(rv, before);
    EXPECT_EQ(irank, (std::vector<int>{-5, -5, -5}));

    // IFAIL = 1 is silent; IFAIL = 0 stops the run after the records.
    host_.records.clear();
    ifail = 1;
    M01CAF(rv, 1, 3, "Z", ifail);
    EXPECT_EQ(ifail, 2);
    EXPECT_TRUE(host_.records.empty());
    ifail = 0;
    EXPECT_THROW(M01DAF(rv, 2, 1, "A", irank, ifail), rt::Stop);
    EXPECT_EQ(host_.records.back(), " ** NUM hard failure - execution terminated");
}

TEST_F(Sorting, ShortArraysAreNeverReachedPast) {
    std::vector<double> storage{5, 4, 3, 2, 1, 0};
    std::vector<int> ranks(6, 0);
    int ifail = 0;
    // Spans shorter than M2 claims: refused before any element is touched.
    std::span<double> three(storage.data(), 3);
    EXPECT_THROW(M01CAF(three, 1, 4, "A", ifail), std::length_error);
    EXPECT_THROW(M01DAF(three, 2, 5, "A", ranks, ifail), std::length_error);
    EXPECT_THROW(M01DAF(storage, 1, 5, "A", std::span<int>(ranks.data(), 4), ifail), std::length_error);
    std::vector<int> perm{2, 1, 3, 4};
    EXPECT_THROW(M01ZAF(std::span<int>(perm.data(), 2), 1, 3, ifail), std::length_error);
    EXPECT_EQ(storage, (std::vector<double>{5, 4, 3, 2, 1, 0}));
    EXPECT_EQ(ranks, std::vector<int>(6, 0));
    EXPECT_EQ(perm, (std::vector<int>{2, 1, 3, 4}));
    // An illegal section is still reported as error 1 first.
    ifail = 1;
    M01CAF(std::span<double>(), 0, 4, "A", ifail);
    EXPECT_EQ(ifail, 1);
}

TEST_F(Sorting, NaNsStayInsideTheSectionAndSortAboveInfinity) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (int n : {5, 16, 40, 300}) {
        for (int stride : {1, 2, 7}) {
            SCOPED_TRACE(std::to_string(n) + "/" + std::to_string(stride));
            // Guard values around the section catch writes past it.
            std::vector<double> v{-1e300};
            std::vector<double> data;
            for (int i = 0; i < n; ++i) data.push_back(i % stride == 0 ? nan : (i % 2 ? -inf : 0.5 * (n - i)));
            v.insert(v.end(), data.begin(), data.end());
            v.push_back(1e300);
            int ifail = 0;
            std::vector<double> sorted = v;
            M01CAF(sorted, 2, n + 1, "A", ifail);
            EXPECT_EQ(sorted.front(), -1e300);
            EXPECT_EQ(sorted.back(), 1e300);
            const auto first_nan =
                std::find_if(sorted.begin() + 1, sorted.end() - 1, [](double e) { return std::isnan(e); });
            EXPECT_TRUE(std::is_sorted(sorted.begin() + 1, first_nan));
            EXPECT_TRUE(std::all_of(first_nan, sorted.end() - 1, [](double e) { return std::isnan(e); }));
            EXPECT_EQ(sorted.end() - 1 - first_nan, std::count_if(data.begin(), data.end(), [](double e) {
                          return std::isnan(e);
                      }));

            // Ranks: a permutation of M1..M2 with the NaNs first in
            // descending order, in index order.
            std::vector<int> irank(v.size(), -3);
            M01DAF(v, 2, n + 1, "D", irank, ifail);
            EXPECT_EQ(irank.front(), -3);
            EXPECT_EQ(irank.back(), -3);
            int rank = 2;
            for (int i = 2; i <= n + 1; ++i)
                if (std::isnan(v[i - 1])) {
                    EXPECT_EQ(irank[i - 1], rank++);
                }
            std::vector<int> ranks(irank.begin() + 1, irank.end() - 1);
            std::sort(ranks.begin(), ranks.end());
            std::vector<int> all(static_cast<std::size_t>(n));
            std::iota(all.begin(), all.end(), 2);
            EXPECT_EQ(ranks, all);
        }
    }
}

}  // namespace
}  // namespace orv::num1
