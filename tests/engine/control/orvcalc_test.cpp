// End-to-end runs of the engine program: command line, working directory,
// window text and exit status.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/files.h"

namespace {

namespace fs = std::filesystem;
using orv::testing::read_file;
using orv::testing::write_file;

class OrvcalcRun : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir_ / "jobs" / "a rather long directory name for the job files");
        fs::create_directories(dir_ / "work");
    }

    // Runs orvcalc in the work folder with `args`, standard input from
    // `input`; returns the exit status and keeps the window text.
    int run(const std::string& args, const std::string& input = "") {
        write_file(dir_ / "stdin.txt", input);
        const int status =
            orv::testing::run_program(dir_ / "work", ORVCALC_PATH, args, dir_ / "window.txt", dir_ / "stdin.txt");
        window_ = read_file(dir_ / "window.txt");
        return status;
    }

    fs::path job_dir() const { return dir_ / "jobs" / "a rather long directory name for the job files"; }

    // A ROT job on a 3 x 2 loading matrix in the job folder.
    std::string rot_job(const std::string& rotate, const std::string& score) const {
        write_file(job_dir() / "load.dat", "  .7  .1\n  .6  .2\n  .1  .8\n");
        // The data path holds blanks, so the command file quotes it.
        return ">TITLE: rotation of a given matrix\n>DATA: '" + (job_dir() / "load.dat").string() +
               "' 3 100\n>OUTFILE: rot.out SHORT\n>METRIC: CO FLD1 NOSMOOTH\n>MODEL: ROT 2 NOLABELS NOSORT\n"
               ">ROTATE: " + rotate + "\n>SCORE: " + score + "\n>PLOT: NONE\n>FORMAT: (2F4.1)\n";
    }

    orv::testing::TempDir dir_{"orv_run"};
    std::string window_;
};

TEST_F(OrvcalcRun, RotationNoneWithoutScoresEndsEarlyAndSucceeds) {
    const fs::path job = job_dir() / "rotation job.in";
    write_file(job, rot_job("NONE", "NONE"));
    // The path holds blanks: quoted here, as a shell user would.
    EXPECT_EQ(run("'" + job.string() + "'"), 0);
    EXPECT_NE(window_.find("Orvalis 2.0"), std::string::npos);
    EXPECT_NE(window_.find(std::string(28, ' ') + "Finished\nStop - Program terminated.\n"), std::string::npos)
        << window_;
    // A report name without a directory lies in the working directory.
    const std::string report = read_file(dir_ / "work" / "rot.out");
    EXPECT_NE(report.find("COMMAND LISTING"), std::string::npos);
    EXPECT_NE(report.find("The rotation is: None"), std::string::npos);
    EXPECT_FALSE(fs::exists(job_dir() / "rot.out"));
}

TEST_F(OrvcalcRun, FatalStopsFailTheRun) {
    const fs::path job = job_dir() / "bad.in";
    write_file(job, ">DATA: x.dat 3 100\n");
    EXPECT_EQ(run("'" + job.string() + "'"), 1);
    EXPECT_NE(window_.find("FATAL ERROR: Keyword  >TITLE:   missing\nStop - Program terminated.\n"),
              std::string::npos)
        << window_;
    // The report is opened only after >FORMAT:, so none was made.
    EXPECT_TRUE(fs::is_empty(dir_ / "work"));
}

TEST_F(OrvcalcRun, MissingCommandFileIsNamed) {
    EXPECT_EQ(run("'" + (job_dir() / "absent.in").string() + "'"), 1);
    EXPECT_NE(window_.find("absent.in"), std::string::npos) << window_;
    EXPECT_NE(window_.find("unit 12"), std::string::npos) << window_;
}

TEST_F(OrvcalcRun, PromptWithoutArgument) {
    const fs::path job = job_dir() / "prompted.in";
    write_file(job, rot_job("NONE", "NONE"));
    // The prompt takes the file name from standard input.
    EXPECT_EQ(run("", job.string() + "\n"), 0);
    EXPECT_NE(window_.find("Open: Select File for Unit 12"), std::string::npos) << window_;
    EXPECT_NE(window_.find("OV INPUT *.in, *.in; All Files, *.*"), std::string::npos) << window_;
    EXPECT_TRUE(fs::exists(dir_ / "work" / "rot.out"));
    // End of input cancels the prompt, and the question then counts as Yes.
    EXPECT_EQ(run(""), 1);
    EXPECT_NE(window_.find("A File Must be Selected"), std::string::npos) << window_;
}

}  // namespace
