// The extraction stage and the unrotated solution, called directly:
// principal axes and components (the scaled eigenvectors of R) against the
// committed high-precision reference, the window lines, the pass limits and their warning, ERROR
// 100, the .eig and .fac files and the report blocks.
// CTest label: threads
#include <gtest/gtest.h>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "engine/control/jobset.h"
#include "engine/control/rundata.h"
#include "engine/control/stages.h"
#include "numlib/routines1/errexit.h"
#include "numlib/routines2/erset.h"
#include "runtime/io_error.h"
#include "runtime/units.h"
#include "support/files.h"
#include "support/library_fixture.h"

namespace orv::engine {
namespace {

namespace fs = std::filesystem;
using orv::testing::numbers;
using orv::testing::padded;
using orv::testing::read_file;

struct Reference {
    std::string name, model, init;
    int nvar = 0, nfac = 0, maxit = 0, passes = 0;
    double eps = 0.0;
    std::vector<double> r, eigen, eval, loadings, comm;  // r and loadings row by row
};

std::vector<Reference> references() {
    std::ifstream in(std::string(ORV_TEST_DATA_DIR) + "/engine/golden/extract/principal_axes_reference.txt");
    std::vector<Reference> all;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream f(line);
        std::string key;
        f >> key;
        if (key == "CASE") {
            all.emplace_back();
            Reference& c = all.back();
            f >> c.name >> c.model >> c.init >> c.nvar >> c.nfac >> c.eps >> c.maxit;
            continue;
        }
        Reference& c = all.back();
        if (key == "PASSES") {
            f >> c.passes;
            continue;
        }
        std::map<std::string, std::vector<double>*> target{
            {"R", &c.r}, {"EIGEN", &c.eigen}, {"EVAL", &c.eval}, {"LOADINGS", &c.loadings}, {"COMM", &c.comm}};
        for (double v; f >> v;) target.at(key)->push_back(v);
    }
    return all;
}


class Extraction : public testing::LibraryFixture {
protected:
    void SetUp() override {
        LibraryFixture::SetUp();
        rt::open_unit_or_fail(11, (dir_ / "report.out").string(), {rt::OpenStatus::Replace, false});
        int unit = 11;
        num1::ADVUNIT(1, unit);
    }
    void reset_library() override {
        int unit = 6;
        num1::ADVUNIT(1, unit);
    }
    std::string report() {
        rt::close_unit(11);
        return read_file(dir_ / "report.out");
    }
    JOBSET job(const std::string& model, int nvar, int nfac, const std::string& init = "ONE") const {
        JOBSET j;
        j.MODTYP = padded(model, 4);
        j.NVAR = nvar;
        j.NFAC = nfac;
        j.INIT_COM = init;
        j.COMP_EPS = 1e-10;
        j.MAXIT = 1000;
        j.VERBOS = "SHORT";
        j.LABOPT = padded("NOLABELS", 15);
        j.ROTNAM = padded("None", 25);
        j.ROTMTH = padded("NONE", 8);
        j.SCRMTH = padded("NONE", 8);
        j.OUTPUT = "T";
        j.OUTCOD = {"EIG", "FAC", "   ", "   ", "   ", "   ", "   ", "   "};
        j.JOBDIR = dir_.string() + "/";
        j.JOBBAS = padded("case.in", 15);
        for (int i = 1; i <= nvar; ++i) j.VARLAB.push_back(padded("Item " + std::to_string(i), 15));
        return j;
    }
    // Window records of the iteration counter.
    int iteration_lines() const {
        int n = 0;
        for (const std::string& r : host_.records) n += r.rfind("+" + std::string(28, ' ') + "Iteration: ", 0) == 0;
        return n;
    }

