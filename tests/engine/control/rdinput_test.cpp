// The engine's numeric input files and the >LABELS: line: raw data under a
// run-time format, the input correlation matrix, the loading matrix of model
// ROT with its factor correlations, and the labels.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/control/rdcor.h"
#include "engine/control/rdlabs.h"
#include "engine/control/rdload.h"
#include "engine/control/rdraw.h"
#include "engine/common/units.h"
#include "numlib/routines1/errexit.h"
#include "runtime/io_error.h"
#include "runtime/list_io.h"
#include "runtime/units.h"
#include "support/files.h"
#include "support/library_fixture.h"

namespace orv::engine {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kNone;

class RdInputTest : public orv::testing::LibraryFixture {
protected:
    void reset_library() override {
        int console = LUCON;
        num1::ADVUNIT(1, console);
    }
    std::string put(const std::string& name, const std::string& text) {
        const std::string path = dir_ + "/" + name;
        orv::testing::write_file(path, text);
        return path;
    }
    void open_input(int unit, const std::string& name, const std::string& text) {
        rt::open_unit_or_fail(unit, put(name, text), {rt::OpenStatus::Old, true});
    }
    // Runs `body`, which must end in a fatal stop, and returns the window
    // records it wrote.
    template <typename Body>
    std::vector<std::string> fatal_records(Body body) {
        host_.records.clear();
        host_.pauses = 0;
        try {
            body();
            ADD_FAILURE() << "no stop";
        } catch (const rt::Stop& stop) {
            EXPECT_EQ(stop.message, "");
            EXPECT_EQ(stop.exit_status, 1);
            EXPECT_FALSE(stop.quiet);
        }
        EXPECT_EQ(host_.pauses, 1);
        return host_.records;
    }
    static std::string at(int column, const std::string& text) { return std::string(column - 1, ' ') + text; }

