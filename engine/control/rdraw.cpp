#include "engine/control/rdraw.h"

#include <algorithm>
#include <cstddef>

#include "engine/control/jobset.h"
#include "engine/control/units.h"
#include "runtime/formatted_io.h"

namespace orv::engine {

void RDRAW(const std::string& DATFMT, int NSUBJ, int NVAR, std::vector<double>& SUBJID,
           std::vector<double>& X) {
    const std::size_t nsubj = static_cast<std::size_t>(std::max(NSUBJ, 0));
    const std::size_t nvar = static_cast<std::size_t>(std::max(NVAR, 0));
    SUBJID.assign(nsubj, 0.0);
    X.assign(nsubj * nvar, 0.0);
    if (nsubj == 0) return;

    // The format is the user's: parsed once for the whole file.
    const rt::Format format = rt::parse_format(trimmed(DATFMT));
    rt::UnitSource source(LUDAT);
    for (std::size_t i = 0; i < nsubj; ++i) {
        rt::FormattedInput in(source, format);
        in >> SUBJID[i];
        for (std::size_t j = 0; j < nvar; ++j) in >> X[i + j * nsubj];
        in.finish();
    }
}

}  // namespace orv::engine
