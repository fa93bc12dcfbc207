#include "numlib/routines1/f02faf.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
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

using orv::testing::expect_eigenpairs;
using orv::testing::random_symmetric;
using orv::testing::with_eigenvalues;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Outcome {
    int ifail;
    std::vector<double> a, w;
};

// F02FAF on the full matrix FULL (N x N) copied into an array of leading
// dimension LDA whose other triangle and padding hold FILL.
Outcome run(const char* job, const char* uplo, int n, const std::vector<double>& full, int lda, int ifail = 1,
        double fill = kNaN) {
    const bool upper = uplo[0] == 'U' || uplo[0] == 'u';
    Outcome r{ifail, std::vector<double>(static_cast<std::size_t>(lda) * n, fill), std::vector<double>(n, -7.0)};
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i)
            if (upper ? i <= j : i >= j) r.a[i + j * lda] = full[i + j * n];
    std::vector<double> work(static_cast<std::size_t>(3 * n + 1), -5.0);
    F02FAF(job, uplo, n, r.a, lda, r.w, work, 3 * n, r.ifail);
    return r;
}

bool same_bits(const std::vector<double>& x, const std::vector<double>& y) {
    return x.size() == y.size() && std::memcmp(x.data(), y.data(), x.size() * sizeof(double)) == 0;
}

class F02FAFTest : public Num1Fixture {};

// Every JOB/UPLO spelling on random, diagonal, clustered and repeated
// eigenvalues against dsyev.  The triangle not named by UPLO and the padding
// rows hold NaN: reading them would poison the result.
TEST_F(F02FAFTest, EigenpairsAgreeWithDsyev) {
    struct Case {
        const char* name;
        std::vector<double> a;
        int n;
    };
    std::vector<Case> cases;
    for (int n : {1, 2, 3, 7, 40})
        cases.push_back({"random", random_symmetric(n, 1000 + n), n});
    cases.push_back({"repeated", with_eigenvalues({1, 1, 1, 2, 5, 5, -3, 0.5, 0.5, 0.5, 0.5}, 77), 11});
    cases.push_back({"identity-like", with_eigenvalues({2, 2, 2, 2, 2, 2}, 78), 6});
    cases.push_back({"diagonal", {3, 0, 0, 0, 0, -1, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0.25}, 4});
    cases.push_back({"graded", with_eigenvalues({1e-9, 1e-6, 1e-3, 1, 1e3, 1e6}, 79), 6});
    for (const Case& c : cases) {
        for (const char* uplo : {"U", "l"}) {
            SCOPED_TRACE(std::string(c.name) + " N=" + std::to_string(c.n) + " UPLO=" + uplo);
            Outcome v = run("v", uplo, c.n, c.a, c.n + 2);
            ASSERT_EQ(v.ifail, 0);
            expect_eigenpairs(c.n, c.a, v.w.data(), v.a.data(), c.n + 2, 1e-12);
            // JOB "N" gives the same values and leaves the other triangle alone.
            Outcome nv = run("N", uplo, c.n, c.a, c.n + 2, 1, 99.0);
            ASSERT_EQ(nv.ifail, 0);
            double anorm = 1.0;
            for (double x : c.a) anorm = std::max(anorm, std::fabs(x));
            for (int j = 0; j < c.n; ++j) {
                EXPECT_NEAR(nv.w[j], v.w[j], 1e-12 * anorm);
                for (int i = 0; i < c.n + 2; ++i)
                    if (uplo[0] == 'U' ? (i > j) : (i < j || i >= c.n)) {
                        EXPECT_EQ(nv.a[i + j * (c.n + 2)], 99.0);
                    }
            }
        }
    }
    EXPECT_TRUE(host_.records.empty());
}

// Each eigenvector's first element of largest magnitude is positive; of two
// elements of equal magnitude the first decides.
TEST_F(F02FAFTest, LargestComponentIsPositive) {
    for (int seed = 0; seed < 20; ++seed) {
        const int n = 3 + seed % 9;
        Outcome r = run("V", seed % 2 ? "U" : "L", n, random_symmetric(n, 500 + seed), n);
        ASSERT_EQ(r.ifail, 0);
        for (int j = 0; j < n; ++j) {
            int imax = 0;
            for (int i = 1; i < n; ++i)
                if (std::fabs(r.a[i + j * n]) > std::fabs(r.a[imax + j * n])) imax = i;
            EXPECT_GT(r.a[imax + j * n], 0.0) << "seed " << seed << " column " << j + 1;
        }
    }
    // A permutation-like matrix whose eigenvectors are exact +-e_i:
    // diag(-2, 5) in reversed order gives columns e_1 and e_2, both positive.
    Outcome d = run("V", "U", 2, {5.0, 0.0, 0.0, -2.0}, 2);
    EXPECT_EQ(d.a, (std::vector<double>{0.0, 1.0, 1.0, 0.0}));
    // [[0, 1], [1, 0]]: eigenvectors (1, -1)/sqrt2 and (1, 1)/sqrt2 up to
    // sign; with equal magnitudes the first element is made positive.
    Outcome t = run("V", "L", 2, {0.0, 1.0, 1.0, 0.0}, 2);
    ASSERT_EQ(t.ifail, 0);
    EXPECT_DOUBLE_EQ(t.w[0], -1.0);
    EXPECT_DOUBLE_EQ(t.w[1], 1.0);
    for (int j = 0; j < 2; ++j)
        if (std::fabs(t.a[2 * j]) == std::fabs(t.a[2 * j + 1])) {
            EXPECT_GT(t.a[2 * j], 0.0);
        }
    EXPECT_GT(t.a[0], 0.0);
    EXPECT_GT(t.a[2], 0.0);
}

