// A correlation matrix of a few factors, as an extraction sees it, for the
// tests and benchmarks of the eigen routines and the inverse; and the
// largest difference of two matrices, for the tests.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <vector>

namespace orv::testing {

// R = L L' with a unit diagonal, column-major, from the N x K loadings L
// stored row by row (L[i * K + f]).
inline std::vector<double> unit_diagonal_correlations(const std::vector<double>& l, int n, int k) {
    const auto un = static_cast<std::size_t>(n), uk = static_cast<std::size_t>(k);
    std::vector<double> r(un * un);
    for (std::size_t j = 0; j < un; ++j) {
        for (std::size_t i = 0; i < un; ++i) {
            double s = 0.0;
            for (std::size_t f = 0; f < uk; ++f) s += l[i * uk + f] * l[j * uk + f];
            r[i + j * un] = i == j ? 1.0 : s;
        }
    }
    return r;
}

// The largest absolute difference of two matrices' elements; infinite when
// their sizes differ.
inline double max_diff(const std::vector<double>& a, const std::vector<double>& b) {
    if (a.size() != b.size()) return std::numeric_limits<double>::infinity();
    double d = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i) d = std::max(d, std::abs(a[i] - b[i]));
    return d;
}

}  // namespace orv::testing
