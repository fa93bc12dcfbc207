#include "runtime/edit_output.h"

#include <gtest/gtest.h>

#include "golden.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/io_error.h"

namespace orv::rt {
namespace {

DataEdit make(char kind, int w, int d = -1, int e = -1, int k = 0, SignMode sign = SignMode::Processor,
              char variant = 0) {
    DataEdit edit;
    edit.kind = kind;
    edit.variant = variant;
    edit.width = w;
    edit.digits = d;
    edit.exp_digits = e;
    edit.modes.scale = k;
    edit.modes.sign = sign;
    return edit;
}

std::string real(const DataEdit& edit, double v) {
    std::string out;
    edit_real_output(edit, v, out);
    return out;
}

// The golden cases write a value as a default integer when it fits in 32
// bits and as integer(8) otherwise; B, O and Z show that size's pattern.
int item_bits(std::int64_t v) { return v >= INT32_MIN && v <= INT32_MAX ? 32 : 64; }

std::string integer(const DataEdit& edit, std::int64_t v, int bits = 0) {
    std::string out;
    edit_integer_output(edit, v, out, bits ? bits : item_bits(v));
    return out;
}

constexpr double kInf = std::numeric_limits<double>::infinity();

struct RealCase {
    const char* what;
    DataEdit edit;
    double value;
    const char* expected;
};

// The rules a reader most needs to see; the golden table covers the rest.
TEST(EditOutput, RealRules) {
    const RealCase cases[] = {
        {"F leading zero when there is room", make('F', 4, 2), 0.5, "0.50"},
        {"F leading zero dropped when there is not", make('F', 3, 2), 0.5, ".50"},
        {"F no room at all", make('F', 2, 2), 0.5, "**"},
        {"F0.d has no optional zero", make('F', 0, 2), -0.5, "-.50"},
        {"F0.0 keeps the zero", make('F', 0, 0), 0.2, "0."},
        {"ties to even on the exact binary value", make('F', 4, 2), 0.125, "0.12"},
        {"2.5 to no places is 2.", make('F', 3, 0), 2.5, " 2."},
        {"3.5 to no places is 4.", make('F', 3, 0), 3.5, " 4."},
        {"0.1 is not exactly 0.1", make('F', 22, 20), 0.1, "0.10000000000000000555"},
        {"negative rounding to zero keeps its minus", make('F', 6, 3), -0.0001, "-0.000"},
        {"negative zero", make('F', 6, 3), -0.0, "-0.000"},
        {"SP", make('F', 6, 2, -1, 0, SignMode::Plus), 1.5, " +1.50"},
        {"SS", make('F', 6, 2, -1, 0, SignMode::Suppress), 1.5, "  1.50"},
        {"scale factor multiplies F", make('F', 8, 2, -1, 2), 1.5, "  150.00"},
        {"E", make('E', 12, 3), 1.5, "   0.150E+01"},
        {"E without room for the zero", make('E', 8, 3), 1.5, ".150E+01"},
        {"E three-digit exponent drops the letter", make('E', 12, 3), 1.5e200, "   0.150+201"},
        {"E with e too small", make('E', 12, 3, 2), 1.5e-200, "************"},
        {"E with e", make('E', 13, 3, 3), 1.5e-200, "   0.150E-199"},
        {"E0.d minimal exponent", make('E', 0, 3), 1.5e10, "0.150E+11"},
        {"E0.d writes no zero exponent", make('E', 0, 3), 0.3, "0.300"},
        {"kP with k <= 0", make('E', 12, 3, -1, -2), 1.5, "   0.002E+03"},
        {"kP with k > 0", make('E', 12, 3, -1, 2), 1.5, "   15.00E-01"},
        {"D", make('D', 12, 3), 1.5e20, "   0.150D+21"},
        {"ES", make('E', 12, 3, -1, 0, SignMode::Processor, 'S'), 0.09996, "   9.996E-02"},
        {"EN", make('E', 12, 3, -1, 0, SignMode::Processor, 'N'), 12345.0, "  12.345E+03"},
        {"EN carries to the next exponent", make('E', 12, 3, -1, 0, SignMode::Processor, 'N'), 999.9999,
         "   1.000E+03"},
        {"EN keeps 999.960", make('E', 12, 3, -1, 0, SignMode::Processor, 'N'), 999.96, " 999.960E+00"},
        {"G as F with four blanks", make('G', 12, 3), 1.5, "    1.50    "},
        {"G as E", make('G', 12, 3), 1.5e10, "   0.150E+11"},
        {"G chooses by the rounded value", make('G', 12, 3), 999.5, "   0.100E+04"},
        {"G below the rounding boundary", make('G', 12, 3), 998.5, "    998.    "},
        {"G with e: e+2 blanks", make('G', 12, 3, 3), 1.5, "   1.50     "},
        {"G of zero", make('G', 12, 3), 0.0, "    0.00    "},
        {"G0", make('G', 0), 1.5, "1.5000000000000000"},
        {"G0.d", make('G', 0, 3), 0.1, "0.100"},
        {"NaN", make('F', 10, 3), std::nan(""), "       NaN"},
        {"NaN too narrow", make('F', 2, 1), std::nan(""), "**"},
        {"Infinity", make('E', 10, 3), kInf, "  Infinity"},
        {"-Infinity needs nine", make('F', 8, 3), -kInf, "    -Inf"},
        {"+Inf under SP", make('F', 8, 3, -1, 0, SignMode::Plus), kInf, "    +Inf"},
        {"SP drops its plus in three", make('E', 3, 1, -1, 0, SignMode::Plus), kInf, "Inf"},
        {"-Inf too narrow", make('F', 3, 1), -kInf, "***"},
        {"Inf in a zero width", make('F', 0, 3), kInf, "Inf"},
    };
    for (const auto& c : cases) EXPECT_EQ(real(c.edit, c.value), c.expected) << c.what;
}

TEST(EditOutput, IntegerLogicalTextRules) {
    EXPECT_EQ(integer(make('I', 5), -42), "  -42");
    EXPECT_EQ(integer(make('I', 6, 4), -42), " -0042");
    EXPECT_EQ(integer(make('I', 2), -42), "**");
    EXPECT_EQ(integer(make('I', 0), -42), "-42");
    EXPECT_EQ(integer(make('I', 4, 0), 0), "    ");
    EXPECT_EQ(integer(make('I', 0, 0), 0), " ");
    EXPECT_EQ(integer(make('I', 0, -1, -1, 0, SignMode::Plus), 0), "+0");
    EXPECT_EQ(integer(make('I', 4, 0, -1, 0, SignMode::Plus), 0), "    ");
    EXPECT_EQ(integer(make('I', 0), std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
    EXPECT_EQ(integer(make('G', 10, 3), 17), "        17");
    EXPECT_EQ(integer(make('B', 0), 5), "101");
    EXPECT_EQ(integer(make('O', 6, 4), 8), "  0010");
    EXPECT_EQ(integer(make('Z', 0), -1), "FFFFFFFF");                  // default integer
    EXPECT_EQ(integer(make('Z', 0), -1, 64), "FFFFFFFFFFFFFFFF");     // integer(8)
    EXPECT_EQ(integer(make('Z', 0), -4294967296LL), "FFFFFFFF00000000");  // needs 64 bits
    EXPECT_EQ(integer(make('Z', 4), -1), "****");
    EXPECT_EQ(integer(make('Z', 4, -1, -1, 0, SignMode::Plus), 10), "   A");

    std::string out;
    edit_logical_output(make('L', 3), true, out);
    edit_logical_output(make('L', 0), false, out);
    edit_logical_output(make('G', 2, 1), true, out);
    EXPECT_EQ(out, "  TF T");

    const struct {
        DataEdit edit;
        const char* expected;
    } texts[] = {
        {make('A', -1), "a bc"}, {make('A', 2), "a "},    {make('A', 6), "  a bc"},
        {make('A', 0), ""},      {make('G', 0), "a bc"},  {make('G', 6, 2), "  a bc"},
    };
    for (const auto& t : texts) {
        out.clear();
        edit_text_output(t.edit, "a bc", out);
        EXPECT_EQ(out, t.expected) << t.edit.width;
    }
}

// Fields are appended, never replacing what is there.
TEST(EditOutput, Appends) {
    std::string out = "ab";
    edit_real_output(make('F', 5, 1), 2.25, out);
    edit_integer_output(make('I', 3), 7, out);
    EXPECT_EQ(out, "ab  2.2  7");
}

// Huge numbers in a descriptor cost the field's length and nothing more;
// impossible ones are errors.
TEST(EditOutput, HostileDescriptors) {
    const std::string f = real(make('F', 1000000, 999997), -1.0 / 3);
    ASSERT_EQ(f.size(), 1000000u);
    EXPECT_EQ(f.substr(0, 22), "-0.3333333333333333148");
    EXPECT_EQ(f.find_first_not_of('0', 60), std::string::npos);

    const std::string e = real(make('E', 0, 1000000, 4), 1e-300);
    ASSERT_EQ(e.size(), 1u + 1000000u + 6u);
    EXPECT_EQ(e.substr(0, 12), ".10000000000");
    EXPECT_EQ(e.substr(e.size() - 6), "E-0299");

    EXPECT_EQ(real(make('F', 1000000, 1000000), 123.0), std::string(1000000, '*'));
    EXPECT_EQ(real(make('F', 0, 2, -1, 1000000), 1.0).size(), 1000000u + 4u);
    EXPECT_EQ(real(make('F', 6, 2, -1, -1000000), 1e300), "  0.00");
    EXPECT_EQ(integer(make('I', 1000000, 1000000), 5).size(), 1000000u);
    EXPECT_EQ(integer(make('I', 1 << 30, -1), 5).size(), 100000000u);  // clamped

    EXPECT_THROW(real(make('E', 12, 3, -1, 5), 1.0), IoError);   // k >= d+2
    EXPECT_THROW(real(make('E', 12, 3, -1, -3), 1.0), IoError);  // k <= -d
    EXPECT_THROW(real(make('E', 10, 0), 1.0), IoError);
    EXPECT_THROW(real(make('G', 12, 0), 1.0), IoError);
    EXPECT_THROW(real(make('I', 12), 1.0), IoError);
    EXPECT_THROW(integer(make('G', 12), 1), IoError);  // Gw needs d, as in gfortran
    EXPECT_THROW(integer(make('F', 12, 2), 1), IoError);
    std::string out;
    EXPECT_THROW(edit_text_output(make('I', 5), "abc", out), IoError);
}

// ---------------------------------------------------------------------------
// Golden cases written by gfortran (scripts/golden/edit_output.sh).

std::vector<std::string> split_tabs(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const auto tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab - start));
        if (tab == std::string::npos) return fields;
        start = tab + 1;
    }
}

TEST(EditOutput, MatchesGfortran) {
    std::ifstream in(testing::golden_path("edit_output.txt"));
    ASSERT_TRUE(in) << "golden file missing";
    std::string line;
    int cases = 0;
    int failures = 0;
    while (std::getline(in, line)) {
        const auto f = split_tabs(line);
        ASSERT_EQ(f.size(), 11u) << line;
        DataEdit edit = make(f[2][0], std::stoi(f[4]), std::stoi(f[5]), std::stoi(f[6]), std::stoi(f[7]),
                             f[8] == "S"   ? SignMode::Plus
                             : f[8] == "U" ? SignMode::Suppress
                                           : SignMode::Processor,
                             f[3] == "-" ? 0 : f[3][0]);
        const std::string& expected = f[10];
        std::string got;
        bool threw = false;
        try {
            switch (f[1][0]) {
                case 'R':
                    edit_real_output(edit, std::bit_cast<double>(std::stoull(f[9], nullptr, 16)), got);
                    break;
                case 'I': {
                    const std::int64_t v = std::stoll(f[9]);
                    edit_integer_output(edit, v, got, item_bits(v));
                    break;
                }
                case 'L':
                    edit_logical_output(edit, f[9] == "T", got);
                    break;
                default:
                    edit_text_output(edit, f[9], got);
                    break;
            }
        } catch (const IoError&) {
            threw = true;
        }
        ++cases;
        const std::string shown = threw ? "!error" : "|" + got + "|";
        if (shown != expected && ++failures <= 40) {
            ADD_FAILURE() << f[0] << " of " << f[9] << ": got " << shown << ", gfortran " << expected;
        }
    }
    EXPECT_EQ(failures, 0) << "of " << cases << " cases";
    EXPECT_GT(cases, 5000);
}

}  // namespace
}  // namespace orv::rt
