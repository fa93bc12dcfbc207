// The correlation stage: R from raw data or the correlation file, the .cor
// file, smoothing and the .smo file, and the correlation table of a LONG
// report.
#include <cmath>
#include <string>
#include <vector>

#include "engine/common/fatal.h"
#include "engine/common/opnmat.h"
#include "engine/common/units.h"
#include "engine/control/codsel.h"
#include "engine/control/correlation_check.h"
#include "engine/control/rdcor.h"
#include "engine/control/rdraw.h"
#include "engine/control/stages.h"
#include "engine/stats/ipsat.h"
#include "engine/stats/medspl.h"
#include "engine/stats/polcor.h"
#include "engine/stats/smooth.h"
#include "engine/stats/tetcor.h"
#include "numlib/routines1/errexit.h"
#include "numlib/routines1/g02baf.h"
#include "numlib/routines1/x04cbf.h"
#include "process/parallel.h"
#include "runtime/formatted_io.h"
#include "runtime/units.h"

namespace orv::engine {

namespace {

void console(const char* text) {
    static const rt::Format format = rt::parse_format("(T30,A)");
    rt::write(LUCON, format, text);
}

void read_data(const JOBSET& job, RUNDATA& run) {
    console("Reading Data");
    RDRAW(job.DATFMT, job.NSUBJ, job.NVAR, run.SUBJID, run.X);
    run.RAWDAT = true;
}

// A continuous variable without variance has only zero correlations, its
// diagonal included, and nothing can be computed from it: every model stops
// here, before the .cor file, as the tetrachoric correlations stop for such
// a variable.
void require_variance(const std::vector<double>& sd) {
    static const rt::Format no_variance = rt::parse_format("(T30,A21,I4,A16,///)");
    for (std::size_t v = 0; v < sd.size(); ++v) {
        if (!(sd[v] > 0.0)) {
            rt::write(LUCON, no_variance, "FATAL ERROR: VARIABLE", static_cast<int>(v + 1), " HAS NO VARIANCE");
            throw rt::Stop{"", 1};
        }
    }
}

void pearson(const JOBSET& job, RUNDATA& run) {
    const auto nvar = static_cast<std::size_t>(job.NVAR);
    run.XBAR.assign(nvar, 0.0);
    run.XSTD.assign(nvar, 0.0);
    zeros(run.SSP, nvar * nvar, "the cross-products SSP");
    int ifail = 0;
    num1::G02BAF(job.NSUBJ, job.NVAR, run.X, job.NSUBJ, run.XBAR, run.XSTD, run.SSP, job.NVAR, run.R, job.NVAR,
                 ifail);
    require_variance(run.XSTD);
}

// A correlation matrix is read only for the metrics DI, OR and CO.
[[noreturn]] void no_branch(const JOBSET& job) {
    FATAL("FATAL ERROR: Input type COR cannot be used with metric " + job.METRIC + " on >METRIC: line");
}

// A loading matrix is the input of model ROT alone.
[[noreturn]] void no_loadings_branch(const JOBSET& job) {
    FATAL("FATAL ERROR: Input type " + trimmed(job.DATTYP) + " cannot be used with model " + trimmed(job.MODTYP) +
          " on >MODEL: line");
}

// Correlations computed from finite data can still overflow (values near
// the overflow limit): they stop the run before any file or table shows
// them.  The message names the variable whose sum of squares overflowed
// (Pearson correlations), else the first pair that is not finite.
void require_finite(const JOBSET& job, const RUNDATA& run) {
    const auto n = static_cast<std::size_t>(job.NVAR);
    const bool pearson = is_word(job.DATTYP, "RAW") && (job.METRIC == "CO" || job.METRIC == "IP");
    auto variable = [](std::size_t v) { return "FATAL ERROR: The correlations of variable " + std::to_string(v + 1); };
    if (pearson) {
        for (std::size_t v = 0; v < n; ++v)
            if (!std::isfinite(run.XSTD[v]))
                FATAL(variable(v) + " are not finite numbers: the sum of squares of its values overflows");
    }
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = i + 1; j < n; ++j) {
            if (!std::isfinite(run.R[i + j * n]))
                FATAL("FATAL ERROR: The correlation of variables " + std::to_string(i + 1) + " and " +
                      std::to_string(j + 1) + " is not a finite number");
        }
    }
    for (std::size_t v = 0; v < n; ++v)
        if (!std::isfinite(run.R[v + v * n])) FATAL(variable(v) + " are not finite numbers");
}

}  // namespace

