// CTest label: threads
#include "numlib/routines1/g02baf.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
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
constexpr double kU = 0x1.0p-53;  // unit roundoff

struct Xorshift {
    std::uint64_t s;
    double uniform() {  // [0, 1)
        s ^= s << 13, s ^= s >> 7, s ^= s << 17;
        return static_cast<double>(s >> 11) * 0x1.0p-53;
    }
};

struct Result {
    int ifail;
    std::vector<double> xbar, sd, ssp, r;
};

Result run(int n, int m, const std::vector<double>& x, int ldx, int ldssp, int ldr, int ifail = 1) {
    const int mm = m < 1 ? 1 : m;
    Result res{ifail, std::vector<double>(mm, kSentinel), std::vector<double>(mm, kSentinel),
               std::vector<double>(static_cast<std::size_t>(ldssp < 1 ? 1 : ldssp) * mm, kSentinel),
               std::vector<double>(static_cast<std::size_t>(ldr < 1 ? 1 : ldr) * mm, kSentinel)};
    G02BAF(n, m, x, ldx, res.xbar, res.sd, res.ssp, ldssp, res.r, ldr, res.ifail);
    return res;
}

double ulp(double v) {
    v = std::fabs(v);
    return std::nextafter(v, INFINITY) - v;
}

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

class G02BAFTest : public Num1Fixture {};

TEST_F(G02BAFTest, ArgumentErrorsComputeNothing) {
    struct Case {
        int n, m, ldx, ldssp, ldr, error;
    } cases[] = {
        {1, 1, 1, 1, 1, 1}, {1, 5, 5, 5, 5, 1}, {0, 3, 3, 3, 3, 1}, {-4, 3, 3, 3, 3, 1},
        {2, 1, 2, 1, 1, 2}, {9, 0, 9, 3, 3, 2}, {5, 3, 4, 3, 3, 3}, {5, 3, 5, 2, 3, 3},
        {5, 3, 5, 3, 2, 3}, {2, 2, 1, 1, 1, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "N=" << c.n << " M=" << c.m);
        const std::vector<double> x(64, 1.5);
        Result silent = run(c.n, c.m, x, c.ldx, c.ldssp, c.ldr, 1);
        EXPECT_EQ(silent.ifail, c.error);
        EXPECT_TRUE(host_.records.empty());
        for (const auto* v : {&silent.xbar, &silent.sd, &silent.ssp, &silent.r})
            for (double e : *v) EXPECT_EQ(e, kSentinel);

        Result noisy = run(c.n, c.m, x, c.ldx, c.ldssp, c.ldr, -1);
        EXPECT_EQ(noisy.ifail, c.error);
        EXPECT_EQ(host_.records,
                  (std::vector<std::string>{
                      " ** ABNORMAL EXIT from NUM Library routine G02BAF: IFAIL =     " + std::to_string(c.error),
                      " ** NUM soft failure - control returned"}));
        host_.records.clear();
    }
    const std::vector<double> x(4, 1.0);
    EXPECT_THROW(run(1, 1, x, 1, 1, 1, 0), rt::Stop);
}

TEST_F(G02BAFTest, ArraysTooShortAreRefusedUntouched) {
    const int n = 6, m = 3, ld = 4;
    const std::vector<double> full(static_cast<std::size_t>(n) * m, 2.0);
    for (int which = 0; which < 5; ++which) {
        SCOPED_TRACE(which);
        std::vector<double> x = full, xbar(m, kSentinel), sd(m, kSentinel);
        std::vector<double> ssp(ld * (m - 1) + m, kSentinel), r(ld * (m - 1) + m, kSentinel);
        std::vector<double>* arrays[] = {&x, &xbar, &sd, &ssp, &r};
        arrays[which]->pop_back();
        int ifail = 0;
        EXPECT_THROW(G02BAF(n, m, x, n, xbar, sd, ssp, ld, r, ld, ifail), std::length_error);
        for (const auto* v : {&xbar, &sd, &ssp, &r})
            for (double e : *v) EXPECT_EQ(e, kSentinel);
    }
}

