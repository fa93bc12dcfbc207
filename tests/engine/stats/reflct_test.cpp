// REFLCT and REFOBL on hand cases: which factors turn, and the factor
// correlations that follow an oblique pattern's reflection.
#include "engine/stats/reflct.h"

#include <gtest/gtest.h>

#include <vector>

namespace orv::engine {
namespace {

// Columns of three variables, each with whether it must be reflected.
struct Column {
    std::vector<double> a;
    bool reflected;
};
const std::vector<Column> kColumns{
    {{-0.5, -0.1, -0.7}, true},    // all negative
    {{-0.8, 0.3, 0.3}, true},      // 0.64 outweighs 0.09 + 0.09
    {{-0.5, 0.4, 0.4}, false},     // 0.32 outweighs 0.25
    {{0.0, 0.0, 0.0}, false},      // zeros
    {{0.5, -0.5, 0.0}, false},     // signed sum exactly 0
    {{-0.25, 0.0, 0.0}, true},     // a single negative loading
};

std::vector<double> join() {
    std::vector<double> m;
    for (const Column& c : kColumns) m.insert(m.end(), c.a.begin(), c.a.end());
    return m;
}

void expect_reflected(const std::vector<double>& m) {
    for (std::size_t j = 0; j < kColumns.size(); ++j)
        for (std::size_t i = 0; i < 3; ++i)
            EXPECT_EQ(m[i + 3 * j], kColumns[j].reflected ? -kColumns[j].a[i] : kColumns[j].a[i]) << j;
}

TEST(Reflct, TurnsFactorsWithNegativeSignedSumOfSquares) {
    std::vector<double> a = join();
    REFLCT(a, 3, static_cast<int>(kColumns.size()));
    expect_reflected(a);
    // A second pass changes nothing.
    const std::vector<double> once = a;
    REFLCT(a, 3, static_cast<int>(kColumns.size()));
    EXPECT_EQ(a, once);
}

TEST(Refobl, FactorCorrelationsFollowThePattern) {
    const int nfac = static_cast<int>(kColumns.size());
    std::vector<double> p = join(), phi(36);
    for (int a = 0; a < nfac; ++a)
        for (int b = 0; b < nfac; ++b) phi[a + 6 * b] = a == b ? 1.0 : 0.01 * (1 + a + b);
    const std::vector<double> old = phi;
    REFOBL(p, phi, 3, nfac);
    expect_reflected(p);
    for (int a = 0; a < nfac; ++a)
        for (int b = 0; b < nfac; ++b) {
            const bool flip = kColumns[a].reflected != kColumns[b].reflected;
            EXPECT_EQ(phi[a + 6 * b], flip ? -old[a + 6 * b] : old[a + 6 * b]) << a << "," << b;
        }
}

}  // namespace
}  // namespace orv::engine
