// The unrotated solution: the unrotated .fac file (PFA), the loadings, the
// variance each factor explains, Heywood warnings and the final
// communalities.
#include <cstddef>
#include <vector>

#include "engine/common/units.h"
#include "engine/control/codsel.h"
#include "engine/control/rotout.h"
#include "engine/control/stages.h"
#include "engine/stats/heywrn.h"
#include "numlib/routines1/errexit.h"
#include "numlib/routines1/x04cbf.h"
#include "runtime/formatted_io.h"

namespace orv::engine {

namespace {

void empty_line() {
    static const rt::Format format = rt::parse_format("()");
    rt::write(LURPT, format);
}

}  // namespace

void UNRSTG(JOBSET& job, RUNDATA& run) {
    const int NVAR = job.NVAR;
    const int NFAC = job.NFAC;
    const auto nvar = static_cast<std::size_t>(NVAR);
    const auto nfac = static_cast<std::size_t>(NFAC);
    const std::vector<double>& L = run.L;

    // The unrotated loadings go into .fac only for a PFA job that is not
    // rotated.
    if (is_word(job.ROTNAM, "None") && is_word(job.MODTYP, "PFA") && CODSEL(job, "FAC")) FACWRT(job, L);

    int report = LURPT;
    num1::ADVUNIT(1, report);
    int ifail = 0;
    if (is_word(job.LABOPT, "LABELS"))
        num1::X04CBF("G", "N", NVAR, NFAC, L, NVAR, "F8.3", "Unrotated Factor Loadings", "C", job.VARLAB, "I", {},
                     job.PAGEWIDTH, 0, ifail);
    else if (is_word(job.LABOPT, "NOLABELS"))
        num1::X04CBF("G", "N", NVAR, NFAC, L, NVAR, "F8.3", "Unrotated Factor Loadings", "I", {}, "I", {},
                     job.PAGEWIDTH, 0, ifail);

    std::vector<double>& V = run.FACSS;
    V.assign(nfac, 0.0);
    for (std::size_t j = 0; j < nfac; ++j)
        for (std::size_t i = 0; i < nvar; ++i) V[j] = L[i + nvar * j] * L[i + nvar * j] + V[j];
    empty_line();
    num1::X04CBF("G", "N", 1, NFAC, V, 1, "F10.3", "Variance explained by each factor", "N", {}, "I", {},
                 job.PAGEWIDTH, 0, ifail);

    std::vector<double>& H = run.COMM;
    H.assign(nvar, 0.0);
    for (std::size_t i = 0; i < nvar; ++i) H[i] = run.R[i + nvar * i];
    HEYWRN(H, NVAR, LURPT);
    empty_line();
    num1::X04CBF("G", "N", 1, NVAR, H, 1, "F8.2", "Final communality estimates", "N", {}, "I", {}, job.PAGEWIDTH,
                 0, ifail);
    empty_line();

    run.ORDER.assign(nvar, 0);
}

}  // namespace orv::engine
