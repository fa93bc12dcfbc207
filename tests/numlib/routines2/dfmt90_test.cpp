// Edit descriptors for scale values and matrix entries (DF1T90, DFMT90,
// DFMTX), the value writer FMTVAL and their small helpers.
#include "numlib/routines2/dfmt90.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
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

const double kNaN = std::nan("");
const double kInf = std::numeric_limits<double>::infinity();

class Formats : public Num2Fixture {};

// 40 characters: TEXT and blanks after it.
std::string field(const std::string& text) { return text + std::string(40 - text.size(), ' '); }

struct MagnitudeCase {
    double value;
    int nwidth, nsig;
    const char* expected;
};

TEST_F(Formats, DescriptorForOneMagnitude) {
    const std::vector<MagnitudeCase> cases{
        {1.0, 10, 3, "(0PF10. 2)"},       {0.5, 10, 3, "(0PF10. 3)"},
        {0.05, 10, 3, "(0PF10. 4)"},      {12345678.0, 10, 3, "(1PD10. 2)"},
        {123456.7, 6, 3, "(0PF 6. 0)"},   // no exponent form in 6 columns
        {0.0, 10, 3, "(0PF10. 3)"},       {0.0005, 10, 3, "(1PD10. 2)"},
        {0.1, 10, 3, "(0PF10. 3)"},       // a whole power of ten
        {0.09996, 10, 3, "(0PF10. 3)"},   // rounds up into the next decade
        {0.0996, 10, 3, "(0PF10. 4)"},    {9.996, 10, 3, "(0PF10. 1)"},
        {-9.994, 10, 3, "(0PF10. 2)"},    {5.0, 10, 1, "(0PF10. 1)"},  // one decimal where there is room
        {123.0, 5, 3, "(0PF 5. 0)"},      {1.0e7, 7, 5, "(1PD 7. 0)"},
        {123456.0, 7, 5, "(1PD 7. 0)"},   // too wide for F: exponent form
        {1.0, 40, 30, "(0PF40.14)"},      // at most 15 significant digits
        {kNaN, 10, 3, "(1PD10. 2)"},      {kNaN, 6, 3, "(0PF 6. 0)"},
        {kInf, 10, 3, "(1PD10. 2)"},      {kInf, 6, 3, "(0PF 6. 0)"},
    };
    for (const MagnitudeCase& c : cases)
        EXPECT_EQ(DFMTX(c.value, c.nwidth, c.nsig), c.expected) << c.value << " in " << c.nwidth;
    EXPECT_TRUE(host_.records.empty());
}

TEST_F(Formats, DescriptorForAxisValues) {
    const std::vector<double> loadings{1.0, 0.75, 0.5, 0.25, 0.0, -0.25, -0.5, -0.75, -1.0};
    EXPECT_EQ(DF1T90(9, loadings, 10), "(0PF10. 2)");
    const std::vector<double> whole{0, 5, 10, 15};
    EXPECT_EQ(DF1T90(4, whole, 10), "(I10)     ");
    const std::vector<double> scores{-3.0, -1.5, 0.0, 1.5, 3.0};
    EXPECT_EQ(DF1T90(5, scores, 10), "(0PF10. 2)");
    const std::vector<double> close{1000.5, 1000.6, 1000.7};  // spread 2e-4: 6 digits
    EXPECT_EQ(DF1T90(3, close, 10), "(0PF10. 2)");
    const std::vector<double> closer{100.005, 100.006};  // spread 1e-5: 8 digits
    EXPECT_EQ(DF1T90(2, closer, 12), "(0PF12. 5)");
    const std::vector<double> same{2.5, 2.5};  // no spread: the minimum of 3 digits
    EXPECT_EQ(DF1T90(2, same, 10), "(0PF10. 2)");
    EXPECT_EQ(DF1T90(2, std::vector<double>{kNaN, kNaN}, 10), "(1PD10. 2)");
    EXPECT_EQ(DF1T90(0, {}, 10), "(1PD10. 2)");
    EXPECT_TRUE(host_.records.empty());
    EXPECT_THROW(DF1T90(3, std::vector<double>{1, 2}, 10), std::length_error);
}

