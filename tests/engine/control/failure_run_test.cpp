// Failures through the real program: a job that cannot be computed ends,
// with exit status 1 and a message, instead of looping for ever or running
// on to "Finished" with tables of zeros or NaN.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "support/engine_run.h"
#include "support/files.h"

namespace {

namespace fs = std::filesystem;
using orv::testing::read_file;

const fs::path kExamples = fs::path(ORV_TEST_DATA_DIR) / ".." / "examples";

class FailureRun : public orv::testing::EngineRun {
protected:
    void SetUp() override {
        EngineRun::SetUp();
        fs::copy_file(kExamples / "example.dat", at("example.dat"));
    }

    void put(const std::string& name, const std::string& text) const { EngineRun::put(at(name), text); }

public:
    void put_file(const std::string& name, const std::string& text) const { put(name, text); }

protected:
    std::string get(const std::string& name) const { return EngineRun::get(at(name)); }

    // The README's example job with some of its lines replaced.
    static std::string example(const std::vector<std::pair<std::string, std::string>>& lines) {
        std::istringstream in(read_file(kExamples / "example.in"));
        std::string out, line;
        while (std::getline(in, line)) {
            for (const auto& [key, text] : lines)
                if (line.rfind(key, 0) == 0) line = key + " " + text;
            out += line + "\n";
        }
        return out;
    }

    // A job on the correlation file m.cor of NVAR variables.
    std::string cor_job(int nvar, const std::string& model, const std::string& technical) const {
        return ">TITLE: correlation file\n>DATA: m.cor " + std::to_string(nvar) +
               " 100\n>OUTFILE: m.out SHORT\n>METRIC: CO COR NOSMOOTH\n>MODEL: " + model +
               " NOLABELS NOSORT\n>ROTATE: NONE\n>SCORE: NONE\n>PLOT: NONE\n>TECHNICAL: " + technical +
               "\n>FORMAT: (F4.0)\n";
    }

    bool finished() const { return window_.find("Finished") != std::string::npos; }

    // Runs job.in, which must stop on the value VALUE in record RECORD of
    // the file NAME with status 1.
    void expect_not_finite(const std::string& value, int record, const std::string& name) {
        EXPECT_EQ(run("job.in"), 1) << window_;
        EXPECT_NE(window_.find("FATAL ERROR: Value " + value + " in record " + std::to_string(record) + " of file " +
                               at(name).string() + " is not a finite number\n"),
                  std::string::npos)
            << window_;
    }

    // The score jobs' data set of ten variables; with DUPLICATE, variable 3
    // a copy of variable 2.
    static std::string score_data(bool duplicate) {
        std::istringstream in(read_file(fs::path(ORV_TEST_DATA_DIR) / "engine" / "jobs" / "scores" / "three.dat"));
        std::string data;
        for (std::string line; std::getline(in, line);) {
            if (duplicate) line.replace(20, 7, line.substr(13, 7));
            data += line + "\n";
        }
        return data;
    }

