#include "numlib/routines1/f02wef.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "numlib/blas_lapack.h"
#include "numlib/routines1/errexit.h"
#include "runtime/io_error.h"
#include "num1_fixture.h"

namespace orv::num1 {
namespace {

constexpr double kEps = 0x1.0p-52;

struct Xorshift {
    std::uint64_t s;
    double uniform() {  // [-1, 1)
        s ^= s << 13, s ^= s >> 7, s ^= s << 17;
        return static_cast<double>(s >> 11) * 0x1.0p-52 - 1.0;
    }
};

// Column-major M x N matrix.
struct Mat {
    int m = 0, n = 0;
    std::vector<double> v;
    Mat(int rows, int cols, double fill = 0.0) : m(rows), n(cols), v(static_cast<std::size_t>(rows) * cols, fill) {}
    double& operator()(int i, int j) { return v[static_cast<std::size_t>(i) + static_cast<std::size_t>(j) * m]; }
    double operator()(int i, int j) const { return v[static_cast<std::size_t>(i) + static_cast<std::size_t>(j) * m]; }
};

enum class Kind { random, rank_deficient, graded, tiny, subnormal, huge };

Mat make(int m, int n, Kind kind, std::uint64_t seed) {
    Xorshift g{seed * 2654435761u + 17};
    Mat a(m, n);
    if (kind == Kind::rank_deficient) {
        const int r = std::max(1, std::min(m, n) / 2);
        Mat x(m, r), y(r, n);
        for (double& v : x.v) v = g.uniform();
        for (double& v : y.v) v = g.uniform();
        for (int i = 0; i < m; ++i)
            for (int j = 0; j < n; ++j) {
                double s = 0.0;
                for (int k = 0; k < r; ++k) s += x(i, k) * y(k, j);
                a(i, j) = s;
            }
        return a;
    }
    for (double& v : a.v) v = g.uniform();
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < m; ++i) {
            if (kind == Kind::graded) a(i, j) *= std::pow(10.0, -0.5 * j - 0.25 * i);
            if (kind == Kind::tiny) a(i, j) *= 1e-300;
            if (kind == Kind::subnormal) a(i, j) *= 1e-310;
            if (kind == Kind::huge) a(i, j) *= 1e300;
        }
    return a;
}

// Singular values and vectors from LAPACK's dgesvd (the oracle).
struct Oracle {
    std::vector<double> s;
    Mat u, vt;
};

Oracle oracle(const Mat& a0) {
    Mat a = a0;
    const int m = a.m, n = a.n, k = std::min(m, n);
    Oracle o{std::vector<double>(k), Mat(m, k), Mat(k, n)};
    int lwork = -1, info = 0;
    double query = 0.0;
    dgesvd_("S", "S", &m, &n, a.v.data(), &m, o.s.data(), o.u.v.data(), &m, o.vt.v.data(), &k, &query, &lwork, &info,
            1, 1);
    lwork = static_cast<int>(query);
    std::vector<double> work(lwork);
    dgesvd_("S", "S", &m, &n, a.v.data(), &m, o.s.data(), o.u.v.data(), &m, o.vt.v.data(), &k, work.data(), &lwork,
            &info, 1, 1);
    EXPECT_EQ(info, 0);
    return o;
}

struct Result {
    int ifail = 0;
    std::vector<double> sv;
    Mat q{0, 0}, pt{0, 0};  // the K left vectors (M x K), the K right vectors (K x N)
    Mat b{0, 0};
    std::vector<double> work;
};

// Runs F02WEF with leading dimensions larger than needed (padding checked
// for writes) and extracts the vectors from wherever the case puts them.
Result run(const Mat& a0, bool wantq, bool wantp, const Mat* b0 = nullptr, int ifail = 1) {
    const int m = a0.m, n = a0.n, k = std::min(m, n), pad = 2;
    const double guard = -12345.0;
    const int lda = m + pad;
    std::vector<double> a(static_cast<std::size_t>(lda) * n, guard);
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < m; ++i) a[i + static_cast<std::size_t>(j) * lda] = a0(i, j);
    const int ncolb = b0 ? b0->n : 0;
    const int ldb = m + pad;
    std::vector<double> b(static_cast<std::size_t>(ldb) * std::max(ncolb, 1), guard);
    for (int j = 0; j < ncolb; ++j)
        for (int i = 0; i < m; ++i) b[i + static_cast<std::size_t>(j) * ldb] = (*b0)(i, j);
    const int ldq = m + pad, ldpt = n + pad;
    std::vector<double> q(static_cast<std::size_t>(ldq) * m, guard), pt(static_cast<std::size_t>(ldpt) * n, guard);
    Result r;
    r.sv.assign(k, guard);
    r.work.assign(detail::f02wef_work_size(m, n, ncolb, wantq, wantp), guard);
    r.ifail = ifail;
    F02WEF(m, n, a, lda, ncolb, b, ldb, wantq, q, ldq, r.sv, wantp, pt, ldpt, r.work, r.ifail);
    for (int j = 0; j < n; ++j)
        for (int i = m; i < lda; ++i) EXPECT_EQ(a[i + static_cast<std::size_t>(j) * lda], guard) << "A padding";
    if (r.ifail != 0) return r;
    if (wantq) {
        r.q = Mat(m, k);
        for (int j = 0; j < k; ++j)
            for (int i = 0; i < m; ++i)
                r.q(i, j) = m >= n ? a[i + static_cast<std::size_t>(j) * lda] : q[i + static_cast<std::size_t>(j) * ldq];
    }
    if (wantp) {
        r.pt = Mat(k, n);
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < k; ++i)
                r.pt(i, j) = (m >= n && wantq) ? pt[i + static_cast<std::size_t>(j) * ldpt]
                                               : a[i + static_cast<std::size_t>(j) * lda];
    }
    if (ncolb > 0) {
        r.b = Mat(m, ncolb);
        for (int j = 0; j < ncolb; ++j)
            for (int i = 0; i < m; ++i) r.b(i, j) = b[i + static_cast<std::size_t>(j) * ldb];
    }
    return r;
}

