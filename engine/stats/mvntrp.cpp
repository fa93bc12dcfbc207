#include "engine/stats/mvntrp.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <stdexcept>

#include "engine/stats/mvn_quadrature.h"
#include "engine/stats/spdinv.h"
#include "numlib/routines2/dnordf.h"
#include "numlib/routines2/dnordf_pure.h"
#include "runtime/formatted_io.h"

namespace orv::engine {

const double MVN_PATTERNS[24] = {
    1.0, 1.0, 1.0, 1.0, 0.0, 0.0, 0.0, 0.0,  // item 1
    1.0, 0.0, 1.0, 0.0, 1.0, 0.0, 1.0, 0.0,  // item 2
    1.0, 1.0, 0.0, 0.0, 1.0, 1.0, 0.0, 0.0,  // item 3
};

namespace {

constexpr int kParams = 6;
constexpr int kPatterns = 8;
using mvn::kNodes;

// G2 of one triplet's counts, from the item columns: the probabilities of
// response 1 of each item at the 40 nodes.  The finite differences change
// one or two parameters at a time, so most of their evaluations share two
// of the three columns with the point they start from; each column is made
// once and the values of G2 are those MVNFUN gives, bit for bit, since every
// column entry and every sum is formed by the same operations in the same
// order.
class Objective {
public:
    Objective(std::span<const double> q, std::span<const double> w, std::span<const double> pat, int n,
              std::span<const int> o)
        : q_(q.data()), w_(w.data()), pat_(pat.data()), n_(n), o_(o.data()) {
        if (q.size() < kNodes || w.size() < kNodes || pat.size() < 3 * kPatterns || o.size() < kPatterns)
            throw std::length_error("MVNFUN: Q, W, PAT or O is too short");
        const double nd = static_cast<double>(n);
        // The observed sum, with 0 for an unobserved pattern.
        for (int p = 0; p < kPatterns; ++p)
            if (o_[p] != 0) s2_ += static_cast<double>(o_[p]) * std::log(static_cast<double>(o_[p]) / nd);
    }

    // Probabilities of response 1 at the nodes for slope A and intercept B.
    void column(double a, double b, double* c) const {
        for (int k = 0; k < kNodes; ++k) c[k] = num2::DNORDF_PURE(-(a * q_[k] + b));
    }

    // The 8 pattern probabilities from the three columns.
    void expected(const double* const c[3], double e[kPatterns]) const {
        double rest[3][kNodes];
        for (int i = 0; i < 3; ++i)
            for (int k = 0; k < kNodes; ++k) rest[i][k] = 1.0 - c[i][k];
        for (int p = 0; p < kPatterns; ++p) {
            const double* f[3];
            for (int i = 0; i < 3; ++i) f[i] = pat_[p + kPatterns * i] == 1.0 ? c[i] : rest[i];
            double sum = 0.0;
            for (int k = 0; k < kNodes; ++k) sum += ((w_[k] * f[0][k]) * f[1][k]) * f[2][k];
            e[p] = sum;
        }
    }

    // MVNFUN steps 2 to 4 on the columns.
    double value(const double* const c[3]) const {
        ++evaluations_;
        double e[kPatterns];
        expected(c, e);
        double s1 = 0.0;
        for (int p = 0; p < kPatterns; ++p) {
            const double ep = e[p] == 0.0 ? 1.0 / static_cast<double>(n_) : e[p];
            s1 += static_cast<double>(o_[p]) * std::log(ep);
        }
        return -2.0 * (s1 - s2_);
    }

    // The columns of the parameters P and G2 there.
    double value_at(const double* p) const {
        double c[3][kNodes];
        for (int i = 0; i < 3; ++i) column(p[3 + i], p[i], c[i]);
        const double* cols[3] = {c[0], c[1], c[2]};
        return value(cols);
    }

