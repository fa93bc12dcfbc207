#include "numlib/routines1/g01alf.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <stdexcept>
#include <string>
#include <vector>

#include "numlib/routines1/errexit.h"
#include "runtime/io_error.h"
#include "runtime/units.h"
#include "num1_fixture.h"

namespace orv::num1 {
namespace {

struct Summary {
    int ifail;
    std::vector<int> iwrk;
    std::vector<double> res;
};

Summary run(const std::vector<double>& x, int ifail = 0) {
    Summary s{ifail, std::vector<int>(x.size(), -5), std::vector<double>(5, -777.0)};
    G01ALF(static_cast<int>(x.size()), x, s.iwrk, s.res, s.ifail);
    return s;
}

// Tukey's five-number summary, from depths: the median has depth
// (n + 1) / 2, the hinges depth (floor(median depth) + 1) / 2 counted from
// either end; a depth ending in one half averages its two neighbours.
std::vector<double> tukey(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const double n = static_cast<double>(v.size());
    auto at_depth_from_below = [&](double depth) {
        const auto lo = static_cast<std::size_t>(std::floor(depth)), hi = static_cast<std::size_t>(std::ceil(depth));
        return (v[lo - 1] + v[hi - 1]) / 2;
    };
    auto at_depth_from_above = [&](double depth) { return at_depth_from_below(n + 1 - depth); };
    const double median_depth = (n + 1) / 2;
    const double hinge_depth = (std::floor(median_depth) + 1) / 2;
    return {v.front(), at_depth_from_below(hinge_depth), at_depth_from_below(median_depth),
            at_depth_from_above(hinge_depth), v.back()};
}

class G01ALFTest : public Num1Fixture {};

TEST_F(G01ALFTest, SmallSamples) {
    struct Case {
        std::vector<double> x, res;
        std::vector<int> order;
    } cases[] = {
        {{3, 5, 1, 4, 2}, {1, 2, 3, 4, 5}, {3, 5, 1, 4, 2}},
        {{6, 1, 5, 2, 4, 3}, {1, 2, 3.5, 5, 6}, {2, 4, 6, 5, 3, 1}},
        {{1, 2, 3, 4, 5, 6, 7}, {1, 2.5, 4, 5.5, 7}, {1, 2, 3, 4, 5, 6, 7}},
        {{2, 1, 2, 1, 2}, {1, 1, 2, 2, 2}, {2, 4, 1, 3, 5}},
    };
    for (const Case& c : cases) {
        const Summary s = run(c.x);
        EXPECT_EQ(s.ifail, 0);
        EXPECT_EQ(s.res, c.res);
        EXPECT_EQ(s.iwrk, c.order);
    }
    EXPECT_TRUE(host_.records.empty());
}

TEST_F(G01ALFTest, HingesAreTukeysForEveryLength) {
    std::uint64_t state = 0x2545F4914F6CDD1Dull;
    auto next = [&] {
        state ^= state << 13, state ^= state >> 7, state ^= state << 17;
        return state >> 11;
    };
    for (int n = 5; n <= 120; ++n) {
        for (int levels : {3, 10, 1 << 30}) {  // many ties, some ties, hardly any
            SCOPED_TRACE(::testing::Message() << "N=" << n << " levels=" << levels);
            std::vector<double> x(n);
            for (double& v : x) v = static_cast<double>(next() % levels) * 0.37 - 1.0;
            const std::vector<double> copy = x;
            const Summary s = run(x);
            ASSERT_EQ(s.ifail, 0);
            EXPECT_EQ(x, copy);
            EXPECT_EQ(s.res, tukey(x));
            // IWRK visits the values in ascending order, equal ones by index.
            std::vector<int> order(n);
            std::iota(order.begin(), order.end(), 1);
            std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return x[a - 1] < x[b - 1]; });
            EXPECT_EQ(s.iwrk, order);
        }
    }
}

TEST_F(G01ALFTest, FewerThanFiveValues) {
    for (int n : {4, 0, -3}) {
        SCOPED_TRACE(n);
        const std::vector<double> x(4, 1.0);
        std::vector<int> iwrk(4, -5);
        std::vector<double> res(5, -777.0);
        int ifail = -1;
        G01ALF(n, x, iwrk, res, ifail);
        EXPECT_EQ(ifail, 1);
        EXPECT_EQ(iwrk, std::vector<int>(4, -5));
        EXPECT_EQ(res, std::vector<double>(5, -777.0));
        std::string number = std::to_string(n);
        EXPECT_EQ(host_.records, (std::vector<std::string>{
                                     " ** On entry N.lt.5 : N = " + std::string(16 - number.size(), ' ') + number,
                                     " ** ABNORMAL EXIT from NUM Library routine G01ALF: IFAIL =     1",
                                     " ** NUM soft failure - control returned"}));
        host_.records.clear();
        ifail = 1;
        G01ALF(n, x, iwrk, res, ifail);
        EXPECT_EQ(ifail, 1);
        EXPECT_TRUE(host_.records.empty());
    }
    EXPECT_THROW(run({1, 2, 3, 4}, 0), rt::Stop);
}

TEST_F(G01ALFTest, ArraysTooShortAreRefused) {
    const std::vector<double> x{5, 4, 3, 2, 1, 0};
    std::vector<int> iwrk(6), short_iwrk(5);
    std::vector<double> res(5), short_res(4);
    int ifail = 0;
    EXPECT_THROW(G01ALF(7, x, std::span<int>(iwrk), res, ifail), std::length_error);
    EXPECT_THROW(G01ALF(6, x, short_iwrk, res, ifail), std::length_error);
    EXPECT_THROW(G01ALF(6, x, iwrk, short_res, ifail), std::length_error);
}

}  // namespace
}  // namespace orv::num1
