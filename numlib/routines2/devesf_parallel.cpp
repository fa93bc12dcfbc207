#include "numlib/routines2/devesf_parallel.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>

#include "numlib/routines2/columns.h"
#include "process/team.h"

namespace orv::num2::detail {
namespace {

// Eight columns side by side, one row of a group in a cache line, taken
// as four pairs of lanes, or as two quadruples where the processor has the
// instructions for them: the element-wise operations are the scalar ones,
// lane by lane, either way.
constexpr int kLanes = 8;
typedef double Pair __attribute__((vector_size(2 * sizeof(double)), may_alias));
typedef double Quad __attribute__((vector_size(4 * sizeof(double)), may_alias));

// Rows left unused after each group, so that two threads never write near
// each other.
constexpr std::size_t kGapRows = 64;

// Parts a run has for each thread of the team: the parts of a thread that
// comes late go to the others in smaller pieces.
constexpr int kPartsPerThread = 2;

// Doubles of which element OFFSET starts a cache line, zeroed (ZERO) or
// left to be written first by the threads that use them.
class Line {
public:
    bool allocate(std::size_t count, std::size_t offset, bool zero = true) {
        const std::size_t size = count + kLanes;
        store_.reset(zero ? new (std::nothrow) double[size]() : new (std::nothrow) double[size]);
        if (!store_) return false;
        base_ = store_.get();
        while (reinterpret_cast<std::uintptr_t>(base_ + offset) % 64 != 0) ++base_;
        return true;
    }
    double* get() const { return base_; }

private:
    std::unique_ptr<double[]> store_;
    double* base_ = nullptr;
};

// Group B (rows 1-based, kLanes to a row) of columns C0.. in the run of
// step I of a reduction of order N: the update of step I-1 with UO and QO
// (UPDATE), and the product p = B u of step I with u = UN into P(C0..)
// (PRODUCT).  Element (r, c) above the diagonal gets the operations of its
// image (c, r) below it.  Columns of the group at or left of I are gone:
// nothing is read from their lanes after the step that took them,
// whatever is written there.
struct Sweep {
    double* b;
    int c0, i, n;
    const double *uo, *qo, *un;
    double* p;
};

template <typename V, bool kUpdate, bool kProduct>
[[gnu::always_inline]] inline void sweep_group(const Sweep& w) {
    constexpr int kWidth = sizeof(V) / sizeof(double);
    constexpr int kVectors = kLanes / kWidth;
    const int c0 = w.c0, i = w.i, n = w.n;
    const double *const uo = w.uo, *const qo = w.qo, *const un = w.un;
    auto row = [&w](int r) { return reinterpret_cast<V*>(w.b + static_cast<std::size_t>(r) * kLanes); };
    V uc[kVectors], qc[kVectors], fold[kVectors], sum[kVectors];
    for (int k = 0; k < kVectors; ++k) {
        uc[k] = reinterpret_cast<const V*>(uo + c0)[k];
        qc[k] = reinterpret_cast<const V*>(qo + c0)[k];
        fold[k] = V{};
    }
    // Above the diagonal: (c, r) as the sequential loop does its image.
    const int upper_end = std::min(c0, n + 1);
    for (int r = i + 1; r < upper_end; ++r) {
        V* const v = row(r);
        const double ur = uo[r], qr = qo[r], nr = un[r];
        for (int k = 0; k < kVectors; ++k) {
            V x = v[k];
            if constexpr (kUpdate) {
                x = x + uc[k] * qr + qc[k] * ur;
                v[k] = x;
            }
            if constexpr (kProduct) fold[k] += x * nr;
        }
    }
    // The diagonal block, element by element.
    alignas(64) double f[kLanes], s[kLanes] = {};
    for (int k = 0; k < kVectors; ++k) reinterpret_cast<V*>(f)[k] = fold[k];
    const int diagonal_end = std::min(c0 + kLanes, n + 1);
    for (int r = std::max(c0, i + 1); r < diagonal_end; ++r) {
        double* const br = w.b + static_cast<std::size_t>(r) * kLanes;
        for (int l = 0; l < kLanes; ++l) {
            const int c = c0 + l;
            if (c <= i || c > n) continue;
            double v = br[l];
            if constexpr (kUpdate) {
                v = r < c ? v + uo[c] * qo[r] + qo[c] * uo[r] : v + uo[r] * qo[c] + qo[r] * uo[c];
                br[l] = v;
            }
            if constexpr (kProduct) {
                if (r < c) {
                    f[l] += v * un[r];
                } else if (r == c) {
                    s[l] = v * un[r];
                } else {
                    s[l] += v * un[r];
                }
            }
        }
    }
    for (int k = 0; k < kVectors; ++k) sum[k] = reinterpret_cast<V*>(s)[k];
    // Below the diagonal.
    for (int r = std::max(c0 + kLanes, i + 1); r <= n; ++r) {
        V* const v = row(r);
        const double ur = uo[r], qr = qo[r], nr = un[r];
        for (int k = 0; k < kVectors; ++k) {
            V x = v[k];
            if constexpr (kUpdate) {
                x = x + ur * qc[k] + qr * uc[k];
                v[k] = x;
            }
            if constexpr (kProduct) sum[k] += x * nr;
        }
    }
    if constexpr (kProduct) {
        for (int k = 0; k < kVectors; ++k) {
            reinterpret_cast<V*>(w.p + c0)[k] = reinterpret_cast<V*>(f)[k] + sum[k];
        }
    }
}

template <bool kUpdate, bool kProduct>
void sweep_pairs(const Sweep& w) {
    sweep_group<Pair, kUpdate, kProduct>(w);
}

#if defined(__x86_64__) && defined(__GNUC__)
template <bool kUpdate, bool kProduct>
[[gnu::target("avx2")]] void sweep_quads(const Sweep& w) {
    sweep_group<Quad, kUpdate, kProduct>(w);
}

bool quads() {
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return avx2;
}
#else
template <bool kUpdate, bool kProduct>
void sweep_quads(const Sweep& w) {
    sweep_group<Pair, kUpdate, kProduct>(w);
}

bool quads() { return false; }
#endif

// The step whose reflection the lead has published.
struct alignas(64) Ready {
    std::atomic<int> step{0};
};

// The threaded steps of one reduction.  The trailing block is kept whole
// (both triangles) in groups of eight columns, each group's rows one cache
// line; part t of a run owns the groups BOUND(t) .. BOUND(t+1)-1 and keeps
// them from one step to the next.  Element (r, c) above the diagonal is the
// image of (c, r) below it and gets the same operations, so the two are
// always equal; then p(c) = B(.,c)' u is the fold of the elements above the
// diagonal of column c in row order followed by the sum from the diagonal
// down, all within one group: the order in which the sequential sweep adds
// to E(c).
//
// A run of step I: each part forms q of step I-1 for itself; the part that
// owns column I (the lead) updates that column, takes it back into A and
// forms the reflection u; every part does the update of step I-1 and the
// product p = B u on its groups, both at once for the groups it reaches
// once u is known.  Parts wait only for the lead, which comes before them,
// so a run ends however its parts are shared out (each thread takes its own
// part first).
// Between runs the caller sums u'p in row order.
class Reduction {
public:
    Reduction(int n, double* a, std::size_t ld, double* d, double* e, double* e2, double tol, team::Team& team)
        : n_(n), a_(a), ld_(ld), d_(d), e_(e), e2_(e2), tol_(tol), team_(team),
          parts_(team.size() > 1 ? kPartsPerThread * team.size() : 1), groups_((n + kLanes - 1) / kLanes),
          bound_(new int[static_cast<std::size_t>(parts_) + 1]), q_(new Line[static_cast<std::size_t>(parts_) + 1]) {
        stride_ = (static_cast<std::size_t>(n) + 1 + kGapRows) * kLanes;
        const std::size_t vector = static_cast<std::size_t>(groups_) * kLanes + 1;
        ok_ = copy_.allocate(stride_ * static_cast<std::size_t>(groups_), 0, false);
        for (Line* v : {&u_[0], &u_[1], &p_[0], &p_[1]}) ok_ = ok_ && v->allocate(vector, 1);
        // Each part's q apart from the others' by a gap.
        for (int t = 0; t <= parts_; ++t) ok_ = ok_ && q_[t].allocate(vector + kGapRows * kLanes, 1);
        for (int t = 0; t <= parts_; ++t) bound_[t] = groups_;
    }

