// Texts composed by the wizard, one per model, read back by the engine's own
// command-file reader into the expected settings and run by the real engine
// to its normal end, from a folder whose name holds a blank.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "engine/control/jobset.h"
#include "engine/control/rdjob.h"
#include "engine/common/units.h"
#include "fakes.h"
#include "frontend/command_text.h"
#include "job_driver.h"
#include "runtime/program.h"
#include "runtime/units.h"
#include "support/fake_host.h"
#include "support/files.h"

namespace orv::frontend {
namespace {

namespace fs = std::filesystem;
using engine::JOBSET;
using engine::trimmed;
using testing::answer;
using testing::FakePrompts;
using testing::FakeText;
using testing::JobAnswers;

const fs::path kTests = ORV_TEST_DATA_DIR;

class EngineReadsWizard : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = root_ / "my jobs";
        fs::create_directories(dir_);
        fs::copy_file(kTests / ".." / "examples" / "example.dat", dir_ / "example.dat");
        fs::copy_file(kTests / "engine/jobs/cmt/items.dat", dir_ / "items.dat");
        fs::copy_file(kTests / "engine/jobs/cmt/guess.cpr", dir_ / "guess.cpr");
        fs::copy_file(kTests / "engine/jobs/oblique/pattern.dat", dir_ / "pattern.dat");
        fs::copy_file(kTests / "engine/jobs/oblique/pattern.txt", dir_ / "pattern.txt");
    }

    // The composed text, with labels typed after ">LABELS: " when asked for.
    std::string compose(const JobAnswers& a, const std::string& labels = "") {
        Wizard w;
        FakeText text;
        FakePrompts prompts;
        answer(w, text, prompts, a);
        build_job(w, text, prompts);
        return text.text + labels;
    }

    // The example's twelve continuous items.
    JobAnswers example(const std::string& name) const {
        JobAnswers a;
        a.title = "Wizard job " + name;
        a.data_file = (dir_ / "example.dat").string();
        a.nvar = "12";
        a.nsub = "300";
        a.outfile = (dir_ / (name + " report.out")).string();
        a.rndstrts = "False";
        a.format = "(F4.0,12F3.0)";
        return a;
    }

    JOBSET read(const std::string& text, const std::string& name) {
        const fs::path path = dir_ / (name + ".in");
        orv::testing::write_file(path, text);
        orv::testing::FakeHost host;
        rt::set_host(&host);
        JOBSET job;
        const int status = rt::run_program([&] {
            rt::open_unit_or_fail(engine::LUJOB, path.string(), {rt::OpenStatus::Old});
            engine::SPLITP(job);
            engine::RDJOB(job);
            rt::close_unit(engine::LUDAT);
            rt::close_unit(engine::LURPT);
            rt::close_unit(engine::LUJOB);
        });
        rt::set_host(nullptr);
        std::string window;
        for (const auto& r : host.records) window += r + "\n";
        EXPECT_EQ(status, 0) << window;
        return job;
    }

    // Runs orvcalc on the command file from the jobs folder; its exit status.
    int run(const std::string& name) {
        const int status = orv::testing::run_program(dir_, ORVCALC_PATH, "'" + (dir_ / (name + ".in")).string() + "'",
                                                     root_ / "window.txt");
        window_ = orv::testing::read_file(root_ / "window.txt");
        return status;
    }

    orv::testing::TempDir root_{"orv_wizard"};
    fs::path dir_;
    std::string window_;
};

