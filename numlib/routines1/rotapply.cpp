#include "numlib/routines1/rotapply.h"

#include <cstddef>
#include <stdexcept>
#include <string>

#include "numlib/array_args.h"
#include "numlib/routines1/rotgen.h"

namespace orv::num1 {

namespace {

using numlib::matrix_extent;
using numlib::require_length;

char option(std::string_view text) {
    if (text.empty()) return ' ';
    const char c = text.front();
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// The pair of rows or columns that rotation i of the sequence K1..K2 acts on.
void pair_of(char pivot, int i, int k1, int k2, int& p, int& q) {
    if (pivot == 'T') {
        p = k1;
        q = i + 1;
    } else if (pivot == 'B') {
        p = i;
        q = k2;
    } else {
        p = i;
        q = i + 1;
    }
}

}  // namespace

void ROTAPPLY(std::string_view side, std::string_view pivot, std::string_view direct, int m, int n, int k1,
              int k2, std::span<const double> c, std::span<const double> s, std::span<double> a, int lda) {
    const char sd = option(side);
    const char pv = option(pivot);
    const char dr = option(direct);
    if ((sd != 'L' && sd != 'R') || (pv != 'V' && pv != 'T' && pv != 'B') || (dr != 'F' && dr != 'B'))
        throw std::invalid_argument("ROTAPPLY: invalid SIDE, PIVOT or DIRECT");
    if (m <= 0 || n <= 0 || k1 < 1 || k2 <= k1 || k2 > (sd == 'L' ? m : n)) return;
    require_length(c.size(), k2 - 1, "ROTAPPLY", "C");
    require_length(s.size(), k2 - 1, "ROTAPPLY", "S");
    if (lda < m) throw std::length_error("ROTAPPLY: LDA is smaller than M");
    require_length(a.size(), matrix_extent(m, n, lda), "ROTAPPLY", "A");

    const std::size_t ld = static_cast<std::size_t>(lda);
    const int first = dr == 'F' ? k1 : k2 - 1;
    const int step = dr == 'F' ? 1 : -1;
    const int count = k2 - k1;
    if (sd == 'L') {
        // Columns are independent, so each column takes the whole sequence in turn.
        for (int j = 0; j < n; ++j) {
            double* col = a.data() + static_cast<std::size_t>(j) * ld;
            for (int r = 0, i = first; r < count; ++r, i += step) {
                const double ci = c[i - 1], si = s[i - 1];
                if (ci == 1.0 && si == 0.0) continue;
                int p = 0, q = 0;
                pair_of(pv, i, k1, k2, p, q);
                const double x = col[p - 1], y = col[q - 1];
                col[p - 1] = ci * x + si * y;
                col[q - 1] = ci * y - si * x;
            }
        }
    } else {
        for (int r = 0, i = first; r < count; ++r, i += step) {
            const double ci = c[i - 1], si = s[i - 1];
            if (ci == 1.0 && si == 0.0) continue;
            int p = 0, q = 0;
            pair_of(pv, i, k1, k2, p, q);
            double* cx = a.data() + static_cast<std::size_t>(p - 1) * ld;
            double* cy = a.data() + static_cast<std::size_t>(q - 1) * ld;
            for (int row = 0; row < m; ++row) {
                const double x = cx[row], y = cy[row];
                cx[row] = ci * x + si * y;
                cy[row] = ci * y - si * x;
            }
        }
    }
}

void TRIROT(std::string_view side, int n, int k1, int k2, std::span<double> c, std::span<double> s,
            std::span<double> a, int lda) {
    if (option(side) != 'R') throw std::invalid_argument("TRIROT: only SIDE \"R\" is provided");
    if (n <= 0 || k1 < 1 || k2 <= k1 || k2 > n) return;
    require_length(c.size(), k2 - 1, "TRIROT", "C");
    require_length(s.size(), k2 - 1, "TRIROT", "S");
    if (lda < n) throw std::length_error("TRIROT: LDA is smaller than N");
    require_length(a.size(), matrix_extent(n, n, lda), "TRIROT", "A");
    const std::size_t ld = static_cast<std::size_t>(lda);
    auto at = [&](int i, int j) -> double& { return a[static_cast<std::size_t>(i - 1) + (j - 1) * ld]; };

    for (int p = k2 - 1; p >= k1; --p) {
        const double cc = c[p - 1], ss = s[p - 1];
        if (cc == 1.0 && ss == 0.0) continue;
        // Column rotation of columns p, p+1 over the rows of the triangle.
        for (int r = 1; r <= p; ++r) {
            const double x = at(r, p), y = at(r, p + 1);
            at(r, p) = cc * x + ss * y;
            at(r, p + 1) = cc * y - ss * x;
        }
        double below = ss * at(p + 1, p + 1);  // the element it leaves at (p+1, p)
        at(p + 1, p + 1) = cc * at(p + 1, p + 1);
        // Row rotation of rows p, p+1 that removes it, applied at once to the
        // columns to the right.
        double cr = 1.0, sr = 0.0;
        ROTGEN(at(p, p), below, cr, sr);
        if (!(cr == 1.0 && sr == 0.0)) {
            for (int j = p + 1; j <= n; ++j) {
                const double x = at(p, j), y = at(p + 1, j);
                at(p, j) = cr * x + sr * y;
                at(p + 1, j) = cr * y - sr * x;
            }
        }
        c[p - 1] = cr;
        s[p - 1] = sr;
    }
}

}  // namespace orv::num1