    // A raw-data job with scores, every plot and every matrix file.
    static std::string score_job(const std::string& data, const std::string& model, const std::string& rotate,
                                 const std::string& method) {
        return ">TITLE: scores\n>DATA: " + data + " 10 240\n>OUTFILE: job.out LONG\n>METRIC: CO RAW NOSMOOTH\n"
               ">MODEL: " + model + " NOLABELS SORT\n>ROTATE: " + rotate + "\n>SCORE: " + method +
               "\n>PLOT: ALL\n>TECHNICAL: .0001 200 .000001 500 F .2 SMC 120 T\n>OUTPUT: 4 COR FAC EIG RSD\n"
               ">FORMAT: (F6.0,10F7.2)\n";
    }
};

// Entries near the overflow limit are no correlations: the file is refused
// before the eigenvalue table, whose balancing and communalities they would
// overflow.
TEST_F(FailureRun, EntryNearTheOverflowLimitIsRefused) {
    // A correlation matrix with 2^1022 in place of one of its entries.
    put("m.cor",
        "1 -0.71 -0.84 -0.96 4.4942328371557898e+307\n-0.71 1 -0.77 -0.94 0.51\n-0.84 -0.77 1 -0.10 -0.10\n"
        "-0.96 -0.94 -0.10 1 -0.20\n-0.87 0.51 -0.10 -0.20 1\n");
    put("job.in", cor_job(5, "PFA 1", ".0001 200 .0001 200 T .2 ONE 120 F"));
    const std::string file = " of correlation file " + at("m.cor").string() + " is ";
    EXPECT_EQ(run("job.in"), 1) << window_;
    EXPECT_NE(window_.find("FATAL ERROR: Entry (1,5)" + file +
                           "4.49423283715579e+307: correlations lie between -1 and 1\n"),
              std::string::npos)
        << window_;
    EXPECT_EQ(get("m.out").find("Eigenvalues of Initial Correlation Matrix"), std::string::npos);

    put("m.cor", "1.0 1.7e308\n0.01 1.0\n");
    put("job.in", cor_job(2, "PFA 1", ".0001 200 .0001 200 T .2 ONE 120 F"));
    EXPECT_EQ(run("job.in"), 1) << window_;
    EXPECT_NE(window_.find("FATAL ERROR: Entry (1,2)" + file + "1.7e+308: correlations lie between -1 and 1\n"),
              std::string::npos)
        << window_;
    EXPECT_FALSE(finished());
}

// After the first positive definite inversion (squared multiple
// correlations) the library only prints its errors; the engine stops on a
// fatal one.
TEST_F(FailureRun, LibraryFailuresAfterTheFirstInversionFailTheRun) {
    // Squared multiple correlations of a matrix that is not positive
    // definite, although its last eigenvalue is positive.
    put("m.cor", "1.0 0.9 0.9\n0.9 1.0 0.3\n0.9 0.3 1.0\n");
    put("job.in", cor_job(3, "PFA 1", ".0001 200 .0001 200 T .2 SMC 120 F"));
    EXPECT_EQ(run("job.in"), 1) << window_;
    EXPECT_NE(window_.find("\n*** FATAL    ERROR 2 from DLINDS.  The leading 3 by 3 submatrix of the input\n"),
              std::string::npos)
        << window_;
    EXPECT_EQ(window_.find("Iteration:"), std::string::npos) << window_;
    EXPECT_FALSE(finished());
}

// Regression scores of data with one variable twice: the correlation matrix
// is not positive definite, a fatal error of the library.  The library's
// message, then the score stage's own, status 1 and no scores.
TEST_F(FailureRun, ScoresOfASingularCorrelationMatrixFailTheRun) {
    put("dup.dat", score_data(true));
    put("job.in", score_job("dup.dat", "PFA 3", "VARIMAX", "REG"));
    put("job.fsc", "              1   0.500  -0.500   0.250\n");
    EXPECT_EQ(run("job.in"), 1) << window_;
    const std::size_t library = window_.find("\n*** FATAL    ERROR 2 from DLINDS.");
    const std::size_t own =
        window_.find("FATAL ERROR: The correlation matrix cannot be inverted: no regression factor scores\n");
    ASSERT_NE(library, std::string::npos) << window_;
    ASSERT_NE(own, std::string::npos) << window_;
    EXPECT_LT(library, own);
    EXPECT_FALSE(finished());
    EXPECT_EQ(get("job.out").find("Standardized regression weights"), std::string::npos);
    EXPECT_EQ(get("job.fsc"), "");
}

// Technical and rotation parameters that are not finite numbers are refused
// while the command file is read: no report is made.
TEST_F(FailureRun, NonFiniteParametersAreRefused) {
    const std::vector<std::pair<std::vector<std::pair<std::string, std::string>>, std::string>> cases{
        {{{">TECHNICAL:", "NaN 200 .0001 200 T .2 SMC 120 F"}}, "Technical parameter COMP_EPS"},
        {{{">TECHNICAL:", ".0001 200 Inf 200 T .2 SMC 120 F"}}, "Technical parameter ROT_EPS"},
        {{{">TECHNICAL:", ".0001 200 nan 200 T .2 SMC 120 F"}}, "Technical parameter ROT_EPS"},
        {{{">TECHNICAL:", ".0001 200 .0001 200 T -Infinity SMC 120 F"}}, "Technical parameter HYPER_WIDTH"},
        {{{">ROTATE:", "HK Infinity"}}, "The Harris-Kaiser parameter"},
        {{{">ROTATE:", "OBLIMIN -Infinity"}}, "The Oblimin Delta parameter"},
    };
    for (const auto& [lines, name] : cases) {
        put("job.in", example(lines));
        EXPECT_EQ(run("job.in"), 1) << window_;
        EXPECT_NE(window_.find("FATAL ERROR: " + name + " must be a finite number\n"), std::string::npos) << window_;
        EXPECT_FALSE(fs::exists(dir_ / "example.out"));
    }
}

// A value that is not a finite number in the raw data, a correlation,
// loading or factor-correlation file stops the run with the file, the
// record and the value.
TEST_F(FailureRun, NonFiniteValuesInInputFilesStopTheRun) {
    // Raw data: the value of variable 2 of subject 5 (columns 8-10).
    std::string data = read_file(kExamples / "example.dat");
    std::size_t at = 0;
    for (int record = 1; record < 5; ++record) at = data.find('\n', at) + 1;
    data.replace(at + 7, 3, "NaN");
    put("nan.dat", data);
    put("job.in", example({{">DATA:", "nan.dat 12 300"}}));
    expect_not_finite("NaN", 5, "nan.dat");
    EXPECT_EQ(window_.find("Performing factor analysis"), std::string::npos);

    // Correlations: a row may run over several records.
    put("m.cor", "1.0 0.5\n0.2\n0.5 1.0 0.3\n0.2 0.3 -Inf\n");
    put("job.in", cor_job(3, "CMT 1", ".0001 200 .0001 200 T .2 ONE 120 F"));
    expect_not_finite("-Infinity", 4, "m.cor");
    EXPECT_FALSE(finished());

    // Loadings, then the factor correlations of an oblique input.
    const std::string rot = ">TITLE: loadings\n>DATA: load.dat 3 100\n>OUTFILE: rot.out SHORT\n"
                            ">METRIC: CO FLD2 NOSMOOTH\n>PHI: phi.dat\n>MODEL: ROT 2 NOLABELS NOSORT\n"
                            ">ROTATE: VARIMAX\n>SCORE: NONE\n>PLOT: NONE\n>FORMAT: (2F5.1)\n";
    put("job.in", rot);
    put("load.dat", "  0.7  0.1\n  0.6  nan\n  0.1  0.8\n");
    put("phi.dat", "1.0 0.3\n0.3 1.0\n");
    expect_not_finite("NaN", 2, "load.dat");
    put("load.dat", "  0.7  0.1\n  0.6  0.2\n  0.1  0.8\n");
    put("phi.dat", "1.0 0.3\n0.3 Infinity\n");
    expect_not_finite("Infinity", 2, "phi.dat");
    EXPECT_FALSE(finished());

    // Finite values whose products overflow: a loading whose fourth power
    // does (F5.1 reads 1e300 as 1e299), a factor correlation matrix with
    // 1e308 on its diagonal.
    const struct {
        const char* loadings;
        const char* phi;
        std::string message;
    } huge[] = {
        {"  0.7  0.1\n  0.6  0.2\n  0.11e300\n", "1.0 0.3\n0.3 1.0\n",
         "Value 1e+299 in record 3 of file " + (dir_ / "load.dat").string() +
             " is too large: the sums of fourth powers of the loadings overflow"},
        {"  0.7  0.1\n  0.6  0.2\n  0.1  0.8\n", "1e308 0.3\n0.3 1.0\n",
         "Entry (1,1) of factor correlation file " + (dir_ / "phi.dat").string() +
             " is 1e+308: a correlation matrix has 1 on its diagonal"},
    };
    for (const auto& c : huge) {
        put("load.dat", c.loadings);
        put("phi.dat", c.phi);
        EXPECT_EQ(run("job.in"), 1) << window_;
        EXPECT_NE(window_.find("FATAL ERROR: " + c.message + "\n"), std::string::npos) << window_;
        EXPECT_FALSE(finished());
    }

    // Guessing parameters, laid out freely: refused with the command file.
    const fs::path cmt = fs::path(ORV_TEST_DATA_DIR) / "engine" / "jobs" / "cmt";
    fs::copy_file(cmt / "items.dat", dir_ / "items.dat");
    put("guess.cpr", "0.10 0.05\n0.20 NaN 0.10\n0.00\n");
    put("job.in", ">TITLE: guessing\n>DATA: items.dat 6 120\n>OUTFILE: dc.out SHORT\n>METRIC: DC RAW NS\n"
                  ">CPARAM: guess.cpr\n>MODEL: CMT 2 NOLABELS NOSORT\n>ROTATE: NONE\n>SCORE: NOSCORE\n"
                  ">PLOT: NONE\n>FORMAT: (F4.0,1X,6F1.0)\n");
    expect_not_finite("NaN", 2, "guess.cpr");
    EXPECT_FALSE(fs::exists(dir_ / "dc.out"));
}

// A continuous variable without variance stops every model in the
// correlation stage, as the tetrachoric stage stops for one: no .cor file,
// no correlation table of zeros.
TEST_F(FailureRun, VariableWithoutVarianceStopsEveryModel) {
    std::istringstream in(read_file(kExamples / "example.dat"));
    std::string data;
    for (std::string line; std::getline(in, line);) data += line.replace(10, 3, "  4") + "\n";
    put("constant.dat", data);
    for (const char* model : {"PFA 2 NOLABELS NOSORT", "CMT 0 NOLABELS NOSORT", "PCA 2 NOLABELS NOSORT"}) {
        put("job.in", example({{">DATA:", "constant.dat 12 300"},
                               {">MODEL:", model},
                               {">TECHNICAL:", ".0001 200 .0001 200 T .2 SMC 120 T\n>OUTPUT: 1 COR"}}));
        EXPECT_EQ(run("job.in"), 1) << model << "\n" << window_;
        EXPECT_NE(window_.find(std::string(28, ' ') + "FATAL ERROR: VARIABLE   3 HAS NO VARIANCE\n"),
                  std::string::npos)
            << window_;
        EXPECT_FALSE(finished()) << model;
        EXPECT_FALSE(fs::exists(dir_ / "job.cor")) << model;
        EXPECT_EQ(get("example.out").find("CORRELATION MATRIX"), std::string::npos) << model;
    }
}

// A rotated solution that is not finite stops as the Varimax stage's
// not-a-number stop does: Oblimin of identical loading rows.
TEST_F(FailureRun, RotatedSolutionThatIsNotFiniteStopsTheRun) {
    put("same.dat", "  .5  .5\n  .5  .5\n  .5  .5\n  .5  .5\n");
    put("job.in", ">TITLE: identical rows\n>DATA: same.dat 4 100\n>OUTFILE: same.out SHORT\n"
                  ">METRIC: CO FLD1 NOSMOOTH\n>MODEL: ROT 2 NOLABELS NOSORT\n>ROTATE: OBLIMIN 0\n>SCORE: NONE\n"
                  ">PLOT: NONE\n>TECHNICAL: .0001 200 .0001 200 F .2 ONE 120 T\n>OUTPUT: 1 FAC\n>FORMAT: (2F4.1)\n");
    EXPECT_EQ(run("job.in"), 1) << window_;
    EXPECT_NE(window_.find(std::string(28, ' ') + "Fatal Error: Serious problems occured during Oblimin Rotation\n"),
              std::string::npos)
        << window_;
    const std::string report = get("same.out");
    EXPECT_NE(report.find("\n****Serious problems occured during Oblimin Rotation****\n" + std::string(18, ' ') +
                          " Execution Terminated"),
              std::string::npos)
        << report;
    EXPECT_EQ(report.find("NaN"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir_ / "same.fac"));

    // Promax of the same rows: the least-squares fit of the target cannot
    // invert A'A, a fatal error of the library, and the run stops there.
    std::string promax = get("job.in");
    promax.replace(promax.find("OBLIMIN 0"), 9, "PROMAX 3");
    put("job.in", promax);
    EXPECT_EQ(run("job.in"), 1) << window_;
    EXPECT_NE(window_.find("\n*** FATAL    ERROR 2 from DLINDS."), std::string::npos) << window_;
    EXPECT_FALSE(finished());
    EXPECT_EQ(get("same.out").find("PROMAX Rotated Factor Loadings"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir_ / "same.fac"));
}

// Finite data whose correlations overflow: the run stops before the .cor
// file or the report shows them, also for a CMT job.
TEST_F(FailureRun, CorrelationsThatOverflowStopTheRun) {
    std::istringstream in(read_file(kExamples / "example.dat"));
    std::string data;
    for (std::string line; std::getline(in, line);) data += line.substr(0, 4) + line[6] + "e300" + line.substr(7) + "\n";
    put("huge.dat", data);
    put("job.in", example({{">DATA:", "huge.dat 12 300"},
                           {">MODEL:", "CMT 2 NOLABELS NOSORT"},
                           {">TECHNICAL:", ".0001 200 .0001 200 T .2 SMC 120 T\n>OUTPUT: 1 COR"},
                           {">FORMAT:", "(F4.0,F5.0,11F3.0)"}}));
    EXPECT_EQ(run("job.in"), 1) << window_;
    EXPECT_NE(window_.find("FATAL ERROR: The correlations of variable 1 are not finite numbers: the sum of squares "
                           "of its values overflows\n"),
              std::string::npos)
        << window_;
    EXPECT_FALSE(fs::exists(dir_ / "job.cor"));
    EXPECT_FALSE(finished());
}

// Model ROT reads its loadings from the data file whatever the data type:
// over RAW it runs without scores (there are no raw data to score), and it
// needs at least one factor, refused with the command file.
TEST_F(FailureRun, RotJobsRotateWhatTheyReadAndNothingElse) {
    put("load.dat", "  0.70  0.10\n  0.60  0.20\n  0.10  0.80\n  0.20  0.70\n");
    put("items.txt", "item one\nitem two\nitem three\nitem four\n");
    const std::string raw = ">TITLE: ROT model with RAW data type and regression scores\n>DATA: load.dat 4 10\n"
                            ">OUTFILE: job.out SHORT\n>METRIC: CO RAW NS\n>MODEL: ROT 2 NOLABELS NOSORT\n"
                            ">ROTATE: VARIMAX\n>SCORE: REG\n>PLOT: NONE\n>FORMAT: (2F6.2)\n";
    put("job.in", raw);
    EXPECT_EQ(run("job.in"), 0) << window_;
    EXPECT_TRUE(finished());
    EXPECT_NE(get("job.out").find("Varimax Rotated Factor Loadings"), std::string::npos);
    EXPECT_EQ(get("job.out").find("Standardized regression weights"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir_ / "job.fsc"));

    for (const char* count : {"0", "-1"}) {
        put("job.in", ">TITLE: ROT without factors\n>DATA: load.dat 4 0\n>ITEMS: items.txt\n"
                      ">OUTFILE: none.out SHORT\n>METRIC: CO FLD1 NS\n>MODEL: ROT " + std::string(count) +
                          " NOLABELS SORT\n>ROTATE: VARIMAX\n>SCORE: NONE\n>PLOT: NONE\n>FORMAT: (2F6.2)\n");
        EXPECT_EQ(run("job.in"), 1) << window_;
        EXPECT_NE(window_.find("FATAL ERROR: Number of factors on >MODEL: must be at least 1\n"), std::string::npos)
            << window_;
        EXPECT_FALSE(fs::exists(dir_ / "none.out"));
    }
}

// A job of two items with metric METRIC (its lines from ">METRIC:") on
// the subjects of CELLS: each code pair (one digit per item) that many times.
void item_pair_job(FailureRun& t, const std::vector<std::pair<std::string, int>>& cells, const std::string& metric) {
    std::string data;
    int id = 0;
    for (const auto& [cell, count] : cells)
        for (int k = 0; k < count; ++k) {
            const std::string number = std::to_string(++id);
            data += std::string(7 - number.size(), ' ') + number + " " + cell + "\n";
        }
    const std::string job = ">TITLE: two items\n>DATA: two.dat 2 " + std::to_string(id) + "\n>OUTFILE: two.out LONG\n" +
                            metric +
                            ">MODEL: CMT 1 NOLABELS NOSORT\n>ROTATE: NONE\n>SCORE: NONE\n>PLOT: NONE\n"
                            ">TECHNICAL: .0001 200 .0001 200 T .2 ONE 120 T\n>OUTPUT: 1 COR\n>FORMAT: (F7.0,1X,2F1.0)\n";
    t.put_file("two.dat", data);
    t.put_file("job.in", job);
}

// Two items in a job of metric DI (or DC with the guessing parameters
// GUESSING) from the counts of their 2 x 2 table: n11 both keyed, n10 only
// the first, n01 only the second, n00 neither.
void two_item_job(FailureRun& t, int n11, int n10, int n01, int n00, const std::string& guessing) {
    std::string metric = ">METRIC: DI RAW NS\n";
    if (!guessing.empty()) {
        metric = ">METRIC: DC RAW NS\n>CPARAM: two.cpr\n";
        t.put_file("two.cpr", guessing + "\n");
    }
    item_pair_job(t, {{"11", n11}, {"10", n10}, {"01", n01}, {"00", n00}}, metric);
}

// The correlation of a two-item job: R(1, 2) of its .cor file.
double cor_12(const std::string& cor) {
    std::istringstream in(cor);
    double r11 = 0, r12 = 0;
    in >> r11 >> r12;
    return r12;
}

// Tables at the edge of the tetrachoric iteration: a strongly positive one
// keeps its sign (against the committed high-precision reference), and a
// pair whose guessing correction would empty a cell is left uncorrected:
// the files of the same data without guessing parameters, a line that says
// so on .frq and in the report.  Nothing shows NaN or an infinity.
TEST_F(FailureRun, TetrachoricsAtTheEdgeStaySignedAndFinite) {
    std::ifstream in(fs::path(ORV_TEST_DATA_DIR) / "engine" / "golden" / "tetcor" / "strong_reference.txt");
    std::string line;
    while (std::getline(in, line) && line[0] == '#') {
    }
    double n00 = 0, n01 = 0, n10 = 0, n11 = 0, rho = 0;
    std::istringstream(line) >> n00 >> n01 >> n10 >> n11 >> rho;
    ASSERT_EQ(n00, 379.5);

    two_item_job(*this, 40, 40, 0, 380, "");
    EXPECT_EQ(run("job.in"), 0) << window_;
    EXPECT_NEAR(cor_12(get("job.cor")), rho, 1e-4);
    const std::string frq = get("job.frq");
    EXPECT_NE(frq.find("1    40.50     39.50       r(tet) = 0.967     std err  0.018\n"), std::string::npos) << frq;

    two_item_job(*this, 4, 10, 0, 12, "");
    EXPECT_EQ(run("job.in"), 0) << window_;
    const std::string plain_frq = get("job.frq"), plain_cor = get("job.cor"), plain_ser = get("job.ser");
    two_item_job(*this, 4, 10, 0, 12, "0.00 0.15");
    EXPECT_EQ(run("job.in"), 0) << window_;
    const std::string note = "WARNING! Guessing correction cannot be made. Cells and r are uncorrected\n";
    const std::string guessed = get("job.frq");
    const auto at = guessed.find(note);
    ASSERT_NE(at, std::string::npos) << guessed;
    EXPECT_EQ(std::string(guessed).erase(at, note.size()), plain_frq);
    EXPECT_EQ(get("job.cor"), plain_cor);
    EXPECT_EQ(get("job.ser"), plain_ser);
    const std::string report = get("two.out");
    EXPECT_EQ(report.rfind("                !!!WARNING: GUESSING CORRECTION OF VARIABLES   1 AND   2 CANNOT BE MADE!!!\n"
                           "\n                                  Orvalis",
                           0),
              0u)
        << report;
    for (const char* file : {"two.out", "job.cor", "job.frq", "job.ser"}) {
        EXPECT_EQ(get(file).find("NaN"), std::string::npos) << file;
        EXPECT_EQ(get(file).find("Inf"), std::string::npos) << file;
    }
}

// Tables of real data that went wrong: items that few subjects have keyed
// together (their r was the start value), empty cells whose half
// observation reversed the sign of the association, and a guessing
// correction that emptied three cells of a perfectly positive table.
// Each r is the two-step root of the table the engine uses (committed
// 40-digit reference), printed as such on .frq, and has the sign of the
// association as counted.
TEST_F(FailureRun, TetrachoricsOfRareItemsAndEmptyCells) {
    std::ifstream in(fs::path(ORV_TEST_DATA_DIR) / "engine" / "golden" / "tetcor" / "rare_reference.txt");
    std::map<std::vector<int>, double> reference;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::vector<int> cells(4);  // N00 N01 N10 N11
        double rho = 0;
        std::istringstream fields(line);
        for (int& c : cells) fields >> c;
        fields >> rho;
        reference[cells] = rho;
    }
    struct Case {
        int n11, n10, n01, n00;  // both, first only, second only, neither
        std::string guessing;
    };
    // Printed before: 0.690, 0.556, 0.753, 0.035, -.409 and -.511.
    const Case cases[] = {
        {7, 3, 3, 987, ""},  {916, 84, 19084, 79916, ""}, {99, 1, 401, 9499, ""},
        {0, 2, 12, 39, ""},  {6, 27, 0, 1, ""},           {33, 0, 0, 67, "0.2 0.2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.n11 << " " << c.n10 << " " << c.n01 << " " << c.n00 << " " << c.guessing);
        const auto ref = reference.find({c.n00, c.n10, c.n01, c.n11});
        ASSERT_NE(ref, reference.end());
        two_item_job(*this, c.n11, c.n10, c.n01, c.n00, c.guessing);
        EXPECT_EQ(run("job.in"), 0) << window_;
        const double r = cor_12(get("job.cor"));
        EXPECT_NEAR(r, ref->second, 2e-3);
        EXPECT_GT(r * (double(c.n11) * c.n00 - double(c.n10) * c.n01), 0.0);
        const std::string frq = get("job.frq");
        const auto at = frq.find("r(tet) = ");
        ASSERT_NE(at, std::string::npos) << frq;
        const double printed = std::stod(frq.substr(at + 9, 5));
        EXPECT_NEAR(printed, ref->second, 2e-3);
        const std::string report = get("two.out");
        EXPECT_EQ(report.find("CANNOT BE MADE") != std::string::npos, !c.guessing.empty()) << report;
    }
}

// Polychoric correlations of rare categories: the search must not settle
// where an observed cell has no probability (the 2 x 2 table below came
// out as -0.875, the 3 x 3 ones negative too), nor lose a table whose
// likelihood lies below -999999 at every r (800,000 subjects came out as
// 0).  Each r is the two-step estimate (committed 50-digit reference)
// held within the search bound +-0.9, with the boundary warning there.
TEST_F(FailureRun, PolychoricsOfRareCategoriesKeepEveryObservedCell) {
    std::ifstream in(fs::path(ORV_TEST_DATA_DIR) / "engine" / "golden" / "polcor" / "rare_reference.txt");
    int tables = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        SCOPED_TRACE(line);
        std::istringstream fields(line);
        int rows = 0, cols = 0;
        fields >> rows >> cols;
        std::vector<std::pair<std::string, int>> cells;
        for (int a = 1; a <= rows; ++a)
            for (int b = 1; b <= cols; ++b) {
                int count = 0;
                fields >> count;
                cells.emplace_back(std::to_string(a) + std::to_string(b), count);
            }
        double rho = 0;
        fields >> rho;
        ASSERT_FALSE(fields.fail());
        item_pair_job(*this, cells, ">METRIC: OR RAW NS\n");
        EXPECT_EQ(run("job.in"), 0) << window_;
        const double r = cor_12(get("job.cor"));
        EXPECT_NEAR(r, std::clamp(rho, -0.9, 0.9), 2e-3);
        EXPECT_GT(r * rho, 0.0);
        const bool bound = std::abs(rho) >= 0.9;
        EXPECT_EQ(get("two.out").find("!!!WARNING: CORRELATION   2   1    AT BOUNDARY!!!") != std::string::npos, bound);
        ++tables;
    }
    EXPECT_EQ(tables, 5);
}

