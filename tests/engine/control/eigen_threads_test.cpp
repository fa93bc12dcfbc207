// The extraction benchmark's job (10 principal-axis factors of 1,000
// variables, the eigenvalue table, the eigenvalue and loading files) run by the real
// program on one CPU and on all the CPUs the test may use: the report and
// every matrix file byte for byte the same, whatever the eigen routines
// shared out over their threads.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/cpus.h"
#include "support/factor_matrix.h"
#include "support/files.h"

namespace {

namespace fs = std::filesystem;
using orv::testing::read_file;
using orv::testing::write_file;

// Runs the job in DIR; the exit status.
int run_job(const fs::path& dir) {
    return orv::testing::run_program(dir, ORVCALC_PATH, "pfa10.in", dir / "window.txt");
}

TEST(EigenThreadsJob, BenchmarkJobGivesTheSameFilesOnOneAndAllCpus) {
    const orv::testing::TempDir tmp("orv_eigthr");
    const fs::path root = tmp.path();
    const char* const job =
        ">TITLE: Extraction benchmark, 1000 variables, 10 factors\n"
        ">DATA: r1000.cor 1000 1000\n"
        ">OUTFILE: pfa10.out SHORT\n"
        ">METRIC: CO COR NOSMOOTH\n"
        ">MODEL: PFA 10 NOLABELS NOSORT\n"
        ">ROTATE: NONE\n"
        ">SCORE: NONE\n"
        ">PLOT: NONE\n"
        ">TECHNICAL: .0001 200 .0001 200 F .2 SMC 130 T\n"
        ">OUTPUT: 2 EIG FAC\n"
        ">FORMAT: (1000F10.6)\n";
    const char* const runs[] = {"one", "all"};
    for (const char* name : runs) {
        fs::create_directories(root / name);
        write_file(root / name / "pfa10.in", job);
    }
    ASSERT_TRUE(orv::testing::write_factor_matrix(root / "one" / "r1000.cor", 1000, 10));
    fs::copy_file(root / "one" / "r1000.cor", root / "all" / "r1000.cor");

    {
        const orv::testing::OneCpu pinned;
        ASSERT_EQ(run_job(root / "one"), 0) << read_file(root / "one" / "window.txt");
    }
    ASSERT_EQ(run_job(root / "all"), 0) << read_file(root / "all" / "window.txt");

    int compared = 0;
    for (const auto& entry : fs::directory_iterator(root / "one")) {
        const fs::path other = root / "all" / entry.path().filename();
        ASSERT_TRUE(fs::exists(other)) << other;
        EXPECT_TRUE(read_file(entry.path()) == read_file(other)) << entry.path().filename() << " differs";
        ++compared;
    }
    // The command file, the matrix, the window, the report and the two
    // matrix files.
    EXPECT_EQ(compared, 6);
    EXPECT_TRUE(fs::exists(root / "all" / "pfa10.eig"));
    EXPECT_TRUE(fs::exists(root / "all" / "pfa10.fac"));
    EXPECT_NE(read_file(root / "all" / "pfa10.out").find("Number of iterations during communality estimation"),
              std::string::npos);
}

}  // namespace
