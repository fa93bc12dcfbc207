// SMOOTH: eigenvalues below 0.005 dropped, unit diagonal, agreement with a
// double-precision rebuild from LAPACK's eigenvectors, and the stop for a
// variable that keeps no weight.
#include "engine/stats/smooth.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "numlib/blas_lapack.h"
#include "runtime/io_error.h"
#include "support/fake_host.h"

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

TEST(Smooth, NotPositiveDefiniteMatrixLosesItsSmallEigenvalues) {
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

    // The reference: D V_K diag(W_K) V_K' D from the kept eigenpairs.
    std::vector<double> ref(16, 0.0);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            for (int m = 1; m < n; ++m) ref[i + n * j] += vec[i + n * m] * w[m] * vec[j + n * m];
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            EXPECT_NEAR(rs[i + n * j], ref[i + n * j] / std::sqrt(ref[i + n * i] * ref[j + n * j]), 2e-6);
    for (int i = 0; i < n; ++i) EXPECT_NEAR(rs[i + n * i], 1.0, 1e-6);

    // Positive semidefinite of rank K = 3: one eigenvalue left at zero.
    std::vector<double> copy = rs;
    const std::vector<double> ws = eigen(copy, n, false);
    EXPECT_NEAR(ws[0], 0.0, 1e-6);
    EXPECT_GT(ws[1], 0.005);

    // The work matrix holds the eigenvectors, ascending order.
    for (int i = 0; i < n; ++i) EXPECT_NEAR(std::abs(work[i]), std::abs(vec[i]), 1e-10);
}

TEST(Smooth, KeepsEigenvaluesFromFiveThousandthsAndStopsWithoutWeight) {
    struct Case {
        double last;  // the third diagonal element, an eigenvalue
        bool stops;
    };
    for (const Case c : {Case{0.005, false}, Case{0.0049, true}}) {
        orv::testing::FakeHost host;
        rt::set_host(&host);
        std::vector<double> r{1.5, 0, 0, 0, 1.0, 0, 0, 0, c.last}, rs(9, -1.0);
        bool stopped = false;
        try {
            SMOOTH(r, 3, rs);
        } catch (const rt::Stop&) {
            stopped = true;
        }
        rt::set_host(nullptr);
        EXPECT_EQ(stopped, c.stops) << c.last;
        if (c.stops) {
            ASSERT_EQ(host.records.size(), 5u);
            EXPECT_EQ(host.records[0], std::string(29, ' ') + "FATAL ERROR: SMOOTHING LEAVES VARIABLE   3 WITHOUT VARIANCE");
            EXPECT_EQ(host.pauses, 1);
        } else {
            for (int k = 0; k < 9; ++k) EXPECT_NEAR(rs[k], k % 4 == 0 ? 1.0 : 0.0, 1e-15) << k;
            EXPECT_TRUE(host.records.empty());
        }
    }
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
