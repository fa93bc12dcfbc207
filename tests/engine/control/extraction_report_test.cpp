// PFA and PCA jobs with neither rotation nor scores, run through the real
// program from another working directory: the report and every matrix file
// byte for byte, which matrix files a job makes, and the fit statistics of
// the report worked again by hand from the .cor and .rsd files.
//
// The jobs are written by scripts/jobs/make_pfa_jobs.py.  ORV_UPDATE_GOLDEN=1
// in the environment rewrites the golden files from the current program
// instead of comparing (for a deliberate change, reviewed with git diff).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/files.h"

namespace {

namespace fs = std::filesystem;
using orv::testing::read_file;

const fs::path kJobs = fs::path(ORV_TEST_DATA_DIR) / "engine" / "jobs" / "pfa";
const fs::path kGolden = fs::path(ORV_TEST_DATA_DIR) / "engine" / "golden" / "pfa";
const char* const kExtensions[] = {"cor", "smo", "eig", "mvn", "rsd", "fac"};

using orv::testing::numbers;

// Copies the jobs to <tmp>/jobs and runs a command file by its full path
// from <tmp>/work: the report lands in the working directory, the matrix
// files beside the command file.
class ExtractionJob : public ::testing::Test {
protected:
    void SetUp() override {
        fs::copy(kJobs, dir_ / "jobs");
        fs::create_directories(dir_ / "work");
    }

    int run(const std::string& name) {
        const int status = orv::testing::run_program(dir_ / "work", ORVCALC_PATH,
                                                     "'" + (dir_ / "jobs" / (name + ".in")).string() + "'",
                                                     dir_ / "window.txt");
        window_ = read_file(dir_ / "window.txt");
        return status;
    }

    fs::path report(const std::string& name) const { return dir_ / "work" / (name + ".out"); }
    fs::path matrix(const std::string& name, const std::string& ext) const {
        return dir_ / "jobs" / (name + "." + ext);
    }

