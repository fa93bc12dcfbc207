// The whole-job fuzz target: its container, the confinement of every file
// name to the job's folder, the caps, and the faults it reports.
#include "fuzz_job.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

namespace orv::fuzz {
namespace {

namespace fs = std::filesystem;

std::string job_text(const std::string& data, const std::string& report, const std::string& format = "(2F4.1)") {
    return ">TITLE: rotation of a given matrix\n>DATA: " + data + " 3 100\n>OUTFILE: " + report +
           " SHORT\n>METRIC: CO FLD1 NOSMOOTH\n>MODEL: ROT 2 NOLABELS NOSORT\n>ROTATE: VARIMAX\n>SCORE: NONE\n"
           ">PLOT: NONE\n>FORMAT: " + format + "\n";
}

const std::string kLoadings = "  .7  .1\n  .6  .2\n  .1  .8\n";

TEST(JobInput, FilesOfTheContainer) {
    auto files = parse_job_input(">TITLE: t\n==> m.cor\n1 2\n3 4\n\n==> /etc/passwd \r\nroot\n==> m.cor\nagain");
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0].name, "job.in");
    EXPECT_EQ(files[0].bytes, ">TITLE: t");
    EXPECT_EQ(files[1].name, "m.cor");
    EXPECT_EQ(files[1].bytes, "1 2\n3 4\n");  // the line end before a marker belongs to it
    EXPECT_EQ(files[2].name, "_etc_passwd");
    EXPECT_EQ(files[2].bytes, "root");

    // A marker first names the command file; files past the limit are dropped.
    std::string many = "==> first.in\n>TITLE:";
    for (int k = 0; k < 10; ++k) many += "\n==> f" + std::to_string(k) + "\nx";
    files = parse_job_input(many);
    ASSERT_EQ(files.size(), kMaxFiles);
    EXPECT_EQ(files[0].name, "first.in");
    EXPECT_EQ(files[0].bytes, ">TITLE:");
    EXPECT_EQ(files.back().name, "f" + std::to_string(kMaxFiles - 2));

    files = parse_job_input("");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].bytes, "");
}

TEST(JobInput, PlainNames) {
    EXPECT_EQ(plain_name("m.cor"), "m.cor");
    EXPECT_EQ(plain_name("/etc/passwd"), "_etc_passwd");
    EXPECT_EQ(plain_name("../up"), "f.._up");
    EXPECT_EQ(plain_name(".."), "f..");
    EXPECT_EQ(plain_name("."), "f.");
    EXPECT_EQ(plain_name(""), "f");
    EXPECT_EQ(plain_name("-rf"), "f-rf");
    EXPECT_EQ(plain_name("  a b\t\r"), "a_b");
    EXPECT_EQ(plain_name(std::string(100, 'x')), std::string(64, 'x'));
}

TEST(JobInput, SlashesOnlyInsideDataFormats) {
    // Outside a format line every slash goes.
    EXPECT_EQ(confine_command_text(">DATA: /etc/passwd 3 4\n>OUTFILE: ../../x.out SHORT\n"),
              ">DATA: _etc_passwd 3 4\n>OUTFILE: .._.._x.out SHORT\n");
    // A record separator of a data format stays, in any case of the keyword.
    EXPECT_EQ(confine_command_text(">FORMAT: (2F4.1/3F4.1,/)\n>format: (/F4.1)\n"),
              ">FORMAT: (2F4.1/3F4.1,_)\n>format: (/F4.1)\n");
    // Where a list value could start with it, or "." or ".." end before it.
    EXPECT_EQ(confine_command_text(">FORMAT: /a ' /b' '/c' \"/d\" 2*/e ../f ./g x/y\n"),
              ">FORMAT: _a ' _b' '_c' \"_d\" 2*_e .._f ._g x/y\n");
    // Only columns 1-8 make a format line; the next line starts afresh.
    EXPECT_EQ(confine_command_text(" >FORMAT: (F1.0/F1.0)\n>FORMAT:/x\n/y"),
              " >FORMAT: (F1.0_F1.0)\n>FORMAT:/x\n_y");
}

TEST(JobInput, NumbersCap) {
    EXPECT_TRUE(numbers_within_cap(">DATA: x.dat 10000 0000000000000000010000 1e300"));
    EXPECT_FALSE(numbers_within_cap(">DATA: x.dat 10001 5"));
    EXPECT_FALSE(numbers_within_cap(">TECHNICAL: .0001 99999999999999999999999"));
}

