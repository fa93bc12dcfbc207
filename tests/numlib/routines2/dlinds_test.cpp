#include "numlib/routines2/dlinds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "numlib/blas_lapack.h"
#include "numlib/routines2/erset.h"
#include "numlib/routines2/umach.h"
#include "runtime/formatted_io.h"
#include "runtime/io_error.h"
#include "runtime/units.h"
#include "num2_fixture.h"

namespace orv::num2 {
namespace {

using Matrix = std::vector<double>;
using Records = std::vector<std::string>;
using testing::stops;
const double kEps = std::ldexp(1.0, -52);

class SpdInverse : public Num2Fixture {};

Matrix hilbert(int n) {
    Matrix h(n * n);
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) h[i + j * n] = 1.0 / (i + j + 1);
    return h;
}

double binomial(int n, int k) {
    double b = 1.0;
    for (int i = 1; i <= k; ++i) b = b * (n - k + i) / i;
    return b;
}

// Reciprocal L1 condition number of the Hilbert matrix from the closed form
// of its inverse.
double hilbert_rcond(int n) {
    double norm = 0.0, inorm = 0.0;
    for (int j = 0; j < n; ++j) {
        double s = 0.0, si = 0.0;
        for (int i = 0; i < n; ++i) {
            s += 1.0 / (i + j + 1);
            si += (i + j + 1) * binomial(n + i, n - j - 1) * binomial(n + j, n - i - 1) * binomial(i + j, i) *
                  binomial(i + j, i);
        }
        norm = std::max(norm, s);
        inorm = std::max(inorm, si);
    }
    return 1.0 / (norm * inorm);
}

Matrix lapack_inverse(int n, Matrix a) {
    int info = 0;
    dpotrf_("U", &n, a.data(), &n, &info, 1);
    EXPECT_EQ(info, 0);
    dpotri_("U", &n, a.data(), &n, &info, 1);
    EXPECT_EQ(info, 0);
    for (int j = 0; j < n; ++j)
        for (int i = j + 1; i < n; ++i) a[i + j * n] = a[j + i * n];
    return a;
}

TEST_F(SpdInverse, HilbertMatricesAgreeWithLapackAndWarnWhereTheEstimateSays) {
    for (int n = 2; n <= 12; ++n) {
        SCOPED_TRACE(n);
        const Matrix h = hilbert(n);
        Matrix inv(n * n, -1.0), fac(n * n), wk(n);
        double rcond = 0.0;
        DL2CDS(n, h, n, fac, n, rcond, wk);
        // The estimate bounds the norm of the inverse from below.
        const double truth = hilbert_rcond(n);
        EXPECT_GE(rcond, 0.5 * truth);
        EXPECT_LE(rcond, 20.0 * truth);
        reset_error_machinery();
        take();

        DLINDS(n, h, n, inv, n);
        const bool warned = rcond <= kEps;
        EXPECT_EQ(warned, n == 12);
        EXPECT_EQ(LSTERR(), warned ? 1 : 0);
        EXPECT_EQ(take().empty(), !warned);

        const Matrix ref = lapack_inverse(n, h);
        double big = 0.0, diff = 0.0;
        for (int k = 0; k < n * n; ++k) {
            big = std::max(big, std::fabs(ref[k]));
            diff = std::max(diff, std::fabs(inv[k] - ref[k]));
        }
        EXPECT_LE(diff, 8.0 * n * kEps / truth * big);
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < n; ++i) EXPECT_EQ(inv[i + j * n], inv[j + i * n]);
    }
}

TEST_F(SpdInverse, IllConditionedWarningText) {
    const Matrix h = hilbert(12);
    Matrix inv(144), fac(144), wk(12);
    double rcond = 0.0;
    DL2CDS(12, h, 12, fac, 12, rcond, wk);
    const Records own = take();
    DLINDS(12, h, 12, inv, 12);
    static const rt::Format dform = rt::parse_format("(1P,D24.15)");
    std::string value = rt::format_records(dform, rcond);
    value = value.substr(value.find_first_not_of(' '));
    value = value.substr(0, value.find_last_not_of(" \n") + 1);
    EXPECT_EQ(own, (Records{"", " *** WARNING  ERROR 1 from DL2CDS.  The matrix is algorithmically singular. ",
                            " ***          An estimate of the reciprocal of its L1 condition number is ",
                            " ***          RCOND = " + value + "."}));
    EXPECT_EQ(take(), (Records{"", " *** WARNING  ERROR 1 from DLINDS.  The matrix is too ill-conditioned. An",
                               " ***          estimate of the reciprocal of its L1 condition number is RCOND ",
                               " ***          = " + value + ".  The inverse might not be accurate."}));
    EXPECT_EQ(LSTERR(), 1);
    for (int j = 0; j < 12; ++j)  // complete and symmetric
        for (int i = 0; i < 12; ++i) EXPECT_EQ(inv[i + j * 12], inv[j + i * 12]);
}