// A power-of-two multiple of a matrix is scaled back into range exactly,
// so its results are those of the matrix in range, bit for bit, times the
// power; a largest element below 1 (0.3) is scaled up by 4.
TEST_F(F02FAFTest, NormsOutOfRangeAreScaledByPowersOfTwo) {
    const int n = 9;
    const std::vector<double> base = random_symmetric(n, 4242);  // largest element in (0.5, 1)
    struct Case {
        double factor;      // applied to BASE for the input
        double reference;   // the input times this is the matrix the routine works on
    } cases[] = {
        {0x1.0p-600, 0x1.0p600},  // tiny: scaled up
        {0x1.0p700, 0x1.0p-216},  // above sqrt(eps/safmin) = 2^484.5: scaled down
        {0.3 / 0.99, 4.0},        // largest element about 0.3: scaled by 2^2
    };
    double largest = 0.0;
    for (double x : base) largest = std::max(largest, std::fabs(x));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.factor);
        std::vector<double> input = base, inrange = base;
        for (std::size_t k = 0; k < base.size(); ++k) {
            input[k] = base[k] / largest * 0.99 * c.factor;
            if (c.factor == 0.3 / 0.99) input[k] = base[k] / largest * 0.3;
            inrange[k] = input[k] * c.reference;
        }
        for (const char* job : {"V", "N"}) {
            Outcome got = run(job, "U", n, input, n, 1, 0.0);
            Outcome ref = run(job, "U", n, inrange, n, 1, 0.0);
            ASSERT_EQ(got.ifail, 0);
            for (double& x : ref.w) x /= c.reference;
            EXPECT_TRUE(same_bits(got.w, ref.w));
            if (job[0] == 'V') {
                EXPECT_TRUE(same_bits(got.a, ref.a));
            }
        }
    }
    // Subnormal elements: the factor is capped at 2^1021 and the values come
    // out right to the precision the subnormal input carries.
    std::vector<double> tiny = base;
    for (double& x : tiny) x *= 1e-310;
    Outcome t = run("N", "L", n, tiny, n);
    ASSERT_EQ(t.ifail, 0);
    Outcome b = run("N", "L", n, base, n);
    for (int j = 0; j < n; ++j) EXPECT_NEAR(t.w[j] / 1e-310, b.w[j], 1e-9);
    // Overflowing products would make infinities without the scaling.
    std::vector<double> huge = base;
    for (double& x : huge) x *= 1e300;
    Outcome h = run("V", "L", n, huge, n);
    ASSERT_EQ(h.ifail, 0);
    Outcome hb = run("V", "L", n, base, n);
    for (int j = 0; j < n; ++j) EXPECT_NEAR(h.w[j] / 1e300, hb.w[j], 1e-13);
}

