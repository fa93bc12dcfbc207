// SRTFAC and SRTOBL: descending sums of squares, ties in their order, the
// factor correlations carried along, and reflection before ordering as the
// oblique stages use them.
#include "engine/stats/srtfac.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/stats/reflct.h"
#include "support/fake_host.h"

namespace orv::engine {
namespace {

// Two variables, four factors with sums of squares 4, 1, 9, 4: the order is
// 3, 1, 4, 2 (the tie of 1 and 4 kept; not its own inverse).
const std::vector<double> kPattern{2.0, 0.0, 0.0, -1.0, 3.0, 0.0, 0.0, -2.0};
const std::vector<double> kSorted{3.0, 0.0, 2.0, 0.0, 0.0, -2.0, 0.0, -1.0};
const int kOld[4] = {2, 0, 3, 1};  // new column j holds old column kOld[j]

// P PHI P', which reflection and ordering leave unchanged.
std::vector<double> reproduced(const std::vector<double>& p, const std::vector<double>& phi, int nvar, int nfac) {
    std::vector<double> c(static_cast<std::size_t>(nvar * nvar), 0.0);
    for (int i = 0; i < nvar; ++i)
        for (int j = 0; j < nvar; ++j)
            for (int a = 0; a < nfac; ++a)
                for (int b = 0; b < nfac; ++b) c[i + nvar * j] += p[i + nvar * a] * phi[a + nfac * b] * p[j + nvar * b];
    return c;
}

TEST(Srtfac, DescendingSumsOfSquaresTiesKeepTheirOrder) {
    testing::FakeHost host;
    rt::set_host(&host);
    std::vector<double> a = kPattern;
    SRTFAC(a, 2, 4);
    EXPECT_EQ(a, kSorted);
    std::vector<double> one{-0.3, 0.1};
    SRTFAC(one, 2, 1);
    EXPECT_EQ(one, (std::vector<double>{-0.3, 0.1}));
    rt::set_host(nullptr);
    EXPECT_TRUE(host.records.empty());
}

TEST(Srtobl, FactorCorrelationsArePermutedWithThePattern) {
    std::vector<double> p = kPattern, phi(16);
    for (int a = 0; a < 4; ++a)
        for (int b = 0; b < 4; ++b) phi[a + 4 * b] = 10.0 * a + b;  // tells rows from columns
    const std::vector<double> old = phi;
    SRTOBL(p, 2, 4, phi);
    EXPECT_EQ(p, kSorted);
    for (int a = 0; a < 4; ++a)
        for (int b = 0; b < 4; ++b) EXPECT_EQ(phi[a + 4 * b], old[kOld[a] + 4 * kOld[b]]) << a << "," << b;
}

TEST(Srtobl, ReflectThenOrderKeepsTheReproducedMatrix) {
    const int nvar = 3, nfac = 3;
    std::vector<double> p{0.3, -0.2, 0.05, -0.7, -0.6, 0.1, 0.2, 0.3, -0.9};
    std::vector<double> phi{1.0, 0.3, -0.2, 0.3, 1.0, 0.4, -0.2, 0.4, 1.0};
    const std::vector<double> before = reproduced(p, phi, nvar, nfac);
    REFOBL(p, phi, nvar, nfac);
    SRTOBL(p, nvar, nfac, phi);
    // Factors 2 and 3 are reflected; the order is 3, 2, 1.
    EXPECT_EQ(p, (std::vector<double>{-0.2, -0.3, 0.9, 0.7, 0.6, -0.1, 0.3, -0.2, 0.05}));
    EXPECT_EQ(phi, (std::vector<double>{1.0, 0.4, 0.2, 0.4, 1.0, -0.3, 0.2, -0.3, 1.0}));
    const std::vector<double> after = reproduced(p, phi, nvar, nfac);
    for (std::size_t k = 0; k < after.size(); ++k) EXPECT_NEAR(after[k], before[k], 1e-15);
}

}  // namespace
}  // namespace orv::engine
