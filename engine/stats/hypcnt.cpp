#include "engine/stats/hypcnt.h"

#include <cmath>
#include <cstddef>

#include "runtime/formatted_io.h"

namespace orv::engine {

void HYPCNT(std::span<const double> L, int NVAR, int /*NFAC*/, int J, int LU, double WIDTH) {
    static const rt::Format line = rt::parse_format(R"f(("Hyperplane Count (%) for Factor",I3," = ",I3," (",F3.2,")"))f");
    const std::size_t n = static_cast<std::size_t>(NVAR < 0 ? 0 : NVAR);
    const std::size_t col = n * static_cast<std::size_t>(J - 1);
    int count = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (std::fabs(L[col + i]) <= WIDTH) ++count;
    }
    const double fraction = static_cast<double>(count) / static_cast<double>(NVAR);
    rt::write(LU, line, J, count, fraction);
}

}  // namespace orv::engine
