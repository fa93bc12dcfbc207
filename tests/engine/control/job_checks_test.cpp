// Reader and record points through the real program: good jobs that the
// count checks must not refuse, a command file that ends where a keyword
// line should stand, data fields cut by the end of their record, and a
// data format that asks for more digits than its field holds.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/engine_run.h"

namespace {

const std::string kCorrelations = "1 .5 .3\n.5 1 .2\n.3 .2 1\n";

std::string job(const std::string& data, const std::string& metric, const std::string& model,
                const std::string& tail = ">FORMAT: (F2.0,3F2.0)\n") {
    return ">TITLE: job checks\n>DATA: " + data + "\n>OUTFILE: run.out LONG\n>METRIC: " + metric +
           "\n>MODEL: " + model + "\n>ROTATE: NONE\n>SCORE: NONE\n>PLOT: NONE\n" + tail;
}

class JobChecks : public orv::testing::EngineRun {
protected:
    void expect_finished(int status) {
        EXPECT_EQ(status, 0) << window_;
        EXPECT_NE(window_.find("Finished"), std::string::npos) << window_;
        EXPECT_NE(get(at("run.out")).find("COMMAND LISTING"), std::string::npos);
    }
};

TEST_F(JobChecks, CountsThatTheJobDoesNotUseAreNotRefused) {
    // A correlation matrix and a loading matrix with no subjects.
    put(at("m.cor"), kCorrelations);
    put(at("job.in"), job("m.cor 3 0", "CO COR NS", "CMT 1 NOLABELS NOSORT"));
    expect_finished(run("job.in"));
    put(at("load.dat"), "  .7  .1\n  .6  .2\n  .1  .8\n");
    put(at("job.in"), job("load.dat 3 0", "CO FLD1 NS", "ROT 2 NOLABELS NOSORT", ">FORMAT: (2F4.1)\n"));
    EXPECT_EQ(run("job.in"), 0) << window_;  // rotation NONE, scores NONE: the early end
    EXPECT_NE(get(at("run.out")).find("COMMAND LISTING"), std::string::npos);

    // A CMT job runs whatever its factor count.
    put(at("job.in"), job("m.cor 3 100", "CO COR NS", "CMT 7 NOLABELS NOSORT"));
    expect_finished(run("job.in"));
}

TEST_F(JobChecks, CommandFileEndingBeforeAKeywordLine) {
    put(at("m.cor"), kCorrelations);
    // Cut before >FORMAT:, and before >MODEL:, with and without a last line end.
    const std::string full = job("m.cor 3 100", "CO COR NS", "CMT 1 NOLABELS NOSORT");
    const std::string before_format = full.substr(0, full.find(">FORMAT:"));
    const std::string before_model = full.substr(0, full.find(">MODEL:"));
    for (const std::string& text : {before_format, before_format.substr(0, before_format.size() - 1)}) {
        put(at("job.in"), text);
        EXPECT_EQ(run("job.in"), 1);
        EXPECT_NE(window_.find("FATAL ERROR: Keyword  >FORMAT:   missing\n"), std::string::npos) << window_;
        EXPECT_EQ(window_.find("End of file"), std::string::npos) << window_;
    }
    put(at("job.in"), before_model);
    EXPECT_EQ(run("job.in"), 1);
    EXPECT_NE(window_.find("FATAL ERROR: Keyword  >MODEL:   missing\n"), std::string::npos) << window_;
    EXPECT_FALSE(std::filesystem::exists(at("run.out")));
}

TEST_F(JobChecks, DataFieldsCutByTheRecordEnd) {
    // The second value of subjects 2 and 4 ends with its record: under BZ
    // the missing column is no zero, so the two variables stay in strict
    // proportion (4 and 8, not 40 and 80).
    put(at("d.dat"), " 1  1  2\n 2  2 4\n 3  3  6\n 4  4 8\n");
    put(at("job.in"), job("d.dat 2 4", "CO RAW NS", "CMT 1 NOLABELS NOSORT",
                          ">TECHNICAL: 0.0001 200 0.0001 200 T 0.2 ONE 130 T\n>OUTPUT: 1 COR\n"
                          ">FORMAT: (BZ,F2.0,2F3.0)\n"));
    expect_finished(run("job.in"));
    EXPECT_EQ(get(at("job.cor")), " 1.000000000  1.000000000\n 1.000000000  1.000000000\n");

    // Iw.m with m above w is a format error, named with the format.
    put(at("job.in"), job("d.dat 2 4", "CO RAW NS", "CMT 1 NOLABELS NOSORT", ">FORMAT: (I2.3,2F3.0)\n"));
    EXPECT_EQ(run("job.in"), 1);
    EXPECT_NE(window_.find("minimum digits exceed the field width"), std::string::npos) << window_;
    EXPECT_NE(window_.find("(I2.3,2F3.0)"), std::string::npos) << window_;
}

}  // namespace
