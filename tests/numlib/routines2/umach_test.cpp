#include "numlib/routines2/umach.h"

#include <gtest/gtest.h>

#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "numlib/routines2/erset.h"
#include "runtime/io_error.h"
#include "runtime/units.h"
#include "num2_fixture.h"

namespace orv::num2 {
namespace {

using Records = std::vector<std::string>;
using testing::stops_plainly;

class LibrarySettings : public Num2Fixture {
protected:
    // The code of the terminal message in the only message printed, 0 for none.
    int printed_code() {
        const Records r = take();
        if (r.size() < 2) return 0;
        return std::stoi(r[1].substr(std::string(" *** TERMINAL ERROR").size()));
    }
};

TEST_F(LibrarySettings, UnitsAndPage) {
    int unit = 0;
    int eleven = 11;
    UMACH(-2, eleven);
    UMACH(2, unit);
    EXPECT_EQ(unit, 11);
    UMACH(3, unit);
    EXPECT_EQ(unit, 6);
    UMACH(1, unit);
    EXPECT_EQ(unit, 5);

    int page = 0;
    PGOPT(1, page);
    EXPECT_EQ(page, 78);
    PGOPT(2, page);
    EXPECT_EQ(page, 60);
    int width = 80, length = 50;
    PGOPT(-1, width);
    PGOPT(-2, length);
    PGOPT(1, page);
    EXPECT_EQ(page, 80);
    PGOPT(2, page);
    EXPECT_EQ(page, 50);
    EXPECT_TRUE(host_.records.empty());
}

TEST_F(LibrarySettings, UmachRefusesOtherIndexesWithItsOwnText) {
    ERSET(0, 0, 0);  // its text and stop do not depend on the attributes
    int unit = 0;
    EXPECT_TRUE(stops_plainly([&] { UMACH(-4, unit); }));
    EXPECT_EQ(take(), (Records{"", " *** TERMINAL ERROR 5 from UMACH.  The absolute",
                               " ***          value of the index variable must be",
                               " ***          1, 2, or 3.  IABS(N) =      4.", ""}));
    EXPECT_TRUE(stops_plainly([&] { UMACH(INT_MIN, unit); }));
    EXPECT_EQ(take()[3], " ***          1, 2, or 3.  IABS(N) = ******.");
}

TEST_F(LibrarySettings, PageChecks) {
    ERSET(0, 1, 0);
    int page = 9;
    PGOPT(-1, page);
    EXPECT_EQ(take(), (Records{"", " *** TERMINAL ERROR 2 from PGOPT.  IPAGE = 9.  Page width must be greater",
                               " ***          than or equal to 10."}));
    page = 0;
    PGOPT(-2, page);
    EXPECT_EQ(printed_code(), 3);
    page = 3;
    PGOPT(3, page);
    EXPECT_EQ(take(), (Records{"", " *** TERMINAL ERROR 1 from PGOPT.  IABS(IOPT) = 3.  IABS(IOPT) must be",
                               " ***          greater than or equal to 1 and less than or equal to 2."}));
    PGOPT(INT_MIN, page);
    EXPECT_EQ(printed_code(), 1);
    PGOPT(1, page);
    EXPECT_EQ(page, 78);  // the refused values changed nothing
    PGOPT(2, page);
    EXPECT_EQ(page, 60);
    page = 10;
    PGOPT(-1, page);
    page = 0;
    PGOPT(1, page);
    EXPECT_EQ(page, 10);
    EXPECT_TRUE(host_.records.empty());

    ERSET(0, 2, 2);
    page = 9;
    EXPECT_TRUE(stops_plainly([&] { PGOPT(-1, page); }));
}

TEST_F(LibrarySettings, IntegerConstants) {
    const int expected[12] = {32, 4, 2, 31, INT_MAX, 2, 24, -125, 128, 53, -1021, 1024};
    for (int n = 1; n <= 12; ++n) EXPECT_EQ(IMACH(n), expected[n - 1]) << n;
    // The complaint goes to the output unit.
    ERSET(0, 0, 0);
    EXPECT_TRUE(stops_plainly([] { IMACH(13); }));
    EXPECT_EQ(take(), (Records{"", " *** TERMINAL ERROR 5 from IMACH.  The argument",
                               " ***          must be between 1 and 12 inclusive.", " ***          N =     13.", ""}));
}

TEST_F(LibrarySettings, FloatingConstants) {
    EXPECT_EQ(DMACH(1), 2.2250738585072014e-308);
    EXPECT_EQ(DMACH(2), 1.7976931348623157e+308);
    EXPECT_EQ(DMACH(3), 1.1102230246251565e-16);
    EXPECT_EQ(DMACH(4), 2.220446049250313e-16);
    EXPECT_EQ(DMACH(5), 0.3010299956639812);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(DMACH(6)), 0x7FF8000000000000u);
    EXPECT_EQ(DMACH(7), std::numeric_limits<double>::infinity());
    EXPECT_EQ(DMACH(8), -std::numeric_limits<double>::infinity());

