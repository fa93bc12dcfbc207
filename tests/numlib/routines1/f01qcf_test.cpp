#include "numlib/routines1/f01qcf.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "numlib/routines1/errexit.h"
#include "num1_fixture.h"

namespace orv::num1 {
namespace {

std::vector<double> matrix(int m, int n, int ld, double seed) {
    std::vector<double> a(static_cast<std::size_t>(ld) * n, 0.0);
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < m; ++i) a[i + j * ld] = std::sin(seed + 1.7 * i + 0.9 * j * j);
    return a;
}

TEST(F01QCFTest, QrFormsQAndAppliesIt) {
    for (const auto& [m, n] : {std::pair{1, 1}, {4, 4}, {7, 3}, {9, 9}, {12, 1}, {5, 0}}) {
        const int lda = m + 1;
        const std::vector<double> a0 = matrix(m, n, lda, 0.3);
        std::vector<double> a = a0, zeta(std::max(n, 1), -1.0);
        int ifail = 0;
        F01QCF(m, n, a, lda, zeta, ifail);
        ASSERT_EQ(ifail, 0);
        if (m == n && n > 0) {
            EXPECT_EQ(zeta[n - 1], 0.0);
        }
        // Q^T A0 through F01QDF is (R; 0); Q (R; 0) through "N" gives A0 back.
        std::vector<double> b = a0, work(std::max(n, 1));
        F01QDF("t", "S", m, n, a, lda, zeta, n, b, lda, work, ifail);
        ASSERT_EQ(ifail, 0);
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < m; ++i) EXPECT_NEAR(b[i + j * lda], i <= j ? a[i + j * lda] : 0.0, 1e-14);
        F01QDF("N", "s", m, n, a, lda, zeta, n, b, lda, work, ifail);
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < m; ++i) EXPECT_NEAR(b[i + j * lda], a0[i + j * lda], 1e-14);
        // The full Q (NCOLQ = M) is orthogonal and its first N columns times R give A0.
        std::vector<double> q(static_cast<std::size_t>(lda) * std::max(m, n), 0.0);
        std::copy(a.begin(), a.end(), q.begin());
        std::vector<double> wq(std::max(m, 1));
        F01QEF("S", m, n, m, q, lda, zeta, wq, ifail);
        ASSERT_EQ(ifail, 0);
        for (int p = 0; p < m; ++p)
            for (int r = 0; r < m; ++r) {
                double s = 0.0;
                for (int i = 0; i < m; ++i) s += q[i + p * lda] * q[i + r * lda];
                EXPECT_NEAR(s, p == r ? 1.0 : 0.0, 1e-14);
            }
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < m; ++i) {
                double s = 0.0;
                for (int k = 0; k <= j; ++k) s += q[i + k * lda] * a[k + j * lda];
                EXPECT_NEAR(s, a0[i + j * lda], 1e-14);
            }
    }
}

TEST(F01QCFTest, RqFormsTheRowsOfPTranspose) {
    for (const auto& [m, n] : {std::pair{1, 1}, {3, 3}, {3, 7}, {1, 6}, {5, 9}, {0, 4}}) {
        for (int nrowp : {m, n}) {
            const int lda = std::max(m, nrowp) + 1;
            const std::vector<double> a0 = matrix(m, n, lda, 1.1);
            std::vector<double> a = a0, zeta(std::max(m, 1), -1.0);
            int ifail = 0;
            F01QJF(m, n, a, lda, zeta, ifail);
            ASSERT_EQ(ifail, 0);
            std::vector<double> r(static_cast<std::size_t>(std::max(m, 1)) * std::max(m, 1), 0.0);
            for (int j = 0; j < m; ++j)
                for (int i = 0; i <= j; ++i) r[i + j * m] = a[i + j * lda];
            std::vector<double> work(std::max(nrowp, 1));
            F01QKF("S", m, n, nrowp, a, lda, zeta, work, ifail);
            ASSERT_EQ(ifail, 0);
            for (int p = 0; p < nrowp; ++p)
                for (int q = 0; q < nrowp; ++q) {
                    double s = 0.0;
                    for (int j = 0; j < n; ++j) s += a[p + j * lda] * a[q + j * lda];
                    EXPECT_NEAR(s, p == q ? 1.0 : 0.0, 1e-14) << m << "x" << n;
                }
            for (int i = 0; i < m; ++i)  // (R 0) P^T = A0 with the first M rows
                for (int j = 0; j < n; ++j) {
                    double s = 0.0;
                    for (int k = i; k < m; ++k) s += r[i + k * m] * a[k + j * lda];
                    EXPECT_NEAR(s, a0[i + j * lda], 1e-14) << m << "x" << n;
                }
        }
    }
}