// Means, cross-products, deviations and correlations in the order of
// operations the results are defined by: every sum a plain running sum in
// observation order.  The routine's blocked, paired loops must give the same
// bits for every shape, and write nothing into the padding rows.
TEST_F(G02BAFTest, BitForBitThePlainRunningSums) {
    Xorshift rng{0x9E3779B97F4A7C15ull};
    struct Shape {
        int n, m, padx, pads, padr;
    } shapes[] = {{2, 2, 0, 0, 0},     {3, 5, 1, 2, 0},      {127, 4, 0, 0, 3},  {128, 9, 2, 1, 1},
                  {129, 8, 0, 3, 0},   {300, 13, 5, 0, 2},   {1000, 17, 0, 1, 0}, {257, 3, 0, 0, 0},
                  {40, 30, 0, 0, 0}};
    for (const Shape& s : shapes) {
        SCOPED_TRACE(::testing::Message() << "N=" << s.n << " M=" << s.m);
        const int ldx = s.n + s.padx, lds = s.m + s.pads, ldr = s.m + s.padr;
        std::vector<double> x(static_cast<std::size_t>(ldx) * s.m, kSentinel);
        for (int j = 0; j < s.m; ++j)
            for (int i = 0; i < s.n; ++i) x[i + j * ldx] = 10.0 * j + (rng.uniform() - 0.3) * (j + 1);
        const Result got = run(s.n, s.m, x, ldx, lds, ldr, 0);
        ASSERT_EQ(got.ifail, 0);

        auto X = [&](int i, int j) { return x[(i - 1) + (j - 1) * ldx]; };
        std::vector<double> mean(s.m + 1), root(s.m + 1), ssp(static_cast<std::size_t>(s.m + 1) * (s.m + 1));
        auto S = [&](int k, int j) -> double& { return ssp[k + j * (s.m + 1)]; };
        for (int j = 1; j <= s.m; ++j) {
            double sum = 0.0;
            for (int i = 1; i <= s.n; ++i) sum = sum + X(i, j);
            mean[j] = sum / s.n;
            for (int k = 1; k <= j; ++k) {
                double cross = 0.0;
                for (int i = 1; i <= s.n; ++i) cross = cross + (X(i, j) - mean[j]) * (X(i, k) - mean[k]);
                S(k, j) = S(j, k) = cross;
            }
        }
        for (int j = 1; j <= s.m; ++j) {
            root[j] = S(j, j) > 0.0 ? std::sqrt(S(j, j)) : 0.0;
            EXPECT_TRUE(same_bits(got.xbar[j - 1], mean[j])) << j;
            EXPECT_TRUE(same_bits(got.sd[j - 1], root[j] / std::sqrt(s.n - 1.0))) << j;
        }
        for (int j = 1; j <= s.m; ++j) {
            for (int k = 1; k <= s.m; ++k) {
                const double scale = root[j] * root[k];
                const double r = scale > 0.0 ? S(j, k) / scale : 0.0;
                ASSERT_TRUE(same_bits(got.ssp[(k - 1) + (j - 1) * lds], S(k, j))) << k << "," << j;
                ASSERT_TRUE(same_bits(got.r[(k - 1) + (j - 1) * ldr], r)) << k << "," << j;
            }
            for (int pad = s.m; pad < lds; ++pad) EXPECT_EQ(got.ssp[pad + (j - 1) * lds], kSentinel);
            for (int pad = s.m; pad < ldr; ++pad) EXPECT_EQ(got.r[pad + (j - 1) * ldr], kSentinel);
        }
    }
}