double max_difference(const Mat& a, const Mat& b) {
    double s = 0.0;
    for (std::size_t i = 0; i < a.v.size(); ++i) s = std::max(s, std::fabs(a.v[i] - b.v[i]));
    return s;
}

// max |X^T X - I| for the columns (COLS true) or rows of X.
double orthogonality(const Mat& x, bool cols) {
    const int k = cols ? x.n : x.m, len = cols ? x.m : x.n;
    double worst = 0.0;
    for (int p = 0; p < k; ++p)
        for (int q = 0; q < k; ++q) {
            double s = 0.0;
            for (int i = 0; i < len; ++i) s += cols ? x(i, p) * x(i, q) : x(p, i) * x(q, i);
            worst = std::max(worst, std::fabs(s - (p == q ? 1.0 : 0.0)));
        }
    return worst;
}

// Everything checked for one matrix: the values against the oracle, the
// vectors orthonormal and reproducing A, and each well separated singular
// pair equal to the oracle's up to one common sign.
void check(const Mat& a, const std::string& what) {
    SCOPED_TRACE(what);
    const int m = a.m, n = a.n, k = std::min(m, n);
    const Oracle o = oracle(a);
    const double tol = 64.0 * (m + n) * kEps;
    const double scale = o.s[0] > 0.0 ? o.s[0] : 1.0;

    const Result full = run(a, true, true);
    ASSERT_EQ(full.ifail, 0);
    for (int i = 0; i < k; ++i) {
        EXPECT_NEAR(full.sv[i], o.s[i], tol * scale) << "value " << i;
        EXPECT_GE(full.sv[i], 0.0);
        if (i > 0) {
            EXPECT_GE(full.sv[i - 1], full.sv[i]);
        }
    }
    EXPECT_LE(orthogonality(full.q, true), tol);
    EXPECT_LE(orthogonality(full.pt, false), tol);
    double residual = 0.0;
    for (int i = 0; i < m; ++i)
        for (int j = 0; j < n; ++j) {
            double s = 0.0;
            for (int p = 0; p < k; ++p) s += full.q(i, p) * full.sv[p] * full.pt(p, j);
            residual = std::max(residual, std::fabs(s - a(i, j)));
        }
    EXPECT_LE(residual, tol * scale);

    for (int p = 0; p < k; ++p) {
        const double gap = std::min(p > 0 ? o.s[p - 1] - o.s[p] : INFINITY, p + 1 < k ? o.s[p] - o.s[p + 1] : INFINITY);
        if (!(gap > 1e-3 * scale) || o.s[p] < 1e-6 * scale) continue;
        double du = 0.0, dv = 0.0;
        for (int i = 0; i < m; ++i) du += full.q(i, p) * o.u(i, p);
        for (int j = 0; j < n; ++j) dv += full.pt(p, j) * o.vt(p, j);
        EXPECT_NEAR(std::fabs(du), 1.0, 1e-9) << "left vector " << p;
        EXPECT_NEAR(du, dv, 1e-9) << "pair " << p << " signs";
    }

    // The other three combinations give the same values and vectors.
    for (const auto& [wq, wp] : {std::pair{false, false}, std::pair{true, false}, std::pair{false, true}}) {
        const Result r = run(a, wq, wp);
        ASSERT_EQ(r.ifail, 0);
        for (int i = 0; i < k; ++i) EXPECT_NEAR(r.sv[i], full.sv[i], tol * scale);
        if (wq) {
            EXPECT_LE(max_difference(r.q, full.q), tol);
        }
        if (wp) {
            EXPECT_LE(max_difference(r.pt, full.pt), tol);
        }
    }
}