    // G2 at P, bit for bit value_at's, and its gradient G from the
    // derivatives of the pattern probabilities: d P1(i, q) / d b_i =
    // -phi(a_i q + b_i), d P1(i, q) / d a_i = -q phi(a_i q + b_i); a
    // probability of exactly 0 (counted as 1/N) adds nothing.
    double value_and_gradient(const double* p, double* g) const {
        ++evaluations_;
        const double inv_root_2pi = 0.3989422804014327;
        double c[3][kNodes], rest[3][kNodes], slope[3][kNodes];
        for (int i = 0; i < 3; ++i) {
            column(p[3 + i], p[i], c[i]);
            for (int k = 0; k < kNodes; ++k) {
                const double z = p[3 + i] * q_[k] + p[i];
                rest[i][k] = 1.0 - c[i][k];
                slope[i][k] = -inv_root_2pi * std::exp(-0.5 * z * z);
            }
        }
        double s1 = 0.0;
        for (int i = 0; i < kParams; ++i) g[i] = 0.0;
        for (int pat = 0; pat < kPatterns; ++pat) {
            const double* f[3];
            double sign[3];
            for (int i = 0; i < 3; ++i) {
                const bool one = pat_[pat + kPatterns * i] == 1.0;
                f[i] = one ? c[i] : rest[i];
                sign[i] = one ? 1.0 : -1.0;
            }
            double e = 0.0;
            for (int k = 0; k < kNodes; ++k) e += ((w_[k] * f[0][k]) * f[1][k]) * f[2][k];
            if (e == 0.0) {
                s1 += static_cast<double>(o_[pat]) * std::log(1.0 / static_cast<double>(n_));
                continue;
            }
            s1 += static_cast<double>(o_[pat]) * std::log(e);
            if (o_[pat] == 0) continue;
            for (int i = 0; i < 3; ++i) {
                const int j = (i + 1) % 3, l = (i + 2) % 3;
                double db = 0.0, da = 0.0;
                for (int k = 0; k < kNodes; ++k) {
                    const double t = w_[k] * f[j][k] * f[l][k] * sign[i] * slope[i][k];
                    db += t;
                    da += t * q_[k];
                }
                const double weight = static_cast<double>(o_[pat]) / e;
                g[i] += weight * db;
                g[3 + i] += weight * da;
            }
        }
        for (int i = 0; i < kParams; ++i) g[i] *= -2.0;
        return -2.0 * (s1 - s2_);
    }

    // The start statistic: E(p) as in MVNFUN, both sums over E(p) > 0.
    double start_value(const double* p) const {
        double c[3][kNodes];
        for (int i = 0; i < 3; ++i) column(p[3 + i], p[i], c[i]);
        const double* cols[3] = {c[0], c[1], c[2]};
        double e[kPatterns];
        expected(cols, e);
        const double nd = static_cast<double>(n_);
        double s1 = 0.0, s2 = 0.0;
        for (int k = 0; k < kPatterns; ++k) {
            if (!(e[k] > 0.0)) continue;
            const double o = static_cast<double>(o_[k]);
            s1 += o * std::log(e[k]);
            if (o_[k] != 0) s2 += o * std::log(o / nd);
        }
        ++evaluations_;
        return -2.0 * (s1 - s2);
    }

    // MVNOPT: gradient and inverse Hessian at P.
    void opt(const double* p, double* g, double* hinv) const {
        double hess[kParams * kParams];
        derivatives(p, g, hess);
        SPDINC_PURE(std::span<const double>(hess, kParams * kParams), kParams, std::span<double>(hinv, kParams * kParams));
    }

