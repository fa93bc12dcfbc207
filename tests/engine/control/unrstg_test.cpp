// Principal axes and components through the real program: raw continuous
// data, rotation NONE and scores NONE, run from command file to the early
// finish; the .fac and .eig files against the high-precision reference.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/files.h"

namespace {

namespace fs = std::filesystem;
using orv::testing::read_file;

using orv::testing::numbers;

// The values after KEY on the first line of the reference case `name`.
std::vector<double> reference(const std::string& name, const std::string& key) {
    std::istringstream in(read_file(std::string(ORV_TEST_DATA_DIR) + "/engine/golden/extract/principal_axes_reference.txt"));
    bool inside = false;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("CASE ", 0) == 0) inside = line.rfind("CASE " + name + " ", 0) == 0;
        if (inside && line.rfind(key + " ", 0) == 0) return numbers(line.substr(key.size()));
    }
    return {};
}

class ExtractionRun : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* file : {"pa_raw.dat", "pfa_smc.in", "pca.in"})
            fs::copy_file(fs::path(ORV_TEST_DATA_DIR) / "engine/jobs/extract" / file, dir_ / file);
    }

    int run(const std::string& job) {
        const int status = orv::testing::run_program(dir_, ORVCALC_PATH, job, dir_ / "window.txt");
        window_ = read_file(dir_ / "window.txt");
        return status;
    }

    orv::testing::TempDir dir_{"orv_extract"};
    std::string window_;
};

TEST_F(ExtractionRun, PrincipalAxesFromRawData) {
    ASSERT_EQ(run("pfa_smc.in"), 0) << window_;
    const std::string t30(28, ' ');
    EXPECT_NE(window_.find(t30 + "Performing factor analysis\n" + t30 + "Iteration:"), std::string::npos) << window_;
    // The last state of the overwritten counter line: the reference's pass count.
    const int passes = static_cast<int>(reference("raw PFA SMC", "PASSES").at(0));
    std::string count = std::to_string(passes);
    count.insert(0, 3 - count.size(), ' ');
    EXPECT_NE(window_.find(t30 + "Iteration:  " + count + "\n" + t30 + "Finished\n"), std::string::npos)
        << window_;

    // .fac: row number and two loadings in F8.4, per variable.
    const std::vector<double> fac = numbers(read_file(dir_ / "pfa_smc.fac"));
    const std::vector<double> ref = reference("raw PFA SMC", "LOADINGS");
    ASSERT_EQ(fac.size(), 8u * 3u);
    ASSERT_EQ(ref.size(), 16u);
    for (int k = 0; k < 2; ++k) {
        double dot = 0.0;
        for (int i = 0; i < 8; ++i) dot += fac[3 * i + 1 + k] * ref[2 * i + k];
        for (int i = 0; i < 8; ++i) {
            EXPECT_EQ(fac[3 * i], i + 1);
            EXPECT_NEAR(std::copysign(1.0, dot) * fac[3 * i + 1 + k], ref[2 * i + k], 0.5e-4 + 1e-9);
        }
    }
    const std::vector<double> eig = numbers(read_file(dir_ / "pfa_smc.eig"));
    const std::vector<double> eigen = reference("raw PFA SMC", "EIGEN");
    ASSERT_EQ(eig.size(), eigen.size());
    for (std::size_t k = 0; k < eig.size(); ++k) EXPECT_NEAR(eig[k], eigen[k], 0.5e-4 + 1e-9);

    // The report's blocks in their order.
    const std::string report = read_file(dir_ / "pfa.out");
    std::size_t at = 0;
    for (const char* block : {"Eigenvalues of Initial Correlation Matrix", "Eigenvalue Plot", "Analysis of Model Fit",
                              "Unrotated Factor Loadings", "Variance explained by each factor",
                              "Final communality estimates"}) {
        const std::size_t next = report.find(block, at);
        EXPECT_NE(next, std::string::npos) << block;
        at = next;
    }
    EXPECT_EQ(report.find("Failed to Converge"), std::string::npos);
}

TEST_F(ExtractionRun, PrincipalComponentsWriteNoFacFile) {
    ASSERT_EQ(run("pca.in"), 0) << window_;
    const std::string t30(28, ' ');
    EXPECT_NE(window_.find(t30 + "Performing principal components analysis\n" + t30 + "Iteration:    1\n"),
              std::string::npos)
        << window_;
    EXPECT_FALSE(fs::exists(dir_ / "pca.fac"));
    EXPECT_EQ(numbers(read_file(dir_ / "pca.eig")).size(), 8u);
    const std::string report = read_file(dir_ / "pca.out");
    EXPECT_NE(report.find("Number of iterations during communality estimation:   1"), std::string::npos);
    // Variance explained: the three largest eigenvalues of R.
    const std::vector<double> eigen = reference("raw PCA ONE", "EIGEN");
    std::ostringstream variance;
    variance.setf(std::ios::fixed);
    variance.precision(3);
    for (int k = 0; k < 3; ++k) variance << std::string(k == 0 ? 7 : 5, ' ') << eigen[k];
    EXPECT_NE(report.find("Variance explained by each factor\n           1         2         3\n" + variance.str() + "\n"),
              std::string::npos)
        << report;
}

}  // namespace
