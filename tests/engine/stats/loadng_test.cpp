// LOADNG: loadings from LAPACK's eigenpairs reproduce the matrix, add into
// their argument, and give a zero column for an eigenvalue below zero.
#include "engine/stats/loadng.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "numlib/blas_lapack.h"

namespace orv::engine {
namespace {

TEST(Loadng, FullSetOfLoadingsReproducesTheMatrix) {
    const int n = 4;
    const std::vector<double> r{1.0, 0.5, 0.3, 0.2, 0.5, 1.0, 0.4, 0.1,
                                0.3, 0.4, 1.0, 0.6, 0.2, 0.1, 0.6, 1.0};
    std::vector<double> v = r, w(n), work(40);
    int lwork = 40, info = 0;
    dsyev_("V", "U", &n, v.data(), &n, w.data(), work.data(), &lwork, &info, 1, 1);
    ASSERT_EQ(info, 0);

    std::vector<double> l(16, 0.0);
    LOADNG(w, v, l, n, n);
    for (int i = 0; i < n; ++i) {
        for (int k = 0; k < n; ++k) EXPECT_DOUBLE_EQ(l[i + n * k], v[i + n * k] * std::sqrt(w[k]));
        for (int j = 0; j < n; ++j) {
            double s = 0.0;
            for (int k = 0; k < n; ++k) s += l[i + n * k] * l[j + n * k];
            EXPECT_NEAR(s, r[i + n * j], 1e-13);
        }
    }
    // A second call adds the same loadings again.
    const std::vector<double> once = l;
    LOADNG(w, v, l, n, n);
    for (int k = 0; k < 16; ++k) EXPECT_EQ(l[k], 2.0 * once[k]);
}

TEST(Loadng, NegativeEigenvalueGivesZeroLoadingsAndNaNStaysNaN) {
    const std::vector<double> eval{4.0, -1e-12, NAN}, evec{0.6, 0.8, 0.8, -0.6, 1.0, 0.0};
    std::vector<double> l(6, 0.0);
    LOADNG(eval, evec, l, 2, 3);
    EXPECT_EQ(l[0], 1.2);
    EXPECT_EQ(l[1], 1.6);
    EXPECT_EQ(l[2], 0.0);
    EXPECT_EQ(l[3], 0.0);
    EXPECT_TRUE(std::isnan(l[4]));
}

}  // namespace
}  // namespace orv::engine