TEST_F(SpdInverse, SmallCasesAndUnreadLowerTriangle) {
    Matrix inv(1);
    DLINDS(1, Matrix{4.0}, 1, inv, 1);
    EXPECT_EQ(inv[0], 0.25);
    EXPECT_EQ(LSTERR(), 0);
    double rcond = 0.0;
    Matrix fac(1), wk(1);
    DL2CDS(1, Matrix{4.0}, 1, fac, 1, rcond, wk);
    EXPECT_EQ(rcond, 1.0);
    EXPECT_EQ(fac[0], 2.0);

    // Leading dimensions above N; the lower triangle of A holds garbage.
    const int n = 5, lda = 7, ldi = 6;
    std::mt19937 gen(11);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    Matrix spd(n * n);  // diagonally dominant
    for (int j = 0; j < n; ++j)
        for (int i = 0; i <= j; ++i) spd[i + j * n] = spd[j + i * n] = i == j ? n : u(gen);
    Matrix clean(lda * n, 0.0), dirty(lda * n, 0.0);
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            clean[i + j * lda] = spd[i + j * n];
            dirty[i + j * lda] = i > j ? 1.0e6 * u(gen) : spd[i + j * n];
        }
    Matrix a(ldi * n, 7.0), b(ldi * n, 7.0);
    DLINDS(n, clean, lda, a, ldi);
    DLINDS(n, dirty, lda, b, ldi);
    EXPECT_EQ(a, b);
    const Matrix ref = lapack_inverse(n, spd);
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) EXPECT_NEAR(a[i + j * ldi], ref[i + j * n], 1e-13);
    EXPECT_EQ(a[n + 0 * ldi], 7.0);  // rows beyond N untouched
}

TEST_F(SpdInverse, NotPositiveDefinite) {
    struct Case {
        Matrix a;
        int index;
    } cases[] = {{{1.0, -99.0, 2.0, 1.0}, 2}, {{0.0, 0.0, 0.0, 1.0}, 1}, {{NAN, 0.0, 0.0, 1.0}, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.index);
        ERSET(0, 0, 0);
        Matrix inv(4, 0.0);
        DLINDS(2, c.a, 2, inv, 2);
        EXPECT_EQ(LSTERR(), 2);
        EXPECT_TRUE(take().empty());
        // The default attributes print the fatal error and stop.
        ERSET(0, 2, 2);
        EXPECT_TRUE(stops([&] { DLINDS(2, c.a, 2, inv, 2); }));
        const std::string i = std::to_string(c.index);
        EXPECT_EQ(take(), (Records{"", " *** FATAL    ERROR 2 from DLINDS.  The leading " + i + " by " + i +
                                           " submatrix of the input",
                                   " ***          matrix is not positive definite."}));
        reset_error_machinery();
    }
    // The partial factor of the first case: R(1,1), R(1,2) and the failed pivot.
    ERSET(0, 0, 0);
    Matrix inv(4, 0.0);
    DLINDS(2, cases[0].a, 2, inv, 2);
    EXPECT_EQ(inv, (Matrix{1.0, 2.0, 2.0, -3.0}));
}

TEST_F(SpdInverse, ArgumentErrors) {
    ERSET(0, 1, 0);
    Matrix a(4, 1.0), inv(4);
    DLINDS(0, a, 1, inv, 1);
    EXPECT_EQ(take(), (Records{"", " *** TERMINAL ERROR 1 from DLINDS.  The order of the matrix must be positive",
                               " ***          while N = 0 is given."}));
    EXPECT_EQ(LSTERR(), 0);
    Matrix wk(2);
    DL2NDS(2, a, 1, inv, 1, wk);
    EXPECT_EQ(take(), (Records{"", " *** TERMINAL ERROR 2 from DL2NDS.  The order of the matrix must be less than",
                               " ***          or equal to its leading dimension while N = 2 and LDA = 1 are ",
                               " ***          given.", "",
                               " *** TERMINAL ERROR 3 from DL2NDS.  The order of the matrix must be less than",
                               " ***          or equal to its leading dimension while N = 2 and LDAINV = 1 ",
                               " ***          are given."}));
    DLINRT(2, a, 2, 3, inv, 2);
    EXPECT_EQ(take().at(2), " ***          of 3 is given.");
    DLINRT(2, Matrix{1.0, 0.0, 5.0, 0.0}, 2, 2, inv, 2);
    EXPECT_EQ(take().at(2), " ***          The index of the first zero diagonal element of A is 2.");
    DCSFRG(2, a, 1);
    EXPECT_EQ(take().at(1), " *** TERMINAL ERROR 2 from DCSFRG.  N = 2 and LDA = 1.  The order of A, N,");
    // Arrays shorter than their dimensions are refused before any access.
    EXPECT_THROW(DLINDS(3, a, 3, inv, 3), std::length_error);
    EXPECT_THROW(DVFILL(3, 0.0, inv, 2), std::length_error);
}

