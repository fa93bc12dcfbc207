#include "numlib/routines1/g02baf.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "numlib/array_args.h"
#include "numlib/routines1/errexit.h"
#include "process/parallel.h"

namespace orv::num1 {

namespace {

// Two doubles handled by one instruction.  Each lane carries a sum of its
// own, so pairing changes nothing in the order of any sum's additions.
typedef double Pair __attribute__((vector_size(16)));

// The cross-products are accumulated in tiles of kGroup x kGroup variables,
// over blocks of kBlock observations copied, centred, into panels that are
// read sequentially.  Every element of SSP is still one running sum in
// observation order: a tile's sums are loaded, continued through the block
// and stored back, never combined from partial sums.
constexpr int kGroup = 4;
constexpr int kBlock = 128;

using numlib::matrix_extent;
using numlib::require_length;

// Means of the variables J0 .. J1-1, one running sum per variable in
// observation order; four variables at a time so that the four sums
// overlap in time.
void column_means(int n, int j0, int j1, const double* x, std::ptrdiff_t ldx, double* xbar) {
    int j = j0;
    for (; j + 4 <= j1; j += 4) {
        const double* c0 = x + j * ldx;
        const double* c1 = c0 + ldx;
        const double* c2 = c1 + ldx;
        const double* c3 = c2 + ldx;
        double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
        for (int i = 0; i < n; ++i) {
            s0 += c0[i];
            s1 += c1[i];
            s2 += c2[i];
            s3 += c3[i];
        }
        xbar[j] = s0 / n;
        xbar[j + 1] = s1 / n;
        xbar[j + 2] = s2 / n;
        xbar[j + 3] = s3 / n;
    }
    for (; j < j1; ++j) {
        const double* c = x + j * ldx;
        double s = 0.0;
        for (int i = 0; i < n; ++i) s += c[i];
        xbar[j] = s / n;
    }
}

// Whether the variables J0 .. J1-1 are constant.  A variable whose
// observations are all equal has no deviations at all.  Its computed mean
// need not equal the common value exactly (0.1 three times sums to
// 0.30000000000000004), and the rounding residue would otherwise pass for
// variance; its deviations are taken as the exact zeros they are.
void constant_columns(int n, int j0, int j1, const double* x, std::ptrdiff_t ldx, char* constant) {
    for (int j = j0; j < j1; ++j) {
        const double* c = x + j * ldx;
        constant[j] = 1;
        for (int i = 1; i < n; ++i) {
            if (!(c[i] == c[0])) {
                constant[j] = 0;
                break;
            }
        }
        if (n > 0 && !(c[0] == c[0])) constant[j] = 0;  // NaN data stays NaN
    }
}

// Continues the 4 x 4 sums of one tile through NB observations.  KP holds
// the centred values of the tile's four row variables (k), observation by
// observation; JP holds each of the four column variables' (j) values twice,
// ready to multiply a pair.  ACC: the sums, column variable by column
// variable.
void tile(const Pair* kp, const Pair* jp, int nb, Pair* acc) {
    Pair a00 = acc[0], a01 = acc[1], a10 = acc[2], a11 = acc[3];
    Pair a20 = acc[4], a21 = acc[5], a30 = acc[6], a31 = acc[7];
    for (int i = 0; i < nb; ++i) {
        const Pair k0 = kp[2 * i], k1 = kp[2 * i + 1];
        const Pair b0 = jp[4 * i], b1 = jp[4 * i + 1], b2 = jp[4 * i + 2], b3 = jp[4 * i + 3];
        a00 += b0 * k0;
        a01 += b0 * k1;
        a10 += b1 * k0;
        a11 += b1 * k1;
        a20 += b2 * k0;
        a21 += b2 * k1;
        a30 += b3 * k0;
        a31 += b3 * k1;
    }
    acc[0] = a00, acc[1] = a01, acc[2] = a10, acc[3] = a11;
    acc[4] = a20, acc[5] = a21, acc[6] = a30, acc[7] = a31;
}

// The tile columns JG0 .. JG1-1: every tile (kg, jg) with kg <= jg carried
// through all the observations.  Only the panels of groups below JG1 are
// built; the column panels only from JG0 on.
void tile_columns(int n, int m, int groups, int jg0, int jg1, const double* x, std::ptrdiff_t ldx,
                  const double* xbar, const char* constant, Pair* acc) {
    std::vector<Pair> kpanel(static_cast<std::size_t>(jg1) * kBlock * 2);
    std::vector<Pair> jpanel(static_cast<std::size_t>(jg1) * kBlock * 4);
    for (int i0 = 0; i0 < n; i0 += kBlock) {
        const int nb = std::min(kBlock, n - i0);
        for (int g = 0; g < jg1; ++g) {
            double d[kGroup][kBlock];
            for (int t = 0; t < kGroup; ++t) {
                const int j = g * kGroup + t;
                if (j >= m || constant[j]) {
                    std::fill(d[t], d[t] + nb, 0.0);
                    continue;
                }
                const double* c = x + j * ldx + i0;
                const double mean = xbar[j];
                for (int i = 0; i < nb; ++i) d[t][i] = c[i] - mean;
            }
            Pair* kp = &kpanel[static_cast<std::size_t>(g) * kBlock * 2];
            for (int i = 0; i < nb; ++i) {
                kp[2 * i] = Pair{d[0][i], d[1][i]};
                kp[2 * i + 1] = Pair{d[2][i], d[3][i]};
            }
            if (g < jg0) continue;
            Pair* jp = &jpanel[static_cast<std::size_t>(g) * kBlock * 4];
            for (int i = 0; i < nb; ++i)
                for (int t = 0; t < kGroup; ++t) jp[4 * i + t] = Pair{d[t][i], d[t][i]};
        }
        for (int jg = jg0; jg < jg1; ++jg) {
            const Pair* jp = &jpanel[static_cast<std::size_t>(jg) * kBlock * 4];
            for (int kg = 0; kg <= jg; ++kg) {
                tile(&kpanel[static_cast<std::size_t>(kg) * kBlock * 2], jp, nb,
                     &acc[(static_cast<std::size_t>(jg) * groups + kg) * 8]);
            }
        }
    }
}

// Means into XBAR and SSP(k, j) for k <= j (0-based here) into SSP's upper
// triangle, on up to THREADS threads.  The tiles are independent sums, so
// the tile columns are shared out in contiguous runs of about equal tile
// counts; the variables likewise for the means.  Every sum is computed
// exactly as on one thread.
void cross_products(int n, int m, const double* x, std::ptrdiff_t ldx, double* xbar, double* ssp,
                    std::ptrdiff_t ldssp, int threads) {
    const int groups = (m + kGroup - 1) / kGroup;
    const int workers = std::max(1, std::min(threads, groups));
    std::vector<char> constant(static_cast<std::size_t>(groups) * kGroup, 1);
    proc::WorkerPool pool(workers - 1);

    // Worker w's share, one iteration each.
    proc::parallel_for(pool, static_cast<std::size_t>(workers), [&](std::size_t share) {
        const int w = static_cast<int>(share);
        const int j0 = static_cast<int>(static_cast<long long>(m) * w / workers);
        const int j1 = static_cast<int>(static_cast<long long>(m) * (w + 1) / workers);
        column_means(n, j0, j1, x, ldx, xbar);
        constant_columns(n, j0, j1, x, ldx, constant.data());
    });

    // Worker w takes the tile columns from first[w] up to first[w + 1]:
    // column jg holds jg + 1 tiles.
    std::vector<int> first(static_cast<std::size_t>(workers) + 1, groups);
    first[0] = 0;
    {
        const long long total = static_cast<long long>(groups) * (groups + 1) / 2;
        long long done = 0;
        int w = 1;
        for (int jg = 0; jg < groups && w < workers; ++jg) {
            done += jg + 1;
            while (w < workers && done * workers >= total * w) first[static_cast<std::size_t>(w++)] = jg + 1;
        }
    }
    std::vector<Pair> acc(static_cast<std::size_t>(groups) * groups * 8, Pair{0.0, 0.0});
    proc::parallel_for(pool, static_cast<std::size_t>(workers), [&](std::size_t share) {
        const int w = static_cast<int>(share);
        const int jg0 = first[static_cast<std::size_t>(w)], jg1 = first[static_cast<std::size_t>(w) + 1];
        if (jg0 < jg1) tile_columns(n, m, groups, jg0, jg1, x, ldx, xbar, constant.data(), acc.data());
    });

    for (int j = 0; j < m; ++j) {
        const int jg = j / kGroup, t = j % kGroup;
        for (int k = 0; k <= j; ++k) {
            const int kg = k / kGroup, kk = k % kGroup;
            const Pair& p = acc[(static_cast<std::size_t>(jg) * groups + kg) * 8 + t * 2 + kk / 2];
            ssp[k + j * ldssp] = p[kk % 2];
        }
    }
}

}  // namespace

void G02BAF(int n, int m, std::span<const double> x, int ldx, std::span<double> xbar, std::span<double> stdev,
            std::span<double> ssp, int ldssp, std::span<double> r, int ldr, int& ifail, int threads) {
    int ierror = 0;
    if (n < 2) ierror = 1;
    else if (m < 2) ierror = 2;
    else if (ldx < n || ldssp < m || ldr < m) ierror = 3;
    if (ierror != 0) {
        ifail = ERREXIT(ifail, ierror, "G02BAF", 0, {});
        return;
    }
    require_length(x.size(), matrix_extent(n, m, ldx), "G02BAF", "X");
    require_length(xbar.size(), m, "G02BAF", "XBAR");
    require_length(stdev.size(), m, "G02BAF", "STD");
    require_length(ssp.size(), matrix_extent(m, m, ldssp), "G02BAF", "SSP");
    require_length(r.size(), matrix_extent(m, m, ldr), "G02BAF", "R");

    auto S = [&](int i, int j) -> double& { return ssp[(i - 1) + static_cast<std::size_t>(j - 1) * ldssp]; };
    auto R = [&](int i, int j) -> double& { return r[(i - 1) + static_cast<std::size_t>(j - 1) * ldr]; };

    // Small problems are not worth the threads unless a count is asked for.
    threads = proc::policy::cross_products(threads, n, m);
    cross_products(n, m, x.data(), ldx, xbar.data(), ssp.data(), ldssp, threads);
    for (int j = 1; j <= m; ++j)
        for (int k = 1; k < j; ++k) S(j, k) = S(k, j);

    for (int j = 1; j <= m; ++j) {
        stdev[j - 1] = S(j, j) > 0.0 ? std::sqrt(S(j, j)) : 0.0;
        for (int k = 1; k <= j; ++k) {
            const double scale = stdev[j - 1] * stdev[k - 1];
            R(j, k) = scale > 0.0 ? S(j, k) / scale : 0.0;
            R(k, j) = R(j, k);
        }
    }
    const double root = std::sqrt(static_cast<double>(n - 1));
    for (int j = 0; j < m; ++j) stdev[j] /= root;
    ifail = 0;
}

}  // namespace orv::num1
