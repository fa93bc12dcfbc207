// The model fit block: GFI, RMSR and residual statistics against values
// worked out by hand for a small one-factor job, the report layout, the .rsd
// file, the histogram's class bounds and jobs too small for every block.
// CTest label: threads
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "engine/control/fitstg.h"
#include "engine/common/units.h"
#include "numlib/routines1/errexit.h"
#include "numlib/routines1/m01_rank.h"
#include "numlib/routines2/umach.h"
#include "runtime/units.h"
#include "support/files.h"
#include "support/library_fixture.h"
#include "process/thread_policy.h"

namespace orv::engine {
namespace {

namespace fs = std::filesystem;
using orv::testing::read_file;

using orv::testing::lines_of;

int count_of(const std::string& text, const std::string& what) {
    int n = 0;
    for (auto p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
    return n;
}

// The one-factor job worked by hand: loadings 0.8 0.7 0.6 0.5 and the
// residuals below added to l_i l_j, so that
//   R off the diagonal  0.58 0.47 0.52 0.42 0.05 0.35
//   SSR = .0004 + .0001 + .0144 + 0 + .09 + .0025 = .1074, K = 6
//   MSR = .0179, RMSR = sqrt(.0179) = .13379
//   sum of r^2 = .3364 + .2209 + .2704 + .1764 + .0025 + .1225 = 1.1291
//   GFI = 1 - 2(.1074) / (4 + 2(1.1291)) = .96568
//   mean = -.12 / 6 = -.0200, deviations .04 .01 .14 .02 -.28 .07,
//   sum of squares .105, SD = sqrt(.105 / 5) = .14491,
//   third moment sum -.018792 -> skewness -.018792 / 5 / .14491^3 = -1.2350,
//   fourth moment sum .0065575 -> kurtosis .0065575 / 5 / .14491^4 - 3 = -.0261
//   sorted -.30 -.01 .00 .02 .05 .12: median .01, hinges -.01 and .05.
const std::vector<double> kLoadings = {0.8, 0.7, 0.6, 0.5};
const std::vector<double> kResiduals = {0.02, -0.01, 0.12, 0.00, -0.30, 0.05};

// What extraction leaves: R0 with a unit diagonal, R with the communalities
// l^2 on its diagonal, RHAT = l l'.
RUNDATA fitted(const std::vector<double>& l, const std::vector<double>& e, int npass) {
    const std::size_t n = l.size();
    RUNDATA run;
    run.R0.assign(n * n, 0.0);
    run.R.assign(n * n, 0.0);
    run.RHAT.assign(n * n, 0.0);
    std::size_t next = 0;
    for (std::size_t i = 0; i < n; ++i) {
        run.R0[i + i * n] = 1.0;
        run.R[i + i * n] = l[i] * l[i];
        run.RHAT[i + i * n] = l[i] * l[i];
        for (std::size_t j = i + 1; j < n; ++j) {
            const double rr = l[i] * l[j] + e[next++];
            run.R0[i + j * n] = run.R0[j + i * n] = rr;
            run.R[i + j * n] = run.R[j + i * n] = rr;
            run.RHAT[i + j * n] = run.RHAT[j + i * n] = l[i] * l[j];
        }
    }
    run.NPASS = npass;
    return run;
}

class FitstgTest : public testing::LibraryFixture {
protected:
    void SetUp() override {
        LibraryFixture::SetUp();
        num2::reset_options();
        rt::open_unit_or_fail(LURPT, dir_ + "/report.out", {rt::OpenStatus::Replace, false});
        int unit = LURPT;
        num1::ADVUNIT(1, unit);
    }
    void reset_library() override {
        int unit = LUCON;
        num1::ADVUNIT(1, unit);
    }

    JOBSET job(int nvar, const char* verbos, const char* output = "T", int rsd_at = 0) const {
        JOBSET j;
        j.NVAR = nvar;
        j.NFAC = 1;
        j.VERBOS = verbos;
        j.PAGEWIDTH = 130;
        j.OUTPUT = output;
        j.OUTCOD[0] = "EIG";
        if (rsd_at > 0) j.OUTCOD[static_cast<std::size_t>(rsd_at - 1)] = "RSD";
        j.JOBDIR = dir_ + "/";
        j.JOBBAS = "fit.job        ";
        return j;
    }

    std::string run(JOBSET j, RUNDATA r) {
        FITSTG(j, r);
        rt::close_unit(LURPT);
        return read_file(dir_ + "/report.out");
    }

    std::string rsd() const { return dir_ + "/fit.rsd"; }

    orv::testing::TempDir tmp_{"orv_fitstg"};
    std::string dir_ = tmp_.string();
};

// The blocks of the report that this stage lays out itself, for the job
// worked above (13 passes: 12 iterations).
const char* const kHead =
    "\n\n\n"
    "0=============Analysis of Model Fit============0\n"
    "\n"
    "Number of iterations during communality estimation:  12\n"
    "GFI = 0.9657\n";
const char* const kStatistics =
    "\n"
    "Mean squared residual   0.0179\n"
    "Root Mean Squared Residual (RMSR) =   0.1338\n"
    "Mean residual =  -0.0200\n"
    "Standard deviation of residuals =   0.1449\n"
    "Coefficient of skewness =  -1.2350\n"
    "Coefficient of kurtosis =  -0.0261\n"
    "\n"
    "\n"
    "          Five point summary of residuals \n"
    "\n"
    "                    Median\n"
    "                    0.0100\n"
    "          25%  -.0100     0.0500  75%\n"
    "          MIN  -.3000     0.1200  MAX\n"
    "\n"
    "0=============================================0\n"
    "\n\n\n\n";

TEST_F(FitstgTest, HandWorkedJobGivesItsReportAndResidualFile) {
    const std::string report = run(job(4, "LONG ", "T", 7), fitted(kLoadings, kResiduals, 13));
    const std::string expected = read_file(std::string(ORV_TEST_DATA_DIR) + "/engine/golden/fitstg_long.txt");
    EXPECT_EQ(report, expected);
    // The blocks of our own layout, checked against the worked values.
    EXPECT_EQ(report.rfind(kHead, 0), 0u);
    EXPECT_NE(report.find(kStatistics), std::string::npos);
    EXPECT_NE(report.find("Residual Covariances (1-h^2 on diagonal)"), std::string::npos);
    // -.30 falls in class 15 (mark -0.30); .00 .02 -.01 in class 21, .05 in
    // 22, .12 in 23.
    EXPECT_NE(report.find("     Counts:      0.    0.    0.    0.    1.    0.    0.    0.    0.    0.\n\n"
                          "     Class:      21    22    23    24    25    26    27    28    29    30\n"
                          "  Midpoints:    0.00  0.05  0.10  0.15  0.20  0.25  0.30  0.35  0.40  0.45\n"
                          "     Counts:      3.    1.    1.    0.    0.    0.    0.    0.    0.    0.\n"),
              std::string::npos);

    // Row i of R0 - RHAT with 1 - h^2 on the diagonal.
    EXPECT_EQ(read_file(rsd()),
              " 0.360000000  0.020000000 -0.010000000  0.120000000\n"
              " 0.020000000  0.510000000  0.000000000 -0.300000000\n"
              "-0.010000000  0.000000000  0.640000000  0.050000000\n"
              " 0.120000000 -0.300000000  0.050000000  0.750000000\n");
}

TEST_F(FitstgTest, ResidualMatrixAndFileOnlyForLongReportsThatAskForThem) {
    const std::string long_report = [&] {
        JOBSET j = job(4, "LONG ", "F");
        RUNDATA r = fitted(kLoadings, kResiduals, 13);
        FITSTG(j, r);
        rt::close_unit(LURPT);
        return read_file(dir_ + "/report.out");
    }();
    ASSERT_FALSE(fs::exists(rsd()));
    struct Case {
        const char* verbos;
        const char* output;
        int rsd_at;
        bool table, file;
    } cases[] = {
        {"LONG ", "T", 1, true, true},  {"LONG ", "T", 7, true, true},   {"LONG ", "T", 8, true, false},
        {"LONG ", "F", 1, true, false}, {"SHORT", "T", 1, false, false}, {"LONG ", "T", 0, true, false},
        {"long ", "T", 1, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.verbos) + c.output + std::to_string(c.rsd_at));
        fs::remove(rsd());
        rt::open_unit_or_fail(LURPT, dir_ + "/report.out", {rt::OpenStatus::Replace, false});
        const std::string report = run(job(4, c.verbos, c.output, c.rsd_at), fitted(kLoadings, kResiduals, 13));
        EXPECT_EQ(report.find("Residual Covariances") != std::string::npos, c.table);
        EXPECT_EQ(fs::exists(rsd()), c.file);
        if (c.table) {
            EXPECT_EQ(report, long_report);
        } else {
            // The short report is the long one without the residual table.
            EXPECT_EQ(report.rfind(kHead, 0), 0u);
            EXPECT_EQ(report.find(kStatistics), std::string(kHead).size());
            EXPECT_TRUE(long_report.ends_with(report.substr(report.find(kStatistics))));
        }
    }
}

TEST_F(FitstgTest, PerfectFitPutsEveryResidualInTheMiddleClass) {
    const std::string report = run(job(4, "SHORT"), fitted(kLoadings, std::vector<double>(6, 0.0), 2));
    EXPECT_NE(report.find("estimation:   1\nGFI = 1.0000\n"), std::string::npos);
    EXPECT_NE(report.find("Mean squared residual   0.0000\nRoot Mean Squared Residual (RMSR) =   0.0000\n"),
              std::string::npos);
    EXPECT_NE(report.find("  Midpoints:    0.00  0.05"), std::string::npos);
    EXPECT_NE(report.find("     Counts:      6.    0.    0."), std::string::npos);
}

// Class 1 takes values up to the widened single-precision -0.975, class 41
// values above +0.975 so widened; -0.975 as a double lies above the bound.
TEST_F(FitstgTest, HistogramBoundsAreTheWidenedSinglePrecisionValue) {
    const double bound = static_cast<double>(0.975f);
    ASSERT_EQ(bound, 0.9750000238418579);
    // Zero loadings: each residual is the correlation itself.
    const std::vector<double> zero(4, 0.0);
    const std::vector<double> e = {-bound, -0.975, std::nextafter(bound, 2.0), 0.9, 0.975, -2.0};
    const std::string report = run(job(4, "SHORT"), fitted(zero, e, 2));
    const auto lines = lines_of(report);
    std::vector<std::string> counts;
    for (const auto& line : lines)
        if (line.starts_with("     Counts:")) counts.push_back(line);
    ASSERT_EQ(counts.size(), 5u);
    // Class 1: -bound and -2.0; class 2: -0.975; class 39: 0.9; class 40:
    // 0.975; class 41: just above the bound.
    EXPECT_EQ(counts[0], "     Counts:      2.    1.    0.    0.    0.    0.    0.    0.    0.    0.");
    EXPECT_EQ(counts[3], "     Counts:      0.    0.    0.    0.    0.    0.    0.    0.    1.    1.");
    EXPECT_EQ(counts[4], "     Counts:      1.");
}

// Fewer than five residuals leave out the five-point summary, fewer than two
// the residual statistics as well, and none the histogram too; the run goes
// on to the end of the block either way.
TEST_F(FitstgTest, SmallJobsSkipTheBlocksTheyCannotFill) {
    struct Case {
        int nvar;
        bool statistics, summary, histogram;
    } cases[] = {
        {1, false, false, false}, {2, false, false, true}, {3, true, false, true}, {4, true, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.nvar);
        rt::open_unit_or_fail(LURPT, dir_ + "/report.out", {rt::OpenStatus::Replace, false});
        const std::vector<double> l(kLoadings.begin(), kLoadings.begin() + c.nvar);
        const std::vector<double> e(kResiduals.begin(), kResiduals.begin() + c.nvar * (c.nvar - 1) / 2);
        std::string report;
        ASSERT_NO_THROW(report = run(job(c.nvar, "LONG ", "T", 1), fitted(l, e, 5)));
        EXPECT_EQ(report.rfind("\n\n\n0=============Analysis of Model Fit============0\n\n"
                               "Number of iterations during communality estimation:   4\nGFI = ",
                               0),
                  0u);
        EXPECT_EQ(report.find("Mean squared residual") != std::string::npos, c.statistics);
        EXPECT_EQ(report.find("Five point summary") != std::string::npos, c.summary);
        EXPECT_EQ(report.find("Distribution of Residuals") != std::string::npos, c.histogram);
        EXPECT_EQ(count_of(report, "     Counts:"), c.histogram ? 5 : 0);
        EXPECT_EQ(lines_of(read_file(rsd())).size(), static_cast<std::size_t>(c.nvar));
        EXPECT_TRUE(host_.records.empty());
    }
    // Three residuals .02 -.01 .12: mean .0433, SD sqrt(.0092667 / 2)
    // = .0681.
    rt::open_unit_or_fail(LURPT, dir_ + "/report.out", {rt::OpenStatus::Replace, false});
    const std::string report = run(job(3, "SHORT"), fitted({0.8, 0.7, 0.6}, {0.02, -0.01, 0.12}, 3));
    EXPECT_NE(report.find("Mean residual =   0.0433\nStandard deviation of residuals =   0.0681\n"),
              std::string::npos);
}

// A job of 231 variables whose residuals tie often, with zeros of either
// sign (variable 0 loads on no factor and correlates -0 with the others):
// the report and the .rsd file on 2, 3 and 8 threads are those of one
// thread, the ranking of the residuals on as many threads.
TEST_F(FitstgTest, LargeJobGivesTheSameReportAndFileOnAnyThreads) {
    const int n = 231;
    const auto size = static_cast<std::size_t>(n);
    std::vector<double> l(size, 0.0), e;
    for (std::size_t i = 1; i < size; ++i) l[i] = 0.3 + 0.5 * static_cast<double>(i % 11) / 11.0;
    for (std::size_t i = 0; i < size; ++i)
        for (std::size_t j = i + 1; j < size; ++j)
            e.push_back(i == 0 ? 0.0 : static_cast<double>(static_cast<int>((i * 7 + j * 3) % 9) - 4) / 64.0);
    RUNDATA base = fitted(l, e, 7);
    for (std::size_t j = 1; j < size; ++j) base.R0[j * size] = base.R0[j] = base.R[j * size] = base.R[j] = -0.0;

    std::string expected;
    for (const int threads : {1, 2, 3, 8}) {
        SCOPED_TRACE(threads);
        proc::set(proc::Setting::kRankThreads, threads);
        fs::remove(rsd());
        rt::open_unit_or_fail(LURPT, dir_ + "/report.out", {rt::OpenStatus::Replace, false});
        JOBSET j = job(n, "LONG ", "T", 1);
        RUNDATA r = base;
        FITSTG(j, r, threads);
        rt::close_unit(LURPT);
        const std::string got = read_file(dir_ + "/report.out") + read_file(rsd());
        if (threads == 1)
            expected = got;
        else
            EXPECT_EQ(got, expected);
    }
    proc::set(proc::Setting::kRankThreads, 0);
    // The hinges fall among ties; variable 0's residuals keep their sign.
    EXPECT_NE(expected.find("          25%  -.0312     0.0312  75%\n"), std::string::npos);
    EXPECT_NE(expected.find("-0.000000000"), std::string::npos);
}

TEST_F(FitstgTest, ReproducedMatrixOnThreadsIsTheSumOverFactorsInOrder) {
    const int n = 203, f = 7;
    const auto size = static_cast<std::size_t>(n);
    std::vector<double> l(size * f);
    for (std::size_t k = 0; k < l.size(); ++k) l[k] = std::sin(static_cast<double>(k) * 0.37) * 0.9;
    std::vector<double> expected(size * size);
    for (std::size_t j = 0; j < size; ++j)
        for (std::size_t i = 0; i < size; ++i) {
            double s = 0.0;
            for (std::size_t k = 0; k < f; ++k) s += l[i + size * k] * l[j + size * k];
            expected[i + size * j] = s;
        }
    for (const int threads : {1, 2, 3, 8}) {
        std::vector<double> rhat{1.0, 2.0};
        reproduce(l, n, f, rhat, threads);
        ASSERT_EQ(rhat.size(), expected.size());
        EXPECT_EQ(std::memcmp(rhat.data(), expected.data(), expected.size() * sizeof(double)), 0) << threads;
    }
    EXPECT_EQ(fit_threads(n, 3), 3);
    EXPECT_EQ(fit_threads(4, 0), 1);
}

}  // namespace
}  // namespace orv::engine
