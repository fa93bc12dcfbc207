#include "numlib/routines2/dfdobl.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "numlib/routines2/num2_test_support.h"

namespace orv::num2 {
namespace {

using namespace test;
using Oblimin = Num2Test;

struct Rotation {
    Matrix b, t, fcor;
};

Rotation rotate(int nvar, int nf, const Matrix& a, int norm, double w, int maxit, double eps) {
    Rotation r{Matrix(nvar * nf), Matrix(nf * nf), Matrix(nf * nf)};
    DFDOBL(nvar, nf, a, nvar, norm, w, maxit, eps, r.b, nvar, r.t, nf, r.fcor, nf);
    return r;
}

// B = A T and FCOR = T^-1 T^-T, symmetric with an exact unit diagonal.
void expect_invariants(int nvar, int nf, const Matrix& a, const Rotation& r, double tol) {
    EXPECT_LT(max_diff(multiply(nvar, nf, nf, a, r.t), r.b), tol);
    EXPECT_LT(max_diff(inverse_gram(nf, r.t), r.fcor), tol);
    EXPECT_EQ(r.fcor, transpose(nf, nf, r.fcor));
    for (int i = 0; i < nf; ++i) EXPECT_EQ(r.fcor[i + i * nf], 1.0);
}

// GPArotation's solutions: B and PHI after matching each of our columns
// to the reference column it is closest to, up to sign.
TEST_F(Oblimin, MatchesGPArotationForEveryDelta) {
    std::ifstream in(ORV_TEST_DATA_DIR "/numlib/golden/oblimin_reference.txt");
    ASSERT_TRUE(in) << "missing golden file";
    std::string line, word;
    int cases = 0;
    auto read = [&](int rows, int cols, const char* label) {
        in >> word;
        EXPECT_EQ(word, label);
        Matrix m(rows * cols);
        for (int i = 0; i < rows; ++i)
            for (int j = 0; j < cols; ++j) in >> m[i + j * rows];
        return m;
    };
    std::getline(in, line);
    while (in >> word && word == "case") {
        std::string name;
        int nvar = 0, nf = 0;
        double delta = 0.0, ref_eps = 0.0;
        in >> name >> nvar >> nf >> delta >> ref_eps;
        SCOPED_TRACE(name + " delta " + std::to_string(delta));
        const Matrix a = read(nvar, nf, "A");
        const Matrix bref = read(nvar, nf, "B");
        const Matrix phiref = read(nf, nf, "PHI");

        const Rotation r = rotate(nvar, nf, a, 1, delta, 5000, 1.0E-13);
        EXPECT_EQ(LSTERR(), 0);
        expect_invariants(nvar, nf, a, r, 1.0E-12);

        // The reference stops at a gradient norm of ref_eps (at most 1e-6),
        // which leaves its loadings within a few 1e-7 of the optimum.
        ASSERT_LE(ref_eps, 1.0E-6);
        expect_same_solution(nvar, nf, r.b, r.fcor, bref, phiref, 1.0E-6);
        ++cases;
    }
    EXPECT_EQ(cases, 15);
    EXPECT_EQ(window(), "");
}

// Argument errors: which messages, and that nothing is written.
TEST_F(Oblimin, ArgumentErrorsLeaveResultsUntouched) {
    struct Case {
        int nvar, nf, lda, ldt;
        double w;
        int maxit;
        double eps;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {1, 1, 1, 1, 0.0, 0, 0.0, {"ERROR 1 from DF2OBL.  NVAR = 1.  NVAR must be 2 or more."}},
        {3, 2, 3, 2, 0.25, 0, 0.0, {"ERROR 7 from DF2OBL.  W = 2.500000000000000D-01. W must be nonpositive."}},
        {1, 1, 1, 1, 0.5, -1, -1.0,
         {"ERROR 1 from DF2OBL", "ERROR 7 from DF2OBL", "ERROR 8 from DF2OBL.  MAXIT = -1.  MAXIT must be 0 or more.",
          "ERROR 9 from DF2OBL.  EPS = -1.000000000000000D+00.  EPS must be greater than or equal to 0."}},
        {3, 4, 3, 4, 0.0, 0, 0.0, {"ERROR 1 from DFDOBL.  NF = 4 and NVAR = 3.  NF must be greater than"}},
        {3, 0, 3, 1, 0.0, 0, 0.0, {"ERROR 1 from DFDOBL.  NF = 0 and NVAR = 3."}},
        {3, 2, 2, 2, 0.0, 0, 0.0, {"ERROR 3 from DFDOBL.  LDA = 2, LDB = 3, LDT = 2, and LDFCOR = 2."}},
        {3, 2, 3, 1, 0.0, 0, 0.0, {"ERROR 3 from DFDOBL.  LDA = 3, LDB = 3, LDT = 1, and LDFCOR = 2."}},
    };
    for (const Case& c : cases) {
        host_.records.clear();
        const Matrix a(c.lda * 4, 0.5);
        Matrix b(16, -7.0), t(16, -7.0), fcor(16, -7.0);
        DFDOBL(c.nvar, c.nf, a, c.lda, 1, c.w, c.maxit, c.eps, b, c.nvar, t, c.ldt, fcor, 2);
        const std::string text = window();
        for (const std::string& e : c.expected)
            EXPECT_NE(text.find(squeeze("TERMINAL ERROR " + e.substr(6))), std::string::npos) << e << "\n" << text;
        EXPECT_EQ(count(text, "TERMINAL ERROR"), c.expected.size()) << text;
        for (double v : b) EXPECT_EQ(v, -7.0);
        for (double v : t) EXPECT_EQ(v, -7.0);
        for (double v : fcor) EXPECT_EQ(v, -7.0);
    }
}

TEST_F(Oblimin, OneFactorIsFatalButCopiesTheLoadings) {
    const Matrix a = {0.7, -0.2, 0.9};
    Matrix b(3, 0.0), t(1, 0.0), fcor(1, -7.0);
    DFDOBL(3, 1, a, 3, 1, 0.0, 0, 0.0, b, 3, t, 1, fcor, 1);
    EXPECT_EQ(LSTERR(), 1);
    EXPECT_NE(window().find(squeeze(" *** FATAL    ERROR 1 from DFDOBL.  NF = 1.  No rotation is possible.")),
              std::string::npos)
        << window();
    EXPECT_EQ(b, a);
    EXPECT_EQ(t[0], 1.0);
    EXPECT_EQ(fcor[0], -7.0);
}

// Each row has one non-zero loading: the quartimin criterion is 0 at once.
TEST_F(Oblimin, PerfectSimpleStructureIsLeftAlone) {
    const Matrix a = {0.8, 0.0, 0.6, 0.0, 0.0, 0.7, 0.0, -0.5};
    const Rotation r = rotate(4, 2, a, 1, 0.0, 0, 0.0);
    EXPECT_EQ(r.b, a);
    EXPECT_EQ(r.t, (Matrix{1.0, 0.0, 0.0, 1.0}));
    EXPECT_EQ(r.fcor, (Matrix{1.0, 0.0, 0.0, 1.0}));
    EXPECT_EQ(window(), "");
}

// Defaults: MAXIT 0 is 30 sweeps, EPS 0 is 0.0001; running out of sweeps
// is a warning and the results are kept.
TEST_F(Oblimin, DefaultsAndSweepLimit) {
    std::mt19937 gen(11);
    const int nvar = 12, nf = 3;
    const Matrix a = random_matrix(nvar, nf, gen);
    const Rotation d = rotate(nvar, nf, a, 1, -0.5, 0, 0.0);
    const Rotation e = rotate(nvar, nf, a, 1, -0.5, 30, 0.0001);
    EXPECT_EQ(d.b, e.b);
    EXPECT_EQ(d.fcor, e.fcor);
    EXPECT_EQ(window(), "");

    const Rotation one = rotate(nvar, nf, a, 1, -0.5, 1, 0.0001);
    EXPECT_EQ(LSTERR(), 1);
    EXPECT_NE(window().find(squeeze("WARNING  ERROR 1 from DFDOBL.  1 iterations with no convergence.  "
                                    "Convergence assumed.")),
              std::string::npos)
        << window();
    expect_invariants(nvar, nf, a, one, 1.0E-12);
    EXPECT_GT(max_diff(one.b, d.b), 1.0E-3);

    host_.records.clear();
    rotate(nvar, nf, a, 1, -0.5, 0, 1.0E-300);
    EXPECT_NE(window().find("30 iterations with no convergence."), std::string::npos) << window();
}

// Under row normalisation a row's length does not matter, and a row of
// zeros stays zero without spoiling the other rows.
TEST_F(Oblimin, RowNormalisation) {
    std::mt19937 gen(5);
    const int nvar = 10, nf = 3;
    const Matrix a = random_matrix(nvar, nf, gen);
    const Rotation base = rotate(nvar, nf, a, 1, 0.0, 500, 1.0E-12);

    Matrix scaled = a;
    for (int j = 0; j < nf; ++j) scaled[4 + j * nvar] *= 3.5;
    const Rotation r = rotate(nvar, nf, scaled, 1, 0.0, 500, 1.0E-12);
    for (int j = 0; j < nf; ++j) {
        for (int i = 0; i < nvar; ++i) {
            const double factor = i == 4 ? 3.5 : 1.0;
            EXPECT_NEAR(r.b[i + j * nvar], factor * base.b[i + j * nvar], 1.0E-9);
        }
    }
    EXPECT_LT(max_diff(r.fcor, base.fcor), 1.0E-9);

    // The zero row changes no sum of the quartimin criterion.
    Matrix padded((nvar + 1) * nf, 0.0);
    for (int j = 0; j < nf; ++j)
        for (int i = 0; i < nvar; ++i) padded[(i < 6 ? i : i + 1) + j * (nvar + 1)] = a[i + j * nvar];
    const Rotation z = rotate(nvar + 1, nf, padded, 1, 0.0, 500, 1.0E-12);
    for (int j = 0; j < nf; ++j) {
        EXPECT_EQ(z.b[6 + j * (nvar + 1)], 0.0);
        for (int i = 0; i < nvar; ++i)
            EXPECT_NEAR(z.b[(i < 6 ? i : i + 1) + j * (nvar + 1)], base.b[i + j * nvar], 1.0E-12);
    }
    EXPECT_LT(max_diff(z.fcor, base.fcor), 1.0E-12);
    expect_invariants(nvar + 1, nf, padded, z, 1.0E-12);
}

// Without normalisation too, for several deltas and sizes.
TEST_F(Oblimin, InvariantsOnRandomLoadings) {
    std::mt19937 gen(3);
    for (int nf : {2, 3, 5}) {
        for (double w : {0.0, -0.3, -1.0}) {
            for (int norm : {0, 1}) {
                const int nvar = 4 * nf;
                const Matrix a = random_matrix(nvar, nf, gen);
                const Rotation r = rotate(nvar, nf, a, norm, w, 200, 1.0E-10);
                expect_invariants(nvar, nf, a, r, 1.0E-11);
            }
        }
    }
}

// The step's root: of three real roots the outer one with the smaller
// antiderivative, never the middle one.
TEST(ObliminCubic, PicksTheBetterOuterRoot) {
    EXPECT_EQ(oblimin_cubic_root(0.0, 0.0, 0.0), 0.0);
    auto antiderivative = [](double a, double b, double c0, double r) {
        return (((0.25 * r + a / 3.0) * r + 0.5 * b) * r + c0) * r;
    };
    const double roots[][3] = {{-2.0, 0.5, 1.0}, {-1.0, -0.25, 3.0}, {-0.1, 0.2, 0.3}, {-5.0, 1.0, 1.5}};
    for (const auto& rr : roots) {
        const double a = -(rr[0] + rr[1] + rr[2]);
        const double b = rr[0] * rr[1] + rr[0] * rr[2] + rr[1] * rr[2];
        const double c0 = -rr[0] * rr[1] * rr[2];
        const double expected =
            antiderivative(a, b, c0, rr[0]) <= antiderivative(a, b, c0, rr[2]) ? rr[0] : rr[2];
        EXPECT_NEAR(oblimin_cubic_root(a, b, c0), expected, 1.0E-6) << rr[0] << " " << rr[1] << " " << rr[2];
    }
    // One real root: t^3 + t + 1 = 0 at t = -0.6823278038280193.
    EXPECT_NEAR(oblimin_cubic_root(0.0, 1.0, 1.0), -0.6823278038280193, 1.0E-14);
    // A double root and a simple one: (t - 1)^2 (t + 2).
    EXPECT_NEAR(oblimin_cubic_root(0.0, -3.0, 2.0), -2.0, 1.0E-6);
}

// t^3 - s^2 t has the outer roots -s and s with the same antiderivative
// -s^4 / 4, and for these s both computed values round to it: the tie
// gives the smaller root.
TEST(ObliminCubic, TieOfTheAntiderivativeGivesTheSmallerRoot) {
    for (double s : {0.5, 1.0, 2.0, 3.0, 10.0}) {
        EXPECT_NEAR(oblimin_cubic_root(0.0, -s * s, 0.0), -s, 1.0E-8 * s) << s;
    }
}

TEST_F(Oblimin, ShortArraysAreRefused) {
    const Matrix a(6, 0.5);
    Matrix b(5), t(4), fcor(4);
    EXPECT_THROW(DFDOBL(3, 2, a, 3, 1, 0.0, 0, 0.0, b, 3, t, 2, fcor, 2), std::length_error);
    Matrix h(3), d(2), r(2);
    Matrix b6(6);
    EXPECT_THROW(DF2OBL(3, 2, a, 3, 1, 0.0, 0, 0.0, b6, 3, t, 2, fcor, 2, h, d, r), std::length_error);
}

}  // namespace
}  // namespace orv::num2
