// Shared helpers of the tests of the eigen routines on threads: a fixture
// that puts the thread settings back, reproducible matrices, and the
// comparison of results bit for bit.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "numlib/routines2/eigen_team.h"
#include "num2_fixture.h"
#include "support/factor_matrix.h"
#include "process/thread_policy.h"

namespace orv::num2 {

class EigenThreads : public Num2Fixture {
protected:
    void TearDown() override {
        proc::set(proc::Setting::kEigenThreads, 0);
        proc::set(proc::Setting::kEigenOrder, 0);
        Num2Fixture::TearDown();
    }
};

// An order no matrix here reaches: the sequential loops everywhere.
constexpr int kNever = 1 << 30;

inline std::uint64_t next_random(std::uint64_t& s) {
    s = 6364136223846793005ull * s + 1442695040888963407ull;
    return s >> 11;
}

// Uniform on [0, 1).
inline double uniform(std::uint64_t& s) { return static_cast<double>(next_random(s)) * 0x1.0p-53; }

// A correlation matrix of a few factors, as the extraction sees it.
inline std::vector<double> correlation_matrix(int n, std::uint64_t seed) {
    const int k = 4;
    std::vector<double> l(static_cast<std::size_t>(n) * k);
    for (double& v : l) v = 0.7 * uniform(seed) - 0.1;
    return orv::testing::unit_diagonal_correlations(l, n, k);
}

template <typename T>
bool same_bits(const std::vector<T>& x, const std::vector<T>& y) {
    return x.size() == y.size() && std::memcmp(x.data(), y.data(), x.size() * sizeof(T)) == 0;
}

}  // namespace orv::num2
