// The factor score stage: the loadings each rotation hands on, the .fsc file
// and the report at 1 and 8 threads, the stops and what they leave on disk,
// and whole score jobs through the program (scripts/jobs/make_score_jobs.py)
// compared byte for byte with tests/engine/golden/scores/<job>/: exit
// status, window, report and every file made beside the command file.
// ORV_UPDATE_GOLDEN=1 rewrites the golden files from the runs; read every
// changed line before keeping them.
// CTest label: threads
#include <gtest/gtest.h>

#include <algorithm>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "engine/control/jobset.h"
#include "engine/control/rundata.h"
#include "engine/control/scrstg.h"
#include "engine/control/stages.h"
#include "engine/stats/regscr.h"
#include "numlib/routines1/errexit.h"
#include "numlib/routines1/g02baf.h"
#include "numlib/routines2/erset.h"
#include "numlib/routines2/umach.h"
#include "runtime/io_error.h"
#include "runtime/units.h"
#include "support/engine_run.h"
#include "support/library_fixture.h"

namespace orv::engine {
namespace {

namespace fs = std::filesystem;
using Matrix = std::vector<double>;

const fs::path kJobs = fs::path(ORV_TEST_DATA_DIR) / "engine" / "jobs" / "scores";
const fs::path kGolden = fs::path(ORV_TEST_DATA_DIR) / "engine" / "golden" / "scores";

using orv::testing::JobFolderRun;
using orv::testing::Outputs;
using orv::testing::read_file;
using orv::testing::write_file;

using orv::testing::has;
using orv::testing::lines_of;
using orv::testing::numbers;
using orv::testing::padded;


// ---------------------------------------------------------------------------
// The stage in this process.

// A job of 10 variables and 3 factors on the ten scores of three.dat,
// repeated with small shifts into NSUBJ subjects; the communalities of the
// loadings L on the diagonal of R, as extraction leaves them.
class ScoreStage : public testing::LibraryFixture {
protected:
    void SetUp() override {
        LibraryFixture::SetUp();
        host_.records.clear();
        rt::open_unit_or_fail(11, (dir_ / "report.out").string(), {rt::OpenStatus::Replace, false});
        int report = 11;
        num1::ADVUNIT(1, report);
        job_.NVAR = 10;
        job_.NFAC = 3;
        job_.MODTYP = "PFA ";
        job_.METRIC = "CO";
        job_.DATTYP = "RAW ";
        job_.LABOPT = padded("NOLABELS", 15);
        job_.SRTOPT = padded("NOSORT", 15);
        job_.ROTMTH = padded("NONE", 8);
        job_.SCRMTH = padded("REG", 8);
        job_.PLTOPT = padded("SCORES", 8);
        job_.PAGEWIDTH = 120;
        job_.JOBDIR = dir_.string() + "/";
        job_.JOBBAS = padded("job.in", 15);
    }
    void reset_library() override {
        num2::reset_error_machinery();
        num2::reset_options();
    }

    void data(int nsubj) {
        job_.NSUBJ = nsubj;
        run_.RAWDAT = true;
        const Matrix base = numbers(read_file(kJobs / "three.dat"));
        const int rows = static_cast<int>(base.size()) / 11;
        run_.X.resize(static_cast<std::size_t>(nsubj) * 10);
        run_.SUBJID.resize(static_cast<std::size_t>(nsubj));
        for (int i = 0; i < nsubj; ++i) {
            run_.SUBJID[i] = i + 1 + (i % 4) * 0.25;  // fractions round to the nearest whole number
            for (int j = 0; j < 10; ++j) run_.X[i + j * nsubj] = base[(i % rows) * 11 + 1 + j] + 0.01 * (i / rows);
        }
        run_.XBAR.assign(10, 0.0);
        run_.XSTD.assign(10, 0.0);
        run_.SSP.assign(100, 0.0);
        run_.R.assign(100, 0.0);
        int ifail = 0;
        num1::G02BAF(nsubj, 10, run_.X, nsubj, run_.XBAR, run_.XSTD, run_.SSP, 10, run_.R, 10, ifail);
        // Loadings of the generating structure.
        run_.L = {0.8, 0.7, 0.7, 0.6, 0.0, 0.1, 0.0, 0.0, 0.0, 0.0,  //
                  0.0, 0.1, 0.0, 0.0, 0.8, 0.7, 0.6, 0.0, 0.2, 0.0,  //
                  0.0, 0.0, 0.0, 0.2, 0.0, 0.0, 0.0, 0.8, 0.7, 0.6};
        for (int j = 0; j < 10; ++j) {
            double h = 0.0;
            for (int k = 0; k < 3; ++k) h += run_.L[j + k * 10] * run_.L[j + k * 10];
            run_.R[j + j * 10] = h;
        }
    }
    fs::path fsc() const { return dir_ / "job.fsc"; }
    std::string report() {
        rt::close_unit(11);
        return read_file(dir_ / "report.out");
    }
    // SCRSTG and SCPSTG on THREADS threads; false when the run stopped.
    bool stage(int threads) {
        try {
            SCRSTG(job_, run_, threads);
            SCPSTG(job_, run_);
        } catch (const rt::Stop& stop) {
            EXPECT_EQ(stop.exit_status, 1);
            return false;
        }
        return true;
    }

