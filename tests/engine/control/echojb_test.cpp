// The report head: title block, command listing, MODEL and TECHNICAL
// PARAMETERS blocks.  The golden heads were checked line by line against the
// record layouts and reproduced by a gfortran program with the same formats.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "engine/control/echojb.h"
#include "engine/control/jobset.h"
#include "engine/common/units.h"
#include "runtime/units.h"
#include "support/files.h"
#include "support/library_fixture.h"

namespace orv::engine {
namespace {

namespace fs = std::filesystem;
using orv::testing::read_file;

// A job with these words and counts and JOBSET's own technical defaults.
JOBSET job_of(const std::string& LABOPT, const std::string& SMOOPT, const std::string& METRIC, int NFAC,
              const std::string& MODTYP, const std::string& SCRMTH, int NSUBJ, int NVAR, const std::string& ROTNAM) {
    JOBSET job;
    job.LABOPT = LABOPT;
    job.SMOOPT = SMOOPT;
    job.METRIC = METRIC;
    job.NFAC = NFAC;
    job.MODTYP = MODTYP;
    job.SCRMTH = SCRMTH;
    job.NSUBJ = NSUBJ;
    job.NVAR = NVAR;
    job.ROTNAM = ROTNAM;
    return job;
}

// The job the cases start from.
JOBSET plain_job() { return job_of("NOLABELS", "NS", "CO", 2, "PFA", "REG", 200, 5, "Varimax"); }

using orv::testing::lines_of;

class EchojbTest : public orv::testing::LibraryFixture {
protected:
    // Writes a command file into the scratch directory and returns its path.
    std::string job_file(const std::string& text) {
        const std::string path = dir_ + "/job.in";
        orv::testing::write_file(path, text);
        return path;
    }
    // Runs ECHOJB on the command file `job` and returns the report.
    std::string head(const JOBSET& h, const std::string& job) {
        rt::open_unit_or_fail(LUJOB, job, {rt::OpenStatus::Old, true});
        const std::string report = dir_ + "/report.out";
        rt::open_unit_or_fail(LURPT, report, {rt::OpenStatus::Replace, false});
        ECHOJB(h);
        rt::close_unit(LURPT);
        rt::close_unit(LUJOB);
        return read_file(report);
    }
    std::string fixture(const std::string& name) { return std::string(ORV_TEST_DATA_DIR) + "/engine/jobs/" + name; }
    // The command-listing records of a head: between the blank after the
    // listing's rule and the four closing empty records.
    static std::vector<std::string> listing(const std::string& report) {
        const auto lines = lines_of(report);
        std::size_t first = 0;
        while (first < lines.size() && lines[first].rfind("0===========COMMAND LISTING", 0) != 0) ++first;
        std::size_t end = first;
        while (end < lines.size() && lines[end].rfind("0==================MODEL", 0) != 0) ++end;
        return {lines.begin() + static_cast<long>(first) + 2, lines.begin() + static_cast<long>(end) - 4};
    }
    // The records of the MODEL block from the model line to the empty one.
    static std::vector<std::string> model(const std::string& report) {
        const auto lines = lines_of(report);
        std::size_t first = 0;
        while (first < lines.size() && lines[first].rfind("0==================MODEL", 0) != 0) ++first;
        std::vector<std::string> out;
        for (std::size_t i = first + 2; i < lines.size() && !lines[i].empty(); ++i) out.push_back(lines[i]);
        return out;
    }