TEST(F01QCFTest, ColumnsAlreadyReducedGiveIdentityReflectors) {
    std::vector<double> a = {2.0, 0.0, 0.0, 1.0, 3.0, 4.0, 5.0, 6.0, 7.0};
    std::vector<double> zeta(3, -1.0);
    int ifail = 0;
    F01QCF(3, 3, a, 3, zeta, ifail);
    EXPECT_EQ(zeta[0], 0.0);
    EXPECT_EQ(a[0], 2.0);
    EXPECT_GT(zeta[1], 1.0);
    EXPECT_EQ(zeta[2], 0.0);
}

class F01QMessages : public Num1Fixture {
protected:
    // The records of NAMES (with integer VALUES or text) then the count.
    std::vector<std::string> expected(const std::string& routine, const std::vector<std::string>& names,
                                      const std::vector<std::string>& values, const std::vector<bool>& text) {
        std::vector<std::string> r;
        for (std::size_t i = 0; i < names.size(); ++i) {
            r.push_back(" ");
            r.push_back(" *****  Parameter  " + names[i] + "  is invalid in routine  " + routine + "  *****");
            if (text[i]) {
                r.push_back("        Value supplied is");
                r.push_back(values[i].empty() ? " " : "        " + values[i]);  // blanks trimmed
            } else {
                r.push_back("        Value supplied is " + std::string(6 - values[i].size(), ' ') + values[i]);
            }
        }
        r.push_back("    The input parameters contained  " + std::to_string(names.size()) + " error(s)");
        r.push_back(" ** ABNORMAL EXIT from NUM Library routine " + routine + ": IFAIL =    -1");
        r.push_back(" ** NUM soft failure - control returned");
        return r;
    }
};

TEST_F(F01QMessages, EveryRoutineReportsEachInvalidArgument) {
    std::vector<double> big(200, 0.0);
    int ifail = -1;
    F01QCF(2, 3, big, 1, big, ifail);
    EXPECT_EQ(ifail, -1);
    EXPECT_EQ(host_.records, expected("F01QCF", {"M", "LDA"}, {"2", "1"}, {false, false}));
    host_.records.clear();
    ifail = -1;
    F01QCF(-1, -2, big, -1, big, ifail);
    EXPECT_EQ(host_.records, expected("F01QCF", {"N"}, {"-2"}, {false}));

    host_.records.clear();
    ifail = -1;
    F01QDF("x", "q", 2, 3, big, 1, big, -1, big, 1, big, ifail);
    EXPECT_EQ(host_.records, expected("F01QDF", {"TRANS", "WHERET", "M", "LDA", "NCOLB", "LDB"},
                                      {"x", "q", "2", "1", "-1", "1"}, {true, true, false, false, false, false}));
    host_.records.clear();
    ifail = -1;
    F01QEF("", 3, 2, 4, big, 2, big, big, ifail);
    EXPECT_EQ(host_.records, expected("F01QEF", {"WHERET", "NCOLQ", "LDA"}, {"", "4", "2"}, {true, false, false}));
    host_.records.clear();
    ifail = -1;
    F01QJF(-1, -2, big, -3, big, ifail);
    EXPECT_EQ(host_.records, expected("F01QJF", {"M", "N", "LDA"}, {"-1", "-2", "-3"}, {false, false, false}));
    host_.records.clear();
    ifail = -1;
    F01QKF("I", 2, 4, 5, big, 4, big, big, ifail);
    EXPECT_EQ(host_.records, expected("F01QKF", {"NROWP", "LDA"}, {"5", "4"}, {false, false}));

    // With IFAIL = 1 nothing is written, and NCOLQ = 0 or NROWP = 0 succeed at once.
    host_.records.clear();
    ifail = 1;
    F01QJF(-1, -2, big, -3, big, ifail);
    EXPECT_EQ(ifail, -1);
    ifail = 0;
    F01QEF("S", 3, 2, 0, big, 3, big, {}, ifail);
    EXPECT_EQ(ifail, 0);
    F01QKF("s", 2, 3, 0, big, 2, big, {}, ifail);
    EXPECT_EQ(ifail, 0);
    EXPECT_TRUE(host_.records.empty());
}

}  // namespace
}  // namespace orv::num1
