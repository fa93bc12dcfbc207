// Empirical quantiles with missing values left out; moving NaNs to the end
// of a vector and finding the first one.
#include "numlib/routines2/deqtil.h"

#include <cmath>
#include <cstddef>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "numlib/array_args.h"
#include "numlib/blas_lapack.h"
#include "numlib/routines2/dlinds.h"
#include "numlib/routines2/dsvrgn.h"
#include "numlib/routines2/erset.h"
#include "numlib/routines2/umach.h"

namespace orv::num2 {
namespace {

// Result of a sortedness scan: sorted is 1 when the values are in
// non-decreasing order (0 otherwise); nm is the NaN count, negative when a
// NaN came before a value.
struct Order {
    int sorted = 1;
    int nm = 0;
};

Order scan_order(int n, const double* x) {
    Order order;
    int sign = 1;
    double previous = DMACH(8);
    for (int i = 0; i < n; ++i) {
        const double v = x[i];
        if (ISDNAN(v)) {
            ++order.nm;
        } else if (v < previous) {
            order.sorted = 0;
            return order;
        } else {
            previous = v;
            if (order.nm > 0) sign = -1;
        }
    }
    order.nm = sign * order.nm;
    return order;
}

// 1-based position of the smallest |X(i)|, the first on a tie; 0 for
// N < 1.
int index_of_smallest_abs(int n, const double* x) {
    if (n < 1) return 0;
    int best = 1;
    for (int i = 2; i <= n; ++i) {
        if (std::fabs(x[i - 1]) < std::fabs(x[best - 1])) best = i;
    }
    return best;
}

// Partial selection sort of X(1..N).  M < 0: the |M| smallest values go in
// ascending order to Y(1..|M|).  M > 0: the M largest go in ascending order
// to Y(1..M).  The element displaced from the place of each selected value
// is put there, so with Y = X (M < 0) or Y = X(N-M+1) (M > 0) the values
// are ordered in place at the front or at the end.
void partial_select(int n, double* x, int m, double* y) {
    if (m < 0) {
        for (int i = 1; i <= -m; ++i) {
            int pos = i;
            for (int l = i + 1; l <= n; ++l) {
                if (x[l - 1] < x[pos - 1]) pos = l;
            }
            const double smallest = x[pos - 1];
            x[pos - 1] = x[i - 1];
            y[i - 1] = smallest;
        }
    } else if (m > 0) {
        for (int step = 1; step <= m; ++step) {
            const int top = n - step + 1;
            int pos = 1;
            for (int l = 2; l <= top; ++l) {
                if (x[l - 1] > x[pos - 1]) pos = l;
            }
            const double largest = x[pos - 1];
            x[pos - 1] = x[top - 1];
            y[m - step] = largest;
        }
    }
}

// Truncated index of the order statistic for proportion P among N values.
int quantile_index(int n, double p) {
    const double y = (n + 1.0) * p;
    return static_cast<int>(y + DMACH(4) * y);
}

// The quantile of proportion P among the ordered values X(1..N).  COPIED
// selects the copied sample's test for an exact order statistic.
void quantile(const double* x, int n, double p, bool copied, double& q, double& lo, double& hi) {
    if (n < 1) {
        q = lo = hi = DMACH(6);
        return;
    }
    const double eps = DMACH(4);
    const double y = (n + 1.0) * p;
    const int k = static_cast<int>(y + eps * y);
    const double f = y - k;
    // A proportion a few units in the last place below 1 can give k = n+1:
    // such a proportion asks for the largest value, not for one past it.
    if (k > n) {
        q = lo = hi = x[n - 1];
        return;
    }
    const double tol = eps * k;
    if (k >= 1 && (std::fabs(f) < tol || (copied && std::fabs(f) == tol))) {
        q = lo = hi = x[k - 1];
        return;
    }
    if (k == 0) {
        q = lo = hi = x[0];
    } else if (k == n) {
        q = lo = hi = x[n - 1];
    } else {
        lo = x[k - 1];
        hi = x[k];
        q = std::fabs(hi - lo) >= DMACH(3) ? f * hi + (1.0 - f) * lo : lo;
    }
}

// The arrays of DEQTIL and DE2TIL hold the NOBS observations and the
// NQPROP proportions and results that the routine NAME is given.
void require_lengths(std::string_view name, int nobs, std::span<const double> x, int nqprop,
                     std::span<const double> qprop, std::span<double> q, std::span<double> xlo,
                     std::span<double> xhi) {
    if (nobs >= 1) numlib::require_length(x.size(), static_cast<std::size_t>(nobs), name, "X");
    if (nqprop >= 1) {
        const auto need = static_cast<std::size_t>(nqprop);
        numlib::require_length(qprop.size(), need, name, "QPROP");
        numlib::require_length(q.size(), need, name, "Q");
        numlib::require_length(xlo.size(), need, name, "XLO");
        numlib::require_length(xhi.size(), need, name, "XHI");
    }
}

}  // namespace

int IDANAN(int n, std::span<const double> x, int incx) {
    if (n < 0) {
        ErrorLevel frame("IDANAN");
        MSGINT(1, n);
        E1MES(5, 1, " The length of the input vector is %(I1).  The length must be non-negative.");
        return 0;
    }
    if (incx < 0) {
        ErrorLevel frame("IDANAN");
        MSGINT(1, incx);
        E1MES(5, 2,
              " The length of the incrementation of the input vector is %(I1).  The incrementation must be "
              "non-negative.");
        return 0;
    }
    if (n == 0 || incx == 0) return 0;
    numlib::require_length(x.size(), static_cast<std::size_t>(n - 1) * static_cast<std::size_t>(incx) + 1, "IDANAN", "X");
    for (int i = 1; i <= n; ++i) {
        if (ISDNAN(x[static_cast<std::size_t>(i - 1) * static_cast<std::size_t>(incx)])) return i;
    }
    return 0;
}

void DU1MVV(int nobs, std::span<double> x, int& nmiss) {
    if (nobs >= 1) numlib::require_length(x.size(), static_cast<std::size_t>(nobs), "DU1MVV", "X");
    ErrorLevel frame("DU1MVV");
    nmiss = 0;
    if (nobs < 1) {
        MSGINT(1, nobs);
        E1MES(5, 1, "NOBS = %(I1).  NOBS must be greater than 0.");
        return;
    }
    int p = IDANAN(nobs, x, 1);
    if (p != 0) {
        // From the end: a NaN there is already in place; a value there
        // fills the first NaN still before it.
        int m = nobs;
        while (true) {
            if (ISDNAN(x[static_cast<std::size_t>(m - 1)])) {
                ++nmiss;
                --m;
                if (m < p) break;
            } else {
                p = IDANAN(m, x, 1);
                if (p == 0) break;
                ++nmiss;
                x[static_cast<std::size_t>(p - 1)] = x[static_cast<std::size_t>(m - 1)];
                x[static_cast<std::size_t>(m - 1)] = DMACH(6);
                --m;
            }
        }
    }
}

void DEQTIL(int nobs, std::span<const double> x, int nqprop, std::span<const double> qprop, std::span<double> q,
            std::span<double> xlo, std::span<double> xhi, int& nmiss) {
    require_lengths("DEQTIL", nobs, x, nqprop, qprop, q, xlo, xhi);
    ErrorLevel frame("DEQTIL");
    if (nobs < 1) {
        MSGINT(1, nobs);
        E1MES(5, 4, "NOBS = %(I1).  There must be at least one observation.");
        return;
    }
    const Order order = scan_order(nobs, x.data());
    if (order.sorted == 1 && order.nm >= 0) {
        nmiss = order.nm;
        if (order.nm >= nobs) {
            E1MES(3, 1,
                  "All of the observations are missing values.  The elements of Q, XLO and XHI have been set to "
                  "NaN (not a number).");
            DVFILL(nqprop, DMACH(6), q, 1);
            DVFILL(nqprop, DMACH(6), xlo, 1);
            DVFILL(nqprop, DMACH(6), xhi, 1);
        } else {
            // In order already: read in place, no work vector.
            DE2TIL(nobs, x, nqprop, qprop, q, xlo, xhi, nmiss, {});
        }
    } else {
        std::vector<double> wk;
        bool allocated = true;
        try {
            wk.resize(static_cast<std::size_t>(nobs));
        } catch (const std::bad_alloc&) {
            allocated = false;
        }
        if (!allocated) {
            MSGINT(1, nobs);
            E1MES(5, 2,
                  "The required storage cannot be allocated.  The workspace requirement is based on NOBS = %(I1)");
        } else {
            DE2TIL(nobs, x, nqprop, qprop, q, xlo, xhi, nmiss, wk);
        }
    }
}

void DE2TIL(int nobs, std::span<const double> x, int nqprop, std::span<const double> qprop, std::span<double> q,
            std::span<double> xlo, std::span<double> xhi, int& nmiss, std::span<double> wk) {
    require_lengths("DE2TIL", nobs, x, nqprop, qprop, q, xlo, xhi);
    ErrorLevel frame("DE2TIL");
    if (nqprop < 1) {
        MSGINT(1, nqprop);
        E1MES(5, 2, "NQPROP = %(I1).  There must be at least one quantile to compute.");
    } else {
        for (int i = 1; i <= nqprop; ++i) {
            const double p = qprop[static_cast<std::size_t>(i - 1)];
            // A NaN proportion is no more between 0 and 1 than 1.5 is.
            if (!(p > 0.0 && p < 1.0)) {
                MSGINT(1, i);
                MSGDBL(1, p);
                E1MES(5, 3,
                      "QPROP(%(I1)) = %(D1).  The quantile proportion must be greater than 0.0 and less than  "
                      "1.0.");
                return;
            }
        }
    }
    if (N1RCD(0) != 0) {
        return;
    }

    const int n_all = nobs < 0 ? 0 : nobs;
    const Order order = scan_order(n_all, x.data());
    const double* xs = nullptr;
    int n = 0;
    bool copied = false;
    if (order.sorted == 1 && order.nm >= 0) {
        nmiss = order.nm;
        n = n_all - order.nm;
        xs = x.data();
    } else {
        numlib::require_length(wk.size(), static_cast<std::size_t>(n_all), "DE2TIL", "WK");
        const int one = 1;
        dcopy_(&n_all, x.data(), &one, wk.data(), &one);
        DU1MVV(n_all, wk, nmiss);
        n = n_all - nmiss;
        const double qmax = qprop[static_cast<std::size_t>(idamax_(&nqprop, qprop.data(), &one) - 1)];
        const double qmin = qprop[static_cast<std::size_t>(index_of_smallest_abs(nqprop, qprop.data()) - 1)];
        double* w = wk.data();
        if (qmax <= 0.2) {
            // Only the smallest values are needed: x(1) .. x(k+1) for qmax.
            const int k = quantile_index(n, qmax);
            const int m = k + 1 < n ? k + 1 : n;
            partial_select(n, w, -m, w);
        } else if (qmin >= 0.8) {
            // Only the largest: x(k) .. x(n) for qmin (k at most n).
            int k = quantile_index(n, qmin);
            if (k > n) k = n;
            if (k < 1) k = 1;
            const int m = n - k + 1;
            partial_select(n, w, m, w + (n - m));
        } else {
            DSVRGN(n, wk, wk);
        }
        xs = w;
        copied = true;
    }
    for (int i = 0; i < nqprop; ++i) {
        const auto s = static_cast<std::size_t>(i);
        quantile(xs, n, qprop[s], copied, q[s], xlo[s], xhi[s]);
    }
}

}  // namespace orv::num2
