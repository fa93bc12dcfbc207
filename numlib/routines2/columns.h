// Column-major matrices with 1-based indices, as the threaded loops of the
// eigen routines and DLINDS index them.
#pragma once

#include <cstddef>

namespace orv::num2::detail {

// Column J of the matrix at P with leading dimension LD, indexed by 1-based
// rows.
inline double* column(double* p, std::size_t ld, int j) { return p + static_cast<std::size_t>(j - 1) * ld - 1; }
inline const double* column(const double* p, std::size_t ld, int j) {
    return p + static_cast<std::size_t>(j - 1) * ld - 1;
}

struct Matrix {
    double* p;
    std::size_t ld;
    double& operator()(int i, int j) const {
        return p[static_cast<std::size_t>(i - 1) + static_cast<std::size_t>(j - 1) * ld];
    }
    double* column(int j) const { return detail::column(p, ld, j); }
};

}  // namespace orv::num2::detail