TEST_F(Formats, DescriptorForMatrixEntries) {
    const std::vector<double> col{1.5, 2.25, 3.0};
    EXPECT_EQ(DFMT90(3, 1, col, 3, 0, 10, -5), "(0PF10. 4)");
    EXPECT_EQ(DFMT90(3, 1, col, 3, 0, 10, 5), "(0PF10. 2)");  // 2.25 needs two decimals
    EXPECT_EQ(DFMT90(3, 1, std::vector<double>{1, 2, 3}, 3, 0, 10, 5), "(I10)     ");
    EXPECT_EQ(DFMT90(2, 1, std::vector<double>{kNaN, kNaN}, 2, 0, 10, 5), "(1PD10. 3)");
    // 2 x 2 in a leading dimension of 3: only the rows of each triangle count.
    const std::vector<double> a{1.0, 250.5, -7.0, 0.5, 3.0, -7.0};
    EXPECT_EQ(DFMT90(2, 2, a, 3, 0, 10, -3), "(0PF10. 1)");
    EXPECT_EQ(DFMT90(2, 2, a, 3, 1, 10, -3), "(0PF10. 2)");
    EXPECT_EQ(DFMT90(2, 2, a, 3, 2, 10, -3), "(0PF10. 3)");  // only 0.5
    EXPECT_EQ(DFMT90(2, 2, a, 3, -1, 10, -3), "(0PF10. 1)");
    EXPECT_TRUE(host_.records.empty());
    EXPECT_THROW(DFMT90(3, 3, a, 3, 0, 10, 3), std::length_error);
}

struct ValueCase {
    double value;
    const char* fmt;
    std::string expected;
};

TEST_F(Formats, WritesOneValue) {
    const std::vector<ValueCase> cases{
        {0.75, "(0PF10. 2)", field("      0.75")},
        {-1.0, "(0PF10. 2)", field("     -1.00")},
        {kInf, "(0PF10. 2)", field("       Inf")},
        {-kInf, "(0PF10. 2)", field("      -Inf")},
        {-kInf, "(0PF 3. 0)", field("Inf")},
        {kNaN, "(0PF10. 2)", field("       NaN")},
        {kNaN, "(1PD 7. 0)", field("    NaN")},
        {15.0, "(I10)     ", field("        15")},
        {-2.7, "(I10)     ", field("        -2")},
        {3.0e9, "(I10)     ", std::string(40, '*')},
        {12345678.0, "(1PD10. 2)", field("  1.23D+07")},
        {1234.7, "(0PF 6. 0)", field(" 1235.")},
        {123456.7, "(0PF 6. 0)", field("******")},
    };
    for (const ValueCase& c : cases) EXPECT_EQ(FMTVAL(c.value, c.fmt), c.expected) << c.value << " " << c.fmt;

    // Option 4 of the number-printing options decides the special values.
    int option = 0;
    WROPT(-4, option, 0);
    EXPECT_EQ(FMTVAL(kNaN, "(0PF10. 2)"), std::string(40, '.'));
    EXPECT_EQ(FMTVAL(kInf, "(0PF10. 2)"), std::string(40, '+'));
    EXPECT_EQ(FMTVAL(-kInf, "(0PF10. 2)"), std::string(40, '-'));
    option = 3;
    WROPT(-4, option, 0);
    EXPECT_EQ(FMTVAL(kNaN, "(0PF10. 2)"), std::string(40, ' '));
    EXPECT_EQ(FMTVAL(kInf, "(0PF10. 2)"), field("       Inf"));
    EXPECT_TRUE(host_.records.empty());
}

TEST_F(Formats, Helpers) {
    int w = -1;
    FMTWID("(0PF10. 2)", 1, "", "", w);
    EXPECT_EQ(w, 10);
    FMTWID("(1PD 7. 0)", 1, "", "", w);
    EXPECT_EQ(w, 7);
    FMTWID("(I10)     ", 1, "", "", w);
    EXPECT_EQ(w, 10);
    FMTWID("(0PF10. 2)", 0, ".", ")", w);
    EXPECT_EQ(w, 2);
    FMTWID("(A)", 1, "", "", w);
    EXPECT_EQ(w, 0);

    struct Rows {
        int itring, irow1, nra, j, first, nrows;
    };
    for (const Rows& r : std::vector<Rows>{{0, 1, 5, 3, 1, 5},
                                           {0, 3, 5, 1, 3, 3},
                                           {0, 7, 5, 1, 7, 0},
                                           {1, 1, 5, 3, 1, 3},
                                           {1, 1, 2, 5, 1, 2},
                                           {2, 1, 5, 3, 1, 2},
                                           {2, 1, 5, 1, 1, 0},
                                           {-1, 1, 5, 3, 3, 3},
                                           {-2, 1, 5, 3, 4, 2}}) {
        int first = -1, nrows = -1;
        ROWRNG(r.itring, r.irow1, r.nra, r.j, first, nrows);
        EXPECT_EQ(first, r.first) << r.itring << " column " << r.j;
        EXPECT_EQ(nrows, r.nrows) << r.itring << " column " << r.j;
    }

    struct Fit {
        std::vector<double> x;
        int nwidth, expected;
    };
    for (const Fit& f : std::vector<Fit>{{{1, 2, 3}, 3, 1},
                                         {{1.5}, 3, 0},
                                         {{kNaN, 4}, 3, 1},
                                         {{-99}, 3, 1},
                                         {{-100}, 3, 0},
                                         {{999}, 3, 1},
                                         {{1000}, 3, 0},
                                         {{3.0e9}, 12, 0},
                                         {{kInf}, 12, 0}}) {
        int flag = -1;
        INTFIT(static_cast<int>(f.x.size()), f.x, f.nwidth, flag);
        EXPECT_EQ(flag, f.expected) << f.x[0];
    }

    int imax = -1;
    DI1MAX(4, std::vector<double>{1, -5, 5, kNaN}, 1, imax);
    EXPECT_EQ(imax, 2);
    DI1MAX(3, std::vector<double>{1, -5, 3, 0, -3}, 2, imax);
    EXPECT_EQ(imax, 2);
    DI1MAX(2, std::vector<double>{kNaN, kNaN}, 1, imax);
    EXPECT_EQ(imax, 0);
    DI1MAX(0, {}, 1, imax);
    EXPECT_EQ(imax, 0);
    EXPECT_THROW(DI1MAX(3, std::vector<double>{1, 2, 3, 4}, 2, imax), std::length_error);
    EXPECT_TRUE(host_.records.empty());
}

