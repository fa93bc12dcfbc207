// The Promax stage: the oblique step on the Varimax solution, its pattern,
// factor correlations, structure, hyperplane counts, plots, .fac and .phi.
#include <cstddef>
#include <vector>

#include "engine/control/opnmat.h"
#include "engine/control/patplt.h"
#include "engine/control/rotout.h"
#include "engine/control/stages.h"
#include "engine/control/units.h"
#include "engine/stats/prmtgt.h"
#include "engine/stats/reflct.h"
#include "engine/stats/srtfac.h"
#include "numlib/routines1/errexit.h"
#include "numlib/routines1/x04cbf.h"
#include "runtime/formatted_io.h"
#include "runtime/units.h"

namespace orv::engine {

namespace {

// S := P PHI for the NVAR x NFAC matrix P.
std::vector<double> structure(const std::vector<double>& p, const std::vector<double>& phi, int nvar, int nfac) {
    const auto n = static_cast<std::size_t>(nvar);
    const auto k = static_cast<std::size_t>(nfac);
    std::vector<double> s(n * k, 0.0);
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j < k; ++j) {
            double sum = 0.0;
            for (std::size_t m = 0; m < k; ++m) sum += p[i + m * n] * phi[m + j * k];
            s[i + j * n] = sum;
        }
    return s;
}

void phi_file(const JOBSET& job, const std::vector<double>& phi) {
    static const rt::Format record = rt::parse_format("(999(F12.9,1X))");
    const auto k = static_cast<std::size_t>(job.NFAC);
    OPNMAT(LUPHI, job.JOBDIR, job.JOBBAS, "phi");
    std::vector<double> row(k);
    for (std::size_t i = 0; i < k; ++i) {
        for (std::size_t j = 0; j < k; ++j) row[j] = phi[i + j * k];
        rt::write(LUPHI, record, row);
    }
    rt::close_unit(LUPHI);
}

}  // namespace

void PROSTG(JOBSET& job, RUNDATA& run) {
    if (job.NFAC < 2 || job.ROTMTH != "PROMAX  ") return;
    const int nvar = job.NVAR;
    const int nfac = job.NFAC;
    const auto size = static_cast<std::size_t>(nvar) * static_cast<std::size_t>(nfac);

    // The target is built from the Varimax loadings in item order.
    run.P.assign(size, 0.0);
    std::vector<double> phi(static_cast<std::size_t>(nfac) * static_cast<std::size_t>(nfac), 0.0);
    PRMTGT(run.A0, run.P, phi, nvar, nfac, job.POWER);
    REFOBL(run.P, phi, nvar, nfac);
    SRTOBL(run.P, nvar, nfac, phi);

    // The Varimax stage has made the label lists ready.
    ROTLAB(job, run);
    run.P0 = run.P;
    LODTAB(job, run, run.P, "PROMAX Sorted Factor Loadings", "PROMAX Rotated Factor Loadings");

    static const rt::Format two_lines = rt::parse_format("(/)");
    rt::write(LURPT, two_lines);
    int report = LURPT;
    num1::ADVUNIT(1, report);
    int ifail = 0;
    num1::X04CBF("G", "N", nfac, nfac, phi, nfac, "F8.3", TITL80("PROMAX: Inter-factor Correlations"), "I", {}, "I",
                 {}, job.PAGEWIDTH, 0, ifail);

    if (FACSEL(job)) {
        FACWRT(job, run.P);
        phi_file(job, phi);
    }

    HYPBOX(run.P, nvar, nfac, job.HYPER_WIDTH);

    const std::vector<double> s = structure(run.P, phi, nvar, nfac);
    run.S0 = structure(run.P0, phi, nvar, nfac);
    ROWTAB(job, run, s, "Promax Factor Structure Matrix");

    if (job.PLTOPT == "LOADINGS" || job.PLTOPT == "ALL     ") {
        static const rt::Format caption = rt::parse_format("(A80)");
        rt::write(LURPT, caption, "Factor Pattern Plots:  Promax Rotation");
        PATPLT(run.P, nvar, nfac);
    }
}

}  // namespace orv::engine
