#include "numlib/routines2/dlinds_parallel.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include "numlib/routines2/eigen_team.h"
#include "runtime/parallel.h"

namespace orv::num2 {
namespace {

// The threaded loops, blocked, beat the sequential ones on one thread from
// about order 32; helpers pay from about order 400, with a thread per 125
// columns (bench/dlinds_bench.cpp).
constexpr int kDefaultParallelOrder = 32;
constexpr int kDefaultHelpersOrder = 400;
constexpr int kColumnsPerThread = 125;

std::atomic<int> order_setting{0};

// How long a thread spins for a change before it sleeps on the word.
constexpr auto kSpinFor = std::chrono::microseconds(50);

inline void pause() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#else
    std::this_thread::yield();
#endif
}

// Waits until DONE holds for WORD's value and returns that value: spinning
// first, then sleeping until the word changes.
template <typename T, typename Done>
T await(const std::atomic<T>& word, Done done) {
    const auto start = std::chrono::steady_clock::now();
    for (int spin = 0;; ++spin) {
        const T v = word.load(std::memory_order_acquire);
        if (done(v)) return v;
        if ((spin & 63) == 63 && std::chrono::steady_clock::now() - start > kSpinFor) {
            word.wait(v, std::memory_order_acquire);
        } else {
            pause();
        }
    }
}

template <typename T>
void publish(std::atomic<T>& word, T value) {
    word.store(value, std::memory_order_release);
    word.notify_all();
}

// Column J of the matrix at P, indexed by 1-based rows.
inline double* column(double* p, std::size_t ld, int j) { return p + static_cast<std::size_t>(j - 1) * ld - 1; }
inline const double* column(const double* p, std::size_t ld, int j) {
    return p + static_cast<std::size_t>(j - 1) * ld - 1;
}

// The columns of thread P of THREADS: the blocks of kBlockColumns columns
// P, P + THREADS, P + 2 THREADS, ...
struct Owned {
    int p;
    int threads;
    bool owns(int k) const { return ((k - 1) / detail::kBlockColumns) % threads == p; }
    // The first column of the first owned block that ends at or after K.
    int first_block_column(int k) const {
        int b = (k - 1) / detail::kBlockColumns;
        b += ((p - b % threads) % threads + threads) % threads;
        return b * detail::kBlockColumns + 1;
    }
    // The first column of the owned block after the one that starts at FIRST.
    int next_block_column(int first) const { return first + threads * detail::kBlockColumns; }
    // F(k) for the owned columns k = FIRST..LAST in turn.
    template <typename F>
    void each(int first, int last, F f) const {
        for (int b = first_block_column(first); b <= last; b = next_block_column(b)) {
            const int hi = std::min(last, b + detail::kBlockColumns - 1);
            for (int k = std::max(first, b); k <= hi; ++k) f(k);
        }
    }
};

// The progress of a column-by-column elimination: K when columns 1..K are
// finished, -K when column K could not be (and 1..K-1 are).
class Progress {
public:
    void finished(int k) { publish(state_, k); }
    void failed(int k) { publish(state_, -k); }
    // Waits for the columns up to LAST to be finished or for one of them to
    // fail, and returns the last column finished up to LAST.
    int await_block(int last) const {
        const int s = await(state_, [last](int v) { return v >= last || v < 0; });
        return s >= 0 || -s > last ? last : -s - 1;
    }
    // The column that could not be finished, or 0.
    int failure() const {
        const int s = state_.load(std::memory_order_acquire);
        return s < 0 ? -s : 0;
    }

private:
    std::atomic<int> state_{0};
};

}  // namespace

void set_dlinds_parallel_order(int order) { order_setting.store(std::max(order, 0)); }

int dlinds_parallel_order() {
    const int order = order_setting.load();
    return order > 0 ? order : kDefaultParallelOrder;
}

int dlinds_threads(int n) {
    if (n < dlinds_parallel_order()) return 0;
    // An order that is set (tests, benchmarks) lets helpers in from that
    // order on, with a share of columns no larger than it.
    const int set = order_setting.load();
    if (set == 0 && n < kDefaultHelpersOrder) return 1;
    const int share = set > 0 ? std::min(kColumnsPerThread, set) : kColumnsPerThread;
    return std::clamp(eigen_threads(), 1, std::max(1, n / share));
}

