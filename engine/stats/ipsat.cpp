#include "engine/stats/ipsat.h"

#include <cstddef>
#include <vector>

#include "engine/common/units.h"
#include "numlib/routines1/g01aaf.h"
#include "runtime/io_error.h"
#include "runtime/list_io.h"

namespace orv::engine {

void IPSAT(int NSUBJ, int NVAR, std::span<double> X) {
    const std::size_t n = static_cast<std::size_t>(NSUBJ);
    const std::size_t nvar = static_cast<std::size_t>(NVAR < 0 ? 0 : NVAR);
    std::vector<double> row(nvar), wt(nvar);
    int ifail = 0;
    for (std::size_t s = 0; s < n; ++s) {
        for (std::size_t v = 0; v < nvar; ++v) row[v] = X[s + v * n];
        int iwt = 0;
        double mean = 0.0, sd = 0.0, skew = 0.0, kurt = 0.0, lo = 0.0, hi = 0.0, wtsum = 0.0;
        num1::G01AAF(NVAR, row, iwt, wt, mean, sd, skew, kurt, lo, hi, wtsum, ifail);
        if (sd == 0.0) {
            rt::write_list(LUCON, "FATAL ERROR IN SUBROUTINE IPSAT");
            rt::write_list(LUCON, "NO VARIANCE FOR SUBJECT ", static_cast<int>(s + 1));
            throw rt::Stop{"", 1};
        }
        for (std::size_t v = 0; v < nvar; ++v) X[s + v * n] = (X[s + v * n] - mean) / sd;
    }
}

}  // namespace orv::engine
