#include "numlib/routines1/rotgen.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "numlib/blas_lapack.h"
#include "numlib/routines1/rotapply.h"

namespace orv::num1 {
namespace {

TEST(RotgenTest, KernelEdgeCases) {
    double c = 0, s = 0;
    ROTCS(0.0, c, s);
    EXPECT_EQ(c, 1.0);
    EXPECT_EQ(s, 0.0);
    ROTCS(1.0, c, s);
    EXPECT_DOUBLE_EQ(c, 1.0 / std::sqrt(2.0));
    EXPECT_DOUBLE_EQ(s, 1.0 / std::sqrt(2.0));
    ROTCS(-1e9, c, s);  // beyond the large-tangent bound
    EXPECT_EQ(c, 1e-9);
    EXPECT_EQ(s, -1.0);
    ROTCS(1e-9, c, s);  // below the small-tangent bound
    EXPECT_EQ(c, 1.0);
    EXPECT_EQ(s, 1e-9);

    bool fail = false;
    EXPECT_EQ(SAFDIV(1.0, 0.0, fail), 4.4942328371558e+307);
    EXPECT_TRUE(fail);
    EXPECT_EQ(SAFDIV(-1.0, 0.0, fail), -4.4942328371558e+307);
    EXPECT_EQ(SAFDIV(0.0, 0.0, fail), 0.0);
    EXPECT_TRUE(fail);
    EXPECT_EQ(SAFDIV(0.0, 3.0, fail), 0.0);
    EXPECT_FALSE(fail);
    EXPECT_EQ(SAFDIV(1e-300, 1e10, fail), 0.0);  // below |B| FLMIN
    EXPECT_FALSE(fail);
    EXPECT_EQ(SAFDIV(1e300, -1e-10, fail), -4.4942328371558e+307);
    EXPECT_TRUE(fail);
    EXPECT_EQ(SAFDIV(6.0, 0.5, fail), 12.0);
    EXPECT_FALSE(fail);

    double a = 3.0, b = 0.0;
    ROTGEN(a, b, c, s);
    EXPECT_EQ(a, 3.0);
    EXPECT_EQ(b, 0.0);
    EXPECT_EQ(c, 1.0);
    EXPECT_EQ(s, 0.0);
    a = 0.0, b = 2.0;
    ROTGEN(a, b, c, s);
    EXPECT_EQ(c, 1.0 / 4.4942328371558e+307);
    EXPECT_EQ(s, 1.0);
    EXPECT_EQ(a, 2.0);
    a = -3.0, b = 4.0;
    ROTGEN(a, b, c, s);
    EXPECT_DOUBLE_EQ(a, -5.0);
    EXPECT_DOUBLE_EQ(b, -4.0 / 3.0);  // the tangent
    EXPECT_DOUBLE_EQ(c, 0.6);
    EXPECT_DOUBLE_EQ(s, -0.8);
}

TEST(RotgenTest, RotationsAnnihilateLikeLapackUpToTheSignOfC) {
    std::uint64_t st = 88172645463325252ull;
    auto uniform = [&] {
        st ^= st << 13, st ^= st >> 7, st ^= st << 17;
        return static_cast<double>(st >> 11) * 0x1.0p-52 - 1.0;
    };
    for (int t = 0; t < 2000; ++t) {
        const double f = uniform() * std::pow(10.0, 300.0 * uniform()), g = uniform() * std::pow(10.0, 300.0 * uniform());
        double a = f, b = g, c = 0, s = 0;
        ROTGEN(a, b, c, s);
        double lc = 0, ls = 0, lr = 0;
        dlartg_(&f, &g, &lc, &ls, &lr);
        ASSERT_GE(c, 0.0);
        const double sign = lc < 0.0 ? -1.0 : 1.0;  // LAPACK lets c take either sign
        EXPECT_NEAR(c, sign * lc, 1e-15) << f << " " << g;
        EXPECT_NEAR(s, sign * ls, 1e-15) << f << " " << g;
        EXPECT_NEAR(a, sign * lr, 1e-15 * std::fabs(lr)) << f << " " << g;
        double rc = 0, rs = 0;
        ROTCS(b, rc, rs);  // the tangent rebuilds the same rotation
        EXPECT_EQ(rc, c);
        EXPECT_EQ(rs, s);
    }
}

TEST(RotgenTest, SequencesAnnihilateIntoAlphaAndApplyLikeExplicitMatrices) {
    // ROTSEQ: the rotations, applied to (alpha, x) in their order, give
    // (alpha', 0, ..., 0).
    std::vector<double> x = {1.0, -2.0, 0.0, 4.0, 0.5};
    std::vector<double> v = {3.0, 1.0, -2.0, 0.0, 4.0, 0.5};
    double alpha = 3.0;
    std::vector<double> c(5), s(5);
    ROTSEQ("V", "B", 5, alpha, x, 1, c, s);
    ROTAPPLY("L", "V", "B", 6, 1, 1, 6, c, s, v, 6);
    EXPECT_DOUBLE_EQ(v[0], alpha);
    for (int i = 1; i < 6; ++i) EXPECT_NEAR(v[i], 0.0, 1e-15);
    EXPECT_NEAR(std::fabs(alpha), std::sqrt(9.0 + 1 + 4 + 16 + 0.25), 1e-14);

    // ROTAPPLY for each pivot, side and direction against the product of
    // explicit rotation matrices.
    const int n = 5, k1 = 2, k2 = 5;
    std::vector<double> cc(n), ss(n);
    for (int i = 0; i < n; ++i) ROTCS(0.3 * i - 0.7, cc[i], ss[i]);
    for (const char* pivot : {"V", "T", "B"})
        for (const char* direct : {"F", "B"})
            for (const char* side : {"L", "R"}) {
                std::vector<double> a(n * n), g(n * n, 0.0);
                for (int i = 0; i < n * n; ++i) a[i] = std::sin(1.0 + i);
                const std::vector<double> a0 = a;
                for (int i = 0; i < n; ++i) g[i * n + i] = 1.0;
                // G = product of the column-form rotations in the applied order.
                for (int r = 0; r < k2 - k1; ++r) {
                    const int i = direct[0] == 'F' ? k1 + r : k2 - 1 - r;
                    const int p = pivot[0] == 'T' ? k1 : i, q = pivot[0] == 'B' ? k2 : i + 1;
                    for (int row = 0; row < n; ++row) {  // G := G R_i, R_i(p,p)=c, R_i(q,p)=s
                        const double x = g[row + (p - 1) * n], y = g[row + (q - 1) * n];
                        g[row + (p - 1) * n] = cc[i - 1] * x + ss[i - 1] * y;
                        g[row + (q - 1) * n] = cc[i - 1] * y - ss[i - 1] * x;
                    }
                }
                ROTAPPLY(side, pivot, direct, n, n, k1, k2, cc, ss, a, n);
                for (int i = 0; i < n; ++i)
                    for (int j = 0; j < n; ++j) {
                        double want = 0.0;
                        for (int t = 0; t < n; ++t)
                            want += side[0] == 'L' ? g[t + i * n] * a0[t + j * n] : a0[i + t * n] * g[t + j * n];
                        EXPECT_NEAR(a[i + j * n], want, 1e-14) << side << pivot << direct;
                    }
            }
}

TEST(RotgenTest, TrirotKeepsTheTriangleAndItsSingularValues) {
    const int n = 6;
    std::vector<double> a(n * n, 0.0), c(n), s(n);
    for (int j = 0; j < n; ++j)
        for (int i = 0; i <= j; ++i) a[i + j * n] = std::cos(3.0 * i + j) + (i == j ? 2.0 : 0.0);
    for (int i = 0; i < n; ++i) ROTCS(0.4 * i - 1.0, c[i], s[i]);
    c[2] = 1.0, s[2] = 0.0;  // an identity pair is skipped
    std::vector<double> g = a;
    // The reference: G^T-free check through the Gram matrix A^T A, which
    // right rotations change only by similarity and left rotations not at all.
    TRIROT("R", n, 1, n, c, s, a, n);
    for (int j = 0; j < n; ++j)
        for (int i = j + 1; i < n; ++i) EXPECT_EQ(a[i + j * n], 0.0);  // never written below
    EXPECT_EQ(c[2], 1.0);
    EXPECT_EQ(s[2], 0.0);
    // Frobenius norm is kept by orthogonal transformations on both sides.
    double f0 = 0, f1 = 0;
    for (int i = 0; i < n * n; ++i) f0 += g[i] * g[i], f1 += a[i] * a[i];
    EXPECT_NEAR(f0, f1, 1e-12);
}

}  // namespace
}  // namespace orv::num1