// Against a two-pass computation in double-double arithmetic, within the
// rounding-error bounds of running sums of N terms.
TEST_F(G02BAFTest, AgreesWithTwoPassDoubleDouble) {
    Xorshift rng{12345};
    struct Data {
        int n, m;
        double offset, spread;
    } sets[] = {{5, 4, 0.0, 1.0}, {50, 6, 100.0, 1.0}, {400, 5, -3.0, 1e-3}, {2, 3, 1e6, 7.0}, {999, 7, 0.5, 1e4}};
    for (const Data& d : sets) {
        SCOPED_TRACE(::testing::Message() << "N=" << d.n << " offset=" << d.offset);
        std::vector<double> x(static_cast<std::size_t>(d.n) * d.m);
        // Columns share a common part so that the correlations are far from 0.
        std::vector<double> common(d.n);
        for (double& c : common) c = rng.uniform();
        for (int j = 0; j < d.m; ++j)
            for (int i = 0; i < d.n; ++i)
                x[i + j * d.n] = d.offset + d.spread * (common[i] * (j % 3 - 1) + rng.uniform());
        const Result got = run(d.n, d.m, x, d.n, d.m, d.m, 0);
        ASSERT_EQ(got.ifail, 0);

        std::vector<DD> mean(d.m);
        std::vector<std::vector<DD>> dev(d.m, std::vector<DD>(d.n));
        for (int j = 0; j < d.m; ++j) {
            DD sum;
            double abs_sum = 0.0;
            for (int i = 0; i < d.n; ++i) sum = sum + dd(x[i + j * d.n]), abs_sum += std::fabs(x[i + j * d.n]);
            mean[j] = sum / dd(d.n);
            for (int i = 0; i < d.n; ++i) dev[j][i] = dd(x[i + j * d.n]) - mean[j];
            EXPECT_NEAR(got.xbar[j], mean[j].hi, (d.n + 1) * kU * abs_sum / d.n) << j;
            if (d.n <= 10) {
                EXPECT_LE(std::fabs(got.xbar[j] - mean[j].hi), 4 * ulp(mean[j].hi)) << j;
            }
        }
        auto cross = [&](int j, int k, double& abs_sum) {
            DD sum;
            abs_sum = 0.0;
            for (int i = 0; i < d.n; ++i) {
                const DD p = dev[j][i] * dev[k][i];
                sum = sum + p;
                abs_sum += std::fabs(p.hi);
            }
            return sum;
        };
        double unused;
        for (int j = 0; j < d.m; ++j) {
            const DD ssjj = cross(j, j, unused);
            const double sd = orv::testing::sqrt(ssjj / dd(d.n - 1.0)).hi;
            EXPECT_NEAR(got.sd[j], sd, ((d.n + 4) / 2.0 + 3) * kU * sd) << j;
            for (int k = 0; k < d.m; ++k) {
                double abs_sum;
                const DD ss = cross(j, k, abs_sum);
                const double r = (ss / orv::testing::sqrt(ssjj * cross(k, k, unused))).hi;
                EXPECT_NEAR(got.ssp[k + j * d.m], ss.hi, (d.n + 4) * kU * abs_sum) << k << "," << j;
                EXPECT_NEAR(got.r[k + j * d.m], r, (2 * d.n + 12) * kU) << k << "," << j;
                // Few terms: within a few units in the last place.
                if (d.n <= 10) {
                    EXPECT_LE(std::fabs(got.ssp[k + j * d.m] - ss.hi), 4 * ulp(abs_sum)) << k << "," << j;
                    EXPECT_LE(std::fabs(got.r[k + j * d.m] - r), 4 * ulp(std::max(std::fabs(r), 0.5)));
                }
            }
        }
    }
}

