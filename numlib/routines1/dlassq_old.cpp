#include "numlib/routines1/dlassq_old.h"

#include <cmath>
#include <cstddef>
#include <stdexcept>

namespace orv::num1 {

void DLASSQ(int n, std::span<const double> x, int incx, double& scale, double& sumsq) {
    if (n <= 0) return;
    if (incx < 1) throw std::invalid_argument("DLASSQ: INCX must be positive");
    if (static_cast<std::size_t>(n - 1) * static_cast<std::size_t>(incx) + 1 > x.size())
        throw std::length_error("DLASSQ: X is too small for N elements");
    for (int i = 0; i < n; ++i) {
        const double absxi = std::fabs(x[static_cast<std::size_t>(i) * incx]);
        if (absxi > 0.0 || std::isnan(absxi)) {
            if (scale < absxi) {
                const double r = scale / absxi;
                sumsq = 1.0 + sumsq * (r * r);
                scale = absxi;
            } else {
                const double r = absxi / scale;
                sumsq += r * r;
            }
        }
    }
}

}  // namespace orv::num1