    testing::TempDir dir_{"orv_extstg"};
};

// Column k of the row-by-row matrix `ref` against column k of the
// column-major matrix `l`, after giving it the sign of the reference.
void expect_columns(const std::vector<double>& l, const std::vector<double>& ref, int nvar, int nfac, double tol) {
    for (int k = 0; k < nfac; ++k) {
        double dot = 0.0;
        for (int i = 0; i < nvar; ++i) dot += l[i + nvar * k] * ref[i * nfac + k];
        const double sign = dot < 0 ? -1.0 : 1.0;
        for (int i = 0; i < nvar; ++i)
            EXPECT_NEAR(sign * l[i + nvar * k], ref[i * nfac + k], tol) << "loading " << i + 1 << "," << k + 1;
    }
}

TEST_F(Extraction, MatchesTheHighPrecisionReference) {
    const std::vector<Reference> cases = references();
    ASSERT_EQ(cases.size(), 9u);
    for (const Reference& c : cases) {
        SCOPED_TRACE(c.name + " " + c.model + " " + c.init + " " + std::to_string(c.nfac));
        host_.records.clear();
        JOBSET j = job(c.model, c.nvar, c.nfac, c.init);
        j.COMP_EPS = c.eps;
        j.MAXIT = c.maxit;
        RUNDATA run;
        run.R = c.r;  // symmetric: row by row is column by column
        rt::open_unit_or_fail(11, (dir_ / "report.out").string(), {rt::OpenStatus::Replace, false});
        EXTSTG(j, run);
        UNRSTG(j, run);

        EXPECT_EQ(run.NPASS - 1, c.passes);
        expect_columns(run.L, c.loadings, c.nvar, c.nfac, 1e-9);
        for (int i = 0; i < c.nvar; ++i) {
            EXPECT_NEAR(run.R[i + c.nvar * i], c.comm[i], 1e-9);
            EXPECT_EQ(run.COMM[i], run.R[i + c.nvar * i]);
            for (int m = 0; m < c.nvar; ++m)
                if (m != i) {
                    EXPECT_EQ(run.R[i + c.nvar * m], c.r[i + c.nvar * m]);  // off-diagonal untouched
                }
        }
        // The variance of each factor is its eigenvalue in the last pass.
        for (int k = 0; k < c.nfac; ++k) EXPECT_NEAR(run.FACSS[k], c.eval[k], 1e-9);
        EXPECT_EQ(run.ORDER, std::vector<int>(c.nvar, 0));

        // The window: the model's line, an empty line, one counter per pass.
        ASSERT_GE(host_.records.size(), 2u);
        EXPECT_EQ(host_.records[0], std::string(29, ' ') + (c.model == "PFA" ? "Performing factor analysis"
                                                                              : "Performing principal components analysis"));
        EXPECT_EQ(host_.records[1], "");
        EXPECT_EQ(iteration_lines(), c.passes);
        EXPECT_EQ(host_.records[2], "+                            Iteration:    1");

        // The .eig file: every eigenvalue of the starting matrix.
        const std::vector<double> got = numbers(read_file(dir_ / "case.eig"));
        ASSERT_EQ(got.size(), c.eigen.size());
        for (std::size_t k = 0; k < got.size(); ++k) EXPECT_NEAR(got[k], c.eigen[k], 0.5e-4 + 1e-12);
        fs::remove(dir_ / "case.eig");

        // .fac for PFA only, the unrotated loadings in F8.4.
        ASSERT_EQ(fs::exists(dir_ / "case.fac"), c.model == "PFA");
        if (c.model == "PFA") {
            std::istringstream fac(read_file(dir_ / "case.fac"));
            for (int i = 0; i < c.nvar; ++i) {
                int number = 0;
                fac >> number;
                EXPECT_EQ(number, i + 1);
                for (int k = 0; k < c.nfac; ++k) {
                    double v = 0.0;
                    fac >> v;
                    EXPECT_NEAR(v, run.L[i + c.nvar * k], 0.5e-4 + 1e-12);
                }
            }
            fs::remove(dir_ / "case.fac");
        }
        const bool warned = c.passes == c.maxit && c.model == "PFA";
        EXPECT_EQ(report().find(" **** Communalities Failed to Converge ****\n") != std::string::npos, warned);
    }
}

TEST_F(Extraction, PassLimitsAndTheFailureWarning) {
    const Reference small = references()[4];  // small PFA SMC 2, converges in 78 passes
    ASSERT_EQ(small.name + small.model + small.init, "smallPFASMC");
    struct Case {
        std::string model;
        double eps;
        int maxit;
        int passes;  // reported
        bool warned;
    };
    const std::vector<Case> cases{
        {"PFA", 1e-10, 0, 1, true},    // the first pass runs even so
        {"PFA", 1e-10, -3, 1, true},
        {"PFA", 1.0, 200, 2, false},
        {"PFA", 10.0, 200, 1, false},  // the first pass meets the criterion
        {"PFA", 2.0, 1, 1, true},      // counter at MAXIT + 1
        {"PFA", 1e-10, 5, 5, true},
        {"PFA", 1e-10, small.passes, small.passes, true},  // converged on the last allowed pass
        {"PFA", 1e-10, small.passes + 1, small.passes, false},
        {"PCA", 1e-10, 0, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model + " " + std::to_string(c.eps) + " " + std::to_string(c.maxit));
        host_.records.clear();
        rt::open_unit_or_fail(11, (dir_ / "report.out").string(), {rt::OpenStatus::Replace, false});
        JOBSET j = job(c.model, small.nvar, small.nfac, "SMC");
        j.COMP_EPS = c.eps;
        j.MAXIT = c.maxit;
        RUNDATA run;
        run.R = small.r;
        EXTSTG(j, run);
        EXPECT_EQ(run.NPASS - 1, c.passes);
        EXPECT_EQ(iteration_lines(), c.passes);
        const std::string text = report();
        const std::string count = "Number of iterations during communality estimation: " +
                                  std::string(c.passes < 10 ? "  " : " ") + std::to_string(c.passes);
        EXPECT_NE(text.find(count), std::string::npos);
        EXPECT_EQ(text.find(" **** Communalities Failed to Converge ****\n") != std::string::npos, c.warned);
        const std::string line = std::string(29, ' ') + "**** Communalities Failed to Converge ****";
        EXPECT_EQ(std::count(host_.records.begin(), host_.records.end(), line), c.warned ? 1 : 0);
        // A single pass from SMC gives the loadings of that diagonal; the
        // converged case matches the reference.
        if (c.passes == small.passes) expect_columns(run.L, small.loadings, small.nvar, small.nfac, 1e-9);
        EXPECT_TRUE(std::isfinite(run.L[0]));
    }
}

TEST_F(Extraction, DivergingCommunalitiesStopWithError100) {
    // One factor for three variables whose exact fit needs a communality of
    // 2.7 for the first: the sum passes NVAR on the way.  (The matrix is not
    // positive definite, so squared multiple correlations would stop the run
    // before: highest correlations start it.)
    struct Case {
        std::vector<double> r;
        int nfac;
    };
    const std::vector<Case> cases{
        {{1.0, 0.9, 0.9, 0.9, 1.0, 0.3, 0.9, 0.3, 1.0}, 1},
        {{1.0, 0.9, 0.9, 0.9, 1.0, 0.3, 0.9, 0.3, 1.0}, 2},
    };
    for (const Case& c : cases) {
        host_.records.clear();
        host_.pauses = 0;
        rt::open_unit_or_fail(11, (dir_ / "report.out").string(), {rt::OpenStatus::Replace, false});
        JOBSET j = job("PFA", 3, c.nfac, "HIR");
        RUNDATA run;
        run.R = c.r;
        bool stopped = false;
        try {
            EXTSTG(j, run);
        } catch (const rt::Stop& s) {
            stopped = true;
            EXPECT_EQ(s.message, "");
            EXPECT_EQ(s.exit_status, 1);
        }
        ASSERT_TRUE(stopped);
        EXPECT_EQ(host_.pauses, 1);
        const std::string& last = host_.records.back();
        EXPECT_EQ(last.substr(0, 29 + 53), std::string(29, ' ') + "ERROR 100:  SERIOUS PROBLEMS OCCURED DURING ITERATION");
        const int pass = std::stoi(last.substr(29 + 53));
        EXPECT_EQ(last.size(), 29u + 53u + 3u);
        EXPECT_EQ(iteration_lines(), pass);
        EXPECT_EQ(report().find("Analysis of Model Fit"), std::string::npos);
    }
}

// Library failures stop the stage after the library's message, whatever the
// message attributes: the eigenvalues of a matrix that is not a number, and
// squared multiple correlations of a matrix that is not positive definite
// (after which the library only prints its errors).
TEST_F(Extraction, LibraryFailuresStopTheStage) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        std::vector<double> r;
        std::string init;
        std::string message;
    };
    const std::vector<Case> cases{
        {{1.0, 0.5, nan, 0.5, 1.0, 0.4, nan, 0.4, 1.0}, "ONE", "FATAL    ERROR 1 from DEVLRG."},
        {{1.0, 0.9, 0.9, 0.9, 1.0, 0.3, 0.9, 0.3, 1.0}, "SMC", "FATAL    ERROR 2 from DLINDS."},
    };
    for (const Case& c : cases) {
        for (const int printed_only : {0, 1}) {
            host_.records.clear();
            num2::reset_error_machinery();
            if (printed_only == 1) num2::ERSET(0, 1, 0);
            rt::open_unit_or_fail(11, (dir_ / "report.out").string(), {rt::OpenStatus::Replace, false});
            JOBSET j = job("PFA", 3, 1, c.init);
            RUNDATA run;
            run.R = c.r;
            try {
                EXTSTG(j, run);
                ADD_FAILURE() << c.init << ": the stage went on";
            } catch (const rt::Stop& s) {
                EXPECT_EQ(s.exit_status, 1);
            }
            std::string all;
            for (const std::string& r : host_.records) all += r + "\n";
            EXPECT_NE(all.find(c.message), std::string::npos) << all;
            EXPECT_EQ(all.find("Iteration:"), std::string::npos) << all;
            EXPECT_EQ(report().find("Analysis of Model Fit"), std::string::npos);
        }
    }
}

