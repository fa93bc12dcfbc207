// TRP jobs from command file to finished run, and the triplet stage on its
// own.  The jobs and their data are made by scripts/jobs/make_trp_jobs.py; the
// window text, exit status, report and every file a run leaves are compared
// byte for byte with tests/engine/golden/trp/<job>/ (ORV_UPDATE_GOLDEN=1
// rewrites them: read every changed line before keeping them).
// CTest label: threads
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <random>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "engine/common/units.h"
#include "engine/control/jobset.h"
#include "engine/control/rundata.h"
#include "engine/control/stages.h"
#include "engine/stats/mvntrp.h"
#include "numlib/routines2/dnordf.h"
#include "numlib/routines2/erset.h"
#include "runtime/io_error.h"
#include "runtime/units.h"
#include "support/cpus.h"
#include "support/engine_run.h"
#include "support/fake_host.h"

namespace orv::engine {
namespace {

namespace fs = std::filesystem;

const fs::path kJobs = fs::path(ORV_TEST_DATA_DIR) / "engine" / "jobs" / "trp";
const fs::path kGolden = fs::path(ORV_TEST_DATA_DIR) / "engine" / "golden" / "trp";

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

using orv::testing::lines_of;
using orv::testing::read_file;

std::vector<double> numbers(const std::string& line) {
    std::istringstream in(line);
    std::vector<double> out;
    for (double v; in >> v;) out.push_back(v);
    return out;
}

using orv::testing::Outputs;

// Runs a job of kJobs with the real program, in a folder of its own.
Outputs run_job(const std::string& job) { return orv::testing::JobFolderRun(kJobs).run(job); }

void compare_with_golden(const std::string& job, const Outputs& got) {
    orv::testing::expect_golden_folder(kGolden / job, got);
}

// The triplet lines of a report: variables and statistic.
struct Line {
    int i, j, k;
    double g2;
    std::string mark;
};

std::vector<Line> triplet_lines(const std::string& report) {
    std::vector<Line> out;
    bool in = false;
    for (const auto& l : lines_of(report)) {
        if (has(l, "   Triplet    LR Chi-Square")) {
            in = true;
            continue;
        }
        if (has(l, "Number of triplets tested")) break;
        if (!in || l.size() < 24) continue;
        out.push_back({std::stoi(l.substr(0, 3)), std::stoi(l.substr(4, 3)), std::stoi(l.substr(8, 3)),
                       std::stod(l.substr(14, 10)), l.substr(24)});
    }
    return out;
}

// The summary rows: count and percentage per variable.
std::vector<std::pair<long, double>> summary(const std::string& report) {
    std::vector<std::pair<long, double>> out;
    const auto all = lines_of(report);
    std::size_t r = 0;
    while (r < all.size() && all[r].rfind("--------   ---", 0) != 0) ++r;
    for (++r; r < all.size(); ++r) {
        const auto v = numbers(all[r]);
        if (v.size() == 3) out.push_back({static_cast<long>(v[1]), v[2]});
    }
    return out;
}

// Report, summary and .mvn agree: the counts are the "**" triplets of each
// variable, the percentages 100 count / (3 T / NVAR), the first .mvn
// record(s) the statistics in F9.3 and the last one the percentages.
void expect_consistent(const Outputs& out, const std::string& job, int nvar) {
    const auto tl = triplet_lines(out.at("report"));
    ASSERT_EQ(static_cast<std::int64_t>(tl.size()), triplet_count(nvar));
    std::vector<long> count(static_cast<std::size_t>(nvar), 0);
    for (const Line& l : tl) {
        EXPECT_TRUE(std::isfinite(l.g2));
        const std::string want = l.g2 >= 6.6350005 ? "**" : l.g2 >= 3.8410005 ? "* " : "  ";
        if (std::abs(l.g2 - 6.635) > 1e-3 && std::abs(l.g2 - 3.841) > 1e-3) {
            EXPECT_EQ(l.mark, want) << l.g2;
        }
        if (l.mark == "**")
            for (int v : {l.i, l.j, l.k}) ++count[static_cast<std::size_t>(v - 1)];
    }
    const auto s = summary(out.at("report"));
    ASSERT_EQ(s.size(), static_cast<std::size_t>(nvar));
    const double per = 3.0 * static_cast<double>(tl.size()) / nvar;
    for (int v = 0; v < nvar; ++v) {
        EXPECT_EQ(s[static_cast<std::size_t>(v)].first, count[static_cast<std::size_t>(v)]);
        EXPECT_NEAR(s[static_cast<std::size_t>(v)].second, 100.0 * count[static_cast<std::size_t>(v)] / per, 0.0051);
    }
    EXPECT_TRUE(has(out.at("report"), "Number of triplets tested = " + std::string(8 - std::to_string(tl.size()).size(), ' ') +
                                          std::to_string(tl.size())));
    if (!out.count(job + ".mvn")) return;
    const auto records = lines_of(out.at(job + ".mvn"));
    ASSERT_EQ(records.size(), 2u);
    const auto stats = numbers(records[0]);
    ASSERT_EQ(stats.size(), tl.size());
    for (std::size_t t = 0; t < tl.size(); ++t) EXPECT_NEAR(stats[t], tl[t].g2, 0.00051);
    const auto pct = numbers(records[1]);
    ASSERT_EQ(pct.size(), static_cast<std::size_t>(nvar));
    for (int v = 0; v < nvar; ++v) EXPECT_NEAR(pct[static_cast<std::size_t>(v)], s[static_cast<std::size_t>(v)].second, 0.0051);
}

int flagged(const Outputs& out) {
    int n = 0;
    for (const Line& l : triplet_lines(out.at("report"))) n += l.mark == "**";
    return n;
}

TEST(TrpJob, ProbitItemsGiveFewSuspiciousTriplets) {
    const Outputs out = run_job("probit");
    EXPECT_EQ(out.at("status"), "0\n");
    EXPECT_TRUE(has(out.at("window"), "Computing Triplet Test for variables   8   9  10\n"));
    EXPECT_TRUE(has(out.at("window"), "Finished\n"));
    expect_consistent(out, "probit", 10);
    EXPECT_LE(flagged(out), 3);  // of 120; about 1 in 100 by chance
    compare_with_golden("probit", out);
}

TEST(TrpJob, SkewedFactorGivesManySuspiciousTriplets) {
    const Outputs out = run_job("skewed");
    EXPECT_EQ(out.at("status"), "0\n");
    expect_consistent(out, "skewed", 10);
    EXPECT_GE(flagged(out), 20);
    compare_with_golden("skewed", out);
}

TEST(TrpJob, LongLabelledJobWithRareItemAndNoFactors) {
    const Outputs out = run_job("small");
    EXPECT_EQ(out.at("status"), "0\n");
    expect_consistent(out, "small", 6);
    EXPECT_TRUE(out.count("small.cor"));
    EXPECT_TRUE(has(out.at("report"), " CORRELATION MATRIX\n"));
    EXPECT_TRUE(has(out.at("report"), "0==============Triplet Test of Multivariate Normality============0"));
    // No eigenvalues: the run ends after the triplet test, NFAC 0 or not.
    EXPECT_FALSE(out.count("small.eig"));
    EXPECT_FALSE(has(out.at("report"), "NaN"));
    compare_with_golden("small", out);
}

TEST(TrpJob, MvnFileOnlyWhenAskedAndOutputOn) {
    for (const std::string job : {"small_nomvn", "small_output_f"}) {
        const Outputs out = run_job(job);
        EXPECT_EQ(out.at("status"), "0\n");
        EXPECT_FALSE(out.count(job + ".mvn")) << job;
        expect_consistent(out, job, 6);
    }
}

TEST(TrpJob, ThreeItemsOneTriplet) {
    const Outputs out = run_job("three");
    EXPECT_EQ(out.at("status"), "0\n");
    expect_consistent(out, "three", 3);
    // The one triplet is suspicious: each variable 100 % of the time.
    const auto s = summary(out.at("report"));
    ASSERT_EQ(s.size(), 3u);
    for (const auto& row : s) EXPECT_EQ(row, (std::pair<long, double>{1, 100.0}));
    compare_with_golden("three", out);
}

// Reverse-keying an item (each answer 1 - x) negates its slope and
// intercept and leaves the fit of every triplet as it was: the triplets of
// three reverse-keyed items among six have their positive twins'
// statistics, and are flagged no more often.
TEST(TrpJob, ReverseKeyedItemsFitLikeTheirPositiveTwins) {
    const Outputs positive = run_job("positive");
    const Outputs reversed = run_job("reversed");
    expect_consistent(reversed, "reversed", 6);
    const auto p = triplet_lines(positive.at("report"));
    const auto r = triplet_lines(reversed.at("report"));
    ASSERT_EQ(p.size(), 20u);
    ASSERT_EQ(r.size(), 20u);
    for (std::size_t t = 0; t < r.size(); ++t) EXPECT_NEAR(r[t].g2, p[t].g2, 2e-3 + 1e-4 * p[t].g2) << t;
    EXPECT_LE(flagged(reversed), flagged(positive));
    EXPECT_LE(flagged(positive), 1);
}

// The minima that scripts/reference/trp_minimum.py finds from 26 starts,
// by job, in triplet order.
std::map<std::string, std::vector<Line>> reference_minima() {
    std::map<std::string, std::vector<Line>> out;
    std::istringstream in(read_file(kGolden / "minimum_reference.txt"));
    std::string job;
    for (Line l; in >> job >> l.i >> l.j >> l.k >> l.g2;) out[job].push_back(l);
    return out;
}

// The pattern counts of triplet (i, j, k) in a data file of layout
// (F4.0,1X,nF1.0).
std::vector<int> pattern_counts(const std::vector<std::string>& rows, int i, int j, int k) {
    std::vector<int> o(8, 0);
    for (const std::string& row : rows)
        for (int p = 0; p < 8; ++p)
            if (row[4 + i] == "01"[MVN_PATTERNS[p] == 1.0] && row[4 + j] == "01"[MVN_PATTERNS[p + 8] == 1.0] &&
                row[4 + k] == "01"[MVN_PATTERNS[p + 16] == 1.0])
                ++o[static_cast<std::size_t>(p)];
    return o;
}

// Every printed statistic is the minimum of its triplet, within 2e-3 +
// 1e-4 x minimum, on loadings of mixed signs, on extreme thresholds (many
// patterns of a few subjects or none), on a log-normal factor and on
// misfitting triplets whose lowest minimum lies in the valley of a growing
// slope or in another sign pattern than the start's; none is below 0,
// although a perfect fit comes out a little below 0 under the float
// weights.  The extreme triplets, fitted again here from the job's counts
// and its .cor file, end every search where the gradient is 0 or G2
// cannot fall, and the skewed factor is still flagged in most triplets.
TEST(TrpJob, EveryStatisticIsTheMinimumOfItsTriplet) {
    const auto minima = reference_minima();
    std::vector<std::pair<std::string, int>> jobs = {{"reversed", 6}, {"extreme", 8}, {"lognormal", 8}};
    for (int k = 1; k <= 6; ++k) jobs.push_back({"misfit" + std::to_string(k), 3});
    for (const auto& [job, nvar] : jobs) {
        SCOPED_TRACE(job);
        const Outputs out = run_job(job);
        EXPECT_EQ(out.at("status"), "0\n");
        expect_consistent(out, job, nvar);
        const auto lines = triplet_lines(out.at("report"));
        const auto& want = minima.at(job);
        ASSERT_EQ(lines.size(), want.size());
        int perfect = 0;
        for (std::size_t t = 0; t < lines.size(); ++t) {
            const Line& l = lines[t];
            ASSERT_EQ((std::vector<int>{l.i, l.j, l.k}), (std::vector<int>{want[t].i, want[t].j, want[t].k}));
            EXPECT_NEAR(l.g2, std::max(want[t].g2, 0.0), 2e-3 + 1e-4 * want[t].g2) << l.i << " " << l.j << " " << l.k;
            EXPECT_FALSE(std::signbit(l.g2)) << l.i << " " << l.j << " " << l.k;
            perfect += want[t].g2 < 0.0;
        }
        if (job == "lognormal") {
            EXPECT_GT(2 * flagged(out), static_cast<int>(lines.size()));
        }
        if (job != "extreme") continue;
        EXPECT_GE(perfect, 1);
        const auto rows = lines_of(read_file(kJobs / "extreme.dat"));
        const auto r = numbers(out.at("extreme.cor"));
        ASSERT_EQ(r.size(), 64u);
        double tau[8];
        for (int v = 0; v < 8; ++v) {
            const auto ones = std::count_if(rows.begin(), rows.end(), [&](const std::string& x) { return x[5 + v] == '1'; });
            tau[v] = num2::DNORIN(static_cast<double>(ones) / static_cast<double>(rows.size()));
        }
        for (const Line& l : lines) {
            const int i = l.i - 1, j = l.j - 1, k = l.k - 1;
            const double t3[3] = {tau[i], tau[j], tau[k]};
            const MvnFit fit = mvn_fit(pattern_counts(rows, l.i, l.j, l.k), static_cast<int>(rows.size()), t3,
                                       r[static_cast<std::size_t>(i + 8 * j)], r[static_cast<std::size_t>(i + 8 * k)],
                                       r[static_cast<std::size_t>(j + 8 * k)]);
            EXPECT_NE(fit.ended, MvnEnd::limit) << l.i << " " << l.j << " " << l.k;
            EXPECT_NEAR(fit.g2, l.g2, 0.0000501) << l.i << " " << l.j << " " << l.k;  // the printed value
        }
    }
}

// The engine takes one thread per CPU it may run on: pinned to one CPU it
// fits the triplets on one thread and must leave the same files.
TEST(TrpJob, SameFilesOnOneCpuAsOnAll) {
    const Outputs many = run_job("skewed");
    Outputs single;
    {
        const orv::testing::OneCpu pinned;
        single = run_job("skewed");
    }
    EXPECT_EQ(single.at("status"), "0\n");
    EXPECT_EQ(single, many);
}

// Each mend: the message, the exit status, and a report that ends where the
// run stopped.
TEST(TrpJob, JobsThatCannotBeTestedStopWithTheirMessage) {
    const std::map<std::string, std::string> cases = {
        {"trp_cor", "FATAL ERROR: Input type COR cannot be used with model TRP on >MODEL: line\n\n\nStop"},
        {"trp_fld1", "FATAL ERROR: Input type FLD1 cannot be used with model TRP on >MODEL: line\n\n\nStop"},
        {"trp_two", "FATAL ERROR: The triplet test needs at least 3 variables on >DATA: line\n\n\nStop"},
        {"bad_code",
         "FATAL ERROR: Variable 3 has the response 2.000000 for subject 42; the triplet test takes only 0 and 1\n\n\nStop"},
        {"bad_code_co",
         "FATAL ERROR: Variable 3 has the response 2.000000 for subject 42; the triplet test takes only 0 and 1\n\n\nStop"},
        {"no_var0", "FATAL ERROR: VARIABLE   3 HAS NO VARIANCE\n\n\n\nStop"},
        {"no_var1", "FATAL ERROR: VARIABLE   4 HAS NO VARIANCE\n\n\n\nStop"},
        // Most answers of item 1 are 1, its median: the split makes it all 0.
        {"split_cd", "FATAL ERROR: VARIABLE   1 HAS NO VARIANCE\n\n\n\nStop"},
    };
    for (const auto& [job, message] : cases) {
        SCOPED_TRACE(job);
        const Outputs out = run_job(job);
        EXPECT_EQ(out.at("status"), "1\n");
        EXPECT_TRUE(has(out.at("window"), message)) << out.at("window");
        EXPECT_FALSE(has(out.at("window"), "Computing Triplet Test"));
        // Stopped before the correlations and the report head.
        EXPECT_FALSE(has(out.at("window"), "Computing tetrachoric") || has(out.at("window"), "Computing correlations"));
        EXPECT_FALSE(has(out.at("window"), "Reading Correlations"));
        EXPECT_EQ(out.at("report"), "");
        EXPECT_FALSE(out.count(job + ".frq"));  // the tetrachoric routine never started
        EXPECT_FALSE(out.count(job + ".mvn"));
        compare_with_golden(job, out);
    }
}

// The stage on its own, with 1 and 8 threads: window records, report and
// .mvn must be the same.
class TrpStage : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/orv_trp_stage_XXXXXX";
        ASSERT_NE(::mkdtemp(name), nullptr);
        dir_ = name;
        rt::set_host(&host_);
        num2::reset_error_machinery();
    }
    void TearDown() override {
        rt::close_all_units();
        rt::set_host(nullptr);
        num2::reset_error_machinery();
        fs::remove_all(dir_);
    }