void CORSTG(JOBSET& job, RUNDATA& run) {
    const int nvar = job.NVAR;
    const auto size = static_cast<std::size_t>(nvar) * static_cast<std::size_t>(nvar);
    const std::string& m = job.METRIC;
    const bool raw = is_word(job.DATTYP, "RAW");
    // A triplet test job stops before its correlations when it cannot be
    // tested: its data are checked as they enter the correlations.
    const bool triplets = is_word(job.MODTYP, "TRP");
    auto check_triplet_data = [&] {
        if (triplets) TRPDAT(job, run);
    };
    if (triplets) TRPJOB(job);

    if (raw) {
        // Sized from the declared count only once the data are in.
        read_data(job, run);
        zeros(run.R, size, "the correlation matrix R");
        if (job.CPRFLG == 1) job.CPARM.resize(static_cast<std::size_t>(nvar), 0.0);  // zeros after a slash
        if (m != "IP" && m != "CD") check_triplet_data();  // those two after their transformation
        if (m == "CD") {
            MEDSPL(run.X, job.NSUBJ, nvar);
            check_triplet_data();
            TETCOR(run.X, job.NSUBJ, nvar, run.R, LURPT, job.JOBDIR, job.JOBBAS, job.CPRFLG, job.CPARM);
        } else if (m == "DI" || m == "DC") {
            console("Computing tetrachoric correlations");
            TETCOR(run.X, job.NSUBJ, nvar, run.R, LURPT, job.JOBDIR, job.JOBBAS, job.CPRFLG, job.CPARM);
        } else if (m == "OR") {
            console("Computing polychoric correlations");
            POLCOR(run.X, job.NSUBJ, nvar, run.R, LURPT);
        } else if (m == "CO") {
            console("Computing correlations");
            pearson(job, run);
        } else if (m == "IP") {
            IPSAT(job.NSUBJ, nvar, run.X);
            check_triplet_data();
            pearson(job, run);
        }
        require_finite(job, run);
        if (CODSEL(job, "COR")) {
            static const rt::Format nine = rt::parse_format("(999(F12.9,1X))");
            static const rt::Format three = rt::parse_format("(999(F8.3))");
            OPNMAT(LUCOR, job.JOBDIR, job.JOBBAS, "cor");
            write_matrix(LUCOR, run.R, nvar, m == "IP" ? three : nine,
                         proc::thread_count(0, static_cast<std::size_t>(nvar)));
        }
        if (m == "IP") rt::close_unit(LUDAT);
    } else if (is_word(job.DATTYP, "COR") && (m == "DI" || m == "OR" || m == "CO")) {
        RDCOR(m, job.DATFIL, nvar, run.R);
        require_correlation_matrix(run.R, static_cast<std::size_t>(nvar),
                                   "correlation file " + rt::unit_file_name(LUDAT));
    } else if (is_word(job.DATTYP, "COR")) {
        // No reading branch exists: stop before any stage meets the missing
        // matrix.
        no_branch(job);
    } else {
        no_loadings_branch(job);
    }

    if (job.SMOOPT == "SM") {
        const bool named = (raw && (m == "DI" || m == "DC" || m == "OR" || m == "CD")) ||
                           (is_word(job.DATTYP, "COR") && (m == "DI" || m == "OR" || m == "CD"));
        const bool unnamed = m == "CO" && is_word(job.DATTYP, "COR");
        if (named || unnamed) {
            static const rt::Format line = rt::parse_format("(T30,A22)");
            rt::write(LUCON, line, "Smoothing Correlations");
            std::vector<double> s(size, 0.0);
            SMOOTH(run.R, nvar, s);
            run.R = s;
            if (named && CODSEL(job, "SMO")) {
                static const rt::Format nine = rt::parse_format("(999(F12.9,1X))");
                OPNMAT(LUSMO, job.JOBDIR, job.JOBBAS, "smo");
                write_matrix(LUSMO, run.R, nvar, nine, proc::thread_count(0, static_cast<std::size_t>(nvar)));
                rt::close_unit(LUSMO);
            }
        }
    }

    // Matrix printing into the report.
    run.NCOLS = job.PAGEWIDTH >= 120 ? 110 : job.PAGEWIDTH;
    int report = LURPT;
    num1::ADVUNIT(1, report);
}

void CORPRT(const JOBSET& job, RUNDATA& run) {
    int ifail = 0;
    const int nvar = job.NVAR;
    if (is_word(job.LABOPT, "LABELS")) {
        num1::X04CBF("G", "B", nvar, nvar, run.R, nvar, "F15.3", "CORRELATION MATRIX", "C", job.VARLAB, "C",
                     job.VARLAB, run.NCOLS, 0, ifail);
    } else if (is_word(job.LABOPT, "NOLABELS")) {
        num1::X04CBF("G", "B", nvar, nvar, run.R, nvar, "F8.3", "CORRELATION MATRIX", "I", {}, "I", {}, run.NCOLS,
                     0, ifail);
    }
}

}  // namespace orv::engine
