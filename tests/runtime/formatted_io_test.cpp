#include "runtime/formatted_io.h"

#include <gtest/gtest.h>

#include <limits>

#include <climits>
#include <cmath>
#include <string>
#include <vector>

namespace orv::rt {
namespace {

// Records what a walk over a format does, without any editing, so that
// traversal (repeats, groups, reversion, colon, trailing items) can be
// checked on its own.
class Recorder : public FormatWalker::Handler {
public:
    void literal(std::string_view text) override { log += "'" + std::string(text) + "' "; }
    void position(ItemType type, int count) override {
        log += (type == ItemType::X ? "X" : type == ItemType::T ? "T" : type == ItemType::TL ? "TL" : "TR") +
               std::to_string(count) + " ";
    }
    void end_record() override { log += "/ "; }
    std::string log;
};

// Walks `format` for `items` data items and then finishes the statement.
std::string walk(const char* format, int items) {
    Format f = parse_format(format);
    Recorder r;
    FormatWalker w(f, r);
    for (int i = 0; i < items; ++i) {
        DataEdit e = w.next_edit();
        r.log += std::string(1, e.kind) + std::to_string(e.width) + " ";
    }
    w.finish();
    return r.log;
}

TEST(FormatWalk, RepeatsGroupsAndReversion) {
    struct Case {
        const char* format;
        int items;
        const char* log;
    } cases[] = {
        {"(I3)", 3, "I3 / I3 / I3 "},
        {"(3I2)", 2, "I2 I2 "},
        {"('a',I1,'b')", 1, "'a' I1 'b' "},
        // After the last item, control items run up to the next data edit.
        {"(I1,'x',I2,'y')", 1, "I1 'x' "},
        // ... or up to a colon.
        {"(I1,:,'x')", 1, "I1 "},
        {"(I1,:,'x')", 2, "I1 'x' / I1 "},
        // Reversion goes back to the last top-level group with its repeat.
        {"(A1,2(I2,X),F3.0)", 6, "A1 I2 X1 I2 X1 F3 / I2 X1 I2 X1 "},
        {"(A1,2(I2,3(F4.1)),L1)", 3, "A1 I2 F4 "},
        {"(F6.0,(F2.0))", 4, "F6 F2 / F2 / F2 "},
        // Slash counts.
        {"(/)", 0, "/ "},
        {"(I1,3/)", 1, "I1 / / / "},
        {"(T30,A8)", 1, "T30 A8 "},
        {"(TL2,TR3,5X)", 0, "TL2 TR3 X5 "},
        {"(2(I1))", 5, "I1 I1 / I1 I1 / I1 "},
    };
    for (const auto& c : cases) EXPECT_EQ(walk(c.format, c.items), c.log) << c.format << " x" << c.items;
}

TEST(FormatWalk, ModesTravelWithEditsAndSurviveReversion) {
    Format f = parse_format("(2P,F5.1,BZ,SP,(E8.2))");
    Recorder r;
    FormatWalker w(f, r);
    DataEdit a = w.next_edit();
    EXPECT_EQ(a.modes.scale, 2);
    EXPECT_FALSE(a.modes.blank_zero);
    DataEdit b = w.next_edit();
    EXPECT_TRUE(b.modes.blank_zero);
    EXPECT_EQ(b.modes.sign, SignMode::Plus);
    DataEdit c = w.next_edit();  // by reversion
    EXPECT_EQ(c.kind, 'E');
    EXPECT_EQ(c.modes.scale, 2);
    EXPECT_TRUE(c.modes.blank_zero);
}

TEST(FormatWalk, RunawayFormatsAreErrors) {
    Recorder r;
    // No data edit descriptor at all for an item.
    Format none = parse_format("('x')");
    FormatWalker w1(none, r);
    EXPECT_THROW(w1.next_edit(), IoError);
    // Reversion into a part with no data edit descriptor.
    Format empty_group = parse_format("(I1,(2X))");
    FormatWalker w2(empty_group, r);
    w2.next_edit();
    EXPECT_THROW(w2.next_edit(), IoError);
    // Nested repeats of control items only, 10^18 steps.
    Format huge = parse_format("(I1,1000000(1000000(1000000(X))))");
    FormatWalker w3(huge, r);
    w3.next_edit();
    try {
        w3.finish();
        ADD_FAILURE() << "runaway walk finished";
    } catch (const IoError& e) {
        EXPECT_EQ(e.kind(), IoErrorKind::BadFormat);
    }
}

// Records as GNU Fortran writes them (checked with gfortran); records are
// joined with newlines.
TEST(FormattedOutput, RecordLayout) {
    EXPECT_EQ(format_records(parse_format("(A,5X)"), "ab"), "ab");
    EXPECT_EQ(format_records(parse_format("(A,T1,A)"), "abcdef", "x"), "xbcdef");
    // A left tab reaches the column it names even where nothing was
    // written yet (10.8.1.1; gfortran 12 stops short there).
    EXPECT_EQ(format_records(parse_format("(A,T10,TL5,A)"), "ab", "y"), "ab  y");
    EXPECT_EQ(format_records(parse_format("(A,T20,T5,A)"), "ab", "y"), "ab  y");
    EXPECT_EQ(format_records(parse_format("(A,TR3,A,T2,A)"), "ab", "c", "Z"), "aZ   c");
    EXPECT_EQ(format_records(parse_format("(I3,:,'|')"), 7), "  7");
    EXPECT_EQ(format_records(parse_format("(2(I2,'|'))"), 1, 2, 3), " 1| 2|\n 3|");
    EXPECT_EQ(format_records(parse_format("(A10,'|',A2,'|')"), "abc", "wxyz"), "       abc|wx|");
    EXPECT_EQ(format_records(parse_format("(3(F5.1))"), 1.0, 2.0, 3.0, 4.0), "  1.0  2.0  3.0\n  4.0");
    EXPECT_EQ(format_records(parse_format("('[',3/,']')")), "[\n\n\n]");
    EXPECT_EQ(format_records(parse_format("(/)")), "\n");
    EXPECT_EQ(format_records(parse_format("(I2,(I3,'-'))"), 1, 2, 3, 4), " 1  2-\n  3-\n  4-");
    EXPECT_EQ(format_records(parse_format("(5X)")), "");
    EXPECT_EQ(format_records(parse_format("(T30,A8)"), "Finished"), std::string(29, ' ') + "Finished");
    std::vector<double> row{0.5, -0.25, 1.0};
    EXPECT_EQ(format_records(parse_format("(999(F12.9,1X))"), row),
              " 0.500000000 -0.250000000  1.000000000");
}

TEST(FormattedOutput, ItemsMustFitTheirDescriptors) {
    try {
        format_records(parse_format("(I5,F8.2)"), 1, 2);
        ADD_FAILURE() << "F accepted an integer";
    } catch (const IoError& e) {
        EXPECT_EQ(e.kind(), IoErrorKind::ItemMismatch);
        EXPECT_NE(std::string(e.what()).find("F8.2"), std::string::npos);
        EXPECT_NE(std::string(e.what()).find("item 2"), std::string::npos);
    }
    EXPECT_THROW(format_records(parse_format("(A)"), 2.5), IoError);
    EXPECT_THROW(format_records(parse_format("(L2)"), "T"), IoError);
    // G edits every type.
    EXPECT_EQ(format_records(parse_format("(4G10.2,'|')"), 12, 0.5, true, "ab"),
              "        12  0.50             T        ab|");
}

TEST(FormattedOutput, InternalRecordsKeepTheirLength) {
    std::vector<std::string> rec(3, std::string(12, '.'));
    write_internal(rec, 12, parse_format("(I3/F6.2)"), 42, 3.14159);
    EXPECT_EQ(rec[0], " 42         ");
    EXPECT_EQ(rec[1], "  3.14      ");
    EXPECT_EQ(rec[2], "............");
    // Too long a record, or too many records, is an error.
    EXPECT_THROW(write_internal(rec, 12, parse_format("(A13)"), "x"), IoError);
    EXPECT_THROW(write_internal(rec, 12, parse_format("(3/)")), IoError);
}

// Reads `records` with `format` into the items.
template <typename... Items>
void read_records(std::vector<std::string_view> records, const char* format, Items&... items) {
    InternalSource source(std::move(records));
    Format f = parse_format(format);
    FormattedInput in(source, f);
    (in >> ... >> items);
    in.finish();
}

TEST(FormattedInput, FieldsRecordsAndReversion) {
    double id = -1, a = -1, b = -1, c = -1;
    // Fields beyond the end of a short record read as zero.
    read_records({"  17 1 2"}, "(F4.0,3F2.0)", id, a, b, c);
    EXPECT_EQ(id, 17);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 2);
    EXPECT_EQ(c, 0);
    // "/" and reversion move to new records within one statement.
    read_records({"  18", " 3 4", " 5"}, "(F4.0/(2F2.0))", id, a, b, c);
    EXPECT_EQ(id, 18);
    EXPECT_EQ(a, 3);
    EXPECT_EQ(b, 4);
    EXPECT_EQ(c, 5);
    // Implied decimal point and a blank inside a field.
    read_records({"1 2345"}, "(F6.2)", a);
    EXPECT_DOUBLE_EQ(a, 123.45);
    // Positioning.
    int i = 0, j = 0;
    read_records({"abc12de34"}, "(T4,I2,TR2,I2)", i, j);
    EXPECT_EQ(i, 12);
    EXPECT_EQ(j, 34);
    read_records({"123456"}, "(I2,TL1,I2,X,I1)", i, j, i);
    EXPECT_EQ(j, 23);
    EXPECT_EQ(i, 5);
    // Text items take their declared length from the target.
    std::string t1(3, ' '), t2(5, ' ');
    read_records({">DATA: x"}, "(A2,A)", t1, t2);
    EXPECT_EQ(t1, ">D ");
    EXPECT_EQ(t2, "ATA: ");
    // Trailing "/" after the last item reads the next record too.
    InternalSource src({"1", "2", "3"});
    Format f = parse_format("(I1/)");
    FormattedInput in(src, f);
    in >> i;
    in.finish();
    std::string next;
    ASSERT_TRUE(src.next_record(next));
    EXPECT_EQ(next, "3");
}

// A field that the end of the record cuts short is what the record holds
// of it, as gfortran reads it (values from gfortran on this machine): the
// missing columns are no BZ zeros, while blanks in the record still are.
TEST(FormattedInput, FieldsCutByTheRecordEnd) {
    int i = -1, j = -1;
    read_records({"12"}, "(BZ,I5,I5)", i, j);
    EXPECT_EQ(i, 12);
    EXPECT_EQ(j, 0);
    read_records({"12 "}, "(BZ,I5)", i);
    EXPECT_EQ(i, 120);
    double x = -1, y = -1;
    read_records({"1.5E1"}, "(BZ,E10.2)", x);
    EXPECT_EQ(x, 15.0);
    read_records({"15"}, "(BZ,F6.2)", x);
    EXPECT_EQ(x, 0.15);
    read_records({"12 "}, "(BZ,F6.2)", x);
    EXPECT_EQ(x, 1.2);
    read_records({"inf"}, "(BZ,F8.1)", x);
    EXPECT_EQ(x, std::numeric_limits<double>::infinity());
    read_records({" 1 5", "  7"}, "(BZ,F2.0,F4.0/F4.0)", x, y, x);
    EXPECT_EQ(y, 5.0);
    EXPECT_EQ(x, 7.0);
    // An Aw field wider than its item keeps the rightmost characters of what
    // is there; a shorter one is padded on the right.
    std::string c3(3, '#'), c6(6, '#');
    read_records({"abcd"}, "(A5)", c3);
    EXPECT_EQ(c3, "bcd");
    read_records({"ab"}, "(A5)", c6);
    EXPECT_EQ(c6, "ab    ");
    read_records({"ab"}, "(A2,A4)", c3, c6);
    EXPECT_EQ(c6, "      ");
}

TEST(FormattedInput, FailuresNameDescriptorAndRecord) {
    double x = 0;
    try {
        read_records({"1.5", "abc"}, "(F3.0/F3.0)", x, x);
        ADD_FAILURE() << "bad field accepted";
    } catch (const IoError& e) {
        EXPECT_EQ(e.kind(), IoErrorKind::Conversion);
        std::string what = e.what();
        EXPECT_NE(what.find("F3.0"), std::string::npos) << what;
        EXPECT_NE(what.find("record 2"), std::string::npos) << what;
        EXPECT_NE(what.find("item 2"), std::string::npos) << what;
    }
    try {
        read_records({"1"}, "(F3.0/F3.0)", x, x);
        ADD_FAILURE() << "read past the end";
    } catch (const IoError& e) {
        EXPECT_EQ(e.kind(), IoErrorKind::EndOfFile);
    }
    int i = 0;
    EXPECT_THROW(read_records({"99999999999"}, "(I11)", i), IoError);
    // A bit pattern of 32 ones is -1 in a 32-bit item; 33 bits do not fit.
    // A minus sign negates the pattern in 32 bits.
    const std::pair<const char*, int> patterns[] = {
        {"FFFFFFFF", -1}, {"-FFFFFFFF", 1}, {"-80000000", INT_MIN}, {"-FD100000", 0x02F00000}, {"-1", -1}};
    for (auto [field, expected] : patterns) {
        read_records({field}, "(Z9)", i);
        EXPECT_EQ(i, expected) << field;
    }
    EXPECT_THROW(read_records({"1FFFFFFFF"}, "(Z9)", i), IoError);
    EXPECT_THROW(read_records({"-100000000"}, "(Z10)", i), IoError);
    EXPECT_THROW(read_records({"12"}, "(F2.0)", i), IoError);
    EXPECT_THROW(read_records({"12"}, "('x',I2)", i), IoError);
    EXPECT_THROW(read_records({}, "(I2)", i), IoError);
}

}  // namespace
}  // namespace orv::rt
