#include "runtime/edit_input.h"

#include <gtest/gtest.h>

#include "golden.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace orv::rt {
namespace {

DataEdit edit(char kind, int d = -1, int scale = 0, bool bz = false, char variant = 0) {
    DataEdit e;
    e.kind = kind;
    e.variant = variant;
    e.digits = d;
    e.modes.scale = scale;
    e.modes.blank_zero = bz;
    return e;
}

std::uint64_t bits(double x) { return std::bit_cast<std::uint64_t>(x); }

std::vector<std::string> split_tabs(const std::string& line) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        std::size_t tab = line.find('\t', start);
        out.push_back(line.substr(start, tab - start));
        if (tab == std::string::npos) return out;
        start = tab + 1;
    }
}

std::ifstream open_golden(const std::string& name) { return std::ifstream(testing::golden_path(name)); }

// Every field of tests/runtime/golden/edit_input.txt (scripts/golden/edit_input.sh):
// our result must be gfortran's, bit for bit, and we must fail where it fails.
TEST(EditInputGolden, MatchesGfortran) {
    std::ifstream in = open_golden("edit_input.txt");
    ASSERT_TRUE(in) << "golden file missing";
    std::string line;
    int checked = 0;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        auto f = split_tabs(line);
        ASSERT_EQ(f.size(), 9u) << line;
        const std::string& cls = f[0];
        const std::string& desc = f[1];
        DataEdit e = edit(desc[0], std::stoi(f[3]), std::stoi(f[4]), f[5] == "1",
                          desc.size() > 1 ? desc[1] : 0);
        e.width = std::stoi(f[2]);
        const std::string& field = f[6];
        const bool ok = f[7] == "0";
        SCOPED_TRACE("field [" + field + "] " + desc + " d=" + f[3] + " k=" + f[4] + " bz=" + f[5]);
        if (cls == "R") {
            double v = -77.0;
            std::string err = edit_real_input(e, field, v);
            EXPECT_EQ(err.empty(), ok) << err;
            if (ok && err.empty()) {
                std::uint64_t want = std::stoull(f[8], nullptr, 16);
                if (std::isnan(v))  // gfortran's NaN: quiet, with the sign read
                    EXPECT_EQ(bits(v) & 0xfff8000000000000u, want);
                else
                    EXPECT_EQ(bits(v), want) << v;
            }
        } else if (cls == "I") {
            std::int64_t v = -77;
            std::string err = edit_integer_input(e, field, v);
            EXPECT_EQ(err.empty(), ok) << err;
            if (ok) {
                EXPECT_EQ(v, std::stoll(f[8]));
            }
        } else if (cls == "L") {
            bool v = false;
            std::string err = edit_logical_input(e, field, v);
            EXPECT_EQ(err.empty(), ok) << err;
            if (ok) {
                EXPECT_EQ(v, f[8] == "T");
            }
        } else {
            std::string v(std::stoul(cls.substr(1)), '#');
            EXPECT_EQ(edit_text_input(e, field, v), "");
            EXPECT_EQ(v, f[8]);
        }
        ++checked;
    }
    EXPECT_GT(checked, 800);
}

struct RealCase {
    const char* field;
    int d;
    int scale;
    bool bz;
    double expected;
};

TEST(EditInput, RealRules) {
    const RealCase cases[] = {
        {"  1.5E+3", 2, 0, false, 1500.0},  // exponent letter and sign
        {"  1.5-03", 2, 0, false, 0.0015},  // bare sign exponent
        {"   12345", 2, 0, false, 123.45},  // implied point: last d digits
        {"   1E2  ", 2, 0, false, 1.0},     // implied point holds with exponent
        {"   123. ", 2, 0, false, 123.0},   // a point in the field wins over d
        {"     123", 2, 2, false, 0.0123},  // 2P without exponent divides by 100
        {"  1.23E0", 2, 2, false, 1.23},    // ... but not with an exponent
        {"    1.23", 2, -2, false, 123.0},
        {" 1 2 3  ", 2, 0, false, 1.23},    // BN: blanks ignored
        {" 1 2 3  ", 2, 0, true, 10203.0},  // BZ: inner and trailing blanks are zeros
        {"   12   ", 0, 0, true, 12000.0},  // leading blanks never count
        {"        ", 2, 0, true, 0.0},      // all blank
        {"-1.5d+2 ", 0, 0, false, -150.0},
        {"  .5q1  ", 0, 0, false, 5.0},
        {"1.5E 3  ", 0, 0, false, 1500.0},
        // gfortran's exponent bound counts the implied fraction (E12.2).
        {"1e10001 ", 2, 0, false, HUGE_VAL},
        {"1e-9997 ", 2, 0, false, 0.0},
        {"1.e-9999", 2, 0, false, 0.0},
        // Blanks between the sign and Inf are skipped, under BZ too.
        {"-  inf  ", 2, 0, false, -HUGE_VAL},
        {"  +  Inf", 2, 0, true, HUGE_VAL},
    };
    for (const auto& c : cases) {
        double v = -1;
        EXPECT_EQ(edit_real_input(edit('F', c.d, c.scale, c.bz), c.field, v), "") << c.field;
        EXPECT_EQ(v, c.expected) << "[" << c.field << "] d=" << c.d << " k=" << c.scale;
    }
}

