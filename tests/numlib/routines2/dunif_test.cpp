#include "numlib/routines2/dunif.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "numlib/routines2/dnordf.h"
#include "numlib/routines2/erset.h"
#include "numlib/routines2/umach.h"
#include "runtime/io_error.h"
#include "runtime/units.h"
#include "num2_fixture.h"

namespace orv::num2 {
namespace {

// The generator returns x times 1 / (2^31 - 1).
constexpr double kScale = 1.0 / 2147483647.0;
static_assert(kScale == 4.656612875245797e-10);

// The minimal-standard step computed directly in 64-bit arithmetic.
int next_state(int x) { return static_cast<int>(16807LL * x % 2147483647LL); }

int current_seed() {
    int s = 0;
    GETSED(s);
    return s;
}

class RandomNumbers : public Num2Fixture {};

TEST_F(RandomNumbers, MinimalStandardSequence) {
    SETSED(1);
    EXPECT_EQ(DUNIF(), 16807 * kScale);
    EXPECT_EQ(DUNIF(), 282475249 * kScale);
    EXPECT_EQ(current_seed(), 282475249);
    for (int i = 3; i <= 10000; ++i) {
        const double u = DUNIF();
        ASSERT_GT(u, 0.0);
        ASSERT_LT(u, 1.0);
    }
    EXPECT_EQ(current_seed(), 1043618065);
}

TEST_F(RandomNumbers, SeedRangeAndInvalidSeeds) {
    // Seeds at both ends of the range, stepped against 64-bit arithmetic.
    for (int seed : {1, 2, 127773, 127774, 123457, 2147483645, 2147483646}) {
        SCOPED_TRACE(seed);
        SETSED(seed);
        EXPECT_EQ(current_seed(), seed);
        int x = seed;
        for (int i = 0; i < 50; ++i) {
            x = next_state(x);
            ASSERT_EQ(DUNIF(), x * kScale);
        }
    }
    SETSED(2147483646);
    DUNIF();
    EXPECT_EQ(current_seed(), 2147483647 - 16807);

    // Out-of-range values leave a seed that was set alone.
    for (int bad : {2147483647, -5, -2147483647 - 1}) {
        SCOPED_TRACE(bad);
        SETSED(99);
        SETSED(bad);
        EXPECT_EQ(current_seed(), 99);
    }
    EXPECT_TRUE(host_.records.empty());
}

TEST_F(RandomNumbers, ClockSeed) {
    struct Case {
        int h, m, s, seed;
    } cases[] = {{0, 0, 0, 123457}, {0, 0, 1, 2}, {13, 45, 30, 134531}, {23, 59, 59, 235960}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.seed);
        reset_random_state();
        set_time_of_day_for_tests(c.h, c.m, c.s);
        int seed = 0;
        CLKSED(seed);
        EXPECT_EQ(seed, c.seed);
        // A first draw without a seed starts from the clock.
        EXPECT_EQ(DUNIF(), next_state(c.seed) * kScale);
    }
}

TEST_F(RandomNumbers, GetsedBeforeFirstDrawKeepsTheClockSeed) {
    set_time_of_day_for_tests(13, 45, 30);
    EXPECT_EQ(current_seed(), 134531);
    set_time_of_day_for_tests(9, 0, 0);  // the clock moves on; no reseeding
    EXPECT_EQ(DUNIF(), next_state(134531) * kScale);
}

// SETSED(0) takes the clock at once without fixing the seed, so a first draw
// before any other call takes the clock again.
TEST_F(RandomNumbers, SetsedZeroTakesTheClock) {
    set_time_of_day_for_tests(1, 2, 3);
    SETSED(0);
    set_time_of_day_for_tests(4, 5, 6);
    EXPECT_EQ(DUNIF(), next_state(40507) * kScale);

    SETSED(500);
    set_time_of_day_for_tests(7, 8, 9);
    SETSED(0);
    EXPECT_EQ(DUNIF(), next_state(70810) * kScale);
}

TEST_F(RandomNumbers, GeneratorNeverStuckAtZero) {
    // Marking the seed as set without giving one must not leave x = 0.
    set_time_of_day_for_tests(0, 0, 0);
    RNINIT(-1);
    const double u = DUNIF();
    EXPECT_GT(u, 0.0);
    EXPECT_EQ(u, next_state(123457) * kScale);
}

// The eigensolver saves the caller's seed, draws from 123457 and puts the
// seed back; the caller's stream must not notice.
TEST_F(RandomNumbers, SaveAndRestoreLeavesTheStreamUndisturbed) {
    set_time_of_day_for_tests(10, 11, 12);
    std::vector<double> plain(8), resumed(8), inner(5), inner_again(5);
    DRNNOA(3, plain);
    const int after_three = current_seed();
    DRNNOA(8, plain);

    reset_random_state();
    set_time_of_day_for_tests(10, 11, 12);
    DRNNOA(3, resumed);
    int saved = 0;
    GETSED(saved);
    EXPECT_EQ(saved, after_three);
    SETSED(123457);
    DRNNOA(5, inner);
    SETSED(saved);
    DRNNOA(8, resumed);
    EXPECT_EQ(resumed, plain);

    SETSED(123457);
    DRNNOA(5, inner_again);
    EXPECT_EQ(inner_again, inner);
}

TEST_F(RandomNumbers, SameSeedSameDeviates) {
    std::vector<double> a(2000), b(2000);
    SETSED(777);
    DRNNOA(2000, a);
    SETSED(777);
    DRNNOA(2000, b);
    EXPECT_EQ(a, b);
    SETSED(778);
    DRNNOA(2000, b);
    EXPECT_NE(a, b);
}

TEST_F(RandomNumbers, EachDeviateUsesAtLeastTwoUniforms) {
    for (int seed : {1, 42, 99999, 2147483646}) {
        SETSED(seed);
        std::vector<double> r(1);
        DRNNOA(1, r);
        const int after = current_seed();
        int x = seed;
        x = next_state(x);
        int steps = 1;
        while (x != after && steps < 1000) {
            x = next_state(x);
            ++steps;
        }
        EXPECT_GE(steps, 2) << seed;
        EXPECT_LT(steps, 1000) << seed;
    }
}

TEST_F(RandomNumbers, NormalDeviatesHaveTheNormalDistribution) {
    constexpr int n = 100000;
    std::vector<double> r(n);
    SETSED(20240601);
    DRNNOA(n, r);

    double sum = 0.0;
    for (double x : r) sum += x;
    const double mean = sum / n;
    double m2 = 0.0, m3 = 0.0, m4 = 0.0;
    for (double x : r) {
        const double d = x - mean;
        m2 += d * d;
        m3 += d * d * d;
        m4 += d * d * d * d;
    }
    m2 /= n;
    m3 /= n;
    m4 /= n;
    // Four standard errors each.
    EXPECT_LT(std::fabs(mean), 4.0 / std::sqrt(n));
    EXPECT_LT(std::fabs(m2 - 1.0), 4.0 * std::sqrt(2.0 / n));
    EXPECT_LT(std::fabs(m3 / std::pow(m2, 1.5)), 4.0 * std::sqrt(6.0 / n));
    EXPECT_LT(std::fabs(m4 / (m2 * m2) - 3.0), 4.0 * std::sqrt(24.0 / n));

    // Kolmogorov-Smirnov against Phi: sqrt(n) D below the 1% point 1.628.
    std::sort(r.begin(), r.end());
    double d = 0.0;
    for (int i = 0; i < n; ++i) {
        const double f = DNORDF(r[static_cast<std::size_t>(i)]);
        d = std::max({d, f - static_cast<double>(i) / n, static_cast<double>(i + 1) / n - f});
    }
    EXPECT_LT(std::sqrt(static_cast<double>(n)) * d, 1.628);

    // Both signs of the tail region are reached, and its share is right.
    const auto beyond = [&](double t) {
        return std::count_if(r.begin(), r.end(), [t](double x) { return std::fabs(x) > t; });
    };
    const double tail = static_cast<double>(beyond(2.216035867166471)) / n;  // 2 (1 - Phi(A))
    EXPECT_NEAR(tail, 2.0 * DNORDF(-2.216035867166471), 4.0 * std::sqrt(0.0267 / n));
    EXPECT_LT(r.front(), -3.5);
    EXPECT_GT(r.back(), 3.5);
}

TEST_F(RandomNumbers, DrnnoaRejectsACountBelowOne) {
    ERSET(0, 1, 0);
    std::vector<double> r{7.0, 8.0};
    DRNNOA(0, r);
    const std::vector<std::string> expected{
        "",
        " *** TERMINAL ERROR 1 from DRNNOA.  NR = 0.  NR must be greater than or equal",
        " ***          to 1.",
    };
    EXPECT_EQ(host_.records, expected);
    EXPECT_EQ(r, (std::vector<double>{7.0, 8.0}));
    EXPECT_EQ(N1RTY(1), 5);
    EXPECT_EQ(N1RCD(1), 1);

    // Under the default attributes the terminal error ends the run.
    reset_error_machinery();
    host_.records.clear();
    EXPECT_THROW(DRNNOA(-3, r), rt::Stop);
    ASSERT_EQ(host_.records.size(), 3u);
    EXPECT_EQ(host_.records[1], " *** TERMINAL ERROR 1 from DRNNOA.  NR = -3.  NR must be greater than or");
    EXPECT_EQ(host_.records[2], " ***          equal to 1.");
}

TEST_F(RandomNumbers, ShortOutputArrayIsRefused) {
    std::vector<double> r(3);
    SETSED(5);
    EXPECT_THROW(DRNNOA(4, r), std::length_error);
    EXPECT_EQ(current_seed(), 5);
}

}  // namespace
}  // namespace orv::num2
