#include "numlib/routines2/devesf.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "numlib/blas_lapack.h"
#include "numlib/routines2/dsvrgn.h"
#include "numlib/routines2/dunif.h"
#include "numlib/routines2/erset.h"
#include "numlib/routines2/umach.h"
#include "runtime/io_error.h"
#include "runtime/units.h"
#include "num2_fixture.h"

namespace orv::num2 {
namespace {

using Matrix = std::vector<double>;
using Records = std::vector<std::string>;
const double kEps = std::ldexp(1.0, -52);

class SymmetricEigen : public Num2Fixture {
protected:
    void SetUp() override {
        Num2Fixture::SetUp();
        SETSED(2024);
    }
};

struct Result {
    Matrix eval, evec;
};

Result solve(int n, int nevec, Matrix& a, bool small) {
    Result r{Matrix(nevec), Matrix(n * nevec)};
    DEVESF(n, nevec, a, n, small, r.eval, r.evec, n);
    return r;
}

// All eigenvalues, ascending, from LAPACK.
Matrix oracle(int n, Matrix a) {
    Matrix w(n), z(n * n), work(26 * n);
    std::vector<int> isuppz(2 * n), iwork(10 * n);
    int m = 0, info = 0, lwork = 26 * n, liwork = 10 * n, idum = 0;
    double ddum = 0.0, abstol = 0.0;
    dsyevr_("N", "A", "L", &n, a.data(), &n, &ddum, &ddum, &idum, &idum, &abstol, &m, w.data(), z.data(), &n,
            isuppz.data(), work.data(), &lwork, iwork.data(), &liwork, &info, 1, 1, 1);
    EXPECT_EQ(info, 0);
    return w;
}

Matrix random_symmetric(int n, std::mt19937& gen) {
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    Matrix a(n * n);
    for (int j = 0; j < n; ++j)
        for (int i = j; i < n; ++i) a[i + j * n] = a[j + i * n] = u(gen);
    return a;
}

// Q diag(values) Q' with a random orthogonal Q (Gram-Schmidt of random columns).
Matrix with_spectrum(const Matrix& values, std::mt19937& gen) {
    const int n = static_cast<int>(values.size());
    std::normal_distribution<double> g;
    Matrix q(n * n);
    for (double& v : q) v = g(gen);
    for (int j = 0; j < n; ++j) {
        for (int k = 0; k < j; ++k) {
            double d = 0.0;
            for (int i = 0; i < n; ++i) d += q[i + k * n] * q[i + j * n];
            for (int i = 0; i < n; ++i) q[i + j * n] -= d * q[i + k * n];
        }
        double s = 0.0;
        for (int i = 0; i < n; ++i) s += q[i + j * n] * q[i + j * n];
        for (int i = 0; i < n; ++i) q[i + j * n] /= std::sqrt(s);
    }
    Matrix a(n * n, 0.0);
    for (int j = 0; j < n; ++j)
        for (int i = 0; i <= j; ++i) {
            double s = 0.0;
            for (int k = 0; k < n; ++k) s += q[i + k * n] * values[k] * q[j + k * n];
            a[i + j * n] = a[j + i * n] = s;
        }
    return a;
}

// Eigenvalues against the oracle (the NEVEC largest or smallest, ordered by
// decreasing absolute value), residuals, orthonormality and the sign rule.
void check(int n, int nevec, const Matrix& a, bool small, const Result& r) {
    Matrix all = oracle(n, a);
    Matrix chosen(all.begin(), all.end());
    if (!small) std::reverse(chosen.begin(), chosen.end());
    chosen.resize(nevec);
    double norm = 0.0;
    for (int j = 0; j < n; ++j) {
        double s = 0.0;
        for (int i = 0; i < n; ++i) s += std::fabs(a[i + j * n]);
        norm = std::max(norm, s);
    }
    const double tol = 8.0 * kEps * std::max(norm, 1e-300);
    std::vector<bool> used(nevec, false);
    for (int j = 0; j < nevec; ++j) {
        if (j > 0) {
            EXPECT_GE(std::fabs(r.eval[j - 1]), std::fabs(r.eval[j]));
        }
        int best = -1;  // the nearest unused chosen value
        for (int k = 0; k < nevec; ++k) {
            if (!used[k] && (best < 0 || std::fabs(chosen[k] - r.eval[j]) < std::fabs(chosen[best] - r.eval[j]))) {
                best = k;
            }
        }
        used[best] = true;
        EXPECT_NEAR(r.eval[j], chosen[best], tol) << "eigenvalue " << j;
        const double* v = &r.evec[j * n];
        double res = 0.0, big = 0.0;
        int first = 0;
        for (int i = 0; i < n; ++i) {
            double s = -r.eval[j] * v[i];
            for (int k = 0; k < n; ++k) s += a[i + k * n] * v[k];
            res = std::max(res, std::fabs(s));
            if (std::fabs(v[i]) > big) big = std::fabs(v[i]), first = i;
        }
        EXPECT_LE(res, 4.0 * n * tol) << "residual " << j;
        EXPECT_GT(v[first], 0.0) << "sign of " << j;
        for (int k = 0; k <= j; ++k) {
            double d = 0.0;
            for (int i = 0; i < n; ++i) d += v[i] * r.evec[i + k * n];
            EXPECT_NEAR(d, k == j ? 1.0 : 0.0, 16.0 * n * kEps);
        }
    }
}

TEST_F(SymmetricEigen, RandomMatricesOfOrdersOneToFifty) {
    std::mt19937 gen(7);
    for (int n = 1; n <= 50; ++n) {
        for (bool small : {false, true}) {
            const int nevec = small ? std::max(1, n / 3) : n;
            SCOPED_TRACE(::testing::Message() << "n=" << n << " small=" << small);
            Matrix a = random_symmetric(n, gen);
            const Matrix given = a;
            const Result r = solve(n, nevec, a, small);
            EXPECT_EQ(a, given);  // full symmetric storage comes back unchanged
            check(n, nevec, given, small, r);
            EXPECT_EQ(LSTERR(), 0);
        }
    }
    EXPECT_TRUE(take().empty());
}

TEST_F(SymmetricEigen, ChosenSpectra) {
    std::mt19937 gen(3);
    const struct {
        Matrix values;
        int nevec;
        bool small;
        Matrix expected;  // EVAL in the order returned
    } cases[] = {
        {{4, 1, -3, -5}, 3, false, {4, -3, 1}},  // chosen algebraically, ordered by magnitude
        {{4, 1, -3, -5}, 2, true, {-5, -3}},
        {{3, 3, 1, 1, -2, 3}, 6, false, {3, 3, 3, -2, 1, 1}},
        {{1e3, 2e2, -7e2, 1, 0.5}, 5, false, {1e3, -7e2, 2e2, 1, 0.5}},
        {{0.3, 0.1, -0.2}, 3, false, {0.3, -0.2, 0.1}},
        {{1.5, 1.25, 1.0, 0.5}, 2, false, {1.5, 1.25}},
        {{1e-310, 3e-310, -2e-310}, 3, false, {3e-310, -2e-310, 1e-310}},
    };
    for (const auto& c : cases) {
        const int n = static_cast<int>(c.values.size());
        SCOPED_TRACE(::testing::Message() << "n=" << n << " first=" << c.values[0]);
        Matrix a = with_spectrum(c.values, gen);
        const Matrix given = a;
        const Result r = solve(n, c.nevec, a, c.small);
        double scale = 0.0;
        for (double v : c.values) scale = std::max(scale, std::fabs(v));
        for (int j = 0; j < c.nevec; ++j) EXPECT_NEAR(r.eval[j], c.expected[j], 1e-12 * scale);
        if (scale > 1e-300) check(n, c.nevec, given, c.small, r);
        EXPECT_EQ(LSTERR(), 0);
    }
}

TEST_F(SymmetricEigen, ZeroDiagonalAndTinyCases) {
    // Zero matrix: zero eigenvalues, an orthonormal set from the fixed
    // start vectors, the same on every call, the caller's stream untouched.
    SETSED(4242);
    const double next = DUNIF();
    SETSED(4242);
    Matrix z(36, 0.0);
    const Result first = solve(6, 4, z, false);
    EXPECT_EQ(DUNIF(), next);
    const Result again = solve(6, 4, z, false);
    EXPECT_EQ(first.evec, again.evec);
    EXPECT_EQ(first.eval, Matrix(4, 0.0));
    check(6, 4, z, false, first);

    // Diagonal with distinct elements: exact eigenvalues, unit vectors.
    Matrix d{2.0, 0, 0, 0, -7.0, 0, 0, 0, 5.0};
    const Result r = solve(3, 3, d, false);
    EXPECT_EQ(r.eval, (Matrix{-7.0, 5.0, 2.0}));
    const int where[3] = {1, 2, 0};
    for (int j = 0; j < 3; ++j) EXPECT_NEAR(r.evec[where[j] + 3 * j], 1.0, 1e-15);

    Matrix one{-2.5};
    const Result r1 = solve(1, 1, one, false);
    EXPECT_EQ(r1.eval[0], -2.5);
    EXPECT_EQ(r1.evec[0], 1.0);

    // Two equal largest elements of opposite sign: the first is positive.
    Matrix two{1.0, 1.0, 1.0, 1.0};
    const Result r2 = solve(2, 2, two, false);
    EXPECT_NEAR(r2.eval[0], 2.0, 4 * kEps);
    EXPECT_NEAR(r2.eval[1], 0.0, 4 * kEps);
    EXPECT_GT(r2.evec[2], 0.0);
    EXPECT_NEAR(r2.evec[2], -r2.evec[3], 4 * kEps);
    EXPECT_EQ(LSTERR(), 0);
}

TEST_F(SymmetricEigen, EqualMagnitudesFollowTheSortOfEqualKeys) {
    // Diagonal, so the eigenvalues are exact and the magnitudes tie exactly.
    Matrix a(25, 0.0);
    const Matrix values{2, 1, -2, 0.5, -1};
    for (int i = 0; i < 5; ++i) a[i * 6] = values[i];
    const Result r = solve(5, 5, a, false);
    // The selection is descending (2, 1, 0.5, -1, -2); the keys -|value| are
    // sorted with the positions carried along.
    Matrix key{-2, -1, -0.5, -1, -2}, sorted(5);
    std::vector<int> perm{1, 2, 3, 4, 5};
    DSVRGP(5, key, sorted, perm);
    const Matrix selection{2, 1, 0.5, -1, -2};
    for (int j = 0; j < 5; ++j) EXPECT_NEAR(r.eval[j], selection[perm[j] - 1], 1e-13);
}

TEST_F(SymmetricEigen, EngineUseLargestPairsOfACorrelationMatrix) {
    // Correlations of a three-factor model with unique variances.
    const int nvar = 12, nfac = 3;
    std::mt19937 gen(21);
    std::uniform_real_distribution<double> u(0.3, 0.8);
    Matrix load(nvar * nfac, 0.0);
    for (int i = 0; i < nvar; ++i) load[i + (i % nfac) * nvar] = u(gen);
    Matrix r(nvar * nvar);
    for (int j = 0; j < nvar; ++j)
        for (int i = 0; i < nvar; ++i) {
            double s = i == j ? 1.0 : 0.0;
            if (i != j)
                for (int k = 0; k < nfac; ++k) s += load[i + k * nvar] * load[j + k * nvar];
            r[i + j * nvar] = s;
        }
    const Matrix given = r;
    const Result res = solve(nvar, nfac, r, false);
    check(nvar, nfac, given, false, res);
    EXPECT_EQ(r, given);
    EXPECT_EQ(LSTERR(), 0);
}

TEST_F(SymmetricEigen, ScalingByPowersOfTwo) {
    const struct {
        double top, scinv;
    } cases[] = {{1.5, 1.0}, {0.3, 0.5}, {1000.0, 512.0}, {-1000.0, 512.0}};
    for (const auto& c : cases) {
        Matrix a{c.top, 0.1, 0.2, 0.1, 0.05, 0.0, 0.2, 0.0, 0.01};
        Matrix d(3), e(3), e2(3);
        double scinv = 0.0;
        DE6CSF(3, a, 3, d, e, e2, a, 3, false, scinv);
        EXPECT_EQ(scinv, c.scinv);
        EXPECT_EQ(a[0], c.top);  // the diagonal is kept
        EXPECT_EQ(e[0], 0.0);
        EXPECT_GE(a[1], -2.0);  // reflection vector u(1) in [-2, -1]
        EXPECT_LE(a[1], -1.0);
    }
    Matrix zero(4, 0.0), d(2), e(2), e2(2);
    double scinv = 1.0;
    DE6CSF(2, zero, 2, d, e, e2, zero, 2, false, scinv);
    EXPECT_EQ(scinv, 0.0);
}

TEST_F(SymmetricEigen, ArgumentErrorsAndTheirTexts) {
    ERSET(0, 1, 0);
    Matrix a(9, 0.0), eval(4), evec(12);
    DEVESF(0, 1, a, 3, false, eval, evec, 3);
    EXPECT_EQ(take(), (Records{"", " *** TERMINAL ERROR 1 from DEVESF.  The argument N = 0.  The order of the",
                               " ***          matrix must be at least 1. "}));
    // Every bad argument is reported, in order, from the worker.
    DEVESF(3, 4, a, 2, false, eval, evec, 2);
    const Records r = take();
    std::vector<std::string> heads;
    for (const std::string& s : r)
        if (s.rfind(" *** TERMINAL", 0) == 0) heads.push_back(s);
    EXPECT_EQ(Records(r.begin() + 1, r.begin() + 4),
              (Records{" *** TERMINAL ERROR 2 from DE5ESF.  The argument NEVEC = 4.  The number of",
                       " ***          largest/smallest eigenvalues to be calculated must be greater ",
                       " ***          than 0 and less than or equal to N = 3."}));
    EXPECT_EQ(r[7], "     DE5ESF                               5           2    (Called internally)");
    EXPECT_EQ(r[12], " ***          dimension of the matrix must be at least equal to the order of ");
    EXPECT_EQ(r[22], " ***          dimension of the eigenvector matrix must be at least equal to ");
    EXPECT_EQ(heads, (std::vector<std::string>{
                         " *** TERMINAL ERROR 2 from DE5ESF.  The argument NEVEC = 4.  The number of",
                         " *** TERMINAL ERROR 3 from DE5ESF.  The argument LDA = 2.  The leading",
                         " *** TERMINAL ERROR 4 from DE5ESF.  The argument LDEVEC = 2.  The leading"}));
    EXPECT_EQ(LSTERR(), 0);
    DEVESF(3, 0, a, 3, false, eval, evec, 3);
    EXPECT_EQ(take().at(1).substr(0, 40), " *** TERMINAL ERROR 2 from DE5ESF.  The ");
    // Too short an array is refused before it is touched.
    EXPECT_THROW(DEVESF(4, 1, a, 4, false, eval, evec, 4), std::length_error);
}

#if !defined(__SANITIZE_ADDRESS__)
TEST_F(SymmetricEigen, WorkStorageThatCannotBeObtained) {
    ERSET(0, 1, 0);
    Matrix a(1), eval(1), evec(1);
    DEVESF(INT_MAX, 1, a, 1, false, eval, evec, 1);
    const Records r = take();
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[1], " *** TERMINAL ERROR 2 from DEVESF.  The required storage cannot be allocated.");
    EXPECT_EQ(r[2], " ***          The specified N may be too large, where N = 2147483647.");
}
#endif

TEST_F(SymmetricEigen, WarningsOfTheTridiagonalStages) {
    const std::string not_converged =
        "The iteration for the eigenvalue failed  to converge in 100 iterations before               deflating ";
    EXPECT_EQ(not_converged.size(), 102u);
    // Non-finite input: defined NaN results and the convergence warning.
    for (double bad : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
        Matrix a{1.0, bad, 0.0, bad, 2.0, 0.5, 0.0, 0.5, 3.0};
        Matrix eval(2, 0.0), evec(6, 0.0);
        DEVESF(3, 2, a, 3, false, eval, evec, 3);
        EXPECT_EQ(LSTERR(), 1);
        for (double v : eval) EXPECT_TRUE(std::isnan(v));
        for (double v : evec) EXPECT_TRUE(std::isnan(v));
        const Records r = take();
        ASSERT_GE(r.size(), 2u);
        EXPECT_EQ(r[1].substr(0, 64), " *** WARNING  ERROR 1 from DEVESF.  The iteration for the eigenv");
    }
    // A value that is no eigenvalue: the Rayleigh quotient disagrees.
    Matrix d{1.0, 2.0, 3.0}, e(3, 0.0), w(21), evec(6);
    DE6ESF(3, 1, Matrix{1.5}, evec, 3, d, e, w);
    EXPECT_EQ(LSTERR(), 2);
    EXPECT_EQ(take().at(1), " *** WARNING  ERROR 2 from DE6ESF.  Inverse iteration did not converge.");
    // The same eigenvalue twice: the second vector cannot be orthogonal.
    const Matrix t{1.0, 0.5, 0.0, 0.5, 2.0, 0.5, 0.0, 0.5, 3.0};
    const double top = oracle(3, t)[2];
    Matrix e_off{0.0, 0.5, 0.5};
    DE6ESF(3, 2, Matrix{top, top}, evec, 3, d, e_off, w);
    EXPECT_EQ(LSTERR(), 3);
    EXPECT_EQ(take().at(1), " *** WARNING  ERROR 3 from DE6ESF.  The eigenvectors have lost orthogonality.");
}

}  // namespace
}  // namespace orv::num2
