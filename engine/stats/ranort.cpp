#include "engine/stats/ranort.h"

#include <cstddef>
#include <vector>

#include "engine/common/trace.h"
#include "engine/stats/library_status.h"
#include "numlib/routines1/f02abf.h"
#include "numlib/routines1/g02baf.h"
#include "numlib/routines2/dunif.h"

namespace orv::engine {

void RANORT(std::span<double> L, int NVAR, int NFAC) {
    constexpr int ncases = 15;
    const std::size_t n = static_cast<std::size_t>(NVAR < 0 ? 0 : NVAR);
    const std::size_t k = static_cast<std::size_t>(NFAC < 0 ? 0 : NFAC);

    // 15 cases of NFAC independent normal deviates, column by column.
    std::vector<double> deviates(ncases * k), z(ncases * k, 0.0);
    num2::DRNNOA(ncases * NFAC, deviates);
    stop_on_library_error();
    for (std::size_t e = 0; e < ncases * k; ++e) z[e] = deviates[e];

    // Their correlation matrix; its eigenvectors make the orthogonal matrix.
    std::vector<double> xbar(k), sd(k), ssp(k * k), r(k * k);
    int ifail = 0;
    num1::G02BAF(ncases, NFAC, z, ncases, xbar, sd, ssp, NFAC, r, NFAC, ifail);
    TRACE(ifail, 3918);
    std::vector<double> eval(k), v(k * k), work(k);
    ifail = 0;
    num1::F02ABF(r, NFAC, NFAC, eval, v, NFAC, work, ifail);
    TRACE(ifail, 3923);

    std::vector<double> t(n * k);
    for (std::size_t j = 0; j < k; ++j) {
        for (std::size_t i = 0; i < n; ++i) {
            double s = 0.0;
            for (std::size_t m = 0; m < k; ++m) s = s + L[i + n * m] * v[m + k * j];
            t[i + n * j] = s;
        }
    }
    for (std::size_t e = 0; e < n * k; ++e) L[e] = t[e];
}

}  // namespace orv::engine