    // NSUBJ x NVAR one-factor items with varied loadings, and their phi
    // correlations as R.
    void make_data(int nvar, int nsubj, unsigned seed) {
        job_ = JOBSET{};
        job_.DATTYP = "RAW ";
        job_.MODTYP = "TRP ";
        job_.NVAR = nvar;
        job_.NSUBJ = nsubj;
        job_.OUTPUT = "T";
        job_.OUTCOD[0] = "MVN";
        job_.JOBDIR = dir_.string() + "/";
        job_.JOBBAS = "job.in         ";
        std::mt19937_64 gen(seed);
        std::normal_distribution<double> z(0.0, 1.0);
        run_ = RUNDATA{};
        run_.X.resize(static_cast<std::size_t>(nvar) * nsubj);
        for (int s = 0; s < nsubj; ++s) {
            const double f = z(gen);
            for (int v = 0; v < nvar; ++v) {
                const double l = 0.3 + 0.05 * (v % 9);
                run_.X[s + static_cast<std::size_t>(v) * nsubj] =
                    l * f + std::sqrt(1 - l * l) * z(gen) > -0.8 + 0.13 * (v % 12) ? 1.0 : 0.0;
            }
        }
        run_.R.assign(static_cast<std::size_t>(nvar) * nvar, 1.0);
        for (int a = 0; a < nvar; ++a)
            for (int b = 0; b < nvar; ++b) {
                if (a == b) continue;
                double m[2][2] = {};
                for (int s = 0; s < nsubj; ++s)
                    m[static_cast<int>(run_.X[s + static_cast<std::size_t>(a) * nsubj])]
                     [static_cast<int>(run_.X[s + static_cast<std::size_t>(b) * nsubj])] += 1.0;
                run_.R[static_cast<std::size_t>(a) + static_cast<std::size_t>(b) * nvar] =
                    (m[1][1] * m[0][0] - m[1][0] * m[0][1]) /
                    std::sqrt((m[1][1] + m[1][0]) * (m[0][1] + m[0][0]) * (m[1][1] + m[0][1]) * (m[1][0] + m[0][0]));
            }
    }

