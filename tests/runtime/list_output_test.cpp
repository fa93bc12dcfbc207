#include <gtest/gtest.h>

#include "golden.h"

#include <bit>
#include <cmath>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "runtime/formatted_io.h"
#include "runtime/io_error.h"
#include "runtime/list_io.h"

namespace orv::rt {
namespace {

template <typename... Items>
std::string list(const Items&... items) {
    StringSink sink;
    ListOutput out(sink);
    (out << ... << items);
    out.finish();
    EXPECT_EQ(sink.count, 1);
    return sink.text;
}

// Records as gfortran writes them for the same PRINT * statements.
TEST(ListOutput, Layout) {
    EXPECT_EQ(list(2.5), "   2.5000000000000000     ");
    EXPECT_EQ(list(-0.0), "  -0.0000000000000000     ");
    EXPECT_EQ(list(0.1), "  0.10000000000000001     ");
    EXPECT_EQ(list(0.09999), "   9.9989999999999996E-002");
    EXPECT_EQ(list(1e16), "   10000000000000000.     ");
    EXPECT_EQ(list(1e17), "   1.0000000000000000E+017");
    EXPECT_EQ(list(5e-324), "   4.9406564584124654E-324");
    EXPECT_EQ(list(std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                   std::nan("")),
              "                  Infinity                 -Infinity                       NaN");
    EXPECT_EQ(list(std::string("x"), 0.0, std::string("y")), " x   0.0000000000000000      y");
    EXPECT_EQ(list(1, -2, 2147483647), "           1          -2  2147483647");
    EXPECT_EQ(list(1LL, -2LL), "                    1                   -2");
    EXPECT_EQ(list(true, false, "a", 1, "b", true, "c"), " T F a           1 b T c");
    EXPECT_EQ(list("abc", "def", 1, 2, "ghi"), " abcdef           1           2 ghi");
    EXPECT_EQ(list(""), " ");
}

TEST(ListOutput, EmptyStatementWritesEmptyRecord) {
    StringSink sink;
    ListOutput out(sink);
    out.finish();
    EXPECT_EQ(sink.count, 1);
    EXPECT_EQ(sink.text, "");
}

// gfortran does not split long list records.
TEST(ListOutput, NoWrapping) {
    StringSink sink;
    ListOutput out(sink);
    for (int i = 1; i <= 20; ++i) out << i;
    out.finish();
    EXPECT_EQ(sink.count, 1);
    EXPECT_EQ(sink.text.size(), 1u + 20u * 11u + 19u);
}

// An internal record too short for the list is an error, as in gfortran.
TEST(ListOutput, InternalRecordTooShort) {
    std::vector<std::string> records(2, "#");
    InternalSink sink(records, 10);
    ListOutput out(sink);
    out << 1 << 2;
    EXPECT_THROW(out.finish(), IoError);
}

std::string data_file(const char* name) {
    return testing::golden_path(name);
}

// Single numbers written by gfortran (scripts/golden/edit_output.sh).
TEST(ListOutput, MatchesGfortran) {
    std::ifstream in(data_file("list_output.txt"));
    ASSERT_TRUE(in) << "golden file missing";
    std::string line;
    int cases = 0;
    while (std::getline(in, line)) {
        const auto tab = line.find('\t');
        ASSERT_NE(tab, std::string::npos) << line;
        const auto space = line.find(' ');
        const std::string type = line.substr(0, space);
        const std::string value = line.substr(space + 1, tab - space - 1);
        const std::string expected = line.substr(tab + 2, line.size() - tab - 3);
        std::string got;
        if (type == "R") {
            got = list(std::bit_cast<double>(std::stoull(value, nullptr, 16)));
        } else if (type == "I4") {
            got = list(std::stoi(value));
        } else {
            got = list(std::stoll(value));
        }
        EXPECT_EQ(got, expected) << line;
        ++cases;
    }
    EXPECT_GT(cases, 400);
}

}  // namespace
}  // namespace orv::rt
