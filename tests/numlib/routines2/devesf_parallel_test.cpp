// The tridiagonal reduction in its grouped loops, on one thread and on
// teams of 2, 3 and 8: the same bits as the sequential loops, in the
// reduction itself and in the eigenpairs, from order 1 to 1000, for
// correlation matrices, general symmetric ones and ones whose steps have
// nothing to reflect.
// CTest label: threads
#include "numlib/routines2/devesf_parallel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "numlib/routines2/devesf.h"
#include "numlib/routines2/eigen_team.h"
#include "eigen_threads.h"
#include "process/thread_policy.h"

namespace orv::num2 {
namespace {

using Matrix = std::vector<double>;

const int kTeams[] = {1, 2, 3, 8};

using GroupedReduction = EigenThreads;

// Symmetric with entries of both signs and large magnitudes (the
// reduction scales by a power of 2), the upper triangle left different.
Matrix general_symmetric(int n, std::uint64_t seed) {
    Matrix a(static_cast<std::size_t>(n) * n);
    for (int j = 0; j < n; ++j) {
        for (int i = j; i < n; ++i) {
            const double v = 300.0 * (uniform(seed) - 0.5);
            a[static_cast<std::size_t>(i) + static_cast<std::size_t>(j) * n] = v;
            a[static_cast<std::size_t>(j) + static_cast<std::size_t>(i) * n] = -7.0;
        }
    }
    return a;
}

// Blocks on the diagonal with zero couplings, and a column that is zero
// below its first element: steps that have nothing to clear.
Matrix with_empty_steps(int n, std::uint64_t seed) {
    Matrix a = general_symmetric(n, seed);
    for (int j = 0; j < n; ++j) {
        for (int i = j + 1; i < n; ++i) {
            if ((i / 7) != (j / 7) || j == n / 2) a[static_cast<std::size_t>(i) + static_cast<std::size_t>(j) * n] = 0.0;
        }
    }
    return a;
}

struct Reduced {
    Matrix a, d, e, e2;
    double scinv = 0.0;
};

Reduced reduce(int n, const Matrix& a) {
    Reduced r{a, Matrix(static_cast<std::size_t>(n)), Matrix(static_cast<std::size_t>(n)),
              Matrix(static_cast<std::size_t>(n))};
    DE6CSF(n, r.a, n, r.d, r.e, r.e2, r.a, n, false, r.scinv);
    return r;
}

struct Pairs {
    Matrix eval, evec, a;
};

Pairs pairs(int n, int nevec, const Matrix& a) {
    Pairs p{Matrix(static_cast<std::size_t>(nevec)), Matrix(static_cast<std::size_t>(n) * nevec), a};
    DEVESF(n, nevec, p.a, n, false, p.eval, p.evec, n);
    return p;
}

// The reduction of A on every team (the grouped loops at every order)
// against the sequential loops: the tridiagonal matrix, the reflections
// left in A and the scale, bit for bit.
void expect_same_reduction(int n, const Matrix& a, const std::string& what) {
    proc::set(proc::Setting::kEigenOrder, kNever);
    proc::set(proc::Setting::kEigenThreads, 1);
    const Reduced plain = reduce(n, a);
    proc::set(proc::Setting::kEigenOrder, 2);
    for (int threads : kTeams) {
        proc::set(proc::Setting::kEigenThreads, threads);
        const Reduced grouped = reduce(n, a);
        const std::string where = what + ", order " + std::to_string(n) + ", " + std::to_string(threads) + " threads";
        EXPECT_TRUE(same_bits(plain.d, grouped.d)) << where;
        EXPECT_TRUE(same_bits(plain.e, grouped.e)) << where;
        EXPECT_TRUE(same_bits(plain.e2, grouped.e2)) << where;
        EXPECT_TRUE(same_bits(plain.a, grouped.a)) << where;
        EXPECT_EQ(std::memcmp(&plain.scinv, &grouped.scinv, sizeof(double)), 0) << where;
    }
}

TEST_F(GroupedReduction, SameBitsAsTheSequentialLoops) {
    for (int n : {1, 2, 3, 4, 9, 16, 17, 50, 161, 301}) {
        expect_same_reduction(n, correlation_matrix(n, 5 + n), "correlations");
        expect_same_reduction(n, general_symmetric(n, 7 + n), "general");
    }
    for (int n : {30, 161}) expect_same_reduction(n, with_empty_steps(n, 3), "empty steps");
}

TEST_F(GroupedReduction, StepsWithNothingToReflectWereMet) {
    // The matrix of the empty steps leaves zero couplings in E, which a
    // matrix without them does not.
    proc::set(proc::Setting::kEigenOrder, 2);
    proc::set(proc::Setting::kEigenThreads, 3);
    const Reduced r = reduce(161, with_empty_steps(161, 3));
    int zeros = 0;
    for (std::size_t i = 1; i < r.e.size(); ++i) zeros += r.e[i] == 0.0;
    EXPECT_GT(zeros, 10);
    const Reduced full = reduce(161, general_symmetric(161, 3));
    for (std::size_t i = 1; i < full.e.size(); ++i) EXPECT_NE(full.e[i], 0.0) << i;
}

// The eigenpairs, and A as DEVESF leaves it, on every team and with the
// default order and all CPUs, against the sequential loops.
void expect_same_pairs(int n, int nevec, const Matrix& a, const std::string& what) {
    proc::set(proc::Setting::kEigenOrder, kNever);
    proc::set(proc::Setting::kEigenThreads, 1);
    const Pairs plain = pairs(n, nevec, a);
    auto check = [&](const Pairs& p, const std::string& how) {
        const std::string where = what + ", order " + std::to_string(n) + ", " + how;
        EXPECT_TRUE(same_bits(plain.eval, p.eval)) << where;
        EXPECT_TRUE(same_bits(plain.evec, p.evec)) << where;
        EXPECT_TRUE(same_bits(plain.a, p.a)) << where;
    };
    proc::set(proc::Setting::kEigenOrder, 2);
    for (int threads : kTeams) {
        proc::set(proc::Setting::kEigenThreads, threads);
        check(pairs(n, nevec, a), std::to_string(threads) + " threads");
    }
    proc::set(proc::Setting::kEigenOrder, 0);
    proc::set(proc::Setting::kEigenThreads, 8);
    check(pairs(n, nevec, a), "default order");
}

TEST_F(GroupedReduction, EigenpairsHaveTheSameBitsOnEveryTeam) {
    for (int n : {1, 2, 3, 50, 161, 301, 500, 1000}) {
        expect_same_pairs(n, std::min(n, 10), correlation_matrix(n, 11), "correlations");
    }
    expect_same_pairs(500, 10, general_symmetric(500, 13), "general");
    EXPECT_EQ(LSTERR(), 0);
}

}  // namespace
}  // namespace orv::num2
