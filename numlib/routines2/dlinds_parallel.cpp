#include "numlib/routines2/dlinds_parallel.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>

#include "numlib/routines2/columns.h"
#include "numlib/routines2/eigen_team.h"
#include "numlib/routines2/umach.h"
#include "process/thread_policy.h"

namespace orv::num2 {
namespace {

// The progress of a column-by-column elimination: K when columns 1..K are
// finished, -K when column K could not be (and 1..K-1 are).
class Progress {
public:
    void finished(int k) { state_.store(k, std::memory_order_release); }
    void failed(int k) { state_.store(-k, std::memory_order_release); }
    int state() const { return state_.load(std::memory_order_acquire); }
    // The column that could not be finished, or 0.
    int failure() const {
        const int s = state();
        return s < 0 ? -s : 0;
    }

private:
    std::atomic<int> state_{0};
};

}  // namespace

int dlinds_parallel_order() {
    const int order = proc::setting(proc::Setting::kDlindsOrder);
    return order > 0 ? order : proc::policy::kDlindsBlockedOrder;
}

int dlinds_threads(int n) {
    if (n < dlinds_parallel_order()) return 0;
    // An order that is set (tests, benchmarks) lets helpers in from that
    // order on, with a share of columns no larger than it.
    const int set = proc::setting(proc::Setting::kDlindsOrder);
    if (set == 0 && n < proc::policy::kDlindsHelpersOrder) return 1;
    const int share = set > 0 ? std::min(proc::policy::kDlindsColumnsPerThread, set) : proc::policy::kDlindsColumnsPerThread;
    return proc::team_size(eigen_threads(), n, share);
}

namespace detail {

double safe_minimum() {
    double small = DMACH(1);
    if (small * DMACH(2) < 1.0) small = 1.0 / DMACH(2);
    return small;
}

bool same_or_apart(const double* a, std::size_t lda, const double* b, std::size_t ldb, int n) {
    if (a == b) return lda == ldb;
    const auto first_a = reinterpret_cast<std::uintptr_t>(a), first_b = reinterpret_cast<std::uintptr_t>(b);
    const auto extent = [n](std::size_t ld) {
        return (static_cast<std::size_t>(n - 1) * ld + static_cast<std::size_t>(n)) * sizeof(double);
    };
    return first_a + extent(lda) <= first_b || first_b + extent(ldb) <= first_a;
}

namespace {

// The terms of a fused update of one column: X_k (a column of the matrix,
// from the first row updated) times T_k, for the steps k in turn.
// Only the first COUNT are set.
struct Terms {
    const double* x[kBlockColumns];
    double t[kBlockColumns];
    int count = 0;
    void add(const double* xk, double tk) {
        x[count] = xk;
        t[count] = tk;
        ++count;
    }
};

// A(0..M-1) gains (SUB: loses) X_k(i) T_k for the terms K..K+N-1, each
// element taking them one after the other as the step-by-step loops do.
template <bool Sub, int N>
void fused_pass(int m, double* __restrict a, const Terms& terms, int k) {
    const double* x[N];
    double t[N];
    for (int q = 0; q < N; ++q) {
        x[q] = terms.x[k + q];
        t[q] = terms.t[k + q];
    }
    for (int i = 0; i < m; ++i) {
        double v = a[i];
        for (int q = 0; q < N; ++q) {
            if constexpr (Sub) {
                v -= x[q][i] * t[q];
            } else {
                v = v + x[q][i] * t[q];
            }
        }
        a[i] = v;
    }
}

// All the terms, eight a pass.
template <bool Sub>
void fused_update(int m, double* a, const Terms& terms) {
    if (m <= 0) return;
    int k = 0;
    for (; k + 8 <= terms.count; k += 8) fused_pass<Sub, 8>(m, a, terms, k);
    if (k + 4 <= terms.count) {
        fused_pass<Sub, 4>(m, a, terms, k);
        k += 4;
    }
    switch (terms.count - k) {
        case 3: fused_pass<Sub, 3>(m, a, terms, k); break;
        case 2: fused_pass<Sub, 2>(m, a, terms, k); break;
        case 1: fused_pass<Sub, 1>(m, a, terms, k); break;
        default: break;
    }
}

// How long a thread without work of its own waits before it takes work
// from the others' blocks (their thread is late, or has more to do).
constexpr auto kStealAfter = std::chrono::microseconds(20);

// A chunk of blocks of columns that the product takes together: at most so
// many blocks, their columns about a quarter of a core's 1 MB cache.
constexpr int kChunkBlocks = 32;
constexpr std::size_t kChunkElements = 32768;

// The blocks of kBlockColumns columns of an N x N matrix.
struct Blocks {
    int n;
    int count() const { return (n + kBlockColumns - 1) / kBlockColumns; }
    int first(int b) const { return b * kBlockColumns + 1; }
    int last(int b) const { return std::min(n, (b + 1) * kBlockColumns); }
};

// A thread's wait for work: it looks at its own blocks for kStealAfter,
// pausing between looks (proc::Waiting), then at everyone's, and once that
// finds nothing either it sleeps until a block is given back (proc::Signal).
class Idle {
public:
    void reset() { waiting_.reset(); }
    // One more look at its own blocks without work; true once the thread
    // may take others'.
    bool turn() {
        if (!waiting_) waiting_.emplace();
        return waiting_->lasted() || waiting_->elapsed() > kStealAfter;
    }

private:
    std::optional<proc::Waiting> waiting_;
};

// What one block of columns has taken: the number of blocks whose steps it
// has (-1 before its copy of the input), and whether a thread holds it.
struct alignas(64) BlockWork {
    std::atomic<int> applied{-1};
    std::atomic<bool> busy{false};
    bool take() { return !busy.load(std::memory_order_relaxed) && !busy.exchange(true, std::memory_order_acquire); }
    // Given back: a thread that sleeps on FREED for work may find some.
    void leave(proc::Signal& freed) {
        busy.store(false, std::memory_order_release);
        freed.notify();
    }
};

// Claims on the blocks of columns of one run, each block taken once.
class Claims {
public:
    explicit Claims(int count) : taken_(new std::atomic<bool>[static_cast<std::size_t>(count)]), count_(count) {
        for (int x = 0; x < count; ++x) taken_[x].store(false, std::memory_order_relaxed);
    }
    bool take(int x) { return !taken_[x].load(std::memory_order_relaxed) && !taken_[x].exchange(true); }
    // The next block thread P of THREADS takes: its own (P, P + THREADS,
    // ...) from OWN on, then any from OTHER on; -1 when none is left.
    int next(int& own, int& other, int threads) {
        for (; own < count_; own += threads) {
            if (take(own)) return own;
        }
        for (; other < count_; ++other) {
            if (take(other)) return other++;
        }
        return -1;
    }

private:
    std::unique_ptr<std::atomic<bool>[]> taken_;
    int count_;
};

// F(k) for the columns K = FIRST..LAST, a block of columns at a time, on the
// crew: each thread its own blocks first, then those left.  Without a crew,
// the columns in turn.
template <typename F>
void each_column(Crew* crew, int n, int first, int last, F f) {
    if (crew == nullptr) {
        for (int k = first; k <= last; ++k) f(k);
        return;
    }
    const Blocks blocks{n};
    Claims claims(blocks.count());
    auto body = [&](int p, int threads) {
        int own = p, other = 0;
        for (int x; (x = claims.next(own, other, threads)) >= 0;) {
            for (int k = std::max(first, blocks.first(x)); k <= std::min(last, blocks.last(x)); ++k) f(k);
        }
    };
    crew->run_open(body);
}

// The elimination the factorisation and the triangular inverse share:
// column K takes steps 1..K-1 in turn, then is finished, and step J needs
// column J finished.  The columns go in blocks: a block takes the steps of
// each finished block before it, a block at a time, and once it has them
// all, its own steps column by column as it finishes them (the panel).
// Each thread works on its own blocks, the lowest first, so that the next
// panel is done early; a thread without work takes blocks whose thread is
// late.  A block is held by one thread at a time, and takes its steps in
// order whoever does them.  Without a crew, the blocks go in turn.
//   prepare(k): column K's copy of the input;
//   apply(s0, s1, k): steps S0..S1 (S1 < K) on column K;
//   finish(k): false when column K cannot be finished.
// Returns 0 or the column F that could not be finished; every column after
// it has then taken the steps before F, as in the step-by-step loops.
template <typename Prepare, typename Apply, typename Finish>
int eliminate(Crew* crew, int n, Prepare prepare, Apply apply, Finish finish) {
    const Blocks blocks{n};
    const int nb = blocks.count();
    auto steps_on = [&](int s0, int s1, int x) {
        if (s0 > s1) return;
        for (int k = blocks.first(x); k <= blocks.last(x); ++k) apply(s0, s1, k);
    };
    // Block X's panel: 0, or the column that could not be finished (the
    // columns after it in the block then brought to its step).
    auto panel = [&](int x) {
        const int first = blocks.first(x), last = blocks.last(x);
        for (int k = first; k <= last; ++k) {
            if (k > first) apply(first, k - 1, k);
            if (!finish(k)) {
                if (k > first) {
                    for (int later = k + 1; later <= last; ++later) apply(first, k - 1, later);
                }
                return k;
            }
        }
        return 0;
    };
    if (crew == nullptr) {
        int failed = 0;
        for (int x = 0; x < nb; ++x) {
            for (int k = blocks.first(x); k <= blocks.last(x); ++k) prepare(k);
            const int full = failed == 0 ? x : (failed - 1) / kBlockColumns;
            for (int a = 0; a < full; ++a) steps_on(blocks.first(a), blocks.last(a), x);
            if (failed == 0) {
                failed = panel(x);
            } else {
                steps_on(blocks.first(full), failed - 1, x);
            }
        }
        return failed;
    }

    std::unique_ptr<BlockWork[]> work(new BlockWork[static_cast<std::size_t>(nb)]);
    Progress progress;
    std::atomic<int> settled{0};  // blocks that need nothing more
    proc::Signal freed;           // a block given back

    // The blocks whose steps may be taken now (FULL) and, after a failure
    // in block FAILED at column COLUMN, that block's steps before COLUMN.
    struct Ready {
        int full;
        int failed;
        int column;
    };
    auto ready = [&]() -> Ready {
        const int s = progress.state();
        if (s >= 0) return {s == n ? nb : s / kBlockColumns, nb, 0};
        const int f = (-s - 1) / kBlockColumns;
        return {f, f, -s};
    };
    auto has_work = [&](int x, const Ready& r) {
        const int a = work[x].applied.load(std::memory_order_acquire);
        if (a < 0) return true;
        if (a == std::min(x, r.failed) + 1) return false;  // settled
        return a < std::min(r.full, x) || (a == x && r.full == x && r.failed == nb) || (x > r.failed && a == r.failed);
    };
    // Everything block X can take now; the caller holds it.
    auto advance = [&](int x) {
        int a = work[x].applied.load(std::memory_order_acquire);
        if (a < 0) {
            for (int k = blocks.first(x); k <= blocks.last(x); ++k) prepare(k);
            a = 0;
        }
        for (;;) {
            const Ready r = ready();
            if (a < std::min(r.full, x)) {
                steps_on(blocks.first(a), blocks.last(a), x);
                ++a;
            } else if (a == x && r.full == x && r.failed == nb) {
                // The panel's failure is published with the columns after
                // the failed one brought to its step.
                const int failed = panel(x);
                if (failed != 0) {
                    progress.failed(failed);
                } else {
                    progress.finished(blocks.last(x));
                }
                ++a;
                settled.fetch_add(1, std::memory_order_acq_rel);
                break;
            } else if (x > r.failed && a == r.failed) {
                steps_on(blocks.first(a), r.column - 1, x);
                ++a;
                settled.fetch_add(1, std::memory_order_acq_rel);
                break;
            } else {
                break;
            }
        }
        work[x].applied.store(a, std::memory_order_release);
    };
    // A block to take now, thread P's own first and, once TAKE_ANY, any.
    auto choose = [&](int threads, int& own_first, bool take_any) {
        const Ready r = ready();
        for (int x = own_first; x < nb; x += threads) {
            if (x == own_first && work[x].applied.load(std::memory_order_acquire) == std::min(x, r.failed) + 1) {
                own_first += threads;
                continue;
            }
            if (has_work(x, r) && work[x].take()) return x;
        }
        for (int x = 0; take_any && x < nb; ++x) {
            if (has_work(x, r) && work[x].take()) return x;
        }
        return -1;
    };
    auto body = [&](int p, int threads) {
        Idle idle;
        int own_first = p;  // the first own block not settled
        for (;;) {
            if (settled.load(std::memory_order_acquire) == nb) return;
            int chosen = choose(threads, own_first, false);
            if (chosen < 0 && idle.turn()) {
                // Every block with work is held by a thread, which gives it
                // back (settling the last) with a notify.
                freed.wait_until([&] {
                    return settled.load(std::memory_order_acquire) == nb ||
                           (chosen = choose(threads, own_first, true)) >= 0;
                });
            }
            if (chosen < 0) continue;
            advance(chosen);
            work[chosen].leave(freed);
            idle.reset();
        }
    };
    crew->run_open(body);
    return progress.failure();
}

// A(1..J, J) into T(1..J, J), unless A and T are the same matrix; returns
// column J of T.
double* copy_upper_column(const double* a, std::size_t lda, double* t, std::size_t ldt, int j) {
    double* tj = column(t, ldt, j);
    if (a != t || lda != ldt) {
        const double* aj = column(a, lda, j);
        for (int i = 1; i <= j; ++i) tj[i] = aj[i];
    }
    return tj;
}

}  // namespace

int factor_spd(Crew* crew, int n, const double* a, std::size_t lda, double* fac, std::size_t ldfac, double* sums) {
    // The symmetric copy of the upper triangle, and the sums of the elements
    // it copies.  In place, the upper triangle is left as it is, and only
    // lower triangles are written while it is read (a diagonal element only
    // after its column's copy).
    auto prepare = [&](int j) {
        double* f = copy_upper_column(a, lda, fac, ldfac, j);
        const double* row = a + (j - 1);
        for (int i = j + 1; i <= n; ++i) f[i] = row[static_cast<std::size_t>(i - 1) * lda];
        if (sums == nullptr) return;
        const double* aj = column(a, lda, j);
        double down = 0.0, across = 0.0;
        for (int i = 1; i <= j; ++i) down = down + std::fabs(aj[i]);
        for (int i = j + 1; i <= n; ++i) across = across + std::fabs(row[static_cast<std::size_t>(i - 1) * lda]);
        sums[j - 1] = j < n ? down + across : down;
    };
    // Steps S0..S1 of the right-looking elimination on rows K..N of column K.
    auto apply = [&](int s0, int s1, int k) {
        Terms terms;
        for (int j = s0; j <= s1; ++j) {
            const double* lj = column(fac, ldfac, j);
            terms.add(lj + k, lj[k]);
        }
        fused_update<true>(n - k + 1, column(fac, ldfac, k) + k, terms);
    };
    // The pivot's root and the column below it scaled, unless the pivot is
    // not positive (NaN included).
    auto finish = [&](int k) {
        double* f = column(fac, ldfac, k);
        const double pivot = f[k];
        if (!(pivot > 0.0)) return false;
        const double root = std::sqrt(pivot);
        f[k] = root;
        const double rec = 1.0 / root;
        for (int i = k + 1; i <= n; ++i) f[i] *= rec;
        return true;
    };
    const int failed = eliminate(crew, n, prepare, apply, finish);

    // R = L' into the upper triangle, partial or not.
    each_column(crew, n, 2, n, [&](int i) {
        double* r = column(fac, ldfac, i);
        for (int j = 1; j < i; ++j) r[j] = fac[static_cast<std::size_t>(i - 1) + static_cast<std::size_t>(j - 1) * ldfac];
    });
    return failed;
}

int invert_upper(Crew* crew, int n, const double* a, std::size_t lda, double* t, std::size_t ldt, double small) {
    auto prepare = [&](int j) {
        double* tj = copy_upper_column(a, lda, t, ldt, j);
        for (int i = j + 1; i <= n; ++i) tj[i] = 0.0;
    };
    // Steps S0..S1 on column C.  Step J is dger's column C, T(1..J-1, C)
    // gaining T(1..J-1, J) times T(J, C) unless that is zero, then dscal's
    // T(J, C) times the inverted diagonal T(J, J).  T(J, C) is untouched
    // until step J, so the multipliers are read first; rows above S0 take
    // every step's dger, row I of S0..S1 its own dscal and then the dger
    // of the later steps.
    auto apply = [&](int s0, int s1, int c) {
        double* tc = column(t, ldt, c);
        double y[kBlockColumns];
        Terms terms;
        for (int j = s0; j <= s1; ++j) {
            y[j - s0] = tc[j];
            if (y[j - s0] != 0.0) terms.add(column(t, ldt, j) + 1, 1.0 * y[j - s0]);
        }
        fused_update<false>(s0 - 1, tc + 1, terms);
        for (int i = s0; i <= s1; ++i) {
            double v = column(t, ldt, i)[i] * tc[i];
            for (int j = i + 1; j <= s1; ++j) {
                if (y[j - s0] != 0.0) v = v + column(t, ldt, j)[i] * (1.0 * y[j - s0]);
            }
            tc[i] = v;
        }
    };
    // The diagonal inverted and the elements above it scaled by minus that
    // (dscal), unless the diagonal is too small.
    auto finish = [&](int j) {
        double* tj = column(t, ldt, j);
        if (std::fabs(tj[j]) <= small) return false;
        tj[j] = 1.0 / tj[j];
        const double neg = -tj[j];
        for (int i = 1; i < j; ++i) tj[i] = neg * tj[i];
        return true;
    };
    return eliminate(crew, n, prepare, apply, finish);
}

void multiply_by_transpose(Crew* crew, int n, double* t, std::size_t ld) {
    // Step J's dsyr reads column J of T above the diagonal, which step J's
    // dscal and the later steps overwrite; so every column takes its steps
    // from a copy of T: column J's elements 1..J-1 in the lower triangle's
    // column M = N-J+1 (rows M+1..N).
    each_column(crew, n, 1, n - 1, [&](int m) {
        double* to = column(t, ld, m) + m;
        const double* from = column(t, ld, n - m + 1);
        for (int i = 1; i <= n - m; ++i) to[i] = from[i];
    });
    // T(1..J-1, J) of the copy, 0-based.
    auto copied = [&](int j) -> const double* { return column(t, ld, n - j + 1) + (n - j + 1) + 1; };
    // Column C: scaled by its diagonal element at step C (dscal), then
    // dsyr's column C of steps J = C+1..N, X(C) = T(C, J) the multiplier
    // unless it is zero.  A thread takes a chunk of blocks of columns at a
    // time, its own first, then those others have not taken, and gives its
    // chunk eight steps at a time, so that the copied columns of those
    // steps serve every column of the chunk while they are in its cache.
    const Blocks blocks{n};
    const int nb = blocks.count();
    // Chunks of the blocks that NEXT gives (-1 when none is left), until
    // none is left.
    auto accumulate = [&](auto next) {
        int chunk[kChunkBlocks];
        for (;;) {
            int count = 0;
            std::size_t size = 0;
            while (count < kChunkBlocks && size < kChunkElements) {
                const int x = next();
                if (x < 0) break;
                chunk[count++] = x;
                size += static_cast<std::size_t>(blocks.last(x)) * kBlockColumns;
            }
            if (count == 0) return;
            int low = n;
            for (int q = 0; q < count; ++q) {
                low = std::min(low, blocks.first(chunk[q]));
                for (int c = blocks.first(chunk[q]); c <= blocks.last(chunk[q]); ++c) {
                    double* tc = column(t, ld, c);
                    const double d = tc[c];
                    for (int i = 1; i <= c; ++i) tc[i] = d * tc[i];
                }
            }
            for (int j0 = low + 1; j0 <= n; j0 += kBlockColumns) {
                const int j1 = std::min(n, j0 + kBlockColumns - 1);
                for (int q = 0; q < count; ++q) {
                    for (int c = blocks.first(chunk[q]); c <= blocks.last(chunk[q]) && c < j1; ++c) {
                        Terms terms;
                        for (int j = std::max(j0, c + 1); j <= j1; ++j) {
                            const double* x = copied(j);
                            if (x[c - 1] != 0.0) terms.add(x, 1.0 * x[c - 1]);
                        }
                        fused_update<false>(c, column(t, ld, c) + 1, terms);
                    }
                }
            }
        }
    };
    if (crew == nullptr) {
        int x = 0;
        accumulate([&] { return x < nb ? x++ : -1; });
        return;
    }
    Claims claims(nb);
    auto body = [&](int p, int threads) {
        int own = p, other = 0;
        accumulate([&] { return claims.next(own, other, threads); });
    };
    crew->run_open(body);
}

void mirror_upper(Crew* crew, int n, double* a, std::size_t ld) {
    each_column(crew, n, 1, n - 1, [&](int j) {
        double* aj = column(a, ld, j);
        for (int i = j + 1; i <= n; ++i) aj[i] = a[static_cast<std::size_t>(j - 1) + static_cast<std::size_t>(i - 1) * ld];
    });
}

}  // namespace detail
}  // namespace orv::num2
