#include "engine/control/rdcor.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <new>
#include <vector>

#include "engine/common/data_array.h"
#include "engine/common/fatal.h"
#include "engine/common/units.h"
#include "engine/control/finite.h"
#include "engine/control/jobset.h"
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

    // The rows are gathered as they are read, so that a declared order
    // larger than the file takes no memory beyond what the file holds; R is
    // made once every row is in.  A value the list leaves null stays zero.
    const std::size_t n = static_cast<std::size_t>(std::max(NVAR, 0));
    std::vector<double> rows;
    std::vector<double> row;
    rt::UnitSource unit(LUDAT);
    CountingSource source(unit);
    for (std::size_t i = 0; i < n; ++i) {
        zeros(row, n, "a row of the correlation matrix R");
        rt::ListInput in(source);
        for (std::size_t j = 0; j < n; ++j) {
            in >> row[j];
            if (!std::isfinite(row[j])) stop_not_finite(rt::unit_file_name(LUDAT), source.records(), row[j]);
        }
        in.finish();
        try {
            rows.insert(rows.end(), row.begin(), row.end());
        } catch (const std::bad_alloc&) {
            no_memory("the correlation matrix R", n * n, sizeof(double));
        }
    }
    zeros(R, n * n, "the correlation matrix R");
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j < n; ++j) R[i + j * n] = rows[i * n + j];
}

}  // namespace orv::engine