TEST_F(G02BAFTest, EqualNegatedAndConstantColumns) {
    Xorshift rng{777};
    for (int n : {2, 3, 7, 130}) {
        SCOPED_TRACE(n);
        const int m = 5;
        std::vector<double> x(static_cast<std::size_t>(n) * m);
        for (int i = 0; i < n; ++i) {
            x[i] = rng.uniform() * 3.0 + 0.1;  // column 1
            x[i + n] = x[i];                   // 2: the same
            x[i + 2 * n] = -x[i];              // 3: negated
            x[i + 3 * n] = 0.1;                // 4: constant, mean not exact in binary
            x[i + 4 * n] = rng.uniform();      // 5
        }
        const Result got = run(n, m, x, n, m, m, 0);
        ASSERT_EQ(got.ifail, 0);
        auto R = [&](int i, int j) { return got.r[(i - 1) + (j - 1) * m]; };
        auto S = [&](int i, int j) { return got.ssp[(i - 1) + (j - 1) * m]; };
        // A variable correlates 1 with itself to the last bit, and equally
        // with a copy of itself; -1 with its negative.
        for (int j : {1, 2, 3, 5}) EXPECT_LE(std::fabs(R(j, j) - 1.0), 0x1.0p-52) << j;
        EXPECT_EQ(R(1, 2), R(1, 1));
        EXPECT_EQ(R(2, 1), R(1, 1));
        EXPECT_EQ(R(1, 3), -R(1, 1));
        EXPECT_EQ(S(1, 3), -S(1, 1));
        // The constant variable: its mean is still the sum over N, but it has
        // no deviations, so no variance and no correlation with anything.
        double sum = 0.0;
        for (int i = 0; i < n; ++i) sum += 0.1;
        EXPECT_EQ(got.xbar[3], sum / n);
        EXPECT_EQ(got.sd[3], 0.0);
        for (int k = 1; k <= m; ++k) {
            EXPECT_EQ(S(4, k), 0.0) << k;
            EXPECT_EQ(S(k, 4), 0.0) << k;
            EXPECT_EQ(R(4, k), 0.0) << k;
            EXPECT_EQ(R(k, 4), 0.0) << k;
        }
        EXPECT_GT(got.sd[4], 0.0);
    }
}

TEST_F(G02BAFTest, DiagonalIsOneToTheLastBitForAnyVariance) {
    Xorshift rng{4242};
    for (int trial = 0; trial < 2000; ++trial) {
        std::vector<double> x(6);
        const double scale = std::ldexp(1.0, static_cast<int>(rng.uniform() * 200) - 100);
        for (double& v : x) v = scale * rng.uniform();
        const Result got = run(3, 2, x, 3, 2, 2, 0);
        ASSERT_EQ(got.ifail, 0);
        if (got.sd[0] == 0.0) continue;
        ASSERT_LE(std::fabs(got.r[0] - 1.0), 0x1.0p-52) << trial;
        ASSERT_LE(std::fabs(got.r[3] - 1.0), 0x1.0p-52) << trial;
    }
}

}  // namespace
}  // namespace orv::num1

namespace orv::num1 {
namespace {

// The sums are shared among threads by tile; every count gives the bits of
// one thread, padding rows included, on shapes whose last tile is partial.
TEST_F(G02BAFTest, SameBitsWhateverTheThreadCount) {
    Xorshift rng{99};
    for (int m : {2, 5, 17, 40}) {
        const int n = 300, ldx = n + 3, lds = m + 2;
        SCOPED_TRACE(m);
        std::vector<double> x(static_cast<std::size_t>(ldx) * m);
        for (double& v : x) v = rng.uniform() * 10.0 - 3.0;
        for (int i = 0; i < n; ++i) x[i + (m - 1) * ldx] = 0.1;  // a constant variable
        auto with = [&](int threads) {
            Result res{0, std::vector<double>(m), std::vector<double>(m),
                       std::vector<double>(static_cast<std::size_t>(lds) * m, kSentinel),
                       std::vector<double>(static_cast<std::size_t>(lds) * m, kSentinel)};
            G02BAF(n, m, x, ldx, res.xbar, res.sd, res.ssp, lds, res.r, lds, res.ifail, threads);
            return res;
        };
        const Result one = with(1);
        ASSERT_EQ(one.ifail, 0);
        for (int threads : {0, 2, 3, 7, 16}) {
            SCOPED_TRACE(threads);
            const Result got = with(threads);
            ASSERT_EQ(got.ifail, 0);
            for (const auto& [a, b] : {std::pair{&got.xbar, &one.xbar}, {&got.sd, &one.sd}, {&got.ssp, &one.ssp},
                                       {&got.r, &one.r}})
                for (std::size_t k = 0; k < a->size(); ++k) ASSERT_TRUE(same_bits((*a)[k], (*b)[k])) << k;
        }
    }
}

}  // namespace
}  // namespace orv::num1
