#include "numlib/routines1/f02syz.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "numlib/routines1/errexit.h"
#include "numlib/routines1/f02wuf.h"
#include "num1_fixture.h"

namespace orv::num1 {
namespace {

// Y diag(D) Z for the N x N results against the bidiagonal matrix.
void expect_reproduces(int n, const std::vector<double>& d0, const std::vector<double>& e0, const std::vector<double>& d,
                       const std::vector<double>& y, const std::vector<double>& z, double tol) {
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            double s = 0.0;
            for (int k = 0; k < n; ++k) s += y[i + k * n] * d[k] * z[k + j * n];
            const double want = i == j ? d0[i] : (j == i + 1 ? e0[i] : 0.0);
            EXPECT_NEAR(s, want, tol) << i << "," << j;
        }
}

std::vector<double> identity(int n) {
    std::vector<double> v(static_cast<std::size_t>(n) * n, 0.0);
    for (int i = 0; i < n; ++i) v[i + i * n] = 1.0;
    return v;
}

TEST(F02SYZTest, BidiagonalCasesConvergeWithSortedNonNegativeValues) {
    struct Case {
        std::vector<double> d, e;
        int sweeps_at_most;
    };
    const Case cases[] = {
        {{-3.0}, {}, 0},                                     // N = 1: no sweep
        {{1.0, -4.0, 2.0, 2.0}, {0.0, 0.0, 0.0}, 0},         // diagonal: no sweep
        {{1.0, 2.0, 0.0}, {0.0, 0.25}, 0},                   // zero last diagonal: BDZBOT
        {{1.0, 0.0, 3.0, 2.0}, {1.0, 1.0, 1.0}, 1000},       // zero in the middle: BDZMID
        {{4.0, 3.0, 2.0, 1.0, 0.5}, {1.0, -1.0, 1.0, 2.0}, 1000},
        {{1e-200, 1.0, 1e200}, {1e100, 1.0}, 1000},
    };
    for (const Case& c : cases) {
        const int n = static_cast<int>(c.d.size());
        std::vector<double> d = c.d, e = c.e, y = identity(n), z = identity(n), work(4 * n + 1);
        e.resize(n, 0.0);
        int ifail = 0;
        F02SYZ(n, d, e, 0, {}, 1, n, y, n, n, z, n, work, ifail);
        ASSERT_EQ(ifail, 0);
        EXPECT_LE(work[0] - 1.0, c.sweeps_at_most);
        for (int i = 0; i < n; ++i) {
            EXPECT_GE(d[i], 0.0);
            if (i > 0) {
                EXPECT_GE(d[i - 1], d[i]);
            }
        }
        double big = 0.0;
        for (double v : c.d) big = std::max(big, std::fabs(v));
        std::vector<double> e0 = c.e;
        e0.resize(n, 0.0);
        if (big < 1e10) expect_reproduces(n, c.d, e0, d, y, z, 1e-14 * big);
    }
}

TEST(F02SYZTest, NonConvergenceStopsAfterFiftyNSweeps) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<double> d = {nan, nan, nan}, e = {nan, nan}, work(1 + 3);
    int ifail = 1;
    F02SYZ(3, d, e, 0, {}, 1, 0, {}, 1, 0, {}, 1, work, ifail);
    EXPECT_EQ(ifail, 3);
    EXPECT_EQ(work[0], 151.0);  // one more than the 150 sweeps made
}

class F02SYZMessages : public Num1Fixture {};

TEST_F(F02SYZMessages, ArgumentErrorsAreCountedPerRoutine) {
    std::vector<double> big(100, 0.0);
    int ifail = -1;
    F02SYZ(-1, big, big, -1, big, 1, 2, big, 1, 1, big, -5, big, ifail);
    EXPECT_EQ(ifail, -1);
    std::vector<std::string> names;
    for (const std::string& r : host_.records)
        if (r.rfind(" *****  Parameter  ", 0) == 0) names.push_back(r.substr(19, r.find("  is") - 19));
    EXPECT_EQ(names, (std::vector<std::string>{"N", "NCOLB", "LDY", "LDZ"}));
    EXPECT_EQ(host_.records[host_.records.size() - 3], "    The input parameters contained  4 error(s)");

    host_.records.clear();
    ifail = -1;
    F02WUF(2, big, 1, 1, big, 1, true, big, 1, big, false, big, ifail);
    names.clear();
    for (const std::string& r : host_.records)
        if (r.rfind(" *****  Parameter  ", 0) == 0) names.push_back(r.substr(19, r.find("  is") - 19));
    EXPECT_EQ(names, (std::vector<std::string>{"LDA", "LDB", "LDQ"}));
    EXPECT_EQ(host_.records[host_.records.size() - 2], " ** ABNORMAL EXIT from NUM Library routine F02WUF: IFAIL =    -1");
}

TEST_F(F02SYZMessages, FailureRecordsOfTheTriangleRoutine) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<double> a = {nan, 0.0, 1.0, 2.0}, sv(2), work(6);
    int ifail = -1;
    F02WUF(2, a, 2, 0, {}, 1, false, {}, 1, sv, false, work, ifail);
    EXPECT_EQ(ifail, 2);
    const std::vector<std::string> expected = {"    The QR algorithm has failed to converge.",
                                               "         2 singular values have NOT been found.",
                                               " ** ABNORMAL EXIT from NUM Library routine F02WUF: IFAIL =     2",
                                               " ** NUM soft failure - control returned"};
    EXPECT_EQ(host_.records, expected);
}

TEST(F02WUFTest, WorkOfTheTriangleIsCheckedForEveryOrder) {
    std::vector<double> a = {2.0}, sv(1), work(1);
    int ifail = 0;
    EXPECT_THROW(F02WUF(1, a, 1, 0, {}, 1, false, {}, 1, sv, true, work, ifail), std::length_error);
    work.resize(2);
    F02WUF(1, a, 1, 0, {}, 1, false, {}, 1, sv, true, work, ifail);
    EXPECT_EQ(ifail, 0);
    EXPECT_EQ(sv[0], 2.0);
    EXPECT_EQ(a[0], 1.0);
}

}  // namespace
}  // namespace orv::num1
