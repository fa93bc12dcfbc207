#include "engine/control/rdcor.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "engine/control/fatal.h"
#include "engine/control/finite.h"
#include "engine/control/jobset.h"
#include "engine/control/units.h"
#include "runtime/formatted_io.h"
#include "runtime/list_io.h"
#include "runtime/units.h"

namespace orv::engine {

void RDCOR(const std::string& METRIC, const std::string& DATFIL, int NVAR, std::vector<double>& R) {
    const rt::OpenOptions old_file{rt::OpenStatus::Old, true};
    const std::string file = trimmed(DATFIL);
    if (METRIC.substr(0, 2) == "DI") {
        if (rt::open_unit(LUDAT, file, old_file) != 0) {
            static const rt::Format missing = rt::parse_format("(/,T27,A47,/,/)");
            FATAL(missing, "FATAL ERROR! Input correlation matrix not found");
        }
    } else {
        rt::open_unit_or_fail(LUDAT, file, old_file);
    }

    static const rt::Format progress = rt::parse_format("(T30,A20)");
    rt::write(LUCON, progress, "Reading Correlations");

    const std::size_t n = static_cast<std::size_t>(std::max(NVAR, 0));
    R.assign(n * n, 0.0);
    rt::UnitSource unit(LUDAT);
    CountingSource source(unit);
    for (std::size_t i = 0; i < n; ++i) {
        rt::ListInput in(source);
        for (std::size_t j = 0; j < n; ++j) {
            in >> R[i + j * n];
            if (!std::isfinite(R[i + j * n])) stop_not_finite(rt::unit_file_name(LUDAT), source.records(), R[i + j * n]);
        }
        in.finish();
    }
}

}  // namespace orv::engine
