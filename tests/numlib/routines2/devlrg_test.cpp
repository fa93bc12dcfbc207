#include "numlib/routines2/devlrg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <complex>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "numlib/blas_lapack.h"
#include "numlib/routines2/erset.h"
#include "numlib/routines2/umach.h"
#include "runtime/io_error.h"
#include "num2_fixture.h"

namespace orv::num2 {
namespace {

using cplx = std::complex<double>;
using Values = std::vector<cplx>;

class GeneralEigen : public Num2Fixture {};

Values devlrg(int n, const std::vector<double>& a) {
    Values eval(static_cast<std::size_t>(n), cplx(-77.0, -77.0));
    DEVLRG(n, a, n, eval);
    return eval;
}

Values dgeev(int n, std::vector<double> a) {
    std::vector<double> wr(n), wi(n), work(8 * n + 16);
    const int lwork = static_cast<int>(work.size());
    const int one = 1;
    int info = 0;
    dgeev_("N", "N", &n, a.data(), &n, wr.data(), wi.data(), nullptr, &one, nullptr, &one, work.data(), &lwork, &info,
           1, 1);
    EXPECT_EQ(info, 0);
    Values out;
    for (int i = 0; i < n; ++i) out.emplace_back(wr[i], wi[i]);
    return out;
}

double frobenius(const std::vector<double>& a) {
    double s = 0.0;
    for (double v : a) s += v * v;
    return std::sqrt(s);
}

// The same multiset within TOL: each value matched to the nearest unused one.
void expect_same_values(const Values& got, const Values& want, double tol) {
    ASSERT_EQ(got.size(), want.size());
    std::vector<bool> used(want.size(), false);
    for (const cplx& g : got) {
        std::size_t best = want.size();
        for (std::size_t k = 0; k < want.size(); ++k) {
            if (!used[k] && (best == want.size() || std::abs(want[k] - g) < std::abs(want[best] - g))) best = k;
        }
        used[best] = true;
        EXPECT_LE(std::abs(want[best] - g), tol) << "eigenvalue " << g << " nearest " << want[best];
    }
}

// Decreasing modulus; an adjacent conjugate pair has its positive part first.
void expect_ordered(const Values& v) {
    for (std::size_t i = 1; i < v.size(); ++i) {
        const double before = std::sqrt(v[i - 1].real() * v[i - 1].real() + v[i - 1].imag() * v[i - 1].imag());
        const double here = std::sqrt(v[i].real() * v[i].real() + v[i].imag() * v[i].imag());
        EXPECT_GE(before, here) << "position " << i + 1;
        if (v[i - 1].imag() != 0.0 && v[i - 1] == std::conj(v[i])) {
            EXPECT_GT(v[i - 1].imag(), 0.0);
        }
    }
}

// Q T Q with the reflection Q = I - 2 v v'/v'v: the eigenvalues of T, and a
// full matrix, normal when T is.
std::vector<double> reflected(int n, const std::vector<double>& t, double seed) {
    std::vector<double> v(n), q(static_cast<std::size_t>(n * n)), a(q.size(), 0.0);
    double vv = 0.0;
    for (int i = 0; i < n; ++i) vv += (v[i] = std::sin(seed + 1.7 * i)) * v[i];
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) q[i + j * n] = (i == j ? 1.0 : 0.0) - 2.0 * v[i] * v[j] / vv;
    }
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            for (int k = 0; k < n; ++k) {
                for (int l = 0; l < n; ++l) a[i + j * n] += q[i + k * n] * t[k + l * n] * q[l + j * n];
            }
        }
    }
    return a;
}

std::vector<double> companion(const std::vector<double>& c) {  // x^n + c[n-1] x^(n-1) + ... + c[0]
    const int n = static_cast<int>(c.size());
    std::vector<double> a(static_cast<std::size_t>(n * n), 0.0);
    for (int i = 1; i < n; ++i) a[i + (i - 1) * n] = 1.0;
    for (int i = 0; i < n; ++i) a[i + (n - 1) * n] = -c[i];
    return a;
}

