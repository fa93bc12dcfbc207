#include "engine/stats/mvntrp.h"

#include <cmath>
#include <cstddef>
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
        double hess[kParams * kParams];
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
        SPDINC_PURE(std::span<const double>(hess, kParams * kParams), kParams, std::span<double>(hinv, kParams * kParams));
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
    for (int i = 0; i < 3; ++i) {
        const double s = ratios[i] <= 0.0 ? -1.0 : 1.0;
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
    MvnFit fit;
    double g2 = f.start_value(p);
    const double tolerance = static_cast<double>(1.0e-5f);
    for (int iter = 0; iter < 10; ++iter) {
        double g[kParams], hinv[kParams * kParams];
        f.opt(p, g, hinv);
        if (hinv[0] == SPDINC_FAILED) break;
        double d[kParams];
        for (int i = 0; i < kParams; ++i) {
            double s = 0.0;
            for (int j = 0; j < kParams; ++j) s += hinv[i + kParams * j] * g[j];
            d[i] = s;
        }
        const MvnStep step = mvn_step_search(p, d, g2, [&f](const double* trial) { return f.value_at(trial); });
        if (!step.found) break;
        for (int i = 0; i < kParams; ++i) p[i] = step.p[i];
        g2 = step.g2;
        ++fit.iterations;
        if (std::abs(g[0]) <= tolerance) break;
    }
    fit.g2 = g2;
    for (int i = 0; i < kParams; ++i) fit.p[i] = p[i];
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
