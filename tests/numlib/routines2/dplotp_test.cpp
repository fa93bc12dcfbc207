// Printer plot DPLOTP.
#include "numlib/routines2/dplotp.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>
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
using Lines = std::vector<std::string>;

Lines split_lines(const std::string& text) {
    Lines lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The plot goes to a report on unit 11 with the engine's page of 80 x 50;
// messages go to the window.
class PrinterPlot : public Num2Fixture {
protected:
    void SetUp() override {
        Num2Fixture::SetUp();
        open_report_unit("dplotp");
        use_engine_page();
    }
    std::string report() {
        rt::close_unit(11);
        return test::read_file(path_);
    }
    // One function of X with the engine's titles.
    std::string plot(const std::vector<double>& x, const std::vector<double>& y, std::vector<double> range,
                     std::string_view symbol = "X", std::string_view title = " Plot",
                     std::string_view xtitle = "Factor X") {
        DPLOTP(static_cast<int>(x.size()), 1, x, y, static_cast<int>(x.size()), 1, range, symbol, xtitle,
               "Factor Y", title);
        return report();
    }
};

// The engine's factor pattern plot.  Checked by hand: ticks -1.0 .. 1.0 by
// 0.5 across (15 columns each) and 1.0 .. -1.0 by 0.25 down (5 rows each),
// F10.2 labels, zero lines in column 31 and row 21, the title from report
// column 35 and the x title from column 41; every point where
// c = 1 + 15 (i - 1) + NINT(15 (x - tick i) / 0.5) and likewise for rows
// puts it (the corner point (1, -1) replaces the "+" of the frame).
TEST_F(PrinterPlot, EngineFactorPatternPlot) {
    const std::vector<double> f1{0.72, 0.65, 0.5, 0.81, -0.25, 0.0, 0.33, 0.1, -0.62, 0.45, 0.71, 1.0};
    const std::vector<double> f2{0.12, 0.25, 0.5, -0.05, 0.6, 0.0, -0.4, 0.77, 0.3, 0.55, 0.13, -1.0};
    const std::vector<double> range{-1.0, 1.0, -1.0, 1.0};
    DPLOTP(12, 1, f1, f2, 12, 1, range, "X", "Factor X", "Factor Y", " Factor Pattern Plot");
    test::expect_golden(report(), "factor_pattern.txt");
    EXPECT_TRUE(host_.records.empty());
    EXPECT_EQ(LSTERR(), 0);
}

// The engine's factor score plot.  Checked by hand and by recomputing every
// point's cell: x ticks -3.0 .. 3.0 by 1.5 with 12 columns each from column
// 5 (XMIN -3.5 lies 0.5 before the first tick), width 57; y ticks 3.2 ..
// -3.2 by 0.8 with 4 rows each; in IEEE arithmetic the top tick lies
// 0.2999999999999998 below YMAX, so it sits on row NINT(2.4999999999999991)
// = 2, and the accumulated zero tick (2.2e-16) is within the tolerance.
TEST_F(PrinterPlot, EngineFactorScorePlot) {
    std::vector<double> s1, s2;
    for (int k = 1; k <= 40; ++k) {
        s1.push_back(3.4 * std::sin(k * 0.77));
        s2.push_back(3.2 * std::cos(k * 1.31) * std::sin(k * 0.4));
    }
    const std::vector<double> range{-3.5, 3.5, -3.5, 3.5};
    DPLOTP(40, 1, s1, s2, 40, 1, range, ". ", "Factor X", "Factor Y", " Factor Score Plot");
    test::expect_golden(report(), "factor_score.txt");
    EXPECT_TRUE(host_.records.empty());
}

TEST_F(PrinterPlot, EqualXValuesAreScaledOneEitherSide) {
    const Lines lines = split_lines(plot({2.0, 2.0, 2.0}, {-0.5, 0.0, 0.5}, {0, 0, -1, 1}));
    // Ticks 1.0 .. 3.0 by 0.5: the points lie on the middle tick, column 31
    // (report column 45); x = 0 is off the plot, so there is no "I".
    EXPECT_EQ(lines[lines.size() - 4], "            1.00           1.50           2.00           2.50           3.00");
    int points = 0;
    for (const std::string& l : lines) {
        if (l.size() > 44 && l[44] == 'X') ++points;
        EXPECT_EQ(l.find('I'), std::string::npos) << l;
    }
    EXPECT_EQ(points, 3);
}

TEST_F(PrinterPlot, AutomaticRangeWidensToTheTicks) {
    // y from 0.3 to 4.2: Q 43.33 takes 50, ticks 0.5 .. 4.5 by 0.5 (F10.2).
    // x from 10 to 50: 80 and its half 40 fall short of 50, 100 reaches:
    // ticks 10 .. 50 by 10, written as integers; the first label "10" is
    // centred on column 1 and moves the indent one place left.
    const Lines lines = split_lines(plot({10, 20, 30, 40, 50}, {0.3, 1.0, 2.5, 4.2, 3.3}, {1, 0, 1, 0}));
    EXPECT_EQ(lines[4].substr(0, 15), "         4.50 +");
    EXPECT_EQ(lines[lines.size() - 4].substr(0, 17), "             10  ");
}

TEST_F(PrinterPlot, BlankTitlesWriteOnlyWhatTheyMust) {
    const Lines lines = split_lines(plot({-0.5, 0.5}, {0.5, -0.5}, {-1, 1, -1, 1}, "X", "   ", " "));
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "1");
    EXPECT_EQ(lines[1], " ");
    EXPECT_EQ(lines[2].substr(9), "1.00 +::::::::::::::+::::::::::::::+::::::::::::::+::::::::::::::+");
    EXPECT_EQ(lines.back(), "            -1.00          -0.50          0.00           0.50           1.00");
    EXPECT_EQ(lines.size(), 2u + 41u + 1u);
}

