#include "engine/control/eigplt.h"

#include <complex>
#include <vector>

#include "engine/common/opnmat.h"
#include "engine/common/units.h"
#include "engine/stats/library_status.h"
#include "numlib/routines1/g01agf.h"
#include "numlib/routines1/x04cbf.h"
#include "numlib/routines2/devlrg.h"
#include "runtime/formatted_io.h"
#include "runtime/list_io.h"
#include "runtime/units.h"

namespace orv::engine {

std::vector<double> EIGPLT(std::span<const double> R, int NVAR, int LU, int PAGEWIDTH, std::string_view JOBDIR,
            std::string_view JOBBAS, std::string_view OUTPUT, std::span<const std::string> OUTCOD, int NCODES) {
    static const rt::Format gap = rt::parse_format("(/,/)");
    static const rt::Format eig_record = rt::parse_format("(999(F8.4))");

    const int ncols = PAGEWIDTH < 120 ? PAGEWIDTH : 110;
    const int n = NVAR < 31 ? NVAR : 30;
    const auto nvar = static_cast<std::size_t>(NVAR);

    std::vector<std::complex<double>> roots(nvar);
    num2::DEVLRG(NVAR, R, NVAR, roots);
    stop_on_library_error();
    std::vector<double> eval(nvar);
    for (std::size_t i = 0; i < nvar; ++i) eval[i] = roots[i].real();

    rt::write(LU, gap);
    int ifail = 0;
    num1::X04CBF("G", "N", 1, NVAR, eval, 1, "F8.3", "Eigenvalues of Initial Correlation Matrix", "N", {}, "I", {},
                 ncols, 0, ifail);
    rt::write_list(LU, "Eigenvalue Plot");

    // The plot sorts its ordinates: it gets a copy.
    std::vector<double> x(static_cast<std::size_t>(n)), y(eval.begin(), eval.begin() + n);
    std::vector<int> isort(static_cast<std::size_t>(n));
    for (int k = 0; k < n; ++k) {
        x[static_cast<std::size_t>(k)] = k + 1;
        isort[static_cast<std::size_t>(k)] = k + 1;
    }
    ifail = 0;
    num1::G01AGF(x, y, n, isort, 65, 20, ifail);
    rt::write(LU, gap);

    bool listed = false;
    if (OUTPUT == "T")
        for (int i = 0; i < NCODES && i < static_cast<int>(OUTCOD.size()); ++i)
            if (std::string_view(OUTCOD[static_cast<std::size_t>(i)]).substr(0, 3) == "EIG") listed = true;
    if (listed) {
        OPNMAT(LUFAC, JOBDIR, JOBBAS, "eig");
        for (const double v : eval) rt::write(LUFAC, eig_record, v);
        rt::close_unit(LUFAC);
    }
    return eval;
}

}  // namespace orv::engine
