#include "engine/stats/reflct.h"

#include <cstddef>
#include <vector>

namespace orv::engine {
namespace {

// The signed sum of squared loadings of column j, in increasing row order.
double signed_squares(std::span<const double> a, std::size_t nvar, std::size_t j) {
    double s = 0.0;
    for (std::size_t i = 0; i < nvar; ++i) {
        const double x = a[i + nvar * j];
        if (x > 0.0) s += x * x;
        else if (x < 0.0) s -= x * x;
    }
    return s;
}

void negate_column(std::span<double> a, std::size_t nvar, std::size_t j) {
    for (std::size_t i = 0; i < nvar; ++i) a[i + nvar * j] = -a[i + nvar * j];
}

}  // namespace

void REFLCT(std::span<double> A, int NVAR, int NFAC) {
    if (NVAR < 1 || NFAC < 1) return;
    const std::size_t nvar = static_cast<std::size_t>(NVAR);
    for (std::size_t j = 0; j < static_cast<std::size_t>(NFAC); ++j) {
        if (signed_squares(A, nvar, j) < 0.0) negate_column(A, nvar, j);
    }
}

void REFOBL(std::span<double> P, std::span<double> PHI, int NVAR, int NFAC) {
    if (NVAR < 1 || NFAC < 1) return;
    const std::size_t nvar = static_cast<std::size_t>(NVAR);
    const std::size_t nfac = static_cast<std::size_t>(NFAC);
    std::vector<int> flag(nfac, 0);
    for (std::size_t j = 0; j < nfac; ++j) {
        if (signed_squares(P, nvar, j) < 0.0) {
            flag[j] = 1;
            negate_column(P, nvar, j);
        }
    }
    // Row j, then column j, of each reflected factor: PHI := D PHI D.
    for (std::size_t j = 0; j < nfac; ++j) {
        if (flag[j] == 0) continue;
        for (std::size_t k = 0; k < nfac; ++k) {
            PHI[j + nfac * k] = -PHI[j + nfac * k];
            PHI[k + nfac * j] = -PHI[k + nfac * j];
        }
    }
}

}  // namespace orv::engine
