// The command-file reader: every fatal message with its window text and exit
// status, and the settings of jobs that it accepts.
#include "engine/control/rdjob.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <functional>
#include <sstream>

#include "engine/common/units.h"
#include "engine/control/upcase.h"
#include "runtime/program.h"
#include "runtime/units.h"
#include "support/fake_host.h"
#include "support/files.h"

namespace orv::engine {
namespace {

namespace fs = std::filesystem;

// A window record whose text starts at record column `col`.
std::string at(int col, const std::string& text) { return std::string(col - 1, ' ') + text; }

const std::string kStopLine = " Stop - Program terminated.";

using orv::testing::read_file;
using orv::testing::write_file;

// The lines of a command file, edited by keyword.
struct Job {
    std::vector<std::string> lines;
    std::vector<std::string>::iterator find(const std::string& key) {
        auto it = std::find_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(key, 0) == 0; });
        EXPECT_NE(it, lines.end()) << key;
        return it;
    }
    Job& set(const std::string& key, const std::string& line) {
        *find(key) = line;
        return *this;
    }
    Job& drop(const std::string& key) {
        lines.erase(find(key));
        return *this;
    }
    Job& after(const std::string& key, const std::string& line) {
        lines.insert(find(key) + 1, line);
        return *this;
    }
    std::string text(const std::string& eol = "\n", bool last_eol = true) const {
        std::string t;
        for (std::size_t i = 0; i < lines.size(); ++i) t += lines[i] + (i + 1 < lines.size() || last_eol ? eol : "");
        return t;
    }
};

struct Outcome {
    int status = -1;
    int pauses = 0;
    std::vector<std::string> records;
    JOBSET job;
    bool data_open = false, report_open = false;
};

class ReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        write_file(dir_ / "data.dat", "S001 1 2 3 4 5\n");
    }

    Job base() const {
        std::string text = read_file(fs::path(ORV_TEST_DATA_DIR) / "engine/jobs/rdjob_base.in");
        for (std::size_t p; (p = text.find("@DIR@")) != std::string::npos;) text.replace(p, 5, dir_.string());
        Job job;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) job.lines.push_back(line);
        return job;
    }

    // Runs the reader on the command text as the engine's stop path would.
    Outcome run(const std::string& text, const std::string& name = "job.in", const JOBSET& start = JOBSET{}) {
        const fs::path path = dir_ / name;
        write_file(path, text);
        orv::testing::FakeHost host;
        rt::set_host(&host);
        Outcome out;
        out.job = start;
        out.status = rt::run_program([&] {
            rt::open_unit_or_fail(LUJOB, path.string(), {rt::OpenStatus::Old});
            SPLITP(out.job);
            RDJOB(out.job);
            out.data_open = rt::unit_connected(LUDAT);
            out.report_open = rt::unit_connected(LURPT);
        });
        rt::set_host(nullptr);
        out.pauses = host.pauses;
        out.records = host.records;
        return out;
    }
    Outcome run(const Job& job) { return run(job.text()); }

    orv::testing::TempDir dir_{"orv_rdjob"};
};

// ---------------------------------------------------------------------------
// Fatal stops

struct FatalCase {
    const char* name;
    std::function<void(Job&, const fs::path&)> edit;
    std::vector<std::string> window;  // records before the stop line
    bool pause = true;
    bool stop_line = true;  // false: the stop carries its own message
};

