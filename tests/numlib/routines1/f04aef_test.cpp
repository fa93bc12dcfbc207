#include "numlib/routines1/f04aef.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "numlib/blas_lapack.h"
#include "numlib/routines1/errexit.h"
#include "runtime/io_error.h"
#include "runtime/units.h"
#include "support/fake_host.h"

namespace orv::num1 {
namespace {

using Matrix = std::vector<double>;

// One call of F04AEF on an N x N system with M right-hand sides, every
// array exactly as large as its leading dimension N needs.
struct System {
    int n, m;
    Matrix a, b, c, w, aa, bb;
    int ifail = 1;
    System(int n_, int m_, Matrix a_, Matrix b_)
        : n(n_), m(m_), a(std::move(a_)), b(std::move(b_)), c(n * m, -7.0), w(n), aa(n * n), bb(n * m) {}
    int solve(int entry = 1) {
        ifail = entry;
        const int ld = std::max(1, n);
        F04AEF(a, ld, b, ld, n, m, c, ld, w, aa, ld, bb, ld, ifail);
        return ifail;
    }
};

Matrix random_matrix(std::mt19937& gen, int rows, int cols) {
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    Matrix m(rows * cols);
    for (double& v : m) v = u(gen);
    return m;
}

TEST(F04AEF, ExactSystemInTwoIterations) {
    // Column-major; solutions (1, -2, 3) and (0.5, 0, -4), representable, so
    // the second residual is exactly zero.  Row 3 has the largest first
    // element relative to its length, so it is the first pivot.
    System s(3, 2, {2, 1, 4, 1, 3, 0, 1, 2, 1}, {3, 1, 7, -3, -7.5, -2});
    const double x[] = {1, -2, 3, 0.5, 0, -4};
    const Matrix a0 = s.a, b0 = s.b;
    ASSERT_EQ(s.solve(0), 0);
    EXPECT_EQ(s.c, Matrix(x, x + 6));
    EXPECT_EQ(s.bb, Matrix(6, 0.0));
    EXPECT_EQ(s.a, a0);
    EXPECT_EQ(s.b, b0);
    EXPECT_EQ(s.w[0], 3.0);

    // Iterations: the first correction is the whole solution, so a non-zero
    // column never converges in it; a zero right-hand side converges at once.
    int k = -1, ifail = 1;
    Matrix x2(6), work(6);
    F04AHF(3, 2, s.a, 3, s.aa, 3, s.w, s.b, 3, std::ldexp(1.0, -53), x2, 3, work, 3, k, ifail);
    EXPECT_GE(k, 2);
    EXPECT_LE(k, 3);
    System swap(2, 1, {0, 1, 1, 0}, {3, 5});
    ASSERT_EQ(swap.solve(), 0);
    F04AHF(2, 1, swap.a, 2, swap.aa, 2, swap.w, swap.b, 2, 1e-16, x2, 2, work, 2, k, ifail);
    EXPECT_EQ(k, 2);
    EXPECT_EQ(x2[0], 5.0);
    const Matrix zero(3, 0.0);
    F04AHF(3, 1, s.a, 3, s.aa, 3, s.w, zero, 3, 1e-16, x2, 3, work, 3, k, ifail);
    EXPECT_EQ(k, 1);
    EXPECT_EQ(ifail, 0);
    // An interchange stored as 2.9999999 still names row 3.
    Matrix p = s.w;
    p[0] = 2.9999999;
    F04AHF(3, 2, s.a, 3, s.aa, 3, p, s.b, 3, std::ldexp(1.0, -53), x2, 3, work, 3, k, ifail);
    EXPECT_EQ(x2, Matrix(x, x + 6));
    p[0] = 4.0;
    EXPECT_THROW(F04AHF(3, 2, s.a, 3, s.aa, 3, p, s.b, 3, 1e-16, x2, 3, work, 3, k, ifail), std::out_of_range);
}

TEST(F04AEF, DoubleLengthResidualsRecoverWhatConditioningCosts) {
    // Consecutive Fibonacci numbers: determinant -1, condition about 1e10,
    // an exactly representable solution.  Elimination loses some ten digits;
    // refinement with double-length residuals gets them back.
    const double f25 = 75025, f24 = 46368, f23 = 28657;
    const double x0 = 1.0 + std::ldexp(1.0, -20), x1 = 3.0;
    System s(2, 1, {f25, f24, f24, f23}, {f25 * x0 + f24 * x1, f24 * x0 + f23 * x1});
    ASSERT_EQ(s.solve(), 0);
    EXPECT_NEAR(s.c[0], x0, 4e-16);
    EXPECT_NEAR(s.c[1], x1, 1e-15);
}

TEST(F04AEF, PivotsOnRowsScaledToUnitLength) {
    // Plain partial pivoting would take row 2 in both; relative to its row
    // length, row 1 wins the first and loses the second.
    System first(2, 1, {1, 10, 0, 1000}, {1, 1010});
    ASSERT_EQ(first.solve(), 0);
    EXPECT_EQ(first.w[0], 1.0);
    System second(2, 1, {1, 10, 1000, 1}, {1001, 11});
    ASSERT_EQ(second.solve(), 0);
    EXPECT_EQ(second.w[0], 2.0);
    EXPECT_NEAR(second.c[0], 1.0, 1e-15);
    EXPECT_NEAR(second.c[1], 1.0, 1e-15);
}

TEST(F04AEF, AgreesWithLapackAndBlockingKeepsThePivots) {
    std::mt19937 gen(4711);
    for (int n : {1, 2, 7, 33, 70}) {  // 33 and 70 span more than one panel
        SCOPED_TRACE(n);
        const int m = 3;
        System s(n, m, random_matrix(gen, n, n), random_matrix(gen, n, m));
        ASSERT_EQ(s.solve(), 0);
        Matrix lu = s.a, x = s.b;
        std::vector<int> ipiv(n);
        int info = 0;
        dgesv_(&n, &m, lu.data(), &n, ipiv.data(), x.data(), &n, &info);
        ASSERT_EQ(info, 0);
        for (int i = 0; i < n * m; ++i) EXPECT_NEAR(s.c[i], x[i], 1e-12 * (1.0 + std::abs(x[i])));

        // Column by column and in panels of 5: the same interchanges, and the
        // factors reproduce the interchanged matrix.
        Matrix plain = s.a, w(n);
        ASSERT_EQ(detail::lu_factorise(n, plain, n, w, 1), 0);
        Matrix blocked = s.a, wb(n);
        ASSERT_EQ(detail::lu_factorise(n, blocked, n, wb, 5), 0);
        EXPECT_EQ(w, wb);
        EXPECT_EQ(w, s.w);
        Matrix pa = s.a;
        for (int i = 0; i < n; ++i) {
            const int p = static_cast<int>(w[i] + 0.5) - 1;
            for (int j = 0; j < n; ++j) std::swap(pa[i + j * n], pa[p + j * n]);
        }
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) {
                double sum = 0.0;
                for (int k = 0; k <= std::min(i, j); ++k)
                    sum += blocked[i + k * n] * (k == j ? 1.0 : blocked[k + j * n]);
                EXPECT_NEAR(sum, pa[i + j * n], 1e-13 * n);
                EXPECT_NEAR(blocked[i + j * n], plain[i + j * n], 1e-12);
            }
    }
}

TEST(F04AEF, SingularAndIllConditioned) {
    const int kSingular = 1, kIll = 2;
    struct Case {
        const char* what;
        int n;
        Matrix a;
        int error;
    } cases[] = {
        {"zero row", 3, {1, 0, 2, 3, 0, 1, 4, 0, 5}, kSingular},
        {"row 3 = row 1 + row 2", 3, {1, 2, 3, 4, 5, 9, 7, 8, 15}, kSingular},
        {"pivot 1e-15 below 8 eps", 2, {1, 1, 1, 1 + 1e-15}, kSingular},
        {"NaN element", 2, {1, std::nan(""), 0, 1}, kSingular},
        {"infinite element", 2, {1, 0, std::numeric_limits<double>::infinity(), 1}, kSingular},
        {"Hilbert matrix of order 13", 13, {}, kIll},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.a.empty())
            for (int j = 0; j < c.n; ++j)
                for (int i = 0; i < c.n; ++i) c.a.push_back(1.0 / (i + j + 1));
        System s(c.n, 1, c.a, Matrix(c.n, 1.0));
        EXPECT_EQ(s.solve(), c.error);
        if (c.error == kSingular) {
            EXPECT_EQ(s.c, Matrix(c.n, -7.0));  // C is not set
        }
    }
    // A right-hand side that cannot converge fails instead of passing a NaN
    // off as a solution.
    System nan_rhs(2, 1, {2, 1, 1, 3}, {1, std::nan("")});
    EXPECT_EQ(nan_rhs.solve(), kIll);
    // Rows whose squares overflow or underflow are still measured.
    for (double scale : {1e200, 1e-170}) {
        System s(2, 1, {3 * scale, 1 * scale, 1 * scale, 2 * scale}, {4 * scale, 3 * scale});
        ASSERT_EQ(s.solve(), 0) << scale;
        EXPECT_NEAR(s.c[0], 1.0, 1e-15);
        EXPECT_NEAR(s.c[1], 1.0, 1e-15);
    }
}

