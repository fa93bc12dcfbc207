// Shared helpers of the rotation and quantile tests: a fixture that catches
// library II's messages in a fake window, and small matrix checks.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "numlib/blas_lapack.h"
#include "numlib/routines2/erset.h"
#include "numlib/routines2/umach.h"
#include "runtime/units.h"
#include "num2_fixture.h"
#include "support/factor_matrix.h"

namespace orv::num2::test {

using Matrix = std::vector<double>;  // column-major, leading dimension = rows

// Every message printed, none stopping; the window's records kept.
class Num2Test : public Num2Fixture {
protected:
    void SetUp() override {
        Num2Fixture::SetUp();
        ERSET(0, 1, 0);
    }
    // The window's records as one text: continuation records joined to the
    // message they continue, every run of blanks made one blank.
    std::string window() const {
        std::string all;
        for (const auto& r : host_.records)
            all += r.rfind(" ***          ", 0) == 0 ? " " + r.substr(14) : "\n" + r;
        return squeeze(all);
    }
    static std::string squeeze(const std::string& s) {
        std::string out;
        for (char c : s)
            if (!(c == ' ' && !out.empty() && out.back() == ' ')) out += c;
        return out;
    }
    static std::size_t count(const std::string& text, const std::string& what) {
        std::size_t n = 0;
        for (auto p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
        return n;
    }
};

inline Matrix multiply(int m, int k, int n, const Matrix& x, const Matrix& y) {
    Matrix z(m * n, 0.0);
    for (int j = 0; j < n; ++j)
        for (int l = 0; l < k; ++l)
            for (int i = 0; i < m; ++i) z[i + j * m] += x[i + l * m] * y[l + j * k];
    return z;
}

inline Matrix transpose(int m, int n, const Matrix& x) {
    Matrix z(m * n);
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < m; ++i) z[j + i * n] = x[i + j * m];
    return z;
}

// An M x N matrix of normal deviates of mean 0 and standard deviation SD.
inline Matrix random_matrix(int m, int n, std::mt19937& gen, double sd = 1.0) {
    std::normal_distribution<double> nd(0.0, sd);
    Matrix x(m * n);
    for (double& v : x) v = nd(gen);
    return x;
}

inline Matrix identity(int n) {
    Matrix z(n * n, 0.0);
    for (int j = 0; j < n; ++j) z[j + j * n] = 1.0;
    return z;
}

// T^-1 T^-T by LAPACK's LU solve.
inline Matrix inverse_gram(int nf, const Matrix& t) {
    Matrix lu = t, inv = identity(nf);
    std::vector<int> piv(nf);
    int info = 0;
    dgesv_(&nf, &nf, lu.data(), &nf, piv.data(), inv.data(), &nf, &info);
    EXPECT_EQ(info, 0);
    return multiply(nf, nf, nf, inv, transpose(nf, nf, inv));
}

using orv::testing::max_diff;

// Pairs each column of X with the column of REF it is closest to in angle,
// with the sign that matches, and checks that the pairing is one to one.
inline void match_columns(int m, int n, const Matrix& x, const Matrix& ref, std::vector<int>& match,
                          std::vector<double>& sign) {
    match.assign(n, 0);
    sign.assign(n, 1.0);
    for (int j = 0; j < n; ++j) {
        double best = -1.0;
        for (int k = 0; k < n; ++k) {
            double dot = 0.0, nx = 0.0, nr = 0.0;
            for (int i = 0; i < m; ++i) {
                dot += x[i + j * m] * ref[i + k * m];
                nx += x[i + j * m] * x[i + j * m];
                nr += ref[i + k * m] * ref[i + k * m];
            }
            const double c = std::fabs(dot) / std::sqrt(nx * nr);
            if (c > best) best = c, match[j] = k, sign[j] = dot < 0.0 ? -1.0 : 1.0;
        }
    }
    std::vector<int> sorted = match;
    std::sort(sorted.begin(), sorted.end());
    for (int j = 0; j < n; ++j) ASSERT_EQ(sorted[j], j) << "columns do not pair up";
}

// Pattern X and factor correlations PHI against a reference solution,
// after matching column order and sign.
inline void expect_same_solution(int m, int n, const Matrix& x, const Matrix& phi, const Matrix& xref,
                                 const Matrix& phiref, double tol) {
    std::vector<int> match;
    std::vector<double> sign;
    match_columns(m, n, x, xref, match, sign);
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < m; ++i) EXPECT_NEAR(x[i + j * m], sign[j] * xref[i + match[j] * m], tol) << i << "," << j;
        if (phi.empty()) continue;
        for (int k = 0; k < n; ++k)
            EXPECT_NEAR(phi[j + k * n], sign[j] * sign[k] * phiref[match[j] + match[k] * n], tol) << j << "," << k;
    }
}

}  // namespace orv::num2::test