    EXPECT_EQ(AMACH(1), 1.1754943508222875e-38f);
    EXPECT_EQ(static_cast<double>(AMACH(2)), 3.4028234663852886e+38);
    EXPECT_EQ(static_cast<double>(AMACH(3)), 5.960464477539063e-08);
    EXPECT_EQ(static_cast<double>(AMACH(4)), 1.1920928955078125e-07);
    EXPECT_EQ(AMACH(5), 0.30103f);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(AMACH(6)), 0x7FC00000u);
    EXPECT_EQ(AMACH(7), std::numeric_limits<float>::infinity());
    EXPECT_EQ(AMACH(8), -std::numeric_limits<float>::infinity());
    EXPECT_TRUE(host_.records.empty());
}

TEST_F(LibrarySettings, BadConstantIndexIsATerminalError) {
    ERSET(0, 1, 0);
    double d = 0.0;
    EXPECT_FALSE(stops_plainly([&] { d = DMACH(9); }));
    EXPECT_TRUE(std::isnan(d));
    EXPECT_EQ(take(), (Records{"", " *** TERMINAL ERROR 5 from DMACH.  The argument must be between 1 and 8",
                               " ***          inclusive. N = 9"}));
    float a = 0.0f;
    EXPECT_FALSE(stops_plainly([&] { a = AMACH(0); }));
    EXPECT_TRUE(std::isnan(a));
    EXPECT_EQ(printed_code(), 5);
    ERSET(0, 2, 2);
    EXPECT_TRUE(stops_plainly([] { DMACH(-1); }));
}

TEST_F(LibrarySettings, ChapterOptionsReadAndWritten) {
    std::vector<int> values(10, -1);
    const int eigen[1] = {1};
    IUMAG("math", 2, 1, 1, eigen, values);
    EXPECT_EQ(values, (std::vector<int>{1, 16, 0, 1, 1, 16, 0, 1, -1, -1}));

    // Several options one after another, a negative number meaning the same option.
    const int both[2] = {17, -17};
    IUMAG("MATH", 1, 1, 2, both, values);
    EXPECT_EQ(values, (std::vector<int>{1, 2, 1, 2, 1, 16, 0, 1, -1, -1}));

    std::vector<int> changed{1, 16, 1, 16, 1, 16, 1, 16};
    IUMAG("MATH", 2, 2, 1, eigen, changed);
    IUMAG("MATH", 2, 1, 1, eigen, values);
    EXPECT_EQ(values[2], 1);
    EXPECT_EQ(values[7], 16);
    EXPECT_TRUE(host_.records.empty());

    std::vector<int> small(7);
    EXPECT_THROW(IUMAG("MATH", 2, 1, 1, eigen, small), std::length_error);
    EXPECT_THROW(IUMAG("MATH", 2, 1, 2, eigen, values), std::length_error);
}

TEST_F(LibrarySettings, ChapterOptionChecks) {
    ERSET(0, 1, 0);
    std::vector<int> values(8, -1);
    const int opts[2] = {17, 5};
    struct Case {
        std::string prodnm;
        int ichp, iact, numopt, code;
    } cases[] = {
        {"MATH", 1, 3, 1, 1}, {"MAT", 1, 1, 1, 2},   {"STATS", 1, 1, 1, 4}, {"MATH", 11, 1, 1, 3}, {"math", 0, 1, 1, 3},
        {"STAT", 21, 1, 1, 3}, {"STAT", 20, 1, 1, 4}, {"MATH", 3, 2, 1, 4},  {"MATH", 1, 1, 0, 5},
        {"MATH", 1, 1, 2, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.prodnm + std::to_string(c.ichp));
        IUMAG(c.prodnm, c.ichp, c.iact, c.numopt, opts, values);
        EXPECT_EQ(printed_code(), c.code);
    }
    EXPECT_EQ(values, std::vector<int>(8, -1));  // nothing was transferred
    IUMAG("MATH", 1, 1, 2, opts, values);
    const Records r = take();
    EXPECT_EQ(r[1], " *** TERMINAL ERROR 6 from IUMAG.  IOPTS(2) = 5 is an invalid MATH chapter 1");
    EXPECT_EQ(r[2], " ***          option number.");
    IUMAG("MAT", 1, 1, 1, opts, values);
    EXPECT_EQ(take()[2], " ***          STAT.  PRODNM = MAT is invalid.");
}