// Messages that say what to mend: a report line that names no file (a
// blank name must not open the command file itself), a missing data file
// with the system's reason; a command file saved with a byte-order mark
// runs as one without.
TEST_F(FailureRun, MessagesSayWhatToMend) {
    put("job.in", example({{">OUTFILE:", "'' SHORT"}}));
    EXPECT_EQ(run("job.in"), 1) << window_;
    EXPECT_NE(window_.find(std::string(28, ' ') + "FATAL ERROR: The >OUTFILE: line names no file\n"), std::string::npos)
        << window_;

    put("job.in", example({{">DATA:", "gone.dat 12 300"}}));
    EXPECT_EQ(run("job.in"), 1) << window_;
    EXPECT_NE(window_.find(std::string(28, ' ') + "FATAL ERROR! Problem opening Raw Data File\n" + std::string(28, ' ') +
                           "gone.dat: No such file or directory\n"),
              std::string::npos)
        << window_;

    put("job.in", example({}));
    EXPECT_EQ(run("job.in"), 0) << window_;
    const std::string plain = get("example.out");
    put("job.in", "\xEF\xBB\xBF" + example({}));
    EXPECT_EQ(run("job.in"), 0) << window_;
    EXPECT_EQ(get("example.out"), plain);
}

// The rule over odd jobs that do run: whenever the run ends with status 0,
// neither the report nor any matrix file holds NaN or an infinity.
TEST_F(FailureRun, SuccessNeverShowsValuesThatAreNotFinite) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"1 0 0 0\n0 1 0 0\n0 0 1 0\n0 0 0 1\n", "PFA 2"},                  // nothing in common
        {"0 0 0 0\n0 0 0 0\n0 0 0 0\n0 0 0 0\n", "PFA 2"},                  // no diagonal at all
        {"1 1 1 1\n1 1 1 1\n1 1 1 1\n1 1 1 1\n", "PCA 2"},                  // one variable four times
        {"1 .9 .9 .9\n.9 1 .9 .9\n.9 .9 1 .9\n.9 .9 .9 1\n", "PFA 3"},      // more factors than there are
        {"1 -1 1 -1\n-1 1 -1 1\n1 -1 1 -1\n-1 1 -1 1\n", "PFA 2"},          // singular
    };
    int succeeded = 0;
    for (const char* rotate : {"VARIMAX", "WVARIMAX", "PROMAX 3", "OBLIMIN 0", "HK 0.5"}) {
        for (const auto& [matrix, model] : cases) {
            put("m.cor", matrix);
            std::string job = cor_job(4, model, ".0001 200 .0001 200 F .2 HIR 120 T");
            job.replace(job.find(">ROTATE: NONE"), 13, std::string(">ROTATE: ") + rotate);
            job.replace(job.find(">FORMAT:"), 0, ">OUTPUT: 4 EIG RSD FAC COR\n");
            job.replace(job.find("SHORT"), 5, "LONG ");
            put("job.in", job);
            for (const char* file : {"m.out", "job.eig", "job.rsd", "job.fac", "job.phi"}) fs::remove(dir_ / file);
            const int status = run("job.in");
            if (status != 0) continue;
            ++succeeded;
            for (const char* file : {"m.out", "job.eig", "job.rsd", "job.fac", "job.phi"}) {
                const std::string text = get(file);
                EXPECT_EQ(text.find("NaN"), std::string::npos) << rotate << " " << model << " " << file << "\n"
                                                               << text;
                EXPECT_EQ(text.find("Infinity"), std::string::npos) << rotate << " " << model << " " << file;
            }
        }
    }
    std::cout << succeeded << " of 25 jobs ran to their end\n";
    EXPECT_GT(succeeded, 0);
}