TEST(EditInput, RealErrorsLeaveValueAndSaySo) {
    const std::pair<const char*, const char*> cases[] = {
        {"1.5x", "bad character 'x' in real field"},
        {"1,5", "bad character ',' in real field"},
        {"1.5.", "bad character '.' in real field"},
        {"1.5e", "exponent without digits in real field"},
        {"1e10002", "exponent out of range in real field"},  // 10002 - d beyond 9999
        {"1.e10000", "exponent out of range in real field"},
        {"1e-9998", "exponent out of range in real field"},
        {"1e99999999999999999999999", "exponent out of range in real field"},
        {"infinit", "bad infinity or NaN in real field"},
        {"1\x01", "bad character '\\x01' in real field"},
    };
    for (auto [field, message] : cases) {
        double v = 42.0;
        EXPECT_EQ(edit_real_input(edit('E', 2), field, v), message) << field;
        EXPECT_EQ(v, 42.0);
    }
}

// Fields far longer than any double needs: the value must still be correctly
// rounded, and no step may grow with the field beyond the field itself.
TEST(EditInput, HugeFields) {
    double v = 0;
    std::string f = "0." + std::string(999'998, '0') + "1E9999";  // 10^-999999 * 10^9999
    EXPECT_EQ(edit_real_input(edit('F', 0), f, v), "");
    EXPECT_EQ(v, 0.0);

    f = "0." + std::string(1'000'000, '9') + "E1";  // just below 10: rounds to 10
    EXPECT_EQ(edit_real_input(edit('F', 0), f, v), "");
    EXPECT_EQ(v, 10.0);

    // 2^53 + 1 is halfway between two doubles; a nonzero digit a million
    // places later must round it up, without it the tie goes to even.
    f = "9007199254740993." + std::string(1'000'000, '0') + "1";
    EXPECT_EQ(edit_real_input(edit('F', 0), f, v), "");
    EXPECT_EQ(v, 9007199254740994.0);
    f.back() = '0';
    EXPECT_EQ(edit_real_input(edit('F', 0), f, v), "");
    EXPECT_EQ(v, 9007199254740992.0);

    std::int64_t i = 0;
    EXPECT_EQ(edit_integer_input(edit('I'), std::string(1'000'000, '7'), i), "integer overflow");
    EXPECT_EQ(edit_integer_input(edit('I'), std::string(1'000'000, '0') + "42", i), "");
    EXPECT_EQ(i, 42);
}

// Short decimals, where one multiply or divide by a power of ten must give
// the correctly rounded value: checked bit for bit against strtod over
// random digits, point positions and exponents on both sides of the limits
// of that path (15 digits, 10^+-22), with the implied fraction of F8.3.
TEST(EditInput, ShortFieldsRoundAsTheirFullDecimalValue) {
    std::mt19937_64 random(20261209);
    for (int trial = 0; trial < 200000; ++trial) {
        const int ndigits = 1 + static_cast<int>(random() % 17);
        std::string mantissa;
        for (int k = 0; k < ndigits; ++k) mantissa.push_back(static_cast<char>('0' + random() % 10));
        const bool point = random() % 4 != 0;
        if (point) mantissa.insert(random() % (mantissa.size() + 1), 1, '.');
        const int exponent = static_cast<int>(random() % 61) - 30;
        const bool with_exponent = random() % 2 == 0;
        const std::string field =
            (random() % 2 ? "-" : "") + mantissa + (with_exponent ? "E" + std::to_string(exponent) : "");
        const int d = point ? 0 : 3;
        // The same number written for strtod: the implied fraction as an
        // exponent of its own.
        std::string plain = field;
        if (!with_exponent) plain += "E0";
        const std::size_t e = plain.find('E');
        const long total = std::stol(plain.substr(e + 1)) - d;
        plain = plain.substr(0, e) + "E" + std::to_string(total);
        double v = 0;
        ASSERT_EQ(edit_real_input(edit('F', d), field, v), "") << field;
        ASSERT_EQ(bits(v), bits(std::strtod(plain.c_str(), nullptr))) << field << " vs " << plain;
    }
}

TEST(EditInput, GarbageBytesAreRejected) {
    std::string field;
    for (int b = 0; b < 256; ++b) {
        if ((b >= '0' && b <= '9') || b == ' ' || b == '+' || b == '-' || b == '.') continue;
        field.assign({'1', static_cast<char>(b), '2'});
        double v = 0;
        std::int64_t i = 0;
        bool is_exponent = std::string_view("eEdDqQ").find(static_cast<char>(b)) != std::string_view::npos;
        EXPECT_EQ(edit_real_input(edit('F', 0), field, v).empty(), is_exponent) << b;
        EXPECT_FALSE(edit_integer_input(edit('I'), field, i).empty()) << b;
    }
}

// Value rules are in the golden file; these are the messages.
TEST(EditInput, IntegerLogicalAndTextMessages) {
    std::int64_t v = 5;
    EXPECT_EQ(edit_integer_input(edit('I'), "9223372036854775808", v), "integer overflow");
    EXPECT_EQ(edit_integer_input(edit('B'), "102", v), "bad character '2' in binary field");
    EXPECT_EQ(edit_integer_input(edit('Z'), "1g", v), "bad character 'g' in hexadecimal field");
    EXPECT_EQ(edit_integer_input(edit('I'), "  + ", v), "no digits in integer field");
    EXPECT_EQ(v, 5);

    bool l = true;
    EXPECT_EQ(edit_logical_input(edit('L'), "   ", l), "no T or F in logical field");
    EXPECT_EQ(edit_logical_input(edit('L'), " .x", l), "bad character 'x' in logical field");
    EXPECT_TRUE(l);

    std::string t(5, '#');  // w < len: padded on the right (rightmost-len is in the golden file)
    EXPECT_EQ(edit_text_input(edit('A'), "ab", t), "");
    EXPECT_EQ(t, "ab   ");
}

}  // namespace
}  // namespace orv::rt