TEST_F(SpdInverse, TriangularInverseBothPathsAndFill) {
    const int n = 6;
    std::mt19937 gen(5);
    std::uniform_real_distribution<double> u(0.5, 2.0);
    Matrix t(n * n);
    for (double& v : t) v = u(gen);
    for (int path = 1; path <= 2; ++path) {
        SCOPED_TRACE(path);
        Matrix inv(n * n, 9.0);
        DLINRT(n, t, n, path, inv, n);
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < n; ++i) {
                const bool zero_side = path == 2 ? i > j : i < j;
                if (zero_side) {
                    EXPECT_EQ(inv[i + j * n], 0.0);
                    continue;
                }
                double s = 0.0;  // (T X)(i, j) over the triangle
                for (int k = 0; k < n; ++k)
                    if (path == 2 ? (k >= i && k <= j) : (k <= i && k >= j)) s += t[i + k * n] * inv[k + j * n];
                EXPECT_NEAR(s, i == j ? 1.0 : 0.0, 1e-13);
            }
    }
    Matrix x(7, 1.0);
    DVFILL(3, 2.5, x, 3);
    EXPECT_EQ(x, (Matrix{2.5, 1, 1, 2.5, 1, 1, 2.5}));
    DVFILL(0, 0.0, x, 1);
    EXPECT_EQ(x[0], 2.5);
}

// An output that overlaps its input without being the same array gives
// what separate arrays give: the input is read before it is overwritten.
TEST_F(SpdInverse, OutputOverlappingTheInput) {
    const int n = 5;
    Matrix a = hilbert(n);
    for (int i = 0; i < n; ++i) a[i * (n + 1)] += 1.0;
    Matrix want_fac(n * n), want_inv(n * n);
    DLFTDS(n, a, n, want_fac, n);
    DLINRT(n, want_fac, n, 2, want_inv, n);
    for (int shift : {1, n, -n - 2}) {
        SCOPED_TRACE(shift);
        const std::size_t in = shift > 0 ? 0 : static_cast<std::size_t>(-shift);
        const std::size_t out = shift > 0 ? static_cast<std::size_t>(shift) : 0;
        Matrix buffer(n * n + static_cast<std::size_t>(std::abs(shift)), -1.0);
        std::copy(a.begin(), a.end(), buffer.begin() + static_cast<long>(in));
        DLFTDS(n, std::span<const double>(buffer).subspan(in, n * n), n, std::span<double>(buffer).subspan(out, n * n), n);
        EXPECT_EQ(LSTERR(), 0);
        EXPECT_EQ(Matrix(buffer.begin() + static_cast<long>(out), buffer.begin() + static_cast<long>(out) + n * n), want_fac);
        std::copy(want_fac.begin(), want_fac.end(), buffer.begin() + static_cast<long>(in));
        DLINRT(n, std::span<const double>(buffer).subspan(in, n * n), n, 2, std::span<double>(buffer).subspan(out, n * n), n);
        EXPECT_EQ(Matrix(buffer.begin() + static_cast<long>(out), buffer.begin() + static_cast<long>(out) + n * n), want_inv);
    }
}

TEST_F(SpdInverse, RectangularProduct) {
    const Matrix a{1, 2, 3, 4, 5, 6};  // 2 x 3
    const Matrix b{1, 0, 2, 0, 1, 3};  // 3 x 2
    Matrix c(4, -1.0);
    DMRRRR(2, 3, a, 2, 3, 2, b, 3, 2, 2, c, 2);
    EXPECT_EQ(c, (Matrix{11, 14, 18, 22}));
    EXPECT_EQ(LSTERR(), 0);
    ERSET(0, 1, 0);
    Matrix untouched(4, -1.0);
    DMRRRR(2, 3, a, 2, 2, 2, b, 3, 2, 2, untouched, 2);
    const Records r = take();
    ASSERT_GE(r.size(), 2u);
    EXPECT_EQ(r[1], " *** TERMINAL ERROR 7 from DMRRRR.  Some of the dimensions are not");
    EXPECT_EQ(untouched, Matrix(4, -1.0));
    DMRRRR(0, 3, a, 2, 3, 2, b, 2, 2, 2, untouched, 1);
    const Records codes = take();
    int count = 0;
    for (const std::string& s : codes) count += s.find(" ERROR ") != std::string::npos;
    EXPECT_EQ(count, 3);  // codes 1 (NRA), 4 (LDB) and 6 (LDC); no consistency check after them
}

}  // namespace
}  // namespace orv::num2