// The same rule for score jobs, including those whose scores cannot be
// computed: the report, the matrix files and the .fsc file.
TEST_F(FailureRun, ScoreJobsNeverShowValuesThatAreNotFinite) {
    put("three.dat", score_data(false));
    put("dup.dat", score_data(true));
    const char* files[] = {"job.out", "job.cor", "job.eig", "job.rsd", "job.fac", "job.phi", "job.fsc"};
    int succeeded = 0, jobs = 0;
    for (const char* data : {"three.dat", "dup.dat"})
        for (const char* model : {"PFA 3", "PCA 10"})
            for (const char* rotate : {"VARIMAX", "PROMAX 3", "OBLIMIN 0"})
                for (const char* method : {"REG", "BART"}) {
                    ++jobs;
                    put("job.in", score_job(data, model, rotate, method));
                    for (const char* file : files) fs::remove(dir_ / file);
                    const int status = run("job.in");
                    ASSERT_TRUE(status == 0 || status == 1) << data << " " << model << " " << rotate << " " << method;
                    if (status == 1) continue;
                    ++succeeded;
                    for (const char* file : files) {
                        const std::string text = get(file);
                        EXPECT_EQ(text.find("NaN"), std::string::npos) << data << " " << model << " " << file;
                        EXPECT_EQ(text.find("Infinity"), std::string::npos) << data << " " << model << " " << file;
                    }
                    EXPECT_FALSE(get("job.fsc").empty()) << data << " " << model << " " << rotate << " " << method;
                }
    std::cout << succeeded << " of " << jobs << " score jobs ran to their end\n";
    EXPECT_GT(succeeded, 0);
}