TEST_F(EngineReadsWizard, CorrelationsOnlyCorrectedForGuessingWithLabels) {
    JobAnswers a;
    a.title = "Six items corrected for guessing";
    a.data_file = (dir_ / "items.dat").string();
    a.nvar = "6";
    a.nsub = "120";
    a.outfile = "cmt job.out";
    a.metric = "DC  Dichotomous corrected for guessing ";
    a.cparam = (dir_ / "guess.cpr").string();
    a.model = "CMT  compute correlation matrix ";
    a.dims = "";
    a.labels = true;
    a.rotation = "None";
    a.plot = "None";
    a.output = "True";
    a.matrices = {0};
    a.format = "(F4.0,1X,6F1.0)";
    const std::string text = compose(a, "one two three four 'item five' six");
    const JOBSET job = read(text, "cmt");
    EXPECT_EQ(trimmed(job.JOBTTL), " Six items corrected for guessing");
    EXPECT_EQ(trimmed(job.DATFIL), (dir_ / "items.dat").string());
    EXPECT_EQ(job.NVAR, 6);
    EXPECT_EQ(job.NSUBJ, 120);
    EXPECT_EQ(trimmed(job.OUTFIL), "cmt job.out");
    EXPECT_EQ(trimmed(job.VERBOS), "LONG");
    EXPECT_EQ(job.METRIC, "DC");
    EXPECT_EQ(trimmed(job.DATTYP), "RAW");
    EXPECT_EQ(job.CPRFLG, 1);
    EXPECT_EQ(trimmed(job.CPRFIL), (dir_ / "guess.cpr").string());
    EXPECT_EQ(trimmed(job.MODTYP), "CMT");
    EXPECT_EQ(job.NFAC, 0);
    EXPECT_EQ(trimmed(job.LABOPT), "LABELS");
    EXPECT_EQ(trimmed(job.OUTPUT), "T");
    EXPECT_EQ(job.NOUTM, 1.0);
    EXPECT_EQ(job.OUTCOD[0], "COR");
    EXPECT_EQ(trimmed(job.DATFMT), " (F4.0,1X,6F1.0)");  // column 9 is the blank
    ASSERT_EQ(run("cmt"), 0) << window_;
    EXPECT_NE(orv::testing::read_file(dir_ / "cmt job.out").find("item five"), std::string::npos);
    EXPECT_TRUE(fs::exists(dir_ / "cmt.cor"));
}

TEST_F(EngineReadsWizard, PrincipalAxesVarimax) {
    JobAnswers a = example("pfa");
    a.init_com = "SMC:  Squared multiple correlations";
    a.plot = "Loadings";
    const JOBSET job = read(compose(a), "pfa");
    EXPECT_EQ(trimmed(job.MODTYP), "PFA");
    EXPECT_EQ(job.NFAC, 2);
    EXPECT_EQ(trimmed(job.ROTMTH), "VARIMAX");
    EXPECT_EQ(trimmed(job.SCRMTH), "NOSCORE");
    EXPECT_EQ(trimmed(job.PLTOPT), "LOADINGS");
    EXPECT_EQ(job.COMP_EPS, 0.0001);
    EXPECT_EQ(job.ROT_EPS, 0.00001);
    EXPECT_EQ(job.RNDSTRTS, "F");
    EXPECT_EQ(job.INIT_COM, "SMC");
    EXPECT_EQ(job.PAGEWIDTH, 120);
    EXPECT_EQ(job.OUTPUT, "F");
    EXPECT_EQ(trimmed(job.OUTFIL), (dir_ / "pfa report.out").string());
    ASSERT_EQ(run("pfa"), 0) << window_;
    EXPECT_NE(window_.find("Finished"), std::string::npos);
    EXPECT_NE(orv::testing::read_file(dir_ / "pfa report.out").find("Wizard job pfa"), std::string::npos);
}

TEST_F(EngineReadsWizard, PrincipalComponentsHarrisKaiserWithMatrixFiles) {
    JobAnswers a = example("pca");
    a.model = "PCA  principal components ";
    a.rotation = "HK  Harris-Kaiser ortho-oblique";
    a.long_report = false;
    a.output = "True";
    a.matrices = {3, 4};
    const JOBSET job = read(compose(a), "pca");
    EXPECT_EQ(trimmed(job.MODTYP), "PCA");
    EXPECT_EQ(trimmed(job.ROTMTH), "HK");
    EXPECT_EQ(job.HKPAR, 0.5);
    EXPECT_EQ(trimmed(job.VERBOS), "SHORT");
    EXPECT_EQ(job.NOUTM, 2.0);
    EXPECT_EQ(job.OUTCOD[0] + job.OUTCOD[1], "FACRSD");
    ASSERT_EQ(run("pca"), 0) << window_;
    EXPECT_TRUE(fs::exists(dir_ / "pca.fac"));
    // The residual file comes with the long report only.
    EXPECT_FALSE(fs::exists(dir_ / "pca.rsd"));
}

