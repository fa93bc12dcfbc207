// The Promax stage: the oblique step on the Varimax solution, its pattern,
// factor correlations, structure, hyperplane counts, plots, .fac and .phi.
#include <cstddef>
#include <vector>

#include "engine/control/codsel.h"
#include "engine/control/patplt.h"
#include "engine/control/rotout.h"
#include "engine/control/stages.h"
#include "engine/stats/prmtgt.h"
#include "engine/stats/reflct.h"
#include "engine/stats/srtfac.h"

namespace orv::engine {

void PROSTG(JOBSET& job, RUNDATA& run) {
    if (job.NFAC < 2 || !is_word(job.ROTMTH, "PROMAX")) return;
    const int nvar = job.NVAR;
    const int nfac = job.NFAC;
    const auto size = static_cast<std::size_t>(nvar) * static_cast<std::size_t>(nfac);

    // The target is built from the Varimax loadings in item order.
    run.P.assign(size, 0.0);
    std::vector<double> phi(static_cast<std::size_t>(nfac) * static_cast<std::size_t>(nfac), 0.0);
    PRMTGT(run.A0, run.P, phi, nvar, nfac, job.POWER);
    ROTCHK("Promax", run.P, phi);
    REFOBL(run.P, phi, nvar, nfac);
    SRTOBL(run.P, nvar, nfac, phi);

    // The Varimax stage has made the label lists ready.
    ROTLAB(job, run);
    run.P0 = run.P;
    LODTAB(job, run, run.P, "PROMAX Sorted Factor Loadings", "PROMAX Rotated Factor Loadings");

    PHITAB(job, phi, "PROMAX: Inter-factor Correlations");

    if (CODSEL(job, "FAC")) {
        FACWRT(job, run.P);
        PHIWRT(job, phi);
    }

    HYPBOX(run.P, nvar, nfac, job.HYPER_WIDTH);

    const std::vector<double> s = STRMAT(run.P, phi, nvar, nfac);
    run.S0 = STRMAT(run.P0, phi, nvar, nfac);
    ROWTAB(job, run, s, "Promax Factor Structure Matrix");

    PATCAP(job.PLTOPT, "Factor Pattern Plots:  Promax Rotation", run.P, nvar, nfac);
}

}  // namespace orv::engine
