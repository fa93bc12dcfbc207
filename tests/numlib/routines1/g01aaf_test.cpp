#include "numlib/routines1/g01aaf.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "numlib/routines1/errexit.h"
#include "runtime/io_error.h"
#include "runtime/units.h"
#include "support/double_double.h"
#include "num1_fixture.h"

namespace orv::num1 {
namespace {

using orv::testing::DD;
using orv::testing::dd;

constexpr double kSentinel = -777.0;
constexpr double kU = 0x1.0p-53;

struct Moments {
    int ifail = 1, iwt = 0;
    std::vector<double> wt;
    double xmean = kSentinel, s2 = kSentinel, s3 = kSentinel, s4 = kSentinel;
    double xmin = kSentinel, xmax = kSentinel, wtsum = kSentinel;
};

Moments run(const std::vector<double>& x, int iwt, std::vector<double> wt, int ifail = 1) {
    Moments m;
    m.ifail = ifail;
    m.iwt = iwt;
    m.wt = std::move(wt);
    G01AAF(static_cast<int>(x.size()), x, m.iwt, m.wt, m.xmean, m.s2, m.s3, m.s4, m.xmin, m.xmax, m.wtsum, m.ifail);
    return m;
}

class G01AAFTest : public Num1Fixture {};

TEST_F(G01AAFTest, UnweightedOneToFour) {
    for (int iwt : {0, 2, -1}) {  // anything but 1 means unweighted
        const Moments m = run({1, 2, 3, 4}, iwt, {9, -9, 0, 5}, 0);
        EXPECT_EQ(m.ifail, 0);
        EXPECT_EQ(m.iwt, 4);
        EXPECT_EQ(m.wt, (std::vector<double>{1, 1, 1, 1}));
        EXPECT_EQ(m.xmean, 2.5);
        EXPECT_NEAR(m.s2, std::sqrt(5.0 / 3.0), 2 * kU);
        EXPECT_NEAR(m.s3, 0.0, 4 * kU);
        EXPECT_NEAR(m.s4, -1.77, 8 * kU);
        EXPECT_EQ(m.xmin, 1.0);
        EXPECT_EQ(m.xmax, 4.0);
        EXPECT_EQ(m.wtsum, 4.0);
    }
    EXPECT_TRUE(host_.records.empty());
}

TEST_F(G01AAFTest, ZeroWeightLeavesAValueOut) {
    const Moments m = run({1, 100, 3}, 1, {1, 0, 1}, 0);
    EXPECT_EQ(m.ifail, 0);
    EXPECT_EQ(m.iwt, 2);
    EXPECT_EQ(m.wt, (std::vector<double>{1, 0, 1}));
    EXPECT_EQ(m.xmean, 2.0);
    EXPECT_NEAR(m.s2, std::sqrt(2.0), 2 * kU);
    EXPECT_EQ(m.s3, 0.0);
    EXPECT_EQ(m.xmin, 1.0);
    EXPECT_EQ(m.xmax, 3.0);
    EXPECT_EQ(m.wtsum, 2.0);
}

TEST_F(G01AAFTest, FailuresAndWhatTheyLeave) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* what;
        std::vector<double> x;
        int iwt;
        std::vector<double> wt;
        int error, iwt_out;
        bool described;  // error 2: the outputs describe the one value used
        double value, weight;
    } cases[] = {
        {"no values", {}, 0, {}, 1, 0, false, 0, 0},
        {"no values, weighted", {}, 1, {}, 1, 0, false, 0, 0},
        {"one value", {4.25}, 0, {0}, 2, 1, true, 4.25, 1.0},
        {"one non-zero weight", {7, -2.5, 8}, 1, {0, 2.5, 0}, 2, 1, true, -2.5, 2.5},
        {"negative weight", {1, 2, 3}, 1, {1, -1, 1}, 3, 0, false, 0, 0},
        {"negative weight after zeros", {1, 2, 3}, 1, {0, 0, -0.5}, 3, 0, false, 0, 0},
        {"all weights zero", {1, 2, 3}, 1, {0, 0, 0}, 3, 0, false, 0, 0},
        {"undefined weight", {1, 2, 3}, 1, {1, nan, 1}, 3, 0, false, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (int entry : {1, -1}) {
            host_.records.clear();
            const Moments m = run(c.x, c.iwt, c.wt, entry);
            EXPECT_EQ(m.ifail, c.error);
            EXPECT_EQ(m.iwt, c.iwt_out);
            if (c.described) {
                EXPECT_EQ(m.xmean, c.value);
                EXPECT_EQ(m.xmin, c.value);
                EXPECT_EQ(m.xmax, c.value);
                EXPECT_EQ(m.wtsum, c.weight);
                EXPECT_EQ(m.s2, 0.0);
                EXPECT_EQ(m.s3, 0.0);
                EXPECT_EQ(m.s4, 0.0);
            } else {
                for (double v : {m.xmean, m.s2, m.s3, m.s4, m.xmin, m.xmax, m.wtsum}) EXPECT_EQ(v, kSentinel);
                if (c.iwt == 1) {
                    ASSERT_EQ(m.wt.size(), c.wt.size());
                    for (std::size_t i = 0; i < c.wt.size(); ++i)
                        EXPECT_TRUE(m.wt[i] == c.wt[i] || (std::isnan(m.wt[i]) && std::isnan(c.wt[i])));
                }
            }
            if (entry == 1) {
                EXPECT_TRUE(host_.records.empty());
            } else {
                EXPECT_EQ(host_.records, (std::vector<std::string>{
                                             " ** ABNORMAL EXIT from NUM Library routine G01AAF: IFAIL =     " +
                                                 std::to_string(c.error),
                                             " ** NUM soft failure - control returned"}));
            }
        }
    }
    EXPECT_THROW(run({1, 2}, 1, {-1, 1}, 0), rt::Stop);
}

TEST_F(G01AAFTest, ArraysShorterThanNAreRefused) {
    std::vector<double> x{1, 2, 3}, wt{1, 1};
    int iwt = 0, ifail = 0;
    double a, b, c, d, e, f, g;
    EXPECT_THROW(G01AAF(3, x, iwt, wt, a, b, c, d, e, f, g, ifail), std::length_error);
    EXPECT_EQ(wt, (std::vector<double>{1, 1}));
    EXPECT_THROW(G01AAF(4, x, iwt, std::span<double>(wt.data(), 2), a, b, c, d, e, f, g, ifail), std::length_error);
}

TEST_F(G01AAFTest, EqualValuesHaveNoSpread) {
    const Moments m = run(std::vector<double>(11, 0.1), 0, std::vector<double>(11), 0);
    EXPECT_EQ(m.ifail, 0);
    EXPECT_EQ(m.xmean, 0.1);
    EXPECT_EQ(m.s2, 0.0);
    EXPECT_EQ(m.s3, 0.0);
    EXPECT_EQ(m.s4, 0.0);
}

// Against the weighted moments computed in two passes in double-double
// arithmetic: mean, then the power sums M2, M3, M4 of the deviations;
// Q = W^2 - sum of squared weights, F1 = W / Q.
TEST_F(G01AAFTest, AgreesWithTwoPassDoubleDouble) {
    std::uint64_t s = 2463534242ull;
    auto uniform = [&] {
        s ^= s << 13, s ^= s >> 7, s ^= s << 17;
        return static_cast<double>(s >> 11) * 0x1.0p-53;
    };
    struct Sample {
        int n;
        bool weighted;
        double offset, spread, skew;
    } samples[] = {{2, false, 0, 1, 0},    {3, true, 5, 2, 1},   {10, false, -1, 1, 3},
                   {100, true, 1e3, 1, 2}, {1000, false, 0, 1e-5, 1}, {777, true, -40, 300, 4}};
    for (const Sample& sm : samples) {
        SCOPED_TRACE(::testing::Message() << "N=" << sm.n << " weighted=" << sm.weighted);
        std::vector<double> x(sm.n), wt(sm.n, 1.0);
        for (int i = 0; i < sm.n; ++i) {
            x[i] = sm.offset + sm.spread * std::pow(uniform(), 1.0 + sm.skew);
            if (sm.weighted) wt[i] = (i % 5 == 3) ? 0.0 : 0.25 + 3.0 * uniform();
        }
        const Moments m = run(x, sm.weighted ? 1 : 0, wt, 0);
        ASSERT_EQ(m.ifail, 0);

        DD w, wx, w2;
        int used = 0;
        double lo = INFINITY, hi = -INFINITY;
        for (int i = 0; i < sm.n; ++i) {
            if (wt[i] == 0.0) continue;
            ++used;
            w = w + dd(wt[i]);
            wx = wx + dd(wt[i]) * dd(x[i]);
            w2 = w2 + dd(wt[i]) * dd(wt[i]);
            lo = std::min(lo, x[i]);
            hi = std::max(hi, x[i]);
        }
        const DD mean = wx / w;
        DD m2, m3, m4;
        for (int i = 0; i < sm.n; ++i) {
            if (wt[i] == 0.0) continue;
            const DD d = dd(x[i]) - mean;
            const DD wd2 = dd(wt[i]) * d * d;
            m2 = m2 + wd2;
            m3 = m3 + wd2 * d;
            m4 = m4 + wd2 * d * d;
        }
        const DD f1 = w / (w * w - w2);
        const DD v = f1 * m2;
        const DD sd = orv::testing::sqrt(v);
        const double skewness = (f1 * m3 / (v * sd)).hi;
        const double kurtosis = (f1 * m4 / (v * v)).hi - 3.0;

        const double tol = 8.0 * (sm.n + 4) * kU;
        EXPECT_EQ(m.iwt, used);
        EXPECT_EQ(m.xmin, lo);
        EXPECT_EQ(m.xmax, hi);
        EXPECT_NEAR(m.wtsum, w.hi, tol * w.hi);
        EXPECT_NEAR(m.xmean, mean.hi, tol * (std::fabs(mean.hi) + (hi - lo)));
        EXPECT_NEAR(m.s2, sd.hi, tol * sd.hi);
        EXPECT_NEAR(m.s3, skewness, tol * (1.0 + std::fabs(skewness)));
        EXPECT_NEAR(m.s4, kurtosis, tol * (3.0 + std::fabs(kurtosis)));
    }
}

}  // namespace
}  // namespace orv::num1
