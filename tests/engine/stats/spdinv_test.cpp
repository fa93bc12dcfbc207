// SPDINV and SPDINC: the inverse, the library's message settings they leave
// behind, the console messages, and SPDINC's failure mark.
#include "engine/stats/spdinv.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "numlib/routines2/erset.h"
#include "runtime/io_error.h"
#include "support/library_fixture.h"

namespace orv::engine {
namespace {

const std::vector<double> kGood{4.0, 1.0, 0.5, 1.0, 3.0, 0.2, 0.5, 0.2, 2.0};
const std::vector<double> kSingular{1.0, 1.0, 0.0, 1.0, 1.0, 0.0, 0.0, 0.0, 1.0};

class SpdinvTest : public testing::LibraryFixture {
protected:
    void reset_library() override { num2::reset_error_machinery(); }
    // Print and stop attributes of types 1 (note) to 5 (terminal).
    static void expect_attributes(int print, int stop) {
        for (int type = 1; type <= 5; ++type) {
            int p = -9, s = -9;
            num2::ERATTR(-type, p, s);
            EXPECT_EQ(p, print) << type;
            EXPECT_EQ(s, stop) << type;
        }
    }
    static void expect_inverse(const std::vector<double>& a, const std::vector<double>& ainv) {
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) {
                double s = 0.0;
                for (int k = 0; k < 3; ++k) s += a[i + 3 * k] * ainv[k + 3 * j];
                EXPECT_NEAR(s, i == j ? 1.0 : 0.0, 1e-14);
            }
    }
};

TEST_F(SpdinvTest, PrintsLibraryMessagesWithoutStopping) {
    std::vector<double> ainv(9);
    SPDINV(kGood, 3, ainv);
    expect_inverse(kGood, ainv);
    expect_attributes(1, 0);
    EXPECT_TRUE(host_.records.empty());

    // Not positive definite: the fatal message appears, and the engine then
    // stops the run itself although the library would go on.
    EXPECT_THROW(SPDINV(kSingular, 3, ainv), rt::Stop);
    std::string all;
    for (const std::string& r : host_.records) all += r + "\n";
    EXPECT_NE(all.find("*** FATAL    ERROR 2 from DLINDS."), std::string::npos) << all;
    EXPECT_NE(all.find("not positive definite"), std::string::npos) << all;
}

TEST_F(SpdinvTest, SilentVariantMarksFailureOnly) {
    std::vector<double> ainv(9, 0.0);
    SPDINC(kSingular, 3, ainv);
    EXPECT_EQ(ainv[0], SPDINC_FAILED);
    EXPECT_EQ(SPDINC_FAILED, 123456.0);
    EXPECT_TRUE(host_.records.empty());
    expect_attributes(0, 0);

    // A good matrix after a failure: a true inverse, no mark.
    SPDINC(kGood, 3, ainv);
    expect_inverse(kGood, ainv);
    EXPECT_NE(ainv[0], SPDINC_FAILED);

    // The setting of whichever ran last stays in force.
    SPDINV(kGood, 3, ainv);
    expect_attributes(1, 0);
    SPDINC(kGood, 3, ainv);
    expect_attributes(0, 0);
}

// The pure twin gives SPDINC's inverse and mark bit for bit on Hessian-like
// matrices of order 6: positive definite, indefinite, singular, not finite.
TEST_F(SpdinvTest, PureTwinMatchesSilentVariant) {
    std::mt19937_64 gen(19);
    std::normal_distribution<double> z(0.0, 1.0);
    int marked = 0;
    for (int trial = 0; trial < 2000; ++trial) {
        std::vector<double> a(36);
        for (int i = 0; i < 6; ++i)
            for (int j = i; j < 6; ++j) a[i + 6 * j] = a[j + 6 * i] = z(gen) * 0.3;
        for (int i = 0; i < 6; ++i) a[i * 7] += 2.5 - 0.002 * trial;  // from definite to indefinite
        if (trial % 97 == 0) a[trial % 36] = std::nan("");
        std::vector<double> want(36, -1.0), got(36, -1.0);
        SPDINC(a, 6, want);
        SPDINC_PURE(a, 6, got);
        for (int k = 0; k < 36; ++k)
            ASSERT_EQ(std::bit_cast<std::uint64_t>(want[k]), std::bit_cast<std::uint64_t>(got[k])) << trial << " " << k;
        marked += want[0] == SPDINC_FAILED;
    }
    EXPECT_GT(marked, 200);
    EXPECT_LT(marked, 1800);
    EXPECT_TRUE(host_.records.empty());
}

}  // namespace
}  // namespace orv::engine
