#include "numlib/routines1/g03baf.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "numlib/routines1/errexit.h"
#include "runtime/io_error.h"
#include "runtime/units.h"
#include "num1_fixture.h"
#include "support/symmetric_eigen_oracle.h"

namespace orv::num1 {
namespace {

using orv::testing::random_orthogonal;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kSentinel = -777.0;

std::size_t work_size(int nvar, int k) { return 2 * nvar + k * k + 5 * k - 4; }

struct Outcome {
    int ifail = 0, iter = -1;
    std::vector<double> fl, flr, r;
};

// G03BAF on the NVAR x K loadings FL0 (leading dimension NVAR) held with
// leading dimension LDF; R with leading dimension LDR.
Outcome rotate(const char* stand, double g, int nvar, int k, const std::vector<double>& fl0, int ldf, int ldr,
               double acc, int maxit, int ifail = 1) {
    Outcome o;
    o.ifail = ifail;
    o.fl.assign(static_cast<std::size_t>(std::max({ldf, nvar, 1})) * std::max(k, 1), kSentinel);
    if (ldf >= nvar) {  // otherwise an argument error, whatever FL holds
        for (int j = 0; j < k; ++j)
            for (int i = 0; i < nvar; ++i) o.fl[i + j * ldf] = fl0[i + j * nvar];
    }
    o.flr.assign(o.fl.size(), kSentinel);
    o.r.assign(static_cast<std::size_t>(std::max(ldr, 1)) * std::max(k, 1), kSentinel);
    std::vector<double> wk(work_size(std::max(nvar, 2), std::max(k, 2)) + 8, kSentinel);
    G03BAF(stand, g, nvar, k, o.fl, ldf, o.flr, o.r, ldr, acc, maxit, o.iter, wk, o.ifail);
    return o;
}

// NVAR x K product A B (B K x K, leading dimension LDB); A leading dimension LDA.
std::vector<double> times(const std::vector<double>& a, int lda, int nvar, int k, const std::vector<double>& b,
                          int ldb) {
    std::vector<double> c(static_cast<std::size_t>(nvar) * k, 0.0);
    for (int j = 0; j < k; ++j)
        for (int i = 0; i < nvar; ++i)
            for (int l = 0; l < k; ++l) c[i + j * nvar] += a[i + l * lda] * b[l + j * ldb];
    return c;
}

void expect_orthogonal(const std::vector<double>& r, int k, int ldr, double tol) {
    for (int a = 0; a < k; ++a)
        for (int b = 0; b < k; ++b) {
            double dot = 0.0;
            for (int i = 0; i < k; ++i) dot += r[i + a * ldr] * r[i + b * ldr];
            EXPECT_NEAR(dot, a == b ? 1.0 : 0.0, tol) << a << "," << b;
        }
}

// FLR = FL R, FL back as given, R orthogonal; nothing outside the arrays'
// NVAR x K and K x K parts written.
void expect_consistent(const Outcome& o, const std::vector<double>& fl0, int nvar, int k, int ldf, int ldr) {
    expect_orthogonal(o.r, k, ldr, 1e-13);
    const std::vector<double> product = times(o.fl, ldf, nvar, k, o.r, ldr);
    for (int j = 0; j < k; ++j) {
        for (int i = 0; i < nvar; ++i) {
            EXPECT_NEAR(o.flr[i + j * ldf], product[i + j * nvar], 1e-13) << i << "," << j;
            EXPECT_NEAR(o.fl[i + j * ldf], fl0[i + j * nvar], 1e-15) << "FL not restored";
        }
        for (int i = nvar; i < ldf; ++i) EXPECT_EQ(o.flr[i + j * ldf], kSentinel);
        for (int i = k; i < ldr; ++i) EXPECT_EQ(o.r[i + j * ldr], kSentinel);
    }
}

class G03BAFTest : public Num1Fixture {};

// Loadings of perfect simple structure (each variable on one factor) turned
// by a random orthogonal matrix: Varimax, with and without row
// normalisation, finds the structure again up to the order and signs of the
// factors.
TEST_F(G03BAFTest, RecoversSimpleStructure) {
    struct Case {
        int nvar, k;
        const char* stand;
    } cases[] = {{12, 3, "S"}, {12, 3, "u"}, {20, 4, "s"}, {6, 2, "U"}, {15, 5, "S"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.nvar << "x" << c.k << " " << c.stand);
        std::vector<double> simple(static_cast<std::size_t>(c.nvar) * c.k, 0.0);
        for (int i = 0; i < c.nvar; ++i) simple[i + (i % c.k) * c.nvar] = 0.45 + 0.04 * i;
        const std::vector<double> t = random_orthogonal(c.k, 31 + c.nvar);
        std::vector<double> fl0(simple.size(), 0.0);  // simple T'
        for (int i = 0; i < c.nvar; ++i)
            for (int j = 0; j < c.k; ++j)
                for (int l = 0; l < c.k; ++l) fl0[i + j * c.nvar] += simple[i + l * c.nvar] * t[j + l * c.k];
        const int ldf = c.nvar + 2, ldr = c.k + 1;
        Outcome o = rotate(c.stand, 1.0, c.nvar, c.k, fl0, ldf, ldr, 1e-10, 200);
        ASSERT_EQ(o.ifail, 0);
        EXPECT_GE(o.iter, 2);
        expect_consistent(o, fl0, c.nvar, c.k, ldf, ldr);
        // Column j of the result is +-column perm(j) of the structure.
        for (int j = 0; j < c.k; ++j) {
            int match = -1;
            for (int l = 0; l < c.k; ++l)
                if (std::fabs(o.flr[l + j * ldf]) > 0.3) match = l;  // variable l loads on factor l
            ASSERT_GE(match, 0);
            const double sign = o.flr[match + j * ldf] > 0 ? 1.0 : -1.0;
            for (int i = 0; i < c.nvar; ++i)
                EXPECT_NEAR(o.flr[i + j * ldf], sign * simple[i + match * c.nvar], 1e-7) << i << "," << j;
        }
    }
}

// General loadings: the result is a maximum of the Varimax criterion (no
// small turn of any pair of factors improves it), with FLR = FL R and R
// orthogonal; G = 0 (quartimax) and G = 0.5 give valid rotations too.
TEST_F(G03BAFTest, RotationIsAnOptimum) {
    orv::testing::Rng rng{4711};
    const int nvar = 25, k = 4;
    std::vector<double> fl0(nvar * k);
    for (double& x : fl0) x = 1.4 * rng.uniform() - 0.5;
    for (double g : {1.0, 0.0, 0.5}) {
        SCOPED_TRACE(g);
        Outcome o = rotate("U", g, nvar, k, fl0, nvar, k, 0.0, 500);
        ASSERT_EQ(o.ifail, 0);
        expect_consistent(o, fl0, nvar, k, nvar, k);
        auto criterion = [&](const std::vector<double>& l) {
            double v = 0.0;
            for (int j = 0; j < k; ++j) {
                double s2 = 0.0, s4 = 0.0;
                for (int i = 0; i < nvar; ++i) {
                    const double x2 = l[i + j * nvar] * l[i + j * nvar];
                    s2 += x2;
                    s4 += x2 * x2;
                }
                v += s4 - g * s2 * s2 / nvar;
            }
            return v;
        };
        const double best = criterion(o.flr);
        for (int a = 0; a < k; ++a)
            for (int b = a + 1; b < k; ++b)
                for (double angle : {-1e-3, 1e-3}) {
                    std::vector<double> turned = o.flr;
                    for (int i = 0; i < nvar; ++i) {
                        const double x = o.flr[i + a * nvar], y = o.flr[i + b * nvar];
                        turned[i + a * nvar] = std::cos(angle) * x + std::sin(angle) * y;
                        turned[i + b * nvar] = std::cos(angle) * y - std::sin(angle) * x;
                    }
                    EXPECT_LE(criterion(turned), best + 1e-12) << a << "," << b;
                }
    }
}

// The orthomax path written with atan2 instead of half angles: every pair
// (j1 < j2) in turn is turned by atan2(NUM, DEN) / 4, in (-45, 45] degrees,
// until no sweep turns a pair by more than 1e-14.  L and the accumulated R
// (L = FL R) are returned; QUADRANTS counts the signs of (NUM, DEN) met.
struct Path {
    std::vector<double> l, r;
};
Path reference_orthomax(std::vector<double> l, int nvar, int k, double g, int quadrants[4]) {
    Path p{std::move(l), std::vector<double>(static_cast<std::size_t>(k) * k, 0.0)};
    for (int j = 0; j < k; ++j) p.r[j + j * k] = 1.0;
    auto turn = [](std::vector<double>& m, int rows, int j1, int j2, double cs, double sn) {
        for (int i = 0; i < rows; ++i) {
            const double x = m[i + j1 * rows], y = m[i + j2 * rows];
            m[i + j1 * rows] = cs * x + sn * y;
            m[i + j2 * rows] = cs * y - sn * x;
        }
    };
    const double gn = g / nvar;
    for (int sweep = 0; sweep < 2000; ++sweep) {
        double largest = 0.0;
        for (int j1 = 0; j1 < k - 1; ++j1)
            for (int j2 = j1 + 1; j2 < k; ++j2) {
                double a = 0.0, b = 0.0, c = 0.0, d = 0.0;
                for (int i = 0; i < nvar; ++i) {
                    const double x = p.l[i + j1 * nvar], y = p.l[i + j2 * nvar];
                    const double u = x * x - y * y, w = 2.0 * x * y;
                    a += u;
                    b += w;
                    c += u * u - w * w;
                    d += 2.0 * u * w;
                }
                const double num = d - gn * 2.0 * a * b, den = c - gn * (a * a - b * b);
                if (sweep == 0) ++quadrants[(num < 0.0 ? 2 : 0) + (den < 0.0 ? 1 : 0)];
                const double angle = std::atan2(num, den) / 4.0;
                largest = std::max(largest, std::fabs(angle));
                turn(p.l, nvar, j1, j2, std::cos(angle), std::sin(angle));
                turn(p.r, k, j1, j2, std::cos(angle), std::sin(angle));
            }
        if (largest < 1e-14) break;
    }
    return p;
}

// The exact result, not only one up to column order and sign: the angle of
// each plane turn lies in the quadrant the signs of NUM and DEN give, and a
// swapped branch would permute and reflect the printed columns.  Two
// factors, started in each of the four quadrants, and general loadings on
// three and four factors, against the path above.
TEST_F(G03BAFTest, PinnedToTheAnglesOfEachQuadrant) {
    int quadrants[4] = {0, 0, 0, 0};
    const int nvar = 8;
    std::vector<double> structure(nvar * 2);
    for (int i = 0; i < nvar; ++i) {
        structure[i + (i % 2) * nvar] = 0.5 + 0.04 * i;
        structure[i + (1 - i % 2) * nvar] = 0.05 * (i % 3) - 0.05;
    }
    for (double start : {-0.2, -0.6, 0.2, 0.6}) {
        SCOPED_TRACE(start);
        std::vector<double> fl0(structure.size());
        for (int i = 0; i < nvar; ++i) {
            const double x = structure[i], y = structure[i + nvar];
            fl0[i] = std::cos(start) * x - std::sin(start) * y;
            fl0[i + nvar] = std::sin(start) * x + std::cos(start) * y;
        }
        int seen[4] = {0, 0, 0, 0};
        const Path path = reference_orthomax(fl0, nvar, 2, 1.0, seen);
        for (int q = 0; q < 4; ++q) quadrants[q] += seen[q];
        const Outcome o = rotate("U", 1.0, nvar, 2, fl0, nvar, 2, 0.0, 100);
        ASSERT_EQ(o.ifail, 0);
        for (std::size_t x = 0; x < path.l.size(); ++x) EXPECT_NEAR(o.flr[x], path.l[x], 1e-12) << x;
        for (std::size_t x = 0; x < path.r.size(); ++x) EXPECT_NEAR(o.r[x], path.r[x], 1e-12) << x;
    }
    for (int q = 0; q < 4; ++q) EXPECT_EQ(quadrants[q], 1) << "quadrant " << q;

    orv::testing::Rng rng{2024};
    for (int k : {3, 4}) {
        for (double g : {1.0, 0.0}) {
            SCOPED_TRACE(::testing::Message() << "k " << k << " g " << g);
            const int rows = 6 * k;
            std::vector<double> fl0(static_cast<std::size_t>(rows) * k);
            for (double& x : fl0) x = 1.2 * rng.uniform() - 0.4;
            int seen[4] = {0, 0, 0, 0};
            const Path path = reference_orthomax(fl0, rows, k, g, seen);
            const Outcome o = rotate("U", g, rows, k, fl0, rows, k, 0.0, 1000);
            ASSERT_EQ(o.ifail, 0);
            for (std::size_t x = 0; x < path.l.size(); ++x) EXPECT_NEAR(o.flr[x], path.l[x], 1e-6) << x;
            for (std::size_t x = 0; x < path.r.size(); ++x) EXPECT_NEAR(o.r[x], path.r[x], 1e-6) << x;
        }
    }
}

// With row normalisation the rows' lengths enter only through the final
// scaling; a row of zeros stays zero instead of turning every result into
// NaN, and the other rows are rotated as without it (with G scaled so that
// G / NVAR is the same).
TEST_F(G03BAFTest, RowNormalisationAndZeroRows) {
    orv::testing::Rng rng{99};
    const int nvar = 10, k = 3;
    std::vector<double> fl0(nvar * k);
    for (double& x : fl0) x = rng.uniform() - 0.3;
    std::vector<double> longer = fl0;
    for (int j = 0; j < k; ++j)
        for (int i = 0; i < nvar; ++i) longer[i + j * nvar] *= 1.0 + i;
    Outcome a = rotate("S", 1.0, nvar, k, fl0, nvar, k, 1e-12, 300);
    Outcome b = rotate("S", 1.0, nvar, k, longer, nvar, k, 1e-12, 300);
    ASSERT_EQ(a.ifail, 0);
    ASSERT_EQ(b.ifail, 0);
    for (int j = 0; j < k; ++j)
        for (int i = 0; i < nvar; ++i) EXPECT_NEAR(b.flr[i + j * nvar], a.flr[i + j * nvar] * (1.0 + i), 1e-9);

    // The same loadings with a row of zeros inserted as row 4.
    std::vector<double> with_zero((nvar + 1) * k);
    for (int j = 0; j < k; ++j)
        for (int i = 0; i <= nvar; ++i)
            with_zero[i + j * (nvar + 1)] = i == 4 ? 0.0 : fl0[(i < 4 ? i : i - 1) + j * nvar];
    Outcome z = rotate("S", (nvar + 1.0) / nvar, nvar + 1, k, with_zero, nvar + 1, k, 1e-12, 300);
    ASSERT_EQ(z.ifail, 0);
    expect_consistent(z, with_zero, nvar + 1, k, nvar + 1, k);
    for (int j = 0; j < k; ++j) {
        EXPECT_EQ(z.flr[4 + j * (nvar + 1)], 0.0);
        for (int i = 0; i <= nvar; ++i) {
            if (i != 4) {
                EXPECT_NEAR(z.flr[i + j * (nvar + 1)], a.flr[(i < 4 ? i : i - 1) + j * nvar], 1e-9);
            }
        }
    }
    // All rows zero: nothing to rotate, one criterion evaluation, R = I.
    for (const char* stand : {"S", "U"}) {
        Outcome zero = rotate(stand, 1.0, 4, 2, std::vector<double>(8, 0.0), 4, 2, 0.0, 10);
        EXPECT_EQ(zero.ifail, 0);
        EXPECT_EQ(zero.iter, 1);
        EXPECT_EQ(std::vector<double>(zero.flr.begin(), zero.flr.end()), std::vector<double>(8, 0.0));
        EXPECT_EQ(std::vector<double>(zero.r.begin(), zero.r.end()), (std::vector<double>{1.0, 0.0, 0.0, 1.0}));
    }
}

// The tolerance: ACC inside (machine precision, 1) is used as given, any
// other value means machine precision.  Too few sweeps give error 3 with
// FLR, R and ITER complete for the rotation reached; MAXIT = 1 allows two
// sweeps.
TEST_F(G03BAFTest, ToleranceSweepsAndErrorThree) {
    orv::testing::Rng rng{7};
    const int nvar = 30, k = 5;
    std::vector<double> fl0(nvar * k);
    for (double& x : fl0) x = rng.uniform() - 0.2;
    const int loose = rotate("U", 1.0, nvar, k, fl0, nvar, k, 1e-3, 500).iter;
    const int tight = rotate("U", 1.0, nvar, k, fl0, nvar, k, 0.0, 500).iter;
    EXPECT_LT(loose, tight);
    for (double acc : {1.0, 5.0, 1e-17}) EXPECT_EQ(rotate("U", 1.0, nvar, k, fl0, nvar, k, acc, 500).iter, tight);

    Outcome o = rotate("S", 1.0, nvar, k, fl0, nvar + 1, k + 2, 0.0, 1, -1);
    EXPECT_EQ(o.ifail, 3);
    EXPECT_EQ(o.iter, 2);
    expect_consistent(o, fl0, nvar, k, nvar + 1, k + 2);
    EXPECT_EQ(host_.records,
              (std::vector<std::string>{
                  " ** Procedure failed to converge in MAXIT iterations: MAXIT =               1",
                  " ** ABNORMAL EXIT from NUM Library routine G03BAF: IFAIL =     3",
                  " ** NUM soft failure - control returned"}));
    host_.records.clear();
    EXPECT_THROW(rotate("U", 1.0, nvar, k, fl0, nvar, k, 0.0, 2, 0), rt::Stop);

    // Already at the optimum: V > TOL on the first pass still forces a sweep.
    std::vector<double> simple(6 * 2, 0.0);
    for (int i = 0; i < 6; ++i) simple[i + (i % 2) * 6] = 0.7;
    Outcome s = rotate("U", 1.0, 6, 2, simple, 6, 2, 0.0, 5);
    EXPECT_EQ(s.ifail, 0);
    EXPECT_EQ(s.iter, 2);
}

// Two rows (a, a) and (a, -a): NUM = +0 and DEN < 0, so the first sweep
// turns the pair by 45 degrees, which is already the simple structure.
// Loadings that are not numbers never converge (error 3) and then defeat
// the singular value decomposition: error 2 with its record replaces 3.
TEST_F(G03BAFTest, HalfPlaneTurnAndSvdFailure) {
    Outcome o = rotate("U", 1.0, 2, 2, {0.5, 0.5, 0.5, -0.5}, 2, 2, 0.0, 10);
    ASSERT_EQ(o.ifail, 0);
    const double h = std::sqrt(0.5);
    for (int j = 0; j < 2; ++j) {
        const double big = std::max(std::fabs(o.flr[2 * j]), std::fabs(o.flr[2 * j + 1]));
        const double small = std::min(std::fabs(o.flr[2 * j]), std::fabs(o.flr[2 * j + 1]));
        EXPECT_NEAR(big, h, 1e-15);
        EXPECT_NEAR(small, 0.0, 1e-15);
    }
    EXPECT_NEAR(std::fabs(o.r[0]), h, 1e-15);

    std::vector<double> bad = {0.5, kNaN, 0.2, 0.1, 0.3, 0.4};
    Outcome f = rotate("U", 1.0, 3, 2, bad, 3, 2, 0.0, 3, -1);
    EXPECT_EQ(f.ifail, 2);
    EXPECT_EQ(f.iter, 4);
    EXPECT_EQ(host_.records, (std::vector<std::string>{" ** SVD failed to converge",
                                                       " ** ABNORMAL EXIT from NUM Library routine G03BAF: IFAIL =     2",
                                                       " ** NUM soft failure - control returned"}));
    host_.records.clear();
}

// The first failing check decides the record; nothing is computed or
// written.  K = NVAR is accepted.
TEST_F(G03BAFTest, ArgumentErrors) {
    struct Case {
        const char* stand;
        double g;
        int nvar, k, ldf, ldr;
        double acc;
        int maxit;
        std::string record;
    } cases[] = {
        {"S", 1.0, 5, 1, 5, 1, 0.0, 10, " ** On entry, K.lt.2: K =                1"},
        {"S", -1.0, 5, 1, 5, 1, -1.0, 0, " ** On entry, K.lt.2: K =                1"},
        {"S", 1.0, 2, 3, 5, 3, 0.0, 10, " ** On entry, NVAR.lt.K: NVAR =                2 K =                3"},
        {"S", 1.0, 5, 3, 4, 3, 0.0, 10, " ** On entry, LDF.lt.NVAR: LDF =                4 NVAR =                5"},
        {"S", 1.0, 5, 3, 5, 2, 0.0, 10, " ** On entry, LDR.lt.K: LDR =                2 K =                3"},
        {"x", 1.0, 5, 3, 5, 3, 0.0, 10, " ** On entry, STAND is not a valid character: STAND = x"},
        {"", 1.0, 5, 3, 5, 3, 0.0, 10, " ** On entry, STAND is not a valid character: STAND ="},
        {"U", -0.5, 5, 3, 5, 3, 0.0, 10, " ** On entry, G.lt.0.0: G =  -0.50000D+00"},
        {"U", kNaN, 5, 3, 5, 3, 0.0, 10, " ** On entry, G.lt.0.0: G =           NaN"},
        {"U", 1.0, 5, 3, 5, 3, -1e-3, 10, " ** On entry, ACC.lt.0.0: ACC =  -0.10000D-02"},
        {"U", 1.0, 5, 3, 5, 3, kNaN, 10, " ** On entry, ACC.lt.0.0: ACC =           NaN"},
        {"U", 1.0, 5, 3, 5, 3, 0.0, 0, " ** On entry, MAXIT.le.0: MAXIT =                0"},
    };
    const std::vector<double> fl0(40, 0.5);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.record);
        Outcome o = rotate(c.stand, c.g, c.nvar, c.k, fl0, std::max(c.ldf, 1), std::max(c.ldr, 1), c.acc, c.maxit, -1);
        EXPECT_EQ(o.ifail, 1);
        EXPECT_EQ(o.iter, -1);
        for (double x : o.flr) EXPECT_EQ(x, kSentinel);
        for (double x : o.r) EXPECT_EQ(x, kSentinel);
        EXPECT_EQ(host_.records, (std::vector<std::string>{
                                     c.record, " ** ABNORMAL EXIT from NUM Library routine G03BAF: IFAIL =     1",
                                     " ** NUM soft failure - control returned"}));
        host_.records.clear();
    }
    Outcome square = rotate("S", 1.0, 3, 3, {0.9, 0.1, 0.2, 0.1, 0.8, 0.3, 0.2, 0.1, 0.7}, 3, 3, 0.0, 50);
    EXPECT_EQ(square.ifail, 0);
}

// Arrays shorter than the arguments say are refused before anything is
// touched; the work array needs 2 NVAR + K*K + 5K - 4 values.
TEST_F(G03BAFTest, ShortArraysAreRefused) {
    const int nvar = 6, k = 3;
    for (int which = 0; which < 4; ++which) {
        SCOPED_TRACE(which);
        std::vector<double> fl(nvar * k, 0.5), flr(nvar * k, kSentinel), r(k * k, kSentinel),
            wk(work_size(nvar, k), kSentinel);
        std::vector<double>* arrays[] = {&fl, &flr, &r, &wk};
        arrays[which]->pop_back();
        int iter = -1, ifail = 0;
        EXPECT_THROW(G03BAF("S", 1.0, nvar, k, fl, nvar, flr, r, k, 0.0, 10, iter, wk, ifail), std::length_error);
        for (double x : fl) EXPECT_EQ(x, 0.5);
        EXPECT_EQ(iter, -1);
    }
}

}  // namespace
}  // namespace orv::num1
