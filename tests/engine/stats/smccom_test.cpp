// Initial communalities: SMCCOM against LAPACK's inverse, its ridge for a
// singular matrix, and MAXCOR's highest absolute correlations.
#include "engine/stats/smccom.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <vector>

#include "engine/stats/maxcor.h"
#include "numlib/blas_lapack.h"
#include "numlib/routines2/devlrg.h"
#include "numlib/routines2/erset.h"
#include "support/fake_host.h"

namespace orv::engine {
namespace {

TEST(Smccom, MatchesOneMinusReciprocalDiagonalOfTheInverse) {
    // R = L L' + diag(1 - h) for two factors: positive definite.
    const int n = 5;
    const double l[5][2] = {{0.8, 0.1}, {0.7, 0.3}, {0.2, 0.75}, {0.55, -0.4}, {0.35, 0.5}};
    std::vector<double> r(25);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            r[i + n * j] = i == j ? 1.0 : l[i][0] * l[j][0] + l[i][1] * l[j][1];

    std::vector<double> inv = r;
    int info = 0;
    dpotrf_("U", &n, inv.data(), &n, &info, 1);
    ASSERT_EQ(info, 0);
    dpotri_("U", &n, inv.data(), &n, &info, 1);
    ASSERT_EQ(info, 0);

    testing::FakeHost host;
    rt::set_host(&host);
    std::vector<double> smc = r;
    SMCCOM(smc, n);
    rt::set_host(nullptr);
    for (int i = 0; i < n; ++i) {
        EXPECT_NEAR(smc[i + n * i], 1.0 - 1.0 / inv[i + n * i], 1e-13) << i;
        for (int j = 0; j < n; ++j) {
            if (i != j) { EXPECT_EQ(smc[i + n * j], r[i + n * j]); }
        }
    }
    EXPECT_TRUE(host.records.empty());
}

TEST(Smccom, PerfectCorrelationGetsARidgeBeforeInversion) {
    for (const double rho : {1.0, -1.0}) {
        num2::reset_error_machinery();
        testing::FakeHost host;
        rt::set_host(&host);
        std::vector<double> r{1.0, rho, rho, 1.0};
        SMCCOM(r, 2);
        rt::set_host(nullptr);
        // Inverse of [[1+e, rho], [rho, 1+e]] with e = 1/100000.
        const double e = 1.0 / 100000.0, d = 1.0 + e;
        const double expected = 1.0 - (d * d - 1.0) / d;
        EXPECT_NEAR(r[0], expected, 1e-9);
        EXPECT_NEAR(r[3], expected, 1e-9);
        EXPECT_EQ(r[1], rho);
        EXPECT_TRUE(host.records.empty()) << "inversion must succeed";
    }
}

TEST(Smccom, GivenEigenvaluesOfTheGeneralRoutineGiveTheSameBits) {
    // The extraction hands over the eigenvalues of its table (DEVLRG); the
    // diagonal must be what SMCCOM's own DE3LRG call gives, ridge or not.
    const int n = 40;
    std::vector<double> positive(n * n), ridged(n * n, 0.0);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            // Two factors: R = L L' + diag(1 - h).
            const double li[2] = {0.2 + 0.7 * ((i * 7) % 11) / 11.0, 0.5 * ((i * 5) % 7) / 7.0 - 0.2};
            const double lj[2] = {0.2 + 0.7 * ((j * 7) % 11) / 11.0, 0.5 * ((j * 5) % 7) / 7.0 - 0.2};
            positive[i + n * j] = i == j ? 1.0 : li[0] * lj[0] + li[1] * lj[1];
        }
    // Variables 1 and 2 correlate perfectly: the last eigenvalue is 0.
    for (int i = 0; i < n; ++i) ridged[i + n * i] = 1.0;
    ridged[1 + n * 2] = ridged[2 + n * 1] = 1.0;
    for (const std::vector<double>* r : {&positive, &ridged}) {
        num2::reset_error_machinery();
        testing::FakeHost host;
        rt::set_host(&host);
        std::vector<std::complex<double>> roots(n);
        num2::DEVLRG(n, *r, n, roots);
        std::vector<double> eval(n);
        for (int k = 0; k < n; ++k) eval[k] = roots[k].real();
        std::vector<double> own = *r, given = *r;
        SMCCOM(own, n);
        SMCCOM(given, n, eval);
        rt::set_host(nullptr);
        EXPECT_EQ(std::memcmp(own.data(), given.data(), own.size() * sizeof(double)), 0);
        EXPECT_EQ(r == &ridged, eval[n - 1] <= 0.0);
        EXPECT_TRUE(host.records.empty());
    }
}

TEST(Maxcor, LargestAbsoluteOffDiagonalCorrelation) {
    struct Case {
        std::vector<double> r, diagonal;
    };
    const Case cases[] = {
        {{1, 0, 0, 0, 1, 0, 0, 0, 1}, {0, 0, 0}},
        // Diagonal values are never read, even once replaced.
        {{5, -0.6, 0.2, -0.6, 7, 0.3, 0.2, 0.3, 9}, {0.6, 0.6, 0.3}},
        {{1, 0.4, -0.4, 0.4, 1, 0.1, -0.4, 0.1, 1}, {0.4, 0.4, 0.4}},
    };
    for (const Case& c : cases) {
        std::vector<double> r = c.r;
        MAXCOR(r, 3);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(r[i + 3 * i], c.diagonal[i]);
            for (int j = 0; j < 3; ++j) {
                if (i != j) { EXPECT_EQ(r[i + 3 * j], c.r[i + 3 * j]); }
            }
        }
    }
}

}  // namespace
}  // namespace orv::engine
