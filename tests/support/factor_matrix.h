// A correlation matrix of a few factors, as an extraction sees it, for the
// tests and benchmarks of the eigen routines and the inverse; and the
// largest difference of two matrices, for the tests.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
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

// The matrix of bench/make_factor_matrix.py into PATH, a row a line (F10.6
// fields): R = L L' + diag(1 - h^2), each variable loading 0.45-0.80 on its
// own factor and -0.10-0.10 on the others.  False when it cannot be written.
inline bool write_factor_matrix(const std::filesystem::path& path, int nvar, int nfac) {
    std::uint64_t state = 20293;
    auto uniform = [&state] {
        state = 6364136223846793005ull * state + 1442695040888963407ull;
        return static_cast<double>(state >> 11) / 9007199254740992.0;
    };
    const auto un = static_cast<std::size_t>(nvar), uk = static_cast<std::size_t>(nfac);
    std::vector<double> loads(un * uk);
    for (std::size_t i = 0; i < un; ++i) {
        for (std::size_t f = 0; f < uk; ++f) loads[i * uk + f] = 0.2 * uniform() - 0.1;
        loads[i * uk + i % uk] = 0.45 + 0.35 * uniform();
    }
    const std::vector<double> r = unit_diagonal_correlations(loads, nvar, nfac);
    std::FILE* out = std::fopen(path.c_str(), "w");
    if (out == nullptr) return false;
    for (std::size_t i = 0; i < un; ++i) {
        for (std::size_t j = 0; j < un; ++j) std::fprintf(out, " %9.6f", r[i + j * un]);
        std::fputc('\n', out);
    }
    return std::fclose(out) == 0;
}

}  // namespace orv::testing
