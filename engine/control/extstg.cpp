// The factor extraction stage: the eigenvalues of the initial correlation
// matrix, principal axes with iterated communalities (PFA) or principal
// components (PCA), and the model fit that follows at once.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <string_view>
#include <vector>

#include "engine/common/data_array.h"
#include "engine/common/fatal.h"
#include "engine/common/units.h"
#include "engine/control/eigplt.h"
#include "engine/control/fitstg.h"
#include "engine/control/stages.h"
#include "engine/stats/library_status.h"
#include "engine/stats/loadng.h"
#include "engine/stats/maxcor.h"
#include "engine/stats/reflct.h"
#include "engine/stats/smccom.h"
#include "numlib/routines2/devesf.h"
#include "numlib/routines2/erset.h"
#include "runtime/formatted_io.h"
#include "runtime/list_io.h"

namespace orv::engine {

namespace {

// With as many factors as variables the communalities reproduce the whole
// diagonal, and their sum equals NVAR up to rounding: the divergence test
// then allows this many units in the last place of NVAR.
constexpr double kFullRankUlps = 8.0;

[[noreturn]] void diverged(int pass) {
    static const rt::Format format = rt::parse_format("(T30,'ERROR 100:  SERIOUS PROBLEMS OCCURED DURING ITERATION',I3)");
    FATAL(format, pass);
}

void eigen_trouble(int code) {
    if (code == 1) rt::write_list(LUCON, "The iteration for an eigenvalue failed to converge.");
    if (code == 2) rt::write_list(LUCON, "inverse iteration did not converge. Eigenvector is not correct.");
    if (code == 3) rt::write_list(LUCON, "The eigenvectors have lost orthogonality.");
}

}  // namespace

void EXTSTG(JOBSET& job, RUNDATA& run) {
    static const rt::Format banner = rt::parse_format("(T30,A,/)");
    static const rt::Format counter = rt::parse_format("('+',T30,'Iteration: ',1X,I3)");
    static const rt::Format warning = rt::parse_format("(T30,A)");

    const int NVAR = job.NVAR;
    const int NFAC = job.NFAC;
    const auto nvar = static_cast<std::size_t>(NVAR);
    const auto nfac = static_cast<std::size_t>(NFAC);
    const bool pfa = is_word(job.MODTYP, "PFA");
    const bool pca = is_word(job.MODTYP, "PCA");
    std::vector<double>& R = run.R;

    if (pfa) rt::write(LUCON, banner, "Performing factor analysis");
    if (pca) rt::write(LUCON, banner, "Performing principal components analysis");

    double delta = 1.0;
    double sum = static_cast<double>(NVAR);
    int pass = 1;
    zeros(run.R0, R.size(), "the correlation matrix R0");
    std::copy(R.begin(), R.end(), run.R0.begin());

    // R is not changed until the initial communalities, so its eigenvalues
    // serve them too.
    const std::vector<double> initial_eigenvalues =
        EIGPLT(R, NVAR, LURPT, job.PAGEWIDTH, job.JOBDIR, job.JOBBAS, job.OUTPUT, job.OUTCOD, 7);

    if (pfa) {
        const std::string_view init = std::string_view(job.INIT_COM).substr(0, 3);
        if (init == "SMC") SMCCOM(R, NVAR, initial_eigenvalues);
        if (init == "HIR") MAXCOR(R, NVAR);
    }

    const double limit = NFAC == NVAR ? NVAR * (1.0 + kFullRankUlps * DBL_EPSILON) : static_cast<double>(NVAR);

    std::vector<double> eval(nfac), evec(nvar * nfac), work;
    zeros(work, nvar * nvar, "the eigen routine's copy of R");
    std::vector<double>& L = run.L;
    L.assign(nvar * nfac, 0.0);
    // The first pass always runs: a COMP_EPS of 1 or more, or a MAXIT below
    // 1, still gives the loadings of one pass instead of none.
    do {
        rt::write(LUCON, counter, pass);
        const double previous = sum;
        std::fill(eval.begin(), eval.end(), 0.0);
        std::fill(evec.begin(), evec.end(), 0.0);
        std::fill(L.begin(), L.end(), 0.0);

        // The eigen routine may tidy the lower triangle of its matrix; R's
        // off-diagonal entries stay as they came.
        work = R;
        num2::DEVESF(NVAR, NFAC, work, NVAR, false, eval, evec, NVAR);
        eigen_trouble(num2::LSTERR());
        stop_on_library_error();
        LOADNG(eval, evec, L, NVAR, NFAC);

        // The new communalities: the diagonal of L L'.
        sum = 0.0;
        for (std::size_t i = 0; i < nvar; ++i) {
            double h = 0.0;
            for (std::size_t k = 0; k < nfac; ++k) h += L[i + nvar * k] * L[i + nvar * k];
            R[i + nvar * i] = h;
        }
        for (std::size_t i = 0; i < nvar; ++i) sum += R[i + nvar * i];
        delta = std::abs(previous - sum);

        // A sum that is not a number fails this test too.
        if (!(sum <= limit)) diverged(pass);
        if (pca) delta = 0.0;
        ++pass;
    } while (delta > job.COMP_EPS && pass <= job.MAXIT);

    // The reproduced matrix of the last pass, before reflection (which does
    // not change it).
    reproduce(L, NVAR, NFAC, run.RHAT, 0);
    run.NPASS = pass;

    REFLCT(L, NVAR, NFAC);

    // The pass limit ended the loop: with MAXIT of 1 or more this is the
    // counter at MAXIT + 1, even when the last pass met the criterion.
    if (pfa && pass > job.MAXIT) {
        const char* text = "**** Communalities Failed to Converge ****";
        rt::write(LUCON, warning, text);
        rt::write_list(LURPT, text);
    }

    FITSTG(job, run);
}

}  // namespace orv::engine
