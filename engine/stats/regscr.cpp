#include "engine/stats/regscr.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/common/fatal.h"
#include "engine/common/units.h"
#include "engine/stats/spdinv.h"
#include "numlib/routines1/g01aaf.h"
#include "numlib/routines1/f02faf.h"
#include "numlib/routines1/g02baf.h"
#include "numlib/routines1/x04cbf.h"
#include "numlib/routines2/erset.h"
#include "process/parallel.h"
#include "runtime/formatted_io.h"
#include "runtime/io_error.h"
#include "runtime/list_io.h"

namespace orv::engine {

namespace {

// Subjects per block of S = Z W: the block's standardised values of one
// variable stay in the first-level cache.
constexpr std::size_t kBlock = 256;

std::size_t at(std::size_t i, std::size_t j, std::size_t rows) { return i + j * rows; }

// C = A B for A (ROWS x INNER) and B (INNER x COLS), column-major; each
// element is summed along the inner index, first to last.
std::vector<double> product(std::span<const double> a, std::span<const double> b, std::size_t rows,
                            std::size_t inner, std::size_t cols) {
    std::vector<double> c(rows * cols);
    for (std::size_t k = 0; k < cols; ++k)
        for (std::size_t j = 0; j < rows; ++j) {
            double sum = 0.0;
            for (std::size_t m = 0; m < inner; ++m) sum += a[at(j, m, rows)] * b[at(m, k, inner)];
            c[at(j, k, rows)] = sum;
        }
    return c;
}

// AINV := A^-1 through SPDINV.  An inversion that DLINDS does not finish
// cleanly (a warning: singular to working precision; or the fatal error of
// a matrix that is not positive definite, on which SPDINV stops) ends the
// run with MESSAGE after the library's own.
void invert_or_stop(std::span<const double> A, int N, std::span<double> AINV, std::string_view message) {
    try {
        SPDINV(A, N, AINV);
    } catch (const rt::Stop&) {
        FATAL(message);
    }
    if (num2::N1RTY(1) >= 3) FATAL(message);
}

// Smallest eigenvalues, relative to the largest, at or below which a
// correlation matrix counts as singular.  Rounding leaves a matrix that is
// singular (ipsatized data, whose scores sum to 0 for every subject, or a
// variable that is a sum of others) some 1e-16 to 1e-13 from zero, which an
// inversion may or may not notice; a matrix this close to singular has an
// inverse that amplifies the data's rounding errors past any meaning.
constexpr double kSingular = 1e-10;

// True when the symmetric N x N matrix A has an eigenvalue at or below
// kSingular times its largest one.  An eigenvalue computation that fails
// leaves the decision to the inversion.
bool nearly_singular(std::span<const double> A, int N) {
    const auto n = static_cast<std::size_t>(N);
    std::vector<double> a(A.begin(), A.begin() + static_cast<std::ptrdiff_t>(n * n)), w(n), work(3 * n + 1);
    int ifail = 1;
    num1::F02FAF("N", "L", N, a, N, w, work, static_cast<int>(work.size()), ifail);
    if (ifail != 0 || n == 0) return false;
    return !(w.front() > kSingular * w.back());
}

std::string title65(const char* text) {
    std::string title(text);
    title.resize(65, ' ');
    return title;
}

// Two list-directed records without items.
void two_blank_lines(int unit) {
    rt::write_list(unit);
    rt::write_list(unit);
}

}  // namespace

std::vector<double> SCRWGT(ScoreMethod method, std::span<double> R, std::span<const double> L, int NVAR,
                           int NFAC) {
    const auto nvar = static_cast<std::size_t>(NVAR);
    const auto nfac = static_cast<std::size_t>(NFAC);

    if (method == ScoreMethod::Regression) {
        for (std::size_t j = 0; j < nvar; ++j) R[at(j, j, nvar)] = 1.0;
        std::vector<double> rinv(nvar * nvar, 0.0);
        const char* singular = "FATAL ERROR: The correlation matrix cannot be inverted: no regression factor scores";
        invert_or_stop(R, NVAR, rinv, singular);
        if (nearly_singular(R, NVAR)) FATAL(singular);
        return product(rinv, L, nvar, nvar, nfac);
    }

    // The reciprocal uniquenesses: a communality at or above 1 (or one that
    // is not a number) has no finite positive weight.
    std::vector<double> u(nvar);
    for (std::size_t j = 0; j < nvar; ++j) {
        const double h2 = R[at(j, j, nvar)];
        if (!(h2 < 1.0)) {
            static const rt::Format message = rt::parse_format(
                "(T30,'FATAL ERROR: The communality of variable ',I4,' is not below 1.0:',/,"
                "T30,'no Bartlett factor scores',/,/)");
            FATAL(message, static_cast<int>(j + 1));
        }
        u[j] = 1.0 / (1.0 - h2);
        R[at(j, j, nvar)] = 1.0;
    }
    // B = L' U^-2 (NFAC x NVAR), M = B L, W = (M^-1 B)'.
    std::vector<double> b(nfac * nvar);
    for (std::size_t j = 0; j < nvar; ++j)
        for (std::size_t k = 0; k < nfac; ++k) b[at(k, j, nfac)] = L[at(j, k, nvar)] * u[j];
    const std::vector<double> m = product(b, L, nfac, nvar, nfac);
    std::vector<double> minv(nfac * nfac, 0.0);
    invert_or_stop(m, NFAC, minv, "FATAL ERROR: The matrix L' U^-2 L cannot be inverted: no Bartlett factor scores");
    const std::vector<double> wt = product(minv, b, nfac, nfac, nvar);
    std::vector<double> W(nvar * nfac);
    for (std::size_t j = 0; j < nvar; ++j)
        for (std::size_t k = 0; k < nfac; ++k) W[at(j, k, nvar)] = wt[at(k, j, nfac)];
    return W;
}

void SCRRAW(std::span<const double> X, std::span<const double> XBAR, std::span<const double> XSD,
            std::span<const double> W, int NSUBJ, int NVAR, int NFAC, std::size_t first, std::size_t last,
            std::span<double> S) {
    const auto nsubj = static_cast<std::size_t>(NSUBJ);
    const auto nvar = static_cast<std::size_t>(NVAR);
    const auto nfac = static_cast<std::size_t>(NFAC);
    // Four variables at a time: each partial sum stays in a register over
    // their four terms, added in variable order as one at a time would.
    constexpr std::size_t kStep = 4;
    double z[kStep][kBlock];
    for (std::size_t i0 = first; i0 < last; i0 += kBlock) {
        const std::size_t count = std::min(kBlock, last - i0);
        for (std::size_t k = 0; k < nfac; ++k) std::fill_n(&S[at(i0, k, nsubj)], count, 0.0);
        for (std::size_t j0 = 0; j0 < nvar; j0 += kStep) {
            const std::size_t step = std::min(kStep, nvar - j0);
            for (std::size_t t = 0; t < step; ++t) {
                const std::size_t j = j0 + t;
                const double mean = XBAR[j];
                const double sd = XSD[j];
                const double* x = &X[at(i0, j, nsubj)];
                // A variable without variance stands at its mean for every
                // subject: standardised, that is 0, not 0/0.
                if (sd == 0.0)
                    std::fill_n(z[t], count, 0.0);
                else
                    for (std::size_t i = 0; i < count; ++i) z[t][i] = (x[i] - mean) / sd;
            }
            for (std::size_t k = 0; k < nfac; ++k) {
                double* s = &S[at(i0, k, nsubj)];
                if (step == kStep) {
                    const double w0 = W[at(j0, k, nvar)], w1 = W[at(j0 + 1, k, nvar)];
                    const double w2 = W[at(j0 + 2, k, nvar)], w3 = W[at(j0 + 3, k, nvar)];
                    for (std::size_t i = 0; i < count; ++i) {
                        double sum = s[i];
                        sum += z[0][i] * w0;
                        sum += z[1][i] * w1;
                        sum += z[2][i] * w2;
                        sum += z[3][i] * w3;
                        s[i] = sum;
                    }
                } else {
                    for (std::size_t t = 0; t < step; ++t) {
                        const double w = W[at(j0 + t, k, nvar)];
                        for (std::size_t i = 0; i < count; ++i) s[i] += z[t][i] * w;
                    }
                }
            }
        }
    }
}

ScoreBlocks FSCORE(ScoreMethod method, std::span<const double> X, std::span<const double> XBAR,
                   std::span<const double> XSD, int NVAR, int NSUBJ, int NFAC, std::span<double> R,
                   std::span<const double> L, std::span<double> S, int LUOUT, int NCOLS, std::string_view MODTYP,
                   int THREADS) {
    static const rt::Format console = rt::parse_format("(T30,A,/)");
    const std::string_view model = MODTYP.substr(0, 3);
    if (model == "PFA") rt::write(LUCON, console, "Computing factor scores");
    if (model == "PCA") rt::write(LUCON, console, "Computing component scores");

    const auto nsubj = static_cast<std::size_t>(std::max(NSUBJ, 0));
    const auto nvar = static_cast<std::size_t>(NVAR);
    const auto nfac = static_cast<std::size_t>(NFAC);
    ScoreBlocks out;
    out.W = SCRWGT(method, R, L, NVAR, NFAC);

    // S = Z W over blocks of subjects on all threads; no copy of the data.
    const std::size_t blocks = (nsubj + kBlock - 1) / kBlock;
    proc::WorkerPool pool(proc::policy::score_blocks(THREADS, blocks) - 1);
    proc::parallel_for(pool, blocks, [&](std::size_t b) {
        SCRRAW(X, XBAR, XSD, out.W, NSUBJ, NVAR, NFAC, b * kBlock, std::min(nsubj, (b + 1) * kBlock), S);
    });

    if (method == ScoreMethod::Bartlett) {
        static const rt::Format heading =
            rt::parse_format("(T2,/,/,'Bartlett method, Maximum Likelihood, and Weighted Least Squares')");
        rt::write(LUOUT, heading);
    }
    two_blank_lines(LUOUT);
    int ifail = 0;
    num1::X04CBF("G", "N", NVAR, NFAC, out.W, NVAR, "F8.3",
                 title65("Standardized regression weights for estimating the factors"), "I", {}, "I", {}, NCOLS, 0,
                 ifail);

    // Mean and standard deviation of every raw score column.
    std::vector<double> mean(nfac, 0.0), sd(nfac, 0.0);
    if (NFAC >= 2) {
        std::vector<double> ssp(nfac * nfac), r(nfac * nfac);
        ifail = 0;
        num1::G02BAF(NSUBJ, NFAC, S, NSUBJ, mean, sd, ssp, NFAC, r, NFAC, ifail, THREADS);
    } else {
        std::vector<double> wt(nsubj);
        int iwt = 0;
        double s3 = 0.0, s4 = 0.0, low = 0.0, high = 0.0, wtsum = 0.0;
        ifail = 0;
        num1::G01AAF(NSUBJ, S.first(nsubj), iwt, wt, mean[0], sd[0], s3, s4, low, high, wtsum, ifail);
    }
    // A column without variance cannot be standardised; one whose sums are
    // not numbers holds values that are not.
    for (std::size_t k = 0; k < nfac; ++k) {
        if (std::isfinite(mean[k]) && std::isfinite(sd[k]) && sd[k] > 0.0) continue;
        static const rt::Format flat =
            rt::parse_format("(T30,'FATAL ERROR: The scores of factor ',I4,' have no variance',/,/)");
        static const rt::Format invalid =
            rt::parse_format("(T30,'FATAL ERROR: The scores of factor ',I4,' are not all finite numbers',/,/)");
        FATAL(std::isfinite(mean[k]) && std::isfinite(sd[k]) ? flat : invalid, static_cast<int>(k + 1));
    }

    proc::parallel_for(pool, blocks, [&](std::size_t b) {
        const std::size_t first = b * kBlock;
        const std::size_t last = std::min(nsubj, first + kBlock);
        for (std::size_t k = 0; k < nfac; ++k)
            for (std::size_t i = first; i < last; ++i) S[at(i, k, nsubj)] = (S[at(i, k, nsubj)] - mean[k]) / sd[k];
    });

    // The correlation of each factor with its estimate: diag(L' W) / s.
    out.v.assign(nfac, 0.0);
    for (std::size_t k = 0; k < nfac; ++k) {
        double sum = 0.0;
        for (std::size_t j = 0; j < nvar; ++j) sum += L[at(j, k, nvar)] * out.W[at(j, k, nvar)];
        out.v[k] = sum / sd[k];
    }
    two_blank_lines(LUOUT);
    const std::string blank[1] = {" "};
    ifail = 0;
    num1::X04CBF("G", "B", 1, NFAC, out.v, 1, "F8.3", title65("Correlations of Factors with Factor Score Estimates"),
                 "C", blank, "I", {}, NCOLS, 0, ifail);
    return out;
}

void REGSCR(std::span<const double> X, std::span<const double> XBAR, std::span<const double> XSD, int NVAR,
            int NSUBJ, int NFAC, std::span<double> R, std::span<const double> L, std::span<double> S,
            std::string_view, std::span<const std::string>, int LUOUT, int NCOLS, std::string_view MODTYP,
            int THREADS) {
    FSCORE(ScoreMethod::Regression, X, XBAR, XSD, NVAR, NSUBJ, NFAC, R, L, S, LUOUT, NCOLS, MODTYP, THREADS);
}

void BARSCR(std::span<const double> X, std::span<const double> XBAR, std::span<const double> XSD, int NVAR,
            int NSUBJ, int NFAC, std::span<double> R, std::span<const double> L, std::span<double> S,
            std::string_view, std::span<const std::string>, int LUOUT, int NCOLS, std::string_view MODTYP,
            int THREADS) {
    FSCORE(ScoreMethod::Bartlett, X, XBAR, XSD, NVAR, NSUBJ, NFAC, R, L, S, LUOUT, NCOLS, MODTYP, THREADS);
}

}  // namespace orv::engine
