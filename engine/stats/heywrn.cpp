#include "engine/stats/heywrn.h"

#include <cstddef>

#include "runtime/formatted_io.h"

namespace orv::engine {

void HEYWRN(std::span<const double> COMM, int NVAR, int LU) {
    static const rt::Format warning =
        rt::parse_format("(/,10X,'****WARNING !!! HEYWOOD CASE FOR VARIABLE  ',I4,' ****')");
    for (int i = 1; i <= NVAR; ++i) {
        if (COMM[static_cast<std::size_t>(i - 1)] > HEYWOOD_LIMIT) rt::write(LU, warning, i);
    }
}

}  // namespace orv::engine
