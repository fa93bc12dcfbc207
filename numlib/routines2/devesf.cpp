// Selected eigenpairs of a real symmetric matrix: reduction to tridiagonal
// form, root-free QR for all eigenvalues, inverse iteration for the
// selected ones, back-transformation, ordering and the sign rule.
#include "numlib/routines2/devesf.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

#include "numlib/array_args.h"
#include "numlib/blas_lapack.h"
#include "numlib/routines2/dsvrgn.h"
#include "numlib/routines2/dunif.h"
#include "numlib/routines2/devesf_parallel.h"
#include "numlib/routines2/eigen_team.h"
#include "numlib/routines2/erset.h"
#include "numlib/routines2/umach.h"
#include "process/thread_policy.h"

namespace orv::num2 {
namespace {

constexpr int kOne = 1;

using numlib::element;
using numlib::matrix_extent;
using numlib::require_length;

// 1-based view of a vector.
struct Vec {
    double* p;
    double& operator()(int i) const { return p[i - 1]; }
};

// The reduction's threads: process/thread_policy.h.  The grouped loops keep
// a copy of the matrix, so orders above kGroupedLimit (1 GiB of copy) take
// the loops of one column at a time.
constexpr int kGroupedLimit = 11000;

// Columns C..C+3 of the column sweep of p = B u for step I (see below):
// each column adds its products to E below it and completes E of its own
// index with its sum down from the diagonal.  The four sums run side by
// side instead of one after another, each element of E still gains the
// columns' products in column order, and each sum its terms in row order.
void product_columns(int n, int i, int c, const double* a, std::size_t ld, double* e) {
    auto col = [a, ld](int j) { return a + static_cast<std::size_t>(j - 1) * ld - 1; };  // 1-based rows
    const double* const u = col(i);
    const double* const a0 = col(c);
    const double* const a1 = col(c + 1);
    const double* const a2 = col(c + 2);
    const double* const a3 = col(c + 3);
    double* const E = e - 1;
    const double u0 = u[c], u1 = u[c + 1], u2 = u[c + 2], u3 = u[c + 3];
    double s0 = a0[c] * u0;
    double s1 = a1[c + 1] * u1;
    double s2 = a2[c + 2] * u2;
    double s3 = a3[c + 3] * u3;
    for (int r = c + 1; r <= c + 3; ++r) {
        E[r] += a0[r] * u0;
        s0 += a0[r] * u[r];
    }
    for (int r = c + 2; r <= c + 3; ++r) {
        E[r] += a1[r] * u1;
        s1 += a1[r] * u[r];
    }
    E[c + 3] += a2[c + 3] * u2;
    s2 += a2[c + 3] * u[c + 3];
    for (int r = c + 4; r <= n; ++r) {
        const double ur = u[r];
        double er = E[r];
        er += a0[r] * u0;
        s0 += a0[r] * ur;
        er += a1[r] * u1;
        s1 += a1[r] * ur;
        er += a2[r] * u2;
        s2 += a2[r] * ur;
        er += a3[r] * u3;
        s3 += a3[r] * ur;
        E[r] = er;
    }
    E[c] += s0;
    E[c + 1] += s1;
    E[c + 2] += s2;
    E[c + 3] += s3;
}

const char* const kNoConvergence =
    "The iteration for the eigenvalue failed  to converge in 100 iterations before               deflating ";

// Threads for the reduction of order N and the loops around it.
int reduction_threads(int n) { return eigen_team_size(n, proc::policy::kTridiagonalShare, proc::policy::kTridiagonalOrder); }

// DE6CSF on TEAM, or on a team of its own when TEAM is null.
void reduce(int n, std::span<double> a, int lda, std::span<double> d, std::span<double> e, std::span<double> e2,
            double& scinv, team::Team* team) {
    if (n < 1) return;
    require_length(a.size(), matrix_extent(n, n, lda), "DE6CSF", "A");
    require_length(d.size(), static_cast<std::size_t>(n), "DE6CSF", "D");
    require_length(e.size(), static_cast<std::size_t>(n), "DE6CSF", "E");
    require_length(e2.size(), static_cast<std::size_t>(n), "DE6CSF", "E2");
    ErrorLevel frame("DE6CSF");
    auto A = [&](int i, int j) -> double& { return a[element(i, j, lda)]; };
    const Vec D{d.data()}, E{e.data()}, E2{e2.data()};
    const double tol = DMACH(1) / DMACH(4);

    for (int j = 1; j <= n; ++j) D(j) = A(j, j);
    double amax = 0.0;
    for (int j = 1; j <= n; ++j) {
        for (int i = j; i <= n; ++i) {
            const double v = std::fabs(A(i, j));
            if (v > amax) amax = v;
        }
    }

    if (amax == 0.0) {
        for (int j = 1; j <= n; ++j) D(j) = E(j) = E2(j) = 0.0;
        scinv = 0.0;
    } else if (n == 1) {
        scinv = 1.0;
    } else {
        // s = 2^-t with t the truncated log2 of the largest element.  The
        // exponent is kept where 2^-t and 1/s are both finite, so a matrix
        // of subnormal numbers or infinities cannot overflow the factor.
        const double tq = std::trunc(std::log10(amax) / DMACH(5));
        int t = 0;
        if (std::isfinite(tq)) t = static_cast<int>(std::clamp(tq, -1022.0, 1023.0));
        double s = 1.0;
        if (amax >= 1.0) {
            for (int k = 0; k < t; ++k) s *= 0.5;
        } else {
            for (int k = 0; k < -t; ++k) s *= 2.0;
        }
        if (s != 1.0) {
            for (int j = 1; j <= n; ++j) {
                for (int i = j; i <= n; ++i) A(i, j) *= s;
            }
        }

        // Large matrices take their first steps in the grouped loops, with
        // the same arithmetic, until the trailing block is small: on a team
        // of threads from the parallel order on, on one thread from the
        // blocked order on (where they beat the loops below).
        int first = 1;
        {
            std::optional<team::Team> own;
            if (team == nullptr) team = &own.emplace(reduction_threads(n));
            if ((team->size() > 1 || n >= eigen_blocked_order()) && n <= kGroupedLimit) {
                const int min_order = std::min(proc::policy::kSharedStepOrder, eigen_parallel_order());
                first = detail::shared_tridiagonal_steps(n, 1, a.data(), static_cast<std::size_t>(lda), d.data(),
                                                         e.data(), e2.data(), tol, min_order, *team);
            }
        }
        for (int i = first; i <= n - 2; ++i) {
            detail::Reflector rf;
            if (!detail::reflect_column(a.data(), static_cast<std::size_t>(lda), n, i, tol, d.data(), e.data(),
                                        e2.data(), rf)) {
                continue;
            }
            // p = B u from the lower triangle of the trailing block.
            for (int r = i + 1; r <= n; ++r) E(r) = 0.0;
            int c = i + 1;
            for (; c + 3 <= n; c += 4) product_columns(n, i, c, a.data(), static_cast<std::size_t>(lda), e.data());
            for (; c <= n; ++c) {
                const double uc = A(c, i);
                double acc = A(c, c) * uc;
                for (int r = c + 1; r <= n; ++r) {
                    E(r) += A(r, c) * uc;
                    acc += A(r, c) * A(r, i);
                }
                E(c) += acc;
            }
            double up = 0.0;
            for (int r = i + 1; r <= n; ++r) up += A(r, i) * E(r);
            const double k = 0.5 * rf.w * up;
            for (int r = i + 1; r <= n; ++r) E(r) = rf.w * (E(r) + k * A(r, i));
            // B = B + u q' + q u', lower triangle only.
            for (int c = i + 1; c <= n; ++c) {
                const double uc = A(c, i), qc = E(c);
                for (int r = c; r <= n; ++r) A(r, c) = A(r, c) + A(r, i) * qc + E(r) * uc;
            }
            E(i + 1) = -rf.g;
        }
        std::swap(D(n - 1), A(n - 1, n - 1));
        E(n) = A(n, n - 1);
        E2(n) = E(n) * E(n);
        std::swap(D(n), A(n, n));
        scinv = 1.0 / s;
    }
    E(1) = 0.0;
    E2(1) = 0.0;
}

}  // namespace

void DE6CSF(int n, std::span<double> a, int lda, std::span<double> d, std::span<double> e, std::span<double> e2,
            std::span<double> /*z*/, int /*ldz*/, bool /*wantz*/, double& scinv) {
    reduce(n, a, lda, d, e, e2, scinv, nullptr);
}

void DE5LSF(int n, std::span<double> d, std::span<double> e2, std::span<int> iwk) {
    if (n < 1) return;
    require_length(d.size(), static_cast<std::size_t>(n), "DE5LSF", "D");
    require_length(e2.size(), static_cast<std::size_t>(n), "DE5LSF", "E2");
    require_length(iwk.size(), static_cast<std::size_t>(n), "DE5LSF", "IWK");
    ErrorLevel frame("DE5LSF");
    if (n > 1) {
        const Vec D{d.data()}, E2{e2.data()};
        auto stack = [&](int k) -> int& { return iwk[static_cast<std::size_t>(k - 1)]; };
        const double eps = DMACH(4);
        const double eps2 = eps * eps;
        E2(1) = 0.0;
        double thr = DMACH(1);
        if (DMACH(1) * DMACH(2) < 1.0) thr = 1.0 / DMACH(2);
        stack(1) = 1;
        int depth = 1;
        int l = 1, m = n, iter = 0;
        for (;;) {
            thr = std::max(thr, eps2 * (D(m) * D(m) + E2(m) / 2.0));
            // Converged values split off at the bottom.
            while (m > l && E2(m) <= thr) {
                --m;
                iter = 0;
            }
            // A negligible coupling inside the block: the part below it first.
            bool split = false;
            for (int k = m - 1; k >= l + 1; --k) {
                if (E2(k) <= thr) {
                    if (depth < n) {
                        ++depth;
                        stack(depth) = k;
                        split = true;
                    }
                    break;
                }
            }
            if (!split && depth > 1 && m == l) {
                --depth;
                l = stack(depth);
                continue;
            }
            while (depth >= 1 && stack(depth) >= m) {
                --depth;
                --m;
            }
            if (m <= 1 || depth < 1) break;
            ++iter;
            l = stack(depth);

            // One sweep of the rational QR step with a Wilkinson shift.
            const double p = (D(m - 1) - D(m)) / 2.0;
            const double r = std::sqrt(p * p + E2(m));
            const double s = std::copysign(std::fabs(p) + r, p);
            const double sigma = D(m) - E2(m) / s;
            double gamma = D(l) - sigma;
            double beta2 = E2(l + 1);
            double rec = 1.0 / (gamma * gamma + beta2);
            double c2 = rec * gamma * gamma;
            double s2 = rec * beta2;
            double gp = c2 * (D(l + 1) - sigma) - s2 * gamma;
            D(l) = (D(l + 1) - gp) + gamma;
            double p2 = c2 != 0.0 ? gp * gp / c2 : beta2;
            gamma = gp;
            for (int i = l + 1; i <= m - 1; ++i) {
                const double c2old = c2;
                beta2 = E2(i + 1);
                rec = 1.0 / (p2 + beta2);
                E2(i) = (p2 + beta2) * s2;
                c2 = rec * p2;
                s2 = rec * beta2;
                gp = c2 * (D(i + 1) - sigma) - s2 * gamma;
                D(i) = (D(i + 1) - gp) + gamma;
                p2 = c2 != 0.0 ? gp * gp / c2 : c2old * beta2;
                gamma = gp;
            }
            E2(m) = p2 * s2;
            D(m) = sigma + gamma;

            if (iter > 100) {
                E1MES(3, 1, kNoConvergence);
                --m;
            }
        }
    }
}

void DE6ESF(int n, int nevec, std::span<const double> eval, std::span<double> evec, int ldevec,
            std::span<const double> d, std::span<double> e, std::span<double> w) {
    if (n < 1 || nevec < 1) return;
    require_length(eval.size(), static_cast<std::size_t>(nevec), "DE6ESF", "EVAL");
    if (ldevec < n) throw std::length_error("DE6ESF: LDEVEC is smaller than N");
    require_length(evec.size(), matrix_extent(n, nevec, ldevec), "DE6ESF", "EVEC");
    require_length(d.size(), static_cast<std::size_t>(n), "DE6ESF", "D");
    require_length(e.size(), static_cast<std::size_t>(n), "DE6ESF", "E");
    require_length(w.size(), 7 * static_cast<std::size_t>(n), "DE6ESF", "W");
    ErrorLevel frame("DE6ESF");
    const std::size_t un = static_cast<std::size_t>(n);
    const Vec W1{w.data()}, W2{w.data() + un}, W3{w.data() + 2 * un}, W4{w.data() + 3 * un},
        W5{w.data() + 4 * un};
    auto Dv = [&](int i) { return d[static_cast<std::size_t>(i - 1)]; };
    const Vec E{e.data()};
    auto col = [&](int j) { return &evec[element(1, j, ldevec)]; };

    const double eps = DMACH(4);
    const double big = 1.0 / eps;
    int saved_seed = 0;
    GETSED(saved_seed);
    SETSED(123457);

    E(1) = 0.0;
    const double anorm = (dasum_(&n, d.data(), &kOne) + 2.0 * dasum_(&n, e.data(), &kOne)) / n;
    const double tol = std::sqrt(eps) * anorm;

    for (int j = 1; j <= nevec; ++j) {
        const double lambda = eval[static_cast<std::size_t>(j - 1)];
        for (int i = 1; i <= n; ++i) W4(i) = DUNIF();
        double xnorm = 0.0;
        for (int pass = 1; pass <= 2; ++pass) {
            // Rows of T - lambda I as (column k, k+1, k+2) coefficients.
            W1(1) = Dv(1) - lambda;
            W2(1) = n >= 2 ? E(2) : 0.0;
            W3(1) = 0.0;
            for (int i = 2; i <= n; ++i) {
                W1(i) = E(i);
                W2(i) = Dv(i) - lambda;
                W3(i) = i < n ? E(i + 1) : 0.0;
            }
            for (int k = 1; k <= n - 1; ++k) {
                if (std::fabs(W1(k + 1)) > std::fabs(W1(k))) {
                    std::swap(W1(k), W1(k + 1));
                    std::swap(W2(k), W2(k + 1));
                    std::swap(W3(k), W3(k + 1));
                    std::swap(W4(k), W4(k + 1));
                }
                const double mult = W1(k) != 0.0 ? -W1(k + 1) / W1(k) : 0.0;
                W1(k + 1) = W2(k + 1) + mult * W2(k);
                W2(k + 1) = W3(k + 1) + mult * W3(k);
                W3(k + 1) = 0.0;
                W4(k + 1) = W4(k + 1) + mult * W4(k);
            }
            for (int k = n; k >= 1; --k) {
                if (W1(k) == 0.0) {
                    const double u = DUNIF();
                    W4(k) = u * big * W4(k);
                } else {
                    double rhs = W4(k);
                    if (k + 1 <= n) rhs -= W2(k) * W4(k + 1);
                    if (k + 2 <= n) rhs -= W3(k) * W4(k + 2);
                    W4(k) = rhs / W1(k);
                }
            }
            xnorm = dnrm2_(&n, W4.p, &kOne);
            if (xnorm > big) break;
        }
        const double rx = 1.0 / xnorm;
        dscal_(&n, &rx, W4.p, &kOne);
        dcopy_(&n, W4.p, &kOne, col(j), &kOne);

        // Rayleigh quotient x'Tx as twice x'(D x / 2 + E x shifted).
        for (int k = 1; k < n; ++k) W5(k) = 0.5 * Dv(k) * W4(k) + E(k + 1) * W4(k + 1);
        W5(n) = 0.5 * Dv(n) * W4(n);
        const double rq = 2.0 * ddot_(&n, W4.p, &kOne, W5.p, &kOne);
        if (std::fabs(lambda - rq) > tol) {
            E1MES(3, 2,
                  "Inverse iteration did not converge. Eigenvector is not correct for the specified eigenvalue.");
        }
    }

    // Gram-Schmidt, forward; W4(j) records 1/norm or 0 for a null column.
    const double one = 1.0, minus_one = -1.0, zero = 0.0;
    for (int j = 1; j <= nevec; ++j) {
        const double nrm = dnrm2_(&n, col(j), &kOne);
        W4(j) = 0.0;
        if (nrm != 0.0) {
            const double rn = 1.0 / nrm;
            W4(j) = rn;
            dscal_(&n, &rn, col(j), &kOne);
            const int later = nevec - j;
            if (later > 0) {
                dgemv_("T", &n, &later, &one, col(j + 1), &ldevec, col(j), &kOne, &zero, W5.p, &kOne, 1);
                dger_(&n, &later, &minus_one, col(j), &kOne, W5.p, &kOne, col(j + 1), &ldevec);
            }
        }
    }
    // Check, backward: null columns and remaining components.
    double sum = 0.0;
    for (int j = nevec; j >= 1; --j) {
        if (W4(j) == 0.0) sum += 1.0;
        const int later = nevec - j;
        if (later > 0) {
            dgemv_("T", &n, &later, &one, col(j + 1), &ldevec, col(j), &kOne, &zero, W5.p, &kOne, 1);
            sum += ddot_(&later, W5.p, &kOne, W5.p, &kOne);
            dger_(&n, &later, &minus_one, col(j), &kOne, W5.p, &kOne, col(j + 1), &ldevec);
        }
    }
    if (sum > eps) E1MES(3, 3, "The eigenvectors have lost orthogonality.");

    SETSED(saved_seed);
}

void DE5ESF(int n, int nevec, std::span<double> a, int lda, bool small, std::span<double> eval,
            std::span<double> evec, int ldevec, std::span<double> wk, std::span<int> iwk) {
    if (n >= 1 && nevec >= 1 && nevec <= n && lda >= n && ldevec >= n) {
        require_length(a.size(), matrix_extent(n, n, lda), "DE5ESF", "A");
        require_length(eval.size(), static_cast<std::size_t>(nevec), "DE5ESF", "EVAL");
        require_length(evec.size(), matrix_extent(n, nevec, ldevec), "DE5ESF", "EVEC");
        require_length(wk.size(), 9 * static_cast<std::size_t>(n), "DE5ESF", "WK");
        require_length(iwk.size(), static_cast<std::size_t>(n), "DE5ESF", "IWK");
    }
    ErrorLevel frame("DE5ESF");
    if (n < 1) {
        MSGINT(1, n);
        E1MES(5, 1, "The argument N = %(I1).  The order of the matrix must be at least 1.");
        return;
    }
    if (nevec < 1 || nevec > n) {
        MSGINT(1, nevec);
        MSGINT(2, n);
        E1MES(5, 2,
              "The argument NEVEC = %(I1).  The number of largest/smallest eigenvalues to be calculated must be "
              "greater than 0 and less than or equal to N = %(I2).");
    }
    if (lda < n) {
        MSGINT(1, lda);
        MSGINT(2, n);
        E1MES(5, 3,
              "The argument LDA = %(I1).  The leading dimension of the matrix must be at least equal to the order "
              "of the matrix, N = %(I2).");
    }
    if (ldevec < n) {
        MSGINT(1, ldevec);
        MSGINT(2, n);
        E1MES(5, 4,
              "The argument LDEVEC = %(I1).  The leading dimension of the eigenvector matrix must be at least "
              "equal to the order of the matrix, N = %(I2).");
    }
    if (N1RTY(0) != 0) {
        return;
    }

    team::Team team(reduction_threads(n));
    const std::size_t un = static_cast<std::size_t>(n);
    auto column = [&](int k) { return wk.subspan((static_cast<std::size_t>(k) - 1) * un, un); };
    std::span<double> d = column(1), e = column(2), e2 = column(3), dsave = column(4), sel = column(6);
    auto A = [&](int i, int j) -> double& { return a[element(i, j, lda)]; };
    auto col = [&](int j) { return &evec[element(1, j, ldevec)]; };

    // Infinities or NaNs in the part that is read: no iteration can
    // converge on them, so the results are NaN and the convergence warning
    // is raised, without feeding such values to the sorts.
    bool finite = true;
    for (int j = 1; j <= n && finite; ++j) {
        for (int i = j; i <= n; ++i) {
            if (!std::isfinite(A(i, j))) {
                finite = false;
                break;
            }
        }
    }
    if (!finite) {
        const double nan = std::numeric_limits<double>::quiet_NaN();
        for (int j = 1; j <= nevec; ++j) {
            eval[static_cast<std::size_t>(j - 1)] = nan;
            for (int i = 1; i <= n; ++i) col(j)[i - 1] = nan;
        }
        E1MES(3, 1, kNoConvergence);
    } else {
        double scinv = 1.0;
        reduce(n, a, lda, d, e, e2, scinv, &team);

        dcopy_(&n, d.data(), &kOne, dsave.data(), &kOne);
        DE5LSF(n, d, e2, iwk);
        DSVRGN(n, d, d);
        // Smallest first, or the ascending list reversed: largest first.
        for (std::size_t i = 0; i < static_cast<std::size_t>(nevec); ++i) sel[i] = small ? d[i] : d[un - 1 - i];
        dcopy_(&nevec, sel.data(), &kOne, eval.data(), &kOne);
        dcopy_(&n, dsave.data(), &kOne, d.data(), &kOne);

        DE6ESF(n, nevec, eval, evec, ldevec, d, e, wk.subspan(2 * un, 7 * un));

        // Back-transformation: EVEC = P1 P2 ... P(N-2) EVEC, each column on
        // its own, so that the columns can be shared out.
        const double zero = 0.0, one = 1.0;
        auto back = [&](int part, int parts) {
            const team::Range cols = team::part(1, nevec, part, parts);
            int count = cols.last - cols.first + 1;
            if (count <= 0) return;
            double* const x = &evec[element(1, cols.first, ldevec)];
            double* const y = d.data() + (cols.first - 1);
            for (int k = n - 2; k >= 1; --k) {
                if (A(k + 1, k) != 0.0) {
                    int len = n - k;
                    const double alpha = 1.0 / A(k + 1, k);
                    dgemv_("T", &len, &count, &alpha, x + k, &ldevec, &A(k + 1, k), &kOne, &zero, y, &kOne, 1);
                    dger_(&len, &count, &one, &A(k + 1, k), &kOne, y, &kOne, x + k, &ldevec);
                }
            }
        };
        team.run(std::min(team.size(), nevec), back);
        if (scinv != 1.0) dscal_(&nevec, &scinv, eval.data(), &kOne);

        // Order by decreasing absolute value: sort the keys -|EVAL|
        // carrying the positions, then apply the permutation as interchanges.
        std::span<double> key = e.first(static_cast<std::size_t>(nevec));
        std::span<int> perm = iwk.first(static_cast<std::size_t>(nevec));
        for (int i = 1; i <= nevec; ++i) {
            perm[static_cast<std::size_t>(i - 1)] = i;
            key[static_cast<std::size_t>(i - 1)] = -std::fabs(eval[static_cast<std::size_t>(i - 1)]);
        }
        DSVRGP(nevec, key, key, perm);
        auto P = [&](int i) -> int& { return perm[static_cast<std::size_t>(i - 1)]; };
        for (int i = 1; i <= nevec; ++i) {
            int j = i;
            while (j <= nevec && P(j) != i) ++j;
            if (j > nevec) break;  // not a permutation: leave the order as it is
            P(j) = P(i);
            P(i) = j;
        }
        for (int k = nevec - 1; k >= 1; --k) {
            const int other = P(k);
            if (other != k && other >= 1 && other <= nevec) {
                dswap_(&n, col(k), &kOne, col(other), &kOne);
                std::swap(eval[static_cast<std::size_t>(k - 1)], eval[static_cast<std::size_t>(other - 1)]);
            }
        }

        // The element of largest magnitude of every eigenvector is positive.
        const double minus_one = -1.0;
        for (int j = 1; j <= nevec; ++j) {
            const int i = idamax_(&n, col(j), &kOne);
            if (i >= 1 && col(j)[i - 1] < 0.0) dscal_(&n, &minus_one, col(j), &kOne);
        }
    }

    // The strict lower triangle from the upper one, columns shared out.
    auto mirror = [&](int part, int parts) {
        const team::Range cols = team::part(1, n - 1, part, parts, true);
        for (int j = cols.first; j <= cols.last; ++j) {
            const int len = n - j;
            dcopy_(&len, &A(j, j + 1), &lda, &A(j + 1, j), &kOne);
        }
    };
    team.run(team.size(), mirror);
}

void DEVESF(int n, int nevec, std::span<double> a, int lda, bool small, std::span<double> eval,
            std::span<double> evec, int ldevec) {
    if (n >= 1 && nevec >= 1 && nevec <= n && lda >= n && ldevec >= n) {
        require_length(a.size(), matrix_extent(n, n, lda), "DEVESF", "A");
        require_length(eval.size(), static_cast<std::size_t>(nevec), "DEVESF", "EVAL");
        require_length(evec.size(), matrix_extent(n, nevec, ldevec), "DEVESF", "EVEC");
    }
    ErrorLevel frame("DEVESF");
    if (n < 1) {
        MSGINT(1, n);
        E1MES(5, 1, "The argument N = %(i1).  The order of the matrix must be at least 1. ");
        return;
    }
    if (N1RTY(0) != 0) {
        return;
    }
    const std::size_t un = static_cast<std::size_t>(n);
    std::unique_ptr<int[]> iwk(new (std::nothrow) int[un]);
    std::unique_ptr<double[]> wk;
    if (iwk) wk.reset(new (std::nothrow) double[9 * un]);
    if (!iwk || !wk) {
        MSGINT(1, n);
        E1MES(5, 2,
              "The required storage cannot be allocated.  The specified N may be too large, where N = %(I1).");
    } else {
        DE5ESF(n, nevec, a, lda, small, eval, evec, ldevec, std::span<double>(wk.get(), 9 * un),
               std::span<int>(iwk.get(), un));
    }
}

}  // namespace orv::num2
