// Counts declared on a command file that its files cannot meet: the run
// stops at the end of the file, quickly and naming both what the file held
// and the count declared, with memory that grew only with what was read.
// Outside the sanitizer builds the runs are held to 1.5 GB of address
// space, so an array made at a declared size of gigabytes would fail them;
// under the sanitizers, whose operator new ends the process on a block it
// cannot give, the exit status and the message show that none was asked.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "support/files.h"

namespace {

#ifdef ORV_SANITIZED
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

using orv::testing::read_file;
using orv::testing::write_file;

class DeclaredCounts : public ::testing::Test {
protected:
    // Runs the job, under the address-space limit where it applies; the exit
    // status, the window text kept.
    int run(const std::string& job) {
        write_file(dir_ / "job.in", job);
        const std::string limit = kSanitized ? "" : "ulimit -v 1500000 && ";
        const std::string command = "cd '" + dir_.path().string() + "' && " + limit + "'" + ORVCALC_PATH +
                                    "' job.in < /dev/null > window.txt 2>&1";
        const int status = std::system(command.c_str());
        window_ = read_file(dir_ / "window.txt");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // A job; EXTRA lines stand after >DATA: (the item line) and after
    // >METRIC: (the guessing-parameter line or >PHI:).
    static std::string job(const std::string& data, const std::string& metric, const std::string& format,
                           const std::string& model = "PFA 2 NOLABELS NOSORT", const std::string& items = "",
                           const std::string& after_metric = "", const std::string& labels = "") {
        return ">TITLE: Declared counts\n>DATA: " + data + "\n" + items + ">OUTFILE: job.out SHORT\n>METRIC: " +
               metric + " NOSMOOTH\n" + after_metric + ">MODEL: " + model +
               "\n>ROTATE: VARIMAX\n>SCORE: NONE\n>PLOT: NONE\n>FORMAT: " + format + "\n" + labels;
    }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    orv::testing::TempDir dir_{"orv_counts"};
    std::string window_;
};

constexpr const char* kFive = "1001  1  0  1\n1002  0  1  1\n1003  1  1  0\n1004  0  0  1\n1005  1  0  0\n";

TEST_F(DeclaredCounts, RawDataFarShortOfTheSubjectsOrVariables) {
    write_file(dir_ / "x.dat", kFive);
    EXPECT_EQ(run(job("x.dat 3 2147483647", "CO RAW", "(F4.0,3F3.0)")), 1);
    EXPECT_NE(window_.find("FATAL ERROR: File " + path("x.dat") +
                           " ends after 5 records, with 5 of the 2147483647 subjects declared on >DATA:"),
              std::string::npos)
        << window_;
    // Each subject would take 715827883 records.
    EXPECT_EQ(run(job("x.dat 2147483647 5", "CO RAW", "(F4.0,3F3.0)")), 1);
    EXPECT_NE(window_.find("ends after 5 records, with 0 of the 5 subjects declared on >DATA:"), std::string::npos)
        << window_;
    // A subject over two records, cut by the end of the file.
    EXPECT_EQ(run(job("x.dat 3 2147483647", "CO RAW", "(F4.0,F3.0/2F3.0)")), 1);
    EXPECT_NE(window_.find("ends after 5 records, with 2 of the 2147483647 subjects declared on >DATA:"),
              std::string::npos)
        << window_;
    EXPECT_EQ(window_.find("memory"), std::string::npos) << window_;
}

TEST_F(DeclaredCounts, EveryOtherInputFarShortOfItsCount) {
    write_file(dir_ / "x.dat", kFive);
    write_file(dir_ / "items.txt", "first item\nsecond item\nthird item\n");
    write_file(dir_ / "c.par", "0.1 0.2\n0.25\n");
    write_file(dir_ / "r.cor", "1 .5 .4\n.5 1 .3\n.4 .3 1\n");
    write_file(dir_ / "l.fld", " .7 .1\n .6 .2\n .1 .8\n");
    write_file(dir_ / "phi.txt", "1 .3 .2\n.3 1 .1\n");
    const std::string huge = " 2147483647 5";
    struct Case {
        std::string job, message;
    };
    const Case cases[] = {
        {job("x.dat" + huge, "CO RAW", "(F4.0,3F3.0)", "PFA 2 NOLABELS NOSORT", ">ITEMS: items.txt\n"),
         "File " + path("items.txt") + " ends after 3 records, with 3 item texts for the 2147483647 variables"},
        {job("x.dat" + huge, "DC RAW", "(F4.0,3F3.0)", "PFA 2 NOLABELS NOSORT", "", ">CPARAM: c.par\n"),
         "File " + path("c.par") + " ends after 2 records, with 3 guessing parameters for the 2147483647 variables"},
        {job("r.cor" + huge, "CO COR", "(3F4.0)"),
         "File " + path("r.cor") + " ends after 3 records, with 0 rows of the correlation matrix for the "
         "2147483647 variables"},
        {job("l.fld" + huge, "CO FLD1", "(2F3.1)", "ROT 2 NOLABELS NOSORT"),
         "File " + path("l.fld") + " ends after 3 records, with 3 rows of the loading matrix for the 2147483647 "
         "variables"},
        {job("l.fld 3 5", "CO FLD2", "(3F3.1)", "ROT 3 NOLABELS NOSORT", "", ">PHI: phi.txt\n"),
         "File " + path("phi.txt") + " ends after 2 records, with 2 rows of the factor correlation matrix for the 3 "
         "factors declared on >MODEL:"},
        {job("x.dat 3 5", "CO RAW", "(F4.0,3F3.0)", "PFA 1 LABELS NOSORT", "", "", ">LABELS: one two"),
         "The command file ends with 2 labels on >LABELS: for the 3 variables declared on >DATA:"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.job);
        EXPECT_EQ(run(c.job), 1);
        EXPECT_NE(window_.find("FATAL ERROR: " + c.message), std::string::npos) << window_;
        EXPECT_EQ(window_.find("memory"), std::string::npos) << window_;
    }
}

// A file that holds the declared subjects, each a short record whose
// missing fields read as zeros, needs the declared array: when it cannot
// be had, the message names it and its size.
TEST_F(DeclaredCounts, AnArrayThatCannotBeHadIsNamedWithItsSize) {
    if (kSanitized) GTEST_SKIP() << "a sanitizer's operator new ends the process on a block it cannot give";
    write_file(dir_ / "x.dat", std::string(100000, '\n'));
    EXPECT_EQ(run(job("x.dat 30000 100000", "CO RAW", "(F4.0,30000F1.0)")), 1);
    EXPECT_NE(window_.find("Out of memory: no memory for the raw data X (3000000000 values of 8 bytes)"),
              std::string::npos)
        << window_;
}

}  // namespace