    // The central-difference gradient G and the forward-difference Hessian
    // HESS (6 x 6) of G2 at P, from 34 values of G2.
    void derivatives(const double* p, double* g, double* hess) const {
        double h[kParams];
        const std::span<const double> ps(p, kParams);
        for (int i = 0; i < kParams; ++i) STEPAD(ps, i + 1, h[i]);

        // Item of parameter i, and the columns at P, at P +- h(i) e(i) and
        // at P + 2 h(i) e(i).
        auto item = [](int i) { return i % 3; };
        double base[3][kNodes], plus[kParams][kNodes], minus[kParams][kNodes], twice[kParams][kNodes];
        for (int m = 0; m < 3; ++m) column(p[3 + m], p[m], base[m]);
        for (int i = 0; i < kParams; ++i) {
            const int m = item(i);
            const bool slope = i >= 3;
            const double a = p[3 + m], b = p[m];
            const double up = p[i] + h[i], down = p[i] - h[i], two = p[i] + 2.0 * h[i];
            column(slope ? up : a, slope ? b : up, plus[i]);
            column(slope ? down : a, slope ? b : down, minus[i]);
            column(slope ? two : a, slope ? b : two, twice[i]);
        }
        auto with = [&](int m1, const double* c1, int m2, const double* c2) {
            const double* cols[3] = {base[0], base[1], base[2]};
            if (m1 >= 0) cols[m1] = c1;
            if (m2 >= 0) cols[m2] = c2;
            return value(cols);
        };

        const double f0 = with(-1, nullptr, -1, nullptr);
        double fp[kParams], fm[kParams];
        for (int i = 0; i < kParams; ++i) {
            fp[i] = with(item(i), plus[i], -1, nullptr);
            fm[i] = with(item(i), minus[i], -1, nullptr);
            g[i] = (fp[i] - fm[i]) / (2.0 * h[i]);
        }
        for (int i = 0; i < kParams; ++i) {
            for (int j = i + 1; j < kParams; ++j) {
                double fij;
                if (item(i) != item(j)) {
                    fij = with(item(i), plus[i], item(j), plus[j]);
                } else {
                    // Intercept i and slope j of one item, both shifted.
                    double both[kNodes];
                    column(p[j] + h[j], p[i] + h[i], both);
                    fij = with(item(i), both, -1, nullptr);
                }
                const double v = (fij - fp[i] - fp[j] + f0) / (h[i] * h[j]);
                hess[i + kParams * j] = v;
                hess[j + kParams * i] = v;
            }
            const double fii = with(item(i), twice[i], -1, nullptr);
            hess[i + kParams * i] = (fii - 2.0 * fp[i] + f0) / (h[i] * h[i]);
        }
    }