// The same rule over the families of odd jobs fuzzing found: model ROT
// with every data type, score word and a factor count below 1, loadings and
// data huge but finite.  Every run ends with status 0 or 1, and after 0
// no file it wrote shows NaN or an infinity.
TEST_F(FailureRun, OddJobFamiliesNeverShowValuesThatAreNotFinite) {
    const char* files[] = {"job.out", "job.cor", "job.eig", "job.rsd", "job.fac", "job.phi", "job.fsc",
                           "job.frq", "job.ser"};
    int succeeded = 0, jobs = 0;
    auto check = [&](const std::string& what) {
        ++jobs;
        for (const char* file : files) fs::remove(dir_ / file);
        const int status = run("job.in");
        ASSERT_TRUE(status == 0 || status == 1) << what << "\n" << window_;
        if (status != 0) return;
        ++succeeded;
        for (const char* file : files) {
            const std::string text = fs::exists(dir_ / file) ? get(file) : "";
            EXPECT_EQ(text.find("NaN"), std::string::npos) << what << " " << file;
            EXPECT_EQ(text.find("Infinity"), std::string::npos) << what << " " << file;
        }
    };
    put("phi.dat", "1 .3\n.3 1\n");
    put("items.txt", "one\ntwo\nthree\nfour\n");
    auto rot_job = [&](const std::string& type, const std::string& factors, const std::string& rotate,
                       const std::string& score, const std::string& huge) {
        put("load.dat", "  0.70  0.10\n  0.60  0.20\n  0.10 " + huge + "\n  0.20  0.70\n");
        put("job.in", ">TITLE: rotation of loadings\n>DATA: load.dat 4 10\n>ITEMS: items.txt\n"
                      ">OUTFILE: job.out LONG\n>METRIC: CO " + type + " NS\n" +
                          (type == "FLD2" ? ">PHI: phi.dat\n" : "") + ">MODEL: ROT " + factors +
                          " NOLABELS SORT\n>ROTATE: " + rotate + "\n>SCORE: " + score +
                          "\n>PLOT: LOADINGS\n>TECHNICAL: .0001 200 .0001 200 T .2 ONE 120 T\n>OUTPUT: 1 FAC\n"
                          ">FORMAT: (F6.0,E14.0)\n");
    };
    for (const char* type : {"RAW", "COR", "FLD1", "FLD2"})
        for (const char* score : {"REG", "BART", "NOSCORE", "NONE"})
            for (const char* factors : {"-1", "0", "2"}) {
                rot_job(type, factors, "PROMAX 3", score, "0.80");
                check(std::string(type) + " " + score + " " + factors);
            }
    for (const char* huge : {"1e20", "1e76", "8e76", "1e150", "1e300"})
        for (const char* rotate : {"VARIMAX", "WVARIMAX", "PROMAX 3", "OBLIMIN 0", "HK 0.5"})
            for (const char* type : {"FLD1", "FLD2"}) {
                rot_job(type, "2", rotate, "NONE", huge);
                check(std::string(huge) + " " + rotate + " " + type);
            }
    // Raw data of every metric with one huge value, and a correlation file
    // with a huge entry.
    std::istringstream in(read_file(kExamples / "example.dat"));
    std::string data;
    for (std::string line; std::getline(in, line);) data += line.substr(0, 4) + line[6] + "e200" + line.substr(7) + "\n";
    put("huge.dat", data);
    for (const char* metric : {"CO", "IP", "DI", "OR", "CD"}) {
        put("job.in", example({{">DATA:", "huge.dat 12 300"},
                               {">OUTFILE:", "job.out LONG"},
                               {">METRIC:", std::string(metric) + " RAW SM"},
                               {">SCORE:", "REG"},
                               {">TECHNICAL:", ".0001 200 .0001 200 T .2 SMC 120 T\n>OUTPUT: 4 COR EIG RSD FAC"},
                               {">FORMAT:", "(F4.0,F5.0,11F3.0)"}}));
        check(std::string("huge raw data ") + metric);
    }
    put("m.cor", "1 1e300 .3\n1e300 1 .3\n.3 .3 1\n");
    put("job.in", cor_job(3, "PFA 1", ".0001 200 .0001 200 T .2 SMC 120 F"));
    check("huge correlation");
    std::cout << succeeded << " of " << jobs << " odd jobs ran to their end\n";
    EXPECT_GT(succeeded, 0);
}