namespace detail {

Crew::Crew(int threads) {
    const int helpers = threads - 1;
    if (helpers <= 0) return;
    try {
        pool_ = std::make_unique<rt::WorkerPool>(helpers);
        pool_->start(pool_->helpers(), [this](int w) { serve(w + 1); });
        helpers_ = pool_->helpers();
    } catch (...) {
        pool_.reset();
        helpers_ = 0;
    }
}

Crew::~Crew() {
    if (helpers_ == 0) return;
    closing_.store(true, std::memory_order_relaxed);
    publish(generation_, generation_.load(std::memory_order_relaxed) + 1);
    pool_->wait();
}

void Crew::run_raw(void (*body)(void*, int, int), void* context) {
    body_ = body;
    context_ = context;
    done_.store(0, std::memory_order_relaxed);
    publish(generation_, generation_.load(std::memory_order_relaxed) + 1);
    body(context, 0, size());
    await(done_, [this](int d) { return d == helpers_; });
}

void Crew::serve(int index) {
    // A run cannot start before every helper has ended the one before, so
    // a helper that starts late still sees the first run.
    std::uint32_t seen = 0;
    for (;;) {
        seen = await(generation_, [seen](std::uint32_t g) { return g != seen; });
        if (closing_.load(std::memory_order_relaxed)) return;
        body_(context_, index, size());
        if (done_.fetch_add(1, std::memory_order_acq_rel) + 1 == helpers_) done_.notify_all();
    }
}

namespace {

// The terms of a fused update of one column: X_k (a column of the matrix,
// from the first row updated) times T_k, for the steps k in turn.
struct Terms {
    const double* x[kBlockColumns] = {};
    double t[kBlockColumns] = {};
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

// The elimination the factorisation and the triangular inverse share:
// column K takes steps 1..K-1, then is finished, and step J needs column J
// finished.  The block of columns B is finished by its owner, each column
// taking the steps of the block before it (the panel); the others then
// apply the block's steps to their later columns together.  The owner of
// the next block does that block first, so that its panel is ready early.
//   prepare(k): column K's copy of the input;
//   apply(s0, s1, k): steps S0..S1 (S1 < K) on column K;
//   finish(k): false when column K cannot be finished.
// Returns 0 or the column that could not be finished; the columns after it
// have then taken every step before it, as in the step-by-step loops.
template <typename Prepare, typename Apply, typename Finish>
int eliminate(Crew& crew, int n, Prepare prepare, Apply apply, Finish finish) {
    Progress progress;
    auto block_first = [](int b) { return b * kBlockColumns + 1; };
    auto block_last = [n](int b) { return std::min(n, (b + 1) * kBlockColumns); };
    auto panel = [&](int b) {
        const int first = block_first(b), last = block_last(b);
        for (int k = first; k <= last; ++k) {
            if (k > first) apply(first, k - 1, k);
            if (!finish(k)) {
                if (k > first) {
                    for (int later = k + 1; later <= last; ++later) apply(first, k - 1, later);
                }
                progress.failed(k);
                return;
            }
        }
        progress.finished(last);
    };
    auto body = [&](int p, int threads) {
        const Owned own{p, threads};
        own.each(1, n, prepare);
        if (own.owns(1)) panel(0);
        for (int b = 0; block_last(b) < n; ++b) {
            const int first = block_first(b), last = progress.await_block(block_last(b));
            int next = block_last(b) + 1;
            if (last == block_last(b) && own.owns(next)) {
                for (int k = next; k <= block_last(b + 1); ++k) apply(first, last, k);
                panel(b + 1);
                next = block_last(b + 1) + 1;
            }
            if (last >= first) own.each(next, n, [&](int k) { apply(first, last, k); });
            if (last < block_last(b)) return;
        }
    };
    crew.run(body);
    return progress.failure();
}

}  // namespace

void column_abs_sums(Crew& crew, int n, const double* a, std::size_t lda, double* sums) {
    auto sum = [&](int p, int threads) {
        Owned{p, threads}.each(1, n, [&](int j) {
            const double* aj = column(a, lda, j);
            double down = 0.0, across = 0.0;
            for (int i = 1; i <= j; ++i) down = down + std::fabs(aj[i]);
            for (int i = j + 1; i <= n; ++i) across = across + std::fabs(column(a, lda, i)[j]);
            sums[j - 1] = j < n ? down + across : down;
        });
    };
    crew.run(sum);
}

int factor_spd(Crew& crew, int n, const double* a, std::size_t lda, double* fac, std::size_t ldfac) {
    const bool in_place = a == fac && lda == ldfac;
    // The symmetric copy of the upper triangle.  In place, the upper
    // triangle is left as it is, and only lower triangles are written
    // while it is read.
    auto prepare = [&](int j) {
        double* f = column(fac, ldfac, j);
        if (!in_place) {
            const double* s = column(a, lda, j);
            for (int i = 1; i <= j; ++i) f[i] = s[i];
        }
        for (int i = j + 1; i <= n; ++i) f[i] = a[static_cast<std::size_t>(j - 1) + static_cast<std::size_t>(i - 1) * lda];
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
    auto transpose = [&](int p, int threads) {
        Owned{p, threads}.each(2, n, [&](int i) {
            double* r = column(fac, ldfac, i);
            for (int j = 1; j < i; ++j) r[j] = fac[static_cast<std::size_t>(i - 1) + static_cast<std::size_t>(j - 1) * ldfac];
        });
    };
    crew.run(transpose);
    return failed;
}

int invert_upper(Crew& crew, int n, const double* a, std::size_t lda, double* t, std::size_t ldt, double small) {
    const bool in_place = a == t && lda == ldt;
    auto prepare = [&](int j) {
        double* tj = column(t, ldt, j);
        if (!in_place) {
            const double* s = column(a, lda, j);
            for (int i = 1; i <= j; ++i) tj[i] = s[i];
        }
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

void multiply_by_transpose(Crew& crew, int n, double* t, std::size_t ld) {
    // Step J's dsyr reads column J of T above the diagonal, which step J's
    // dscal and the later steps overwrite; so every column takes its steps
    // from a copy of T: column J's elements 1..J-1 in the lower triangle's
    // column M = N-J+1 (rows M+1..N).
    auto copy = [&](int p, int threads) {
        Owned{p, threads}.each(1, n - 1, [&](int m) {
            double* to = column(t, ld, m) + m;
            const double* from = column(t, ld, n - m + 1);
            for (int i = 1; i <= n - m; ++i) to[i] = from[i];
        });
    };
    crew.run(copy);
    // T(1..J-1, J) of the copy, 0-based.
    auto copied = [&](int j) -> const double* { return column(t, ld, n - j + 1) + (n - j + 1) + 1; };
    // Column C: scaled by its diagonal element at step C (dscal), then
    // dsyr's column C of steps J = C+1..N, X(C) = T(C, J) the multiplier
    // unless it is zero.  A block of columns takes eight steps at a time.
    auto accumulate = [&](int p, int threads) {
        const Owned own{p, threads};
        for (int first = own.first_block_column(1); first <= n; first = own.next_block_column(first)) {
            const int last = std::min(n, first + kBlockColumns - 1);
            for (int c = first; c <= last; ++c) {
                double* tc = column(t, ld, c);
                const double d = tc[c];
                for (int i = 1; i <= c; ++i) tc[i] = d * tc[i];
            }
            for (int j0 = first + 1; j0 <= n; j0 += kBlockColumns) {
                const int j1 = std::min(n, j0 + kBlockColumns - 1);
                for (int c = first; c <= last && c < j1; ++c) {
                    Terms terms;
                    for (int j = std::max(j0, c + 1); j <= j1; ++j) {
                        const double* x = copied(j);
                        if (x[c - 1] != 0.0) terms.add(x, 1.0 * x[c - 1]);
                    }
                    fused_update<false>(c, column(t, ld, c) + 1, terms);
                }
            }
        }
    };
    crew.run(accumulate);
}

void mirror_upper(Crew& crew, int n, double* a, std::size_t ld) {
    auto mirror = [&](int p, int threads) {
        Owned{p, threads}.each(1, n - 1, [&](int j) {
            double* aj = column(a, ld, j);
            for (int i = j + 1; i <= n; ++i) aj[i] = a[static_cast<std::size_t>(j - 1) + static_cast<std::size_t>(i - 1) * ld];
        });
    };
    crew.run(mirror);
}

}  // namespace detail
}  // namespace orv::num2
