#include "engine/stats/medspl.h"

#include <array>
#include <cstddef>
#include <vector>

#include "engine/stats/library_status.h"
#include "numlib/routines2/deqtil.h"

namespace orv::engine {

void MEDSPL(std::span<double> X, int NSUBJ, int NVAR) {
    const std::size_t n = static_cast<std::size_t>(NSUBJ < 0 ? 0 : NSUBJ);
    const std::size_t nvar = static_cast<std::size_t>(NVAR < 0 ? 0 : NVAR);
    std::vector<double> median(nvar);
    std::vector<double> column(n);
    const std::array<double, 1> half{0.5};
    for (std::size_t v = 0; v < nvar; ++v) {
        for (std::size_t s = 0; s < n; ++s) column[s] = X[s + v * n];
        std::array<double, 1> q{}, lo{}, hi{};
        int nmiss = 0;
        num2::DEQTIL(NSUBJ, column, 1, half, q, lo, hi, nmiss);
        stop_on_library_error();
        median[v] = q[0];
    }
    for (std::size_t v = 0; v < nvar; ++v) {
        for (std::size_t s = 0; s < n; ++s) X[s + v * n] = X[s + v * n] <= median[v] ? 0.0 : 1.0;
    }
}

}  // namespace orv::engine
