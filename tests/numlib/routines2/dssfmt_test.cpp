// Axis tick selection DSSFMT.
#include "numlib/routines2/dssfmt.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "numlib/routines2/erset.h"
#include "numlib/routines2/umach.h"
#include "runtime/io_error.h"
#include "runtime/units.h"
#include "message_texts.h"
#include "num2_fixture.h"

namespace orv::num2 {
namespace {

using Records = std::vector<std::string>;

using test::message_texts;
using test::squeeze;

class Ticks : public Num2Fixture {};

struct TickCase {
    double fmn, fmx;
    int n, mpv;
    double first, step;
    int nm, ndec;
};

// Worked by hand from the step table: Q = (hi - lo) * 1.00002 / (N / MPV)
// scaled into (10, 100], the first entry not below it, FIRST = U * floor(V).
TEST_F(Ticks, ChoosesRoundTicks) {
    const std::vector<TickCase> cases{
        {-1.0, 1.0, 5, 1, -1.0, 0.5, 5, 1},     // the pattern plot's x axis
        {-1.0, 1.0, 9, 1, -1.0, 0.25, 9, 2},    // its y axis
        {-3.5, 3.5, 5, 1, -3.0, 1.5, 5, 1},     // the score plot's x axis
        {-3.5, 3.5, 9, 1, -3.2, 0.8, 9, 1},     // its y axis: Q 77.78 takes 80
        {0.0, 0.0, 5, 1, 0.0, 0.25, 5, 2},      // no spread at zero: 0..1
        {3.0, 3.0, 5, 1, 0.0, 0.8, 5, 1},       // no spread above zero: 0..3
        {-3.0, -3.0, 5, 1, -3.2, 0.8, 5, 1},    // below zero: -3..0
        {0.0, 1000.0, 5, 1, 0.0, 250.0, 5, -1}, // unit a multiple of 10
        {0.95, 6.7, 5, 1, 1.5, 1.5, 5, 1},      // 12 fails to reach 6.7, 15 does
        {0.0, 10.0, 11, 2, 0.0, 2.0, 6, 0},     // two marks per printed value
    };
    for (const TickCase& c : cases) {
        double first = -99, step = -99;
        int nm = -99, ndec = -99;
        DSSFMT(c.fmn, c.fmx, c.n, c.mpv, first, step, nm, ndec);
        SCOPED_TRACE(std::to_string(c.fmn) + ".." + std::to_string(c.fmx) + " N=" + std::to_string(c.n));
        EXPECT_DOUBLE_EQ(first, c.first);
        EXPECT_DOUBLE_EQ(step, c.step);
        EXPECT_EQ(nm, c.nm);
        EXPECT_EQ(ndec, c.ndec);
        EXPECT_EQ(LSTERR(), 0);
    }
    EXPECT_TRUE(host_.records.empty());
}

TEST_F(Ticks, BadArgumentsRaiseTheirMessagesAndLeaveTheOutputsUnset) {
    ERSET(0, 1, 0);
    double first = -99, step = -99;
    int nm = -99, ndec = -99;
    DSSFMT(2.0, 1.0, 1, 1, first, step, nm, ndec);
    EXPECT_EQ(first, -99);
    EXPECT_EQ(step, -99);
    EXPECT_EQ(nm, -99);
    EXPECT_EQ(ndec, -99);
    EXPECT_EQ(N1RCD(1), 3);
    EXPECT_EQ(message_texts(host_.records),
              (std::vector<std::string>{
                  squeeze("TERMINAL 1 DSSFMT",
                          "FMX = 1.000000000000000D+00.  FMN = 2.000000000000000D+00.  Maximum value (FMX) must "
                          "be greater than or equal to the minimum value to be included in scale (FMN)."),
                  squeeze("TERMINAL 2 DSSFMT",
                          "N = 1.  Number of distinct plotting positions or scale marks (N) must be greater "
                          "than or equal to 2 and less than or equal to 10000."),
                  squeeze("TERMINAL 3 DSSFMT",
                          "MPV = 1.  N = 1.  Number of scale marks per printed value (MPV) must be positive "
                          "and less than number of distinct plotting positions (N)."),
              }));
    host_.records.clear();
    DSSFMT(0.0, 1.0, 10001, 0, first, step, nm, ndec);
    const auto texts = message_texts(host_.records);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_NE(texts[0].find("N=10001."), std::string::npos);
    EXPECT_NE(texts[1].find("MPV=0.N=10001."), std::string::npos);
    EXPECT_EQ(nm, -99);
}

TEST_F(Ticks, DefaultAttributesStopTheRunAfterABadCall) {
    double first = 0, step = 0;
    int nm = 0, ndec = 0;
    EXPECT_THROW(DSSFMT(0.0, 1.0, 5, 5, first, step, nm, ndec), rt::Stop);
}

TEST_F(Ticks, RangesThatAreNotNumbersEndWithoutHanging) {
    double first = 0, step = 0;
    int nm = 0, ndec = 0;
    const double inf = std::numeric_limits<double>::infinity();
    DSSFMT(-inf, inf, 5, 1, first, step, nm, ndec);
    EXPECT_EQ(nm, 5);
    DSSFMT(std::nan(""), 1.0, 5, 1, first, step, nm, ndec);
    EXPECT_EQ(nm, 5);
}

}  // namespace
}  // namespace orv::num2
