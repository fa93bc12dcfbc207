#include "numlib/routines1/refgen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "numlib/blas_lapack.h"
#include "numlib/routines1/dlassq_old.h"

namespace orv::num1 {
namespace {

TEST(RefgenTest, ScaledSumOfSquaresReturnsTheLargestMagnitude) {
    const std::vector<double> x = {3.0, -4.0, 0.0, 1e-3};
    double scale = 0.0, ssq = 1.0;
    DLASSQ(4, x, 1, scale, ssq);
    EXPECT_EQ(scale, 4.0);
    EXPECT_DOUBLE_EQ(scale * std::sqrt(ssq), std::sqrt(25.000001));
    scale = 0.0, ssq = 1.0;
    const std::vector<double> zero(3, 0.0);
    DLASSQ(3, zero, 1, scale, ssq);
    EXPECT_EQ(scale, 0.0);
    EXPECT_EQ(ssq, 1.0);
    const std::vector<double> huge = {1e300, 1e300, -1e300};
    scale = 0.0, ssq = 1.0;
    DLASSQ(3, huge, 1, scale, ssq);
    EXPECT_EQ(scale, 1e300);
    EXPECT_DOUBLE_EQ(ssq, 3.0);
}

TEST(RefgenTest, ReflectorsMapOntoBetaWithTheSignRule) {
    struct Case {
        double alpha;
        std::vector<double> x;
        double beta, zeta;
    };
    const Case cases[] = {
        {0.0, {3.0, 4.0}, 5.0, 1.0},                      // alpha = 0: beta > 0
        {3.0, {4.0}, -5.0, std::sqrt(1.6)},               // beta = -sign(alpha) |beta|
        {-3.0, {0.0, 4.0}, 5.0, std::sqrt(1.6)},
        {1e300, {1e300}, -std::sqrt(2.0) * 1e300, std::sqrt(1.0 + 1.0 / std::sqrt(2.0))},
        {1e-310, {-1e-310, 1e-310}, -std::sqrt(3.0) * 1e-310, std::sqrt(1.0 + 1.0 / std::sqrt(3.0))},
    };
    for (const Case& c : cases) {
        double alpha = c.alpha, zeta = -1.0;
        std::vector<double> x = c.x;
        REFGEN(static_cast<int>(x.size()), alpha, x, 1, 0.0, zeta);
        const double rel = std::fabs(c.alpha) < 1e-300 ? 1e-6 : 1e-15;
        EXPECT_NEAR(alpha, c.beta, rel * std::fabs(c.beta));
        EXPECT_NEAR(zeta, c.zeta, std::max(rel, 1e-15));
        // (I - u u^T)(alpha; x) = (beta; 0) with u = (zeta; z).
        double dot = zeta * c.alpha;
        for (std::size_t i = 0; i < x.size(); ++i) dot += x[i] * c.x[i];
        EXPECT_NEAR(c.alpha - zeta * dot, alpha, rel * std::fabs(alpha));
        for (std::size_t i = 0; i < x.size(); ++i) EXPECT_NEAR(c.x[i] - x[i] * dot, 0.0, rel * std::fabs(alpha));
    }
    double alpha = 0.0, zeta = -1.0;
    std::vector<double> x = {3.0, 4.0};
    REFGEN(2, alpha, x, 1, 0.0, zeta);
    EXPECT_EQ(x[0], -0.6);
    EXPECT_EQ(x[1], -0.8);
}

TEST(RefgenTest, NegligibleVectorsGiveTheIdentity) {
    for (const std::vector<double>& v : {std::vector<double>{0.0}, std::vector<double>{0.0, 0.0},
                                         std::vector<double>{1e-17, -1e-17}}) {
        double alpha = 1.0, zeta = -1.0;
        std::vector<double> x = v;
        REFGEN(static_cast<int>(x.size()), alpha, x, 1, 0.0, zeta);
        EXPECT_EQ(zeta, 0.0);
        EXPECT_EQ(alpha, 1.0);
        EXPECT_EQ(x, v);
    }
    double alpha = 1.0, zeta = -1.0;
    std::vector<double> x = {0.1};
    REFGEN(1, alpha, x, 1, 0.5, zeta);  // below TOL
    EXPECT_EQ(zeta, 0.0);
    REFGEN(0, alpha, x, 1, 0.0, zeta);
    EXPECT_EQ(zeta, 0.0);
}

TEST(RefgenTest, TwoPieceReflectorMatchesLapack) {
    // LAPACK's H = I - tau v v^T with v(1) = 1 equals ours: zeta^2 = tau and
    // z = zeta v; beta agrees.
    std::vector<double> x = {0.5, -1.5, 2.0}, y = {0.25, 3.0};
    std::vector<double> all = {x[0], x[1], x[2], y[0], y[1]};
    double alpha = -0.75, zeta = 0;
    REFGENR(3, 2, alpha, x, 1, y, 1, 0.0, zeta);
    int n = 6, inc = 1;
    double la = -0.75, tau = 0;
    dlarfg_(&n, &la, all.data(), &inc, &tau);
    EXPECT_NEAR(alpha, la, 1e-15);
    EXPECT_NEAR(zeta * zeta, tau, 1e-15);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(x[i], zeta * all[i], 1e-15);
    for (int i = 0; i < 2; ++i) EXPECT_NEAR(y[i], zeta * all[3 + i], 1e-15);
}

}  // namespace
}  // namespace orv::num1
