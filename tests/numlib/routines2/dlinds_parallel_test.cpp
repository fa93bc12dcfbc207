// DLINDS's kernels: each against the step-by-step computation that defines
// it (the right-looking factorisation with DL2CDS's dasum norm, dger and
// dscal, DL2NDS's dsyr and dscal loop, dcopy) bit for bit, on the calling
// thread alone and on crews of 1, 2, 3 and 8 threads, including the zero
// multipliers that dger and dsyr skip and the failures; then DLINDS itself,
// without a crew against threaded, by order.
// CTest label: threads
#include "numlib/routines2/dlinds_parallel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "numlib/blas_lapack.h"
#include "numlib/routines2/dlinds.h"
#include "eigen_threads.h"
#include "process/thread_policy.h"

namespace orv::num2 {
namespace {

using Matrix = std::vector<double>;
const int kThreads[] = {1, 2, 3, 8};
// The kernels' crews: none (0, the calling thread alone), then kThreads.
const int kCrews[] = {0, 1, 2, 3, 8};

// A crew of THREADS threads, or none for 0.
struct TestCrew {
    explicit TestCrew(int threads) {
        if (threads > 0) crew.emplace(threads);
    }
    detail::Crew* get() { return crew ? &*crew : nullptr; }
    std::optional<detail::Crew> crew;
};

class DlindsThreads : public EigenThreads {
protected:
    void TearDown() override {
        proc::set(proc::Setting::kDlindsOrder, 0);
        EigenThreads::TearDown();
    }
};

// A random symmetric matrix with a unit diagonal, positive definite by
// diagonal dominance (each row's other elements sum to less than 1 in
// magnitude), N x N with leading dimension LD; the rows below N hold
// garbage.
Matrix correlation_matrix(int n, int ld, std::uint64_t seed) {
    Matrix r(static_cast<std::size_t>(ld) * n, 1.0e300);
    for (int j = 0; j < n; ++j) {
        r[static_cast<std::size_t>(j) * (ld + 1)] = 1.0;
        for (int i = 0; i < j; ++i) {
            r[static_cast<std::size_t>(i) + static_cast<std::size_t>(j) * ld] =
                r[static_cast<std::size_t>(j) + static_cast<std::size_t>(i) * ld] = 1.9 * (uniform(seed) - 0.5) / n;
        }
    }
    return r;
}

// What the column R = 4, 12, 20, ... of each block of columns holds above
// its diagonal, row R being zero right of the diagonal: the multipliers of
// step R are all zero, which dger and dsyr skip.
enum class Skipped {
    kNothing,   // plain random values
    kInfinity,  // an infinity in row 1: not skipped, dger's step R would make NaN
    kMinusZero  // minus zeros: not skipped, dsyr's step J > R would make them +0
};

// An upper triangular matrix with exact zeros and minus zeros among its
// random elements, and the columns of SKIPPED; the lower triangle holds
// garbage.
Matrix upper_with_zeros(int n, std::uint64_t seed, Skipped skipped) {
    Matrix t(static_cast<std::size_t>(n) * n, 7.0);
    auto at = [&](int i, int j) -> double& { return t[static_cast<std::size_t>(i - 1) + static_cast<std::size_t>(j - 1) * n]; };
    for (int j = 1; j <= n; ++j) {
        at(j, j) = 1.0 + uniform(seed);
        for (int i = 1; i < j; ++i) {
            const double u = uniform(seed);
            at(i, j) = u < 0.25 ? 0.0 : u < 0.3 ? -0.0 : u - 0.6;
        }
    }
    if (skipped == Skipped::kNothing) return t;
    for (int r = 4; r <= n; r += detail::kBlockColumns) {
        for (int j = r + 1; j <= n; ++j) at(r, j) = 0.0;
        if (skipped == Skipped::kInfinity) {
            at(1, r) = std::numeric_limits<double>::infinity();
        } else {
            for (int i = 1; i < r; ++i) at(i, r) = -0.0;
        }
    }
    return t;
}

// DLINRT's upper path step by step with dger and dscal: the lower triangle
// cleared, then column J inverted and carried into the later columns; it
// stops at the first diagonal element not above SMALL in magnitude.
Matrix sequential_inverse(int n, const Matrix& a, double small = 1e-300) {
    Matrix t(a.size(), -5.0);
    auto at = [&](int i, int j) -> double& { return t[static_cast<std::size_t>(i - 1) + static_cast<std::size_t>(j - 1) * n]; };
    for (int j = 1; j <= n; ++j)
        for (int i = 1; i <= n; ++i) at(i, j) = i <= j ? a[static_cast<std::size_t>(i - 1) + static_cast<std::size_t>(j - 1) * n] : 0.0;
    const int one = 1;
    const double alpha = 1.0;
    for (int j = 1; j <= n; ++j) {
        if (std::fabs(at(j, j)) <= small) break;
        at(j, j) = 1.0 / at(j, j);
        const int jm1 = j - 1, rest = n - j;
        const double neg = -at(j, j), d = at(j, j);
        if (jm1 > 0) dscal_(&jm1, &neg, &at(1, j), &one);
        if (rest == 0) continue;
        if (jm1 > 0) dger_(&jm1, &rest, &alpha, &at(1, j), &one, &at(j, j + 1), &n, &at(1, j + 1), &n);
        dscal_(&rest, &d, &at(j, j + 1), &n);
    }
    return t;
}

// The right-looking Cholesky factorisation step by step: the symmetric
// matrix of A's upper triangle factored as L L' in the lower triangle until
// a pivot is not positive, then L' copied into the upper triangle.
Matrix sequential_factor(int n, const Matrix& a) {
    Matrix f(a.size(), -1.0);
    auto at = [&](int i, int j) -> double& { return f[static_cast<std::size_t>(i - 1) + static_cast<std::size_t>(j - 1) * n]; };
    for (int j = 1; j <= n; ++j)
        for (int i = 1; i <= n; ++i) at(i, j) = a[static_cast<std::size_t>(std::min(i, j) - 1) + static_cast<std::size_t>(std::max(i, j) - 1) * n];
    for (int j = 1; j <= n && at(j, j) > 0.0; ++j) {
        at(j, j) = std::sqrt(at(j, j));
        const double rec = 1.0 / at(j, j);
        for (int i = j + 1; i <= n; ++i) at(i, j) *= rec;
        for (int k = j + 1; k <= n; ++k)
            for (int i = k; i <= n; ++i) at(i, k) -= at(i, j) * at(k, j);
    }
    for (int j = 1; j < n; ++j)
        for (int i = j + 1; i <= n; ++i) at(j, i) = at(i, j);
    return f;
}

// Values over many magnitudes, so that any other order of a sum would show.
TEST_F(DlindsThreads, FactorColumnSumsMatchDasumBitForBit) {
    for (int n : {1, 2, 7, 50, 161}) {
        std::uint64_t seed = 41;
        Matrix a(static_cast<std::size_t>(n) * n);
        for (double& v : a) v = std::ldexp(uniform(seed) - 0.3, static_cast<int>(next_random(seed) % 80) - 40);
        Matrix want(static_cast<std::size_t>(n));
        const int one = 1;
        for (int j = 1; j <= n; ++j) {
            double s = dasum_(&j, &a[static_cast<std::size_t>(j - 1) * n], &one);
            const int rest = n - j;
            if (rest > 0) s += dasum_(&rest, &a[static_cast<std::size_t>(j - 1) + static_cast<std::size_t>(j) * n], &n);
            want[static_cast<std::size_t>(j - 1)] = s;
        }
        for (int threads : kCrews) {
            // Sums of the input, in place too, whether or not the
            // factorisation gets far (this matrix is not positive definite).
            TestCrew crew(threads);
            Matrix got(static_cast<std::size_t>(n), -1.0), fac(a.size());
            detail::factor_spd(crew.get(), n, a.data(), n, fac.data(), n, got.data());
            EXPECT_TRUE(same_bits(got, want)) << "order " << n << ", " << threads << " threads";
            Matrix in_place = a;
            detail::factor_spd(crew.get(), n, in_place.data(), n, in_place.data(), n, got.data());
            EXPECT_TRUE(same_bits(got, want)) << "order " << n << ", " << threads << " threads, in place";
        }
    }
}

TEST_F(DlindsThreads, FactorMatchesTheStepByStepOneBitForBit) {
    for (int n : {1, 2, 3, 9, 50, 161}) {
        const Matrix a = correlation_matrix(n, n, 3);
        const Matrix want = sequential_factor(n, a);
        Matrix routine(a.size(), -1.0);
        DLFTDS(n, a, n, routine, n);
        EXPECT_TRUE(same_bits(routine, want)) << "order " << n << ", DLFTDS";
        for (int threads : kCrews) {
            TestCrew crew(threads);
            Matrix got(a.size(), -1.0);
            EXPECT_EQ(detail::factor_spd(crew.get(), n, a.data(), n, got.data(), n), 0);
            EXPECT_TRUE(same_bits(got, want)) << "order " << n << ", " << threads << " threads";
            Matrix in_place = a;  // A and FAC the same array
            detail::factor_spd(crew.get(), n, in_place.data(), n, in_place.data(), n);
            EXPECT_TRUE(same_bits(in_place, want)) << "order " << n << ", " << threads << " threads";
        }
    }
}

// A pivot that fails inside a block, at a block's first column, at the last
// column, or at the first: the partial factor is the step-by-step one.
TEST_F(DlindsThreads, FactorStopsWhereTheStepByStepOneStops) {
    const int n = 40;
    for (int bad : {1, 8, 9, 13, 40}) {
        Matrix a = correlation_matrix(n, n, 5);
        const std::size_t d = static_cast<std::size_t>(bad - 1) * (n + 1);
        a[d] = bad == 13 ? std::nan("") : -a[d];
        ERSET(0, 0, 0);
        const Matrix want = sequential_factor(n, a);
        Matrix routine(a.size(), -1.0);
        DLFTDS(n, a, n, routine, n);
        ASSERT_EQ(LSTERR(), 2);
        EXPECT_TRUE(same_bits(routine, want)) << "column " << bad << ", DLFTDS";
        for (int threads : kCrews) {
            TestCrew crew(threads);
            Matrix got(a.size(), -1.0);
            EXPECT_EQ(detail::factor_spd(crew.get(), n, a.data(), n, got.data(), n), bad);
            EXPECT_TRUE(same_bits(got, want)) << "column " << bad << ", " << threads << " threads";
        }
    }
}

TEST_F(DlindsThreads, TriangularInverseMatchesDgerAndDscalBitForBit) {
    for (int n : {1, 2, 3, 9, 50, 161}) {
        const Matrix t = upper_with_zeros(n, 9, Skipped::kInfinity);
        const Matrix want = sequential_inverse(n, t);
        Matrix routine(t.size(), -5.0);
        DLINRT(n, t, n, 2, routine, n);
        EXPECT_TRUE(same_bits(routine, want)) << "order " << n << ", DLINRT";
        for (int threads : kCrews) {
            TestCrew crew(threads);
            Matrix got(t.size(), -5.0);
            EXPECT_EQ(detail::invert_upper(crew.get(), n, t.data(), n, got.data(), n, 1e-300), 0);
            EXPECT_TRUE(same_bits(got, want)) << "order " << n << ", " << threads << " threads";
            Matrix in_place = t;
            detail::invert_upper(crew.get(), n, in_place.data(), n, in_place.data(), n, 1e-300);
            EXPECT_TRUE(same_bits(in_place, want)) << "order " << n << ", " << threads << " threads";
        }
    }
    // The skips mattered: the infinities stayed in their columns.
    const int n = 50;
    const Matrix inv = sequential_inverse(n, upper_with_zeros(n, 9, Skipped::kInfinity));
    EXPECT_FALSE(std::any_of(inv.begin(), inv.end(), [](double v) { return std::isnan(v); }));
    for (int r = 4; r <= n; r += detail::kBlockColumns)
        EXPECT_TRUE(std::isinf(inv[static_cast<std::size_t>(r - 1) * n])) << "column " << r;
}

TEST_F(DlindsThreads, TriangularInverseStopsWhereDlinrtStops) {
    const int n = 30;
    for (int bad : {1, 8, 9, 20, 30}) {
        Matrix t = upper_with_zeros(n, 11, Skipped::kNothing);
        t[static_cast<std::size_t>(bad - 1) * (n + 1)] = 0.0;
        ERSET(0, 0, 0);
        const Matrix want = sequential_inverse(n, t);
        for (int threads : kCrews) {
            TestCrew crew(threads);
            Matrix got(t.size(), -5.0);
            EXPECT_EQ(detail::invert_upper(crew.get(), n, t.data(), n, got.data(), n, 1e-300), bad);
            EXPECT_TRUE(same_bits(got, want)) << "column " << bad << ", " << threads << " threads";
        }
    }
}

TEST_F(DlindsThreads, ProductWithTransposeMatchesDsyrAndDscalBitForBit) {
    for (int n : {1, 2, 3, 9, 50, 161}) {
        const Matrix t = upper_with_zeros(n, 13, Skipped::kMinusZero);
        Matrix want = t;
        const int one = 1;
        const double alpha = 1.0;
        for (int j = 1; j <= n; ++j) {
            const int jm1 = j - 1;
            double* col = &want[static_cast<std::size_t>(j - 1) * n];
            if (jm1 > 0) dsyr_("U", &jm1, &alpha, col, &one, want.data(), &n, 1);
            const double d = col[j - 1];
            dscal_(&j, &d, col, &one);
        }
        for (int threads : kCrews) {
            TestCrew crew(threads);
            Matrix got = t;
            detail::multiply_by_transpose(crew.get(), n, got.data(), n);
            for (int j = 0; j < n; ++j) {
                const std::size_t c = static_cast<std::size_t>(j) * n;
                EXPECT_EQ(std::memcmp(&got[c], &want[c], static_cast<std::size_t>(j + 1) * sizeof(double)), 0)
                    << "order " << n << ", " << threads << " threads, column " << j + 1;
            }
            // Column R kept its minus zeros.
            for (int r = 4; r <= n; r += detail::kBlockColumns)
                EXPECT_TRUE(std::signbit(got[static_cast<std::size_t>(r - 1) * n])) << "column " << r;
            detail::mirror_upper(crew.get(), n, got.data(), n);
            Matrix mirrored = want;  // DCSFRG's dcopy of each row right of the diagonal
            for (int j = 1; j < n; ++j) {
                const int len = n - j;
                dcopy_(&len, &mirrored[static_cast<std::size_t>(j - 1) + static_cast<std::size_t>(j) * n], &n,
                       &mirrored[static_cast<std::size_t>(j) + static_cast<std::size_t>(j - 1) * n], &one);
            }
            EXPECT_TRUE(same_bits(got, mirrored)) << "order " << n << ", " << threads << " threads";
        }
    }
}

struct Inverse {
    Matrix ainv;
    int error;
    std::vector<std::string> records;
};

class DlindsOrders : public DlindsThreads {
protected:
    // DLINDS of A (leading dimension LD) with THREADS threads, or without a
    // crew when THREADS is 0.
    Inverse inverse(int n, const Matrix& a, int ld, int threads) {
        proc::set(proc::Setting::kDlindsOrder, threads == 0 ? kNever : 1);
        proc::set(proc::Setting::kEigenThreads, std::max(threads, 1));
        Inverse r{Matrix(a.size(), -3.0), 0, {}};
        DLINDS(n, a, ld, r.ainv, ld);
        r.error = LSTERR();
        r.records = take();
        return r;
    }
    void expect_same(int n, const Matrix& a, int ld) {
        const Inverse plain = inverse(n, a, ld, 0);
        for (int threads : kThreads) {
            const Inverse got = inverse(n, a, ld, threads);
            EXPECT_TRUE(same_bits(got.ainv, plain.ainv)) << "order " << n << ", " << threads << " threads";
            EXPECT_EQ(got.error, plain.error) << "order " << n << ", " << threads << " threads";
            EXPECT_EQ(got.records, plain.records) << "order " << n << ", " << threads << " threads";
        }
    }
};

// The order from which DLINDS takes helpers by default (8 CPUs).
int default_helpers_order() {
    proc::set(proc::Setting::kDlindsOrder, 0);
    proc::set(proc::Setting::kEigenThreads, 8);
    int helpers = dlinds_parallel_order();
    while (helpers < 2000 && dlinds_threads(helpers) < 2) ++helpers;
    return helpers;
}

TEST_F(DlindsOrders, SameBitsSequentialAndThreaded) {
    const int above_thresholds[] = {dlinds_parallel_order() + 1, default_helpers_order() + 1};
    for (int n : {1, 2, 3, 50, 161, 500, 1000, above_thresholds[0], above_thresholds[1]}) {
        SCOPED_TRACE(n);
        expect_same(n, correlation_matrix(n, n, 17), n);
    }
    // A leading dimension above the order, and rows below it untouched.
    expect_same(77, correlation_matrix(77, 80, 19), 80);
    EXPECT_EQ(inverse(77, correlation_matrix(77, 80, 19), 80, 8).ainv[77], -3.0);
}

// By default: no crew below the parallel order, a crew of the caller alone
// above it, helpers from a larger order on, and all the same bits.
TEST_F(DlindsOrders, DefaultOrdersAgreeWithNoCrew) {
    proc::set(proc::Setting::kEigenThreads, 8);
    const int order = dlinds_parallel_order();
    EXPECT_EQ(dlinds_threads(order - 1), 0);
    EXPECT_EQ(dlinds_threads(order), 1);
    const int helpers = default_helpers_order();
    EXPECT_LT(helpers, 2000);
    EXPECT_EQ(dlinds_threads(1000), 8);
    for (int n : {order - 1, order, order + 1, helpers - 1, helpers, helpers + 1}) {
        const Matrix a = correlation_matrix(n, n, 37);
        const Inverse plain = inverse(n, a, n, 0);
        proc::set(proc::Setting::kDlindsOrder, 0);
        proc::set(proc::Setting::kEigenThreads, 8);
        Matrix ainv(a.size(), -3.0);
        DLINDS(n, a, n, ainv, n);
        EXPECT_TRUE(same_bits(ainv, plain.ainv)) << "order " << n;
    }
    proc::set(proc::Setting::kEigenThreads, 1);
    EXPECT_EQ(dlinds_threads(1000), 1);
}

// Not positive definite and ill-conditioned: the same partial factor or
// inverse, error code and messages on every path.
TEST_F(DlindsOrders, ErrorsAreTheSequentialOnes) {
    ERSET(0, 1, 0);
    const int n = 60;
    for (int bad : {1, 24, 25, 60}) {
        Matrix a = correlation_matrix(n, n, 23);
        a[static_cast<std::size_t>(bad - 1) * (n + 1)] = -1.0;
        expect_same(n, a, n);
        EXPECT_EQ(inverse(n, a, n, 8).error, 2);
    }
    // Two equal columns and rows, less a trace: algorithmically singular.
    Matrix a = correlation_matrix(n, n, 29);
    for (int i = 0; i < n; ++i) a[static_cast<std::size_t>(i) + n] = a[static_cast<std::size_t>(i)];
    for (int j = 0; j < n; ++j) a[1 + static_cast<std::size_t>(j) * n] = a[static_cast<std::size_t>(j) * n];
    a[1 + n] = 1.0 + 1e-15;
    expect_same(n, a, n);
    EXPECT_EQ(inverse(n, a, n, 8).error, 1);
}

// A helper held up at every handshake of the crew, or helpers that cannot
// be started (from the first on, or the last alone): the others do their
// share, and the inverse keeps its bits.
TEST_F(DlindsOrders, HelpersHeldUpOrNotStartedLeaveTheBitsAlone) {
    const int n = 200;
    const Matrix a = correlation_matrix(n, n, 41);
    const Inverse plain = inverse(n, a, n, 0);
    for (int threads : {3, 8}) {
        for (int helper : {1, threads - 1}) {
            proc::Team::set_helper_delay(helper, std::chrono::microseconds(50));
            const Inverse got = inverse(n, a, n, threads);
            proc::Team::set_helper_delay(0, std::chrono::microseconds(0));
            EXPECT_TRUE(same_bits(got.ainv, plain.ainv)) << threads << " threads, helper " << helper;
            proc::Team::set_failing_start(helper);
            const Inverse fewer = inverse(n, a, n, threads);
            proc::Team::set_failing_start(0);
            EXPECT_TRUE(same_bits(fewer.ainv, plain.ainv)) << threads << " threads, from helper " << helper << " on";
        }
    }
}

TEST_F(DlindsOrders, InPlaceIsTheSameAsApart) {
    const int n = 100;
    const Matrix a = correlation_matrix(n, n, 31);
    const Inverse plain = inverse(n, a, n, 0);
    for (int threads : kThreads) {
        proc::set(proc::Setting::kDlindsOrder, 1);
        proc::set(proc::Setting::kEigenThreads, threads);
        Matrix in_place = a;
        DLINDS(n, in_place, n, in_place, n);
        EXPECT_TRUE(same_bits(in_place, plain.ainv)) << threads << " threads";
    }
}

}  // namespace
}  // namespace orv::num2
