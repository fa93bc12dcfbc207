// The oblique rotation stages: direct Oblimin (OBLSTG) and Harris-Kaiser
// (HKSTG).  Both are one stage with two rotation routines: rotate, reflect
// and order the factors, then the pattern table, the factor correlations,
// the .fac and .phi files, the structure table, the hyperplane box and the
// pattern plots, in that order.
#include <string>
#include <vector>

#include "engine/control/deflab.h"
#include "engine/control/opnmat.h"
#include "engine/control/patplt.h"
#include "engine/control/stages.h"
#include "engine/control/units.h"
#include "engine/stats/ranort.h"
#include "engine/stats/reflct.h"
#include "engine/stats/srtfac.h"
#include "engine/stats/srtitm.h"
#include "numlib/routines1/errexit.h"
#include "numlib/routines1/x04cbf.h"
#include "numlib/routines2/dfdobl.h"
#include "numlib/routines2/dfharr.h"
#include "runtime/formatted_io.h"
#include "runtime/host.h"
#include "runtime/io_error.h"
#include "runtime/units.h"

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

// The 80-character title buffer of the matrix printer.
std::string title80(const char* text) {
    std::string title(text);
    title.resize(80, ' ');
    return title;
}

// The .fac and .phi files are written when OUTPUT is T and FAC stands among
// the first seven codes of the >OUTPUT: line.
bool fac_listed(const JOBSET& job) {
    if (job.OUTPUT != "T") return false;
    for (std::size_t i = 0; i < 7 && i < job.OUTCOD.size(); ++i)
        if (job.OUTCOD[i] == "FAC") return true;
    return false;
}

void empty_lines() {
    static const rt::Format format = rt::parse_format("(/)");
    rt::write(LURPT, format);
}

[[noreturn]] void fatal(const std::string& text) {
    static const rt::Format format = rt::parse_format("(T30,A,/,/)");
    rt::write(LUCON, format, text);
    rt::host().pause();
    throw rt::Stop{"", 1};
}

// The variable weights of the Harris-Kaiser rotation, the unique variances:
// 1.0 for principal components, 1 minus the final communality estimate that
// extraction left on the diagonal of R for principal axes, and for loadings
// read from a file 1 minus the variable's sum of squared loadings.
std::vector<double> unique_variances(const JOBSET& job, const RUNDATA& run) {
    const int nvar = job.NVAR;
    std::vector<double> u(static_cast<std::size_t>(nvar), 1.0);
    if (job.MODTYP == "PCA ") return u;
    for (int i = 0; i < nvar; ++i) {
        if (job.MODTYP == "PFA ") {
            u[i] = 1.0 - run.R[at(i, i, nvar)];
        } else {
            double h = 0.0;
            for (int j = 0; j < job.NFAC; ++j) h += run.L[at(i, j, nvar)] * run.L[at(i, j, nvar)];
            u[i] = 1.0 - h;
        }
    }
    return u;
}

// One matrix table of the stage: FORM F8.3, columns numbered, the record
// width PAGEWIDTH.  Row labels "C" from `labels`, or numbers when `labels`
// is null.
void table(const JOBSET& job, const std::vector<double>& m, int rows, const char* heading,
           const std::vector<std::string>* labels) {
    int ifail = 0;
    if (labels != nullptr) {
        num1::X04CBF("G", "N", rows, job.NFAC, m, rows, "F8.3", title80(heading), "C", *labels, "I", {},
                     job.PAGEWIDTH, 0, ifail);
    } else {
        num1::X04CBF("G", "N", rows, job.NFAC, m, rows, "F8.3", title80(heading), "I", {}, "I", {}, job.PAGEWIDTH,
                     0, ifail);
    }
}

// The pattern and the structure share their row labels: under SORT the
// sorted labels, under NOSORT the labels or the row numbers; any other
// words print the table not at all.
void loading_table(const JOBSET& job, const std::vector<double>& m, const char* sorted, const char* rotated,
                   const std::vector<std::string>& slab) {
    if (job.SRTOPT == "SORT           ") {
        table(job, m, job.NVAR, sorted, &slab);
    } else if (job.SRTOPT == "NOSORT         ") {
        if (job.LABOPT == "LABELS         ") table(job, m, job.NVAR, rotated, &job.VARLAB);
        if (job.LABOPT == "NOLABELS       ") table(job, m, job.NVAR, rotated, nullptr);
    }
}

