#include "numlib/routines2/devlrg.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>

#include "numlib/array_args.h"
#include "numlib/blas_lapack.h"
#include "numlib/routines2/devlrg_parallel.h"
#include "numlib/routines2/dsvrgn.h"
#include "numlib/routines2/eigen_team.h"
#include "numlib/routines2/erset.h"
#include "numlib/routines2/umach.h"
#include "process/thread_policy.h"

namespace orv::num2 {
namespace {

using detail::Matrix;

struct ConstMatrix {
    const double* p;
    std::size_t ld;
    double operator()(int i, int j) const {
        return p[static_cast<std::size_t>(i - 1) + static_cast<std::size_t>(j - 1) * ld];
    }
};

using numlib::matrix_extent;

// Passes of the balancing over rows and columns K..L at most.
constexpr int kMaxBalancingPasses = 1000;

// A span shorter than the arguments say is the caller's programming error:
// leave the error stack as it was and unwind to the stop path.
[[noreturn]] void too_short(ErrorLevel& frame, const char* routine, const char* argument) {
    frame.pop();
    throw numlib::too_short_error(routine, argument);
}

template <typename Span>
void require(ErrorLevel& frame, const Span& s, std::uint64_t needed, const char* routine, const char* argument) {
    if (s.size() < needed) too_short(frame, routine, argument);
}

// Chapter 2, option 1 of the MATH table: (p, q) pairs that decide whether a
// work matrix gets p extra rows when its order is a multiple of q.
constexpr int kOptionValues = 8;
using OptionValues = std::array<int, kOptionValues>;

OptionValues read_storage_option() {
    const std::array<int, 1> option{1};
    OptionValues values{};
    IUMAG("MATH", 2, 1, 1, option, values);
    return values;
}

void write_storage_option(const OptionValues& values) {
    const std::array<int, 1> option{1};
    OptionValues copy = values;
    IUMAG("MATH", 2, 2, 1, option, copy);
}

// Leading dimension of the work copy: N + p when N is a multiple of q.
// Values that DE3LRG would refuse (p < 0, q <= 0) give N, so that no
// division by zero happens before DE3LRG reports them.
std::int64_t work_leading_dimension(int n, int p, int q) {
    if (p >= 0 && q > 0 && n % q == 0) return static_cast<std::int64_t>(n) + p;
    return n;
}

void fill_nan(std::span<std::complex<double>> eval, int n) {
    const double nan = DMACH(6);
    for (int i = 0; i < n; ++i) eval[static_cast<std::size_t>(i)] = {nan, nan};
}

// DEVLRG gives DE3LRG the storage option it used itself for the duration of
// the call, and puts the caller's values back however the call ends.
class StorageOptionForCall {
public:
    StorageOptionForCall() : saved_(read_storage_option()) {
        OptionValues values = saved_;
        values[2] = values[0];
        values[3] = values[1];
        values[6] = values[4];
        values[7] = values[5];
        write_storage_option(values);
    }
    ~StorageOptionForCall() { write_storage_option(saved_); }
    StorageOptionForCall(const StorageOptionForCall&) = delete;
    StorageOptionForCall& operator=(const StorageOptionForCall&) = delete;
    int p() const { return saved_[0]; }
    int q() const { return saved_[1]; }

private:
    OptionValues saved_;
};

}  // namespace

void DEVLRG(int n, std::span<const double> a, int lda, std::span<std::complex<double>> eval) {
    ErrorLevel frame("DEVLRG");
    {
        StorageOptionForCall option;
        if (n < 1) {
            MSGINT(1, n);
            E1MES(5, 1, "The argument N = %(I1).  The order of the matrix must be at least 1.");
        } else {
            require(frame, eval, static_cast<std::uint64_t>(n), "DEVLRG", "EVAL");
            const std::int64_t ldacpy = work_leading_dimension(n, option.p(), option.q());
            const auto nn = static_cast<std::uint64_t>(n);
            // Storage that cannot be had is the routine's own error, so ask
            // for it without exceptions.
            std::unique_ptr<double[]> acopy(new (std::nothrow) double[static_cast<std::uint64_t>(ldacpy) * nn]);
            std::unique_ptr<double[]> wk(acopy ? new (std::nothrow) double[4 * nn] : nullptr);
            std::unique_ptr<int[]> iwk(wk ? new (std::nothrow) int[2 * nn] : nullptr);
            if (!acopy || !wk || !iwk) {
                fill_nan(eval, n);
                MSGINT(1, n);
                E1MES(5, 2,
                      "The required storage cannot be allocated.  The specified N may be too large, where N = "
                      "%(I1).");
            } else {
                DE3LRG(n, a, lda, eval, {acopy.get(), static_cast<std::size_t>(ldacpy) * nn}, {wk.get(), 4 * nn},
                       {iwk.get(), 2 * nn});
            }
        }
    }
}

void DE3LRG(int n, std::span<const double> a, int lda, std::span<std::complex<double>> eval,
            std::span<double> acopy, std::span<double> wk, std::span<int> iwk) {
    ErrorLevel frame("DE3LRG");
    if (n < 1) {
        MSGINT(1, n);
        E1MES(5, 1, "The argument N = %(I1).  The order of the matrix must be at least 1. ");
    } else {
        require(frame, eval, static_cast<std::uint64_t>(n), "DE3LRG", "EVAL");
        if (lda < n) {
            MSGINT(1, lda);
            MSGINT(2, n);
            E1MES(5, 2,
                  "The argument LDA = %(I1).  The leading dimension of the matrix must be at least equal to the "
                  "order of the matrix, N = %(I2). ");
        }
    }
    if (N1RCD(0) != 0) {
        if (n >= 1) fill_nan(eval, n);
        return;
    }

    const OptionValues option = read_storage_option();
    const int p = option[2];
    const int q = option[3];
    if (!(p >= 0 && q > 0)) {
        MSGINT(1, p);
        MSGINT(2, q);
        E1MES(5, 4,
              "The option values 3,4 must berespectively not less than zero, and non-negative while %(I1) and "
              "%(I2) are given.");
        fill_nan(eval, n);
        return;
    }
    const std::int64_t ldacpy = work_leading_dimension(n, p, q);
    const auto nn = static_cast<std::size_t>(n);
    require(frame, a, matrix_extent(n, n, lda), "DE3LRG", "A");
    if (ldacpy > INT_MAX) too_short(frame, "DE3LRG", "ACOPY");
    require(frame, acopy, static_cast<std::uint64_t>(ldacpy) * nn, "DE3LRG", "ACOPY");
    require(frame, wk, 4 * static_cast<std::uint64_t>(nn), "DE3LRG", "WK");
    require(frame, iwk, 2 * static_cast<std::uint64_t>(nn), "DE3LRG", "IWK");
    const int ldc = static_cast<int>(ldacpy);

    std::span<double> scale = wk.subspan(0, nn);
    std::span<double> wr = wk.subspan(nn, nn);
    std::span<double> wi = wk.subspan(2 * nn, nn);
    std::span<double> key = wk.subspan(3 * nn, nn);
    std::span<int> pivots = iwk.subspan(0, nn);
    std::span<int> perm = iwk.subspan(nn, nn);

    DCRGRG(n, a, lda, acopy, ldc);
    int low = 0;
    int igh = 0;
    DE9CRG(n, low, igh, acopy, ldc, scale);
    DE4LRG(ldc, n, low, igh, acopy, pivots);

    // The multipliers of the reduction are not part of the Hessenberg matrix.
    const Matrix c{acopy.data(), static_cast<std::size_t>(ldc)};
    for (int j = 1; j <= n - 2; ++j) {
        for (int i = j + 2; i <= n; ++i) c(i, j) = 0.0;
    }

    if (low <= igh) {
        const std::size_t first = static_cast<std::size_t>(low - 1) * (static_cast<std::size_t>(ldc) + 1);
        const auto off = static_cast<std::size_t>(low - 1);
        const auto nh = static_cast<std::size_t>(igh - low + 1);
        DE5LRG(ldc, igh - low + 1, acopy.subspan(first), wr.subspan(off, nh), wi.subspan(off, nh));
    }

    for (int i = 1; i <= n; ++i) {
        const auto s = static_cast<std::size_t>(i - 1);
        if (i < low || i > igh) {
            eval[s] = {c(i, i), 0.0};
        } else {
            eval[s] = {wr[s], wi[s]};
        }
    }

    // Order by decreasing modulus.  An eigenvalue the iteration did not
    // compute (NaN) has no modulus; its key puts it after all the others.
    for (std::size_t s = 0; s < nn; ++s) {
        const double re = eval[s].real();
        const double im = eval[s].imag();
        const double modulus = std::sqrt(re * re + im * im);
        key[s] = std::isnan(modulus) ? DMACH(7) : -modulus;
        perm[s] = static_cast<int>(s) + 1;
    }
    DSVRGP(n, key, key, perm);

    // Position i is to hold old element PERM(i).  Turn the permutation into
    // interchanges and apply them from the last one back.
    auto ip = [&perm](int i) -> int& { return perm[static_cast<std::size_t>(i - 1)]; };
    for (int i = 1; i <= n; ++i) {
        int j = i;
        while (j <= n && ip(j) != i) ++j;
        if (j > n) continue;
        ip(j) = ip(i);
        ip(i) = j;
    }
    const int one = 1;
    for (int k = n - 1; k >= 1; --k) {
        if (ip(k) != k) {
            zswap_(&one, &eval[static_cast<std::size_t>(k - 1)], &one, &eval[static_cast<std::size_t>(ip(k) - 1)],
                   &one);
        }
    }

    // Each complex pair left adjacent: positive imaginary part first.
    int i = 1;
    while (i < n) {
        const auto s = static_cast<std::size_t>(i - 1);
        if (eval[s].imag() == 0.0) {
            ++i;
        } else {
            if (eval[s].imag() < 0.0) std::swap(eval[s], eval[s + 1]);
            i += 2;
        }
    }
}

void DCRGRG(int n, std::span<const double> a, int lda, std::span<double> b, int ldb) {
    ErrorLevel frame("DCRGRG");
    if (n < 1) {
        MSGINT(1, n);
        E1MES(5, 1, "The argument N = %(I1).  It must be at least 1.");
    } else if (lda < n) {
        MSGINT(1, lda);
        MSGINT(2, n);
        E1MES(5, 2, "The argument LDA = %(I1).  It must be at least as large as N = %(I2).");
    } else if (ldb < n) {
        MSGINT(1, ldb);
        MSGINT(2, n);
        E1MES(5, 3, "The argument LDB = %(I1).  It must be at least as large as N = %(I2).");
    }
    if (N1RCD(0) == 0) {
        require(frame, a, matrix_extent(n, n, lda), "DCRGRG", "A");
        require(frame, b, matrix_extent(n, n, ldb), "DCRGRG", "B");
        const ConstMatrix from{a.data(), static_cast<std::size_t>(lda)};
        const Matrix to{b.data(), static_cast<std::size_t>(ldb)};
        for (int j = 1; j <= n; ++j) {
            for (int i = 1; i <= n; ++i) to(i, j) = from(i, j);
        }
    }
}

void DE9CRG(int n, int& low, int& igh, std::span<double> a, int lda, std::span<double> scale) {
    ErrorLevel frame("DE9CRG");
    if (n < 1) {
        low = 1;
        igh = n;
        return;
    }
    require(frame, a, matrix_extent(n, n, lda), "DE9CRG", "A");
    require(frame, scale, static_cast<std::uint64_t>(n), "DE9CRG", "SCALE");
    const Matrix am{a.data(), static_cast<std::size_t>(lda)};
    auto sc = [&scale](int i) -> double& { return scale[static_cast<std::size_t>(i - 1)]; };

    // Record the exchange of J with M in SCALE(M) and exchange columns J and
    // M over rows 1..L and rows J and M over columns K..N.
    auto exchange = [&](int j, int m, int k, int l) {
        sc(m) = j;
        if (j == m) return;
        for (int i = 1; i <= l; ++i) std::swap(am(i, j), am(i, m));
        for (int i = k; i <= n; ++i) std::swap(am(j, i), am(m, i));
    };

    int k = 1;
    int l = n;
    bool done = false;

    // Rows whose off-diagonal elements in columns 1..L are all zero isolate
    // an eigenvalue: move them to the bottom.
    for (bool found = true; found && !done;) {
        found = false;
        for (int j = l; j >= 1; --j) {
            bool zero = true;
            for (int i = 1; i <= l && zero; ++i) {
                if (i != j && am(j, i) != 0.0) zero = false;
            }
            if (!zero) continue;
            exchange(j, l, k, l);
            if (l == 1) {
                done = true;
            } else {
                --l;
                found = true;
            }
            break;
        }
    }

    if (!done) {
        // Columns whose off-diagonal elements in rows K..L are all zero:
        // move them to the left.
        for (bool found = true; found;) {
            found = false;
            for (int j = k; j <= l; ++j) {
                bool zero = true;
                for (int i = k; i <= l && zero; ++i) {
                    if (i != j && am(i, j) != 0.0) zero = false;
                }
                if (!zero) continue;
                exchange(j, k, k, l);
                ++k;
                found = true;
                break;
            }
        }

        // Scale rows and columns K..L by powers of 16 until no scaling
        // reduces the norm by 5 %.
        //
        // The scaling stays inside a safe range, as LAPACK's balancing does:
        // a sum is not driven past SFMAX2 or below SFMIN2, where one more
        // factor of 256 could overflow or underflow, and no scale factor
        // leaves SFMIN1..SFMAX1.  Without this a sum near the overflow limit
        // turns infinite in the first inner loop, and the second one never
        // ends.  Ordinary matrices never come near these limits, so their
        // balancing is unchanged.  A sum that is not finite leaves its row
        // alone, and the number of passes is bounded as well: a matrix of
        // ordinary values settles in a few passes, the bound only ends what
        // rounding among subnormal numbers could keep going.
        const double sfmin1 = DMACH(1) / DMACH(4);
        const double sfmax1 = 1.0 / sfmin1;
        const double sfmin2 = sfmin1 * 16.0;
        const double sfmax2 = 1.0 / sfmin2;
        for (int i = k; i <= l; ++i) sc(i) = 1.0;
        bool changed = true;
        for (int pass = 1; changed && pass <= kMaxBalancingPasses; ++pass) {
            changed = false;
            for (int i = k; i <= l; ++i) {
                double cs = 0.0;
                double rs = 0.0;
                for (int j = k; j <= l; ++j) {
                    if (j == i) continue;
                    cs += std::abs(am(j, i));
                    rs += std::abs(am(i, j));
                }
                if (cs == 0.0 || rs == 0.0 || !std::isfinite(cs) || !std::isfinite(rs)) continue;
                const double s = cs + rs;
                double f = 1.0;
                while (cs < rs / 16.0 && cs < sfmax2 && f < sfmax2) {
                    f *= 16.0;
                    cs *= 256.0;
                }
                while (cs >= 16.0 * rs && cs > sfmin2 && f > sfmin2) {
                    f /= 16.0;
                    cs /= 256.0;
                }
                if ((cs + rs) / f < 0.95 * s) {
                    if (f < 1.0 && sc(i) < 1.0 && f * sc(i) <= sfmin1) continue;
                    if (f > 1.0 && sc(i) > 1.0 && sc(i) >= sfmax1 / f) continue;
                    const double g = 1.0 / f;
                    sc(i) = f * sc(i);
                    changed = true;
                    for (int j = k; j <= n; ++j) am(i, j) *= g;
                    for (int j = 1; j <= l; ++j) am(j, i) *= f;
                }
            }
        }
    }
    low = k;
    igh = l;
}

void DE4LRG(int lda, int n, int low, int igh, std::span<double> a, std::span<int> intv) {
    ErrorLevel frame("DE4LRG");
    if (low + 1 > igh - 1) {
        return;
    }
    if (low < 1 || igh > n) too_short(frame, "DE4LRG", "A (LOW..IGH outside 1..N)");
    require(frame, a, matrix_extent(n, n, lda), "DE4LRG", "A");
    require(frame, intv, static_cast<std::uint64_t>(igh), "DE4LRG", "INT");
    const Matrix am{a.data(), static_cast<std::size_t>(lda)};
    // Large matrices take each step column by column, shared out over a
    // team of threads when they are larger still (the multipliers and the
    // chain of A(M,M) in WORK); the arithmetic is the same.  Without the
    // work storage the row-ordered loops serve.
    const bool blocked = igh - low + 1 >= eigen_blocked_order();
    std::unique_ptr<double[]> work(blocked ? new (std::nothrow) double[2 * static_cast<std::size_t>(n)] : nullptr);
    team::Team team(work ? eigen_team_size(igh - low + 1, proc::policy::kEigenShare) : 1);
    std::unique_ptr<detail::BlockProgress[]> progress(
        work ? new (std::nothrow) detail::BlockProgress[static_cast<std::size_t>(team.size())] : nullptr);

    for (int m = low + 1; m <= igh - 1; ++m) {
        double x = 0.0;
        int i = m;
        for (int j = m; j <= igh; ++j) {
            if (std::abs(am(j, m - 1)) > std::abs(x)) {
                x = am(j, m - 1);
                i = j;
            }
        }
        intv[static_cast<std::size_t>(m - 1)] = i;
        if (x == 0.0) continue;
        if (i != m) {
            // The threaded step exchanges the rows in the columns right of M
            // itself.
            for (int j = 1; j <= igh; ++j) std::swap(am(j, i), am(j, m));
            for (int j = m - 1; j <= (progress ? m : n); ++j) std::swap(am(i, j), am(m, j));
        }
        if (progress) {
            detail::hessenberg_step(a.data(), static_cast<std::size_t>(lda), n, m, igh, i, x, work.get(),
                                    progress.get(), team);
            continue;
        }
        for (int r = m + 1; r <= igh; ++r) {
            const double y = am(r, m - 1) / x;
            am(r, m - 1) = y;
            for (int j = m; j <= n; ++j) am(r, j) = am(r, j) - y * am(m, j);
            for (int j = 1; j <= igh; ++j) am(j, m) = am(j, m) + y * am(j, r);
        }
    }
}

void DE5LRG(int ldh, int nh, std::span<double> h, std::span<double> wr, std::span<double> wi) {
    ErrorLevel frame("DE5LRG");
    if (nh < 1) {
        return;
    }
    require(frame, h, matrix_extent(nh, nh, ldh), "DE5LRG", "H");
    require(frame, wr, static_cast<std::uint64_t>(nh), "DE5LRG", "WR");
    require(frame, wi, static_cast<std::uint64_t>(nh), "DE5LRG", "WI");
    const Matrix hm{h.data(), static_cast<std::size_t>(ldh)};
    auto re = [&wr](int i) -> double& { return wr[static_cast<std::size_t>(i - 1)]; };
    auto im = [&wi](int i) -> double& { return wi[static_cast<std::size_t>(i - 1)]; };

    double norm = 0.0;
    for (int j = 1; j <= nh; ++j) {
        for (int i = 1; i <= std::min(j + 1, nh); ++i) norm += std::abs(hm(i, j));
    }

    team::Team team(eigen_team_size(nh, proc::policy::kEigenShare));
    detail::ChaseWork chase;
    const long long limit = 100LL * nh;
    long long total = 0;
    int en = nh;
    int its = 0;
    while (en >= 1) {
        if (en == 1) {
            re(1) = hm(1, 1);
            im(1) = 0.0;
            break;
        }
        if (total > limit) {
            const double nan = DMACH(6);
            for (int i = 1; i <= en; ++i) {
                re(i) = nan;
                im(i) = nan;
            }
            MSGINT(1, static_cast<int>(limit));
            E1MES(4, 1, "The iteration for the eigenvalues did not converge after %(I1) iterations.");
            break;
        }

        // Start of the active block: the lowest negligible subdiagonal.
        int l = 1;
        for (int ll = en; ll >= 2; --ll) {
            double s = std::abs(hm(ll - 1, ll - 1)) + std::abs(hm(ll, ll));
            if (s == 0.0) s = norm;
            if (s + std::abs(hm(ll, ll - 1)) == s) {
                hm(ll, ll - 1) = 0.0;
                l = ll;
                break;
            }
        }

        if (l == en) {
            re(en) = hm(en, en);
            im(en) = 0.0;
            en -= 1;
            its = 0;
            continue;
        }
        if (l == en - 1) {
            const double hnn = hm(en, en);
            const double p = (hm(en - 1, en - 1) - hnn) / 2.0;
            const double q = p * p + hm(en - 1, en) * hm(en, en - 1);
            const double z = std::sqrt(std::abs(q));
            if (q < 0.0) {
                re(en - 1) = p + hnn;
                re(en) = p + hnn;
                im(en - 1) = z;
                im(en) = -z;
            } else {
                const double zz = p + std::copysign(z, p);
                re(en - 1) = zz + hnn;
                re(en) = re(en - 1);
                if (zz != 0.0) re(en) = hnn - hm(en - 1, en) * hm(en, en - 1) / zz;
                im(en - 1) = 0.0;
                im(en) = 0.0;
            }
            en -= 2;
            its = 0;
            continue;
        }

        // Double-shift step.  First column of (H - a I)(H - b I) at row M,
        // with a, b the eigenvalues of the trailing 2 by 2 block, or shifts
        // of sum 1.5 s and product s*s every tenth iteration.
        const bool exceptional = its != 0 && its % 10 == 0;
        auto shift_terms = [&](int m, double& p, double& q, double& r) {
            if (exceptional) {
                const double s = std::abs(hm(en - 1, en - 2)) + std::abs(hm(en, en - 1));
                p = ((hm(m, m) - 1.5 * s) * hm(m, m) + s * s) / hm(m + 1, m) + hm(m, m + 1);
                q = hm(m, m) + hm(m + 1, m + 1) - 1.5 * s;
            } else {
                const double x = hm(en, en);
                const double y = hm(en - 1, en - 1);
                const double w = hm(en, en - 1) * hm(en - 1, en);
                p = ((hm(m, m) - x) * (hm(m, m) - y) - w) / hm(m + 1, m) + hm(m, m + 1);
                q = hm(m, m) + hm(m + 1, m + 1) - x - y;
            }
            r = hm(m + 2, m + 1);
        };

        double p = 0.0;
        double q = 0.0;
        double r = 0.0;
        int m = l;
        bool found = false;
        if (its > 6) {
            // The step may start lower, where the product of the small
            // subdiagonal element and the shift terms is negligible.
            for (int mm = en - 2; mm >= l + 1; --mm) {
                shift_terms(mm, p, q, r);
                double t = std::abs(p) * (std::abs(hm(mm - 1, mm - 1)) + std::abs(hm(mm, mm)) +
                                          std::abs(hm(mm + 1, mm + 1)));
                if (t == 0.0) t = norm;
                if (t + (std::abs(q) + std::abs(r)) * std::abs(hm(mm, mm - 1)) == t) {
                    m = mm;
                    found = true;
                    break;
                }
            }
        }
        if (!found) {
            m = l;
            shift_terms(m, p, q, r);
        }
        const double big = std::max({std::abs(p), std::abs(q), std::abs(r)});
        if (big != 0.0) {
            p /= big;
            q /= big;
            r /= big;
        }

        // Chase the bulge from row M to EN-1 with Householder reflections
        // I - u v' (u = (x, y, z), v = (1, q, r)), within rows and columns
        // L..EN; a large block takes the chase a block of steps at a time,
        // shared out over the threads when there is a team.
        if (en - l + 1 >= eigen_blocked_order()) {
            detail::chase_bulge(h.data(), static_cast<std::size_t>(ldh), l, m, en, p, q, r, team, chase);
            ++its;
            ++total;
            continue;
        }
        for (int k = m; k <= en - 1; ++k) {
            detail::Reflection f{};
            if (!detail::chase_reflection(h.data(), static_cast<std::size_t>(ldh), l, m, en, k, p, q, r, f)) continue;
            detail::apply_reflection(h.data(), static_cast<std::size_t>(ldh), f, k, en, en, l);
        }
        ++its;
        ++total;
    }
}

}  // namespace orv::num2