// Every invalid argument is reported on its own, then the count; nothing is
// computed.  The records and what happens after them follow IFAIL.
TEST_F(F02FAFTest, ArgumentErrorsAreAllReported) {
    auto param = [](const std::string& name, const std::string& value) {
        std::string first = " *****  Parameter  " + name + "  is invalid in routine  F02FAF  *****";
        return std::vector<std::string>{" ", first, "        Value supplied is " + value};
    };
    struct Case {
        const char* job;
        const char* uplo;
        int n, lda, lwork;
        std::vector<std::vector<std::string>> reports;
    } cases[] = {
        {"X", "U", 3, 3, 9, {{" ", " *****  Parameter  JOB  is invalid in routine  F02FAF  *****",
                              "        Value supplied is", "        X"}}},
        {"V", "q", 3, 3, 9, {{" ", " *****  Parameter  UPLO  is invalid in routine  F02FAF  *****",
                              "        Value supplied is", "        q"}}},
        {"N", "L", -1, 1, 1, {param("N", "    -1")}},
        {"V", "U", 4, 3, 12, {param("LDA", "     3")}},
        {"V", "U", 0, 0, 1, {param("LDA", "     0")}},
        {"V", "U", 4, 4, 11, {param("LWORK", "    11")}},
        {"V", "U", 0, 1, 0, {param("LWORK", "     0")}},
        {"V", "U", -2, 1, -5, {param("N", "    -2"), param("LWORK", "    -5")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.job) + c.uplo + " N=" + std::to_string(c.n));
        std::vector<double> a(16, 1.25), w(4, -7.0), work(16, -5.0);
        int ifail = 1;
        F02FAF(c.job, c.uplo, c.n, a, c.lda, w, work, c.lwork, ifail);
        EXPECT_EQ(ifail, 1);
        EXPECT_TRUE(host_.records.empty());

        ifail = -1;
        F02FAF(c.job, c.uplo, c.n, a, c.lda, w, work, c.lwork, ifail);
        EXPECT_EQ(ifail, 1);
        std::vector<std::string> expected;
        for (const auto& r : c.reports) expected.insert(expected.end(), r.begin(), r.end());
        expected.push_back(" ** The input parameters contained  " + std::to_string(c.reports.size()) + " error(s)");
        expected.push_back(" ** ABNORMAL EXIT from NUM Library routine F02FAF: IFAIL =     1");
        expected.push_back(" ** NUM soft failure - control returned");
        EXPECT_EQ(host_.records, expected);
        host_.records.clear();
        for (double x : a) EXPECT_EQ(x, 1.25);
        for (double x : w) EXPECT_EQ(x, -7.0);
        for (double x : work) EXPECT_EQ(x, -5.0);

        ifail = 0;
        EXPECT_THROW(F02FAF(c.job, c.uplo, c.n, a, c.lda, w, work, c.lwork, ifail), rt::Stop);
        EXPECT_EQ(host_.records.back(), " ** NUM hard failure - execution terminated");
        host_.records.clear();
    }
    // All five at once.
    std::vector<double> a(4), w(4), work(4);
    int ifail = -13;
    F02FAF("A", "B", -1, a, 0, w, work, 0, ifail);
    EXPECT_EQ(ifail, 1);
    ASSERT_FALSE(host_.records.empty());
    EXPECT_EQ(host_.records.back(), " ** The input parameters contained  5 error(s)");
}

// The smallest accepted arguments: N = 0 does nothing; LWORK = 3N suffices
// and is all that is touched; arrays shorter than the arguments say are
// refused before anything is written.
TEST_F(F02FAFTest, BoundaryArgumentsAndShortArrays) {
    std::vector<double> none;
    std::vector<double> one_work(1, 0.0);
    int ifail = 0;
    F02FAF("V", "U", 0, none, 1, none, one_work, 1, ifail);
    EXPECT_EQ(ifail, 0);

    const int n = 6;
    const std::vector<double> full = random_symmetric(n, 9);
    std::vector<double> a = full, w(n), work(3 * n + 4, -3.0);
    ifail = 0;
    F02FAF("V", "L", n, a, n, w, std::span<double>(work).first(3 * n), 3 * n, ifail);
    EXPECT_EQ(ifail, 0);
    for (int k = 3 * n; k < 3 * n + 4; ++k) EXPECT_EQ(work[k], -3.0);
    expect_eigenpairs(n, full, w.data(), a.data(), n, 1e-12);

    for (int which = 0; which < 3; ++which) {
        SCOPED_TRACE(which);
        std::vector<double> aa = full, ww(n, -7.0), wk(3 * n, -3.0);
        std::vector<double>* arrays[] = {&aa, &ww, &wk};
        arrays[which]->pop_back();
        ifail = 0;
        EXPECT_THROW(F02FAF("V", "U", n, aa, n, ww, wk, 3 * n, ifail), std::length_error);
        for (double x : ww) EXPECT_EQ(x, -7.0);
    }
}

// A matrix the QR iteration cannot settle (not-a-number elements) is error
// 2 with its two records.
TEST_F(F02FAFTest, UnconvergedIterationIsErrorTwo) {
    std::vector<double> full = random_symmetric(5, 3);
    full[1] = full[5] = kNaN;
    for (const char* job : {"V", "N"}) {
        Outcome r = run(job, "L", 5, full, 5, -1, 0.0);
        EXPECT_EQ(r.ifail, 2);
        ASSERT_EQ(host_.records.size(), 4u);
        EXPECT_EQ(host_.records[0], " ** The QR algorithm failed to converge:");
        EXPECT_EQ(host_.records[1].substr(0, 4), " ** ");
        EXPECT_EQ(host_.records[1].substr(10), " off-diagonal elements of the tridiagonal form have not converged");
        EXPECT_EQ(host_.records[2], " ** ABNORMAL EXIT from NUM Library routine F02FAF: IFAIL =     2");
        host_.records.clear();
    }
}

}  // namespace
}  // namespace orv::num1