// The .fac file: the pattern's rows in printed order, numbered by position;
// the .phi file: the factor correlations, one row per record.
void write_files(const JOBSET& job, const std::vector<double>& p, const std::vector<double>& phi) {
    static const rt::Format fac = rt::parse_format("(I4,1X,999(F8.4))");
    static const rt::Format nine = rt::parse_format("(999(F12.9,1X))");
    const int nvar = job.NVAR;
    const int nfac = job.NFAC;
    std::vector<double> row(static_cast<std::size_t>(nfac));

    OPNMAT(LUFAC, job.JOBDIR, job.JOBBAS, "fac");
    for (int i = 0; i < nvar; ++i) {
        for (int j = 0; j < nfac; ++j) row[j] = p[at(i, j, nvar)];
        rt::write(LUFAC, fac, i + 1, row);
    }
    rt::close_unit(LUFAC);

    OPNMAT(LUPHI, job.JOBDIR, job.JOBBAS, "phi");
    for (int i = 0; i < nfac; ++i) {
        for (int j = 0; j < nfac; ++j) row[j] = phi[at(i, j, nfac)];
        rt::write(LUPHI, nine, row);
    }
    rt::close_unit(LUPHI);
}

// M PHI for the NVAR x NFAC matrix M.
std::vector<double> times_phi(const std::vector<double>& m, const std::vector<double>& phi, int nvar, int nfac) {
    std::vector<double> s(m.size(), 0.0);
    for (int i = 0; i < nvar; ++i) {
        for (int j = 0; j < nfac; ++j) {
            double sum = 0.0;
            for (int k = 0; k < nfac; ++k) sum += m[at(i, k, nvar)] * phi[at(k, j, nfac)];
            s[at(i, j, nvar)] = sum;
        }
    }
    return s;
}

void oblique_stage(JOBSET& job, RUNDATA& run, Method method) {
    const Texts& texts = method == Method::Oblimin ? kOblimin : kHarrisKaiser;
    const int nvar = job.NVAR;
    const int nfac = job.NFAC;
    const auto cells = static_cast<std::size_t>(nvar) * static_cast<std::size_t>(nfac);
    const auto square = static_cast<std::size_t>(nfac) * static_cast<std::size_t>(nfac);

    int report = LURPT;
    num1::ADVUNIT(1, report);

    // The labels: read ones under LABELS, the default labels under
    // NOLABELS.  Another labels word leaves VARLAB blank; its sorted tables
    // show the default labels.
    std::vector<std::string> defaults;
    const std::vector<std::string>* labels = &job.VARLAB;
    if (job.LABOPT == "NOLABELS       ") {
        DEFLAB(nvar, job.VARLAB);
    } else if (job.LABOPT != "LABELS         ") {
        DEFLAB(nvar, defaults);
        labels = &defaults;
    }

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
    REFOBL(p, phi, nvar, nfac);
    SRTOBL(p, nvar, nfac, phi);

    // Pattern table; P0 keeps the pattern in item order.
    run.P0 = p;
    const bool sorted = job.SRTOPT == "SORT           ";
    std::vector<std::string> slab;
    if (sorted) {
        run.ORDER.assign(static_cast<std::size_t>(nvar), 0);
        SRTITM(p, nvar, nfac, run.ORDER);
        slab.resize(static_cast<std::size_t>(nvar));
        for (int i = 0; i < nvar; ++i) slab[i] = (*labels)[static_cast<std::size_t>(run.ORDER[i] - 1)];
    }
    loading_table(job, p, texts.sorted, texts.rotated, slab);

    empty_lines();
    int ifail = 0;
    num1::X04CBF("G", "N", nfac, nfac, phi, nfac, "F8.3", title80(texts.correlations), "I", {}, "I", {},
                 job.PAGEWIDTH, 0, ifail);

    if (fac_listed(job)) write_files(job, p, phi);

    empty_lines();
    const std::vector<double> s = times_phi(p, phi, nvar, nfac);
    run.S0 = sorted ? times_phi(run.P0, phi, nvar, nfac) : s;
    loading_table(job, s, texts.structure, texts.structure, slab);

    HYPBOX(p, nvar, nfac, job.HYPER_WIDTH);

    if (job.PLTOPT == "LOADINGS" || job.PLTOPT == "ALL     ") {
        static const rt::Format caption = rt::parse_format("(A80)");
        rt::write(LURPT, caption, texts.caption);
        PATPLT(p, nvar, nfac);
    }
}

}  // namespace

void OBLSTG(JOBSET& job, RUNDATA& run) { oblique_stage(job, run, Method::Oblimin); }

void HKSTG(JOBSET& job, RUNDATA& run) {
    // The library would end the run with a terminal error of its own; the
    // engine says which command-file value is wrong instead.
    if (!(job.HKPAR >= 0.0 && job.HKPAR <= 1.0))
        fatal("FATAL ERROR: Harris-Kaiser parameter on >ROTATE: must be between 0.0 and 1.0");
    oblique_stage(job, run, Method::HarrisKaiser);
}

}  // namespace orv::engine
