// The orthogonal rotation stages: Varimax (also the first step of Promax)
// and weighted Varimax with Cureton-Mulaik weights.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string>
#include <vector>

#include "engine/common/trace.h"
#include "engine/common/units.h"
#include "engine/control/codsel.h"
#include "engine/control/moment.h"
#include "engine/control/patplt.h"
#include "engine/control/rotout.h"
#include "engine/control/stages.h"
#include "engine/stats/ranort.h"
#include "engine/stats/reflct.h"
#include "engine/stats/srtfac.h"
#include "numlib/routines1/errexit.h"
#include "numlib/routines1/g03baf.h"
#include "numlib/routines1/x04cbf.h"
#include "runtime/formatted_io.h"
#include "runtime/host.h"
#include "runtime/io_error.h"

namespace orv::engine {

namespace {

constexpr double kPi = 3.141592653589793;
// TRACE sites of the loading tables: sorted, unsorted with labels, unsorted
// with numbers.
constexpr int kWeightedSites[3] = {1329, 1343, 1347};
constexpr int kVarimaxSites[3] = {1502, 1516, 1520};

// Arc cosine in degrees; the argument is held to [-1, 1], since a
// normalised loading may pass 1 by rounding.
double acosd(double x) { return std::acos(std::clamp(x, -1.0, 1.0)) * 180.0 / kPi; }
// Squared cosine of an angle in degrees.
double cos2d(double degrees) {
    const double c = std::cos(degrees * kPi / 180.0);
    return c * c;
}

void empty_line() {
    static const rt::Format format = rt::parse_format("()");
    rt::write(LURPT, format);
}

// The orthomax service on L into A; its status goes to TRACE.
void orthomax(const JOBSET& job, RUNDATA& run, const char* stand, int site) {
    const int nvar = job.NVAR;
    const int nfac = job.NFAC;
    const auto size = static_cast<std::size_t>(nvar) * static_cast<std::size_t>(nfac);
    run.A.assign(size, 0.0);
    std::vector<double> rotation(static_cast<std::size_t>(nfac) * static_cast<std::size_t>(nfac));
    std::vector<double> work(static_cast<std::size_t>(2 * nvar + nfac * nfac + 5 * nfac - 4));
    int iter = 0;
    int ifail = 0;
    num1::G03BAF(stand, 1.0, nvar, nfac, run.L, nvar, run.A, rotation, nfac, job.ROT_EPS, job.ROT_MAXIT, iter,
                 work, ifail);
    // The weighted stage checks its solution once the weights are undone.
    if (std::string(stand) == "S") ROTCHK("Varimax", run.A);
    TRACE(ifail, site);
    TWOLIN();
}

// R1: two empty lines and the label lists.  R2: the loading table, sorted
// or not; A0 keeps item order.
void loading_table(JOBSET& job, RUNDATA& run, const char* sorted, const char* unsorted, const int* sites) {
    TWOLIN();
    ROTLAB(job, run);
    run.A0 = run.A;
    LODTAB(job, run, run.A, sorted, unsorted, sites);
}

// R3: the variance of each rotated factor.
void variance(const JOBSET& job, RUNDATA& run, int site) {
    const auto nvar = static_cast<std::size_t>(job.NVAR);
    const auto nfac = static_cast<std::size_t>(job.NFAC);
    empty_line();
    run.FACSS.assign(nfac, 0.0);
    for (std::size_t j = 0; j < nfac; ++j)
        for (std::size_t i = 0; i < nvar; ++i) run.FACSS[j] += run.A[i + j * nvar] * run.A[i + j * nvar];
    empty_line();
    int report = LURPT;
    num1::ADVUNIT(1, report);
    int ifail = 0;
    num1::X04CBF("G", "N", 1, job.NFAC, run.FACSS, 1, "F8.3", TITL80("Variance explained by each rotated factor"),
                 "N", {}, "I", {}, job.PAGEWIDTH, 0, ifail);
    TRACE(ifail, site);
    empty_line();
}

// R7: the Varimax objective, the sum over factors of the variance of the
// squared loadings.
void objective(const JOBSET& job, const RUNDATA& run) {
    static const rt::Format format = rt::parse_format("(\"Varimax Objective function = \",F6.4)");
    const auto nvar = static_cast<std::size_t>(job.NVAR);
    std::vector<double> squares(nvar);
    double total = 0.0;
    for (std::size_t j = 0; j < static_cast<std::size_t>(job.NFAC); ++j) {
        for (std::size_t i = 0; i < nvar; ++i) squares[i] = run.A[i + j * nvar] * run.A[i + j * nvar];
        double v = 0.0;
        moment(squares, job.NVAR, v);
        total += v;
    }
    rt::write(LURPT, format, total);
}

}  // namespace

void WVMSTG(JOBSET& job, RUNDATA& run) {
    if (job.NFAC < 2 || !is_word(job.ROTMTH, "WVARIMAX")) return;
    const auto nvar = static_cast<std::size_t>(job.NVAR);
    const auto nfac = static_cast<std::size_t>(job.NFAC);
    auto l = [&](std::size_t i, std::size_t j) -> double& { return run.L[i + j * nvar]; };

    // Normalise the rows by the root communality and reflect the rows whose
    // first loading is negative.  A variable without communality has no
    // loadings: its row stays zero instead of becoming 0/0.
    std::vector<int> reflected(nvar, 0);
    for (std::size_t i = 0; i < nvar; ++i) {
        const double root = std::sqrt(run.COMM[i]);
        for (std::size_t j = 0; j < nfac; ++j) l(i, j) = root == 0.0 ? 0.0 : l(i, j) / root;
    }
    for (std::size_t i = 0; i < nvar; ++i) {
        if (l(i, 0) < 0.0) {
            reflected[i] = 1;
            for (std::size_t j = 0; j < nfac; ++j) l(i, j) = -l(i, j);
        }
    }

    // Cureton-Mulaik weights from the angle of each row with the first
    // factor, relative to the angle of a row that loads all factors alike.
    const double t = std::sqrt(1.0 / job.NFAC);
    const double small = static_cast<double>(0.001f);
    std::vector<double> w(nvar);
    for (std::size_t i = 0; i < nvar; ++i) {
        const double x = l(i, 0);
        if (x >= t)
            w[i] = cos2d(90.0 * (acosd(t) - acosd(x)) / acosd(t)) + small;
        else
            w[i] = cos2d(90.0 * (acosd(x) - acosd(t)) / (90.0 - acosd(t))) + small;
    }
    for (std::size_t i = 0; i < nvar; ++i)
        for (std::size_t j = 0; j < nfac; ++j) l(i, j) = l(i, j) * w[i];

    if (job.RNDSTRTS == "T") RANORT(run.L, job.NVAR, job.NFAC);
    orthomax(job, run, "U", 1258);

    // Undo the weights, the reflections and the normalisation.
    auto a = [&](std::size_t i, std::size_t j) -> double& { return run.A[i + j * nvar]; };
    for (std::size_t i = 0; i < nvar; ++i)
        for (std::size_t j = 0; j < nfac; ++j) a(i, j) = a(i, j) / w[i];
    for (std::size_t i = 0; i < nvar; ++i)
        if (reflected[i] == 1)
            for (std::size_t j = 0; j < nfac; ++j) a(i, j) = -a(i, j);
    for (std::size_t i = 0; i < nvar; ++i) {
        const double root = std::sqrt(run.COMM[i]);
        for (std::size_t j = 0; j < nfac; ++j) a(i, j) = root == 0.0 ? 0.0 : root * a(i, j);
    }
    ROTCHK("Weighted Varimax", run.A);

    SRTFAC(run.A, job.NVAR, job.NFAC);
    REFLCT(run.A, job.NVAR, job.NFAC);

    loading_table(job, run, "VARIMAX: Sorted Factor Loadings  (Cureton - Mulaik Weights)",
                  "Varimax Rotated Factor Loadings  (Cureton - Mulaik Weights)", kWeightedSites);
    variance(job, run, 1384);
    HYPBOX(run.A, job.NVAR, job.NFAC, job.HYPER_WIDTH);
    PATCAP(job.PLTOPT, "Factor Pattern Plots:  Weighted Varimax Rotation", run.A, job.NVAR, job.NFAC);
    if (CODSEL(job, "FAC")) FACWRT(job, run.A);
}

void VARSTG(JOBSET& job, RUNDATA& run) {
    if (job.NFAC < 2 || (!is_word(job.ROTMTH, "VARIMAX") && !is_word(job.ROTMTH, "PROMAX"))) return;
    if (job.RNDSTRTS == "T") RANORT(run.L, job.NVAR, job.NFAC);
    orthomax(job, run, "S", 1448);
    SRTFAC(run.A, job.NVAR, job.NFAC);
    REFLCT(run.A, job.NVAR, job.NFAC);

    loading_table(job, run, "VARIMAX: Sorted Factor Loadings ", "Varimax Rotated Factor Loadings",
                  kVarimaxSites);
    if (CODSEL(job, "FAC")) FACWRT(job, run.A);
    variance(job, run, 1558);
    objective(job, run);
    HYPBOX(run.A, job.NVAR, job.NFAC, job.HYPER_WIDTH);
    PATCAP(job.PLTOPT, "Factor Pattern Plots:  Varimax Rotation", run.A, job.NVAR, job.NFAC);
}

}  // namespace orv::engine