TEST_F(Extraction, AsManyFactorsAsVariablesToleratesRounding) {
    // Principal components of every variable reproduce the unit diagonal:
    // the sum of communalities is NVAR up to rounding, which must not
    // count as divergence.  Among these matrices some sum above NVAR.
    int above = 0;
    for (int seed = 1; seed <= 40; ++seed) {
        const int n = 5 + seed % 6;
        std::vector<double> r(n * n);
        unsigned state = static_cast<unsigned>(seed);
        for (int i = 0; i < n; ++i)
            for (int m = 0; m <= i; ++m) {
                state = state * 1103515245u + 12345u;
                const double v = i == m ? 1.0 : static_cast<double>((state >> 8) % 1000) / 4000.0;
                r[i + n * m] = r[m + n * i] = v;
            }
        for (const char* model : {"PCA", "PFA"}) {
            rt::open_unit_or_fail(11, (dir_ / "report.out").string(), {rt::OpenStatus::Replace, false});
            JOBSET j = job(model, n, n, "ONE");
            j.MAXIT = 3;
            RUNDATA run;
            run.R = r;
            EXPECT_NO_THROW(EXTSTG(j, run)) << model << " seed " << seed;
            double sum = 0.0;
            for (int i = 0; i < n; ++i) sum += run.R[i + n * i];
            above += sum > n;
            EXPECT_NEAR(sum, n, 1e-13 * n);
        }
    }
    EXPECT_GT(above, 0);
}

