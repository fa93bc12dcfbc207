#include "numlib/routines2/devlrg_parallel.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>

#include "numlib/routines2/eigen_team.h"
#include "process/team.h"
#include "process/thread_policy.h"

namespace orv::num2::detail {
namespace {

// The rows of the blocks that pass from part to part of a reduction step.
constexpr int kStepBlockRows = 64;

// Parts a reduction step of an N by N matrix at step M is cut into.
int hessenberg_parts(int n, int m, const team::Team& team) {
    return std::clamp((n - m) / proc::policy::kEigenStepColumns, 1, team.size());
}

}  // namespace

void hessenberg_step(double* a, std::size_t ld, int n, int m, int igh, int pivot, double x, double* work,
                     BlockProgress* progress, team::Team& team) {
    const Matrix am{a, ld};
    double* const y = work - 1;           // y[r], r = M+1..IGH: the multipliers
    double* const before = work + n - 1;  // before[r]: A(M,M) as row op r reads it
    for (int r = m + 1; r <= igh; ++r) {
        const double v = am(r, m - 1) / x;
        am(r, m - 1) = v;
        y[r] = v;
    }
    const int parts = hessenberg_parts(n, m, team);
    const int blocks = parts == 1 ? 1 : (igh + kStepBlockRows - 1) / kStepBlockRows;  // at most kStepBlockRows rows
    for (int k = 0; k < parts; ++k) progress[k].blocks.store(0, std::memory_order_relaxed);

    // Column M gains y(r) A(j,r) for r = M+1..IGH in turn in every row j,
    // and a row j > M also loses y(j) A(M,M) as A(M,M) stood at r = j.  A
    // part owns a range of the columns right of M: it exchanges rows PIVOT
    // and M in them, takes their row operations, and adds their terms to
    // column M a block of rows at a time, after the part to its left has
    // added its own terms to that block.  So every sum keeps its column
    // order, and A(M,M) itself is the sum of row M.
    auto body = [&](int t, int nt) {
        const int first = m + 1 + static_cast<int>(static_cast<std::int64_t>(n - m) * t / nt);
        const int last = m + static_cast<int>(static_cast<std::int64_t>(n - m) * (t + 1) / nt);
        if (pivot != m) {
            for (int r = first; r <= last; ++r) std::swap(am(pivot, r), am(m, r));
        }
        double* const column_m = am.column(m);
        const int top_last = std::min(igh, last);
        // The block of column M in flight is summed in a buffer of the
        // part's own: other parts write the blocks next to it meanwhile.
        double buffer[kStepBlockRows];
        for (int b = 0; b < blocks; ++b) {
            const int lo = 1 + static_cast<int>(static_cast<std::int64_t>(igh) * b / blocks);
            const int hi = static_cast<int>(static_cast<std::int64_t>(igh) * (b + 1) / blocks);
            if (t > 0) proc::Team::wait_for(t - 1, progress[t - 1].blocks, b + 1);
            double* const colm = blocks == 1 ? column_m : buffer - lo;
            if (blocks > 1) std::copy(column_m + lo, column_m + hi + 1, buffer);
            const int above_last = std::min(hi, m - 1);
            const int below_first = std::max(lo, m + 1);
            const bool has_m = lo <= m && m <= hi;
            for (int r = first; r <= top_last; ++r) {
                double* const col = am.column(r);
                const double amr = col[m];
                const double yr = y[r];
                for (int j = lo; j <= above_last; ++j) colm[j] = colm[j] + yr * col[j];
                if (has_m) {
                    before[r] = colm[m];
                    colm[m] = colm[m] + yr * amr;
                }
                const int done_last = std::min(hi, r - 1);
                for (int j = below_first; j <= done_last; ++j) {
                    const double c = col[j] - y[j] * amr;
                    col[j] = c;
                    colm[j] = colm[j] + yr * c;
                }
                if (r >= below_first && r <= hi) {
                    colm[r] = colm[r] - yr * before[r];
                    const double c = col[r] - yr * amr;
                    col[r] = c;
                    colm[r] = colm[r] + yr * c;
                }
                for (int j = std::max(below_first, r + 1); j <= hi; ++j) {
                    colm[j] = colm[j] + yr * col[j];
                    col[j] = col[j] - y[j] * amr;
                }
            }
            if (blocks > 1) std::copy(buffer, buffer + (hi - lo + 1), column_m + lo);
            proc::publish(progress[t].blocks, b + 1);
        }
        // Columns right of IGH take the row operations alone.
        for (int r = std::max(first, igh + 1); r <= last; ++r) {
            double* const col = am.column(r);
            const double amr = col[m];
            for (int j = m + 1; j <= igh; ++j) col[j] = col[j] - y[j] * amr;
        }
    };
    team.run(parts, body);
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

// The reflections of a block of steps of the chase, in step order.
struct ChaseBlock {
    const Reflection* refl;
    const int* steps;
    int count;
};

// Row operations of the block on columns FIRST..LAST, rows K..K+2 of each
// step.  A tile of columns at a time, each step across the tile: the
// columns are independent, so their updates overlap instead of waiting on
// one column's chain of steps.
void block_to_columns(const Matrix& hm, const ChaseBlock& blk, int first, int last) {
    constexpr int kTile = 16;
    for (int c0 = first; c0 <= last; c0 += kTile) {
        const int width = std::min(kTile, last - c0 + 1);
        double* const col0 = hm.column(c0);
        for (int s = 0; s < blk.count; ++s) {
            const Reflection& f = blk.refl[s];
            const int k = blk.steps[s];
            for (int c = 0; c < width; ++c) {
                double* const col = col0 + static_cast<std::size_t>(c) * hm.ld;
                const double tt = col[k] + f.q * col[k + 1] + f.r * col[k + 2];
                col[k] = col[k] - tt * f.x;
                col[k + 1] = col[k + 1] - tt * f.y;
                col[k + 2] = col[k + 2] - tt * f.z;
            }
        }
    }
}

// Column operations of the block on rows FIRST..LAST, columns K..K+2 of
// each step: a tile of rows at a time through all the steps, so that the
// tile's part of the block's columns stays in cache.
void block_to_rows(const Matrix& hm, const ChaseBlock& blk, int first, int last) {
    constexpr int kRows = 32;
    for (int i0 = first; i0 <= last; i0 += kRows) {
        const int i1 = std::min(last, i0 + kRows - 1);
        for (int s = 0; s < blk.count; ++s) {
            const Reflection& f = blk.refl[s];
            const int k = blk.steps[s];
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
}

// Forms the reflections of steps K0..K1 and applies them near the
// diagonal: to columns up to WEND and rows from max(L, K0).
int form_block(double* h, std::size_t ld, int l, int m, int en, int k0, int k1, int wend, double& p, double& q,
               double& r, Reflection* refl, int* steps) {
    const int near_top = std::max(l, k0);
    int count = 0;
    for (int k = k0; k <= k1; ++k) {
        Reflection& f = refl[count];
        if (!chase_reflection(h, ld, l, m, en, k, p, q, r, f)) continue;
        apply_reflection(h, ld, f, k, en, wend, near_top);
        steps[count] = k;
        ++count;
    }
    return count;
}

// The chase on one thread, a block of steps at a time: the block's
// reflections near the diagonal, then the columns right of it and the
// rows above it.
void chase_bulge_alone(double* h, std::size_t ld, int l, int m, int en, double p, double q, double r) {
    const Matrix hm{h, ld};
    constexpr int kMaxBlock = 64;
    std::array<Reflection, kMaxBlock> refl{};
    std::array<int, kMaxBlock> steps{};
    const int block = chase_block(en - l + 1);
    for (int k0 = m; k0 <= en - 1; k0 += block) {
        const int k1 = std::min(k0 + block - 1, en - 1);
        const int wend = std::min(en, k1 + 2);
        const int count = form_block(h, ld, l, m, en, k0, k1, wend, p, q, r, refl.data(), steps.data());
        const ChaseBlock blk{refl.data(), steps.data(), count};
        block_to_columns(hm, blk, wend + 1, en);
        block_to_rows(hm, blk, l, std::max(l, k0) - 1);
    }
}

// Steps in a block of the threaded chase, and rows in a block that passes
// from owner to owner.
constexpr int kTeamBlock = 32;
constexpr int kTeamRows = 64;

}  // namespace

void chase_bulge(double* h, std::size_t ld, int l, int m, int en, double p, double q, double r, team::Team& team,
                 ChaseWork& work) {
    const int order = en - l + 1;
    const int owners = team.size() - 1;
    if (owners < 1 || order < proc::policy::kChaseTeamOrder) {
        chase_bulge_alone(h, ld, l, m, en, p, q, r);
        return;
    }
    // Chases alone and on the team are timed in turn, and the faster way
    // takes the chases that follow: on a machine busy with other work the
    // owners wait on one another more than they gain.
    const auto start = std::chrono::steady_clock::now();
    auto record = [&] {
        work.pace.record(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    };
    if (work.pace.alone()) {
        chase_bulge_alone(h, ld, l, m, en, p, q, r);
        record();
        return;
    }
    const Matrix hm{h, ld};
    const int steps_total = en - m;  // steps M..EN-1
    const int blocks = (steps_total + kTeamBlock - 1) / kTeamBlock;
    const int row_blocks = (order + kTeamRows - 1) / kTeamRows;
    work.refl.resize(static_cast<std::size_t>(steps_total));
    work.steps.resize(static_cast<std::size_t>(steps_total));
    work.counts.resize(static_cast<std::size_t>(blocks));
    if (work.owners < owners) {
        work.row_ops.reset(new BlockProgress[static_cast<std::size_t>(owners) + 1]);
        work.col_ops.reset(new BlockProgress[static_cast<std::size_t>(owners) + 1]);
        work.owners = owners;
    }
    for (int w = 0; w <= owners; ++w) {
        work.row_ops[w].blocks.store(0, std::memory_order_relaxed);
        work.col_ops[w].blocks.store(0, std::memory_order_relaxed);
    }
    work.published.store(0, std::memory_order_relaxed);

    auto k0_of = [&](int b) { return m + b * kTeamBlock; };
    auto k1_of = [&](int b) { return std::min(k0_of(b) + kTeamBlock - 1, en - 1); };
    // Columns up to WEND(B) take the row operations of block B near the
    // diagonal; past the last block all columns are near.
    auto wend_of = [&](int b) { return b >= blocks ? en : std::min(en, k1_of(b) + 2); };
    auto block_of = [&](int b) {
        const std::size_t at = static_cast<std::size_t>(b) * kTeamBlock;
        return ChaseBlock{work.refl.data() + at, work.steps.data() + at, work.counts[static_cast<std::size_t>(b)]};
    };
    // Owner w (1..OWNERS) owns the columns SLICE(w)..SLICE(w+1)-1 of L..EN
    // for the whole chase: their data stay in its cache.  A column c costs
    // about c - L operations of each kind, so the slices narrow to the
    // right to carry equal work.
    auto slice = [&](int w) {
        if (w > owners) return en + 1;
        const double share = std::sqrt(static_cast<double>(w - 1) / owners);
        return l + static_cast<int>(share * order);
    };
    auto owner = [&](int c) {
        int w = 1;
        while (w < owners && slice(w + 1) <= c) ++w;
        return w;
    };

    // Part 0 forms the reflections of each block and applies them near the
    // diagonal: row operations on the columns up to the next block's WEND
    // (taking over a column once its owner has applied the blocks before)
    // and column operations on the rows from the block's first step down.
    // Each owner applies the row operations of every block to its columns
    // right of that, in block order, and, once the chase has left its
    // columns, the column operations of its own blocks (those whose first
    // step is in its columns) to the rows above them: a block of rows at a
    // time, after the owner to its left has done its blocks on those rows,
    // since each row takes the column operations of all steps in order.
    auto body = [&](int t, int) {
        if (t == 0) {
            for (int b = 0; b < blocks; ++b) {
                const int k0 = k0_of(b);
                const std::size_t at = static_cast<std::size_t>(b) * kTeamBlock;
                work.counts[static_cast<std::size_t>(b)] = form_block(h, ld, l, m, en, k0, k1_of(b), wend_of(b), p, q,
                                                                      r, work.refl.data() + at, work.steps.data() + at);
                proc::publish(work.published, b + 1);
                const int first = wend_of(b) + 1;
                const int last = wend_of(b + 1);
                if (first > last) continue;
                for (int w = owner(first); w <= owner(last); ++w) proc::Team::wait_for(w, work.row_ops[w].blocks, b);
                block_to_columns(hm, block_of(b), first, last);
            }
            return;
        }
        const int w = t;
        const int first = slice(w);
        const int last = slice(w + 1) - 1;
        // Row operations on the columns right of the near ones.
        for (int b = 0; b < blocks; ++b) {
            const int from = std::max(first, wend_of(b + 1) + 1);
            if (from > last) break;
            proc::Team::wait_for(0, work.published, b + 1);
            block_to_columns(hm, block_of(b), from, last);
            proc::publish(work.row_ops[w].blocks, b + 1);
        }
        proc::publish(work.row_ops[w].blocks, blocks);
        // Column operations of the blocks that start in these columns.
        int own_first = 0;
        while (own_first < blocks && k0_of(own_first) < first) ++own_first;
        int own_end = own_first;
        while (own_end < blocks && k0_of(own_end) <= last) ++own_end;
        if (own_end > own_first) proc::Team::wait_for(0, work.published, own_end);
        for (int rb = 0; rb < row_blocks; ++rb) {
            const int r0 = l + rb * kTeamRows;
            const int r1 = std::min(en, r0 + kTeamRows - 1);
            if (w > 1) proc::Team::wait_for(w - 1, work.col_ops[w - 1].blocks, rb + 1);
            for (int b = own_first; b < own_end; ++b) {
                const int top = std::min(r1, std::max(l, k0_of(b)) - 1);
                if (top >= r0) block_to_rows(hm, block_of(b), r0, top);
            }
            proc::publish(work.col_ops[w].blocks, rb + 1);
        }
    };
    // The team has helpers (OWNERS is at least 1), so the run takes place;
    // the chase goes alone, from the start, should it not.
    if (!team.run_together(body)) chase_bulge_alone(h, ld, l, m, en, p, q, r);
    record();
}

}  // namespace orv::num2::detail