TEST_F(PrinterPlot, PointsOffThePlotAreDropped) {
    const Lines lines = split_lines(plot({1.5, -2.0, 0.5, 0.5, 0.25}, {0.0, 0.0, 1.6, -3.0, 0.25}, {-1, 1, -1, 1}));
    std::size_t count = 0;
    for (const std::string& l : lines) count += static_cast<std::size_t>(std::count(l.begin(), l.end(), 'X'));
    // Only (0.25, 0.25) lies on the plot; the "X" of the x title counts too.
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(lines[4 + 15].substr(14 + 38, 1), "X");
}

TEST_F(PrinterPlot, SharedCellsAndSymbols) {
    // Point 1: both functions in one cell -> "M".  Points 2 and 3 share a
    // cell: function 2 of point 2 writes "B", function 1 of point 3 then
    // takes the cell.  Point 4: function 2 has no symbol and blanks its
    // cell of the zero line.
    const std::vector<double> x{0.5, -0.5, -0.5, -0.75};
    const std::vector<double> a{0.5, 0.25, -0.25, 0.9,   // function 1
                                0.5, -0.25, 0.75, 0.0};  // function 2
    const std::vector<double> range{-1, 1, -1, 1};
    DPLOTP(4, 2, x, a, 4, 1, range, "AB", "", "", "");
    const Lines ab = split_lines(report());
    auto cell = [](const Lines& lines, int row, int column) { return lines[1 + row][14 + column - 1]; };
    EXPECT_EQ(cell(ab, 11, 46), 'M');
    EXPECT_EQ(cell(ab, 26, 16), 'A');
    EXPECT_EQ(cell(ab, 6, 16), 'B');
    EXPECT_EQ(cell(ab, 21, 9), 'B');  // NINT(7.5) = 8 columns past -1

    rt::open_unit_or_fail(11, path_);
    DPLOTP(4, 2, x, a, 4, 1, range, "A", "", "", "");
    const Lines a_only = split_lines(report());
    EXPECT_EQ(cell(a_only, 11, 46), 'M');  // a blank differs from "A"
    EXPECT_EQ(cell(a_only, 21, 9), ' ');
    EXPECT_EQ(cell(a_only, 21, 8), '-');
}

TEST_F(PrinterPlot, StridedPointsAndTwelveFunctions) {
    // Twelve functions of two points taken with INC 2 from five rows: only
    // functions 1..10 are drawn, and the warning appears when DPLOTP returns.
    const std::vector<double> x{-0.5, 99.0, 0.5, 99.0, 0.0};
    std::vector<double> a(5 * 12, 99.0);
    for (int j = 0; j < 12; ++j) {
        a[static_cast<std::size_t>(j * 5)] = -1.0 + 0.1 * j;
        a[static_cast<std::size_t>(j * 5 + 2)] = 0.75;
    }
    const std::vector<double> range{-1, 1, -1, 1};
    DPLOTP(4, 12, x, a, 5, 2, range, "ABCDEFGHJKLN", "", "", "");
    const std::string text = report();
    EXPECT_NE(text.find('K'), std::string::npos);
    EXPECT_EQ(text.find('L'), std::string::npos);
    EXPECT_EQ(text.find('N'), std::string::npos);
    EXPECT_EQ(message_texts(host_.records),
              (std::vector<std::string>{squeeze("WARNING 7 DPLOTP",
                                                "NFUN = 12.  Number of functions to be plotted (NFUN) must be "
                                                "greater than zero and less than eleven.  Only the first ten "
                                                "functions are plotted.")}));
    EXPECT_EQ(LSTERR(), 7);
}