TEST(JobOutcomeFaults, InputsAndNonFiniteValues) {
    const std::vector<NamedFile> inputs = {{"job.in", "job"}, {"m.cor", "1 .5"}};
    EXPECT_TRUE(outcome_faults(inputs, {{"job.in", "job"}, {"m.cor", "1 .5"}, {"r.out", "NaNa 1.0"}}, 0, false).empty());
    EXPECT_EQ(outcome_faults(inputs, {{"job.in", "job"}, {"m.cor", ""}}, 1, false),
              std::vector<std::string>{"input file m.cor changed (4 -> 0 bytes)"});
    EXPECT_EQ(outcome_faults(inputs, {{"m.cor", "1 .5"}}, 1, false),
              std::vector<std::string>{"input file job.in removed"});
    EXPECT_EQ(outcome_faults(inputs, {{"job.in", "job"}, {"m.cor", "1 .5"}}, 134, false),
              std::vector<std::string>{"exit status 134"});

    const std::vector<NamedFile> nan_report = {{"job.in", "job"}, {"m.cor", "1 .5"}, {"r.out", " 1.0   NaN\n"}};
    EXPECT_EQ(outcome_faults(inputs, nan_report, 0, false),
              std::vector<std::string>{"NaN or infinity in r.out after exit status 0"});
    EXPECT_TRUE(outcome_faults(inputs, nan_report, 1, false).empty());  // a stop may leave a NaN behind
    EXPECT_TRUE(outcome_faults(inputs, nan_report, 0, true).empty());   // echoed from the command file
    for (const char* word : {"Inf", "-Inf", "+Infinity"})
        EXPECT_EQ(outcome_faults(inputs, {{"job.in", "job"}, {"m.cor", "1 .5"}, {"x.fac", word}}, 0, false).size(), 1u)
            << word;
}

// A folder of our own as TMPDIR, so that a name that left the job's folder
// (one level down) would be seen here.
class JobRun : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/orv_fuzz_test_XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        if (const char* t = std::getenv("TMPDIR")) tmpdir_ = t;
        ::setenv("TMPDIR", dir_.c_str(), 1);
        cwd_ = fs::current_path();
    }
    void TearDown() override {
        if (tmpdir_)
            ::setenv("TMPDIR", tmpdir_->c_str(), 1);
        else
            ::unsetenv("TMPDIR");
        fs::remove_all(dir_);
    }
    // Files left in our folder (the job folders are removed).
    std::vector<std::string> left() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
        return names;
    }

    fs::path dir_, cwd_;
    std::optional<std::string> tmpdir_;
};

TEST_F(JobRun, GoodJobRunsToItsEnd) {
    const JobOutcome out = run_job(job_text("load.dat", "rot.out") + "==> load.dat\n" + kLoadings);
    EXPECT_TRUE(out.ran);
    EXPECT_EQ(out.status, 0);
    EXPECT_TRUE(out.faults.empty());
    ASSERT_FALSE(out.window.empty());
    EXPECT_NE(out.window.back().find("Finished"), std::string::npos) << out.window.back();
    EXPECT_EQ(fs::current_path(), cwd_);
    EXPECT_EQ(std::getenv("TMPDIR"), dir_.string());
    EXPECT_TRUE(left().empty());
}

TEST_F(JobRun, NoNameLeavesTheFolder) {
    // Inputs and report named absolutely and upwards, with the inputs really
    // there: a harness that let the names through would read and write them.
    std::ofstream(dir_ / "load.dat") << kLoadings;
    const std::string abs = dir_.string();
    for (const std::string& job :
         {job_text(abs + "/load.dat", abs + "/rot.out"), job_text("../load.dat", "../rot.out"),
          job_text("./../load.dat", "'./../rot.out'"),
          // A quote opened on the line before runs into the format line,
          // which keeps the slashes of its format.
          ">TITLE: t\n>DATA: load.dat 3 100\n'>OUTFILE:\n>FORMAT: ' " + abs + "/rot.out SHORT\n>METRIC: CO FLD1 NS\n"}) {
        SCOPED_TRACE(job);
        const JobOutcome out = run_job(job + "==> load.dat\n" + kLoadings);
        EXPECT_TRUE(out.ran);
        EXPECT_TRUE(out.faults.empty());
        EXPECT_EQ(left(), std::vector<std::string>{"load.dat"});
    }
    // With the names made plain the same job finds its files in the folder.
    const JobOutcome out = run_job(job_text(abs + "/load.dat", abs + "/rot.out") + "==> _tmp_" +
                                   dir_.filename().string() + "_load.dat\n" + kLoadings);
    EXPECT_EQ(out.status, 0);
}

TEST_F(JobRun, CapsAndAHostThatNeverWaits) {
    std::string big = job_text("load.dat", "rot.out");
    big.replace(big.find(" 3 100"), 6, " 51 100");
    EXPECT_FALSE(run_job(big).ran);
    big.replace(big.find(" 51 100"), 7, " 3 100000");
    EXPECT_FALSE(run_job(big).ran);

    // A fatal stop pauses before it ends, and a blank name takes the
    // command file (the host's one argument): neither waits.
    JobOutcome out = run_job(">TITLE: t\n>DATE: x 3 100\n");
    EXPECT_TRUE(out.ran);
    EXPECT_EQ(out.status, 1);
    out = run_job(">TITLE: t\n>DATA: '' 3 100\n>OUTFILE: r.out SHORT\n>METRIC: CO RAW NS\n");
    EXPECT_TRUE(out.ran);
    EXPECT_EQ(out.status, 1);
}

}  // namespace
}  // namespace orv::fuzz