    orv::testing::TempDir dir_{"orv_scrstg"};
    JOBSET job_;
    RUNDATA run_;
};

// The report (weights, correlations, plots), the window and the .fsc file
// are the same bytes on 1 and 8 threads; the .fsc records hold the rounded
// identifiers and the scores.
TEST_F(ScoreStage, SameFilesOnOneAndEightThreads) {
    std::map<int, std::string> reports, files, windows;
    for (int threads : {1, 8}) {
        TearDown();
        SetUp();
        run_ = RUNDATA{};
        data(3000);
        ASSERT_TRUE(stage(threads));
        reports[threads] = report();
        files[threads] = read_file(fsc());
        for (const std::string& r : host_.records) windows[threads] += r + "\n";
    }
    EXPECT_EQ(reports[8], reports[1]);
    EXPECT_EQ(files[8], files[1]);
    EXPECT_EQ(windows[8], windows[1]);
    EXPECT_TRUE(has(reports[1], " Factor Score Plot"));
    EXPECT_TRUE(has(reports[1], "Factor X =   2   Factor Y =  3"));

    const std::vector<std::string> records = lines_of(files[1]);
    ASSERT_EQ(records.size(), 3000u);
    char want[64];
    for (int i : {0, 1, 2, 3, 1234, 2999}) {
        const double id = i + 1 + (i % 4) * 0.25;
        std::snprintf(want, sizeof want, "%15lld%8.3f%8.3f%8.3f", std::llround(id), run_.SC[i], run_.SC[i + 3000],
                      run_.SC[i + 6000]);
        EXPECT_EQ(records[i], want) << i;
    }
    EXPECT_EQ(records[2].substr(0, 15), std::string(14, ' ') + "4");  // 3.5 rounds up
}

// Which loadings each rotation hands to the scores: the unrotated ones for
// NONE and for a word of no stage, A0 after an orthogonal rotation, the
// structure (regression) or pattern (Bartlett) after an oblique one.
TEST_F(ScoreStage, LoadingsByRotationAndMethod) {
    data(400);
    const Matrix r = run_.R;
    auto scaled = [&](double f) {
        Matrix m = run_.L;
        for (std::size_t i = 0; i < m.size(); ++i) m[i] *= f + 0.01 * static_cast<double>(i % 7);
        return m;
    };
    const Matrix L = run_.L, A0 = scaled(0.9), S0 = scaled(0.8), P0 = scaled(0.7);
    const struct {
        const char* rotation;
        const char* method;
        const Matrix* used;
    } cases[] = {{"NONE", "REG", &L},       {"NONE", "BART", &L},     {"VARIMAX", "REG", &A0},
                 {"WVARIMAX", "BART", &A0}, {"PROMAX", "REG", &S0},   {"PROMAX", "BART", &P0},
                 {"OBLIMIN", "REG", &S0},   {"HK", "BART", &P0},      {"QUARTIMA", "REG", &L}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.rotation) + " " + c.method);
        job_.ROTMTH = padded(c.rotation, 8);
        job_.SCRMTH = padded(c.method, 8);
        job_.PLTOPT = padded("NONE", 8);
        run_.R = r;
        run_.L = L;
        run_.A0 = A0;
        run_.S0 = S0;
        run_.P0 = P0;
        ASSERT_TRUE(stage(1));
        Matrix want(400 * 3), rr = r;
        FSCORE(std::string(c.method) == "REG" ? ScoreMethod::Regression : ScoreMethod::Bartlett, run_.X, run_.XBAR,
               run_.XSTD, 10, 400, 3, rr, *c.used, want, 11, 120, "PFA ", 1);
        ASSERT_EQ(run_.SC.size(), want.size());
        for (std::size_t i = 0; i < want.size(); ++i) ASSERT_EQ(run_.SC[i], want[i]) << i;
    }
}

