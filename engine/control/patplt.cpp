#include "engine/control/patplt.h"

#include <cstddef>
#include <vector>

#include "engine/common/units.h"
#include "engine/control/jobset.h"
#include "engine/stats/hypcnt.h"
#include "engine/stats/library_status.h"
#include "numlib/routines2/dplotp.h"
#include "numlib/routines2/umach.h"
#include "runtime/formatted_io.h"

namespace orv::engine {

void PATPLT(std::span<const double> L, int NVAR, int NFAC) {
    static const rt::Format caption = rt::parse_format("(\"Factor X = \",I3,3X,\"Factor Y =\",I3,/)");
    static const double range[4] = {-1.0, 1.0, -1.0, 1.0};
    int report = LURPT;
    num2::UMACH(-2, report);
    int width = 80;
    int length = 50;
    num2::PGOPT(-1, width);
    stop_on_library_error();
    num2::PGOPT(-2, length);
    stop_on_library_error();

    const auto nvar = static_cast<std::size_t>(NVAR);
    std::vector<double> x(nvar), y(nvar);
    for (int j = 1; j < NFAC; ++j) {
        for (int k = j + 1; k <= NFAC; ++k) {
            for (std::size_t i = 0; i < nvar; ++i) {
                x[i] = L[i + static_cast<std::size_t>(j - 1) * nvar];
                y[i] = L[i + static_cast<std::size_t>(k - 1) * nvar];
            }
            num2::DPLOTP(NVAR, 1, x, y, NVAR, 1, range, "X", "Factor X", "Factor Y", " Factor Pattern Plot");
            stop_on_library_error();
            rt::write(LURPT, caption, j, k);
        }
    }
}

void PATCAP(std::string_view PLTOPT, std::string_view CAPTION, std::span<const double> L, int NVAR, int NFAC) {
    if (!is_word(PLTOPT, "LOADINGS") && !is_word(PLTOPT, "ALL")) return;
    static const rt::Format caption = rt::parse_format("(A80)");
    rt::write(LURPT, caption, CAPTION);
    PATPLT(L, NVAR, NFAC);
}

void HYPBOX(std::span<const double> L, int NVAR, int NFAC, double WIDTH) {
    static const rt::Format head = rt::parse_format("(/,/,\"0===========HYPERPLANE COUNT====================0\",/)");
    static const rt::Format tail = rt::parse_format("(/,/,\"0==============================================0\",/)");
    rt::write(LURPT, head);
    for (int j = 1; j <= NFAC; ++j) HYPCNT(L, NVAR, NFAC, j, LURPT, WIDTH);
    rt::write(LURPT, tail);
}

}  // namespace orv::engine