    // Steps I, I+1, ... while the trailing order is at least MIN_ORDER;
    // returns the first step not done.
    int steps(int i, int min_order) {
        if (!ok_ || n_ - i < min_order || i > n_ - 2) return i;
        auto body = [this](int t, int) { part(t); };
        team_.trust_team();
        fresh_ = true;
        reflected_ = false;
        int j = i;
        for (; j <= n_ - 2 && n_ - j >= min_order; ++j) {
            pending_ = reflected_;
            balance(group_of(j));
            step_ = j;
            team_.run(parts_, body);
            fresh_ = false;
            if (reflected_) {
                // u'p in row order.
                const double* const u = u_[j & 1].get();
                const double* const p = p_[j & 1].get();
                double up = 0.0;
                for (int r = j + 1; r <= n_; ++r) up += u[r] * p[r];
                up_[j & 1] = up;
            }
        }
        pending_ = reflected_;
        step_ = j;
        if (pending_) form_q(parts_);
        write_back();
        return j;
    }

private:
    static int group_of(int c) { return (c - 1) / kLanes; }
    // Group G, row r at G + r * kLanes.
    double* group(int g) const { return copy_.get() + static_cast<std::size_t>(g) * stride_; }

    // The live groups from FIRST on, about equally; the lead, which
    // reflects besides, has about one group less than the others.  The
    // shares move by a group at a time as the groups on the left are done.
    void balance(int first) {
        const std::int64_t total = groups_ - first + 1;
        bound_[0] = first;
        for (int t = 1; t <= parts_; ++t) {
            bound_[t] = std::max(first, first + static_cast<int>(total * t / parts_) - 1);
        }
        for (lead_ = 0; lead_ < parts_ - 1 && bound_[lead_] >= bound_[lead_ + 1];) ++lead_;
    }

