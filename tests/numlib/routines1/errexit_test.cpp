#include "numlib/routines1/errexit.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "numlib/routines1/machine.h"
#include "runtime/io_error.h"
#include "runtime/units.h"
#include "num1_fixture.h"

namespace orv::num1 {
namespace {

class StatusConvention : public Num1Fixture {
protected:
    // The window records without their carriage-control blank.
    std::vector<std::string> shown() const {
        std::vector<std::string> out;
        for (const auto& r : host_.records) out.push_back(r.substr(1));
        return out;
    }
};

const std::vector<std::string> kRecords{" ** On entry, N.lt.2: N =          1", "   second record    "};
const std::string kExit = "** ABNORMAL EXIT from NUM Library routine G01AAF: IFAIL =     3";
const std::string kHard = "** NUM hard failure - execution terminated";
const std::string kSoft = "** NUM soft failure - control returned";

TEST_F(StatusConvention, EntryValuesDecideWhatHappens) {
    struct Case {
        int ifail;
        bool records, exit_line, stops;
    } cases[] = {
        {1, false, false, false},  {-1, true, true, false},   {-13, true, false, false},
        {2, false, false, false},  {9, false, false, false},  {101, false, false, false},
        {11, true, true, false},   {21, true, true, false},   {111, true, true, false},
        {10, true, true, true},    {12, true, true, true},    {20, true, true, true},
        {0, true, true, true},     {-2, false, false, false}, {-11, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ifail);
        host_.records.clear();
        int result = -99;
        bool stopped = false;
        try {
            result = ERREXIT(c.ifail, 3, "G01AAF", 2, kRecords);
        } catch (const rt::Stop& s) {
            stopped = true;
            EXPECT_EQ(s.exit_status, 1);
            EXPECT_TRUE(s.message.empty());
        }
        EXPECT_EQ(stopped, c.stops);
        if (!c.stops) {
            EXPECT_EQ(result, 3);
        }
        std::vector<std::string> expected;
        if (c.records) expected = {"** On entry, N.lt.2: N =          1", "  second record"};
        if (c.exit_line) {
            expected.push_back(kExit);
            expected.push_back(c.stops ? kHard : kSoft);
        }
        EXPECT_EQ(shown(), expected);
    }
}

TEST_F(StatusConvention, SuccessIsSilent) {
    EXPECT_EQ(ERREXIT(0, 0, "X04CBF", 2, kRecords), 0);
    EXPECT_TRUE(host_.records.empty());
}

TEST_F(StatusConvention, RecordCountNeverReadsPastTheRecords) {
    EXPECT_EQ(ERREXIT(-13, 5, "X04CBF", 40, kRecords), 5);
    EXPECT_EQ(host_.records.size(), 2u);
}

TEST_F(StatusConvention, UnitsAreSettingsOfTheLibrary) {
    int unit = 0;
    ADVUNIT(0, unit);
    EXPECT_EQ(unit, 6);
    int eleven = 11;
    ADVUNIT(1, eleven);
    unit = 42;
    ADVUNIT(2, unit);  // any other flag does nothing
    EXPECT_EQ(unit, 42);
    ADVUNIT(0, unit);
    EXPECT_EQ(unit, 11);
    ERRUNIT(0, unit);
    EXPECT_EQ(unit, 6);
    // A negative error unit silences the messages, but a hard failure still
    // ends the run.
    int none = -1;
    ERRUNIT(1, none);
    EXPECT_THROW(ERREXIT(0, 1, "X04CBF", 2, kRecords), rt::Stop);
    EXPECT_TRUE(host_.records.empty());
}

TEST_F(StatusConvention, WriteRecordDropsTrailingBlanks) {
    WRTREC(6, " abc   ");
    WRTREC(6, "     ");
    WRTREC(6, "");
    WRTREC(-1, " never");
    EXPECT_EQ(host_.records, (std::vector<std::string>{" abc", " ", " "}));
}

TEST_F(StatusConvention, ParameterReporters) {
    int nerr = 0;
    PARERRI(-5, "N", -1, nerr, "F02WEF");
    PARERRC("X", "JOB", 0, nerr, "F02FAF");
    EXPECT_EQ(nerr, 2);
    EXPECT_EQ(host_.records, (std::vector<std::string>{
                                 " ",
                                 " *****  Parameter  N  is invalid in routine  F02WEF  *****",
                                 "        Value supplied is     -5",
                                 " ",
                                 " *****  Parameter  JOB  is invalid in routine  F02FAF  *****",
                                 "        Value supplied is",
                                 "        X",
                             }));
    host_.records.clear();
    PARERRI(7, "M", 1, nerr, "F02WEF");   // silent, still counted
    PARERRC("Q", "JOB", 21, nerr, "F02FAF");  // tens digit set: reported
    EXPECT_EQ(nerr, 4);
    EXPECT_EQ(host_.records.size(), 4u);
}

TEST(TextLimits, NonBlankLimits) {
    int first = -1, last = -1;
    NBLIMS("   ", first, last);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(last, 0);
    NBLIMS("  ab c  ", first, last);
    EXPECT_EQ(first, 3);
    EXPECT_EQ(last, 6);
    NBLIMS("x", first, last);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(last, 1);
}

TEST(ScaleFactor, ExactPowersOfTheBase) {
    double scale = 0;
    int flag = 7;
    SCLFAC(0.0, 1e-300, 1e300, scale, flag);
    EXPECT_EQ(flag, 0);
    EXPECT_EQ(scale, 1.0);
    SCLFAC(1.0, 1e-300, 1e300, scale, flag);
    EXPECT_EQ(flag, 0);
    // Too large: scaled down by 2^-k with k = floor(ln(anorm/big)/ln 2) + 1.
    SCLFAC(1e303, 1e-300, 1e300, scale, flag);
    EXPECT_EQ(flag, -1);
    EXPECT_EQ(scale, std::ldexp(1.0, -10));
    EXPECT_LE(1e303 * scale, 1e300);
    // Too small: scaled up.
    SCLFAC(1e-303, 1e-300, 1e300, scale, flag);
    EXPECT_EQ(flag, -1);
    EXPECT_EQ(scale, std::ldexp(1.0, 10));
    EXPECT_GE(1e-303 * scale, 1e-300);
    // The exponent is capped at 1021 even for an infinite norm.
    SCLFAC(HUGE_VAL, 1e-300, 1.0, scale, flag);
    EXPECT_EQ(flag, -1);
    EXPECT_EQ(scale, std::ldexp(1.0, -1021));
}

TEST(MachineConstants, Values) {
    EXPECT_EQ(std::bit_cast<std::uint64_t>(MCEPS()), 0x3CA0000000000001u);
    EXPECT_EQ(MCEPS(), 1.1102230246251568e-16);
    EXPECT_EQ(MCSAFE(), std::ldexp(1.0, -1022));
    EXPECT_EQ(MCTINY(), MCSAFE());
    EXPECT_EQ(MCBASE(), 2);
    EXPECT_EQ(MCDIGS(), 53);
    EXPECT_EQ(MCEMIN(), -1021);
    EXPECT_EQ(MCEMAX(), 1024);
    EXPECT_EQ(MCPI(0.0), 3.141592653589793);
}

}  // namespace
}  // namespace orv::num1