    orv::testing::TempDir dir_{"orv_pfa"};
    std::string window_;
};

void compare(const fs::path& made, const std::string& golden) {
    orv::testing::expect_golden_file(kGolden / golden, made);
}

struct JobCase {
    const char* name;
    std::set<std::string> files;  // matrix files the job makes
    bool plain_stop;              // the early end (rotation and scores NONE)
};

class Golden : public ExtractionJob, public ::testing::WithParamInterface<JobCase> {};

TEST_P(Golden, ReportAndMatrixFilesAreExact) {
    const JobCase& c = GetParam();
    ASSERT_EQ(run(c.name), 0) << window_;
    // Both ends show "Finished"; only the early end stops with its line.
    EXPECT_NE(window_.find(std::string(28, ' ') + "Finished\n"), std::string::npos) << window_;
    EXPECT_EQ(window_.find("Stop - Program terminated.") != std::string::npos, c.plain_stop) << window_;
    EXPECT_FALSE(fs::exists(dir_ / "jobs" / (std::string(c.name) + ".out")));

    compare(report(c.name), std::string(c.name) + ".out");
    for (const char* ext : kExtensions) {
        const bool wanted = c.files.count(ext) != 0;
        ASSERT_EQ(fs::exists(matrix(c.name, ext)), wanted) << c.name << "." << ext;
        if (wanted) compare(matrix(c.name, ext), std::string(c.name) + "." + ext);
    }
}

// Raw data write .cor; .rsd needs a LONG report, the unrotated .fac a PFA
// job; .smo (never for continuous raw data) and .mvn (model TRP) are listed
// but not made.  A correlation-matrix job makes no .cor and, its scores
// turned to NOSCORE, takes the normal end.
INSTANTIATE_TEST_SUITE_P(
    Extraction, Golden,
    ::testing::Values(JobCase{"pfa_short", {"cor", "eig", "fac"}, true},
                      JobCase{"pfa_long", {"cor", "eig", "rsd", "fac"}, true},
                      JobCase{"pca_short", {"cor", "eig"}, true},
                      JobCase{"pca_long", {"cor", "eig", "rsd"}, true},
                      JobCase{"pfa_heywood", {"eig", "fac"}, false}),
    [](const ::testing::TestParamInfo<JobCase>& info) { return std::string(info.param.name); });

// The number after `label` on the report line that starts with it.
double reported(const std::string& text, const std::string& label) {
    const auto at = text.find("\n" + label);
    if (at == std::string::npos) throw std::runtime_error("no line " + label);
    return std::stod(text.substr(at + 1 + label.size(), 12));
}

// Numbers of the line that follows the first line holding `title`, `skip`
// lines further on.
std::vector<double> line_after(const std::string& text, const std::string& title, int skip) {
    auto at = text.find(title);
    if (at == std::string::npos) throw std::runtime_error("no block " + title);
    for (int k = 0; k <= skip; ++k) at = text.find('\n', at) + 1;
    return numbers(text.substr(at, text.find('\n', at) - at));
}

// The statistics of the fit block, computed straight from their definitions
// on the correlations (.cor) and the residuals (.rsd, R - L L' off the
// diagonal, 1 - h^2 on it), each file with nine decimals.
class HandWorked : public ExtractionJob, public ::testing::WithParamInterface<const char*> {};

TEST_P(HandWorked, FitStatisticsFollowFromTheResiduals) {
    const std::string name = GetParam();
    ASSERT_EQ(run(name), 0) << window_;
    const std::vector<double> r = numbers(read_file(matrix(name, "cor")));
    const std::vector<double> d = numbers(read_file(matrix(name, "rsd")));
    const int n = 6;
    ASSERT_EQ(r.size(), 36u);
    ASSERT_EQ(d.size(), 36u);
    const std::string text = read_file(report(name));
    // Printed values carry four decimals; the files' rounding is far below.
    const double tol = 0.5E-4 + 1.0E-7;

    // Residuals of the upper triangle, row by row; r^2 over the same pairs.
    std::vector<double> v;
    double r2 = 0.0;
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j) {
            v.push_back(d[i * n + j]);
            r2 += r[i * n + j] * r[i * n + j];
            EXPECT_NEAR(d[i * n + j], d[j * n + i], 1.0E-9);
        }
    const double k = static_cast<double>(v.size());
    double ssr = 0.0, mean = 0.0;
    for (double x : v) {
        ssr += x * x;
        mean += x / k;
    }
    double m2 = 0.0, m3 = 0.0, m4 = 0.0;
    for (double x : v) {
        m2 += std::pow(x - mean, 2);
        m3 += std::pow(x - mean, 3);
        m4 += std::pow(x - mean, 4);
    }
    const double sd = std::sqrt(m2 / (k - 1));
    EXPECT_NEAR(reported(text, "GFI = "), 1.0 - 2.0 * ssr / (n + 2.0 * r2), tol);
    EXPECT_NEAR(reported(text, "Mean squared residual "), ssr / k, tol);
    EXPECT_NEAR(reported(text, "Root Mean Squared Residual (RMSR) = "), std::sqrt(ssr / k), tol);
    EXPECT_NEAR(reported(text, "Mean residual = "), mean, tol);
    EXPECT_NEAR(reported(text, "Standard deviation of residuals = "), sd, tol);
    EXPECT_NEAR(reported(text, "Coefficient of skewness = "), m3 / (k - 1) / std::pow(sd, 3), tol);
    EXPECT_NEAR(reported(text, "Coefficient of kurtosis = "), m4 / (k - 1) / std::pow(sd, 4) - 3.0, tol);

    // Fifteen residuals: the median is the 8th value, the hinges (h = 8 is
    // even) the means of the 4th and 5th and of the 11th and 12th.
    std::vector<double> s = v;
    std::sort(s.begin(), s.end());
    ASSERT_EQ(s.size(), 15u);
    EXPECT_NEAR(line_after(text, "Median", 0).at(0), s[7], tol);
    const std::string summary = text.substr(text.find("          25%"));
    const std::vector<double> q = numbers(summary.substr(13, summary.find("75%") - 13));
    ASSERT_EQ(q.size(), 2u);
    EXPECT_NEAR(q[0], 0.5 * (s[3] + s[4]), tol);
    EXPECT_NEAR(q[1], 0.5 * (s[10] + s[11]), tol);
    const std::string extremes = text.substr(text.find("          MIN"));
    const std::vector<double> m = numbers(extremes.substr(13, extremes.find("MAX") - 13));
    ASSERT_EQ(m.size(), 2u);
    EXPECT_NEAR(m[0], s.front(), tol);
    EXPECT_NEAR(m[1], s.back(), tol);

    // Counts of the histogram classes: class 21 holds (-0.025, 0.025].
    std::vector<double> counts;
    for (std::size_t at = text.find("     Counts:  "); at != std::string::npos;
         at = text.find("     Counts:  ", at + 1)) {
        const auto row = numbers(text.substr(at + 14, text.find('\n', at) - at - 14));
        counts.insert(counts.end(), row.begin(), row.end());
    }
    ASSERT_EQ(counts.size(), 41u);
    std::vector<double> expected(41, 0.0);
    const double lo = static_cast<double>(-0.975f);
    for (double x : v) {
        const int c = x <= lo ? 0 : x > -lo ? 40 : static_cast<int>(std::ceil((x - lo) / 0.05));
        expected[static_cast<std::size_t>(c)] += 1.0;
    }
    EXPECT_EQ(counts, expected);