    struct Result {
        std::vector<std::string> window;
        std::string report, mvn;
        bool operator==(const Result&) const = default;
    };

    Result run_stage(int threads) {
        host_.records.clear();
        rt::open_unit_or_fail(LURPT, (dir_ / "report").string(), {rt::OpenStatus::Replace, false});
        JOBSET job = job_;
        RUNDATA run = run_;
        TRPSTG(job, run, threads);
        rt::close_all_units();
        return {host_.records, read_file(dir_ / "report"), read_file(dir_ / "job.mvn")};
    }

    fs::path dir_;
    JOBSET job_;
    RUNDATA run_;
    orv::testing::FakeHost host_;
};

TEST_F(TrpStage, SameOutputOnOneAndEightThreads) {
    // 1,140 triplets: several blocks on one thread.
    make_data(20, 300, 7);
    const Result one = run_stage(1);
    EXPECT_EQ(one.window.size(), 1u + 1140u);  // the empty record, then a line per triplet
    EXPECT_EQ(one.window[1].substr(0, 1), "+");
    EXPECT_EQ(triplet_lines(one.report).size(), 1140u);
    EXPECT_TRUE(run_stage(8) == one);
    EXPECT_TRUE(run_stage(3) == one);
}

// The stage's counts come from bit-packed indicators; MVNTRP counts the
// patterns subject by subject.  Their report lines must be the same.
TEST_F(TrpStage, LinesEqualMvntrpOnTheColumns) {
    make_data(9, 257, 5);  // 257 subjects: a last word with one bit
    const Result stage = run_stage(4);
    rt::open_unit_or_fail(LURPT, (dir_ / "direct").string(), {rt::OpenStatus::Replace, false});
    const int n = job_.NSUBJ;
    auto column = [&](int v) {
        return std::span<const double>(run_.X).subspan(static_cast<std::size_t>(v - 1) * n, static_cast<std::size_t>(n));
    };
    auto r = [&](int a, int b) { return run_.R[static_cast<std::size_t>(a - 1) + static_cast<std::size_t>(b - 1) * 9]; };
    for (int i = 1; i <= 9; ++i)
        for (int j = i + 1; j <= 9; ++j)
            for (int k = j + 1; k <= 9; ++k) {
                double g2 = 0.0;
                MVNTRP(i, j, k, column(i), column(j), column(k), r(i, j), r(i, k), r(j, k), n, LURPT, g2);
            }
    rt::close_all_units();
    const auto direct = lines_of(read_file(dir_ / "direct"));
    ASSERT_EQ(direct.size(), 84u);
    const auto all = lines_of(stage.report);
    std::size_t first = 0;
    while (first < all.size() && all[first] != "   Triplet    LR Chi-Square") ++first;
    ASSERT_LT(first + 2 + 84, all.size());
    for (std::size_t t = 0; t < 84; ++t) EXPECT_EQ(all[first + 2 + t], direct[t]) << t;
}