// Without raw data (a loading matrix read from a file, whatever the data
// type) there is nothing to score: no scores, no .fsc, no plots, no
// message.  Raw data of the other metrics score nothing either, and say so.
TEST_F(ScoreStage, SkippedWithoutRawDataOrForOtherMetrics) {
    data(100);
    run_.RAWDAT = false;
    for (const char* dattyp : {"FLD1", "FLD2", "RAW "}) {
        job_.DATTYP = dattyp;
        ASSERT_TRUE(stage(1));
    }
    EXPECT_TRUE(host_.records.empty());
    // Raw data of the other metrics: one line says why there are no scores.
    run_.RAWDAT = true;
    std::string lines;
    for (const char* metric : {"DI", "DC", "CD", "OR"}) {
        job_.METRIC = metric;
        ASSERT_TRUE(stage(1));
        const std::string text = std::string("No factor scores: they need raw data of metric CO or IP, not ") + metric;
        const auto& w = host_.records;
        EXPECT_EQ(std::count(w.begin(), w.end(), std::string(29, ' ') + text), 1) << metric;
        lines += "\n " + text + "\n";
    }
    EXPECT_FALSE(run_.SCORED);
    EXPECT_FALSE(fs::exists(fsc()));
    EXPECT_EQ(report(), lines);
}

// A stop leaves an empty .fsc file, never one of an earlier run.
TEST_F(ScoreStage, StopsLeaveAnEmptyScoreFile) {
    data(200);
    const Matrix r = run_.R;
    const struct {
        const char* method;
        int variable;    // communality set to 1.0 (0: none)
        int flat;        // factor without loadings (0: none)
        const char* message;
    } cases[] = {{"BART", 4, 0, "FATAL ERROR: The communality of variable    4 is not below 1.0:"},
                 {"REG", 0, 2, "FATAL ERROR: The scores of factor    2 have no variance"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.method);
        write_file(fsc(), "    1   0.100\n    2  -0.100\n");
        host_.records.clear();
        job_.SCRMTH = padded(c.method, 8);
        run_.R = r;
        if (c.variable > 0) run_.R[(c.variable - 1) * 11] = 1.0;
        if (c.flat > 0)
            for (int j = 0; j < 10; ++j) run_.L[j + (c.flat - 1) * 10] = 0.0;
        EXPECT_FALSE(stage(1));
        EXPECT_FALSE(run_.SCORED);
        EXPECT_EQ(read_file(fsc()), "");
        bool said = false;
        for (const std::string& record : host_.records) said = said || has(record, c.message);
        EXPECT_TRUE(said);
    }
    EXPECT_FALSE(has(report(), "Factor Score Plot"));
}

// ---------------------------------------------------------------------------
// Whole jobs through the program.

void compare_with_golden(const std::string& job, const Outputs& got) {
    orv::testing::expect_golden_folder(kGolden / job, got);
}

class ScoreJob : public ::testing::TestWithParam<const char*> {};

