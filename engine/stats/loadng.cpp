#include "engine/stats/loadng.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace orv::engine {

void LOADNG(std::span<const double> EVAL, std::span<const double> EVEC, std::span<double> L, int NVAR, int NFAC) {
    if (NVAR < 1 || NFAC < 1) return;
    const std::size_t nvar = static_cast<std::size_t>(NVAR);
    const std::size_t nfac = static_cast<std::size_t>(NFAC);
    for (std::size_t k = 0; k < nfac; ++k) {
        // An eigenvalue that rounding has pushed below zero would turn the
        // whole column into NaN; it carries no variance, so its loadings
        // are zero.  A NaN eigenvalue stays NaN.
        const double d = std::sqrt(std::max(EVAL[k], 0.0));
        for (std::size_t i = 0; i < nvar; ++i) L[i + nvar * k] += EVEC[i + nvar * k] * d;
    }
}

}  // namespace orv::engine