// Ipsatized scores, seven 7-point items of N subjects from a fixed
// generator: every subject's scores sum to 0, so their correlation matrix
// is singular.  The generator's first subjects are the same for every N.
std::string ipsatized_job(FailureRun& t, int nsubj) {
    std::string data;
    std::uint32_t x = 2;
    char record[32];
    for (int s = 1; s <= nsubj; ++s) {
        std::snprintf(record, sizeof record, "%4d", s);
        data += record;
        for (int v = 0; v < 7; ++v) {
            x = (1103515245u * x + 12345u) & 0x7fffffffu;
            data += " " + std::to_string(1 + (x >> 16) % 7);
        }
        data += "\n";
    }
    t.put_file("ip.dat", data);
    return ">TITLE: ipsatized scores\n>DATA: ip.dat 7 " + std::to_string(nsubj) +
           "\n>OUTFILE: ip.out LONG\n>METRIC: IP RAW NS\n>MODEL: PFA 2 NOLABELS NOSORT\n>ROTATE: NONE\n"
           ">SCORE: REG\n>PLOT: NONE\n>FORMAT: (F4.0,7F2.0)\n";
}

// Regression scores of ipsatized data stop, whether or not rounding lets
// the inversion of their singular correlation matrix pass (it does for 300
// of these subjects and not for 100): no weights of asterisks, no .fsc of
// meaningless values, no "Finished".
TEST_F(FailureRun, RegressionScoresOfIpsatizedDataStop) {
    for (int nsubj : {100, 300}) {
        put("job.in", ipsatized_job(*this, nsubj));
        EXPECT_EQ(run("job.in"), 1) << nsubj << "\n" << window_;
        EXPECT_NE(window_.find(std::string(28, ' ') +
                               "FATAL ERROR: The correlation matrix cannot be inverted: no regression factor scores\n"),
                  std::string::npos)
            << window_;
        EXPECT_EQ(window_.find("DLINDS") == std::string::npos, nsubj == 300) << window_;
        EXPECT_FALSE(finished());
        EXPECT_EQ(get("ip.out").find("Standardized regression weights"), std::string::npos);
        EXPECT_EQ(get("job.fsc"), "");
    }
}

