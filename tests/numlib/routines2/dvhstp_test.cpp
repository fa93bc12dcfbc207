// Vertical histogram DVHSTP, with the engine's residual classes from DOWFRQ.
#include "numlib/routines2/dvhstp.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "message_texts.h"
#include "numlib/routines2/dowfrq.h"
#include "numlib/routines2/erset.h"
#include "numlib/routines2/umach.h"
#include "runtime/formatted_io.h"
#include "runtime/io_error.h"
#include "runtime/units.h"
#include "num2_fixture.h"

namespace orv::num2 {
namespace {

using test::message_texts;
using test::squeeze;
using Vec = std::vector<double>;

// The histogram goes to a report on unit 11; messages go to the window.
class Histogram : public Num2Fixture {
protected:
    void SetUp() override {
        Num2Fixture::SetUp();
        open_report_unit("dvhstp");
        use_engine_page();
    }
    std::string report() {
        rt::close_unit(11);
        const std::string text = test::read_file(path_);
        std::remove(path_.c_str());
        rt::open_unit_or_fail(11, path_);
        return text;
    }
    std::string histogram(const Vec& frq, int isp, std::string_view title = "") {
        DVHSTP(static_cast<int>(frq.size()), frq, isp, title);
        return report();
    }
};

// Residual-like values: sums of four equidistributed sequences, centred and
// scaled, plus values on and beyond the outer bounds.  The same values are
// recomputed by scripts/reference/check_residual_histogram.py, which counts
// them and lays out the histogram independently and checks both golden texts.
Vec residuals() {
    Vec v;
    for (int k = 1; k <= 296; ++k) {
        const double z = std::fmod(k * 0.6180339887498949, 1.0) + std::fmod(k * 0.4142135623730951, 1.0) +
                         std::fmod(k * 0.7320508075688772, 1.0) + std::fmod(k * 0.14159265358979312, 1.0) - 1.9;
        v.push_back(0.12 * z);
    }
    for (double extra : {static_cast<double>(-0.975f), 1.2, -1.3, 0.99, 0.01}) v.push_back(extra);
    return v;
}

// The engine's residual histogram: 41 classes from DOWFRQ, 301 values, the
// largest count 75 (class 21) and the smallest 0, so the step is 2 and the
// top level is raised by 75 mod 2 to 76 (an empty row).  Bars stand in
// report columns 12, 14, .., 92, the closing "*" in column 96, the class
// numbers 5 .. 40 end in the columns of bars 5 .. 40.
TEST_F(Histogram, EngineResidualHistogram) {
    const Vec x = residuals();
    Vec div(41), table(41);
    DOWFRQ(static_cast<int>(x.size()), x, 41, 1, static_cast<double>(-0.975f), static_cast<double>(0.975f), 0.0,
           div, table);
    static const rt::Format row = rt::parse_format("(1X,I3,F10.4,F8.0)");
    std::string classes;
    for (int i = 0; i < 41; ++i) classes += rt::format_records(row, i + 1, div[i], table[i]) + "\n";
    test::expect_golden(classes, "residual_classes.txt");

    DVHSTP(41, table, 1, "Distribution of Residuals:  R - R^hat");
    test::expect_golden(report(), "residual_histogram.txt");
    EXPECT_TRUE(host_.records.empty());
}

TEST_F(Histogram, SmallCountsAndTheEndOfTheBody) {
    // Levels 3, 2, 1; the level 0 row is never written.
    EXPECT_EQ(histogram({0, 1, 2, 3}, 0, "T"),
              "1\n"
              "           T\n"
              "  Frequency---------\n"
              "     3  *    I   *\n"
              "     2  *   II   *\n"
              "     1  *  III   *\n"
              "  ------------------\n"
              "  Class    2 4\n");
    // The body ends at the level of the smallest count: every lower row
    // would be full.  No title writes no title record.
    EXPECT_EQ(histogram({5, 3, 4}, 4),
              "1\n"
              "  Frequency--------------------\n"
              "     5  *     I             *\n"
              "     4  *     I         I   *\n"
              "     3  *     I    I    I   *\n"
              "  -----------------------------\n"
              "  Class       1    2    3\n");
    EXPECT_TRUE(host_.records.empty());
}

TEST_F(Histogram, StepAndCeilingForLargeCounts) {
    // Spread 53 > 50: step AINT(0.02 * 53 + 0.98001) = 2; 53 is odd, so the
    // top level becomes 53 + 1 = 54 and holds no bar.
    const std::string text = histogram({53, 0, 20}, 1);
    std::istringstream in(text);
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    ASSERT_EQ(lines.size(), 2u + 27u + 2u);
    EXPECT_EQ(lines[2], "    54  *          *");
    EXPECT_EQ(lines[3], "    52  *  I       *");
    EXPECT_EQ(lines[19], "    20  *  I   I   *");
    EXPECT_EQ(lines[28], "     2  *  I   I   *");
    EXPECT_EQ(lines[30], "  Class    1 2 3");
}

TEST_F(Histogram, ClassLines) {
    auto class_line = [&](const Vec& frq, int isp) {
        const std::string text = histogram(frq, isp);
        const std::size_t end = text.rfind('\n', text.size() - 2);
        return text.substr(end + 1, text.size() - end - 2);
    };
    EXPECT_EQ(class_line({1}, 0), "  Class   1");
    EXPECT_EQ(class_line(Vec(9, 1.0), 0), "  Class    2 4 6 8");
    EXPECT_EQ(class_line(Vec(12, 1.0), 0), "  Class       5   10");
    EXPECT_EQ(class_line(Vec(7, 1.0), 1), "  Class    1 2 3 4 5 6 7");
    EXPECT_EQ(class_line(Vec(3, 1.0), 4), "  Class       1    2    3");
    // 60 bars of width 2 do not fit: 50 bars in 100 columns.
    EXPECT_EQ(class_line(Vec(60, 1.0), 1),
              "  Class            5        10        15        20        25        30        35        40        "
              "45        50");
    EXPECT_EQ(message_texts(host_.records),
              (std::vector<std::string>{squeeze(
                  "WARNING 3 DVHSTP",
                  "The spacing between the bars plus one (ISP+1=2) times the number of bars (NBAR=60) is less than "
                  "1 or greater than 100.  The width of the histogram is set to 100 and 50 bars will be printed.")}));
    const std::string wide = histogram(Vec(60, 1.0), 1);
    std::string full(106, ' ');
    full.front() = full.back() = '*';
    for (int b = 0; b < 50; ++b) full[static_cast<std::size_t>(3 + 2 * b)] = 'I';
    EXPECT_NE(wide.find("\n     1  " + full + "\n"), std::string::npos);
    EXPECT_NE(wide.find("  " + std::string(114, '-') + "\n"), std::string::npos);
}

TEST_F(Histogram, MessagesOfEveryCheck) {
    ERSET(0, 1, 0);
    EXPECT_EQ(histogram({2, 1}, 2), "1\n  Frequency-------\n     2  * I    *\n     1  * II   *\n"
                                    "  ----------------\n  Class    2\n");
    DVHSTP(0, Vec{1}, 1, "");
    DVHSTP(4, Vec{1, -2, 3, -0.5}, 1, "");
    DVHSTP(2, Vec{0.5, 0}, 1, "");
    EXPECT_EQ(report(), "");
    const std::string cut = histogram({1}, 0, "A title of twenty ch");
    EXPECT_EQ(cut.substr(0, 20), "1\n  A title of twen\n");  // cut to the 15 columns
    EXPECT_EQ(message_texts(host_.records),
              (std::vector<std::string>{
                  squeeze("WARNING 1 DVHSTP",
                          "The spacing between the histogram bars must be 0, 1, or 4.  ISP = 2.  A value of zero "
                          "is being substituted."),
                  squeeze("TERMINAL 2 DVHSTP", "The number of bars to be printed must be positive.  NBAR = 0."),
                  squeeze("TERMINAL 4 DVHSTP",
                          "The vector FRQ contains 2 negative number(s).  All elements of this vector must be "
                          "nonnegative. FRQ(2) = -2.000000000000000D+00 is the FIRST negative element."),
                  squeeze("WARNING 5 DVHSTP",
                          "The maximum value in the vector of frequencies (FRQ) is less than 1.0.  MAX(FRQ) = "
                          "5.000000000000000D-01.  The body of the histogram will be blank."),
                  squeeze("WARNING 6 DVHSTP",
                          "Length of TITLE = 20.  The width of the histogram = 15.  Title is too long and some "
                          "characters have been truncated."),
              }));
    std::string all;
    for (const std::string& r : host_.records) all += r + "\n";
    test::expect_golden(all, "dvhstp_messages.txt");
}

TEST_F(Histogram, StopsUnderTheDefaultAttributesAndRefusesShortArrays) {
    EXPECT_THROW(DVHSTP(1, Vec{-1}, 0, ""), rt::Stop);
    reset_error_machinery();
    EXPECT_THROW(DVHSTP(3, Vec{1, 2}, 0, ""), std::length_error);
    EXPECT_EQ(report(), "");
}

}  // namespace
}  // namespace orv::num2
