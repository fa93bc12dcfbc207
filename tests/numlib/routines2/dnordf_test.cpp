#include "numlib/routines2/dnordf.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "numlib/routines2/dcsevl.h"
#include "numlib/routines2/erf_coefficients.h"
#include "numlib/routines2/erset.h"
#include "numlib/routines2/umach.h"
#include "runtime/io_error.h"
#include "runtime/units.h"
#include "num2_fixture.h"

namespace orv::num2 {
namespace {

class NormalDistribution : public Num2Fixture {};

struct Reference {
    std::string name;
    double arg, value;
};

std::vector<Reference> read_reference() {
    std::ifstream in(ORV_TEST_DATA_DIR "/numlib/golden/normal_reference.txt");
    std::vector<Reference> out;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string name, arg, value;
        fields >> name >> arg >> value;
        out.push_back({name, std::strtod(arg.c_str(), nullptr), std::strtod(value.c_str(), nullptr)});
    }
    return out;
}

// Relative tolerance per function and argument.  The erfc-based values carry
// the rounding of x^2 inside exp(-x^2), a relative error of about x^2 2^-53,
// so 1e-15 holds in the centre and 1e-13 in the tails; DNORDF in addition
// rounds its argument -X / sqrt 2, which erfc magnifies by X^2, so beyond
// X = -26.5 its bound is X^2 2^-52 (3.1e-13 at the last representable tail).
double tolerance(const Reference& r) {
    const double x = r.arg;
    if (r.name == "DNORDF") {
        if (x >= -2.5) return 1e-15;
        if (x >= -26.5) return 1e-13;
        return x * x * std::ldexp(1.0, -52);
    }
    if (r.name == "DERFC") return x <= 3.0 ? 1e-15 : 1e-13;
    if (r.name == "DERFCE") return x >= -3.0 ? 1e-15 : 1e-13;
    return 1e-15;  // DNORIN, DERFCI
}

TEST_F(NormalDistribution, MatchesHighPrecisionReference) {
    const std::vector<Reference> refs = read_reference();
    ASSERT_GT(refs.size(), 1000u);
    int seen[5] = {};
    for (const Reference& r : refs) {
        double got = 0.0;
        if (r.name == "DNORDF") {
            got = DNORDF(r.arg), ++seen[0];
        } else if (r.name == "DNORIN") {
            got = DNORIN(r.arg), ++seen[1];
        } else if (r.name == "DERFC") {
            got = DERFC(r.arg), ++seen[2];
        } else if (r.name == "DERFCE") {
            got = DERFCE(r.arg), ++seen[3];
        } else if (r.name == "DERFCI") {
            got = DERFCI(r.arg), ++seen[4];
        } else {
            ADD_FAILURE() << "unknown function " << r.name;
            continue;
        }
        if (r.value == 0.0) {
            EXPECT_EQ(got, 0.0) << r.name << "(" << r.arg << ")";
        } else {
            EXPECT_LE(std::fabs(got - r.value) / std::fabs(r.value), tolerance(r))
                << r.name << "(" << r.arg << ") = " << got << ", reference " << r.value;
        }
    }
    for (int count : seen) EXPECT_GE(count, 100);
}

TEST_F(NormalDistribution, EdgeValuesLeaveNoErrorForTheCaller) {
    struct Case {
        const char* what;
        double got, expected;
    };
    const double below_one = 1.0 - std::ldexp(1.0, -53);
    const Case cases[] = {
        {"DNORDF(0)", DNORDF(0.0), 0.5},
        {"DNORDF(-40)", DNORDF(-40.0), 0.0},
        {"DNORDF(-inf)", DNORDF(-std::numeric_limits<double>::infinity()), 0.0},
        {"DNORDF(40)", DNORDF(40.0), 1.0},
        {"DNORIN(0.5)", DNORIN(0.5), 0.0},
        {"DERFC(-6.02)", DERFC(-6.02), 2.0},
        {"DERFCI(1)", DERFCI(1.0), 0.0},
    };
    for (const Case& c : cases) EXPECT_EQ(c.got, c.expected) << c.what;

    // The loss of precision next to P = 1 is not reported to the caller.
    const double z = DNORIN(below_one);
    EXPECT_NEAR(z, 8.2095361516013869, 1e-14);
    EXPECT_EQ(LSTERR(), 0);
    EXPECT_EQ(N1RTY(1), 0);
    EXPECT_EQ(DNORDF(-40.0), 0.0);
    EXPECT_EQ(LSTERR(), 0);
    EXPECT_EQ(N1RTY(1), 0);
    EXPECT_TRUE(host_.records.empty());

    EXPECT_NEAR(DERFCI(0.2), -DERFCI(1.8), 1e-15);
}

TEST_F(NormalDistribution, DnorinOutsideTheOpenIntervalIsTerminal) {
    ERSET(0, 1, 0);
    struct Case {
        double p;
        std::vector<std::string> records;
    } cases[] = {
        {0.0,
         {"", " *** TERMINAL ERROR 1 from DNORIN.  The argument to the function must be",
          " ***          greater than 0.0 and less than 1.0.  P = 0.000000000000000D+00."}},
        {1.0,
         {"", " *** TERMINAL ERROR 1 from DNORIN.  The argument to the function must be",
          " ***          greater than 0.0 and less than 1.0.  P = 1.000000000000000D+00."}},
    };
    for (const Case& c : cases) {
        host_.records.clear();
        EXPECT_TRUE(std::isnan(DNORIN(c.p)));
        EXPECT_EQ(host_.records, c.records);
        EXPECT_EQ(N1RTY(1), 5);
        EXPECT_EQ(N1RCD(1), 1);
        EXPECT_EQ(LSTERR(), 0);  // a terminal error does not read as the last error
    }
    // A NaN probability is refused the same way.
    EXPECT_TRUE(std::isnan(DNORIN(std::numeric_limits<double>::quiet_NaN())));
    EXPECT_EQ(N1RCD(1), 1);

    reset_error_machinery();
    host_.records.clear();
    EXPECT_THROW(DNORIN(-0.25), rt::Stop);
    EXPECT_EQ(host_.records.size(), 3u);
}

TEST_F(NormalDistribution, ErrorFunctionMessages) {
    ERSET(0, 1, 0);
    // Underflow of erfc: an alert, printed when the routine returns.
    EXPECT_EQ(DERFC(30.0), 0.0);
    EXPECT_EQ(LSTERR(), 1);
    EXPECT_EQ(host_.records, (std::vector<std::string>{
                                 "", " *** ALERT    ERROR 1 from DERFC.  The function underflows because X =",
                                 " ***          3.000000000000000D+01 is greater than 2.653329968508357D+01. ",
                                 " ***          The result is set to zero."}));

    // The scaled complement overflows below xmin; the lower-case fields
    // are filled like the upper-case ones, and the name is shown upper-case.
    host_.records.clear();
    EXPECT_TRUE(std::isnan(DERFCE(-27.0)));
    EXPECT_EQ(host_.records, (std::vector<std::string>{
                                 "", " *** TERMINAL ERROR 4 from DERFCE.  The function overflows because X =",
                                 " ***          -2.700000000000000D+01 is less than -2.661873571375149D+01."}));
    EXPECT_EQ(DERFCE(1e308), 0.0);
    EXPECT_EQ(LSTERR(), 1);

    struct Case {
        double x;
        int type, code;
    } cases[] = {
        {0.0, 5, 5}, {-1.0, 5, 5}, {std::numeric_limits<double>::quiet_NaN(), 5, 5}, {2.0, 5, 6}, {7.5, 5, 6},
        {2.0 - std::ldexp(1.0, -52), 3, 2},  // computed, with the warning
        {1.5, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.x);
        const double z = DERFCI(c.x);
        EXPECT_EQ(N1RTY(1), c.type);
        EXPECT_EQ(N1RCD(1), c.code);
        EXPECT_EQ(std::isnan(z), c.type == 5);
    }
}

TEST_F(NormalDistribution, ChebyshevSeries) {
    ERSET(0, 1, 0);
    // Against the trigonometric form sum c(k) cos((k-1) theta) - c(1)/2.
    const std::vector<double> cs{0.8, -0.3, 0.25, 0.1, -0.05, 0.01};
    for (double x : {-1.0, -0.6, 0.0, 0.3, 0.99, 1.0}) {
        const double theta = std::acos(x);
        double expected = -cs[0] / 2.0;
        for (std::size_t k = 0; k < cs.size(); ++k) expected += cs[k] * std::cos(static_cast<double>(k) * theta);
        EXPECT_NEAR(DCSEVL(x, cs, 6), expected, 1e-15) << x;
    }
    // Just outside [-1, 1] quietly, further out with a warning, summed in both.
    const std::vector<double> quad{2.0, 0.0, 1.0};  // 1 + T2(x)
    EXPECT_NEAR(DCSEVL(1.05, quad, 3), 2.0 * 1.05 * 1.05, 1e-15);
    EXPECT_TRUE(host_.records.empty());
    EXPECT_NEAR(DCSEVL(1.2, quad, 3), 2.0 * 1.2 * 1.2, 1e-15);
    EXPECT_EQ(LSTERR(), 7);
    EXPECT_EQ(host_.records, (std::vector<std::string>{
                                 "", " *** WARNING  ERROR 7 from DCSEVL.  The argument X = 1.200000000000000D+00 is",
                                 " ***          outside the interval (-1.1,+1.1)."}));
    EXPECT_TRUE(std::isnan(DCSEVL(0.0, quad, 0)));
    EXPECT_EQ(N1RCD(1), 5);
    std::vector<double> long_series(1001, 0.0);
    EXPECT_TRUE(std::isnan(DCSEVL(0.0, long_series, 1001)));
    EXPECT_EQ(N1RCD(1), 6);
    EXPECT_THROW(DCSEVL(0.0, quad, 4), std::length_error);

    // Term counts: the index of the last term kept, counted from the front.
    struct Case {
        std::vector<double> os;
        float eta;
        int terms, code;
    } cases[] = {
        {{1.0, 0.5, 0.25, 1e-3, 1e-20}, 1e-10f, 4, 0},
        {{1.0, 0.5, 1e-11, 1e-11, 1e-11}, 2.5e-11f, 3, 0},  // the tail adds up past ETA
        {{1e-20, 1e-20}, 1e-10f, 1, 0},
        {{1.0, 0.5}, 1e-10f, 0, 6},  // the last term alone is too big
        {{}, 1e-10f, 0, 5},
    };
    for (const Case& c : cases) {
        const int nos = static_cast<int>(c.os.size());
        EXPECT_EQ(INITDS(c.os, nos, c.eta), c.terms) << nos;
        EXPECT_EQ(N1RCD(1), c.code) << nos;
    }
}

TEST_F(NormalDistribution, InverseSeriesStartsAndEndsAsPrinted) {
    using erf_series::kErfInverseNearZero;
    EXPECT_EQ(kErfInverseNearZero[0], -0.05102816076058251);
    EXPECT_EQ(kErfInverseNearZero[1], 0.09767121365429762);
    EXPECT_EQ(kErfInverseNearZero[2], 0.0106798426748877);
    EXPECT_EQ(kErfInverseNearZero[3], 0.00145839261934236);
    EXPECT_NEAR(kErfInverseNearZero[43], 1.991e-32, 0.0005e-32);
}

}  // namespace
}  // namespace orv::num2