// Items whose keyed proportion has no normal deviate stop before the
// library is asked for one, naming the item: one that every subject
// answers with the keyed code, and one whose guessing parameter is not
// below its keyed proportion.
TEST_F(FailureRun, ItemsWithoutAThresholdAreNamed) {
    const struct {
        int n11, n10, n01, n00;
        const char* guessing;
        std::string first, second;
    } cases[] = {
        {40, 0, 60, 0, "", "Every subject gives variable 2 the keyed response 1:", "the variable has no variance"},
        {40, 0, 60, 0, "0.10 0.20", "Every subject gives variable 2 the keyed response 1:",
         "the variable has no variance"},
        {30, 20, 20, 30, "0.10 0.60", "The guessing parameter 0.6000 of variable 2 is not below",
         "its keyed proportion 0.5000: it cannot be corrected for guessing"},
    };
    for (const auto& c : cases) {
        two_item_job(*this, c.n11, c.n10, c.n01, c.n00, c.guessing);
        EXPECT_EQ(run("job.in"), 1) << window_;
        EXPECT_NE(window_.find(std::string(28, ' ') + "FATAL ERROR: " + c.first + "\n" + std::string(28, ' ') +
                               c.second + "\n"),
                  std::string::npos)
            << window_;
        EXPECT_EQ(window_.find("G01FAF"), std::string::npos) << window_;
        EXPECT_EQ(window_.find("Computing tetrachoric correlation for"), std::string::npos) << window_;
    }
}

