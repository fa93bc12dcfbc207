// CMT jobs from command file to finished run: every branch of the correlation
// stage through the real program, started from another working directory.
// The window text, the exit status, the report and every file the run leaves
// beside the command file are compared byte for byte with the files under
// tests/engine/golden/cmt/<job>/.  The jobs and their data are made by
// scripts/jobs/make_cmt_jobs.py.  ORV_UPDATE_GOLDEN=1 rewrites the golden files
// from the runs; read every changed line before keeping them.
// CTest label: threads
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine/common/units.h"
#include "engine/stats/polcor.h"
#include "engine/stats/tetcor.h"
#include "runtime/units.h"
#include "support/engine_run.h"
#include "support/library_fixture.h"

namespace orv::engine {
namespace {

namespace fs = std::filesystem;

const fs::path kJobs = fs::path(ORV_TEST_DATA_DIR) / "engine" / "jobs" / "cmt";
const fs::path kGolden = fs::path(ORV_TEST_DATA_DIR) / "engine" / "golden" / "cmt";

using orv::testing::has;

using orv::testing::lines_of;
using orv::testing::numbers;

using orv::testing::JobFolderRun;
using orv::testing::Outputs;
using orv::testing::read_file;

void compare_with_golden(const std::string& job, const Outputs& got) {
    orv::testing::expect_golden_folder(kGolden / job, got);
}

// A case of the stage, run as SHORT, LONG with labels and LONG without.
struct Case {
    const char* name;
    int status;
    std::vector<std::string> files;   // extensions of the matrix and side files made
    std::vector<std::string> shows;   // window lines that must appear
    std::vector<std::string> hidden;  // window lines that must not appear
};

const std::string kSmoothing = "Smoothing Correlations";
const std::string kTetrachoric = "Computing tetrachoric correlation for varables ";

const std::vector<Case> kCases = {
    // The tetrachoric progress line overwrites "Reading Data" (no line of its
    // own comes between), so a log keeps only the former.
    {"raw_cd", 0, {"cor", "dff", "frq", "ser", "smo"}, {kTetrachoric + " 15  14", kSmoothing}, {"Reading Data"}},
    // SMO stands in the eighth slot of >OUTPUT:, so no .smo file.
    {"raw_di", 0, {"cor", "dff", "frq", "ser"}, {"Reading Data", kTetrachoric + "  6   5", kSmoothing}, {}},
    {"raw_dc", 0, {"cor", "dff", "frq", "ser"}, {kTetrachoric + "  6   5"}, {kSmoothing}},
    {"raw_or", 0, {"cor", "smo"}, {"Computing polychoric correlations for variables:   5   4", kSmoothing}, {}},
    // Raw continuous and ipsatized data are never smoothed, whatever SM says.
    {"raw_co", 0, {"cor"}, {"Reading Data", "Computing correlations"}, {kSmoothing}},
    {"raw_ip", 0, {"cor"}, {"Reading Data"}, {kSmoothing, "Computing"}},
    {"cor_di", 0, {"smo"}, {"Reading Correlations", kSmoothing}, {"Reading Data"}},
    {"cor_or", 0, {}, {"Reading Correlations"}, {kSmoothing}},
    // Smoothed, but this case writes no .smo file.
    {"cor_co", 0, {}, {"Reading Correlations", kSmoothing}, {}},
    {"cor_dc", 1, {}, {"FATAL ERROR: Input type COR cannot be used with metric DC on >METRIC: line\n\n\nStop"},
     {"Reading", kSmoothing}},
    {"cor_cd", 1, {}, {"FATAL ERROR: Input type COR cannot be used with metric CD on >METRIC: line\n\n\nStop"},
     {"Reading", kSmoothing}},
    {"cor_ip", 1, {}, {"FATAL ERROR: Input type COR cannot be used with metric IP on >METRIC: line\n\n\nStop"},
     {"Reading", kSmoothing}},
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class CmtJob : public ::testing::TestWithParam<Case> {};

TEST_P(CmtJob, ShortLongAndNolabelsRunsMatchTheirGoldenFiles) {
    const Case& c = GetParam();
    for (const std::string variant : {"short", "long", "nolab"}) {
        SCOPED_TRACE(variant);
        const std::string job = std::string(c.name) + "_" + variant;
        JobFolderRun run(kJobs);
        const Outputs out = run.run(job);
        EXPECT_EQ(out.at("status"), std::to_string(c.status) + "\n");
        std::set<std::string> made, wanted;
        for (const auto& item : out)
            if (item.first.rfind(job + ".", 0) == 0) made.insert(item.first.substr(job.size() + 1));
        wanted.insert(c.files.begin(), c.files.end());
        EXPECT_EQ(made, wanted);
        for (const auto& line : c.shows) EXPECT_TRUE(has(out.at("window"), line)) << line << "\n" << out.at("window");
        for (const auto& line : c.hidden) EXPECT_FALSE(has(out.at("window"), line)) << line;
        ASSERT_TRUE(out.count("report"));
        const std::string& report = out.at("report");
        if (c.status == 0) {
            EXPECT_TRUE(has(out.at("window"), "Finished\n"));
            EXPECT_EQ(has(report, " CORRELATION MATRIX\n"), variant != "short");
            EXPECT_TRUE(has(report, "0===========COMMAND LISTING====================0"));
        } else {
            // Stopped before the head: the report was opened and left empty.
            EXPECT_EQ(report, "");
        }
        compare_with_golden(job, out);
    }
}

INSTANTIATE_TEST_SUITE_P(Branches, CmtJob, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The values of a matrix file, record by record.
std::vector<std::vector<double>> values(const std::string& text) {
    std::vector<std::vector<double>> rows;
    for (const auto& line : lines_of(text)) rows.push_back(numbers(line));
    return rows;
}

TEST(CmtFiles, RecordLayoutsOfTheMatrixFiles) {
    JobFolderRun run(kJobs);
    // Nine decimals, 13 columns a value (the blank after the last is not
    // written); ipsatized data three decimals in 8 columns.
    const Outputs di = run.run("raw_di_short");
    for (const auto& line : lines_of(di.at("raw_di_short.cor"))) EXPECT_EQ(line.size(), 6u * 13 - 1) << line;
    const Outputs ip = run.run("raw_ip_short");
    for (const auto& line : lines_of(ip.at("raw_ip_short.cor"))) EXPECT_EQ(line.size(), 15u * 8) << line;
    EXPECT_EQ(lines_of(ip.at("raw_ip_short.cor"))[0].substr(0, 16), "   1.000  -0.043");
    // The .cor file holds R before smoothing, .smo after; both symmetric
    // with a unit diagonal.
    const Outputs cd = run.run("raw_cd_short");
    const auto cor = values(cd.at("raw_cd_short.cor"));
    const auto smo = values(cd.at("raw_cd_short.smo"));
    ASSERT_EQ(cor.size(), 15u);
    ASSERT_EQ(smo.size(), 15u);
    EXPECT_NE(cor, smo);
    for (std::size_t i = 0; i < 15; ++i) {
        EXPECT_EQ(cor[i][i], 1.0);
        EXPECT_NEAR(smo[i][i], 1.0, 1e-9);
        for (std::size_t j = 0; j < 15; ++j) {
            EXPECT_EQ(cor[i][j], cor[j][i]);
            EXPECT_NEAR(smo[i][j], cor[i][j], 0.05);
        }
    }
    // The .dff file keeps the raw proportions under the guessing correction.
    const Outputs dc = run.run("raw_dc_short");
    EXPECT_EQ(dc.at("raw_dc_short.dff"), di.at("raw_di_short.dff"));
    EXPECT_NE(dc.at("raw_dc_short.frq"), di.at("raw_di_short.frq"));
}

TEST(CmtFiles, OutputFWritesNoMatrixFileButTheSideFiles) {
    JobFolderRun run(kJobs);
    const Outputs out = run.run("output_f");
    EXPECT_FALSE(out.count("output_f.cor"));
    EXPECT_FALSE(out.count("output_f.smo"));
    EXPECT_TRUE(out.count("output_f.frq") && out.count("output_f.dff") && out.count("output_f.ser"));
    EXPECT_TRUE(has(out.at("window"), kSmoothing));
    compare_with_golden("output_f", out);
}

TEST(CmtFiles, LoadingInputWithoutModelRotStops) {
    JobFolderRun run(kJobs);
    const Outputs out = run.run("fld1_cmt");
    EXPECT_EQ(out.at("status"), "1\n");
    EXPECT_TRUE(has(out.at("window"),
                    std::string(28, ' ') + "FATAL ERROR: Input type FLD1 cannot be used with model CMT on >MODEL: line\n"));
    compare_with_golden("fld1_cmt", out);
}

// The column numbers of the correlation table's first block, and the width
// of its widest record.
std::pair<int, std::size_t> first_block(const std::string& report) {
    const auto all = lines_of(report);
    const auto title = std::find(all.begin(), all.end(), " CORRELATION MATRIX");
    EXPECT_NE(title, all.end());
    if (title == all.end()) return {0, 0};
    std::istringstream heading(*(title + 1));
    int columns = 0;
    for (int k; heading >> k;) ++columns;
    std::size_t widest = 0;
    for (auto it = title; it != all.end(); ++it) widest = std::max(widest, it->size());
    return {columns, widest};
}

TEST(CmtFiles, PageWidth119PrintsWiderThanTheDefault130) {
    JobFolderRun run(kJobs);
    const Outputs narrow = run.run("width119");
    const Outputs wide = run.run("raw_co_nolab");
    // 130 prints 110 columns: 13 values of 8 beside the row numbers; 119
    // prints 119: 14 values.
    const auto [c130, w130] = first_block(wide.at("report"));
    const auto [c119, w119] = first_block(narrow.at("report"));
    EXPECT_EQ(c130, 13);
    EXPECT_LE(w130, 110u);
    EXPECT_EQ(c119, 14);
    EXPECT_LE(w119, 119u);
    EXPECT_GT(w119, 110u);
    compare_with_golden("width119", narrow);
}

// Thread counts: the engine takes one thread per core and no setting of the
// job or the environment changes that, so the routines are run here on a
// job's data with 1 and 8 threads.  Window records, report lines, side files
// and R must be the same.
class ThreadCount : public orv::testing::LibraryFixture {
protected:
    // Columns 6.. of a fixture file, `width` characters a value, as NSUBJ x
    // NVAR column-major data.
    static std::vector<double> data(const std::string& file, int nvar, int width, int& nsubj) {
        const auto rows = lines_of(read_file(kJobs / file));
        nsubj = static_cast<int>(rows.size());
        std::vector<double> x(rows.size() * static_cast<std::size_t>(nvar));
        for (std::size_t s = 0; s < rows.size(); ++s)
            for (int v = 0; v < nvar; ++v)
                x[s + rows.size() * static_cast<std::size_t>(v)] =
                    std::stod(rows[s].substr(static_cast<std::size_t>(4 + (width == 1) + v * width),
                                             static_cast<std::size_t>(width)));
        return x;
    }

    struct Result {
        std::vector<double> r;
        std::vector<std::string> window;
        std::string report, frq, dff, ser;
        bool operator==(const Result&) const = default;
    };

    template <typename Call>
    Result run(int nvar, Call call) {
        Result out;
        out.r.assign(static_cast<std::size_t>(nvar * nvar), 0.0);
        host_.records.clear();
        rt::open_unit_or_fail(LURPT, (dir_ / "report").string(), {rt::OpenStatus::Replace, false});
        call(out.r);
        rt::close_all_units();
        out.window = host_.records;
        out.report = read_file(dir_ / "report");
        out.frq = read_file(dir_ / "job.frq");
        out.dff = read_file(dir_ / "job.dff");
        out.ser = read_file(dir_ / "job.ser");
        return out;
    }

    orv::testing::TempDir dir_{"orv_cmt_threads"};
};

TEST_F(ThreadCount, TetrachoricJobIsTheSameOnOneAndEightThreads) {
    // The fifteen scores split at 50: 105 pairs, several per thread.
    int nsubj = 0;
    std::vector<double> x = data("scores.dat", 15, 6, nsubj);
    for (double& v : x) v = v > 50.0 ? 1.0 : 0.0;
    auto with = [&](int threads) {
        return run(15, [&](std::vector<double>& r) {
            TETCOR(x, nsubj, 15, r, LURPT, dir_.string() + "/", "job.in         ", 0, {}, threads);
        });
    };
    const Result one = with(1);
    EXPECT_EQ(one.window.size(), 105u);
    EXPECT_FALSE(one.frq.empty());
    EXPECT_TRUE(with(8) == one);
}

TEST_F(ThreadCount, PolychoricJobIsTheSameOnOneAndEightThreads) {
    int nsubj = 0;
    const std::vector<double> x = data("ordered.dat", 5, 1, nsubj);
    ASSERT_EQ(nsubj, 150);
    auto with = [&](int threads) {
        return run(5, [&](std::vector<double>& r) { POLCOR(x, nsubj, 5, r, LURPT, threads); });
    };
    const Result one = with(1);
    EXPECT_TRUE(has(one.report, "!!!WARNING: CORRELATION   5   4    AT BOUNDARY!!!"));
    EXPECT_EQ(one.r[3 + 5 * 4], 0.9);
    EXPECT_TRUE(with(8) == one);
}

}  // namespace
}  // namespace orv::engine
