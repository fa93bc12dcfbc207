#include "numlib/routines2/devlrg_parallel.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "numlib/routines2/eigen_team.h"

namespace orv::num2::detail {
namespace {

// Part T of THREADS of the rows 1..IGH without M, the rows above M weighing
// LOW and those below it HIGH.
team::Range weighted_rows(int m, int igh, std::int64_t low, std::int64_t high, int t, int threads) {
    const std::int64_t above = static_cast<std::int64_t>(m - 1) * low;
    const std::int64_t total = above + static_cast<std::int64_t>(igh - m) * high;
    auto row = [&](int k) -> int {  // first row of part k
        if (k <= 0) return 1;
        if (k >= threads) return igh + 1;
        const std::int64_t w = total * k / threads;
        if (w < above) return 1 + static_cast<int>(w / low);
        return std::min(igh + 1, m + 1 + static_cast<int>((w - above) / high));
    };
    return {row(t), row(t + 1) - 1};
}

}  // namespace

void hessenberg_step(double* a, std::size_t ld, int n, int m, int igh, double x, double* work, team::Team& team) {
    const Matrix am{a, ld};
    double* const y = work - 1;           // y[r], r = M+1..IGH: the multipliers
    double* const before = work + n - 1;  // before[r]: A(M,M) as row op r reads it
    for (int r = m + 1; r <= igh; ++r) {
        const double v = am(r, m - 1) / x;
        am(r, m - 1) = v;
        y[r] = v;
    }
    // A(M,M) gains y(r) A(M,r) at each r, and row r reads it before that.
    double amm = am(m, m);
    for (int r = m + 1; r <= igh; ++r) {
        before[r] = amm;
        amm = amm + y[r] * am(m, r);
    }
    am(m, m) = amm;

    // Every row but M is then independent of the others: row I' (M < I')
    // takes the column operations r < I' on its old elements, its own row
    // operation, and the column operations r >= I' on its new elements.
    auto body = [&](int t, int nt) {
        const std::int64_t span = igh - m;
        const team::Range rows = weighted_rows(m, igh, std::max<std::int64_t>(span, 1),
                                               2 * span + (n - igh) + 1, t, nt);
        const int lo_first = rows.first;
        const int lo_last = std::min(rows.last, m - 1);
        const int hi_first = std::max(rows.first, m + 1);
        const int hi_last = rows.last;
        double* const colm = am.column(m);
        for (int r = m + 1; r <= n; ++r) {
            double* const col = am.column(r);
            const double amr = am(m, r);
            if (r <= igh) {
                const double yr = y[r];
                for (int j = lo_first; j <= lo_last; ++j) colm[j] = colm[j] + yr * col[j];
                const int done_last = std::min(hi_last, r - 1);
                for (int j = hi_first; j <= done_last; ++j) {
                    const double c = col[j] - y[j] * amr;
                    col[j] = c;
                    colm[j] = colm[j] + yr * c;
                }
                if (r >= hi_first && r <= hi_last) {
                    colm[r] = colm[r] - yr * before[r];
                    const double c = col[r] - yr * amr;
                    col[r] = c;
                    colm[r] = colm[r] + yr * c;
                }
                for (int j = std::max(hi_first, r + 1); j <= hi_last; ++j) {
                    colm[j] = colm[j] + yr * col[j];
                    col[j] = col[j] - y[j] * amr;
                }
            } else {
                for (int j = hi_first; j <= hi_last; ++j) col[j] = col[j] - y[j] * amr;
            }
        }
    };
    // About a thousand elements a thread at least.
    const std::int64_t elements = static_cast<std::int64_t>(n - m) * igh;
    team.run(team.parts(elements, 8192), body);
}

bool chase_reflection(double* h, std::size_t ld, int l, int m, int en, int k, double& p, double& q, double& r,
                      Reflection& f) {
    const Matrix hm{h, ld};
    const bool notlast = k != en - 1;
    double scaling = 1.0;
    if (k != m) {
        p = hm(k, k - 1);
        q = hm(k + 1, k - 1);
        r = notlast ? hm(k + 2, k - 1) : 0.0;
        scaling = std::max({std::abs(p), std::abs(q), std::abs(r)});
        if (scaling == 0.0) return false;
        p /= scaling;
        q /= scaling;
        r /= scaling;
        // The bulge below the subdiagonal is annihilated by this reflection.
        hm(k + 1, k - 1) = 0.0;
        if (notlast) hm(k + 2, k - 1) = 0.0;
    }
    const double s = std::copysign(std::sqrt(p * p + q * q + r * r), p);
    if (s == 0.0) return false;
    if (k != m) hm(k, k - 1) = -s * scaling;
    p = p + s;
    f.x = p / s;
    f.y = q / s;
    f.z = r / s;
    q = q / p;
    r = r / p;
    f.q = q;
    f.r = r;
    f.notlast = notlast;
    if (k == m && m > l) hm(k, k - 1) = hm(k, k - 1) * (1.0 - f.x);
    return true;
}

void apply_reflection(double* h, std::size_t ld, const Reflection& f, int k, int en, int last_column, int first_row) {
    const Matrix hm{h, ld};
    const int last = std::min(en, k + 3);
    if (f.notlast) {
        for (int j = k; j <= last_column; ++j) {
            const double t = hm(k, j) + f.q * hm(k + 1, j) + f.r * hm(k + 2, j);
            hm(k, j) = hm(k, j) - t * f.x;
            hm(k + 1, j) = hm(k + 1, j) - t * f.y;
            hm(k + 2, j) = hm(k + 2, j) - t * f.z;
        }
        for (int i = first_row; i <= last; ++i) {
            const double t = f.x * hm(i, k) + f.y * hm(i, k + 1) + f.z * hm(i, k + 2);
            hm(i, k) = hm(i, k) - t;
            hm(i, k + 1) = hm(i, k + 1) - t * f.q;
            hm(i, k + 2) = hm(i, k + 2) - t * f.r;
        }
    } else {
        for (int j = k; j <= last_column; ++j) {
            const double t = hm(k, j) + f.q * hm(k + 1, j);
            hm(k, j) = hm(k, j) - t * f.x;
            hm(k + 1, j) = hm(k + 1, j) - t * f.y;
        }
        for (int i = first_row; i <= last; ++i) {
            const double t = f.x * hm(i, k) + f.y * hm(i, k + 1);
            hm(i, k) = hm(i, k) - t;
            hm(i, k + 1) = hm(i, k + 1) - t * f.q;
        }
    }
}

namespace {

// Steps of the chase formed near the diagonal before their application
// further out is shared.
int chase_block(int order) { return std::clamp(order / 12, 16, 64); }

}  // namespace

void chase_bulge(double* h, std::size_t ld, int l, int m, int en, double p, double q, double r, team::Team& team) {
    const Matrix hm{h, ld};
    constexpr int kMaxBlock = 64;
    std::array<Reflection, kMaxBlock> refl{};
    std::array<int, kMaxBlock> steps{};
    const int block = chase_block(en - l + 1);

    for (int k0 = m; k0 <= en - 1; k0 += block) {
        const int k1 = std::min(k0 + block - 1, en - 1);
        const int wend = std::min(en, k1 + 2);
        const int near_top = std::max(l, k0);
        int count = 0;
        for (int k = k0; k <= k1; ++k) {
            Reflection& f = refl[static_cast<std::size_t>(count)];
            if (!chase_reflection(h, ld, l, m, en, k, p, q, r, f)) continue;
            // Columns up to WEND and rows from NEAR_TOP now; the rest below.
            apply_reflection(h, ld, f, k, en, wend, near_top);
            steps[static_cast<std::size_t>(count)] = k;
            ++count;
        }
        if (count == 0) continue;

        // The columns right of WEND take the row operations of the block
        // (all of three rows: the last step has WEND = EN), the rows above
        // K0 its column operations, each element its steps in order.  The
        // two regions do not meet, so they are shared out as one list.
        const int far_columns = en - wend;
        const int far_rows = k0 - l;
        const int units = far_columns + far_rows;
        if (units <= 0) continue;
        auto body = [&](int t, int nt) {
            const int first = static_cast<int>(static_cast<std::int64_t>(units) * t / nt);
            const int end = static_cast<int>(static_cast<std::int64_t>(units) * (t + 1) / nt);
            // A tile of columns at a time, each step across the tile: the
            // columns are independent, so their updates overlap instead of
            // waiting on one column's chain of steps.
            constexpr int kTile = 16;
            const int columns_end = std::min(end, far_columns);
            for (int u0 = first; u0 < columns_end; u0 += kTile) {
                const int width = std::min(kTile, columns_end - u0);
                double* const col0 = hm.column(wend + 1 + u0);
                for (int s = 0; s < count; ++s) {
                    const Reflection& f = refl[static_cast<std::size_t>(s)];
                    const int k = steps[static_cast<std::size_t>(s)];
                    for (int c = 0; c < width; ++c) {
                        double* const col = col0 + static_cast<std::size_t>(c) * ld;
                        const double tt = col[k] + f.q * col[k + 1] + f.r * col[k + 2];
                        col[k] = col[k] - tt * f.x;
                        col[k + 1] = col[k + 1] - tt * f.y;
                        col[k + 2] = col[k + 2] - tt * f.z;
                    }
                }
            }
            const int row_first = l + std::max(first - far_columns, 0);
            const int row_last = l + (end - far_columns) - 1;
            // A tile of rows at a time through all the steps, so that the
            // tile's part of the block's columns stays in cache.
            constexpr int kRows = 32;
            for (int i0 = row_first; i0 <= row_last; i0 += kRows) {
                const int i1 = std::min(row_last, i0 + kRows - 1);
                for (int s = 0; s < count; ++s) {
                    const Reflection& f = refl[static_cast<std::size_t>(s)];
                    const int k = steps[static_cast<std::size_t>(s)];
                    double* const c0 = hm.column(k);
                    double* const c1 = hm.column(k + 1);
                    if (f.notlast) {
                        double* const c2 = hm.column(k + 2);
                        for (int i = i0; i <= i1; ++i) {
                            const double tt = f.x * c0[i] + f.y * c1[i] + f.z * c2[i];
                            c0[i] = c0[i] - tt;
                            c1[i] = c1[i] - tt * f.q;
                            c2[i] = c2[i] - tt * f.r;
                        }
                    } else {
                        for (int i = i0; i <= i1; ++i) {
                            const double tt = f.x * c0[i] + f.y * c1[i];
                            c0[i] = c0[i] - tt;
                            c1[i] = c1[i] - tt * f.q;
                        }
                    }
                }
            }
        };
        // A few columns or rows per thread at least, else the hand-off
        // costs more than it shares.
        team.run(team.parts(units, 24), body);
    }
}

}  // namespace orv::num2::detail