    void part(int t) {
        const int i = step_;
        const int first = bound_[t], last = bound_[t + 1];
        if (first >= last) return;
        const bool lead = first == group_of(i);
        if (fresh_) {
            // Row I of the others' groups is never read, and column I of A,
            // where it comes from, is the lead's to change.
            for (int g = first; g < last; ++g) fill(g, lead ? i : i + 1);
        }
        if (pending_) form_q(t);
        if (lead) reflect(q_[t].get());
        // Groups swept before the reflection is known take the update alone,
        // and their product once it is known.
        int alone = first, g = first;
        for (; g < last; ++g) {
            if (!lead && ready_.step.load(std::memory_order_acquire) < i) {
                if (!pending_) break;
                sweep<true, false>(g, t);
                alone = g + 1;
            } else if (!reflected_) {
                if (pending_) sweep<true, false>(g, t);
            } else if (pending_) {
                sweep<true, true>(g, t);
            } else {
                sweep<false, true>(g, t);
            }
        }
        if (!lead) proc::Team::wait_for(lead_, ready_.step, i);
        if (!reflected_) return;
        for (int k = first; k < alone; ++k) sweep<false, true>(k, t);
        for (; g < last; ++g) sweep<false, true>(g, t);
    }

    // q = w (p + k u) of step I-1, k = w u'p / 2, into the q of part T; the
    // columns gone of the group of column I have q = 0.
    void form_q(int t) {
        const int i = step_;
        double* const q = q_[t].get();
        const double* const u = u_[(i - 1) & 1].get();
        const double* const p = p_[(i - 1) & 1].get();
        const double w = reflector_[(i - 1) & 1].w;
        const double k = 0.5 * w * up_[(i - 1) & 1];
        for (int r = group_of(i) * kLanes + 1; r < i; ++r) q[r] = 0.0;
        for (int r = i; r <= n_; ++r) q[r] = w * (p[r] + k * u[r]);
    }

    // Rows FROM.. of the trailing block of the first step into group G.
    void fill(int g, int from) {
        double* const b = group(g);
        const int c0 = g * kLanes + 1;
        for (int r = from; r <= n_; ++r) {
            for (int l = 0; l < kLanes; ++l) {
                const int c = c0 + l;
                double v = 0.0;
                if (c <= n_) v = r >= c ? column(a_, ld_, c)[r] : column(a_, ld_, r)[c];
                b[static_cast<std::size_t>(r) * kLanes + l] = v;
            }
        }
    }

