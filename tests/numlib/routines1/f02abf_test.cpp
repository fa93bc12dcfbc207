#include "numlib/routines1/f02abf.h"

#include <gtest/gtest.h>

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

using orv::testing::expect_eigenpairs;
using orv::testing::random_symmetric;
using orv::testing::with_eigenvalues;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Outcome {
    int ifail;
    std::vector<double> r, v, e;
};

// F02ABF on the lower triangle of FULL (N x N) held with leading dimension
// IA, the strict upper triangle and the padding rows NaN (never to be read).
Outcome run(int n, const std::vector<double>& full, int ia, int iv, int ifail = 1,
            std::vector<double>* a_out = nullptr) {
    std::vector<double> a(static_cast<std::size_t>(ia) * n, kNaN);
    for (int j = 0; j < n; ++j)
        for (int i = j; i < n; ++i) a[i + j * ia] = full[i + j * n];
    const std::vector<double> before = a;
    Outcome o{ifail, std::vector<double>(n, -7.0), std::vector<double>(static_cast<std::size_t>(iv) * n, -7.0),
              std::vector<double>(n, -7.0)};
    F02ABF(a, ia, n, o.r, o.v, iv, o.e, o.ifail);
    for (std::size_t k = 0; k < a.size(); ++k) {
        if (std::isnan(before[k])) {
            EXPECT_TRUE(std::isnan(a[k]));
        } else {
            EXPECT_EQ(a[k], before[k]) << "A changed at " << k;
        }
    }
    if (a_out) *a_out = a;
    return o;
}

class F02ABFTest : public Num1Fixture {};

// Random, clustered, repeated and graded eigenvalues against dsyev; N = 300
// makes sweeps longer than one block of buffered rotations.
TEST_F(F02ABFTest, EigenpairsAgreeWithDsyev) {
    struct Case {
        const char* name;
        std::vector<double> a;
        int n;
    };
    std::vector<Case> cases;
    for (int n : {1, 2, 3, 8, 33}) cases.push_back({"random", random_symmetric(n, 2000 + n), n});
    cases.push_back({"repeated", with_eigenvalues({1, 1, 1, 2, 5, 5, -3, 0.5, 0.5, 0.5, 0.5}, 17), 11});
    cases.push_back({"identity-like", with_eigenvalues({-4, -4, -4, -4, -4}, 18), 5});
    cases.push_back({"graded", with_eigenvalues({1e-9, 1e-6, 1e-3, 1, 1e3, 1e6}, 19), 6});
    cases.push_back({"large", random_symmetric(300, 21), 300});
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " N=" + std::to_string(c.n));
        Outcome o = run(c.n, c.a, c.n + 1, c.n + 3);
        ASSERT_EQ(o.ifail, 0);
        expect_eigenpairs(c.n, c.a, o.r.data(), o.v.data(), c.n + 3, c.n > 100 ? 1e-11 : 1e-12);
        for (int j = 0; j < c.n; ++j)
            for (int i = c.n; i < c.n + 3; ++i) EXPECT_EQ(o.v[i + j * (c.n + 3)], -7.0) << "padding written";
    }
    EXPECT_TRUE(host_.records.empty());
}

// A diagonal matrix is already tridiagonal with a zero off-diagonal: the
// values come out sorted and the vectors are the unit vectors permuted by
// the selection sort (the first of equal smallest values is taken and
// exchanged with the value in its place).  With diag(2, 1, 2) equal values
// keep the order of their diagonal positions; in the longer case an
// exchange carries a 3 and a 1 past their equals.
TEST_F(F02ABFTest, DiagonalMatrixSortsBySelection) {
    struct Case {
        std::vector<double> diag, sorted;
        std::vector<int> position;  // diagonal index of each sorted value
    } cases[] = {
        {{2.0, 1.0, 2.0}, {1.0, 2.0, 2.0}, {1, 0, 2}},
        {{3.0, 1.0, 3.0, -2.0, 1.0, 0.0}, {-2.0, 0.0, 1.0, 1.0, 3.0, 3.0}, {3, 5, 4, 1, 2, 0}},
    };
    for (const Case& c : cases) {
        const int n = static_cast<int>(c.diag.size());
        std::vector<double> a(static_cast<std::size_t>(n) * n, 0.0);
        for (int i = 0; i < n; ++i) a[i + i * n] = c.diag[i];
        Outcome o = run(n, a, n, n);
        ASSERT_EQ(o.ifail, 0);
        EXPECT_EQ(o.r, c.sorted);
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < n; ++i)
                EXPECT_EQ(std::fabs(o.v[i + j * n]), i == c.position[j] ? 1.0 : 0.0) << i << "," << j;
    }
}