TEST(F04AEF, EmptyProblems) {
    System none(0, 2, {}, {});
    EXPECT_EQ(none.solve(0), 0);
    // M = 0 still factorises, and still finds a singular matrix.
    System factor_only(2, 0, {0, 1, 1, 0}, {});
    EXPECT_EQ(factor_only.solve(), 0);
    EXPECT_EQ(factor_only.w[0], 2.0);
    EXPECT_EQ(factor_only.aa, (Matrix{1, 0, 0, 1}));
    System singular(2, 0, {1, 2, 2, 4}, {});
    EXPECT_EQ(singular.solve(), 1);
}

TEST(F04AEF, ArgumentErrorsAndRecords) {
    testing::FakeHost host;
    rt::set_host(&host);
    int six = 6;
    ERRUNIT(1, six);
    struct Case {
        int n, m, ia, ib, ic, iaa, ibb;
        std::string record;
    } cases[] = {
        {-1, 1, 0, 0, 0, 0, 0, " ** On entry, N.lt.0: N =        -1"},
        {2, -3, 0, 2, 2, 2, 2, " ** On entry, M.lt.0: M =        -3"},
        {2, 1, 1, 2, 2, 2, 2, " ** On entry, IA.lt.max(1,N): IA =         1, N =         2"},
        {0, 1, 1, 0, 0, 0, 0, " ** On entry, IB.lt.max(1,N): IB =         0, N =         0"},
        {3, 1, 3, 3, 2, 3, 3, " ** On entry, IC.lt.max(1,N): IC =         2, N =         3"},
        {3, 1, 3, 3, 3, 1, 1, " ** On entry, IAA.lt.max(1,N): IAA =         1, N =         3"},
        {3, 1, 3, 3, 3, 3, -5, " ** On entry, IBB.lt.max(1,N): IBB =        -5, N =         3"},
    };
    Matrix big(64, 1.0), out(64);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.record);
        host.records.clear();
        int ifail = -1;
        F04AEF(big, c.ia, big, c.ib, c.n, c.m, out, c.ic, out, out, c.iaa, out, c.ibb, ifail);
        EXPECT_EQ(ifail, 3);
        EXPECT_EQ(host.records, (std::vector<std::string>{
                                    c.record,
                                    " ** ABNORMAL EXIT from NUM Library routine F04AEF: IFAIL =     3",
                                    " ** NUM soft failure - control returned",
                                }));
        ifail = 0;
        EXPECT_THROW(F04AEF(big, c.ia, big, c.ib, c.n, c.m, out, c.ic, out, out, c.iaa, out, c.ibb, ifail),
                     rt::Stop);
    }
    // The failures of the computation carry one record each.
    host.records.clear();
    System singular(2, 1, {1, 2, 2, 4}, {1, 1});
    singular.solve(-13);
    System ill(13, 1, {}, Matrix(13, 1.0));
    for (int j = 0; j < 13; ++j)
        for (int i = 0; i < 13; ++i) ill.a.push_back(1.0 / (i + j + 1));
    ill.solve(-13);
    EXPECT_EQ(host.records, (std::vector<std::string>{" ** Matrix A is approximately singular.",
                                                      " ** Matrix A is too ill-conditioned."}));
    rt::close_all_units();
    rt::set_host(nullptr);

    // Arrays shorter than their dimensions say are never touched.
    Matrix small(3), w(2), w1(1);
    int ifail = 1;
    EXPECT_THROW(F04AEF(small, 2, big, 2, 2, 1, out, 2, w, out, 2, out, 2, ifail), std::length_error);
    EXPECT_THROW(F04AEF(big, 2, big, 2, 2, 1, out, 2, w1, out, 2, out, 2, ifail), std::length_error);
}

