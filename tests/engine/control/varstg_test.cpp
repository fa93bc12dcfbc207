// The orthogonal rotation stages and the Promax stage run in-process on
// given loadings: Varimax against R's stats::varimax, the invariants of
// every rotation, the weighted-Varimax weights and the variance routine.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "engine/control/jobset.h"
#include "engine/control/moment.h"
#include "engine/control/rundata.h"
#include "engine/control/stages.h"
#include "engine/common/units.h"
#include "numlib/routines2/dunif.h"
#include "runtime/io_error.h"
#include "runtime/units.h"
#include "support/factor_matrix.h"
#include "support/files.h"
#include "support/library_fixture.h"

namespace orv::engine {
namespace {

namespace fs = std::filesystem;
using Matrix = std::vector<double>;

struct Case {
    std::string name;
    int nvar = 0, nfac = 0;
    Matrix l, a;  // column-major
};

std::vector<Case> reference_cases() {
    std::ifstream in(std::string(ORV_TEST_DATA_DIR) + "/engine/golden/varimax_reference.txt");
    std::vector<Case> cases;
    std::string word;
    std::getline(in, word);  // comment line
    while (in >> word && word == "case") {
        Case c;
        in >> c.name >> c.nvar >> c.nfac;
        for (Matrix* m : {&c.l, &c.a}) {
            in >> word;
            m->assign(static_cast<std::size_t>(c.nvar * c.nfac), 0.0);
            for (int i = 0; i < c.nvar; ++i)
                for (int j = 0; j < c.nfac; ++j) in >> (*m)[static_cast<std::size_t>(i + j * c.nvar)];
        }
        cases.push_back(c);
    }
    return cases;
}

// L L' of an NVAR x NFAC matrix.
Matrix outer(const Matrix& l, int nvar, int nfac) {
    Matrix g(static_cast<std::size_t>(nvar * nvar), 0.0);
    for (int i = 0; i < nvar; ++i)
        for (int k = 0; k < nvar; ++k)
            for (int j = 0; j < nfac; ++j) g[i + k * nvar] += l[i + j * nvar] * l[k + j * nvar];
    return g;
}

using orv::testing::max_diff;

class RotationStage : public orv::testing::LibraryFixture {
protected:
    void SetUp() override {
        LibraryFixture::SetUp();
        rt::open_unit_or_fail(LURPT, (dir_ / "report.txt").string(), {rt::OpenStatus::Unknown, false});
    }

    // A job on given loadings, as model ROT hands them to the stages.
    void prepare(const std::string& rotation, int nvar, int nfac, const Matrix& l) {
        job_ = JOBSET{};
        run_ = RUNDATA{};
        job_.NVAR = nvar;
        job_.NFAC = nfac;
        job_.ROTMTH = rotation;
        job_.ROTMTH.resize(8, ' ');
        job_.POWER = 4;
        job_.LABOPT = "NOLABELS       ";
        job_.SRTOPT = "NOSORT         ";
        job_.PLTOPT = "NONE    ";
        job_.RNDSTRTS = "F";
        job_.ROT_EPS = 1e-14;
        job_.ROT_MAXIT = 1000;
        job_.JOBDIR = dir_.string() + "/";
        job_.JOBBAS = "job.in";
        job_.JOBBAS.resize(15, ' ');
        job_.VARLAB.assign(static_cast<std::size_t>(nvar), blank_text(15));
        run_.L = l;
        run_.COMM.assign(static_cast<std::size_t>(nvar), 0.0);
        for (int i = 0; i < nvar; ++i)
            for (int j = 0; j < nfac; ++j) run_.COMM[i] += l[i + j * nvar] * l[i + j * nvar];
    }
    void rotate() {
        WVMSTG(job_, run_);
        VARSTG(job_, run_);
        PROSTG(job_, run_);
    }
    std::string report() {
        rt::flush_all_units();
        return orv::testing::read_file(dir_ / "report.txt");
    }

