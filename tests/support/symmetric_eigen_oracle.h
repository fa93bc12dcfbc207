// Test matrices with known eigenvalues and LAPACK's dsyev as an independent
// oracle for symmetric eigensolvers: eigenvalues, residuals, orthogonality
// and, for repeated eigenvalues, the eigenspaces (compared through their
// projectors, since any basis of such a space is a right answer).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "numlib/blas_lapack.h"

namespace orv::testing {

struct Rng {
    std::uint64_t s;
    double uniform() {  // [0, 1)
        s ^= s << 13, s ^= s >> 7, s ^= s << 17;
        return static_cast<double>(s >> 11) * 0x1.0p-53;
    }
    double normal() {  // Box-Muller; precision is not the point here
        const double u = 1.0 - uniform(), v = uniform();
        return std::sqrt(-2.0 * std::log(u)) * std::cos(6.283185307179586 * v);
    }
};

// A random N x N orthogonal matrix (column-major, leading dimension N):
// Gram-Schmidt, twice, on normal deviates.
inline std::vector<double> random_orthogonal(int n, std::uint64_t seed) {
    Rng rng{seed};
    std::vector<double> q(static_cast<std::size_t>(n) * n);
    for (double& x : q) x = rng.normal();
    for (int j = 0; j < n; ++j) {
        double* c = &q[static_cast<std::size_t>(j) * n];
        for (int pass = 0; pass < 2; ++pass) {
            for (int k = 0; k < j; ++k) {
                const double* b = &q[static_cast<std::size_t>(k) * n];
                double dot = 0.0;
                for (int i = 0; i < n; ++i) dot += b[i] * c[i];
                for (int i = 0; i < n; ++i) c[i] -= dot * b[i];
            }
        }
        double norm = 0.0;
        for (int i = 0; i < n; ++i) norm += c[i] * c[i];
        norm = std::sqrt(norm);
        for (int i = 0; i < n; ++i) c[i] /= norm;
    }
    return q;
}

// Q diag(lambda) Q' for a random orthogonal Q: a full symmetric matrix with
// the given eigenvalues (repeated values give eigenspaces of that dimension).
inline std::vector<double> with_eigenvalues(const std::vector<double>& lambda, std::uint64_t seed) {
    const int n = static_cast<int>(lambda.size());
    const std::vector<double> q = random_orthogonal(n, seed);
    std::vector<double> a(static_cast<std::size_t>(n) * n, 0.0);
    for (int j = 0; j < n; ++j)
        for (int i = j; i < n; ++i) {
            double s = 0.0;
            for (int k = 0; k < n; ++k) s += q[i + k * n] * lambda[k] * q[j + k * n];
            a[i + j * n] = s;
            a[j + i * n] = s;
        }
    return a;
}

inline std::vector<double> random_symmetric(int n, std::uint64_t seed) {
    Rng rng{seed};
    std::vector<double> a(static_cast<std::size_t>(n) * n);
    for (int j = 0; j < n; ++j)
        for (int i = j; i < n; ++i) a[i + j * n] = a[j + i * n] = 2.0 * rng.uniform() - 1.0;
    return a;
}

struct Eigen {
    std::vector<double> w, z;  // ascending values; vectors N x N
};

// dsyev on the full matrix A (N x N, leading dimension N).
inline Eigen dsyev_oracle(int n, std::vector<double> a) {
    Eigen e{std::vector<double>(static_cast<std::size_t>(n)), {}};
    int lwork = -1, info = 0;
    double query = 0.0;
    dsyev_("V", "L", &n, a.data(), &n, e.w.data(), &query, &lwork, &info, 1, 1);
    lwork = static_cast<int>(query);
    std::vector<double> work(static_cast<std::size_t>(std::max(lwork, 1)));
    dsyev_("V", "L", &n, a.data(), &n, e.w.data(), work.data(), &lwork, &info, 1, 1);
    EXPECT_EQ(info, 0);
    e.z = std::move(a);
    return e;
}

// Checks W (ascending) and the eigenvectors V (leading dimension LDV) of the
// full symmetric matrix A (N x N, leading dimension N) against dsyev:
// eigenvalues within TOL * max(1, |A|), |A v - w v| and |V'V - I| within
// TOL * max(1, |A|) and TOL, and the projector of every cluster of equal
// eigenvalues (closer than GAP * |A|) equal to dsyev's.
inline void expect_eigenpairs(int n, const std::vector<double>& a, const double* w, const double* v, int ldv,
                              double tol, double gap = 1e-8) {
    const Eigen ref = dsyev_oracle(n, a);
    double anorm = 0.0;
    for (double x : a) anorm = std::max(anorm, std::fabs(x));
    const double scale = std::max(anorm, 1.0);
    for (int j = 0; j < n; ++j) {
        EXPECT_NEAR(w[j], ref.w[j], tol * scale) << "eigenvalue " << j + 1;
        if (j > 0) {
            EXPECT_LE(w[j - 1], w[j]) << "order at " << j + 1;
        }
    }
    if (v == nullptr) return;
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
            double av = 0.0;
            for (int k = 0; k < n; ++k) av += a[i + k * n] * v[k + j * ldv];
            ASSERT_NEAR(av, w[j] * v[i + j * ldv], tol * scale) << "residual row " << i + 1 << " col " << j + 1;
        }
        for (int k = 0; k <= j; ++k) {
            double dot = 0.0;
            for (int i = 0; i < n; ++i) dot += v[i + j * ldv] * v[i + k * ldv];
            ASSERT_NEAR(dot, k == j ? 1.0 : 0.0, tol) << "columns " << k + 1 << ", " << j + 1;
        }
    }
    // Clusters of (numerically) equal eigenvalues: their projectors agree.
    for (int first = 0; first < n;) {
        int last = first;
        while (last + 1 < n && ref.w[last + 1] - ref.w[last] <= gap * scale) ++last;
        for (int i = 0; i < n; ++i)
            for (int k = 0; k < n; ++k) {
                double ours = 0.0, theirs = 0.0;
                for (int j = first; j <= last; ++j) {
                    ours += v[i + j * ldv] * v[k + j * ldv];
                    theirs += ref.z[i + j * n] * ref.z[k + j * n];
                }
                ASSERT_NEAR(ours, theirs, 1e3 * tol) << "eigenspace " << first + 1 << ".." << last + 1;
            }
        first = last + 1;
    }
}

}  // namespace orv::testing
