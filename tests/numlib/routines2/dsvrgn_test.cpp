#include "numlib/routines2/dsvrgn.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <numeric>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "numlib/routines2/erset.h"
#include "runtime/io_error.h"
#include "runtime/units.h"
#include "num2_fixture.h"

namespace orv::num2 {
namespace {

class SortTest : public Num2Fixture {};

std::vector<double> pattern(int n, int kind, std::mt19937& gen) {
    std::vector<double> v(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        switch (kind) {
        case 0: v[i] = std::uniform_real_distribution<double>(-1.0, 1.0)(gen); break;
        case 1: v[i] = i; break;                                     // sorted
        case 2: v[i] = n - i; break;                                 // reverse
        case 3: v[i] = 4.25; break;                                  // all equal
        case 4: v[i] = static_cast<double>(gen() % 3) - 1.0; break;  // many ties
        default: v[i] = std::min(i, n - i); break;                   // organ pipe
        }
    }
    return v;
}

// Both routines agree with std::sort; DSVRGP's permutation maps RB back to
// RA and, for distinct values, is the unique sorting permutation.
TEST_F(SortTest, AgreesWithStdSortForEveryShape) {
    std::mt19937 gen(7);
    for (int n : {1, 2, 3, 10, 11, 12, 13, 24, 100, 1000}) {
        for (int kind = 0; kind < 6; ++kind) {
            SCOPED_TRACE(::testing::Message() << "n=" << n << " kind=" << kind);
            const std::vector<double> ra = pattern(n, kind, gen);
            std::vector<double> expected = ra;
            std::sort(expected.begin(), expected.end());

            std::vector<double> rb(ra.size(), -99.0);
            DSVRGN(n, ra, rb);
            EXPECT_EQ(rb, expected);

            std::vector<int> perm(ra.size());
            std::iota(perm.begin(), perm.end(), 1);
            std::vector<double> rb2(ra.size());
            DSVRGP(n, ra, rb2, perm);
            EXPECT_EQ(rb2, expected);
            for (int i = 0; i < n; ++i) ASSERT_EQ(rb2[i], ra[perm[i] - 1]);
            std::vector<int> sorted_perm = perm;
            std::sort(sorted_perm.begin(), sorted_perm.end());
            for (int i = 0; i < n; ++i) ASSERT_EQ(sorted_perm[i], i + 1);
            if (kind == 0 || kind == 1 || kind == 2) {
                std::vector<int> stable(ra.size());
                std::iota(stable.begin(), stable.end(), 1);
                std::stable_sort(stable.begin(), stable.end(), [&](int x, int y) { return ra[x - 1] < ra[y - 1]; });
                EXPECT_EQ(perm, stable);
            }
            if (kind == 3) {  // equal values never move
                for (int i = 0; i < n; ++i) ASSERT_EQ(perm[i], i + 1);
            }
        }
    }
    EXPECT_TRUE(host_.records.empty());
}

// The order of equal values is the method's own; the reference script runs
// the same steps independently.
TEST_F(SortTest, TiesComeOutInTheMethodsOrder) {
    std::ifstream in(std::string(ORV_TEST_DATA_DIR) + "/numlib/golden/dsvrgp_ties.txt");
    ASSERT_TRUE(in) << "golden file missing";
    int cases = 0;
    int n = 0;
    while (in >> n) {
        std::vector<double> ra(static_cast<std::size_t>(n));
        std::vector<int> expected(static_cast<std::size_t>(n));
        for (double& v : ra) in >> v;
        for (int& p : expected) in >> p;
        std::vector<int> perm(ra.size());
        std::iota(perm.begin(), perm.end(), 1);
        std::vector<double> rb = ra;  // sorted in place: RB is RA
        DSVRGP(n, rb, rb, perm);
        EXPECT_EQ(perm, expected) << "n=" << n;
        EXPECT_TRUE(std::is_sorted(rb.begin(), rb.end()));
        ++cases;
    }
    EXPECT_EQ(cases, 10);
}

// NaN defeats the comparisons the scans rely on; every length must still
// finish inside its arrays and move nothing but the data.
TEST_F(SortTest, NanDataStayInsideTheArrays) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // Guards that pull a runaway scan further out: +inf before, -inf after.
    const double before = std::numeric_limits<double>::infinity();
    const double after = -before;
    std::mt19937 gen(11);
    for (int n = 1; n <= 1000; ++n) {
        std::vector<double> ra(static_cast<std::size_t>(n));
        for (double& v : ra) {
            const unsigned c = gen() % 4;
            v = c == 0 ? nan : static_cast<double>(gen() % 5);
        }
        if (n % 7 == 0) std::fill(ra.begin(), ra.end(), nan);
        // One guard cell on each side of RB and IPERM.
        std::vector<double> rb(ra.size() + 2, before);
        rb.back() = after;
        std::vector<int> perm(ra.size() + 2, -7);
        std::iota(perm.begin() + 1, perm.end() - 1, 1);
        DSVRGP(n, ra, std::span<double>(rb).subspan(1, ra.size()), std::span<int>(perm).subspan(1, ra.size()));
        ASSERT_EQ(rb.front(), before);
        ASSERT_EQ(rb.back(), after);
        ASSERT_EQ(perm.front(), -7);
        ASSERT_EQ(perm.back(), -7);
        std::vector<bool> seen(ra.size(), false);
        for (int i = 1; i <= n; ++i) {
            const int p = perm[i];
            ASSERT_TRUE(p >= 1 && p <= n && !seen[p - 1]) << "n=" << n;
            seen[p - 1] = true;
            const double v = rb[i];
            ASSERT_TRUE(std::isnan(v) ? std::isnan(ra[p - 1]) : v == ra[p - 1]) << "n=" << n;
        }
        std::vector<double> rb2(ra.size() + 2, before);
        rb2[ra.size() + 1] = after;
        DSVRGN(n, ra, std::span<double>(rb2).subspan(1, ra.size()));
        ASSERT_EQ(rb2.front(), before);
        ASSERT_EQ(rb2.back(), after);
        ASSERT_EQ(std::count_if(rb2.begin(), rb2.end(), [](double v) { return std::isnan(v); }),
                  std::count_if(ra.begin(), ra.end(), [](double v) { return std::isnan(v); }));
    }
}

TEST_F(SortTest, LengthBelowOneIsATerminalError) {
    struct Case {
        bool with_perm;
        std::vector<std::string> records;
    } cases[] = {
        {false,
         {"", " *** TERMINAL ERROR 1 from DSVRGN.  N = 0.  The length of RA and RB, N, must",
          " ***          be greater than or equal to one."}},
        {true,
         {"", " *** TERMINAL ERROR 1 from DSVRGP.  The length of vectors RA, RB and IPERM",
          " ***          must be greater than or equal to one.  On input the length, N, ",
          " ***          is given as 0."}},
    };
    for (const Case& c : cases) {
        host_.records.clear();
        std::vector<double> ra{3.0}, rb{9.0};
        std::vector<int> perm{5};
        bool stopped = false;
        try {
            if (c.with_perm) {
                DSVRGP(0, ra, rb, perm);
            } else {
                DSVRGN(0, ra, rb);
            }
        } catch (const rt::Stop&) {
            stopped = true;
        }
        EXPECT_TRUE(stopped);
        EXPECT_EQ(host_.records, c.records);
        EXPECT_EQ(rb[0], 9.0);
        EXPECT_EQ(perm[0], 5);
        reset_error_machinery();
    }
}

TEST_F(SortTest, ShortArraysAreRefused) {
    std::vector<double> ra(5, 1.0), rb(4);
    std::vector<int> perm(5);
    EXPECT_THROW(DSVRGN(5, ra, rb), std::length_error);
    EXPECT_THROW(DSVRGP(5, ra, std::span<double>(ra), std::span<int>(perm).first(3)), std::length_error);
    EXPECT_THROW(DSVRGN(6, ra, std::span<double>(ra)), std::length_error);
}

}  // namespace
}  // namespace orv::num2