    // The diagonal of .rsd gives the final communalities of the report.
    const std::vector<double> h = line_after(text, "Final communality estimates", 1);
    ASSERT_EQ(h.size(), 6u);
    for (int i = 0; i < n; ++i) EXPECT_NEAR(h[static_cast<std::size_t>(i)], 1.0 - d[i * n + i], 0.005 + 1.0E-7);
}

INSTANTIATE_TEST_SUITE_P(Extraction, HandWorked, ::testing::Values("pfa_long", "pca_long"));

// The matrix files against each other: the loadings reproduce R - residual,
// the eigenvalues sum to the number of variables, and principal components
// explain exactly the largest eigenvalues.
TEST_F(ExtractionJob, LoadingsReproduceTheCorrelationsLessTheResiduals) {
    ASSERT_EQ(run("pfa_long"), 0) << window_;
    const std::vector<double> r = numbers(read_file(matrix("pfa_long", "cor")));
    const std::vector<double> d = numbers(read_file(matrix("pfa_long", "rsd")));
    const std::vector<double> fac = numbers(read_file(matrix("pfa_long", "fac")));
    const int n = 6, m = 2;
    ASSERT_EQ(fac.size(), static_cast<std::size_t>(n * (m + 1)));
    for (int i = 0; i < n; ++i) {
        EXPECT_EQ(fac[static_cast<std::size_t>(i * (m + 1))], i + 1);
        for (int j = 0; j < n; ++j) {
            double ll = 0.0;
            for (int f = 1; f <= m; ++f) ll += fac[i * (m + 1) + f] * fac[j * (m + 1) + f];
            // L L' with four-decimal loadings; the diagonal holds 1 - h^2.
            const double target = i == j ? 1.0 - d[i * n + i] : r[i * n + j] - d[i * n + j];
            EXPECT_NEAR(ll, target, 2.0E-4) << i << "," << j;
        }
    }
}

TEST_F(ExtractionJob, ComponentsExplainTheLargestEigenvalues) {
    ASSERT_EQ(run("pca_long"), 0) << window_;
    const std::vector<double> eig = numbers(read_file(matrix("pca_long", "eig")));
    ASSERT_EQ(eig.size(), 6u);
    double trace = 0.0;
    for (double e : eig) trace += e;
    EXPECT_NEAR(trace, 6.0, 6 * 0.5E-4);
    std::vector<double> sorted = eig;
    std::sort(sorted.rbegin(), sorted.rend());
    const std::string text = read_file(report("pca_long"));
    const std::vector<double> explained = line_after(text, "Variance explained by each factor", 1);
    ASSERT_EQ(explained.size(), 2u);
    EXPECT_NEAR(explained[0], sorted[0], 0.5E-3 + 0.5E-4);
    EXPECT_NEAR(explained[1], sorted[1], 0.5E-3 + 0.5E-4);
    // One pass: one counting line in the window, one iteration reported.
    EXPECT_NE(text.find("Number of iterations during communality estimation:   1\n"), std::string::npos);
    EXPECT_NE(window_.find("Iteration:    1\n"), std::string::npos) << window_;
    EXPECT_EQ(window_.find("Iteration:    2"), std::string::npos) << window_;
}

// The Heywood job: variable 1 needs a communality above one, which the
// report flags between the variance table and the communalities.
TEST_F(ExtractionJob, HeywoodCaseIsFlagged) {
    ASSERT_EQ(run("pfa_heywood"), 0) << window_;
    const std::string text = read_file(report("pfa_heywood"));
    const auto warning = text.find("\n\n          ****WARNING !!! HEYWOOD CASE FOR VARIABLE     1 ****\n");
    ASSERT_NE(warning, std::string::npos);
    EXPECT_LT(text.find("Variance explained by each factor"), warning);
    EXPECT_GT(text.find("Final communality estimates"), warning);
    EXPECT_EQ(text.find("HEYWOOD CASE FOR VARIABLE     2"), std::string::npos);
    const std::vector<double> fac = numbers(read_file(matrix("pfa_heywood", "fac")));
    ASSERT_EQ(fac.size(), 10u);
    EXPECT_GT(fac[1], 1.0);
}

}  // namespace
