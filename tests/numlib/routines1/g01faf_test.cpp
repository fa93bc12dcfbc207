#include "numlib/routines1/g01faf.h"

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
#include "num1_fixture.h"

namespace orv::num1 {
namespace {

struct Deviate {
    std::string tail;
    double p, x;
};

// Exact deviates from scripts/reference/normal_bivariate_reference.py.
std::vector<Deviate> references() {
    std::ifstream in(std::string(ORV_TEST_DATA_DIR) + "/numlib/golden/g01faf_reference.txt");
    std::vector<Deviate> out;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        Deviate d;
        std::string p, x;
        fields >> d.tail >> p >> x;
        d.p = std::strtod(p.c_str(), nullptr);  // also subnormal
        d.x = std::strtod(x.c_str(), nullptr);
        out.push_back(d);
    }
    return out;
}

TEST(G01FAF, MatchesExactDeviates) {
    const auto cases = references();
    ASSERT_GT(cases.size(), 90u);
    for (const Deviate& d : cases) {
        SCOPED_TRACE(d.tail + " " + std::to_string(d.p));
        int ifail = 1;
        const double x = G01FAF(d.tail, d.p, ifail);
        EXPECT_EQ(ifail, 0);
        // The tail formula is accurate to about 5e-13 out to P = 1e-70 and
        // loses digits slowly beyond (2.3e-8 relative at the least double).
        const double tol = std::abs(d.x) <= 18.0 ? 1e-12 * std::max(1.0, std::abs(d.x)) : 3e-8 * std::abs(d.x);
        EXPECT_NEAR(x, d.x, tol);
    }
}

TEST(G01FAF, TailsAreExactTransformsOfTheLowerTail) {
    int ifail = 0;
    EXPECT_EQ(G01FAF("L", 0.5, ifail), 0.0);
    for (double p : {0.01, 0.2, 0.37, 0.5, 0.81, 0.999}) {
        const double lower = G01FAF("Lower-tail", p, ifail);  // only the first character counts
        EXPECT_EQ(G01FAF("U", p, ifail), -lower);
        EXPECT_EQ(G01FAF("l", p, ifail), lower);
        EXPECT_EQ(G01FAF("u", p, ifail), -lower);
        EXPECT_EQ(G01FAF("c", p, ifail), G01FAF("C", p, ifail));
        EXPECT_EQ(G01FAF("s", p, ifail), G01FAF("S", p, ifail));
        EXPECT_EQ(ifail, 0);
    }
    EXPECT_EQ(G01FAF("C", 0.95, ifail), G01FAF("L", 0.975, ifail));
}

// Failure messages go to the window (unit 6), recorded by a fake host.
class G01FAFErrors : public Num1Fixture {};

TEST_F(G01FAFErrors, ArgumentErrorsAndTheirRecords) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::string prob = " ** On entry, P.le.0.0 or P.ge.1.0 : P = ";
    const std::string tail = " ** On entry, TAIL is an invalid character : TAIL = ";
    struct Case {
        std::string tail;
        double p;
        int error;
        std::string record;
    } cases[] = {
        {"L", 0.0, 2, prob + "  0.00000D+00"},  {"U", 1.0, 2, prob + "  0.10000D+01"},
        {"S", -0.5, 2, prob + " -0.50000D+00"}, {"L", nan, 2, prob + "          NaN"},
        {"X", 0.0, 2, prob + "  0.00000D+00"},  // P is checked before TAIL
        {"X", 0.5, 1, tail + "X"},              {"", 0.5, 1, tail.substr(0, tail.size() - 1)},
        {"Q", 1.5, 2, prob + "  0.15000D+01"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.record);
        host_.records.clear();
        int ifail = -1;
        EXPECT_EQ(G01FAF(c.tail, c.p, ifail), 0.0);
        EXPECT_EQ(ifail, c.error);
        const std::string exit = " ** ABNORMAL EXIT from NUM Library routine G01FAF: IFAIL =     " +
                                 std::to_string(c.error);
        EXPECT_EQ(host_.records,
                  (std::vector<std::string>{c.record, exit, " ** NUM soft failure - control returned"}));
        host_.records.clear();
        ifail = 1;
        G01FAF(c.tail, c.p, ifail);
        EXPECT_EQ(ifail, c.error);
        EXPECT_TRUE(host_.records.empty());
        ifail = 0;
        EXPECT_THROW(G01FAF(c.tail, c.p, ifail), rt::Stop);
    }
}

TEST_F(G01FAFErrors, KernelRejectsProbabilitiesOutsideTheOpenInterval) {
    for (double p : {0.0, 1.0, -1e-300, 2.0, std::numeric_limits<double>::quiet_NaN()}) {
        host_.records.clear();
        int ifail = -1;
        EXPECT_EQ(G01FAZ(p, ifail), 0.0);
        EXPECT_EQ(ifail, 1);
        ASSERT_EQ(host_.records.size(), 2u);  // no records of its own, only the exit lines
        EXPECT_EQ(host_.records[0], " ** ABNORMAL EXIT from NUM Library routine G01FAZ: IFAIL =     1");
    }
    // Half the least subnormal is 0: the kernel's failure is what returns.
    int ifail = 1;
    EXPECT_EQ(G01FAF("S", 5e-324, ifail), 0.0);
    EXPECT_EQ(ifail, 1);
}

}  // namespace
}  // namespace orv::num1
