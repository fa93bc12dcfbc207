#include "engine/stats/smccom.h"

#include <complex>
#include <cstddef>
#include <stdexcept>
#include <vector>

#include "engine/stats/library_status.h"
#include "engine/stats/spdinv.h"
#include "numlib/routines2/devlrg.h"

namespace orv::engine {

void SMCCOM(std::span<double> R, int NVAR) {
    if (NVAR < 1) return;
    const std::size_t n = static_cast<std::size_t>(NVAR);
    std::vector<double> eval(n, 0.0), acopy(n * n), wk(4 * n);
    std::vector<std::complex<double>> ceval(n, {0.0, 0.0});
    std::vector<int> iwk(2 * n);
    num2::DE3LRG(NVAR, R, NVAR, ceval, acopy, wk, iwk);
    stop_on_library_error();
    for (std::size_t k = 0; k < n; ++k) eval[k] = ceval[k].real();
    SMCCOM(R, NVAR, eval);
}

void SMCCOM(std::span<double> R, int NVAR, std::span<const double> eval) {
    if (NVAR < 1) return;
    const std::size_t n = static_cast<std::size_t>(NVAR);
    if (eval.size() < n) throw std::invalid_argument("SMCCOM: fewer eigenvalues than variables");
    std::vector<double> inverse(n * n, 0.0);

    // The eigenvalues come back by decreasing modulus; the last one decides
    // whether the matrix needs a ridge to be inverted.
    if (eval[n - 1] <= 0.0 && NVAR > 1) {
        const double ridge = 1.0 / (static_cast<double>(NVAR - 1) * 100000.0);
        for (std::size_t i = 0; i < n; ++i) R[i + n * i] += ridge;
    }

    SPDINV(R, NVAR, inverse);
    for (std::size_t i = 0; i < n; ++i) R[i + n * i] = 1.0 - 1.0 / inverse[i + n * i];
}

}  // namespace orv::engine