    // The lead: the pending update of column I, the column back into A, and
    // its reflection.
    void reflect(const double* q) {
        const int i = step_;
        double* const b = group(group_of(i)) + (i - 1) % kLanes;
        double* const col = column(a_, ld_, i);
        if (pending_) {
            const double* const u = u_[(i - 1) & 1].get();
            const double ui = u[i], qi = q[i];
            for (int r = i; r <= n_; ++r) {
                double& v = b[static_cast<std::size_t>(r) * kLanes];
                v = v + u[r] * qi + q[r] * ui;
            }
        }
        for (int r = i; r <= n_; ++r) col[r] = b[static_cast<std::size_t>(r) * kLanes];
        Reflector& rf = reflector_[i & 1];
        reflected_ = reflect_column(a_, ld_, n_, i, tol_, d_, e_, e2_, rf);
        double* const u = u_[i & 1].get();
        for (int r = group_of(i) * kLanes + 1; r <= i; ++r) u[r] = 0.0;  // columns gone
        if (reflected_) {
            for (int r = i + 1; r <= n_; ++r) u[r] = col[r];
            e_[i] = -rf.g;  // E(I+1)
        }
        proc::publish(ready_.step, i);
    }

    // Group G in the run of step I with part T's q.
    template <bool kUpdate, bool kProduct>
    void sweep(int g, int t) {
        const int i = step_;
        const Sweep w{group(g), g * kLanes + 1, i, n_, u_[(i - 1) & 1].get(), q_[t].get(), u_[i & 1].get(),
                      p_[i & 1].get()};
        if (w.c0 + kLanes - 1 <= i) return;  // all gone
        if (quads_) {
            sweep_quads<kUpdate, kProduct>(w);
        } else {
            sweep_pairs<kUpdate, kProduct>(w);
        }
    }

    // The trailing block of step I back into A's lower triangle, with the
    // update still pending.
    void write_back() {
        const int i = step_;
        const double* const u = u_[(i - 1) & 1].get();
        const double* const q = q_[parts_].get();
        for (int c = i; c <= n_; ++c) {
            const double* const b = group(group_of(c)) + (c - 1) % kLanes;
            double* const col = column(a_, ld_, c);
            for (int r = c; r <= n_; ++r) {
                double v = b[static_cast<std::size_t>(r) * kLanes];
                if (pending_) v = v + u[r] * q[c] + q[r] * u[c];
                col[r] = v;
            }
        }
    }

    const int n_;
    double* const a_;
    const std::size_t ld_;
    double* const d_;
    double* const e_;
    double* const e2_;
    const double tol_;
    team::Team& team_;
    const int parts_;
    const int groups_;
    std::unique_ptr<int[]> bound_;
    int lead_ = 0;  // the part that owns column I: the first with groups
    std::size_t stride_ = 0;
    bool ok_ = false;
    const bool quads_ = quads();
    // The copy, u and p of step i in u_[i & 1] and p_[i & 1], the q of each
    // part (and one more); all 1-based.
    Line copy_, u_[2], p_[2];
    std::unique_ptr<Line[]> q_;
    // The lead's step once u is known.
    Ready ready_;
    // The run: its step, whether the groups are still to be filled, whether
    // the update of the step before is still to be done, and whether the
    // lead has a reflection; the reflection and u'p of step i in [i & 1].
    int step_ = 0;
    bool fresh_ = false;
    bool pending_ = false;
    bool reflected_ = false;
    Reflector reflector_[2];
    double up_[2] = {};
};

}  // namespace

bool reflect_column(double* a, std::size_t ld, int n, int i, double tol, double* d, double* e, double* e2,
                    Reflector& r) {
    double* const col = column(a, ld, i);
    double* const D = d - 1;
    double* const E = e - 1;
    double* const E2 = e2 - 1;
    std::swap(D[i], col[i]);
    const double f = col[i + 1];
    double sigma = 0.0;
    for (int k = i + 2; k <= n; ++k) sigma += col[k] * col[k];
    const double h = f * f + sigma;
    if (h <= tol) {
        E[i + 1] = 0.0;
        E2[i + 1] = 0.0;
        col[i + 1] = 0.0;
        return false;
    }
    if (sigma <= tol) {
        E[i + 1] = f;
        E2[i + 1] = f * f;
        col[i + 1] = 0.0;
        return false;
    }
    E2[i + 1] = h;
    r.g = std::copysign(std::sqrt(h), f);
    const double v = -1.0 / r.g;
    col[i + 1] = v * f - 1.0;
    for (int k = i + 2; k <= n; ++k) col[k] = v * col[k];
    r.w = 1.0 / col[i + 1];
    return true;
}

int shared_tridiagonal_steps(int n, int i, double* a, std::size_t ld, double* d, double* e, double* e2, double tol,
                             int min_order, team::Team& team) {
    Reduction reduction(n, a, ld, d, e, e2, tol, team);
    return reduction.steps(i, min_order);
}

}  // namespace orv::num2::detail
