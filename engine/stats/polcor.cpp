#include "engine/stats/polcor.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>
#include <vector>

#include "engine/common/units.h"
#include "numlib/routines1/g01faf.h"
#include "numlib/routines1/g01haf.h"
#include "numlib/routines1/m01caf.h"
#include "process/parallel.h"
#include "runtime/formatted_io.h"
#include "runtime/host.h"
#include "runtime/io_error.h"

namespace orv::engine {

namespace {

constexpr int kMaxCategories = 14;   // thresholds T(0..14)
constexpr int kSlots = 15;           // POLLIK's table dimension
constexpr double kMarker = 99.0;     // an unused category slot
constexpr double kInfinity = 999999.0;
constexpr std::uint8_t kNoCell = 0xFF;
constexpr std::string_view kTail = "Lower-tail";
constexpr double kDrift = 1.0e-12;   // rounding of the trial values near +-0.9

// One variable's categories: the per-subject category index (kNoCell for a
// value that is not a category) and the thresholds T(0..NCAT).
struct Variable {
    int ncat = 0;
    std::array<double, kMaxCategories + 1> t{};
    std::vector<std::uint8_t> index;
};

enum class Fault { none, too_few, too_many };

// Sorts a copy of the column and lists its distinct values in ascending
// order.  A largest value of 99.0 takes the marker's place and is not a
// category.  Each subject gets the index of its category.
Fault categorise(const double* column, int nsubj, Variable& var) {
    const std::size_t n = static_cast<std::size_t>(nsubj);
    std::vector<double> sorted(column, column + n);
    int ifail = 1;
    num1::M01CAF(sorted, 1, nsubj, "A", ifail);
    std::vector<double> cat;
    if (n > 0) cat.push_back(sorted[0]);
    for (std::size_t s = 1; s < n; ++s) {
        if (sorted[s] != sorted[s - 1]) cat.push_back(sorted[s]);
    }
    if (!cat.empty() && cat.back() == kMarker) cat.pop_back();
    var.ncat = static_cast<int>(cat.size());
    if (var.ncat > kMaxCategories) return Fault::too_many;
    if (var.ncat < 2) return Fault::too_few;

    var.index.assign(n, kNoCell);
    std::array<double, kMaxCategories + 1> count{};
    for (std::size_t s = 0; s < n; ++s) {
        const auto at = std::lower_bound(cat.begin(), cat.end(), column[s]);
        if (at != cat.end() && *at == column[s]) {
            const auto a = static_cast<std::uint8_t>(at - cat.begin());
            var.index[s] = a;
            count[a] += 1.0;
        }
    }
    for (int a = 1; a < var.ncat - 1; ++a) count[static_cast<std::size_t>(a)] += count[static_cast<std::size_t>(a - 1)];
    var.t[0] = -kInfinity;
    var.t[static_cast<std::size_t>(var.ncat)] = kInfinity;
    for (int a = 1; a < var.ncat; ++a) {
        int status = 0;
        var.t[static_cast<std::size_t>(a)] =
            num1::G01FAF(kTail, count[static_cast<std::size_t>(a - 1)] / static_cast<double>(nsubj), status);
    }
    return Fault::none;
}

// Ends the run for variable V's category fault: a plain stop for a
// variable without a second category, a fatal stop for one with too many.
[[noreturn]] void stop_for(Fault fault, int v, int ncat) {
    static const rt::Format no_variance = rt::parse_format("(T30,A21,I4,A16,///)");
    static const rt::Format too_many = rt::parse_format("(T30,A21,I4,A,I4,A,///)");
    if (fault == Fault::too_few) {
        rt::write(LUCON, no_variance, "FATAL ERROR: VARIABLE", v, " HAS NO VARIANCE");
    } else {
        rt::write(LUCON, too_many, "FATAL ERROR: VARIABLE", v, " HAS", ncat, " CATEGORIES; AT MOST 14 ARE ALLOWED");
        rt::host().pause();
    }
    throw rt::Stop{"", 1};
}

// The corner probabilities G(a, b) = Prob(U <= tj[a], V <= ti[b]) on the
// outer thresholds -999999 and 999999 of a table.  There the bivariate
// normal takes its degenerate forms: 0 on the lower edges, a value that does
// not depend on RHO on the last column, one that depends only on the sign
// of RHO on the last row (1 at the top corner).  They are computed once per
// table, by the same routine, instead of once per trial value, as are the
// terms of the inner thresholds that do not depend on RHO.
struct Borders {
    bool usable = false;  // the table has the outer thresholds
    std::array<double, kSlots> last_column{};                   // G(a, ni), a = 0..nj
    std::array<double, kSlots> last_row_up{}, last_row_down{};  // G(nj, b) for RHO >= 0 and RHO < 0
    std::array<double, kSlots> tail_j{}, tail_i{};              // corner terms of tj[a] and ti[b]
};

Borders borders(int nj, int ni, const double* tj, const double* ti) {
    Borders out;
    out.usable = nj < kSlots && ni < kSlots && tj[0] == -kInfinity && ti[0] == -kInfinity &&
                 tj[nj] == kInfinity && ti[ni] == kInfinity;
    if (!out.usable) return out;
    for (int a = 0; a <= nj; ++a) out.tail_j[static_cast<std::size_t>(a)] = num1::detail::corner_tail(tj[a]);
    for (int b = 0; b <= ni; ++b) out.tail_i[static_cast<std::size_t>(b)] = num1::detail::corner_tail(ti[b]);
    for (int a = 0; a <= nj; ++a) {
        int ifail = 0;
        out.last_column[static_cast<std::size_t>(a)] = num1::G01HAF(tj[a], ti[ni], 0.5, ifail);
    }
    for (int b = 0; b <= ni; ++b) {
        int ifail = 0;
        out.last_row_up[static_cast<std::size_t>(b)] = num1::G01HAF(tj[nj], ti[b], 0.5, ifail);
        ifail = 0;
        out.last_row_down[static_cast<std::size_t>(b)] = num1::G01HAF(tj[nj], ti[b], -0.5, ifail);
    }
    return out;
}

// The log-likelihood kernel of POLLIK for a table of NJ x NI cells (first
// index the category of variable J, stride SLOT between columns).  The
// bivariate normal probabilities at the corners are evaluated once, on the
// (NJ+1) x (NI+1) grid of thresholds, and combined into each cell as
// ((G(a,b) - G(a-1,b)) - G(a,b-1)) + G(a-1,b-1).
double loglik(int nj, int ni, const double* tj, const double* ti, const int* count, double* p, int slot, double rho,
              const Borders& edges, std::vector<double>& grid) {
    const std::size_t rows = static_cast<std::size_t>(nj) + 1;
    grid.resize(rows * (static_cast<std::size_t>(ni) + 1));
    auto at = [&](int a, int b) -> double& { return grid[static_cast<std::size_t>(a) + rows * static_cast<std::size_t>(b)]; };
    if (edges.usable && std::abs(rho) <= 1.0) {
        const auto& last_row = rho >= 0.0 ? edges.last_row_up : edges.last_row_down;
        for (int b = 0; b <= ni; ++b) {
            at(0, b) = 0.0;
            at(nj, b) = last_row[static_cast<std::size_t>(b)];
        }
        for (int a = 1; a < nj; ++a) {
            at(a, 0) = 0.0;
            at(a, ni) = edges.last_column[static_cast<std::size_t>(a)];
        }
        for (int b = 1; b < ni; ++b) {
            for (int a = 1; a < nj; ++a) {
                at(a, b) = num1::detail::bivariate_with_tails(tj[a], ti[b], rho, edges.tail_j[static_cast<std::size_t>(a)],
                                                               edges.tail_i[static_cast<std::size_t>(b)]);
            }
        }
    } else {
        for (int b = 0; b <= ni; ++b) {
            for (int a = 0; a <= nj; ++a) {
                int ifail = 0;
                at(a, b) = num1::G01HAF(tj[a], ti[b], rho, ifail);
            }
        }
    }
    double ll = 0.0;
    bool impossible = false;
    for (int a = 1; a <= nj; ++a) {
        for (int b = 1; b <= ni; ++b) {
            const double cell = ((at(a, b) - at(a - 1, b)) - at(a, b - 1)) + at(a - 1, b - 1);
            const std::size_t k = static_cast<std::size_t>(a - 1) + static_cast<std::size_t>(slot) * static_cast<std::size_t>(b - 1);
            p[k] = cell;
            // A cell without subjects adds nothing, whatever its probability.
            // One with subjects but no probability rules RHO out: skipping
            // it would favour the RHO that gives its subjects no chance.
            if (count[k] == 0) continue;
            if (cell > 0.0) {
                ll += count[k] * std::log(cell);
            } else {
                impossible = true;
            }
        }
    }
    return impossible ? -std::numeric_limits<double>::infinity() : ll;
}

// The result of one pair's search.
struct Pair {
    double r = 0.0;
    bool bound = false;
};

// The bounded grid search for the pair (HI, LO): a 41-point pass from -0.9
// upwards in steps of 0.05, then passes of 5 points around the best value
// with the step halved each time, until the step is below 1.0e-6 (after
// the 17th pass).  Every trial value is held within [-0.9, 0.9]; the first
// of equal likelihoods is kept.
Pair search(const Variable& hi, const Variable& lo, int nsubj) {
    const int ni = hi.ncat;
    const int nj = lo.ncat;
    std::vector<int> count(static_cast<std::size_t>(nj) * static_cast<std::size_t>(ni), 0);
    for (std::size_t s = 0; s < static_cast<std::size_t>(nsubj); ++s) {
        const std::uint8_t a = hi.index[s];
        const std::uint8_t b = lo.index[s];
        if (a != kNoCell && b != kNoCell) ++count[b + static_cast<std::size_t>(nj) * a];
    }
    std::vector<double> p(count.size(), 0.0);
    std::vector<double> grid;
    const Borders edges = borders(nj, ni, lo.t.data(), hi.t.data());

    const double limit = static_cast<double>(0.000001f);
    double step = 0.05;
    double r = -0.95;
    int m = 41;
    // Below every likelihood: a large table's can lie below -999999 at
    // every r.
    double best_ll = -std::numeric_limits<double>::infinity();
    double best = 0.0;
    std::vector<double> tried;  // the trial values whose likelihood is known
    tried.reserve(128);
    Pair out;
    for (int pass = 1; pass <= 30; ++pass) {
        for (int k = 0; k < m; ++k) {
            r = r + step;
            if (r >= 0.9) r = 0.9;
            if (r <= -0.9) r = -0.9;
            // A value tried before cannot beat the best: its likelihood is
            // the same as it was, and the best is at least that.
            if (std::find(tried.begin(), tried.end(), r) == tried.end()) {
                tried.push_back(r);
                const double ll = loglik(nj, ni, lo.t.data(), hi.t.data(), count.data(), p.data(), nj, r, edges, grid);
                if (ll > best_ll) {
                    best_ll = ll;
                    best = r;
                }
            }
        }
        if (step < limit) break;
        r = best - step;
        step = step / 2.0;
        m = 5;
    }
    // The trial values reach the bound as sums of steps, and the cell
    // probabilities are differences of nearly equal values: a value that
    // misses the bound only by the rounding of those sums (some 1e-16,
    // where the grid is 7.6e-7 apart at its finest) won by noise in the
    // likelihood's last bits.  It is the bound.
    if (std::abs(best) > 0.9 - kDrift) best = best > 0.0 ? 0.9 : -0.9;
    out.r = best;
    out.bound = best == 0.9 || best == -0.9;
    return out;
}

void write_progress(int i, int j) {
    static const rt::Format progress =
        rt::parse_format("(\"+\",T29,\" Computing polychoric correlations for variables: \",I3,1X,I3)");
    rt::write(LUCON, progress, i, j);
}

void write_warning(int luout, int i, int j) {
    static const rt::Format warning = rt::parse_format("(16X,A24,I3,1X,I3,A18,/)");
    rt::write(luout, warning, "!!!WARNING: CORRELATION ", i, j, "   AT BOUNDARY!!!");
}

}  // namespace

void POLLIK(int K, double RHO, int I, int J, int NVAR, std::span<double> P, std::span<const int> N,
            std::span<const int> NCAT, std::span<const double> T, double& LL, int NPAIR) {
    (void)NVAR;
    (void)NPAIR;
    const std::size_t table = static_cast<std::size_t>(kSlots) * kSlots * static_cast<std::size_t>(K - 1);
    const std::size_t column = static_cast<std::size_t>(kSlots);
    const int nj = NCAT[static_cast<std::size_t>(J - 1)];
    const int ni = NCAT[static_cast<std::size_t>(I - 1)];
    const double* tj = T.data() + column * static_cast<std::size_t>(J - 1);
    const double* ti = T.data() + column * static_cast<std::size_t>(I - 1);
    std::vector<double> grid;
    LL = loglik(nj, ni, tj, ti, N.data() + table, P.data() + table, kSlots, RHO, borders(nj, ni, tj, ti), grid);
}

void POLCOR(std::span<const double> X, int NSUBJ, int NVAR, std::span<double> R, int LUOUT, int THREADS) {
    const std::size_t nvar = static_cast<std::size_t>(std::max(NVAR, 0));
    const std::size_t n = static_cast<std::size_t>(std::max(NSUBJ, 0));
    proc::WorkerPool pool(proc::policy::pairs(THREADS, nvar) - 1);

    // Categories, counts and thresholds per variable; the first variable in
    // order with a fault ends the run.
    std::vector<Variable> vars(nvar);
    std::vector<Fault> faults(nvar, Fault::none);
    parallel_for(pool, nvar, [&](std::size_t v) { faults[v] = categorise(X.data() + v * n, NSUBJ, vars[v]); });
    for (std::size_t v = 0; v < nvar; ++v) {
        if (faults[v] != Fault::none) stop_for(faults[v], static_cast<int>(v + 1), vars[v].ncat);
    }

    // The pairs i = 2..NVAR, j = 1..i-1; pair k = (i-1)(i-2)/2 + j-1.
    const std::size_t npairs = nvar < 2 ? 0 : nvar * (nvar - 1) / 2;
    std::vector<int> pair_i(npairs), pair_j(npairs);
    for (std::size_t i = 2, k = 0; i <= nvar; ++i) {
        for (std::size_t j = 1; j < i; ++j, ++k) {
            pair_i[k] = static_cast<int>(i);
            pair_j[k] = static_cast<int>(j);
        }
    }
    std::vector<Pair> result(npairs);
    parallel_for(pool, npairs, [&](std::size_t k) {
        result[k] = search(vars[static_cast<std::size_t>(pair_i[k] - 1)], vars[static_cast<std::size_t>(pair_j[k] - 1)], NSUBJ);
    });

    auto rr = [&](std::size_t i, std::size_t j) -> double& { return R[(i - 1) + nvar * (j - 1)]; };
    for (std::size_t k = 0; k < npairs; ++k) {
        const int i = pair_i[k];
        const int j = pair_j[k];
        write_progress(i, j);
        rr(static_cast<std::size_t>(i), static_cast<std::size_t>(j)) = result[k].r;
        if (result[k].bound) write_warning(LUOUT, i, j);
    }
    for (std::size_t v = 1; v <= nvar; ++v) rr(v, v) = 1.0;
    for (std::size_t k = 0; k < npairs; ++k) {
        const std::size_t i = static_cast<std::size_t>(pair_i[k]);
        const std::size_t j = static_cast<std::size_t>(pair_j[k]);
        rr(j, i) = rr(i, j);
    }
}

double POLPAIR(std::span<const double> COL1, std::span<const double> COL2, int NSUBJ, int LUOUT, int I, int J) {
    // As in a call of POLCOR on the two columns: variable 1 is COL1 and the
    // pair (2, 1) has COL2 as its higher-numbered variable.
    Variable first, second;
    const Fault f1 = categorise(COL1.data(), NSUBJ, first);
    if (f1 != Fault::none) stop_for(f1, I, first.ncat);
    const Fault f2 = categorise(COL2.data(), NSUBJ, second);
    if (f2 != Fault::none) stop_for(f2, J, second.ncat);
    const Pair pair = search(second, first, NSUBJ);
    write_progress(I, J);
    if (pair.bound) write_warning(LUOUT, I, J);
    return pair.r;
}

}  // namespace orv::engine