TEST_F(ReaderTest, EveryFatalMessageWithItsWindowTextAndStatus) {
    const std::vector<FatalCase> cases = {
        {"title", [](Job& j, auto&) { j.set(">TITLE:", "TITLE: no bracket"); },
         {" FATAL ERROR: Keyword  >TITLE:   missing"}, false},
        {"empty title line", [](Job& j, auto&) { j.set(">TITLE:", ""); },
         {" FATAL ERROR: Keyword  >TITLE:   missing"}, false},
        {"title with a leading blank", [](Job& j, auto&) { j.set(">TITLE:", " >TITLE: x"); },
         {" FATAL ERROR: Keyword  >TITLE:   missing"}, false},
        {"comment after the title", [](Job& j, auto&) { j.after(">TITLE:", "* data 5 100"); },
         {at(30, "FATAL ERROR: Keyword  >DATA:   missing"), "", ""}},
        {"data", [](Job& j, auto&) { j.set(">DATA:", ">DATE: x.dat 5 100"); },
         {at(30, "FATAL ERROR: Keyword  >DATA:   missing"), "", ""}},
        {"two lines before the report line",
         [](Job& j, auto&) { j.after(">DATA:", "first dropped line").after("first", "note x y"); },
         {at(30, "FATAL ERROR: Keyword  >OUTFILE:   missing"), "", ""}},
        {"no verbosity", [](Job& j, auto&) { j.set(">OUTFILE:", ">OUTFILE: out.txt"); },
         {at(30, "FATAL ERROR: Keyword  Print_Verbosity missing"), "", ""}},
        {"bad verbosity", [](Job& j, auto&) { j.set(">OUTFILE:", ">OUTFILE: out.txt MEDIUM"); },
         {at(30, "FATAL ERROR: Keyword  Print_Verbosity missing"), "", ""}},
        {"metric", [](Job& j, auto&) { j.set(">METRIC:", ">METRICS: CO RAW NS"); },
         {at(40, "FATAL ERROR: Keyword  >METRIC:   missing"), "", ""}},
        {"metric word", [](Job& j, auto&) { j.set(">METRIC:", ">METRIC: CX RAW NS"); },
         {at(30, "FATAL ERROR: Unrecognized keyword on >METRIC: line"), "", ""}},
        {"input type", [](Job& j, auto&) { j.set(">METRIC:", ">METRIC: CO MAT NS"); },
         {at(30, "FATAL ERROR: Unrecognized keyword on >METRIC: line"), "", ""}},
        {"phi", [](Job& j, auto&) { j.set(">METRIC:", ">METRIC: CO FLD2 NS"); },
         {at(43, "FATAL ERROR: Keyword  >PHI:   missing"), "", ""}},
        {"raw data file missing",
         [](Job& j, const fs::path& d) { j.set(">DATA:", ">DATA: " + (d / "none.dat").string() + " 5 100"); },
         {"", "", at(30, "FATAL ERROR! Problem opening Raw Data File"),
          at(30, (dir_ / "none.dat").string() + ": No such file or directory"), "", ""}},
        {"model", [](Job& j, auto&) { j.set(">MODEL:", ">MODELS: PFA 2 NOLABELS SORT"); },
         {at(30, "FATAL ERROR: Keyword  >MODEL:   missing"), "", ""}},
        {"rotate", [](Job& j, auto&) { j.set(">ROTATE:", ">ROTATION: VARIMAX"); },
         {at(30, "FATAL ERROR: Keyword >ROTATE:    missing"), "", ""}},
        {"promax without a power", [](Job& j, auto&) { j.set(">ROTATE:", ">ROTATE: PROMAX"); },
         {at(30, "FATAL ERROR: Promax requires a power"), "", ""}},
        {"promax with a real power", [](Job& j, auto&) { j.set(">ROTATE:", ">ROTATE: PROMAX 2.5"); },
         {at(30, "FATAL ERROR: Promax requires a power"), "", ""}},
        {"promax power 0", [](Job& j, auto&) { j.set(">ROTATE:", ">ROTATE: PROMAX 0"); },
         {at(30, "FATAL ERROR: The Promax power must be at least 1"), "", ""}},
        {"promax power below 0", [](Job& j, auto&) { j.set(">ROTATE:", ">ROTATE: promax -2"); },
         {at(30, "FATAL ERROR: The Promax power must be at least 1"), "", ""}},
        {"oblimin delta above 0",  [](Job& j, auto&) { j.set(">ROTATE:", ">ROTATE: OBLIMIN 0.25"); },
         {" *********FATAL ERROR: The Oblimin Delta parameter must be less than 0.0*********"}, false, false},
        {"oblimin delta not a number",  [](Job& j, auto&) { j.set(">ROTATE:", ">ROTATE: OBLIMIN NaN"); },
         {" *********FATAL ERROR: The Oblimin Delta parameter must be less than 0.0*********"}, false, false},
        {"score", [](Job& j, auto&) { j.set(">SCORE:", ">SCORES: REG"); },
         {at(30, "FATAL ERROR: Keyword >SCORE:    missing"), "", ""}},
        {"plot", [](Job& j, auto&) { j.set(">PLOT:", ">PLOTS: NONE"); },
         {at(30, "FATAL ERROR: Keyword >PLOT:    missing"), "", ""}},
        {"score plots without scores",
         [](Job& j, auto&) { j.set(">SCORE:", ">SCORE: NOSCORE").set(">PLOT:", ">PLOT: all"); },
         {at(30, "FATAL ERROR: You have requested factor score plots"), at(30, "without computing factor scores."),
          "", ""}},
        {"output", [](Job& j, auto&) { j.drop(">OUTPUT:"); },
         {at(31, "FATAL ERROR: Keyword >OUTPUT: missing"), "", ""}},
        {"output line when OUTPUT is F",
         [](Job& j, auto&) { j.set(">TECHNICAL:", ">TECHNICAL: 0.001 50 0.00001 70 F 0.15 smc 120 F"); },
         {at(30, "FATAL ERROR: Keyword  >FORMAT:   missing"), "", ""}},
        {"format", [](Job& j, auto&) { j.set(">FORMAT:", ">FORMATS (A4,5F2.0)"); },
         {at(30, "FATAL ERROR: Keyword  >FORMAT:   missing"), "", ""}},
        {"no variables", [](Job& j, auto&) { j.set(">DATA:", ">DATA: x.dat 0 100"); },
         {at(30, "FATAL ERROR: Number of variables on >DATA: must be at least 1"), "", ""}},
        {"no subjects", [](Job& j, auto&) { j.set(">DATA:", ">DATA: x.dat 5 -3"); },
         {at(30, "FATAL ERROR: Number of subjects on >DATA: must be at least 1"), "", ""}},
        {"more factors than variables", [](Job& j, auto&) { j.set(">MODEL:", ">MODEL: PFA 6 NOLABELS SORT"); },
         {at(30, "FATAL ERROR: Number of factors on >MODEL: exceeds number of variables"), "", ""}},
        {"no factors to rotate", [](Job& j, auto&) { j.set(">MODEL:", ">MODEL: ROT 0 NOLABELS SORT"); },
         {at(30, "FATAL ERROR: Number of factors on >MODEL: must be at least 1"), "", ""}},
        {"factors below 0 to rotate", [](Job& j, auto&) { j.set(">MODEL:", ">MODEL: rot -1 NOLABELS SORT"); },
         {at(30, "FATAL ERROR: Number of factors on >MODEL: must be at least 1"), "", ""}},
        {"report without a name", [](Job& j, auto&) { j.set(">OUTFILE:", ">OUTFILE: '' SHORT"); },
         {at(30, "FATAL ERROR: The >OUTFILE: line names no file"), "", ""}},
        {"data without a name", [](Job& j, auto&) { j.set(">DATA:", ">DATA: \"\" 5 100"); },
         {at(30, "FATAL ERROR: The >DATA: line names no file"), "", ""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Job job = base();
        c.edit(job, dir_);
        fs::remove(dir_ / "report.out");
        const Outcome out = run(job);
        std::vector<std::string> expected = c.window;
        if (c.stop_line) expected.push_back(kStopLine);
        EXPECT_EQ(out.records, expected);
        EXPECT_EQ(out.status, 1);
        EXPECT_EQ(out.pauses, c.pause ? 1 : 0);
        // A job that fails while it is read leaves no report.
        EXPECT_FALSE(fs::exists(dir_ / "report.out"));
    }
}

// A command file that ends where a keyword line should stand lacks that
// keyword: its own message, not an end-of-file failure.
TEST_F(ReaderTest, FileEndingWhereAKeywordLineShouldStand) {
    struct EndCase {
        const char* name;
        std::function<void(Job&)> edit;
        const char* last_line;  // the job is cut after the line starting so
        std::string message;
        bool pause = true;
    };
    const std::string title = " FATAL ERROR: Keyword  >TITLE:   missing";
    const std::vector<EndCase> cases = {
        {"empty file", [](Job& j) { j.lines.clear(); }, nullptr, title, false},
        {"comments only", [](Job&) {}, "* ", title, false},
        {"after the title", [](Job&) {}, ">TITLE:", at(30, "FATAL ERROR: Keyword  >DATA:   missing")},
        {"after the data line", [](Job&) {}, ">DATA:", at(30, "FATAL ERROR: Keyword  >OUTFILE:   missing")},
        {"after the report line", [](Job&) {}, ">OUTFILE:", at(40, "FATAL ERROR: Keyword  >METRIC:   missing")},
        {"before the phi line", [](Job& j) { j.set(">METRIC:", ">METRIC: CO FLD2 NS"); }, ">METRIC:",
         at(43, "FATAL ERROR: Keyword  >PHI:   missing")},
        {"before the guessing line", [](Job& j) { j.set(">METRIC:", ">METRIC: DC RAW NS"); }, ">METRIC:",
         at(30, "FATAL ERROR: Keyword  >CPARAM:   missing")},
        {"after the metric line", [](Job&) {}, ">METRIC:", at(30, "FATAL ERROR: Keyword  >MODEL:   missing")},
        {"after the model line", [](Job&) {}, ">MODEL:", at(30, "FATAL ERROR: Keyword >ROTATE:    missing")},
        {"after the rotation line", [](Job&) {}, ">ROTATE:", at(30, "FATAL ERROR: Keyword >SCORE:    missing")},
        {"after the score line", [](Job&) {}, ">SCORE:", at(30, "FATAL ERROR: Keyword >PLOT:    missing")},
        {"after the plot line", [](Job&) {}, ">PLOT:", at(30, "FATAL ERROR: Keyword  >FORMAT:   missing")},
        {"after the technical line", [](Job&) {}, ">TECHNICAL:", at(31, "FATAL ERROR: Keyword >OUTPUT: missing")},
        {"after the output line", [](Job&) {}, ">OUTPUT:", at(30, "FATAL ERROR: Keyword  >FORMAT:   missing")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Job job = base();
        c.edit(job);
        if (c.last_line != nullptr) {
            auto it = job.find(c.last_line);
            job.lines.erase(it + 1, job.lines.end());
        }
        fs::remove(dir_ / "report.out");
        // With and without a line end after the last line.
        for (bool last_eol : {true, false}) {
            const Outcome out = run(job.text("\n", last_eol));
            ASSERT_FALSE(out.records.empty());
            EXPECT_EQ(out.records.front().substr(0, c.message.size()), c.message)
                << ::testing::PrintToString(out.records);
            EXPECT_EQ(out.records.back(), kStopLine);
            EXPECT_EQ(out.status, 1);
            EXPECT_EQ(out.pauses, c.pause ? 1 : 0);
            EXPECT_FALSE(fs::exists(dir_ / "report.out"));
        }
    }
    // A value missing at the end of a line that is there is still the
    // run-time's end of file, naming the command file.
    Job job = base();
    job.lines.erase(job.find(">OUTFILE:"), job.lines.end());
    job.lines.push_back(">OUTFILE: out.txt");
    const Outcome out = run(job);
    ASSERT_FALSE(out.records.empty());
    EXPECT_NE(out.records.back().find("End of file"), std::string::npos) << out.records.back();
    EXPECT_NE(out.records.back().find("unit 12"), std::string::npos) << out.records.back();
}

// Counts that other inputs do not need: a correlation or loading matrix is
// read whatever the subject count, and CMT and TRP jobs form no factors.
TEST_F(ReaderTest, CountsCheckedOnlyWhereTheyAreUsed) {
    for (const char* line : {">DATA: none.cor 5 0", ">DATA: none.cor 5 -4"}) {
        const Outcome out = run(base().set(">DATA:", line).set(">METRIC:", ">METRIC: CO COR NS"));
        EXPECT_EQ(out.status, 0) << line << ::testing::PrintToString(out.records);
    }
    Outcome out = run(base()
                          .set(">DATA:", ">DATA: none.fld 5 0")
                          .set(">METRIC:", ">METRIC: CO FLD1 NS")
                          .set(">MODEL:", ">MODEL: ROT 2 NOLABELS NOSORT"));
    EXPECT_EQ(out.status, 0) << ::testing::PrintToString(out.records);
    out = run(base().set(">DATA:", ">DATA: " + (dir_ / "data.dat").string() + " 5 0"));
    EXPECT_EQ(out.records.front(), at(30, "FATAL ERROR: Number of subjects on >DATA: must be at least 1"));
    EXPECT_EQ(out.status, 1);

    for (const char* model : {">MODEL: CMT 9 NOLABELS NOSORT", ">MODEL: trp 6 NOLABELS NOSORT"}) {
        out = run(base().set(">MODEL:", model));
        EXPECT_EQ(out.status, 0) << model << ::testing::PrintToString(out.records);
        EXPECT_GT(out.job.NFAC, out.job.NVAR);
    }
    for (const char* model : {">MODEL: PCA 6 NOLABELS NOSORT", ">MODEL: ROT 6 NOLABELS NOSORT"}) {
        out = run(base().set(">MODEL:", model));
        EXPECT_EQ(out.status, 1) << model;
        EXPECT_EQ(out.records.front(), at(30, "FATAL ERROR: Number of factors on >MODEL: exceeds number of variables"));
    }
}

TEST_F(ReaderTest, ObliminDeltaMessageIsEightyCharacters) {
    const Outcome out = run(base().set(">ROTATE:", ">ROTATE: OBLIMIN 0.25"));
    ASSERT_EQ(out.records.size(), 1u);
    EXPECT_EQ(out.records[0].size(), 81u);  // with its control character
}

TEST_F(ReaderTest, FailuresTheReaderDoesNotTestEndTheRunNamingTheFile) {
    // A letter where NVAR is expected, and an item file that does not exist.
    for (const auto& job : {base().set(">DATA:", ">DATA: x.dat five 100"),
                            base().after(">DATA:", ">ITEMS: " + (dir_ / "none.txt").string())}) {
        const Outcome out = run(job);
        EXPECT_EQ(out.status, 1);
        ASSERT_FALSE(out.records.empty());
        EXPECT_EQ(out.records.back().rfind(" Input/output error: ", 0), 0u) << out.records.back();
    }
}

// ---------------------------------------------------------------------------
// Accepted jobs

TEST_F(ReaderTest, ReadsEverySettingOfTheBaseJob) {
    write_file(dir_ / "report.out", "an older report\n");
    const Outcome out = run(base().text());
    ASSERT_EQ(out.status, 0) << ::testing::PrintToString(out.records);
    EXPECT_TRUE(out.records.empty());
    const JOBSET& j = out.job;
    EXPECT_EQ(j.JOBTTL, " Reader test job" + std::string(64, ' '));
    EXPECT_EQ(trimmed(j.DATFIL), (dir_ / "data.dat").string());
    EXPECT_EQ(j.NVAR, 5);
    EXPECT_EQ(j.NSUBJ, 100);
    EXPECT_EQ(j.ITMKEY, ">OUTFIL");
    EXPECT_EQ(trimmed(j.OUTFIL), (dir_ / "report.out").string());
    EXPECT_EQ(j.VERBOS, "LONG ");
    EXPECT_EQ(j.METRIC + j.DATTYP + j.SMOOPT, "CORAW NS");
    EXPECT_EQ(j.CPRFLG, 0);
    EXPECT_EQ(j.MODTYP, "PFA ");
    EXPECT_EQ(j.NFAC, 2);
    EXPECT_EQ(trimmed(j.LABOPT) + "|" + trimmed(j.SRTOPT), "NOLABELS|SORT");
    EXPECT_EQ(j.ROTMTH, "VARIMAX ");
    EXPECT_EQ(trimmed(j.ROTNAM), "Varimax");
    EXPECT_EQ(j.SCRMTH, "REG     ");
    EXPECT_EQ(j.PLTOPT, "NONE    ");
    EXPECT_EQ(j.COMP_EPS, 0.001);
    EXPECT_EQ(j.MAXIT, 50);
    EXPECT_EQ(j.ROT_EPS, 0.00001);
    EXPECT_EQ(j.ROT_MAXIT, 70);
    EXPECT_EQ(j.RNDSTRTS + j.INIT_COM + j.OUTPUT, "FSMCT");
    EXPECT_EQ(j.HYPER_WIDTH, 0.15);
    EXPECT_EQ(j.PAGEWIDTH, 120);
    EXPECT_EQ(j.NOUTM, 2.0);
    EXPECT_EQ(j.DATFMT, " (A4,5F2.0)" + std::string(69, ' '));  // columns 9-88
    EXPECT_EQ(j.JOBPTH, (dir_ / "job.in").string());
    EXPECT_EQ(j.JOBDIR, dir_.string() + "/");
    EXPECT_EQ(j.JOBBAS, "job.in         ");
    EXPECT_TRUE(out.data_open);
    EXPECT_TRUE(out.report_open);
    // The report is replaced, not written over.
    EXPECT_EQ(read_file(dir_ / "report.out"), "");
}

TEST_F(ReaderTest, LowerCaseCrLfLinesLongPathsAndALastLineWithoutEnd) {
    const fs::path deep = dir_ / std::string(60, 'd') / "a.directory-with_odd+names" / std::string(70, 'e');
    fs::create_directories(deep);
    const std::string data = (deep / (std::string(80, 'x') + ".dat")).string();
    write_file(data, "1\n");
    Job job = base();
    job.set(">TITLE:", ">title: Mixed Case Title")
        .set(">DATA:", ">data: " + data + " 5 100")
        .set(">OUTFILE:", ">outfile: " + (deep / "report.out").string() + " short")
        .set(">METRIC:", ">metric: co raw sm")
        .set(">MODEL:", ">model: pfa 2 labels nosort")
        .set(">ROTATE:", ">rotate: varimax")
        .set(">SCORE:", ">score: bart")
        .set(">PLOT:", ">plot: scores")
        .set(">TECHNICAL:", ">technical: 0.001 50 0.00001 70 t 0.15 hir 120 f")
        .drop(">OUTPUT:")
        .drop(">LABELS:")
        .set(">FORMAT:", ">format: (a4,5f2.0)");
    const Outcome out = run(job.text("\r\n", false), std::string(100, 'j') + ".in");
    ASSERT_EQ(out.status, 0) << ::testing::PrintToString(out.records);
    const JOBSET& j = out.job;
    EXPECT_EQ(trimmed(j.JOBTTL), " Mixed Case Title");
    EXPECT_EQ(trimmed(j.DATFIL), data);
    EXPECT_EQ(trimmed(j.OUTFIL), (deep / "report.out").string());
    EXPECT_TRUE(fs::exists(deep / "report.out"));
    EXPECT_EQ(j.VERBOS + j.METRIC + j.DATTYP + j.SMOOPT, "SHORTCORAW SM");
    EXPECT_EQ(trimmed(j.MODTYP + j.LABOPT) + "|" + trimmed(j.SRTOPT), "PFA LABELS|NOSORT");
    EXPECT_EQ(trimmed(j.ROTMTH + j.SCRMTH + j.PLTOPT), "VARIMAX BART    SCORES");
    EXPECT_EQ(j.RNDSTRTS + j.INIT_COM + j.OUTPUT, "THIRF");
    EXPECT_EQ(trimmed(j.DATFMT), " (a4,5f2.0)");  // the format keeps its case
    EXPECT_EQ(j.JOBDIR, dir_.string() + "/");
    EXPECT_EQ(j.JOBBAS, std::string(15, 'j'));
}

TEST_F(ReaderTest, MissingTechnicalLineGivesTheDefaults) {
    Job job = base();
    job.drop(">TECHNICAL:").drop(">OUTPUT:");
    // Start from other values, so that the defaults must be set.
    JOBSET start;
    start.COMP_EPS = start.ROT_EPS = start.HYPER_WIDTH = -1.0;
    start.MAXIT = start.ROT_MAXIT = start.PAGEWIDTH = -1;
    start.RNDSTRTS = start.OUTPUT = "X";
    start.INIT_COM = "XXX";
    const Outcome out = run(job.text(), "job.in", start);
    ASSERT_EQ(out.status, 0);
    const JOBSET& j = out.job;
    EXPECT_EQ(j.COMP_EPS, 0.0001);
    EXPECT_EQ(j.MAXIT, 200);
    EXPECT_EQ(j.ROT_EPS, 0.0001);
    EXPECT_EQ(j.ROT_MAXIT, 200);
    EXPECT_EQ(j.RNDSTRTS + j.INIT_COM + j.OUTPUT, "TONEF");
    EXPECT_EQ(j.HYPER_WIDTH, 0.2);
    EXPECT_EQ(j.PAGEWIDTH, 130);
    // The line after >PLOT: was read as >FORMAT:.
    EXPECT_EQ(trimmed(j.DATFMT), " (A4,5F2.0)");
}

TEST_F(ReaderTest, OutputCountsAndCodes) {
    const std::string b = "   ";
    const struct {
        const char* line;
        std::vector<std::string> codes;
    } cases[] = {
        {"2 cor fac", {"COR", "FAC", b, b, b, b, b, b}},
        {"2.9 COR FAC EIG", {"COR", "FAC", b, b, b, b, b, b}},
        {"9 COR SMO EIG MVN RSD FAC rsd eig phi", {"COR", "SMO", "EIG", "MVN", "RSD", "FAC", "RSD", "EIG"}},
        {"1e9 COR SMO EIG MVN RSD FAC rsd eig", {"COR", "SMO", "EIG", "MVN", "RSD", "FAC", "RSD", "EIG"}},
        {"-2 COR", {b, b, b, b, b, b, b, b}},
        {"3 corr, 'fa' / more", {"COR", "FA ", b, b, b, b, b, b}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const Outcome out = run(base().set(">OUTPUT:", std::string(">OUTPUT: ") + c.line));
        ASSERT_EQ(out.status, 0) << ::testing::PrintToString(out.records);
        EXPECT_EQ(out.job.OUTCOD, c.codes);
        // The rest of the line is ignored: the next line is still the format.
        EXPECT_EQ(trimmed(out.job.DATFMT), " (A4,5F2.0)");
    }
}

TEST_F(ReaderTest, RotationMethodsTheirNamesAndParameters) {
    const struct {
        const char* line;
        const char* method;
        const char* name;
        double delta, hk;
        int power;
    } cases[] = {
        {"VARIMAX", "VARIMAX", "Varimax", 0, 0, 0},
        {"wvarimax", "WVARIMAX", "Weighted Varimax", 0, 0, 0},
        {"OBLIMIN 0.0", "OBLIMIN", "Oblimin", 0.0, 0, 0},
        {"oblimin -0.5", "OBLIMIN", "Oblimin", -0.5, 0, 0},
        {"Promax 4", "PROMAX", "Promax", 0, 0, 4},
        {"PROMAX 1", "PROMAX", "Promax", 0, 0, 1},
        {"HK 0.3", "HK", "Harris-Kaiser", 0, 0.3, 0},
        {"QUARTIMAX", "QUARTIMA", "", 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const Outcome out = run(base().set(">ROTATE:", std::string(">ROTATE: ") + c.line));
        ASSERT_EQ(out.status, 0) << ::testing::PrintToString(out.records);
        EXPECT_EQ(trimmed(out.job.ROTMTH), c.method);
        EXPECT_EQ(out.job.ROTNAM.size(), 25u);
        EXPECT_EQ(trimmed(out.job.ROTNAM), c.name);
        EXPECT_EQ(out.job.DELTA, c.delta);
        EXPECT_EQ(out.job.HKPAR, c.hk);
        EXPECT_EQ(out.job.POWER, c.power);
        EXPECT_EQ(trimmed(out.job.SCRMTH), "REG");  // the next line is read in its place
    }
}

TEST_F(ReaderTest, UnrotatedSolutionsAreNotSortedAndOneFactorIsNotRotated) {
    Outcome out = run(base().set(">ROTATE:", ">ROTATE: none"));
    ASSERT_EQ(out.status, 0);
    EXPECT_EQ(out.records, (std::vector<std::string>{at(30, "WARNING: Orvalis does not sort unrotated solutions"), "", ""}));
    EXPECT_EQ(trimmed(out.job.SRTOPT), "NOSORT");

    out = run(base().set(">MODEL:", ">MODEL: PFA 1 NOLABELS SORT"));
    ASSERT_EQ(out.status, 0);
    EXPECT_TRUE(out.records.empty());
    EXPECT_EQ(out.job.ROTMTH, "NONE    ");
    EXPECT_EQ(trimmed(out.job.ROTNAM), "Varimax");
    EXPECT_EQ(trimmed(out.job.SRTOPT), "SORT");

    out = run(base().set(">MODEL:", ">MODEL: CMT 0 NOLABELS NOSORT"));  // no factors: ends after correlations
    ASSERT_EQ(out.status, 0);
    EXPECT_EQ(out.job.NFAC, 0);
}

TEST_F(ReaderTest, ScoreAndPlotCombinations) {
    // A correlation matrix has no subjects to score; its file is not opened.
    Outcome out = run(base().set(">DATA:", ">DATA: none.cor 5 100").set(">METRIC:", ">METRIC: CO COR NS"));
    ASSERT_EQ(out.status, 0) << ::testing::PrintToString(out.records);
    EXPECT_EQ(out.job.SCRMTH, "NOSCORE ");
    EXPECT_FALSE(out.data_open);

    for (const char* pair : {"SCORES|NOSCORE", "ALL|NONE"}) {
        const std::string p = pair, plot = p.substr(0, p.find('|')), score = p.substr(p.find('|') + 1);
        out = run(base().set(">SCORE:", ">SCORE: " + score).set(">PLOT:", ">PLOT: " + plot));
        EXPECT_EQ(out.status, 0) << pair;
    }
}

TEST_F(ReaderTest, ItemFileAndADroppedLine) {
    write_file(dir_ / "items.txt", "first item\nsecond\n" + std::string(210, 'l') + "\nfour\nfive\nsix is not read\n");
    Outcome out = run(base().after(">DATA:", ">items: " + (dir_ / "items.txt").string()));
    ASSERT_EQ(out.status, 0) << ::testing::PrintToString(out.records);
    EXPECT_EQ(out.records, std::vector<std::string>{at(30, "Items read sucessfully")});
    EXPECT_EQ(out.job.ITMKEY, ">ITEMS:");
    ASSERT_EQ(out.job.ITMTXT.size(), 5u);
    EXPECT_EQ(out.job.ITMTXT[0], "first item" + std::string(190, ' '));
    EXPECT_EQ(out.job.ITMTXT[2], std::string(200, 'l'));
    EXPECT_EQ(trimmed(out.job.ITMTXT[4]), "five");
    EXPECT_FALSE(rt::unit_connected(LUTMP));

    out = run(base().after(">DATA:", "an extra line"));
    ASSERT_EQ(out.status, 0);
    EXPECT_TRUE(out.records.empty());
    EXPECT_EQ(out.job.ITMKEY, "AN EXTR");
}

TEST_F(ReaderTest, GuessingParametersSpreadOverLines) {
    write_file(dir_ / "guess.txt", "0.1 0.2\n0.25,\n\n0.3 0.5 9.9\n");
    const Outcome out = run(base()
                                .set(">METRIC:", ">METRIC: DC RAW SM")
                                .after(">METRIC:", ">CPARAM: " + (dir_ / "guess.txt").string()));
    ASSERT_EQ(out.status, 0) << ::testing::PrintToString(out.records);
    EXPECT_EQ(out.job.CPRFLG, 1);
    EXPECT_EQ(out.job.CPARM, (std::vector<double>{0.1, 0.2, 0.25, 0.3, 0.5}));
    EXPECT_EQ(trimmed(out.job.CPRFIL), (dir_ / "guess.txt").string());
}

TEST_F(ReaderTest, PhiFileNameOfAnObliqueLoadingMatrix) {
    const Outcome out = run(base()
                                .set(">METRIC:", ">METRIC: CO FLD2 NS")
                                .after(">METRIC:", ">phi: " + (dir_ / "phi.txt").string())
                                .set(">MODEL:", ">MODEL: ROT 2 NOLABELS NOSORT"));
    ASSERT_EQ(out.status, 0) << ::testing::PrintToString(out.records);
    EXPECT_EQ(trimmed(out.job.PHIFIL), (dir_ / "phi.txt").string());
    EXPECT_FALSE(out.data_open);
}

TEST_F(ReaderTest, RelativeReportNameLiesInTheWorkingDirectory) {
    const fs::path work = dir_ / "work";
    fs::create_directory(work);
    const fs::path before = fs::current_path();
    fs::current_path(work);
    const Outcome out = run(base().set(">OUTFILE:", ">OUTFILE: rel.out LONG"));
    fs::current_path(before);
    ASSERT_EQ(out.status, 0);
    EXPECT_TRUE(fs::exists(work / "rel.out"));
    EXPECT_FALSE(fs::exists(dir_ / "rel.out"));
}

TEST(Upcase, LeftAdjustsAndUpperCasesLettersOnly) {
    const std::pair<std::string, std::string> cases[] = {
        {"varimax ", "VARIMAX "}, {"  long", "LONG  "}, {" >title:", ">TITLE: "},
        {"a-z_{}09", "A-Z_{}09"}, {"    ", "    "}, {"", ""}, {"\xe9t\xe9", "\xe9T\xe9"},
    };
    for (auto [in, want] : cases) {
        UPCASE(in);
        EXPECT_EQ(in, want);
    }
}

}  // namespace
}  // namespace orv::engine

TEST(BlankPaddedWords, MatchOnlyTheWordFollowedByBlanks) {
    using orv::engine::is_word;
    EXPECT_TRUE(is_word("PROMAX  ", "PROMAX"));
    EXPECT_TRUE(is_word("PROMAX", "PROMAX"));
    EXPECT_TRUE(is_word("        ", ""));
    EXPECT_FALSE(is_word("PROMAXX ", "PROMAX"));  // a longer word
    EXPECT_FALSE(is_word("PROMA   ", "PROMAX"));  // a shorter field
    EXPECT_FALSE(is_word(" PROMAX ", "PROMAX"));  // leading blanks count
    EXPECT_FALSE(is_word("PROMAX X", "PROMAX"));  // text after the blanks
    EXPECT_FALSE(is_word("REG     ", ""));
}
