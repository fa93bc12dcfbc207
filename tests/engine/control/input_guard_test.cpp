// A job never writes its report, a matrix file or a side file over one of
// its own inputs, however the two names are spelt: the run stops with a
// message naming both uses, exit status 1, and every input is left as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/engine_run.h"

namespace {

namespace fs = std::filesystem;

// Six subjects, an identifier and three integer items each.
const std::string kRawData = " 1 1 2 4\n 2 2 2 3\n 3 3 4 1\n 4 4 3 2\n 5 5 5 1\n 6 2 1 5\n";
const std::string kBinaryData = " 1 1 0 1\n 2 0 0 1\n 3 1 1 0\n 4 0 1 1\n 5 1 1 1\n 6 0 0 0\n 7 1 0 0\n 8 0 1 0\n";

struct JobLines {
    std::string data = ">DATA: data.dat 3 6";
    std::string items;  // an >ITEMS: line, or nothing
    std::string outfile = ">OUTFILE: run.out SHORT";
    std::string metric = ">METRIC: CO RAW NS";
    std::string phi;     // a >PHI: line, or nothing
    std::string cparam;  // a >CPARAM: line, or nothing
    std::string model = ">MODEL: PFA 1 NOLABELS NOSORT";
    std::string technical;  // >TECHNICAL: and >OUTPUT: lines, or nothing
    std::string score = ">SCORE: NONE";
    std::string format = ">FORMAT: (F2.0,3F2.0)";

