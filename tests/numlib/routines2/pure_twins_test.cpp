// The pure twins of DNORDF and DLINDS against the library routines, bit for
// bit, over many arguments: arguments of every magnitude, the boundaries of
// the series and of the range, special values, and matrices that are
// positive definite, nearly singular, indefinite or not finite.  The twins
// must also leave the error stack untouched.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <span>
#include <vector>

#include "num2_fixture.h"
#include "numlib/routines2/dlinds.h"
#include "numlib/routines2/dlinds_pure.h"
#include "numlib/routines2/dnordf.h"
#include "numlib/routines2/dnordf_pure.h"
#include "numlib/routines2/erset.h"

namespace orv::num2 {
namespace {

class PureTwins : public Num2Fixture {};

std::uint64_t bits(double x) { return std::bit_cast<std::uint64_t>(x); }

std::vector<double> normal_arguments() {
    std::vector<double> xs;
    // A dense grid over the whole range, beyond the underflow limit.
    for (int i = -400000; i <= 400000; ++i) xs.push_back(i * 1e-4);
    // Around the switches between the series (|x| / sqrt 2 = 1, 2), the
    // small-argument branch and the ends of the range.
    const double r2 = std::sqrt(2.0);
    for (double c : {r2, 2.0 * r2, -r2, -2.0 * r2, 0.0, 37.5, -37.5, 38.5, -38.5, 8.0, -8.0}) {
        double x = c;
        for (int k = 0; k < 200; ++k) x = std::nextafter(x, 1e300), xs.push_back(x);
        x = c;
        for (int k = 0; k < 200; ++k) x = std::nextafter(x, -1e300), xs.push_back(x);
    }
    for (double tiny = 1e-300; tiny < 1.0; tiny *= 7.0) xs.push_back(tiny), xs.push_back(-tiny);
    // Random doubles of every sign and magnitude, and random points in the
    // central range where the quadrature's arguments lie.
    std::mt19937_64 gen(20261209);
    std::uniform_real_distribution<double> central(-12.0, 12.0);
    for (int i = 0; i < 200000; ++i) xs.push_back(central(gen));
    for (int i = 0; i < 20000; ++i) {
        const double x = std::bit_cast<double>(gen());
        if (!std::isnan(x)) xs.push_back(x);
    }
    const double inf = std::numeric_limits<double>::infinity();
    for (double x : {inf, -inf, std::numeric_limits<double>::denorm_min(), -0.0, std::numeric_limits<double>::max(),
                     -std::numeric_limits<double>::max()})
        xs.push_back(x);
    return xs;
}

TEST_F(PureTwins, NormalDistributionEqualsDnordfBitForBit) {
    int mismatches = 0;
    for (double x : normal_arguments()) {
        const double want = DNORDF(x);
        const double got = DNORDF_PURE(x);
        if (bits(want) != bits(got) && ++mismatches <= 10) ADD_FAILURE() << "x = " << x << ": " << want << " vs " << got;
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_TRUE(std::isnan(DNORDF_PURE(std::numeric_limits<double>::quiet_NaN())));
    EXPECT_TRUE(std::isnan(DNORDF(std::numeric_limits<double>::quiet_NaN())));
    // Far tails: exactly 0 and 1, as the library gives them.
    EXPECT_EQ(DNORDF_PURE(-40.0), 0.0);
    EXPECT_EQ(DNORDF_PURE(40.0), 1.0);
}

TEST_F(PureTwins, NormalDistributionLeavesTheErrorStackAlone) {
    ERSET(0, 1, 0);
    (void)DNORDF_PURE(-45.0);  // where DERFC would raise its underflow alert
    (void)DNORDF_PURE(0.3);
    EXPECT_EQ(LSTERR(), 0);
    EXPECT_TRUE(take().empty());
}

using Matrix = std::vector<double>;

// A random symmetric matrix B B' + shift I of order N (upper and lower
// triangles equal), with a spread of scales.
Matrix random_spd(std::mt19937_64& gen, int n, double shift, double scale) {
    std::normal_distribution<double> z(0.0, 1.0);
    Matrix b(n * n), a(n * n, 0.0);
    for (double& v : b) v = z(gen);
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            double s = 0.0;
            for (int k = 0; k < n; ++k) s += b[i + k * n] * b[j + k * n];
            a[i + j * n] = scale * (s + (i == j ? shift : 0.0));
        }
    return a;
}

// DLINDS with every message silent, as SPDINC calls it; the code LSTERR
// gives afterwards.
int library_inverse(int n, const Matrix& a, Matrix& inv) {
    ERSET(0, 0, 0);
    DLINDS(n, a, n, inv, n);
    return LSTERR();
}

void expect_same(int n, const Matrix& a) {
    Matrix want(n * n, -7.0), got(n * n, -7.0);
    const int code = library_inverse(n, a, want);
    const bool ok = DLINDS_PURE(n, a, n, got, n);
    EXPECT_EQ(ok, code != 2) << "code " << code;
    for (int k = 0; k < n * n; ++k) ASSERT_EQ(bits(want[k]), bits(got[k])) << "element " << k << " of order " << n;
}

TEST_F(PureTwins, InverseEqualsDlindsBitForBit) {
    std::mt19937_64 gen(77);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    int failures = 0;
    for (int trial = 0; trial < 3000; ++trial) {
        const int n = trial % 3 == 0 ? 6 : 1 + trial % 8;
        SCOPED_TRACE(trial);
        // Positive definite of every conditioning, indefinite (negative
        // shift), nearly singular, tiny and huge scales.
        const double shift = trial % 5 == 0 ? -2.0 * (trial % 7) : std::pow(10.0, -(trial % 17));
        const double scale = std::pow(10.0, (trial % 11) * 30 - 150);
        Matrix a = random_spd(gen, n, shift, scale);
        // Garbage below the diagonal: neither routine reads it.
        for (int j = 0; j < n; ++j)
            for (int i = j + 1; i < n; ++i) a[i + j * n] = u(gen) * 1e9;
        Matrix probe(n * n);
        if (library_inverse(n, a, probe) == 2) ++failures;
        expect_same(n, a);
        if (::testing::Test::HasFatalFailure()) return;
    }
    // Both kinds were met.
    EXPECT_GT(failures, 100);
    EXPECT_LT(failures, 2900);
}

TEST_F(PureTwins, InverseOfNonFiniteAndSingularMatrices) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    std::mt19937_64 gen(5);
    for (int pos = 0; pos < 36; ++pos) {
        for (double bad : {nan, inf, -inf, 0.0}) {
            Matrix a = random_spd(gen, 6, 0.5, 1.0);
            a[pos] = bad;
            a[(pos % 6) * 6 + pos / 6] = bad;
            expect_same(6, a);
        }
    }
    expect_same(6, Matrix(36, 0.0));
    expect_same(6, Matrix(36, 1.0));  // rank one: the second pivot is 0
}

TEST_F(PureTwins, InverseLeavesTheErrorStackAloneAndChecksItsArguments) {
    ERSET(0, 1, 0);
    Matrix inv(36);
    EXPECT_FALSE(DLINDS_PURE(6, Matrix(36, 0.0), 6, inv, 6));
    EXPECT_EQ(LSTERR(), 0);
    EXPECT_TRUE(take().empty());
    EXPECT_THROW(DLINDS_PURE(0, Matrix(1), 1, inv, 1), std::invalid_argument);
    EXPECT_THROW(DLINDS_PURE(kPureInverseMaxOrder + 1, Matrix(400), 17, inv, 17), std::invalid_argument);
    EXPECT_THROW(DLINDS_PURE(6, Matrix(30), 6, inv, 6), std::length_error);
    Matrix both(40, 1.0);
    EXPECT_THROW(DLINDS_PURE(6, std::span<const double>(both).first(36), 6, std::span<double>(both).subspan(1, 36), 6),
                 std::invalid_argument);
}

}  // namespace
}  // namespace orv::num2