// N < 1 has nothing to compute and touches nothing; leading dimensions below
// N and arrays shorter than the arguments say are refused before anything
// is written.
TEST_F(F02ABFTest, EmptyOrderAndShortArrays) {
    for (int n : {0, -3}) {
        std::vector<double> none;
        int ifail = 0;
        F02ABF(none, 1, n, none, none, 1, none, ifail);
        EXPECT_EQ(ifail, 0);
    }
    const int n = 4;
    const std::vector<double> a = random_symmetric(n, 5);
    struct Case {
        int ia, iv, drop;  // drop: which array is one short (-1 none)
    } cases[] = {{3, 4, -1}, {4, 3, -1}, {4, 4, 0}, {4, 4, 1}, {4, 4, 2}, {4, 4, 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.ia << " " << c.iv << " " << c.drop);
        std::vector<double> aa(a), r(n, -7.0), v(16, -7.0), e(n, -7.0);
        std::vector<double>* arrays[] = {&aa, &r, &v, &e};
        if (c.drop >= 0) arrays[c.drop]->pop_back();
        int ifail = 0;
        EXPECT_THROW(F02ABF(aa, c.ia, n, r, v, c.iv, e, ifail), std::length_error);
        for (const auto* x : {&r, &v, &e})
            for (double y : *x) EXPECT_EQ(y, -7.0);
    }
}

// A matrix the QL iteration cannot settle (not-a-number elements) spends
// the budget of 30 N iterations: error 1 under F02ABF's name, with no
// records of the worker.
TEST_F(F02ABFTest, UnconvergedIterationIsErrorOne) {
    std::vector<double> a = random_symmetric(5, 8);
    a[2] = a[10] = kNaN;
    Outcome silent = run(5, a, 5, 5, 1);
    EXPECT_EQ(silent.ifail, 1);
    EXPECT_TRUE(host_.records.empty());

    Outcome noisy = run(5, a, 5, 5, -1);
    EXPECT_EQ(noisy.ifail, 1);
    EXPECT_EQ(host_.records, (std::vector<std::string>{" ** ABNORMAL EXIT from NUM Library routine F02ABF: IFAIL =     1",
                                                       " ** NUM soft failure - control returned"}));
    host_.records.clear();
    EXPECT_THROW(run(5, a, 5, 5, 0), rt::Stop);
    EXPECT_EQ(host_.records.back(), " ** NUM hard failure - execution terminated");
}

// The worker on its own: a tridiagonal matrix whose off-diagonal comes in
// E(2..N), Z the identity: Z ends as the eigenvectors of the tridiagonal.
TEST_F(F02ABFTest, QlWorkerOnTridiagonal) {
    const int n = 7;
    std::vector<double> full(n * n, 0.0), d(n), e(n), z(n * n, 0.0);
    for (int i = 0; i < n; ++i) {
        d[i] = full[i + i * n] = 2.0 + 0.1 * i;
        z[i + i * n] = 1.0;
        if (i > 0) e[i] = full[i + (i - 1) * n] = full[i - 1 + i * n] = -1.0 + 0.05 * i;
    }
    e[0] = 123.0;  // not part of the matrix
    int ifail = 1;
    F02AMZ(n, 0x1.0p-53, d, e, z, n, ifail);
    ASSERT_EQ(ifail, 0);
    expect_eigenpairs(n, full, d.data(), z.data(), n, 1e-13);
}

}  // namespace
}  // namespace orv::num1
