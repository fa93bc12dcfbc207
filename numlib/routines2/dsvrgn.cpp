#include "numlib/routines2/dsvrgn.h"

#include <array>
#include <cstddef>
#include <stdexcept>
#include <string>

#include "numlib/array_args.h"
#include "numlib/routines2/erset.h"

namespace orv::num2 {
namespace {

using numlib::require_length;

// RB(I..J) segments still to be sorted.  The larger part of every partition
// is stacked and the smaller one sorted next, so entry k of the stack was
// pushed while sorting a segment of at most N/2^(k-1) elements: 32 entries
// cover every N an INTEGER can hold; the margin costs nothing.
constexpr int kStackSize = 64;

// Singleton's quicksort of rb[0..n-1] (1-based indices below), moving
// perm[] along when it is given.
//
// On ordinary data the median of three leaves RB(I) <= T <= RB(J), which
// stops both scans inside the segment, and the element before a segment
// that does not start at 1 is no larger than any element of it, which stops
// the insertion sort.  A NaN breaks those guarantees, so every scan is also
// bounded by the segment itself; on data without NaN the bounds never take
// effect and the order is exactly the method's.
void singleton_sort(double* rb, int* perm, int n) {
    auto x = [rb](int i) -> double& { return rb[i - 1]; };
    auto exchange = [&](int a, int b) {
        double t = x(a);
        x(a) = x(b);
        x(b) = t;
        if (perm != nullptr) {
            int p = perm[a - 1];
            perm[a - 1] = perm[b - 1];
            perm[b - 1] = p;
        }
    };

    std::array<int, kStackSize> il{};
    std::array<int, kStackSize> iu{};
    int m = 1;
    int i = 1;
    int j = n;
    double r = 0.375;

    enum class Step { Fresh, Partition, Short, Pop };
    Step step = Step::Fresh;
    for (;;) {
        switch (step) {
        case Step::Fresh:
            if (i == j) {
                step = Step::Pop;
                break;
            }
            if (r <= 0.5898437) {
                r += 0.0390625;
            } else {
                r -= 0.21875;
            }
            step = Step::Partition;
            break;

        case Step::Partition: {
            int k = i;
            int ij = i + static_cast<int>(static_cast<double>(j - i) * r);
            double t = x(ij);
            if (x(i) > t) {
                exchange(ij, i);
                t = x(ij);
            }
            int l = j;
            if (x(j) < t) {
                exchange(ij, j);
                t = x(ij);
                if (x(i) > t) {
                    exchange(ij, i);
                    t = x(ij);
                }
            }
            for (;;) {
                do {
                    --l;
                } while (l > i && !(x(l) <= t));
                do {
                    ++k;
                } while (k < j && !(x(k) >= t));
                if (k > l) break;
                if (x(l) != x(k)) exchange(l, k);
            }
            if (l - i > j - k) {
                il[m - 1] = i;
                iu[m - 1] = l;
                i = k;
            } else {
                il[m - 1] = k;
                iu[m - 1] = j;
                j = l;
            }
            ++m;
            step = Step::Short;
            break;
        }

        case Step::Short:
            if (j - i >= 11) {
                step = Step::Partition;
                break;
            }
            if (i == 1) {
                step = Step::Fresh;
                break;
            }
            for (int p = i + 1; p <= j; ++p) {
                double v = x(p);
                int w = perm != nullptr ? perm[p - 1] : 0;
                int q = p - 1;
                while (q >= i && x(q) > v) {
                    x(q + 1) = x(q);
                    if (perm != nullptr) perm[q] = perm[q - 1];
                    --q;
                }
                x(q + 1) = v;
                if (perm != nullptr) perm[q] = w;
            }
            step = Step::Pop;
            break;

        case Step::Pop:
            --m;
            if (m == 0) return;
            i = il[m - 1];
            j = iu[m - 1];
            step = Step::Short;
            break;
        }
    }
}

// Copies RA into RB (nothing for N < 1; RB may be RA itself), checks N and
// sorts.  ERR is the text of the N < 1 message.
void sort_vector(const char* name, const char* err, int n, std::span<const double> ra, std::span<double> rb,
                 int* perm) {
    ErrorLevel frame(name);
    if (n >= 1 && ra.data() != rb.data()) {
        for (int i = 0; i < n; ++i) rb[static_cast<std::size_t>(i)] = ra[static_cast<std::size_t>(i)];
    }
    if (n < 1) {
        MSGINT(1, n);
        E1MES(5, 1, err);
    }
    if (N1RCD(0) == 0) singleton_sort(rb.data(), perm, n);
}

}  // namespace

void DSVRGN(int n, std::span<const double> ra, std::span<double> rb) {
    if (n >= 1) {
        require_length(ra.size(), n, "DSVRGN", "RA");
        require_length(rb.size(), n, "DSVRGN", "RB");
    }
    sort_vector("DSVRGN", "N = %(I1).  The length of RA and RB, N, must be greater than or equal to one.", n, ra, rb,
                nullptr);
}

void DSVRGP(int n, std::span<const double> ra, std::span<double> rb, std::span<int> iperm) {
    if (n >= 1) {
        require_length(ra.size(), n, "DSVRGP", "RA");
        require_length(rb.size(), n, "DSVRGP", "RB");
        require_length(iperm.size(), n, "DSVRGP", "IPERM");
    }
    sort_vector("DSVRGP",
                "The length of vectors RA, RB and IPERM must be greater than or equal to one.  On input the length, "
                "N, is given as %(I1).",
                n, ra, rb, iperm.data());
}

}  // namespace orv::num2
