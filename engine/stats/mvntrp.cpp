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
// What the search's G2 at a point is made from: the item columns and the
// pattern probabilities, kept so that the derivatives there, when the point
// is taken, need no column made again.
struct SearchPoint {
    double c[3][kNodes];
    double e[kPatterns];
};

class Objective {
public:
    Objective(std::span<const double> q, std::span<const double> w, std::span<const double> pat, int n,
              std::span<const int> o)
        : q_(q.data()), w_(w.data()), pat_(pat.data()), n_(n), o_(o.data()) {
        if (q.size() < kNodes || w.size() < kNodes || pat.size() < 3 * kPatterns || o.size() < kPatterns)
            throw std::length_error("MVNFUN: Q, W, PAT or O is too short");
        const double nd = static_cast<double>(n);
        for (int p = 0; p < kPatterns; ++p)
            for (int i = 0; i < 3; ++i) bit_[p][i] = pat_[p + kPatterns * i] == 1.0 ? 1 : 0;
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

    // The searches for a minimum take the probabilities of response 1 from
    // the C library's erfc, Phi(-z) = erfc(z / sqrt 2) / 2, which is more
    // than twice as fast as DNORDF and within a few units of the last
    // place of it; the statistic reported is value_at's at the minimum.
    void search_column(double a, double b, double* c) const {
        const double inv_root_2 = 0.7071067811865476;
        for (int k = 0; k < kNodes; ++k) c[k] = 0.5 * std::erfc((a * q_[k] + b) * inv_root_2);
    }

    // The 8 pattern probabilities E at the parameters P, on DNORDF's columns
    // or on the search's.
    void probabilities(const double* p, bool search, double e[kPatterns]) const {
        double c[3][kNodes];
        for (int i = 0; i < 3; ++i) {
            if (search)
                search_column(p[3 + i], p[i], c[i]);
            else
                column(p[3 + i], p[i], c[i]);
        }
        const double* cols[3] = {c[0], c[1], c[2]};
        expected(cols, e);
    }

    // G2 at P on the search's columns, which AT keeps with the pattern
    // probabilities.  A pattern that some subject shows
    // with a probability of exactly 0 makes it infinite: MVNFUN's 1/N for
    // such a probability keeps its logarithm finite, but a search that went
    // there would find a "fit" below every true one (the probabilities then
    // sum to more than 1).
    double search_value(const double* p, SearchPoint& at) const {
        for (int i = 0; i < 3; ++i) search_column(p[3 + i], p[i], at.c[i]);
        const double* cols[3] = {at.c[0], at.c[1], at.c[2]};
        expected(cols, at.e);
        return search_statistic(at.e);
    }

    // G2 of the pattern probabilities E for the searches.
    double search_statistic(const double* e) const {
        ++evaluations_;
        double s1 = 0.0;
        for (int p = 0; p < kPatterns; ++p) {
            if (o_[p] == 0) continue;
            if (e[p] == 0.0) return std::numeric_limits<double>::infinity();
            s1 += static_cast<double>(o_[p]) * std::log(e[p]);
        }
        return -2.0 * (s1 - s2_);
    }

    // The gradient G and the Hessian HESS (6 x 6, column-major) of G2 at P,
    // where search_value found POINT (and a finite G2), from the first and
    // second derivatives of the
    // pattern probabilities E.  With z = a_i q + b_i, d P1(i, q) / dz =
    // -phi(z) and d2 P1(i, q) / dz2 = z phi(z), and dz / db_i = 1, dz / da_i
    // = q, so that every derivative is a moment 1, q or q^2 over the nodes.
    // G2 = -2 sum O ln E + const gives
    //   dG2 = -2 sum W dE,   d2G2 = -2 (sum W d2E - sum W dE dE' / E)
    // with W = O / E (0 for an unobserved pattern).  The sum of W d2E is
    // formed once over the nodes: the patterns that differ only in item i's
    // response have opposite derivatives in item i's parameters, so it
    // takes the differences of W along each item (and each pair of items).
    void derivatives_at(const double* p, const SearchPoint& point, double* g, double* hess) const {
        const double inv_root_2pi = 0.3989422804014327;
        const auto& c = point.c;
        const double* e = point.e;
        double rest[3][kNodes], density[3][kNodes], curve[3][kNodes];
        for (int i = 0; i < 3; ++i) {
            for (int k = 0; k < kNodes; ++k) {
                const double z = p[3 + i] * q_[k] + p[i];
                rest[i][k] = 1.0 - c[i][k];
                density[i][k] = inv_root_2pi * std::exp(-0.5 * z * z);
                curve[i][k] = z * density[i][k];
            }
        }
        // W by responses (item 1, item 2, item 3; 1 for a response of 1).
        double w3[2][2][2] = {};
        for (int pat = 0; pat < kPatterns; ++pat)
            if (o_[pat] != 0 && e[pat] != 0.0) w3[bit_[pat][0]][bit_[pat][1]][bit_[pat][2]] = static_cast<double>(o_[pat]) / e[pat];
        auto at = [&w3](int i, int si, int j, int sj, int l, int sl) {
            int s[3];
            s[i] = si, s[j] = sj, s[l] = sl;
            return w3[s[0]][s[1]][s[2]];
        };
        const int others[3][2] = {{1, 2}, {0, 2}, {0, 1}};
        // dE of the patterns with response 1 on item i, by the responses of
        // the other two (j, l): moments 1 and q of -w phi_i f_j f_l; the
        // patterns with response 0 on item i have the opposite.  And the
        // differences of W along item i and along the pair (j, l).
        double first[3][2][2][2] = {}, along[3][2][2], across[3][2];
        for (int i = 0; i < 3; ++i) {
            const int j = others[i][0], l = others[i][1];
            for (int sj = 0; sj < 2; ++sj)
                for (int sl = 0; sl < 2; ++sl) along[i][sj][sl] = at(i, 1, j, sj, l, sl) - at(i, 0, j, sj, l, sl);
            for (int si = 0; si < 2; ++si)
                across[i][si] = at(i, si, j, 1, l, 1) - at(i, si, j, 1, l, 0) - at(i, si, j, 0, l, 1) + at(i, si, j, 0, l, 0);
        }
        double same[3][3] = {}, pair[3][3] = {};
        for (int k = 0; k < kNodes; ++k) {
            const double q = q_[k], w = w_[k];
            for (int i = 0; i < 3; ++i) {
                const int j = others[i][0], l = others[i][1];
                const double fj[2] = {rest[j][k], c[j][k]}, fl[2] = {rest[l][k], c[l][k]};
                const double wd = w * density[i][k];
                for (int sj = 0; sj < 2; ++sj) {
                    const double wdj = wd * fj[sj];
                    for (int sl = 0; sl < 2; ++sl) {
                        const double t = wdj * fl[sl];
                        first[i][sj][sl][0] += t;
                        first[i][sj][sl][1] += t * q;
                    }
                }
                // Second derivatives in item i's parameters (W d2E summed
                // over the patterns), and in those of the pair (j, l).
                const double contracted = fj[0] * (along[i][0][0] * fl[0] + along[i][0][1] * fl[1]) +
                                          fj[1] * (along[i][1][0] * fl[0] + along[i][1][1] * fl[1]);
                const double u = w * curve[i][k] * contracted;
                const double v = w * density[j][k] * density[l][k] * (across[i][0] * rest[i][k] + across[i][1] * c[i][k]);
                const double uq = u * q, vq = v * q;
                same[i][0] += u;
                same[i][1] += uq;
                same[i][2] += uq * q;
                pair[i][0] += v;
                pair[i][1] += vq;
                pair[i][2] += vq * q;
            }
        }
        // H := sum W d2E, item by item and pair by pair.
        std::fill_n(hess, kParams * kParams, 0.0);
        for (int i = 0; i < 3; ++i) {
            hess[i + kParams * i] = same[i][0];
            hess[i + kParams * (3 + i)] = hess[3 + i + kParams * i] = same[i][1];
            hess[3 + i + kParams * (3 + i)] = same[i][2];
            // pair[i] belongs to the two items other than i.
            const int j = others[i][0], l = others[i][1];
            hess[j + kParams * l] = hess[l + kParams * j] = pair[i][0];
            hess[j + kParams * (3 + l)] = hess[3 + l + kParams * j] = pair[i][1];
            hess[3 + j + kParams * l] = hess[l + kParams * (3 + j)] = pair[i][1];
            hess[3 + j + kParams * (3 + l)] = hess[3 + l + kParams * (3 + j)] = pair[i][2];
        }
        // Then the gradient and the outer products, pattern by pattern.
        std::fill_n(g, kParams, 0.0);
        for (int pat = 0; pat < kPatterns; ++pat) {
            const double wp = w3[bit_[pat][0]][bit_[pat][1]][bit_[pat][2]];
            if (wp == 0.0) continue;
            double de[kParams];
            for (int i = 0; i < 3; ++i) {
                const int j = others[i][0], l = others[i][1];
                const double* m = first[i][bit_[pat][j]][bit_[pat][l]];
                const double sign = bit_[pat][i] == 1 ? -1.0 : 1.0;
                de[i] = sign * m[0];
                de[3 + i] = sign * m[1];
            }
            const double scaled = wp / e[pat];
            for (int r = 0; r < kParams; ++r) {
                g[r] += wp * de[r];
                for (int col = 0; col < kParams; ++col) hess[r + kParams * col] -= scaled * de[r] * de[col];
            }
        }
        for (int r = 0; r < kParams; ++r) {
            g[r] *= -2.0;
            for (int col = 0; col < kParams; ++col) hess[r + kParams * col] *= -2.0;
        }
    }

    // The start statistic: E(p) as in MVNFUN, both sums over E(p) > 0.
    double start_value(const double* p) const {
        double e[kPatterns];
        probabilities(p, false, e);
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
    int bit_[kPatterns][3];  // the responses of each pattern, 1 or 0
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

// The eigenvalues LAMBDA (6) and unit eigenvectors V (6 x 6, column j
// belongs to LAMBDA(j)) of the symmetric 6 x 6 matrix A, by cyclic Jacobi
// rotations on its upper triangle.  The first three sweeps rotate only the
// larger elements; later ones set to 0 an element too small to change
// either diagonal element it meets.  The rotations' changes of the diagonal
// are gathered per sweep, which keeps the eigenvalues accurate.
void symmetric_eigen(const double* A, double* lambda, double* V) {
    constexpr int n = kParams;
    double a[n][n];  // a[row][column], upper triangle used
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) a[i][j] = A[i + n * j];
    std::fill_n(V, n * n, 0.0);
    double d[n], b[n], z[n] = {};
    for (int i = 0; i < n; ++i) {
        V[i * (n + 1)] = 1.0;
        d[i] = b[i] = a[i][i];
    }
    auto rotate = [](double& x, double& y, double s, double tau) {
        const double gx = x, hy = y;
        x = gx - s * (hy + gx * tau);
        y = hy + s * (gx - hy * tau);
    };
    for (int sweep = 1; sweep <= 50; ++sweep) {
        double off = 0.0;
        for (int p = 0; p < n - 1; ++p)
            for (int q = p + 1; q < n; ++q) off += std::abs(a[p][q]);
        if (off == 0.0) break;
        const double threshold = sweep < 4 ? 0.2 * off / (n * n) : 0.0;
        for (int p = 0; p < n - 1; ++p)
            for (int q = p + 1; q < n; ++q) {
                const double apq = a[p][q];
                const double g = 100.0 * std::abs(apq);
                if (sweep > 4 && std::abs(d[p]) + g == std::abs(d[p]) && std::abs(d[q]) + g == std::abs(d[q])) {
                    a[p][q] = 0.0;
                    continue;
                }
                if (!(std::abs(apq) > threshold)) continue;
                // The rotation (c, s) that zeroes a(p, q); tau = s / (1 + c).
                const double h = d[q] - d[p];
                double t;
                if (std::abs(h) + g == std::abs(h)) {
                    t = apq / h;
                } else {
                    const double theta = 0.5 * h / apq;
                    t = 1.0 / (std::abs(theta) + std::sqrt(1.0 + theta * theta));
                    if (theta < 0.0) t = -t;
                }
                const double c = 1.0 / std::sqrt(1.0 + t * t), s = t * c, tau = s / (1.0 + c);
                const double shift = t * apq;
                z[p] -= shift;
                z[q] += shift;
                d[p] -= shift;
                d[q] += shift;
                a[p][q] = 0.0;
                for (int j = 0; j < p; ++j) rotate(a[j][p], a[j][q], s, tau);
                for (int j = p + 1; j < q; ++j) rotate(a[p][j], a[j][q], s, tau);
                for (int j = q + 1; j < n; ++j) rotate(a[p][j], a[q][j], s, tau);
                for (int j = 0; j < n; ++j) rotate(V[j + n * p], V[j + n * q], s, tau);
            }
        for (int p = 0; p < n; ++p) {
            b[p] += z[p];
            d[p] = b[p];
            z[p] = 0.0;
        }
    }
    std::copy_n(d, n, lambda);
}

// D := -H^-1 G by Cholesky factors; false when H is not positive definite.
bool cholesky_newton(const double* H, const double* G, double* D) {
    double l[kParams * kParams] = {};
    for (int j = 0; j < kParams; ++j) {
        double diag = H[j * (kParams + 1)];
        for (int k = 0; k < j; ++k) diag -= l[j + kParams * k] * l[j + kParams * k];
        if (!(diag > 0.0)) return false;
        const double root = std::sqrt(diag);
        l[j * (kParams + 1)] = root;
        for (int i = j + 1; i < kParams; ++i) {
            double sum = H[i + kParams * j];
            for (int k = 0; k < j; ++k) sum -= l[i + kParams * k] * l[j + kParams * k];
            l[i + kParams * j] = sum / root;
        }
    }
    double y[kParams];
    for (int i = 0; i < kParams; ++i) {
        double sum = -G[i];
        for (int k = 0; k < i; ++k) sum -= l[i + kParams * k] * y[k];
        y[i] = sum / l[i * (kParams + 1)];
    }
    for (int i = kParams - 1; i >= 0; --i) {
        double sum = y[i];
        for (int k = i + 1; k < kParams; ++k) sum -= l[k + kParams * i] * D[k];
        D[i] = sum / l[i * (kParams + 1)];
    }
    return true;
}

// The Newton direction D = -H^-1 G when the Hessian H is positive definite
// (true then), else -|H|^-1 G with the absolute values of H's eigenvalues
// (none below 1e-10 of the largest), which descends along directions of
// negative curvature as far as along those of positive curvature.  V: the
// eigenvector of H's lowest eigenvalue, when H is not positive definite.
bool newton_direction(const double* H, const double* G, double* D, double* V) {
    if (cholesky_newton(H, G, D)) return true;
    double lambda[kParams], vectors[kParams * kParams];
    symmetric_eigen(H, lambda, vectors);
    double largest = 0.0;
    int lowest = 0;
    for (int j = 0; j < kParams; ++j) {
        largest = std::max(largest, std::abs(lambda[j]));
        if (lambda[j] < lambda[lowest]) lowest = j;
    }
    const double smallest = 1e-10 * largest;
    std::fill_n(D, kParams, 0.0);
    for (int j = 0; j < kParams; ++j) {
        const double* v = vectors + kParams * j;
        double along = 0.0;
        for (int i = 0; i < kParams; ++i) along += v[i] * G[i];
        const double scale = std::max(std::abs(lambda[j]), smallest);
        if (!(scale > 0.0)) continue;
        for (int i = 0; i < kParams; ++i) D[i] -= v[i] * along / scale;
    }
    std::copy_n(vectors + kParams * lowest, kParams, V);
    return false;
}

// Where a search from one of the further starts gives up: when its steps
// leave the sign pattern of the loadings it started in (the slopes of items
// 2 and 3 change sign relative to item 1's), or, in the valley of item
// `item`'s growing slope, when that slope falls below 0.9 of its start
// (G2 falls towards smaller slopes there: the floor of the valley, far out
// where the slope has no more effect, is not below).  Its minimum then
// lies in the reach of the start of that other pattern, or outside the
// valley.
struct Region {
    enum Kind { everywhere, signs, valley } kind = everywhere;
    int item = 0;
    bool s12 = false, s13 = false;  // a1 a2 < 0, a1 a3 < 0 at the start
    double lowest = 0.0;            // the lowest slope of the valley
    double beat = std::numeric_limits<double>::infinity();  // the lowest G2 found before a valley

    static Region of_signs(const double* p) { return {signs, 0, p[3] * p[4] < 0.0, p[3] * p[5] < 0.0, 0.0}; }
    static Region of_valley(const double* p, int item, double beat) {
        return {valley, item, false, false, 0.9 * std::abs(p[3 + item]), beat};
    }

    // In a valley, whether G2 at P (gradient G, the Newton step's slope
    // SLOPE) lies so far above the lowest minimum found before that neither
    // the step nor the way out of the valley can come near it: by more than
    // ten times the fall that the step's quadratic model promises plus the
    // fall at the present rate along the valley (slope and intercept of its
    // item shrinking together) down to its lowest slope.  Such a search has
    // reached the floor of a valley that stays above the lowest minimum.
    bool cannot_beat(const double* p, const double* g, double value, double slope) const {
        if (kind != valley || !(value > beat)) return false;
        const double a = std::abs(p[3 + item]);
        const double along = (g[3 + item] * p[3 + item] + g[item] * p[item]) / a;
        const double fall = std::max(0.0, -slope) + std::max(0.0, along) * (a - lowest);
        return value - 10.0 * fall > beat;
    }

    bool left(const double* p) const {
        switch (kind) {
            case signs:
                return p[3] * p[4] == 0.0 || p[3] * p[5] == 0.0 || (p[3] * p[4] < 0.0) != s12 ||
                       (p[3] * p[5] < 0.0) != s13;
            case valley:
                return std::abs(p[3 + item]) < lowest;
            case everywhere:
                break;
        }
        return false;
    }
};

// The minima found so far, as loadings a / sqrt(1 + a^2) and thresholds
// -b / sqrt(1 + a^2), where the valleys of growing slopes end near loadings
// of 1 and the mirror image (all slopes negated) gives the same G2.  A
// search that comes within 0.02 of one in all six gives up: it is on its
// way there.
struct Known {
    int count = 0;
    double at[7][kParams] = {};

    static void standardized(const double* p, double* out) {
        for (int i = 0; i < 3; ++i) {
            const double root = std::sqrt(1.0 + p[3 + i] * p[3 + i]);
            out[i] = -p[i] / root;
            out[3 + i] = p[3 + i] / root;
        }
    }
    void add(const double* p) {
        if (count < 7) standardized(p, at[count++]);
    }
    bool near(const double* p) const {
        double x[kParams];
        standardized(p, x);
        for (int m = 0; m < count; ++m) {
            double same = 0.0, mirror = 0.0;
            for (int i = 0; i < kParams; ++i) {
                same = std::max(same, std::abs(x[i] - at[m][i]));
                mirror = std::max(mirror, std::abs((i < 3 ? x[i] : -x[i]) - at[m][i]));
            }
            if (std::min(same, mirror) <= 0.02) return true;
        }
        return false;
    }
};

// One local search: Newton steps on the analytic gradient and Hessian from
// a start to where every gradient component is at most 1.0E-5 and the
// Hessian is positive definite, or to where no step lowers G2; or until
// the steps leave the search's region.
struct Descent {
    double g2 = 0.0;
    double p[kParams] = {};
    int steps = 0;
    MvnEnd ended = MvnEnd::limit;
    bool left = false;  // gave up on leaving its region: g2 is no minimum
};

// Below this the statistic prints as 0.0000: no other minimum can change
// what is reported.
constexpr double kNearZero = 5e-5;

// A step's largest change of one parameter: steps that would go further
// are shortened to it, so that a long valley is followed rather than left.
constexpr double kLongest = 10.0;
// The longest doubling of a whole step.
constexpr double kLongestDoubling = 64.0;
// At most this many Newton steps in one search (none of the test cases
// comes near it).
constexpr int kDescentSteps = 200;

Descent descend(const Objective& f, const double* start, const Region& region, const Known& known) {
    Descent run;
    double* x = run.p;
    std::copy_n(start, kParams, x);
    // The point of the latest value, and a spare for the doublings.
    SearchPoint points[2];
    SearchPoint *at = &points[0], *spare = &points[1];
    double g[kParams], h[kParams * kParams];
    double fx = f.search_value(x, *at);
    run.left = !std::isfinite(fx);
    if (!run.left) f.derivatives_at(x, *at, g, h);
    for (; !run.left && run.steps < kDescentSteps; ++run.steps) {
        if (fx < kNearZero) {
            run.ended = MvnEnd::flat;
            break;
        }
        double d[kParams], v[kParams];
        const bool definite = newton_direction(h, g, d, v);
        const bool saddle = gradient_small(g);
        if (saddle) {
            if (definite) {
                run.ended = MvnEnd::converged;
                break;
            }
            // A saddle (such as slopes 0, where the slopes' gradient
            // vanishes by symmetry) is left along its direction of lowest
            // curvature, when G2 falls along it.
            std::copy_n(v, kParams, d);
        }
        double longest = 0.0, slope = 0.0;
        for (int i = 0; i < kParams; ++i) {
            longest = std::max(longest, std::abs(d[i]));
            slope += g[i] * d[i];
        }
        if (!saddle && region.cannot_beat(x, g, fx, slope)) {
            run.left = true;
            break;
        }
        if (longest > kLongest)
            for (double& di : d) di *= kLongest / longest;
        // The whole step comes with the derivatives at its end, which the
        // next step needs when it is taken (as it mostly is); shorter ones
        // are halved until G2 falls enough (Armijo), or, leaving a saddle,
        // until it falls at all, on either side.
        auto enough = [&](double value, double t) {
            return saddle ? value < fx : value <= fx + 1e-4 * t * slope && value < fx;
        };
        double xt[kParams], gt[kParams], ht[kParams * kParams];
        for (int i = 0; i < kParams; ++i) xt[i] = x[i] + d[i];
        double ft = f.search_value(xt, *at);
        bool found = enough(ft, 1.0), derivatives = found;
        if (found) f.derivatives_at(xt, *at, gt, ht);
        // Leaving a saddle, both sides of each length; else the next
        // length from the quadratic through G2 here, its slope along D and
        // the last trial, between 0.1 and 0.5 of the last length.
        auto trial = [&](double t, double side) {
            for (int i = 0; i < kParams; ++i) xt[i] = x[i] + side * t * d[i];
            ft = f.search_value(xt, *at);
            return enough(ft, t);
        };
        if (!found && saddle) found = trial(1.0, -1.0);
        for (double t = 1.0, last = ft; !found;) {
            if (saddle || !std::isfinite(last)) {
                t *= saddle ? 0.5 : 0.1;
            } else {
                const double fitted = -slope * t * t / (2.0 * (last - fx - slope * t));
                t = std::clamp(fitted, 0.1 * t, 0.5 * t);
            }
            if (!(t > 0x1p-60)) break;
            found = trial(t, 1.0);
            last = ft;
            if (!found && saddle) found = trial(t, -1.0);
        }
        if (!found) {
            run.ended = saddle ? MvnEnd::converged : MvnEnd::flat;
            break;
        }
        if (derivatives) {
            // A whole step after which G2 still falls steeply along D, as
            // in a valley that flattens towards its floor far away, is
            // doubled while G2 goes on falling.
            double along = 0.0;
            for (int i = 0; i < kParams; ++i) along += gt[i] * d[i];
            for (double t = 2.0; along < 0.7 * slope && t <= kLongestDoubling; t *= 2.0) {
                double x2[kParams];
                for (int i = 0; i < kParams; ++i) x2[i] = x[i] + t * d[i];
                const double f2 = f.search_value(x2, *spare);
                if (!(f2 < ft)) break;
                ft = f2;
                std::copy_n(x2, kParams, xt);
                std::swap(at, spare);
                derivatives = false;
            }
        }
        std::copy_n(xt, kParams, x);
        fx = ft;
        if (region.left(x) || known.near(x)) {
            run.left = true;
            ++run.steps;
            break;
        }
        // The derivatives at the step's end, unless the whole step brought
        // them.
        if (derivatives) {
            std::copy_n(gt, kParams, g);
            std::copy_n(ht, kParams * kParams, h);
        } else {
            f.derivatives_at(x, *at, g, h);
        }
    }
    run.g2 = run.left ? fx : f.value_at(x);
    return run;
}

// The start loadings from the pair correlations: magnitudes
// sqrt(|r r / r|), clamped to 0.99; item 1's positive and items 2's and 3's
// with the signs of R12 and R13 (under one factor r12 = l1 l2 and r13 = l1
// l3); all 0 when one correlation is 0.
void start_loadings(double R12, double R13, double R23, double lambda[3]) {
    const double ratios[3] = {ratio(R12, R13, R23), ratio(R12, R23, R13), ratio(R13, R23, R12)};
    const double signs[3] = {1.0, R12 < 0.0 ? -1.0 : 1.0, R13 < 0.0 ? -1.0 : 1.0};
    for (int i = 0; i < 3; ++i) {
        lambda[i] = signs[i] * std::sqrt(std::abs(ratios[i]));
        if (std::abs(lambda[i]) >= 1.0) lambda[i] = signs[i] * 0.99;
    }
}

// The parameters of loadings LAMBDA and thresholds TAU (mvn_start's step 3).
void parameters(const double lambda[3], const double TAU[3], double P[kParams]) {
    for (int i = 0; i < 3; ++i) {
        const double root = std::sqrt(1.0 - lambda[i] * lambda[i]);
        P[3 + i] = lambda[i] / root;
        P[i] = -TAU[i] / root;
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
    double lambda[3];
    start_loadings(R12, R13, R23, lambda);
    parameters(lambda, TAU, P);
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
    Objective(nodes(), weights(), patterns(), 1, none).probabilities(P, false, E);
}

MvnFit mvn_fit(std::span<const int> O, int N, const double TAU[3], double R12, double R13, double R23) {
    const Objective f(nodes(), weights(), patterns(), N, O);
    double lambda[3];
    start_loadings(R12, R13, R23, lambda);
    MvnFit fit;
    fit.g2 = std::numeric_limits<double>::infinity();
    Known known;
    auto search = [&](const double* start, const Region& region) {
        const Descent run = descend(f, start, region, known);
        ++fit.searches;
        fit.steps += run.steps;
        if (run.left) return;
        known.add(run.p);
        if (run.ended == MvnEnd::limit) fit.ended = MvnEnd::limit;
        if (!(run.g2 < fit.g2)) return;
        fit.g2 = run.g2;
        std::copy_n(run.p, kParams, fit.p);
        if (fit.ended != MvnEnd::limit) fit.ended = run.ended;
    };
    double p[kParams];
    parameters(lambda, TAU, p);
    search(p, Region{});
    // The other three sign patterns of the loadings (item 1's positive, as
    // negating every slope mirrors the latent value and leaves G2 as it
    // is), with magnitudes from 0.3 to 0.9.
    // The start's own pattern is searched again when one of its loadings
    // was clamped to 0.99, from magnitudes 0.3 to 0.9.
    bool signed_start = lambda[0] != 0.0 && lambda[1] != 0.0 && lambda[2] != 0.0;
    for (double l : lambda) signed_start = signed_start && std::abs(l) < 0.99;
    for (int pattern = 0; pattern < 4 && !(fit.g2 < kNearZero); ++pattern) {
        const double s2 = pattern & 1 ? -1.0 : 1.0, s3 = pattern & 2 ? -1.0 : 1.0;
        if (signed_start && (lambda[1] < 0.0) == (s2 < 0.0) && (lambda[2] < 0.0) == (s3 < 0.0)) continue;
        const double s[3] = {1.0, s2, s3};
        double l[3];
        for (int i = 0; i < 3; ++i) l[i] = s[i] * std::clamp(std::abs(lambda[i]), 0.3, 0.9);
        parameters(l, TAU, p);
        search(p, Region::of_signs(p));
    }
    // The valley of each item's growing slope (a Heywood case): that item's
    // loading 0.999, the others' as in the sign patterns' starts, the signs
    // those of the lowest minimum so far.
    for (int item = 0; item < 3 && !(fit.g2 < kNearZero); ++item) {
        double l[3];
        for (int i = 0; i < 3; ++i) {
            const double s = fit.p[3 + i] < 0.0 ? -1.0 : 1.0;
            l[i] = s * (i == item ? 0.999 : std::clamp(std::abs(lambda[i]), 0.3, 0.9));
        }
        parameters(l, TAU, p);
        search(p, Region::of_valley(p, item, fit.g2));
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