// Exact results: the values come from the diagonal or a 2 by 2 block, and
// their order is fixed by the ordering rules.
TEST_F(GeneralEigen, SmallMatricesGiveExactValuesInOrder) {
    struct Case {
        const char* what;
        int n;
        std::vector<double> a;  // column-major
        Values want;
    } cases[] = {
        {"one element", 1, {-2.5}, {{-2.5, 0}}},
        {"zero matrix", 3, std::vector<double>(9, 0.0), {{0, 0}, {0, 0}, {0, 0}}},
        {"diagonal", 4, {3, 0, 0, 0, 0, -1, 0, 0, 0, 0, 0.5, 0, 0, 0, 0, 2}, {{3, 0}, {2, 0}, {-1, 0}, {0.5, 0}}},
        {"upper triangular", 3, {1, 0, 0, 5, -4, 0, 7, 8, 2}, {{-4, 0}, {2, 0}, {1, 0}}},
        {"lower triangular", 3, {1, 5, 7, 0, -4, 8, 0, 0, 2}, {{-4, 0}, {2, 0}, {1, 0}}},
        {"rotation", 2, {0, 1, -1, 0}, {{0, 1}, {0, -1}}},
        {"2 then -2", 2, {2, 0, 0, -2}, {{2, 0}, {-2, 0}}},
        {"-2 then 2", 2, {-2, 0, 0, 2}, {{-2, 0}, {2, 0}}},
        {"real 2 by 2 block", 2, {2, 1, 1, 2}, {{3, 0}, {1, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(devlrg(c.n, c.a), c.want);
    }
    EXPECT_TRUE(host_.records.empty());
}

TEST_F(GeneralEigen, KnownEigenvaluesAndRandomMatricesAgreeWithLapack) {
    struct Case {
        const char* what;
        std::vector<double> a;
        Values exact;  // empty: LAPACK only
        double tol;    // relative to the Frobenius norm
    };
    std::vector<Case> cases;
    auto blockdiag = [](int n, const std::vector<std::array<double, 2>>& blocks) {
        std::vector<double> t(static_cast<std::size_t>(n * n), 0.0);
        int i = 0;
        for (const auto& [a, b] : blocks) {
            t[i + i * n] = a;
            if (b != 0.0) {
                t[(i + 1) + (i + 1) * n] = a;
                t[i + (i + 1) * n] = b;
                t[(i + 1) + i * n] = -b;
                ++i;
            }
            ++i;
        }
        return t;
    };
    cases.push_back({"repeated", reflected(6, blockdiag(6, {{3, 0}, {3, 0}, {3, 0}, {-1, 0}, {-1, 0}, {0.5, 0}}), 1),
                     {{3, 0}, {3, 0}, {3, 0}, {-1, 0}, {-1, 0}, {0.5, 0}}, 1e-13});
    cases.push_back({"negative", reflected(4, blockdiag(4, {{-5, 0}, {-3, 0}, {-1, 0}, {-0.25, 0}}), 2),
                     {{-5, 0}, {-3, 0}, {-1, 0}, {-0.25, 0}}, 1e-13});
    cases.push_back({"complex pairs", reflected(8, blockdiag(8, {{1, 2}, {-3, 0.5}, {0.2, 0}, {4, 0}, {0, 1}}), 3),
                     {{1, 2}, {1, -2}, {-3, 0.5}, {-3, -0.5}, {0.2, 0}, {4, 0}, {0, 1}, {0, -1}}, 1e-13});
    cases.push_back({"(x-1)(x-2)(x-3)(x-4)", companion({24, -50, 35, -10}), {{4, 0}, {3, 0}, {2, 0}, {1, 0}}, 1e-12});
    cases.push_back({"x^4+1", companion({1, 0, 0, 0}),
                     {{M_SQRT1_2, M_SQRT1_2}, {M_SQRT1_2, -M_SQRT1_2}, {-M_SQRT1_2, M_SQRT1_2}, {-M_SQRT1_2, -M_SQRT1_2}},
                     1e-13});
    cases.push_back({"x^3-1", companion({-1, 0, 0}), {{1, 0}, {-0.5, std::sqrt(0.75)}, {-0.5, -std::sqrt(0.75)}}, 1e-13});
    {
        std::vector<double> c{1.0};  // (x-1)(x-2)...(x-10)
        for (int r = 1; r <= 10; ++r) {
            std::vector<double> next(c.size() + 1, 0.0);
            for (std::size_t k = 0; k < c.size(); ++k) {
                next[k + 1] += c[k];
                next[k] -= r * c[k];
            }
            c = next;
        }
        c.pop_back();
        Values exact;
        for (int r = 10; r >= 1; --r) exact.emplace_back(r, 0);
        cases.push_back({"(x-1)...(x-10)", companion(c), exact, 1e-9});
    }
    std::mt19937 gen(20240611);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    for (int n = 1; n <= 40; ++n) {
        std::vector<double> a(static_cast<std::size_t>(n * n));
        for (double& v : a) v = dist(gen) * (n % 3 == 0 ? 1e5 : 1.0);
        if (n % 4 == 0) a[n - 1] *= 1e-8;  // badly scaled corner: balancing matters
        cases.push_back({"random", a, {}, 1e-11});
    }
    for (const Case& c : cases) {
        const int n = static_cast<int>(std::lround(std::sqrt(static_cast<double>(c.a.size()))));
        SCOPED_TRACE(::testing::Message() << c.what << " n=" << n);
        const std::vector<double> before = c.a;
        const Values got = devlrg(n, c.a);
        EXPECT_EQ(c.a, before);
        const double tol = c.tol * std::max(1.0, frobenius(c.a));
        expect_same_values(got, dgeev(n, c.a), tol);
        if (!c.exact.empty()) expect_same_values(got, c.exact, tol);
        expect_ordered(got);
    }
    EXPECT_TRUE(host_.records.empty());
}

// The engine's use: the real parts of a correlation matrix's eigenvalues,
// in the order returned, are its eigenvalues in decreasing order.
TEST_F(GeneralEigen, CorrelationMatrixComesBackInDecreasingOrder) {
    const int n = 9;
    std::vector<double> r(static_cast<std::size_t>(n * n));
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) r[i + j * n] = std::pow(0.6, std::abs(i - j)) * (i == j ? 1.0 : 0.9);
    }
    const Values got = devlrg(n, r);
    Values want = dgeev(n, r);
    std::sort(want.begin(), want.end(), [](cplx a, cplx b) { return a.real() > b.real(); });
    double trace = 0.0;
    for (int i = 0; i < n; ++i) {
        EXPECT_EQ(got[i].imag(), 0.0);
        EXPECT_NEAR(got[i].real(), want[i].real(), 1e-13 * n);
        trace += got[i].real();
    }
    EXPECT_NEAR(trace, n, 1e-12);
    EXPECT_GT(got[n - 1].real(), 0.0);
}

// DE3LRG with exactly the storage the engine passes: N*N, 4N, 2N, including
// N = 16, where DEVLRG's own copy has leading dimension 17.
TEST_F(GeneralEigen, CallerStorageOfExactSize) {
    for (int n : {1, 15, 16, 17}) {
        std::vector<double> a(static_cast<std::size_t>(n * n));
        for (int i = 0; i < n * n; ++i) a[i] = std::sin(1.0 + i * 0.7);
        std::vector<double> acopy(static_cast<std::size_t>(n * n)), wk(4 * n);
        std::vector<int> iwk(2 * n);
        Values eval(n);
        DE3LRG(n, a, n, eval, acopy, wk, iwk);
        EXPECT_EQ(eval, devlrg(n, a)) << n;
        EXPECT_THROW(DE3LRG(n, a, n, eval, std::span<double>(acopy).first(n * n - 1), wk, iwk), std::length_error);
        reset_error_machinery();
    }
}

std::vector<int> storage_option() {
    std::array<int, 1> opt{1};
    std::vector<int> v(8);
    IUMAG("MATH", 2, 1, 1, opt, v);
    return v;
}

void set_storage_option(std::vector<int> v) {
    std::array<int, 1> opt{1};
    IUMAG("MATH", 2, 2, 1, opt, v);
}

struct Failure {
    int n, lda;
    std::vector<int> option;  // empty: leave the initial values
    bool direct;              // DE3LRG rather than DEVLRG
    std::vector<std::string> records;
};

// Every message text, printed under ERSET(0,1,0); the call returns with NaN
// in EVAL and the storage option as it was.
TEST_F(GeneralEigen, ArgumentAndStorageErrors) {
    const std::vector<Failure> cases = {
        {0, 1, {}, false,
         {"", " *** TERMINAL ERROR 1 from DEVLRG.  The argument N = 0.  The order of the",
          " ***          matrix must be at least 1."}},
        {-3, 1, {}, true,
         {"", " *** TERMINAL ERROR 1 from DE3LRG.  The argument N = -3.  The order of the",
          " ***          matrix must be at least 1. "}},
        {3, 2, {}, true,
         {"", " *** TERMINAL ERROR 2 from DE3LRG.  The argument LDA = 2.  The leading",
          " ***          dimension of the matrix must be at least equal to the order of ",
          " ***          the matrix, N = 3. "}},
        {3, 3, {1, 16, -1, 5, 1, 16, 0, 1}, true,
         {"", " *** TERMINAL ERROR 4 from DE3LRG.  The option values 3,4 must berespectively",
          " ***          not less than zero, and non-negative while -1 and 5 are given."}},
        // DEVLRG hands its values 1 and 2 to DE3LRG as values 3 and 4.
        {3, 3, {2, 0, 0, 1, 1, 16, 0, 1}, false,
         {"", " *** TERMINAL ERROR 4 from DE3LRG.  The option values 3,4 must berespectively",
          " ***          not less than zero, and non-negative while 2 and 0 are given.",
          "     Here is a traceback of subprogram calls in reverse order:",
          "     Routine name                    Error type  Error code",
          "     ------------                    ----------  ----------",
          "     DE3LRG                               5           4    (Called internally)",
          "     DEVLRG                               0           0",
          "     USER                                 0           0"}},
        {1 << 20, 1 << 20, {INT_MAX, 1, 0, 1, 1, 16, 0, 1}, false,
         {"", " *** TERMINAL ERROR 2 from DEVLRG.  The required storage cannot be allocated.",
          " ***          The specified N may be too large, where N = 1048576."}},
    };
    for (const Failure& c : cases) {
        SCOPED_TRACE(c.records.at(1));
        reset_error_machinery();
        ERSET(0, 1, 0);
        host_.records.clear();
        if (!c.option.empty()) set_storage_option(c.option);
        const std::vector<int> option_before = storage_option();
        std::vector<double> a(9, 1.0);
        Values eval(std::max(c.n, 1), cplx(5.0, 5.0));
        if (c.direct) {
            std::vector<double> acopy(9), wk(12);
            std::vector<int> iwk(6);
            DE3LRG(c.n, a, c.lda, eval, acopy, wk, iwk);
        } else {
            DEVLRG(c.n, a, c.lda, eval);
        }
        EXPECT_EQ(host_.records, c.records);
        EXPECT_EQ(storage_option(), option_before);
        if (c.n >= 1) {
            EXPECT_TRUE(std::isnan(eval.front().real()) && std::isnan(eval.back().imag()));
        }
        reset_options();
    }
}

TEST_F(GeneralEigen, CopyChecksItsArguments) {
    struct Case {
        int n, lda, ldb;
        std::vector<std::string> records;
    } cases[] = {
        {0, 1, 1,
         {"", " *** TERMINAL ERROR 1 from DCRGRG.  The argument N = 0.  It must be at least",
          " ***          1."}},
        {2, 1, 1,
         {"", " *** TERMINAL ERROR 2 from DCRGRG.  The argument LDA = 1.  It must be at",
          " ***          least as large as N = 2."}},
        {2, 2, 1,
         {"", " *** TERMINAL ERROR 3 from DCRGRG.  The argument LDB = 1.  It must be at",
          " ***          least as large as N = 2."}},
    };
    for (const Case& c : cases) {
        reset_error_machinery();
        ERSET(0, 1, 0);
        host_.records.clear();
        std::vector<double> a{1, 2, 3, 4}, b(4, 9.0);
        DCRGRG(c.n, a, c.lda, b, c.ldb);
        EXPECT_EQ(host_.records, c.records);
        EXPECT_EQ(b, std::vector<double>(4, 9.0));
    }
    std::vector<double> a{1, 2, 3, 4, 5, 6}, b(6, 0.0);
    DCRGRG(2, a, 3, b, 3);
    EXPECT_EQ(b, (std::vector<double>{1, 2, 0, 4, 5, 0}));
}

// An iteration that cannot converge (NaN) ends with the fatal error; the
// eigenvalue isolated by balancing is still there, the others are NaN and
// come last.  Under the default attributes the run stops when DEVLRG returns,
// with the storage option restored.
TEST_F(GeneralEigen, NoConvergenceLeavesNanAndIsFatal) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<double> a(16, nan);
    for (int j = 0; j < 3; ++j) a[3 + j * 4] = 0.0;  // row 4 = (0, 0, 0, 7)
    a[15] = 7.0;
    const std::vector<std::string> message{
        "", " *** FATAL    ERROR 1 from DEVLRG.  The iteration for the eigenvalues did not",
        " ***          converge after 300 iterations."};

    ERSET(0, 1, 0);
    const Values got = devlrg(4, a);
    EXPECT_EQ(got[0], cplx(7.0, 0.0));
    for (int i = 1; i < 4; ++i) EXPECT_TRUE(std::isnan(got[i].real()) && std::isnan(got[i].imag()));
    EXPECT_EQ(host_.records, message);
    EXPECT_EQ(LSTERR(), 1);

    reset_error_machinery();
    host_.records.clear();
    const std::vector<int> option_before = storage_option();
    EXPECT_THROW(devlrg(4, a), rt::Stop);
    EXPECT_EQ(host_.records, message);
    EXPECT_EQ(storage_option(), option_before);
}

