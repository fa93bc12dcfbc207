#include "engine/stats/tetcor.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "engine/common/data_array.h"
#include "engine/common/fatal.h"
#include "engine/common/opnmat.h"
#include "engine/common/units.h"
#include "engine/stats/polcor.h"
#include "numlib/routines1/g01faf.h"
#include "numlib/routines1/g01haf.h"
#include "process/parallel.h"
#include "runtime/formatted_io.h"
#include "runtime/io_error.h"
#include "runtime/ordered_writer.h"
#include "runtime/units.h"

namespace orv::engine {

float BVNDEN(double x, double y, double& rho) {
    const double limit = static_cast<double>(0.99f);
    if (rho >= 1.0) rho = limit;
    if (rho <= -1.0) rho = -limit;
    const double q = (x * x + y * y - 2.0 * rho * x * y) / (2.0 * (1.0 - rho * rho));
    return static_cast<float>(std::exp(-q) / (6.283185308 * std::sqrt(1.0 - rho * rho)));
}

namespace {

constexpr std::string_view kTail = "Lower-tail";
// The .ser value of a standard error that cannot be computed: too wide
// for its field, so that the field is filled with asterisks.
constexpr double kNoError = 1.0e3;

// What the Newton iterations of one pair leave behind.
struct Newton {
    double r = 0.0;           // the pair's correlation (before any fall-back)
    double remembered = 0.0;  // the last r remembered for the step test
    bool fallback = false;    // 999 steps without settling
    bool failed = false;      // a library call failed (run again with IFAIL 0)
};

// Everything of one pair that does not depend on another pair.
struct PairWork {
    double p11 = 0.0, p10 = 0.0, p01 = 0.0, p00 = 0.0;  // final cells
    double ti = 0.0, tj = 0.0;                           // thresholds of the iterations
    double r0 = 0.0;                                     // start value
    int sign = 0;             // sign of the association of the table as counted
    bool uncorrected = false;  // the guessing correction would empty a cell
    // The first step's test compares r with the previous pair's last r.
    // When the probability test alone does not decide whether a second step
    // is taken, `after_first` holds the state after the first step and
    // `ambiguous` is set; `run` always holds the iteration that goes on.
    bool ambiguous = false;
    Newton after_first;
    Newton run;
};

// Start value of the Newton iterations from the odds ratio ALPHA and the
// start thresholds of the two items.
double start_value(double alpha, double ti, double tj) {
    double h = std::abs(ti);
    double k = std::abs(tj);
    if (k > h) std::swap(h, k);
    const double si = ti < 0.0 ? -1.0 : 1.0;
    const double sj = tj < 0.0 ? -1.0 : 1.0;
    double a_exp;
    if (h == 0.0 && k == 0.0) {
        a_exp = 0.5;
    } else {
        const double s = h * h + k * k;
        const double w = std::sqrt(s);
        const double a = 0.5 / (1.0 + (0.12454 - 0.27102 * (1.0 - h / w)) * s);
        const double b = 0.5 / (1.0 + (0.82281 - 1.03514 * (k / w)) * s);
        const double c = 0.07557 * h + (h - k) * (h - k) * (0.51141 / (h + 2.05793) - 0.07557 / h);
        const double d = si * sj * k * (0.79289 + 4.28981 / (1.0 + static_cast<double>(3.30231f) * h));
        const double e = std::log(alpha) - d;
        a_exp = a + b * (1.0 / (1.0 + c * (e * e)) - 1.0);
    }
    return std::cos(3.141592654 / (1.0 + std::pow(alpha, a_exp)));
}

// Where a Newton step would leave (-1, 1) the slope has failed: R goes
// instead half way to the end of the bracket in the direction of the root
// (UP: toward +1), the nearest r seen beyond the root there, else the end
// of the interval.  The estimate thus keeps the sign of the association.
void bisect(bool up, double below, double above, double& r) { r = 0.5 * (r + (up ? above : below)); }

// The root in R of Phi2(ti, tj; r) = p11, from the R given: Newton steps on
// the density in double precision, each kept inside the bracket of the root
// seen so far (the bracket is halved where a step would leave it), until
// the steps fall below 1e-10.  For small probabilities, where the damped
// single-precision step and the absolute test of the iterations above are
// too coarse.  False when a library call fails.
bool small_root(double ti, double tj, double p11, int ifail, double& r) {
    double lo = -1.0;
    double hi = 1.0;
    for (int step = 0; step < 200; ++step) {
        int status = ifail;
        const double m = num1::G01HAF(ti, tj, r, status);
        if (status != 0) return false;
        if (m == p11) break;
        if (m < p11) lo = r;
        if (m > p11) hi = r;
        const double s = 1.0 - r * r;
        const double density = std::exp(-(ti * ti + tj * tj - 2.0 * r * ti * tj) / (2.0 * s)) /
                               (2.0 * std::numbers::pi * std::sqrt(s));
        double next = r - (m - p11) / density;
        if (!(next > lo && next < hi)) next = 0.5 * (lo + hi);
        const bool settled = std::abs(next - r) <= 1e-10;
        r = next;
        if (settled) break;
    }
    return true;
}

// Newton iterations of one pair from the start value r0 on the final cell
// p11.  `previous` points at the r remembered from the previous pair, or is
// null when that is not known yet: the iteration then goes on past its first
// step as if that step's test had asked for more, and when only that test
// could have ended it, the state after the first step is kept beside it.
// Library calls use `ifail` on entry: 1 (silent) in the parallel pass, 0
// when a failing pair is run again in order so that the library reports the
// failure and stops.
void newton(double ti, double tj, double p11, double r0, const double* previous, int ifail, PairWork& out) {
    out.ambiguous = false;
    Newton& run = out.run;
    run = Newton{};
    double r = r0;
    int status = ifail;
    double m = num1::G01HAF(ti, tj, r, status);
    if (status != 0) {
        run.failed = true;
        run.r = r;
        return;
    }
    double diff_r = 1.0;
    double diff_p = 1.0;
    double remembered = previous != nullptr ? *previous : 0.0;
    // The bracket seen so far: the largest r whose probability fell short
    // of p11 and the smallest whose probability passed it (the interval's
    // ends while none has).
    double below = -1.0;
    double above = 1.0;
    bool guarded = false;  // a step has been safeguarded
    int n = 1;
    while (n < 1000 && (diff_r > 0.0001 || diff_p > 0.00001)) {
        double sum = BVNDEN(ti, tj, r);
        sum -= BVNDEN(-999.0, tj, r);
        sum -= BVNDEN(ti, -999.0, r);
        sum += BVNDEN(-999.0, -999.0, r);
        float slope = static_cast<float>(sum);
        status = ifail;
        m = num1::G01HAF(ti, tj, r, status);
        if (status != 0) {
            run.failed = true;
            run.r = r;
            return;
        }
        diff_p = std::abs(m - p11);
        if (slope <= 0.02f) slope = static_cast<float>(static_cast<double>(slope) * 5.5);
        // M rises with r: short of p11, r lies below the root, past it above.
        if (m < p11) below = std::max(below, r);
        if (m > p11) above = std::min(above, r);
        if ((m < 0.01 || p11 < 0.01) && !guarded) {
            if (!small_root(ti, tj, p11, ifail, r)) {
                run.failed = true;
                run.r = r;
                return;
            }
            remembered = r;
            break;
        }
        if (m < 0.01 || p11 < 0.01) {
            // After a safeguarded step r may stand where the probability is
            // small because of a bisection, not of the data: it goes on
            // toward the root.
            diff_p = 0.0;
            bisect(m < p11, below, above, r);
        } else {
            const double next = r - (m - p11) / static_cast<double>(slope);
            if (next > -1.0 && next < 1.0) {
                r = next;
            } else {
                guarded = true;
                bisect(m < p11, below, above, r);
            }
        }
        if (n == 1 && previous == nullptr) {
            if (!(diff_p > 0.00001)) {
                out.ambiguous = true;
                out.after_first = Newton{r, r, false, false};
            }
            diff_r = 1.0;
        } else {
            diff_r = std::abs(remembered - r);
        }
        remembered = r;
        n = n + 1;
        if (n == 1000) run.fallback = true;
    }
    run.r = r;
    run.remembered = remembered;
}

// The thresholds of one set of proportions p.
struct Margins {
    std::vector<double> tstart;  // start thresholds: deviate of 1 - p
    std::vector<double> t;       // Newton thresholds: deviate of p
};

// Per-variable data, computed once for all pairs.
struct Items {
    int nsubj = 0;
    std::size_t words = 0;
    std::vector<std::uint64_t> bits;  // keyed indicators, `words` per variable
    std::vector<std::int64_t> keyed;  // keyed counts
    std::vector<double> p;            // proportions (corrected for guessing with CFLAG 1)
    std::vector<double> praw;         // raw proportions
    Margins used;                     // of p
    Margins raw;                      // of praw, for pairs left uncorrected (CFLAG 1)
    std::vector<bool> tfail;          // the deviate of p is not defined
    std::vector<double> c;            // guessing parameters (CFLAG 1)
    bool guessing = false;
};

// A threshold is the normal deviate of a proportion strictly between 0 and
// 1.  An item that every subject answers with the keyed code has none, nor
// has one whose guessing parameter is not below its keyed proportion: the
// run stops naming the item before the library is asked for the deviate.
void require_thresholds(const Items& items, int key) {
    static const rt::Format all_keyed = rt::parse_format(
        "(T30,'FATAL ERROR: Every subject gives variable ',I0,' the keyed response ',I0,':',/,"
        "T30,'the variable has no variance',/,/)");
    static const rt::Format guessed = rt::parse_format(
        "(T30,'FATAL ERROR: The guessing parameter ',F6.4,' of variable ',I0,' is not below',/,"
        "T30,'its keyed proportion ',F6.4,': it cannot be corrected for guessing',/,/)");
    for (std::size_t v = 0; v < items.p.size(); ++v) {
        const int item = static_cast<int>(v + 1);
        if (items.praw[v] >= 1.0) FATAL(all_keyed, item, key);
        if (!(items.p[v] > 0.0 && items.p[v] < 1.0)) FATAL(guessed, items.c[v], item, items.praw[v]);
    }
}

// Subjects who have both items keyed: the count of the indicator words' AND.
__attribute__((always_inline)) inline std::int64_t count_common(const std::uint64_t* a, const std::uint64_t* b, std::size_t words) {
    std::int64_t count = 0;
    for (std::size_t w = 0; w < words; ++w) count += std::popcount(a[w] & b[w]);
    return count;
}

// The same, built with the processor's population-count instruction.
__attribute__((target("popcnt"))) std::int64_t count_common_popcnt(const std::uint64_t* a, const std::uint64_t* b,
                                                                   std::size_t words) {
    return count_common(a, b, words);
}

// The version is chosen by a plain test rather than by the loader (an
// indirect function), whose resolver runs before a sanitizer's run-time is
// ready and so keeps an instrumented program from starting.
std::int64_t count_both(const Items& items, int i, int j) {
    static const bool popcnt = __builtin_cpu_supports("popcnt");
    const std::uint64_t* a = &items.bits[static_cast<std::size_t>(i - 1) * items.words];
    const std::uint64_t* b = &items.bits[static_cast<std::size_t>(j - 1) * items.words];
    return popcnt ? count_common_popcnt(a, b, items.words) : count_common(a, b, items.words);
}

// Cells, start value and Newton iterations of the pair (i, j).
void pair_work(const Items& items, int i, int j, PairWork& out) {
    const double nsubj = items.nsubj;
    // The emptiness of a cell is decided on the exact (half-integer) counts,
    // so that rounding in the proportions cannot hide an empty cell.
    const std::int64_t both = count_both(items, i, j);
    const std::int64_t only_i = items.keyed[i - 1] - both;
    const std::int64_t only_j = items.keyed[j - 1] - both;
    const std::int64_t neither = items.nsubj - both - only_i - only_j;
    const std::int64_t association = both * neither - only_i * only_j;
    out.sign = (association > 0) - (association < 0);
    // An empty cell gets half a subject, moved so that the margins stay: that
    // moves the association by half the sample size toward the other sign.
    // Where it would reach or pass zero the move is half the association
    // instead, which keeps its sign.
    const std::int64_t size = std::abs(association);
    const double shift = 2 * size > items.nsubj ? 0.5 : static_cast<double>(size) / (2.0 * nsubj);
    const double half = shift / nsubj;
    double c11 = both == 0 ? shift : static_cast<double>(both);
    double c10 = static_cast<double>(items.keyed[i - 1]) - c11;
    double c01 = static_cast<double>(items.keyed[j - 1]) - c11;
    double p11 = c11 / nsubj;
    double p01 = items.praw[j - 1] - p11;
    double p10 = items.praw[i - 1] - p11;
    // An empty off-diagonal cell is given the shift; (1,1) gives it up and
    // the other off-diagonal cell gains it.
    auto fill_empty = [&](double& p_empty, double& c_empty, double& p_other, double& c_other) {
        p_empty = half;
        p11 = p11 - half;
        p_other = p_other + half;
        c_empty = shift;
        c11 -= shift;
        c_other += shift;
    };
    if (c10 == 0.0) fill_empty(p10, c10, p01, c01);
    if (c01 == 0.0) fill_empty(p01, c01, p10, c10);
    double p00 = 1.0 - p11 - p10 - p01;
    const double c00 = nsubj - c11 - c10 - c01;
    if (c00 <= 0.0) {
        p00 = half;
        p01 = p01 - half;
        p10 = p10 - half;
        p11 = p11 + half;
    }
    // The guessing correction, unless it would empty a cell (a c parameter
    // too large for the pair): the pair then keeps its uncorrected table,
    // with the thresholds of the raw proportions.
    out.uncorrected = false;
    if (items.guessing) {
        const double ci = items.c[i - 1];
        const double cj = items.c[j - 1];
        const double qi = 1.0 - ci;
        const double qj = 1.0 - cj;
        const double g00 = p00 / (qi * qj);
        const double g10 = (qi * p10 - ci * p00) / (qi * qj);
        const double g01 = (qj * p01 - cj * p00) / (qi * qj);
        const double g11 = 1.0 - g00 - g10 - g01;
        out.uncorrected = !(g10 > 0.0 && g01 > 0.0 && g11 > 0.0);
        if (!out.uncorrected) {
            p00 = g00;
            p10 = g10;
            p01 = g01;
            p11 = g11;
        }
    }
    double alpha = (p11 * p00) / (p01 * p10);
    // A table with an empty cell is left only by an item keyed by all,
    // which stops the run; its 0/0 is held at the floor meanwhile.
    if (!(alpha >= 0.0001)) alpha = 0.0001;

    out.p11 = p11;
    out.p10 = p10;
    out.p01 = p01;
    out.p00 = p00;
    const Margins& margins = out.uncorrected ? items.raw : items.used;
    out.r0 = start_value(alpha, margins.tstart[i - 1], margins.tstart[j - 1]);
    out.ti = margins.t[i - 1];
    out.tj = margins.t[j - 1];
    if (items.tfail[i - 1] || items.tfail[j - 1]) return;  // the run stops at this pair
    newton(out.ti, out.tj, p11, out.r0, nullptr, 1, out);
}

// R where it does not have the opposite sign of the table's association
// SIGN, else 0: an estimate that converged to a value just across zero.  A
// table without association has its root at 0.
double signed_as(int sign, double r) { return sign == 0 || sign * r < 0.0 ? 0.0 : r; }

// The pair's polychoric correlation, for a pair whose Newton iterations did
// not settle: POLCOR on the two columns (variable i first), its window line
// and boundary warning naming the pair's own variables.
double fallback(std::span<const double> X, int nsubj, int i, int j, int luout) {
    const std::size_t n = static_cast<std::size_t>(nsubj);
    return POLPAIR(X.subspan(static_cast<std::size_t>(i - 1) * n, n), X.subspan(static_cast<std::size_t>(j - 1) * n, n),
                   nsubj, luout, i, j);
}

}  // namespace

void TETCOR(std::span<const double> X, int NSUBJ, int NVAR, std::span<double> R, int LUOUT,
            std::string_view JOBDIR, std::string_view JOBBAS, int CFLAG, std::span<const double> CPARM,
            int THREADS) {
    static const rt::Format frq_head =
        rt::parse_format("(//'         Bias Corrected Cell Frequencies and Correlations'//)");
    static const rt::Format no_variance = rt::parse_format("(T30,A21,I4,A16,///)");
    static const rt::Format dff_record = rt::parse_format("(999(I4,2X,F6.4))");
    static const rt::Format progress =
        rt::parse_format("(\"+\",T30,\"Computing tetrachoric correlation for varables \",I3,1X,I3)");
    static const rt::Format small_cells =
        rt::parse_format("(\"WARNING! Small cell frequencies. Tetrachoric r may be biased\")");
    static const rt::Format uncorrected_cells =
        rt::parse_format("(\"WARNING! Guessing correction cannot be made. Cells and r are uncorrected\")");
    static const rt::Format not_corrected = rt::parse_format(
        "(16X,\"!!!WARNING: GUESSING CORRECTION OF VARIABLES \",I3,\" AND \",I3,\" CANNOT BE MADE!!!\")");
    static const rt::Format pair_record = rt::parse_format(
        "(\"Variables \",I3,\" and \",I3/\"--------------------\"/\"      0         1\"/"
        "\"1 \",2(F8.2,2X),\"     r(tet) = \",F5.3,\"     std err  \",F5.3/"
        "\"0 \",2(F8.2,2X),\"     r(phi) = \",F5.3//)");
    static const rt::Format pair_without_error = rt::parse_format(
        "(\"Variables \",I3,\" and \",I3/\"--------------------\"/\"      0         1\"/"
        "\"1 \",2(F8.2,2X),\"     r(tet) = \",F5.3,\"     std err  cannot be computed\"/"
        "\"0 \",2(F8.2,2X),\"     r(phi) = \",F5.3//)");
    static const rt::Format ser_record = rt::parse_format("(999(F12.9,1X))");

    const std::size_t nsubj = static_cast<std::size_t>(std::max(NSUBJ, 0));
    const std::size_t nvar = static_cast<std::size_t>(std::max(NVAR, 0));
    proc::WorkerPool pool(proc::policy::pairs(THREADS, nvar) - 1);
    auto x = [&](std::size_t s, std::size_t v) { return X[s + v * nsubj]; };
    auto rr = [&](int i, int j) -> double& {
        return R[static_cast<std::size_t>(i - 1) + static_cast<std::size_t>(j - 1) * nvar];
    };

    // 1. The .frq file and its head.
    OPNMAT(LUFRQ, JOBDIR, JOBBAS, "frq");
    rt::write(LUFRQ, frq_head);

    // 2. The keyed code: the largest value of variable 1, truncated.
    int key = -99;
    for (std::size_t s = 0; s < nsubj && nvar > 0; ++s) {
        const double value = x(s, 0);
        if (value > key) {
            key = value >= 2147483647.0 ? std::numeric_limits<int>::max() : static_cast<int>(value);
        }
    }
    const double keyed_value = key;

    // 3. Keyed indicators and proportions.
    Items items;
    items.nsubj = NSUBJ;
    items.words = (nsubj + 63) / 64;
    items.bits.assign(items.words * nvar, 0);
    items.keyed.assign(nvar, 0);
    parallel_for(pool, nvar, [&](std::size_t v) {
        std::uint64_t* bits = &items.bits[v * items.words];
        const double* column = X.data() + v * nsubj;
        std::int64_t count = 0;
        // A word of 64 subjects at a time, built in a register.
        for (std::size_t w = 0; w < items.words; ++w) {
            const std::size_t first = w * 64;
            const std::size_t n = std::min<std::size_t>(64, nsubj - first);
            std::uint64_t word = 0;
            for (std::size_t b = 0; b < n; ++b)
                word |= static_cast<std::uint64_t>(column[first + b] == keyed_value) << b;
            bits[w] = word;
            count += std::popcount(word);
        }
        items.keyed[v] = count;
    });
    items.praw.resize(nvar);
    for (std::size_t v = 0; v < nvar; ++v) {
        items.praw[v] = static_cast<double>(items.keyed[v]) / static_cast<double>(NSUBJ);
        if (items.praw[v] == 0.0) {
            rt::write(LUCON, no_variance, "FATAL ERROR: VARIABLE", static_cast<int>(v + 1), " HAS NO VARIANCE");
            throw rt::Stop{"", 1};
        }
    }

    // 4. The .dff file: the raw proportions.
    OPNMAT(LUDFF, JOBDIR, JOBBAS, "dff");
    for (std::size_t v = 0; v < nvar; ++v) rt::write(LUDFF, dff_record, static_cast<int>(v + 1), items.praw[v]);

    // 6. Proportions corrected for guessing.
    items.guessing = CFLAG == 1;
    items.p = items.praw;
    if (items.guessing) {
        items.c.assign(CPARM.begin(), CPARM.begin() + static_cast<std::ptrdiff_t>(nvar));
        for (std::size_t v = 0; v < nvar; ++v) items.p[v] = 1.0 - (1.0 - items.p[v]) / (1.0 - items.c[v]);
    }
    require_thresholds(items, key);

    // 7. Start thresholds (a failure is reported and the run goes on), and
    // the thresholds of the Newton iterations, taken silently here: a
    // variable whose threshold fails stops the run when its first pair is
    // reached, where the library call is made again to report it.
    items.used.tstart.resize(nvar);
    items.used.t.resize(nvar);
    items.tfail.resize(nvar);
    for (std::size_t v = 0; v < nvar; ++v) {
        int status = -1;
        items.used.tstart[v] = num1::G01FAF(kTail, 1.0 - items.p[v], status);
    }
    for (std::size_t v = 0; v < nvar; ++v) {
        int status = 1;
        items.used.t[v] = num1::G01FAF(kTail, items.p[v], status);
        items.tfail[v] = status != 0;
    }
    // Those of the raw proportions, silently: an item whose raw deviate
    // fails has a failing corrected one as well.
    if (items.guessing) {
        items.raw.tstart.resize(nvar);
        items.raw.t.resize(nvar);
        for (std::size_t v = 0; v < nvar; ++v) {
            int status = 1;
            items.raw.tstart[v] = num1::G01FAF(kTail, 1.0 - items.praw[v], status);
            status = 1;
            items.raw.t[v] = num1::G01FAF(kTail, items.praw[v], status);
        }
    }

    // 5, 8, 9. Every pair's cells, start value and Newton iterations, in
    // parallel; pair k is (i, j) with k = (i-1)(i-2)/2 + j-1.
    const std::size_t npairs = nvar < 2 ? 0 : nvar * (nvar - 1) / 2;
    std::vector<PairWork> work(npairs);
    std::vector<int> pair_i(npairs), pair_j(npairs);
    for (int i = 2, k = 0; i <= NVAR; ++i) {
        for (int j = 1; j < i; ++j, ++k) {
            pair_i[static_cast<std::size_t>(k)] = i;
            pair_j[static_cast<std::size_t>(k)] = j;
        }
    }
    parallel_for(pool, npairs, [&](std::size_t k) { pair_work(items, pair_i[k], pair_j[k], work[k]); }, 16);

    // 9. In pair order: the window line, the choice that depends on the
    // previous pair, the stops of failing library calls, the fall-backs.
    double remembered = 0.0;
    for (std::size_t k = 0; k < npairs; ++k) {
        const int i = pair_i[k];
        const int j = pair_j[k];
        PairWork& pair = work[k];
        const std::size_t vi = static_cast<std::size_t>(i - 1);
        const std::size_t vj = static_cast<std::size_t>(j - 1);
        rt::write(LUCON, progress, i, j);
        if (items.tfail[vi] || items.tfail[vj]) {
            int status = 0;
            items.used.t[vi] = num1::G01FAF(kTail, items.p[vi], status);
            status = 0;
            items.used.t[vj] = num1::G01FAF(kTail, items.p[vj], status);
            newton(pair.ti, pair.tj, pair.p11, pair.r0, &remembered, 0, pair);
        }
        const bool first_only = pair.ambiguous && !(std::abs(remembered - pair.after_first.r) > 0.0001);
        Newton chosen = first_only ? pair.after_first : pair.run;
        if (chosen.failed) {
            newton(pair.ti, pair.tj, pair.p11, pair.r0, &remembered, 0, pair);
            chosen = pair.run;
        }
        remembered = chosen.remembered;
        if (pair.uncorrected) rt::write(LUOUT, not_corrected, j, i);
        rr(i, j) = signed_as(pair.sign, chosen.fallback ? fallback(X, NSUBJ, i, j, LUOUT) : chosen.r);
    }

    // 10. Counts, r(phi) and standard errors; the .frq records.
    std::vector<double> se(nvar * nvar);
    const double n = NSUBJ;
    rt::write_in_order(pool, LUFRQ, npairs, [&](std::size_t k, rt::HeldRecords& held) {
        const int i = pair_i[k];
        const int j = pair_j[k];
        const PairWork& pair = work[k];
        const double n11 = n * pair.p11;
        const double n10 = n * pair.p10;
        const double n01 = n * pair.p01;
        const double n00 = n * pair.p00;
        const double rphi = signed_as(
            pair.sign, (n11 * n00 - n01 * n10) / std::sqrt((n00 + n10) * (n11 + n10) * (n01 + n11) * (n01 + n00)));
        double& r = rr(i, j);
        const double density = BVNDEN(pair.ti, pair.tj, r);
        double error = 1.0 / (n * density) * 1.0 / std::sqrt(1.0 / n01 + 1.0 / n11 + 1.0 / n00 + 1.0 / n10);
        // A density that is 0 in single precision leaves no standard error:
        // NaN marks it here.
        if (!(n01 > 0.0 && n11 > 0.0 && n00 > 0.0 && n10 > 0.0 && std::isfinite(error)))
            error = std::numeric_limits<double>::quiet_NaN();
        // Mirrored after the density's clamp, so R stays symmetric.
        rr(j, i) = r;
        if (n10 <= 5.0 || n00 <= 5.0 || n01 <= 5.0 || n11 <= 5.0) write(held, small_cells);
        if (pair.uncorrected) write(held, uncorrected_cells);
        if (std::isnan(error))
            write(held, pair_without_error, j, i, n01, n11, r, n00, n10, rphi);
        else
            write(held, pair_record, j, i, n01, n11, r, error, n00, n10, rphi);
        se[static_cast<std::size_t>(i - 1) + static_cast<std::size_t>(j - 1) * nvar] = error;
        se[static_cast<std::size_t>(j - 1) + static_cast<std::size_t>(i - 1) * nvar] = error;
    });

    // 11. Unit diagonal; zero standard errors on it.
    for (int v = 1; v <= NVAR; ++v) rr(v, v) = 1.0;

    // 12. The .ser file, one record per row.
    OPNMAT(LUSER, JOBDIR, JOBBAS, "ser");
    rt::write_in_order(pool, LUSER, nvar, [&](std::size_t a, rt::HeldRecords& held) {
        // A standard error that could not be computed is written as a value
        // too wide for its F12.9 field, which formatted output fills with
        // asterisks: no reader takes them for a number, and every field
        // keeps its place.
        std::vector<double> row(nvar);
        for (std::size_t b = 0; b < nvar; ++b) {
            const double error = se[a + b * nvar];
            row[b] = std::isnan(error) ? kNoError : error;
        }
        write(held, ser_record, row);
    });

    // 13. .frq and .ser are closed; .dff stays open to the end of the run.
    rt::close_unit(LUFRQ);
    rt::close_unit(LUSER);
}

}  // namespace orv::engine