TEST_P(ScoreJob, MatchesItsGoldenFiles) {
    JobFolderRun run(kJobs);
    compare_with_golden(GetParam(), run.run(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Scores, ScoreJob,
                         ::testing::Values("reg_vm_sort", "bart_ob_sort", "reg_pm_nsrt", "bart_wvm_pca", "bart_hk_ip",
                                           "reg_onefac", "bart_unknown", "reg_pca_none", "reg_ids", "reg_ip_fail",
                                           "rot_skipped"));

// The listing's item lines: sign word, loading, the text cut to 200
// characters; the three score plots in pair order, each with its caption.
TEST(ScoreJobs, ListingAndPlotsOfAnObliqueJob) {
    JobFolderRun run(kJobs);
    const Outputs out = run.run("bart_ob_sort");
    ASSERT_EQ(out.at("status"), "0\n");
    const std::string& report = out.at("report");
    const std::size_t listing = report.find(" SORTED ITEMS");
    const std::size_t weights = report.find("Bartlett method, Maximum Likelihood, and Weighted Least Squares");
    ASSERT_NE(listing, std::string::npos);
    ASSERT_NE(weights, std::string::npos);
    EXPECT_LT(listing, weights);
    std::string long_text = "Numbers ";
    for (int k = 0; k < 30; ++k) long_text += "and sums ";
    int items = 0;
    for (const std::string& line : lines_of(report.substr(listing, weights - listing))) {
        if (!has(line, "  ITEM: ")) continue;
        ++items;
        EXPECT_TRUE(line.rfind("TRUE", 0) == 0 || line.rfind("FALSE", 0) == 0) << line;
        EXPECT_EQ(line.size(), (line[0] == 'T' ? 4u : 5u) + 8u + 8u + 200u) << line;
        if (has(line, "Numbers and sums")) {
            EXPECT_EQ(line.substr(line.size() - 200), long_text.substr(0, 200));
        }
    }
    EXPECT_EQ(items, 10);
    // The pattern plots (PLOT ALL) come before the scores; each score plot
    // is followed by its caption.
    std::size_t at = weights;
    for (const char* caption : {"Factor X =   1   Factor Y =  2", "Factor X =   1   Factor Y =  3",
                                "Factor X =   2   Factor Y =  3"}) {
        const std::size_t plot = report.find(" Factor Score Plot", at);
        ASSERT_NE(plot, std::string::npos) << caption;
        const std::size_t found = report.find(caption, plot);
        ASSERT_NE(found, std::string::npos) << caption;
        EXPECT_EQ(report.find(" Factor Score Plot", plot + 1), report.find(" Factor Score Plot", found));
        at = found;
    }
    EXPECT_EQ(report.find(" Factor Score Plot", at), std::string::npos);
    EXPECT_EQ(lines_of(out.at("bart_ob_sort.fsc")).size(), 240u);
}

// One factor under SORT: items in item order with the unrotated loadings,
// one score per .fsc record, no score plot.
TEST(ScoreJobs, OneFactorListsInItemOrderAndDrawsNoPlot) {
    JobFolderRun run(kJobs);
    const Outputs out = run.run("reg_onefac");
    ASSERT_EQ(out.at("status"), "0\n");
    const std::string& report = out.at("report");
    std::vector<std::string> texts;
    for (const std::string& line : lines_of(report))
        if (has(line, "  ITEM: ")) texts.push_back(line.substr(line.find("  ITEM: ") + 8, 20));
    ASSERT_EQ(texts.size(), 10u);
    EXPECT_EQ(texts[0], "I often read for ple");
    EXPECT_EQ(texts[4], "I can turn shapes ar");
    EXPECT_EQ(texts[9], "I keep my accounts i");
    EXPECT_FALSE(has(report, "Factor Score Plot"));
    for (const std::string& line : lines_of(out.at("reg_onefac.fsc"))) EXPECT_EQ(line.size(), 23u) << line;
}

// Identifiers: the nearest whole number (halves away from zero), asterisks
// when it does not fit I15 or is beyond 64 bits.
TEST(ScoreJobs, IdentifiersRoundOrFillTheirFieldWithAsterisks) {
    JobFolderRun run(kJobs);
    const Outputs out = run.run("reg_ids");
    ASSERT_EQ(out.at("status"), "0\n");
    const std::vector<std::string> records = lines_of(out.at("reg_ids.fsc"));
    ASSERT_EQ(records.size(), 12u);
    const char* want[] = {"17", "3", "-4", "0", "-1", "123456789012345", "999999999999999", "***************",
                          "-99999999999999", "***************", "***************", "42"};
    for (std::size_t i = 0; i < 12; ++i) {
        std::string field(15 - std::string(want[i]).size(), ' ');
        EXPECT_EQ(records[i].substr(0, 15), field + want[i]) << i;
    }
}

// Regression scores of ipsatized data: the correlation matrix is singular;
// the library's message, the fatal message, status 1, no weights block, and
// the .fsc of an earlier run emptied.
TEST(ScoreJobs, SingularCorrelationMatrixFailsTheRun) {
    JobFolderRun run(kJobs);
    write_file(run.jobs_dir() / "reg_ip_fail.fsc", "              1   0.500  -0.500\n");
    const Outputs out = run.run("reg_ip_fail");
    EXPECT_EQ(out.at("status"), "1\n");
    const std::string& window = out.at("window");
    EXPECT_TRUE(has(window, "ERROR 1 from DLINDS")) << window;
    EXPECT_TRUE(has(window, "FATAL ERROR: The correlation matrix cannot be inverted: no regression factor scores"));
    EXPECT_LT(window.rfind("from DLINDS"), window.find("FATAL ERROR: The correlation matrix"));
    EXPECT_TRUE(has(window, "Stop - Program terminated."));
    EXPECT_FALSE(has(out.at("report"), "Standardized regression weights"));
    EXPECT_EQ(read_file(run.jobs_dir() / "reg_ip_fail.fsc"), "");
}

// A ROT job asking for scores and score plots: the listing, no scores.
TEST(ScoreJobs, LoadingsInputSkipsTheScores) {
    JobFolderRun run(kJobs);
    const Outputs out = run.run("rot_skipped");
    EXPECT_EQ(out.at("status"), "0\n");
    EXPECT_FALSE(has(out.at("window"), "Computing"));
    EXPECT_TRUE(has(out.at("report"), " SORTED ITEMS"));
    EXPECT_FALSE(has(out.at("report"), "Standardized regression weights"));
    EXPECT_FALSE(has(out.at("report"), "Factor Score Plot"));
    EXPECT_EQ(out.count("rot_skipped.fsc"), 0u);
}

}  // namespace
}  // namespace orv::engine
