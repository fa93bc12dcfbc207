#include "engine/control/rotout.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string>
#include <vector>

#include "engine/common/opnmat.h"
#include "engine/common/trace.h"
#include "engine/common/units.h"
#include "engine/control/deflab.h"
#include "engine/stats/srtitm.h"
#include "numlib/routines1/errexit.h"
#include "numlib/routines1/x04cbf.h"
#include "runtime/formatted_io.h"
#include "runtime/host.h"
#include "runtime/io_error.h"
#include "runtime/units.h"

namespace orv::engine {

namespace {

bool is_sort(const JOBSET& job) { return is_word(job.SRTOPT, "SORT"); }
bool is_nosort(const JOBSET& job) { return is_word(job.SRTOPT, "NOSORT"); }
bool is_labels(const JOBSET& job) { return is_word(job.LABOPT, "LABELS"); }
bool is_nolabels(const JOBSET& job) { return is_word(job.LABOPT, "NOLABELS"); }

int table(const JOBSET& job, std::span<const double> m, std::string_view title, std::string_view labrow,
          std::span<const std::string> labels) {
    int report = LURPT;
    num1::ADVUNIT(1, report);
    int ifail = 0;
    num1::X04CBF("G", "N", job.NVAR, job.NFAC, m, job.NVAR, "F8.3", TITL80(title), labrow, labels, "I", {},
                 job.PAGEWIDTH, 0, ifail);
    return ifail;
}

}  // namespace

std::string TITL80(std::string_view text) {
    std::string title(text.substr(0, 80));
    title.resize(80, ' ');
    return title;
}

void ROTLAB(JOBSET& job, RUNDATA& run) {
    const auto nvar = static_cast<std::size_t>(job.NVAR);
    if (!is_labels(job)) DEFLAB(job.NVAR, job.VARLAB);
    if (job.VARLAB.size() < nvar) job.VARLAB.resize(nvar, blank_text(15));
    run.SLAB.assign(nvar, blank_text(15));
    if (run.ORDER.size() != nvar) run.ORDER.assign(nvar, 0);
}

void SRTROW(const JOBSET& job, RUNDATA& run, std::span<double> M) {
    if (!is_sort(job)) return;
    SRTITM(M, job.NVAR, job.NFAC, run.ORDER);
    for (std::size_t p = 0; p < run.SLAB.size(); ++p)
        run.SLAB[p] = job.VARLAB[static_cast<std::size_t>(run.ORDER[p] - 1)];
}

void LODTAB(const JOBSET& job, RUNDATA& run, std::span<double> M, std::string_view sorted,
            std::string_view unsorted, const int* sites) {
    SRTROW(job, run, M);
    const int site = is_sort(job) ? 0 : !is_nosort(job) ? -1 : is_labels(job) ? 1 : is_nolabels(job) ? 2 : -1;
    if (site < 0) return;
    const int ifail = ROWTAB(job, run, M, site == 0 ? sorted : unsorted);
    if (sites != nullptr) TRACE(ifail, sites[site]);
}

int ROWTAB(const JOBSET& job, const RUNDATA& run, std::span<const double> M, std::string_view title) {
    if (is_sort(job)) return table(job, M, title, "C", run.SLAB);
    if (is_nosort(job) && is_labels(job)) return table(job, M, title, "C", job.VARLAB);
    if (is_nosort(job) && is_nolabels(job)) return table(job, M, title, "I", {});
    return 0;
}

void FACWRT(const JOBSET& job, std::span<const double> M) {
    static const rt::Format record = rt::parse_format("(I4,1X,999(F8.4))");
    const auto nvar = static_cast<std::size_t>(job.NVAR);
    const auto nfac = static_cast<std::size_t>(job.NFAC);
    OPNMAT(LUFAC, job.JOBDIR, job.JOBBAS, "fac");
    std::vector<double> row(nfac);
    for (std::size_t i = 0; i < nvar; ++i) {
        for (std::size_t j = 0; j < nfac; ++j) row[j] = M[i + j * nvar];
        rt::write(LUFAC, record, static_cast<int>(i + 1), row);
    }
    rt::close_unit(LUFAC);
}

void PHITAB(const JOBSET& job, std::span<const double> PHI, std::string_view title) {
    TWOLIN();
    int report = LURPT;
    num1::ADVUNIT(1, report);
    int ifail = 0;
    num1::X04CBF("G", "N", job.NFAC, job.NFAC, PHI, job.NFAC, "F8.3", TITL80(title), "I", {}, "I", {},
                 job.PAGEWIDTH, 0, ifail);
}

void PHIWRT(const JOBSET& job, std::span<const double> PHI) {
    static const rt::Format record = rt::parse_format("(999(F12.9,1X))");
    const auto nfac = static_cast<std::size_t>(job.NFAC);
    OPNMAT(LUPHI, job.JOBDIR, job.JOBBAS, "phi");
    std::vector<double> row(nfac);
    for (std::size_t i = 0; i < nfac; ++i) {
        for (std::size_t j = 0; j < nfac; ++j) row[j] = PHI[i + j * nfac];
        rt::write(LUPHI, record, row);
    }
    rt::close_unit(LUPHI);
}

std::vector<double> STRMAT(std::span<const double> P, std::span<const double> PHI, int NVAR, int NFAC) {
    const auto n = static_cast<std::size_t>(NVAR);
    const auto k = static_cast<std::size_t>(NFAC);
    std::vector<double> s(n * k, 0.0);
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j < k; ++j) {
            double sum = 0.0;
            for (std::size_t m = 0; m < k; ++m) sum += P[i + m * n] * PHI[m + j * k];
            s[i + j * n] = sum;
        }
    return s;
}

void ROTCHK(std::string_view name, std::span<const double> M, std::span<const double> PHI) {
    auto finite = [](double v) { return std::isfinite(v); };
    if (std::all_of(M.begin(), M.end(), finite) && std::all_of(PHI.begin(), PHI.end(), finite)) return;
    static const rt::Format console = rt::parse_format("(/,/,/,T30,A,/,/,/)");
    static const rt::Format report = rt::parse_format("(/,/,/,A)");
    static const rt::Format ended = rt::parse_format("(T19,\" Execution Terminated\")");
    const std::string rotation = std::string(name) + " Rotation";
    rt::write(LUCON, console, "Fatal Error: Serious problems occured during " + rotation);
    rt::host().pause();
    rt::write(LURPT, report, "****Serious problems occured during " + rotation + "****");
    rt::write(LURPT, ended);
    throw rt::Stop{"", 1};
}

void TWOLIN() {
    static const rt::Format format = rt::parse_format("(/)");
    rt::write(LURPT, format);
}

}  // namespace orv::engine