    orv::testing::TempDir tmp_{"orv_rdinput"};
    std::string dir_ = tmp_.string();
};

// --- raw data -------------------------------------------------------------

TEST_F(RdInputTest, RawDataUnderRunTimeFormats) {
    struct Case {
        const char* what;
        std::string format, data;
        int nsubj, nvar;
        std::vector<double> id, x;  // x row by row (subject by subject)
    };
    const std::vector<Case> cases = {
        {"one line per subject, rest of the line skipped", " (F3.0,3F2.0)", "  1 1 2 3 99\n  2 4 5 6\n", 2, 3,
         {1, 2}, {1, 2, 3, 4, 5, 6}},
        {"a slash spreads a subject over two lines", "(F3.0,2F2.0/2F2.0)", " 11 1 2\n 3 4\n 12 5 6\n 7 8\n", 2, 4,
         {11, 12}, {1, 2, 3, 4, 5, 6, 7, 8}},
        {"reversion to the inner group starts new lines", "(F3.0,(2F2.0))", "  5 1 2\n 3 4\n 5\n  6 9 8\n 7 6\n 5\n",
         2, 5, {5, 6}, {1, 2, 3, 4, 5, 9, 8, 7, 6, 5}},
        {"reversion to the start without an inner group", "(F2.0,F2.0)", " 1 7\n 8 9\n", 1, 3, {1}, {7, 8, 9}},
        {"implied decimals, an explicit point overrides", "(F4.0,4F3.2)", "   7123045  61.5\n", 1, 4, {7},
         {1.23, 0.45, 0.06, 1.5}},
        {"blanks inside a field are ignored, blank fields read zero", "(F3.0,3F3.0)", "1 2 3 4     \n", 1, 3, {12},
         {3, 4, 0}},
        {"a short line reads zeros", "(F3.0,4F2.0)", "  9 1\n", 1, 4, {9}, {1, 0, 0, 0}},
        {"exponent and general forms, X skips", "(F2.0,1X,E8.2,G6.1)", " 3x 1.5E+01  -2.5\n", 1, 2, {3},
         {15, -2.5}},
        {"no subjects, nothing read", "(F3.0)", "", 0, 3, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        open_input(LUDAT, "raw.dat", c.data);
        DataArray id{-1};
        DataArray x{-1};
        std::string datfmt = c.format;
        datfmt.resize(80, ' ');
        RDRAW(datfmt, c.nsubj, c.nvar, id, x);
        EXPECT_EQ(std::vector<double>(id.begin(), id.end()), c.id);
        ASSERT_EQ(x.size(), c.x.size());
        for (int i = 0; i < c.nsubj; ++i)
            for (int j = 0; j < c.nvar; ++j)
                EXPECT_DOUBLE_EQ(x[i + j * c.nsubj], c.x[i * c.nvar + j]) << "subject " << i + 1 << " item " << j + 1;
        rt::close_unit(LUDAT);
    }
}

TEST_F(RdInputTest, RawDataFailuresAreTheRunTimes) {
    struct Case {
        const char* what;
        std::string format, data;
        rt::IoErrorKind kind;
    };
    const std::vector<Case> cases = {
        {"a letter in a numeric field", "(F2.0,2F2.0)", " 1 x 3\n 2 3 4\n 3 4 5\n", rt::IoErrorKind::Conversion},
        {"a format without parentheses", "F2.0,2F2.0", " 1 2 3\n", rt::IoErrorKind::BadFormat},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        open_input(LUDAT, "raw.dat", c.data);
        DataArray id;
        DataArray x;
        try {
            RDRAW(c.format, 3, 2, id, x);
            ADD_FAILURE() << "no error";
        } catch (const rt::IoError& e) {
            EXPECT_EQ(e.kind(), c.kind) << e.what();
        }
        rt::close_unit(LUDAT);
    }
    EXPECT_TRUE(host_.records.empty());
}

// --- correlation matrix ----------------------------------------------------

TEST_F(RdInputTest, CorrelationFileLayouts) {
    const std::vector<double> r = {1.0, 0.5, 0.25, 0.5, 1.0, -0.125, 0.25, -0.125, 1.0};  // symmetric
    struct Case {
        const char* what;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"one row per line", "1.0 .5 .25\n.5 1.0 -.125\n.25 -.125 1\n"},
        {"one value per line", "1\n.5\n.25\n.5\n1\n-.125\n.25\n-.125\n1\n"},
        {"rows spread over lines, commas and tabs", "1.0,\n.5\t.25\n.5 , 1.0\n-.125\n.25\t-.125,1\n"},
        {"values after a row's last on its line are ignored", "1 .5 .25 9 9\n.5 1 -.125 9\n.25 -.125 1 9\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        host_.records.clear();
        const std::string path = put("r.cor", c.text);
        std::vector<double> got;
        RDCOR("CO", path, 3, got);
        EXPECT_EQ(got, r);
        EXPECT_EQ(host_.records, std::vector<std::string>{at(30, "Reading Correlations")});
        rt::close_unit(LUDAT);
    }
    // Repeat counts; no symmetry or diagonal check: the matrix is taken as it stands.
    const std::string path = put("r.cor", "1 2*0.5\n3*7\n0 0 1\n");
    std::vector<double> got;
    RDCOR("OR", path + std::string(100, ' '), 3, got);
    EXPECT_EQ(got, (std::vector<double>{1, 7, 0, 0.5, 7, 0, 0.5, 7, 1}));
}

TEST_F(RdInputTest, CorrelationFileMissing) {
    const std::string missing = dir_ + "/none.cor";
    std::vector<double> r;
    EXPECT_EQ(fatal_records([&] { RDCOR("DI", missing, 3, r); }),
              (std::vector<std::string>{"", at(27, "FATAL ERROR! Input correlation matrix not found"),
                                        at(30, missing + ": No such file or directory"), "", ""}));
    for (const char* metric : {"OR", "CO"}) {
        host_.records.clear();
        try {
            RDCOR(metric, missing, 3, r);
            ADD_FAILURE() << metric;
        } catch (const rt::IoError& e) {
            EXPECT_EQ(e.kind(), rt::IoErrorKind::Open) << metric;
        }
        EXPECT_TRUE(host_.records.empty()) << metric;
    }
    EXPECT_FALSE(fs::exists(missing));
    // A file that ends inside the matrix names its records, the rows read
    // and the order.
    const std::string short_cor = put("short.cor", "1 .5\n.5\n");
    EXPECT_EQ(fatal_records([&] { RDCOR("DI", short_cor, 2, r); }),
              (std::vector<std::string>{at(30, "Reading Correlations"),
                                        at(30, "FATAL ERROR: File " + short_cor + " ends after 2 records, with 1 "
                                                   "rows of the correlation matrix for the 2 variables declared on "
                                                   ">DATA:"),
                                        "", ""}));
}

// --- loading matrix ---------------------------------------------------------

TEST_F(RdInputTest, LoadingMatrixFld1) {
    const std::string pattern = put("p.fld", " 0.800 0.100 junk\n 0.700-0.200\n\n 0.100 0.600\n");
    int unit = LUCON;
    num1::ADVUNIT(1, unit);
    std::vector<double> l, phi{9}, comm, facss;
    RDLOAD(pattern, " (2F6.3)", "FLD1", "", 4, 2, l, phi, comm, facss);
    EXPECT_EQ(l, (std::vector<double>{0.8, 0.7, 0.0, 0.1, 0.1, -0.2, 0.0, 0.6}));
    EXPECT_TRUE(phi.empty());
    const std::vector<double> comm_expected = {0.65, 0.53, 0.0, 0.37}, facss_expected = {1.14, 0.41};
    for (std::size_t i = 0; i < 4; ++i) EXPECT_NEAR(comm[i], comm_expected[i], 1e-15);
    for (std::size_t k = 0; k < 2; ++k) EXPECT_NEAR(facss[k], facss_expected[k], 1e-15);
    num1::ADVUNIT(0, unit);
    EXPECT_EQ(unit, LURPT);
    EXPECT_TRUE(host_.records.empty());
}

TEST_F(RdInputTest, LoadingMatrixFld2KeepsTheCommonPart) {
    // PHI = [1 .5; .5 1]: eigenvalues 1.5 and 0.5, eigenvectors (1,1)/sqrt2
    // and (1,-1)/sqrt2 up to sign.  The loadings that reach the rotation are
    // L V Lambda^(1/2), which reproduce L PHI L'.
    const int nvar = 3, nfac = 2;
    const std::vector<double> l0 = {0.6, 0.2, 0.4, 0.1, 0.5, -0.3};  // column-major
    const std::string pattern = put("p.fld", "  .6  .1\n  .2  .5\n  .4 -.3\n");
    const std::string phifile = put("phi.txt", "1.0\n 0.5 junk\n0.5 1.0\n");
    std::vector<double> l, phi, comm, facss;
    RDLOAD(pattern, "(2F4.1)", "FLD2", phifile + "   ", nvar, nfac, l, phi, comm, facss);
    EXPECT_EQ(phi, (std::vector<double>{1.0, 0.5, 0.5, 1.0}));
    ASSERT_EQ(l.size(), 6u);
    for (int i = 0; i < nvar; ++i) {
        const double first = std::sqrt(1.5) * (l0[i] + l0[i + nvar]) / std::sqrt(2.0);
        const double second = std::sqrt(0.5) * (l0[i] - l0[i + nvar]) / std::sqrt(2.0);
        EXPECT_NEAR(l[i], first, 1e-13) << i;
        EXPECT_NEAR(std::fabs(l[i + nvar]), std::fabs(second), 1e-13) << i;
    }
    // L PHI L' is kept, and the communalities are its diagonal.
    for (int i = 0; i < nvar; ++i) {
        for (int j = 0; j < nvar; ++j) {
            double before = 0, after = 0;
            for (int a = 0; a < nfac; ++a) {
                after += l[i + a * nvar] * l[j + a * nvar];
                for (int b = 0; b < nfac; ++b) before += l0[i + a * nvar] * phi[a + b * nfac] * l0[j + b * nvar];
            }
            EXPECT_NEAR(after, before, 1e-13) << i << "," << j;
            if (i == j) {
                EXPECT_NEAR(comm[i], before, 1e-13) << i;
            }
        }
    }
    for (int k = 0; k < nfac; ++k) {
        double ss = 0;
        for (int i = 0; i < nvar; ++i) ss += l[i + k * nvar] * l[i + k * nvar];
        EXPECT_NEAR(facss[k], ss, 1e-15);
    }
}

TEST_F(RdInputTest, LoadingInputFatalStops) {
    const std::string pattern = put("p.fld", " .5 .5 .5\n .5 .5 .5\n");
    const std::string missing = dir_ + "/missing.txt";
    std::vector<double> l, phi, comm, facss;
    struct Case {
        const char* what;
        std::string datfil, dattyp, phifil;
        std::vector<std::string> records;
        int nfac = 2;
    };
    auto entry = [&](const char* name, const std::string& rest) {
        return at(30, "FATAL ERROR: Entry " + rest.substr(0, 5) + " of factor correlation file " + dir_ + "/" + name +
                          rest.substr(5));
    };
    const std::vector<Case> cases = {
        {"loading file missing (before the factor correlations)", missing, "FLD2", missing,
         {"", at(27, "FATAL ERROR! Factor Pattern file not found"), at(30, missing + ": No such file or directory"),
          "", ""}},
        {"factor correlation file missing", pattern, "FLD2", missing,
         {"", at(27, " FATAL ERROR! Factor correlation file not found"),
          at(30, missing + ": No such file or directory"), "", ""}},
        {"factor correlations with a negative eigenvalue", pattern, "FLD2",
         put("bad.phi", "1 .9 -.9\n.9 1 .9\n-.9 .9 1\n"),
         {at(30, "FATAL ERROR! Factor correlation matrix has a negative eigenvalue"), "", ""}, 3},
        {"a huge diagonal", pattern, "FLD2", put("huge.phi", "1e308 .3\n.3 1\n"),
         {entry("huge.phi", "(1,1) is 1e+308: a correlation matrix has 1 on its diagonal"), "", ""}},
        {"a diagonal off 1 by more than its last decimal", pattern, "FLD2", put("near.phi", "1 .3\n.3 .998\n"),
         {entry("near.phi", "(2,2) is 0.998: a correlation matrix has 1 on its diagonal"), "", ""}},
        {"a diagonal of a whole number", pattern, "FLD2", put("whole.phi", "2 .3\n.3 1\n"),
         {entry("whole.phi", "(1,1) is 2: a correlation matrix has 1 on its diagonal"), "", ""}},
        {"a diagonal of one decimal", pattern, "FLD2", put("tenth.phi", "1 .3\n.3 .9\n"),
         {entry("tenth.phi", "(2,2) is 0.9: a correlation matrix has 1 on its diagonal"), "", ""}},
        {"a correlation above 1", pattern, "FLD2", put("above.phi", "1 -1.5\n-1.5 1\n"),
         {entry("above.phi", "(1,2) is -1.5: correlations lie between -1 and 1"), "", ""}},
        {"an asymmetric matrix", pattern, "FLD2", put("skew.phi", "1 .3\n.35 1\n"),
         {entry("skew.phi", "(1,2) is 0.3 and entry (2,1) is 0.35: a correlation matrix is symmetric"), "", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(fatal_records([&] {
                      RDLOAD(c.datfil, "(3F3.1)", c.dattyp, c.phifil, 2, c.nfac, l, phi, comm, facss);
                  }),
                  c.records);
        rt::close_all_units();
    }
    // Within one unit of their last decimal the diagonal and the symmetry
    // pass: values written with 9 decimals.
    RDLOAD(pattern, "(3F3.1)", "FLD2", put("nine.phi", "0.999999999 .300000001\n.3 1.000000001\n"), 2, 2, l, phi,
           comm, facss);
    rt::close_all_units();
    // FLD1 never looks for the factor correlation file.
    RDLOAD(pattern, "(2F3.1)", "FLD1", missing, 2, 2, l, phi, comm, facss);
    EXPECT_EQ(l, (std::vector<double>(4, 0.5)));
}

// --- labels -----------------------------------------------------------------

TEST_F(RdInputTest, LabelsFromTheCommandFile) {
    auto l15 = [](const std::string& s) { return (s + std::string(15, ' ')).substr(0, 15); };
    struct Case {
        const char* what;
        std::string text;
        int nvar;
        std::vector<std::string> labels;
    };
    const std::vector<Case> cases = {
        {"quoted labels keep blanks, commas and slashes", ">LABELS: 'item one' \"it's, two\" 'a/b' Four\n", 4,
         {l15("item one"), l15("it's, two"), l15("a/b"), l15("Four")}},
        {"a 20-character label keeps 15", ">LABELS: abcdefghijklmnopqrst x\n", 2, {"abcdefghijklmno", l15("x")}},
        {"lower-case keyword, labels over several lines", ">labels:  v1,v2\n\tv3\n  v4 v5 extra\nnext\n", 4,
         {l15("v1"), l15("v2"), l15("v3"), l15("v4")}},
        {"unquoted two words shift the later labels", ">LABELS: item one two\n", 3,
         {l15("item"), l15("one"), l15("two")}},
        {"keyword joined to its first label", ">LABELS:x y\n", 1, {l15("y")}},
        {"a last line without a line end", ">LABELS: p q", 2, {l15("p"), l15("q")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        open_input(LUJOB, "job.in", ">FORMAT: (F1.0)\n" + c.text);
        std::string format;
        rt::read_list(LUJOB, format);
        std::vector<std::string> labels;
        RDLABS("LABELS", c.nvar, labels);
        EXPECT_EQ(labels, c.labels);
        rt::close_unit(LUJOB);
    }
    EXPECT_TRUE(host_.records.empty());
}

TEST_F(RdInputTest, LabelsOnlyUnderLabels) {
    for (const char* option : {"NOLABELS", "LABELS2", "labels"}) {
        SCOPED_TRACE(option);
        open_input(LUJOB, "job.in", ">LABELS: a b\n");
        std::vector<std::string> labels{"garbage"};
        RDLABS(option, 2, labels);
        EXPECT_EQ(labels, std::vector<std::string>(2, std::string(15, ' ')));
        std::string next(8, ' ');
        rt::read_list(LUJOB, next);  // the line is still unread
        EXPECT_EQ(next, ">LABELS:");
        rt::close_unit(LUJOB);
    }
}

TEST_F(RdInputTest, LabelsKeywordMissing) {
    const std::vector<std::string> message = {at(30, "FATAL ERROR: Keyword  >LABELS:   missing"), "", ""};
    for (const char* text : {">LABEL: a b\n", "  a b\n", ">LABELSX a\n", ""}) {
        SCOPED_TRACE(text);
        open_input(LUJOB, "job.in", text);
        std::vector<std::string> labels;
        EXPECT_EQ(fatal_records([&] { RDLABS("LABELS", 2, labels); }), message);
        rt::close_unit(LUJOB);
    }
    // Too few labels before the end of the file: the labels read and the
    // variable count are named.
    open_input(LUJOB, "job.in", ">LABELS: a b\n");
    std::vector<std::string> labels;
    EXPECT_EQ(fatal_records([&] { RDLABS("LABELS", 3, labels); }),
              (std::vector<std::string>{at(30, "FATAL ERROR: The command file ends with 2 labels on >LABELS: for "
                                               "the 3 variables declared on >DATA:"),
                                        "", ""}));
}

}  // namespace
}  // namespace orv::engine