TEST_F(PrinterPlot, ArraysTooShortAreRefused) {
    const std::vector<double> x{0.1, 0.2, 0.3}, range{-1, 1, -1, 1};
    EXPECT_THROW(DPLOTP(4, 1, x, x, 4, 1, range, "X", "", "", ""), std::length_error);
    EXPECT_THROW(DPLOTP(3, 2, x, x, 3, 1, range, "XY", "", "", ""), std::length_error);
    EXPECT_THROW(DPLOTP(3, 1, x, x, 3, 1, std::vector<double>{-1, 1}, "X", "", "", ""), std::length_error);
    EXPECT_NO_THROW(DPLOTP(2, 2, x, x, 1, 1, range, "XY", "", "", ""));  // A(2, 2) is the third value
}

TEST_F(PrinterPlot, MessagesOfEveryCheck) {
    ERSET(0, 1, 0);
    const std::vector<double> v{0.1, 0.2}, range{-1, 1, -1, 1};
    int narrow = 39, tall = 121;
    PGOPT(-1, narrow);
    PGOPT(-2, tall);
    DPLOTP(0, 0, v, v, 0, 0, range, "X", "", "", "");
    EXPECT_EQ(N1RCD(1), 6);
    reset_options();
    use_engine_page();
    const std::string long_title(62, 'T');
    DPLOTP(2, 1, v, v, 2, 1, range, "X", "", "", long_title);
    DPLOTP(2, 1, v, v, 2, 1, range, "X", "", std::string(42, 'Y'), "");
    DPLOTP(2, 1, v, v, 2, 1, range, "X", std::string(70, 'x') + "   ", "", "");
    EXPECT_EQ(message_texts(host_.records),
              (std::vector<std::string>{
                  squeeze("TERMINAL 1 DPLOTP",
                          "Page width = 39.  Page width must be between 40 and 132.  Call routine PGOPT to set "
                          "the page width."),
                  squeeze("TERMINAL 2 DPLOTP",
                          "Page length = 121.  Page length must be between 20 and 120.  Call routine PGOPT to "
                          "set the page length."),
                  squeeze("TERMINAL 3 DPLOTP",
                          "NDATA = 0.  Length of the X vector (NDATA) must be greater than zero."),
                  squeeze("TERMINAL 4 DPLOTP",
                          "NFUN = 0.  Number of functions to be plotted (NFUN) must be greater than zero and "
                          "less than eleven."),
                  squeeze("TERMINAL 5 DPLOTP",
                          "LDA = 0.  Row dimension (LDA) of matrix of dependent variable values (A) must be "
                          "greater than zero."),
                  squeeze("TERMINAL 6 DPLOTP",
                          "INC = 0.  Displacement between elements of the X vector (INC) must be greater than "
                          "zero."),
                  squeeze("WARNING 8 DPLOTP",
                          "Length of TITLE = 62.  The width of the plot is 61.  Title is too long and some "
                          "characters have been truncated."),
                  squeeze("WARNING 9 DPLOTP",
                          "Length of YTITLE = 42.  The length of the plot is 41.   Y title is too long and "
                          "some characters have been truncated."),
                  squeeze("WARNING 10 DPLOTP",
                          "Length of XTITLE = 70.  The width of the plot is 61.  X title is too long and some "
                          "characters have been truncated."),
              }));
    std::string all;
    for (const std::string& r : host_.records) all += r + "\n";
    test::expect_golden(all, "dplotp_messages.txt");

    // Nothing was plotted by the failing call; the titles were cut.
    const Lines lines = split_lines(report());
    EXPECT_EQ(lines[0], "1");
    EXPECT_EQ(lines[1], "              " + long_title.substr(0, 61));
    EXPECT_EQ(lines.back(), "              " + std::string(61, 'x'));
}

TEST_F(PrinterPlot, DefaultAttributesStopTheRunOnABadPage) {
    int narrow = 30;
    PGOPT(-1, narrow);
    const std::vector<double> v{0.1}, range{-1, 1, -1, 1};
    EXPECT_THROW(DPLOTP(1, 1, v, v, 1, 1, range, "X", "", "", ""), rt::Stop);
    EXPECT_EQ(report(), "");
}

}  // namespace
}  // namespace orv::num2
