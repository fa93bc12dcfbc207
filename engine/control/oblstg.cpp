// The oblique rotation stages: direct Oblimin (OBLSTG) and Harris-Kaiser
// (HKSTG).  Both are one stage with two rotation routines: rotate, reflect
// and order the factors, then the pattern table, the factor correlations,
// the .fac and .phi files, the structure table, the hyperplane box and the
// pattern plots, in that order.
#include <cstddef>
#include <vector>

#include "engine/common/fatal.h"
#include "engine/control/codsel.h"
#include "engine/control/patplt.h"
#include "engine/control/rotout.h"
#include "engine/control/stages.h"
#include "engine/stats/library_status.h"
#include "engine/stats/ranort.h"
#include "engine/stats/reflct.h"
#include "engine/stats/srtfac.h"
#include "numlib/routines2/dfdobl.h"
#include "numlib/routines2/dfharr.h"

namespace orv::engine {

namespace {

enum class Method { Oblimin, HarrisKaiser };

// The texts in which the two stages differ.
struct Texts {
    const char* sorted;
    const char* rotated;
    const char* correlations;
    const char* structure;
    const char* caption;
};

constexpr Texts kOblimin{"Oblimin Sorted Factor Loadings", "Oblimin Rotated Factor Loadings",
                         "Oblimin: Inter-factor Correlations", "Oblimin Factor Structure Matrix",
                         "Factor Pattern Plots:  Oblimin Rotation"};
constexpr Texts kHarrisKaiser{"Harris-Kaiser Sorted Factor Loadings", "Harris-Kaiser Rotated Factor Loadings",
                              "Hairrs-Kaiser: Inter-factor Correlations", "Harris-Kaiser Factor Structure Matrix",
                              "Factor Pattern Plots:  Harris-Kaiser Rotation"};

std::size_t at(int i, int j, int rows) {
    return static_cast<std::size_t>(i) + static_cast<std::size_t>(j) * static_cast<std::size_t>(rows);
}

// The variable weights of the Harris-Kaiser rotation, the unique variances:
// 1.0 for principal components, 1 minus the final communality estimate that
// extraction left on the diagonal of R for principal axes, and for loadings
// read from a file 1 minus the variable's sum of squared loadings.
std::vector<double> unique_variances(const JOBSET& job, const RUNDATA& run) {
    const int nvar = job.NVAR;
    std::vector<double> u(static_cast<std::size_t>(nvar), 1.0);
    if (is_word(job.MODTYP, "PCA")) return u;
    for (int i = 0; i < nvar; ++i) {
        if (is_word(job.MODTYP, "PFA")) {
            u[i] = 1.0 - run.R[at(i, i, nvar)];
        } else {
            double h = 0.0;
            for (int j = 0; j < job.NFAC; ++j) h += run.L[at(i, j, nvar)] * run.L[at(i, j, nvar)];
            u[i] = 1.0 - h;
        }
    }
    return u;
}

void oblique_stage(JOBSET& job, RUNDATA& run, Method method) {
    const Texts& texts = method == Method::Oblimin ? kOblimin : kHarrisKaiser;
    const int nvar = job.NVAR;
    const int nfac = job.NFAC;
    const auto cells = static_cast<std::size_t>(nvar) * static_cast<std::size_t>(nfac);
    const auto square = static_cast<std::size_t>(nfac) * static_cast<std::size_t>(nfac);

    // The default labels unless LABELS, as in every rotation stage.
    ROTLAB(job, run);

    if (job.RNDSTRTS == "T") RANORT(run.L, nvar, nfac);

    std::vector<double>& p = run.P;
    p.assign(cells, 0.0);
    std::vector<double> t(square, 0.0);
    std::vector<double> phi(square, 0.0);
    if (method == Method::Oblimin) {
        num2::DFDOBL(nvar, nfac, run.L, nvar, 1, job.DELTA, job.ROT_MAXIT, job.ROT_EPS, p, nvar, t, nfac, phi,
                     nfac);
    } else {
        const std::vector<double> u = unique_variances(job, run);
        num2::DFHARR(nvar, nfac, run.L, nvar, 1, job.ROT_MAXIT, 1.0, job.HKPAR, job.ROT_EPS, u, p, nvar, t, nfac,
                     phi, nfac);
    }
    stop_on_library_error();
    ROTCHK(method == Method::Oblimin ? "Oblimin" : "Harris-Kaiser", p, phi);
    REFOBL(p, phi, nvar, nfac);
    SRTOBL(p, nvar, nfac, phi);

    // The pattern and the structure tables need one of the two labels
    // words, sorted or not; P is sorted under SORT in any case, and P0 keeps
    // it in item order.
    const bool tables = is_word(job.LABOPT, "LABELS") || is_word(job.LABOPT, "NOLABELS");
    const bool sorted = is_word(job.SRTOPT, "SORT");
    run.P0 = p;
    SRTROW(job, run, p);
    if (tables) ROWTAB(job, run, p, sorted ? texts.sorted : texts.rotated);

    PHITAB(job, phi, texts.correlations);

    if (CODSEL(job, "FAC")) {
        FACWRT(job, p);
        PHIWRT(job, phi);
    }

    TWOLIN();
    const std::vector<double> s = STRMAT(p, phi, nvar, nfac);
    run.S0 = sorted ? STRMAT(run.P0, phi, nvar, nfac) : s;
    if (tables) ROWTAB(job, run, s, texts.structure);

    HYPBOX(p, nvar, nfac, job.HYPER_WIDTH);
    PATCAP(job.PLTOPT, texts.caption, p, nvar, nfac);
}

}  // namespace

void OBLSTG(JOBSET& job, RUNDATA& run) {
    if (job.NFAC < 2 || !is_word(job.ROTMTH, "OBLIMIN")) return;
    oblique_stage(job, run, Method::Oblimin);
}

void HKSTG(JOBSET& job, RUNDATA& run) {
    if (job.NFAC < 2 || !is_word(job.ROTMTH, "HK")) return;
    // The library would end the run with a terminal error of its own; the
    // engine says which command-file value is wrong instead.
    if (!(job.HKPAR >= 0.0 && job.HKPAR <= 1.0))
        FATAL("FATAL ERROR: Harris-Kaiser parameter on >ROTATE: must be between 0.0 and 1.0");
    oblique_stage(job, run, Method::HarrisKaiser);
}

}  // namespace orv::engine