TEST_F(Extraction, UnrotatedSolutionBlocksAndFiles) {
    // Two factors, three variables; the third communality is a Heywood case.
    const std::vector<double> l{0.9, 0.5, 0.1, 0.2, 0.6, 0.7};
    struct Case {
        std::string model, rotnam, labopt, output;
        double h3;
        bool fac, table, heywood;
        std::string row1;  // first row of the loadings table
    };
    const std::vector<Case> cases{
        {"PFA", "None", "NOLABELS", "T", 1.0000001, true, true, true, " 1    0.900   0.200"},
        {"PFA", "None", "LABELS", "T", 1.00000001, true, true, false, " Item 1    0.900   0.200"},
        {"PCA", "None", "LABELS", "T", 0.5, false, true, false, " Item 1    0.900   0.200"},
        {"PFA", "Varimax", "NOLABELS", "T", 0.5, false, true, false, " 1    0.900   0.200"},
        {"PFA", "None", "NOLABELS", "F", 0.5, false, true, false, " 1    0.900   0.200"},
        {"PFA", "None", "NOLABEL", "T", 0.5, true, false, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model + " " + c.rotnam + " " + c.labopt + " " + c.output);
        rt::open_unit_or_fail(11, (dir_ / "report.out").string(), {rt::OpenStatus::Replace, false});
        JOBSET j = job(c.model, 3, 2);
        j.ROTNAM = padded(c.rotnam, 25);
        j.LABOPT = padded(c.labopt, 15);
        j.OUTPUT = c.output;
        RUNDATA run;
        run.L = l;
        run.R = {0.85, 0.4, 0.3, 0.4, 0.61, 0.2, 0.3, 0.2, c.h3};
        UNRSTG(j, run);
        EXPECT_EQ(run.FACSS[0], 0.9 * 0.9 + 0.5 * 0.5 + 0.1 * 0.1);
        EXPECT_EQ(run.COMM, (std::vector<double>{0.85, 0.61, c.h3}));
        const std::string text = report();
        EXPECT_EQ(text.find("Unrotated Factor Loadings") != std::string::npos, c.table);
        if (c.table) {
            EXPECT_NE(text.find("\n" + c.row1 + "\n"), std::string::npos) << text;
        }
        const std::string warning = "\n\n          ****WARNING !!! HEYWOOD CASE FOR VARIABLE     3 ****\n";
        const auto at = text.find(warning);
        EXPECT_EQ(at != std::string::npos, c.heywood) << text;
        if (c.heywood) {
            EXPECT_LT(text.find("Variance explained by each factor"), at);
            EXPECT_GT(text.find("Final communality estimates"), at);
        }
        EXPECT_NE(text.find("Variance explained by each factor\n"), std::string::npos);
        EXPECT_EQ(fs::exists(dir_ / "case.fac"), c.fac);
        if (c.fac) {
            EXPECT_EQ(read_file(dir_ / "case.fac"), "   1   0.9000  0.2000\n   2   0.5000  0.6000\n   3   0.1000  0.7000\n");
            fs::remove(dir_ / "case.fac");
        }
    }
}

}  // namespace
}  // namespace orv::engine