TEST(F02WEFTest, SquareMatricesOfEveryOrderMatchTheOracle) {
    for (int n = 1; n <= 40; ++n)
        for (Kind kind : {Kind::random, Kind::rank_deficient, Kind::graded})
            check(make(n, n, kind, n * 7 + static_cast<int>(kind)), "square n=" + std::to_string(n) + " kind " +
                                                                         std::to_string(static_cast<int>(kind)));
}

TEST(F02WEFTest, TallAndWideMatricesMatchTheOracle) {
    const int shapes[][2] = {{2, 1}, {1, 2}, {5, 3}, {3, 5}, {12, 4}, {4, 12}, {40, 7}, {7, 40}, {31, 30}, {30, 31}, {1, 9}, {9, 1}};
    for (const auto& s : shapes)
        for (Kind kind : {Kind::random, Kind::rank_deficient, Kind::graded})
            check(make(s[0], s[1], kind, s[0] * 100 + s[1]),
                  "shape " + std::to_string(s[0]) + "x" + std::to_string(s[1]));
}

TEST(F02WEFTest, TinyAndHugeEntriesNeitherOverflowNorUnderflow) {
    const int shapes[][2] = {{1, 1}, {3, 3}, {6, 4}, {4, 6}, {10, 10}};
    for (const auto& s : shapes)
        for (Kind kind : {Kind::tiny, Kind::subnormal, Kind::huge}) {
            const Mat a = make(s[0], s[1], kind, 99);
            const Result r = run(a, true, true);
            ASSERT_EQ(r.ifail, 0);
            // Against the oracle on the matrix scaled into range.
            auto into_range = [kind](double v) {
                if (kind == Kind::huge) return v * 1e-300;
                if (kind == Kind::tiny) return v * 1e300;
                return v * 1e300 * 1e10;
            };
            Mat scaled = a;
            for (double& v : scaled.v) v = into_range(v);
            const Oracle o = oracle(scaled);
            for (std::size_t i = 0; i < r.sv.size(); ++i) {
                ASSERT_TRUE(std::isfinite(r.sv[i]));
                const double got = into_range(r.sv[i]);
                // Subnormal inputs carry fewer significant bits.
                const double rel = kind == Kind::subnormal ? 1e-5 : 1e-12;
                EXPECT_NEAR(got, o.s[i], rel * o.s[0]) << s[0] << "x" << s[1] << " value " << i;
            }
            EXPECT_LE(orthogonality(r.q, true), 1e-12);
            EXPECT_LE(orthogonality(r.pt, false), 1e-12);
        }
}