    orv::testing::TempDir dir_{"orv_varstg"};
    JOBSET job_;
    RUNDATA run_;
};

TEST_F(RotationStage, VarimaxMatchesRAndKeepsTheReproducedMatrix) {
    const auto cases = reference_cases();
    ASSERT_EQ(cases.size(), 5u);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        prepare("VARIMAX", c.nvar, c.nfac, c.l);
        rotate();
        EXPECT_LT(max_diff(run_.A, c.a), 1e-7);
        EXPECT_LT(max_diff(outer(run_.A, c.nvar, c.nfac), outer(c.l, c.nvar, c.nfac)), 1e-12);
        // Without sorting the item-order copy is the table itself.
        EXPECT_EQ(run_.A0, run_.A);
        // The variance of each rotated factor is refilled from A.
        for (int j = 0; j < c.nfac; ++j) {
            double v = 0.0;
            for (int i = 0; i < c.nvar; ++i) v += run_.A[i + j * c.nvar] * run_.A[i + j * c.nvar];
            EXPECT_DOUBLE_EQ(run_.FACSS[j], v);
        }
    }
}

TEST_F(RotationStage, RandomStartTurnsTheLoadingsAndReachesTheSameSolution) {
    const Case c = reference_cases()[1];  // harman74, four factors
    prepare("VARIMAX", c.nvar, c.nfac, c.l);
    job_.RNDSTRTS = "T";
    num2::SETSED(123457);
    rotate();
    EXPECT_GT(max_diff(run_.L, c.l), 1e-3);
    EXPECT_LT(max_diff(outer(run_.L, c.nvar, c.nfac), outer(c.l, c.nvar, c.nfac)), 1e-12);
    EXPECT_LT(max_diff(run_.A, c.a), 1e-6);
}

TEST_F(RotationStage, WeightedVarimaxIsAnOrthogonalRotation) {
    for (const Case& c : reference_cases()) {
        SCOPED_TRACE(c.name);
        prepare("WVARIMAX", c.nvar, c.nfac, c.l);
        rotate();
        EXPECT_LT(max_diff(outer(run_.A, c.nvar, c.nfac), outer(c.l, c.nvar, c.nfac)), 1e-12);
        // Factors come ordered by descending variance, each with a
        // non-negative signed sum of squares.
        for (int j = 0; j < c.nfac; ++j) {
            double s = 0.0;
            for (int i = 0; i < c.nvar; ++i) s += std::copysign(run_.A[i + j * c.nvar] * run_.A[i + j * c.nvar],
                                                                run_.A[i + j * c.nvar]);
            EXPECT_GE(s, 0.0);
            if (j > 0) {
                EXPECT_GE(run_.FACSS[j - 1], run_.FACSS[j]);
            }
        }
    }
}

TEST_F(RotationStage, WeightedVarimaxGivesAReflectedRowItsSignsBack) {
    const Case c = reference_cases()[0];  // harman8, two factors
    prepare("WVARIMAX", c.nvar, c.nfac, c.l);
    rotate();
    const Matrix plain = run_.A;
    Matrix turned = c.l;
    const int row = 7;
    ASSERT_GT(turned[row], 0.0);
    for (int j = 0; j < c.nfac; ++j) turned[row + j * c.nvar] = -turned[row + j * c.nvar];
    prepare("WVARIMAX", c.nvar, c.nfac, turned);
    rotate();
    for (int i = 0; i < c.nvar; ++i)
        for (int j = 0; j < c.nfac; ++j)
            EXPECT_NEAR(run_.A[i + j * c.nvar], (i == row ? -1.0 : 1.0) * plain[i + j * c.nvar], 1e-13);
}

// A row on the first factor alone whose communality estimate lies a hair
// under its squared loading (as an extraction can leave it): the normalised
// loading passes 1, and the angle must still give a finite weight.
TEST_F(RotationStage, WeightedVarimaxHoldsTheAngleArgumentToOne) {
    const Matrix l = {0.8, 0.6, 0.5, 0.1, 0.0, 0.3, 0.0, 0.1, 0.7, 0.6, 0.5, 0.4};
    prepare("WVARIMAX", 6, 2, l);
    double h = 0.64;
    while (!(0.8 / std::sqrt(h) > 1.0)) h = std::nextafter(h, 0.0);
    run_.COMM[0] = h;
    rotate();
    for (double v : run_.A) EXPECT_TRUE(std::isfinite(v));
    EXPECT_LT(max_diff(outer(run_.A, 6, 2), outer(l, 6, 2)), 1e-12);
}

// A variable without loadings has communality 0: its row is left at zero
// (no 0/0 handed to the rotation) and comes back as exact zeros.
TEST_F(RotationStage, WeightedVarimaxKeepsARowWithoutLoadingsAtZero) {
    const Case c = reference_cases()[1];  // harman74, four factors
    Matrix l = c.l;
    const int row = 3;
    for (int j = 0; j < c.nfac; ++j) l[row + j * c.nvar] = 0.0;
    prepare("WVARIMAX", c.nvar, c.nfac, l);
    rotate();
    for (double v : run_.A) ASSERT_TRUE(std::isfinite(v));
    for (int j = 0; j < c.nfac; ++j) {
        EXPECT_EQ(run_.A[row + j * c.nvar], 0.0);
        EXPECT_FALSE(std::signbit(run_.A[row + j * c.nvar]));
    }
    EXPECT_LT(max_diff(outer(run_.A, c.nvar, c.nfac), outer(l, c.nvar, c.nfac)), 1e-12);
}

// The same through the program: a ROT job whose loading file has a row of
// zeros runs to its end, and the row is zeros in the sorted .fac file.
TEST(RotationJob, WeightedVarimaxWithARowOfZeroLoadingsRuns) {
    const fs::path jobs = fs::path(ORV_TEST_DATA_DIR) / "engine" / "jobs" / "rotation";
    const orv::testing::TempDir dir("orv_wvmzero");
    for (const char* file : {"wvm_zero_row.in", "wvm_zero_row.dat"}) fs::copy_file(jobs / file, dir / file);
    EXPECT_EQ(orv::testing::run_program(dir, ORVCALC_PATH, "wvm_zero_row.in", dir / "window.txt"), 0)
        << orv::testing::read_file(dir / "window.txt");
    const std::string fac = orv::testing::read_file(dir / "wvm_zero_row.fac");
    int zero_rows = 0;
    std::istringstream rows(fac);
    for (std::string line; std::getline(rows, line);) {
        ASSERT_EQ(line.size(), 29u) << line;
        if (line.substr(4) == "   0.0000  0.0000  0.0000") ++zero_rows;
    }
    EXPECT_EQ(zero_rows, 1) << fac;
    EXPECT_NE(orv::testing::read_file(dir / "wvm.out").find("Factor Loadings  (Cureton - Mulaik Weights)"),
              std::string::npos);
}

TEST_F(RotationStage, PromaxDoesNotDependOnTheSortOption) {
    const Case c = reference_cases()[1];
    Matrix p0[2], s0[2];
    for (int sorted = 0; sorted < 2; ++sorted) {
        prepare("PROMAX", c.nvar, c.nfac, c.l);
        job_.SRTOPT = sorted ? "SORT           " : "NOSORT         ";
        job_.OUTPUT = "T";
        job_.OUTCOD[2] = "FAC";
        rotate();
        p0[sorted] = run_.P0;
        s0[sorted] = run_.S0;
        // The printed rows follow ORDER.
        for (int p = 0; p < c.nvar; ++p)
            for (int j = 0; j < c.nfac; ++j)
                EXPECT_EQ(run_.P[p + j * c.nvar], run_.P0[(sorted ? run_.ORDER[p] - 1 : p) + j * c.nvar]);
        // PHI from its file: symmetric, unit diagonal, and S0 = P0 PHI.
        std::ifstream phi_file(dir_ / "job.phi");
        Matrix phi(static_cast<std::size_t>(c.nfac * c.nfac));
        for (int i = 0; i < c.nfac; ++i)
            for (int j = 0; j < c.nfac; ++j) phi_file >> phi[i + j * c.nfac];
        ASSERT_TRUE(phi_file);
        Matrix s(static_cast<std::size_t>(c.nvar * c.nfac), 0.0);
        for (int i = 0; i < c.nvar; ++i)
            for (int j = 0; j < c.nfac; ++j) {
                EXPECT_NEAR(phi[i % c.nfac + j * c.nfac], phi[j + (i % c.nfac) * c.nfac], 1e-9);
                for (int k = 0; k < c.nfac; ++k) s[i + j * c.nvar] += run_.P0[i + k * c.nvar] * phi[k + j * c.nfac];
            }
        for (int j = 0; j < c.nfac; ++j) EXPECT_NEAR(phi[j + j * c.nfac], 1.0, 1e-9);
        EXPECT_LT(max_diff(s, run_.S0), 1e-8);
    }
    EXPECT_EQ(p0[0], p0[1]);
    EXPECT_EQ(s0[0], s0[1]);
}

// A labels word that is neither LABELS nor NOLABELS sorts with the default
// labels; unsorted, such a word prints no loading table.
TEST_F(RotationStage, SortedTablesUnderAnUnknownLabelsWordUseDefaultLabels) {
    const Case c = reference_cases()[0];
    prepare("VARIMAX", c.nvar, c.nfac, c.l);
    job_.LABOPT = "NOLABEL        ";
    job_.SRTOPT = "SORT           ";
    rotate();
    const std::string text = report();
    EXPECT_NE(text.find(" VARIMAX: Sorted Factor Loadings\n"), std::string::npos) << text;
    for (int p = 0; p < c.nvar; ++p) {
        const std::string label = "V00" + std::to_string(run_.ORDER[p]);
        EXPECT_EQ(run_.SLAB[p].substr(0, 4), label);
        EXPECT_NE(text.find("\n " + label + "   "), std::string::npos) << label;
    }
    TearDown();
    SetUp();
    prepare("VARIMAX", c.nvar, c.nfac, c.l);
    job_.LABOPT = "NOLABEL        ";
    rotate();
    const std::string unsorted = report();
    EXPECT_EQ(unsorted.find("Rotated Factor Loadings"), std::string::npos);
    EXPECT_NE(unsorted.find("Variance explained by each rotated factor"), std::string::npos);
}

TEST(Moment, CorrectedTwoPassVariance) {
    struct Row {
        std::vector<double> x;
        double var;
    };
    const Row rows[] = {
        {{1.0, 2.0, 3.0, 4.0}, 5.0 / 3.0},
        {{0.25, 0.25, 0.25}, 0.0},
        {{1e8 + 1.0, 1e8 + 2.0, 1e8 + 3.0}, 1.0},
        {{-2.0, 2.0}, 8.0},
    };
    for (const Row& r : rows) {
        double v = -1.0;
        moment(r.x, static_cast<int>(r.x.size()), v);
        EXPECT_DOUBLE_EQ(v, r.var);
    }
}

TEST(Moment, TooFewValuesPromptsAndGoesOn) {
    testing::FakeHost host;
    rt::set_host(&host);
    const std::vector<double> x = {3.0};
    double v = 0.0;
    moment(x, 1, v);
    rt::set_host(nullptr);
    ASSERT_EQ(host.records.size(), 1u);
    EXPECT_EQ(host.records[0], " n must be at least 2 in subroutine moment");
    EXPECT_TRUE(std::isnan(v));
}

}  // namespace
}  // namespace orv::engine