TEST_F(EngineReadsWizard, RotationOfAnObliquePatternWithItsFactorCorrelations) {
    JobAnswers a;
    a.title = "Nine items, an oblique pattern";
    a.data_file = (dir_ / "pattern.dat").string();
    a.nvar = "9";
    a.nsub = "250";
    a.outfile = "rot.out";
    a.type = "FLD2   N x k factor loadings matrix: oblique model ";
    a.phi = (dir_ / "pattern.txt").string();
    a.model = "ROT  Rotate factor loading matrix ";
    a.dims = "3";
    a.sort = false;
    a.rotation = "Oblimin";
    a.parameter = "-0.5";
    a.plot = "None";
    a.format = "(3F6.2)";
    const JOBSET job = read(compose(a), "rot");
    EXPECT_EQ(trimmed(job.DATTYP), "FLD2");
    EXPECT_EQ(trimmed(job.PHIFIL), (dir_ / "pattern.txt").string());
    EXPECT_EQ(trimmed(job.MODTYP), "ROT");
    EXPECT_EQ(job.NFAC, 3);
    EXPECT_EQ(trimmed(job.ROTMTH), "OBLIMIN");
    EXPECT_EQ(job.DELTA, -0.5);
    EXPECT_EQ(trimmed(job.SRTOPT), "NOSORT");
    ASSERT_EQ(run("rot"), 0) << window_;
    EXPECT_NE(orv::testing::read_file(dir_ / "rot.out").find("Oblimin"), std::string::npos);
}

TEST_F(EngineReadsWizard, PromaxJobReadAsWritten) {
    JobAnswers a = example("promax");
    a.rotation = "Promax";
    a.parameter = "4";
    const JOBSET job = read(compose(a), "promax");
    EXPECT_EQ(trimmed(job.ROTMTH), "PROMAX");
    EXPECT_EQ(job.POWER, 4);
    ASSERT_EQ(run("promax"), 0) << window_;
}

TEST_F(EngineReadsWizard, ScoredJobWithEveryPlot) {
    JobAnswers s = example("scores");
    s.score = "BART:   Bartlett's method";
    s.plot = "All";
    const JOBSET job = read(compose(s), "scores");
    EXPECT_EQ(trimmed(job.SCRMTH), "BART");
    EXPECT_EQ(trimmed(job.PLTOPT), "ALL");
    ASSERT_EQ(run("scores"), 0) << window_;
    EXPECT_TRUE(fs::exists(dir_ / "scores.fsc"));
}

// Six dichotomous items through the triplet test: C(6, 3) triplets reported.
TEST_F(EngineReadsWizard, TripletTestOfDichotomousItems) {
    JobAnswers t;
    t.title = "Six items, triplet test";
    t.data_file = (dir_ / "items.dat").string();
    t.nvar = "6";
    t.nsub = "120";
    t.outfile = "trp.out";
    t.metric = "DI  Dichotomous ";
    t.model = "TRP  Triplet test of trivariate normality";
    t.dims = "";
    t.rotation = "None";
    t.plot = "None";
    t.format = "(F4.0,1X,6F1.0)";
    const JOBSET job = read(compose(t), "trp");
    EXPECT_EQ(trimmed(job.MODTYP), "TRP");
    EXPECT_EQ(job.METRIC, "DI");
    EXPECT_EQ(job.NFAC, 1);
    ASSERT_EQ(run("trp"), 0) << window_;
    EXPECT_NE(window_.find("Finished"), std::string::npos);
    const std::string report = orv::testing::read_file(dir_ / "trp.out");
    EXPECT_NE(report.find("Triplet Test of Multivariate Normality"), std::string::npos) << report;
    EXPECT_NE(report.find("Number of triplets tested =       20"), std::string::npos) << report;
}

// Names with an apostrophe and a comma survive the reader.
TEST_F(EngineReadsWizard, QuotedNamesReadBackWhole) {
    const fs::path odd = dir_ / "it's, data.dat";
    fs::copy_file(dir_ / "example.dat", odd);
    JobAnswers a = example("odd");
    a.data_file = odd.string();
    a.outfile = "odd 'report'.out";
    const JOBSET job = read(compose(a), "odd");
    EXPECT_EQ(trimmed(job.DATFIL), odd.string());
    EXPECT_EQ(trimmed(job.OUTFIL), "odd 'report'.out");
}

}  // namespace
}  // namespace orv::frontend