    std::int64_t evaluations() const { return evaluations_; }

private:
    const double* q_;
    const double* w_;
    const double* pat_;
    int n_;
    const int* o_;
    double s2_ = 0.0;
    mutable std::int64_t evaluations_ = 0;
};

std::span<const double> nodes() { return {mvn::kNodeQ, kNodes}; }
std::span<const double> weights() { return {mvn::kNodeW, kNodes}; }
std::span<const double> patterns() { return {MVN_PATTERNS, 3 * kPatterns}; }

// A start ratio: 0 when one of the correlations is 0 (no 0/0).
double ratio(double x, double y, double z) { return x == 0.0 || y == 0.0 || z == 0.0 ? 0.0 : x * y / z; }

// The test of a minimum: every gradient component at most 1.0E-5 (a
// single-precision constant) in magnitude.
bool gradient_small(const double g[kParams]) {
    const double tolerance = static_cast<double>(1.0e-5f);
    for (int i = 0; i < kParams; ++i)
        if (!(std::abs(g[i]) <= tolerance)) return false;
    return true;
}

// The lowest value of G2 met so far and its parameters.
struct Lowest {
    double g2 = std::numeric_limits<double>::infinity();
    double p[kParams] = {};
    void offer(const double* p_new, double g2_new) {
        if (!(g2_new < g2)) return;
        g2 = g2_new;
        std::copy_n(p_new, kParams, p);
    }
};

// Whether the symmetric 6 x 6 matrix A has a negative eigenvalue, and then
// in V the unit eigenvector of the lowest one, by cyclic Jacobi rotations.
bool negative_curvature(const double* A, double* V) {
    double a[kParams * kParams], u[kParams * kParams] = {};
    std::copy_n(A, kParams * kParams, a);
    for (int i = 0; i < kParams; ++i) u[i * (kParams + 1)] = 1.0;
    for (int sweep = 0; sweep < 30; ++sweep) {
        double off = 0.0, all = 0.0;
        for (int i = 0; i < kParams; ++i)
            for (int j = 0; j < kParams; ++j) {
                all += a[i + kParams * j] * a[i + kParams * j];
                if (i != j) off += a[i + kParams * j] * a[i + kParams * j];
            }
        if (!(off > 1e-30 * all)) break;
        for (int i = 0; i < kParams; ++i)
            for (int j = i + 1; j < kParams; ++j) {
                const double aij = a[i + kParams * j];
                if (aij == 0.0) continue;
                // The rotation (c, s) that zeroes a(i, j).
                const double theta = (a[j * (kParams + 1)] - a[i * (kParams + 1)]) / (2.0 * aij);
                const double t = (theta >= 0.0 ? 1.0 : -1.0) / (std::abs(theta) + std::sqrt(theta * theta + 1.0));
                const double c = 1.0 / std::sqrt(t * t + 1.0), s = t * c;
                for (int k = 0; k < kParams; ++k) {
                    const double aki = a[k + kParams * i], akj = a[k + kParams * j];
                    a[k + kParams * i] = c * aki - s * akj;
                    a[k + kParams * j] = s * aki + c * akj;
                }
                for (int k = 0; k < kParams; ++k) {
                    const double aik = a[i + kParams * k], ajk = a[j + kParams * k];
                    a[i + kParams * k] = c * aik - s * ajk;
                    a[j + kParams * k] = s * aik + c * ajk;
                }
                for (int k = 0; k < kParams; ++k) {
                    const double uki = u[k + kParams * i], ukj = u[k + kParams * j];
                    u[k + kParams * i] = c * uki - s * ukj;
                    u[k + kParams * j] = s * uki + c * ukj;
                }
            }
    }
    int lowest = 0;
    for (int i = 1; i < kParams; ++i)
        if (a[i * (kParams + 1)] < a[lowest * (kParams + 1)]) lowest = i;
    if (!(a[lowest * (kParams + 1)] < 0.0)) return false;
    std::copy_n(u + kParams * lowest, kParams, V);
    return true;
}

// A step from P along +V or -V that lowers G2: lengths 1, 1/2, ...,
// 1/64, the first that lowers G2 doubled (up to 16) while G2 goes on
// falling; false when there is none.
bool step_along(const Objective& f, const double* v, double* p, double& g2, Lowest& low) {
    for (double t = 1.0; t >= 1.0 / 64.0; t *= 0.5)
        for (double sign : {1.0, -1.0}) {
            double trial[kParams];
            for (int i = 0; i < kParams; ++i) trial[i] = p[i] + sign * t * v[i];
            double value = f.value_at(trial);
            if (!(value < g2)) continue;
            for (double longer = 2.0 * t; longer <= 16.0; longer *= 2.0) {
                double further[kParams];
                for (int i = 0; i < kParams; ++i) further[i] = p[i] + sign * longer * v[i];
                const double w = f.value_at(further);
                if (!(w < value)) break;
                std::copy_n(further, kParams, trial);
                value = w;
            }
            std::copy_n(trial, kParams, p);
            g2 = value;
            low.offer(p, g2);
            return true;
        }
    return false;
}

// The search that goes on where the Newton steps end without meeting the
// gradient test, from the lowest point met: quasi-Newton (BFGS) steps on
// the analytic gradient, which follow the long curved valleys where G2
// falls towards a bound as slopes grow without end (patterns that no
// subject shows) far better than steps on a Hessian that is indefinite
// there; each step is halved until G2 falls enough (Armijo) or, taken
// whole, doubled while G2 still falls steeply along it.  A point where
// every component of that gradient is at most 1.0E-5 (the test of the
// Newton steps, whose central differences are off from the gradient by
// more than that near a minimum of many subjects) is a minimum, unless the
// Newton steps ended on a Hessian that is not positive definite and
// MVNOPT's Hessian there has a direction of negative curvature (a saddle,
// such as the slopes 0 of the independence start, where the slopes'
// gradient vanishes by symmetry), which the search then leaves along that
// direction.  At most kPolishSteps steps, and it gives up when kStall
// steps have lowered G2 by less than 1e-9 of it (where it is as low as its
// rounding lets it be, below the last printed digit, but the gradient is
// still above the test).
constexpr int kPolishSteps = 400;
constexpr int kStall = 25;

void polish(const Objective& f, Lowest& low, const double* newton_hinv) {
    double x[kParams], g[kParams], hinv[kParams * kParams];
    std::copy_n(low.p, kParams, x);
    double fx = f.value_and_gradient(x, g);
    auto restart = [&] {
        std::fill_n(hinv, kParams * kParams, 0.0);
        double largest = 1.0;
        for (int i = 0; i < kParams; ++i) largest = std::max(largest, std::abs(g[i]));
        for (int i = 0; i < kParams; ++i) hinv[i * (kParams + 1)] = 1.0 / largest;
    };
    // The last inverse Hessian of the Newton steps, when there is one,
    // makes the first steps Newton steps on the analytic gradient.
    bool fresh = newton_hinv == nullptr;  // hinv is the scaled identity
    if (fresh)
        restart();
    else
        std::copy_n(newton_hinv, kParams * kParams, hinv);
    double before = fx;  // G2 kStall steps ago
    for (int step = 0; step < kPolishSteps; ++step) {
        if (step % kStall == 0) {
            if (step > 0 && !(fx < before - 1e-9 * (1.0 + std::abs(before)))) return;
            before = fx;
        }
        if (gradient_small(g)) {
            // After Newton steps that ended on a positive definite Hessian
            // no saddle is near.
            if (newton_hinv != nullptr) return;
            double gn[kParams], hess[kParams * kParams], v[kParams];
            f.derivatives(x, gn, hess);
            if (!negative_curvature(hess, v) || !step_along(f, v, x, fx, low)) return;
            fx = f.value_and_gradient(x, g);
            restart();
            fresh = true;
            continue;
        }
        double d[kParams], slope = 0.0;
        for (int i = 0; i < kParams; ++i) {
            double sum = 0.0;
            for (int j = 0; j < kParams; ++j) sum -= hinv[i + kParams * j] * g[j];
            d[i] = sum;
            slope += g[i] * sum;
        }
        if (!(slope < 0.0)) {
            if (fresh) return;
            restart();
            fresh = true;
            --step;
            continue;
        }
        double t = 1.0, xt[kParams], gt[kParams], ft = 0.0;
        bool found = false;
        for (int tries = 0; tries < 30; ++tries, t *= 0.5) {
            for (int i = 0; i < kParams; ++i) xt[i] = x[i] + t * d[i];
            ft = f.value_at(xt);
            found = ft <= fx + 1e-4 * t * slope;
            if (found) break;
        }
        if (!found) {
            if (fresh) return;
            restart();
            fresh = true;
            continue;
        }
        ft = f.value_and_gradient(xt, gt);
        // A whole step after which G2 still falls steeply along D (the
        // curvature condition of Wolfe not met) is doubled while that holds
        // and G2 goes on falling enough, so that the updates see the
        // curvature of a long valley.
        for (int longer = 0; t == 1.0 && longer < 10; ++longer) {
            double along = 0.0;
            for (int i = 0; i < kParams; ++i) along += gt[i] * d[i];
            if (!(along < 0.9 * slope)) break;
            const double t2 = 2.0 * t;
            double x2[kParams], g2nd[kParams];
            for (int i = 0; i < kParams; ++i) x2[i] = x[i] + t2 * d[i];
            const double f2 = f.value_and_gradient(x2, g2nd);
            if (!(f2 <= fx + 1e-4 * t2 * slope) || !(f2 < ft)) break;
            t = t2;
            ft = f2;
            std::copy_n(x2, kParams, xt);
            std::copy_n(g2nd, kParams, gt);
        }
        low.offer(xt, ft);
        double s[kParams], y[kParams], sy = 0.0, yy = 0.0;
        for (int i = 0; i < kParams; ++i) {
            s[i] = xt[i] - x[i];
            y[i] = gt[i] - g[i];
            sy += s[i] * y[i];
            yy += y[i] * y[i];
        }
        if (sy > 1e-12 * std::sqrt(yy) * t) {
            if (fresh) {
                // The first step scales the identity by s'y / y'y.
                std::fill_n(hinv, kParams * kParams, 0.0);
                for (int i = 0; i < kParams; ++i) hinv[i * (kParams + 1)] = sy / yy;
            }
            // H := (I - rho s y') H (I - rho y s') + rho s s'.
            const double rho = 1.0 / sy;
            double hy[kParams], yhy = 0.0;
            for (int i = 0; i < kParams; ++i) {
                double sum = 0.0;
                for (int j = 0; j < kParams; ++j) sum += hinv[i + kParams * j] * y[j];
                hy[i] = sum;
                yhy += y[i] * sum;
            }
            for (int i = 0; i < kParams; ++i)
                for (int j = 0; j < kParams; ++j)
                    hinv[i + kParams * j] +=
                        (1.0 + rho * yhy) * rho * s[i] * s[j] - rho * (hy[i] * s[j] + s[i] * hy[j]);
            fresh = false;
        }
        std::copy_n(xt, kParams, x);
        std::copy_n(gt, kParams, g);
        fx = ft;
    }
}

}  // namespace

void NXKSUB(int NV, int K, std::span<int> A, int& MORE, NXKSUB_KEPT& KEPT) {
    if (K < 1 || A.size() < static_cast<std::size_t>(K)) throw std::length_error("NXKSUB: A is shorter than K");
    int h = 0;
    int m = 0;
    bool grows = false;
    if (K == KEPT.k && NV == KEPT.nv && MORE != 0) {
        // The rightmost element that can still grow.
        for (h = 1; h <= K; ++h) {
            m = A[static_cast<std::size_t>(K - h)];
            if (m != NV - h + 1) {
                grows = true;
                break;
            }
        }
    }
    if (!grows) {
        m = 0;
        h = K;
        KEPT.nv = NV;
        KEPT.k = K;
    }
    for (int j = 1; j <= h; ++j) A[static_cast<std::size_t>(K - h + j - 1)] = m + j;
    MORE = A[0] != NV - K + 1 ? 1 : 0;
}

void STEPAD(std::span<const double> X, int I, double& H) {
    const double x = X[static_cast<std::size_t>(I - 1)];
    H = static_cast<double>(0.01f);
    const double t = x + H;
    H = t - x;
}

void MVNFUN(std::span<const double> P, std::span<const double> Q, std::span<const double> W,
            std::span<const double> PAT, int N, std::span<const int> O, double& F) {
    if (P.size() < kParams) throw std::length_error("MVNFUN: P is shorter than 6");
    F = Objective(Q, W, PAT, N, O).value_at(P.data());
}

void MVNOPT(std::span<const double> P, std::span<const double> Q, std::span<const double> W,
            std::span<const double> PAT, int N, std::span<const int> O, std::span<double> G, std::span<double> HINV) {
    if (P.size() < kParams || G.size() < kParams || HINV.size() < kParams * kParams)
        throw std::length_error("MVNOPT: P, G or HINV is too short");
    Objective(Q, W, PAT, N, O).opt(P.data(), G.data(), HINV.data());
}

void mvn_start(double R12, double R13, double R23, const double TAU[3], double P[6]) {
    const double ratios[3] = {ratio(R12, R13, R23), ratio(R12, R23, R13), ratio(R13, R23, R12)};
    // Under one factor r12 = l1 l2 and r13 = l1 l3: with item 1 positive,
    // items 2 and 3 take the signs of r12 and r13.
    const double signs[3] = {1.0, R12 < 0.0 ? -1.0 : 1.0, R13 < 0.0 ? -1.0 : 1.0};
    for (int i = 0; i < 3; ++i) {
        const double s = signs[i];
        double lambda = s * std::sqrt(std::abs(ratios[i]));
        if (std::abs(lambda) >= 1.0) lambda = s * 0.99;
        const double root = std::sqrt(1.0 - lambda * lambda);
        P[3 + i] = lambda / root;
        P[i] = -TAU[i] / root;
    }
}

double mvn_start_statistic(const double P[6], int N, std::span<const int> O) {
    return Objective(nodes(), weights(), patterns(), N, O).start_value(P);
}

std::int64_t triplet_count(int NVAR) {
    std::int64_t t = 1;
    for (int m = 1; m <= 3; ++m) t = t * (NVAR - m + 1) / m;
    return t;
}

void mvn_expected(const double P[6], double E[8]) {
    const int none[kPatterns] = {};
    const Objective f(nodes(), weights(), patterns(), 1, none);
    double c[3][kNodes];
    for (int i = 0; i < 3; ++i) f.column(P[3 + i], P[i], c[i]);
    const double* cols[3] = {c[0], c[1], c[2]};
    f.expected(cols, E);
}

MvnStep mvn_step_search(const double P[6], const double D[6], double G2,
                        const std::function<double(const double*)>& F) {
    // An equal trial would be tried again with the same t, which gives the
    // same value: it ends the search at once.
    MvnStep step;
    double t = 1.0;
    for (int tries = 0; tries < 4; ++tries) {
        double trial[kParams];
        for (int i = 0; i < kParams; ++i) trial[i] = P[i] - t * D[i];
        const double value = F(trial);
        ++step.trials;
        if (!std::isfinite(value)) {
            t *= 0.5;
            continue;
        }
        step.found = true;
        step.g2 = value;
        for (int i = 0; i < kParams; ++i) step.p[i] = trial[i];
        if (value > G2) {
            t *= 0.5;
            continue;
        }
        break;
    }
    return step;
}

MvnFit mvn_fit(std::span<const int> O, int N, const double TAU[3], double R12, double R13, double R23) {
    const Objective f(nodes(), weights(), patterns(), N, O);
    double p[kParams];
    mvn_start(R12, R13, R23, TAU, p);
    double start[kParams];
    std::copy_n(p, kParams, start);
    MvnFit fit;
    Lowest low;
    double g2 = f.start_value(p);
    fit.ended = MvnEnd::limit;
    double hinv[kParams * kParams];
    bool inverted = false;  // hinv holds the last inverse Hessian
    for (int iter = 0; iter < 10; ++iter) {
        double g[kParams];
        f.opt(p, g, hinv);
        inverted = hinv[0] != SPDINC_FAILED;
        if (!inverted) {
            fit.ended = MvnEnd::singular;
            break;
        }
        double d[kParams];
        for (int i = 0; i < kParams; ++i) {
            double s = 0.0;
            for (int j = 0; j < kParams; ++j) s += hinv[i + kParams * j] * g[j];
            d[i] = s;
        }
        const MvnStep step = mvn_step_search(p, d, g2, [&f](const double* trial) { return f.value_at(trial); });
        if (!step.found) {
            fit.ended = MvnEnd::no_trial;
            break;
        }
        for (int i = 0; i < kParams; ++i) p[i] = step.p[i];
        g2 = step.g2;
        low.offer(p, g2);
        ++fit.iterations;
        if (gradient_small(g)) {
            fit.ended = MvnEnd::converged;
            break;
        }
    }
    if (fit.ended == MvnEnd::converged) {
        fit.g2 = g2;
        std::copy_n(p, kParams, fit.p);
    } else {
        low.offer(start, f.value_at(start));
        polish(f, low, inverted ? hinv : nullptr);
        fit.g2 = low.g2;
        std::copy_n(low.p, kParams, fit.p);
    }
    // The weights sum to slightly more than 1 (they are floats), so a
    // perfect fit comes out a little below 0: it is reported as 0.
    if (fit.g2 < 0.0) fit.g2 = 0.0;
    fit.evaluations = f.evaluations();
    return fit;
}

const char* mvn_mark(double g2) {
    if (g2 >= MVN_SUSPECT) return "**";
    if (g2 >= MVN_NOTED) return "* ";
    return "  ";
}

void MVNTRP(int I1, int I2, int I3, std::span<const double> X1, std::span<const double> X2,
            std::span<const double> X3, double R12, double R13, double R23, int N, int LU, double& G2) {
    static const rt::Format line = rt::parse_format("(3(I3,1X),2X,F10.4,A2)");
    const auto n = static_cast<std::size_t>(N);
    if (X1.size() < n || X2.size() < n || X3.size() < n) throw std::length_error("MVNTRP: a column is shorter than N");
    const std::span<const double> x[3] = {X1, X2, X3};
    double tau[3];
    for (int i = 0; i < 3; ++i) {
        int ones = 0;
        for (std::size_t s = 0; s < n; ++s) ones += x[i][s] == 1.0;
        tau[i] = num2::DNORIN(static_cast<double>(ones) / static_cast<double>(N));
    }
    int o[kPatterns] = {};
    for (std::size_t s = 0; s < n; ++s) {
        for (int p = 0; p < kPatterns; ++p) {
            if (X1[s] == MVN_PATTERNS[p] && X2[s] == MVN_PATTERNS[p + 8] && X3[s] == MVN_PATTERNS[p + 16]) {
                ++o[p];
                break;
            }
        }
    }
    G2 = mvn_fit(o, N, tau, R12, R13, R23).g2;
    rt::write(LU, line, I1, I2, I3, G2, mvn_mark(G2));
}

}  // namespace orv::engine