TEST(F02WEFTest, QTransposeBFollowsTheLeftVectors) {
    const int shapes[][2] = {{6, 6}, {9, 4}, {4, 9}, {1, 1}, {5, 1}, {1, 5}};
    for (const auto& s : shapes) {
        const int m = s[0], n = s[1], k = std::min(m, n);
        const Mat a = make(m, n, Kind::random, 5);
        const Mat b0 = make(m, 3, Kind::random, 6);
        const Result r = run(a, true, false, &b0);
        ASSERT_EQ(r.ifail, 0);
        for (int i = 0; i < k; ++i)
            for (int j = 0; j < 3; ++j) {
                double s2 = 0.0;
                for (int p = 0; p < m; ++p) s2 += r.q(p, i) * b0(p, j);
                EXPECT_NEAR(r.b(i, j), s2, 1e-13) << m << "x" << n;
            }
        // Without the vectors the same product comes out.
        for (int c = 0; c < 3; ++c) {
            const Result o = run(a, c == 2, c != 0, &b0);
            ASSERT_EQ(o.ifail, 0);
            for (int i = 0; i < k; ++i)
                for (int j = 0; j < 3; ++j) EXPECT_NEAR(o.b(i, j), r.b(i, j), 1e-13);
        }
    }
}

TEST(F02WEFTest, ZeroAndDiagonalMatricesFollowTheSignRules) {
    // A zero matrix: every reflector and rotation is the identity.
    const Result z = run(Mat(4, 4), true, true);
    ASSERT_EQ(z.ifail, 0);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(z.sv[i], 0.0);
        for (int j = 0; j < 4; ++j) {
            EXPECT_EQ(z.q(i, j), i == j ? 1.0 : 0.0);
            EXPECT_EQ(z.pt(i, j), i == j ? 1.0 : 0.0);
        }
    }
    // A diagonal matrix: values |d| in descending order by exchanges (the
    // first of equal maxima wins, so -2 moves to the end when 5 is brought
    // forward), the sign of a negative value carried by its left vector.
    Mat d(4, 4);
    const double diag[] = {-2.0, 3.0, 2.0, -5.0};
    for (int i = 0; i < 4; ++i) d(i, i) = diag[i];
    const Result r = run(d, true, true);
    ASSERT_EQ(r.ifail, 0);
    const double want_sv[] = {5.0, 3.0, 2.0, 2.0};
    const int from[] = {3, 1, 2, 0};  // the original position of each value
    for (int p = 0; p < 4; ++p) {
        EXPECT_DOUBLE_EQ(r.sv[p], want_sv[p]);  // scaled by 1/5 and back
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(r.pt(p, i), i == from[p] ? 1.0 : 0.0) << p;
            EXPECT_EQ(r.q(i, p), i == from[p] ? (diag[from[p]] < 0.0 ? -1.0 : 1.0) : 0.0) << p;
        }
    }
}

class F02WEFMessages : public Num1Fixture {};

TEST_F(F02WEFMessages, EmptyMatricesSucceedWithoutAnyCheck) {
    std::vector<double> none;
    for (int mn : {0, 1}) {
        int ifail = 0;
        // M = 0 or N = 0 with every other argument invalid.
        F02WEF(mn ? -5 : 0, mn ? 0 : -5, none, -1, -1, none, -1, true, none, -1, none, true, none, -1, none, ifail);
        EXPECT_EQ(ifail, 0);
    }
    EXPECT_TRUE(host_.records.empty());
}

