// The factor score stage: regression or Bartlett scores of the raw data,
// the .fsc file, and the score plots.
#include <cmath>
#include <cstddef>
#include <string>
#include <vector>

#include "engine/common/mkfnam.h"
#include "engine/common/opnmat.h"
#include "engine/common/units.h"
#include "engine/control/scrstg.h"
#include "engine/control/stages.h"
#include "engine/stats/library_status.h"
#include "engine/stats/regscr.h"
#include "numlib/routines2/dplotp.h"
#include "numlib/routines2/umach.h"
#include "process/parallel.h"
#include "runtime/formatted_io.h"
#include "runtime/list_io.h"
#include "runtime/ordered_writer.h"
#include "runtime/units.h"

namespace orv::engine {

namespace {

// The loadings in item order that the scores are computed from: the rotated
// loadings after an orthogonal rotation, the structure (regression) or the
// pattern (Bartlett) after an oblique one, the unrotated loadings when no
// rotation stage ran (rotation NONE, one factor, or an unknown word).
const std::vector<double>& score_loadings(const JOBSET& job, const RUNDATA& run, ScoreMethod method) {
    if (job.NFAC > 1 && orthogonal_rotation(job)) return run.A0;
    if (job.NFAC > 1 && oblique_rotation(job)) return method == ScoreMethod::Regression ? run.S0 : run.P0;
    return run.L;
}

// The .fsc file, emptied on opening: a run that stops before its scores
// are written leaves an empty file, never the scores of an earlier run.  A
// .fsc that is one of the job's inputs is refused as every output is.
void open_scores_file(const JOBSET& job) {
    std::string base = job.JOBBAS;
    std::string name;
    MKFNAM(base, name, "fsc");
    open_output(LUFSC, trimmed(job.JOBDIR) + name, "The factor score file " + trimmed(name),
                rt::OpenStatus::Replace);
}

// The identifier of a .fsc record as the nearest whole number in 64 bits;
// false for one beyond their range or not a number (the I15 edit fills its
// field with asterisks for a whole number that is too wide).
bool whole_identifier(double id, long long& whole) {
    if (!(std::fabs(id) < 0x1p62)) return false;
    whole = std::llround(id);
    return true;
}

// One record (I15,999(F8.3)) per subject, formatted on all threads and
// written in subject order.
void write_scores(const JOBSET& job, const RUNDATA& run, int threads) {
    static const rt::Format record = rt::parse_format("(I15,999(F8.3))");
    static const rt::Format starred = rt::parse_format("(A15,999(F8.3))");
    const auto nsubj = static_cast<std::size_t>(job.NSUBJ);
    const auto nfac = static_cast<std::size_t>(job.NFAC);
    proc::WorkerPool pool(proc::policy::score_records(threads, nsubj) - 1);
    rt::write_in_order(pool, LUFSC, nsubj, [&](std::size_t i, rt::HeldRecords& held) {
        thread_local std::vector<double> row;
        row.resize(nfac);
        for (std::size_t k = 0; k < nfac; ++k) row[k] = run.SC[i + k * nsubj];
        long long id = 0;
        if (whole_identifier(run.SUBJID[i], id))
            rt::write(held, record, id, row);
        else
            rt::write(held, starred, std::string(15, '*'), row);
    });
}

}  // namespace

void SCRSTG(JOBSET& job, RUNDATA& run, int threads) {
    // Scores are computed from raw data alone: model ROT reads loadings from
    // its data file whatever the data type, so it has none to score.
    const bool regression = is_word(job.SCRMTH, "REG");
    if (!run.RAWDAT || !(regression || is_word(job.SCRMTH, "BART"))) return;
    // Dichotomous and ordered data have no means and standard deviations to
    // score from: the job is told so, in the window and the report.
    if (!scored_metric(job)) {
        static const rt::Format console = rt::parse_format("(T30,A,/)");
        const std::string text =
            "No factor scores: they need raw data of metric CO or IP, not " + trimmed(job.METRIC);
        rt::write(LUCON, console, text);
        rt::write_list(LURPT);
        rt::write_list(LURPT, text);
        return;
    }

    open_scores_file(job);
    const auto nsubj = static_cast<std::size_t>(job.NSUBJ);
    const auto nfac = static_cast<std::size_t>(job.NFAC);
    zeros(run.SC, nsubj * nfac, "the factor scores SC");
    const ScoreMethod method = regression ? ScoreMethod::Regression : ScoreMethod::Bartlett;
    const std::vector<double>& L = score_loadings(job, run, method);
    if (regression)
        REGSCR(run.X, run.XBAR, run.XSTD, job.NVAR, job.NSUBJ, job.NFAC, run.R, L, run.SC, job.LABOPT, job.VARLAB,
               LURPT, job.PAGEWIDTH, job.MODTYP, threads);
    else
        BARSCR(run.X, run.XBAR, run.XSTD, job.NVAR, job.NSUBJ, job.NFAC, run.R, L, run.SC, job.LABOPT, job.VARLAB,
               LURPT, job.PAGEWIDTH, job.MODTYP, threads);
    write_scores(job, run, threads);
    rt::close_unit(LUFSC);
    run.SCORED = true;
}

void SCPSTG(JOBSET& job, RUNDATA& run) {
    if (!(is_word(job.PLTOPT, "SCORES") || is_word(job.PLTOPT, "ALL")) || !run.SCORED) return;
    FSCPLT(run.SC, job.NSUBJ, job.NFAC);
}

void FSCPLT(std::span<const double> SC, int NSUBJ, int NFAC) {
    static const rt::Format caption = rt::parse_format("(\"Factor X = \",I3,3X,\"Factor Y =\",I3,5/)");
    static const double range[4] = {-3.5, 3.5, -3.5, 3.5};
    int width = 80;
    int length = 50;
    int report = LURPT;
    num2::PGOPT(-1, width);
    stop_on_library_error();
    num2::PGOPT(-2, length);
    stop_on_library_error();
    num2::UMACH(-2, report);
    const auto nsubj = static_cast<std::size_t>(NSUBJ);
    for (int i = 1; i < NFAC; ++i) {
        for (int j = i + 1; j <= NFAC; ++j) {
            std::vector<double> x(SC.begin() + static_cast<std::ptrdiff_t>((i - 1) * nsubj),
                                  SC.begin() + static_cast<std::ptrdiff_t>(i * nsubj));
            std::vector<double> y(SC.begin() + static_cast<std::ptrdiff_t>((j - 1) * nsubj),
                                  SC.begin() + static_cast<std::ptrdiff_t>(j * nsubj));
            num2::DPLOTP(NSUBJ, 1, x, y, NSUBJ, 1, range, ". ", "Factor X", "Factor Y", " Factor Score Plot");
            stop_on_library_error();
            rt::write(LURPT, caption, i, j);
        }
    }
}

}  // namespace orv::engine
