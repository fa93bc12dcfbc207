#include "numlib/routines1/x04cbf.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "numlib/routines1/errexit.h"
#include "runtime/io_error.h"
#include "runtime/units.h"
#include "num1_fixture.h"
#include "support/files.h"

namespace orv::num1 {
namespace {

using orv::testing::read_file;

// One call of the printer; the matrix is filled from `value` when `a` is
// left empty.
struct Call {
    std::string matrix = "G", diag = "N";
    int m = 0, n = 0;
    std::function<double(int, int)> value;
    std::vector<double> a;
    int lda = 0;
    std::string form = "F8.3", title, labrow = "N";
    std::vector<std::string> rlabs;
    std::string labcol = "N";
    std::vector<std::string> clabs;
    int ncols = 80, indent = 0;
};

// Texts of the declared length 15, as the engine's labels are.
std::vector<std::string> labels15(std::vector<std::string> texts) {
    for (auto& t : texts) t.resize(15, ' ');
    return texts;
}

std::vector<double> filled(int m, int n, int lda, const std::function<double(int, int)>& value) {
    std::vector<double> a(static_cast<std::size_t>(lda * n), -777.0);
    for (int j = 1; j <= n; ++j)
        for (int i = 1; i <= m; ++i) a[(i - 1) + (j - 1) * lda] = value(i, j);
    return a;
}

int run(Call c, int ifail = 0) {
    if (c.lda == 0) c.lda = c.m;
    if (c.a.empty() && c.value && c.lda >= c.m) c.a = filled(c.m, c.n, c.lda, c.value);
    X04CBF(c.matrix, c.diag, c.m, c.n, c.a, c.lda, c.form, c.title, c.labrow, c.rlabs, c.labcol, c.clabs, c.ncols,
           c.indent, ifail);
    return ifail;
}

// Tables go to a report file on unit 11, messages to the window.
class MatrixPrinter : public Num1Fixture {
protected:
    void SetUp() override {
        Num1Fixture::SetUp();
        open_report_unit("x04cbf");
        int eleven = 11;
        ADVUNIT(1, eleven);
    }
    std::string report() {
        rt::close_unit(11);
        return read_file(path_);
    }
    static std::string golden(const std::string& name) {
        return read_file(std::string(ORV_TEST_DATA_DIR) + "/numlib/golden/x04cbf/" + name + ".txt");
    }
};

const auto kLoadings = [](int i, int j) { return ((i * 37 + j * 11) % 200 - 100) / 123.0; };

// 3 x 12 with six-character row labels on 80 columns: LW = 7, W = 8, nine
// columns in the first block, values from column 9, column 1 ending in 16.
Call worked_example() {
    Call c;
    c.m = 3;
    c.n = 12;
    c.value = [](int i, int j) { return (i - 2) * 10 + j * 0.125; };
    c.title = "Worked example: 3 x 12";
    c.labrow = "C";
    c.rlabs = labels15({"V1", "Stress", "  Mood"});
    c.labcol = "I";
    return c;
}

// A golden text and the calls that print it, one after another.
struct Layout {
    const char* golden;
    std::function<std::vector<Call>()> calls;
};

class Layouts : public MatrixPrinter, public ::testing::WithParamInterface<Layout> {};

TEST_P(Layouts, MatchGoldenText) {
    for (const Call& c : GetParam().calls()) EXPECT_EQ(run(c), 0);
    EXPECT_EQ(report(), golden(GetParam().golden));
    EXPECT_TRUE(host_.records.empty());
}

Call engine_table(const char* form, int m, int n, int ncols, const char* labcol) {
    Call c;
    c.m = m;
    c.n = n;
    c.value = [](int i, int j) { return i == j ? 1.0 : kLoadings(i, j) * (j % 3 == 0 ? 100.0 : 1.0); };
    c.form = form;
    c.title = std::string("FORM ") + form + ", NCOLS " + std::to_string(ncols);
    c.labrow = "C";
    c.rlabs = labels15({"Extraversion_12", "V2", "Neuroticism", "", "  Openness"});
    c.rlabs.resize(static_cast<std::size_t>(m));
    c.labcol = labcol;
    c.clabs = c.rlabs;
    for (int j = m + 1; j <= n; ++j) c.clabs.push_back(labels15({"V" + std::to_string(j)})[0]);
    c.ncols = ncols;
    return c;
}

Call triangle(const char* matrix, const char* diag, int m, int n) {
    Call c;
    c.matrix = matrix;
    c.diag = diag;
    c.m = m;
    c.n = n;
    c.value = [](int i, int j) { return i * 10 + j; };
    c.form = "F5.0";
    c.title = std::string(matrix) + ", DIAG " + diag;
    c.labrow = "I";
    c.labcol = "I";
    c.ncols = 14;  // LW 2, W 5: two columns a block
    return c;
}

// 2 x 2 with a blank FORM; the title tells what the choice rests on.
Call default_form(const char* title, const char* matrix, const char* diag, std::vector<double> a) {
    Call c;
    c.matrix = matrix;
    c.diag = diag;
    c.m = 2;
    c.n = 2;
    c.a = std::move(a);
    c.form = "    ";
    c.title = title;
    return c;
}

INSTANTIATE_TEST_SUITE_P(
    X04CBF, Layouts,
    ::testing::Values(
        Layout{"worked_example", [] { return std::vector{worked_example()}; }},
        // Labels of 15 characters, as the engine passes them; column labels
        // are cut to the field width.
        Layout{"f8_3_labels", [] { return std::vector{engine_table("F8.3", 5, 5, 80, "C")}; }},
        Layout{"f8_2_numbered", [] { return std::vector{engine_table("F8.2", 3, 4, 80, "I")}; }},
        Layout{"f10_3_unlabelled", [] { return std::vector{engine_table("F10.3", 3, 4, 80, "N")}; }},
        Layout{"f15_3_labels", [] { return std::vector{engine_table("F15.3", 2, 8, 110, "C")}; }},
        // The same 13 columns at the engine's page widths.
        Layout{"page_widths",
               [] {
                   return std::vector{engine_table("F8.3", 2, 13, 110, "I"), engine_table("F8.3", 2, 13, 120, "I"),
                                      engine_table("F8.3", 2, 13, 130, "I")};
               }},
        // Triangles in blocks of two columns: the diagonal falls left of,
        // inside and right of a block.
        Layout{"lower",
               [] { return std::vector{triangle("L", "N", 5, 4), triangle("l", "u", 5, 4), triangle("L", "B", 5, 4)}; }},
        Layout{"upper",
               [] { return std::vector{triangle("U", "N", 3, 5), triangle("u", "U", 3, 5), triangle("U", "b", 3, 5)}; }},
        // A blank FORM chooses from the values that will be printed.
        Layout{"default_form",
               [] {
                   return std::vector{
                       default_form("largest 1.0, smallest 0.5", "G", "", {1.0, 0.0, -0.5, 0.75}),
                       default_form("largest 2.0", "G", "", {2.0, 0.0, -0.5, 0.75}),
                       default_form("smallest 0.0009", "G", "", {1.0, 0.0, -0.0009, 0.75}),
                       default_form("largest 9999.99991", "G", "", {9999.99991, 0.0, -0.5, 0.75}),
                       default_form("L, DIAG N: diagonal 5.0", "L", "N", {5.0, 0.5, 1e6, 0.25}),
                       default_form("L, DIAG U: diagonal not read", "L", "U", {5.0, 0.5, 1e6, 0.25}),
                       default_form("U, DIAG B: only 0.5 read", "U", "B", {5.0, 1e-6, 0.5, 0.25}),
                   };
               }},
        Layout{"full_precision",
               [] {
                   Call c;
                   c.m = 2;
                   c.n = 4;
                   c.a = {3.141592653589793, -1.0 / 3.0, 1e-300, 0.0, 2.0 / 3.0, -1e20, 123456.789, 1.0};
                   c.form = "*  ";
                   c.title = "FORM *";
                   c.labrow = "I";
                   c.labcol = "I";
                   return std::vector{c};
               }},
        // Title records are indented by INDENT + 1 and cut every U - 1
        // characters; DIAG is not looked at for a general matrix.
        Layout{"long_title",
               [] {
                   Call c = triangle("G", "X", 2, 2);
                   c.title = "  A title longer than one line of the table is cut at fixed counts, not at words.";
                   c.ncols = 30;
                   c.indent = 4;
                   return std::vector{c};
               }},
        // No rows or no columns: the title alone, or nothing for a blank one.
        Layout{"empty", [] {
                   Call rows = triangle("G", "N", 0, 3);
                   rows.title = "M = 0";
                   Call columns = triangle("G", "N", 3, 0);
                   columns.title = "N = 0";
                   Call untitled = triangle("G", "N", 0, 0);
                   untitled.title = "   ";
                   return std::vector{rows, columns, untitled};
               }}),
    [](const ::testing::TestParamInfo<Layout>& info) { return std::string(info.param.golden); });

// A width outside 1..132 means 80; an indent below 0 or not below the width
// means 0: each of these prints the worked example unchanged.
TEST_F(MatrixPrinter, OutOfRangeWidthAndIndentFallBack) {
    const int settings[][2] = {{0, 0}, {200, 0}, {-5, 0}, {80, -3}, {80, 80}, {0, 95}};
    std::string expected;
    for (const auto& s : settings) {
        Call c = worked_example();
        c.ncols = s[0];
        c.indent = s[1];
        EXPECT_EQ(run(c), 0);
        expected += golden("worked_example");
    }
    EXPECT_EQ(report(), expected);
}

struct Failure {
    const char* what;
    std::function<Call()> call;
    int error;
    std::vector<std::string> records;
};

class Failures : public MatrixPrinter, public ::testing::WithParamInterface<Failure> {};

// With IFAIL = -1 the records, the exit line and the soft-failure line reach
// the window; nothing at all is printed on the advisory unit.
TEST_P(Failures, ReportExactlyAndPrintNothing) {
    const Failure& f = GetParam();
    EXPECT_EQ(run(f.call(), -1), f.error);
    std::vector<std::string> expected = f.records;
    expected.push_back(" ** ABNORMAL EXIT from NUM Library routine X04CBF: IFAIL =     " + std::to_string(f.error));
    expected.push_back(" ** NUM soft failure - control returned");
    EXPECT_EQ(host_.records, expected);
    EXPECT_EQ(report(), "");
}

Call valid() {
    Call c = worked_example();
    c.title = "never printed";
    return c;
}

template <typename Change>
std::function<Call()> with(Change change) {
    return [change] {
        Call c = valid();
        change(c);
        return c;
    };
}

// 27 times "1X,": 81 characters.
std::string form81() {
    std::string form;
    for (int k = 0; k < 27; ++k) form += "1X,";
    return form;
}

INSTANTIATE_TEST_SUITE_P(
    X04CBF, Failures,
    ::testing::Values(
        Failure{"matrix", with([](Call& c) { c.matrix = "x"; }), 1,
                {" ** On entry, MATRIX is not valid : MATRIX = 'x'"}},
        // MATRIX is checked before the labels, the labels before M and LDA.
        Failure{"matrix_first", with([](Call& c) { c.matrix = "Dx"; c.labrow = "Z"; }), 1,
                {" ** On entry, MATRIX is not valid : MATRIX = 'D'"}},
        Failure{"labels", with([](Call& c) { c.labrow = "q"; c.labcol = "Cx"; c.lda = 3; c.m = 4; }), 6,
                {" ** On entry, either LABROW or LABCOL is not valid :", "    LABROW = 'q', LABCOL = 'C'."}},
        Failure{"labcol", with([](Call& c) { c.labcol = " "; }), 6,
                {" ** On entry, either LABROW or LABCOL is not valid :", "    LABROW = 'C', LABCOL = ' '."}},
        // M > LDA comes before DIAG.
        Failure{"m_gt_lda", with([](Call& c) { c.lda = 3; c.m = 4; c.matrix = "U"; c.diag = "?"; }), 3,
                {" ** On entry, M.gt.LDA: M =                4, LDA =                3"}},
        Failure{"m_gt_negative_lda", with([](Call& c) { c.lda = -2; c.m = 0; }), 3,
                {" ** On entry, M.gt.LDA: M =                0, LDA =               -2"}},
        // DIAG comes before FORM.
        Failure{"diag", with([](Call& c) { c.matrix = "lower"; c.diag = "x"; c.form = "I5"; }), 2,
                {" ** On entry, MATRIX = 'l', but DIAG is not valid : DIAG = 'x'"}},
        Failure{"form_81", with([](Call& c) { c.form = form81(); c.ncols = 5; }), 4,
                {" ** On entry, FORMAT has more than 80 characters: the first 75 are",
                 "    " + form81().substr(0, 75)}},
        Failure{"form_integer", with([](Call& c) { c.form = "I5"; }), 5,
                {" ** The format specifier in FORMAT cannot be used to print a number: FORMAT =", "    I5"}},
        Failure{"form_text", with([](Call& c) { c.form = " A8"; }), 5,
                {" ** The format specifier in FORMAT cannot be used to print a number: FORMAT =", "     A8"}},
        Failure{"form_no_digits", with([](Call& c) { c.form = "F8"; }), 5,
                {" ** The format specifier in FORMAT cannot be used to print a number: FORMAT =", "    F8"}},
        Failure{"form_no_descriptor", with([](Call& c) { c.form = "'value'"; }), 5,
                {" ** The format specifier in FORMAT cannot be used to print a number: FORMAT =", "    'value'"}},
        // Wider than the trial text of 133 characters.
        Failure{"form_too_wide", with([](Call& c) { c.form = "F140.3"; }), 5,
                {" ** The format specifier in FORMAT cannot be used to print a number: FORMAT =", "    F140.3"}},
        // The second value lands on the first: no field width to lay out.
        Failure{"form_no_width", with([](Call& c) { c.form = "F8.3,TL8"; }), 5,
                {" ** The format specifier in FORMAT cannot be used to print a number: FORMAT =", "    F8.3,TL8"}},
        // 80 - 7 - 1 = 72 columns left for a field of 73.
        Failure{"too_narrow", with([](Call& c) { c.form = "F73.3"; }), 7,
                {" ** On entry, NCOLS-INDENT is not wide enough to hold at least one matrix",
                 "    column: NCOLS =               80, INDENT =               0"}},
        // The values in force after the fall-backs are shown.
        Failure{"too_narrow_defaults", with([](Call& c) { c.ncols = 300; c.indent = 75; c.form = "F8.3"; }), 7,
                {" ** On entry, NCOLS-INDENT is not wide enough to hold at least one matrix",
                 "    column: NCOLS =               80, INDENT =              75"}},
        Failure{"too_narrow_full_precision", with([](Call& c) { c.ncols = 30; c.form = "*"; }), 7,
                {" ** On entry, NCOLS-INDENT is not wide enough to hold at least one matrix",
                 "    column: NCOLS =               30, INDENT =               0"}}),
    [](const ::testing::TestParamInfo<Failure>& info) { return std::string(info.param.what); });

TEST_F(MatrixPrinter, EntryValueOfIfailDecidesMessagesAndStop) {
    Call c = valid();
    c.matrix = "Q";
    EXPECT_EQ(run(c, 1), 1);
    EXPECT_TRUE(host_.records.empty());
    EXPECT_THROW(run(c, 0), rt::Stop);
    ASSERT_EQ(host_.records.size(), 3u);
    EXPECT_EQ(host_.records[2], " ** NUM hard failure - execution terminated");
    EXPECT_EQ(report(), "");
}

// The longest FORM accepted has 80 significant characters; blanks inside
// it are insignificant, blanks around it do not count.
TEST_F(MatrixPrinter, FormOfEightyCharacters) {
    Call c = valid();
    c.form = " F8.3" + std::string(73, ' ') + ",1X" + std::string(5, ' ');
    EXPECT_EQ(run(c, -1), 0);
    EXPECT_TRUE(host_.records.empty());
    // Fields of 9: eight columns a block, the first ending in column 17.
    const std::string text = report();
    EXPECT_NE(text.find("\n                1        2"), std::string::npos) << text;
}

TEST_F(MatrixPrinter, SpansTooSmallAreProgrammingErrors) {
    struct Case {
        const char* what;
        std::function<void(Call&)> change;
    } cases[] = {
        {"a", [](Call& c) { c.a = filled(3, 12, 3, c.value); c.a.pop_back(); }},
        {"a read for the default form", [](Call& c) { c.a = filled(3, 12, 3, c.value); c.a.pop_back(); c.form = ""; }},
        {"a with lda", [](Call& c) { c.lda = 4; c.a = filled(3, 12, 3, c.value); }},
        {"triangle", [](Call& c) { c.matrix = "U"; c.diag = "U"; c.a.assign(35, 0.0); }},
        {"rlabs", [](Call& c) { c.rlabs.pop_back(); }},
        {"clabs", [](Call& c) { c.labcol = "C"; c.clabs = labels15({"a", "b"}); }},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.what);
        Call c = valid();
        k.change(c);
        EXPECT_THROW(run(c, -1), std::length_error);
    }
    EXPECT_TRUE(host_.records.empty());
    EXPECT_EQ(report(), "");
}

TEST_F(MatrixPrinter, NothingIsNeededThatIsNotRead) {
    // No rows: A, RLABS and CLABS may be empty, whatever LDA and N say.
    Call none = valid();
    none.m = 0;
    none.lda = 0;
    none.n = 5;
    none.value = nullptr;
    none.labcol = "C";
    none.rlabs.clear();
    none.title = "no rows";
    EXPECT_EQ(run(none, -1), 0);
    // Labels that are not asked for are not needed.
    Call numbered = triangle("G", "N", 2, 2);
    numbered.title = "numbered";
    EXPECT_EQ(run(numbered, -1), 0);
    // A failing check wins over a short span.
    Call short_a = valid();
    short_a.a = {1.0};
    short_a.lda = 2;
    EXPECT_EQ(run(short_a, 1), 3);
    EXPECT_TRUE(host_.records.empty());
    EXPECT_EQ(report(), " no rows\n numbered\n       1    2\n 1   11.  12.\n 2   21.  22.\n");
}

// A row whose values overflow the record is printed with its label alone;
// the rows after it are printed as usual.
TEST_F(MatrixPrinter, FailingWriteOfARowIsIgnored) {
    Call c;
    c.m = 2;
    c.n = 26;
    c.value = [](int i, int) { return i == 1 ? 1e20 : 0.5; };
    c.form = "F0.3";  // 0.0 gives ".000": fields of 4, but 1e20 needs 25
    c.labrow = "I";
    c.ncols = 132;
    EXPECT_EQ(run(c, -1), 0);
    std::string row;
    for (int j = 0; j < 26; ++j) row += ".500";
    EXPECT_EQ(report(), " 1\n 2 " + row + "\n");
    EXPECT_TRUE(host_.records.empty());
}

}  // namespace
}  // namespace orv::num1