TEST_F(LibrarySettings, NumberPrintingOptions) {
    int iset = -1;
    WROPT(4, iset, 0);
    EXPECT_EQ(iset, 2);
    int three = 3;
    WROPT(-4, three, 0);  // current value only
    WROPT(4, iset, 0);
    EXPECT_EQ(iset, 3);
    WROPT(4, iset, 1);
    EXPECT_EQ(iset, 2);
    WROPT(0, iset, 0);  // back to the defaults
    WROPT(4, iset, 0);
    EXPECT_EQ(iset, 2);
    int one = 1;
    WROPT(-4, one, 1);  // becomes the default as well
    WROPT(0, iset, 0);
    WROPT(4, iset, 0);
    EXPECT_EQ(iset, 1);
    int big = 50000000;
    WROPT(-2, big, 0);  // no upper bound
    WROPT(2, iset, 0);
    EXPECT_EQ(iset, 50000000);
    WROPT(13, iset, 1);
    EXPECT_EQ(iset, 10);
    EXPECT_TRUE(host_.records.empty());

    ERSET(0, 1, 0);
    struct Case {
        int iopt, iset, iscope, code;
    } cases[] = {
        {17, 0, 0, 1}, {-4, 4, 0, 2}, {-3, -3, 0, 2}, {-13, 0, 0, 2}, {-4, 1, 2, 3}, {4, 0, -1, 2}, {INT_MIN, 0, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.iopt);
        int value = c.iset;
        WROPT(c.iopt, value, c.iscope);
        EXPECT_EQ(printed_code(), c.code);
    }
    WROPT(4, iset, 0);
    EXPECT_EQ(iset, 1);  // none of the refused calls changed it
}

TEST_F(LibrarySettings, StringToInteger) {
    ERSET(0, 1, 0);
    struct Case {
        std::string text;
        int num, code;
    } cases[] = {
        {" -42 ", -42, 0},       {"+7", 7, 0},          {"2147483647", INT_MAX, 0},
        {"4 2", 0, 2},           {"", 0, 1},            {"   ", 0, 4},
        {"99999999999", 0, 3},   {"-2147483648", 0, 3}, {"  -", 0, 2},
        {"  x1", 0, 2},          {"12a", 0, 2},         {"00000000000000000000012", 12, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("'" + c.text + "'");
        int num = -1;
        CVTSI(c.text, num);
        EXPECT_EQ(num, c.num);
        EXPECT_EQ(printed_code(), c.code);
    }
    int num = 0;
    CVTSI("4 2", num);
    EXPECT_EQ(take(), (Records{"", " *** TERMINAL ERROR 2 from CVTSI.  The string '4 2' contains a nonnumeric",
                               " ***          character at position 2"}));
    CVTSI("  -", num);
    EXPECT_EQ(take()[2], " ***          character at position 3");
    CVTSI("   ", num);
    EXPECT_EQ(take()[1], " *** TERMINAL ERROR 4 from CVTSI.  The input string ' ' cannot be converted");
    CVTSI("", num);
    EXPECT_EQ(take()[1], " *** TERMINAL ERROR 1 from CVTSI.  The length of the input string is 0");
}

TEST_F(LibrarySettings, CharacterFromCode) {
    EXPECT_EQ(ACHAR(65), 'A');
    EXPECT_EQ(ACHAR(0), '\0');
    EXPECT_EQ(ACHAR(256 + 66), 'B');
    EXPECT_TRUE(host_.records.empty());
    ERSET(0, 1, 0);
    EXPECT_EQ(ACHAR(-1), '\0');
    EXPECT_EQ(take(), (Records{"", " *** TERMINAL ERROR 1 from ACHAR.  The ASCII value must be non-negative while",
                               " ***          I = -1 is given."}));
}

TEST_F(LibrarySettings, IndexOfExtremes) {
    const std::vector<double> x{3, 7, 7, -1, 7, -1};
    EXPECT_EQ(IDXMAX(3, x, 1), 2);
    EXPECT_EQ(IDXMIN(6, x, 1), 4);
    EXPECT_EQ(IDXMAX(3, x, 2), 2);  // 3, 7, 7
    EXPECT_EQ(IDXMIN(2, x, 3), 2);
    EXPECT_EQ(IDXMAX(4, x, 0), 1);  // the same element four times
    EXPECT_EQ(IDXMAX(0, x, 1), 0);
    EXPECT_EQ(IDXMIN(-3, std::span<const double>{}, 1), 0);
    EXPECT_THROW(IDXMAX(7, x, 1), std::length_error);
    EXPECT_THROW(IDXMIN(3, x, 3), std::length_error);
    EXPECT_THROW(IDXMAX(2, x, -1), std::length_error);
    EXPECT_THROW(IDXMAX(INT_MAX, x, INT_MAX), std::length_error);
}

TEST_F(LibrarySettings, NotANumber) {
    EXPECT_TRUE(ISDNAN(std::nan("")));
    EXPECT_TRUE(ISDNAN(std::bit_cast<double>(std::uint64_t{0xFFF0000000000001})));
    EXPECT_FALSE(ISDNAN(std::numeric_limits<double>::infinity()));
    EXPECT_FALSE(ISDNAN(-0.0));
    EXPECT_FALSE(ISDNAN(DMACH(2)));
}

}  // namespace
}  // namespace orv::num2
