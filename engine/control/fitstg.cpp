// Model fit analysis: how well the retained factors reproduce the
// correlations.  GFI, the residual matrix, residual statistics, the
// five-point summary, the frequency table and histogram of the residuals,
// and the .rsd file.
#include "engine/control/fitstg.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <initializer_list>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <vector>

#include "engine/common/data_array.h"
#include "engine/common/fatal.h"
#include "engine/common/opnmat.h"
#include "engine/common/units.h"
#include "engine/control/codsel.h"
#include "engine/stats/library_status.h"
#include "numlib/routines1/g01aaf.h"
#include "numlib/routines1/g01alf.h"
#include "numlib/routines1/x04cbf.h"
#include "numlib/routines2/dowfrq.h"
#include "numlib/routines2/dvhstp.h"
#include "numlib/routines2/umach.h"
#include "process/parallel.h"
#include "runtime/formatted_io.h"
#include "runtime/units.h"

namespace orv::engine {

namespace {

// Histogram bounds: 0.975 as a single-precision constant, widened.
constexpr double kResidualBound = static_cast<double>(0.975f);
constexpr int kClasses = 41;

const rt::Format& two_lines() {
    static const rt::Format format = rt::parse_format("(/,/)");
    return format;
}

bool is_long(const JOBSET& job) { return is_word(job.VERBOS, "LONG"); }

// Columns a thread takes at a time out of N on THREADS threads: long runs
// of its own to write.
std::size_t column_chunk(std::size_t n, int threads) {
    const auto parts = static_cast<std::size_t>(std::max(threads, 1));
    return (n + parts - 1) / parts;
}

// Position of row I's first element in the upper triangle of an N x N
// matrix stored row by row without its diagonal.
std::size_t row_start(std::size_t i, std::size_t n) { return i * (n - 1) - i * (i - 1) / 2; }

// V: the residuals R - RHAT of the upper triangle, row by row.  The rows are
// cut into PARTS ranges of about equal length, so that each thread writes
// one stretch of V.
void upper_residuals(proc::WorkerPool& pool, const std::vector<double>& r, const std::vector<double>& rhat,
                     std::size_t n, std::span<double> v, int parts) {
    const auto count = static_cast<std::size_t>(std::max(parts, 1));
    std::vector<std::size_t> first(count + 1, n);
    for (std::size_t p = 0, i = 0; p < count; ++p) {
        while (i < n && row_start(i, n) * count < p * v.size()) ++i;
        first[p] = i;
    }
    proc::parallel_for(pool, count, [&](std::size_t p) {
        for (std::size_t i = first[p]; i < first[p + 1]; ++i) {
            const std::size_t base = row_start(i, n);
            for (std::size_t j = i + 1; j < n; ++j) v[base + (j - i - 1)] = r[i + j * n] - rhat[i + j * n];
        }
    });
}

// The residual matrix (1 - h^2 on its diagonal) in a LONG report.
void PRTRES(const std::vector<double>& d, int nvar, const std::string& verbos, int pagewidth) {
    if (!is_word(verbos, "LONG")) return;
    const int ncols = pagewidth < 120 ? pagewidth : 110;
    rt::write(LURPT, two_lines());
    int ifail = 0;
    num1::X04CBF("G", "B", nvar, nvar, d, nvar, "F8.3", "Residual Covariances (1-h^2 on diagonal)", "I", {}, "I",
                 {}, ncols, 0, ifail);
    rt::write(LURPT, two_lines());
}

// Frequency table and printer histogram of the K residuals V.
void RESHST(std::span<const double> v, int k) {
    int unit = LURPT;
    num2::UMACH(-2, unit);
    std::vector<double> marks(kClasses, 0.0);
    std::vector<double> counts(kClasses, 0.0);
    num2::DOWFRQ(k, v, kClasses, 1, -kResidualBound, kResidualBound, 0.0, marks, counts);
    stop_on_library_error();
    num2::DVHSTP(kClasses, counts, 1, "Distribution of Residuals:  R - R^hat");
    stop_on_library_error();
    rt::write(LURPT, two_lines());

    static const rt::Format block = rt::parse_format(
        "('     Class:',6X,10(I2,4X),/,'  Midpoints:  ',10F6.2,/,'     Counts:  ',10F6.0,/)");
    for (int first = 0; first < 40; first += 10) {
        rt::UnitSink sink(LURPT);
        rt::FormattedOutput out(sink, block);
        for (int c = first; c < first + 10; ++c) out << c + 1;
        for (int c = first; c < first + 10; ++c) out << marks[static_cast<std::size_t>(c)];
        for (int c = first; c < first + 10; ++c) out << counts[static_cast<std::size_t>(c)];
        out.finish();
    }
    static const rt::Format last = rt::parse_format(
        "('     Class:',6X,I2,/,'  Midpoints:  ',F6.2,/,'     Counts:  ',F6.0,/,/,"
        "'0=============================================0')");
    rt::write(LURPT, last, kClasses, marks[kClasses - 1], counts[kClasses - 1]);
    rt::write(LURPT, two_lines());
}

// Fit statistics of correlations near the overflow limit overflow in turn
// (squares, cubes, fourth powers): such a fit is not reported.
void require_finite(std::initializer_list<double> statistics) {
    for (const double s : statistics)
        if (!std::isfinite(s)) FATAL("FATAL ERROR: The fit statistics are not finite numbers");
}

}  // namespace

int fit_threads(int nvar, int threads) {
    return proc::policy::fit(threads, static_cast<std::size_t>(std::max(nvar, 0)));
}

void reproduce(const std::vector<double>& L, int nvar, int nfac, std::vector<double>& RHAT, int threads) {
    const auto n = static_cast<std::size_t>(nvar);
    const auto f = static_cast<std::size_t>(nfac);
    threads = proc::policy::fit_products(threads, n, f);
    zeros(RHAT, n * n, "the reproduced matrix RHAT");
    proc::WorkerPool pool(threads - 1);
    proc::parallel_for(pool, n, [&](std::size_t j) {
        for (std::size_t i = 0; i < n; ++i) {
            double s = 0.0;
            for (std::size_t k = 0; k < f; ++k) s += L[i + n * k] * L[j + n * k];
            RHAT[i + n * j] = s;
        }
    }, column_chunk(n, threads));
}

void FITSTG(JOBSET& job, RUNDATA& run, int threads) {
    const int nvar = job.NVAR;
    const auto n = static_cast<std::size_t>(nvar);
    const auto at = [n](std::size_t i, std::size_t j) { return i + j * n; };
    std::vector<double>& r = run.R;
    std::vector<double>& r0 = run.R0;
    std::vector<double>& rhat = run.RHAT;
    threads = fit_threads(nvar, threads);
    proc::WorkerPool pool(threads - 1);

    static const rt::Format heading = rt::parse_format(
        "(/,/,/,'0=============Analysis of Model Fit============0',/,/,"
        "'Number of iterations during communality estimation: ',I3)");
    rt::write(LURPT, heading, run.NPASS - 1);

    // Residuals of the upper triangle, row by row, and the sum of their
    // squares in that order.
    const int k = nvar * (nvar - 1) / 2;
    const auto size = static_cast<std::size_t>(k);
    std::unique_ptr<double[]> residuals;
    try {
        residuals.reset(new double[size]);
    } catch (const std::bad_alloc&) {
        no_memory("the residuals", size, sizeof(double));
    }
    const std::span<double> v(residuals.get(), size);
    upper_residuals(pool, r, rhat, n, v, threads);
    double ssr = 0.0;
    for (const double e : v) ssr += e * e;

    // Goodness of fit against the unit-diagonal reproduced matrix.
    for (std::size_t i = 0; i < n; ++i) rhat[at(i, i)] = 1.0;
    double a = 0.0;
    double b = 0.0;
    for (std::size_t e = 0; e < n * n; ++e) {
        const double d = r0[e] - rhat[e];
        a += d * d;
        b += r0[e] * r0[e];
    }
    a /= nvar;
    b /= nvar;
    const double gfi = 1.0 - a / b;
    require_finite({gfi});
    static const rt::Format gfi_line = rt::parse_format("('GFI = ',F6.4)");
    rt::write(LURPT, gfi_line, gfi);

    // Residual matrix with the uniquenesses on its diagonal, for a LONG
    // report's table and .rsd file.
    for (std::size_t i = 0; i < n; ++i) rhat[at(i, i)] = r[at(i, i)];
    std::vector<double> d;
    if (is_long(job)) {
        zeros(d, n * n, "the residual matrix");
        proc::parallel_for(pool, n, [&](std::size_t j) {
            for (std::size_t i = 0; i < n; ++i) d[at(i, j)] = r0[at(i, j)] - rhat[at(i, j)];
        }, column_chunk(n, threads));
    }
    PRTRES(d, nvar, job.VERBOS, job.PAGEWIDTH);

    // Moments need two residuals and the five-point summary five; smaller
    // jobs leave those blocks out rather than stop inside the library.
    if (k >= 2) {
        const double msr = ssr / k;
        const double rmsr = std::sqrt(msr);
        int iwt = 0;
        std::vector<double> wt;
        zeros(wt, size, "the weights of the residuals");
        double mean = 0.0, sd = 0.0, skew = 0.0, kurt = 0.0, xmin = 0.0, xmax = 0.0, wtsum = 0.0;
        int ifail = 1;
        num1::G01AAF(k, v, iwt, wt, mean, sd, skew, kurt, xmin, xmax, wtsum, ifail);
        require_finite({msr, rmsr, mean, sd, skew, kurt});
        static const rt::Format moments = rt::parse_format(
            "(/,'Mean squared residual ',F8.4,/,'Root Mean Squared Residual (RMSR) = ',F8.4,/,"
            "'Mean residual = ',F8.4,/,'Standard deviation of residuals = ',F8.4,/,"
            "'Coefficient of skewness = ',F8.4,/,'Coefficient of kurtosis = ',F8.4,/)");
        rt::write(LURPT, moments, msr, rmsr, mean, sd, skew, kurt);
    }
    if (k >= 5) {
        std::vector<int> iwrk;
        zeros(iwrk, size, "the order of the residuals");
        std::vector<double> res(5);
        int ifail = 0;
        num1::G01ALF(k, v, iwrk, res, ifail);
        static const rt::Format summary = rt::parse_format(
            "(/,10X,'Five point summary of residuals ',/,/,20X,'Median',/,20X,F6.4,/,"
            "10X,'25%',2X,F6.4,5X,F6.4,2X,'75%',/,10X,'MIN',2X,F6.4,5X,F6.4,2X,'MAX',/,/,"
            "'0=============================================0',/,/,/,/)");
        rt::write(LURPT, summary, res[2], res[1], res[3], res[0], res[4]);
    }
    // Without a single residual there is nothing to count.
    if (k >= 1) RESHST(v, k);

    if (is_long(job) && CODSEL(job, "RSD")) {
        static const rt::Format row_format = rt::parse_format("(999(F12.9,1X))");
        OPNMAT(LURSD, job.JOBDIR, job.JOBBAS, "rsd");
        write_matrix(LURSD, d, nvar, row_format, threads);
        rt::close_unit(LURSD);
    }

    r0.clear();
    r0.shrink_to_fit();
}

}  // namespace orv::engine