TEST_F(TrpStage, MvnRecordContinuesAfter9999Statistics) {
    // 41 variables: 10,660 triplets, the first record runs over into a
    // second by format reversion.
    make_data(41, 60, 11);
    const Result out = run_stage(0);
    const auto records = lines_of(out.mvn);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(numbers(records[0]).size(), 9999u);
    EXPECT_EQ(numbers(records[1]).size(), 10660u - 9999u);
    EXPECT_EQ(numbers(records[2]).size(), 41u);
    EXPECT_EQ(records[0].size(), 9999u * 11u - 2u);  // (F9.3,2X): no blanks after the last field
    const auto tl = triplet_lines(out.report);
    ASSERT_EQ(tl.size(), 10660u);
    EXPECT_EQ(tl.back().i, 39);
    EXPECT_EQ(tl.back().k, 41);
}

TEST_F(TrpStage, DataRuleStopsOnAVariableWithoutVariance) {
    make_data(5, 100, 3);
    for (int s = 0; s < 100; ++s) run_.X[s + 1 * 100] = 1.0;  // variable 2 all 1
    try {
        TRPDAT(job_, run_);
        FAIL() << "no stop";
    } catch (const rt::Stop& stop) {
        EXPECT_EQ(stop.exit_status, 1);
    }
    ASSERT_FALSE(host_.records.empty());
    EXPECT_EQ(host_.records[0], "                             FATAL ERROR: VARIABLE   2 HAS NO VARIANCE");
}

}  // namespace
}  // namespace orv::engine
