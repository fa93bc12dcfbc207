// The correlation matrices the benchmarks time their routines on: N
// variables loading on 5 factors, the loadings drawn from a fixed sequence,
// so that every run sees the same matrix.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "support/factor_matrix.h"

namespace orv::bench {

struct Rng {
    std::uint64_t s = 88172645463325252ull;
    double uniform() {
        s ^= s << 13, s ^= s >> 7, s ^= s << 17;
        return static_cast<double>(s >> 11) * 0x1.0p-53;
    }
};

// R = L L' with a unit diagonal, the loadings L = SCALE u + SHIFT for u
// uniform on [0, 1).
inline std::vector<double> correlations(int n, double scale, double shift) {
    Rng rng;
    const int k = 5;
    std::vector<double> l(static_cast<std::size_t>(n) * k);
    for (double& v : l) v = scale * rng.uniform() + shift;
    return orv::testing::unit_diagonal_correlations(l, n, k);
}

}  // namespace orv::bench
