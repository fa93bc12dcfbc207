// SMOOTH: eigenvalues below 0.005 set to the floor, unit diagonal,
// agreement with a double-precision rebuild from LAPACK's eigenvectors.
#include "engine/stats/smooth.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "numlib/blas_lapack.h"

namespace orv::engine {
namespace {

// Eigenvalues (ascending) and, with vectors, eigenvectors of A from dsyev.
std::vector<double> eigen(std::vector<double>& a, int n, bool vectors) {
    std::vector<double> w(static_cast<std::size_t>(n)), work(static_cast<std::size_t>(10 * n));
    int lwork = 10 * n, info = 0;
    const char job = vectors ? 'V' : 'N', uplo = 'U';
    dsyev_(&job, &uplo, &n, a.data(), &n, w.data(), work.data(), &lwork, &info, 1, 1);
    EXPECT_EQ(info, 0);
    return w;
}

TEST(Smooth, NotPositiveDefiniteMatrixBecomesPositiveDefinite) {
    // Pairwise correlations that no data set can have together.
    const int n = 4;
    const std::vector<double> r{1.0, 0.9, 0.9, 0.1,  //
                                0.9, 1.0, 0.2, 0.8,  //
                                0.9, 0.2, 1.0, 0.7,  //
                                0.1, 0.8, 0.7, 1.0};
    std::vector<double> vec = r;
    const std::vector<double> w = eigen(vec, n, true);
    ASSERT_LT(w[0], 0.0);
    ASSERT_GE(w[1], 0.005);

    std::vector<double> work = r, rs(16);
    SMOOTH(work, n, rs);

    // The reference: D V diag(W) V' D with the kept eigenvalues stretched to
    // add up to K = 3 and the dropped one at the floor.
    const double stretch = 3.0 / (w[1] + w[2] + w[3]);
    std::vector<double> ref(16, 0.0);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            for (int m = 0; m < n; ++m)
                ref[i + n * j] += vec[i + n * m] * (m == 0 ? kSmoothFloor : stretch * w[m]) * vec[j + n * m];
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            EXPECT_NEAR(rs[i + n * j], ref[i + n * j] / std::sqrt(ref[i + n * i] * ref[j + n * j]), 2e-6);
    for (int i = 0; i < n; ++i) EXPECT_NEAR(rs[i + n * i], 1.0, 1e-6);

    // Positive definite: the smallest eigenvalue is the floor's, rescaled
    // with the diagonal, far above the rounding of the rebuild.
    std::vector<double> scaled = ref, copy = rs;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) scaled[i + n * j] /= std::sqrt(ref[i + n * i] * ref[j + n * j]);
    const std::vector<double> expected = eigen(scaled, n, false), ws = eigen(copy, n, false);
    EXPECT_GT(ws[0], 0.5 * kSmoothFloor);
    EXPECT_NEAR(ws[0], expected[0], 1e-6);
    EXPECT_GT(ws[1], 0.005);

    // The work matrix holds the eigenvectors, ascending order.
    for (int i = 0; i < n; ++i) EXPECT_NEAR(std::abs(work[i]), std::abs(vec[i]), 1e-10);
}

TEST(Smooth, EigenvaluesBelowFiveThousandthsGoToTheFloor) {
    // [1 r; r 1] has the eigenvalues 1 + r and 1 - r.  Kept, the second
    // leaves the matrix as it is; below the threshold it becomes the floor
    // beside a first eigenvalue stretched to 1.
    const double floored = (1.0 - kSmoothFloor) / (1.0 + kSmoothFloor);
    for (const auto& [r, smoothed] : {std::pair{0.9949, 0.9949}, std::pair{0.9951, floored}}) {
        std::vector<double> a{1.0, r, r, 1.0}, rs(4);
        SMOOTH(a, 2, rs);
        EXPECT_NEAR(rs[1], smoothed, 1e-6) << r;
        EXPECT_EQ(rs[1], rs[2]) << r;
        EXPECT_NEAR(rs[0], 1.0, 1e-15) << r;
        EXPECT_NEAR(rs[3], 1.0, 1e-15) << r;
    }

    // A variable whose only weight is on a dropped eigenvector keeps a unit
    // variance, uncorrelated with the others.
    std::vector<double> r{1.5, 0, 0, 0, 1.0, 0, 0, 0, 0.0049}, rs(9, -1.0);
    SMOOTH(r, 3, rs);
    for (int k = 0; k < 9; ++k) EXPECT_NEAR(rs[k], k % 4 == 0 ? 1.0 : 0.0, 1e-15) << k;

    std::vector<double> one{1.0}, rs1(1);
    SMOOTH(one, 1, rs1);
    EXPECT_EQ(rs1[0], 1.0);
}

TEST(Revcol, ReversesColumns) {
    const std::vector<double> a{1, 2, 3, 4, 5, 6, 7, 8, 9};
    std::vector<double> b(9);
    REVCOL(a, 3, b);
    EXPECT_EQ(b, (std::vector<double>{7, 8, 9, 4, 5, 6, 1, 2, 3}));
}

}  // namespace
}  // namespace orv::engine