TEST(X03AAF, DoubleLengthInnerProduct) {
    // Integer terms make the exact sum known: D1 + D2 must equal it exactly.
    std::mt19937_64 gen(99);
    std::uniform_int_distribution<std::int64_t> u(-(1LL << 30), 1LL << 30);
    Matrix a(2 * 100), b(100);
    __int128 exact = 0;
    for (int k = 0; k < 100; ++k) {
        const std::int64_t x = u(gen), y = u(gen);
        a[2 * k] = static_cast<double>(x);
        b[k] = static_cast<double>(y);
        exact += static_cast<__int128>(x) * y;
    }
    const double c1 = 12345.0;
    exact += 12345;
    double d1 = 0, d2 = 0;
    int ifail = 0;
    X03AAF(a, 199, b, 100, 100, 2, 1, c1, 0.0, d1, d2, -1, ifail);  // -1: the library's true
    EXPECT_EQ(ifail, 0);
    EXPECT_EQ(static_cast<__int128>(d1) + static_cast<__int128>(d2), exact);
    EXPECT_EQ(d1, static_cast<double>(exact));

    // Cancellation: working precision loses the 1 that double length keeps.
    const Matrix big{1e16, 1.0, -1e16}, ones{1, 1, 1};
    X03AAF(big, 3, ones, 3, 3, 1, 1, 0.0, 0.0, d1, d2, 1, ifail);
    EXPECT_EQ(d1, 1.0);
    X03AAF(big, 3, ones, 3, 3, 1, 1, 0.0, 5.0, d1, d2, 0, ifail);  // C2 ignored
    EXPECT_EQ(d1, 0.0);
    EXPECT_EQ(d2, 0.0);
    // N = 0: the initial pair, split into sum and error.
    X03AAF(big, 3, ones, 3, 0, 1, 1, 1.0, std::ldexp(1.0, -60), d1, d2, 1, ifail);
    EXPECT_EQ(d1, 1.0);
    EXPECT_EQ(d2, std::ldexp(1.0, -60));

    // Step errors, then size errors (which replace them); D1, D2 untouched.
    const struct {
        int isizea, isizeb, n, sa, sb, code;
    } errors[] = {{3, 3, 3, 0, 1, 1}, {3, 3, 3, 1, -2, 1}, {4, 3, 3, 2, 1, 2}, {3, 2, 3, 1, 1, 2}, {0, 3, 3, 0, 1, 2}};
    for (const auto& e : errors) {
        d1 = d2 = 42.0;
        ifail = 1;
        X03AAF(big, e.isizea, ones, e.isizeb, e.n, e.sa, e.sb, 0.0, 0.0, d1, d2, 1, ifail);
        EXPECT_EQ(ifail, e.code);
        EXPECT_EQ(d1, 42.0);
    }
}

}  // namespace
}  // namespace orv::num1