// Values that the library routines would refuse under their own argument
// names are refused with the command file, named as the job names them: the
// >TECHNICAL: limits a rotation cannot take, a page too narrow for a table,
// a job of one subject or (for Pearson correlations) one variable, and an
// >OUTPUT: count larger than its codes.  What a routine takes is not
// refused: 0 iterations for Oblimin, a negative criterion for Harris-Kaiser.
TEST_F(FailureRun, ValuesTheLibrariesRefuseAreNamedAsTheJobNamesThem) {
    const char* tech = ">TECHNICAL:";
    const std::vector<std::pair<std::vector<std::pair<std::string, std::string>>, std::string>> cases{
        {{{tech, ".0001 200 -.0001 200 F .2 SMC 120 F"}},
         "Technical parameter ROT_EPS on >TECHNICAL: is -1e-04; it must be 0 or more for the Varimax rotation"},
        {{{">ROTATE:", "OBLIMIN 0"}, {tech, ".0001 200 -.0001 200 F .2 SMC 120 F"}},
         "Technical parameter ROT_EPS on >TECHNICAL: is -1e-04; it must be 0 or more for the Oblimin rotation"},
        {{{tech, ".0001 200 .0001 0 F .2 SMC 120 F"}},
         "Technical parameter ROT_MAXIT on >TECHNICAL: is 0; it must be at least 1 for the Varimax rotation"},
        {{{">ROTATE:", "HK 0.5"}, {tech, ".0001 200 .0001 0 F .2 SMC 120 F"}},
         "Technical parameter ROT_MAXIT on >TECHNICAL: is 0; it must be at least 1 for the Harris-Kaiser rotation"},
        {{{">ROTATE:", "OBLIMIN 0"}, {tech, ".0001 200 .0001 -1 F .2 SMC 120 F"}},
         "Technical parameter ROT_MAXIT on >TECHNICAL: is -1; it must be 0 or more for the Oblimin rotation"},
        {{{tech, ".0001 200 .0001 200 F .2 SMC 1 F"}},
         "Technical parameter PAGEWIDTH on >TECHNICAL: is 1; it must be at least 32 columns for the report's tables"},
        {{{tech, ".0001 200 .0001 200 F .2 SMC 120 T\n>OUTPUT: 100 COR"}},
         "The count on >OUTPUT: is 100, larger than the number of codes the line gives (1)"},
        {{{">DATA:", "example.dat 12 1"}},
         "One subject on >DATA: has no correlations: raw data need at least 2 subjects"},
        {{{">DATA:", "example.dat 1 300"}, {">MODEL:", "CMT 1 NOLABELS NOSORT"}},
         "One variable on >DATA: has no correlations: metric CO needs at least 2 variables"},
    };
    for (const auto& [lines, message] : cases) {
        put("job.in", example(lines));
        EXPECT_EQ(run("job.in"), 1) << window_;
        EXPECT_NE(window_.find(std::string(28, ' ') + "FATAL ERROR: " + message + "\n"), std::string::npos)
            << window_;
        EXPECT_EQ(window_.find("NUM Library"), std::string::npos) << window_;
        EXPECT_FALSE(fs::exists(dir_ / "example.out"));
    }
    for (const auto& lines : std::vector<std::vector<std::pair<std::string, std::string>>>{
             {{">ROTATE:", "OBLIMIN 0"}, {tech, ".0001 200 .0001 0 F .2 SMC 120 F"}},
             {{">ROTATE:", "HK 0.5"}, {tech, ".0001 200 -.0001 200 F .2 SMC 120 F"}},
             {{tech, ".0001 200 .0001 200 F .2 SMC 32 F"}, {">MODEL:", "PFA 2 LABELS NOSORT"},
              {">FORMAT:", "(F4.0,12F3.0)\n>LABELS: a b c d e f g h i j k l"}}}) {
        put("job.in", example(lines));
        EXPECT_EQ(run("job.in"), 0) << window_;
        EXPECT_TRUE(finished());
    }
}

// A data format that does not parse names the unit and the file it was to
// read, as the end-of-file message does.
TEST_F(FailureRun, BadDataFormatNamesTheUnitAndTheFile) {
    put("job.in", example({{">FORMAT:", "(F4.0,12F3.0"}}));
    EXPECT_EQ(run("job.in"), 1) << window_;
    EXPECT_NE(window_.find("Bad format: missing ')' at position 14 of format \" (F4.0,12F3.0\" (unit 10, file " +
                           at("example.dat").string() + ")\n"),
              std::string::npos)
        << window_;
}

// Scores need continuous or ipsatized raw data: a job of any other metric
// that asks for them ends normally, saying in one line, in the window and
// the report, that it has none.
TEST_F(FailureRun, ScoresOfOtherMetricsAreSaidToBeMissing) {
    two_item_job(*this, 30, 20, 20, 30, "");
    std::string job = get("job.in");
    job.replace(job.find(">MODEL: CMT 1"), 13, ">MODEL: PFA 1");
    job.replace(job.find(">SCORE: NONE"), 12, ">SCORE: REG");
    put("job.in", job);
    EXPECT_EQ(run("job.in"), 0) << window_;
    const std::string line = "No factor scores: they need raw data of metric CO or IP, not DI\n";
    EXPECT_NE(window_.find(std::string(28, ' ') + line), std::string::npos) << window_;
    EXPECT_NE(get("two.out").find("\n " + line), std::string::npos);
    EXPECT_FALSE(fs::exists(dir_ / "job.fsc"));
}

}  // namespace