TEST_F(F02WEFMessages, EveryInvalidArgumentIsReportedAndCounted) {
    struct Case {
        int m, n, lda, ncolb, ldb, ldq, ldpt;
        bool wantq, wantp;
        std::vector<std::string> names;
        std::vector<int> values;
    };
    const Case cases[] = {
        {-1, 2, 1, -1, 1, 1, 1, false, false, {"M", "NCOLB"}, {-1, -1}},
        {2, -3, 2, 0, 1, 1, 1, false, false, {"N"}, {-3}},
        {3, 2, 2, 1, 2, 1, 1, false, false, {"LDA", "LDB"}, {2, 2}},
        {2, 3, 2, 0, 1, 1, 1, true, false, {"LDQ"}, {1}},
        {3, 2, 3, 0, 1, 1, 1, true, true, {"LDPT"}, {1}},
        {3, 2, 3, 0, 1, 1, 1, false, true, {}, {}},  // LDPT unused without Q
        {2, 3, 2, 0, 1, 1, 1, false, true, {}, {}},  // LDQ unused without Q
    };
    for (const Case& c : cases) {
        host_.records.clear();
        int ifail = -1;
        std::vector<double> a(100, 0.0), b(100), q(100), sv(10), pt(100), work(100);
        F02WEF(c.m, c.n, a, c.lda, c.ncolb, b, c.ldb, c.wantq, q, c.ldq, sv, c.wantp, pt, c.ldpt, work, ifail);
        if (c.names.empty()) {
            EXPECT_EQ(ifail, 0);
            EXPECT_TRUE(host_.records.empty());
            continue;
        }
        EXPECT_EQ(ifail, -1);
        std::vector<std::string> expected;
        for (std::size_t i = 0; i < c.names.size(); ++i) {
            expected.push_back(" ");
            expected.push_back(" *****  Parameter  " + c.names[i] + "  is invalid in routine  F02WEF  *****");
            std::string v = std::to_string(c.values[i]);
            expected.push_back("        Value supplied is " + std::string(6 - v.size(), ' ') + v);
        }
        expected.push_back("    The input parameters contained  " + std::to_string(c.names.size()) + " error(s)");
        expected.push_back(" ** ABNORMAL EXIT from NUM Library routine F02WEF: IFAIL =    -1");
        expected.push_back(" ** NUM soft failure - control returned");
        EXPECT_EQ(host_.records, expected);
    }
}

TEST_F(F02WEFMessages, NonConvergenceIsReportedWithTheCountOfMissingValues) {
    Mat a(3, 3, 1.0);
    a(1, 1) = std::numeric_limits<double>::quiet_NaN();
    Result r = run(a, true, true, nullptr, -1);
    ASSERT_GT(r.ifail, 0);
    ASSERT_LE(r.ifail, 3);
    const std::string k = std::to_string(r.ifail);
    const std::vector<std::string> expected = {
        "    The QR algorithm has failed to converge.",
        "    " + std::string(6 - k.size(), ' ') + k + " singular values have NOT been found.",
        " ** ABNORMAL EXIT from NUM Library routine F02WEF: IFAIL =" + std::string(6 - k.size(), ' ') + k,
        " ** NUM soft failure - control returned"};
    EXPECT_EQ(host_.records, expected);

    // With IFAIL = 0 the run stops after the same messages.
    host_.records.clear();
    EXPECT_THROW(run(a, false, false, nullptr, 0), rt::Stop);
    ASSERT_FALSE(host_.records.empty());
    EXPECT_EQ(host_.records.back(), " ** NUM hard failure - execution terminated");
}

TEST(F02WEFTest, WorkSizesCoverEveryOrderAndShortArraysAreRefused) {
    // The square case with both vector sets: N^2 + 5N - 4, and 3 for N = 1
    // (the row buffer follows the two values the triangle's SVD needs).
    for (int n = 2; n <= 40; ++n) EXPECT_EQ(detail::f02wef_work_size(n, n, 0, true, true), n * n + 5 * n - 4);
    EXPECT_EQ(detail::f02wef_work_size(1, 1, 0, true, true), 3);
    const Mat a = make(5, 5, Kind::random, 3);
    std::vector<double> aa = a.v, sv(5), pt(25), work(detail::f02wef_work_size(5, 5, 0, true, true) - 1);
    int ifail = 1;
    EXPECT_THROW(F02WEF(5, 5, aa, 5, 0, {}, 1, true, {}, 1, sv, true, pt, 5, work, ifail), std::length_error);
    work.push_back(0.0);
    std::vector<double> short_a(24);
    EXPECT_THROW(F02WEF(5, 5, short_a, 5, 0, {}, 1, true, {}, 1, sv, true, pt, 5, work, ifail), std::length_error);
    EXPECT_NO_THROW(F02WEF(5, 5, aa, 5, 0, {}, 1, true, {}, 1, sv, true, pt, 5, work, ifail));
    EXPECT_EQ(ifail, 0);
}

}  // namespace
}  // namespace orv::num1
