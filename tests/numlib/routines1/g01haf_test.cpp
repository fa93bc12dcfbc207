#include "numlib/routines1/g01haf.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "numlib/routines1/errexit.h"
#include "runtime/io_error.h"
#include "runtime/units.h"
#include "support/fake_host.h"

namespace orv::num1 {
namespace {

struct Reference {
    double x, y, rho, value;
};

// Lines "B X Y RHO P" (bivariate) or "E X ERFC" of the reference file made
// by scripts/reference/normal_bivariate_reference.py.
std::vector<Reference> references(char kind) {
    std::ifstream in(std::string(ORV_TEST_DATA_DIR) + "/numlib/golden/g01haf_reference.txt");
    std::vector<Reference> out;
    auto number = [](std::istream& s) {
        std::string t;
        s >> t;
        return std::strtod(t.c_str(), nullptr);
    };
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] != kind) continue;
        std::istringstream fields(line.substr(1));
        Reference r{};
        r.x = number(fields);
        if (kind == 'B') {
            r.y = number(fields);
            r.rho = number(fields);
        }
        r.value = number(fields);
        out.push_back(r);
    }
    return out;
}

double phi(double x) { return 0.5 * std::erfc(-x / std::sqrt(2.0)); }

TEST(G01HAF, MatchesExactProbabilities) {
    const auto cases = references('B');
    ASSERT_GT(cases.size(), 1900u);
    const double nearly_one = 1.0 - std::ldexp(1.0, -53);
    int near_one = 0;
    for (const Reference& r : cases) {
        SCOPED_TRACE(::testing::Message() << r.x << " " << r.y << " " << r.rho);
        int ifail = 1;
        const double p = G01HAF(r.x, r.y, r.rho, ifail);
        EXPECT_EQ(ifail, 0);
        ASSERT_FALSE(std::isnan(p));
        EXPECT_GE(p, 0.0);
        // The series is good to about 3e-10 (worst with |RHO| near
        // 1 and the corner near the origin); closed forms to rounding.
        EXPECT_NEAR(p, r.value, 4e-10);
        if (std::abs(r.rho) == nearly_one) {
            ++near_one;
            EXPECT_NEAR(p, r.value, 1e-9);
        }
    }
    EXPECT_GE(near_one, 64);  // RHO = +-(1 - 2^-53) with X = +-Y and beside it
}

TEST(G01HAF, ReflectionIdentity) {
    // P(x, y, r) + P(x, -y, -r) = Phi(x), on and beside the lines X = +-Y
    // where |RHO| near 1 is hardest.
    const double rhos[] = {-1.0, -(1.0 - std::ldexp(1.0, -53)), -0.97, -0.4, 0.0, 0.25, 0.8,
                           1.0 - std::ldexp(1.0, -52), 1.0};
    for (double x : {-4.0, -1.1, -0.3, 0.0, 0.6, 2.2, 5.0})
        for (double dy : {0.0, 1e-7, -0.5, 1.9})
            for (double rho : rhos) {
                const double y = x + dy;
                int ifail = 0;
                EXPECT_NEAR(G01HAF(x, y, rho, ifail) + G01HAF(x, -y, -rho, ifail), phi(x), 1e-9)
                    << x << " " << y << " " << rho;
            }
}

TEST(G01HAF, ClosedFormsAndLimits) {
    int ifail = 0;
    EXPECT_EQ(G01HAF(0.0, 0.0, 0.0, ifail), 0.25);
    EXPECT_NEAR(G01HAF(0.0, 0.0, 0.5, ifail), 1.0 / 3.0, 1e-16);
    EXPECT_EQ(G01HAF(0.0, 0.0, 1.0, ifail), 0.5);
    EXPECT_EQ(G01HAF(0.0, 0.0, -1.0, ifail), 0.0);
    // Infinite limits take the degenerate forms; a NaN limit gives a NaN.
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_NEAR(G01HAF(inf, 0.7, 0.4, ifail), phi(0.7), 1e-15);
    EXPECT_NEAR(G01HAF(-0.2, inf, -0.4, ifail), phi(-0.2), 1e-15);
    EXPECT_EQ(G01HAF(-inf, 0.7, 0.4, ifail), 0.0);
    EXPECT_EQ(G01HAF(0.7, -inf, -0.4, ifail), 0.0);
    EXPECT_TRUE(std::isnan(G01HAF(std::nan(""), 0.7, 0.4, ifail)));
    EXPECT_EQ(ifail, 0);
}

TEST(G01HAF, InternalErfc) {
    for (const Reference& r : references('E')) {
        int ifail = 7;
        // exp(-X^2) carries the rounding of X^2: relative error ~ X^2 eps.
        EXPECT_NEAR(detail::bivariate_erfc(r.x, ifail), r.value, (1e-14 + 2e-16 * r.x * r.x) * r.value) << r.x;
        EXPECT_EQ(ifail, 0);
    }
    const double inf = std::numeric_limits<double>::infinity();
    int ifail = 7;
    for (double x : {26.6, 26.600000000000001, 27.0, 1e10, inf}) EXPECT_EQ(detail::bivariate_erfc(x, ifail), 0.0);
    for (double x : {-6.25, -6.2500000000000009, -7.0, -1e300, -inf})
        EXPECT_EQ(detail::bivariate_erfc(x, ifail), 2.0);
    EXPECT_GT(detail::bivariate_erfc(std::nextafter(26.6, 0.0), ifail), 0.0);
    EXPECT_EQ(ifail, 0);
}

TEST(G01HAF, CorrelationOutOfRange) {
    testing::FakeHost host;
    rt::set_host(&host);
    int six = 6;
    ERRUNIT(1, six);
    const std::string head = " ** On entry, RHO.lt.-1.0 .or. RHO.gt.1.0 : RHO = ";
    const struct {
        double rho;
        std::string shown;
    } cases[] = {{1.0000000000000002, "  1.00000D+00"}, {-1.5, " -1.50000D+00"},
                 {std::nan(""), "          NaN"},      {-std::numeric_limits<double>::infinity(), "    -Infinity"}};
    for (const auto& c : cases) {
        host.records.clear();
        int ifail = -1;
        EXPECT_EQ(G01HAF(0.3, 0.2, c.rho, ifail), 0.0);
        EXPECT_EQ(ifail, 1);
        EXPECT_EQ(host.records, (std::vector<std::string>{
                                    head + c.shown,
                                    " ** ABNORMAL EXIT from NUM Library routine G01HAF: IFAIL =     1",
                                    " ** NUM soft failure - control returned",
                                }));
        host.records.clear();
        ifail = 1;
        G01HAF(0.3, 0.2, c.rho, ifail);
        EXPECT_EQ(ifail, 1);
        EXPECT_TRUE(host.records.empty());
        ifail = 0;
        EXPECT_THROW(G01HAF(0.3, 0.2, c.rho, ifail), rt::Stop);
    }
    rt::close_all_units();
    rt::set_host(nullptr);
}

}  // namespace
}  // namespace orv::num1
