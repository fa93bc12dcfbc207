#include "numlib/routines2/dfharr.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "numlib/routines2/num2_test_support.h"

namespace orv::num2 {
namespace {

using namespace test;
using HarrisKaiser = Num2Test;

struct Rotation {
    Matrix b, t, fcor;
};

Rotation rotate(int nvar, int nf, const Matrix& a, const Matrix& wt, double c, int maxit = 1000, double eps = 1.0E-12,
                int norm = 1, double w = 1.0) {
    Rotation r{Matrix(nvar * nf), Matrix(nf * nf), Matrix(nf * nf)};
    DFHARR(nvar, nf, a, nvar, norm, maxit, w, c, eps, wt, r.b, nvar, r.t, nf, r.fcor, nf);
    return r;
}

// B = A T; FCOR = T^-1 T^-T, symmetric with a unit diagonal.
void expect_invariants(int nvar, int nf, const Matrix& a, const Rotation& r, double tol) {
    EXPECT_LT(max_diff(multiply(nvar, nf, nf, a, r.t), r.b), tol);
    EXPECT_LT(max_diff(inverse_gram(nf, r.t), r.fcor), tol);
    EXPECT_EQ(r.fcor, transpose(nf, nf, r.fcor));
    for (int i = 0; i < nf; ++i) EXPECT_NEAR(r.fcor[i + i * nf], 1.0, 1.0E-14);
}

Matrix transpose_times(int m, int n, const Matrix& x) { return multiply(n, m, n, transpose(m, n, x), x); }

// Against R: the orthogonal step is the Varimax of the weighted, scaled
// loadings (stats::varimax), and B and FCOR are the oblique solution built
// from it.
TEST_F(HarrisKaiser, MatchesVarimaxOfTheWeightedScaledLoadings) {
    std::ifstream in(ORV_TEST_DATA_DIR "/numlib/golden/harris_kaiser_reference.txt");
    ASSERT_TRUE(in) << "missing golden file";
    std::string line, word;
    std::getline(in, line);
    auto read = [&](int rows, int cols, const char* label) {
        in >> word;
        EXPECT_EQ(word, label);
        Matrix m(rows * cols);
        for (int i = 0; i < rows; ++i)
            for (int j = 0; j < cols; ++j) in >> m[i + j * rows];
        return m;
    };
    int cases = 0;
    while (in >> word && word == "case") {
        std::string name;
        int nvar = 0, nf = 0;
        double c = 0.0;
        in >> name >> nvar >> nf >> c;
        SCOPED_TRACE(name + " C " + std::to_string(c));
        const Matrix a = read(nvar, nf, "A");
        const Matrix wt = read(nvar, 1, "WT");
        const Matrix scaled = read(nvar, nf, "SCALED");
        const Matrix varimax = read(nvar, nf, "VARIMAX");
        const Matrix bref = read(nvar, nf, "B");
        const Matrix phiref = read(nf, nf, "PHI");

        const Rotation r = rotate(nvar, nf, a, wt, c);
        EXPECT_EQ(LSTERR(), 0);
        expect_invariants(nvar, nf, a, r, 1.0E-12);
        expect_same_solution(nvar, nf, r.b, r.fcor, bref, phiref, 1.0E-6);

        // The orthogonal rotation inside T: T = S T_o D with S the column
        // scaling and D diagonal, so the columns of S^-1 T normalised are
        // those of T_o.
        Matrix to = r.t;
        for (int j = 0; j < nf; ++j) {
            double s = 0.0;
            for (int i = 0; i < nvar; ++i) s += a[i + j * nvar] * a[i + j * nvar] / wt[i];
            for (int k = 0; k < nf; ++k) to[j + k * nf] /= std::pow(s, (c - 1.0) / 2.0);
        }
        for (int k = 0; k < nf; ++k) {
            double len = 0.0;
            for (int j = 0; j < nf; ++j) len += to[j + k * nf] * to[j + k * nf];
            for (int j = 0; j < nf; ++j) to[j + k * nf] /= std::sqrt(len);
        }
        EXPECT_LT(max_diff(transpose_times(nf, nf, to), identity(nf)), 1.0E-12);
        expect_same_solution(nvar, nf, multiply(nvar, nf, nf, scaled, to), {}, varimax, {}, 1.0E-6);

        // The orthomax step on its own.
        Matrix b(nvar * nf), t(nf * nf), wkv(nvar);
        DF2OTA(nvar, nf, scaled, nvar, 1, 1000, 1.0, 1.0E-12, b, nvar, t, nf, wkv);
        EXPECT_LT(max_diff(transpose_times(nf, nf, t), identity(nf)), 1.0E-13);
        EXPECT_LT(max_diff(multiply(nvar, nf, nf, scaled, t), b), 1.0E-13);
        expect_same_solution(nvar, nf, b, {}, varimax, {}, 1.0E-6);
        ++cases;
    }
    EXPECT_EQ(cases, 9);
    EXPECT_EQ(window(), "");
}

// C = 1 keeps the column lengths: T is orthogonal and FCOR = I whatever
// the weights.  Other constants give oblique factors.
TEST_F(HarrisKaiser, ConstantOneIsOrthogonal) {
    std::mt19937 gen(17);
    std::uniform_real_distribution<double> ud(0.05, 2.0);
    for (int nf : {2, 3, 4}) {
        const int nvar = 3 * nf + 1;
        const Matrix a = random_matrix(nvar, nf, gen, 0.5);
        Matrix wt(nvar);
        for (double& v : wt) v = ud(gen);
        for (int norm : {0, 1}) {
            const Rotation r = rotate(nvar, nf, a, wt, 1.0, 1000, 1.0E-10, norm);
            EXPECT_LT(max_diff(transpose_times(nf, nf, r.t), identity(nf)), 1.0E-12);
            EXPECT_LT(max_diff(r.fcor, identity(nf)), 1.0E-12);
            expect_invariants(nvar, nf, a, r, 1.0E-12);
            for (double c : {0.0, 0.5}) {
                const Rotation o = rotate(nvar, nf, a, wt, c, 1000, 1.0E-10, norm);
                expect_invariants(nvar, nf, a, o, 1.0E-11);
                EXPECT_GT(max_diff(o.fcor, identity(nf)), 1.0E-3);
            }
        }
    }
    EXPECT_EQ(window(), "");
}

// Weights below 1E-12 divide by 1E-6; a negative weight (a Heywood case)
// or a NaN weight takes the same floor instead of spoiling every loading.
TEST_F(HarrisKaiser, SmallNegativeAndNaNWeightsTakeTheFloor) {
    std::mt19937 gen(23);
    const int nvar = 9, nf = 3;
    const Matrix a = random_matrix(nvar, nf, gen, 0.5);
    Matrix wt(nvar, 0.6);
    wt[2] = 0.0;
    const Rotation zero = rotate(nvar, nf, a, wt, 0.5);
    expect_invariants(nvar, nf, a, zero, 1.0E-10);
    for (double weight : {1.0E-13, -0.04, std::numeric_limits<double>::quiet_NaN()}) {
        wt[2] = weight;
        const Rotation r = rotate(nvar, nf, a, wt, 0.5);
        EXPECT_EQ(r.b, zero.b) << weight;
        EXPECT_EQ(r.t, zero.t) << weight;
        EXPECT_EQ(r.fcor, zero.fcor) << weight;
    }
    wt[2] = 1.0E-11;  // above the floor: a different row divisor
    EXPECT_NE(rotate(nvar, nf, a, wt, 0.5).t, zero.t);
}

TEST_F(HarrisKaiser, OneFactorNeedsNoRotation) {
    const Matrix a = {0.7, -0.2, 0.9, 0.4};
    const Matrix wt = {0.5, 0.9, 0.2, 0.8};
    for (double c : {0.0, 0.5, 1.0}) {
        const Rotation r = rotate(4, 1, a, wt, c);
        for (int i = 0; i < 4; ++i) EXPECT_NEAR(r.b[i], a[i], 1.0E-15);
        EXPECT_NEAR(r.t[0], 1.0, 1.0E-15);
        EXPECT_NEAR(r.fcor[0], 1.0, 1.0E-15);
    }
    EXPECT_EQ(window(), "");
}

// EPS <= 0 is 0.0001; the iteration limit is a warning with the results
// kept.
TEST_F(HarrisKaiser, ToleranceDefaultAndIterationLimit) {
    std::mt19937 gen(29);
    const int nvar = 12, nf = 3;
    const Matrix a = random_matrix(nvar, nf, gen, 0.5);
    const Matrix wt(nvar, 1.0);
    const Rotation ref = rotate(nvar, nf, a, wt, 0.5, 200, 0.0001);
    for (double eps : {0.0, -3.0}) {
        const Rotation r = rotate(nvar, nf, a, wt, 0.5, 200, eps);
        EXPECT_EQ(r.b, ref.b);
        EXPECT_EQ(r.fcor, ref.fcor);
    }
    EXPECT_EQ(window(), "");

    const Rotation one = rotate(nvar, nf, a, wt, 0.5, 1, 1.0E-10);
    EXPECT_EQ(LSTERR(), 1);
    EXPECT_NE(window().find(squeeze(" *** WARNING  ERROR 1 from DFHARR.  1 iterations without convergence.  "
                                    "Convergence assumed.")),
              std::string::npos)
        << window();
    expect_invariants(nvar, nf, a, one, 1.0E-12);
}

// A zero column (its sum of squares would divide) is left unscaled, and a
// zero row under row normalisation stays zero.
TEST_F(HarrisKaiser, ZeroColumnAndZeroRow) {
    std::mt19937 gen(31);
    const int nvar = 8, nf = 3;
    Matrix a = random_matrix(nvar, nf, gen, 0.5);
    for (int i = 0; i < nvar; ++i) a[i + 2 * nvar] = 0.0;
    for (int j = 0; j < nf; ++j) a[5 + j * nvar] = 0.0;
    const Matrix wt(nvar, 0.7);
    for (double c : {0.0, 0.5, 1.0}) {
        const Rotation r = rotate(nvar, nf, a, wt, c);
        for (double v : r.b) EXPECT_TRUE(std::isfinite(v));
        for (double v : r.fcor) EXPECT_TRUE(std::isfinite(v));
        for (int j = 0; j < nf; ++j) EXPECT_EQ(r.b[5 + j * nvar], 0.0);
        expect_invariants(nvar, nf, a, r, 1.0E-12);
    }
}

TEST_F(HarrisKaiser, ArgumentErrorsLeaveResultsUntouched) {
    struct Case {
        int nvar, nf, lda, ldt, maxit;
        double w, c;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {3, 2, 3, 2, 0, 1.0, 0.5, {"7 from DF2ARR. MAXIT = 0. MAXIT must be 1 or more."}},
        {3, 2, 3, 2, 10, -1.0, 0.5, {"8 from DF2ARR. W = -1.000000000000000D+00. W must be 0.0 or more."}},
        {3, 2, 3, 2, 10, 1.0, 1.5,
         {"9 from DF2ARR. C = 1.500000000000000D+00. C must be greater than or equal 0.0 and less than or equal "
          "to 1.0."}},
        {3, 2, 3, 2, 0, -1.0, -0.5, {"7 from DF2ARR", "8 from DF2ARR", "9 from DF2ARR"}},
        {2, 3, 3, 3, 10, 1.0, 0.5, {"1 from DFHARR. NVAR = 2 and NF = 3. NVAR and NF must be greater than"}},
        {0, 0, 1, 1, 10, 1.0, 0.5, {"1 from DFHARR. NVAR = 0 and NF = 0."}},
        {3, 2, 2, 2, 10, 1.0, 0.5, {"3 from DFHARR. LDA = 2, LDB = 3, LDT = 2, and LDFCOR = 2."}},
    };
    for (const Case& c : cases) {
        host_.records.clear();
        const Matrix a(12, 0.5), wt(4, 1.0);
        Matrix b(16, -7.0), t(16, -7.0), fcor(16, -7.0);
        DFHARR(c.nvar, c.nf, a, c.lda, 1, c.maxit, c.w, c.c, 0.0, wt, b, c.nvar, t, c.ldt, fcor, c.ldt);
        const std::string text = window();
        EXPECT_EQ(count(text, "TERMINAL ERROR"), c.expected.size()) << text;
        for (const std::string& e : c.expected)
            EXPECT_NE(text.find("TERMINAL ERROR " + e), std::string::npos) << e << "\n" << text;
        for (double v : b) EXPECT_EQ(v, -7.0);
        for (double v : t) EXPECT_EQ(v, -7.0);
        for (double v : fcor) EXPECT_EQ(v, -7.0);
    }
}

TEST_F(HarrisKaiser, ShortArraysAreRefused) {
    const Matrix a(6, 0.5), wt(2, 1.0);
    Matrix b(6), t(4), fcor(4);
    EXPECT_THROW(DFHARR(3, 2, a, 3, 1, 10, 1.0, 0.5, 0.0, wt, b, 3, t, 2, fcor, 2), std::length_error);
}

}  // namespace
}  // namespace orv::num2
