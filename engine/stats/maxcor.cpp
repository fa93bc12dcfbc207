#include "engine/stats/maxcor.h"

#include <cmath>
#include <cstddef>

namespace orv::engine {

void MAXCOR(std::span<double> R, int NVAR) {
    if (NVAR < 1) return;
    const std::size_t n = static_cast<std::size_t>(NVAR);
    for (std::size_t i = 0; i < n; ++i) {
        double m = 0.0;
        for (std::size_t j = 0; j < n; ++j) {
            if (j != i && std::abs(R[i + n * j]) > m) m = std::abs(R[i + n * j]);
        }
        R[i + n * i] = m;
    }
}

}  // namespace orv::engine
