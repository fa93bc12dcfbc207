// Arrays sized from the counts a command file declares take memory only as
// the data fill them, and an array that cannot be had is named with the
// size asked for.  The runs are held to 1.5 GB of address space, so a
// declared 30,000 x 30,000 matrix made before the data would fail them.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "support/files.h"

namespace {

using orv::testing::read_file;
using orv::testing::write_file;

class DeclaredCounts : public ::testing::Test {
protected:
    void SetUp() override {
#ifdef ORV_SANITIZED
        GTEST_SKIP() << "the sanitizers' shadow memory does not fit the address-space limit";
#endif
    }
    // Runs the job under the address-space limit; the exit status, the
    // window text kept.
    int run(const std::string& job) {
        write_file(dir_ / "job.in", job);
        const std::string command = "cd '" + dir_.path().string() + "' && ulimit -v 1500000 && '" + ORVCALC_PATH +
                                    "' job.in < /dev/null > window.txt 2>&1";
        const int status = std::system(command.c_str());
        window_ = read_file(dir_ / "window.txt");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    static std::string job(const std::string& data, const std::string& metric, const std::string& format) {
        return ">TITLE: Declared counts\n>DATA: " + data + "\n>OUTFILE: job.out SHORT\n>METRIC: " + metric +
               " NOSMOOTH\n>MODEL: PFA 2 NOLABELS NOSORT\n>ROTATE: VARIMAX\n>SCORE: NONE\n>PLOT: NONE\n>FORMAT: " +
               format + "\n";
    }
    orv::testing::TempDir dir_{"orv_counts"};
    std::string window_;
};

TEST_F(DeclaredCounts, ThirtyThousandVariablesOverAShortFileEndAtTheEndOfTheFile) {
    std::string data;
    for (int i = 1; i <= 300; ++i) data += std::to_string(1000 + i) + "  1  2  3\n";
    write_file(dir_ / "x.dat", data);
    EXPECT_EQ(run(job("x.dat 30000 300", "CO RAW", "(F4.0,3F3.0)")), 1);
    EXPECT_NE(window_.find("End of file"), std::string::npos) << window_;
    EXPECT_EQ(window_.find("memory"), std::string::npos) << window_;
}

TEST_F(DeclaredCounts, ACorrelationMatrixDeclaredLargerThanItsFileEndsAtTheEndOfTheFile) {
    write_file(dir_ / "r.cor", "1 .5 .4\n.5 1 .3\n.4 .3 1\n");
    EXPECT_EQ(run(job("r.cor 30000 100", "CO COR", "(3F4.0)")), 1);
    EXPECT_NE(window_.find("End of file"), std::string::npos) << window_;
    EXPECT_EQ(window_.find("memory"), std::string::npos) << window_;
}

TEST_F(DeclaredCounts, AnArrayThatCannotBeHadIsNamedWithItsSize) {
    write_file(dir_ / "x.dat", "1001  1  2  3\n");
    EXPECT_EQ(run(job("x.dat 30000 100000", "CO RAW", "(F4.0,3F3.0)")), 1);
    EXPECT_NE(window_.find("Out of memory: no memory for the raw data X (3000000000 values of 8 bytes)"),
              std::string::npos)
        << window_;
}

}  // namespace