// An infinite row or column sum cannot be balanced; the call still returns.
TEST_F(GeneralEigen, InfiniteElementDoesNotHang) {
    const double inf = std::numeric_limits<double>::infinity();
    for (const std::vector<double>& a : {std::vector<double>{1, inf, 1, 1}, std::vector<double>{1, 1, inf, 1}}) {
        ERSET(0, 0, 0);
        const Values got = devlrg(2, a);
        EXPECT_EQ(got.size(), 2u);
    }
}

// A row or column sum near the overflow limit, which scaling by powers of 16
// must not take to infinity (and then loop for ever).  The call returns with
// the eigenvalues of the matrix: 1 +- sqrt(1.7e306) for the 2 by 2 case.
TEST_F(GeneralEigen, SumNearOverflowLimitEnds) {
    ERSET(0, 0, 0);
    const Values two = devlrg(2, {1.0, 0.01, 1.7e308, 1.0});
    const double root = std::sqrt(1.7e306);
    expect_same_values(two, {cplx(1.0 + root, 0.0), cplx(1.0 - root, 0.0)}, 1e-12 * root);

    // A correlation matrix with one entry of 2^1022 in place of its mirror.
    std::vector<double> r{1.0,   -0.71, -0.84, -0.96, -0.87, -0.71, 1.0,   -0.77, -0.94, 0.51, -0.84, -0.77, 1.0,
                          -0.10, -0.10, -0.96, -0.94, -0.10, 1.0,   -0.20, -0.87, 0.51,  -0.10, -0.20, 1.0};
    r[4 * 5] = std::ldexp(1.0, 1022);  // row 1, column 5
    const Values five = devlrg(5, r);
    EXPECT_EQ(five.size(), 5u);
    EXPECT_EQ(LSTERR(), 0);
}

}  // namespace
}  // namespace orv::num2
