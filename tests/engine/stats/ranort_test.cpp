// RANORT: the random turn is orthogonal for every number of factors (also
// above 15, where the deviates' correlation matrix is singular), keeps the
// communalities, follows the library generator's seed and continues its
// stream from call to call.
#include "engine/stats/ranort.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "numlib/routines2/dunif.h"

namespace orv::engine {
namespace {

// RANORT applied to the identity gives the turn itself.
std::vector<double> turn(int k) {
    std::vector<double> t(static_cast<std::size_t>(k * k), 0.0);
    for (int j = 0; j < k; ++j) t[j + k * j] = 1.0;
    RANORT(t, k, k);
    return t;
}

TEST(Ranort, TurnIsOrthogonal) {
    num2::SETSED(123457);
    for (int k : {2, 3, 5, 8, 15, 16, 20}) {
        SCOPED_TRACE(k);
        const std::vector<double> t = turn(k);
        for (int i = 0; i < k; ++i) {
            for (int j = 0; j < k; ++j) {
                double rows = 0.0, cols = 0.0;
                for (int m = 0; m < k; ++m) {
                    rows += t[i + k * m] * t[j + k * m];
                    cols += t[m + k * i] * t[m + k * j];
                }
                EXPECT_NEAR(rows, i == j ? 1.0 : 0.0, 1e-12) << i << "," << j;
                EXPECT_NEAR(cols, i == j ? 1.0 : 0.0, 1e-12) << i << "," << j;
            }
        }
    }
    num2::reset_random_state();
}

TEST(Ranort, KeepsCommunalitiesAndReproducesWithSeed) {
    const int n = 5, k = 2;
    const std::vector<double> l{0.8, 0.7, 0.1, -0.3, 0.5, 0.2, 0.1, 0.75, 0.6, -0.4};
    std::vector<double> first = l, again = l, next = l;
    num2::SETSED(4711);
    RANORT(first, n, k);
    RANORT(next, n, k);  // the stream goes on: another turn
    num2::SETSED(4711);
    RANORT(again, n, k);
    num2::reset_random_state();

    EXPECT_EQ(first, again);
    EXPECT_NE(first, next);
    EXPECT_NE(first, l);
    for (int i = 0; i < n; ++i) {
        const double h = l[i] * l[i] + l[i + n] * l[i + n];
        EXPECT_NEAR(first[i] * first[i] + first[i + n] * first[i + n], h, 1e-14) << i;
        EXPECT_NEAR(next[i] * next[i] + next[i + n] * next[i + n], h, 1e-14) << i;
    }
}

}  // namespace
}  // namespace orv::engine
