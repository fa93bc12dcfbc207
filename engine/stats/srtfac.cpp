#include "engine/stats/srtfac.h"

#include <cstddef>
#include <vector>

#include "engine/common/trace.h"
#include "numlib/routines1/m01daf.h"

namespace orv::engine {
namespace {

// r(j): the position (1 = largest sum of squares) of factor j; equal sums
// keep their order.  Then the columns of A are moved to their positions.
std::vector<int> order_columns(std::span<double> A, std::size_t nvar, int NFAC) {
    const std::size_t nfac = static_cast<std::size_t>(NFAC);
    std::vector<double> v(nfac, 0.0), copy(nvar * nfac);
    std::vector<int> r(nfac, 0);
    for (std::size_t j = 0; j < nfac; ++j) {
        double s = 0.0;
        for (std::size_t i = 0; i < nvar; ++i) s += A[i + nvar * j] * A[i + nvar * j];
        v[j] = s;
    }
    int ifail = 0;
    num1::M01DAF(v, 1, NFAC, "D", r, ifail);
    TRACE(ifail, 3985);
    for (std::size_t j = 0; j < nfac; ++j) {
        const std::size_t to = static_cast<std::size_t>(r[j] - 1);
        for (std::size_t i = 0; i < nvar; ++i) copy[i + nvar * to] = A[i + nvar * j];
    }
    for (std::size_t k = 0; k < nvar * nfac; ++k) A[k] = copy[k];
    return r;
}

}  // namespace

void SRTFAC(std::span<double> A, int NVAR, int NFAC) {
    if (NVAR < 1 || NFAC < 1) return;
    order_columns(A, static_cast<std::size_t>(NVAR), NFAC);
}

void SRTOBL(std::span<double> P, int NVAR, int NFAC, std::span<double> PHI) {
    if (NVAR < 1 || NFAC < 1) return;
    const std::vector<int> r = order_columns(P, static_cast<std::size_t>(NVAR), NFAC);
    const std::size_t nfac = static_cast<std::size_t>(NFAC);
    std::vector<double> copy(nfac * nfac, 0.0);
    // Rows first, then columns: the new PHI(r(a), r(b)) is the old PHI(a, b).
    for (std::size_t b = 0; b < nfac; ++b) {
        for (std::size_t a = 0; a < nfac; ++a) {
            copy[static_cast<std::size_t>(r[a] - 1) + nfac * b] = PHI[a + nfac * b];
        }
    }
    for (std::size_t b = 0; b < nfac; ++b) {
        for (std::size_t a = 0; a < nfac; ++a) {
            PHI[a + nfac * static_cast<std::size_t>(r[b] - 1)] = copy[a + nfac * b];
        }
    }
}

}  // namespace orv::engine