    std::string text() const {
        std::string t = ">TITLE: guarded inputs\n" + data + "\n";
        for (const std::string* line : {&items, &outfile, &metric, &phi, &cparam, &model})
            if (!line->empty()) t += *line + "\n";
        t += ">ROTATE: NONE\n" + score + "\n>PLOT: NONE\n";
        if (!technical.empty()) t += technical + "\n";
        return t + format + "\n";
    }
};

const std::string kWithOutput = ">TECHNICAL: 0.0001 200 0.0001 200 T 0.2 ONE 130 T\n>OUTPUT: 2 COR FAC";

class InputGuard : public orv::testing::EngineRun {
protected:
    // Writes the job and its inputs, runs it, and checks the refusal: exit
    // status 1, the message with both uses, every input byte-identical.
    void expect_refused(const JobLines& job, const std::map<std::string, std::string>& inputs,
                        const std::string& output_use, const std::string& input_use) {
        put(at("job.in"), job.text());
        for (const auto& [name, text] : inputs) put(at(name), text);
        std::map<std::string, std::string> before;
        for (const auto& [name, text] : inputs) before[name] = get(at(name));
        before["job.in"] = get(at("job.in"));

        EXPECT_EQ(run("job.in"), 1) << window_;
        EXPECT_NE(window_.find("FATAL ERROR: " + output_use + " is the same file as\n" + std::string(28, ' ') +
                               input_use + "\n"),
                  std::string::npos)
            << window_;
        EXPECT_NE(window_.find("Stop - Program terminated."), std::string::npos) << window_;
        for (const auto& [name, text] : before) EXPECT_EQ(get(at(name)), text) << name;
    }
};

TEST_F(InputGuard, ReportOverAnInputUnderAnotherSpellingOrALink) {
    const std::string cor = "1 .5 .3\n.5 1 .2\n.3 .2 1\n";
    JobLines job;
    job.data = ">DATA: m.cor 3 100";
    job.metric = ">METRIC: CO COR NS";
    job.outfile = ">OUTFILE: ./m.cor SHORT";
    expect_refused(job, {{"m.cor", cor}}, "The report named on >OUTFILE:", "the correlation matrix named on >DATA:");

    // A hard link and a symbolic link are the same file.
    const std::string loadings = "  .7  .1\n  .6  .2\n  .1  .8\n";
    job = JobLines{};
    job.data = ">DATA: load.dat 3 0";
    job.metric = ">METRIC: CO FLD1 NS";
    job.model = ">MODEL: ROT 2 NOLABELS NOSORT";
    job.format = ">FORMAT: (2F4.1)";
    put(at("load.dat"), loadings);
    fs::create_hard_link(at("load.dat"), at("hard.out"));
    fs::create_symlink("load.dat", at("soft.out"));
    for (const char* report : {"hard.out", "soft.out"}) {
        job.outfile = std::string(">OUTFILE: ") + report + " LONG";
        expect_refused(job, {{"load.dat", loadings}}, "The report named on >OUTFILE:",
                       "the loading matrix named on >DATA:");
    }
}

TEST_F(InputGuard, ReportOverAnInputReadLaterOrReadAlready) {
    // The factor correlations are read after the report is opened.
    JobLines job;
    job.data = ">DATA: load.dat 3 0";
    job.metric = ">METRIC: CO FLD2 NS";
    job.phi = ">PHI: phi.txt";
    job.model = ">MODEL: ROT 2 NOLABELS NOSORT";
    job.format = ">FORMAT: (2F4.1)";
    fs::create_directory(at("sub"));
    job.outfile = ">OUTFILE: sub/../phi.txt SHORT";
    expect_refused(job, {{"load.dat", "  .7  .1\n  .6  .2\n  .1  .8\n"}, {"phi.txt", "1 .3\n.3 1\n"}},
                   "The report named on >OUTFILE:", "the factor correlation file named on >PHI:");

    // The item texts and the guessing parameters are read before it.
    job = JobLines{};
    job.items = ">ITEMS: items.txt";
    job.outfile = ">OUTFILE: items.txt LONG";
    expect_refused(job, {{"data.dat", kRawData}, {"items.txt", "first\nsecond\nthird\n"}},
                   "The report named on >OUTFILE:", "the item file named on >ITEMS:");

    job = JobLines{};
    job.metric = ">METRIC: DC RAW NS";
    job.cparam = ">CPARAM: guess.txt";
    job.outfile = ">OUTFILE: guess.txt SHORT";
    expect_refused(job, {{"data.dat", kBinaryData}, {"guess.txt", ".2 .2 .25\n"}}, "The report named on >OUTFILE:",
                   "the guessing-parameter file named on >CPARAM:");

    job = JobLines{};
    job.outfile = ">OUTFILE: job.in SHORT";
    expect_refused(job, {{"data.dat", kRawData}}, "The report named on >OUTFILE:", "the command file");
}

TEST_F(InputGuard, MatrixAndSideFilesOverAnInput) {
    // The data file is named like the job's own .cor file.
    JobLines job;
    job.data = ">DATA: job.cor 3 6";
    job.technical = kWithOutput;
    expect_refused(job, {{"job.cor", kRawData}}, "The matrix file job.cor", "the raw data file named on >DATA:");
    EXPECT_TRUE(fs::exists(at("run.out")));  // the report came first

    // Ipsatized data are read and closed before the loadings are written.
    job.data = ">DATA: job.fac 3 6";
    job.metric = ">METRIC: IP RAW NS";
    expect_refused(job, {{"job.fac", kRawData}}, "The matrix file job.fac", "the raw data file named on >DATA:");

    // The factor scores, after the ipsatized data have been closed and while
    // the raw data are still open.
    job.score = ">SCORE: REG";
    job.data = ">DATA: job.fsc 3 6";
    expect_refused(job, {{"job.fsc", kRawData}}, "The factor score file job.fsc", "the raw data file named on >DATA:");
    job.metric = ">METRIC: CO RAW NS";
    expect_refused(job, {{"job.fsc", kRawData}}, "The factor score file job.fsc", "the raw data file named on >DATA:");

    // The tetrachoric side files, written whenever those correlations are.
    job = JobLines{};
    job.items = ">ITEMS: job.frq";
    job.metric = ">METRIC: DI RAW NS";
    expect_refused(job, {{"data.dat", kBinaryData}, {"job.frq", "first\nsecond\nthird\n"}},
                   "The matrix file job.frq", "the item file named on >ITEMS:");
}

TEST_F(InputGuard, OutputsBesideTheInputsAreWritten) {
    JobLines job;
    job.technical = kWithOutput;
    put(at("job.in"), job.text());
    put(at("data.dat"), kRawData);
    EXPECT_EQ(run("job.in"), 0) << window_;  // rotation NONE with scores NONE: the early end
    EXPECT_EQ(get(at("data.dat")), kRawData);
    EXPECT_NE(get(at("run.out")).find("COMMAND LISTING"), std::string::npos);
    EXPECT_FALSE(get(at("job.cor")).empty());
    EXPECT_FALSE(get(at("job.fac")).empty());
}

}  // namespace