    orv::testing::TempDir tmp_{"orv_echojb"};
    std::string dir_ = tmp_.string();
};

TEST_F(EchojbTest, GoldenHeads) {
    struct Case {
        const char* golden;
        const char* job;  // fixture under tests/engine/jobs
        JOBSET head;
    };
    JOBSET di = job_of("LABELS", "SM", "DI", 3, "PFA", "NOSCORE", 500, 10, "Promax");
    di.ROT_EPS = 0.00001;
    di.RNDSTRTS = "F";
    di.HYPER_WIDTH = 0.15;
    JOBSET trp = job_of("LABELS", "PS", "OR", 2, "TRP", "NONE", 300, 6, "None");
    trp.COMP_EPS = 0.001;
    trp.MAXIT = 50;
    trp.ROT_MAXIT = 100;
    trp.RNDSTRTS = "X";
    trp.HYPER_WIDTH = 0.1;
    const JOBSET rot = job_of("NOLABELS", "NS", "CO", 2, "ROT", "NONE", 0, 4, "Oblimin");
    for (const Case& c : {Case{"echojb_pfa_co.txt", "echo_pfa_co.in", plain_job()},
                          Case{"echojb_di_labels.txt", "echo_di_labels.in", di},
                          Case{"echojb_trp_or.txt", "echo_trp_or.in", trp},
                          Case{"echojb_rot_fld2.txt", "echo_rot_fld2.in", rot}}) {
        SCOPED_TRACE(c.golden);
        const std::string expected = read_file(std::string(ORV_TEST_DATA_DIR) + "/engine/golden/" + c.golden);
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(head(c.head, fixture(c.job)), expected);
    }
}

TEST_F(EchojbTest, ListingStopLines) {
    const std::string pad200 = std::string(200, ' ');
    auto a200 = [&](const std::string& s) { return (s + pad200).substr(0, 200); };
    struct Case {
        const char* what;
        std::string labopt, text;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"NOLABELS stops after >FORMAT:", "NOLABELS", ">TITLE: t\n>FORMAT: (F1.0)\n>LABELS: a b\n",
         {a200(">TITLE: t"), a200(">FORMAT: (F1.0)")}},
        {"LABELS goes on to >LABELS:", "LABELS", ">FORMAT: (F1.0)\n>LABELS: a b\nafter\n",
         {a200(">FORMAT: (F1.0)"), ">LABELS: Label names . . . "}},
        {"lower-case >format: does not stop", "NOLABELS", ">format: (F1.0)\n>FORMAT: (F2.0)\n",
         {a200(">format: (F1.0)"), a200(">FORMAT: (F2.0)")}},
        {">FORMAT only in column 1", "NOLABELS", " >FORMAT: x\n>FORMAT: y\n", {a200(" >FORMAT: x"), a200(">FORMAT: y")}},
        {"another labels word runs to >LABEL", "SOMETHING", ">FORMAT: (F1.0)\n>LABELX\n",
         {a200(">FORMAT: (F1.0)"), ">LABELS: Label names . . . "}},
        {"end of file ends the listing quietly", "SOMETHING", ">TITLE: t\n>FORMAT: (F1.0)",
         {a200(">TITLE: t"), a200(">FORMAT: (F1.0)")}},
        {"CR LF lines", "NOLABELS", ">TITLE: t\r\n>FORMAT: (F1.0)\r\n", {a200(">TITLE: t"), a200(">FORMAT: (F1.0)")}},
        {"long lines cut at 200", "NOLABELS", std::string(">TITLE: ") + std::string(250, 'x') + "\n>FORMAT: f\n",
         {(">TITLE: " + std::string(250, 'x')).substr(0, 200), a200(">FORMAT: f")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        JOBSET h = plain_job();
        h.LABOPT = c.labopt;
        EXPECT_EQ(listing(head(h, job_file(c.text))), c.expected);
        EXPECT_TRUE(host_.records.empty());
    }
}

TEST_F(EchojbTest, ListingEchoesAtMostHundredLines) {
    std::string text;
    for (int i = 1; i <= 120; ++i) text += "* line " + std::to_string(i) + "\n";
    text += ">FORMAT: (F1.0)\n";
    const auto lines = listing(head(plain_job(), job_file(text)));
    ASSERT_EQ(lines.size(), 100u);
    EXPECT_EQ(lines.back().substr(0, 10), "* line 100");
}

TEST_F(EchojbTest, ModelBlockByJob) {
    struct Case {
        const char* what;
        std::string metric, model, scrmth, smoopt;
        int nfac;
        std::vector<std::string> expected;  // model line .. correlation line, fields trimmed
    };
    const std::vector<Case> cases = {
        {"PCA with Bartlett scores", "CO", "PCA", "BART", "SM", 2,
         {"Model = Principal Components Analysis", "Variables are coded: Continuous", "The correlation matrix is: Smoothed",
          "Factor Scores are: Bartlett Method", "Correlations are Pearson Product Moments"}},
        {"CO with NOSCORE says None", "CO", "PFA", "NOSCORE", "NS", 1,
         {"Model = Principal Factor Analysis", "Variables are coded: Continuous",
          "The correlation matrix is: Unsmoothed", "Factor Scores are: None",
          "Correlations are Pearson Product Moments"}},
        {"IP has no score line", "IP", "PFA", "REG", "NS", 2,
         {"Model = Principal Factor Analysis", "Variables are coded: Ipsatized",
          "The correlation matrix is: Unsmoothed", "Correlations are Pearson Product Moments"}},
        {"DC", "DC", "PFA", "REG", "SM", 2,
         {"Model = Principal Factor Analysis", "Variables are coded: Dichotomous",
          "The correlation matrix is: Smoothed", "Correlations are tetrachorics corrected for guessing"}},
        {"CD", "CD", "PCA", "REG", "NS", 3,
         {"Model = Principal Components Analysis", "Variables are coded: Continous -> Dichotomous",
          "The correlation matrix is: Unsmoothed", "Correlations are tetrachorics"}},
        {"CMT writes no model line", "DI", "CMT", "REG", "NS", 2,
         {"Variables are coded: Dichotomous", "The correlation matrix is: Unsmoothed", "Correlations are tetrachorics"}},
        {"PFA with no factors writes no model line", "OR", "PFA", "REG", "NS", 0,
         {"Variables are coded: Ordered", "The correlation matrix is: Unsmoothed", "Correlations are polychorics"}},
        {"TRP writes its line with factors too", "OR", "TRP", "REG", "NS", 3,
         {"Model = Test of underlying multivariate normality", "Variables are coded: Ordered",
          "The correlation matrix is: Unsmoothed", "Correlations are polychorics"}},
        {"unknown score word leaves a blank score text", "CO", "PFA", "SCORES", "NS", 2,
         {"Model = Principal Factor Analysis", "Variables are coded: Continuous",
          "The correlation matrix is: Unsmoothed", "Factor Scores are:", "Correlations are Pearson Product Moments"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        JOBSET h = plain_job();
        h.METRIC = c.metric;
        h.MODTYP = c.model;
        h.SCRMTH = c.scrmth;
        h.SMOOPT = c.smoopt;
        h.NFAC = c.nfac;
        std::vector<std::string> got;
        for (std::string line : model(head(h, job_file(">FORMAT: (F1.0)\n")))) {
            if (line.rfind("Number of", 0) == 0 || line.rfind("The rotation", 0) == 0) continue;
            got.push_back(line.substr(0, line.find_last_not_of(' ') + 1));
        }
        EXPECT_EQ(got, c.expected);
    }
}

TEST_F(EchojbTest, TechnicalFieldsOverflowAndRotationStart) {
    JOBSET h = plain_job();
    h.COMP_EPS = 1.5;
    h.MAXIT = 12345;
    h.ROT_EPS = 0.125;
    h.RNDSTRTS = "F";
    h.HYPER_WIDTH = 0.0625;
    h.NSUBJ = 1234567;
    const std::string report = head(h, job_file(">FORMAT: (F1.0)\n"));
    for (const char* line : {"Epsilon for Communality Estimation = **********\n",
                             "Maximum Iterations for Communality Estimation =****\n",
                             "Epsilon for Rotation Accuracy = .125000000\n", "Rotate from Unrotated Orientation\n",
                             "Hyperplane width = 0.062\n", "Number of subjects = ******\n"})
        EXPECT_NE(report.find(line), std::string::npos) << line;
    EXPECT_EQ(report.find("Random"), std::string::npos);
}

}  // namespace
}  // namespace orv::engine
