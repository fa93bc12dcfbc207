// One-way frequency table DOWFRQ.
#include "numlib/routines2/dowfrq.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <stdexcept>
#include <string>
#include <vector>

#include "message_texts.h"
#include "numlib/routines2/erset.h"
#include "numlib/routines2/umach.h"
#include "runtime/io_error.h"
#include "runtime/units.h"
#include "num2_fixture.h"

namespace orv::num2 {
namespace {

using test::message_texts;
using test::squeeze;
using Vec = std::vector<double>;

class FrequencyTable : public Num2Fixture {};

// The engine's residual classes: the bounds are single-precision constants.
TEST_F(FrequencyTable, EngineResidualClasses) {
    const double xlo = static_cast<double>(-0.975f);
    const double xhi = static_cast<double>(0.975f);
    EXPECT_EQ(xlo, -0.97500002384185791015625);
    const Vec x{xlo, std::nextafter(xlo, 1.0), xhi, 0.98, -2.0, 0.0, 0.024, 0.026};
    Vec div(41), table(41, -1.0);
    DOWFRQ(static_cast<int>(x.size()), x, 41, 1, xlo, xhi, 0.0, div, table);
    Vec expected(41, 0.0);
    expected[0] = 2;   // XLO itself and -2
    expected[1] = 1;   // just above XLO
    expected[20] = 2;  // 0.0 and 0.024
    expected[21] = 1;  // 0.026
    expected[39] = 1;  // XHI itself
    expected[40] = 1;  // 0.98
    EXPECT_EQ(table, expected);
    const double w = (xhi - xlo) / 39;
    EXPECT_EQ(div[0], xlo - w / 2);
    EXPECT_EQ(div[1], xlo + 0.5 * w);
    EXPECT_EQ(div[20], xlo + 19.5 * w);
    EXPECT_NEAR(div[20], 0.0, 1e-15);
    EXPECT_EQ(div[40], xhi + w / 2);
    EXPECT_NEAR(div[40], 1.0, 3e-8);
    EXPECT_TRUE(host_.records.empty());
}

// 19 * (0.1 / 19) falls short of 0.1 in IEEE arithmetic: the value 0.1 lies
// inside the bounds but beyond the last computed boundary, and is counted in
// the last inner class instead of being lost.
TEST_F(FrequencyTable, ValueBeyondTheLastComputedBoundaryStaysInside) {
    ASSERT_LT(19 * (0.1 / 19), 0.1);
    Vec div(21), table(21);
    DOWFRQ(3, Vec{0.1, 0.001, 0.11}, 21, 1, 0.0, 0.1, 0.0, div, table);
    Vec expected(21, 0.0);
    expected[1] = expected[19] = expected[20] = 1;
    EXPECT_EQ(table, expected);
}

struct RuleCase {
    const char* name;
    int iopt;
    Vec x;
    int k;
    double clhw;
    Vec div_in, table, div_out;
};

TEST_F(FrequencyTable, ClassRules) {
    const std::vector<RuleCase> cases{
        // Equal widths from the smallest to the largest; a value on an inner
        // boundary belongs to the lower class.
        {"equal widths", 0, {4, 0, 1, 2, 3}, 4, 0, {9, 9, 9, 9}, {2, 1, 1, 1}, {0.5, 1.5, 2.5, 3.5}},
        {"all equal", 0, {2.5, 2.5, 2.5}, 3, 0, {9, 9, 9}, {3, 0, 0}, {2.5, 2.5, 2.5}},
        {"one class", 0, {1, 5}, 1, 0, {9}, {2}, {3}},
        {"boundaries", 2, {0.5, 1, 1.5, 2, 3, 3.5, 10}, 4, 0, {1, 2, 3, 77}, {2, 2, 1, 2}, {1, 2, 3, 77}},
        {"two classes", 2, {0.5, 1, 1.5}, 2, 0, {1, 77}, {2, 1}, {1, 77}},
        // Within CLHW of a mark, the first such; 2.5 and 0.5 count nowhere.
        {"marks", 3, {1.1, 2.25, 2.5, 3.0, 0.5}, 3, 0.25, {1, 2, 3}, {1, 1, 1}, {1, 2, 3}},
        {"overlapping marks", 3, {1.5}, 2, 0.5, {1, 2}, {1, 0}, {1, 2}},
    };
    for (const RuleCase& c : cases) {
        Vec div = c.div_in, table(static_cast<std::size_t>(c.k), -1.0);
        DOWFRQ(static_cast<int>(c.x.size()), c.x, c.k, c.iopt, 0.0, 0.0, c.clhw, div, table);
        EXPECT_EQ(table, c.table) << c.name;
        EXPECT_EQ(div, c.div_out) << c.name;
    }
    EXPECT_TRUE(host_.records.empty());
}

TEST_F(FrequencyTable, MessagesOfEveryCheck) {
    ERSET(0, 1, 0);
    Vec div{1, 3, 2, 0}, table{7, 7, 7, 7};
    const Vec x{0.5, 1.5};
    DOWFRQ(0, x, 0, 7, 0, 0, 0, div, table);
    DOWFRQ(2, x, 2, 1, 1.0, 1.0, 0, div, table);
    DOWFRQ(2, x, 1, 2, 0, 0, 0, div, table);
    DOWFRQ(2, x, 4, 2, 0, 0, 0, div, table);  // DIV(4) is not a boundary
    DOWFRQ(2, x, 4, 3, 0, 0, 0.1, div, table);
    DOWFRQ(2, Vec{0.5, std::nan("")}, 2, 0, 0, 0, 0, div, table);
    EXPECT_EQ(LSTERR(), 0);  // terminal errors do not count
    EXPECT_EQ(N1RCD(1), 8);
    EXPECT_EQ(table, (Vec{7, 7, 7, 7}));
    EXPECT_EQ(div, (Vec{1, 3, 2, 0}));
    EXPECT_EQ(message_texts(host_.records),
              (std::vector<std::string>{
                  squeeze("TERMINAL 1 DOWFRQ", "NOBS = 0.  There must be at least one observation."),
                  squeeze("TERMINAL 2 DOWFRQ",
                          "IOPT = 7.  IOPT must be greater than or equal to 0 and less than or equal to 3."),
                  squeeze("TERMINAL 7 DOWFRQ", "K = 0.  There must be at least one interval."),
                  squeeze("TERMINAL 3 DOWFRQ",
                          "XLO = 1.000000000000000D+00 and XHI = 1.000000000000000D+00.  The lower bound must be "
                          "less than the upper bound."),
                  squeeze("TERMINAL 5 DOWFRQ", "K = 2.  Since IOPT = 1, there must be at least three intervals."),
                  squeeze("TERMINAL 6 DOWFRQ", "K = 1.  Since IOPT = 2, there must be at least two intervals."),
                  squeeze("TERMINAL 4 DOWFRQ",
                          "DIV(3) = 2.000000000000000D+00 and DIV(2) = 3.000000000000000D+00.  The elements of "
                          "DIV must be  monotonically increasing."),
                  squeeze("TERMINAL 4 DOWFRQ",
                          "DIV(3) = 2.000000000000000D+00 and DIV(2) = 3.000000000000000D+00.  The elements of "
                          "DIV must be  monotonically increasing."),
                  squeeze("TERMINAL 4 DOWFRQ",
                          "DIV(4) = 0.000000000000000D+00 and DIV(3) = 2.000000000000000D+00.  The elements of "
                          "DIV must be  monotonically increasing."),
                  squeeze("TERMINAL 8 DOWFRQ", "X contains missing values.  Missing values are not allowed."),
              }));
    std::string all;
    for (const std::string& r : host_.records) all += r + "\n";
    test::expect_golden(all, "dowfrq_messages.txt");
}

TEST_F(FrequencyTable, StopsUnderTheDefaultAttributesAndRefusesShortArrays) {
    Vec div(3), table(3);
    EXPECT_THROW(DOWFRQ(1, Vec{1.0}, 3, 4, 0, 0, 0, div, table), rt::Stop);
    reset_error_machinery();
    EXPECT_THROW(DOWFRQ(2, Vec{1.0}, 3, 0, 0, 0, 0, div, table), std::length_error);
    EXPECT_THROW(DOWFRQ(1, Vec{1.0}, 4, 0, 0, 0, 0, div, table), std::length_error);
    Vec div4(4);
    EXPECT_THROW(DOWFRQ(1, Vec{1.0}, 4, 0, 0, 0, 0, div4, table), std::length_error);
}

}  // namespace
}  // namespace orv::num2