TEST_F(Formats, BadArgumentsRaiseTheCheckersMessages) {
    ERSET(0, 1, 0);
    const std::vector<double> x{1, 2, 3, 4};
    EXPECT_EQ(DF1T90(-1, x, 10), std::string(10, ' '));
    EXPECT_EQ(DF1T90(3, x, 2), std::string(10, ' '));
    EXPECT_EQ(DFMT90(3, 2, std::vector<double>(6), 2, 0, 10, 3), std::string(10, ' '));
    EXPECT_EQ(DFMT90(2, -1, x, 0, 0, 41, 14), std::string(10, ' '));
    EXPECT_EQ(DFMTX(1.0, 10, 0), std::string(10, ' '));
    EXPECT_EQ(DFMTX(1.0, 10, 9), std::string(10, ' '));
    int imax = -7;
    DI1MAX(-1, x, 0, imax);
    EXPECT_EQ(imax, -7);
    // Ticks too close together for ten columns: DFMTX, three levels down,
    // refuses nine significant digits.
    const std::vector<double> tight{1000000.0, 1000000.2, 1000000.4};
    EXPECT_EQ(DF1T90(3, tight, 10), std::string(10, ' '));
    EXPECT_EQ(message_texts(host_.records),
              (std::vector<std::string>{
                  squeeze("TERMINAL 1 DF1T90", "N = -1.  N must be greater than or equal to 0."),
                  squeeze("TERMINAL 2 DF1T90",
                          "NWIDTH = 2.  NWIDTH must be greater than or equal to 3 and less than or equal to 40."),
                  squeeze("TERMINAL 3 DFMT90", "NRA = 3 and LDA = 2.  NRA must be less than or equal to LDA."),
                  squeeze("TERMINAL 2 DFMT90", "LDA = 0.  LDA must be greater than or equal to 1."),
                  squeeze("TERMINAL 4 DFMT90", "NCA = -1.  NCA must be greater than or equal to 0."),
                  squeeze("TERMINAL 5 DFMT90",
                          "NWIDTH = 41.  NWIDTH must be greater than or equal to 3 and less than or equal to 40."),
                  squeeze("TERMINAL 2 DFMTX", "NSIG = 0.  NSIG must be greater than or equal to 1."),
                  squeeze("TERMINAL 3 DFMTX", "NSIG = 9 and NWIDTH-2 = 8.  NSIG must be less than or equal to NWIDTH-2."),
                  squeeze("TERMINAL 1 DI1MAX", "N = -1.  N must be greater than or equal to 0."),
                  squeeze("TERMINAL 2 DI1MAX", "INCX = 0.  INCX must be greater than or equal to 1."),
                  squeeze("TERMINAL 3 DFMTX", "NSIG = 9 and NWIDTH-2 = 8.  NSIG must be less than or equal to NWIDTH-2."),
              }));
    std::string all;
    for (const std::string& r : host_.records) all += r + "\n";
    test::expect_golden(all, "axis_messages.txt");
    host_.records.clear();
    EXPECT_EQ(DFMT90(2, 1, x, 2, 0, 10, 13), std::string(10, ' '));
    EXPECT_EQ(message_texts(host_.records),
              (std::vector<std::string>{squeeze(
                  "TERMINAL 6 DFMT90", "NSIG-2 = 11 and NWIDTH = 10.  NSIG-2 must be less than or equal to NWIDTH.")}));
}

}  // namespace
}  // namespace orv::num2
